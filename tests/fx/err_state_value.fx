technique Main
{
    pass P0
    {
        SrcBlend = SourceAlpha;
    }
}
