// Live reloading on a real headless device and a real watched folder: the
// textures a model's materials name, scene rebuilding (camera, lights, slots)
// and failed loads that leave the scene alone.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstring>

#include "scene/reload.h"
#include "scene_support.h"
#include "support/bmp.h"

namespace {

// A square of side 2*h facing -z with one white material naming `texture`.
std::string Textured_Quad_X(float h, const char* texture) {
    char mesh[1024];
    std::snprintf(mesh, sizeof mesh,
                  "xof 0302txt 0032\nMesh Quad {\n 4;\n %g;%g;0;,\n %g;%g;0;,\n %g;%g;0;,\n"
                  " %g;%g;0;;\n 2;\n 3;0,1,2;,\n 3;0,2,3;;\n"
                  " MeshTextureCoords {\n  4;\n  0;1;,\n  0;0;,\n  1;0;,\n  1;1;;\n }\n"
                  " MeshMaterialList {\n  1;\n  2;\n  0,\n  0;\n  Material {\n   1;1;1;1;;\n"
                  "   0;\n   0;0;0;;\n   0;0;0;;\n   TextureFilename {\n    \"%s\";\n   }\n  }\n"
                  " }\n}\n",
                  -h, -h, -h, h, h, h, h, -h, texture);
    return mesh;
}

DWORD First_Texel(IDirect3DTexture9* texture) {
    D3DLOCKED_RECT locked{};
    if (!texture || FAILED(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY))) return 0;
    DWORD texel = 0;
    std::memcpy(&texel, locked.pBits, sizeof texel);
    texture->UnlockRect(0);
    return texel & 0xFFFFFF;
}

class Engine_Reload : public Engine_Device_Test {
protected:
    void TearDown() override {
        Reload_Stop();
        Reload_Status[0] = '\0';
        Engine_Device_Test::TearDown();
    }

    // Idle passes until one reloads something (or fails to).
    bool Reload_Pass() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < deadline) {
            if (Reload_Changes()) {
                Reload_Report();
                return true;
            }
            usleep(2000);
        }
        return false;
    }
};

TEST_F(Engine_Reload, MaterialTexturesFollowTheirFileAndBadOnesStay) {
    dir.Write("a.x", Textured_Quad_X(5, "tex.bmp"));
    dir.Write("tex.bmp", Solid_Bmp(255, 0, 0));
    dir.Write("levels/map_new.txt",
              "[object]\n[name]=a.x\n[/object]\n[object]\n[name]=a.x\n"
              "[x]=20\n[/object]\n");
    ASSERT_EQ(Build_Scene(), 0);
    ASSERT_EQ(Main_Object_Count, 2);
    ASSERT_EQ(First_Texel(Object_At(1)->Textures[0]), 0xFF0000u);
    ASSERT_EQ(Reload_Start(), 0);

    dir.Write("tex.bmp", Solid_Bmp(0, 255, 0));
    ASSERT_TRUE(Reload_Pass());
    EXPECT_EQ(First_Texel(Object_At(1)->Textures[0]), 0x00FF00u);
    EXPECT_EQ(First_Texel(Object_At(2)->Textures[0]), 0x00FF00u);
    EXPECT_EQ(Reload_Status[0], '\0');

    // Not a picture: the old texels stay, the reason is on the overlay, and
    // the caller's message box hook is back in place afterwards.
    dir.Write("tex.bmp", "garbage");
    ASSERT_TRUE(Reload_Pass());
    EXPECT_EQ(First_Texel(Object_At(1)->Textures[0]), 0x00FF00u);
    EXPECT_NE(std::strstr(Reload_Status, "tex.bmp"), nullptr) << Reload_Status;
    MessageBoxA(nullptr, "after", "caption", MB_OK);
    ASSERT_EQ(state.Boxes().size(), 1u);
    EXPECT_EQ(state.Boxes()[0].Text, "after");

    // The model itself, saved with another texture name.
    dir.Write("other.bmp", Solid_Bmp(0, 0, 255));
    dir.Write("a.x", Textured_Quad_X(5, "other.bmp"));
    ASSERT_TRUE(Reload_Pass());
    EXPECT_EQ(First_Texel(Object_At(2)->Textures[0]), 0x0000FFu);
    EXPECT_STREQ(Object_At(2)->Texture_Files[0], "other.bmp");
    EXPECT_EQ(Reload_Status[0], '\0');
}

TEST_F(Engine_Reload, RebuildKeepsTheCameraAndDarkensSlotsNoLongerUsed) {
    dir.Write("a.x", Textured_Quad_X(5, "none.bmp"));
    dir.Write("blank.bmp", Solid_Bmp(9, 9, 9));
    dir.Write("levels/map_new.txt",
              "[CameraPosX]=1\n[object]\n[type]=point_light\n[/object]\n"
              "[object]\n[type]=point_light\n[/object]\n[object]\n[name]=a.x\n[/object]\n");
    ASSERT_EQ(Build_Scene(), 0);
    ASSERT_EQ(Main_Light_Count, 2);
    Main_Scene_Camera.Pos = D3DXVECTOR3(7, 8, 9);  // where the author flew to
    ASSERT_EQ(Reload_Start(), 0);

    dir.Write("levels/map_new.txt",
              "[CameraPosX]=100\n[object]\n[type]=point_light\n[x]=3\n[/object]\n"
              "[object]\n[name]=a.x\n[/object]\n[object]\n[name]=a.x\n[x]=20\n[/object]\n");
    ASSERT_TRUE(Reload_Pass());
    EXPECT_EQ(Main_Object_Count, 2);
    EXPECT_EQ(Main_Light_Count, 1);
    EXPECT_EQ(Main_Light_Slots, 1u);
    EXPECT_EQ(Main_Scene_Camera.Pos, D3DXVECTOR3(7, 8, 9));
    BOOL enabled = TRUE;
    Main_Device->GetLightEnable(1, &enabled);
    EXPECT_FALSE(enabled);
    Main_Device->GetLightEnable(0, &enabled);
    EXPECT_TRUE(enabled);
    // Every object refers to the new first light.
    EXPECT_EQ(Object_At(2)->Scene_Light, &Light_At(1)->Light);
    EXPECT_EQ(Light_At(1)->Light.Position.x, 3.0f);
    // A texture that is missing falls back as at start-up, with no message box.
    EXPECT_STREQ(Object_At(1)->Texture_Files[0], "blank.bmp");
    EXPECT_TRUE(state.Boxes().empty());
}

TEST_F(Engine_Reload, AModelThatFailsKeepsTheOldMesh) {
    dir.Write("a.x", Textured_Quad_X(5, "tex.bmp"));
    dir.Write("tex.bmp", Solid_Bmp(1, 2, 3));
    dir.Write("levels/map_new.txt", "[object]\n[name]=a.x\n[/object]\n");
    ASSERT_EQ(Build_Scene(), 0);
    ID3DXMesh* mesh = Object_At(1)->Mesh;
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(Reload_Start(), 0);

    dir.Write("a.x", "xof 0302txt 0032\nMesh {");
    ASSERT_TRUE(Reload_Pass());
    EXPECT_EQ(Object_At(1)->Mesh, mesh);
    EXPECT_EQ(Object_At(1)->Material_Count, 1u);
    EXPECT_NE(std::strstr(Reload_Status, "a.x"), nullptr) << Reload_Status;
}

}  // namespace
