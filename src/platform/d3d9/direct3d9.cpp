#include "platform/d3d9/direct3d9.h"

#include "platform/d3d9/device.h"

namespace qm_d3d9 {

HRESULT Direct3D9::CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD,
                                D3DPRESENT_PARAMETERS* pPresentationParameters,
                                IDirect3DDevice9** ppReturnedDeviceInterface) {
    if (!ppReturnedDeviceInterface) return D3DERR_INVALIDCALL;
    *ppReturnedDeviceInterface = nullptr;
    if (!pPresentationParameters || Adapter != D3DADAPTER_DEFAULT) return D3DERR_INVALIDCALL;
    if (DeviceType != D3DDEVTYPE_HAL && DeviceType != D3DDEVTYPE_REF && DeviceType != D3DDEVTYPE_SW)
        return D3DERR_INVALIDCALL;
    HRESULT hr =
        Device::Create(this, hFocusWindow, *pPresentationParameters, ppReturnedDeviceInterface);
    if (SUCCEEDED(hr)) {
        // As Direct3D does, report the size the back buffer got.
        D3DVIEWPORT9 viewport;
        (*ppReturnedDeviceInterface)->GetViewport(&viewport);
        pPresentationParameters->BackBufferWidth = viewport.Width;
        pPresentationParameters->BackBufferHeight = viewport.Height;
        if (pPresentationParameters->BackBufferFormat == D3DFMT_UNKNOWN)
            pPresentationParameters->BackBufferFormat = D3DFMT_X8R8G8B8;
        if (pPresentationParameters->BackBufferCount == 0)
            pPresentationParameters->BackBufferCount = 1;
    }
    return hr;
}

}  // namespace qm_d3d9

IDirect3D9* WINAPI Direct3DCreate9(UINT SDKVersion) {
    if (SDKVersion != D3D_SDK_VERSION) return nullptr;
    return new qm_d3d9::Direct3D9();
}
