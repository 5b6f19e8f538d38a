// libFuzzer entry point of the ZIP component's listing: built by clang with TESSELLARIUM_FUZZ on.

#include "fuzz/ZipListFuzzCase.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    RunZipListFuzzCase(data, size);
    return 0;
}
