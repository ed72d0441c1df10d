// Vertex and index buffers, vertex formats and declarations, and every draw
// call with every primitive type.
#include <cstring>

#include "d3d9_test_util.h"

namespace {

class Draws : public Device_Scene_Test {
protected:
    Draws() : Device_Scene_Test(32, 32) {}
    void SetUp() override {
        Device_Scene_Test::SetUp();
        d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    }
    template <class T>
    IDirect3DVertexBuffer9* Vertex_Buffer_With(const T* data, UINT count, DWORD fvf) {
        IDirect3DVertexBuffer9* vb = nullptr;
        EXPECT_EQ(
            d->CreateVertexBuffer(UINT(sizeof(T)) * count, 0, fvf, D3DPOOL_DEFAULT, &vb, nullptr),
            D3D_OK);
        if (!vb) return nullptr;
        owned.push_back(vb);
        void* p = nullptr;
        EXPECT_EQ(vb->Lock(0, 0, &p, 0), D3D_OK);
        std::memcpy(p, data, sizeof(T) * count);
        EXPECT_EQ(vb->Unlock(), D3D_OK);
        return vb;
    }
    int Lit_Pixels_In_Row(int y) {
        int lit = 0;
        for (int x = 0; x < t.width; ++x) lit += t.Pixel(x, y) != 0xFF000000u;
        return lit;
    }
};

Screen_Vertex Sv(float x, float y, D3DCOLOR c) {
    return {x, y, 0.5f, 1.0f, c};
}

TEST_F(Draws, IndexedDrawsFromBuffersWithBaseVertex) {
    // Two quads in one buffer; the indices describe one quad and the base
    // vertex picks which.
    const Screen_Vertex v[8] = {Sv(0, 0, 0xFFFF0000),  Sv(8, 0, 0xFFFF0000),  Sv(0, 8, 0xFFFF0000),
                                Sv(8, 8, 0xFFFF0000),  Sv(16, 0, 0xFF00FF00), Sv(24, 0, 0xFF00FF00),
                                Sv(16, 8, 0xFF00FF00), Sv(24, 8, 0xFF00FF00)};
    IDirect3DVertexBuffer9* vb = Vertex_Buffer_With(v, 8, k_screen_fvf);
    IDirect3DIndexBuffer9* ib16 = nullptr;
    ASSERT_EQ(d->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &ib16, nullptr), D3D_OK);
    owned.push_back(ib16);
    const WORD indices16[6] = {0, 1, 2, 2, 1, 3};
    void* p = nullptr;
    ASSERT_EQ(ib16->Lock(0, 0, &p, 0), D3D_OK);
    std::memcpy(p, indices16, sizeof indices16);
    ASSERT_EQ(ib16->Unlock(), D3D_OK);
    D3DINDEXBUFFER_DESC desc{};
    ASSERT_EQ(ib16->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Format, D3DFMT_INDEX16);
    EXPECT_EQ(desc.Size, 12u);
    EXPECT_EQ(desc.Type, D3DRTYPE_INDEXBUFFER);

    ASSERT_EQ(d->SetFVF(k_screen_fvf), D3D_OK);
    ASSERT_EQ(d->SetStreamSource(0, vb, 0, sizeof(Screen_Vertex)), D3D_OK);
    ASSERT_EQ(d->SetIndices(ib16), D3D_OK);
    ASSERT_EQ(d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 4, 0, 4, 0, 2), D3D_OK);  // green quad

    // 32-bit indices, started part-way through the buffer.
    IDirect3DIndexBuffer9* ib32 = nullptr;
    ASSERT_EQ(d->CreateIndexBuffer(40, 0, D3DFMT_INDEX32, D3DPOOL_DEFAULT, &ib32, nullptr), D3D_OK);
    owned.push_back(ib32);
    const DWORD indices32[10] = {7, 7, 7, 7, 0, 1, 2, 2, 1, 3};
    ASSERT_EQ(ib32->Lock(0, 0, &p, 0), D3D_OK);
    std::memcpy(p, indices32, sizeof indices32);
    ASSERT_EQ(ib32->Unlock(), D3D_OK);
    ASSERT_EQ(d->SetIndices(ib32), D3D_OK);
    ASSERT_EQ(d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 4, 2), D3D_OK);  // red quad

    // Reading past the end of the index buffer is refused.
    EXPECT_EQ(d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 8, 2), D3DERR_INVALIDCALL);
    Finish();
    EXPECT_EQ(t.Pixel(4, 4), 0xFFFF0000u);
    EXPECT_EQ(t.Pixel(20, 4), 0xFF00FF00u);
    EXPECT_EQ(t.Pixel(12, 4), 0xFF000000u);
    EXPECT_EQ(t.Pixel(4, 12), 0xFF000000u);
}

TEST_F(Draws, DrawPrimitiveFromAnOffsetAndItsBounds) {
    const Screen_Vertex v[7] = {
        Sv(99, 99, 0),         Sv(0, 10, 0xFF0000FF),  Sv(0, 0, 0xFF0000FF), Sv(10, 10, 0xFF0000FF),
        Sv(10, 0, 0xFF0000FF), Sv(20, 10, 0xFF0000FF), Sv(20, 0, 0xFF0000FF)};
    IDirect3DVertexBuffer9* vb = Vertex_Buffer_With(v, 7, k_screen_fvf);
    D3DVERTEXBUFFER_DESC desc{};
    ASSERT_EQ(vb->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Size, 7 * sizeof(Screen_Vertex));
    EXPECT_EQ(desc.FVF, k_screen_fvf);
    EXPECT_EQ(desc.Type, D3DRTYPE_VERTEXBUFFER);
    d->SetFVF(k_screen_fvf);
    // A stream offset of one vertex, then start vertex 0: the first record is skipped.
    d->SetStreamSource(0, vb, sizeof(Screen_Vertex), sizeof(Screen_Vertex));
    ASSERT_EQ(d->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    // Start vertex 2 of the same stream: the next square along.
    ASSERT_EQ(d->DrawPrimitive(D3DPT_TRIANGLESTRIP, 2, 2), D3D_OK);
    // One triangle too many reads past the end.
    EXPECT_EQ(d->DrawPrimitive(D3DPT_TRIANGLESTRIP, 2, 3), D3DERR_INVALIDCALL);
    EXPECT_EQ(d->DrawPrimitive(D3DPRIMITIVETYPE(99), 0, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(d->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 0x7FFFFFFF), D3DERR_INVALIDCALL);
    Finish();
    EXPECT_EQ(t.Pixel(5, 5), 0xFF0000FFu);
    EXPECT_EQ(t.Pixel(15, 5), 0xFF0000FFu);
    EXPECT_EQ(t.Pixel(25, 5), 0xFF000000u);
}

TEST_F(Draws, BufferLocking) {
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(d->CreateVertexBuffer(120, 0, k_screen_fvf, D3DPOOL_DEFAULT, &vb, nullptr), D3D_OK);
    owned.push_back(vb);
    void* whole = nullptr;
    void* part = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &whole, 0), D3D_OK);
    EXPECT_EQ(vb->Lock(0, 0, &part, 0), D3DERR_INVALIDCALL);  // already locked
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    EXPECT_EQ(vb->Unlock(), D3DERR_INVALIDCALL);
    ASSERT_EQ(vb->Lock(100, 20, &part, 0), D3D_OK);
    EXPECT_EQ(static_cast<char*>(part) - static_cast<char*>(whole), 100);
    vb->Unlock();
    EXPECT_EQ(vb->Lock(100, 21, &part, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(vb->Lock(121, 0, &part, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(vb->Lock(0, 0, nullptr, 0), D3DERR_INVALIDCALL);

    IDirect3DVertexBuffer9* none = reinterpret_cast<IDirect3DVertexBuffer9*>(1);
    EXPECT_EQ(d->CreateVertexBuffer(0, 0, 0, D3DPOOL_DEFAULT, &none, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(none, nullptr);
    EXPECT_LT(d->CreateVertexBuffer(0xFFFFFFF0u, 0, 0, D3DPOOL_DEFAULT, &none, nullptr), 0);
    IDirect3DIndexBuffer9* bad = nullptr;
    EXPECT_EQ(d->CreateIndexBuffer(12, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &bad, nullptr),
              D3DERR_INVALIDCALL);
}

TEST_F(Draws, UserPointerDrawsUnsetTheirStreamAndIndices) {
    IDirect3DVertexBuffer9* vb =
        Vertex_Buffer_With(std::vector<Screen_Vertex>(4).data(), 4, k_screen_fvf);
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(d->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &ib, nullptr), D3D_OK);
    owned.push_back(ib);
    d->SetStreamSource(0, vb, 0, sizeof(Screen_Vertex));
    d->SetIndices(ib);
    ASSERT_EQ(Draw_Screen_Quad(d, 0, 0, 8, 8, 0xFFFFFFFF), D3D_OK);
    // Stream 0 is gone: a buffer draw has nothing to read.
    EXPECT_EQ(d->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);

    const Screen_Vertex v[4] = {Sv(10, 0, 0xFF00FF00), Sv(18, 0, 0xFF00FF00), Sv(10, 8, 0xFF00FF00),
                                Sv(18, 8, 0xFF00FF00)};
    const WORD indices[6] = {0, 1, 2, 2, 1, 3};
    ASSERT_EQ(d->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 2, indices, D3DFMT_INDEX16, v,
                                        sizeof(Screen_Vertex)),
              D3D_OK);
    // So are the indices now.
    d->SetStreamSource(0, vb, 0, sizeof(Screen_Vertex));
    EXPECT_EQ(d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3DERR_INVALIDCALL);
    const DWORD indices32[3] = {0, 3, 2};
    const Screen_Vertex far[4] = {Sv(20, 0, 0xFF0000FF), Sv(28, 0, 0xFF0000FF),
                                  Sv(20, 8, 0xFF0000FF), Sv(28, 8, 0xFF0000FF)};
    ASSERT_EQ(d->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 1, indices32, D3DFMT_INDEX32, far,
                                        sizeof(Screen_Vertex)),
              D3D_OK);
    EXPECT_EQ(d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, nullptr, 20), D3DERR_INVALIDCALL);
    EXPECT_EQ(d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, 0), D3DERR_INVALIDCALL);
    Finish();
    EXPECT_EQ(t.Pixel(4, 4), 0xFFFFFFFFu);
    EXPECT_EQ(t.Pixel(14, 4), 0xFF00FF00u);
    EXPECT_EQ(t.Pixel(25, 6), 0xFF0000FFu);  // below the diagonal of triangle 0, 3, 2
    EXPECT_EQ(t.Pixel(22, 1), 0xFF000000u);
}

TEST_F(Draws, PrimitiveTypes) {
    d->SetFVF(k_screen_fvf);
    // Points: one pixel each at pixel centres.
    const Screen_Vertex points[2] = {Sv(3, 2, 0xFFFF0000), Sv(7, 2, 0xFFFF0000)};
    ASSERT_EQ(d->DrawPrimitiveUP(D3DPT_POINTLIST, 2, points, sizeof(Screen_Vertex)), D3D_OK);
    // A line list along row 6 and a line strip of two segments along row 10.
    const Screen_Vertex line[2] = {Sv(2, 6, 0xFF00FF00), Sv(30, 6, 0xFF00FF00)};
    ASSERT_EQ(d->DrawPrimitiveUP(D3DPT_LINELIST, 1, line, sizeof(Screen_Vertex)), D3D_OK);
    const Screen_Vertex strip[3] = {Sv(2, 10, 0xFF0000FF), Sv(16, 10, 0xFF0000FF),
                                    Sv(30, 10, 0xFF0000FF)};
    ASSERT_EQ(d->DrawPrimitiveUP(D3DPT_LINESTRIP, 2, strip, sizeof(Screen_Vertex)), D3D_OK);
    // A fan of two triangles making the square 4..12 x 14..22.
    const Screen_Vertex fan[4] = {Sv(4, 14, 0xFFFFFF00), Sv(12, 14, 0xFFFFFF00),
                                  Sv(12, 22, 0xFFFFFF00), Sv(4, 22, 0xFFFFFF00)};
    ASSERT_EQ(d->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, fan, sizeof(Screen_Vertex)), D3D_OK);
    // A list of two separate triangles.
    const Screen_Vertex list[6] = {Sv(16, 14, 0xFF00FFFF), Sv(24, 14, 0xFF00FFFF),
                                   Sv(16, 22, 0xFF00FFFF), Sv(24, 24, 0xFFFF00FF),
                                   Sv(30, 24, 0xFFFF00FF), Sv(30, 30, 0xFFFF00FF)};
    ASSERT_EQ(d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, list, sizeof(Screen_Vertex)), D3D_OK);
    Finish();
    EXPECT_EQ(t.Pixel(3, 2), 0xFFFF0000u);
    EXPECT_EQ(t.Pixel(7, 2), 0xFFFF0000u);
    EXPECT_EQ(Lit_Pixels_In_Row(2), 2);
    EXPECT_EQ(t.Pixel(16, 6), 0xFF00FF00u);
    EXPECT_GE(Lit_Pixels_In_Row(6), 26);
    EXPECT_EQ(Lit_Pixels_In_Row(5) + Lit_Pixels_In_Row(7), 0);
    EXPECT_EQ(t.Pixel(9, 10), 0xFF0000FFu);
    EXPECT_EQ(t.Pixel(23, 10), 0xFF0000FFu);
    EXPECT_EQ(t.Pixel(8, 18), 0xFFFFFF00u);
    EXPECT_EQ(t.Pixel(11, 21), 0xFFFFFF00u);
    EXPECT_EQ(t.Pixel(17, 15), 0xFF00FFFFu);
    EXPECT_EQ(t.Pixel(29, 27), 0xFFFF00FFu);
    EXPECT_EQ(t.Pixel(25, 29), 0xFF000000u);
}

TEST_F(Draws, VertexDeclarationsFeedTheSameInputsAsFormats) {
    // Colour as four floats (the engine's arrow-line vertex), read through a declaration.
    struct Line_Vertex {
        float x, y, z, rhw;
        float r, g, b, a;
    };
    const D3DVERTEXELEMENT9 elements[] = {
        {0, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITIONT, 0},
        {0, 16, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
        D3DDECL_END()};
    IDirect3DVertexDeclaration9* decl = nullptr;
    ASSERT_EQ(d->CreateVertexDeclaration(elements, &decl), D3D_OK);
    owned.push_back(decl);
    UINT count = 0;
    ASSERT_EQ(decl->GetDeclaration(nullptr, &count), D3D_OK);
    EXPECT_EQ(count, 3u);
    D3DVERTEXELEMENT9 back[3];
    ASSERT_EQ(decl->GetDeclaration(back, &count), D3D_OK);
    EXPECT_EQ(back[1].Offset, 16);
    EXPECT_EQ(back[1].Usage, D3DDECLUSAGE_COLOR);
    EXPECT_EQ(back[2].Stream, 0xFF);

    ASSERT_EQ(d->SetVertexDeclaration(decl), D3D_OK);
    DWORD fvf = 1;
    d->GetFVF(&fvf);
    EXPECT_EQ(fvf, 0u);
    IDirect3DVertexDeclaration9* current = nullptr;
    ASSERT_EQ(d->GetVertexDeclaration(&current), D3D_OK);
    EXPECT_EQ(current, decl);
    current->Release();
    const Line_Vertex v[4] = {{0, 8, 0.5f, 1, 0.4f, 0.6f, 0.8f, 1},
                              {0, 0, 0.5f, 1, 0.4f, 0.6f, 0.8f, 1},
                              {8, 8, 0.5f, 1, 0.4f, 0.6f, 0.8f, 1},
                              {8, 0, 0.5f, 1, 0.4f, 0.6f, 0.8f, 1}};
    ASSERT_EQ(d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(Line_Vertex)), D3D_OK);

    // SetFVF replaces the declaration; GetVertexDeclaration then describes the FVF.
    ASSERT_EQ(d->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1), D3D_OK);
    ASSERT_EQ(d->GetVertexDeclaration(&current), D3D_OK);
    ASSERT_NE(current, nullptr);
    D3DVERTEXELEMENT9 fvf_elements[MAXD3DDECLLENGTH];
    ASSERT_EQ(current->GetDeclaration(fvf_elements, &count), D3D_OK);
    current->Release();
    ASSERT_EQ(count, 4u);
    EXPECT_EQ(fvf_elements[0].Usage, D3DDECLUSAGE_POSITION);
    EXPECT_EQ(fvf_elements[1].Usage, D3DDECLUSAGE_NORMAL);
    EXPECT_EQ(fvf_elements[1].Offset, 12);
    EXPECT_EQ(fvf_elements[2].Usage, D3DDECLUSAGE_TEXCOORD);
    EXPECT_EQ(fvf_elements[2].Type, D3DDECLTYPE_FLOAT2);
    EXPECT_EQ(fvf_elements[2].Offset, 24);

    // Malformed declarations and formats are refused.
    const D3DVERTEXELEMENT9 bad_type[] = {{0, 0, 42, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
    IDirect3DVertexDeclaration9* none = nullptr;
    EXPECT_EQ(d->CreateVertexDeclaration(bad_type, &none), D3DERR_INVALIDCALL);
    EXPECT_EQ(d->CreateVertexDeclaration(nullptr, &none), D3DERR_INVALIDCALL);
    EXPECT_EQ(d->SetFVF(D3DFVF_XYZ | (9 << D3DFVF_TEXCOUNT_SHIFT)), D3DERR_INVALIDCALL);
    EXPECT_EQ(d->SetFVF(D3DFVF_XYZ | D3DFVF_RESERVED0), D3DERR_INVALIDCALL);
    Finish();
    EXPECT_PIXEL_NEAR(t, 4, 4, (Rgb{0.4f, 0.6f, 0.8f}), 1);
}

TEST_F(Draws, FvfLayoutOrderAndTextureCoordinateSizes) {
    // XYZRHW, DIFFUSE, SPECULAR, two texture sets (float1 then float3): the
    // specular colour lands after the diffuse one; checked through the
    // declaration Direct3D derives, and by drawing with SPECULARENABLE.
    const DWORD fvf =
        D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2 | (3u << 16) | (1u << 18);
    ASSERT_EQ(d->SetFVF(fvf), D3D_OK);
    IDirect3DVertexDeclaration9* decl = nullptr;
    ASSERT_EQ(d->GetVertexDeclaration(&decl), D3D_OK);
    D3DVERTEXELEMENT9 e[MAXD3DDECLLENGTH];
    UINT count = 0;
    ASSERT_EQ(decl->GetDeclaration(e, &count), D3D_OK);
    decl->Release();
    ASSERT_EQ(count, 6u);
    EXPECT_EQ(e[1].Offset, 16);
    EXPECT_EQ(e[2].Offset, 20);
    EXPECT_EQ(e[2].UsageIndex, 1);
    EXPECT_EQ(e[3].Type, D3DDECLTYPE_FLOAT1);
    EXPECT_EQ(e[3].Offset, 24);
    EXPECT_EQ(e[4].Type, D3DDECLTYPE_FLOAT3);
    EXPECT_EQ(e[4].Offset, 28);

    struct Vertex {
        float x, y, z, rhw;
        D3DCOLOR diffuse, specular;
        float u0, u1, v1, w1;
    };
    auto at = [](float x, float y) {
        return Vertex{x, y, 0.5f, 1, D3DCOLOR_ARGB(255, 100, 0, 0), D3DCOLOR_ARGB(255, 0, 0, 90),
                      0, 0, 0,    0};
    };
    const Vertex v[4] = {at(0, 8), at(0, 0), at(8, 8), at(8, 0)};
    d->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    ASSERT_EQ(d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(Vertex)), D3D_OK);
    Finish();
    EXPECT_EQ(t.Pixel(4, 4), D3DCOLOR_ARGB(255, 100, 0, 90));
}

TEST_F(Draws, MissingInputsAreRefused) {
    // No vertex format at all.
    const Screen_Vertex v[3] = {Sv(0, 0, 0), Sv(4, 0, 0), Sv(0, 4, 0)};
    EXPECT_EQ(d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(Screen_Vertex)),
              D3DERR_INVALIDCALL);
    d->SetFVF(k_screen_fvf);
    // No stream source, no indices.
    EXPECT_EQ(d->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1), D3DERR_INVALIDCALL);
    // Zero primitives draw nothing and succeed.
    EXPECT_EQ(d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 0, v, sizeof(Screen_Vertex)), D3D_OK);
    EXPECT_EQ(d->SetStreamSource(16, nullptr, 0, 0), D3DERR_INVALIDCALL);
    Finish();
}

}  // namespace
