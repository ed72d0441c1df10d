// A missing semicolon after a parameter.
float4 Color = {1, 0, 0, 1}
float Scale = 2;
