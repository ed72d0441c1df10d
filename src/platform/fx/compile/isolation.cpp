// The forked compile worker: see isolation.h.
#include "platform/fx/compile/isolation.h"

#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <exception>

#if defined(__SANITIZE_ADDRESS__)
#define QM_FX_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QM_FX_UNDER_ASAN 1
#endif
#endif

namespace qm_fx {

namespace {

Compile_Child_Hook g_hook = nullptr;

// Tag of a reply frame from the worker: the handler's bytes, or the text of
// an exception it threw.
constexpr char k_result_tag = 'R';
constexpr char k_exception_tag = 'X';

// Bytes of address space this process has mapped now (from /proc).
std::uint64_t Mapped_Bytes() {
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return 0;
    unsigned long long pages = 0;
    const int got = std::fscanf(f, "%llu", &pages);
    std::fclose(f);
    return got == 1 ? pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE)) : 0;
}

bool Send_All(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        // MSG_NOSIGNAL: a dead peer is an error result, not SIGPIPE.
        const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// One frame on the socket: a tag byte, a 32-bit length, the bytes.
bool Send_Frame(int fd, char tag, const std::string& bytes) {
    char head[5];
    head[0] = tag;
    const std::uint32_t n = static_cast<std::uint32_t>(bytes.size());
    std::memcpy(head + 1, &n, sizeof n);
    return Send_All(fd, head, sizeof head) && Send_All(fd, bytes.data(), bytes.size());
}

// The worker's side: blocking reads, no time limit (the parent keeps time).
bool Receive_All(int fd, char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = recv(fd, data, size, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

[[noreturn]] void Worker_Main(int fd, const Isolation_Limits& limits, std::uint64_t mapped,
                              void (*warm_up)()) {
    // A crash here must end this process quietly, not run the parent's
    // handlers or write a core file the size of the engine. It ends when
    // the engine closes its end of the socket (or exits).
    for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) std::signal(sig, SIG_DFL);
    std::signal(SIGPIPE, SIG_IGN);
    rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
#ifndef QM_FX_UNDER_ASAN
    if (limits.extra_address_space > 0 && mapped > 0) {
        const rlim_t cap = static_cast<rlim_t>(mapped + limits.extra_address_space);
        rlimit as{cap, cap};
        setrlimit(RLIMIT_AS, &as);
    }
#else
    (void)limits;
    (void)mapped;
#endif
    if (warm_up) {
        try {
            warm_up();
        } catch (const std::exception&) {
            // The first request meets the same trouble and reports it.
        }
    }
    for (;;) {
        char head[5];
        if (!Receive_All(fd, head, sizeof head)) break;  // the engine closed its end
        std::uint32_t n = 0;
        std::memcpy(&n, head + 1, sizeof n);
        // The handler comes first: a forked child has the parent's code at
        // the same addresses, so one worker serves every kind of request.
        Worker_Handler handler = nullptr;
        if (n < sizeof handler ||
            !Receive_All(fd, reinterpret_cast<char*>(&handler), sizeof handler))
            break;
        std::string request(n - sizeof handler, '\0');
        if (!Receive_All(fd, request.data(), request.size())) break;
        char tag = k_result_tag;
        std::string out;
        try {
            if (g_hook) g_hook();
            out = handler(request);
        } catch (const std::bad_alloc&) {
            tag = k_exception_tag;
            out = "out of memory";
        } catch (const std::exception& e) {
            tag = k_exception_tag;
            out = e.what();
        }
        if (!Send_Frame(fd, tag, out)) break;
    }
    close(fd);
    _exit(0);
}

Isolated_Result In_Process(Worker_Handler handler, const std::string& request) {
    Isolated_Result r;
    try {
        r.bytes = handler(request);
        r.ok = true;
    } catch (const std::exception& e) {
        r.failure = std::string("the shader compiler failed: ") + e.what();
    }
    return r;
}

struct Worker {
    pid_t pid = -1;
    int fd = -1;
};

Worker g_worker;
std::uint64_t g_starts = 0;
std::uint64_t g_failures = 0;

bool Start_Worker(const Isolation_Limits& limits, void (*warm_up)()) {
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return false;
    const std::uint64_t mapped = Mapped_Bytes();
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return false;
    }
    if (pid == 0) {
        close(fds[0]);
        Worker_Main(fds[1], limits, mapped, warm_up);
    }
    close(fds[1]);
    g_worker = Worker{pid, fds[0]};
    ++g_starts;
    return true;
}

// Reads exactly `size` bytes by the deadline; false on time-out or end.
bool Receive_By(int fd, char* data, std::size_t size,
                std::chrono::steady_clock::time_point deadline, bool* timed_out) {
    using Clock = std::chrono::steady_clock;
    while (size > 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            *timed_out = true;
            return false;
        }
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
        if (ready < 0 && errno != EINTR) return false;
        if (ready <= 0) continue;
        const ssize_t n = recv(fd, data, size, MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Ends the worker and says how it ended (for the message).
std::string End_Worker(bool kill_it) {
    if (g_worker.pid < 0) return {};
    close(g_worker.fd);
    if (kill_it) kill(g_worker.pid, SIGKILL);
    int status = 0;
    while (waitpid(g_worker.pid, &status, 0) < 0 && errno == EINTR) {}
    g_worker = Worker{};
    if (WIFSIGNALED(status) && !kill_it) {
        const int sig = WTERMSIG(status);
        const char* name = strsignal(sig);
        return "signal " + std::to_string(sig) + (name ? std::string(", ") + name : std::string());
    }
    return {};
}

}  // namespace

Compile_Child_Hook Get_Compile_Child_Hook() {
    return g_hook;
}

Isolation_Limits& Compile_Limits() {
    static Isolation_Limits limits = [] {
        Isolation_Limits l;
        if (const char* ms = std::getenv("QM_FX_COMPILE_TIMEOUT_MS")) {
            const long v = std::strtol(ms, nullptr, 10);
            if (v > 0) l.time = std::chrono::milliseconds(v);
        }
        return l;
    }();
    return limits;
}

void Stop_Worker() {
    End_Worker(true);
}

bool Start_Worker_Now(const Isolation_Limits& limits, void (*warm_up)()) {
    return g_worker.pid >= 0 || Start_Worker(limits, warm_up);
}

bool Worker_Running() {
    return g_worker.pid >= 0;
}

std::uint64_t Worker_Start_Count() {
    return g_starts;
}

std::uint64_t Worker_Failure_Count() {
    return g_failures;
}

Isolated_Result Run_In_Worker(Worker_Handler handler, const std::string& request,
                              const Isolation_Limits& limits) {
    // A worker that ended between requests (killed from outside) is replaced
    // quietly; only a death during a request fails that request.
    int status = 0;
    if (g_worker.pid >= 0 && waitpid(g_worker.pid, &status, WNOHANG) == g_worker.pid) {
        close(g_worker.fd);
        g_worker = Worker{};
    }
    if (g_worker.pid < 0 && !Start_Worker(limits, nullptr)) return In_Process(handler, request);

    Isolated_Result r;
    const auto deadline = std::chrono::steady_clock::now() + limits.time;
    bool timed_out = false;
    char head[5];
    std::string frame(sizeof handler, '\0');
    std::memcpy(frame.data(), &handler, sizeof handler);
    frame += request;
    if (Send_Frame(g_worker.fd, 'Q', frame) &&
        Receive_By(g_worker.fd, head, sizeof head, deadline, &timed_out)) {
        std::uint32_t n = 0;
        std::memcpy(&n, head + 1, sizeof n);
        std::string bytes(n, '\0');
        if (Receive_By(g_worker.fd, bytes.data(), n, deadline, &timed_out)) {
            if (head[0] == k_result_tag) {
                r.ok = true;
                r.bytes = std::move(bytes);
            } else {
                r.failure = "the shader compiler failed: " + bytes;
            }
            return r;
        }
    }
    ++g_failures;
    if (timed_out) {
        End_Worker(true);
        r.failure = "the shader compiler did not finish within " +
                    std::to_string(limits.time.count()) + " ms";
        return r;
    }
    const std::string how = End_Worker(false);
    r.failure = how.empty() ? "the shader compiler stopped without a result"
                            : "the shader compiler crashed (" + how + ")";
    return r;
}

void Set_Compile_Child_Hook(Compile_Child_Hook hook) {
    g_hook = hook;
    Stop_Worker();
}
}  // namespace qm_fx
