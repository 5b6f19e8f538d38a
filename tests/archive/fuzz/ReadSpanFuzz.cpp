// libFuzzer entry point of the spanned-set join: built by clang with TESSELLARIUM_FUZZ on.

#include "fuzz/ReadSpanFuzzCase.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    RunReadSpanFuzzCase(data, size);
    return 0;
}
