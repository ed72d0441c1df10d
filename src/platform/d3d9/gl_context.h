// The OpenGL 4.5 core context a device renders with: on the SDL window when
// there is a display, EGL surfaceless (no window system at all) when headless.
#pragma once

#include <memory>
#include <string>

struct SDL_Window;

namespace qm_d3d9 {

class Gl_Context {
public:
    // Headless devices all use one process-wide surfaceless context.
    static std::unique_ptr<Gl_Context> Create_Headless(std::string* error);
    // A context on the window, sharing objects with every earlier window context.
    static std::unique_ptr<Gl_Context> Create_On_Window(SDL_Window* window, std::string* error);

    ~Gl_Context();
    Gl_Context(const Gl_Context&) = delete;
    Gl_Context& operator=(const Gl_Context&) = delete;

    void Make_Current();
    // Contexts of one group share GL objects: 0 for the headless one, 1 for
    // window contexts.
    int Share_Group() const { return sdl_context_ ? 1 : 0; }
    // False once the last window context is gone, and with it the objects of
    // group 1. The headless group lives as long as the process.
    static bool Window_Objects_Alive();
    SDL_Window* Window() const { return window_; }  // null when headless
    // Size of the window's drawable in pixels; false when headless.
    bool Drawable_Size(int* width, int* height) const;
    void Set_Swap_Interval(int interval);
    void Swap();
    // The window was destroyed under the context: from now on the context is
    // made current on a hidden window of its own, and nothing is presented.
    void Window_Gone();
    // True while the context draws to a window the application sees.
    bool Presents() const { return window_ != nullptr && !stand_in_; }

private:
    Gl_Context() = default;
    SDL_Window* window_ = nullptr;
    void* sdl_context_ = nullptr;  // SDL_GLContext
    bool stand_in_ = false;        // window_ is our hidden stand-in
};

}  // namespace qm_d3d9
