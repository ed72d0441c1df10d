// What D3DX loaded from a file, kept for as long as something uses it, so
// that loading the same unchanged file again shares it instead of reading,
// decoding and uploading another copy.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <tuple>

#include "platform/d3dx9.h"

// Which file, in which state: a file written, replaced or touched since has
// another identity.
struct File_Identity {
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t modified_ns = 0, changed_ns = 0;
    auto operator<=>(const File_Identity&) const = default;
};

// The identity of the regular file a Windows-style path names; false for
// anything else (missing, a directory, a pipe, a device).
bool File_Identity_Of(const char* path, File_Identity* out);

// Weak entries by device, file and the options the caller loaded it with.
// An entry lives as long as some object still holds what it names.
template <class T>
class File_Share_Cache {
public:
    std::shared_ptr<T> Find(const void* device, const File_Identity& file, DWORD options) const {
        const auto found = entries_.find(Key{device, file, options});
        return found == entries_.end() ? nullptr : found->second.lock();
    }

    void Remember(const void* device, const File_Identity& file, DWORD options,
                  const std::shared_ptr<T>& value) {
        // Forgotten entries are swept whenever the map has doubled since the
        // last sweep, which keeps the cost per insertion constant.
        if (entries_.size() >= sweep_at_) {
            std::erase_if(entries_, [](const auto& entry) { return entry.second.expired(); });
            sweep_at_ = 2 * entries_.size() + 16;
        }
        entries_[Key{device, file, options}] = value;
    }

private:
    using Key = std::tuple<const void*, File_Identity, DWORD>;
    std::map<Key, std::weak_ptr<T>> entries_;
    std::size_t sweep_at_ = 16;
};
