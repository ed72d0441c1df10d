// The seed replay of the normal test run: the files a fuzzer starts from and
// every input it ever crashed on, fed to its target function whole and cut
// short at several lengths.
#pragma once

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

namespace qm_fuzz {

namespace fs = std::filesystem;

// The regular files under `folders` whose extension is `extension` (any when
// empty, compared without case); READMEs are not inputs.
inline std::vector<fs::path> Files(const std::vector<fs::path>& folders,
                                   const std::string& extension) {
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

// Feeds each file whole and cut at a few fractions of its length; returns how
// many inputs ran.
template <typename Target>
int Replay(const std::vector<fs::path>& files, Target target,
           std::initializer_list<std::size_t> divisors = {1, 2, 7}) {
    int inputs = 0;
    for (const fs::path& path : files) {
        std::ifstream in(path, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        std::vector<std::size_t> cuts;
        for (std::size_t d : divisors) cuts.push_back(bytes.size() / d);
        cuts.push_back(17);
        for (std::size_t cut : cuts) {
            if (cut > bytes.size()) continue;
            target(reinterpret_cast<const std::uint8_t*>(bytes.data()), cut);
            ++inputs;
        }
    }
    return inputs;
}

}  // namespace qm_fuzz
