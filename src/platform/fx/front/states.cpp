// State and value names of effect passes and sampler_state blocks.
#include "platform/fx/front/states.h"

#include <iterator>
#include <span>

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

const Enum_Value k_z_buffer[] = {{"USEW", D3DZB_USEW}};
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
const Enum_Value k_stencil_op[] = {
    {"KEEP", D3DSTENCILOP_KEEP},       {"ZERO", D3DSTENCILOP_ZERO},
    {"REPLACE", D3DSTENCILOP_REPLACE}, {"INCRSAT", D3DSTENCILOP_INCRSAT},
    {"DECRSAT", D3DSTENCILOP_DECRSAT}, {"INVERT", D3DSTENCILOP_INVERT},
    {"INCR", D3DSTENCILOP_INCR},       {"DECR", D3DSTENCILOP_DECR}};
const Enum_Value k_material_source[] = {
    {"MATERIAL", D3DMCS_MATERIAL}, {"COLOR1", D3DMCS_COLOR1}, {"COLOR2", D3DMCS_COLOR2}};
// D3DVERTEXBLENDFLAGS
const Enum_Value k_vertex_blend[] = {{"DISABLE", 0}, {"TWEENING", 255}};
// D3DCOLORWRITEENABLE_*
const Enum_Value k_color_write[] = {{"RED", 1}, {"GREEN", 2}, {"BLUE", 4}, {"ALPHA", 8}};
const Enum_Value k_blend_op[] = {{"ADD", D3DBLENDOP_ADD},
                                 {"SUBTRACT", D3DBLENDOP_SUBTRACT},
                                 {"REVSUBTRACT", D3DBLENDOP_REVSUBTRACT},
                                 {"MIN", D3DBLENDOP_MIN},
                                 {"MAX", D3DBLENDOP_MAX}};
// D3DWRAP_*
const Enum_Value k_wrap[] = {{"U", 1}, {"V", 2}, {"W", 4}};
// D3DPATCHEDGESTYLE, D3DDEBUGMONITORTOKENS, D3DDEGREETYPE
const Enum_Value k_patch_edge[] = {{"DISCRETE", 0}, {"CONTINUOUS", 1}};
const Enum_Value k_debug_monitor[] = {{"ENABLE", 0}, {"DISABLE", 1}};
const Enum_Value k_degree[] = {{"LINEAR", 1}, {"QUADRATIC", 2}, {"CUBIC", 3}, {"QUINTIC", 5}};

// The value names of the render-state table's last column.
#define QM_VALUES(set) constexpr std::span<const Enum_Value> k_values_##set{k_##set};
QM_VALUES(z_buffer)
QM_VALUES(fill)
QM_VALUES(shade)
QM_VALUES(blend)
QM_VALUES(cull)
QM_VALUES(compare)
QM_VALUES(fog)
QM_VALUES(stencil_op)
QM_VALUES(material_source)
QM_VALUES(vertex_blend)
QM_VALUES(color_write)
QM_VALUES(blend_op)
QM_VALUES(wrap)
QM_VALUES(patch_edge)
QM_VALUES(debug_monitor)
QM_VALUES(degree)
#undef QM_VALUES
constexpr std::span<const Enum_Value> k_values_none{};

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
const Enum_Value k_texture_op[] = {{"DISABLE", D3DTOP_DISABLE},
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
const Enum_Value k_texture_arg[] = {{"DIFFUSE", D3DTA_DIFFUSE},
                                    {"CURRENT", D3DTA_CURRENT},
                                    {"TEXTURE", D3DTA_TEXTURE},
                                    {"TFACTOR", D3DTA_TFACTOR},
                                    {"SPECULAR", D3DTA_SPECULAR},
                                    {"TEMP", 5},
                                    {"CONSTANT", 6},
                                    {"COMPLEMENT", 0x10},
                                    {"ALPHAREPLICATE", 0x20}};
// D3DTSS_TCI_* (or'ed with the coordinate set, which the value may add)
const Enum_Value k_texcoord_index[] = {{"PASSTHRU", 0},
                                       {"CAMERASPACENORMAL", 0x10000},
                                       {"CAMERASPACEPOSITION", 0x20000},
                                       {"CAMERASPACEREFLECTIONVECTOR", 0x30000},
                                       {"SPHEREMAP", 0x40000}};
// D3DTEXTURETRANSFORMFLAGS
const Enum_Value k_texture_transform[] = {{"DISABLE", 0}, {"COUNT1", 1}, {"COUNT2", 2},
                                          {"COUNT3", 3},  {"COUNT4", 4}, {"PROJECTED", 256}};
const Enum_Value k_light_type[] = {
    {"POINT", D3DLIGHT_POINT}, {"SPOT", D3DLIGHT_SPOT}, {"DIRECTIONAL", D3DLIGHT_DIRECTIONAL}};

constexpr std::uint32_t k_world = 256;  // D3DTS_WORLDMATRIX(0)

const State_Def k_pass_states[] = {
// Render states, from the device's table. One the device keeps but does
// not draw with is still set (GetRenderState sees it), and reported.
#define QM_RENDER_STATE(name, number, kind, group, value, names) \
    {#name,                                                      \
     State_Kind::Render,                                         \
     number,                                                     \
     Value_Kind::kind,                                           \
     k_values_##names.data(),                                    \
     k_values_##names.size(),                                    \
     false,                                                      \
     std::string_view(#group) != "Stored"},
    QM_D3D9_RENDER_STATES(QM_RENDER_STATE)
#undef QM_RENDER_STATE
        {"FVF", State_Kind::Ignored, 0, Value_Kind::Dword, nullptr, 0, false},
    {"NPATCHMODE", State_Kind::Ignored, 0, Value_Kind::Float, nullptr, 0, false},

    // Texture stage states
    {"COLOROP", State_Kind::Texture_Stage, D3DTSS_COLOROP, Value_Kind::Dword,
     QM_ENUMS(k_texture_op), true},
    {"COLORARG1", State_Kind::Texture_Stage, D3DTSS_COLORARG1, Value_Kind::Dword,
     QM_ENUMS(k_texture_arg), true},
    {"COLORARG2", State_Kind::Texture_Stage, D3DTSS_COLORARG2, Value_Kind::Dword,
     QM_ENUMS(k_texture_arg), true},
    {"ALPHAOP", State_Kind::Texture_Stage, D3DTSS_ALPHAOP, Value_Kind::Dword,
     QM_ENUMS(k_texture_op), true},
    {"ALPHAARG1", State_Kind::Texture_Stage, D3DTSS_ALPHAARG1, Value_Kind::Dword,
     QM_ENUMS(k_texture_arg), true},
    {"ALPHAARG2", State_Kind::Texture_Stage, D3DTSS_ALPHAARG2, Value_Kind::Dword,
     QM_ENUMS(k_texture_arg), true},
    {"TEXCOORDINDEX", State_Kind::Texture_Stage, D3DTSS_TEXCOORDINDEX, Value_Kind::Dword,
     QM_ENUMS(k_texcoord_index), true},
    {"TEXTURETRANSFORMFLAGS", State_Kind::Texture_Stage, D3DTSS_TEXTURETRANSFORMFLAGS,
     Value_Kind::Dword, QM_ENUMS(k_texture_transform), true},
    {"COLORARG0", State_Kind::Ignored, 0, Value_Kind::Dword, QM_ENUMS(k_texture_arg), true},
    {"ALPHAARG0", State_Kind::Ignored, 0, Value_Kind::Dword, QM_ENUMS(k_texture_arg), true},
    {"RESULTARG", State_Kind::Ignored, 0, Value_Kind::Dword, QM_ENUMS(k_texture_arg), true},
    {"BUMPENVMAT00", State_Kind::Ignored, 0, Value_Kind::Float, nullptr, 0, true},
    {"BUMPENVMAT01", State_Kind::Ignored, 0, Value_Kind::Float, nullptr, 0, true},
    {"BUMPENVMAT10", State_Kind::Ignored, 0, Value_Kind::Float, nullptr, 0, true},
    {"BUMPENVMAT11", State_Kind::Ignored, 0, Value_Kind::Float, nullptr, 0, true},
    {"BUMPENVLSCALE", State_Kind::Ignored, 0, Value_Kind::Float, nullptr, 0, true},
    {"BUMPENVLOFFSET", State_Kind::Ignored, 0, Value_Kind::Float, nullptr, 0, true},
    {"CONSTANT", State_Kind::Ignored, 0, Value_Kind::Color, nullptr, 0, true},

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

    // Constant registers of the shaders
    {"VERTEXSHADERCONSTANT", State_Kind::Shader_Constant,
     Constant_Id(false, Constant_File::Float, 0), Value_Kind::Vector, nullptr, 0, true},
    {"VERTEXSHADERCONSTANTF", State_Kind::Shader_Constant,
     Constant_Id(false, Constant_File::Float, 0), Value_Kind::Vector, nullptr, 0, true},
    {"VERTEXSHADERCONSTANTI", State_Kind::Shader_Constant,
     Constant_Id(false, Constant_File::Int, 0), Value_Kind::Vector, nullptr, 0, true},
    {"VERTEXSHADERCONSTANTB", State_Kind::Shader_Constant,
     Constant_Id(false, Constant_File::Bool, 0), Value_Kind::Vector, nullptr, 0, true},
    {"VERTEXSHADERCONSTANT1", State_Kind::Shader_Constant,
     Constant_Id(false, Constant_File::Float, 1), Value_Kind::Vector, nullptr, 0, true},
    {"VERTEXSHADERCONSTANT2", State_Kind::Shader_Constant,
     Constant_Id(false, Constant_File::Float, 2), Value_Kind::Vector, nullptr, 0, true},
    {"VERTEXSHADERCONSTANT3", State_Kind::Shader_Constant,
     Constant_Id(false, Constant_File::Float, 3), Value_Kind::Vector, nullptr, 0, true},
    {"VERTEXSHADERCONSTANT4", State_Kind::Shader_Constant,
     Constant_Id(false, Constant_File::Float, 4), Value_Kind::Vector, nullptr, 0, true},
    {"PIXELSHADERCONSTANT", State_Kind::Shader_Constant, Constant_Id(true, Constant_File::Float, 0),
     Value_Kind::Vector, nullptr, 0, true},
    {"PIXELSHADERCONSTANTF", State_Kind::Shader_Constant,
     Constant_Id(true, Constant_File::Float, 0), Value_Kind::Vector, nullptr, 0, true},
    {"PIXELSHADERCONSTANTI", State_Kind::Shader_Constant, Constant_Id(true, Constant_File::Int, 0),
     Value_Kind::Vector, nullptr, 0, true},
    {"PIXELSHADERCONSTANTB", State_Kind::Shader_Constant, Constant_Id(true, Constant_File::Bool, 0),
     Value_Kind::Vector, nullptr, 0, true},
    {"PIXELSHADERCONSTANT1", State_Kind::Shader_Constant,
     Constant_Id(true, Constant_File::Float, 1), Value_Kind::Vector, nullptr, 0, true},
    {"PIXELSHADERCONSTANT2", State_Kind::Shader_Constant,
     Constant_Id(true, Constant_File::Float, 2), Value_Kind::Vector, nullptr, 0, true},
    {"PIXELSHADERCONSTANT3", State_Kind::Shader_Constant,
     Constant_Id(true, Constant_File::Float, 3), Value_Kind::Vector, nullptr, 0, true},
    {"PIXELSHADERCONSTANT4", State_Kind::Shader_Constant,
     Constant_Id(true, Constant_File::Float, 4), Value_Kind::Vector, nullptr, 0, true},

    // Transforms, lights and the material of the fixed-function pipeline
    {"WORLDTRANSFORM", State_Kind::Transform, k_world, Value_Kind::Matrix, nullptr, 0, true},
    {"VIEWTRANSFORM", State_Kind::Transform, D3DTS_VIEW, Value_Kind::Matrix, nullptr, 0, false},
    {"PROJECTIONTRANSFORM", State_Kind::Transform, D3DTS_PROJECTION, Value_Kind::Matrix, nullptr, 0,
     false},
    {"TEXTURETRANSFORM", State_Kind::Transform, D3DTS_TEXTURE0, Value_Kind::Matrix, nullptr, 0,
     true},
    {"LIGHTENABLE", State_Kind::Light_Enable, 0, Value_Kind::Dword, nullptr, 0, true},
    {"LIGHTTYPE", State_Kind::Light, std::uint32_t(Light_Field::Type), Value_Kind::Dword,
     QM_ENUMS(k_light_type), true},
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

// Sampler states of displacement mapping and multi-element textures, which
// this device has not: a pass (with the stage index) or a sampler_state
// block may name them.
const State_Def k_unmodelled_sampler_states[] = {
    {"ELEMENTINDEX", State_Kind::Ignored, 0, Value_Kind::Dword, nullptr, 0, true},
    {"DMAPOFFSET", State_Kind::Ignored, 0, Value_Kind::Dword, nullptr, 0, true},
};

// The prefix of each value set's Direct3D enumerator names: a state value
// may be written "D3DBLEND_INVSRCALPHA" as well as "INVSRCALPHA".
struct Value_Prefix {
    const Enum_Value* enums;
    const char* prefix;
};
const Value_Prefix k_value_prefixes[] = {
    {k_z_buffer, "D3DZB_"},
    {k_fill, "D3DFILL_"},
    {k_shade, "D3DSHADE_"},
    {k_blend, "D3DBLEND_"},
    {k_cull, "D3DCULL_"},
    {k_compare, "D3DCMP_"},
    {k_fog, "D3DFOG_"},
    {k_stencil_op, "D3DSTENCILOP_"},
    {k_material_source, "D3DMCS_"},
    {k_vertex_blend, "D3DVBF_"},
    {k_color_write, "D3DCOLORWRITEENABLE_"},
    {k_blend_op, "D3DBLENDOP_"},
    {k_wrap, "D3DWRAP_"},
    {k_wrap, "D3DWRAPCOORD_"},
    {k_patch_edge, "D3DPATCHEDGE_"},
    {k_debug_monitor, "D3DDMT_"},
    {k_degree, "D3DDEGREE_"},
    {k_address, "D3DTADDRESS_"},
    {k_filter, "D3DTEXF_"},
    {k_texture_op, "D3DTOP_"},
    {k_texture_arg, "D3DTA_"},
    {k_texcoord_index, "D3DTSS_TCI_"},
    {k_texture_transform, "D3DTTFF_"},
    {k_light_type, "D3DLIGHT_"},
};

// Vertex declaration enumerators, which annotations use to describe the
// vertices an effect wants.
const Enum_Value k_decl_type[] = {{"FLOAT1", D3DDECLTYPE_FLOAT1},
                                  {"FLOAT2", D3DDECLTYPE_FLOAT2},
                                  {"FLOAT3", D3DDECLTYPE_FLOAT3},
                                  {"FLOAT4", D3DDECLTYPE_FLOAT4},
                                  {"D3DCOLOR", D3DDECLTYPE_D3DCOLOR},
                                  {"UBYTE4", D3DDECLTYPE_UBYTE4},
                                  {"SHORT2", D3DDECLTYPE_SHORT2},
                                  {"SHORT4", D3DDECLTYPE_SHORT4},
                                  {"UBYTE4N", D3DDECLTYPE_UBYTE4N},
                                  {"SHORT2N", 9},
                                  {"SHORT4N", 10},
                                  {"USHORT2N", 11},
                                  {"USHORT4N", 12},
                                  {"UDEC3", 13},
                                  {"DEC3N", 14},
                                  {"FLOAT16_2", 15},
                                  {"FLOAT16_4", 16},
                                  {"UNUSED", D3DDECLTYPE_UNUSED}};
const Enum_Value k_decl_method[] = {{"DEFAULT", D3DDECLMETHOD_DEFAULT},
                                    {"PARTIALU", 1},
                                    {"PARTIALV", 2},
                                    {"CROSSUV", 3},
                                    {"UV", 4},
                                    {"LOOKUP", 5},
                                    {"LOOKUPPRESAMPLED", 6}};
const Enum_Value k_decl_usage[] = {{"POSITION", D3DDECLUSAGE_POSITION},
                                   {"BLENDWEIGHT", D3DDECLUSAGE_BLENDWEIGHT},
                                   {"BLENDINDICES", D3DDECLUSAGE_BLENDINDICES},
                                   {"NORMAL", D3DDECLUSAGE_NORMAL},
                                   {"PSIZE", D3DDECLUSAGE_PSIZE},
                                   {"TEXCOORD", D3DDECLUSAGE_TEXCOORD},
                                   {"TANGENT", D3DDECLUSAGE_TANGENT},
                                   {"BINORMAL", D3DDECLUSAGE_BINORMAL},
                                   {"TESSFACTOR", D3DDECLUSAGE_TESSFACTOR},
                                   {"POSITIONT", D3DDECLUSAGE_POSITIONT},
                                   {"COLOR", D3DDECLUSAGE_COLOR},
                                   {"FOG", D3DDECLUSAGE_FOG},
                                   {"DEPTH", D3DDECLUSAGE_DEPTH},
                                   {"SAMPLE", D3DDECLUSAGE_SAMPLE}};
struct Value_Set {
    std::span<const Enum_Value> values;
    const char* prefix;
};
const Value_Set k_other_enumerators[] = {{k_decl_type, "D3DDECLTYPE_"},
                                         {k_decl_method, "D3DDECLMETHOD_"},
                                         {k_decl_usage, "D3DDECLUSAGE_"}};

bool Starts_With_No_Case(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && Equal_No_Case(s.substr(0, prefix.size()), prefix);
}

}  // namespace

const State_Def* Find_State(std::string_view name, bool sampler_block) {
    for (const State_Def& def : k_pass_states) {
        if (sampler_block && def.kind != State_Kind::Sampler && def.kind != State_Kind::Texture)
            continue;
        if (Equal_No_Case(name, def.name)) return &def;
    }
    for (const State_Def& def : k_unmodelled_sampler_states)
        if (Equal_No_Case(name, def.name)) return &def;
    return nullptr;
}

bool Find_Enum_Value(const State_Def& def, std::string_view name, std::uint32_t* value) {
    for (std::size_t i = 0; i < def.enum_count; ++i)
        if (Equal_No_Case(name, def.enums[i].name)) {
            *value = def.enums[i].value;
            return true;
        }
    if (def.enum_count > 0 && Starts_With_No_Case(name, "D3D")) {
        for (const Value_Prefix& p : k_value_prefixes)
            if (p.enums == def.enums && Starts_With_No_Case(name, p.prefix)) {
                const std::string_view rest = name.substr(std::string_view(p.prefix).size());
                for (std::size_t i = 0; i < def.enum_count; ++i)
                    if (Equal_No_Case(rest, def.enums[i].name)) {
                        *value = def.enums[i].value;
                        return true;
                    }
            }
    }
    if (Equal_No_Case(name, "D3DZB_TRUE")) name = "TRUE";
    if (Equal_No_Case(name, "D3DZB_FALSE")) name = "FALSE";
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

bool Find_D3D_Enumerator(std::string_view name, std::uint32_t* value) {
    if (!Starts_With_No_Case(name, "D3D")) return false;
    auto find = [&](std::span<const Enum_Value> values, std::string_view prefix) {
        if (!Starts_With_No_Case(name, prefix)) return false;
        for (const Enum_Value& v : values)
            if (Equal_No_Case(name.substr(prefix.size()), v.name)) {
                *value = v.value;
                return true;
            }
        return false;
    };
    for (const Value_Set& set : k_other_enumerators)
        if (find(set.values, set.prefix)) return true;
    for (const State_Def& def : k_pass_states)
        for (const Value_Prefix& p : k_value_prefixes)
            if (p.enums == def.enums && find({def.enums, def.enum_count}, p.prefix)) return true;
    return false;
}

bool Decl_Usage_Named(std::string_view name, std::uint8_t* usage) {
    for (const Enum_Value& v : k_decl_usage)
        if (name == v.name) {
            *usage = static_cast<std::uint8_t>(v.value);
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
