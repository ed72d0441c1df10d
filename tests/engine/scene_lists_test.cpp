// Keyed object and light lists and the records' constructors.
#include <gtest/gtest.h>

#include <cstring>

#include "scene_support.h"
#include "support/test_device.h"

namespace {

IDirect3DDevice9* No_Device = nullptr;

class Scene_Lists : public ::testing::Test {
protected:
    Scene_Fixture_State state;
};

TEST_F(Scene_Lists, AppendKeepsOrderAndLinks) {
    Main_Object_List = new Main_Object_Node{0, nullptr, nullptr, nullptr};
    for (int key = 1; key <= 3; ++key) Add_Object(&Main_Object_List, key, &No_Device);
    EXPECT_EQ(Object_Keys(), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(Main_Object_List->Next->Next->Prev, Main_Object_List->Next);
    EXPECT_EQ(Main_Object_List->Prev, nullptr);
}

TEST_F(Scene_Lists, AppendAfterAKeptTailEndsUpLastEvenWhenTheTailMoved) {
    Main_Object_List = new Main_Object_Node{0, nullptr, nullptr, nullptr};
    Main_Object_Node* tail = nullptr;
    for (int key = 1; key <= 3; ++key) {
        Main_Object_Node* node = Add_Object(&Main_Object_List, key, &No_Device, &tail);
        EXPECT_EQ(tail, node);
    }
    // Another record appended without the kept tail: it is no longer the
    // last node, and the next append still goes to the end.
    Main_Object_Node* stale = tail;
    Add_Object(&Main_Object_List, 4, &No_Device);
    Add_Object(&Main_Object_List, 5, &No_Device, &tail);
    EXPECT_EQ(Object_Keys(), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_NE(tail, stale);
    EXPECT_EQ(tail->Key, 5);
    EXPECT_EQ(tail->Prev->Key, 4);
    EXPECT_EQ(tail->Next, nullptr);

    Main_Light_Node* light_tail = nullptr;
    Add_Light(&Main_Light_List, 1, &No_Device, &light_tail);
    EXPECT_EQ(Main_Light_List, light_tail);
    Add_Light(&Main_Light_List, 2, &No_Device, &light_tail);
    EXPECT_EQ(Light_Keys(), (std::vector<int>{1, 2}));
    EXPECT_EQ(light_tail->Prev, Main_Light_List);
}

TEST_F(Scene_Lists, RemoveUnlinksAndReportsTheKey) {
    Main_Object_List = new Main_Object_Node{0, nullptr, nullptr, nullptr};
    for (int key = 1; key <= 3; ++key) Add_Object(&Main_Object_List, key, &No_Device);
    EXPECT_EQ(Remove_Object(&Main_Object_List, 2), 2);
    EXPECT_EQ(Object_Keys(), (std::vector<int>{0, 1, 3}));
    Main_Object_Node* three = Main_Object_List->Next->Next;
    EXPECT_EQ(three->Prev, Main_Object_List->Next);
    EXPECT_EQ(Remove_Object(&Main_Object_List, 2), -1);
    EXPECT_EQ(Remove_Object(&Main_Object_List, 3), 3);  // the tail
    EXPECT_EQ(Main_Object_List->Next->Next, nullptr);
}

TEST_F(Scene_Lists, RemoveFromEmptyListFails) {
    EXPECT_EQ(Remove_Object(&Main_Object_List, 1), -1);
    EXPECT_EQ(Remove_Light(&Main_Light_List, 1), -1);
}

TEST_F(Scene_Lists, FirstAppendToEmptyListBecomesTheHead) {
    Add_Light(&Main_Light_List, 5, &No_Device);
    ASSERT_NE(Main_Light_List, nullptr);
    EXPECT_EQ(Main_Light_List->Key, 5);
    EXPECT_EQ(Remove_Light(&Main_Light_List, 5), 5);
    EXPECT_EQ(Main_Light_List, nullptr);
}

TEST_F(Scene_Lists, LightsTakeSlotsInConstructionOrderAndReachTheDevice) {
    Test_Device td(8, 8);
    ASSERT_TRUE(td.Ok()) << td.Error();
    IDirect3DDevice9* device = td.device;
    Main_Light_List = new Main_Light_Node{0, nullptr, nullptr, nullptr};
    for (int key = 1; key <= 3; ++key) Add_Light(&Main_Light_List, key, &device);
    for (int i = 1; i <= 3; ++i) {
        const MAIN_CGLight* light = Light_At(i);
        EXPECT_EQ(light->Slot, static_cast<DWORD>(i - 1));
        // The record's light is what the device holds in its slot, switched on.
        D3DLIGHT9 held;
        ASSERT_EQ(device->GetLight(light->Slot, &held), D3D_OK) << "slot " << light->Slot;
        EXPECT_EQ(std::memcmp(&held, &light->Light, sizeof held), 0) << "slot " << light->Slot;
        BOOL enabled = FALSE;
        ASSERT_EQ(device->GetLightEnable(light->Slot, &enabled), D3D_OK);
        EXPECT_TRUE(enabled);
        EXPECT_TRUE(light->Renderable);
    }
    // Slots keep counting for lights made later; removal gives none back.
    Remove_Light(&Main_Light_List, 3);
    Add_Light(&Main_Light_List, 4, &device);
    EXPECT_EQ(Light_At(3)->Slot, 3u);
    EXPECT_EQ(Main_Light_Slots, 4u);
    BOOL enabled = FALSE;
    ASSERT_EQ(device->GetLightEnable(3, &enabled), D3D_OK);
    EXPECT_TRUE(enabled);
    // The records go before the device does.
    Reset_Scene_Globals();
}

TEST_F(Scene_Lists, ObjectStartsEmptyWithIdentityShadowWorld) {
    MAIN_CGObject object(&No_Device);
    EXPECT_EQ(object.Mesh, nullptr);
    EXPECT_EQ(object.Materials, nullptr);
    EXPECT_EQ(object.Material_Count, 0u);
    EXPECT_EQ(object.Effect_Count, 0);
    EXPECT_EQ(object.Alpha, 0);
    EXPECT_STREQ(object.Name, "");
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    EXPECT_TRUE(object.Shadow_World == identity);
    EXPECT_EQ(object.Scene_Light, nullptr);
}

}  // namespace
