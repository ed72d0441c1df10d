// The sample effects of data/fx, driven the way the engine drives object
// effects: the standard parameter set offered by name before Begin, the
// object's diffuse texture set on stage 0 inside every pass.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "effect_test_util.h"

namespace {

std::string Data_Fx(const std::string& name) {
    return std::string(QM_SOURCE_DIR) + "/data/fx/" + name;
}

struct Lit_Quad_Vertex {
    float x, y, z;
    float nx, ny, nz;
    float u, v;
};

struct Scene {
    D3DXMATRIX world, view, projection;
    D3DXVECTOR3 eye{0, 0, -5};
    D3DLIGHT9 light{};
    IDirect3DBaseTexture9* diffuse = nullptr;     // the object's diffuse_texture
    IDirect3DBaseTexture9* reflection = nullptr;  // reflection_texture
    IDirect3DBaseTexture9* bump = nullptr;        // bump_texture
};

// The standard parameter set, name by name, as the engine offers it.
void Bind_Standard_Set(ID3DXEffect* fx, const Scene& s) {
    D3DXMATRIX vp, wv, wvp, wv_inv, w_inv, w_it, v_inv;
    D3DXMatrixMultiply(&vp, &s.view, &s.projection);
    D3DXMatrixMultiply(&wv, &s.world, &s.view);
    D3DXMatrixMultiply(&wvp, &wv, &s.projection);
    D3DXMatrixInverse(&wv_inv, nullptr, &wv);
    D3DXMatrixInverse(&w_inv, nullptr, &s.world);
    D3DXMatrixTranspose(&w_it, &w_inv);
    D3DXMatrixInverse(&v_inv, nullptr, &s.view);
    fx->SetMatrix("World", &s.world);
    fx->SetMatrix("WorldXf", &s.world);
    fx->SetMatrix("View", &s.view);
    fx->SetMatrix("ViewProjection", &vp);
    fx->SetMatrix("Projection", &s.projection);
    fx->SetMatrix("WorldViewProjection", &wvp);
    fx->SetMatrix("WorldViewProj", &wvp);
    fx->SetMatrix("WorldView", &wv);
    fx->SetMatrix("WorldViewInverse", &wv_inv);
    fx->SetMatrix("WorldITXf", &w_it);
    fx->SetMatrix("ViewIXf", &v_inv);
    if (s.reflection)
        for (const char* n : {"g_txEnvMap", "Tex0", "EnvironmentMap", "envTexture"})
            fx->SetTexture(n, s.reflection);
    if (s.diffuse)
        for (const char* n :
             {"MaterialTexture", "ModelTex", "ColorTexture", "__Normals_Relief_1_color_tex"})
            fx->SetTexture(n, s.diffuse);
    if (s.bump)
        for (const char* n : {"NormalMapTexture", "NormalTexture", "GlossTexture"})
            fx->SetTexture(n, s.bump);
    const D3DXVECTOR4 eye4(s.eye.x, s.eye.y, s.eye.z, 0.5f);
    fx->SetVector("g_vEye", &eye4);
    fx->SetValue("g_CamPos", &s.eye, 12);
    fx->SetValue("CameraPos", &s.eye, 12);
    const float dir[3] = {-(s.light.Direction.x + s.light.Position.x),
                          -(s.light.Direction.y + s.light.Position.y),
                          -(s.light.Direction.z + s.light.Position.z)};
    for (const char* n : {"g_LightDir", "DirFromLight", "LightDir"}) fx->SetValue(n, dir, 12);
    for (const char* n : {"g_vLight", "LightPosition", "__light0_position"})
        fx->SetValue(n, &s.light.Position, 12);
    for (const char* n : {"LIGHT", "DirectionalLight", "PointLight"})
        fx->SetValue(n, &s.light, 104);
}

class Effect_Samples : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dev.Ok()) << dev.Error();
        D3DXMatrixIdentity(&scene.world);
        const D3DXVECTOR3 at(0, 0, 0), up(0, 1, 0);
        D3DXMatrixLookAtLH(&scene.view, &scene.eye, &at, &up);
        D3DXMatrixPerspectiveFovLH(&scene.projection, D3DX_PI / 4, 1.0f, 1.0f, 100.0f);
        scene.light.Type = D3DLIGHT_POINT;
        scene.light.Diffuse = {1, 1, 1, 1};
        scene.light.Ambient = {0.2f, 0.2f, 0.2f, 1};
        scene.light.Position = {0, 0, -5};
        scene.light.Range = 100;
        scene.light.Attenuation0 = 1;
    }
    void TearDown() override {
        for (ID3DXEffect* e : effects) e->Release();
        for (IDirect3DBaseTexture9* t : textures) t->Release();
    }

    ID3DXEffect* Load(const std::string& file, const char* technique) {
        std::string errors;
        ID3DXEffect* fx = Load_Effect(dev.device, Data_Fx(file), &errors);
        EXPECT_NE(fx, nullptr) << errors;
        if (!fx) return nullptr;
        effects.push_back(fx);
        EXPECT_EQ(fx->SetTechnique(technique), D3D_OK) << file << " " << technique;
        return fx;
    }

    IDirect3DTexture9* Solid(DWORD argb) {
        IDirect3DTexture9* tex = nullptr;
        EXPECT_EQ(
            dev.device->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr),
            D3D_OK);
        if (!tex) return nullptr;
        D3DLOCKED_RECT lr;
        tex->LockRect(0, &lr, nullptr, 0);
        std::memcpy(lr.pBits, &argb, 4);
        tex->UnlockRect(0);
        textures.push_back(tex);
        return tex;
    }

    // Draws a quad through every effect, as Draw_Object's effect mode does,
    // with `stage0` as the subset texture; `quad` rotates it about y.
    void Draw_Object(const std::vector<ID3DXEffect*>& fx_list, IDirect3DBaseTexture9* stage0,
                     float angle = 0.0f) {
        const float c = std::cos(angle), s = std::sin(angle);
        auto vtx = [&](float x, float y, float u, float v) {
            return Lit_Quad_Vertex{x * c, y, x * s, -s, 0, -c, u, v};
        };
        const Lit_Quad_Vertex quad[6] = {vtx(-1, 1, 0, 0),  vtx(1, 1, 1, 0), vtx(-1, -1, 0, 1),
                                         vtx(-1, -1, 0, 1), vtx(1, 1, 1, 0), vtx(1, -1, 1, 1)};
        dev.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        dev.device->BeginScene();
        dev.device->SetTransform(D3DTS_WORLD, &scene.world);
        dev.device->SetTransform(D3DTS_VIEW, &scene.view);
        dev.device->SetTransform(D3DTS_PROJECTION, &scene.projection);
        dev.device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        for (ID3DXEffect* fx : fx_list) Bind_Standard_Set(fx, scene);
        for (ID3DXEffect* fx : fx_list) {
            UINT passes = 0;
            fx->Begin(&passes, 0);
            for (UINT p = 0; p < passes; ++p) {
                fx->BeginPass(p);
                dev.device->SetTexture(0, stage0);
                dev.device->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
                dev.device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, quad, sizeof(Lit_Quad_Vertex));
                fx->EndPass();
            }
            fx->End();
        }
        dev.device->EndScene();
        ASSERT_TRUE(dev.Capture());
    }

    Test_Device dev{64, 64};
    Scene scene;
    std::vector<ID3DXEffect*> effects;
    std::vector<IDirect3DBaseTexture9*> textures;
};

TEST_F(Effect_Samples, StartUpEffectsCompileWithTheirTechniques) {
    const struct {
        const char* file;
        const char* techniques[2];
    } files[] = {{"shadow/Phong.fx", {"Phong", nullptr}},
                 {"shadow/Shadow_Phong.fx", {"Depth", "Shadow_Phong"}},
                 {"shadow/postPRocess.fx", {"Post_Process", nullptr}}};
    for (const auto& f : files) {
        std::string errors;
        // The engine names them with backslashes.
        std::string path = std::string(QM_SOURCE_DIR) + "/data/fx\\" + f.file;
        ID3DXEffect* fx = Load_Effect(dev.device, path, &errors);
        ASSERT_NE(fx, nullptr) << f.file << "\n" << errors;
        for (const char* t : f.techniques) {
            if (!t) continue;
            EXPECT_NE(fx->GetTechniqueByName(t), nullptr) << f.file << " " << t;
        }
        fx->Release();
    }
}

TEST_F(Effect_Samples, PhongIsLitByTheFirstLight) {
    ID3DXEffect* fx = Load("phong.fx", "standart");
    ASSERT_NE(fx, nullptr);
    EXPECT_NE(fx->GetTechniqueByName("standard"), nullptr);
    IDirect3DTexture9* tex = Solid(D3DCOLOR_XRGB(102, 51, 25));  // 0.4, 0.2, 0.1
    scene.diffuse = tex;
    // Facing the light, no specular colour: texel * (ambient / 4 + diffuse).
    Draw_Object({fx}, tex);
    const float k = 0.2f * 0.25f + 1.0f;
    EXPECT_PIXEL_NEAR(dev, 32, 32, 0.4f * k, 0.2f * k, 0.1f * k);
    // From behind the quad only the ambient share is left.
    scene.light.Position = {0, 0, 5};
    Draw_Object({fx}, tex);
    EXPECT_PIXEL_NEAR(dev, 32, 32, 0.4f * 0.05f, 0.2f * 0.05f, 0.1f * 0.05f);
    // A specular light colour adds a highlight where the half vector meets the normal.
    scene.light.Position = {0, 0, -5};
    scene.light.Specular = {1, 1, 1, 1};
    Draw_Object({fx}, tex);
    EXPECT_GT(Pixel_F(dev, 32, 32).b, 0.5f);
    // Out of range: dark.
    scene.light.Specular = {0, 0, 0, 0};
    scene.light.Range = 2;
    Draw_Object({fx}, tex);
    EXPECT_PIXEL_NEAR(dev, 32, 32, 0.4f * 0.05f, 0.2f * 0.05f, 0.1f * 0.05f);
}

TEST_F(Effect_Samples, TheStage0TextureOfTheSubsetLoopReplacesTheEffectsOwn) {
    ID3DXEffect* fx = Load("phong.fx", "standart");
    ASSERT_NE(fx, nullptr);
    // The object has no diffuse_texture: the effect keeps its own (unset)
    // texture parameter, and the subset loop's texture shows.
    IDirect3DTexture9* model_tex = Solid(D3DCOLOR_XRGB(0, 128, 0));
    Draw_Object({fx}, model_tex);
    EXPECT_PIXEL_NEAR(dev, 32, 32, 0, (128 / 255.0f) * 1.05f, 0);
}

TEST_F(Effect_Samples, NormalMapTurnsTheSurface) {
    ID3DXEffect* fx = Load("normal_map.fx", "standart");
    ASSERT_NE(fx, nullptr);
    IDirect3DTexture9* white = Solid(D3DCOLOR_XRGB(255, 255, 255));
    scene.diffuse = white;
    scene.bump = Solid(D3DCOLOR_XRGB(128, 128, 255));  // straight up in tangent space
    Draw_Object({fx}, white);
    const float flat = Pixel_F(dev, 32, 32).r;
    EXPECT_GT(flat, 0.95f);
    scene.bump = Solid(D3DCOLOR_XRGB(255, 128, 128));  // along the tangent
    Draw_Object({fx}, white);
    EXPECT_LT(Pixel_F(dev, 32, 32).r, 0.2f);
}

TEST_F(Effect_Samples, EnvironmentMapReflectsTheCubeFaceBehindTheCamera) {
    ID3DXEffect* fx = Load("env_map.fx", "standart");
    ASSERT_NE(fx, nullptr);
    IDirect3DCubeTexture9* cube = nullptr;
    ASSERT_EQ(
        dev.device->CreateCubeTexture(1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &cube, nullptr),
        D3D_OK);
    textures.push_back(cube);
    const DWORD faces[6] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00, 0xFFFF00FF, 0xFF00FFFF};
    for (int f = 0; f < 6; ++f) {
        D3DLOCKED_RECT lr;
        ASSERT_EQ(cube->LockRect(static_cast<D3DCUBEMAP_FACES>(f), 0, &lr, nullptr, 0), D3D_OK);
        std::memcpy(lr.pBits, &faces[f], 4);
        cube->UnlockRect(static_cast<D3DCUBEMAP_FACES>(f), 0);
    }
    IDirect3DTexture9* black = Solid(D3DCOLOR_XRGB(0, 0, 0));
    scene.diffuse = black;
    scene.reflection = cube;
    Draw_Object({fx}, black);
    // Looking straight at the quad the reflection runs back along -z: the
    // cyan -z face, weighted by the reflectivity 0.6 at normal incidence.
    EXPECT_PIXEL_NEAR(dev, 32, 32, 0.0f, 0.6f, 0.6f);
}

TEST_F(Effect_Samples, RimGlowAddsASecondPass) {
    ID3DXEffect* fx = Load("rim_glow.fx", "standart");
    ASSERT_NE(fx, nullptr);
    UINT passes = 0;
    fx->Begin(&passes, 0);
    fx->End();
    EXPECT_EQ(passes, 2u);
    IDirect3DTexture9* grey = Solid(D3DCOLOR_XRGB(64, 64, 64));
    scene.diffuse = grey;
    const D3DXVECTOR4 no_glow(0, 0, 0, 0);
    const float angle = 70 * D3DX_PI / 180;
    fx->SetVector("Glow_Color", &no_glow);
    Draw_Object({fx}, grey, angle);
    const Rgba_F base = Pixel_F(dev, 32, 32);
    const D3DXVECTOR4 glow(0, 0, 1, 1);
    fx->SetVector("Glow_Color", &glow);
    Draw_Object({fx}, grey, angle);
    const Rgba_F lit = Pixel_F(dev, 32, 32);
    // rim = (1 - cos 70)^2.5 ~ 0.35, added to blue only.
    EXPECT_NEAR(lit.r, base.r, 1.5 / 255);
    EXPECT_NEAR(lit.b - base.b, 0.35f, 0.06f);
}

TEST_F(Effect_Samples, TintAsASecondEffectMultipliesTheFirst) {
    ID3DXEffect* phong = Load("phong.fx", "standart");
    ID3DXEffect* tint = Load("tint.fx", "standart");
    ASSERT_TRUE(phong && tint);
    IDirect3DTexture9* tex = Solid(D3DCOLOR_XRGB(128, 128, 128));
    scene.diffuse = tex;
    Draw_Object({phong}, tex);
    const Rgba_F alone = Pixel_F(dev, 32, 32);
    Draw_Object({phong, tint}, tex);
    // At height 0 the tint is its low colour (1, 0.85, 0.7).
    EXPECT_PIXEL_NEAR(dev, 32, 32, alone.r, alone.g * 0.85f, alone.b * 0.7f);
}

TEST_F(Effect_Samples, PostProcessTonesTheSceneTexture) {
    std::string errors;
    ID3DXEffect* fx = Load("shadow/postPRocess.fx", "Post_Process");
    ASSERT_NE(fx, nullptr);
    IDirect3DTexture9* scene_tex = Solid(D3DCOLOR_XRGB(204, 102, 51));  // 0.8, 0.4, 0.2
    fx->SetTexture("Scene_Texture", scene_tex);
    dev.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    dev.device->BeginScene();
    Draw_Effect(dev.device, fx);
    dev.device->EndScene();
    ASSERT_TRUE(dev.Capture());
    const float grey = 0.299f * 0.8f + 0.587f * 0.4f + 0.114f * 0.2f;
    auto tone = [grey](float c) { return ((grey + (c - grey) * 0.85f) - 0.5f) * 1.1f + 0.5f; };
    // Near the centre the vignette leaves the colour nearly alone.
    EXPECT_PIXEL_NEAR(dev, 32, 32, tone(0.8f), tone(0.4f), tone(0.2f));
    EXPECT_LT(Pixel_F(dev, 1, 1).r, Pixel_F(dev, 32, 32).r);
}

TEST_F(Effect_Samples, ShadowDepthPassWritesLightSpaceDepth) {
    ID3DXEffect* fx = Load("shadow/Shadow_Phong.fx", "Depth");
    ASSERT_NE(fx, nullptr);
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    fx->SetMatrix("World", &identity);
    fx->SetMatrix("Light_View_Proj", &identity);
    dev.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    dev.device->BeginScene();
    UINT passes = 0;
    fx->Begin(&passes, 0);
    fx->BeginPass(0);
    dev.device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    Draw_Clip_Rect(dev.device, -1, -1, 1, 1, 0.25f);
    fx->EndPass();
    fx->End();
    dev.device->EndScene();
    ASSERT_TRUE(dev.Capture());
    EXPECT_PIXEL_NEAR(dev, 32, 32, 0.25f, 0.25f, 0.25f);
}

}  // namespace
