// Shader code as Direct3D 9 compilers took it (tests/fx/shader_code.fx):
// semantics the wrapper maps, parameters written by shaders, 1D and
// projective cube sampling, noise() and old profile spellings, each read back
// from the pixels it draws.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "effect_test_util.h"

namespace {

class Effect_Shader_Code : public Effect_File_Test {
protected:
    Effect_Shader_Code() : Effect_File_Test("shader_code.fx") {}
    void TearDown() override {
        for (IDirect3DBaseTexture9* t : textures_) t->Release();
        Effect_File_Test::TearDown();
    }
    std::vector<IDirect3DBaseTexture9*> textures_;
};

TEST_F(Effect_Shader_Code, SpecularPointSizeAndOldProfileSpellings) {
    Render("Specular");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.25f, 0.5f, 0.75f);
    // The point size does not reach the pixel shader.
    Render("Point_Size");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.5f, 0.25f, 0.125f);
    // vs_1_0 + PS_2_0, then VS_1_1 + ps_1_0.
    Render("Old_Profiles");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.25f, 0.5f, 0.125f);
}

TEST_F(Effect_Shader_Code, VposCountsWholePixelsFromTheTopLeft) {
    Render("Pixel_Position");
    for (const auto& [x, y] : {std::pair{0, 0}, {3, 12}, {15, 1}})
        EXPECT_PIXEL_NEAR(dev, x, y, x / 16.0f, y / 16.0f, 0.0f);
}

TEST_F(Effect_Shader_Code, VfaceIsPositiveOnClockwiseFaces) {
    Render_With("Face", [this] {
        Draw_Clip_Rect(dev.device, -1, -1, 0, 1);  // clockwise on screen
        Draw_Clip_Rect(dev.device, 1, -1, 0, 1);   // mirrored: counter-clockwise
    });
    EXPECT_PIXEL_NEAR(dev, 4, 8, 0.0f, 1.0f, 0.5f);
    EXPECT_PIXEL_NEAR(dev, 12, 8, 1.0f, 0.0f, 0.5f);
}

TEST_F(Effect_Shader_Code, AShaderWritesAPrivateCopyOfAParameter) {
    // Tint.x 0.25 + 0.25, doubled; Steps[1] 0.25 * 3; Tint.z 0.125 doubled.
    Render("Written_Parameters");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.5f, 0.75f, 0.25f);
    // Every pixel and every draw starts again from the parameter's value.
    EXPECT_PIXEL_NEAR(dev, 2, 13, 0.5f, 0.75f, 0.25f);
    Render("Written_Parameters");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.5f, 0.75f, 0.25f);
    Render("Read_Parameter");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.25f, 0.5f, 0.125f);
    float tint[4] = {};
    ASSERT_EQ(fx->GetValue("Tint", tint, sizeof tint), D3D_OK);
    EXPECT_EQ(tint[0], 0.25f);

    // The copy starts from the value set, not from the default.
    const D3DXVECTOR4 set(0, 0.5f, 0.25f, 1);
    ASSERT_EQ(fx->SetVector("Tint", &set), D3D_OK);
    Render("Written_Parameters");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.25f, 0.75f, 0.5f);
}

TEST_F(Effect_Shader_Code, Tex1DVariantsAndTexCubeProj) {
    // Four texels: red, green, blue, grey.
    IDirect3DTexture9* ramp = nullptr;
    ASSERT_EQ(
        dev.device->CreateTexture(4, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &ramp, nullptr),
        D3D_OK);
    textures_.push_back(ramp);
    D3DLOCKED_RECT r;
    ASSERT_EQ(ramp->LockRect(0, &r, nullptr, 0), D3D_OK);
    const DWORD texels[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF808080};
    std::memcpy(r.pBits, texels, sizeof texels);
    ramp->UnlockRect(0);
    ASSERT_EQ(fx->SetTexture("Ramp", ramp), D3D_OK);
    Render("Tex1D");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 1.0f, 1.0f, 128 / 255.0f);

    IDirect3DCubeTexture9* cube = nullptr;
    ASSERT_EQ(
        dev.device->CreateCubeTexture(1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &cube, nullptr),
        D3D_OK);
    textures_.push_back(cube);
    const DWORD faces[6] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00, 0xFFFF00FF, 0xFF00FFFF};
    for (int f = 0; f < 6; ++f) {
        D3DLOCKED_RECT lr;
        ASSERT_EQ(cube->LockRect(static_cast<D3DCUBEMAP_FACES>(f), 0, &lr, nullptr, 0), D3D_OK);
        std::memcpy(lr.pBits, &faces[f], 4);
        cube->UnlockRect(static_cast<D3DCUBEMAP_FACES>(f), 0);
    }
    ASSERT_EQ(fx->SetTexture("Faces", cube), D3D_OK);
    Render("Cube_Proj");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 1.0f, 1.0f, 0.0f);  // -Y
}

TEST_F(Effect_Shader_Code, IntrinsicsSwizzleTargetsMatrixArrayArgumentsAndLoopScope) {
    Render("Noise");  // 0 at whole coordinates, within -1..1 elsewhere
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.5f, 1.0f, 0.5f);
    Render("Lighting");  // lit(0.5, 0.5, 2).yz, dst(...).y + dst(...).w
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.5f, 0.25f, 0.375f);
    Render("Swizzle_Target");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.5f, 0.25f, 0.5f);
    Render("Palette_Argument");  // the second matrix's translation
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.5f, 0.25f, 0.125f);
    // i is 3 after the first loop and 2 after the second, which reuses it.
    Render("Loop_Scope");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.375f, 0.25f, 0.5f);
}

}  // namespace
