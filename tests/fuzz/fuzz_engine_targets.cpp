// The engine's readers as fuzz targets: see fuzz_targets.h.
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "app/globals.h"
#include "app/settings.h"
#include "fuzz/fuzz_targets.h"
#include "scene/level_reader.h"

namespace qm_fuzz {

namespace {

int Boxes_Shown = 0;

int Count_Box(const char*, const char*, UINT) {
    ++Boxes_Shown;
    return IDOK;
}

// Sets the message box hook for one input.
struct Quiet_Boxes {
    Quiet_Boxes() { Platform_Set_Message_Box_Hook(Count_Box); }
    ~Quiet_Boxes() { Platform_Set_Message_Box_Hook(nullptr); }
};

[[noreturn]] void Broken(const char* what) {
    std::fprintf(stderr, "fuzz: %s\n", what);
    std::abort();
}

// The lists as the level reader left them: keys 0 (the head) to the count in
// file order, each node linked back to the one before.
void Check_Lists() {
    int key = 0;
    const Main_Object_Node* previous = nullptr;
    for (const Main_Object_Node* n = Main_Object_List; n; previous = n, n = n->Next, ++key)
        if (n->Key != key || n->Prev != previous || (key > 0 && !n->Object))
            Broken("the object list is out of order");
    if (Main_Object_List && key != Main_Object_Count + 1) Broken("the object count is wrong");
    key = 0;
    const Main_Light_Node* previous_light = nullptr;
    for (const Main_Light_Node* n = Main_Light_List; n; previous_light = n, n = n->Next, ++key)
        if (n->Key != key || n->Prev != previous_light || (key > 0 && !n->Light))
            Broken("the light list is out of order");
    if (Main_Light_List && key != Main_Light_Count + 1) Broken("the light count is wrong");
    for (const Main_Object_Node* n = Main_Object_List; n; n = n->Next)
        if (n->Object &&
            (n->Object->Effect_Count < 0 || n->Object->Effect_Count > Scene_Max_Effects))
            Broken("an object holds more effects than it can");
}

}  // namespace

void Read_Level(const std::uint8_t* data, std::size_t size) {
    Quiet_Boxes quiet;
    Free_Scene_Lists();
    Write_Input("level.txt", data, size);
    // No device: the named textures fail to load with their message, as in
    // the level tests; the texture decoder has a fuzzer of its own.
    IDirect3DDevice9* no_device = nullptr;
    D3DXVECTOR3 position(0.0f, 0.0f, 0.0f), look(0.0f, 0.0f, 1.0f);
    if (Load_Level(&no_device, "level.txt", &position, &look, &Main_Object_List, &Main_Light_List) <
        0)
        Broken("the level file was written but could not be read");
    Check_Lists();
    Free_Scene_Lists();
}

void Read_Effect_List(const std::uint8_t* data, std::size_t size) {
    Quiet_Boxes quiet;
    Write_Input("list.txt", data, size);
    Main_Level_Entry entry;
    Reset_Level_Entry(&entry);
    std::snprintf(entry.Shader, sizeof entry.Shader, "%s", "list.txt");
    Load_Effect_List(&entry);
    if (entry.Effect_Count < 0 || entry.Effect_Count > Scene_Max_Effects)
        Broken("the effect list overfilled its entry");
}

void Read_Settings(const std::uint8_t* data, std::size_t size) {
    Quiet_Boxes quiet;
    Write_Input("ini.txt", data, size);
    for (char* text : {Main_Ini_Rezolution, Main_Ini_CHspeed, Main_Ini_AAliasing}) text[0] = '\0';
    if (Load_Settings() < 0) Broken("the settings reader failed");
    int width = 800, height = 600;
    BYTE anti_aliasing = 0;
    Apply_Settings(&width, &height, &anti_aliasing);
    if (width != 1024 && width != 800 && width != 640)
        Broken("a window width the settings do not name");
}

}  // namespace qm_fuzz
