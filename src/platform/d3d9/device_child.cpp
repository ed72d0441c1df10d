#include "platform/d3d9/device_child.h"

#include "platform/d3d9/device.h"

namespace qm_d3d9 {

Device_Child::Device_Child(Device* device) : device_(device) {
    device_->AddRef();
}

void Device_Child::Public_Revived() {
    device_->AddRef();
}

void Device_Child::Public_Released() {
    Device* device = device_;
    // The object may still be bound; then the device frees it on unbind.
    // Its GL names are deleted with the device's context current.
    if (binds_ == 0) {
        device->Make_Current();
        delete this;
    }
    device->Release();
}

HRESULT Get_Owner_Device(Device* owner, IDirect3DDevice9** out) {
    if (!out) return D3DERR_INVALIDCALL;
    owner->AddRef();
    *out = owner;
    return D3D_OK;
}

void Device_Child::Unbind() {
    if (binds_ == 0) return;
    if (--binds_ == 0 && !Has_Public_Refs()) {
        device_->Make_Current();
        delete this;
    }
}

}  // namespace qm_d3d9
