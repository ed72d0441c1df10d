// Runs the real quillmoor binary (or any program) as a child process.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

struct Process_Result {
    int Exit_Code = -1;  // -1 when the process was killed or did not start
    bool Timed_Out = false;
    std::string Out;
    std::string Err;
};

struct Process_Options {
    std::string Working_Dir;               // empty: inherit
    std::vector<std::string> Environment;  // extra NAME=VALUE entries
    std::vector<std::string> Unset;        // names removed from the environment
    int Timeout_Seconds = 120;
    // Above 0: the child's address-space limit in bytes (RLIMIT_AS).
    unsigned long long Address_Space_Limit = 0;
};

// Runs to completion, capturing stdout and stderr.
Process_Result Run_Process(const std::vector<std::string>& argv, const Process_Options& options);

// A process left running while the test drives it (for example with xdotool);
// Wait() collects its output.
class Running_Process {
public:
    Running_Process(const std::vector<std::string>& argv, const Process_Options& options);
    ~Running_Process();
    bool Started() const { return pid_ > 0; }
    bool Exited(int* exit_code);  // without waiting
    Process_Result Wait(int timeout_seconds);
    void Kill();
    void Terminate();                // SIGTERM: asks the program to end
    void Interrupt();                // SIGINT, as Ctrl-C in a terminal
    std::string Err_So_Far() const;  // stderr up to now, while it runs

private:
    pid_t pid_ = -1;
    int out_fd_ = -1;
    int err_fd_ = -1;
    std::string out_path_;
    std::string err_path_;
    bool reaped_ = false;
    int status_ = 0;
};

// The engine binary under test.
std::string Quillmoor_Binary();
// The source tree (for data/ and tests/ files).
std::string Source_Dir();

// Copies a folder tree (used to give each test its own game folder).
void Copy_Tree(const std::string& from, const std::string& to);

// A decoded PNG: 8-bit RGBA, top row first.
struct Png_Image {
    int Width = 0;
    int Height = 0;
    std::vector<unsigned char> Rgba;
    bool Ok() const { return Width > 0; }
    // ARGB word of one pixel.
    unsigned Pixel(int x, int y) const;
};
Png_Image Read_Png(const std::string& path);
