// The draw path: textures and samplers, programs, vertex input, the test
// for draws outside the view, and the draw calls. Render states go to GL in
// render_states.cpp, the fixed-function uniforms in ff_uniforms.cpp.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/d3d9/buffer.h"
#include "platform/d3d9/d3d_to_gl.h"
#include "platform/d3d9/device.h"
#include "platform/d3d9/texture.h"

namespace qm_d3d9 {

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
// Programs and shader constants
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

    Back_Buffer_Written();
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

// What an indexed draw from user memory hands over besides its vertices.
struct Device::User_Indices {
    const void* data = nullptr;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    std::uint64_t vertex_end = 0;  // MinVertexIndex + NumVertices: the vertices it reads
};

namespace {

// Copies one draw's bytes into a ring; -1 when they cannot go there.
GLintptr Write_Draw_Bytes(Stream_Ring* ring, const void* data, std::uint64_t bytes) {
    return bytes <= k_max_gl_size ? ring->Write(data, GLsizeiptr(bytes)) : -1;
}

}  // namespace

// The vertices (and indices) are copied into the device's rings for this one
// draw. Like Direct3D 9, a draw from user memory leaves stream 0 unset
// afterwards, and an indexed one the index buffer too.
HRESULT Device::Draw_User_Memory(D3DPRIMITIVETYPE type, UINT primitive_count, const void* vertices,
                                 UINT stride, const User_Indices* indices) {
    GLenum mode;
    GLsizei count;
    if (!vertices || stride == 0 || stride > k_max_vertex_stride ||
        (indices && (!indices->data ||
                     (indices->format != D3DFMT_INDEX16 && indices->format != D3DFMT_INDEX32))) ||
        !Primitive(type, primitive_count, &mode, &count))
        return D3DERR_INVALIDCALL;
    if (!in_scene_ || !Current_Layout()) return D3DERR_INVALIDCALL;
    Make_Current();
    Draw_Input input;
    input.user = true;
    input.indexed = indices != nullptr;
    input.user_stride = stride;
    if (indices) input.index_size = indices->format == D3DFMT_INDEX32 ? 4 : 2;
    HRESULT hr = D3D_OK;
    if (count > 0) {
        const std::uint64_t vertex_count = indices ? indices->vertex_end : std::uint64_t(count);
        input.user_vertex_offset = Write_Draw_Bytes(&up_vertices_, vertices, vertex_count * stride);
        if (indices)
            input.user_index_offset = Write_Draw_Bytes(&up_indices_, indices->data,
                                                       std::uint64_t(count) * input.index_size);
        if (input.user_vertex_offset < 0 || input.user_index_offset < 0) return D3DERR_INVALIDCALL;
        hr = Draw(type, primitive_count, input);
    }
    streams_[0].buffer.Reset(nullptr);
    streams_[0].offset = 0;
    streams_[0].stride = 0;
    if (indices) indices_.Reset(nullptr);
    return hr;
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount,
                                const void* pVertexStreamZeroData, UINT VertexStreamZeroStride) {
    return Draw_User_Memory(PrimitiveType, PrimitiveCount, pVertexStreamZeroData,
                            VertexStreamZeroStride, nullptr);
}

HRESULT Device::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT MinVertexIndex,
                                       UINT NumVertices, UINT PrimitiveCount,
                                       const void* pIndexData, D3DFORMAT IndexDataFormat,
                                       const void* pVertexStreamZeroData,
                                       UINT VertexStreamZeroStride) {
    User_Indices indices;
    indices.data = pIndexData;
    indices.format = IndexDataFormat;
    indices.vertex_end = std::uint64_t(MinVertexIndex) + NumVertices;
    return Draw_User_Memory(PrimitiveType, PrimitiveCount, pVertexStreamZeroData,
                            VertexStreamZeroStride, &indices);
}

}  // namespace qm_d3d9
