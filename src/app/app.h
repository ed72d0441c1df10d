// The entry, the main loop, the window procedure and teardown.
#pragma once

#include <cstdio>

#include "platform/win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show);
LRESULT CALLBACK Main_Window_Proc(HWND window, UINT message, WPARAM w_param, LPARAM l_param);
void Release_Device_Objects();
// One pass of the main loop when no message is waiting: the frame time since
// the last pass, mouse look, keyboard movement, then the frame itself.
void App_Idle_Pass();

extern const char Main_Window_Class[];
extern const char Main_Window_Title[];

// Command-line additions for Linux users. Without arguments the program runs
// exactly as it always has.
struct App_Options {
    const char* Dir;         // --dir: change to this folder first
    bool Headless;           // --headless
    long Frames;             // --frames: idle passes before quitting; -1 = run until told
    const char* Screenshot;  // --screenshot: PNG of the last presented frame at exit
    bool Dump_Scene;         // --dump-scene: print the loaded scene as JSON and exit
    bool Check;              // --check: load everything, list every problem
    bool Watch;              // --watch: reload what is saved while running
    float Walk;              // --walk: scene units the camera moves along its look each frame
};
extern App_Options Main_Options;

// Parses the options. Returns 0 to run, 1 when the program should exit with
// status 0 at once (--help, --version), 2 on a bad option (message on err).
int App_Parse_Options(int argc, char** argv, App_Options* options, FILE* out, FILE* err);

// Problems collected in --check mode (message boxes and the like).
void App_Report_Problem(const char* caption, const char* text);
int App_Problem_Count();

// Writes the screenshot asked for with --screenshot, once, while the device exists.
void App_Save_Screenshot();
// With --watch: the screenshot again, of the frame just presented after a
// reload (written beside and renamed into place, so a reader never sees half).
void App_Save_Reload_Screenshot();
