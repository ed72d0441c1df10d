// The real binary: start-up, logs, settings, window, exit paths, screenshots.
#include <filesystem>

#include "e2e_support.h"

namespace {

const std::string Exit_Line = "<Время выхода.";

// The message part of a stamped log line (" |h:m:s:ms| text").
std::string Message(const std::string& line) {
    std::size_t bar = line.find("| ", 2);
    return bar == std::string::npos ? line : line.substr(bar + 2);
}

TEST(Startup, HeadlessFramesWithoutIniRunsAndLogsEveryPhase) {
    Game_Folder folder(false);
    Process_Result r = Run_Headless(folder, {"--frames", "100"});
    ASSERT_EQ(r.Exit_Code, 0) << r.Err;
    EXPECT_NE(r.Out.find("quillmoor: 100 frames in"), std::string::npos) << r.Out;

    std::vector<std::string> lines = folder.Log_Lines("StartupLog.txt");
    ASSERT_EQ(lines.size(), 8u) << folder.Read("StartupLog.txt");
    EXPECT_EQ(lines[0].substr(0, 11), "[Quillmoor]");
    EXPECT_EQ(Message(lines[3]), "Начальные параметры были успешно загружены.");
    EXPECT_EQ(Message(lines[4]), "Начальные параметры были успешно установлены.");
    EXPECT_EQ(Message(lines[5]), "Инициализация Direct3D прошла успешно.");
    EXPECT_EQ(Message(lines[6]), "Начальная геометрия была успешно загружена.");
    EXPECT_EQ(Message(lines[7]), Exit_Line);

    // The missing level is logged in the graphics log; the run goes on empty.
    std::vector<std::string> graphic = folder.Log_Lines("GraphicLog.txt");
    ASSERT_EQ(graphic.size(), 4u);
    EXPECT_EQ(Message(graphic[3]), "CGMFLoad_Polygon FAILED");
}

TEST(Startup, LoadingScreenScreenshotHasTheClientSize) {
    Game_Folder folder(false);
    std::string shot = folder.Path() + "/out.png";
    Process_Result r = Run_Headless(folder, {"--frames", "0", "--screenshot", shot});
    ASSERT_EQ(r.Exit_Code, 0) << r.Err;
    Png_Image image = Read_Png(shot);
    ASSERT_TRUE(image.Ok());
    EXPECT_EQ(image.Width, 1008);
    EXPECT_EQ(image.Height, 729);
    // The bar's frame: blue from 0x33 at the left edge to 0x22 at the right.
    EXPECT_EQ(image.Pixel(6, 8) & 0xFFFFFF, 0x000033u);
    EXPECT_EQ(image.Pixel(303, 8) & 0xFFFFFF, 0x000022u);
    EXPECT_EQ(image.Pixel(306, 8) & 0xFFFFFF, 0u);
    // "готово" at (310, 25) in grey 0x666666: some pixel of that colour there.
    int ink = 0;
    for (int y = 25; y < 40; ++y)
        for (int x = 310; x < 360; ++x) ink += (image.Pixel(x, y) & 0xFFFFFF) == 0x666666;
    EXPECT_GT(ink, 10);
    EXPECT_EQ(image.Pixel(600, 400), 0xFF000000u);  // cleared opaque black
}

TEST(Startup, IniChoosesTheWindowSize) {
    struct Case {
        const char* ini;
        int width, height;
    } cases[] = {{"[rezolution]=800x600\r\n", 784, 561},
                 {"[rezolution]=640x480\r\n", 624, 441},
                 {"[rezolution]=1024x768\r\n", 1008, 729}};
    for (const Case& c : cases) {
        Game_Folder folder(false);
        folder.Write("ini.txt", c.ini);
        std::string shot = folder.Path() + "/out.png";
        Process_Result r = Run_Headless(folder, {"--frames", "0", "--screenshot", shot});
        ASSERT_EQ(r.Exit_Code, 0) << r.Err;
        Png_Image image = Read_Png(shot);
        EXPECT_EQ(image.Width, c.width) << c.ini;
        EXPECT_EQ(image.Height, c.height) << c.ini;
    }
}

TEST(Startup, CommandLineOptions) {
    Game_Folder folder(false);
    Process_Result help = Run_Headless(folder, {"--help"});
    EXPECT_EQ(help.Exit_Code, 0);
    EXPECT_NE(help.Out.find("--screenshot"), std::string::npos);
    EXPECT_NE(help.Out.find("--watch"), std::string::npos);
    Process_Result version = Run_Headless(folder, {"--version"});
    EXPECT_EQ(version.Exit_Code, 0);
    EXPECT_NE(version.Out.find("0.1.3"), std::string::npos);
    for (std::vector<std::string> bad : {std::vector<std::string>{"--bogus"},
                                         {"--frames"},
                                         {"--frames", "-3"},
                                         {"--frames", "x"},
                                         {"--walk", "x"},
                                         {"--walk", "nan"},
                                         {"--walk", "-inf"},
                                         {"--walk", "1e9"},
                                         {"--dir", "/no/such/folder"}}) {
        Process_Result r = Run_Headless(folder, bad);
        EXPECT_EQ(r.Exit_Code, 2) << bad[0];
        EXPECT_FALSE(r.Err.empty());
        EXPECT_FALSE(folder.Exists("StartupLog.txt"));
    }
}

// The step is along the unit view whatever the frame time, and the camera
// keys' look need not be unit length.
TEST(Startup, WalkMovesTheCameraAFixedStepAlongItsViewEachFrame) {
    Game_Folder folder(false);
    folder.Write("levels/map_new.txt",
                 "[CameraPosX]=1\r\n[CameraPosY]=2\r\n[CameraPosZ]=3\r\n"
                 "[CameraLookX]=0\r\n[CameraLookY]=-3\r\n[CameraLookZ]=4\r\n");
    Process_Result r = Run_Headless(folder, {"--frames", "20", "--walk", "0.5"});
    ASSERT_EQ(r.Exit_Code, 0) << r.Err;
    float pos[3], look[3];
    ASSERT_TRUE(Parse_Camera(r.Out, pos, look)) << r.Out;
    const float expected[3] = {1.0f, 2.0f - 20 * 0.5f * 0.6f, 3.0f + 20 * 0.5f * 0.8f};
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(pos[i], expected[i], 1e-4) << i;
}

TEST(Startup, DirOptionRunsInThatFolder) {
    Game_Folder folder(false);
    Process_Options options;
    options.Unset = {"DISPLAY"};
    Process_Result r = Run_Process(
        {Quillmoor_Binary(), "--dir", folder.Path(), "--headless", "--frames", "2"}, options);
    EXPECT_EQ(r.Exit_Code, 0) << r.Err;
    EXPECT_TRUE(folder.Exists("StartupLog.txt"));
}

TEST(Startup, NoDisplayFallsBackToHeadlessWithANote) {
    Game_Folder folder(false);
    Process_Options options;
    options.Working_Dir = folder.Path();
    options.Unset = {"DISPLAY", "WAYLAND_DISPLAY"};
    Process_Result r = Run_Process({Quillmoor_Binary(), "--frames", "3"}, options);
    EXPECT_EQ(r.Exit_Code, 0) << r.Err;
    EXPECT_NE(r.Err.find("headless"), std::string::npos) << r.Err;
}

class Windowed : public ::testing::Test {};

TEST_F(Windowed, TitleAndClientSizeFollowTheSettings) {
    struct Case {
        const char* ini;
        const char* size;
    } cases[] = {{nullptr, "1008x729"},
                 {"[rezolution]=800x600\r\n", "784x561"},
                 {"[rezolution]=640x480\r\n", "624x441"}};
    for (const Case& c : cases) {
        Game_Folder folder(true);
        folder.Write("ini.txt", c.ini ? c.ini : "");
        if (!c.ini) std::filesystem::remove(folder.Path() + "/ini.txt");
        Windowed_Run run(folder, {});
        ASSERT_TRUE(run.Ok()) << run.Why();
        std::string name;
        ASSERT_TRUE(run.Xdotool({"getwindowname", run.Window()}, &name));
        EXPECT_EQ(name, Utf8(u8"| Quillmoor | build : 0.1.3 | март 2008 |\n"));
        Process_Result info = run.X_Client({"/usr/bin/xwininfo", "-id", run.Window()});
        std::string width = std::string(c.size).substr(0, std::string(c.size).find('x'));
        std::string height = std::string(c.size).substr(std::string(c.size).find('x') + 1);
        EXPECT_NE(info.Out.find("Width: " + width + "\n"), std::string::npos) << info.Out;
        EXPECT_NE(info.Out.find("Height: " + height + "\n"), std::string::npos) << info.Out;
        run.Xdotool({"mousemove", "--window", run.Window(), "50", "50"});
        run.Xdotool({"key", "Escape"});
        Process_Result end = run.Wait();
        EXPECT_EQ(end.Exit_Code, 0) << end.Err;
    }
}

TEST_F(Windowed, EscapeEndsTheProgramWithTheExitLine) {
    Game_Folder folder(true);
    Windowed_Run run(folder, {});
    ASSERT_TRUE(run.Ok()) << run.Why();
    run.Xdotool({"mousemove", "--window", run.Window(), "100", "100"});
    // Repeated Escape posts the quit again with no further effect.
    run.Xdotool({"key", "Escape", "Escape"});
    Process_Result end = run.Wait();
    EXPECT_EQ(end.Exit_Code, 0) << end.Err;
    std::vector<std::string> lines = folder.Log_Lines("StartupLog.txt");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(Message(lines.back()), Exit_Line);
}

TEST_F(Windowed, CloseRequestRunsTeardownAndEnds) {
    Game_Folder folder(true);
    std::string shot = folder.Path() + "/closed.png";
    Windowed_Run run(folder, {"--screenshot", shot});
    ASSERT_TRUE(run.Ok()) << run.Why();
    ASSERT_TRUE(Send_Close_Request(run.Display(), run.Window()));
    Process_Result end = run.Wait();
    EXPECT_EQ(end.Exit_Code, 0) << end.Err;
    std::vector<std::string> lines = folder.Log_Lines("StartupLog.txt");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(Message(lines.back()), Exit_Line);
    // The teardown kept the last frame before the device went.
    EXPECT_TRUE(Read_Png(shot).Ok());
}

TEST_F(Windowed, LoadingScreenScreenshotWindowed) {
    Game_Folder folder(true);
    std::filesystem::remove(folder.Path() + "/ini.txt");
    std::filesystem::remove_all(folder.Path() + "/levels");
    Xvfb_Session xvfb;
    ASSERT_TRUE(xvfb.Ok()) << xvfb.Error();
    std::string shot = folder.Path() + "/out.png";
    Process_Options options;
    options.Working_Dir = folder.Path();
    options.Environment = {std::string("DISPLAY=") + xvfb.Display()};
    Process_Result r =
        Run_Process({Quillmoor_Binary(), "--frames", "0", "--screenshot", shot}, options);
    EXPECT_EQ(r.Exit_Code, 0) << r.Err;
    EXPECT_EQ(r.Err.find("headless"), std::string::npos) << "ran headless: " << r.Err;
    Png_Image image = Read_Png(shot);
    ASSERT_TRUE(image.Ok());
    EXPECT_EQ(image.Width, 1008);
    EXPECT_EQ(image.Height, 729);
    EXPECT_EQ(image.Pixel(6, 8) & 0xFFFFFF, 0x000033u);
}

}  // namespace
