// libFuzzer entry point of the viewer's helpers: built by clang with TESSELLARIUM_FUZZ on.

#include "fuzz/HelpersFuzzCase.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    RunHelpersFuzzCase(data, size);
    return 0;
}
