// A device that passes every call on to a real device and counts the calls
// the D3DX tests ask about (resources created, draws issued), so a test can
// tell how often the D3DX layer creates or draws without looking inside it.
#pragma once

#include <map>
#include <string>

#include "platform/d3d9.h"

class Recording_Device final : public IDirect3DDevice9 {
public:
    explicit Recording_Device(IDirect3DDevice9* real) : real_(real) {}

    int Count(const std::string& call) const {
        const auto found = counts_.find(call);
        return found == counts_.end() ? 0 : found->second;
    }
    void Reset_Counts() { counts_.clear(); }
    // References others hold on this device (it lives on the test's stack).
    ULONG References() const { return refs_; }

    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override { return --refs_; }

    HRESULT Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z,
                  DWORD Stencil) override {
        return real_->Clear(Count, pRects, Flags, Color, Z, Stencil);
    }
    HRESULT BeginScene() override { return real_->BeginScene(); }
    HRESULT EndScene() override { return real_->EndScene(); }
    HRESULT Present(const RECT* a, const RECT* b, HWND c, const void* d) override {
        return real_->Present(a, b, c, d);
    }
    HRESULT SetViewport(const D3DVIEWPORT9* v) override { return real_->SetViewport(v); }
    HRESULT GetViewport(D3DVIEWPORT9* v) override { return real_->GetViewport(v); }

    HRESULT SetRenderState(D3DRENDERSTATETYPE s, DWORD v) override {
        ++counts_["SetRenderState"];
        return real_->SetRenderState(s, v);
    }
    HRESULT GetRenderState(D3DRENDERSTATETYPE s, DWORD* v) override {
        return real_->GetRenderState(s, v);
    }
    HRESULT SetSamplerState(DWORD i, D3DSAMPLERSTATETYPE s, DWORD v) override {
        return real_->SetSamplerState(i, s, v);
    }
    HRESULT GetSamplerState(DWORD i, D3DSAMPLERSTATETYPE s, DWORD* v) override {
        return real_->GetSamplerState(i, s, v);
    }
    HRESULT SetTextureStageState(DWORD i, D3DTEXTURESTAGESTATETYPE s, DWORD v) override {
        return real_->SetTextureStageState(i, s, v);
    }
    HRESULT GetTextureStageState(DWORD i, D3DTEXTURESTAGESTATETYPE s, DWORD* v) override {
        return real_->GetTextureStageState(i, s, v);
    }
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE s, const D3DMATRIX* m) override {
        return real_->SetTransform(s, m);
    }
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE s, D3DMATRIX* m) override {
        return real_->GetTransform(s, m);
    }
    HRESULT SetVertexShaderConstantF(UINT r, const float* d, UINT n) override {
        return real_->SetVertexShaderConstantF(r, d, n);
    }
    HRESULT GetVertexShaderConstantF(UINT r, float* d, UINT n) override {
        return real_->GetVertexShaderConstantF(r, d, n);
    }
    HRESULT SetVertexShaderConstantI(UINT r, const int* d, UINT n) override {
        return real_->SetVertexShaderConstantI(r, d, n);
    }
    HRESULT GetVertexShaderConstantI(UINT r, int* d, UINT n) override {
        return real_->GetVertexShaderConstantI(r, d, n);
    }
    HRESULT SetVertexShaderConstantB(UINT r, const BOOL* d, UINT n) override {
        return real_->SetVertexShaderConstantB(r, d, n);
    }
    HRESULT GetVertexShaderConstantB(UINT r, BOOL* d, UINT n) override {
        return real_->GetVertexShaderConstantB(r, d, n);
    }
    HRESULT SetPixelShaderConstantF(UINT r, const float* d, UINT n) override {
        return real_->SetPixelShaderConstantF(r, d, n);
    }
    HRESULT GetPixelShaderConstantF(UINT r, float* d, UINT n) override {
        return real_->GetPixelShaderConstantF(r, d, n);
    }
    HRESULT SetPixelShaderConstantI(UINT r, const int* d, UINT n) override {
        return real_->SetPixelShaderConstantI(r, d, n);
    }
    HRESULT GetPixelShaderConstantI(UINT r, int* d, UINT n) override {
        return real_->GetPixelShaderConstantI(r, d, n);
    }
    HRESULT SetPixelShaderConstantB(UINT r, const BOOL* d, UINT n) override {
        return real_->SetPixelShaderConstantB(r, d, n);
    }
    HRESULT GetPixelShaderConstantB(UINT r, BOOL* d, UINT n) override {
        return real_->GetPixelShaderConstantB(r, d, n);
    }
    HRESULT SetLight(DWORD i, const D3DLIGHT9* l) override { return real_->SetLight(i, l); }
    HRESULT GetLight(DWORD i, D3DLIGHT9* l) override { return real_->GetLight(i, l); }
    HRESULT LightEnable(DWORD i, BOOL e) override { return real_->LightEnable(i, e); }
    HRESULT GetLightEnable(DWORD i, BOOL* e) override { return real_->GetLightEnable(i, e); }
    HRESULT SetMaterial(const D3DMATERIAL9* m) override { return real_->SetMaterial(m); }
    HRESULT GetMaterial(D3DMATERIAL9* m) override { return real_->GetMaterial(m); }
    HRESULT SetTexture(DWORD i, IDirect3DBaseTexture9* t) override {
        ++counts_["SetTexture"];
        return real_->SetTexture(i, t);
    }
    HRESULT GetTexture(DWORD i, IDirect3DBaseTexture9** t) override {
        return real_->GetTexture(i, t);
    }

    HRESULT CreateTexture(UINT w, UINT h, UINT l, DWORD u, D3DFORMAT f, D3DPOOL p,
                          IDirect3DTexture9** t, HANDLE* s) override {
        ++counts_["CreateTexture"];
        return real_->CreateTexture(w, h, l, u, f, p, t, s);
    }
    HRESULT CreateCubeTexture(UINT e, UINT l, DWORD u, D3DFORMAT f, D3DPOOL p,
                              IDirect3DCubeTexture9** t, HANDLE* s) override {
        ++counts_["CreateCubeTexture"];
        return real_->CreateCubeTexture(e, l, u, f, p, t, s);
    }
    HRESULT CreateVertexBuffer(UINT n, DWORD u, DWORD f, D3DPOOL p, IDirect3DVertexBuffer9** b,
                               HANDLE* s) override {
        ++counts_["CreateVertexBuffer"];
        return real_->CreateVertexBuffer(n, u, f, p, b, s);
    }
    HRESULT CreateIndexBuffer(UINT n, DWORD u, D3DFORMAT f, D3DPOOL p, IDirect3DIndexBuffer9** b,
                              HANDLE* s) override {
        ++counts_["CreateIndexBuffer"];
        return real_->CreateIndexBuffer(n, u, f, p, b, s);
    }
    HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* e,
                                    IDirect3DVertexDeclaration9** d) override {
        return real_->CreateVertexDeclaration(e, d);
    }

    HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* d) override {
        return real_->SetVertexDeclaration(d);
    }
    HRESULT GetVertexDeclaration(IDirect3DVertexDeclaration9** d) override {
        return real_->GetVertexDeclaration(d);
    }
    HRESULT SetFVF(DWORD f) override { return real_->SetFVF(f); }
    HRESULT GetFVF(DWORD* f) override { return real_->GetFVF(f); }
    HRESULT SetStreamSource(UINT n, IDirect3DVertexBuffer9* b, UINT o, UINT s) override {
        return real_->SetStreamSource(n, b, o, s);
    }
    HRESULT SetIndices(IDirect3DIndexBuffer9* i) override { return real_->SetIndices(i); }
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE t, UINT s, UINT c) override {
        ++counts_["DrawPrimitive"];
        return real_->DrawPrimitive(t, s, c);
    }
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE t, INT b, UINT mn, UINT nv, UINT si,
                                 UINT pc) override {
        ++counts_["DrawIndexedPrimitive"];
        last_indexed_ = {b, mn, nv, si, pc};
        return real_->DrawIndexedPrimitive(t, b, mn, nv, si, pc);
    }
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE t, UINT c, const void* v, UINT s) override {
        ++counts_["DrawPrimitiveUP"];
        return real_->DrawPrimitiveUP(t, c, v, s);
    }
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE t, UINT mn, UINT nv, UINT pc, const void* i,
                                   D3DFORMAT f, const void* v, UINT s) override {
        ++counts_["DrawIndexedPrimitiveUP"];
        return real_->DrawIndexedPrimitiveUP(t, mn, nv, pc, i, f, v, s);
    }

    // Arguments of the last DrawIndexedPrimitive.
    struct Indexed_Draw {
        INT base_vertex;
        UINT min_vertex, vertex_count, start_index, primitive_count;
    };
    Indexed_Draw Last_Indexed_Draw() const { return last_indexed_; }

private:
    IDirect3DDevice9* real_;
    ULONG refs_ = 0;
    std::map<std::string, int> counts_;
    Indexed_Draw last_indexed_{};
};
