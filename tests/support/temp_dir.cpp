#include "support/temp_dir.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <unistd.h>

namespace fs = std::filesystem;

Temp_Dir::Temp_Dir(bool enter) : entered_(enter) {
    std::string pattern = (fs::temp_directory_path() / "quillmoor-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    if (entered_) {
        previous_ = fs::current_path().string();
        fs::current_path(path_);
    }
}

Temp_Dir::~Temp_Dir() {
    std::error_code ignored;
    if (entered_) fs::current_path(previous_, ignored);
    fs::remove_all(path_, ignored);
}

void Temp_Dir::Write(const std::string& relative, const std::string& bytes) const {
    fs::path file = fs::path(path_) / relative;
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out << bytes;
}

std::string Temp_Dir::Read(const std::string& relative) const {
    std::ifstream in(fs::path(path_) / relative, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Temp_Dir::Exists(const std::string& relative) const {
    return fs::exists(fs::path(path_) / relative);
}

std::vector<std::string> Split_Crlf_Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}
