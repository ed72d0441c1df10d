// D3DXCreateSphere: a UV sphere around the z axis with D3DX's layout — the
// north pole (0, 0, +r) first, then (stacks - 1) rings of `slices` vertices
// from north to south, then the south pole; faces are the northern fan, the
// rings' quads as two triangles each, and the southern fan, all clockwise
// seen from outside.
#include "platform/d3dx9.h"

#include "platform/d3dx9/mesh_data.h"

#include <cmath>
#include <cstring>
#include <new>

namespace {

constexpr DWORD k_sphere_fvf = D3DFVF_XYZ | D3DFVF_NORMAL;

// Keeps a sphere within what one mesh with 32-bit indices can hold.
constexpr std::uint64_t k_max_sphere_vertices = 1u << 24;

}  // namespace

HRESULT WINAPI D3DXCreateSphere(LPDIRECT3DDEVICE9 pDevice, FLOAT Radius, UINT Slices, UINT Stacks,
                                LPD3DXMESH* ppMesh, LPD3DXBUFFER* ppAdjacency) {
    if (ppMesh) *ppMesh = nullptr;
    if (ppAdjacency) *ppAdjacency = nullptr;
    if (!pDevice || !ppMesh || !(Radius >= 0.0f) || Slices < 2 || Stacks < 2) {
        return D3DERR_INVALIDCALL;
    }
    const std::uint64_t vertex_count = std::uint64_t{Slices} * (Stacks - 1) + 2;
    if (vertex_count > k_max_sphere_vertices) return D3DERR_INVALIDCALL;
    const std::uint32_t face_count = 2 * Slices * (Stacks - 1);

    ID3DXMesh* mesh = nullptr;
    try {
        Mesh_Data data;
        data.fvf = k_sphere_fvf;
        data.vertex_count = static_cast<UINT>(vertex_count);
        const UINT stride = D3DXGetFVFVertexSize(k_sphere_fvf);
        data.vertices.resize(static_cast<std::size_t>(vertex_count) * stride);
        unsigned char* at = data.vertices.data();
        // Every normal is the unit direction from the centre.
        auto put = [&](float nx, float ny, float nz) {
            const float vertex[6] = {nx * Radius, ny * Radius, nz * Radius, nx, ny, nz};
            std::memcpy(at, vertex, sizeof vertex);
            at += stride;
        };
        put(0, 0, 1);
        for (UINT stack = 1; stack < Stacks; ++stack) {
            const double phi = D3DX_PI * stack / Stacks;
            const double ring = std::sin(phi);
            const float z = static_cast<float>(std::cos(phi));
            for (UINT slice = 0; slice < Slices; ++slice) {
                const double theta = 2.0 * D3DX_PI * slice / Slices;
                put(static_cast<float>(ring * std::cos(theta)),
                    static_cast<float>(ring * std::sin(theta)), z);
            }
        }
        put(0, 0, -1);

        // Slices run counter-clockwise seen from +z, so (a, a-south, a-east)
        // is clockwise seen from outside.
        data.indices.reserve(std::size_t{face_count} * 3);
        auto ring_vertex = [&](UINT stack, UINT slice) -> std::uint32_t {
            return 1 + (stack - 1) * Slices + slice % Slices;
        };
        auto face = [&](std::uint32_t a, std::uint32_t b, std::uint32_t c) {
            data.indices.push_back(a);
            data.indices.push_back(b);
            data.indices.push_back(c);
        };
        for (UINT slice = 0; slice < Slices; ++slice) {
            face(0, ring_vertex(1, slice), ring_vertex(1, slice + 1));
        }
        for (UINT stack = 1; stack + 1 < Stacks; ++stack) {
            for (UINT slice = 0; slice < Slices; ++slice) {
                const std::uint32_t up = ring_vertex(stack, slice);
                const std::uint32_t up_next = ring_vertex(stack, slice + 1);
                const std::uint32_t down = ring_vertex(stack + 1, slice);
                const std::uint32_t down_next = ring_vertex(stack + 1, slice + 1);
                face(up, down, up_next);
                face(up_next, down, down_next);
            }
        }
        const std::uint32_t south = static_cast<std::uint32_t>(vertex_count - 1);
        for (UINT slice = 0; slice < Slices; ++slice) {
            face(ring_vertex(Stacks - 1, slice), south, ring_vertex(Stacks - 1, slice + 1));
        }
        data.attributes.assign(face_count, 0);

        const HRESULT hr = Create_Mesh(pDevice, D3DXMESH_MANAGED, std::move(data), &mesh);
        if (FAILED(hr)) return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (ppAdjacency) {
        const HRESULT hr = Create_Adjacency_Buffer(mesh, ppAdjacency);
        if (FAILED(hr)) {
            mesh->Release();
            return hr;
        }
    }
    *ppMesh = mesh;
    return D3D_OK;
}
