// libFuzzer entry point of the barcode, shape and check-box records: built by clang with
// TESSELLARIUM_FUZZ on.

#include "fuzz/AddInRecordFuzzCase.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    RunAddInRecordFuzzCase(data, size);
    return 0;
}
