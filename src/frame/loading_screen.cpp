#include <algorithm>
#include <cstring>

#include "app/globals.h"
#include "frame/frame.h"

bool Loading_Presented = false;
DWORD Loading_Last_Present = 0;
DWORD Loading_Last_Cost = 0;

// One line of the overlay font at (x, y), unclipped. Without a font (its
// creation failed at start-up) there is nothing to draw with.
void Draw_Text(const char* text, int x, int y, D3DCOLOR colour) {
    if (!Main_Font) return;
    RECT rect;
    SetRect(&rect, x, y, 0, 0);
    Main_Font->DrawTextA(nullptr, text, -1, &rect, DT_NOCLIP, colour);
}

namespace {

void Release_Buffer(IDirect3DVertexBuffer9** buffer) {
    if (*buffer) (*buffer)->Release();
    *buffer = nullptr;
}

HRESULT Fill_Buffer(IDirect3DVertexBuffer9* buffer, const Loading_Vertex* vertices) {
    void* data = nullptr;
    if (FAILED(buffer->Lock(0, Loading_Buffer_Size, &data, 0))) return E_FAIL;
    std::memcpy(data, vertices, Loading_Buffer_Size);
    buffer->Unlock();
    return 0;
}

void Draw_Strip(IDirect3DVertexBuffer9* buffer) {
    if (!buffer) return;
    Main_Device->SetStreamSource(0, buffer, 0, sizeof(Loading_Vertex));
    Main_Device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
}

}  // namespace

HRESULT Build_Loading_Bar(float percent) {
    const float w = percent * 3.0f;
    const Loading_Vertex bar[6] = {
        {10.0f, 15.0f, 0.5f, 1.0f, 0x000000EE}, {10.0f, 12.0f, 0.5f, 1.0f, 0x000000EE},
        {w, 15.0f, 0.5f, 1.0f, 0x000000EE},     {w, 12.0f, 0.5f, 1.0f, 0x000000EE},
        {10.0f, 12.0f, 0.5f, 1.0f, 0x000000EE}, {w, 15.0f, 0.5f, 1.0f, 0x000000EE},
    };
    const Loading_Vertex frame[6] = {
        {5.0f, 20.0f, 0.5f, 1.0f, 0x00000033},   {5.0f, 5.0f, 0.5f, 1.0f, 0x00000033},
        {305.0f, 20.0f, 0.5f, 1.0f, 0x00000022}, {305.0f, 5.0f, 0.5f, 1.0f, 0x00000022},
        {5.0f, 5.0f, 0.5f, 1.0f, 0x00000033},    {305.0f, 20.0f, 0.5f, 1.0f, 0x00000022},
    };

    Release_Buffer(&Main_Loading_Bar);
    Release_Buffer(&Main_Loading_Frame);

    if (FAILED(Main_Device->CreateVertexBuffer(Loading_Buffer_Size, 0, Loading_Vertex_FVF,
                                               D3DPOOL_DEFAULT, &Main_Loading_Bar, nullptr))) {
        Main_Loading_Bar = nullptr;
        return E_FAIL;
    }
    if (FAILED(Main_Device->CreateVertexBuffer(Loading_Buffer_Size, 0, Loading_Vertex_FVF,
                                               D3DPOOL_DEFAULT, &Main_Loading_Frame, nullptr))) {
        Main_Loading_Frame = nullptr;
        return E_FAIL;
    }
    if (FAILED(Fill_Buffer(Main_Loading_Bar, bar))) return E_FAIL;
    if (FAILED(Fill_Buffer(Main_Loading_Frame, frame))) return E_FAIL;
    return 0;
}

void Draw_Loading_Screen(const char* left_text, const char* right_text, Loading_Frame_Kind kind) {
    const DWORD start = timeGetTime();
    if (kind == Loading_Frame_Entry && Loading_Presented &&
        start - Loading_Last_Present < std::max(Loading_Frame_Interval, 2 * Loading_Last_Cost))
        return;
    Main_Device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    if (SUCCEEDED(Main_Device->BeginScene())) {
        Draw_Text("[загрузка карты]", 310, 5, Loading_Title_Colour);
        Draw_Text(right_text, 310, 25, Loading_Title_Colour);
        Draw_Text(left_text, 10, 25, Loading_Left_Colour);

        Update_Camera();
        Main_Device->SetFVF(Loading_Vertex_FVF);
        Draw_Strip(Main_Loading_Frame);
        Draw_Strip(Main_Loading_Bar);
        Main_Device->EndScene();
    }
    Main_Device->Present(nullptr, nullptr, nullptr, nullptr);
    Loading_Presented = true;
    Loading_Last_Present = timeGetTime();
    Loading_Last_Cost = Loading_Last_Present - start;
}
