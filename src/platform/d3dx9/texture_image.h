// Internal: a decoded texture file held in memory, ready for upload.
//
// Uncompressed pictures are always A8R8G8B8 (bytes B, G, R, A in memory);
// DXT pictures stay in their block layout. Rows are tightly packed: a DXT
// level holds its rows of 4x4 blocks.
#pragma once

#include "platform/d3d9/format_facts.h"
#include "platform/d3dx9.h"

#include <cstddef>
#include <vector>

// The largest edge accepted from a file; larger declared sizes are refused
// before anything is allocated for them.
constexpr UINT k_max_texture_edge = 16384;

// What a device can hold, checked against a file's header before anything is
// decoded: the longest edge, and the bytes of the whole decoded chain (every
// level and face as the decoder holds them).
struct Texture_Limits {
    UINT max_edge = k_max_texture_edge;
    std::size_t max_bytes = std::size_t{1} << 30;
};

// The limits of a device: its largest texture edge (never more than
// k_max_texture_edge) and the default byte limit.
Texture_Limits Device_Texture_Limits(IDirect3DDevice9* device);

// True when a picture of this size, format and face count fits the limits
// with its full chain of levels.
bool Texture_Fits(const Texture_Limits& limits, D3DFORMAT format, UINT width, UINT height,
                  UINT faces);

struct Texture_Level {
    UINT width = 0;
    UINT height = 0;
    std::vector<unsigned char> bytes;
};

struct Texture_Image {
    D3DFORMAT format = D3DFMT_UNKNOWN;
    bool cube = false;
    // One face for a plain texture, six (+X, -X, +Y, -Y, +Z, -Z) for a cube
    // map; every face has the same number of levels, largest first.
    std::vector<std::vector<Texture_Level>> faces;

    UINT Width() const { return faces.empty() || faces[0].empty() ? 0 : faces[0][0].width; }
    UINT Height() const { return faces.empty() || faces[0].empty() ? 0 : faces[0][0].height; }
    UINT Level_Count() const { return faces.empty() ? 0 : static_cast<UINT>(faces[0].size()); }
};

// Bytes of one row as stored (a row of blocks for DXT) and the number of rows.
std::size_t Texture_Row_Bytes(D3DFORMAT format, UINT width);
UINT Texture_Row_Count(D3DFORMAT format, UINT height);
std::size_t Texture_Level_Bytes(D3DFORMAT format, UINT width, UINT height);

// Appends box-filtered levels to an A8R8G8B8 chain until it ends at 1x1.
void Complete_Mip_Chain(std::vector<Texture_Level>* levels);

// Decodes a texture file from memory: DDS by its signature, everything else
// through the image decoder. Returns D3D_OK, D3DXERR_INVALIDDATA for data that
// is not a supported picture, D3DERR_OUTOFVIDEOMEMORY for a picture whose
// header declares more than the limits allow (refused before decoding), or
// E_OUTOFMEMORY.
HRESULT Decode_Texture(const unsigned char* data, std::size_t size, Texture_Image* out,
                       const Texture_Limits& limits = {});
