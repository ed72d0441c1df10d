// The fixed-function pipeline as generated GLSL: one separable vertex program
// and one separable fragment program per combination of the states that
// change the code, built on first use and kept for the process.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include <epoxy/gl.h>

#include "platform/d3d9.h"
#include "platform/d3d9/gl_device.h"

namespace qm_d3d9 {

inline constexpr int k_ff_lights = D3DMAX_LIGHTS;

// GL breaks ties for pixel centres lying exactly on an edge by its own
// bottom-left idea of "top", which with rows running down includes bottom
// edges and drops top ones, the opposite of Direct3D. Geometry is lifted by
// this fraction of a pixel (above the rasteriser's 1/256 snapping) so that
// no centre lies on a horizontal edge at integer coordinates.
inline constexpr float k_edge_nudge = 1.0f / 128.0f;

// Light slot kinds in a vertex key.
enum Ff_Light_Kind : std::uint8_t {
    Ff_Light_None = 0,
    Ff_Light_Point,
    Ff_Light_Spot,
    Ff_Light_Directional
};

// Everything the vertex code depends on. Plain bytes so that a key hashes
// and compares as memory.
struct Ff_Vertex_Key {
    std::uint8_t pretransformed = 0;
    std::uint8_t lighting = 0;
    std::uint8_t has_normal = 0;
    std::uint8_t has_color0 = 0;
    std::uint8_t has_color1 = 0;
    std::uint8_t specular = 0;
    std::uint8_t local_viewer = 0;
    std::uint8_t normalize_normals = 0;
    std::uint8_t diffuse_source = 0;  // D3DMCS_* after COLORVERTEX and the vertex colours
    std::uint8_t specular_source = 0;
    std::uint8_t ambient_source = 0;
    std::uint8_t emissive_source = 0;
    std::uint8_t texcoord0_source = 0;  // stage 0's TEXCOORDINDEX (set 0..7)
    // Pass every texture coordinate set on (for a fragment program of an
    // effect); the fixed-function fragment half reads only the first.
    std::uint8_t all_texcoords = 0;
    std::uint8_t lights[k_ff_lights] = {};
    bool operator==(const Ff_Vertex_Key&) const = default;
};

struct Ff_Fragment_Key {
    std::uint8_t color_op = D3DTOP_MODULATE;
    std::uint8_t color_arg1 = D3DTA_TEXTURE;
    std::uint8_t color_arg2 = D3DTA_CURRENT;
    std::uint8_t alpha_op = D3DTOP_SELECTARG1;
    std::uint8_t alpha_arg1 = D3DTA_TEXTURE;
    std::uint8_t alpha_arg2 = D3DTA_CURRENT;
    std::uint8_t texture = 0;       // 0 none, 1 2D, 2 cube
    std::uint8_t specular_add = 0;  // SPECULARENABLE: add COLOR1 after the stages
    std::uint8_t alpha_func = 0;    // D3DCMP_* when alpha testing, else 0
    std::uint8_t flat = 0;          // D3DSHADE_FLAT
    bool operator==(const Ff_Fragment_Key&) const = default;
};

// Uniform blocks (std140): the vertex half's at Gl_Ff_Vertex_Ubo_Binding,
// written for every draw whose transforms, material or lights changed; the
// fragment half's at Gl_Ff_Fragment_Ubo_Binding, written only when the
// texture factor or the alpha reference change. Keeping the per-draw data
// out of the fragment stage spares the rasteriser a copy of it per draw.
struct Ff_Light_Block {
    float diffuse[4];
    float specular[4];
    float ambient[4];
    float position[4];   // camera space
    float direction[4];  // camera space, unit length, the way the light shines
    float range_falloff_att01[4];
    float att2_cos_theta_cos_phi[4];
};

struct Ff_Uniform_Block {
    float world_view[16];  // Direct3D row-major, read by GLSL as column-major: M * v = v * M_d3d
    float world_view_proj[16];
    float normal_matrix[16];  // inverse transpose of world_view's 3x3
    float viewport[4];        // x, y, width, height in pixels
    float pixel_offset[4];    // clip-space half-pixel shift per unit w
    float material_diffuse[4];
    float material_ambient[4];
    float material_specular[4];
    float material_emissive[4];
    float material_power[4];
    float global_ambient[4];
    Ff_Light_Block lights[k_ff_lights];
};
static_assert(sizeof(Ff_Uniform_Block) == 3 * 64 + 8 * 16 + k_ff_lights * 7 * 16,
              "Ff_Uniform_Block must match the std140 layout of the GLSL block");

struct Ff_Fragment_Block {
    float texture_factor[4];
    float alpha_ref[4];
};

inline constexpr GLuint Gl_Ff_Vertex_Ubo_Binding = Gl_First_Device_Ubo_Binding;
inline constexpr GLuint Gl_Ff_Fragment_Ubo_Binding = Gl_First_Device_Ubo_Binding + 1;

// The matrix product a * b: transform by a, then by b (world, view,
// projection), as Direct3D composes row-vector transforms.
D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b);

// Generated GLSL for a key (exposed for the tests' error messages).
std::string Ff_Vertex_Source(const Ff_Vertex_Key& key);
std::string Ff_Fragment_Source(const Ff_Fragment_Key& key);

// Compiles a separable program of one stage; 0 and a message on failure.
GLuint Compile_Separable_Program(GLenum stage, const std::string& source, std::string* log);

// Programs by key. GL names are shared by all contexts of one share group
// (see Gl_Context::Share_Group), so there is one cache per group.
class Ff_Program_Cache {
public:
    GLuint Vertex_Program(const Ff_Vertex_Key& key);
    GLuint Fragment_Program(const Ff_Fragment_Key& key);
    std::size_t Size() const { return vertex_.size() + fragment_.size(); }
    // Forgets every program (their GL names died with their contexts).
    void Forget_All() {
        vertex_.clear();
        fragment_.clear();
    }

private:
    struct Key_Hash {
        template <class K>
        std::size_t operator()(const K& key) const {
            const auto* bytes = reinterpret_cast<const unsigned char*>(&key);
            std::size_t h = 1469598103934665603ull;
            for (std::size_t i = 0; i < sizeof(K); ++i) h = (h ^ bytes[i]) * 1099511628211ull;
            return h;
        }
    };
    std::unordered_map<Ff_Vertex_Key, GLuint, Key_Hash> vertex_;
    std::unordered_map<Ff_Fragment_Key, GLuint, Key_Hash> fragment_;
};

Ff_Program_Cache& Ff_Programs(int share_group);

}  // namespace qm_d3d9
