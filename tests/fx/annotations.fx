// Annotations on parameters, techniques and passes, in the style of FX Composer.
float Script : STANDARDSGLOBAL <
    string UIWidget = "none";
    string ScriptClass = "object";
    string ScriptOrder = "standard";
    string ScriptOutput = "color";
    string Script = "Technique=Main;";
> = 0.8;

#define LIGHT_COORDS "World"

float4x4 WvpXf : WorldViewProjection < string UIWidget = "None"; >;

float4 Lamp_Pos : POSITION <
    string Object = "PointLight0";
    string UIName = "Lamp 0 Position";
    string Space = (LIGHT_COORDS);
> = {-0.5f, 2.0f, 1.25f, 1.0f};

float3 Lamp_Color : SPECULAR <
    string UIName = "Lamp Color";
    string UIWidget = "Color";
> = {1.0f, 1.0f, 1.0f};

float Spec_Power <
    string UIWidget = "slider";
    float UIMin = 1.0;
    float UIMax = 128.0;
    float UIStep = 1.0;
    string UIName = "Specular Power";
> = 55.0;

texture Color_Texture : DIFFUSE <
    string ResourceName = "default_color.dds";
    string UIName = "Diffuse Texture";
    string ResourceType = "2D";
>;

sampler2D Color_Sampler = sampler_state {
    Texture = <Color_Texture>;
#if DIRECT3D_VERSION >= 0xa00
    Filter = MIN_MAG_MIP_LINEAR;
#else
    MinFilter = Linear;
    MipFilter = Linear;
    MagFilter = Linear;
#endif
    AddressU = Wrap;
    AddressV = Wrap;
};

struct App_Data {
    float3 Position : POSITION;
    float4 UV : TEXCOORD0;
};

struct Vertex_Output {
    float4 HPosition : POSITION;
    float2 UV : TEXCOORD0;
};

Vertex_Output std_VS(App_Data IN)
{
    Vertex_Output OUT = (Vertex_Output)0;
    OUT.HPosition = mul(float4(IN.Position.xyz, 1.0), WvpXf);
    OUT.UV = IN.UV.xy;
    return OUT;
}

float4 std_PS(Vertex_Output IN) : COLOR
{
    return float4(Lamp_Color * pow(tex2D(Color_Sampler, IN.UV).rgb, Spec_Power / 55.0), 1) + Lamp_Pos * 0.001;
}

technique Main <
    string Script = "Pass=p0;";
> {
    Pass p0 <
        string Script = "Draw=geometry;";
    > {
        VertexShader = compile vs_2_0 std_VS();
        ZEnable = true;
        ZWriteEnable = true;
        ZFunc = LessEqual;
        AlphaBlendEnable = false;
        CullMode = None;
        PixelShader = compile ps_2_a std_PS();
    }
}
