// Reads what the X server shows in an SDL window (kept apart from the tests:
// Xlib's macros clash with GoogleTest's names).
#pragma once

#include <cstdint>
#include <vector>

struct SDL_Window;

// The window's pixels as ARGB, top row first; empty when the window is not
// an X11 window or cannot be read.
std::vector<std::uint32_t> X11_Window_Pixels(SDL_Window* window, int width, int height);
