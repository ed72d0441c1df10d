// The device sends GL only the state groups that changed since the last draw.
// Whatever changes between draws, the picture must be the one a device that
// sends everything before every draw makes.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "d3d9_test_util.h"
#include "platform/d3d9/gl_device.h"

namespace {

DWORD Float_Bits(float f) {
    DWORD d;
    std::memcpy(&d, &f, sizeof d);
    return d;
}

struct State_Choice {
    D3DRENDERSTATETYPE state;
    std::vector<DWORD> values;  // the first is where every run starts
};

const std::vector<State_Choice>& Choices() {
    static const std::vector<State_Choice> choices = {
        {D3DRS_ZENABLE, {D3DZB_TRUE, D3DZB_FALSE}},
        {D3DRS_ZWRITEENABLE, {TRUE, FALSE}},
        {D3DRS_ZFUNC, {D3DCMP_LESSEQUAL, D3DCMP_GREATER, D3DCMP_ALWAYS, D3DCMP_LESS}},
        {D3DRS_CULLMODE, {D3DCULL_NONE, D3DCULL_CW, D3DCULL_CCW}},
        {D3DRS_FILLMODE, {D3DFILL_SOLID, D3DFILL_WIREFRAME, D3DFILL_POINT}},
        {D3DRS_ALPHABLENDENABLE, {FALSE, TRUE}},
        {D3DRS_SRCBLEND,
         {D3DBLEND_ONE, D3DBLEND_SRCALPHA, D3DBLEND_DESTCOLOR, D3DBLEND_BLENDFACTOR}},
        {D3DRS_DESTBLEND, {D3DBLEND_ZERO, D3DBLEND_INVSRCALPHA, D3DBLEND_ONE}},
        {D3DRS_BLENDOP, {D3DBLENDOP_ADD, D3DBLENDOP_REVSUBTRACT, D3DBLENDOP_MAX}},
        {D3DRS_BLENDFACTOR, {0xFFFFFFFFu, 0x80402010u}},
        {D3DRS_SEPARATEALPHABLENDENABLE, {FALSE, TRUE}},
        {D3DRS_SRCBLENDALPHA, {D3DBLEND_ONE, D3DBLEND_ZERO}},
        {D3DRS_COLORWRITEENABLE, {0xF, 0x5, 0x2}},
        {D3DRS_ALPHATESTENABLE, {FALSE, TRUE}},
        {D3DRS_ALPHAREF, {0x40, 0xC0}},
        {D3DRS_ALPHAFUNC, {D3DCMP_GREATER, D3DCMP_LESS}},
        {D3DRS_MULTISAMPLEANTIALIAS, {TRUE, FALSE}},
        {D3DRS_MULTISAMPLEMASK, {0xFFFFFFFFu, 0x3}},
        {D3DRS_DEPTHBIAS, {Float_Bits(0.0f), Float_Bits(-0.05f)}},
        {D3DRS_SLOPESCALEDEPTHBIAS, {Float_Bits(0.0f), Float_Bits(1.0f)}},
        {D3DRS_POINTSIZE, {Float_Bits(1.0f), Float_Bits(3.0f)}},
        {D3DRS_SHADEMODE, {D3DSHADE_GOURAUD, D3DSHADE_FLAT}},
    };
    return choices;
}

// Sixty draws of screen quads, each after a few random state changes, the
// odd viewport change and partial clear; `untracked` makes the device send
// every state before every draw.
std::vector<unsigned char> Draw_Sequence(Test_Device& td, bool untracked) {
    IDirect3DDevice9* d = td.device;
    Gl_Device* gl = Gl_Device_From(d);
    std::mt19937 rng(12345);
    auto pick = [&](std::size_t n) { return std::size_t(rng() % n); };

    for (const State_Choice& c : Choices()) d->SetRenderState(c.state, c.values[0]);
    const D3DVIEWPORT9 full = {0, 0, DWORD(td.width), DWORD(td.height), 0.0f, 1.0f};
    d->SetViewport(&full);
    gl->Forget_Gl_State();
    d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF102030, 1.0f, 0);
    d->BeginScene();
    for (int i = 0; i < 60; ++i) {
        for (std::size_t n = pick(4); n > 0; --n) {
            const State_Choice& c = Choices()[pick(Choices().size())];
            d->SetRenderState(c.state, c.values[pick(c.values.size())]);
        }
        if (pick(8) == 0) {
            const D3DVIEWPORT9 part = {DWORD(pick(20)),
                                       DWORD(pick(20)),
                                       DWORD(40 + pick(50)),
                                       DWORD(30 + pick(30)),
                                       0.0f,
                                       pick(2) ? 1.0f : 0.5f};
            d->SetViewport(&part);
        }
        if (pick(10) == 0) {
            const D3DRECT rect = {LONG(pick(60)), LONG(pick(40)), LONG(60 + pick(30)),
                                  LONG(40 + pick(20))};
            d->Clear(1, &rect, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u | rng(), 1.0f, 0);
        }
        if (untracked) gl->Forget_Gl_State();
        const float x = float(pick(70)), y = float(pick(45));
        const float z = float(pick(100)) / 100.0f;
        const D3DCOLOR colour = D3DCOLOR(rng());
        if (pick(2)) {
            Draw_Screen_Quad(d, x, y, x + 8.0f + float(pick(30)), y + 6.0f + float(pick(20)),
                             colour, z);
        } else {
            // The other winding, for the cull modes.
            Draw_Screen_Quad(d, x + 8.0f + float(pick(30)), y, x, y + 6.0f + float(pick(20)),
                             colour, z);
        }
    }
    d->EndScene();
    EXPECT_TRUE(td.Capture());
    d->SetViewport(&full);
    return td.rgba;
}

}  // namespace

TEST(State_Tracking, DrawsMatchADeviceThatSendsEveryStateEveryTime) {
    Test_Device td{96, 64};
    ASSERT_TRUE(td.Ok()) << td.Error();
    const std::vector<unsigned char> tracked = Draw_Sequence(td, false);
    const std::vector<unsigned char> untracked = Draw_Sequence(td, true);
    ASSERT_EQ(tracked.size(), untracked.size());
    std::size_t differing = 0, first = 0;
    for (std::size_t i = 0; i < tracked.size(); ++i) {
        if (tracked[i] != untracked[i] && differing++ == 0) first = i;
    }
    EXPECT_EQ(differing, 0u) << "first at pixel " << first / 4 % 96 << ", " << first / 4 / 96;
    // The sequence drew something worth comparing: many distinct colours.
    std::vector<std::uint32_t> colours;
    for (std::size_t i = 0; i + 3 < tracked.size(); i += 4) {
        std::uint32_t c;
        std::memcpy(&c, &tracked[i], 4);
        colours.push_back(c);
    }
    std::sort(colours.begin(), colours.end());
    EXPECT_GT(std::unique(colours.begin(), colours.end()) - colours.begin(), 20);
}
