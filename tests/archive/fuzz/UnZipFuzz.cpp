// libFuzzer entry point of the extraction: built by clang with TESSELLARIUM_FUZZ on.

#include "fuzz/UnZipFuzzCase.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    RunUnZipFuzzCase(data, size);
    return 0;
}
