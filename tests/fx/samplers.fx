// One texture read through samplers with different filters and address modes.
texture Tex;
texture Other_Tex;

sampler2D Point_Wrap = sampler_state {
    Texture = <Tex>;
    MinFilter = Point;
    MagFilter = Point;
    MipFilter = None;
    AddressU = Wrap;
    AddressV = Wrap;
};

sampler2D Point_Clamp = sampler_state
{
    Texture = (Tex);
    MINFILTER = POINT; MAGFILTER = POINT;
    ADDRESSU = CLAMP; ADDRESSV = CLAMP;
};

sampler Linear_Clamp = sampler_state
{
    texture = <Tex>;
    minfilter = linear; magfilter = linear; mipfilter = none;
    addressu = clamp; addressv = clamp;
};

// No Texture assignment: the sampler reads whatever stage it is bound to holds.
sampler2D Bare = sampler_state { MinFilter = Point; MagFilter = Point; };

sampler2D Second = sampler_state { Texture = <Other_Tex>; MinFilter = Point; MagFilter = Point; };

float UV_Scale = 1.0;

struct V_OUT {
    float4 pos : POSITION;
    float2 uv : TEXCOORD0;
};

V_OUT Pass_VS(float4 pos : POSITION, float2 uv : TEXCOORD0)
{
    V_OUT o;
    o.pos = pos;
    o.uv = uv * UV_Scale;
    return o;
}

float4 Sample_PS(float2 uv : TEXCOORD0, uniform sampler2D s) : COLOR
{
    return tex2D(s, uv);
}

// Two samplers: the left half shows the first, the right half the second.
float4 Two_PS(float2 uv : TEXCOORD0) : COLOR
{
    return uv.x < 0.5 ? tex2D(Bare, uv) : tex2D(Second, uv);
}

technique Point_Wrap_T {
    pass P0 { VertexShader = compile vs_2_0 Pass_VS(); PixelShader = compile ps_2_0 Sample_PS(Point_Wrap); }
}
technique Point_Clamp_T {
    pass P0 { VertexShader = compile vs_2_0 Pass_VS(); PixelShader = compile ps_2_0 Sample_PS(Point_Clamp); }
}
technique Linear_Clamp_T {
    pass P0 { VertexShader = compile vs_2_0 Pass_VS(); PixelShader = compile ps_2_0 Sample_PS(Linear_Clamp); }
}
technique Two_Samplers {
    pass P0 { VertexShader = compile vs_2_0 Pass_VS(); PixelShader = compile ps_2_0 Two_PS(); }
}
