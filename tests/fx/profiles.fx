// Every Direct3D 9 HLSL profile.
float4 Color = {1, 1, 1, 1};
float4 Main_VS(float4 pos : POSITION) : POSITION { return pos; }
float4 Main_PS() : COLOR { return Color; }

technique vs11_ps11 { pass { VertexShader = compile vs_1_1 Main_VS(); PixelShader = compile ps_1_1 Main_PS(); } }
technique ps12 { pass { VertexShader = compile vs_1_1 Main_VS(); PixelShader = compile ps_1_2 Main_PS(); } }
technique ps13 { pass { VertexShader = compile vs_1_1 Main_VS(); PixelShader = compile ps_1_3 Main_PS(); } }
technique ps14 { pass { VertexShader = compile vs_1_1 Main_VS(); PixelShader = compile ps_1_4 Main_PS(); } }
technique vs20_ps20 { pass { VertexShader = compile vs_2_0 Main_VS(); PixelShader = compile ps_2_0 Main_PS(); } }
technique vs2a_ps2a { pass { VertexShader = compile vs_2_a Main_VS(); PixelShader = compile ps_2_a Main_PS(); } }
technique ps2b { pass { VertexShader = compile vs_2_0 Main_VS(); PixelShader = compile ps_2_b Main_PS(); } }
technique vs30_ps30 { pass { VertexShader = compile vs_3_0 Main_VS(); PixelShader = compile ps_3_0 Main_PS(); } }
