#include "platform/rtl/Formats.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr int GeneralPrecision = 15; // significant digits of FloatToStr, FormatFloat and Format
constexpr int MaxPrecision = 17;     // what a double can carry
constexpr int MaxDigits = 18;        // decimals of the fixed formats
constexpr int NoDecimalLimit = 9999;

// A number as decimal digits: 0.D1D2...Dn x 10^Exponent, with no trailing zeros.
// Count 0 means zero.
struct TFloatRec {
    int Exponent = 0;
    bool Negative = false;
    bool NotANumber = false;
    bool Infinite = false;
    int Count = 0;
    char Digits[24] = {};
};

void StripTrailingZeros(TFloatRec& rec)
{
    while (rec.Count > 0 && rec.Digits[rec.Count - 1] == '0')
        --rec.Count;
    if (rec.Count == 0)
        rec.Exponent = 0;
}

// Keeps the first `keep` digits, rounding the rest half away from zero.
void RoundDigits(TFloatRec& rec, int keep)
{
    if (keep >= rec.Count)
        return;
    if (keep < 0) {
        rec.Count = 0;
        rec.Exponent = 0;
        return;
    }
    const bool roundUp = rec.Digits[keep] >= '5';
    rec.Count = keep;
    if (roundUp) {
        int i = keep - 1;
        while (i >= 0 && rec.Digits[i] == '9')
            --i;
        if (i < 0) {
            rec.Digits[0] = '1';
            rec.Count = 1;
            ++rec.Exponent;
        } else {
            ++rec.Digits[i];
            rec.Count = i + 1;
        }
    }
    StripTrailingZeros(rec);
}

// Reads "d.ddde+xx" into the digits and exponent; returns how many digits there were (only the
// first ones fit in Digits).
int ReadScientific(const char* text, const char* end, TFloatRec& rec)
{
    const char* p = text;
    int count = 0;
    while (p < end && *p != 'e') {
        if (*p != '.') {
            if (count < static_cast<int>(sizeof rec.Digits))
                rec.Digits[count] = *p;
            ++count;
        }
        ++p;
    }
    int exponent = 0;
    if (p + 1 < end)
        std::from_chars(p + (p[1] == '+' ? 2 : 1), end, exponent); // from_chars takes no '+'
    rec.Exponent = exponent + 1;
    rec.Count = count < static_cast<int>(sizeof rec.Digits) ? count
                                                            : static_cast<int>(sizeof rec.Digits);
    return count;
}

// The value's decimal expansion rounded half away from zero to `precision` significant digits,
// then again to `decimals` digits after the point: the two steps of the class library's
// conversion, which is why 2.675 (stored as 2.67499999...) still gives 2.68 with two decimals.
TFloatRec FloatToDecimal(double value, int precision, int decimals)
{
    TFloatRec rec;
    rec.Negative = std::signbit(value);
    if (std::isnan(value)) {
        rec.NotANumber = true;
        return rec;
    }
    if (std::isinf(value)) {
        rec.Infinite = true;
        return rec;
    }
    if (value == 0)
        return rec;

    const double magnitude = std::fabs(value);
    char buffer[64];
    // A shortest form of at most `precision` (<= 15) digits is also the value rounded to that
    // many digits: the double lies closer to it than half a unit of the 15th digit (not so for
    // the subnormal ones, which carry fewer bits).
    if (precision <= 15 && magnitude >= std::numeric_limits<double>::min()) {
        const auto shortest = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                                            std::chars_format::scientific);
        if (ReadScientific(buffer, shortest.ptr, rec) <= precision) {
            StripTrailingZeros(rec);
            if (decimals < NoDecimalLimit)
                RoundDigits(rec, rec.Exponent + decimals);
            return rec;
        }
    }
    // P+1 correctly rounded digits decide the rounding at P unless the last one is a 5, which
    // may stand for anything from 4.5 to 5.5: then a long expansion decides.
    auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                                std::chars_format::scientific, precision);
    if (buffer[precision + 1] == '5')
        result = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                               std::chars_format::scientific, precision + 30);
    ReadScientific(buffer, result.ptr, rec);
    rec.Count = precision + 1;
    RoundDigits(rec, precision);
    if (decimals < NoDecimalLimit)
        RoundDigits(rec, rec.Exponent + decimals);
    return rec;
}

// The value in ten-thousandths, rounded as the fixed-point currency type does it: in extended
// precision, halves to even.
long double ScaledCurrency(double value)
{
    return std::nearbyintl(static_cast<long double>(value) * 10000.0L);
}

// A currency value: the amount rounded to four decimals as the fixed-point type keeps it.
TFloatRec CurrencyToDecimal(double value, int decimals)
{
    TFloatRec rec;
    const long double scaled = ScaledCurrency(value);
    if (!(std::fabs(scaled) < 9.2e18L)) {
        rec = FloatToDecimal(value, MaxPrecision, decimals);
        return rec;
    }
    const auto units = static_cast<std::int64_t>(scaled);
    rec.Negative = units < 0;
    if (units == 0)
        return rec;
    const std::uint64_t magnitude =
        units < 0 ? 0 - static_cast<std::uint64_t>(units) : static_cast<std::uint64_t>(units);
    const auto result = std::to_chars(rec.Digits, rec.Digits + sizeof rec.Digits, magnitude);
    const int length = static_cast<int>(result.ptr - rec.Digits);
    rec.Count = length;
    rec.Exponent = length - 4;
    StripTrailingZeros(rec);
    RoundDigits(rec, rec.Exponent + decimals);
    return rec;
}

char DigitAt(const TFloatRec& rec, int index)
{
    return index >= 0 && index < rec.Count ? rec.Digits[index] : '0';
}

void AppendInteger(std::string& out, std::uint64_t value, int minDigits = 1)
{
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    for (int i = static_cast<int>(result.ptr - buffer); i < minDigits; ++i)
        out += '0';
    out.append(buffer, result.ptr);
}

void AppendExponent(std::string& out, char letter, int exponent, bool alwaysSign, int minDigits)
{
    out += letter;
    if (exponent < 0)
        out += '-';
    else if (alwaysSign)
        out += '+';
    AppendInteger(out, static_cast<std::uint64_t>(exponent < 0 ? -exponent : exponent),
                  minDigits);
}

bool AppendSpecial(std::string& out, const TFloatRec& rec)
{
    if (rec.NotANumber) {
        out += "NAN";
        return true;
    }
    if (rec.Infinite) {
        out += rec.Negative ? "-INF" : "INF";
        return true;
    }
    return false;
}

bool ShowsMinus(const TFloatRec& rec)
{
    return rec.Negative && rec.Count > 0;
}

void AppendGeneral(std::string& out, const TFloatRec& rec, int precision, int expDigits,
                   const TFormatSettings& settings)
{
    if (ShowsMinus(rec))
        out += '-';
    if (rec.Count == 0) {
        out += '0';
        return;
    }
    if (rec.Exponent > precision || rec.Exponent < -3) {
        out += rec.Digits[0];
        if (rec.Count > 1) {
            out += settings.DecimalSeparator;
            out.append(rec.Digits + 1, static_cast<std::size_t>(rec.Count - 1));
        }
        AppendExponent(out, 'E', rec.Exponent - 1, false, expDigits);
        return;
    }
    if (rec.Exponent <= 0) {
        out += '0';
    } else {
        for (int i = 0; i < rec.Exponent; ++i)
            out += DigitAt(rec, i);
    }
    if (rec.Count > rec.Exponent) {
        out += settings.DecimalSeparator;
        for (int i = rec.Exponent; i < 0; ++i)
            out += '0';
        for (int i = rec.Exponent > 0 ? rec.Exponent : 0; i < rec.Count; ++i)
            out += rec.Digits[i];
    }
}

void AppendScientific(std::string& out, const TFloatRec& rec, int precision, int expDigits,
                      const TFormatSettings& settings)
{
    if (ShowsMinus(rec))
        out += '-';
    out += DigitAt(rec, 0);
    if (precision > 1) {
        out += settings.DecimalSeparator;
        for (int i = 1; i < precision; ++i)
            out += DigitAt(rec, i);
    }
    AppendExponent(out, 'E', rec.Count == 0 ? 0 : rec.Exponent - 1, true, expDigits);
}

// The digits of the number without sign: integer part (grouped when asked) and `digits`
// decimals.
void AppendFixedBody(std::string& out, const TFloatRec& rec, int digits, bool grouped,
                     const TFormatSettings& settings)
{
    if (rec.Exponent <= 0) {
        out += '0';
    } else {
        for (int i = 0; i < rec.Exponent; ++i) {
            out += DigitAt(rec, i);
            const int place = rec.Exponent - i;
            if (grouped && place > 1 && (place - 1) % 3 == 0)
                out += settings.ThousandSeparator;
        }
    }
    if (digits > 0) {
        out += settings.DecimalSeparator;
        for (int i = 0; i < digits; ++i)
            out += DigitAt(rec, rec.Exponent + i);
    }
}

void AppendCurrency(std::string& out, const TFloatRec& rec, int digits,
                    const TFormatSettings& settings)
{
    std::string body;
    AppendFixedBody(body, rec, digits, true, settings);
    const std::string& symbol = settings.CurrencyString;
    if (!ShowsMinus(rec)) {
        switch (settings.CurrencyFormat) {
        case 0: out += symbol + body; break;
        case 1: out += body + symbol; break;
        case 3: out += body + ' ' + symbol; break;
        default: out += symbol + ' ' + body; break;
        }
        return;
    }
    switch (settings.NegCurrFormat) {
    case 0: out += '(' + symbol + body + ')'; break;
    case 1: out += '-' + symbol + body; break;
    case 2: out += symbol + '-' + body; break;
    case 3: out += symbol + body + '-'; break;
    case 4: out += '(' + body + symbol + ')'; break;
    case 5: out += '-' + body + symbol; break;
    case 6: out += body + '-' + symbol; break;
    case 7: out += body + symbol + '-'; break;
    case 8: out += '-' + body + ' ' + symbol; break;
    case 10: out += body + ' ' + symbol + '-'; break;
    case 11: out += symbol + ' ' + body + '-'; break;
    case 12: out += symbol + ' ' + '-' + body; break;
    case 13: out += body + '-' + ' ' + symbol; break;
    case 14: out += '(' + symbol + ' ' + body + ')'; break;
    case 15: out += '(' + body + ' ' + symbol + ')'; break;
    default: out += '-' + symbol + ' ' + body; break;
    }
}

int Clamp(int value, int low, int high)
{
    return value < low ? low : (value > high ? high : value);
}

// FloatToText for a number already turned into digits by `convert(precision, decimals)`.
template <typename Convert>
void AppendFloat(std::string& out, Convert convert, TFloatFormat format, int precision, int digits,
                 const TFormatSettings& settings)
{
    precision = Clamp(precision, 1, MaxPrecision);
    switch (format) {
    case ffGeneral: {
        const TFloatRec rec = convert(precision, NoDecimalLimit);
        if (!AppendSpecial(out, rec))
            AppendGeneral(out, rec, precision, Clamp(digits, 0, 4), settings);
        return;
    }
    case ffExponent: {
        const TFloatRec rec = convert(precision, NoDecimalLimit);
        if (!AppendSpecial(out, rec))
            AppendScientific(out, rec, precision, Clamp(digits, 0, 4), settings);
        return;
    }
    case ffFixed:
    case ffNumber:
    case ffCurrency: {
        digits = Clamp(digits, 0, MaxDigits);
        const TFloatRec rec = convert(precision, digits);
        if (AppendSpecial(out, rec))
            return;
        if (rec.Exponent > precision) {
            AppendGeneral(out, rec, precision, 0, settings);
            return;
        }
        if (format == ffCurrency) {
            AppendCurrency(out, rec, digits, settings);
            return;
        }
        if (ShowsMinus(rec))
            out += '-';
        AppendFixedBody(out, rec, digits, format == ffNumber, settings);
        return;
    }
    }
}

void AppendFloatText(std::string& out, double value, TFloatFormat format, int precision,
                     int digits, const TFormatSettings& settings)
{
    AppendFloat(
        out, [value](int p, int d) { return FloatToDecimal(value, p, d); }, format, precision,
        digits, settings);
}

// ---- FormatFloat -------------------------------------------------------------------------

// One section of a FormatFloat format, as scanned before the number is placed in it.
struct TSection {
    std::string_view Text;
    int IntPlaces = 0;      // digit placeholders before the decimal point
    int DecPlaces = 0;      // digit placeholders after it
    int IntRequired = 0;    // integer digits always shown (from the first '0')
    int DecRequired = 0;    // decimals always shown (up to the last '0')
    bool HasPoint = false;
    bool Thousands = false;
    bool Scientific = false;
};

bool IsExponentAt(std::string_view text, std::size_t i)
{
    return (text[i] == 'E' || text[i] == 'e') && i + 1 < text.size() &&
           (text[i + 1] == '+' || text[i + 1] == '-');
}

TSection ScanSection(std::string_view text)
{
    TSection section;
    section.Text = text;
    int firstZero = -1; // index among all placeholders
    int lastZero = -1;
    int placeholders = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '0' || c == '#') {
            if (c == '0') {
                if (firstZero < 0)
                    firstZero = placeholders;
                lastZero = placeholders;
            }
            ++placeholders;
            if (section.HasPoint)
                ++section.DecPlaces;
            else
                ++section.IntPlaces;
        } else if (c == '.') {
            section.HasPoint = true;
        } else if (c == ',') {
            if (!section.HasPoint)
                section.Thousands = true;
        } else if (IsExponentAt(text, i)) {
            section.Scientific = true;
            i += 1;
            while (i + 1 < text.size() && text[i + 1] == '0')
                ++i;
        } else if (c == '\'' || c == '"') {
            const std::size_t close = text.find(c, i + 1);
            i = close == std::string_view::npos ? text.size() : close;
        }
    }
    if (firstZero >= 0 && firstZero < section.IntPlaces)
        section.IntRequired = section.IntPlaces - firstZero;
    if (lastZero >= section.IntPlaces)
        section.DecRequired = lastZero + 1 - section.IntPlaces;
    return section;
}

// Splits at the semicolons outside quotes; at most three sections.
int SplitSections(std::string_view format, std::string_view (&sections)[3])
{
    int count = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= format.size(); ++i) {
        if (i < format.size() && (format[i] == '\'' || format[i] == '"')) {
            const std::size_t close = format.find(format[i], i + 1);
            i = close == std::string_view::npos ? format.size() - 1 : close;
            continue;
        }
        if (i == format.size() || format[i] == ';') {
            sections[count++] = format.substr(start, i - start);
            start = i + 1;
            if (count == 3)
                break;
        }
    }
    return count;
}

// Writes the integer digits `digits` into the integer placeholders: each placeholder takes one
// digit from the right, the first one takes all that is left.
class TIntegerPlacer {
public:
    TIntegerPlacer(const std::string& digits, int places, bool thousands, char separator)
        : Digits(digits), Places(places), Thousands(thousands), Separator(separator)
    {
    }

    void PutPlaceholder(std::string& out)
    {
        const int index = Seen++;
        const int place = Places - index; // 1 = units
        const int digitCount = static_cast<int>(Digits.size());
        if (index == 0) {
            for (int i = 0; i <= digitCount - place; ++i)
                PutDigit(out, i);
        } else if (place <= digitCount) {
            PutDigit(out, digitCount - place);
        }
    }

    // Integer digits when the section has no integer placeholder: all before the point.
    void PutAll(std::string& out)
    {
        for (int i = 0; i < static_cast<int>(Digits.size()); ++i)
            PutDigit(out, i);
    }

private:
    void PutDigit(std::string& out, int index)
    {
        out += Digits[static_cast<std::size_t>(index)];
        const int place = static_cast<int>(Digits.size()) - index;
        if (Thousands && place > 1 && (place - 1) % 3 == 0)
            out += Separator;
    }

    const std::string& Digits;
    int Places;
    bool Thousands;
    char Separator;
    int Seen = 0;
};

void AppendFormatted(std::string& out, const TSection& section, const TFloatRec& rec,
                     const TFormatSettings& settings)
{
    // Integer digits and decimals of the number as this section shows them.
    std::string intDigits;
    std::string decDigits;
    int exponentShown = 0;
    if (section.Scientific) {
        if (rec.Count > 0) {
            for (int i = 0; i < section.IntPlaces; ++i)
                intDigits += DigitAt(rec, i);
            for (int i = section.IntPlaces; i < rec.Count; ++i)
                decDigits += rec.Digits[i];
            exponentShown = rec.Exponent - section.IntPlaces;
        }
        if (intDigits.empty() && section.IntPlaces > 0)
            intDigits.push_back('0');
    } else {
        for (int i = 0; i < rec.Exponent; ++i)
            intDigits += DigitAt(rec, i);
        for (int i = rec.Exponent; i < rec.Count; ++i)
            decDigits += DigitAt(rec, i);
    }
    while (static_cast<int>(intDigits.size()) < section.IntRequired)
        intDigits.insert(intDigits.begin(), '0');
    while (static_cast<int>(decDigits.size()) < section.DecRequired)
        decDigits += '0';

    TIntegerPlacer integers(intDigits, section.IntPlaces,
                            section.Thousands && !section.Scientific, settings.ThousandSeparator);
    const std::string_view text = section.Text;
    bool pointSeen = false;
    int decimalIndex = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '0' || c == '#') {
            if (!pointSeen) {
                integers.PutPlaceholder(out);
            } else {
                if (decimalIndex < static_cast<int>(decDigits.size()))
                    out += decDigits[static_cast<std::size_t>(decimalIndex)];
                ++decimalIndex;
            }
        } else if (c == '.') {
            if (pointSeen)
                continue;
            pointSeen = true;
            if (section.IntPlaces == 0)
                integers.PutAll(out);
            if (!decDigits.empty() && section.DecPlaces > 0)
                out += settings.DecimalSeparator;
        } else if (c == ',') {
            continue;
        } else if (IsExponentAt(text, i)) {
            const bool alwaysSign = text[i + 1] == '+';
            int minDigits = 0;
            i += 1;
            while (i + 1 < text.size() && text[i + 1] == '0') {
                ++minDigits;
                ++i;
            }
            AppendExponent(out, c, exponentShown, alwaysSign, minDigits > 4 ? 4 : minDigits);
        } else if (c == '\'' || c == '"') {
            const std::size_t close = text.find(c, i + 1);
            const std::size_t end = close == std::string_view::npos ? text.size() : close;
            out.append(text.substr(i + 1, end - i - 1));
            i = end;
        } else {
            out += c;
        }
    }
}

} // namespace

std::string FloatToStr(double value, const TFormatSettings& settings)
{
    return FloatToStrF(value, ffGeneral, GeneralPrecision, 0, settings);
}

std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits,
                        const TFormatSettings& settings)
{
    std::string out;
    AppendFloatText(out, value, format, precision, digits, settings);
    return out;
}

std::string FormatFloat(const std::string& format, double value, const TFormatSettings& settings)
{
    const TFloatRec general = FloatToDecimal(value, GeneralPrecision, NoDecimalLimit);
    std::string out;
    if (format.empty() || AppendSpecial(out, general))
        return format.empty() ? FloatToStr(value, settings) : out;

    std::string_view sections[3];
    const int count = SplitSections(format, sections);
    int chosen = 0;
    if (general.Count == 0 && count >= 3 && !sections[2].empty())
        chosen = 2;
    else if (general.Negative && general.Count > 0 && count >= 2 && !sections[1].empty())
        chosen = 1;
    const TSection section = ScanSection(sections[chosen]);

    TFloatRec rec = general;
    if (section.Scientific)
        RoundDigits(rec, section.IntPlaces + section.DecPlaces);
    else
        RoundDigits(rec, rec.Exponent + section.DecPlaces);

    if (!section.Scientific && rec.Exponent > MaxDigits)
        return FloatToStr(value, settings);
    if (chosen == 0 && ShowsMinus(rec))
        out += '-';
    AppendFormatted(out, section, rec, settings);
    return out;
}

std::string CurrToStr(double value, const TFormatSettings& settings)
{
    return CurrToStrF(value, ffGeneral, 0, settings);
}

std::string CurrToStrF(double value, TFloatFormat format, int digits,
                       const TFormatSettings& settings)
{
    std::string out;
    AppendFloat(
        out, [value](int, int d) { return CurrencyToDecimal(value, d); }, format, MaxPrecision,
        digits, settings);
    return out;
}

// ---- Text to number ----------------------------------------------------------------------

bool TextToFloat(const std::string& text, double& value, const TFormatSettings& settings)
{
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && text[i] == ' ')
        ++i;
    // The number rewritten with '.' for the standard parser.
    char buffer[128];
    std::size_t length = 0;
    auto put = [&](char c) {
        if (length < sizeof buffer)
            buffer[length] = c;
        ++length;
    };
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-')
            put('-');
        ++i;
    }
    int digits = 0;
    int leadingIntDigits = 0; // integer digits after leading zeros
    while (i < n && text[i] >= '0' && text[i] <= '9') {
        if (text[i] != '0' || leadingIntDigits > 0)
            ++leadingIntDigits;
        put(text[i++]);
        ++digits;
    }
    int leadingFracZeros = 0;
    bool fracNonZero = false;
    if (i < n && text[i] == settings.DecimalSeparator) {
        put('.');
        ++i;
        while (i < n && text[i] >= '0' && text[i] <= '9') {
            if (text[i] != '0')
                fracNonZero = true;
            else if (!fracNonZero)
                ++leadingFracZeros;
            put(text[i++]);
            ++digits;
        }
    }
    if (digits == 0)
        return false;
    long exponent = 0;
    if (i < n && (text[i] == 'E' || text[i] == 'e')) {
        put('e');
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-'))
            put(text[i++]);
        int expDigits = 0;
        while (i < n && text[i] >= '0' && text[i] <= '9') {
            if (exponent < 100000)
                exponent = exponent * 10 + (text[i] - '0');
            put(text[i++]);
            ++expDigits;
        }
        if (expDigits == 0)
            return false;
        if (buffer[length - expDigits - 1] == '-')
            exponent = -exponent;
    }
    while (i < n && text[i] == ' ')
        ++i;
    if (i != n || length > sizeof buffer)
        return false;

    double result = 0;
    const auto parsed = std::from_chars(buffer, buffer + length, result);
    if (parsed.ec == std::errc::result_out_of_range) {
        // Too small to hold becomes zero; too large is not a value.
        const long magnitude =
            leadingIntDigits > 0 ? leadingIntDigits + exponent : exponent - leadingFracZeros;
        if (magnitude > 0)
            return false;
        result = buffer[0] == '-' ? -0.0 : 0.0;
    } else if (parsed.ec != std::errc() || parsed.ptr != buffer + length) {
        return false;
    }
    value = result;
    return true;
}

bool TryStrToFloat(const std::string& text, double& value, const TFormatSettings& settings)
{
    return TextToFloat(text, value, settings);
}

double StrToFloat(const std::string& text, const TFormatSettings& settings)
{
    double value = 0;
    if (!TextToFloat(text, value, settings))
        RAISE(EConvertError("'" + text + "' is not a valid floating point value"));
    return value;
}

double StrToFloatDef(const std::string& text, double defaultValue, const TFormatSettings& settings)
{
    double value = 0;
    return TextToFloat(text, value, settings) ? value : defaultValue;
}

bool TryStrToCurr(const std::string& text, double& value, const TFormatSettings& settings)
{
    double parsed = 0;
    if (!TextToFloat(text, parsed, settings))
        return false;
    const long double scaled = ScaledCurrency(parsed);
    if (!(std::fabs(scaled) < 9223372036854775807.0L))
        return false;
    value = static_cast<double>(scaled / 10000.0L);
    return true;
}

double StrToCurr(const std::string& text, const TFormatSettings& settings)
{
    double value = 0;
    if (!TryStrToCurr(text, value, settings))
        RAISE(EConvertError("'" + text + "' is not a valid floating point value"));
    return value;
}

double StrToCurrDef(const std::string& text, double defaultValue, const TFormatSettings& settings)
{
    double value = 0;
    return TryStrToCurr(text, value, settings) ? value : defaultValue;
}

// ---- Rounding ----------------------------------------------------------------------------

namespace {

std::int64_t ToInt64(double whole)
{
    // 2^63 is exactly representable; every double below it in magnitude fits.
    if (!(whole >= -9223372036854775808.0 && whole < 9223372036854775808.0))
        RAISE(EInvalidOp("Invalid floating point operation"));
    return static_cast<std::int64_t>(whole);
}

} // namespace

std::int64_t Round(double value)
{
    return ToInt64(std::nearbyint(value));
}

std::int64_t Trunc(double value)
{
    return ToInt64(std::trunc(value));
}

double Int(double value)
{
    return std::trunc(value);
}

double Frac(double value)
{
    return value - std::trunc(value);
}

// ---- Format ------------------------------------------------------------------------------

namespace {

class TFormatter {
public:
    TFormatter(const std::string& format, const TVarRec* args, std::size_t count,
               const TFormatSettings& settings)
        : Fmt(format), Args(args), ArgCount(count), Settings(settings)
    {
    }

    std::string Run()
    {
        std::string out;
        out.reserve(Fmt.size() + 16);
        while (Pos < Fmt.size()) {
            const char c = Fmt[Pos++];
            if (c != '%') {
                out += c;
                continue;
            }
            if (Pos < Fmt.size() && Fmt[Pos] == '%') {
                out += '%';
                ++Pos;
                continue;
            }
            AppendDirective(out);
        }
        return out;
    }

private:
    [[noreturn]] void Invalid() const
    {
        RAISE(EConvertError("Format '" + Fmt + "' invalid or incompatible with argument"));
    }

    const TVarRec& NextArg()
    {
        if (ArgIndex >= ArgCount)
            Invalid();
        return Args[ArgIndex++];
    }

    bool AtNumber() const
    {
        return Pos < Fmt.size() && ((Fmt[Pos] >= '0' && Fmt[Pos] <= '9') || Fmt[Pos] == '*');
    }

    // Digits, or '*' taking an integer argument.
    int ReadNumber()
    {
        if (Pos < Fmt.size() && Fmt[Pos] == '*') {
            ++Pos;
            const TVarRec& arg = NextArg();
            if (arg.Kind != TVarRec::vtInteger)
                Invalid();
            return static_cast<int>(arg.Int);
        }
        int value = 0;
        while (Pos < Fmt.size() && Fmt[Pos] >= '0' && Fmt[Pos] <= '9') {
            if (value < 100000)
                value = value * 10 + (Fmt[Pos] - '0');
            ++Pos;
        }
        return value;
    }

    void AppendDirective(std::string& out)
    {
        bool left = false;
        int width = -1;
        int precision = -1;
        if (AtNumber()) {
            const int number = ReadNumber();
            if (Pos < Fmt.size() && Fmt[Pos] == ':') {
                ++Pos;
                if (number < 0)
                    Invalid();
                ArgIndex = static_cast<std::size_t>(number);
            } else {
                width = number;
            }
        }
        if (width < 0) {
            if (Pos < Fmt.size() && Fmt[Pos] == '-') {
                left = true;
                ++Pos;
            }
            if (AtNumber())
                width = ReadNumber();
        }
        if (Pos < Fmt.size() && Fmt[Pos] == '.') {
            ++Pos;
            precision = AtNumber() ? ReadNumber() : 0;
        }
        if (Pos >= Fmt.size())
            Invalid();
        char type = Fmt[Pos++];
        if (type >= 'a' && type <= 'z')
            type = static_cast<char>(type - 'a' + 'A');

        const std::size_t start = out.size();
        AppendValue(out, type, precision, NextArg());
        const std::size_t length = out.size() - start;
        if (width > 0 && length < static_cast<std::size_t>(width)) {
            const std::size_t pad = static_cast<std::size_t>(width) - length;
            if (left)
                out.append(pad, ' ');
            else
                out.insert(start, pad, ' ');
        }
    }

    void AppendValue(std::string& out, char type, int precision, const TVarRec& arg)
    {
        const bool isInteger = arg.Kind == TVarRec::vtInteger || arg.Kind == TVarRec::vtInt64;
        switch (type) {
        case 'D':
            if (!isInteger)
                Invalid();
            if (arg.Int < 0)
                out += '-';
            AppendInteger(out, arg.Int < 0 ? 0 - static_cast<std::uint64_t>(arg.Int)
                                           : static_cast<std::uint64_t>(arg.Int),
                          precision);
            return;
        case 'U':
            if (!isInteger)
                Invalid();
            AppendInteger(out, Unsigned(arg), precision);
            return;
        case 'X':
            if (!isInteger)
                Invalid();
            AppendHex(out, Unsigned(arg), precision);
            return;
        case 'P':
            if (arg.Kind != TVarRec::vtPointer)
                Invalid();
            AppendHex(out, reinterpret_cast<std::uintptr_t>(arg.Pointer), 2 * sizeof(void*));
            return;
        case 'S':
            if (arg.Kind != TVarRec::vtString && arg.Kind != TVarRec::vtChar)
                Invalid();
            if (precision >= 0 && static_cast<std::size_t>(precision) < arg.Text.size())
                out.append(arg.Text.substr(0, static_cast<std::size_t>(precision)));
            else
                out.append(arg.Text);
            return;
        case 'E':
        case 'F':
        case 'G':
        case 'N':
        case 'M':
            if (arg.Kind != TVarRec::vtExtended)
                Invalid();
            AppendReal(out, type, precision, arg.Real);
            return;
        default:
            Invalid();
        }
    }

    void AppendReal(std::string& out, char type, int precision, double value)
    {
        switch (type) {
        case 'E':
            AppendFloatText(out, value, ffExponent, precision < 0 ? GeneralPrecision : precision,
                            3, Settings);
            return;
        case 'G':
            AppendFloatText(out, value, ffGeneral, precision < 0 ? GeneralPrecision : precision,
                            3, Settings);
            return;
        case 'F':
            AppendFloatText(out, value, ffFixed, GeneralPrecision, precision < 0 ? 2 : precision,
                            Settings);
            return;
        case 'N':
            AppendFloatText(out, value, ffNumber, GeneralPrecision, precision < 0 ? 2 : precision,
                            Settings);
            return;
        default:
            AppendFloatText(out, value, ffCurrency, GeneralPrecision,
                            precision < 0 ? Settings.CurrencyDecimals : precision, Settings);
            return;
        }
    }

    // A 32-bit argument shows as its 32-bit two's complement, a 64-bit one as 64 bits.
    static std::uint64_t Unsigned(const TVarRec& arg)
    {
        if (arg.Kind == TVarRec::vtInteger)
            return static_cast<std::uint32_t>(arg.Int);
        return static_cast<std::uint64_t>(arg.Int);
    }

    static void AppendHex(std::string& out, std::uint64_t value, int minDigits)
    {
        char buffer[24];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, 16);
        for (int i = static_cast<int>(result.ptr - buffer); i < minDigits; ++i)
            out += '0';
        for (const char* p = buffer; p != result.ptr; ++p)
            out += (*p >= 'a' && *p <= 'f') ? static_cast<char>(*p - 'a' + 'A') : *p;
    }

    const std::string& Fmt;
    const TVarRec* Args;
    std::size_t ArgCount;
    const TFormatSettings& Settings;
    std::size_t Pos = 0;
    std::size_t ArgIndex = 0;
};

} // namespace

std::string Format(const std::string& format, std::initializer_list<TVarRec> args,
                   const TFormatSettings& settings)
{
    return TFormatter(format, args.begin(), args.size(), settings).Run();
}

std::string Format(const std::string& format, const std::vector<TVarRec>& args,
                   const TFormatSettings& settings)
{
    return TFormatter(format, args.data(), args.size(), settings).Run();
}
