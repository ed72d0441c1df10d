// Windows: outer size and frame, client area, headless and on a real X server.
#include "platform/win32/window_seam.h"
#include "support/xvfb.h"
#include "win32_test_util.h"
#include "platform/win32_testing.h"

#include <SDL.h>

namespace {

struct Size_Case {
    int outer_width, outer_height, client_width, client_height;
};
const Size_Case k_sizes[] = {{1024, 768, 1008, 729}, {800, 600, 784, 561}, {640, 480, 624, 441}};

LRESULT CALLBACK Plain_Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    return DefWindowProcA(h, m, w, l);
}

class Headless_Window : public Headless_Test {
protected:
    void SetUp() override {
        Headless_Test::SetUp();
        ASSERT_NE(RegisterClassExA(&wc_), 0);
    }
    void TearDown() override {
        Platform_Shutdown();
        UnregisterClassA("SizeTest", nullptr);
        Headless_Test::TearDown();
    }
    WNDCLASSEXA wc_ = Class_Record("SizeTest", Plain_Proc);
};

TEST_F(Headless_Window, ClientAreaIsTheOuterSizeLessTheFrame) {
    for (const Size_Case& c : k_sizes) {
        HWND hwnd =
            CreateWindowExA(0, "SizeTest", "t", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                            c.outer_width, c.outer_height, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(hwnd, nullptr);
        EXPECT_EQ(Win32_Sdl_Window(hwnd), nullptr) << "no SDL window without a display";
        RECT rc{-1, -1, -1, -1};
        ASSERT_TRUE(GetClientRect(hwnd, &rc));
        EXPECT_EQ(rc.left, 0);
        EXPECT_EQ(rc.top, 0);
        EXPECT_EQ(rc.right, c.client_width);
        EXPECT_EQ(rc.bottom, c.client_height);
        // The frame AdjustWindowRect adds is the one the window took off.
        ASSERT_TRUE(AdjustWindowRect(&rc, WS_OVERLAPPEDWINDOW, FALSE));
        EXPECT_EQ(rc.right - rc.left, c.outer_width);
        EXPECT_EQ(rc.bottom - rc.top, c.outer_height);
        int w = 0, h = 0;
        ASSERT_TRUE(Win32_Client_Size(hwnd, &w, &h));
        EXPECT_EQ(w, c.client_width);
        EXPECT_EQ(h, c.client_height);
        EXPECT_TRUE(ShowWindow(hwnd, SW_SHOWDEFAULT)) << "was visible";
        EXPECT_TRUE(UpdateWindow(hwnd));
        EXPECT_TRUE(DestroyWindow(hwnd));
        EXPECT_FALSE(Win32_Client_Size(hwnd, &w, &h));
    }
    EXPECT_FALSE(Win32_Client_Size(nullptr, nullptr, nullptr));
    EXPECT_EQ(Win32_Sdl_Window(nullptr), nullptr);
}

TEST_F(Headless_Window, TinyAndHugeSizesGiveAnEmptyOrLargeClientAreaWithoutFailing) {
    HWND tiny =
        CreateWindowExA(0, "SizeTest", "", 0, 0, 0, 10, -5, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(tiny, nullptr);
    RECT rc{};
    ASSERT_TRUE(GetClientRect(tiny, &rc));
    EXPECT_EQ(rc.right, 0);
    EXPECT_EQ(rc.bottom, 0);
    HWND huge = CreateWindowExA(0, "SizeTest", "", 0, 0, 0, 100000, 70000, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(huge, nullptr);
    ASSERT_TRUE(GetClientRect(huge, &rc));
    EXPECT_EQ(rc.right, 100000 - 16);
    EXPECT_EQ(rc.bottom, 70000 - 39);
    EXPECT_FALSE(GetClientRect(huge, nullptr));
}

TEST_F(Headless_Window, CursorIsSyntheticAndClientOriginSitsInsideTheFrame) {
    HWND hwnd = CreateWindowExA(0, "SizeTest", "", WS_VISIBLE, 100, 50, 640, 480, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    Platform_Set_Cursor_Pos(300, 200);
    POINT p{};
    ASSERT_TRUE(GetCursorPos(&p));
    EXPECT_EQ(p.x, 300);
    EXPECT_EQ(p.y, 200);
    ASSERT_TRUE(ScreenToClient(hwnd, &p));
    EXPECT_EQ(p.x, 300 - 108);
    EXPECT_EQ(p.y, 200 - 81);
    EXPECT_FALSE(ScreenToClient(nullptr, &p));
    EXPECT_FALSE(GetCursorPos(nullptr));
}

// The same with SDL windows on a private X server.
class Real_Window : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(xvfb_.Ok()) << xvfb_.Error();
        display_ = std::make_unique<Scoped_Display>(xvfb_.Display());
        ASSERT_FALSE(Platform_Init(false)) << "the X server should give a display";
        ASSERT_FALSE(Platform_Is_Headless());
        ASSERT_NE(RegisterClassExA(&wc_), 0);
    }
    void TearDown() override {
        Platform_Shutdown();
        UnregisterClassA("RealTest", nullptr);
        display_.reset();
    }
    Xvfb_Session xvfb_;
    std::unique_ptr<Scoped_Display> display_;
    WNDCLASSEXA wc_ = Class_Record("RealTest", Plain_Proc);
};

TEST_F(Real_Window, SdlWindowHasTheClientSizeAndSitsInsideTheFrame) {
    for (const Size_Case& c : k_sizes) {
        HWND hwnd =
            CreateWindowExA(0, "RealTest", "t", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 10,
                            c.outer_width, c.outer_height, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(hwnd, nullptr) << SDL_GetError();
        SDL_Window* sdl = Win32_Sdl_Window(hwnd);
        ASSERT_NE(sdl, nullptr);
        EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_OPENGL);
        EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_SHOWN);
        int w = 0, h = 0;
        SDL_GetWindowSize(sdl, &w, &h);
        EXPECT_EQ(w, c.client_width);
        EXPECT_EQ(h, c.client_height);
        RECT rc{};
        ASSERT_TRUE(GetClientRect(hwnd, &rc));
        EXPECT_EQ(rc.right, c.client_width);
        EXPECT_EQ(rc.bottom, c.client_height);
        // Without a window manager the client area lands where asked.
        int x = 0, y = 0;
        SDL_GetWindowPosition(sdl, &x, &y);
        EXPECT_EQ(x, 28);
        EXPECT_EQ(y, 41);
        EXPECT_TRUE(DestroyWindow(hwnd));
        EXPECT_EQ(Win32_Sdl_Window(hwnd), nullptr);
    }
}

TEST_F(Real_Window, TitleIsConvertedAndVisibilityFollowsTheStyle) {
    // "| Quillmoor | март 2008 |" in Windows-1251.
    const char* title = "| Quillmoor | \xEC\xE0\xF0\xF2 2008 |";
    HWND hidden = CreateWindowExA(0, "RealTest", title, WS_OVERLAPPEDWINDOW, 0, 0, 320, 240,
                                  nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hidden, nullptr);
    SDL_Window* sdl = Win32_Sdl_Window(hidden);
    ASSERT_NE(sdl, nullptr);
    EXPECT_STREQ(SDL_GetWindowTitle(sdl), "| Quillmoor | \xD0\xBC\xD0\xB0\xD1\x80\xD1\x82 2008 |");
    EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_HIDDEN);
    EXPECT_FALSE(ShowWindow(hidden, SW_SHOWDEFAULT)) << "was hidden";
    EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_SHOWN);
    EXPECT_TRUE(ShowWindow(hidden, SW_HIDE));
    EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_HIDDEN);
}

TEST_F(Real_Window, CloseRequestFromTheWindowSystemBecomesWmClose) {
    HWND hwnd = CreateWindowExA(0, "RealTest", "t", WS_VISIBLE, 0, 0, 320, 240, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    SDL_Event close{};
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    close.window.windowID = SDL_GetWindowID(Win32_Sdl_Window(hwnd));
    ASSERT_EQ(SDL_PushEvent(&close), 1);
    std::vector<MSG> seen;
    ASSERT_TRUE(Wait_For_Message([&](const MSG& m) { return m.message == WM_CLOSE; }, &seen));
    EXPECT_EQ(seen.back().hwnd, hwnd);
    // Default processing destroys it.
    DispatchMessageA(&seen.back());
    EXPECT_FALSE(IsWindow(hwnd));
    MSG msg{};
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_CLOSE, WM_CLOSE, PM_REMOVE))
        << "one close request, one WM_CLOSE";
}

}  // namespace
