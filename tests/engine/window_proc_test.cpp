// The window procedure and the message queue as the main loop sees them.
#include <gtest/gtest.h>

#include <vector>

#include "app/app.h"
#include "scene_support.h"

namespace {

IDirect3DDevice9* No_Device = nullptr;

class Window_Proc : public ::testing::Test {
protected:
    Scene_Fixture_State state;
    HINSTANCE instance = nullptr;

    void SetUp() override {
        Platform_Init(true);
        instance = GetModuleHandleA(nullptr);
        WNDCLASSEXA window_class = {};
        window_class.cbSize = sizeof window_class;
        window_class.style = CS_CLASSDC;
        window_class.lpfnWndProc = Main_Window_Proc;
        window_class.hInstance = instance;
        window_class.lpszClassName = Main_Window_Class;
        RegisterClassExA(&window_class);
        Main_Window = CreateWindowExA(0, Main_Window_Class, Main_Window_Title,
                                      WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 480, nullptr,
                                      nullptr, instance, nullptr);
        ASSERT_NE(Main_Window, nullptr);
        // Two objects, so the teardown has something to remove.
        Main_Object_List = new Main_Object_Node{0, nullptr, nullptr, nullptr};
        Add_Object(&Main_Object_List, 1, &No_Device);
        Add_Object(&Main_Object_List, 2, &No_Device);
        Main_Object_Count = 2;
        Main_Left_Button = 0;
    }

    void TearDown() override {
        if (IsWindow(Main_Window)) {
            // Leave no teardown behind: destroy the window without our procedure.
            Main_Object_Count = 0;
            DestroyWindow(Main_Window);
        }
        MSG drain;
        while (PeekMessageA(&drain, nullptr, 0, 0, PM_REMOVE)) {}
        UnregisterClassA(Main_Window_Class, instance);
        Main_Window = nullptr;
    }

    // Runs the main loop's message half until WM_QUIT; returns what was seen.
    std::vector<UINT> Pump() {
        std::vector<UINT> seen;
        MSG message = {};
        for (int guard = 0; guard < 100 && message.message != WM_QUIT; ++guard) {
            if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) break;
            seen.push_back(message.message);
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        return seen;
    }
};

TEST_F(Window_Proc, EscapeQuitsWithoutTeardown) {
    PostMessageA(Main_Window, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(Pump(), (std::vector<UINT>{WM_KEYDOWN, WM_QUIT}));
    EXPECT_TRUE(IsWindow(Main_Window));
    EXPECT_EQ(Object_Keys(), (std::vector<int>{0, 1, 2}));
    // The class cannot go while its window exists.
    EXPECT_FALSE(UnregisterClassA(Main_Window_Class, instance));
}

TEST_F(Window_Proc, RepeatedEscapeQuitsOnce) {
    for (int i = 0; i < 3; ++i) PostMessageA(Main_Window, WM_KEYDOWN, VK_ESCAPE, 0x40000001);
    EXPECT_EQ(Pump(), (std::vector<UINT>{WM_KEYDOWN, WM_KEYDOWN, WM_KEYDOWN, WM_QUIT}));
    MSG after;
    EXPECT_FALSE(PeekMessageA(&after, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Window_Proc, OtherKeysDoNotQuit) {
    PostMessageA(Main_Window, WM_KEYDOWN, VK_UP, 0);
    PostMessageA(Main_Window, WM_KEYDOWN, 'W', 0);
    EXPECT_EQ(Pump(), (std::vector<UINT>{WM_KEYDOWN, WM_KEYDOWN}));
}

TEST_F(Window_Proc, CloseDestroysTearsDownAndQuits) {
    PostMessageA(Main_Window, WM_CLOSE, 0, 0);
    EXPECT_EQ(Pump(), (std::vector<UINT>{WM_CLOSE, WM_QUIT}));
    EXPECT_FALSE(IsWindow(Main_Window));
    // Every object was removed in key order; the count is left as it was.
    EXPECT_EQ(Object_Keys(), (std::vector<int>{0}));
    EXPECT_EQ(Main_Object_Count, 2);
    EXPECT_TRUE(UnregisterClassA(Main_Window_Class, instance));
}

TEST_F(Window_Proc, PostedMessagesComeBeforeTheQuit) {
    PostMessageA(Main_Window, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(Main_Window, WM_LBUTTONDOWN, 0, 0);
    EXPECT_EQ(Pump(), (std::vector<UINT>{WM_KEYDOWN, WM_LBUTTONDOWN, WM_QUIT}));
    EXPECT_EQ(Main_Left_Button, 1);
}

TEST_F(Window_Proc, LeftButtonFlagFollowsTheButtonMessages) {
    SendMessageA(Main_Window, WM_LBUTTONDOWN, 0, 0);
    EXPECT_EQ(Main_Left_Button, 1);
    SendMessageA(Main_Window, WM_MOUSEMOVE, 0, 0);
    EXPECT_EQ(Main_Left_Button, 1);
    SendMessageA(Main_Window, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(Main_Left_Button, 0);
}

TEST_F(Window_Proc, TeardownWithoutObjectsOnlyReleasesInterfaces) {
    Main_Object_Count = 0;
    DestroyWindow(Main_Window);
    EXPECT_EQ(Object_Keys(), (std::vector<int>{0, 1, 2}));
}

}  // namespace
