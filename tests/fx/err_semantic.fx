// A vertex output with a semantic that has no varying.
struct V_OUT {
    float4 pos : POSITION;
    float4 weights : BLENDWEIGHT0;
};

V_OUT Main_VS(float4 pos : POSITION)
{
    V_OUT o;
    o.pos = pos;
    o.weights = pos;
    return o;
}

technique Main
{
    pass P0 { VertexShader = compile vs_2_0 Main_VS(); }
}
