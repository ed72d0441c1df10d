// Arrays of compiled shaders, array casts, arrays of arrays, flat scalar
// lists, vertex inputs without a location of their own, constructors as
// assignment targets, any()/all() of matrices and sampler state blocks
// without "= sampler_state" (tests/fx/wild_arrays.fx): each draws the value
// the HLSL asks for.
#include <gtest/gtest.h>

#include "effect_test_util.h"

namespace {

class Effect_Wild_Arrays : public Effect_File_Test {
protected:
    Effect_Wild_Arrays() : Effect_File_Test("wild_arrays.fx") {}
};

TEST_F(Effect_Wild_Arrays, AParameterPicksTheVertexShaderFromAnArray) {
    Render("Picked");  // Pick = 1: Tint_VS(0.5)
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.5f, 0.5f, 0.5f);
    ASSERT_EQ(fx->SetInt("Pick", 2), D3D_OK);
    Render("Picked");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.75f, 0.25f, 0.5f);
    // Past the end: the last element.
    ASSERT_EQ(fx->SetInt("Pick", 7), D3D_OK);
    Render("Picked");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.75f, 0.25f, 0.5f);

    Render("Constant_Pick");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.25f, 0.75f, 0.5f);

    // Inside a pass, CommitChanges takes a new pick.
    ASSERT_EQ(fx->SetInt("Pick", 2), D3D_OK);
    Render_With("Picked", [this] {
        Draw_Clip_Rect(dev.device, -1, -1, 0, 1);
        ASSERT_EQ(fx->SetInt("Pick", 0), D3D_OK);
        ASSERT_EQ(fx->CommitChanges(), D3D_OK);
        Draw_Clip_Rect(dev.device, 0, -1, 1, 1);
    });
    EXPECT_PIXEL_NEAR(dev, 4, 8, 0.75f, 0.25f, 0.5f);
    EXPECT_PIXEL_NEAR(dev, 12, 8, 0.25f, 0.75f, 0.5f);
}

TEST_F(Effect_Wild_Arrays, CastsOfVectorsToArraysAndArraysOfArrays) {
    Render("Cast");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.75f, 0.375f, 0.5f);

    // Grid[1][2], Square[1][0] and Pair[1].y from their flat lists.
    Render("Arrays_Of_Arrays");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.5f, 0.375f, 0.75f);
    // The parameter's six values in order, the last one being Grid[1][2].
    const float grid[6] = {0, 0, 0, 0, 0, 0.25f};
    ASSERT_EQ(fx->SetValue("Grid", grid, sizeof grid), D3D_OK);
    Render("Arrays_Of_Arrays");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.25f, 0.375f, 0.75f);
}

TEST_F(Effect_Wild_Arrays, ConstructorsAsTargetsAnyAllOfMatricesAndCommaDefaults) {
    Render("Split");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.875f, 0.125f, 0.5f);

    Render("Matrix_Any_All");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 1.0f, 0.25f, 0.5f);

    float comma[2] = {};
    ASSERT_EQ(fx->GetValue("Comma_Default", comma, sizeof comma), D3D_OK);
    EXPECT_EQ(comma[0], 0.75f);
    EXPECT_EQ(comma[1], 0.75f);
    const D3DXMATRIX zero(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    ASSERT_EQ(fx->SetMatrix("Matrix_In", &zero), D3D_OK);
    Render("Matrix_Any_All");
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.0f, 0.25f, 0.5f);
}

TEST_F(Effect_Wild_Arrays, ASamplerStateBlockWithoutAnAssignmentApplies) {
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(
        dev.device->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr),
        D3D_OK);
    D3DLOCKED_RECT r;
    ASSERT_EQ(tex->LockRect(0, &r, nullptr, 0), D3D_OK);
    *static_cast<DWORD*>(r.pBits) = 0xFF40C080;  // (0.25, 0.75, 0.5)
    tex->UnlockRect(0);
    ASSERT_EQ(fx->SetTexture("Block_Tex", tex), D3D_OK);
    dev.device->SetSamplerState(1, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);

    Render_With("Sampler_Block", [this] {
        DWORD min_filter = 0;
        dev.device->GetSamplerState(1, D3DSAMP_MINFILTER, &min_filter);
        EXPECT_EQ(min_filter, DWORD(D3DTEXF_POINT));
        Draw_Clip_Rect(dev.device);
    });
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.25f, 0.75f, 0.5f);
    tex->Release();
}

// Inputs whose semantics have no location of their own are fed from their
// vertex elements at locations the shader leaves free, even where the
// declaration also holds the element that owns such a location (NORMAL0).
TEST_F(Effect_Wild_Arrays, VertexInputsOfUsageIndexAboveZeroReadTheirElements) {
    struct Wide_Vertex {
        float x, y, z;
        float normal0[3];
        float weight1[4];
        float tex7[2];
        float normal1[3];
    };
    const D3DVERTEXELEMENT9 elements[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
        {0, 24, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_BLENDWEIGHT, 1},
        {0, 40, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 7},
        {0, 48, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 1},
        D3DDECL_END()};
    IDirect3DVertexDeclaration9* decl = nullptr;
    ASSERT_EQ(dev.device->CreateVertexDeclaration(elements, &decl), D3D_OK);
    Wide_Vertex v[6];
    const float corners[6][2] = {{-1, 1}, {1, 1}, {-1, -1}, {-1, -1}, {1, 1}, {1, -1}};
    for (int i = 0; i < 6; ++i)
        v[i] = {corners[i][0],    corners[i][1], 0.5f,         {0.9f, 0.9f, 0.9f},
                {0.25f, 0, 0, 0}, {0, 0.5f},     {0, 0, 0.75f}};

    Render_With("Wide_Inputs", [&] {
        dev.device->SetVertexDeclaration(decl);
        dev.device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(Wide_Vertex));
    });
    EXPECT_PIXEL_NEAR(dev, 8, 8, 0.25f, 0.5f, 0.75f);
    decl->Release();
}

}  // namespace
