// Per-pixel Phong (Blinn) lighting by the scene's first light, on the
// object's diffuse texture.
//
// Techniques: "standart" (and its alias "standard").
// Textures: the diffuse texture ("MaterialTexture", or the model's own
// texture on stage 0 when the object gives none).
#include "include/standard.fxh"

float4 Diffuse_Color < string UIName = "Diffuse colour"; string UIWidget = "Color"; > = {1, 1, 1, 1};

texture MaterialTexture : DIFFUSE < string ResourceName = "blank.bmp"; string ResourceType = "2D"; >;

sampler2D Diffuse_Sampler = sampler_state {
    Texture = <MaterialTexture>;
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = Linear;
    AddressU = Wrap;
    AddressV = Wrap;
};

float4 Phong_PS(Lit_Vertex IN) : COLOR
{
    float3 n = normalize(IN.World_Normal);
    float3 specular;
    float3 light = Phong_Light(IN.World_Pos, n, specular);
    float4 texel = tex2D(Diffuse_Sampler, IN.UV) * Diffuse_Color;
    return float4(texel.rgb * light + specular, texel.a);
}

technique standart
{
    pass P0
    {
        ZEnable = true;
        ZWriteEnable = true;
        ZFunc = LessEqual;
        CullMode = None;
        VertexShader = compile vs_2_0 Lit_VS();
        PixelShader = compile ps_3_0 Phong_PS();
    }
}

technique standard
{
    pass P0
    {
        ZEnable = true;
        ZWriteEnable = true;
        ZFunc = LessEqual;
        CullMode = None;
        VertexShader = compile vs_2_0 Lit_VS();
        PixelShader = compile ps_3_0 Phong_PS();
    }
}
