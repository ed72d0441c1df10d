// Setting up a window and a Direct3D device the way the engine does. The
// engine's start-up, the tests, the benchmarks and quillmoor-fx all create
// their devices through here, so they all render with the same present
// parameters.
#pragma once

#include "platform/d3d9.h"
#include "platform/win32.h"

// The engine's present parameters: windowed, back buffer the size of the
// client area, 4-sample multisampling, 16-bit depth, immediate presentation.
D3DPRESENT_PARAMETERS Engine_Present_Parameters();

// Direct3DCreate9, then CreateDevice on `window` with the engine's present
// parameters and software vertex processing. Returns 0, or
// Device_Setup_No_Direct3D (*d3d and *device null) or Device_Setup_No_Device
// (*d3d set, for the caller to release; *device null).
enum Device_Setup_Status {
    Device_Setup_Ok = 0,
    Device_Setup_No_Direct3D = -1,
    Device_Setup_No_Device = -2,
};
int Create_Direct3D_Device(HWND window, IDirect3D9** d3d, IDirect3DDevice9** device);

// A plain window (messages go to DefWindowProcA) whose client area is
// client_width x client_height: the outer size is grown by the frame as
// AdjustWindowRect gives it. Null on failure.
HWND Create_Device_Window(const char* title, int client_width, int client_height,
                          DWORD style = WS_OVERLAPPEDWINDOW);
