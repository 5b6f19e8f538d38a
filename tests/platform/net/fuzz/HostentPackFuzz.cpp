// libFuzzer entry point of the host-entry packer: built by clang with TESSELLARIUM_FUZZ on.

#include "fuzz/HostentPackFuzzCase.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string fault = HostentPackFuzz::RunHostentPackFuzzCase(data, size);
    if (!fault.empty()) {
        std::fprintf(stderr, "host entry packer: %s\n", fault.c_str());
        std::abort();
    }
    return 0;
}
