// The fuzzers' entry functions on their seed files and on every input a
// fuzzer ever crashed on (tests/fuzz/regressions/TARGET/), whole and cut
// short at several lengths, so that the normal and the sanitizer runs replay
// them all.
#include <gtest/gtest.h>

#include "fuzz/fuzz_replay.h"
#include "fuzz/fuzz_targets.h"
#include "support/temp_dir.h"
#include "support/test_device.h"

namespace {

using qm_fuzz::Files;
using qm_fuzz::Replay;
namespace fs = std::filesystem;
const fs::path k_source = QM_SOURCE_DIR;

TEST(Fuzz_Seeds, XMeshesWholeAndCutShort) {
    const auto files = Files(
        {k_source / "data", k_source / "tests/data/x", k_source / "tests/fuzz/regressions/x_mesh"},
        ".x");
    EXPECT_GT(Replay(files, qm_fuzz::Read_X_Mesh), 20);
}

TEST(Fuzz_Seeds, TexturesWholeAndCutShort) {
    std::vector<fs::path> files = Files({k_source / "data/textures"}, "");
    files.push_back(k_source / "data/blank.bmp");
    for (const fs::path& p : Files({k_source / "tests/fuzz/regressions/texture"}, ""))
        files.push_back(p);
    EXPECT_GT(Replay(files, qm_fuzz::Read_Texture), 20);
}

TEST(Fuzz_Seeds, EffectsWholeAndCutShort) {
    std::vector<fs::path> files = Files({k_source / "data/fx", k_source / "tests/fx"}, ".fx");
    for (const fs::path& p : Files({k_source / "tests/fuzz/regressions/effect"}, ""))
        files.push_back(p);
    EXPECT_GT(Replay(files, qm_fuzz::Read_Effect), 40);
}

TEST(Fuzz_Seeds, EffectsCreatedOnTheDeviceWholeAndCutShort) {
    Test_Device device(16, 16);
    ASSERT_TRUE(device.Ok()) << device.Error();
    Temp_Dir dir;
    std::vector<fs::path> files = Files({k_source / "data/fx"}, ".fx");
    for (const fs::path& p : Files({k_source / "tests/fuzz/regressions/effect_create"}, ""))
        files.push_back(p);
    auto create = [&device](const std::uint8_t* data, std::size_t size) {
        qm_fuzz::Create_Effect(device.device, data, size);
    };
    // Whole and halved: each whole sample compiles through the worker and
    // the driver, which is what takes the time here.
    EXPECT_GT(Replay(files, create, {1, 2}), 15);
}

}  // namespace
