// The process entry: reads the Linux command-line additions, then runs the
// program exactly as on Windows.
#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "app/globals.h"

void App_Print_Problems(FILE* out);

namespace {

int Collect_Message_Box(const char* text, const char* caption, UINT) {
    App_Report_Problem(caption, text);
    return IDOK;
}

}  // namespace

int main(int argc, char** argv) {
    int parsed = App_Parse_Options(argc, argv, &Main_Options, stdout, stderr);
    if (parsed == 1) return 0;
    if (parsed == 2) return 2;

    // The command line is UTF-8; the Win32 side takes Windows-1251 paths,
    // which are never longer than their UTF-8 form.
    char directory[4096] = "";
    const bool fits = Main_Options.Dir && std::strlen(Main_Options.Dir) < sizeof directory;
    if (fits) Platform_Utf8_To_Cp1251(Main_Options.Dir, directory, sizeof directory);
    if (Main_Options.Dir && (!fits || !SetCurrentDirectoryA(directory))) {
        std::fprintf(stderr, "quillmoor: cannot change to the folder '%s'\n", Main_Options.Dir);
        return 2;
    }

    // Effects compile in a process of their own; forked now, before the
    // window and the device exist, it shares next to nothing with this one,
    // so nothing the engine writes later has to be copied for it.
    Platform_Start_Effect_Compiler();

    // Loading without showing anything: the scene dump and the check never
    // open a window or stop at a message box.
    const bool quiet = Main_Options.Dump_Scene || Main_Options.Check;
    Platform_Init(Main_Options.Headless || quiet);
    if (quiet) Platform_Set_Message_Box_Hook(Collect_Message_Box);
    // A watched run is often left running headless; a signal ends it the way
    // closing the window does, so everything is released in order.
    if (Main_Options.Watch && !quiet) Platform_Close_On_Signal();

    int result = WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOWDEFAULT);

    if (Main_Options.Check) {
        App_Print_Problems(stdout);
        std::printf("quillmoor: %d problem%s found\n", App_Problem_Count(),
                    App_Problem_Count() == 1 ? "" : "s");
        result = App_Problem_Count() > 0 ? 1 : 0;
    } else if (Main_Options.Dump_Scene && App_Problem_Count() > 0) {
        // The dump is on stdout; what went wrong while loading goes to stderr.
        App_Print_Problems(stderr);
    }
    Platform_Shutdown();
    return result;
}
