// The draw path: D3D state into GL state, programs, uniforms and vertex input.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/d3d9/buffer.h"
#include "platform/d3d9/device.h"
#include "platform/d3d9/texture.h"

struct Device::Draw_Input {
    bool indexed = false;
    bool user = false;  // vertices (and indices) handed over by pointer
    UINT start_vertex = 0;
    INT base_vertex = 0;
    UINT start_index = 0;
    GLintptr user_vertex_offset = 0;
    UINT user_stride = 0;
    GLintptr user_index_offset = 0;
    UINT index_size = 2;
};

namespace {

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

void Copy4(const D3DCOLORVALUE& c, float out[4]) {
    out[0] = c.r;
    out[1] = c.g;
    out[2] = c.b;
    out[3] = c.a;
}

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] +
                        a.m[i][3] * b.m[3][j];
    return r;
}

// Normals go through the inverse transpose of the 3x3 part, so that they
// stay perpendicular under non-uniform scaling.
void Normal_Matrix(const D3DMATRIX& m, float out[16]) {
    const float a = m._11, b = m._12, c = m._13;
    const float d = m._21, e = m._22, f = m._23;
    const float g = m._31, h = m._32, i = m._33;
    const float A = e * i - f * h, B = -(d * i - f * g), C = d * h - e * g;
    const float det = a * A + b * B + c * C;
    float n[3][3];
    if (std::fabs(det) > 1e-30f) {
        // Inverse transpose = cofactor matrix / determinant.
        const float inv = 1.0f / det;
        n[0][0] = A * inv;
        n[0][1] = B * inv;
        n[0][2] = C * inv;
        n[1][0] = -(b * i - c * h) * inv;
        n[1][1] = (a * i - c * g) * inv;
        n[1][2] = -(a * h - b * g) * inv;
        n[2][0] = (b * f - c * e) * inv;
        n[2][1] = -(a * f - c * d) * inv;
        n[2][2] = (a * e - b * d) * inv;
    } else {
        const float copy[3][3] = {{a, b, c}, {d, e, f}, {g, h, i}};
        std::memcpy(n, copy, sizeof n);
    }
    std::memset(out, 0, 16 * sizeof(float));
    for (int r = 0; r < 3; ++r)
        for (int col = 0; col < 3; ++col) out[r * 4 + col] = n[r][col];
    out[15] = 1.0f;
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

// BOTHSRCALPHA and BOTHINVSRCALPHA set both factors from the source one.
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
    if (count > 0x7FFFFFFFull) return false;
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

std::uint8_t Byte(DWORD value) {
    return std::uint8_t(std::min<DWORD>(value, 255));
}

}  // namespace

const Vertex_Layout* Device::Current_Layout() const {
    if (declaration_) return &declaration_->Layout();
    if (fvf_) {
        auto found = fvf_layouts_.find(fvf_);
        if (found != fvf_layouts_.end()) return &found->second;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// Render states
// ---------------------------------------------------------------------------

State_Groups Render_State_Group(DWORD state) {
    static const std::array<State_Groups, k_render_state_count> groups = [] {
        std::array<State_Groups, k_render_state_count> g{};
#define QM_GROUP(name, number, kind, group, value, names) g[std::size_t(number)] = Group_##group;
        QM_D3D9_RENDER_STATES(QM_GROUP)
#undef QM_GROUP
        return g;
    }();
    return state < DWORD(k_render_state_count) ? groups[state] : 0;
}

void Device::Apply_Render_States() {
    const State_Groups dirty = dirty_groups_;
    if (!dirty) return;
    dirty_groups_ = 0;
    const auto& rs = render_states_;

    if (dirty & Group_Viewport) {
        glViewport(GLint(viewport_.X), GLint(viewport_.Y), GLsizei(viewport_.Width),
                   GLsizei(viewport_.Height));
        glDepthRangef(viewport_.MinZ, viewport_.MaxZ);
    }

    if (dirty & Group_Depth) {
        if (rs[D3DRS_ZENABLE] != D3DZB_FALSE)
            glEnable(GL_DEPTH_TEST);
        else
            glDisable(GL_DEPTH_TEST);
        glDepthMask(rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
        glDepthFunc(Compare_Func(rs[D3DRS_ZFUNC]));
    }

    // Front faces are the clockwise ones. A value that is no cull mode (the
    // engine's D3DCULL_FORCE_DWORD) culls nothing.
    if (dirty & Group_Cull) {
        switch (rs[D3DRS_CULLMODE]) {
        case D3DCULL_CW:
            glEnable(GL_CULL_FACE);
            glCullFace(GL_FRONT);
            break;
        case D3DCULL_CCW:
            glEnable(GL_CULL_FACE);
            glCullFace(GL_BACK);
            break;
        default: glDisable(GL_CULL_FACE); break;
        }
    }

    if (dirty & Group_Fill) {
        switch (rs[D3DRS_FILLMODE]) {
        case D3DFILL_POINT: glPolygonMode(GL_FRONT_AND_BACK, GL_POINT); break;
        case D3DFILL_WIREFRAME: glPolygonMode(GL_FRONT_AND_BACK, GL_LINE); break;
        default: glPolygonMode(GL_FRONT_AND_BACK, GL_FILL); break;
        }
    }

    if ((dirty & Group_Blend) && rs[D3DRS_ALPHABLENDENABLE]) {
        glEnable(GL_BLEND);
        GLenum src, dst, src_alpha, dst_alpha;
        Blend_Factors(rs[D3DRS_SRCBLEND], rs[D3DRS_DESTBLEND], &src, &dst);
        GLenum op = Blend_Op(rs[D3DRS_BLENDOP]), op_alpha = op;
        if (rs[D3DRS_SEPARATEALPHABLENDENABLE]) {
            Blend_Factors(rs[D3DRS_SRCBLENDALPHA], rs[D3DRS_DESTBLENDALPHA], &src_alpha,
                          &dst_alpha);
            op_alpha = Blend_Op(rs[D3DRS_BLENDOPALPHA]);
        } else {
            src_alpha = src;
            dst_alpha = dst;
        }
        glBlendFuncSeparate(src, dst, src_alpha, dst_alpha);
        glBlendEquationSeparate(op, op_alpha);
        float factor[4];
        Argb_To_Floats(rs[D3DRS_BLENDFACTOR], factor);
        glBlendColor(factor[0], factor[1], factor[2], factor[3]);
    } else if (dirty & Group_Blend) {
        glDisable(GL_BLEND);
    }

    if (dirty & Group_Color_Mask) {
        const DWORD mask = rs[D3DRS_COLORWRITEENABLE];
        glColorMask((mask & 1) ? GL_TRUE : GL_FALSE, (mask & 2) ? GL_TRUE : GL_FALSE,
                    (mask & 4) ? GL_TRUE : GL_FALSE, (mask & 8) ? GL_TRUE : GL_FALSE);
    }

    if ((dirty & Group_Stencil) && rs[D3DRS_STENCILENABLE]) {
        glEnable(GL_STENCIL_TEST);
        const GLint ref = GLint(rs[D3DRS_STENCILREF] & 0xFF);
        const GLuint read_mask = rs[D3DRS_STENCILMASK], write_mask = rs[D3DRS_STENCILWRITEMASK];
        glStencilFuncSeparate(GL_FRONT, Compare_Func(rs[D3DRS_STENCILFUNC]), ref, read_mask);
        glStencilOpSeparate(GL_FRONT, Stencil_Op(rs[D3DRS_STENCILFAIL]),
                            Stencil_Op(rs[D3DRS_STENCILZFAIL]), Stencil_Op(rs[D3DRS_STENCILPASS]));
        if (rs[D3DRS_TWOSIDEDSTENCILMODE]) {
            glStencilFuncSeparate(GL_BACK, Compare_Func(rs[D3DRS_CCW_STENCILFUNC]), ref, read_mask);
            glStencilOpSeparate(GL_BACK, Stencil_Op(rs[D3DRS_CCW_STENCILFAIL]),
                                Stencil_Op(rs[D3DRS_CCW_STENCILZFAIL]),
                                Stencil_Op(rs[D3DRS_CCW_STENCILPASS]));
        } else {
            glStencilFuncSeparate(GL_BACK, Compare_Func(rs[D3DRS_STENCILFUNC]), ref, read_mask);
            glStencilOpSeparate(GL_BACK, Stencil_Op(rs[D3DRS_STENCILFAIL]),
                                Stencil_Op(rs[D3DRS_STENCILZFAIL]),
                                Stencil_Op(rs[D3DRS_STENCILPASS]));
        }
        glStencilMask(write_mask);
    } else if (dirty & Group_Stencil) {
        glDisable(GL_STENCIL_TEST);
    }

    // The scissor rectangle is the whole back buffer (there is no call to
    // change it), so the scissor test has nothing to cut.
    if (dirty & Group_Scissor) glDisable(GL_SCISSOR_TEST);

    if (dirty & Group_Multisample) {
        if (rs[D3DRS_MULTISAMPLEANTIALIAS])
            glEnable(GL_MULTISAMPLE);
        else
            glDisable(GL_MULTISAMPLE);
        const DWORD sample_mask = rs[D3DRS_MULTISAMPLEMASK] & 0xF;
        if (sample_mask != 0xF) {
            glEnable(GL_SAMPLE_MASK);
            glSampleMaski(0, sample_mask);
        } else {
            glDisable(GL_SAMPLE_MASK);
        }
        if (rs[D3DRS_ANTIALIASEDLINEENABLE])
            glEnable(GL_LINE_SMOOTH);
        else
            glDisable(GL_LINE_SMOOTH);
    }

    if (dirty & Group_Depth_Bias) {
        const float bias = Bits_Float(rs[D3DRS_DEPTHBIAS]);
        const float slope = Bits_Float(rs[D3DRS_SLOPESCALEDEPTHBIAS]);
        if (bias != 0.0f || slope != 0.0f) {
            glEnable(GL_POLYGON_OFFSET_FILL);
            glEnable(GL_POLYGON_OFFSET_LINE);
            glEnable(GL_POLYGON_OFFSET_POINT);
            glPolygonOffset(slope, bias * float(1u << depth_bits_));
        } else {
            glDisable(GL_POLYGON_OFFSET_FILL);
            glDisable(GL_POLYGON_OFFSET_LINE);
            glDisable(GL_POLYGON_OFFSET_POINT);
        }
    }

    if (dirty & Group_Point_Size) {
        float point = Bits_Float(rs[D3DRS_POINTSIZE]);
        if (!(point >= 1.0f)) point = 1.0f;
        glPointSize(std::min(point, 64.0f));
    }
}

// ---------------------------------------------------------------------------
// Textures and samplers
// ---------------------------------------------------------------------------

GLuint Device::Sampler_For(DWORD stage) {
    const auto& s = sampler_states_[stage];
    const std::array<DWORD, 10> key = {s[D3DSAMP_ADDRESSU],    s[D3DSAMP_ADDRESSV],
                                       s[D3DSAMP_ADDRESSW],    s[D3DSAMP_BORDERCOLOR],
                                       s[D3DSAMP_MAGFILTER],   s[D3DSAMP_MINFILTER],
                                       s[D3DSAMP_MIPFILTER],   s[D3DSAMP_MIPMAPLODBIAS],
                                       s[D3DSAMP_MAXMIPLEVEL], s[D3DSAMP_MAXANISOTROPY]};
    auto found = samplers_.find(key);
    if (found != samplers_.end()) return found->second;

    GLuint sampler = 0;
    glCreateSamplers(1, &sampler);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, GLint(Address_Mode(key[0])));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, GLint(Address_Mode(key[1])));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_R, GLint(Address_Mode(key[2])));
    float border[4];
    Argb_To_Floats(key[3], border);
    glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, border);

    const DWORD mag = key[4], min = key[5], mip = key[6];
    // Anisotropic filtering is linear filtering plus the anisotropy limit.
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER,
                        mag == D3DTEXF_POINT ? GL_NEAREST : GL_LINEAR);
    const bool min_linear = min != D3DTEXF_POINT && min != D3DTEXF_NONE;
    GLenum min_filter;
    if (mip == D3DTEXF_NONE)
        min_filter = min_linear ? GL_LINEAR : GL_NEAREST;
    else if (mip == D3DTEXF_POINT)
        min_filter = min_linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    else
        min_filter = min_linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, GLint(min_filter));
    float anisotropy = 1.0f;
    if (min == D3DTEXF_ANISOTROPIC || mag == D3DTEXF_ANISOTROPIC)
        anisotropy = std::clamp(float(std::max<DWORD>(key[9], 1)), 1.0f, max_anisotropy_);
    if (max_anisotropy_ > 1.0f) glSamplerParameterf(sampler, GL_TEXTURE_MAX_ANISOTROPY, anisotropy);
    const float lod_bias = Bits_Float(key[7]);
    glSamplerParameterf(sampler, GL_TEXTURE_LOD_BIAS, std::isfinite(lod_bias) ? lod_bias : 0.0f);
    // MAXMIPLEVEL names the largest level used, counting from the top.
    glSamplerParameterf(sampler, GL_TEXTURE_MIN_LOD, float(std::min<DWORD>(key[8], 1000)));

    samplers_.emplace(key, sampler);
    return sampler;
}

void Device::Apply_Textures() {
    for (DWORD stage = 0; stage < D3D_MAX_SAMPLERS; ++stage) {
        const Texture_Storage* storage = textures_[stage].storage.Get();
        const GLuint name = storage ? storage->Name() : 0;
        const GLenum target = storage ? storage->Target() : 0;
        if (bound_texture_[stage] != name || bound_target_[stage] != target) {
            // Binding 0 clears every target of the unit, so a cube map left
            // there does not linger next to a 2D texture.
            glBindTextureUnit(stage, 0);
            if (name) glBindTextureUnit(stage, name);
            bound_texture_[stage] = name;
            bound_target_[stage] = target;
        }
        if (sampler_dirty_[stage]) {
            const GLuint sampler = Sampler_For(stage);
            if (bound_sampler_[stage] != sampler) {
                glBindSampler(stage, sampler);
                bound_sampler_[stage] = sampler;
            }
            sampler_dirty_[stage] = false;
        }
    }
}

// ---------------------------------------------------------------------------
// Programs and fixed-function uniforms
// ---------------------------------------------------------------------------

bool Device::Apply_Programs(const Vertex_Layout& layout) {
    const auto& rs = render_states_;
    if (lights_dirty_) {
        active_lights_.clear();
        for (const auto& [index, slot] : lights_) {
            if (!slot.enabled) continue;
            active_lights_.push_back(index);
            if (active_lights_.size() == std::size_t(k_ff_lights)) break;
        }
        lights_dirty_ = false;
        ff_uniforms_dirty_ = true;
    }
    Ff_Program_Cache& cache = Ff_Programs(context_->Share_Group());

    GLuint vertex = override_vertex_;
    if (!vertex) {
        Ff_Vertex_Key key;
        key.pretransformed = layout.pretransformed;
        key.has_color0 = layout.has_color0;
        key.has_color1 = layout.has_color1;
        key.lighting = rs[D3DRS_LIGHTING] && !layout.pretransformed;
        if (key.lighting) {
            key.has_normal = layout.has_normal;
            key.specular = rs[D3DRS_SPECULARENABLE] ? 1 : 0;
            key.local_viewer = rs[D3DRS_LOCALVIEWER] ? 1 : 0;
            key.normalize_normals = rs[D3DRS_NORMALIZENORMALS] ? 1 : 0;
            // A colour source the vertex cannot feed falls back to the material.
            auto source = [&](DWORD wanted) -> std::uint8_t {
                if (!rs[D3DRS_COLORVERTEX]) return D3DMCS_MATERIAL;
                if (wanted == D3DMCS_COLOR1 && layout.has_color0) return D3DMCS_COLOR1;
                if (wanted == D3DMCS_COLOR2 && layout.has_color1) return D3DMCS_COLOR2;
                return D3DMCS_MATERIAL;
            };
            key.diffuse_source = source(rs[D3DRS_DIFFUSEMATERIALSOURCE]);
            key.specular_source = source(rs[D3DRS_SPECULARMATERIALSOURCE]);
            key.ambient_source = source(rs[D3DRS_AMBIENTMATERIALSOURCE]);
            key.emissive_source = source(rs[D3DRS_EMISSIVEMATERIALSOURCE]);
            for (std::size_t i = 0; i < active_lights_.size(); ++i) {
                switch (lights_.at(active_lights_[i]).light.Type) {
                case D3DLIGHT_POINT: key.lights[i] = Ff_Light_Point; break;
                case D3DLIGHT_SPOT: key.lights[i] = Ff_Light_Spot; break;
                default: key.lights[i] = Ff_Light_Directional; break;
                }
            }
        }
        key.texcoord0_source = std::uint8_t(stage_states_[0][D3DTSS_TEXCOORDINDEX] & 7);
        key.all_texcoords = override_fragment_ ? 1 : 0;
        vertex = cache.Vertex_Program(key);
    }

    GLuint fragment = override_fragment_;
    if (!fragment) {
        const auto& stage = stage_states_[0];
        Ff_Fragment_Key key;
        key.color_op = Byte(stage[D3DTSS_COLOROP]);
        key.color_arg1 = Byte(stage[D3DTSS_COLORARG1]);
        key.color_arg2 = Byte(stage[D3DTSS_COLORARG2]);
        key.alpha_op = Byte(stage[D3DTSS_ALPHAOP]);
        key.alpha_arg1 = Byte(stage[D3DTSS_ALPHAARG1]);
        key.alpha_arg2 = Byte(stage[D3DTSS_ALPHAARG2]);
        if (const Texture_Storage* texture = textures_[0].storage.Get())
            key.texture = texture->Target() == GL_TEXTURE_CUBE_MAP ? 2 : 1;
        key.specular_add = rs[D3DRS_SPECULARENABLE] ? 1 : 0;
        // An alpha test that passes everything (or has no valid function) costs nothing.
        const DWORD alpha_func = rs[D3DRS_ALPHAFUNC];
        if (rs[D3DRS_ALPHATESTENABLE] && alpha_func >= DWORD(D3DCMP_NEVER) &&
            alpha_func < DWORD(D3DCMP_ALWAYS))
            key.alpha_func = Byte(alpha_func);
        key.flat = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT ? 1 : 0;
        fragment = cache.Fragment_Program(key);
    }
    if (!vertex || !fragment) return false;

    if (stage_deletions_ != Gl_Program_Deletions()) {
        stage_vertex_ = stage_fragment_ = ~0u;
        stage_deletions_ = Gl_Program_Deletions();
    }
    if (vertex != stage_vertex_) {
        glUseProgramStages(pipeline_, GL_VERTEX_SHADER_BIT, vertex);
        stage_vertex_ = vertex;
    }
    if (fragment != stage_fragment_) {
        glUseProgramStages(pipeline_, GL_FRAGMENT_SHADER_BIT, fragment);
        stage_fragment_ = fragment;
    }
    if (!override_vertex_ || !override_fragment_) Upload_Ff_Uniforms();
    if (override_vertex_ || override_fragment_) Upload_Shader_Constants();
    return true;
}

// The constant registers go to their buffers when they changed; both stay
// bound at their points for the effect programs (nothing else uses them).
void Device::Upload_Shader_Constants() {
    static constexpr GLuint k_bindings[2] = {Gl_Vertex_Constants_Binding,
                                             Gl_Pixel_Constants_Binding};
    for (std::size_t k = 0; k < 2; ++k) {
        if (!constants_dirty_[k]) continue;
        glNamedBufferSubData(constant_buffers_[k], 0, GLsizeiptr(sizeof(Gl_Shader_Constants)),
                             &shader_constants_[k]);
        glBindBufferBase(GL_UNIFORM_BUFFER, k_bindings[k], constant_buffers_[k]);
        constants_dirty_[k] = false;
    }
}

void Device::Upload_Ff_Uniforms() {
    if (ff_fragment_dirty_ || fragment_ubo_offset_ < 0) {
        Ff_Fragment_Block f{};
        Argb_To_Floats(render_states_[D3DRS_TEXTUREFACTOR], f.texture_factor);
        f.alpha_ref[0] = float(render_states_[D3DRS_ALPHAREF] & 0xFF);
        const GLintptr offset = fragment_ubo_ring_.Write(&f, GLsizeiptr(sizeof f));
        if (offset >= 0) {
            glBindBufferRange(GL_UNIFORM_BUFFER, Gl_Ff_Fragment_Ubo_Binding,
                              fragment_ubo_ring_.Name(), offset, GLsizeiptr(sizeof f));
            fragment_ubo_offset_ = offset;
        }
        ff_fragment_dirty_ = false;
    }
    if (!ff_uniforms_dirty_ && ubo_offset_ >= 0) return;
    Ff_Uniform_Block& b = ff_block_;
    const D3DMATRIX& world = transforms_[256];
    const D3DMATRIX& view = transforms_[D3DTS_VIEW];
    const D3DMATRIX& projection = transforms_[D3DTS_PROJECTION];
    const D3DMATRIX world_view = Multiply(world, view);
    const D3DMATRIX world_view_proj = Multiply(world_view, projection);
    std::memcpy(b.world_view, &world_view, sizeof b.world_view);
    std::memcpy(b.world_view_proj, &world_view_proj, sizeof b.world_view_proj);
    Normal_Matrix(world_view, b.normal_matrix);

    b.viewport[0] = float(viewport_.X);
    b.viewport[1] = float(viewport_.Y);
    b.viewport[2] = float(viewport_.Width);
    b.viewport[3] = float(viewport_.Height);
    Half_Pixel_Offset(&b.pixel_offset[0], &b.pixel_offset[1]);
    b.pixel_offset[2] = b.pixel_offset[3] = 0.0f;

    Copy4(material_.Diffuse, b.material_diffuse);
    Copy4(material_.Ambient, b.material_ambient);
    Copy4(material_.Specular, b.material_specular);
    Copy4(material_.Emissive, b.material_emissive);
    b.material_power[0] = material_.Power;
    Argb_To_Floats(render_states_[D3DRS_AMBIENT], b.global_ambient);

    // Lights are given in world space and evaluated in camera space.
    for (std::size_t i = 0; i < active_lights_.size(); ++i) {
        const D3DLIGHT9& l = lights_.at(active_lights_[i]).light;
        Ff_Light_Block& out = b.lights[i];
        Copy4(l.Diffuse, out.diffuse);
        Copy4(l.Specular, out.specular);
        Copy4(l.Ambient, out.ambient);
        const D3DVECTOR& p = l.Position;
        for (int c = 0; c < 3; ++c)
            out.position[c] =
                p.x * view.m[0][c] + p.y * view.m[1][c] + p.z * view.m[2][c] + view.m[3][c];
        out.position[3] = 1.0f;
        const D3DVECTOR& d = l.Direction;
        float dir[3];
        for (int c = 0; c < 3; ++c)
            dir[c] = d.x * view.m[0][c] + d.y * view.m[1][c] + d.z * view.m[2][c];
        const float length = std::sqrt(dir[0] * dir[0] + dir[1] * dir[1] + dir[2] * dir[2]);
        for (int c = 0; c < 3; ++c) out.direction[c] = length > 0.0f ? dir[c] / length : 0.0f;
        out.direction[3] = 0.0f;
        out.range_falloff_att01[0] = l.Range;
        out.range_falloff_att01[1] = l.Falloff;
        out.range_falloff_att01[2] = l.Attenuation0;
        out.range_falloff_att01[3] = l.Attenuation1;
        out.att2_cos_theta_cos_phi[0] = l.Attenuation2;
        out.att2_cos_theta_cos_phi[1] = std::cos(l.Theta * 0.5f);
        out.att2_cos_theta_cos_phi[2] = std::cos(l.Phi * 0.5f);
        out.att2_cos_theta_cos_phi[3] = 0.0f;
    }

    const GLintptr offset = ubo_ring_.Write(&b, GLsizeiptr(sizeof b));
    if (offset >= 0) {
        glBindBufferRange(GL_UNIFORM_BUFFER, Gl_Ff_Vertex_Ubo_Binding, ubo_ring_.Name(), offset,
                          GLsizeiptr(sizeof b));
        ubo_offset_ = offset;
    }
    ff_uniforms_dirty_ = false;
}

// ---------------------------------------------------------------------------
// Vertex input
// ---------------------------------------------------------------------------

bool Device::Apply_Vertex_Input(const Vertex_Layout& layout, const Draw_Input& input) {
    auto same_remap = [this] {
        if (vao_remap_.size() != attribute_remap_.size()) return false;
        for (std::size_t k = 0; k < vao_remap_.size(); ++k)
            if (vao_remap_[k].usage != attribute_remap_[k].usage ||
                vao_remap_[k].usage_index != attribute_remap_[k].usage_index ||
                vao_remap_[k].location != attribute_remap_[k].location)
                return false;
        return true;
    };
    if (layout.id != vao_layout_id_ || !same_remap()) {
        bool used[Gl_Attribute::Count] = {};
        bool taken[Gl_Attribute::Count] = {};  // by a remapped semantic
        for (const Gl_Attribute_Remap& r : attribute_remap_) taken[r.location] = true;
        for (const D3DVERTEXELEMENT9& e : layout.elements) {
            int location = Gl_Attribute_Location(e.Usage, e.UsageIndex);
            if (location >= 0 && taken[location]) location = -1;
            for (const Gl_Attribute_Remap& r : attribute_remap_)
                if (r.usage == e.Usage && r.usage_index == e.UsageIndex) location = int(r.location);
            if (location < 0 || used[location]) continue;
            used[location] = true;
            GLint size;
            GLenum type;
            GLboolean normalized;
            Attribute_Format(e.Type, &size, &type, &normalized);
            glVertexArrayAttribFormat(vao_, GLuint(location), size, type, normalized, e.Offset);
            glVertexArrayAttribBinding(vao_, GLuint(location), e.Stream);
            glEnableVertexArrayAttrib(vao_, GLuint(location));
        }
        for (GLuint location = 0; location < Gl_Attribute::Count; ++location)
            if (!used[location]) glDisableVertexArrayAttrib(vao_, location);
        vao_layout_id_ = layout.id;
        vao_remap_ = attribute_remap_;
    }
    for (UINT stream = 0; stream < UINT(k_stream_count); ++stream) {
        if (!(layout.streams & (1u << stream))) continue;
        if (input.user) {
            if (stream != 0) return false;
            glVertexArrayVertexBuffer(vao_, 0, up_vertices_.Name(), input.user_vertex_offset,
                                      GLsizei(input.user_stride));
        } else {
            const Stream_Slot& slot = streams_[stream];
            if (!slot.buffer) return false;
            glVertexArrayVertexBuffer(vao_, stream, slot.buffer->Name(), GLintptr(slot.offset),
                                      GLsizei(slot.stride));
        }
    }
    if (input.indexed) {
        const GLuint elements = input.user ? up_indices_.Name() : indices_->Name();
        if (elements != vao_elements_) {
            glVertexArrayElementBuffer(vao_, elements);
            vao_elements_ = elements;
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// Draws outside the view
// ---------------------------------------------------------------------------

namespace {

struct Draw_Counts {
    std::uint64_t sent = 0, rejected = 0;
};
Draw_Counts g_draw_counts;

void Print_Draw_Counts() {
    std::fprintf(stderr, "d3d9: %llu draws sent, %llu rejected outside the view\n",
                 static_cast<unsigned long long>(g_draw_counts.sent),
                 static_cast<unsigned long long>(g_draw_counts.rejected));
}

// A box lies wholly outside the clip volume when all eight corners are beyond
// one of its planes (-w <= x, y <= w, 0 <= z <= w). The planes are linear in
// the clip position, so the test holds for every point of the box, behind the
// eye (w < 0) too. Corners get the half-pixel shift the vertex half adds, and
// a corner must be clearly beyond the plane, so that rounding in the vertex
// stage cannot bring any vertex back inside.
bool Box_Outside(const float low[3], const float high[3], const D3DMATRIX& m, float shift_x,
                 float shift_y) {
    constexpr float k_margin = 1e-4f;
    unsigned outside_all = 0x3F;
    for (int corner = 0; corner < 8 && outside_all; ++corner) {
        const float x = corner & 1 ? high[0] : low[0];
        const float y = corner & 2 ? high[1] : low[1];
        const float z = corner & 4 ? high[2] : low[2];
        float c[4];
        for (int j = 0; j < 4; ++j)
            c[j] = x * m.m[0][j] + y * m.m[1][j] + z * m.m[2][j] + m.m[3][j];
        c[0] += shift_x * c[3];
        c[1] += shift_y * c[3];
        const float w = c[3];
        auto beyond = [&](float distance, float scale) {
            return distance < -k_margin * scale;  // distance < 0: outside
        };
        unsigned outside = 0;
        if (beyond(c[0] + w, std::fabs(c[0]) + std::fabs(w))) outside |= 1;
        if (beyond(w - c[0], std::fabs(c[0]) + std::fabs(w))) outside |= 2;
        if (beyond(c[1] + w, std::fabs(c[1]) + std::fabs(w))) outside |= 4;
        if (beyond(w - c[1], std::fabs(c[1]) + std::fabs(w))) outside |= 8;
        if (beyond(c[2], std::fabs(c[2]) + std::fabs(w))) outside |= 16;
        if (beyond(w - c[2], std::fabs(c[2]) + std::fabs(w))) outside |= 32;
        outside_all &= outside;
    }
    return outside_all != 0;
}

}  // namespace

void Count_Draw(bool rejected) {
    static const bool printing = [] {
        const bool wanted = std::getenv("QM_DRAW_COUNTS") != nullptr;
        if (wanted) std::atexit(Print_Draw_Counts);
        return wanted;
    }();
    if (!printing) return;
    if (rejected)
        ++g_draw_counts.rejected;
    else
        ++g_draw_counts.sent;
}

// Only fixed-function vertex halves are judged: a vertex program may put a
// vertex anywhere. User clip planes can only remove more, so the view volume
// alone decides; with D3DRS_CLIPPING off nothing is left out. Draws from user
// memory (text, screen quads) are small and always sent.
bool Device::Outside_View(const Vertex_Layout& layout, const Draw_Input& input, GLsizei count) {
    if (!reject_outside_ || override_vertex_ || input.user || layout.pretransformed ||
        !render_states_[D3DRS_CLIPPING])
        return false;
    const D3DVERTEXELEMENT9* position = nullptr;
    for (const D3DVERTEXELEMENT9& e : layout.elements)
        if (e.Usage == D3DDECLUSAGE_POSITION && e.UsageIndex == 0) {
            position = &e;
            break;
        }
    if (!position || position->Type != D3DDECLTYPE_FLOAT3) return false;
    // A draw missing a stream fails as it would have when sent.
    for (UINT stream = 0; stream < UINT(k_stream_count); ++stream)
        if ((layout.streams & (1u << stream)) && !streams_[stream].buffer) return false;
    const Stream_Slot& slot = streams_[position->Stream];

    std::int64_t first = input.start_vertex;
    std::int64_t vertices = count;
    if (input.indexed) {
        UINT low, high;
        if (!indices_ ||
            !indices_->Index_Range(input.start_index, UINT(count), input.index_size, &low, &high))
            return false;
        first = std::int64_t(input.base_vertex) + low;
        vertices = std::int64_t(high) - low + 1;
    }
    if (first < 0 || first + vertices > 0xFFFFFFFFll) return false;
    float low[3], high[3];
    if (!slot.buffer->Position_Box(slot.offset + position->Offset, slot.stride, UINT(first),
                                   UINT(vertices), low, high))
        return false;

    const D3DMATRIX world_view_proj = Multiply(Multiply(transforms_[256], transforms_[D3DTS_VIEW]),
                                               transforms_[D3DTS_PROJECTION]);
    float shift_x, shift_y;
    Half_Pixel_Offset(&shift_x, &shift_y);
    return Box_Outside(low, high, world_view_proj, shift_x, shift_y);
}

// ---------------------------------------------------------------------------
// Draw calls
// ---------------------------------------------------------------------------

HRESULT Device::Draw(D3DPRIMITIVETYPE type, UINT primitive_count, const Draw_Input& input) {
    GLenum mode;
    GLsizei count;
    if (!Primitive(type, primitive_count, &mode, &count)) return D3DERR_INVALIDCALL;
    if (!in_scene_) return D3DERR_INVALIDCALL;
    const Vertex_Layout* layout = Current_Layout();
    if (!layout) return D3DERR_INVALIDCALL;
    if (primitive_count == 0) return D3D_OK;
    if (Outside_View(*layout, input, count)) {
        ++rejected_draws_;
        Count_Draw(true);
        return D3D_OK;
    }
    Count_Draw(false);

    Make_Current();
    Apply_Render_States();
    Apply_Textures();
    if (!Apply_Programs(*layout)) return D3DERR_INVALIDCALL;
    if (!Apply_Vertex_Input(*layout, input)) return D3DERR_INVALIDCALL;

    if (input.indexed) {
        const GLenum index_type = input.index_size == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT;
        const GLintptr offset = input.user
                                    ? input.user_index_offset
                                    : GLintptr(input.start_index) * GLintptr(input.index_size);
        glDrawElementsBaseVertex(mode, count, index_type, reinterpret_cast<const void*>(offset),
                                 input.base_vertex);
    } else {
        glDrawArrays(mode, GLint(input.start_vertex), count);
    }
    return D3D_OK;
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex,
                              UINT PrimitiveCount) {
    GLenum mode;
    GLsizei count;
    if (!Primitive(PrimitiveType, PrimitiveCount, &mode, &count)) return D3DERR_INVALIDCALL;
    // Refuse draws that would read past the end of a bound buffer.
    if (const Vertex_Layout* layout = Current_Layout(); layout && count > 0) {
        for (const D3DVERTEXELEMENT9& e : layout->elements) {
            const Stream_Slot& slot = streams_[e.Stream];
            if (!slot.buffer) return D3DERR_INVALIDCALL;
            const std::uint64_t end =
                std::uint64_t(slot.offset) +
                (std::uint64_t(StartVertex) + std::uint64_t(count) - 1) * slot.stride + e.Offset +
                Decl_Type_Size(e.Type);
            if (end > slot.buffer->Size()) return D3DERR_INVALIDCALL;
        }
    }
    Draw_Input input;
    input.start_vertex = StartVertex;
    return Draw(PrimitiveType, PrimitiveCount, input);
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex, UINT,
                                     UINT, UINT startIndex, UINT primCount) {
    GLenum mode;
    GLsizei count;
    if (!Primitive(PrimitiveType, primCount, &mode, &count)) return D3DERR_INVALIDCALL;
    if (!indices_) return D3DERR_INVALIDCALL;
    const UINT index_size = indices_->Index_Size();
    if ((std::uint64_t(startIndex) + std::uint64_t(count)) * index_size > indices_->Size())
        return D3DERR_INVALIDCALL;
    Draw_Input input;
    input.indexed = true;
    input.base_vertex = BaseVertexIndex;
    input.start_index = startIndex;
    input.index_size = index_size;
    return Draw(PrimitiveType, primCount, input);
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount,
                                const void* pVertexStreamZeroData, UINT VertexStreamZeroStride) {
    GLenum mode;
    GLsizei count;
    if (!pVertexStreamZeroData || VertexStreamZeroStride == 0 || VertexStreamZeroStride > 2048 ||
        !Primitive(PrimitiveType, PrimitiveCount, &mode, &count))
        return D3DERR_INVALIDCALL;
    if (!in_scene_ || !Current_Layout()) return D3DERR_INVALIDCALL;
    Make_Current();
    Draw_Input input;
    input.user = true;
    input.user_stride = VertexStreamZeroStride;
    HRESULT hr = D3D_OK;
    if (count > 0) {
        const std::uint64_t bytes = std::uint64_t(count) * VertexStreamZeroStride;
        input.user_vertex_offset =
            bytes <= 0x7FFFFFFF ? up_vertices_.Write(pVertexStreamZeroData, GLsizeiptr(bytes)) : -1;
        if (input.user_vertex_offset < 0) return D3DERR_INVALIDCALL;
        hr = Draw(PrimitiveType, PrimitiveCount, input);
    }
    // Direct3D 9 leaves stream 0 unset after a draw from user memory.
    streams_[0].buffer.Reset(nullptr);
    streams_[0].offset = 0;
    streams_[0].stride = 0;
    return hr;
}

HRESULT Device::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT MinVertexIndex,
                                       UINT NumVertices, UINT PrimitiveCount,
                                       const void* pIndexData, D3DFORMAT IndexDataFormat,
                                       const void* pVertexStreamZeroData,
                                       UINT VertexStreamZeroStride) {
    GLenum mode;
    GLsizei count;
    if (!pIndexData || !pVertexStreamZeroData || VertexStreamZeroStride == 0 ||
        VertexStreamZeroStride > 2048 ||
        (IndexDataFormat != D3DFMT_INDEX16 && IndexDataFormat != D3DFMT_INDEX32) ||
        !Primitive(PrimitiveType, PrimitiveCount, &mode, &count))
        return D3DERR_INVALIDCALL;
    if (!in_scene_ || !Current_Layout()) return D3DERR_INVALIDCALL;
    Make_Current();
    Draw_Input input;
    input.user = true;
    input.indexed = true;
    input.user_stride = VertexStreamZeroStride;
    input.index_size = IndexDataFormat == D3DFMT_INDEX32 ? 4 : 2;
    HRESULT hr = D3D_OK;
    if (count > 0) {
        const std::uint64_t vertex_bytes =
            (std::uint64_t(MinVertexIndex) + NumVertices) * VertexStreamZeroStride;
        const std::uint64_t index_bytes = std::uint64_t(count) * input.index_size;
        input.user_vertex_offset =
            vertex_bytes > 0 && vertex_bytes <= 0x7FFFFFFF
                ? up_vertices_.Write(pVertexStreamZeroData, GLsizeiptr(vertex_bytes))
                : -1;
        input.user_index_offset =
            index_bytes <= 0x7FFFFFFF ? up_indices_.Write(pIndexData, GLsizeiptr(index_bytes)) : -1;
        if (input.user_vertex_offset < 0 || input.user_index_offset < 0) return D3DERR_INVALIDCALL;
        hr = Draw(PrimitiveType, PrimitiveCount, input);
    }
    // As Direct3D 9 does: stream 0 and the index buffer are unset afterwards.
    streams_[0].buffer.Reset(nullptr);
    streams_[0].offset = 0;
    streams_[0].stride = 0;
    indices_.Reset(nullptr);
    return hr;
}
