#pragma once
// The Shrink decoder (ZIP method 1), the counterpart of TShrinkEncoder.

#include "archive/ZipBitReader.h"

// Decodes until the member's data ends. Output beyond uncompressedSize ends the member as
// damaged: a few bytes of forged codes could otherwise expand without limit on the disk.
TDecodeResult Unshrink(TZipBitReader& input, TZipMemberOutput& output,
                       std::uint32_t uncompressedSize, const TZipReport& report);
