// D3DXCreateSphere: D3DX's vertex and face layout, radius and normals,
// outward clockwise winding (checked by arithmetic and by culling on a real
// device), adjacency, and 32-bit indices for large spheres.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/d3dx9.h"
#include "support/test_device.h"

namespace {

struct Sphere_Vertex {
    D3DXVECTOR3 p, n;
};

struct Sphere_Data {
    ID3DXMesh* mesh = nullptr;
    std::vector<Sphere_Vertex> vertices;
    std::vector<std::uint32_t> indices;

    Sphere_Data(IDirect3DDevice9* device, float radius, UINT slices, UINT stacks) {
        EXPECT_EQ(D3DXCreateSphere(device, radius, slices, stacks, &mesh, nullptr), D3D_OK);
        if (!mesh) return;
        void* data = nullptr;
        mesh->LockVertexBuffer(D3DLOCK_READONLY, &data);
        const auto* v = static_cast<const Sphere_Vertex*>(data);
        vertices.assign(v, v + mesh->GetNumVertices());
        mesh->UnlockVertexBuffer();
        mesh->LockIndexBuffer(D3DLOCK_READONLY, &data);
        indices.resize(mesh->GetNumFaces() * 3);
        for (std::size_t i = 0; i < indices.size(); ++i) {
            indices[i] = (mesh->GetOptions() & D3DXMESH_32BIT)
                             ? static_cast<const std::uint32_t*>(data)[i]
                             : static_cast<const std::uint16_t*>(data)[i];
        }
        mesh->UnlockIndexBuffer();
    }
    ~Sphere_Data() {
        if (mesh) mesh->Release();
    }
    Sphere_Data(const Sphere_Data&) = delete;
    Sphere_Data& operator=(const Sphere_Data&) = delete;
};

class Sphere : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(gpu.Ok()) << gpu.Error(); }
    Test_Device gpu{64, 64};
};

}  // namespace

TEST_F(Sphere, TheMarkerSphereHasD3dxLayout) {
    const float r = 5.0f;
    Sphere_Data s(gpu.device, r, 12, 12);
    ASSERT_NE(s.mesh, nullptr);
    EXPECT_EQ(s.mesh->GetNumVertices(), 134u);
    EXPECT_EQ(s.mesh->GetNumFaces(), 264u);
    EXPECT_EQ(s.mesh->GetFVF(), static_cast<DWORD>(D3DFVF_XYZ | D3DFVF_NORMAL));
    EXPECT_EQ(s.mesh->GetNumBytesPerVertex(), 24u);

    // North pole first, south pole last, rings of 12 from north to south.
    EXPECT_EQ(s.vertices.front().p, D3DXVECTOR3(0, 0, r));
    EXPECT_EQ(s.vertices.back().p, D3DXVECTOR3(0, 0, -r));
    for (UINT ring = 0; ring < 11; ++ring) {
        const float z = r * std::cos(D3DX_PI * (ring + 1) / 12);
        for (UINT k = 0; k < 12; ++k) {
            EXPECT_NEAR(s.vertices[1 + ring * 12 + k].p.z, z, 1e-4f) << ring << "," << k;
        }
    }
    for (const Sphere_Vertex& v : s.vertices) {
        EXPECT_NEAR(D3DXVec3Length(&v.p), r, 1e-4f);
        EXPECT_NEAR(v.n.x, v.p.x / r, 1e-5f);
        EXPECT_NEAR(v.n.y, v.p.y / r, 1e-5f);
        EXPECT_NEAR(v.n.z, v.p.z / r, 1e-5f);
    }

    // Fans at the poles, quads in between; every face clockwise seen from
    // outside, that is its (b-a) x (c-a) points away from the centre.
    for (std::size_t f = 0; f < 264; ++f) {
        const std::uint32_t a = s.indices[f * 3];
        const std::uint32_t b = s.indices[f * 3 + 1];
        const std::uint32_t c = s.indices[f * 3 + 2];
        const bool north = a == 0 || b == 0 || c == 0;
        const bool south = a == 133 || b == 133 || c == 133;
        EXPECT_EQ(north, f < 12) << f;
        EXPECT_EQ(south, f >= 252) << f;
        const D3DXVECTOR3 pa = s.vertices[a].p, pb = s.vertices[b].p, pc = s.vertices[c].p;
        D3DXVECTOR3 edge1 = pb - pa, edge2 = pc - pa, normal;
        D3DXVec3Cross(&normal, &edge1, &edge2);
        const D3DXVECTOR3 centre = (pa + pb + pc) / 3.0f;
        EXPECT_GT(D3DXVec3Dot(&normal, &centre), 0.0f) << "face " << f;
    }

    DWORD size = 0;
    s.mesh->GetAttributeTable(nullptr, &size);
    ASSERT_EQ(size, 1u);
    D3DXATTRIBUTERANGE range{};
    s.mesh->GetAttributeTable(&range, &size);
    EXPECT_EQ(range.AttribId, 0u);
    EXPECT_EQ(range.FaceCount, 264u);
    EXPECT_EQ(range.VertexCount, 134u);
}

TEST_F(Sphere, CountsFollowSlicesAndStacks) {
    const UINT sizes[][2] = {{3, 2}, {7, 5}, {2, 3}, {40, 20}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(testing::Message() << size[0] << "x" << size[1]);
        Sphere_Data s(gpu.device, 2.5f, size[0], size[1]);
        ASSERT_NE(s.mesh, nullptr);
        EXPECT_EQ(s.mesh->GetNumVertices(), size[0] * (size[1] - 1) + 2);
        EXPECT_EQ(s.mesh->GetNumFaces(), 2 * size[0] * (size[1] - 1));
        for (const Sphere_Vertex& v : s.vertices) EXPECT_NEAR(D3DXVec3Length(&v.p), 2.5f, 1e-4f);
    }
}

TEST_F(Sphere, AdjacencyClosesTheSurface) {
    ID3DXMesh* mesh = nullptr;
    ID3DXBuffer* adjacency = nullptr;
    ASSERT_EQ(D3DXCreateSphere(gpu.device, 1, 8, 6, &mesh, &adjacency), D3D_OK);
    ASSERT_NE(adjacency, nullptr);
    const DWORD faces = mesh->GetNumFaces();
    ASSERT_EQ(adjacency->GetBufferSize(), faces * 3 * sizeof(DWORD));
    const DWORD* a = static_cast<const DWORD*>(adjacency->GetBufferPointer());
    for (DWORD f = 0; f < faces; ++f) {
        for (int e = 0; e < 3; ++e) {
            const DWORD n = a[f * 3 + e];
            ASSERT_LT(n, faces) << "face " << f << " edge " << e << " has no neighbour";
            EXPECT_TRUE(a[n * 3] == f || a[n * 3 + 1] == f || a[n * 3 + 2] == f);
        }
    }
    adjacency->Release();
    mesh->Release();
}

TEST_F(Sphere, LargeSpheresUse32BitIndices) {
    Sphere_Data s(gpu.device, 1, 300, 300);
    ASSERT_NE(s.mesh, nullptr);
    EXPECT_EQ(s.mesh->GetNumVertices(), 300u * 299u + 2u);
    EXPECT_NE(s.mesh->GetOptions() & D3DXMESH_32BIT, 0u);
    EXPECT_EQ(s.indices[s.indices.size() - 2], 300u * 299u + 1u);  // the south pole
    Sphere_Data small(gpu.device, 1, 12, 12);
    EXPECT_EQ(small.mesh->GetOptions() & D3DXMESH_32BIT, 0u);
}

TEST_F(Sphere, BadArgumentsAreRefused) {
    ID3DXMesh* mesh = reinterpret_cast<ID3DXMesh*>(0x1);
    EXPECT_EQ(D3DXCreateSphere(gpu.device, 1, 1, 5, &mesh, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh, nullptr);
    EXPECT_EQ(D3DXCreateSphere(gpu.device, 1, 5, 1, &mesh, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateSphere(gpu.device, -1, 5, 5, &mesh, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateSphere(gpu.device, 1, 100000, 100000, &mesh, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateSphere(nullptr, 1, 5, 5, &mesh, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateSphere(gpu.device, 1, 5, 5, nullptr, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(Sphere, FrontFacesFaceTheViewerWhenDrawn) {
    Sphere_Data s(gpu.device, 5, 12, 12);
    ASSERT_NE(s.mesh, nullptr);
    IDirect3DDevice9* d = gpu.device;
    D3DXMATRIX world, view, projection;
    D3DXMatrixIdentity(&world);
    const D3DXVECTOR3 eye(0, 0, -20), at(0, 0, 0), up(0, 1, 0);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, D3DX_PI / 4, 1, 1, 100);
    d->SetTransform(D3DTS_WORLD, &world);
    d->SetTransform(D3DTS_VIEW, &view);
    d->SetTransform(D3DTS_PROJECTION, &projection);
    // A white light shining from the camera into the scene.
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1, 1, 1, 1};
    light.Direction = {0, 0, 1};
    d->SetLight(0, &light);
    d->LightEnable(0, TRUE);
    D3DMATERIAL9 material{};
    material.Diffuse = {1, 1, 1, 1};
    d->SetMaterial(&material);
    d->SetRenderState(D3DRS_LIGHTING, TRUE);
    d->SetRenderState(D3DRS_AMBIENT, 0);

    auto centre_after_drawing_with = [&](DWORD cull) {
        d->SetRenderState(D3DRS_CULLMODE, cull);
        d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1, 0);
        d->BeginScene();
        s.mesh->DrawSubset(0);
        d->EndScene();
        EXPECT_TRUE(gpu.Capture());
        EXPECT_EQ(gpu.Pixel(2, 2), 0xFF000000u);  // outside the sphere
        return gpu.Channel(32, 32, 0);
    };
    // Culling counter-clockwise faces keeps the near side, lit head-on.
    EXPECT_GE(centre_after_drawing_with(D3DCULL_CCW), 240);
    // Culling clockwise faces leaves the inside of the far side, facing away.
    EXPECT_LE(centre_after_drawing_with(D3DCULL_CW), 10);
}
