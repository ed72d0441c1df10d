// Creating the device, reference counting, and the states a new device holds.
#include <cstring>

#include "d3d9_test_util.h"

namespace {

DWORD Float_Bits(float f) {
    DWORD d;
    std::memcpy(&d, &f, 4);
    return d;
}

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

    HWND gone = CreateWindowExA(0, "Quillmoor_Device_Window", "gone", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                nullptr, nullptr, nullptr, nullptr);
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
    ASSERT_EQ(d->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
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
    ASSERT_EQ(d->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
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
    ASSERT_EQ(a.device->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    EXPECT_EQ(b.device->SetTexture(0, texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(a.device->SetTexture(16, texture), D3DERR_INVALIDCALL);
    texture->Release();
}

TEST(States, RenderStateDefaultsAreDirect3Ds) {
    Test_Device t(8, 8);
    ASSERT_TRUE(t.Ok()) << t.Error();
    const struct {
        D3DRENDERSTATETYPE state;
        DWORD value;
    } defaults[] = {
        {D3DRS_ZENABLE, D3DZB_TRUE},          {D3DRS_ZWRITEENABLE, TRUE},
        {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},      {D3DRS_FILLMODE, D3DFILL_SOLID},
        {D3DRS_SHADEMODE, D3DSHADE_GOURAUD},  {D3DRS_CULLMODE, D3DCULL_CCW},
        {D3DRS_ALPHABLENDENABLE, FALSE},      {D3DRS_SRCBLEND, D3DBLEND_ONE},
        {D3DRS_DESTBLEND, D3DBLEND_ZERO},     {D3DRS_BLENDOP, D3DBLENDOP_ADD},
        {D3DRS_ALPHATESTENABLE, FALSE},       {D3DRS_ALPHAFUNC, D3DCMP_ALWAYS},
        {D3DRS_ALPHAREF, 0},                  {D3DRS_LIGHTING, TRUE},
        {D3DRS_AMBIENT, 0},                   {D3DRS_SPECULARENABLE, FALSE},
        {D3DRS_NORMALIZENORMALS, FALSE},      {D3DRS_COLORVERTEX, TRUE},
        {D3DRS_LOCALVIEWER, TRUE},            {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1},
        {D3DRS_SPECULARMATERIALSOURCE, D3DMCS_COLOR2}, {D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL},
        {D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL}, {D3DRS_MULTISAMPLEANTIALIAS, TRUE},
        {D3DRS_MULTISAMPLEMASK, 0xFFFFFFFF},  {D3DRS_ANTIALIASEDLINEENABLE, FALSE},
        {D3DRS_COLORWRITEENABLE, 0xF},        {D3DRS_STENCILENABLE, FALSE},
        {D3DRS_STENCILFUNC, D3DCMP_ALWAYS},   {D3DRS_STENCILMASK, 0xFFFFFFFF},
        {D3DRS_STENCILWRITEMASK, 0xFFFFFFFF}, {D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP},
        {D3DRS_FOGENABLE, FALSE},             {D3DRS_FOGEND, Float_Bits(1.0f)},
        {D3DRS_FOGDENSITY, Float_Bits(1.0f)}, {D3DRS_SCISSORTESTENABLE, FALSE},
        {D3DRS_DEPTHBIAS, 0},                 {D3DRS_SLOPESCALEDEPTHBIAS, 0},
        {D3DRS_TEXTUREFACTOR, 0xFFFFFFFF},    {D3DRS_POINTSIZE, Float_Bits(1.0f)},
        {D3DRS_CLIPPING, TRUE},               {D3DRS_SRCBLENDALPHA, D3DBLEND_ONE},
        {D3DRS_DESTBLENDALPHA, D3DBLEND_ZERO},
    };
    for (const auto& entry : defaults) {
        DWORD value = 0xDEADBEEF;
        ASSERT_EQ(t.device->GetRenderState(entry.state, &value), D3D_OK) << entry.state;
        EXPECT_EQ(value, entry.value) << "render state " << entry.state;
    }
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

TEST(States, SamplerAndTextureStageDefaults) {
    Test_Device t(8, 8);
    ASSERT_TRUE(t.Ok()) << t.Error();
    IDirect3DDevice9* d = t.device;
    for (DWORD s = 0; s < 16; ++s) {
        DWORD v = 0;
        d->GetSamplerState(s, D3DSAMP_ADDRESSU, &v);
        EXPECT_EQ(v, DWORD(D3DTADDRESS_WRAP));
        d->GetSamplerState(s, D3DSAMP_MINFILTER, &v);
        EXPECT_EQ(v, DWORD(D3DTEXF_POINT));
        d->GetSamplerState(s, D3DSAMP_MAGFILTER, &v);
        EXPECT_EQ(v, DWORD(D3DTEXF_POINT));
        d->GetSamplerState(s, D3DSAMP_MIPFILTER, &v);
        EXPECT_EQ(v, DWORD(D3DTEXF_NONE));
        d->GetSamplerState(s, D3DSAMP_MAXANISOTROPY, &v);
        EXPECT_EQ(v, 1u);
    }
    ASSERT_EQ(d->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_ANISOTROPIC), D3D_OK);
    DWORD v = 0;
    d->GetSamplerState(0, D3DSAMP_MINFILTER, &v);
    EXPECT_EQ(v, DWORD(D3DTEXF_ANISOTROPIC));
    EXPECT_EQ(d->SetSamplerState(16, D3DSAMP_MINFILTER, 1), D3DERR_INVALIDCALL);

    const struct {
        DWORD stage;
        D3DTEXTURESTAGESTATETYPE type;
        DWORD value;
    } stages[] = {
        {0, D3DTSS_COLOROP, D3DTOP_MODULATE},   {0, D3DTSS_COLORARG1, D3DTA_TEXTURE},
        {0, D3DTSS_COLORARG2, D3DTA_CURRENT},   {0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1},
        {0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE},   {0, D3DTSS_ALPHAARG2, D3DTA_CURRENT},
        {1, D3DTSS_COLOROP, D3DTOP_DISABLE},    {1, D3DTSS_ALPHAOP, D3DTOP_DISABLE},
        {3, D3DTSS_TEXCOORDINDEX, 3},           {7, D3DTSS_COLOROP, D3DTOP_DISABLE},
    };
    for (const auto& entry : stages) {
        DWORD value = 0xDEADBEEF;
        ASSERT_EQ(d->GetTextureStageState(entry.stage, entry.type, &value), D3D_OK);
        EXPECT_EQ(value, entry.value) << "stage " << entry.stage << " state " << entry.type;
    }
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
    for (D3DTRANSFORMSTATETYPE state : {D3DTS_WORLD, D3DTS_VIEW, D3DTS_PROJECTION, D3DTS_TEXTURE3}) {
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
