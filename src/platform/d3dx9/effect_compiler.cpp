// SPIR-V to GLSL 4.50 (SPIRV-Cross), the GL program, and the process-wide
// cache of compiled shaders.
#include "platform/d3dx9/effect_compiler.h"

#include <spirv_cross/spirv_glsl.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "platform/d3dx9/effect_io_names.h"
#include "platform/d3dx9/effect_limits.h"

namespace qm_fx {

namespace {

std::uint64_t g_compiles = 0;

// The shader cache lives as long as the process: GL programs are shared by
// every device (one GL object namespace), and effect instances come and go.
std::unordered_map<std::string, std::shared_ptr<const Compiled_Stage>>& Cache()
{
    static auto* cache = new std::unordered_map<std::string, std::shared_ptr<const Compiled_Stage>>();
    return *cache;
}

// Rewrites glslang's "ERROR: 0:LINE: text" lines as "file(line): error: text"
// with the line taken back to the effect source.
void Report_Compiler_Log(const std::string& log, const Effect_Desc& desc,
                         const std::vector<std::pair<std::uint16_t, std::uint32_t>>& origins,
                         const Shader_Compile& shader, Diagnostics* diag)
{
    bool any = false;
    std::size_t start = 0;
    while (start < log.size()) {
        std::size_t end = log.find('\n', start);
        if (end == std::string::npos) end = log.size();
        std::string line = log.substr(start, end - start);
        start = end + 1;
        if (line.rfind("ERROR: ", 0) != 0) continue;
        line.erase(0, 7);
        std::uint16_t file = shader.file;
        std::uint32_t at = shader.line;
        // "0:12: 'x' : undeclared identifier"
        const std::size_t colon1 = line.find(':');
        const std::size_t colon2 = colon1 == std::string::npos ? colon1 : line.find(':', colon1 + 1);
        if (colon1 != std::string::npos && colon2 != std::string::npos && colon1 > 0 &&
            line.find_first_not_of("0123456789") == colon1) {
            const long n = std::strtol(line.c_str() + colon1 + 1, nullptr, 10);
            if (n >= 1 && static_cast<std::size_t>(n) <= origins.size()) {
                file = origins[static_cast<std::size_t>(n) - 1].first;
                at = origins[static_cast<std::size_t>(n) - 1].second;
            }
            line.erase(0, colon2 + 1);
            while (!line.empty() && line[0] == ' ') line.erase(0, 1);
        }
        if (line.find("compilation terminated") != std::string::npos ||
            line.find("compilation errors") != std::string::npos ||
            line.find("compilation error") != std::string::npos)
            continue;
        while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
        diag->Error(desc.files[file], at, line);
        any = true;
    }
    if (!any) {
        std::string first = log.substr(0, log.find('\n'));
        if (first.empty()) first = "the shader does not compile";
        diag->Error(desc.files[shader.file], shader.line, first);
    }
}

void Reflect_Members(const spirv_cross::CompilerGLSL& glsl, const spirv_cross::SPIRType& type,
                     std::vector<Block_Node>* out, bool* doubles)
{
    for (std::uint32_t i = 0; i < type.member_types.size(); ++i) {
        const spirv_cross::SPIRType& mt = glsl.get_type(type.member_types[i]);
        Block_Node n;
        n.name = glsl.get_member_name(type.self, i);
        n.offset = glsl.type_struct_member_offset(type, i);
        if (!mt.array.empty()) {
            n.array_size = mt.array[0];
            n.array_stride = glsl.type_struct_member_array_stride(type, i);
        }
        if (mt.basetype == spirv_cross::SPIRType::Struct) {
            n.kind = Block_Node::Kind::Struct;
            Reflect_Members(glsl, mt, &n.members, doubles);
        } else if (mt.basetype == spirv_cross::SPIRType::Float ||
                   mt.basetype == spirv_cross::SPIRType::Int ||
                   mt.basetype == spirv_cross::SPIRType::UInt ||
                   mt.basetype == spirv_cross::SPIRType::Boolean) {
            n.components = mt.vecsize;
            n.columns = mt.columns;
            if (mt.columns > 1) {
                n.kind = Block_Node::Kind::Matrix;
                n.matrix_stride = glsl.type_struct_member_matrix_stride(type, i);
                n.row_major = glsl.has_member_decoration(type.self, i, spv::DecorationRowMajor);
            } else {
                n.kind = mt.vecsize > 1 ? Block_Node::Kind::Vector : Block_Node::Kind::Scalar;
            }
        } else if (mt.basetype == spirv_cross::SPIRType::Double) {
            *doubles = true;
        }
        out->push_back(std::move(n));
    }
}

struct Sampler_Order {
    std::uint32_t id;
    int declaration;  // parameter index
    int reg;          // register(sN) or -1
    std::string name;
};

bool Translate(const Effect_Desc& desc, const Shader_Compile& shader,
               std::vector<std::uint32_t> spirv, Compiled_Stage* out, Diagnostics* diag)
{
    const bool vertex = shader.stage == Shader_Stage::Vertex;
    const std::string& file = desc.files[shader.file];
    try {
        spirv_cross::CompilerGLSL glsl(std::move(spirv));
        const spirv_cross::ShaderResources res = glsl.get_shader_resources();

        // The wrapper named its located inputs and outputs after their locations.
        const auto locate = [&glsl](const auto& resources, Io_Name_Kind a, Io_Name_Kind b) {
            for (const auto& r : resources) {
                std::uint32_t location = 0;
                const std::string& name = glsl.get_name(r.id);
                if (Parse_Io_Name(name, a, &location) || Parse_Io_Name(name, b, &location))
                    glsl.set_decoration(r.id, spv::DecorationLocation, location);
            }
        };
        locate(res.stage_inputs, Io_Name_Kind::Input, Io_Name_Kind::Input);
        locate(res.stage_outputs, Io_Name_Kind::Output, Io_Name_Kind::Target);

        if (!res.separate_images.empty() || !res.separate_samplers.empty() ||
            !res.storage_buffers.empty() || !res.storage_images.empty()) {
            diag->Error(file, shader.line,
                        "'" + shader.entry + "' uses resources Direct3D 9 effects do not have");
            return false;
        }
        if (res.uniform_buffers.size() > 1) {
            diag->Error(file, shader.line, "'" + shader.entry + "' uses constant buffers");
            return false;
        }
        for (const auto& r : res.uniform_buffers) {
            glsl.set_decoration(r.id, spv::DecorationBinding,
                                vertex ? kVertex_Block_Binding : kPixel_Block_Binding);
            glsl.unset_decoration(r.id, spv::DecorationDescriptorSet);
            const spirv_cross::SPIRType& type = glsl.get_type(r.base_type_id);
            out->block_size = static_cast<std::uint32_t>(glsl.get_declared_struct_size(type));
            bool doubles = false;
            Reflect_Members(glsl, type, &out->block, &doubles);
            if (doubles) {
                diag->Error(file, shader.line, "double-precision parameters are not supported");
                return false;
            }
        }

        // Stage assignment: register(sN) where given, then declaration order
        // from the lowest free stage, so the first sampler is stage 0.
        std::vector<Sampler_Order> samplers;
        const spirv_cross::ShaderResources active =
            glsl.get_shader_resources(glsl.get_active_interface_variables());
        for (const auto& r : active.sampled_images) {
            const std::string& name = glsl.get_name(r.id);
            const int p = desc.Find_Parameter(name);
            Sampler_Order s{r.id, p < 0 ? 1 << 30 : p, -1, name};
            if (p >= 0) s.reg = desc.parameters[static_cast<std::size_t>(p)].sampler_register;
            samplers.push_back(s);
        }
        std::sort(samplers.begin(), samplers.end(),
                  [](const Sampler_Order& a, const Sampler_Order& b) { return a.declaration < b.declaration; });
        const std::uint32_t first = vertex ? kVertex_Sampler_First_Stage : 0;
        const std::uint32_t limit = vertex ? 4 : kVertex_Sampler_First_Stage;
        std::vector<bool> used(limit, false);
        for (Sampler_Order& s : samplers)
            if (s.reg >= 0) {
                if (static_cast<std::uint32_t>(s.reg) >= limit) {
                    diag->Error(file, shader.line, "sampler '" + s.name + "': register s" +
                                                       std::to_string(s.reg) + " is out of range");
                    return false;
                }
                used[static_cast<std::size_t>(s.reg)] = true;
            }
        for (Sampler_Order& s : samplers) {
            if (s.reg < 0) {
                std::uint32_t k = 0;
                while (k < limit && used[k]) ++k;
                if (k >= limit) {
                    diag->Error(file, shader.line, "'" + shader.entry + "' uses too many samplers");
                    return false;
                }
                used[k] = true;
                s.reg = static_cast<int>(k);
            }
            const std::uint32_t stage = first + static_cast<std::uint32_t>(s.reg);
            glsl.set_decoration(s.id, spv::DecorationBinding, stage);
            glsl.unset_decoration(s.id, spv::DecorationDescriptorSet);
            out->samplers.push_back({s.name, stage});
        }

        spirv_cross::CompilerGLSL::Options options;
        options.version = 450;
        options.es = false;
        options.separate_shader_objects = true;
        options.vulkan_semantics = false;
        options.enable_420pack_extension = true;
        options.vertex.fixup_clipspace = false;
        options.vertex.flip_vert_y = false;
        glsl.set_common_options(options);
        out->glsl = glsl.compile();
    } catch (const std::exception& e) {
        diag->Error(file, shader.line,
                    "'" + shader.entry + "' cannot be translated to GLSL: " + e.what());
        return false;
    }
    return true;
}

bool Link_Program(const Effect_Desc& desc, const Shader_Compile& shader, Compiled_Stage* out,
                  Diagnostics* diag)
{
    if (out->glsl.size() > kMax_Glsl_Bytes) {
        diag->Error(desc.files[shader.file], shader.line,
                    "'" + shader.entry + "': the generated GLSL is longer than " +
                        std::to_string(kMax_Glsl_Bytes) + " bytes");
        return false;
    }
    const char* src = out->glsl.c_str();
    const GLuint program = glCreateShaderProgramv(
        shader.stage == Shader_Stage::Vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER, 1, &src);
    GLint linked = 0;
    if (program) glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!program || !linked) {
        std::string log = "no GL program";
        if (program) {
            GLint length = 0;
            glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
            log.assign(static_cast<std::size_t>(std::max(length, 1)), '\0');
            glGetProgramInfoLog(program, length, nullptr, log.data());
            log.resize(std::strlen(log.c_str()));
            glDeleteProgram(program);
        }
        diag->Error(desc.files[shader.file], shader.line,
                    "'" + shader.entry + "': the GL driver rejects the generated shader: " + log);
        return false;
    }
    out->program = program;
    return true;
}

}  // namespace

std::uint64_t Shader_Compile_Count() { return g_compiles; }

std::shared_ptr<const Compiled_Stage> Compile_Shader(const Effect_Desc& desc, std::size_t index,
                                                     Diagnostics* diagnostics)
{
    const Shader_Compile& shader = desc.shaders[index];
    std::string wrapper;
    if (!Build_Entry_Wrapper(desc, shader, &wrapper, diagnostics)) return nullptr;

    std::string source = desc.hlsl.text;
    std::vector<std::pair<std::uint16_t, std::uint32_t>> origins = desc.hlsl.line_origins;
    source += "\n";
    origins.emplace_back(shader.file, shader.line);
    for (char c : wrapper)
        if (c == '\n') origins.emplace_back(shader.file, shader.line);
    source += wrapper;

    // The parser keeps the effect's own code within the limit; the wrapper and
    // the `compile` arguments come on top.
    if (source.size() > kMax_Shader_Source_Bytes) {
        diagnostics->Error(desc.files[shader.file], shader.line,
                           "'" + shader.entry + "': shader code longer than " +
                               std::to_string(kMax_Shader_Source_Bytes) + " bytes");
        return nullptr;
    }

    std::string key = shader.stage == Shader_Stage::Vertex ? "vs\n" : "ps\n";
    key += source;
    auto& cache = Cache();
    if (auto it = cache.find(key); it != cache.end()) return it->second;

    std::vector<std::uint32_t> spirv;
    std::string log;
    if (!Hlsl_To_Spirv(source, shader.stage, &spirv, &log)) {
        Report_Compiler_Log(log, desc, origins, shader, diagnostics);
        return nullptr;
    }
    auto stage = std::make_shared<Compiled_Stage>();
    stage->stage = shader.stage;
    if (!Translate(desc, shader, std::move(spirv), stage.get(), diagnostics)) return nullptr;
    if (!Link_Program(desc, shader, stage.get(), diagnostics)) return nullptr;
    ++g_compiles;
    cache.emplace(std::move(key), stage);
    return stage;
}

}  // namespace qm_fx
