#pragma once
// The Implode decoder (ZIP method 6): Shannon-Fano trees for literals, lengths and distances
// over a 4 KiB or 8 KiB sliding window.

#include "archive/ZipBitReader.h"

TDecodeResult Explode(TZipBitReader& input, TZipMemberOutput& output, std::uint16_t flags,
                      std::uint32_t uncompressedSize, const TZipReport& report);
