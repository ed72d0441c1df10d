// File access with Windows semantics: either slash separates, components are
// found regardless of case, names are Windows-1251, and text mode turns line
// ends into CR LF pairs on disk.
#include "win32_internal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

bool Same_Ignoring_Case(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Win32_Fold_Cp1251(static_cast<unsigned char>(a[i])) !=
            Win32_Fold_Cp1251(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// The entry of `dir` whose name equals `name_cp1251` ignoring case; the
// smallest such name when several do, so the choice does not depend on the
// order of the directory. Empty when none does.
std::string Find_Entry(const std::string& dir, const std::string& name_cp1251) {
    std::unique_ptr<DIR, int (*)(DIR*)> handle(opendir(dir.empty() ? "." : dir.c_str()), closedir);
    if (!handle) {
        return {};
    }
    std::string best;
    while (dirent* entry = readdir(handle.get())) {
        const std::string utf8 = entry->d_name;
        if (Same_Ignoring_Case(Win32_To_Cp1251(utf8.c_str()), name_cp1251) &&
            Win32_To_Utf8(Win32_To_Cp1251(utf8.c_str()).c_str()) == utf8) {
            if (best.empty() || utf8 < best) {
                best = utf8;
            }
        }
    }
    return best;
}

std::string Join(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    if (dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

// The path with every component converted and, when `search` is set, a
// component that does not exist as given replaced by the entry that matches
// it ignoring case (the rest is taken as given once one matches nothing).
std::string Resolve_Components(const char* path, bool search) {
    const std::string text = path;
    const bool absolute = !text.empty() && (text[0] == '\\' || text[0] == '/');
    // A leading separator names the root of "the current drive".
    std::string resolved(absolute ? 1 : 0, '/');
    std::size_t pos = 0;
    bool searching = search;  // once a component is missing, the rest is taken as given
    while (pos <= text.size()) {
        std::size_t end = text.find_first_of("\\/", pos);
        if (end == std::string::npos) end = text.size();
        const std::string component = text.substr(pos, end - pos);
        pos = end + 1;
        if (component.empty()) {
            continue;
        }
        const std::string as_given = Win32_To_Utf8(component.c_str());
        std::string chosen = as_given;
        if (searching && component != "." && component != ".." &&
            !Exists(Join(resolved, as_given))) {
            const std::string found = Find_Entry(resolved, component);
            if (found.empty()) {
                searching = false;
            } else {
                chosen = found;
            }
        }
        resolved = Join(resolved, chosen);
    }
    if (!text.empty() && (text.back() == '\\' || text.back() == '/') && resolved.back() != '/') {
        resolved += '/';
    }
    return resolved;
}

std::string Resolve(const char* path) {
    // Most paths name an existing file exactly as given: then every component
    // exists as given too, and one look-up replaces one per component.
    std::string given = Resolve_Components(path, false);
    if (Exists(given)) return given;
    return Resolve_Components(path, true);
}

struct Mode {
    int flags = 0;
    bool text = true;
    const char* stdio = "r";  // for fopen / fopencookie, without t or b
};

bool Parse_Mode(const char* mode, Mode* out) {
    if (mode == nullptr || mode[0] == '\0') {
        return false;
    }
    bool plus = false;
    bool seen_t = false;
    bool seen_b = false;
    for (const char* p = mode + 1; *p; ++p) {
        switch (*p) {
        case '+':
            if (plus) return false;
            plus = true;
            break;
        case 't':
            if (seen_t || seen_b) return false;
            seen_t = true;
            break;
        case 'b':
            if (seen_t || seen_b) return false;
            seen_b = true;
            break;
        default: return false;
        }
    }
    out->text = !seen_b;
    switch (mode[0]) {
    case 'r':
        out->flags = plus ? O_RDWR : O_RDONLY;
        out->stdio = plus ? "r+" : "r";
        break;
    case 'w':
        out->flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC;
        out->stdio = plus ? "w+" : "w";
        break;
    case 'a':
        out->flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
        out->stdio = plus ? "a+" : "a";
        break;
    default: return false;
    }
    return true;
}

// Text-mode stream: the FILE* the caller gets buffers translated text; this
// cookie translates between it and the raw bytes of the descriptor.
struct Text_File {
    int fd = -1;
    int pending = -1;  // a byte read ahead after a CR, not yet handed out
    // A stream opened only for reading ends where the file ended when it was
    // opened, even if something keeps appending to it; -1 for no such end.
    off64_t end = -1;
    bool ctrl_z = false;  // a Ctrl-Z was met: nothing more until a seek
};

constexpr char k_ctrl_z = 0x1A;

ssize_t Read_Retrying(int fd, char* buf, size_t size) {
    ssize_t n;
    do {
        n = read(fd, buf, size);
    } while (n < 0 && errno == EINTR);
    return n;
}

// Bytes the descriptor may still give out: at most `want`, and no more than
// is left before the stream's end.
size_t Readable(const Text_File* file, size_t want) {
    if (file->end < 0) {
        return want;
    }
    const off64_t at = lseek64(file->fd, 0, SEEK_CUR);
    if (at < 0 || at >= file->end) {
        return 0;
    }
    return static_cast<size_t>(std::min<off64_t>(file->end - at, static_cast<off64_t>(want)));
}

ssize_t Text_Read(void* cookie, char* buf, size_t size) {
    auto* file = static_cast<Text_File*>(cookie);
    if (size == 0 || file->ctrl_z) {
        return 0;
    }
    size_t n = 0;
    if (file->pending >= 0) {
        buf[n++] = static_cast<char>(file->pending);
        file->pending = -1;
    }
    const size_t want = Readable(file, size - n);
    const ssize_t got = want == 0 ? 0 : Read_Retrying(file->fd, buf + n, want);
    if (got < 0 && n == 0) {
        return -1;
    }
    n += got > 0 ? static_cast<size_t>(got) : 0;
    if (n == 0) {
        return 0;
    }
    // Windows text mode takes Ctrl-Z as the end of the text: what follows
    // it is never handed out.
    const void* stop = std::memchr(buf, k_ctrl_z, n);
    if (stop != nullptr) {
        n = static_cast<size_t>(static_cast<const char*>(stop) - buf);
        file->ctrl_z = true;
        if (n == 0) {
            return 0;
        }
    }
    size_t out = 0;
    for (size_t i = 0; i < n; ++i) {
        if (buf[i] == '\r' && i + 1 < n && buf[i + 1] == '\n') {
            continue;
        }
        buf[out++] = buf[i];
    }
    // A CR at the end of the chunk needs the next byte to decide; works on
    // pipes too, so the byte is kept rather than sought back.
    if (buf[n - 1] == '\r' && !file->ctrl_z) {
        char next = 0;
        if (Readable(file, 1) == 1 && Read_Retrying(file->fd, &next, 1) == 1) {
            if (next == '\n') {
                buf[out - 1] = '\n';
            } else {
                file->pending = static_cast<unsigned char>(next);
            }
        }
    }
    return static_cast<ssize_t>(out);
}

ssize_t Text_Write(void* cookie, const char* buf, size_t size) {
    auto* file = static_cast<Text_File*>(cookie);
    std::string raw;
    raw.reserve(size + size / 8 + 1);
    for (size_t i = 0; i < size; ++i) {
        if (buf[i] == '\n') {
            raw += '\r';
        }
        raw += buf[i];
    }
    std::size_t done = 0;
    while (done < raw.size()) {
        const ssize_t n = write(file->fd, raw.data() + done, raw.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return 0;
        }
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(size);
}

int Text_Seek(void* cookie, off64_t* offset, int whence) {
    auto* file = static_cast<Text_File*>(cookie);
    // The descriptor is one byte ahead while a byte is held back.
    const off64_t ahead = file->pending >= 0 ? 1 : 0;
    const off64_t result =
        lseek64(file->fd, whence == SEEK_CUR ? *offset - ahead : *offset, whence);
    if (result < 0) {
        return -1;
    }
    file->pending = -1;
    file->ctrl_z = false;
    *offset = result;
    return 0;
}

int Text_Close(void* cookie) {
    std::unique_ptr<Text_File> file(static_cast<Text_File*>(cookie));
    return close(file->fd);
}

}  // namespace

bool Platform_Resolve_Path(const char* path, char* out, std::size_t out_size) {
    if (path == nullptr || out == nullptr || out_size == 0) {
        return false;
    }
    const std::string resolved = Resolve(path);
    if (resolved.size() + 1 > out_size) {
        out[0] = '\0';
        return false;
    }
    std::memcpy(out, resolved.c_str(), resolved.size() + 1);
    return true;
}

FILE* Open_File(const char* path, const char* mode) {
    Mode parsed;
    if (path == nullptr || path[0] == '\0' || !Parse_Mode(mode, &parsed)) {
        errno = path == nullptr || path[0] == '\0' ? ENOENT : EINVAL;
        return nullptr;
    }
    // Only regular files are files here. A FIFO would block the open until a
    // writer came and a device such as /dev/zero never ends, so anything else
    // fails as a missing file does; O_NONBLOCK keeps the open itself from
    // waiting, and is dropped again once the file is known to be regular.
    const int extra = O_CLOEXEC | O_NONBLOCK;
    // Most paths name an existing file exactly as given (a log reopened for
    // every line, say): that is opened at once, and the folders are searched
    // ignoring case only when it is not there.
    int fd = open(Resolve_Components(path, false).c_str(), (parsed.flags & ~O_CREAT) | extra);
    if (fd < 0) fd = open(Resolve(path).c_str(), parsed.flags | extra, 0666);
    if (fd < 0) {
        if (errno == ENXIO) errno = ENOENT;  // a FIFO opened for writing with no reader
        return nullptr;
    }
    struct stat st {};
    // O_APPEND is the only status flag of ours that F_SETFL keeps.
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        fcntl(fd, F_SETFL, parsed.flags & O_APPEND) != 0) {
        // Windows cannot open a directory as a file either.
        const int why = S_ISDIR(st.st_mode) ? EISDIR : ENOENT;
        close(fd);
        errno = why;
        return nullptr;
    }
    if (!parsed.text) {
        FILE* file = fdopen(fd, parsed.stdio);
        if (file == nullptr) {
            close(fd);
        }
        return file;
    }
    auto cookie = std::make_unique<Text_File>();
    cookie->fd = fd;
    if ((parsed.flags & O_ACCMODE) == O_RDONLY) {
        cookie->end = st.st_size;
    }
    const cookie_io_functions_t functions{Text_Read, Text_Write, Text_Seek, Text_Close};
    FILE* file = fopencookie(cookie.get(), parsed.stdio, functions);
    if (file == nullptr) {
        close(fd);
        return nullptr;
    }
    cookie.release();  // owned by the stream now; Text_Close frees it
    return file;
}

DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
    std::vector<char> buffer(4096);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() > (1u << 20)) {
            return 0;
        }
        buffer.resize(buffer.size() * 2);
    }
    const std::string cp1251 = Win32_To_Cp1251(buffer.data());
    const DWORD needed = static_cast<DWORD>(cp1251.size() + 1);
    if (lpBuffer == nullptr || nBufferLength < needed) {
        return needed;
    }
    std::memcpy(lpBuffer, cp1251.c_str(), needed);
    return needed - 1;
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR lpPathName) {
    if (lpPathName == nullptr || lpPathName[0] == '\0') {
        return FALSE;
    }
    return chdir(Resolve(lpPathName).c_str()) == 0 ? TRUE : FALSE;
}
