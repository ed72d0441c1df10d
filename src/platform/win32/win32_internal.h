// Internals shared by the files of the Win32 layer. Nothing outside
// src/platform/win32 (and its tests) includes this.
#pragma once

#include "platform/win32.h"

#include <SDL.h>

#include <cstddef>
#include <string>

// Frame of a Windows-10 style window: the outer size passed to CreateWindowExA
// includes it, the client area (and the SDL window) does not.
inline constexpr int k_frame_left = 8;
inline constexpr int k_frame_right = 8;
inline constexpr int k_frame_top = 31;
inline constexpr int k_frame_bottom = 8;

// The record WM_CREATE points to, laid out as CREATESTRUCTA.
struct Win32_Create_Struct {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCSTR lpszName;
    LPCSTR lpszClass;
    DWORD dwExStyle;
};

// --- platform state (platform.cpp) ---
// Runs Platform_Init(false) once when nothing chose a mode yet.
void Win32_Ensure_Init();
// True when SDL video is up (windowed mode).
bool Win32_Sdl_Video_Ready();

// --- windows (window.cpp) ---
HWND Win32_Window_From_Sdl_Id(Uint32 window_id);
// The window that gets keyboard input SDL could not attribute to a window.
HWND Win32_Fallback_Input_Window();
// Screen position of a window's client origin.
bool Win32_Client_Origin(HWND hwnd, int* x, int* y);
WNDPROC Win32_Window_Proc(HWND hwnd);
// Any SDL window of ours (null when there is none).
SDL_Window* Win32_Any_Sdl_Window();
// Drops every window without sending anything (platform shutdown).
void Win32_Forget_All_Windows();

// --- folder watch and close signals (watch.cpp) ---
// True once after SIGINT or SIGTERM arrived (with Platform_Close_On_Signal).
bool Win32_Take_Close_Signal();

// --- message queue (messages.cpp) ---
void Win32_Post(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
// Moves pending SDL events into the calling thread's message queue.
void Win32_Pump_Sdl_Events();
// Empties the calling thread's queue and quit flag (platform shutdown).
void Win32_Clear_Queue();

// --- input (input.cpp) ---
// Windows virtual-key code of an SDL key; 0 when the key has none.
int Win32_Virtual_Key(SDL_Keycode key, SDL_Scancode scancode);
// The generic code (VK_SHIFT, VK_CONTROL, VK_MENU) of a side-specific
// modifier, or the code itself for any other key.
int Win32_Generic_Virtual_Key(int virtual_key);
// Records a key or button change that the pump saw.
void Win32_Note_Key(int virtual_key, bool held);
void Win32_Note_Cursor(int screen_x, int screen_y);
void Win32_Reset_Input();
POINT Win32_Last_Cursor();
// Asks the X server where the pointer is; false when `window` is not on X11.
bool Win32_Query_X11_Pointer(SDL_Window* window, int* x, int* y);

// --- code page (codepage.cpp) ---
std::string Win32_To_Utf8(const char* cp1251);
std::string Win32_To_Cp1251(const char* utf8);
// Case folding of one Windows-1251 byte (ASCII and Cyrillic letters).
unsigned char Win32_Fold_Cp1251(unsigned char c);
