// The differential probes: the same D3DX calls, made against whichever D3DX
// the program is built on (ours on Linux, the system's d3dx9_43.dll on
// Windows and under Wine), each writing what it found as text lines that the
// other side's lines can be compared with (tests/windows/differential_test.cpp).
#pragma once

#include <string>
#include <vector>

#include "platform/d3dx9.h"

// The D3DX math the engine uses (and the rest of the math our D3DX has), on
// `count` pseudo-random inputs per function from `seed`; both sides draw the
// same inputs. One line per case: "function index: numbers...".
std::string Probe_Math(unsigned seed, int count);

// Each file loaded with D3DXLoadMeshFromXA as the engine loads models: its
// result, vertex and face counts, FVF, vertex size, materials and attribute
// table.
std::string Probe_Meshes(IDirect3DDevice9* device, const std::vector<std::string>& files);

// Fixed-function lighting as pixels: a quad facing the camera, lit by one
// light of each type with several attenuations, materials with and without
// ambient; one line per case with the centre pixel's colour. The device's
// back buffer must be at least 16x16.
std::string Probe_Lighting(IDirect3DDevice9* device);

// Fixed-function pixel states as pixels: blending, alpha test, texture
// stages, fog and material colours, one line per case with the centre
// pixel's colour.
std::string Probe_States(IDirect3DDevice9* device);

// Each file loaded with D3DXCreateTextureFromFileA: type, size, format, mip
// levels and each level's size.
std::string Probe_Textures(IDirect3DDevice9* device, const std::vector<std::string>& files);
