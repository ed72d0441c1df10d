#include "x11_capture.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

std::vector<std::uint32_t> X11_Window_Pixels(SDL_Window* window, int width, int height) {
    std::vector<std::uint32_t> argb;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return argb;
    Display* display = info.info.x11.display;
    XSync(display, False);
    XImage* image = XGetImage(display, info.info.x11.window, 0, 0, unsigned(width),
                              unsigned(height), AllPlanes, ZPixmap);
    if (!image) return argb;
    argb.resize(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            argb[std::size_t(y) * std::size_t(width) + std::size_t(x)] =
                0xFF000000u | std::uint32_t(XGetPixel(image, x, y) & 0xFFFFFF);
    XDestroyImage(image);
    return argb;
}
