#include "device/device_setup.h"

namespace {

const char* const Device_Window_Class = "Quillmoor_Device_Window";

}  // namespace

D3DPRESENT_PARAMETERS Engine_Present_Parameters() {
    D3DPRESENT_PARAMETERS present = {};
    present.BackBufferWidth = 0;
    present.BackBufferHeight = 0;
    present.BackBufferFormat = D3DFMT_UNKNOWN;
    present.BackBufferCount = 0;
    present.MultiSampleType = D3DMULTISAMPLE_4_SAMPLES;
    present.MultiSampleQuality = 0;
    present.SwapEffect = D3DSWAPEFFECT_DISCARD;
    present.hDeviceWindow = nullptr;
    present.Windowed = TRUE;
    present.EnableAutoDepthStencil = TRUE;
    present.AutoDepthStencilFormat = D3DFMT_D16;
    present.Flags = D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL;
    present.FullScreen_RefreshRateInHz = 0;
    present.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    return present;
}

int Create_Direct3D_Device(HWND window, IDirect3D9** d3d, IDirect3DDevice9** device) {
    *device = nullptr;
    *d3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (*d3d == nullptr) {
        return Device_Setup_No_Direct3D;
    }
    D3DPRESENT_PARAMETERS present = Engine_Present_Parameters();
    if (FAILED((*d3d)->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                    D3DCREATE_SOFTWARE_VERTEXPROCESSING, &present, device))) {
        *device = nullptr;
        return Device_Setup_No_Device;
    }
    return Device_Setup_Ok;
}

HWND Create_Device_Window(const char* title, int client_width, int client_height, DWORD style) {
    WNDCLASSEXA window_class = {};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = DefWindowProcA;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.lpszClassName = Device_Window_Class;
    RegisterClassExA(&window_class);  // fails harmlessly when registered already

    RECT outer = {0, 0, client_width, client_height};
    AdjustWindowRect(&outer, style, FALSE);
    return CreateWindowExA(0, Device_Window_Class, title, style, 0, 0, outer.right - outer.left,
                           outer.bottom - outer.top, nullptr, nullptr, window_class.hInstance,
                           nullptr);
}
