#include "frame/frame.h"

#include "app/globals.h"
#include "render/render.h"

void Render_Frame() {
    Main_Scene_Camera.Up = D3DXVECTOR3(0.0f, 1.0f, 0.0f);
    Main_Scene_Camera.Right = D3DXVECTOR3(1.0f, 0.0f, 0.0f);

    if (Main_Light_List && Main_Light_List->Next)
        Main_Light_List->Next->Light->Light.Position.x += Frame_Light_Drift;

    Main_Device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);

    if (SUCCEEDED(Main_Device->BeginScene())) {
        Update_Camera();
        Draw_Statistics();

        // Both walks stop at the list's end or at the count, whichever is first.
        Main_Object_Node* object = Main_Object_List ? Main_Object_List->Next : nullptr;
        for (int i = 1; object && i <= Main_Object_Count; ++i, object = object->Next)
            Draw_Object(object->Object, &Main_Scene_Camera.Pos);

        Main_Light_Node* light = Main_Light_List ? Main_Light_List->Next : nullptr;
        for (int i = 1; light && i <= Main_Light_Count; ++i, light = light->Next)
            Draw_Light(light->Light);

        Main_Device->EndScene();
    }
    Main_Device->Present(nullptr, nullptr, nullptr, nullptr);
}
