// The engine's Direct3D 9 on Windows: the SDK's d3d9.h, and the Linux
// additions to it.
#pragma once

#include "platform/win32.h"

#include <d3d9.h>

// Direct3DCreate9, as the engine calls it: the system's, whose devices keep
// a copy of each frame they present for Platform_Read_Last_Frame (the back
// buffer itself may be discarded at Present).
IDirect3D9* WINAPI Platform_Direct3DCreate9(UINT sdk_version);
#define Direct3DCreate9 Platform_Direct3DCreate9

// The last presented frame (the back buffer, after Present) as tightly
// packed 8-bit RGBA rows, top row first; read through GetRenderTargetData
// into a system-memory surface.
bool Platform_Read_Last_Frame(IDirect3DDevice9* device, int* width, int* height,
                              unsigned char** rgba /* malloc'ed; caller frees */);
// Writes it as a PNG file (the same writer as on Linux).
bool Platform_Save_Screenshot(IDirect3DDevice9* device, const char* utf8_path);
