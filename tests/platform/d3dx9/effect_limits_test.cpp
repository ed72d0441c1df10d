// Effect files built to break the compilers behind us: deep recursions of our
// own preprocessor and parser, and shader code nested or sized so that
// glslang crashes or the driver compiles for minutes. Each must come back
// as a failed effect naming the file and line, through the real file API on
// a real device; code just inside the limits must still compile.
#include <gtest/gtest.h>

#include <string>

#include "effect_test_util.h"
#include "support/temp_dir.h"

namespace {

std::string Repeat(const std::string& s, std::size_t n) {
    std::string r;
    r.reserve(s.size() * n);
    for (std::size_t k = 0; k < n; ++k) r += s;
    return r;
}

const char* const k_vertex_shader = "float4 VS(float4 p : POSITION) : POSITION { return p; }\n";

// A technique drawing with VS and the pixel shader `ps`.
std::string Technique(const std::string& ps) {
    return "technique T { pass P { VertexShader = compile vs_2_0 VS(); "
           "PixelShader = compile ps_2_0 " +
           ps + "(); } }\n";
}

// `body` returns the colour; `lead` comes before the pixel shader.
std::string Shader_File(const std::string& lead, const std::string& body) {
    return std::string(k_vertex_shader) + lead + "float4 PS() : COLOR\n{\n" + body + "\n}\n" +
           Technique("PS");
}

// struct S0 { float4 v; }; struct Sk { S(k-1) m0; ... } for k = 1..depth,
// and a pixel shader that reads the innermost value through every level.
std::string Nested_Structs(int depth, int members) {
    std::string s = "struct S0 { float4 v; };\n";
    for (int k = 1; k <= depth; ++k) {
        s += "struct S" + std::to_string(k) + " {";
        for (int m = 0; m < members; ++m)
            s += " S" + std::to_string(k - 1) + " m" + std::to_string(m) + ";";
        s += " };\n";
    }
    std::string path;
    for (int k = 0; k < depth; ++k) path += ".m0";
    const std::string top = "S" + std::to_string(depth);
    return s + "float4 Read(" + top + " s) { return s" + path + ".v; }\n";
}

class Effect_Limits : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dev.Ok()) << dev.Error(); }

    // Loads `text` from a real file; the messages when it fails, "" when it loads.
    std::string Errors_Of(const std::string& text) {
        dir.Write("limit.fx", text);
        std::string errors;
        HRESULT hr = S_OK;
        ID3DXEffect* fx = Load_Effect(dev.device, dir.Path() + "/limit.fx", &errors, &hr);
        if (fx) {
            fx->Release();
            return "";
        }
        EXPECT_TRUE(FAILED(hr));
        EXPECT_FALSE(errors.empty()) << "a failed effect must say why";
        return errors;
    }

    // Expects the file to fail at `line` with a message containing `what`.
    void Expect_Failure(const std::string& text, int line, const std::string& what) {
        const std::string errors = Errors_Of(text);
        const std::string where = dir.Path() + "/limit.fx(" + std::to_string(line) + "): error: ";
        EXPECT_EQ(errors.rfind(where, 0), 0u) << errors.substr(0, 300);
        EXPECT_NE(errors.find(what), std::string::npos) << errors.substr(0, 300);
    }

    Test_Device dev{16, 16};
    Temp_Dir dir{false};
};

TEST_F(Effect_Limits, PreprocessorRecursionsFailWithAMessage) {
    // 100 KB chains in #if expressions.
    Expect_Failure("\n#if " + Repeat("!", 100000) + "1\n#endif\n" + k_vertex_shader, 2,
                   "#if expression too deeply nested");
    Expect_Failure(
        "#if " + Repeat("(", 50000) + "1" + Repeat(")", 50000) + "\n#endif\n" + k_vertex_shader, 1,
        "#if expression too deeply nested");
    Expect_Failure("#if 1" + Repeat(" ? 1 : 0", 12000) + "\n#endif\n" + k_vertex_shader, 1,
                   "#if expression too deeply nested");
    // Arguments of a macro call are expanded one recursion per level, and
    // gathered again at every level.
    Expect_Failure("#define F(x) x\n\nfloat X = " + Repeat("F(", 250) + "1" + Repeat(")", 250) +
                       ";\n" + k_vertex_shader,
                   3, "macro arguments nested too deeply");
    Expect_Failure("#define F(x) x\nfloat X = " + Repeat("F(", 30000) + "1" + Repeat(")", 30000) +
                       ";\n" + k_vertex_shader,
                   2, "macro arguments too large");
    // A chain of macros, each naming the one before: the expansions nest
    // once per macro (the fuzzer's 86 KB chain took 30 s before the limit).
    std::string chain = "#define M0 1\n";
    for (int k = 1; k < 4000; ++k)
        chain += "#define M" + std::to_string(k) + " (M" + std::to_string(k - 1) + ")\n";
    Expect_Failure(chain + "float X = M3999;\n" + k_vertex_shader, 4001,
                   "macros nested too deeply in the expansion of 'M3799'");
    // A large file including itself is read once per level: the text read
    // with the includes is bounded (the fuzzer's 83 KB file took 20 s).
    dir.Write("big.fx", "#include \"big.fx\"\n" + Repeat("float4 V = 1;\n", 8000));
    const std::string big = Errors_Of("#include \"big.fx\"\n");
    EXPECT_EQ(big.rfind(dir.Path() + "/big.fx(1): error: effect source longer than 1048576 bytes "
                                     "with its includes",
                        0),
              0u)
        << big.substr(0, 300);
    // A file including itself; the message names the included file.
    dir.Write("self.fx", "\n#include \"self.fx\"\n");
    const std::string errors = Errors_Of("#include \"self.fx\"\n");
    EXPECT_EQ(errors.rfind(dir.Path() + "/self.fx(2): error: #include nested too deeply", 0), 0u)
        << errors;

    // Just inside the limit.
    EXPECT_EQ(Errors_Of("#if " + Repeat("!", 198) + "1\n#endif\n" + "#if " + Repeat("(", 190) +
                        "1" + Repeat(")", 190) + "\n#endif\n" + k_vertex_shader),
              "");
    chain = "#define M0 1\n";
    for (int k = 1; k < 190; ++k)
        chain += "#define M" + std::to_string(k) + " M" + std::to_string(k - 1) + "\n";
    EXPECT_EQ(Errors_Of(chain + "float X = M189;\n" + k_vertex_shader), "");
}

TEST_F(Effect_Limits, ParserRecursionsFailWithAMessage) {
    // 100 KB chains of '!', '(' and casts in a parameter's initializer.
    Expect_Failure("float A;\nfloat X = " + Repeat("!", 100000) + "1;\n" + k_vertex_shader, 2,
                   "expression too deeply nested");
    Expect_Failure(
        "float X = " + Repeat("(", 50000) + "1" + Repeat(")", 50000) + ";\n" + k_vertex_shader, 1,
        "expression too deeply nested");
    Expect_Failure("\n\nfloat X = " + Repeat("(float)", 14300) + "1;\n" + k_vertex_shader, 3,
                   "expression too deeply nested");
    // Chains the parser reads in a loop still make deep trees to evaluate.
    Expect_Failure("float X = 1" + Repeat(" + 1", 25000) + ";\n" + k_vertex_shader, 1,
                   "expression too deeply nested");
    Expect_Failure("float4 V = 1;\nfloat X = V" + Repeat(".x", 50000) + ";\n" + k_vertex_shader, 2,
                   "expression too deeply nested");
    // The same in a state value, evaluated whenever the pass is applied.
    Expect_Failure(std::string(k_vertex_shader) + "float4 PS() : COLOR { return 1; }\n" +
                       "technique T { pass P {\n AlphaRef = 1" + Repeat(" + 1", 25000) +
                       "; PixelShader = compile ps_2_0 PS(); } }\n",
                   4, "expression too deeply nested");

    // Deep but allowed: the values are still computed.
    const std::string ok = "float X = " + Repeat("- ", 50) + Repeat("(float)", 50) + "2" +
                           Repeat(" + 1", 90) + ";\n" + k_vertex_shader;
    dir.Write("ok.fx", ok);
    std::string errors;
    ID3DXEffect* fx = Load_Effect(dev.device, dir.Path() + "/ok.fx", &errors);
    ASSERT_NE(fx, nullptr) << errors;
    float x = 0;
    EXPECT_EQ(fx->GetFloat("X", &x), D3D_OK);
    EXPECT_FLOAT_EQ(x, 92.0f);  // an even number of minus signs
    fx->Release();
}

TEST_F(Effect_Limits, ShaderCodeNestingFailsBeforeReachingTheCompiler) {
    // 4,000 nested parentheses (about 9.5 KB) crashed glslang.
    Expect_Failure(Shader_File("", "    return " + Repeat("(", 4000) + "float4(1, 0, 0, 1)" +
                                       Repeat(")", 4000) + ";"),
                   4, "shader code nested more than 200 levels deep");
    // 20,000 levels overflowed its stack; braces and brackets count alike.
    Expect_Failure(Shader_File("", "    float4 c = 0;\n    " + Repeat("{", 20000) + "c.x = 1;" +
                                       Repeat("}", 20000) + "\n    return c;"),
                   5, "shader code nested more than 200 levels deep");
    Expect_Failure(
        Shader_File("static const float K[1] = { 1 };\n",
                    "    return K" + Repeat("[0 + K", 20000) + "[0]" + Repeat("]", 20000) + ";"),
        5, "shader code nested more than 200 levels deep");
    // Deep trees without deep brackets: glslang walks them recursively too.
    const std::string lead = "float4 C;\n";
    Expect_Failure(
        Shader_File(lead, "    float x = C.x;\n    return x" + Repeat(" + x", 10000) + ";"), 6,
        "shader code nested more than 200 levels deep");
    Expect_Failure(Shader_File(lead, "    float4 c = 0;\n    " + Repeat("if (C.x) ", 3000) +
                                         "c = 1;\n    return c;"),
                   6, "shader code nested more than 200 levels deep");
    Expect_Failure(
        Shader_File(lead, "    float4 c = 0;\n    if (C.x > 0) c = 1;" +
                              Repeat(" else if (C.x > 1) { c = 2; }", 1500) + "\n    return c;"),
        6, "shader code nested more than 200 levels deep");
    // In a static's initializer and in the arguments of `compile`.
    Expect_Failure(
        "static float K = " + Repeat("(", 4000) + "1" + Repeat(")", 4000) + ";\n" + k_vertex_shader,
        1, "nested more than 200 levels deep");
    Expect_Failure(std::string(k_vertex_shader) +
                       "float4 PS(uniform float k) : COLOR { return k; }\n"
                       "technique T { pass P {\n PixelShader = compile ps_2_0 PS(" +
                       Repeat("(", 4000) + "1" + Repeat(")", 4000) + "); } }\n",
                   4, "shader arguments nested too deeply");

    // 190 levels compile and draw what they compute, and so do long runs of
    // statements and blocks that do not nest.
    std::string runs = "    float4 c = float4(0, 0, 0, 1);\n";
    for (int k = 0; k < 300; ++k) runs += "    if (c.y < 1) { c.y += 0.5; } else { c.x = 1; }\n";
    const std::string ok = Shader_File("", runs + "    return c.y * " + Repeat("(", 190) +
                                               "float4(0, 1, 0, 1)" + Repeat(")", 190) + ";");
    dir.Write("ok.fx", ok);
    std::string errors;
    ID3DXEffect* fx = Load_Effect(dev.device, dir.Path() + "/ok.fx", &errors);
    ASSERT_NE(fx, nullptr) << errors;
    dev.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    dev.device->BeginScene();
    EXPECT_EQ(Draw_Effect(dev.device, fx), 1u);
    dev.device->EndScene();
    ASSERT_TRUE(dev.Capture());
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.0f, 1.0f, 0.0f);
    fx->Release();
}

TEST_F(Effect_Limits, StructNestingAndSizeAreBounded) {
    // 32 nested struct types of two members each took the driver minutes.
    const std::string deep = Nested_Structs(32, 2);
    Expect_Failure(deep + Shader_File("", "    return 1;"), 12, "holds more than 4096 values");
    // One member each: the depth alone is bounded.
    Expect_Failure(Nested_Structs(32, 1), 17, "nests structs more than 16 levels deep");
    // The same inside a function body, where the parser otherwise only copies.
    Expect_Failure(Shader_File("", "    struct L0 { float4 v; };\n" +
                                       std::string("    struct L1 { L0 a; L0 b[4096]; };\n") +
                                       "    return 1;"),
                   5, "struct 'L1' holds more than 4096 values");

    // Inside the limits: 16 levels, and a local struct that draws its value.
    const std::string ok =
        Nested_Structs(15, 1) + Shader_File("",
                                            "    struct L { float4 c; };\n"
                                            "    L l;\n    l.c = float4(1, 0, 1, 1);\n"
                                            "    S15 s = (S15)0;\n"
                                            "    return l.c + Read(s);");
    dir.Write("ok.fx", ok);
    std::string errors;
    ID3DXEffect* fx = Load_Effect(dev.device, dir.Path() + "/ok.fx", &errors);
    ASSERT_NE(fx, nullptr) << errors;
    dev.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    dev.device->BeginScene();
    EXPECT_EQ(Draw_Effect(dev.device, fx), 1u);
    dev.device->EndScene();
    ASSERT_TRUE(dev.Capture());
    EXPECT_PIXEL_NEAR(dev, 8, 8, 1.0f, 0.0f, 1.0f);
    fx->Release();
}

TEST_F(Effect_Limits, LargeShaderCodeCompilesAndItsSizeIsBounded) {
    // Shipped effects hold some 200 KB of HLSL, most of it in functions that
    // a given shader does not call: 300 KB of them, one called.
    std::string lead;
    for (int k = 0; lead.size() < 300 * 1024; ++k)
        lead += "float4 Step_" + std::to_string(k) + "(float4 c)\n{\n    c.x = c.x * 0.5 + " +
                std::to_string(k % 8) + " * 0.125;\n    return c;\n}\n";
    dir.Write("big.fx", Shader_File(lead, "    return Step_6(float4(0, 0.5, 0.25, 1));"));
    std::string errors;
    ID3DXEffect* fx = Load_Effect(dev.device, dir.Path() + "/big.fx", &errors);
    ASSERT_NE(fx, nullptr) << errors.substr(0, 300);
    dev.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    dev.device->BeginScene();
    EXPECT_EQ(Draw_Effect(dev.device, fx), 1u);
    dev.device->EndScene();
    ASSERT_TRUE(dev.Capture());
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.75f, 0.5f, 0.25f);
    fx->Release();

    // Code is bounded as the preprocessor's input is, at 1 MiB; macros
    // expand a small file past that.
    const std::string statement =
        "Accumulated_Colour_Value.x = Accumulated_Colour_Value.x * 0.5 + 1.0;";
    const std::string macros = "#define S1 " + statement + "\n#define S10 " + Repeat("S1 ", 10) +
                               "\n#define S100 " + Repeat("S10 ", 10) + "\n#define S1000 " +
                               Repeat("S100 ", 10) + "\n";
    const std::string text =
        macros +
        Shader_File("", "    float4 Accumulated_Colour_Value = 0;\n    " + Repeat("S1000 ", 17) +
                            "\n    return Accumulated_Colour_Value;");
    const std::string big_errors = Errors_Of(text);
    EXPECT_NE(big_errors.find("): error: shader code longer than 1048576 bytes"), std::string::npos)
        << big_errors.substr(0, 300);
}

}  // namespace
