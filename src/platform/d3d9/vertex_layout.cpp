#include "platform/d3d9/vertex_layout.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <string>

#include "platform/d3d9/device.h"

UINT Decl_Type_Size(BYTE type) {
    switch (type) {
    case D3DDECLTYPE_FLOAT1: return 4;
    case D3DDECLTYPE_FLOAT2: return 8;
    case D3DDECLTYPE_FLOAT3: return 12;
    case D3DDECLTYPE_FLOAT4: return 16;
    case D3DDECLTYPE_D3DCOLOR: return 4;
    case D3DDECLTYPE_UBYTE4: return 4;
    case D3DDECLTYPE_SHORT2: return 4;
    case D3DDECLTYPE_SHORT4: return 8;
    case D3DDECLTYPE_UBYTE4N: return 4;
    default: return 0;
    }
}

bool Fvf_Elements(DWORD fvf, std::vector<D3DVERTEXELEMENT9>* elements, UINT* stride) {
    std::vector<D3DVERTEXELEMENT9> out;
    WORD offset = 0;
    auto add = [&](BYTE type, BYTE usage, BYTE index) {
        out.push_back({0, offset, type, D3DDECLMETHOD_DEFAULT, usage, index});
        offset = WORD(offset + Decl_Type_Size(type));
    };
    if (fvf & D3DFVF_RESERVED0) return false;

    const DWORD position = fvf & D3DFVF_POSITION_MASK;
    int betas = 0;
    switch (position) {
    case 0: break;
    case D3DFVF_XYZ: add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0); break;
    case D3DFVF_XYZRHW: add(D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITIONT, 0); break;
    case D3DFVF_XYZW: add(D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITION, 0); break;
    case D3DFVF_XYZB1:
    case D3DFVF_XYZB2:
    case D3DFVF_XYZB3:
    case D3DFVF_XYZB4:
    case D3DFVF_XYZB5:
        add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0);
        betas = int(position - D3DFVF_XYZRHW) / 2;
        break;
    default: return false;
    }
    if (betas > 0) {
        const bool indexed = (fvf & (D3DFVF_LASTBETA_UBYTE4 | D3DFVF_LASTBETA_D3DCOLOR)) != 0;
        int weights = indexed ? betas - 1 : std::min(betas, 4);
        if (weights > 0) add(BYTE(D3DDECLTYPE_FLOAT1 + weights - 1), D3DDECLUSAGE_BLENDWEIGHT, 0);
        if (indexed)
            add((fvf & D3DFVF_LASTBETA_UBYTE4) ? D3DDECLTYPE_UBYTE4 : D3DDECLTYPE_D3DCOLOR,
                D3DDECLUSAGE_BLENDINDICES, 0);
        else if (betas == 5)
            add(D3DDECLTYPE_FLOAT1, D3DDECLUSAGE_BLENDINDICES, 0);
    }
    if (fvf & D3DFVF_NORMAL) add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 0);
    if (fvf & D3DFVF_PSIZE) add(D3DDECLTYPE_FLOAT1, D3DDECLUSAGE_PSIZE, 0);
    if (fvf & D3DFVF_DIFFUSE) add(D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0);
    if (fvf & D3DFVF_SPECULAR) add(D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1);

    const DWORD sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (sets > 8) return false;
    for (DWORD i = 0; i < sets; ++i) {
        // Indexed by the set's D3DFVF_TEXTUREFORMATn bits.
        static constexpr BYTE k_types[4] = {D3DDECLTYPE_FLOAT2, D3DDECLTYPE_FLOAT3,
                                            D3DDECLTYPE_FLOAT4, D3DDECLTYPE_FLOAT1};
        add(k_types[(fvf >> (16 + 2 * i)) & 3], D3DDECLUSAGE_TEXCOORD, BYTE(i));
    }
    if (elements) *elements = std::move(out);
    if (stride) *stride = offset;
    return true;
}

namespace qm_d3d9 {

namespace {

// Layouts with the same elements get the same id, so that a declaration
// made again for every frame (or an FVF equal to a declaration) finds the
// vertex array already set up for it.
std::uint64_t Layout_Id_Of(const std::vector<D3DVERTEXELEMENT9>& elements) {
    static std::map<std::string, std::uint64_t> ids;
    std::string key(elements.size() * sizeof(D3DVERTEXELEMENT9), '\0');
    if (!elements.empty()) std::memcpy(key.data(), elements.data(), key.size());
    const auto [found, inserted] = ids.emplace(std::move(key), ids.size() + 1);
    (void)inserted;
    return found->second;
}

}  // namespace

bool Build_Layout(const D3DVERTEXELEMENT9* elements, Vertex_Layout* out) {
    if (!elements || !out) return false;
    Vertex_Layout layout;
    for (int i = 0;; ++i) {
        if (i >= MAXD3DDECLLENGTH) return false;  // no end marker in sight
        const D3DVERTEXELEMENT9& e = elements[i];
        if (e.Stream == 0xFF) break;
        if (e.Stream >= UINT(k_stream_count)) return false;
        UINT size = Decl_Type_Size(e.Type);
        if (size == 0) return false;
        if (e.Usage > D3DDECLUSAGE_SAMPLE) return false;
        if (e.Offset + size > k_max_vertex_stride) return false;
        layout.elements.push_back(e);
        layout.streams |= std::uint16_t(1u << e.Stream);
        switch (e.Usage) {
        case D3DDECLUSAGE_POSITIONT:
            if (e.UsageIndex == 0) {
                layout.pretransformed = true;
                layout.has_position = true;
            }
            break;
        case D3DDECLUSAGE_POSITION:
            if (e.UsageIndex == 0) layout.has_position = true;
            break;
        case D3DDECLUSAGE_NORMAL:
            if (e.UsageIndex == 0) layout.has_normal = true;
            break;
        case D3DDECLUSAGE_COLOR:
            if (e.UsageIndex == 0) layout.has_color0 = true;
            if (e.UsageIndex == 1) layout.has_color1 = true;
            break;
        case D3DDECLUSAGE_TEXCOORD:
            if (e.UsageIndex < 8) layout.texcoord_sets |= std::uint8_t(1u << e.UsageIndex);
            break;
        default: break;
        }
    }
    layout.id = Layout_Id_Of(layout.elements);
    *out = std::move(layout);
    return true;
}

Vertex_Declaration::Vertex_Declaration(Device* device, Vertex_Layout layout)
    : Child_Object(device), layout_(std::move(layout)) {}

HRESULT Vertex_Declaration::GetDeclaration(D3DVERTEXELEMENT9* pElement, UINT* pNumElements) {
    if (!pNumElements) return D3DERR_INVALIDCALL;
    const UINT count = UINT(layout_.elements.size()) + 1;  // with the end marker
    if (pElement) {
        std::copy(layout_.elements.begin(), layout_.elements.end(), pElement);
        pElement[count - 1] = D3DVERTEXELEMENT9 D3DDECL_END();
    }
    *pNumElements = count;
    return D3D_OK;
}

}  // namespace qm_d3d9
