#include "platform/d3d9/buffer.h"

#include <memory>

#include "platform/d3d9/device.h"

namespace {
// Larger requests are refused before allocating anything.
constexpr UINT k_max_buffer_size = 256u << 20;
}  // namespace

Buffer_Storage::~Buffer_Storage() {
    if (name_) {
        Owner()->Forget_Buffer_Name(name_);
        glDeleteBuffers(1, &name_);
    }
}

HRESULT Buffer_Storage::Init(UINT length) {
    if (length == 0) return D3DERR_INVALIDCALL;
    if (length > k_max_buffer_size) return D3DERR_OUTOFVIDEOMEMORY;
    data_.assign(length, 0);
    Owner()->Make_Current();
    glCreateBuffers(1, &name_);
    if (!name_) return D3DERR_OUTOFVIDEOMEMORY;
    glNamedBufferData(name_, GLsizeiptr(length), data_.data(), GL_DYNAMIC_DRAW);
    if (glGetError() == GL_OUT_OF_MEMORY) return D3DERR_OUTOFVIDEOMEMORY;
    return D3D_OK;
}

HRESULT Buffer_Storage::Lock_Range(UINT offset, UINT size, void** data, DWORD flags) {
    if (!data) return D3DERR_INVALIDCALL;
    *data = nullptr;
    if (locked_) return D3DERR_INVALIDCALL;
    const UINT length = Size();
    if (offset > length) return D3DERR_INVALIDCALL;
    if (size == 0) size = length - offset;  // 0 = to the end (the whole buffer from 0)
    if (size > length - offset) return D3DERR_INVALIDCALL;
    locked_ = true;
    lock_offset_ = offset;
    lock_size_ = size;
    lock_flags_ = flags;
    *data = data_.data() + offset;
    return D3D_OK;
}

HRESULT Buffer_Storage::Unlock_Range() {
    if (!locked_) return D3DERR_INVALIDCALL;
    locked_ = false;
    if (lock_flags_ & D3DLOCK_READONLY || lock_size_ == 0) return D3D_OK;
    Owner()->Make_Current();
    if (lock_flags_ & D3DLOCK_DISCARD) {
        // The old contents are not wanted: let GL hand out fresh storage
        // instead of waiting for draws that still read the old one.
        glInvalidateBufferData(name_);
        glNamedBufferSubData(name_, 0, GLsizeiptr(data_.size()), data_.data());
    } else {
        glNamedBufferSubData(name_, GLintptr(lock_offset_), GLsizeiptr(lock_size_),
                             data_.data() + lock_offset_);
    }
    return D3D_OK;
}

// ---------------------------------------------------------------------------

HRESULT Vertex_Buffer::Create(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                              IDirect3DVertexBuffer9** out) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = nullptr;
    std::unique_ptr<Vertex_Buffer> buffer(new Vertex_Buffer(device));
    HRESULT hr = buffer->Init(length);
    if (FAILED(hr)) {
        buffer.release()->Release();
        return hr;
    }
    buffer->desc_ = {D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, usage, pool, length, fvf};
    *out = buffer.release();
    return D3D_OK;
}

HRESULT Vertex_Buffer::GetDevice(IDirect3DDevice9** ppDevice) {
    if (!ppDevice) return D3DERR_INVALIDCALL;
    Owner()->AddRef();
    *ppDevice = Owner();
    return D3D_OK;
}

HRESULT Vertex_Buffer::GetDesc(D3DVERTEXBUFFER_DESC* pDesc) {
    if (!pDesc) return D3DERR_INVALIDCALL;
    *pDesc = desc_;
    return D3D_OK;
}

HRESULT Index_Buffer::Create(Device* device, UINT length, DWORD usage, D3DFORMAT format,
                             D3DPOOL pool, IDirect3DIndexBuffer9** out) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32) return D3DERR_INVALIDCALL;
    std::unique_ptr<Index_Buffer> buffer(new Index_Buffer(device));
    HRESULT hr = buffer->Init(length);
    if (FAILED(hr)) {
        buffer.release()->Release();
        return hr;
    }
    buffer->desc_ = {format, D3DRTYPE_INDEXBUFFER, usage, pool, length};
    *out = buffer.release();
    return D3D_OK;
}

HRESULT Index_Buffer::GetDevice(IDirect3DDevice9** ppDevice) {
    if (!ppDevice) return D3DERR_INVALIDCALL;
    Owner()->AddRef();
    *ppDevice = Owner();
    return D3D_OK;
}

HRESULT Index_Buffer::GetDesc(D3DINDEXBUFFER_DESC* pDesc) {
    if (!pDesc) return D3DERR_INVALIDCALL;
    *pDesc = desc_;
    return D3D_OK;
}
