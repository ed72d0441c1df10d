// Watching a folder tree for files whose saving has finished, on
// ReadDirectoryChangesW (the --watch option).
//
// Windows reports writes, creations and renames but not a writer's close. A
// file counts as saved once quiet_ms have passed since its last event and no
// program holds it open for writing any more (it can be opened without
// sharing write access); as on Linux, a save made of several writes, renames
// or truncations is one change, reported once. A file removed or renamed away
// is forgotten. Subfolders, also those made later, are watched with the tree.
#include "windows_internal.h"

#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD k_filter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                           FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE |
                           FILE_NOTIFY_CHANGE_CREATION;

class Folder_Watch {
public:
    explicit Folder_Watch(std::wstring root) : root_(std::move(root)), buffer_(64 * 1024) {}
    ~Folder_Watch() {
        if (folder_ != INVALID_HANDLE_VALUE) {
            CancelIo(folder_);
            DWORD ignored = 0;
            if (reading_) GetOverlappedResult(folder_, &overlapped_, &ignored, TRUE);
            CloseHandle(folder_);
        }
        if (overlapped_.hEvent != nullptr) CloseHandle(overlapped_.hEvent);
    }
    Folder_Watch(const Folder_Watch&) = delete;
    Folder_Watch& operator=(const Folder_Watch&) = delete;

    bool Start() {
        folder_ = CreateFileW(root_.c_str(), FILE_LIST_DIRECTORY,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED,
                              nullptr);
        if (folder_ == INVALID_HANDLE_VALUE) return false;
        overlapped_.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        return overlapped_.hEvent != nullptr && Read();
    }

    bool Next(DWORD quiet_ms, char* path, std::size_t size) {
        Drain();
        const auto now = Clock::now();
        const auto quiet = std::chrono::milliseconds(quiet_ms);
        for (auto it = pending_.begin(); it != pending_.end(); ++it) {
            if (now - it->second < quiet) continue;
            const std::wstring full = root_ + L"\\" + it->first;
            const DWORD attributes = GetFileAttributesW(full.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES ||
                (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
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
    bool Read() {
        ResetEvent(overlapped_.hEvent);
        reading_ = ReadDirectoryChangesW(folder_, buffer_.data(), static_cast<DWORD>(buffer_.size()),
                                         TRUE, k_filter, nullptr, &overlapped_, nullptr) != 0;
        return reading_;
    }

    // Takes every report that has come in, without waiting.
    void Drain() {
        while (reading_) {
            DWORD got = 0;
            if (!GetOverlappedResult(folder_, &overlapped_, &got, FALSE)) {
                if (GetLastError() == ERROR_IO_INCOMPLETE) return;  // nothing more for now
                reading_ = false;
                return;
            }
            reading_ = false;
            std::size_t at = 0;
            while (got > 0 && at < got) {
                const auto* info =
                    reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(buffer_.data() + at);
                Handle(info->Action,
                       std::wstring(info->FileName, info->FileNameLength / sizeof(WCHAR)));
                if (info->NextEntryOffset == 0) break;
                at += info->NextEntryOffset;
            }
            Read();
        }
    }

    void Handle(DWORD action, const std::wstring& name) {
        switch (action) {
        case FILE_ACTION_REMOVED:
        case FILE_ACTION_RENAMED_OLD_NAME: pending_.erase(name); break;
        case FILE_ACTION_ADDED:
        case FILE_ACTION_MODIFIED:
        case FILE_ACTION_RENAMED_NEW_NAME: pending_[name] = Clock::now(); break;
        default: break;
        }
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
    HANDLE folder_ = INVALID_HANDLE_VALUE;
    OVERLAPPED overlapped_{};
    bool reading_ = false;
    std::vector<unsigned char> buffer_;  // DWORD-aligned by the allocator
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
