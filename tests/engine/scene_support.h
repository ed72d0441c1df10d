// Helpers for the scene tests: a clean scene state and captured message boxes.
#pragma once

#include <string>
#include <vector>

#include "app/globals.h"

struct Captured_Box {
    std::string Text;
    std::string Caption;
    UINT Type;
};

// Resets the scene globals (lists, counts, slots, camera) and captures every
// message box for the lifetime of the object.
class Scene_Fixture_State {
public:
    Scene_Fixture_State();
    ~Scene_Fixture_State();
    const std::vector<Captured_Box>& Boxes() const;
};

void Reset_Scene_Globals();
std::vector<int> Object_Keys();
std::vector<int> Light_Keys();
MAIN_CGObject* Object_At(int position);  // 1-based, head excluded
MAIN_CGLight* Light_At(int position);
