#pragma once
// The 34-byte decimal number of BCD fields: up to 64 decimal digits kept as packed nibbles,
// with the number of decimal places and the sign.

#include "platform/rtl/FormatSettings.h"

#include <cstdint>
#include <string>

struct TBcd {
    std::uint8_t Precision = 0;         // number of digits
    std::uint8_t SignSpecialPlaces = 0; // bit 7 sign, bits 0-5 decimal places
    std::uint8_t Fraction[32] = {};     // digits, two per byte, the first in the high nibble
};
static_assert(sizeof(TBcd) == 34, "a BCD value is 34 bytes");

// Text with the settings' decimal separator (a '.' is accepted as well); false when the text is
// no number or has more than 64 digits.
bool TryStrToBcd(const std::string& text, TBcd& value,
                 const TFormatSettings& settings = FormatSettings());
// Raises EConvertError "'%s' is not a valid BCD number".
TBcd StrToBcd(const std::string& text, const TFormatSettings& settings = FormatSettings());
// The exact decimal text, without trailing zeros in the decimals.
std::string BcdToStr(const TBcd& value, const TFormatSettings& settings = FormatSettings());

// A double goes through its 15 significant digits, as the class library shows doubles.
TBcd DoubleToBcd(double value);
double BcdToDouble(const TBcd& value);
