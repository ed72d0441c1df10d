// The Win32 subset the engine calls, implemented on SDL2 and POSIX.
//
// Engine code includes this header (and d3d9.h, d3dx9.h) and nothing else from
// the platform. Names, types and values follow the Windows SDK so that the
// engine reads as it would on Windows; behaviour follows Windows wherever the
// engine relies on it.
#pragma once

#include <cstdint>
#include <cstdio>

// ---------------------------------------------------------------------------
// Basic types
// ---------------------------------------------------------------------------
#define WINAPI
#define CALLBACK
#define APIENTRY

typedef std::uint8_t BYTE;
typedef std::uint16_t WORD;
typedef std::uint32_t DWORD;
typedef std::int32_t LONG;
typedef std::uint32_t ULONG;
typedef int INT;
typedef unsigned int UINT;
typedef int BOOL;
typedef float FLOAT;
typedef char CHAR;
typedef std::int32_t HRESULT;
typedef WORD ATOM;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef std::uintptr_t WPARAM;
typedef std::intptr_t LPARAM;
typedef std::intptr_t LRESULT;
typedef BYTE* PBYTE;
typedef BYTE* LPBYTE;
typedef DWORD* LPDWORD;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

struct HWND__;
typedef HWND__* HWND;
struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
struct HDC__;
typedef HDC__* HDC;
struct HICON__;
typedef HICON__* HICON;
typedef HICON HCURSOR;
struct HBRUSH__;
typedef HBRUSH__* HBRUSH;
struct HMENU__;
typedef HMENU__* HMENU;
typedef void* HANDLE;

// ---------------------------------------------------------------------------
// Results
// ---------------------------------------------------------------------------
#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_FAIL ((HRESULT)0x80004005)
#define E_INVALIDARG ((HRESULT)0x80070057)
#define E_OUTOFMEMORY ((HRESULT)0x8007000E)
#define E_NOTIMPL ((HRESULT)0x80004001)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

#define MAX_PATH 260

// ---------------------------------------------------------------------------
// Records
// ---------------------------------------------------------------------------
struct POINT {
    LONG x;
    LONG y;
};
typedef POINT* LPPOINT;

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
typedef RECT* LPRECT;
typedef const RECT* LPCRECT;

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};
typedef MSG* LPMSG;

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);

struct WNDCLASSEXA {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
    HICON hIconSm;
};

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};
typedef SYSTEMTIME* LPSYSTEMTIME;

// ---------------------------------------------------------------------------
// Constants
// ---------------------------------------------------------------------------
#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_SIZE 0x0005
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_SYSKEYDOWN 0x0104
#define WM_SYSKEYUP 0x0105
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_USER 0x0400

#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001

#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define CS_OWNDC 0x0020
#define CS_CLASSDC 0x0040

#define WS_OVERLAPPED 0x00000000L
#define WS_CAPTION 0x00C00000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_VISIBLE 0x10000000L
#define WS_OVERLAPPEDWINDOW \
    (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5
#define SW_SHOWDEFAULT 10

#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_ICONERROR 0x00000010L
#define MB_ICONWARNING 0x00000030L
#define MB_ICONINFORMATION 0x00000040L
#define IDOK 1
#define IDCANCEL 2

#define LOGPIXELSX 88
#define LOGPIXELSY 90

// DrawText formats
#define DT_TOP 0x00000000
#define DT_LEFT 0x00000000
#define DT_CENTER 0x00000001
#define DT_RIGHT 0x00000002
#define DT_VCENTER 0x00000004
#define DT_BOTTOM 0x00000008
#define DT_WORDBREAK 0x00000010
#define DT_SINGLELINE 0x00000020
#define DT_NOCLIP 0x00000100
#define DT_CALCRECT 0x00000400

// GDI font constants used by D3DXCreateFont
#define FW_NORMAL 400
#define FW_BOLD 700
#define DEFAULT_CHARSET 1
#define OUT_DEFAULT_PRECIS 0
#define DEFAULT_QUALITY 0
#define DEFAULT_PITCH 0
#define FF_DONTCARE 0

// Virtual-key codes
#define VK_LBUTTON 0x01
#define VK_RBUTTON 0x02
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_PAUSE 0x13
#define VK_CAPITAL 0x14
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_SNAPSHOT 0x2C
#define VK_INSERT 0x2D
#define VK_DELETE 0x2E
// '0'..'9' are 0x30..0x39, 'A'..'Z' are 0x41..0x5A
#define VK_LWIN 0x5B
#define VK_RWIN 0x5C
#define VK_APPS 0x5D
#define VK_NUMPAD0 0x60
#define VK_NUMPAD1 0x61
#define VK_NUMPAD2 0x62
#define VK_NUMPAD3 0x63
#define VK_NUMPAD4 0x64
#define VK_NUMPAD5 0x65
#define VK_NUMPAD6 0x66
#define VK_NUMPAD7 0x67
#define VK_NUMPAD8 0x68
#define VK_NUMPAD9 0x69
#define VK_MULTIPLY 0x6A
#define VK_ADD 0x6B
#define VK_SUBTRACT 0x6D
#define VK_DECIMAL 0x6E
#define VK_DIVIDE 0x6F
#define VK_F1 0x70
#define VK_F12 0x7B
#define VK_F13 0x7C
#define VK_F24 0x87
#define VK_NUMLOCK 0x90
#define VK_SCROLL 0x91
#define VK_LSHIFT 0xA0
#define VK_RSHIFT 0xA1
#define VK_LCONTROL 0xA2
#define VK_RCONTROL 0xA3
#define VK_LMENU 0xA4
#define VK_RMENU 0xA5
#define VK_OEM_1 0xBA  // ;:
#define VK_OEM_PLUS 0xBB
#define VK_OEM_COMMA 0xBC
#define VK_OEM_MINUS 0xBD
#define VK_OEM_PERIOD 0xBE
#define VK_OEM_2 0xBF  // /?
#define VK_OEM_3 0xC0  // `~
#define VK_OEM_4 0xDB  // [{
#define VK_OEM_5 0xDC  // \|
#define VK_OEM_6 0xDD  // ]}
#define VK_OEM_7 0xDE  // '"
#define VK_OEM_102 0xE2

// Mouse-button flags in wParam of mouse messages
#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002

// ---------------------------------------------------------------------------
// Kernel
// ---------------------------------------------------------------------------
HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName);
// Copies the working directory (Windows-1251) into the buffer; returns its length,
// or the size needed (terminator included) when the buffer is too small.
DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer);
// Makes a folder the working directory; the path (Windows-1251) is read the
// way Open_File reads one. FALSE when there is no such folder.
BOOL WINAPI SetCurrentDirectoryA(LPCSTR lpPathName);
void WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime);
int WINAPI MulDiv(int nNumber, int nNumerator, int nDenominator);
int WINAPI lstrlenA(LPCSTR lpString);

// Multimedia timer: milliseconds since an arbitrary start, wrapping at 2^32.
DWORD WINAPI timeGetTime(void);

// ---------------------------------------------------------------------------
// User interface
// ---------------------------------------------------------------------------
ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* lpwcx);
BOOL WINAPI UnregisterClassA(LPCSTR lpClassName, HINSTANCE hInstance);
HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle,
                            int X, int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                            HINSTANCE hInstance, LPVOID lpParam);
BOOL WINAPI DestroyWindow(HWND hWnd);
BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow);
BOOL WINAPI UpdateWindow(HWND hWnd);
BOOL WINAPI IsWindow(HWND hWnd);
BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect);
// Grows a client rectangle by the window frame, giving the outer rectangle
// to pass to CreateWindowExA. Every window has the same frame here, whatever
// its style.
BOOL WINAPI AdjustWindowRect(LPRECT lpRect, DWORD dwStyle, BOOL bMenu);

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                         UINT wRemoveMsg);
BOOL WINAPI TranslateMessage(const MSG* lpMsg);
LRESULT WINAPI DispatchMessageA(const MSG* lpMsg);
LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
void WINAPI PostQuitMessage(int nExitCode);

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType);

HDC WINAPI GetDC(HWND hWnd);
int WINAPI ReleaseDC(HWND hWnd, HDC hDC);
int WINAPI GetDeviceCaps(HDC hdc, int index);
BOOL WINAPI SetRect(LPRECT lprc, int xLeft, int yTop, int xRight, int yBottom);

BOOL WINAPI GetKeyboardState(PBYTE lpKeyState);
BOOL WINAPI GetCursorPos(LPPOINT lpPoint);
BOOL WINAPI ScreenToClient(HWND hWnd, LPPOINT lpPoint);

// ---------------------------------------------------------------------------
// Linux additions: not part of Win32. The program's entry (main) and the tests
// use them; engine code uses only Open_File.
// ---------------------------------------------------------------------------

// The C runtime's fopen with Windows semantics: '\' and '/' both separate, a
// path component that does not exist as written is matched case-insensitively,
// the name is Windows-1251 and converted for the file system, and text mode
// ("t" or no "b" in the mode) writes "\r\n" for "\n" and reads "\r\n" as "\n".
// The result is an ordinary FILE* to use with fgets, fputs, fprintf, fclose.
FILE* Open_File(const char* path, const char* mode);

// Resolves a Windows-style path to the file system path Open_File would use
// (UTF-8, '/' separated, case-insensitive components matched). Returns false
// when the result would not fit into the buffer.
bool Platform_Resolve_Path(const char* path, char* out, std::size_t out_size);

// Converts Windows-1251 text to UTF-8 (and back) for the edges of the system.
void Platform_Cp1251_To_Utf8(const char* text, char* out, std::size_t out_size);
void Platform_Utf8_To_Cp1251(const char* text, char* out, std::size_t out_size);

// Chooses windowed or headless operation. Call once before anything else;
// without a call the platform tries a display and falls back to headless with
// a note on stderr. Returns true when the platform runs headless.
bool Platform_Init(bool force_headless);
bool Platform_Is_Headless(void);
void Platform_Shutdown(void);

// Watching a folder tree (the --watch option). Platform_Watch_Folder starts
// watching the folder and every folder below it, also those made later;
// null when it cannot. Platform_Next_Folder_Change takes one file whose save
// has finished and seen no further write, rename or close for quiet_ms
// milliseconds: its path below the folder as Platform_Resolve_Path writes
// paths (UTF-8, '/' separated). Several writes and renames in a row are one
// change, reported once the last of them is quiet. False when there is none
// now; it never waits. No file is read or polled: the kernel reports events.
HANDLE Platform_Watch_Folder(const char* path);
bool Platform_Next_Folder_Change(HANDLE watch, DWORD quiet_ms, char* path, std::size_t size);
void Platform_Close_Watch(HANDLE watch);

// From now on SIGINT and SIGTERM close the main window as its close box does
// (windowed runs already do; this makes headless runs do the same).
void Platform_Close_On_Signal(void);

// Message boxes: with a hook set, MessageBoxA calls the hook instead of showing
// anything and returns what the hook returns (used by --check and the tests).
typedef int (*Platform_Message_Box_Hook)(const char* text, const char* caption, UINT type);
// Returns the hook it replaces.
Platform_Message_Box_Hook Platform_Set_Message_Box_Hook(Platform_Message_Box_Hook hook);
