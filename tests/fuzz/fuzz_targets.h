// What each fuzzer feeds its input to: the parsers that read content files.
// The libFuzzer programs (built by scripts/fuzz.sh with clang) and the seed
// replay of the normal test run call the same functions.
#pragma once

#include <cstddef>
#include <cstdint>

struct IDirect3DDevice9;

namespace qm_fuzz {

// The .x reader: text, binary and compressed meshes.
void Read_X_Mesh(const std::uint8_t* data, std::size_t size);
// Texture files: DDS and every picture format of the image decoder.
void Read_Texture(const std::uint8_t* data, std::size_t size);
// The effect preprocessor and parser, on an effect file's text.
void Read_Effect(const std::uint8_t* data, std::size_t size);

// The targets below read their input from a file they write into the working
// directory, as the engine reads its content: run them in a folder of their
// own (Enter_Private_Folder in the fuzzers, a temporary folder in the tests).

// D3DXCreateEffectFromFileA on the input as "fuzz.fx": preprocessor, parser,
// translation in the compile worker and the GL driver's compiler. A crash of
// the worker, or a compile it had to cut off, aborts: the isolation is the
// engine's backstop, and the effect should have been refused before.
void Create_Effect(IDirect3DDevice9* device, const std::uint8_t* data, std::size_t size);

// The engine's readers (fuzz_engine_targets.cpp, linked with the engine): the
// level file, an effect list named by a level object, and "ini.txt". Message
// boxes are counted, not shown; every record they make is freed.
void Read_Level(const std::uint8_t* data, std::size_t size);
void Read_Effect_List(const std::uint8_t* data, std::size_t size);
void Read_Settings(const std::uint8_t* data, std::size_t size);

// Writes `size` bytes to `name` in the working directory.
void Write_Input(const char* name, const std::uint8_t* data, std::size_t size);

// Makes a new folder under the system's temporary folder the working
// directory, and removes it when the process ends normally.
void Enter_Private_Folder();

}  // namespace qm_fuzz
