// Internal: a .x file turned into one mesh, the way D3DXLoadMeshFromX
// merges it.
#pragma once

#include "platform/d3dx9/mesh_data.h"

#include <cstddef>
#include <string>
#include <vector>

struct X_Material {
    std::string name;  // object name in the file, empty when unnamed
    D3DMATERIAL9 material{};
    bool has_texture = false;
    std::string texture;  // TextureFilename as written
};

struct X_Mesh {
    Mesh_Data mesh;
    std::vector<X_Material> materials;  // subset i uses materials[i]
};

// The material meshes without a material list get (all such meshes of a
// file share one): white diffuse, nothing else.
X_Material X_Default_Material();

// Every Mesh of the file, in file order, with the accumulated transforms of
// its frames applied, in the file's own (left-handed) coordinates; faces
// keep the file's index order, polygons become triangle fans. Each mesh's
// materials follow those of the meshes before it (meshes without a list
// share the default material), so subset ids are indices into `materials`.
// Vertices keep the file's order; a position used with several normals gets
// extra copies after them. Returns D3D_OK, D3DXERR_INVALIDDATA or
// E_OUTOFMEMORY.
HRESULT X_Load_Mesh(const unsigned char* data, std::size_t size, X_Mesh* out);
