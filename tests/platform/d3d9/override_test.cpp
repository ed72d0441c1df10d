// The GL side offered to effects: programs of their own for one or both
// stages, meeting the fixed-function halves at the agreed locations.
#include <string>

#include "d3d9_test_util.h"
#include "platform/d3d9/gl_device.h"

namespace {

GLuint Program(GLenum stage, const std::string& source) {
    const char* text = source.c_str();
    GLuint program = glCreateShaderProgramv(stage, 1, &text);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
        char log[2048] = {};
        glGetProgramInfoLog(program, sizeof log, nullptr, log);
        ADD_FAILURE() << log;
    }
    return program;
}

std::string Loc(int location) {
    return "layout(location = " + std::to_string(location) + ") ";
}

// Positions are clip coordinates already; COLOR0 comes from a uniform and
// TEXCOORD0 carries whatever attribute TEXCOORD5 holds.
std::string Vertex_Source() {
    return "#version 450\n"
           "out gl_PerVertex { vec4 gl_Position; };\n" +
           Loc(Gl_Attribute::Position0) + "in vec4 position;\n" + Loc(Gl_Attribute::Texcoord0 + 5) +
           "in vec4 absent;\n" + Loc(Gl_Varying::Color0) + "out vec4 color0;\n" +
           Loc(Gl_Varying::Color1) + "out vec4 color1;\n" + Loc(Gl_Varying::Texcoord0) +
           "out vec4 texcoord0;\n"
           "uniform vec4 tint;\n"
           "void main() {\n"
           "    gl_Position = position;\n"
           "    color0 = tint;\n"
           "    color1 = vec4(0.0);\n"
           "    texcoord0 = absent;\n"
           "}\n";
}

// Shows stage 0's texture with its green halved, or TEXCOORD0 itself.
std::string Fragment_Source(bool show_texcoord) {
    return "#version 450\n" + Loc(Gl_Varying::Color0) + "in vec4 color0;\n" +
           Loc(Gl_Varying::Texcoord0) +
           "in vec4 texcoord0;\n"
           "layout(binding = 0) uniform sampler2D stage0;\n"
           "layout(location = 0) out vec4 result;\n"
           "void main() {\n" +
           (show_texcoord
                ? "    result = texcoord0;\n"
                : "    result = texture(stage0, texcoord0.xy) * vec4(1.0, 0.5, 1.0, 1.0);\n") +
           "}\n";
}

class Override : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(t.Ok()) << t.Error();
        d = t.device;
        gl = Gl_Device_From(d);
        ASSERT_NE(gl, nullptr);
        gl->Make_Current();
        Set_Identity_Transforms(d);
        d->SetRenderState(D3DRS_LIGHTING, FALSE);
        d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        d->SetRenderState(D3DRS_MULTISAMPLEANTIALIAS, FALSE);
        d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        ASSERT_EQ(d->BeginScene(), D3D_OK);
    }
    void TearDown() override {
        gl->Clear_Shader_Override();
        if (texture) texture->Release();
        for (GLuint p : programs) glDeleteProgram(p);
    }
    void Finish() {
        ASSERT_EQ(d->EndScene(), D3D_OK);
        ASSERT_TRUE(t.Capture());
    }
    GLuint Make(GLenum stage, const std::string& source) {
        programs.push_back(Program(stage, source));
        return programs.back();
    }
    // Left half of the target (clip x -1..0), top half in y, with texcoords.
    void Draw_Left_Top() {
        struct Vertex {
            float x, y, z;
            D3DCOLOR color;
            float u, v;
        };
        const Vertex v[4] = {{-1, 0, 0.5f, 0xFF0000FF, 0, 1},
                             {-1, 1, 0.5f, 0xFF0000FF, 0, 0},
                             {0, 0, 0.5f, 0xFF0000FF, 1, 1},
                             {0, 1, 0.5f, 0xFF0000FF, 1, 0}};
        d->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
        ASSERT_EQ(d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(Vertex)), D3D_OK);
    }

    Test_Device t{32, 32};
    IDirect3DDevice9* d = nullptr;
    Gl_Device* gl = nullptr;
    IDirect3DTexture9* texture = nullptr;
    std::vector<GLuint> programs;
};

TEST_F(Override, VertexProgramWithTheFixedFunctionFragmentHalf) {
    const GLuint vertex = Make(GL_VERTEX_SHADER, Vertex_Source());
    glProgramUniform4f(vertex, glGetUniformLocation(vertex, "tint"), 0.0f, 1.0f, 0.0f, 0.5f);
    gl->Set_Shader_Override(vertex, 0);
    // Device states still apply: blend the tint 50% over the red clear.
    d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    Draw_Left_Top();
    gl->Clear_Shader_Override();
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    // Back to fixed function: the vertex colour in the same place one row down.
    struct Vertex {
        float x, y, z;
        D3DCOLOR color;
    };
    const Vertex v[4] = {{0, -1, 0.5f, 0xFF0000FF},
                         {0, 0, 0.5f, 0xFF0000FF},
                         {1, -1, 0.5f, 0xFF0000FF},
                         {1, 0, 0.5f, 0xFF0000FF}};
    d->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(Vertex));
    Finish();
    EXPECT_NEAR(t.Channel(8, 8, 0), 128, 1);
    EXPECT_NEAR(t.Channel(8, 8, 1), 128, 1);
    EXPECT_EQ(t.Pixel(24, 8), 0xFFFF0000u);
    EXPECT_EQ(t.Pixel(24, 24), 0xFF0000FFu);
}

TEST_F(Override, FragmentProgramSamplesTheStageZeroTexture) {
    ASSERT_EQ(d->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3D_OK);
    D3DLOCKED_RECT locked{};
    texture->LockRect(0, &locked, nullptr, 0);
    for (int i = 0; i < 4; ++i) static_cast<DWORD*>(locked.pBits)[i] = 0xFFFFFFFF;
    texture->UnlockRect(0);
    d->SetTexture(0, texture);
    gl->Set_Shader_Override(0, Make(GL_FRAGMENT_SHADER, Fragment_Source(false)));
    Draw_Left_Top();
    Finish();
    EXPECT_NEAR(t.Channel(8, 8, 0), 255, 0);
    EXPECT_NEAR(t.Channel(8, 8, 1), 128, 1);
    EXPECT_EQ(t.Pixel(24, 24), 0xFF000000u);
    GLenum target = 0;
    EXPECT_NE(Gl_Texture_Name(texture, &target), 0u);
    EXPECT_EQ(target, GLenum(GL_TEXTURE_2D));
    EXPECT_EQ(Gl_Texture_Name(nullptr, &target), 0u);
}

TEST_F(Override, BothHalvesAndAnAbsentAttributeReadsZeroZeroZeroOne) {
    const GLuint vertex = Make(GL_VERTEX_SHADER, Vertex_Source());
    gl->Set_Shader_Override(vertex, Make(GL_FRAGMENT_SHADER, Fragment_Source(true)));
    d->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00FFFFFF, 1.0f, 0);
    Draw_Left_Top();
    Finish();
    EXPECT_EQ(t.Pixel(8, 8), 0xFF000000u);
    EXPECT_EQ(t.Pixel(24, 24), 0x00FFFFFFu);
}

TEST_F(Override, HalfPixelOffsetFollowsTheViewport) {
    float x = 0, y = 0;
    gl->Half_Pixel_Offset(&x, &y);
    EXPECT_FLOAT_EQ(x, 1.0f / 32.0f);
    EXPECT_NEAR(y, -1.0f / 32.0f, 0.02f / 32.0f);  // less a tie-breaking nudge
    const D3DVIEWPORT9 viewport = {0, 0, 16, 8, 0.0f, 1.0f};
    d->SetViewport(&viewport);
    gl->Half_Pixel_Offset(&x, &y);
    EXPECT_FLOAT_EQ(x, 1.0f / 16.0f);
    EXPECT_NEAR(y, -1.0f / 8.0f, 0.02f / 8.0f);
    EXPECT_EQ(Gl_Device_From(nullptr), nullptr);
    d->EndScene();
}

}  // namespace
