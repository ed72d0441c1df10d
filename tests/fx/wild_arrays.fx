// More constructs of Direct3D 9 effect files in the wild: arrays of compiled
// shaders picked by a parameter, casts of vectors to arrays, arrays of
// arrays, flat scalar lists for statics, vertex inputs of usage index above
// 0, constructors as assignment targets, any()/all() of matrices, and a
// sampler's state block written without "= sampler_state". Each technique
// writes its values into the pixel colour.
struct Tinted {
    float4 p : POSITION;
    float4 c : TEXCOORD0;
};
Tinted Tint_VS(float4 p : POSITION, uniform float level)
{
    Tinted o;
    o.p = p;
    o.c = float4(level, 1 - level, 0.5, 1);
    return o;
}
float4 Tinted_PS(float4 c : TEXCOORD0) : COLOR { return c; }

int Pick = 1;
VertexShader Tints[3] = { compile vs_2_0 Tint_VS(0.25),
                          compile vs_2_0 Tint_VS(0.5),
                          compile vs_2_0 Tint_VS(0.75) };

float4 Clip_VS(float4 p : POSITION) : POSITION { return p; }

// (float[4]) of a vector: its components.
float4 Packed = float4(0.125, 0.25, 0.5, 0.75);
float4 Cast_PS() : COLOR
{
    float parts[4] = (float[4])Packed;
    int lanes[4] = (int[4])D3DCOLORtoUBYTE4(float4(0, 1.0 / 255, 2.0 / 255, 3.0 / 255));
    return float4(parts[3], parts[1] + parts[0], lanes[0] * 0.25, 1);
}

// Arrays of arrays: a parameter, a static from a flat list, a local.
float Grid[2][3] = {0.0, 0.1, 0.2,  0.3, 0.4, 0.5};
static const float Square[2][2] = {0.125, 0.25, 0.375, 0.5};
static const float4 Pair[2] = {0.25, 0, 0, 1,  0, 0.75, 0, 1};
float4 Grid_PS() : COLOR
{
    float local[2][2];
    local[1][0] = Square[1][0];
    local[0][1] = Grid[1][2];
    return float4(local[0][1], local[1][0], Pair[1].y, 1);
}

// BLENDWEIGHT1, TEXCOORD7 and NORMAL1 have no location of their own.
struct Wide_Out {
    float4 p : POSITION;
    float4 c : COLOR0;
};
Wide_Out Wide_VS(float4 p : POSITION, float4 w1 : BLENDWEIGHT1, float2 t7 : TEXCOORD7,
                 float3 n1 : NORMAL1)
{
    Wide_Out o;
    o.p = p;
    o.c = float4(w1.x, t7.y, n1.z, 1);
    return o;
}
float4 Wide_PS(float4 c : COLOR0) : COLOR { return c; }

// A constructor as the target of an assignment takes the value apart.
float4 Split_Source = float4(0.125, 0.25, 0.5, 0.875);
float4 Split_PS() : COLOR
{
    float2 low, high;
    float4(low, high) = Split_Source;
    float a, b;
    float3 rest;
    float4(a, rest) = Split_Source.wzyx;
    // As the statement of an if and of its else: b = 0.25.
    if (Split_Source.x > 0) float2(a, b) = Split_Source.zy; else float2(b, a) = Split_Source.zy;
    return float4(high.y, b - low.x, rest.x, 1) + float4(0, 0, a * 0, 0);
}

// any() and all() of matrices.
float4x4 Matrix_In = {0, 0, 0, 0,  0, 0, 0, 0,  0, 0, 0, 0,  0, 0, 0.5, 0};
float4 Matrix_Any_PS() : COLOR
{
    float3x3 ones = float3x3(1, 1, 1, 1, 1, 1, 1, 1, 1);
    return float4(any(Matrix_In) ? 1 : 0, all(Matrix_In) ? 1 : 0.25, all(ones) ? 0.5 : 0, 1);
}

// The comma operator in a default: the last value, for both components.
float2 Comma_Default = (0.25, 0.75);

// The state block straight after the declaration, as XNA effects write it.
texture Block_Tex;
sampler Block_Sampler : register(s1) { Texture = <Block_Tex>; MinFilter = Point; AddressU = Clamp; };
float4 Block_PS() : COLOR { return tex2D(Block_Sampler, float2(0.5, 0.5)); }

technique Picked { pass P { VertexShader = (Tints[Pick]); PixelShader = compile ps_2_0 Tinted_PS(); } }
technique Constant_Pick { pass P { VertexShader = (Tints[0]); PixelShader = compile ps_2_0 Tinted_PS(); } }
technique Cast { pass P { VertexShader = compile vs_2_0 Clip_VS(); PixelShader = compile ps_2_0 Cast_PS(); } }
technique Arrays_Of_Arrays { pass P { VertexShader = compile vs_3_0 Clip_VS(); PixelShader = compile ps_3_0 Grid_PS(); } }
technique Wide_Inputs { pass P { VertexShader = compile vs_2_0 Wide_VS(); PixelShader = compile ps_2_0 Wide_PS(); } }
technique Split { pass P { VertexShader = compile vs_2_0 Clip_VS(); PixelShader = compile ps_2_0 Split_PS(); } }
technique Sampler_Block { pass P { VertexShader = compile vs_2_0 Clip_VS(); PixelShader = compile ps_2_0 Block_PS(); } }
technique Matrix_Any_All { pass P { VertexShader = compile vs_2_0 Clip_VS(); PixelShader = compile ps_2_0 Matrix_Any_PS(); } }
