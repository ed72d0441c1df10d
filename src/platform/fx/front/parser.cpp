// The effect syntax: parameters, textures, samplers, techniques and passes.
// Everything the HLSL compiler must see (structs, functions, statics and the
// parameters shaders read) is copied to Effect_Desc::hlsl token by token,
// keeping the origin of every line. This file holds the types' own methods,
// the top level and functions; parser_private.h lists the other parts.
#include "platform/fx/front/parser.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

#include "platform/fx/front/parser_private.h"
#include "platform/fx/glslang_gaps.h"

namespace qm_fx {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------
std::uint32_t Type_Info::Element_Words() const {
    switch (cls) {
    case Type_Class::Object: return 0;
    case Type_Class::Struct: {
        std::uint32_t n = 0;
        for (const Struct_Member& m : members) n += m.type->Words();
        return n;
    }
    default: return base == Base_Type::Void ? 0 : std::uint32_t(rows) * cols;
    }
}

std::string Type_Info::Element_Name() const {
    auto scalar = [this]() -> std::string {
        switch (base) {
        case Base_Type::Bool: return "bool";
        case Base_Type::Int: return "int";
        case Base_Type::Uint: return "uint";
        case Base_Type::Void: return "void";
        default: return "float";
        }
    };
    auto dim_name = [this]() -> std::string {
        switch (dim) {
        case Object_Dim::Dim1: return "1D";
        case Object_Dim::Dim2: return "2D";
        case Object_Dim::Dim3: return "3D";
        case Object_Dim::Cube: return "CUBE";
        default: return "";
        }
    };
    switch (cls) {
    case Type_Class::Scalar: return scalar();
    case Type_Class::Vector: return scalar() + std::to_string(cols);
    case Type_Class::Matrix_Rows:
    case Type_Class::Matrix_Columns:
        return scalar() + std::to_string(rows) + "x" + std::to_string(cols);
    case Type_Class::Struct: return struct_name.empty() ? "struct" : struct_name;
    case Type_Class::Object:
        switch (base) {
        case Base_Type::String: return "string";
        case Base_Type::Texture: return "texture" + dim_name();
        case Base_Type::Sampler: return "sampler" + dim_name();
        case Base_Type::Vertex_Shader: return "vertexshader";
        case Base_Type::Pixel_Shader: return "pixelshader";
        default: return "object";
        }
    }
    return "?";
}

std::string Type_Info::Name() const {
    return Element_Name() + Array_Suffix();
}

std::string Type_Info::Array_Suffix() const {
    if (!elements) return "";
    if (dims.empty()) return "[" + std::to_string(elements) + "]";
    std::string s;
    for (const std::uint32_t d : dims) s += "[" + std::to_string(d) + "]";
    return s;
}

double Word_Value(Base_Type base, std::uint32_t word) {
    switch (base) {
    case Base_Type::Float: return static_cast<double>(std::bit_cast<float>(word));
    case Base_Type::Int: return static_cast<double>(static_cast<std::int32_t>(word));
    case Base_Type::Uint: return static_cast<double>(word);
    case Base_Type::Bool: return word ? 1.0 : 0.0;
    default: return 0.0;
    }
}

std::uint32_t Value_Word(Base_Type base, double v) {
    switch (base) {
    case Base_Type::Float: return std::bit_cast<std::uint32_t>(static_cast<float>(v));
    case Base_Type::Int: {
        if (!(v == v)) return 0;
        const double c = std::clamp(v, -2147483648.0, 2147483647.0);
        return static_cast<std::uint32_t>(static_cast<std::int32_t>(c));
    }
    case Base_Type::Uint: {
        if (!(v == v)) return 0;
        // Negative values wrap as a C cast from int would.
        const double c = std::clamp(v, -2147483648.0, 4294967295.0);
        return c < 0 ? static_cast<std::uint32_t>(static_cast<std::int32_t>(c))
                     : static_cast<std::uint32_t>(c);
    }
    case Base_Type::Bool: return v != 0.0 ? 1u : 0u;
    default: return 0;
    }
}

int Effect_Desc::Find_Parameter(const std::string& name) const {
    for (std::size_t i = 0; i < parameters.size(); ++i)
        if (parameters[i].name == name) return static_cast<int>(i);
    return -1;
}

const Function_Info* Effect_Desc::Find_Function(const std::string& name,
                                                std::size_t uniform_args) const {
    const Function_Info* any = nullptr;
    for (const Function_Info& f : functions) {
        if (f.name != name || !f.defined) continue;
        std::size_t uniforms = 0, required = 0;
        for (const Function_Param& p : f.params)
            if (p.is_uniform) {
                ++uniforms;
                if (!p.has_default) ++required;
            }
        if (uniform_args >= required && uniform_args <= uniforms) return &f;
        any = &f;
    }
    return any;
}

// ---------------------------------------------------------------------------
// The parser: top level and functions
// ---------------------------------------------------------------------------
// Effect files written for Direct3D 9 spell type keywords in any case
// ("Matrix World;", "Float4(...)"); glslang wants them in lower case. Only a
// name in type position (before a name, '<' or '(') is rewritten, so a
// variable called "Vector" keeps its name.
void Effect_Parser::Normalize_Type_Keywords() {
    for (std::size_t k = 0; k + 1 < toks_.size(); ++k) {
        Token& t = toks_[k];
        if (t.kind != Token_Kind::Identifier) continue;
        const std::string lower = Lower(t.text);
        const Token& next = toks_[k + 1];
        if (Rename_Any_All_Call(&t.text, next)) continue;
        if (lower == t.text) continue;
        if (next.kind != Token_Kind::Identifier && next.text != "<" && next.text != "(") continue;
        Type_Info type;
        if (lower == "matrix" || lower == "vector" ||
            (Builtin_Type(lower, &type) && type.Numeric()))
            t.text = lower;
    }
}

bool Effect_Parser::Run() {
    Normalize_Type_Keywords();
    while (!At_End() && !diag_->Failed()) Top_Level();
    if (!diag_->Failed()) Check_Shader_Entries();
    desc_->storage_words = storage_words_;
    desc_->defaults.resize(storage_words_, 0);
    return !diag_->Failed();
}

// --- top level ---------------------------------------------------------
void Effect_Parser::Top_Level() {
    const Token& t = Cur();
    if (t.kind == Token_Kind::Pragma) {
        const std::string p = Lower(t.text);
        if (p.find("row_major") != std::string::npos) row_major_ = true;
        if (p.find("column_major") != std::string::npos) row_major_ = false;
        if (desc_->parameters.empty()) desc_->row_major_default = row_major_;
        Emit_Line("#pragma " + t.text, t);
        ++pos_;
        return;
    }
    if (Accept(";")) return;
    if (t.kind != Token_Kind::Identifier) {
        Error_Here("unexpected token");
        return;
    }
    if (Equal_No_Case(t.text, "technique") || Equal_No_Case(t.text, "technique9")) {
        Parse_Technique();
        return;
    }
    if (t.text == "technique10" || t.text == "technique11" || t.text == "fxgroup") {
        Error(t, "'" + t.text + "' blocks are not supported (Direct3D 9 effects use 'technique')");
        return;
    }
    if (t.text == "cbuffer" || t.text == "tbuffer") {
        Error(t, "'" + t.text + "' is not supported in Direct3D 9 effects");
        return;
    }
    if (t.text == "asm") {
        Error(t, "assembly shaders are not supported");
        return;
    }
    if (t.text == "struct" && Peek(1).kind == Token_Kind::Identifier && Is_Punct("{", 2)) {
        Parse_Struct(false);
        return;
    }
    if (t.text == "typedef") {
        Parse_Typedef();
        return;
    }
    Parse_Declaration();
}

// --- functions -------------------------------------------------------------------
void Effect_Parser::Parse_Function(std::size_t start, const Type_Info& return_type) {
    Function_Info f;
    const Token& name_tok = Cur();
    f.name = name_tok.text;
    f.file = name_tok.file;
    f.line = name_tok.line;
    f.return_type = return_type;
    local_structs_.clear();
    pos_ += 2;  // name (
    if (Is_Ident("void") && Is_Punct(")", 1)) ++pos_;
    if (!Accept(")")) {
        while (true) {
            Function_Param p;
            const Modifiers m = Parse_Modifiers();
            p.is_uniform = m.is_uniform;
            p.is_out = m.is_out;
            p.is_in = m.is_in || !m.is_out;
            const Token& type_tok = Cur();
            if (!Parse_Type(&p.type, m.row_major, m.column_major)) {
                Error(type_tok, "unknown type '" + type_tok.text + "'");
                return;
            }
            // Object parameters (samplers) are uniform by nature.
            if (p.type.cls == Type_Class::Object) p.is_uniform = true;
            p.name = Expect_Identifier("a parameter name");
            const std::uint32_t elements = Parse_Array_Suffix();
            if (elements) {
                p.type.elements = elements;
                p.type.dims = last_dims_;
            }
            Parse_Semantics(&p.semantic, nullptr);
            if (Accept("=")) {
                p.has_default = true;
                int level = 0;
                while (!At_End()) {
                    if (Is_Punct("(")) ++level;
                    if (Is_Punct(")")) {
                        if (level == 0) break;
                        --level;
                    }
                    if (level == 0 && Is_Punct(",")) break;
                    ++pos_;
                }
            }
            if (diag_->Failed()) return;
            f.params.push_back(std::move(p));
            if (Accept(")")) break;
            if (!Expect(",")) return;
        }
    }
    while (Accept(":")) f.return_semantic = Expect_Identifier("a semantic");
    if (diag_->Failed()) return;
    if (Accept(";")) {
        desc_->functions.push_back(std::move(f));
        Emit(start, pos_);
        return;
    }
    if (!Is_Punct("{")) {
        Error_Here("expected '{'");
        return;
    }
    const std::size_t body = pos_;
    int level = 0;
    while (true) {
        if (At_End()) {
            Error(name_tok, "unterminated body of function '" + f.name + "'");
            return;
        }
        if (Is_Ident("asm")) {
            Error(Cur(), "assembly shaders are not supported");
            return;
        }
        if (level > 0 && Is_Ident("struct") && Peek(1).kind == Token_Kind::Identifier &&
            Is_Punct("{", 2)) {
            Parse_Struct(true);
            if (diag_->Failed()) return;
            continue;
        }
        if (Is_Punct("{")) ++level;
        if (Is_Punct("}") && --level == 0) {
            ++pos_;
            break;
        }
        ++pos_;
    }
    f.defined = true;
    {
        std::vector<std::string> names;
        for (const Function_Param& p : f.params) names.push_back(p.name);
        function_bodies_[f.name + "/" + std::to_string(f.params.size())] = {body, std::move(names)};
    }
    desc_->functions.push_back(std::move(f));
    Emit(start, pos_);
    local_structs_.clear();
}

// glslang builds a tree of every expression and statement and walks it
// recursively, so a chain like x+x+x+..., a run of nested ifs or a long
// else-if ladder overflows its stack without any bracket nesting deep.
// This follows an upper bound of that depth through the tokens: operators
// and control keywords add a level; a bracket returns to the level it
// opened at; a comma, a statement's end or a block's end goes back to the
// level of the enclosing bracket, except before an 'else', which continues
// its if. The first token past the limit, or `end` when there is none.
std::size_t Find_Too_Deep_Code(const std::vector<Token>& toks, std::size_t begin, std::size_t end) {
    static const char* const control[] = {"if", "else", "for", "while", "do", "switch"};
    struct Level {
        int at_open;  // the depth where the bracket opened
        int control;  // the depth of the last control keyword inside it
    };
    std::vector<Level> levels;
    int depth = 0;
    int last_control = 0;
    auto base = [&levels] { return levels.empty() ? 0 : levels.back().at_open; };
    auto next_is_else = [&toks, end](std::size_t k) {
        return k + 1 < end && toks[k + 1].kind == Token_Kind::Identifier &&
               toks[k + 1].text == "else";
    };
    for (std::size_t k = begin; k < end; ++k) {
        const Token& t = toks[k];
        if (t.kind == Token_Kind::Punct && t.text.size() == 1 && std::strchr("([{", t.text[0])) {
            levels.push_back({depth, last_control});
            last_control = depth;
            continue;
        }
        if (t.kind == Token_Kind::Punct && t.text.size() == 1 && std::strchr(")]}", t.text[0])) {
            if (levels.empty()) continue;
            depth = levels.back().at_open;
            last_control = levels.back().control;
            levels.pop_back();
            // A block that ends a statement, unless an else follows.
            const bool continues =
                next_is_else(k) || (k + 1 < end && toks[k + 1].kind == Token_Kind::Punct &&
                                    std::strchr(";,)]", toks[k + 1].text[0]));
            if (t.text == "}" && !continues) depth = last_control = base();
            continue;
        }
        if (t.kind == Token_Kind::Punct && (t.text == ";" || t.text == ",")) {
            if (t.text == ";" && next_is_else(k)) {
                depth = last_control;
            } else {
                depth = base();
                if (t.text == ";") last_control = depth;
            }
            continue;
        }
        if (t.kind == Token_Kind::Punct) {
            ++depth;
        } else if (t.kind == Token_Kind::Identifier) {
            bool is_control = false;
            for (const char* c : control) is_control |= t.text == c;
            if (!is_control) continue;
            last_control = ++depth;
        } else {
            continue;
        }
        if (depth > k_max_nesting_depth) return k;
    }
    return end;
}

void Effect_Parser::Emit(std::size_t begin, std::size_t end) {
    std::vector<Token> out;
    Rewrite_Glslang_Gaps(toks_, begin, std::min(end, toks_.size()), &out);
    const std::size_t deep = Find_Too_Deep_Code(out, 0, out.size());
    if (deep < out.size()) {
        Error(out[deep], "shader code nested more than " + std::to_string(k_max_nesting_depth) +
                             " levels deep");
        return;
    }
    for (const Token& t : out) {
        if (diag_->Failed()) break;
        Emit_Token(t);
    }
}

void Effect_Parser::Emit_Token(const Token& t) {
    if (t.kind == Token_Kind::Punct && t.text.size() == 1) {
        const char c = t.text[0];
        if (c == '(' || c == '[' || c == '{') {
            if (++code_depth_ > k_max_nesting_depth) {
                Error(t, "shader code nested more than " + std::to_string(k_max_nesting_depth) +
                             " levels deep");
                return;
            }
        } else if ((c == ')' || c == ']' || c == '}') && code_depth_ > 0) {
            --code_depth_;
        }
    }
    // "line" is a keyword of glslang's HLSL (geometry shader input) but an
    // ordinary name in Direct3D 9 shaders: locals and functions called so
    // get another name. A parameter keeps its name (the effect's interface).
    if (t.kind == Token_Kind::Identifier && t.text == "line" && desc_->Find_Parameter("line") < 0) {
        hlsl_.Token_Text(Helper_Name("line"), t.file, t.line);
    } else {
        hlsl_.Token_Text(t.text, t.file, t.line);
    }
    if (desc_->hlsl.text.size() > k_max_shader_source_bytes) Shader_Too_Large(t);
}

void Effect_Parser::Emit_Line(const std::string& text, const Token& at) {
    hlsl_.Line(text, at.file, at.line);
    if (desc_->hlsl.text.size() > k_max_shader_source_bytes) Shader_Too_Large(at);
}

void Effect_Parser::Shader_Too_Large(const Token& at) {
    Error(at, "shader code longer than " + std::to_string(k_max_shader_source_bytes) + " bytes");
}

bool Parse_Effect(const Token_Stream& tokens, Effect_Desc* out, Diagnostics* diagnostics) {
    *out = Effect_Desc{};
    Effect_Parser p(tokens, out, diagnostics);
    return p.Run();
}

}  // namespace qm_fx
