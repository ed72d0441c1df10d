// FIFOs and endless devices in the game folder, through the real binary: it
// reports them exactly as the same files missing, and does not hang.
#include <sys/stat.h>

#include <filesystem>

#include "e2e_support.h"

namespace {

namespace fs = std::filesystem;

// Makes a FIFO (kind 0) or a link to /dev/zero (kind 1) in the folder.
void Make_Special(const Game_Folder& folder, const std::string& relative, int kind) {
    const fs::path path = fs::path(folder.Path()) / relative;
    fs::create_directories(path.parent_path());
    fs::remove(path);
    if (kind == 0)
        ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    else
        fs::create_symlink("/dev/zero", path);
}

// The sample folder with objects naming models, textures, effect lists and
// effects that are FIFOs or /dev/zero, or, with `special` false, that do
// not exist; and "ini.txt" the same.
void Prepare(const Game_Folder& folder, bool special) {
    std::string level = folder.Read("levels/map_new.txt");
    level +=
        "\r\n[object]\r\n[name]=models\\pipe.x\r\n[diffuse_texture]=textures\\zero.png\r\n"
        "[/object]\r\n"
        "[object]\r\n[name]=models\\zero.x\r\n[diffuse_texture]=textures\\pipe.png\r\n"
        "[shader]=fx\\lists\\pipe.txt\r\n[/object]\r\n"
        "[object]\r\n[name]=models\\crate.x\r\n[shader]=fx\\lists\\zero.txt\r\n[/object]\r\n"
        "[object]\r\n[name]=models\\crate.x\r\n[shader]=fx\\lists\\to_pipe.txt\r\n[/object]\r\n"
        "[object]\r\n[name]=models\\crate.x\r\n[shader]=fx\\lists\\to_zero.txt\r\n[/object]\r\n";
    folder.Write("levels/map_new.txt", level);
    folder.Write("fx/lists/to_pipe.txt", "[Effect]\r\n[path]=fx\\pipe.fx\r\n[/Effect]\r\n");
    folder.Write("fx/lists/to_zero.txt", "[Effect]\r\n[path]=fx\\zero.fx\r\n[/Effect]\r\n");
    fs::remove(fs::path(folder.Path()) / "ini.txt");
    if (!special) return;
    Make_Special(folder, "ini.txt", 1);
    for (const char* name :
         {"models/pipe.x", "textures/pipe.png", "fx/lists/pipe.txt", "fx/pipe.fx"})
        Make_Special(folder, name, 0);
    for (const char* name :
         {"models/zero.x", "textures/zero.png", "fx/lists/zero.txt", "fx/zero.fx"})
        Make_Special(folder, name, 1);
}

TEST(Special_Files, CheckReportsThemAsMissingFiles) {
    Game_Folder special(true), missing(true);
    Prepare(special, true);
    Prepare(missing, false);
    const Process_Result got = Run_Headless(special, {"--check"}, 60);
    const Process_Result expected = Run_Headless(missing, {"--check"}, 60);
    ASSERT_FALSE(got.Timed_Out) << got.Out << got.Err;
    ASSERT_FALSE(expected.Timed_Out);
    EXPECT_EQ(got.Exit_Code, 1);
    EXPECT_EQ(got.Exit_Code, expected.Exit_Code);
    EXPECT_EQ(got.Out, expected.Out);
    for (const char8_t* problem :
         {u8"game.exe: не найдена модель: models\\pipe.x",
          u8"game.exe: не найдена модель: models\\zero.x", u8"game.exe: textures\\zero.png",
          u8"game.exe: textures\\pipe.png", u8"ERROR: fx\\lists\\pipe.txt",
          u8"ERROR: fx\\lists\\zero.txt", u8"game.exe: fx\\pipe.fx", u8"game.exe: fx\\zero.fx"})
        EXPECT_NE(got.Out.find(Utf8(problem)), std::string::npos) << Utf8(problem) << "\n"
                                                                  << got.Out;
}

TEST(Special_Files, LevelRunsAsWithoutALevel) {
    for (int kind : {0, 1}) {
        Game_Folder folder(true);
        Make_Special(folder, "levels/map_new.txt", kind);
        const Process_Result r = Run_Headless(folder, {"--frames", "2"}, 60);
        ASSERT_FALSE(r.Timed_Out) << kind;
        EXPECT_EQ(r.Exit_Code, 0) << r.Err;
        const std::vector<std::string> graphic = folder.Log_Lines("GraphicLog.txt");
        bool failed = false;
        for (const std::string& line : graphic)
            failed = failed || line.find("CGMFLoad_Polygon FAILED") != std::string::npos;
        EXPECT_TRUE(failed) << kind;
    }
}

}  // namespace
