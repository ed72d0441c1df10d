// Fixed-function lighting: the colours Direct3D 9's lighting equations give,
// worked out here from each test's own numbers.
#include <cmath>

#include "d3d9_test_util.h"

namespace {

constexpr float k_side = 0.5f;   // the square spans -0.5..0.5 in x and y
constexpr float k_depth = 0.5f;  // at z = 0.5
constexpr int k_size = 32;       // back buffer; the square covers pixels 8..23

class Lighting : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(t.Ok()) << t.Error();
        d = t.device;
        Set_Identity_Transforms(d);
        d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        d->SetRenderState(D3DRS_LIGHTING, TRUE);
    }

    // Draws the facing square and returns the colour at its centre.
    void Render() {
        ASSERT_EQ(d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0),
                  D3D_OK);
        ASSERT_EQ(d->BeginScene(), D3D_OK);
        Draw_Facing_Square(d, k_side, k_depth);
        ASSERT_EQ(d->EndScene(), D3D_OK);
        ASSERT_TRUE(t.Capture());
    }

    void Set_Material(Rgb diffuse, Rgb ambient = {0, 0, 0}, Rgb specular = {0, 0, 0},
                      Rgb emissive = {0, 0, 0}, float power = 0.0f) {
        D3DMATERIAL9 m{};
        m.Diffuse = {diffuse.r, diffuse.g, diffuse.b, 1.0f};
        m.Ambient = {ambient.r, ambient.g, ambient.b, 1.0f};
        m.Specular = {specular.r, specular.g, specular.b, 1.0f};
        m.Emissive = {emissive.r, emissive.g, emissive.b, 1.0f};
        m.Power = power;
        ASSERT_EQ(d->SetMaterial(&m), D3D_OK);
    }

    // Distance from a light on the z axis at lz to every corner of the square,
    // and the cosine between the -z normal and the direction to the light.
    static float Corner_Distance(float lz) {
        return std::sqrt(2 * k_side * k_side + (k_depth - lz) * (k_depth - lz));
    }
    static float Corner_N_Dot_L(float lz) { return (k_depth - lz) / Corner_Distance(lz); }

    Test_Device t{k_size, k_size};
    IDirect3DDevice9* d = nullptr;
};

TEST_F(Lighting, PointLightWithAttenuation) {
    Set_Material({0.8f, 0.6f, 1.0f});
    D3DLIGHT9 light = Make_Light(D3DLIGHT_POINT);
    light.Diffuse = {1.0f, 0.5f, 0.25f, 1.0f};
    light.Position = {0.0f, 0.0f, -1.5f};
    light.Attenuation0 = 0.5f;
    light.Attenuation1 = 0.25f;
    light.Attenuation2 = 0.125f;
    ASSERT_EQ(d->SetLight(0, &light), D3D_OK);
    ASSERT_EQ(d->LightEnable(0, TRUE), D3D_OK);
    Render();

    const float dist = Corner_Distance(-1.5f);
    const float atten = 1.0f / (0.5f + 0.25f * dist + 0.125f * dist * dist);
    const float k = Corner_N_Dot_L(-1.5f) * atten;
    EXPECT_PIXEL_NEAR(t, 16, 16, (Rgb{0.8f * 1.0f * k, 0.6f * 0.5f * k, 1.0f * 0.25f * k}), 2);
    // Outside the square nothing was drawn.
    EXPECT_EQ(t.Pixel(2, 2), 0xFF000000u);
}

TEST_F(Lighting, RangeCutsALightOffCompletely) {
    Set_Material({1, 1, 1}, {1, 1, 1}, {0, 0, 0}, {0.1f, 0.2f, 0.3f});
    d->SetRenderState(D3DRS_AMBIENT, D3DCOLOR_XRGB(51, 51, 51));  // 0.2 global ambient
    D3DLIGHT9 light = Make_Light(D3DLIGHT_POINT);
    light.Diffuse = {1, 1, 1, 1};
    light.Ambient = {1, 1, 1, 1};
    light.Position = {0.0f, 0.0f, -1.5f};
    const float dist = Corner_Distance(-1.5f);

    // Just beyond reach: neither the light's diffuse nor its ambient counts.
    light.Range = dist * 0.99f;
    ASSERT_EQ(d->SetLight(3, &light), D3D_OK);
    ASSERT_EQ(d->LightEnable(3, TRUE), D3D_OK);
    Render();
    EXPECT_PIXEL_NEAR(t, 16, 16, (Rgb{0.1f + 0.2f, 0.2f + 0.2f, 0.3f + 0.2f}), 2);

    // Just within reach: full light (attenuation 1) saturates every channel.
    light.Range = dist * 1.01f;
    ASSERT_EQ(d->SetLight(3, &light), D3D_OK);
    Render();
    EXPECT_PIXEL_NEAR(t, 16, 16, (Rgb{1, 1, 1}), 0);
}

TEST_F(Lighting, DirectionalLightIgnoresDistance) {
    Set_Material({0.5f, 1.0f, 0.75f});
    D3DLIGHT9 light = Make_Light(D3DLIGHT_DIRECTIONAL);
    light.Diffuse = {1.0f, 0.4f, 0.8f, 1.0f};
    // Shining along (0, 1, 2): the angle with the normal is the same everywhere.
    light.Direction = {0.0f, 1.0f, 2.0f};
    light.Range = 0.0f;           // means nothing for a directional light
    light.Attenuation0 = 100.0f;  // neither does attenuation
    ASSERT_EQ(d->SetLight(0, &light), D3D_OK);
    ASSERT_EQ(d->LightEnable(0, TRUE), D3D_OK);
    Render();
    const float n_dot_l = 2.0f / std::sqrt(5.0f);
    EXPECT_PIXEL_NEAR(t, 16, 16, (Rgb{0.5f * n_dot_l, 0.4f * n_dot_l, 0.75f * 0.8f * n_dot_l}), 2);
    EXPECT_PIXEL_NEAR(t, 9, 22, (Rgb{0.5f * n_dot_l, 0.4f * n_dot_l, 0.75f * 0.8f * n_dot_l}), 2);
}

TEST_F(Lighting, SpotLightInsideBetweenAndOutsideItsCones) {
    Set_Material({1, 1, 1});
    const float lz = -1.5f;
    D3DLIGHT9 light = Make_Light(D3DLIGHT_SPOT);
    light.Diffuse = {0.9f, 0.6f, 0.3f, 1.0f};
    light.Position = {0.0f, 0.0f, lz};
    light.Direction = {0.0f, 0.0f, 1.0f};
    light.Falloff = 2.0f;
    ASSERT_EQ(d->LightEnable(0, TRUE), D3D_OK);

    // Angle between the spot axis and the way to a corner.
    const float cos_a = (k_depth - lz) / Corner_Distance(lz);
    const float a = std::acos(cos_a);
    const float n_dot_l = Corner_N_Dot_L(lz);

    // Inside Theta/2: full strength.
    light.Theta = 2.0f * a * 1.2f;
    light.Phi = 2.0f * a * 1.5f;
    ASSERT_EQ(d->SetLight(0, &light), D3D_OK);
    Render();
    EXPECT_PIXEL_NEAR(t, 16, 16, (Rgb{0.9f * n_dot_l, 0.6f * n_dot_l, 0.3f * n_dot_l}), 2);

    // Between Theta/2 and Phi/2: ((cos a - cos(Phi/2)) / (cos(Theta/2) - cos(Phi/2)))^Falloff.
    light.Theta = 2.0f * a * 0.5f;
    light.Phi = 2.0f * a * 1.5f;
    ASSERT_EQ(d->SetLight(0, &light), D3D_OK);
    Render();
    const float cos_theta = std::cos(light.Theta / 2), cos_phi = std::cos(light.Phi / 2);
    const float spot = std::pow((cos_a - cos_phi) / (cos_theta - cos_phi), 2.0f);
    ASSERT_GT(spot, 0.05f);
    ASSERT_LT(spot, 0.95f);
    EXPECT_PIXEL_NEAR(
        t, 16, 16, (Rgb{0.9f * n_dot_l * spot, 0.6f * n_dot_l * spot, 0.3f * n_dot_l * spot}), 2);

    // Falloff 1 makes the same band linear.
    light.Falloff = 1.0f;
    ASSERT_EQ(d->SetLight(0, &light), D3D_OK);
    Render();
    const float linear = (cos_a - cos_phi) / (cos_theta - cos_phi);
    EXPECT_PIXEL_NEAR(
        t, 16, 16, (Rgb{0.9f * n_dot_l * linear, 0.6f * n_dot_l * linear, 0.3f * n_dot_l * linear}),
        2);

    // Outside Phi/2: no light at all.
    light.Theta = 2.0f * a * 0.3f;
    light.Phi = 2.0f * a * 0.9f;
    ASSERT_EQ(d->SetLight(0, &light), D3D_OK);
    Render();
    EXPECT_PIXEL_NEAR(t, 16, 16, (Rgb{0, 0, 0}), 0);
}

TEST_F(Lighting, EmissiveAmbientAndGlobalAmbient) {
    Set_Material({0, 0, 0}, {0.5f, 0.25f, 1.0f}, {0, 0, 0}, {0.1f, 0.05f, 0.0f});
    d->SetRenderState(D3DRS_AMBIENT, D3DCOLOR_XRGB(102, 51, 0));  // (0.4, 0.2, 0)
    // A light with only an ambient part adds to the global ambient.
    D3DLIGHT9 light = Make_Light(D3DLIGHT_DIRECTIONAL);
    light.Direction = {0, 0, 1};
    light.Ambient = {0.2f, 0.4f, 0.3f, 1.0f};
    ASSERT_EQ(d->SetLight(1, &light), D3D_OK);
    ASSERT_EQ(d->LightEnable(1, TRUE), D3D_OK);
    Render();
    EXPECT_PIXEL_NEAR(t, 16, 16,
                      (Rgb{0.1f + 0.5f * (0.4f + 0.2f), 0.05f + 0.25f * (0.2f + 0.4f),
                           0.0f + 1.0f * (0.0f + 0.3f)}),
                      2);

    // Without lights only emissive and the global ambient remain.
    ASSERT_EQ(d->LightEnable(1, FALSE), D3D_OK);
    Render();
    EXPECT_PIXEL_NEAR(t, 16, 16, (Rgb{0.1f + 0.5f * 0.4f, 0.05f + 0.25f * 0.2f, 0.0f}), 2);
}

TEST_F(Lighting, SpecularWithTheLocalViewerHalfwayVector) {
    Set_Material({0, 0, 0}, {0, 0, 0}, {0.9f, 0.7f, 0.5f}, {0, 0, 0}, 8.0f);
    D3DLIGHT9 light = Make_Light(D3DLIGHT_DIRECTIONAL);
    light.Direction = {0, 0, 1};
    light.Specular = {1.0f, 1.0f, 0.5f, 1.0f};
    ASSERT_EQ(d->SetLight(0, &light), D3D_OK);
    ASSERT_EQ(d->LightEnable(0, TRUE), D3D_OK);

    // Off by default.
    Render();
    EXPECT_PIXEL_NEAR(t, 16, 16, (Rgb{0, 0, 0}), 0);

    ASSERT_EQ(d->SetRenderState(D3DRS_SPECULARENABLE, TRUE), D3D_OK);
    Render();
    // H = normalize(normalize(eye - P) + Ldir) at a corner P = (s, s, z).
    const float len = std::sqrt(2 * k_side * k_side + k_depth * k_depth);
    const float vx = -k_side / len, vy = -k_side / len, vz = -k_depth / len;
    const float hx = vx, hy = vy, hz = vz - 1.0f;
    const float h_len = std::sqrt(hx * hx + hy * hy + hz * hz);
    const float n_dot_h = -hz / h_len;  // N = (0, 0, -1)
    const float shine = std::pow(n_dot_h, 8.0f);
    EXPECT_PIXEL_NEAR(t, 16, 16, (Rgb{0.9f * shine, 0.7f * shine, 0.5f * 0.5f * shine}), 2);
}

TEST_F(Lighting, EightLowestEnabledLightsCount) {
    Set_Material({1, 1, 1});
    D3DLIGHT9 light = Make_Light(D3DLIGHT_DIRECTIONAL);
    light.Direction = {0, 0, 1};
    // Eight dim blue lights at scattered indices, each adding 0.1.
    const DWORD indices[8] = {0, 2, 5, 7, 11, 13, 40, 41};
    light.Diffuse = {0.0f, 0.0f, 0.1f, 1.0f};
    for (DWORD index : indices) {
        ASSERT_EQ(d->SetLight(index, &light), D3D_OK);
        ASSERT_EQ(d->LightEnable(index, TRUE), D3D_OK);
    }
    // A red one with a higher index than all of them is the ninth.
    light.Diffuse = {1.0f, 0.0f, 0.0f, 1.0f};
    ASSERT_EQ(d->SetLight(1000, &light), D3D_OK);
    ASSERT_EQ(d->LightEnable(1000, TRUE), D3D_OK);
    Render();
    EXPECT_PIXEL_NEAR(t, 16, 16, (Rgb{0, 0, 0.8f}), 2);

    // Switching one blue light off lets the red one in.
    ASSERT_EQ(d->LightEnable(5, FALSE), D3D_OK);
    Render();
    EXPECT_PIXEL_NEAR(t, 16, 16, (Rgb{1.0f, 0, 0.7f}), 2);

    // Light sums saturate.
    for (DWORD index : indices) ASSERT_EQ(d->LightEnable(index, TRUE), D3D_OK);
    light.Diffuse = {0.0f, 0.0f, 0.5f, 1.0f};
    ASSERT_EQ(d->SetLight(0, &light), D3D_OK);
    Render();
    EXPECT_PIXEL_NEAR(t, 16, 16, (Rgb{0, 0, 1.0f}), 0);
}

TEST_F(Lighting, VertexColourFeedsTheDiffuseMaterialByDefault) {
    Set_Material({0.2f, 0.2f, 0.2f});
    D3DLIGHT9 light = Make_Light(D3DLIGHT_DIRECTIONAL);
    light.Direction = {0, 0, 1};
    light.Diffuse = {0.5f, 1.0f, 1.0f, 1.0f};
    ASSERT_EQ(d->SetLight(0, &light), D3D_OK);
    ASSERT_EQ(d->LightEnable(0, TRUE), D3D_OK);

    struct Vertex {
        float x, y, z, nx, ny, nz;
        D3DCOLOR color;
    };
    const D3DCOLOR c = D3DCOLOR_ARGB(255, 200, 100, 50);
    const Vertex v[4] = {{-1, -1, 0.5f, 0, 0, -1, c},
                         {-1, 1, 0.5f, 0, 0, -1, c},
                         {1, -1, 0.5f, 0, 0, -1, c},
                         {1, 1, 0.5f, 0, 0, -1, c}};
    auto draw = [&] {
        d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        d->BeginScene();
        d->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE);
        d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(Vertex));
        d->EndScene();
        ASSERT_TRUE(t.Capture());
    };
    draw();
    EXPECT_PIXEL_NEAR(t, 16, 16, (Rgb{0.5f * 200 / 255.0f, 100 / 255.0f, 50 / 255.0f}), 2);

    // With COLORVERTEX off the material wins again.
    ASSERT_EQ(d->SetRenderState(D3DRS_COLORVERTEX, FALSE), D3D_OK);
    draw();
    EXPECT_PIXEL_NEAR(t, 16, 16, (Rgb{0.1f, 0.2f, 0.2f}), 2);

    // Unlit: the vertex colour as it is.
    ASSERT_EQ(d->SetRenderState(D3DRS_LIGHTING, FALSE), D3D_OK);
    draw();
    EXPECT_EQ(t.Pixel(16, 16), 0xFFC86432u);
}

TEST_F(Lighting, UnlitWithoutVertexColourIsWhite) {
    ASSERT_EQ(d->SetRenderState(D3DRS_LIGHTING, FALSE), D3D_OK);
    Render();
    EXPECT_EQ(t.Pixel(16, 16), 0xFFFFFFFFu);
    EXPECT_EQ(t.Pixel(2, 2), 0xFF000000u);
}

TEST_F(Lighting, LightsAreInWorldSpaceAndFollowTheView) {
    // The camera moves 1 unit along +x; a point light placed 1 unit right of
    // the square's centre in world space then sits straight in front of it.
    Set_Material({1, 1, 1});
    D3DMATRIX view = Identity_Matrix();
    view._41 = -1.0f;  // camera at x = +1
    D3DMATRIX world = Identity_Matrix();
    world._41 = 1.0f;  // square centred at x = +1
    d->SetTransform(D3DTS_VIEW, &view);
    d->SetTransform(D3DTS_WORLD, &world);
    D3DLIGHT9 light = Make_Light(D3DLIGHT_POINT);
    light.Diffuse = {1, 1, 1, 1};
    light.Position = {1.0f, 0.0f, -1.5f};
    ASSERT_EQ(d->SetLight(0, &light), D3D_OK);
    ASSERT_EQ(d->LightEnable(0, TRUE), D3D_OK);
    Render();
    const float k = Corner_N_Dot_L(-1.5f);
    EXPECT_PIXEL_NEAR(t, 16, 16, (Rgb{k, k, k}), 2);
    // The corners match each other only when the light sits on the axis.
    EXPECT_NEAR(t.Channel(9, 9, 0), t.Channel(22, 22, 0), 1);
}

}  // namespace
