// Drawing one scene object or light, and the standard effect parameters.
#pragma once

#include "scene/records.h"

void Bind_Standard_Parameters(MAIN_CGObject* object, const D3DXVECTOR3* eye);
void Draw_Object(MAIN_CGObject* object, const D3DXVECTOR3* eye);
void Draw_Light(MAIN_CGLight* light);

// The arrow of a spot light is drawn as coloured lines in the light's frame.
struct Line_Vertex {
    float x, y, z;
    float r, g, b, a;
};
static_assert(sizeof(Line_Vertex) == 28, "the line vertex is three floats and a colour");

void Draw_Line(MAIN_CGLight* light, const D3DXVECTOR3& from, const D3DXVECTOR3& to,
               D3DCOLOR colour);

// Objects whose materials were never built draw with the device's default
// material: white diffuse, everything else zero.
extern const D3DMATERIAL9 Render_Default_Material;

const D3DCOLOR Arrow_Shaft_Colour = 0xFF646464;
const D3DCOLOR Arrow_Head_Colour = 0xFF000000;
