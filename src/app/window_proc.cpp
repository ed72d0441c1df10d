#include "app/app.h"
#include "app/globals.h"

LRESULT CALLBACK Main_Window_Proc(HWND window, UINT message, WPARAM w_param, LPARAM l_param) {
    switch (message) {
    case WM_DESTROY:
        Release_Device_Objects();
        PostQuitMessage(0);
        return 0;
    case WM_CLOSE: PostQuitMessage(0); break;
    case WM_KEYDOWN:
        if (w_param == VK_ESCAPE) PostQuitMessage(0);
        break;
    case WM_LBUTTONDOWN: Main_Left_Button = 1; break;
    case WM_LBUTTONUP: Main_Left_Button = 0; break;
    default: break;
    }
    return DefWindowProcA(window, message, w_param, l_param);
}

void Release_Device_Objects() {
    App_Save_Screenshot();  // the last frame, before the device goes

    for (int key = 1; key <= Main_Object_Count; ++key) Remove_Object(&Main_Object_List, key);
    if (Main_Device) Main_Device->Release();
    if (Main_Direct3D) Main_Direct3D->Release();
    if (Main_Font) Main_Font->Release();
    if (Main_Loading_Bar) Main_Loading_Bar->Release();
}
