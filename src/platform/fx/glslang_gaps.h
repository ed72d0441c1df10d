// Where Direct3D 9 HLSL and glslang's HLSL part ways, the shader code goes to
// glslang rewritten, and the rewrites call helpers of ours that are added to
// the source before it compiles. The token rewrites (front end) and the
// helpers' definitions (compile stage) live together here, so that a helper
// and the code that calls it cannot drift apart.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fx/front/parser.h"
#include "platform/fx/front/preprocessor.h"

namespace qm_fx {

// Every name we add to an effect's code starts with this.
inline constexpr std::string_view k_helper_prefix = "Qm_Fx_";

// `name` as one of our names, out of the way of the effect's own.
std::string Helper_Name(std::string_view name);

// Tokens [begin, end) of shader code as glslang can take them, appended to
// `out`:
// - swizzles of several matrix elements, m._11_21, become float2(m._11, m._21)
//   (glslang reports "missing functionality" and then crashes);
// - "(float[4]) v", a vector cast to an array, becomes the list of its
//   components, { (float)(v)[0], ... };
// - "float4(a, b) = v;", a constructor as an assignment target, and
//   "m._m00_m10 = v;" (or +=, -=, *=, /=), matrix elements as one, become a
//   call of a split helper with out parameters;
// - "const static" becomes "static const" (glslang takes the first for a
//   variable, which an array size cannot use);
// - tex1D and its proj/lod/bias/grad variants become the 2D calls at row
//   0.5: Direct3D 9 has no 1D textures (a 1D texture is a 2D one of height
//   1, which is what the device binds), and sampler1D becomes sampler2D;
// - texCUBEproj, which GL has no projective form of, becomes texCUBE of the
//   direction divided by w.
// - lit() becomes a helper of ours: glslang's takes n_dot_h times the
//   exponent for the specular term, not n_dot_h to its power.
void Rewrite_Glslang_Gaps(const std::vector<Token>& toks, std::size_t begin, std::size_t end,
                          std::vector<Token>* out);

// A call of any() or all() in the effect's code goes to our overloads, which
// take scalars and matrices too (glslang hands scalar ones on as vector
// operations that GL then rejects). True when `name` followed by `next` is
// such a call; the name is then renamed in place.
bool Rename_Any_All_Call(std::string* name, const Token& next);

// The definitions of the helpers that `hlsl` (the code of `desc`, as it goes
// to glslang) calls, to go before it; empty when it calls none. They include
// noise(), an intrinsic glslang crashes on, under its own name.
std::string Glslang_Gap_Helpers(const Effect_Desc& desc, const std::string& hlsl);

// The declaration of a sampler parameter ("sampler2D S : register(s1);").
// A sampler1D is declared as the 2D sampler it samples (Rewrite_Glslang_Gaps).
std::string Sampler_Declaration(const Parameter& p);

// The declaration of a numeric parameter in the shader code: a uniform of
// its type ("row_major float4x4 World;"), on a line of its own.
std::string Uniform_Declaration(const Parameter& p);

// A parameter that shader code assigns to (or passes as an out argument).
// The compilers of Direct3D 9's time took that as a write to a private copy
// of the parameter, initialised from its value for each invocation; glslang
// refuses it. The effect's code comes back with each such uniform renamed
// (Copied_Uniform_Name) and a static of the parameter's own name declared
// beside it, initialised from it: glslang runs the initialisers of statics
// first in the entry point, in declaration order, so statics initialised
// from the parameter further down see its value. When no parameter is
// written the code comes back as it is.
std::string Copy_Written_Parameters(const Effect_Desc& desc);

// The name a written parameter's uniform has in the shader code, and back:
// the parameter's name for a member of the shader's uniform block.
std::string Copied_Uniform_Name(const std::string& parameter);
std::string Parameter_Of_Uniform(const std::string& member);

}  // namespace qm_fx
