#include "platform/fx/glslang_gaps.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace qm_fx {

std::string Helper_Name(std::string_view name) {
    std::string s(k_helper_prefix);
    s += name;
    return s;
}

namespace {

// The number of elements of a matrix swizzle such as "_11_21_31_41" or
// "_m00_m10", 0 for anything else.
int Matrix_Swizzle_Size(const std::string& s) {
    int n = 0;
    std::size_t k = 0;
    while (k < s.size()) {
        if (s[k] != '_') return 0;
        const bool zero_based = k + 1 < s.size() && s[k + 1] == 'm';
        const std::size_t d = k + (zero_based ? 2 : 1);
        const char lo = zero_based ? '0' : '1';
        const char hi = zero_based ? '3' : '4';
        if (d + 1 >= s.size() || s[d] < lo || s[d] > hi || s[d + 1] < lo || s[d + 1] > hi) return 0;
        k = d + 2;
        ++n;
    }
    return n;
}

bool Is_Punct_Token(const Token& t, const char* p) {
    return t.kind == Token_Kind::Punct && t.text == p;
}

// Where the postfix expression that ends `out` starts: a name, a call, a
// parenthesized expression, with any member accesses and indexing after
// them. out.size() when there is none.
std::size_t Postfix_Start(const std::vector<Token>& out) {
    static const char* const statements[] = {"return", "if", "else",   "while",
                                             "for",    "do", "switch", "case"};
    std::size_t b = out.size();
    while (b > 0) {
        const Token& t = out[b - 1];
        if (Is_Punct_Token(t, ")") || Is_Punct_Token(t, "]")) {
            int level = 0;
            std::size_t k = b;
            while (k > 0) {
                --k;
                if (Is_Punct_Token(out[k], ")") || Is_Punct_Token(out[k], "]")) ++level;
                if ((Is_Punct_Token(out[k], "(") || Is_Punct_Token(out[k], "[")) && --level == 0)
                    break;
            }
            if (level != 0) return out.size();
            b = k;
            if (t.text == "]") continue;  // what is indexed comes before
            if (b > 0 && out[b - 1].kind == Token_Kind::Identifier) {
                bool statement = false;
                for (const char* s : statements) statement |= out[b - 1].text == s;
                if (!statement) --b;  // a call or constructor
            }
        } else if (t.kind == Token_Kind::Identifier) {
            --b;
        } else {
            break;
        }
        if (b > 0 && Is_Punct_Token(out[b - 1], ".")) {
            --b;
            continue;
        }
        break;
    }
    return b;
}

bool Is_Scalar_Type(const std::string& s) {
    static const char* const scalars[] = {"bool",  "int",    "uint",       "dword",     "half",
                                          "float", "double", "min16float", "min10float"};
    for (const char* name : scalars)
        if (s == name) return true;
    return false;
}

Token Made_Token(const Token& like, Token_Kind kind, std::string text) {
    Token t = like;
    t.kind = kind;
    t.text = std::move(text);
    return t;
}

// Past the bracket that opens at `k`, or `end` when it does not close.
std::size_t Skip_Brackets(const std::vector<Token>& toks, std::size_t k, std::size_t end) {
    int level = 0;
    for (; k < end; ++k) {
        const Token& t = toks[k];
        if (t.kind != Token_Kind::Punct || t.text.size() != 1) continue;
        if (std::strchr("([{", t.text[0])) ++level;
        if (std::strchr(")]}", t.text[0]) && --level == 0) return k + 1;
    }
    return end;
}

// Past the postfix expression that starts at `k` (a name, a call or a
// parenthesized expression, then member accesses, indexing and method
// calls); `k` itself when none starts there.
std::size_t Postfix_End(const std::vector<Token>& toks, std::size_t k, std::size_t end) {
    if (k >= end) return k;
    std::size_t e = k;
    if (toks[k].kind == Token_Kind::Identifier || toks[k].kind == Token_Kind::Number) {
        e = k + 1;
        if (e < end && Is_Punct_Token(toks[e], "(")) e = Skip_Brackets(toks, e, end);
    } else if (Is_Punct_Token(toks[k], "(")) {
        e = Skip_Brackets(toks, k, end);
    } else {
        return k;
    }
    while (e < end) {
        if (Is_Punct_Token(toks[e], ".") && e + 1 < end &&
            toks[e + 1].kind == Token_Kind::Identifier) {
            e += 2;
            if (e < end && Is_Punct_Token(toks[e], "(")) e = Skip_Brackets(toks, e, end);
        } else if (Is_Punct_Token(toks[e], "[")) {
            e = Skip_Brackets(toks, e, end);
        } else {
            break;
        }
    }
    return e;
}

// "(float[4]) v", a cast of a vector to an array, as an initializer: glslang
// has no such cast, so the value goes to it as the list of its components,
// { (float)(v)[0], ..., (float)(v)[3] }. False when the tokens at `k` are
// not such a cast.
bool Rewrite_Array_Cast(const std::vector<Token>& toks_, std::size_t* k, std::size_t end,
                        std::vector<Token>* out) {
    const std::size_t c = *k;
    auto Is_Punct_At = [&](std::size_t at, const char* p) {
        return at < end && Is_Punct_Token(toks_[at], p);
    };
    if (!Is_Punct_At(c, "(") || c + 6 > end || toks_[c + 1].kind != Token_Kind::Identifier ||
        !Is_Scalar_Type(toks_[c + 1].text) || !Is_Punct_At(c + 2, "[") ||
        toks_[c + 3].kind != Token_Kind::Number || !Is_Punct_At(c + 4, "]") ||
        !Is_Punct_At(c + 5, ")"))
        return false;
    const long n = std::strtol(toks_[c + 3].text.c_str(), nullptr, 0);
    const std::size_t e = Postfix_End(toks_, c + 6, end);
    if (n < 1 || n > 16 || e == c + 6) return false;
    const Token& t = toks_[c];
    out->push_back(Made_Token(t, Token_Kind::Punct, "{"));
    for (long i = 0; i < n; ++i) {
        if (i > 0) out->push_back(Made_Token(t, Token_Kind::Punct, ","));
        out->push_back(Made_Token(t, Token_Kind::Punct, "("));
        out->push_back(toks_[c + 1]);
        out->push_back(Made_Token(t, Token_Kind::Punct, ")"));
        out->push_back(Made_Token(t, Token_Kind::Punct, "("));
        out->insert(out->end(), toks_.begin() + static_cast<std::ptrdiff_t>(c + 6),
                    toks_.begin() + static_cast<std::ptrdiff_t>(e));
        out->push_back(Made_Token(t, Token_Kind::Punct, ")"));
        out->push_back(Made_Token(t, Token_Kind::Punct, "["));
        out->push_back(Made_Token(t, Token_Kind::Number, std::to_string(i)));
        out->push_back(Made_Token(t, Token_Kind::Punct, "]"));
    }
    out->push_back(Made_Token(t, Token_Kind::Punct, "}"));
    *k = e - 1;
    return true;
}

// "float4(a, b) = value;", a constructor as the target of an assignment,
// stores the value's components into its arguments in order. glslang has no
// such target, so the statement goes to it as a call of our helper with out
// parameters, Qm_Fx_Split4((value), a, b), whose overloads (see
// Glslang_Gap_Helpers) split by the arguments' sizes. False when the tokens at
// `k` do not start such a statement.
bool Rewrite_Constructor_Target(const std::vector<Token>& toks_, std::size_t* k, std::size_t end,
                                std::vector<Token>* out) {
    const std::size_t c = *k;
    auto Is_Punct_At = [&](std::size_t at, const char* p) {
        return at < end && Is_Punct_Token(toks_[at], p);
    };
    const Token& t = toks_[c];
    const bool is_float = t.text.size() == 6 && t.text.compare(0, 5, "float") == 0;
    const bool is_half = t.text.size() == 5 && t.text.compare(0, 4, "half") == 0;
    if (t.kind != Token_Kind::Identifier || !(is_float || is_half) || t.text.back() < '2' ||
        t.text.back() > '4' || !Is_Punct_At(c + 1, "("))
        return false;
    if (!out->empty()) {
        const Token& prev = out->back();
        // A statement starts here: after a statement, a block's brace, the
        // condition of an if, for or while, or an else.
        if (!(Is_Punct_Token(prev, ";") || Is_Punct_Token(prev, "{") || Is_Punct_Token(prev, "}") ||
              Is_Punct_Token(prev, ")") ||
              (prev.kind == Token_Kind::Identifier && prev.text == "else")))
            return false;
    }
    const std::size_t close = Skip_Brackets(toks_, c + 1, end);
    if (close >= end || !Is_Punct_At(close, "=")) return false;
    std::size_t semi = close + 1;
    int level = 0;
    for (; semi < end; ++semi) {
        const Token& s = toks_[semi];
        if (s.kind != Token_Kind::Punct || s.text.size() != 1) continue;
        if (std::strchr("([{", s.text[0])) ++level;
        if (std::strchr(")]}", s.text[0]) && --level < 0) return false;
        if (level == 0 && s.text == ";") break;
    }
    if (semi >= end || semi == close + 1) return false;
    auto made = [&t](Token_Kind kind, std::string text) {
        return Made_Token(t, kind, std::move(text));
    };
    out->push_back(made(Token_Kind::Identifier, Helper_Name(std::string("Split") + t.text.back())));
    out->push_back(made(Token_Kind::Punct, "("));
    out->push_back(made(Token_Kind::Punct, "("));
    out->insert(out->end(), toks_.begin() + static_cast<std::ptrdiff_t>(close + 1),
                toks_.begin() + static_cast<std::ptrdiff_t>(semi));
    out->push_back(made(Token_Kind::Punct, ")"));
    out->push_back(made(Token_Kind::Punct, ","));
    // The arguments as written, without their parentheses.
    out->insert(out->end(), toks_.begin() + static_cast<std::ptrdiff_t>(c + 2),
                toks_.begin() + static_cast<std::ptrdiff_t>(close - 1));
    out->push_back(made(Token_Kind::Punct, ")"));
    *k = semi - 1;
    return true;
}

}  // namespace

void Rewrite_Glslang_Gaps(const std::vector<Token>& toks, std::size_t begin, std::size_t end,
                          std::vector<Token>* out) {
    for (std::size_t k = begin; k < end; ++k) {
        const Token& t = toks[k];
        if (Rewrite_Array_Cast(toks, &k, end, out)) continue;
        if (Rewrite_Constructor_Target(toks, &k, end, out)) continue;
        const int n =
            Is_Punct_Token(t, ".") && k + 1 < end && toks[k + 1].kind == Token_Kind::Identifier
                ? Matrix_Swizzle_Size(toks[k + 1].text)
                : 0;
        const std::size_t b = n >= 2 && n <= 4 ? Postfix_Start(*out) : out->size();
        if (b == out->size()) {
            out->push_back(t);
            continue;
        }
        const std::vector<Token> value(out->begin() + static_cast<std::ptrdiff_t>(b), out->end());
        out->resize(b);
        const std::string& swizzle = toks[k + 1].text;
        out->push_back(Made_Token(t, Token_Kind::Identifier, "float" + std::to_string(n)));
        out->push_back(Made_Token(t, Token_Kind::Punct, "("));
        for (std::size_t s = 0; s < swizzle.size();) {
            const std::size_t length = swizzle[s + 1] == 'm' ? 4 : 3;
            if (s > 0) out->push_back(Made_Token(t, Token_Kind::Punct, ","));
            out->insert(out->end(), value.begin(), value.end());
            out->push_back(Made_Token(t, Token_Kind::Punct, "."));
            out->push_back(Made_Token(t, Token_Kind::Identifier, swizzle.substr(s, length)));
            s += length;
        }
        out->push_back(Made_Token(t, Token_Kind::Punct, ")"));
        ++k;
    }
}

bool Rename_Any_All_Call(std::string* name, const Token& next) {
    if ((*name != "any" && *name != "all") || next.text != "(") return false;
    *name = Helper_Name(*name);
    return true;
}

namespace {

// any() and all() of scalars and vectors of each base type.
const std::string& Any_All_Overloads() {
    static const std::string text = [] {
        std::string s;
        for (const char* f : {"any", "all"})
            for (const char* base : {"float", "int", "bool"})
                for (int n = 1; n <= 4; ++n) {
                    const std::string type = base + (n > 1 ? std::to_string(n) : std::string());
                    const std::string body = n > 1                         ? std::string(f) + "(x)"
                                             : std::string(base) == "bool" ? std::string("x")
                                                                           : std::string("x != 0");
                    s += "bool " + Helper_Name(f) + "(" + type + " x) { return " + body + "; }\n";
                }
        return s;
    }();
    return text;
}

// The split of a vector into the arguments of a constructor that is the
// target of an assignment (the parser rewrites "float4(a, b) = v;" as
// Qm_Fx_Split4((v), a, b)): one overload per way to cut the vector, chosen
// by the sizes of the out parameters.
const std::string& Split_Overloads() {
    static const std::string text = [] {
        static const char* const swizzle = "xyzw";
        std::string s;
        for (int n = 2; n <= 4; ++n) {
            // Every composition of n into two or more parts, as a bit mask of cuts.
            for (int cuts = 1; cuts < (1 << (n - 1)); ++cuts) {
                std::string params, body;
                int from = 0, part = 0;
                for (int i = 1; i <= n; ++i) {
                    if (i < n && !(cuts & (1 << (i - 1)))) continue;
                    const int size = i - from;
                    const std::string name = "p" + std::to_string(part++);
                    params += ", out float" + (size > 1 ? std::to_string(size) : "") + " " + name;
                    body += " " + name + " = v." +
                            std::string(swizzle + from, static_cast<std::size_t>(size)) + ";";
                    from = i;
                }
                s += "void " + Helper_Name("Split") + std::to_string(n) + "(float" +
                     std::to_string(n) + " v" + params + ") {" + body + " }\n";
            }
        }
        return s;
    }();
    return text;
}

// any() and all() of float matrices, row by row.
const std::string& Matrix_Any_All_Overloads() {
    static const std::string text = [] {
        std::string s;
        for (const char* f : {"any", "all"})
            for (int r = 1; r <= 4; ++r)
                for (int c = 1; c <= 4; ++c) {
                    if (r == 1 && c == 1) continue;
                    std::string body;
                    for (int k = 0; k < r; ++k)
                        body += std::string(k ? (f[1] == 'n' ? " || " : " && ") : "") +
                                Helper_Name(f) + "(x[" + std::to_string(k) + "])";
                    s += "bool " + Helper_Name(f) + "(float" + std::to_string(r) + "x" +
                         std::to_string(c) + " x) { return " + body + "; }\n";
                }
        return s;
    }();
    return text;
}

}  // namespace

std::string Glslang_Gap_Helpers(const std::string& hlsl) {
    std::string s;
    if (hlsl.find(Helper_Name("any")) != std::string::npos ||
        hlsl.find(Helper_Name("all")) != std::string::npos) {
        s = Any_All_Overloads();
        s += Matrix_Any_All_Overloads();
    }
    if (hlsl.find(Helper_Name("Split")) != std::string::npos) s += Split_Overloads();
    return s;
}

}  // namespace qm_fx
