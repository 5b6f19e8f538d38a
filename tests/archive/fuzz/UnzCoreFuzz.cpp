// libFuzzer entry point of the unzip engine: built by clang with TESSELLARIUM_FUZZ on.

#include "fuzz/UnzCoreFuzzCase.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    RunUnzCoreFuzzCase(data, size);
    return 0;
}
