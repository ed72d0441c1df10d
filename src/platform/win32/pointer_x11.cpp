// The pointer's screen position straight from the X server. SDL's global
// mouse state is refreshed only by input it sees, so it goes stale while the
// pointer moves outside our windows, which GetCursorPos must still report.
#include "win32_internal.h"

#include <SDL_syswm.h>

bool Win32_Query_X11_Pointer(SDL_Window* window, int* x, int* y) {
#if defined(SDL_VIDEO_DRIVER_X11)
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window == nullptr || !SDL_GetWindowWMInfo(window, &info) ||
        info.subsystem != SDL_SYSWM_X11) {
        return false;
    }
    Window root = 0;
    Window child = 0;
    int root_x = 0;
    int root_y = 0;
    int window_x = 0;
    int window_y = 0;
    unsigned int mask = 0;
    // Root coordinates come back even when the pointer is on another screen.
    XQueryPointer(info.info.x11.display, info.info.x11.window, &root, &child, &root_x, &root_y,
                  &window_x, &window_y, &mask);
    *x = root_x;
    *y = root_y;
    return true;
#else
    (void)window;
    (void)x;
    (void)y;
    return false;
#endif
}
