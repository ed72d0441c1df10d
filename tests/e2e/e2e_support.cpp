#include "e2e_support.h"

#include "x11_frames.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

Game_Folder::Game_Folder(bool with_sample_data) {
    if (with_sample_data) Copy_Tree(Source_Dir() + "/data", dir_.Path());
}

std::vector<std::string> Game_Folder::Log_Lines(const std::string& name) const {
    return Split_Crlf_Lines(dir_.Read(name));
}

Process_Result Run_Headless(const Game_Folder& folder, std::vector<std::string> args,
                            int timeout_seconds, std::vector<std::string> environment) {
    args.insert(args.begin(), Quillmoor_Binary());
    args.push_back("--headless");
    Process_Options options;
    options.Working_Dir = folder.Path();
    options.Unset = {"DISPLAY", "WAYLAND_DISPLAY"};
    options.Timeout_Seconds = timeout_seconds;
    options.Environment = std::move(environment);
    return Run_Process(args, options);
}

Windowed_Run::Windowed_Run(const Game_Folder& folder, std::vector<std::string> args) {
    if (!xvfb_.Ok()) {
        why_ = "Xvfb did not start: " + xvfb_.Error();
        return;
    }
    args.insert(args.begin(), Quillmoor_Binary());
    Process_Options options;
    options.Working_Dir = folder.Path();
    options.Environment = {std::string("DISPLAY=") + xvfb_.Display()};
    options.Unset = {"WAYLAND_DISPLAY"};
    process_ = std::make_unique<Running_Process>(args, options);
    if (!process_->Started()) {
        why_ = "the binary did not start";
        return;
    }
    // The window appears once the device and the first loading frame exist.
    for (int attempt = 0; attempt < 300 && window_.empty(); ++attempt) {
        std::string out;
        if (Xdotool({"search", "--name", "Quillmoor"}, &out)) {
            window_ = out.substr(0, out.find('\n'));
            break;
        }
        if (process_->Exited(nullptr)) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (window_.empty()) {
        why_ = "no window appeared";
        return;
    }
    ok_ = true;
}

bool Windowed_Run::Xdotool(const std::vector<std::string>& args, std::string* out) {
    std::vector<std::string> argv = {"/usr/bin/xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    Process_Result r = X_Client(argv);
    if (out) *out = r.Out;
    return r.Exit_Code == 0;
}

Process_Result Windowed_Run::X_Client(const std::vector<std::string>& argv) {
    Process_Options options;
    options.Environment = {std::string("DISPLAY=") + xvfb_.Display()};
    options.Timeout_Seconds = 20;
    return Run_Process(argv, options);
}

bool Send_Close_Request(const char* display_name, const std::string& window_id) {
    Display* display = XOpenDisplay(display_name);
    if (!display) return false;
    Window window = static_cast<Window>(std::strtoul(window_id.c_str(), nullptr, 0));
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    Status sent = XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
    XCloseDisplay(display);
    return sent != 0;
}

std::string Utf8(const char8_t* text) {
    return reinterpret_cast<const char*>(text);
}

bool Parse_Camera(const std::string& out, float pos[3], float look[3]) {
    std::size_t at = out.find("camera pos (");
    if (at == std::string::npos) return false;
    return std::sscanf(out.c_str() + at, "camera pos (%f, %f, %f) look (%f, %f, %f)", &pos[0],
                       &pos[1], &pos[2], &look[0], &look[1], &look[2]) == 6;
}

bool Wait_For_Frames(Windowed_Run& run, int frames, int timeout_seconds) {
    // The value of the timer row: "таймер времени работы(мс):" at (10, 65),
    // its value from x = 250.
    const int x = 250, y = 65, width = 120, height = 12;
    std::uint64_t last = 0;
    if (!X11_Region_Hash(run.Display(), run.Window(), x, y, width, height, &last)) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
    int seen = 0;
    while (seen < frames) {
        if (std::chrono::steady_clock::now() > deadline || run.Exited()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::uint64_t now = 0;
        if (!X11_Region_Hash(run.Display(), run.Window(), x, y, width, height, &now)) return false;
        if (now != last) ++seen;
        last = now;
    }
    return true;
}
