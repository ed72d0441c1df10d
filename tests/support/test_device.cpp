#include "support/test_device.h"

#include "device/device_setup.h"

#include <cstdlib>
#include <cstring>

namespace {

void Ensure_Headless_Platform() {
    static bool initialised = false;
    // Another test of the process may have switched to a display since.
    if (!initialised || !Platform_Is_Headless()) {
        Platform_Init(true);
        initialised = true;
    }
}

}  // namespace

Test_Device::Test_Device(int w, int h) : width(w), height(h) {
    Ensure_Headless_Platform();
    window = Create_Device_Window("test", w, h);
    if (!window) {
        error_ = "CreateWindowExA failed";
        return;
    }
    switch (Create_Direct3D_Device(window, &d3d, &device)) {
    case Device_Setup_No_Direct3D: error_ = "Direct3DCreate9 failed"; break;
    case Device_Setup_No_Device: error_ = "CreateDevice failed"; break;
    default: break;
    }
}

Test_Device::~Test_Device() {
    if (device) device->Release();
    if (d3d) d3d->Release();
    if (window) DestroyWindow(window);
}

bool Test_Device::Capture() {
    if (!device || FAILED(device->Present(nullptr, nullptr, nullptr, nullptr))) return false;
    int w = 0, h = 0;
    unsigned char* pixels = nullptr;
    if (!Platform_Read_Last_Frame(device, &w, &h, &pixels)) return false;
    rgba.assign(pixels, pixels + std::size_t(w) * std::size_t(h) * 4);
    std::free(pixels);
    width = w;
    height = h;
    return true;
}

std::uint32_t Test_Device::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height || rgba.empty()) return 0;
    const unsigned char* p = &rgba[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4];
    return (std::uint32_t(p[3]) << 24) | (std::uint32_t(p[0]) << 16) | (std::uint32_t(p[1]) << 8) |
           std::uint32_t(p[2]);
}

int Test_Device::Channel(int x, int y, int channel) const {
    if (x < 0 || y < 0 || x >= width || y >= height || rgba.empty() || channel < 0 || channel > 3)
        return -1;
    return rgba[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4 + std::size_t(channel)];
}
