// Constructs of Direct3D 9 effect files met in the wild: each draws the
// value the HLSL asks for, or fails with a message that says why.
#include <gtest/gtest.h>

#include "effect_test_util.h"
#include "support/temp_dir.h"

namespace {

class Effect_Real_World : public Effect_File_Test {
protected:
    Effect_Real_World() : Effect_File_Test("real_world.fx") {}
};

TEST_F(Effect_Real_World, CentroidSemanticsLinkToTheirRegister) {
    Render("Centroid");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.125f, 0.375f, 0.625f);
}

TEST_F(Effect_Real_World, AMatrixPassesFromVertexToPixelShaderRowByRow) {
    Render("Matrix_Varying");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.125f, 0.5f, 0.875f);
}

TEST_F(Effect_Real_World, ArrayInitializersFlatAndBracedWithCalls) {
    // float4 Rows[3] from twelve scalars: Rows[1] = (0.5, 0.25, 0, 1).
    Render("Flat");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.5f, 0.25f, 0.0f);
    const D3DXVECTOR4 rows[3] = {{0, 0, 0, 1}, {0.125f, 0.75f, 1, 1}, {0, 0, 0, 1}};
    ASSERT_EQ(fx->SetValue("Rows", rows, sizeof rows), D3D_OK);
    Render("Flat");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.125f, 0.75f, 1.0f);

    // Pair[1] + Pair[0] / 2 with Scale = 0.5: (0.25 + 0.25, 0.5, 0.125).
    Render("Statics");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.5f, 0.5f, 0.125f);
    ASSERT_EQ(fx->SetFloat("Scale", 0.25f), D3D_OK);
    Render("Statics");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.375f, 0.25f, 0.125f);
}

TEST_F(Effect_Real_World, TypeKeywordsInOtherCasesAndLineAsAName) {
    // "Matrix Tint" is a float4x4 parameter; "Float4(...)" a constructor.
    D3DXMATRIX m;
    D3DXMatrixScaling(&m, 0.5f, 1.0f, 0.5f);
    ASSERT_EQ(fx->SetMatrix("Tint", &m), D3D_OK);
    Render("Keywords");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.125f, 0.5f, 0.375f);

    Render("Line");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.375f, 0.75f, 0.0f);
}

TEST_F(Effect_Real_World, AnyAndAllTakeScalarsAndVectors) {
    Render("Any_All");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 1.0f, 0.25f, 0.5f);
    ASSERT_EQ(fx->SetFloat("Half", 0.0f), D3D_OK);
    Render("Any_All");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.0f, 0.25f, 0.0f);
}

TEST_F(Effect_Real_World, StateValuesNamingAParameterTakeItsCurrentValue) {
    const auto states_in_pass = [this](DWORD* min_filter, DWORD* cull) {
        UINT passes = 0;
        ASSERT_EQ(fx->SetTechnique("Referenced_States"), D3D_OK);
        ASSERT_EQ(fx->Begin(&passes, 0), D3D_OK);
        ASSERT_EQ(fx->BeginPass(0), D3D_OK);
        dev.device->GetSamplerState(0, D3DSAMP_MINFILTER, min_filter);
        dev.device->GetRenderState(D3DRS_CULLMODE, cull);
        fx->EndPass();
        fx->End();
    };
    DWORD min_filter = 0, cull = 0;
    states_in_pass(&min_filter, &cull);
    EXPECT_EQ(min_filter, DWORD(D3DTEXF_POINT));
    EXPECT_EQ(cull, DWORD(D3DCULL_NONE));

    ASSERT_EQ(fx->SetInt("Min_Filter", D3DTEXF_LINEAR), D3D_OK);
    ASSERT_EQ(fx->SetInt("Cull", D3DCULL_CCW), D3D_OK);
    states_in_pass(&min_filter, &cull);
    EXPECT_EQ(min_filter, DWORD(D3DTEXF_LINEAR));
    EXPECT_EQ(cull, DWORD(D3DCULL_CCW));
}

// HLSL with `count` texture/sampler pairs; the pixel shader reads them all
// and returns the last one's texel plus Others times the sum of the rest.
std::string Many_Samplers_Effect(int count, bool vertex_sampler) {
    std::string fx = "float Others = 0;\n";
    std::string sum = "0";
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        fx +=
            "texture T" + n + "; sampler S" + n + " = sampler_state { Texture = <T" + n + ">; };\n";
        if (i + 1 < count) sum += " + tex2D(S" + n + ", 0.5)";
    }
    fx += "texture VT; sampler VS_Sampler = sampler_state { Texture = <VT>; };\n";
    fx += vertex_sampler ? "float4 VS(float4 p : POSITION) : POSITION { return p + "
                           "tex2Dlod(VS_Sampler, 0) * Others; }\n"
                         : "float4 VS(float4 p : POSITION) : POSITION { return p; }\n";
    fx += "float4 PS() : COLOR { return tex2D(S" + std::to_string(count - 1) + ", 0.5) + (" + sum +
          ") * Others; }\n";
    fx +=
        "technique T { pass P { VertexShader = compile vs_3_0 VS(); PixelShader = compile ps_3_0 "
        "PS(); } }\n";
    return fx;
}

TEST(Effect_Real_World_Samplers, APixelShaderReadsSixteenSamplers) {
    Test_Device dev{16, 16};
    ASSERT_TRUE(dev.Ok()) << dev.Error();
    Temp_Dir dir(false);
    dir.Write("sixteen.fx", Many_Samplers_Effect(16, false));
    std::string errors;
    ID3DXEffect* fx = Load_Effect(dev.device, dir.Path() + "/sixteen.fx", &errors);
    ASSERT_NE(fx, nullptr) << errors;

    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(
        dev.device->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr),
        D3D_OK);
    D3DLOCKED_RECT r;
    ASSERT_EQ(tex->LockRect(0, &r, nullptr, 0), D3D_OK);
    *static_cast<DWORD*>(r.pBits) = 0xFF4080C0;  // (0.25, 0.5, 0.75)
    tex->UnlockRect(0);
    ASSERT_EQ(fx->SetTexture("T15", tex), D3D_OK);

    dev.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    dev.device->BeginScene();
    UINT passes = 0;
    ASSERT_EQ(fx->Begin(&passes, 0), D3D_OK);
    ASSERT_EQ(fx->BeginPass(0), D3D_OK);
    // The sixteenth sampler sits on the last stage.
    IDirect3DBaseTexture9* bound = nullptr;
    dev.device->GetTexture(15, &bound);
    EXPECT_EQ(bound, static_cast<IDirect3DBaseTexture9*>(tex));
    if (bound) bound->Release();
    Draw_Clip_Rect(dev.device);
    fx->EndPass();
    fx->End();
    dev.device->EndScene();
    ASSERT_TRUE(dev.Capture());
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.25f, 0.5f, 0.75f);
    fx->Release();
    tex->Release();
}

TEST(Effect_Real_World_Samplers, PixelSamplersOnTheVertexStagesAreRefusedBesideAVertexSampler) {
    Test_Device dev{16, 16};
    ASSERT_TRUE(dev.Ok()) << dev.Error();
    Temp_Dir dir(false);
    dir.Write("clash.fx", Many_Samplers_Effect(13, true));
    std::string errors;
    EXPECT_EQ(Load_Effect(dev.device, dir.Path() + "/clash.fx", &errors), nullptr);
    EXPECT_NE(
        errors.find("pixel sampler 'S12' on stage 12 collides with the vertex shader's samplers"),
        std::string::npos)
        << errors;

    // Twelve pixel samplers leave the vertex stages free.
    dir.Write("fits.fx", Many_Samplers_Effect(12, true));
    ID3DXEffect* fx = Load_Effect(dev.device, dir.Path() + "/fits.fx", &errors);
    EXPECT_NE(fx, nullptr) << errors;
    if (fx) fx->Release();
}

TEST(Effect_Real_World_Errors, AWriteToAParameterTheCompilerCannotFollowIsRefusedWithAReason) {
    // Written parameters become private copies (effect_shader_code_test);
    // a write through parentheses is not recognised as one.
    Test_Device dev{16, 16};
    ASSERT_TRUE(dev.Ok()) << dev.Error();
    Temp_Dir dir(false);
    dir.Write("writes.fx",
              "float4 G;\n"
              "float4 VS(float4 p : POSITION) : POSITION { return p; }\n"
              "float4 PS() : COLOR\n"
              "{\n"
              "    (G) = 1;\n"
              "    return G;\n"
              "}\n"
              "technique T { pass P { VertexShader = compile vs_2_0 VS(); PixelShader = compile "
              "ps_2_0 PS(); } }\n");
    std::string errors;
    EXPECT_EQ(Load_Effect(dev.device, dir.Path() + "/writes.fx", &errors), nullptr);
    EXPECT_NE(errors.find("writes.fx(5): error: the shader writes to a parameter"),
              std::string::npos)
        << errors;
}

}  // namespace
