// libFuzzer entry point of the prepared-report reader and sheet drawing: built by clang with
// TESSELLARIUM_FUZZ on.

#include "fuzz/PreparedFuzzCase.h"

// Sheets are drawn with fonts: the font configuration library keeps its caches for the life of the
// process, which the leak check after each input would otherwise report.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    RunPreparedFuzzCase(data, size);
    return 0;
}
