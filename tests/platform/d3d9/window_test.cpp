// Presenting into a real window on a private X server: the resolved frame is
// stretched over the client area as it is at Present time.
#include <SDL.h>

#include <vector>

#include "d3d9_test_util.h"
#include "platform/win32/window_seam.h"
#include "support/xvfb.h"
#include "x11_capture.h"

namespace {

LRESULT CALLBACK Window_Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcA(hwnd, message, wparam, lparam);
}

TEST(Window, PresentStretchesTheFrameOverTheResizedClientArea) {
    Xvfb_Session x(640, 480);
    if (!x.Ok()) GTEST_SKIP() << "no Xvfb: " << x.Error();
    Scoped_Display display(x.Display());
    if (Platform_Init(false)) GTEST_SKIP() << "the display did not open";

    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Window_Proc;
    wc.lpszClassName = "Quillmoor_Window_Test";
    ASSERT_NE(RegisterClassExA(&wc), 0);
    const int w = 64, h = 48;
    RECT outer = {0, 0, w, h};
    AdjustWindowRect(&outer, WS_OVERLAPPEDWINDOW, FALSE);
    HWND window = CreateWindowExA(
        0, "Quillmoor_Window_Test", "present", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
        outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    SDL_Window* sdl = Win32_Sdl_Window(window);
    ASSERT_NE(sdl, nullptr);

    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp = Engine_Present_Parameters();
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device),
              D3D_OK);
    EXPECT_EQ(pp.BackBufferWidth, UINT(w));
    EXPECT_EQ(pp.BackBufferHeight, UINT(h));

    // Left half green, right half red, top quarter of the left half blue.
    auto draw = [&] {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFFFF0000, 1.0f, 0);
        const D3DRECT left = {0, 0, w / 2, h};
        device->Clear(1, &left, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0);
        device->BeginScene();
        Draw_Screen_Quad(device, 0, 0, float(w / 2), float(h / 4), 0xFF0000FF);
        device->EndScene();
        ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    };
    draw();
    std::vector<std::uint32_t> shown = X11_Window_Pixels(sdl, w, h);
    ASSERT_EQ(shown.size(), std::size_t(w * h));
    EXPECT_EQ(shown[std::size_t(20 * w + 10)], 0xFF00FF00u);
    EXPECT_EQ(shown[std::size_t(20 * w + 50)], 0xFFFF0000u);
    EXPECT_EQ(shown[std::size_t(5 * w + 10)], 0xFF0000FFu);

    // At the window's own size the samples are resolved straight into the
    // window; the read-back resolves them later. A slanted edge (partly
    // covered pixels) must come out the same, row for row, both ways.
    device->BeginScene();
    const Screen_Vertex slant[3] = {{4.0f, 44.0f, 0.5f, 1.0f, 0xFFFFFFFF},
                                    {30.0f, 6.0f, 0.5f, 1.0f, 0xFFFFFFFF},
                                    {60.0f, 40.0f, 0.5f, 1.0f, 0xFFFFFFFF}};
    device->SetFVF(k_screen_fvf);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, slant, sizeof(Screen_Vertex)), D3D_OK);
    device->EndScene();
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    shown = X11_Window_Pixels(sdl, w, h);
    ASSERT_EQ(shown.size(), std::size_t(w * h));
    {
        int fw = 0, fh = 0;
        unsigned char* rgba = nullptr;
        ASSERT_TRUE(Platform_Read_Last_Frame(device, &fw, &fh, &rgba));
        ASSERT_EQ(fw, w);
        ASSERT_EQ(fh, h);
        int partial = 0, mismatched = 0;
        for (int i = 0; i < w * h; ++i) {
            const unsigned char* p = rgba + 4 * i;
            const std::uint32_t read =
                0xFF000000u | std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
            mismatched += read != shown[std::size_t(i)];
            partial += p[0] != 0 && p[0] != 255;
        }
        std::free(rgba);
        EXPECT_EQ(mismatched, 0);
        EXPECT_GT(partial, 0) << "no partly covered pixel: not multisampled";
    }
    // Once the back buffer is drawn on again, the presented frame it held is gone.
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    {
        int fw = 0, fh = 0;
        unsigned char* rgba = nullptr;
        EXPECT_FALSE(Platform_Read_Last_Frame(device, &fw, &fh, &rgba));
        std::free(rgba);
    }

    // Twice the size: the same picture, twice as large; the back buffer stays.
    SDL_SetWindowSize(sdl, 2 * w, 2 * h);
    SDL_PumpEvents();
    int cw = 0, ch = 0;
    ASSERT_TRUE(Win32_Client_Size(window, &cw, &ch));
    ASSERT_EQ(cw, 2 * w);
    ASSERT_EQ(ch, 2 * h);
    draw();
    shown = X11_Window_Pixels(sdl, 2 * w, 2 * h);
    ASSERT_EQ(shown.size(), std::size_t(4 * w * h));
    EXPECT_EQ(shown[std::size_t(40 * 2 * w + 20)], 0xFF00FF00u);
    EXPECT_EQ(shown[std::size_t(40 * 2 * w + 100)], 0xFFFF0000u);
    EXPECT_EQ(shown[std::size_t(10 * 2 * w + 20)], 0xFF0000FFu);
    EXPECT_EQ(shown[std::size_t(30 * 2 * w + 20)], 0xFF00FF00u);  // below the blue quarter
    // The read-back frame keeps its own size.
    int rw = 0, rh = 0;
    unsigned char* frame = nullptr;
    ASSERT_TRUE(Platform_Read_Last_Frame(device, &rw, &rh, &frame));
    std::free(frame);
    EXPECT_EQ(rw, w);
    EXPECT_EQ(rh, h);

    device->Release();
    d3d->Release();
    DestroyWindow(window);
    UnregisterClassA("Quillmoor_Window_Test", nullptr);
    Platform_Init(true);
}

TEST(Window, DeviceOutlivingItsWindowKeepsWorkingOffscreen) {
    Xvfb_Session x(320, 240);
    if (!x.Ok()) GTEST_SKIP() << "no Xvfb: " << x.Error();
    Scoped_Display display(x.Display());
    if (Platform_Init(false)) GTEST_SKIP() << "the display did not open";
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Window_Proc;
    wc.lpszClassName = "Quillmoor_Window_Test";
    ASSERT_NE(RegisterClassExA(&wc), 0);
    HWND window =
        CreateWindowExA(0, "Quillmoor_Window_Test", "gone", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                        100, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp = Engine_Present_Parameters();
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device),
              D3D_OK);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    DestroyWindow(window);
    // Frames still render and read back; nothing goes to the vanished window.
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF123456, 1.0f, 0);
    EXPECT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(Draw_Screen_Quad(device, 0, 0, 10, 10, 0xFFFFFFFF), D3D_OK);
    EXPECT_EQ(device->EndScene(), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    int w = 0, h = 0;
    unsigned char* frame = nullptr;
    ASSERT_TRUE(Platform_Read_Last_Frame(device, &w, &h, &frame));
    ASSERT_EQ(w, 84);
    EXPECT_EQ(frame[(20 * w + 20) * 4 + 0], 0x12);
    EXPECT_EQ(frame[(5 * w + 5) * 4 + 0], 0xFF);
    std::free(frame);
    EXPECT_EQ(device->Release(), 0u);
    d3d->Release();
    UnregisterClassA("Quillmoor_Window_Test", nullptr);
    Platform_Init(true);
}

}  // namespace
