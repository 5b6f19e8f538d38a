// libFuzzer entry point of the template reader: built by clang with TESSELLARIUM_FUZZ on.

#include "fuzz/TemplateFuzzCase.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    RunTemplateFuzzCase(data, size);
    return 0;
}
