// libFuzzer entry: see fuzz_targets.h. One headless device serves every input;
// the compile worker is forked once and kept, as in the engine.
#include "fuzz_targets.h"

#include <cstdio>
#include <cstdlib>

#include "support/test_device.h"

namespace {
Test_Device* Device = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qm_fuzz::Enter_Private_Folder();
    static Test_Device device(16, 16);
    if (!device.Ok()) {
        std::fprintf(stderr, "fuzz: no headless device: %s\n", device.Error());
        std::exit(1);
    }
    Device = &device;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qm_fuzz::Create_Effect(Device->device, data, size);
    return 0;
}
