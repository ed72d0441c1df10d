#include "x11_frames.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdlib>

bool X11_Region_Hash(const char* display_name, const std::string& window_id, int x, int y,
                     int width, int height, std::uint64_t* hash) {
    Display* display = XOpenDisplay(display_name);
    if (!display) return false;
    const Window window = Window(std::strtoul(window_id.c_str(), nullptr, 0));
    XImage* image = window ? XGetImage(display, window, x, y, unsigned(width), unsigned(height),
                                       AllPlanes, ZPixmap)
                           : nullptr;
    bool ok = false;
    if (image) {
        std::uint64_t h = 1469598103934665603ull;
        for (int row = 0; row < height; ++row)
            for (int column = 0; column < width; ++column)
                h = (h ^ std::uint64_t(XGetPixel(image, column, row) & 0xFFFFFF)) *
                    1099511628211ull;
        *hash = h;
        XDestroyImage(image);
        ok = true;
    }
    XCloseDisplay(display);
    return ok;
}

bool X11_Pixel(const char* display_name, const std::string& window_id, int x, int y,
               std::uint32_t* rgb) {
    Display* display = XOpenDisplay(display_name);
    if (!display) return false;
    const Window window = Window(std::strtoul(window_id.c_str(), nullptr, 0));
    XImage* image = window ? XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap) : nullptr;
    if (image) {
        *rgb = std::uint32_t(XGetPixel(image, 0, 0) & 0xFFFFFF);
        XDestroyImage(image);
    }
    XCloseDisplay(display);
    return image != nullptr;
}
