// Private to the effect parser: the parser object shared by the files that
// hold its parts (parser.cpp: top level and functions; declarations.cpp:
// types, declarators and initializers; techniques.cpp: annotations,
// sampler_state, techniques, passes and shader values; expressions.cpp:
// constant expressions), with the
// token cursor and the error helpers every part uses.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/fx/limits.h"
#include "platform/fx/front/parser.h"

namespace qm_fx {

// The value of expression node `index` (constant nodes and parameters read
// from `storage`, which may be null when the expression is constant).
std::vector<double> Eval_Node(const Expr& e, int index, const Effect_Desc& desc,
                              const std::uint32_t* storage);

// The base type of every storage word of a type, in storage order.
void Flatten_Bases(const Type_Info& t, std::vector<Base_Type>* out);

// The first token in [begin, end) where the expressions and statements of
// shader code nest deeper than k_max_nesting_depth, or `end`.
std::size_t Find_Too_Deep_Code(const std::vector<Token>& toks, std::size_t begin, std::size_t end);

inline std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// The text of a string literal token without its quotes, escapes resolved.
inline std::string Unquote(const std::string& s) {
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

// Copies tokens to the HLSL text, starting a new line whenever the source line
// changes so that every output line has one origin.
class Hlsl_Writer {
public:
    explicit Hlsl_Writer(Hlsl_Source* out) : out_(out) {}

    void Token_Text(const std::string& text, std::uint16_t file, std::uint32_t line) {
        if (!open_ || file != file_ || line != line_) {
            New_Line(file, line);
        } else {
            out_->text += ' ';
        }
        out_->text += text;
    }

    void Line(const std::string& text, std::uint16_t file, std::uint32_t line) {
        New_Line(file, line);
        out_->text += text;
        open_ = false;
    }

private:
    void New_Line(std::uint16_t file, std::uint32_t line) {
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

struct Modifiers {
    bool is_static = false;
    bool is_const = false;
    bool is_uniform = false;
    bool row_major = false;
    bool column_major = false;
    bool is_in = false;
    bool is_out = false;
};

class Effect_Parser {
public:
    Effect_Parser(const Token_Stream& in, Effect_Desc* desc, Diagnostics* diag)
        : toks_(in.tokens), desc_(desc), diag_(diag), hlsl_(&desc->hlsl) {
        desc_->files = in.files;
    }

    bool Run();

private:
    void Normalize_Type_Keywords();
    // --- token access ------------------------------------------------------
    bool At_End() const { return pos_ >= toks_.size(); }
    const Token& Cur() const { return pos_ < toks_.size() ? toks_[pos_] : eof_; }
    const Token& Peek(std::size_t k) const {
        return pos_ + k < toks_.size() ? toks_[pos_ + k] : eof_;
    }
    bool Is_Punct(const char* p, std::size_t k = 0) const {
        const Token& t = Peek(k);
        return t.kind == Token_Kind::Punct && t.text == p;
    }
    bool Is_Ident(const char* s, std::size_t k = 0) const {
        const Token& t = Peek(k);
        return t.kind == Token_Kind::Identifier && t.text == s;
    }
    // The same at an absolute position.
    bool Is_Punct_At(std::size_t at, const char* p) const {
        return at < toks_.size() && toks_[at].kind == Token_Kind::Punct && toks_[at].text == p;
    }
    bool Is_Ident_At(std::size_t at, const char* s) const {
        return at < toks_.size() && toks_[at].kind == Token_Kind::Identifier && toks_[at].text == s;
    }
    bool Is_Ident_No_Case(const char* s, std::size_t k = 0) const {
        const Token& t = Peek(k);
        return t.kind == Token_Kind::Identifier && Equal_No_Case(t.text, s);
    }
    bool Accept(const char* p) {
        if (Is_Punct(p)) {
            ++pos_;
            return true;
        }
        return false;
    }

    void Error(const Token& at, const std::string& text) {
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
    void Error_Here(const std::string& text) {
        if (At_End())
            Error(eof_, text + " at end of file");
        else
            Error(Cur(), text + " near '" + Cur().text + "'");
    }

    bool Expect(const char* p) {
        if (Accept(p)) return true;
        Error_Here(std::string("expected '") + p + "'");
        return false;
    }

    // '>' that closes annotations or <name> may be glued to what follows.
    bool Expect_Close_Angle() {
        if (Accept(">")) return true;
        if (!At_End() && Cur().kind == Token_Kind::Punct && Cur().text.size() > 1 &&
            Cur().text[0] == '>') {
            toks_[pos_].text.erase(0, 1);
            return true;
        }
        Error_Here("expected '>'");
        return false;
    }

    std::string Expect_Identifier(const char* what) {
        if (Cur().kind == Token_Kind::Identifier) return toks_[pos_++].text;
        Error_Here(std::string("expected ") + what);
        return {};
    }

    // Everything the shader compiler gets goes through these
    // (parser.cpp), which keep its nesting and size within the limits
    // and rewrite what glslang cannot take as written.
    void Emit(std::size_t begin, std::size_t end);
    void Emit_Token(const Token& t);
    void Emit_Line(const std::string& text, const Token& at);
    void Shader_Too_Large(const Token& at);

    // --- top level and functions (parser.cpp) --------------------------------
    void Top_Level();
    void Parse_Function(std::size_t start, const Type_Info& return_type);

    // --- types and declarations (declarations.cpp) --------------------------
    static bool Scalar_Base(const std::string& s, Base_Type* base);
    // A built-in type name, without templates.
    bool Builtin_Type(const std::string& s, Type_Info* t) const;
    // Parses a type at the cursor. False (no error) when no type starts here.
    bool Parse_Type(Type_Info* t, bool matrix_row_major, bool matrix_column_major);
    Modifiers Parse_Modifiers();
    // [N] suffixes; returns the element count (0 when none).
    std::uint32_t Parse_Array_Suffix();
    // `local`: a definition inside a function body, which goes to the
    // shader compiler with the body.
    void Parse_Struct(bool local);
    const Type_Info* Find_Struct(const std::string& name) const;
    void Parse_Typedef();
    void Parse_Declaration();
    // name [N] [: semantic] [<annotations>] [= value] {, ...} ;
    void Parse_Declarators(std::size_t start, const Modifiers& m, const Type_Info& type);
    void Parse_Declarator(const Modifiers& m, const Type_Info& base_type,
                          std::vector<std::pair<std::size_t, std::size_t>>* skipped);
    // `equals` is the position of the '='; an initializer that must run in
    // the entry points is added to `skipped`.
    void Parse_Static_Initializer(const std::string& name, const Type_Info& type,
                                  std::size_t equals,
                                  std::vector<std::pair<std::size_t, std::size_t>>* skipped);
    void Parse_Parameter_Initializer(int index);
    // ": SEMANTIC", ": register(...)" clauses at the cursor. A register
    // clause is taken out of the tokens (the effect binds its own); the
    // sampler register goes to `sampler_register` when not null.
    void Parse_Semantics(std::string* semantic, int* sampler_register);
    std::uint32_t Size_Unsized_Array(const Token& name_tok, const Type_Info& element);

    // --- annotations, sampler_state, techniques (techniques.cpp) -------------
    void Parse_Annotations(std::vector<Annotation>* out);
    std::string Join(std::size_t begin, std::size_t end) const;
    void Parse_Sampler_State(int index);
    // NULL, <name>, (name) or name of a parameter of the given base type.
    // Returns the parameter index, -1 for NULL.
    int Parse_Object_Ref(Base_Type base, const char* what);
    void Parse_Technique();
    void Parse_Pass_State(Pass* pass);
    void Parse_State_Value(Expr* value, const State_Def* def);
    void Parse_Shader_Value(State_Assignment* sa);
    // asm { ... } (the word "asm" is the current token).
    void Parse_Asm_Block(State_Assignment* sa, bool vertex);
    void Nest_Flat_Initializer(const Type_Info& type, std::size_t begin, std::size_t end,
                               std::vector<std::pair<std::size_t, std::size_t>>* skipped);
    void Parse_Shader_Ref(State_Assignment* sa, bool vertex);
    void Check_Shader_Entries();

    // --- expressions (expressions.cpp) ----------------------------------------
    // `state` resolves value names of that state; `lists` allows { a, b } lists.
    int Parse_Expression(Expr* e, const State_Def* state, bool lists);
    std::int64_t Parse_Constant_Int();
    int Add(Expr* e, Expr_Node n);
    int Parse_Ternary(Expr* e, const State_Def* state, bool lists);
    static int Binary_Precedence(const Token& t);
    int Parse_Binary(Expr* e, const State_Def* state, bool lists, int min_prec);
    int Parse_Unary(Expr* e, const State_Def* state, bool lists);
    int Parse_Postfix(Expr* e, const State_Def* state, bool lists);
    int Constant(Expr* e, std::vector<double> v);
    // Arguments of a call or constructor, up to ')'.
    std::vector<int> Parse_Call_Args(Expr* e, const State_Def* state, bool lists);
    int Parse_Primary(Expr* e, const State_Def* state, bool lists);
    static bool Parse_Number(std::string s, double* v);
    // A call of a function of the effect in a state value (a preshader):
    // its body, when made of returns, ifs and blocks, becomes the
    // expression, with `args` for its parameters. -1 when it cannot.
    int Inline_Function_Call(Expr* e, const std::string& name, const std::vector<int>& args);
    int Inline_Statements(Expr* e, bool* partial);
    int Inline_Statement(Expr* e, bool* partial);

    std::vector<Token> toks_;
    std::size_t pos_ = 0;
    Effect_Desc* desc_;
    Diagnostics* diag_;
    Hlsl_Writer hlsl_;
    Token eof_;
    bool row_major_ = false;
    bool soft_ = false;  // errors only mark soft_failed_ (trial parses)
    bool soft_failed_ = false;
    int depth_ = 0;       // recursion of the expression parser
    int code_depth_ = 0;  // open ( [ { in the shader code emitted so far
    int in_angles_ = 0;
    std::uint32_t storage_words_ = 0;
    std::vector<std::uint32_t> last_dims_;  // of the last Parse_Array_Suffix
    bool unsized_array_ = false;            // it read "[]"
    struct Function_Body {
        std::size_t begin;  // the '{'
        std::vector<std::string> params;
    };
    // Bodies of the functions defined so far, by "name/parameter count".
    std::unordered_map<std::string, Function_Body> function_bodies_;
    // The arguments of the function being inlined, by parameter name.
    std::vector<std::unordered_map<std::string, int>> inlined_args_;
    // Tokens that go to the compiler in place of a skipped range of a static
    // declaration, by the range's first token.
    std::unordered_map<std::size_t, std::vector<Token>> replacements_;
    std::unordered_map<std::string, Type_Info> typedefs_;
    // Structs defined inside the function being read (checked, not emitted
    // apart from the function).
    std::unordered_map<std::string, std::shared_ptr<const Type_Info>> local_structs_;
    std::unordered_map<std::string, std::vector<double>> statics_;
    std::unordered_set<std::string> deferred_statics_;  // Effect_Desc::static_inits names
};

}  // namespace qm_fx
