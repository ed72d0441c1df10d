// The body of the vs_3_0 loop in asm.fx, included inside its asm block.
    add r0, r0, STEP
