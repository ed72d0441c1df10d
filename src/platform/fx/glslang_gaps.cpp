#include "platform/fx/glslang_gaps.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "platform/fx/limits.h"

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

// tex1D* and texCUBEproj calls as the 2D and cube calls they stand for:
// the call's name, the one it becomes, and the helper that each argument
// after the sampler goes through.
struct Texture_Call_Rewrite {
    const char* name;
    const char* becomes;
    const char* arguments[3];
};
const Texture_Call_Rewrite k_texture_calls[] = {
    {"tex1D", "tex2D", {"Row", "Axis", "Axis"}},
    {"tex1Dgrad", "tex2Dgrad", {"Row", "Axis", "Axis"}},
    {"tex1Dproj", "tex2Dproj", {"Row_Proj", nullptr, nullptr}},
    {"tex1Dlod", "tex2Dlod", {"Row_Lod", nullptr, nullptr}},
    {"tex1Dbias", "tex2Dbias", {"Row_Lod", nullptr, nullptr}},
    {"texCUBEproj", "texCUBE", {"Project", nullptr, nullptr}},
};

// Loop variables as Direct3D 9 compilers scoped them: a variable declared
// in the head of a for loop belongs to the block around the loop, so code
// after the loop reads it, and a later loop that declares it again in that
// block reuses it. glslang scopes it to the loop. So a loop variable that
// code after the loop names is declared before the loop instead, once per
// block. Each hoist is the index of a "for" before which the declaration
// (the tokens at type and type + 1) goes; `drop` gets the indices of the
// type tokens the loop heads lose.
struct Loop_Hoist {
    std::size_t at_for;
    std::size_t type;
};

bool Is_Value_Type(const std::string& s) {
    if (Is_Scalar_Type(s)) return true;
    return s.size() > 1 && s.back() >= '1' && s.back() <= '4' &&
           Is_Scalar_Type(s.substr(0, s.size() - 1));
}

// The end of the statement that starts at `k` (past its ';' or '}').
std::size_t Statement_End(const std::vector<Token>& toks, std::size_t k, std::size_t end) {
    // Past the heads of loops and ifs without braces, to their statement.
    while (k + 1 < end && toks[k].kind == Token_Kind::Identifier &&
           (toks[k].text == "for" || toks[k].text == "while" || toks[k].text == "if") &&
           Is_Punct_Token(toks[k + 1], "("))
        k = Skip_Brackets(toks, k + 1, end);
    if (k >= end) return end;
    if (Is_Punct_Token(toks[k], "{")) return Skip_Brackets(toks, k, end);
    int level = 0;
    for (; k < end; ++k) {
        const Token& t = toks[k];
        if (t.kind != Token_Kind::Punct || t.text.size() != 1) continue;
        if (std::strchr("([{", t.text[0])) ++level;
        if (std::strchr(")]}", t.text[0]) && --level < 0) return k;
        if (level == 0 && t.text == ";") return k + 1;
    }
    return end;
}

std::vector<Loop_Hoist> Loop_Hoists(const std::vector<Token>& toks, std::size_t begin,
                                    std::size_t end, std::vector<std::size_t>* drop) {
    std::vector<Loop_Hoist> hoists;
    // Where each name occurs (not as a member) and where each block ends, so
    // that each loop is judged without reading the rest of its block.
    std::unordered_map<std::string, std::vector<std::size_t>> uses;
    std::unordered_map<std::size_t, std::size_t> block_ends;
    std::vector<std::size_t> opened;
    for (std::size_t k = begin; k < end; ++k) {
        const Token& t = toks[k];
        if (t.kind == Token_Kind::Identifier && !(k > begin && Is_Punct_Token(toks[k - 1], ".")))
            uses[t.text].push_back(k);
        if (Is_Punct_Token(t, "{")) opened.push_back(k);
        if (Is_Punct_Token(t, "}") && !opened.empty()) {
            block_ends[opened.back()] = k;
            opened.pop_back();
        }
    }
    if (uses.find("for") == uses.end()) return hoists;
    // The blocks open at each token: the index of each one's '{'.
    std::vector<std::size_t> blocks;
    // Names declared before loops so far, by the block they went into.
    std::unordered_map<std::size_t, std::unordered_set<std::string>> declared;
    for (std::size_t k = begin; k < end; ++k) {
        const Token& t = toks[k];
        if (Is_Punct_Token(t, "{")) {
            blocks.push_back(k);
            continue;
        }
        if (Is_Punct_Token(t, "}")) {
            if (!blocks.empty()) {
                const std::size_t open = blocks.back();
                blocks.pop_back();
                declared.erase(open);
            }
            continue;
        }
        if (blocks.empty() || t.kind != Token_Kind::Identifier || t.text != "for" || k + 4 >= end ||
            !Is_Punct_Token(toks[k + 1], "(") || toks[k + 2].kind != Token_Kind::Identifier ||
            !Is_Value_Type(toks[k + 2].text) || toks[k + 3].kind != Token_Kind::Identifier ||
            !Is_Punct_Token(toks[k + 4], "="))
            continue;
        const std::string& name = toks[k + 3].text;
        const std::size_t block = blocks.back();
        if (const auto d = declared.find(block); d != declared.end() && d->second.count(name)) {
            drop->push_back(k + 2);
            continue;
        }
        // One declarator only ("for (int i = 0, j = 0; ...)" stays as it is).
        const std::size_t head_end = Skip_Brackets(toks, k + 1, end);
        std::size_t e = k + 5;
        for (int level = 0; e < head_end; ++e) {
            if (Is_Punct_Token(toks[e], "(")) ++level;
            if (Is_Punct_Token(toks[e], ")")) --level;
            if (level == 0 && (Is_Punct_Token(toks[e], ";") || Is_Punct_Token(toks[e], ","))) break;
        }
        if (e >= head_end || !Is_Punct_Token(toks[e], ";")) continue;
        // Named after the loop, before its block ends?
        const std::size_t after = Statement_End(toks, k, end);
        const auto block_end = block_ends.find(block);
        const std::size_t until = block_end == block_ends.end() ? end : block_end->second;
        const std::vector<std::size_t>& at = uses[name];
        const auto next = std::lower_bound(at.begin(), at.end(), after);
        const bool named_after = next != at.end() && *next < until;
        // The declaration needs a statement of its own: not after an if,
        // else or loop head without braces.
        const Token& before = toks[k - 1];
        if (!named_after || !(Is_Punct_Token(before, ";") || Is_Punct_Token(before, "{") ||
                              Is_Punct_Token(before, "}")))
            continue;
        hoists.push_back({k, k + 2});
        drop->push_back(k + 2);
        declared[block].insert(name);
    }
    return hoists;
}

// A call of k_texture_calls at `k`, rewritten; false when there is none.
bool Rewrite_Texture_Call(const std::vector<Token>& toks, std::size_t* k, std::size_t end,
                          std::vector<Token>* out) {
    const Token& t = toks[*k];
    if (t.kind != Token_Kind::Identifier || *k + 1 >= end || !Is_Punct_Token(toks[*k + 1], "("))
        return false;
    const Texture_Call_Rewrite* call = nullptr;
    for (const Texture_Call_Rewrite& c : k_texture_calls)
        if (t.text == c.name) call = &c;
    if (!call) return false;
    // The arguments are rewritten in turn; calls nested too deeply stay as
    // they are (the parser then refuses the nesting).
    thread_local int depth = 0;
    const Nesting_Level level_of_calls(&depth);
    if (level_of_calls.Too_Deep()) return false;
    const std::size_t close = Skip_Brackets(toks, *k + 1, end);
    if (close > end || !Is_Punct_Token(toks[close - 1], ")")) return false;
    // The arguments: [from, to) between the parentheses, split at commas.
    std::vector<std::pair<std::size_t, std::size_t>> args;
    std::size_t from = *k + 2;
    int level = 0;
    for (std::size_t a = from; a < close - 1; ++a) {
        const Token& e = toks[a];
        if (e.kind != Token_Kind::Punct || e.text.size() != 1) continue;
        if (std::strchr("([{", e.text[0])) ++level;
        if (std::strchr(")]}", e.text[0])) --level;
        if (level == 0 && e.text == ",") {
            args.emplace_back(from, a);
            from = a + 1;
        }
    }
    args.emplace_back(from, close - 1);
    if (args.size() < 2 || args.size() > 4) return false;
    out->push_back(Made_Token(t, Token_Kind::Identifier, call->becomes));
    out->push_back(Made_Token(t, Token_Kind::Punct, "("));
    for (std::size_t a = 0; a < args.size(); ++a) {
        if (a > 0) out->push_back(Made_Token(t, Token_Kind::Punct, ","));
        const char* helper = a > 0 ? call->arguments[a - 1] : nullptr;
        if (helper) {
            out->push_back(Made_Token(t, Token_Kind::Identifier, Helper_Name(helper)));
            out->push_back(Made_Token(t, Token_Kind::Punct, "("));
        }
        Rewrite_Glslang_Gaps(toks, args[a].first, args[a].second, out);
        if (helper) out->push_back(Made_Token(t, Token_Kind::Punct, ")"));
    }
    out->push_back(Made_Token(t, Token_Kind::Punct, ")"));
    *k = close - 1;
    return true;
}

}  // namespace

void Rewrite_Glslang_Gaps(const std::vector<Token>& toks, std::size_t begin, std::size_t end,
                          std::vector<Token>* out) {
    std::vector<std::size_t> drop;
    const std::vector<Loop_Hoist> hoists = Loop_Hoists(toks, begin, end, &drop);
    std::size_t next_hoist = 0, next_drop = 0;
    for (std::size_t k = begin; k < end; ++k) {
        const Token& t = toks[k];
        if (next_hoist < hoists.size() && hoists[next_hoist].at_for == k) {
            const std::size_t type = hoists[next_hoist++].type;
            out->push_back(toks[type]);
            out->push_back(toks[type + 1]);
            out->push_back(Made_Token(t, Token_Kind::Punct, ";"));
        }
        if (next_drop < drop.size() && drop[next_drop] == k) {
            ++next_drop;
            continue;
        }
        // "const static": glslang takes it for a variable, not a constant
        // (an array size cannot use it); "static const" it takes.
        if (t.kind == Token_Kind::Identifier && t.text == "const" && k + 1 < end &&
            toks[k + 1].kind == Token_Kind::Identifier && toks[k + 1].text == "static") {
            out->push_back(toks[k + 1]);
            out->push_back(t);
            ++k;
            continue;
        }
        if (Rewrite_Texture_Call(toks, &k, end, out)) continue;
        // glslang's lit() multiplies where it should raise to the power.
        if (t.kind == Token_Kind::Identifier && t.text == "lit" && k + 1 < end &&
            Is_Punct_Token(toks[k + 1], "(") && !(k > begin && Is_Punct_Token(toks[k - 1], "."))) {
            out->push_back(Made_Token(t, Token_Kind::Identifier, Helper_Name("lit")));
            continue;
        }
        if (t.kind == Token_Kind::Identifier && t.text == "sampler1D") {
            out->push_back(Made_Token(t, Token_Kind::Identifier, "sampler2D"));
            continue;
        }
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
        auto made = [&t](Token_Kind kind, std::string text) {
            return Made_Token(t, kind, std::move(text));
        };
        // value._m00, value._m10, ... (with a comma before the first too
        // when `leading_comma`).
        const auto elements = [&](bool leading_comma) {
            for (std::size_t s = 0; s < swizzle.size();) {
                const std::size_t length = swizzle[s + 1] == 'm' ? 4 : 3;
                if (s > 0 || leading_comma) out->push_back(made(Token_Kind::Punct, ","));
                out->insert(out->end(), value.begin(), value.end());
                out->push_back(made(Token_Kind::Punct, "."));
                out->push_back(made(Token_Kind::Identifier, swizzle.substr(s, length)));
                s += length;
            }
        };
        const auto vector = [&] {
            out->push_back(made(Token_Kind::Identifier, "float" + std::to_string(n)));
            out->push_back(made(Token_Kind::Punct, "("));
            elements(false);
            out->push_back(made(Token_Kind::Punct, ")"));
        };
        // As the target of an assignment ("m._m00_m10 = v;", "+=" ...), the
        // split helper writes the elements: Qm_Fx_Split2((v), m._m00, m._m10).
        const std::size_t op = k + 2;
        static const char* const assignments[] = {"=", "+=", "-=", "*=", "/="};
        bool assigns = false;
        for (const char* a : assignments) assigns |= op < end && Is_Punct_Token(toks[op], a);
        std::size_t semi = op + 1;
        for (int level = 0; assigns && semi < end; ++semi) {
            const Token& e = toks[semi];
            if (e.kind != Token_Kind::Punct || e.text.size() != 1) continue;
            if (std::strchr("([{", e.text[0])) ++level;
            if (std::strchr(")]}", e.text[0]) && --level < 0) break;
            if (level == 0 && (e.text == ";" || e.text == ",")) break;
        }
        if (assigns && semi < end && semi > op + 1 && Is_Punct_Token(toks[semi], ";")) {
            out->push_back(made(Token_Kind::Identifier, Helper_Name("Split" + std::to_string(n))));
            out->push_back(made(Token_Kind::Punct, "("));
            out->push_back(made(Token_Kind::Punct, "("));
            if (toks[op].text != "=") {
                vector();
                out->push_back(made(Token_Kind::Punct, toks[op].text.substr(0, 1)));
                out->push_back(made(Token_Kind::Punct, "("));
            }
            Rewrite_Glslang_Gaps(toks, op + 1, semi, out);
            if (toks[op].text != "=") out->push_back(made(Token_Kind::Punct, ")"));
            out->push_back(made(Token_Kind::Punct, ")"));
            elements(true);
            out->push_back(made(Token_Kind::Punct, ")"));
            k = semi - 1;
            continue;
        }
        vector();
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

// The coordinates of the 2D calls that stand for tex1D* and texCUBEproj
// (Texture_Call_Rewrite).
const std::string& Texture_Coordinate_Helpers() {
    static const std::string text =
        "float2 " + Helper_Name("Row") + "(float t) { return float2(t, 0.5); }\n" + "float2 " +
        Helper_Name("Axis") + "(float d) { return float2(d, 0); }\n" + "float4 " +
        Helper_Name("Row_Proj") + "(float4 t) { return float4(t.x, 0.5 * t.w, 0, t.w); }\n" +
        "float4 " + Helper_Name("Row_Lod") + "(float4 t) { return float4(t.x, 0.5, 0, t.w); }\n" +
        "float3 " + Helper_Name("Project") + "(float4 t) { return t.xyz / t.w; }\n";
    return text;
}

// noise(): gradient noise in -1..1 (0 at whole coordinates), of a scalar or
// a vector of up to three components. glslang crashes on a call of the
// intrinsic, and an effect's code holds such calls in functions written for
// texture shaders even when no vertex or pixel shader uses them.
const std::string& Noise_Overloads() {
    static const std::string text = [] {
        const std::string gradient = Helper_Name("Noise_Gradient");
        std::string s = "float3 " + gradient +
                        "(float3 c) { return frac(sin(float3(dot(c, float3(127.1, 311.7, 74.7)), "
                        "dot(c, float3(269.5, 183.3, 246.1)), dot(c, float3(113.5, 271.9, "
                        "124.6)))) * 43758.5453) * 2 - 1; }\n";
        s += "float noise(float3 p) {\n    float3 i = floor(p);\n    float3 f = p - i;\n"
             "    float3 u = f * f * (3 - 2 * f);\n    float d[8];\n"
             "    for (int k = 0; k < 8; ++k) {\n"
             "        float3 o = float3(k & 1, (k >> 1) & 1, (k >> 2) & 1);\n"
             "        d[k] = dot(" +
             gradient +
             "(i + o), f - o);\n    }\n"
             "    return lerp(lerp(lerp(d[0], d[1], u.x), lerp(d[2], d[3], u.x), u.y),\n"
             "                lerp(lerp(d[4], d[5], u.x), lerp(d[6], d[7], u.x), u.y), u.z);\n}\n";
        s += "float noise(float p) { return noise(float3(p, 0, 0)); }\n";
        s += "float noise(float2 p) { return noise(float3(p, 0)); }\n";
        s += "float noise(float4 p) { return noise(p.xyz); }\n";
        return s;
    }();
    return text;
}

// True when `text` calls noise() (the name followed by a parenthesis).
bool Calls_Noise(const std::string& text) {
    for (std::size_t at = text.find("noise"); at != std::string::npos;
         at = text.find("noise", at + 5)) {
        const auto is_name = [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
        };
        if (at > 0 && is_name(text[at - 1])) continue;
        std::size_t k = at + 5;
        while (k < text.size() && text[k] == ' ') ++k;
        if (k < text.size() && text[k] == '(') return true;
    }
    return false;
}

// Intrinsics with out parameters: name and the positions of those.
bool Intrinsic_Writes_Argument(const std::string& name, std::size_t arg) {
    if (name == "sincos") return arg == 1 || arg == 2;
    return (name == "modf" || name == "frexp") && arg == 1;
}

bool Is_Assignment(const Token& t) {
    static const char* const ops[] = {
        "=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^=", "<<=", ">>="};
    if (t.kind != Token_Kind::Punct) return false;
    for (const char* op : ops)
        if (t.text == op) return true;
    return false;
}

// An open bracket while the code is read left to right: for a call's
// parenthesis, the function's name and the position of the argument read.
struct Open_Bracket {
    char bracket;
    std::string callee;  // empty when not a call
    std::size_t argument = 0;
};

// The out and inout parameters of the effect's functions (any overload), by
// the function's name.
using Out_Parameters = std::unordered_map<std::string, std::vector<bool>>;
Out_Parameters Out_Parameters_Of(const Effect_Desc& desc) {
    Out_Parameters out;
    for (const Function_Info& f : desc.functions) {
        std::vector<bool>& writes = out[f.name];
        if (writes.size() < f.params.size()) writes.resize(f.params.size(), false);
        for (std::size_t k = 0; k < f.params.size(); ++k)
            if (f.params[k].is_out) writes[k] = true;
    }
    return out;
}

bool Writes_Argument(const std::string& callee, std::size_t arg, const Out_Parameters& functions) {
    if (Intrinsic_Writes_Argument(callee, arg)) return true;
    const auto it = functions.find(callee);
    return it != functions.end() && arg < it->second.size() && it->second[arg];
}

std::string Copied_Prefix() {
    return Helper_Name("Uniform_");
}

}  // namespace

std::string Sampler_Declaration(const Parameter& p) {
    std::string decl = p.type.dim == Object_Dim::Dim1 ? "sampler2D" : p.type.Element_Name();
    decl += " ";
    decl += p.name;
    if (p.sampler_register >= 0) decl += " : register(s" + std::to_string(p.sampler_register) + ")";
    decl += ";";
    return decl;
}

std::string Uniform_Declaration(const Parameter& p) {
    std::string decl;
    if (p.type.Is_Matrix())
        decl = p.type.cls == Type_Class::Matrix_Rows ? "row_major " : "column_major ";
    decl += p.type.Element_Name();
    decl += " ";
    decl += p.name;
    decl += p.type.Array_Suffix();
    decl += ";";
    return decl;
}

std::string Copied_Uniform_Name(const std::string& parameter) {
    return Copied_Prefix() + parameter;
}

std::string Parameter_Of_Uniform(const std::string& member) {
    const std::string prefix = Copied_Prefix();
    return member.compare(0, prefix.size(), prefix) == 0 ? member.substr(prefix.size()) : member;
}

std::string Copy_Written_Parameters(const Effect_Desc& desc) {
    const std::string& text = desc.hlsl.text;
    std::unordered_map<std::string, const Parameter*> uniforms;
    for (const Parameter& p : desc.parameters)
        if (p.in_shader_source && p.type.Numeric() && p.type.base != Base_Type::Sampler)
            uniforms.emplace(p.name, &p);
    if (uniforms.empty()) return text;

    std::vector<Token> toks;
    Tokenize_Text(text, 0, &toks);
    const Out_Parameters functions = Out_Parameters_Of(desc);
    std::vector<const Parameter*> written;
    std::vector<Open_Bracket> open;
    for (std::size_t k = 0; k < toks.size(); ++k) {
        const Token& t = toks[k];
        if (t.kind == Token_Kind::Punct && t.text.size() == 1) {
            const char c = t.text[0];
            if (c == '(' || c == '[' || c == '{') {
                Open_Bracket b{c, {}, 0};
                if (c == '(' && k > 0 && toks[k - 1].kind == Token_Kind::Identifier)
                    b.callee = toks[k - 1].text;
                open.push_back(std::move(b));
            } else if ((c == ')' || c == ']' || c == '}') && !open.empty()) {
                open.pop_back();
            } else if (c == ',' && !open.empty()) {
                ++open.back().argument;
            }
            continue;
        }
        if (t.kind != Token_Kind::Identifier) continue;
        const auto it = uniforms.find(t.text);
        if (it == uniforms.end() || (k > 0 && Is_Punct_Token(toks[k - 1], "."))) continue;
        const std::size_t e = Postfix_End(toks, k, toks.size());
        // Assigned, incremented, or a whole argument of a call that writes it.
        const bool argument =
            !open.empty() && !open.back().callee.empty() && k > 0 &&
            (Is_Punct_Token(toks[k - 1], "(") || Is_Punct_Token(toks[k - 1], ",")) &&
            e < toks.size() && (Is_Punct_Token(toks[e], ")") || Is_Punct_Token(toks[e], ","));
        const bool writes =
            (k > 0 && (Is_Punct_Token(toks[k - 1], "++") || Is_Punct_Token(toks[k - 1], "--"))) ||
            (e < toks.size() && (Is_Assignment(toks[e]) || Is_Punct_Token(toks[e], "++") ||
                                 Is_Punct_Token(toks[e], "--"))) ||
            (argument && Writes_Argument(open.back().callee, open.back().argument, functions));
        if (!writes) continue;
        written.push_back(it->second);
        uniforms.erase(it);  // once is enough
    }
    if (written.empty()) return text;

    // Each parameter's declaration is a line of its own (Uniform_Declaration).
    std::unordered_map<std::string, const Parameter*> by_line;
    for (const Parameter* p : written) by_line.emplace(Uniform_Declaration(*p), p);
    std::string out;
    out.reserve(text.size() + written.size() * 64);
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        const auto it = by_line.find(line);
        if (it == by_line.end()) {
            out += line;
        } else {
            const Parameter& p = *it->second;
            Parameter renamed = p;
            renamed.name = Copied_Uniform_Name(p.name);
            out += Uniform_Declaration(renamed) + " static " + p.type.Element_Name() + " " +
                   p.name + p.type.Array_Suffix() + " = " + renamed.name + ";";
            by_line.erase(it);
        }
        if (end == text.size()) break;
        out += '\n';
        start = end + 1;
    }
    return out;
}

std::string Glslang_Gap_Helpers(const Effect_Desc& desc, const std::string& hlsl) {
    std::string s;
    // The intrinsic itself, unless the effect defines a noise() of its own.
    if (Calls_Noise(hlsl) && std::none_of(desc.functions.begin(), desc.functions.end(),
                                          [](const Function_Info& f) { return f.name == "noise"; }))
        s += Noise_Overloads();
    if (hlsl.find(Helper_Name("any")) != std::string::npos ||
        hlsl.find(Helper_Name("all")) != std::string::npos) {
        s = Any_All_Overloads();
        s += Matrix_Any_All_Overloads();
    }
    if (hlsl.find(Helper_Name("Split")) != std::string::npos) s += Split_Overloads();
    // An effect's own lit() is renamed along with its calls, and stays.
    if (hlsl.find(Helper_Name("lit")) != std::string::npos &&
        std::none_of(desc.functions.begin(), desc.functions.end(),
                     [](const Function_Info& f) { return f.name == "lit"; }))
        s += "float4 " + Helper_Name("lit") +
             "(float n_dot_l, float n_dot_h, float m) { return float4(1, max(n_dot_l, 0), "
             "n_dot_l < 0 || n_dot_h < 0 ? 0 : pow(n_dot_h, m), 1); }\n";
    bool texture = false;
    for (const char* f : {"Row", "Axis", "Project"})
        texture |= hlsl.find(Helper_Name(f)) != std::string::npos;
    if (texture) s += Texture_Coordinate_Helpers();
    return s;
}

}  // namespace qm_fx
