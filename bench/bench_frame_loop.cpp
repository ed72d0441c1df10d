// Frames per second of an empty frame (Clear, BeginScene, EndScene, Present)
// through the Direct3D 9 device, headless at the engine's 1008x729 back
// buffer, next to a minimal raw OpenGL program doing the same GL work:
// clear a 4-sample RGBA8 + 16-bit depth framebuffer and resolve it.
//
// Every measurement is a Frame_Loop printed against the same raw OpenGL
// baseline. The last one is the engine's own main loop: one idle pass (mouse
// look, keyboard movement, Render_Frame with the overlay and the scene of the
// working directory) on the engine's device; run it from a game folder
// (scripts/bench.sh runs it from data/) or an empty one for the bare loop.
//
//   bench_frame_loop [--seconds S]   (S: total measuring time, default 6)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <epoxy/egl.h>
#include <epoxy/gl.h>

#include "app/app.h"
#include "app/globals.h"
#include "device/device.h"
#include "device/device_setup.h"
#include "frame/frame.h"
#include "scene/build.h"
#include "platform/d3d9.h"
#include "platform/d3d9/gl_device.h"
#include "platform/win32.h"

namespace {

constexpr int k_width = 1008;  // the client area of the engine's 1024x768 window
constexpr int k_height = 729;

using Clock = std::chrono::steady_clock;

// One way of producing frames. Begin and End bracket a timed round (making a
// context current, waiting for the GPU at the end); Frame makes one frame.
class Frame_Loop {
public:
    virtual ~Frame_Loop() = default;
    virtual const char* Name() const = 0;
    virtual bool Ok() const = 0;
    virtual void Begin() {}
    virtual void Frame() = 0;
    virtual void End() = 0;
};

// ---------------------------------------------------------------------------
// Raw OpenGL: its own surfaceless context, the same framebuffers.
// ---------------------------------------------------------------------------
class Raw_Gl_Loop final : public Frame_Loop {
public:
    Raw_Gl_Loop() {
        display_ =
            eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        EGLint major = 0, minor = 0;
        if (display_ == EGL_NO_DISPLAY || !eglInitialize(display_, &major, &minor) ||
            !eglBindAPI(EGL_OPENGL_API))
            return;
        const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION,
                                     4,
                                     EGL_CONTEXT_MINOR_VERSION,
                                     5,
                                     EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                     EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                     EGL_NONE};
        context_ = eglCreateContext(display_, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
        if (context_ == EGL_NO_CONTEXT) return;
        Begin();
        glCreateRenderbuffers(1, &color_);
        glNamedRenderbufferStorageMultisample(color_, 4, GL_RGBA8, k_width, k_height);
        glCreateRenderbuffers(1, &depth_);
        glNamedRenderbufferStorageMultisample(depth_, 4, GL_DEPTH_COMPONENT16, k_width, k_height);
        glCreateFramebuffers(1, &msaa_);
        glNamedFramebufferRenderbuffer(msaa_, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, color_);
        glNamedFramebufferRenderbuffer(msaa_, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_);
        glCreateTextures(GL_TEXTURE_2D, 1, &resolve_color_);
        glTextureStorage2D(resolve_color_, 1, GL_RGBA8, k_width, k_height);
        glCreateFramebuffers(1, &resolve_);
        glNamedFramebufferTexture(resolve_, GL_COLOR_ATTACHMENT0, resolve_color_, 0);
        End();
    }
    ~Raw_Gl_Loop() override {
        if (context_ == EGL_NO_CONTEXT) return;
        Begin();
        glDeleteFramebuffers(1, &resolve_);
        glDeleteTextures(1, &resolve_color_);
        glDeleteFramebuffers(1, &msaa_);
        glDeleteRenderbuffers(1, &depth_);
        glDeleteRenderbuffers(1, &color_);
        End();
        eglDestroyContext(display_, context_);
    }
    const char* Name() const override { return "raw OpenGL (clear + 4x MSAA resolve)"; }
    bool Ok() const override { return context_ != EGL_NO_CONTEXT; }
    void Begin() override {
        // The device's context is given back afterwards, exactly as it was.
        previous_ = eglGetCurrentContext();
        eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_);
    }
    void Frame() override {
        static const float black[4] = {0, 0, 0, 1};
        static const float far_depth = 1.0f;
        glClearNamedFramebufferfv(msaa_, GL_COLOR, 0, black);
        glClearNamedFramebufferfv(msaa_, GL_DEPTH, 0, &far_depth);
        glBlitNamedFramebuffer(msaa_, resolve_, 0, 0, k_width, k_height, 0, 0, k_width, k_height,
                               GL_COLOR_BUFFER_BIT, GL_NEAREST);
    }
    void End() override {
        glFinish();
        eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, previous_);
    }

private:
    EGLDisplay display_ = EGL_NO_DISPLAY;
    EGLContext context_ = EGL_NO_CONTEXT;
    EGLContext previous_ = EGL_NO_CONTEXT;
    GLuint color_ = 0, depth_ = 0, msaa_ = 0, resolve_color_ = 0, resolve_ = 0;
};

// ---------------------------------------------------------------------------
// Through the device, created the way the engine creates it.
// ---------------------------------------------------------------------------
class Device_Loop final : public Frame_Loop {
public:
    Device_Loop() {
        window_ = Create_Device_Window("bench", k_width, k_height);
        if (window_) Create_Direct3D_Device(window_, &d3d_, &device_);
    }
    ~Device_Loop() override {
        if (device_) device_->Release();
        if (d3d_) d3d_->Release();
        if (window_) DestroyWindow(window_);
    }
    const char* Name() const override {
        return "IDirect3DDevice9 (Clear, BeginScene, EndScene, Present)";
    }
    bool Ok() const override { return device_ != nullptr; }
    void Frame() override {
        device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        if (SUCCEEDED(device_->BeginScene())) device_->EndScene();
        device_->Present(nullptr, nullptr, nullptr, nullptr);
    }
    void End() override {
        Gl_Device_From(device_)->Make_Current();
        glFinish();
    }

private:
    HWND window_ = nullptr;
    IDirect3D9* d3d_ = nullptr;
    IDirect3DDevice9* device_ = nullptr;
};

// ---------------------------------------------------------------------------
// The engine: start-up as the program does it, then its idle pass.
// ---------------------------------------------------------------------------
class Engine_Loop final : public Frame_Loop {
public:
    Engine_Loop() {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.style = CS_CLASSDC;
        wc.lpfnWndProc = Main_Window_Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = Main_Window_Class;
        RegisterClassExA(&wc);
        RECT outer = {0, 0, k_width, k_height};
        AdjustWindowRect(&outer, WS_OVERLAPPEDWINDOW, FALSE);
        Main_Window_Width = outer.right - outer.left;
        Main_Window_Height = outer.bottom - outer.top;
        Main_Anti_Aliasing = 1;
        Main_Window = CreateWindowExA(0, Main_Window_Class, Main_Window_Title,
                                      WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, Main_Window_Width,
                                      Main_Window_Height, nullptr, nullptr, wc.hInstance, nullptr);
        if (Create_Device(Main_Window, &Main_Left_Button, &Main_Anti_Aliasing) < 0) return;
        Build_Loading_Bar(0.0f);
        Build_Scene();
        Main_Time_Previous = static_cast<double>(timeGetTime());
        ok_ = true;
        std::snprintf(name_, sizeof name_, "engine main loop (%d objects, %d lights, overlay)",
                      Main_Object_Count, Main_Light_Count);
    }
    const char* Name() const override { return name_; }
    bool Ok() const override { return ok_; }
    void Frame() override { App_Idle_Pass(); }
    void End() override {
        Gl_Device_From(Main_Device)->Make_Current();
        glFinish();
    }

private:
    bool ok_ = false;
    char name_[96] = "engine main loop";
};

// One timed round: frames for about the given time; frames per second.
double Round(Frame_Loop& loop, double seconds) {
    loop.Begin();
    const Clock::time_point start = Clock::now();
    long frames = 0;
    while (std::chrono::duration<double>(Clock::now() - start).count() < seconds) {
        for (int i = 0; i < 5; ++i) loop.Frame();
        frames += 5;
    }
    loop.End();
    return double(frames) / std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 6.0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = std::atof(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: %s [--seconds S]\n", argv[0]);
            return 2;
        }
    }
    if (!(seconds > 0.0)) seconds = 6.0;
    Platform_Init(true);

    // The baseline comes first; every other line is compared with it. Rounds
    // alternate between the loops so that a busy machine slows all alike,
    // and the median round of each is reported.
    std::vector<std::unique_ptr<Frame_Loop>> loops;
    loops.push_back(std::make_unique<Raw_Gl_Loop>());
    loops.push_back(std::make_unique<Device_Loop>());
    loops.push_back(std::make_unique<Engine_Loop>());

    constexpr int k_rounds = 12;
    const double round_seconds = seconds / (k_rounds * double(loops.size()));
    std::vector<std::vector<double>> rates(loops.size());
    for (auto& loop : loops)
        if (loop->Ok()) Round(*loop, 0.1);  // warm-up
    for (int round = 0; round < k_rounds; ++round)
        for (std::size_t i = 0; i < loops.size(); ++i)
            if (loops[i]->Ok()) rates[i].push_back(Round(*loops[i], round_seconds));

    std::printf("frame loops, headless, %dx%d, 4x MSAA RGBA8 + D16; median of %d rounds\n", k_width,
                k_height, k_rounds);
    double baseline = 0.0;
    int status = 0;
    for (std::size_t i = 0; i < loops.size(); ++i) {
        if (rates[i].empty()) {
            std::printf("  %-58s  failed\n", loops[i]->Name());
            status = 1;
            continue;
        }
        std::sort(rates[i].begin(), rates[i].end());
        const double fps = rates[i][rates[i].size() / 2];
        if (i == 0) {
            baseline = fps;
            std::printf("  %-58s %9.1f fps\n", loops[i]->Name(), fps);
        } else {
            std::printf("  %-58s %9.1f fps  (%.2f x raw OpenGL)\n", loops[i]->Name(), fps,
                        baseline > 0.0 ? fps / baseline : 0.0);
        }
    }
    loops.clear();
    Platform_Shutdown();
    return status;
}
