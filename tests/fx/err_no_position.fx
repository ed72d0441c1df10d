// A vertex shader that writes no position.
float4 Main_VS(float4 pos : POSITION) : TEXCOORD0 { return pos; }

technique Main
{
    pass P0 { VertexShader = compile vs_2_0 Main_VS(); }
}
