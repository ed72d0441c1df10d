// Two passes: the lit diffuse texture, then an additive rim glow where the
// surface turns away from the camera.
//
// Technique: "standart" (two passes).
// Textures: the diffuse texture ("ModelTex", or the model's own on stage 0).
#include "include/standard.fxh"

float4 Glow_Color < string UIName = "Glow colour"; string UIWidget = "Color"; > = {0.3, 0.6, 1.0, 1.0};
float Glow_Power < string UIName = "Glow falloff"; float UIMin = 0.5; float UIMax = 8; > = 2.5;

texture ModelTex : DIFFUSE;

sampler2D Diffuse_Sampler = sampler_state {
    Texture = <ModelTex>;
    MinFilter = Linear; MagFilter = Linear; MipFilter = Linear;
    AddressU = Wrap; AddressV = Wrap;
};

float4 Base_PS(Lit_Vertex IN) : COLOR
{
    float3 n = normalize(IN.World_Normal);
    float3 specular;
    float3 light = Phong_Light(IN.World_Pos, n, specular);
    float4 texel = tex2D(Diffuse_Sampler, IN.UV);
    return float4(texel.rgb * light + specular, 1);
}

float4 Rim_PS(Lit_Vertex IN) : COLOR
{
    float3 n = normalize(IN.World_Normal);
    float3 v = normalize(g_vEye.xyz - IN.World_Pos);
    float rim = pow(1 - saturate(abs(dot(n, v))), Glow_Power);
    return float4(Glow_Color.rgb * rim, rim);
}

technique standart
{
    pass Base
    {
        ZEnable = true;
        ZWriteEnable = true;
        ZFunc = LessEqual;
        AlphaBlendEnable = false;
        CullMode = None;
        VertexShader = compile vs_2_0 Lit_VS();
        PixelShader = compile ps_3_0 Base_PS();
    }
    pass Glow
    {
        ZWriteEnable = false;
        ZFunc = LessEqual;
        AlphaBlendEnable = true;
        SrcBlend = One;
        DestBlend = One;
        BlendOp = Add;
        VertexShader = compile vs_2_0 Lit_VS();
        PixelShader = compile ps_2_0 Rim_PS();
    }
}
