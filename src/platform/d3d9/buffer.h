// Vertex and index buffers: a GL buffer plus a system-memory copy that Lock
// hands out; Unlock uploads the locked range.
#pragma once

#include <cstdint>
#include <vector>

#include <epoxy/gl.h>

#include "platform/d3d9.h"
#include "platform/d3d9/device_child.h"

namespace qm_d3d9 {

class Buffer_Storage : public Device_Child {
public:
    GLuint Name() const { return name_; }
    UINT Size() const { return UINT(data_.size()); }
    const unsigned char* Data() const { return data_.data(); }
    HRESULT Lock_Range(UINT offset, UINT size, void** data, DWORD flags);
    HRESULT Unlock_Range();

    // Smallest and largest of `count` indices of `index_size` bytes from
    // index `first`. False when they run past the end of the buffer.
    bool Index_Range(UINT first, UINT count, UINT index_size, UINT* low, UINT* high);
    // Box around the float3 positions of vertices first..first+count-1, the
    // first at byte `offset`, `stride` bytes apart. False when one runs past
    // the end of the buffer or is not finite.
    bool Position_Box(UINT offset, UINT stride, UINT first, UINT count, float low[3],
                      float high[3]);

protected:
    explicit Buffer_Storage(Device* device) : Device_Child(device) {}
    ~Buffer_Storage() override;
    HRESULT Init(UINT length);

private:
    GLuint name_ = 0;
    std::vector<unsigned char> data_;
    bool locked_ = false;
    UINT lock_offset_ = 0, lock_size_ = 0;
    DWORD lock_flags_ = 0;

    // What Index_Range and Position_Box found, kept until the contents are
    // next locked for writing. A handful of entries: a mesh draws each of its
    // subsets from one buffer.
    struct Derived {
        std::uint8_t kind = 0;  // 1 index range, 2 position box
        UINT key[4] = {};
        bool ok = false;
        UINT low = 0, high = 0;
        float box[6] = {};
    };
    const Derived* Find_Derived(std::uint8_t kind, const UINT (&key)[4]) const;
    Derived& New_Derived(std::uint8_t kind, const UINT (&key)[4]);
    std::vector<Derived> derived_;
    std::size_t derived_next_ = 0;
};

class Vertex_Buffer final : public Child_Object<IDirect3DVertexBuffer9, Buffer_Storage> {
public:
    static HRESULT Create(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                          IDirect3DVertexBuffer9** out);

    D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) override {
        return Lock_Range(OffsetToLock, SizeToLock, ppbData, Flags);
    }
    HRESULT Unlock() override { return Unlock_Range(); }
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC* pDesc) override;

private:
    explicit Vertex_Buffer(Device* device) : Child_Object(device) {}
    D3DVERTEXBUFFER_DESC desc_{};
};

class Index_Buffer final : public Child_Object<IDirect3DIndexBuffer9, Buffer_Storage> {
public:
    static HRESULT Create(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DIndexBuffer9** out);

    D3DRESOURCETYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
    HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) override {
        return Lock_Range(OffsetToLock, SizeToLock, ppbData, Flags);
    }
    HRESULT Unlock() override { return Unlock_Range(); }
    HRESULT GetDesc(D3DINDEXBUFFER_DESC* pDesc) override;

    UINT Index_Size() const { return desc_.Format == D3DFMT_INDEX32 ? 4 : 2; }

private:
    explicit Index_Buffer(Device* device) : Child_Object(device) {}
    D3DINDEXBUFFER_DESC desc_{};
};

}  // namespace qm_d3d9
