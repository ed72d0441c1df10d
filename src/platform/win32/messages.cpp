// The message queue: one FIFO of posted messages per thread, fed by the engine
// and by SDL events, with the Windows rule that WM_QUIT comes last.
#include "win32_internal.h"
#include "window_seam.h"

#include <deque>

namespace {

struct Thread_Queue {
    std::deque<MSG> posted;
    bool quit = false;
    int quit_code = 0;
};

Thread_Queue& Queue() {
    thread_local Thread_Queue queue;
    return queue;
}

// PeekMessageA's hwnd value that selects messages posted without a window.
const HWND k_thread_messages_only = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1));

bool Matches(const MSG& msg, HWND hwnd, UINT min, UINT max) {
    if (hwnd == k_thread_messages_only) {
        if (msg.hwnd != nullptr) return false;
    } else if (hwnd != nullptr && msg.hwnd != hwnd) {
        return false;
    }
    if (min == 0 && max == 0) {
        return true;
    }
    return msg.message >= min && msg.message <= max;
}

LPARAM Point_Param(int x, int y) {
    return static_cast<LPARAM>(static_cast<DWORD>(static_cast<WORD>(x)) |
                               (static_cast<DWORD>(static_cast<WORD>(y)) << 16));
}

// Windows does not deliver mouse input outside the client area to a window
// that has not captured the mouse; X delivers it while a button is held.
bool Inside_Client(HWND hwnd, int x, int y) {
    int width = 0;
    int height = 0;
    return Win32_Client_Size(hwnd, &width, &height) && x >= 0 && y >= 0 && x < width && y < height;
}

WPARAM Mouse_Flags(Uint32 buttons) {
    WPARAM flags = 0;
    if (buttons & SDL_BUTTON_LMASK) flags |= MK_LBUTTON;
    if (buttons & SDL_BUTTON_RMASK) flags |= MK_RBUTTON;
    return flags;
}

void Translate_Key(const SDL_KeyboardEvent& key) {
    const int vk = Win32_Virtual_Key(key.keysym.sym, key.keysym.scancode);
    if (vk == 0) {
        return;
    }
    const bool down = key.state == SDL_PRESSED;
    Win32_Note_Key(vk, down);
    HWND hwnd = Win32_Window_From_Sdl_Id(key.windowID);
    if (hwnd == nullptr) {
        hwnd = Win32_Fallback_Input_Window();
    }
    if (hwnd == nullptr) {
        return;
    }
    // Repeat count 1; bit 30 = key was down before, bit 31 = key is going up.
    DWORD flags = 1;
    if (!down) {
        flags |= 0xC0000000u;
    } else if (key.repeat != 0) {
        flags |= 0x40000000u;
    }
    Win32_Post(hwnd, down ? WM_KEYDOWN : WM_KEYUP,
               static_cast<WPARAM>(Win32_Generic_Virtual_Key(vk)), static_cast<LPARAM>(flags));
}

void Translate_Button(const SDL_MouseButtonEvent& button) {
    const bool down = button.state == SDL_PRESSED;
    UINT message;
    int vk;
    if (button.button == SDL_BUTTON_LEFT) {
        message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
        vk = VK_LBUTTON;
    } else if (button.button == SDL_BUTTON_RIGHT) {
        message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
        vk = VK_RBUTTON;
    } else {
        return;
    }
    Win32_Note_Key(vk, down);
    HWND hwnd = Win32_Window_From_Sdl_Id(button.windowID);
    int origin_x = 0;
    int origin_y = 0;
    if (hwnd == nullptr || !Win32_Client_Origin(hwnd, &origin_x, &origin_y)) {
        return;
    }
    Win32_Note_Cursor(origin_x + button.x, origin_y + button.y);
    if (!Inside_Client(hwnd, button.x, button.y)) {
        return;
    }
    Win32_Post(hwnd, message, Mouse_Flags(SDL_GetMouseState(nullptr, nullptr)),
               Point_Param(button.x, button.y));
}

void Translate_Motion(const SDL_MouseMotionEvent& motion) {
    HWND hwnd = Win32_Window_From_Sdl_Id(motion.windowID);
    int origin_x = 0;
    int origin_y = 0;
    if (hwnd == nullptr || !Win32_Client_Origin(hwnd, &origin_x, &origin_y)) {
        return;
    }
    Win32_Note_Cursor(origin_x + motion.x, origin_y + motion.y);
    if (!Inside_Client(hwnd, motion.x, motion.y)) {
        return;
    }
    Win32_Post(hwnd, WM_MOUSEMOVE, Mouse_Flags(motion.state), Point_Param(motion.x, motion.y));
}

void Translate(const SDL_Event& event) {
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: Translate_Key(event.key); break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: Translate_Button(event.button); break;
    case SDL_MOUSEMOTION: Translate_Motion(event.motion); break;
    case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
            if (HWND hwnd = Win32_Window_From_Sdl_Id(event.window.windowID)) {
                Win32_Post(hwnd, WM_CLOSE, 0, 0);
            }
        }
        break;
    case SDL_QUIT:
        // A quit request from outside (a signal): close like the close box.
        if (HWND hwnd = Win32_Fallback_Input_Window()) {
            Win32_Post(hwnd, WM_CLOSE, 0, 0);
        }
        break;
    default: break;
    }
}

}  // namespace

void Win32_Post(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    MSG msg{};
    msg.hwnd = hwnd;
    msg.message = message;
    msg.wParam = wparam;
    msg.lParam = lparam;
    msg.time = timeGetTime();
    msg.pt = Win32_Last_Cursor();
    Queue().posted.push_back(msg);
}

void Win32_Pump_Sdl_Events() {
    if (!Win32_Sdl_Video_Ready()) {
        return;
    }
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        Translate(event);
    }
}

void Win32_Clear_Queue() {
    Queue() = Thread_Queue{};
}

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                         UINT wRemoveMsg) {
    if (lpMsg == nullptr) {
        return FALSE;
    }
    Win32_Ensure_Init();
    Win32_Pump_Sdl_Events();
    if (Win32_Take_Close_Signal()) {
        // A signal asked to close (Platform_Close_On_Signal): like the close box.
        if (HWND hwnd = Win32_Fallback_Input_Window()) Win32_Post(hwnd, WM_CLOSE, 0, 0);
    }
    Thread_Queue& queue = Queue();
    for (auto it = queue.posted.begin(); it != queue.posted.end(); ++it) {
        if (Matches(*it, hWnd, wMsgFilterMin, wMsgFilterMax)) {
            *lpMsg = *it;
            if (wRemoveMsg & PM_REMOVE) {
                queue.posted.erase(it);
            }
            return TRUE;
        }
    }
    // WM_QUIT is not a queued message: it is made up from the quit flag once
    // nothing else that the caller asked for is pending.
    const bool window_filter = hWnd != nullptr && hWnd != k_thread_messages_only;
    MSG quit{};
    quit.message = WM_QUIT;
    if (queue.quit && !window_filter && Matches(quit, nullptr, wMsgFilterMin, wMsgFilterMax)) {
        quit.wParam = static_cast<WPARAM>(static_cast<std::intptr_t>(queue.quit_code));
        quit.time = timeGetTime();
        quit.pt = Win32_Last_Cursor();
        *lpMsg = quit;
        if (wRemoveMsg & PM_REMOVE) {
            queue.quit = false;
        }
        return TRUE;
    }
    return FALSE;
}

BOOL WINAPI TranslateMessage(const MSG* lpMsg) {
    if (lpMsg == nullptr) {
        return FALSE;
    }
    switch (lpMsg->message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP: return TRUE;
    default: return FALSE;
    }
}

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg) {
    if (lpMsg == nullptr || lpMsg->hwnd == nullptr) {
        return 0;
    }
    const WNDPROC proc = Win32_Window_Proc(lpMsg->hwnd);
    if (proc == nullptr) {
        return 0;
    }
    return proc(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    const WNDPROC proc = Win32_Window_Proc(hWnd);
    if (proc == nullptr) {
        return 0;
    }
    return proc(hWnd, Msg, wParam, lParam);
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (hWnd != nullptr && !IsWindow(hWnd)) {
        return FALSE;
    }
    Win32_Post(hWnd, Msg, wParam, lParam);
    return TRUE;
}

void WINAPI PostQuitMessage(int nExitCode) {
    Thread_Queue& queue = Queue();
    queue.quit = true;
    queue.quit_code = nExitCode;
}

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM /*wParam*/, LPARAM /*lParam*/) {
    if (Msg == WM_CLOSE) {
        DestroyWindow(hWnd);
    }
    return 0;
}
