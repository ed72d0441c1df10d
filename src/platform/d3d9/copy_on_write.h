// Storage that several resource objects share (D3DX hands each caller that
// loads the same unchanged file an object of its own over one storage) is
// copied for the first object that writes, so that no write shows through
// another. The device's textures and D3DX's meshes both work this way.
//
// A storage type derives from its `Contents`: the plain data a copy takes
// whole (so a field added there is copied with the rest), apart from the
// device objects made from it and the `shareable` mark.
#pragma once

#include <memory>
#include <new>

#include "platform/d3d9.h"

// Gives `*storage` a private copy when other objects may share it; `create`
// then makes the copy's device objects, given the shared storage to copy
// them from.
template <class Storage, class Create>
HRESULT Make_Private(std::shared_ptr<Storage>* storage, Create&& create) {
    if (!(*storage)->shareable && storage->use_count() <= 1) return D3D_OK;
    const Storage& shared = **storage;
    try {
        auto copy =
            std::make_shared<Storage>(static_cast<const typename Storage::Contents&>(shared));
        const HRESULT hr = create(copy.get(), shared);
        if (FAILED(hr)) return hr;
        *storage = std::move(copy);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}
