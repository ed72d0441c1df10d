// Per-pixel lighting through a tangent-space normal map.
//
// Technique: "standart".
// Textures: the diffuse texture ("ColorTexture", or the model's own on stage 0)
// and the normal map ("NormalMapTexture", the object's bump_texture).
// Meshes without tangents get a tangent frame built from the normal.
#include "include/standard.fxh"

float Bump_Strength < string UIName = "Bump strength"; float UIMin = 0; float UIMax = 2; > = 1.0;

texture ColorTexture : DIFFUSE;
texture NormalMapTexture : NORMAL;

sampler2D Color_Sampler = sampler_state {
    Texture = <ColorTexture>;
    MinFilter = Linear; MagFilter = Linear; MipFilter = Linear;
    AddressU = Wrap; AddressV = Wrap;
};

sampler2D Normal_Sampler = sampler_state {
    Texture = <NormalMapTexture>;
    MinFilter = Linear; MagFilter = Linear; MipFilter = Linear;
    AddressU = Wrap; AddressV = Wrap;
};

struct Bump_Input {
    float4 Position : POSITION;
    float3 Normal : NORMAL;
    float2 UV : TEXCOORD0;
    float4 Tangent : TANGENT;
};

struct Bump_Vertex {
    float4 HPosition : POSITION;
    float2 UV : TEXCOORD0;
    float3 World_Pos : TEXCOORD1;
    float3 T : TEXCOORD2;
    float3 B : TEXCOORD3;
    float3 N : TEXCOORD4;
};

Bump_Vertex Bump_VS(Bump_Input IN)
{
    Bump_Vertex OUT;
    OUT.HPosition = mul(IN.Position, WorldViewProj);
    OUT.UV = IN.UV;
    OUT.World_Pos = mul(IN.Position, World).xyz;
    float3 n = normalize(mul(float4(IN.Normal, 0), WorldITXf).xyz);
    // A mesh without tangents reads (0, 0, 0, 1) here.
    float3 t = IN.Tangent.xyz;
    if (dot(t, t) < 0.0001)
        t = abs(IN.Normal.y) < 0.99 ? cross(float3(0, 1, 0), IN.Normal) : cross(IN.Normal, float3(1, 0, 0));
    t = normalize(mul(float4(t, 0), World).xyz);
    t = normalize(t - n * dot(n, t));
    OUT.T = t;
    OUT.B = cross(n, t);
    OUT.N = n;
    return OUT;
}

float4 Bump_PS(Bump_Vertex IN) : COLOR
{
    float3 tn = tex2D(Normal_Sampler, IN.UV).xyz * 2 - 1;
    tn.xy *= Bump_Strength;
    float3 n = normalize(tn.x * IN.T + tn.y * IN.B + tn.z * IN.N);
    float3 specular;
    float3 light = Phong_Light(IN.World_Pos, n, specular);
    float4 texel = tex2D(Color_Sampler, IN.UV);
    return float4(texel.rgb * light + specular, texel.a);
}

technique standart
{
    pass P0
    {
        ZEnable = true;
        ZWriteEnable = true;
        CullMode = None;
        VertexShader = compile vs_3_0 Bump_VS();
        PixelShader = compile ps_3_0 Bump_PS();
    }
}
