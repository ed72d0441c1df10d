// ID3DXEffect as the engine drives it: names and handles, techniques, typed
// setters and getters, the Begin/BeginPass protocol, creation errors, the
// shared compile cache and names that the effect lacks.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>

#include "effect_test_util.h"
#include "platform/fx/compile/compiler.h"
#include "platform/d3dx9/effect_inspect.h"
#include "platform/d3dx9/effect_template.h"
#include "platform/fx/compile/stage_cache.h"
#include "render/standard_parameters.h"
#include "support/temp_dir.h"

// Counts allocations through operator new while a test asks for it: names
// an effect lacks must be refused without allocating. (GCC takes the malloc
// inside this operator new and the free inside operator delete for a
// mismatched pair once they are inlined into the same caller.)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
namespace {
bool g_count_allocations = false;
std::atomic<long> g_allocations{0};
}  // namespace

namespace {
void* Counted_Allocation(std::size_t size) noexcept {
    if (g_count_allocations) ++g_allocations;
    return std::malloc(size ? size : 1);
}
}  // namespace

// Every plain form is replaced so that allocation and release always meet in
// malloc and free (a library may allocate with one form and free with another).
void* operator new(std::size_t size) {
    if (void* p = Counted_Allocation(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    if (void* p = Counted_Allocation(size)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Counted_Allocation(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Counted_Allocation(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

namespace {

class Effect_Api : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dev.Ok()) << dev.Error(); }
    void TearDown() override {
        if (fx) fx->Release();
    }
    void Load(const std::string& path) {
        std::string errors;
        fx = Load_Effect(dev.device, path, &errors);
        ASSERT_NE(fx, nullptr) << errors;
    }
    Test_Device dev{32, 32};
    ID3DXEffect* fx = nullptr;
};

// Offers the whole standard set; returns how many calls succeeded.
int Offer_Standard_Set(ID3DXEffect* fx, IDirect3DBaseTexture9* tex) {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    const D3DXVECTOR4 eye(1, 2, 3, 0.5f);
    const float three[3] = {1, 2, 3};
    D3DLIGHT9 light{};
    int ok = 0;
    for (const char* const* row : Standard_Matrix_Rows)
        for (; *row; ++row) ok += SUCCEEDED(fx->SetMatrix(*row, &m));
    for (const char* const* row : Standard_Texture_Rows)
        for (; *row; ++row) ok += SUCCEEDED(fx->SetTexture(*row, tex));
    ok += SUCCEEDED(fx->SetVector(Standard_Eye_Name, &eye));
    for (const char* const* row : Standard_Three_Float_Rows)
        for (; *row; ++row) ok += SUCCEEDED(fx->SetValue(*row, three, sizeof three));
    for (const char* const* row : Standard_Light_Rows)
        for (; *row; ++row) ok += SUCCEEDED(fx->SetValue(*row, &light, sizeof light));
    return ok;
}

TEST_F(Effect_Api, NamesTheEffectLacksFailWithoutAllocating) {
    Load(Fx_Corpus("passes.fx"));  // declares none of the standard names
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(
        dev.device->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr),
        D3D_OK);
    g_allocations = 0;
    g_count_allocations = true;
    const int ok = Offer_Standard_Set(fx, tex);
    D3DXMATRIX m;
    const HRESULT hr = fx->SetMatrix("World", &m);
    const D3DXHANDLE h = fx->GetParameterByName(nullptr, "WorldViewProj");
    g_count_allocations = false;
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(hr, D3DERR_INVALIDCALL);
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(g_allocations.load(), 0);
    tex->Release();
}

TEST_F(Effect_Api, DeclaredStandardNamesTakeTheirValuesWithoutAllocating) {
    Load(Fx_Corpus("probe.fx"));  // declares LIGHT and DirectionalLight
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(
        dev.device->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr),
        D3D_OK);
    g_allocations = 0;
    g_count_allocations = true;
    const int ok = Offer_Standard_Set(fx, tex);
    g_count_allocations = false;
    EXPECT_EQ(ok, 2);
    EXPECT_EQ(g_allocations.load(), 0);
    tex->Release();
}

// A fresh effect file, so that no earlier test has compiled it, drawing
// `rgba` ("r, g, b, a").
std::string Unique_Effect(const Temp_Dir& dir, const std::string& name,
                          const std::string& rgba = "1, 0, 0, 1") {
    static int serial = 0;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    const std::string tag = std::to_string(stamp) + "_" + std::to_string(++serial);
    dir.Write(name, "float4 Color_" + tag + " = {" + rgba +
                        "};\n"
                        "float4 VS(float4 p : POSITION) : POSITION { return p; }\n"
                        "float4 PS() : COLOR { return Color_" +
                        tag +
                        "; }\n"
                        "technique A { pass { VertexShader = compile vs_2_0 VS(); PixelShader = "
                        "compile ps_2_0 PS(); } }\n"
                        "technique B { pass { VertexShader = compile vs_2_0 VS(); PixelShader = "
                        "compile ps_2_0 PS(); } }\n");
    return dir.Path() + "/" + name;
}

TEST_F(Effect_Api, InstancesOfOneFileCompileItOnce) {
    Temp_Dir dir(false);
    const std::string path = Unique_Effect(dir, "fx/once.fx");
    const std::uint64_t compiles = qm_fx::Shader_Compile_Count();
    const std::uint64_t parses = qm_fx::Effect_Parse_Count();
    Load(path);
    // Two techniques with the same pass: one vertex and one pixel compile.
    EXPECT_EQ(qm_fx::Shader_Compile_Count() - compiles, 2u);
    EXPECT_EQ(qm_fx::Effect_Parse_Count() - parses, 1u);

    ID3DXEffect* second = Load_Effect(dev.device, path);
    ASSERT_NE(second, nullptr);
    ID3DXEffect* third = Load_Effect(dev.device, dir.Path() + "/FX\\ONCE.fx");
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(qm_fx::Shader_Compile_Count() - compiles, 2u);
    EXPECT_EQ(qm_fx::Effect_Parse_Count() - parses,
              2u);  // another spelling parses, compiles nothing

    // Instances share the compiled programs, not their values.
    const D3DXVECTOR4 v(0, 1, 0, 1);
    const std::string color = qm_fx::Effect_Description(fx)->parameters[0].name;
    ASSERT_EQ(second->SetVector(color.c_str(), &v), D3D_OK);
    D3DXVECTOR4 got;
    ASSERT_EQ(fx->GetVector(color.c_str(), &got), D3D_OK);
    EXPECT_EQ(got.x, 1.0f);
    second->Release();
    third->Release();
}

// With budgets of a byte, every new template makes the caches let go of every
// template and program no live effect holds. A program let go of is deleted,
// and its GL name may come back for the next one: the device must attach
// that one anew rather than take it for the program it drew with last.
TEST_F(Effect_Api, CachesLetGoOfUnusedEffectsAndKeepLiveOnes) {
    Temp_Dir dir(false);
    const std::string live = Unique_Effect(dir, "fx/live.fx");
    const std::string green = Unique_Effect(dir, "fx/green.fx", "0, 1, 0, 1");
    const std::string blue = Unique_Effect(dir, "fx/blue.fx", "0, 0, 1, 1");
    qm_fx::Set_Effect_Cache_Budgets(1, 1);
    const auto draws = [&](ID3DXEffect* effect, float r, float g, float b) {
        dev.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        dev.device->BeginScene();
        EXPECT_EQ(Draw_Effect(dev.device, effect), 1u);
        dev.device->EndScene();
        ASSERT_TRUE(dev.Capture());
        EXPECT_PIXEL_NEAR(dev, 16, 16, r, g, b);
    };
    Load(live);
    ID3DXEffect* other = Load_Effect(dev.device, green);
    ASSERT_NE(other, nullptr);
    draws(other, 0, 1, 0);
    other->Release();

    // Another spelling of the live file: a template of its own over the
    // live effect's programs, which stay (nothing compiles). The green
    // effect's template and programs go.
    const std::uint64_t compiles = qm_fx::Shader_Compile_Count();
    const std::uint64_t parses = qm_fx::Effect_Parse_Count();
    ID3DXEffect* again = Load_Effect(dev.device, dir.Path() + "/FX\\LIVE.fx");
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(qm_fx::Effect_Parse_Count() - parses, 1u);
    EXPECT_EQ(qm_fx::Shader_Compile_Count() - compiles, 0u);
    other = Load_Effect(dev.device, blue);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(qm_fx::Shader_Compile_Count() - compiles, 2u);
    draws(other, 0, 0, 1);
    other->Release();
    draws(fx, 1, 0, 0);
    draws(again, 1, 0, 0);
    again->Release();

    // The green effect compiles again, and draws.
    other = Load_Effect(dev.device, green);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(qm_fx::Shader_Compile_Count() - compiles, 4u);
    draws(other, 0, 1, 0);
    other->Release();
    qm_fx::Set_Effect_Cache_Budgets(qm_fx::k_template_cache_bytes, qm_fx::k_stage_cache_bytes);
}

TEST_F(Effect_Api, TechniquesByNameAndHandle) {
    Load(Fx_Corpus("techniques.fx"));
    // The first technique is current after creation.
    ASSERT_NE(fx->GetCurrentTechnique(), nullptr);
    EXPECT_STREQ(fx->GetCurrentTechnique(), "First");
    const D3DXHANDLE second = fx->GetTechniqueByName("Second");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(fx->SetTechnique(second), D3D_OK);
    EXPECT_EQ(fx->GetCurrentTechnique(), second);
    UINT passes = 0;
    fx->Begin(&passes, 0);
    fx->End();
    EXPECT_EQ(passes, 1u);

    // An unknown name fails and leaves the technique as it was.
    EXPECT_EQ(fx->SetTechnique("Nope"), D3DERR_INVALIDCALL);
    EXPECT_EQ(fx->SetTechnique(nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(fx->GetTechniqueByName("first"), nullptr);  // names are case-sensitive
    EXPECT_EQ(fx->GetCurrentTechnique(), second);
    fx->Begin(&passes, 0);
    fx->End();
    EXPECT_EQ(passes, 1u);

    EXPECT_EQ(fx->SetTechnique("First"), D3D_OK);
    fx->Begin(&passes, 0);
    fx->End();
    EXPECT_EQ(passes, 3u);
}

TEST_F(Effect_Api, ParameterHandlesAndTypeChecks) {
    Load(Fx_Corpus("probe.fx"));
    const D3DXHANDLE m = fx->GetParameterByName(nullptr, "M");
    ASSERT_NE(m, nullptr);
    D3DXMATRIX in, out;
    D3DXMatrixTranslation(&in, 1, 2, 3);
    EXPECT_EQ(fx->SetMatrix(m, &in), D3D_OK);
    EXPECT_EQ(fx->GetMatrix("M", &out), D3D_OK);
    EXPECT_TRUE(out == in);

    // A float4x3 keeps its 4x3 part; the rest reads as identity.
    D3DXMATRIX full(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    EXPECT_EQ(fx->SetMatrix("M43", &full), D3D_OK);
    EXPECT_EQ(fx->GetMatrix("M43", &out), D3D_OK);
    EXPECT_TRUE(out == D3DXMATRIX(1, 2, 3, 0, 5, 6, 7, 0, 9, 10, 11, 0, 13, 14, 15, 1));

    const D3DXVECTOR4 v(1, 2, 3, 4);
    D3DXVECTOR4 got;
    EXPECT_EQ(fx->SetVector("V3", &v), D3D_OK);
    EXPECT_EQ(fx->GetVector("V3", &got), D3D_OK);
    EXPECT_EQ(got.x, 1);
    EXPECT_EQ(got.z, 3);
    EXPECT_EQ(got.w, 0);

    // Conversions between the scalar setters and the parameter's type.
    INT i = 0;
    FLOAT f = 0;
    BOOL b = FALSE;
    EXPECT_EQ(fx->SetFloat("I", 3.75f), D3D_OK);
    EXPECT_EQ(fx->GetInt("I", &i), D3D_OK);
    EXPECT_EQ(i, 3);
    EXPECT_EQ(fx->SetInt("S", 2), D3D_OK);
    EXPECT_EQ(fx->GetFloat("S", &f), D3D_OK);
    EXPECT_EQ(f, 2.0f);
    EXPECT_EQ(fx->SetFloat("B", 0.0f), D3D_OK);
    EXPECT_EQ(fx->GetBool("B", &b), D3D_OK);
    EXPECT_EQ(b, FALSE);

    // SetValue copies up to the parameter's size; GetValue reads it back.
    const float big[8] = {9, 8, 7, 6, 5, 4, 3, 2};
    EXPECT_EQ(fx->SetValue("V", big, sizeof big), D3D_OK);
    float back[4] = {};
    EXPECT_EQ(fx->GetValue("V", back, sizeof back), D3D_OK);
    EXPECT_EQ(back[0], 9);
    EXPECT_EQ(back[3], 6);

    // Calls that do not fit the parameter are refused.
    EXPECT_EQ(fx->SetMatrix("V", &in), D3DERR_INVALIDCALL);
    EXPECT_EQ(fx->SetVector("M", &v), D3DERR_INVALIDCALL);
    EXPECT_EQ(fx->SetTexture("V", nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(fx->SetFloat("LIGHT", 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(fx->SetMatrix("M", nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(fx->SetValue("V", nullptr, 16), D3DERR_INVALIDCALL);
    EXPECT_EQ(fx->GetFloat("S", nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(fx->SetFloat(nullptr, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(fx->GetParameterByName(m, "x"), nullptr);
}

TEST_F(Effect_Api, BeginAndPassCallsInTheWrongOrderFail) {
    Load(Fx_Corpus("techniques.fx"));
    UINT passes = 0;
    EXPECT_EQ(fx->BeginPass(0), D3DERR_INVALIDCALL);
    EXPECT_EQ(fx->EndPass(), D3DERR_INVALIDCALL);
    EXPECT_EQ(fx->End(), D3DERR_INVALIDCALL);
    EXPECT_EQ(fx->CommitChanges(), D3DERR_INVALIDCALL);
    ASSERT_EQ(fx->Begin(&passes, 0), D3D_OK);
    EXPECT_EQ(fx->Begin(&passes, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(fx->BeginPass(passes), D3DERR_INVALIDCALL);
    ASSERT_EQ(fx->BeginPass(0), D3D_OK);
    EXPECT_EQ(fx->BeginPass(1), D3DERR_INVALIDCALL);
    EXPECT_EQ(fx->CommitChanges(), D3D_OK);
    EXPECT_EQ(fx->EndPass(), D3D_OK);
    EXPECT_EQ(fx->End(), D3D_OK);
    // Releasing in the middle of a pass ends it.
    ASSERT_EQ(fx->Begin(nullptr, 0), D3D_OK);
    ASSERT_EQ(fx->BeginPass(1), D3D_OK);
}

TEST_F(Effect_Api, CreationFailsCleanly) {
    ID3DXEffect* out = reinterpret_cast<ID3DXEffect*>(1);
    EXPECT_EQ(
        D3DXCreateEffectFromFileA(nullptr, "x.fx", nullptr, nullptr, 0, nullptr, &out, nullptr),
        D3DERR_INVALIDCALL);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(
        D3DXCreateEffectFromFileA(dev.device, nullptr, nullptr, nullptr, 0, nullptr, &out, nullptr),
        D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateEffectFromFileA(dev.device, "x.fx", nullptr, nullptr, 0, nullptr, nullptr,
                                        nullptr),
              D3DERR_INVALIDCALL);

    // A missing file: a negative result and one line on stderr.
    ::testing::internal::CaptureStderr();
    const HRESULT hr = D3DXCreateEffectFromFileA(dev.device, "fx\\shadow\\nothing.fx", nullptr,
                                                 nullptr, 0, nullptr, &out, nullptr);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_LT(hr, 0);
    EXPECT_EQ(out, nullptr);
    EXPECT_NE(err.find("cannot open effect file 'fx\\shadow\\nothing.fx'"), std::string::npos)
        << err;

    // Bytes that are not an effect at all.
    Temp_Dir dir(false);
    std::string junk(4096, '\0');
    for (std::size_t k = 0; k < junk.size(); ++k) junk[k] = static_cast<char>((k * 7919) & 0xFF);
    dir.Write("junk.fx", junk);
    ID3DXBuffer* errors = nullptr;
    ::testing::internal::CaptureStderr();
    EXPECT_LT(D3DXCreateEffectFromFileA(dev.device, (dir.Path() + "/junk.fx").c_str(), nullptr,
                                        nullptr, 0, nullptr, &out, &errors),
              0);
    ::testing::internal::GetCapturedStderr();
    ASSERT_NE(errors, nullptr);
    EXPECT_NE(
        std::string(static_cast<const char*>(errors->GetBufferPointer())).find("junk.fx(1): error"),
        std::string::npos);
    errors->Release();
}

TEST_F(Effect_Api, MacrosFromTheCallerReachThePreprocessor) {
    Temp_Dir dir(false);
    dir.Write(
        "m.fx",
        "#ifdef RED\ntechnique Red_Tech { pass { } }\n#else\ntechnique Other { pass { } }\n#endif\n"
        "float Level = LEVEL;\n");
    const D3DXMACRO macros[] = {{"RED", nullptr}, {"LEVEL", "4"}, {nullptr, nullptr}};
    ASSERT_EQ(D3DXCreateEffectFromFileA(dev.device, (dir.Path() + "/m.fx").c_str(), macros, nullptr,
                                        0, nullptr, &fx, nullptr),
              D3D_OK);
    EXPECT_NE(fx->GetTechniqueByName("Red_Tech"), nullptr);
    FLOAT level = 0;
    EXPECT_EQ(fx->GetFloat("Level", &level), D3D_OK);
    EXPECT_EQ(level, 4.0f);
}

}  // namespace
