#include "platform/d3dx9/effect_template.h"

#include <algorithm>
#include <array>

#include "platform/d3dx9/effect_inspect.h"
#include "platform/fx/byte_lru.h"
#include "platform/fx/compile/stage_cache.h"

namespace qm_fx {

namespace {

std::uint64_t g_parses = 0;

Byte_Lru_Cache<const Effect_Template>& Template_Cache() {
    static auto* cache = new Byte_Lru_Cache<const Effect_Template>(k_template_cache_bytes);
    return *cache;
}

template <typename T>
void Add_Unique(std::vector<T>* v, const T& x) {
    if (std::find(v->begin(), v->end(), x) == v->end()) v->push_back(x);
}

void Map_Element(const Type_Info& t, std::uint32_t word, const Block_Node& node, std::uint32_t base,
                 std::vector<Copy_Op>* ops);

void Map_Copies(const Type_Info& t, std::uint32_t word, const Block_Node& node, std::uint32_t base,
                std::vector<Copy_Op>* ops) {
    const std::uint32_t count =
        std::min(t.elements ? t.elements : 1u, node.array_size ? node.array_size : 1u);
    for (std::uint32_t e = 0; e < count; ++e)
        Map_Element(t, word + e * t.Element_Words(), node, base + e * node.array_stride, ops);
}

void Map_Element(const Type_Info& t, std::uint32_t word, const Block_Node& node, std::uint32_t base,
                 std::vector<Copy_Op>* ops) {
    if (t.cls == Type_Class::Struct) {
        if (node.kind != Block_Node::Kind::Struct) return;
        std::uint32_t w = word;
        for (std::size_t m = 0; m < t.members.size() && m < node.members.size(); ++m) {
            const Block_Node& child = node.members[m];
            Map_Copies(*t.members[m].type, w, child, base + child.offset, ops);
            w += t.members[m].type->Words();
        }
        return;
    }
    if (t.Is_Matrix()) {
        // HLSL row r is SPIR-V column r; the decoration says which of the two
        // runs contiguously in memory.
        if (node.kind != Block_Node::Kind::Matrix) return;
        for (std::uint32_t r = 0; r < t.rows && r < node.columns; ++r)
            for (std::uint32_t c = 0; c < t.cols && c < node.components; ++c) {
                const std::uint32_t at = node.row_major ? c * node.matrix_stride + r * 4
                                                        : r * node.matrix_stride + c * 4;
                ops->push_back({word + r * t.cols + c, base + at});
            }
        return;
    }
    const std::uint32_t n =
        std::min<std::uint32_t>(t.cls == Type_Class::Vector ? t.cols : 1, node.components);
    for (std::uint32_t c = 0; c < n; ++c) ops->push_back({word + c, base + c * 4});
}

bool Plan_Stage(const Effect_Desc& desc, const std::shared_ptr<const Compiled_Stage>& compiled,
                Stage_Plan* plan, std::size_t* slots) {
    plan->compiled = compiled;
    for (const Block_Node& node : compiled->block) {
        if (node.name == k_pixel_offset_uniform) {
            plan->pixel_offset = static_cast<int>(node.offset);
            continue;
        }
        const int p = desc.Find_Parameter(node.name);
        if (p < 0) continue;
        const Parameter& param = desc.parameters[static_cast<std::size_t>(p)];
        Map_Copies(param.type, param.offset, node, node.offset, &plan->copies);
    }
    for (const Stage_Sampler& s : compiled->samplers) {
        const int p = desc.Find_Parameter(s.name);
        if (p >= 0) plan->samplers.emplace_back(p, s.stage);
    }
    plan->buffer_slot = (*slots)++;
    return true;
}

void Add_Sampler_Saves(const Parameter& sampler, DWORD stage, Save_Set* save) {
    for (const State_Assignment& sa : sampler.sampler_states)
        if (sa.def->kind == State_Kind::Sampler)
            Add_Unique(&save->sampler, {stage, static_cast<D3DSAMPLERSTATETYPE>(sa.def->id)});
    if (sampler.sampler_sets_texture) Add_Unique(&save->textures, stage);
}

void Plan_Saves(const Effect_Desc& desc, const Technique& tech, Technique_Plan* plan) {
    Save_Set& save = plan->save;
    for (std::size_t p = 0; p < tech.passes.size(); ++p) {
        for (const State_Assignment& sa : tech.passes[p].states) {
            switch (sa.def->kind) {
            case State_Kind::Render:
                Add_Unique(&save.render, static_cast<D3DRENDERSTATETYPE>(sa.def->id));
                break;
            case State_Kind::Sampler:
                Add_Unique(&save.sampler, {sa.index, static_cast<D3DSAMPLERSTATETYPE>(sa.def->id)});
                break;
            case State_Kind::Texture_Stage:
                Add_Unique(&save.stage,
                           {sa.index, static_cast<D3DTEXTURESTAGESTATETYPE>(sa.def->id)});
                break;
            case State_Kind::Texture: Add_Unique(&save.textures, DWORD(sa.index)); break;
            case State_Kind::Sampler_Object:
                if (sa.object >= 0)
                    Add_Sampler_Saves(desc.parameters[static_cast<std::size_t>(sa.object)],
                                      sa.index, &save);
                break;
            case State_Kind::Transform:
                Add_Unique(&save.transforms,
                           static_cast<D3DTRANSFORMSTATETYPE>(sa.def->id + sa.index));
                break;
            case State_Kind::Light_Enable: Add_Unique(&save.light_enables, DWORD(sa.index)); break;
            case State_Kind::Light: Add_Unique(&save.lights, DWORD(sa.index)); break;
            case State_Kind::Material: save.material = true; break;
            case State_Kind::Shader_Constant: save.shader_constants = true; break;
            default: break;
            }
        }
        const Pass_Plan& pp = plan->passes[p];
        std::vector<const Stage_Plan*> stages{&pp.vs, &pp.ps};
        for (const Stage_Plan& sp : pp.vs_choices) stages.push_back(&sp);
        for (const Stage_Plan& sp : pp.ps_choices) stages.push_back(&sp);
        for (const Stage_Plan* sp : stages)
            for (const auto& [param, stage] : sp->samplers)
                Add_Sampler_Saves(desc.parameters[static_cast<std::size_t>(param)], stage, &save);
    }
}

std::shared_ptr<const Effect_Template> Build_Template(Effect_Desc desc,
                                                      std::vector<std::string> files,
                                                      Diagnostics* diag) {
    auto tpl = std::make_shared<Effect_Template>();
    tpl->desc = std::move(desc);
    tpl->files = std::move(files);
    const Effect_Desc& d = tpl->desc;

    std::vector<std::shared_ptr<const Compiled_Stage>> shaders(d.shaders.size());
    for (std::size_t s = 0; s < d.shaders.size(); ++s) {
        shaders[s] = Compile_Shader(d, s, diag);
        if (!shaders[s]) return nullptr;
    }
    // Every vertex shader the pass may pick, with every pixel shader.
    auto choices = [](const Pass& pass, int choice, int fixed) {
        if (choice < 0) return std::vector<int>{fixed};
        return pass.states[static_cast<std::size_t>(choice)].shader_choices;
    };
    for (const Technique& tech : d.techniques) {
        Technique_Plan tp;
        for (const Pass& pass : tech.passes) {
            Pass_Plan pp;
            for (const int vs : choices(pass, pass.vertex_choice, pass.vertex_shader))
                for (const int ps : choices(pass, pass.pixel_choice, pass.pixel_shader)) {
                    if (vs < 0 || ps < 0 || shaders[static_cast<std::size_t>(vs)]->samplers.empty())
                        continue;
                    for (const Stage_Sampler& ss : shaders[static_cast<std::size_t>(ps)]->samplers)
                        if (ss.stage >= k_vertex_sampler_first_stage) {
                            const Shader_Compile& psc = d.shaders[static_cast<std::size_t>(ps)];
                            diag->Error(
                                d.files[psc.file], psc.line,
                                "pixel sampler '" + ss.name + "' on stage " +
                                    std::to_string(ss.stage) +
                                    " collides with the vertex shader's samplers (stages 12-15)");
                            return nullptr;
                        }
                }
            if (pass.vertex_shader >= 0) {
                pp.has_vs = true;
                Plan_Stage(d, shaders[static_cast<std::size_t>(pass.vertex_shader)], &pp.vs,
                           &tpl->buffer_slots);
            }
            if (pass.pixel_shader >= 0) {
                pp.has_ps = true;
                Plan_Stage(d, shaders[static_cast<std::size_t>(pass.pixel_shader)], &pp.ps,
                           &tpl->buffer_slots);
            }
            auto plan_choices = [&](int choice, std::vector<Stage_Plan>* out) {
                if (choice < 0) return;
                for (const int s : pass.states[static_cast<std::size_t>(choice)].shader_choices) {
                    out->emplace_back();
                    if (s >= 0)
                        Plan_Stage(d, shaders[static_cast<std::size_t>(s)], &out->back(),
                                   &tpl->buffer_slots);
                }
            };
            plan_choices(pass.vertex_choice, &pp.vs_choices);
            plan_choices(pass.pixel_choice, &pp.ps_choices);
            for (const State_Assignment& sa : pass.states) {
                std::array<double, 4> v{};
                if (sa.value.root >= 0 && sa.value.Constant())
                    Evaluate(sa.value, d, nullptr, v.data(), v.size());
                pp.constants.push_back(v);
            }
            tp.passes.push_back(std::move(pp));
        }
        Plan_Saves(d, tech, &tp);
        tpl->techniques.push_back(std::move(tp));
    }
    for (const auto& s : shaders) tpl->max_block = std::max(tpl->max_block, s->block_size);

    std::vector<const std::string*> names;
    for (const Parameter& p : d.parameters) names.push_back(&p.name);
    tpl->parameter_names.Build(names);
    names.clear();
    for (const Technique& t : d.techniques) names.push_back(&t.name);
    tpl->technique_names.Build(names);
    return tpl;
}

// What keeping a template costs: the parsed description and the plans, of
// the order of the token stream that the key holds (so the key counts
// twice), and the compiled stages it holds, which no cache lets go of while
// the template lives.
std::size_t Template_Bytes(const Effect_Template& tpl, std::size_t key_bytes) {
    std::vector<const Compiled_Stage*> stages;
    const auto add = [&](const Stage_Plan& plan) {
        if (plan.compiled) Add_Unique(&stages, plan.compiled.get());
    };
    for (const Technique_Plan& technique : tpl.techniques)
        for (const Pass_Plan& pass : technique.passes) {
            if (pass.has_vs) add(pass.vs);
            if (pass.has_ps) add(pass.ps);
            for (const Stage_Plan& plan : pass.vs_choices) add(plan);
            for (const Stage_Plan& plan : pass.ps_choices) add(plan);
        }
    std::size_t bytes = sizeof tpl + key_bytes;
    for (const Compiled_Stage* stage : stages) bytes += Stage_Bytes(*stage);
    return bytes;
}

}  // namespace

std::shared_ptr<const Effect_Template> Load_Template(Gl_Device* gl, const std::string& path,
                                                     const Macro_Definitions& defines,
                                                     Diagnostics* diag, bool* unreadable) {
    Token_Stream tokens;
    if (!Preprocess(path, defines, nullptr, &tokens, diag)) {
        *unreadable = tokens.files.empty();
        return nullptr;
    }
    // The key: the GL object namespace (the template holds GL programs), the
    // file names, then every token with its kind and origin.
    gl->Make_Current();
    std::string key = Stage_Key_Prefix();
    key.reserve(tokens.tokens.size() * 16);
    for (const std::string& f : tokens.files) {
        key += f;
        key += '\0';
    }
    for (const Token& t : tokens.tokens) {
        char origin[7];
        std::memcpy(origin, &t.line, 4);
        std::memcpy(origin + 4, &t.file, 2);
        origin[6] = static_cast<char>(t.kind);
        key.append(origin, sizeof origin);
        key += t.text;
        key += '\0';
    }
    auto& cache = Template_Cache();
    if (auto found = cache.Find(key)) return found;

    Effect_Desc desc;
    if (!Parse_Effect(tokens, &desc, diag)) return nullptr;
    ++g_parses;
    auto tpl = Build_Template(std::move(desc), tokens.files, diag);
    if (!tpl) return nullptr;
    const std::size_t bytes = Template_Bytes(*tpl, key.size());
    cache.Insert(std::move(key), tpl, bytes);
    // The stages of templates let go of just now go with them.
    Trim_Stage_Cache();
    return tpl;
}

void Set_Effect_Cache_Budgets(std::size_t template_bytes, std::size_t stage_bytes) {
    Template_Cache().Set_Budget(template_bytes);
    Set_Stage_Cache_Budget(stage_bytes);
}

std::uint64_t Effect_Parse_Count() {
    return g_parses;
}

}  // namespace qm_fx
