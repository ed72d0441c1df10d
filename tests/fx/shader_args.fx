// compile statements with literal and parameter arguments for the entry
// function's uniform parameters, shader variables, and NULL shaders.
float4x4 WorldViewProj;
float4 Tint = {1, 0.5, 0.25, 1};
float Strength = 2;

float4 Transform_VS(float4 pos : POSITION, uniform float4x4 xf, uniform float scale) : POSITION
{
    return mul(pos * scale, xf);
}

float4 Tint_PS(uniform float4 color, uniform bool invert, uniform int steps) : COLOR
{
    float4 c = color * steps;
    return invert ? 1 - c : c;
}

vertexshader Shared_VS = compile vs_2_0 Transform_VS(WorldViewProj, 1.0);
pixelshader Shared_PS = compile ps_2_0 Tint_PS(Tint, false, 1);

technique Literal
{
    pass P0
    {
        VertexShader = compile vs_2_0 Transform_VS(WorldViewProj, 0.5);
        PixelShader = compile ps_2_0 Tint_PS(float4(1, 0, 0, 1), true, 2);
    }
}

technique Parameters
{
    pass P0
    {
        VertexShader = compile vs_2_0 Transform_VS(WorldViewProj, Strength);
        PixelShader = compile ps_2_0 Tint_PS(Tint * Strength, false, 3);
    }
}

technique Variables
{
    pass P0 { VertexShader = (Shared_VS); PixelShader = <Shared_PS>; }
    pass P1 { VertexShader = Shared_VS; PixelShader = NULL; }
}
