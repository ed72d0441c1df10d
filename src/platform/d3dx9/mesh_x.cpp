// From .x data objects to one merged mesh: frames give transforms, meshes
// give positions, faces, normals, texture coordinates, vertex colours and
// material lists.
#include "platform/d3dx9/mesh_x.h"

#include "platform/d3dx9/mesh_x_file.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <map>
#include <new>
#include <strings.h>
#include <unordered_map>

namespace {

using x_file::Object;
using x_file::Value;

struct Bad_Mesh {};

constexpr std::uint32_t k_unset = 0xFFFFFFFFu;

// Reads an object's member values in order, checking kinds and ranges.
class Cursor {
public:
    explicit Cursor(const Object& object) : object_(object) {}

    std::size_t Left() const { return object_.values.size() - at_; }

    std::uint32_t Count() {
        const Value& v = Take();
        if (v.kind != Value::Kind::Integer || v.number < 0 || v.number > 4294967295.0) {
            throw Bad_Mesh{};
        }
        return static_cast<std::uint32_t>(v.number);
    }

    // A count of items of `per_item` values each that must all be present.
    std::uint32_t Count_Of(std::size_t per_item) {
        const std::uint32_t n = Count();
        if (n > Left() / per_item) throw Bad_Mesh{};
        return n;
    }

    float Float() {
        const Value& v = Take();
        if (v.kind == Value::Kind::String) throw Bad_Mesh{};
        if (std::isfinite(v.number) && std::fabs(v.number) > FLT_MAX) throw Bad_Mesh{};
        return static_cast<float>(v.number);
    }

private:
    const Value& Take() {
        if (at_ >= object_.values.size()) throw Bad_Mesh{};
        return object_.values[at_++];
    }

    const Object& object_;
    std::size_t at_ = 0;
};

const Object* First_Child(const Object& object, const char* type) {
    for (const Object& child : object.children) {
        if (!child.reference && strcasecmp(child.type.c_str(), type) == 0) return &child;
    }
    return nullptr;
}

// Named materials a reference may point to: top-level ones first, then any
// named material met inside a mesh.
using Material_Names = std::map<std::string, const Object*>;

void Collect_Materials(const Object& object, Material_Names* names) {
    for (const Object& child : object.children) {
        if (child.reference) continue;
        if (child.type == "Material" && !child.name.empty()) names->emplace(child.name, &child);
        Collect_Materials(child, names);
    }
}

X_Material Read_Material(const Object& object) {
    X_Material m;
    m.name = object.name;
    Cursor c(object);
    D3DMATERIAL9& d = m.material;
    d.Diffuse.r = c.Float();
    d.Diffuse.g = c.Float();
    d.Diffuse.b = c.Float();
    d.Diffuse.a = c.Float();
    d.Power = c.Float();
    d.Specular = {c.Float(), c.Float(), c.Float(), 1.0f};
    d.Emissive = {c.Float(), c.Float(), c.Float(), 1.0f};
    // Ambient stays zero: the file has no ambient colour.
    if (const Object* texture = First_Child(object, "TextureFilename")) {
        for (const Value& v : texture->values) {
            if (v.kind == Value::Kind::String) {
                m.has_texture = true;
                m.texture = texture->strings[v.string];
                break;
            }
        }
    }
    return m;
}

// One Mesh object as read, before merging.
struct Mesh_Parts {
    D3DXMATRIX world;
    std::vector<float> positions;          // 3 per vertex
    std::vector<std::uint32_t> face_size;  // corners per face
    std::vector<std::uint32_t> corners;    // position index per corner
    bool has_normals = false;
    std::vector<float> normals;                 // 3 per normal
    std::vector<std::uint32_t> normal_corners;  // normal index per corner
    bool has_texcoords = false;
    std::vector<float> texcoords;  // 2 per vertex
    bool has_colours = false;
    std::vector<DWORD> colours;                // D3DCOLOR per vertex
    std::vector<std::uint32_t> face_material;  // list index per face
    std::vector<X_Material> materials;
};

void Read_Normals(const Object& object, Mesh_Parts* mesh) {
    Cursor c(object);
    const std::uint32_t count = c.Count_Of(3);
    mesh->normals.resize(std::size_t{count} * 3);
    for (float& f : mesh->normals) f = c.Float();
    const std::uint32_t faces = c.Count();
    // Normal faces must match the position faces corner for corner.
    if (faces != mesh->face_size.size()) throw Bad_Mesh{};
    mesh->normal_corners.reserve(mesh->corners.size());
    for (std::uint32_t f = 0; f < faces; ++f) {
        const std::uint32_t corners = c.Count_Of(1);
        if (corners != mesh->face_size[f]) throw Bad_Mesh{};
        for (std::uint32_t k = 0; k < corners; ++k) {
            const std::uint32_t index = c.Count();
            if (index >= count) throw Bad_Mesh{};
            mesh->normal_corners.push_back(index);
        }
    }
    mesh->has_normals = true;
}

void Read_Texcoords(const Object& object, Mesh_Parts* mesh) {
    Cursor c(object);
    const std::uint32_t count = c.Count_Of(2);
    const std::size_t vertices = mesh->positions.size() / 3;
    if (count < vertices) throw Bad_Mesh{};
    mesh->texcoords.resize(vertices * 2);
    for (float& f : mesh->texcoords) f = c.Float();
    mesh->has_texcoords = true;
}

// MeshVertexColors: IndexedColor records (vertex index, red, green, blue,
// alpha); a vertex it does not name stays opaque white.
void Read_Colours(const Object& object, Mesh_Parts* mesh) {
    Cursor c(object);
    const std::uint32_t count = c.Count_Of(5);
    const std::size_t vertices = mesh->positions.size() / 3;
    mesh->colours.assign(vertices, 0xFFFFFFFFu);
    const auto channel = [](float value) {
        const float clamped = value < 0.0f ? 0.0f : (value > 1.0f ? 1.0f : value);
        return static_cast<DWORD>(clamped * 255.0f + 0.5f);
    };
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t index = c.Count();
        const float r = c.Float(), g = c.Float(), b = c.Float(), a = c.Float();
        if (index >= vertices) throw Bad_Mesh{};
        mesh->colours[index] =
            (channel(a) << 24) | (channel(r) << 16) | (channel(g) << 8) | channel(b);
    }
    mesh->has_colours = true;
}

void Read_Material_List(const Object& object, const Material_Names& names, Mesh_Parts* mesh) {
    Cursor c(object);
    const std::uint32_t material_count = c.Count();
    const std::uint32_t index_count = c.Count_Of(1);
    if (material_count == 0) return;  // no materials: the mesh gets the default one
    const std::size_t faces = mesh->face_size.size();
    mesh->face_material.assign(faces, 0);
    for (std::uint32_t i = 0; i < index_count; ++i) {
        const std::uint32_t index = c.Count();
        if (index >= material_count) throw Bad_Mesh{};
        if (i < faces) mesh->face_material[i] = index;
    }
    // Exporters that write fewer indices than faces mean the last one for
    // the rest.
    for (std::size_t f = index_count; f < faces && index_count > 0; ++f) {
        mesh->face_material[f] = mesh->face_material[index_count - 1];
    }
    for (const Object& child : object.children) {
        if (mesh->materials.size() == material_count) break;
        if (child.reference) {
            const auto found = names.find(child.name);
            if (found == names.end()) throw Bad_Mesh{};
            mesh->materials.push_back(Read_Material(*found->second));
        } else if (child.type == "Material") {
            mesh->materials.push_back(Read_Material(child));
        }
    }
    // Every material the count announces must be there.
    if (mesh->materials.size() < material_count) throw Bad_Mesh{};
}

Mesh_Parts Read_Mesh(const Object& object, const D3DXMATRIX& world, const Material_Names& names) {
    Mesh_Parts mesh;
    mesh.world = world;
    Cursor c(object);
    const std::uint32_t vertices = c.Count_Of(3);
    mesh.positions.resize(std::size_t{vertices} * 3);
    for (float& f : mesh.positions) f = c.Float();
    const std::uint32_t faces = c.Count_Of(1);
    mesh.face_size.reserve(faces);
    for (std::uint32_t f = 0; f < faces; ++f) {
        const std::uint32_t corners = c.Count_Of(1);
        mesh.face_size.push_back(corners);
        for (std::uint32_t k = 0; k < corners; ++k) {
            const std::uint32_t index = c.Count();
            if (index >= vertices) throw Bad_Mesh{};
            mesh.corners.push_back(index);
        }
    }
    if (const Object* normals = First_Child(object, "MeshNormals")) Read_Normals(*normals, &mesh);
    if (const Object* uv = First_Child(object, "MeshTextureCoords")) Read_Texcoords(*uv, &mesh);
    if (const Object* colours = First_Child(object, "MeshVertexColors"))
        Read_Colours(*colours, &mesh);
    if (const Object* list = First_Child(object, "MeshMaterialList")) {
        Read_Material_List(*list, names, &mesh);
    }
    if (mesh.materials.empty()) mesh.face_material.assign(faces, 0);
    return mesh;
}

D3DXMATRIX Identity() {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    return m;
}

void Walk_Frame(const Object& frame, const D3DXMATRIX& parent, const Material_Names& names,
                std::vector<Mesh_Parts>* meshes) {
    D3DXMATRIX local = Identity();
    if (const Object* transform = First_Child(frame, "FrameTransformMatrix")) {
        Cursor c(*transform);
        for (int r = 0; r < 4; ++r)
            for (int k = 0; k < 4; ++k) local.m[r][k] = c.Float();
    }
    // Row vectors: the frame's own transform applies before its parent's.
    const D3DXMATRIX world = local * parent;
    for (const Object& child : frame.children) {
        if (child.reference) continue;
        if (child.type == "Mesh") meshes->push_back(Read_Mesh(child, world, names));
        if (child.type == "Frame") Walk_Frame(child, world, names, meshes);
    }
}

void Put_Floats(unsigned char* at, const float* values, int count) {
    std::memcpy(at, values, sizeof(float) * count);
}

struct Merged : X_Mesh {
    DWORD shared_default = k_unset;
};

// Appends one mesh's vertices, faces and materials to the merged mesh.
void Merge(const Mesh_Parts& parts, DWORD fvf, Merged* out) {
    Mesh_Data& data = out->mesh;
    const UINT stride = D3DXGetFVFVertexSize(fvf);
    const std::uint32_t base = data.vertex_count;
    const std::uint32_t positions = static_cast<std::uint32_t>(parts.positions.size() / 3);
    // Meshes without materials share one default material.
    DWORD first_material = static_cast<DWORD>(out->materials.size());
    if (parts.materials.empty()) {
        if (out->shared_default == k_unset) {
            out->shared_default = first_material;
            out->materials.push_back(X_Default_Material());
        }
        first_material = out->shared_default;
    }

    // Vertex i is position i with the normal its first corner uses; a
    // position met again with another normal gets a copy after the others.
    std::vector<std::uint32_t> normal_of(positions, k_unset);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> extra;  // (position, normal)
    std::unordered_map<std::uint64_t, std::uint32_t> extra_index;
    std::vector<std::uint32_t> corner_vertex(parts.corners.size());
    for (std::size_t k = 0; k < parts.corners.size(); ++k) {
        const std::uint32_t p = parts.corners[k];
        if (!parts.has_normals) {
            corner_vertex[k] = p;
            continue;
        }
        const std::uint32_t n = parts.normal_corners[k];
        if (normal_of[p] == k_unset) normal_of[p] = n;
        if (normal_of[p] == n) {
            corner_vertex[k] = p;
            continue;
        }
        const std::uint64_t key = (std::uint64_t{p} << 32) | n;
        const auto next = positions + static_cast<std::uint32_t>(extra.size());
        auto [it, added] = extra_index.emplace(key, next);
        if (added) extra.emplace_back(p, n);
        corner_vertex[k] = it->second;
    }

    const std::uint64_t total = std::uint64_t{base} + positions + extra.size();
    if (total > 0x7FFFFFFFu) throw Bad_Mesh{};

    // The normal matrix is the inverse transpose; lengths are kept.
    D3DXMATRIX normal_matrix = parts.world;
    D3DXMATRIX inverse;
    if (D3DXMatrixInverse(&inverse, nullptr, &parts.world)) {
        D3DXMatrixTranspose(&normal_matrix, &inverse);
    }

    data.vertices.resize(static_cast<std::size_t>(total) * stride);
    auto emit = [&](std::uint32_t slot, std::uint32_t p, std::uint32_t n) {
        unsigned char* at = data.vertices.data() + (std::size_t{base} + slot) * stride;
        const float* position = &parts.positions[std::size_t{p} * 3];
        D3DXVECTOR3 pos(position[0], position[1], position[2]);
        D3DXVec3TransformCoord(&pos, &pos, &parts.world);
        Put_Floats(at, &pos.x, 3);
        at += 12;
        if (fvf & D3DFVF_NORMAL) {
            D3DXVECTOR3 normal(0, 0, 0);
            if (parts.has_normals && n != k_unset) {
                const float* given = &parts.normals[std::size_t{n} * 3];
                normal = D3DXVECTOR3(given[0], given[1], given[2]);
                const float length = D3DXVec3Length(&normal);
                D3DXVec3TransformNormal(&normal, &normal, &normal_matrix);
                const float new_length = D3DXVec3Length(&normal);
                if (new_length > 0) normal *= length / new_length;
            }
            Put_Floats(at, &normal.x, 3);
            at += 12;
        }
        if (fvf & D3DFVF_DIFFUSE) {
            const DWORD colour = parts.has_colours ? parts.colours[p] : 0xFFFFFFFFu;
            std::memcpy(at, &colour, sizeof colour);
            at += sizeof colour;
        }
        if (fvf & D3DFVF_TEX1) {
            float uv[2] = {0, 0};
            if (parts.has_texcoords) {
                uv[0] = parts.texcoords[p * 2];
                uv[1] = parts.texcoords[p * 2 + 1];
            }
            Put_Floats(at, uv, 2);
        }
    };
    for (std::uint32_t p = 0; p < positions; ++p) emit(p, p, normal_of[p]);
    for (std::size_t e = 0; e < extra.size(); ++e) {
        emit(positions + static_cast<std::uint32_t>(e), extra[e].first, extra[e].second);
    }
    data.vertex_count = static_cast<UINT>(total);

    // Polygons become fans around their first corner, in the file's order.
    std::size_t k = 0;
    for (std::size_t f = 0; f < parts.face_size.size(); ++f) {
        const std::uint32_t n = parts.face_size[f];
        const DWORD attribute = first_material + parts.face_material[f];
        for (std::uint32_t t = 1; t + 1 < n; ++t) {
            data.indices.push_back(base + corner_vertex[k]);
            data.indices.push_back(base + corner_vertex[k + t]);
            data.indices.push_back(base + corner_vertex[k + t + 1]);
            data.attributes.push_back(attribute);
        }
        k += n;
    }
    out->materials.insert(out->materials.end(), parts.materials.begin(), parts.materials.end());
}

}  // namespace

X_Material X_Default_Material() {
    X_Material m;
    m.material.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    return m;
}

HRESULT X_Load_Mesh(const unsigned char* data, std::size_t size, X_Mesh* out) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = X_Mesh{};
    std::vector<Object> objects;
    HRESULT hr = x_file::Parse(data, size, &objects);
    if (FAILED(hr)) return hr;

    try {
        Material_Names names;
        for (const Object& o : objects) {
            if (o.type == "Material" && !o.name.empty()) names.emplace(o.name, &o);
        }
        for (const Object& o : objects) Collect_Materials(o, &names);

        std::vector<Mesh_Parts> meshes;
        for (const Object& o : objects) {
            if (o.type == "Mesh") meshes.push_back(Read_Mesh(o, Identity(), names));
            if (o.type == "Frame") Walk_Frame(o, Identity(), names, &meshes);
        }

        DWORD fvf = D3DFVF_XYZ;
        for (const Mesh_Parts& m : meshes) {
            if (m.has_normals) fvf |= D3DFVF_NORMAL;
            if (m.has_texcoords) fvf |= D3DFVF_TEX1;
            if (m.has_colours) fvf |= D3DFVF_DIFFUSE;
        }
        Merged result;
        result.mesh.fvf = fvf;
        for (const Mesh_Parts& m : meshes) Merge(m, fvf, &result);
        if (result.mesh.attributes.empty()) return D3DXERR_INVALIDDATA;
        *out = std::move(static_cast<X_Mesh&>(result));
    } catch (const Bad_Mesh&) {
        return D3DXERR_INVALIDDATA;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}
