#include "app/globals.h"
#include "camera/camera.h"

Mouse_Point Mouse_Current;
Mouse_Point Mouse_Previous;

namespace {

bool Held(const BYTE* keys, int virtual_key) {
    return (keys[virtual_key] & 0x80) != 0;
}

void Turn(const D3DXVECTOR3& axis, float angle) {
    D3DXMATRIX rotation;
    D3DXMatrixRotationAxis(&rotation, &axis, angle);
    D3DXVec3TransformCoord(&Main_Scene_Camera.Look, &Main_Scene_Camera.Look, &rotation);
    D3DXVec3TransformCoord(&Main_Scene_Camera.Up, &Main_Scene_Camera.Up, &rotation);
}

}  // namespace

void Mouse_Look() {
    POINT cursor;
    GetCursorPos(&cursor);
    ScreenToClient(Main_Window, &cursor);
    Mouse_Current.x = cursor.x;
    Mouse_Current.y = cursor.y;

    if (Main_Left_Button) {
        int dx = Mouse_Current.x - Mouse_Previous.x;
        int dy = Mouse_Current.y - Mouse_Previous.y;
        // Pitch about the camera's own horizontal axis first, then yaw about
        // the world's vertical, so the horizon stays level.
        if (dy != 0) {
            float angle = static_cast<float>(dy / 3.0 * Mouse_Radians_Per_Degree);
            Turn(Main_Scene_Camera.Right, angle);
        }
        if (dx != 0) {
            float angle = static_cast<float>(dx / 3.0 * Mouse_Radians_Per_Degree);
            Turn(D3DXVECTOR3(0.0f, 1.0f, 0.0f), angle);
        }
    }
    // Follow the cursor even with the button up, so pressing it never jumps
    // the view by the motion made in between.
    Mouse_Previous = Mouse_Current;

    BYTE keys[256];
    GetKeyboardState(keys);
    if (Held(keys, VK_NUMPAD0)) {
        Main_Scene_Camera.Pos += Main_Scene_Camera.Look * Main_Scene_Camera.Speed;
    }
}

void Keyboard_Move(float frame_time) {
    BYTE keys[256];
    GetKeyboardState(keys);

    const D3DXVECTOR3 look = Main_Scene_Camera.Look;
    const D3DXVECTOR3 right = Main_Scene_Camera.Right;
    const float s = Main_Scene_Camera.Speed;
    const float t = frame_time;
    D3DXVECTOR3& pos = Main_Scene_Camera.Pos;

    // Walking keys keep the height; numpad 0 and left Shift fly.
    if (Held(keys, VK_UP) || Held(keys, 'W')) {
        pos.x += s * look.x * t;
        pos.z += s * look.z * t;
    }
    if (Held(keys, VK_DOWN) || Held(keys, 'S')) {
        pos.x -= s * look.x * t;
        pos.z -= s * look.z * t;
    }
    if (Held(keys, VK_LEFT) || Held(keys, 'A')) {
        pos.x -= right.x * s * t;
        pos.z -= right.z * s * t;
    }
    if (Held(keys, VK_RIGHT) || Held(keys, 'D')) {
        pos.x += right.x * s * t;
        pos.z += right.z * s * t;
    }
    if (Held(keys, VK_NUMPAD0)) {
        pos.x += s * look.x * t;
        pos.z += s * look.z * t;
        pos.y += s * look.y * t;
    }
    if (Held(keys, VK_LSHIFT)) {
        pos.x += s * look.x * t;
        pos.z += s * look.z * t;
        pos.y += s * look.y * t;
    }
}

void Walk_Along_Look(float step) {
    D3DXVECTOR3 look;
    D3DXVec3Normalize(&look, &Main_Scene_Camera.Look);
    Main_Scene_Camera.Pos += look * step;
}
