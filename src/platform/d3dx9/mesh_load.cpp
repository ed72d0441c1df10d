// D3DXLoadMeshFromXA: the .x file merged into one mesh, with its material
// buffer.
#include "platform/d3dx9.h"

#include "platform/d3dx9/buffer.h"
#include "platform/d3dx9/file_share.h"
#include "platform/d3dx9/mesh_data.h"
#include "platform/d3dx9/mesh_x.h"

#include <cstring>

namespace {

// Material_Count D3DXMATERIAL records followed by the texture names their
// pTextureFilename members point to, all in one buffer.
HRESULT Create_Material_Buffer(const std::vector<X_Material>& materials, ID3DXBuffer** out) {
    std::size_t size = materials.size() * sizeof(D3DXMATERIAL);
    for (const X_Material& m : materials) {
        if (m.has_texture) size += m.texture.size() + 1;
    }
    ID3DXBuffer* buffer = nullptr;
    const HRESULT hr = Create_Buffer(nullptr, size, &buffer);
    if (FAILED(hr)) return hr;
    auto* records = static_cast<D3DXMATERIAL*>(buffer->GetBufferPointer());
    char* names = reinterpret_cast<char*>(records + materials.size());
    for (std::size_t i = 0; i < materials.size(); ++i) {
        records[i].MatD3D = materials[i].material;
        records[i].pTextureFilename = nullptr;
        if (!materials[i].has_texture) continue;
        const std::string& texture = materials[i].texture;
        std::memcpy(names, texture.c_str(), texture.size() + 1);
        records[i].pTextureFilename = names;
        names += texture.size() + 1;
    }
    *out = buffer;
    return D3D_OK;
}

// Meshes loaded from files, by device, file and options; each storage keeps
// the file's materials as its origin.
File_Share_Cache<Mesh_Storage>& Loaded_Meshes() {
    static File_Share_Cache<Mesh_Storage> cache;
    return cache;
}

using Material_List = std::vector<X_Material>;

}  // namespace

HRESULT WINAPI D3DXLoadMeshFromXA(LPCSTR pFilename, DWORD Options, LPDIRECT3DDEVICE9 pD3DDevice,
                                  LPD3DXBUFFER* ppAdjacency, LPD3DXBUFFER* ppMaterials,
                                  LPD3DXBUFFER* ppEffectInstances, DWORD* pNumMaterials,
                                  LPD3DXMESH* ppMesh) {
    if (ppMesh) *ppMesh = nullptr;
    if (ppAdjacency) *ppAdjacency = nullptr;
    if (ppMaterials) *ppMaterials = nullptr;
    // Effect instances are not read from .x files; the engine does not ask.
    if (ppEffectInstances) *ppEffectInstances = nullptr;
    if (pNumMaterials) *pNumMaterials = 0;
    if (!pFilename || !pD3DDevice || !ppMesh) return D3DERR_INVALIDCALL;

    // The same unchanged file loaded before and still in use: a new mesh
    // object over the same storage, and the materials the file had.
    File_Identity file;
    const bool known = File_Identity_Of(pFilename, &file);
    std::shared_ptr<const Material_List> file_materials;
    ID3DXMesh* mesh = nullptr;
    HRESULT hr = D3D_OK;
    if (auto shared = known ? Loaded_Meshes().Find(pD3DDevice, file, Options) : nullptr) {
        file_materials = std::static_pointer_cast<const Material_List>(shared->origin);
        hr = Create_Shared_Mesh(std::move(shared), &mesh);
        if (FAILED(hr)) return hr;
    } else {
        std::vector<unsigned char> bytes;
        hr = Read_File_Bytes(pFilename, &bytes);
        if (FAILED(hr)) return hr;

        X_Mesh loaded;
        hr = X_Load_Mesh(bytes.data(), bytes.size(), &loaded);
        if (FAILED(hr)) return hr;
        bytes = {};

        hr = Create_Mesh(pD3DDevice, Options, std::move(loaded.mesh), &mesh);
        if (FAILED(hr)) return hr;
        file_materials = std::make_shared<const Material_List>(std::move(loaded.materials));
        if (known) {
            if (auto storage = Mesh_Storage_Of(mesh)) {
                storage->origin = file_materials;
                Loaded_Meshes().Remember(pD3DDevice, file, Options, storage);
            }
        }
    }

    ID3DXBuffer* materials = nullptr;
    if (ppMaterials) {
        hr = Create_Material_Buffer(*file_materials, &materials);
        if (FAILED(hr)) {
            mesh->Release();
            return hr;
        }
    }
    if (ppAdjacency) {
        hr = Create_Adjacency_Buffer(mesh, ppAdjacency);
        if (FAILED(hr)) {
            if (materials) materials->Release();
            mesh->Release();
            return hr;
        }
    }
    if (ppMaterials) *ppMaterials = materials;
    if (pNumMaterials) *pNumMaterials = static_cast<DWORD>(file_materials->size());
    *ppMesh = mesh;
    return D3D_OK;
}
