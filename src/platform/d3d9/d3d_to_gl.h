// Direct3D 9 values as GL takes them: comparison functions, blend factors
// and operations, stencil operations, texture address modes, primitive
// types, vertex element types, and the colour and float words of the state
// tables.
#pragma once

#include <cstdint>

#include <epoxy/gl.h>

#include "platform/d3d9.h"

namespace qm_d3d9 {

// The most vertices a draw may send, and the most bytes one may copy into a
// ring: the largest GLsizei (GLsizeiptr is never smaller).
inline constexpr std::uint64_t k_max_gl_size = 0x7FFFFFFF;

// A state word that holds a float (D3DRS_POINTSIZE, D3DSAMP_MIPMAPLODBIAS...).
float Bits_Float(DWORD d);
// A D3DCOLOR as red, green, blue, alpha in 0..1.
void Argb_To_Floats(DWORD argb, float out[4]);

GLenum Compare_Func(DWORD func);
// BOTHSRCALPHA and BOTHINVSRCALPHA set both factors from the source one.
void Blend_Factors(DWORD src, DWORD dst, GLenum* gl_src, GLenum* gl_dst);
GLenum Blend_Op(DWORD op);
GLenum Stencil_Op(DWORD op);
GLenum Address_Mode(DWORD mode);
// The GL mode and vertex count of a draw; false for an unknown primitive
// type or a count GL cannot take.
bool Primitive(D3DPRIMITIVETYPE type, UINT primitives, GLenum* mode, GLsizei* vertices);
// The format of a vertex element as glVertexArrayAttribFormat takes it.
void Attribute_Format(BYTE type, GLint* size, GLenum* gl_type, GLboolean* normalized);

}  // namespace qm_d3d9
