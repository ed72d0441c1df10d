// Textures: formats, mip levels, compressed blocks, cube maps, locking,
// sampler states and texture stage operations as the pixels show them.
#include <cstring>
#include <functional>

#include "d3d9_test_util.h"
#include "platform/d3d9/gl_device.h"

namespace {

struct Cube_Vertex {
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v, w;
};

class Textures : public Device_Scene_Test {
protected:
    Textures() : Device_Scene_Test(64, 32) {}

    // Creates a texture and fills each level with fill(level, locked rect).
    IDirect3DTexture9* Make(UINT w, UINT h, UINT levels, D3DFORMAT format,
                            const std::function<void(UINT, const D3DLOCKED_RECT&)>& fill) {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(d->CreateTexture(w, h, levels, 0, format, D3DPOOL_MANAGED, &texture, nullptr),
                  D3D_OK);
        if (!texture) return nullptr;
        owned.push_back(texture);
        for (UINT level = 0; level < texture->GetLevelCount(); ++level) {
            D3DLOCKED_RECT locked{};
            EXPECT_EQ(texture->LockRect(level, &locked, nullptr, 0), D3D_OK);
            fill(level, locked);
            EXPECT_EQ(texture->UnlockRect(level), D3D_OK);
        }
        return texture;
    }

    // A screen rectangle whose pixel centres sample the texel centres of a
    // texture laid over it 1:1 (Direct3D's half-pixel rule).
    void Draw_Textured(float x1, float y1, float x2, float y2, float u1 = 0, float v1 = 0,
                       float u2 = 1, float v2 = 1, D3DCOLOR color = 0xFFFFFFFF) {
        x1 -= 0.5f;
        y1 -= 0.5f;
        x2 -= 0.5f;
        y2 -= 0.5f;
        const Screen_Tex_Vertex v[4] = {{x1, y2, 0.5f, 1, color, u1, v2},
                                        {x1, y1, 0.5f, 1, color, u1, v1},
                                        {x2, y2, 0.5f, 1, color, u2, v2},
                                        {x2, y1, 0.5f, 1, color, u2, v1}};
        d->SetFVF(k_screen_tex_fvf);
        ASSERT_EQ(d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(Screen_Tex_Vertex)), D3D_OK);
    }
};

void Fill_Argb(const D3DLOCKED_RECT& locked, UINT w, UINT h, DWORD argb) {
    for (UINT y = 0; y < h; ++y) {
        auto* row =
            reinterpret_cast<DWORD*>(static_cast<unsigned char*>(locked.pBits) + y * locked.Pitch);
        for (UINT x = 0; x < w; ++x) row[x] = argb;
    }
}

TEST_F(Textures, MipLevelsAreChosenBySize) {
    const DWORD colors[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00};
    IDirect3DTexture9* texture =
        Make(8, 8, 0, D3DFMT_A8R8G8B8, [&](UINT level, const D3DLOCKED_RECT& r) {
            const UINT size = 8 >> level;
            EXPECT_EQ(r.Pitch, INT(size * 4));
            Fill_Argb(r, size, size, colors[level]);
        });
    ASSERT_NE(texture, nullptr);
    ASSERT_EQ(texture->GetLevelCount(), 4u);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(texture->GetLevelDesc(2, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 2u);
    EXPECT_EQ(desc.Height, 2u);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(texture->GetLevelDesc(4, &desc), D3DERR_INVALIDCALL);

    d->SetTexture(0, texture);
    d->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    Draw_Textured(0, 0, 8, 8);    // 1:1 -> level 0
    Draw_Textured(10, 0, 14, 4);  // half size -> level 1
    Draw_Textured(20, 0, 22, 2);  // quarter -> level 2
    Draw_Textured(30, 0, 31, 1);  // one pixel -> level 3
    // Without a mip filter only the top level is used.
    d->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
    Draw_Textured(40, 0, 42, 2);
    Finish();
    EXPECT_EQ(t.Pixel(4, 4), 0xFFFF0000u);
    EXPECT_EQ(t.Pixel(12, 2), 0xFF00FF00u);
    EXPECT_EQ(t.Pixel(21, 1), 0xFF0000FFu);
    EXPECT_EQ(t.Pixel(30, 0), 0xFFFFFF00u);
    EXPECT_EQ(t.Pixel(41, 1), 0xFFFF0000u);
}

TEST_F(Textures, LevelCountsAndBadCreation) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(d->CreateTexture(16, 4, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3D_OK);
    EXPECT_EQ(texture->GetLevelCount(), 5u);  // 16x4, 8x2, 4x1, 2x1, 1x1
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(texture->GetLevelDesc(3, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 2u);
    EXPECT_EQ(desc.Height, 1u);
    texture->Release();

    texture = reinterpret_cast<IDirect3DTexture9*>(1);
    EXPECT_EQ(d->CreateTexture(16, 4, 6, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(d->CreateTexture(0, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(d->CreateTexture(4, 4, 1, 0, D3DFMT_D16, D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_LT(d->CreateTexture(0x40000000, 0x40000000, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                               &texture, nullptr),
              0);
    // Within GL's size limit but four gigabytes: refused before anything is allocated.
    EXPECT_EQ(d->CreateTexture(16384, 16384, 1, 0, D3DFMT_A32B32G32R32F, D3DPOOL_MANAGED, &texture,
                               nullptr),
              D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(texture, nullptr);
}

TEST_F(Textures, Dxt1BlocksDecode) {
    // One 4x4 block: colour 0 pure red, colour 1 pure blue (565); rows use
    // indices 0, 1, 2 and 3: red, blue, 2/3 red + 1/3 blue, 1/3 red + 2/3 blue.
    IDirect3DTexture9* opaque = Make(4, 4, 1, D3DFMT_DXT1, [](UINT, const D3DLOCKED_RECT& r) {
        EXPECT_EQ(r.Pitch, 8);
        const unsigned char block[8] = {0x00, 0xF8, 0x1F, 0x00, 0x00, 0x55, 0xAA, 0xFF};
        std::memcpy(r.pBits, block, 8);
    });
    // Colour 0 <= colour 1 switches to three colours plus transparent black.
    IDirect3DTexture9* punch = Make(4, 4, 1, D3DFMT_DXT1, [](UINT, const D3DLOCKED_RECT& r) {
        const unsigned char block[8] = {0x1F, 0x00, 0x00, 0xF8, 0xFF, 0xFF, 0xFF, 0xFF};
        std::memcpy(r.pBits, block, 8);
    });
    ASSERT_TRUE(opaque && punch);
    d->SetTexture(0, opaque);
    Draw_Textured(0, 0, 4, 4);
    d->SetTexture(0, punch);
    Draw_Textured(8, 0, 12, 4);
    Finish();
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(t.Pixel(x, 0), 0xFFFF0000u);
        EXPECT_EQ(t.Pixel(x, 1), 0xFF0000FFu);
        EXPECT_NEAR(t.Channel(x, 2, 0), 170, 2);
        EXPECT_NEAR(t.Channel(x, 2, 2), 85, 2);
        EXPECT_NEAR(t.Channel(x, 3, 0), 85, 2);
        EXPECT_NEAR(t.Channel(x, 3, 2), 170, 2);
        EXPECT_EQ(t.Pixel(8 + x, 2), 0x00000000u);  // transparent black, alpha 0 written
    }
}

TEST_F(Textures, Dxt5AlphaAndCompressedLocking) {
    // 8x8 DXT5: four blocks; the bottom-right one gets alpha 255 -> 0 ramp
    // index 1 (alpha 0) everywhere and colour white; the others stay zero.
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(d->CreateTexture(8, 8, 1, 0, D3DFMT_DXT5, D3DPOOL_MANAGED, &texture, nullptr),
              D3D_OK);
    owned.push_back(texture);
    D3DLOCKED_RECT locked{};
    const RECT misaligned = {2, 4, 8, 8};
    EXPECT_EQ(texture->LockRect(0, &locked, &misaligned, 0), D3DERR_INVALIDCALL);
    const RECT block = {4, 4, 8, 8};
    ASSERT_EQ(texture->LockRect(0, &locked, &block, 0), D3D_OK);
    EXPECT_EQ(locked.Pitch, 32);  // two blocks of 16 bytes per block row
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);  // already locked
    const unsigned char data[16] = {
        0xFF, 0x00, 0x49, 0x92, 0x24, 0x49, 0x92, 0x24,   // alpha: index 1 = 0
        0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00};  // white
    std::memcpy(locked.pBits, data, 16);
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    EXPECT_EQ(texture->UnlockRect(0), D3DERR_INVALIDCALL);
    d->SetTexture(0, texture);
    Draw_Textured(0, 0, 8, 8);
    Finish();
    EXPECT_EQ(t.Pixel(6, 6), 0x00FFFFFFu);
    EXPECT_EQ(t.Pixel(1, 1), 0x00000000u);
}

TEST_F(Textures, UncompressedFormatsSampleAsDirect3DDefinesThem) {
    struct Case {
        D3DFORMAT format;
        std::vector<unsigned char> texel;
        DWORD expected;  // ARGB read back (diffuse white, MODULATE / SELECTARG1)
    };
    const Case cases[] = {
        {D3DFMT_A8R8G8B8, {0x30, 0x20, 0x10, 0x80}, 0x80102030},
        {D3DFMT_X8R8G8B8, {0x30, 0x20, 0x10, 0x00}, 0xFF102030},
        {D3DFMT_L8, {0x40}, 0xFF404040},
        {D3DFMT_A8, {0x70}, 0x70000000},
        {D3DFMT_A8L8, {0x60, 0x90}, 0x90606060},
        {D3DFMT_R5G6B5, {0xE0, 0x07}, 0xFF00FF00},    // green 0x07E0
        {D3DFMT_A1R5G5B5, {0x1F, 0x80}, 0xFF0000FF},  // alpha bit + blue
        {D3DFMT_A1R5G5B5, {0x00, 0x7C}, 0x00FF0000},  // red without alpha
        {D3DFMT_A4R4G4B4, {0x3C, 0x9F}, 0x99FF33CC},  // a=9 r=F g=3 b=C
        {D3DFMT_A8B8G8R8, {0x10, 0x20, 0x30, 0x40}, 0x40102030},
    };
    int x = 0;
    for (const Case& c : cases) {
        IDirect3DTexture9* texture = Make(1, 1, 1, c.format, [&](UINT, const D3DLOCKED_RECT& r) {
            std::memcpy(r.pBits, c.texel.data(), c.texel.size());
        });
        ASSERT_NE(texture, nullptr) << c.format;
        d->SetTexture(0, texture);
        Draw_Textured(float(x), 0, float(x + 2), 2);
        x += 3;
    }
    Finish();
    x = 0;
    for (const Case& c : cases) {
        EXPECT_EQ(t.Pixel(x, 1), c.expected) << "format " << c.format;
        x += 3;
    }
}

TEST_F(Textures, FloatFormats) {
    const float rgba[4] = {0.25f, 0.5f, 0.75f, 1.0f};
    IDirect3DTexture9* wide =
        Make(1, 1, 1, D3DFMT_A32B32G32R32F, [&](UINT, const D3DLOCKED_RECT& r) {
            EXPECT_EQ(r.Pitch, 16);
            std::memcpy(r.pBits, rgba, 16);
        });
    IDirect3DTexture9* single = Make(1, 1, 1, D3DFMT_R32F, [&](UINT, const D3DLOCKED_RECT& r) {
        std::memcpy(r.pBits, rgba + 1, 4);
    });
    ASSERT_TRUE(wide && single);
    d->SetTexture(0, wide);
    Draw_Textured(0, 0, 2, 2);
    d->SetTexture(0, single);  // R32F samples as (r, 1, 1, 1)
    Draw_Textured(4, 0, 6, 2);
    Finish();
    EXPECT_PIXEL_NEAR(t, 1, 1, (Rgb{0.25f, 0.5f, 0.75f}), 1);
    EXPECT_PIXEL_NEAR(t, 5, 1, (Rgb{0.5f, 1.0f, 1.0f}), 1);
}

TEST_F(Textures, LockingARectangleChangesOnlyThatPart) {
    IDirect3DTexture9* texture = Make(4, 4, 1, D3DFMT_A8R8G8B8, [](UINT, const D3DLOCKED_RECT& r) {
        Fill_Argb(r, 4, 4, 0xFF0000FF);
    });
    ASSERT_NE(texture, nullptr);
    const RECT part = {1, 2, 3, 3};
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, &part, 0), D3D_OK);
    EXPECT_EQ(locked.Pitch, 16);
    Fill_Argb(locked, 2, 1, 0xFFFFFFFF);
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    const RECT outside = {2, 2, 5, 3};
    EXPECT_EQ(texture->LockRect(0, &locked, &outside, 0), D3DERR_INVALIDCALL);
    d->SetTexture(0, texture);
    Draw_Textured(0, 0, 4, 4);
    Finish();
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(t.Pixel(x, y), (y == 2 && (x == 1 || x == 2)) ? 0xFFFFFFFFu : 0xFF0000FFu)
                << x << "," << y;
}

TEST_F(Textures, CubeMapFacesByDirection) {
    IDirect3DCubeTexture9* cube = nullptr;
    ASSERT_EQ(d->CreateCubeTexture(2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &cube, nullptr),
              D3D_OK);
    owned.push_back(cube);
    const DWORD colors[6] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF,
                             0xFFFFFF00, 0xFF00FFFF, 0xFFFF00FF};
    for (int face = 0; face < 6; ++face) {
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(cube->LockRect(D3DCUBEMAP_FACES(face), 0, &locked, nullptr, 0), D3D_OK);
        Fill_Argb(locked, 2, 2, colors[face]);
        ASSERT_EQ(cube->UnlockRect(D3DCUBEMAP_FACES(face), 0), D3D_OK);
    }
    EXPECT_EQ(cube->GetType(), D3DRTYPE_CUBETEXTURE);
    ASSERT_EQ(d->SetTexture(0, cube), D3D_OK);
    const float directions[6][3] = {{1, 0.1f, 0.1f},  {-1, 0.1f, 0.1f}, {0.1f, 1, 0.1f},
                                    {0.1f, -1, 0.1f}, {0.1f, 0.1f, 1},  {0.1f, 0.1f, -1}};
    d->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE3(0));
    for (int face = 0; face < 6; ++face) {
        const float* dir = directions[face];
        const float x1 = float(face * 4), x2 = x1 + 3;
        const Cube_Vertex v[4] = {{x1, 3, 0.5f, 1, 0xFFFFFFFF, dir[0], dir[1], dir[2]},
                                  {x1, 0, 0.5f, 1, 0xFFFFFFFF, dir[0], dir[1], dir[2]},
                                  {x2, 3, 0.5f, 1, 0xFFFFFFFF, dir[0], dir[1], dir[2]},
                                  {x2, 0, 0.5f, 1, 0xFFFFFFFF, dir[0], dir[1], dir[2]}};
        ASSERT_EQ(d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(Cube_Vertex)), D3D_OK);
    }
    // The same cube seen through IDirect3DTexture9, as texture loading hands it out.
    IDirect3DTexture9* view = Gl_Cube_Texture_View(cube);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->GetType(), D3DRTYPE_CUBETEXTURE);
    EXPECT_EQ(Gl_Cube_Texture_Of(view), cube);
    ASSERT_EQ(d->SetTexture(0, view), D3D_OK);
    const float* dir = directions[2];
    const Cube_Vertex v[4] = {{40, 3, 0.5f, 1, 0xFFFFFFFF, dir[0], dir[1], dir[2]},
                              {40, 0, 0.5f, 1, 0xFFFFFFFF, dir[0], dir[1], dir[2]},
                              {43, 3, 0.5f, 1, 0xFFFFFFFF, dir[0], dir[1], dir[2]},
                              {43, 0, 0.5f, 1, 0xFFFFFFFF, dir[0], dir[1], dir[2]}};
    ASSERT_EQ(d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(Cube_Vertex)), D3D_OK);
    Finish();
    for (int face = 0; face < 6; ++face)
        EXPECT_EQ(t.Pixel(face * 4 + 1, 1), colors[face]) << "face " << face;
    EXPECT_EQ(t.Pixel(41, 1), colors[2]);
    GLenum target = 0;
    EXPECT_NE(Gl_Texture_Name(view, &target), 0u);
    EXPECT_EQ(target, GLenum(GL_TEXTURE_CUBE_MAP));
}

TEST_F(Textures, AddressModes) {
    // Two texels, red and green, spread over u = 0..2 on 4 pixels.
    IDirect3DTexture9* texture = Make(2, 1, 1, D3DFMT_A8R8G8B8, [](UINT, const D3DLOCKED_RECT& r) {
        auto* row = static_cast<DWORD*>(r.pBits);
        row[0] = 0xFFFF0000;
        row[1] = 0xFF00FF00;
    });
    ASSERT_NE(texture, nullptr);
    d->SetTexture(0, texture);
    const DWORD modes[4] = {D3DTADDRESS_WRAP, D3DTADDRESS_CLAMP, D3DTADDRESS_BORDER,
                            D3DTADDRESS_MIRROR};
    d->SetSamplerState(0, D3DSAMP_BORDERCOLOR, 0xFF0000FF);
    for (int i = 0; i < 4; ++i) {
        d->SetSamplerState(0, D3DSAMP_ADDRESSU, modes[i]);
        Draw_Textured(0, float(i * 2), 4, float(i * 2 + 1), 0, 0, 2, 1);
    }
    Finish();
    const DWORD R = 0xFFFF0000, G = 0xFF00FF00, B = 0xFF0000FF;
    const DWORD expected[4][4] = {{R, G, R, G}, {R, G, G, G}, {R, G, B, B}, {R, G, G, R}};
    for (int i = 0; i < 4; ++i)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(t.Pixel(x, i * 2), expected[i][x]) << "mode " << modes[i] << " x " << x;
}

TEST_F(Textures, LinearFilteringBlendsNeighboursPointDoesNot) {
    IDirect3DTexture9* texture = Make(2, 1, 1, D3DFMT_A8R8G8B8, [](UINT, const D3DLOCKED_RECT& r) {
        auto* row = static_cast<DWORD*>(r.pBits);
        row[0] = 0xFF000000;
        row[1] = 0xFFFFFFFF;
    });
    ASSERT_NE(texture, nullptr);
    d->SetTexture(0, texture);
    d->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    Draw_Textured(0, 0, 16, 1);
    d->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    Draw_Textured(0, 2, 16, 3);
    // The engine's choice: anisotropic for all three filters.
    d->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_ANISOTROPIC);
    d->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_ANISOTROPIC);
    d->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_ANISOTROPIC);
    Draw_Textured(0, 4, 16, 5);
    Finish();
    int point_levels = 0, linear_levels = 0, aniso_levels = 0;
    for (int x = 0; x < 16; ++x) {
        const int p = t.Channel(x, 0, 0), l = t.Channel(x, 2, 0), a = t.Channel(x, 4, 0);
        point_levels += (p != 0 && p != 255);
        linear_levels += (l != 0 && l != 255);
        aniso_levels += (a != 0 && a != 255);
        if (x > 0) {
            EXPECT_GE(l, t.Channel(x - 1, 2, 0));
        }
    }
    EXPECT_EQ(point_levels, 0);
    EXPECT_GE(linear_levels, 6);
    EXPECT_GE(aniso_levels, 6);
}

TEST_F(Textures, StageOperationsAndArguments) {
    IDirect3DTexture9* texture = Make(1, 1, 1, D3DFMT_A8R8G8B8, [](UINT, const D3DLOCKED_RECT& r) {
        *static_cast<DWORD*>(r.pBits) = D3DCOLOR_ARGB(128, 100, 50, 200);
    });
    ASSERT_NE(texture, nullptr);
    d->SetTexture(0, texture);
    const D3DCOLOR diffuse = D3DCOLOR_ARGB(200, 128, 255, 64);
    auto draw = [&](int slot) {
        Draw_Textured(float(slot * 3), 0, float(slot * 3 + 2), 2, 0, 0, 1, 1, diffuse);
    };
    draw(0);  // defaults: colour = texture * diffuse, alpha = texture alpha
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
    draw(1);  // diffuse only
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_ADD);
    draw(2);
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE2X);
    d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    draw(3);
    d->SetRenderState(D3DRS_TEXTUREFACTOR, D3DCOLOR_ARGB(10, 20, 30, 40));
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
    d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TFACTOR);
    draw(4);
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
    draw(5);  // stage off: the diffuse colour, alpha included
    Finish();
    EXPECT_NEAR(t.Channel(1, 1, 0), 100 * 128 / 255, 1);
    EXPECT_NEAR(t.Channel(1, 1, 1), 50, 1);
    EXPECT_NEAR(t.Channel(1, 1, 2), 200 * 64 / 255, 1);
    EXPECT_EQ(t.Channel(1, 1, 3), 128);
    EXPECT_EQ(t.Pixel(4, 1), diffuse);
    EXPECT_EQ(t.Pixel(7, 1), D3DCOLOR_ARGB(200, 228, 255, 255));
    EXPECT_NEAR(t.Channel(10, 1, 0), 2 * 100 * 128 / 255, 1);
    EXPECT_NEAR(t.Channel(10, 1, 1), 100, 1);
    EXPECT_NEAR(t.Channel(10, 1, 2), 2 * 200 * 64 / 255, 1);
    EXPECT_NEAR(t.Channel(10, 1, 3), 128 * 200 / 255, 1);
    EXPECT_EQ(t.Pixel(13, 1), D3DCOLOR_ARGB(10, 20, 30, 40));
    EXPECT_EQ(t.Pixel(16, 1), diffuse);
}

TEST_F(Textures, StageWithoutATextureShowsTheDiffuseColour) {
    // Default stage states read the texture; with none bound the diffuse
    // colour (alpha included) comes through, as Direct3D 9 draws untextured
    // geometry.
    const D3DCOLOR diffuse = D3DCOLOR_ARGB(99, 10, 200, 30);
    Draw_Screen_Quad(d, 0, 0, 4, 4, diffuse);
    Finish();
    EXPECT_EQ(t.Pixel(1, 1), diffuse);
}

TEST_F(Textures, TextureCoordinateIndexPicksTheSet) {
    // Two texture coordinate sets; stage 0 reads set 1 after TEXCOORDINDEX 1.
    IDirect3DTexture9* texture = Make(2, 1, 1, D3DFMT_A8R8G8B8, [](UINT, const D3DLOCKED_RECT& r) {
        auto* row = static_cast<DWORD*>(r.pBits);
        row[0] = 0xFFFF0000;
        row[1] = 0xFF00FF00;
    });
    ASSERT_NE(texture, nullptr);
    d->SetTexture(0, texture);
    struct Vertex {
        float x, y, z, rhw;
        float u0, v0, u1, v1;
    };
    auto quad = [&](float x1) {
        const float x2 = x1 + 2;
        const Vertex v[4] = {{x1, 2, 0.5f, 1, 0.25f, 0.5f, 0.75f, 0.5f},
                             {x1, 0, 0.5f, 1, 0.25f, 0.5f, 0.75f, 0.5f},
                             {x2, 2, 0.5f, 1, 0.25f, 0.5f, 0.75f, 0.5f},
                             {x2, 0, 0.5f, 1, 0.25f, 0.5f, 0.75f, 0.5f}};
        d->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX2);
        d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(Vertex));
    };
    quad(0);
    d->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 1);
    quad(4);
    Finish();
    EXPECT_EQ(t.Pixel(1, 1), 0xFFFF0000u);
    EXPECT_EQ(t.Pixel(5, 1), 0xFF00FF00u);
}

}  // namespace
