// Keyboard state and cursor position as the engine polls them, indexed by
// Windows virtual-key codes.
#include "win32_internal.h"
#include "platform/win32_testing.h"

#include <array>
#include <cstring>

namespace {

std::array<BYTE, 256> g_event_keys{};      // from the pumped key events
std::array<BYTE, 256> g_synthetic_keys{};  // from Platform_Set_Key_State
POINT g_last_cursor{};                     // last pointer position seen
POINT g_synthetic_cursor{};
bool g_has_synthetic_cursor = false;

constexpr BYTE k_held = 0x80;

// Keys whose virtual-key code does not depend on the keyboard layout.
int Virtual_Key_From_Scancode(SDL_Scancode sc) {
    if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) return 'A' + (sc - SDL_SCANCODE_A);
    if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9) return '1' + (sc - SDL_SCANCODE_1);
    if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12) return VK_F1 + (sc - SDL_SCANCODE_F1);
    if (sc >= SDL_SCANCODE_F13 && sc <= SDL_SCANCODE_F24) return VK_F13 + (sc - SDL_SCANCODE_F13);
    // Keypad keys by position, whatever NumLock makes of them.
    if (sc >= SDL_SCANCODE_KP_1 && sc <= SDL_SCANCODE_KP_9)
        return VK_NUMPAD1 + (sc - SDL_SCANCODE_KP_1);
    switch (sc) {
    case SDL_SCANCODE_0: return '0';
    case SDL_SCANCODE_KP_0: return VK_NUMPAD0;
    case SDL_SCANCODE_KP_PERIOD: return VK_DECIMAL;
    case SDL_SCANCODE_KP_DIVIDE: return VK_DIVIDE;
    case SDL_SCANCODE_KP_MULTIPLY: return VK_MULTIPLY;
    case SDL_SCANCODE_KP_MINUS: return VK_SUBTRACT;
    case SDL_SCANCODE_KP_PLUS: return VK_ADD;
    case SDL_SCANCODE_KP_ENTER: return VK_RETURN;
    case SDL_SCANCODE_RETURN: return VK_RETURN;
    case SDL_SCANCODE_ESCAPE: return VK_ESCAPE;
    case SDL_SCANCODE_BACKSPACE: return VK_BACK;
    case SDL_SCANCODE_TAB: return VK_TAB;
    case SDL_SCANCODE_SPACE: return VK_SPACE;
    case SDL_SCANCODE_PAUSE: return VK_PAUSE;
    case SDL_SCANCODE_CAPSLOCK: return VK_CAPITAL;
    case SDL_SCANCODE_PAGEUP: return VK_PRIOR;
    case SDL_SCANCODE_PAGEDOWN: return VK_NEXT;
    case SDL_SCANCODE_END: return VK_END;
    case SDL_SCANCODE_HOME: return VK_HOME;
    case SDL_SCANCODE_LEFT: return VK_LEFT;
    case SDL_SCANCODE_UP: return VK_UP;
    case SDL_SCANCODE_RIGHT: return VK_RIGHT;
    case SDL_SCANCODE_DOWN: return VK_DOWN;
    case SDL_SCANCODE_INSERT: return VK_INSERT;
    case SDL_SCANCODE_DELETE: return VK_DELETE;
    case SDL_SCANCODE_PRINTSCREEN: return VK_SNAPSHOT;
    case SDL_SCANCODE_NUMLOCKCLEAR: return VK_NUMLOCK;
    case SDL_SCANCODE_SCROLLLOCK: return VK_SCROLL;
    case SDL_SCANCODE_APPLICATION: return VK_APPS;
    case SDL_SCANCODE_LSHIFT: return VK_LSHIFT;
    case SDL_SCANCODE_RSHIFT: return VK_RSHIFT;
    case SDL_SCANCODE_LCTRL: return VK_LCONTROL;
    case SDL_SCANCODE_RCTRL: return VK_RCONTROL;
    case SDL_SCANCODE_LALT: return VK_LMENU;
    case SDL_SCANCODE_RALT: return VK_RMENU;
    case SDL_SCANCODE_LGUI: return VK_LWIN;
    case SDL_SCANCODE_RGUI: return VK_RWIN;
    case SDL_SCANCODE_MINUS: return VK_OEM_MINUS;
    case SDL_SCANCODE_EQUALS: return VK_OEM_PLUS;
    case SDL_SCANCODE_LEFTBRACKET: return VK_OEM_4;
    case SDL_SCANCODE_RIGHTBRACKET: return VK_OEM_6;
    case SDL_SCANCODE_BACKSLASH: return VK_OEM_5;
    case SDL_SCANCODE_SEMICOLON: return VK_OEM_1;
    case SDL_SCANCODE_APOSTROPHE: return VK_OEM_7;
    case SDL_SCANCODE_GRAVE: return VK_OEM_3;
    case SDL_SCANCODE_COMMA: return VK_OEM_COMMA;
    case SDL_SCANCODE_PERIOD: return VK_OEM_PERIOD;
    case SDL_SCANCODE_SLASH: return VK_OEM_2;
    case SDL_SCANCODE_NONUSBACKSLASH: return VK_OEM_102;
    default: return 0;
    }
}

}  // namespace

int Win32_Virtual_Key(SDL_Keycode key, SDL_Scancode scancode) {
    // Letters and digits follow the layout where it gives Latin ones (as a
    // Windows AZERTY layout does); other layouts (Cyrillic) keep the US
    // position, which is also what Windows does for them.
    if (key >= 'a' && key <= 'z' && scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_0) {
        return 'A' + (key - 'a');
    }
    if (key >= '0' && key <= '9' && scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_0) {
        return static_cast<int>(key);
    }
    return Virtual_Key_From_Scancode(scancode);
}

int Win32_Generic_Virtual_Key(int virtual_key) {
    switch (virtual_key) {
    case VK_LSHIFT:
    case VK_RSHIFT: return VK_SHIFT;
    case VK_LCONTROL:
    case VK_RCONTROL: return VK_CONTROL;
    case VK_LMENU:
    case VK_RMENU: return VK_MENU;
    default: return virtual_key;
    }
}

void Win32_Note_Key(int virtual_key, bool held) {
    if (virtual_key <= 0 || virtual_key > 0xFF) {
        return;
    }
    g_event_keys[virtual_key] = held ? k_held : 0;
}

void Win32_Note_Cursor(int screen_x, int screen_y) {
    g_last_cursor = POINT{screen_x, screen_y};
}

POINT Win32_Last_Cursor() {
    return g_has_synthetic_cursor ? g_synthetic_cursor : g_last_cursor;
}

void Win32_Reset_Input() {
    g_event_keys.fill(0);
    g_synthetic_keys.fill(0);
    g_last_cursor = POINT{};
    g_synthetic_cursor = POINT{};
    g_has_synthetic_cursor = false;
}

BOOL WINAPI GetKeyboardState(PBYTE lpKeyState) {
    if (lpKeyState == nullptr) {
        return FALSE;
    }
    for (int vk = 0; vk < 256; ++vk) {
        lpKeyState[vk] = g_event_keys[vk] | g_synthetic_keys[vk];
    }
    // The generic modifier codes are held while either side is.
    auto either = [&](int left, int right) {
        return static_cast<BYTE>((lpKeyState[left] | lpKeyState[right]) & k_held);
    };
    lpKeyState[VK_SHIFT] |= either(VK_LSHIFT, VK_RSHIFT);
    lpKeyState[VK_CONTROL] |= either(VK_LCONTROL, VK_RCONTROL);
    lpKeyState[VK_MENU] |= either(VK_LMENU, VK_RMENU);
    return TRUE;
}

BOOL WINAPI GetCursorPos(LPPOINT lpPoint) {
    if (lpPoint == nullptr) {
        return FALSE;
    }
    Win32_Ensure_Init();
    if (Win32_Sdl_Video_Ready() && !g_has_synthetic_cursor) {
        int x = 0;
        int y = 0;
        if (!Win32_Query_X11_Pointer(Win32_Any_Sdl_Window(), &x, &y)) {
            SDL_GetGlobalMouseState(&x, &y);
        }
        *lpPoint = POINT{x, y};
        return TRUE;
    }
    *lpPoint = Win32_Last_Cursor();
    return TRUE;
}

BOOL WINAPI ScreenToClient(HWND hWnd, LPPOINT lpPoint) {
    int origin_x = 0;
    int origin_y = 0;
    if (lpPoint == nullptr || !Win32_Client_Origin(hWnd, &origin_x, &origin_y)) {
        return FALSE;
    }
    lpPoint->x -= origin_x;
    lpPoint->y -= origin_y;
    return TRUE;
}

void Platform_Set_Key_State(int virtual_key, bool held) {
    if (virtual_key <= 0 || virtual_key > 0xFF) {
        return;
    }
    g_synthetic_keys[virtual_key] = held ? k_held : 0;
}

void Platform_Set_Cursor_Pos(int screen_x, int screen_y) {
    Win32_Ensure_Init();
    if (Win32_Sdl_Video_Ready()) {
        // With a display the pointer itself moves; GetCursorPos reads it back.
        SDL_WarpMouseGlobal(screen_x, screen_y);
        g_last_cursor = POINT{screen_x, screen_y};
        return;
    }
    g_synthetic_cursor = POINT{screen_x, screen_y};
    g_has_synthetic_cursor = true;
}
