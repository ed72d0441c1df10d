// Process-wide engine state: one variable per item, shared by the subsystems.
#pragma once

#include "app/log_writer.h"
#include "camera/camera.h"
#include "platform/d3dx9.h"
#include "scene/records.h"

// Application shell
extern HWND Main_Window;
extern int Main_Window_Width;
extern int Main_Window_Height;
extern BYTE Main_Anti_Aliasing;
extern BYTE Main_Left_Button;
extern double Main_Time_Previous;
extern double Main_Time_Current;
extern float Main_Frame_Time;
extern Main_Log_Writer Main_Graphic_Log;
extern Main_Log_Writer Main_Startup_Log;

// Settings texts
const int Main_Ini_Text_Size = 50;
extern char Main_Ini_Rezolution[Main_Ini_Text_Size];
extern char Main_Ini_CHspeed[Main_Ini_Text_Size];
extern char Main_Ini_AAliasing[Main_Ini_Text_Size];

// Graphics device
extern IDirect3D9* Main_Direct3D;
extern IDirect3DDevice9* Main_Device;
extern IDirect3DDevice9** Main_Device_Ref;
extern ID3DXFont* Main_Font;
extern ID3DXEffect* Main_FX_Phong;
extern ID3DXEffect* Main_FX_Shadow_Phong;
extern ID3DXEffect* Main_FX_Post_Process;

// Scene: the lists of records (scene/records.h) that Build_Scene fills
extern Main_Object_Node* Main_Object_List;
extern int Main_Object_Count;
extern Main_Light_Node* Main_Light_List;
extern int Main_Light_Count;
extern DWORD Main_Light_Slots;

// Loading screen buffers
extern IDirect3DVertexBuffer9* Main_Loading_Bar;
extern IDirect3DVertexBuffer9* Main_Loading_Frame;
