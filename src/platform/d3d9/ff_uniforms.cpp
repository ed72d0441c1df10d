// The fixed-function programs' uniforms: transforms, material, lights and
// the fragment stage's factors, written into the device's uniform rings
// before a draw that uses a generated program.
#include <cmath>
#include <cstring>

#include "platform/d3d9/d3d_to_gl.h"
#include "platform/d3d9/device.h"
#include "platform/d3d9/ff_shader.h"

namespace qm_d3d9 {

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] +
                        a.m[i][3] * b.m[3][j];
    return r;
}

namespace {

void Copy4(const D3DCOLORVALUE& c, float out[4]) {
    out[0] = c.r;
    out[1] = c.g;
    out[2] = c.b;
    out[3] = c.a;
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

}  // namespace

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

}  // namespace qm_d3d9
