// Assembly shaders are refused.
technique Old
{
    pass P0
    {
        VertexShader = asm
        {
            vs_1_1
            dcl_position v0
            mov oPos, v0
        };
    }
}
