// Running the Windows build (build-windows/, scripts/windows.sh) under Wine
// beside the Linux build, for the tests of tests/windows.
//
// scripts/windows.sh sets the environment these read: QM_WINDOWS_BUILD (the
// Windows build folder), QM_WINE (the wine64 loader), WINEPREFIX (a prefix
// with the window metrics of our Linux frame), LANG and LOCPATH (a Russian
// locale, so that Wine's ANSI code page is Windows-1251 as on the engine's
// home systems) and DISPLAY (Xvfb).
#pragma once

#include <string>
#include <vector>

#include "support/process.h"

// The Windows build folder; empty when the tests were not started by
// scripts/windows.sh.
std::string Windows_Build();

// Runs a program of the Windows build (a path below it, e.g.
// "src/quillmoor.exe") under Wine in a folder.
Process_Result Run_Wine(const std::string& program, const std::vector<std::string>& args,
                        const std::string& folder, int timeout_seconds = 300);

// Text lines without '\r'.
std::vector<std::string> Lines(const std::string& text);

// A log file's lines (Windows-1251, "\r\n"), each with its |HH:MM:SS:mmm| and
// |DATE=...| |TIME=...| stamps blanked.
std::vector<std::string> Log_Lines_Without_Times(const std::string& path);

// Copies the sample game folder to `to` and takes the effect lists out of its
// level ([shader] lines), so every object draws without an effect.
void Copy_Sample_Without_Effect_Lists(const std::string& to);

// How much two pictures differ over a rectangle: the mean absolute channel
// difference (of 255) and the share of pixels whose channels are all within
// `near` of each other.
struct Picture_Difference {
    double Mean = 0;
    double Share_Near = 0;
};
Picture_Difference Compare_Pictures(const Png_Image& a, const Png_Image& b, int x0, int y0, int x1,
                                    int y1, int near = 24);
