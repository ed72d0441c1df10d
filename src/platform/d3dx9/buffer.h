// Internal: creating ID3DXBuffer objects with given contents, and reading
// whole files for the loaders.
#pragma once

#include "platform/d3dx9.h"

#include <cstddef>
#include <vector>

// Creates a buffer of `size` bytes holding a copy of `data` (which may be
// null, leaving the contents unspecified). Fails with E_OUTOFMEMORY when the
// memory cannot be had.
HRESULT Create_Buffer(const void* data, std::size_t size, ID3DXBuffer** out);

// Reads a whole file named with Windows path rules (Open_File) into memory.
// Returns D3D_OK, D3DXERR_INVALIDDATA for a missing or unreadable file (or
// one larger than the loaders accept), or E_OUTOFMEMORY.
HRESULT Read_File_Bytes(const char* path, std::vector<unsigned char>* out);
