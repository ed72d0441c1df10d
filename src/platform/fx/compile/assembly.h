// Shader assembly in effects ("VertexShader = asm { vs_1_1 ... };"). The
// text is assembled into Direct3D 9 shader bytecode by MojoShader's
// assembler, and the bytecode is translated here into a separable GLSL 4.50
// program that follows the device's conventions: inputs and varyings at the
// locations of their semantics, sampler sN on texture unit N (vertex
// samplers on the last four units), and the constant registers c#, i#, b#
// read from the device's register file (Gl_Shader_Constants) unless the
// shader defines them itself (def, defi, defb). Both steps run in the
// compile worker, so a fault in either fails one shader.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/fx/compile/compiler.h"

namespace qm_fx {

struct Asm_Translation {
    std::string glsl;
    std::vector<std::uint32_t> sampler_stages;  // device stages the program samples
    bool vertex = true;
};

// Bytecode (DWORD tokens, version token first) to GLSL. False with a message
// on anything it cannot translate, malformed bytecode included.
bool Translate_Bytecode(const std::uint32_t* tokens, std::size_t count, Asm_Translation* out,
                        std::string* error);

// Assembles `source` (one instruction per line) and translates it; what the
// worker runs. On failure `error_line` is the 1-based line of `source` the
// assembler blamed, or 0.
bool Assemble_And_Translate(const std::string& source, Asm_Translation* out, std::string* error,
                            std::uint32_t* error_line);

// Compiles the asm shader `index` of `desc` to a GL program (the device's GL
// context current). Null with messages on failure.
std::shared_ptr<const Compiled_Stage> Compile_Asm_Shader(const Effect_Desc& desc, std::size_t index,
                                                         Diagnostics* diagnostics);

}  // namespace qm_fx
