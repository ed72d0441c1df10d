// Flexible vertex formats: vertex size and the equivalent declaration.
#include "platform/d3dx9.h"

namespace {

UINT Position_Bytes(DWORD fvf)
{
    switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ: return 12;
    case D3DFVF_XYZRHW:
    case D3DFVF_XYZW: return 16;
    default: return 0;
    }
}

UINT Texcoord_Count(DWORD fvf)
{
    return (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
}

}  // namespace

UINT WINAPI D3DXGetFVFVertexSize(DWORD FVF)
{
    UINT size = Position_Bytes(FVF);
    if (FVF & D3DFVF_NORMAL) size += 12;
    if (FVF & D3DFVF_PSIZE) size += 4;
    if (FVF & D3DFVF_DIFFUSE) size += 4;
    if (FVF & D3DFVF_SPECULAR) size += 4;
    size += 8 * Texcoord_Count(FVF);
    return size;
}

HRESULT WINAPI D3DXDeclaratorFromFVF(DWORD FVF, D3DVERTEXELEMENT9 pDeclarator[MAXD3DDECLLENGTH])
{
    if (!pDeclarator || Position_Bytes(FVF) == 0 || Texcoord_Count(FVF) > 8) {
        return D3DERR_INVALIDCALL;
    }
    int n = 0;
    WORD offset = 0;
    auto add = [&](BYTE type, BYTE usage, BYTE index, WORD bytes) {
        pDeclarator[n++] = {0, offset, type, D3DDECLMETHOD_DEFAULT, usage, index};
        offset = static_cast<WORD>(offset + bytes);
    };
    switch (FVF & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ: add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0, 12); break;
    case D3DFVF_XYZW: add(D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITION, 0, 16); break;
    default: add(D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITIONT, 0, 16); break;
    }
    if (FVF & D3DFVF_NORMAL) add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 0, 12);
    if (FVF & D3DFVF_PSIZE) add(D3DDECLTYPE_FLOAT1, D3DDECLUSAGE_PSIZE, 0, 4);
    if (FVF & D3DFVF_DIFFUSE) add(D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0, 4);
    if (FVF & D3DFVF_SPECULAR) add(D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1, 4);
    for (UINT t = 0; t < Texcoord_Count(FVF); ++t) {
        add(D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_TEXCOORD, static_cast<BYTE>(t), 8);
    }
    pDeclarator[n] = D3DDECL_END();
    return D3D_OK;
}
