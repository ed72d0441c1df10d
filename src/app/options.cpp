#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/globals.h"
#include "camera/camera.h"
#include "scene/build.h"

App_Options Main_Options = {nullptr, false, -1, nullptr, false, false, false, 0.0f};

namespace {

std::vector<std::string> Problems;
bool Screenshot_Done = false;

// A walk step beyond the far plane would leave every frame empty.
const double Walk_Step_Limit = Camera_Far;

const char Usage[] =
    "Usage: quillmoor [options]\n"
    "Runs the game folder in the working directory (ini.txt, %s, ...).\n"
    "\n"
    "  --dir DIR          change to DIR before anything else\n"
    "  --headless         no window: render offscreen, message boxes go to stderr\n"
    "  --frames N         quit after N frames, as Escape does, and print the frame rate\n"
    "  --screenshot FILE  at exit, write the last presented frame as PNG\n"
    "  --walk STEP        every frame, move the camera STEP units along its view\n"
    "  --dump-scene       load the scene headless, print it as JSON and exit\n"
    "  --check            load everything headless, list every problem, exit 1 if any\n"
    "  --watch            reload effects, textures, models and the level when saved\n"
    "  --help             show this text\n"
    "  --version          show the version\n";

}  // namespace

int App_Parse_Options(int argc, char** argv, App_Options* options, FILE* out, FILE* err) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(err, "quillmoor: option %s needs a value\n", name);
                return nullptr;
            }
            return argv[++i];
        };
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            std::fprintf(out, Usage, Level_Path);
            return 1;
        } else if (std::strcmp(arg, "--version") == 0) {
            std::fprintf(out, "quillmoor %s\n", QM_VERSION);
            return 1;
        } else if (std::strcmp(arg, "--headless") == 0) {
            options->Headless = true;
        } else if (std::strcmp(arg, "--dump-scene") == 0) {
            options->Dump_Scene = true;
        } else if (std::strcmp(arg, "--check") == 0) {
            options->Check = true;
        } else if (std::strcmp(arg, "--watch") == 0) {
            options->Watch = true;
        } else if (std::strcmp(arg, "--dir") == 0) {
            if (!(options->Dir = value(arg))) return 2;
        } else if (std::strcmp(arg, "--screenshot") == 0) {
            if (!(options->Screenshot = value(arg))) return 2;
        } else if (std::strcmp(arg, "--frames") == 0) {
            const char* text = value(arg);
            if (!text) return 2;
            char* end = nullptr;
            errno = 0;
            long frames = std::strtol(text, &end, 10);
            if (end == text || *end != '\0' || errno != 0 || frames < 0) {
                std::fprintf(
                    err, "quillmoor: --frames needs a whole number of 0 or more, not '%s'\n", text);
                return 2;
            }
            options->Frames = frames;
        } else if (std::strcmp(arg, "--walk") == 0) {
            const char* text = value(arg);
            if (!text) return 2;
            char* end = nullptr;
            errno = 0;
            const double step = std::strtod(text, &end);
            if (end == text || *end != '\0' || errno != 0 || !std::isfinite(step) ||
                std::fabs(step) > Walk_Step_Limit) {
                std::fprintf(err,
                             "quillmoor: --walk needs a number of scene units from -%g to %g, "
                             "not '%s'\n",
                             Walk_Step_Limit, Walk_Step_Limit, text);
                return 2;
            }
            options->Walk = static_cast<float>(step);
        } else {
            std::fprintf(err, "quillmoor: unknown option '%s' (see --help)\n", arg);
            return 2;
        }
    }
    return 0;
}

void App_Report_Problem(const char* caption, const char* text) {
    char caption_utf8[256];
    char text_utf8[1024];
    Platform_Cp1251_To_Utf8(caption, caption_utf8, sizeof caption_utf8);
    Platform_Cp1251_To_Utf8(text, text_utf8, sizeof text_utf8);
    Problems.push_back(std::string(caption_utf8) + ": " + text_utf8);
}

int App_Problem_Count() {
    return static_cast<int>(Problems.size());
}

void App_Print_Problems(FILE* out) {
    for (const std::string& problem : Problems) std::fprintf(out, "%s\n", problem.c_str());
}

void App_Save_Reload_Screenshot() {
    if (!Main_Options.Screenshot || !Main_Device) return;
    const std::string part = std::string(Main_Options.Screenshot) + ".part";
    if (!Platform_Save_Screenshot(Main_Device, part.c_str()) ||
        std::rename(part.c_str(), Main_Options.Screenshot) != 0) {
        std::remove(part.c_str());
        std::fprintf(stderr, "quillmoor: could not write the screenshot %s\n",
                     Main_Options.Screenshot);
    }
}

void App_Save_Screenshot() {
    if (Screenshot_Done || !Main_Options.Screenshot || !Main_Device) return;
    Screenshot_Done = true;
    if (!Platform_Save_Screenshot(Main_Device, Main_Options.Screenshot))
        std::fprintf(stderr, "quillmoor: could not write the screenshot %s\n",
                     Main_Options.Screenshot);
}
