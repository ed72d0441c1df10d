// Texture and sampler declarations and the DX9 sampling intrinsics.
texture Plain_Texture;
texture2D Diffuse_Texture;
textureCUBE Env_Texture;
texture3D Volume_Texture;

sampler Plain_Sampler = sampler_state { Texture = <Plain_Texture>; };
sampler2D Diffuse_Sampler = sampler_state {
    Texture = <Diffuse_Texture>;
    MinFilter = Anisotropic; MagFilter = Linear; MipFilter = Linear;
    MaxAnisotropy = 8; MipMapLodBias = -0.5; MaxMipLevel = 0;
    AddressU = Mirror; AddressV = Border; AddressW = MirrorOnce;
    BorderColor = 0xFF00FF00;
    SRGBTexture = false;
};
samplerCUBE Env_Sampler = sampler_state { Texture = (Env_Texture); MinFilter = Linear; MagFilter = Linear; };
sampler3D Volume_Sampler = sampler_state { Texture = <Volume_Texture>; };
sampler2D Vertex_Sampler = sampler_state { Texture = <Diffuse_Texture>; MinFilter = Point; MagFilter = Point; };

float4x4 WorldViewProj;

struct V_OUT {
    float4 pos : POSITION;
    float4 uv : TEXCOORD0;
    float3 dir : TEXCOORD1;
};

V_OUT Main_VS(float4 pos : POSITION, float4 uv : TEXCOORD0, float3 normal : NORMAL)
{
    V_OUT o;
    o.pos = mul(pos, WorldViewProj);
    o.uv = uv;
    o.dir = normal;
    return o;
}

// vs_3_0 reads a texture with an explicit level.
V_OUT Displace_VS(float4 pos : POSITION, float4 uv : TEXCOORD0, float3 normal : NORMAL)
{
    V_OUT o = Main_VS(pos, uv, normal);
    o.pos.y += tex2Dlod(Vertex_Sampler, float4(uv.xy, 0, 0)).r;
    return o;
}

float4 Classic_PS(V_OUT i) : COLOR
{
    return tex2D(Plain_Sampler, i.uv.xy) * tex2D(Diffuse_Sampler, i.uv.xy) + texCUBE(Env_Sampler, i.dir);
}

float4 Projected_PS(V_OUT i) : COLOR
{
    return tex2Dproj(Diffuse_Sampler, i.uv) + tex2Dbias(Diffuse_Sampler, float4(i.uv.xy, 0, 1)) +
           tex3D(Volume_Sampler, i.dir);
}

float4 Level_PS(V_OUT i) : COLOR
{
    return tex2Dlod(Diffuse_Sampler, float4(i.uv.xy, 0, 2)) + texCUBElod(Env_Sampler, float4(i.dir, 1));
}

technique Classic
{
    pass P0 { VertexShader = compile vs_1_1 Main_VS(); PixelShader = compile ps_2_0 Classic_PS(); }
}
technique Projected
{
    pass P0 { VertexShader = compile vs_2_0 Main_VS(); PixelShader = compile ps_2_0 Projected_PS(); }
}
technique Levels
{
    pass P0 { VertexShader = compile vs_3_0 Displace_VS(); PixelShader = compile ps_3_0 Level_PS(); }
}
