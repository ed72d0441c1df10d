#include <cstdio>

#include "app/globals.h"
#include "frame/frame.h"
#include "scene/build.h"
#include "scene/level_reader.h"

const char Level_Path[] = "levels\\map_new.txt";
char Scene_Now_Loading[Scene_Text_Size];

int Build_Scene() {
    Main_Scene_Camera.Pos = D3DXVECTOR3(5.0f, 6.0f, 25.0f);
    Main_Scene_Camera.Look = D3DXVECTOR3(-0.1f, -0.1f, 0.5f);

    std::snprintf(Scene_Now_Loading, sizeof Scene_Now_Loading, "%s", Level_Path);
    if (Load_Level(Main_Device_Ref, Level_Path, &Main_Scene_Camera.Pos, &Main_Scene_Camera.Look,
                   &Main_Object_List, &Main_Light_List) < 0)
        Main_Graphic_Log.Write_Line("CGMFLoad_Polygon FAILED");

    char label[Scene_Text_Size];
    char progress[Scene_Text_Size];

    // Lights first, so that every object can refer to the first of them.
    Main_Light_Node* light = Main_Light_List ? Main_Light_List->Next : nullptr;
    for (int i = 1; light && i <= Main_Light_Count; ++i, light = light->Next) {
        Build_Loading_Bar(static_cast<float>(i * 100 / Main_Light_Count));
        std::snprintf(label, sizeof label, "источник света №%d", i);
        Draw_Loading_Screen("[загрузка света]", label, Loading_Frame_Entry);
        Main_Graphic_Log.Write_Line(label);
        std::snprintf(Scene_Now_Loading, sizeof Scene_Now_Loading, "%s", label);
        Setup_Light(light->Light);
    }

    // Without lights the objects get no scene light at all.
    D3DLIGHT9* first_light =
        (Main_Light_List && Main_Light_List->Next) ? &Main_Light_List->Next->Light->Light : nullptr;

    // Objects naming the same model share it; the models are let go when the
    // phase ends, also when it ends by running out of memory.
    struct Model_Sharing {
        Model_Sharing() { Share_Models(true); }
        ~Model_Sharing() { Share_Models(false); }
    } sharing;
    Main_Object_Node* object = Main_Object_List ? Main_Object_List->Next : nullptr;
    for (int j = 1; object && j <= Main_Object_Count; ++j, object = object->Next) {
        int percent = j * 100 / Main_Object_Count;
        Build_Loading_Bar(static_cast<float>(percent));
        std::snprintf(label, sizeof label, "%s", object->Object->Name);
        std::snprintf(progress, sizeof progress, "%d%% загрузки моделей", percent);
        Draw_Loading_Screen(progress, label, Loading_Frame_Entry);
        Main_Graphic_Log.Write_Line(label);
        std::snprintf(Scene_Now_Loading, sizeof Scene_Now_Loading, "%s", label);
        Load_Object(object->Object, object->Object->Name, first_light);
    }
    return 0;
}
