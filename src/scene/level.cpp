#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>

#include "app/globals.h"
#include "scene/level_reader.h"

namespace {

void Copy_Text(char* dest, const char* src) {
    std::snprintf(dest, Scene_Text_Size, "%s", src);
}

bool Is(const char* a, const char* b) {
    return std::strcmp(a, b) == 0;
}

void Load_Named_Texture(IDirect3DDevice9** device, const char* path, IDirect3DTexture9** out) {
    *out = nullptr;
    if (Is(path, "none")) return;
    if (FAILED(D3DXCreateTextureFromFileA(*device, path, out))) {
        *out = nullptr;
        MessageBoxA(nullptr, path, "game.exe", MB_OK);
    }
}

// Kept only for the scene dump and live reloading: the records do not hold
// the level's texts. Only blocks that named a texture or an effect list are
// kept, by key; every other object reads the defaults, so a plain object
// costs nothing here.
struct Level_Texts {
    std::string Textures[4];
    std::string Effect_List;
};
std::unordered_map<int, Level_Texts> Named_Texts;

void Keep_Level_Texts(int key, const Main_Level_Entry* entry) {
    const char* textures[4] = {entry->Diffuse_Texture, entry->Reflection_Texture,
                               entry->Bump_Texture, entry->Height_Texture};
    bool defaults = entry->Shader[0] == '\0';
    for (const char* text : textures) defaults = defaults && Is(text, "none");
    if (defaults) {
        Named_Texts.erase(key);
        return;
    }
    Level_Texts& texts = Named_Texts[key];
    for (int i = 0; i < 4; ++i) texts.Textures[i] = textures[i];
    texts.Effect_List = entry->Shader;
}

void Close_Object_Block(IDirect3DDevice9** device, Main_Level_Entry* entry,
                        Main_Object_Node** objects, Main_Object_Node** tail) {
    ++Main_Object_Count;
    MAIN_CGObject* object = Add_Object(objects, Main_Object_Count, device, tail)->Object;
    Copy_Text(object->Name, entry->Name);
    object->Position = D3DXVECTOR3(entry->X, entry->Y, entry->Z);
    object->Alpha = entry->Alpha;

    Keep_Level_Texts(Main_Object_Count, entry);

    Load_Named_Texture(device, entry->Diffuse_Texture, &object->Diffuse_Texture);
    Load_Named_Texture(device, entry->Reflection_Texture, &object->Reflection_Texture);
    Load_Named_Texture(device, entry->Bump_Texture, &object->Bump_Texture);
    Load_Named_Texture(device, entry->Height_Texture, &object->Height_Texture);

    // A shader value of four characters or fewer ("none") names no list.
    if (std::strlen(entry->Shader) > 4) Load_Effect_List(entry);

    object->Effect_Count = entry->Effect_Count;
    for (int i = 0; i < entry->Effect_Count; ++i) {
        Copy_Text(object->Effect_Files[i], entry->Effect_Files[i]);
        Copy_Text(object->Effect_Techniques[i], entry->Effect_Techniques[i]);
    }
}

void Close_Light_Block(IDirect3DDevice9** device, const Main_Level_Entry* entry,
                       Main_Light_Node** lights, Main_Light_Node** tail) {
    ++Main_Light_Count;
    MAIN_CGLight* light = Add_Light(lights, Main_Light_Count, device, tail)->Light;
    light->Light.Type = Is(entry->Light_Type, "POINT") ? D3DLIGHT_POINT : D3DLIGHT_SPOT;
    light->Light.Position = {entry->X, entry->Y, entry->Z};
    light->Light.Direction = {entry->Direction_X, entry->Direction_Y, entry->Direction_Z};
    light->Light.Ambient = {entry->Ambient_R, entry->Ambient_G, entry->Ambient_B, entry->Ambient_A};
    light->Light.Diffuse = {entry->Diffuse_R, entry->Diffuse_G, entry->Diffuse_B, entry->Diffuse_A};
    light->Light.Range = entry->Range;
    light->Renderable = entry->Renderable == 1;
}

}  // namespace

void Level_Texture_Texts(int key, const char* texts[4]) {
    const auto found = Named_Texts.find(key);
    for (int i = 0; i < 4; ++i)
        texts[i] = found != Named_Texts.end() ? found->second.Textures[i].c_str() : "none";
}

const char* Level_Effect_List_Text(int key) {
    const auto found = Named_Texts.find(key);
    return found != Named_Texts.end() ? found->second.Effect_List.c_str() : "";
}

void Reset_Level_Entry(Main_Level_Entry* entry) {
    // Field by field: the entry is about 12 KiB, nearly all of it effect texts
    // that are read only up to Effect_Count, and it is reset for every block.
    entry->Name[0] = entry->Shader[0] = '\0';
    entry->X = entry->Y = entry->Z = 0.0f;
    entry->Effect_Count = 0;
    entry->Direction_X = entry->Direction_Y = entry->Direction_Z = 0.0f;
    Copy_Text(entry->Type, "static_mesh");
    entry->Alpha = 100;
    Copy_Text(entry->Diffuse_Texture, "none");
    Copy_Text(entry->Reflection_Texture, "none");
    Copy_Text(entry->Bump_Texture, "none");
    Copy_Text(entry->Height_Texture, "none");
    Copy_Text(entry->Light_Type, "POINT");
    entry->Diffuse_R = entry->Diffuse_G = entry->Diffuse_B = entry->Diffuse_A = 2.0f;
    entry->Ambient_R = entry->Ambient_G = entry->Ambient_B = entry->Ambient_A = 2.0f;
    entry->Range = 300.0f;
    entry->Renderable = 1;
}

int Load_Level(IDirect3DDevice9** device, const char* path, D3DXVECTOR3* camera_pos,
               D3DXVECTOR3* camera_look, Main_Object_Node** objects, Main_Light_Node** lights) {
    FILE* file = Open_File(path, "r");
    if (!file) return -1;
    Named_Texts.clear();  // the texts of the level read before, if any

    *objects = new Main_Object_Node{0, nullptr, nullptr, nullptr};
    *lights = new Main_Light_Node{0, nullptr, nullptr, nullptr};
    Main_Object_Node* object_tail = *objects;
    Main_Light_Node* light_tail = *lights;

    static Main_Level_Entry entry;  // large: kept out of the stack
    Reset_Level_Entry(&entry);
    bool in_block = false;

    char raw[Level_Line_Width + 1];
    while (Read_Line(file, raw, Level_Line_Width)) {
        Level_Line line;
        Parse_Level_Line(raw, Level_Line_Width, Level_Field_Width, &line);
        if (!line.Statement) continue;
        const char* key = line.Key;
        const char* value = line.Value;

        if (Is(key, "object")) {
            if (!in_block) {
                in_block = true;
                Reset_Level_Entry(&entry);
            }
            continue;
        }
        // The camera keys count anywhere, inside or outside a block.
        if (Is(key, "CameraPosX")) {
            camera_pos->x = Level_Float(value);
            continue;
        }
        if (Is(key, "CameraPosY")) {
            camera_pos->y = Level_Float(value);
            continue;
        }
        if (Is(key, "CameraPosZ")) {
            camera_pos->z = Level_Float(value);
            continue;
        }
        if (Is(key, "CameraLookX")) {
            camera_look->x = Level_Float(value);
            continue;
        }
        if (Is(key, "CameraLookY")) {
            camera_look->y = Level_Float(value);
            continue;
        }
        if (Is(key, "CameraLookZ")) {
            camera_look->z = Level_Float(value);
            continue;
        }
        if (!in_block) continue;

        if (Is(key, "name"))
            Copy_Text(entry.Name, value);
        else if (Is(key, "modelPath")) {
        } else if (Is(key, "type"))
            Copy_Text(entry.Type, value);
        else if (Is(key, "x"))
            entry.X = Level_Float(value);
        else if (Is(key, "y"))
            entry.Y = Level_Float(value);
        else if (Is(key, "z"))
            entry.Z = Level_Float(value);
        else if (Is(key, "alpha"))
            entry.Alpha = Level_Int(value);
        else if (Is(key, "shader"))
            Copy_Text(entry.Shader, value);
        else if (Is(key, "diffuse_texture"))
            Copy_Text(entry.Diffuse_Texture, value);
        else if (Is(key, "reflection_texture"))
            Copy_Text(entry.Reflection_Texture, value);
        else if (Is(key, "bump_texture"))
            Copy_Text(entry.Bump_Texture, value);
        else if (Is(key, "height_texture"))
            Copy_Text(entry.Height_Texture, value);
        else if (Is(key, "light_type"))
            Copy_Text(entry.Light_Type, value);
        else if (Is(key, "light_Direction_x"))
            entry.Direction_X = Level_Float(value);
        else if (Is(key, "light_Direction_y"))
            entry.Direction_Y = Level_Float(value);
        else if (Is(key, "light_Direction_z"))
            entry.Direction_Z = Level_Float(value);
        else if (Is(key, "light_Diffuse_rgba") || Is(key, "light_Ambient_rgba")) {
        } else if (Is(key, "light_Diffuse_r"))
            entry.Diffuse_R = Level_Float(value);
        else if (Is(key, "light_Diffuse_g"))
            entry.Diffuse_G = Level_Float(value);
        else if (Is(key, "light_Diffuse_b"))
            entry.Diffuse_B = Level_Float(value);
        else if (Is(key, "light_Diffuse_a"))
            entry.Diffuse_A = Level_Float(value);
        else if (Is(key, "light_Ambient_r"))
            entry.Ambient_R = Level_Float(value);
        else if (Is(key, "light_Ambient_g"))
            entry.Ambient_G = Level_Float(value);
        else if (Is(key, "light_Ambient_b"))
            entry.Ambient_B = Level_Float(value);
        else if (Is(key, "light_Ambient_a"))
            entry.Ambient_A = Level_Float(value);
        else if (Is(key, "light_Range"))
            entry.Range = Level_Float(value);
        else if (Is(key, "light_renderable"))
            entry.Renderable = Level_Int(value);
        else if (Is(key, "/object")) {
            if (Is(entry.Type, "static_mesh"))
                Close_Object_Block(device, &entry, objects, &object_tail);
            else if (Is(entry.Type, "point_light"))
                Close_Light_Block(device, &entry, lights, &light_tail);
            in_block = false;
        }
    }
    std::fclose(file);
    return 0;
}
