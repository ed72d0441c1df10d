// The engine's Win32 on Windows: the SDK's windows.h, and the Linux additions
// (platform/additions.h) behind the same names as on Linux.
#pragma once

#include <cstdint>
#include <cstdio>

#include <windows.h>
#include <mmsystem.h>  // timeGetTime

#include "platform/additions.h"

// The calls the additions change (see additions.h).
#undef CreateWindowExA
#define CreateWindowExA Platform_CreateWindowExA
#define ShowWindow Platform_ShowWindow
#undef MessageBoxA
#define MessageBoxA Platform_MessageBoxA
