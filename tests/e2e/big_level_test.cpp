// A level of 100,000 plain objects: read, built and drawn, the program
// reaches its main loop and quits through the normal path.
#include <chrono>
#include <string>

#include "e2e_support.h"

namespace {

TEST(BigLevel, HundredThousandObjectsReachTheMainLoop) {
    Game_Folder folder(true);
    const int count = 100000;
    std::string level =
        "[CameraPosY]=300\r\n[CameraPosZ]=-100\r\n[CameraLookY]=-1\r\n[CameraLookZ]=1\r\n";
    level.reserve(static_cast<std::size_t>(count) * 60);
    for (int i = 0; i < count; ++i) {
        level.append("[object]\r\n[name]=blank.x\r\n[x]=").append(std::to_string((i % 300) * 4));
        level.append("\r\n[z]=").append(std::to_string((i / 300) * 4)).append("\r\n[/object]\r\n");
    }
    folder.Write("levels/map_new.txt", level);

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

}  // namespace
