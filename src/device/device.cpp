#include "device/device.h"

#include "app/globals.h"
#include "device/device_setup.h"

const char* const Startup_Effect_Files[3] = {
    "fx\\shadow\\Phong.fx",
    "fx\\shadow\\Shadow_Phong.fx",
    "fx\\shadow\\postPRocess.fx",
};

HRESULT Create_Device(HWND window, BYTE* left_button, BYTE* anti_aliasing) {
    // The button flag belongs to the mouse look, which reads the same global.
    (void)left_button;

    char directory[1024] = "";  // stays empty if the path does not fit
    GetCurrentDirectoryA(sizeof directory, directory);
    Main_Graphic_Log.Set_Directory(directory);
    Main_Graphic_Log.Open();

    switch (Create_Direct3D_Device(window, &Main_Direct3D, &Main_Device)) {
    case Device_Setup_No_Direct3D:
        Main_Graphic_Log.Write_Line("Direct3DCreate9 FAILED.");
        return E_FAIL;
    case Device_Setup_No_Device: Main_Graphic_Log.Write_Line("CreateDevice FAILED."); return E_FAIL;
    default: break;
    }

    Main_Device->SetRenderState(D3DRS_ANTIALIASEDLINEENABLE, TRUE);
    Main_Device->SetRenderState(D3DRS_MULTISAMPLEANTIALIAS, *anti_aliasing ? TRUE : FALSE);
    // The cull mode asked for here is the enumeration's filler value, not a
    // cull mode. The device starts with no culling, which is also what plain
    // drawing sets for itself, so the scene looks the same whichever object is
    // drawn first.
    Main_Device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    Main_Device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_ANISOTROPIC);
    Main_Device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_ANISOTROPIC);
    Main_Device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_ANISOTROPIC);
    Main_Device->SetRenderState(D3DRS_LIGHTING, TRUE);

    HDC screen = GetDC(nullptr);
    int pixels_per_inch = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    int height = -MulDiv(8, pixels_per_inch, 72);

    if (FAILED(D3DXCreateFontA(Main_Device, height, 0, FW_BOLD, 0, FALSE, DEFAULT_CHARSET,
                               OUT_DEFAULT_PRECIS, DEFAULT_QUALITY, 0, "Arial", &Main_Font))) {
        Main_Font = nullptr;
        Main_Graphic_Log.Write_Line("Call to D3DXCreateFont FAILED!");
        MessageBoxA(nullptr, "Call to D3DXCreateFont failed!", "ERROR", MB_ICONWARNING);
    }

    Main_Scene_Camera.Up = D3DXVECTOR3(0.0f, 1.0f, 0.0f);
    Main_Scene_Camera.Right = D3DXVECTOR3(1.0f, 0.0f, 0.0f);
    Main_Scene_Camera.Speed = Camera_Start_Speed;

    ID3DXEffect** effects[3] = {&Main_FX_Phong, &Main_FX_Shadow_Phong, &Main_FX_Post_Process};
    for (int i = 0; i < 3; ++i) {
        if (FAILED(D3DXCreateEffectFromFileA(Main_Device, Startup_Effect_Files[i], nullptr, nullptr,
                                             0, nullptr, effects[i], nullptr))) {
            *effects[i] = nullptr;
            MessageBoxA(nullptr, Startup_Effect_Files[i], "game.exe", MB_OK);
        }
    }
    return 0;
}
