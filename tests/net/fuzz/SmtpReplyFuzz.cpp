// libFuzzer entry point of the SmtpReply target: built by clang with TESSELLARIUM_FUZZ on.

#include "fuzz/SmtpReplyFuzzCase.h"
#include "platform/gui/Application.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Application->Initialize();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string fault = SmtpReplyFuzz::RunSmtpReplyFuzzCase(data, size);
    if (!fault.empty()) {
        std::fprintf(stderr, "SmtpReply: %s\n", fault.c_str());
        std::abort();
    }
    return 0;
}
