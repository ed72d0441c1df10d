// The entry-point wrapper and the HLSL compiler (glslang).
//
// Direct3D 9 links a vertex shader to a pixel shader (or to the fixed-function
// pipeline) by semantic register, whatever the declared widths. GL matches
// separable stages by location and type, so the wrapper declares every
// vertex input, varying and colour output as a float4 at the location of its
// semantic and converts to and from what the effect's function declares.
// The wrapper also binds the `compile` arguments to the function's uniform
// parameters.
#include "platform/fx/compile/compiler.h"

#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>
#include <glslang/SPIRV/GlslangToSpv.h>

#include <map>
#include <mutex>

#include "platform/d3d9/gl_device.h"
#include "platform/fx/compile/io_names.h"
#include "platform/fx/front/states.h"

namespace qm_fx {

namespace {

struct Io_Leaf {
    std::string access;  // HLSL l-value in the wrapper ("p0.uv", "r")
    Type_Info type;      // scalar or vector
    std::string semantic;
    std::uint32_t index = 0;
};

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// "TEXCOORD3" -> ("TEXCOORD", 3). "TEXCOORD3_centroid" is the same register
// sampled at the centroid; GL interpolates it at the pixel centre, which
// differs only at the edges of a multisampled triangle.
void Split_Semantic(const std::string& semantic, std::string* name, std::uint32_t* index) {
    static const std::string k_centroid = "_CENTROID";
    std::size_t end = semantic.size();
    if (end > k_centroid.size() && Upper(semantic.substr(end - k_centroid.size())) == k_centroid)
        end -= k_centroid.size();
    const std::size_t last = end;
    while (end > 0 && semantic[end - 1] >= '0' && semantic[end - 1] <= '9') --end;
    *name = Upper(semantic.substr(0, end));
    *index = end < last ? static_cast<std::uint32_t>(std::atoi(semantic.c_str() + end)) : 0;
    // SPECULAR is the older name of the second colour register.
    if (*name == "SPECULAR") {
        *name = "COLOR";
        *index += 1;
    }
}

bool Usage_Of(const std::string& name, BYTE* usage) {
    if (name == "SV_POSITION") {
        *usage = D3DDECLUSAGE_POSITION;
        return true;
    }
    return Decl_Usage_Named(name, usage);
}

class Wrapper_Builder {
public:
    Wrapper_Builder(const Effect_Desc& desc, const Shader_Compile& shader, Diagnostics* diag)
        : desc_(desc), shader_(shader), diag_(diag) {}

    bool Build(std::string* text) {
        const Function_Info* f = desc_.Find_Function(shader_.entry, shader_.args.size());
        if (!f) return Fail("undefined function '" + shader_.entry + "'");
        const bool vertex = shader_.stage == Shader_Stage::Vertex;

        std::string locals, call_args;
        std::size_t next_arg = 0;
        for (std::size_t k = 0; k < f->params.size(); ++k) {
            const Function_Param& p = f->params[k];
            if (p.is_uniform) {
                if (next_arg >= shader_.args.size()) break;  // the rest take their defaults
                if (!call_args.empty()) call_args += ", ";
                call_args += "(" + shader_.args[next_arg++] + ")";
                continue;
            }
            const std::string local = "qm_p" + std::to_string(k);
            locals += "    " + Local_Type(p.type) + " " + local + Array_Suffix(p.type) + ";\n";
            if (!call_args.empty()) call_args += ", ";
            call_args += local;
            if (p.is_in && !Flatten(p.type, local, p.semantic, p.name, &inputs_)) return false;
            if (p.is_out && !Flatten(p.type, local, p.semantic, p.name, &outputs_)) return false;
        }
        std::string call = f->name + "(" + call_args + ");";
        if (f->return_type.base != Base_Type::Void) {
            locals += "    " + Local_Type(f->return_type) + " qm_r;\n";
            call = "qm_r = " + call;
            if (!Flatten(f->return_type, "qm_r", f->return_semantic, "the return value", &outputs_))
                return false;
        }

        std::string params, reads, writes;
        if (!(vertex ? Vertex_Io(&params, &reads, &writes) : Pixel_Io(&params, &reads, &writes)))
            return false;

        std::string& t = *text;
        t.clear();
        if (vertex) t += "float4 " + std::string(k_pixel_offset_uniform) + ";\n";
        t += "void " + std::string(k_entry_name) + "(" + params + ")\n{\n";
        for (const Static_Init& init : desc_.static_inits)
            t += "    " + init.name + " = " + init.value + ";\n";
        t += locals + reads + "    " + call + "\n" + writes + "}\n";
        return true;
    }

private:
    bool Fail(const std::string& text) {
        diag_->Error(desc_.files[shader_.file], shader_.line, text);
        return false;
    }

    static std::string Local_Type(const Type_Info& t) { return t.Element_Name(); }
    static std::string Array_Suffix(const Type_Info& t) { return t.Array_Suffix(); }

    bool Flatten(const Type_Info& type, const std::string& access, const std::string& semantic,
                 const std::string& what, std::vector<Io_Leaf>* out) {
        const std::uint32_t count = type.elements ? type.elements : 1;
        std::string name;
        std::uint32_t index = 0;
        if (!semantic.empty()) Split_Semantic(semantic, &name, &index);
        for (std::uint32_t e = 0; e < count; ++e) {
            const std::string a = type.elements ? access + "[" + std::to_string(e) + "]" : access;
            if (type.cls == Type_Class::Struct) {
                if (!semantic.empty())
                    return Fail("'" + shader_.entry + "': a semantic on the struct " + what +
                                " is not supported; give its members semantics");
                for (const Struct_Member& m : type.members) {
                    Type_Info mt = *m.type;
                    if (!Flatten(mt, a + "." + m.name, m.semantic,
                                 "member '" + m.name + "' of " + type.struct_name, out))
                        return false;
                }
                continue;
            }
            if (type.cls == Type_Class::Object) continue;
            if (semantic.empty())
                return Fail("'" + shader_.entry + "': " + what + " has no semantic");
            if (type.Is_Matrix()) {
                // One register per row, from the semantic's index up, as
                // Direct3D 9 passes a matrix between shaders.
                for (std::uint32_t r = 0; r < type.rows; ++r) {
                    Io_Leaf leaf;
                    leaf.access = a + "[" + std::to_string(r) + "]";
                    leaf.type = Type_Info{};
                    leaf.type.base = type.base;
                    leaf.type.cls = Type_Class::Vector;
                    leaf.type.cols = type.cols;
                    leaf.semantic = name;
                    leaf.index = index + e * type.rows + r;
                    out->push_back(std::move(leaf));
                }
                continue;
            }
            Io_Leaf leaf;
            leaf.access = a;
            leaf.type = type;
            leaf.type.elements = 0;
            leaf.semantic = name;
            leaf.index = index + e;
            out->push_back(std::move(leaf));
        }
        return true;
    }

    static std::uint32_t Components(const Type_Info& t) {
        return t.cls == Type_Class::Vector ? t.cols : 1;
    }

    // A float4 source narrowed to the leaf's type.
    static std::string From4(const std::string& src, const Type_Info& t) {
        static const char* const swizzles[] = {".x", ".xy", ".xyz", ""};
        // Appended piece by piece: GCC 12 at -O3 misreads the inlined
        // insert of "(" + std::string&& as an overlapping copy (-Wrestrict).
        std::string text = "(";
        text += t.Element_Name();
        text += ")(";
        text += src;
        text += swizzles[Components(t) - 1];
        text += ")";
        return text;
    }

    // A leaf widened to a float4; missing components read 0 (w reads 1).
    static std::string To4(const std::string& value, const Type_Info& t) {
        const std::uint32_t n = Components(t);
        const std::string as_float = n == 1 ? "float" : "float" + std::to_string(n);
        static const char* const pads[] = {", 0, 0, 1", ", 0, 1", ", 1", ""};
        if (n == 4) return "(float4)(" + value + ")";
        return "float4((" + as_float + ")(" + value + ")" + pads[n - 1] + ")";
    }

    static void Add_Param(std::string* params, const std::string& decl) {
        if (!params->empty()) *params += ", ";
        *params += decl;
    }

    // The location of each vertex input: its own (Gl_Attribute_Location),
    // or for a semantic without one (BLENDWEIGHT1, TEXCOORD8 ...) a location
    // that no input of this shader has, which the device is told to feed
    // from that semantic (Gl_Attribute_Remap).
    bool Input_Locations(std::vector<int>* locations) {
        bool used[Gl_Attribute::Count] = {};
        std::vector<BYTE> usages(inputs_.size(), 0);
        locations->assign(inputs_.size(), -1);
        for (std::size_t k = 0; k < inputs_.size(); ++k) {
            const Io_Leaf& leaf = inputs_[k];
            if (leaf.index >= 256 || !Usage_Of(leaf.semantic, &usages[k]))
                return Fail("'" + shader_.entry + "': vertex input semantic '" + leaf.semantic +
                            std::to_string(leaf.index) + "' is not supported");
            const int loc = Gl_Attribute_Location(usages[k], static_cast<BYTE>(leaf.index));
            (*locations)[k] = loc;
            if (loc >= 0) used[loc] = true;
        }
        for (std::size_t k = 0; k < inputs_.size(); ++k) {
            if ((*locations)[k] >= 0) continue;
            const BYTE index = static_cast<BYTE>(inputs_[k].index);
            int loc = -1;
            for (const Gl_Attribute_Remap& r : remap_)
                if (r.usage == usages[k] && r.usage_index == index)
                    loc = static_cast<int>(r.location);
            for (GLuint l = 0; loc < 0 && l < Gl_Attribute::Count; ++l)
                if (!used[l]) loc = static_cast<int>(l);
            if (loc < 0)
                return Fail("'" + shader_.entry + "': more than " +
                            std::to_string(Gl_Attribute::Count) + " vertex inputs");
            if (!used[loc]) remap_.push_back({usages[k], index, static_cast<GLuint>(loc)});
            used[loc] = true;
            (*locations)[k] = loc;
        }
        return true;
    }

    bool Vertex_Io(std::string* params, std::string* reads, std::string* writes) {
        std::map<int, bool> declared;
        std::vector<int> locations;
        if (!Input_Locations(&locations)) return false;
        for (std::size_t k = 0; k < inputs_.size(); ++k) {
            const Io_Leaf& leaf = inputs_[k];
            const int loc = locations[k];
            const std::string var = Io_Name(Io_Name_Kind::Input, static_cast<std::uint32_t>(loc));
            if (!declared[loc]) {
                Add_Param(params, "in float4 " + var + " : QM_A" + std::to_string(loc));
                declared[loc] = true;
            }
            *reads += "    " + leaf.access + " = " + From4(var, leaf.type) + ";\n";
        }
        bool position = false;
        std::map<int, bool> written;
        for (const Io_Leaf& leaf : outputs_) {
            if ((leaf.semantic == "POSITION" || leaf.semantic == "SV_POSITION") &&
                leaf.index == 0) {
                if (!position) Add_Param(params, "out float4 qm_position : SV_Position");
                position = true;
                *writes += "    qm_position = " + To4(leaf.access, leaf.type) + ";\n";
                continue;
            }
            if (leaf.semantic == "PSIZE") continue;  // point sprites are not drawn by effects
            BYTE usage;
            int loc = -1;
            if (leaf.index < 256 && Usage_Of(leaf.semantic, &usage))
                loc = Gl_Varying_Location(usage, static_cast<BYTE>(leaf.index));
            if (loc < 0)
                return Fail("'" + shader_.entry + "': vertex output semantic '" + leaf.semantic +
                            std::to_string(leaf.index) + "' is not supported");
            const std::string var = Io_Name(Io_Name_Kind::Output, static_cast<std::uint32_t>(loc));
            if (!written[loc])
                Add_Param(params, "out float4 " + var + " : QM_V" + std::to_string(loc));
            written[loc] = true;
            *writes += "    " + var + " = " + To4(leaf.access, leaf.type) + ";\n";
        }
        if (!position) return Fail("'" + shader_.entry + "': a vertex shader must write POSITION");
        *writes += "    qm_position.xy += " + std::string(k_pixel_offset_uniform) +
                   ".xy * qm_position.w;\n";
        return true;
    }

    bool Pixel_Io(std::string* params, std::string* reads, std::string* writes) {
        std::map<int, bool> declared;
        bool frag_coord = false, face = false;
        for (const Io_Leaf& leaf : inputs_) {
            if (leaf.semantic == "VPOS" || leaf.semantic == "SV_POSITION" ||
                (leaf.semantic == "POSITION" && leaf.index == 0)) {
                if (!frag_coord) Add_Param(params, "in float4 qm_frag_coord : SV_Position");
                frag_coord = true;
                // VPOS holds the integer pixel coordinates, POSITION the raw position.
                const std::string src = leaf.semantic == "VPOS"
                                            ? "float4(floor(qm_frag_coord.xy), 0, 1)"
                                            : "qm_frag_coord";
                *reads += "    " + leaf.access + " = " + From4(src, leaf.type) + ";\n";
                continue;
            }
            // Direct3D 9 hands the point size to the rasterizer only; no pixel
            // shader register carries it. A pixel shader that declares it
            // (a vertex output struct taken as the pixel input) reads 0.
            if (leaf.semantic == "PSIZE") {
                *reads +=
                    "    " + leaf.access + " = " + From4("float4(0, 0, 0, 0)", leaf.type) + ";\n";
                continue;
            }
            if (leaf.semantic == "VFACE" || leaf.semantic == "SV_ISFRONTFACE") {
                if (!face) Add_Param(params, "in bool qm_front_face : SV_IsFrontFace");
                face = true;
                *reads += "    " + leaf.access + " = " +
                          From4("(qm_front_face ? 1.0 : -1.0).xxxx", leaf.type) + ";\n";
                continue;
            }
            BYTE usage;
            int loc = -1;
            if (leaf.index < 256 && Usage_Of(leaf.semantic, &usage))
                loc = Gl_Varying_Location(usage, static_cast<BYTE>(leaf.index));
            if (loc < 0)
                return Fail("'" + shader_.entry + "': pixel input semantic '" + leaf.semantic +
                            std::to_string(leaf.index) + "' is not supported");
            const std::string var = Io_Name(Io_Name_Kind::Input, static_cast<std::uint32_t>(loc));
            if (!declared[loc])
                Add_Param(params, "in float4 " + var + " : QM_V" + std::to_string(loc));
            declared[loc] = true;
            *reads += "    " + leaf.access + " = " + From4(var, leaf.type) + ";\n";
        }
        std::map<std::uint32_t, bool> targets;
        bool depth = false;
        for (const Io_Leaf& leaf : outputs_) {
            if (leaf.semantic == "COLOR" || leaf.semantic == "SV_TARGET") {
                if (leaf.index > 3)
                    return Fail("'" + shader_.entry + "': colour output " +
                                std::to_string(leaf.index) + " is not supported");
                const std::string var = Io_Name(Io_Name_Kind::Target, leaf.index);
                if (!targets[leaf.index])
                    Add_Param(params,
                              "out float4 " + var + " : SV_Target" + std::to_string(leaf.index));
                targets[leaf.index] = true;
                *writes += "    " + var + " = " + To4(leaf.access, leaf.type) + ";\n";
                continue;
            }
            if (leaf.semantic == "DEPTH" || leaf.semantic == "SV_DEPTH") {
                if (!depth) Add_Param(params, "out float qm_depth : SV_Depth");
                depth = true;
                *writes += "    qm_depth = (float)(" + leaf.access +
                           (Components(leaf.type) > 1 ? ".x" : "") + ");\n";
                continue;
            }
            return Fail("'" + shader_.entry + "': pixel output semantic '" + leaf.semantic +
                        std::to_string(leaf.index) + "' is not supported");
        }
        if (targets.empty() && !depth)
            return Fail("'" + shader_.entry + "': a pixel shader must write COLOR");
        return true;
    }

    const Effect_Desc& desc_;
    const Shader_Compile& shader_;
    Diagnostics* diag_;
    std::vector<Io_Leaf> inputs_, outputs_;

public:
    std::vector<Gl_Attribute_Remap> remap_;
};

}  // namespace

bool Build_Entry_Wrapper(const Effect_Desc& desc, const Shader_Compile& shader, std::string* text,
                         std::vector<Gl_Attribute_Remap>* remap, Diagnostics* diagnostics) {
    Wrapper_Builder builder(desc, shader, diagnostics);
    if (!builder.Build(text)) return false;
    if (remap) *remap = std::move(builder.remap_);
    return true;
}

void Warm_Up_Hlsl_Compiler() {
    static std::once_flag once;
    std::call_once(once, [] {
        glslang::InitializeProcess();
        // glslang builds its tables of built-in functions on the first parse of
        // each stage and keeps them in globals. The compile children are forked
        // from this process, so build them here once, on a fixed shader, or
        // every child would spend most of its time building them again.
        const char* text = "float4 Qm_Fx_Entry(float4 p : POSITION) : POSITION { return p; }\n";
        for (EShLanguage lang : {EShLangVertex, EShLangFragment}) {
            glslang::TShader shader(lang);
            shader.setStrings(&text, 1);
            shader.setEntryPoint(k_entry_name);
            shader.setSourceEntryPoint(k_entry_name);
            shader.setEnvInput(glslang::EShSourceHlsl, lang, glslang::EShClientVulkan, 100);
            shader.setEnvClient(glslang::EShClientVulkan, glslang::EShTargetVulkan_1_0);
            shader.setEnvTarget(glslang::EShTargetSpv, glslang::EShTargetSpv_1_0);
            const auto messages = static_cast<EShMessages>(
                EShMsgSpvRules | EShMsgVulkanRules | EShMsgReadHlsl | EShMsgHlslDX9Compatible);
            (void)shader.parse(GetDefaultResources(), 100, false, messages);
        }
    });
}

bool Hlsl_To_Spirv(const std::string& source, Shader_Stage stage, std::vector<std::uint32_t>* spirv,
                   std::string* log) {
    Warm_Up_Hlsl_Compiler();

    const EShLanguage lang = stage == Shader_Stage::Vertex ? EShLangVertex : EShLangFragment;
    glslang::TShader shader(lang);
    const char* text = source.c_str();
    const int length = static_cast<int>(source.size());
    shader.setStringsWithLengths(&text, &length, 1);
    shader.setEntryPoint(k_entry_name);
    shader.setSourceEntryPoint(k_entry_name);
    shader.setEnvInput(glslang::EShSourceHlsl, lang, glslang::EShClientVulkan, 100);
    shader.setEnvClient(glslang::EShClientVulkan, glslang::EShTargetVulkan_1_0);
    shader.setEnvTarget(glslang::EShTargetSpv, glslang::EShTargetSpv_1_0);
    shader.setAutoMapBindings(true);
    shader.setAutoMapLocations(true);
    const auto messages = static_cast<EShMessages>(EShMsgSpvRules | EShMsgVulkanRules |
                                                   EShMsgReadHlsl | EShMsgHlslDX9Compatible);
    if (!shader.parse(GetDefaultResources(), 100, false, messages)) {
        *log = shader.getInfoLog();
        return false;
    }
    glslang::TProgram program;
    program.addShader(&shader);
    if (!program.link(messages)) {
        *log = program.getInfoLog();
        return false;
    }
    // What glslang cannot translate it reports as "Missing functionality" and
    // goes on with SPIR-V that the optimiser may crash on; so translate once
    // without the optimiser and refuse the shader when that reports any.
    glslang::SpvOptions options;
    options.disableOptimizer = true;
    spv::SpvBuildLogger logger;
    spirv->clear();
    glslang::GlslangToSpv(*program.getIntermediate(lang), *spirv, &logger, &options);
    std::string messages_text = logger.getAllMessages();
    if (messages_text.find("Missing functionality") != std::string::npos) {
        *log = messages_text;
        spirv->clear();
        return false;
    }
    options.disableOptimizer = false;  // HLSL needs the legalisation passes
    spv::SpvBuildLogger optimizer_logger;
    spirv->clear();
    glslang::GlslangToSpv(*program.getIntermediate(lang), *spirv, &optimizer_logger, &options);
    messages_text = optimizer_logger.getAllMessages();
    if (spirv->empty()) {
        *log = messages_text.empty() ? "SPIR-V generation failed" : messages_text;
        return false;
    }
    return true;
}

}  // namespace qm_fx
