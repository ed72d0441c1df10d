float4 Tint_PS(uniform float4 color) : COLOR { return color; }

technique Main
{
    pass P0
    {
        PixelShader = compile ps_2_0 Tint_PS();
    }
}
