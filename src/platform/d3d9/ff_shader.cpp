#include "platform/d3d9/ff_shader.h"

#include <cstdio>
#include <vector>

#include "platform/d3d9/gl_device.h"

namespace qm_d3d9 {

namespace {

// The vertex half's uniform block exactly as Ff_Uniform_Block lays it out.
std::string Block_Source() {
    return "struct Ff_Light {\n"
           "    vec4 diffuse; vec4 specular; vec4 ambient;\n"
           "    vec4 position; vec4 direction;\n"
           "    vec4 range_falloff_att01; vec4 att2_cos_theta_cos_phi;\n"
           "};\n"
           "layout(std140, binding = " +
           std::to_string(Gl_First_Device_Ubo_Binding) +
           ") uniform Ff_State {\n"
           "    mat4 world_view; mat4 world_view_proj; mat4 normal_matrix;\n"
           "    vec4 viewport; vec4 pixel_offset;\n"
           "    vec4 material_diffuse; vec4 material_ambient; vec4 material_specular;\n"
           "    vec4 material_emissive; vec4 material_power;\n"
           "    vec4 global_ambient;\n"
           "    Ff_Light lights[" +
           std::to_string(k_ff_lights) +
           "];\n"
           "} ff;\n";
}

// The fragment half's block, as Ff_Fragment_Block lays it out.
std::string Fragment_Block_Source() {
    return "layout(std140, binding = " + std::to_string(Gl_Ff_Fragment_Ubo_Binding) +
           ") uniform Ff_Fragment_State {\n"
           "    vec4 texture_factor; vec4 alpha_ref;\n"
           "} ff;\n";
}

std::string Float_Literal(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", double(value));
    return text;
}

std::string Loc(GLuint location) {
    return "layout(location = " + std::to_string(location) + ") ";
}

const char* Material_Source(std::uint8_t source, const char* material) {
    switch (source) {
    case D3DMCS_COLOR1: return "in_color0";
    case D3DMCS_COLOR2: return "in_color1";
    default: return material;
    }
}

// One light slot of the vertex code; the kind is fixed by the key so the
// branches on the type vanish.
std::string Light_Source(int i, std::uint8_t kind, bool specular, bool local_viewer) {
    const std::string l = "ff.lights[" + std::to_string(i) + "]";
    std::string s = "    {\n        vec3 L; float k = 1.0;\n";
    if (kind == Ff_Light_Directional) {
        s += "        L = -" + l + ".direction.xyz;\n";
    } else {
        s += "        vec3 to_light = " + l +
             ".position.xyz - P;\n"
             "        float d = length(to_light);\n"
             "        L = d > 0.0 ? to_light / d : vec3(0.0);\n"
             "        if (d > " +
             l +
             ".range_falloff_att01.x) {\n"
             "            k = 0.0;\n"
             "        } else {\n"
             "            float den = " +
             l + ".range_falloff_att01.z + " + l + ".range_falloff_att01.w * d + " + l +
             ".att2_cos_theta_cos_phi.x * d * d;\n"
             "            k = den > 0.0 ? 1.0 / den : 1.0;\n"
             "        }\n";
        if (kind == Ff_Light_Spot) {
            s += "        float rho = dot(" + l +
                 ".direction.xyz, -L);\n"
                 "        float cos_theta = " +
                 l +
                 ".att2_cos_theta_cos_phi.y;\n"
                 "        float cos_phi = " +
                 l +
                 ".att2_cos_theta_cos_phi.z;\n"
                 "        if (rho <= cos_phi) {\n"
                 "            k = 0.0;\n"
                 "        } else if (rho <= cos_theta) {\n"
                 "            float t = (rho - cos_phi) / (cos_theta - cos_phi);\n"
                 "            k *= pow(t, " +
                 l +
                 ".range_falloff_att01.y);\n"
                 "        }\n";
        }
    }
    s += "        diffuse += " + l +
         ".diffuse.rgb * (max(dot(N, L), 0.0) * k);\n"
         "        ambient += " +
         l + ".ambient.rgb * k;\n";
    if (specular) {
        if (local_viewer)
            s += "        vec3 H = normalize(to_eye + L);\n";
        else
            s += "        vec3 H = normalize(vec3(0.0, 0.0, 1.0) + L);\n";
        s += "        float nh = max(dot(N, H), 0.0);\n"
             "        float power = ff.material_power.x;\n"
             "        float shine = nh > 0.0 ? pow(nh, power) : (power <= 0.0 ? 1.0 : 0.0);\n"
             "        specular += " +
             l + ".specular.rgb * (shine * k);\n";
    }
    s += "    }\n";
    return s;
}

std::string Arg(std::uint8_t arg, bool alpha) {
    std::string base;
    switch (arg & 0x0F) {
    case D3DTA_DIFFUSE: base = "diffuse"; break;
    case D3DTA_CURRENT: base = "current"; break;
    case D3DTA_TEXTURE: base = "texel"; break;
    case D3DTA_TFACTOR: base = "ff.texture_factor"; break;
    case D3DTA_SPECULAR: base = "specular"; break;
    default: base = "vec4(0.0)"; break;  // temporary register and constants: unused here
    }
    constexpr std::uint8_t complement = 0x10, alpha_replicate = 0x20;
    if (arg & alpha_replicate) base = "vec4(" + base + ".a)";
    if (arg & complement) base = "(vec4(1.0) - " + base + ")";
    return base + (alpha ? ".a" : ".rgb");
}

bool Uses_Arg1(std::uint8_t op) {
    return op != D3DTOP_DISABLE && op != D3DTOP_SELECTARG2;
}
bool Uses_Arg2(std::uint8_t op) {
    return op != D3DTOP_DISABLE && op != D3DTOP_SELECTARG1;
}

// Expression of one texture-stage operation on colour (rgb) or alpha.
std::string Stage_Op(std::uint8_t op, std::uint8_t arg1, std::uint8_t arg2, bool alpha,
                     bool have_texture) {
    const std::string current = alpha ? "current.a" : "current.rgb";
    const bool reads_texture = (Uses_Arg1(op) && (arg1 & 0x0F) == D3DTA_TEXTURE) ||
                               (Uses_Arg2(op) && (arg2 & 0x0F) == D3DTA_TEXTURE);
    // A stage whose texture is missing passes the diffuse colour on.
    if (reads_texture && !have_texture) return current;
    const std::string a = Arg(arg1, alpha), b = Arg(arg2, alpha);
    auto blend = [&](const std::string& f) { return "mix(" + b + ", " + a + ", " + f + ")"; };
    switch (op) {
    case D3DTOP_SELECTARG1: return a;
    case D3DTOP_SELECTARG2: return b;
    case D3DTOP_MODULATE: return a + " * " + b;
    case D3DTOP_MODULATE2X: return "(" + a + " * " + b + ") * 2.0";
    case D3DTOP_MODULATE4X: return "(" + a + " * " + b + ") * 4.0";
    case D3DTOP_ADD: return a + " + " + b;
    case 8: return a + " + " + b + " - 0.5";                    // ADDSIGNED
    case 9: return "(" + a + " + " + b + " - 0.5) * 2.0";       // ADDSIGNED2X
    case 10: return a + " - " + b;                              // SUBTRACT
    case 11: return a + " + " + b + " - " + a + " * " + b;      // ADDSMOOTH
    case 12: return blend("diffuse.a");                         // BLENDDIFFUSEALPHA
    case 13: return have_texture ? blend("texel.a") : current;  // BLENDTEXTUREALPHA
    case 14: return blend("ff.texture_factor.a");               // BLENDFACTORALPHA
    case 15: return have_texture ? a + " + " + b + " * (1.0 - texel.a)" : current;  // ...ALPHAPM
    case 16: return blend("current.a");  // BLENDCURRENTALPHA
    default: return current;             // DISABLE and the rest
    }
}

const char* Compare(std::uint8_t func) {
    switch (func) {
    case D3DCMP_NEVER: return "false";
    case D3DCMP_LESS: return "a8 < ff.alpha_ref.x";
    case D3DCMP_EQUAL: return "a8 == ff.alpha_ref.x";
    case D3DCMP_LESSEQUAL: return "a8 <= ff.alpha_ref.x";
    case D3DCMP_GREATER: return "a8 > ff.alpha_ref.x";
    case D3DCMP_NOTEQUAL: return "a8 != ff.alpha_ref.x";
    case D3DCMP_GREATEREQUAL: return "a8 >= ff.alpha_ref.x";
    default: return "true";
    }
}

}  // namespace

std::string Ff_Vertex_Source(const Ff_Vertex_Key& key) {
    std::string s = "#version 450\n";
    s += "out gl_PerVertex { vec4 gl_Position; };\n";
    s += Block_Source();
    s += Loc(Gl_Attribute::Position0) + "in vec4 in_position;\n";
    s += Loc(Gl_Attribute::Normal0) + "in vec3 in_normal;\n";
    s += Loc(Gl_Attribute::Color0) + "in vec4 in_color0;\n";
    s += Loc(Gl_Attribute::Color1) + "in vec4 in_color1;\n";
    for (int i = 0; i < 8; ++i)
        s += Loc(Gl_Attribute::Texcoord0 + i) + "in vec4 in_texcoord" + std::to_string(i) + ";\n";
    s += Loc(Gl_Varying::Color0) + "out vec4 out_color0;\n";
    s += Loc(Gl_Varying::Color1) + "out vec4 out_color1;\n";
    const int texcoord_outputs = key.all_texcoords ? 8 : 1;
    for (int i = 0; i < texcoord_outputs; ++i)
        s += Loc(Gl_Varying::Texcoord0 + i) + "out vec4 out_texcoord" + std::to_string(i) + ";\n";
    s += "void main() {\n";

    if (key.pretransformed) {
        // Screen pixels, pixel centres on integers as in Direct3D 9; rhw
        // restores w so that interpolation stays perspective-correct.
        s += "    float w = in_position.w != 0.0 ? 1.0 / in_position.w : 1.0;\n"
             "    vec2 ndc = vec2((in_position.x + 0.5 - ff.viewport.x) / ff.viewport.z * 2.0 - "
             "1.0,\n"
             "                    1.0 - (in_position.y + " +
             Float_Literal(0.5f - k_edge_nudge) +
             " - ff.viewport.y) / ff.viewport.w * 2.0);\n"
             "    gl_Position = vec4(ndc * w, in_position.z * w, w);\n";
    } else {
        s += "    vec4 clip = ff.world_view_proj * in_position;\n"
             "    gl_Position = clip + vec4(ff.pixel_offset.xy * clip.w, 0.0, 0.0);\n";
    }

    if (key.lighting && !key.pretransformed) {
        s += "    vec3 P = (ff.world_view * in_position).xyz;\n";
        if (key.has_normal) {
            s += "    vec3 N = mat3(ff.normal_matrix) * in_normal;\n";
            if (key.normalize_normals) s += "    if (dot(N, N) > 0.0) N = normalize(N);\n";
        } else {
            s += "    vec3 N = vec3(0.0);\n";
        }
        s += "    vec3 to_eye = dot(P, P) > 0.0 ? normalize(-P) : vec3(0.0, 0.0, -1.0);\n";
        s += std::string("    vec4 Md = ") +
             Material_Source(key.diffuse_source, "ff.material_diffuse") + ";\n";
        s += std::string("    vec4 Ma = ") +
             Material_Source(key.ambient_source, "ff.material_ambient") + ";\n";
        s += std::string("    vec4 Ms = ") +
             Material_Source(key.specular_source, "ff.material_specular") + ";\n";
        s += std::string("    vec4 Me = ") +
             Material_Source(key.emissive_source, "ff.material_emissive") + ";\n";
        s += "    vec3 diffuse = vec3(0.0), ambient = vec3(0.0), specular = vec3(0.0);\n";
        for (int i = 0; i < k_ff_lights; ++i)
            if (key.lights[i] != Ff_Light_None)
                s += Light_Source(i, key.lights[i], key.specular != 0, key.local_viewer != 0);
        s += "    out_color0 = clamp(vec4(Me.rgb + Ma.rgb * (ff.global_ambient.rgb + ambient) + "
             "Md.rgb * diffuse, Md.a), 0.0, 1.0);\n";
        if (key.specular)
            s += "    out_color1 = clamp(vec4(Ms.rgb * specular, Ms.a), 0.0, 1.0);\n";
        else
            s += "    out_color1 = vec4(0.0);\n";
    } else {
        s += key.has_color0 ? "    out_color0 = in_color0;\n" : "    out_color0 = vec4(1.0);\n";
        s += key.has_color1 ? "    out_color1 = in_color1;\n" : "    out_color1 = vec4(0.0);\n";
    }
    s += "    out_texcoord0 = in_texcoord" + std::to_string(key.texcoord0_source & 7) + ";\n";
    for (int i = 1; i < texcoord_outputs; ++i)
        s += "    out_texcoord" + std::to_string(i) + " = in_texcoord" + std::to_string(i) + ";\n";
    s += "}\n";
    return s;
}

std::string Ff_Fragment_Source(const Ff_Fragment_Key& key) {
    const std::string interpolation = key.flat ? "flat " : "";
    std::string s = "#version 450\n";
    s += "%BLOCK%";
    s += Loc(Gl_Varying::Color0) + interpolation + "in vec4 in_color0;\n";
    s += Loc(Gl_Varying::Color1) + interpolation + "in vec4 in_color1;\n";
    s += Loc(Gl_Varying::Texcoord0) + "in vec4 in_texcoord0;\n";
    if (key.texture == 1) s += "layout(binding = 0) uniform sampler2D stage0;\n";
    if (key.texture == 2) s += "layout(binding = 0) uniform samplerCube stage0;\n";
    s += "layout(location = 0) out vec4 out_color;\n";
    s += "void main() {\n"
         "    vec4 diffuse = in_color0;\n"
         "    vec4 specular = in_color1;\n"
         "    vec4 current = diffuse;\n";
    if (key.texture == 1) s += "    vec4 texel = texture(stage0, in_texcoord0.xy);\n";
    if (key.texture == 2) s += "    vec4 texel = texture(stage0, in_texcoord0.xyz);\n";
    if (key.texture == 0) s += "    vec4 texel = vec4(1.0);\n";
    const bool have_texture = key.texture != 0;
    std::string color = Stage_Op(key.color_op, key.color_arg1, key.color_arg2, false, have_texture);
    // With the colour operation disabled the whole stage is off, alpha included.
    std::string alpha =
        key.color_op == D3DTOP_DISABLE
            ? std::string("current.a")
            : Stage_Op(key.alpha_op, key.alpha_arg1, key.alpha_arg2, true, have_texture);
    s += "    vec3 color = clamp(" + color + ", 0.0, 1.0);\n";
    s += "    float alpha = clamp(" + alpha + ", 0.0, 1.0);\n";
    if (key.specular_add) s += "    color = min(color + specular.rgb, vec3(1.0));\n";
    if (key.alpha_func) {
        s += "    float a8 = floor(alpha * 255.0 + 0.5);\n";
        s += std::string("    if (!(") + Compare(key.alpha_func) + ")) discard;\n";
    }
    s += "    out_color = vec4(color, alpha);\n}\n";
    // Only a program that reads the texture factor or the alpha reference
    // declares their block: a fragment stage without one needs nothing
    // copied when the vertex data of each draw changes.
    const std::size_t at = s.find("%BLOCK%");
    s.replace(at, 7,
              (s.find("ff.texture_factor") != std::string::npos ||
               s.find("ff.alpha_ref") != std::string::npos)
                  ? Fragment_Block_Source()
                  : std::string());
    return s;
}

GLuint Compile_Separable_Program(GLenum stage, const std::string& source, std::string* log) {
    const char* text = source.c_str();
    GLuint program = glCreateShaderProgramv(stage, 1, &text);
    GLint linked = GL_FALSE;
    if (program) glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (program && linked == GL_TRUE) return program;
    if (log) {
        log->clear();
        if (program) {
            GLint length = 0;
            glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
            std::vector<char> text_log(std::size_t(length > 0 ? length : 1), '\0');
            glGetProgramInfoLog(program, GLsizei(text_log.size()), nullptr, text_log.data());
            *log = text_log.data();
        } else {
            *log = "glCreateShaderProgramv failed";
        }
    }
    if (program) glDeleteProgram(program);
    return 0;
}

GLuint Ff_Program_Cache::Vertex_Program(const Ff_Vertex_Key& key) {
    auto found = vertex_.find(key);
    if (found != vertex_.end()) return found->second;
    std::string log;
    const std::string source = Ff_Vertex_Source(key);
    GLuint program = Compile_Separable_Program(GL_VERTEX_SHADER, source, &log);
    // A failure is not remembered: without a current context every
    // compilation fails, and the next attempt may have one.
    if (!program)
        std::fprintf(stderr, "d3d9: fixed-function vertex program failed:\n%s\n%s\n", log.c_str(),
                     source.c_str());
    else
        vertex_.emplace(key, program);
    return program;
}

GLuint Ff_Program_Cache::Fragment_Program(const Ff_Fragment_Key& key) {
    auto found = fragment_.find(key);
    if (found != fragment_.end()) return found->second;
    std::string log;
    const std::string source = Ff_Fragment_Source(key);
    GLuint program = Compile_Separable_Program(GL_FRAGMENT_SHADER, source, &log);
    if (!program)
        std::fprintf(stderr, "d3d9: fixed-function fragment program failed:\n%s\n%s\n", log.c_str(),
                     source.c_str());
    else
        fragment_.emplace(key, program);
    return program;
}

Ff_Program_Cache& Ff_Programs(int share_group) {
    static Ff_Program_Cache caches[2];
    return caches[share_group == 0 ? 0 : 1];
}

}  // namespace qm_d3d9
