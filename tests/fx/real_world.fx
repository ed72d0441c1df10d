// Constructs that Direct3D 9 effect files in the wild use and that the front
// end must take: type keywords in other cases, flat scalar lists for arrays
// of vectors, statics initialized by brace lists with calls, centroid
// semantics, matrices between the shaders, "line" as an ordinary name, any()
// and all() of scalars, and state values that name a parameter. Each
// technique writes its values into the pixel colour.
Matrix Tint = {1, 0, 0, 0,  0, 1, 0, 0,  0, 0, 1, 0,  0, 0, 0, 1};
float4 Rows[3] = {0.25, 0.5, 0.75, 1,  0.5, 0.25, 0, 1,  0, 0, 0.5, 1};
float Scale = 0.5;
static float4 Pair[2] = { float4(Scale, 0, 0, 1), float4(0.25, sin(0.0) + Scale, 0.125, 1) };

float4 Clip_VS(float4 p : POSITION) : POSITION { return p; }

// States that name a parameter, and a Direct3D 10 style Filter (ignored).
int Min_Filter = 1;  // D3DTEXF_POINT
int Cull = 1;        // D3DCULL_NONE
texture Tex;
sampler Tex_Sampler = sampler_state {
    Texture = <Tex>;
    Filter = MIN_MAG_MIP_LINEAR;
    MinFilter = <Min_Filter>;
};
float4 Sample_PS(float2 uv : TEXCOORD0) : COLOR { return tex2D(Tex_Sampler, uv); }

struct Centroid_Out {
    float4 p : POSITION;
    float4 c : TEXCOORD3_centroid;
};
Centroid_Out Centroid_VS(float4 p : POSITION)
{
    Centroid_Out o;
    o.p = p;
    o.c = float4(0.125, 0.375, 0.625, 1);
    return o;
}
float4 Centroid_PS(float4 c : TEXCOORD3_centroid) : COLOR { return c; }

// A matrix member of the vertex output: one TEXCOORD register per row.
struct Matrix_Out {
    float4 p : POSITION;
    float3x3 m : TEXCOORD1;
};
Matrix_Out Matrix_Out_VS(float4 p : POSITION)
{
    Matrix_Out o;
    o.p = p;
    o.m = float3x3(0.125, 0, 0,  0, 0.5, 0,  0, 0, 0.875);
    return o;
}
float4 Matrix_Out_PS(float3x3 m : TEXCOORD1) : COLOR { return float4(m[0].x, m[1].y, m[2].z, 1); }

float4 Flat_PS() : COLOR { return Rows[1]; }
float4 Statics_PS() : COLOR { return Pair[1] + Pair[0] * 0.5; }
float4 Matrix_PS() : COLOR { return mul(Float4(0.25, 0.5, 0.75, 1), Tint); }

float Zero = 0;
float Half = 0.5;
float4 Any_All_PS() : COLOR
{
    float a = Half;
    return float4(any(a) ? 1 : 0, all(Zero) ? 1 : 0.25, any(float2(Zero, a)) ? 0.5 : 0, 1);
}

float Half_Of(float line) { return line * 0.5; }
float4 Line_PS() : COLOR
{
    float line = 0.75;
    return float4(Half_Of(line), line, 0, 1);
}

technique Centroid { pass P { VertexShader = compile vs_3_0 Centroid_VS(); PixelShader = compile ps_3_0 Centroid_PS(); } }
technique Flat { pass P { VertexShader = compile vs_2_0 Clip_VS(); PixelShader = compile ps_2_0 Flat_PS(); } }
technique Statics { pass P { VertexShader = compile vs_2_0 Clip_VS(); PixelShader = compile ps_2_0 Statics_PS(); } }
technique Keywords { pass P { VertexShader = compile vs_2_0 Clip_VS(); PixelShader = compile ps_2_0 Matrix_PS(); } }
technique Referenced_States { pass P { CullMode = <Cull>; VertexShader = compile vs_2_0 Clip_VS(); PixelShader = compile ps_2_0 Sample_PS(); } }
technique Any_All { pass P { VertexShader = compile vs_2_0 Clip_VS(); PixelShader = compile ps_2_0 Any_All_PS(); } }
technique Matrix_Varying { pass P { VertexShader = compile vs_3_0 Matrix_Out_VS(); PixelShader = compile ps_3_0 Matrix_Out_PS(); } }
technique Line { pass P { VertexShader = compile vs_2_0 Clip_VS(); PixelShader = compile ps_2_0 Line_PS(); } }
