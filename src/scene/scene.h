// Scene records and their keyed lists, the level and effect list readers,
// scene building and loading.
#pragma once

#include <cstdio>

#include "platform/d3dx9.h"

const int Scene_Max_Effects = 20;
const int Scene_Text_Size = 256;

class MAIN_CGObject {
public:
    explicit MAIN_CGObject(IDirect3DDevice9** device);
    virtual ~MAIN_CGObject();
    // Records made with new come from large blocks (records.cpp).
    static void* operator new(std::size_t size);
    static void operator delete(void* record, std::size_t size);

    IDirect3DDevice9** Device;  // read afresh at each use
    ID3DXMesh* Mesh;
    D3DMATERIAL9* Materials;       // Material_Count entries, owned
    IDirect3DTexture9** Textures;  // Material_Count entries, owned
    // The file each of Textures came from ("" for none), Material_Count
    // entries, owned: what live reloading compares saved files with.
    char (*Texture_Files)[MAX_PATH];
    DWORD Material_Count;
    D3DXMATRIX Shadow_World;
    D3DXMATRIX World;
    char Name[Scene_Text_Size];
    D3DXVECTOR3 Position;
    int Alpha;
    ID3DXEffect* Effects[Scene_Max_Effects];
    char Effect_Files[Scene_Max_Effects][Scene_Text_Size];
    char Effect_Techniques[Scene_Max_Effects][Scene_Text_Size];
    int Effect_Count;
    IDirect3DTexture9* Diffuse_Texture;
    IDirect3DTexture9* Reflection_Texture;
    IDirect3DTexture9* Bump_Texture;
    IDirect3DTexture9* Height_Texture;
    D3DLIGHT9* Scene_Light;  // not owned: the first light's record
};

class MAIN_CGLight {
public:
    explicit MAIN_CGLight(IDirect3DDevice9** device);
    ~MAIN_CGLight();

    IDirect3DDevice9** Device;
    D3DMATERIAL9 Marker_Material;
    D3DXMATRIX World;
    ID3DXMesh* Marker_Mesh;
    DWORD Slot;
    D3DLIGHT9 Light;
    bool Renderable;
};

struct Main_Object_Node {
    int Key;
    MAIN_CGObject* Object;
    Main_Object_Node* Next;
    Main_Object_Node* Prev;
};

struct Main_Light_Node {
    int Key;
    MAIN_CGLight* Light;
    Main_Light_Node* Next;
    Main_Light_Node* Prev;
};

// Appends a record under `key`. A caller adding many keeps `tail`: null or
// the node the previous call returned; it is set to the new node.
Main_Object_Node* Add_Object(Main_Object_Node** list, int key, IDirect3DDevice9** device,
                             Main_Object_Node** tail = nullptr);
Main_Light_Node* Add_Light(Main_Light_Node** list, int key, IDirect3DDevice9** device,
                           Main_Light_Node** tail = nullptr);
int Remove_Object(Main_Object_Node** list, int key);
int Remove_Light(Main_Light_Node** list, int key);
// Frees every record of the scene's two lists and empties them, counts
// included (for loading one scene after another in one process).
void Free_Scene_Lists();

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

int Build_Scene();
// What Build_Scene is reading or building at the moment: the level file, a
// light's label or an object's model. Named when memory runs out.
extern char Scene_Now_Loading[Scene_Text_Size];

// The level file scene building reads, relative to the game folder.
extern const char Level_Path[];
int Setup_Light(MAIN_CGLight* light);
HRESULT Load_Object(MAIN_CGObject* object, const char* model_path, D3DLIGHT9* scene_light);
// The material and texture arrays of a freshly loaded mesh (objects with alpha 0 get none).
void Load_Materials(MAIN_CGObject* object, ID3DXBuffer* material_buffer);
void Load_Object_Effects(MAIN_CGObject* object);

// The level texts of an object's four named textures (diffuse, reflection,
// bump, height), as the level loader read them; "none" for unknown keys.
void Level_Texture_Texts(int key, const char* texts[4]);
// The effect list an object's block named ("" for unknown keys).
const char* Level_Effect_List_Text(int key);

// Live reloading (--watch): the game folder is watched from Reload_Start on;
// Reload_Changes, at the top of each idle pass, reloads what was saved since.
// A file that fails to load leaves what was there; the failure is one line on
// stderr and in Reload_Status (the overlay's last row) until a reload works.
const int Reload_Quiet_Ms = 100;  // a save is complete once quiet this long
int Reload_Start();
void Reload_Stop();
bool Reload_Changes();  // true when something was reloaded or failed to
// Prints the lines of the last pass (stderr); called once its frame has been
// presented, so a reader of a line can count on the frame showing it.
void Reload_Report();
int Rebuild_Scene();  // the level again, same device and camera, no loading screen
extern char Reload_Status[Scene_Text_Size];

// Writes the loaded scene as JSON (the --dump-scene option).
void Dump_Scene(FILE* out);
