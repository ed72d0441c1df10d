#include "app/globals.h"

// Construction order matters: the camera first, then the graphics log, then
// the start-up log (their destructors run in reverse at exit).
Main_Camera Main_Scene_Camera;
Main_Log_Writer Main_Graphic_Log("GraphicLog.txt");
Main_Log_Writer Main_Startup_Log("StartupLog.txt");

HWND Main_Window = nullptr;
int Main_Window_Width = 640;
int Main_Window_Height = 480;
BYTE Main_Anti_Aliasing = 0;
BYTE Main_Left_Button = 0;
double Main_Time_Previous = 0;
double Main_Time_Current = 0;
float Main_Frame_Time = 0;

char Main_Ini_Rezolution[Main_Ini_Text_Size];
char Main_Ini_CHspeed[Main_Ini_Text_Size];
char Main_Ini_AAliasing[Main_Ini_Text_Size];

IDirect3D9* Main_Direct3D = nullptr;
IDirect3DDevice9* Main_Device = nullptr;
IDirect3DDevice9** Main_Device_Ref = &Main_Device;
ID3DXFont* Main_Font = nullptr;
ID3DXEffect* Main_FX_Phong = nullptr;
ID3DXEffect* Main_FX_Shadow_Phong = nullptr;
ID3DXEffect* Main_FX_Post_Process = nullptr;

Main_Object_Node* Main_Object_List = nullptr;
int Main_Object_Count = 0;
Main_Light_Node* Main_Light_List = nullptr;
int Main_Light_Count = 0;
DWORD Main_Light_Slots = 0;

IDirect3DVertexBuffer9* Main_Loading_Bar = nullptr;
IDirect3DVertexBuffer9* Main_Loading_Frame = nullptr;
