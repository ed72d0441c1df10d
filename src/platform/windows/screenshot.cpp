// Reading the last presented frame back on Windows, for --screenshot: a copy
// of the back buffer made at each Present (resolved when multisampled),
// through GetRenderTargetData into a system-memory surface, written as PNG by
// the same writer as on Linux.
#include "windows_internal.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBIW_WINDOWS_UTF8  // the path is UTF-8, as on Linux
#include <stb/stb_image_write.h>

namespace {

template <typename T>
struct Com {
    T* p = nullptr;
    ~Com() {
        if (p) p->Release();
    }
};

// The last presented frame. Direct3D may discard the back buffer at Present
// (Wine does, for D3DSWAPEFFECT_DISCARD), so each Present first copies it, on
// the device (and resolved when multisampled), into this render target.
IDirect3DDevice9* g_frame_device = nullptr;
IDirect3DSurface9* g_frame = nullptr;

void Forget_Frame() {
    if (g_frame) g_frame->Release();
    g_frame = nullptr;
    g_frame_device = nullptr;
}

void Keep_Frame(IDirect3DDevice9* device) {
    Com<IDirect3DSurface9> back;
    if (FAILED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back.p))) return;
    D3DSURFACE_DESC desc;
    if (FAILED(back.p->GetDesc(&desc))) return;
    if (g_frame != nullptr) {
        D3DSURFACE_DESC kept;
        if (g_frame_device != device || FAILED(g_frame->GetDesc(&kept)) ||
            kept.Width != desc.Width || kept.Height != desc.Height || kept.Format != desc.Format)
            Forget_Frame();
    }
    if (g_frame == nullptr) {
        if (FAILED(device->CreateRenderTarget(desc.Width, desc.Height, desc.Format,
                                              D3DMULTISAMPLE_NONE, 0, FALSE, &g_frame, nullptr)))
            return;
        g_frame_device = device;
    }
    device->StretchRect(back.p, nullptr, g_frame, nullptr, D3DTEXF_NONE);
}

// The device's own Present and Reset, found in its method table and replaced
// there by the ones below (all devices of the system's class share the table).
typedef HRESULT(STDMETHODCALLTYPE* Present_Method)(IDirect3DDevice9*, const RECT*, const RECT*,
                                                   HWND, const RGNDATA*);
typedef HRESULT(STDMETHODCALLTYPE* Reset_Method)(IDirect3DDevice9*, D3DPRESENT_PARAMETERS*);
typedef HRESULT(STDMETHODCALLTYPE* Create_Device_Method)(IDirect3D9*, UINT, D3DDEVTYPE, HWND, DWORD,
                                                         D3DPRESENT_PARAMETERS*,
                                                         IDirect3DDevice9**);
constexpr int k_create_device_slot = 16;  // IDirect3D9::CreateDevice
constexpr int k_reset_slot = 16;          // IDirect3DDevice9::Reset
constexpr int k_present_slot = 17;        // IDirect3DDevice9::Present
Present_Method g_present = nullptr;
Reset_Method g_reset = nullptr;
Create_Device_Method g_create_device = nullptr;

HRESULT STDMETHODCALLTYPE Presenting(IDirect3DDevice9* device, const RECT* source,
                                     const RECT* destination, HWND window, const RGNDATA* dirty) {
    Keep_Frame(device);
    return g_present(device, source, destination, window, dirty);
}

HRESULT STDMETHODCALLTYPE Resetting(IDirect3DDevice9* device, D3DPRESENT_PARAMETERS* present) {
    if (device == g_frame_device) Forget_Frame();  // a default-pool surface blocks Reset
    return g_reset(device, present);
}

template <typename Method>
void Replace_Method(void* object, int slot, Method replacement, Method* original) {
    void** table = *static_cast<void***>(object);
    if (table[slot] == reinterpret_cast<void*>(replacement)) return;
    DWORD old_protection = 0;
    if (!VirtualProtect(&table[slot], sizeof(void*), PAGE_READWRITE, &old_protection)) return;
    *original = reinterpret_cast<Method>(table[slot]);
    table[slot] = reinterpret_cast<void*>(replacement);
    VirtualProtect(&table[slot], sizeof(void*), old_protection, &old_protection);
    FlushInstructionCache(GetCurrentProcess(), &table[slot], sizeof(void*));
}

HRESULT STDMETHODCALLTYPE Creating_Device(IDirect3D9* d3d, UINT adapter, D3DDEVTYPE type,
                                          HWND window, DWORD flags, D3DPRESENT_PARAMETERS* present,
                                          IDirect3DDevice9** device) {
    const HRESULT hr = g_create_device(d3d, adapter, type, window, flags, present, device);
    if (SUCCEEDED(hr) && device && *device) {
        Replace_Method(*device, k_present_slot, &Presenting, &g_present);
        Replace_Method(*device, k_reset_slot, &Resetting, &g_reset);
    }
    return hr;
}

bool Read_Back_Buffer(IDirect3DDevice9* device, int* width, int* height,
                      std::vector<unsigned char>* rgba) {
    if (device == nullptr || device != g_frame_device || g_frame == nullptr) return false;
    D3DSURFACE_DESC desc;
    if (FAILED(g_frame->GetDesc(&desc))) return false;
    if (desc.Format != D3DFMT_X8R8G8B8 && desc.Format != D3DFMT_A8R8G8B8) return false;
    Com<IDirect3DSurface9> system;
    if (FAILED(device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format,
                                                   D3DPOOL_SYSTEMMEM, &system.p, nullptr)) ||
        FAILED(device->GetRenderTargetData(g_frame, system.p)))
        return false;
    D3DLOCKED_RECT locked;
    if (FAILED(system.p->LockRect(&locked, nullptr, D3DLOCK_READONLY))) return false;
    rgba->resize(static_cast<std::size_t>(desc.Width) * desc.Height * 4);
    for (UINT y = 0; y < desc.Height; ++y) {
        const auto* row = static_cast<const unsigned char*>(locked.pBits) + y * locked.Pitch;
        unsigned char* out = rgba->data() + static_cast<std::size_t>(y) * desc.Width * 4;
        for (UINT x = 0; x < desc.Width; ++x) {
            // B, G, R, A in memory.
            out[x * 4 + 0] = row[x * 4 + 2];
            out[x * 4 + 1] = row[x * 4 + 1];
            out[x * 4 + 2] = row[x * 4 + 0];
            out[x * 4 + 3] = desc.Format == D3DFMT_A8R8G8B8 ? row[x * 4 + 3] : 255;
        }
    }
    system.p->UnlockRect();
    *width = static_cast<int>(desc.Width);
    *height = static_cast<int>(desc.Height);
    return true;
}

}  // namespace

IDirect3D9* WINAPI Platform_Direct3DCreate9(UINT sdk_version) {
    IDirect3D9* d3d = Direct3DCreate9(sdk_version);
    if (d3d != nullptr)
        Replace_Method(d3d, k_create_device_slot, &Creating_Device, &g_create_device);
    return d3d;
}

void Windows_Release_Frame(void) {
    Forget_Frame();
}

bool Platform_Read_Last_Frame(IDirect3DDevice9* device, int* width, int* height,
                              unsigned char** rgba) {
    if (!width || !height || !rgba) return false;
    *rgba = nullptr;
    std::vector<unsigned char> pixels;
    if (!Read_Back_Buffer(device, width, height, &pixels)) return false;
    *rgba = static_cast<unsigned char*>(std::malloc(pixels.size()));
    if (!*rgba) return false;
    std::memcpy(*rgba, pixels.data(), pixels.size());
    return true;
}

bool Platform_Save_Screenshot(IDirect3DDevice9* device, const char* utf8_path) {
    if (!utf8_path || !*utf8_path) return false;
    int width = 0, height = 0;
    std::vector<unsigned char> pixels;
    if (!Read_Back_Buffer(device, &width, &height, &pixels)) return false;
    // The window shows the frame opaque whatever alpha the back buffer holds.
    for (std::size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
    return stbi_write_png(utf8_path, width, height, 4, pixels.data(), width * 4) != 0;
}
