// How large a texture file may be before it is decoded: the device's largest
// edge, and a bound on the bytes the decoded chain of levels takes.
#include "platform/d3dx9/texture_image.h"

#include "platform/d3d9/gl_device.h"

#include <algorithm>
#include <cstdint>

Texture_Limits Device_Texture_Limits(IDirect3DDevice9* device) {
    Texture_Limits limits;
    Gl_Device* gl = Gl_Device_From(device);
    if (!gl) return limits;
    gl->Make_Current();
    GLint edge = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &edge);
    if (edge > 0) limits.max_edge = std::min(limits.max_edge, static_cast<UINT>(edge));
    return limits;
}

bool Texture_Fits(const Texture_Limits& limits, D3DFORMAT format, UINT width, UINT height,
                  UINT faces) {
    if (width == 0 || height == 0 || width > limits.max_edge || height > limits.max_edge) {
        return false;
    }
    std::uint64_t total = 0;
    for (UINT w = width, h = height;; w = std::max(1u, w / 2), h = std::max(1u, h / 2)) {
        total += Texture_Level_Bytes(format, w, h);
        if (w == 1 && h == 1) break;
    }
    return total * faces <= limits.max_bytes;
}
