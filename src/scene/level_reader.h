// Reading the level file and the effect list files it names: the pending
// entry, the shared line procedure, and Load_Level, which fills the scene's
// lists from the file (named textures included; meshes come later, in
// scene/build.h).
#pragma once

#include <cstdio>

#include "scene/records.h"

// The block being read from the level file.
struct Main_Level_Entry {
    char Type[Scene_Text_Size];
    char Name[Scene_Text_Size];
    float X, Y, Z;
    int Alpha;
    char Shader[Scene_Text_Size];
    char Diffuse_Texture[Scene_Text_Size];
    char Reflection_Texture[Scene_Text_Size];
    char Bump_Texture[Scene_Text_Size];
    char Height_Texture[Scene_Text_Size];
    int Effect_Count;
    char Effect_Files[Scene_Max_Effects][Scene_Text_Size];
    char Effect_Techniques[Scene_Max_Effects][Scene_Text_Size];
    char Light_Type[Scene_Text_Size];
    float Direction_X, Direction_Y, Direction_Z;
    float Diffuse_R, Diffuse_G, Diffuse_B, Diffuse_A;
    float Ambient_R, Ambient_G, Ambient_B, Ambient_A;
    float Range;
    int Renderable;
};

void Reset_Level_Entry(Main_Level_Entry* entry);

// One statement line of the level and effect list files, after clean-up.
struct Level_Line {
    bool Statement;  // the line starts with '['
    char Key[64];
    char Value[64];
};

// The shared line procedure: cuts the line at max_line characters, removes
// blanks from lines longer than 3 characters, and splits "[key]?value".
// Keys and values are cut at max_field characters.
void Parse_Level_Line(const char* raw_line, int max_line, int max_field, Level_Line* out);

// Reads one line of any length; keeps at most max_line characters of it
// (terminator removed). Returns false at the end of the file.
bool Read_Line(FILE* file, char* line, int max_line);

// Decimal prefixes: the longest prefix of the text that is a number, else 0.
float Level_Float(const char* text);
int Level_Int(const char* text);

const int Level_Line_Width = 198;
const int Level_Field_Width = 51;
const int Effect_List_Line_Width = 98;

int Load_Level(IDirect3DDevice9** device, const char* path, D3DXVECTOR3* camera_pos,
               D3DXVECTOR3* camera_look, Main_Object_Node** objects, Main_Light_Node** lights);
void Load_Effect_List(Main_Level_Entry* entry);

// The level texts of an object's four named textures (diffuse, reflection,
// bump, height), as the level loader read them; "none" for unknown keys.
void Level_Texture_Texts(int key, const char* texts[4]);
// The effect list an object's block named ("" for unknown keys).
const char* Level_Effect_List_Text(int key);
