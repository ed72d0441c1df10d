// The pass names a function the file does not define.
float4 Main_VS(float4 pos : POSITION) : POSITION { return pos; }

technique Main
{
    pass P0
    {
        VertexShader = compile vs_2_0 Main_VS();
        PixelShader = compile ps_2_0 Nowhere_PS();
    }
}
