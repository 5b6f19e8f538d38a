// libFuzzer entry point of the JPEG decoder: built by clang with TESSELLARIUM_FUZZ on.

#include "fuzz/JpegDecodeFuzzCase.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    RunJpegDecodeFuzzCase(data, size);
    return 0;
}
