// Reading the last presented frame back: for screenshots and for tests.
#include <cstdlib>
#include <cstring>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb/stb_image_write.h>

#include "platform/d3d9/device.h"

bool Platform_Read_Last_Frame(IDirect3DDevice9* device, int* width, int* height,
                              unsigned char** rgba) {
    if (!width || !height || !rgba) return false;
    *rgba = nullptr;
    auto* ours = dynamic_cast<qm_d3d9::Device*>(device);
    if (!ours) return false;
    std::vector<unsigned char> pixels;
    if (!ours->Read_Last_Frame(width, height, &pixels)) return false;
    *rgba = static_cast<unsigned char*>(std::malloc(pixels.size()));
    if (!*rgba) return false;
    std::memcpy(*rgba, pixels.data(), pixels.size());
    return true;
}

bool Platform_Save_Screenshot(IDirect3DDevice9* device, const char* utf8_path) {
    if (!utf8_path || !*utf8_path) return false;
    auto* ours = dynamic_cast<qm_d3d9::Device*>(device);
    if (!ours) return false;
    int width = 0, height = 0;
    std::vector<unsigned char> pixels;
    if (!ours->Read_Last_Frame(&width, &height, &pixels)) return false;
    // The window shows the frame opaque whatever alpha the back buffer holds.
    for (std::size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
    return stbi_write_png(utf8_path, width, height, 4, pixels.data(), width * 4) != 0;
}
