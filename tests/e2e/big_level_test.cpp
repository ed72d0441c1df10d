// A level of 100,000 plain objects: read, built and drawn, the program
// reaches its main loop and quits through the normal path. A bigger one
// under an address-space limit runs out of memory and ends cleanly.
#include <chrono>
#include <string>

#include "e2e_support.h"

namespace {

std::string Plain_Level(int count) {
    std::string level =
        "[CameraPosY]=300\r\n[CameraPosZ]=-100\r\n[CameraLookY]=-1\r\n[CameraLookZ]=1\r\n";
    level.reserve(static_cast<std::size_t>(count) * 60);
    for (int i = 0; i < count; ++i) {
        level.append("[object]\r\n[name]=blank.x\r\n[x]=").append(std::to_string((i % 300) * 4));
        level.append("\r\n[z]=").append(std::to_string((i / 300) * 4)).append("\r\n[/object]\r\n");
    }
    return level;
}

TEST(Big_Level, HundredThousandObjectsReachTheMainLoop) {
    Game_Folder folder(true);
    folder.Write("levels/map_new.txt", Plain_Level(100000));

    const auto start = std::chrono::steady_clock::now();
    const Process_Result r = Run_Headless(folder, {"--frames", "1"}, 280);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_FALSE(r.Timed_Out) << "still loading after " << seconds << " s";
    ASSERT_EQ(r.Exit_Code, 0) << r.Err;
    EXPECT_NE(r.Out.find("quillmoor: 1 frames in"), std::string::npos) << r.Out;
    // Every object was built: no model is reported missing.
    EXPECT_EQ((r.Out + r.Err).find("blank.x"), std::string::npos) << r.Err.substr(0, 500);
    std::printf("100,000 objects: main loop reached and its first frame drawn in %.1f s\n",
                seconds);
}

TEST(Big_Level, RunningOutOfMemoryEndsWithAMessageAndStatusOne) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer reserves more address space than the limit";
#endif
    Game_Folder folder(true);
    // About 11 KiB an object: 300,000 need more than the limit leaves.
    folder.Write("levels/map_new.txt", Plain_Level(300000));
    Process_Options options;
    options.Working_Dir = folder.Path();
    options.Unset = {"DISPLAY", "WAYLAND_DISPLAY"};
    options.Timeout_Seconds = 120;
    options.Address_Space_Limit = 2ull << 30;
    const auto start = std::chrono::steady_clock::now();
    const Process_Result r =
        Run_Process({Quillmoor_Binary(), "--frames", "1", "--headless"}, options);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_FALSE(r.Timed_Out);
    EXPECT_EQ(r.Exit_Code, 1) << "killed by a signal?\n" << r.Err.substr(0, 2000);
    // stderr is UTF-8, the logs are in the engine's own code page.
    // The records alone need more than the limit: reading the level fails.
    EXPECT_NE(r.Err.find("game.exe: " + Utf8(u8"не хватает памяти: ") + "levels\\map_new.txt\n"),
              std::string::npos)
        << r.Err.substr(0, 2000);
    EXPECT_EQ(r.Out.find("frames in"), std::string::npos) << "no main loop without the scene";
    bool logged = false;
    for (const std::string& line : folder.Log_Lines("GraphicLog.txt"))
        logged = logged || line.find("не хватает памяти: ") != std::string::npos;
    EXPECT_TRUE(logged);
    const std::vector<std::string> startup = folder.Log_Lines("StartupLog.txt");
    ASSERT_FALSE(startup.empty());
    EXPECT_NE(startup.back().find("<Время выхода."), std::string::npos);
    std::printf("out of memory after %.1f s\n", seconds);
}

}  // namespace
