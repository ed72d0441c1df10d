// Creation of the Direct3D device, the overlay font and the start-up effects.
#pragma once

#include "platform/d3dx9.h"

HRESULT Create_Device(HWND window, BYTE* left_button, BYTE* anti_aliasing);

// The camera speed set at device creation, in scene units per millisecond.
const float Camera_Start_Speed = 0.222f;

// The effects loaded at start-up; a file that does not load is reported.
extern const char* const Startup_Effect_Files[3];
