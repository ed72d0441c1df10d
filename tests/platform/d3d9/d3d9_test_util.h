// Vertex records and small drawing helpers shared by the device tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "support/test_device.h"

struct Screen_Vertex {
    float x, y, z, rhw;
    D3DCOLOR color;
};
inline constexpr DWORD k_screen_fvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;

struct Screen_Tex_Vertex {
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v;
};
inline constexpr DWORD k_screen_tex_fvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct Lit_Vertex {
    float x, y, z;
    float nx, ny, nz;
};
inline constexpr DWORD k_lit_fvf = D3DFVF_XYZ | D3DFVF_NORMAL;

struct Color_Vertex {
    float x, y, z;
    D3DCOLOR color;
};
inline constexpr DWORD k_color_fvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;

// A screen-space rectangle as the engine's loading bar draws it: a two-
// triangle strip (x1,y2) (x1,y1) (x2,y2) (x2,y1), clockwise on screen.
inline HRESULT Draw_Screen_Quad(IDirect3DDevice9* device, float x1, float y1, float x2, float y2,
                                D3DCOLOR color, float z = 0.5f) {
    const Screen_Vertex v[4] = {
        {x1, y2, z, 1, color}, {x1, y1, z, 1, color}, {x2, y2, z, 1, color}, {x2, y1, z, 1, color}};
    device->SetFVF(k_screen_fvf);
    return device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(Screen_Vertex));
}

inline D3DMATRIX Identity_Matrix() {
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

// World, view and projection all identity: world coordinates are clip
// coordinates (x, y in -1..1, z in 0..1) and camera space at once, which
// keeps the lighting arithmetic of a test easy to follow.
inline void Set_Identity_Transforms(IDirect3DDevice9* device) {
    const D3DMATRIX identity = Identity_Matrix();
    device->SetTransform(D3DTS_WORLD, &identity);
    device->SetTransform(D3DTS_VIEW, &identity);
    device->SetTransform(D3DTS_PROJECTION, &identity);
}

// A square facing the camera (normal -z) at depth z with corners (+-s, +-s).
// Every corner lies at the same distance and angle from a light on the z
// axis, so per-vertex lighting gives one flat colour across the square.
inline void Draw_Facing_Square(IDirect3DDevice9* device, float s, float z) {
    const Lit_Vertex v[4] = {
        {-s, -s, z, 0, 0, -1}, {-s, s, z, 0, 0, -1}, {s, -s, z, 0, 0, -1}, {s, s, z, 0, 0, -1}};
    device->SetFVF(k_lit_fvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(Lit_Vertex));
}

struct Rgb {
    float r, g, b;
};

inline int To_Byte(float value) {
    return int(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f));
}

// Expects the pixel to be the colour within the given tolerance (in 1/255).
#define EXPECT_PIXEL_NEAR(t, x, y, rgb, tolerance)                                           \
    do {                                                                                     \
        const Rgb expected_ = (rgb);                                                         \
        EXPECT_NEAR((t).Channel((x), (y), 0), To_Byte(expected_.r), (tolerance)) << "red";   \
        EXPECT_NEAR((t).Channel((x), (y), 1), To_Byte(expected_.g), (tolerance)) << "green"; \
        EXPECT_NEAR((t).Channel((x), (y), 2), To_Byte(expected_.b), (tolerance)) << "blue";  \
    } while (0)

inline D3DLIGHT9 Make_Light(D3DLIGHTTYPE type) {
    D3DLIGHT9 light{};
    light.Type = type;
    light.Range = 1000.0f;
    light.Attenuation0 = 1.0f;
    return light;
}

// A scene on a fresh device without multisampling, cleared to black and
// begun; Finish() ends it and reads the pixels back. Objects put in `owned`
// are released after the test.
class Device_Scene_Test : public ::testing::Test {
protected:
    Device_Scene_Test(int width, int height) : t(width, height) {}
    void SetUp() override {
        ASSERT_TRUE(t.Ok()) << t.Error();
        d = t.device;
        d->SetRenderState(D3DRS_MULTISAMPLEANTIALIAS, FALSE);
        d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        ASSERT_EQ(d->BeginScene(), D3D_OK);
    }
    void TearDown() override {
        for (IUnknown* object : owned) object->Release();
    }
    void Finish() {
        ASSERT_EQ(d->EndScene(), D3D_OK);
        ASSERT_TRUE(t.Capture());
    }

    Test_Device t;
    IDirect3DDevice9* d = nullptr;
    std::vector<IUnknown*> owned;
};
