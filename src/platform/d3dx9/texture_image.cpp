// Texture files in memory: sizes of stored levels, the box-filtered mip
// chain, and decoding of the picture formats that are not DDS.
#include "platform/d3dx9/texture_image.h"

#include "platform/d3dx9/dds.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

// The decoder is compiled here with its functions kept file-local, so that
// it cannot clash with another copy linked into the same program, with its
// own dimension limit matching ours, and with only the formats textures come
// in (its HDR reader can loop forever on a truncated file). Its integer
// arithmetic on damaged data may overflow; it is compiled to wrap, which is
// what the decoder assumes, rather than leave that undefined.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_NO_STDIO
#define STBI_NO_GIF
#define STBI_NO_PSD
#define STBI_NO_PIC
#define STBI_NO_HDR
#define STBI_NO_PNM
#define STBI_MAX_DIMENSIONS 16384
#if !defined(__clang__)  // clang gets -fwrapv for the whole file instead (CMakeLists.txt)
#pragma GCC push_options
#pragma GCC optimize("wrapv")
#endif
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wtype-limits"
// At -O3 GCC follows a memory context into the refill of callback contexts,
// which memory contexts never reach, and reports the callback fields they
// leave unset as maybe uninitialised.
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <stb/stb_image.h>
#pragma GCC diagnostic pop
#if !defined(__clang__)
#pragma GCC pop_options
#endif

static_assert(STBI_MAX_DIMENSIONS == k_max_texture_edge, "one limit for every texture file");

std::size_t Texture_Row_Bytes(D3DFORMAT format, UINT width) {
    if (Is_Block_Compressed(format)) {
        const std::size_t block_bytes = Block_Bytes(format);
        return std::max<std::size_t>(1, (static_cast<std::size_t>(width) + 3) / 4) * block_bytes;
    }
    return static_cast<std::size_t>(width) * 4;
}

UINT Texture_Row_Count(D3DFORMAT format, UINT height) {
    if (Is_Block_Compressed(format)) return std::max(1u, (height + 3) / 4);
    return height;
}

std::size_t Texture_Level_Bytes(D3DFORMAT format, UINT width, UINT height) {
    return Texture_Row_Bytes(format, width) * Texture_Row_Count(format, height);
}

namespace {

// Source cells and their weights covering one destination cell of a box
// filter; for even sizes two cells of weight 1/2, for odd sizes three.
struct Footprint {
    UINT first = 0;
    float weights[3] = {0, 0, 0};
    int count = 0;
};

std::vector<Footprint> Footprints(UINT src, UINT dst) {
    std::vector<Footprint> result(dst);
    const double ratio = static_cast<double>(src) / dst;
    for (UINT i = 0; i < dst; ++i) {
        const double lo = i * ratio, hi = (i + 1) * ratio;
        Footprint& f = result[i];
        f.first = static_cast<UINT>(lo);
        for (UINT s = f.first; s < src && s < hi && f.count < 3; ++s) {
            const double overlap = std::min<double>(hi, s + 1) - std::max<double>(lo, s);
            f.weights[f.count++] = static_cast<float>(overlap / ratio);
        }
    }
    return result;
}

Texture_Level Half_Level(const Texture_Level& src) {
    Texture_Level dst;
    dst.width = std::max(1u, src.width / 2);
    dst.height = std::max(1u, src.height / 2);
    dst.bytes.resize(static_cast<std::size_t>(dst.width) * dst.height * 4);
    const auto fx = Footprints(src.width, dst.width);
    const auto fy = Footprints(src.height, dst.height);
    const std::size_t src_pitch = static_cast<std::size_t>(src.width) * 4;
    for (UINT y = 0; y < dst.height; ++y) {
        for (UINT x = 0; x < dst.width; ++x) {
            float sum[4] = {0, 0, 0, 0};
            for (int j = 0; j < fy[y].count; ++j) {
                const unsigned char* row = src.bytes.data() + (fy[y].first + j) * src_pitch;
                for (int i = 0; i < fx[x].count; ++i) {
                    const float w = fy[y].weights[j] * fx[x].weights[i];
                    const unsigned char* p = row + static_cast<std::size_t>(fx[x].first + i) * 4;
                    for (int c = 0; c < 4; ++c) sum[c] += w * p[c];
                }
            }
            unsigned char* out =
                dst.bytes.data() + (static_cast<std::size_t>(y) * dst.width + x) * 4;
            for (int c = 0; c < 4; ++c) {
                out[c] = static_cast<unsigned char>(std::clamp(sum[c] + 0.5f, 0.0f, 255.0f));
            }
        }
    }
    return dst;
}

// The JPEG decoder trusts two things it does not check: that the code
// counts of a Huffman table total at most 256 (it overruns its tables
// otherwise), and that every scan uses tables defined before it (it reads
// uninitialised tables otherwise). Both are checked first, on every segment
// it could read: segments are stepped over by their length, as the decoder
// does, and all other bytes (padding, entropy-coded data) are scanned for
// markers, as the decoder scans them.
bool Jpeg_Tables_Usable(const unsigned char* d, std::size_t n) {
    auto byte = [&](std::size_t at) -> unsigned { return at < n ? d[at] : 0u; };
    bool defined[2][4] = {};  // [DC, AC][table id]
    bool frame_seen = false, progressive = false;

    // The tables of a segment whose length field is at `at`, read as the
    // decoder reads them.
    auto tables_fit = [&](std::size_t at) {
        long left = static_cast<long>((byte(at) << 8) | byte(at + 1)) - 2;
        at += 2;
        while (left > 0 && at < n) {
            const unsigned kind = byte(at) >> 4, id = byte(at) & 15;
            if (kind > 1 || id > 3) return false;
            unsigned count = 0;
            for (std::size_t i = 1; i <= 16; ++i) count += byte(at + i);
            if (count > 256) return false;
            defined[kind][id] = true;
            at += 17 + count;
            left -= 17 + static_cast<long>(count);
        }
        return true;
    };
    // A scan header whose length field is at `at`: the tables it selects
    // must exist for the kind of scan it is.
    auto scan_tables_defined = [&](std::size_t at) {
        const unsigned components = byte(at + 2);
        const std::size_t after = at + 3 + 2 * std::size_t{components};
        const unsigned first = byte(after), refining = byte(after + 2) >> 4;
        const bool dc = !progressive || (first == 0 && refining == 0);
        const bool ac = !progressive || first > 0;
        for (unsigned c = 0; c < components; ++c) {
            const unsigned select = byte(at + 4 + 2 * std::size_t{c});
            if ((select >> 4) > 3 || (select & 15) > 3) return false;
            if (dc && !defined[0][select >> 4]) return false;
            if (ac && !defined[1][select & 15]) return false;
        }
        return true;
    };

    std::size_t at = 2;  // after the start-of-image marker
    while (at + 1 < n) {
        if (d[at] != 0xFF) {
            ++at;
            continue;
        }
        while (at + 1 < n && d[at + 1] == 0xFF) ++at;  // fill bytes
        if (at + 1 >= n) break;
        const unsigned marker = d[at + 1];
        at += 2;
        if (marker == 0xD9) break;  // end of image
        // A stuffed zero, a restart or TEM: no length follows.
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
        // The first frame header (baseline, extended or progressive) counts.
        if (!frame_seen && marker >= 0xC0 && marker <= 0xC2) {
            frame_seen = true;
            progressive = marker == 0xC2;
        }
        if (marker == 0xC4 && !tables_fit(at)) return false;
        if (marker == 0xDA && !scan_tables_defined(at)) return false;
        at += (byte(at) << 8) | byte(at + 1);
    }
    return true;
}

const unsigned char k_png_signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// The PNG decoder grows its buffer for the compressed data to whatever an
// IDAT chunk declares before it finds the bytes missing: a small file can
// make it reserve gigabytes. Every chunk up to IEND must lie within the file.
bool Png_Chunks_Within_File(const unsigned char* d, std::size_t n) {
    if (n < 8 || std::memcmp(d, k_png_signature, 8) != 0) return true;
    for (std::size_t at = 8; at + 8 <= n;) {
        const std::size_t length = (std::size_t{d[at]} << 24) | (std::size_t{d[at + 1]} << 16) |
                                   (std::size_t{d[at + 2]} << 8) | d[at + 3];
        if (length > n - at - 8) return false;
        if (std::memcmp(d + at + 4, "IEND", 4) == 0) break;
        at += 12 + length;
    }
    return true;
}

// The PNG decoder copies an empty IDAT chunk into a buffer it has not
// allocated yet (a null pointer, which the sanitizers rightly object to).
// Empty IDAT chunks carry nothing, so a copy of the file without them is
// decoded instead. Returns false when there are none.
bool Without_Empty_Png_Data_Chunks(const unsigned char* d, std::size_t n,
                                   std::vector<unsigned char>* out) {
    if (n < 8 || std::memcmp(d, k_png_signature, 8) != 0) return false;
    bool found = false;
    std::size_t at = 8, copied = 0;
    while (at + 12 <= n) {
        const std::size_t length = (std::size_t{d[at]} << 24) | (std::size_t{d[at + 1]} << 16) |
                                   (std::size_t{d[at + 2]} << 8) | d[at + 3];
        if (length > n - at - 12) break;
        if (length == 0 && std::memcmp(d + at + 4, "IDAT", 4) == 0) {
            out->insert(out->end(), d + copied, d + at);
            copied = at + 12;
            found = true;
        }
        at += 12 + length;
    }
    if (found) out->insert(out->end(), d + copied, d + n);
    return found;
}

HRESULT Decode_Picture(const unsigned char* data, std::size_t size, const Texture_Limits& limits,
                       Texture_Image* out) {
    if (size == 0 || size > static_cast<std::size_t>(INT_MAX)) return D3DXERR_INVALIDDATA;
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xD8 && !Jpeg_Tables_Usable(data, size)) {
        return D3DXERR_INVALIDDATA;
    }
    if (!Png_Chunks_Within_File(data, size)) return D3DXERR_INVALIDDATA;
    std::vector<unsigned char> cleaned;
    try {
        if (Without_Empty_Png_Data_Chunks(data, size, &cleaned)) {
            data = cleaned.data();
            size = cleaned.size();
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    const int length = static_cast<int>(size);
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(data, length, &width, &height, &channels)) {
        return D3DXERR_INVALIDDATA;
    }
    if (width <= 0 || height <= 0 || static_cast<UINT>(width) > k_max_texture_edge ||
        static_cast<UINT>(height) > k_max_texture_edge) {
        return D3DXERR_INVALIDDATA;
    }
    // The header's size alone says whether the device could hold the
    // picture; a small file can declare gigabytes of pixels.
    if (!Texture_Fits(limits, D3DFMT_A8R8G8B8, static_cast<UINT>(width), static_cast<UINT>(height),
                      1)) {
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    stbi_uc* rgba = stbi_load_from_memory(data, length, &width, &height, &channels, 4);
    if (!rgba) return D3DXERR_INVALIDDATA;

    HRESULT hr = D3D_OK;
    try {
        Texture_Image image;
        image.format = D3DFMT_A8R8G8B8;
        image.faces.resize(1);
        Texture_Level top;
        top.width = static_cast<UINT>(width);
        top.height = static_cast<UINT>(height);
        const std::size_t count = static_cast<std::size_t>(width) * height;
        top.bytes.resize(count * 4);
        for (std::size_t i = 0; i < count; ++i) {
            // RGBA from the decoder to B, G, R, A of A8R8G8B8.
            top.bytes[i * 4 + 0] = rgba[i * 4 + 2];
            top.bytes[i * 4 + 1] = rgba[i * 4 + 1];
            top.bytes[i * 4 + 2] = rgba[i * 4 + 0];
            top.bytes[i * 4 + 3] = rgba[i * 4 + 3];
        }
        image.faces[0].push_back(std::move(top));
        Complete_Mip_Chain(&image.faces[0]);
        *out = std::move(image);
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    }
    stbi_image_free(rgba);
    return hr;
}

}  // namespace

void Complete_Mip_Chain(std::vector<Texture_Level>* levels) {
    if (!levels || levels->empty()) return;
    const UINT full = Full_Mip_Count((*levels)[0].width, (*levels)[0].height);
    while (levels->size() < full) {
        Texture_Level next = Half_Level(levels->back());
        levels->push_back(std::move(next));
    }
}

HRESULT Decode_Texture(const unsigned char* data, std::size_t size, Texture_Image* out,
                       const Texture_Limits& limits) {
    if (!data || !out) return D3DERR_INVALIDCALL;
    if (Dds_Has_Signature(data, size)) return Dds_Decode(data, size, out, limits);
    return Decode_Picture(data, size, limits, out);
}
