// The Linux additions on Windows: the same declarations, with the same
// meaning, as in src/platform/win32.h and d3d9.h (read those for the details);
// here they are implemented on Win32 (src/platform/windows). Included by this
// folder's win32.h, d3d9.h and d3dx9.h, never by engine code directly.
#pragma once

#include <cstddef>
#include <cstdio>

#include <windows.h>

// The C runtime's fopen for Windows-1251 names (whatever the system's code
// page), so the engine's paths name the same files as on Linux.
FILE* Open_File(const char* path, const char* mode);

// The path as the folder watch reports it: UTF-8, '/' separated, each
// component spelt as it is on disk.
bool Platform_Resolve_Path(const char* path, char* out, std::size_t out_size);

void Platform_Cp1251_To_Utf8(const char* text, char* out, std::size_t out_size);
void Platform_Utf8_To_Cp1251(const char* text, char* out, std::size_t out_size);

// Headless on Windows: the main window is made hidden, and message boxes
// are lines `caption: text` on stderr.
bool Platform_Init(bool force_headless);
bool Platform_Is_Headless(void);
void Platform_Shutdown(void);

// ReadDirectoryChangesW, with the same quiet rule.
HANDLE Platform_Watch_Folder(const char* path);
bool Platform_Next_Folder_Change(HANDLE watch, DWORD quiet_ms, char* path, std::size_t size);
void Platform_Close_Watch(HANDLE watch);

// Ctrl-C, Ctrl-Break and closing the console close the main window as its
// close box does.
void Platform_Close_On_Signal(void);

typedef int (*Platform_Message_Box_Hook)(const char* text, const char* caption, UINT type);
Platform_Message_Box_Hook Platform_Set_Message_Box_Hook(Platform_Message_Box_Hook hook);

// The Win32 calls whose behaviour the additions change, as the engine's
// calls reach them (win32.h maps the names): the window the engine makes is
// hidden when headless and its ShowWindow does nothing then; MessageBoxA
// goes to the hook, or to stderr when headless, or shows the Windows-1251
// text as such.
HWND WINAPI Platform_CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR window_name,
                                     DWORD style, int x, int y, int width, int height, HWND parent,
                                     HMENU menu, HINSTANCE instance, LPVOID param);
BOOL WINAPI Platform_ShowWindow(HWND window, int show);
int WINAPI Platform_MessageBoxA(HWND window, LPCSTR text, LPCSTR caption, UINT type);
