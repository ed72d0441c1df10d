// Includes a file that is not there.
float4 Color;

#include "not_there.fxh"
