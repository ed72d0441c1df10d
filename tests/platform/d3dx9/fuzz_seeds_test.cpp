// The fuzzers' entry functions on their seed files and on every input a
// fuzzer ever crashed on (tests/fuzz/regressions/TARGET/), whole and cut
// short at several lengths, so that the normal and the sanitizer runs replay
// them all.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzz_targets.h"

namespace {

namespace fs = std::filesystem;
const fs::path kSource = QM_SOURCE_DIR;

std::vector<fs::path> Files(const std::vector<fs::path>& folders, const std::string& extension) {
    std::vector<fs::path> out;
    for (const fs::path& folder : folders) {
        std::error_code error;
        for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error)) {
            if (!it->is_regular_file() || it->path().filename() == "README") continue;
            std::string ext = it->path().extension().string();
            for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
            if (extension.empty() || ext == extension) out.push_back(it->path());
        }
    }
    return out;
}

// Feeds each file whole and cut at a few lengths; returns how many inputs ran.
template <typename Target>
int Replay(const std::vector<fs::path>& files, Target target) {
    int inputs = 0;
    for (const fs::path& path : files) {
        std::ifstream in(path, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        for (std::size_t cut : {bytes.size(), bytes.size() / 2, bytes.size() / 7, std::size_t{17}}) {
            if (cut > bytes.size()) continue;
            target(reinterpret_cast<const std::uint8_t*>(bytes.data()), cut);
            ++inputs;
        }
    }
    return inputs;
}

}  // namespace

TEST(Fuzz_Seeds, XMeshesWholeAndCutShort) {
    const auto files = Files({kSource / "data", kSource / "tests/data/x",
                              kSource / "tests/fuzz/regressions/x_mesh"}, ".x");
    EXPECT_GT(Replay(files, qm_fuzz::Read_X_Mesh), 20);
}

TEST(Fuzz_Seeds, TexturesWholeAndCutShort) {
    std::vector<fs::path> files = Files({kSource / "data/textures"}, "");
    files.push_back(kSource / "data/blank.bmp");
    for (const fs::path& p : Files({kSource / "tests/fuzz/regressions/texture"}, "")) files.push_back(p);
    EXPECT_GT(Replay(files, qm_fuzz::Read_Texture), 20);
}

TEST(Fuzz_Seeds, EffectsWholeAndCutShort) {
    std::vector<fs::path> files = Files({kSource / "data/fx", kSource / "tests/fx"}, ".fx");
    for (const fs::path& p : Files({kSource / "tests/fuzz/regressions/effect"}, "")) files.push_back(p);
    EXPECT_GT(Replay(files, qm_fuzz::Read_Effect), 40);
}
