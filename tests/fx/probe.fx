// Writes parameters into the pixel colour so tests can read them back.
float4x4 M;
row_major float4x4 MR;
float4x3 M43;
float3x3 M33;
float4 V = {0.25, 0.5, 0.75, 1.0};
float3 V3;
float S = 0.5;
int I = 2;
bool B = true;
float4 Sel = {1, 0, 0, 0};   // which probe the pixel shows

struct Light_Record {
    int Type;
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
Light_Record LIGHT;
float DirectionalLight[26];
float4 In_Vec = {0.1, 0.2, 0.3, 1.0};

struct VS_OUT {
    float4 pos : POSITION;
    float4 color : COLOR0;
};

VS_OUT Probe_VS(float3 pos : POSITION, uniform int mode)
{
    VS_OUT o;
    o.pos = float4(pos, 1);
    if (mode == 0)
        o.color = mul(In_Vec, M);
    else if (mode == 1)
        o.color = float4(mul(In_Vec, M43), 1);
    else if (mode == 2)
        o.color = float4(mul(In_Vec.xyz, M33), 1);
    else if (mode == 3)
        o.color = V;
    else if (mode == 4)
        o.color = float4(V3, S);
    else if (mode == 5)
        o.color = float4(LIGHT.Position / 100.0, LIGHT.Type / 4.0);
    else if (mode == 6)
        o.color = float4(LIGHT.Diffuse.rgb, LIGHT.Phi);
    else if (mode == 7)
        o.color = float4(DirectionalLight[13] / 100.0, DirectionalLight[14] / 100.0, DirectionalLight[15] / 100.0, DirectionalLight[19] / 100.0);
    else if (mode == 9)
        o.color = mul(In_Vec, MR);
    else
        o.color = float4(I / 4.0, B ? 1 : 0, 0, 1);
    return o;
}

float4 Color_PS(VS_OUT i) : COLOR
{
    return i.color;
}

technique Matrix4 { pass P0 { VertexShader = compile vs_2_0 Probe_VS(0); PixelShader = compile ps_2_0 Color_PS(); } }
technique Matrix43 { pass P0 { VertexShader = compile vs_2_0 Probe_VS(1); PixelShader = compile ps_2_0 Color_PS(); } }
technique Matrix33 { pass P0 { VertexShader = compile vs_2_0 Probe_VS(2); PixelShader = compile ps_2_0 Color_PS(); } }
technique Vector { pass P0 { VertexShader = compile vs_2_0 Probe_VS(3); PixelShader = compile ps_2_0 Color_PS(); } }
technique Vector3 { pass P0 { VertexShader = compile vs_2_0 Probe_VS(4); PixelShader = compile ps_2_0 Color_PS(); } }
technique Light_Struct { pass P0 { VertexShader = compile vs_2_0 Probe_VS(5); PixelShader = compile ps_2_0 Color_PS(); } }
technique Light_Struct_Colour { pass P0 { VertexShader = compile vs_2_0 Probe_VS(6); PixelShader = compile ps_2_0 Color_PS(); } }
technique Light_Array { pass P0 { VertexShader = compile vs_2_0 Probe_VS(7); PixelShader = compile ps_2_0 Color_PS(); } }
technique Matrix4_Row { pass P0 { VertexShader = compile vs_2_0 Probe_VS(9); PixelShader = compile ps_2_0 Color_PS(); } }
technique Scalars { pass P0 { VertexShader = compile vs_3_0 Probe_VS(8); PixelShader = compile ps_3_0 Color_PS(); } }
