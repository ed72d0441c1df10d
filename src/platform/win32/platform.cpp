// Choice between a real display (SDL video) and headless operation.
#include "win32_internal.h"

#include <cstdio>
#include <cstdlib>

namespace {

enum class Mode { Unset, Windowed, Headless };

Mode g_mode = Mode::Unset;
bool g_noted_headless = false;

void Note_No_Display() {
    if (!g_noted_headless) {
        g_noted_headless = true;
        std::fputs("quillmoor: no display available, running headless\n", stderr);
    }
}

bool Has_Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

bool Start_Sdl_Video() {
    if (!Has_Env("SDL_VIDEODRIVER")) {
        // Nothing to connect to: do not let SDL probe every backend (and
        // print their complaints) only to fail.
        if (!Has_Env("DISPLAY") && !Has_Env("WAYLAND_DISPLAY")) {
            return false;
        }
        SDL_SetHint(SDL_HINT_VIDEODRIVER, Has_Env("WAYLAND_DISPLAY") ? nullptr : "x11");
    }
    // Windows sends one WM_CLOSE per close request; SDL's extra quit event for
    // the last window would only duplicate it.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // A Win32 window does not capture the mouse while a button is held.
    SDL_SetHint(SDL_HINT_MOUSE_AUTO_CAPTURE, "0");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        return false;
    }
    if (SDL_GetNumVideoDisplays() < 1) {
        SDL_Quit();
        return false;
    }
    // Key messages are all the engine reads; no text input method needed.
    SDL_StopTextInput();
    return true;
}

}  // namespace

bool Platform_Init(bool force_headless) {
    if (g_mode != Mode::Unset) {
        Platform_Shutdown();
    }
    if (force_headless) {
        g_mode = Mode::Headless;
    } else if (Start_Sdl_Video()) {
        g_mode = Mode::Windowed;
    } else {
        Note_No_Display();
        g_mode = Mode::Headless;
    }
    return g_mode == Mode::Headless;
}

bool Platform_Is_Headless(void) {
    Win32_Ensure_Init();
    return g_mode == Mode::Headless;
}

void Platform_Shutdown(void) {
    if (g_mode == Mode::Unset) {
        return;
    }
    Win32_Forget_All_Windows();
    Win32_Clear_Queue();
    Win32_Reset_Input();
    if (g_mode == Mode::Windowed) {
        SDL_Quit();
    }
    g_mode = Mode::Unset;
}

void Win32_Ensure_Init() {
    if (g_mode == Mode::Unset) {
        Platform_Init(false);
    }
}

bool Win32_Sdl_Video_Ready() {
    return g_mode == Mode::Windowed;
}
