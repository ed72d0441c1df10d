// The sample game folder through the real binary: scene dump, check, picture.
#include <filesystem>

#include "e2e_support.h"

namespace {

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST(Sample_Scene, DumpListsEveryObjectAndLight) {
    Game_Folder folder(true);
    Process_Result r = Run_Headless(folder, {"--dump-scene"});
    ASSERT_EQ(r.Exit_Code, 0) << r.Err;
    const std::string& json = r.Out;
    EXPECT_EQ(json.front(), '{');
    EXPECT_NE(json.find("\"camera\": {\"Pos\": [0, 70, -190]"), std::string::npos) << json;
    // Every object block of the level and every light block appear, in order.
    std::string level = folder.Read("levels/map_new.txt");
    int objects = Count(level, "[/object]");
    int lights = Count(level, "[type]=point_light");
    EXPECT_EQ(Count(json, "\"mesh_loaded\": true"), objects - lights);
    EXPECT_EQ(Count(json, "\"Renderable\": "), lights);
    EXPECT_LT(json.find("models\\\\ground.x"), json.find("models\\\\crate.x"));
    EXPECT_NE(json.find("\"type\": \"spot\""), std::string::npos);
    EXPECT_NE(json.find("\"Renderable\": false"), std::string::npos);
    EXPECT_NE(json.find("\"text\": \"textures\\\\marble.png\", \"loaded\": true"),
              std::string::npos);
    EXPECT_NE(json.find("\"Alpha\": 150"), std::string::npos);
    EXPECT_TRUE(r.Err.empty()) << r.Err;
}

TEST(Sample_Scene, DumpListsEffectsPastAnEntryWithoutPath) {
    Game_Folder folder(true);
    // The first entry of the tinted sphere's list loses its path.
    folder.Write("fx/lists/phong_tint.txt",
                 "[Effect]\r\n    [technique]=standart\r\n[/Effect]\r\n"
                 "[Effect]\r\n    [path]=fx\\tint.fx\r\n    [technique]=standart\r\n[/Effect]\r\n");
    Process_Result r = Run_Headless(folder, {"--dump-scene"});
    ASSERT_EQ(r.Exit_Code, 0) << r.Err;
    EXPECT_NE(r.Out.find("{\"file\": \"\", \"technique\": \"standart\", \"loaded\": false}, "
                         "{\"file\": \"fx\\\\tint.fx\""),
              std::string::npos)
        << r.Out;
}

TEST(Sample_Scene, CheckFindsNoProblem) {
    Game_Folder folder(true);
    Process_Result r = Run_Headless(folder, {"--check"});
    EXPECT_EQ(r.Exit_Code, 0) << r.Out << r.Err;
    EXPECT_NE(r.Out.find("0 problems"), std::string::npos) << r.Out;
}

TEST(Sample_Scene, CheckListsEveryProblemAndFails) {
    Game_Folder folder(true);
    // A model that does not exist and a texture that does not exist.
    std::string level = folder.Read("levels/map_new.txt");
    level +=
        "\r\n[object]\r\n[name]=models\\missing.x\r\n[diffuse_texture]=textures\\none.png\r\n"
        "[/object]\r\n";
    folder.Write("levels/map_new.txt", level);
    Process_Result r = Run_Headless(folder, {"--check"});
    EXPECT_EQ(r.Exit_Code, 1);
    EXPECT_NE(r.Out.find("game.exe: textures\\none.png"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find(Utf8(u8"game.exe: не найдена модель: models\\missing.x")),
              std::string::npos)
        << r.Out;
    EXPECT_NE(r.Out.find("2 problems"), std::string::npos) << r.Out;
}

TEST(Sample_Scene, HeadlessRunShowsTheScene) {
    Game_Folder folder(true);
    std::string shot = folder.Path() + "/scene.png";
    Process_Result r = Run_Headless(folder, {"--frames", "60", "--screenshot", shot}, 300);
    ASSERT_EQ(r.Exit_Code, 0) << r.Err;
    Png_Image image = Read_Png(shot);
    ASSERT_TRUE(image.Ok());
    // The ground fills the lower part of the view: few black pixels there.
    int lit = 0, total = 0;
    for (int y = image.Height / 2; y < image.Height; y += 4)
        for (int x = 0; x < image.Width; x += 4, ++total)
            lit += (image.Pixel(x, y) & 0xFFFFFF) != 0;
    EXPECT_GT(lit, total * 9 / 10);
    // Missing content would have stopped at message boxes: none were shown.
    EXPECT_EQ(r.Err.find("game.exe"), std::string::npos) << r.Err;
}

}  // namespace
