// Watches what an X window shows (kept apart from the tests: Xlib's macros
// clash with GoogleTest's names).
#pragma once

#include <cstdint>
#include <string>

// A hash of a rectangle of the window's pixels as the X server shows them;
// false when the display or the window cannot be read.
bool X11_Region_Hash(const char* display, const std::string& window_id, int x, int y, int width,
                     int height, std::uint64_t* hash);

// One pixel of the window as the X server shows it, 0xRRGGBB.
bool X11_Pixel(const char* display, const std::string& window_id, int x, int y, std::uint32_t* rgb);
