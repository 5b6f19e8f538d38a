#pragma once
// Text helpers over Windows-1252 strings: case, comparison, 1-based positions, trims, replace,
// quoting and integer conversions, with the class library's behaviour.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

// ASCII-only case mapping and comparison: other bytes are compared by value.
std::string UpperCase(const std::string& s);
std::string LowerCase(const std::string& s);
int CompareStr(const std::string& s1, const std::string& s2);  // < 0, 0, > 0
int CompareText(const std::string& s1, const std::string& s2); // ignores ASCII case
bool SameText(const std::string& s1, const std::string& s2);

// Case mapping over the whole code page: a-z, the accented letters 0xE0..0xFE (not the division
// sign 0xF7), s and z caron, oe and y diaeresis; sharp s and micro have no upper case here.
char AnsiUpperChar(char c);
char AnsiLowerChar(char c);
std::string AnsiUpperCase(const std::string& s);
std::string AnsiLowerCase(const std::string& s);
// Locale comparison in the user's collation (Italian): < 0, 0, > 0.
int AnsiCompareStr(const std::string& s1, const std::string& s2);
int AnsiCompareText(const std::string& s1, const std::string& s2);
bool AnsiSameText(const std::string& s1, const std::string& s2);
bool AnsiSameStr(const std::string& s1, const std::string& s2);
int AnsiPos(const std::string& substr, const std::string& s);

// 1-based positions. Pos returns 0 when absent or when substr is empty.
int Pos(const std::string& substr, const std::string& s, int offset = 1);
// Out-of-range index and count are clipped, as the class library does.
std::string Copy(const std::string& s, int index, int count = 0x7FFFFFFF);
void Delete(std::string& s, int index, int count);
void Insert(const std::string& source, std::string& s, int index);

// Remove the characters up to and including the blank (control characters too).
std::string Trim(const std::string& s);
std::string TrimLeft(const std::string& s);
std::string TrimRight(const std::string& s);

enum TReplaceFlag { rfReplaceAll, rfIgnoreCase };

class TReplaceFlags {
public:
    TReplaceFlags() = default;
    TReplaceFlags(TReplaceFlag flag);
    TReplaceFlags(std::initializer_list<TReplaceFlag> flags);
    bool Contains(TReplaceFlag flag) const;

private:
    unsigned bits_ = 0;
};

std::string StringReplace(const std::string& s, const std::string& oldPattern,
                          const std::string& newPattern, TReplaceFlags flags);
std::string StringOfChar(char c, int count);

std::string QuotedStr(const std::string& s);
std::string AnsiQuotedStr(const std::string& s, char quote);
// When the text starts with quote, returns the quoted part with doubled quotes undone and moves
// the text past the closing quote (to its end when there is none); otherwise returns "" and
// leaves the text alone.
std::string AnsiExtractQuotedStr(std::string_view& text, char quote);
std::string AnsiExtractQuotedStr(const char*& text, char quote);

std::string IntToStr(std::int64_t value);
// Upper-case hexadecimal with at least `digits` digits; a negative int gives its 32-bit form,
// a negative 64-bit value its 64-bit form.
std::string IntToHex(int value, int digits);
std::string IntToHex(unsigned value, int digits);
std::string IntToHex(std::int64_t value, int digits);
std::string IntToHex(std::uint64_t value, int digits);
// The value of one hexadecimal digit (either case), or -1 for any other character.
int HexDigitValue(char c);

// Decimal or hexadecimal ("$", "0x", "x") with optional leading blanks and sign. A text that is
// not a valid integer raises EConvertError "'%s' is not a valid integer value".
int StrToInt(const std::string& s);
int StrToIntDef(const std::string& s, int defaultValue);
bool TryStrToInt(const std::string& s, int& value);
std::int64_t StrToInt64(const std::string& s);
std::int64_t StrToInt64Def(const std::string& s, std::int64_t defaultValue);
bool TryStrToInt64(const std::string& s, std::int64_t& value);
