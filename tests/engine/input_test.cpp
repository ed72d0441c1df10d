// Mouse look, keyboard movement and the frame-rate bookkeeping.
#include <gtest/gtest.h>

#include <cmath>

#include "app/app.h"
#include "device/device_setup.h"
#include "frame/frame.h"
#include "scene_support.h"
#include "platform/win32_testing.h"

namespace {

class Input : public ::testing::Test {
protected:
    void SetUp() override {
        Platform_Init(true);
        Main_Window = Create_Device_Window("", 624, 441);
        for (int key = 0; key < 256; ++key) Platform_Set_Key_State(key, false);
        Reset_Camera();
    }

    void Reset_Camera() {
        Main_Left_Button = 0;
        Main_Scene_Camera.Pos = D3DXVECTOR3(5.0f, 6.0f, 25.0f);
        Main_Scene_Camera.Look = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
        Main_Scene_Camera.Up = D3DXVECTOR3(0.0f, 1.0f, 0.0f);
        Main_Scene_Camera.Right = D3DXVECTOR3(1.0f, 0.0f, 0.0f);
        Main_Scene_Camera.Speed = 0.222f;
        Place_Cursor(100, 100);
        Mouse_Look();  // Mouse_Previous follows the cursor
    }

    void TearDown() override {
        for (int key = 0; key < 256; ++key) Platform_Set_Key_State(key, false);
        DestroyWindow(Main_Window);
        Main_Window = nullptr;
    }

    // Client coordinates: the client area starts inside the window's frame,
    // and the window sits at the screen's origin.
    void Place_Cursor(int client_x, int client_y) {
        RECT frame = {0, 0, 0, 0};
        AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
        Platform_Set_Cursor_Pos(client_x - frame.left, client_y - frame.top);
    }
};

TEST_F(Input, ButtonUpMotionOnlyFollowsTheCursor) {
    Place_Cursor(160, 40);
    Mouse_Look();
    EXPECT_EQ(Mouse_Previous.x, 160);
    EXPECT_EQ(Mouse_Previous.y, 40);
    EXPECT_FLOAT_EQ(Main_Scene_Camera.Look.z, 1.0f);
    // Pressing the button now does not turn by the motion made while it was up.
    Main_Left_Button = 1;
    Mouse_Look();
    EXPECT_FLOAT_EQ(Main_Scene_Camera.Look.x, 0.0f);
}

TEST_F(Input, ThreePixelsRightTurnOneDegreeRight) {
    Main_Left_Button = 1;
    Place_Cursor(103, 100);
    Mouse_Look();
    const D3DXVECTOR3& look = Main_Scene_Camera.Look;
    EXPECT_NEAR(look.x, std::sin(0.017453292), 1e-6);
    EXPECT_NEAR(look.z, std::cos(0.017453292), 1e-6);
    EXPECT_NEAR(look.y, 0.0f, 1e-7);
}

TEST_F(Input, TurnAngleIsWorkedOutInDoubleAndStoredAsFloat) {
    // Drags whose angle differs when the arithmetic is done in float: the
    // turn must be the one of the double result, rounded once.
    int checked = 0;
    for (int dx = -300; dx <= 300 && checked < 8; ++dx) {
        const float wide = float(dx / 3.0 * 0.017453292);
        const float narrow = float(dx) / 3.0f * 0.017453292f;
        if (dx == 0 || wide == narrow) continue;
        ++checked;
        Reset_Camera();
        Main_Left_Button = 1;
        Place_Cursor(100 + dx, 100);
        Mouse_Look();
        D3DXMATRIX turn;
        const D3DXVECTOR3 axis(0.0f, 1.0f, 0.0f);
        D3DXMatrixRotationAxis(&turn, &axis, wide);
        D3DXVECTOR3 expected;
        const D3DXVECTOR3 ahead(0.0f, 0.0f, 1.0f);
        D3DXVec3TransformCoord(&expected, &ahead, &turn);
        EXPECT_EQ(Main_Scene_Camera.Look.x, expected.x) << "drag of " << dx << " pixels";
        EXPECT_EQ(Main_Scene_Camera.Look.z, expected.z) << "drag of " << dx << " pixels";
    }
    EXPECT_EQ(checked, 8) << "no drag distance tells float from double arithmetic";
}

TEST_F(Input, MovingDownTiltsDownAndPitchComesBeforeYaw) {
    Main_Left_Button = 1;
    Place_Cursor(100, 130);  // ten degrees down
    Mouse_Look();
    EXPECT_NEAR(Main_Scene_Camera.Look.y, -std::sin(10 * 0.017453292), 1e-5);
    EXPECT_NEAR(Main_Scene_Camera.Look.x, 0.0f, 1e-6);
    EXPECT_NEAR(Main_Scene_Camera.Up.z, std::sin(10 * 0.017453292), 1e-5);

    // Both at once: the pitch about Right, then the yaw about the world up,
    // keeps the look's height; yaw first would not.
    Reset_Camera();
    Main_Left_Button = 1;
    Place_Cursor(190, 130);
    Mouse_Look();
    EXPECT_NEAR(Main_Scene_Camera.Look.y, -std::sin(10 * 0.017453292), 1e-5);
    EXPECT_NEAR(std::atan2(Main_Scene_Camera.Look.x, Main_Scene_Camera.Look.z), 30 * 0.017453292,
                1e-5);
}

TEST_F(Input, WalkingKeysJoinedByOrMoveOnce) {
    Platform_Set_Key_State(VK_UP, true);
    Keyboard_Move(10.0f);
    EXPECT_FLOAT_EQ(Main_Scene_Camera.Pos.z, 25.0f + 0.222f * 10.0f);
    Platform_Set_Key_State('W', true);
    Keyboard_Move(10.0f);
    EXPECT_FLOAT_EQ(Main_Scene_Camera.Pos.z, 25.0f + 2 * 0.222f * 10.0f);
    Platform_Set_Key_State(VK_DOWN, true);  // up and down cancel
    Keyboard_Move(10.0f);
    EXPECT_FLOAT_EQ(Main_Scene_Camera.Pos.z, 25.0f + 2 * 0.222f * 10.0f);
}

TEST_F(Input, WalkingNeverChangesHeight) {
    Main_Scene_Camera.Look = D3DXVECTOR3(0.6f, -0.8f, 0.0f);
    Main_Scene_Camera.Right = D3DXVECTOR3(0.0f, 0.0f, -1.0f);
    for (int key : {VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT, int('W'), int('A'), int('S'), int('D')}) {
        Platform_Set_Key_State(key, true);
        Keyboard_Move(16.0f);
        Platform_Set_Key_State(key, false);
        EXPECT_FLOAT_EQ(Main_Scene_Camera.Pos.y, 6.0f) << key;
    }
    Platform_Set_Key_State('D', true);
    Keyboard_Move(10.0f);
    EXPECT_FLOAT_EQ(Main_Scene_Camera.Pos.z, 25.0f - 2.22f);  // strafing along Right
}

TEST_F(Input, FlyingKeysAddUpAndNumpadZeroAlsoMovesPerPass) {
    Main_Scene_Camera.Look = D3DXVECTOR3(0.0f, 0.6f, 0.8f);
    Platform_Set_Key_State(VK_NUMPAD0, true);
    Keyboard_Move(10.0f);
    EXPECT_FLOAT_EQ(Main_Scene_Camera.Pos.y, 6.0f + 0.222f * 0.6f * 10.0f);
    Platform_Set_Key_State(VK_LSHIFT, true);
    Keyboard_Move(10.0f);
    EXPECT_FLOAT_EQ(Main_Scene_Camera.Pos.y, 6.0f + 3 * 0.222f * 0.6f * 10.0f);
    // The right Shift and Ctrl keys are other keys.
    Platform_Set_Key_State(VK_NUMPAD0, false);
    Platform_Set_Key_State(VK_LSHIFT, false);
    Platform_Set_Key_State(VK_RSHIFT, true);
    Platform_Set_Key_State(VK_RCONTROL, true);
    Keyboard_Move(10.0f);
    EXPECT_FLOAT_EQ(Main_Scene_Camera.Pos.y, 6.0f + 3 * 0.222f * 0.6f * 10.0f);
    // Numpad 0 in the mouse look: Speed along Look once per pass.
    Platform_Set_Key_State(VK_NUMPAD0, true);
    float before = Main_Scene_Camera.Pos.z;
    Mouse_Look();
    EXPECT_FLOAT_EQ(Main_Scene_Camera.Pos.z, before + 0.222f * 0.8f);
}

TEST_F(Input, ZeroFrameTimeMovesNothing) {
    for (int key : {VK_UP, VK_LEFT, VK_NUMPAD0, VK_LSHIFT}) Platform_Set_Key_State(key, true);
    Keyboard_Move(0.0f);
    EXPECT_FLOAT_EQ(Main_Scene_Camera.Pos.x, 5.0f);
    EXPECT_FLOAT_EQ(Main_Scene_Camera.Pos.y, 6.0f);
    EXPECT_FLOAT_EQ(Main_Scene_Camera.Pos.z, 25.0f);
}

}  // namespace
