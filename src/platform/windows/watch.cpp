// Watching a folder tree for files whose saving has finished, on
// ReadDirectoryChangesW (the --watch option).
//
// Windows reports writes, creations and renames but not a writer's close. A
// file counts as saved once quiet_ms have passed since its last event and no
// program holds it open for writing any more (it can be opened without
// sharing write access); as on Linux, a save made of several writes, renames
// or truncations is one change, reported once. A file removed or renamed away
// is forgotten. Every folder of the tree is watched, also those made later.
#include "windows_internal.h"

#include <chrono>
#include <cstring>
#include <map>
#include <utility>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD k_filter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                           FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE |
                           FILE_NOTIFY_CHANGE_CREATION;
// A tree deeper than this is not followed further (a link loop, a mistake).
constexpr int k_max_depth = 16;

// One folder of the tree, watched on its own (not with bWatchSubtree, which
// Wine does not implement; on Windows it would do the same).
struct Watched_Folder {
    std::wstring relative;  // below the root, "" for the root, '\\' separated
    HANDLE handle = INVALID_HANDLE_VALUE;
    OVERLAPPED overlapped{};
    bool reading = false;
    std::vector<unsigned char> buffer = std::vector<unsigned char>(16 * 1024);  // DWORD-aligned
};

class Folder_Watch {
public:
    explicit Folder_Watch(std::wstring root) : root_(std::move(root)) {}
    ~Folder_Watch() {
        for (auto& folder : folders_) {
            CancelIo(folder->handle);
            DWORD ignored = 0;
            if (folder->reading)
                GetOverlappedResult(folder->handle, &folder->overlapped, &ignored, TRUE);
            CloseHandle(folder->handle);
            if (folder->overlapped.hEvent != nullptr) CloseHandle(folder->overlapped.hEvent);
        }
    }
    Folder_Watch(const Folder_Watch&) = delete;
    Folder_Watch& operator=(const Folder_Watch&) = delete;

    bool Start() { return Add_Tree(L"", 0); }

    bool Next(DWORD quiet_ms, char* path, std::size_t size) {
        Drain();
        const auto now = Clock::now();
        const auto quiet = std::chrono::milliseconds(quiet_ms);
        for (auto it = pending_.begin(); it != pending_.end(); ++it) {
            if (now - it->second < quiet) continue;
            const std::wstring full = root_ + L"\\" + it->first;
            const DWORD attributes = GetFileAttributesW(full.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
                pending_.erase(it);  // gone again, or a folder: nothing to report
                return false;
            }
            if (Held_For_Writing(full)) continue;  // still being written
            std::string name = Windows_Narrow(it->first.c_str(), CP_UTF8);
            for (char& c : name)
                if (c == '\\') c = '/';
            pending_.erase(it);
            if (name.size() + 1 > size) return false;  // a name no caller could hold: dropped
            std::memcpy(path, name.c_str(), name.size() + 1);
            return true;
        }
        return false;
    }

private:
    // Watches `relative` and every folder in it; false when the folder itself
    // cannot be watched.
    bool Add_Tree(const std::wstring& relative, int depth) {
        if (depth > k_max_depth) return true;
        const std::wstring full = relative.empty() ? root_ : root_ + L"\\" + relative;
        auto folder = std::make_unique<Watched_Folder>();
        folder->relative = relative;
        folder->handle =
            CreateFileW(full.c_str(), FILE_LIST_DIRECTORY,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
        if (folder->handle == INVALID_HANDLE_VALUE) return false;
        folder->overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (folder->overlapped.hEvent == nullptr || !Read(*folder)) {
            if (folder->overlapped.hEvent != nullptr) CloseHandle(folder->overlapped.hEvent);
            CloseHandle(folder->handle);
            return false;
        }
        folders_.push_back(std::move(folder));
        WIN32_FIND_DATAW found;
        const HANDLE find = FindFirstFileW((full + L"\\*").c_str(), &found);
        if (find == INVALID_HANDLE_VALUE) return true;
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L".." ||
                !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
                (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                continue;
            Add_Tree(relative.empty() ? name : relative + L"\\" + name, depth + 1);
        } while (FindNextFileW(find, &found));
        FindClose(find);
        return true;
    }

    static bool Read(Watched_Folder& folder) {
        ResetEvent(folder.overlapped.hEvent);
        folder.reading = ReadDirectoryChangesW(folder.handle, folder.buffer.data(),
                                               static_cast<DWORD>(folder.buffer.size()), FALSE,
                                               k_filter, nullptr, &folder.overlapped, nullptr) != 0;
        return folder.reading;
    }

    // Takes every report that has come in, without waiting.
    void Drain() {
        // Folders added while draining are drained next time.
        const std::size_t count = folders_.size();
        for (std::size_t i = 0; i < count; ++i) {
            Watched_Folder& folder = *folders_[i];
            while (folder.reading) {
                DWORD got = 0;
                if (!GetOverlappedResult(folder.handle, &folder.overlapped, &got, FALSE)) {
                    if (GetLastError() != ERROR_IO_INCOMPLETE) folder.reading = false;
                    break;  // nothing more for now
                }
                folder.reading = false;
                std::vector<std::pair<DWORD, std::wstring>> events;
                for (std::size_t at = 0; got > 0 && at < got;) {
                    const auto* info =
                        reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(folder.buffer.data() + at);
                    const std::wstring name(info->FileName, info->FileNameLength / sizeof(WCHAR));
                    events.emplace_back(info->Action, folder.relative.empty()
                                                          ? name
                                                          : folder.relative + L"\\" + name);
                    if (info->NextEntryOffset == 0) break;
                    at += info->NextEntryOffset;
                }
                Read(folder);
                for (const auto& [action, relative] : events) Handle(action, relative);
            }
        }
    }

    void Handle(DWORD action, const std::wstring& relative) {
        switch (action) {
        case FILE_ACTION_REMOVED:
        case FILE_ACTION_RENAMED_OLD_NAME: pending_.erase(relative); break;
        case FILE_ACTION_ADDED:
        case FILE_ACTION_RENAMED_NEW_NAME: {
            // A folder made or moved in later is watched too, from when the
            // watch learns of it on.
            const DWORD attributes = GetFileAttributesW((root_ + L"\\" + relative).c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
                Add_Tree(relative, Depth(relative));
                break;
            }
            pending_[relative] = Clock::now();
            break;
        }
        case FILE_ACTION_MODIFIED: pending_[relative] = Clock::now(); break;
        default: break;
        }
    }

    static int Depth(const std::wstring& relative) {
        int depth = 1;
        for (wchar_t c : relative) depth += c == L'\\';
        return depth;
    }

    // Whether a program has the file open for writing: then it cannot be
    // opened without sharing write access.
    static bool Held_For_Writing(const std::wstring& full) {
        const HANDLE file = CreateFileW(full.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_SHARING_VIOLATION;
        CloseHandle(file);
        return false;
    }

    std::wstring root_;
    std::vector<std::unique_ptr<Watched_Folder>> folders_;
    std::map<std::wstring, Clock::time_point> pending_;  // file below the root -> last event
};

}  // namespace

HANDLE Platform_Watch_Folder(const char* path) {
    if (path == nullptr) return nullptr;
    std::wstring root = Windows_Wide(path, 1251);
    if (root.empty()) root = L".";
    auto watch = std::make_unique<Folder_Watch>(root);
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
