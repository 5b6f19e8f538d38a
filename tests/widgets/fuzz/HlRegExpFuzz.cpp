// libFuzzer entry point of the regular-expression engine: built by clang with TESSELLARIUM_FUZZ on.

#include "fuzz/HlRegExpFuzzCase.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    RunHlRegExpFuzzCase(data, size);
    return 0;
}
