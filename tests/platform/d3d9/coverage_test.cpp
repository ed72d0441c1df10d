// Where pre-transformed and transformed geometry lands, pixel for pixel, and
// which faces each cull mode removes.
#include "d3d9_test_util.h"

namespace {

// The engine's loading-bar frame: x 5..305, y 5..20 on a 320x40 back buffer.
TEST(Coverage, ScreenQuadCoversExactlyItsPixelsWithoutMultisampling) {
    Test_Device t(320, 40);
    ASSERT_TRUE(t.Ok()) << t.Error();
    IDirect3DDevice9* d = t.device;
    ASSERT_EQ(d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0),
              D3D_OK);
    d->SetRenderState(D3DRS_MULTISAMPLEANTIALIAS, FALSE);
    ASSERT_EQ(d->BeginScene(), D3D_OK);
    ASSERT_EQ(Draw_Screen_Quad(d, 5, 5, 305, 20, 0xFF0000FF), D3D_OK);
    ASSERT_EQ(d->EndScene(), D3D_OK);
    ASSERT_TRUE(t.Capture());
    for (int y = 0; y < t.height; ++y) {
        for (int x = 0; x < t.width; ++x) {
            const bool inside = x >= 5 && x <= 304 && y >= 5 && y <= 19;
            ASSERT_EQ(t.Pixel(x, y), inside ? 0xFF0000FFu : 0xFF000000u)
                << "pixel " << x << "," << y;
        }
    }
}

TEST(Coverage, ScreenQuadWithMultisamplingHalfCoversTheEdgePixels) {
    // With 4 samples an edge through a row or column of pixel centres covers
    // two samples of each of those pixels, as on Direct3D 9: columns 5 and
    // 305 and rows 5 and 20 come out half blue; inside is full, outside empty.
    Test_Device t(320, 40);
    ASSERT_TRUE(t.Ok()) << t.Error();
    IDirect3DDevice9* d = t.device;
    d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    ASSERT_EQ(d->BeginScene(), D3D_OK);
    Draw_Screen_Quad(d, 5, 5, 305, 20, 0xFF0000FF);
    d->EndScene();
    ASSERT_TRUE(t.Capture());
    for (int x = 6; x <= 304; ++x) ASSERT_EQ(t.Pixel(x, 12), 0xFF0000FFu) << x;
    for (int y = 6; y <= 19; ++y) ASSERT_EQ(t.Pixel(150, y), 0xFF0000FFu) << y;
    EXPECT_NEAR(t.Channel(5, 12, 2), 128, 1);
    EXPECT_NEAR(t.Channel(305, 12, 2), 128, 1);
    EXPECT_NEAR(t.Channel(150, 5, 2), 128, 1);
    EXPECT_NEAR(t.Channel(150, 20, 2), 128, 1);
    EXPECT_EQ(t.Pixel(4, 12), 0xFF000000u);
    EXPECT_EQ(t.Pixel(306, 12), 0xFF000000u);
    EXPECT_EQ(t.Pixel(150, 4), 0xFF000000u);
    EXPECT_EQ(t.Pixel(150, 21), 0xFF000000u);
}

TEST(Coverage, ReversedScreenQuadDrawsWhenCullingIsOff) {
    // Below 10/3 percent the engine's loading fill runs from x = w < 10 back to
    // 10: counter-clockwise. Under D3DCULL_FORCE_DWORD (no cull mode at all)
    // it is drawn; under the default CCW culling it is not.
    Test_Device t(64, 32);
    ASSERT_TRUE(t.Ok()) << t.Error();
    IDirect3DDevice9* d = t.device;
    d->SetRenderState(D3DRS_MULTISAMPLEANTIALIAS, FALSE);
    auto draw = [&] {
        d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        d->BeginScene();
        Draw_Screen_Quad(d, 10, 12, 0, 15, 0xFF0000EE);
        d->EndScene();
        ASSERT_TRUE(t.Capture());
    };
    draw();
    EXPECT_EQ(t.Pixel(5, 13), 0xFF000000u);
    ASSERT_EQ(d->SetRenderState(D3DRS_CULLMODE, D3DCULL_FORCE_DWORD), D3D_OK);
    draw();
    for (int x = 0; x < 10; ++x)
        for (int y = 12; y < 15; ++y) EXPECT_EQ(t.Pixel(x, y), 0xFF0000EEu) << x << "," << y;
    EXPECT_EQ(t.Pixel(10, 13), 0xFF000000u);
    EXPECT_EQ(t.Pixel(5, 11), 0xFF000000u);
    EXPECT_EQ(t.Pixel(5, 15), 0xFF000000u);
}

TEST(Coverage, CullModesRemoveTheFacesDirect3DRemoves) {
    Test_Device t(64, 32);
    ASSERT_TRUE(t.Ok()) << t.Error();
    IDirect3DDevice9* d = t.device;
    Set_Identity_Transforms(d);
    d->SetRenderState(D3DRS_LIGHTING, FALSE);
    // Left triangle clockwise on screen, right one counter-clockwise. Clip
    // space has +y up, so clockwise on screen is clockwise in x, y too.
    const Color_Vertex cw[3] = {{-0.9f, 0.8f, 0.5f, 0xFFFF0000},
                                {-0.1f, 0.8f, 0.5f, 0xFFFF0000},
                                {-0.5f, -0.8f, 0.5f, 0xFFFF0000}};
    const Color_Vertex ccw[3] = {{0.1f, 0.8f, 0.5f, 0xFF00FF00},
                                 {0.5f, -0.8f, 0.5f, 0xFF00FF00},
                                 {0.9f, 0.8f, 0.5f, 0xFF00FF00}};
    auto draw = [&](DWORD cull) {
        d->SetRenderState(D3DRS_CULLMODE, cull);
        d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        d->BeginScene();
        d->SetFVF(k_color_fvf);
        d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, cw, sizeof(Color_Vertex));
        d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, ccw, sizeof(Color_Vertex));
        d->EndScene();
        ASSERT_TRUE(t.Capture());
    };
    // Pixel (16, 12) lies in the left triangle, (48, 12) in the right one.
    draw(D3DCULL_CCW);  // the default
    EXPECT_EQ(t.Pixel(16, 12), 0xFFFF0000u);
    EXPECT_EQ(t.Pixel(48, 12), 0xFF000000u);
    draw(D3DCULL_CW);
    EXPECT_EQ(t.Pixel(16, 12), 0xFF000000u);
    EXPECT_EQ(t.Pixel(48, 12), 0xFF00FF00u);
    draw(D3DCULL_NONE);
    EXPECT_EQ(t.Pixel(16, 12), 0xFFFF0000u);
    EXPECT_EQ(t.Pixel(48, 12), 0xFF00FF00u);
}

TEST(Coverage, TransformedGeometryLandsOnDirect3DPixels) {
    // A square from clip -0.5 to 0.5 on a 32-pixel target spans window
    // coordinates 8..24; with centres on integers it covers pixels 8..23 in
    // x, and rows 8..23 counted from the top.
    Test_Device t(32, 32);
    ASSERT_TRUE(t.Ok()) << t.Error();
    IDirect3DDevice9* d = t.device;
    Set_Identity_Transforms(d);
    d->SetRenderState(D3DRS_LIGHTING, FALSE);
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    d->SetRenderState(D3DRS_MULTISAMPLEANTIALIAS, FALSE);
    const Color_Vertex v[4] = {{-0.5f, -0.5f, 0.5f, 0xFFFFFFFF},
                               {-0.5f, 0.5f, 0.5f, 0xFFFFFFFF},
                               {0.5f, -0.5f, 0.5f, 0xFFFFFFFF},
                               {0.5f, 0.5f, 0.5f, 0xFFFFFFFF}};
    d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    d->BeginScene();
    d->SetFVF(k_color_fvf);
    d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(Color_Vertex));
    d->EndScene();
    ASSERT_TRUE(t.Capture());
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const bool inside = x >= 8 && x <= 23 && y >= 8 && y <= 23;
            ASSERT_EQ(t.Pixel(x, y), inside ? 0xFFFFFFFFu : 0xFF000000u) << x << "," << y;
        }

    // +y in clip space is up: a triangle above the centre lands in the top rows.
    const Color_Vertex top[3] = {
        {-1, 1, 0.5f, 0xFF00FF00}, {1, 1, 0.5f, 0xFF00FF00}, {0, 0.2f, 0.5f, 0xFF00FF00}};
    d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    d->BeginScene();
    d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, top, sizeof(Color_Vertex));
    d->EndScene();
    ASSERT_TRUE(t.Capture());
    EXPECT_EQ(t.Pixel(16, 2), 0xFF00FF00u);
    EXPECT_EQ(t.Pixel(16, 29), 0xFF000000u);
}

TEST(Coverage, FillModesPointWireframeSolid) {
    Test_Device t(32, 32);
    ASSERT_TRUE(t.Ok()) << t.Error();
    IDirect3DDevice9* d = t.device;
    d->SetRenderState(D3DRS_MULTISAMPLEANTIALIAS, FALSE);
    auto draw = [&](DWORD fill) {
        d->SetRenderState(D3DRS_FILLMODE, fill);
        d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        d->BeginScene();
        Draw_Screen_Quad(d, 4, 4, 28, 28, 0xFFFFFFFF);
        d->EndScene();
        ASSERT_TRUE(t.Capture());
    };
    auto lit = [&] {
        int count = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) count += t.Pixel(x, y) != 0xFF000000u;
        return count;
    };
    draw(D3DFILL_SOLID);
    EXPECT_EQ(lit(), 24 * 24);
    draw(D3DFILL_WIREFRAME);
    EXPECT_EQ(t.Pixel(10, 20), 0xFF000000u);  // the inside stays empty
    EXPECT_EQ(t.Pixel(20, 10), 0xFF000000u);
    EXPECT_GT(lit(), 60);  // the outline and the diagonal
    EXPECT_LT(lit(), 24 * 24 / 2);
    draw(D3DFILL_POINT);
    EXPECT_GE(lit(), 1);
    EXPECT_LE(lit(), 4);
}

}  // namespace
