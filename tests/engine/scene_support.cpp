#include "scene_support.h"

namespace {

std::vector<Captured_Box> Boxes_Seen;

int Capture(const char* text, const char* caption, UINT type) {
    Boxes_Seen.push_back({text, caption, type});
    return IDOK;
}

}  // namespace

void Reset_Scene_Globals() {
    Free_Scene_Lists();
    Main_Scene_Camera = Main_Camera{};
}

Scene_Fixture_State::Scene_Fixture_State() {
    Reset_Scene_Globals();
    Boxes_Seen.clear();
    Platform_Set_Message_Box_Hook(Capture);
}

Scene_Fixture_State::~Scene_Fixture_State() {
    Platform_Set_Message_Box_Hook(nullptr);
    Reset_Scene_Globals();
}

const std::vector<Captured_Box>& Scene_Fixture_State::Boxes() const {
    return Boxes_Seen;
}

std::vector<int> Object_Keys() {
    std::vector<int> keys;
    for (Main_Object_Node* n = Main_Object_List; n; n = n->Next) keys.push_back(n->Key);
    return keys;
}

std::vector<int> Light_Keys() {
    std::vector<int> keys;
    for (Main_Light_Node* n = Main_Light_List; n; n = n->Next) keys.push_back(n->Key);
    return keys;
}

MAIN_CGObject* Object_At(int position) {
    Main_Object_Node* n = Main_Object_List ? Main_Object_List->Next : nullptr;
    for (int i = 1; n && i < position; ++i) n = n->Next;
    return n ? n->Object : nullptr;
}

MAIN_CGLight* Light_At(int position) {
    Main_Light_Node* n = Main_Light_List ? Main_Light_List->Next : nullptr;
    for (int i = 1; n && i < position; ++i) n = n->Next;
    return n ? n->Light : nullptr;
}

void Engine_Device_Test::TearDown() {
    Reset_Scene_Globals();
    if (Main_Font) Main_Font->Release();
    Main_Font = nullptr;
    if (Main_Loading_Bar) Main_Loading_Bar->Release();
    if (Main_Loading_Frame) Main_Loading_Frame->Release();
    Main_Loading_Bar = Main_Loading_Frame = nullptr;
    Main_Device = nullptr;
}
