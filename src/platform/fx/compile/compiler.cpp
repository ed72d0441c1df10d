// SPIR-V to GLSL 4.50 (SPIRV-Cross), the GL program, and the process-wide
// cache of compiled shaders.
#include "platform/fx/compile/compiler.h"

#include <spirv_cross/spirv_glsl.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "platform/fx/compile/assembly.h"
#include "platform/fx/compile/io_names.h"
#include "platform/fx/compile/isolation.h"
#include "platform/fx/compile/stage_cache.h"
#include "platform/fx/glslang_gaps.h"
#include "platform/fx/limits.h"

namespace qm_fx {

namespace {

std::uint64_t g_compiles = 0;
std::uint64_t g_translations = 0;

// The shader cache outlives effect instances, which come and go; GL programs
// are shared by every device of a namespace.
Stage_Cache& Cache() {
    static Stage_Cache* cache = New_Stage_Cache();
    return *cache;
}

// Rewrites glslang's "ERROR: 0:LINE: text" lines as "file(line): error: text"
// with the line taken back to the effect source.
void Report_Compiler_Log(const std::string& log, const Effect_Desc& desc,
                         const std::vector<std::pair<std::uint16_t, std::uint32_t>>& origins,
                         const Shader_Compile& shader, Diagnostics* diag) {
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
        const std::size_t colon2 =
            colon1 == std::string::npos ? colon1 : line.find(':', colon1 + 1);
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
        // A written parameter becomes a private copy (Copy_Written_Parameters)
        // when the write is one we recognise; glslang words the others in
        // terms of its own uniform block.
        if (line.find("can't modify a uniform") != std::string::npos) {
            line =
                "the shader writes to a parameter in a form the effect compiler does not "
                "follow (assign to the parameter by name, or copy it to a static first)";
            if (any && diag->Text().find(line) != std::string::npos) continue;
        }
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
                     std::vector<Block_Node>* out, bool* doubles) {
    for (std::uint32_t i = 0; i < type.member_types.size(); ++i) {
        const spirv_cross::SPIRType& mt = glsl.get_type(type.member_types[i]);
        Block_Node n;
        n.name = Parameter_Of_Uniform(glsl.get_member_name(type.self, i));
        n.offset = glsl.type_struct_member_offset(type, i);
        if (!mt.array.empty()) {
            // An array of arrays is stored as one array of all its elements:
            // the outer stride is the inner stride times the inner length.
            std::uint32_t count = 1;
            for (const std::uint32_t d : mt.array) count *= d;
            n.array_size = count;
            n.array_stride =
                glsl.type_struct_member_array_stride(type, i) /
                std::max<std::uint32_t>(1, count / std::max<std::uint32_t>(1, mt.array.back()));
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

// What the worker needs to translate one shader: the whole HLSL, the stage,
// the entry's name for messages, and the parameters in declaration order
// with their register(sN) (-1 when none) to place the samplers.
struct Translation_Request {
    Shader_Stage stage = Shader_Stage::Vertex;
    std::string entry;
    std::string source;
    std::vector<std::pair<std::string, int>> parameters;
};

// Runs in the compile worker: its messages are collected as plain texts that
// the parent reports at the shader's `compile` line.
bool Translate(const Translation_Request& request, std::vector<std::uint32_t> spirv,
               Compiled_Stage* out, std::vector<std::string>* errors) {
    const bool vertex = request.stage == Shader_Stage::Vertex;
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
            errors->push_back("'" + request.entry +
                              "' uses resources Direct3D 9 effects do not have");
            return false;
        }
        if (res.uniform_buffers.size() > 1) {
            errors->push_back("'" + request.entry + "' uses constant buffers");
            return false;
        }
        for (const auto& r : res.uniform_buffers) {
            glsl.set_decoration(r.id, spv::DecorationBinding,
                                vertex ? k_vertex_block_binding : k_pixel_block_binding);
            glsl.unset_decoration(r.id, spv::DecorationDescriptorSet);
            const spirv_cross::SPIRType& type = glsl.get_type(r.base_type_id);
            out->block_size = static_cast<std::uint32_t>(glsl.get_declared_struct_size(type));
            bool doubles = false;
            Reflect_Members(glsl, type, &out->block, &doubles);
            if (doubles) {
                errors->push_back("double-precision parameters are not supported");
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
            int p = -1;
            for (std::size_t i = 0; i < request.parameters.size() && p < 0; ++i)
                if (request.parameters[i].first == name) p = static_cast<int>(i);
            Sampler_Order s{r.id, p < 0 ? 1 << 30 : p, -1, name};
            if (p >= 0) s.reg = request.parameters[static_cast<std::size_t>(p)].second;
            samplers.push_back(s);
        }
        std::sort(samplers.begin(), samplers.end(),
                  [](const Sampler_Order& a, const Sampler_Order& b) {
                      return a.declaration < b.declaration;
                  });
        const std::uint32_t first = vertex ? k_vertex_sampler_first_stage : 0;
        const std::uint32_t limit = vertex ? 4 : k_pixel_sampler_count;
        std::vector<bool> used(limit, false);
        for (Sampler_Order& s : samplers)
            if (s.reg >= 0) {
                if (static_cast<std::uint32_t>(s.reg) >= limit) {
                    errors->push_back("sampler '" + s.name + "': register s" +
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
                    errors->push_back("'" + request.entry + "' uses too many samplers");
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
        // The wrapper functions SPIRV-Cross writes around loads of row-major
        // matrices (for some old drivers) have no overload for arrays of
        // them, which a skinning palette passed to a function is.
        options.enable_row_major_load_workaround = false;
        options.vertex.fixup_clipspace = false;
        options.vertex.flip_vert_y = false;
        glsl.set_common_options(options);
        out->glsl = glsl.compile();
    } catch (const std::exception& e) {
        errors->push_back("'" + request.entry + "' cannot be translated to GLSL: " + e.what());
        return false;
    }
    return true;
}

// What the compile child hands back: glslang's log when the HLSL does not
// compile, the translation's own complaints, or the stage without its GL
// program. Failures are kept too, so a source that crashes or hangs the
// compiler is not handed to it again.
struct Translation {
    bool hlsl_ok = false;
    std::string log;                  // glslang's messages when !hlsl_ok
    std::vector<std::string> errors;  // translation errors, at the compile line
    std::string failure;              // the child crashed, ran out of time, ...
    Compiled_Stage stage;
};

class Writer {
public:
    void U32(std::uint32_t v) { bytes_.append(reinterpret_cast<const char*>(&v), sizeof v); }
    void Str(const std::string& s) {
        U32(static_cast<std::uint32_t>(s.size()));
        bytes_ += s;
    }
    void Nodes(const std::vector<Block_Node>& nodes) {
        U32(static_cast<std::uint32_t>(nodes.size()));
        for (const Block_Node& n : nodes) {
            Str(n.name);
            U32(static_cast<std::uint32_t>(n.kind));
            U32(n.offset);
            U32(n.components);
            U32(n.columns);
            U32(n.matrix_stride);
            U32(n.row_major ? 1 : 0);
            U32(n.array_size);
            U32(n.array_stride);
            Nodes(n.members);
        }
    }
    std::string Take() { return std::move(bytes_); }

private:
    std::string bytes_;
};

// Reads what Writer wrote; any shortfall makes the whole reading fail.
class Reader {
public:
    explicit Reader(const std::string& bytes) : bytes_(bytes) {}
    bool Ok() const { return ok_; }
    std::uint32_t U32() {
        std::uint32_t v = 0;
        if (!ok_ || bytes_.size() - at_ < sizeof v) {
            ok_ = false;
            return 0;
        }
        std::memcpy(&v, bytes_.data() + at_, sizeof v);
        at_ += sizeof v;
        return v;
    }
    std::string Str() {
        const std::uint32_t n = U32();
        if (!ok_ || bytes_.size() - at_ < n) {
            ok_ = false;
            return {};
        }
        std::string s = bytes_.substr(at_, n);
        at_ += n;
        return s;
    }
    void Nodes(std::vector<Block_Node>* nodes, int depth) {
        const std::uint32_t count = U32();
        if (!ok_ || depth > 64 || count > bytes_.size()) {
            ok_ = false;
            return;
        }
        for (std::uint32_t i = 0; i < count && ok_; ++i) {
            Block_Node n;
            n.name = Str();
            n.kind = static_cast<Block_Node::Kind>(std::min<std::uint32_t>(U32(), 4));
            n.offset = U32();
            n.components = U32();
            n.columns = U32();
            n.matrix_stride = U32();
            n.row_major = U32() != 0;
            n.array_size = U32();
            n.array_stride = U32();
            Nodes(&n.members, depth + 1);
            nodes->push_back(std::move(n));
        }
    }

private:
    const std::string& bytes_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

std::string Serialize(const Translation& t) {
    Writer w;
    w.U32(t.hlsl_ok ? 1 : 0);
    w.Str(t.log);
    w.U32(static_cast<std::uint32_t>(t.errors.size()));
    for (const std::string& e : t.errors) w.Str(e);
    w.Str(t.stage.glsl);
    w.U32(t.stage.block_size);
    w.Nodes(t.stage.block);
    w.U32(static_cast<std::uint32_t>(t.stage.samplers.size()));
    for (const Stage_Sampler& s : t.stage.samplers) {
        w.Str(s.name);
        w.U32(s.stage);
    }
    return w.Take();
}

bool Deserialize(const std::string& bytes, Translation* t) {
    Reader r(bytes);
    t->hlsl_ok = r.U32() != 0;
    t->log = r.Str();
    const std::uint32_t errors = r.U32();
    for (std::uint32_t i = 0; i < errors && r.Ok(); ++i) t->errors.push_back(r.Str());
    t->stage.glsl = r.Str();
    t->stage.block_size = r.U32();
    r.Nodes(&t->stage.block, 0);
    const std::uint32_t samplers = r.U32();
    for (std::uint32_t i = 0; i < samplers && r.Ok(); ++i) {
        Stage_Sampler s;
        s.name = r.Str();
        s.stage = r.U32();
        t->stage.samplers.push_back(std::move(s));
    }
    return r.Ok();
}

std::string Serialize(const Translation_Request& q) {
    Writer w;
    w.U32(q.stage == Shader_Stage::Vertex ? 0 : 1);
    w.Str(q.entry);
    w.Str(q.source);
    w.U32(static_cast<std::uint32_t>(q.parameters.size()));
    for (const auto& [name, reg] : q.parameters) {
        w.Str(name);
        w.U32(static_cast<std::uint32_t>(reg + 1));
    }
    return w.Take();
}

// The pure part of a compile: HLSL to SPIR-V to GLSL, no GL. This is what
// runs in the worker.
std::string Translate_Request_Bytes(const std::string& bytes) {
    Reader r(bytes);
    Translation_Request q;
    q.stage = r.U32() == 0 ? Shader_Stage::Vertex : Shader_Stage::Pixel;
    q.entry = r.Str();
    q.source = r.Str();
    const std::uint32_t count = r.U32();
    for (std::uint32_t i = 0; i < count && r.Ok(); ++i) {
        std::string name = r.Str();
        const int reg = static_cast<int>(r.U32()) - 1;
        q.parameters.emplace_back(std::move(name), reg);
    }
    if (!r.Ok()) throw std::runtime_error("damaged request");

    Translation t;
    std::vector<std::uint32_t> spirv;
    t.hlsl_ok = Hlsl_To_Spirv(q.source, q.stage, &spirv, &t.log);
    if (t.hlsl_ok) Translate(q, std::move(spirv), &t.stage, &t.errors);
    return Serialize(t);
}

// Translation results of every source seen that did not end as a cached GL
// program, keyed like the shader cache.
Byte_Lru_Cache<Translation>& Translations() {
    static auto* cache = new Byte_Lru_Cache<Translation>(k_failed_stage_cache_bytes);
    return *cache;
}

}  // namespace

bool Link_Program(const Effect_Desc& desc, const Shader_Compile& shader, Compiled_Stage* out,
                  Diagnostics* diag) {
    if (out->glsl.size() > k_max_glsl_bytes) {
        diag->Error(desc.files[shader.file], shader.line,
                    "'" + shader.entry + "': the generated GLSL is longer than " +
                        std::to_string(k_max_glsl_bytes) + " bytes");
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

void Trim_Stage_Cache() {
    Cache().Trim();
}

void Set_Stage_Cache_Budget(std::size_t bytes) {
    Cache().Set_Budget(bytes);
}

std::uint64_t Shader_Compile_Count() {
    return g_compiles;
}
std::uint64_t Shader_Translation_Count() {
    return g_translations;
}

std::shared_ptr<const Compiled_Stage> Compile_Shader(const Effect_Desc& desc, std::size_t index,
                                                     Diagnostics* diagnostics) {
    const Shader_Compile& shader = desc.shaders[index];
    if (!shader.assembly.empty()) return Compile_Asm_Shader(desc, index, diagnostics);
    const std::string hlsl = Copy_Written_Parameters(desc);
    std::string wrapper;
    std::vector<Gl_Attribute_Remap> remap;
    if (!Build_Entry_Wrapper(desc, shader, &wrapper, &remap, diagnostics)) return nullptr;

    std::vector<std::pair<std::uint16_t, std::uint32_t>> origins;
    std::string source = Glslang_Gap_Helpers(desc, hlsl);
    for (char c : source)
        if (c == '\n') origins.emplace_back(shader.file, shader.line);
    source += hlsl;
    origins.insert(origins.end(), desc.hlsl.line_origins.begin(), desc.hlsl.line_origins.end());
    source += "\n";
    origins.emplace_back(shader.file, shader.line);
    for (char c : wrapper)
        if (c == '\n') origins.emplace_back(shader.file, shader.line);
    source += wrapper;

    // The parser keeps the effect's own code within the limit; what we add
    // (helpers, copies, the wrapper with the `compile` arguments) comes on top.
    if (source.size() - desc.hlsl.text.size() > k_max_shader_source_bytes) {
        diagnostics->Error(desc.files[shader.file], shader.line,
                           "'" + shader.entry + "': shader code longer than " +
                               std::to_string(k_max_shader_source_bytes) + " bytes");
        return nullptr;
    }

    std::string key = Stage_Key_Prefix();
    key += shader.stage == Shader_Stage::Vertex ? "vs\n" : "ps\n";
    key += source;
    auto& cache = Cache();
    if (auto found = cache.Find(key)) return found;

    // glslang and SPIRV-Cross run in a child process, so that their faults
    // fail this shader and nothing else.
    auto& translations = Translations();
    std::shared_ptr<Translation> known = translations.Find(key);
    if (!known) {
        known = std::make_shared<Translation>();
        Translation& t = *known;
        // A worker forked from here inherits glslang's tables; one started
        // early builds its own.
        if (!Worker_Running()) Warm_Up_Hlsl_Compiler();
        Translation_Request q;
        q.stage = shader.stage;
        q.entry = shader.entry;
        q.source = source;
        for (const Parameter& p : desc.parameters)
            q.parameters.emplace_back(p.name, p.sampler_register);
        const Isolated_Result r =
            Run_In_Worker(Translate_Request_Bytes, Serialize(q), Compile_Limits());
        ++g_translations;
        if (!r.ok)
            t.failure = r.failure;
        else if (!Deserialize(r.bytes, &t))
            t.failure = "the shader compiler handed back a damaged result";
        translations.Insert(key, known,
                            sizeof t + t.log.size() + t.failure.size() + t.stage.glsl.size() +
                                t.errors.size() * 64);
    }
    const Translation& t = *known;
    if (!t.failure.empty()) {
        diagnostics->Error(desc.files[shader.file], shader.line,
                           "'" + shader.entry + "': " + t.failure);
        return nullptr;
    }
    if (!t.hlsl_ok) {
        Report_Compiler_Log(t.log, desc, origins, shader, diagnostics);
        return nullptr;
    }
    if (!t.errors.empty()) {
        for (const std::string& e : t.errors)
            diagnostics->Error(desc.files[shader.file], shader.line, e);
        return nullptr;
    }
    auto stage = std::make_shared<Compiled_Stage>(t.stage);
    stage->stage = shader.stage;
    stage->attribute_remap = std::move(remap);
    if (!Link_Program(desc, shader, stage.get(), diagnostics)) return nullptr;
    // From here on the shader cache has it; the translation is not needed.
    translations.Erase(key);
    ++g_compiles;
    const std::size_t bytes = Stage_Bytes(*stage);
    cache.Insert(std::move(key), stage, bytes);
    return stage;
}

bool Start_Compile_Worker() {
    return Start_Worker_Now(Compile_Limits(), Warm_Up_Hlsl_Compiler);
}

}  // namespace qm_fx
