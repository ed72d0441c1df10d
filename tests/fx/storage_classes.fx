// Storage classes of global variables: parameters and statics.
uniform float4 Uniform_Color = {1, 0, 0, 1};
shared float Shared_Scale = 2.0;
extern float Extern_Bias = 0.25;
const float Const_Gain = 0.5;
volatile float Volatile_Time;
static float Static_Factor = 3.0;
static const float PI = 3.14159265;
float Angle = PI / 4;

float4 Main_VS(float4 pos : POSITION) : POSITION
{
    return pos * Shared_Scale + Extern_Bias + Volatile_Time;
}

float4 Main_PS() : COLOR
{
    return Uniform_Color * Const_Gain * Static_Factor * sin(Angle);
}

technique Main
{
    pass P0
    {
        VertexShader = compile vs_2_0 Main_VS();
        PixelShader = compile ps_2_0 Main_PS();
    }
}
