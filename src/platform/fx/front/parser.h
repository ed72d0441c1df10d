// Effect files, stage 2: the parser of the Direct3D 9 effect syntax. It
// takes the preprocessed tokens apart into what the effect framework handles
// itself (parameters with their types, semantics, annotations and defaults;
// textures; samplers with their sampler_state; techniques, passes and their
// state assignments) and the HLSL that goes to the shader compiler (structs,
// functions, static globals and the parameters the shaders can read).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/fx/front/preprocessor.h"
#include "platform/fx/front/states.h"

namespace qm_fx {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------
enum class Base_Type : std::uint8_t {
    Void,
    Bool,
    Int,
    Uint,
    Float,
    String,
    Texture,
    Sampler,
    Vertex_Shader,
    Pixel_Shader,
    Struct
};
enum class Object_Dim : std::uint8_t { Any, Dim1, Dim2, Dim3, Cube };
enum class Type_Class : std::uint8_t {
    Scalar,
    Vector,
    Matrix_Rows,
    Matrix_Columns,
    Object,
    Struct
};

struct Type_Info;
struct Struct_Member {
    std::string name;
    std::shared_ptr<const Type_Info> type;
    std::string semantic;
};

struct Type_Info {
    Base_Type base = Base_Type::Float;
    Type_Class cls = Type_Class::Scalar;
    Object_Dim dim = Object_Dim::Any;
    std::uint8_t rows = 1;       // matrices: rows; vectors and scalars: 1
    std::uint8_t cols = 1;       // components of a vector; matrix columns
    std::uint32_t elements = 0;  // array length, 0 when not an array
    // The lengths of a multi-dimensional array, outermost first; `elements`
    // is then their product (the array counts as that many elements, stored
    // in order). Empty for other types.
    std::vector<std::uint32_t> dims;
    std::uint8_t struct_nesting = 0;  // structs: 1 + that of the deepest struct member
    std::string struct_name;
    std::vector<Struct_Member> members;

    bool Numeric() const { return cls != Type_Class::Object && base != Base_Type::Void; }
    bool Is_Matrix() const {
        return cls == Type_Class::Matrix_Rows || cls == Type_Class::Matrix_Columns;
    }
    // 32-bit words of one element in the tightly packed parameter storage.
    std::uint32_t Element_Words() const;
    std::uint32_t Words() const { return Element_Words() * (elements ? elements : 1); }
    // HLSL spelling of the element type ("float4x4", "sampler2D", a struct name).
    std::string Element_Name() const;
    // With the array suffix: "float[26]".
    std::string Name() const;
    // "[26]", "[4][4]", or "" when not an array.
    std::string Array_Suffix() const;
};

// ---------------------------------------------------------------------------
// Expressions of state values (evaluated when a pass is applied, so they may
// read parameters) and the constant values of annotations.
// ---------------------------------------------------------------------------
struct Expr_Node {
    enum class Op : std::uint8_t { Constant, Parameter, Unary, Binary, Ternary, Vector };
    Op op = Op::Constant;
    std::string oper;           // "-", "+", "!", "~", "*", "|", ... for Unary/Binary
    std::vector<double> value;  // Constant
    int parameter = -1;         // Parameter: index into Effect_Desc::parameters
    std::vector<int> kids;      // operand node indices
    std::uint32_t height = 1;   // of the subtree this node heads
};

struct Expr {
    std::vector<Expr_Node> nodes;
    int root = -1;
    bool Constant() const;
};

struct Annotation {
    std::string name;
    Type_Info type;
    std::vector<double> values;  // numeric annotations
    std::string string_value;    // string annotations
    std::string text;            // the value as written, for listings
};

// ---------------------------------------------------------------------------
// State assignments
// ---------------------------------------------------------------------------
struct State_Assignment {
    const State_Def* def = nullptr;
    std::string name;         // as written
    std::uint32_t index = 0;  // the [n] of indexed states
    Expr value;               // numeric states
    int object = -1;          // parameter index (texture, sampler, matrix), or -1 for NULL
    int shader = -1;          // Effect_Desc::shaders index; -1 for NULL
    // "VertexShader = (vs[i]);" with an index that is not constant: the
    // shaders of the array's elements, of which `value` picks one when the
    // pass is applied (clamped to the array). Empty otherwise.
    std::vector<int> shader_choices;
    std::string value_text;  // as written, for listings
    std::uint16_t file = 0;
    std::uint32_t line = 0;
};

enum class Shader_Stage : std::uint8_t { Vertex, Pixel };

struct Shader_Compile {
    Shader_Stage stage = Shader_Stage::Vertex;
    std::string profile;            // vs_2_0, ps_3_0 ...
    std::string entry;              // the HLSL function
    std::vector<std::string> args;  // HLSL text of the arguments for its uniform parameters
    // An asm { } block: its text, one line per source line, and where each
    // line came from. Empty for compiled HLSL.
    std::string assembly;
    std::vector<std::pair<std::uint16_t, std::uint32_t>> assembly_lines;
    std::uint16_t file = 0;
    std::uint32_t line = 0;
};

struct Pass {
    std::string name;
    std::vector<Annotation> annotations;
    std::vector<State_Assignment> states;
    int vertex_shader = -1;  // Effect_Desc::shaders index, -1 for the fixed-function half
    int pixel_shader = -1;
    // The index in `states` of a shader assignment that picks its shader from
    // an array when the pass is applied; -1 when the shader is fixed.
    int vertex_choice = -1;
    int pixel_choice = -1;
};

struct Technique {
    std::string name;
    std::vector<Annotation> annotations;
    std::vector<Pass> passes;
};

// ---------------------------------------------------------------------------
// Parameters
// ---------------------------------------------------------------------------
struct Parameter {
    std::string name;
    std::string semantic;
    Type_Info type;
    std::vector<Annotation> annotations;
    std::uint32_t offset = 0;                      // first word in the parameter storage
    std::string string_value;                      // default of a string parameter
    std::vector<State_Assignment> sampler_states;  // sampler_state { ... } without Texture
    int sampler_texture = -1;                      // the texture parameter of "Texture = <t>"
    bool sampler_sets_texture = false;             // the block assigns Texture (possibly NULL)
    int sampler_register = -1;                     // register(sN)
    int shader = -1;                   // shader-typed parameters: Effect_Desc::shaders index
    std::vector<int> shader_elements;  // arrays of shaders: the same, one per element
    bool in_shader_source = false;     // declared to the shader compiler
    std::uint16_t file = 0;
    std::uint32_t line = 0;
};

// ---------------------------------------------------------------------------
// Functions (what the entry-point wrapper needs to know)
// ---------------------------------------------------------------------------
struct Function_Param {
    std::string name;
    Type_Info type;
    std::string semantic;
    bool is_in = true;
    bool is_out = false;
    bool is_uniform = false;
    bool has_default = false;
};

struct Function_Info {
    std::string name;
    Type_Info return_type;
    std::string return_semantic;
    std::vector<Function_Param> params;
    bool defined = false;  // has a body
    std::uint16_t file = 0;
    std::uint32_t line = 0;
};

// HLSL handed to the shader compiler; line_origins[k] is where line k+1 of
// `text` came from, so the compiler's messages can name the effect source.
struct Hlsl_Source {
    std::string text;
    std::vector<std::pair<std::uint16_t, std::uint32_t>> line_origins;
};

// A static whose initializer calls a function (or reads such a static).
// glslang's SPIR-V builder crashes on such global initializers, so the
// static goes to the compiler without one and every entry wrapper assigns
// it first, in declaration order.
struct Static_Init {
    std::string name;
    std::string value;  // HLSL text of the initializer
    std::uint16_t file = 0;
    std::uint32_t line = 0;
};

struct Effect_Desc {
    std::vector<std::string> files;
    std::vector<Parameter> parameters;
    std::vector<std::uint32_t> defaults;  // parameter storage with every initializer applied
    std::uint32_t storage_words = 0;
    std::vector<Technique> techniques;
    std::vector<Shader_Compile> shaders;
    std::vector<Function_Info> functions;
    std::unordered_map<std::string, std::shared_ptr<const Type_Info>> structs;
    Hlsl_Source hlsl;
    std::vector<Static_Init> static_inits;
    bool row_major_default = false;  // #pragma pack_matrix(row_major) before the first parameter

    int Find_Parameter(const std::string& name) const;
    const Function_Info* Find_Function(const std::string& name, std::size_t uniform_args) const;
};

// Parses the tokens of a preprocessed effect. False (with messages) on errors.
bool Parse_Effect(const Token_Stream& tokens, Effect_Desc* out, Diagnostics* diagnostics);

// Evaluates a state value expression over the current parameter storage.
// Components beyond those the expression yields are 0.
// Returns how many values the expression has (out gets the first `count`).
std::size_t Evaluate(const Expr& expr, const Effect_Desc& desc, const std::uint32_t* storage,
                     double* out, std::size_t count);

// The storage word of a scalar as a double, by its base type.
double Word_Value(Base_Type base, std::uint32_t word);
std::uint32_t Value_Word(Base_Type base, double value);

}  // namespace qm_fx
