float4 Main_PS() : COLOR { return 1; }

technique Main
{
    pass P0 { PixelShader = compile ps_4_0 Main_PS(); }
}
