// The process-wide caches of compiled shader stages (HLSL in compiler.cpp,
// shader assembly in assembly.cpp), bounded in bytes.
//
// A stage is keyed by its GL object namespace (Gl_Current_Object_Namespace,
// the first 8 bytes of the key) and its text: a GL program name means nothing
// in another namespace. A stage the cache lets go of has its GL program
// deleted; the templates of live effects hold their stages, so those stay.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/d3d9/gl_device.h"
#include "platform/fx/byte_lru.h"
#include "platform/fx/compile/compiler.h"

namespace qm_fx {

// Compiled stages kept after the templates that held them are gone, per
// cache (HLSL and assembly), counting the key (the shader's whole source),
// the GLSL and the driver's share: a new template of another text finds the
// shaders it has in common with one let go of here.
inline constexpr std::size_t k_stage_cache_bytes = std::size_t{32} << 20;
// The memory one compiled stage costs beyond its text, which GL does not
// report: about 350 KiB a stage with Mesa's llvmpipe (intermediate code and
// compiled variants), measured over 800 stages of a small effect.
inline constexpr std::size_t k_gl_program_bytes = std::size_t{384} << 10;
// Sources that did not compile (their messages are given again without a
// new compile); they hold only text.
inline constexpr std::size_t k_failed_stage_cache_bytes = std::size_t{4} << 20;

using Stage_Cache = Byte_Lru_Cache<const Compiled_Stage>;

inline std::string Stage_Key_Prefix() {
    const std::uint64_t object_namespace = Gl_Current_Object_Namespace();
    std::string key(sizeof object_namespace, '\0');
    std::memcpy(key.data(), &object_namespace, sizeof object_namespace);
    return key;
}

inline std::size_t Stage_Bytes(const Compiled_Stage& stage) {
    return sizeof stage + stage.glsl.size() + k_gl_program_bytes +
           stage.block.size() * sizeof(Block_Node) + stage.samplers.size() * sizeof(Stage_Sampler);
}

inline Stage_Cache* New_Stage_Cache() {
    return new Stage_Cache(
        k_stage_cache_bytes, [](const std::string& key, const Compiled_Stage& stage) {
            std::uint64_t object_namespace = 0;
            if (key.size() >= sizeof object_namespace)
                std::memcpy(&object_namespace, key.data(), sizeof object_namespace);
            Gl_Delete_Program(stage.program, object_namespace);
        });
}

// Lets go of the HLSL stages beyond the budget that templates let go of.
void Trim_Stage_Cache();

// Budget of the HLSL stage cache (k_stage_cache_bytes until changed): tests
// fill a small cache to see it let go.
void Set_Stage_Cache_Budget(std::size_t bytes);

}  // namespace qm_fx
