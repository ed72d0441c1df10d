// Build helper for compilers without -fexec-charset (clang): copies a C++
// source file, writing every non-ASCII character of its plain (narrow)
// string and character literals as octal escapes of its Windows-1251 byte.
// Comments, u8/u/U/L literals and everything else are copied unchanged, so
// the copy compiles to the bytes GCC gives the original with
// -fexec-charset=CP1251.
//
//   qm_cp1251_literals SOURCE COPY
#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace {

bool Is_Ident(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool Is_Digit(char c) {
    return c >= '0' && c <= '9';
}

// Bytes of one UTF-8 character in Windows-1251; false when it has none.
bool To_Cp1251(const std::string& utf8, std::string* out) {
    iconv_t cd = iconv_open("CP1251", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::string in = utf8;
    char buffer[8];
    char* in_ptr = in.data();
    std::size_t in_left = in.size();
    char* out_ptr = buffer;
    std::size_t out_left = sizeof buffer;
    const bool ok =
        iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) != static_cast<std::size_t>(-1) &&
        in_left == 0;
    iconv_close(cd);
    if (ok) out->assign(buffer, static_cast<std::size_t>(out_ptr - buffer));
    return ok;
}

std::size_t Utf8_Length(unsigned char lead) {
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SOURCE COPY\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    const std::string src((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t n = src.size();
    std::string out;
    out.reserve(n + n / 8);
    // Diagnostics and __FILE__ name the original.
    out += "#line 1 \"";
    for (const char* p = argv[1]; *p; ++p) {
        if (*p == '"' || *p == '\\') out += '\\';
        out += *p;
    }
    out += "\"\n";

    int line = 1;
    auto fail = [&](const char* why) {
        std::fprintf(stderr, "%s:%d: %s\n", argv[1], line, why);
        return 1;
    };
    std::size_t i = 0;
    while (i < n) {
        const char c = src[i];
        const char next = i + 1 < n ? src[i + 1] : '\0';
        if (c == '/' && next == '/') {
            const std::size_t end = src.find('\n', i);
            const std::size_t stop = end == std::string::npos ? n : end;
            out.append(src, i, stop - i);
            i = stop;
            continue;
        }
        if (c == '/' && next == '*') {
            const std::size_t end = src.find("*/", i + 2);
            const std::size_t stop = end == std::string::npos ? n : end + 2;
            for (std::size_t k = i; k < stop; ++k) line += src[k] == '\n';
            out.append(src, i, stop - i);
            i = stop;
            continue;
        }
        if (c != '"' && c != '\'') {
            line += c == '\n';
            out += c;
            ++i;
            continue;
        }
        // The identifier right before the quote is the literal's prefix.
        std::size_t p = i;
        while (p > 0 && Is_Ident(src[p - 1])) --p;
        const std::string prefix = src.substr(p, i - p);
        if (c == '\'' && !prefix.empty() && Is_Digit(prefix[0])) {  // 1'000
            out += c;
            ++i;
            continue;
        }
        const bool raw = c == '"' && !prefix.empty() && prefix.back() == 'R';
        const std::string kind = raw ? prefix.substr(0, prefix.size() - 1) : prefix;
        const bool narrow = kind != "u8" && kind != "u" && kind != "U" && kind != "L";
        if (raw) {
            const std::size_t open = src.find('(', i);
            if (open == std::string::npos) return fail("unterminated raw string");
            const std::string close = ")" + src.substr(i + 1, open - i - 1) + "\"";
            const std::size_t end = src.find(close, open);
            if (end == std::string::npos) return fail("unterminated raw string");
            const std::size_t stop = end + close.size();
            for (std::size_t k = i; k < stop; ++k) {
                if (narrow && static_cast<unsigned char>(src[k]) >= 0x80)
                    return fail("non-ASCII text in a raw string cannot be given in Windows-1251");
                line += src[k] == '\n';
            }
            out.append(src, i, stop - i);
            i = stop;
            continue;
        }
        out += c;
        ++i;
        while (i < n && src[i] != c && src[i] != '\n') {
            if (src[i] == '\\' && i + 1 < n) {
                out.append(src, i, 2);
                i += 2;
                continue;
            }
            const unsigned char b = static_cast<unsigned char>(src[i]);
            if (b < 0x80 || !narrow) {
                out += src[i++];
                continue;
            }
            const std::size_t length = Utf8_Length(b);
            std::string bytes;
            if (i + length > n || !To_Cp1251(src.substr(i, length), &bytes))
                return fail("a character of a literal has no Windows-1251 byte");
            for (unsigned char byte : bytes) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\%03o", byte);
                out += escape;
            }
            i += length;
        }
        if (i < n && src[i] == c) out += src[i++];
    }

    const std::filesystem::path target(argv[2]);
    std::error_code ignored;
    std::filesystem::create_directories(target.parent_path(), ignored);
    std::ofstream file(target, std::ios::binary | std::ios::trunc);
    file << out;
    file.close();
    if (!file) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
        return 1;
    }
    return 0;
}
