#include "platform/d3d9/buffer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "platform/d3d9/device.h"

namespace qm_d3d9 {

namespace {
// Larger requests are refused before allocating anything.
constexpr UINT k_max_buffer_size = 256u << 20;
// Ranges and boxes kept per buffer content.
constexpr std::size_t k_derived_entries = 32;
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
    if (!(flags & D3DLOCK_READONLY)) derived_.clear();
    *data = data_.data() + offset;
    return D3D_OK;
}

HRESULT Buffer_Storage::Unlock_Range() {
    if (!locked_) return D3DERR_INVALIDCALL;
    locked_ = false;
    if (lock_flags_ & D3DLOCK_READONLY || lock_size_ == 0) return D3D_OK;
    derived_.clear();  // again: a draw while it was locked may have looked

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

const Buffer_Storage::Derived* Buffer_Storage::Find_Derived(std::uint8_t kind,
                                                            const UINT (&key)[4]) const {
    for (const Derived& d : derived_)
        if (d.kind == kind && std::memcmp(d.key, key, sizeof key) == 0) return &d;
    return nullptr;
}

Buffer_Storage::Derived& Buffer_Storage::New_Derived(std::uint8_t kind, const UINT (&key)[4]) {
    Derived* d;
    if (derived_.size() < k_derived_entries) {
        d = &derived_.emplace_back();
    } else {
        d = &derived_[derived_next_];
        *d = Derived{};
        derived_next_ = (derived_next_ + 1) % k_derived_entries;
    }
    d->kind = kind;
    std::memcpy(d->key, key, sizeof key);
    return *d;
}

bool Buffer_Storage::Index_Range(UINT first, UINT count, UINT index_size, UINT* low, UINT* high) {
    const UINT key[4] = {first, count, index_size, 0};
    const Derived* found = Find_Derived(1, key);
    if (!found) {
        Derived& d = New_Derived(1, key);
        const std::uint64_t end = (std::uint64_t(first) + count) * index_size;
        d.ok = count > 0 && (index_size == 2 || index_size == 4) && end <= data_.size();
        if (d.ok) {
            UINT lo = ~0u, hi = 0;
            const unsigned char* p = data_.data() + std::size_t(first) * index_size;
            for (UINT i = 0; i < count; ++i, p += index_size) {
                UINT v;
                if (index_size == 2) {
                    std::uint16_t s;
                    std::memcpy(&s, p, 2);
                    v = s;
                } else {
                    std::memcpy(&v, p, 4);
                }
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
            d.low = lo;
            d.high = hi;
        }
        found = &d;
    }
    *low = found->low;
    *high = found->high;
    return found->ok;
}

bool Buffer_Storage::Position_Box(UINT offset, UINT stride, UINT first, UINT count, float low[3],
                                  float high[3]) {
    const UINT key[4] = {offset, stride, first, count};
    const Derived* found = Find_Derived(2, key);
    if (!found) {
        Derived& d = New_Derived(2, key);
        const std::uint64_t end = count == 0 ? 0
                                             : std::uint64_t(offset) +
                                                   (std::uint64_t(first) + count - 1) * stride +
                                                   3 * sizeof(float);
        d.ok = count > 0 && end <= data_.size();
        float box[6] = {INFINITY, INFINITY, INFINITY, -INFINITY, -INFINITY, -INFINITY};
        const unsigned char* p =
            d.ok ? data_.data() + offset + std::size_t(first) * stride : nullptr;
        for (UINT i = 0; d.ok && i < count; ++i, p += stride) {
            float v[3];
            std::memcpy(v, p, sizeof v);
            for (int c = 0; c < 3; ++c) {
                if (!std::isfinite(v[c])) d.ok = false;
                box[c] = std::min(box[c], v[c]);
                box[3 + c] = std::max(box[3 + c], v[c]);
            }
        }
        std::memcpy(d.box, box, sizeof box);
        found = &d;
    }
    std::memcpy(low, found->box, 3 * sizeof(float));
    std::memcpy(high, found->box + 3, 3 * sizeof(float));
    return found->ok;
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

HRESULT Index_Buffer::GetDesc(D3DINDEXBUFFER_DESC* pDesc) {
    if (!pDesc) return D3DERR_INVALIDCALL;
    *pDesc = desc_;
    return D3D_OK;
}

}  // namespace qm_d3d9
