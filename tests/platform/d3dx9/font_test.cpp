// ID3DXFont on a real device: the engine's font ("Arial" bold, -11) matched
// through fontconfig, text placed and coloured as GDI and D3DX place it,
// Windows-1251 Cyrillic drawn, the caller's device states left as they were,
// and one glyph atlas for the font's whole life.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>

#include <fontconfig/fontconfig.h>

#include "platform/d3dx9.h"
#include "platform/d3dx9/font.h"
#include "recording_device.h"
#include "support/test_device.h"

namespace {

// Windows-1251 bytes of the overlay's texts.
const char k_ready[] = "\xE3\xEE\xF2\xEE\xE2\xEE";  // "готово"
// "[загрузка карты]"
const char k_loading[] = "[\xE7\xE0\xE3\xF0\xF3\xE7\xEA\xE0 \xEA\xE0\xF0\xF2\xFB]";
constexpr D3DCOLOR k_grey = 0xFF666666;

struct Ink {
    int count = 0;
    int full = 0;  // pixels exactly in the text colour
    int min_x = INT_MAX, min_y = INT_MAX, max_x = -1, max_y = -1;
    bool grey_only = true;  // no pixel brighter or more colourful than the text
};

Ink Find_Ink(const Test_Device& gpu, D3DCOLOR colour) {
    Ink ink;
    const int level = static_cast<int>((colour >> 16) & 0xFF);
    for (int y = 0; y < gpu.height; ++y) {
        for (int x = 0; x < gpu.width; ++x) {
            const std::uint32_t p = gpu.Pixel(x, y);
            if ((p & 0xFFFFFF) == 0) continue;
            ++ink.count;
            if (p == colour) ++ink.full;
            const int r = gpu.Channel(x, y, 0), g = gpu.Channel(x, y, 1), b = gpu.Channel(x, y, 2);
            if (r != g || g != b || r > level) ink.grey_only = false;
            ink.min_x = std::min(ink.min_x, x);
            ink.min_y = std::min(ink.min_y, y);
            ink.max_x = std::max(ink.max_x, x);
            ink.max_y = std::max(ink.max_y, y);
        }
    }
    return ink;
}

class Font : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gpu.Ok()) << gpu.Error();
        ASSERT_EQ(Create(gpu.device, &font), D3D_OK);
    }
    void TearDown() override {
        if (font) font->Release();
    }

    // The engine's font: 8 points at 96 dpi, bold Arial.
    static HRESULT Create(IDirect3DDevice9* device, ID3DXFont** out) {
        return D3DXCreateFontA(device, -11, 0, FW_BOLD, 0, FALSE, DEFAULT_CHARSET,
                               OUT_DEFAULT_PRECIS, DEFAULT_QUALITY, 0, "Arial", out);
    }

    INT Draw(const char* text, int x, int y, D3DCOLOR colour, DWORD format = DT_NOCLIP) {
        RECT rect;
        SetRect(&rect, x, y, 0, 0);
        return font->DrawTextA(nullptr, text, -1, &rect, format, colour);
    }

    // Clears, draws one text and captures the frame.
    Ink Frame_With(const char* text, int x, int y, D3DCOLOR colour, DWORD format = DT_NOCLIP) {
        gpu.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1, 0);
        gpu.device->BeginScene();
        last_height = Draw(text, x, y, colour, format);
        gpu.device->EndScene();
        EXPECT_TRUE(gpu.Capture());
        return Find_Ink(gpu, colour);
    }

    Test_Device gpu{480, 48};
    ID3DXFont* font = nullptr;
    INT last_height = 0;
};

}  // namespace

TEST(Font_Face, ArialBoldIsLiberationSansBold) {
    Font_Face_Match bold;
    ASSERT_TRUE(Font_Match("Arial", FW_BOLD, false, &bold));
    EXPECT_EQ(bold.family, "Liberation Sans");
    EXPECT_NE(bold.style.find("Bold"), std::string::npos) << bold.style;
    EXPECT_FALSE(bold.file.empty());

    Font_Face_Match regular;
    ASSERT_TRUE(Font_Match("Arial", FW_NORMAL, false, &regular));
    EXPECT_EQ(regular.family, "Liberation Sans");
    EXPECT_EQ(regular.style.find("Bold"), std::string::npos) << regular.style;
    EXPECT_NE(regular.file, bold.file);
}

TEST(Font_Face, GdiHeightsGiveTheEmSize) {
    // Negative: the character (em) height itself.
    EXPECT_EQ(Font_Em_Pixels(-11, 2288, 2048), 11);
    // Positive: the cell height, ascent plus descent; Arial's cell is 2288
    // units for an em of 2048, so a 13-pixel cell has an em of 11.6.
    EXPECT_EQ(Font_Em_Pixels(13, 2288, 2048), 12);
    EXPECT_EQ(Font_Em_Pixels(INT_MIN, 2288, 2048), 0);
}

TEST_F(Font, TextStartsAtItsRectangleInExactlyItsColour) {
    const Ink ink = Frame_With(k_loading, 310, 5, k_grey);
    ASSERT_GT(ink.count, 0);
    // The top of the rectangle is the ascent line: ink starts at or right of
    // x and below y, and an 11-pixel em stays within a 13-pixel line.
    EXPECT_GE(ink.min_x, 310);
    EXPECT_LE(ink.min_x, 312);
    EXPECT_GT(ink.min_y, 5);
    EXPECT_LE(ink.max_y, 5 + 13);
    EXPECT_GT(ink.max_x, 310 + 60);  // sixteen bold characters
    // Fully covered pixels are the colour asked for, edges blend toward black.
    EXPECT_GE(ink.full, 40);
    EXPECT_TRUE(ink.grey_only);
    EXPECT_EQ(last_height, 13);

    // The same text one pixel further right moves the ink by one pixel.
    const Ink moved = Frame_With(k_loading, 311, 5, k_grey);
    EXPECT_EQ(moved.min_x, ink.min_x + 1);
    EXPECT_EQ(moved.count, ink.count);
}

TEST_F(Font, CyrillicTextDrawsInk) {
    const Ink ready = Frame_With(k_ready, 10, 10, 0xFFFFFFFF);
    EXPECT_GT(ready.full, 30);
    const Ink two = Frame_With("\xE3\xEE", 10, 10, 0xFFFFFFFF);  // "го"
    EXPECT_GT(two.count, 10);
    EXPECT_GT(ready.max_x, two.max_x + 15);
    // The one byte Windows-1251 leaves unassigned draws nothing.
    EXPECT_EQ(Frame_With("\x98\x98", 10, 10, 0xFFFFFFFF).count, 0);
}

TEST_F(Font, CalcRectMeasuresWithoutDrawing) {
    RECT rect;
    SetRect(&rect, 20, 7, 0, 0);
    gpu.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1, 0);
    gpu.device->BeginScene();
    const INT height =
        font->DrawTextA(nullptr, k_loading, -1, &rect, DT_NOCLIP | DT_CALCRECT, k_grey);
    gpu.device->EndScene();
    ASSERT_TRUE(gpu.Capture());
    EXPECT_EQ(Find_Ink(gpu, k_grey).count, 0);
    EXPECT_EQ(height, 13);
    EXPECT_EQ(rect.left, 20);
    EXPECT_EQ(rect.top, 7);
    EXPECT_EQ(rect.bottom, 7 + 13);

    // The measured width covers the ink, and counting characters works.
    const Ink ink = Frame_With(k_loading, 20, 7, k_grey);
    EXPECT_GE(rect.right, ink.max_x);
    EXPECT_LE(rect.right, ink.max_x + 4);
    RECT part;
    SetRect(&part, 20, 7, 0, 0);
    font->DrawTextA(nullptr, k_loading, 1, &part, DT_CALCRECT, k_grey);  // just "["
    EXPECT_LT(part.right - part.left, 10);
    EXPECT_GT(part.right - part.left, 0);
}

TEST_F(Font, ClippingFollowsTheRectangleWithoutNoClip) {
    // An empty rectangle without DT_NOCLIP shows nothing at all.
    EXPECT_EQ(Frame_With(k_loading, 310, 5, k_grey, DT_LEFT | DT_TOP).count, 0);

    gpu.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1, 0);
    gpu.device->BeginScene();
    RECT rect;
    SetRect(&rect, 10, 5, 40, 12);
    font->DrawTextA(nullptr, k_loading, -1, &rect, 0, k_grey);
    gpu.device->EndScene();
    ASSERT_TRUE(gpu.Capture());
    const Ink ink = Find_Ink(gpu, k_grey);
    ASSERT_GT(ink.count, 0);
    EXPECT_GE(ink.min_x, 10);
    EXPECT_LT(ink.max_x, 40);
    EXPECT_LT(ink.max_y, 12);

    EXPECT_EQ(font->DrawTextA(nullptr, nullptr, -1, &rect, 0, k_grey), 0);
    EXPECT_EQ(font->DrawTextA(nullptr, k_ready, -1, nullptr, 0, k_grey), 0);
}

TEST_F(Font, DeviceStatesAreLeftAsTheyWere) {
    IDirect3DDevice9* d = gpu.device;
    // The engine's own states: anisotropic sampling, lighting, blending as a
    // blended object leaves it, a texture and a vertex format in place.
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(d->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3D_OK);
    const std::pair<D3DRENDERSTATETYPE, DWORD> render[] = {
        {D3DRS_ALPHABLENDENABLE, TRUE},   {D3DRS_SRCBLEND, D3DBLEND_ONE},
        {D3DRS_DESTBLEND, D3DBLEND_ZERO}, {D3DRS_ZENABLE, D3DZB_TRUE},
        {D3DRS_ZWRITEENABLE, TRUE},       {D3DRS_CULLMODE, D3DCULL_CW},
        {D3DRS_LIGHTING, TRUE},           {D3DRS_FILLMODE, D3DFILL_WIREFRAME},
        {D3DRS_ALPHATESTENABLE, TRUE},    {D3DRS_FOGENABLE, TRUE},
    };
    for (const auto& [state, value] : render) d->SetRenderState(state, value);
    d->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_ANISOTROPIC);
    d->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_ANISOTROPIC);
    d->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_ANISOTROPIC);
    d->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_MIRROR);
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TFACTOR);
    d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_ADD);
    d->SetTexture(0, texture);
    d->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL);

    d->BeginScene();
    EXPECT_GT(Draw(k_loading, 10, 10, k_grey), 0);
    d->EndScene();

    for (const auto& [state, value] : render) {
        DWORD now = 0;
        d->GetRenderState(state, &now);
        EXPECT_EQ(now, value) << "render state " << state;
    }
    DWORD value = 0;
    d->GetSamplerState(0, D3DSAMP_MINFILTER, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTEXF_ANISOTROPIC));
    d->GetSamplerState(0, D3DSAMP_MAGFILTER, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTEXF_ANISOTROPIC));
    d->GetSamplerState(0, D3DSAMP_MIPFILTER, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTEXF_ANISOTROPIC));
    d->GetSamplerState(0, D3DSAMP_ADDRESSU, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTADDRESS_MIRROR));
    d->GetTextureStageState(0, D3DTSS_COLOROP, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTOP_SELECTARG2));
    d->GetTextureStageState(0, D3DTSS_ALPHAARG1, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTA_TFACTOR));
    d->GetTextureStageState(1, D3DTSS_COLOROP, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTOP_ADD));
    d->GetFVF(&value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DFVF_XYZ | D3DFVF_NORMAL));
    IDirect3DBaseTexture9* bound = nullptr;
    d->GetTexture(0, &bound);
    EXPECT_EQ(bound, static_cast<IDirect3DBaseTexture9*>(texture));
    if (bound) bound->Release();

    // A vertex declaration in force comes back too.
    const D3DVERTEXELEMENT9 elements[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
    IDirect3DVertexDeclaration9* declaration = nullptr;
    ASSERT_EQ(d->CreateVertexDeclaration(elements, &declaration), D3D_OK);
    d->SetVertexDeclaration(declaration);
    d->BeginScene();
    Draw(k_ready, 10, 10, k_grey);
    d->EndScene();
    IDirect3DVertexDeclaration9* now = nullptr;
    d->GetVertexDeclaration(&now);
    EXPECT_EQ(now, declaration);
    if (now) now->Release();

    d->SetVertexDeclaration(nullptr);
    d->SetTexture(0, nullptr);
    declaration->Release();
    texture->Release();
}

TEST_F(Font, OneAtlasForTheFontsLife) {
    Recording_Device recorder(gpu.device);
    ID3DXFont* counted = nullptr;
    ASSERT_EQ(Create(&recorder, &counted), D3D_OK);
    EXPECT_EQ(recorder.Count("CreateTexture"), 1);
    EXPECT_GE(recorder.References(), 1u);

    gpu.device->BeginScene();
    for (int i = 0; i < 10; ++i) {
        RECT rect;
        SetRect(&rect, 10, 10 + i, 0, 0);
        counted->DrawTextA(nullptr, i % 2 ? k_ready : k_loading, -1, &rect, DT_NOCLIP, k_grey);
    }
    gpu.device->EndScene();
    EXPECT_EQ(recorder.Count("CreateTexture"), 1);
    EXPECT_EQ(recorder.Count("DrawPrimitiveUP"), 10);  // one draw per text
    counted->Release();
    EXPECT_EQ(recorder.References(), 0u);
}

TEST_F(Font, NoFontsMeansNoFont) {
    // Swap in a fontconfig configuration that knows no fonts.
    FcConfig* saved = FcConfigReference(nullptr);
    FcConfig* empty = FcConfigCreate();
    ASSERT_TRUE(FcConfigSetCurrent(empty));
    ID3DXFont* none = reinterpret_cast<ID3DXFont*>(0x1);
    const HRESULT hr = Create(gpu.device, &none);
    FcConfigSetCurrent(saved);
    FcConfigDestroy(saved);
    FcConfigDestroy(empty);
    EXPECT_LT(hr, 0);
    EXPECT_EQ(none, nullptr);

    EXPECT_EQ(Create(nullptr, &none), D3DERR_INVALIDCALL);
}
