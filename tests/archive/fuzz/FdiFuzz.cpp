// libFuzzer entry point of the cabinet reader: built by clang with TESSELLARIUM_FUZZ on.

#include "fuzz/FdiFuzzCase.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    RunFdiFuzzCase(data, size);
    return 0;
}
