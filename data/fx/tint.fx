// A simple second effect for an object: multiplies what is already drawn
// by a colour that pulses with height. Put it after a lighting effect in
// an effect list.
//
// Technique: "standart". Textures: none.
float4x4 WorldViewProj : WORLDVIEWPROJECTION;
float4x4 World : WORLD;

float4 Tint_Low < string UIWidget = "Color"; > = {1.0, 0.85, 0.7, 1};
float4 Tint_High < string UIWidget = "Color"; > = {0.7, 0.85, 1.0, 1};
float Band_Height = 40;

struct Tint_Vertex {
    float4 HPosition : POSITION;
    float Height : TEXCOORD0;
};

Tint_Vertex Tint_VS(float4 pos : POSITION)
{
    Tint_Vertex OUT;
    OUT.HPosition = mul(pos, WorldViewProj);
    OUT.Height = mul(pos, World).y;
    return OUT;
}

float4 Tint_PS(Tint_Vertex IN) : COLOR
{
    float t = saturate(IN.Height / Band_Height);
    return lerp(Tint_Low, Tint_High, t);
}

technique standart
{
    pass Multiply
    {
        ZEnable = true;
        ZWriteEnable = false;
        ZFunc = LessEqual;
        AlphaBlendEnable = true;
        SrcBlend = DestColor;
        DestBlend = Zero;
        CullMode = None;
        VertexShader = compile vs_2_0 Tint_VS();
        PixelShader = compile ps_2_0 Tint_PS();
    }
}
