// Flexible vertex formats: vertex size and the equivalent declaration, both
// read off the device's own FVF layout.
#include <algorithm>
#include <vector>

#include "platform/d3d9/fvf.h"
#include "platform/d3dx9.h"

UINT WINAPI D3DXGetFVFVertexSize(DWORD FVF) {
    UINT stride = 0;
    return Fvf_Elements(FVF, nullptr, &stride) ? stride : 0;
}

HRESULT WINAPI D3DXDeclaratorFromFVF(DWORD FVF, D3DVERTEXELEMENT9 pDeclarator[MAXD3DDECLLENGTH]) {
    std::vector<D3DVERTEXELEMENT9> elements;
    // A declaration needs a position; the device draws position-less FVFs,
    // D3DX does not describe them.
    if (!pDeclarator || (FVF & D3DFVF_POSITION_MASK) == 0 ||
        !Fvf_Elements(FVF, &elements, nullptr) || elements.empty() ||
        elements.size() >= MAXD3DDECLLENGTH) {
        return D3DERR_INVALIDCALL;
    }
    std::copy(elements.begin(), elements.end(), pDeclarator);
    pDeclarator[elements.size()] = D3DDECL_END();
    return D3D_OK;
}
