// Included; its function has a type error.
float3 Broken(float3 v)
{
    float3 r = v;
    r = float2x2(1, 0, 0, 1) * v.xyz.wzyx;
    return r;
}
