// The effect preprocessor: #define (object and function-like, # and ##),
// #undef, #if/#ifdef/#ifndef/#elif/#else/#endif, #include "file" or <file>
// searched in the including file's folder, the root file's folder and the
// working directory, #pragma (pack_matrix passed on, the rest ignored),
// #error. Macro expansion follows the usual hide-set rule, so a macro never
// expands inside its own expansion.
#include "platform/fx/front/preprocessor.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <unordered_map>
#include <unordered_set>

#include "platform/fx/limits.h"
#include "platform/win32.h"

namespace qm_fx {

// ---------------------------------------------------------------------------
// Diagnostics
// ---------------------------------------------------------------------------
void Diagnostics::Error(const std::string& file, std::uint32_t line, const std::string& text) {
    text_ += file + "(" + std::to_string(line) + "): error: " + text + "\n";
    failed_ = true;
}

void Diagnostics::Warning(const std::string& file, std::uint32_t line, const std::string& text) {
    text_ += file + "(" + std::to_string(line) + "): warning: " + text + "\n";
}

void Diagnostics::Error_No_Location(const std::string& text) {
    text_ += "error: " + text + "\n";
    failed_ = true;
}

// ---------------------------------------------------------------------------
// Files
// ---------------------------------------------------------------------------
namespace {

// Effect sources are small; anything beyond this is not an effect file.
constexpr long k_max_file_bytes = 16L << 20;

}  // namespace

bool Read_Effect_File(const std::string& path, std::string* contents) {
    FILE* f = Open_File(path.c_str(), "rb");
    if (!f) return false;
    bool ok = false;
    if (std::fseek(f, 0, SEEK_END) == 0) {
        const long size = std::ftell(f);
        if (size >= 0 && size <= k_max_file_bytes && std::fseek(f, 0, SEEK_SET) == 0) {
            contents->assign(static_cast<std::size_t>(size), '\0');
            ok = size == 0 ||
                 std::fread(contents->data(), 1, contents->size(), f) == contents->size();
        }
    }
    std::fclose(f);
    return ok;
}

// ---------------------------------------------------------------------------
// Preprocessor
// ---------------------------------------------------------------------------
namespace {

constexpr std::size_t k_max_output_tokens = 1u << 20;
constexpr std::size_t k_max_expansions = 1u << 16;
// Tokens gathered into macro arguments, counted again at every level of
// nested calls: F(F(F(...))) gathers the inner calls once per level.
constexpr std::size_t k_max_argument_tokens = 1u << 18;

struct PToken {
    Token tok;
    std::vector<std::uint32_t> hide;  // macros that must not expand this token (sorted)
};

bool Hidden(const PToken& t, std::uint32_t id) {
    return std::binary_search(t.hide.begin(), t.hide.end(), id);
}

void Add_Hide(std::vector<std::uint32_t>* hide, const std::vector<std::uint32_t>& more) {
    for (std::uint32_t id : more) {
        auto it = std::lower_bound(hide->begin(), hide->end(), id);
        if (it == hide->end() || *it != id) hide->insert(it, id);
    }
}

bool Is(const Token& t, const char* text) {
    return (t.kind == Token_Kind::Punct || t.kind == Token_Kind::Identifier) && t.text == text;
}

struct Macro {
    std::uint32_t id = 0;
    bool function_like = false;
    bool variadic = false;
    std::vector<std::string> params;
    std::vector<Token> body;
};

struct Conditional {
    bool parent_active;
    bool taking;
    bool taken;
    bool else_seen;
    std::uint32_t line;
};

class Preprocessor {
public:
    Preprocessor(File_Reader reader, Token_Stream* out, Diagnostics* diag)
        : reader_(std::move(reader)), out_(out), diag_(diag) {}

    void Predefine(const std::string& name, const std::string& value) {
        Macro m;
        m.id = Macro_Id(name);
        Tokenize_Text(value, 0, &m.body);
        for (Token& t : m.body) t.line_start = false;
        macros_[name] = std::move(m);
    }

    // `shown` names the file in messages about it (the #include spelling).
    bool Run(const std::string& path, const std::string* text, int depth, std::uint32_t from_file,
             std::uint32_t from_line, const std::string& shown = {}) {
        std::string contents;
        if (text) {
            contents = *text;
        } else if (!reader_(path, &contents)) {
            if (depth == 0)
                diag_->Error_No_Location("cannot open effect file '" + path + "'");
            else
                diag_->Error(out_->files[from_file], from_line,
                             "cannot open include file '" + (shown.empty() ? path : shown) + "'");
            return false;
        }
        if (out_->files.size() >= 0xFFFF) {
            diag_->Error(out_->files[from_file], from_line, "too many included files");
            return false;
        }
        source_bytes_ += contents.size();
        if (source_bytes_ > k_max_effect_source_bytes) {
            const std::string text = "effect source longer than " +
                                     std::to_string(k_max_effect_source_bytes) +
                                     " bytes with its includes";
            if (depth == 0)
                diag_->Error(path, 1, text);
            else
                diag_->Error(out_->files[from_file], from_line, text);
            return false;
        }
        const auto file = static_cast<std::uint16_t>(out_->files.size());
        out_->files.push_back(path);
        // Stray characters become Invalid tokens, reported only where they
        // are not skipped by #if.
        std::vector<Token> toks;
        Tokenize_Text(contents, file, &toks);
        return Process(toks, file, depth);
    }

private:
    const std::string& File_Name(std::uint16_t file) const { return out_->files[file]; }

    void Error_At(const Token& t, const std::string& text) {
        diag_->Error(File_Name(t.file), t.line, text);
    }

    std::uint32_t Macro_Id(const std::string& name) {
        auto it = ids_.find(name);
        if (it != ids_.end()) return it->second;
        const auto id = static_cast<std::uint32_t>(ids_.size() + 1);
        ids_.emplace(name, id);
        return id;
    }

    bool Active(const std::vector<Conditional>& conds) const {
        return conds.empty() || (conds.back().parent_active && conds.back().taking);
    }

    bool Process(const std::vector<Token>& toks, std::uint16_t file, int depth) {
        std::vector<Conditional> conds;
        std::size_t i = 0;
        const std::size_t n = toks.size();
        while (i < n && !diag_->Failed()) {
            if (toks[i].line_start && toks[i].kind == Token_Kind::Punct && toks[i].text == "#") {
                std::size_t j = i + 1;
                while (j < n && !toks[j].line_start) ++j;
                Directive(toks, i, j, &conds, file, depth);
                i = j;
                continue;
            }
            std::size_t j = i;
            while (j < n && !(toks[j].line_start && toks[j].kind == Token_Kind::Punct &&
                              toks[j].text == "#"))
                ++j;
            if (Active(conds)) Emit_Text(toks, i, j);
            i = j;
        }
        if (!diag_->Failed() && !conds.empty()) {
            diag_->Error(File_Name(file), conds.back().line, "unterminated #if");
            return false;
        }
        return !diag_->Failed();
    }

    void Emit_Text(const std::vector<Token>& toks, std::size_t begin, std::size_t end) {
        std::deque<PToken> in;
        for (std::size_t k = begin; k < end; ++k) {
            if (toks[k].kind == Token_Kind::Invalid) {
                Error_At(toks[k], toks[k].text[0] == '"' || toks[k].text[0] == '\''
                                      ? "unterminated literal"
                                      : "unexpected character '" + Printable(toks[k].text) + "'");
                return;
            }
            in.push_back(PToken{toks[k], {}});
        }
        std::vector<PToken> result;
        Expand(std::move(in), &result);
        for (PToken& p : result) {
            if (out_->tokens.size() >= k_max_output_tokens) {
                Error_At(p.tok, "effect source too large after macro expansion");
                return;
            }
            p.tok.line_start = false;
            out_->tokens.push_back(std::move(p.tok));
        }
    }

    static std::string Printable(const std::string& s) {
        char buf[8];
        if (!s.empty() && static_cast<unsigned char>(s[0]) >= 0x20 &&
            static_cast<unsigned char>(s[0]) < 0x7F)
            return s.substr(0, 1);
        std::snprintf(buf, sizeof buf, "\\x%02X", s.empty() ? 0 : static_cast<unsigned char>(s[0]));
        return buf;
    }

    // Macro expansion of a token list (rescanning included).
    void Expand(std::deque<PToken> in, std::vector<PToken>* out) {
        // Arguments of a macro call are expanded by a nested Expand, so
        // F(F(F(...))) recurses once per level.
        const Nesting_Level level(&expand_depth_);
        if (level.Too_Deep() && !in.empty()) {
            Error_At(in.front().tok, "macro arguments nested too deeply");
            return;
        }
        while (!in.empty()) {
            if (diag_->Failed()) return;
            if (out->size() + in.size() > k_max_output_tokens) {
                Error_At(in.front().tok, "effect source too large after macro expansion");
                return;
            }
            PToken t = std::move(in.front());
            in.pop_front();
            if (t.tok.kind != Token_Kind::Identifier) {
                out->push_back(std::move(t));
                continue;
            }
            if (t.tok.text == "__LINE__" || t.tok.text == "__FILE__") {
                t.tok.kind = t.tok.text == "__LINE__" ? Token_Kind::Number : Token_Kind::String;
                t.tok.text = t.tok.kind == Token_Kind::Number
                                 ? std::to_string(t.tok.line)
                                 : "\"" + Escape(File_Name(t.tok.file)) + "\"";
                out->push_back(std::move(t));
                continue;
            }
            auto it = macros_.find(t.tok.text);
            if (it == macros_.end() || Hidden(t, it->second.id)) {
                out->push_back(std::move(t));
                continue;
            }
            const Macro& m = it->second;
            if (++expansions_ > k_max_expansions) {
                Error_At(t.tok, "macro expansion too deep");
                return;
            }
            // A token's hide set holds every macro whose expansion produced
            // it: its size is how deeply expansions are nested. Bounding it
            // keeps a chain of macros each naming the one before from copying
            // ever longer sets into every token (quadratic time and memory).
            if (t.hide.size() >= static_cast<std::size_t>(k_max_nesting_depth)) {
                Error_At(t.tok,
                         "macros nested too deeply in the expansion of '" + t.tok.text + "'");
                return;
            }
            std::vector<std::uint32_t> hide = t.hide;
            Add_Hide(&hide, {m.id});
            if (!m.function_like) {
                std::vector<PToken> body = Substitute(m, {}, hide, t.tok);
                in.insert(in.begin(), std::make_move_iterator(body.begin()),
                          std::make_move_iterator(body.end()));
                continue;
            }
            if (in.empty() || !Is(in.front().tok, "(")) {
                out->push_back(std::move(t));
                continue;
            }
            in.pop_front();
            std::vector<std::vector<PToken>> args(1);
            int level = 1;
            while (true) {
                if (in.empty()) {
                    Error_At(t.tok, "unterminated call of macro '" + t.tok.text + "'");
                    return;
                }
                PToken a = std::move(in.front());
                in.pop_front();
                if (Is(a.tok, "(")) {
                    ++level;
                } else if (Is(a.tok, ")")) {
                    if (--level == 0) break;
                } else if (Is(a.tok, ",") && level == 1 &&
                           !(m.variadic && args.size() >= m.params.size())) {
                    args.emplace_back();
                    continue;
                }
                if (++argument_tokens_ > k_max_argument_tokens) {
                    Error_At(t.tok, "macro arguments too large");
                    return;
                }
                args.back().push_back(std::move(a));
            }
            if (m.params.empty() && args.size() == 1 && args[0].empty()) args.clear();
            if (m.variadic && args.size() + 1 == m.params.size()) args.emplace_back();
            if (args.size() != m.params.size()) {
                Error_At(t.tok, "macro '" + t.tok.text + "' takes " +
                                    std::to_string(m.params.size()) + " arguments, " +
                                    std::to_string(args.size()) + " given");
                return;
            }
            std::vector<PToken> body = Substitute(m, std::move(args), hide, t.tok);
            in.insert(in.begin(), std::make_move_iterator(body.begin()),
                      std::make_move_iterator(body.end()));
        }
    }

    static std::string Escape(const std::string& s) {
        std::string r;
        for (char c : s) {
            if (c == '"' || c == '\\') r += '\\';
            r += c;
        }
        return r;
    }

    int Param_Index(const Macro& m, const Token& t) const {
        if (t.kind != Token_Kind::Identifier) return -1;
        for (std::size_t k = 0; k < m.params.size(); ++k)
            if (m.params[k] == t.text) return static_cast<int>(k);
        return -1;
    }

    void Append_Pasted(std::vector<PToken>* result, PToken tok, bool* paste, const Token& at) {
        if (*paste && !result->empty()) {
            PToken& last = result->back();
            std::vector<Token> joined;
            if (Tokenize_Text(last.tok.text + tok.tok.text, last.tok.file, &joined) &&
                joined.size() == 1) {
                last.tok.text = joined[0].text;
                last.tok.kind = joined[0].kind;
            } else {
                Error_At(at, "pasting '" + last.tok.text + "' and '" + tok.tok.text +
                                 "' does not give a valid token");
            }
        } else {
            result->push_back(std::move(tok));
        }
        *paste = false;
    }

    // How often parameter `p` appears in the body of `m`.
    int Param_Uses(const Macro& m, int p) const {
        int uses = 0;
        for (const Token& b : m.body) uses += Param_Index(m, b) == p ? 1 : 0;
        return uses;
    }

    std::vector<PToken> Substitute(const Macro& m, std::vector<std::vector<PToken>> args,
                                   const std::vector<std::uint32_t>& hide, const Token& at) {
        std::vector<PToken> result;
        bool paste = false;
        const std::size_t n = m.body.size();
        for (std::size_t k = 0; k < n; ++k) {
            const Token& b = m.body[k];
            if (m.function_like && Is(b, "#") && k + 1 < n && Param_Index(m, m.body[k + 1]) >= 0) {
                const auto& arg = args[static_cast<std::size_t>(Param_Index(m, m.body[k + 1]))];
                std::string s;
                for (std::size_t a = 0; a < arg.size(); ++a) {
                    if (a > 0 && arg[a].tok.space_before) s += ' ';
                    s += arg[a].tok.kind == Token_Kind::String ||
                                 arg[a].tok.kind == Token_Kind::Character
                             ? Escape(arg[a].tok.text)
                             : arg[a].tok.text;
                }
                PToken st{b, {}};
                st.tok.kind = Token_Kind::String;
                st.tok.text = "\"" + s + "\"";
                Append_Pasted(&result, std::move(st), &paste, at);
                ++k;
                continue;
            }
            if (Is(b, "##") && k > 0 && k + 1 < n) {
                paste = true;
                continue;
            }
            const int p = Param_Index(m, b);
            if (p >= 0) {
                auto& arg = args[static_cast<std::size_t>(p)];
                const bool raw =
                    (k > 0 && Is(m.body[k - 1], "##")) || (k + 1 < n && Is(m.body[k + 1], "##"));
                std::vector<PToken> expanded;
                if (raw) {
                    expanded = arg;
                } else if (Param_Uses(m, p) == 1) {
                    // The only use: hand the tokens over, so that nested calls
                    // F(F(F(...))) do not hold a copy per level.
                    std::deque<PToken> in(std::make_move_iterator(arg.begin()),
                                          std::make_move_iterator(arg.end()));
                    std::vector<PToken>().swap(arg);
                    Expand(std::move(in), &expanded);
                } else {
                    Expand(std::deque<PToken>(arg.begin(), arg.end()), &expanded);
                }
                bool first = true;
                for (PToken& e : expanded) {
                    if (first) e.tok.space_before = b.space_before;
                    first = false;
                    Append_Pasted(&result, std::move(e), &paste, at);
                }
                if (expanded.empty()) paste = false;
                continue;
            }
            Append_Pasted(&result, PToken{b, {}}, &paste, at);
        }
        for (PToken& r : result) {
            Add_Hide(&r.hide, hide);
            r.tok.file = at.file;
            r.tok.line = at.line;
        }
        if (!result.empty()) result.front().tok.space_before = at.space_before;
        return result;
    }

    // --- directives --------------------------------------------------------
    void Directive(const std::vector<Token>& toks, std::size_t hash, std::size_t end,
                   std::vector<Conditional>* conds, std::uint16_t file, int depth) {
        const Token& at = toks[hash];
        if (hash + 1 >= end) return;  // the null directive
        const Token& name_tok = toks[hash + 1];
        const std::string& name = name_tok.text;
        const std::size_t args = hash + 2;
        const bool active = Active(*conds);

        if (name == "if" || name == "ifdef" || name == "ifndef") {
            bool value = false;
            if (active) {
                if (name == "if") {
                    value = Evaluate_If(toks, args, end, at);
                } else {
                    if (args >= end || toks[args].kind != Token_Kind::Identifier) {
                        Error_At(at, "#" + name + " needs a macro name");
                        return;
                    }
                    value = (macros_.count(toks[args].text) != 0) == (name == "ifdef");
                }
            }
            conds->push_back({active, value, value, false, at.line});
            return;
        }
        if (name == "elif") {
            if (conds->empty() || conds->back().else_seen) {
                Error_At(at, "#elif without #if");
                return;
            }
            Conditional& c = conds->back();
            if (c.taken || !c.parent_active) {
                c.taking = false;
            } else {
                c.taking = Evaluate_If(toks, args, end, at);
                c.taken = c.taking;
            }
            return;
        }
        if (name == "else") {
            if (conds->empty() || conds->back().else_seen) {
                Error_At(at, "#else without #if");
                return;
            }
            Conditional& c = conds->back();
            c.taking = !c.taken;
            c.taken = true;
            c.else_seen = true;
            return;
        }
        if (name == "endif") {
            if (conds->empty()) {
                Error_At(at, "#endif without #if");
                return;
            }
            conds->pop_back();
            return;
        }
        if (!active) return;

        for (std::size_t k = hash; k < end; ++k)
            // #include <dir\\file.fxh> holds a file name, not tokens: Include()
            // checks its own form.
            if (toks[k].kind == Token_Kind::Invalid && name != "error" && name != "pragma" &&
                name != "warning" && name != "include") {
                Error_At(toks[k], "unexpected character in directive");
                return;
            }

        if (name == "define") {
            Define(toks, args, end, at);
        } else if (name == "undef") {
            if (args >= end || toks[args].kind != Token_Kind::Identifier) {
                Error_At(at, "#undef needs a macro name");
                return;
            }
            macros_.erase(toks[args].text);
        } else if (name == "include") {
            Include(toks, args, end, at, file, depth);
        } else if (name == "pragma") {
            Pragma(toks, args, end, at, file);
        } else if (name == "error" || name == "warning") {
            std::string text;
            for (std::size_t k = args; k < end; ++k) {
                if (k > args && toks[k].space_before) text += ' ';
                text += toks[k].text;
            }
            if (name == "error")
                Error_At(at, "#error " + text);
            else
                diag_->Warning(File_Name(at.file), at.line, "#warning " + text);
        } else if (name == "line") {
            // Accepted and ignored: messages keep the physical line.
        } else {
            Error_At(name_tok, "unknown directive '#" + name + "'");
        }
    }

    void Define(const std::vector<Token>& toks, std::size_t k, std::size_t end, const Token& at) {
        if (k >= end || toks[k].kind != Token_Kind::Identifier) {
            Error_At(at, "#define needs a macro name");
            return;
        }
        const std::string& name = toks[k].text;
        if (name == "defined") {
            Error_At(at, "'defined' cannot be defined as a macro");
            return;
        }
        Macro m;
        m.id = Macro_Id(name);
        ++k;
        if (k < end && Is(toks[k], "(") && !toks[k].space_before) {
            m.function_like = true;
            ++k;
            bool expect_name = true;
            while (true) {
                if (k >= end) {
                    Error_At(at, "unterminated parameter list of macro '" + name + "'");
                    return;
                }
                const Token& p = toks[k++];
                if (Is(p, ")") && (!expect_name || m.params.empty())) break;
                if (expect_name && p.kind == Token_Kind::Identifier) {
                    if (std::find(m.params.begin(), m.params.end(), p.text) != m.params.end()) {
                        Error_At(at,
                                 "duplicate parameter '" + p.text + "' of macro '" + name + "'");
                        return;
                    }
                    m.params.push_back(p.text);
                    expect_name = false;
                } else if (expect_name && Is(p, "...")) {
                    m.params.push_back("__VA_ARGS__");
                    m.variadic = true;
                    expect_name = false;
                    if (k >= end || !Is(toks[k], ")")) {
                        Error_At(at, "'...' must end the parameters of macro '" + name + "'");
                        return;
                    }
                } else if (!expect_name && Is(p, ",")) {
                    expect_name = true;
                } else {
                    Error_At(at, "invalid parameter list of macro '" + name + "'");
                    return;
                }
            }
        }
        m.body.assign(toks.begin() + static_cast<std::ptrdiff_t>(k),
                      toks.begin() + static_cast<std::ptrdiff_t>(end));
        if (!m.body.empty() && (Is(m.body.front(), "##") || Is(m.body.back(), "##"))) {
            Error_At(at, "'##' cannot start or end a macro body");
            return;
        }
        for (Token& t : m.body) t.line_start = false;
        macros_[name] = std::move(m);
    }

    void Include(const std::vector<Token>& toks, std::size_t k, std::size_t end, const Token& at,
                 std::uint16_t file, int depth) {
        std::string name;
        std::vector<Token> line(toks.begin() + static_cast<std::ptrdiff_t>(k),
                                toks.begin() + static_cast<std::ptrdiff_t>(end));
        if (!line.empty() && line[0].kind != Token_Kind::String && !Is(line[0], "<")) {
            std::deque<PToken> in;
            for (const Token& t : line) in.push_back(PToken{t, {}});
            std::vector<PToken> expanded;
            Expand(std::move(in), &expanded);
            line.clear();
            for (PToken& p : expanded) line.push_back(std::move(p.tok));
        }
        if (line.size() == 1 && line[0].kind == Token_Kind::String) {
            name = line[0].text.substr(1, line[0].text.size() - 2);
        } else if (line.size() >= 2 && Is(line[0], "<") && Is(line.back(), ">")) {
            // The text between the brackets is a file name, backslashes and
            // spaces included.
            for (std::size_t a = 1; a + 1 < line.size(); ++a) {
                if (a > 1 && line[a].space_before) name += ' ';
                name += line[a].text;
            }
        } else {
            Error_At(at, "#include expects \"file\" or <file>");
            return;
        }
        if (name.empty()) {
            Error_At(at, "#include names no file");
            return;
        }
        if (depth + 1 > k_max_nesting_depth) {
            Error_At(at, "#include nested too deeply");
            return;
        }
        const bool absolute =
            name[0] == '/' || name[0] == '\\' || (name.size() > 1 && name[1] == ':');
        // Search order: the including file's folder, the root effect file's
        // folder, the working directory (both forms of #include alike).
        std::vector<std::string> candidates;
        if (!absolute) {
            for (const std::string& from : {File_Name(file), File_Name(0)}) {
                const std::size_t slash = from.find_last_of("/\\");
                if (slash != std::string::npos)
                    candidates.push_back(from.substr(0, slash + 1) + name);
            }
        }
        candidates.push_back(name);
        for (const std::string& path : candidates) {
            std::string contents;
            if (!reader_(path, &contents)) continue;
            if (once_.count(Canonical(path))) return;
            Run(path, &contents, depth + 1, file, at.line, name);
            return;
        }
        Error_At(at, "cannot open include file '" + name + "'");
    }

    static std::string Canonical(const std::string& path) {
        char resolved[4096];
        if (Platform_Resolve_Path(path.c_str(), resolved, sizeof resolved)) return resolved;
        return path;
    }

    void Pragma(const std::vector<Token>& toks, std::size_t k, std::size_t end, const Token& at,
                std::uint16_t file) {
        if (k >= end) return;
        if (toks[k].text == "once") {
            once_.insert(Canonical(File_Name(file)));
            return;
        }
        if (toks[k].text != "pack_matrix") return;
        Token p = toks[k];
        p.kind = Token_Kind::Pragma;
        p.text.clear();
        for (std::size_t a = k; a < end; ++a) p.text += toks[a].text;
        p.line = at.line;
        p.file = at.file;
        out_->tokens.push_back(std::move(p));
    }

    // --- #if expressions -----------------------------------------------------
    bool Evaluate_If(const std::vector<Token>& toks, std::size_t k, std::size_t end,
                     const Token& at) {
        std::deque<PToken> in;
        for (std::size_t a = k; a < end; ++a) {
            if (toks[a].kind == Token_Kind::Identifier && toks[a].text == "defined") {
                std::size_t b = a + 1;
                const bool paren = b < end && Is(toks[b], "(");
                if (paren) ++b;
                if (b >= end || toks[b].kind != Token_Kind::Identifier ||
                    (paren && (b + 1 >= end || !Is(toks[b + 1], ")")))) {
                    Error_At(at, "invalid use of 'defined'");
                    return false;
                }
                Token one = toks[a];
                one.kind = Token_Kind::Number;
                one.text = macros_.count(toks[b].text) ? "1" : "0";
                in.push_back(PToken{one, {}});
                a = paren ? b + 1 : b;
                continue;
            }
            in.push_back(PToken{toks[a], {}});
        }
        std::vector<PToken> expanded;
        Expand(std::move(in), &expanded);
        if (diag_->Failed()) return false;
        if (expanded.empty()) {
            Error_At(at, "#if with no expression");
            return false;
        }
        expr_.clear();
        for (PToken& p : expanded) expr_.push_back(std::move(p.tok));
        pos_ = 0;
        expr_error_.clear();
        const std::int64_t v = Parse_Conditional();
        if (expr_error_.empty() && pos_ != expr_.size()) expr_error_ = "invalid #if expression";
        if (!expr_error_.empty()) {
            Error_At(at, expr_error_);
            return false;
        }
        return v != 0;
    }

    const Token* Peek() const { return pos_ < expr_.size() ? &expr_[pos_] : nullptr; }
    bool Accept(const char* p) {
        if (pos_ < expr_.size() && expr_[pos_].kind == Token_Kind::Punct && expr_[pos_].text == p) {
            ++pos_;
            return true;
        }
        return false;
    }
    void Fail(const std::string& text) {
        if (expr_error_.empty()) expr_error_ = text;
        pos_ = expr_.size();
    }

    // Wrapping arithmetic on 64-bit values (no signed overflow).
    static std::int64_t W(std::uint64_t v) { return static_cast<std::int64_t>(v); }
    static std::uint64_t U(std::int64_t v) { return static_cast<std::uint64_t>(v); }

    std::int64_t Parse_Conditional() {
        const Nesting_Level level(&if_depth_);
        if (level.Too_Deep()) {
            Fail("#if expression too deeply nested");
            return 0;
        }
        const std::int64_t c = Parse_Binary(0);
        if (Accept("?")) {
            const std::int64_t a = Parse_Conditional();
            if (!Accept(":")) Fail("missing ':' in #if expression");
            const std::int64_t b = Parse_Conditional();
            return c ? a : b;
        }
        return c;
    }

    static int Precedence(const std::string& op) {
        static const std::pair<const char*, int> table[] = {
            {"||", 1}, {"&&", 2}, {"|", 3}, {"^", 4},  {"&", 5},  {"==", 6},
            {"!=", 6}, {"<", 7},  {">", 7}, {"<=", 7}, {">=", 7}, {"<<", 8},
            {">>", 8}, {"+", 9},  {"-", 9}, {"*", 10}, {"/", 10}, {"%", 10}};
        for (const auto& e : table)
            if (op == e.first) return e.second;
        return -1;
    }

    std::int64_t Parse_Binary(int min_prec) {
        std::int64_t lhs = Parse_Unary();
        while (true) {
            const Token* t = Peek();
            if (!t || t->kind != Token_Kind::Punct) return lhs;
            const int prec = Precedence(t->text);
            if (prec < 0 || prec < min_prec) return lhs;
            const std::string op = t->text;
            ++pos_;
            const std::int64_t rhs = Parse_Binary(prec + 1);
            lhs = Apply(op, lhs, rhs);
        }
    }

    std::int64_t Apply(const std::string& op, std::int64_t a, std::int64_t b) {
        if (op == "||") return (a || b) ? 1 : 0;
        if (op == "&&") return (a && b) ? 1 : 0;
        if (op == "|") return a | b;
        if (op == "^") return a ^ b;
        if (op == "&") return a & b;
        if (op == "==") return a == b;
        if (op == "!=") return a != b;
        if (op == "<") return a < b;
        if (op == ">") return a > b;
        if (op == "<=") return a <= b;
        if (op == ">=") return a >= b;
        if (op == "<<") return W(U(a) << (U(b) & 63));
        if (op == ">>") return a >> (U(b) & 63);
        if (op == "+") return W(U(a) + U(b));
        if (op == "-") return W(U(a) - U(b));
        if (op == "*") return W(U(a) * U(b));
        if (b == 0) {
            Fail("division by zero in #if expression");
            return 0;
        }
        if (a == INT64_MIN && b == -1) return op == "/" ? a : 0;
        return op == "/" ? a / b : a % b;
    }

    std::int64_t Parse_Unary() {
        for (const char* op : {"-", "+", "!", "~"}) {
            if (!Accept(op)) continue;
            const Nesting_Level level(&if_depth_);
            if (level.Too_Deep()) {
                Fail("#if expression too deeply nested");
                return 0;
            }
            const std::int64_t v = Parse_Unary();
            switch (op[0]) {
            case '-': return W(0 - U(v));
            case '+': return v;
            case '!': return v == 0 ? 1 : 0;
            default: return ~v;
            }
        }
        if (Accept("(")) {
            const std::int64_t v = Parse_Conditional();
            if (!Accept(")")) Fail("missing ')' in #if expression");
            return v;
        }
        const Token* t = Peek();
        if (!t) {
            Fail("incomplete #if expression");
            return 0;
        }
        ++pos_;
        if (t->kind == Token_Kind::Identifier) return t->text == "true" ? 1 : 0;
        if (t->kind == Token_Kind::Number) return Parse_Int(t->text);
        Fail("unexpected '" + t->text + "' in #if expression");
        return 0;
    }

    std::int64_t Parse_Int(const std::string& text) {
        std::size_t k = 0;
        int base = 10;
        if (text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
            base = 16;
            k = 2;
        } else if (text.size() > 1 && text[0] == '0') {
            base = 8;
            k = 1;
        }
        std::uint64_t v = 0;
        bool digits = base == 8;
        for (; k < text.size(); ++k) {
            const char c = text[k];
            int d;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (base == 16 && c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (base == 16 && c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            else
                break;
            if (d >= base) break;
            v = v * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
            digits = true;
        }
        for (; k < text.size(); ++k)
            if (std::strchr("uUlL", text[k]) == nullptr) {
                Fail("invalid number '" + text + "' in #if expression");
                return 0;
            }
        if (!digits) Fail("invalid number '" + text + "' in #if expression");
        return W(v);
    }

    File_Reader reader_;
    Token_Stream* out_;
    Diagnostics* diag_;
    std::unordered_map<std::string, Macro> macros_;
    std::unordered_map<std::string, std::uint32_t> ids_;
    std::unordered_set<std::string> once_;
    std::size_t expansions_ = 0;
    std::size_t argument_tokens_ = 0;
    std::size_t source_bytes_ = 0;  // read so far, includes counted each time
    int expand_depth_ = 0;

    // The #if expression being evaluated.
    std::vector<Token> expr_;
    std::size_t pos_ = 0;
    std::string expr_error_;
    int if_depth_ = 0;
};

bool Run_Preprocessor(const std::string& path, const std::string* text,
                      const Macro_Definitions& defines, const File_Reader& reader,
                      Token_Stream* out, Diagnostics* diagnostics) {
    out->tokens.clear();
    out->files.clear();
    Preprocessor pp(reader ? reader : File_Reader(Read_Effect_File), out, diagnostics);
    for (const auto& d : defines) {
        std::vector<Token> check;
        if (!Tokenize_Text(d.first, 0, &check) || check.size() != 1 ||
            check[0].kind != Token_Kind::Identifier) {
            diagnostics->Error_No_Location("invalid macro name '" + d.first + "'");
            return false;
        }
        pp.Predefine(d.first, d.second);
    }
    return pp.Run(path, text, 0, 0, 0) && !diagnostics->Failed();
}

}  // namespace

bool Preprocess(const std::string& path, const Macro_Definitions& defines,
                const File_Reader& reader, Token_Stream* out, Diagnostics* diagnostics) {
    return Run_Preprocessor(path, nullptr, defines, reader, out, diagnostics);
}

bool Preprocess_Text(const std::string& path, const std::string& text,
                     const Macro_Definitions& defines, const File_Reader& reader, Token_Stream* out,
                     Diagnostics* diagnostics) {
    return Run_Preprocessor(path, &text, defines, reader, out, diagnostics);
}

}  // namespace qm_fx
