// The Direct3D 9 subset the engine calls, implemented on OpenGL 4.5 core.
//
// Types, values and method signatures follow the Direct3D 9 SDK; behaviour
// follows Direct3D 9 (default states, lighting equations, depth range,
// clockwise front faces, pixel centres of pre-transformed vertices).
#pragma once

#include "platform/win32.h"

#define D3D_SDK_VERSION 32
#define D3DADAPTER_DEFAULT 0

typedef DWORD D3DCOLOR;
#define D3DCOLOR_ARGB(a, r, g, b) \
    ((D3DCOLOR)((((a)&0xff) << 24) | (((r)&0xff) << 16) | (((g)&0xff) << 8) | ((b)&0xff)))
#define D3DCOLOR_XRGB(r, g, b) D3DCOLOR_ARGB(0xff, r, g, b)

// ---------------------------------------------------------------------------
// Results
// ---------------------------------------------------------------------------
#define D3D_OK S_OK
#define D3DERR_INVALIDCALL ((HRESULT)0x8876086C)
#define D3DERR_NOTAVAILABLE ((HRESULT)0x8876086A)
#define D3DERR_OUTOFVIDEOMEMORY ((HRESULT)0x8876017C)
#define D3DERR_DEVICELOST ((HRESULT)0x88760868)

// ---------------------------------------------------------------------------
// Value records
// ---------------------------------------------------------------------------
struct D3DVECTOR {
    float x, y, z;
};

struct D3DCOLORVALUE {
    float r, g, b, a;
};

struct D3DMATRIX {
    union {
        struct {
            float _11, _12, _13, _14;
            float _21, _22, _23, _24;
            float _31, _32, _33, _34;
            float _41, _42, _43, _44;
        };
        float m[4][4];
    };
};

struct D3DRECT {
    LONG x1, y1, x2, y2;
};

enum D3DLIGHTTYPE {
    D3DLIGHT_POINT = 1,
    D3DLIGHT_SPOT = 2,
    D3DLIGHT_DIRECTIONAL = 3,
    D3DLIGHT_FORCE_DWORD = 0x7fffffff
};

// 104 bytes, laid out as in Direct3D 9 (effects receive it byte for byte).
struct D3DLIGHT9 {
    D3DLIGHTTYPE Type;
    D3DCOLORVALUE Diffuse;
    D3DCOLORVALUE Specular;
    D3DCOLORVALUE Ambient;
    D3DVECTOR Position;
    D3DVECTOR Direction;
    float Range;
    float Falloff;
    float Attenuation0;
    float Attenuation1;
    float Attenuation2;
    float Theta;
    float Phi;
};
static_assert(sizeof(D3DLIGHT9) == 104, "D3DLIGHT9 must keep the Direct3D 9 layout");

// 68 bytes.
struct D3DMATERIAL9 {
    D3DCOLORVALUE Diffuse;
    D3DCOLORVALUE Ambient;
    D3DCOLORVALUE Specular;
    D3DCOLORVALUE Emissive;
    float Power;
};
static_assert(sizeof(D3DMATERIAL9) == 68, "D3DMATERIAL9 must keep the Direct3D 9 layout");

struct D3DVIEWPORT9 {
    DWORD X, Y, Width, Height;
    float MinZ, MaxZ;
};

// ---------------------------------------------------------------------------
// Enumerations
// ---------------------------------------------------------------------------
enum D3DDEVTYPE { D3DDEVTYPE_HAL = 1, D3DDEVTYPE_REF = 2, D3DDEVTYPE_SW = 3 };

#define MAKEFOURCC(a, b, c, d)                                               \
    ((DWORD)(BYTE)(a) | ((DWORD)(BYTE)(b) << 8) | ((DWORD)(BYTE)(c) << 16) | \
     ((DWORD)(BYTE)(d) << 24))

enum D3DFORMAT : DWORD {
    D3DFMT_UNKNOWN = 0,
    D3DFMT_R8G8B8 = 20,
    D3DFMT_A8R8G8B8 = 21,
    D3DFMT_X8R8G8B8 = 22,
    D3DFMT_R5G6B5 = 23,
    D3DFMT_X1R5G5B5 = 24,
    D3DFMT_A1R5G5B5 = 25,
    D3DFMT_A4R4G4B4 = 26,
    D3DFMT_A8 = 28,
    D3DFMT_A8B8G8R8 = 32,
    D3DFMT_X8B8G8R8 = 33,
    D3DFMT_A16B16G16R16 = 36,
    D3DFMT_L8 = 50,
    D3DFMT_A8L8 = 51,
    D3DFMT_D16 = 80,
    D3DFMT_D24S8 = 75,
    D3DFMT_D24X8 = 77,
    D3DFMT_R16F = 111,
    D3DFMT_G16R16F = 112,
    D3DFMT_A16B16G16R16F = 113,
    D3DFMT_R32F = 114,
    D3DFMT_G32R32F = 115,
    D3DFMT_A32B32G32R32F = 116,
    D3DFMT_DXT1 = MAKEFOURCC('D', 'X', 'T', '1'),
    D3DFMT_DXT2 = MAKEFOURCC('D', 'X', 'T', '2'),
    D3DFMT_DXT3 = MAKEFOURCC('D', 'X', 'T', '3'),
    D3DFMT_DXT4 = MAKEFOURCC('D', 'X', 'T', '4'),
    D3DFMT_DXT5 = MAKEFOURCC('D', 'X', 'T', '5'),
    D3DFMT_INDEX16 = 101,
    D3DFMT_INDEX32 = 102,
    D3DFMT_VERTEXDATA = 100,
    D3DFMT_FORCE_DWORD = 0x7fffffff
};

enum D3DMULTISAMPLE_TYPE {
    D3DMULTISAMPLE_NONE = 0,
    D3DMULTISAMPLE_NONMASKABLE = 1,
    D3DMULTISAMPLE_2_SAMPLES = 2,
    D3DMULTISAMPLE_4_SAMPLES = 4,
    D3DMULTISAMPLE_8_SAMPLES = 8,
    D3DMULTISAMPLE_FORCE_DWORD = 0x7fffffff
};

enum D3DSWAPEFFECT {
    D3DSWAPEFFECT_DISCARD = 1,
    D3DSWAPEFFECT_FLIP = 2,
    D3DSWAPEFFECT_COPY = 3,
    D3DSWAPEFFECT_FORCE_DWORD = 0x7fffffff
};

enum D3DPOOL {
    D3DPOOL_DEFAULT = 0,
    D3DPOOL_MANAGED = 1,
    D3DPOOL_SYSTEMMEM = 2,
    D3DPOOL_SCRATCH = 3,
    D3DPOOL_FORCE_DWORD = 0x7fffffff
};

enum D3DRESOURCETYPE {
    D3DRTYPE_SURFACE = 1,
    D3DRTYPE_VOLUME = 2,
    D3DRTYPE_TEXTURE = 3,
    D3DRTYPE_VOLUMETEXTURE = 4,
    D3DRTYPE_CUBETEXTURE = 5,
    D3DRTYPE_VERTEXBUFFER = 6,
    D3DRTYPE_INDEXBUFFER = 7,
    D3DRTYPE_FORCE_DWORD = 0x7fffffff
};

enum D3DCUBEMAP_FACES {
    D3DCUBEMAP_FACE_POSITIVE_X = 0,
    D3DCUBEMAP_FACE_NEGATIVE_X = 1,
    D3DCUBEMAP_FACE_POSITIVE_Y = 2,
    D3DCUBEMAP_FACE_NEGATIVE_Y = 3,
    D3DCUBEMAP_FACE_POSITIVE_Z = 4,
    D3DCUBEMAP_FACE_NEGATIVE_Z = 5,
    D3DCUBEMAP_FACE_FORCE_DWORD = 0x7fffffff
};

enum D3DTRANSFORMSTATETYPE {
    D3DTS_VIEW = 2,
    D3DTS_PROJECTION = 3,
    D3DTS_TEXTURE0 = 16,
    D3DTS_TEXTURE1 = 17,
    D3DTS_TEXTURE2 = 18,
    D3DTS_TEXTURE3 = 19,
    D3DTS_TEXTURE4 = 20,
    D3DTS_TEXTURE5 = 21,
    D3DTS_TEXTURE6 = 22,
    D3DTS_TEXTURE7 = 23,
    D3DTS_FORCE_DWORD = 0x7fffffff
};
#define D3DTS_WORLDMATRIX(index) (D3DTRANSFORMSTATETYPE)((index) + 256)
#define D3DTS_WORLD D3DTS_WORLDMATRIX(0)

enum D3DPRIMITIVETYPE {
    D3DPT_POINTLIST = 1,
    D3DPT_LINELIST = 2,
    D3DPT_LINESTRIP = 3,
    D3DPT_TRIANGLELIST = 4,
    D3DPT_TRIANGLESTRIP = 5,
    D3DPT_TRIANGLEFAN = 6,
    D3DPT_FORCE_DWORD = 0x7fffffff
};

// Every render state Direct3D 9 defines, one row each, the one description
// the device and the effect layer both read:
//   X(name, number, value kind, group, default, value names)
// - value kind: Dword, Float (the DWORD holds a float's bits) or Color;
// - group: the GL state a change marks for the next draw (Depth, Cull, Fill,
//   Blend, Color_Mask, Stencil, Multisample, Depth_Bias, Point_Size); Program
//   when the fixed-function programs read it at each draw, Ff_Lighting and
//   Ff_Fragment when it feeds their uniforms; Stored when this device keeps
//   the value (GetRenderState, state blocks) but draws nothing differently;
// - default: the value a new device starts with, as Direct3D 9 documents it
//   (a float for Float states);
// - value names: the set of names an effect file may give as the value.
// The enum below is made from it; the numbers in between are holes.
// clang-format off
#define QM_D3D9_RENDER_STATES(X) \
    X(ZENABLE,                    7,   Dword, Depth,       D3DZB_TRUE,        z_buffer)        \
    X(FILLMODE,                   8,   Dword, Fill,        D3DFILL_SOLID,     fill)            \
    X(SHADEMODE,                  9,   Dword, Program,     D3DSHADE_GOURAUD,  shade)           \
    X(ZWRITEENABLE,               14,  Dword, Depth,       TRUE,              none)            \
    X(ALPHATESTENABLE,            15,  Dword, Program,     FALSE,             none)            \
    X(LASTPIXEL,                  16,  Dword, Stored,      TRUE,              none)            \
    X(SRCBLEND,                   19,  Dword, Blend,       D3DBLEND_ONE,      blend)           \
    X(DESTBLEND,                  20,  Dword, Blend,       D3DBLEND_ZERO,     blend)           \
    X(CULLMODE,                   22,  Dword, Cull,        D3DCULL_CCW,       cull)            \
    X(ZFUNC,                      23,  Dword, Depth,       D3DCMP_LESSEQUAL,  compare)         \
    X(ALPHAREF,                   24,  Dword, Ff_Fragment, 0,                 none)            \
    X(ALPHAFUNC,                  25,  Dword, Program,     D3DCMP_ALWAYS,     compare)         \
    X(DITHERENABLE,               26,  Dword, Stored,      FALSE,             none)            \
    X(ALPHABLENDENABLE,           27,  Dword, Blend,       FALSE,             none)            \
    X(FOGENABLE,                  28,  Dword, Stored,      FALSE,             none)            \
    X(SPECULARENABLE,             29,  Dword, Program,     FALSE,             none)            \
    X(FOGCOLOR,                   34,  Color, Stored,      0,                 none)            \
    X(FOGTABLEMODE,               35,  Dword, Stored,      0,                 fog)             \
    X(FOGSTART,                   36,  Float, Stored,      0.0f,              none)            \
    X(FOGEND,                     37,  Float, Stored,      1.0f,              none)            \
    X(FOGDENSITY,                 38,  Float, Stored,      1.0f,              none)            \
    X(RANGEFOGENABLE,             48,  Dword, Stored,      FALSE,             none)            \
    X(STENCILENABLE,              52,  Dword, Stencil,     FALSE,             none)            \
    X(STENCILFAIL,                53,  Dword, Stencil,     D3DSTENCILOP_KEEP, stencil_op)      \
    X(STENCILZFAIL,               54,  Dword, Stencil,     D3DSTENCILOP_KEEP, stencil_op)      \
    X(STENCILPASS,                55,  Dword, Stencil,     D3DSTENCILOP_KEEP, stencil_op)      \
    X(STENCILFUNC,                56,  Dword, Stencil,     D3DCMP_ALWAYS,     compare)         \
    X(STENCILREF,                 57,  Dword, Stencil,     0,                 none)            \
    X(STENCILMASK,                58,  Dword, Stencil,     0xFFFFFFFF,        none)            \
    X(STENCILWRITEMASK,           59,  Dword, Stencil,     0xFFFFFFFF,        none)            \
    X(TEXTUREFACTOR,              60,  Color, Ff_Fragment, 0xFFFFFFFF,        none)            \
    X(WRAP0,                      128, Dword, Stored,      0,                 wrap)            \
    X(WRAP1,                      129, Dword, Stored,      0,                 wrap)            \
    X(WRAP2,                      130, Dword, Stored,      0,                 wrap)            \
    X(WRAP3,                      131, Dword, Stored,      0,                 wrap)            \
    X(WRAP4,                      132, Dword, Stored,      0,                 wrap)            \
    X(WRAP5,                      133, Dword, Stored,      0,                 wrap)            \
    X(WRAP6,                      134, Dword, Stored,      0,                 wrap)            \
    X(WRAP7,                      135, Dword, Stored,      0,                 wrap)            \
    X(CLIPPING,                   136, Dword, Stored,      TRUE,              none)            \
    X(LIGHTING,                   137, Dword, Program,     TRUE,              none)            \
    X(AMBIENT,                    139, Color, Ff_Lighting, 0,                 none)            \
    X(FOGVERTEXMODE,              140, Dword, Stored,      0,                 fog)             \
    X(COLORVERTEX,                141, Dword, Program,     TRUE,              none)            \
    X(LOCALVIEWER,                142, Dword, Program,     TRUE,              none)            \
    X(NORMALIZENORMALS,           143, Dword, Program,     FALSE,             none)            \
    X(DIFFUSEMATERIALSOURCE,      145, Dword, Program,     D3DMCS_COLOR1,     material_source) \
    X(SPECULARMATERIALSOURCE,     146, Dword, Program,     D3DMCS_COLOR2,     material_source) \
    X(AMBIENTMATERIALSOURCE,      147, Dword, Program,     D3DMCS_MATERIAL,   material_source) \
    X(EMISSIVEMATERIALSOURCE,     148, Dword, Program,     D3DMCS_MATERIAL,   material_source) \
    X(VERTEXBLEND,                151, Dword, Stored,      0,                 vertex_blend)    \
    X(CLIPPLANEENABLE,            152, Dword, Stored,      0,                 none)            \
    X(POINTSIZE,                  154, Float, Point_Size,  1.0f,              none)            \
    X(POINTSIZE_MIN,              155, Float, Stored,      1.0f,              none)            \
    X(POINTSPRITEENABLE,          156, Dword, Stored,      FALSE,             none)            \
    X(POINTSCALEENABLE,           157, Dword, Stored,      FALSE,             none)            \
    X(POINTSCALE_A,               158, Float, Stored,      1.0f,              none)            \
    X(POINTSCALE_B,               159, Float, Stored,      0.0f,              none)            \
    X(POINTSCALE_C,               160, Float, Stored,      0.0f,              none)            \
    X(MULTISAMPLEANTIALIAS,       161, Dword, Multisample, TRUE,              none)            \
    X(MULTISAMPLEMASK,            162, Dword, Multisample, 0xFFFFFFFF,        none)            \
    X(PATCHEDGESTYLE,             163, Dword, Stored,      0,                 patch_edge)      \
    X(DEBUGMONITORTOKEN,          165, Dword, Stored,      0xBAADCAFE,        debug_monitor)   \
    X(POINTSIZE_MAX,              166, Float, Stored,      64.0f,             none)            \
    X(INDEXEDVERTEXBLENDENABLE,   167, Dword, Stored,      FALSE,             none)            \
    X(COLORWRITEENABLE,           168, Dword, Color_Mask,  0xF,               color_write)     \
    X(TWEENFACTOR,                170, Float, Stored,      0.0f,              none)            \
    X(BLENDOP,                    171, Dword, Blend,       D3DBLENDOP_ADD,    blend_op)        \
    X(POSITIONDEGREE,             172, Dword, Stored,      3,                 degree)          \
    X(NORMALDEGREE,               173, Dword, Stored,      1,                 degree)          \
    X(SCISSORTESTENABLE,          174, Dword, Stored,      FALSE,             none)            \
    X(SLOPESCALEDEPTHBIAS,        175, Float, Depth_Bias,  0.0f,              none)            \
    X(ANTIALIASEDLINEENABLE,      176, Dword, Multisample, FALSE,             none)            \
    X(MINTESSELLATIONLEVEL,       178, Float, Stored,      1.0f,              none)            \
    X(MAXTESSELLATIONLEVEL,       179, Float, Stored,      1.0f,              none)            \
    X(ADAPTIVETESS_X,             180, Float, Stored,      0.0f,              none)            \
    X(ADAPTIVETESS_Y,             181, Float, Stored,      0.0f,              none)            \
    X(ADAPTIVETESS_Z,             182, Float, Stored,      1.0f,              none)            \
    X(ADAPTIVETESS_W,             183, Float, Stored,      0.0f,              none)            \
    X(ENABLEADAPTIVETESSELLATION, 184, Dword, Stored,      FALSE,             none)            \
    X(TWOSIDEDSTENCILMODE,        185, Dword, Stencil,     FALSE,             none)            \
    X(CCW_STENCILFAIL,            186, Dword, Stencil,     D3DSTENCILOP_KEEP, stencil_op)      \
    X(CCW_STENCILZFAIL,           187, Dword, Stencil,     D3DSTENCILOP_KEEP, stencil_op)      \
    X(CCW_STENCILPASS,            188, Dword, Stencil,     D3DSTENCILOP_KEEP, stencil_op)      \
    X(CCW_STENCILFUNC,            189, Dword, Stencil,     D3DCMP_ALWAYS,     compare)         \
    X(COLORWRITEENABLE1,          190, Dword, Stored,      0xF,               color_write)     \
    X(COLORWRITEENABLE2,          191, Dword, Stored,      0xF,               color_write)     \
    X(COLORWRITEENABLE3,          192, Dword, Stored,      0xF,               color_write)     \
    X(BLENDFACTOR,                193, Color, Blend,       0xFFFFFFFF,        none)            \
    X(SRGBWRITEENABLE,            194, Dword, Stored,      0,                 none)            \
    X(DEPTHBIAS,                  195, Float, Depth_Bias,  0.0f,              none)            \
    X(WRAP8,                      198, Dword, Stored,      0,                 wrap)            \
    X(WRAP9,                      199, Dword, Stored,      0,                 wrap)            \
    X(WRAP10,                     200, Dword, Stored,      0,                 wrap)            \
    X(WRAP11,                     201, Dword, Stored,      0,                 wrap)            \
    X(WRAP12,                     202, Dword, Stored,      0,                 wrap)            \
    X(WRAP13,                     203, Dword, Stored,      0,                 wrap)            \
    X(WRAP14,                     204, Dword, Stored,      0,                 wrap)            \
    X(WRAP15,                     205, Dword, Stored,      0,                 wrap)            \
    X(SEPARATEALPHABLENDENABLE,   206, Dword, Blend,       FALSE,             none)            \
    X(SRCBLENDALPHA,              207, Dword, Blend,       D3DBLEND_ONE,      blend)           \
    X(DESTBLENDALPHA,             208, Dword, Blend,       D3DBLEND_ZERO,     blend)           \
    X(BLENDOPALPHA,               209, Dword, Blend,       D3DBLENDOP_ADD,    blend_op)

// clang-format on

enum D3DRENDERSTATETYPE {
#define QM_D3D9_RENDER_STATE_ENUM(name, number, kind, group, value, names) D3DRS_##name = number,
    QM_D3D9_RENDER_STATES(QM_D3D9_RENDER_STATE_ENUM)
#undef QM_D3D9_RENDER_STATE_ENUM
        D3DRS_FORCE_DWORD = 0x7fffffff
};
#define D3D_RENDER_STATE_COUNT 210

enum D3DZBUFFERTYPE { D3DZB_FALSE = 0, D3DZB_TRUE = 1, D3DZB_USEW = 2 };
enum D3DFILLMODE { D3DFILL_POINT = 1, D3DFILL_WIREFRAME = 2, D3DFILL_SOLID = 3 };
enum D3DSHADEMODE { D3DSHADE_FLAT = 1, D3DSHADE_GOURAUD = 2, D3DSHADE_PHONG = 3 };
enum D3DCULL {
    D3DCULL_NONE = 1,
    D3DCULL_CW = 2,
    D3DCULL_CCW = 3,
    D3DCULL_FORCE_DWORD = 0x7fffffff
};
enum D3DCMPFUNC {
    D3DCMP_NEVER = 1,
    D3DCMP_LESS = 2,
    D3DCMP_EQUAL = 3,
    D3DCMP_LESSEQUAL = 4,
    D3DCMP_GREATER = 5,
    D3DCMP_NOTEQUAL = 6,
    D3DCMP_GREATEREQUAL = 7,
    D3DCMP_ALWAYS = 8
};
enum D3DBLEND {
    D3DBLEND_ZERO = 1,
    D3DBLEND_ONE = 2,
    D3DBLEND_SRCCOLOR = 3,
    D3DBLEND_INVSRCCOLOR = 4,
    D3DBLEND_SRCALPHA = 5,
    D3DBLEND_INVSRCALPHA = 6,
    D3DBLEND_DESTALPHA = 7,
    D3DBLEND_INVDESTALPHA = 8,
    D3DBLEND_DESTCOLOR = 9,
    D3DBLEND_INVDESTCOLOR = 10,
    D3DBLEND_SRCALPHASAT = 11,
    D3DBLEND_BOTHSRCALPHA = 12,
    D3DBLEND_BOTHINVSRCALPHA = 13,
    D3DBLEND_BLENDFACTOR = 14,
    D3DBLEND_INVBLENDFACTOR = 15
};
enum D3DBLENDOP {
    D3DBLENDOP_ADD = 1,
    D3DBLENDOP_SUBTRACT = 2,
    D3DBLENDOP_REVSUBTRACT = 3,
    D3DBLENDOP_MIN = 4,
    D3DBLENDOP_MAX = 5
};
enum D3DMATERIALCOLORSOURCE { D3DMCS_MATERIAL = 0, D3DMCS_COLOR1 = 1, D3DMCS_COLOR2 = 2 };
enum D3DSTENCILOP {
    D3DSTENCILOP_KEEP = 1,
    D3DSTENCILOP_ZERO = 2,
    D3DSTENCILOP_REPLACE = 3,
    D3DSTENCILOP_INCRSAT = 4,
    D3DSTENCILOP_DECRSAT = 5,
    D3DSTENCILOP_INVERT = 6,
    D3DSTENCILOP_INCR = 7,
    D3DSTENCILOP_DECR = 8
};

enum D3DSAMPLERSTATETYPE {
    D3DSAMP_ADDRESSU = 1,
    D3DSAMP_ADDRESSV = 2,
    D3DSAMP_ADDRESSW = 3,
    D3DSAMP_BORDERCOLOR = 4,
    D3DSAMP_MAGFILTER = 5,
    D3DSAMP_MINFILTER = 6,
    D3DSAMP_MIPFILTER = 7,
    D3DSAMP_MIPMAPLODBIAS = 8,
    D3DSAMP_MAXMIPLEVEL = 9,
    D3DSAMP_MAXANISOTROPY = 10,
    D3DSAMP_SRGBTEXTURE = 11,
    D3DSAMP_FORCE_DWORD = 0x7fffffff
};
#define D3D_SAMPLER_STATE_COUNT 14
#define D3D_MAX_SAMPLERS 16

enum D3DTEXTUREFILTERTYPE {
    D3DTEXF_NONE = 0,
    D3DTEXF_POINT = 1,
    D3DTEXF_LINEAR = 2,
    D3DTEXF_ANISOTROPIC = 3,
    D3DTEXF_PYRAMIDALQUAD = 6,
    D3DTEXF_GAUSSIANQUAD = 7
};
enum D3DTEXTUREADDRESS {
    D3DTADDRESS_WRAP = 1,
    D3DTADDRESS_MIRROR = 2,
    D3DTADDRESS_CLAMP = 3,
    D3DTADDRESS_BORDER = 4,
    D3DTADDRESS_MIRRORONCE = 5
};

enum D3DTEXTURESTAGESTATETYPE {
    D3DTSS_COLOROP = 1,
    D3DTSS_COLORARG1 = 2,
    D3DTSS_COLORARG2 = 3,
    D3DTSS_ALPHAOP = 4,
    D3DTSS_ALPHAARG1 = 5,
    D3DTSS_ALPHAARG2 = 6,
    D3DTSS_TEXCOORDINDEX = 11,
    D3DTSS_TEXTURETRANSFORMFLAGS = 24,
    D3DTSS_COLORARG0 = 26,
    D3DTSS_ALPHAARG0 = 27,
    D3DTSS_RESULTARG = 28,
    D3DTSS_FORCE_DWORD = 0x7fffffff
};
enum D3DTEXTUREOP {
    D3DTOP_DISABLE = 1,
    D3DTOP_SELECTARG1 = 2,
    D3DTOP_SELECTARG2 = 3,
    D3DTOP_MODULATE = 4,
    D3DTOP_MODULATE2X = 5,
    D3DTOP_MODULATE4X = 6,
    D3DTOP_ADD = 7
};
#define D3DTA_DIFFUSE 0x00000000
#define D3DTA_CURRENT 0x00000001
#define D3DTA_TEXTURE 0x00000002
#define D3DTA_TFACTOR 0x00000003
#define D3DTA_SPECULAR 0x00000004

// Clear flags
#define D3DCLEAR_TARGET 0x00000001L
#define D3DCLEAR_ZBUFFER 0x00000002L
#define D3DCLEAR_STENCIL 0x00000004L

// Create flags
#define D3DCREATE_FPU_PRESERVE 0x00000002L
#define D3DCREATE_MULTITHREADED 0x00000004L
#define D3DCREATE_PUREDEVICE 0x00000010L
#define D3DCREATE_SOFTWARE_VERTEXPROCESSING 0x00000020L
#define D3DCREATE_HARDWARE_VERTEXPROCESSING 0x00000040L
#define D3DCREATE_MIXED_VERTEXPROCESSING 0x00000080L

#define D3DPRESENT_INTERVAL_DEFAULT 0x00000000L
#define D3DPRESENT_INTERVAL_ONE 0x00000001L
#define D3DPRESENT_INTERVAL_IMMEDIATE 0x80000000L
#define D3DPRESENTFLAG_LOCKABLE_BACKBUFFER 0x00000001
#define D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL 0x00000002

// Usage and lock flags
#define D3DUSAGE_RENDERTARGET 0x00000001L
#define D3DUSAGE_DEPTHSTENCIL 0x00000002L
#define D3DUSAGE_WRITEONLY 0x00000008L
#define D3DUSAGE_DYNAMIC 0x00000200L
#define D3DUSAGE_AUTOGENMIPMAP 0x00000400L
#define D3DLOCK_READONLY 0x00000010L
#define D3DLOCK_DISCARD 0x00002000L
#define D3DLOCK_NOOVERWRITE 0x00001000L

// Flexible vertex format bits
#define D3DFVF_RESERVED0 0x001
#define D3DFVF_POSITION_MASK 0x400E
#define D3DFVF_XYZ 0x002
#define D3DFVF_XYZRHW 0x004
#define D3DFVF_XYZW 0x4002
#define D3DFVF_XYZB1 0x006
#define D3DFVF_XYZB2 0x008
#define D3DFVF_XYZB3 0x00a
#define D3DFVF_XYZB4 0x00c
#define D3DFVF_XYZB5 0x00e
#define D3DFVF_LASTBETA_UBYTE4 0x1000
#define D3DFVF_LASTBETA_D3DCOLOR 0x8000
#define D3DFVF_NORMAL 0x010
#define D3DFVF_PSIZE 0x020
#define D3DFVF_DIFFUSE 0x040
#define D3DFVF_SPECULAR 0x080
#define D3DFVF_TEXCOUNT_MASK 0xf00
#define D3DFVF_TEXCOUNT_SHIFT 8
#define D3DFVF_TEX0 0x000
#define D3DFVF_TEX1 0x100
#define D3DFVF_TEX2 0x200
#define D3DFVF_TEX3 0x300
#define D3DFVF_TEX4 0x400
// Two size bits per texture coordinate set, from bit 16.
#define D3DFVF_TEXTUREFORMAT1 3
#define D3DFVF_TEXTUREFORMAT2 0
#define D3DFVF_TEXTUREFORMAT3 1
#define D3DFVF_TEXTUREFORMAT4 2
#define D3DFVF_TEXCOORDSIZE1(set) (D3DFVF_TEXTUREFORMAT1 << ((set)*2 + 16))
#define D3DFVF_TEXCOORDSIZE2(set) (D3DFVF_TEXTUREFORMAT2)
#define D3DFVF_TEXCOORDSIZE3(set) (D3DFVF_TEXTUREFORMAT3 << ((set)*2 + 16))
#define D3DFVF_TEXCOORDSIZE4(set) (D3DFVF_TEXTUREFORMAT4 << ((set)*2 + 16))

#define D3DMAXUSERCLIPPLANES 32
#define D3DMAX_LIGHTS 8  // lights the fixed-function emulation evaluates at once

// ---------------------------------------------------------------------------
// Vertex declarations
// ---------------------------------------------------------------------------
enum D3DDECLTYPE : BYTE {
    D3DDECLTYPE_FLOAT1 = 0,
    D3DDECLTYPE_FLOAT2 = 1,
    D3DDECLTYPE_FLOAT3 = 2,
    D3DDECLTYPE_FLOAT4 = 3,
    D3DDECLTYPE_D3DCOLOR = 4,
    D3DDECLTYPE_UBYTE4 = 5,
    D3DDECLTYPE_SHORT2 = 6,
    D3DDECLTYPE_SHORT4 = 7,
    D3DDECLTYPE_UBYTE4N = 8,
    D3DDECLTYPE_UNUSED = 17
};
enum D3DDECLMETHOD : BYTE { D3DDECLMETHOD_DEFAULT = 0 };
enum D3DDECLUSAGE : BYTE {
    D3DDECLUSAGE_POSITION = 0,
    D3DDECLUSAGE_BLENDWEIGHT = 1,
    D3DDECLUSAGE_BLENDINDICES = 2,
    D3DDECLUSAGE_NORMAL = 3,
    D3DDECLUSAGE_PSIZE = 4,
    D3DDECLUSAGE_TEXCOORD = 5,
    D3DDECLUSAGE_TANGENT = 6,
    D3DDECLUSAGE_BINORMAL = 7,
    D3DDECLUSAGE_TESSFACTOR = 8,
    D3DDECLUSAGE_POSITIONT = 9,
    D3DDECLUSAGE_COLOR = 10,
    D3DDECLUSAGE_FOG = 11,
    D3DDECLUSAGE_DEPTH = 12,
    D3DDECLUSAGE_SAMPLE = 13
};

struct D3DVERTEXELEMENT9 {
    WORD Stream;
    WORD Offset;
    BYTE Type;
    BYTE Method;
    BYTE Usage;
    BYTE UsageIndex;
};
#define D3DDECL_END() \
    { 0xFF, 0, D3DDECLTYPE_UNUSED, 0, 0, 0 }
#define MAXD3DDECLLENGTH 64

// ---------------------------------------------------------------------------
// Present parameters and descriptions
// ---------------------------------------------------------------------------
struct D3DPRESENT_PARAMETERS {
    UINT BackBufferWidth;
    UINT BackBufferHeight;
    D3DFORMAT BackBufferFormat;
    UINT BackBufferCount;
    D3DMULTISAMPLE_TYPE MultiSampleType;
    DWORD MultiSampleQuality;
    D3DSWAPEFFECT SwapEffect;
    HWND hDeviceWindow;
    BOOL Windowed;
    BOOL EnableAutoDepthStencil;
    D3DFORMAT AutoDepthStencilFormat;
    DWORD Flags;
    UINT FullScreen_RefreshRateInHz;
    UINT PresentationInterval;
};

struct D3DLOCKED_RECT {
    INT Pitch;
    void* pBits;
};

struct D3DSURFACE_DESC {
    D3DFORMAT Format;
    D3DRESOURCETYPE Type;
    DWORD Usage;
    D3DPOOL Pool;
    D3DMULTISAMPLE_TYPE MultiSampleType;
    DWORD MultiSampleQuality;
    UINT Width;
    UINT Height;
};

struct D3DVERTEXBUFFER_DESC {
    D3DFORMAT Format;
    D3DRESOURCETYPE Type;
    DWORD Usage;
    D3DPOOL Pool;
    UINT Size;
    DWORD FVF;
};

struct D3DINDEXBUFFER_DESC {
    D3DFORMAT Format;
    D3DRESOURCETYPE Type;
    DWORD Usage;
    D3DPOOL Pool;
    UINT Size;
};

// ---------------------------------------------------------------------------
// Interfaces
// ---------------------------------------------------------------------------
struct IUnknown {
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

struct IDirect3DDevice9;

struct IDirect3DResource9 : IUnknown {
    virtual HRESULT GetDevice(IDirect3DDevice9** ppDevice) = 0;
    virtual D3DRESOURCETYPE GetType() = 0;

protected:
    ~IDirect3DResource9() = default;
};

struct IDirect3DBaseTexture9 : IDirect3DResource9 {
    virtual DWORD GetLevelCount() = 0;

protected:
    ~IDirect3DBaseTexture9() = default;
};

struct IDirect3DTexture9 : IDirect3DBaseTexture9 {
    virtual HRESULT GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) = 0;
    virtual HRESULT LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect,
                             DWORD Flags) = 0;
    virtual HRESULT UnlockRect(UINT Level) = 0;

protected:
    ~IDirect3DTexture9() = default;
};

struct IDirect3DCubeTexture9 : IDirect3DBaseTexture9 {
    virtual HRESULT GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) = 0;
    virtual HRESULT LockRect(D3DCUBEMAP_FACES FaceType, UINT Level, D3DLOCKED_RECT* pLockedRect,
                             const RECT* pRect, DWORD Flags) = 0;
    virtual HRESULT UnlockRect(D3DCUBEMAP_FACES FaceType, UINT Level) = 0;

protected:
    ~IDirect3DCubeTexture9() = default;
};

struct IDirect3DVertexBuffer9 : IDirect3DResource9 {
    virtual HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) = 0;
    virtual HRESULT Unlock() = 0;
    virtual HRESULT GetDesc(D3DVERTEXBUFFER_DESC* pDesc) = 0;

protected:
    ~IDirect3DVertexBuffer9() = default;
};

struct IDirect3DIndexBuffer9 : IDirect3DResource9 {
    virtual HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) = 0;
    virtual HRESULT Unlock() = 0;
    virtual HRESULT GetDesc(D3DINDEXBUFFER_DESC* pDesc) = 0;

protected:
    ~IDirect3DIndexBuffer9() = default;
};

struct IDirect3DVertexDeclaration9 : IUnknown {
    virtual HRESULT GetDevice(IDirect3DDevice9** ppDevice) = 0;
    virtual HRESULT GetDeclaration(D3DVERTEXELEMENT9* pElement, UINT* pNumElements) = 0;

protected:
    ~IDirect3DVertexDeclaration9() = default;
};

struct IDirect3DDevice9 : IUnknown {
    // Frame
    virtual HRESULT Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z,
                          DWORD Stencil) = 0;
    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    virtual HRESULT Present(const RECT* pSourceRect, const RECT* pDestRect,
                            HWND hDestWindowOverride, const void* pDirtyRegion) = 0;
    virtual HRESULT SetViewport(const D3DVIEWPORT9* pViewport) = 0;
    virtual HRESULT GetViewport(D3DVIEWPORT9* pViewport) = 0;

    // States
    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) = 0;
    virtual HRESULT GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) = 0;
    virtual HRESULT SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) = 0;
    virtual HRESULT GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) = 0;
    virtual HRESULT SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type,
                                         DWORD Value) = 0;
    virtual HRESULT GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type,
                                         DWORD* pValue) = 0;
    virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) = 0;
    virtual HRESULT GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) = 0;
    virtual HRESULT SetLight(DWORD Index, const D3DLIGHT9* pLight) = 0;
    virtual HRESULT GetLight(DWORD Index, D3DLIGHT9* pLight) = 0;
    virtual HRESULT LightEnable(DWORD Index, BOOL Enable) = 0;
    virtual HRESULT GetLightEnable(DWORD Index, BOOL* pEnable) = 0;
    virtual HRESULT SetMaterial(const D3DMATERIAL9* pMaterial) = 0;
    virtual HRESULT GetMaterial(D3DMATERIAL9* pMaterial) = 0;
    virtual HRESULT SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) = 0;
    virtual HRESULT GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) = 0;

    // Shader constant registers: float4, int4 and bool registers that
    // shaders read as c#, i# and b# (256 float4 for vertex shaders, 224 for
    // pixel shaders, 16 int4 and 16 bools each).
    virtual HRESULT SetVertexShaderConstantF(UINT StartRegister, const float* pConstantData,
                                             UINT Vector4fCount) = 0;
    virtual HRESULT GetVertexShaderConstantF(UINT StartRegister, float* pConstantData,
                                             UINT Vector4fCount) = 0;
    virtual HRESULT SetVertexShaderConstantI(UINT StartRegister, const int* pConstantData,
                                             UINT Vector4iCount) = 0;
    virtual HRESULT GetVertexShaderConstantI(UINT StartRegister, int* pConstantData,
                                             UINT Vector4iCount) = 0;
    virtual HRESULT SetVertexShaderConstantB(UINT StartRegister, const BOOL* pConstantData,
                                             UINT BoolCount) = 0;
    virtual HRESULT GetVertexShaderConstantB(UINT StartRegister, BOOL* pConstantData,
                                             UINT BoolCount) = 0;
    virtual HRESULT SetPixelShaderConstantF(UINT StartRegister, const float* pConstantData,
                                            UINT Vector4fCount) = 0;
    virtual HRESULT GetPixelShaderConstantF(UINT StartRegister, float* pConstantData,
                                            UINT Vector4fCount) = 0;
    virtual HRESULT SetPixelShaderConstantI(UINT StartRegister, const int* pConstantData,
                                            UINT Vector4iCount) = 0;
    virtual HRESULT GetPixelShaderConstantI(UINT StartRegister, int* pConstantData,
                                            UINT Vector4iCount) = 0;
    virtual HRESULT SetPixelShaderConstantB(UINT StartRegister, const BOOL* pConstantData,
                                            UINT BoolCount) = 0;
    virtual HRESULT GetPixelShaderConstantB(UINT StartRegister, BOOL* pConstantData,
                                            UINT BoolCount) = 0;

    // Resources
    virtual HRESULT CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage,
                                  D3DFORMAT Format, D3DPOOL Pool, IDirect3DTexture9** ppTexture,
                                  HANDLE* pSharedHandle) = 0;
    virtual HRESULT CreateCubeTexture(UINT EdgeLength, UINT Levels, DWORD Usage, D3DFORMAT Format,
                                      D3DPOOL Pool, IDirect3DCubeTexture9** ppCubeTexture,
                                      HANDLE* pSharedHandle) = 0;
    virtual HRESULT CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                       IDirect3DVertexBuffer9** ppVertexBuffer,
                                       HANDLE* pSharedHandle) = 0;
    virtual HRESULT CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                      IDirect3DIndexBuffer9** ppIndexBuffer,
                                      HANDLE* pSharedHandle) = 0;
    virtual HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* pVertexElements,
                                            IDirect3DVertexDeclaration9** ppDecl) = 0;

    // Input assembly and drawing
    virtual HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* pDecl) = 0;
    virtual HRESULT GetVertexDeclaration(IDirect3DVertexDeclaration9** ppDecl) = 0;
    virtual HRESULT SetFVF(DWORD FVF) = 0;
    virtual HRESULT GetFVF(DWORD* pFVF) = 0;
    virtual HRESULT SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData,
                                    UINT OffsetInBytes, UINT Stride) = 0;
    virtual HRESULT SetIndices(IDirect3DIndexBuffer9* pIndexData) = 0;
    virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex,
                                  UINT PrimitiveCount) = 0;
    virtual HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex,
                                         UINT MinVertexIndex, UINT NumVertices, UINT startIndex,
                                         UINT primCount) = 0;
    virtual HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount,
                                    const void* pVertexStreamZeroData,
                                    UINT VertexStreamZeroStride) = 0;
    virtual HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT MinVertexIndex,
                                           UINT NumVertices, UINT PrimitiveCount,
                                           const void* pIndexData, D3DFORMAT IndexDataFormat,
                                           const void* pVertexStreamZeroData,
                                           UINT VertexStreamZeroStride) = 0;

protected:
    ~IDirect3DDevice9() = default;
};

struct IDirect3D9 : IUnknown {
    virtual HRESULT CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow,
                                 DWORD BehaviorFlags,
                                 D3DPRESENT_PARAMETERS* pPresentationParameters,
                                 IDirect3DDevice9** ppReturnedDeviceInterface) = 0;

protected:
    ~IDirect3D9() = default;
};

typedef IDirect3D9* LPDIRECT3D9;
typedef IDirect3DDevice9* LPDIRECT3DDEVICE9;
typedef IDirect3DBaseTexture9* LPDIRECT3DBASETEXTURE9;
typedef IDirect3DTexture9* LPDIRECT3DTEXTURE9;
typedef IDirect3DCubeTexture9* LPDIRECT3DCUBETEXTURE9;
typedef IDirect3DVertexBuffer9* LPDIRECT3DVERTEXBUFFER9;
typedef IDirect3DIndexBuffer9* LPDIRECT3DINDEXBUFFER9;
typedef IDirect3DVertexDeclaration9* LPDIRECT3DVERTEXDECLARATION9;

IDirect3D9* WINAPI Direct3DCreate9(UINT SDKVersion);

// ---------------------------------------------------------------------------
// Linux additions: not part of Direct3D 9.
// ---------------------------------------------------------------------------

// Reads back the last presented frame (the resolved back buffer) as tightly
// packed 8-bit RGBA rows, top row first. Returns false when nothing has been
// presented yet. Used for --screenshot and by the rendering tests.
bool Platform_Read_Last_Frame(IDirect3DDevice9* device, int* width, int* height,
                              unsigned char** rgba /* malloc'ed; caller frees */);

// Writes the last presented frame as a PNG file. Returns false on failure.
bool Platform_Save_Screenshot(IDirect3DDevice9* device, const char* utf8_path);
