// An error inside a shader body, reported by the HLSL compiler.
float4 Color;

float4 Main_VS(float4 pos : POSITION) : POSITION
{
    return pos;
}

float4 Main_PS() : COLOR
{
    return Color * undeclared_thing;
}

technique Main
{
    pass P0 { VertexShader = compile vs_2_0 Main_VS(); PixelShader = compile ps_2_0 Main_PS(); }
}
