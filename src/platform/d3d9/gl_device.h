// What the D3DX layer may know about the OpenGL side of our IDirect3DDevice9.
//
// The device draws with program pipeline objects made of separable GLSL 4.50
// programs. Every draw gets its vertex half and its fragment half either from
// the fixed-function generator or from an override installed by an effect
// pass; both kinds meet through the fixed locations below, so any vertex half
// works with any fragment half.
//
// Conventions every program used with the device must follow:
//  - Clip space is Direct3D's: glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE)
//    is in force, so a D3D projection matrix works unchanged (z 0..1, +y up
//    in clip space = top row of the back buffer).
//  - Vertex inputs sit at the attribute location of their semantic
//    (Gl_Attribute_Location). An element the bound vertex format or
//    declaration lacks reads as (0, 0, 0, 1).
//  - Varyings sit at the location of their semantic (Gl_Varying_Location).
//    The fixed-function halves declare every varying as a smooth vec4; a
//    program that meets a fixed-function half declares its side as vec4 too
//    (GL matches separable interfaces by location AND type).
//  - A separable vertex program redeclares gl_PerVertex { vec4 gl_Position; }
//    as GLSL 4.50 requires for program pipelines.
//  - Sampler stage s is texture unit s. At each draw the device binds stage
//    s's texture (GL_TEXTURE_2D or GL_TEXTURE_CUBE_MAP) and a sampler object
//    holding stage s's D3DSAMP_* states to unit s.
//  - Uniform buffer binding points from Gl_First_Device_Ubo_Binding up belong
//    to the device; programs of the D3DX layer use the ones below it.
//  - The device keeps a shadow of its GL bindings and state. Code outside it
//    creates and fills GL objects with direct-state-access calls (glCreate*,
//    glNamedBuffer*, glTexture*, glProgramUniform*) and leaves bindings, the
//    current program/pipeline and global GL state alone; the D3D state goes
//    through the public IDirect3DDevice9 methods.
#pragma once

#include <cstdint>
#include <memory>

#include <epoxy/gl.h>

#include "platform/d3d9.h"

// ---------------------------------------------------------------------------
// Vertex attribute locations by vertex-element semantic
// ---------------------------------------------------------------------------
namespace Gl_Attribute {
inline constexpr GLuint Position0 = 0;
inline constexpr GLuint Normal0 = 1;
inline constexpr GLuint Color0 = 2;
inline constexpr GLuint Color1 = 3;
inline constexpr GLuint Texcoord0 = 4;  // TEXCOORDn = 4 + n, n = 0..7
inline constexpr GLuint Tangent0 = 12;
inline constexpr GLuint Binormal0 = 13;
inline constexpr GLuint Blendweight0 = 14;
inline constexpr GLuint Blendindices0 = 15;
inline constexpr GLuint Count = 16;
}  // namespace Gl_Attribute

// Location of a vertex element (D3DDECLUSAGE_*, usage index), or -1 when the
// semantic has no location (the element is then not fed to programs).
// POSITIONT shares POSITION0's location: pre-transformed vertices arrive there.
constexpr int Gl_Attribute_Location(BYTE usage, BYTE usage_index) {
    switch (usage) {
    case D3DDECLUSAGE_POSITION:
    case D3DDECLUSAGE_POSITIONT: return usage_index == 0 ? int(Gl_Attribute::Position0) : -1;
    case D3DDECLUSAGE_NORMAL: return usage_index == 0 ? int(Gl_Attribute::Normal0) : -1;
    case D3DDECLUSAGE_COLOR: return usage_index < 2 ? int(Gl_Attribute::Color0) + usage_index : -1;
    case D3DDECLUSAGE_TEXCOORD:
        return usage_index < 8 ? int(Gl_Attribute::Texcoord0) + usage_index : -1;
    case D3DDECLUSAGE_TANGENT: return usage_index == 0 ? int(Gl_Attribute::Tangent0) : -1;
    case D3DDECLUSAGE_BINORMAL: return usage_index == 0 ? int(Gl_Attribute::Binormal0) : -1;
    case D3DDECLUSAGE_BLENDWEIGHT: return usage_index == 0 ? int(Gl_Attribute::Blendweight0) : -1;
    case D3DDECLUSAGE_BLENDINDICES: return usage_index == 0 ? int(Gl_Attribute::Blendindices0) : -1;
    default: return -1;
    }
}

// A vertex element a program reads at a location of its own choosing: a
// semantic with no location above (BLENDWEIGHT1, NORMAL1, TEXCOORD8 ...)
// goes to a location the program does not use otherwise.
struct Gl_Attribute_Remap {
    BYTE usage = 0;
    BYTE usage_index = 0;
    GLuint location = 0;
};

// ---------------------------------------------------------------------------
// Varying locations by semantic, between vertex and fragment halves
// ---------------------------------------------------------------------------
namespace Gl_Varying {
inline constexpr GLuint Color0 = 0;     // diffuse (lit)
inline constexpr GLuint Color1 = 1;     // specular
inline constexpr GLuint Texcoord0 = 2;  // TEXCOORDn = 2 + n, n = 0..9
inline constexpr GLuint Fog = 12;
inline constexpr GLuint Normal0 = 13;  // NORMALn = 13 + n, n = 0..3
inline constexpr GLuint Tangent0 = 17;
inline constexpr GLuint Binormal0 = 18;
inline constexpr GLuint Position1 = 19;  // POSITIONn = 18 + n, n = 1..3 (a position passed on)
inline constexpr GLuint Count = 22;
}  // namespace Gl_Varying

// Location of a varying (D3DDECLUSAGE_*, usage index), or -1 when none.
// POSITION0 is gl_Position, not a varying.
constexpr int Gl_Varying_Location(BYTE usage, BYTE usage_index) {
    switch (usage) {
    case D3DDECLUSAGE_COLOR: return usage_index < 2 ? int(Gl_Varying::Color0) + usage_index : -1;
    case D3DDECLUSAGE_TEXCOORD:
        return usage_index < 10 ? int(Gl_Varying::Texcoord0) + usage_index : -1;
    case D3DDECLUSAGE_FOG: return usage_index == 0 ? int(Gl_Varying::Fog) : -1;
    case D3DDECLUSAGE_NORMAL: return usage_index < 4 ? int(Gl_Varying::Normal0) + usage_index : -1;
    case D3DDECLUSAGE_TANGENT: return usage_index == 0 ? int(Gl_Varying::Tangent0) : -1;
    case D3DDECLUSAGE_BINORMAL: return usage_index == 0 ? int(Gl_Varying::Binormal0) : -1;
    case D3DDECLUSAGE_POSITION:
        return usage_index >= 1 && usage_index <= 3 ? int(Gl_Varying::Position1) + usage_index - 1
                                                    : -1;
    default: return -1;
    }
}

// Uniform buffer binding points at and above this one are used by the device.
inline constexpr GLuint Gl_First_Device_Ubo_Binding = 24;

// Shader constant registers (IDirect3DDevice9::Set*ShaderConstantF/I/B) as
// programs see them: one std140 uniform block per stage, bound at these
// points while an override program draws, laid out as Gl_Shader_Constants
// (vec4 f[256]; ivec4 i[16]; ivec4 b[16]; bool register k is b[k].x).
inline constexpr GLuint Gl_Vertex_Constants_Binding = Gl_First_Device_Ubo_Binding + 2;
inline constexpr GLuint Gl_Pixel_Constants_Binding = Gl_First_Device_Ubo_Binding + 3;
inline constexpr UINT Gl_Vertex_Float_Constants = 256;
inline constexpr UINT Gl_Pixel_Float_Constants = 224;
inline constexpr UINT Gl_Int_Constants = 16;
inline constexpr UINT Gl_Bool_Constants = 16;

struct Gl_Shader_Constants {
    float f[Gl_Vertex_Float_Constants][4];  // pixel shaders use the first 224
    int i[Gl_Int_Constants][4];
    int b[Gl_Bool_Constants][4];
};

// Texture units = sampler stages.
inline constexpr GLuint Gl_Sampler_Stage_Count = D3D_MAX_SAMPLERS;

// ---------------------------------------------------------------------------
// The device's GL side
// ---------------------------------------------------------------------------
class Gl_Device {
public:
    // Makes this device's GL context current. Every device method does this
    // itself; the D3DX layer calls it before creating or changing GL objects.
    // Devices share GL objects (programs, textures, buffers, samplers) with
    // the other devices of their kind: headless devices all use one context
    // that lives as long as the process, so their objects do too; window
    // devices share theirs until the last window device is released.
    virtual void Make_Current() = 0;

    // Draws use these programs for their stages until Clear_Shader_Override:
    // 0 for a stage means the fixed-function half generated from the current
    // states. The programs must be linked with GL_PROGRAM_SEPARABLE; one
    // program holding both stages may be passed for both. Render states,
    // sampler states, textures, vertex input and the D3D conventions above
    // are handled exactly as for fixed-function draws.
    virtual void Set_Shader_Override(GLuint vertex_program, GLuint fragment_program) = 0;
    virtual void Clear_Shader_Override() = 0;
    // While the override is in force, vertex elements of these semantics feed
    // the given locations instead of their own (Gl_Attribute_Location); a
    // location taken so is not fed from its own semantic. Set_Shader_Override
    // and Clear_Shader_Override drop it. At most Gl_Attribute::Count entries.
    virtual void Set_Attribute_Remap(const Gl_Attribute_Remap* entries, std::size_t count) = 0;

    // Direct3D 9 puts pixel centres on integer window coordinates, GL on
    // half-integers. The fixed-function vertex half adds this clip-space
    // offset times gl_Position.w to gl_Position.xy so that geometry lands on
    // exactly the pixels Direct3D 9 covers; an override vertex program may do
    // the same (x: +1/width, y: about -1/height of the viewport; y is a hair
    // smaller so that GL's tie rule for centres on an edge matches D3D's).
    virtual void Half_Pixel_Offset(float* x, float* y) const = 0;

    // The device sends only the GL state that changed since the last draw.
    // After this call the next draw sends all of it again, as if nothing had
    // been sent before (for code that touched GL state behind the device).
    virtual void Forget_Gl_State() = 0;
    // A fixed-function draw whose vertices all lie outside the view volume
    // is not sent to GL (it could not change a pixel). On by default; off
    // sends every draw, for comparing pictures. Rejected_Draws counts the
    // draws this device left out.
    virtual void Set_Draw_Rejection(bool on) = 0;
    virtual std::uint64_t Rejected_Draws() const = 0;

protected:
    ~Gl_Device() = default;
};

// Which GL object namespace the current context belongs to: 0 when none of
// our contexts is current, 1 for the headless contexts (they live as long as
// the process), and for window contexts a number that changes each time the
// last window context goes and a new one is made (a GL name from before means
// nothing then). Caches of GL objects key by it and delete an object only
// while its namespace is current.
std::uint64_t Gl_Current_Object_Namespace();

// Deletes a program made for the devices (an effect's compiled shader) when
// `object_namespace` (Gl_Current_Object_Namespace when it was made) is the
// current one; a program of another namespace is left alone. Every device
// then attaches its programs anew, so that a later program given the same
// name is not taken for the one it had.
void Gl_Delete_Program(GLuint program, std::uint64_t object_namespace);
// Counts the programs Gl_Delete_Program deleted.
std::uint64_t Gl_Program_Deletions();

// The GL side of one of our devices, or null for anything else.
Gl_Device* Gl_Device_From(IDirect3DDevice9* device);

// GL name and target (GL_TEXTURE_2D or GL_TEXTURE_CUBE_MAP) of one of our
// textures; 0 (and target untouched) for null or a foreign object.
GLuint Gl_Texture_Name(IDirect3DBaseTexture9* texture, GLenum* target);

// Cube maps through IDirect3DTexture9: D3DXCreateTextureFromFileA returns
// every texture through an IDirect3DTexture9** parameter, cube maps too. The
// view shares the cube's reference count, its GetType() says
// D3DRTYPE_CUBETEXTURE, SetTexture and Gl_Texture_Name take it as the cube
// itself; LockRect/UnlockRect through the view fail (lock the cube).
IDirect3DTexture9* Gl_Cube_Texture_View(IDirect3DCubeTexture9* cube);  // null if not ours
// The cube behind a view (or a cube itself), null for anything else.
IDirect3DCubeTexture9* Gl_Cube_Texture_Of(IDirect3DBaseTexture9* texture);

// Storage shared between texture objects. Every texture object the device
// hands out has storage of its own until the D3DX layer asks for another
// object over the same storage (a file loaded again, unchanged). A lock for
// writing through one of them first copies the storage for that object, so
// what one caller writes never shows through another's texture.
class Gl_Texture_Data;
// The storage behind one of our textures (empty for a foreign object).
std::weak_ptr<Gl_Texture_Data> Gl_Texture_Share_Of(IDirect3DBaseTexture9* texture);
// A new texture object (a cube map comes as its IDirect3DTexture9 view) over
// the storage, holding its own reference on the device.
HRESULT Gl_Create_Shared_Texture(std::shared_ptr<Gl_Texture_Data> data, IDirect3DTexture9** out);
