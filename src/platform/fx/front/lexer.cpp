// The lexer of effect files: C-style tokens (identifiers, numbers, string
// and character literals, punctuators), each with the line it starts on and
// whether it begins a line or follows white space, which the preprocessor's
// directives and stringizing need. Comments and line continuations vanish here.
#include <algorithm>
#include <cstring>

#include "platform/fx/front/preprocessor.h"

namespace qm_fx {

namespace {

bool Is_Ident_Start(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool Is_Ident_Char(char c) {
    return Is_Ident_Start(c) || (c >= '0' && c <= '9');
}
bool Is_Digit(char c) {
    return c >= '0' && c <= '9';
}

const char* const k_puncts3[] = {">>=", "<<=", "..."};
const char* const k_puncts2[] = {"##", "::", "->", "++", "--", "<<", ">>", "<=", ">=", "==", "!=",
                                 "&&", "||", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^="};
const char k_puncts1[] = "{}[]();:,.?~!+-*/%<>=&|^#";

class Lexer {
public:
    Lexer(const std::string& text, std::uint16_t file) : s_(text), file_(file) {}

    // Appends every token of the text.
    void Run(std::vector<Token>* out) {
        // A UTF-8 byte-order mark, as editors of the time saved files.
        if (s_.compare(0, 3, "\xEF\xBB\xBF") == 0) i_ = 3;
        while (true) {
            Skip_Space();
            if (i_ >= s_.size()) break;
            Token t;
            t.file = file_;
            t.line = line_;
            t.line_start = line_start_;
            t.space_before = space_;
            line_start_ = false;
            space_ = false;
            Lex_One(&t);
            out->push_back(std::move(t));
        }
    }

private:
    char At(std::size_t k) const { return k < s_.size() ? s_[k] : '\0'; }

    // Skips white space, comments and line continuations.
    void Skip_Space() {
        while (i_ < s_.size()) {
            const char c = s_[i_];
            if (c == '\n') {
                ++line_;
                ++i_;
                line_start_ = true;
                space_ = true;
            } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
                ++i_;
                space_ = true;
            } else if (c == '\\' &&
                       (At(i_ + 1) == '\n' || (At(i_ + 1) == '\r' && At(i_ + 2) == '\n'))) {
                i_ += At(i_ + 1) == '\n' ? 2 : 3;
                ++line_;
                space_ = true;
            } else if (c == '/' && At(i_ + 1) == '/') {
                while (i_ < s_.size() && s_[i_] != '\n') ++i_;
                space_ = true;
            } else if (c == '/' && At(i_ + 1) == '*') {
                i_ += 2;
                while (i_ < s_.size() && !(s_[i_] == '*' && At(i_ + 1) == '/')) {
                    if (s_[i_] == '\n') ++line_;
                    ++i_;
                }
                i_ = std::min(i_ + 2, s_.size());
                space_ = true;
            } else {
                break;
            }
        }
    }

    void Lex_One(Token* t) {
        const char c = s_[i_];
        const std::size_t start = i_;
        if (Is_Ident_Start(c)) {
            while (i_ < s_.size() && Is_Ident_Char(s_[i_])) ++i_;
            t->kind = Token_Kind::Identifier;
        } else if (Is_Digit(c) || (c == '.' && Is_Digit(At(i_ + 1)))) {
            ++i_;
            while (i_ < s_.size()) {
                const char d = s_[i_];
                if ((d == '+' || d == '-') && (s_[i_ - 1] == 'e' || s_[i_ - 1] == 'E') &&
                    !Is_Hex_Prefixed(start)) {
                    ++i_;
                } else if (Is_Ident_Char(d) || d == '.') {
                    ++i_;
                } else {
                    break;
                }
            }
            t->kind = Token_Kind::Number;
        } else if (c == '"' || c == '\'') {
            ++i_;
            bool closed = false;
            while (i_ < s_.size() && s_[i_] != '\n') {
                if (s_[i_] == '\\' && i_ + 1 < s_.size() && s_[i_ + 1] != '\n') {
                    i_ += 2;
                    continue;
                }
                if (s_[i_] == c) {
                    ++i_;
                    closed = true;
                    break;
                }
                ++i_;
            }
            t->kind = closed ? (c == '"' ? Token_Kind::String : Token_Kind::Character)
                             : Token_Kind::Invalid;
        } else {
            t->kind = Token_Kind::Punct;
            for (const char* p : k_puncts3)
                if (s_.compare(i_, 3, p) == 0) {
                    i_ += 3;
                    t->text = p;
                    return;
                }
            for (const char* p : k_puncts2)
                if (s_.compare(i_, 2, p) == 0) {
                    i_ += 2;
                    t->text = p;
                    return;
                }
            ++i_;
            if (!std::strchr(k_puncts1, c) || c == '\0') t->kind = Token_Kind::Invalid;
        }
        t->text.assign(s_, start, i_ - start);
    }

    bool Is_Hex_Prefixed(std::size_t start) const {
        return s_[start] == '0' && (At(start + 1) == 'x' || At(start + 1) == 'X');
    }

    const std::string& s_;
    std::uint16_t file_;
    std::size_t i_ = 0;
    std::uint32_t line_ = 1;
    bool line_start_ = true;
    bool space_ = false;
};

}  // namespace

bool Tokenize_Text(const std::string& text, std::uint16_t file, std::vector<Token>* out) {
    const std::size_t first = out->size();
    Lexer(text, file).Run(out);
    for (std::size_t k = first; k < out->size(); ++k)
        if ((*out)[k].kind == Token_Kind::Invalid) return false;
    return true;
}

}  // namespace qm_fx
