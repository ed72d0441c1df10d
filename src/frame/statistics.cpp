#include "app/globals.h"
#include "frame/frame.h"
#include "platform/crt.h"
#include "scene/reload.h"

double Stat_Previous_Time = 0;
float Stat_Accum_Time = 0;
int Stat_Frame_Count = 0;
float Stat_FPS = 0;
char Stat_Text[64];

namespace {

void Draw_Row(const char* label, int y, double value, int value_x, int digits) {
    _gcvt(value, digits, Stat_Text);
    Draw_Text(label, 10, y, Stat_Label_Colour);
    Draw_Text(Stat_Text, value_x, y, Stat_Value_Colour);
}

}  // namespace

void Stat_Count_Frame() {
    double now = static_cast<double>(timeGetTime());
    float delta = static_cast<float>(now - Stat_Previous_Time);
    Stat_Previous_Time = now;
    Stat_Accum_Time += delta;
    Stat_Frame_Count += 1;
    // The rate shown is the count of the last interval of at least a second;
    // the time past 1000 ms is dropped, not carried over.
    if (Stat_Accum_Time >= 1000.0f) {
        Stat_FPS = static_cast<float>(Stat_Frame_Count);
        Stat_Frame_Count = 0;
        Stat_Accum_Time = 0;
    }
}

void Draw_Statistics() {
    Stat_Count_Frame();

    Draw_Row("положение по X", 10, Main_Scene_Camera.Pos.x, 130, 8);
    Draw_Row("положение по Y", 20, Main_Scene_Camera.Pos.y, 130, 8);
    Draw_Row("положение по Z", 30, Main_Scene_Camera.Pos.z, 130, 8);
    Draw_Row("Число кадров в секунду (FPS):", 55, Stat_FPS, 250, 12);
    // The timer is read after the rate row is drawn: the system's uptime.
    _gcvt(static_cast<double>(timeGetTime()), 12, Stat_Text);
    Draw_Text("таймер времени работы(мс):", 10, 65, Stat_Label_Colour);
    Draw_Text(Stat_Text, 250, 65, Stat_Value_Colour);
    Draw_Row("число объектов STANDART_OBJECTS", 85, Main_Object_Count, 250, 12);
    Draw_Row("число объектов LIGHT", 105, Main_Light_Count, 250, 12);
    Draw_Text("УПРАВЛЕНИЕ: left,right,up,down arrows ; num0 ; rightCtrl", 10, 125,
              Stat_Label_Colour);
    // Only --watch runs ever have one: why the last reload failed.
    if (Reload_Status[0]) Draw_Text(Reload_Status, 10, 145, Stat_Error_Colour);
}
