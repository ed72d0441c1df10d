// Keyboard and mouse: SDL keys to virtual-key codes, key messages and the
// polled keyboard state, the cursor in screen and client coordinates.
#include "platform/win32/win32_internal.h"
#include "platform/win32/window_seam.h"
#include "support/xvfb.h"
#include "win32_test_util.h"
#include "platform/win32_testing.h"

#include <array>
#include <cstdlib>
#include <string>

namespace {

TEST(Virtual_Keys, KeysTheEngineReadsMapToTheirWindowsCodes) {
    struct Case {
        SDL_Keycode key;
        SDL_Scancode scancode;
        int vk;
    };
    const Case cases[] = {
        {SDLK_w, SDL_SCANCODE_W, 'W'},
        {SDLK_a, SDL_SCANCODE_A, 'A'},
        {SDLK_s, SDL_SCANCODE_S, 'S'},
        {SDLK_d, SDL_SCANCODE_D, 'D'},
        {SDLK_z, SDL_SCANCODE_Z, 'Z'},
        {SDLK_0, SDL_SCANCODE_0, '0'},
        {SDLK_9, SDL_SCANCODE_9, '9'},
        {SDLK_1, SDL_SCANCODE_1, '1'},
        {SDLK_LEFT, SDL_SCANCODE_LEFT, 0x25},
        {SDLK_UP, SDL_SCANCODE_UP, 0x26},
        {SDLK_RIGHT, SDL_SCANCODE_RIGHT, 0x27},
        {SDLK_DOWN, SDL_SCANCODE_DOWN, 0x28},
        {SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, 0x1B},
        {SDLK_RETURN, SDL_SCANCODE_RETURN, 0x0D},
        {SDLK_SPACE, SDL_SCANCODE_SPACE, 0x20},
        {SDLK_F1, SDL_SCANCODE_F1, 0x70},
        {SDLK_F12, SDL_SCANCODE_F12, 0x7B},
        {SDLK_F5, SDL_SCANCODE_F5, 0x74},
        {SDLK_KP_0, SDL_SCANCODE_KP_0, 0x60},
        {SDLK_KP_9, SDL_SCANCODE_KP_9, 0x69},
        {SDLK_KP_5, SDL_SCANCODE_KP_5, 0x65},
        // NumLock off: the keypad's keys report navigation keycodes.
        {SDLK_INSERT, SDL_SCANCODE_KP_0, 0x60},
        {SDLK_END, SDL_SCANCODE_KP_1, 0x61},
        {SDLK_LSHIFT, SDL_SCANCODE_LSHIFT, 0xA0},
        {SDLK_RSHIFT, SDL_SCANCODE_RSHIFT, 0xA1},
        {SDLK_LCTRL, SDL_SCANCODE_LCTRL, 0xA2},
        {SDLK_RCTRL, SDL_SCANCODE_RCTRL, 0xA3},
        {SDLK_LALT, SDL_SCANCODE_LALT, 0xA4},
        {SDLK_RALT, SDL_SCANCODE_RALT, 0xA5},
        // The main Insert key is not numpad 0.
        {SDLK_INSERT, SDL_SCANCODE_INSERT, 0x2D},
        // A Cyrillic layout: the key keeps its Latin code.
        {0x0446 /* ц */, SDL_SCANCODE_W, 'W'},
        // AZERTY: the key labelled Z where QWERTY has W.
        {SDLK_z, SDL_SCANCODE_W, 'Z'},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Win32_Virtual_Key(c.key, c.scancode), c.vk)
            << "key " << c.key << " scancode " << static_cast<int>(c.scancode);
    }
    EXPECT_EQ(Win32_Virtual_Key(SDLK_UNKNOWN, SDL_SCANCODE_UNKNOWN), 0);
    EXPECT_EQ(Win32_Generic_Virtual_Key(VK_LSHIFT), VK_SHIFT);
    EXPECT_EQ(Win32_Generic_Virtual_Key(VK_RCONTROL), VK_CONTROL);
    EXPECT_EQ(Win32_Generic_Virtual_Key(VK_RMENU), VK_MENU);
    EXPECT_EQ(Win32_Generic_Virtual_Key('W'), 'W');
}

class Headless_Keys : public Headless_Test {};

TEST_F(Headless_Keys, SyntheticStateShowsInTheHighBitWithGenericModifiers) {
    std::array<BYTE, 256> keys{};
    ASSERT_TRUE(GetKeyboardState(keys.data()));
    for (BYTE b : keys) ASSERT_EQ(b & 0x80, 0);

    Platform_Set_Key_State(VK_LSHIFT, true);
    Platform_Set_Key_State(VK_NUMPAD0, true);
    ASSERT_TRUE(GetKeyboardState(keys.data()));
    EXPECT_EQ(keys[VK_LSHIFT], 0x80);
    EXPECT_EQ(keys[VK_SHIFT], 0x80);
    EXPECT_EQ(keys[VK_NUMPAD0], 0x80);
    EXPECT_EQ(keys[VK_RSHIFT] & 0x80, 0);
    EXPECT_EQ(keys[VK_RCONTROL] & 0x80, 0);
    EXPECT_EQ(keys[VK_CONTROL] & 0x80, 0);

    Platform_Set_Key_State(VK_LSHIFT, false);
    Platform_Set_Key_State(VK_RCONTROL, true);
    ASSERT_TRUE(GetKeyboardState(keys.data()));
    EXPECT_EQ(keys[VK_LSHIFT] & 0x80, 0);
    EXPECT_EQ(keys[VK_SHIFT] & 0x80, 0);
    EXPECT_EQ(keys[VK_RCONTROL], 0x80);
    EXPECT_EQ(keys[VK_CONTROL], 0x80);

    // Out-of-range codes are ignored, not written outside the table.
    Platform_Set_Key_State(-1, true);
    Platform_Set_Key_State(256, true);
    EXPECT_FALSE(GetKeyboardState(nullptr));
}

// Keys and mouse on a private X server, with an SDL window.
class Real_Input : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(xvfb_.Ok()) << xvfb_.Error();
        display_ = std::make_unique<Scoped_Display>(xvfb_.Display());
        ASSERT_FALSE(Platform_Init(false));
        Log_Of_Proc().clear();
        ASSERT_NE(RegisterClassExA(&wc_), 0);
        hwnd_ = CreateWindowExA(0, "InputTest", "input", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 50,
                                640, 480, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(hwnd_, nullptr);
        sdl_ = Win32_Sdl_Window(hwnd_);
        ASSERT_NE(sdl_, nullptr);
        // Let the window get mapped before input arrives.
        Wait_For_Message([](const MSG&) { return false; }, nullptr, 200);
    }
    void TearDown() override {
        Platform_Shutdown();
        UnregisterClassA("InputTest", nullptr);
        display_.reset();
    }

    void Push_Key(Uint32 type, SDL_Keycode key, SDL_Scancode scancode, bool repeat = false) {
        SDL_Event e{};
        e.type = type;
        e.key.windowID = SDL_GetWindowID(sdl_);
        e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.key.repeat = repeat ? 1 : 0;
        e.key.keysym.sym = key;
        e.key.keysym.scancode = scancode;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }

    std::vector<MSG> Drain() {
        std::vector<MSG> out;
        MSG msg{};
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) out.push_back(msg);
        return out;
    }

    // Runs xdotool against the private server; false when it failed.
    bool Xdotool(const std::string& args) {
        const std::string command = std::string("DISPLAY=") + xvfb_.Display() + " xdotool " + args;
        return std::system(command.c_str()) == 0;
    }

    Xvfb_Session xvfb_;
    std::unique_ptr<Scoped_Display> display_;
    WNDCLASSEXA wc_ = Class_Record("InputTest", Recording_Proc);
    HWND hwnd_ = nullptr;
    SDL_Window* sdl_ = nullptr;
};

TEST_F(Real_Input, SdlKeyEventsBecomeKeyMessagesAndKeyboardState) {
    Drain();
    Push_Key(SDL_KEYDOWN, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
    Push_Key(SDL_KEYDOWN, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, true);
    Push_Key(SDL_KEYUP, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
    Push_Key(SDL_KEYDOWN, SDLK_LSHIFT, SDL_SCANCODE_LSHIFT);
    Push_Key(SDL_KEYDOWN, SDLK_INSERT, SDL_SCANCODE_KP_0);
    Push_Key(SDL_KEYDOWN, SDLK_w, SDL_SCANCODE_W);
    std::vector<MSG> messages = Drain();
    ASSERT_EQ(messages.size(), 6u);
    for (const MSG& m : messages) EXPECT_EQ(m.hwnd, hwnd_);
    EXPECT_EQ(messages[0].message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(messages[0].wParam, static_cast<WPARAM>(VK_ESCAPE));
    EXPECT_EQ(messages[0].lParam, 1);
    EXPECT_EQ(messages[1].message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(messages[1].lParam, 0x40000001) << "auto-repeat: key was already down";
    EXPECT_EQ(messages[2].message, static_cast<UINT>(WM_KEYUP));
    EXPECT_EQ(messages[2].wParam, static_cast<WPARAM>(VK_ESCAPE));
    EXPECT_EQ(messages[3].wParam, static_cast<WPARAM>(VK_SHIFT))
        << "messages carry the generic code";
    EXPECT_EQ(messages[4].wParam, static_cast<WPARAM>(VK_NUMPAD0));
    EXPECT_EQ(messages[5].wParam, static_cast<WPARAM>('W'));

    std::array<BYTE, 256> keys{};
    ASSERT_TRUE(GetKeyboardState(keys.data()));
    EXPECT_EQ(keys[VK_ESCAPE] & 0x80, 0);
    EXPECT_EQ(keys[VK_LSHIFT], 0x80);
    EXPECT_EQ(keys[VK_SHIFT], 0x80);
    EXPECT_EQ(keys[VK_RSHIFT] & 0x80, 0);
    EXPECT_EQ(keys[VK_RCONTROL] & 0x80, 0);
    EXPECT_EQ(keys[VK_NUMPAD0], 0x80);
    EXPECT_EQ(keys['W'], 0x80);

    Push_Key(SDL_KEYUP, SDLK_LSHIFT, SDL_SCANCODE_LSHIFT);
    Push_Key(SDL_KEYDOWN, SDLK_RCTRL, SDL_SCANCODE_RCTRL);
    Drain();
    // A synthetic key is OR'ed over the real ones.
    Platform_Set_Key_State(VK_UP, true);
    ASSERT_TRUE(GetKeyboardState(keys.data()));
    EXPECT_EQ(keys[VK_LSHIFT] & 0x80, 0);
    EXPECT_EQ(keys[VK_SHIFT] & 0x80, 0);
    EXPECT_EQ(keys[VK_RCONTROL], 0x80);
    EXPECT_EQ(keys[VK_CONTROL], 0x80);
    EXPECT_EQ(keys[VK_UP], 0x80);
    EXPECT_EQ(keys['W'], 0x80);
}

TEST_F(Real_Input, KeysFromTheXServerReachTheWindow) {
    ASSERT_TRUE(Xdotool("mousemove 300 200"));
    Drain();
    ASSERT_TRUE(Xdotool("keydown Shift_L keydown KP_Insert"));
    std::vector<MSG> seen;
    EXPECT_TRUE(Wait_For_Message(
        [](const MSG& m) { return m.message == WM_KEYDOWN && m.wParam == VK_NUMPAD0; }, &seen));
    std::array<BYTE, 256> keys{};
    ASSERT_TRUE(GetKeyboardState(keys.data()));
    EXPECT_EQ(keys[VK_LSHIFT], 0x80);
    EXPECT_EQ(keys[VK_NUMPAD0], 0x80);
    EXPECT_EQ(keys[VK_RCONTROL] & 0x80, 0);

    ASSERT_TRUE(Xdotool("keyup KP_Insert keyup Shift_L"));
    EXPECT_TRUE(Wait_For_Message(
        [](const MSG& m) { return m.message == WM_KEYUP && m.wParam == VK_SHIFT; }));
    ASSERT_TRUE(GetKeyboardState(keys.data()));
    EXPECT_EQ(keys[VK_LSHIFT] & 0x80, 0);
    EXPECT_EQ(keys[VK_NUMPAD0] & 0x80, 0);
}

TEST_F(Real_Input, CursorAndMouseMessagesUseScreenAndClientCoordinates) {
    // The client area starts at (108, 81): outer corner (100, 50) plus the frame.
    ASSERT_TRUE(Xdotool("mousemove 300 200"));
    std::vector<MSG> seen;
    ASSERT_TRUE(Wait_For_Message([](const MSG& m) { return m.message == WM_MOUSEMOVE; }, &seen));
    EXPECT_EQ(seen.back().lParam, (119 << 16) | 192);
    POINT p{};
    ASSERT_TRUE(GetCursorPos(&p));
    EXPECT_EQ(p.x, 300);
    EXPECT_EQ(p.y, 200);
    ASSERT_TRUE(ScreenToClient(hwnd_, &p));
    EXPECT_EQ(p.x, 192);
    EXPECT_EQ(p.y, 119);

    // The pointer outside the window still counts for GetCursorPos.
    ASSERT_TRUE(Xdotool("mousemove 5 900"));
    Drain();
    ASSERT_TRUE(GetCursorPos(&p));
    EXPECT_EQ(p.x, 5);
    EXPECT_EQ(p.y, 900);
    ASSERT_TRUE(ScreenToClient(hwnd_, &p));
    EXPECT_EQ(p.x, -103);
    EXPECT_EQ(p.y, 819);

    // Platform_Set_Cursor_Pos moves the real pointer when there is one.
    Platform_Set_Cursor_Pos(400, 300);
    ASSERT_TRUE(GetCursorPos(&p));
    EXPECT_EQ(p.x, 400);
    EXPECT_EQ(p.y, 300);
}

TEST_F(Real_Input, ButtonReleasedOutsideTheWindowIsNotDelivered) {
    ASSERT_TRUE(Xdotool("mousemove 200 150"));
    Drain();
    ASSERT_TRUE(Xdotool("mousedown 1"));
    std::vector<MSG> seen;
    ASSERT_TRUE(Wait_For_Message([](const MSG& m) { return m.message == WM_LBUTTONDOWN; }, &seen));
    EXPECT_EQ(seen.back().hwnd, hwnd_);
    EXPECT_EQ(seen.back().lParam, (69 << 16) | 92);
    std::array<BYTE, 256> keys{};
    ASSERT_TRUE(GetKeyboardState(keys.data()));
    EXPECT_EQ(keys[VK_LBUTTON], 0x80);

    // Drag out of the window and let go there: no capture, so the window
    // hears nothing of it.
    ASSERT_TRUE(Xdotool("mousemove 1000 900 mouseup 1"));
    seen.clear();
    EXPECT_FALSE(
        Wait_For_Message([](const MSG& m) { return m.message == WM_LBUTTONUP; }, &seen, 500));
    for (const MSG& m : seen) {
        if (m.message != WM_MOUSEMOVE) continue;
        const int x = static_cast<int>(m.lParam & 0xFFFF);
        const int y = static_cast<int>((m.lParam >> 16) & 0xFFFF);
        EXPECT_LT(x, 624) << "motion outside the client area";
        EXPECT_LT(y, 441) << "motion outside the client area";
    }

    // A release over the window arrives.
    ASSERT_TRUE(Xdotool("mousemove 150 100 mousedown 1 mouseup 1"));
    EXPECT_TRUE(Wait_For_Message([](const MSG& m) { return m.message == WM_LBUTTONUP; }));
}

}  // namespace
