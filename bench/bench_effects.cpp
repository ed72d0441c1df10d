// Effects: creation time of 200 effect instances over the 5 object effects
// of the sample game (the first instance of each file compiles, the rest
// share its compiled programs), what the compile worker adds to that (its
// start, and one round trip per shader), the cost of offering the engine's standard
// parameter set (35 names) to one effect, and of one Begin/BeginPass/
// EndPass/End round, all on the headless device.
//
//   bench_effects [--dir GAME_FOLDER]   (default: the working directory,
//                                        falling back to ./data)
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "device/device_setup.h"
#include "platform/d3dx9.h"
#include "platform/fx/compile/isolation.h"
#include "render/standard_parameters.h"

namespace {

using Clock = std::chrono::steady_clock;

double Micros(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

const char* const k_files[] = {"fx\\phong.fx", "fx\\normal_map.fx", "fx\\env_map.fx",
                               "fx\\rim_glow.fx", "fx\\tint.fx"};
constexpr int k_instances = 200;

// The 35 calls of the engine's binding, in its order; returns the successes.
int Offer_Standard_Set(ID3DXEffect* fx, IDirect3DBaseTexture9* tex, const D3DXMATRIX& m,
                       const D3DLIGHT9& light) {
    const D3DXVECTOR4 eye(1, 2, 3, 0.5f);
    int ok = 0;
    for (const char* const* row : Standard_Matrix_Rows)
        for (; *row; ++row) ok += SUCCEEDED(fx->SetMatrix(*row, &m));
    for (const char* const* row : Standard_Texture_Rows)
        for (; *row; ++row) ok += SUCCEEDED(fx->SetTexture(*row, tex));
    ok += SUCCEEDED(fx->SetVector(Standard_Eye_Name, &eye));
    for (const char* const* row : Standard_Three_Float_Rows)
        for (; *row; ++row) ok += SUCCEEDED(fx->SetValue(*row, &light.Position, 12));
    for (const char* const* row : Standard_Light_Rows)
        for (; *row; ++row) ok += SUCCEEDED(fx->SetValue(*row, &light, sizeof light));
    return ok;
}

std::string Echo(const std::string& request) {
    return request;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--dir") == 0 && chdir(argv[i + 1]) != 0) {
            std::fprintf(stderr, "bench_effects: cannot enter %s\n", argv[i + 1]);
            return 1;
        }
    if (access("fx/phong.fx", R_OK) != 0 && access("data/fx/phong.fx", R_OK) == 0 &&
        chdir("data") != 0)
        return 1;

    Platform_Init(true);
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    HWND window = Create_Device_Window("bench", 1008, 729);
    if (!window || Create_Direct3D_Device(window, &d3d, &device) != Device_Setup_Ok) {
        std::fprintf(stderr, "bench_effects: no headless device\n");
        return 1;
    }

    // --- creation ------------------------------------------------------------
    std::vector<ID3DXEffect*> effects;
    effects.reserve(k_instances);
    std::printf("effect creation, %d instances over %zu files\n", k_instances, std::size(k_files));
    const Clock::time_point all_start = Clock::now();
    double first_total = 0;
    for (const char* file : k_files) {
        const Clock::time_point t0 = Clock::now();
        ID3DXEffect* fx = nullptr;
        if (FAILED(D3DXCreateEffectFromFileA(device, file, nullptr, nullptr, 0, nullptr, &fx,
                                             nullptr))) {
            std::fprintf(stderr, "bench_effects: %s does not compile\n", file);
            return 1;
        }
        const double us = Micros(Clock::now() - t0);
        first_total += us;
        std::printf("  first instance of %-18s %9.1f ms (preprocess, parse, compile, link)\n", file,
                    us / 1000.0);
        effects.push_back(fx);
    }
    const Clock::time_point cached_start = Clock::now();
    for (int i = static_cast<int>(effects.size()); i < k_instances; ++i) {
        ID3DXEffect* fx = nullptr;
        const char* file = k_files[static_cast<std::size_t>(i) % std::size(k_files)];
        if (FAILED(D3DXCreateEffectFromFileA(device, file, nullptr, nullptr, 0, nullptr, &fx,
                                             nullptr)))
            return 1;
        effects.push_back(fx);
    }
    const double cached_us = Micros(Clock::now() - cached_start);
    const int cached_count = k_instances - static_cast<int>(std::size(k_files));
    std::printf("  first instances:   %9.1f ms for %zu (%.1f ms each)\n", first_total / 1000.0,
                std::size(k_files), first_total / 1000.0 / double(std::size(k_files)));
    std::printf(
        "  cached instances:  %9.1f ms for %d (%.1f us each: preprocess + lookup + values)\n",
        cached_us / 1000.0, cached_count, cached_us / cached_count);
    std::printf("  all %d instances: %9.1f ms\n", k_instances,
                Micros(Clock::now() - all_start) / 1000.0);

    // --- the compile worker ------------------------------------------------------------
    // Shaders are translated in a forked worker: it starts once (on the first
    // compile), then each new shader costs one round trip of its source.
    {
        const std::string source(16 * 1024, 'x');  // about one shader's HLSL
        constexpr int k_trips = 200;
        double start_us = 0;
        for (int r = 0; r < 5; ++r) {
            qm_fx::Stop_Worker();
            const Clock::time_point t0 = Clock::now();
            qm_fx::Run_In_Worker(Echo, source, qm_fx::Compile_Limits());
            start_us += Micros(Clock::now() - t0);
        }
        const Clock::time_point t0 = Clock::now();
        for (int r = 0; r < k_trips; ++r)
            qm_fx::Run_In_Worker(Echo, source, qm_fx::Compile_Limits());
        std::printf(
            "compile worker\n  start + first request: %7.2f ms (mean of 5)\n"
            "  round trip of 16 KiB: %7.1f us (mean of %d)\n",
            start_us / 5000.0, Micros(Clock::now() - t0) / k_trips, k_trips);
    }

    // --- the standard parameter set ----------------------------------------------
    IDirect3DTexture9* tex = nullptr;
    device->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr);
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    D3DLIGHT9 light{};
    ID3DXEffect* none = nullptr;
    if (FAILED(D3DXCreateEffectFromFileA(device, "fx\\shadow\\postPRocess.fx", nullptr, nullptr, 0,
                                         nullptr, &none, nullptr))) {
        std::fprintf(stderr, "bench_effects: fx\\shadow\\postPRocess.fx does not compile\n");
        return 1;
    }
    constexpr int k_rounds = 20000;
    std::printf("standard parameter set (35 names), %d rounds\n", k_rounds);
    struct Case {
        const char* what;
        ID3DXEffect* fx;
    } cases[] = {{"phong.fx (declares 7 of them)", effects[0]},
                 {"postPRocess.fx (declares none)", none}};
    for (const Case& c : cases) {
        int ok = 0;
        const Clock::time_point t0 = Clock::now();
        for (int r = 0; r < k_rounds; ++r) ok += Offer_Standard_Set(c.fx, tex, m, light);
        const double us = Micros(Clock::now() - t0);
        std::printf("  %-32s %7.3f us per set, %6.1f ns per call (%d of 35 taken)\n", c.what,
                    us / k_rounds, us * 1000.0 / (k_rounds * 35.0), ok / k_rounds);
    }

    // --- applying a pass -------------------------------------------------------------
    std::printf("Begin/BeginPass/EndPass/End, %d rounds\n", k_rounds);
    for (const Case& c : cases) {
        const Clock::time_point t0 = Clock::now();
        for (int r = 0; r < k_rounds; ++r) {
            // A changed value forces the uniform upload, as every frame does.
            c.fx->SetMatrix("World", &m);
            UINT passes = 0;
            c.fx->Begin(&passes, 0);
            for (UINT p = 0; p < passes; ++p) {
                c.fx->BeginPass(p);
                c.fx->EndPass();
            }
            c.fx->End();
        }
        std::printf("  %-32s %7.2f us per round\n", c.what, Micros(Clock::now() - t0) / k_rounds);
    }

    none->Release();
    tex->Release();
    for (ID3DXEffect* fx : effects) fx->Release();
    device->Release();
    d3d->Release();
    DestroyWindow(window);
    Platform_Shutdown();
    return 0;
}
