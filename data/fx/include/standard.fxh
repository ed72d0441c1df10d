// The engine's standard parameters that the object effects share, and the
// lighting of the scene's first light as Direct3D's fixed-function
// pipeline defines it (point, spot and directional; range; attenuation;
// Theta/Phi cone with falloff).
#pragma once

float4x4 WorldViewProj : WORLDVIEWPROJECTION < string UIWidget = "None"; >;
float4x4 World : WORLD < string UIWidget = "None"; >;
float4x4 WorldITXf : WORLDINVERSETRANSPOSE < string UIWidget = "None"; >;

// The camera's eye position; w arrives as 0.5 and is not used.
float4 g_vEye : CAMERAPOSITION = {0, 100, -200, 0.5};

// Position of the first light, and the whole light record (the 104 bytes
// of D3DLIGHT9, member for member).
float3 LightPosition : POSITION < string Object = "PointLight0"; > = {0, 200, 0};

struct D3D_Light {
    int Type;            // 1 point, 2 spot, 3 directional
    float4 Diffuse;
    float4 Specular;
    float4 Ambient;
    float3 Position;
    float3 Direction;
    float Range;
    float Falloff;
    float Attenuation0;
    float Attenuation1;
    float Attenuation2;
    float Theta;
    float Phi;
};

D3D_Light LIGHT = {
    1,
    {1, 1, 1, 1},
    {1, 1, 1, 1},
    {0.2, 0.2, 0.2, 1},
    {0, 200, 0},
    {0, -1, 0},
    1000, 1, 1, 0, 0, 0.5, 1.0
};

float Ambient_Scale < string UIName = "Ambient share of the light"; float UIMin = 0; float UIMax = 1; > = 0.25;
float Specular_Power < string UIName = "Specular power"; float UIMin = 1; float UIMax = 128; > = 32;
float Specular_Level < string UIName = "Specular level"; float UIMin = 0; float UIMax = 2; > = 0.6;

// Direction towards the light from a world position, and the light's
// attenuation there (distance, range and spot cone).
float3 Light_Direction(float3 world_pos, out float attenuation)
{
    attenuation = 1;
    if (LIGHT.Type == 3)
        return normalize(-LIGHT.Direction);
    float3 to_light = LightPosition - world_pos;
    float dist = length(to_light);
    float3 l = to_light / max(dist, 0.0001);
    float a = LIGHT.Attenuation0 + LIGHT.Attenuation1 * dist + LIGHT.Attenuation2 * dist * dist;
    attenuation = a > 0 ? 1 / a : 1;
    if (LIGHT.Range > 0 && dist > LIGHT.Range)
        attenuation = 0;
    if (LIGHT.Type == 2) {
        float rho = dot(-l, normalize(LIGHT.Direction));
        float cos_theta = cos(LIGHT.Theta * 0.5);
        float cos_phi = cos(LIGHT.Phi * 0.5);
        float spot = rho > cos_theta ? 1 : (rho <= cos_phi ? 0 :
                     pow(saturate((rho - cos_phi) / max(cos_theta - cos_phi, 0.0001)), max(LIGHT.Falloff, 0.001)));
        attenuation *= spot;
    }
    return l;
}

// Blinn-Phong of the first light on a surface; returns the diffuse factor
// (rgb, with ambient) and writes the specular colour.
float3 Phong_Light(float3 world_pos, float3 n, out float3 specular)
{
    float attenuation;
    float3 l = Light_Direction(world_pos, attenuation);
    float3 v = normalize(g_vEye.xyz - world_pos);
    float3 h = normalize(l + v);
    float n_dot_l = saturate(dot(n, l));
    float n_dot_h = saturate(dot(n, h));
    specular = LIGHT.Specular.rgb * Specular_Level * pow(n_dot_h, Specular_Power) * attenuation *
               (n_dot_l > 0 ? 1 : 0);
    return LIGHT.Ambient.rgb * Ambient_Scale + LIGHT.Diffuse.rgb * n_dot_l * attenuation;
}

struct Mesh_Input {
    float4 Position : POSITION;
    float3 Normal : NORMAL;
    float2 UV : TEXCOORD0;
};

struct Lit_Vertex {
    float4 HPosition : POSITION;
    float2 UV : TEXCOORD0;
    float3 World_Normal : TEXCOORD1;
    float3 World_Pos : TEXCOORD2;
};

Lit_Vertex Lit_VS(Mesh_Input IN)
{
    Lit_Vertex OUT;
    OUT.HPosition = mul(IN.Position, WorldViewProj);
    OUT.UV = IN.UV;
    OUT.World_Normal = mul(float4(IN.Normal, 0), WorldITXf).xyz;
    OUT.World_Pos = mul(IN.Position, World).xyz;
    return OUT;
}
