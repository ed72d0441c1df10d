#include "platform/d3d9/d3d_to_gl.h"

#include <cstring>

namespace qm_d3d9 {

namespace {

GLenum Blend_Factor(DWORD blend) {
    switch (blend) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
    case D3DBLEND_BLENDFACTOR: return GL_CONSTANT_COLOR;
    case D3DBLEND_INVBLENDFACTOR: return GL_ONE_MINUS_CONSTANT_COLOR;
    default: return GL_ONE;
    }
}

}  // namespace

float Bits_Float(DWORD d) {
    float f;
    std::memcpy(&f, &d, sizeof f);
    return f;
}

void Argb_To_Floats(DWORD argb, float out[4]) {
    out[0] = float((argb >> 16) & 0xFF) / 255.0f;
    out[1] = float((argb >> 8) & 0xFF) / 255.0f;
    out[2] = float(argb & 0xFF) / 255.0f;
    out[3] = float((argb >> 24) & 0xFF) / 255.0f;
}

GLenum Compare_Func(DWORD func) {
    switch (func) {
    case D3DCMP_NEVER: return GL_NEVER;
    case D3DCMP_LESS: return GL_LESS;
    case D3DCMP_EQUAL: return GL_EQUAL;
    case D3DCMP_LESSEQUAL: return GL_LEQUAL;
    case D3DCMP_GREATER: return GL_GREATER;
    case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
    default: return GL_ALWAYS;
    }
}

void Blend_Factors(DWORD src, DWORD dst, GLenum* gl_src, GLenum* gl_dst) {
    if (src == D3DBLEND_BOTHSRCALPHA) {
        *gl_src = GL_SRC_ALPHA;
        *gl_dst = GL_ONE_MINUS_SRC_ALPHA;
    } else if (src == D3DBLEND_BOTHINVSRCALPHA) {
        *gl_src = GL_ONE_MINUS_SRC_ALPHA;
        *gl_dst = GL_SRC_ALPHA;
    } else {
        *gl_src = Blend_Factor(src);
        *gl_dst = Blend_Factor(dst);
    }
}

GLenum Blend_Op(DWORD op) {
    switch (op) {
    case D3DBLENDOP_SUBTRACT: return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN: return GL_MIN;
    case D3DBLENDOP_MAX: return GL_MAX;
    default: return GL_FUNC_ADD;
    }
}

GLenum Stencil_Op(DWORD op) {
    switch (op) {
    case D3DSTENCILOP_ZERO: return GL_ZERO;
    case D3DSTENCILOP_REPLACE: return GL_REPLACE;
    case D3DSTENCILOP_INCRSAT: return GL_INCR;
    case D3DSTENCILOP_DECRSAT: return GL_DECR;
    case D3DSTENCILOP_INVERT: return GL_INVERT;
    case D3DSTENCILOP_INCR: return GL_INCR_WRAP;
    case D3DSTENCILOP_DECR: return GL_DECR_WRAP;
    default: return GL_KEEP;
    }
}

GLenum Address_Mode(DWORD mode) {
    switch (mode) {
    case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
    case D3DTADDRESS_MIRRORONCE: return GL_MIRROR_CLAMP_TO_EDGE;
    default: return GL_REPEAT;
    }
}

bool Primitive(D3DPRIMITIVETYPE type, UINT primitives, GLenum* mode, GLsizei* vertices) {
    std::uint64_t count;
    const std::uint64_t p = primitives;
    switch (type) {
    case D3DPT_POINTLIST:
        *mode = GL_POINTS;
        count = p;
        break;
    case D3DPT_LINELIST:
        *mode = GL_LINES;
        count = p * 2;
        break;
    case D3DPT_LINESTRIP:
        *mode = GL_LINE_STRIP;
        count = p + 1;
        break;
    case D3DPT_TRIANGLELIST:
        *mode = GL_TRIANGLES;
        count = p * 3;
        break;
    case D3DPT_TRIANGLESTRIP:
        *mode = GL_TRIANGLE_STRIP;
        count = p + 2;
        break;
    case D3DPT_TRIANGLEFAN:
        *mode = GL_TRIANGLE_FAN;
        count = p + 2;
        break;
    default: return false;
    }
    if (count > k_max_gl_size) return false;
    *vertices = GLsizei(count);
    return true;
}

void Attribute_Format(BYTE type, GLint* size, GLenum* gl_type, GLboolean* normalized) {
    *normalized = GL_FALSE;
    switch (type) {
    case D3DDECLTYPE_FLOAT1:
        *size = 1;
        *gl_type = GL_FLOAT;
        break;
    case D3DDECLTYPE_FLOAT2:
        *size = 2;
        *gl_type = GL_FLOAT;
        break;
    case D3DDECLTYPE_FLOAT3:
        *size = 3;
        *gl_type = GL_FLOAT;
        break;
    case D3DDECLTYPE_D3DCOLOR:
        // ARGB words: bytes B, G, R, A in memory.
        *size = GL_BGRA;
        *gl_type = GL_UNSIGNED_BYTE;
        *normalized = GL_TRUE;
        break;
    case D3DDECLTYPE_UBYTE4:
        *size = 4;
        *gl_type = GL_UNSIGNED_BYTE;
        break;
    case D3DDECLTYPE_SHORT2:
        *size = 2;
        *gl_type = GL_SHORT;
        break;
    case D3DDECLTYPE_SHORT4:
        *size = 4;
        *gl_type = GL_SHORT;
        break;
    case D3DDECLTYPE_UBYTE4N:
        *size = 4;
        *gl_type = GL_UNSIGNED_BYTE;
        *normalized = GL_TRUE;
        break;
    default:
        *size = 4;
        *gl_type = GL_FLOAT;
        break;
    }
}

}  // namespace qm_d3d9
