// What each fuzzer feeds its input to: the parsers that read content files.
// The libFuzzer programs (built by scripts/fuzz.sh with clang) and the seed
// replay of the normal test run call the same functions.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qm_fuzz {

// The .x reader: text, binary and compressed meshes.
void Read_X_Mesh(const std::uint8_t* data, std::size_t size);
// Texture files: DDS and every picture format of the image decoder.
void Read_Texture(const std::uint8_t* data, std::size_t size);
// The effect preprocessor and parser, on an effect file's text.
void Read_Effect(const std::uint8_t* data, std::size_t size);

}  // namespace qm_fuzz
