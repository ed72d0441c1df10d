#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>

#include "scene/build.h"

namespace {

const char Fallback_Model[] = "blank.x";
const char Texture_Folder[] = "textures\\";
const char Fallback_Texture[] = "blank.bmp";
const float Marker_Radius = 5.0f;
const UINT Marker_Slices = 12;
const UINT Marker_Stacks = 12;
const float Marker_Emissive_Alpha = 0.2f;

HRESULT Load_Mesh(const char* path, MAIN_CGObject* object, ID3DXBuffer** materials) {
    return D3DXLoadMeshFromXA(path, D3DXMESH_SYSTEMMEM, *object->Device, nullptr, materials,
                              nullptr, &object->Material_Count, &object->Mesh);
}

// The models loaded since Share_Models began, by the path as the level names
// it: objects naming the same model share one mesh and its material records
// instead of each looking the file up and getting its own. Drawing only reads
// a mesh, and live reloading replaces an object's mesh rather than changing
// it, so a shared one behaves as each object's own.
struct Shared_Model {
    IDirect3DDevice9* Device;
    ID3DXMesh* Mesh;
    ID3DXBuffer* Materials;
    DWORD Material_Count;
};
bool Sharing_Models = false;
std::unordered_map<std::string, Shared_Model> Shared_Models;

HRESULT Load_Shared_Mesh(const char* path, MAIN_CGObject* object, ID3DXBuffer** materials) {
    if (!Sharing_Models) return Load_Mesh(path, object, materials);
    const auto found = Shared_Models.find(path);
    if (found != Shared_Models.end() && found->second.Device == *object->Device) {
        const Shared_Model& model = found->second;
        model.Mesh->AddRef();
        object->Mesh = model.Mesh;
        object->Material_Count = model.Material_Count;
        if (model.Materials) model.Materials->AddRef();
        *materials = model.Materials;
        return S_OK;
    }
    const HRESULT result = Load_Mesh(path, object, materials);
    if (FAILED(result) || !object->Mesh) return result;
    Shared_Model model = {*object->Device, object->Mesh, *materials, object->Material_Count};
    Shared_Models.emplace(path, model);
    model.Mesh->AddRef();
    if (model.Materials) model.Materials->AddRef();
    return result;
}

}  // namespace

void Share_Models(bool on) {
    Sharing_Models = on;
    if (on) return;
    for (auto& entry : Shared_Models) {
        entry.second.Mesh->Release();
        if (entry.second.Materials) entry.second.Materials->Release();
    }
    Shared_Models.clear();
}

int Setup_Light(MAIN_CGLight* light) {
    if (light->Renderable) {
        std::memset(&light->Marker_Material, 0, sizeof light->Marker_Material);
        light->Marker_Material.Emissive = {light->Light.Ambient.r, light->Light.Ambient.g,
                                           light->Light.Ambient.b, Marker_Emissive_Alpha};
        (*light->Device)->SetLight(light->Slot, &light->Light);
        if (FAILED(D3DXCreateSphere(*light->Device, Marker_Radius, Marker_Slices, Marker_Stacks,
                                    &light->Marker_Mesh, nullptr)))
            light->Marker_Mesh = nullptr;
    }
    D3DXMatrixTranslation(&light->World, light->Light.Position.x, light->Light.Position.y,
                          light->Light.Position.z);
    return 0;
}

void Load_Materials(MAIN_CGObject* object, ID3DXBuffer* material_buffer) {
    if (object->Alpha == 0 || !material_buffer) return;
    const D3DXMATERIAL* materials =
        static_cast<const D3DXMATERIAL*>(material_buffer->GetBufferPointer());
    object->Materials = new D3DMATERIAL9[object->Material_Count];
    object->Textures = new IDirect3DTexture9*[object->Material_Count];
    object->Texture_Files = new char[object->Material_Count][MAX_PATH];
    for (DWORD i = 0; i < object->Material_Count; ++i) {
        object->Materials[i] = materials[i].MatD3D;
        object->Materials[i].Ambient = object->Materials[i].Diffuse;
        object->Textures[i] = nullptr;
        object->Texture_Files[i][0] = '\0';

        const char* name = materials[i].pTextureFilename;
        if (name == nullptr || lstrlenA(name) <= 0) continue;
        char composed[MAX_PATH];
        std::snprintf(composed, sizeof composed, "%s%s", Texture_Folder, name);
        // The texture as named, else in the texture folder, else the fallback.
        const char* const paths[] = {name, composed, Fallback_Texture};
        for (const char* path : paths) {
            if (FAILED(D3DXCreateTextureFromFileA(*object->Device, path, &object->Textures[i])))
                continue;
            std::snprintf(object->Texture_Files[i], MAX_PATH, "%s", path);
            break;
        }
        if (object->Texture_Files[i][0]) continue;
        object->Textures[i] = nullptr;
        MessageBoxA(nullptr, composed, "game.exe", MB_OK);
    }
}

HRESULT Load_Object(MAIN_CGObject* object, const char* model_path, D3DLIGHT9* scene_light) {
    object->Scene_Light = scene_light;

    ID3DXBuffer* material_buffer = nullptr;
    if (FAILED(Load_Shared_Mesh(model_path, object, &material_buffer))) {
        object->Mesh = nullptr;
        object->Material_Count = 0;
        char text[Scene_Text_Size];
        std::snprintf(text, sizeof text, "не найдена модель: %s", model_path);
        MessageBoxA(nullptr, text, "game.exe", MB_OK);
        material_buffer = nullptr;
        if (FAILED(Load_Mesh(Fallback_Model, object, &material_buffer))) {
            object->Mesh = nullptr;
            object->Material_Count = 0;
            return E_FAIL;
        }
    }

    Load_Materials(object, material_buffer);
    if (material_buffer) material_buffer->Release();

    D3DXMatrixTranslation(&object->World, object->Position.x, object->Position.y,
                          object->Position.z);
    if (object->Effect_Count > 0) Load_Object_Effects(object);
    return S_OK;
}

void Load_Object_Effects(MAIN_CGObject* object) {
    for (int i = 0; i < object->Effect_Count; ++i) {
        if (FAILED(D3DXCreateEffectFromFileA(*object->Device, object->Effect_Files[i], nullptr,
                                             nullptr, 0, nullptr, &object->Effects[i], nullptr))) {
            object->Effects[i] = nullptr;
            object->Effect_Count = 0;
            MessageBoxA(nullptr, object->Effect_Files[i], "game.exe", MB_OK);
            break;
        }
        object->Effects[i]->SetTechnique(object->Effect_Techniques[i]);
    }
}
