// The effect parser, declarations: built-in and struct types, typedefs,
// modifiers, declarators of parameters and statics, and their initializers.
// Statics and the parameters shaders read go to the HLSL text as well.
#include "platform/fx/front/parser_private.h"
#include "platform/fx/glslang_gaps.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <memory>

namespace qm_fx {

namespace {

const char* const k_decl_modifiers[] = {
    "uniform",      "static", "shared",  "extern",          "const",  "volatile", "row_major",
    "column_major", "inline", "precise", "nointerpolation", "linear", "centroid", "noperspective",
    "sample",       "snorm",  "unorm",   "groupshared",     "in",     "out",      "inout"};

bool Is_Modifier(const std::string& s) {
    for (const char* m : k_decl_modifiers)
        if (s == m) return true;
    return false;
}

}  // namespace

bool Effect_Parser::Scalar_Base(const std::string& s, Base_Type* base) {
    if (s == "bool")
        *base = Base_Type::Bool;
    else if (s == "int")
        *base = Base_Type::Int;
    else if (s == "uint" || s == "dword")
        *base = Base_Type::Uint;
    else if (s == "half" || s == "float" || s == "double" || s == "min16float" || s == "min10float")
        *base = Base_Type::Float;
    else
        return false;
    return true;
}

// A built-in type name, without templates.
bool Effect_Parser::Builtin_Type(const std::string& s, Type_Info* t) const {
    static const char* const scalars[] = {"bool",  "int",    "uint",       "dword",     "half",
                                          "float", "double", "min16float", "min10float"};
    for (const char* sc : scalars) {
        const std::size_t n = std::strlen(sc);
        if (s.compare(0, n, sc) != 0) continue;
        const std::string rest = s.substr(n);
        Base_Type base = Base_Type::Float;
        Scalar_Base(sc, &base);
        *t = Type_Info{};
        t->base = base;
        if (rest.empty()) {
            t->cls = Type_Class::Scalar;
            return true;
        }
        if (rest.size() == 1 && rest[0] >= '1' && rest[0] <= '4') {
            t->cls = Type_Class::Vector;
            t->cols = static_cast<std::uint8_t>(rest[0] - '0');
            return true;
        }
        if (rest.size() == 3 && rest[0] >= '1' && rest[0] <= '4' && rest[1] == 'x' &&
            rest[2] >= '1' && rest[2] <= '4') {
            t->cls = row_major_ ? Type_Class::Matrix_Rows : Type_Class::Matrix_Columns;
            t->rows = static_cast<std::uint8_t>(rest[0] - '0');
            t->cols = static_cast<std::uint8_t>(rest[2] - '0');
            return true;
        }
    }
    const std::string l = Lower(s);
    auto object = [t](Base_Type base, Object_Dim dim) {
        *t = Type_Info{};
        t->base = base;
        t->cls = Type_Class::Object;
        t->dim = dim;
        return true;
    };
    if (l == "string") return object(Base_Type::String, Object_Dim::Any);
    if (l == "texture") return object(Base_Type::Texture, Object_Dim::Any);
    if (l == "texture1d") return object(Base_Type::Texture, Object_Dim::Dim1);
    if (l == "texture2d") return object(Base_Type::Texture, Object_Dim::Dim2);
    if (l == "texture3d") return object(Base_Type::Texture, Object_Dim::Dim3);
    if (l == "texturecube") return object(Base_Type::Texture, Object_Dim::Cube);
    // SamplerState: the later spelling, which the compilers of the time
    // also took for a Direct3D 9 sampler.
    if (l == "sampler" || l == "samplerstate") return object(Base_Type::Sampler, Object_Dim::Any);
    if (l == "sampler1d") return object(Base_Type::Sampler, Object_Dim::Dim1);
    if (l == "sampler2d") return object(Base_Type::Sampler, Object_Dim::Dim2);
    if (l == "sampler3d") return object(Base_Type::Sampler, Object_Dim::Dim3);
    if (l == "samplercube") return object(Base_Type::Sampler, Object_Dim::Cube);
    if (l == "vertexshader") return object(Base_Type::Vertex_Shader, Object_Dim::Any);
    if (l == "pixelshader") return object(Base_Type::Pixel_Shader, Object_Dim::Any);
    if (s == "void") {
        *t = Type_Info{};
        t->base = Base_Type::Void;
        return true;
    }
    return false;
}

// Parses a type at the cursor. False (no error) when no type starts here.
bool Effect_Parser::Parse_Type(Type_Info* t, bool matrix_row_major, bool matrix_column_major) {
    const Token& tok = Cur();
    if (tok.kind != Token_Kind::Identifier) return false;
    if ((tok.text == "vector" || tok.text == "matrix") && Is_Punct("<", 1)) {
        const bool is_matrix = tok.text == "matrix";
        pos_ += 2;
        Base_Type base = Base_Type::Float;
        if (Cur().kind != Token_Kind::Identifier || !Scalar_Base(Cur().text, &base)) {
            Error_Here("expected a scalar type");
            return false;
        }
        ++pos_;
        int dims[2] = {4, 4};
        for (int d = 0; d < (is_matrix ? 2 : 1); ++d) {
            if (!Expect(",")) return false;
            ++in_angles_;  // '>' closes the template here
            dims[d] = static_cast<int>(Parse_Constant_Int());
            --in_angles_;
            if (dims[d] < 1 || dims[d] > 4) {
                Error(tok, "vector and matrix dimensions must be 1 to 4");
                return false;
            }
        }
        if (!Expect_Close_Angle()) return false;
        *t = Type_Info{};
        t->base = base;
        if (is_matrix) {
            t->cls = Type_Class::Matrix_Columns;
            t->rows = static_cast<std::uint8_t>(dims[0]);
            t->cols = static_cast<std::uint8_t>(dims[1]);
        } else {
            t->cls = Type_Class::Vector;
            t->cols = static_cast<std::uint8_t>(dims[0]);
        }
    } else if (tok.text == "vector" || tok.text == "matrix") {
        ++pos_;
        *t = Type_Info{};
        if (tok.text == "matrix") {
            t->cls = Type_Class::Matrix_Columns;
            t->rows = t->cols = 4;
        } else {
            t->cls = Type_Class::Vector;
            t->cols = 4;
        }
    } else if (tok.text == "struct" && Peek(1).kind == Token_Kind::Identifier) {
        const Type_Info* s = Find_Struct(Peek(1).text);
        if (!s) return false;
        *t = *s;
        pos_ += 2;
        return true;
    } else if (const Type_Info* s = Find_Struct(tok.text)) {
        *t = *s;
        ++pos_;
        return true;
    } else if (auto a = typedefs_.find(tok.text); a != typedefs_.end()) {
        *t = a->second;
        ++pos_;
    } else if (Builtin_Type(tok.text, t)) {
        ++pos_;
    } else {
        return false;
    }
    if (t->Is_Matrix()) {
        if (matrix_row_major)
            t->cls = Type_Class::Matrix_Rows;
        else if (matrix_column_major)
            t->cls = Type_Class::Matrix_Columns;
        else
            t->cls = row_major_ ? Type_Class::Matrix_Rows : Type_Class::Matrix_Columns;
    }
    return true;
}

Modifiers Effect_Parser::Parse_Modifiers() {
    Modifiers m;
    while (Cur().kind == Token_Kind::Identifier && Is_Modifier(Cur().text)) {
        const std::string& s = Cur().text;
        if (s == "static")
            m.is_static = true;
        else if (s == "const")
            m.is_const = true;
        else if (s == "uniform")
            m.is_uniform = true;
        else if (s == "row_major")
            m.row_major = true;
        else if (s == "column_major")
            m.column_major = true;
        else if (s == "in")
            m.is_in = true;
        else if (s == "out")
            m.is_out = true;
        else if (s == "inout")
            m.is_in = m.is_out = true;
        ++pos_;
    }
    return m;
}

// [N] suffixes; returns the element count (0 when none), the product of
// the lengths for a multi-dimensional array, whose lengths are left in
// last_dims_ (empty for one dimension).
std::uint32_t Effect_Parser::Parse_Array_Suffix() {
    std::uint64_t elements = 0;
    last_dims_.clear();
    unsized_array_ = false;
    while (Is_Punct("[")) {
        const Token& at = Cur();
        ++pos_;
        // "name[] = { ... }": the initializer gives the length (Size_Unsized_Array).
        const bool unsized = elements == 0 && Is_Punct("]");
        unsized_array_ = unsized_array_ || unsized;
        const std::int64_t n = unsized ? 1 : Parse_Constant_Int();
        if (!Expect("]")) return 0;
        if (n < 1 || n > 65536 ||
            (elements ? elements : 1) * static_cast<std::uint64_t>(n) > 65536) {
            Error(at, "array size must be 1 to 65536");
            return 0;
        }
        last_dims_.push_back(static_cast<std::uint32_t>(n));
        elements = (elements ? elements : 1) * static_cast<std::uint64_t>(n);
    }
    if (last_dims_.size() == 1) last_dims_.clear();
    return static_cast<std::uint32_t>(elements);
}

// --- structs and typedefs ------------------------------------------------
const Type_Info* Effect_Parser::Find_Struct(const std::string& name) const {
    if (auto s = local_structs_.find(name); s != local_structs_.end()) return s->second.get();
    if (auto s = desc_->structs.find(name); s != desc_->structs.end()) return s->second.get();
    return nullptr;
}

void Effect_Parser::Parse_Struct(bool local) {
    const std::size_t start = pos_;
    ++pos_;
    const std::string name = toks_[pos_++].text;
    ++pos_;  // {
    auto type = std::make_shared<Type_Info>();
    type->base = Base_Type::Struct;
    type->cls = Type_Class::Struct;
    type->struct_name = name;
    type->struct_nesting = 1;
    std::uint64_t words = 0;
    while (!Is_Punct("}")) {
        if (At_End() || diag_->Failed()) {
            Error_Here("unterminated struct");
            return;
        }
        const Modifiers m = Parse_Modifiers();
        Type_Info mt;
        const Token& type_tok = Cur();
        if (!Parse_Type(&mt, m.row_major, m.column_major)) {
            Error(type_tok, "unknown type '" + type_tok.text + "'");
            return;
        }
        if (!mt.Numeric()) {
            Error(type_tok, "struct members must be numeric");
            return;
        }
        // The driver's compiler slows down with deep and large structs.
        if (mt.struct_nesting >= k_max_struct_nesting) {
            Error(type_tok, "struct '" + name + "' nests structs more than " +
                                std::to_string(k_max_struct_nesting) + " levels deep");
            return;
        }
        const auto nesting = static_cast<std::uint8_t>(mt.struct_nesting + 1);
        type->struct_nesting = std::max(type->struct_nesting, nesting);
        while (true) {
            Struct_Member member;
            member.name = Expect_Identifier("a member name");
            Type_Info full = mt;
            full.elements = Parse_Array_Suffix();
            full.dims = last_dims_;
            if (unsized_array_) {
                Error(type_tok, "member '" + member.name + "' needs an array size");
                return;
            }
            Parse_Semantics(&member.semantic, nullptr);
            if (diag_->Failed()) return;
            words += full.Words();
            if (words > k_max_struct_words) {
                Error(type_tok, "struct '" + name + "' holds more than " +
                                    std::to_string(k_max_struct_words) + " values");
                return;
            }
            member.type = std::make_shared<Type_Info>(full);
            type->members.push_back(std::move(member));
            if (!Accept(",")) break;
        }
        if (!Expect(";")) return;
    }
    ++pos_;  // }
    if (local) {
        // The function body carries the definition to the compiler.
        local_structs_[name] = type;
        return;
    }
    desc_->structs[name] = type;
    // "struct S { ... } s;" declares a parameter as well: emit the struct alone.
    Emit(start, pos_);
    if (Is_Punct(";")) {
        Emit_Token(Cur());
        ++pos_;
        return;
    }
    const Token& semi_at = toks_[pos_ - 1];
    hlsl_.Token_Text(";", semi_at.file, semi_at.line);
    Parse_Declarators(pos_, Modifiers{}, *type);
}

void Effect_Parser::Parse_Typedef() {
    const std::size_t start = pos_;
    ++pos_;
    const Modifiers m = Parse_Modifiers();
    Type_Info t;
    const Token& type_tok = Cur();
    if (!Parse_Type(&t, m.row_major, m.column_major)) {
        Error(type_tok, "unknown type '" + type_tok.text + "'");
        return;
    }
    const std::string name = Expect_Identifier("a type name");
    t.elements = Parse_Array_Suffix();
    t.dims = last_dims_;
    if (!Expect(";")) return;
    typedefs_[name] = t;
    Emit(start, pos_);
}

// --- declarations ----------------------------------------------------------
void Effect_Parser::Parse_Declaration() {
    const std::size_t start = pos_;
    const Modifiers m = Parse_Modifiers();
    Type_Info type;
    const Token& type_tok = Cur();
    const bool is_struct_decl = Is_Ident("struct");
    if (!Parse_Type(&type, m.row_major, m.column_major)) {
        if (type_tok.kind == Token_Kind::Identifier && Is_Punct("(", 1))
            Error(type_tok, "function '" + type_tok.text + "' has no return type");
        else if (type_tok.kind == Token_Kind::Identifier)
            Error(type_tok, "unknown type '" + type_tok.text + "'");
        else
            Error_Here("syntax error");
        return;
    }
    if (is_struct_decl && Is_Punct("{")) {
        Error(type_tok, "redefinition of struct '" + type.struct_name + "'");
        return;
    }
    if (Cur().kind != Token_Kind::Identifier) {
        Error_Here("expected a name");
        return;
    }
    if (Is_Punct("(", 1)) {
        Parse_Function(start, type);
        return;
    }
    if (type.base == Base_Type::Void) {
        Error(type_tok, "variables cannot be void");
        return;
    }
    Parse_Declarators(start, m, type);
}

// name [N] [: semantic] [<annotations>] [= value] {, ...} ;
// Statics go to the compiler as written (less annotations).
void Effect_Parser::Parse_Declarators(std::size_t start, const Modifiers& m,
                                      const Type_Info& type) {
    std::vector<std::pair<std::size_t, std::size_t>> skipped;
    const std::size_t first_name = pos_;
    const std::size_t deferred = desc_->static_inits.size();
    while (true) {
        Parse_Declarator(m, type, &skipped);
        if (diag_->Failed()) return;
        if (Accept(",")) continue;
        if (!Expect(";")) return;
        break;
    }
    if (m.is_static) {
        // A static the entry points assign cannot stay const.
        if (desc_->static_inits.size() != deferred) {
            for (std::size_t k = start; k < first_name; ++k)
                if (Is_Ident_At(k, "const")) skipped.emplace_back(k, k + 1);
        } else {
            // "const static": glslang takes the constant only as "static const".
            std::size_t c = first_name, st = first_name;
            for (std::size_t k = start; k < first_name; ++k) {
                if (Is_Ident_At(k, "const") && c == first_name) c = k;
                if (Is_Ident_At(k, "static") && st == first_name) st = k;
            }
            if (c < st && st < first_name) {
                replacements_[c] = {toks_[st]};
                replacements_[st] = {toks_[c]};
                skipped.emplace_back(c, c + 1);
                skipped.emplace_back(st, st + 1);
            }
        }
        std::sort(skipped.begin(), skipped.end());
        std::size_t k = start;
        for (const auto& [b, e] : skipped) {
            Emit(k, b);
            if (auto r = replacements_.find(b); r != replacements_.end())
                for (const Token& t : r->second) Emit_Token(t);
            k = e;
        }
        Emit(k, pos_);
        replacements_.clear();
    }
}

void Effect_Parser::Parse_Declarator(const Modifiers& m, const Type_Info& base_type,
                                     std::vector<std::pair<std::size_t, std::size_t>>* skipped) {
    const Token& name_tok = Cur();
    const std::string name = Expect_Identifier("a name");
    if (diag_->Failed()) return;
    Type_Info type = base_type;
    std::uint32_t elements = Parse_Array_Suffix();
    if (unsized_array_) elements = Size_Unsized_Array(name_tok, type);
    if (elements) {
        if (type.elements) {
            // An array of a typedef'd array: the name's lengths come first.
            std::vector<std::uint32_t> dims =
                last_dims_.empty() ? std::vector<std::uint32_t>{elements} : last_dims_;
            if (type.dims.empty())
                dims.push_back(type.elements);
            else
                dims.insert(dims.end(), type.dims.begin(), type.dims.end());
            if (static_cast<std::uint64_t>(elements) * type.elements > 65536) {
                Error(name_tok, "array size must be 1 to 65536");
                return;
            }
            type.elements *= elements;
            type.dims = std::move(dims);
        } else {
            type.elements = elements;
            type.dims = last_dims_;
        }
    }
    Parameter p;
    p.name = name;
    p.type = type;
    p.file = name_tok.file;
    p.line = name_tok.line;
    Parse_Semantics(&p.semantic, &p.sampler_register);
    if (Is_Punct("<")) {
        const std::size_t b = pos_;
        Parse_Annotations(&p.annotations);
        skipped->emplace_back(b, pos_);
    }
    if (diag_->Failed()) return;
    if (m.is_static) {
        const std::size_t equals = pos_;
        if (Accept("=")) Parse_Static_Initializer(name, type, equals, skipped);
        return;
    }
    if (desc_->Find_Parameter(name) >= 0) {
        Error(name_tok, "redefinition of '" + name + "'");
        return;
    }
    p.offset = storage_words_;
    if (static_cast<std::uint64_t>(storage_words_) + type.Words() > (1u << 20)) {
        Error(name_tok, "parameters too large");
        return;
    }
    storage_words_ += type.Words();
    desc_->defaults.resize(storage_words_, 0);
    desc_->parameters.push_back(std::move(p));
    const int index = static_cast<int>(desc_->parameters.size() - 1);
    if (Accept("=")) {
        Parse_Parameter_Initializer(index);
        if (diag_->Failed()) return;
    } else if (type.base == Base_Type::Sampler && Is_Punct("{")) {
        // "sampler S : register(s0) { MinFilter = Linear; };": the state
        // block without "= sampler_state", as effect files for XNA write it.
        Parse_Sampler_State(index);
        if (diag_->Failed()) return;
    }
    Parameter& param = desc_->parameters[static_cast<std::size_t>(index)];
    if (param.type.Numeric()) {
        Emit_Line(Uniform_Declaration(param), name_tok);
        param.in_shader_source = true;
    } else if (param.type.base == Base_Type::Sampler) {
        if (param.type.elements) {
            Error(name_tok, "sampler arrays are not supported");
            return;
        }
        Emit_Line(Sampler_Declaration(param), name_tok);
        param.in_shader_source = true;
    }
}

// The length of "name[]" from its initializer: the number of its items
// when they are lists or calls ({ {..}, {..} }, { float4(..), .. }), or of
// its values over the element's size ({ 1, 2, 3, 4, 5, 6, 7, 8 } for float4).
std::uint32_t Effect_Parser::Size_Unsized_Array(const Token& name_tok, const Type_Info& element) {
    std::size_t k = pos_;
    // Skip to the '=' past semantics and annotations.
    int angles = 0;
    while (k < toks_.size() && (angles > 0 || !Is_Punct_At(k, "="))) {
        if (Is_Punct_At(k, ";") || Is_Punct_At(k, "{")) break;
        if (Is_Punct_At(k, "<")) ++angles;
        if (Is_Punct_At(k, ">")) --angles;
        ++k;
    }
    if (!Is_Punct_At(k, "=") || !Is_Punct_At(k + 1, "{")) {
        Error(name_tok, "array '" + name_tok.text + "' needs a size or an initializer list");
        return 0;
    }
    std::uint64_t items = 0;
    bool lists = false;
    int level = 0;
    for (k += 2; k < toks_.size(); ++k) {
        const Token& t = toks_[k];
        if (t.kind == Token_Kind::Punct && (t.text == "{" || t.text == "(" || t.text == "[")) {
            if (level == 0) lists = true;
            ++level;
            continue;
        }
        if (t.kind == Token_Kind::Punct && (t.text == "}" || t.text == ")" || t.text == "]")) {
            if (level == 0) {
                if (!Is_Punct_At(k - 1, ",") && !Is_Punct_At(k - 1, "{")) ++items;
                break;
            }
            --level;
            continue;
        }
        if (level == 0 && t.kind == Token_Kind::Punct && t.text == ",") ++items;
    }
    const std::uint64_t words = element.Words() ? element.Words() : 1;
    const std::uint64_t n = lists ? items : (items + words - 1) / words;
    if (n < 1 || n > 65536) {
        Error(name_tok, "array size must be 1 to 65536");
        return 0;
    }
    if (!last_dims_.empty()) last_dims_[0] = static_cast<std::uint32_t>(n);
    std::uint64_t total = n;
    for (std::size_t d = 1; d < last_dims_.size(); ++d) total *= last_dims_[d];
    if (total > 65536) {
        Error(name_tok, "array size must be 1 to 65536");
        return 0;
    }
    return static_cast<std::uint32_t>(total);
}

void Effect_Parser::Parse_Semantics(std::string* semantic, int* sampler_register) {
    while (Is_Punct(":")) {
        const std::size_t colon = pos_++;
        if (Is_Ident("packoffset")) {
            Error(Cur(), "packoffset is not supported in Direct3D 9 effects");
            return;
        }
        if (!Is_Ident("register")) {
            *semantic = Expect_Identifier("a semantic");
            if (diag_->Failed()) return;
            continue;
        }
        // register(c8), register(c[8]), register(c[OFFSET + 4]), and with a
        // target first: register(vs, c8), register(ps_2_0, s0).
        ++pos_;
        if (!Expect("(")) return;
        const Token& reg_tok = Cur();
        std::string reg = Expect_Identifier("a register");
        if (Accept(",")) reg = Expect_Identifier("a register");
        if (diag_->Failed()) return;
        std::size_t letters = 0;
        while (letters < reg.size() && std::isalpha(static_cast<unsigned char>(reg[letters])))
            ++letters;
        const std::string number = reg.substr(letters);
        bool digits = !number.empty() && number.size() < 9;
        for (char c : number) digits = digits && c >= '0' && c <= '9';
        std::int64_t index = digits ? std::atoi(number.c_str()) : 0;
        if (Accept("[")) {
            index += Parse_Constant_Int();
            if (!Expect("]")) return;
        } else if (!digits) {
            Error(reg_tok, "invalid register '" + reg + "'");
            return;
        }
        if (!Expect(")")) return;
        if (letters == 0 || index < 0 || index > 65535) {
            Error(reg_tok, "invalid register '" + reg + "'");
            return;
        }
        if (sampler_register && (reg[0] == 's' || reg[0] == 'S') && letters == 1)
            *sampler_register = static_cast<int>(index);
        toks_.erase(toks_.begin() + static_cast<std::ptrdiff_t>(colon),
                    toks_.begin() + static_cast<std::ptrdiff_t>(pos_));
        pos_ = colon;
    }
}

void Effect_Parser::Parse_Static_Initializer(
    const std::string& name, const Type_Info& type, std::size_t equals,
    std::vector<std::pair<std::size_t, std::size_t>>* skipped) {
    // Statics are compiled by the shader compiler, which judges their
    // initializers; the value is kept here only when it is a constant we
    // can evaluate (array sizes and defaults of parameters may use it).
    const std::size_t begin = pos_;
    std::size_t end = pos_;
    int level = 0;
    bool runs_code = false;  // calls a function or reads a static that does
    while (end < toks_.size()) {
        const Token& t = toks_[end];
        if (t.kind == Token_Kind::Punct) {
            if (t.text == "(" || t.text == "{" || t.text == "[") ++level;
            if (t.text == ")" || t.text == "}" || t.text == "]") --level;
            if (level <= 0 && (t.text == ";" || (level == 0 && t.text == ","))) break;
        } else if (t.kind == Token_Kind::Identifier &&
                   !(end > begin && Is_Punct_At(end - 1, "."))) {
            if (Is_Punct_At(end + 1, "(")) {
                for (const Function_Info& f : desc_->functions) runs_code |= f.name == t.text;
            } else {
                runs_code |= deferred_statics_.count(t.text) != 0;
            }
        }
        ++end;
    }
    // A brace list cannot be assigned; those stay as they are.
    if (runs_code && !Is_Punct("{")) {
        // The wrapper gets the initializer as written.
        if (const std::size_t deep = Find_Too_Deep_Code(toks_, begin, end); deep < end) {
            Error(toks_[deep], "shader code nested more than " +
                                   std::to_string(k_max_nesting_depth) + " levels deep");
            return;
        }
        Static_Init init;
        init.name = name;
        for (std::size_t k = begin; k < end; ++k)
            init.value += (k > begin ? " " : "") + toks_[k].text;
        init.file = toks_[equals].file;
        init.line = toks_[equals].line;
        desc_->static_inits.push_back(std::move(init));
        deferred_statics_.insert(name);
        skipped->emplace_back(equals, end);
        pos_ = end;
        return;
    }
    Nest_Flat_Initializer(type, begin, end, skipped);
    soft_ = true;
    soft_failed_ = false;
    Expr e;
    e.root = Parse_Expression(&e, nullptr, true);
    soft_ = false;
    if (!soft_failed_ && pos_ == end && e.Constant() && type.Numeric())
        statics_[name] = Eval_Node(e, e.root, *desc_, nullptr);
    pos_ = end;
}

// Direct3D 9 takes the initializer of an array of vectors, matrices or
// arrays as one flat list of scalars ("float4 v[2] = {1, 0, 0, 1, 0, 1, 0,
// 1};"); glslang wants a brace per element. Such a list goes to it nested,
// in place of the tokens from `begin` to `end`.
void Effect_Parser::Nest_Flat_Initializer(
    const Type_Info& type, std::size_t begin, std::size_t end,
    std::vector<std::pair<std::size_t, std::size_t>>* skipped) {
    if (!type.elements || type.cls == Type_Class::Struct || type.cls == Type_Class::Object ||
        !Is_Punct_At(begin, "{") || end < begin + 2 || !Is_Punct_At(end - 1, "}"))
        return;
    // The scalars: split at the list's own commas; no braces inside.
    std::vector<std::pair<std::size_t, std::size_t>> items;
    int level = 0;
    std::size_t item = begin + 1;
    for (std::size_t k = begin + 1; k + 1 < end; ++k) {
        const Token& t = toks_[k];
        if (t.kind != Token_Kind::Punct) continue;
        if (t.text == "{") return;
        if (t.text == "(" || t.text == "[") ++level;
        if (t.text == ")" || t.text == "]") --level;
        if (level == 0 && t.text == ",") {
            items.emplace_back(item, k);
            item = k + 1;
        }
    }
    if (item < end - 1) items.emplace_back(item, end - 1);
    const std::uint32_t per = type.cls == Type_Class::Vector ? type.cols
                              : type.Is_Matrix()             ? type.rows * type.cols
                                                             : 1;
    if (items.size() != static_cast<std::size_t>(type.elements) * per ||
        (per == 1 && type.dims.empty()))
        return;
    // Group sizes from the innermost: the element's components, then each
    // inner array length.
    std::vector<std::size_t> groups;
    if (per > 1) groups.push_back(per);
    std::size_t size = per;
    for (std::size_t d = type.dims.size(); d-- > 1;) {
        size *= type.dims[d];
        groups.push_back(size);
    }
    std::vector<Token> out;
    const Token& at = toks_[begin];
    auto punct = [&](const char* p) {
        Token t = at;
        t.kind = Token_Kind::Punct;
        t.text = p;
        out.push_back(std::move(t));
    };
    punct("{");
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) punct(",");
        for (std::size_t g = groups.size(); g-- > 0;)
            if (i % groups[g] == 0) punct("{");
        out.insert(out.end(), toks_.begin() + static_cast<std::ptrdiff_t>(items[i].first),
                   toks_.begin() + static_cast<std::ptrdiff_t>(items[i].second));
        for (const std::size_t g : groups)
            if ((i + 1) % g == 0) punct("}");
    }
    punct("}");
    replacements_[begin] = std::move(out);
    skipped->emplace_back(begin, end);
}

void Effect_Parser::Parse_Parameter_Initializer(int index) {
    Parameter& p = desc_->parameters[static_cast<std::size_t>(index)];
    const Token& at = Cur();
    if (p.type.base == Base_Type::Sampler) {
        if (!Is_Ident_No_Case("sampler_state")) {
            Error_Here("expected sampler_state");
            return;
        }
        ++pos_;
        Parse_Sampler_State(index);
        return;
    }
    if (p.type.base == Base_Type::Vertex_Shader || p.type.base == Base_Type::Pixel_Shader) {
        const State_Def* def = Find_State(
            p.type.base == Base_Type::Vertex_Shader ? "VertexShader" : "PixelShader", false);
        const std::uint32_t elements = p.type.elements;
        if (elements == 0) {
            State_Assignment sa;
            sa.def = def;
            Parse_Shader_Value(&sa);
            desc_->parameters[static_cast<std::size_t>(index)].shader = sa.shader;
            return;
        }
        // VertexShader vs[4] = { compile vs_2_0 F(1), ..., NULL };
        if (!Expect("{")) return;
        std::vector<int> compiled;
        while (!Is_Punct("}")) {
            if (compiled.size() == elements) {
                Error(at, "initializer of '" + p.name + "' has more than " +
                              std::to_string(elements) + " shaders");
                return;
            }
            State_Assignment sa;
            sa.def = def;
            Parse_Shader_Value(&sa);
            if (diag_->Failed()) return;
            if (!sa.shader_choices.empty()) {
                Error(at, "an element of a shader array must name one shader");
                return;
            }
            compiled.push_back(sa.shader);
            if (!Accept(",")) break;
        }
        if (!Expect("}")) return;
        compiled.resize(elements, -1);
        Parameter& param = desc_->parameters[static_cast<std::size_t>(index)];
        param.shader = compiled[0];
        param.shader_elements = std::move(compiled);
        return;
    }
    if (Is_Ident("asm")) {
        Error(Cur(), "assembly shaders are not supported");
        return;
    }
    if (p.type.base == Base_Type::String) {
        if (Cur().kind != Token_Kind::String) {
            Error_Here("expected a string");
            return;
        }
        std::string s;
        while (Cur().kind == Token_Kind::String) s += Unquote(toks_[pos_++].text);
        p.string_value = s;
        return;
    }
    if (p.type.base == Base_Type::Texture) {
        Error(at, "textures take no initializer");
        return;
    }
    Expr e;
    e.root = Parse_Expression(&e, nullptr, true);
    if (diag_->Failed()) return;
    const std::vector<double> v = Eval_Node(e, e.root, *desc_, desc_->defaults.data());
    Parameter& param = desc_->parameters[static_cast<std::size_t>(index)];
    std::vector<Base_Type> bases;
    Flatten_Bases(param.type, &bases);
    // A longer vector, float x = float4(...), is truncated (with a warning,
    // as the compilers of the time gave); a longer list is an error.
    const bool list = at.kind == Token_Kind::Punct && at.text == "{";
    if (v.size() != bases.size() && v.size() != 1 && (list || v.size() < bases.size())) {
        Error(at, "initializer of '" + param.name + "' has " + std::to_string(v.size()) +
                      " values, " + param.type.Name() + " needs " + std::to_string(bases.size()));
        return;
    }
    if (v.size() > bases.size() && v.size() != 1)
        diag_->Warning(desc_->files[at.file], at.line,
                       "implicit truncation of the initializer of '" + param.name + "'");
    for (std::size_t k = 0; k < bases.size(); ++k)
        desc_->defaults[param.offset + k] = Value_Word(bases[k], v.size() == 1 ? v[0] : v[k]);
}

}  // namespace qm_fx
