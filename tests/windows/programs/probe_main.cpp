// qm_probe.exe: the differential probes (probe/d3dx_probe.h) on the system's
// Direct3D 9 and D3DX 9, run under Wine by tests/windows. Writes the probe's
// lines on stdout.
//   qm_probe.exe math SEED COUNT
//   qm_probe.exe meshes FILE...
//   qm_probe.exe textures FILE...
//   qm_probe.exe lighting
//   qm_probe.exe states
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "device/device_setup.h"
#include "probe/d3dx_probe.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: qm_probe math SEED COUNT | meshes FILE... | textures FILE...\n");
        return 2;
    }
    const std::string what = argv[1];
    std::string out;
    if (what == "math" && argc == 4) {
        out = Probe_Math(static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)),
                         std::atoi(argv[3]));
    } else if (what == "meshes" || what == "textures" || what == "lighting" || what == "states") {
        Platform_Init(true);
        // A hidden window and a device made as the engine makes its own.
        HWND window = Create_Device_Window("qm_probe", 64, 64, WS_OVERLAPPEDWINDOW);
        IDirect3D9* d3d = nullptr;
        IDirect3DDevice9* device = nullptr;
        if (!window || Create_Direct3D_Device(window, &d3d, &device) != Device_Setup_Ok) {
            std::fprintf(stderr, "qm_probe: no Direct3D device\n");
            return 1;
        }
        const std::vector<std::string> files(argv + 2, argv + argc);
        out = what == "meshes"     ? Probe_Meshes(device, files)
              : what == "textures" ? Probe_Textures(device, files)
              : what == "lighting" ? Probe_Lighting(device)
                                   : Probe_States(device);
        device->Release();
        d3d->Release();
        DestroyWindow(window);
    } else {
        std::fprintf(stderr, "qm_probe: unknown command '%s'\n", what.c_str());
        return 2;
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}
