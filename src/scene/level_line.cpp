#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "scene/level_reader.h"

bool Read_Line(FILE* file, char* line, int max_line) {
    int length = 0;
    int c;
    bool any = false;
    while ((c = std::fgetc(file)) != EOF) {
        any = true;
        if (c == '\n') break;
        // Past the width the rest of the line is dropped, not read as a new line.
        if (length < max_line) line[length++] = static_cast<char>(c);
    }
    line[length] = '\0';
    return any;
}

namespace {

void Copy_Field(char* dest, const char* src, std::size_t length, int max_field) {
    if (length > static_cast<std::size_t>(max_field)) length = static_cast<std::size_t>(max_field);
    std::memcpy(dest, src, length);
    dest[length] = '\0';
}

}  // namespace

void Parse_Level_Line(const char* raw_line, int max_line, int max_field, Level_Line* out) {
    char line[1024];
    std::snprintf(line, sizeof line, "%.*s", max_line, raw_line);
    std::size_t length = std::strlen(line);
    if (length > 0 && line[length - 1] == '\n') line[--length] = '\0';

    // Short lines keep their blanks; longer ones lose every blank and tab.
    if (length > 3) {
        std::size_t write = 0;
        for (std::size_t read = 0; read < length; ++read)
            if (line[read] != ' ' && line[read] != '\t') line[write++] = line[read];
        line[write] = '\0';
        length = write;
    }

    out->Statement = line[0] == '[';
    out->Key[0] = out->Value[0] = '\0';
    if (!out->Statement) return;

    const char* close = std::strchr(line + 1, ']');
    if (!close) {
        // No closing bracket: the rest of the line is the key, the value empty.
        Copy_Field(out->Key, line + 1, length - 1, max_field);
        return;
    }
    Copy_Field(out->Key, line + 1, static_cast<std::size_t>(close - line - 1), max_field);
    std::size_t value_start = static_cast<std::size_t>(close - line) + 1;
    if (std::strcmp(out->Key, "object") != 0 && std::strcmp(out->Key, "/object") != 0)
        ++value_start;  // the separator, whatever character it is
    if (value_start < length)
        Copy_Field(out->Value, line + value_start, length - value_start, max_field);
}

float Level_Float(const char* text) {
    // Optional sign, digits, optional fraction, optional exponent: the longest
    // such prefix counts. Nothing else (no hex, no inf or nan) is a number here.
    const char* p = text;
    if (*p == '+' || *p == '-') ++p;
    const char* digits_start = p;
    while (std::isdigit(static_cast<unsigned char>(*p))) ++p;
    bool have_digits = p != digits_start;
    if (*p == '.') {
        const char* fraction = p + 1;
        const char* q = fraction;
        while (std::isdigit(static_cast<unsigned char>(*q))) ++q;
        if (have_digits || q != fraction) {
            have_digits = true;
            p = q;
        }
    }
    if (!have_digits) return 0.0f;
    if (*p == 'e' || *p == 'E') {
        const char* q = p + 1;
        if (*q == '+' || *q == '-') ++q;
        if (std::isdigit(static_cast<unsigned char>(*q))) {
            while (std::isdigit(static_cast<unsigned char>(*q))) ++q;
            p = q;
        }
    }
    char number[128];
    std::snprintf(number, sizeof number, "%.*s", static_cast<int>(p - text), text);
    // strtof saturates out-of-range values to infinity; keep them finite.
    double value = std::strtod(number, nullptr);
    if (value > 3.0e38) value = 3.0e38;
    if (value < -3.0e38) value = -3.0e38;
    return static_cast<float>(value);
}

int Level_Int(const char* text) {
    const char* p = text;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    long long value = 0;
    bool any = false;
    while (std::isdigit(static_cast<unsigned char>(*p))) {
        any = true;
        // Huge numbers stop growing at the range of the type.
        if (value <= INT_MAX) value = value * 10 + (*p - '0');
        ++p;
    }
    if (!any) return 0;
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}
