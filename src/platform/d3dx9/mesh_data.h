// Internal: the CPU-side contents of an ID3DXMesh, as the .x reader and the
// sphere generator build them, and the creation of the mesh object.
#pragma once

#include "platform/d3dx9.h"

#include <cstdint>
#include <memory>
#include <vector>

struct Mesh_Data {
    DWORD fvf = 0;
    UINT vertex_count = 0;
    std::vector<unsigned char> vertices;  // vertex_count * D3DXGetFVFVertexSize(fvf) bytes
    std::vector<std::uint32_t> indices;   // three per face, clockwise = front
    std::vector<DWORD> attributes;        // one subset id per face
};

// Creates the mesh: faces are ordered by subset id (keeping their order
// within a subset), the attribute table is built from that order, indices
// are 16-bit unless a vertex number needs 32 bits or `options` asks for
// D3DXMESH_32BIT. Fails with D3DERR_INVALIDCALL for inconsistent data.
HRESULT Create_Mesh(IDirect3DDevice9* device, DWORD options, Mesh_Data data, ID3DXMesh** out);

// What a mesh draws from: its vertices and indices in memory (so that locks
// cost nothing) mirrored into device buffers. Meshes loaded from one
// unchanged file share it; the first lock for writing through one of them
// gives that mesh a copy of its own.
// What a copy of a mesh's storage takes over whole.
struct Mesh_Contents {
    IDirect3DDevice9* device = nullptr;  // each mesh over the storage holds a reference
    DWORD options = 0;
    DWORD fvf = 0;
    UINT stride = 0;
    UINT vertex_count = 0;
    UINT face_count = 0;
    std::vector<unsigned char> vertices;
    std::vector<unsigned char> indices;
    std::vector<D3DXATTRIBUTERANGE> table;
    // What the loader keeps with the storage (the file's materials).
    std::shared_ptr<const void> origin;
};

struct Mesh_Storage : Mesh_Contents {
    using Contents = Mesh_Contents;
    Mesh_Storage() = default;
    explicit Mesh_Storage(const Mesh_Contents& contents) : Mesh_Contents(contents) {}
    Mesh_Storage(const Mesh_Storage&) = delete;
    Mesh_Storage& operator=(const Mesh_Storage&) = delete;
    ~Mesh_Storage();

    IDirect3DVertexBuffer9* vertex_buffer = nullptr;
    IDirect3DIndexBuffer9* index_buffer = nullptr;
    // Handed out for sharing: from then on never written, writers get a copy.
    bool shareable = false;
};

// The storage of one of our meshes (null for any other), marked shareable.
std::shared_ptr<Mesh_Storage> Mesh_Storage_Of(ID3DXMesh* mesh);
// A new mesh object over the storage.
HRESULT Create_Shared_Mesh(std::shared_ptr<Mesh_Storage> storage, ID3DXMesh** out);

// Three neighbours per face (0xFFFFFFFF where an edge has none): the face
// that shares each edge's two vertices. Edges are taken in face order
// (corner 0-1, 1-2, 2-0), as in D3DX adjacency buffers.
std::vector<DWORD> Build_Adjacency(const std::vector<std::uint32_t>& indices);

// The adjacency of a created mesh, in its final face order, as a buffer of
// 3 * GetNumFaces() DWORDs.
HRESULT Create_Adjacency_Buffer(ID3DXMesh* mesh, ID3DXBuffer** out);
