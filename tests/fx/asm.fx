// Assembly shaders of each profile family, fed by the constant registers the
// passes set (VertexShaderConstant*, PixelShaderConstant*), by def constants,
// vertex colours, texture coordinates and textures.
#define STEP c10

float4x4 Wvp = {1, 0, 0, 0,  0, 1, 0, 0,  0, 0, 1, 0,  0, 0, 0, 1};
float4 Tint = {0.25, 0.5, 0.75, 1};
bool Flag = true;
int4 Loops = {2, 0, 1, 0};
texture Tex;
sampler Samp = sampler_state {
    Texture = <Tex>;
    MinFilter = Point;
    MagFilter = Point;
};

// vs_1_1 + ps_1_1: the matrix in c0-c3 (one register per column), Tint in c4
// through the specular colour, the vertex colour times a def constant.
technique Asm_11
{
    pass P0
    {
        VertexShaderConstant[0] = <Wvp>;
        VertexShaderConstant1[4] = <Tint>;
        vertexshader = asm
        {
            vs_1_1
            dcl_position v0
            dcl_color v1
            m4x4 oPos, v0, c0
            mov oD0, v1
            mov oD1, c4
        };
        PixelShader = ASM
        {
            ps.1.1
            def c0, 0.5, 0.5, 0.5, 1   ; halves the vertex colour
            mul r0.rgb, v0, c0
            +mov r0.a, c0
            add r0.rgb, r0, v1
        };
    }
}

// vs_1_0 (taken as 1_1) + ps_1_3: tex, a constant written out, _bx2 and cnd.
technique Asm_13
{
    pass P0
    {
        Sampler[0] = <Samp>;
        PixelShaderConstantF[1] = {0.5, 1.0, 0.25, 1.0};
        PixelShaderConstant[2] = {0.75, 0.75, 0.75, 0.75};
        VertexShader = asm
        {
            vs_1_0
            dcl_position v0
            dcl_texcoord v1
            mov oPos, v0
            mov oT0, v1
        };
        PixelShader = asm
        {
            ps_1_3
            def c0, 0, 0.25, 0, 1
            tex t0
            mul r0, t0, c1
            cnd r1, r0.a, c0, t0
            add r0.rgb, r0, r1
            mad r0.rgb, t0_bx2, c2, r0
        };
    }
}

// ps_1_4: texld, texcrd, a dependent read after the phase marker.
technique Asm_14
{
    pass P0
    {
        Sampler[0] = <Samp>;
        Sampler[1] = <Samp>;
        VertexShader = asm
        {
            vs_1_1
            dcl_position v0
            dcl_texcoord v1
            mov oPos, v0
            mov oT0, v1
        };
        PixelShader = asm
        {
            ps_1_4
            def c0, 0.5, 0.5, 0.5, 1
            texld r0, t0
            texcrd r1.rgb, t0
            texcrd r2.rgb, t0
            mul r0.rgb, r0, c0
            phase
            texld r1, r1
            mov r0.g, r2.r
            mov r0.b, r1
        };
    }
}

// vs_2_0 + ps_2_0: a register the application sets (c9), Tint in c2 of the
// pixel shader.
technique Asm_20
{
    pass P0
    {
        Sampler[0] = <Samp>;
        PixelShaderConstantF[2] = <Tint>;
        VertexShader = asm
        {
            vs_2_0
            dcl_position v0
            dcl_texcoord v1
            mov oPos, v0
            mul oT0, v1, c9
        };
        PixelShader = asm
        {
            ps_2_0
            dcl t0.xy
            dcl_2d s0
            texld r0, t0, s0
            mul r0, r0, c2
            mov oC0, r0
        };
    }
}

// vs_3_0 + ps_3_0: a loop counted by an integer register, a branch on a
// bool register, output and input semantics.
technique Asm_30
{
    pass P0
    {
        VertexShaderConstantI[0] = <Loops>;
        VertexShaderConstant[11] = {0, 0, 0.5, 1};
        PixelShaderConstantB[0] = <Flag>;
        PixelShaderConstant[1] = {0.5, 0.5, 1, 1};
        VertexShader = asm
        {
            vs_3_0
            dcl_position v0
            dcl_position o0
            dcl_color o1
            def c10, 0.125, 0.25, 0, 0
            mov o0, v0
            mov r0, c11
            loop aL, i0
#include "asm_loop_body.fxh"
            endloop
            mov o1, r0
        };
        PixelShader = asm
        {
            ps_3_0
            dcl_color v0
            mov r0, v0
            if b0
                mul r0.rg, r0, c1
            endif
            mov oC0, r0
        };
    }
}
