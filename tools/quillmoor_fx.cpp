// quillmoor-fx FILE.fx: compiles an effect file the way the engine loads it
// (D3DXCreateEffectFromFileA on a headless device) and lists its techniques,
// passes and parameters, or its errors with file and line.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "device/device_setup.h"
#include "platform/d3dx9.h"
#include "platform/d3dx9/effect_inspect.h"
#include "platform/fx/front/states.h"

namespace {

const char* const k_usage =
    "usage: quillmoor-fx [options] FILE.fx\n"
    "Compiles a Direct3D 9 effect file and lists its techniques, passes (state\n"
    "assignments, shader profiles and entry points, sampler stages) and parameters\n"
    "(type, name, semantic, annotations, default value). Errors are printed as\n"
    "FILE(LINE): error: TEXT. Exit status 0 when the file compiles, 1 otherwise.\n"
    "\n"
    "options:\n"
    "  -D NAME[=VALUE]     define a macro, as D3DXMACRO does\n"
    "  --technique NAME    list only this technique (an error when it does not exist)\n"
    "  --help              this text\n";

std::string Number(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

std::string Annotations(const std::vector<qm_fx::Annotation>& list) {
    if (list.empty()) return "";
    std::string s = " <";
    for (const qm_fx::Annotation& a : list)
        s.append(" ")
            .append(a.type.Name())
            .append(" ")
            .append(a.name)
            .append(" = ")
            .append(a.text)
            .append(";");
    return s + " >";
}

std::string Default_Value(const qm_fx::Effect_Desc& desc, const qm_fx::Parameter& p) {
    using qm_fx::Base_Type;
    if (p.type.base == Base_Type::String) return " = \"" + p.string_value + "\"";
    if (!p.type.Numeric()) return "";
    std::vector<Base_Type> bases;
    // Struct members may mix types; show each word by its own base.
    struct Walk {
        static void Run(const qm_fx::Type_Info& t, std::vector<Base_Type>* out) {
            const std::uint32_t n = t.elements ? t.elements : 1;
            for (std::uint32_t e = 0; e < n; ++e) {
                if (t.cls == qm_fx::Type_Class::Struct) {
                    for (const auto& m : t.members) Run(*m.type, out);
                } else {
                    for (std::uint32_t w = 0; w < t.Element_Words(); ++w) out->push_back(t.base);
                }
            }
        }
    };
    Walk::Run(p.type, &bases);
    std::string s;
    bool nonzero = false;
    for (std::size_t k = 0; k < bases.size(); ++k) {
        const double v = qm_fx::Word_Value(bases[k], desc.defaults[p.offset + k]);
        nonzero = nonzero || v != 0.0;
        if (k) s += ", ";
        if (k >= 32) {
            s += "...";
            break;
        }
        s += bases[k] == Base_Type::Bool ? (v != 0.0 ? "true" : "false") : Number(v);
    }
    if (!nonzero) return "";
    return bases.size() == 1 ? " = " + s : " = {" + s + "}";
}

std::string State_Value(const qm_fx::Effect_Desc& desc, const qm_fx::State_Assignment& sa) {
    using qm_fx::State_Kind;
    const auto kind = sa.def->kind;
    if (kind == State_Kind::Vertex_Shader || kind == State_Kind::Pixel_Shader) {
        if (!sa.shader_choices.empty())
            return sa.value_text + " (picked from " + std::to_string(sa.shader_choices.size()) +
                   " shaders when the pass is applied)";
        if (sa.shader < 0) return "NULL (fixed-function)";
        const qm_fx::Shader_Compile& sc = desc.shaders[static_cast<std::size_t>(sa.shader)];
        if (!sc.assembly.empty())
            return "asm " + sc.profile + " (" + std::to_string(sc.assembly_lines.size() - 1) +
                   " lines)";
        std::string s = "compile " + sc.profile + " " + sc.entry + "(";
        for (std::size_t k = 0; k < sc.args.size(); ++k) s += (k ? ", " : "") + sc.args[k];
        return s + ")";
    }
    std::string s = sa.value_text;
    if (sa.value.root >= 0 && sa.value.Constant() && sa.def->enum_count > 0) {
        double v;
        qm_fx::Evaluate(sa.value, desc, desc.defaults.data(), &v, 1);
        const char* name = qm_fx::Enum_Value_Name(*sa.def, static_cast<std::uint32_t>(v));
        if (name && !qm_fx::Equal_No_Case(name, sa.value_text)) s += " (" + std::string(name) + ")";
    }
    if (kind == State_Kind::Ignored || !sa.def->applied) s += " (not applied by this device)";
    return s;
}

std::string State_Name(const qm_fx::State_Assignment& sa) {
    std::string s = sa.name;
    if (sa.def->indexed && sa.def->kind != qm_fx::State_Kind::Vertex_Shader)
        s.append("[").append(std::to_string(sa.index)).append("]");
    return s;
}

void List(ID3DXEffect* effect, const std::string& only) {
    const qm_fx::Effect_Desc& desc = *qm_fx::Effect_Description(effect);
    std::printf("%zu technique(s), %zu parameter(s)\n", desc.techniques.size(),
                desc.parameters.size());
    for (std::size_t t = 0; t < desc.techniques.size(); ++t) {
        const qm_fx::Technique& tech = desc.techniques[t];
        if (!only.empty() && tech.name != only) continue;
        std::printf("technique %s%s\n", tech.name.empty() ? "(unnamed)" : tech.name.c_str(),
                    Annotations(tech.annotations).c_str());
        for (std::size_t p = 0; p < tech.passes.size(); ++p) {
            const qm_fx::Pass& pass = tech.passes[p];
            std::printf("  pass %s%s\n",
                        pass.name.empty() ? std::to_string(p).c_str() : pass.name.c_str(),
                        Annotations(pass.annotations).c_str());
            for (const qm_fx::State_Assignment& sa : pass.states)
                std::printf("    %s = %s\n", State_Name(sa).c_str(), State_Value(desc, sa).c_str());
            if (pass.vertex_shader < 0) std::printf("    (vertex: fixed-function)\n");
            if (pass.pixel_shader < 0) std::printf("    (pixel: fixed-function)\n");
            std::vector<std::pair<int, std::uint32_t>> samplers;
            qm_fx::Effect_Pass_Samplers(effect, static_cast<unsigned>(t), static_cast<unsigned>(p),
                                        &samplers);
            for (const auto& [param, stage] : samplers)
                std::printf("    sampler %s -> stage %u\n",
                            desc.parameters[static_cast<std::size_t>(param)].name.c_str(), stage);
        }
    }
    if (!only.empty()) return;
    std::printf("parameters\n");
    for (const qm_fx::Parameter& p : desc.parameters) {
        std::string line = "  " + p.type.Name() + " " + p.name;
        if (!p.semantic.empty()) line += " : " + p.semantic;
        line += Annotations(p.annotations);
        line += Default_Value(desc, p);
        if (p.type.base == qm_fx::Base_Type::Sampler) {
            line += " = sampler_state {";
            for (const qm_fx::State_Assignment& sa : p.sampler_states)
                line += " " + sa.name + " = " + sa.value_text + ";";
            line += " }";
        }
        std::printf("%s\n", line.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string file, technique;
    std::vector<std::pair<std::string, std::string>> defines;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(k_usage, stdout);
            return 0;
        }
        if (a == "--technique" && i + 1 < argc) {
            technique = argv[++i];
        } else if ((a == "-D" && i + 1 < argc) || (a.size() > 2 && a.rfind("-D", 0) == 0)) {
            const std::string d = a == "-D" ? argv[++i] : a.substr(2);
            const std::size_t eq = d.find('=');
            defines.emplace_back(d.substr(0, eq), eq == std::string::npos ? "1" : d.substr(eq + 1));
        } else if (!a.empty() && a[0] == '-') {
            std::fprintf(stderr, "quillmoor-fx: unknown option '%s'\n%s", a.c_str(), k_usage);
            return 1;
        } else if (file.empty()) {
            file = a;
        } else {
            std::fprintf(stderr, "quillmoor-fx: one effect file at a time\n");
            return 1;
        }
    }
    if (file.empty()) {
        std::fputs(k_usage, stderr);
        return 1;
    }

    Platform_Init(true);
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    HWND window = Create_Device_Window("quillmoor-fx", 64, 64);
    if (!window || Create_Direct3D_Device(window, &d3d, &device) != Device_Setup_Ok) {
        std::fprintf(stderr, "quillmoor-fx: no headless Direct3D device\n");
        return 1;
    }

    std::vector<D3DXMACRO> macros;
    for (const auto& [name, value] : defines) macros.push_back({name.c_str(), value.c_str()});
    macros.push_back({nullptr, nullptr});

    ID3DXEffect* effect = nullptr;
    ID3DXBuffer* messages = nullptr;
    // On failure the messages are already on stderr.
    const HRESULT hr = D3DXCreateEffectFromFileA(device, file.c_str(), macros.data(), nullptr, 0,
                                                 nullptr, &effect, &messages);
    int status = FAILED(hr) ? 1 : 0;
    if (SUCCEEDED(hr)) {
        if (messages) std::fputs(static_cast<const char*>(messages->GetBufferPointer()), stderr);
        if (!technique.empty() && !effect->GetTechniqueByName(technique.c_str())) {
            std::fprintf(stderr, "%s: error: unknown technique '%s'\n", file.c_str(),
                         technique.c_str());
            status = 1;
        } else {
            std::printf("%s: compiled\n", file.c_str());
            List(effect, technique);
        }
        effect->Release();
    }
    if (messages) messages->Release();
    device->Release();
    d3d->Release();
    DestroyWindow(window);
    Platform_Shutdown();
    return status;
}
