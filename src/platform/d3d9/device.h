// IDirect3DDevice9 on OpenGL 4.5 core.
//
// The device renders into its own 4-sample framebuffer (RGBA8 + depth);
// Present resolves it into the window when the sizes match, and otherwise into
// a single-sample framebuffer that it stretches onto the window; then it swaps.
// Headless, Present only resolves. D3D state is stored as Direct3D 9
// defines it and turned into GL state, sampler objects and generated
// fixed-function programs at each draw.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <epoxy/gl.h>

#include "platform/d3d9.h"
#include "platform/d3d9/com_object.h"
#include "platform/d3d9/device_child.h"
#include "platform/d3d9/ff_shader.h"
#include "platform/d3d9/gl_context.h"
#include "platform/d3d9/gl_device.h"
#include "platform/d3d9/stream_ring.h"
#include "platform/d3d9/vertex_layout.h"

namespace qm_d3d9 {

class Direct3D9;
class Texture_Storage;
class Vertex_Buffer;
class Index_Buffer;

inline constexpr int k_render_state_count = D3D_RENDER_STATE_COUNT;
inline constexpr int k_sampler_state_count = D3D_SAMPLER_STATE_COUNT;
inline constexpr int k_texture_stage_count = 8;
inline constexpr int k_texture_stage_state_count = 33;
inline constexpr int k_stream_count = 16;
// The most bytes a vertex may span: the largest stride of a stream, and the
// end of the last element a declaration may place in a vertex.
inline constexpr UINT k_max_vertex_stride = 2048;
inline constexpr int k_transform_count = 512;  // world matrices live at 256..511

// Groups of GL state the device sends together; a change to a D3D state
// marks only its group, and a draw sends only the groups marked since the
// last one.
using State_Groups = std::uint32_t;
enum : State_Groups {
    Group_Viewport = 1u << 0,
    Group_Depth = 1u << 1,
    Group_Cull = 1u << 2,
    Group_Fill = 1u << 3,
    Group_Blend = 1u << 4,
    Group_Color_Mask = 1u << 5,
    Group_Stencil = 1u << 6,
    Group_Scissor = 1u << 7,
    Group_Multisample = 1u << 8,
    Group_Depth_Bias = 1u << 9,
    Group_Point_Size = 1u << 10,
    Group_All = (1u << 11) - 1,
    // Not GL state: the fixed-function programs' uniforms (lighting, and the
    // fragment stage's texture factor and alpha reference).
    Group_Ff_Lighting = 1u << 11,
    Group_Ff_Fragment = 1u << 12,
    // Read by the fixed-function programs at each draw, or only kept.
    Group_Program = 0,
    Group_Stored = 0,
};
// The group a render state belongs to (0 for those no GL state follows).
State_Groups Render_State_Group(DWORD state);

class Device final : public Com_Object<IDirect3DDevice9>, public Gl_Device {
public:
    static HRESULT Create(Direct3D9* d3d, HWND focus_window, const D3DPRESENT_PARAMETERS& params,
                          IDirect3DDevice9** out);

    // Frame
    HRESULT Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z,
                  DWORD Stencil) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                    const void* pDirtyRegion) override;
    HRESULT SetViewport(const D3DVIEWPORT9* pViewport) override;
    HRESULT GetViewport(D3DVIEWPORT9* pViewport) override;

    // States
    HRESULT SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) override;
    HRESULT SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) override;
    HRESULT GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) override;
    HRESULT SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) override;
    HRESULT GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type,
                                 DWORD* pValue) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) override;
    HRESULT SetLight(DWORD Index, const D3DLIGHT9* pLight) override;
    HRESULT GetLight(DWORD Index, D3DLIGHT9* pLight) override;
    HRESULT LightEnable(DWORD Index, BOOL Enable) override;
    HRESULT GetLightEnable(DWORD Index, BOOL* pEnable) override;
    HRESULT SetMaterial(const D3DMATERIAL9* pMaterial) override;
    HRESULT GetMaterial(D3DMATERIAL9* pMaterial) override;
    HRESULT SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) override;
    HRESULT GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) override;

    HRESULT SetVertexShaderConstantF(UINT StartRegister, const float* pConstantData,
                                     UINT Vector4fCount) override;
    HRESULT GetVertexShaderConstantF(UINT StartRegister, float* pConstantData,
                                     UINT Vector4fCount) override;
    HRESULT SetVertexShaderConstantI(UINT StartRegister, const int* pConstantData,
                                     UINT Vector4iCount) override;
    HRESULT GetVertexShaderConstantI(UINT StartRegister, int* pConstantData,
                                     UINT Vector4iCount) override;
    HRESULT SetVertexShaderConstantB(UINT StartRegister, const BOOL* pConstantData,
                                     UINT BoolCount) override;
    HRESULT GetVertexShaderConstantB(UINT StartRegister, BOOL* pConstantData,
                                     UINT BoolCount) override;
    HRESULT SetPixelShaderConstantF(UINT StartRegister, const float* pConstantData,
                                    UINT Vector4fCount) override;
    HRESULT GetPixelShaderConstantF(UINT StartRegister, float* pConstantData,
                                    UINT Vector4fCount) override;
    HRESULT SetPixelShaderConstantI(UINT StartRegister, const int* pConstantData,
                                    UINT Vector4iCount) override;
    HRESULT GetPixelShaderConstantI(UINT StartRegister, int* pConstantData,
                                    UINT Vector4iCount) override;
    HRESULT SetPixelShaderConstantB(UINT StartRegister, const BOOL* pConstantData,
                                    UINT BoolCount) override;
    HRESULT GetPixelShaderConstantB(UINT StartRegister, BOOL* pConstantData,
                                    UINT BoolCount) override;

    // Resources
    HRESULT CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format,
                          D3DPOOL Pool, IDirect3DTexture9** ppTexture,
                          HANDLE* pSharedHandle) override;
    HRESULT CreateCubeTexture(UINT EdgeLength, UINT Levels, DWORD Usage, D3DFORMAT Format,
                              D3DPOOL Pool, IDirect3DCubeTexture9** ppCubeTexture,
                              HANDLE* pSharedHandle) override;
    HRESULT CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                               IDirect3DVertexBuffer9** ppVertexBuffer,
                               HANDLE* pSharedHandle) override;
    HRESULT CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                              IDirect3DIndexBuffer9** ppIndexBuffer,
                              HANDLE* pSharedHandle) override;
    HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* pVertexElements,
                                    IDirect3DVertexDeclaration9** ppDecl) override;

    // Input assembly and drawing
    HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* pDecl) override;
    HRESULT GetVertexDeclaration(IDirect3DVertexDeclaration9** ppDecl) override;
    HRESULT SetFVF(DWORD FVF) override;
    HRESULT GetFVF(DWORD* pFVF) override;
    HRESULT SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData,
                            UINT OffsetInBytes, UINT Stride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer9* pIndexData) override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex,
                          UINT PrimitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex,
                                 UINT MinVertexIndex, UINT NumVertices, UINT startIndex,
                                 UINT primCount) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount,
                            const void* pVertexStreamZeroData,
                            UINT VertexStreamZeroStride) override;
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT MinVertexIndex,
                                   UINT NumVertices, UINT PrimitiveCount, const void* pIndexData,
                                   D3DFORMAT IndexDataFormat, const void* pVertexStreamZeroData,
                                   UINT VertexStreamZeroStride) override;

    // Gl_Device
    void Make_Current() override;
    void Set_Shader_Override(GLuint vertex_program, GLuint fragment_program) override;
    void Clear_Shader_Override() override;
    void Set_Attribute_Remap(const Gl_Attribute_Remap* entries, std::size_t count) override;
    void Half_Pixel_Offset(float* x, float* y) const override;
    void Forget_Gl_State() override;
    void Set_Draw_Rejection(bool on) override { reject_outside_ = on; }
    std::uint64_t Rejected_Draws() const override { return rejected_draws_; }

    // For the resources and the read-back functions.
    UINT Max_Texture_Size() const { return max_texture_size_; }
    void Forget_Texture_Name(GLuint name);
    void Forget_Buffer_Name(GLuint name);
    bool Read_Last_Frame(int* width, int* height, std::vector<unsigned char>* rgba);

private:
    Device(Direct3D9* d3d, HWND window);
    ~Device();
    HRESULT Init(const D3DPRESENT_PARAMETERS& params);
    void Set_Default_States();
    void Check_Window();

    // Draw path (device_draw.cpp)
    struct Draw_Input;
    struct User_Indices;
    HRESULT Draw(D3DPRIMITIVETYPE type, UINT primitive_count, const Draw_Input& input);
    HRESULT Draw_User_Memory(D3DPRIMITIVETYPE type, UINT primitive_count, const void* vertices,
                             UINT stride, const User_Indices* indices);
    const Vertex_Layout* Current_Layout() const;
    void Apply_Render_States();
    void Apply_Textures();
    bool Apply_Programs(const Vertex_Layout& layout);
    void Upload_Ff_Uniforms();
    void Upload_Shader_Constants();
    bool Apply_Vertex_Input(const Vertex_Layout& layout, const Draw_Input& input);
    bool Outside_View(const Vertex_Layout& layout, const Draw_Input& input, GLsizei count);
    GLuint Sampler_For(DWORD stage);
    void Reset_Gl_State();

    // Reference counting and the objects this device belongs to
    Direct3D9* d3d_;
    HWND window_;

    // GL side
    std::unique_ptr<Gl_Context> context_;
    GLuint msaa_fbo_ = 0, msaa_color_ = 0, msaa_depth_ = 0;
    GLuint resolve_fbo_ = 0, resolve_color_ = 0;
    GLuint vao_ = 0;
    GLuint pipeline_ = 0;
    Stream_Ring up_vertices_, up_indices_, ubo_ring_, fragment_ubo_ring_;
    UINT max_texture_size_ = 0;
    float max_anisotropy_ = 1.0f;
    int width_ = 0, height_ = 0;
    bool has_stencil_ = false;
    int depth_bits_ = 16;
    // Where the frame last presented can be read back from. With a window of
    // the back buffer's size, Present resolves the samples straight into the
    // window and leaves the single-sample copy to a read-back that asks for
    // it, which can make it only while the back buffer is still unchanged.
    enum class Last_Frame : std::uint8_t { None, Resolved, In_Back_Buffer, Overwritten };
    Last_Frame last_frame_ = Last_Frame::None;
    // Whether the driver takes a mirrored resolve into the window: asked once,
    // by the first such Present, then known.
    enum class Direct_Present : std::uint8_t { Untried, Works, Refused };
    Direct_Present direct_present_ = Direct_Present::Untried;
    void Back_Buffer_Written() {
        if (last_frame_ == Last_Frame::In_Back_Buffer) last_frame_ = Last_Frame::Overwritten;
    }
    void Resolve_Back_Buffer();
    DWORD presentation_interval_ = 0;

    // D3D state
    std::array<DWORD, k_render_state_count> render_states_{};
    std::array<std::array<DWORD, k_sampler_state_count>, D3D_MAX_SAMPLERS> sampler_states_{};
    std::array<std::array<DWORD, k_texture_stage_state_count>, k_texture_stage_count>
        stage_states_{};
    std::vector<D3DMATRIX> transforms_;
    struct Light_Slot {
        D3DLIGHT9 light{};
        bool enabled = false;
    };
    std::map<DWORD, Light_Slot> lights_;
    D3DMATERIAL9 material_{};
    D3DVIEWPORT9 viewport_{};
    bool in_scene_ = false;

    struct Texture_Slot {
        Bound<Texture_Storage> storage;
        IDirect3DBaseTexture9* interface = nullptr;  // what GetTexture hands back
    };
    std::array<Texture_Slot, D3D_MAX_SAMPLERS> textures_;
    struct Stream_Slot {
        Bound<Vertex_Buffer> buffer;
        UINT offset = 0, stride = 0;
    };
    std::array<Stream_Slot, k_stream_count> streams_;
    Bound<Index_Buffer> indices_;
    Bound<Vertex_Declaration> declaration_;
    DWORD fvf_ = 0;
    std::unordered_map<DWORD, Vertex_Layout> fvf_layouts_;

    // Shader override from an effect pass
    GLuint override_vertex_ = 0, override_fragment_ = 0;

    // Shader constant registers, in the std140 layout of Gl_Shader_Constants,
    // and the buffers that hold them for the programs (vertex, pixel).
    std::array<Gl_Shader_Constants, 2> shader_constants_{};
    std::array<GLuint, 2> constant_buffers_{};
    std::array<bool, 2> constants_dirty_{true, true};

    // What is in GL right now, to skip redundant calls
    State_Groups dirty_groups_ = Group_All;
    bool ff_uniforms_dirty_ = true;
    bool ff_fragment_dirty_ = true;
    std::array<bool, D3D_MAX_SAMPLERS> sampler_dirty_{};
    std::array<GLuint, D3D_MAX_SAMPLERS> bound_texture_{};
    std::array<GLenum, D3D_MAX_SAMPLERS> bound_target_{};
    std::array<GLuint, D3D_MAX_SAMPLERS> bound_sampler_{};
    std::uint64_t vao_layout_id_ = 0;
    // The attribute remap in force, and the one the VAO was set up with.
    std::vector<Gl_Attribute_Remap> attribute_remap_;
    std::vector<Gl_Attribute_Remap> vao_remap_;
    GLuint vao_elements_ = 0;
    GLuint stage_vertex_ = ~0u, stage_fragment_ = ~0u;
    // Gl_Program_Deletions() when stage_vertex_/stage_fragment_ were last
    // trusted: a deleted program's name may come back for another program.
    std::uint64_t stage_deletions_ = 0;
    GLintptr ubo_offset_ = -1, fragment_ubo_offset_ = -1;
    bool lights_dirty_ = true;
    std::vector<DWORD> active_lights_;  // lowest enabled indices, at most k_ff_lights

    struct Sampler_Key_Hash {
        std::size_t operator()(const std::array<DWORD, 10>& key) const {
            std::size_t h = 1469598103934665603ull;
            for (DWORD v : key) h = (h ^ v) * 1099511628211ull;
            return h;
        }
    };
    std::unordered_map<std::array<DWORD, 10>, GLuint, Sampler_Key_Hash> samplers_;

    Ff_Uniform_Block ff_block_{};

    bool reject_outside_ = true;
    std::uint64_t rejected_draws_ = 0;
};

// With QM_DRAW_COUNTS set in the environment, the process prints on exit how
// many draws all its devices sent to GL and how many they left out as
// outside the view (for the benchmarks).
void Count_Draw(bool rejected);

}  // namespace qm_d3d9
