#include "platform/d3d9/gl_context.h"

#include <cstdint>

#include <malloc.h>

#include <SDL.h>
#include <epoxy/egl.h>
#include <epoxy/gl.h>

#include "platform/d3d9/gl_device.h"

namespace qm_d3d9 {

namespace {

// A software rasteriser allocates and frees its per-frame scene data (blocks
// of tens of kilobytes per draw) every frame. With glibc's defaults the top of
// the heap is handed back to the system after each frame and faulted in again
// during the next, which costs more than the drawing itself on scenes of a few
// hundred draws. Keeping up to this much free memory at the top of the heap
// makes that memory reusable from frame to frame.
constexpr int k_heap_keep = 64 << 20;

void Keep_Heap_Between_Frames() {
    static const bool done = [] {
        mallopt(M_TRIM_THRESHOLD, k_heap_keep);
        mallopt(M_TOP_PAD, 1 << 20);
        return true;
    }();
    (void)done;
}

// Which context was made current last; every device entry asks for its own,
// and the common case (one device) costs a comparison.
const void* g_current = nullptr;

struct Egl_State {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
    std::string error;
};

// Created on first use and kept until the process ends, so GL objects of
// headless devices (programs cached by effects, for instance) stay valid
// from one device to the next.
Egl_State& Headless_Egl() {
    static Egl_State state = [] {
        Egl_State s;
        if (!epoxy_has_egl_extension(EGL_NO_DISPLAY, "EGL_MESA_platform_surfaceless")) {
            s.error = "EGL surfaceless platform not available";
            return s;
        }
        EGLDisplay display =
            eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        EGLint major = 0, minor = 0;
        if (display == EGL_NO_DISPLAY || !eglInitialize(display, &major, &minor)) {
            s.error = "cannot initialise the EGL surfaceless display";
            return s;
        }
        if (!eglBindAPI(EGL_OPENGL_API)) {
            s.error = "EGL has no desktop OpenGL";
            return s;
        }
        const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION,
                                     4,
                                     EGL_CONTEXT_MINOR_VERSION,
                                     5,
                                     EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                     EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                     EGL_NONE};
        EGLContext context =
            eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
        if (context == EGL_NO_CONTEXT) {
            s.error = "cannot create an OpenGL 4.5 core context (EGL error " +
                      std::to_string(eglGetError()) + ")";
            return s;
        }
        s.display = display;
        s.context = context;
        return s;
    }();
    return state;
}

// Window contexts share objects with the first one, which stays until the
// last window context goes.
// A thread has one current context across EGL and GLX: the dispatch layer
// refuses to make one current while the other kind still is.
void Release_Headless_Context() {
    if (eglGetCurrentContext() != EGL_NO_CONTEXT)
        eglMakeCurrent(eglGetCurrentDisplay(), EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

void Release_Window_Context() {
    if (SDL_GL_GetCurrentContext()) SDL_GL_MakeCurrent(SDL_GL_GetCurrentWindow(), nullptr);
}

SDL_GLContext g_share_root = nullptr;
int g_window_contexts = 0;
// Counts the share roots made: window objects of one live under one number.
std::uint64_t g_window_generation = 0;

}  // namespace

std::unique_ptr<Gl_Context> Gl_Context::Create_Headless(std::string* error) {
    Keep_Heap_Between_Frames();
    Egl_State& egl = Headless_Egl();
    if (egl.context == EGL_NO_CONTEXT) {
        if (error) *error = egl.error;
        return nullptr;
    }
    std::unique_ptr<Gl_Context> context(new Gl_Context());
    context->Make_Current();
    return context;
}

std::unique_ptr<Gl_Context> Gl_Context::Create_On_Window(SDL_Window* window, std::string* error) {
    Keep_Heap_Between_Frames();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 4);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 5);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    const bool share = g_share_root != nullptr;
    Release_Headless_Context();
    if (share) SDL_GL_MakeCurrent(window, g_share_root);
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, share ? 1 : 0);
    SDL_GLContext sdl_context = SDL_GL_CreateContext(window);
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
    g_current = nullptr;
    if (!sdl_context) {
        if (error)
            *error = std::string("cannot create an OpenGL 4.5 core context: ") + SDL_GetError();
        return nullptr;
    }
    std::unique_ptr<Gl_Context> context(new Gl_Context());
    context->window_ = window;
    context->sdl_context_ = sdl_context;
    if (!share) {
        g_share_root = sdl_context;
        ++g_window_generation;
    }
    ++g_window_contexts;
    context->Make_Current();
    return context;
}

}  // namespace qm_d3d9

std::uint64_t Gl_Current_Object_Namespace() {
    const auto* current = static_cast<const qm_d3d9::Gl_Context*>(qm_d3d9::g_current);
    if (!current) return 0;
    return current->Share_Group() == 0 ? 1 : 1 + qm_d3d9::g_window_generation;
}

namespace qm_d3d9 {

bool Gl_Context::Window_Objects_Alive() {
    return g_window_contexts > 0;
}

Gl_Context::~Gl_Context() {
    if (!sdl_context_) {
        // Leave the thread free for a window context (which the window
        // system may want even before a device asks for one).
        if (g_current == this) {
            Release_Headless_Context();
            g_current = nullptr;
        }
        return;
    }
    if (g_current == this) g_current = nullptr;
    // Nothing may stay current on a window that is about to go away.
    SDL_GL_MakeCurrent(window_, nullptr);
    if (sdl_context_ != g_share_root)
        SDL_GL_DeleteContext(static_cast<SDL_GLContext>(sdl_context_));
    if (--g_window_contexts == 0) {
        SDL_GL_DeleteContext(g_share_root);
        g_share_root = nullptr;
    }
    if (stand_in_ && window_) SDL_DestroyWindow(window_);
}

void Gl_Context::Make_Current() {
    if (g_current == this) return;
    if (sdl_context_) {
        Release_Headless_Context();
        SDL_GL_MakeCurrent(window_, static_cast<SDL_GLContext>(sdl_context_));
    } else {
        Release_Window_Context();
        Egl_State& egl = Headless_Egl();
        eglMakeCurrent(egl.display, EGL_NO_SURFACE, EGL_NO_SURFACE, egl.context);
    }
    g_current = this;
}

bool Gl_Context::Drawable_Size(int* width, int* height) const {
    if (!Presents()) return false;
    SDL_GL_GetDrawableSize(window_, width, height);
    return true;
}

void Gl_Context::Set_Swap_Interval(int interval) {
    if (!window_) return;
    Make_Current();
    SDL_GL_SetSwapInterval(interval);
}

void Gl_Context::Swap() {
    if (Presents()) SDL_GL_SwapWindow(window_);
}

void Gl_Context::Window_Gone() {
    if (stand_in_ || !sdl_context_) return;
    // GLX wants a drawable to make a context current on; a hidden window
    // made with the same GL attributes serves.
    window_ = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    stand_in_ = true;
    if (g_current == this) g_current = nullptr;
}

}  // namespace qm_d3d9
