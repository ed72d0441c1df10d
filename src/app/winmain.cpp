#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "app/app.h"
#include "app/globals.h"
#include "app/settings.h"
#include "device/device.h"
#include "frame/frame.h"
#include "scene/build.h"
#include "scene/dump.h"
#include "scene/reload.h"

const char Main_Window_Class[] = "Quillmoor";
const char Main_Window_Title[] = "| Quillmoor | build : 0.1.3 | март 2008 |";

namespace {

// Quits after the asked number of idle passes, the way Escape does.
void Quit_Like_Escape() {
    PostMessageA(Main_Window, WM_KEYDOWN, VK_ESCAPE, 0);
}

void Report_Scene_Problems() {
    if (Main_Object_List == nullptr) {
        const std::string problem = std::string("CGMFLoad_Polygon FAILED (") + Level_Path + ")";
        App_Report_Problem("GraphicLog.txt", problem.c_str());
    }
}

// Address space held back while the scene is read and built, and handed back
// when memory runs out there, so that the message and the logs still work.
const std::size_t Out_Of_Memory_Reserve = 32u << 20;
const int Out_Of_Memory_Exit_Status = 1;

// Build_Scene; when an allocation fails on the way, a message box names what
// was being loaded and the result is below zero.
int Build_Scene_Or_Report_Memory() {
    void* reserve = std::malloc(Out_Of_Memory_Reserve);
    try {
        const int result = Build_Scene();
        std::free(reserve);
        return result;
    } catch (const std::bad_alloc&) {
        std::free(reserve);
        char text[Scene_Text_Size + 64];
        std::snprintf(text, sizeof text, "не хватает памяти: %s", Scene_Now_Loading);
        Main_Graphic_Log.Write_Line(text);
        MessageBoxA(nullptr, text, "game.exe", MB_OK);
        return -1;
    }
}

}  // namespace

void App_Idle_Pass() {
    Main_Time_Current = static_cast<double>(timeGetTime());
    Main_Frame_Time = static_cast<float>(Main_Time_Current - Main_Time_Previous);
    Mouse_Look();
    Keyboard_Move(Main_Frame_Time);
    if (Main_Options.Walk != 0.0f) Walk_Along_Look(Main_Options.Walk);
    Main_Time_Previous = Main_Time_Current;
    Render_Frame();
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char directory[1024] = "";  // stays empty if the path does not fit
    GetCurrentDirectoryA(sizeof directory, directory);
    Main_Startup_Log.Set_Directory(directory);
    Main_Startup_Log.Open();

    if (Load_Settings() >= 0)
        Main_Startup_Log.Write_Line("Начальные параметры были успешно загружены.");
    if (Apply_Settings(&Main_Window_Width, &Main_Window_Height, &Main_Anti_Aliasing) >= 0)
        Main_Startup_Log.Write_Line("Начальные параметры были успешно установлены.");

    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA window_class;
    std::memset(&window_class, 0, sizeof window_class);
    window_class.cbSize = sizeof(WNDCLASSEXA);
    window_class.style = CS_CLASSDC;
    window_class.lpfnWndProc = Main_Window_Proc;
    window_class.hInstance = instance;
    window_class.lpszClassName = Main_Window_Class;
    RegisterClassExA(&window_class);

    Main_Window = CreateWindowExA(0, Main_Window_Class, Main_Window_Title,
                                  WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, Main_Window_Width,
                                  Main_Window_Height, nullptr, nullptr, instance, nullptr);

    MSG message;
    std::memset(&message, 0, sizeof message);
    int exit_status = 0;

    if (Create_Device(Main_Window, &Main_Left_Button, &Main_Anti_Aliasing) < 0) {
        if (Main_Options.Check) App_Report_Problem("GraphicLog.txt", "CreateDevice FAILED.");
        goto exit;
    }
    Main_Startup_Log.Write_Line("Инициализация Direct3D прошла успешно.");

    Build_Loading_Bar(0.0f);
    ShowWindow(Main_Window, SW_SHOWDEFAULT);
    UpdateWindow(Main_Window);
    Draw_Loading_Screen("...", "...");

    if (Build_Scene_Or_Report_Memory() < 0) {
        exit_status = Out_Of_Memory_Exit_Status;
        goto exit;
    }

    if (Main_Options.Dump_Scene) {
        Dump_Scene(stdout);
        goto exit;
    }
    if (Main_Options.Check) {
        Report_Scene_Problems();
        goto exit;
    }

    Draw_Loading_Screen(" ", "готово");
    Main_Startup_Log.Write_Line("Начальная геометрия была успешно загружена.");
    Main_Time_Previous = static_cast<double>(timeGetTime());

    {
        long idle_passes = 0;
        const DWORD loop_start = timeGetTime();
        if (Main_Options.Frames == 0) Quit_Like_Escape();
        if (Main_Options.Watch) Reload_Start();

        while (message.message != WM_QUIT) {
            if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
                continue;
            }
            const bool reloaded = Main_Options.Watch && Reload_Changes();
            App_Idle_Pass();
            if (reloaded) {
                App_Save_Reload_Screenshot();
                Reload_Report();
            }

            ++idle_passes;
            if (Main_Options.Frames > 0 && idle_passes == Main_Options.Frames) Quit_Like_Escape();
        }

        if (Main_Options.Frames >= 0) {
            double seconds = static_cast<double>(timeGetTime() - loop_start) / 1000.0;
            const Main_Camera& camera = Main_Scene_Camera;
            std::printf(
                "quillmoor: %ld frames in %.3f s (%.1f fps); camera pos (%g, %g, %g) "
                "look (%g, %g, %g)\n",
                idle_passes, seconds,
                seconds > 0 ? static_cast<double>(idle_passes) / seconds : 0.0, camera.Pos.x,
                camera.Pos.y, camera.Pos.z, camera.Look.x, camera.Look.y, camera.Look.z);
            std::fflush(stdout);
        }
    }

exit:
    Reload_Stop();
    App_Save_Screenshot();
    Main_Startup_Log.Write_Line("<Время выхода.");
    UnregisterClassA(Main_Window_Class, instance);
    return exit_status;
}
