// Hooks for tests of the engine's input and timing without a display. Only
// tests include this; the engine and the platform's other users never do.
#pragma once

#include "platform/win32.h"

// Sets the key state that GetKeyboardState reports and the global cursor
// position that GetCursorPos reports.
void Platform_Set_Key_State(int virtual_key, bool held);
void Platform_Set_Cursor_Pos(int screen_x, int screen_y);
void Platform_Set_Time(DWORD milliseconds);  // freezes timeGetTime at a value
void Platform_Release_Time(void);            // back to the real clock
