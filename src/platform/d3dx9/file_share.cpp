#include "platform/d3dx9/file_share.h"

#include <sys/stat.h>

#include <string>

#include "platform/win32.h"

bool File_Identity_Of(const char* path, File_Identity* out) {
    if (!path || !out) return false;
    std::string resolved(4096, '\0');
    if (!Platform_Resolve_Path(path, resolved.data(), resolved.size())) return false;
    struct stat info {};
    if (stat(resolved.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    out->device = std::uint64_t(info.st_dev);
    out->inode = std::uint64_t(info.st_ino);
    out->size = std::uint64_t(info.st_size);
    out->modified_ns = std::int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    out->changed_ns = std::int64_t(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    return true;
}
