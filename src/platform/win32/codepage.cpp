// Windows-1251 <-> UTF-8. The engine's texts are 1251 bytes; the file system,
// SDL and the terminal speak UTF-8. One table, read both ways.
#include "win32_internal.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace {

// Unicode code points of bytes 0x80..0xFF; 0 marks the one unassigned byte.
constexpr std::array<char32_t, 128> k_high_half = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,  // C0
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,  // C8
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,  // D0
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,  // D8
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,  // E0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,  // E8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,  // F0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,  // F8
};

char32_t To_Unicode(unsigned char c) {
    return c < 0x80 ? c : k_high_half[c - 0x80];
}

// Code point -> 1251 byte for the high half, sorted by code point.
using Reverse_Table = std::array<std::pair<char32_t, unsigned char>, 127>;

const Reverse_Table& Reverse() {
    static const Reverse_Table table = [] {
        Reverse_Table t{};
        std::size_t n = 0;
        for (unsigned c = 0x80; c <= 0xFF; ++c) {
            if (k_high_half[c - 0x80] != 0) {
                t[n++] = {k_high_half[c - 0x80], static_cast<unsigned char>(c)};
            }
        }
        std::sort(t.begin(), t.end());
        return t;
    }();
    return table;
}

int From_Unicode(char32_t cp) {
    if (cp < 0x80) {
        return static_cast<int>(cp);
    }
    const Reverse_Table& t = Reverse();
    auto it =
        std::lower_bound(t.begin(), t.end(), std::make_pair(cp, static_cast<unsigned char>(0)));
    if (it != t.end() && it->first == cp) {
        return it->second;
    }
    return -1;
}

// Lower case of the letters 1251 can hold: ASCII, basic Cyrillic and the
// Cyrillic letters of the 0x0400 block.
char32_t Lower(char32_t cp) {
    if (cp >= 'A' && cp <= 'Z') return cp + 0x20;
    if (cp >= 0x0410 && cp <= 0x042F) return cp + 0x20;
    if (cp >= 0x0400 && cp <= 0x040F) return cp + 0x50;
    if (cp == 0x0490) return 0x0491;
    return cp;
}

void Append_Utf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one UTF-8 sequence at s (length n > 0). Returns the bytes used and
// stores the code point, or U+FFFD for a malformed sequence (one byte used).
std::size_t Decode_Utf8(const unsigned char* s, std::size_t n, char32_t* cp) {
    const unsigned char b = s[0];
    std::size_t len;
    char32_t value;
    char32_t min;
    if (b < 0x80) {
        *cp = b;
        return 1;
    } else if ((b & 0xE0) == 0xC0) {
        len = 2;
        value = b & 0x1F;
        min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        len = 3;
        value = b & 0x0F;
        min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
        len = 4;
        value = b & 0x07;
        min = 0x10000;
    } else {
        *cp = 0xFFFD;
        return 1;
    }
    if (len > n) {
        *cp = 0xFFFD;
        return 1;
    }
    for (std::size_t i = 1; i < len; ++i) {
        if ((s[i] & 0xC0) != 0x80) {
            *cp = 0xFFFD;
            return 1;
        }
        value = (value << 6) | (s[i] & 0x3F);
    }
    if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        *cp = 0xFFFD;
        return len;
    }
    *cp = value;
    return len;
}

// Copies a converted text into a caller's buffer, cutting it at a character
// boundary when it does not fit.
void Copy_Out(const std::string& text, char* out, std::size_t out_size, bool utf8) {
    if (out == nullptr || out_size == 0) {
        return;
    }
    std::size_t n = std::min(text.size(), out_size - 1);
    if (utf8 && n < text.size()) {
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) {
            --n;
        }
    }
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

}  // namespace

std::string Win32_To_Utf8(const char* cp1251) {
    std::string out;
    if (cp1251 == nullptr) {
        return out;
    }
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(cp1251); *p; ++p) {
        const char32_t cp = To_Unicode(*p);
        if (cp == 0) {
            out += '?';
        } else {
            Append_Utf8(out, cp);
        }
    }
    return out;
}

std::string Win32_To_Cp1251(const char* utf8) {
    std::string out;
    if (utf8 == nullptr) {
        return out;
    }
    const auto* s = reinterpret_cast<const unsigned char*>(utf8);
    std::size_t n = std::strlen(utf8);
    std::size_t i = 0;
    while (i < n) {
        char32_t cp;
        i += Decode_Utf8(s + i, n - i, &cp);
        const int b = From_Unicode(cp);
        out += b < 0 ? '?' : static_cast<char>(b);
    }
    return out;
}

unsigned char Win32_Fold_Cp1251(unsigned char c) {
    static const std::array<unsigned char, 256> table = [] {
        std::array<unsigned char, 256> t{};
        for (unsigned i = 0; i < 256; ++i) {
            const char32_t cp = To_Unicode(static_cast<unsigned char>(i));
            const int lower = cp == 0 ? -1 : From_Unicode(Lower(cp));
            t[i] = static_cast<unsigned char>(lower < 0 ? i : lower);
        }
        return t;
    }();
    return table[c];
}

void Platform_Cp1251_To_Utf8(const char* text, char* out, std::size_t out_size) {
    Copy_Out(Win32_To_Utf8(text), out, out_size, true);
}

void Platform_Utf8_To_Cp1251(const char* text, char* out, std::size_t out_size) {
    Copy_Out(Win32_To_Cp1251(text), out, out_size, false);
}
