// Fixed-function draws wholly outside the view volume are left out. Leaving
// them out must never change a pixel: the same scene drawn with rejection on
// and off gives the same picture, while the boxes placed beyond a plane are
// the ones (and the only ones) rejected.
#include <cstring>
#include <string>

#include "d3d9_test_util.h"
#include "platform/d3d9/gl_device.h"

namespace {

constexpr float k_near = 1.0f, k_far = 10.0f;

// 90 degree field of view, square, looking down +z from the origin.
D3DMATRIX Projection() {
    D3DMATRIX m{};
    m._11 = m._22 = 1.0f;
    m._33 = k_far / (k_far - k_near);
    m._34 = 1.0f;
    m._43 = -k_near * k_far / (k_far - k_near);
    return m;
}

D3DMATRIX Translation(float x, float y, float z) {
    D3DMATRIX m = Identity_Matrix();
    m._41 = x;
    m._42 = y;
    m._43 = z;
    return m;
}

struct Placement {
    float x, y, z;
    bool outside;  // wholly beyond one plane of the view volume
};

// A unit cube at each place: across each of the six planes, and beyond each
// of them (and behind the eye, and around the eye but nearer than the near
// plane).
const Placement k_places[] = {
    {0, 0, 5, false}, {-5, 0, 5, false}, {5, 0, 5, false}, {0, 5, 5, false}, {0, -5, 5, false},
    {0, 0, 1, false}, {0, 0, 10, false}, {-8, 0, 5, true}, {8, 0, 5, true},  {0, 8, 5, true},
    {0, -8, 5, true}, {0, 0, 12, true},  {0, 0, -5, true}, {3, 0, -3, true}, {0, 0, 0.3f, true},
};
const std::uint64_t k_outside_places = [] {
    std::uint64_t n = 0;
    for (const Placement& place : k_places) n += place.outside ? 1 : 0;
    return n;
}();

const WORD k_cube_indices[36] = {0, 1, 2, 2, 1, 3, 4, 6, 5, 5, 6, 7, 0, 4, 1, 1, 4, 5,
                                 2, 3, 6, 6, 3, 7, 0, 2, 4, 4, 2, 6, 1, 5, 3, 3, 5, 7};

struct Scene {
    std::vector<unsigned char> rgba;
    std::uint64_t rejected = 0;
    std::vector<std::uint32_t> pixels_after_lock;  // centre pixels, see below
};

class Rejection : public ::testing::Test {
protected:
    // Draws every placement, half of them indexed; with `state` set to
    // `value` before drawing. Then moves the vertices of the buffer by
    // (+8, 0, 0) through Lock and draws the cube at (-8, 0, 5) again, which
    // now lands in the middle of the view.
    Scene Draw(bool reject, D3DRENDERSTATETYPE state, DWORD value) {
        Scene scene;
        Test_Device t(64, 64);
        EXPECT_TRUE(t.Ok()) << t.Error();
        if (!t.Ok()) return scene;
        IDirect3DDevice9* d = t.device;
        Gl_Device* gl = Gl_Device_From(d);
        gl->Set_Draw_Rejection(reject);
        d->SetRenderState(D3DRS_MULTISAMPLEANTIALIAS, FALSE);
        d->SetRenderState(D3DRS_LIGHTING, FALSE);
        d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        d->SetRenderState(state, value);
        const D3DMATRIX identity = Identity_Matrix(), projection = Projection();
        d->SetTransform(D3DTS_VIEW, &identity);
        d->SetTransform(D3DTS_PROJECTION, &projection);

        // Indexed: 8 corners. Listed: the same 36 triangle corners in a row.
        IDirect3DVertexBuffer9* vb = nullptr;
        IDirect3DIndexBuffer9* ib = nullptr;
        const UINT corner_bytes = 8 * sizeof(Color_Vertex);
        EXPECT_EQ(d->CreateVertexBuffer(corner_bytes + 36 * sizeof(Color_Vertex), 0, k_color_fvf,
                                        D3DPOOL_MANAGED, &vb, nullptr),
                  D3D_OK);
        EXPECT_EQ(d->CreateIndexBuffer(sizeof k_cube_indices, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                                       &ib, nullptr),
                  D3D_OK);
        if (!vb || !ib) return scene;
        Color_Vertex corners[8];
        for (int i = 0; i < 8; ++i)
            corners[i] = {i & 1 ? 0.5f : -0.5f, i & 2 ? 0.5f : -0.5f, i & 4 ? 0.5f : -0.5f,
                          0xFF000000u | (i & 1 ? 0xFF0000u : 0x300000u) |
                              (i & 2 ? 0xFF00u : 0x3000u) | (i & 4 ? 0xFFu : 0x30u)};
        void* p = nullptr;
        vb->Lock(0, 0, &p, 0);
        std::memcpy(p, corners, sizeof corners);
        for (int i = 0; i < 36; ++i)
            static_cast<Color_Vertex*>(p)[8 + i] = corners[k_cube_indices[i]];
        vb->Unlock();
        ib->Lock(0, 0, &p, 0);
        std::memcpy(p, k_cube_indices, sizeof k_cube_indices);
        ib->Unlock();

        d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        d->BeginScene();
        d->SetFVF(k_color_fvf);
        d->SetStreamSource(0, vb, 0, sizeof(Color_Vertex));
        d->SetIndices(ib);
        int n = 0;
        for (const Placement& place : k_places) {
            const D3DMATRIX world = Translation(place.x, place.y, place.z);
            d->SetTransform(D3DTS_WORLD, &world);
            if (n++ % 2)
                EXPECT_EQ(d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 8, 0, 12), D3D_OK);
            else
                EXPECT_EQ(d->DrawPrimitive(D3DPT_TRIANGLELIST, 8, 12), D3D_OK);
        }
        d->EndScene();
        EXPECT_TRUE(t.Capture());
        scene.rgba = t.rgba;
        scene.rejected = gl->Rejected_Draws();

        vb->Lock(0, corner_bytes, &p, 0);
        for (int i = 0; i < 8; ++i) static_cast<Color_Vertex*>(p)[i].x += 8.0f;
        vb->Unlock();
        d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        d->BeginScene();
        const D3DMATRIX world = Translation(-8, 0, 5);
        d->SetTransform(D3DTS_WORLD, &world);
        d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 8, 0, 12);
        d->EndScene();
        EXPECT_TRUE(t.Capture());
        scene.pixels_after_lock = {t.Pixel(32, 32), t.Pixel(30, 34)};
        vb->Release();
        ib->Release();
        return scene;
    }
};

TEST_F(Rejection, LeavesOutOnlyWhatCannotBeSeen) {
    const Scene all = Draw(false, D3DRS_FILLMODE, D3DFILL_SOLID);
    const Scene kept = Draw(true, D3DRS_FILLMODE, D3DFILL_SOLID);
    EXPECT_EQ(all.rejected, 0u);
    EXPECT_EQ(kept.rejected, k_outside_places);
    ASSERT_EQ(all.rgba.size(), kept.rgba.size());
    EXPECT_TRUE(all.rgba == kept.rgba) << "rejection changed the picture";
    // Every straddling box reaches the picture, at its edge of the view.
    std::size_t lit = 0;
    for (std::size_t i = 0; i < all.rgba.size(); i += 4) lit += all.rgba[i] | all.rgba[i + 1];
    EXPECT_GT(lit, 0u);
    for (std::uint32_t pixel : kept.pixels_after_lock)
        EXPECT_NE(pixel & 0xFFFFFF, 0u) << "bounds kept across a Lock for writing";
    EXPECT_EQ(all.pixels_after_lock, kept.pixels_after_lock);

    // Wireframe and points clip the same way.
    for (DWORD fill : {DWORD(D3DFILL_WIREFRAME), DWORD(D3DFILL_POINT)}) {
        const Scene a = Draw(false, D3DRS_FILLMODE, fill), k = Draw(true, D3DRS_FILLMODE, fill);
        EXPECT_TRUE(a.rgba == k.rgba) << "fill mode " << fill;
        EXPECT_EQ(k.rejected, k_outside_places);
    }
}

TEST_F(Rejection, ClippingOffAndUserClipPlanesStayConservative) {
    // Clipping off: the application promises all is inside; send it all.
    const Scene off = Draw(true, D3DRS_CLIPPING, FALSE);
    EXPECT_EQ(off.rejected, 0u);
    EXPECT_TRUE(off.rgba == Draw(false, D3DRS_CLIPPING, FALSE).rgba);
    // User planes only remove more: the view volume still decides.
    const Scene planes = Draw(true, D3DRS_CLIPPLANEENABLE, 0x3F);
    EXPECT_EQ(planes.rejected, k_outside_places);
    EXPECT_TRUE(planes.rgba == Draw(false, D3DRS_CLIPPLANEENABLE, 0x3F).rgba);
}

TEST_F(Rejection, VertexProgramsAreNeverJudged) {
    Test_Device t(32, 32);
    ASSERT_TRUE(t.Ok()) << t.Error();
    IDirect3DDevice9* d = t.device;
    Gl_Device* gl = Gl_Device_From(d);
    gl->Make_Current();
    // Positions are clip coordinates: the transforms mean nothing to it.
    const std::string source =
        "#version 450\nout gl_PerVertex { vec4 gl_Position; };\n"
        "layout(location = 0) in vec4 position;\n"
        "layout(location = 0) out vec4 color0;\nlayout(location = 1) out vec4 color1;\n"
        "layout(location = 2) out vec4 texcoord0;\n"
        "void main() { gl_Position = vec4(position.xy, 0.5, 1.0); color0 = vec4(0, 1, 0, 1);"
        " color1 = vec4(0); texcoord0 = vec4(0); }\n";
    const char* text = source.c_str();
    const GLuint program = glCreateShaderProgramv(GL_VERTEX_SHADER, 1, &text);
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(d->CreateVertexBuffer(4 * sizeof(Color_Vertex), 0, k_color_fvf, D3DPOOL_MANAGED, &vb,
                                    nullptr),
              D3D_OK);
    void* p = nullptr;
    vb->Lock(0, 0, &p, 0);
    const Color_Vertex quad[4] = {
        {-1, -1, 0, 0xFFFFFFFF}, {-1, 1, 0, 0xFFFFFFFF}, {1, -1, 0, 0xFFFFFFFF}, {1, 1, 0, 0}};
    std::memcpy(p, quad, sizeof quad);
    vb->Unlock();
    const D3DMATRIX far_away = Translation(0, 0, -100), identity = Identity_Matrix();
    d->SetTransform(D3DTS_WORLD, &far_away);
    d->SetTransform(D3DTS_VIEW, &identity);
    d->SetTransform(D3DTS_PROJECTION, &identity);
    d->SetRenderState(D3DRS_LIGHTING, FALSE);
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    d->BeginScene();
    d->SetFVF(k_color_fvf);
    d->SetStreamSource(0, vb, 0, sizeof(Color_Vertex));
    gl->Set_Shader_Override(program, 0);
    EXPECT_EQ(d->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    gl->Clear_Shader_Override();
    EXPECT_EQ(d->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);  // fixed function: left out
    d->EndScene();
    ASSERT_TRUE(t.Capture());
    EXPECT_EQ(t.Pixel(16, 16) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(gl->Rejected_Draws(), 1u);
    vb->Release();
    glDeleteProgram(program);
}

}  // namespace
