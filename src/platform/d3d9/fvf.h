// Flexible vertex formats as vertex elements: the one place that knows how
// an FVF lays out a vertex. The device's draw path and the D3DX mesh code
// both use it.
#pragma once

#include <vector>

#include "platform/d3d9.h"

// Elements of a flexible vertex format and its vertex size, in Direct3D's
// order: position, blend weights, normal, point size, diffuse, specular,
// texture coordinate sets (each with its D3DFVF_TEXCOORDSIZEn). False for an
// FVF the device does not take.
bool Fvf_Elements(DWORD fvf, std::vector<D3DVERTEXELEMENT9>* elements, UINT* stride);

// Size in bytes of one element of a declaration type, 0 for an unknown one.
UINT Decl_Type_Size(BYTE type);
