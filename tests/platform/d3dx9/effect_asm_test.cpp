// Assembly shaders in effects (tests/fx/asm.fx): every profile family draws
// the value its instructions compute from def constants, vertex colours,
// texture coordinates, textures and the constant registers that the passes
// and the application set.
#include <gtest/gtest.h>

#include "effect_test_util.h"

namespace {

// Two texels: (0.8, 0.4, 1.0) on the left half, (0.2, 0.6, 0.8) on the right.
constexpr D3DCOLOR k_left = 0xFFCC66FF;
constexpr D3DCOLOR k_right = 0xFF3399CC;

class Effect_Asm : public Effect_File_Test {
protected:
    Effect_Asm() : Effect_File_Test("asm.fx") {}

    void SetUp() override {
        Effect_File_Test::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_EQ(
            dev.device->CreateTexture(2, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex_, nullptr),
            D3D_OK);
        D3DLOCKED_RECT r;
        ASSERT_EQ(tex_->LockRect(0, &r, nullptr, 0), D3D_OK);
        static_cast<DWORD*>(r.pBits)[0] = k_left;
        static_cast<DWORD*>(r.pBits)[1] = k_right;
        tex_->UnlockRect(0);
        ASSERT_EQ(fx->SetTexture("Tex", tex_), D3D_OK);
    }
    void TearDown() override {
        if (tex_) tex_->Release();
        Effect_File_Test::TearDown();
    }

    IDirect3DTexture9* tex_ = nullptr;
};

struct Colour_Vertex {
    float x, y, z;
    D3DCOLOR colour;
};

TEST_F(Effect_Asm, Vs11Ps11ReadVertexColourDefAndTheMatrixRegisters) {
    const D3DCOLOR colour = 0xFF40C000;  // (0.251, 0.753, 0)
    const Colour_Vertex v[6] = {{-1, 1, 0.5f, colour},  {1, 1, 0.5f, colour},
                                {-1, -1, 0.5f, colour}, {-1, -1, 0.5f, colour},
                                {1, 1, 0.5f, colour},   {1, -1, 0.5f, colour}};
    auto draw = [&] {
        dev.device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
        dev.device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(Colour_Vertex));
    };
    // Colour * 0.5 (def) + Tint (c4 through the specular colour).
    Render_With("Asm_11", draw);
    EXPECT_PIXEL_NEAR(dev, 4, 8, 0.251f / 2 + 0.25f, 0.753f / 2 + 0.5f, 0.75f);

    // m4x4 reads the matrix a column per register: a translation by +1 in x
    // moves the quad onto the right half.
    D3DXMATRIX shift(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 1);
    ASSERT_EQ(fx->SetMatrix("Wvp", &shift), D3D_OK);
    Render_With("Asm_11", draw);
    EXPECT_PIXEL_NEAR(dev, 4, 8, 0.0f, 0.0f, 0.0f);
    EXPECT_PIXEL_NEAR(dev, 12, 8, 0.251f / 2 + 0.25f, 0.753f / 2 + 0.5f, 0.75f);
    // Inside the pass c0.w is row 3 of column 0; End gives back the registers
    // Begin found, unless told not to save shader state.
    float c0[4] = {};
    Render_With("Asm_11", [&] { dev.device->GetVertexShaderConstantF(0, c0, 1); });
    EXPECT_EQ(c0[3], 1.0f);
    ASSERT_EQ(dev.device->GetVertexShaderConstantF(0, c0, 1), D3D_OK);
    EXPECT_EQ(c0[3], 0.0f);
    UINT passes = 0;
    ASSERT_EQ(fx->Begin(&passes, D3DXFX_DONOTSAVESHADERSTATE), D3D_OK);
    ASSERT_EQ(fx->BeginPass(0), D3D_OK);
    fx->EndPass();
    fx->End();
    ASSERT_EQ(dev.device->GetVertexShaderConstantF(0, c0, 1), D3D_OK);
    EXPECT_EQ(c0[3], 1.0f);
}

TEST_F(Effect_Asm, Ps13AndPs14SampleAndReadTextureCoordinates) {
    // tex, mul by a written-out constant, cnd on r0.a, _bx2.
    Render("Asm_13");
    EXPECT_PIXEL_NEAR(dev, 4, 8, 0.85f, 0.5f, 1.0f);

    // texld, texcrd, a dependent read after phase. Pixel centres sit on
    // whole coordinates in Direct3D 9, so u = 4 / 16 at x = 4.
    Render("Asm_14");
    EXPECT_PIXEL_NEAR(dev, 4, 8, 0.4f, 4.0f / 16, 1.0f);
}

TEST_F(Effect_Asm, Vs20ReadsARegisterTheApplicationSets) {
    // c9 scales the texture coordinates: 1 keeps x = 12 on the right texel,
    // 0.5 moves it to the left one; the pixel shader tints by Tint (c2).
    const float one[4] = {1, 1, 1, 1};
    ASSERT_EQ(dev.device->SetVertexShaderConstantF(9, one, 1), D3D_OK);
    Render("Asm_20");
    EXPECT_PIXEL_NEAR(dev, 12, 8, 0.2f * 0.25f, 0.6f * 0.5f, 0.8f * 0.75f);
    const float half[4] = {0.5f, 0.5f, 0.5f, 0.5f};
    ASSERT_EQ(dev.device->SetVertexShaderConstantF(9, half, 1), D3D_OK);
    Render("Asm_20");
    EXPECT_PIXEL_NEAR(dev, 12, 8, 0.8f * 0.25f, 0.4f * 0.5f, 1.0f * 0.75f);

    // Out of the register file: refused, nothing written.
    EXPECT_EQ(dev.device->SetVertexShaderConstantF(255, one, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev.device->SetPixelShaderConstantF(224, one, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev.device->SetPixelShaderConstantB(16, nullptr, 1), D3DERR_INVALIDCALL);
}

TEST_F(Effect_Asm, Vs30LoopsOnAnIntRegisterAndPs30BranchesOnABool) {
    // c11 + 2 x c10 (the included loop body), halved in r and g while Flag.
    Render("Asm_30");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.125f, 0.25f, 0.5f);
    ASSERT_EQ(fx->SetBool("Flag", FALSE), D3D_OK);
    const int loops[4] = {3, 0, 1, 0};
    ASSERT_EQ(fx->SetValue("Loops", loops, sizeof loops), D3D_OK);
    Render("Asm_30");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.375f, 0.75f, 0.5f);
}

}  // namespace
