// The effect corpus under tests/fx: one file or more per construct of the
// effect syntax, each compiling on the headless device or failing with the
// expected message; and the quillmoor-fx tool run over the same files.
#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <string>

#include "effect_test_util.h"
#include "platform/d3dx9/effect_inspect.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

struct Corpus_File {
    const char* name;
    const char* error;  // null: compiles; else a message the failure must contain
};

const Corpus_File k_corpus[] = {
    {"pp_macros.fx", nullptr},
    {"includes.fx", nullptr},
    {"storage_classes.fx", nullptr},
    {"types.fx", nullptr},
    {"annotations.fx", nullptr},
    {"initializers.fx", nullptr},
    {"textures.fx", nullptr},
    {"render_states.fx", nullptr},
    {"pass_objects.fx", nullptr},
    {"shader_args.fx", nullptr},
    {"profiles.fx", nullptr},
    {"techniques.fx", nullptr},
    {"shader_io.fx", nullptr},
    {"row_major.fx", nullptr},
    {"samplers.fx", nullptr},
    {"passes.fx", nullptr},
    {"probe.fx", nullptr},
    {"main_function.fx", nullptr},
    {"glslang_gaps.fx", nullptr},
    {"err_syntax.fx", "err_syntax.fx(3): error: expected ';' near 'float'"},
    {"err_missing_include.fx",
     "err_missing_include.fx(4): error: cannot open include file 'not_there.fxh'"},
    {"err_asm.fx", "err_asm.fx(11): error: asm: Unknown instruction 'frob'"},
    {"err_undefined_function.fx",
     "err_undefined_function.fx(9): error: undefined function 'Nowhere_PS'"},
    {"err_hlsl.fx", "err_hlsl.fx(11): error: 'undeclared_thing' : unknown variable"},
    {"err_hlsl_include.fx",
     "include/broken.fxh(5): error: 'wzyx' : vector swizzle selection out of range"},
    {"err_unknown_state.fx", "err_unknown_state.fx(6): error: unknown state 'AlphaBlendEnabled'"},
    {"err_state_value.fx",
     "err_state_value.fx(5): error: unknown value 'SourceAlpha' for state 'SRCBLEND'"},
    {"err_no_position.fx",
     "err_no_position.fx(6): error: 'Main_VS': a vertex shader must write POSITION"},
    {"err_semantic.fx",
     "err_semantic.fx(17): error: 'Main_VS': vertex output semantic 'BLENDWEIGHT0' is not "
     "supported"},
    {"err_profile.fx", "err_profile.fx(5): error: unsupported shader profile 'ps_4_0'"},
    {"err_arguments.fx",
     "err_arguments.fx(7): error: 'Tint_PS' takes 1 uniform arguments, 0 given"},
    {"err_directive.fx", "err_directive.fx(3): error: #error this effect needs version 2"},
};

class Effect_Corpus : public ::testing::TestWithParam<Corpus_File> {};

TEST_P(Effect_Corpus, CompilesOrFailsWithItsMessage) {
    const Corpus_File& c = GetParam();
    Test_Device dev(32, 32);
    ASSERT_TRUE(dev.Ok()) << dev.Error();
    std::string errors;
    HRESULT hr = S_OK;
    ::testing::internal::CaptureStderr();
    ID3DXEffect* fx = Load_Effect(dev.device, Fx_Corpus(c.name), &errors, &hr);
    const std::string err_stream = ::testing::internal::GetCapturedStderr();
    if (!c.error) {
        ASSERT_NE(fx, nullptr) << errors;
        EXPECT_EQ(hr, D3D_OK);
        // Every technique can be selected and every pass applied and drawn.
        const qm_fx::Effect_Desc* desc = qm_fx::Effect_Description(fx);
        ASSERT_NE(desc, nullptr);
        for (const qm_fx::Technique& t : desc->techniques) {
            const D3DXHANDLE h = fx->GetTechniqueByName(t.name.c_str());
            ASSERT_NE(h, nullptr) << t.name;
            ASSERT_EQ(fx->SetTechnique(h), D3D_OK) << t.name;
            dev.device->BeginScene();
            EXPECT_EQ(Draw_Effect(dev.device, fx), t.passes.size()) << t.name;
            dev.device->EndScene();
        }
        fx->Release();
        return;
    }
    EXPECT_EQ(fx, nullptr);
    EXPECT_LT(hr, 0);
    EXPECT_NE(errors.find(c.error), std::string::npos) << "got: " << errors;
    // The same message goes to stderr.
    EXPECT_NE(err_stream.find(c.error), std::string::npos) << "stderr: " << err_stream;
}

INSTANTIATE_TEST_SUITE_P(Files, Effect_Corpus, ::testing::ValuesIn(k_corpus),
                         [](const ::testing::TestParamInfo<Corpus_File>& info) {
                             std::string n = info.param.name;
                             for (char& ch : n)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return n;
                         });

// The tool is built beside the tests: <build>/tools/quillmoor-fx.
std::string Tool_Path() {
    char self[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return {};
    std::string dir(self, static_cast<std::size_t>(n));
    dir = dir.substr(0, dir.find_last_of('/'));
    return dir + "/../tools/quillmoor-fx";
}

Process_Result Run_Tool(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {Tool_Path()};
    argv.insert(argv.end(), args.begin(), args.end());
    Process_Options options;
    options.Timeout_Seconds = 120;
    return Run_Process(argv, options);
}

TEST(Effect_Tool, ListsOrReportsEveryCorpusFile) {
    ASSERT_EQ(access(Tool_Path().c_str(), X_OK), 0) << "quillmoor-fx not built at " << Tool_Path();
    for (const Corpus_File& c : k_corpus) {
        const Process_Result r = Run_Tool({Fx_Corpus(c.name)});
        if (!c.error) {
            EXPECT_EQ(r.Exit_Code, 0) << c.name << "\n" << r.Err;
            EXPECT_NE(r.Out.find(": compiled"), std::string::npos) << c.name;
            EXPECT_NE(r.Out.find("technique "), std::string::npos) << c.name;
        } else {
            EXPECT_EQ(r.Exit_Code, 1) << c.name;
            EXPECT_NE(r.Err.find(c.error), std::string::npos) << c.name << "\n" << r.Err;
        }
    }
}

TEST(Effect_Tool, ListsTechniquesPassesStatesAndParameters) {
    const Process_Result r = Run_Tool({Fx_Corpus("annotations.fx")});
    ASSERT_EQ(r.Exit_Code, 0) << r.Err;
    const char* expected[] = {
        "1 technique(s), 7 parameter(s)",
        "technique Main < string Script = \"Pass=p0;\"; >",
        "  pass p0 < string Script = \"Draw=geometry;\"; >",
        "    VertexShader = compile vs_2_0 std_VS()",
        "    ZFunc = LessEqual",
        "    CullMode = None",
        "    PixelShader = compile ps_2_a std_PS()",
        "    sampler Color_Sampler -> stage 0",
        "  float Script : STANDARDSGLOBAL < string UIWidget = \"none\";",
        "  float4 Lamp_Pos : POSITION < string Object = \"PointLight0\"; string UIName = \"Lamp 0 "
        "Position\"; "
        "string Space = (\"World\"); > = {-0.5, 2, 1.25, 1}",
        "  float3 Lamp_Color : SPECULAR < string UIName = \"Lamp Color\"; string UIWidget = "
        "\"Color\"; > = {1, 1, 1}",
        "  float Spec_Power < string UIWidget = \"slider\"; float UIMin = 1.0;",
        "> = 55",
        "  texture Color_Texture : DIFFUSE < string ResourceName = \"default_color.dds\";",
        "  sampler2D Color_Sampler = sampler_state { Texture = <Color_Texture>; MinFilter = "
        "Linear;",
    };
    for (const char* line : expected)
        EXPECT_NE(r.Out.find(line), std::string::npos) << line << "\n" << r.Out;
}

TEST(Effect_Tool, OptionsHelpMacrosAndUnknownTechnique) {
    Process_Result r = Run_Tool({"--help"});
    EXPECT_EQ(r.Exit_Code, 0);
    EXPECT_NE(r.Out.find("usage: quillmoor-fx"), std::string::npos);
    r = Run_Tool({});
    EXPECT_EQ(r.Exit_Code, 1);
    r = Run_Tool({"--frobnicate", Fx_Corpus("techniques.fx")});
    EXPECT_EQ(r.Exit_Code, 1);
    r = Run_Tool({Fx_Corpus("does_not_exist.fx")});
    EXPECT_EQ(r.Exit_Code, 1);
    EXPECT_NE(r.Err.find("cannot open effect file"), std::string::npos) << r.Err;

    r = Run_Tool({"--technique", "Second", Fx_Corpus("techniques.fx")});
    EXPECT_EQ(r.Exit_Code, 0) << r.Err;
    EXPECT_NE(r.Out.find("technique Second"), std::string::npos);
    EXPECT_EQ(r.Out.find("technique First"), std::string::npos);
    r = Run_Tool({"--technique", "Nope", Fx_Corpus("techniques.fx")});
    EXPECT_EQ(r.Exit_Code, 1);
    EXPECT_NE(r.Err.find("error: unknown technique 'Nope'"), std::string::npos) << r.Err;

    // -D defines a macro as D3DXMACRO would: here it switches an #error on.
    r = Run_Tool({"-D", "FORCE_ERROR", Fx_Corpus("pp_macros.fx")});
    EXPECT_EQ(r.Exit_Code, 1);
    EXPECT_NE(r.Err.find("pp_macros.fx(20): error: #error forced by a macro definition"),
              std::string::npos)
        << r.Err;
    r = Run_Tool({"-DNO_SPECULAR=1", Fx_Corpus("pp_macros.fx")});
    EXPECT_EQ(r.Exit_Code, 0) << r.Err;
}

}  // namespace

namespace {

// Damaged copies of corpus files through the whole creation path (parser,
// wrapper, HLSL compiler, GLSL): a result either way, never a crash.
TEST(Effect_Corpus_Damage, DamagedFilesCompileOrFailWithAMessage) {
    Test_Device dev(16, 16);
    ASSERT_TRUE(dev.Ok()) << dev.Error();
    Temp_Dir dir(false);
    const char* files[] = {"passes.fx", "shader_io.fx", "textures.fx", "types.fx",
                           "shader_args.fx"};
    std::uint32_t seed = 777;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    int failures = 0;
    for (const char* name : files) {
        std::string text;
        ASSERT_TRUE(qm_fx::Read_Effect_File(Fx_Corpus(name), &text));
        for (int round = 0; round < 12; ++round) {
            std::string damaged = text;
            // Damage inside the shader code too: swap, drop or double characters.
            for (int k = 0; k < 3; ++k) {
                const std::size_t at = next() % damaged.size();
                switch (next() % 3) {
                case 0: damaged.erase(at, 1 + next() % 8); break;
                case 1:
                    damaged.insert(at, damaged.substr(next() % damaged.size(), 1 + next() % 6));
                    break;
                default: damaged[at] = "+-*/.,;(){}[]xyzw01"[next() % 19];
                }
            }
            const std::string file = "d_" + std::to_string(round) + "_" + name;
            dir.Write(file, damaged);
            std::string errors;
            HRESULT hr = S_OK;
            ::testing::internal::CaptureStderr();
            ID3DXEffect* fx = Load_Effect(dev.device, dir.Path() + "/" + file, &errors, &hr);
            ::testing::internal::GetCapturedStderr();
            if (fx) {
                fx->Release();
                continue;
            }
            ++failures;
            EXPECT_LT(hr, 0);
            EXPECT_NE(errors.find(file + "("), std::string::npos) << errors;
        }
    }
    EXPECT_GT(failures, 0);
}

}  // namespace
