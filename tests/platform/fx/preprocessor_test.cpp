// The effect preprocessor: macros, conditionals, includes and the file and
// line every token keeps for messages.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "platform/fx/front/preprocessor.h"
#include "support/temp_dir.h"

namespace {

using qm_fx::Diagnostics;
using qm_fx::Token_Stream;

struct Result {
    bool ok = false;
    std::string text;  // token texts joined by single spaces
    std::string errors;
    Token_Stream stream;
};

// Preprocesses `text` as "main.fx", with `files` available to #include.
Result Pre(const std::string& text, const std::map<std::string, std::string>& files = {},
           const qm_fx::Macro_Definitions& defines = {}) {
    Result r;
    Diagnostics diag;
    auto reader = [&files](const std::string& path, std::string* contents) {
        auto it = files.find(path);
        if (it == files.end()) return false;
        *contents = it->second;
        return true;
    };
    r.ok = qm_fx::Preprocess_Text("main.fx", text, defines, reader, &r.stream, &diag);
    for (const qm_fx::Token& t : r.stream.tokens) {
        if (!r.text.empty()) r.text += ' ';
        r.text += t.text;
    }
    r.errors = diag.Text();
    return r;
}

TEST(Effect_Preprocessor, ObjectAndFunctionLikeMacrosExpand) {
    EXPECT_EQ(Pre("#define N 4\nfloat a[N];").text, "float a [ 4 ] ;");
    EXPECT_EQ(Pre("#define SQ(x) ((x)*(x))\nSQ(a+1)").text, "( ( a + 1 ) * ( a + 1 ) )");
    // Arguments are expanded before substitution; nested calls and commas in parentheses.
    EXPECT_EQ(Pre("#define ONE 1\n#define ADD(a,b) a+b\nADD(ONE, f(2,3))").text, "1 + f ( 2 , 3 )");
    // A name followed by no parenthesis is not a call.
    EXPECT_EQ(Pre("#define F(x) x\nF + F(7)").text, "F + 7");
    // '(' after a space in #define makes an object-like macro.
    EXPECT_EQ(Pre("#define G (x)\nG").text, "( x )");
    // Stringizing and pasting.
    EXPECT_EQ(Pre("#define S(x) #x\nS(a  +  \"b\")").text, "\"a + \\\"b\\\"\"");
    EXPECT_EQ(Pre("#define CAT(a,b) a##b\nCAT(tex, 2D) CAT(Light, 0)").text, "tex2D Light0");
    // Variadic macros.
    EXPECT_EQ(Pre("#define V(f, ...) f(__VA_ARGS__)\nV(g, 1, 2)").text, "g ( 1 , 2 )");
    // A macro does not expand inside its own expansion.
    EXPECT_EQ(Pre("#define A A B\n#define B A\nA").text, "A A");
    // Multi-line invocation.
    EXPECT_EQ(Pre("#define P(a,b) a-b\nP(1,\n 2)").text, "1 - 2");
    // #undef
    EXPECT_EQ(Pre("#define X 1\n#undef X\nX").text, "X");
    // __LINE__ and __FILE__
    EXPECT_EQ(Pre("\n\n__LINE__ __FILE__").text, "3 \"main.fx\"");
}

TEST(Effect_Preprocessor, PredefinedMacrosComeFromTheCaller) {
    const Result r = Pre("#ifdef SHADOWS\nA\n#endif\nLEVEL", {}, {{"SHADOWS", ""}, {"LEVEL", "3"}});
    EXPECT_TRUE(r.ok) << r.errors;
    EXPECT_EQ(r.text, "A 3");
    EXPECT_FALSE(Pre("x", {}, {{"1bad", "1"}}).ok);
}

TEST(Effect_Preprocessor, ConditionalsSelectGroups) {
    EXPECT_EQ(Pre("#if 1 + 2 * 3 == 7\nyes\n#else\nno\n#endif").text, "yes");
    EXPECT_EQ(Pre("#define A 2\n#if A > 3\none\n#elif A == 2\ntwo\n#else\nthree\n#endif").text,
              "two");
    EXPECT_EQ(Pre("#if defined(A) || defined B\nx\n#endif\n#define B\n#if defined B && "
                  "!defined(A)\ny\n#endif")
                  .text,
              "y");
    EXPECT_EQ(Pre("#ifndef A\na\n#endif\n#ifdef A\nb\n#endif").text, "a");
    // Unknown names are 0; shifts, bit operations, ternary, hex and octal.
    EXPECT_EQ(Pre("#if UNKNOWN\nx\n#elif (1 << 4) == 0x10 && (7 & 010) == 0 && (1 ? 2 : 3) == "
                  "2\ny\n#endif")
                  .text,
              "y");
    // Skipped groups may hold anything, even unbalanced quotes and unknown directives.
    EXPECT_EQ(Pre("#if 0\nit's \"not\n#bogus\n#if 1\nnested\n#endif\n#else\nkept\n#endif").text,
              "kept");
    // Only the first true branch is taken.
    EXPECT_EQ(Pre("#if 1\na\n#elif 1\nb\n#else\nc\n#endif").text, "a");
    // The directive of DX-era effects for picking the Direct3D 9 path.
    EXPECT_EQ(Pre("#if DIRECT3D_VERSION >= 0xa00\nd3d10\n#else\nd3d9\n#endif").text, "d3d9");
}

TEST(Effect_Preprocessor, PragmasPassMatrixPackingAndIgnoreTheRest) {
    const Result r = Pre("#pragma warning(disable: 3206)\n#pragma pack_matrix(row_major)\nx");
    ASSERT_TRUE(r.ok) << r.errors;
    ASSERT_EQ(r.stream.tokens.size(), 2u);
    EXPECT_EQ(r.stream.tokens[0].kind, qm_fx::Token_Kind::Pragma);
    EXPECT_EQ(r.stream.tokens[0].text, "pack_matrix(row_major)");
}

TEST(Effect_Preprocessor, IncludesResolveRelativeToTheIncludingFile) {
    const std::map<std::string, std::string> files = {
        {"main.fx", ""},
        {"lib/common.fxh", "#include \"sub\\deep.fxh\"\ncommon"},
        {"lib/sub\\deep.fxh", "#pragma once\ndeep DEEP_VALUE"},
    };
    const Result r = Pre(
        "#define DEEP_VALUE 9\n#include \"lib/common.fxh\"\n#include \"lib/sub\\deep.fxh\"\nend",
        files);
    EXPECT_TRUE(r.ok) << r.errors;
    // "#pragma once" keeps the second inclusion of deep.fxh out.
    EXPECT_EQ(r.text, "deep 9 common end");
    ASSERT_EQ(r.stream.files.size(), 3u);
    EXPECT_EQ(r.stream.files[1], "lib/common.fxh");
}

TEST(Effect_Preprocessor,
     IncludesSearchTheIncludingFolderThenTheRootFolderThenTheWorkingDirectory) {
    // fx/main.fx includes fx/inc\a.fxh, which includes "b.fxh": its own
    // folder first, then the root effect's folder, then the working directory.
    const std::string root = "#include <inc\\a.fxh>\nend";
    const std::string a = "#include \"b.fxh\"\na";
    struct Case {
        std::map<std::string, std::string> files;
        const char* text;  // empty: the include fails
    } cases[] = {
        {{{"fx/inc\\b.fxh", "near"}, {"fx/b.fxh", "root"}, {"b.fxh", "cwd"}}, "near a end"},
        {{{"fx/b.fxh", "root"}, {"b.fxh", "cwd"}}, "root a end"},
        {{{"b.fxh", "cwd"}}, "cwd a end"},
        {{}, ""},
    };
    for (Case& c : cases) {
        c.files["fx/inc\\a.fxh"] = a;
        auto reader = [&c](const std::string& path, std::string* contents) {
            auto it = c.files.find(path);
            if (it == c.files.end()) return false;
            *contents = it->second;
            return true;
        };
        Token_Stream out;
        Diagnostics diag;
        const bool ok = qm_fx::Preprocess_Text("fx/main.fx", root, {}, reader, &out, &diag);
        std::string text;
        for (const qm_fx::Token& t : out.tokens) text += (text.empty() ? "" : " ") + t.text;
        if (*c.text) {
            EXPECT_TRUE(ok) << diag.Text();
            EXPECT_EQ(text, c.text);
        } else {
            EXPECT_FALSE(ok);
            EXPECT_NE(diag.Text().find("fx/inc\\a.fxh(1): error: cannot open include file 'b.fxh'"),
                      std::string::npos)
                << diag.Text();
        }
    }
}

TEST(Effect_Preprocessor, AngleBracketIncludesHoldAFileName) {
    // Backslashes and spaces between < and > are part of the name, and no
    // macro in it expands.
    const std::map<std::string, std::string> files = {
        {"include\\name.fxh", "first"},
        {"my dir\\x-2.fxh", "second"},
    };
    const Result r = Pre(
        "#define name other\n#include <include\\name.fxh>\n#include <my dir\\x-2.fxh>\nend", files);
    EXPECT_TRUE(r.ok) << r.errors;
    EXPECT_EQ(r.text, "first second end");

    // Stray characters outside an #include line are still refused.
    const Result bad = Pre("#define A \\ b\nA");
    EXPECT_FALSE(bad.ok);
}

TEST(Effect_Preprocessor, TokensKeepTheirFileAndLine) {
    const std::map<std::string, std::string> files = {{"inc.fxh", "\n\ninc_token"}};
    const Result r =
        Pre("a\n/* two\nlines */ b\n#include \"inc.fxh\"\nc \\\n d\n#define M m1 m2\n\nM", files);
    ASSERT_TRUE(r.ok) << r.errors;
    struct Where {
        const char* text;
        std::uint32_t line;
        const char* file;
    };
    const Where expected[] = {{"a", 1, "main.fx"}, {"b", 3, "main.fx"}, {"inc_token", 3, "inc.fxh"},
                              {"c", 5, "main.fx"}, {"d", 6, "main.fx"}, {"m1", 9, "main.fx"},
                              {"m2", 9, "main.fx"}};
    ASSERT_EQ(r.stream.tokens.size(), std::size(expected));
    for (std::size_t k = 0; k < std::size(expected); ++k) {
        const qm_fx::Token& t = r.stream.tokens[k];
        EXPECT_EQ(t.text, expected[k].text);
        EXPECT_EQ(t.line, expected[k].line) << t.text;
        EXPECT_EQ(r.stream.files[t.file], expected[k].file) << t.text;
    }
}

TEST(Effect_Preprocessor, ErrorsNameFileAndLine) {
    struct Case {
        const char* source;
        const char* message;
    };
    const Case cases[] = {
        {"a\n#include \"missing.fxh\"",
         "main.fx(2): error: cannot open include file 'missing.fxh'"},
        {"\n#if 1\nx", "main.fx(2): error: unterminated #if"},
        {"#else\n", "main.fx(1): error: #else without #if"},
        {"#endif\n", "main.fx(1): error: #endif without #if"},
        {"#if 1\n#else\n#elif 1\n#endif", "main.fx(3): error: #elif without #if"},
        {"\n\n#error stop here", "main.fx(3): error: #error stop here"},
        {"#if 1 / 0\n#endif", "main.fx(1): error: division by zero in #if expression"},
        {"#if (1\n#endif", "main.fx(1): error: missing ')' in #if expression"},
        {"#if\n#endif", "main.fx(1): error: #if with no expression"},
        {"#define F(a,b) a\nF(1)", "main.fx(2): error: macro 'F' takes 2 arguments, 1 given"},
        {"#define F(a) a\nF(1", "main.fx(2): error: unterminated call of macro 'F'"},
        {"#frobnicate", "main.fx(1): error: unknown directive '#frobnicate'"},
        {"float a = 1;\nfloat b @ 2;", "main.fx(2): error: unexpected character '@'"},
        {"string s = \"open;", "main.fx(1): error: unterminated literal"},
        {"#define F(a, a) a", "main.fx(1): error: duplicate parameter 'a' of macro 'F'"},
        {"#include \"main.fx\"", "error: #include nested too deeply"},
    };
    for (const Case& c : cases) {
        const std::map<std::string, std::string> files = {{"main.fx", c.source}};
        const Result r = Pre(c.source, files);
        EXPECT_FALSE(r.ok) << c.source;
        EXPECT_NE(r.errors.find(c.message), std::string::npos)
            << c.source << "\n got: " << r.errors;
    }
}

TEST(Effect_Preprocessor, FilesAreReadWithWindowsPathRules) {
    Temp_Dir dir(false);
    dir.Write("FX/Shaders/Main.fx", "#include \"..\\Include\\Lib.FXH\"\nmain");
    dir.Write("FX/Include/lib.fxh", "lib");
    Token_Stream out;
    Diagnostics diag;
    ASSERT_TRUE(qm_fx::Preprocess(dir.Path() + "/fx\\shaders\\main.fx", {}, nullptr, &out, &diag))
        << diag.Text();
    ASSERT_EQ(out.tokens.size(), 2u);
    EXPECT_EQ(out.tokens[0].text, "lib");

    EXPECT_FALSE(qm_fx::Preprocess(dir.Path() + "/none.fx", {}, nullptr, &out, &diag));
    EXPECT_NE(diag.Text().find("cannot open effect file"), std::string::npos);
}

TEST(Effect_Preprocessor, RunawayExpansionEndsWithAnError) {
    // Each level doubles the output: the limit stops it, it does not hang.
    std::string src = "#define L0 x x\n";
    for (int k = 1; k < 40; ++k)
        src += "#define L" + std::to_string(k) + " L" + std::to_string(k - 1) + " L" +
               std::to_string(k - 1) + "\n";
    src += "L39\n";
    const Result r = Pre(src);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.errors.empty());
}

}  // namespace
