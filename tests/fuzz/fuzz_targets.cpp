#include "fuzz_targets.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/d3dx9.h"
#include "platform/d3dx9/effect_inspect.h"
#include "platform/fx/compile/isolation.h"
#include "platform/fx/front/parser.h"
#include "platform/fx/front/preprocessor.h"
#include "platform/d3dx9/mesh_x.h"
#include "platform/d3dx9/texture_image.h"

namespace qm_fuzz {

void Read_X_Mesh(const std::uint8_t* data, std::size_t size) {
    X_Mesh out;
    X_Load_Mesh(data, size, &out);
}

void Read_Texture(const std::uint8_t* data, std::size_t size) {
    // Small limits keep each input quick; the refusal paths are the same.
    Texture_Limits limits;
    limits.max_edge = 1024;
    limits.max_bytes = std::size_t{16} << 20;
    Texture_Image image;
    Decode_Texture(data, size, &image, limits);
}

void Read_Effect(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    // An include names the input itself, so that nesting is reached too.
    auto reader = [&text](const std::string&, std::string* contents) {
        *contents = text;
        return true;
    };
    qm_fx::Token_Stream tokens;
    qm_fx::Diagnostics diagnostics;
    if (!qm_fx::Preprocess_Text("fuzz.fx", text, {}, reader, &tokens, &diagnostics)) return;
    qm_fx::Effect_Desc desc;
    qm_fx::Parse_Effect(tokens, &desc, &diagnostics);
}

void Create_Effect(IDirect3DDevice9* device, const std::uint8_t* data, std::size_t size) {
    Write_Input("fuzz.fx", data, size);
    const std::uint64_t worker_failures = qm_fx::Worker_Failure_Count();
    ID3DXEffect* effect = nullptr;
    ID3DXBuffer* errors = nullptr;
    const HRESULT hr = D3DXCreateEffectFromFileA(device, "fuzz.fx", nullptr, nullptr, 0, nullptr,
                                                 &effect, &errors);
    std::string text;
    if (errors) {
        text.assign(static_cast<const char*>(errors->GetBufferPointer()));
        errors->Release();
    }
    // The worker failing means the effect reached code that should never
    // have been handed it. (Counted, not read from the messages: those quote
    // the effect's own text.)
    if (qm_fx::Worker_Failure_Count() != worker_failures) {
        std::fprintf(stderr, "fuzz: the compile worker failed:\n%s\n", text.c_str());
        std::abort();
    }
    if (FAILED(hr)) return;
    // Every pass of every technique applies its states and shaders once.
    const qm_fx::Effect_Desc* desc = qm_fx::Effect_Description(effect);
    if (desc && SUCCEEDED(device->BeginScene())) {
        for (const qm_fx::Technique& technique : desc->techniques) {
            if (FAILED(effect->SetTechnique(effect->GetTechniqueByName(technique.name.c_str()))))
                continue;
            UINT passes = 0;
            if (FAILED(effect->Begin(&passes, 0))) continue;
            for (UINT p = 0; p < passes; ++p) {
                if (SUCCEEDED(effect->BeginPass(p))) effect->EndPass();
            }
            effect->End();
        }
        device->EndScene();
    }
    effect->Release();
}

void Write_Input(const char* name, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

namespace {

std::string g_private_folder;

void Remove_Private_Folder() {
    std::error_code ignored;
    std::filesystem::remove_all(g_private_folder, ignored);
}

}  // namespace

void Enter_Private_Folder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quillmoor-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data()) || chdir(pattern.c_str()) != 0) {
        std::perror("fuzz: no private folder");
        std::exit(1);
    }
    g_private_folder = pattern;
    std::atexit(Remove_Private_Folder);
}

}  // namespace qm_fuzz
