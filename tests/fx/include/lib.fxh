// Shared declarations, included with a Windows-style path.
#include "sub\colors.fxh"

float4x4 World : WORLD;
float4x4 ViewProjection : VIEWPROJECTION;

float4 To_Clip(float3 pos)
{
    return mul(mul(float4(pos, 1), World), ViewProjection);
}
