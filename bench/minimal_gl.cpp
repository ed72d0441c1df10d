// The smallest honest OpenGL 4.5 program that draws a Quillmoor level: the
// baseline the engine is compared with (scripts/bench.sh compare).
//
// It reads the game folder's levels/map_new.txt like the engine, loads every
// model once with the engine's own .x reader (no device: only the CPU-side
// mesh) and its texture with the engine's image decoder, and draws with one
// precompiled vertex-lit program (two point lights with range, material
// diffuse and ambient as the engine's fixed-function path uses them, texture
// modulate), one vertex buffer per model and one draw per instance and
// subset. Same window (1008x729 client area), same camera and projection,
// a 4-sample framebuffer resolved to the window, no vsync, no culling.
//
//   minimal_gl [--dir DIR] [--frames N] [--screenshot FILE.png] [--walk STEP]
//
// --walk moves the camera STEP units along its look before each frame, as
// the engine's option does.
//
// Prints "minimal_gl: N frames in S s (F fps); peak RSS K KiB".
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <numeric>
#include <string>
#include <vector>

#include <SDL.h>
#include <epoxy/gl.h>
#include <unistd.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include "bench/level_reader.h"
#include "platform/d3dx9/mesh_x.h"
#include "platform/d3dx9/texture_image.h"

namespace {

// The engine's window is 1024x768 with a Windows-style frame; this is its
// client area, the size of its back buffer.
const int Width = 1008;
const int Height = 729;
const int Samples = 4;
// The engine's projection (src/camera/camera.h): fixed 4:3 whatever the window.
const float Fov_Y = 0.7853982f, Aspect = 1.3333334f, Near = 1.0f, Far = 15000.0f;

struct Subset {
    GLsizei first = 0, count = 0;  // in indices
    float diffuse[4] = {1, 1, 1, 1};
    float emissive[3] = {0, 0, 0};
    GLuint texture = 0;
};

struct Model {
    GLuint vao = 0, vbo = 0, ibo = 0;
    std::vector<Subset> subsets;
};

bool Read_File(const std::string& path, std::vector<unsigned char>* out) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    std::fseek(file, 0, SEEK_END);
    long size = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    out->resize(size > 0 ? std::size_t(size) : 0);
    bool ok = out->empty() || std::fread(out->data(), 1, out->size(), file) == out->size();
    std::fclose(file);
    return ok;
}

std::string Slashes(std::string s) {
    for (char& c : s)
        if (c == '\\') c = '/';
    return s;
}

GLuint Load_Texture(const std::string& name, std::map<std::string, GLuint>* cache) {
    auto found = cache->find(name);
    if (found != cache->end()) return found->second;
    // The engine's order: the name as written, then under textures\.
    std::vector<unsigned char> bytes;
    Texture_Image image;
    GLuint texture = 0;
    if ((Read_File(Slashes(name), &bytes) || Read_File("textures/" + Slashes(name), &bytes)) &&
        Decode_Texture(bytes.data(), bytes.size(), &image) == D3D_OK &&
        image.format == D3DFMT_A8R8G8B8 && !image.cube) {
        const GLsizei w = GLsizei(image.Width()), h = GLsizei(image.Height());
        const GLsizei levels = GLsizei(std::log2(double(std::max(w, h)))) + 1;
        glCreateTextures(GL_TEXTURE_2D, 1, &texture);
        glTextureStorage2D(texture, levels, GL_RGBA8, w, h);
        glTextureSubImage2D(texture, 0, 0, 0, w, h, GL_BGRA, GL_UNSIGNED_BYTE,
                            image.faces[0][0].bytes.data());
        glGenerateTextureMipmap(texture);
        glTextureParameteri(texture, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        glTextureParameteri(texture, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    } else {
        std::fprintf(stderr, "minimal_gl: cannot load texture %s\n", name.c_str());
    }
    (*cache)[name] = texture;
    return texture;
}

bool Load_Model(const std::string& path, std::map<std::string, GLuint>* textures, Model* out) {
    std::vector<unsigned char> bytes;
    X_Mesh x;
    if (!Read_File(path, &bytes) || X_Load_Mesh(bytes.data(), bytes.size(), &x) != D3D_OK) {
        std::fprintf(stderr, "minimal_gl: cannot load model %s\n", path.c_str());
        return false;
    }
    const Mesh_Data& m = x.mesh;
    // Faces grouped by subset, keeping their order, as D3DX meshes hold them.
    const std::size_t faces = m.indices.size() / 3;
    std::vector<std::size_t> order(faces);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return m.attributes[a] < m.attributes[b];
    });
    std::vector<std::uint32_t> indices;
    indices.reserve(m.indices.size());
    for (std::size_t f : order)
        for (int k = 0; k < 3; ++k) indices.push_back(m.indices[3 * f + k]);
    for (std::size_t i = 0; i < faces;) {
        const DWORD id = m.attributes[order[i]];
        Subset s;
        s.first = GLsizei(3 * i);
        while (i < faces && m.attributes[order[i]] == id) ++i;
        s.count = GLsizei(3 * i) - s.first;
        const X_Material& material =
            id < x.materials.size() ? x.materials[id] : X_Default_Material();
        const D3DMATERIAL9& d = material.material;
        s.diffuse[0] = d.Diffuse.r;
        s.diffuse[1] = d.Diffuse.g;
        s.diffuse[2] = d.Diffuse.b;
        s.diffuse[3] = d.Diffuse.a;
        s.emissive[0] = d.Emissive.r;
        s.emissive[1] = d.Emissive.g;
        s.emissive[2] = d.Emissive.b;
        if (material.has_texture && !material.texture.empty())
            s.texture = Load_Texture(material.texture, textures);
        out->subsets.push_back(s);
    }

    const GLsizei stride = GLsizei(D3DXGetFVFVertexSize(m.fvf));
    glCreateBuffers(1, &out->vbo);
    glNamedBufferStorage(out->vbo, GLsizeiptr(m.vertices.size()), m.vertices.data(), 0);
    glCreateBuffers(1, &out->ibo);
    glNamedBufferStorage(out->ibo, GLsizeiptr(indices.size() * 4), indices.data(), 0);
    glCreateVertexArrays(1, &out->vao);
    glVertexArrayVertexBuffer(out->vao, 0, out->vbo, 0, stride);
    glVertexArrayElementBuffer(out->vao, out->ibo);
    GLuint offset = 12;  // position first
    glEnableVertexArrayAttrib(out->vao, 0);
    glVertexArrayAttribFormat(out->vao, 0, 3, GL_FLOAT, GL_FALSE, 0);
    glVertexArrayAttribBinding(out->vao, 0, 0);
    if (m.fvf & D3DFVF_NORMAL) {
        glEnableVertexArrayAttrib(out->vao, 1);
        glVertexArrayAttribFormat(out->vao, 1, 3, GL_FLOAT, GL_FALSE, offset);
        glVertexArrayAttribBinding(out->vao, 1, 0);
        offset += 12;
    }
    if (m.fvf & D3DFVF_DIFFUSE) offset += 4;
    if (m.fvf & D3DFVF_SPECULAR) offset += 4;
    if ((m.fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT) {
        glEnableVertexArrayAttrib(out->vao, 2);
        glVertexArrayAttribFormat(out->vao, 2, 2, GL_FLOAT, GL_FALSE, offset);
        glVertexArrayAttribBinding(out->vao, 2, 0);
    }
    return true;
}

const char* Vertex_Source = R"(#version 450
layout(location = 0) in vec3 in_position;
layout(location = 1) in vec3 in_normal;
layout(location = 2) in vec2 in_uv;
layout(location = 0) uniform mat4 view_projection;
layout(location = 1) uniform vec3 world_offset;
layout(location = 2) uniform vec4 material_diffuse;
layout(location = 3) uniform vec3 material_emissive;
layout(location = 4) uniform vec4 light_position_range[2];
layout(location = 6) uniform vec3 light_diffuse[2];
layout(location = 8) uniform vec3 light_ambient[2];
layout(location = 10) uniform int light_count;
out vec4 colour;
out vec2 uv;
void main() {
    vec3 p = in_position + world_offset;
    gl_Position = view_projection * vec4(p, 1.0);
    vec3 diffuse = vec3(0.0), ambient = vec3(0.0);
    for (int i = 0; i < light_count; ++i) {
        vec3 to_light = light_position_range[i].xyz - p;
        float d = length(to_light);
        if (d > light_position_range[i].w) continue;
        diffuse += light_diffuse[i] * max(dot(in_normal, to_light / max(d, 1e-6)), 0.0);
        ambient += light_ambient[i];
    }
    // The engine's objects use their diffuse colour as ambient colour.
    colour = vec4(clamp(material_diffuse.rgb * (diffuse + ambient) + material_emissive, 0.0, 1.0),
                  material_diffuse.a);
    uv = in_uv;
}
)";

const char* Fragment_Source = R"(#version 450
in vec4 colour;
in vec2 uv;
layout(location = 12) uniform int textured;
layout(binding = 0) uniform sampler2D diffuse_texture;
layout(location = 0) out vec4 result;
void main() {
    result = textured != 0 ? colour * texture(diffuse_texture, uv) : colour;
}
)";

GLuint Compile(GLenum kind, const char* source) {
    GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[2048];
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        std::fprintf(stderr, "minimal_gl: shader: %s\n", log);
        std::exit(1);
    }
    return shader;
}

// Row-vector matrices as D3DX builds them; uploaded as they are, GLSL reads
// them transposed, which turns v * M into M * v.
struct Matrix {
    float m[4][4] = {};
};

Matrix Multiply(const Matrix& a, const Matrix& b) {
    Matrix r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k) r.m[i][j] += a.m[i][k] * b.m[k][j];
    return r;
}

Matrix Camera_Matrix(const bench::Level& level) {
    auto normalize = [](float v[3]) {
        float l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        if (l > 0)
            for (int i = 0; i < 3; ++i) v[i] /= l;
    };
    auto cross = [](const float a[3], const float b[3], float r[3]) {
        r[0] = a[1] * b[2] - a[2] * b[1];
        r[1] = a[2] * b[0] - a[0] * b[2];
        r[2] = a[0] * b[1] - a[1] * b[0];
    };
    float look[3] = {level.camera_look[0], level.camera_look[1], level.camera_look[2]};
    float up[3] = {0, 1, 0}, right[3];
    normalize(look);
    cross(up, look, right);
    normalize(right);
    cross(look, right, up);
    normalize(up);
    const float* pos = level.camera_pos;
    auto dot = [](const float a[3], const float b[3]) {
        return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
    };
    Matrix view;
    for (int r = 0; r < 3; ++r) {
        view.m[r][0] = right[r];
        view.m[r][1] = up[r];
        view.m[r][2] = look[r];
    }
    view.m[3][0] = -dot(pos, right);
    view.m[3][1] = -dot(pos, up);
    view.m[3][2] = -dot(pos, look);
    view.m[3][3] = 1;
    Matrix projection;  // D3DXMatrixPerspectiveFovLH: depth 0 to 1
    const float y_scale = 1.0f / std::tan(Fov_Y / 2), x_scale = y_scale / Aspect;
    projection.m[0][0] = x_scale;
    projection.m[1][1] = y_scale;
    projection.m[2][2] = Far / (Far - Near);
    projection.m[2][3] = 1;
    projection.m[3][2] = -Near * Far / (Far - Near);
    return Multiply(view, projection);
}

bool Write_Screenshot(const char* path) {
    std::vector<unsigned char> pixels(std::size_t(Width) * Height * 4);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, Width, Height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    stbi_flip_vertically_on_write(1);
    for (std::size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
    return stbi_write_png(path, Width, Height, 4, pixels.data(), Width * 4) != 0;
}

}  // namespace

int main(int argc, char** argv) {
    bench::Run_Options options;
    if (const int status = bench::Start_Run("minimal_gl", argc, argv, &options)) return status;
    const long frames = options.frames;
    const char* screenshot = options.screenshot;
    bench::Level& level = options.level;

    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "minimal_gl: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 4);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 5);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_Window* window =
        SDL_CreateWindow("minimal_gl", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, Width,
                         Height, SDL_WINDOW_OPENGL);
    SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
    if (!context) {
        std::fprintf(stderr, "minimal_gl: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetSwapInterval(0);

    // The 4-sample colour and 16-bit depth target, resolved on every frame.
    GLuint colour = 0, depth = 0, fbo = 0;
    glCreateRenderbuffers(1, &colour);
    glNamedRenderbufferStorageMultisample(colour, Samples, GL_RGBA8, Width, Height);
    glCreateRenderbuffers(1, &depth);
    glNamedRenderbufferStorageMultisample(depth, Samples, GL_DEPTH_COMPONENT16, Width, Height);
    glCreateFramebuffers(1, &fbo);
    glNamedFramebufferRenderbuffer(fbo, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    glNamedFramebufferRenderbuffer(fbo, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);

    GLuint program = glCreateProgram();
    glAttachShader(program, Compile(GL_VERTEX_SHADER, Vertex_Source));
    glAttachShader(program, Compile(GL_FRAGMENT_SHADER, Fragment_Source));
    glLinkProgram(program);
    glUseProgram(program);

    std::map<std::string, GLuint> textures;
    std::map<std::string, Model> models;
    struct Instance {
        const Model* model;
        float x, y, z;
    };
    std::vector<Instance> instances;
    for (const bench::Level_Object& o : level.objects) {
        auto found = models.find(o.model);
        if (found == models.end()) {
            Model m;
            if (!Load_Model(o.model, &textures, &m) && !Load_Model("blank.x", &textures, &m))
                continue;
            found = models.emplace(o.model, m).first;
        }
        instances.push_back({&found->second, o.x, o.y, o.z});
    }

    const Matrix view_projection = Camera_Matrix(level);
    glUniformMatrix4fv(0, 1, GL_FALSE, &view_projection.m[0][0]);
    const int light_count = int(std::min<std::size_t>(level.lights.size(), 2));
    for (int i = 0; i < light_count; ++i) {
        const bench::Level_Light& l = level.lights[std::size_t(i)];
        glUniform4f(4 + i, l.x, l.y, l.z, l.range);
        glUniform3f(6 + i, l.diffuse[0], l.diffuse[1], l.diffuse[2]);
        glUniform3f(8 + i, l.ambient[0], l.ambient[1], l.ambient[2]);
    }
    glUniform1i(10, light_count);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);

    const auto start = std::chrono::steady_clock::now();
    long done = 0;
    bool quit = false;
    while (done < frames && !quit) {
        SDL_Event event;
        while (SDL_PollEvent(&event))
            if (event.type == SDL_QUIT) quit = true;
        glBindFramebuffer(GL_FRAMEBUFFER, fbo);
        glClearColor(0, 0, 0, 1);
        glClearDepth(1.0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        if (options.walk != 0) {
            bench::Walk_Camera(&level, options.walk);
            const Matrix moved = Camera_Matrix(level);
            glUniformMatrix4fv(0, 1, GL_FALSE, &moved.m[0][0]);
        }
        const Model* bound = nullptr;
        for (const Instance& instance : instances) {
            if (instance.model != bound) {
                bound = instance.model;
                glBindVertexArray(bound->vao);
            }
            glUniform3f(1, instance.x, instance.y, instance.z);
            for (const Subset& s : bound->subsets) {
                glUniform4fv(2, 1, s.diffuse);
                glUniform3fv(3, 1, s.emissive);
                glUniform1i(12, s.texture ? 1 : 0);
                glBindTextureUnit(0, s.texture);
                glDrawElements(GL_TRIANGLES, s.count, GL_UNSIGNED_INT,
                               reinterpret_cast<const void*>(std::uintptr_t(s.first) * 4));
            }
        }
        glBlitNamedFramebuffer(fbo, 0, 0, 0, Width, Height, 0, 0, Width, Height,
                               GL_COLOR_BUFFER_BIT, GL_NEAREST);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        ++done;
        if (done == frames && screenshot && !Write_Screenshot(screenshot))
            std::fprintf(stderr, "minimal_gl: cannot write %s\n", screenshot);
        SDL_GL_SwapWindow(window);
    }
    glFinish();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("minimal_gl: %ld frames in %.3f s (%.1f fps); %zu objects; peak RSS %ld KiB\n",
                done, seconds, seconds > 0 ? double(done) / seconds : 0.0, instances.size(),
                bench::Peak_Rss_Kib());
    std::fflush(stdout);
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
