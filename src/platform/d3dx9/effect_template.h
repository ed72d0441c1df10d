// The template behind every effect made from one preprocessed text: the
// parsed description, the compiled shaders and what applying each pass takes
// (uniform copies, samplers, states to save). Templates are cached process
// wide by the preprocessed text (bounded in bytes, least recently used first,
// never one a live effect holds); the ID3DXEffect instances (effect.cpp) share
// one and own only their parameter values.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/d3d9.h"
#include "platform/d3d9/gl_device.h"
#include "platform/fx/compile/compiler.h"

namespace qm_fx {

// ---------------------------------------------------------------------------
// Name lookup: open addressing over precomputed hashes. Finding a name costs
// one pass over its characters and no allocation, whether it exists or not.
// ---------------------------------------------------------------------------
class Name_Table {
public:
    void Build(const std::vector<const std::string*>& names) {
        std::size_t capacity = 8;
        while (capacity < names.size() * 2) capacity *= 2;
        slots_.assign(capacity, Slot{0, -1});
        names_ = names;
        mask_ = capacity - 1;
        for (std::size_t i = 0; i < names.size(); ++i) {
            const std::uint32_t h = Hash(names[i]->c_str(), nullptr);
            std::size_t k = h & mask_;
            while (slots_[k].index >= 0) {
                if (*names_[static_cast<std::size_t>(slots_[k].index)] == *names[i]) break;
                k = (k + 1) & mask_;
            }
            if (slots_[k].index < 0) slots_[k] = Slot{h, static_cast<int>(i)};
        }
    }

    int Find(const char* name) const {
        if (!name || slots_.empty()) return -1;
        std::size_t length = 0;
        const std::uint32_t h = Hash(name, &length);
        std::size_t k = h & mask_;
        while (slots_[k].index >= 0) {
            const std::string& candidate = *names_[static_cast<std::size_t>(slots_[k].index)];
            if (slots_[k].hash == h && candidate.size() == length &&
                std::memcmp(candidate.data(), name, length) == 0)
                return slots_[k].index;
            k = (k + 1) & mask_;
        }
        return -1;
    }

private:
    struct Slot {
        std::uint32_t hash;
        int index;
    };

    // FNV-1a.
    static std::uint32_t Hash(const char* s, std::size_t* length) {
        std::uint32_t h = 2166136261u;
        std::size_t n = 0;
        for (; s[n]; ++n) h = (h ^ static_cast<unsigned char>(s[n])) * 16777619u;
        if (length) *length = n;
        return h;
    }

    std::vector<Slot> slots_;
    std::vector<const std::string*> names_;
    std::size_t mask_ = 0;
};

// ---------------------------------------------------------------------------
// The shared template
// ---------------------------------------------------------------------------
struct Copy_Op {
    std::uint32_t word;  // parameter storage word
    std::uint32_t byte;  // offset in the uniform block
};

struct Stage_Plan {
    std::shared_ptr<const Compiled_Stage> compiled;
    std::vector<Copy_Op> copies;
    int pixel_offset = -1;                                // byte offset of the pixel offset uniform
    std::vector<std::pair<int, std::uint32_t>> samplers;  // (sampler parameter, stage)
    std::size_t buffer_slot = 0;                          // index of the instance's uniform buffer
};

struct Pass_Plan {
    Stage_Plan vs, ps;
    bool has_vs = false, has_ps = false;
    // Shaders picked from an array when the pass is applied: one plan per
    // element (no compiled stage for a NULL element).
    std::vector<Stage_Plan> vs_choices, ps_choices;
    // Pre-evaluated values of constant state expressions (same order as states).
    std::vector<std::array<double, 4>> constants;
};

struct Save_Set {
    std::vector<D3DRENDERSTATETYPE> render;
    std::vector<std::pair<DWORD, D3DSAMPLERSTATETYPE>> sampler;
    std::vector<DWORD> textures;
    std::vector<std::pair<DWORD, D3DTEXTURESTAGESTATETYPE>> stage;
    std::vector<D3DTRANSFORMSTATETYPE> transforms;
    std::vector<DWORD> light_enables;
    std::vector<DWORD> lights;
    bool material = false;
    bool shader_constants = false;  // the constant registers (the passes set some)
};

struct Technique_Plan {
    std::vector<Pass_Plan> passes;
    Save_Set save;
};

struct Effect_Template {
    Effect_Desc desc;
    std::vector<Technique_Plan> techniques;
    Name_Table parameter_names;
    Name_Table technique_names;
    std::size_t buffer_slots = 0;
    std::uint32_t max_block = 0;
    // The effect file, then every file it #included, as they were opened.
    std::vector<std::string> files;
};

// Templates kept after their effects are gone, counting their parsed
// description and the compiled stages they hold (Stage_Bytes): the stages of
// a template stay as long as it does, so this budget bounds them too. 32 MiB
// keeps some 40 effects of two shaders each after they are released; the
// effects in use are never let go of, however many there are.
inline constexpr std::size_t k_template_cache_bytes = std::size_t{32} << 20;

// The template of the effect file at `path` with `defines`, from the cache
// when its preprocessed text was seen before. Null on failure, with the
// messages in `diag`; `unreadable` tells that the file itself could not be
// opened.
std::shared_ptr<const Effect_Template> Load_Template(Gl_Device* gl, const std::string& path,
                                                     const Macro_Definitions& defines,
                                                     Diagnostics* diag, bool* unreadable);

}  // namespace qm_fx
