// A headless Direct3D 9 device for rendering tests, made the way the engine
// makes its own (device/device_setup.h): Platform_Init(true), a window whose
// client area (and thus the back buffer) is width x height, Direct3DCreate9
// and CreateDevice with the engine's present parameters. Pixels are read
// back after Present.
#pragma once

#include <cstdint>
#include <vector>

#include "device/device_setup.h"
#include "platform/d3d9.h"

class Test_Device {
public:
    explicit Test_Device(int width = 64, int height = 64);
    ~Test_Device();
    Test_Device(const Test_Device&) = delete;
    Test_Device& operator=(const Test_Device&) = delete;

    // False when any step of the creation failed; Error() says which.
    bool Ok() const { return device != nullptr; }
    const char* Error() const { return error_; }

    // Presents the back buffer and reads the frame back. False on failure.
    bool Capture();
    // ARGB of a pixel of the last captured frame (0 outside it).
    std::uint32_t Pixel(int x, int y) const;
    // One channel (0 = red, 1 = green, 2 = blue, 3 = alpha) of that pixel.
    int Channel(int x, int y, int channel) const;

    IDirect3DDevice9* device = nullptr;
    IDirect3D9* d3d = nullptr;
    HWND window = nullptr;
    int width = 0, height = 0;
    std::vector<unsigned char> rgba;  // last captured frame, rows top first

private:
    const char* error_ = "";
};
