// Time and memory of reading a large level and building its objects,
// headless, for levels of plain objects (the fallback model, no textures,
// no effects). Reading is Load_Level; building is what Build_Scene does for
// each object apart from drawing the loading screen: Load_Object. Each size
// runs in a child process of its own, so that the peak memory is its own.
//
//   bench_level_load [OBJECTS ...]   (default: 10000 20000 40000 100000)
// Run it from a folder holding "blank.x" (scripts/bench.sh runs it from data/).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/globals.h"
#include "device/device.h"
#include "platform/win32.h"
#include "scene/build.h"
#include "scene/level_reader.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds_Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

long Peak_Megabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// A level of `count` plain objects in a fresh folder with the fallback model
// and the start-up effects the device loads.
std::string Write_Level(int count, const std::string& model, const std::string& effects) {
    char pattern[] = "/tmp/qm_level_bench_XXXXXX";
    const char* dir = mkdtemp(pattern);
    if (!dir) return {};
    std::filesystem::create_directories(std::string(dir) + "/levels");
    std::filesystem::copy_file(model, std::string(dir) + "/blank.x");
    if (std::filesystem::is_directory(effects)) {
        std::filesystem::create_directories(std::string(dir) + "/fx");
        std::filesystem::copy(effects, std::string(dir) + "/fx/shadow",
                              std::filesystem::copy_options::recursive);
    }
    std::ofstream out(std::string(dir) + "/levels/map_new.txt", std::ios::binary);
    out << "[CameraPosZ]=-100\r\n";
    for (int i = 0; i < count; ++i) {
        out << "[object]\r\n[name]=blank.x\r\n[x]=" << (i % 100) * 10
            << "\r\n[z]=" << (i / 100) * 10 << "\r\n[/object]\r\n";
    }
    return dir;
}

int Measure(int count, const std::string& model, const std::string& effects) {
    const std::string dir = Write_Level(count, model, effects);
    if (dir.empty() || chdir(dir.c_str()) != 0) return 1;

    Platform_Init(true);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Main_Window_Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = Main_Window_Class;
    RegisterClassExA(&wc);
    Main_Window = CreateWindowExA(0, Main_Window_Class, Main_Window_Title, WS_OVERLAPPEDWINDOW, 0,
                                  0, 1024, 768, nullptr, nullptr, wc.hInstance, nullptr);
    if (Create_Device(Main_Window, &Main_Left_Button, &Main_Anti_Aliasing) < 0) return 1;
    const long before = Peak_Megabytes();

    D3DXVECTOR3 pos{}, look{};
    const Clock::time_point read_start = Clock::now();
    if (Load_Level(Main_Device_Ref, "levels\\map_new.txt", &pos, &look, &Main_Object_List,
                   &Main_Light_List) < 0)
        return 1;
    const double read_seconds = Seconds_Since(read_start);
    const long after_read = Peak_Megabytes();

    const Clock::time_point build_start = Clock::now();
    int built = 0;
    for (Main_Object_Node* node = Main_Object_List->Next; node; node = node->Next) {
        if (SUCCEEDED(Load_Object(node->Object, node->Object->Name, nullptr))) ++built;
    }
    const double build_seconds = Seconds_Since(build_start);
    const long after_build = Peak_Megabytes();

    std::printf(
        "  %7d objects: read %7.3f s, build %7.3f s (%d built); "
        "peak memory +%ld MB read, +%ld MB built\n",
        Main_Object_Count, read_seconds, build_seconds, built, after_read - before,
        after_build - before);
    std::fflush(stdout);
    std::filesystem::remove_all(dir);
    return built == count ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> counts;
    for (int i = 1; i < argc; ++i) {
        const int n = std::atoi(argv[i]);
        if (n <= 0) {
            std::fprintf(stderr, "usage: %s [OBJECTS ...]\n", argv[0]);
            return 2;
        }
        counts.push_back(n);
    }
    if (counts.empty()) counts = {10000, 20000, 40000, 100000};
    const std::string model = std::filesystem::absolute("blank.x").string();
    const std::string effects = std::filesystem::absolute("fx/shadow").string();
    if (!std::filesystem::exists(model)) {
        std::fprintf(stderr, "bench_level_load: run it from a folder holding blank.x\n");
        return 2;
    }

    std::printf("level loading, headless, plain objects (blank.x), no loading screen\n");
    std::fflush(stdout);  // not to be repeated by the children
    int status = 0;
    for (int count : counts) {
        const pid_t child = fork();
        if (child == 0) _exit(Measure(count, model, effects));
        int child_status = 0;
        if (child < 0 || waitpid(child, &child_status, 0) != child || !WIFEXITED(child_status) ||
            WEXITSTATUS(child_status) != 0) {
            std::printf("  %7d objects: failed\n", count);
            status = 1;
        }
    }
    return status;
}
