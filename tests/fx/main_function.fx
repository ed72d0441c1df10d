// Entry functions may be called "main", as many shader files name them.
float4 Tint = {1, 0.5, 0, 1};

float4 main_vs(float4 pos : POSITION) : POSITION { return pos; }

float4 main(float2 uv : TEXCOORD0) : COLOR
{
    return Tint * uv.x;
}

technique Main
{
    pass P0 { VertexShader = compile vs_2_0 main_vs(); PixelShader = compile ps_2_0 main(); }
}
