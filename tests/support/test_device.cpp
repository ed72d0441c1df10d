#include "support/test_device.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* k_class_name = "Quillmoor_Test_Device";

LRESULT CALLBACK Test_Window_Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcA(hwnd, message, wparam, lparam);
}

void Ensure_Headless_Platform() {
    static bool initialised = false;
    // Another test of the process may have switched to a display since.
    if (!initialised || !Platform_Is_Headless()) {
        Platform_Init(true);
        initialised = true;
    }
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Test_Window_Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = k_class_name;
    RegisterClassExA(&wc);  // fails harmlessly when registered already
}

}  // namespace

D3DPRESENT_PARAMETERS Engine_Present_Parameters() {
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = 0;
    pp.BackBufferHeight = 0;
    pp.BackBufferFormat = D3DFMT_UNKNOWN;
    pp.BackBufferCount = 0;
    pp.MultiSampleType = D3DMULTISAMPLE_4_SAMPLES;
    pp.MultiSampleQuality = 0;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.hDeviceWindow = nullptr;
    pp.Windowed = TRUE;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D16;
    pp.Flags = D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL;
    pp.FullScreen_RefreshRateInHz = 0;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    return pp;
}

Test_Device::Test_Device(int w, int h) : width(w), height(h) {
    Ensure_Headless_Platform();
    window = CreateWindowExA(0, k_class_name, "test", WS_OVERLAPPEDWINDOW, 0, 0, w + 16, h + 39,
                             nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!window) {
        error_ = "CreateWindowExA failed";
        return;
    }
    d3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (!d3d) {
        error_ = "Direct3DCreate9 failed";
        return;
    }
    D3DPRESENT_PARAMETERS pp = Engine_Present_Parameters();
    if (FAILED(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                 D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device))) {
        device = nullptr;
        error_ = "CreateDevice failed";
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
