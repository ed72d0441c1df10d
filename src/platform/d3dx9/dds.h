// Internal: the DDS reader.
#pragma once

#include "platform/d3dx9/texture_image.h"

#include <cstddef>

bool Dds_Has_Signature(const unsigned char* data, std::size_t size);

// Reads a DDS file: DXT1/3/5 kept compressed, uncompressed RGB, luminance
// and alpha layouts converted to A8R8G8B8 with missing levels generated,
// cube maps with all six faces. Every size is checked against the file
// before it is used, and the whole picture against the limits before any of
// it is decoded.
HRESULT Dds_Decode(const unsigned char* data, std::size_t size, Texture_Image* out,
                   const Texture_Limits& limits = {});
