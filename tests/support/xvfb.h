// A private X server for one test: starts Xvfb on a display number the server
// picks itself (so parallel tests never collide), stops it on destruction.
// Sets nothing globally: pass Display() to child processes as DISPLAY, or
// setenv it yourself (Scoped_Display does that and restores the old value).
#pragma once

#include <sys/types.h>

#include <string>

class Xvfb_Session {
public:
    explicit Xvfb_Session(int width = 1280, int height = 1024);
    ~Xvfb_Session();
    Xvfb_Session(const Xvfb_Session&) = delete;
    Xvfb_Session& operator=(const Xvfb_Session&) = delete;

    // ":N", or "" when the server did not start.
    const char* Display() const { return display_.c_str(); }
    bool Ok() const { return pid_ > 0 && !display_.empty(); }
    // Why the server did not start, for test messages.
    const std::string& Error() const { return error_; }

private:
    pid_t pid_ = -1;
    std::string display_;
    std::string error_;
};

// Points DISPLAY at a display for the lifetime of the object.
class Scoped_Display {
public:
    explicit Scoped_Display(const char* display);
    ~Scoped_Display();
    Scoped_Display(const Scoped_Display&) = delete;
    Scoped_Display& operator=(const Scoped_Display&) = delete;

private:
    bool had_value_ = false;
    std::string old_value_;
};
