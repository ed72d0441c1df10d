// Windows-1251 <-> UTF-8 through the system's own conversions
// (MultiByteToWideChar and WideCharToMultiByte), whatever the system code page.
#include "windows_internal.h"

#include <algorithm>
#include <cstring>

std::wstring Windows_Wide(const char* text, UINT code_page) {
    if (text == nullptr || text[0] == '\0') return {};
    const int n = MultiByteToWideChar(code_page, 0, text, -1, nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(code_page, 0, text, -1, wide.data(), n);
    wide.resize(static_cast<std::size_t>(n - 1));
    return wide;
}

std::string Windows_Narrow(const wchar_t* text, UINT code_page) {
    if (text == nullptr || text[0] == L'\0') return {};
    // Characters 1251 cannot hold become '?', as on Linux.
    const char* fallback = code_page == CP_UTF8 ? nullptr : "?";
    const int n = WideCharToMultiByte(code_page, 0, text, -1, nullptr, 0, fallback, nullptr);
    if (n <= 0) return {};
    std::string narrow(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(code_page, 0, text, -1, narrow.data(), n, fallback, nullptr);
    narrow.resize(static_cast<std::size_t>(n - 1));
    return narrow;
}

std::string Windows_Utf8_Of_Cp1251(const char* text) {
    return Windows_Narrow(Windows_Wide(text, 1251).c_str(), CP_UTF8);
}

namespace {

// Copies a converted text into a caller's buffer, cutting it at a character
// boundary when it does not fit (as on Linux).
void Copy_Out(const std::string& text, char* out, std::size_t out_size, bool utf8) {
    if (out == nullptr || out_size == 0) return;
    std::size_t n = std::min(text.size(), out_size - 1);
    if (utf8 && n < text.size()) {
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    }
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

}  // namespace

void Platform_Cp1251_To_Utf8(const char* text, char* out, std::size_t out_size) {
    Copy_Out(Windows_Utf8_Of_Cp1251(text), out, out_size, true);
}

void Platform_Utf8_To_Cp1251(const char* text, char* out, std::size_t out_size) {
    Copy_Out(Windows_Narrow(Windows_Wide(text, CP_UTF8).c_str(), 1251), out, out_size, false);
}
