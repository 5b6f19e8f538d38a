// libFuzzer entry point of the tag highlighter's DTD reading and colour codes: built by clang with
// TESSELLARIUM_FUZZ on.

#include "fuzz/HlMemoSyntaxFuzzCase.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    RunHlMemoSyntaxFuzzCase(data, size);
    return 0;
}
