#include "app/settings.h"

#include <cstdio>
#include <cstring>

#include "app/globals.h"

namespace {

struct Setting_Name {
    const char* Name;
    char* Text;
};

// A key matches a name when it is the whole name or a leading part of it.
bool Key_Matches(const char* key, const char* name) {
    std::size_t key_length = std::strlen(key);
    return key_length <= std::strlen(name) && std::strncmp(key, name, key_length) == 0;
}

void Copy_Field(char* dest, const char* src, std::size_t length) {
    if (length > static_cast<std::size_t>(Settings_Field_Width)) length = Settings_Field_Width;
    std::memcpy(dest, src, length);
    dest[length] = '\0';
}

void Process_Settings_Line(char* line) {
    // Blanks and tabs before the last character go; then the line feed.
    std::size_t length = std::strlen(line);
    std::size_t write = 0;
    for (std::size_t read = 0; read < length; ++read) {
        bool last = read + 1 == length;
        if (!last && (line[read] == ' ' || line[read] == '\t')) continue;
        line[write++] = line[read];
    }
    line[write] = '\0';
    if (write > 0 && line[write - 1] == '\n') line[--write] = '\0';

    if (line[0] != '[') return;

    char key[Settings_Field_Width + 1];
    char value[Settings_Field_Width + 1];
    const char* close = std::strchr(line + 1, ']');
    if (close) {
        Copy_Field(key, line + 1, static_cast<std::size_t>(close - (line + 1)));
        // One separator character after the bracket is skipped unseen.
        std::size_t value_start = static_cast<std::size_t>(close - line) + 2;
        if (value_start <= write)
            Copy_Field(value, line + value_start, write - value_start);
        else
            value[0] = '\0';
    } else {
        Copy_Field(key, line + 1, write - 1);
        value[0] = '\0';
    }

    const Setting_Name names[] = {
        {"rezolution", Main_Ini_Rezolution},
        {"CHspeed", Main_Ini_CHspeed},
        {"AAliasing", Main_Ini_AAliasing},
    };
    for (const Setting_Name& name : names) {
        if (Key_Matches(key, name.Name)) {
            std::strcpy(name.Text, value);
            return;
        }
    }
}

}  // namespace

bool Settings_Equal(const char* text, const char* literal) {
    std::size_t length = std::strlen(text);
    for (std::size_t i = 1; i <= length; ++i) {
        if (text[i] != literal[i]) return false;
        if (literal[i] == '\0') return true;  // both ended here
    }
    return true;
}

int Load_Settings() {
    FILE* file = Open_File("ini.txt", "r");
    if (!file) return 0;

    // Lines longer than the format allows are cut at its width; the rest of
    // such a line is dropped rather than read as a line of its own.
    char line[Settings_Line_Width + 2];
    int c = 0;
    while (c != EOF) {
        std::size_t length = 0;
        bool newline = false;
        while ((c = std::fgetc(file)) != EOF) {
            if (c == '\n') {
                newline = true;
                break;
            }
            if (length < static_cast<std::size_t>(Settings_Line_Width))
                line[length++] = static_cast<char>(c);
        }
        if (!newline && length == 0 && c == EOF) break;
        if (newline) line[length++] = '\n';
        line[length] = '\0';
        Process_Settings_Line(line);
    }
    std::fclose(file);
    return 0;
}

int Apply_Settings(int* width, int* height, BYTE* anti_aliasing) {
    *anti_aliasing = 0;
    if (Settings_Equal(Main_Ini_Rezolution, "1024x768")) {
        *width = 1024;
        *height = 768;
    } else if (Settings_Equal(Main_Ini_Rezolution, "800x600")) {
        *width = 800;
        *height = 600;
    } else if (Settings_Equal(Main_Ini_Rezolution, "640x480")) {
        *width = 640;
        *height = 480;
    }
    if (Settings_Equal(Main_Ini_AAliasing, "true") || Settings_Equal(Main_Ini_AAliasing, "TRUE"))
        *anti_aliasing = 1;
    return 0;
}
