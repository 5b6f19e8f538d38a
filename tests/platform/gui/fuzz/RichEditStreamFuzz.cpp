// libFuzzer entry point of the rich edit's stream-in and format range: built by clang with
// TESSELLARIUM_FUZZ on.

#include "fuzz/RichEditStreamFuzzCase.h"

#include "platform/gui/Application.h"

#include <QApplication>

#include <cstdlib>

// The font library keeps caches for the life of the process; they are not leaks of the control.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "RichEditStreamFuzz";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
    Application->Initialize();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    RunRichEditStreamFuzzCase(data, size);
    return 0;
}
