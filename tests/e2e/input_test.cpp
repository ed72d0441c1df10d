// Mouse look and keyboard movement through a real window, driven by xdotool.
#include <chrono>
#include <cmath>
#include <thread>

#include "e2e_support.h"

namespace {

const float Start_Pos[3] = {0.0f, 70.0f, -190.0f};  // the sample level's camera keys

void Pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

struct Camera_Run {
    Process_Result result;
    float pos[3] = {0, 0, 0};
    float look[3] = {0, 0, 0};
    Png_Image shot;
    bool parsed = false;
};

// Runs the sample level windowed, lets `drive` act on the window, then ends
// the run with Escape and reads back the final camera and the last frame.
template <typename Drive>
Camera_Run Drive_Sample(Drive drive) {
    Camera_Run out;
    Game_Folder folder(true);
    std::string shot = folder.Path() + "/last.png";
    Windowed_Run run(folder, {"--frames", "100000000", "--screenshot", shot});
    EXPECT_TRUE(run.Ok()) << run.Why();
    if (!run.Ok()) return out;
    // Input sent while the scene still loads would reach the program all at
    // once when the loop starts; wait for the log line that ends loading.
    bool loaded = false;
    for (int attempt = 0; attempt < 1200 && !loaded; ++attempt) {
        loaded =
            folder.Read("StartupLog.txt").find("Начальная геометрия была успешно загружена.") !=
            std::string::npos;
        if (!loaded) Pause(100);
    }
    EXPECT_TRUE(loaded);
    // Pointer into the window first: without a window manager the keyboard
    // follows the pointer. The program follows the pointer from frame to
    // frame, so it has to draw frames with the pointer there before any
    // button goes down.
    run.Xdotool({"mousemove", "--window", run.Window(), "500", "400"});
    EXPECT_TRUE(Wait_For_Frames(run, 2));
    drive(run);
    EXPECT_TRUE(Wait_For_Frames(run, 2));
    run.Xdotool({"key", "Escape"});
    out.result = run.Wait();
    EXPECT_EQ(out.result.Exit_Code, 0) << out.result.Err;
    out.parsed = Parse_Camera(out.result.Out, out.pos, out.look);
    EXPECT_TRUE(out.parsed) << out.result.Out;
    out.shot = Read_Png(shot);
    return out;
}

// Pixels of the overlay's position values (x 130.., rows at y 10, 20, 30).
int Differing_Position_Pixels(const Png_Image& a, const Png_Image& b) {
    int differing = 0;
    if (!a.Ok() || !b.Ok()) return -1;
    for (int y = 10; y < 42; ++y)
        for (int x = 130; x < 230; ++x) differing += a.Pixel(x, y) != b.Pixel(x, y);
    return differing;
}

TEST(Input, PointerMotionWithTheButtonUpChangesNothing) {
    Camera_Run still = Drive_Sample([](Windowed_Run& run) {
        run.Xdotool({"mousemove_relative", "--", "80", "40"});
        EXPECT_TRUE(Wait_For_Frames(run, 2));
        run.Xdotool({"mousemove_relative", "--", "-150", "10"});
    });
    ASSERT_TRUE(still.parsed);
    for (int i = 0; i < 3; ++i) EXPECT_FLOAT_EQ(still.pos[i], Start_Pos[i]);
    EXPECT_NEAR(still.look[0], 0.0f, 1e-6);
    EXPECT_NEAR(still.look[1], -0.3f / std::sqrt(1.09f), 1e-5);
    EXPECT_NEAR(still.look[2], 1.0f / std::sqrt(1.09f), 1e-5);
}

TEST(Input, HoldingUpArrowWalksForwardAtConstantHeight) {
    Camera_Run still = Drive_Sample([](Windowed_Run&) {});
    Camera_Run moved = Drive_Sample([](Windowed_Run& run) {
        // Held for at least 800 ms and for frames drawn while it is down.
        run.Xdotool({"keydown", "Up"});
        EXPECT_TRUE(Wait_For_Frames(run, 2));
        Pause(800);
        EXPECT_TRUE(Wait_For_Frames(run, 2));
        run.Xdotool({"keyup", "Up"});
    });
    ASSERT_TRUE(moved.parsed);
    EXPECT_GT(moved.pos[2], Start_Pos[2] + 20.0f);  // 222 units per second, roughly
    EXPECT_FLOAT_EQ(moved.pos[1], Start_Pos[1]);
    EXPECT_NEAR(moved.pos[0], 0.0f, 1e-3);
    // The overlay shows the new position: its value pixels differ from a still run.
    EXPECT_GT(Differing_Position_Pixels(still.shot, moved.shot), 20);
}

TEST(Input, DraggingTurnsTheViewWithoutMoving) {
    Camera_Run turned = Drive_Sample([](Windowed_Run& run) {
        // The view turns on the frames between the press and the release, so
        // each step waits for frames drawn after it, however slow they come.
        run.Xdotool({"mousedown", "1"});
        EXPECT_TRUE(Wait_For_Frames(run, 2));
        for (int step = 0; step < 6; ++step) {
            run.Xdotool({"mousemove_relative", "--", "15", "0"});
            EXPECT_TRUE(Wait_For_Frames(run, 2));
        }
        run.Xdotool({"mouseup", "1"});
    });
    ASSERT_TRUE(turned.parsed);
    for (int i = 0; i < 3; ++i) EXPECT_FLOAT_EQ(turned.pos[i], Start_Pos[i]);
    // 90 pixels to the right turn the view 30 degrees to the right (+x).
    float heading = std::atan2(turned.look[0], turned.look[2]) * 180.0f / 3.14159265f;
    EXPECT_NEAR(heading, 30.0f, 1.5f);
    EXPECT_NEAR(turned.look[1], -0.3f / std::sqrt(1.09f), 1e-3);  // yaw keeps the pitch
}

}  // namespace
