// ID3DXBuffer: a reference-counted block of bytes.
#include "platform/d3dx9/buffer.h"

#include "platform/d3d9/com_object.h"

#include <sys/stat.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace {

class Buffer final : public Com_Object<ID3DXBuffer> {
public:
    Buffer(std::unique_ptr<unsigned char[]> bytes, std::size_t size)
        : bytes_(std::move(bytes)), size_(size) {}

    LPVOID GetBufferPointer() override { return bytes_.get(); }
    DWORD GetBufferSize() override { return static_cast<DWORD>(size_); }

private:
    ~Buffer() = default;

    std::unique_ptr<unsigned char[]> bytes_;
    std::size_t size_;
};

}  // namespace

HRESULT Create_Buffer(const void* data, std::size_t size, ID3DXBuffer** out) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (size > 0xFFFFFFFFu) return E_OUTOFMEMORY;
    try {
        // Left uninitialised when no contents are given: a large buffer then
        // costs address space, not touched pages.
        auto bytes = std::make_unique_for_overwrite<unsigned char[]>(size == 0 ? 1 : size);
        if (data && size > 0) std::memcpy(bytes.get(), data, size);
        *out = new Buffer(std::move(bytes), size);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

HRESULT WINAPI D3DXCreateBuffer(DWORD NumBytes, LPD3DXBUFFER* ppBuffer) {
    return Create_Buffer(nullptr, NumBytes, ppBuffer);
}

HRESULT Read_File_Bytes(const char* path, std::vector<unsigned char>* out) {
    if (!path || !out) return D3DERR_INVALIDCALL;
    out->clear();
    FILE* file = Open_File(path, "rb");
    if (!file) return D3DXERR_INVALIDDATA;
    // Open_File gives only regular files, so the size they have now bounds
    // the read: a file that keeps growing under us is read as it was when
    // opened. Anything beyond the limit is not a model or texture this engine
    // can use.
    constexpr std::size_t k_limit = std::size_t{1} << 30;
    HRESULT hr = D3D_OK;
    struct stat st {};
    if (fstat(fileno(file), &st) != 0 || st.st_size < 0 ||
        static_cast<std::uint64_t>(st.st_size) > k_limit) {
        std::fclose(file);
        return D3DXERR_INVALIDDATA;
    }
    try {
        out->resize(static_cast<std::size_t>(st.st_size));
        const std::size_t got = std::fread(out->data(), 1, out->size(), file);
        // A file cut short while we read it is read as far as it goes.
        out->resize(got);
        if (std::ferror(file)) hr = D3DXERR_INVALIDDATA;
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    }
    std::fclose(file);
    if (hr != D3D_OK) out->clear();
    return hr;
}
