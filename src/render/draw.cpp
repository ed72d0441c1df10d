#include "render/render.h"

const D3DMATERIAL9 Render_Default_Material = {{1.0f, 1.0f, 1.0f, 1.0f},
                                              {0.0f, 0.0f, 0.0f, 0.0f},
                                              {0.0f, 0.0f, 0.0f, 0.0f},
                                              {0.0f, 0.0f, 0.0f, 0.0f},
                                              0.0f};

namespace {

// Every subset with its material and texture; the object's diffuse texture,
// when it has one, replaces the mesh's own on every subset.
void Draw_Subsets(MAIN_CGObject* object) {
    IDirect3DDevice9* device = *object->Device;
    for (DWORD i = 0; i < object->Material_Count; ++i) {
        // Without material arrays (an object loaded with alpha 0) the subsets
        // draw with the default material and no texture of their own.
        device->SetMaterial(object->Materials ? &object->Materials[i] : &Render_Default_Material);
        if (object->Diffuse_Texture)
            device->SetTexture(0, object->Diffuse_Texture);
        else
            device->SetTexture(0, object->Textures ? object->Textures[i] : nullptr);
        object->Mesh->DrawSubset(i);
    }
}

}  // namespace

void Draw_Object(MAIN_CGObject* object, const D3DXVECTOR3* eye) {
    // An object whose model and fallback model both failed has nothing to draw.
    if (!object->Mesh) return;
    IDirect3DDevice9* device = *object->Device;
    device->SetTransform(D3DTS_WORLD, &object->World);

    if (object->Alpha > 100) {
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        Draw_Subsets(object);
    } else if (object->Effect_Count != 0) {
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        Bind_Standard_Parameters(object, eye);
        for (int e = 0; e < object->Effect_Count; ++e) {
            ID3DXEffect* effect = object->Effects[e];
            UINT passes = 0;
            // An effect that cannot begin is skipped.
            if (!effect || FAILED(effect->Begin(&passes, 0))) continue;
            for (UINT p = 0; p < passes; ++p) {
                effect->BeginPass(p);
                Draw_Subsets(object);
                effect->EndPass();
            }
            effect->End();
        }
    } else {
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        Draw_Subsets(object);
    }
}

void Draw_Line(MAIN_CGLight* light, const D3DXVECTOR3& from, const D3DXVECTOR3& to,
               D3DCOLOR colour) {
    const D3DXCOLOR c(colour);
    const Line_Vertex vertices[2] = {
        {from.x, from.y, from.z, c.r, c.g, c.b, c.a},
        {to.x, to.y, to.z, c.r, c.g, c.b, c.a},
    };
    (*light->Device)->DrawPrimitiveUP(D3DPT_LINELIST, 1, vertices, sizeof(Line_Vertex));
}

void Draw_Light(MAIN_CGLight* light) {
    IDirect3DDevice9* device = *light->Device;
    D3DXMatrixTranslation(&light->World, light->Light.Position.x, light->Light.Position.y,
                          light->Light.Position.z);
    device->SetLight(light->Slot, &light->Light);
    if (!light->Renderable) return;

    device->SetMaterial(&light->Marker_Material);
    device->SetTexture(0, nullptr);
    device->SetTransform(D3DTS_WORLD, &light->World);
    if (light->Marker_Mesh) light->Marker_Mesh->DrawSubset(0);

    if (light->Light.Type == D3DLIGHT_SPOT) {
        // The line vertices carry a position and four float colours.
        const D3DVERTEXELEMENT9 elements[] = {
            {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
            {0, 12, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
            D3DDECL_END()};
        IDirect3DVertexDeclaration9* line_declaration = nullptr;
        device->CreateVertexDeclaration(elements, &line_declaration);
        device->SetVertexDeclaration(line_declaration);

        const D3DVECTOR& d = light->Light.Direction;
        const D3DXVECTOR3 tip(d.x * 100.0f, d.y * 100.0f, d.z * 100.0f);
        const D3DXVECTOR3 head(static_cast<float>(d.x * 100.0 / 1.5),
                               static_cast<float>(d.y * 100.0 / 1.5),
                               static_cast<float>(d.z * 100.0 / 1.5));
        const D3DXVECTOR3 offset(5.0f, 5.0f, 5.0f);
        Draw_Line(light, D3DXVECTOR3(0.0f, 0.0f, 0.0f), tip, Arrow_Shaft_Colour);
        Draw_Line(light, tip, head - offset, Arrow_Head_Colour);
        Draw_Line(light, tip, head + offset, Arrow_Head_Colour);
        Draw_Line(light, head + offset, head - offset, Arrow_Head_Colour);
        if (line_declaration) line_declaration->Release();  // the device keeps it while set
    }
    device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
}
