// .x meshes: positions, winding, n-gons, frames and materials as the file
// writes them; every model assimp-testmodels installs compared with what
// assimp itself reads; ID3DXMesh drawing and locking on a real device; and
// damaged files failing cleanly.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <assimp/Importer.hpp>
#include <assimp/scene.h>

#include "platform/d3dx9.h"
#include "platform/d3dx9/mesh_x.h"
#include "recording_device.h"
#include "support/temp_dir.h"
#include "support/test_device.h"

namespace {

const std::string k_data = std::string(QM_SOURCE_DIR) + "/tests/data/x/";
const std::string k_assimp_models = "/usr/share/assimp/models/X/";

std::string Read_All(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

HRESULT Parse(const std::string& bytes, X_Mesh* out) {
    return X_Load_Mesh(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), out);
}

// Everything D3DXLoadMeshFromXA hands back, released at the end.
struct Loaded {
    HRESULT hr = E_FAIL;
    ID3DXMesh* mesh = nullptr;
    ID3DXBuffer* materials = nullptr;
    ID3DXBuffer* adjacency = nullptr;
    DWORD material_count = 0;

    Loaded() = default;
    Loaded(const Loaded&) = delete;
    Loaded& operator=(const Loaded&) = delete;
    ~Loaded() {
        if (mesh) mesh->Release();
        if (materials) materials->Release();
        if (adjacency) adjacency->Release();
    }

    const D3DXMATERIAL& Material(DWORD i) const {
        return static_cast<const D3DXMATERIAL*>(materials->GetBufferPointer())[i];
    }
};

void Load(IDirect3DDevice9* device, const std::string& path, Loaded* out,
          bool want_adjacency = false) {
    out->hr = D3DXLoadMeshFromXA(path.c_str(), D3DXMESH_SYSTEMMEM, device,
                                 want_adjacency ? &out->adjacency : nullptr, &out->materials,
                                 nullptr, &out->material_count, &out->mesh);
}

struct Vertex {
    float x, y, z, nx, ny, nz, u, v;
};

// The vertices of a mesh, read through its lock; formats without normals or
// texture coordinates read those as zero.
std::vector<Vertex> Vertices(ID3DXMesh* mesh) {
    const DWORD fvf = mesh->GetFVF();
    const DWORD stride = mesh->GetNumBytesPerVertex();
    void* data = nullptr;
    EXPECT_EQ(mesh->LockVertexBuffer(D3DLOCK_READONLY, &data), D3D_OK);
    std::vector<Vertex> out(mesh->GetNumVertices());
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto* p = reinterpret_cast<const float*>(static_cast<const char*>(data) + i * stride);
        Vertex& v = out[i];
        v = {p[0], p[1], p[2], 0, 0, 0, 0, 0};
        int at = 3;
        if (fvf & D3DFVF_NORMAL) {
            v.nx = p[3];
            v.ny = p[4];
            v.nz = p[5];
            at = 6;
        }
        if (fvf & D3DFVF_TEX1) {
            v.u = p[at];
            v.v = p[at + 1];
        }
    }
    mesh->UnlockVertexBuffer();
    return out;
}

std::vector<std::uint32_t> Indices(ID3DXMesh* mesh) {
    void* data = nullptr;
    EXPECT_EQ(mesh->LockIndexBuffer(D3DLOCK_READONLY, &data), D3D_OK);
    std::vector<std::uint32_t> out(mesh->GetNumFaces() * 3);
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (mesh->GetOptions() & D3DXMESH_32BIT) {
            out[i] = static_cast<const std::uint32_t*>(data)[i];
        } else {
            out[i] = static_cast<const std::uint16_t*>(data)[i];
        }
    }
    mesh->UnlockIndexBuffer();
    return out;
}

std::vector<D3DXATTRIBUTERANGE> Attribute_Table(ID3DXMesh* mesh) {
    DWORD size = 0;
    EXPECT_EQ(mesh->GetAttributeTable(nullptr, &size), D3D_OK);
    std::vector<D3DXATTRIBUTERANGE> table(size);
    if (size) mesh->GetAttributeTable(table.data(), &size);
    return table;
}

void Expect_Colour(const D3DCOLORVALUE& c, float r, float g, float b, float a) {
    EXPECT_FLOAT_EQ(c.r, r);
    EXPECT_FLOAT_EQ(c.g, g);
    EXPECT_FLOAT_EQ(c.b, b);
    EXPECT_FLOAT_EQ(c.a, a);
}

class X_Mesh_Load : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(gpu.Ok()) << gpu.Error(); }
    Test_Device gpu{64, 32};
};

}  // namespace

TEST_F(X_Mesh_Load, DeclarationFromAFormatDrawsItsVertices) {
    // The compiler's layout of the vertex is the independent one: the size
    // D3DX gives the format is the stride of the draw and the declaration it
    // derives feeds the colours, so a wrong offset or size shows in the pixel.
    struct Vertex {
        float x, y, z, rhw;
        D3DCOLOR diffuse, specular;
        float u0, u1, v1, w1;
    };
    const DWORD fvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2 |
                      D3DFVF_TEXCOORDSIZE1(0) | D3DFVF_TEXCOORDSIZE3(1);
    ASSERT_EQ(D3DXGetFVFVertexSize(fvf), sizeof(Vertex));
    D3DVERTEXELEMENT9 elements[MAXD3DDECLLENGTH];
    ASSERT_EQ(D3DXDeclaratorFromFVF(fvf, elements), D3D_OK);
    IDirect3DVertexDeclaration9* decl = nullptr;
    ASSERT_EQ(gpu.device->CreateVertexDeclaration(elements, &decl), D3D_OK);
    auto at = [](float x, float y) {
        return Vertex{x, y, 0.5f, 1, D3DCOLOR_ARGB(255, 100, 0, 0), D3DCOLOR_ARGB(255, 0, 0, 90),
                      0, 0, 0,    0};
    };
    const Vertex v[4] = {at(0, 32), at(0, 0), at(64, 32), at(64, 0)};
    gpu.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1, 0);
    gpu.device->BeginScene();
    gpu.device->SetVertexDeclaration(decl);
    gpu.device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    EXPECT_EQ(gpu.device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, D3DXGetFVFVertexSize(fvf)),
              D3D_OK);
    gpu.device->EndScene();
    decl->Release();
    ASSERT_TRUE(gpu.Capture());
    EXPECT_EQ(gpu.Pixel(32, 16), D3DCOLOR_ARGB(255, 100, 0, 90));
    // Without a position there is no declaration.
    EXPECT_EQ(D3DXDeclaratorFromFVF(D3DFVF_NORMAL, elements), D3DERR_INVALIDCALL);
}

TEST_F(X_Mesh_Load, TextFileKeepsPositionsWindingAndSubsets) {
    Loaded x;
    Load(gpu.device, k_data + "shapes.x", &x, true);
    ASSERT_EQ(x.hr, D3D_OK);
    ID3DXMesh* mesh = x.mesh;
    EXPECT_EQ(mesh->GetFVF(), static_cast<DWORD>(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1));
    EXPECT_EQ(mesh->GetNumBytesPerVertex(), 32u);
    EXPECT_EQ(mesh->GetNumVertices(), 9u);
    // Quad (2 triangles), pentagon (3), triangle (1).
    EXPECT_EQ(mesh->GetNumFaces(), 6u);
    EXPECT_EQ(mesh->GetOptions() & D3DXMESH_32BIT, 0u);
    EXPECT_EQ(mesh->GetOptions() & D3DXMESH_SYSTEMMEM, static_cast<DWORD>(D3DXMESH_SYSTEMMEM));

    // The numbers of the file, in its order, untouched by any handedness change.
    const float positions[9][3] = {{0, 0, 0},        {2, 0, 0},     {2, 1.5f, 0.25f},
                                   {0, 1.5f, 0.25f}, {5, 0, 0},     {6, 1, 0},
                                   {5.5f, 2, -1},    {4.5f, 2, -1}, {4, 1, 0}};
    const float uv[9][2] = {{0, 1},          {1, 1},          {1, 0},
                            {0, 0},          {0.5f, 0.25f},   {0.75f, 0.5f},
                            {0.625f, 0.75f}, {0.375f, 0.75f}, {0.25f, 0.5f}};
    const std::vector<Vertex> v = Vertices(mesh);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(v[i].x, positions[i][0]) << i;
        EXPECT_EQ(v[i].y, positions[i][1]) << i;
        EXPECT_EQ(v[i].z, positions[i][2]) << i;
        EXPECT_EQ(v[i].nz, -1.0f) << i;
        EXPECT_EQ(v[i].u, uv[i][0]) << i;
        EXPECT_EQ(v[i].v, uv[i][1]) << i;
    }

    // Subset 0 (Brick) holds the pentagon as a fan around its first corner,
    // subset 1 (Glass) the quad and then the triangle; corners keep the
    // file's order.
    const std::vector<std::uint32_t> expected = {4, 8, 7, 4, 7, 6, 4, 6, 5,
                                                 0, 3, 2, 0, 2, 1, 2, 8, 1};
    EXPECT_EQ(Indices(mesh), expected);
    const std::vector<D3DXATTRIBUTERANGE> table = Attribute_Table(mesh);
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[0].AttribId, 0u);
    EXPECT_EQ(table[0].FaceStart, 0u);
    EXPECT_EQ(table[0].FaceCount, 3u);
    EXPECT_EQ(table[0].VertexStart, 4u);
    EXPECT_EQ(table[0].VertexCount, 5u);
    EXPECT_EQ(table[1].AttribId, 1u);
    EXPECT_EQ(table[1].FaceStart, 3u);
    EXPECT_EQ(table[1].FaceCount, 3u);
    EXPECT_EQ(table[1].VertexStart, 0u);
    EXPECT_EQ(table[1].VertexCount, 9u);

    // Materials in list order: the referenced Brick, then the inline Glass.
    ASSERT_EQ(x.material_count, 2u);
    ASSERT_NE(x.materials, nullptr);
    const D3DXMATERIAL& brick = x.Material(0);
    Expect_Colour(brick.MatD3D.Diffuse, 0.8f, 0.3f, 0.2f, 1.0f);
    Expect_Colour(brick.MatD3D.Ambient, 0, 0, 0, 0);
    EXPECT_FLOAT_EQ(brick.MatD3D.Power, 12.5f);
    EXPECT_FLOAT_EQ(brick.MatD3D.Specular.g, 0.5f);
    EXPECT_FLOAT_EQ(brick.MatD3D.Emissive.r, 0.1f);
    ASSERT_NE(brick.pTextureFilename, nullptr);
    EXPECT_STREQ(brick.pTextureFilename, "brick.bmp");
    // The name lives inside the buffer, after the records.
    const char* begin = static_cast<const char*>(x.materials->GetBufferPointer());
    EXPECT_GE(brick.pTextureFilename, begin + 2 * sizeof(D3DXMATERIAL));
    EXPECT_LT(brick.pTextureFilename, begin + x.materials->GetBufferSize());
    const D3DXMATERIAL& glass = x.Material(1);
    Expect_Colour(glass.MatD3D.Diffuse, 0.2f, 0.4f, 0.9f, 0.5f);
    EXPECT_FLOAT_EQ(glass.MatD3D.Power, 40.0f);
    EXPECT_FLOAT_EQ(glass.MatD3D.Emissive.b, 0.1f);
    EXPECT_EQ(glass.pTextureFilename, nullptr);

    // Adjacency in the final face order: the quad's triangles (faces 3, 4)
    // share the edge 0-2; the last triangle meets face 4 along 2-1.
    ASSERT_NE(x.adjacency, nullptr);
    ASSERT_EQ(x.adjacency->GetBufferSize(), 6 * 3 * sizeof(DWORD));
    const DWORD* adjacency = static_cast<const DWORD*>(x.adjacency->GetBufferPointer());
    EXPECT_EQ(adjacency[3 * 3 + 2], 4u);           // face 3, edge 2 -> 0
    EXPECT_EQ(adjacency[4 * 3 + 0], 3u);           // face 4, edge 0 -> 2
    EXPECT_EQ(adjacency[4 * 3 + 1], 5u);           // face 4, edge 2 -> 1
    EXPECT_EQ(adjacency[5 * 3 + 2], 4u);           // face 5, edge 1 -> 2
    EXPECT_EQ(adjacency[3 * 3 + 0], 0xFFFFFFFFu);  // face 3, edge 0 -> 3: the quad's border

    D3DVERTEXELEMENT9 decl[MAXD3DDECLLENGTH];
    ASSERT_EQ(mesh->GetDeclaration(decl), D3D_OK);
    EXPECT_EQ(decl[2].Usage, D3DDECLUSAGE_TEXCOORD);
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(mesh->GetDevice(&device), D3D_OK);
    EXPECT_EQ(device, gpu.device);
    device->Release();
}

TEST_F(X_Mesh_Load, MaterialNamesAndTheDefaultMaterial) {
    X_Mesh shapes;
    ASSERT_EQ(Parse(Read_All(k_data + "shapes.x"), &shapes), D3D_OK);
    ASSERT_EQ(shapes.materials.size(), 2u);
    EXPECT_EQ(shapes.materials[0].name, "Brick");
    EXPECT_EQ(shapes.materials[1].name, "Glass");

    // A file without materials gets one white material for all its meshes.
    Loaded x;
    Load(gpu.device, k_data + "frames.x", &x);
    ASSERT_EQ(x.hr, D3D_OK);
    ASSERT_EQ(x.material_count, 1u);
    Expect_Colour(x.Material(0).MatD3D.Diffuse, 1, 1, 1, 1);
    Expect_Colour(x.Material(0).MatD3D.Specular, 0, 0, 0, 0);
    EXPECT_EQ(x.Material(0).pTextureFilename, nullptr);
    const std::vector<D3DXATTRIBUTERANGE> table = Attribute_Table(x.mesh);
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(table[0].FaceCount, 3u);
}

TEST_F(X_Mesh_Load, FramesAreMergedWithTheirTransforms) {
    Loaded x;
    Load(gpu.device, k_data + "frames.x", &x);
    ASSERT_EQ(x.hr, D3D_OK);
    ASSERT_EQ(x.mesh->GetNumVertices(), 9u);
    ASSERT_EQ(x.mesh->GetNumFaces(), 3u);
    // One mesh has normals: the merged format carries them for all.
    EXPECT_EQ(x.mesh->GetFVF(), static_cast<DWORD>(D3DFVF_XYZ | D3DFVF_NORMAL));
    const std::vector<Vertex> v = Vertices(x.mesh);
    // Inner: a quarter turn about z and a move by (0,5,0), then the outer
    // scale by 2 and move by (10,0,0).
    const float expected[9][3] = {{10, 12, 0}, {8, 10, 0}, {10, 10, 2},  // inner, in file order
                                  {12, 0, 0},  {10, 2, 0}, {10, 0, 2},   // outer
                                  {0, 0, 0},   {1, 0, 0},  {0, 1, 0}};   // outside any frame
    for (int i = 0; i < 9; ++i) {
        EXPECT_NEAR(v[i].x, expected[i][0], 1e-5f) << i;
        EXPECT_NEAR(v[i].y, expected[i][1], 1e-5f) << i;
        EXPECT_NEAR(v[i].z, expected[i][2], 1e-5f) << i;
    }
    // The inner normal (1,0,0) turns with its frame and keeps unit length.
    EXPECT_NEAR(v[0].nx, 0, 1e-5f);
    EXPECT_NEAR(v[0].ny, 1, 1e-5f);
    EXPECT_NEAR(v[3].nx, 0, 1e-5f);  // meshes without normals read zero
    const std::vector<std::uint32_t> expected_indices = {0, 1, 2, 3, 4, 5, 6, 8, 7};
    EXPECT_EQ(Indices(x.mesh), expected_indices);
}

TEST_F(X_Mesh_Load, MaterialReferencesResolveByName) {
    Loaded x;
    Load(gpu.device, k_data + "references.x", &x);
    ASSERT_EQ(x.hr, D3D_OK);
    // Each mesh's list in its own order: Green, Blue, Red, then Red again.
    ASSERT_EQ(x.material_count, 4u);
    Expect_Colour(x.Material(0).MatD3D.Diffuse, 0, 1, 0, 1);
    Expect_Colour(x.Material(1).MatD3D.Diffuse, 0, 0, 1, 1);
    EXPECT_FLOAT_EQ(x.Material(1).MatD3D.Power, 2.0f);
    Expect_Colour(x.Material(2).MatD3D.Diffuse, 1, 0, 0, 1);
    Expect_Colour(x.Material(3).MatD3D.Diffuse, 1, 0, 0, 1);
    const std::vector<D3DXATTRIBUTERANGE> table = Attribute_Table(x.mesh);
    ASSERT_EQ(table.size(), 4u);
    for (DWORD i = 0; i < 4; ++i) {
        EXPECT_EQ(table[i].AttribId, i);
        EXPECT_EQ(table[i].FaceStart, i);
        EXPECT_EQ(table[i].FaceCount, 1u);
    }
    // Face 1 of the first mesh (1,2,3) is the one that names Blue.
    const std::vector<std::uint32_t> indices = Indices(x.mesh);
    EXPECT_EQ(std::vector<std::uint32_t>(indices.begin() + 3, indices.begin() + 6),
              (std::vector<std::uint32_t>{1, 2, 3}));
}

TEST_F(X_Mesh_Load, WindowsPathsAndUnreadableFiles) {
    Temp_Dir dir;
    dir.Write("Models/Shapes.X", Read_All(k_data + "shapes.x"));
    Loaded found;
    Load(gpu.device, "MODELS\\shapes.x", &found);
    EXPECT_EQ(found.hr, D3D_OK);

    Loaded missing, empty, not_x;
    Load(gpu.device, "models\\none.x", &missing);
    EXPECT_LT(missing.hr, 0);
    EXPECT_EQ(missing.mesh, nullptr);
    EXPECT_EQ(missing.materials, nullptr);
    dir.Write("empty.x", "");
    Load(gpu.device, "empty.x", &empty);
    EXPECT_LT(empty.hr, 0);
    dir.Write("text.x", "just some text that is long enough");
    Load(gpu.device, "text.x", &not_x);
    EXPECT_LT(not_x.hr, 0);

    ID3DXMesh* mesh = reinterpret_cast<ID3DXMesh*>(0x1);
    EXPECT_EQ(D3DXLoadMeshFromXA("empty.x", 0, nullptr, nullptr, nullptr, nullptr, nullptr, &mesh),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh, nullptr);
}

TEST(X_Mesh_Files, BrokenContentIsRefused) {
    const std::string head = "xof 0303txt 0032\n";
    const std::string corners = "0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;;";
    const std::string triangle = "Mesh M { 3; " + corners + " 1; 3;0,1,2;;";
    const std::string red = "Material Red { 1.0;0.0;0.0;1.0;; 1.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }\n";
    X_Mesh out;
    ASSERT_EQ(Parse(head + triangle + " }", &out), D3D_OK);
    const std::string normals = " MeshNormals { 1; 0.0;0.0;1.0;; 1; ";
    const std::vector<std::pair<const char*, std::string>> broken = {
        {"index past the vertices", head + "Mesh M { 3; " + corners + " 1; 3;0,1,3;; }"},
        {"fewer vertices than counted",
         head + "Mesh M { 4; 0.0;0.0;0.0;, 1.0;0.0;0.0;; 1; 3;0,1,2;; }"},
        {"unclosed mesh", head + triangle},
        {"unknown reference", head + triangle + " MeshMaterialList { 1; 1; 0;; { Nowhere } } }"},
        {"material index past the list",
         head + red + triangle + " MeshMaterialList { 1; 1; 1;; { Red } } }"},
        {"fewer materials than counted",
         head + red + triangle + " MeshMaterialList { 2; 1; 0;; { Red } } }"},
        {"normal faces not matching", head + triangle + normals + "4;0,0,0,0;; } }"},
        {"normal index past the normals", head + triangle + normals + "3;0,0,1;; } }"},
        {"too few texture coordinates",
         head + triangle + " MeshTextureCoords { 2; 0.0;0.0;, 1.0;1.0;; } }"},
        {"no mesh at all", head + "Frame F { }"},
        {"text where numbers belong",
         head + "Mesh M { 3; 0.0;zero;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;; 1; 3;0,1,2;; }"},
        {"number beyond float range",
         head + "Mesh M { 3; 1e300;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;; 1; 3;0,1,2;; }"},
        {"deep nesting", head +
                             [] {
                                 std::string frames;
                                 for (int i = 0; i < 200; ++i) frames += "Frame F { ";
                                 return frames;
                             }()},
        {"unknown flavour", "xof 0303abc 0032\n" + triangle + " }"},
        {"unknown float size", "xof 0303txt 0016\n" + triangle + " }"},
        {"huge counts", head + "Mesh M { 4000000000; 0.0;0.0;0.0;; 1; 3;0,1,2;; }"},
        {"short header", "xof 0303"},
    };
    for (const auto& [why, text] : broken) {
        EXPECT_EQ(Parse(text, &out), D3DXERR_INVALIDDATA) << why;
    }
    EXPECT_EQ(Parse(Read_All("/usr/share/assimp/models/invalid/empty.x"), &out),
              D3DXERR_INVALIDDATA);
}

TEST(X_Mesh_Files, DamagedFilesFailCleanly) {
    // Truncated and bit-flipped copies of text, binary and compressed files:
    // either a consistent mesh or a negative result, never more.
    const std::vector<std::string> files = {
        Read_All(k_data + "shapes.x"),
        Read_All(k_data + "frames.x"),
        Read_All(k_assimp_models + "test_cube_binary.x"),
        Read_All(k_assimp_models + "test_cube_compressed.x"),
        Read_All(k_assimp_models + "kwxport_test_cubewithvcolors.x"),
    };
    std::mt19937 random(4242);
    for (std::size_t f = 0; f < files.size(); ++f) {
        SCOPED_TRACE(f);
        const std::string& file = files[f];
        ASSERT_FALSE(file.empty());
        auto check = [](const std::string& damaged) {
            X_Mesh out;
            if (FAILED(Parse(damaged, &out))) return;
            const Mesh_Data& m = out.mesh;
            ASSERT_EQ(m.vertices.size(), m.vertex_count * D3DXGetFVFVertexSize(m.fvf));
            ASSERT_EQ(m.indices.size(), m.attributes.size() * 3);
            for (std::uint32_t index : m.indices) ASSERT_LT(index, m.vertex_count);
            for (DWORD attribute : m.attributes) ASSERT_LT(attribute, out.materials.size());
        };
        for (std::size_t length = 0; length < file.size(); length += 1 + file.size() / 300) {
            check(file.substr(0, length));
        }
        for (int round = 0; round < 400; ++round) {
            std::string damaged = file;
            const int flips = 1 + static_cast<int>(random() % 4);
            for (int i = 0; i < flips; ++i) {
                const std::size_t at = 16 + random() % (damaged.size() - 16);
                damaged[at] = static_cast<char>(damaged[at] ^ (1 << (random() % 8)));
            }
            check(damaged);
        }
    }
}

// ---------------------------------------------------------------------------
// Against assimp
// ---------------------------------------------------------------------------
namespace {

using Triangle = std::array<long, 9>;

long Grid(float v) {
    return std::lround(v * 1000.0f);
}

// Triangles of an assimp scene in the file's own coordinates: assimp mirrors
// z and reverses every face, so both are undone; polygons become fans.
void Assimp_Triangles(const aiScene* scene, const aiNode* node, const aiMatrix4x4& parent,
                      std::vector<Triangle>* triangles, std::vector<aiColor4D>* diffuse) {
    const aiMatrix4x4 world = parent * node->mTransformation;
    for (unsigned i = 0; i < node->mNumMeshes; ++i) {
        const aiMesh* mesh = scene->mMeshes[node->mMeshes[i]];
        aiColor4D colour(0, 0, 0, 0);
        scene->mMaterials[mesh->mMaterialIndex]->Get(AI_MATKEY_COLOR_DIFFUSE, colour);
        for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
            const aiFace& face = mesh->mFaces[f];
            std::vector<aiVector3D> corners;
            for (unsigned k = face.mNumIndices; k-- > 0;) {
                aiVector3D p = world * mesh->mVertices[face.mIndices[k]];
                p.z = -p.z;
                corners.push_back(p);
            }
            for (std::size_t t = 1; t + 1 < corners.size(); ++t) {
                const aiVector3D& a = corners[0];
                const aiVector3D& b = corners[t];
                const aiVector3D& c = corners[t + 1];
                triangles->push_back({Grid(a.x), Grid(a.y), Grid(a.z), Grid(b.x), Grid(b.y),
                                      Grid(b.z), Grid(c.x), Grid(c.y), Grid(c.z)});
                diffuse->push_back(colour);
            }
        }
    }
    for (unsigned i = 0; i < node->mNumChildren; ++i) {
        Assimp_Triangles(scene, node->mChildren[i], world, triangles, diffuse);
    }
}

std::vector<std::string> Installed_X_Files() {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(k_assimp_models, error)) {
        if (!entry.is_regular_file()) continue;
        const std::string path = entry.path().string();
        if (Read_All(path).compare(0, 4, "xof ") == 0) files.push_back(path);
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

TEST_F(X_Mesh_Load, EveryInstalledModelMatchesAssimp) {
    const std::vector<std::string> files = Installed_X_Files();
    ASSERT_GE(files.size(), 10u) << "assimp-testmodels not installed?";
    int binary = 0, compressed = 0, loaded = 0;
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        const std::string bytes = Read_All(path);
        binary += bytes.compare(8, 4, "bin ") == 0;
        compressed += bytes.compare(8, 4, "bzip") == 0 || bytes.compare(8, 4, "tzip") == 0;

        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(path, 0);
        Loaded x;
        Load(gpu.device, path, &x);
        if (!scene) {
            // A file assimp refuses is a broken one here too.
            EXPECT_LT(x.hr, 0);
            continue;
        }
        ASSERT_EQ(x.hr, D3D_OK);
        ++loaded;

        std::vector<Triangle> expected;
        std::vector<aiColor4D> expected_diffuse;
        Assimp_Triangles(scene, scene->mRootNode, aiMatrix4x4(), &expected, &expected_diffuse);
        EXPECT_EQ(x.mesh->GetNumFaces(), expected.size());
        EXPECT_EQ(x.material_count, scene->mNumMaterials);

        const std::vector<Vertex> v = Vertices(x.mesh);
        const std::vector<std::uint32_t> indices = Indices(x.mesh);
        const std::vector<D3DXATTRIBUTERANGE> table = Attribute_Table(x.mesh);
        std::vector<std::pair<Triangle, std::array<long, 4>>> mine, theirs;
        // Assimp's stand-in for a file without materials has no name; its
        // colour is not the one to compare with.
        aiString first_name;
        const bool file_has_materials =
            scene->mMaterials[0]->Get(AI_MATKEY_NAME, first_name) == AI_SUCCESS;
        for (const D3DXATTRIBUTERANGE& range : table) {
            const D3DCOLORVALUE c = x.Material(range.AttribId).MatD3D.Diffuse;
            for (DWORD f = range.FaceStart; f < range.FaceStart + range.FaceCount; ++f) {
                Triangle t;
                for (int k = 0; k < 3; ++k) {
                    const Vertex& p = v[indices[f * 3 + k]];
                    t[k * 3] = Grid(p.x);
                    t[k * 3 + 1] = Grid(p.y);
                    t[k * 3 + 2] = Grid(p.z);
                }
                std::array<long, 4> colour = {0, 0, 0, 0};
                if (file_has_materials) colour = {Grid(c.r), Grid(c.g), Grid(c.b), Grid(c.a)};
                mine.emplace_back(t, colour);
            }
        }
        for (std::size_t i = 0; i < expected.size(); ++i) {
            std::array<long, 4> colour = {0, 0, 0, 0};
            const aiColor4D& c = expected_diffuse[i];
            if (file_has_materials) colour = {Grid(c.r), Grid(c.g), Grid(c.b), Grid(c.a)};
            theirs.emplace_back(expected[i], colour);
        }
        std::sort(mine.begin(), mine.end());
        std::sort(theirs.begin(), theirs.end());
        EXPECT_TRUE(mine == theirs) << "triangles, winding or materials differ";
    }
    EXPECT_GE(loaded, 9);
    EXPECT_GE(binary, 2);
    EXPECT_GE(compressed, 1);
}

TEST(X_Mesh_Files, TextBinaryAndCompressedCubesAgree) {
    X_Mesh text, binary, compressed;
    ASSERT_EQ(Parse(Read_All(k_assimp_models + "test_cube_text.x"), &text), D3D_OK);
    ASSERT_EQ(Parse(Read_All(k_assimp_models + "test_cube_binary.x"), &binary), D3D_OK);
    ASSERT_EQ(Parse(Read_All(k_assimp_models + "test_cube_compressed.x"), &compressed), D3D_OK);
    EXPECT_EQ(binary.mesh.indices, compressed.mesh.indices);
    EXPECT_EQ(binary.mesh.vertices, compressed.mesh.vertices);
    EXPECT_EQ(text.mesh.indices, binary.mesh.indices);
    ASSERT_EQ(text.mesh.vertices.size(), binary.mesh.vertices.size());
    const auto* a = reinterpret_cast<const float*>(text.mesh.vertices.data());
    const auto* b = reinterpret_cast<const float*>(binary.mesh.vertices.data());
    for (std::size_t i = 0; i < text.mesh.vertices.size() / 4; ++i) EXPECT_NEAR(a[i], b[i], 1e-5f);
}

// ---------------------------------------------------------------------------
// Drawing and locking
// ---------------------------------------------------------------------------
namespace {

// World x -1..7 and y -1..3 onto the 64x32 back buffer, 8 pixels per unit.
void Set_Ortho_View(IDirect3DDevice9* device) {
    D3DXMATRIX identity, projection;
    D3DXMatrixIdentity(&identity);
    D3DXMatrixOrthoOffCenterLH(&projection, -1, 7, -1, 3, -5, 5);
    device->SetTransform(D3DTS_WORLD, &identity);
    device->SetTransform(D3DTS_VIEW, &identity);
    device->SetTransform(D3DTS_PROJECTION, &projection);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
}

int Pixel_X(float world_x) {
    return static_cast<int>((world_x + 1) * 8);
}
int Pixel_Y(float world_y) {
    return static_cast<int>((3 - world_y) * 8);
}

}  // namespace

TEST_F(X_Mesh_Load, DrawSubsetDrawsOnlyItsFaces) {
    Recording_Device recorder(gpu.device);
    Loaded x;
    Load(&recorder, k_data + "shapes.x", &x);
    ASSERT_EQ(x.hr, D3D_OK);
    Set_Ortho_View(gpu.device);

    auto draw = [&](DWORD subset) {
        gpu.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1, 0);
        gpu.device->BeginScene();
        EXPECT_EQ(x.mesh->DrawSubset(subset), D3D_OK);
        gpu.device->EndScene();
        EXPECT_TRUE(gpu.Capture());
    };
    const int quad_x = Pixel_X(1), quad_y = Pixel_Y(0.7f);
    const int pentagon_x = Pixel_X(5), pentagon_y = Pixel_Y(1);

    recorder.Reset_Counts();
    draw(1);  // the quad and the triangle
    EXPECT_EQ(recorder.Count("DrawIndexedPrimitive"), 1);
    const auto call = recorder.Last_Indexed_Draw();
    EXPECT_EQ(call.start_index, 9u);
    EXPECT_EQ(call.primitive_count, 3u);
    EXPECT_EQ(call.min_vertex, 0u);
    EXPECT_EQ(call.vertex_count, 9u);
    EXPECT_EQ(gpu.Pixel(quad_x, quad_y), 0xFFFFFFFFu);
    EXPECT_EQ(gpu.Pixel(pentagon_x, pentagon_y), 0xFF000000u);

    draw(0);  // the pentagon
    EXPECT_EQ(gpu.Pixel(quad_x, quad_y), 0xFF000000u);
    EXPECT_EQ(gpu.Pixel(pentagon_x, pentagon_y), 0xFFFFFFFFu);

    // A subset no face uses draws nothing and is no error.
    recorder.Reset_Counts();
    draw(7);
    EXPECT_EQ(recorder.Count("DrawIndexedPrimitive"), 0);
    EXPECT_EQ(gpu.Pixel(quad_x, quad_y), 0xFF000000u);

    // The file's polygons are clockwise seen from -z: culling clockwise
    // faces removes them.
    gpu.device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    draw(1);
    EXPECT_EQ(gpu.Pixel(quad_x, quad_y), 0xFF000000u);
    gpu.device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);

    x.mesh->Release();
    x.mesh = nullptr;
    EXPECT_EQ(recorder.References(), 0u) << "the mesh gave its device reference back";
}

TEST_F(X_Mesh_Load, LockedChangesReachTheDevice) {
    Loaded x;
    Load(gpu.device, k_data + "shapes.x", &x);
    ASSERT_EQ(x.hr, D3D_OK);
    Set_Ortho_View(gpu.device);

    void* data = nullptr;
    ASSERT_EQ(x.mesh->LockVertexBuffer(0, &data), D3D_OK);
    EXPECT_EQ(x.mesh->LockVertexBuffer(0, &data), D3DERR_INVALIDCALL);  // already locked
    // Move the quad's four corners up by one unit.
    for (int i = 0; i < 4; ++i) static_cast<float*>(data)[i * 8 + 1] += 1.0f;
    ASSERT_EQ(x.mesh->UnlockVertexBuffer(), D3D_OK);
    EXPECT_EQ(x.mesh->UnlockVertexBuffer(), D3DERR_INVALIDCALL);

    // Drop the last triangle by pointing it at one vertex.
    ASSERT_EQ(x.mesh->LockIndexBuffer(0, &data), D3D_OK);
    auto* indices = static_cast<std::uint16_t*>(data);
    indices[15] = indices[16] = indices[17] = 0;
    ASSERT_EQ(x.mesh->UnlockIndexBuffer(), D3D_OK);

    gpu.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1, 0);
    gpu.device->BeginScene();
    x.mesh->DrawSubset(1);
    gpu.device->EndScene();
    ASSERT_TRUE(gpu.Capture());
    EXPECT_EQ(gpu.Pixel(Pixel_X(1), Pixel_Y(0.5f)), 0xFF000000u);  // where the quad was
    EXPECT_EQ(gpu.Pixel(Pixel_X(1), Pixel_Y(2.0f)), 0xFFFFFFFFu);  // where it is now
    // The triangle, had it stayed, would now span (2,1), (2,2.5), (4,1).
    EXPECT_EQ(gpu.Pixel(Pixel_X(2.5f), Pixel_Y(1.5f)), 0xFF000000u);
}

TEST_F(X_Mesh_Load, MeshesOfOneUnchangedFileShareUntilOneIsWritten) {
    Temp_Dir dir;
    dir.Write("shapes.x", Read_All(k_data + "shapes.x"));
    Set_Ortho_View(gpu.device);
    auto quad_drawn_at = [&](ID3DXMesh* mesh, float y) {
        gpu.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1, 0);
        gpu.device->BeginScene();
        mesh->DrawSubset(1);
        gpu.device->EndScene();
        EXPECT_TRUE(gpu.Capture());
        return gpu.Pixel(Pixel_X(1), Pixel_Y(y)) == 0xFFFFFFFFu;
    };
    auto raise_quad = [](ID3DXMesh* mesh) {
        void* data = nullptr;
        ASSERT_EQ(mesh->LockVertexBuffer(0, &data), D3D_OK);
        for (int i = 0; i < 4; ++i) static_cast<float*>(data)[i * 8 + 1] += 1.0f;
        ASSERT_EQ(mesh->UnlockVertexBuffer(), D3D_OK);
    };

    // The first mesh is written while it is the only one: later loads still
    // get the file.
    Loaded a, b, c;
    Load(gpu.device, "shapes.x", &a);
    ASSERT_EQ(a.hr, D3D_OK);
    raise_quad(a.mesh);
    Load(gpu.device, "shapes.x", &b);
    Load(gpu.device, "shapes.x", &c);
    ASSERT_EQ(b.hr, D3D_OK);
    ASSERT_EQ(c.hr, D3D_OK);
    EXPECT_NE(b.mesh, c.mesh);
    EXPECT_TRUE(quad_drawn_at(a.mesh, 2.0f));
    EXPECT_TRUE(quad_drawn_at(b.mesh, 0.5f));

    // Materials and counts come with every load.
    ASSERT_EQ(c.material_count, a.material_count);
    for (DWORD i = 0; i < a.material_count; ++i) {
        const char* name_a = a.Material(i).pTextureFilename;
        const char* name_c = c.Material(i).pTextureFilename;
        ASSERT_EQ(name_a == nullptr, name_c == nullptr);
        if (name_a) {
            EXPECT_STREQ(name_a, name_c);
        }
        EXPECT_FLOAT_EQ(a.Material(i).MatD3D.Diffuse.r, c.Material(i).MatD3D.Diffuse.r);
    }
    EXPECT_NE(a.materials, c.materials);

    // A write through one of two sharing meshes stays with it.
    raise_quad(b.mesh);
    EXPECT_TRUE(quad_drawn_at(b.mesh, 2.0f));
    EXPECT_TRUE(quad_drawn_at(c.mesh, 0.5f));
    EXPECT_FALSE(quad_drawn_at(c.mesh, 2.0f));
    EXPECT_EQ(Vertices(c.mesh)[0].y + 1.0f, Vertices(b.mesh)[0].y);

    // A file written since is read anew, and writing its mesh touches no
    // older load.
    dir.Write("shapes.x", Read_All(k_data + "shapes.x") + "\n");
    Loaded d;
    Load(gpu.device, "shapes.x", &d);
    ASSERT_EQ(d.hr, D3D_OK);
    EXPECT_TRUE(quad_drawn_at(d.mesh, 0.5f));
    raise_quad(d.mesh);
    EXPECT_TRUE(quad_drawn_at(c.mesh, 0.5f)) << "the older load is not touched either";
}

// MeshVertexColors gives every vertex a diffuse colour (D3DFVF_DIFFUSE after
// the normal), as the system's D3DX does (tests/windows found it dropped).
TEST(X_Mesh_Files, VertexColoursBecomeEachVertexsDiffuse) {
    X_Mesh out;
    ASSERT_EQ(Parse(Read_All(k_assimp_models + "kwxport_test_cubewithvcolors.x"), &out), D3D_OK);
    const Mesh_Data& m = out.mesh;
    EXPECT_EQ(m.fvf, static_cast<DWORD>(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1));
    const UINT stride = D3DXGetFVFVertexSize(m.fvf);
    ASSERT_EQ(stride, 36u);
    std::map<DWORD, int> colours;
    for (UINT v = 0; v < m.vertex_count; ++v) {
        DWORD colour;
        std::memcpy(&colour, m.vertices.data() + std::size_t{v} * stride + 24, sizeof colour);
        ++colours[colour];
    }
    // Wine's D3DX gives the same (tests/windows, Differential).
    const std::map<DWORD, int> expected = {{0xFF00FF00u, 6}, {0xFFFF0000u, 6}, {0xFFFFFFFFu, 12}};
    EXPECT_EQ(colours, expected);
}

TEST(X_Mesh_Files, VertexColoursOutOfRangeAreRefused) {
    const std::string mesh =
        "xof 0303txt 0032\nMesh M { 3; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;; 1; 3;0,1,2;; "
        "MeshVertexColors { 1; 3;1.0;0.0;0.0;1.0;;; } }";
    X_Mesh out;
    EXPECT_EQ(Parse(mesh, &out), D3DXERR_INVALIDDATA);
}
