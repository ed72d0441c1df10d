#include "camera/camera.h"

#include "app/globals.h"

namespace {

D3DXVECTOR3 Cross(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    return D3DXVECTOR3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

// Summed in double, then stored as a float: the view's translation row
// comes out as the camera math of the original build gave it.
float Dot(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    return static_cast<float>(double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z);
}

}  // namespace

void Update_Camera() {
    Main_Camera& camera = Main_Scene_Camera;

    D3DXVec3Normalize(&camera.Look, &camera.Look);
    camera.Right = Cross(camera.Up, camera.Look);
    D3DXVec3Normalize(&camera.Right, &camera.Right);
    camera.Up = Cross(camera.Look, camera.Right);
    D3DXVec3Normalize(&camera.Up, &camera.Up);

    D3DXMATRIX view;
    view._11 = camera.Right.x;
    view._12 = camera.Up.x;
    view._13 = camera.Look.x;
    view._14 = 0.0f;
    view._21 = camera.Right.y;
    view._22 = camera.Up.y;
    view._23 = camera.Look.y;
    view._24 = 0.0f;
    view._31 = camera.Right.z;
    view._32 = camera.Up.z;
    view._33 = camera.Look.z;
    view._34 = 0.0f;
    view._41 = -Dot(camera.Pos, camera.Right);
    view._42 = -Dot(camera.Pos, camera.Up);
    view._43 = -Dot(camera.Pos, camera.Look);
    view._44 = 1.0f;
    Main_Device->SetTransform(D3DTS_VIEW, &view);

    D3DXMATRIX projection;
    D3DXMatrixPerspectiveFovLH(&projection, Camera_Fov_Y, Camera_Aspect, Camera_Near, Camera_Far);
    Main_Device->SetTransform(D3DTS_PROJECTION, &projection);
}
