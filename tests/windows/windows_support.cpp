#include "windows/windows_support.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

#include "support/temp_dir.h"

std::string Windows_Build() {
    const char* build = std::getenv("QM_WINDOWS_BUILD");
    return build ? build : "";
}

Process_Result Run_Wine(const std::string& program, const std::vector<std::string>& args,
                        const std::string& folder, int timeout_seconds) {
    const char* wine = std::getenv("QM_WINE");
    std::vector<std::string> argv = {wine ? wine : "wine64", Windows_Build() + "/" + program};
    argv.insert(argv.end(), args.begin(), args.end());
    Process_Options options;
    options.Working_Dir = folder;
    options.Timeout_Seconds = timeout_seconds;
    options.Environment = {"WINEDEBUG=-all"};
    return Run_Process(argv, options);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    // Wine's console leaves a line of blanks after a program's output.
    while (!lines.empty() && lines.back().find_first_not_of(" \t") == std::string::npos)
        lines.pop_back();
    return lines;
}

std::vector<std::string> Log_Lines_Without_Times(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::vector<std::string> lines = Lines(text.str());
    static const std::regex stamp(R"(\|(DATE=|TIME=)?[0-9]+[-:][0-9]+[-:][0-9]+(:[0-9]+)?\|)");
    for (std::string& line : lines) line = std::regex_replace(line, stamp, "|*|");
    return lines;
}

void Copy_Sample_Without_Effect_Lists(const std::string& to) {
    Copy_Tree(Source_Dir() + "/data", to);
    const std::string level = to + "/levels/map_new.txt";
    std::ifstream in(level, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    in.close();
    std::string kept;
    std::istringstream lines(text.str());
    std::string line;
    while (std::getline(lines, line))
        if (line.find("[shader]") == std::string::npos) kept += line + "\n";
    std::ofstream(level, std::ios::binary) << kept;
}

Picture_Difference Compare_Pictures(const Png_Image& a, const Png_Image& b, int x0, int y0, int x1,
                                    int y1, int near) {
    Picture_Difference result;
    long long total = 0, pixels = 0, near_pixels = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const unsigned pa = a.Pixel(x, y), pb = b.Pixel(x, y);
            int worst = 0;
            for (int shift = 0; shift < 24; shift += 8) {
                const int d = std::abs(int((pa >> shift) & 0xFF) - int((pb >> shift) & 0xFF));
                total += d;
                worst = std::max(worst, d);
            }
            ++pixels;
            near_pixels += worst <= near;
        }
    if (pixels > 0) {
        result.Mean = double(total) / double(pixels * 3);
        result.Share_Near = double(near_pixels) / double(pixels);
    }
    return result;
}
