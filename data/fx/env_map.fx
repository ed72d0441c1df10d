// Reflection of a cube map, mixed with the lit diffuse texture.
//
// Technique: "standart".
// Textures: the reflection cube map ("g_txEnvMap", the object's
// reflection_texture; a DDS cube map) and the diffuse texture
// ("MaterialTexture", or the model's own on stage 0).
#include "include/standard.fxh"

float4x4 ViewIXf : VIEWINVERSE < string UIWidget = "None"; >;

float Reflectivity < string UIName = "Reflectivity"; float UIMin = 0; float UIMax = 1; > = 0.6;
float Fresnel_Power < string UIName = "Fresnel power"; float UIMin = 0; float UIMax = 8; > = 3.0;

texture MaterialTexture : DIFFUSE;
textureCUBE g_txEnvMap : ENVIRONMENT < string ResourceType = "Cube"; >;

sampler2D Diffuse_Sampler = sampler_state {
    Texture = <MaterialTexture>;
    MinFilter = Linear; MagFilter = Linear; MipFilter = Linear;
    AddressU = Wrap; AddressV = Wrap;
};

samplerCUBE Env_Sampler = sampler_state {
    Texture = <g_txEnvMap>;
    MinFilter = Linear; MagFilter = Linear; MipFilter = Linear;
    AddressU = Clamp; AddressV = Clamp; AddressW = Clamp;
};

struct Env_Vertex {
    float4 HPosition : POSITION;
    float2 UV : TEXCOORD0;
    float3 World_Normal : TEXCOORD1;
    float3 World_Pos : TEXCOORD2;
    float3 Eye_Pos : TEXCOORD3;
};

Env_Vertex Env_VS(Mesh_Input IN)
{
    Env_Vertex OUT;
    OUT.HPosition = mul(IN.Position, WorldViewProj);
    OUT.UV = IN.UV;
    OUT.World_Normal = mul(float4(IN.Normal, 0), WorldITXf).xyz;
    OUT.World_Pos = mul(IN.Position, World).xyz;
    // The camera sits at the origin of view space: the inverse view's last row.
    OUT.Eye_Pos = ViewIXf[3].xyz;
    return OUT;
}

float4 Env_PS(Env_Vertex IN) : COLOR
{
    float3 n = normalize(IN.World_Normal);
    float3 v = normalize(IN.World_Pos - IN.Eye_Pos);
    float3 r = reflect(v, n);
    float fresnel = Reflectivity + (1 - Reflectivity) * pow(1 - saturate(dot(-v, n)), Fresnel_Power);
    float3 specular;
    float3 light = Phong_Light(IN.World_Pos, n, specular);
    float4 base = tex2D(Diffuse_Sampler, IN.UV);
    float3 reflection = texCUBE(Env_Sampler, r).rgb;
    return float4(lerp(base.rgb * light, reflection, fresnel) + specular, base.a);
}

technique standart
{
    pass P0
    {
        ZEnable = true;
        ZWriteEnable = true;
        CullMode = None;
        VertexShader = compile vs_2_0 Env_VS();
        PixelShader = compile ps_3_0 Env_PS();
    }
}
