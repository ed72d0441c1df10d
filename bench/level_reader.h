// The part of a Quillmoor level file that the comparison programs need
// (bench/peer_irrlicht.cpp and bench/minimal_gl.cpp): the camera, every
// static mesh with its position and every light with its position, colours
// and range. Both programs read the same generated levels the engine reads,
// so all three draw one scene by construction. Header-only and independent of
// the engine: the peer program is built without it.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

namespace bench {

struct Level_Object {
    std::string model;  // as written, '\' turned into '/'
    float x = 0, y = 0, z = 0;
};

struct Level_Light {
    float x = 0, y = 0, z = 0;
    float diffuse[4] = {2, 2, 2, 2};  // the engine's defaults for a light block
    float ambient[4] = {2, 2, 2, 2};
    float range = 300;
};

struct Level {
    float camera_pos[3] = {0, 0, 0};
    float camera_look[3] = {0, 0, 1};
    std::vector<Level_Object> objects;
    std::vector<Level_Light> lights;
};

// "[key]=value" lines with blanks removed; anything else is a comment.
inline bool Read_Level(const char* path, Level* out) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    std::map<std::string, std::string> block;
    bool in_block = false;
    char raw[1024];
    while (std::fgets(raw, sizeof raw, file)) {
        std::string line;
        for (const char* p = raw; *p; ++p)
            if (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n') line += *p;
        if (line.empty() || line[0] != '[') continue;
        const std::size_t close = line.find(']');
        if (close == std::string::npos) continue;
        const std::string key = line.substr(1, close - 1);
        const std::string value = close + 2 <= line.size() ? line.substr(close + 2) : "";
        const float number = static_cast<float>(std::atof(value.c_str()));
        if (key == "CameraPosX")
            out->camera_pos[0] = number;
        else if (key == "CameraPosY")
            out->camera_pos[1] = number;
        else if (key == "CameraPosZ")
            out->camera_pos[2] = number;
        else if (key == "CameraLookX")
            out->camera_look[0] = number;
        else if (key == "CameraLookY")
            out->camera_look[1] = number;
        else if (key == "CameraLookZ")
            out->camera_look[2] = number;
        else if (key == "object") {
            in_block = true;
            block.clear();
        } else if (key == "/object" && in_block) {
            in_block = false;
            auto f = [&](const char* name, float fallback) {
                auto it = block.find(name);
                return it == block.end() ? fallback
                                         : static_cast<float>(std::atof(it->second.c_str()));
            };
            const std::string type = block.count("type") ? block["type"] : "static_mesh";
            if (type == "static_mesh") {
                Level_Object o;
                o.model = block["name"];
                for (char& c : o.model)
                    if (c == '\\') c = '/';
                o.x = f("x", 0);
                o.y = f("y", 0);
                o.z = f("z", 0);
                out->objects.push_back(o);
            } else if (type == "point_light") {
                Level_Light l;
                l.x = f("x", 0);
                l.y = f("y", 0);
                l.z = f("z", 0);
                const char* channels = "rgba";
                for (int c = 0; c < 4; ++c) {
                    l.diffuse[c] = f(("light_Diffuse_" + std::string(1, channels[c])).c_str(), 2);
                    l.ambient[c] = f(("light_Ambient_" + std::string(1, channels[c])).c_str(), 2);
                }
                l.range = f("light_Range", 300);
                out->lights.push_back(l);
            }
        } else if (in_block) {
            block[key] = value;
        }
    }
    std::fclose(file);
    return true;
}

// Peak resident set size of this process in KiB (VmHWM), 0 if unknown.
inline long Peak_Rss_Kib() {
    FILE* file = std::fopen("/proc/self/status", "r");
    if (!file) return 0;
    char line[256];
    long kib = 0;
    while (std::fgets(line, sizeof line, file))
        if (std::sscanf(line, "VmHWM: %ld kB", &kib) == 1) break;
    std::fclose(file);
    return kib;
}

// The command line both comparison programs take, and the level of the
// folder it names: 0 to go on, otherwise the exit status.
struct Run_Options {
    long frames = 300;
    const char* screenshot = nullptr;
    float walk = 0;  // --walk: scene units along the look per frame, as the engine's option
    Level level;
};

// The engine's --walk step, once per frame before it is drawn: the eye moves
// `step` along the unit viewing direction, whatever the frame time.
inline void Walk_Camera(Level* level, float step) {
    float* look = level->camera_look;
    const float length = std::sqrt(look[0] * look[0] + look[1] * look[1] + look[2] * look[2]);
    if (length > 0)
        for (int i = 0; i < 3; ++i) level->camera_pos[i] += look[i] / length * step;
}

inline int Start_Run(const char* program, int argc, char** argv, Run_Options* out) {
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--dir") && i + 1 < argc) {
            if (chdir(argv[++i]) != 0) {
                std::perror(argv[i]);
                return 1;
            }
        } else if (!std::strcmp(argv[i], "--frames") && i + 1 < argc) {
            out->frames = std::atol(argv[++i]);
        } else if (!std::strcmp(argv[i], "--screenshot") && i + 1 < argc) {
            out->screenshot = argv[++i];
        } else if (!std::strcmp(argv[i], "--walk") && i + 1 < argc) {
            char* end = nullptr;
            const double step = std::strtod(argv[++i], &end);
            if (end == argv[i] || *end || !std::isfinite(step) || std::fabs(step) > 15000) {
                std::fprintf(stderr, "%s: --walk needs a number from -15000 to 15000, not '%s'\n",
                             program, argv[i]);
                return 2;
            }
            out->walk = static_cast<float>(step);
        } else {
            std::fprintf(stderr,
                         "usage: %s [--dir DIR] [--frames N] [--screenshot FILE] [--walk STEP]\n",
                         program);
            return 2;
        }
    }
    if (!Read_Level("levels/map_new.txt", &out->level)) {
        std::fprintf(stderr, "%s: no levels/map_new.txt here\n", program);
        return 1;
    }
    return 0;
}

}  // namespace bench
