// Start-up effect: a full-screen post-process. Draw a quad covering clip
// space with the scene texture; "Post_Process" tones it (saturation,
// contrast) and darkens the corners.
texture Scene_Texture;
sampler2D Scene_Sampler = sampler_state {
    Texture = <Scene_Texture>;
    MinFilter = Linear; MagFilter = Linear; MipFilter = None;
    AddressU = Clamp; AddressV = Clamp;
};

float Saturation = 0.85;
float Contrast = 1.1;
float Vignette = 0.35;

struct Quad_Out {
    float4 pos : POSITION;
    float2 uv : TEXCOORD0;
};

Quad_Out Quad_VS(float4 pos : POSITION, float2 uv : TEXCOORD0)
{
    Quad_Out o;
    o.pos = float4(pos.xy, 0, 1);
    o.uv = uv;
    return o;
}

float4 Post_PS(float2 uv : TEXCOORD0) : COLOR
{
    float3 c = tex2D(Scene_Sampler, uv).rgb;
    float grey = dot(c, float3(0.299, 0.587, 0.114));
    c = lerp(grey.xxx, c, Saturation);
    c = (c - 0.5) * Contrast + 0.5;
    float2 d = uv - 0.5;
    c *= 1 - Vignette * dot(d, d) * 2;
    return float4(saturate(c), 1);
}

technique Post_Process
{
    pass P0
    {
        ZEnable = false;
        ZWriteEnable = false;
        AlphaBlendEnable = false;
        CullMode = None;
        VertexShader = compile vs_2_0 Quad_VS();
        PixelShader = compile ps_2_0 Post_PS();
    }
}
