// The engine readers' fuzz targets (the level, effect lists, "ini.txt") on
// their seeds and on every input their fuzzers ever crashed on, whole and cut
// short, in a temporary folder of their own.
#include <gtest/gtest.h>

#include "fuzz/fuzz_replay.h"
#include "fuzz/fuzz_targets.h"
#include "scene_support.h"
#include "support/temp_dir.h"

namespace {

using qm_fuzz::Files;
using qm_fuzz::Replay;
namespace fs = std::filesystem;
const fs::path k_source = QM_SOURCE_DIR;

std::vector<fs::path> With_Regressions(std::vector<fs::path> files, const char* target) {
    for (const fs::path& p : Files({k_source / "tests/fuzz/regressions" / target}, ""))
        files.push_back(p);
    return files;
}

TEST(Fuzz_Seeds, EngineReadersWholeAndCutShort) {
    Scene_Fixture_State state;
    Temp_Dir dir;
    EXPECT_GT(Replay(With_Regressions(Files({k_source / "data/levels"}, ""), "level"),
                     qm_fuzz::Read_Level),
              3);
    EXPECT_GT(Replay(With_Regressions(Files({k_source / "data/fx/lists"}, ""), "effect_list"),
                     qm_fuzz::Read_Effect_List),
              15);
    EXPECT_GT(
        Replay(With_Regressions({k_source / "data/ini.txt"}, "settings"), qm_fuzz::Read_Settings),
        3);
}

}  // namespace
