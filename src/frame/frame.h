// The frame sequence, the loading screen and the statistics overlay.
#pragma once

#include "platform/d3dx9.h"

void Render_Frame();

// Loading screen: a screen-space vertex of the bar and its frame.
struct Loading_Vertex {
    float x, y, z, rhw;
    D3DCOLOR colour;
};
const DWORD Loading_Vertex_FVF = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;
const UINT Loading_Buffer_Size = 6 * sizeof(Loading_Vertex);

HRESULT Build_Loading_Bar(float percent);

// One loading frame is asked for per level entry, and entries can come much
// faster than a display shows frames. An entry frame that follows the last
// presented loading frame by less than Loading_Frame_Interval milliseconds,
// or by less than twice what drawing that frame took, is not drawn: loading
// screens never take more than a third of the loading time. The first and the
// final screen are always drawn. The interval is ten updates a second rather
// than one per display refresh: a software rasteriser draws the frame on its
// own threads after Present returns, so the time measured here is only part
// of what a frame costs, and on two cores those threads took the better part
// of the loading time of a big level.
enum Loading_Frame_Kind { Loading_Frame_Always, Loading_Frame_Entry };
const DWORD Loading_Frame_Interval = 100;
void Draw_Text(const char* text, int x, int y, D3DCOLOR colour);
void Draw_Loading_Screen(const char* left_text, const char* right_text,
                         Loading_Frame_Kind kind = Loading_Frame_Always);
extern bool Loading_Presented;      // a loading frame has been presented
extern DWORD Loading_Last_Present;  // timeGetTime() after the last one
extern DWORD Loading_Last_Cost;     // milliseconds that one took to draw

// Statistics overlay.
extern double Stat_Previous_Time;
extern float Stat_Accum_Time;
extern int Stat_Frame_Count;
extern float Stat_FPS;
extern char Stat_Text[64];

void Stat_Count_Frame();  // the frame-rate bookkeeping of one call
void Draw_Statistics();

// Text colours, as four floats packed with the standard rounding.
const D3DXCOLOR Loading_Title_Colour(0.4f, 0.4f, 0.4f, 1.0f);
const D3DXCOLOR Loading_Left_Colour(0.6f, 0.6f, 0.6f, 1.0f);
const D3DXCOLOR Stat_Label_Colour(0.1f, 0.1f, 0.1f, 1.0f);
const D3DXCOLOR Stat_Value_Colour(0.3f, 0.3f, 0.0f, 1.0f);
const D3DXCOLOR Stat_Error_Colour(0.9f, 0.15f, 0.1f, 1.0f);

// The first light drifts this far along x every frame.
const float Frame_Light_Drift = 0.005f;
