#include "fuzz_targets.h"

#include <string>

#include "platform/d3dx9/effect_parser.h"
#include "platform/d3dx9/effect_preprocessor.h"
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

}  // namespace qm_fuzz
