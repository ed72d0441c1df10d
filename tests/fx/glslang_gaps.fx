// HLSL that glslang cannot take as written and the front end rewrites:
// statics initialized by function calls, and swizzles of several matrix
// elements. Each technique writes the values into the pixel colour.
float4x4 M;
float4 C = {0.5, 0.25, 0.125, 0.125};
float Scale = 0.5;

float3 Make(float x) { return float3(x, Scale, 0.25); }
float Twice(float y) { return y * 2; }

// A function between the called one and the static, as in the crash.
static float3 V = Make(0.75);
static const float W = V.y * Twice(0.5);  // reads V, so runs after it
static const float K = 0.125;             // a constant: stays as it is

float4 Clip_VS(float4 p : POSITION) : POSITION { return p; }

float4 Statics_PS() : COLOR { return float4(V.x, W, V.z + K, 1); }

float4x4 Get() { return M; }

float4 Swizzles_PS() : COLOR
{
    return float4(dot(C, M._11_21_31_41),
                  dot(M._m01_m11, float2(0.5, 0.25)),
                  dot(transpose(M)._11_12, float2(1, 2)),
                  (Get()._44_33).x);
}

technique Statics
{
    pass P { VertexShader = compile vs_2_0 Clip_VS(); PixelShader = compile ps_2_0 Statics_PS(); }
}

technique Swizzles
{
    pass P { VertexShader = compile vs_2_0 Clip_VS(); PixelShader = compile ps_2_0 Swizzles_PS(); }
}
