// Shader code as Direct3D 9 compilers took it: the SPECULAR, PSIZE, VPOS and
// VFACE semantics, parameters written by a shader (each invocation writes its
// own copy), loop variables used after their loop, matrix swizzles as
// assignment targets, an array of matrices as an argument, tex1D and its
// variants on 1D and untyped samplers, texCUBEproj, noise(), lit(), dst(),
// and the profile spellings vs_1_0, ps_1_0 and upper case. Each technique
// writes what it computes into the pixel colour.
float4 Clip_VS(float4 p : POSITION) : POSITION { return p; }

// SPECULAR is the second colour register: the pixel shader reads it as COLOR1.
struct Lit_Out {
    float4 p : POSITION;
    float4 diffuse : COLOR0;
    float4 specular : SPECULAR;
};
Lit_Out Lit_VS(float4 p : POSITION)
{
    Lit_Out o;
    o.p = p;
    o.diffuse = float4(1, 0, 0, 1);
    o.specular = float4(0.25, 0.5, 0.75, 1);
    return o;
}
float4 Specular_PS(float4 specular : COLOR1) : COLOR { return specular; }

// A vertex output struct with a point size, taken as the pixel input: the
// size does not reach the pixel shader, which reads 0.
struct Sprite {
    float4 p : POSITION;
    float4 t : TEXCOORD0;
    float size : PSIZE;
};
Sprite Sprite_VS(float4 p : POSITION)
{
    Sprite o;
    o.p = p;
    o.t = float4(0.5, 0.25, 0.125, 1);
    o.size = 4;
    return o;
}
float4 Sprite_PS(Sprite s) : COLOR { return float4(s.t.xyz + s.size, 1); }

// VPOS: the pixel's whole coordinates from the top left.
float4 Position_PS(float2 at : VPOS) : COLOR
{
    return float4(at.x / 16, at.y / 16, frac(at.x) + frac(at.y), 1);
}

// VFACE: positive on front (clockwise) faces, negative on back faces.
float4 Face_PS(float face : VFACE) : COLOR
{
    return float4(face > 0 ? 0 : 1, face > 0 ? 1 : 0, 0.5, 1);
}

// Parameters written by the shader: the writes go to a copy that starts
// from the parameter's value in each invocation.
float4 Tint = float4(0.25, 0.5, 0.125, 1);
float Steps[2] = {0.125, 0.25};
void Twice(inout float4 v) { v *= 2; }
float4 Write_PS() : COLOR
{
    Tint.x += 0.25;
    Twice(Tint);
    Steps[1] = Steps[1] * 3;
    return float4(Tint.x * 0.5, Steps[1], Tint.z, 1);
}
// A static initialised from a written parameter sees the parameter's value.
static float4 Half_Tint = Tint * 0.5;
float4 Read_PS() : COLOR { return Half_Tint * 2; }

// A ramp of four texels sampled as 1D, through a sampler1D and an untyped
// sampler.
texture Ramp;
sampler1D Ramp_1D = sampler_state {
    Texture = <Ramp>;
    MinFilter = Point;
    MagFilter = Point;
    MipFilter = None;
};
sampler Ramp_Any = sampler_state {
    Texture = <Ramp>;
    MinFilter = Point;
    MagFilter = Point;
    MipFilter = None;
};
float4 Ramp_Texel(sampler1D s, float u) { return tex1D(s, u); }
float4 Tex1D_PS() : COLOR
{
    return float4(Ramp_Texel(Ramp_1D, 0.625).b * tex1Dlod(Ramp_1D, float4(0.375, 0, 0, 0)).g,
                  tex1Dproj(Ramp_1D, float4(0.25, 0, 0, 2)).r * tex1Dgrad(Ramp_1D, 0.125, 0, 0).r,
                  tex1Dbias(Ramp_1D, float4(0.875, 0, 0, 0)).r * tex1D(Ramp_Any, 0.375).g, 1);
}

textureCUBE Faces;
samplerCUBE Faces_Cube = sampler_state {
    Texture = <Faces>;
    MinFilter = Point;
    MagFilter = Point;
};
// The direction (0.2, -3, 0.1) / 3 points at the -Y face.
float4 Cube_Proj_PS() : COLOR { return texCUBEproj(Faces_Cube, float4(0.2, -3, 0.1, 3)); }

// noise() is 0 at whole coordinates and within -1..1 elsewhere. A texture
// shader that calls it sits in the same code as the pixel shaders.
float4 Fill_Texture(float2 p : POSITION) : COLOR { return noise(p * 8).xxxx; }
float4 Noise_PS() : COLOR
{
    const float n = noise(float3(1.37, 2.61, 0.5));
    return float4(0.5 + noise(float2(2, 3)), n != 0 && abs(n) <= 1 ? 1 : 0, 0.5 + noise(4.0), 1);
}

// Swizzles of several matrix elements as assignment targets, and a constant
// declared "const static" as an array size.
const static int Last = 2;
static const float Weights[Last + 1] = {0.25, 0.5, 0.75};
float4 Swizzle_Target_PS() : COLOR
{
    float3x3 m = 0;
    m._m00_m10_m20 = float3(Weights[0], Weights[1], Weights[Last]);
    m._m01_m11 += float2(0.125, 0.25) * 2;
    return float4(m._m10, m._m20 - m._m11, m._m01 + m._m00, 1);
}

// An array of matrices passed whole to a function, as skinning code passes
// its palette.
float4x3 Palette[2] = {1, 0, 0,  0, 1, 0,  0, 0, 1,  0.25, 0.5, 0.75,
                       1, 0, 0,  0, 1, 0,  0, 0, 1,  0.5, 0.25, 0.125};
float3 Skin(float4 p, float4x3 bones[2], int bone) { return mul(p, bones[bone]); }
float4 Palette_PS() : COLOR { return float4(Skin(float4(0, 0, 0, 1), Palette, 1), 1); }

// A loop variable lives on after its loop, and a second loop in the same
// block that declares it again reuses it.
float4 Loop_Scope_PS() : COLOR
{
    float4 sum = 0;
    for (int i = 0; i < 3; i++)
        sum.x += 0.125;
    sum.z = i * 0.125;
    for (int i = 1; i < 2; i++) sum.y += 0.25;
    return float4(sum.x, sum.y, sum.z + i * 0.0625, 1);
}

// lit() and dst() of the lighting models of that time.
float4 Lighting_PS() : COLOR
{
    const float4 l = lit(0.5, 0.5, 2);  // (1, 0.5, 0.25, 1)
    // (1, 0.25, 0.75, 0.125)
    const float4 d = dst(float4(0, 0.5, 0.75, 0), float4(0, 0.5, 0, 0.125));
    return float4(l.y * l.x, l.z * l.w, d.y * d.x + d.w, 1);
}

technique Specular
{
    pass P
    {
        VertexShader = compile vs_2_0 Lit_VS();
        PixelShader = compile ps_2_0 Specular_PS();
    }
}
technique Point_Size
{
    pass P
    {
        VertexShader = compile vs_3_0 Sprite_VS();
        PixelShader = compile ps_3_0 Sprite_PS();
    }
}
technique Pixel_Position
{
    pass P
    {
        VertexShader = compile vs_3_0 Clip_VS();
        PixelShader = compile ps_3_0 Position_PS();
    }
}
technique Face
{
    pass P
    {
        CullMode = None;
        VertexShader = compile vs_3_0 Clip_VS();
        PixelShader = compile ps_3_0 Face_PS();
    }
}
technique Written_Parameters
{
    pass P
    {
        VertexShader = compile vs_2_0 Clip_VS();
        PixelShader = compile ps_2_0 Write_PS();
    }
}
technique Read_Parameter
{
    pass P
    {
        VertexShader = compile vs_2_0 Clip_VS();
        PixelShader = compile ps_2_0 Read_PS();
    }
}
technique Tex1D
{
    pass P
    {
        VertexShader = compile vs_3_0 Clip_VS();
        PixelShader = compile ps_3_0 Tex1D_PS();
    }
}
technique Cube_Proj
{
    pass P
    {
        VertexShader = compile vs_2_0 Clip_VS();
        PixelShader = compile ps_2_0 Cube_Proj_PS();
    }
}
technique Noise
{
    pass P
    {
        VertexShader = compile vs_2_0 Clip_VS();
        PixelShader = compile ps_2_0 Noise_PS();
    }
}
technique Swizzle_Target
{
    pass P
    {
        VertexShader = compile vs_2_0 Clip_VS();
        PixelShader = compile ps_2_0 Swizzle_Target_PS();
    }
}
technique Palette_Argument
{
    pass P
    {
        VertexShader = compile vs_2_0 Clip_VS();
        PixelShader = compile ps_2_0 Palette_PS();
    }
}
technique Loop_Scope
{
    pass P
    {
        VertexShader = compile vs_2_0 Clip_VS();
        PixelShader = compile ps_2_0 Loop_Scope_PS();
    }
}
technique Lighting
{
    pass P
    {
        VertexShader = compile vs_2_0 Clip_VS();
        PixelShader = compile ps_2_0 Lighting_PS();
    }
}
technique Old_Profiles
{
    pass P
    {
        VertexShader = compile vs_1_0 Lit_VS();
        PixelShader = compile PS_2_0 Specular_PS();
    }
    pass Q
    {
        VertexShader = compile VS_1_1 Clip_VS();
        PixelShader = compile ps_1_0 Read_PS();
    }
}
