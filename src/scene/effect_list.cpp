#include <cstdio>
#include <cstring>

#include "scene/level_reader.h"

namespace {

bool Is(const char* a, const char* b) {
    return std::strcmp(a, b) == 0;
}

}  // namespace

void Load_Effect_List(Main_Level_Entry* entry) {
    FILE* file = Open_File(entry->Shader, "r");
    if (!file) {
        MessageBoxA(nullptr, entry->Shader, "ERROR", MB_ICONWARNING);
        return;
    }

    // The current values carry over from block to block; they are set once.
    char path[Scene_Text_Size] = "";
    char technique[Scene_Text_Size] = "standart";
    char type[Scene_Text_Size] = "Microsoft";
    bool in_block = false;
    bool overflow_reported = false;

    char raw[Effect_List_Line_Width + 1];
    while (Read_Line(file, raw, Effect_List_Line_Width)) {
        Level_Line line;
        Parse_Level_Line(raw, Effect_List_Line_Width, Level_Field_Width, &line);
        if (!line.Statement) continue;

        if (Is(line.Key, "Effect")) {
            in_block = true;
        } else if (!in_block) {
            continue;
        } else if (Is(line.Key, "path")) {
            std::snprintf(path, sizeof path, "%s", line.Value);
        } else if (Is(line.Key, "type")) {
            std::snprintf(type, sizeof type, "%s", line.Value);
        } else if (Is(line.Key, "technique")) {
            std::snprintf(technique, sizeof technique, "%s", line.Value);
        } else if (Is(line.Key, "/Effect")) {
            in_block = false;
            if (entry->Effect_Count < Scene_Max_Effects) {
                int k = entry->Effect_Count++;
                std::snprintf(entry->Effect_Files[k], Scene_Text_Size, "%s", path);
                std::snprintf(entry->Effect_Techniques[k], Scene_Text_Size, "%s", technique);
            } else if (!overflow_reported) {
                // The object holds 20 effects; the rest of the list is ignored.
                char text[Scene_Text_Size + 64];
                std::snprintf(text, sizeof text, "%s: больше 20 эффектов, используются первые 20",
                              entry->Shader);
                MessageBoxA(nullptr, text, "ERROR", MB_ICONWARNING);
                overflow_reported = true;
            }
        }
    }
    std::fclose(file);
}
