// Render states by their effect names, with named values, numbers and
// expressions of parameters.
float Alpha_Cut = 0.5;
bool Use_Stencil = false;
float4 Fog_Color = {0.5, 0.5, 0.5, 1};

float4 Main_VS(float4 pos : POSITION) : POSITION { return pos; }
float4 Main_PS() : COLOR { return 1; }

technique All_States
{
    pass P0
    {
        ZEnable = true; ZWriteEnable = false; ZFunc = LessEqual;
        FillMode = Wireframe; ShadeMode = Gouraud; CullMode = CW;
        AlphaBlendEnable = TRUE; SrcBlend = SrcAlpha; DestBlend = InvSrcAlpha; BlendOp = RevSubtract;
        SeparateAlphaBlendEnable = false; SrcBlendAlpha = One; DestBlendAlpha = Zero; BlendOpAlpha = Max;
        AlphaTestEnable = true; AlphaRef = Alpha_Cut * 255; AlphaFunc = GreaterEqual;
        ColorWriteEnable = Red | Green | Blue; ColorWriteEnable1 = 0xF;
        StencilEnable = (Use_Stencil); StencilFunc = Always; StencilRef = 1; StencilMask = 0xFFFFFFFF;
        StencilWriteMask = 255; StencilFail = Keep; StencilZFail = DecrSat; StencilPass = Replace;
        TwoSidedStencilMode = false;
        FogEnable = false; FogColor = 0x808080; FogTableMode = Linear; FogVertexMode = Exp2;
        FogStart = 10.0; FogEnd = 100.0; FogDensity = 0.01; RangeFogEnable = false;
        Lighting = false; SpecularEnable = true; Ambient = 0x202020; ColorVertex = true;
        LocalViewer = true; NormalizeNormals = true;
        DiffuseMaterialSource = Color1; SpecularMaterialSource = Color2;
        AmbientMaterialSource = Material; EmissiveMaterialSource = Material;
        DitherEnable = false; LastPixel = true; Clipping = true; ClipPlaneEnable = 0;
        PointSize = 1.0; PointSize_Min = 1; PointSize_Max = 64; PointSpriteEnable = false; PointScaleEnable = false;
        MultiSampleAntialias = true; MultiSampleMask = 0xFFFFFFFF; AntialiasedLineEnable = false;
        ScissorTestEnable = false; SlopeScaleDepthBias = 0; DepthBias = 0; SRGBWriteEnable = false;
        TextureFactor = 0xFFFFFFFF; Wrap0 = 0; VertexBlend = Disable;
        PointScale_A = 1; CCW_StencilFunc = Always; BlendFactor = 0xFFFFFFFF;
        VertexShader = compile vs_2_0 Main_VS();
        PixelShader = compile ps_2_0 Main_PS();
    }
}
