// Samplers, textures, sampler and texture-stage states, transforms, lights
// and materials assigned inside passes.
texture Base_Texture;
texture Detail_Texture;
sampler2D Detail_Sampler = sampler_state { Texture = <Detail_Texture>; MinFilter = Point; };
float4x4 World_Matrix;
float4x4 View_Matrix;
float4x4 Projection_Matrix;
float4 Light_Color = {1, 1, 0.8, 1};

technique Fixed_Function
{
    pass P0
    {
        Texture[0] = <Base_Texture>;
        Sampler[1] = (Detail_Sampler);
        MinFilter[0] = Linear; MagFilter[0] = Linear; MipFilter[0] = Point;
        AddressU[0] = Clamp; AddressV[0] = Clamp;
        ColorOp[0] = Modulate; ColorArg1[0] = Texture; ColorArg2[0] = Diffuse;
        AlphaOp[0] = SelectArg1; AlphaArg1[0] = Texture;
        ColorOp[1] = Modulate2x; ColorArg1[1] = Texture; ColorArg2[1] = Current;
        TexCoordIndex[1] = 0; TextureTransformFlags[1] = Disable;
        WorldTransform[0] = (World_Matrix);
        ViewTransform = <View_Matrix>;
        ProjectionTransform = (Projection_Matrix);
        Lighting = true;
        LightEnable[0] = true;
        LightType[0] = Directional;
        LightDiffuse[0] = (Light_Color);
        LightDirection[0] = {0, -1, 0, 0};
        LightRange[0] = 100;
        MaterialDiffuse = {1, 1, 1, 1};
        MaterialPower = 16;
        VertexShader = NULL;
        PixelShader = NULL;
    }
}
