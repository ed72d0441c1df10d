// Internal: how ID3DXFont finds and measures its face.
#pragma once

#include "platform/d3dx9.h"

#include <string>

struct Font_Face_Match {
    std::string file;  // font file fontconfig chose
    int index = 0;     // face index inside that file
    std::string family;
    std::string style;
};

// Asks fontconfig for the face a GDI font request gets: the face name
// (Windows-1251), the GDI weight (700 = bold) and italic. False when no
// font is available at all.
bool Font_Match(const char* face_name, UINT weight, bool italic, Font_Face_Match* out);

// The em size in pixels of a GDI height: a negative height is the character
// height itself, a positive one the cell height (ascent + descent, given in
// font units with the em size).
int Font_Em_Pixels(INT height, int cell_units, int em_units);
