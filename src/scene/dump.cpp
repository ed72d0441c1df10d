#include <cstdio>

#include "app/globals.h"
#include "scene/dump.h"
#include "scene/level_reader.h"

namespace {

// Texts are Windows-1251 inside the engine; JSON goes out as UTF-8.
void Write_String(FILE* out, const char* text) {
    char utf8[4 * Scene_Text_Size];
    Platform_Cp1251_To_Utf8(text, utf8, sizeof utf8);
    std::fputc('"', out);
    for (const char* p = utf8; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c == '"' || c == '\\')
            std::fprintf(out, "\\%c", c);
        else if (c < 0x20)
            std::fprintf(out, "\\u%04x", c);
        else
            std::fputc(c, out);
    }
    std::fputc('"', out);
}

void Write_Vector(FILE* out, float x, float y, float z) {
    std::fprintf(out, "[%.9g, %.9g, %.9g]", x, y, z);
}

void Write_Colour(FILE* out, const D3DCOLORVALUE& c) {
    std::fprintf(out, "[%.9g, %.9g, %.9g, %.9g]", c.r, c.g, c.b, c.a);
}

void Write_Texture(FILE* out, const char* key, const char* level_text, const void* texture) {
    std::fprintf(out, "      \"%s\": {\"text\": ", key);
    Write_String(out, level_text);
    std::fprintf(out, ", \"loaded\": %s}", texture ? "true" : "false");
}

}  // namespace

void Dump_Scene(FILE* out) {
    std::fprintf(out, "{\n  \"camera\": {\"Pos\": ");
    Write_Vector(out, Main_Scene_Camera.Pos.x, Main_Scene_Camera.Pos.y, Main_Scene_Camera.Pos.z);
    std::fprintf(out, ", \"Look\": ");
    Write_Vector(out, Main_Scene_Camera.Look.x, Main_Scene_Camera.Look.y, Main_Scene_Camera.Look.z);
    std::fprintf(out, "},\n  \"objects\": [");

    const char* separator = "\n";
    for (Main_Object_Node* node = Main_Object_List ? Main_Object_List->Next : nullptr; node;
         node = node->Next) {
        const MAIN_CGObject* o = node->Object;
        const char* texts[4];
        Level_Texture_Texts(node->Key, texts);
        std::fprintf(out, "%s    {\n      \"key\": %d,\n      \"Name\": ", separator, node->Key);
        Write_String(out, o->Name);
        std::fprintf(out, ",\n      \"Position\": ");
        Write_Vector(out, o->Position.x, o->Position.y, o->Position.z);
        std::fprintf(out, ",\n      \"Alpha\": %d,\n", o->Alpha);
        Write_Texture(out, "diffuse_texture", texts[0], o->Diffuse_Texture);
        std::fprintf(out, ",\n");
        Write_Texture(out, "reflection_texture", texts[1], o->Reflection_Texture);
        std::fprintf(out, ",\n");
        Write_Texture(out, "bump_texture", texts[2], o->Bump_Texture);
        std::fprintf(out, ",\n");
        Write_Texture(out, "height_texture", texts[3], o->Height_Texture);
        std::fprintf(out, ",\n      \"effects\": [");
        // The entries as the level gave them, even when loading them failed
        // and the count went back to zero; an entry with an empty path does
        // not hide the ones after it.
        int listed = 0;
        for (int i = 0; i < Scene_Max_Effects; ++i)
            if (o->Effect_Files[i][0] || o->Effect_Techniques[i][0] || o->Effects[i])
                listed = i + 1;
        for (int i = 0; i < listed; ++i) {
            std::fprintf(out, "%s{\"file\": ", i ? ", " : "");
            Write_String(out, o->Effect_Files[i]);
            std::fprintf(out, ", \"technique\": ");
            Write_String(out, o->Effect_Techniques[i]);
            std::fprintf(out, ", \"loaded\": %s}", o->Effects[i] ? "true" : "false");
        }
        std::fprintf(out,
                     "],\n      \"Effect_Count\": %d,\n      \"Material_Count\": %u,\n"
                     "      \"mesh_loaded\": %s\n    }",
                     o->Effect_Count, static_cast<unsigned>(o->Material_Count),
                     o->Mesh ? "true" : "false");
        separator = ",\n";
    }
    std::fprintf(out, "%s],\n  \"lights\": [",
                 Main_Object_List && Main_Object_List->Next ? "\n  " : "");

    separator = "\n";
    for (Main_Light_Node* node = Main_Light_List ? Main_Light_List->Next : nullptr; node;
         node = node->Next) {
        const MAIN_CGLight* l = node->Light;
        const char* type = l->Light.Type == D3DLIGHT_POINT  ? "point"
                           : l->Light.Type == D3DLIGHT_SPOT ? "spot"
                                                            : "directional";
        std::fprintf(out, "%s    {\"key\": %d, \"Slot\": %u, \"type\": \"%s\", \"position\": ",
                     separator, node->Key, static_cast<unsigned>(l->Slot), type);
        Write_Vector(out, l->Light.Position.x, l->Light.Position.y, l->Light.Position.z);
        std::fprintf(out, ", \"direction\": ");
        Write_Vector(out, l->Light.Direction.x, l->Light.Direction.y, l->Light.Direction.z);
        std::fprintf(out, ", \"diffuse\": ");
        Write_Colour(out, l->Light.Diffuse);
        std::fprintf(out, ", \"ambient\": ");
        Write_Colour(out, l->Light.Ambient);
        std::fprintf(out, ", \"range\": %.9g, \"Renderable\": %s}", l->Light.Range,
                     l->Renderable ? "true" : "false");
        separator = ",\n";
    }
    std::fprintf(out, "%s]\n}\n", Main_Light_List && Main_Light_List->Next ? "\n  " : "");
}
