// The Windows build under Wine against the Linux build, on the real binaries:
// start-up logs, pictures and --check (issue 19, item 4).
//
// Wine's D3DX cannot compile effect source (its HLSL compiler is unfinished),
// so under Wine the three start-up effects, and the effects of objects that
// have effect lists, fail with the engine's message boxes: stderr lines when
// headless. The tests expect exactly those lines; on Windows they compile.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/process.h"
#include "support/temp_dir.h"
#include "windows/windows_support.h"

namespace {

// The message boxes of the start-up effects that Wine cannot compile.
const std::vector<std::string> k_startup_effect_lines = {
    "game.exe: fx\\shadow\\Phong.fx",
    "game.exe: fx\\shadow\\Shadow_Phong.fx",
    "game.exe: fx\\shadow\\postPRocess.fx",
};
// Those of the sample level's effect lists, in level order (the list of
// phong_tint stops at its first effect).
const std::vector<std::string> k_object_effect_lines = {
    "game.exe: fx\\phong.fx",    "game.exe: fx\\normal_map.fx", "game.exe: fx\\env_map.fx",
    "game.exe: fx\\rim_glow.fx", "game.exe: fx\\phong.fx",
};

// The overlay's rows are above this line; its numbers are right of k_numbers_x.
constexpr int k_overlay_bottom = 140;
constexpr int k_numbers_x = 120;

class Windows_Build_Test : public ::testing::Test {
protected:
    void SetUp() override {
        if (Windows_Build().empty())
            GTEST_SKIP() << "run by scripts/windows.sh (QM_WINDOWS_BUILD is not set)";
    }
};

struct Both_Runs {
    Process_Result Linux, Windows;
};

Both_Runs Run_Both(const std::string& linux_folder, const std::string& windows_folder,
                   const std::vector<std::string>& args) {
    Both_Runs runs;
    Process_Options options;
    options.Working_Dir = linux_folder;
    options.Timeout_Seconds = 300;
    std::vector<std::string> argv = {Quillmoor_Binary()};
    argv.insert(argv.end(), args.begin(), args.end());
    runs.Linux = Run_Process(argv, options);
    runs.Windows = Run_Wine("src/quillmoor.exe", args, windows_folder);
    return runs;
}

void Expect_Alike(const Png_Image& linux_picture, const Png_Image& windows_picture, int x0, int y0,
                  int x1, int y1, const char* what) {
    const Picture_Difference d = Compare_Pictures(linux_picture, windows_picture, x0, y0, x1, y1);
    EXPECT_LE(d.Mean, 4.0) << what;
    EXPECT_GE(d.Share_Near, 0.97) << what;
    std::printf("%s: mean difference %.2f/255, %.2f %% of pixels within 24/255\n", what, d.Mean,
                100.0 * d.Share_Near);
}

using Windows_Startup = Windows_Build_Test;

TEST_F(Windows_Startup, LogsAndPictureEqualTheLinuxBuildsWithoutEffectLists) {
    Temp_Dir root(false);
    const std::string linux_folder = root.Path() + "/linux",
                      windows_folder = root.Path() + "/windows";
    Copy_Sample_Without_Effect_Lists(linux_folder);
    Copy_Sample_Without_Effect_Lists(windows_folder);
    const Both_Runs runs = Run_Both(linux_folder, windows_folder,
                                    {"--headless", "--frames", "30", "--screenshot", "shot.png"});
    ASSERT_EQ(runs.Linux.Exit_Code, 0) << runs.Linux.Err;
    ASSERT_EQ(runs.Windows.Exit_Code, 0) << runs.Windows.Err;
    EXPECT_EQ(Lines(runs.Linux.Err), std::vector<std::string>{});
    EXPECT_EQ(Lines(runs.Windows.Err), k_startup_effect_lines);
    // The frames line: both ran 30 frames and ended at the same camera.
    const auto summary = [](const std::string& out) {
        std::string line = Lines(out).empty() ? "" : Lines(out).front();
        const std::size_t camera = line.find("; camera");
        return camera == std::string::npos ? line : line.substr(camera);
    };
    EXPECT_EQ(summary(runs.Windows.Out), summary(runs.Linux.Out));

    for (const char* log : {"StartupLog.txt", "GraphicLog.txt"})
        EXPECT_EQ(Log_Lines_Without_Times(windows_folder + "/" + log),
                  Log_Lines_Without_Times(linux_folder + "/" + log))
            << log;

    const Png_Image linux_picture = Read_Png(linux_folder + "/shot.png");
    const Png_Image windows_picture = Read_Png(windows_folder + "/shot.png");
    ASSERT_TRUE(linux_picture.Ok());
    ASSERT_TRUE(windows_picture.Ok());
    ASSERT_EQ(windows_picture.Width, linux_picture.Width);
    ASSERT_EQ(windows_picture.Height, linux_picture.Height);
    Expect_Alike(linux_picture, windows_picture, 0, k_overlay_bottom, linux_picture.Width,
                 linux_picture.Height, "the scene below the overlay");
    Expect_Alike(linux_picture, windows_picture, 0, 0, k_numbers_x, k_overlay_bottom,
                 "the overlay's text");
}

TEST_F(Windows_Startup, FinalLoadingScreenEqualsTheLinuxBuilds) {
    Temp_Dir root(false);
    const std::string linux_folder = root.Path() + "/linux",
                      windows_folder = root.Path() + "/windows";
    Copy_Sample_Without_Effect_Lists(linux_folder);
    Copy_Sample_Without_Effect_Lists(windows_folder);
    const Both_Runs runs = Run_Both(linux_folder, windows_folder,
                                    {"--headless", "--frames", "0", "--screenshot", "shot.png"});
    ASSERT_EQ(runs.Linux.Exit_Code, 0) << runs.Linux.Err;
    ASSERT_EQ(runs.Windows.Exit_Code, 0) << runs.Windows.Err;
    const Png_Image linux_picture = Read_Png(linux_folder + "/shot.png");
    const Png_Image windows_picture = Read_Png(windows_folder + "/shot.png");
    ASSERT_TRUE(linux_picture.Ok());
    ASSERT_TRUE(windows_picture.Ok());
    ASSERT_EQ(windows_picture.Width, linux_picture.Width);
    ASSERT_EQ(windows_picture.Height, linux_picture.Height);
    Expect_Alike(linux_picture, windows_picture, 0, 0, linux_picture.Width, linux_picture.Height,
                 "the final loading screen");
}

using Windows_Check = Windows_Build_Test;

// A game folder with problems of several kinds: --check lists the same ones
// on both, Wine's list adding only the effect lines it cannot compile.
TEST_F(Windows_Check, ListsTheSameProblemsAsTheLinuxBuild) {
    Temp_Dir root(false);
    const std::string linux_folder = root.Path() + "/linux",
                      windows_folder = root.Path() + "/windows";
    for (const std::string& folder : {linux_folder, windows_folder}) {
        Copy_Tree(Source_Dir() + "/data", folder);
        std::remove((folder + "/models/pyramid.x").c_str());
        std::remove((folder + "/textures/stripes.tga").c_str());
        std::remove((folder + "/fx/lists/rim_glow.txt").c_str());
    }
    const Both_Runs runs = Run_Both(linux_folder, windows_folder, {"--check"});
    EXPECT_EQ(runs.Linux.Exit_Code, 1) << runs.Linux.Err;
    EXPECT_EQ(runs.Windows.Exit_Code, 1) << runs.Windows.Err;
    std::vector<std::string> linux_lines = Lines(runs.Linux.Out);
    std::vector<std::string> windows_lines = Lines(runs.Windows.Out);
    ASSERT_FALSE(linux_lines.empty());
    ASSERT_FALSE(windows_lines.empty());
    const std::string linux_total = linux_lines.back(), windows_total = windows_lines.back();
    linux_lines.pop_back();
    windows_lines.pop_back();
    EXPECT_FALSE(linux_lines.empty()) << "the Linux build found no problem";

    // Wine's effect lines, in order: the start-up effects', then those of the
    // objects whose lists are still there.
    std::vector<std::string> expected_effects = k_startup_effect_lines;
    for (const std::string& line : k_object_effect_lines)
        if (line != "game.exe: fx\\rim_glow.fx") expected_effects.push_back(line);
    std::vector<std::string> effects, others;
    std::size_t next = 0;
    for (const std::string& line : windows_lines) {
        if (next < expected_effects.size() && line == expected_effects[next]) {
            effects.push_back(line);
            ++next;
        } else {
            others.push_back(line);
        }
    }
    EXPECT_EQ(effects, expected_effects);
    EXPECT_EQ(others, linux_lines);
    EXPECT_EQ(linux_total, "quillmoor: " + std::to_string(linux_lines.size()) + " problems found");
    EXPECT_EQ(windows_total,
              "quillmoor: " + std::to_string(windows_lines.size()) + " problems found");
}

}  // namespace

namespace {

using Windows_Watch = Windows_Build_Test;

std::string File_Text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// --watch on ReadDirectoryChangesW: a texture saved the way editors save
// (written beside, then renamed over the old one) is reloaded while running.
TEST_F(Windows_Watch, ReloadsATextureSavedWhileRunning) {
    Temp_Dir root(false);
    const std::string folder = root.Path() + "/game";
    Copy_Sample_Without_Effect_Lists(folder);
    const char* wine = std::getenv("QM_WINE");
    Process_Options options;
    options.Working_Dir = folder;
    options.Environment = {"WINEDEBUG=-all"};
    Running_Process run(
        {wine ? wine : "wine64", Windows_Build() + "/src/quillmoor.exe", "--headless", "--watch"},
        options);
    ASSERT_TRUE(run.Started());
    // Running once the start-up log says the scene is loaded.
    const std::string loaded = "\xCD\xE0\xF7\xE0\xEB\xFC\xED\xE0\xFF";  // "Начальная" in 1251
    bool running = false;
    for (int i = 0; i < 240 && !running; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const std::string log = File_Text(folder + "/StartupLog.txt");
        running = log.find(loaded + " \xE3\xE5\xEE\xEC\xE5\xF2\xF0\xE8\xFF") != std::string::npos;
        int code = 0;
        ASSERT_FALSE(run.Exited(&code)) << run.Err_So_Far();
    }
    ASSERT_TRUE(running) << run.Err_So_Far();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    {
        std::ofstream(folder + "/textures/crate.png.tmp", std::ios::binary)
            << File_Text(folder + "/textures/marble.png");
    }
    ASSERT_EQ(std::rename((folder + "/textures/crate.png.tmp").c_str(),
                          (folder + "/textures/crate.png").c_str()),
              0);
    const std::string expected = "quillmoor: reloaded textures\\crate.png (";
    bool reloaded = false;
    for (int i = 0; i < 240 && !reloaded; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        reloaded = run.Err_So_Far().find(expected) != std::string::npos;
    }
    run.Kill();
    EXPECT_TRUE(reloaded) << run.Err_So_Far();
}

// Ctrl-C (SIGINT, which Wine hands to the console control handler) ends a
// watched run the way closing its window does: the loop ends and the start-up
// log gets its exit line.
TEST_F(Windows_Watch, CtrlCEndsTheRunAsClosingTheWindowDoes) {
    Temp_Dir root(false);
    const std::string folder = root.Path() + "/game";
    Copy_Sample_Without_Effect_Lists(folder);
    const char* wine = std::getenv("QM_WINE");
    Process_Options options;
    options.Working_Dir = folder;
    options.Environment = {"WINEDEBUG=-all"};
    Running_Process run(
        {wine ? wine : "wine64", Windows_Build() + "/src/quillmoor.exe", "--headless", "--watch"},
        options);
    ASSERT_TRUE(run.Started());
    bool running = false;
    for (int i = 0; i < 240 && !running; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        running = run.Err_So_Far().find("quillmoor: watching") != std::string::npos;
        int code = 0;
        ASSERT_FALSE(run.Exited(&code)) << run.Err_So_Far();
    }
    ASSERT_TRUE(running) << run.Err_So_Far();
    run.Interrupt();
    const Process_Result result = run.Wait(120);
    EXPECT_FALSE(result.Timed_Out);
    EXPECT_EQ(result.Exit_Code, 0) << result.Err;
    const std::vector<std::string> log = Log_Lines_Without_Times(folder + "/StartupLog.txt");
    ASSERT_FALSE(log.empty());
    // "<Время выхода." in Windows-1251.
    EXPECT_NE(log.back().find("<\xC2\xF0\xE5\xEC\xFF \xE2\xFB\xF5\xEE\xE4\xE0."), std::string::npos)
        << log.back();
}

}  // namespace
