// Initializers: the defaults every new instance starts with.
float Scalar = 0.5;
float Negative = -1.5f;
int Count = 3;
bool Enabled = false;
float4 Braced = {0.1, 0.2, 0.3, 0.4};
float4 Constructed = float4(0.5, 0.25, float2(0.125, 1));
float3 Splat = 0.75;
float4x4 Identity = {1, 0, 0, 0,
                     0, 1, 0, 0,
                     0, 0, 1, 0,
                     0, 0, 0, 1};
float3x3 Constructed_Matrix = float3x3(1, 2, 3, 4, 5, 6, 7, 8, 9);
float Curve[4] = {0, 0.25, 0.5, 1};
float2 Offsets[2] = {{-1, 0}, {1, 0}};
static const float Half = 0.5;
float Derived = Half * 3;
float Scaled = Scalar * 2 + 0.25;
float3 Normalized = normalize(float3(3, 0, 4));
string Description = "initializers " "joined";

float4 Main_VS(float4 pos : POSITION) : POSITION
{
    return mul(pos, Identity) * Scalar + Negative * Count;
}

float4 Main_PS() : COLOR
{
    float3 c = mul(Splat, Constructed_Matrix) * Curve[Count] + float3(Offsets[1], Derived);
    return Enabled ? Braced : Constructed * float4(c * Normalized, Scaled);
}

technique Main
{
    pass P0
    {
        VertexShader = compile vs_2_0 Main_VS();
        PixelShader = compile ps_2_0 Main_PS();
    }
}
