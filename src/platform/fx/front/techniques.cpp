// The effect parser, the effect framework's own syntax: annotations,
// sampler_state blocks, object references, techniques, passes with their
// state assignments, and the shader values of VertexShader/PixelShader.
#include "platform/fx/front/parser_private.h"

#include <algorithm>
#include <cctype>

namespace qm_fx {

namespace {

// vs_1_0 and ps_1_0 are spellings some tools wrote for the first profiles.
const char* const k_profiles[] = {"vs_1_0",  "vs_1_1", "vs_2_0", "vs_2_a",  "vs_2_sw", "vs_3_0",
                                  "vs_3_sw", "ps_1_0", "ps_1_1", "ps_1_2",  "ps_1_3",  "ps_1_4",
                                  "ps_2_0",  "ps_2_a", "ps_2_b", "ps_2_sw", "ps_3_0",  "ps_3_sw"};

// The profile line of an asm block ("vs_1_1", "ps.1.4", "VS_2_0") in the
// spelling the assembler takes; vs_1_0/ps_1_0, which some tools wrote, are
// 1_1. Empty when the line names no profile.
std::string Asm_Profile(const std::string& text) {
    std::string s;
    for (const char c : text)
        s += c == '.' ? '_' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (s == "vs_1_0") return "vs_1_1";
    if (s == "ps_1_0") return "ps_1_1";
    static const char* const k_asm_profiles[] = {"vs_1_1", "vs_2_0", "vs_2_x", "vs_3_0",
                                                 "ps_1_1", "ps_1_2", "ps_1_3", "ps_1_4",
                                                 "ps_2_0", "ps_2_x", "ps_3_0"};
    for (const char* k : k_asm_profiles)
        if (s == k) return s;
    return "";
}

}  // namespace

// --- annotations -------------------------------------------------------------
void Effect_Parser::Parse_Annotations(std::vector<Annotation>* out) {
    ++pos_;  // <
    while (true) {
        if (At_End()) {
            Error_Here("unterminated annotations");
            return;
        }
        if (Is_Punct(">") || (Cur().kind == Token_Kind::Punct && Cur().text[0] == '>')) break;
        Annotation a;
        const Modifiers m = Parse_Modifiers();
        const Token& type_tok = Cur();
        if (!Parse_Type(&a.type, m.row_major, m.column_major)) {
            Error(type_tok, "unknown annotation type '" + type_tok.text + "'");
            return;
        }
        a.name = Expect_Identifier("an annotation name");
        a.type.elements = Parse_Array_Suffix();
        const bool unsized = unsized_array_;
        if (!Expect("=")) return;
        const std::size_t value_start = pos_;
        if (a.type.base == Base_Type::String && Is_Punct("{")) {
            // An array of strings: the first is the annotation's string.
            std::uint32_t count = 0;
            ++pos_;
            while (!Accept("}")) {
                if (Cur().kind != Token_Kind::String) {
                    Error_Here("expected a string");
                    return;
                }
                std::string one;
                while (Cur().kind == Token_Kind::String) one += Unquote(toks_[pos_++].text);
                if (count++ == 0) a.string_value = std::move(one);
                if (!Is_Punct("}") && !Expect(",")) return;
            }
            if (unsized) a.type.elements = count;
        } else if (a.type.base == Base_Type::String) {
            // Strings may come parenthesized out of a macro: ("World").
            int parens = 0;
            while (Accept("(")) ++parens;
            if (Cur().kind != Token_Kind::String) {
                Error_Here("expected a string");
                return;
            }
            while (Cur().kind == Token_Kind::String) a.string_value += Unquote(toks_[pos_++].text);
            while (parens-- > 0)
                if (!Expect(")")) return;
        } else if (a.type.Numeric()) {
            Expr e;
            e.root = Parse_Expression(&e, nullptr, true);
            if (diag_->Failed()) return;
            a.values = Eval_Node(e, e.root, *desc_, desc_->defaults.data());
            const std::size_t words = a.type.Element_Words() ? a.type.Element_Words() : 1;
            if (unsized)
                a.type.elements = static_cast<std::uint32_t>(
                    std::max<std::size_t>(1, (a.values.size() + words - 1) / words));
        } else {
            // Objects in annotations (rare): keep the text only.
            while (!At_End() && !Is_Punct(";")) ++pos_;
        }
        a.text = Join(value_start, pos_);
        if (!Expect(";")) return;
        out->push_back(std::move(a));
    }
    Expect_Close_Angle();
}

std::string Effect_Parser::Join(std::size_t begin, std::size_t end) const {
    std::string s;
    for (std::size_t k = begin; k < end && k < toks_.size(); ++k) {
        if (k > begin && toks_[k].space_before) s += ' ';
        s += toks_[k].text;
    }
    return s;
}

// --- sampler_state -------------------------------------------------------------
void Effect_Parser::Parse_Sampler_State(int index) {
    if (!Expect("{")) return;
    while (!Accept("}")) {
        if (At_End() || diag_->Failed()) {
            Error_Here("unterminated sampler_state");
            return;
        }
        const Token& name_tok = Cur();
        const std::string name = Expect_Identifier("a sampler state");
        if (diag_->Failed()) return;
        const State_Def* def = Find_State(name, true);
        if (!def && Equal_No_Case(name, "Filter")) {
            // Direct3D 10 style "Filter = MIN_MAG_MIP_LINEAR;": Direct3D 9
            // effects compile it and ignore it, and so do we.
            diag_->Warning(desc_->files[name_tok.file], name_tok.line,
                           "sampler state 'Filter' has no Direct3D 9 meaning and is ignored");
            while (!At_End() && !Is_Punct(";") && !Is_Punct("}")) ++pos_;
            Accept(";");
            continue;
        }
        if (!def) {
            Error(name_tok, "unknown sampler state '" + name + "'");
            return;
        }
        if (Is_Punct("[")) {
            ++pos_;
            Parse_Constant_Int();
            if (!Expect("]")) return;
        }
        if (!Expect("=")) return;
        State_Assignment sa;
        sa.def = def;
        sa.name = name;
        sa.file = name_tok.file;
        sa.line = name_tok.line;
        const std::size_t value_start = pos_;
        if (def->kind == State_Kind::Texture) {
            sa.object = Parse_Object_Ref(Base_Type::Texture, "texture");
        } else {
            Parse_State_Value(&sa.value, def);
        }
        sa.value_text = Join(value_start, pos_);
        if (diag_->Failed() || !Expect(";")) return;
        Parameter& p = desc_->parameters[static_cast<std::size_t>(index)];
        if (def->kind == State_Kind::Texture) {
            p.sampler_texture = sa.object;
            p.sampler_sets_texture = true;
        }
        p.sampler_states.push_back(std::move(sa));
    }
}

// NULL, <name>, (name) or name of a parameter of the given base type.
// Returns the parameter index, -1 for NULL.
int Effect_Parser::Parse_Object_Ref(Base_Type base, const char* what) {
    // NULL in any letter case, or 0 as C wrote a null pointer.
    if (Is_Ident_No_Case("NULL") || (Cur().kind == Token_Kind::Number && Cur().text == "0")) {
        ++pos_;
        return -1;
    }
    bool angle = false, paren = false;
    if (Accept("<"))
        angle = true;
    else if (Accept("("))
        paren = true;
    const Token& name_tok = Cur();
    const std::string name = Expect_Identifier(what);
    if (diag_->Failed()) return -1;
    if (angle && !Expect_Close_Angle()) return -1;
    if (paren && !Expect(")")) return -1;
    const int index = desc_->Find_Parameter(name);
    if (index < 0) {
        Error(name_tok, std::string("unknown ") + what + " '" + name + "'");
        return -1;
    }
    const Type_Info& t = desc_->parameters[static_cast<std::size_t>(index)].type;
    const bool ok = base == Base_Type::Float ? t.Is_Matrix() : t.base == base;
    if (!ok) {
        Error(name_tok, "'" + name + "' is not a " + what);
        return -1;
    }
    return index;
}

// --- techniques ----------------------------------------------------------------
void Effect_Parser::Parse_Technique() {
    ++pos_;
    Technique tech;
    if (Cur().kind == Token_Kind::Identifier) tech.name = toks_[pos_++].text;
    // A second technique of the same name is kept; lookups by name find
    // the first, as they did in D3DX.
    for (const Technique& t : desc_->techniques)
        if (!tech.name.empty() && t.name == tech.name) {
            const Token& at = toks_[pos_ - 1];
            diag_->Warning(
                desc_->files[at.file], at.line,
                "technique '" + tech.name + "' is defined again; the first is used by name");
            break;
        }
    if (Is_Punct("<")) Parse_Annotations(&tech.annotations);
    if (!Expect("{")) return;
    while (!Accept("}")) {
        if (At_End() || diag_->Failed()) {
            Error_Here("unterminated technique");
            return;
        }
        if (!Is_Ident_No_Case("pass")) {
            Error_Here("expected 'pass'");
            return;
        }
        ++pos_;
        Pass pass;
        if (Cur().kind == Token_Kind::Identifier) pass.name = toks_[pos_++].text;
        if (Is_Punct("<")) Parse_Annotations(&pass.annotations);
        if (!Expect("{")) return;
        while (!Accept("}")) {
            if (At_End() || diag_->Failed()) {
                Error_Here("unterminated pass");
                return;
            }
            Parse_Pass_State(&pass);
        }
        tech.passes.push_back(std::move(pass));
    }
    desc_->techniques.push_back(std::move(tech));
}

void Effect_Parser::Parse_Pass_State(Pass* pass) {
    const Token& name_tok = Cur();
    const std::string name = Expect_Identifier("a state name");
    if (diag_->Failed()) return;
    const State_Def* def = Find_State(name, false);
    if (!def) {
        Error(name_tok, "unknown state '" + name + "'");
        return;
    }
    State_Assignment sa;
    sa.def = def;
    sa.name = name;
    sa.file = name_tok.file;
    sa.line = name_tok.line;
    if (Accept("[")) {
        const std::int64_t index = Parse_Constant_Int();
        if (!Expect("]")) return;
        if (!def->indexed || index < 0 || index > 255) {
            Error(name_tok, "invalid index for state '" + name + "'");
            return;
        }
        sa.index = static_cast<std::uint32_t>(index);
    }
    if (!Expect("=")) return;
    const std::size_t value_start = pos_;
    switch (def->kind) {
    case State_Kind::Vertex_Shader:
    case State_Kind::Pixel_Shader: Parse_Shader_Value(&sa); break;
    case State_Kind::Texture: sa.object = Parse_Object_Ref(Base_Type::Texture, "texture"); break;
    case State_Kind::Sampler_Object:
        sa.object = Parse_Object_Ref(Base_Type::Sampler, "sampler");
        break;
    case State_Kind::Shader_Constant: {
        // A parameter (<name>, name) or a value written out.
        const std::size_t name_at = pos_ + (Is_Punct("<") ? 1 : 0);
        const bool named = name_at < toks_.size() &&
                           toks_[name_at].kind == Token_Kind::Identifier &&
                           desc_->Find_Parameter(toks_[name_at].text) >= 0 &&
                           (Is_Punct(";", name_at - pos_ + 1) || Is_Punct(">", name_at - pos_ + 1));
        if (!named) {
            Parse_State_Value(&sa.value, def);
            break;
        }
        if (Accept("<")) {
            sa.object = desc_->Find_Parameter(Cur().text);
            ++pos_;
            if (!Expect_Close_Angle()) return;
        } else {
            sa.object = desc_->Find_Parameter(Cur().text);
            ++pos_;
        }
        if (!desc_->parameters[static_cast<std::size_t>(sa.object)].type.Numeric()) {
            Error(name_tok, "'" + name + "' needs a numeric parameter");
            return;
        }
        break;
    }
    case State_Kind::Transform: {
        // A matrix parameter (M, <M>, (M)), or any matrix expression:
        // "ProjectionTransform = 0;", "WorldTransform[0] = float4x4(...);".
        const std::size_t at = pos_ + ((Is_Punct("<") || Is_Punct("(")) ? 1 : 0);
        const int p = at < toks_.size() && toks_[at].kind == Token_Kind::Identifier
                          ? desc_->Find_Parameter(toks_[at].text)
                          : -1;
        const bool names_matrix = p >= 0 &&
                                  desc_->parameters[static_cast<std::size_t>(p)].type.Is_Matrix() &&
                                  (at == pos_ ? !Is_Punct("[", 1) && Binary_Precedence(Peek(1)) < 0
                                              : Is_Punct_At(at + 1, Is_Punct("<") ? ">" : ")"));
        if (names_matrix)
            sa.object = Parse_Object_Ref(Base_Type::Float, "matrix");
        else
            Parse_State_Value(&sa.value, def);
        break;
    }
    default:
        if (Is_Ident("asm")) {
            Error(Cur(), "assembly shaders are not supported");
            return;
        }
        Parse_State_Value(&sa.value, def);
    }
    if (diag_->Failed()) return;
    sa.value_text = Join(value_start, pos_);
    if (!Expect(";")) return;
    const int state_index = sa.shader_choices.empty() ? -1 : static_cast<int>(pass->states.size());
    if (def->kind == State_Kind::Vertex_Shader) {
        pass->vertex_shader = sa.shader;
        pass->vertex_choice = state_index;
    }
    if (def->kind == State_Kind::Pixel_Shader) {
        pass->pixel_shader = sa.shader;
        pass->pixel_choice = state_index;
    }
    pass->states.push_back(std::move(sa));
}

// A numeric state value: an expression, or "<expression>" as effect files
// write a reference to a parameter ("MinFilter = <g_Filter>;").
void Effect_Parser::Parse_State_Value(Expr* value, const State_Def* def) {
    if (!Accept("<")) {
        value->root = Parse_Expression(value, def, true);
        return;
    }
    ++in_angles_;  // '>' closes the reference
    value->root = Parse_Expression(value, def, true);
    --in_angles_;
    if (!diag_->Failed()) Expect_Close_Angle();
}

// A shader parameter: name, (name), <name>, or an element of a shader
// array, name[index] in the same brackets. A constant index picks the
// element here; any other the pass picks when it is applied.
void Effect_Parser::Parse_Shader_Ref(State_Assignment* sa, bool vertex) {
    const Base_Type base = vertex ? Base_Type::Vertex_Shader : Base_Type::Pixel_Shader;
    const char* what = vertex ? "vertex shader" : "pixel shader";
    const bool angle = Is_Punct("<") && Is_Punct("[", 2);
    const bool paren = Is_Punct("(") && Is_Punct("[", 2);
    if (!angle && !paren && !Is_Punct("[", 1)) {
        const int p = Parse_Object_Ref(base, what);
        sa->shader = p < 0 ? -1 : desc_->parameters[static_cast<std::size_t>(p)].shader;
        return;
    }
    if (angle || paren) ++pos_;
    const Token& name_tok = Cur();
    const std::string name = Expect_Identifier(what);
    if (diag_->Failed()) return;
    const int p = desc_->Find_Parameter(name);
    if (p < 0) {
        Error(name_tok, std::string("unknown ") + what + " '" + name + "'");
        return;
    }
    const Parameter& param = desc_->parameters[static_cast<std::size_t>(p)];
    if (param.type.base != base || param.shader_elements.empty()) {
        Error(name_tok, "'" + name + "' is not an array of " + what + "s");
        return;
    }
    ++pos_;  // [
    Expr index;
    index.root = Parse_Expression(&index, nullptr, true);
    if (diag_->Failed() || !Expect("]")) return;
    if (angle && !Expect_Close_Angle()) return;
    if (paren && !Expect(")")) return;
    const std::vector<int>& elements = param.shader_elements;
    if (!index.Constant()) {
        sa->value = std::move(index);
        sa->shader_choices = elements;
        sa->shader = elements[0];
        return;
    }
    double at = 0;
    Evaluate(index, *desc_, nullptr, &at, 1);
    if (!(at >= 0 && at < static_cast<double>(elements.size()))) {
        Error(name_tok, "index " + std::to_string(static_cast<long long>(at)) + " is outside '" +
                            name + "' (" + std::to_string(elements.size()) + " shaders)");
        return;
    }
    sa->shader = elements[static_cast<std::size_t>(at)];
}

void Effect_Parser::Parse_Shader_Value(State_Assignment* sa) {
    const bool vertex = sa->def->kind == State_Kind::Vertex_Shader;
    // "decl { }" before asm, the form older effect files wrote: the block
    // would map streams to registers; the dcl instructions say it instead.
    if (Is_Ident_No_Case("decl") && Is_Punct("{", 1)) {
        if (!Is_Punct("}", 2) || !Is_Ident_No_Case("asm", 3)) {
            Error(Cur(), "asm: only an empty 'decl { }' block is supported");
            return;
        }
        pos_ += 3;
    }
    if (Is_Ident_No_Case("asm")) {
        Parse_Asm_Block(sa, vertex);
        return;
    }
    if (Is_Ident_No_Case("NULL") || (Cur().kind == Token_Kind::Number && Cur().text == "0")) {
        ++pos_;
        sa->shader = -1;
        return;
    }
    if (!Is_Ident("compile")) {
        Parse_Shader_Ref(sa, vertex);
        return;
    }
    const Token& compile_tok = Cur();
    ++pos_;
    const Token& profile_tok = Cur();
    const std::string written = Expect_Identifier("a shader profile");
    if (diag_->Failed()) return;
    // Profiles are known in either letter case (PS_2_0).
    std::string profile = written;
    for (char& c : profile) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    bool known = false;
    for (const char* pr : k_profiles) known = known || profile == pr;
    if (!known) {
        Error(profile_tok, "unsupported shader profile '" + written + "'");
        return;
    }
    if ((profile[0] == 'v') != vertex) {
        Error(profile_tok, std::string("profile '") + profile + "' cannot be used for a " +
                               (vertex ? "vertex" : "pixel") + " shader");
        return;
    }
    Shader_Compile sc;
    sc.stage = vertex ? Shader_Stage::Vertex : Shader_Stage::Pixel;
    sc.profile = profile;
    sc.file = compile_tok.file;
    sc.line = compile_tok.line;
    sc.entry = Expect_Identifier("a function name");
    if (!Expect("(")) return;
    if (!Accept(")")) {
        while (true) {
            const std::size_t arg_start = pos_;
            int level = 0;
            while (!At_End()) {
                if (Is_Punct("(") || Is_Punct("[") || Is_Punct("{")) {
                    // The arguments go into the shader code as written.
                    if (++level > k_max_nesting_depth) {
                        Error_Here("shader arguments nested too deeply");
                        return;
                    }
                }
                if (Is_Punct(")") || Is_Punct("]") || Is_Punct("}")) {
                    if (level == 0) break;
                    --level;
                }
                if (level == 0 && Is_Punct(",")) break;
                ++pos_;
            }
            if (At_End()) {
                Error_Here("unterminated argument list");
                return;
            }
            if (pos_ == arg_start) {
                Error_Here("missing argument");
                return;
            }
            if (const std::size_t deep = Find_Too_Deep_Code(toks_, arg_start, pos_); deep < pos_) {
                Error(toks_[deep], "shader arguments nested too deeply");
                return;
            }
            std::string text;
            for (std::size_t k = arg_start; k < pos_; ++k) {
                if (k > arg_start) text += ' ';
                text += toks_[k].text;
            }
            sc.args.push_back(std::move(text));
            if (Accept(")")) break;
            if (!Expect(",")) return;
        }
    }
    for (std::size_t k = 0; k < desc_->shaders.size(); ++k) {
        const Shader_Compile& o = desc_->shaders[k];
        if (o.stage == sc.stage && o.profile == sc.profile && o.entry == sc.entry &&
            o.args == sc.args) {
            sa->shader = static_cast<int>(k);
            return;
        }
    }
    desc_->shaders.push_back(std::move(sc));
    sa->shader = static_cast<int>(desc_->shaders.size() - 1);
}

// The block's tokens go back together as lines, as the assembler reads them:
// a line per source line, with the spacing of the source. ';' starts a
// comment that runs to the end of its line.
void Effect_Parser::Parse_Asm_Block(State_Assignment* sa, bool vertex) {
    const Token& asm_tok = Cur();
    ++pos_;
    if (!Expect("{")) return;
    Shader_Compile sc;
    sc.stage = vertex ? Shader_Stage::Vertex : Shader_Stage::Pixel;
    sc.entry = "asm";
    sc.file = asm_tok.file;
    sc.line = asm_tok.line;
    std::string line;
    std::uint16_t line_file = 0;
    std::uint32_t line_number = 0;
    bool comment = false;
    auto flush = [&] {
        if (line.empty()) return;
        if (sc.assembly_lines.empty()) {
            const std::string profile = Asm_Profile(line);
            if (profile.empty()) {
                diag_->Error(desc_->files[line_file], line_number,
                             "asm: unsupported shader profile '" + line + "'");
                return;
            }
            if ((profile[0] == 'v') != vertex) {
                diag_->Error(desc_->files[line_file], line_number,
                             "asm: profile '" + profile + "' cannot be used for a " +
                                 (vertex ? "vertex" : "pixel") + " shader");
                return;
            }
            sc.profile = line = profile;
        }
        sc.assembly += line;
        sc.assembly += '\n';
        sc.assembly_lines.emplace_back(line_file, line_number);
        line.clear();
    };
    while (!Is_Punct("}")) {
        if (At_End()) {
            Error(asm_tok, "unterminated asm block");
            return;
        }
        const Token& t = Cur();
        if (t.file != line_file || t.line != line_number) {
            flush();
            if (diag_->Failed()) return;
            line_file = t.file;
            line_number = t.line;
            comment = false;
        }
        ++pos_;
        if (comment || (t.kind == Token_Kind::Punct && t.text == ";")) {
            comment = true;
            continue;
        }
        // Shader assembly is names, numbers and a few marks. Anything else
        // is refused here: the assembler's own preprocessor hangs on an
        // unterminated string, for one.
        static const char* const k_marks[] = {",", ".", "+", "-", "[", "]", "!", "(", ")"};
        bool known = t.kind == Token_Kind::Identifier || t.kind == Token_Kind::Number;
        for (const char* m : k_marks) known = known || (t.kind == Token_Kind::Punct && t.text == m);
        if (!known) {
            Error(t, "asm: unexpected '" + t.text + "'");
            return;
        }
        if (!line.empty() && t.space_before) line += ' ';
        line += t.text;
        // The profile ("vs_1_1", "ps.1.4") is a line of its own.
        if (sc.assembly_lines.empty()) {
            const Token& next = Cur();
            const bool glued = !At_End() && !next.space_before && next.file == t.file &&
                               next.line == t.line &&
                               (next.kind == Token_Kind::Number ||
                                (next.kind == Token_Kind::Punct && next.text == "."));
            if (!glued) {
                flush();
                if (diag_->Failed()) return;
            }
        }
        if (sc.assembly.size() + line.size() > k_max_shader_source_bytes) {
            Error(asm_tok,
                  "asm block longer than " + std::to_string(k_max_shader_source_bytes) + " bytes");
            return;
        }
    }
    ++pos_;  // }
    flush();
    if (diag_->Failed()) return;
    if (sc.assembly_lines.empty()) {
        Error(asm_tok, "empty asm block");
        return;
    }
    for (std::size_t k = 0; k < desc_->shaders.size(); ++k) {
        const Shader_Compile& o = desc_->shaders[k];
        if (o.stage == sc.stage && o.assembly == sc.assembly) {
            sa->shader = static_cast<int>(k);
            return;
        }
    }
    desc_->shaders.push_back(std::move(sc));
    sa->shader = static_cast<int>(desc_->shaders.size() - 1);
}

void Effect_Parser::Check_Shader_Entries() {
    for (const Shader_Compile& sc : desc_->shaders) {
        if (!sc.assembly.empty()) continue;
        const Function_Info* f = desc_->Find_Function(sc.entry, sc.args.size());
        const std::string& file = desc_->files[sc.file];
        if (!f) {
            diag_->Error(file, sc.line, "undefined function '" + sc.entry + "'");
            return;
        }
        std::size_t uniforms = 0, required = 0;
        for (const Function_Param& p : f->params)
            if (p.is_uniform) {
                ++uniforms;
                if (!p.has_default) ++required;
            }
        if (sc.args.size() < required || sc.args.size() > uniforms) {
            diag_->Error(file, sc.line,
                         "'" + sc.entry + "' takes " + std::to_string(uniforms) +
                             " uniform arguments, " + std::to_string(sc.args.size()) + " given");
            return;
        }
    }
}

}  // namespace qm_fx
