// Direct3D 9 shader bytecode to GLSL 4.50, for the asm blocks of effects.
//
// Every register is a vec4 (ivec4 for the address, integer and loop
// registers); an instruction computes a whole vec4 from its swizzled,
// modified sources and writes the components of its write mask, so the
// translation is one line per instruction.
#include "platform/fx/compile/assembly.h"

#include <mojoshader.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>

#include "platform/fx/compile/isolation.h"
#include "platform/fx/compile/stage_cache.h"
#include "platform/fx/limits.h"

namespace qm_fx {

namespace {

// Register types (D3DSHADER_PARAM_REGISTER_TYPE).
enum Reg : std::uint32_t {
    k_temp = 0,
    k_input = 1,
    k_const = 2,
    k_addr_or_texture = 3,
    k_rastout = 4,
    k_attrout = 5,
    k_texcrdout_or_output = 6,
    k_constint = 7,
    k_colorout = 8,
    k_depthout = 9,
    k_sampler = 10,
    k_const2 = 11,
    k_const3 = 12,
    k_const4 = 13,
    k_constbool = 14,
    k_loop = 15,
    k_misc = 17,
    k_label = 18,
    k_predicate = 19,
};

// Opcodes (D3DSHADER_INSTRUCTION_OPCODE_TYPE).
enum Op : std::uint32_t {
    k_nop = 0,
    k_mov,
    k_add,
    k_sub,
    k_mad,
    k_mul,
    k_rcp,
    k_rsq,
    k_dp3,
    k_dp4,
    k_min,
    k_max,
    k_slt,
    k_sge,
    k_exp,
    k_log,
    k_lit,
    k_dst,
    k_lrp,
    k_frc,
    k_m4x4,
    k_m4x3,
    k_m3x4,
    k_m3x3,
    k_m3x2,
    k_call,
    k_callnz,
    k_loop_op,
    k_ret,
    k_endloop,
    k_label_op,
    k_dcl,
    k_pow,
    k_crs,
    k_sgn,
    k_abs,
    k_nrm,
    k_sincos,
    k_rep,
    k_endrep,
    k_if,
    k_ifc,
    k_else,
    k_endif,
    k_break,
    k_breakc,
    k_mova,
    k_defb,
    k_defi,
    k_texcoord = 64,
    k_texkill,
    k_tex,
    k_texbem,
    k_texbeml,
    k_texreg2ar,
    k_texreg2gb,
    k_texm3x2pad,
    k_texm3x2tex,
    k_texm3x3pad,
    k_texm3x3tex,
    k_reserved0,
    k_texm3x3spec,
    k_texm3x3vspec,
    k_expp,
    k_logp,
    k_cnd,
    k_def,
    k_texreg2rgb,
    k_texdp3tex,
    k_texm3x2depth,
    k_texdp3,
    k_texm3x3,
    k_texdepth,
    k_cmp,
    k_bem,
    k_dp2add,
    k_dsx,
    k_dsy,
    k_texldd,
    k_setp,
    k_texldl,
    k_breakp,
    k_phase = 0xFFFD,
    k_comment = 0xFFFE,
    k_end = 0xFFFF,
};

// Usages of dcl (D3DDECLUSAGE).
constexpr std::uint32_t k_usage_position = 0, k_usage_psize = 4, k_usage_fog = 11;

constexpr const char* k_components = "xyzw";

struct Param {
    std::uint32_t token = 0;
    std::uint32_t type = 0;
    std::uint32_t number = 0;
    bool relative = false;
    std::uint32_t rel_token = 0;  // SM2+: the relative-address register
    bool has_rel_token = false;
};

Param Decode(std::uint32_t token) {
    Param p;
    p.token = token;
    p.number = token & 0x7FF;
    p.type = ((token >> 28) & 7) | ((token >> 8) & 0x18);
    p.relative = (token >> 13) & 1;
    return p;
}

std::string F(float v) {
    if (!std::isfinite(v)) return v != v ? "0.0" : (v > 0 ? "3.4e38" : "-3.4e38");
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(v));
    std::string s = buf;
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
}

// The usages of "dcl_<usage>[n] vN" lines of a ps_3_0 source, by N. The
// assembler we use writes usage 0 into the bytecode of pixel shader input
// declarations, so the translation takes them from the text.
std::map<std::uint32_t, std::pair<std::uint32_t, std::uint32_t>> Pixel_Input_Usages(
    const std::string& source) {
    static const std::pair<const char*, std::uint32_t> k_usages[] = {
        {"position", 0},   {"blendweight", 1}, {"blendindices", 2}, {"normal", 3},
        {"psize", 4},      {"texcoord", 5},    {"tangent", 6},      {"binormal", 7},
        {"tessfactor", 8}, {"positiont", 9},   {"color", 10},       {"fog", 11},
        {"depth", 12},     {"sample", 13}};
    std::map<std::uint32_t, std::pair<std::uint32_t, std::uint32_t>> out;
    std::size_t at = 0;
    while (at < source.size()) {
        std::size_t end = source.find('\n', at);
        if (end == std::string::npos) end = source.size();
        std::string line;
        for (std::size_t k = at; k < end; ++k)
            line += static_cast<char>(std::tolower(static_cast<unsigned char>(source[k])));
        at = end + 1;
        if (line.rfind("dcl_", 0) != 0) continue;
        std::size_t k = 4;
        std::string name;
        while (k < line.size() && std::isalpha(static_cast<unsigned char>(line[k])))
            name += line[k++];
        std::uint32_t index = 0;
        while (k < line.size() && std::isdigit(static_cast<unsigned char>(line[k])) && index < 100)
            index = index * 10 + static_cast<std::uint32_t>(line[k++] - '0');
        while (k < line.size() && line[k] == ' ') ++k;
        if (k >= line.size() || line[k] != 'v') continue;
        ++k;
        std::uint32_t reg = 0;
        bool digits = false;
        while (k < line.size() && std::isdigit(static_cast<unsigned char>(line[k])) && reg < 100) {
            reg = reg * 10 + static_cast<std::uint32_t>(line[k++] - '0');
            digits = true;
        }
        if (!digits) continue;
        for (const auto& [usage_name, usage] : k_usages)
            if (name == usage_name) out[reg] = {usage, index};
    }
    return out;
}

class Translator {
public:
    Translator(const std::uint32_t* tokens, std::size_t count) : t_(tokens), n_(count) {}

    std::map<std::uint32_t, std::pair<std::uint32_t, std::uint32_t>> pixel_usages;

    bool Run(Asm_Translation* out, std::string* error) {
        if (n_ < 2) return Fail("the shader bytecode is empty"), *error = error_, false;
        const std::uint32_t version = t_[0];
        if ((version >> 16) == 0xFFFE)
            vertex_ = true;
        else if ((version >> 16) == 0xFFFF)
            vertex_ = false;
        else
            return Fail("not shader bytecode"), *error = error_, false;
        major_ = (version >> 8) & 0xFF;
        minor_ = version & 0xFF;
        if (major_ < 1 || major_ > 3)
            return Fail("unsupported shader model"), *error = error_, false;
        std::size_t at = 1;
        while (at < n_ && !failed_) {
            const std::uint32_t token = t_[at];
            const std::uint32_t op = token & 0xFFFF;
            if (op == k_end) break;
            if (op == k_comment) {
                at += 1 + ((token >> 16) & 0x7FFF);
                continue;
            }
            std::size_t length = 0;
            if (major_ >= 2 && op != k_phase) {
                length = (token >> 24) & 0xF;
            } else if (op == k_def) {
                length = 5;
            } else {
                while (at + 1 + length < n_ && (t_[at + 1 + length] >> 31)) ++length;
            }
            if (at + 1 + length > n_) {
                Fail("truncated shader bytecode");
                break;
            }
            Instruction(token, t_ + at + 1, length);
            at += 1 + length;
        }
        if (failed_) {
            *error = error_;
            return false;
        }
        if (depth_ != 0) {
            *error = "unbalanced flow control";
            return false;
        }
        Compose(out);
        if (out->glsl.size() > k_max_glsl_bytes) {
            *error = "the shader is too long";
            return false;
        }
        return true;
    }

private:
    bool Fail(const std::string& message) {
        if (!failed_) error_ = message;
        failed_ = true;
        return false;
    }

    // --- operands ----------------------------------------------------------

    // Reads the parameters of one instruction: destination first when the
    // opcode has one, then the sources with their relative-address tokens.
    bool Split(const std::uint32_t* p, std::size_t length, bool has_dest, Param* dest,
               std::vector<Param>* sources) {
        std::size_t k = 0;
        if (has_dest) {
            if (length == 0) return Fail("missing destination");
            *dest = Decode(p[0]);
            if (dest->relative && major_ >= 3 && length > 1) {
                dest->rel_token = p[1];
                dest->has_rel_token = true;
                k = 1;
            }
            k += 1;
        }
        while (k < length) {
            Param s = Decode(p[k++]);
            if (s.relative && major_ >= 2) {
                if (k >= length) return Fail("truncated relative address");
                s.rel_token = p[k++];
                s.has_rel_token = true;
            }
            sources->push_back(s);
            if (sources->size() > 8) return Fail("too many operands");
        }
        return true;
    }

    std::string Index_Expr(const Param& p) {
        std::string reg = "a0.x";
        if (p.has_rel_token) {
            const Param r = Decode(p.rel_token);
            const std::uint32_t comp = (p.rel_token >> 16) & 3;
            if (r.type == k_loop) {
                uses_loop_ = true;
                reg = "aL";
            } else {
                uses_addr_ = true;
                reg = std::string("a0.") + k_components[comp];
            }
        } else {
            uses_addr_ = true;
        }
        return reg + " + " + std::to_string(p.number);
    }

    std::string Register(const Param& p, bool as_dest) {
        const std::string n = std::to_string(p.number);
        switch (p.type) {
        case k_temp:
            if (p.number >= 32) return Fail("temporary register out of range"), "r0";
            temps_.insert(p.number);
            return "r" + n;
        case k_input:
            if (vertex_ || major_ >= 3) {
                if (p.relative) return Fail("relative input addressing is not supported"), "v0";
                if (!inputs_.count(p.number))
                    return Fail("input register v" + n + " has no dcl"), "v0";
                return "v" + n;
            }
            if (p.number > 1) return Fail("colour input v" + n + " out of range"), "v0";
            colour_inputs_.insert(p.number);
            return "v" + n;
        case k_const:
        case k_const2:
        case k_const3:
        case k_const4: {
            std::uint32_t number = p.number + (p.type == k_const2   ? 2048
                                               : p.type == k_const3 ? 4096
                                               : p.type == k_const4 ? 6144
                                                                    : 0);
            if (p.relative) {
                uses_file_ = true;
                return "qm_c.f[clamp(" + Index_Expr(p) + ", 0, 255)]";
            }
            if (number >= 256) return Fail("constant register out of range"), "r0";
            if (defs_.count(number)) return "k" + std::to_string(number);
            uses_file_ = true;
            return "qm_c.f[" + std::to_string(number) + "]";
        }
        case k_addr_or_texture:
            if (vertex_) {
                uses_addr_ = true;
                return "a0";
            }
            if (p.number >= 8) return Fail("texture register out of range"), "r0";
            if (major_ == 1 && minor_ < 4) {
                texture_regs_.insert(p.number);
                return "t" + n;
            }
            texcoords_.insert(p.number);
            return "tc" + n;
        case k_rastout:
            if (p.number == 0) return "o_pos";
            if (p.number == 1) {
                outputs_[12] = "o_fog";
                return "o_fog";
            }
            uses_point_size_ = true;
            return "o_psize";
        case k_attrout:
            if (p.number > 1) return Fail("colour output out of range"), "r0";
            outputs_[p.number] = "oD" + n;
            return "oD" + n;
        case k_texcrdout_or_output:
            if (major_ >= 3) {
                auto it = output_names_.find(p.number);
                if (it == output_names_.end())
                    return Fail("output register o" + n + " has no dcl"), "r0";
                return it->second;
            }
            if (p.number >= 10) return Fail("texture coordinate output out of range"), "r0";
            outputs_[2 + p.number] = "oT" + n;
            return "oT" + n;
        case k_constint:
            if (p.number >= 16) return Fail("integer register out of range"), "r0";
            if (int_defs_.count(p.number)) return "ki" + n;
            uses_file_ = true;
            return "qm_c.i[" + n + "]";
        case k_colorout:
            if (p.number >= 4) return Fail("colour output out of range"), "r0";
            targets_.insert(p.number);
            return "oC" + n;
        case k_depthout: writes_depth_ = true; return "o_depth";
        case k_constbool:
            if (p.number >= 16) return Fail("bool register out of range"), "r0";
            if (bool_defs_.count(p.number)) return "kb" + n;
            uses_file_ = true;
            return "(qm_c.b[" + n + "].x != 0)";
        case k_loop: uses_loop_ = true; return "aL";
        case k_misc:
            if (p.number == 0) return "vec4(gl_FragCoord.xy - vec2(0.5), 0.0, 1.0)";
            return "vec4(gl_FrontFacing ? 1.0 : -1.0)";
        case k_predicate: return "p0";
        default: break;
        }
        (void)as_dest;
        return Fail("unsupported register type " + std::to_string(p.type)), "r0";
    }

    bool Is_Int(const Param& p) const {
        return p.type == k_constint || p.type == k_loop || (vertex_ && p.type == k_addr_or_texture);
    }

    // The source as a vec4 expression: register, swizzle, modifier.
    std::string Source(const Param& p) {
        std::string reg = Register(p, false);
        if (p.type == k_constbool || p.type == k_predicate) return reg;
        if (Is_Int(p)) reg = "vec4(" + reg + ")";
        const std::uint32_t swz = (p.token >> 16) & 0xFF;
        std::string s = reg;
        if (swz != 0xE4) {
            s += '.';
            for (int c = 0; c < 4; ++c) s += k_components[(swz >> (2 * c)) & 3];
        }
        switch ((p.token >> 24) & 0xF) {
        case 0: return s;
        case 1: return "(-" + s + ")";
        case 2: return "(" + s + " - 0.5)";
        case 3: return "(0.5 - " + s + ")";
        case 4: return "(2.0 * " + s + " - 1.0)";
        case 5: return "(1.0 - 2.0 * " + s + ")";
        case 6: return "(1.0 - " + s + ")";
        case 7: return "(2.0 * " + s + ")";
        case 8: return "(-2.0 * " + s + ")";
        case 9: return "(" + s + " / " + s + ".z)";
        case 10: return "(" + s + " / " + s + ".w)";
        case 11: return "abs(" + s + ")";
        case 12: return "(-abs(" + s + "))";
        default: return Fail("unsupported source modifier"), s;
        }
    }

    std::string Mask(std::uint32_t token) const {
        const std::uint32_t mask = (token >> 16) & 0xF;
        if (mask == 0xF || mask == 0) return "";
        std::string m = ".";
        for (int c = 0; c < 4; ++c)
            if (mask & (1u << c)) m += k_components[c];
        return m;
    }

    // dest = value, with the result modifiers and the write mask.
    void Assign(const Param& d, std::string value) {
        const std::uint32_t shift = (d.token >> 24) & 0xF;
        static const char* k_scale[16] = {"", "2.0", "4.0", "8.0", "", "",      "",     "",
                                          "", "",    "",    "",    "", "0.125", "0.25", "0.5"};
        if (k_scale[shift][0]) value = "(" + value + ") * " + k_scale[shift];
        if ((d.token >> 20) & 1) value = "clamp(" + value + ", 0.0, 1.0)";
        std::string name = Register(d, true);
        if (d.relative) return (void)Fail("relative destination registers are not supported");
        const std::string mask = Mask(d.token);
        if (vertex_ && d.type == k_addr_or_texture) {
            Line("a0" + mask + " = ivec4(" + (major_ >= 2 ? "round(" : "floor(") + value + "))" +
                 mask + ";");
            return;
        }
        if (d.type == k_predicate) return (void)Fail("unsupported predicate write");
        Line(name + mask + " = (" + value + ")" + mask + ";");
    }

    void Line(const std::string& s) {
        std::string& body = in_function_ ? functions_ : main_;
        body.append(static_cast<std::size_t>(2 + 2 * depth_), ' ');
        body += s;
        body += '\n';
        if (main_.size() + functions_.size() > k_max_glsl_bytes) Fail("the shader is too long");
    }

    std::string Compare(std::uint32_t control, const std::string& a, const std::string& b) {
        static const char* k_ops[8] = {nullptr, ">", "==", ">=", "<", "!=", "<=", nullptr};
        const char* op = k_ops[control & 7];
        if (!op) return Fail("invalid comparison"), "false";
        return "(" + a + " " + op + " " + b + ")";
    }

    std::string Sampler(std::uint32_t stage, std::uint32_t dim) {
        std::uint32_t unit = stage;
        if (vertex_) unit = k_vertex_sampler_first_stage + (stage & 3);
        if (unit >= k_pixel_sampler_count) return Fail("sampler out of range"), "s0";
        auto it = samplers_.find(unit);
        if (it == samplers_.end()) samplers_[unit] = dim ? dim : 2;
        return "s" + std::to_string(unit);
    }

    std::string Coords(std::uint32_t unit, const std::string& c) {
        const std::uint32_t dim = samplers_[unit];
        return dim == 2 ? c + ".xy" : c + ".xyz";
    }

    // --- instructions ------------------------------------------------------

    void Instruction(std::uint32_t token, const std::uint32_t* p, std::size_t length) {
        const std::uint32_t op = token & 0xFFFF;
        const std::uint32_t control = (token >> 16) & 0xFF;
        if (token & (1u << 28)) return (void)Fail("predicated instructions are not supported");
        Param d;
        std::vector<Param> s;
        auto need = [&](bool dest, std::size_t sources) {
            if (!Split(p, length, dest, &d, &s)) return false;
            if (s.size() < sources) return Fail("missing operands");
            return true;
        };
        auto src = [&](std::size_t k) { return Source(s[k]); };
        auto scalar = [&](std::size_t k) { return Source(s[k]) + ".w"; };

        switch (op) {
        case k_nop:
        case k_phase: return;
        case k_dcl: return Declare(p, length);
        case k_def: {
            if (length < 5) return (void)Fail("truncated def");
            const Param c = Decode(p[0]);
            if (c.number >= 256) return (void)Fail("def out of range");
            std::string v = "vec4(";
            for (int k = 0; k < 4; ++k) {
                float f;
                std::memcpy(&f, &p[1 + k], 4);
                v += (k ? ", " : "") + F(f);
            }
            defs_[c.number] = v + ")";
            return;
        }
        case k_defi: {
            if (length < 5) return (void)Fail("truncated defi");
            const Param c = Decode(p[0]);
            if (c.number >= 16) return (void)Fail("defi out of range");
            std::string v = "ivec4(";
            for (int k = 0; k < 4; ++k)
                v += (k ? ", " : "") + std::to_string(static_cast<std::int32_t>(p[1 + k]));
            int_defs_[c.number] = v + ")";
            return;
        }
        case k_defb: {
            if (length < 2) return (void)Fail("truncated defb");
            const Param c = Decode(p[0]);
            if (c.number >= 16) return (void)Fail("defb out of range");
            bool_defs_[c.number] = p[1] ? "true" : "false";
            return;
        }
        case k_mov:
        case k_mova:
            if (need(true, 1)) Assign(d, src(0));
            return;
        case k_add:
            if (need(true, 2)) Assign(d, src(0) + " + " + src(1));
            return;
        case k_sub:
            if (need(true, 2)) Assign(d, src(0) + " - " + src(1));
            return;
        case k_mul:
            if (need(true, 2)) Assign(d, src(0) + " * " + src(1));
            return;
        case k_mad:
            if (need(true, 3)) Assign(d, src(0) + " * " + src(1) + " + " + src(2));
            return;
        case k_rcp:
            if (need(true, 1)) Assign(d, "vec4(1.0 / " + scalar(0) + ")");
            return;
        case k_rsq:
            if (need(true, 1)) Assign(d, "vec4(inversesqrt(abs(" + scalar(0) + ")))");
            return;
        case k_dp3:
            if (need(true, 2)) Assign(d, "vec4(dot(" + src(0) + ".xyz, " + src(1) + ".xyz))");
            return;
        case k_dp4:
            if (need(true, 2)) Assign(d, "vec4(dot(" + src(0) + ", " + src(1) + "))");
            return;
        case k_min:
            if (need(true, 2)) Assign(d, "min(" + src(0) + ", " + src(1) + ")");
            return;
        case k_max:
            if (need(true, 2)) Assign(d, "max(" + src(0) + ", " + src(1) + ")");
            return;
        case k_slt:
            if (need(true, 2)) Assign(d, "vec4(lessThan(" + src(0) + ", " + src(1) + "))");
            return;
        case k_sge:
            if (need(true, 2)) Assign(d, "vec4(greaterThanEqual(" + src(0) + ", " + src(1) + "))");
            return;
        case k_exp:
        case k_expp:
            if (need(true, 1)) Assign(d, "vec4(exp2(" + scalar(0) + "))");
            return;
        case k_log:
        case k_logp:
            if (need(true, 1)) Assign(d, "vec4(log2(abs(" + scalar(0) + ")))");
            return;
        case k_lit:
            uses_lit_ = true;
            if (need(true, 1)) Assign(d, "qm_lit(" + src(0) + ")");
            return;
        case k_dst:
            if (need(true, 2))
                Assign(d, "vec4(1.0, " + src(0) + ".y * " + src(1) + ".y, " + src(0) + ".z, " +
                              src(1) + ".w)");
            return;
        case k_lrp:
            if (need(true, 3)) Assign(d, "mix(" + src(2) + ", " + src(1) + ", " + src(0) + ")");
            return;
        case k_frc:
            if (need(true, 1)) Assign(d, "fract(" + src(0) + ")");
            return;
        case k_m4x4:
        case k_m4x3:
        case k_m3x4:
        case k_m3x3:
        case k_m3x2: {
            if (!need(true, 2)) return;
            const int rows = op == k_m4x4 || op == k_m3x4 ? 4 : op == k_m3x2 ? 2 : 3;
            const bool four = op == k_m4x4 || op == k_m4x3;
            const std::string a = src(0);
            std::string v = "vec4(";
            for (int r = 0; r < 4; ++r) {
                if (r) v += ", ";
                if (r >= rows) {
                    v += "0.0";
                    continue;
                }
                Param row = s[1];
                row.number += static_cast<std::uint32_t>(r);
                const std::string b = Source(row);
                v += four ? "dot(" + a + ", " + b + ")" : "dot(" + a + ".xyz, " + b + ".xyz)";
            }
            Assign(d, v + ")");
            return;
        }
        case k_pow:
            if (need(true, 2)) Assign(d, "vec4(pow(abs(" + scalar(0) + "), " + scalar(1) + "))");
            return;
        case k_crs:
            if (need(true, 2))
                Assign(d, "vec4(cross(" + src(0) + ".xyz, " + src(1) + ".xyz), 0.0)");
            return;
        case k_sgn:
            if (need(true, 1)) Assign(d, "sign(" + src(0) + ")");
            return;
        case k_abs:
            if (need(true, 1)) Assign(d, "abs(" + src(0) + ")");
            return;
        case k_nrm:
            if (need(true, 1)) {
                const std::string a = src(0);
                Assign(d, a + " * inversesqrt(max(dot(" + a + ".xyz, " + a + ".xyz), 1e-30))");
            }
            return;
        case k_sincos:
            if (need(true, 1)) {
                const std::string a = scalar(0);
                Assign(d, "vec4(cos(" + a + "), sin(" + a + "), 0.0, 0.0)");
            }
            return;
        case k_cmp:
            if (need(true, 3))
                Assign(d, "mix(" + src(2) + ", " + src(1) + ", greaterThanEqual(" + src(0) +
                              ", vec4(0.0)))");
            return;
        case k_cnd:
            if (need(true, 3))
                Assign(d, "mix(" + src(2) + ", " + src(1) + ", greaterThan(" + src(0) +
                              ", vec4(0.5)))");
            return;
        case k_dp2add:
            if (need(true, 3))
                Assign(d, "vec4(dot(" + src(0) + ".xy, " + src(1) + ".xy) + " + scalar(2) + ")");
            return;
        case k_dsx:
            if (need(true, 1)) Assign(d, "dFdx(" + src(0) + ")");
            return;
        case k_dsy:
            if (need(true, 1)) Assign(d, "dFdy(" + src(0) + ")");
            return;
        case k_texkill:
            if (!need(true, 0)) return;
            {
                // ps_1_x names the texture coordinates; later models any register.
                Param r = d;
                r.token = (r.token & ~0x0FFF0000u) | 0x00E40000u;
                std::string v = Source(r);
                if (!vertex_ && major_ == 1 && minor_ < 4 && d.type == k_addr_or_texture) {
                    texcoords_.insert(d.number);
                    v = "tc" + std::to_string(d.number);
                }
                Line("if (any(lessThan(" + v + ".xyz, vec3(0.0)))) discard;");
            }
            return;
        case k_texcoord:
            if (!need(true, 0)) return;
            if (major_ == 1 && minor_ < 4) {
                texcoords_.insert(d.number);
                Assign(d, "vec4(clamp(tc" + std::to_string(d.number) + ".xyz, 0.0, 1.0), 1.0)");
            } else {
                if (s.empty()) return (void)Fail("texcrd needs a source");
                Assign(d, "vec4(" + src(0) + ".xyz, 1.0)");
            }
            return;
        case k_tex: return Texld(control, p, length);
        case k_texldl:
            if (need(true, 2)) {
                const std::uint32_t unit = Unit(s[1]);
                const std::string sampler = Sampler(s[1].number, 0);
                const std::string c = src(0);
                Assign(d, "textureLod(" + sampler + ", " + Coords(unit, c) + ", " + c + ".w)");
            }
            return;
        case k_texldd:
            if (need(true, 4)) {
                const std::uint32_t unit = Unit(s[1]);
                const std::string sampler = Sampler(s[1].number, 0);
                Assign(d, "textureGrad(" + sampler + ", " + Coords(unit, src(0)) + ", " +
                              Coords(unit, src(2)) + ", " + Coords(unit, src(3)) + ")");
            }
            return;
        case k_if:
            if (need(false, 1)) {
                Line("if (" + Source(s[0]) + ") {");
                ++depth_;
            }
            return;
        case k_ifc:
            if (need(false, 2)) {
                Line("if " + Compare(control, scalar(0), scalar(1)) + " {");
                ++depth_;
            }
            return;
        case k_else:
            if (depth_ <= 0) return (void)Fail("else outside if");
            --depth_;
            Line("} else {");
            ++depth_;
            return;
        case k_endif:
        case k_endloop:
        case k_endrep:
            if (depth_ <= 0) return (void)Fail("unbalanced flow control");
            --depth_;
            Line("}");
            return;
        case k_rep:
            if (need(false, 1)) {
                const std::string count = Register(s[0], false);
                const std::string v = "qm_rep" + std::to_string(loops_++);
                Line("for (int " + v + " = 0; " + v + " < min(" + count + ".x, 255); ++" + v +
                     ") {");
                ++depth_;
            }
            return;
        case k_loop_op:
            if (need(false, 2)) {
                uses_loop_ = true;
                const std::string i = Register(s[1], false);
                const std::string v = "qm_rep" + std::to_string(loops_++);
                Line("aL = " + i + ".y;");
                Line("for (int " + v + " = 0; " + v + " < min(" + i + ".x, 255); ++" + v +
                     ", aL += " + i + ".z) {");
                ++depth_;
            }
            return;
        case k_break: Line("break;"); return;
        case k_breakc:
            if (need(false, 2)) Line("if " + Compare(control, scalar(0), scalar(1)) + " break;");
            return;
        case k_label_op:
            if (!need(false, 1)) return;
            if (depth_ != 0) return (void)Fail("label inside flow control");
            if (in_function_) functions_ += "}\n";
            in_function_ = true;
            labels_.insert(s[0].number);
            functions_ += "void qm_label" + std::to_string(s[0].number) + "()\n{\n";
            return;
        case k_ret:
            // Ends a subroutine (or main); inside flow control it returns early.
            if (depth_ != 0) {
                Line("return;");
            } else if (in_function_) {
                functions_ += "}\n";
                in_function_ = false;
            }
            return;
        case k_call:
            if (need(false, 1)) {
                called_.insert(s[0].number);
                Line("qm_label" + std::to_string(s[0].number) + "();");
            }
            return;
        case k_callnz:
            if (need(false, 2)) {
                called_.insert(s[0].number);
                Line("if (" + Source(s[1]) + ") qm_label" + std::to_string(s[0].number) + "();");
            }
            return;
        default: break;
        }
        static const std::map<std::uint32_t, const char*> k_names = {
            {k_texbem, "texbem"},
            {k_texbeml, "texbeml"},
            {k_texreg2ar, "texreg2ar"},
            {k_texreg2gb, "texreg2gb"},
            {k_texm3x2pad, "texm3x2pad"},
            {k_texm3x2tex, "texm3x2tex"},
            {k_texm3x3pad, "texm3x3pad"},
            {k_texm3x3tex, "texm3x3tex"},
            {k_texm3x3spec, "texm3x3spec"},
            {k_texm3x3vspec, "texm3x3vspec"},
            {k_texreg2rgb, "texreg2rgb"},
            {k_texdp3tex, "texdp3tex"},
            {k_texm3x2depth, "texm3x2depth"},
            {k_texdp3, "texdp3"},
            {k_texm3x3, "texm3x3"},
            {k_texdepth, "texdepth"},
            {k_bem, "bem"},
            {k_setp, "setp"},
            {k_breakp, "breakp"}};
        auto it = k_names.find(op);
        Fail(std::string("the instruction '") +
             (it != k_names.end() ? it->second : "#" + std::to_string(op)) + "' is not supported");
    }

    std::uint32_t Unit(const Param& sampler) const {
        return vertex_ ? k_vertex_sampler_first_stage + (sampler.number & 3) : sampler.number;
    }

    void Texld(std::uint32_t control, const std::uint32_t* p, std::size_t length) {
        Param d;
        std::vector<Param> s;
        if (!Split(p, length, true, &d, &s)) return;
        if (major_ == 1 && minor_ < 4) {
            // tex tN: stage N sampled at texture coordinate set N.
            if (d.type != k_addr_or_texture) return (void)Fail("tex writes a texture register");
            texcoords_.insert(d.number);
            const std::string sampler = Sampler(d.number, 0);
            Assign(d, "texture(" + sampler + ", tc" + std::to_string(d.number) + ".xy)");
            return;
        }
        if (major_ == 1) {
            // texld rN, tM / rM: stage N; _dz/_dw project.
            if (s.empty()) return (void)Fail("texld needs a source");
            const std::string sampler = Sampler(d.number, 0);
            Assign(d, "texture(" + sampler + ", " + Source(s[0]) + ".xy)");
            return;
        }
        if (s.size() < 2) return (void)Fail("texld needs a coordinate and a sampler");
        const std::uint32_t unit = Unit(s[1]);
        const std::string sampler = Sampler(s[1].number, 0);
        const std::string c = Source(s[0]);
        if ((control & 3) == 1)
            Assign(d,
                   "texture(" + sampler + ", " + Coords(unit, "(" + c + " / " + c + ".w)") + ")");
        else if ((control & 3) == 2)
            Assign(d, "texture(" + sampler + ", " + Coords(unit, c) + ", " + c + ".w)");
        else
            Assign(d, "texture(" + sampler + ", " + Coords(unit, c) + ")");
    }

    void Declare(const std::uint32_t* p, std::size_t length) {
        if (length < 2) return (void)Fail("truncated dcl");
        const std::uint32_t usage_token = p[0];
        const Param reg = Decode(p[1]);
        const std::uint32_t usage = usage_token & 0x1F;
        const std::uint32_t index = (usage_token >> 16) & 0xF;
        if (reg.type == k_sampler) {
            const std::uint32_t kind = (usage_token >> 27) & 0xF;
            const std::uint32_t dim = kind == 3 ? 4 : kind == 4 ? 3 : 2;
            const std::uint32_t unit =
                vertex_ ? k_vertex_sampler_first_stage + (reg.number & 3) : reg.number;
            if (reg.number >= (vertex_ ? 4u : k_pixel_sampler_count))
                return (void)Fail("sampler out of range");
            samplers_[unit] = dim;
            return;
        }
        if (reg.type == k_input) {
            if (reg.number >= 16) return (void)Fail("input out of range");
            if (vertex_) {
                const int location =
                    Gl_Attribute_Location(static_cast<BYTE>(usage), static_cast<BYTE>(index));
                if (location < 0)
                    return (void)Fail("vertex input usage " + std::to_string(usage) + " index " +
                                      std::to_string(index) + " has no attribute location");
                inputs_[reg.number] = location;
            } else if (major_ >= 3) {
                std::uint32_t usage_now = usage, index_now = index;
                if (auto it = pixel_usages.find(reg.number); it != pixel_usages.end()) {
                    usage_now = it->second.first;
                    index_now = it->second.second;
                }
                const int location =
                    Gl_Varying_Location(static_cast<BYTE>(usage_now), static_cast<BYTE>(index_now));
                if (location < 0)
                    return (void)Fail("pixel input usage " + std::to_string(usage_now) +
                                      " has no varying");
                inputs_[reg.number] = location;
            }
            return;
        }
        if (reg.type == k_texcrdout_or_output && vertex_ && major_ >= 3) {
            if (reg.number >= 12) return (void)Fail("output out of range");
            const std::string name = "o" + std::to_string(reg.number);
            if (usage == k_usage_position && index == 0) {
                output_names_[reg.number] = "o_pos";
                return;
            }
            if (usage == k_usage_psize) {
                uses_point_size_ = true;
                output_names_[reg.number] = "o_psize";
                return;
            }
            const int location =
                usage == k_usage_fog
                    ? int(Gl_Varying::Fog)
                    : Gl_Varying_Location(static_cast<BYTE>(usage), static_cast<BYTE>(index));
            if (location < 0)
                return (void)Fail("output usage " + std::to_string(usage) + " has no varying");
            output_names_[reg.number] = name;
            outputs_[static_cast<std::uint32_t>(location)] = name;
            return;
        }
        if (reg.type == k_addr_or_texture && !vertex_) {
            if (reg.number < 8) texcoords_.insert(reg.number);
            return;
        }
        if (reg.type == k_misc) return;
        // ps_2_x colour inputs (dcl v0) need no declaration beyond their use.
    }

    // --- the program -------------------------------------------------------

    void Compose(Asm_Translation* out) {
        std::string g = "#version 450 core\n";
        const GLuint binding = vertex_ ? Gl_Vertex_Constants_Binding : Gl_Pixel_Constants_Binding;
        if (uses_file_)
            g += "layout(std140, binding = " + std::to_string(binding) +
                 ") uniform Qm_Constant_Registers {\n    vec4 f[" +
                 std::to_string(Gl_Vertex_Float_Constants) + "];\n    ivec4 i[" +
                 std::to_string(Gl_Int_Constants) + "];\n    ivec4 b[" +
                 std::to_string(Gl_Bool_Constants) + "];\n} qm_c;\n";
        for (const auto& [n, v] : defs_)
            g += "const vec4 k" + std::to_string(n) + " = " + v + ";\n";
        for (const auto& [n, v] : int_defs_)
            g += "const ivec4 ki" + std::to_string(n) + " = " + v + ";\n";
        for (const auto& [n, v] : bool_defs_)
            g += "const bool kb" + std::to_string(n) + " = " + v + ";\n";
        for (const auto& [unit, dim] : samplers_) {
            out->sampler_stages.push_back(unit);
            g += "layout(binding = " + std::to_string(unit) + ") uniform " +
                 (dim == 4   ? "samplerCube"
                  : dim == 3 ? "sampler3D"
                             : "sampler2D") +
                 " s" + std::to_string(unit) + ";\n";
        }
        if (vertex_) {
            g += "layout(std140, binding = " + std::to_string(k_vertex_block_binding) +
                 ") uniform Qm_Fx_Asm_Block {\n    vec4 " + k_pixel_offset_uniform + ";\n};\n";
            g += std::string("out gl_PerVertex {\n    vec4 gl_Position;\n") +
                 (uses_point_size_ ? "    float gl_PointSize;\n" : "") + "};\n";
            for (const auto& [n, location] : inputs_)
                g += "layout(location = " + std::to_string(location) + ") in vec4 v" +
                     std::to_string(n) + ";\n";
            for (const auto& [location, name] : outputs_)
                g += "layout(location = " + std::to_string(location) + ") out vec4 " + name + ";\n";
        } else {
            if (major_ >= 3) {
                for (const auto& [n, location] : inputs_)
                    g += "layout(location = " + std::to_string(location) + ") in vec4 v" +
                         std::to_string(n) + ";\n";
            } else {
                for (const std::uint32_t n : colour_inputs_)
                    g += "layout(location = " + std::to_string(Gl_Varying::Color0 + n) +
                         ") in vec4 v" + std::to_string(n) + ";\n";
                for (const std::uint32_t n : texcoords_)
                    g += "layout(location = " + std::to_string(Gl_Varying::Texcoord0 + n) +
                         ") in vec4 tc" + std::to_string(n) + ";\n";
            }
            if (major_ < 2) targets_.insert(0);
            for (const std::uint32_t n : targets_)
                g += "layout(location = " + std::to_string(n) + ") out vec4 oC" +
                     std::to_string(n) + ";\n";
        }
        for (const std::uint32_t n : temps_) g += "vec4 r" + std::to_string(n) + " = vec4(0.0);\n";
        for (const std::uint32_t n : texture_regs_)
            g += "vec4 t" + std::to_string(n) + " = vec4(0.0);\n";
        if (uses_addr_) g += "ivec4 a0 = ivec4(0);\n";
        if (uses_loop_) g += "int aL = 0;\n";
        if (vertex_) {
            g += "vec4 o_pos = vec4(0.0, 0.0, 0.0, 1.0);\n";
            if (uses_point_size_) g += "vec4 o_psize = vec4(1.0);\n";
        }
        if (writes_depth_) g += "vec4 o_depth = vec4(0.0);\n";
        if (uses_lit_)
            g += "vec4 qm_lit(vec4 s)\n{\n    float p = clamp(s.w, -127.9961, 127.9961);\n"
                 "    return vec4(1.0, max(s.x, 0.0), s.x > 0.0 && s.y > 0.0 ? pow(s.y, p) : 0.0, "
                 "1.0);\n}\n";
        for (const std::uint32_t l : called_) g += "void qm_label" + std::to_string(l) + "();\n";
        for (const std::uint32_t l : called_)
            if (!labels_.count(l)) g += "void qm_label" + std::to_string(l) + "() {}\n";
        if (in_function_) functions_ += "}\n";
        g += functions_;
        g += "void main()\n{\n";
        if (vertex_)
            for (const auto& [location, name] : outputs_)
                g += "    " + name +
                     (location == Gl_Varying::Color0 ? " = vec4(1.0);\n"
                                                     : " = vec4(0.0, 0.0, 0.0, 1.0);\n");
        if (!vertex_ && major_ >= 2)
            for (const std::uint32_t n : targets_)
                g += "    oC" + std::to_string(n) + " = vec4(0.0);\n";
        g += "    qm_main();\n";
        if (vertex_) {
            g += "    gl_Position = o_pos;\n";
            g +=
                "    gl_Position.xy += " + std::string(k_pixel_offset_uniform) + ".xy * o_pos.w;\n";
            if (uses_point_size_) g += "    gl_PointSize = o_psize.x;\n";
        } else {
            if (major_ < 2) g += "    oC0 = r0;\n";
            if (writes_depth_) g += "    gl_FragDepth = clamp(o_depth.x, 0.0, 1.0);\n";
        }
        g += "}\n";
        // The instructions go into qm_main, declared before the subroutines use them.
        const std::size_t main_at = g.find("void main()");
        g.insert(main_at, "void qm_main()\n{\n" + main_ + "}\n");
        out->glsl = std::move(g);
        out->vertex = vertex_;
    }

    const std::uint32_t* t_;
    std::size_t n_;
    bool vertex_ = true;
    std::uint32_t major_ = 0, minor_ = 0;
    bool failed_ = false;
    std::string error_;
    std::string main_, functions_;
    bool in_function_ = false;
    int depth_ = 0;
    int loops_ = 0;
    std::set<std::uint32_t> temps_, colour_inputs_, texcoords_, texture_regs_, targets_, labels_,
        called_;
    std::map<std::uint32_t, int> inputs_;                // v# -> location
    std::map<std::uint32_t, std::string> outputs_;       // varying location -> name
    std::map<std::uint32_t, std::string> output_names_;  // vs_3_0 o# -> name
    std::map<std::uint32_t, std::string> defs_, int_defs_, bool_defs_;
    std::map<std::uint32_t, std::uint32_t> samplers_;  // unit -> 2 (2D), 3 (3D), 4 (cube)
    bool uses_file_ = false, uses_addr_ = false, uses_loop_ = false, uses_point_size_ = false;
    bool uses_lit_ = false, writes_depth_ = false;
};

}  // namespace

bool Translate_Bytecode(const std::uint32_t* tokens, std::size_t count, Asm_Translation* out,
                        std::string* error) {
    Translator t(tokens, count);
    return t.Run(out, error);
}

namespace {

bool Translate_Assembled(const std::uint32_t* tokens, std::size_t count, const std::string& source,
                         Asm_Translation* out, std::string* error) {
    Translator t(tokens, count);
    t.pixel_usages = Pixel_Input_Usages(source);
    return t.Run(out, error);
}

}  // namespace

bool Assemble_And_Translate(const std::string& source, Asm_Translation* out, std::string* error,
                            std::uint32_t* error_line) {
    *error_line = 0;
    const MOJOSHADER_parseData* data = MOJOSHADER_assemble(
        "asm", source.c_str(), static_cast<unsigned int>(source.size()), nullptr, 0, nullptr, 0,
        nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr);
    if (!data) {
        *error = "the assembler ran out of memory";
        return false;
    }
    bool ok = false;
    if (data->error_count > 0) {
        *error = data->errors[0].error ? data->errors[0].error : "assembly failed";
        if (data->errors[0].error_position > 0)
            *error_line = static_cast<std::uint32_t>(data->errors[0].error_position);
    } else if (!data->output || data->output_len < 8 || data->output_len % 4) {
        *error = "the assembler produced no bytecode";
    } else {
        std::vector<std::uint32_t> tokens(static_cast<std::size_t>(data->output_len) / 4);
        std::memcpy(tokens.data(), data->output, tokens.size() * 4);
        ok = Translate_Assembled(tokens.data(), tokens.size(), source, out, error);
    }
    MOJOSHADER_freeParseData(data);
    return ok;
}

namespace {

void Put_U32(std::string* out, std::uint32_t v) {
    out->append(reinterpret_cast<const char*>(&v), 4);
}

bool Get_U32(const std::string& in, std::size_t* at, std::uint32_t* v) {
    if (in.size() < 4 || *at > in.size() - 4) return false;
    std::memcpy(v, in.data() + *at, 4);
    *at += 4;
    return true;
}

// What the worker runs: the asm text in; "1", the sampler stages, the
// vertex flag and the GLSL out, or "0", the line and the message.
std::string Asm_Request_Bytes(const std::string& source) {
    Asm_Translation t;
    std::string error;
    std::uint32_t line = 0;
    std::string out;
    if (!Assemble_And_Translate(source, &t, &error, &line)) {
        out = "0";
        Put_U32(&out, line);
        out += error;
        return out;
    }
    out = "1";
    Put_U32(&out, static_cast<std::uint32_t>(t.sampler_stages.size()));
    for (const std::uint32_t s : t.sampler_stages) Put_U32(&out, s);
    Put_U32(&out, t.vertex ? 1 : 0);
    out += t.glsl;
    return out;
}

struct Asm_Result {
    std::string failure;
    std::uint32_t line = 0;
    Asm_Translation translation;
};

bool Parse_Result(const std::string& bytes, Asm_Result* r) {
    if (bytes.empty()) return false;
    std::size_t at = 1;
    if (bytes[0] == '0') {
        if (!Get_U32(bytes, &at, &r->line)) return false;
        r->failure = bytes.substr(at);
        if (r->failure.empty()) r->failure = "assembly failed";
        return true;
    }
    std::uint32_t count = 0, vertex = 0;
    if (bytes[0] != '1' || !Get_U32(bytes, &at, &count) || count > k_pixel_sampler_count)
        return false;
    for (std::uint32_t k = 0; k < count; ++k) {
        std::uint32_t unit = 0;
        if (!Get_U32(bytes, &at, &unit) || unit >= k_pixel_sampler_count) return false;
        r->translation.sampler_stages.push_back(unit);
    }
    if (!Get_U32(bytes, &at, &vertex)) return false;
    r->translation.vertex = vertex != 0;
    r->translation.glsl = bytes.substr(at);
    return true;
}

}  // namespace

std::shared_ptr<const Compiled_Stage> Compile_Asm_Shader(const Effect_Desc& desc, std::size_t index,
                                                         Diagnostics* diagnostics) {
    static Stage_Cache* cache = New_Stage_Cache();
    static auto* failures = new Byte_Lru_Cache<const Asm_Result>(k_failed_stage_cache_bytes);
    const Shader_Compile& shader = desc.shaders[index];
    const std::string& file = desc.files[shader.file];
    const std::string key = Stage_Key_Prefix() + shader.assembly;
    if (auto found = cache->Find(key)) return found;

    Asm_Result result;
    if (auto known = failures->Find(shader.assembly)) {
        result = *known;
    } else {
        const Isolated_Result r =
            Run_In_Worker(Asm_Request_Bytes, shader.assembly, Compile_Limits());
        if (!r.ok)
            result.failure = r.failure;
        else if (!Parse_Result(r.bytes, &result))
            result.failure = "the assembler handed back a damaged result";
    }
    if (!result.failure.empty()) {
        std::uint16_t at_file = shader.file;
        std::uint32_t at_line = shader.line;
        if (result.line >= 1 && result.line <= shader.assembly_lines.size()) {
            at_file = shader.assembly_lines[result.line - 1].first;
            at_line = shader.assembly_lines[result.line - 1].second;
        }
        diagnostics->Error(desc.files[at_file], at_line, "asm: " + result.failure);
        const std::size_t bytes = sizeof result + result.failure.size();
        failures->Insert(shader.assembly, std::make_shared<const Asm_Result>(std::move(result)),
                         bytes);
        return nullptr;
    }
    if (result.translation.vertex != (shader.stage == Shader_Stage::Vertex)) {
        diagnostics->Error(file, shader.line, "asm: the shader's profile does not fit its stage");
        return nullptr;
    }
    auto stage = std::make_shared<Compiled_Stage>();
    stage->stage = shader.stage;
    stage->glsl = std::move(result.translation.glsl);
    for (const std::uint32_t unit : result.translation.sampler_stages)
        stage->samplers.push_back(Stage_Sampler{std::string(), unit});
    if (shader.stage == Shader_Stage::Vertex) {
        Block_Node offset;
        offset.name = k_pixel_offset_uniform;
        offset.kind = Block_Node::Kind::Vector;
        offset.components = 4;
        stage->block.push_back(std::move(offset));
        stage->block_size = 16;
    }
    if (!Link_Program(desc, shader, stage.get(), diagnostics)) return nullptr;
    cache->Insert(key, stage, Stage_Bytes(*stage));
    return stage;
}

}  // namespace qm_fx
