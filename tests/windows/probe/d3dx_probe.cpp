#include "probe/d3dx_probe.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

namespace {

// xorshift32: the same sequence on both sides, whatever their C library.
class Random {
public:
    explicit Random(unsigned seed) : state_(seed ? seed : 1u) {}
    std::uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    // Uniform in [low, high).
    float Between(float low, float high) {
        return low + (high - low) * static_cast<float>(Next() >> 8) / 16777216.0f;
    }

private:
    std::uint32_t state_;
};

void Add(std::string* out, const char* format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    *out += line;
}

void Numbers(std::string* out, const float* values, int n) {
    for (int i = 0; i < n; ++i) Add(out, " %.9g", static_cast<double>(values[i]));
    *out += '\n';
}

D3DXVECTOR3 Vector(Random& r, float range = 10.0f) {
    return D3DXVECTOR3(r.Between(-range, range), r.Between(-range, range),
                       r.Between(-range, range));
}

D3DXMATRIX Matrix(Random& r, float range = 10.0f) {
    D3DXMATRIX m;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) m.m[i][j] = r.Between(-range, range);
    return m;
}

void Line(std::string* out, const char* name, int index, const D3DXMATRIX& m) {
    Add(out, "%s %d:", name, index);
    Numbers(out, &m.m[0][0], 16);
}

void Line(std::string* out, const char* name, int index, const D3DXVECTOR3& v) {
    Add(out, "%s %d:", name, index);
    const float values[3] = {v.x, v.y, v.z};
    Numbers(out, values, 3);
}

void Line(std::string* out, const char* name, int index, float value) {
    Add(out, "%s %d:", name, index);
    Numbers(out, &value, 1);
}

}  // namespace

std::string Probe_Math(unsigned seed, int count) {
    std::string out;
    Random r(seed);
    for (int i = 0; i < count; ++i) {
        D3DXMATRIX result;
        const D3DXMATRIX a = Matrix(r), b = Matrix(r);
        D3DXMatrixMultiply(&result, &a, &b);
        Line(&out, "D3DXMatrixMultiply", i, result);
        D3DXMatrixTranspose(&result, &a);
        Line(&out, "D3DXMatrixTranspose", i, result);
        float determinant = 0.0f;
        if (D3DXMatrixInverse(&result, &determinant, &a) == nullptr)
            result = D3DXMATRIX(D3DMATRIX{});
        Line(&out, "D3DXMatrixInverse", i, result);
        Line(&out, "D3DXMatrixInverse.determinant", i, determinant);
        const D3DXVECTOR3 axis = Vector(r);
        const float angle = r.Between(-7.0f, 7.0f);
        D3DXMatrixRotationAxis(&result, &axis, angle);
        Line(&out, "D3DXMatrixRotationAxis", i, result);
        D3DXMatrixRotationX(&result, angle);
        Line(&out, "D3DXMatrixRotationX", i, result);
        D3DXMatrixRotationY(&result, angle);
        Line(&out, "D3DXMatrixRotationY", i, result);
        D3DXMatrixRotationZ(&result, angle);
        Line(&out, "D3DXMatrixRotationZ", i, result);
        const D3DXVECTOR3 t = Vector(r, 1000.0f);
        D3DXMatrixTranslation(&result, t.x, t.y, t.z);
        Line(&out, "D3DXMatrixTranslation", i, result);
        D3DXMatrixScaling(&result, t.x, t.y, t.z);
        Line(&out, "D3DXMatrixScaling", i, result);
        const float fov = r.Between(0.1f, 3.0f), aspect = r.Between(0.5f, 2.0f);
        const float zn = r.Between(0.1f, 10.0f), zf = zn + r.Between(1.0f, 1000.0f);
        D3DXMatrixPerspectiveFovLH(&result, fov, aspect, zn, zf);
        Line(&out, "D3DXMatrixPerspectiveFovLH", i, result);
        const float left = r.Between(-100.0f, 0.0f), right = left + r.Between(1.0f, 100.0f);
        const float bottom = r.Between(-100.0f, 0.0f), top = bottom + r.Between(1.0f, 100.0f);
        D3DXMatrixOrthoOffCenterLH(&result, left, right, bottom, top, zn, zf);
        Line(&out, "D3DXMatrixOrthoOffCenterLH", i, result);
        const D3DXVECTOR3 eye = Vector(r, 100.0f), at = Vector(r, 100.0f);
        const D3DXVECTOR3 up = Vector(r);
        D3DXMatrixLookAtLH(&result, &eye, &at, &up);
        Line(&out, "D3DXMatrixLookAtLH", i, result);
        D3DXMatrixIdentity(&result);
        Line(&out, "D3DXMatrixIdentity", i, result);

        const D3DXVECTOR3 u = Vector(r), v = Vector(r);
        D3DXVECTOR3 w;
        D3DXVec3Cross(&w, &u, &v);
        Line(&out, "D3DXVec3Cross", i, w);
        Line(&out, "D3DXVec3Dot", i, D3DXVec3Dot(&u, &v));
        Line(&out, "D3DXVec3Length", i, D3DXVec3Length(&u));
        // Now and then a zero vector: what does normalizing it give?
        const D3DXVECTOR3 n = (i % 97 == 0) ? D3DXVECTOR3(0.0f, 0.0f, 0.0f) : u;
        D3DXVec3Normalize(&w, &n);
        Line(&out, "D3DXVec3Normalize", i, w);
        D3DXVec3TransformCoord(&w, &u, &a);
        Line(&out, "D3DXVec3TransformCoord", i, w);
        D3DXVec3TransformNormal(&w, &u, &a);
        Line(&out, "D3DXVec3TransformNormal", i, w);
        const D3DXVECTOR4 p(u.x, u.y, u.z, r.Between(-2.0f, 2.0f));
        D3DXVECTOR4 q;
        D3DXVec4Transform(&q, &p, &a);
        const float values[4] = {q.x, q.y, q.z, q.w};
        Add(&out, "D3DXVec4Transform %d:", i);
        Numbers(&out, values, 4);
    }
    return out;
}

std::string Probe_Meshes(IDirect3DDevice9* device, const std::vector<std::string>& files) {
    std::string out;
    for (const std::string& file : files) {
        ID3DXBuffer* materials = nullptr;
        DWORD material_count = 0;
        ID3DXMesh* mesh = nullptr;
        const HRESULT hr = D3DXLoadMeshFromXA(file.c_str(), D3DXMESH_SYSTEMMEM, device, nullptr,
                                              &materials, nullptr, &material_count, &mesh);
        Add(&out, "mesh %s: %s\n", file.c_str(), SUCCEEDED(hr) ? "loaded" : "failed");
        if (FAILED(hr) || mesh == nullptr) continue;
        Add(&out, "mesh %s: vertices %lu faces %lu fvf 0x%lx stride %lu\n", file.c_str(),
            static_cast<unsigned long>(mesh->GetNumVertices()),
            static_cast<unsigned long>(mesh->GetNumFaces()),
            static_cast<unsigned long>(mesh->GetFVF()),
            static_cast<unsigned long>(mesh->GetNumBytesPerVertex()));
        Add(&out, "mesh %s: materials %lu\n", file.c_str(),
            static_cast<unsigned long>(material_count));
        const auto* records =
            materials ? static_cast<const D3DXMATERIAL*>(materials->GetBufferPointer()) : nullptr;
        for (DWORD k = 0; records && k < material_count; ++k) {
            const D3DMATERIAL9& m = records[k].MatD3D;
            Add(&out, "mesh %s: material %lu:", file.c_str(), static_cast<unsigned long>(k));
            const float colours[17] = {
                m.Diffuse.r,  m.Diffuse.g,  m.Diffuse.b,  m.Diffuse.a,  m.Ambient.r,  m.Ambient.g,
                m.Ambient.b,  m.Ambient.a,  m.Specular.r, m.Specular.g, m.Specular.b, m.Specular.a,
                m.Emissive.r, m.Emissive.g, m.Emissive.b, m.Emissive.a, m.Power};
            for (float c : colours) Add(&out, " %.6g", static_cast<double>(c));
            Add(&out, " texture '%s'\n",
                records[k].pTextureFilename ? records[k].pTextureFilename : "(none)");
        }
        // Vertex colours, counted by value (the vertex order may differ).
        if (mesh->GetFVF() & D3DFVF_DIFFUSE) {
            D3DVERTEXELEMENT9 declaration[MAXD3DDECLLENGTH];
            int offset = -1;
            if (SUCCEEDED(mesh->GetDeclaration(declaration)))
                for (int e = 0; e < MAXD3DDECLLENGTH && declaration[e].Stream != 0xFF; ++e)
                    if (declaration[e].Usage == D3DDECLUSAGE_COLOR &&
                        declaration[e].UsageIndex == 0)
                        offset = declaration[e].Offset;
            void* vertices = nullptr;
            if (offset >= 0 && SUCCEEDED(mesh->LockVertexBuffer(D3DLOCK_READONLY, &vertices))) {
                std::map<DWORD, int> counts;
                const DWORD stride = mesh->GetNumBytesPerVertex();
                for (DWORD v = 0; v < mesh->GetNumVertices(); ++v) {
                    DWORD colour;
                    std::memcpy(&colour,
                                static_cast<const unsigned char*>(vertices) + v * stride + offset,
                                sizeof colour);
                    ++counts[colour];
                }
                mesh->UnlockVertexBuffer();
                Add(&out, "mesh %s: colours", file.c_str());
                for (const auto& [colour, n] : counts)
                    Add(&out, " %08lx x%d", static_cast<unsigned long>(colour), n);
                out += '\n';
            }
        }
        DWORD ranges = 0;
        mesh->GetAttributeTable(nullptr, &ranges);
        std::vector<D3DXATTRIBUTERANGE> table(ranges);
        if (ranges) mesh->GetAttributeTable(table.data(), &ranges);
        Add(&out, "mesh %s: attribute ranges %lu\n", file.c_str(),
            static_cast<unsigned long>(ranges));
        for (const D3DXATTRIBUTERANGE& range : table)
            Add(&out, "mesh %s: range id %lu faces %lu+%lu vertices %lu+%lu\n", file.c_str(),
                static_cast<unsigned long>(range.AttribId),
                static_cast<unsigned long>(range.FaceStart),
                static_cast<unsigned long>(range.FaceCount),
                static_cast<unsigned long>(range.VertexStart),
                static_cast<unsigned long>(range.VertexCount));
        if (materials) materials->Release();
        mesh->Release();
    }
    return out;
}

std::string Probe_Textures(IDirect3DDevice9* device, const std::vector<std::string>& files) {
    std::string out;
    for (const std::string& file : files) {
        IDirect3DTexture9* texture = nullptr;
        const HRESULT hr = D3DXCreateTextureFromFileA(device, file.c_str(), &texture);
        Add(&out, "texture %s: %s\n", file.c_str(), SUCCEEDED(hr) ? "loaded" : "failed");
        if (FAILED(hr) || texture == nullptr) continue;
        const DWORD levels = texture->GetLevelCount();
        Add(&out, "texture %s: type %d levels %lu\n", file.c_str(),
            static_cast<int>(texture->GetType()), static_cast<unsigned long>(levels));
        for (DWORD level = 0; level < levels; ++level) {
            D3DSURFACE_DESC desc;
            if (FAILED(texture->GetLevelDesc(level, &desc))) continue;
            Add(&out, "texture %s: level %lu %ux%u format %d pool %d\n", file.c_str(),
                static_cast<unsigned long>(level), desc.Width, desc.Height,
                static_cast<int>(desc.Format), static_cast<int>(desc.Pool));
        }
        texture->Release();
    }
    return out;
}

namespace {

struct Lit_Vertex {
    float x, y, z, nx, ny, nz;
};

struct Lighting_Case {
    const char* name;
    D3DLIGHTTYPE type;
    float att0, att1, att2;
    float material_ambient;  // grey level of the material's ambient
    DWORD render_ambient;    // D3DRS_AMBIENT
};

}  // namespace

std::string Probe_Lighting(IDirect3DDevice9* device) {
    std::string out;
    const Lighting_Case cases[] = {
        {"point att 1 0 0", D3DLIGHT_POINT, 1.0f, 0.0f, 0.0f, 0.0f, 0},
        {"point att 0 0.01 0", D3DLIGHT_POINT, 0.0f, 0.01f, 0.0f, 0.0f, 0},
        {"point att 0 0 0.0001", D3DLIGHT_POINT, 0.0f, 0.0f, 0.0001f, 0.0f, 0},
        {"point att 0 0 0", D3DLIGHT_POINT, 0.0f, 0.0f, 0.0f, 0.0f, 0},
        {"point att 0 0 0, material ambient", D3DLIGHT_POINT, 0.0f, 0.0f, 0.0f, 0.5f, 0},
        {"point att 2 0 0, material ambient", D3DLIGHT_POINT, 2.0f, 0.0f, 0.0f, 0.5f, 0},
        {"spot att 1 0 0", D3DLIGHT_SPOT, 1.0f, 0.0f, 0.0f, 0.0f, 0},
        {"spot att 0 0 0", D3DLIGHT_SPOT, 0.0f, 0.0f, 0.0f, 0.0f, 0},
        {"directional", D3DLIGHT_DIRECTIONAL, 0.0f, 0.0f, 0.0f, 0.0f, 0},
        {"directional, render ambient", D3DLIGHT_DIRECTIONAL, 0.0f, 0.0f, 0.0f, 0.5f, 0xFF404040},
    };
    // A quad at z = 10 facing the camera (-z), seen through identity view and
    // a perspective projection.
    const Lit_Vertex quad[6] = {
        {-20, -20, 10, 0, 0, -1}, {-20, 20, 10, 0, 0, -1}, {20, 20, 10, 0, 0, -1},
        {-20, -20, 10, 0, 0, -1}, {20, 20, 10, 0, 0, -1},  {20, -20, 10, 0, 0, -1},
    };
    D3DXMATRIX identity, projection;
    D3DXMatrixIdentity(&identity);
    D3DXMatrixPerspectiveFovLH(&projection, 1.0f, 1.0f, 1.0f, 100.0f);
    for (const Lighting_Case& c : cases) {
        device->SetTransform(D3DTS_WORLD, &identity);
        device->SetTransform(D3DTS_VIEW, &identity);
        device->SetTransform(D3DTS_PROJECTION, &projection);
        device->SetRenderState(D3DRS_LIGHTING, TRUE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_ZENABLE, FALSE);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        device->SetRenderState(D3DRS_AMBIENT, c.render_ambient);
        device->SetTexture(0, nullptr);
        D3DMATERIAL9 material = {};
        material.Diffuse = {0.8f, 0.6f, 0.4f, 1.0f};
        material.Ambient = {c.material_ambient, c.material_ambient, c.material_ambient, 1.0f};
        device->SetMaterial(&material);
        D3DLIGHT9 light = {};
        light.Type = c.type;
        light.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
        light.Ambient = {0.25f, 0.25f, 0.25f, 1.0f};
        light.Position = {0.0f, 0.0f, 0.0f};
        light.Direction = {0.0f, 0.0f, 1.0f};
        light.Range = 100.0f;
        light.Falloff = 1.0f;
        light.Theta = 0.5f;
        light.Phi = 1.0f;
        light.Attenuation0 = c.att0;
        light.Attenuation1 = c.att1;
        light.Attenuation2 = c.att2;
        const HRESULT set = device->SetLight(0, &light);
        device->LightEnable(0, TRUE);
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF102030, 1.0f, 0);
        device->BeginScene();
        device->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL);
        device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, quad, sizeof(Lit_Vertex));
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
        int width = 0, height = 0;
        unsigned char* rgba = nullptr;
        if (!Platform_Read_Last_Frame(device, &width, &height, &rgba)) {
            Add(&out, "lighting %s: no frame\n", c.name);
            continue;
        }
        const unsigned char* p =
            rgba + (static_cast<std::size_t>(height / 2) * width + width / 2) * 4;
        Add(&out, "lighting %s: SetLight %s, centre %d %d %d\n", c.name,
            SUCCEEDED(set) ? "ok" : "failed", p[0], p[1], p[2]);
        std::free(rgba);
    }
    return out;
}

namespace {

struct Screen_Vertex {
    float x, y, z, rhw;
    DWORD diffuse;
    float u, v;
};

struct Space_Vertex {
    float x, y, z;
    DWORD diffuse;
};

// Every state a case may change, back to Direct3D's defaults.
void Default_States(IDirect3DDevice9* device) {
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_ALWAYS);
    device->SetRenderState(D3DRS_ALPHAREF, 0);
    device->SetRenderState(D3DRS_FOGENABLE, FALSE);
    device->SetRenderState(D3DRS_FOGTABLEMODE, 0);
    device->SetRenderState(D3DRS_FOGVERTEXMODE, 0);
    device->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFFFFFFFF);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_CURRENT);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_CURRENT);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    device->SetTexture(0, nullptr);
}

DWORD Float_Dword(float f) {
    DWORD d;
    std::memcpy(&d, &f, sizeof d);
    return d;
}

}  // namespace

std::string Probe_States(IDirect3DDevice9* device) {
    std::string out;
    int width = 0, height = 0;
    {
        unsigned char* rgba = nullptr;
        device->Present(nullptr, nullptr, nullptr, nullptr);
        if (!Platform_Read_Last_Frame(device, &width, &height, &rgba)) return "states: no frame\n";
        std::free(rgba);
    }
    // A 2x2 texture of one colour.
    IDirect3DTexture9* texture = nullptr;
    if (SUCCEEDED(device->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture,
                                        nullptr))) {
        D3DLOCKED_RECT locked;
        if (SUCCEEDED(texture->LockRect(0, &locked, nullptr, 0))) {
            for (int y = 0; y < 2; ++y)
                for (int x = 0; x < 2; ++x) {
                    const DWORD texel = 0x8040C0FF;
                    std::memcpy(
                        static_cast<unsigned char*>(locked.pBits) + y * locked.Pitch + x * 4,
                        &texel, 4);
                }
            texture->UnlockRect(0);
        }
    }
    const float w = static_cast<float>(width), h = static_cast<float>(height);
    struct Case {
        const char* name;
        DWORD clear;
        DWORD diffuse;
        bool textured;
        void (*states)(IDirect3DDevice9*);
    };
    const Case cases[] = {
        {"plain", 0xFF000000, 0xFF336699, false, [](IDirect3DDevice9*) {}},
        {"blend srcalpha invsrcalpha", 0xFF0000FF, 0x80FF0000, false,
         [](IDirect3DDevice9* d) {
             d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
             d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
             d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
         }},
        {"blend one one", 0xFF202020, 0xFF404040, false,
         [](IDirect3DDevice9* d) {
             d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
             d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
             d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
         }},
        {"blend one invsrcalpha (the engine's)", 0xFF0000FF, 0x60600000, false,
         [](IDirect3DDevice9* d) {
             d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
             d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
             d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
         }},
        {"alpha test greater 0x80, alpha 0x80", 0xFF000000, 0x80FFFFFF, false,
         [](IDirect3DDevice9* d) {
             d->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
             d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
             d->SetRenderState(D3DRS_ALPHAREF, 0x80);
         }},
        {"alpha test greater 0x80, alpha 0x81", 0xFF000000, 0x81FFFFFF, false,
         [](IDirect3DDevice9* d) {
             d->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
             d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
             d->SetRenderState(D3DRS_ALPHAREF, 0x80);
         }},
        {"texture modulate diffuse", 0xFF000000, 0xFF808080, true, [](IDirect3DDevice9*) {}},
        {"texture selectarg1", 0xFF000000, 0xFF808080, true,
         [](IDirect3DDevice9* d) {
             d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
         }},
        {"texture add diffuse", 0xFF000000, 0xFF303030, true,
         [](IDirect3DDevice9* d) { d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_ADD); }},
        {"texture modulate2x", 0xFF000000, 0xFF808080, true,
         [](IDirect3DDevice9* d) {
             d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE2X);
         }},
        {"stage 1 modulate tfactor", 0xFF000000, 0xFFFFFFFF, true,
         [](IDirect3DDevice9* d) {
             d->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF808000);
             d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
             d->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_TFACTOR);
             d->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT);
             d->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
             d->SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
         }},
        {"texture alpha blended", 0xFF00FF00, 0xFFFFFFFF, true,
         [](IDirect3DDevice9* d) {
             d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
             d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
             d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
         }},
    };
    for (const Case& c : cases) {
        Default_States(device);
        c.states(device);
        if (c.textured) device->SetTexture(0, texture);
        const Screen_Vertex quad[4] = {
            {0, 0, 0.5f, 1, c.diffuse, 0, 0},
            {w, 0, 0.5f, 1, c.diffuse, 1, 0},
            {0, h, 0.5f, 1, c.diffuse, 0, 1},
            {w, h, 0.5f, 1, c.diffuse, 1, 1},
        };
        device->Clear(0, nullptr, D3DCLEAR_TARGET, c.clear, 1.0f, 0);
        device->BeginScene();
        device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Screen_Vertex));
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
        unsigned char* rgba = nullptr;
        if (!Platform_Read_Last_Frame(device, &width, &height, &rgba)) continue;
        const unsigned char* p =
            rgba + (static_cast<std::size_t>(height / 2) * width + width / 2) * 4;
        Add(&out, "states %s: centre %d %d %d\n", c.name, p[0], p[1], p[2]);
        std::free(rgba);
    }

    // Fog, vertex and table, linear from 0 to 20 in eye space: a quad at
    // depth 10 is half fogged.
    D3DXMATRIX identity, projection;
    D3DXMatrixIdentity(&identity);
    D3DXMatrixPerspectiveFovLH(&projection, 1.0f, 1.0f, 1.0f, 100.0f);
    const DWORD k_fog_linear = 3;  // D3DFOG_LINEAR
    for (int table = 0; table < 2; ++table) {
        Default_States(device);
        device->SetTransform(D3DTS_WORLD, &identity);
        device->SetTransform(D3DTS_VIEW, &identity);
        device->SetTransform(D3DTS_PROJECTION, &projection);
        device->SetRenderState(D3DRS_FOGENABLE, TRUE);
        device->SetRenderState(D3DRS_FOGCOLOR, 0xFFFFFFFF);
        device->SetRenderState(table ? D3DRS_FOGTABLEMODE : D3DRS_FOGVERTEXMODE, k_fog_linear);
        device->SetRenderState(D3DRS_FOGSTART, Float_Dword(0.0f));
        device->SetRenderState(D3DRS_FOGEND, Float_Dword(20.0f));
        const Space_Vertex quad[4] = {
            {-20, -20, 10, 0xFF000000},
            {-20, 20, 10, 0xFF000000},
            {20, -20, 10, 0xFF000000},
            {20, 20, 10, 0xFF000000},
        };
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
        device->BeginScene();
        device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Space_Vertex));
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
        unsigned char* rgba = nullptr;
        if (!Platform_Read_Last_Frame(device, &width, &height, &rgba)) continue;
        const unsigned char* p =
            rgba + (static_cast<std::size_t>(height / 2) * width + width / 2) * 4;
        Add(&out, "states fog %s linear: centre %d %d %d\n", table ? "table" : "vertex", p[0], p[1],
            p[2]);
        std::free(rgba);
    }

    // Material colour sources with lighting and no light: emissive only, and
    // the vertex colour taking the material's place (D3DMCS_COLOR1).
    for (int source = 0; source < 2; ++source) {
        Default_States(device);
        device->SetRenderState(D3DRS_LIGHTING, TRUE);
        device->SetRenderState(D3DRS_AMBIENT, 0xFF808080);
        device->SetRenderState(D3DRS_COLORVERTEX, TRUE);
        device->SetRenderState(D3DRS_AMBIENTMATERIALSOURCE,
                               source ? D3DMCS_COLOR1 : D3DMCS_MATERIAL);
        device->SetRenderState(D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL);
        device->SetTransform(D3DTS_WORLD, &identity);
        device->SetTransform(D3DTS_VIEW, &identity);
        device->SetTransform(D3DTS_PROJECTION, &projection);
        for (int l = 0; l < 8; ++l) device->LightEnable(l, FALSE);
        D3DMATERIAL9 material = {};
        material.Emissive = {0.25f, 0.0f, 0.0f, 1.0f};
        material.Ambient = {0.0f, 0.5f, 0.0f, 1.0f};
        device->SetMaterial(&material);
        const Space_Vertex quad[4] = {
            {-20, -20, 10, 0xFF0000FF},
            {-20, 20, 10, 0xFF0000FF},
            {20, -20, 10, 0xFF0000FF},
            {20, 20, 10, 0xFF0000FF},
        };
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        device->BeginScene();
        device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Space_Vertex));
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
        unsigned char* rgba = nullptr;
        if (!Platform_Read_Last_Frame(device, &width, &height, &rgba)) continue;
        const unsigned char* p =
            rgba + (static_cast<std::size_t>(height / 2) * width + width / 2) * 4;
        Add(&out, "states material ambient from %s: centre %d %d %d\n",
            source ? "vertex colour" : "material", p[0], p[1], p[2]);
        std::free(rgba);
    }
    if (texture) texture->Release();
    return out;
}
