// #include relative to the including file, with '\' separators and a
// folder name in other capitals than on disk.
#include "Include\lib.fxh"
#include "include/sub/colors.fxh"

float4 Main_VS(float3 pos : POSITION) : POSITION
{
    return To_Clip(pos);
}

float4 Main_PS() : COLOR
{
    return float4(Warm, 1);
}

technique Main
{
    pass P0
    {
        VertexShader = compile vs_2_0 Main_VS();
        PixelShader = compile ps_2_0 Main_PS();
    }
}
