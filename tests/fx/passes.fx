// Pass states, several passes, and passes that leave one half to the
// fixed-function pipeline.
float4 Color = {0.25, 0.5, 0.125, 0.5};
float4 Glow_Color = {0.5, 0.25, 0.0, 1.0};
bool Blend_On = true;

float4 Position_VS(float4 pos : POSITION) : POSITION
{
    return pos;
}

float4 Color_PS() : COLOR
{
    return Color;
}

float4 Glow_PS() : COLOR
{
    return Glow_Color;
}

technique Additive
{
    pass P0
    {
        ZEnable = false;
        ZWriteEnable = FALSE;
        CullMode = None;
        AlphaBlendEnable = true;
        SrcBlend = One;
        DestBlend = One;
        BlendOp = Add;
        VertexShader = compile vs_2_0 Position_VS();
        PixelShader = compile ps_2_0 Color_PS();
    }
}

technique Base_And_Glow
{
    pass Base
    {
        AlphaBlendEnable = false;
        VertexShader = compile vs_2_0 Position_VS();
        PixelShader = compile ps_2_0 Color_PS();
    }
    pass Glow
    {
        AlphaBlendEnable = (Blend_On);
        SrcBlend = SrcAlpha;
        DestBlend = One;
        VertexShader = compile vs_2_0 Position_VS();
        PixelShader = compile ps_2_0 Glow_PS();
    }
}

struct Colored {
    float4 pos : POSITION;
    float4 diffuse : COLOR0;
    float4 uv : TEXCOORD0;
};

Colored Colored_VS(float3 pos : POSITION)
{
    Colored o;
    o.pos = float4(pos, 1);
    o.diffuse = Color;
    o.uv = float4(0.75, 0.25, 0, 0);
    return o;
}

float4 Uv_PS(float4 diffuse : COLOR0, float2 uv : TEXCOORD0) : COLOR
{
    return float4(uv, diffuse.b * 0.5, 1);
}

// The fixed-function pixel half shows the diffuse colour the vertex shader wrote.
technique Vertex_Only
{
    pass P0
    {
        VertexShader = compile vs_2_0 Colored_VS();
        PixelShader = NULL;
        ColorOp[0] = SelectArg1;
        ColorArg1[0] = Diffuse;
    }
}

// The fixed-function vertex half feeds the pixel shader.
technique Pixel_Only
{
    pass P0
    {
        Lighting = false;
        PixelShader = compile ps_2_0 Uv_PS();
    }
}

// The quad mirrored: the same pixels, wound the other way (a back face).
float4 Mirror_VS(float4 pos : POSITION) : POSITION
{
    return float4(-pos.x, pos.yzw);
}

technique Blend_Factor
{
    pass P0
    {
        AlphaBlendEnable = true;
        SrcBlend = BlendFactor;
        DestBlend = Zero;
        BlendFactor = 0x80FF8040;
        VertexShader = compile vs_2_0 Position_VS();
        PixelShader = compile ps_2_0 Color_PS();
    }
}

// The first pass marks the stencil through the counter-clockwise half of
// two-sided stencil only; the second shows where it did.
technique Two_Sided_Stencil
{
    pass Mark
    {
        ZEnable = false;
        CullMode = None;
        ColorWriteEnable = 0;
        StencilEnable = true;
        TwoSidedStencilMode = true;
        StencilRef = 1;
        StencilFunc = Always;
        StencilPass = Keep;
        CCW_StencilFunc = Always;
        CCW_StencilPass = Replace;
        VertexShader = compile vs_2_0 Mirror_VS();
        PixelShader = compile ps_2_0 Color_PS();
    }
    pass Show
    {
        ColorWriteEnable = Red | Green | Blue | Alpha;
        StencilFunc = Equal;
        CCW_StencilFunc = Equal;
        CCW_StencilPass = Keep;
        VertexShader = compile vs_2_0 Position_VS();
        PixelShader = compile ps_2_0 Glow_PS();
    }
}
