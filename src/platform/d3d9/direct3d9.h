// IDirect3D9: the object Direct3DCreate9 returns, which makes the devices.
#pragma once

#include "platform/d3d9.h"
#include "platform/d3d9/com_object.h"

namespace qm_d3d9 {

class Direct3D9 final : public Com_Object<IDirect3D9> {
public:
    Direct3D9() = default;
    HRESULT CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow,
                         DWORD BehaviorFlags, D3DPRESENT_PARAMETERS* pPresentationParameters,
                         IDirect3DDevice9** ppReturnedDeviceInterface) override;

private:
    ~Direct3D9() = default;
};

}  // namespace qm_d3d9
