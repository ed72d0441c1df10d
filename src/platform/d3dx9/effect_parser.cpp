// The effect syntax: parameters, textures, samplers, techniques and passes.
// Everything the HLSL compiler must see (structs, functions, statics and the
// parameters shaders read) is copied to Effect_Desc::hlsl token by token,
// keeping the origin of every line.
#include "platform/d3dx9/effect_parser.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace qm_fx {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------
std::uint32_t Type_Info::Element_Words() const
{
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

std::string Type_Info::Element_Name() const
{
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

std::string Type_Info::Name() const
{
    return elements ? Element_Name() + "[" + std::to_string(elements) + "]" : Element_Name();
}

double Word_Value(Base_Type base, std::uint32_t word)
{
    switch (base) {
    case Base_Type::Float: return static_cast<double>(std::bit_cast<float>(word));
    case Base_Type::Int: return static_cast<double>(static_cast<std::int32_t>(word));
    case Base_Type::Uint: return static_cast<double>(word);
    case Base_Type::Bool: return word ? 1.0 : 0.0;
    default: return 0.0;
    }
}

std::uint32_t Value_Word(Base_Type base, double v)
{
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

// ---------------------------------------------------------------------------
// Expressions
// ---------------------------------------------------------------------------
bool Expr::Constant() const
{
    for (const Expr_Node& n : nodes)
        if (n.op == Expr_Node::Op::Parameter) return false;
    return true;
}

namespace {

constexpr std::size_t kMax_Components = 4096;

std::vector<double> Eval_Node(const Expr& e, int index, const Effect_Desc& desc,
                              const std::uint32_t* storage);

void Flatten_Bases(const Type_Info& t, std::vector<Base_Type>* out)
{
    const std::uint32_t count = t.elements ? t.elements : 1;
    for (std::uint32_t e = 0; e < count; ++e) {
        if (t.cls == Type_Class::Struct) {
            for (const Struct_Member& m : t.members) Flatten_Bases(*m.type, out);
        } else {
            for (std::uint32_t w = 0; w < t.Element_Words(); ++w) out->push_back(t.base);
        }
    }
}

double Apply_Unary(const std::string& op, double a)
{
    if (op == "-") return -a;
    if (op == "+") return a;
    if (op == "!") return a == 0.0 ? 1.0 : 0.0;
    if (op == "~") return static_cast<double>(~Value_Word(Base_Type::Int, a));
    if (op == "sqrt") return std::sqrt(a);
    if (op == "sin") return std::sin(a);
    if (op == "cos") return std::cos(a);
    if (op == "tan") return std::tan(a);
    if (op == "abs") return std::fabs(a);
    if (op == "exp") return std::exp(a);
    if (op == "log") return std::log(a);
    if (op == "floor") return std::floor(a);
    if (op == "ceil") return std::ceil(a);
    if (op == "frac") return a - std::floor(a);
    if (op == "radians") return a * 3.14159265358979323846 / 180.0;
    if (op == "degrees") return a * 180.0 / 3.14159265358979323846;
    if (op == "saturate") return std::clamp(a, 0.0, 1.0);
    return a;
}

double Apply_Binary(const std::string& op, double a, double b)
{
    auto bits = [](double v) { return Value_Word(Base_Type::Uint, v); };
    if (op == "+") return a + b;
    if (op == "-") return a - b;
    if (op == "*") return a * b;
    if (op == "/") return b == 0.0 ? 0.0 : a / b;
    if (op == "%") return b == 0.0 ? 0.0 : std::fmod(a, b);
    if (op == "|") return static_cast<double>(bits(a) | bits(b));
    if (op == "&") return static_cast<double>(bits(a) & bits(b));
    if (op == "^") return static_cast<double>(bits(a) ^ bits(b));
    if (op == "<<") return static_cast<double>(bits(a) << (bits(b) & 31));
    if (op == ">>") return static_cast<double>(bits(a) >> (bits(b) & 31));
    if (op == "&&") return (a != 0.0 && b != 0.0) ? 1.0 : 0.0;
    if (op == "||") return (a != 0.0 || b != 0.0) ? 1.0 : 0.0;
    if (op == "==") return a == b ? 1.0 : 0.0;
    if (op == "!=") return a != b ? 1.0 : 0.0;
    if (op == "<") return a < b ? 1.0 : 0.0;
    if (op == ">") return a > b ? 1.0 : 0.0;
    if (op == "<=") return a <= b ? 1.0 : 0.0;
    if (op == ">=") return a >= b ? 1.0 : 0.0;
    if (op == "pow") return std::pow(a, b);
    if (op == "min") return std::min(a, b);
    if (op == "max") return std::max(a, b);
    if (op == "fmod") return b == 0.0 ? 0.0 : std::fmod(a, b);
    return a;
}

int Swizzle_Index(char c)
{
    switch (c) {
    case 'x': case 'r': return 0;
    case 'y': case 'g': return 1;
    case 'z': case 'b': return 2;
    case 'w': case 'a': return 3;
    default: return -1;
    }
}

std::vector<double> Eval_Node(const Expr& e, int index, const Effect_Desc& desc,
                              const std::uint32_t* storage)
{
    if (index < 0 || static_cast<std::size_t>(index) >= e.nodes.size()) return {0.0};
    const Expr_Node& n = e.nodes[static_cast<std::size_t>(index)];
    switch (n.op) {
    case Expr_Node::Op::Constant: return n.value;
    case Expr_Node::Op::Parameter: {
        const Parameter& p = desc.parameters[static_cast<std::size_t>(n.parameter)];
        std::vector<Base_Type> bases;
        Flatten_Bases(p.type, &bases);
        std::vector<double> v;
        for (std::size_t k = 0; k < bases.size() && k < kMax_Components; ++k)
            v.push_back(Word_Value(bases[k], storage[p.offset + k]));
        if (v.empty()) v.push_back(0.0);
        return v;
    }
    case Expr_Node::Op::Unary: {
        std::vector<double> a = Eval_Node(e, n.kids[0], desc, storage);
        if (!n.oper.empty() && n.oper[0] == '.') {
            std::vector<double> r;
            for (std::size_t k = 1; k < n.oper.size(); ++k) {
                const int s = Swizzle_Index(n.oper[k]);
                r.push_back(s >= 0 && static_cast<std::size_t>(s) < a.size() ? a[static_cast<std::size_t>(s)] : 0.0);
            }
            return r;
        }
        if (n.oper == "length" || n.oper == "normalize") {
            double len = 0.0;
            for (double x : a) len += x * x;
            len = std::sqrt(len);
            if (n.oper == "length") return {len};
            for (double& x : a) x = len > 0.0 ? x / len : 0.0;
            return a;
        }
        if (n.oper.rfind("cast:", 0) == 0) {
            const Base_Type base = static_cast<Base_Type>(std::atoi(n.oper.c_str() + 5));
            for (double& x : a) x = Word_Value(base, Value_Word(base, x));
            return a;
        }
        for (double& x : a) x = Apply_Unary(n.oper, x);
        return a;
    }
    case Expr_Node::Op::Binary: {
        std::vector<double> a = Eval_Node(e, n.kids[0], desc, storage);
        std::vector<double> b = Eval_Node(e, n.kids[1], desc, storage);
        if (n.oper == "dot") {
            double s = 0.0;
            for (std::size_t k = 0; k < std::min(a.size(), b.size()); ++k) s += a[k] * b[k];
            return {s};
        }
        if (a.size() == 1 && b.size() > 1) a.assign(b.size(), a[0]);
        if (b.size() == 1 && a.size() > 1) b.assign(a.size(), b[0]);
        const std::size_t count = std::min(a.size(), b.size());
        std::vector<double> r(count);
        for (std::size_t k = 0; k < count; ++k) r[k] = Apply_Binary(n.oper, a[k], b[k]);
        return r;
    }
    case Expr_Node::Op::Ternary: {
        const std::vector<double> c = Eval_Node(e, n.kids[0], desc, storage);
        return Eval_Node(e, c[0] != 0.0 ? n.kids[1] : n.kids[2], desc, storage);
    }
    case Expr_Node::Op::Vector: {
        std::vector<double> r;
        for (int k : n.kids) {
            std::vector<double> v = Eval_Node(e, k, desc, storage);
            if (r.size() + v.size() > kMax_Components) break;
            r.insert(r.end(), v.begin(), v.end());
        }
        return r;
    }
    }
    return {0.0};
}

}  // namespace

void Evaluate(const Expr& expr, const Effect_Desc& desc, const std::uint32_t* storage,
              double* out, std::size_t count)
{
    const std::vector<double> v = Eval_Node(expr, expr.root, desc, storage);
    for (std::size_t k = 0; k < count; ++k) out[k] = k < v.size() ? v[k] : 0.0;
}

int Effect_Desc::Find_Parameter(const std::string& name) const
{
    for (std::size_t i = 0; i < parameters.size(); ++i)
        if (parameters[i].name == name) return static_cast<int>(i);
    return -1;
}

const Function_Info* Effect_Desc::Find_Function(const std::string& name,
                                                std::size_t uniform_args) const
{
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
// The parser
// ---------------------------------------------------------------------------
namespace {

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// Copies tokens to the HLSL text, starting a new line whenever the source line
// changes so that every output line has one origin.
class Hlsl_Writer {
public:
    explicit Hlsl_Writer(Hlsl_Source* out) : out_(out) {}

    void Token_Text(const std::string& text, std::uint16_t file, std::uint32_t line)
    {
        if (!open_ || file != file_ || line != line_) {
            New_Line(file, line);
        } else {
            out_->text += ' ';
        }
        out_->text += text;
    }

    void Line(const std::string& text, std::uint16_t file, std::uint32_t line)
    {
        New_Line(file, line);
        out_->text += text;
        open_ = false;
    }

private:
    void New_Line(std::uint16_t file, std::uint32_t line)
    {
        if (!out_->line_origins.empty()) out_->text += '\n';
        out_->line_origins.emplace_back(file, line);
        file_ = file;
        line_ = line;
        open_ = true;
    }

    Hlsl_Source* out_;
    bool open_ = false;
    std::uint16_t file_ = 0;
    std::uint32_t line_ = 0;
};

const char* const kDecl_Modifiers[] = {
    "uniform", "static", "shared", "extern", "const", "volatile", "row_major", "column_major",
    "inline", "precise", "nointerpolation", "linear", "centroid", "noperspective", "sample",
    "snorm", "unorm", "groupshared", "in", "out", "inout"};

bool Is_Modifier(const std::string& s)
{
    for (const char* m : kDecl_Modifiers)
        if (s == m) return true;
    return false;
}

const char* const kProfiles[] = {"vs_1_1", "vs_2_0", "vs_2_a", "vs_2_sw", "vs_3_0", "vs_3_sw",
                                 "ps_1_1", "ps_1_2", "ps_1_3", "ps_1_4", "ps_2_0", "ps_2_a",
                                 "ps_2_b", "ps_2_sw", "ps_3_0", "ps_3_sw"};

struct Modifiers {
    bool is_static = false;
    bool is_const = false;
    bool is_uniform = false;
    bool row_major = false;
    bool column_major = false;
    bool is_in = false;
    bool is_out = false;
};

class Parser {
public:
    Parser(const Token_Stream& in, Effect_Desc* desc, Diagnostics* diag)
        : toks_(in.tokens), desc_(desc), diag_(diag), hlsl_(&desc->hlsl)
    {
        desc_->files = in.files;
    }

    bool Run()
    {
        while (!At_End() && !diag_->Failed()) Top_Level();
        if (!diag_->Failed()) Check_Shader_Entries();
        desc_->storage_words = storage_words_;
        desc_->defaults.resize(storage_words_, 0);
        return !diag_->Failed();
    }

private:
    // --- token access ------------------------------------------------------
    bool At_End() const { return pos_ >= toks_.size(); }
    const Token& Cur() const { return pos_ < toks_.size() ? toks_[pos_] : eof_; }
    const Token& Peek(std::size_t k) const
    {
        return pos_ + k < toks_.size() ? toks_[pos_ + k] : eof_;
    }
    bool Is_Punct(const char* p, std::size_t k = 0) const
    {
        const Token& t = Peek(k);
        return t.kind == Token_Kind::Punct && t.text == p;
    }
    bool Is_Ident(const char* s, std::size_t k = 0) const
    {
        const Token& t = Peek(k);
        return t.kind == Token_Kind::Identifier && t.text == s;
    }
    bool Is_Ident_No_Case(const char* s, std::size_t k = 0) const
    {
        const Token& t = Peek(k);
        return t.kind == Token_Kind::Identifier && Equal_No_Case(t.text, s);
    }
    bool Accept(const char* p)
    {
        if (Is_Punct(p)) {
            ++pos_;
            return true;
        }
        return false;
    }

    void Error(const Token& at, const std::string& text)
    {
        if (soft_) {
            soft_failed_ = true;
            pos_ = toks_.size();
            return;
        }
        if (diag_->Failed()) return;
        const Token& t = &at == &eof_ && !toks_.empty() ? toks_.back() : at;
        const std::string file = t.file < desc_->files.size() ? desc_->files[t.file] : "";
        diag_->Error(file, t.line, text);
        pos_ = toks_.size();
    }
    void Error_Here(const std::string& text)
    {
        if (At_End())
            Error(eof_, text + " at end of file");
        else
            Error(Cur(), text + " near '" + Cur().text + "'");
    }

    bool Expect(const char* p)
    {
        if (Accept(p)) return true;
        Error_Here(std::string("expected '") + p + "'");
        return false;
    }

    // '>' that closes annotations or <name> may be glued to what follows.
    bool Expect_Close_Angle()
    {
        if (Accept(">")) return true;
        if (!At_End() && Cur().kind == Token_Kind::Punct && Cur().text.size() > 1 &&
            Cur().text[0] == '>') {
            toks_[pos_].text.erase(0, 1);
            return true;
        }
        Error_Here("expected '>'");
        return false;
    }

    std::string Expect_Identifier(const char* what)
    {
        if (Cur().kind == Token_Kind::Identifier) return toks_[pos_++].text;
        Error_Here(std::string("expected ") + what);
        return {};
    }

    void Emit(std::size_t begin, std::size_t end)
    {
        for (std::size_t k = begin; k < end && k < toks_.size(); ++k) Emit_Token(toks_[k]);
    }
    void Emit_Token(const Token& t) { hlsl_.Token_Text(t.text, t.file, t.line); }

    // --- top level ---------------------------------------------------------
    void Top_Level()
    {
        const Token& t = Cur();
        if (t.kind == Token_Kind::Pragma) {
            const std::string p = Lower(t.text);
            if (p.find("row_major") != std::string::npos) row_major_ = true;
            if (p.find("column_major") != std::string::npos) row_major_ = false;
            if (desc_->parameters.empty()) desc_->row_major_default = row_major_;
            hlsl_.Line("#pragma " + t.text, t.file, t.line);
            ++pos_;
            return;
        }
        if (Accept(";")) return;
        if (t.kind != Token_Kind::Identifier) {
            Error_Here("unexpected token");
            return;
        }
        if (t.text == "technique" || t.text == "technique9" || Equal_No_Case(t.text, "technique")) {
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
            Parse_Struct();
            return;
        }
        if (t.text == "typedef") {
            Parse_Typedef();
            return;
        }
        Parse_Declaration();
    }

    // --- types ---------------------------------------------------------------
    static bool Scalar_Base(const std::string& s, Base_Type* base)
    {
        if (s == "bool") *base = Base_Type::Bool;
        else if (s == "int") *base = Base_Type::Int;
        else if (s == "uint" || s == "dword") *base = Base_Type::Uint;
        else if (s == "half" || s == "float" || s == "double" || s == "min16float" ||
                 s == "min10float")
            *base = Base_Type::Float;
        else
            return false;
        return true;
    }

    // A built-in type name, without templates.
    bool Builtin_Type(const std::string& s, Type_Info* t) const
    {
        static const char* const scalars[] = {"bool", "int", "uint", "dword", "half",
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
        if (l == "sampler") return object(Base_Type::Sampler, Object_Dim::Any);
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
    bool Parse_Type(Type_Info* t, bool matrix_row_major, bool matrix_column_major)
    {
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
            auto it = desc_->structs.find(Peek(1).text);
            if (it == desc_->structs.end()) return false;
            *t = *it->second;
            pos_ += 2;
            return true;
        } else if (auto s = desc_->structs.find(tok.text); s != desc_->structs.end()) {
            *t = *s->second;
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
            if (matrix_row_major) t->cls = Type_Class::Matrix_Rows;
            else if (matrix_column_major) t->cls = Type_Class::Matrix_Columns;
            else t->cls = row_major_ ? Type_Class::Matrix_Rows : Type_Class::Matrix_Columns;
        }
        return true;
    }

    Modifiers Parse_Modifiers()
    {
        Modifiers m;
        while (Cur().kind == Token_Kind::Identifier && Is_Modifier(Cur().text)) {
            const std::string& s = Cur().text;
            if (s == "static") m.is_static = true;
            else if (s == "const") m.is_const = true;
            else if (s == "uniform") m.is_uniform = true;
            else if (s == "row_major") m.row_major = true;
            else if (s == "column_major") m.column_major = true;
            else if (s == "in") m.is_in = true;
            else if (s == "out") m.is_out = true;
            else if (s == "inout") m.is_in = m.is_out = true;
            ++pos_;
        }
        return m;
    }

    // [N] suffixes; returns the element count (0 when none).
    std::uint32_t Parse_Array_Suffix()
    {
        std::uint32_t elements = 0;
        while (Is_Punct("[")) {
            const Token& at = Cur();
            ++pos_;
            if (elements) {
                Error(at, "multi-dimensional arrays are not supported");
                return 0;
            }
            const std::int64_t n = Parse_Constant_Int();
            if (!Expect("]")) return 0;
            if (n < 1 || n > 65536) {
                Error(at, "array size must be 1 to 65536");
                return 0;
            }
            elements = static_cast<std::uint32_t>(n);
        }
        return elements;
    }

    std::int64_t Parse_Constant_Int()
    {
        Expr e;
        const Token& at = Cur();
        e.root = Parse_Expression(&e, nullptr, false);
        if (diag_->Failed()) return 0;
        if (!e.Constant()) {
            Error(at, "expected a constant integer");
            return 0;
        }
        double v;
        Evaluate(e, *desc_, nullptr, &v, 1);
        if (!(v >= -1e9 && v <= 1e9) || v != std::floor(v)) {
            Error(at, "expected a constant integer");
            return 0;
        }
        return static_cast<std::int64_t>(v);
    }

    // --- structs and typedefs ------------------------------------------------
    void Parse_Struct()
    {
        const std::size_t start = pos_;
        ++pos_;
        const std::string name = toks_[pos_++].text;
        ++pos_;  // {
        auto type = std::make_shared<Type_Info>();
        type->base = Base_Type::Struct;
        type->cls = Type_Class::Struct;
        type->struct_name = name;
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
            while (true) {
                Struct_Member member;
                member.name = Expect_Identifier("a member name");
                Type_Info full = mt;
                full.elements = Parse_Array_Suffix();
                while (Accept(":")) member.semantic = Expect_Identifier("a semantic");
                member.type = std::make_shared<Type_Info>(full);
                if (diag_->Failed()) return;
                type->members.push_back(std::move(member));
                if (!Accept(",")) break;
            }
            if (!Expect(";")) return;
        }
        ++pos_;  // }
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

    void Parse_Typedef()
    {
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
        if (!Expect(";")) return;
        typedefs_[name] = t;
        Emit(start, pos_);
    }

    // --- declarations ----------------------------------------------------------
    void Parse_Declaration()
    {
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
    void Parse_Declarators(std::size_t start, const Modifiers& m, const Type_Info& type)
    {
        std::vector<std::pair<std::size_t, std::size_t>> skipped;
        while (true) {
            Parse_Declarator(m, type, &skipped);
            if (diag_->Failed()) return;
            if (Accept(",")) continue;
            if (!Expect(";")) return;
            break;
        }
        if (m.is_static) {
            std::size_t k = start;
            for (const auto& [b, e] : skipped) {
                Emit(k, b);
                k = e;
            }
            Emit(k, pos_);
        }
    }

    void Parse_Declarator(const Modifiers& m, const Type_Info& base_type,
                          std::vector<std::pair<std::size_t, std::size_t>>* skipped)
    {
        const Token& name_tok = Cur();
        const std::string name = Expect_Identifier("a name");
        if (diag_->Failed()) return;
        Type_Info type = base_type;
        const std::uint32_t elements = Parse_Array_Suffix();
        if (elements) {
            if (type.elements) {
                Error(name_tok, "multi-dimensional arrays are not supported");
                return;
            }
            type.elements = elements;
        }
        Parameter p;
        p.name = name;
        p.type = type;
        p.file = name_tok.file;
        p.line = name_tok.line;
        while (Accept(":")) {
            if (Is_Ident("register")) {
                ++pos_;
                if (!Expect("(")) return;
                std::string reg = Expect_Identifier("a register");
                if (Accept(",")) reg = Expect_Identifier("a register");
                if (!Expect(")")) return;
                if (reg.size() > 1 && (reg[0] == 's' || reg[0] == 'S'))
                    p.sampler_register = std::atoi(reg.c_str() + 1);
            } else if (Is_Ident("packoffset")) {
                Error(Cur(), "packoffset is not supported in Direct3D 9 effects");
                return;
            } else {
                p.semantic = Expect_Identifier("a semantic");
            }
        }
        if (Is_Punct("<")) {
            const std::size_t b = pos_;
            Parse_Annotations(&p.annotations);
            skipped->emplace_back(b, pos_);
        }
        if (diag_->Failed()) return;
        if (m.is_static) {
            if (Accept("=")) Parse_Static_Initializer(name, type);
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
        }
        Parameter& param = desc_->parameters[static_cast<std::size_t>(index)];
        if (param.type.Numeric()) {
            std::string decl;
            if (param.type.Is_Matrix())
                decl = param.type.cls == Type_Class::Matrix_Rows ? "row_major " : "column_major ";
            decl += param.type.Element_Name() + " " + param.name;
            if (param.type.elements) decl += "[" + std::to_string(param.type.elements) + "]";
            hlsl_.Line(decl + ";", param.file, param.line);
            param.in_shader_source = true;
        } else if (param.type.base == Base_Type::Sampler) {
            if (param.type.elements) {
                Error(name_tok, "sampler arrays are not supported");
                return;
            }
            std::string decl = param.type.Element_Name() + " " + param.name;
            if (param.sampler_register >= 0)
                decl += " : register(s" + std::to_string(param.sampler_register) + ")";
            hlsl_.Line(decl + ";", param.file, param.line);
            param.in_shader_source = true;
        }
    }

    void Parse_Static_Initializer(const std::string& name, const Type_Info& type)
    {
        // Statics are compiled by the shader compiler, which judges their
        // initializers; the value is kept here only when it is a constant we
        // can evaluate (array sizes and defaults of parameters may use it).
        std::size_t end = pos_;
        int level = 0;
        while (end < toks_.size()) {
            const Token& t = toks_[end];
            if (t.kind == Token_Kind::Punct) {
                if (t.text == "(" || t.text == "{" || t.text == "[") ++level;
                if (t.text == ")" || t.text == "}" || t.text == "]") --level;
                if (level <= 0 && (t.text == ";" || (level == 0 && t.text == ","))) break;
            }
            ++end;
        }
        soft_ = true;
        soft_failed_ = false;
        Expr e;
        e.root = Parse_Expression(&e, nullptr, true);
        soft_ = false;
        if (!soft_failed_ && pos_ == end && e.Constant() && type.Numeric())
            statics_[name] = Eval_Node(e, e.root, *desc_, nullptr);
        pos_ = end;
    }

    void Parse_Parameter_Initializer(int index)
    {
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
            const State_Def* def = Find_State(p.type.base == Base_Type::Vertex_Shader
                                                  ? "VertexShader"
                                                  : "PixelShader",
                                              false);
            State_Assignment sa;
            sa.def = def;
            Parse_Shader_Value(&sa);
            desc_->parameters[static_cast<std::size_t>(index)].shader = sa.shader;
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
        if (v.size() != bases.size() && v.size() != 1) {
            Error(at, "initializer of '" + param.name + "' has " + std::to_string(v.size()) +
                          " values, " + param.type.Name() + " needs " +
                          std::to_string(bases.size()));
            return;
        }
        for (std::size_t k = 0; k < bases.size(); ++k)
            desc_->defaults[param.offset + k] = Value_Word(bases[k], v.size() == 1 ? v[0] : v[k]);
    }

    static std::string Unquote(const std::string& s)
    {
        std::string r;
        for (std::size_t k = 1; k + 1 < s.size(); ++k) {
            if (s[k] == '\\' && k + 2 < s.size()) {
                ++k;
                switch (s[k]) {
                case 'n': r += '\n'; break;
                case 't': r += '\t'; break;
                default: r += s[k];
                }
                continue;
            }
            r += s[k];
        }
        return r;
    }

    // --- annotations -------------------------------------------------------------
    void Parse_Annotations(std::vector<Annotation>* out)
    {
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
            if (!Expect("=")) return;
            const std::size_t value_start = pos_;
            if (a.type.base == Base_Type::String) {
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

    std::string Join(std::size_t begin, std::size_t end) const
    {
        std::string s;
        for (std::size_t k = begin; k < end && k < toks_.size(); ++k) {
            if (k > begin && toks_[k].space_before) s += ' ';
            s += toks_[k].text;
        }
        return s;
    }

    // --- sampler_state -------------------------------------------------------------
    void Parse_Sampler_State(int index)
    {
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
                sa.value.root = Parse_Expression(&sa.value, def, true);
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
    int Parse_Object_Ref(Base_Type base, const char* what)
    {
        if (Is_Ident_No_Case("NULL")) {
            ++pos_;
            return -1;
        }
        bool angle = false, paren = false;
        if (Accept("<")) angle = true;
        else if (Accept("(")) paren = true;
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
    void Parse_Technique()
    {
        ++pos_;
        Technique tech;
        if (Cur().kind == Token_Kind::Identifier) tech.name = toks_[pos_++].text;
        for (const Technique& t : desc_->techniques)
            if (!tech.name.empty() && t.name == tech.name) {
                Error(toks_[pos_ - 1], "redefinition of technique '" + tech.name + "'");
                return;
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

    void Parse_Pass_State(Pass* pass)
    {
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
        case State_Kind::Transform:
            sa.object = Parse_Object_Ref(Base_Type::Float, "matrix");
            if (sa.object < 0 && !diag_->Failed()) Error(name_tok, "a transform needs a matrix");
            break;
        default:
            if (Is_Ident("asm")) {
                Error(Cur(), "assembly shaders are not supported");
                return;
            }
            sa.value.root = Parse_Expression(&sa.value, def, true);
        }
        if (diag_->Failed()) return;
        sa.value_text = Join(value_start, pos_);
        if (!Expect(";")) return;
        if (def->kind == State_Kind::Vertex_Shader) pass->vertex_shader = sa.shader;
        if (def->kind == State_Kind::Pixel_Shader) pass->pixel_shader = sa.shader;
        pass->states.push_back(std::move(sa));
    }

    void Parse_Shader_Value(State_Assignment* sa)
    {
        const bool vertex = sa->def->kind == State_Kind::Vertex_Shader;
        if (Is_Ident("asm")) {
            Error(Cur(), "assembly shaders are not supported");
            return;
        }
        if (Is_Ident_No_Case("NULL")) {
            ++pos_;
            sa->shader = -1;
            return;
        }
        if (!Is_Ident("compile")) {
            const int p = Parse_Object_Ref(vertex ? Base_Type::Vertex_Shader : Base_Type::Pixel_Shader,
                                           vertex ? "vertex shader" : "pixel shader");
            sa->shader = p < 0 ? -1 : desc_->parameters[static_cast<std::size_t>(p)].shader;
            return;
        }
        const Token& compile_tok = Cur();
        ++pos_;
        const Token& profile_tok = Cur();
        const std::string profile = Expect_Identifier("a shader profile");
        if (diag_->Failed()) return;
        bool known = false;
        for (const char* pr : kProfiles) known = known || profile == pr;
        if (!known) {
            Error(profile_tok, "unsupported shader profile '" + profile + "'");
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
                    if (Is_Punct("(") || Is_Punct("[") || Is_Punct("{")) ++level;
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

    void Check_Shader_Entries()
    {
        for (const Shader_Compile& sc : desc_->shaders) {
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
                                 " uniform arguments, " + std::to_string(sc.args.size()) +
                                 " given");
                return;
            }
        }
    }

    // --- functions -------------------------------------------------------------------
    void Parse_Function(std::size_t start, const Type_Info& return_type)
    {
        Function_Info f;
        const Token& name_tok = Cur();
        f.name = name_tok.text;
        f.file = name_tok.file;
        f.line = name_tok.line;
        f.return_type = return_type;
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
                if (elements) p.type.elements = elements;
                while (Accept(":")) p.semantic = Expect_Identifier("a semantic");
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
            if (Is_Punct("{")) ++level;
            if (Is_Punct("}") && --level == 0) {
                ++pos_;
                break;
            }
            ++pos_;
        }
        f.defined = true;
        desc_->functions.push_back(std::move(f));
        Emit(start, pos_);
    }

    // --- expressions --------------------------------------------------------------------
    // `state` resolves value names of that state; `lists` allows { a, b } lists.
    int Parse_Expression(Expr* e, const State_Def* state, bool lists)
    {
        if (++depth_ > 200) {
            Error_Here("expression too deeply nested");
            --depth_;
            return -1;
        }
        const int r = Parse_Ternary(e, state, lists);
        --depth_;
        return r;
    }

    int Add(Expr* e, Expr_Node n)
    {
        e->nodes.push_back(std::move(n));
        return static_cast<int>(e->nodes.size() - 1);
    }

    int Parse_Ternary(Expr* e, const State_Def* state, bool lists)
    {
        const int c = Parse_Binary(e, state, lists, 1);
        if (!Accept("?")) return c;
        const int a = Parse_Expression(e, state, lists);
        if (!Expect(":")) return -1;
        const int b = Parse_Expression(e, state, lists);
        Expr_Node n;
        n.op = Expr_Node::Op::Ternary;
        n.kids = {c, a, b};
        return Add(e, std::move(n));
    }

    static int Binary_Precedence(const Token& t)
    {
        if (t.kind != Token_Kind::Punct) return -1;
        static const std::pair<const char*, int> table[] = {
            {"||", 1}, {"&&", 2}, {"|", 3},  {"^", 4},  {"&", 5},  {"==", 6}, {"!=", 6},
            {"<", 7},  {">", 7},  {"<=", 7}, {">=", 7}, {"<<", 8}, {">>", 8}, {"+", 9},
            {"-", 9},  {"*", 10}, {"/", 10}, {"%", 10}};
        for (const auto& [op, prec] : table)
            if (t.text == op) return prec;
        return -1;
    }

    int Parse_Binary(Expr* e, const State_Def* state, bool lists, int min_prec)
    {
        int lhs = Parse_Unary(e, state, lists);
        while (!diag_->Failed()) {
            if (in_angles_ > 0 && Cur().kind == Token_Kind::Punct && Cur().text[0] == '>') return lhs;
            const int prec = Binary_Precedence(Cur());
            if (prec < min_prec) return lhs;
            Expr_Node n;
            n.op = Expr_Node::Op::Binary;
            n.oper = Cur().text;
            ++pos_;
            const int rhs = Parse_Binary(e, state, lists, prec + 1);
            n.kids = {lhs, rhs};
            lhs = Add(e, std::move(n));
        }
        return lhs;
    }

    int Parse_Unary(Expr* e, const State_Def* state, bool lists)
    {
        for (const char* op : {"-", "+", "!", "~"}) {
            if (Is_Punct(op)) {
                ++pos_;
                if (++depth_ > 200) {
                    --depth_;
                    Error_Here("expression too deeply nested");
                    return -1;
                }
                const int a = Parse_Unary(e, state, lists);
                --depth_;
                Expr_Node n;
                n.op = Expr_Node::Op::Unary;
                n.oper = op;
                n.kids = {a};
                return Add(e, std::move(n));
            }
        }
        // A cast: (float3) x
        if (Is_Punct("(") && Peek(1).kind == Token_Kind::Identifier && Is_Punct(")", 2)) {
            Type_Info t;
            if (Builtin_Type(Peek(1).text, &t) && t.Numeric()) {
                pos_ += 3;
                const int a = Parse_Unary(e, state, lists);
                Expr_Node n;
                n.op = Expr_Node::Op::Unary;
                n.oper = "cast:" + std::to_string(static_cast<int>(t.base));
                n.kids = {a};
                int r = Add(e, std::move(n));
                if (t.Element_Words() > 1) {
                    // (float4)0.5 broadcasts.
                    Expr_Node v;
                    v.op = Expr_Node::Op::Vector;
                    for (std::uint32_t k = 0; k < t.Element_Words(); ++k) v.kids.push_back(r);
                    r = Add(e, std::move(v));
                }
                return r;
            }
        }
        return Parse_Postfix(e, state, lists);
    }

    int Parse_Postfix(Expr* e, const State_Def* state, bool lists)
    {
        int r = Parse_Primary(e, state, lists);
        while (!diag_->Failed() && Is_Punct(".") && Peek(1).kind == Token_Kind::Identifier) {
            const std::string sw = Peek(1).text;
            bool ok = sw.size() <= 4;
            for (char c : sw) ok = ok && Swizzle_Index(c) >= 0;
            if (!ok) {
                Error(Peek(1), "invalid swizzle '" + sw + "'");
                return -1;
            }
            pos_ += 2;
            Expr_Node n;
            n.op = Expr_Node::Op::Unary;
            n.oper = "." + sw;
            n.kids = {r};
            r = Add(e, std::move(n));
        }
        return r;
    }

    int Constant(Expr* e, std::vector<double> v)
    {
        Expr_Node n;
        n.op = Expr_Node::Op::Constant;
        n.value = std::move(v);
        return Add(e, std::move(n));
    }

    // Arguments of a call or constructor, up to ')'.
    std::vector<int> Parse_Call_Args(Expr* e, const State_Def* state, bool lists)
    {
        std::vector<int> args;
        ++pos_;  // (
        if (Accept(")")) return args;
        while (!diag_->Failed()) {
            args.push_back(Parse_Expression(e, state, lists));
            if (Accept(")")) break;
            if (!Expect(",")) break;
        }
        return args;
    }

    int Parse_Primary(Expr* e, const State_Def* state, bool lists)
    {
        const Token& t = Cur();
        if (At_End()) {
            Error_Here("expected a value");
            return -1;
        }
        if (t.kind == Token_Kind::Number) {
            ++pos_;
            double v;
            if (!Parse_Number(t.text, &v)) {
                Error(t, "invalid number '" + t.text + "'");
                return -1;
            }
            return Constant(e, {v});
        }
        if (Is_Punct("(")) {
            ++pos_;
            const int r = Parse_Expression(e, state, lists);
            Expect(")");
            return r;
        }
        if (Is_Punct("{") && lists) {
            ++pos_;
            Expr_Node n;
            n.op = Expr_Node::Op::Vector;
            while (!Accept("}")) {
                if (At_End() || diag_->Failed()) {
                    Error_Here("unterminated initializer list");
                    return -1;
                }
                n.kids.push_back(Parse_Expression(e, state, lists));
                if (!Is_Punct("}") && !Expect(",")) return -1;
            }
            return Add(e, std::move(n));
        }
        if (t.kind != Token_Kind::Identifier) {
            Error_Here("expected a value");
            return -1;
        }
        const std::string name = t.text;
        if (name == "asm") {
            Error(t, "assembly shaders are not supported");
            return -1;
        }
        if (name == "compile") {
            Error(t, "'compile' is only valid for VertexShader and PixelShader");
            return -1;
        }
        if (state) {
            std::uint32_t v;
            if (Find_Enum_Value(*state, name, &v)) {
                ++pos_;
                return Constant(e, {static_cast<double>(v)});
            }
        }
        if (name == "true" || name == "TRUE" || name == "false" || name == "FALSE") {
            ++pos_;
            return Constant(e, {(name == "true" || name == "TRUE") ? 1.0 : 0.0});
        }
        // Constructors: float4(...), float4x4(...)
        Type_Info type;
        if (Is_Punct("(", 1) && Builtin_Type(name, &type) && type.Numeric()) {
            ++pos_;
            Expr_Node n;
            n.op = Expr_Node::Op::Vector;
            n.kids = Parse_Call_Args(e, state, lists);
            return Add(e, std::move(n));
        }
        if (Is_Punct("(", 1)) {
            static const char* const unary[] = {"sqrt", "sin", "cos", "tan", "abs", "exp",
                                                "log", "floor", "ceil", "frac", "radians",
                                                "degrees", "saturate", "length", "normalize"};
            static const char* const binary[] = {"pow", "min", "max", "fmod", "dot"};
            ++pos_;
            std::vector<int> args = Parse_Call_Args(e, state, lists);
            if (diag_->Failed()) return -1;
            Expr_Node n;
            for (const char* u : unary)
                if (name == u && args.size() == 1) n.op = Expr_Node::Op::Unary;
            for (const char* b : binary)
                if (name == b && args.size() == 2) n.op = Expr_Node::Op::Binary;
            if (n.op == Expr_Node::Op::Constant) {
                Error(t, "'" + name + "' cannot be used in a constant expression");
                return -1;
            }
            n.oper = name;
            n.kids = std::move(args);
            return Add(e, std::move(n));
        }
        ++pos_;
        const int p = desc_->Find_Parameter(name);
        if (p >= 0 && desc_->parameters[static_cast<std::size_t>(p)].type.Numeric()) {
            Expr_Node n;
            n.op = Expr_Node::Op::Parameter;
            n.parameter = p;
            return Add(e, std::move(n));
        }
        if (auto s = statics_.find(name); s != statics_.end()) return Constant(e, s->second);
        if (state && state->kind == State_Kind::Ignored) return Constant(e, {0.0});
        if (state)
            Error(t, "unknown value '" + name + "' for state '" + std::string(state->name) + "'");
        else
            Error(t, "'" + name + "' is not a constant");
        return -1;
    }

    static bool Parse_Number(std::string s, double* v)
    {
        const bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
        while (!s.empty() && std::strchr(hex ? "lLuU" : "fFhHlLuU", s.back())) s.pop_back();
        if (s.empty() || (hex && s.size() == 2)) return false;
        char* end = nullptr;
        if (hex) {
            *v = static_cast<double>(std::strtoull(s.c_str() + 2, &end, 16));
        } else if (s.size() > 1 && s[0] == '0' && s.find_first_of(".eE") == std::string::npos) {
            *v = static_cast<double>(std::strtoull(s.c_str(), &end, 8));
        } else {
            *v = std::strtod(s.c_str(), &end);
        }
        return end && *end == '\0';
    }

    std::vector<Token> toks_;
    std::size_t pos_ = 0;
    Effect_Desc* desc_;
    Diagnostics* diag_;
    Hlsl_Writer hlsl_;
    Token eof_;
    bool row_major_ = false;
    bool soft_ = false;         // errors only mark soft_failed_ (trial parses)
    bool soft_failed_ = false;
    int depth_ = 0;
    int in_angles_ = 0;
    std::uint32_t storage_words_ = 0;
    std::unordered_map<std::string, Type_Info> typedefs_;
    std::unordered_map<std::string, std::vector<double>> statics_;
};

}  // namespace

bool Parse_Effect(const Token_Stream& tokens, Effect_Desc* out, Diagnostics* diagnostics)
{
    *out = Effect_Desc{};
    Parser p(tokens, out, diagnostics);
    return p.Run();
}

}  // namespace qm_fx
