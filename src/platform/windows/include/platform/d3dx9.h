// The engine's D3DX 9 on Windows: the SDK's d3dx9.h (d3dx9_43.dll), and the
// Linux addition that lists an effect's source files.
#pragma once

#include "platform/d3d9.h"

#include <d3dx9.h>

// D3DXCreateEffectFromFileA, recording the files the effect was made of: when
// the caller gives no ID3DXInclude, one that opens files as D3DX's own does
// and notes each file it opened.
HRESULT WINAPI Platform_D3DXCreateEffectFromFileA(LPDIRECT3DDEVICE9 pDevice, LPCSTR pSrcFile,
                                                  const D3DXMACRO* pDefines, LPD3DXINCLUDE pInclude,
                                                  DWORD Flags, LPD3DXEFFECTPOOL pPool,
                                                  LPD3DXEFFECT* ppEffect,
                                                  LPD3DXBUFFER* ppCompilationErrors);
#undef D3DXCreateEffectFromFileA
#define D3DXCreateEffectFromFileA Platform_D3DXCreateEffectFromFileA

// Starts the effect compiler's process on Linux; nothing to do here.
void Platform_Start_Effect_Compiler(void);

// The files an effect made by D3DXCreateEffectFromFileA was made of, by index:
// 0 is its own file, then every file it #included, as they were opened
// (Windows-style names). False past the last, for an effect made otherwise, or
// when the name does not fit into Size bytes.
bool D3DXEffectSourceFile(ID3DXEffect* pEffect, UINT Index, LPSTR pName, UINT Size);
