// What the quillmoor-fx tool, the fuzzers and the tests may see of our effects:
// the seam between them and the effect implementation.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/d3dx9.h"
#include "platform/fx/front/parser.h"

namespace qm_fx {

// The parsed description behind one of our effects (null for anything else).
const Effect_Desc* Effect_Description(ID3DXEffect* effect);

// Device sampler stages the shaders of a pass read, as (sampler parameter
// index, stage) pairs; false for a bad technique or pass.
bool Effect_Pass_Samplers(ID3DXEffect* effect, unsigned technique, unsigned pass,
                          std::vector<std::pair<int, std::uint32_t>>* samplers);

// Effect files parsed (cache misses of the per-file cache).
std::uint64_t Effect_Parse_Count();

// Budgets of the template cache and the HLSL stage cache, for tests that fill
// small caches (k_template_cache_bytes and k_stage_cache_bytes otherwise).
void Set_Effect_Cache_Budgets(std::size_t template_bytes, std::size_t stage_bytes);

}  // namespace qm_fx
