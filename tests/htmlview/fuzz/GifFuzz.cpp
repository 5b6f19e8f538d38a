// libFuzzer entry point of the viewer's pictures: built by clang with TESSELLARIUM_FUZZ on.

#include "fuzz/GifFuzzCase.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    RunGifFuzzCase(data, size);
    return 0;
}
