// The free-flying camera and the input that moves it.
#pragma once

#include "platform/d3dx9.h"

struct Main_Camera {
    D3DXVECTOR3 Pos;    // eye position
    D3DXVECTOR3 Look;   // viewing direction, unit length after Update_Camera
    D3DXVECTOR3 Up;     // rebuilt by Update_Camera, never rolls
    D3DXVECTOR3 Right;  // horizontal, rebuilt by Update_Camera
    float Speed;        // scene units per millisecond of frame time
};

extern Main_Camera Main_Scene_Camera;

// Perspective used for every frame: fixed 4:3 whatever the window size.
const float Camera_Fov_Y = 0.7853982f;
const float Camera_Aspect = 1.3333334f;
const float Camera_Near = 1.0f;
const float Camera_Far = 15000.0f;

void Update_Camera();

// Mouse and keyboard (polled once per idle pass of the main loop).
struct Mouse_Point {
    int x;
    int y;
};
extern Mouse_Point Mouse_Current;
extern Mouse_Point Mouse_Previous;

// One third of a degree per pixel of cursor motion.
// Kept as a double: the turn angle is worked out in double and only then
// stored as a float.
const double Mouse_Radians_Per_Degree = 0.017453292;

void Mouse_Look();
void Keyboard_Move(float frame_time);
// Moves the eye `step` scene units along the viewing direction, whatever the
// frame time: the fixed path the benchmark's --walk runs take.
void Walk_Along_Look(float step);
