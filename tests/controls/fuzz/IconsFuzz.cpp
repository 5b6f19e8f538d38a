// libFuzzer entry point of the icon list's stream and the real-size icons: built by clang with
// TESSELLARIUM_FUZZ on.

#include "fuzz/IconsFuzzCase.h"

#include "platform/gui/Application.h"

#include <cstdlib>

extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    Application->Initialize();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    RunIconsFuzzCase(data, size);
    return 0;
}
