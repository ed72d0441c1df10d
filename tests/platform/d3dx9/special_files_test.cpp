// FIFOs and endless devices named as texture, model and effect files: each
// loader fails at once, exactly as it does for a missing file.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "platform/d3dx9.h"
#include "support/temp_dir.h"
#include "support/test_device.h"

namespace {

namespace fs = std::filesystem;

class Special_Files : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gpu.Ok()) << gpu.Error();
        ASSERT_EQ(mkfifo((dir.Path() + "/pipe").c_str(), 0600), 0);
        fs::create_symlink("/dev/zero", dir.Path() + "/zero");
    }

    Temp_Dir dir;
    Test_Device gpu{32, 32};
};

// The names each loader is given: a FIFO and /dev/zero, under any
// extension, and a name that does not exist for comparison.
const char* const k_special[] = {"pipe", "PIPE", "zero", "Zero"};

HRESULT Load_Texture(IDirect3DDevice9* device, const char* name) {
    IDirect3DTexture9* texture = nullptr;
    const HRESULT hr = D3DXCreateTextureFromFileA(device, name, &texture);
    EXPECT_EQ(texture, nullptr) << name;
    if (texture) texture->Release();
    return hr;
}

HRESULT Load_Mesh(IDirect3DDevice9* device, const char* name) {
    ID3DXMesh* mesh = nullptr;
    ID3DXBuffer* materials = nullptr;
    DWORD count = 0;
    const HRESULT hr = D3DXLoadMeshFromXA(name, D3DXMESH_SYSTEMMEM, device, nullptr, &materials,
                                          nullptr, &count, &mesh);
    EXPECT_EQ(mesh, nullptr) << name;
    EXPECT_EQ(materials, nullptr) << name;
    if (mesh) mesh->Release();
    if (materials) materials->Release();
    return hr;
}

// The result and the error text of an effect file.
std::string Load_Effect(IDirect3DDevice9* device, const char* name, HRESULT* hr) {
    ID3DXEffect* effect = nullptr;
    ID3DXBuffer* errors = nullptr;
    ::testing::internal::CaptureStderr();
    *hr = D3DXCreateEffectFromFileA(device, name, nullptr, nullptr, 0, nullptr, &effect, &errors);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(effect, nullptr) << name;
    if (effect) effect->Release();
    std::string text;
    if (errors) {
        text = static_cast<const char*>(errors->GetBufferPointer());
        errors->Release();
    }
    return text;
}

}  // namespace

TEST_F(Special_Files, TexturesAndModelsFailAsMissingFiles) {
    const HRESULT missing_texture = Load_Texture(gpu.device, "none");
    const HRESULT missing_mesh = Load_Mesh(gpu.device, "none");
    ASSERT_LT(missing_texture, 0);
    ASSERT_LT(missing_mesh, 0);
    for (const char* name : k_special) {
        EXPECT_EQ(Load_Texture(gpu.device, name), missing_texture) << name;
        EXPECT_EQ(Load_Mesh(gpu.device, name), missing_mesh) << name;
    }
}

TEST_F(Special_Files, EffectsAndTheirIncludesFailAsMissingFiles) {
    HRESULT missing = S_OK;
    const std::string missing_text = Load_Effect(gpu.device, "none", &missing);
    ASSERT_LT(missing, 0);
    ASSERT_NE(missing_text.find("cannot open effect file 'none'"), std::string::npos)
        << missing_text;
    for (const char* name : k_special) {
        HRESULT hr = S_OK;
        const std::string text = Load_Effect(gpu.device, name, &hr);
        EXPECT_EQ(hr, missing) << name;
        EXPECT_EQ(text, "error: cannot open effect file '" + std::string(name) + "'\n") << name;
    }

    // The same effect including a file that is missing, a FIFO, an endless
    // device: the same error, naming the include.
    for (const char* include : {"none", "pipe", "zero"}) {
        dir.Write("main.fx", std::string("#include \"") + include +
                                 "\"\n"
                                 "technique T { pass P { } }\n");
        HRESULT hr = S_OK;
        const std::string text = Load_Effect(gpu.device, "main.fx", &hr);
        EXPECT_LT(hr, 0) << include;
        EXPECT_NE(
            text.find(std::string("main.fx(1): error: cannot open include file '") + include + "'"),
            std::string::npos)
            << text;
    }
}
