// Rendering tests of effects on the headless device: what the parameters,
// samplers and pass states of an effect do to the pixels.
#include <gtest/gtest.h>

#include <cstring>

#include "effect_test_util.h"

namespace {

class Effect_Render : public Effect_Draw_Test {};

// A non-symmetric matrix whose products with the probe vector stay in 0..1.
const D3DXMATRIX k_probe_matrix(0.1f, 0.2f, 0.0f, 0.05f, 0.3f, 0.0f, 0.1f, 0.1f, 0.0f, 0.4f, 0.2f,
                                0.0f, 0.2f, 0.1f, 0.3f, 0.6f);

TEST_F(Effect_Render, SetMatrixGivesMulTheMeaningOfD3DXVec4Transform) {
    Load("probe.fx");
    ASSERT_EQ(fx->SetMatrix("M", &k_probe_matrix), D3D_OK);
    Render("Matrix4");
    const D3DXVECTOR4 in(0.1f, 0.2f, 0.3f, 1.0f);
    D3DXVECTOR4 out;
    D3DXVec4Transform(&out, &in, &k_probe_matrix);
    EXPECT_PIXEL_NEAR(dev, 32, 32, out.x, out.y, out.z);
    EXPECT_NEAR(Pixel_F(dev, 32, 32).a, out.w, 1.5 / 255);

    // The same for a row_major parameter: the packing changes, the meaning does not.
    ASSERT_EQ(fx->SetMatrix("MR", &k_probe_matrix), D3D_OK);
    Render("Matrix4_Row");
    EXPECT_PIXEL_NEAR(dev, 32, 32, out.x, out.y, out.z);
    EXPECT_NEAR(Pixel_F(dev, 32, 32).a, out.w, 1.5 / 255);
}

TEST_F(Effect_Render, SetMatrixIntoSmallerMatricesTakesTheLeadingRowsAndColumns) {
    Load("probe.fx");
    ASSERT_EQ(fx->SetMatrix("M43", &k_probe_matrix), D3D_OK);
    ASSERT_EQ(fx->SetMatrix("M33", &k_probe_matrix), D3D_OK);
    D3DXVECTOR4 out;
    const D3DXVECTOR4 point(0.1f, 0.2f, 0.3f, 1.0f);
    D3DXVec4Transform(&out, &point, &k_probe_matrix);
    Render("Matrix43");
    EXPECT_PIXEL_NEAR(dev, 32, 32, out.x, out.y, out.z);
    // float3x3 drops the fourth row: (x, y, z, 0).
    const D3DXVECTOR4 direction(0.1f, 0.2f, 0.3f, 0.0f);
    D3DXVec4Transform(&out, &direction, &k_probe_matrix);
    Render("Matrix33");
    EXPECT_PIXEL_NEAR(dev, 32, 32, out.x, out.y, out.z);
}

TEST_F(Effect_Render, InitializersAreTheDefaultsOfANewInstance) {
    Load("probe.fx");
    Render("Vector");  // V = {0.25, 0.5, 0.75, 1.0}
    EXPECT_PIXEL_NEAR(dev, 32, 32, 0.25f, 0.5f, 0.75f);
    Render("Scalars");  // I = 2 -> 0.5, B = true -> 1
    EXPECT_PIXEL_NEAR(dev, 32, 32, 0.5f, 1.0f, 0.0f);

    // Values set on one instance do not leak into the next one.
    const D3DXVECTOR4 v(1, 0, 0, 1);
    fx->SetVector("V", &v);
    fx->Release();
    fx = nullptr;
    Load("probe.fx");
    Render("Vector");
    EXPECT_PIXEL_NEAR(dev, 32, 32, 0.25f, 0.5f, 0.75f);
}

TEST_F(Effect_Render, SetVectorSetFloatSetIntSetBoolReachTheShader) {
    Load("probe.fx");
    const D3DXVECTOR4 v(0.2f, 0.4f, 0.6f, 0.8f);
    ASSERT_EQ(fx->SetVector("V", &v), D3D_OK);
    Render("Vector");
    EXPECT_PIXEL_NEAR(dev, 32, 32, 0.2f, 0.4f, 0.6f);
    EXPECT_NEAR(Pixel_F(dev, 32, 32).a, 0.8f, 1.5 / 255);

    // Into a float3: the leading components; the float S keeps its own value.
    ASSERT_EQ(fx->SetVector("V3", &v), D3D_OK);
    ASSERT_EQ(fx->SetFloat("S", 0.3f), D3D_OK);
    Render("Vector3");
    EXPECT_PIXEL_NEAR(dev, 32, 32, 0.2f, 0.4f, 0.6f);
    EXPECT_NEAR(Pixel_F(dev, 32, 32).a, 0.3f, 1.5 / 255);

    ASSERT_EQ(fx->SetInt("I", 1), D3D_OK);
    ASSERT_EQ(fx->SetBool("B", FALSE), D3D_OK);
    Render("Scalars");
    EXPECT_PIXEL_NEAR(dev, 32, 32, 0.25f, 0.0f, 0.0f);
}

D3DLIGHT9 Test_Light() {
    D3DLIGHT9 l{};
    l.Type = D3DLIGHT_SPOT;
    l.Diffuse = {0.9f, 0.6f, 0.3f, 1.0f};
    l.Position = {10.0f, 20.0f, 30.0f};
    l.Direction = {0.0f, -1.0f, 0.0f};
    l.Range = 50.0f;
    l.Phi = 0.75f;
    return l;
}

TEST_F(Effect_Render, SetValueOfAD3DLIGHT9FillsAStructOfTheSameLayout) {
    Load("probe.fx");
    const D3DLIGHT9 light = Test_Light();
    ASSERT_EQ(fx->SetValue("LIGHT", &light, sizeof light), D3D_OK);
    Render("Light_Struct");  // Position / 100, Type / 4
    EXPECT_PIXEL_NEAR(dev, 32, 32, 0.1f, 0.2f, 0.3f);
    EXPECT_NEAR(Pixel_F(dev, 32, 32).a, 0.5f, 1.5 / 255);
    Render("Light_Struct_Colour");  // Diffuse.rgb, Phi
    EXPECT_PIXEL_NEAR(dev, 32, 32, 0.9f, 0.6f, 0.3f);
    EXPECT_NEAR(Pixel_F(dev, 32, 32).a, 0.75f, 1.5 / 255);
}

TEST_F(Effect_Render, SetValueOfAD3DLIGHT9FillsAFloatArrayByteForByte) {
    Load("probe.fx");
    const D3DLIGHT9 light = Test_Light();
    ASSERT_EQ(fx->SetValue("DirectionalLight", &light, sizeof light), D3D_OK);
    // Floats 13..15 are Position (bytes 52..63), float 19 is Range.
    Render("Light_Array");
    EXPECT_PIXEL_NEAR(dev, 32, 32, 0.1f, 0.2f, 0.3f);
    EXPECT_NEAR(Pixel_F(dev, 32, 32).a, 0.5f, 1.5 / 255);

    // 12 bytes into a struct change only its first 12 bytes.
    ASSERT_EQ(fx->SetValue("LIGHT", &light, sizeof light), D3D_OK);
    const float three[3] = {0, 0, 0};
    ASSERT_EQ(fx->SetValue("LIGHT", three, sizeof three), D3D_OK);
    Render("Light_Struct");
    EXPECT_PIXEL_NEAR(dev, 32, 32, 0.1f, 0.2f, 0.3f);
    EXPECT_NEAR(Pixel_F(dev, 32, 32).a, 0.0f, 1.5 / 255);
}

// A 2x2 texture: red, green / blue, white.
IDirect3DTexture9* Make_Quad_Texture(IDirect3DDevice9* device, const DWORD texels[4]) {
    IDirect3DTexture9* tex = nullptr;
    if (FAILED(device->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr)))
        return nullptr;
    D3DLOCKED_RECT lr;
    if (FAILED(tex->LockRect(0, &lr, nullptr, 0))) {
        tex->Release();
        return nullptr;
    }
    for (int y = 0; y < 2; ++y)
        std::memcpy(static_cast<char*>(lr.pBits) + y * lr.Pitch, texels + 2 * y, 8);
    tex->UnlockRect(0);
    return tex;
}

const DWORD k_texels[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};

TEST_F(Effect_Render, SamplerStateFiltersAndAddressModesApplyToTheTexture) {
    Load("samplers.fx");
    IDirect3DTexture9* tex = Make_Quad_Texture(dev.device, k_texels);
    ASSERT_NE(tex, nullptr);
    ASSERT_EQ(fx->SetTexture("Tex", tex), D3D_OK);

    Render("Point_Wrap_T");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 1, 0, 0);
    EXPECT_PIXEL_NEAR(dev, 48, 8, 0, 1, 0);
    EXPECT_PIXEL_NEAR(dev, 8, 48, 0, 0, 1);
    EXPECT_PIXEL_NEAR(dev, 48, 48, 1, 1, 1);

    // Coordinates doubled: wrap repeats the texture, clamp holds the edge texel.
    fx->SetFloat("UV_Scale", 2.0f);
    Render("Point_Wrap_T");
    EXPECT_PIXEL_NEAR(dev, 40, 8, 1, 0, 0);  // u = 1.25 -> 0.25
    Render("Point_Clamp_T");
    EXPECT_PIXEL_NEAR(dev, 40, 8, 0, 1, 0);  // u = 1.25 -> 1

    // Linear filtering blends the two texels half way between their centres.
    fx->SetFloat("UV_Scale", 1.0f);
    Render("Linear_Clamp_T");
    EXPECT_PIXEL_NEAR(dev, 32, 4, 0.5f, 0.5f, 0.0f);
    EXPECT_PIXEL_NEAR(dev, 4, 4, 1, 0, 0);

    // The sampler states are device sampler states of the stage, inside the pass.
    UINT passes = 0;
    fx->SetTechnique("Linear_Clamp_T");
    fx->Begin(&passes, 0);
    fx->BeginPass(0);
    DWORD value = 0;
    dev.device->GetSamplerState(0, D3DSAMP_MINFILTER, &value);
    EXPECT_EQ(value, DWORD(D3DTEXF_LINEAR));
    dev.device->GetSamplerState(0, D3DSAMP_ADDRESSU, &value);
    EXPECT_EQ(value, DWORD(D3DTADDRESS_CLAMP));
    IDirect3DBaseTexture9* bound = nullptr;
    dev.device->GetTexture(0, &bound);
    EXPECT_EQ(bound, static_cast<IDirect3DBaseTexture9*>(tex));
    if (bound) bound->Release();
    fx->EndPass();
    fx->End();
    tex->Release();
}

TEST_F(Effect_Render, SetTextureHoldsAReference) {
    Load("samplers.fx");
    IDirect3DTexture9* tex = Make_Quad_Texture(dev.device, k_texels);
    ASSERT_NE(tex, nullptr);
    ASSERT_EQ(fx->SetTexture("Tex", tex), D3D_OK);
    EXPECT_EQ(tex->AddRef(), 3u);  // ours, the effect's, this one
    tex->Release();
    IDirect3DBaseTexture9* got = nullptr;
    ASSERT_EQ(fx->GetTexture("Tex", &got), D3D_OK);
    EXPECT_EQ(got, static_cast<IDirect3DBaseTexture9*>(tex));
    got->Release();
    ASSERT_EQ(fx->SetTexture("Tex", nullptr), D3D_OK);
    EXPECT_EQ(tex->AddRef(), 2u);
    tex->Release();
    fx->SetTexture("Tex", tex);
    fx->Release();  // the effect's reference goes with it
    fx = nullptr;
    EXPECT_EQ(tex->Release(), 0u);
}

TEST_F(Effect_Render, DeviceSetTextureOnStage0InsideThePassReplacesTheEffectTexture) {
    Load("samplers.fx");
    IDirect3DTexture9* quad = Make_Quad_Texture(dev.device, k_texels);
    const DWORD yellow[4] = {0xFFFFFF00, 0xFFFFFF00, 0xFFFFFF00, 0xFFFFFF00};
    IDirect3DTexture9* plain = Make_Quad_Texture(dev.device, yellow);
    ASSERT_TRUE(quad && plain);
    fx->SetTexture("Tex", quad);
    fx->SetTechnique("Point_Clamp_T");

    auto draw = [&](auto inside_pass) {
        dev.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        dev.device->BeginScene();
        UINT passes = 0;
        fx->Begin(&passes, 0);
        fx->BeginPass(0);
        inside_pass();
        Draw_Clip_Rect(dev.device);
        fx->EndPass();
        fx->End();
        dev.device->EndScene();
        ASSERT_TRUE(dev.Capture());
    };

    // The engine's diffuse texture: set after BeginPass, it wins.
    draw([&] { dev.device->SetTexture(0, plain); });
    EXPECT_PIXEL_NEAR(dev, 8, 8, 1, 1, 0);
    // CommitChanges with nothing changed keeps it.
    draw([&] {
        dev.device->SetTexture(0, plain);
        fx->CommitChanges();
    });
    EXPECT_PIXEL_NEAR(dev, 8, 8, 1, 1, 0);
    // A texture changed on the effect comes back with CommitChanges.
    draw([&] {
        dev.device->SetTexture(0, plain);
        fx->SetTexture("Tex", quad);
        fx->CommitChanges();
    });
    EXPECT_PIXEL_NEAR(dev, 8, 8, 1, 0, 0);
    // Nothing set: the effect's texture.
    draw([] {});
    EXPECT_PIXEL_NEAR(dev, 48, 8, 0, 1, 0);
    quad->Release();
    plain->Release();
}

TEST_F(Effect_Render, SamplersTakeStagesInDeclarationOrderFromStage0) {
    Load("samplers.fx");
    const DWORD blue[4] = {0xFF0000FF, 0xFF0000FF, 0xFF0000FF, 0xFF0000FF};
    const DWORD green[4] = {0xFF00FF00, 0xFF00FF00, 0xFF00FF00, 0xFF00FF00};
    IDirect3DTexture9* a = Make_Quad_Texture(dev.device, blue);
    IDirect3DTexture9* b = Make_Quad_Texture(dev.device, green);
    ASSERT_TRUE(a && b);
    // "Bare" (no Texture in its sampler_state) is stage 0 and shows what the
    // device holds there; "Second" is stage 1 with its own texture.
    fx->SetTexture("Other_Tex", b);
    dev.device->SetTexture(0, a);
    Render("Two_Samplers");
    EXPECT_PIXEL_NEAR(dev, 8, 32, 0, 0, 1);
    EXPECT_PIXEL_NEAR(dev, 56, 32, 0, 1, 0);
    IDirect3DBaseTexture9* at1 = nullptr;
    dev.device->GetTexture(1, &at1);
    // End restored what stage 1 held before Begin (nothing).
    EXPECT_EQ(at1, nullptr);
    if (at1) at1->Release();
    dev.device->SetTexture(0, nullptr);
    a->Release();
    b->Release();
}

TEST_F(Effect_Render, PassStatesApplyInThePassAndEndRestoresThem) {
    Load("passes.fx");
    dev.device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    dev.device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    dev.device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    dev.device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    dev.device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);

    ASSERT_EQ(fx->SetTechnique("Additive"), D3D_OK);
    UINT passes = 0;
    ASSERT_EQ(fx->Begin(&passes, 0), D3D_OK);
    ASSERT_EQ(passes, 1u);
    ASSERT_EQ(fx->BeginPass(0), D3D_OK);
    DWORD v = 0;
    dev.device->GetRenderState(D3DRS_ALPHABLENDENABLE, &v);
    EXPECT_EQ(v, DWORD(TRUE));
    dev.device->GetRenderState(D3DRS_SRCBLEND, &v);
    EXPECT_EQ(v, DWORD(D3DBLEND_ONE));
    dev.device->GetRenderState(D3DRS_DESTBLEND, &v);
    EXPECT_EQ(v, DWORD(D3DBLEND_ONE));
    dev.device->GetRenderState(D3DRS_CULLMODE, &v);
    EXPECT_EQ(v, DWORD(D3DCULL_NONE));
    dev.device->GetRenderState(D3DRS_ZENABLE, &v);
    EXPECT_EQ(v, DWORD(FALSE));
    fx->EndPass();
    ASSERT_EQ(fx->End(), D3D_OK);

    dev.device->GetRenderState(D3DRS_ALPHABLENDENABLE, &v);
    EXPECT_EQ(v, DWORD(FALSE));
    dev.device->GetRenderState(D3DRS_SRCBLEND, &v);
    EXPECT_EQ(v, DWORD(D3DBLEND_SRCALPHA));
    dev.device->GetRenderState(D3DRS_DESTBLEND, &v);
    EXPECT_EQ(v, DWORD(D3DBLEND_INVSRCALPHA));
    dev.device->GetRenderState(D3DRS_CULLMODE, &v);
    EXPECT_EQ(v, DWORD(D3DCULL_CCW));
    dev.device->GetRenderState(D3DRS_ZENABLE, &v);
    EXPECT_EQ(v, DWORD(D3DZB_TRUE));

    // With D3DXFX_DONOTSAVESTATE the pass states stay.
    fx->Begin(&passes, D3DXFX_DONOTSAVESTATE);
    fx->BeginPass(0);
    fx->EndPass();
    fx->End();
    dev.device->GetRenderState(D3DRS_CULLMODE, &v);
    EXPECT_EQ(v, DWORD(D3DCULL_NONE));
}

TEST_F(Effect_Render, AdditivePassAddsToWhatIsThere) {
    Load("passes.fx");
    Render("Additive", D3DCOLOR_XRGB(64, 0, 128));  // + (0.25, 0.5, 0.125)
    EXPECT_PIXEL_NEAR(dev, 32, 32, 64 / 255.0f + 0.25f, 0.5f, 128 / 255.0f + 0.125f);
}

TEST_F(Effect_Render, TwoPassesDrawTwiceTheSecondBlendedByItsOwnStates) {
    Load("passes.fx");
    Render("Base_And_Glow");
    // Base writes (0.25, 0.5, 0.125); Glow adds (0.5, 0.25, 0) * alpha 1.
    EXPECT_PIXEL_NEAR(dev, 32, 32, 0.75f, 0.75f, 0.125f);

    // The glow pass's blending reads a parameter: off, it replaces.
    fx->SetBool("Blend_On", FALSE);
    Render("Base_And_Glow");
    EXPECT_PIXEL_NEAR(dev, 32, 32, 0.5f, 0.25f, 0.0f);
}

TEST_F(Effect_Render, BlendFactorAndTheCounterClockwiseStencilHalfSetByAPassDraw) {
    Load("passes.fx");
    // Color (0.25, 0.5, 0.125) times the factor's (1, 0.5, 0.25).
    Render("Blend_Factor");
    EXPECT_PIXEL_NEAR(dev, 32, 32, 0.25f, 0.25f, 0.125f * 0.25f);

    dev.device->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0);
    Render("Two_Sided_Stencil");
    EXPECT_PIXEL_NEAR(dev, 32, 32, 0.5f, 0.25f, 0.0f);
}

TEST_F(Effect_Render, VertexShaderPassUsesTheFixedFunctionPixelHalf) {
    Load("passes.fx");
    Render("Vertex_Only");
    EXPECT_PIXEL_NEAR(dev, 32, 32, 0.25f, 0.5f, 0.125f);
    // The texture stage states of the pass were put back.
    DWORD op = 0;
    dev.device->GetTextureStageState(0, D3DTSS_COLOROP, &op);
    EXPECT_EQ(op, DWORD(D3DTOP_MODULATE));
}

TEST_F(Effect_Render, PixelShaderPassUsesTheFixedFunctionVertexHalf) {
    Load("passes.fx");
    D3DMATRIX identity{};
    identity._11 = identity._22 = identity._33 = identity._44 = 1.0f;
    dev.device->SetTransform(D3DTS_WORLD, &identity);
    dev.device->SetTransform(D3DTS_VIEW, &identity);
    dev.device->SetTransform(D3DTS_PROJECTION, &identity);
    Render("Pixel_Only");
    // uv from the vertex texture coordinates, blue from the unlit white diffuse.
    EXPECT_PIXEL_NEAR(dev, 16, 48, 16 / 64.0f, 48 / 64.0f, 0.5f);
    EXPECT_PIXEL_NEAR(dev, 48, 8, 48 / 64.0f, 8 / 64.0f, 0.5f);
}

TEST_F(Effect_Render, CommitChangesUploadsValuesChangedInsideThePass) {
    Load("probe.fx");
    ASSERT_EQ(fx->SetTechnique("Vector"), D3D_OK);
    const D3DXVECTOR4 red(1, 0, 0, 1), green(0, 1, 0, 1), blue(0, 0, 1, 1);
    fx->SetVector("V", &red);
    dev.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    dev.device->BeginScene();
    UINT passes = 0;
    fx->Begin(&passes, 0);
    fx->BeginPass(0);
    Draw_Clip_Rect(dev.device, -1, -1, -0.5f, 1);
    // Changed without CommitChanges: the pass keeps drawing what it uploaded.
    fx->SetVector("V", &green);
    Draw_Clip_Rect(dev.device, -0.5f, -1, 0, 1);
    fx->CommitChanges();
    Draw_Clip_Rect(dev.device, 0, -1, 0.5f, 1);
    fx->SetVector("V", &blue);
    fx->CommitChanges();
    Draw_Clip_Rect(dev.device, 0.5f, -1, 1, 1);
    fx->EndPass();
    fx->End();
    dev.device->EndScene();
    ASSERT_TRUE(dev.Capture());
    EXPECT_PIXEL_NEAR(dev, 8, 32, 1, 0, 0);
    EXPECT_PIXEL_NEAR(dev, 24, 32, 1, 0, 0);
    EXPECT_PIXEL_NEAR(dev, 40, 32, 0, 1, 0);
    EXPECT_PIXEL_NEAR(dev, 56, 32, 0, 0, 1);
}

TEST_F(Effect_Render, TransformLightAndMaterialStatesOfAPass) {
    Load("pass_objects.fx");
    D3DXMATRIX world, before;
    D3DXMatrixTranslation(&world, 1, 2, 3);
    D3DXMatrixScaling(&before, 2, 2, 2);
    ASSERT_EQ(fx->SetMatrix("World_Matrix", &world), D3D_OK);
    dev.device->SetTransform(D3DTS_WORLD, &before);
    D3DLIGHT9 light_before{};
    light_before.Type = D3DLIGHT_POINT;
    light_before.Range = 7;
    dev.device->SetLight(0, &light_before);
    dev.device->LightEnable(0, FALSE);

    UINT passes = 0;
    ASSERT_EQ(fx->Begin(&passes, 0), D3D_OK);
    ASSERT_EQ(fx->BeginPass(0), D3D_OK);
    D3DMATRIX m;
    dev.device->GetTransform(D3DTS_WORLD, &m);
    EXPECT_TRUE(D3DXMATRIX(m) == world);
    D3DLIGHT9 light{};
    dev.device->GetLight(0, &light);
    EXPECT_EQ(light.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(light.Diffuse.b, 0.8f);  // Light_Color
    EXPECT_EQ(light.Direction.y, -1.0f);
    EXPECT_EQ(light.Range, 100.0f);
    BOOL enabled = FALSE;
    dev.device->GetLightEnable(0, &enabled);
    EXPECT_TRUE(enabled);
    D3DMATERIAL9 mat{};
    dev.device->GetMaterial(&mat);
    EXPECT_EQ(mat.Power, 16.0f);
    EXPECT_EQ(mat.Diffuse.g, 1.0f);
    DWORD op = 0;
    dev.device->GetTextureStageState(1, D3DTSS_COLOROP, &op);
    EXPECT_EQ(op, DWORD(D3DTOP_MODULATE2X));
    DWORD filter = 0;
    dev.device->GetSamplerState(1, D3DSAMP_MINFILTER, &filter);  // Sampler[1] = Detail_Sampler
    EXPECT_EQ(filter, DWORD(D3DTEXF_POINT));
    fx->EndPass();
    ASSERT_EQ(fx->End(), D3D_OK);

    // End puts every one of them back.
    dev.device->GetTransform(D3DTS_WORLD, &m);
    EXPECT_TRUE(D3DXMATRIX(m) == before);
    dev.device->GetLight(0, &light);
    EXPECT_EQ(light.Type, D3DLIGHT_POINT);
    EXPECT_EQ(light.Range, 7.0f);
    dev.device->GetLightEnable(0, &enabled);
    EXPECT_FALSE(enabled);
    dev.device->GetTextureStageState(1, D3DTSS_COLOROP, &op);
    EXPECT_NE(op, DWORD(D3DTOP_MODULATE2X));
}

}  // namespace
