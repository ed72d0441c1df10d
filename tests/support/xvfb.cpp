#include "support/xvfb.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int k_start_timeout_ms = 15000;
constexpr int k_stop_timeout_ms = 5000;

long Now_Ms() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000L + ts.tv_nsec / 1000000L;
}

// Waits for the child, escalating to SIGKILL when it ignores SIGTERM.
void Stop(pid_t pid) {
    kill(pid, SIGTERM);
    const long deadline = Now_Ms() + k_stop_timeout_ms;
    while (Now_Ms() < deadline) {
        const pid_t r = waitpid(pid, nullptr, WNOHANG);
        if (r == pid || (r < 0 && errno != EINTR)) {
            return;
        }
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

}  // namespace

Xvfb_Session::Xvfb_Session(int width, int height) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        return;
    }
    // The write end must survive exec: Xvfb writes its display number there.
    const int child_fd = fcntl(fds[1], F_DUPFD, 3);
    close(fds[1]);
    if (child_fd < 0) {
        close(fds[0]);
        error_ = std::string("dup: ") + std::strerror(errno);
        return;
    }

    const std::string fd_text = std::to_string(child_fd);
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    std::vector<std::string> args = {"Xvfb", "-displayfd", fd_text, "-screen", "0",
                                     screen, "-nolisten",  "tcp",   "-noreset"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    // fork rather than posix_spawn: the server must die with a test process
    // that crashes, which only the child can ask for (PR_SET_PDEATHSIG).
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(127);
        const int null_fd = open("/dev/null", O_RDWR);
        if (null_fd >= 0) {
            dup2(null_fd, 0);
            dup2(null_fd, 1);
            dup2(null_fd, 2);
            if (null_fd > 2) close(null_fd);
        }
        execvp("Xvfb", argv.data());
        _exit(127);
    }
    close(child_fd);
    if (pid < 0) {
        close(fds[0]);
        error_ = std::string("cannot start Xvfb: ") + std::strerror(errno);
        return;
    }
    pid_ = pid;

    // Xvfb writes "N\n" once it accepts connections.
    std::string number;
    const long deadline = Now_Ms() + k_start_timeout_ms;
    for (;;) {
        const long left = deadline - Now_Ms();
        if (left <= 0) {
            error_ = "Xvfb did not report a display in time";
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) continue;
        char buf[32];
        const ssize_t n = read(fds[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error_ = "Xvfb exited before reporting a display";
            break;
        }
        number.append(buf, static_cast<std::size_t>(n));
        if (number.find('\n') != std::string::npos) {
            number.resize(number.find('\n'));
            break;
        }
    }
    close(fds[0]);
    if (!error_.empty() || number.empty()) {
        if (error_.empty()) error_ = "Xvfb reported no display";
        Stop(pid_);
        pid_ = -1;
        return;
    }
    display_ = ":" + number;
}

Xvfb_Session::~Xvfb_Session() {
    if (pid_ > 0) {
        Stop(pid_);
    }
}

Scoped_Display::Scoped_Display(const char* display) {
    if (const char* old = std::getenv("DISPLAY")) {
        had_value_ = true;
        old_value_ = old;
    }
    setenv("DISPLAY", display, 1);
}

Scoped_Display::~Scoped_Display() {
    if (had_value_) {
        setenv("DISPLAY", old_value_.c_str(), 1);
    } else {
        unsetenv("DISPLAY");
    }
}
