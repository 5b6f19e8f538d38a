// libFuzzer entry point of the HTML document builder and its parser thread: built by clang with
// TESSELLARIUM_FUZZ on.

#include "fuzz/HtmlFuzzCase.h"

#include <cstdlib>

// The font library keeps caches for the life of the process; they are not leaks of the parser.
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
    RunHtmlFuzzCase(data, size);
    return 0;
}
