// Shared by the Windows implementations of the Linux additions. They call the
// real Win32 and D3DX functions, so the names platform/win32.h and d3dx9.h map
// for the engine are the system's own again here.
#pragma once

#include <string>

#include "platform/d3dx9.h"

#undef CreateWindowExA
#undef ShowWindow
#undef MessageBoxA
#undef D3DXCreateEffectFromFileA
#undef Direct3DCreate9

// Conversions between Windows-1251, UTF-16 and UTF-8.
std::wstring Windows_Wide(const char* text, UINT code_page);
std::string Windows_Narrow(const wchar_t* text, UINT code_page);
std::string Windows_Utf8_Of_Cp1251(const char* text);

// The main window (the first top-level window the engine made), for the
// console control handler; null before there is one.
HWND Windows_Main_Window(void);

// Releases the copy of the last presented frame (and with it the device's
// last reference, once the engine has released its own).
void Windows_Release_Frame(void);
