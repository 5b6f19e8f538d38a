// libFuzzer entry point of the barcode encoders: built by clang with TESSELLARIUM_FUZZ on.

#include "fuzz/BarcodeFuzzCase.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    RunBarcodeFuzzCase(data, size);
    return 0;
}
