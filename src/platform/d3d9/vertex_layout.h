// Vertex layouts: the elements of a vertex declaration or of a flexible
// vertex format, and what the draw path needs to know about them.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/d3d9.h"
#include "platform/d3d9/device_child.h"
#include "platform/d3d9/fvf.h"

namespace qm_d3d9 {

struct Vertex_Layout {
    std::vector<D3DVERTEXELEMENT9> elements;  // without the end marker
    std::uint64_t id = 0;                     // one per distinct element list, for the VAO cache

    // Facts the fixed-function generator keys on.
    bool pretransformed = false;  // POSITIONT (XYZRHW)
    bool has_position = false;
    bool has_normal = false;
    bool has_color0 = false;
    bool has_color1 = false;
    std::uint8_t texcoord_sets = 0;  // bit n: TEXCOORDn present
    std::uint16_t streams = 0;       // bit s: stream s used
};

// Builds the layout of a declaration. False for a malformed one (unknown
// type, stream out of range, element past the end of a vertex...).
bool Build_Layout(const D3DVERTEXELEMENT9* elements, Vertex_Layout* out);

class Vertex_Declaration final : public Child_Object<IDirect3DVertexDeclaration9, Device_Child> {
public:
    Vertex_Declaration(Device* device, Vertex_Layout layout);

    HRESULT GetDeclaration(D3DVERTEXELEMENT9* pElement, UINT* pNumElements) override;

    const Vertex_Layout& Layout() const { return layout_; }

private:
    Vertex_Layout layout_;
};

}  // namespace qm_d3d9
