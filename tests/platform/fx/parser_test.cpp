// The effect parser: parameters with types, semantics, annotations and
// defaults; textures and samplers; techniques, passes and their states; the
// HLSL handed to the shader compiler; and its error messages.
#include <gtest/gtest.h>

#include <bit>
#include <string>

#include "platform/fx/front/parser.h"

namespace {

using namespace qm_fx;

struct Parsed {
    bool ok = false;
    Effect_Desc desc;
    std::string errors;

    const Parameter& Param(const std::string& name) const {
        const int i = desc.Find_Parameter(name);
        EXPECT_GE(i, 0) << name;
        static const Parameter none;
        return i < 0 ? none : desc.parameters[static_cast<std::size_t>(i)];
    }
    float Float(const std::string& name, std::size_t k = 0) const {
        return std::bit_cast<float>(desc.defaults[Param(name).offset + k]);
    }
    std::uint32_t Word(const std::string& name, std::size_t k = 0) const {
        return desc.defaults[Param(name).offset + k];
    }
};

Parsed Parse(const std::string& text) {
    Parsed p;
    Diagnostics diag;
    Token_Stream tokens;
    auto no_files = [](const std::string&, std::string*) { return false; };
    p.ok = Preprocess_Text("t.fx", text, {}, no_files, &tokens, &diag) &&
           Parse_Effect(tokens, &p.desc, &diag);
    p.errors = diag.Text();
    return p;
}

TEST(Effect_Parser, ParameterTypesAndStorageSizes) {
    const Parsed p = Parse(R"(
        float f; float2 f2; float3 f3; float4 f4; half4 h4; int i; int3 i3; bool b; uint u;
        float4x4 m44; float4x3 m43; float3x3 m33; row_major float3x4 r34;
        matrix<float, 2, 3> tm; vector<int, 2> tv; matrix mm; vector vv;
        float arr[26]; float4 varr[3];
        struct S { float3 a; float b; float4x4 c; };
        S s; S sarr[2];
        texture t; texture2D t2; textureCUBE tc; texture3D t3; string name = "x";
        typedef float4 colour; colour col;
    )");
    ASSERT_TRUE(p.ok) << p.errors;
    struct Expect {
        const char* name;
        const char* type;
        std::uint32_t words;
        Type_Class cls;
    };
    const Expect expected[] = {
        {"f", "float", 1, Type_Class::Scalar},
        {"f2", "float2", 2, Type_Class::Vector},
        {"f3", "float3", 3, Type_Class::Vector},
        {"f4", "float4", 4, Type_Class::Vector},
        {"h4", "float4", 4, Type_Class::Vector},
        {"i", "int", 1, Type_Class::Scalar},
        {"i3", "int3", 3, Type_Class::Vector},
        {"b", "bool", 1, Type_Class::Scalar},
        {"u", "uint", 1, Type_Class::Scalar},
        {"m44", "float4x4", 16, Type_Class::Matrix_Columns},
        {"m43", "float4x3", 12, Type_Class::Matrix_Columns},
        {"m33", "float3x3", 9, Type_Class::Matrix_Columns},
        {"r34", "float3x4", 12, Type_Class::Matrix_Rows},
        {"tm", "float2x3", 6, Type_Class::Matrix_Columns},
        {"tv", "int2", 2, Type_Class::Vector},
        {"mm", "float4x4", 16, Type_Class::Matrix_Columns},
        {"vv", "float4", 4, Type_Class::Vector},
        {"arr", "float[26]", 26, Type_Class::Scalar},
        {"varr", "float4[3]", 12, Type_Class::Vector},
        {"s", "S", 20, Type_Class::Struct},
        {"sarr", "S[2]", 40, Type_Class::Struct},
        {"t", "texture", 0, Type_Class::Object},
        {"t2", "texture2D", 0, Type_Class::Object},
        {"tc", "textureCUBE", 0, Type_Class::Object},
        {"t3", "texture3D", 0, Type_Class::Object},
        {"name", "string", 0, Type_Class::Object},
        {"col", "float4", 4, Type_Class::Vector},
    };
    std::uint32_t offset = 0;
    for (const Expect& e : expected) {
        const Parameter& param = p.Param(e.name);
        EXPECT_EQ(param.type.Name(), e.type) << e.name;
        EXPECT_EQ(param.type.Words(), e.words) << e.name;
        EXPECT_EQ(param.type.cls, e.cls) << e.name;
        EXPECT_EQ(param.offset, offset) << e.name;  // packed one after the other
        offset += e.words;
    }
    EXPECT_EQ(p.desc.storage_words, offset);
    EXPECT_EQ(p.Param("name").string_value, "x");
}

TEST(Effect_Parser, StorageClassesDecideWhatIsAParameter) {
    const Parsed p = Parse(R"(
        uniform float a; shared float b; extern float c; const float d = 1; volatile float e;
        static float hidden = 2; static const int N = 3; float arr[N * 2];
    )");
    ASSERT_TRUE(p.ok) << p.errors;
    for (const char* name : {"a", "b", "c", "d", "e", "arr"})
        EXPECT_GE(p.desc.Find_Parameter(name), 0) << name;
    EXPECT_LT(p.desc.Find_Parameter("hidden"), 0);
    EXPECT_LT(p.desc.Find_Parameter("N"), 0);
    EXPECT_EQ(p.Param("arr").type.elements, 6u);
    // Statics go to the compiler as written; parameters as plain declarations.
    EXPECT_NE(p.desc.hlsl.text.find("static float hidden = 2 ;"), std::string::npos)
        << p.desc.hlsl.text;
    EXPECT_NE(p.desc.hlsl.text.find("float arr[6];"), std::string::npos);
}

TEST(Effect_Parser, InitializersFillTheDefaults) {
    const Parsed p = Parse(R"(
        float f = 0.5;
        float neg = -2.5f;
        int i = 7;
        bool yes = true;
        bool num = 3;
        float4 list = {1, 2, 3, 4};
        float4 ctor = float4(0.25, 0.5, float2(0.75, 1.0));
        float4 splat = 0.5;
        float3 expr = float3(1, 2, 3) * 2 - 1;
        float3 swz = float4(1, 2, 3, 4).zyx;
        float2x2 m = {1, 2, 3, 4};
        float2 arr[2] = {{1, 2}, {3, 4}};
        static const float K = 4;
        float from_static = K / 2;
        float from_param = f * 4;
        int hex = 0x10;
        struct P { float a; float2 b; };
        P s = {1, {2, 3}};
        float cast = (int)2.75;
    )");
    ASSERT_TRUE(p.ok) << p.errors;
    EXPECT_FLOAT_EQ(p.Float("f"), 0.5f);
    EXPECT_FLOAT_EQ(p.Float("neg"), -2.5f);
    EXPECT_EQ(p.Word("i"), 7u);
    EXPECT_EQ(p.Word("yes"), 1u);
    EXPECT_EQ(p.Word("num"), 1u);
    for (int k = 0; k < 4; ++k) EXPECT_FLOAT_EQ(p.Float("list", k), float(k + 1));
    for (int k = 0; k < 4; ++k) EXPECT_FLOAT_EQ(p.Float("ctor", k), 0.25f * float(k + 1));
    for (int k = 0; k < 4; ++k) EXPECT_FLOAT_EQ(p.Float("splat", k), 0.5f);
    for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(p.Float("expr", k), float(2 * (k + 1) - 1));
    for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(p.Float("swz", k), float(3 - k));
    for (int k = 0; k < 4; ++k) EXPECT_FLOAT_EQ(p.Float("m", k), float(k + 1));  // rows in order
    for (int k = 0; k < 4; ++k) EXPECT_FLOAT_EQ(p.Float("arr", k), float(k + 1));
    EXPECT_FLOAT_EQ(p.Float("from_static"), 2.0f);
    EXPECT_FLOAT_EQ(p.Float("from_param"), 2.0f);
    EXPECT_EQ(p.Word("hex"), 16u);
    for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(p.Float("s", k), float(k + 1));
    EXPECT_FLOAT_EQ(p.Float("cast"), 2.0f);
}

TEST(Effect_Parser, SemanticsAndAnnotationsAreKept) {
    const Parsed p = Parse(R"(
        float4x4 WVP : WORLDVIEWPROJECTION < string UIWidget = "None"; >;
        float Shine : SPECULARPOWER <
            string UIName = "Shininess";
            string UIWidget = "slider";
            float UIMin = 1.0; float UIMax = 128;
            int Steps = 4;
            float3 Tint = {1, 0.5, 0};
        > = 30.0;
        float Glued<string UIName="g";>=1;
        texture Diffuse : DIFFUSE < string ResourceName = "default_color.dds"; string ResourceType = "2D"; >;
        technique Main < string Script = "Pass=p0;"; > { pass p0 < string Script = "Draw=geometry;"; > { } }
    )");
    ASSERT_TRUE(p.ok) << p.errors;
    EXPECT_EQ(p.Param("WVP").semantic, "WORLDVIEWPROJECTION");
    const Parameter& shine = p.Param("Shine");
    EXPECT_EQ(shine.semantic, "SPECULARPOWER");
    ASSERT_EQ(shine.annotations.size(), 6u);
    EXPECT_EQ(shine.annotations[0].name, "UIName");
    EXPECT_EQ(shine.annotations[0].string_value, "Shininess");
    EXPECT_EQ(shine.annotations[2].name, "UIMin");
    ASSERT_EQ(shine.annotations[2].values.size(), 1u);
    EXPECT_DOUBLE_EQ(shine.annotations[2].values[0], 1.0);
    EXPECT_EQ(shine.annotations[4].type.Name(), "int");
    EXPECT_EQ(shine.annotations[5].values.size(), 3u);
    EXPECT_FLOAT_EQ(p.Float("Shine"), 30.0f);
    EXPECT_FLOAT_EQ(p.Float("Glued"), 1.0f);
    EXPECT_EQ(p.Param("Diffuse").annotations[0].string_value, "default_color.dds");
    ASSERT_EQ(p.desc.techniques.size(), 1u);
    EXPECT_EQ(p.desc.techniques[0].annotations[0].string_value, "Pass=p0;");
    EXPECT_EQ(p.desc.techniques[0].passes[0].annotations[0].string_value, "Draw=geometry;");
    // Annotations and semantics never reach the shader compiler.
    EXPECT_EQ(p.desc.hlsl.text.find("UIName"), std::string::npos);
    EXPECT_EQ(p.desc.hlsl.text.find("SPECULARPOWER"), std::string::npos);
}

// What the compilers of the time let pass: a byte-order mark, a vector
// initializer truncated to a scalar, a technique name used twice (lookups
// find the first), SamplerState for a sampler.
TEST(Effect_Parser, SlipsTheCompilersOfTheTimeAccepted) {
    const Parsed p = Parse(
        "\xEF\xBB\xBF"
        "float tint = float4(0.5, 1, 1, 1);\n"
        "texture T; SamplerState S { Texture = T; };\n"
        "technique A { pass { ZEnable = false; } }\n"
        "technique A { pass { ZEnable = true; } }\n");
    ASSERT_TRUE(p.ok) << p.errors;
    EXPECT_FLOAT_EQ(p.Float("tint"), 0.5f);
    EXPECT_EQ(p.Param("S").type.base, Base_Type::Sampler);
    EXPECT_EQ(p.Param("S").sampler_texture, p.desc.Find_Parameter("T"));
    EXPECT_EQ(p.desc.techniques.size(), 2u);
    EXPECT_NE(p.errors.find("truncation"), std::string::npos) << p.errors;
}

// Arrays in annotations: unsized, of nested lists with Direct3D enumerator
// names and macros, and of strings.
TEST(Effect_Parser, ArrayAnnotationsWithEnumeratorNames) {
    const Parsed p = Parse(R"(
        #define DECLARATION_END {255, 0, D3DDECLTYPE_UNUSED, 0}
        float4 Tint <
            int Declaration[] = { {0, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0},
                                  {0, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1}, DECLARATION_END };
            float2 Pairs[2] = { {1, 2}, {3, 4} };
            string Names[] = { "first" "half", "second" };
            int Blend = D3DBLEND_INVSRCALPHA;
        > = {1, 1, 1, 1};
    )");
    ASSERT_TRUE(p.ok) << p.errors;
    const std::vector<Annotation>& a = p.Param("Tint").annotations;
    ASSERT_EQ(a.size(), 4u);
    EXPECT_EQ(a[0].type.elements, 12u);
    const std::vector<double> decl = {0, 2, 0, 0, 0, 4, 10, 1, 255, 0, 17, 0};
    EXPECT_EQ(a[0].values, decl);
    EXPECT_EQ(a[1].values, (std::vector<double>{1, 2, 3, 4}));
    EXPECT_EQ(a[2].type.elements, 2u);
    EXPECT_EQ(a[2].string_value, "firsthalf");
    EXPECT_EQ(a[3].values, (std::vector<double>{6}));
}

TEST(Effect_Parser, SamplersKeepTheirStatesAndTexture) {
    const Parsed p = Parse(R"(
        texture Diffuse_Map;
        textureCUBE Env;
        sampler2D Diffuse_Sampler = sampler_state {
            Texture = <Diffuse_Map>;
            MinFilter = Linear; MagFilter = LINEAR; MipFilter = anisotropic;
            AddressU = Wrap; AddressV = Mirror; MaxAnisotropy = 4;
            MipMapLodBias = -0.5;
        };
        samplerCUBE Env_Sampler : register(s3) = sampler_state { Texture = (Env); };
        sampler Plain;
    )");
    ASSERT_TRUE(p.ok) << p.errors;
    const Parameter& s = p.Param("Diffuse_Sampler");
    EXPECT_EQ(s.type.Name(), "sampler2D");
    EXPECT_EQ(s.sampler_texture, p.desc.Find_Parameter("Diffuse_Map"));
    EXPECT_TRUE(s.sampler_sets_texture);
    ASSERT_EQ(s.sampler_states.size(), 8u);
    double v;
    Evaluate(s.sampler_states[1].value, p.desc, p.desc.defaults.data(), &v, 1);
    EXPECT_EQ(v, 2.0);  // D3DTEXF_LINEAR
    Evaluate(s.sampler_states[3].value, p.desc, p.desc.defaults.data(), &v, 1);
    EXPECT_EQ(v, 3.0);  // D3DTEXF_ANISOTROPIC
    Evaluate(s.sampler_states[5].value, p.desc, p.desc.defaults.data(), &v, 1);
    EXPECT_EQ(v, 2.0);  // D3DTADDRESS_MIRROR
    Evaluate(s.sampler_states[7].value, p.desc, p.desc.defaults.data(), &v, 1);
    EXPECT_EQ(v, -0.5);
    EXPECT_EQ(p.Param("Env_Sampler").sampler_register, 3);
    EXPECT_EQ(p.Param("Env_Sampler").type.Name(), "samplerCUBE");
    EXPECT_FALSE(p.Param("Plain").sampler_sets_texture);
    // Samplers reach the compiler without their states; textures not at all.
    EXPECT_NE(p.desc.hlsl.text.find("sampler2D Diffuse_Sampler;"), std::string::npos);
    EXPECT_NE(p.desc.hlsl.text.find("samplerCUBE Env_Sampler : register(s3);"), std::string::npos);
    EXPECT_EQ(p.desc.hlsl.text.find("Diffuse_Map"), std::string::npos);
}

TEST(Effect_Parser, TechniquesPassesAndStates) {
    const Parsed p = Parse(R"(
        float Ref = 0.5;
        bool Blend = false;
        texture T;
        sampler2D S = sampler_state { Texture = <T>; };
        float4x4 W;
        float4 VS(float4 p : POSITION, uniform float scale, uniform bool flip) : POSITION { return p * scale; }
        float4 PS() : COLOR { return 1; }
        vertexshader Shared_VS = compile vs_2_0 VS(2.0, false);
        technique First {
            pass A {
                ZEnable = TRUE; zwriteenable = false; ZFunc = LessEqual; CullMode = CCW;
                AlphaBlendEnable = (Blend); SrcBlend = SrcAlpha; DestBlend = InvSrcAlpha;
                AlphaRef = 0x80; AlphaFunc = Greater; ColorWriteEnable = Red | Green | Alpha;
                FogStart = Ref * 2;
                Texture[1] = <T>; Sampler[2] = (S); MinFilter[2] = Point; ColorOp[0] = Modulate2x;
                WorldTransform[0] = (W);
                VertexShader = compile vs_2_0 VS(Ref, true);
                PixelShader = compile ps_2_0 PS();
            }
            pass B { VertexShader = (Shared_VS); PixelShader = NULL; }
        }
        technique9 Second { pass { VertexShader = compile vs_3_0 VS(1, true); PixelShader = compile ps_2_0 PS(); } }
        technique { pass { } }
    )");
    ASSERT_TRUE(p.ok) << p.errors;
    ASSERT_EQ(p.desc.techniques.size(), 3u);
    EXPECT_EQ(p.desc.techniques[0].name, "First");
    EXPECT_EQ(p.desc.techniques[1].name, "Second");
    EXPECT_EQ(p.desc.techniques[2].name, "");
    const Pass& a = p.desc.techniques[0].passes[0];
    EXPECT_EQ(a.name, "A");
    struct Expect {
        const char* name;
        State_Kind kind;
        std::uint32_t index;
        double value;
    };
    const Expect expected[] = {
        {"ZENABLE", State_Kind::Render, 0, 1},
        {"ZWRITEENABLE", State_Kind::Render, 0, 0},
        {"ZFUNC", State_Kind::Render, 0, 4},
        {"CULLMODE", State_Kind::Render, 0, 3},
        {"ALPHABLENDENABLE", State_Kind::Render, 0, 0},
        {"SRCBLEND", State_Kind::Render, 0, 5},
        {"DESTBLEND", State_Kind::Render, 0, 6},
        {"ALPHAREF", State_Kind::Render, 0, 128},
        {"ALPHAFUNC", State_Kind::Render, 0, 5},
        {"COLORWRITEENABLE", State_Kind::Render, 0, 11},
        {"FOGSTART", State_Kind::Render, 0, 1.0},
        {"TEXTURE", State_Kind::Texture, 1, 0},
        {"SAMPLER", State_Kind::Sampler_Object, 2, 0},
        {"MINFILTER", State_Kind::Sampler, 2, 1},
        {"COLOROP", State_Kind::Texture_Stage, 0, 5},
        {"WORLDTRANSFORM", State_Kind::Transform, 0, 0},
    };
    ASSERT_EQ(a.states.size(), std::size(expected) + 2);
    for (std::size_t k = 0; k < std::size(expected); ++k) {
        const State_Assignment& sa = a.states[k];
        EXPECT_STREQ(sa.def->name, expected[k].name);
        EXPECT_EQ(sa.def->kind, expected[k].kind) << expected[k].name;
        EXPECT_EQ(sa.index, expected[k].index) << expected[k].name;
        if (sa.value.root >= 0) {
            double v;
            Evaluate(sa.value, p.desc, p.desc.defaults.data(), &v, 1);
            EXPECT_EQ(v, expected[k].value) << expected[k].name;
        }
    }
    // Values that read parameters are evaluated when the pass is applied.
    EXPECT_FALSE(a.states[4].value.Constant());
    EXPECT_FALSE(a.states[10].value.Constant());
    EXPECT_TRUE(a.states[2].value.Constant());
    EXPECT_EQ(a.states[11].object, p.desc.Find_Parameter("T"));
    EXPECT_EQ(a.states[12].object, p.desc.Find_Parameter("S"));

    // Shaders with their compile arguments; identical compiles are shared.
    ASSERT_GE(a.vertex_shader, 0);
    const Shader_Compile& vs = p.desc.shaders[static_cast<std::size_t>(a.vertex_shader)];
    EXPECT_EQ(vs.profile, "vs_2_0");
    EXPECT_EQ(vs.entry, "VS");
    ASSERT_EQ(vs.args.size(), 2u);
    EXPECT_EQ(vs.args[0], "Ref");
    EXPECT_EQ(vs.args[1], "true");
    const Pass& b = p.desc.techniques[0].passes[1];
    EXPECT_EQ(b.vertex_shader, p.Param("Shared_VS").shader);
    EXPECT_EQ(b.pixel_shader, -1);
    EXPECT_EQ(p.desc.techniques[1].passes[0].pixel_shader, a.pixel_shader);
    EXPECT_EQ(p.desc.shaders.size(), 4u);
    // Techniques never reach the compiler.
    EXPECT_EQ(p.desc.hlsl.text.find("technique"), std::string::npos);
}

TEST(Effect_Parser, CompilerSourceLinesMapBackToTheEffect) {
    const Parsed p =
        Parse("float4 a;\n\n/* c */\nfloat4 f()\n{\n  return a;\n}\ntechnique T { pass { } }\n");
    ASSERT_TRUE(p.ok) << p.errors;
    const std::string& text = p.desc.hlsl.text;
    // Line k of the compiler source comes from line_origins[k - 1].
    std::size_t line = 1, start = 0;
    bool found = false;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        const std::string l =
            text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (l.find("return") != std::string::npos) {
            EXPECT_EQ(p.desc.hlsl.line_origins[line - 1].second, 6u);
            found = true;
        }
        if (end == std::string::npos) break;
        start = end + 1;
        ++line;
    }
    EXPECT_TRUE(found);
    EXPECT_EQ(p.desc.hlsl.line_origins.size(), line);
}

// The assembler reads lines: each source line of the block is one, the
// profile stands alone, macros are expanded, ';' comments dropped, and every
// line remembers where it came from.
TEST(Effect_Parser, AsmBlocksBecomeLinesOfAssembly) {
    const Parsed p = Parse(
        "#define SCALE c4\n"
        "float4x4 M;\n"
        "technique T { pass P {\n"
        "  VertexShaderConstant4[0] = <M>;\n"
        "  PixelShaderConstantB[2] = true;\n"
        "  VertexShader = ASM { vs.1.0 dcl_position v0 ; position\n"
        "    mul r0, v0, SCALE  ; scaled\n"
        "    +mov oPos, r0.xyzw };\n"
        "} }");
    ASSERT_TRUE(p.ok) << p.errors;
    ASSERT_EQ(p.desc.shaders.size(), 1u);
    const Shader_Compile& sc = p.desc.shaders[0];
    EXPECT_EQ(sc.profile, "vs_1_1");
    EXPECT_EQ(sc.assembly, "vs_1_1\ndcl_position v0\nmul r0, v0, c4\n+mov oPos, r0.xyzw\n");
    ASSERT_EQ(sc.assembly_lines.size(), 4u);
    EXPECT_EQ(sc.assembly_lines[1].second, 6u);
    EXPECT_EQ(sc.assembly_lines[3].second, 8u);
    const Pass& pass = p.desc.techniques[0].passes[0];
    ASSERT_EQ(pass.states.size(), 3u);
    EXPECT_EQ(pass.states[0].def->kind, State_Kind::Shader_Constant);
    EXPECT_EQ(pass.states[0].object, p.desc.Find_Parameter("M"));
    EXPECT_EQ(Constant_Registers(pass.states[0].def->id), 4u);
    EXPECT_TRUE(Constant_Pixel(pass.states[1].def->id));
    EXPECT_EQ(Constant_File_Of(pass.states[1].def->id), Constant_File::Bool);
    EXPECT_EQ(pass.states[1].index, 2u);
}

TEST(Effect_Parser, ErrorsGiveFileLineAndReason) {
    struct Case {
        const char* source;
        const char* message;
    };
    const Case cases[] = {
        {"float a;\nfloat b\nfloat c;", "t.fx(3): error: expected ';' near 'float'"},
        {"\nfoo bar;", "t.fx(2): error: unknown type 'foo'"},
        {"technique T { pass P {\n  Zenabel = true; } }",
         "t.fx(2): error: unknown state 'Zenabel'"},
        {"technique T { pass P {\n  CullMode = Sideways; } }",
         "t.fx(2): error: unknown value 'Sideways' for state 'CULLMODE'"},
        {"technique T { pass P {\n\n  VertexShader = asm { ps_2_0 mov oC0, c0 }; } }",
         "t.fx(3): error: asm: profile 'ps_2_0' cannot be used for a vertex shader"},
        {"vertexshader v =\n asm { vs_4_0 };",
         "t.fx(2): error: asm: unsupported shader profile 'vs_4_0'"},
        {"pixelshader p = asm {\n};", "t.fx(1): error: empty asm block"},
        {"pixelshader p = asm { ps_2_0\n mov oC0, \"c0\" };",
         "t.fx(2): error: asm: unexpected '\"c0\"'"},
        {"technique T { pass P {\n  PixelShader = compile ps_2_0 Missing(); } }",
         "t.fx(2): error: undefined function 'Missing'"},
        {"float4 f() : COLOR { return 0; }\ntechnique T { pass P {\n  PixelShader = compile ps_9_9 "
         "f(); } }",
         "t.fx(3): error: unsupported shader profile 'ps_9_9'"},
        {"float4 f() : COLOR { return 0; }\ntechnique T { pass P {\n  VertexShader = compile "
         "ps_2_0 f(); } }",
         "t.fx(3): error: profile 'ps_2_0' cannot be used for a vertex shader"},
        {"float4 f(uniform float x) : COLOR { return x; }\ntechnique T { pass P {\n  PixelShader = "
         "compile ps_2_0 f(1, 2); } }",
         "t.fx(3): error: 'f' takes 1 uniform arguments, 2 given"},
        {"float a;\nfloat a;", "t.fx(2): error: redefinition of 'a'"},
        {"float4 v = {1, 2,\n 3};",
         "t.fx(1): error: initializer of 'v' has 3 values, float4 needs 4"},
        {"technique10 T { }", "t.fx(1): error: 'technique10' blocks are not supported"},
        {"texture T;\nsampler S = sampler_state {\n Texture = <U>; };",
         "t.fx(3): error: unknown texture 'U'"},
        {"sampler S = sampler_state {\n Wobble = 1; };",
         "t.fx(2): error: unknown sampler state 'Wobble'"},
        {"float x = g(1);", "t.fx(1): error: 'g' cannot be used in a constant expression"},
        {"int f(int a) { int b = a; return b; }\ntechnique T { pass P {\n CullMode = f(1); } }",
         "t.fx(3): error: 'f' cannot be used in a constant expression"},
        {"int f() { return f() + f(); }\ntechnique T { pass P {\n CullMode = f(); } }",
         "t.fx(3): error: 'f' cannot be used in a constant expression"},
        {"technique T { pass P { ZEnable = true; }",
         "error: unterminated technique at end of file"},
        {"float a[0];", "t.fx(1): error: array size must be 1 to 65536"},
        {"float a[];", "t.fx(1): error: array 'a' needs a size or an initializer list"},
        {"struct S { float a[]; };", "t.fx(1): error: member 'a' needs an array size"},
        {"float4 f() : COLOR { return 0;\n", "t.fx(1): error: unterminated body of function 'f'"},
        {"float v = {1,\n 2};", "t.fx(1): error: initializer of 'v' has 2 values, float needs 1"},
        {"cbuffer B { float x; };", "t.fx(1): error: 'cbuffer' is not supported"},
    };
    for (const Case& c : cases) {
        const Parsed p = Parse(c.source);
        EXPECT_FALSE(p.ok) << c.source;
        EXPECT_NE(p.errors.find(c.message), std::string::npos)
            << c.source << "\n got: " << p.errors;
    }
}

TEST(Effect_Parser, DeeplyNestedOrHugeInputFailsCleanly) {
    std::string deep = "float x = ";
    for (int k = 0; k < 5000; ++k) deep += "(";
    deep += "1";
    for (int k = 0; k < 5000; ++k) deep += ")";
    deep += ";";
    const Parsed a = Parse(deep);
    EXPECT_FALSE(a.ok);
    EXPECT_NE(a.errors.find("too deeply nested"), std::string::npos);

    const Parsed b = Parse("float big[99999999];");
    EXPECT_FALSE(b.ok);
    const Parsed c = Parse(
        "float4 huge[65536]; float4 more[65536]; float4 again[65536]; float4 x[65536];"
        "float4 y[65536];");
    EXPECT_FALSE(c.ok);
    EXPECT_NE(c.errors.find("parameters too large"), std::string::npos);
}

}  // namespace

namespace {

// Cut and damaged versions of every corpus file: each must parse or fail
// with a message, never crash or hang.
TEST(Effect_Parser, DamagedCorpusFilesFailCleanly) {
    const char* files[] = {"annotations.fx", "initializers.fx", "pass_objects.fx",  "passes.fx",
                           "pp_macros.fx",   "probe.fx",        "render_states.fx", "samplers.fx",
                           "shader_args.fx", "shader_io.fx",    "textures.fx",      "types.fx"};
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    for (const char* name : files) {
        std::string text;
        ASSERT_TRUE(Read_Effect_File(std::string(QM_SOURCE_DIR) + "/tests/fx/" + name, &text))
            << name;
        for (int round = 0; round < 40; ++round) {
            std::string damaged = text.substr(0, next() % (text.size() + 1));
            if (round % 2) {
                damaged = text;
                const char junk[] = "{}()<>;=,\"'#/*\\\n\0x1";
                for (int k = 0; k < 4; ++k)
                    damaged[next() % damaged.size()] = junk[next() % (sizeof junk - 1)];
            }
            const Parsed p = Parse(damaged);
            if (p.ok) continue;
            EXPECT_NE(p.errors.find("error:"), std::string::npos) << name << " round " << round;
        }
    }
}

}  // namespace
