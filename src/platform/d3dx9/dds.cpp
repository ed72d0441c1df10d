// The DDS reader: a 128-byte header (signature, DDS_HEADER, DDS_PIXELFORMAT)
// followed by every face's mip chain, largest level first.
#include "platform/d3dx9/dds.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

namespace {

constexpr std::size_t k_header_bytes = 128;

// Header flags and capabilities used by the reader.
constexpr DWORD k_pf_alpha_pixels = 0x1;
constexpr DWORD k_pf_alpha = 0x2;
constexpr DWORD k_pf_four_cc = 0x4;
constexpr DWORD k_pf_rgb = 0x40;
constexpr DWORD k_pf_luminance = 0x20000;
constexpr DWORD k_caps2_cube_map = 0x200;
constexpr DWORD k_caps2_all_faces = 0xFC00;  // +X, -X, +Y, -Y, +Z, -Z
constexpr DWORD k_caps2_volume = 0x200000;

DWORD Read_U32(const unsigned char* p) {
    return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) |
           (static_cast<DWORD>(p[2]) << 16) | (static_cast<DWORD>(p[3]) << 24);
}

// An uncompressed layout described by bit masks.
struct Mask_Layout {
    UINT bits = 0;
    DWORD r = 0, g = 0, b = 0, a = 0;
    bool luminance = false;   // r mask holds a grey level for all three colours
    bool alpha_only = false;  // no colour: colours read as 0
};

// One channel of a mask layout, widened to 8 bits.
struct Channel {
    DWORD mask = 0;
    int shift = 0;
    DWORD max = 0;

    explicit Channel(DWORD m) : mask(m) {
        if (mask == 0) return;
        while (((mask >> shift) & 1u) == 0) ++shift;
        max = mask >> shift;
    }

    unsigned char Widen(DWORD pixel, unsigned char absent) const {
        if (max == 0) return absent;
        const std::uint64_t v = (pixel & mask) >> shift;
        return static_cast<unsigned char>((v * 255u + max / 2) / max);
    }
};

bool Masks_Fit(const Mask_Layout& layout) {
    if (layout.bits != 8 && layout.bits != 16 && layout.bits != 24 && layout.bits != 32) {
        return false;
    }
    const std::uint64_t limit = (std::uint64_t{1} << layout.bits) - 1;
    const DWORD masks[] = {layout.r, layout.g, layout.b, layout.a};
    for (DWORD m : masks) {
        if (m > limit) return false;
    }
    return true;
}

// The Direct3D format codes some writers store in the four-character code
// instead of bit masks.
bool Layout_From_Format_Code(DWORD code, Mask_Layout* layout) {
    Mask_Layout l;
    switch (code) {
    case D3DFMT_R8G8B8: l = {24, 0xFF0000, 0xFF00, 0xFF, 0, false, false}; break;
    case D3DFMT_A8R8G8B8: l = {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u, false, false}; break;
    case D3DFMT_X8R8G8B8: l = {32, 0xFF0000, 0xFF00, 0xFF, 0, false, false}; break;
    case D3DFMT_A8B8G8R8: l = {32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000u, false, false}; break;
    case D3DFMT_X8B8G8R8: l = {32, 0xFF, 0xFF00, 0xFF0000, 0, false, false}; break;
    case D3DFMT_R5G6B5: l = {16, 0xF800, 0x07E0, 0x001F, 0, false, false}; break;
    case D3DFMT_X1R5G5B5: l = {16, 0x7C00, 0x03E0, 0x001F, 0, false, false}; break;
    case D3DFMT_A1R5G5B5: l = {16, 0x7C00, 0x03E0, 0x001F, 0x8000, false, false}; break;
    case D3DFMT_A4R4G4B4: l = {16, 0x0F00, 0x00F0, 0x000F, 0xF000, false, false}; break;
    case D3DFMT_A8: l = {8, 0, 0, 0, 0xFF, false, true}; break;
    case D3DFMT_L8: l = {8, 0xFF, 0, 0, 0, true, false}; break;
    case D3DFMT_A8L8: l = {16, 0xFF, 0, 0, 0xFF00, true, false}; break;
    default: return false;
    }
    *layout = l;
    return true;
}

// Converts one level of a mask layout into A8R8G8B8.
void Convert_Level(const unsigned char* src, const Mask_Layout& layout, Texture_Level* level) {
    const Channel r(layout.r), g(layout.g), b(layout.b), a(layout.a);
    const std::size_t pixel_bytes = layout.bits / 8;
    const std::size_t count = static_cast<std::size_t>(level->width) * level->height;
    unsigned char* out = level->bytes.data();
    for (std::size_t i = 0; i < count; ++i, src += pixel_bytes, out += 4) {
        DWORD pixel = 0;
        for (std::size_t k = 0; k < pixel_bytes; ++k) {
            pixel |= static_cast<DWORD>(src[k]) << (8 * k);
        }
        unsigned char cr = 0, cg = 0, cb = 0;
        if (layout.luminance) {
            cr = cg = cb = r.Widen(pixel, 0);
        } else if (!layout.alpha_only) {
            cr = r.Widen(pixel, 0);
            cg = g.Widen(pixel, 0);
            cb = b.Widen(pixel, 0);
        }
        out[0] = cb;
        out[1] = cg;
        out[2] = cr;
        out[3] = a.Widen(pixel, 255);
    }
}

}  // namespace

bool Dds_Has_Signature(const unsigned char* data, std::size_t size) {
    return data && size >= 4 && std::memcmp(data, "DDS ", 4) == 0;
}

HRESULT Dds_Decode(const unsigned char* data, std::size_t size, Texture_Image* out,
                   const Texture_Limits& limits) {
    if (!data || !out) return D3DERR_INVALIDCALL;
    if (!Dds_Has_Signature(data, size) || size < k_header_bytes) return D3DXERR_INVALIDDATA;

    const unsigned char* h = data + 4;
    const DWORD header_size = Read_U32(h + 0);
    const UINT height = Read_U32(h + 8);
    const UINT width = Read_U32(h + 12);
    const DWORD mip_field = Read_U32(h + 24);
    const DWORD pf_size = Read_U32(h + 72);
    const DWORD pf_flags = Read_U32(h + 76);
    const DWORD four_cc = Read_U32(h + 80);
    const DWORD caps2 = Read_U32(h + 108);

    if (header_size != 124 || pf_size != 32) return D3DXERR_INVALIDDATA;
    if (width == 0 || height == 0 || width > k_max_texture_edge || height > k_max_texture_edge) {
        return D3DXERR_INVALIDDATA;
    }
    if (caps2 & k_caps2_volume) return D3DXERR_INVALIDDATA;

    const bool cube = (caps2 & k_caps2_cube_map) != 0;
    if (cube && ((caps2 & k_caps2_all_faces) != k_caps2_all_faces || width != height)) {
        return D3DXERR_INVALIDDATA;
    }

    // What the data is: a block format kept as it is, or a mask layout.
    D3DFORMAT format = D3DFMT_UNKNOWN;
    Mask_Layout layout;
    if (pf_flags & k_pf_four_cc) {
        switch (four_cc) {
        case D3DFMT_DXT1: format = D3DFMT_DXT1; break;
        // Premultiplied variants share the block layout of DXT3 and DXT5.
        case D3DFMT_DXT2:
        case D3DFMT_DXT3: format = D3DFMT_DXT3; break;
        case D3DFMT_DXT4:
        case D3DFMT_DXT5: format = D3DFMT_DXT5; break;
        default:
            if (!Layout_From_Format_Code(four_cc, &layout)) return D3DXERR_INVALIDDATA;
            format = D3DFMT_A8R8G8B8;
            break;
        }
    } else {
        layout.bits = Read_U32(h + 84);
        layout.r = Read_U32(h + 88);
        layout.g = Read_U32(h + 92);
        layout.b = Read_U32(h + 96);
        layout.a = (pf_flags & (k_pf_alpha_pixels | k_pf_alpha)) ? Read_U32(h + 100) : 0;
        if (pf_flags & k_pf_rgb) {
            // plain colour masks
        } else if (pf_flags & k_pf_luminance) {
            layout.luminance = true;
        } else if (pf_flags & k_pf_alpha) {
            layout.alpha_only = true;
        } else {
            return D3DXERR_INVALIDDATA;
        }
        if (!Masks_Fit(layout)) return D3DXERR_INVALIDDATA;
        format = D3DFMT_A8R8G8B8;
    }
    const bool compressed = Is_Block_Compressed(format);

    // Uncompressed layouts are held as A8R8G8B8 once decoded.
    if (!Texture_Fits(limits, format, width, height, cube ? 6 : 1)) {
        return D3DERR_OUTOFVIDEOMEMORY;
    }

    const UINT full = Full_Mip_Count(width, height);
    const UINT stored_levels = std::clamp<UINT>(mip_field, 1, full);
    const UINT face_count = cube ? 6 : 1;

    // Every byte the levels need must be in the file before anything is
    // allocated for them.
    const std::size_t stored_pixel_bytes = compressed ? 0 : layout.bits / 8;
    auto stored_level_bytes = [&](UINT w, UINT hgt) -> std::uint64_t {
        if (compressed) return Texture_Level_Bytes(format, w, hgt);
        return static_cast<std::uint64_t>(w) * hgt * stored_pixel_bytes;
    };
    std::uint64_t needed = 0;
    for (UINT level = 0; level < stored_levels; ++level) {
        needed += stored_level_bytes(std::max(1u, width >> level), std::max(1u, height >> level));
    }
    needed *= face_count;
    if (needed > size - k_header_bytes) return D3DXERR_INVALIDDATA;

    Texture_Image image;
    image.format = format;
    image.cube = cube;
    try {
        const unsigned char* src = data + k_header_bytes;
        image.faces.resize(face_count);
        for (auto& face : image.faces) {
            face.resize(stored_levels);
            for (UINT level = 0; level < stored_levels; ++level) {
                Texture_Level& dst = face[level];
                dst.width = std::max(1u, width >> level);
                dst.height = std::max(1u, height >> level);
                const std::size_t in_bytes =
                    static_cast<std::size_t>(stored_level_bytes(dst.width, dst.height));
                if (compressed) {
                    dst.bytes.assign(src, src + in_bytes);
                } else {
                    dst.bytes.resize(Texture_Level_Bytes(D3DFMT_A8R8G8B8, dst.width, dst.height));
                    Convert_Level(src, layout, &dst);
                }
                src += in_bytes;
            }
            // A compressed chain is kept as stored; an uncompressed one gets
            // its missing smaller levels.
            if (!compressed) Complete_Mip_Chain(&face);
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    *out = std::move(image);
    return D3D_OK;
}
