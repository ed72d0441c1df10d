// Render states into GL state, one function per state group: a draw sends
// only the groups whose states changed since the last one.
#include <algorithm>

#include "platform/d3d9/d3d_to_gl.h"
#include "platform/d3d9/device.h"

namespace qm_d3d9 {

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

namespace {

using Render_States = std::array<DWORD, k_render_state_count>;

void Send_Viewport(const D3DVIEWPORT9& viewport) {
    glViewport(GLint(viewport.X), GLint(viewport.Y), GLsizei(viewport.Width),
               GLsizei(viewport.Height));
    glDepthRangef(viewport.MinZ, viewport.MaxZ);
}

void Send_Depth(const Render_States& rs) {
    if (rs[D3DRS_ZENABLE] != D3DZB_FALSE)
        glEnable(GL_DEPTH_TEST);
    else
        glDisable(GL_DEPTH_TEST);
    glDepthMask(rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
    glDepthFunc(Compare_Func(rs[D3DRS_ZFUNC]));
}

// Front faces are the clockwise ones. A value that is no cull mode (the
// engine's D3DCULL_FORCE_DWORD) culls nothing.
void Send_Cull(const Render_States& rs) {
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

void Send_Fill(const Render_States& rs) {
    switch (rs[D3DRS_FILLMODE]) {
    case D3DFILL_POINT: glPolygonMode(GL_FRONT_AND_BACK, GL_POINT); break;
    case D3DFILL_WIREFRAME: glPolygonMode(GL_FRONT_AND_BACK, GL_LINE); break;
    default: glPolygonMode(GL_FRONT_AND_BACK, GL_FILL); break;
    }
}

void Send_Blend(const Render_States& rs) {
    if (!rs[D3DRS_ALPHABLENDENABLE]) {
        glDisable(GL_BLEND);
        return;
    }
    glEnable(GL_BLEND);
    GLenum src, dst, src_alpha, dst_alpha;
    Blend_Factors(rs[D3DRS_SRCBLEND], rs[D3DRS_DESTBLEND], &src, &dst);
    GLenum op = Blend_Op(rs[D3DRS_BLENDOP]), op_alpha = op;
    if (rs[D3DRS_SEPARATEALPHABLENDENABLE]) {
        Blend_Factors(rs[D3DRS_SRCBLENDALPHA], rs[D3DRS_DESTBLENDALPHA], &src_alpha, &dst_alpha);
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
}

void Send_Color_Mask(const Render_States& rs) {
    const DWORD mask = rs[D3DRS_COLORWRITEENABLE];
    glColorMask((mask & 1) ? GL_TRUE : GL_FALSE, (mask & 2) ? GL_TRUE : GL_FALSE,
                (mask & 4) ? GL_TRUE : GL_FALSE, (mask & 8) ? GL_TRUE : GL_FALSE);
}

void Send_Stencil(const Render_States& rs) {
    if (!rs[D3DRS_STENCILENABLE]) {
        glDisable(GL_STENCIL_TEST);
        return;
    }
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
                            Stencil_Op(rs[D3DRS_STENCILZFAIL]), Stencil_Op(rs[D3DRS_STENCILPASS]));
    }
    glStencilMask(write_mask);
}

// The scissor rectangle is the whole back buffer (there is no call to
// change it), so the scissor test has nothing to cut.
void Send_Scissor() {
    glDisable(GL_SCISSOR_TEST);
}

void Send_Multisample(const Render_States& rs) {
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

void Send_Depth_Bias(const Render_States& rs, int depth_bits) {
    const float bias = Bits_Float(rs[D3DRS_DEPTHBIAS]);
    const float slope = Bits_Float(rs[D3DRS_SLOPESCALEDEPTHBIAS]);
    if (bias != 0.0f || slope != 0.0f) {
        glEnable(GL_POLYGON_OFFSET_FILL);
        glEnable(GL_POLYGON_OFFSET_LINE);
        glEnable(GL_POLYGON_OFFSET_POINT);
        glPolygonOffset(slope, bias * float(1u << depth_bits));
    } else {
        glDisable(GL_POLYGON_OFFSET_FILL);
        glDisable(GL_POLYGON_OFFSET_LINE);
        glDisable(GL_POLYGON_OFFSET_POINT);
    }
}

void Send_Point_Size(const Render_States& rs) {
    float point = Bits_Float(rs[D3DRS_POINTSIZE]);
    if (!(point >= 1.0f)) point = 1.0f;
    glPointSize(std::min(point, 64.0f));
}

}  // namespace

void Device::Apply_Render_States() {
    const State_Groups dirty = dirty_groups_;
    if (!dirty) return;
    dirty_groups_ = 0;
    const Render_States& rs = render_states_;

    if (dirty & Group_Viewport) Send_Viewport(viewport_);
    if (dirty & Group_Depth) Send_Depth(rs);
    if (dirty & Group_Cull) Send_Cull(rs);
    if (dirty & Group_Fill) Send_Fill(rs);
    if (dirty & Group_Blend) Send_Blend(rs);
    if (dirty & Group_Color_Mask) Send_Color_Mask(rs);
    if (dirty & Group_Stencil) Send_Stencil(rs);
    if (dirty & Group_Scissor) Send_Scissor();
    if (dirty & Group_Multisample) Send_Multisample(rs);
    if (dirty & Group_Depth_Bias) Send_Depth_Bias(rs, depth_bits_);
    if (dirty & Group_Point_Size) Send_Point_Size(rs);
}

}  // namespace qm_d3d9
