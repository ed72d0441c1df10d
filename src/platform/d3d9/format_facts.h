// Facts about texture formats that hold whatever stores the texels: the
// block compression of the DXT formats and the length of a full mip chain.
// The device's texture storage and the D3DX texture loaders both read them.
#pragma once

#include "platform/d3d9.h"

// The DXT formats: 4x4 texel blocks.
constexpr bool Is_Block_Compressed(D3DFORMAT format) {
    return format == D3DFMT_DXT1 || format == D3DFMT_DXT2 || format == D3DFMT_DXT3 ||
           format == D3DFMT_DXT4 || format == D3DFMT_DXT5;
}

// Bytes of one 4x4 block of a block-compressed format.
constexpr UINT Block_Bytes(D3DFORMAT format) {
    return format == D3DFMT_DXT1 ? 8 : 16;
}

// Levels of a full mip chain down to 1x1.
constexpr UINT Full_Mip_Count(UINT width, UINT height) {
    UINT size = width > height ? width : height;
    UINT levels = 1;
    while (size > 1) {
        size >>= 1;
        ++levels;
    }
    return levels;
}
