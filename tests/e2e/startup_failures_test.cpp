// Start-up when the device, the font or the start-up effects cannot be made:
// the real binary with its GL vendor or its fonts taken away.
#include <filesystem>

#include "e2e_support.h"

namespace {

bool Has_Line(const std::vector<std::string>& lines, const std::string& text) {
    for (const std::string& line : lines)
        if (line.size() >= text.size() &&
            line.compare(line.size() - text.size(), text.size(), text) == 0)
            return true;
    return false;
}

TEST(Startup_Failures, NoGlDriverLogsTheFailedDeviceAndQuits) {
    Game_Folder folder(true);
    // glvnd finds no EGL vendor: there is no device to create.
    Process_Result r = Run_Headless(folder, {"--frames", "5"}, 60,
                                    {"__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent/vendor.json"});
    ASSERT_FALSE(r.Timed_Out);
    EXPECT_GE(r.Exit_Code, 0) << "killed by a signal: " << r.Err;
    EXPECT_TRUE(Has_Line(folder.Log_Lines("GraphicLog.txt"), "CreateDevice FAILED."))
        << folder.Read("GraphicLog.txt");
    const std::vector<std::string> startup = folder.Log_Lines("StartupLog.txt");
    EXPECT_FALSE(Has_Line(startup, "Инициализация Direct3D прошла успешно."));
    EXPECT_TRUE(Has_Line(startup, "<Время выхода.")) << folder.Read("StartupLog.txt");
    EXPECT_EQ(r.Out.find("frames in"), std::string::npos) << "no frame loop without a device";
}

TEST(Startup_Failures, NoFontsReportTheFontAndRunWithoutTheOverlay) {
    Game_Folder folder(true);
    folder.Write("fonts.conf", "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n");
    const std::string shot = folder.Path() + "/shot.png";
    Process_Result r = Run_Headless(folder, {"--frames", "3", "--screenshot", shot}, 120,
                                    {"FONTCONFIG_FILE=" + folder.Path() + "/fonts.conf"});
    ASSERT_EQ(r.Exit_Code, 0) << r.Err;
    EXPECT_NE(r.Err.find("ERROR: Call to D3DXCreateFont failed!"), std::string::npos) << r.Err;
    EXPECT_TRUE(Has_Line(folder.Log_Lines("GraphicLog.txt"), "Call to D3DXCreateFont FAILED!"));
    EXPECT_NE(r.Out.find("quillmoor: 3 frames in"), std::string::npos) << r.Out;
    EXPECT_TRUE(folder.Exists("shot.png"));
}

TEST(Startup_Failures, EachMissingStartupEffectIsNamedInItsOwnBox) {
    Game_Folder folder(true);
    for (const char* name :
         {"fx/shadow/Phong.fx", "fx/shadow/Shadow_Phong.fx", "fx/shadow/postPRocess.fx"})
        std::filesystem::remove(folder.Path() + "/" + name);
    Process_Result r = Run_Headless(folder, {"--frames", "3"});
    ASSERT_EQ(r.Exit_Code, 0) << r.Err;
    const std::size_t phong = r.Err.find("game.exe: fx\\shadow\\Phong.fx\n");
    const std::size_t shadow = r.Err.find("game.exe: fx\\shadow\\Shadow_Phong.fx\n");
    const std::size_t post = r.Err.find("game.exe: fx\\shadow\\postPRocess.fx\n");
    ASSERT_NE(phong, std::string::npos) << r.Err;
    ASSERT_NE(shadow, std::string::npos) << r.Err;
    ASSERT_NE(post, std::string::npos) << r.Err;
    EXPECT_LT(phong, shadow);
    EXPECT_LT(shadow, post);
    EXPECT_NE(r.Out.find("quillmoor: 3 frames in"), std::string::npos) << r.Out;
}

}  // namespace
