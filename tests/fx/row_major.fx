// Matrix packing by pragma and by modifier.
#pragma pack_matrix(row_major)
float4x4 Row_Packed;
column_major float4x4 Column_Override;
#pragma pack_matrix(column_major)
float4x4 Column_Packed;
row_major float4x3 Row_Override;

float4 Main_VS(float4 pos : POSITION) : POSITION
{
    return mul(mul(mul(pos, Row_Packed), Column_Override), Column_Packed) + float4(mul(pos, Row_Override), 0);
}
float4 Main_PS() : COLOR { return 1; }

technique Main
{
    pass P0 { VertexShader = compile vs_2_0 Main_VS(); PixelShader = compile ps_2_0 Main_PS(); }
}
