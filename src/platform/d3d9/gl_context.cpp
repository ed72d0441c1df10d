#include "platform/d3d9/gl_context.h"

#include <SDL.h>
#include <epoxy/egl.h>
#include <epoxy/gl.h>

namespace {

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
        const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 4,
                                     EGL_CONTEXT_MINOR_VERSION, 5,
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

SDL_GLContext g_share_root = nullptr;

}  // namespace

std::unique_ptr<Gl_Context> Gl_Context::Create_Headless(std::string* error) {
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
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 4);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 5);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    const bool share = g_share_root != nullptr;
    if (share) SDL_GL_MakeCurrent(window, g_share_root);
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, share ? 1 : 0);
    SDL_GLContext sdl_context = SDL_GL_CreateContext(window);
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
    g_current = nullptr;
    if (!sdl_context) {
        if (error) *error = std::string("cannot create an OpenGL 4.5 core context: ") + SDL_GetError();
        return nullptr;
    }
    std::unique_ptr<Gl_Context> context(new Gl_Context());
    context->window_ = window;
    context->sdl_context_ = sdl_context;
    if (!share) {
        g_share_root = sdl_context;
        context->keep_context_ = true;
    }
    context->Make_Current();
    return context;
}

Gl_Context::~Gl_Context() {
    if (g_current == this) g_current = nullptr;
    if (sdl_context_ && !keep_context_) {
        SDL_GL_MakeCurrent(window_, nullptr);
        SDL_GL_DeleteContext(static_cast<SDL_GLContext>(sdl_context_));
    } else if (sdl_context_) {
        // The share root stays; it must not stay current on a window that is
        // about to go away.
        SDL_GL_MakeCurrent(window_, nullptr);
    }
}

void Gl_Context::Make_Current() {
    if (g_current == this) return;
    if (sdl_context_) {
        SDL_GL_MakeCurrent(window_, static_cast<SDL_GLContext>(sdl_context_));
    } else {
        Egl_State& egl = Headless_Egl();
        eglMakeCurrent(egl.display, EGL_NO_SURFACE, EGL_NO_SURFACE, egl.context);
    }
    g_current = this;
}

bool Gl_Context::Drawable_Size(int* width, int* height) const {
    if (!window_) return false;
    SDL_GL_GetDrawableSize(window_, width, height);
    return true;
}

void Gl_Context::Set_Swap_Interval(int interval) {
    if (!window_) return;
    Make_Current();
    SDL_GL_SetSwapInterval(interval);
}

void Gl_Context::Swap() {
    if (window_) SDL_GL_SwapWindow(window_);
}
