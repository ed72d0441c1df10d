// Creating the device, reference counting, and the states a new device holds.
#include <cstring>

#include "d3d9_test_util.h"

namespace {

TEST(Creation, OnlyTheSdkVersionOfTheHeaderIsAccepted) {
    EXPECT_EQ(Direct3DCreate9(31), nullptr);
    EXPECT_EQ(Direct3DCreate9(0), nullptr);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    EXPECT_EQ(d3d->Release(), 0u);
}

TEST(Creation, DeviceNeedsARealWindow) {
    Test_Device t(8, 8);  // sets up the platform and the window class
    ASSERT_TRUE(t.Ok()) << t.Error();
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DPRESENT_PARAMETERS pp = Engine_Present_Parameters();
    IDirect3DDevice9* device = reinterpret_cast<IDirect3DDevice9*>(1);
    EXPECT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device, nullptr);

    HWND gone = CreateWindowExA(0, "Quillmoor_Device_Window", "gone", WS_OVERLAPPEDWINDOW, 0, 0,
                                100, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(gone, nullptr);
    DestroyWindow(gone);
    EXPECT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, gone,
                                D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, t.window,
                                D3DCREATE_SOFTWARE_VERTEXPROCESSING, nullptr, &device),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d->Release(), 0u);
}

TEST(Creation, ExplicitBackBufferSizeAndTheSizeReportedBack) {
    Test_Device t(50, 40);
    ASSERT_TRUE(t.Ok()) << t.Error();
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp = Engine_Present_Parameters();
    pp.BackBufferWidth = 20;
    pp.BackBufferHeight = 10;
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, t.window,
                                D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device),
              D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0);
    device->Present(nullptr, nullptr, nullptr, nullptr);
    int w = 0, h = 0;
    unsigned char* pixels = nullptr;
    ASSERT_TRUE(Platform_Read_Last_Frame(device, &w, &h, &pixels));
    std::free(pixels);
    EXPECT_EQ(w, 20);
    EXPECT_EQ(h, 10);
    device->Release();

    // Size 0 means the client area, and the parameters say what was chosen.
    pp = Engine_Present_Parameters();
    ASSERT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, t.window,
                                D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device),
              D3D_OK);
    EXPECT_EQ(pp.BackBufferWidth, 50u);
    EXPECT_EQ(pp.BackBufferHeight, 40u);
    device->Release();
    d3d->Release();
}

TEST(Creation, TwoDevicesKeepTheirOwnFrames) {
    Test_Device a(16, 16), b(24, 8);
    ASSERT_TRUE(a.Ok() && b.Ok());
    a.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0);
    b.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0);
    a.device->BeginScene();
    Draw_Screen_Quad(a.device, 0, 0, 4, 4, 0xFF0000FF);
    a.device->EndScene();
    ASSERT_TRUE(a.Capture());
    ASSERT_TRUE(b.Capture());
    EXPECT_EQ(a.Pixel(1, 1), 0xFF0000FFu);
    EXPECT_EQ(a.Pixel(8, 8), 0xFFFF0000u);
    EXPECT_EQ(b.Pixel(1, 1), 0xFF00FF00u);
    EXPECT_EQ(b.width, 24);
}

TEST(References, ResourcesKeepTheDeviceAlive) {
    Test_Device t(8, 8);
    ASSERT_TRUE(t.Ok()) << t.Error();
    IDirect3DDevice9* d = t.device;
    EXPECT_EQ(d->AddRef(), 2u);
    EXPECT_EQ(d->Release(), 1u);

    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(d->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3D_OK);
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(d->CreateVertexBuffer(64, 0, 0, D3DPOOL_DEFAULT, &vb, nullptr), D3D_OK);
    EXPECT_EQ(d->AddRef(), 4u);  // the application's, the texture's, the buffer's, this one
    EXPECT_EQ(d->Release(), 3u);

    IDirect3DDevice9* owner = nullptr;
    ASSERT_EQ(texture->GetDevice(&owner), D3D_OK);
    EXPECT_EQ(owner, d);
    EXPECT_EQ(owner->Release(), 3u);
    EXPECT_EQ(texture->AddRef(), 2u);
    EXPECT_EQ(texture->Release(), 1u);

    EXPECT_EQ(vb->Release(), 0u);
    EXPECT_EQ(d->AddRef(), 3u);
    d->Release();
    EXPECT_EQ(texture->Release(), 0u);
    EXPECT_EQ(d->AddRef(), 2u);
    d->Release();
}

TEST(References, BoundTextureOutlivesItsLastReference) {
    Test_Device t(8, 8);
    ASSERT_TRUE(t.Ok()) << t.Error();
    IDirect3DDevice9* d = t.device;
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(d->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3D_OK);
    D3DLOCKED_RECT locked{};
    texture->LockRect(0, &locked, nullptr, 0);
    *static_cast<DWORD*>(locked.pBits) = 0xFF00FF00;
    texture->UnlockRect(0);
    ASSERT_EQ(d->SetTexture(0, texture), D3D_OK);

    IDirect3DBaseTexture9* bound = nullptr;
    ASSERT_EQ(d->GetTexture(0, &bound), D3D_OK);
    EXPECT_EQ(bound, texture);
    EXPECT_EQ(bound->Release(), 1u);  // GetTexture added one

    // The application lets go; the stage still holds the texture and draws with it.
    EXPECT_EQ(texture->Release(), 0u);
    d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    d->BeginScene();
    Draw_Screen_Quad(d, 0, 0, 8, 8, 0xFFFFFFFF);
    d->EndScene();
    ASSERT_TRUE(t.Capture());
    EXPECT_EQ(t.Pixel(4, 4), 0xFF00FF00u);
    // Unbinding frees it; the device's count shows no resource holds it.
    ASSERT_EQ(d->SetTexture(0, nullptr), D3D_OK);
    ASSERT_EQ(d->GetTexture(0, &bound), D3D_OK);
    EXPECT_EQ(bound, nullptr);
    EXPECT_EQ(d->AddRef(), 2u);
    d->Release();
}

TEST(References, ObjectsOfAnotherDeviceAreRefused) {
    Test_Device a(8, 8), b(8, 8);
    ASSERT_TRUE(a.Ok() && b.Ok());
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(
        a.device->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
        D3D_OK);
    EXPECT_EQ(b.device->SetTexture(0, texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(a.device->SetTexture(16, texture), D3DERR_INVALIDCALL);
    texture->Release();
}

// What a new device does before anyone sets a state, seen in its pixels:
// depth test less-or-equal with depth writes, counter-clockwise triangles
// culled, no blending, Gouraud shading, and texture stage 0 modulating a
// point-sampled, wrapped texture with the vertex colour.
TEST(States, ANewDeviceDrawsWithDirect3DsDefaults) {
    Test_Device t(64, 64);
    ASSERT_TRUE(t.Ok()) << t.Error();
    IDirect3DDevice9* d = t.device;
    d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    ASSERT_EQ(d->BeginScene(), D3D_OK);
    d->SetFVF(k_screen_fvf);
    auto triangle = [&](float x1, float y1, float x2, float y2, float x3, float y3, float z,
                        D3DCOLOR c) {
        const Screen_Vertex v[3] = {{x1, y1, z, 1, c}, {x2, y2, z, 1, c}, {x3, y3, z, 1, c}};
        d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(Screen_Vertex));
    };
    // Top-left quarter: red, then green wound the other way (culled), then
    // blue at the same depth with alpha 0 (drawn: less-or-equal, no blend),
    // then white behind it (hidden: the blue wrote its depth).
    triangle(0, 0, 32, 0, 0, 32, 0.5f, 0xFFFF0000);
    triangle(0, 0, 0, 32, 32, 0, 0.5f, 0xFF00FF00);
    triangle(0, 0, 32, 0, 0, 32, 0.5f, 0x000000FF);
    triangle(0, 0, 32, 0, 0, 32, 0.6f, 0xFFFFFFFF);
    // Top-right quarter: red and green corners shade into each other.
    {
        const Screen_Vertex v[3] = {{32, 0, 0.5f, 1, 0xFFFF0000},
                                    {64, 0, 0.5f, 1, 0xFF00FF00},
                                    {32, 32, 0.5f, 1, 0xFFFF0000}};
        d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(Screen_Vertex));
    }
    // Bottom half: a 2x2 texture (white, black / black, white) over u, v in
    // 0..2, modulated by a yellow vertex colour.
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(d->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    auto* rows = static_cast<unsigned char*>(locked.pBits);
    reinterpret_cast<DWORD*>(rows)[0] = 0xFFFFFFFF;
    reinterpret_cast<DWORD*>(rows)[1] = 0xFF000000;
    reinterpret_cast<DWORD*>(rows + locked.Pitch)[0] = 0xFF000000;
    reinterpret_cast<DWORD*>(rows + locked.Pitch)[1] = 0xFFFFFFFF;
    texture->UnlockRect(0);
    d->SetTexture(0, texture);
    const Screen_Tex_Vertex quad[4] = {{0, 64, 0.5f, 1, 0xFFFFFF00, 0, 2},
                                       {0, 32, 0.5f, 1, 0xFFFFFF00, 0, 0},
                                       {64, 64, 0.5f, 1, 0xFFFFFF00, 4, 2},
                                       {64, 32, 0.5f, 1, 0xFFFFFF00, 4, 0}};
    d->SetFVF(k_screen_tex_fvf);
    d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Screen_Tex_Vertex));
    d->SetTexture(0, nullptr);
    texture->Release();
    d->EndScene();
    ASSERT_TRUE(t.Capture());

    EXPECT_EQ(t.Pixel(8, 8), 0x000000FFu);  // its alpha 0 written, not blended
    // Halfway between the red and green corners: both channels about half.
    const std::uint32_t mixed = t.Pixel(44, 4);
    EXPECT_NEAR(int((mixed >> 16) & 0xFF), 160, 40);
    EXPECT_NEAR(int((mixed >> 8) & 0xFF), 96, 40);
    // The texture repeats every 16 pixels across and 16 down: texel
    // (0,0) white -> yellow, texel (1,0) black, each a hard-edged block.
    EXPECT_EQ(t.Pixel(4, 36), 0xFFFFFF00u);
    EXPECT_EQ(t.Pixel(12, 36), 0xFF000000u);
    EXPECT_EQ(t.Pixel(20, 36), 0xFFFFFF00u);
    EXPECT_EQ(t.Pixel(4, 44), 0xFF000000u);
    EXPECT_EQ(t.Pixel(12, 44), 0xFFFFFF00u);
    EXPECT_EQ(t.Pixel(36, 52), 0xFFFFFF00u);  // wrapped past u = 1 and v = 1
}

TEST(States, RenderStatesReadBackWhatWasSetEvenWithoutMeaning) {
    Test_Device t(8, 8);
    ASSERT_TRUE(t.Ok()) << t.Error();
    IDirect3DDevice9* d = t.device;
    // The engine sets the cull mode to D3DCULL_FORCE_DWORD.
    ASSERT_EQ(d->SetRenderState(D3DRS_CULLMODE, D3DCULL_FORCE_DWORD), D3D_OK);
    DWORD value = 0;
    ASSERT_EQ(d->GetRenderState(D3DRS_CULLMODE, &value), D3D_OK);
    EXPECT_EQ(value, DWORD(D3DCULL_FORCE_DWORD));
    ASSERT_EQ(d->SetRenderState(D3DRS_FOGCOLOR, 0x12345678), D3D_OK);
    ASSERT_EQ(d->GetRenderState(D3DRS_FOGCOLOR, &value), D3D_OK);
    EXPECT_EQ(value, 0x12345678u);
    // Numbers that are no render state are refused.
    EXPECT_EQ(d->SetRenderState(D3DRENDERSTATETYPE(0), 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(d->SetRenderState(D3DRENDERSTATETYPE(10), 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(d->SetRenderState(D3DRENDERSTATETYPE(210), 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(d->GetRenderState(D3DRS_ZENABLE, nullptr), D3DERR_INVALIDCALL);
}

// Stage 0 and sampler 0 show in what a new device draws (above). Effects
// sample through the other samplers with whatever their passes leave alone,
// so those start as Direct3D 9 documents: wrap, point, no mip filter; the
// later stages start disabled, each on its own coordinate set.
TEST(States, OtherSamplersAndStagesStartAtTheDocumentedDefaults) {
    Test_Device t(8, 8);
    ASSERT_TRUE(t.Ok()) << t.Error();
    IDirect3DDevice9* d = t.device;
    auto sampler = [&](DWORD s, D3DSAMPLERSTATETYPE type) {
        DWORD v = 0xDEADBEEF;
        EXPECT_EQ(d->GetSamplerState(s, type, &v), D3D_OK);
        return v;
    };
    for (DWORD s = 1; s < 16; ++s) {
        EXPECT_EQ(sampler(s, D3DSAMP_ADDRESSU), DWORD(D3DTADDRESS_WRAP)) << s;
        EXPECT_EQ(sampler(s, D3DSAMP_ADDRESSV), DWORD(D3DTADDRESS_WRAP)) << s;
        EXPECT_EQ(sampler(s, D3DSAMP_MAGFILTER), DWORD(D3DTEXF_POINT)) << s;
        EXPECT_EQ(sampler(s, D3DSAMP_MINFILTER), DWORD(D3DTEXF_POINT)) << s;
        EXPECT_EQ(sampler(s, D3DSAMP_MIPFILTER), DWORD(D3DTEXF_NONE)) << s;
    }
    for (DWORD stage = 1; stage < 8; ++stage) {
        DWORD op = 0, index = 0;
        d->GetTextureStageState(stage, D3DTSS_COLOROP, &op);
        d->GetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, &index);
        EXPECT_EQ(op, DWORD(D3DTOP_DISABLE)) << stage;
        EXPECT_EQ(index, stage);
    }
    EXPECT_EQ(d->SetSamplerState(16, D3DSAMP_MINFILTER, D3DTEXF_POINT), D3DERR_INVALIDCALL);
}

TEST(States, TransformsLightsAndMaterial) {
    Test_Device t(8, 8);
    ASSERT_TRUE(t.Ok()) << t.Error();
    IDirect3DDevice9* d = t.device;
    D3DMATRIX m{};
    ASSERT_EQ(d->GetTransform(D3DTS_WORLD, &m), D3D_OK);
    EXPECT_EQ(std::memcmp(&m, &static_cast<const D3DMATRIX&>(Identity_Matrix()), sizeof m), 0);
    D3DMATRIX set = Identity_Matrix();
    set._42 = 7.0f;
    for (D3DTRANSFORMSTATETYPE state :
         {D3DTS_WORLD, D3DTS_VIEW, D3DTS_PROJECTION, D3DTS_TEXTURE3}) {
        ASSERT_EQ(d->SetTransform(state, &set), D3D_OK);
        ASSERT_EQ(d->GetTransform(state, &m), D3D_OK);
        EXPECT_EQ(m._42, 7.0f);
    }
    EXPECT_EQ(d->SetTransform(D3DTRANSFORMSTATETYPE(1), &set), D3DERR_INVALIDCALL);

    // A light index never set: no light to read, but enabling makes the default one.
    D3DLIGHT9 light{};
    BOOL enabled = TRUE;
    EXPECT_EQ(d->GetLight(12, &light), D3DERR_INVALIDCALL);
    EXPECT_EQ(d->GetLightEnable(12, &enabled), D3DERR_INVALIDCALL);
    ASSERT_EQ(d->LightEnable(12, TRUE), D3D_OK);
    ASSERT_EQ(d->GetLight(12, &light), D3D_OK);
    EXPECT_EQ(light.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(light.Diffuse.r, 1.0f);
    EXPECT_EQ(light.Diffuse.g, 1.0f);
    EXPECT_EQ(light.Diffuse.b, 1.0f);
    EXPECT_EQ(light.Direction.z, 1.0f);
    EXPECT_EQ(light.Specular.r, 0.0f);
    ASSERT_EQ(d->GetLightEnable(12, &enabled), D3D_OK);
    EXPECT_TRUE(enabled);

    D3DLIGHT9 spot = Make_Light(D3DLIGHT_SPOT);
    spot.Position = {1, 2, 3};
    spot.Phi = 1.0f;
    ASSERT_EQ(d->SetLight(100000, &spot), D3D_OK);
    ASSERT_EQ(d->GetLight(100000, &light), D3D_OK);
    EXPECT_EQ(std::memcmp(&light, &spot, sizeof light), 0);
    ASSERT_EQ(d->GetLightEnable(100000, &enabled), D3D_OK);
    EXPECT_FALSE(enabled);
    D3DLIGHT9 bad = spot;
    bad.Type = D3DLIGHTTYPE(7);
    EXPECT_EQ(d->SetLight(1, &bad), D3DERR_INVALIDCALL);

    D3DMATERIAL9 material{};
    ASSERT_EQ(d->GetMaterial(&material), D3D_OK);
    EXPECT_EQ(material.Diffuse.r, 0.0f);
    material.Power = 12.5f;
    material.Emissive.g = 0.25f;
    ASSERT_EQ(d->SetMaterial(&material), D3D_OK);
    D3DMATERIAL9 back{};
    ASSERT_EQ(d->GetMaterial(&back), D3D_OK);
    EXPECT_EQ(std::memcmp(&back, &material, sizeof back), 0);
}

}  // namespace
