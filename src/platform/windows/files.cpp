// Open_File and Platform_Resolve_Path on Windows: the file system already
// takes both separators and ignores case, so only the names' code page
// (Windows-1251, whatever the system's) needs care.
#include "windows_internal.h"

#include <cstring>

FILE* Open_File(const char* path, const char* mode) {
    if (path == nullptr || path[0] == '\0' || mode == nullptr) return nullptr;
    const std::wstring wide_path = Windows_Wide(path, 1251);
    const std::wstring wide_mode = Windows_Wide(mode, CP_ACP);
    // Only regular files are files, as on Linux (a folder, a device name such
    // as NUL or CON are not).
    const DWORD attributes = GetFileAttributesW(wide_path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)))
        return nullptr;
    if (attributes == INVALID_FILE_ATTRIBUTES && mode[0] == 'r') return nullptr;
    return _wfopen(wide_path.c_str(), wide_mode.c_str());
}

bool Platform_Resolve_Path(const char* path, char* out, std::size_t out_size) {
    if (path == nullptr || out == nullptr || out_size == 0) return false;
    const std::string text = path;
    const bool absolute = !text.empty() && (text[0] == '\\' || text[0] == '/');
    std::string resolved_utf8 = absolute ? "/" : "";
    std::wstring on_disk = absolute ? L"\\" : L"";  // the path so far, for the look-ups
    bool searching = true;  // once a component is missing, the rest is taken as given
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find_first_of("\\/", pos);
        if (end == std::string::npos) end = text.size();
        const std::string component = text.substr(pos, end - pos);
        pos = end + 1;
        if (component.empty()) continue;
        std::wstring chosen = Windows_Wide(component.c_str(), 1251);
        // Drive names, "." and ".." stay as given; so does a name with
        // wildcards, which the look-up would take as a pattern.
        const bool plain = component != "." && component != ".." && component.back() != ':' &&
                           component.find_first_of("*?") == std::string::npos;
        if (searching && plain) {
            // The component as spelt on disk.
            WIN32_FIND_DATAW found;
            const std::wstring look_up = on_disk + chosen;
            const HANDLE find = FindFirstFileW(look_up.c_str(), &found);
            if (find == INVALID_HANDLE_VALUE) {
                searching = false;
            } else {
                FindClose(find);
                chosen = found.cFileName;
            }
        }
        on_disk += chosen + L"\\";
        if (!resolved_utf8.empty() && resolved_utf8.back() != '/') resolved_utf8 += '/';
        resolved_utf8 += Windows_Narrow(chosen.c_str(), CP_UTF8);
    }
    if (resolved_utf8.size() + 1 > out_size) {
        out[0] = '\0';
        return false;
    }
    std::memcpy(out, resolved_utf8.c_str(), resolved_utf8.size() + 1);
    return true;
}
