// Several techniques per file, technique9, unnamed techniques and passes,
// and passes with no shaders at all.
float4 Color = {0, 1, 0, 1};
float4 Main_VS(float4 pos : POSITION) : POSITION { return pos; }
float4 Main_PS() : COLOR { return Color; }

technique First
{
    pass One { VertexShader = compile vs_2_0 Main_VS(); PixelShader = compile ps_2_0 Main_PS(); }
    pass Two { AlphaBlendEnable = true; SrcBlend = One; DestBlend = One;
               VertexShader = compile vs_2_0 Main_VS(); PixelShader = compile ps_2_0 Main_PS(); }
    pass Three { ZEnable = false; }
}

technique9 Second
{
    pass { VertexShader = compile vs_2_0 Main_VS(); PixelShader = compile ps_2_0 Main_PS(); }
}

technique
{
    pass { }
}
