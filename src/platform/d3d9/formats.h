// Texture formats the device accepts and how each maps onto OpenGL.
#pragma once

#include <cstddef>
#include <epoxy/gl.h>

#include "platform/d3d9.h"
#include "platform/d3d9/format_facts.h"

namespace qm_d3d9 {

struct Format_Info {
    D3DFORMAT format;
    // Uncompressed: bytes per texel. Compressed: bytes per 4x4 block.
    UINT bytes;
    bool compressed;
    GLenum internal_format;
    GLenum upload_format;  // unused for compressed formats
    GLenum upload_type;
    GLint swizzle[4];  // r, g, b, a as D3D samples them
};

// The entry for a texture format, or null when the device does not take it.
const Format_Info* Find_Texture_Format(D3DFORMAT format);

// Memory layout of one mip level as the application sees it when locking.
struct Level_Layout {
    UINT width = 0, height = 0;  // texels
    UINT pitch = 0;              // bytes per row (per row of 4x4 blocks when compressed)
    UINT rows = 0;               // rows (block rows when compressed)
    std::size_t size() const { return std::size_t(pitch) * rows; }
};

Level_Layout Level_Layout_Of(const Format_Info& info, UINT width, UINT height, UINT level);

}  // namespace qm_d3d9
