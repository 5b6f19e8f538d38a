// libFuzzer entry point of the script compiler and interpreter: built by clang with
// TESSELLARIUM_FUZZ on.

#include "fuzz/ScriptFuzzCase.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    RunScriptFuzzCase(data, size);
    return 0;
}
