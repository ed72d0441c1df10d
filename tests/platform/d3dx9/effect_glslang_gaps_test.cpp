// HLSL that glslang crashes on unless the front end rewrites it first:
// statics whose initializers call functions, and swizzles of several matrix
// elements. The values drawn must be the ones the HLSL asks for; what
// glslang reports as missing functionality fails the effect instead.
#include <gtest/gtest.h>

#include "effect_test_util.h"
#include "support/temp_dir.h"

namespace {

class Effect_Glslang_Gaps : public Effect_File_Test {
protected:
    Effect_Glslang_Gaps() : Effect_File_Test("glslang_gaps.fx") {}
};

TEST_F(Effect_Glslang_Gaps, StaticsInitializedByCallsHoldTheirValues) {
    Render("Statics");
    // V = (0.75, Scale, 0.25), W = V.y * 1, K = 0.125.
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.75f, 0.5f, 0.375f);

    // The initializers run with the parameters of the draw, in order.
    ASSERT_EQ(fx->SetFloat("Scale", 0.25f), D3D_OK);
    Render("Statics");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.75f, 0.25f, 0.375f);
}

TEST_F(Effect_Glslang_Gaps, MatrixSwizzlesReadTheElementsNamed) {
    D3DXMATRIX m(0.1f, 0.6f, 0.0f, 0.0f, 0.2f, 0.7f, 0.0f, 0.0f, 0.3f, 0.0f, 0.9f, 0.0f, 0.4f, 0.0f,
                 0.0f, 0.8f);
    ASSERT_EQ(fx->SetMatrix("M", &m), D3D_OK);
    Render("Swizzles");
    const float r = 0.5f * 0.1f + 0.25f * 0.2f + 0.125f * 0.3f + 0.125f * 0.4f;  // _11_21_31_41
    const float g = 0.5f * 0.6f + 0.25f * 0.7f;                                  // _m01_m11
    const float b = 0.1f + 2 * 0.2f;  // transpose(M)._11_12 = M._11, M._21
    EXPECT_PIXEL_NEAR(dev, 8, 8, r, g, b);
    EXPECT_NEAR(Pixel_F(dev, 8, 8).a, 0.8f, 1.5 / 255);  // Get()._44_33 .x
}

TEST(Effect_Glslang_Gaps_Errors, MissingFunctionalityFailsTheEffect) {
    Test_Device dev{16, 16};
    ASSERT_TRUE(dev.Ok()) << dev.Error();
    // `compile` arguments go to glslang as written.
    Temp_Dir dir(false);
    dir.Write("gap.fx",
              "float4x4 M;\n"
              "float4 VS(float4 p : POSITION) : POSITION { return p; }\n"
              "float4 PS(uniform float2 k) : COLOR { return k.xyxy; }\n"
              "technique T { pass P {\n"
              "    VertexShader = compile vs_2_0 VS();\n"
              "    PixelShader = compile ps_2_0 PS(M._11_22); } }\n");
    std::string errors;
    ID3DXEffect* fx = Load_Effect(dev.device, dir.Path() + "/gap.fx", &errors);
    EXPECT_EQ(fx, nullptr);
    if (fx) fx->Release();
    EXPECT_EQ(errors.rfind(dir.Path() + "/gap.fx(6): error: ", 0), 0u) << errors;
    EXPECT_NE(errors.find("Missing functionality"), std::string::npos) << errors;
}

}  // namespace
