#include "platform/rtl/TextUtils.h"

#include "platform/rtl/Collation.h"
#include "platform/rtl/Exceptions.h"

#include <algorithm>
#include <array>
#include <climits>

namespace {

struct CaseTables {
    std::array<char, 256> upper{};
    std::array<char, 256> lower{};
};

const CaseTables& AnsiCaseTables()
{
    static const CaseTables tables = [] {
        CaseTables t;
        for (int b = 0; b < 256; ++b)
            t.upper[b] = t.lower[b] = static_cast<char>(b);
        auto pair = [&t](int lower, int upper) {
            t.upper[lower] = static_cast<char>(upper);
            t.lower[upper] = static_cast<char>(lower);
        };
        for (int c = 'a'; c <= 'z'; ++c)
            pair(c, c - 0x20);
        for (int c = 0xE0; c <= 0xFE; ++c)
            if (c != 0xF7) // the division sign has no case
                pair(c, c - 0x20);
        pair(0x9A, 0x8A); // s caron
        pair(0x9C, 0x8C); // oe
        pair(0x9E, 0x8E); // z caron
        pair(0xFF, 0x9F); // y diaeresis
        return t;
    }();
    return tables;
}

char AsciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 0x20) : c;
}

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 0x20) : c;
}

bool IsBlankOrControl(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

int CompareResultToSign(int result)
{
    return result - CSTR_EQUAL;
}

int LocaleCompare(std::uint32_t flags, const std::string& s1, const std::string& s2)
{
    return CompareResultToSign(CompareStringA(LOCALE_USER_DEFAULT, flags, s1.data(),
                                              static_cast<int>(s1.size()), s2.data(),
                                              static_cast<int>(s2.size())));
}

std::string HexDigits(std::uint64_t value, int digits)
{
    static const char Hex[] = "0123456789ABCDEF";
    std::string text;
    do {
        text.insert(text.begin(), Hex[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    if (static_cast<int>(text.size()) < digits)
        text.insert(0, digits - text.size(), '0');
    return text;
}

// The class library's integer reading: leading spaces, a sign, then decimal digits or
// hexadecimal ones after "$", "x" or "0x", and nothing after them. Hexadecimal may use the whole
// unsigned range of the type (so "$FFFFFFFF" is -1 as a 32-bit integer).
bool ParseInteger(const std::string& s, std::int64_t min, std::int64_t max,
                  std::uint64_t hexMax, std::int64_t& value)
{
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        negative = s[i++] == '-';
    bool hex = false;
    if (i < s.size() && (s[i] == '$' || s[i] == 'x' || s[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= s.size())
        return false;
    std::uint64_t magnitude = 0;
    const std::uint64_t base = hex ? 16 : 10;
    const std::uint64_t limit = hex ? hexMax
                                    : (negative ? static_cast<std::uint64_t>(-(min + 1)) + 1
                                                : static_cast<std::uint64_t>(max));
    for (; i < s.size(); ++i) {
        char c = s[i];
        std::uint64_t digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        if (magnitude > (limit - digit) / base)
            return false;
        magnitude = magnitude * base + digit;
    }
    std::uint64_t bits = negative ? 0ull - magnitude : magnitude;
    if (hex && hexMax == 0xFFFFFFFFull) {
        // The bits as written, read back as a 32-bit integer.
        value = static_cast<std::int32_t>(static_cast<std::uint32_t>(bits));
        return true;
    }
    value = static_cast<std::int64_t>(bits);
    return true;
}

[[noreturn]] void RaiseInvalidInteger(const std::string& s)
{
    RAISE(EConvertError("'" + s + "' is not a valid integer value"));
}

} // namespace

std::string UpperCase(const std::string& s)
{
    std::string result = s;
    for (char& c : result)
        c = AsciiUpper(c);
    return result;
}

std::string LowerCase(const std::string& s)
{
    std::string result = s;
    for (char& c : result)
        c = AsciiLower(c);
    return result;
}

int CompareStr(const std::string& s1, const std::string& s2)
{
    std::size_t n = std::min(s1.size(), s2.size());
    for (std::size_t i = 0; i < n; ++i) {
        int a = static_cast<unsigned char>(s1[i]);
        int b = static_cast<unsigned char>(s2[i]);
        if (a != b)
            return a - b;
    }
    return static_cast<int>(s1.size()) - static_cast<int>(s2.size());
}

int CompareText(const std::string& s1, const std::string& s2)
{
    std::size_t n = std::min(s1.size(), s2.size());
    for (std::size_t i = 0; i < n; ++i) {
        int a = static_cast<unsigned char>(AsciiUpper(s1[i]));
        int b = static_cast<unsigned char>(AsciiUpper(s2[i]));
        if (a != b)
            return a - b;
    }
    return static_cast<int>(s1.size()) - static_cast<int>(s2.size());
}

bool SameText(const std::string& s1, const std::string& s2)
{
    return s1.size() == s2.size() && CompareText(s1, s2) == 0;
}

char AnsiUpperChar(char c)
{
    return AnsiCaseTables().upper[static_cast<unsigned char>(c)];
}

char AnsiLowerChar(char c)
{
    return AnsiCaseTables().lower[static_cast<unsigned char>(c)];
}

std::string AnsiUpperCase(const std::string& s)
{
    const auto& table = AnsiCaseTables().upper;
    std::string result = s;
    for (char& c : result)
        c = table[static_cast<unsigned char>(c)];
    return result;
}

std::string AnsiLowerCase(const std::string& s)
{
    const auto& table = AnsiCaseTables().lower;
    std::string result = s;
    for (char& c : result)
        c = table[static_cast<unsigned char>(c)];
    return result;
}

int AnsiCompareStr(const std::string& s1, const std::string& s2)
{
    return LocaleCompare(0, s1, s2);
}

int AnsiCompareText(const std::string& s1, const std::string& s2)
{
    return LocaleCompare(NORM_IGNORECASE, s1, s2);
}

bool AnsiSameText(const std::string& s1, const std::string& s2)
{
    return AnsiCompareText(s1, s2) == 0;
}

bool AnsiSameStr(const std::string& s1, const std::string& s2)
{
    return AnsiCompareStr(s1, s2) == 0;
}

int AnsiPos(const std::string& substr, const std::string& s)
{
    return Pos(substr, s);
}

int Pos(const std::string& substr, const std::string& s, int offset)
{
    if (substr.empty() || offset < 1 || offset > static_cast<int>(s.size()))
        return 0;
    std::size_t found = s.find(substr, static_cast<std::size_t>(offset - 1));
    return found == std::string::npos ? 0 : static_cast<int>(found) + 1;
}

std::string Copy(const std::string& s, int index, int count)
{
    const long long length = static_cast<long long>(s.size());
    long long start = index < 1 ? 0 : std::min<long long>(index - 1LL, length);
    long long n = count < 0 ? 0 : std::min<long long>(count, length - start);
    return s.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(n));
}

void Delete(std::string& s, int index, int count)
{
    if (index < 1 || index > static_cast<int>(s.size()) || count <= 0)
        return;
    s.erase(static_cast<std::size_t>(index - 1), static_cast<std::size_t>(count));
}

void Insert(const std::string& source, std::string& s, int index)
{
    if (index < 1)
        index = 1;
    std::size_t at = std::min(static_cast<std::size_t>(index - 1), s.size());
    s.insert(at, source);
}

std::string Trim(const std::string& s)
{
    return TrimLeft(TrimRight(s));
}

std::string TrimLeft(const std::string& s)
{
    std::size_t first = 0;
    while (first < s.size() && IsBlankOrControl(s[first]))
        ++first;
    return s.substr(first);
}

std::string TrimRight(const std::string& s)
{
    std::size_t end = s.size();
    while (end > 0 && IsBlankOrControl(s[end - 1]))
        --end;
    return s.substr(0, end);
}

TReplaceFlags::TReplaceFlags(TReplaceFlag flag) : bits_(1u << flag)
{
}

TReplaceFlags::TReplaceFlags(std::initializer_list<TReplaceFlag> flags)
{
    for (TReplaceFlag flag : flags)
        bits_ |= 1u << flag;
}

bool TReplaceFlags::Contains(TReplaceFlag flag) const
{
    return (bits_ & (1u << flag)) != 0;
}

std::string StringReplace(const std::string& s, const std::string& oldPattern,
                          const std::string& newPattern, TReplaceFlags flags)
{
    if (oldPattern.empty())
        return s;
    const bool ignoreCase = flags.Contains(rfIgnoreCase);
    // Case mapping keeps every byte in place, so positions in the mapped text are positions in s.
    const std::string haystack = ignoreCase ? AnsiUpperCase(s) : s;
    const std::string needle = ignoreCase ? AnsiUpperCase(oldPattern) : oldPattern;
    std::string result;
    std::size_t from = 0;
    while (true) {
        std::size_t found = haystack.find(needle, from);
        if (found == std::string::npos)
            break;
        result.append(s, from, found - from);
        result += newPattern;
        from = found + needle.size();
        if (!flags.Contains(rfReplaceAll))
            break;
    }
    result.append(s, from, std::string::npos);
    return result;
}

std::string StringOfChar(char c, int count)
{
    return count > 0 ? std::string(static_cast<std::size_t>(count), c) : std::string();
}

std::string QuotedStr(const std::string& s)
{
    return AnsiQuotedStr(s, '\'');
}

std::string AnsiQuotedStr(const std::string& s, char quote)
{
    std::string result;
    result.reserve(s.size() + 2);
    result += quote;
    for (char c : s) {
        if (c == quote)
            result += quote;
        result += c;
    }
    result += quote;
    return result;
}

std::string AnsiExtractQuotedStr(std::string_view& text, char quote)
{
    if (text.empty() || text.front() != quote)
        return {};
    std::string result;
    std::size_t i = 1;
    while (i < text.size()) {
        if (text[i] == quote) {
            if (i + 1 < text.size() && text[i + 1] == quote) {
                result += quote;
                i += 2;
                continue;
            }
            ++i; // the closing quote
            text.remove_prefix(i);
            return result;
        }
        result += text[i++];
    }
    text.remove_prefix(text.size());
    return result;
}

std::string AnsiExtractQuotedStr(const char*& text, char quote)
{
    if (!text)
        return {};
    std::string_view view(text);
    std::string result = AnsiExtractQuotedStr(view, quote);
    text = view.data(); // past the closing quote, or at the terminator
    return result;
}

std::string IntToStr(std::int64_t value)
{
    return std::to_string(value);
}

std::string IntToHex(int value, int digits)
{
    return HexDigits(static_cast<std::uint32_t>(value), digits);
}

std::string IntToHex(unsigned value, int digits)
{
    return HexDigits(value, digits);
}

std::string IntToHex(std::int64_t value, int digits)
{
    return HexDigits(static_cast<std::uint64_t>(value), digits);
}

std::string IntToHex(std::uint64_t value, int digits)
{
    return HexDigits(value, digits);
}

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool TryStrToInt(const std::string& s, int& value)
{
    std::int64_t parsed = 0;
    if (!ParseInteger(s, INT_MIN, INT_MAX, 0xFFFFFFFFull, parsed))
        return false;
    value = static_cast<int>(parsed);
    return true;
}

int StrToInt(const std::string& s)
{
    int value = 0;
    if (!TryStrToInt(s, value))
        RaiseInvalidInteger(s);
    return value;
}

int StrToIntDef(const std::string& s, int defaultValue)
{
    int value = 0;
    return TryStrToInt(s, value) ? value : defaultValue;
}

bool TryStrToInt64(const std::string& s, std::int64_t& value)
{
    return ParseInteger(s, INT64_MIN, INT64_MAX, UINT64_MAX, value);
}

std::int64_t StrToInt64(const std::string& s)
{
    std::int64_t value = 0;
    if (!TryStrToInt64(s, value))
        RaiseInvalidInteger(s);
    return value;
}

std::int64_t StrToInt64Def(const std::string& s, std::int64_t defaultValue)
{
    std::int64_t value = 0;
    return TryStrToInt64(s, value) ? value : defaultValue;
}
