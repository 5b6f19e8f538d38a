// libFuzzer entry point of the expression parser: built by clang with TESSELLARIUM_FUZZ on.

#include "fuzz/ExpressionFuzzCase.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    RunExpressionFuzzCase(data, size);
    return 0;
}
