// The scene's records (MAIN_CGObject, MAIN_CGLight) and the two keyed,
// doubly linked lists that hold them.
#pragma once

#include <cstddef>

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
