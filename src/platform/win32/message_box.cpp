// MessageBoxA: a hook for tests and --check, a line on stderr when headless,
// else a modal SDL message box.
#include "win32_internal.h"
#include "window_seam.h"

#include <cstdio>
#include <string>

namespace {

Platform_Message_Box_Hook g_hook = nullptr;

constexpr UINT k_icon_mask = 0x000000F0;
constexpr UINT k_button_mask = 0x0000000F;

// One box, one line: line breaks inside the text become blanks.
int Print_Line(const std::string& caption, std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    std::fflush(stderr);
    return IDOK;
}

}  // namespace

Platform_Message_Box_Hook Platform_Set_Message_Box_Hook(Platform_Message_Box_Hook hook) {
    const Platform_Message_Box_Hook previous = g_hook;
    g_hook = hook;
    return previous;
}

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    if (g_hook != nullptr) {
        return g_hook(lpText != nullptr ? lpText : "", lpCaption != nullptr ? lpCaption : "Error",
                      uType);
    }
    const std::string text = Win32_To_Utf8(lpText);
    // Windows titles an uncaptioned box "Error".
    const std::string caption =
        lpCaption != nullptr ? Win32_To_Utf8(lpCaption) : std::string("Error");
    Win32_Ensure_Init();
    if (!Win32_Sdl_Video_Ready()) {
        return Print_Line(caption, text);
    }

    Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
    switch (uType & k_icon_mask) {
    case MB_ICONERROR: flags = SDL_MESSAGEBOX_ERROR; break;
    case MB_ICONWARNING: flags = SDL_MESSAGEBOX_WARNING; break;
    default: break;
    }
    const bool ok_cancel = (uType & k_button_mask) == MB_OKCANCEL;
    SDL_MessageBoxButtonData buttons[2] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDOK, "OK"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDCANCEL, "Cancel"},
    };
    if (!ok_cancel) {
        buttons[0].flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    }
    SDL_MessageBoxData data{};
    data.flags = flags;
    data.window = Win32_Sdl_Window(hWnd);
    data.title = caption.c_str();
    data.message = text.c_str();
    data.numbuttons = ok_cancel ? 2 : 1;
    data.buttons = buttons;
    int pressed = -1;
    if (SDL_ShowMessageBox(&data, &pressed) != 0) {
        return Print_Line(caption, text);
    }
    // Closing the box without a button counts as its escape button.
    if (pressed < 0) {
        return ok_cancel ? IDCANCEL : IDOK;
    }
    return pressed;
}
