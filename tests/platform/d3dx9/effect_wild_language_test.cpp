// The effect language as the files of its era write it
// (tests/fx/wild_language.fx): register bindings with brackets, expressions
// and targets; state values that are bare parameter names, Direct3D
// enumerator names, matrix expressions or expressions over parameters
// evaluated when the pass is applied; shared and unsized arrays; compile
// with uniform arguments and profiles from macros; unnamed techniques and
// passes. Each draws the value it computes.
#include <gtest/gtest.h>

#include "effect_test_util.h"

namespace {

class Effect_Wild_Language : public Effect_File_Test {
protected:
    Effect_Wild_Language() : Effect_File_Test("wild_language.fx") {}

    // A 1x1 texture of (0.25, 0.75, 0.5) set to `parameter`.
    void Set_Texture(const char* parameter) {
        IDirect3DTexture9* tex = nullptr;
        ASSERT_EQ(
            dev.device->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr),
            D3D_OK);
        D3DLOCKED_RECT r;
        ASSERT_EQ(tex->LockRect(0, &r, nullptr, 0), D3D_OK);
        *static_cast<DWORD*>(r.pBits) = 0xFF40C080;
        tex->UnlockRect(0);
        ASSERT_EQ(fx->SetTexture(parameter, tex), D3D_OK);
        tex->Release();
    }
};

TEST_F(Effect_Wild_Language, RegisterBindingsWithBracketsExpressionsAndTargets) {
    // Tint * Scale * k + Bias * level, k and level from the compile arguments.
    Render("Registers");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.5f, 0.5f, 0.375f);

    // register(s[1]) puts the sampler on stage 1.
    Set_Texture("Reg_Tex");
    Render_With("Sampler_Register", [this] {
        IDirect3DBaseTexture9* bound = nullptr;
        dev.device->GetTexture(1, &bound);
        EXPECT_NE(bound, nullptr);
        if (bound) bound->Release();
        Draw_Clip_Rect(dev.device);
    });
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.25f, 0.75f, 0.5f);
}

TEST_F(Effect_Wild_Language, SharedAndUnsizedParametersAndUniformArguments) {
    Render("Shared_And_Unsized");  // Table[1]
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.75f, 0.5f, 0.25f);
    Render("Unsized_Flat");  // Flat * Shared_Color * 2
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.125f, 0.1875f, 0.15625f);
    const D3DXVECTOR4 doubled(1, 0.5f, 0.25f, 1);
    ASSERT_EQ(fx->SetVector("Shared_Color", &doubled), D3D_OK);
    Render("Unsized_Flat");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.25f, 0.375f, 0.3125f);
}

TEST_F(Effect_Wild_Language, StateExpressionsFollowTheirParameters) {
    Render("Culled");  // Cull_All false: CullMode = 1 (none)
    EXPECT_PIXEL_NEAR(dev, 8, 8, 1.0f, 0.5f, 0.25f);
    ASSERT_EQ(fx->SetBool("Cull_All", TRUE), D3D_OK);
    Render("Culled");  // D3DCULL_CW: the clockwise quad is culled
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.0f, 0.0f, 0.0f);

    // CullMode = Cull_For(Cull_All): 2 (clockwise) for true ...
    Render("Function_State");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.0f, 0.0f, 0.0f);
    ASSERT_EQ(fx->SetBool("Cull_All", FALSE), D3D_OK);
    Render("Function_State");  // ... 1 (none) otherwise,
    EXPECT_PIXEL_NEAR(dev, 8, 8, 1.0f, 0.5f, 0.25f);
    ASSERT_EQ(fx->SetFloat("Ref_Level", 3.0f), D3D_OK);
    Render("Function_State");  // 2 past the first if,
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.0f, 0.0f, 0.0f);
    D3DXMATRIX far_away(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 20, 1);
    ASSERT_EQ(fx->SetMatrix("Placement", &far_away), D3D_OK);
    Render("Function_State");  // and 3 (counter-clockwise) from the matrix's last row.
    EXPECT_PIXEL_NEAR(dev, 8, 8, 1.0f, 0.5f, 0.25f);
    ASSERT_EQ(fx->SetFloat("Ref_Level", 0.75f), D3D_OK);
    ASSERT_EQ(fx->SetBool("Cull_All", TRUE), D3D_OK);

    // AlphaRef = Threshold: alpha 0.5 passes 100 and fails 200.
    Render("Alpha_Tested");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 1.0f, 0.5f, 0.25f);
    ASSERT_EQ(fx->SetInt("Threshold", 200), D3D_OK);
    Render("Alpha_Tested");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.0f, 0.0f, 0.0f);

    // AlphaRef = (int)clamp(lerp(0, 255, Ref_Level), 0, 255), and the test
    // enabled while !Cull_All (true above).
    Render("Alpha_Ref_Expression");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 1.0f, 0.5f, 0.25f);
    ASSERT_EQ(fx->SetBool("Cull_All", FALSE), D3D_OK);
    Render("Alpha_Ref_Expression");  // 191 > 128
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.0f, 0.0f, 0.0f);
    ASSERT_EQ(fx->SetFloat("Ref_Level", 0.25f), D3D_OK);
    Render("Alpha_Ref_Expression");  // 63 < 128
    EXPECT_PIXEL_NEAR(dev, 8, 8, 1.0f, 0.5f, 0.25f);

    // D3DBLEND_SRCALPHA / D3DBLEND_INVSRCALPHA over blue.
    Render("Blended", D3DCOLOR_XRGB(0, 0, 255));
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.5f, 0.25f, 0.625f);
}

TEST_F(Effect_Wild_Language, FixedFunctionPassOfAnUnnamedTechnique) {
    // The first technique, current from the start, has no name.
    Set_Texture("Fixed_Tex");
    dev.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    dev.device->BeginScene();
    EXPECT_EQ(Draw_Effect(dev.device, fx), 1u);
    dev.device->EndScene();
    ASSERT_TRUE(dev.Capture());
    // WorldTransform[0] = Shrink halves the quad; the texture fills it.
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.25f, 0.75f, 0.5f);
    EXPECT_PIXEL_NEAR(dev, 1, 1, 0.0f, 0.0f, 0.0f);
}

}  // namespace
