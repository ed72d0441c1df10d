#pragma once
static const float3 Warm = float3(1.0, 0.8, 0.6);
