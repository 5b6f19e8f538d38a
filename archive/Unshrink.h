#pragma once
// The Shrink decoder (ZIP method 1), the counterpart of TShrinkEncoder.

#include "archive/ZipBitReader.h"

TDecodeResult Unshrink(TZipBitReader& input, TZipMemberOutput& output, const TZipReport& report);
