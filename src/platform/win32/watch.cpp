// Watching a folder tree for files whose writing has finished (inotify), and
// closing like the close box on SIGINT/SIGTERM when asked to.
//
// A file counts as changed when a writer closes it (IN_CLOSE_WRITE) or when it
// is renamed into place (IN_MOVED_TO, the temp-file-then-rename save). Writes
// still in progress (IN_MODIFY with no close yet) hold the report back, and
// every event restarts the file's quiet time, so a save made of several
// writes, truncations or renames is reported once, after it is complete.
//
// When the kernel's event queue overflows, events are lost: the watch then
// walks the tree again and reports every file whose size or modification
// time differs from what it last knew, so no save goes unnoticed.
#include "win32_internal.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t k_dir_events =
    IN_CLOSE_WRITE | IN_MOVED_TO | IN_MODIFY | IN_CREATE | IN_MOVED_FROM | IN_DELETE | IN_ONLYDIR;
// A tree deeper than this is not followed further (a link loop, a mistake).
constexpr int k_max_depth = 16;

struct Pending {
    Clock::time_point last;
    bool complete = false;  // a close-after-write or rename-into-place was seen
};

// What the watch last knew of a file, to find the saves an overflow lost.
struct File_Stamp {
    off_t size = 0;
    struct timespec modified {};
    bool operator==(const File_Stamp& o) const {
        return size == o.size && modified.tv_sec == o.modified.tv_sec &&
               modified.tv_nsec == o.modified.tv_nsec;
    }
};

class Folder_Watch {
public:
    explicit Folder_Watch(std::string root) : root_(std::move(root)) {}
    ~Folder_Watch() {
        if (fd_ >= 0) close(fd_);
    }
    Folder_Watch(const Folder_Watch&) = delete;
    Folder_Watch& operator=(const Folder_Watch&) = delete;

    bool Start() {
        fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fd_ < 0) return false;
        return Add_Tree("", 0);
    }

    bool Next(DWORD quiet_ms, char* path, std::size_t size) {
        Drain();
        const auto now = Clock::now();
        const auto quiet = std::chrono::milliseconds(quiet_ms);
        for (auto it = pending_.begin(); it != pending_.end(); ++it) {
            if (!it->second.complete || now - it->second.last < quiet) continue;
            const std::string& name = it->first;
            if (name.size() + 1 > size) {
                pending_.erase(it);  // a name no caller could hold: dropped
                return false;
            }
            std::memcpy(path, name.c_str(), name.size() + 1);
            Stamp(name);
            pending_.erase(it);
            return true;
        }
        return false;
    }

private:
    // Watches `relative` (below the root; "" for the root) and every folder in it.
    bool Add_Tree(const std::string& relative, int depth) {
        if (depth > k_max_depth) return true;
        const std::string full = relative.empty() ? root_ : root_ + "/" + relative;
        const int wd = inotify_add_watch(fd_, full.c_str(), k_dir_events);
        if (wd < 0) return false;
        folders_[wd] = relative;
        std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(full.c_str()), closedir);
        if (!dir) return true;
        while (dirent* entry = readdir(dir.get())) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..") continue;
            const std::string child = relative.empty() ? name : relative + "/" + name;
            struct stat info {};
            if (lstat((root_ + "/" + child).c_str(), &info) != 0) continue;
            if (S_ISDIR(info.st_mode)) {
                Add_Tree(child, depth + 1);
            } else if (S_ISREG(info.st_mode)) {
                const File_Stamp now{info.st_size, info.st_mtim};
                auto known = stamps_.find(child);
                if (known == stamps_.end()) {
                    stamps_.emplace(child, now);
                    if (rescanning_) Mark_Changed(child);  // made while events were lost
                } else if (!(known->second == now)) {
                    known->second = now;
                    if (rescanning_) Mark_Changed(child);
                }
            }
        }
        return true;
    }

    void Mark_Changed(const std::string& relative) {
        Pending& entry = pending_[relative];
        entry.last = Clock::now();
        entry.complete = true;
    }

    void Stamp(const std::string& relative) {
        struct stat info {};
        if (stat((root_ + "/" + relative).c_str(), &info) == 0)
            stamps_[relative] = File_Stamp{info.st_size, info.st_mtim};
        else
            stamps_.erase(relative);
    }

    // Events were lost: compare the whole tree with what the watch knew.
    void Rescan() {
        rescanning_ = true;
        Add_Tree("", 0);
        rescanning_ = false;
    }

    void Drain() {
        alignas(inotify_event) char buffer[16384];
        for (;;) {
            const ssize_t got = read(fd_, buffer, sizeof buffer);
            if (got <= 0) return;  // EAGAIN: nothing more for now
            for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                at += ssize_t(sizeof(inotify_event)) + event->len;
                Handle(*event);
            }
        }
    }

    void Handle(const inotify_event& event) {
        if (event.mask & IN_Q_OVERFLOW) {
            Rescan();
            return;
        }
        if (event.mask & IN_IGNORED) {
            folders_.erase(event.wd);
            return;
        }
        const auto folder = folders_.find(event.wd);
        if (folder == folders_.end() || event.len == 0) return;
        const std::string name = event.name;
        const std::string relative = folder->second.empty() ? name : folder->second + "/" + name;
        if (event.mask & IN_ISDIR) {
            // A folder made or moved in later is watched too, from when the
            // watch learns of it on.
            if (event.mask & (IN_CREATE | IN_MOVED_TO)) Add_Tree(relative, Depth(relative));
            return;
        }
        if (event.mask & (IN_MOVED_FROM | IN_DELETE)) {
            // Gone (a temporary file renamed over its target): nothing to report.
            pending_.erase(relative);
            stamps_.erase(relative);
            return;
        }
        if (!(event.mask & (IN_CLOSE_WRITE | IN_MOVED_TO | IN_MODIFY))) return;
        Pending& entry = pending_[relative];
        entry.last = Clock::now();
        // A write after the close starts another incomplete save.
        entry.complete = (event.mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) != 0;
    }

    static int Depth(const std::string& relative) {
        int depth = 0;
        for (char c : relative) depth += c == '/';
        return depth + 1;
    }

    std::string root_;
    int fd_ = -1;
    std::map<int, std::string> folders_;        // watch descriptor -> folder below the root
    std::map<std::string, Pending> pending_;    // file below the root -> its last event
    std::map<std::string, File_Stamp> stamps_;  // file below the root -> as last seen
    bool rescanning_ = false;
};

volatile sig_atomic_t g_close_requested = 0;

void On_Close_Signal(int) {
    g_close_requested = 1;
}

}  // namespace

HANDLE Platform_Watch_Folder(const char* path) {
    if (path == nullptr) return nullptr;
    char resolved[4096];
    if (!Platform_Resolve_Path(path, resolved, sizeof resolved)) return nullptr;
    auto watch = std::make_unique<Folder_Watch>(resolved[0] ? resolved : ".");
    if (!watch->Start()) return nullptr;
    return watch.release();
}

bool Platform_Next_Folder_Change(HANDLE watch, DWORD quiet_ms, char* path, std::size_t size) {
    if (watch == nullptr || path == nullptr || size == 0) return false;
    return static_cast<Folder_Watch*>(watch)->Next(quiet_ms, path, size);
}

void Platform_Close_Watch(HANDLE watch) {
    std::unique_ptr<Folder_Watch> owned(static_cast<Folder_Watch*>(watch));
}

void Platform_Close_On_Signal(void) {
    struct sigaction action {};
    action.sa_handler = On_Close_Signal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool Win32_Take_Close_Signal() {
    if (!g_close_requested) return false;
    g_close_requested = 0;
    return true;
}
