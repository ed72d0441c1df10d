// Window classes and windows. A window is an SDL window the size of its client
// area; the Windows frame around it exists only in the numbers (outer size,
// client origin). Headless windows keep the numbers without an SDL window.
#include "window_seam.h"
#include "win32_internal.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace {

struct Window_Class {
    std::string name;
    ATOM atom = 0;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
};

struct Window {
    std::string class_key;
    WNDPROC proc = nullptr;
    SDL_Window* sdl = nullptr;
    int x = 0;  // outer corner
    int y = 0;
    int client_width = 0;
    int client_height = 0;
    bool visible = false;
    bool destroying = false;
};

struct Sdl_Window_Deleter {
    void operator()(SDL_Window* w) const { SDL_DestroyWindow(w); }
};

// Class names compare without regard to ASCII case, as on Windows.
std::string Class_Key(const std::string& name) {
    std::string key = name;
    for (char& c : key) {
        c = static_cast<char>(Win32_Fold_Cp1251(static_cast<unsigned char>(c)));
    }
    return key;
}

std::map<std::string, Window_Class>& Classes() {
    static std::map<std::string, Window_Class> classes;
    return classes;
}

// Handles are never reused, so a destroyed window's handle stays invalid.
std::map<std::uintptr_t, Window>& Windows() {
    static std::map<std::uintptr_t, Window> windows;
    return windows;
}

std::uintptr_t g_next_handle = 0x10010;
ATOM g_next_atom = 0xC000;

Window* Find(HWND hwnd) {
    if (hwnd == nullptr) {
        return nullptr;
    }
    auto it = Windows().find(reinterpret_cast<std::uintptr_t>(hwnd));
    return it == Windows().end() ? nullptr : &it->second;
}

// A class name may be an atom (a small integer in the pointer), as in Win32.
const Window_Class* Find_Class(LPCSTR name) {
    if (name == nullptr) {
        return nullptr;
    }
    const auto value = reinterpret_cast<std::uintptr_t>(name);
    if (value < 0x10000) {
        for (const auto& [key, cls] : Classes()) {
            if (cls.atom == value) {
                return &cls;
            }
        }
        return nullptr;
    }
    auto it = Classes().find(Class_Key(name));
    return it == Classes().end() ? nullptr : &it->second;
}

}  // namespace

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* lpwcx) {
    if (lpwcx == nullptr || lpwcx->cbSize != sizeof(WNDCLASSEXA) || lpwcx->lpfnWndProc == nullptr ||
        lpwcx->lpszClassName == nullptr ||
        reinterpret_cast<std::uintptr_t>(lpwcx->lpszClassName) < 0x10000 ||
        lpwcx->lpszClassName[0] == '\0') {
        return 0;
    }
    const std::string key = Class_Key(lpwcx->lpszClassName);
    if (Classes().count(key) != 0 || g_next_atom == 0xFFFF) {
        return 0;
    }
    Window_Class cls;
    cls.name = lpwcx->lpszClassName;
    cls.atom = g_next_atom++;
    cls.proc = lpwcx->lpfnWndProc;
    cls.instance = lpwcx->hInstance;
    Classes().emplace(key, cls);
    return cls.atom;
}

BOOL WINAPI UnregisterClassA(LPCSTR lpClassName, HINSTANCE /*hInstance*/) {
    const Window_Class* cls = Find_Class(lpClassName);
    if (cls == nullptr) {
        return FALSE;
    }
    const std::string key = Class_Key(cls->name);
    for (const auto& [handle, window] : Windows()) {
        if (window.class_key == key) {
            return FALSE;
        }
    }
    Classes().erase(key);
    return TRUE;
}

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle,
                            int X, int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                            HINSTANCE hInstance, LPVOID lpParam) {
    Win32_Ensure_Init();
    const Window_Class* cls = Find_Class(lpClassName);
    if (cls == nullptr) {
        return nullptr;
    }
    Window window;
    window.class_key = Class_Key(cls->name);
    window.proc = cls->proc;
    window.x = X;
    window.y = Y;
    // Outer sizes smaller than the frame leave an empty client area.
    window.client_width = std::max(0, nWidth - k_frame_left - k_frame_right);
    window.client_height = std::max(0, nHeight - k_frame_top - k_frame_bottom);
    window.visible = (dwStyle & WS_VISIBLE) != 0;

    if (Win32_Sdl_Video_Ready()) {
        const std::string title = Win32_To_Utf8(lpWindowName);
        Uint32 flags = SDL_WINDOW_OPENGL | (window.visible ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN);
        // The device draws into framebuffers of its own and only copies the
        // finished frame into the window: the window needs no depth buffer.
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
        std::unique_ptr<SDL_Window, Sdl_Window_Deleter> sdl(SDL_CreateWindow(
            title.c_str(), X + k_frame_left, Y + k_frame_top, std::max(1, window.client_width),
            std::max(1, window.client_height), flags));
        if (!sdl) {
            return nullptr;
        }
        if (window.visible) {
            SDL_RaiseWindow(sdl.get());
        }
        window.sdl = sdl.release();
    }

    const auto handle_value = g_next_handle;
    g_next_handle += 4;
    HWND hwnd = reinterpret_cast<HWND>(handle_value);
    const WNDPROC proc = window.proc;
    Windows().emplace(handle_value, window);

    // WM_CREATE runs before CreateWindowExA returns; -1 refuses the window.
    Win32_Create_Struct create{lpParam,
                               hInstance,
                               hMenu,
                               hWndParent,
                               nHeight,
                               nWidth,
                               Y,
                               X,
                               static_cast<LONG>(dwStyle),
                               lpWindowName,
                               lpClassName,
                               dwExStyle};
    if (proc(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    return IsWindow(hwnd) ? hwnd : nullptr;
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
    Window* window = Find(hWnd);
    if (window == nullptr || window->destroying) {
        return FALSE;
    }
    window->destroying = true;
    const WNDPROC proc = window->proc;
    proc(hWnd, WM_DESTROY, 0, 0);
    // The procedure may have done anything; look the window up again.
    window = Find(hWnd);
    if (window != nullptr) {
        if (window->sdl != nullptr) {
            SDL_DestroyWindow(window->sdl);
        }
        Windows().erase(reinterpret_cast<std::uintptr_t>(hWnd));
    }
    return TRUE;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
    Window* window = Find(hWnd);
    if (window == nullptr) {
        return FALSE;
    }
    const BOOL was_visible = window->visible ? TRUE : FALSE;
    window->visible = nCmdShow != SW_HIDE;
    if (window->sdl != nullptr) {
        if (window->visible) {
            SDL_ShowWindow(window->sdl);
            SDL_RaiseWindow(window->sdl);
        } else {
            SDL_HideWindow(window->sdl);
        }
    }
    return was_visible;
}

BOOL WINAPI UpdateWindow(HWND hWnd) {
    return Find(hWnd) != nullptr ? TRUE : FALSE;
}

BOOL WINAPI IsWindow(HWND hWnd) {
    return Find(hWnd) != nullptr ? TRUE : FALSE;
}

BOOL WINAPI AdjustWindowRect(LPRECT lpRect, DWORD dwStyle, BOOL bMenu) {
    (void)dwStyle;
    (void)bMenu;
    if (lpRect == nullptr) {
        return FALSE;
    }
    lpRect->left -= k_frame_left;
    lpRect->top -= k_frame_top;
    lpRect->right += k_frame_right;
    lpRect->bottom += k_frame_bottom;
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect) {
    int width = 0;
    int height = 0;
    if (lpRect == nullptr || !Win32_Client_Size(hWnd, &width, &height)) {
        return FALSE;
    }
    lpRect->left = 0;
    lpRect->top = 0;
    lpRect->right = width;
    lpRect->bottom = height;
    return TRUE;
}

SDL_Window* Win32_Sdl_Window(HWND hwnd) {
    Window* window = Find(hwnd);
    return window == nullptr ? nullptr : window->sdl;
}

bool Win32_Client_Size(HWND hwnd, int* width, int* height) {
    Window* window = Find(hwnd);
    if (window == nullptr) {
        return false;
    }
    int w = window->client_width;
    int h = window->client_height;
    if (window->sdl != nullptr && w > 0 && h > 0) {
        SDL_GetWindowSize(window->sdl, &w, &h);
    }
    if (width != nullptr) *width = w;
    if (height != nullptr) *height = h;
    return true;
}

bool Win32_Client_Origin(HWND hwnd, int* x, int* y) {
    Window* window = Find(hwnd);
    if (window == nullptr) {
        return false;
    }
    if (window->sdl != nullptr) {
        SDL_GetWindowPosition(window->sdl, x, y);
    } else {
        *x = window->x + k_frame_left;
        *y = window->y + k_frame_top;
    }
    return true;
}

HWND Win32_Window_From_Sdl_Id(Uint32 window_id) {
    if (window_id == 0) {
        return nullptr;
    }
    for (const auto& [handle, window] : Windows()) {
        if (window.sdl != nullptr && SDL_GetWindowID(window.sdl) == window_id) {
            return reinterpret_cast<HWND>(handle);
        }
    }
    return nullptr;
}

HWND Win32_Fallback_Input_Window() {
    for (const auto& [handle, window] : Windows()) {
        if (window.visible && !window.destroying) {
            return reinterpret_cast<HWND>(handle);
        }
    }
    return nullptr;
}

WNDPROC Win32_Window_Proc(HWND hwnd) {
    Window* window = Find(hwnd);
    return window == nullptr ? nullptr : window->proc;
}

SDL_Window* Win32_Any_Sdl_Window() {
    for (const auto& [handle, window] : Windows()) {
        if (window.sdl != nullptr) {
            return window.sdl;
        }
    }
    return nullptr;
}

void Win32_Forget_All_Windows() {
    for (auto& [handle, window] : Windows()) {
        if (window.sdl != nullptr) {
            SDL_DestroyWindow(window.sdl);
        }
    }
    Windows().clear();
}
