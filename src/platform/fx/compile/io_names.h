// The names of the entry wrapper's inputs and outputs that carry a location.
// The wrapper (hlsl.cpp) names each float4 it declares after its GL
// location; glslang keeps those names on the SPIR-V interface variables, and
// the translation (compiler.cpp) reads the location back from them to
// decorate the variables, since HLSL semantics do not survive as locations.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qm_fx {

enum class Io_Name_Kind : std::uint8_t {
    Input,   // vertex attribute or pixel shader varying: "qm_in<location>"
    Output,  // vertex shader varying: "qm_out<location>"
    Target,  // pixel shader colour output: "qm_target<index>"
};

inline constexpr std::string_view Io_Name_Prefix(Io_Name_Kind kind) {
    switch (kind) {
    case Io_Name_Kind::Input: return "qm_in";
    case Io_Name_Kind::Output: return "qm_out";
    case Io_Name_Kind::Target: return "qm_target";
    }
    return "";
}

inline std::string Io_Name(Io_Name_Kind kind, std::uint32_t location) {
    return std::string(Io_Name_Prefix(kind)) + std::to_string(location);
}

// The location in a name made by Io_Name of that kind; false for any other
// name (the wrapper's position, depth and face variables among them).
inline bool Parse_Io_Name(std::string_view name, Io_Name_Kind kind, std::uint32_t* location) {
    const std::string_view prefix = Io_Name_Prefix(kind);
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) return false;
    std::uint32_t value = 0;
    for (const char c : name.substr(prefix.size())) {
        if (c < '0' || c > '9' || value > 0xFFFFFFu) return false;
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    *location = value;
    return true;
}

}  // namespace qm_fx
