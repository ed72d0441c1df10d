// The settings, level and effect list readers given a FIFO or an endless
// device instead of a file: each goes on as it does without the file. And a
// Ctrl-Z ends their text as it did on Windows.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "app/settings.h"
#include "scene/level_reader.h"
#include "scene_support.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

IDirect3DDevice9* No_Device = nullptr;

// Makes `relative` a FIFO (kind 0) or a link to /dev/zero (kind 1).
void Make_Special(const Temp_Dir& dir, const std::string& relative, int kind) {
    const fs::path path = fs::path(dir.Path()) / relative;
    fs::create_directories(path.parent_path());
    if (kind == 0)
        ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    else
        fs::create_symlink("/dev/zero", path);
}

int Load_Test_Level(D3DXVECTOR3* pos, D3DXVECTOR3* look) {
    return Load_Level(&No_Device, "levels\\map_new.txt", pos, look, &Main_Object_List,
                      &Main_Light_List);
}

TEST(Special_Files, SettingsFallBackToTheirDefaults) {
    for (int kind : {0, 1}) {
        Temp_Dir dir;
        Make_Special(dir, "ini.txt", kind);
        std::snprintf(Main_Ini_Rezolution, Main_Ini_Text_Size, "%s", "");
        ASSERT_EQ(Load_Settings(), 0);
        int width = 640, height = 480;
        BYTE aa = 0;
        ASSERT_EQ(Apply_Settings(&width, &height, &aa), 0);
        EXPECT_EQ(width, 1024) << kind;
        EXPECT_EQ(height, 768) << kind;
        EXPECT_EQ(aa, 1) << kind;
    }
}

TEST(Special_Files, LevelFailsAsAMissingOne) {
    for (int kind : {0, 1}) {
        Scene_Fixture_State state;
        Temp_Dir dir;
        Make_Special(dir, "levels/map_new.txt", kind);
        D3DXVECTOR3 pos{5.0f, 6.0f, 25.0f}, look{0.0f, 0.0f, 1.0f};
        EXPECT_LT(Load_Test_Level(&pos, &look), 0) << kind;
        EXPECT_EQ(Main_Object_List, nullptr);
        EXPECT_EQ(Main_Light_List, nullptr);
        EXPECT_TRUE(state.Boxes().empty());
    }
}

TEST(Special_Files, EffectListsWarnAsMissingOnes) {
    for (const char* name : {"fx\\lists\\none.txt", "fx\\lists\\pipe.txt", "FX\\LISTS\\ZERO.TXT"}) {
        Scene_Fixture_State state;
        Temp_Dir dir;
        Make_Special(dir, "fx/lists/pipe.txt", 0);
        Make_Special(dir, "fx/lists/zero.txt", 1);
        Main_Level_Entry entry;
        Reset_Level_Entry(&entry);
        std::snprintf(entry.Shader, sizeof entry.Shader, "%s", name);
        Load_Effect_List(&entry);
        EXPECT_EQ(entry.Effect_Count, 0) << name;
        ASSERT_EQ(state.Boxes().size(), 1u) << name;
        EXPECT_EQ(state.Boxes()[0].Text, name);
        EXPECT_EQ(state.Boxes()[0].Caption, "ERROR");
    }
}

TEST(Special_Files, CtrlZEndsTheLevelAndTheSettings) {
    Scene_Fixture_State state;
    Temp_Dir dir;
    dir.Write("levels/map_new.txt",
              "[CameraPosX]=7\r\n[object]\r\n[name]=a.x\r\n[/object]\r\n\x1a"
              "[CameraPosY]=8\r\n[object]\r\n[name]=b.x\r\n[/object]\r\n");
    D3DXVECTOR3 pos{0.0f, 0.0f, 0.0f}, look{0.0f, 0.0f, 1.0f};
    ASSERT_EQ(Load_Test_Level(&pos, &look), 0);
    EXPECT_EQ(Object_Keys(), (std::vector<int>{0, 1}));  // the head, then a.x
    EXPECT_EQ(pos.x, 7.0f);
    EXPECT_EQ(pos.y, 0.0f);

    dir.Write("ini.txt", "[rezolution]=800x600\r\n\x1a[rezolution]=640x480\r\n");
    ASSERT_EQ(Load_Settings(), 0);
    int width = 0, height = 0;
    BYTE aa = 0;
    ASSERT_EQ(Apply_Settings(&width, &height, &aa), 0);
    EXPECT_EQ(width, 800);
}

}  // namespace
