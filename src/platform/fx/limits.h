// How far an effect file may go before we refuse it. Effect files come from
// users, and the code we hand on (glslang, its SPIR-V optimiser, SPIRV-Cross,
// the driver's GLSL compiler) recurses on nesting and slows down with size:
// without these bounds a 10 KB file crashes the process or compiles for
// minutes. Real effects stay far below every one of them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qm_fx {

// The one depth limit of our own recursions (#include, macro arguments, #if
// expressions, the parser's expressions and their trees) and of the nesting
// of parentheses, brackets and braces in shader code. glslang survived some
// 3,000 levels of parentheses in our measurements; this leaves it room.
inline constexpr int k_max_nesting_depth = 200;

// Struct types inside struct types: the driver's compiler takes time that
// grows with the depth and the size of what a struct copies.
inline constexpr int k_max_struct_nesting = 16;
inline constexpr std::uint32_t k_max_struct_words = 4096;

// The HLSL of one effect as it goes to glslang (the code we add for one
// shader may come on top, up to as much again), and the GLSL of one shader as
// it goes to the driver. Shipped effects hold up to some 200 KB of HLSL; the
// bound is that of the preprocessor's input, which no effect's code can
// exceed anyway. Compile time grows with the code a shader uses, not with the
// code it leaves alone.
inline constexpr std::size_t k_max_shader_source_bytes = 1024 * 1024;

// The text the preprocessor reads for one effect: the file and every include,
// counted each time it is included. Each include is tokenized afresh, so a
// large file including itself would otherwise be read some hundred times.
inline constexpr std::size_t k_max_effect_source_bytes = 1024 * 1024;
inline constexpr std::size_t k_max_glsl_bytes = 256 * 1024;

// Counts one level of a recursion for as long as it lives.
class Nesting_Level {
public:
    explicit Nesting_Level(int* depth) : depth_(depth) { ++*depth_; }
    ~Nesting_Level() { --*depth_; }
    Nesting_Level(const Nesting_Level&) = delete;
    Nesting_Level& operator=(const Nesting_Level&) = delete;

    bool Too_Deep() const { return *depth_ > k_max_nesting_depth; }

private:
    int* depth_;
};

}  // namespace qm_fx
