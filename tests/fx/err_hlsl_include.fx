// The HLSL error sits in an included file.
#include "include/broken.fxh"

float4 Main_VS(float4 pos : POSITION) : POSITION { return float4(Broken(pos.xyz), 1); }

technique Main
{
    pass P0 { VertexShader = compile vs_2_0 Main_VS(); }
}
