// Preprocessor: macros with and without arguments, #undef, conditionals with
// expressions and defined(), pragmas.
#pragma warning(disable : 3571)
#define LIGHTS 2
#define SCALE(v, s) ((v) * (s))
#define TINT float3(1.0, 0.5, 0.25)
#define BLEND_MODE One
#define UNUSED_MACRO
#undef UNUSED_MACRO

#if defined(UNUSED_MACRO)
#error UNUSED_MACRO was undefined
#elif LIGHTS > 1 && !defined NO_SPECULAR
#define SPECULAR 1
#else
#define SPECULAR 0
#endif

#ifdef FORCE_ERROR
#error forced by a macro definition
#endif

#ifndef SPECULAR
this line is never seen
#endif

float4x4 WorldViewProj : WORLDVIEWPROJECTION;

float4 Main_VS(float4 pos : POSITION) : POSITION
{
    return mul(pos, WorldViewProj);
}

float4 Main_PS() : COLOR
{
#if SPECULAR
    return float4(SCALE(TINT, 0.5), 1);
#else
    return float4(TINT, 1);
#endif
}

technique Main
{
    pass P0
    {
        SrcBlend = BLEND_MODE;
        VertexShader = compile vs_2_0 Main_VS();
        PixelShader = compile ps_2_0 Main_PS();
    }
}
