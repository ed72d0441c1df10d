// Start-up effect: per-pixel Phong lighting by one light, on a diffuse
// texture. Technique "Phong".
float4x4 WorldViewProj : WORLDVIEWPROJECTION;
float4x4 World : WORLD;
float4x4 WorldITXf : WORLDINVERSETRANSPOSE;
float4 g_vEye : CAMERAPOSITION = {0, 0, -10, 0.5};
float3 LightPosition = {0, 100, -100};
float4 Light_Color = {1, 1, 1, 1};
float4 Ambient_Color = {0.15, 0.15, 0.15, 1};
float Specular_Power = 24;

texture MaterialTexture : DIFFUSE;
sampler2D Diffuse_Sampler = sampler_state {
    Texture = <MaterialTexture>;
    MinFilter = Linear; MagFilter = Linear; MipFilter = Linear;
};

struct V_OUT {
    float4 pos : POSITION;
    float2 uv : TEXCOORD0;
    float3 normal : TEXCOORD1;
    float3 world : TEXCOORD2;
};

V_OUT Phong_VS(float4 pos : POSITION, float3 normal : NORMAL, float2 uv : TEXCOORD0)
{
    V_OUT o;
    o.pos = mul(pos, WorldViewProj);
    o.uv = uv;
    o.normal = mul(float4(normal, 0), WorldITXf).xyz;
    o.world = mul(pos, World).xyz;
    return o;
}

float4 Phong_PS(V_OUT i) : COLOR
{
    float3 n = normalize(i.normal);
    float3 l = normalize(LightPosition - i.world);
    float3 v = normalize(g_vEye.xyz - i.world);
    float3 r = reflect(-l, n);
    float diffuse = saturate(dot(n, l));
    float specular = diffuse > 0 ? pow(saturate(dot(r, v)), Specular_Power) : 0;
    float4 texel = tex2D(Diffuse_Sampler, i.uv);
    return float4(texel.rgb * (Ambient_Color.rgb + Light_Color.rgb * diffuse) + Light_Color.rgb * specular, texel.a);
}

technique Phong
{
    pass P0
    {
        VertexShader = compile vs_2_0 Phong_VS();
        PixelShader = compile ps_2_0 Phong_PS();
    }
}
