#include "platform/db/Bcd.h"

#include "platform/rtl/Exceptions.h"

#include <charconv>
#include <cstdio>

namespace {

constexpr int MaxDigits = 64;

int DigitAt(const TBcd& value, int index)
{
    const std::uint8_t byte = value.Fraction[index / 2];
    return index % 2 == 0 ? byte >> 4 : byte & 0x0F;
}

void SetDigitAt(TBcd& value, int index, int digit)
{
    std::uint8_t& byte = value.Fraction[index / 2];
    if (index % 2 == 0)
        byte = static_cast<std::uint8_t>((byte & 0x0F) | (digit << 4));
    else
        byte = static_cast<std::uint8_t>((byte & 0xF0) | digit);
}

// Builds a value from its integer digits and decimal digits, dropping leading zeros of the
// integer part and trailing zeros of the decimals.
bool MakeBcd(bool negative, std::string intDigits, std::string decDigits, TBcd& value)
{
    std::size_t firstNonZero = intDigits.find_first_not_of('0');
    intDigits = firstNonZero == std::string::npos ? std::string() : intDigits.substr(firstNonZero);
    while (!decDigits.empty() && decDigits.back() == '0')
        decDigits.pop_back();
    if (intDigits.empty())
        intDigits = "0";
    const std::string digits = intDigits + decDigits;
    if (static_cast<int>(digits.size()) > MaxDigits || decDigits.size() > 63)
        return false;
    value = TBcd{};
    value.Precision = static_cast<std::uint8_t>(digits.size());
    const bool isZero = digits.find_first_not_of('0') == std::string::npos;
    value.SignSpecialPlaces = static_cast<std::uint8_t>(decDigits.size());
    if (negative && !isZero)
        value.SignSpecialPlaces |= 0x80;
    for (std::size_t i = 0; i < digits.size(); ++i)
        SetDigitAt(value, static_cast<int>(i), digits[i] - '0');
    return true;
}

// The value as "-123.45" with '.' as separator.
std::string PlainText(const TBcd& value, char separator)
{
    const int places = value.SignSpecialPlaces & 0x3F;
    const int precision = value.Precision;
    std::string intPart;
    std::string decPart;
    for (int i = 0; i < precision; ++i) {
        const char digit = static_cast<char>('0' + DigitAt(value, i));
        if (i < precision - places)
            intPart += digit;
        else
            decPart += digit;
    }
    std::size_t firstNonZero = intPart.find_first_not_of('0');
    intPart = firstNonZero == std::string::npos ? "0" : intPart.substr(firstNonZero);
    while (!decPart.empty() && decPart.back() == '0')
        decPart.pop_back();
    std::string text = intPart;
    if (!decPart.empty())
        text += separator + decPart;
    if ((value.SignSpecialPlaces & 0x80) != 0 && text.find_first_not_of("0.,") != std::string::npos)
        text = "-" + text;
    return text;
}

} // namespace

bool TryStrToBcd(const std::string& text, TBcd& value, const TFormatSettings& settings)
{
    std::size_t pos = 0;
    std::size_t end = text.size();
    while (pos < end && text[pos] == ' ')
        ++pos;
    while (end > pos && text[end - 1] == ' ')
        --end;
    bool negative = false;
    if (pos < end && (text[pos] == '-' || text[pos] == '+')) {
        negative = text[pos] == '-';
        ++pos;
    }
    std::string intDigits;
    std::string decDigits;
    bool inDecimals = false;
    for (; pos < end; ++pos) {
        const char c = text[pos];
        if (c >= '0' && c <= '9')
            (inDecimals ? decDigits : intDigits) += c;
        else if (!inDecimals && (c == settings.DecimalSeparator || c == '.'))
            inDecimals = true;
        else
            return false;
    }
    if (intDigits.empty() && decDigits.empty())
        return false;
    return MakeBcd(negative, intDigits, decDigits, value);
}

TBcd StrToBcd(const std::string& text, const TFormatSettings& settings)
{
    TBcd value;
    if (!TryStrToBcd(text, value, settings))
        RAISE(EConvertError("'" + text + "' is not a valid BCD number"));
    return value;
}

std::string BcdToStr(const TBcd& value, const TFormatSettings& settings)
{
    return PlainText(value, settings.DecimalSeparator);
}

TBcd DoubleToBcd(double value)
{
    // 15 significant digits in exponent form: d.dddddddddddddde+xx
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.14e", value);
    const std::string text = buffer;
    const bool negative = text[0] == '-';
    const std::size_t start = negative ? 1 : 0;
    const std::size_t ePos = text.find('e');
    std::string mantissa = text.substr(start, 1) + text.substr(start + 2, ePos - start - 2);
    const int exponent = std::stoi(text.substr(ePos + 1));
    std::string intDigits;
    std::string decDigits;
    if (exponent >= 0) {
        if (static_cast<int>(mantissa.size()) <= exponent + 1)
            mantissa.append(static_cast<std::size_t>(exponent + 1) - mantissa.size(), '0');
        intDigits = mantissa.substr(0, static_cast<std::size_t>(exponent) + 1);
        decDigits = mantissa.substr(static_cast<std::size_t>(exponent) + 1);
    } else {
        decDigits = std::string(static_cast<std::size_t>(-exponent - 1), '0') + mantissa;
    }
    TBcd result;
    if (!MakeBcd(negative, intDigits, decDigits.substr(0, 63), result))
        return TBcd{};
    return result;
}

double BcdToDouble(const TBcd& value)
{
    const std::string text = PlainText(value, '.');
    double result = 0;
    std::from_chars(text.data(), text.data() + text.size(), result);
    return result;
}
