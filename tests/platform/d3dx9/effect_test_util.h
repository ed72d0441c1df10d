// Helpers shared by the effect tests: corpus paths, effect creation with the
// compiler's messages captured, a full-screen draw in clip space, and a
// fixture that loads one effect of the corpus and draws its techniques.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/d3dx9.h"
#include "support/test_device.h"

inline std::string Fx_Corpus(const std::string& name) {
    return std::string(QM_SOURCE_DIR) + "/tests/fx/" + name;
}

// Creates an effect; on failure returns null and puts the messages in *errors.
inline ID3DXEffect* Load_Effect(IDirect3DDevice9* device, const std::string& path,
                                std::string* errors = nullptr, HRESULT* result = nullptr) {
    ID3DXEffect* effect = nullptr;
    ID3DXBuffer* messages = nullptr;
    const HRESULT hr = D3DXCreateEffectFromFileA(device, path.c_str(), nullptr, nullptr, 0, nullptr,
                                                 &effect, &messages);
    if (result) *result = hr;
    if (errors) errors->clear();
    if (messages) {
        if (errors) *errors = static_cast<const char*>(messages->GetBufferPointer());
        messages->Release();
    }
    return SUCCEEDED(hr) ? effect : nullptr;
}

struct Clip_Vertex {
    float x, y, z;
    float u, v;
};
inline constexpr DWORD k_clip_fvf = D3DFVF_XYZ | D3DFVF_TEX1;

// Two triangles over the rectangle (x1, y1)-(x2, y2) of clip space, clockwise
// on screen, with texture coordinates 0..1 from the top left.
inline void Draw_Clip_Rect(IDirect3DDevice9* device, float x1 = -1, float y1 = -1, float x2 = 1,
                           float y2 = 1, float z = 0.5f) {
    const Clip_Vertex v[6] = {{x1, y2, z, 0, 0}, {x2, y2, z, 1, 0}, {x1, y1, z, 0, 1},
                              {x1, y1, z, 0, 1}, {x2, y2, z, 1, 0}, {x2, y1, z, 1, 1}};
    device->SetFVF(k_clip_fvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(Clip_Vertex));
}

// Draws every pass of the current technique over the rectangle.
inline UINT Draw_Effect(IDirect3DDevice9* device, ID3DXEffect* effect, float x1 = -1, float y1 = -1,
                        float x2 = 1, float y2 = 1) {
    UINT passes = 0;
    if (FAILED(effect->Begin(&passes, 0))) return 0;
    for (UINT p = 0; p < passes; ++p) {
        effect->BeginPass(p);
        Draw_Clip_Rect(device, x1, y1, x2, y2);
        effect->EndPass();
    }
    effect->End();
    return passes;
}

// Channels of a pixel as 0..1 floats (r, g, b, a).
struct Rgba_F {
    float r, g, b, a;
};
inline Rgba_F Pixel_F(const Test_Device& dev, int x, int y) {
    return {dev.Channel(x, y, 0) / 255.0f, dev.Channel(x, y, 1) / 255.0f,
            dev.Channel(x, y, 2) / 255.0f, dev.Channel(x, y, 3) / 255.0f};
}

// Expects a pixel to hold a colour within 1.5/255 per channel.
#define EXPECT_PIXEL_NEAR(dev, x, y, r_, g_, b_)                               \
    do {                                                                       \
        const Rgba_F qm_px = Pixel_F(dev, x, y);                               \
        EXPECT_NEAR(qm_px.r, (r_), 1.5 / 255) << "red at " << x << "," << y;   \
        EXPECT_NEAR(qm_px.g, (g_), 1.5 / 255) << "green at " << x << "," << y; \
        EXPECT_NEAR(qm_px.b, (b_), 1.5 / 255) << "blue at " << x << "," << y;  \
    } while (0)

// A device and one effect file of the test corpus, drawn a technique at a
// time over the whole target: the fixture of the tests that read values an
// effect computes back from its pixels.
class Effect_Draw_Test : public ::testing::Test {
protected:
    explicit Effect_Draw_Test(int size = 64) : dev(size, size) {}
    void SetUp() override { ASSERT_TRUE(dev.Ok()) << dev.Error(); }
    void TearDown() override {
        if (fx) fx->Release();
    }

    void Load(const char* file) {
        std::string errors;
        fx = Load_Effect(dev.device, Fx_Corpus(file), &errors);
        ASSERT_NE(fx, nullptr) << errors;
    }

    // Clears, draws every pass of `technique`, reads the frame back.
    void Render(const char* technique, D3DCOLOR clear = 0) {
        ASSERT_EQ(fx->SetTechnique(technique), D3D_OK) << technique;
        dev.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, clear, 1.0f, 0);
        dev.device->BeginScene();
        EXPECT_GT(Draw_Effect(dev.device, fx), 0u) << technique;
        dev.device->EndScene();
        ASSERT_TRUE(dev.Capture());
    }

    // Draws the first pass of `technique` with `draw` between BeginPass and
    // EndPass, and reads the frame back.
    template <class Draw>
    void Render_With(const char* technique, Draw draw) {
        ASSERT_EQ(fx->SetTechnique(technique), D3D_OK) << technique;
        dev.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        dev.device->BeginScene();
        UINT passes = 0;
        ASSERT_EQ(fx->Begin(&passes, 0), D3D_OK);
        ASSERT_EQ(fx->BeginPass(0), D3D_OK);
        draw();
        fx->EndPass();
        fx->End();
        dev.device->EndScene();
        ASSERT_TRUE(dev.Capture());
    }

    Test_Device dev;
    ID3DXEffect* fx = nullptr;
};

// Loads tests/fx/FILE on a 16x16 device before each test.
class Effect_File_Test : public Effect_Draw_Test {
protected:
    explicit Effect_File_Test(const char* file) : Effect_Draw_Test(16), file_(file) {}
    void SetUp() override {
        Effect_Draw_Test::SetUp();
        Load(file_);
    }

private:
    const char* file_;
};
