// libFuzzer entry point of the prepared-report reader and sheet drawing: built by clang with
// TESSELLARIUM_FUZZ on.

#include "fuzz/PreparedFuzzCase.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    RunPreparedFuzzCase(data, size);
    return 0;
}
