// libFuzzer entry point of the program-image reader and the icon walk of self-extractors: built
// by clang with TESSELLARIUM_FUZZ on.

#include "fuzz/PeImageFuzzCase.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    RunPeImageFuzzCase(data, size);
    return 0;
}
