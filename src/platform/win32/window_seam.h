// The seam between the windows and the Direct3D device: the SDL window
// behind an HWND and its client-area size, all the device may know of a
// window. The device makes its GL context on that window and stretches its
// frames over that client area.
#pragma once

#include "platform/win32.h"

struct SDL_Window;

// The SDL window of a window created by CreateWindowExA; null when running
// headless, for a null hwnd or for one that has been destroyed.
SDL_Window* Win32_Sdl_Window(HWND hwnd);

// Current client-area size of a window (headless windows keep the size they
// were created with). False for a null or destroyed hwnd.
bool Win32_Client_Size(HWND hwnd, int* width, int* height);
