#include "platform/d3d9/device.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "platform/d3d9/buffer.h"
#include "platform/d3d9/d3d_to_gl.h"
#include "platform/d3d9/direct3d9.h"
#include "platform/d3d9/texture.h"
#include "platform/win32/window_seam.h"

namespace qm_d3d9 {

namespace {

// The device whose GL objects are bound right now (headless devices share
// one context, so a context switch alone does not tell).
Device* g_bound_device = nullptr;

DWORD Float_Bits(float f) {
    DWORD d;
    std::memcpy(&d, &f, sizeof d);
    return d;
}

// Which render-state numbers exist in Direct3D 9 (the rest are holes).
bool Is_Render_State(DWORD state) {
    static const std::array<bool, k_render_state_count> valid = [] {
        std::array<bool, k_render_state_count> v{};
#define QM_MARK_VALID(name, number, kind, group, value, names) v[std::size_t(number)] = true;
        QM_D3D9_RENDER_STATES(QM_MARK_VALID)
#undef QM_MARK_VALID
        return v;
    }();
    return state < DWORD(k_render_state_count) && valid[state];
}

}  // namespace

// ---------------------------------------------------------------------------
// Creation and destruction
// ---------------------------------------------------------------------------

Device::Device(Direct3D9* d3d, HWND window) : d3d_(d3d), window_(window) {
    d3d_->AddRef();
    transforms_.resize(k_transform_count);
    for (D3DMATRIX& m : transforms_) {
        std::memset(&m, 0, sizeof m);
        m._11 = m._22 = m._33 = m._44 = 1.0f;
    }
}

HRESULT Device::Create(Direct3D9* d3d, HWND focus_window, const D3DPRESENT_PARAMETERS& params,
                       IDirect3DDevice9** out) {
    HWND window = params.hDeviceWindow ? params.hDeviceWindow : focus_window;
    if (!focus_window || !IsWindow(focus_window) || !IsWindow(window)) return D3DERR_INVALIDCALL;
    Device* device = new Device(d3d, window);
    HRESULT hr = device->Init(params);
    if (FAILED(hr)) {
        device->Release();
        return hr;
    }
    *out = device;
    return D3D_OK;
}

HRESULT Device::Init(const D3DPRESENT_PARAMETERS& params) {
    width_ = int(params.BackBufferWidth);
    height_ = int(params.BackBufferHeight);
    if (width_ == 0 || height_ == 0) {
        int w = 0, h = 0;
        if (!Win32_Client_Size(window_, &w, &h)) return D3DERR_INVALIDCALL;
        if (width_ == 0) width_ = w;
        if (height_ == 0) height_ = h;
    }
    if (width_ <= 0 || height_ <= 0 || width_ > 16384 || height_ > 16384) return D3DERR_INVALIDCALL;
    presentation_interval_ = params.PresentationInterval;

    std::string error;
    SDL_Window* sdl_window = Platform_Is_Headless() ? nullptr : Win32_Sdl_Window(window_);
    context_ = sdl_window ? Gl_Context::Create_On_Window(sdl_window, &error)
                          : Gl_Context::Create_Headless(&error);
    if (!context_) {
        std::fprintf(stderr, "d3d9: %s\n", error.c_str());
        return D3DERR_NOTAVAILABLE;
    }
    context_->Make_Current();
    GLint major = 0, minor = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    if (major * 10 + minor < 45) {
        std::fprintf(stderr, "d3d9: OpenGL 4.5 is required, the context offers %d.%d\n", major,
                     minor);
        return D3DERR_NOTAVAILABLE;
    }
    if (!epoxy_has_gl_extension("GL_EXT_texture_compression_s3tc"))
        std::fprintf(stderr, "d3d9: no S3TC support; DXT textures will not be available\n");
    context_->Set_Swap_Interval(presentation_interval_ == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1);

    GLint value = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &value);
    max_texture_size_ = UINT(value);
    if (epoxy_has_gl_extension("GL_ARB_texture_filter_anisotropic") ||
        epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic"))
        glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY, &max_anisotropy_);

    // The back buffer: 4 samples, RGBA8, and the depth format asked for.
    GLenum depth_format = GL_DEPTH_COMPONENT16;
    if (params.EnableAutoDepthStencil && (params.AutoDepthStencilFormat == D3DFMT_D24S8 ||
                                          params.AutoDepthStencilFormat == D3DFMT_D24X8)) {
        depth_format = params.AutoDepthStencilFormat == D3DFMT_D24S8 ? GL_DEPTH24_STENCIL8
                                                                     : GL_DEPTH_COMPONENT24;
        has_stencil_ = params.AutoDepthStencilFormat == D3DFMT_D24S8;
        depth_bits_ = 24;
    }
    glCreateRenderbuffers(1, &msaa_color_);
    glNamedRenderbufferStorageMultisample(msaa_color_, 4, GL_RGBA8, width_, height_);
    glCreateRenderbuffers(1, &msaa_depth_);
    glNamedRenderbufferStorageMultisample(msaa_depth_, 4, depth_format, width_, height_);
    glCreateFramebuffers(1, &msaa_fbo_);
    glNamedFramebufferRenderbuffer(msaa_fbo_, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, msaa_color_);
    glNamedFramebufferRenderbuffer(msaa_fbo_,
                                   has_stencil_ ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                                   GL_RENDERBUFFER, msaa_depth_);
    glCreateTextures(GL_TEXTURE_2D, 1, &resolve_color_);
    glTextureStorage2D(resolve_color_, 1, GL_RGBA8, width_, height_);
    glCreateFramebuffers(1, &resolve_fbo_);
    glNamedFramebufferTexture(resolve_fbo_, GL_COLOR_ATTACHMENT0, resolve_color_, 0);
    if (glCheckNamedFramebufferStatus(msaa_fbo_, GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE ||
        glCheckNamedFramebufferStatus(resolve_fbo_, GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        std::fprintf(stderr, "d3d9: cannot make a 4-sample %dx%d back buffer\n", width_, height_);
        return D3DERR_NOTAVAILABLE;
    }

    glCreateVertexArrays(1, &vao_);
    glCreateProgramPipelines(1, &pipeline_);
    GLint ubo_alignment = 256;
    glGetIntegerv(GL_UNIFORM_BUFFER_OFFSET_ALIGNMENT, &ubo_alignment);
    ubo_ring_.Init(GLsizeiptr(sizeof(Ff_Uniform_Block)) * 1024, ubo_alignment);
    fragment_ubo_ring_.Init(GLsizeiptr(ubo_alignment) * 64, ubo_alignment);
    glCreateBuffers(2, constant_buffers_.data());
    for (const GLuint buffer : constant_buffers_)
        glNamedBufferData(buffer, GLsizeiptr(sizeof(Gl_Shader_Constants)), nullptr,
                          GL_DYNAMIC_DRAW);
    up_vertices_.Init(4 << 20, 16);
    up_indices_.Init(1 << 20, 4);

    Set_Default_States();
    g_bound_device = nullptr;
    Make_Current();

    // Start from a defined picture rather than whatever the memory held.
    const float black[4] = {0, 0, 0, 1};
    const float far_depth = 1.0f;
    glClearNamedFramebufferfv(msaa_fbo_, GL_COLOR, 0, black);
    glClearNamedFramebufferfv(msaa_fbo_, GL_DEPTH, 0, &far_depth);
    return D3D_OK;
}

void Device::Set_Default_States() {
    DWORD* rs = render_states_.data();
    auto word = [](auto value) {
        if constexpr (std::is_floating_point_v<decltype(value)>)
            return Float_Bits(static_cast<float>(value));
        else
            return DWORD(value);
    };
#define QM_DEFAULT(name, number, kind, group, value, names) rs[number] = word(value);
    QM_D3D9_RENDER_STATES(QM_DEFAULT)
#undef QM_DEFAULT

    for (auto& stage : sampler_states_) {
        stage.fill(0);
        stage[D3DSAMP_ADDRESSU] = D3DTADDRESS_WRAP;
        stage[D3DSAMP_ADDRESSV] = D3DTADDRESS_WRAP;
        stage[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
        stage[D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
        stage[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
        stage[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
        stage[D3DSAMP_MAXANISOTROPY] = 1;
    }
    for (int s = 0; s < k_texture_stage_count; ++s) {
        auto& stage = stage_states_[std::size_t(s)];
        stage.fill(0);
        stage[D3DTSS_COLOROP] = s == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        stage[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        stage[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        stage[D3DTSS_ALPHAOP] = s == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        stage[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        stage[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        stage[D3DTSS_TEXCOORDINDEX] = DWORD(s);
        stage[D3DTSS_COLORARG0] = D3DTA_CURRENT;
        stage[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
        stage[D3DTSS_RESULTARG] = D3DTA_CURRENT;
    }
    viewport_ = {0, 0, DWORD(width_), DWORD(height_), 0.0f, 1.0f};
    sampler_dirty_.fill(true);
}

Device::~Device() {
    if (!context_) {  // creation failed before there was GL
        d3d_->Release();
        return;
    }
    Make_Current();
    // Bindings first: dropping them may free resources, whose GL names go
    // while the context still exists.
    for (Texture_Slot& slot : textures_) {
        slot.storage.Reset(nullptr);
        slot.interface = nullptr;
    }
    for (Stream_Slot& slot : streams_) slot.buffer.Reset(nullptr);
    indices_.Reset(nullptr);
    declaration_.Reset(nullptr);

    for (auto& [key, sampler] : samplers_) glDeleteSamplers(1, &sampler);
    samplers_.clear();
    up_vertices_.Destroy();
    up_indices_.Destroy();
    ubo_ring_.Destroy();
    fragment_ubo_ring_.Destroy();
    if (constant_buffers_[0]) glDeleteBuffers(2, constant_buffers_.data());
    if (pipeline_) glDeleteProgramPipelines(1, &pipeline_);
    if (vao_) glDeleteVertexArrays(1, &vao_);
    if (msaa_fbo_) glDeleteFramebuffers(1, &msaa_fbo_);
    if (resolve_fbo_) glDeleteFramebuffers(1, &resolve_fbo_);
    if (msaa_color_) glDeleteRenderbuffers(1, &msaa_color_);
    if (msaa_depth_) glDeleteRenderbuffers(1, &msaa_depth_);
    if (resolve_color_) glDeleteTextures(1, &resolve_color_);
    if (g_bound_device == this) {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glBindProgramPipeline(0);
        glBindVertexArray(0);
        g_bound_device = nullptr;
    }
    const int group = context_->Share_Group();
    context_.reset();
    if (group != 0 && !Gl_Context::Window_Objects_Alive()) Ff_Programs(group).Forget_All();
    d3d_->Release();
}

void Device::Check_Window() {
    // The window may be destroyed before the device (the engine quits on
    // Escape without teardown): go on drawing offscreen, present nothing.
    if (context_->Presents() && Win32_Sdl_Window(window_) != context_->Window()) {
        context_->Window_Gone();
        context_->Make_Current();
    }
}

void Device::Make_Current() {
    if (g_bound_device == this) {
        if (context_->Presents()) Check_Window();
        return;
    }
    Check_Window();
    context_->Make_Current();
    g_bound_device = this;
    Reset_Gl_State();
}

void Device::Reset_Gl_State() {
    // This device's objects go back onto the context, and the shadow of
    // context-wide state is forgotten: another device may have changed it.
    glBindFramebuffer(GL_FRAMEBUFFER, msaa_fbo_);
    glBindVertexArray(vao_);
    glUseProgram(0);
    glBindProgramPipeline(pipeline_);
    glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
    // Direct3D's front faces are clockwise on screen (rows running down).
    glFrontFace(GL_CW);
    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
    glEnable(GL_TEXTURE_CUBE_MAP_SEAMLESS);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (GLuint i = 0; i < Gl_Attribute::Count; ++i) glVertexAttrib4f(i, 0.0f, 0.0f, 0.0f, 1.0f);
    dirty_groups_ = Group_All;
    ff_uniforms_dirty_ = true;
    ff_fragment_dirty_ = true;
    ubo_offset_ = -1;
    fragment_ubo_offset_ = -1;
    bound_texture_.fill(~0u);
    constants_dirty_.fill(true);
    bound_target_.fill(0);
    bound_sampler_.fill(~0u);
    sampler_dirty_.fill(true);
}

void Device::Forget_Gl_State() {
    Make_Current();
    Reset_Gl_State();
    vao_layout_id_ = 0;
    vao_elements_ = ~0u;
    stage_vertex_ = stage_fragment_ = ~0u;
}

void Device::Forget_Texture_Name(GLuint name) {
    for (GLuint& bound : bound_texture_)
        if (bound == name) bound = ~0u;
}

void Device::Forget_Buffer_Name(GLuint name) {
    if (vao_elements_ == name) vao_elements_ = ~0u;
}

// ---------------------------------------------------------------------------
// Frame
// ---------------------------------------------------------------------------

HRESULT Device::Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z,
                      DWORD Stencil) {
    if (Count != 0 && !pRects) return D3DERR_INVALIDCALL;
    if ((Flags & D3DCLEAR_STENCIL) && !has_stencil_) return D3DERR_INVALIDCALL;
    if (!(Flags & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL))) return D3D_OK;
    Make_Current();
    if (Flags & D3DCLEAR_TARGET) Back_Buffer_Written();

    // Clear writes every channel whatever the write masks say, and only
    // inside the viewport (and the rectangles, when given).
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glStencilMask(0xFF);
    glEnable(GL_SCISSOR_TEST);
    dirty_groups_ |= Group_Color_Mask | Group_Depth | Group_Stencil | Group_Scissor;

    float color[4];
    Argb_To_Floats(Color, color);
    const float depth = std::clamp(std::isnan(Z) ? 1.0f : Z, 0.0f, 1.0f);
    const GLint stencil = GLint(Stencil & 0xFF);

    const LONG vx1 = LONG(viewport_.X), vy1 = LONG(viewport_.Y);
    const LONG vx2 = LONG(viewport_.X + viewport_.Width),
               vy2 = LONG(viewport_.Y + viewport_.Height);
    auto clear_rect = [&](LONG x1, LONG y1, LONG x2, LONG y2) {
        x1 = std::max(x1, vx1);
        y1 = std::max(y1, vy1);
        x2 = std::min(x2, vx2);
        y2 = std::min(y2, vy2);
        if (x1 >= x2 || y1 >= y2) return;
        glScissor(x1, y1, x2 - x1, y2 - y1);
        if (Flags & D3DCLEAR_TARGET) glClearNamedFramebufferfv(msaa_fbo_, GL_COLOR, 0, color);
        if ((Flags & D3DCLEAR_ZBUFFER) && (Flags & D3DCLEAR_STENCIL))
            glClearNamedFramebufferfi(msaa_fbo_, GL_DEPTH_STENCIL, 0, depth, stencil);
        else if (Flags & D3DCLEAR_ZBUFFER)
            glClearNamedFramebufferfv(msaa_fbo_, GL_DEPTH, 0, &depth);
        else if (Flags & D3DCLEAR_STENCIL)
            glClearNamedFramebufferiv(msaa_fbo_, GL_STENCIL, 0, &stencil);
    };
    if (Count == 0) {
        clear_rect(vx1, vy1, vx2, vy2);
    } else {
        for (DWORD i = 0; i < Count; ++i)
            clear_rect(pRects[i].x1, pRects[i].y1, pRects[i].x2, pRects[i].y2);
    }
    return D3D_OK;
}

HRESULT Device::BeginScene() {
    if (in_scene_) return D3DERR_INVALIDCALL;
    in_scene_ = true;
    return D3D_OK;
}

HRESULT Device::EndScene() {
    if (!in_scene_) return D3DERR_INVALIDCALL;
    in_scene_ = false;
    return D3D_OK;
}

void Device::Resolve_Back_Buffer() {
    glDisable(GL_SCISSOR_TEST);  // blits obey the scissor test
    dirty_groups_ |= Group_Viewport | Group_Scissor;
    glBlitNamedFramebuffer(msaa_fbo_, resolve_fbo_, 0, 0, width_, height_, 0, 0, width_, height_,
                           GL_COLOR_BUFFER_BIT, GL_NEAREST);
    last_frame_ = Last_Frame::Resolved;
}

HRESULT Device::Present(const RECT*, const RECT*, HWND, const void*) {
    Make_Current();
    Check_Window();
    int client_w = 0, client_h = 0;
    if (context_->Presents() && !Win32_Client_Size(window_, &client_w, &client_h))
        context_->Drawable_Size(&client_w, &client_h);
    if (!context_->Presents() || client_w <= 0 || client_h <= 0) {
        Resolve_Back_Buffer();
        if (context_->Presents()) context_->Swap();
        return D3D_OK;
    }
    // Direct3D 9 stretches the back buffer over the client area as it is
    // now; our rows run top to bottom, the window's bottom to top. Setting a
    // viewport on the window's framebuffer is what makes GL drivers (Mesa's
    // among them) look at the window's new size.
    glDisable(GL_SCISSOR_TEST);
    dirty_groups_ |= Group_Viewport | Group_Scissor;
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glViewport(0, 0, client_w, client_h);
    bool shown = false;
    if (direct_present_ != Direct_Present::Refused && client_w == width_ && client_h == height_) {
        // One pass: the samples resolved into the window, mirrored.
        const bool first = direct_present_ == Direct_Present::Untried;
        if (first)
            while (glGetError() != GL_NO_ERROR) {}
        glBlitNamedFramebuffer(msaa_fbo_, 0, 0, 0, width_, height_, 0, client_h, client_w, 0,
                               GL_COLOR_BUFFER_BIT, GL_NEAREST);
        if (first) {
            direct_present_ =
                glGetError() == GL_NO_ERROR ? Direct_Present::Works : Direct_Present::Refused;
            if (direct_present_ == Direct_Present::Refused)
                std::fprintf(stderr,
                             "d3d9: the driver does not resolve into the window mirrored; "
                             "presenting through a single-sample copy\n");
        }
        shown = direct_present_ == Direct_Present::Works;
        if (shown) last_frame_ = Last_Frame::In_Back_Buffer;
    }
    if (!shown) {
        Resolve_Back_Buffer();
        const bool same = client_w == width_ && client_h == height_;
        glBlitNamedFramebuffer(resolve_fbo_, 0, 0, 0, width_, height_, 0, client_h, client_w, 0,
                               GL_COLOR_BUFFER_BIT, same ? GL_NEAREST : GL_LINEAR);
    }
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, msaa_fbo_);
    context_->Swap();
    return D3D_OK;
}

bool Device::Read_Last_Frame(int* width, int* height, std::vector<unsigned char>* rgba) {
    if (last_frame_ == Last_Frame::None || last_frame_ == Last_Frame::Overwritten) return false;
    Make_Current();
    if (last_frame_ == Last_Frame::In_Back_Buffer) Resolve_Back_Buffer();
    rgba->resize(std::size_t(width_) * std::size_t(height_) * 4);
    glGetTextureImage(resolve_color_, 0, GL_RGBA, GL_UNSIGNED_BYTE, GLsizei(rgba->size()),
                      rgba->data());
    *width = width_;
    *height = height_;
    return true;
}

HRESULT Device::SetViewport(const D3DVIEWPORT9* pViewport) {
    if (!pViewport) return D3DERR_INVALIDCALL;
    const D3DVIEWPORT9& v = *pViewport;
    if (v.Width == 0 || v.Height == 0 || v.X >= DWORD(width_) || v.Y >= DWORD(height_) ||
        v.Width > DWORD(width_) - v.X || v.Height > DWORD(height_) - v.Y)
        return D3DERR_INVALIDCALL;
    if (!(v.MinZ >= 0.0f && v.MinZ <= 1.0f && v.MaxZ >= 0.0f && v.MaxZ <= 1.0f))
        return D3DERR_INVALIDCALL;
    viewport_ = v;
    dirty_groups_ |= Group_Viewport;
    ff_uniforms_dirty_ = true;
    return D3D_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT9* pViewport) {
    if (!pViewport) return D3DERR_INVALIDCALL;
    *pViewport = viewport_;
    return D3D_OK;
}

// ---------------------------------------------------------------------------
// States
// ---------------------------------------------------------------------------

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) {
    if (!Is_Render_State(DWORD(State))) return D3DERR_INVALIDCALL;
    DWORD& slot = render_states_[std::size_t(State)];
    if (slot == Value) return D3D_OK;
    slot = Value;
    const State_Groups groups = Render_State_Group(DWORD(State));
    dirty_groups_ |= groups & Group_All;
    if (groups & Group_Ff_Lighting) ff_uniforms_dirty_ = true;
    if (groups & Group_Ff_Fragment) ff_fragment_dirty_ = true;
    return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) {
    if (!pValue || !Is_Render_State(DWORD(State))) return D3DERR_INVALIDCALL;
    *pValue = render_states_[std::size_t(State)];
    return D3D_OK;
}

namespace {
// Sampler numbers of displacement-map and vertex-texture samplers: accepted
// and ignored, as nothing here samples textures in vertex programs.
bool Is_Ignored_Sampler(DWORD sampler) {
    return sampler >= 256 && sampler <= 260;
}
}  // namespace

HRESULT Device::SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) {
    if (Is_Ignored_Sampler(Sampler)) return D3D_OK;
    if (Sampler >= D3D_MAX_SAMPLERS || Type < 1 || Type >= k_sampler_state_count)
        return D3DERR_INVALIDCALL;
    DWORD& slot = sampler_states_[Sampler][std::size_t(Type)];
    if (slot != Value) {
        slot = Value;
        sampler_dirty_[Sampler] = true;
    }
    return D3D_OK;
}

HRESULT Device::GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) {
    if (!pValue || Sampler >= D3D_MAX_SAMPLERS || Type < 1 || Type >= k_sampler_state_count)
        return D3DERR_INVALIDCALL;
    *pValue = sampler_states_[Sampler][std::size_t(Type)];
    return D3D_OK;
}

HRESULT Device::SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) {
    if (Stage >= DWORD(k_texture_stage_count) || Type < 1 || Type >= k_texture_stage_state_count)
        return D3DERR_INVALIDCALL;
    stage_states_[Stage][std::size_t(Type)] = Value;
    return D3D_OK;
}

HRESULT Device::GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) {
    if (!pValue || Stage >= DWORD(k_texture_stage_count) || Type < 1 ||
        Type >= k_texture_stage_state_count)
        return D3DERR_INVALIDCALL;
    *pValue = stage_states_[Stage][std::size_t(Type)];
    return D3D_OK;
}

namespace {
bool Is_Transform(DWORD state) {
    return state == D3DTS_VIEW || state == D3DTS_PROJECTION ||
           (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) ||
           (state >= 256 && state < DWORD(k_transform_count));
}
}  // namespace

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) {
    if (!pMatrix || !Is_Transform(DWORD(State))) return D3DERR_INVALIDCALL;
    transforms_[std::size_t(State)] = *pMatrix;
    if (State == D3DTS_VIEW) lights_dirty_ = true;
    ff_uniforms_dirty_ = true;
    return D3D_OK;
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) {
    if (!pMatrix || !Is_Transform(DWORD(State))) return D3DERR_INVALIDCALL;
    *pMatrix = transforms_[std::size_t(State)];
    return D3D_OK;
}

HRESULT Device::SetLight(DWORD Index, const D3DLIGHT9* pLight) {
    if (!pLight) return D3DERR_INVALIDCALL;
    if (pLight->Type != D3DLIGHT_POINT && pLight->Type != D3DLIGHT_SPOT &&
        pLight->Type != D3DLIGHT_DIRECTIONAL)
        return D3DERR_INVALIDCALL;
    lights_[Index].light = *pLight;
    lights_dirty_ = true;
    ff_uniforms_dirty_ = true;
    return D3D_OK;
}

HRESULT Device::GetLight(DWORD Index, D3DLIGHT9* pLight) {
    auto found = lights_.find(Index);
    if (!pLight || found == lights_.end()) return D3DERR_INVALIDCALL;
    *pLight = found->second.light;
    return D3D_OK;
}

HRESULT Device::LightEnable(DWORD Index, BOOL Enable) {
    auto found = lights_.find(Index);
    if (found == lights_.end()) {
        // Enabling a slot never set gives Direct3D's default light: white
        // diffuse, directional, shining along +z.
        Light_Slot slot;
        slot.light.Type = D3DLIGHT_DIRECTIONAL;
        slot.light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
        slot.light.Direction = {0.0f, 0.0f, 1.0f};
        found = lights_.emplace(Index, slot).first;
    }
    found->second.enabled = Enable != FALSE;
    lights_dirty_ = true;
    ff_uniforms_dirty_ = true;
    return D3D_OK;
}

HRESULT Device::GetLightEnable(DWORD Index, BOOL* pEnable) {
    auto found = lights_.find(Index);
    if (!pEnable || found == lights_.end()) return D3DERR_INVALIDCALL;
    *pEnable = found->second.enabled ? TRUE : FALSE;
    return D3D_OK;
}

HRESULT Device::SetMaterial(const D3DMATERIAL9* pMaterial) {
    if (!pMaterial) return D3DERR_INVALIDCALL;
    material_ = *pMaterial;
    ff_uniforms_dirty_ = true;
    return D3D_OK;
}

HRESULT Device::GetMaterial(D3DMATERIAL9* pMaterial) {
    if (!pMaterial) return D3DERR_INVALIDCALL;
    *pMaterial = material_;
    return D3D_OK;
}

HRESULT Device::SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) {
    if (Is_Ignored_Sampler(Stage)) return D3D_OK;
    if (Stage >= D3D_MAX_SAMPLERS) return D3DERR_INVALIDCALL;
    Texture_Storage* storage = nullptr;
    if (pTexture) {
        storage = Texture_Storage_From(pTexture);
        if (!storage || storage->Owner() != this) return D3DERR_INVALIDCALL;
    }
    textures_[Stage].storage.Reset(storage);
    textures_[Stage].interface = pTexture;
    return D3D_OK;
}

HRESULT Device::GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) {
    if (!ppTexture || Stage >= D3D_MAX_SAMPLERS) return D3DERR_INVALIDCALL;
    *ppTexture = textures_[Stage].interface;
    if (*ppTexture) (*ppTexture)->AddRef();
    return D3D_OK;
}

// ---------------------------------------------------------------------------
// Shader constant registers
// ---------------------------------------------------------------------------

namespace {

bool Register_Range(const void* data, UINT start, UINT count, UINT limit) {
    return data && start <= limit && count <= limit - start;
}

// Float and int registers: four values each, copied as they are.
template <typename T>
HRESULT Write_Registers(T (*file)[4], UINT limit, UINT start, const T* data, UINT count,
                        bool* dirty) {
    if (!Register_Range(data, start, count, limit)) return D3DERR_INVALIDCALL;
    if (count) std::memcpy(file[start], data, std::size_t(count) * sizeof file[0]);
    *dirty = true;
    return D3D_OK;
}

template <typename T>
HRESULT Read_Registers(const T (*file)[4], UINT limit, UINT start, T* data, UINT count) {
    if (!Register_Range(data, start, count, limit)) return D3DERR_INVALIDCALL;
    if (count) std::memcpy(data, file[start], std::size_t(count) * sizeof file[0]);
    return D3D_OK;
}

// Bool registers: any non-zero BOOL is TRUE; each takes a std140 slot.
HRESULT Write_Bools(Gl_Shader_Constants* file, UINT start, const BOOL* data, UINT count,
                    bool* dirty) {
    if (!Register_Range(data, start, count, Gl_Bool_Constants)) return D3DERR_INVALIDCALL;
    for (UINT k = 0; k < count; ++k) file->b[start + k][0] = data[k] ? 1 : 0;
    *dirty = true;
    return D3D_OK;
}

HRESULT Read_Bools(const Gl_Shader_Constants& file, UINT start, BOOL* data, UINT count) {
    if (!Register_Range(data, start, count, Gl_Bool_Constants)) return D3DERR_INVALIDCALL;
    for (UINT k = 0; k < count; ++k) data[k] = file.b[start + k][0];
    return D3D_OK;
}

}  // namespace

HRESULT Device::SetVertexShaderConstantF(UINT start, const float* data, UINT count) {
    return Write_Registers(shader_constants_[0].f, Gl_Vertex_Float_Constants, start, data, count,
                           &constants_dirty_[0]);
}
HRESULT Device::GetVertexShaderConstantF(UINT start, float* data, UINT count) {
    return Read_Registers(shader_constants_[0].f, Gl_Vertex_Float_Constants, start, data, count);
}
HRESULT Device::SetVertexShaderConstantI(UINT start, const int* data, UINT count) {
    return Write_Registers(shader_constants_[0].i, Gl_Int_Constants, start, data, count,
                           &constants_dirty_[0]);
}
HRESULT Device::GetVertexShaderConstantI(UINT start, int* data, UINT count) {
    return Read_Registers(shader_constants_[0].i, Gl_Int_Constants, start, data, count);
}
HRESULT Device::SetVertexShaderConstantB(UINT start, const BOOL* data, UINT count) {
    return Write_Bools(&shader_constants_[0], start, data, count, &constants_dirty_[0]);
}
HRESULT Device::GetVertexShaderConstantB(UINT start, BOOL* data, UINT count) {
    return Read_Bools(shader_constants_[0], start, data, count);
}
HRESULT Device::SetPixelShaderConstantF(UINT start, const float* data, UINT count) {
    return Write_Registers(shader_constants_[1].f, Gl_Pixel_Float_Constants, start, data, count,
                           &constants_dirty_[1]);
}
HRESULT Device::GetPixelShaderConstantF(UINT start, float* data, UINT count) {
    return Read_Registers(shader_constants_[1].f, Gl_Pixel_Float_Constants, start, data, count);
}
HRESULT Device::SetPixelShaderConstantI(UINT start, const int* data, UINT count) {
    return Write_Registers(shader_constants_[1].i, Gl_Int_Constants, start, data, count,
                           &constants_dirty_[1]);
}
HRESULT Device::GetPixelShaderConstantI(UINT start, int* data, UINT count) {
    return Read_Registers(shader_constants_[1].i, Gl_Int_Constants, start, data, count);
}
HRESULT Device::SetPixelShaderConstantB(UINT start, const BOOL* data, UINT count) {
    return Write_Bools(&shader_constants_[1], start, data, count, &constants_dirty_[1]);
}
HRESULT Device::GetPixelShaderConstantB(UINT start, BOOL* data, UINT count) {
    return Read_Bools(shader_constants_[1], start, data, count);
}

// ---------------------------------------------------------------------------
// Resources
// ---------------------------------------------------------------------------

HRESULT Device::CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format,
                              D3DPOOL Pool, IDirect3DTexture9** ppTexture, HANDLE*) {
    return Texture::Create(this, Width, Height, Levels, Usage, Format, Pool, ppTexture);
}

HRESULT Device::CreateCubeTexture(UINT EdgeLength, UINT Levels, DWORD Usage, D3DFORMAT Format,
                                  D3DPOOL Pool, IDirect3DCubeTexture9** ppCubeTexture, HANDLE*) {
    return Cube_Texture::Create(this, EdgeLength, Levels, Usage, Format, Pool, ppCubeTexture);
}

HRESULT Device::CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                   IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE*) {
    return Vertex_Buffer::Create(this, Length, Usage, FVF, Pool, ppVertexBuffer);
}

HRESULT Device::CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                  IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE*) {
    return Index_Buffer::Create(this, Length, Usage, Format, Pool, ppIndexBuffer);
}

HRESULT Device::CreateVertexDeclaration(const D3DVERTEXELEMENT9* pVertexElements,
                                        IDirect3DVertexDeclaration9** ppDecl) {
    if (!ppDecl) return D3DERR_INVALIDCALL;
    *ppDecl = nullptr;
    Vertex_Layout layout;
    if (!Build_Layout(pVertexElements, &layout)) return D3DERR_INVALIDCALL;
    *ppDecl = new Vertex_Declaration(this, std::move(layout));
    return D3D_OK;
}

HRESULT Device::SetVertexDeclaration(IDirect3DVertexDeclaration9* pDecl) {
    Vertex_Declaration* declaration = nullptr;
    if (pDecl) {
        declaration = dynamic_cast<Vertex_Declaration*>(pDecl);
        if (!declaration || declaration->Owner() != this) return D3DERR_INVALIDCALL;
    }
    declaration_.Reset(declaration);
    fvf_ = 0;
    return D3D_OK;
}

HRESULT Device::GetVertexDeclaration(IDirect3DVertexDeclaration9** ppDecl) {
    if (!ppDecl) return D3DERR_INVALIDCALL;
    *ppDecl = nullptr;
    if (declaration_) {
        declaration_->AddRef();
        *ppDecl = declaration_.Get();
    } else if (fvf_) {
        // The format set with SetFVF, as a declaration of its own.
        *ppDecl = new Vertex_Declaration(this, fvf_layouts_.at(fvf_));
    }
    return D3D_OK;
}

HRESULT Device::SetFVF(DWORD FVF) {
    if (FVF != 0 && fvf_layouts_.find(FVF) == fvf_layouts_.end()) {
        std::vector<D3DVERTEXELEMENT9> elements;
        if (!Fvf_Elements(FVF, &elements, nullptr)) return D3DERR_INVALIDCALL;
        elements.push_back(D3DVERTEXELEMENT9 D3DDECL_END());
        Vertex_Layout layout;
        if (!Build_Layout(elements.data(), &layout)) return D3DERR_INVALIDCALL;
        fvf_layouts_.emplace(FVF, std::move(layout));
    }
    fvf_ = FVF;
    declaration_.Reset(nullptr);
    return D3D_OK;
}

HRESULT Device::GetFVF(DWORD* pFVF) {
    if (!pFVF) return D3DERR_INVALIDCALL;
    *pFVF = fvf_;
    return D3D_OK;
}

HRESULT Device::SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData,
                                UINT OffsetInBytes, UINT Stride) {
    if (StreamNumber >= UINT(k_stream_count) || Stride > k_max_vertex_stride)
        return D3DERR_INVALIDCALL;
    Vertex_Buffer* buffer = nullptr;
    if (pStreamData) {
        buffer = dynamic_cast<Vertex_Buffer*>(pStreamData);
        if (!buffer || buffer->Owner() != this) return D3DERR_INVALIDCALL;
    }
    Stream_Slot& slot = streams_[StreamNumber];
    slot.buffer.Reset(buffer);
    slot.offset = OffsetInBytes;
    slot.stride = Stride;
    return D3D_OK;
}

HRESULT Device::SetIndices(IDirect3DIndexBuffer9* pIndexData) {
    Index_Buffer* buffer = nullptr;
    if (pIndexData) {
        buffer = dynamic_cast<Index_Buffer*>(pIndexData);
        if (!buffer || buffer->Owner() != this) return D3DERR_INVALIDCALL;
    }
    indices_.Reset(buffer);
    return D3D_OK;
}

// ---------------------------------------------------------------------------
// Gl_Device
// ---------------------------------------------------------------------------

void Device::Set_Shader_Override(GLuint vertex_program, GLuint fragment_program) {
    override_vertex_ = vertex_program;
    override_fragment_ = fragment_program;
    attribute_remap_.clear();
}

void Device::Clear_Shader_Override() {
    override_vertex_ = 0;
    override_fragment_ = 0;
    attribute_remap_.clear();
}

void Device::Set_Attribute_Remap(const Gl_Attribute_Remap* entries, std::size_t count) {
    attribute_remap_.clear();
    for (std::size_t k = 0; k < count && k < Gl_Attribute::Count; ++k)
        if (entries[k].location < Gl_Attribute::Count) attribute_remap_.push_back(entries[k]);
}

void Device::Half_Pixel_Offset(float* x, float* y) const {
    if (x) *x = 1.0f / float(viewport_.Width);
    if (y) *y = -2.0f * (0.5f - k_edge_nudge) / float(viewport_.Height);
}

}  // namespace qm_d3d9

namespace {
std::uint64_t g_program_deletions = 0;
}  // namespace

void Gl_Delete_Program(GLuint program, std::uint64_t object_namespace) {
    if (!program || object_namespace == 0 || object_namespace != Gl_Current_Object_Namespace())
        return;
    glDeleteProgram(program);
    ++g_program_deletions;
}

std::uint64_t Gl_Program_Deletions() {
    return g_program_deletions;
}

Gl_Device* Gl_Device_From(IDirect3DDevice9* device) {
    return device ? dynamic_cast<qm_d3d9::Device*>(device) : nullptr;
}
