// Clocks, font heights at the screen's DPI, string lengths and message boxes.
#include "support/xvfb.h"
#include "win32_test_util.h"
#include "platform/win32_testing.h"

#include <cstdio>
#include <ctime>
#include <string>

namespace {

TEST(Timer, FrozenTimeAndWrappingDifferences) {
    Platform_Set_Time(0xFFFFFFF0u);
    EXPECT_EQ(timeGetTime(), 0xFFFFFFF0u);
    const DWORD before = timeGetTime();
    Platform_Set_Time(0x10u);
    const DWORD after = timeGetTime();
    // Differences taken in 32 bits survive the wrap; the engine's double
    // arithmetic sees the jump.
    EXPECT_EQ(static_cast<DWORD>(after - before), 0x20u);
    EXPECT_LT(static_cast<double>(after) - static_cast<double>(before), -4.0e9);
    Platform_Release_Time();

    const DWORD a = timeGetTime();
    timespec pause{0, 30 * 1000000};
    nanosleep(&pause, nullptr);
    const DWORD b = timeGetTime();
    EXPECT_GE(static_cast<DWORD>(b - a), 30u);
    EXPECT_LT(static_cast<DWORD>(b - a), 2000u);
    // Milliseconds of the monotonic clock, cut to 32 bits.
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const DWORD expected =
        static_cast<DWORD>(static_cast<unsigned long long>(now.tv_sec) * 1000ull +
                           static_cast<unsigned long long>(now.tv_nsec) / 1000000ull);
    EXPECT_LE(static_cast<DWORD>(timeGetTime() - expected), 5u);
}

TEST(System_Time, IsUtcWithMilliseconds) {
    SYSTEMTIME st{};
    const std::time_t before = std::time(nullptr);
    GetSystemTime(&st);
    const std::time_t after = std::time(nullptr);
    std::tm tm{};
    tm.tm_year = st.wYear - 1900;
    tm.tm_mon = st.wMonth - 1;
    tm.tm_mday = st.wDay;
    tm.tm_hour = st.wHour;
    tm.tm_min = st.wMinute;
    tm.tm_sec = st.wSecond;
    const std::time_t back = timegm(&tm);
    EXPECT_GE(back, before);
    EXPECT_LE(back, after);
    EXPECT_EQ(st.wDayOfWeek, tm.tm_wday) << "timegm normalised the same date";
    EXPECT_LT(st.wMilliseconds, 1000);
    GetSystemTime(nullptr);
}

// Font heights are MulDiv(points, LOGPIXELSY, 72): the screen is 96 dots per
// inch, and halves round away from zero whatever the signs.
TEST(Kernel, FontHeightsFromPointsAtTheScreensDpi) {
    HDC dc = GetDC(nullptr);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 96);
    EXPECT_EQ(MulDiv(8, GetDeviceCaps(dc, LOGPIXELSY), 72), 11);  // the overlay font's height
    EXPECT_EQ(ReleaseDC(nullptr, dc), 1);
    EXPECT_EQ(GetDeviceCaps(nullptr, LOGPIXELSY), 0);
    EXPECT_EQ(MulDiv(-8, 96, 72), -11);
    EXPECT_EQ(MulDiv(8, -96, 72), -11);
    EXPECT_EQ(MulDiv(8, 96, -72), -11);
    EXPECT_EQ(MulDiv(-8, -96, -72), -11);
    EXPECT_EQ(MulDiv(3, 1, 2), 2);  // 1.5
    EXPECT_EQ(MulDiv(-3, 1, 2), -2);
    EXPECT_EQ(MulDiv(5, 1, 4), 1);  // 1.25
    EXPECT_EQ(MulDiv(7, 1, 4), 2);  // 1.75
    EXPECT_EQ(MulDiv(12, 96, 72), 16);
    // The product is taken in 64 bits.
    EXPECT_EQ(MulDiv(2000000000, 3, 4), 1500000000);
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
    EXPECT_EQ(MulDiv(2000000000, 2000000000, 1), -1) << "result out of range";
    EXPECT_EQ(MulDiv(-2147483647 - 1, -1, 1), -1);
}

// Names are Windows-1251 bytes: a length counts bytes, and a missing name is
// empty rather than a crash.
TEST(Kernel, StringLengthsCountBytesAndNullIsEmpty) {
    EXPECT_EQ(lstrlenA(nullptr), 0);
    EXPECT_EQ(lstrlenA(""), 0);
    EXPECT_EQ(lstrlenA("\xEC\xE0\xF0\xF2"), 4);
}

struct Box {
    std::string text, caption;
    UINT type;
};
std::vector<Box> g_boxes;

int Recording_Hook(const char* text, const char* caption, UINT type) {
    g_boxes.push_back({text, caption, type});
    return IDCANCEL;
}

class Message_Box : public Headless_Test {};

TEST_F(Message_Box, HookSeesTheOriginalBytesAndDecidesTheAnswer) {
    g_boxes.clear();
    Platform_Set_Message_Box_Hook(Recording_Hook);
    EXPECT_EQ(MessageBoxA(nullptr, "\xCD\xE5\xF2 blank.x", "game.exe", MB_OK), IDCANCEL);
    EXPECT_EQ(MessageBoxA(nullptr, nullptr, "ERROR", MB_ICONWARNING), IDCANCEL);
    ASSERT_EQ(g_boxes.size(), 2u);
    EXPECT_EQ(g_boxes[0].text, "\xCD\xE5\xF2 blank.x");
    EXPECT_EQ(g_boxes[0].caption, "game.exe");
    EXPECT_EQ(g_boxes[1].text, "");
    EXPECT_EQ(g_boxes[1].type, static_cast<UINT>(MB_ICONWARNING));
}

TEST_F(Message_Box, HeadlessBoxIsOneUtf8LineOnStderrAnsweredOk) {
    testing::internal::CaptureStderr();
    const int answer = MessageBoxA(nullptr, "\xCD\xE5\xF2 \xF4\xE0\xE9\xEB\xE0 textures\\a.bmp",
                                   "game.exe", MB_OK);
    const int second = MessageBoxA(nullptr, "two\r\nlines", nullptr, MB_OKCANCEL | MB_ICONWARNING);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(answer, IDOK);
    EXPECT_EQ(second, IDOK);
    EXPECT_EQ(err,
              "game.exe: \xD0\x9D\xD0\xB5\xD1\x82 \xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB\xD0\xB0 "
              "textures\\a.bmp\n"
              "Error: two  lines\n");
}

TEST(Platform, NoDisplayFallsBackToHeadlessWithOneNote) {
    const char* old = std::getenv("DISPLAY");
    const std::string saved = old != nullptr ? old : "";
    const char* old_wayland = std::getenv("WAYLAND_DISPLAY");
    const std::string saved_wayland = old_wayland != nullptr ? old_wayland : "";
    setenv("DISPLAY", ":9999", 1);  // nobody there
    unsetenv("WAYLAND_DISPLAY");
    testing::internal::CaptureStderr();
    const bool first = Platform_Init(false);
    Platform_Shutdown();
    const bool second = Platform_Init(false);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(first);
    EXPECT_TRUE(second);
    EXPECT_TRUE(Platform_Is_Headless());
    // Said once per process, whatever the libraries tried said before it.
    const std::string note = "quillmoor: no display available, running headless\n";
    ASSERT_NE(err.find(note), std::string::npos) << err;
    EXPECT_EQ(err.find(note, err.find(note) + 1), std::string::npos) << err;
    // Posted messages still flow headless.
    PostMessageA(nullptr, WM_USER, 1, 2);
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    Platform_Shutdown();
    if (old != nullptr)
        setenv("DISPLAY", saved.c_str(), 1);
    else
        unsetenv("DISPLAY");
    if (old_wayland != nullptr) setenv("WAYLAND_DISPLAY", saved_wayland.c_str(), 1);
}

}  // namespace

namespace {

// With a display, the box is a real modal window. A shell loop started before
// it finds the box on the X server, prints its title and presses Return on it
// until it is gone. The loop is a process of its own: SDL shows the box from a
// forked child, and a fork taken while another thread of ours sat in a lock
// could hang it. Every X tool is bounded, and a box still up after two minutes
// is killed, so a lost key fails the test instead of hanging it.
TEST(Message_Box_On_Display, ShowsAModalBoxTitledInUtf8AndReturnsTheButton) {
    Xvfb_Session xvfb;
    ASSERT_TRUE(xvfb.Ok()) << xvfb.Error();
    Scoped_Display display(xvfb.Display());
    ASSERT_FALSE(Platform_Init(false));
    // The box is the only top-level window with a name.
    const std::string loop =
        "seen=; i=0; "
        "while [ $i -lt 1200 ]; do i=$((i+1)); "
        "w=$(timeout 5 xwininfo -root -children | awk '/^ +0x[0-9a-f]+ \"/{print $1; exit}'); "
        "if [ -n \"$w\" ]; then "
        "if [ -z \"$seen\" ]; then seen=$w; timeout 5 xprop -id $w _NET_WM_NAME; fi; "
        "timeout 5 xdotool windowfocus $w key Return; "
        "elif [ -n \"$seen\" ]; then exit 0; fi; "
        "sleep 0.1; done; "
        "echo 'still up'; [ -n \"$seen\" ] && timeout 5 xkill -id $seen";
    FILE* answer = popen(("( " + loop + " ) 2>/dev/null").c_str(), "r");
    ASSERT_NE(answer, nullptr);
    testing::internal::CaptureStderr();
    // Caption "Ошибка" in Windows-1251.
    const int result =
        MessageBoxA(nullptr, "blank.x", "\xCE\xF8\xE8\xE1\xEA\xE0", MB_OK | MB_ICONWARNING);
    const std::string err = testing::internal::GetCapturedStderr();
    std::string said;
    char buf[256];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, answer)) > 0) said.append(buf, n);
    pclose(answer);
    EXPECT_EQ(result, IDOK);
    EXPECT_NE(said.find("\"\xD0\x9E\xD1\x88\xD0\xB8\xD0\xB1\xD0\xBA\xD0\xB0\""), std::string::npos)
        << said;
    EXPECT_EQ(said.find("still up"), std::string::npos) << said;
    EXPECT_EQ(err.find("blank.x"), std::string::npos) << "shown, not printed: " << err;
    Platform_Shutdown();
}

}  // namespace
