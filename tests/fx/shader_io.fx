// Shader signatures: out and inout parameters, nested structs, arrays of
// texture coordinates, VPOS and VFACE, DEPTH, fog and point size.
float4x4 WorldViewProj;

struct Inner {
    float3 normal : NORMAL;
    float3 tangent : TANGENT;
};

struct V_IN {
    float4 pos : POSITION;
    Inner frame;
    float4 color : COLOR0;
    float4 specular : COLOR1;
    float2 uv[2] : TEXCOORD0;
};

void Out_VS(V_IN i, out float4 pos : POSITION, out float4 diffuse : COLOR0,
            out float2 uv[2] : TEXCOORD0, out float3 normal : TEXCOORD4,
            inout float3 binormal : BINORMAL, out float fog : FOG, out float size : PSIZE)
{
    pos = mul(i.pos, WorldViewProj);
    diffuse = i.color + i.specular;
    uv = i.uv;
    normal = i.frame.normal + i.frame.tangent;
    binormal = normalize(binormal);
    fog = pos.z;
    size = 1;
}

float4 Screen_PS(float2 uv[2] : TEXCOORD0, float3 normal : TEXCOORD4, float2 vpos : VPOS,
                 float face : VFACE, out float depth : DEPTH) : COLOR
{
    depth = 0.5;
    return float4(uv[0] + uv[1] + vpos / 256, face, 1) + float4(normal, 0);
}

float4 Binormal_PS(float3 binormal : BINORMAL, float4 diffuse : COLOR0) : COLOR
{
    return diffuse * float4(binormal, 1);
}

technique Shader_3
{
    pass P0 { VertexShader = compile vs_3_0 Out_VS(); PixelShader = compile ps_3_0 Screen_PS(); }
}
technique Shader_2
{
    pass P0 { VertexShader = compile vs_2_0 Out_VS(); PixelShader = compile ps_2_0 Binormal_PS(); }
}
