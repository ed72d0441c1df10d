#include "render/render.h"
#include "render/standard_parameters.h"

namespace {

void Set_Matrix(ID3DXEffect* effect, const char* const* names, const D3DXMATRIX& value) {
    for (; *names; ++names) effect->SetMatrix(*names, &value);
}

void Set_Texture(ID3DXEffect* effect, const char* const* names, IDirect3DTexture9* texture) {
    for (; *names; ++names) effect->SetTexture(*names, texture);
}

void Set_Value(ID3DXEffect* effect, const char* const* names, const void* value, UINT bytes) {
    for (; *names; ++names) effect->SetValue(*names, value, bytes);
}

// An inverse that does not exist is offered as the identity.
D3DXMATRIX Inverse_Of(const D3DXMATRIX& m) {
    D3DXMATRIX inverse;
    if (!D3DXMatrixInverse(&inverse, nullptr, &m)) D3DXMatrixIdentity(&inverse);
    return inverse;
}

}  // namespace

void Bind_Standard_Parameters(MAIN_CGObject* object, const D3DXVECTOR3* eye) {
    IDirect3DDevice9* device = *object->Device;
    D3DXMATRIX world, view, projection;
    device->GetTransform(D3DTS_WORLD, &world);
    device->GetTransform(D3DTS_VIEW, &view);
    device->GetTransform(D3DTS_PROJECTION, &projection);

    D3DXMATRIX view_projection, world_view, world_view_projection;
    D3DXMatrixMultiply(&view_projection, &view, &projection);
    D3DXMatrixMultiply(&world_view, &world, &view);
    D3DXMatrixMultiply(&world_view_projection, &world_view, &projection);
    const D3DXMATRIX world_view_inverse = Inverse_Of(world_view);
    D3DXMATRIX world_inverse_transpose;
    const D3DXMATRIX world_inverse = Inverse_Of(world);
    D3DXMatrixTranspose(&world_inverse_transpose, &world_inverse);
    const D3DXMATRIX view_inverse = Inverse_Of(view);

    const D3DXVECTOR4 eye_vector(eye->x, eye->y, eye->z, 0.5f);
    const float camera[3] = {eye->x, eye->y, eye->z};
    float light_direction[3] = {0, 0, 0};
    float light_position[3] = {0, 0, 0};
    if (const D3DLIGHT9* light = object->Scene_Light) {
        light_direction[0] = -(light->Direction.x + light->Position.x);
        light_direction[1] = -(light->Direction.y + light->Position.y);
        light_direction[2] = -(light->Direction.z + light->Position.z);
        light_position[0] = light->Position.x;
        light_position[1] = light->Position.y;
        light_position[2] = light->Position.z;
    }

    for (int i = 0; i < object->Effect_Count; ++i) {
        ID3DXEffect* effect = object->Effects[i];
        if (!effect) continue;
        Set_Matrix(effect, Standard_World_Names, world);
        Set_Matrix(effect, Standard_View_Names, view);
        Set_Matrix(effect, Standard_View_Projection_Names, view_projection);
        Set_Matrix(effect, Standard_Projection_Names, projection);
        Set_Matrix(effect, Standard_World_View_Projection_Names, world_view_projection);
        Set_Matrix(effect, Standard_World_View_Names, world_view);
        Set_Matrix(effect, Standard_World_View_Inverse_Names, world_view_inverse);
        Set_Matrix(effect, Standard_World_Inverse_Transpose_Names, world_inverse_transpose);
        Set_Matrix(effect, Standard_View_Inverse_Names, view_inverse);
        if (object->Reflection_Texture)
            Set_Texture(effect, Standard_Reflection_Names, object->Reflection_Texture);
        if (object->Diffuse_Texture)
            Set_Texture(effect, Standard_Diffuse_Names, object->Diffuse_Texture);
        if (object->Bump_Texture) Set_Texture(effect, Standard_Bump_Names, object->Bump_Texture);
        if (object->Height_Texture)
            Set_Texture(effect, Standard_Height_Names, object->Height_Texture);
        effect->SetVector(Standard_Eye_Name, &eye_vector);
        Set_Value(effect, Standard_Camera_Names, camera, sizeof camera);
        if (object->Scene_Light) {
            Set_Value(effect, Standard_Light_Direction_Names, light_direction,
                      sizeof light_direction);
            Set_Value(effect, Standard_Light_Position_Names, light_position, sizeof light_position);
            Set_Value(effect, Standard_Light_Names, object->Scene_Light, sizeof(D3DLIGHT9));
        }
    }
}
