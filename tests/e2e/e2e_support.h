// Shared pieces of the end-to-end tests: a private game folder, the binary,
// a private X server and xdotool.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"

// A copy of the sample game folder (or an empty folder) in a temporary place.
class Game_Folder {
public:
    explicit Game_Folder(bool with_sample_data);
    const std::string& Path() const { return dir_.Path(); }
    void Write(const std::string& relative, const std::string& bytes) const {
        dir_.Write(relative, bytes);
    }
    std::string Read(const std::string& relative) const { return dir_.Read(relative); }
    bool Exists(const std::string& relative) const { return dir_.Exists(relative); }
    std::vector<std::string> Log_Lines(const std::string& name) const;

private:
    Temp_Dir dir_{false};
};

// Runs the binary headless in a folder, with extra NAME=VALUE environment
// entries if given.
Process_Result Run_Headless(const Game_Folder& folder, std::vector<std::string> args,
                            int timeout_seconds = 120, std::vector<std::string> environment = {});

// The binary running windowed on a private X server.
class Windowed_Run {
public:
    Windowed_Run(const Game_Folder& folder, std::vector<std::string> args);
    bool Ok() const { return ok_; }
    const std::string& Why() const { return why_; }
    const std::string& Window() const { return window_; }  // X window id
    const char* Display() const { return xvfb_.Display(); }
    // Runs xdotool with these arguments on this display; true on success.
    bool Xdotool(const std::vector<std::string>& args, std::string* out = nullptr);
    // Runs any X client (xwininfo, xprop) on this display.
    Process_Result X_Client(const std::vector<std::string>& argv);
    Process_Result Wait(int timeout_seconds = 60) { return process_->Wait(timeout_seconds); }
    bool Exited() { return process_->Exited(nullptr); }
    std::string Err_So_Far() const { return process_->Err_So_Far(); }

private:
    Xvfb_Session xvfb_;
    std::unique_ptr<Running_Process> process_;
    std::string window_;
    bool ok_ = false;
    std::string why_;
};

// Waits until the window has shown `frames` more frames: the overlay's
// timer row (uptime in milliseconds) looks different in every frame the
// program presents, so each change seen is at least one new frame. Input
// sent after this has returned arrives between frames the program draws,
// however slow the machine is. False on timeout.
bool Wait_For_Frames(Windowed_Run& run, int frames, int timeout_seconds = 120);

// Sends the window manager's close request (WM_DELETE_WINDOW) to a window.
bool Send_Close_Request(const char* display, const std::string& window_id);

// What the program shows at its edges (window title, stdout, stderr) is UTF-8,
// while this file's plain literals compile to Windows-1251 like the engine's.
std::string Utf8(const char8_t* text);

// The final camera printed by --frames runs: "camera pos (x, y, z) look (x, y, z)".
bool Parse_Camera(const std::string& out, float pos[3], float look[3]);
