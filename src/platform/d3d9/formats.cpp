#include "platform/d3d9/formats.h"

#include <algorithm>
#include <array>

namespace qm_d3d9 {

namespace {

constexpr GLint R = GL_RED, G = GL_GREEN, B = GL_BLUE, A = GL_ALPHA, ONE = GL_ONE, ZERO = GL_ZERO;

// Every texel layout is the little-endian memory order Direct3D documents for
// the format, handed to GL unchanged; swizzles give the channels D3D returns
// for formats that lack some (luminance, alpha-only, X-padded, float R/RG).
const std::array<Format_Info, 22> k_formats = {{
    {D3DFMT_A8R8G8B8, 4, false, GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, {R, G, B, A}},
    {D3DFMT_X8R8G8B8, 4, false, GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, {R, G, B, ONE}},
    {D3DFMT_A8B8G8R8, 4, false, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, {R, G, B, A}},
    {D3DFMT_X8B8G8R8, 4, false, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, {R, G, B, ONE}},
    {D3DFMT_R8G8B8, 3, false, GL_RGB8, GL_BGR, GL_UNSIGNED_BYTE, {R, G, B, ONE}},
    {D3DFMT_R5G6B5, 2, false, GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, {R, G, B, ONE}},
    {D3DFMT_X1R5G5B5, 2, false, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, {R, G, B, ONE}},
    {D3DFMT_A1R5G5B5, 2, false, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, {R, G, B, A}},
    {D3DFMT_A4R4G4B4, 2, false, GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, {R, G, B, A}},
    {D3DFMT_A8, 1, false, GL_R8, GL_RED, GL_UNSIGNED_BYTE, {ZERO, ZERO, ZERO, R}},
    {D3DFMT_L8, 1, false, GL_R8, GL_RED, GL_UNSIGNED_BYTE, {R, R, R, ONE}},
    {D3DFMT_A8L8, 2, false, GL_RG8, GL_RG, GL_UNSIGNED_BYTE, {R, R, R, G}},
    {D3DFMT_A16B16G16R16, 8, false, GL_RGBA16, GL_RGBA, GL_UNSIGNED_SHORT, {R, G, B, A}},
    {D3DFMT_R16F, 2, false, GL_R16F, GL_RED, GL_HALF_FLOAT, {R, ONE, ONE, ONE}},
    {D3DFMT_G16R16F, 4, false, GL_RG16F, GL_RG, GL_HALF_FLOAT, {R, G, ONE, ONE}},
    {D3DFMT_A16B16G16R16F, 8, false, GL_RGBA16F, GL_RGBA, GL_HALF_FLOAT, {R, G, B, A}},
    {D3DFMT_R32F, 4, false, GL_R32F, GL_RED, GL_FLOAT, {R, ONE, ONE, ONE}},
    {D3DFMT_G32R32F, 8, false, GL_RG32F, GL_RG, GL_FLOAT, {R, G, ONE, ONE}},
    {D3DFMT_A32B32G32R32F, 16, false, GL_RGBA32F, GL_RGBA, GL_FLOAT, {R, G, B, A}},
    {D3DFMT_DXT1,
     Block_Bytes(D3DFMT_DXT1),
     true,
     GL_COMPRESSED_RGBA_S3TC_DXT1_EXT,
     0,
     0,
     {R, G, B, A}},
    {D3DFMT_DXT3,
     Block_Bytes(D3DFMT_DXT3),
     true,
     GL_COMPRESSED_RGBA_S3TC_DXT3_EXT,
     0,
     0,
     {R, G, B, A}},
    {D3DFMT_DXT5,
     Block_Bytes(D3DFMT_DXT5),
     true,
     GL_COMPRESSED_RGBA_S3TC_DXT5_EXT,
     0,
     0,
     {R, G, B, A}},
}};

}  // namespace

const Format_Info* Find_Texture_Format(D3DFORMAT format) {
    // DXT2 and DXT4 are the premultiplied twins of DXT3 and DXT5; the blocks
    // decode identically.
    if (format == D3DFMT_DXT2) format = D3DFMT_DXT3;
    if (format == D3DFMT_DXT4) format = D3DFMT_DXT5;
    for (const Format_Info& info : k_formats)
        if (info.format == format) return &info;
    return nullptr;
}

Level_Layout Level_Layout_Of(const Format_Info& info, UINT width, UINT height, UINT level) {
    Level_Layout layout;
    layout.width = std::max(1u, width >> std::min(level, 31u));
    layout.height = std::max(1u, height >> std::min(level, 31u));
    if (info.compressed) {
        layout.pitch = ((layout.width + 3) / 4) * info.bytes;
        layout.rows = (layout.height + 3) / 4;
    } else {
        layout.pitch = layout.width * info.bytes;
        layout.rows = layout.height;
    }
    return layout;
}

}  // namespace qm_d3d9
