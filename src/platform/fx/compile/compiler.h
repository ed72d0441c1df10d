// Effect files, stage 3: one shader of a pass, from HLSL to a separable GL
// program. The entry function is wrapped so that every input and output sits
// at the fixed location of its semantic as a vec4 (what the device's
// fixed-function halves expect), the wrapped HLSL goes through glslang to
// SPIR-V and through SPIRV-Cross to GLSL 4.50. Results are kept in a
// process-wide cache keyed by the complete HLSL text, so instances of one
// effect file (and identical passes of different files) compile once.
#pragma once

#include <epoxy/gl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/d3d9/gl_device.h"
#include "platform/fx/front/parser.h"

namespace qm_fx {

// Uniform buffer binding points of effect programs (below the device's own).
inline constexpr GLuint k_vertex_block_binding = 0;
inline constexpr GLuint k_pixel_block_binding = 1;

// The name of the clip-space offset the wrapper adds to the position, so that
// effect geometry covers the pixels Direct3D 9 covers (see Gl_Device).
inline constexpr const char* k_pixel_offset_uniform = "Qm_Fx_Pixel_Offset";

// Vertex texture samplers (vs_3_0 tex2Dlod) use the last four of the
// device's 16 stages. Pixel shaders may use all 16 (s0-s15); a pass whose
// pixel shader reaches into the last four while its vertex shader samples
// too is refused, as the two would share stages.
inline constexpr std::uint32_t k_vertex_sampler_first_stage = 12;
inline constexpr std::uint32_t k_pixel_sampler_count = 16;

// Layout of one member of the uniform block as the compiled GLSL has it.
struct Block_Node {
    enum class Kind : std::uint8_t { Scalar, Vector, Matrix, Struct, Other };
    std::string name;
    Kind kind = Kind::Other;
    std::uint32_t offset = 0;      // bytes from the start of the parent
    std::uint32_t components = 1;  // vector size (matrices: of one SPIR-V column)
    std::uint32_t columns = 1;     // matrices: SPIR-V columns (= HLSL rows)
    std::uint32_t matrix_stride = 0;
    bool row_major = false;        // SPIR-V RowMajor decoration
    std::uint32_t array_size = 0;  // 0 when not an array
    std::uint32_t array_stride = 0;
    std::vector<Block_Node> members;  // structs
};

struct Stage_Sampler {
    std::string name;     // the sampler parameter
    std::uint32_t stage;  // device sampler stage = GL texture unit
};

struct Compiled_Stage {
    Shader_Stage stage = Shader_Stage::Vertex;
    GLuint program = 0;                   // separable GL program
    std::string glsl;                     // the generated GLSL
    std::uint32_t block_size = 0;         // bytes of the uniform block, 0 when none
    std::vector<Block_Node> block;        // its members
    std::vector<Stage_Sampler> samplers;  // samplers the shader reads
    // Vertex inputs at locations other than their semantic's own.
    std::vector<Gl_Attribute_Remap> attribute_remap;
};

// Compiles shader `index` of `desc`. The GL context of the device must be
// current. Null (with messages naming the effect source) on failure.
std::shared_ptr<const Compiled_Stage> Compile_Shader(const Effect_Desc& desc, std::size_t index,
                                                     Diagnostics* diagnostics);

// Counts compilations that missed the cache (HLSL through to a GL program).
std::uint64_t Shader_Compile_Count();

// Counts translations handed to the compile child (one per new source,
// failures included: a source that failed is not translated again).
std::uint64_t Shader_Translation_Count();

// --- the steps, exposed for the tool and the tests --------------------------

// The HLSL of the wrapped entry point (appended to desc.hlsl). False with a
// message when the entry's signature cannot be mapped.
// `remap` receives the vertex inputs placed at locations not their own.
bool Build_Entry_Wrapper(const Effect_Desc& desc, const Shader_Compile& shader, std::string* text,
                         std::vector<Gl_Attribute_Remap>* remap, Diagnostics* diagnostics);

// HLSL (DX9 compatibility rules) to SPIR-V for entry "Qm_Fx_Entry". On failure
// `log` holds the compiler's messages ("ERROR: 0:line: text" lines).
bool Hlsl_To_Spirv(const std::string& source, Shader_Stage stage, std::vector<std::uint32_t>* spirv,
                   std::string* log);

// Initialises glslang and builds its built-in tables in this process, so that
// the forked compile children inherit them. Hlsl_To_Spirv calls it too.
void Warm_Up_Hlsl_Compiler();

// Starts the isolated compile worker now, building glslang's tables in it
// while this process goes on; false when it could not be started (compiles
// then start one on first use, or run in this process).
bool Start_Compile_Worker();

// Makes the separable GL program of `out->glsl` (the driver's log in the
// message on failure).
bool Link_Program(const Effect_Desc& desc, const Shader_Compile& shader, Compiled_Stage* out,
                  Diagnostics* diag);

inline constexpr const char* k_entry_name = "Qm_Fx_Entry";

}  // namespace qm_fx
