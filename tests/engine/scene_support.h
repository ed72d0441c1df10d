// Helpers for the scene tests: a clean scene state and captured message boxes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "scene/build.h"
#include "support/temp_dir.h"
#include "support/test_device.h"

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

// Channels of an ARGB pixel.
inline int Red(std::uint32_t argb) {
    return (argb >> 16) & 0xFF;
}
inline int Green(std::uint32_t argb) {
    return (argb >> 8) & 0xFF;
}
inline int Blue(std::uint32_t argb) {
    return argb & 0xFF;
}
std::vector<int> Object_Keys();
std::vector<int> Light_Keys();
MAIN_CGObject* Object_At(int position);  // 1-based, head excluded
MAIN_CGLight* Light_At(int position);

// The engine on a real 320x240 headless device, in a temporary game folder
// (the working directory while the test runs): the scene globals start clean,
// message boxes are captured, and whatever the engine made on the device is
// released before the device goes.
class Engine_Device_Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(td.Ok()) << td.Error();
        Main_Device = td.device;
        Main_Font = nullptr;
        Main_Device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    }
    void TearDown() override;

    Scene_Fixture_State state;
    Test_Device td{320, 240};
    Temp_Dir dir;
};
