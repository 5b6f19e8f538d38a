#pragma once
// The Reduce decoder (ZIP methods 2 to 5, compression factors 1 to 4).

#include "archive/ZipBitReader.h"

TDecodeResult Unreduce(TZipBitReader& input, TZipMemberOutput& output, int method,
                       std::uint32_t uncompressedSize, const TZipReport& report);
