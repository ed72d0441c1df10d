// State and value names of effect passes and sampler_state blocks.
#include "platform/fx/front/states.h"

#include <iterator>

#include "platform/d3d9.h"

namespace qm_fx {

bool Equal_No_Case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

namespace {

#define QM_ENUMS(table) table, std::size(table)

const Enum_Value kZ_Buffer[] = {{"USEW", D3DZB_USEW}};
const Enum_Value k_fill[] = {
    {"POINT", D3DFILL_POINT}, {"WIREFRAME", D3DFILL_WIREFRAME}, {"SOLID", D3DFILL_SOLID}};
const Enum_Value k_shade[] = {
    {"FLAT", D3DSHADE_FLAT}, {"GOURAUD", D3DSHADE_GOURAUD}, {"PHONG", D3DSHADE_PHONG}};
const Enum_Value k_blend[] = {{"ZERO", D3DBLEND_ZERO},
                              {"ONE", D3DBLEND_ONE},
                              {"SRCCOLOR", D3DBLEND_SRCCOLOR},
                              {"INVSRCCOLOR", D3DBLEND_INVSRCCOLOR},
                              {"SRCALPHA", D3DBLEND_SRCALPHA},
                              {"INVSRCALPHA", D3DBLEND_INVSRCALPHA},
                              {"DESTALPHA", D3DBLEND_DESTALPHA},
                              {"INVDESTALPHA", D3DBLEND_INVDESTALPHA},
                              {"DESTCOLOR", D3DBLEND_DESTCOLOR},
                              {"INVDESTCOLOR", D3DBLEND_INVDESTCOLOR},
                              {"SRCALPHASAT", D3DBLEND_SRCALPHASAT},
                              {"BOTHSRCALPHA", D3DBLEND_BOTHSRCALPHA},
                              {"BOTHINVSRCALPHA", D3DBLEND_BOTHINVSRCALPHA},
                              {"BLENDFACTOR", D3DBLEND_BLENDFACTOR},
                              {"INVBLENDFACTOR", D3DBLEND_INVBLENDFACTOR}};
const Enum_Value k_cull[] = {{"NONE", D3DCULL_NONE}, {"CW", D3DCULL_CW}, {"CCW", D3DCULL_CCW}};
const Enum_Value k_compare[] = {{"NEVER", D3DCMP_NEVER},
                                {"LESS", D3DCMP_LESS},
                                {"EQUAL", D3DCMP_EQUAL},
                                {"LESSEQUAL", D3DCMP_LESSEQUAL},
                                {"GREATER", D3DCMP_GREATER},
                                {"NOTEQUAL", D3DCMP_NOTEQUAL},
                                {"GREATEREQUAL", D3DCMP_GREATEREQUAL},
                                {"ALWAYS", D3DCMP_ALWAYS}};
// D3DFOGMODE
const Enum_Value k_fog[] = {{"NONE", 0}, {"EXP", 1}, {"EXP2", 2}, {"LINEAR", 3}};
const Enum_Value kStencil_Op[] = {
    {"KEEP", D3DSTENCILOP_KEEP},       {"ZERO", D3DSTENCILOP_ZERO},
    {"REPLACE", D3DSTENCILOP_REPLACE}, {"INCRSAT", D3DSTENCILOP_INCRSAT},
    {"DECRSAT", D3DSTENCILOP_DECRSAT}, {"INVERT", D3DSTENCILOP_INVERT},
    {"INCR", D3DSTENCILOP_INCR},       {"DECR", D3DSTENCILOP_DECR}};
const Enum_Value kMaterial_Source[] = {
    {"MATERIAL", D3DMCS_MATERIAL}, {"COLOR1", D3DMCS_COLOR1}, {"COLOR2", D3DMCS_COLOR2}};
// D3DVERTEXBLENDFLAGS
const Enum_Value kVertex_Blend[] = {{"DISABLE", 0}, {"TWEENING", 255}};
// D3DCOLORWRITEENABLE_*
const Enum_Value kColor_Write[] = {{"RED", 1}, {"GREEN", 2}, {"BLUE", 4}, {"ALPHA", 8}};
const Enum_Value kBlend_Op[] = {{"ADD", D3DBLENDOP_ADD},
                                {"SUBTRACT", D3DBLENDOP_SUBTRACT},
                                {"REVSUBTRACT", D3DBLENDOP_REVSUBTRACT},
                                {"MIN", D3DBLENDOP_MIN},
                                {"MAX", D3DBLENDOP_MAX}};
// D3DWRAP_*
const Enum_Value k_wrap[] = {{"U", 1}, {"V", 2}, {"W", 4}};
const Enum_Value k_address[] = {{"WRAP", D3DTADDRESS_WRAP},
                                {"MIRROR", D3DTADDRESS_MIRROR},
                                {"CLAMP", D3DTADDRESS_CLAMP},
                                {"BORDER", D3DTADDRESS_BORDER},
                                {"MIRRORONCE", D3DTADDRESS_MIRRORONCE}};
const Enum_Value k_filter[] = {{"NONE", D3DTEXF_NONE},
                               {"POINT", D3DTEXF_POINT},
                               {"LINEAR", D3DTEXF_LINEAR},
                               {"ANISOTROPIC", D3DTEXF_ANISOTROPIC},
                               {"PYRAMIDALQUAD", D3DTEXF_PYRAMIDALQUAD},
                               {"GAUSSIANQUAD", D3DTEXF_GAUSSIANQUAD}};
// D3DTEXTUREOP (the values past ADD are Direct3D 9's own)
const Enum_Value kTexture_Op[] = {{"DISABLE", D3DTOP_DISABLE},
                                  {"SELECTARG1", D3DTOP_SELECTARG1},
                                  {"SELECTARG2", D3DTOP_SELECTARG2},
                                  {"MODULATE", D3DTOP_MODULATE},
                                  {"MODULATE2X", D3DTOP_MODULATE2X},
                                  {"MODULATE4X", D3DTOP_MODULATE4X},
                                  {"ADD", D3DTOP_ADD},
                                  {"ADDSIGNED", 8},
                                  {"ADDSIGNED2X", 9},
                                  {"SUBTRACT", 10},
                                  {"ADDSMOOTH", 11},
                                  {"BLENDDIFFUSEALPHA", 12},
                                  {"BLENDTEXTUREALPHA", 13},
                                  {"BLENDFACTORALPHA", 14},
                                  {"BLENDTEXTUREALPHAPM", 15},
                                  {"BLENDCURRENTALPHA", 16},
                                  {"PREMODULATE", 17},
                                  {"MODULATEALPHA_ADDCOLOR", 18},
                                  {"MODULATECOLOR_ADDALPHA", 19},
                                  {"MODULATEINVALPHA_ADDCOLOR", 20},
                                  {"MODULATEINVCOLOR_ADDALPHA", 21},
                                  {"BUMPENVMAP", 22},
                                  {"BUMPENVMAPLUMINANCE", 23},
                                  {"DOTPRODUCT3", 24},
                                  {"MULTIPLYADD", 25},
                                  {"LERP", 26}};
// D3DTA_*
const Enum_Value kTexture_Arg[] = {{"DIFFUSE", D3DTA_DIFFUSE},
                                   {"CURRENT", D3DTA_CURRENT},
                                   {"TEXTURE", D3DTA_TEXTURE},
                                   {"TFACTOR", D3DTA_TFACTOR},
                                   {"SPECULAR", D3DTA_SPECULAR},
                                   {"TEMP", 5},
                                   {"CONSTANT", 6},
                                   {"COMPLEMENT", 0x10},
                                   {"ALPHAREPLICATE", 0x20}};
// D3DTEXTURETRANSFORMFLAGS
const Enum_Value kTexture_Transform[] = {{"DISABLE", 0}, {"COUNT1", 1}, {"COUNT2", 2},
                                         {"COUNT3", 3},  {"COUNT4", 4}, {"PROJECTED", 256}};
const Enum_Value kLight_Type[] = {
    {"POINT", D3DLIGHT_POINT}, {"SPOT", D3DLIGHT_SPOT}, {"DIRECTIONAL", D3DLIGHT_DIRECTIONAL}};

constexpr std::uint32_t k_world = 256;  // D3DTS_WORLDMATRIX(0)

const State_Def kPass_States[] = {
    // Render states
    {"ZENABLE", State_Kind::Render, D3DRS_ZENABLE, Value_Kind::Dword, QM_ENUMS(kZ_Buffer), false},
    {"FILLMODE", State_Kind::Render, D3DRS_FILLMODE, Value_Kind::Dword, QM_ENUMS(k_fill), false},
    {"SHADEMODE", State_Kind::Render, D3DRS_SHADEMODE, Value_Kind::Dword, QM_ENUMS(k_shade), false},
    {"ZWRITEENABLE", State_Kind::Render, D3DRS_ZWRITEENABLE, Value_Kind::Dword, nullptr, 0, false},
    {"ALPHATESTENABLE", State_Kind::Render, D3DRS_ALPHATESTENABLE, Value_Kind::Dword, nullptr, 0,
     false},
    {"LASTPIXEL", State_Kind::Render, D3DRS_LASTPIXEL, Value_Kind::Dword, nullptr, 0, false},
    {"SRCBLEND", State_Kind::Render, D3DRS_SRCBLEND, Value_Kind::Dword, QM_ENUMS(k_blend), false},
    {"DESTBLEND", State_Kind::Render, D3DRS_DESTBLEND, Value_Kind::Dword, QM_ENUMS(k_blend), false},
    {"CULLMODE", State_Kind::Render, D3DRS_CULLMODE, Value_Kind::Dword, QM_ENUMS(k_cull), false},
    {"ZFUNC", State_Kind::Render, D3DRS_ZFUNC, Value_Kind::Dword, QM_ENUMS(k_compare), false},
    {"ALPHAREF", State_Kind::Render, D3DRS_ALPHAREF, Value_Kind::Dword, nullptr, 0, false},
    {"ALPHAFUNC", State_Kind::Render, D3DRS_ALPHAFUNC, Value_Kind::Dword, QM_ENUMS(k_compare),
     false},
    {"DITHERENABLE", State_Kind::Render, D3DRS_DITHERENABLE, Value_Kind::Dword, nullptr, 0, false},
    {"ALPHABLENDENABLE", State_Kind::Render, D3DRS_ALPHABLENDENABLE, Value_Kind::Dword, nullptr, 0,
     false},
    {"FOGENABLE", State_Kind::Render, D3DRS_FOGENABLE, Value_Kind::Dword, nullptr, 0, false},
    {"SPECULARENABLE", State_Kind::Render, D3DRS_SPECULARENABLE, Value_Kind::Dword, nullptr, 0,
     false},
    {"FOGCOLOR", State_Kind::Render, D3DRS_FOGCOLOR, Value_Kind::Color, nullptr, 0, false},
    {"FOGTABLEMODE", State_Kind::Render, D3DRS_FOGTABLEMODE, Value_Kind::Dword, QM_ENUMS(k_fog),
     false},
    {"FOGSTART", State_Kind::Render, D3DRS_FOGSTART, Value_Kind::Float, nullptr, 0, false},
    {"FOGEND", State_Kind::Render, D3DRS_FOGEND, Value_Kind::Float, nullptr, 0, false},
    {"FOGDENSITY", State_Kind::Render, D3DRS_FOGDENSITY, Value_Kind::Float, nullptr, 0, false},
    {"RANGEFOGENABLE", State_Kind::Render, D3DRS_RANGEFOGENABLE, Value_Kind::Dword, nullptr, 0,
     false},
    {"STENCILENABLE", State_Kind::Render, D3DRS_STENCILENABLE, Value_Kind::Dword, nullptr, 0,
     false},
    {"STENCILFAIL", State_Kind::Render, D3DRS_STENCILFAIL, Value_Kind::Dword, QM_ENUMS(kStencil_Op),
     false},
    {"STENCILZFAIL", State_Kind::Render, D3DRS_STENCILZFAIL, Value_Kind::Dword,
     QM_ENUMS(kStencil_Op), false},
    {"STENCILPASS", State_Kind::Render, D3DRS_STENCILPASS, Value_Kind::Dword, QM_ENUMS(kStencil_Op),
     false},
    {"STENCILFUNC", State_Kind::Render, D3DRS_STENCILFUNC, Value_Kind::Dword, QM_ENUMS(k_compare),
     false},
    {"STENCILREF", State_Kind::Render, D3DRS_STENCILREF, Value_Kind::Dword, nullptr, 0, false},
    {"STENCILMASK", State_Kind::Render, D3DRS_STENCILMASK, Value_Kind::Dword, nullptr, 0, false},
    {"STENCILWRITEMASK", State_Kind::Render, D3DRS_STENCILWRITEMASK, Value_Kind::Dword, nullptr, 0,
     false},
    {"TEXTUREFACTOR", State_Kind::Render, D3DRS_TEXTUREFACTOR, Value_Kind::Color, nullptr, 0,
     false},
    {"WRAP0", State_Kind::Render, D3DRS_WRAP0, Value_Kind::Dword, QM_ENUMS(k_wrap), false},
    {"CLIPPING", State_Kind::Render, D3DRS_CLIPPING, Value_Kind::Dword, nullptr, 0, false},
    {"LIGHTING", State_Kind::Render, D3DRS_LIGHTING, Value_Kind::Dword, nullptr, 0, false},
    {"AMBIENT", State_Kind::Render, D3DRS_AMBIENT, Value_Kind::Color, nullptr, 0, false},
    {"FOGVERTEXMODE", State_Kind::Render, D3DRS_FOGVERTEXMODE, Value_Kind::Dword, QM_ENUMS(k_fog),
     false},
    {"COLORVERTEX", State_Kind::Render, D3DRS_COLORVERTEX, Value_Kind::Dword, nullptr, 0, false},
    {"LOCALVIEWER", State_Kind::Render, D3DRS_LOCALVIEWER, Value_Kind::Dword, nullptr, 0, false},
    {"NORMALIZENORMALS", State_Kind::Render, D3DRS_NORMALIZENORMALS, Value_Kind::Dword, nullptr, 0,
     false},
    {"DIFFUSEMATERIALSOURCE", State_Kind::Render, D3DRS_DIFFUSEMATERIALSOURCE, Value_Kind::Dword,
     QM_ENUMS(kMaterial_Source), false},
    {"SPECULARMATERIALSOURCE", State_Kind::Render, D3DRS_SPECULARMATERIALSOURCE, Value_Kind::Dword,
     QM_ENUMS(kMaterial_Source), false},
    {"AMBIENTMATERIALSOURCE", State_Kind::Render, D3DRS_AMBIENTMATERIALSOURCE, Value_Kind::Dword,
     QM_ENUMS(kMaterial_Source), false},
    {"EMISSIVEMATERIALSOURCE", State_Kind::Render, D3DRS_EMISSIVEMATERIALSOURCE, Value_Kind::Dword,
     QM_ENUMS(kMaterial_Source), false},
    {"VERTEXBLEND", State_Kind::Render, D3DRS_VERTEXBLEND, Value_Kind::Dword,
     QM_ENUMS(kVertex_Blend), false},
    {"CLIPPLANEENABLE", State_Kind::Render, D3DRS_CLIPPLANEENABLE, Value_Kind::Dword, nullptr, 0,
     false},
    {"POINTSIZE", State_Kind::Render, D3DRS_POINTSIZE, Value_Kind::Float, nullptr, 0, false},
    {"POINTSIZE_MIN", State_Kind::Render, D3DRS_POINTSIZE_MIN, Value_Kind::Float, nullptr, 0,
     false},
    {"POINTSPRITEENABLE", State_Kind::Render, D3DRS_POINTSPRITEENABLE, Value_Kind::Dword, nullptr,
     0, false},
    {"POINTSCALEENABLE", State_Kind::Render, D3DRS_POINTSCALEENABLE, Value_Kind::Dword, nullptr, 0,
     false},
    {"MULTISAMPLEANTIALIAS", State_Kind::Render, D3DRS_MULTISAMPLEANTIALIAS, Value_Kind::Dword,
     nullptr, 0, false},
    {"MULTISAMPLEMASK", State_Kind::Render, D3DRS_MULTISAMPLEMASK, Value_Kind::Dword, nullptr, 0,
     false},
    {"POINTSIZE_MAX", State_Kind::Render, D3DRS_POINTSIZE_MAX, Value_Kind::Float, nullptr, 0,
     false},
    {"COLORWRITEENABLE", State_Kind::Render, D3DRS_COLORWRITEENABLE, Value_Kind::Dword,
     QM_ENUMS(kColor_Write), false},
    {"BLENDOP", State_Kind::Render, D3DRS_BLENDOP, Value_Kind::Dword, QM_ENUMS(kBlend_Op), false},
    {"SCISSORTESTENABLE", State_Kind::Render, D3DRS_SCISSORTESTENABLE, Value_Kind::Dword, nullptr,
     0, false},
    {"SLOPESCALEDEPTHBIAS", State_Kind::Render, D3DRS_SLOPESCALEDEPTHBIAS, Value_Kind::Float,
     nullptr, 0, false},
    {"ANTIALIASEDLINEENABLE", State_Kind::Render, D3DRS_ANTIALIASEDLINEENABLE, Value_Kind::Dword,
     nullptr, 0, false},
    {"TWOSIDEDSTENCILMODE", State_Kind::Render, D3DRS_TWOSIDEDSTENCILMODE, Value_Kind::Dword,
     nullptr, 0, false},
    {"COLORWRITEENABLE1", State_Kind::Render, D3DRS_COLORWRITEENABLE1, Value_Kind::Dword,
     QM_ENUMS(kColor_Write), false},
    {"SRGBWRITEENABLE", State_Kind::Render, D3DRS_SRGBWRITEENABLE, Value_Kind::Dword, nullptr, 0,
     false},
    {"DEPTHBIAS", State_Kind::Render, D3DRS_DEPTHBIAS, Value_Kind::Float, nullptr, 0, false},
    {"SEPARATEALPHABLENDENABLE", State_Kind::Render, D3DRS_SEPARATEALPHABLENDENABLE,
     Value_Kind::Dword, nullptr, 0, false},
    {"SRCBLENDALPHA", State_Kind::Render, D3DRS_SRCBLENDALPHA, Value_Kind::Dword, QM_ENUMS(k_blend),
     false},
    {"DESTBLENDALPHA", State_Kind::Render, D3DRS_DESTBLENDALPHA, Value_Kind::Dword,
     QM_ENUMS(k_blend), false},
    {"BLENDOPALPHA", State_Kind::Render, D3DRS_BLENDOPALPHA, Value_Kind::Dword, QM_ENUMS(kBlend_Op),
     false},

    // Direct3D 9 render states this device does not model.
    {"POINTSCALE_A", State_Kind::Ignored, 0, Value_Kind::Float, nullptr, 0, false},
    {"POINTSCALE_B", State_Kind::Ignored, 0, Value_Kind::Float, nullptr, 0, false},
    {"POINTSCALE_C", State_Kind::Ignored, 0, Value_Kind::Float, nullptr, 0, false},
    {"INDEXEDVERTEXBLENDENABLE", State_Kind::Ignored, 0, Value_Kind::Dword, nullptr, 0, false},
    {"TWEENFACTOR", State_Kind::Ignored, 0, Value_Kind::Float, nullptr, 0, false},
    {"CCW_STENCILFAIL", State_Kind::Ignored, 0, Value_Kind::Dword, QM_ENUMS(kStencil_Op), false},
    {"CCW_STENCILZFAIL", State_Kind::Ignored, 0, Value_Kind::Dword, QM_ENUMS(kStencil_Op), false},
    {"CCW_STENCILPASS", State_Kind::Ignored, 0, Value_Kind::Dword, QM_ENUMS(kStencil_Op), false},
    {"CCW_STENCILFUNC", State_Kind::Ignored, 0, Value_Kind::Dword, QM_ENUMS(k_compare), false},
    {"COLORWRITEENABLE2", State_Kind::Ignored, 0, Value_Kind::Dword, QM_ENUMS(kColor_Write), false},
    {"COLORWRITEENABLE3", State_Kind::Ignored, 0, Value_Kind::Dword, QM_ENUMS(kColor_Write), false},
    {"BLENDFACTOR", State_Kind::Ignored, 0, Value_Kind::Color, nullptr, 0, false},
    {"WRAP1", State_Kind::Ignored, 0, Value_Kind::Dword, QM_ENUMS(k_wrap), false},
    {"WRAP2", State_Kind::Ignored, 0, Value_Kind::Dword, QM_ENUMS(k_wrap), false},
    {"WRAP3", State_Kind::Ignored, 0, Value_Kind::Dword, QM_ENUMS(k_wrap), false},
    {"WRAP4", State_Kind::Ignored, 0, Value_Kind::Dword, QM_ENUMS(k_wrap), false},
    {"WRAP5", State_Kind::Ignored, 0, Value_Kind::Dword, QM_ENUMS(k_wrap), false},
    {"WRAP6", State_Kind::Ignored, 0, Value_Kind::Dword, QM_ENUMS(k_wrap), false},
    {"WRAP7", State_Kind::Ignored, 0, Value_Kind::Dword, QM_ENUMS(k_wrap), false},
    {"FVF", State_Kind::Ignored, 0, Value_Kind::Dword, nullptr, 0, false},

    // Texture stage states
    {"COLOROP", State_Kind::Texture_Stage, D3DTSS_COLOROP, Value_Kind::Dword, QM_ENUMS(kTexture_Op),
     true},
    {"COLORARG1", State_Kind::Texture_Stage, D3DTSS_COLORARG1, Value_Kind::Dword,
     QM_ENUMS(kTexture_Arg), true},
    {"COLORARG2", State_Kind::Texture_Stage, D3DTSS_COLORARG2, Value_Kind::Dword,
     QM_ENUMS(kTexture_Arg), true},
    {"ALPHAOP", State_Kind::Texture_Stage, D3DTSS_ALPHAOP, Value_Kind::Dword, QM_ENUMS(kTexture_Op),
     true},
    {"ALPHAARG1", State_Kind::Texture_Stage, D3DTSS_ALPHAARG1, Value_Kind::Dword,
     QM_ENUMS(kTexture_Arg), true},
    {"ALPHAARG2", State_Kind::Texture_Stage, D3DTSS_ALPHAARG2, Value_Kind::Dword,
     QM_ENUMS(kTexture_Arg), true},
    {"TEXCOORDINDEX", State_Kind::Texture_Stage, D3DTSS_TEXCOORDINDEX, Value_Kind::Dword, nullptr,
     0, true},
    {"TEXTURETRANSFORMFLAGS", State_Kind::Texture_Stage, D3DTSS_TEXTURETRANSFORMFLAGS,
     Value_Kind::Dword, QM_ENUMS(kTexture_Transform), true},
    {"COLORARG0", State_Kind::Ignored, 0, Value_Kind::Dword, QM_ENUMS(kTexture_Arg), true},
    {"ALPHAARG0", State_Kind::Ignored, 0, Value_Kind::Dword, QM_ENUMS(kTexture_Arg), true},
    {"RESULTARG", State_Kind::Ignored, 0, Value_Kind::Dword, QM_ENUMS(kTexture_Arg), true},
    {"BUMPENVMAT00", State_Kind::Ignored, 0, Value_Kind::Float, nullptr, 0, true},
    {"BUMPENVMAT01", State_Kind::Ignored, 0, Value_Kind::Float, nullptr, 0, true},
    {"BUMPENVMAT10", State_Kind::Ignored, 0, Value_Kind::Float, nullptr, 0, true},
    {"BUMPENVMAT11", State_Kind::Ignored, 0, Value_Kind::Float, nullptr, 0, true},
    {"BUMPENVLSCALE", State_Kind::Ignored, 0, Value_Kind::Float, nullptr, 0, true},
    {"BUMPENVLOFFSET", State_Kind::Ignored, 0, Value_Kind::Float, nullptr, 0, true},

    // Sampler states on a stage
    {"ADDRESSU", State_Kind::Sampler, D3DSAMP_ADDRESSU, Value_Kind::Dword, QM_ENUMS(k_address),
     true},
    {"ADDRESSV", State_Kind::Sampler, D3DSAMP_ADDRESSV, Value_Kind::Dword, QM_ENUMS(k_address),
     true},
    {"ADDRESSW", State_Kind::Sampler, D3DSAMP_ADDRESSW, Value_Kind::Dword, QM_ENUMS(k_address),
     true},
    {"BORDERCOLOR", State_Kind::Sampler, D3DSAMP_BORDERCOLOR, Value_Kind::Color, nullptr, 0, true},
    {"MAGFILTER", State_Kind::Sampler, D3DSAMP_MAGFILTER, Value_Kind::Dword, QM_ENUMS(k_filter),
     true},
    {"MINFILTER", State_Kind::Sampler, D3DSAMP_MINFILTER, Value_Kind::Dword, QM_ENUMS(k_filter),
     true},
    {"MIPFILTER", State_Kind::Sampler, D3DSAMP_MIPFILTER, Value_Kind::Dword, QM_ENUMS(k_filter),
     true},
    {"MIPMAPLODBIAS", State_Kind::Sampler, D3DSAMP_MIPMAPLODBIAS, Value_Kind::Float, nullptr, 0,
     true},
    {"MAXMIPLEVEL", State_Kind::Sampler, D3DSAMP_MAXMIPLEVEL, Value_Kind::Dword, nullptr, 0, true},
    {"MAXANISOTROPY", State_Kind::Sampler, D3DSAMP_MAXANISOTROPY, Value_Kind::Dword, nullptr, 0,
     true},
    {"SRGBTEXTURE", State_Kind::Sampler, D3DSAMP_SRGBTEXTURE, Value_Kind::Dword, nullptr, 0, true},

    // Objects
    {"TEXTURE", State_Kind::Texture, 0, Value_Kind::Object, nullptr, 0, true},
    {"SAMPLER", State_Kind::Sampler_Object, 0, Value_Kind::Object, nullptr, 0, true},
    {"VERTEXSHADER", State_Kind::Vertex_Shader, 0, Value_Kind::Object, nullptr, 0, false},
    {"PIXELSHADER", State_Kind::Pixel_Shader, 0, Value_Kind::Object, nullptr, 0, false},

    // Transforms, lights and the material of the fixed-function pipeline
    {"WORLDTRANSFORM", State_Kind::Transform, k_world, Value_Kind::Matrix, nullptr, 0, true},
    {"VIEWTRANSFORM", State_Kind::Transform, D3DTS_VIEW, Value_Kind::Matrix, nullptr, 0, false},
    {"PROJECTIONTRANSFORM", State_Kind::Transform, D3DTS_PROJECTION, Value_Kind::Matrix, nullptr, 0,
     false},
    {"TEXTURETRANSFORM", State_Kind::Transform, D3DTS_TEXTURE0, Value_Kind::Matrix, nullptr, 0,
     true},
    {"LIGHTENABLE", State_Kind::Light_Enable, 0, Value_Kind::Dword, nullptr, 0, true},
    {"LIGHTTYPE", State_Kind::Light, std::uint32_t(Light_Field::Type), Value_Kind::Dword,
     QM_ENUMS(kLight_Type), true},
    {"LIGHTDIFFUSE", State_Kind::Light, std::uint32_t(Light_Field::Diffuse), Value_Kind::Vector,
     nullptr, 0, true},
    {"LIGHTSPECULAR", State_Kind::Light, std::uint32_t(Light_Field::Specular), Value_Kind::Vector,
     nullptr, 0, true},
    {"LIGHTAMBIENT", State_Kind::Light, std::uint32_t(Light_Field::Ambient), Value_Kind::Vector,
     nullptr, 0, true},
    {"LIGHTPOSITION", State_Kind::Light, std::uint32_t(Light_Field::Position), Value_Kind::Vector,
     nullptr, 0, true},
    {"LIGHTDIRECTION", State_Kind::Light, std::uint32_t(Light_Field::Direction), Value_Kind::Vector,
     nullptr, 0, true},
    {"LIGHTRANGE", State_Kind::Light, std::uint32_t(Light_Field::Range), Value_Kind::Float, nullptr,
     0, true},
    {"LIGHTFALLOFF", State_Kind::Light, std::uint32_t(Light_Field::Falloff), Value_Kind::Float,
     nullptr, 0, true},
    {"LIGHTATTENUATION0", State_Kind::Light, std::uint32_t(Light_Field::Attenuation0),
     Value_Kind::Float, nullptr, 0, true},
    {"LIGHTATTENUATION1", State_Kind::Light, std::uint32_t(Light_Field::Attenuation1),
     Value_Kind::Float, nullptr, 0, true},
    {"LIGHTATTENUATION2", State_Kind::Light, std::uint32_t(Light_Field::Attenuation2),
     Value_Kind::Float, nullptr, 0, true},
    {"LIGHTTHETA", State_Kind::Light, std::uint32_t(Light_Field::Theta), Value_Kind::Float, nullptr,
     0, true},
    {"LIGHTPHI", State_Kind::Light, std::uint32_t(Light_Field::Phi), Value_Kind::Float, nullptr, 0,
     true},
    {"MATERIALDIFFUSE", State_Kind::Material, std::uint32_t(Material_Field::Diffuse),
     Value_Kind::Vector, nullptr, 0, false},
    {"MATERIALAMBIENT", State_Kind::Material, std::uint32_t(Material_Field::Ambient),
     Value_Kind::Vector, nullptr, 0, false},
    {"MATERIALSPECULAR", State_Kind::Material, std::uint32_t(Material_Field::Specular),
     Value_Kind::Vector, nullptr, 0, false},
    {"MATERIALEMISSIVE", State_Kind::Material, std::uint32_t(Material_Field::Emissive),
     Value_Kind::Vector, nullptr, 0, false},
    {"MATERIALPOWER", State_Kind::Material, std::uint32_t(Material_Field::Power), Value_Kind::Float,
     nullptr, 0, false},
};

}  // namespace

const State_Def* Find_State(std::string_view name, bool sampler_block) {
    for (const State_Def& def : kPass_States) {
        if (sampler_block && def.kind != State_Kind::Sampler && def.kind != State_Kind::Texture)
            continue;
        if (Equal_No_Case(name, def.name)) return &def;
    }
    return nullptr;
}

bool Find_Enum_Value(const State_Def& def, std::string_view name, std::uint32_t* value) {
    for (std::size_t i = 0; i < def.enum_count; ++i)
        if (Equal_No_Case(name, def.enums[i].name)) {
            *value = def.enums[i].value;
            return true;
        }
    if (Equal_No_Case(name, "TRUE")) {
        *value = 1;
        return true;
    }
    if (Equal_No_Case(name, "FALSE")) {
        *value = 0;
        return true;
    }
    return false;
}

const char* Enum_Value_Name(const State_Def& def, std::uint32_t value) {
    for (std::size_t i = 0; i < def.enum_count; ++i)
        if (def.enums[i].value == value) return def.enums[i].name;
    return nullptr;
}

}  // namespace qm_fx
