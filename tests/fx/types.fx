// Parameter types as the shaders read them.
float F = 1;
float2 F2 = {1, 2};
float3 F3 = float3(1, 2, 3);
float4 F4 = float4(1, 2, 3, 4);
half4 H4 = 0.5;
int I = 3;
int2 I2 = {1, 2};
bool B = true;
float4x4 M44;
float4x3 M43;
float3x4 M34;
float3x3 M33;
row_major float4x4 Row_M;
matrix<float, 2, 2> M22 = {1, 0, 0, 1};
vector<float, 3> V3 = {0, 1, 0};
float Weights[4] = {0.1, 0.2, 0.3, 0.4};
float4 Palette[3];
float4x4 Bones[2];

struct Material_Record {
    float4 Diffuse;
    float4 Specular;
    float Power;
};
Material_Record Material = {{1, 1, 1, 1}, {0, 0, 0, 0}, 8};

struct V_IN {
    float4 pos : POSITION;
    float3 normal : NORMAL;
    half2 uv : TEXCOORD0;
    float4 blend : BLENDWEIGHT;
    float4 indices : BLENDINDICES;
};

struct V_OUT {
    float4 pos : POSITION;
    float4 color : COLOR0;
    float2 uv : TEXCOORD0;
};

V_OUT Main_VS(V_IN i)
{
    V_OUT o;
    float4 p = mul(i.pos, Bones[(int)i.indices.x]) * i.blend.x + mul(i.pos, Bones[1]) * i.blend.y;
    o.pos = mul(p, M44);
    float3 n = mul(i.normal, (float3x3)M43) + mul(float4(i.normal, 1), M43) + mul(M34, float4(i.normal, 1));
    n += mul(i.normal, M33) + mul(i.pos, Row_M).xyz;
    o.color = float4(n * V3, 1) * Material.Diffuse * F + F4 * H4 + Palette[I] + float4(F2, F3.x, 0);
    o.uv = i.uv + mul(float2(Weights[0], Weights[3]), M22) + I2 + (B ? 1 : 0);
    return o;
}

float4 Main_PS(V_OUT i) : COLOR
{
    return i.color * pow(i.uv.x, Material.Power) + Material.Specular;
}

technique Main
{
    pass P0
    {
        VertexShader = compile vs_2_0 Main_VS();
        PixelShader = compile ps_2_0 Main_PS();
    }
}
