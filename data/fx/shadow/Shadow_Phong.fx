// Start-up effect: shadow mapping. "Depth" renders light-space depth into a
// shadow map; "Shadow_Phong" lights a surface and darkens what the map says
// lies behind an occluder.
float4x4 WorldViewProj : WORLDVIEWPROJECTION;
float4x4 World : WORLD;
float4x4 WorldITXf : WORLDINVERSETRANSPOSE;
float4x4 Light_View_Proj;
float3 LightPosition = {0, 100, -100};
float4 Light_Color = {1, 1, 1, 1};
float Depth_Bias = 0.002;
float Shadow_Map_Size = 1024;

texture Shadow_Map;
sampler2D Shadow_Sampler = sampler_state {
    Texture = <Shadow_Map>;
    MinFilter = Point; MagFilter = Point; MipFilter = None;
    AddressU = Border; AddressV = Border;
    BorderColor = 0xFFFFFFFF;
};

texture MaterialTexture : DIFFUSE;
sampler2D Diffuse_Sampler = sampler_state { Texture = <MaterialTexture>; MinFilter = Linear; MagFilter = Linear; };

struct Depth_Out {
    float4 pos : POSITION;
    float2 depth : TEXCOORD0;
};

Depth_Out Depth_VS(float4 pos : POSITION)
{
    Depth_Out o;
    o.pos = mul(mul(pos, World), Light_View_Proj);
    o.depth = o.pos.zw;
    return o;
}

float4 Depth_PS(float2 depth : TEXCOORD0) : COLOR
{
    return depth.x / depth.y;
}

struct Shadow_Out {
    float4 pos : POSITION;
    float2 uv : TEXCOORD0;
    float3 normal : TEXCOORD1;
    float3 world : TEXCOORD2;
    float4 light_pos : TEXCOORD3;
};

Shadow_Out Shadow_VS(float4 pos : POSITION, float3 normal : NORMAL, float2 uv : TEXCOORD0)
{
    Shadow_Out o;
    o.pos = mul(pos, WorldViewProj);
    o.uv = uv;
    o.normal = mul(float4(normal, 0), WorldITXf).xyz;
    float4 world = mul(pos, World);
    o.world = world.xyz;
    o.light_pos = mul(world, Light_View_Proj);
    return o;
}

float Lit_Fraction(float4 light_pos)
{
    float2 uv = light_pos.xy / light_pos.w * float2(0.5, -0.5) + 0.5;
    float depth = light_pos.z / light_pos.w - Depth_Bias;
    float texel = 1.0 / Shadow_Map_Size;
    float lit = 0;
    for (int y = -1; y <= 1; ++y)
        for (int x = -1; x <= 1; ++x)
            lit += tex2D(Shadow_Sampler, uv + float2(x, y) * texel).r >= depth ? 1 : 0;
    return lit / 9;
}

float4 Shadow_PS(Shadow_Out i) : COLOR
{
    float3 n = normalize(i.normal);
    float3 l = normalize(LightPosition - i.world);
    float diffuse = saturate(dot(n, l)) * Lit_Fraction(i.light_pos);
    float4 texel = tex2D(Diffuse_Sampler, i.uv);
    return float4(texel.rgb * (0.2 + Light_Color.rgb * diffuse), texel.a);
}

technique Depth
{
    pass P0
    {
        ZEnable = true;
        ZWriteEnable = true;
        CullMode = CW;
        VertexShader = compile vs_2_0 Depth_VS();
        PixelShader = compile ps_2_0 Depth_PS();
    }
}

technique Shadow_Phong
{
    pass P0
    {
        VertexShader = compile vs_3_0 Shadow_VS();
        PixelShader = compile ps_3_0 Shadow_PS();
    }
}
