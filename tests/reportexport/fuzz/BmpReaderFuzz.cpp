// libFuzzer entry point of the JPEG encoder's BMP reader: built by clang with TESSELLARIUM_FUZZ on.

#include "fuzz/BmpReaderFuzzCase.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    RunBmpReaderFuzzCase(data, size);
    return 0;
}
