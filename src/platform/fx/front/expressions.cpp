// Constant expressions of the effect syntax: the parser of state values,
// annotation values and initializers into Expr trees, and their evaluator
// (run when a pass is applied, so state values may read parameters).
#include "platform/fx/front/parser_private.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace qm_fx {

// ---------------------------------------------------------------------------
// Expressions
// ---------------------------------------------------------------------------
bool Expr::Constant() const {
    for (const Expr_Node& n : nodes)
        if (n.op == Expr_Node::Op::Parameter) return false;
    return true;
}

void Flatten_Bases(const Type_Info& t, std::vector<Base_Type>* out) {
    const std::uint32_t count = t.elements ? t.elements : 1;
    for (std::uint32_t e = 0; e < count; ++e) {
        if (t.cls == Type_Class::Struct) {
            for (const Struct_Member& m : t.members) Flatten_Bases(*m.type, out);
        } else {
            for (std::uint32_t w = 0; w < t.Element_Words(); ++w) out->push_back(t.base);
        }
    }
}

namespace {

constexpr std::size_t k_max_components = 4096;

double Apply_Unary(const std::string& op, double a) {
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
    if (op == "log2") return std::log2(a);
    if (op == "log10") return std::log10(a);
    if (op == "exp2") return std::exp2(a);
    if (op == "rsqrt") return a > 0.0 ? 1.0 / std::sqrt(a) : 0.0;
    if (op == "rcp") return a != 0.0 ? 1.0 / a : 0.0;
    if (op == "sign") return a > 0.0 ? 1.0 : a < 0.0 ? -1.0 : 0.0;
    if (op == "round") return std::round(a);
    if (op == "trunc") return std::trunc(a);
    if (op == "asin") return std::asin(std::clamp(a, -1.0, 1.0));
    if (op == "acos") return std::acos(std::clamp(a, -1.0, 1.0));
    if (op == "atan") return std::atan(a);
    if (op == "sinh") return std::sinh(a);
    if (op == "cosh") return std::cosh(a);
    if (op == "tanh") return std::tanh(a);
    return a;
}

double Apply_Binary(const std::string& op, double a, double b) {
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
    if (op == "atan2") return std::atan2(a, b);
    if (op == "step") return b >= a ? 1.0 : 0.0;
    if (op == "ldexp") return a * std::exp2(b);
    return a;
}

int Swizzle_Index(char c) {
    switch (c) {
    case 'x':
    case 'r': return 0;
    case 'y':
    case 'g': return 1;
    case 'z':
    case 'b': return 2;
    case 'w':
    case 'a': return 3;
    default: return -1;
    }
}

}  // namespace

std::vector<double> Eval_Node(const Expr& e, int index, const Effect_Desc& desc,
                              const std::uint32_t* storage) {
    if (index < 0 || static_cast<std::size_t>(index) >= e.nodes.size()) return {0.0};
    const Expr_Node& n = e.nodes[static_cast<std::size_t>(index)];
    switch (n.op) {
    case Expr_Node::Op::Constant: return n.value;
    case Expr_Node::Op::Parameter: {
        const Parameter& p = desc.parameters[static_cast<std::size_t>(n.parameter)];
        std::vector<Base_Type> bases;
        Flatten_Bases(p.type, &bases);
        std::vector<double> v;
        for (std::size_t k = 0; k < bases.size() && k < k_max_components; ++k)
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
                r.push_back(s >= 0 && static_cast<std::size_t>(s) < a.size()
                                ? a[static_cast<std::size_t>(s)]
                                : 0.0);
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
        if (n.oper.rfind("slice:", 0) == 0) {
            const std::size_t colon = n.oper.find(':', 6);
            const std::size_t from = std::strtoul(n.oper.c_str() + 6, nullptr, 10);
            const std::size_t count = std::strtoul(n.oper.c_str() + colon + 1, nullptr, 10);
            std::vector<double> r;
            for (std::size_t k = from; k < from + count; ++k)
                r.push_back(k < a.size() ? a[k] : 0.0);
            return r;
        }
        if (n.oper == "any" || n.oper == "all") {
            bool any = false, all = true;
            for (double x : a) {
                any = any || x != 0.0;
                all = all && x != 0.0;
            }
            return {(n.oper == "any" ? any : all) ? 1.0 : 0.0};
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
        if (n.kids.size() == 3) {
            // lerp(a, b, t), clamp(x, lo, hi), smoothstep(lo, hi, x)
            std::vector<double> c = Eval_Node(e, n.kids[2], desc, storage);
            const std::size_t count = std::max({a.size(), b.size(), c.size()});
            auto at = [](const std::vector<double>& v, std::size_t k) {
                return v.size() == 1 ? v[0] : k < v.size() ? v[k] : 0.0;
            };
            std::vector<double> r(std::min(count, k_max_components));
            for (std::size_t k = 0; k < r.size(); ++k) {
                const double x = at(a, k), y = at(b, k), z = at(c, k);
                if (n.oper == "lerp") {
                    r[k] = x + (y - x) * z;
                } else if (n.oper == "clamp") {
                    r[k] = std::min(std::max(x, y), z);
                } else {
                    const double t = y != x ? std::clamp((z - x) / (y - x), 0.0, 1.0) : 0.0;
                    r[k] = t * t * (3.0 - 2.0 * t);
                }
            }
            return r;
        }
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
            if (r.size() + v.size() > k_max_components) break;
            r.insert(r.end(), v.begin(), v.end());
        }
        return r;
    }
    }
    return {0.0};
}

std::size_t Evaluate(const Expr& expr, const Effect_Desc& desc, const std::uint32_t* storage,
                     double* out, std::size_t count) {
    const std::vector<double> v = Eval_Node(expr, expr.root, desc, storage);
    for (std::size_t k = 0; k < count; ++k) out[k] = k < v.size() ? v[k] : 0.0;
    return v.size();
}

// ---------------------------------------------------------------------------
// The expression parser
// ---------------------------------------------------------------------------
std::int64_t Effect_Parser::Parse_Constant_Int() {
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

// `state` resolves value names of that state; `lists` allows { a, b } lists.
int Effect_Parser::Parse_Expression(Expr* e, const State_Def* state, bool lists) {
    const Nesting_Level level(&depth_);
    if (level.Too_Deep()) {
        Error_Here("expression too deeply nested");
        return -1;
    }
    return Parse_Ternary(e, state, lists);
}

// Evaluation recurses over the tree, so its height is bounded as well: chains
// like a+b+c+... or v.x.x.x... nest without any recursion of the parser.
int Effect_Parser::Add(Expr* e, Expr_Node n) {
    for (const int k : n.kids)
        if (k >= 0) n.height = std::max(n.height, e->nodes[static_cast<std::size_t>(k)].height + 1);
    if (n.height > static_cast<std::uint32_t>(k_max_nesting_depth))
        Error_Here("expression too deeply nested");
    e->nodes.push_back(std::move(n));
    return static_cast<int>(e->nodes.size() - 1);
}

int Effect_Parser::Parse_Ternary(Expr* e, const State_Def* state, bool lists) {
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

int Effect_Parser::Binary_Precedence(const Token& t) {
    if (t.kind != Token_Kind::Punct) return -1;
    static const std::pair<const char*, int> table[] = {
        {"||", 1}, {"&&", 2}, {"|", 3}, {"^", 4},  {"&", 5},  {"==", 6},
        {"!=", 6}, {"<", 7},  {">", 7}, {"<=", 7}, {">=", 7}, {"<<", 8},
        {">>", 8}, {"+", 9},  {"-", 9}, {"*", 10}, {"/", 10}, {"%", 10}};
    for (const auto& [op, prec] : table)
        if (t.text == op) return prec;
    return -1;
}

int Effect_Parser::Parse_Binary(Expr* e, const State_Def* state, bool lists, int min_prec) {
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

int Effect_Parser::Parse_Unary(Expr* e, const State_Def* state, bool lists) {
    for (const char* op : {"-", "+", "!", "~"}) {
        if (Is_Punct(op)) {
            ++pos_;
            const Nesting_Level level(&depth_);
            if (level.Too_Deep()) {
                Error_Here("expression too deeply nested");
                return -1;
            }
            const int a = Parse_Unary(e, state, lists);
            Expr_Node n;
            n.op = Expr_Node::Op::Unary;
            n.oper.append(op);  // appended: GCC 12 at -O3 misreports assignment (-Wrestrict)
            n.kids = {a};
            return Add(e, std::move(n));
        }
    }
    // A cast: (float3) x
    if (Is_Punct("(") && Peek(1).kind == Token_Kind::Identifier && Is_Punct(")", 2)) {
        Type_Info t;
        if (Builtin_Type(Peek(1).text, &t) && t.Numeric()) {
            pos_ += 3;
            const Nesting_Level level(&depth_);
            if (level.Too_Deep()) {
                Error_Here("expression too deeply nested");
                return -1;
            }
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

int Effect_Parser::Parse_Postfix(Expr* e, const State_Def* state, bool lists) {
    int r = Parse_Primary(e, state, lists);
    // A constant index into a parameter: a row of a matrix, an element of
    // an array (M[3].xyz, Table[1]).
    while (!diag_->Failed() && r >= 0 && Is_Punct("[") &&
           e->nodes[static_cast<std::size_t>(r)].op == Expr_Node::Op::Parameter) {
        const Type_Info& t = desc_
                                 ->parameters[static_cast<std::size_t>(
                                     e->nodes[static_cast<std::size_t>(r)].parameter)]
                                 .type;
        if (t.cls == Type_Class::Struct) break;
        const Token& at = Cur();
        ++pos_;
        const std::int64_t index = Parse_Constant_Int();
        if (!Expect("]")) return -1;
        const std::uint32_t count = t.elements ? t.Element_Words() : t.Is_Matrix() ? t.cols : 1;
        const std::uint32_t limit = t.elements ? t.elements : t.Is_Matrix() ? t.rows : t.cols;
        if (index < 0 || index >= static_cast<std::int64_t>(limit)) {
            Error(at, "index " + std::to_string(index) + " is out of range");
            return -1;
        }
        Expr_Node n;
        n.op = Expr_Node::Op::Unary;
        n.oper = "slice:" + std::to_string(static_cast<std::uint32_t>(index) * count) + ":" +
                 std::to_string(count);
        n.kids = {r};
        r = Add(e, std::move(n));
        break;
    }
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

int Effect_Parser::Constant(Expr* e, std::vector<double> v) {
    Expr_Node n;
    n.op = Expr_Node::Op::Constant;
    n.value = std::move(v);
    return Add(e, std::move(n));
}

// Arguments of a call or constructor, up to ')'.
std::vector<int> Effect_Parser::Parse_Call_Args(Expr* e, const State_Def* state, bool lists) {
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

int Effect_Parser::Parse_Primary(Expr* e, const State_Def* state, bool lists) {
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
        int r = Parse_Expression(e, state, lists);
        // The comma operator, "(0.5, 0.5)": the last value (the others have
        // no effect in a constant).
        while (!diag_->Failed() && Accept(",")) r = Parse_Expression(e, state, lists);
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
        static const char* const unary[] = {
            "sqrt",  "sin",  "cos",     "tan",     "abs",      "exp",    "log",       "floor",
            "ceil",  "frac", "radians", "degrees", "saturate", "length", "normalize", "log2",
            "log10", "exp2", "rsqrt",   "rcp",     "sign",     "round",  "trunc",     "asin",
            "acos",  "atan", "sinh",    "cosh",    "tanh",     "any",    "all"};
        static const char* const binary[] = {"pow", "min",   "max",  "fmod",
                                             "dot", "atan2", "step", "ldexp"};
        static const char* const ternary[] = {"lerp", "clamp", "smoothstep"};
        ++pos_;
        std::vector<int> args = Parse_Call_Args(e, state, lists);
        if (diag_->Failed()) return -1;
        Expr_Node n;
        for (const char* u : unary)
            if (name == u && args.size() == 1) n.op = Expr_Node::Op::Unary;
        for (const char* b : binary)
            if (name == b && args.size() == 2) n.op = Expr_Node::Op::Binary;
        for (const char* b : ternary)
            if (name == b && args.size() == 3) n.op = Expr_Node::Op::Binary;
        if (n.op == Expr_Node::Op::Constant) {
            const int inlined = Inline_Function_Call(e, name, args);
            if (inlined >= 0) return inlined;
            Error(t, "'" + name + "' cannot be used in a constant expression");
            return -1;
        }
        n.oper = name;
        n.kids = std::move(args);
        return Add(e, std::move(n));
    }
    ++pos_;
    if (!inlined_args_.empty())
        if (auto a = inlined_args_.back().find(name); a != inlined_args_.back().end())
            return a->second;
    const int p = desc_->Find_Parameter(name);
    if (p >= 0 && desc_->parameters[static_cast<std::size_t>(p)].type.Numeric()) {
        Expr_Node n;
        n.op = Expr_Node::Op::Parameter;
        n.parameter = p;
        return Add(e, std::move(n));
    }
    if (auto s = statics_.find(name); s != statics_.end()) return Constant(e, s->second);
    if (std::uint32_t v; !state && Find_D3D_Enumerator(name, &v))
        return Constant(e, {static_cast<double>(v)});
    if (state && state->kind == State_Kind::Ignored) return Constant(e, {0.0});
    if (state)
        Error(t, "unknown value '" + name + "' for state '" + std::string(state->name) + "'");
    else
        Error(t, "'" + name + "' is not a constant");
    return -1;
}

int Effect_Parser::Inline_Function_Call(Expr* e, const std::string& name,
                                        const std::vector<int>& args) {
    const auto f = function_bodies_.find(name + "/" + std::to_string(args.size()));
    // Bounded: calls nest at most 16 deep and make at most 4096 nodes.
    if (f == function_bodies_.end() || inlined_args_.size() >= 16 || e->nodes.size() > 4096)
        return -1;
    std::unordered_map<std::string, int> bound;
    for (std::size_t k = 0; k < args.size(); ++k) bound[f->second.params[k]] = args[k];
    const std::size_t saved_pos = pos_;
    const bool saved_soft = soft_, saved_failed = soft_failed_;
    soft_ = true;
    soft_failed_ = false;
    inlined_args_.push_back(std::move(bound));
    pos_ = f->second.begin + 1;
    bool partial = false;
    int r = Inline_Statements(e, &partial);
    if (soft_failed_ || partial) r = -1;
    inlined_args_.pop_back();
    soft_ = saved_soft;
    soft_failed_ = saved_failed;
    pos_ = saved_pos;
    return r;
}

// Statements up to the '}' that closes their block (consumed): the value
// they return, -2 when they end without returning. `*partial`: the value
// has holes (-3) where some path falls off the end of the block.
int Effect_Parser::Inline_Statements(Expr* e, bool* partial) {
    *partial = false;
    const Nesting_Level level(&depth_);
    if (level.Too_Deep()) {
        Error_Here("expression too deeply nested");
        return -1;
    }
    while (!soft_failed_ && !At_End()) {
        if (Accept("}")) return -2;
        if (Accept(";")) continue;
        const std::size_t first = e->nodes.size();
        bool open = false;
        const int r = Inline_Statement(e, &open);
        if (r == -1 || soft_failed_) return -1;
        if (r == -2) continue;
        if (!open) {
            // The rest of the block is never reached.
            for (int depth = 0; !At_End(); ++pos_) {
                if (Is_Punct("{")) ++depth;
                if (Is_Punct("}") && depth-- == 0) {
                    ++pos_;
                    break;
                }
            }
            return r;
        }
        // The paths that do not return go on with the statements after.
        const std::size_t rest_first = e->nodes.size();
        bool rest_open = false;
        const int rest = Inline_Statements(e, &rest_open);
        if (rest == -1 || soft_failed_) return -1;
        if (rest == -2) {
            *partial = true;
            return r;
        }
        // Fill the holes; the heights (which bound the evaluator's
        // recursion) grow with what now hangs below.
        for (std::size_t k = first; k < rest_first; ++k) {
            Expr_Node& n = e->nodes[k];
            for (int& kid : n.kids) {
                if (kid == -3) kid = rest;
                if (kid >= 0)
                    n.height =
                        std::max(n.height, e->nodes[static_cast<std::size_t>(kid)].height + 1);
            }
            if (n.height > static_cast<std::uint32_t>(k_max_nesting_depth)) {
                Error_Here("expression too deeply nested");
                return -1;
            }
        }
        *partial = rest_open;
        return r;
    }
    return -1;
}

// One statement: "return x;", a block or an if/else. Anything else (locals,
// assignments, loops) cannot be inlined.
int Effect_Parser::Inline_Statement(Expr* e, bool* partial) {
    *partial = false;
    if (Is_Ident("return")) {
        ++pos_;
        const int r = Parse_Expression(e, nullptr, false);
        if (!Expect(";")) return -1;
        return r;
    }
    if (Accept("{")) return Inline_Statements(e, partial);
    if (!Is_Ident("if")) {
        Error_Here("cannot inline");
        return -1;
    }
    const Nesting_Level level(&depth_);
    if (level.Too_Deep()) {
        Error_Here("expression too deeply nested");
        return -1;
    }
    ++pos_;
    if (!Expect("(")) return -1;
    const int c = Parse_Expression(e, nullptr, false);
    if (!Expect(")")) return -1;
    bool a_open = false, b_open = false;
    int a = Inline_Statement(e, &a_open);
    int b = -2;
    if (Is_Ident("else")) {
        ++pos_;
        b = Inline_Statement(e, &b_open);
    }
    if (a == -1 || b == -1 || soft_failed_) return -1;
    if (a == -2 && b == -2) return -2;
    if (a == -2) a = -3;
    if (b == -2) b = -3;
    *partial = a_open || b_open || a == -3 || b == -3;
    Expr_Node n;
    n.op = Expr_Node::Op::Ternary;
    n.kids = {c, a, b};
    return Add(e, std::move(n));
}

bool Effect_Parser::Parse_Number(std::string s, double* v) {
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

}  // namespace qm_fx
