// The engine's drawing on a real headless device, read back pixel by pixel:
// the loading screen, the camera, objects in plain and blended mode, light
// markers and arrows, loading with its fallbacks, and scene building.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "frame/frame.h"
#include "render/render.h"
#include "scene_support.h"
#include "support/temp_dir.h"
#include "support/test_device.h"
#include "platform/win32_testing.h"

namespace {

// Lighting is per vertex: the quad's corners (+-10, +-10, 0) see a light at
// (0, 0, -30) at N.L = 30 / sqrt(1100), and the centre gets what they get.
const int Corner_Lit = 231;

// A square of side 2*h facing the camera (-z), at z = 0, clockwise from the front.
std::string Quad_X(float h, const char* diffuse, const char* texture = nullptr) {
    std::string material =
        std::string("  Material {\n   ") + diffuse + ";;\n   0.0;\n   0;0;0;;\n   0;0;0;;\n";
    if (texture) material += std::string("   TextureFilename {\n    \"") + texture + "\";\n   }\n";
    material += "  }\n";
    char mesh[1024];
    std::snprintf(
        mesh, sizeof mesh,
        "xof 0302txt 0032\nMesh Quad {\n 4;\n %g;%g;0;,\n %g;%g;0;,\n %g;%g;0;,\n %g;%g;0;;\n"
        " 2;\n 3;0,1,2;,\n 3;0,2,3;;\n MeshNormals {\n  4;\n  0;0;-1;,\n  0;0;-1;,\n"
        "  0;0;-1;,\n  0;0;-1;;\n  2;\n  3;0,1,2;,\n  3;0,2,3;;\n }\n"
        " MeshTextureCoords {\n  4;\n  0;1;,\n  0;0;,\n  1;0;,\n  1;1;;\n }\n"
        " MeshMaterialList {\n  1;\n  2;\n  0,\n  0;\n",
        -h, -h, -h, h, h, h, h, -h);
    return std::string(mesh) + material + " }\n}\n";
}

class Engine_Render : public Engine_Device_Test {
protected:
    void SetUp() override {
        Engine_Device_Test::SetUp();
        Main_Device->SetRenderState(D3DRS_LIGHTING, TRUE);
        Main_Scene_Camera.Pos = D3DXVECTOR3(0.0f, 0.0f, -50.0f);
        Main_Scene_Camera.Look = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
        Main_Scene_Camera.Up = D3DXVECTOR3(0.0f, 1.0f, 0.0f);
        Main_Scene_Camera.Right = D3DXVECTOR3(1.0f, 0.0f, 0.0f);
        Main_Scene_Camera.Speed = 0.222f;
    }

    MAIN_CGLight* Make_Light(D3DLIGHTTYPE type, D3DVECTOR position, D3DCOLORVALUE ambient,
                             bool renderable, D3DVECTOR direction = {0, 0, 0}) {
        if (!Main_Light_List) Main_Light_List = new Main_Light_Node{0, nullptr, nullptr, nullptr};
        ++Main_Light_Count;
        MAIN_CGLight* light = Add_Light(&Main_Light_List, Main_Light_Count, Main_Device_Ref)->Light;
        light->Light.Type = type;
        light->Light.Position = position;
        light->Light.Direction = direction;
        light->Light.Ambient = ambient;
        light->Light.Diffuse = {1, 1, 1, 1};
        light->Light.Range = 300.0f;
        light->Renderable = renderable;
        Setup_Light(light);
        return light;
    }

    MAIN_CGObject* Make_Object(const std::string& file, D3DXVECTOR3 position, int alpha) {
        if (!Main_Object_List)
            Main_Object_List = new Main_Object_Node{0, nullptr, nullptr, nullptr};
        ++Main_Object_Count;
        MAIN_CGObject* object =
            Add_Object(&Main_Object_List, Main_Object_Count, Main_Device_Ref)->Object;
        std::snprintf(object->Name, sizeof object->Name, "%s", file.c_str());
        object->Position = position;
        object->Alpha = alpha;
        D3DLIGHT9* first = Main_Light_List && Main_Light_List->Next
                               ? &Main_Light_List->Next->Light->Light
                               : nullptr;
        Load_Object(object, object->Name, first);
        return object;
    }

    // Two frames: a light that is not renderable reaches the device only when
    // it is drawn, after the objects of the first frame.
    void Frame(std::uint32_t clear = 0xFF000000) {
        One_Frame(clear);
        One_Frame(clear);
        ASSERT_TRUE(td.Capture());
    }

    void One_Frame(std::uint32_t clear) {
        Main_Device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, clear, 1.0f, 0);
        ASSERT_TRUE(SUCCEEDED(Main_Device->BeginScene()));
        Main_Scene_Camera.Up = D3DXVECTOR3(0.0f, 1.0f, 0.0f);
        Main_Scene_Camera.Right = D3DXVECTOR3(1.0f, 0.0f, 0.0f);
        Update_Camera();
        for (Main_Object_Node* n = Main_Object_List ? Main_Object_List->Next : nullptr; n;
             n = n->Next)
            Draw_Object(n->Object, &Main_Scene_Camera.Pos);
        for (Main_Light_Node* n = Main_Light_List ? Main_Light_List->Next : nullptr; n; n = n->Next)
            Draw_Light(n->Light);
        Main_Device->EndScene();
    }
};

TEST_F(Engine_Render, LoadingBarFrameAndFillCoverTheirPixels) {
    // Multisampling is on, as the engine's default settings leave it: pixels
    // that an edge cuts in half blend; every pixel inside is exact.
    for (float percent : {50.0f, 100.0f}) {
        ASSERT_EQ(Build_Loading_Bar(percent), 0);
        Draw_Loading_Screen(" ", "x");
        ASSERT_TRUE(td.Capture());
        auto rgb = [&](int x, int y) { return td.Pixel(x, y) & 0xFFFFFF; };
        int end = static_cast<int>(percent * 3);  // the fill's right edge
        EXPECT_EQ(rgb(6, 8), 0x000033u) << "frame, left";
        EXPECT_EQ(rgb(303, 18), 0x000022u) << "frame, right";
        EXPECT_NEAR(static_cast<int>(rgb(155, 6)), 0x2A, 1) << "frame, middle";
        EXPECT_EQ(rgb(3, 10), 0u);
        EXPECT_EQ(rgb(306, 10), 0u);
        EXPECT_EQ(rgb(100, 3), 0u);
        EXPECT_EQ(rgb(100, 21), 0u);
        EXPECT_EQ(rgb(11, 13), 0x0000EEu);
        EXPECT_EQ(rgb(end - 1, 13), 0x0000EEu);
        EXPECT_LT(rgb(end + 1, 13), 0x0000EEu);
        EXPECT_LT(rgb(8, 13), 0x0000EEu);
        EXPECT_LT(rgb(50, 10), 0x0000EEu);
        EXPECT_LT(rgb(50, 16), 0x0000EEu);
        // The edges are the half-covered pixels on the frame's outline.
        EXPECT_GT(rgb(5, 10), 0u);
        EXPECT_LT(rgb(5, 10), 0x000033u);
    }
    // Without multisample anti-aliasing the edges are hard.
    Main_Device->SetRenderState(D3DRS_MULTISAMPLEANTIALIAS, FALSE);
    Build_Loading_Bar(50.0f);
    Draw_Loading_Screen(" ", "x");
    ASSERT_TRUE(td.Capture());
    EXPECT_EQ(td.Pixel(5, 5) & 0xFFFFFF, 0x000033u);
    EXPECT_EQ(td.Pixel(4, 5) & 0xFFFFFF, 0u);
    EXPECT_EQ(td.Pixel(304, 19) & 0xFFFFFF, 0x000022u);
    EXPECT_EQ(td.Pixel(305, 19) & 0xFFFFFF, 0u);
    EXPECT_EQ(td.Pixel(10, 12) & 0xFFFFFF, 0x0000EEu);
    EXPECT_EQ(td.Pixel(149, 14) & 0xFFFFFF, 0x0000EEu);
    EXPECT_NE(td.Pixel(150, 14) & 0xFFFFFF, 0x0000EEu);
    EXPECT_NE(td.Pixel(10, 15) & 0xFFFFFF, 0x0000EEu);
}

TEST_F(Engine_Render, EntryFramesFasterThanADisplayShowsAreSkipped) {
    // The bar's fill ends at 3 pixels per percent; row 13 runs through it.
    auto fill_ends_before = [&](int x) {
        EXPECT_TRUE(td.Capture());
        return (td.Pixel(x - 2, 13) & 0xFFFFFF) == 0x0000EEu &&
               (td.Pixel(x + 2, 13) & 0xFFFFFF) != 0x0000EEu;
    };
    Platform_Set_Time(1000);
    Build_Loading_Bar(20.0f);
    Draw_Loading_Screen(" ", "x");
    EXPECT_TRUE(fill_ends_before(60));
    EXPECT_EQ(Loading_Last_Cost, 0u) << "the clock stands still";

    // An entry shortly after is not drawn: the screen still shows 20 %.
    Platform_Set_Time(1000 + Loading_Frame_Interval - 1);
    Build_Loading_Bar(40.0f);
    Draw_Loading_Screen(" ", "x", Loading_Frame_Entry);
    EXPECT_TRUE(fill_ends_before(60));

    // One a display interval after the last frame is.
    Platform_Set_Time(1000 + Loading_Frame_Interval);
    Build_Loading_Bar(60.0f);
    Draw_Loading_Screen(" ", "x", Loading_Frame_Entry);
    EXPECT_TRUE(fill_ends_before(180));

    // Frames that take long to draw are drawn less often: at most a third of
    // the time goes to them.
    Loading_Last_Cost = Loading_Frame_Interval;
    Platform_Set_Time(1000 + 3 * Loading_Frame_Interval - 1);
    Build_Loading_Bar(70.0f);
    Draw_Loading_Screen(" ", "x", Loading_Frame_Entry);
    EXPECT_TRUE(fill_ends_before(180));
    Platform_Set_Time(1000 + 3 * Loading_Frame_Interval);
    Draw_Loading_Screen(" ", "x", Loading_Frame_Entry);
    EXPECT_TRUE(fill_ends_before(210));

    // The final screen is drawn whatever the time.
    Build_Loading_Bar(100.0f);
    Draw_Loading_Screen(" ", "x");
    EXPECT_TRUE(fill_ends_before(300));
    Platform_Release_Time();
}

// With the clock standing still only the first entry of the scene gets a
// frame: it must be exactly the frame of that entry's texts and percentage.
TEST_F(Engine_Render, SceneBuildingShowsEachEntrysTextAndIntegerPercentage) {
    ASSERT_TRUE(
        SUCCEEDED(D3DXCreateFontA(Main_Device, -11, 0, FW_BOLD, 0, FALSE, DEFAULT_CHARSET,
                                  OUT_DEFAULT_PRECIS, DEFAULT_QUALITY, 0, "Arial", &Main_Font)));
    dir.Write("quad.x", Quad_X(10, "0.0;1.0;0.0;1.0"));
    const std::string object = "[object]\n[name]=quad.x\n[/object]\n";
    const std::string light = "[object]\n[type]=point_light\n[light_renderable]=0\n[/object]\n";
    const struct {
        std::string level;
        const char* left;
        const char* right;
        float percent;
    } cases[] = {
        // 1 * 100 / 3 = 33 in integer arithmetic.
        {object + object + object, "33% загрузки моделей", "quad.x", 33.0f},
        {light + light + light + object, "[загрузка света]", "источник света №1", 33.0f},
        {object + object, "50% загрузки моделей", "quad.x", 50.0f},
    };
    Platform_Set_Time(5000);
    for (const auto& c : cases) {
        Reset_Scene_Globals();
        dir.Write("levels/map_new.txt", c.level);
        Build_Loading_Bar(0.0f);
        Loading_Presented = false;
        ASSERT_EQ(Build_Scene(), 0);
        ASSERT_TRUE(td.Capture());
        const std::vector<unsigned char> shown = td.rgba;

        Build_Loading_Bar(c.percent);
        Draw_Loading_Screen(c.left, c.right, Loading_Frame_Always);
        ASSERT_TRUE(td.Capture());
        EXPECT_TRUE(shown == td.rgba) << c.left << " / " << c.right;
    }
    Platform_Release_Time();
}

TEST_F(Engine_Render, LoadingBarRebuildKeepsOnePairOfBuffers) {
    Build_Loading_Bar(10.0f);
    IDirect3DVertexBuffer9* bar = Main_Loading_Bar;
    bar->AddRef();
    Build_Loading_Bar(20.0f);
    EXPECT_EQ(bar->Release(), 0u);  // the old one is gone: our reference was the last
    void* data = nullptr;
    ASSERT_TRUE(SUCCEEDED(Main_Loading_Bar->Lock(0, 0, &data, 0)));
    const Loading_Vertex* v = static_cast<const Loading_Vertex*>(data);
    EXPECT_EQ(v[2].x, 60.0f);
    EXPECT_EQ(v[0].colour, 0x000000EEu);
    EXPECT_EQ(v[0].z, 0.5f);
    EXPECT_EQ(v[0].rhw, 1.0f);
    Main_Loading_Bar->Unlock();
}

TEST_F(Engine_Render, LoadingTextsInTheirColours) {
    ASSERT_TRUE(
        SUCCEEDED(D3DXCreateFontA(Main_Device, -11, 0, FW_BOLD, 0, FALSE, DEFAULT_CHARSET,
                                  OUT_DEFAULT_PRECIS, DEFAULT_QUALITY, 0, "Arial", &Main_Font)));
    Build_Loading_Bar(0.0f);
    Draw_Loading_Screen("MMMM", "готово");
    ASSERT_TRUE(td.Capture());
    auto count = [&](int x0, int y0, int x1, int y1, std::uint32_t colour) {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += td.Pixel(x, y) == colour;
        return n;
    };
    EXPECT_GT(count(310, 5, 319, 20, 0xFF666666u), 3);   // the title starts at (310, 5)
    EXPECT_EQ(count(300, 0, 310, 24, 0xFF666666u), 0);   // and not before
    EXPECT_GT(count(310, 25, 320, 40, 0xFF666666u), 3);  // the right text at (310, 25)
    EXPECT_GT(count(10, 25, 60, 40, 0xFF999999u), 10);   // the left text at (10, 25)
    EXPECT_EQ(count(0, 25, 10, 40, 0xFF999999u), 0);
}

TEST_F(Engine_Render, OverlayRowsSitAtTheirPlacesInTheirColours) {
    ASSERT_TRUE(
        SUCCEEDED(D3DXCreateFontA(Main_Device, -11, 0, FW_BOLD, 0, FALSE, DEFAULT_CHARSET,
                                  OUT_DEFAULT_PRECIS, DEFAULT_QUALITY, 0, "Arial", &Main_Font)));
    Main_Object_Count = 12;
    Main_Light_Count = 3;
    Main_Device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    ASSERT_TRUE(SUCCEEDED(Main_Device->BeginScene()));
    Draw_Statistics();
    Main_Device->EndScene();
    ASSERT_TRUE(td.Capture());
    // Glyph cores carry the exact colour; edges are blended towards black.
    const std::uint32_t label = D3DXCOLOR(0.1f, 0.1f, 0.1f, 1.0f);
    const std::uint32_t value = D3DXCOLOR(0.3f, 0.3f, 0.0f, 1.0f);
    auto count = [&](int x0, int y0, int x1, int y1, std::uint32_t colour) {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += (td.Pixel(x, y) | 0xFF000000u) == colour;
        return n;
    };
    const struct {
        int y;
        int value_x;  // 0: the row has no value of the value colour
    } rows[] = {{10, 130}, {20, 130}, {30, 130},  {55, 250},
                {65, 250}, {85, 250}, {105, 250}, {125, 0}};
    for (const auto& row : rows) {
        // The middle of a text line: clear of the rows above and below.
        const int top = row.y + 3, bottom = row.y + 8;
        EXPECT_GT(count(10, top, 60, bottom, label), 3) << "label of the row at y " << row.y;
        EXPECT_EQ(count(0, top, 10, bottom, label), 0) << "label starts at x 10, row " << row.y;
        if (row.value_x == 0) continue;
        EXPECT_GT(count(row.value_x, top, row.value_x + 40, bottom, value), 1)
            << "value at y " << row.y;
        EXPECT_EQ(count(0, top, row.value_x, bottom, value), 0)
            << "value starts at " << row.value_x;
    }
    // Nothing below the controls line.
    EXPECT_EQ(count(0, 140, 320, 240, label) + count(0, 140, 320, 240, value), 0);
}

TEST_F(Engine_Render, OverlayRateReadsTheFramesOfTheLastFullSecond) {
    ASSERT_TRUE(
        SUCCEEDED(D3DXCreateFontA(Main_Device, -11, 0, FW_BOLD, 0, FALSE, DEFAULT_CHARSET,
                                  OUT_DEFAULT_PRECIS, DEFAULT_QUALITY, 0, "Arial", &Main_Font)));
    // The pixels of the rate's value, above the timer row at y 65.
    auto rate_value = [&](auto draw) {
        Main_Device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        Main_Device->BeginScene();
        draw();
        Main_Device->EndScene();
        std::vector<std::uint32_t> pixels;
        if (!td.Capture()) return pixels;
        for (int y = 55; y < 65; ++y)
            for (int x = 250; x < 320; ++x) pixels.push_back(td.Pixel(x, y));
        return pixels;
    };
    const auto sixty_three =
        rate_value([] { Draw_Text("63.", 250, 55, Stat_Value_Colour); });  // as _gcvt writes it
    ASSERT_FALSE(sixty_three.empty());
    Stat_Previous_Time = 0;
    Stat_Accum_Time = 0;
    Stat_Frame_Count = 0;
    Stat_FPS = 0;
    DWORD now = 5000000;  // the first frame sees the system's whole uptime
    Platform_Set_Time(now);
    Stat_Count_Frame();
    // 16 ms frames: the 63rd after that ends the second at 1008 ms. The 8 ms
    // past it are dropped, so the next second again takes 63 frames, not 62.
    for (int second = 0; second < 2; ++second) {
        for (int frame = 1; frame < 63; ++frame) {
            Platform_Set_Time(now += 16);
            Stat_Count_Frame();
        }
        Platform_Set_Time(now += 16);
        EXPECT_TRUE(rate_value([] { Draw_Statistics(); }) == sixty_three) << "second " << second;
    }
    Platform_Release_Time();
}

TEST_F(Engine_Render, CameraBuildsTheViewAndTheFixedProjection) {
    Main_Scene_Camera.Pos = D3DXVECTOR3(5.0f, 6.0f, 25.0f);
    Main_Scene_Camera.Look = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
    Update_Camera();
    D3DXMATRIX view, projection, expected;
    Main_Device->GetTransform(D3DTS_VIEW, &view);
    D3DXMatrixTranslation(&expected, -5.0f, -6.0f, -25.0f);
    EXPECT_TRUE(view == expected);
    Main_Device->GetTransform(D3DTS_PROJECTION, &projection);
    D3DXMatrixPerspectiveFovLH(&expected, 0.7853982f, 1.3333334f, 1.0f, 15000.0f);
    EXPECT_TRUE(projection == expected);

    Main_Scene_Camera.Look = D3DXVECTOR3(-0.1f, -0.1f, 0.5f);
    Main_Scene_Camera.Up = D3DXVECTOR3(0, 1, 0);
    Update_Camera();
    const D3DXVECTOR3& look = Main_Scene_Camera.Look;
    EXPECT_NEAR(D3DXVec3Length(&look), 1.0f, 1e-6);
    EXPECT_NEAR(look.x / look.z, -0.2f, 1e-6);
    EXPECT_NEAR(look.y / look.z, -0.2f, 1e-6);

    // The translation row holds dot products summed in double and then
    // stored as floats; look for camera positions where float sums differ.
    int telling = 0;
    for (int i = 1; i <= 200 && telling < 4; ++i) {
        Main_Scene_Camera.Pos =
            D3DXVECTOR3(123.457f * float(i), -78.913f * float(i), 1000.1f + float(i));
        Main_Scene_Camera.Look = D3DXVECTOR3(-0.1f, -0.1f, 0.5f);
        Main_Scene_Camera.Up = D3DXVECTOR3(0, 1, 0);
        Main_Scene_Camera.Right = D3DXVECTOR3(1, 0, 0);
        Update_Camera();
        const Main_Camera& c = Main_Scene_Camera;
        const float wide = -float(double(c.Pos.x) * c.Look.x + double(c.Pos.y) * c.Look.y +
                                  double(c.Pos.z) * c.Look.z);
        const float narrow = -(c.Pos.x * c.Look.x + c.Pos.y * c.Look.y + c.Pos.z * c.Look.z);
        if (wide == narrow) continue;
        ++telling;
        Main_Device->GetTransform(D3DTS_VIEW, &view);
        EXPECT_EQ(view._43, wide) << "camera position " << i;
    }
    EXPECT_EQ(telling, 4) << "no camera position tells float from double sums";

    Main_Scene_Camera.Look = D3DXVECTOR3(0.05f, -5.0f, 0.1f);  // nearly straight down
    Main_Scene_Camera.Up = D3DXVECTOR3(0, 1, 0);
    Update_Camera();
    EXPECT_EQ(Main_Scene_Camera.Right.y, 0.0f);
    EXPECT_GE(Main_Scene_Camera.Up.y, 0.0f);
    EXPECT_NEAR(D3DXVec3Length(&Main_Scene_Camera.Right), 1.0f, 1e-6);
    EXPECT_NEAR(D3DXVec3Length(&Main_Scene_Camera.Up), 1.0f, 1e-6);
}

TEST_F(Engine_Render, FirstLightDriftsFiveUnitsPerThousandFrames) {
    Make_Light(D3DLIGHT_POINT, {10, 0, 0}, {0.2f, 0.2f, 0.2f, 1}, false);
    Make_Light(D3DLIGHT_POINT, {-10, 0, 0}, {0.2f, 0.2f, 0.2f, 1}, false);
    for (int i = 0; i < 1000; ++i) Render_Frame();
    EXPECT_NEAR(Light_At(1)->Light.Position.x, 15.0f, 0.01f);
    EXPECT_EQ(Light_At(2)->Light.Position.x, -10.0f);
    D3DLIGHT9 sent;
    Main_Device->GetLight(Light_At(1)->Slot, &sent);
    EXPECT_EQ(sent.Position.x, Light_At(1)->Light.Position.x);  // re-sent every frame
}

TEST_F(Engine_Render, PlainObjectCarriesItsMaterialLitByTheLight) {
    dir.Write("quad.x", Quad_X(10, "0.0;1.0;0.0;1.0"));
    // A light with no attenuation terms saturates what it reaches.
    Make_Light(D3DLIGHT_POINT, {0, 0, -30}, {0, 0, 0, 0}, false);
    MAIN_CGObject* object = Make_Object("quad.x", D3DXVECTOR3(0, 0, 0), 100);
    ASSERT_NE(object->Mesh, nullptr);
    EXPECT_EQ(object->Material_Count, 1u);
    EXPECT_EQ(object->Materials[0].Ambient.g, 1.0f);  // ambient replaced by diffuse
    Frame();
    std::uint32_t centre = td.Pixel(160, 120);
    EXPECT_NEAR(Green(centre), Corner_Lit, 1);
    EXPECT_EQ(Red(centre), 0);
    EXPECT_EQ(td.Pixel(5, 5) & 0xFFFFFF, 0u);
    DWORD cull = 0;
    Main_Device->GetRenderState(D3DRS_CULLMODE, &cull);
    EXPECT_EQ(cull, static_cast<DWORD>(D3DCULL_NONE));
}

TEST_F(Engine_Render, ObjectOutOfRangeStaysDark) {
    dir.Write("quad.x", Quad_X(10, "0.0;1.0;0.0;1.0"));
    MAIN_CGLight* light = Make_Light(D3DLIGHT_POINT, {0, 0, -30}, {0, 0, 0, 0}, false);
    light->Light.Range = 10.0f;
    Make_Object("quad.x", D3DXVECTOR3(0, 0, 0), 100);
    Frame();
    EXPECT_EQ(td.Pixel(160, 120) & 0xFFFFFF, 0u);
}

TEST_F(Engine_Render, BlendedObjectUsesOneAndInverseSourceAlpha) {
    dir.Write("glass.x", Quad_X(10, "1.0;0.0;0.0;0.25"));
    Make_Light(D3DLIGHT_POINT, {0, 0, -30}, {0, 0, 0, 0}, false);
    MAIN_CGObject* glass = Make_Object("glass.x", D3DXVECTOR3(0, 0, 0), 101);
    Frame(0xFF0000FF);
    std::uint32_t centre = td.Pixel(160, 120);
    EXPECT_NEAR(Red(centre), Corner_Lit, 1);
    EXPECT_NEAR(Blue(centre), 191, 2);  // 255 * (1 - 0.25)
    DWORD blend = 0, source = 0, dest = 0;
    Main_Device->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
    Main_Device->GetRenderState(D3DRS_SRCBLEND, &source);
    Main_Device->GetRenderState(D3DRS_DESTBLEND, &dest);
    EXPECT_EQ(blend, 1u);  // left on for whatever is drawn next
    EXPECT_EQ(source, static_cast<DWORD>(D3DBLEND_ONE));
    EXPECT_EQ(dest, static_cast<DWORD>(D3DBLEND_INVSRCALPHA));
    // Exactly 100 is opaque.
    glass->Alpha = 100;
    Frame(0xFF0000FF);
    EXPECT_EQ(Blue(td.Pixel(160, 120)), 0);
}

TEST_F(Engine_Render, RenderableLightGlowsInItsAmbientColour) {
    Make_Light(D3DLIGHT_POINT, {0, 0, 0}, {0.5f, 0.4f, 0.3f, 1.0f}, true);
    const D3DMATERIAL9& marker = Light_At(1)->Marker_Material;
    EXPECT_EQ(marker.Emissive.r, 0.5f);
    EXPECT_EQ(marker.Emissive.a, 0.2f);
    EXPECT_EQ(marker.Diffuse.r, 0.0f);
    EXPECT_EQ(marker.Power, 0.0f);
    Frame();
    std::uint32_t centre = td.Pixel(160, 120);
    EXPECT_NEAR(Red(centre), 128, 2);
    EXPECT_NEAR(Green(centre), 102, 2);
    EXPECT_NEAR(Blue(centre), 77, 2);
}

TEST_F(Engine_Render, NonRenderableLightDrawsNothingButLights) {
    dir.Write("quad.x", Quad_X(10, "1.0;1.0;0.0;1.0"));
    Make_Light(D3DLIGHT_POINT, {0, 0, -30}, {1, 1, 1, 1}, false);
    Make_Object("quad.x", D3DXVECTOR3(0, 0, 0), 100);
    Frame();
    EXPECT_EQ(td.Pixel(160, 120) & 0xFFFFFF, 0xFFFF00u);
    // Where the light itself is (off the quad, in view): nothing drawn.
    Main_Scene_Camera.Pos = D3DXVECTOR3(0, 0, -60);
    Frame();
    int lit_outside = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            if (std::abs(x - 160) > 55 || std::abs(y - 120) > 55)
                lit_outside += (td.Pixel(x, y) & 0xFFFFFF) != 0;
    EXPECT_EQ(lit_outside, 0);
}

TEST_F(Engine_Render, SpotLightArrowPointsAlongItsDirection) {
    Main_Scene_Camera.Pos = D3DXVECTOR3(0, 0, -300);
    Make_Light(D3DLIGHT_SPOT, {0, 0, 0}, {1, 1, 1, 1}, true, {1, 0, 0});
    Frame();
    // The shaft runs from the light to 100 units along +x: right of centre, not left.
    int right = 0, left = 0;
    for (int x = 175; x < 200; ++x) right += (td.Pixel(x, 120) & 0xFFFFFF) != 0;
    for (int x = 120; x < 145; ++x) left += (td.Pixel(x, 120) & 0xFFFFFF) != 0;
    EXPECT_GT(right, 15);
    EXPECT_EQ(left, 0);
    DWORD fill = 0;
    Main_Device->GetRenderState(D3DRS_FILLMODE, &fill);
    EXPECT_EQ(fill, static_cast<DWORD>(D3DFILL_SOLID));
}

TEST_F(Engine_Render, MissingModelFallsBackToBlankWithOneBox) {
    dir.Write("blank.x", Quad_X(3, "1.0;0.0;1.0;1.0"));
    MAIN_CGObject* object = Make_Object("models\\nothing.x", D3DXVECTOR3(1, 2, 3), 100);
    ASSERT_EQ(state.Boxes().size(), 1u);
    EXPECT_EQ(state.Boxes()[0].Text, "не найдена модель: models\\nothing.x");
    EXPECT_EQ(state.Boxes()[0].Caption, "game.exe");
    ASSERT_NE(object->Mesh, nullptr);
    EXPECT_EQ(object->Materials[0].Diffuse.b, 1.0f);
    EXPECT_EQ(object->World._41, 1.0f);
    EXPECT_EQ(object->World._43, 3.0f);
}

TEST_F(Engine_Render, NoModelAtAllLeavesAnUndrawnObject) {
    MAIN_CGObject* object = Make_Object("nothing.x", D3DXVECTOR3(0, 0, 0), 100);
    EXPECT_EQ(state.Boxes().size(), 1u);
    EXPECT_EQ(object->Mesh, nullptr);
    EXPECT_EQ(object->Materials, nullptr);
    Frame();  // drawing it does nothing and does not fail
    EXPECT_EQ(td.Pixel(160, 120) & 0xFFFFFF, 0u);
}

TEST_F(Engine_Render, AlphaZeroLoadsNoMaterialsAndDrawsWithTheDefault) {
    dir.Write("quad.x", Quad_X(10, "1.0;0.0;0.0;1.0", "red.png"));
    Make_Light(D3DLIGHT_POINT, {0, 0, -30}, {0, 0, 0, 0}, false);
    MAIN_CGObject* object = Make_Object("quad.x", D3DXVECTOR3(0, 0, 0), 0);
    EXPECT_EQ(object->Materials, nullptr);
    EXPECT_EQ(object->Textures, nullptr);
    EXPECT_EQ(object->Material_Count, 1u);
    EXPECT_TRUE(state.Boxes().empty());  // no texture was looked for
    Frame();
    std::uint32_t centre = td.Pixel(160, 120);  // the white default material
    EXPECT_NEAR(Red(centre), Corner_Lit, 1);
    EXPECT_NEAR(Green(centre), Corner_Lit, 1);
    EXPECT_NEAR(Blue(centre), Corner_Lit, 1);
}

TEST_F(Engine_Render, TextureLookupOrderAndMessages) {
    // 1x1 BMPs: 24-bit, one pixel (blue, green, red) plus padding.
    auto bmp = [](unsigned char r, unsigned char g, unsigned char b) {
        unsigned char data[58] = {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  40,
                                  0,   0,   0,  1, 0, 0, 0, 1, 0, 0, 0,  1, 0, 24, 0};
        data[54] = b;
        data[55] = g;
        data[56] = r;
        return std::string(reinterpret_cast<char*>(data), sizeof data);
    };
    dir.Write("textures/only_in_folder.bmp", bmp(0, 255, 0));
    dir.Write("quad_a.x", Quad_X(10, "1.0;1.0;1.0;1.0", "only_in_folder.bmp"));
    dir.Write("quad_b.x", Quad_X(10, "1.0;1.0;1.0;1.0", "nowhere.bmp"));
    dir.Write("quad_c.x", Quad_X(10, "1.0;1.0;1.0;1.0", ""));
    MAIN_CGObject* a = Make_Object("quad_a.x", D3DXVECTOR3(0, 0, 0), 100);
    EXPECT_NE(a->Textures[0], nullptr);
    EXPECT_TRUE(state.Boxes().empty());
    MAIN_CGObject* b = Make_Object("quad_b.x", D3DXVECTOR3(0, 0, 0), 100);
    EXPECT_EQ(b->Textures[0], nullptr);
    ASSERT_EQ(state.Boxes().size(), 1u);
    EXPECT_EQ(state.Boxes()[0].Text, "textures\\nowhere.bmp");
    MAIN_CGObject* c = Make_Object("quad_c.x", D3DXVECTOR3(0, 0, 0), 100);
    EXPECT_EQ(c->Textures[0], nullptr);
    EXPECT_EQ(state.Boxes().size(), 1u);
    // With blank.bmp present, the texture that is nowhere becomes blank.bmp silently.
    dir.Write("blank.bmp", bmp(255, 0, 255));
    MAIN_CGObject* d = Make_Object("quad_b.x", D3DXVECTOR3(0, 0, 0), 100);
    EXPECT_NE(d->Textures[0], nullptr);
    EXPECT_EQ(state.Boxes().size(), 1u);
}

TEST_F(Engine_Render, DestroyingAnObjectReleasesItsNamedTextures) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_TRUE(SUCCEEDED(Main_Device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                                     &texture, nullptr)));
    texture->AddRef();  // ours, to see what the object does with its own
    MAIN_CGObject* object = new MAIN_CGObject(Main_Device_Ref);
    object->Diffuse_Texture = texture;
    delete object;
    EXPECT_EQ(texture->Release(), 0u);
}

TEST_F(Engine_Render, BuildSceneLoadsLightsFirstAndLogsEveryEntry) {
    dir.Write("a.x", Quad_X(5, "1.0;1.0;1.0;1.0"));
    dir.Write("levels/map_new.txt",
              "[object]\n[name]=a.x\n[/object]\n[object]\n[type]=point_light\n[/object]\n"
              "[object]\n[name]=a.x\n[x]=20\n[/object]\n[object]\n[type]=point_light\n"
              "[light_renderable]=0\n[/object]\n[object]\n[name]=a.x\n[/object]\n"
              "[object]\n[name]=a.x\n[/object]\n");
    char cwd[1024];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    Main_Graphic_Log.Set_Directory(cwd);
    Main_Graphic_Log.Open();
    EXPECT_EQ(Build_Scene(), 0);
    std::vector<std::string> lines = Split_Crlf_Lines(dir.Read("GraphicLog.txt"));
    ASSERT_EQ(lines.size(), 9u);
    auto message = [&](int i) { return lines[i].substr(lines[i].find("| ", 2) + 2); };
    EXPECT_EQ(message(3), "источник света №1");
    EXPECT_EQ(message(4), "источник света №2");
    for (int i = 5; i < 9; ++i) EXPECT_EQ(message(i), "a.x");
    // Every object refers to the first light; the last bar was 100 %.
    EXPECT_EQ(Object_At(4)->Scene_Light, &Light_At(1)->Light);
    EXPECT_NE(Light_At(1)->Marker_Mesh, nullptr);
    EXPECT_EQ(Light_At(2)->Marker_Mesh, nullptr);
    EXPECT_EQ(Light_At(2)->World._41, 0.0f);
    EXPECT_EQ(Object_At(2)->World._41, 20.0f);
    void* data = nullptr;
    ASSERT_TRUE(SUCCEEDED(Main_Loading_Bar->Lock(0, 0, &data, 0)));
    EXPECT_EQ(static_cast<const Loading_Vertex*>(data)[2].x, 300.0f);
    Main_Loading_Bar->Unlock();
    // The camera starts where the level does not say otherwise.
    EXPECT_EQ(Main_Scene_Camera.Pos.z, 25.0f);
}

TEST_F(Engine_Render, BuildSceneWithoutLevelLogsAndKeepsTheCamera) {
    char cwd[1024];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    Main_Graphic_Log.Set_Directory(cwd);
    Main_Graphic_Log.Open();
    EXPECT_EQ(Build_Scene(), 0);
    std::vector<std::string> lines = Split_Crlf_Lines(dir.Read("GraphicLog.txt"));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_NE(lines[3].find("CGMFLoad_Polygon FAILED"), std::string::npos);
    EXPECT_EQ(Main_Loading_Bar, nullptr);  // no loading frames from scene building
    EXPECT_TRUE(state.Boxes().empty());
    EXPECT_EQ(Main_Scene_Camera.Look.x, -0.1f);
}

}  // namespace
