// Windowed or headless operation on Windows, the engine's window and its
// message boxes, and closing on Ctrl-C.
//
// Headless is a hidden window: Direct3D renders into it as usual, nothing is
// shown, and a message box is a line `caption: text` (UTF-8) on stderr.
#include "windows_internal.h"

#include <cstdio>
#include <string>

namespace {

enum class Mode { Unset, Windowed, Headless };

Mode g_mode = Mode::Unset;
Platform_Message_Box_Hook g_hook = nullptr;
HWND g_main_window = nullptr;

// One box, one line: line breaks inside the text become blanks.
int Print_Line(const std::string& caption, std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    std::fflush(stderr);
    return IDOK;
}

BOOL WINAPI On_Console_Control(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
        // The handler runs on a thread of its own; a posted message is safe.
        if (g_main_window != nullptr) {
            PostMessageA(g_main_window, WM_CLOSE, 0, 0);
            return TRUE;
        }
        return FALSE;  // no window yet: the default handler ends the process
    default: return FALSE;
    }
}

}  // namespace

bool Platform_Init(bool force_headless) {
    // Windows always has a display; only the caller chooses headless.
    g_mode = force_headless ? Mode::Headless : Mode::Windowed;
    return g_mode == Mode::Headless;
}

bool Platform_Is_Headless(void) {
    return g_mode == Mode::Headless;
}

void Platform_Shutdown(void) {
    Windows_Release_Frame();
    g_mode = Mode::Unset;
    g_main_window = nullptr;
}

void Platform_Close_On_Signal(void) {
    SetConsoleCtrlHandler(On_Console_Control, TRUE);
}

HWND Windows_Main_Window(void) {
    return g_main_window;
}

Platform_Message_Box_Hook Platform_Set_Message_Box_Hook(Platform_Message_Box_Hook hook) {
    const Platform_Message_Box_Hook previous = g_hook;
    g_hook = hook;
    return previous;
}

HWND WINAPI Platform_CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR window_name,
                                     DWORD style, int x, int y, int width, int height, HWND parent,
                                     HMENU menu, HINSTANCE instance, LPVOID param) {
    if (g_mode == Mode::Headless) style &= ~static_cast<DWORD>(WS_VISIBLE);
    // The title is Windows-1251 whatever the system's code page.
    const std::wstring wide_class = Windows_Wide(class_name, 1251);
    const std::wstring wide_title = Windows_Wide(window_name, 1251);
    HWND window = CreateWindowExW(ex_style, wide_class.c_str(), wide_title.c_str(), style, x, y,
                                  width, height, parent, menu, instance, param);
    if (window != nullptr && parent == nullptr && g_main_window == nullptr) g_main_window = window;
    return window;
}

BOOL WINAPI Platform_ShowWindow(HWND window, int show) {
    if (g_mode == Mode::Headless) return FALSE;  // it was hidden, and stays so
    return ShowWindow(window, show);
}

int WINAPI Platform_MessageBoxA(HWND window, LPCSTR text, LPCSTR caption, UINT type) {
    if (g_hook != nullptr)
        return g_hook(text != nullptr ? text : "", caption != nullptr ? caption : "Error", type);
    // Windows titles an uncaptioned box "Error".
    const char* shown_caption = caption != nullptr ? caption : "Error";
    if (g_mode == Mode::Headless)
        return Print_Line(Windows_Utf8_Of_Cp1251(shown_caption), Windows_Utf8_Of_Cp1251(text));
    const std::wstring wide_text = Windows_Wide(text, 1251);
    const std::wstring wide_caption = Windows_Wide(shown_caption, 1251);
    return MessageBoxW(window, wide_text.c_str(), wide_caption.c_str(), type);
}
