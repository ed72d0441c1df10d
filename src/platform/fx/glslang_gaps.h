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
// - "float4(a, b) = v;", a constructor as an assignment target, becomes a call
//   of a split helper with out parameters.
void Rewrite_Glslang_Gaps(const std::vector<Token>& toks, std::size_t begin, std::size_t end,
                          std::vector<Token>* out);

// A call of any() or all() in the effect's code goes to our overloads, which
// take scalars and matrices too (glslang hands scalar ones on as vector
// operations that GL then rejects). True when `name` followed by `next` is
// such a call; the name is then renamed in place.
bool Rename_Any_All_Call(std::string* name, const Token& next);

// The definitions of the helpers that `hlsl` calls, to go before it; empty
// when it calls none.
std::string Glslang_Gap_Helpers(const std::string& hlsl);

}  // namespace qm_fx
