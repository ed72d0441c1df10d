// An asm block with an instruction the assembler does not know: the message
// names the line of the instruction.
technique Old
{
    pass P0
    {
        VertexShader = asm
        {
            vs_1_1
            dcl_position v0
            frob r0, v0
            mov oPos, v0
        };
    }
}
