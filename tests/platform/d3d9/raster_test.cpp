// Per-pixel operations: the 16-bit depth test, blending, alpha test, write
// masks and multisample anti-aliasing.
#include "d3d9_test_util.h"

namespace {

class Raster : public Device_Scene_Test {
protected:
    Raster() : Device_Scene_Test(32, 32) {}
};

TEST_F(Raster, NearerSurfaceWinsWhateverTheOrder) {
    // Far first, then near: the near one covers it.
    Draw_Screen_Quad(d, 0, 0, 16, 32, 0xFFFF0000, 0.7f);
    Draw_Screen_Quad(d, 0, 0, 16, 32, 0xFF00FF00, 0.3f);
    // Near first, then far: the far one is hidden.
    Draw_Screen_Quad(d, 16, 0, 32, 32, 0xFF00FF00, 0.3f);
    Draw_Screen_Quad(d, 16, 0, 32, 32, 0xFFFF0000, 0.7f);
    Finish();
    EXPECT_EQ(t.Pixel(8, 16), 0xFF00FF00u);
    EXPECT_EQ(t.Pixel(24, 16), 0xFF00FF00u);
}

TEST_F(Raster, DepthBufferHoldsSixteenBits) {
    // Two depths 0.3 units of 1/65535 apart land on the same 16-bit value:
    // the default LESSEQUAL lets the second one through, LESS does not. A
    // 24-bit buffer would tell them apart and turn both results round.
    const float z1 = 20000.0f / 65535.0f;
    const float z2 = 20000.3f / 65535.0f;
    Draw_Screen_Quad(d, 0, 0, 32, 32, 0xFFFF0000, z2);
    Draw_Screen_Quad(d, 0, 0, 16, 32, 0xFF00FF00, z1);
    ASSERT_EQ(d->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS), D3D_OK);
    Draw_Screen_Quad(d, 16, 0, 32, 32, 0xFF0000FF, z1);
    Finish();
    EXPECT_EQ(t.Pixel(8, 16), 0xFF00FF00u);   // equal depth passes LESSEQUAL
    EXPECT_EQ(t.Pixel(24, 16), 0xFFFF0000u);  // and fails LESS
}

TEST_F(Raster, DepthWritesAndTestCanBeSwitchedOff) {
    d->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    Draw_Screen_Quad(d, 0, 0, 16, 32, 0xFFFF0000, 0.2f);  // leaves depth at 1.0
    d->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    Draw_Screen_Quad(d, 0, 0, 16, 32, 0xFF00FF00, 0.6f);  // so this one passes
    Draw_Screen_Quad(d, 16, 0, 32, 32, 0xFF00FF00, 0.2f);
    d->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    Draw_Screen_Quad(d, 16, 0, 32, 32, 0xFFFF00FF, 0.9f);  // no test: drawn over
    Finish();
    EXPECT_EQ(t.Pixel(8, 16), 0xFF00FF00u);
    EXPECT_EQ(t.Pixel(24, 16), 0xFFFF00FFu);
}

TEST_F(Raster, BlendOneInvSrcAlpha) {
    // The engine's blended objects: result = src + dst * (1 - src alpha).
    Draw_Screen_Quad(d, 0, 0, 32, 32, D3DCOLOR_ARGB(255, 200, 100, 40));
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    Draw_Screen_Quad(d, 0, 0, 32, 32, D3DCOLOR_ARGB(64, 20, 60, 100), 0.4f);
    Finish();
    const float keep = 1.0f - 64 / 255.0f;
    EXPECT_NEAR(t.Channel(10, 10, 0), 20 + 200 * keep, 1.0);
    EXPECT_NEAR(t.Channel(10, 10, 1), 60 + 100 * keep, 1.0);
    EXPECT_NEAR(t.Channel(10, 10, 2), 100 + 40 * keep, 1.0);
}

TEST_F(Raster, BlendSrcAlphaInvSrcAlpha) {
    Draw_Screen_Quad(d, 0, 0, 32, 32, D3DCOLOR_ARGB(255, 200, 100, 40));
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    Draw_Screen_Quad(d, 0, 0, 32, 32, D3DCOLOR_ARGB(192, 0, 255, 100), 0.4f);
    // Switched off again: plain replacement.
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    Draw_Screen_Quad(d, 0, 0, 4, 4, D3DCOLOR_ARGB(10, 1, 2, 3), 0.3f);
    Finish();
    const float a = 192 / 255.0f;
    EXPECT_NEAR(t.Channel(10, 10, 0), 0 * a + 200 * (1 - a), 1.0);
    EXPECT_NEAR(t.Channel(10, 10, 1), 255 * a + 100 * (1 - a), 1.0);
    EXPECT_NEAR(t.Channel(10, 10, 2), 100 * a + 40 * (1 - a), 1.0);
    EXPECT_EQ(t.Pixel(1, 1), 0x0A010203u);
}

TEST_F(Raster, AlphaTestDiscardsAgainstTheReference) {
    d->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    d->SetRenderState(D3DRS_ALPHAREF, 128);
    d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    Draw_Screen_Quad(d, 0, 0, 8, 32, D3DCOLOR_ARGB(127, 255, 0, 0));
    Draw_Screen_Quad(d, 8, 0, 16, 32, D3DCOLOR_ARGB(128, 255, 0, 0));
    d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_LESS);
    Draw_Screen_Quad(d, 16, 0, 24, 32, D3DCOLOR_ARGB(127, 0, 255, 0));
    Draw_Screen_Quad(d, 24, 0, 32, 32, D3DCOLOR_ARGB(128, 0, 255, 0));
    Finish();
    EXPECT_EQ(t.Pixel(4, 4), 0xFF000000u);
    EXPECT_EQ(t.Pixel(12, 4), 0x80FF0000u);
    EXPECT_EQ(t.Pixel(20, 4), 0x7F00FF00u);
    EXPECT_EQ(t.Pixel(28, 4), 0xFF000000u);
}

TEST_F(Raster, ColourWriteMaskKeepsChannels) {
    Draw_Screen_Quad(d, 0, 0, 32, 32, 0xFF102030);
    d->SetRenderState(D3DRS_COLORWRITEENABLE, 0x1 | 0x4);  // red and blue only
    Draw_Screen_Quad(d, 0, 0, 32, 32, 0x00A0B0C0, 0.4f);
    Finish();
    EXPECT_EQ(t.Pixel(5, 5), 0xFFA020C0u);
}

TEST(Multisample, EdgesAreSmoothedOnlyWithTheRenderStateOn) {
    Test_Device t(64, 64);
    ASSERT_TRUE(t.Ok()) << t.Error();
    IDirect3DDevice9* d = t.device;
    // A white triangle with a long diagonal edge over black.
    const Screen_Vertex v[3] = {
        {4, 4, 0.5f, 1, 0xFFFFFFFF}, {60, 4, 0.5f, 1, 0xFFFFFFFF}, {4, 45, 0.5f, 1, 0xFFFFFFFF}};
    auto count_intermediate = [&](BOOL antialias) {
        d->SetRenderState(D3DRS_MULTISAMPLEANTIALIAS, antialias);
        d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        d->BeginScene();
        d->SetFVF(k_screen_fvf);
        d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(Screen_Vertex));
        d->EndScene();
        EXPECT_TRUE(t.Capture());
        int intermediate = 0, white = 0;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                const int r = t.Channel(x, y, 0);
                if (r == 255) ++white;
                if (r > 0 && r < 255) ++intermediate;
            }
        EXPECT_GT(white, 900);
        return intermediate;
    };
    EXPECT_GT(count_intermediate(TRUE), 30);  // about one per row of the edge
    EXPECT_EQ(count_intermediate(FALSE), 0);
    EXPECT_GT(count_intermediate(TRUE), 30);  // and back on
}

}  // namespace

namespace {

TEST_F(Raster, FlatShadingTakesTheFirstVertexColour) {
    d->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
    const Screen_Vertex flat[3] = {
        {0, 0, 0.5f, 1, 0xFF336699}, {16, 0, 0.5f, 1, 0xFFFF0000}, {0, 16, 0.5f, 1, 0xFF00FF00}};
    d->SetFVF(k_screen_fvf);
    d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, flat, sizeof(Screen_Vertex));
    d->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
    const Screen_Vertex smooth[3] = {{16, 16, 0.5f, 1, 0xFF000000},
                                     {32, 16, 0.5f, 1, 0xFFFF0000},
                                     {16, 32, 0.5f, 1, 0xFF00FF00}};
    d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, smooth, sizeof(Screen_Vertex));
    Finish();
    EXPECT_EQ(t.Pixel(1, 1), 0xFF336699u);
    EXPECT_EQ(t.Pixel(9, 4), 0xFF336699u);
    EXPECT_EQ(t.Pixel(3, 11), 0xFF336699u);
    EXPECT_GT(t.Channel(25, 18, 0), 100);  // Gouraud: colours vary across the face
    EXPECT_GT(t.Channel(18, 25, 1), 100);
}

TEST_F(Raster, ReciprocalWMakesScreenVerticesPerspectiveCorrect) {
    // u runs 0..1 from left to right; the right edge has rhw 1/4 (four times
    // farther). Halfway across the screen u is (0.5 * 0 * 1 + 0.5 * 1 * 0.25) /
    // (0.5 * 1 + 0.5 * 0.25) = 0.2, not 0.5. A 256-texel ramp shows u.
    IDirect3DTexture9* ramp = nullptr;
    ASSERT_EQ(d->CreateTexture(256, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &ramp, nullptr),
              D3D_OK);
    D3DLOCKED_RECT locked{};
    ramp->LockRect(0, &locked, nullptr, 0);
    for (DWORD i = 0; i < 256; ++i) static_cast<DWORD*>(locked.pBits)[i] = 0xFF000000u | (i << 16);
    ramp->UnlockRect(0);
    d->SetTexture(0, ramp);
    const float l = -0.5f, r = 31.5f;
    const Screen_Tex_Vertex v[4] = {{l, 31.5f, 0.5f, 1.0f, 0xFFFFFFFF, 0, 0.5f},
                                    {l, -0.5f, 0.5f, 1.0f, 0xFFFFFFFF, 0, 0.5f},
                                    {r, 31.5f, 0.5f, 0.25f, 0xFFFFFFFF, 1, 0.5f},
                                    {r, -0.5f, 0.5f, 0.25f, 0xFFFFFFFF, 1, 0.5f}};
    d->SetFVF(k_screen_tex_fvf);
    ASSERT_EQ(d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(Screen_Tex_Vertex)), D3D_OK);
    Finish();
    d->SetTexture(0, nullptr);
    ramp->Release();
    // Pixel 16's centre sits at s = 16.5 / 32 of the way across.
    const float s = 16.5f / 32.0f;
    const float u = (s * 0.25f) / ((1 - s) * 1.0f + s * 0.25f);
    EXPECT_NEAR(t.Channel(16, 16, 0), u * 256.0f, 2.0);
}

TEST_F(Raster, AntialiasedLinesCarryCoverageOnlyWhenAskedFor) {
    // Without multisampling, smooth lines write their coverage into alpha.
    const Screen_Vertex line[2] = {{2, 3, 0.5f, 1, 0xFFFFFFFF}, {30, 27, 0.5f, 1, 0xFFFFFFFF}};
    auto partial_alpha = [&] {
        int partial = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const int a = t.Channel(x, y, 3);
                partial += a > 0 && a < 255;
            }
        return partial;
    };
    d->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00000000, 1.0f, 0);
    d->SetFVF(k_screen_fvf);
    d->DrawPrimitiveUP(D3DPT_LINELIST, 1, line, sizeof(Screen_Vertex));
    Finish();
    EXPECT_EQ(partial_alpha(), 0);
    d->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00000000, 1.0f, 0);
    d->BeginScene();
    d->SetRenderState(D3DRS_ANTIALIASEDLINEENABLE, TRUE);
    d->DrawPrimitiveUP(D3DPT_LINELIST, 1, line, sizeof(Screen_Vertex));
    Finish();
    EXPECT_GT(partial_alpha(), 10);
}

}  // namespace
