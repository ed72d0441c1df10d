// Frames: clearing, scenes, viewports, presenting and reading frames back.
#include <cstdio>
#include <string>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

#include "d3d9_test_util.h"
#include "support/temp_dir.h"

namespace {

TEST(Frame, BackBufferTakesTheClientSizeAndClearSetsEveryPixel) {
    // 1024x768 windows have a 1008x729 client area: that is the back buffer.
    Test_Device t(1008, 729);
    ASSERT_TRUE(t.Ok()) << t.Error();
    D3DVIEWPORT9 viewport{};
    ASSERT_EQ(t.device->GetViewport(&viewport), D3D_OK);
    EXPECT_EQ(viewport.X, 0u);
    EXPECT_EQ(viewport.Y, 0u);
    EXPECT_EQ(viewport.Width, 1008u);
    EXPECT_EQ(viewport.Height, 729u);
    EXPECT_EQ(viewport.MinZ, 0.0f);
    EXPECT_EQ(viewport.MaxZ, 1.0f);

    ASSERT_EQ(t.device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(255, 12, 34, 56), 1.0f, 0),
              D3D_OK);
    ASSERT_TRUE(t.Capture());
    ASSERT_EQ(t.width, 1008);
    ASSERT_EQ(t.height, 729);
    for (int y = 0; y < t.height; ++y)
        for (int x = 0; x < t.width; ++x) ASSERT_EQ(t.Pixel(x, y), 0xFF0C2238u) << x << "," << y;
}

TEST(Frame, ClearHonoursRectanglesAndTheViewport) {
    Test_Device t(40, 30);
    ASSERT_TRUE(t.Ok()) << t.Error();
    IDirect3DDevice9* d = t.device;
    d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    // Rectangles: right and bottom edges excluded, the top row is row 0.
    const D3DRECT rects[2] = {{2, 3, 6, 5}, {30, 20, 50, 50}};
    ASSERT_EQ(d->Clear(2, rects, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0), D3D_OK);
    ASSERT_TRUE(t.Capture());
    EXPECT_EQ(t.Pixel(2, 3), 0xFFFF0000u);
    EXPECT_EQ(t.Pixel(5, 4), 0xFFFF0000u);
    EXPECT_EQ(t.Pixel(6, 4), 0xFF000000u);
    EXPECT_EQ(t.Pixel(5, 5), 0xFF000000u);
    EXPECT_EQ(t.Pixel(1, 3), 0xFF000000u);
    EXPECT_EQ(t.Pixel(39, 29), 0xFFFF0000u);  // clipped to the target
    EXPECT_EQ(t.Pixel(29, 29), 0xFF000000u);

    // Without rectangles Clear fills the viewport only.
    const D3DVIEWPORT9 viewport = {10, 5, 8, 4, 0.0f, 1.0f};
    ASSERT_EQ(d->SetViewport(&viewport), D3D_OK);
    ASSERT_EQ(d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0), D3D_OK);
    ASSERT_TRUE(t.Capture());
    EXPECT_EQ(t.Pixel(10, 5), 0xFF00FF00u);
    EXPECT_EQ(t.Pixel(17, 8), 0xFF00FF00u);
    EXPECT_EQ(t.Pixel(18, 8), 0xFF000000u);
    EXPECT_EQ(t.Pixel(17, 9), 0xFF000000u);
    EXPECT_EQ(t.Pixel(9, 5), 0xFF000000u);

    // Bad calls.
    EXPECT_EQ(d->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(d->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0),
              D3DERR_INVALIDCALL);  // D16 has no stencil
}

TEST(Frame, ClearOfTheDepthBufferDecidesWhatDrawsAfterIt) {
    Test_Device t(16, 16);
    ASSERT_TRUE(t.Ok()) << t.Error();
    IDirect3DDevice9* d = t.device;
    // Depth cleared to 0.3: a quad at 0.5 fails LESSEQUAL, one at 0.2 passes.
    ASSERT_EQ(d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 0.3f, 0),
              D3D_OK);
    ASSERT_EQ(d->BeginScene(), D3D_OK);
    Draw_Screen_Quad(d, 0, 0, 8, 16, 0xFFFF0000, 0.5f);
    Draw_Screen_Quad(d, 8, 0, 16, 16, 0xFF00FF00, 0.2f);
    ASSERT_EQ(d->EndScene(), D3D_OK);
    ASSERT_TRUE(t.Capture());
    EXPECT_EQ(t.Pixel(3, 8), 0xFF000000u);
    EXPECT_EQ(t.Pixel(12, 8), 0xFF00FF00u);

    // Clearing only the target keeps the depth values.
    d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    d->BeginScene();
    Draw_Screen_Quad(d, 8, 0, 16, 16, 0xFF0000FF, 0.25f);
    d->EndScene();
    ASSERT_TRUE(t.Capture());
    EXPECT_EQ(t.Pixel(12, 8), 0xFF000000u);
}

TEST(Frame, ScenesDoNotNestAndDrawingNeedsOne) {
    Test_Device t(16, 16);
    ASSERT_TRUE(t.Ok()) << t.Error();
    IDirect3DDevice9* d = t.device;
    EXPECT_EQ(d->EndScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(Draw_Screen_Quad(d, 0, 0, 4, 4, 0xFFFFFFFF), D3DERR_INVALIDCALL);
    EXPECT_EQ(d->BeginScene(), D3D_OK);
    EXPECT_EQ(d->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(Draw_Screen_Quad(d, 0, 0, 4, 4, 0xFFFFFFFF), D3D_OK);
    EXPECT_EQ(d->EndScene(), D3D_OK);
    EXPECT_EQ(d->EndScene(), D3DERR_INVALIDCALL);
    // After a failed BeginScene the frame is still presented.
    EXPECT_EQ(d->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
}

TEST(Frame, ViewportMapsClipSpaceAndIsChecked) {
    Test_Device t(32, 32);
    ASSERT_TRUE(t.Ok()) << t.Error();
    IDirect3DDevice9* d = t.device;
    Set_Identity_Transforms(d);
    d->SetRenderState(D3DRS_LIGHTING, FALSE);
    d->SetRenderState(D3DRS_MULTISAMPLEANTIALIAS, FALSE);
    d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    const D3DVIEWPORT9 viewport = {16, 0, 16, 16, 0.0f, 1.0f};
    ASSERT_EQ(d->SetViewport(&viewport), D3D_OK);
    D3DVIEWPORT9 back{};
    d->GetViewport(&back);
    EXPECT_EQ(back.X, 16u);
    EXPECT_EQ(back.Width, 16u);
    // A full-screen square fills the top-right quarter only.
    const Color_Vertex v[4] = {{-1, -1, 0.5f, 0xFFFFFF00},
                               {-1, 1, 0.5f, 0xFFFFFF00},
                               {1, -1, 0.5f, 0xFFFFFF00},
                               {1, 1, 0.5f, 0xFFFFFF00}};
    d->BeginScene();
    d->SetFVF(k_color_fvf);
    d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(Color_Vertex));
    d->EndScene();
    ASSERT_TRUE(t.Capture());
    EXPECT_EQ(t.Pixel(24, 8), 0xFFFFFF00u);
    EXPECT_EQ(t.Pixel(16, 0), 0xFFFFFF00u);
    EXPECT_EQ(t.Pixel(31, 15), 0xFFFFFF00u);
    EXPECT_EQ(t.Pixel(15, 8), 0xFF000000u);
    EXPECT_EQ(t.Pixel(24, 16), 0xFF000000u);

    const D3DVIEWPORT9 too_wide = {16, 0, 17, 16, 0.0f, 1.0f};
    EXPECT_EQ(d->SetViewport(&too_wide), D3DERR_INVALIDCALL);
    const D3DVIEWPORT9 bad_depth = {0, 0, 8, 8, 0.0f, 2.0f};
    EXPECT_EQ(d->SetViewport(&bad_depth), D3DERR_INVALIDCALL);
    EXPECT_EQ(d->SetViewport(nullptr), D3DERR_INVALIDCALL);
    d->GetViewport(&back);
    EXPECT_EQ(back.X, 16u);  // unchanged by the refused calls
}

TEST(Frame, NothingToReadBeforeTheFirstPresent) {
    Test_Device t(8, 8);
    ASSERT_TRUE(t.Ok()) << t.Error();
    int w = -1, h = -1;
    unsigned char* pixels = reinterpret_cast<unsigned char*>(1);
    EXPECT_FALSE(Platform_Read_Last_Frame(t.device, &w, &h, &pixels));
    EXPECT_EQ(pixels, nullptr);
    EXPECT_FALSE(Platform_Read_Last_Frame(nullptr, &w, &h, &pixels));
    EXPECT_FALSE(Platform_Save_Screenshot(t.device, "/tmp/never.png"));
}

TEST(Frame, ReadBackShowsThePresentedFrameNotLaterDrawing) {
    Test_Device t(8, 8);
    ASSERT_TRUE(t.Ok()) << t.Error();
    IDirect3DDevice9* d = t.device;
    d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF112233, 1.0f, 0);
    ASSERT_EQ(d->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0);  // not presented
    int w = 0, h = 0;
    unsigned char* pixels = nullptr;
    ASSERT_TRUE(Platform_Read_Last_Frame(d, &w, &h, &pixels));
    ASSERT_EQ(w, 8);
    ASSERT_EQ(h, 8);
    EXPECT_EQ(pixels[0], 0x11);
    EXPECT_EQ(pixels[1], 0x22);
    EXPECT_EQ(pixels[2], 0x33);
    EXPECT_EQ(pixels[3], 0xFF);
    std::free(pixels);
}

TEST(Frame, ScreenshotIsAPngOfTheLastFrameTopRowFirst) {
    Test_Device t(20, 10);
    ASSERT_TRUE(t.Ok()) << t.Error();
    IDirect3DDevice9* d = t.device;
    d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
    const D3DRECT top_row = {0, 0, 20, 1};
    d->Clear(1, &top_row, D3DCLEAR_TARGET, 0x00FF0000, 1.0f, 0);  // alpha 0 in the back buffer
    ASSERT_EQ(d->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

    Temp_Dir dir(false);
    const std::string path = dir.Path() + "/shot.png";
    ASSERT_TRUE(Platform_Save_Screenshot(d, path.c_str()));
    int w = 0, h = 0, channels = 0;
    unsigned char* image = stbi_load(path.c_str(), &w, &h, &channels, 4);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(w, 20);
    EXPECT_EQ(h, 10);
    EXPECT_EQ(image[0], 255);  // red top row, saved opaque
    EXPECT_EQ(image[2], 0);
    EXPECT_EQ(image[3], 255);
    const unsigned char* row5 = image + 5 * 20 * 4;
    EXPECT_EQ(row5[0], 0);
    EXPECT_EQ(row5[2], 255);
    stbi_image_free(image);

    EXPECT_FALSE(Platform_Save_Screenshot(d, (dir.Path() + "/missing/dir/shot.png").c_str()));
    EXPECT_FALSE(Platform_Save_Screenshot(d, ""));
}

}  // namespace
