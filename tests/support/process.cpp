#include "support/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern "C" {
unsigned char* stbi_load(const char* filename, int* x, int* y, int* comp, int req_comp);
void stbi_image_free(void* data);
}

extern char** environ;

namespace fs = std::filesystem;

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Make_Environment(const Process_Options& options) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        std::string name = entry.substr(0, entry.find('='));
        bool drop = false;
        for (const std::string& unset : options.Unset) drop = drop || unset == name;
        for (const std::string& extra : options.Environment)
            drop = drop || extra.substr(0, extra.find('=')) == name;
        if (!drop) env.push_back(entry);
    }
    for (const std::string& extra : options.Environment) env.push_back(extra);
    return env;
}

}  // namespace

Running_Process::Running_Process(const std::vector<std::string>& argv,
                                 const Process_Options& options) {
    char out_template[] = "/tmp/quillmoor-out-XXXXXX";
    char err_template[] = "/tmp/quillmoor-err-XXXXXX";
    out_fd_ = mkstemp(out_template);
    err_fd_ = mkstemp(err_template);
    out_path_ = out_template;
    err_path_ = err_template;

    std::vector<std::string> env = Make_Environment(options);
    std::vector<char*> env_ptrs;
    for (std::string& e : env) env_ptrs.push_back(e.data());
    env_ptrs.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> arg_ptrs;
    for (std::string& a : args) arg_ptrs.push_back(a.data());
    arg_ptrs.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out_fd_, 1);
    posix_spawn_file_actions_adddup2(&actions, err_fd_, 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (!options.Working_Dir.empty())
        posix_spawn_file_actions_addchdir_np(&actions, options.Working_Dir.c_str());
    // The child inherits the limit; this process has it only until the
    // child is started.
    rlimit saved{};
    const bool limited = options.Address_Space_Limit > 0 && getrlimit(RLIMIT_AS, &saved) == 0;
    if (limited) {
        rlimit lowered = saved;
        lowered.rlim_cur = rlim_t(options.Address_Space_Limit);
        setrlimit(RLIMIT_AS, &lowered);
    }
    if (posix_spawn(&pid_, arg_ptrs[0], &actions, nullptr, arg_ptrs.data(), env_ptrs.data()) != 0)
        pid_ = -1;
    if (limited) setrlimit(RLIMIT_AS, &saved);
    posix_spawn_file_actions_destroy(&actions);
}

Running_Process::~Running_Process() {
    if (pid_ > 0 && !reaped_) {
        Kill();
        waitpid(pid_, &status_, 0);
    }
    if (out_fd_ >= 0) close(out_fd_);
    if (err_fd_ >= 0) close(err_fd_);
    unlink(out_path_.c_str());
    unlink(err_path_.c_str());
}

bool Running_Process::Exited(int* exit_code) {
    if (pid_ <= 0) return true;
    if (!reaped_) {
        if (waitpid(pid_, &status_, WNOHANG) != pid_) return false;
        reaped_ = true;
    }
    if (exit_code) *exit_code = WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    return true;
}

void Running_Process::Kill() {
    if (pid_ > 0 && !reaped_) kill(pid_, SIGKILL);
}

void Running_Process::Terminate() {
    if (pid_ > 0 && !reaped_) kill(pid_, SIGTERM);
}

void Running_Process::Interrupt() {
    if (pid_ > 0 && !reaped_) kill(pid_, SIGINT);
}

std::string Running_Process::Err_So_Far() const {
    return Slurp(err_path_);
}

Process_Result Running_Process::Wait(int timeout_seconds) {
    Process_Result result;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
    int code = -1;
    while (!Exited(&code)) {
        if (std::chrono::steady_clock::now() > deadline) {
            result.Timed_Out = true;
            Kill();
            waitpid(pid_, &status_, 0);
            reaped_ = true;
            code = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    result.Exit_Code = code;
    result.Out = Slurp(out_path_);
    result.Err = Slurp(err_path_);
    return result;
}

Process_Result Run_Process(const std::vector<std::string>& argv, const Process_Options& options) {
    Running_Process process(argv, options);
    if (!process.Started()) return {};
    return process.Wait(options.Timeout_Seconds);
}

std::string Quillmoor_Binary() {
    return QM_BINARY;
}
std::string Source_Dir() {
    return QM_SOURCE_DIR;
}

void Copy_Tree(const std::string& from, const std::string& to) {
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

unsigned Png_Image::Pixel(int x, int y) const {
    const unsigned char* p = &Rgba[(static_cast<std::size_t>(y) * Width + x) * 4];
    return (unsigned(p[3]) << 24) | (unsigned(p[0]) << 16) | (unsigned(p[1]) << 8) | p[2];
}

Png_Image Read_Png(const std::string& path) {
    Png_Image image;
    int w = 0, h = 0, channels = 0;
    unsigned char* data = stbi_load(path.c_str(), &w, &h, &channels, 4);
    if (!data) return image;
    image.Width = w;
    image.Height = h;
    image.Rgba.assign(data, data + static_cast<std::size_t>(w) * h * 4);
    stbi_image_free(data);
    return image;
}
