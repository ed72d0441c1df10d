// libFuzzer entry: see fuzz_targets.h.
#include "fuzz_targets.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qm_fuzz::Enter_Private_Folder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qm_fuzz::Read_Settings(data, size);
    return 0;
}
