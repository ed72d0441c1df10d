// Faults of the shader compiler libraries happen in the compile worker: a
// crash, an endless compile or a runaway allocation there fails the effect
// with a message at its `compile` line, and this process goes on (and can
// compile the next effect). The faults are made on purpose through the
// worker's test hook.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <unistd.h>
#include <vector>

#include "effect_test_util.h"
#include "platform/fx/compile/compiler.h"
#include "platform/fx/compile/isolation.h"
#include "support/temp_dir.h"

namespace {

// Each test compiles its own source text (`tag` makes it unique), so that no
// earlier compile of this process answers from the caches.
std::string Effect_Text(const std::string& tag) {
    return "float4 Color = float4(0.25, 0.5, 0.75, 1);\n"
           "float4 VS(float4 p : POSITION) : POSITION { return p; }\n"
           "float4 PS() : COLOR { return Color * " +
           tag +
           "; }\n"
           "technique T\n"
           "{\n"
           "    pass P\n"
           "    {\n"
           "        VertexShader = compile vs_2_0 VS();\n"
           "        PixelShader = compile ps_2_0 PS();\n"
           "    }\n"
           "}\n";
}

void Crash() {
    std::raise(SIGSEGV);
}
void Hang() {
    for (;;) pause();
}
void Allocate_Too_Much() {
    std::vector<char> v(std::size_t{16} << 30, 1);
    std::_Exit(v[v.size() / 2]);  // not reached under the limit
}

class Effect_Isolation : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dev.Ok()) << dev.Error(); }
    void TearDown() override {
        qm_fx::Set_Compile_Child_Hook(nullptr);
        qm_fx::Compile_Limits() = saved;
    }

    // Loads the effect from a file; null with the messages on failure.
    ID3DXEffect* Load(const std::string& tag, std::string* errors) {
        dir.Write("fault.fx", Effect_Text(tag));
        return Load_Effect(dev.device, dir.Path() + "/fault.fx", errors);
    }

    // The unharmed process still compiles and draws.
    void Expect_Compiles_And_Draws(const std::string& tag) {
        std::string errors;
        ID3DXEffect* fx = Load(tag, &errors);
        ASSERT_NE(fx, nullptr) << errors;
        dev.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        dev.device->BeginScene();
        EXPECT_EQ(Draw_Effect(dev.device, fx), 1u);
        dev.device->EndScene();
        ASSERT_TRUE(dev.Capture());
        EXPECT_PIXEL_NEAR(dev, 8, 8, 0.25f, 0.5f, 0.75f);
        fx->Release();
    }

    Test_Device dev{16, 16};
    Temp_Dir dir{false};
    qm_fx::Isolation_Limits saved = qm_fx::Compile_Limits();
};

TEST_F(Effect_Isolation, ACrashInTheCompilerFailsTheEffectAndIsNotRepeated) {
    qm_fx::Set_Compile_Child_Hook(Crash);
    const std::uint64_t failures = qm_fx::Worker_Failure_Count();
    std::string errors;
    EXPECT_EQ(Load("1.0", &errors), nullptr);
    EXPECT_EQ(qm_fx::Worker_Failure_Count(), failures + 1);
    // The message points at the first `compile` of the pass.
    EXPECT_NE(errors.find("fault.fx(8): error: 'VS': the shader compiler crashed (signal 11"),
              std::string::npos)
        << errors;

    // The same source is not handed to the compiler again: it fails at once,
    // with the same message, even though the compiler would now get through.
    qm_fx::Set_Compile_Child_Hook(nullptr);
    const std::uint64_t translations = qm_fx::Shader_Translation_Count();
    std::string again;
    EXPECT_EQ(Load("1.0", &again), nullptr);
    EXPECT_EQ(again, errors);
    EXPECT_EQ(qm_fx::Shader_Translation_Count(), translations);

    // A new worker compiles the next source.
    Expect_Compiles_And_Draws("1.00");
}

TEST_F(Effect_Isolation, AnEndlessCompileIsCutOffAtTheTimeLimit) {
    qm_fx::Compile_Limits().time = std::chrono::milliseconds(500);
    qm_fx::Set_Compile_Child_Hook(Hang);
    const std::uint64_t failures = qm_fx::Worker_Failure_Count();
    std::string errors;
    EXPECT_EQ(Load("1.000", &errors), nullptr);
    EXPECT_EQ(qm_fx::Worker_Failure_Count(), failures + 1);
    EXPECT_NE(
        errors.find("fault.fx(8): error: 'VS': the shader compiler did not finish within 500 ms"),
        std::string::npos)
        << errors;

    qm_fx::Set_Compile_Child_Hook(nullptr);
    Expect_Compiles_And_Draws("1.0000");
}

TEST_F(Effect_Isolation, ARunawayAllocationIsStoppedByTheMemoryLimit) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's shadow memory rules out an address-space limit";
#endif
    qm_fx::Set_Compile_Child_Hook(Allocate_Too_Much);
    std::string errors;
    EXPECT_EQ(Load("1.00000", &errors), nullptr);
    EXPECT_NE(errors.find("fault.fx(8): error: 'VS': the shader compiler failed: out of memory"),
              std::string::npos)
        << errors;

    qm_fx::Set_Compile_Child_Hook(nullptr);
    Expect_Compiles_And_Draws("1.000000");
}

TEST_F(Effect_Isolation, InstancesAndIdenticalSourcesShareOneWorkerAndOneTranslation) {
    // The first compile may start the worker; after that, new sources reuse
    // it, and a source seen before is not translated again.
    Expect_Compiles_And_Draws("1.0000000");
    const std::uint64_t starts = qm_fx::Worker_Start_Count();
    const std::uint64_t translations = qm_fx::Shader_Translation_Count();
    Expect_Compiles_And_Draws("1.0000000");
    EXPECT_EQ(qm_fx::Shader_Translation_Count(), translations);
    Expect_Compiles_And_Draws("1.00000000");
    EXPECT_EQ(qm_fx::Shader_Translation_Count(), translations + 2);  // its VS and PS
    EXPECT_EQ(qm_fx::Worker_Start_Count(), starts);
}

}  // namespace
