// The states an effect pass or a sampler_state block may assign, by their
// effect-file names (case-insensitive, as D3DX reads them), with the value
// names each one accepts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qm_fx {

enum class State_Kind : std::uint8_t {
    Render,          // SetRenderState(id, value)
    Sampler,         // SetSamplerState(index, id, value)
    Texture_Stage,   // SetTextureStageState(index, id, value)
    Texture,         // SetTexture(index, texture parameter)
    Sampler_Object,  // a sampler parameter bound to stage `index`
    Vertex_Shader,
    Pixel_Shader,
    Transform,        // SetTransform(id (+ index), matrix parameter)
    Light_Enable,     // LightEnable(index, value)
    Light,            // one member of light `index`; id = Light_Field
    Material,         // one member of the material; id = Material_Field
    Shader_Constant,  // Set{Vertex,Pixel}ShaderConstant{F,I,B}(index, ...); id = Constant_Id
    Ignored,          // a Direct3D 9 state this device does not model: parsed, not applied
};

enum class Value_Kind : std::uint8_t {
    Dword,   // integer or enumeration value
    Float,   // passed as the bits of a float
    Color,   // a D3DCOLOR word, or four floats r, g, b, a packed to one
    Object,  // a texture, sampler, shader or NULL
    Matrix,  // a matrix parameter
    Vector,  // up to four floats (light and material members)
};

enum class Light_Field : std::uint32_t {
    Type,
    Diffuse,
    Specular,
    Ambient,
    Position,
    Direction,
    Range,
    Falloff,
    Attenuation0,
    Attenuation1,
    Attenuation2,
    Theta,
    Phi
};
enum class Material_Field : std::uint32_t { Diffuse, Ambient, Specular, Emissive, Power };

// The id of a Shader_Constant state: which register file, and how many
// registers it sets (0: as many as its value fills).
enum class Constant_File : std::uint32_t { Float, Int, Bool };
constexpr std::uint32_t Constant_Id(bool pixel, Constant_File file, std::uint32_t registers) {
    return (pixel ? 1u : 0u) | (static_cast<std::uint32_t>(file) << 1) | (registers << 4);
}
constexpr bool Constant_Pixel(std::uint32_t id) {
    return id & 1;
}
constexpr Constant_File Constant_File_Of(std::uint32_t id) {
    return static_cast<Constant_File>((id >> 1) & 3);
}
constexpr std::uint32_t Constant_Registers(std::uint32_t id) {
    return id >> 4;
}

struct Enum_Value {
    const char* name;
    std::uint32_t value;
};

struct State_Def {
    const char* name;  // upper case
    State_Kind kind;
    std::uint32_t id;
    Value_Kind value;
    const Enum_Value* enums;  // value names beside TRUE/FALSE; may be null
    std::size_t enum_count;
    bool indexed;  // takes "[n]" (stage, light or matrix index)
    // False for a state this device keeps but draws nothing differently for
    // (the tools say so); Ignored states are not applied at all.
    bool applied = true;
};

// A state of a pass block, or of a sampler_state block when `sampler_block`.
// Null when the name is unknown.
const State_Def* Find_State(std::string_view name, bool sampler_block);

// The value of a name for a state (its own names first, then TRUE/FALSE).
bool Find_Enum_Value(const State_Def& def, std::string_view name, std::uint32_t* value);

// A Direct3D enumerator by its full name (D3DDECLTYPE_FLOAT3,
// D3DBLEND_ONE, ...), as annotations and initializers may use them.
bool Find_D3D_Enumerator(std::string_view name, std::uint32_t* value);

// The name of a value for display, or null when it has none.
const char* Enum_Value_Name(const State_Def& def, std::uint32_t value);

bool Equal_No_Case(std::string_view a, std::string_view b);

// The vertex-declaration usage a semantic name stands for ("TEXCOORD" ->
// D3DDECLUSAGE_TEXCOORD), as written in upper case; false for any other.
bool Decl_Usage_Named(std::string_view name, std::uint8_t* usage);

}  // namespace qm_fx
