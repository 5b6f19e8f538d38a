// libFuzzer entry point of the hint-line parsing: built by clang with TESSELLARIUM_FUZZ on.

#include "fuzz/HintLineFuzzCase.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    RunHintLineFuzzCase(data, size);
    return 0;
}
