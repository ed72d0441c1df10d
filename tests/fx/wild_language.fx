// The effect language as effect files of the Direct3D 9 era write it:
// register bindings with brackets, expressions and targets; pass states
// whose values are bare parameter names, Direct3D enumerator names, matrix
// expressions, 0 for "no object", and expressions evaluated when the pass is
// applied; shared and unsized array parameters; compile with uniform
// arguments and a profile from a macro; unnamed and capitalised techniques
// and passes; pragmas and #line. Each technique draws values it computes.
#pragma once
#pragma warning(disable : 3205 3206)
#pragma message("wild_language")
#pragma optimize(on)
#line 20 "renamed.fx"

#define TINT_REG 4
#define PROFILE ps_2_0
#define VS_PROFILE vs_2_0

// --- the fixed-function pipeline, in the first technique, which has no name:
// transforms from parameters and expressions, a texture named without
// brackets, 0 and null for no shader, and states this device has no use for.
texture Fixed_Tex;
static const float4x4 Ident = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
float4x4 Shrink = {0.5, 0, 0, 0, 0, 0.5, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

technique
{
    pass
    {
        VertexShader = 0;
        PixelShader = null;
        WorldTransform[0] = Shrink;
        ViewTransform = <Ident>;
        ProjectionTransform = float4x4(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
        Lighting = FALSE;
        CullMode = D3DCULL_NONE;
        Texture[0] = Fixed_Tex;
        Texture[1] = 0;
        ColorOp[0] = D3DTOP_SELECTARG1;
        ColorArg1[0] = D3DTA_TEXTURE;
        AlphaOp[0] = SelectArg1;
        AlphaArg1[0] = D3DTA_TEXTURE;
        ColorOp[1] = D3DTOP_DISABLE;
        MinFilter[0] = D3DTEXF_POINT;
        MagFilter[0] = D3DTEXF_POINT;
        TexCoordIndex[0] = D3DTSS_TCI_PASSTHRU;
        TextureTransformFlags[0] = D3DTTFF_DISABLE;
        PatchEdgeStyle = D3DPATCHEDGE_CONTINUOUS;
        PositionDegree = Cubic;
        EnableAdaptiveTessellation = false;
        NPatchMode = 0;
        ElementIndex[0] = 0;
        DMapOffset[0] = 0;
        Constant[0] = 0xffffffff;
        FVF = 0;
    }
}

// --- registers ----------------------------------------------------------------
float4 Tint : register(c[TINT_REG + 4]) = {0.25, 0.5, 0.75, 1};
float4 Bias : register(vs, c12) = {0.125, 0, 0, 0};
float4 Scale : register(ps_2_0, c[2]) = {1, 1, 1, 1};
texture Reg_Tex;
sampler Reg_Sampler : register(s[1]) = sampler_state {
    Texture = (Reg_Tex);
    MinFilter = D3DTEXF_POINT;
    MagFilter = POINT;
    ElementIndex = 0;
    DMapOffset = 0;
};

float4 Clip_VS(float4 p : POSITION) : POSITION { return p; }

float4 Register_PS(uniform float4 k : register(c0), uniform float level) : COLOR
{
    return Tint * Scale * k + Bias * level;
}

float4 Sample_PS(float2 uv : TEXCOORD0) : COLOR { return tex2D(Reg_Sampler, uv); }

technique Registers
{
    pass
    {
        VertexShader = compile VS_PROFILE Clip_VS();
        PixelShader = compile PROFILE Register_PS(float4(1, 1, 0.5, 1), 2);
    }
}

technique Sampler_Register
{
    pass { VertexShader = compile vs_2_0 Clip_VS(); PixelShader = compile ps_2_0 Sample_PS(); }
}

// --- shared and unsized parameters, uniform arguments -------------------------
shared float4 Shared_Color = {0.5, 0.25, 0.125, 1};
float4 Table[] = {
    {0.0, 0.0, 0.0, 1},
    {0.75, 0.5, 0.25, 1},
};
float Flat[] = {0.125, 0.375, 0.625};
const static int Rows = 2;  // "const static" sizes an array as "static const" does
static const float Steps[Rows + 1] = {0.25, 0.5, 0.25};
float4 Choose_PS(uniform bool use_table, uniform int row) : COLOR
{
    return use_table ? Table[row] * Steps[1] * 2
                     : float4(Flat[0], Flat[1], Flat[2], 1) * Shared_Color * 2;
}

Technique Shared_And_Unsized
{
    Pass { PixelShader = compile PROFILE Choose_PS(true, 1); VertexShader = compile vs_2_0 Clip_VS(); }
}
technique9 Unsized_Flat
{
    pass one { VertexShader = compile vs_2_0 Clip_VS(); PixelShader = compile ps_2_0 Choose_PS(false, 0); }
}

// --- pass states ---------------------------------------------------------------
bool Cull_All = false;
int Threshold = 100;
float Ref_Level = 0.75;
float4 Half_Alpha_PS() : COLOR { return float4(1, 0.5, 0.25, 0.5); }

technique Culled
{
    pass
    {
        VertexShader = compile vs_2_0 Clip_VS();
        PixelShader = compile ps_2_0 Half_Alpha_PS();
        // Evaluated when the pass is applied, from the parameter's value.
        CullMode = Cull_All ? D3DCULL_CW : 1;
        ZEnable = D3DZB_FALSE;
    }
}

// The alpha test runs in the fixed-function pixel stage: (1, 0.5, 0.25, 0.5)
// from the texture factor.
// A function of the effect as a state value, evaluated when the pass is
// applied: its ifs and returns over parameters and its arguments.
float4x4 Placement = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 5, 1};
int Cull_For(bool all)
{
    if (all) {
        return 2;
    } else if (length(Placement[3].xyz) > 10) {
        return 3;
    }
    if (Ref_Level > 2) return 2;
    return 1;
}

technique Function_State
{
    pass
    {
        VertexShader = compile vs_2_0 Clip_VS();
        PixelShader = compile ps_2_0 Half_Alpha_PS();
        CullMode = Cull_For(Cull_All);
    }
}

technique Alpha_Tested
{
    pass
    {
        VertexShader = compile vs_2_0 Clip_VS();
        PixelShader = NULL;
        TextureFactor = 0x80FF8040;
        ColorOp[0] = SelectArg1;
        ColorArg1[0] = D3DTA_TFACTOR;
        AlphaOp[0] = D3DTOP_SELECTARG1;
        AlphaArg1[0] = TFactor;
        CullMode = None;
        AlphaTestEnable = true;
        AlphaFunc = D3DCMP_GREATEREQUAL;
        AlphaRef = Threshold;  // a parameter named without brackets
    }
}

technique Alpha_Ref_Expression
{
    pass
    {
        VertexShader = compile vs_2_0 Clip_VS();
        PixelShader = 0;
        TextureFactor = 0x80FF8040;
        ColorOp[0] = SelectArg1;
        ColorArg1[0] = TFactor;
        AlphaOp[0] = SelectArg1;
        AlphaArg1[0] = TFactor;
        CullMode = D3DCULL_NONE;
        AlphaTestEnable = Ref_Level > 0 && !Cull_All;
        AlphaFunc = GreaterEqual;
        AlphaRef = (int)clamp(lerp(0, 255, Ref_Level), 0, 255);
    }
}

technique Blended
{
    pass
    {
        VertexShader = compile vs_2_0 Clip_VS();
        PixelShader = compile ps_2_0 Half_Alpha_PS();
        CullMode = D3DCULL_NONE;
        AlphaBlendEnable = TRUE;
        SrcBlend = D3DBLEND_SRCALPHA;
        DestBlend = D3DBLEND_INVSRCALPHA;
        BlendOp = D3DBLENDOP_ADD;
    }
}
