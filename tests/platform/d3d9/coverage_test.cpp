// Where pre-transformed and transformed geometry lands, pixel for pixel, and
// which faces each cull mode removes.
#include <gtest/gtest.h>

#include "support/test_device.h"

namespace {

struct Screen_Vertex {
    float x, y, z, rhw;
    D3DCOLOR color;
};
constexpr DWORD k_screen_fvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;

void Draw_Quad(IDirect3DDevice9* device, float x1, float y1, float x2, float y2, D3DCOLOR color,
               float z = 0.5f) {
    // Strip order of the engine's loading bar: (x1,y2) (x1,y1) (x2,y2) (x2,y1).
    const Screen_Vertex v[4] = {{x1, y2, z, 1, color}, {x1, y1, z, 1, color},
                                {x2, y2, z, 1, color}, {x2, y1, z, 1, color}};
    device->SetFVF(k_screen_fvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(Screen_Vertex));
}

TEST(Coverage, ScreenQuadCoversExactlyItsPixelsWithoutMultisampling) {
    Test_Device t(320, 40);
    ASSERT_TRUE(t.Ok()) << t.Error();
    IDirect3DDevice9* d = t.device;
    ASSERT_EQ(d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0), D3D_OK);
    d->SetRenderState(D3DRS_MULTISAMPLEANTIALIAS, FALSE);
    ASSERT_EQ(d->BeginScene(), D3D_OK);
    Draw_Quad(d, 5, 5, 305, 20, 0xFF0000FF);
    ASSERT_EQ(d->EndScene(), D3D_OK);
    ASSERT_TRUE(t.Capture());
    for (int y = 0; y < t.height; ++y) {
        for (int x = 0; x < t.width; ++x) {
            const bool inside = x >= 5 && x <= 304 && y >= 5 && y <= 19;
            ASSERT_EQ(t.Pixel(x, y), inside ? 0xFF0000FFu : 0xFF000000u) << "pixel " << x << "," << y;
        }
    }
}

}  // namespace
