#include "controls/StrUtils.h"

#include "platform/rtl/Codepage.h"
#include "platform/rtl/Collation.h"
#include "platform/rtl/System.h"
#include "platform/rtl/TextUtils.h"

#include <cstdint>
#include <string_view>

namespace {

constexpr std::size_t StrUtilsNotFound = std::string_view::npos;

// Whether pattern, '?' matching any character, matches text from index at on.
bool StrUtilsMatchesAt(std::string_view pattern, std::string_view text, std::size_t at)
{
    for (std::size_t i = 0; i < pattern.size(); ++i)
        if (pattern[i] != '?' && pattern[i] != text[at + i])
            return false;
    return true;
}

// The index of the first place pattern matches in text, npos when nowhere (or pattern empty).
std::size_t StrUtilsFindPattern(std::string_view pattern, std::string_view text)
{
    if (pattern.empty())
        return StrUtilsNotFound;
    if (pattern.find('?') == StrUtilsNotFound)
        return text.find(pattern);
    if (text.size() < pattern.size())
        return StrUtilsNotFound;
    for (std::size_t at = 0; at <= text.size() - pattern.size(); ++at)
        if (StrUtilsMatchesAt(pattern, text, at))
            return at;
    return StrUtilsNotFound;
}

// The pattern with every run of '*' made one '*' ("**" means the same as "*").
std::string StrUtilsCollapseStars(std::string_view pattern)
{
    std::string result;
    result.reserve(pattern.size());
    for (char c : pattern)
        if (c != '*' || result.empty() || result.back() != '*')
            result += c;
    return result;
}

bool StrUtilsWildMatch(std::string_view input, std::string_view wilds)
{
    std::size_t si = 0;
    std::size_t wi = 0;
    while (si < input.size() && wi < wilds.size()) {
        if (wilds[wi] == '*') {
            const std::string_view rest = wilds.substr(wi + 1);
            const std::size_t nextStar = rest.find('*');
            const std::string_view unconsumed = input.substr(si);
            if (nextStar == StrUtilsNotFound) {
                // The last segment must end the text, inside what is not consumed yet.
                if (rest.size() > unconsumed.size())
                    return false;
                return StrUtilsMatchesAt(rest, unconsumed, unconsumed.size() - rest.size());
            }
            const std::string_view segment = rest.substr(0, nextStar);
            const std::size_t found = StrUtilsFindPattern(segment, unconsumed);
            if (found == StrUtilsNotFound)
                return false;
            si += found + segment.size();
            wi += 1 + nextStar;
            continue;
        }
        if (wilds[wi] != '?' && wilds[wi] != input[si])
            return false;
        ++si;
        ++wi;
    }
    if (si < input.size())
        return false;
    // What is left of the pattern can match nothing only when it is all stars.
    return wilds.find_first_not_of('*', wi) == StrUtilsNotFound;
}

int StrUtilsCompare(std::uint32_t flags, const std::string& S1, const std::string& S2)
{
    return CompareStringA(LOCALE_SYSTEM_DEFAULT, flags, S1.data(), static_cast<int>(S1.size()), S2.data(),
                          static_cast<int>(S2.size())) -
           2;
}

int StrUtilsRomanValue(char c)
{
    switch (AnsiUpperChar(c)) {
    case 'I': return 1;
    case 'V': return 5;
    case 'X': return 10;
    case 'L': return 50;
    case 'C': return 100;
    case 'D': return 500;
    case 'M': return 1000;
    default: return 0;
    }
}

// One decimal digit d (0..9) of a Roman numeral with the letters of its place.
void StrUtilsAppendRomanDigit(std::string& result, int d, char one, char five, char ten)
{
    if (d == 9) {
        result += one;
        result += ten;
    } else if (d >= 5) {
        result += five;
        result.append(static_cast<std::size_t>(d - 5), one);
    } else if (d == 4) {
        result += one;
        result += five;
    } else {
        result.append(static_cast<std::size_t>(d), one);
    }
}

// Whether argument names the switch: after a switch character, or after any first character
// when there are no switch characters.
bool StrUtilsIsSwitch(const std::string& argument, const std::string& Switch, const TCharSet& SwitchChars,
                      bool IgnoreCase)
{
    if (!SwitchChars.Empty() && (argument.size() <= 1 || !SwitchChars.Contains(argument[0])))
        return false;
    const std::string name = Copy(argument, 2);
    return IgnoreCase ? AnsiCompareText(name, Switch) == 0 : AnsiCompareStr(name, Switch) == 0;
}

std::string StrUtilsShort(const std::string& s) { return s.size() > 255 ? s.substr(0, 255) : s; }

} // namespace

TCharSet::TCharSet(std::initializer_list<char> chars)
{
    for (char c : chars)
        Include(c);
}

std::string StrToOem(const std::string& AnsiStr)
{
    std::string result(AnsiStr.size(), '\0');
    CharToOemBuffA(AnsiStr.data(), result.data(), AnsiStr.size());
    return result;
}

std::string OemToAnsiStr(const std::string& OemStr)
{
    std::string result(OemStr.size(), '\0');
    OemToCharBuffA(OemStr.data(), result.data(), OemStr.size());
    return result;
}

bool IsEmptyStr(const std::string& S, const TCharSet& EmptyChars)
{
    for (char c : S)
        if (!EmptyChars.Contains(c))
            return false;
    return true;
}

std::string ReplaceStr(const std::string& S, const std::string& Srch, const std::string& Replace)
{
    if (Srch.empty())
        return S;
    std::size_t found = S.find(Srch);
    if (found == std::string::npos)
        return S;
    std::string result;
    result.reserve(S.size());
    std::size_t start = 0;
    while (found != std::string::npos) {
        result.append(S, start, found - start);
        result += Replace;
        start = found + Srch.size();
        found = S.find(Srch, start);
    }
    result.append(S, start);
    return result;
}

std::string DelSpace(const std::string& S) { return DelChars(S, ' '); }

std::string DelChars(const std::string& S, char Chr)
{
    std::string result;
    result.reserve(S.size());
    for (char c : S)
        if (c != Chr)
            result += c;
    return result;
}

std::string DelBSpace(const std::string& S)
{
    const std::size_t first = S.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : S.substr(first);
}

std::string DelESpace(const std::string& S)
{
    const std::size_t last = S.find_last_not_of(' ');
    return last == std::string::npos ? std::string() : S.substr(0, last + 1);
}

std::string DelRSpace(const std::string& S) { return DelBSpace(DelESpace(S)); }

std::string DelSpace1(const std::string& S)
{
    std::string result;
    result.reserve(S.size());
    for (char c : S)
        if (c != ' ' || result.empty() || result.back() != ' ')
            result += c;
    return result;
}

std::string Tab2Space(const std::string& S, int Numb)
{
    return ReplaceStr(S, "\t", MakeStr(' ', Numb));
}

std::string MakeStr(char C, int N) { return N <= 0 ? std::string() : std::string(static_cast<std::size_t>(N), C); }
std::string MS(char C, int N) { return MakeStr(C, N); }

int NPos(const std::string& C, const std::string& S, int N)
{
    if (N <= 0 || C.empty())
        return 0;
    std::size_t found = std::string::npos;
    std::size_t from = 0;
    for (int k = 0; k < N; ++k) {
        found = S.find(C, from);
        if (found == std::string::npos)
            return 0;
        from = found + 1;
    }
    return static_cast<int>(found) + 1;
}

std::string AddChar(char C, const std::string& S, int N)
{
    return static_cast<int>(S.size()) < N ? MakeStr(C, N - static_cast<int>(S.size())) + S : S;
}

std::string AddCharR(char C, const std::string& S, int N)
{
    return static_cast<int>(S.size()) < N ? S + MakeStr(C, N - static_cast<int>(S.size())) : S;
}

std::string LeftStr(const std::string& S, int N) { return AddCharR(' ', S, N); }
std::string RightStr(const std::string& S, int N) { return AddChar(' ', S, N); }

std::string CenterStr(const std::string& S, int Len)
{
    const int length = static_cast<int>(S.size());
    if (length >= Len)
        return S;
    std::string result = MakeStr(' ', Len / 2 - length / 2) + S;
    return result + MakeStr(' ', Len - static_cast<int>(result.size()));
}

int CompStr(const std::string& S1, const std::string& S2) { return StrUtilsCompare(SORT_STRINGSORT, S1, S2); }

int CompText(const std::string& S1, const std::string& S2)
{
    return StrUtilsCompare(SORT_STRINGSORT | NORM_IGNORECASE, S1, S2);
}

std::string Copy2Symb(const std::string& S, char Symb) { return S.substr(0, S.find(Symb)); }

std::string Copy2SymbDel(std::string& S, char Symb)
{
    std::string result = Copy2Symb(S, Symb);
    S = DelBSpace(S.substr(result.size()));
    return result;
}

std::string Copy2Space(const std::string& S) { return Copy2Symb(S, ' '); }
std::string Copy2SpaceDel(std::string& S) { return Copy2SymbDel(S, ' '); }

std::string AnsiProperCase(const std::string& S, const TCharSet& WordDelims)
{
    std::string result = AnsiLowerCase(S);
    bool wordStart = true;
    for (char& c : result) {
        if (WordDelims.Contains(c)) {
            wordStart = true;
        } else if (wordStart) {
            c = AnsiUpperChar(c);
            wordStart = false;
        }
    }
    return result;
}

int WordCount(const std::string& S, const TCharSet& WordDelims)
{
    int count = 0;
    bool inWord = false;
    for (char c : S) {
        const bool delimiter = WordDelims.Contains(c);
        if (!delimiter && !inWord)
            ++count;
        inWord = !delimiter;
    }
    return count;
}

int WordPosition(int N, const std::string& S, const TCharSet& WordDelims)
{
    int count = 0;
    bool inWord = false;
    for (std::size_t i = 0; i < S.size(); ++i) {
        const bool delimiter = WordDelims.Contains(S[i]);
        if (!delimiter && !inWord && ++count == N)
            return static_cast<int>(i) + 1;
        inWord = !delimiter;
    }
    return 0;
}

std::string ExtractWordPos(int N, const std::string& S, const TCharSet& WordDelims, int& Pos)
{
    Pos = WordPosition(N, S, WordDelims);
    if (Pos == 0)
        return {};
    std::size_t end = static_cast<std::size_t>(Pos) - 1;
    while (end < S.size() && !WordDelims.Contains(S[end]))
        ++end;
    return S.substr(static_cast<std::size_t>(Pos) - 1, end - (static_cast<std::size_t>(Pos) - 1));
}

std::string ExtractWord(int N, const std::string& S, const TCharSet& WordDelims)
{
    int position = 0;
    return ExtractWordPos(N, S, WordDelims, position);
}

std::string ExtractDelimited(int N, const std::string& S, const TCharSet& Delims)
{
    if (N <= 0)
        return {};
    std::size_t start = 0;
    for (int field = 1; field < N; ++field) {
        while (start < S.size() && !Delims.Contains(S[start]))
            ++start;
        if (start >= S.size())
            return {};
        ++start; // past the delimiter that ends the field
    }
    std::size_t end = start;
    while (end < S.size() && !Delims.Contains(S[end]))
        ++end;
    return S.substr(start, end - start);
}

std::string ExtractSubstr(const std::string& S, int& Pos, const TCharSet& Delims)
{
    const int length = static_cast<int>(S.size());
    const int start = Pos < 1 ? 1 : Pos;
    int i = start;
    while (i <= length && !Delims.Contains(S[static_cast<std::size_t>(i) - 1]))
        ++i;
    std::string result = Copy(S, start, i - start);
    if (i <= length)
        ++i;
    Pos = i;
    return result;
}

bool IsWordPresent(const std::string& W, const std::string& S, const TCharSet& WordDelims)
{
    std::size_t i = 0;
    while (i < S.size()) {
        while (i < S.size() && WordDelims.Contains(S[i]))
            ++i;
        const std::size_t start = i;
        while (i < S.size() && !WordDelims.Contains(S[i]))
            ++i;
        if (i > start && S.compare(start, i - start, W) == 0)
            return true;
    }
    return false;
}

std::string QuotedString(const std::string& S, char Quote) { return AnsiQuotedStr(S, Quote); }

std::string ExtractQuotedString(const std::string& S, char Quote)
{
    if (S.empty() || S[0] != Quote)
        return S;
    std::string_view text = S;
    return AnsiExtractQuotedStr(text, Quote);
}

std::string Numb2USA(const std::string& S)
{
    std::string result = S;
    const int length = static_cast<int>(S.size());
    for (int i = length; i > 1; --i)
        if ((length - i + 1) % 3 == 0)
            result.insert(static_cast<std::size_t>(i) - 1, 1, ',');
    return result;
}

std::string Dec2Hex(int N, int A) { return IntToHex(N, A); }
std::string D2H(int N, int A) { return Dec2Hex(N, A); }

int Hex2Dec(const std::string& S)
{
    return StrToIntDef(S.find('$') == std::string::npos ? "$" + S : S, 0);
}

int H2D(const std::string& S) { return Hex2Dec(S); }

std::string Dec2Numb(int N, int A, int B)
{
    if (N < 0 || B < 2 || B > 36)
        return {};
    std::string result;
    if (N == 0)
        result = "0";
    for (int number = N; number > 0; number /= B) {
        const int digit = number % B;
        result.insert(result.begin(), static_cast<char>(digit > 9 ? digit + 55 : digit + 48));
    }
    return AddChar('0', result, A);
}

int Numb2Dec(const std::string& S, int B)
{
    if (B < 2 || B > 36)
        return 0;
    // Wraps around as 32-bit arithmetic does, whatever the text holds.
    std::uint32_t result = 0;
    for (char c : AnsiUpperCase(S)) {
        const int code = static_cast<unsigned char>(c);
        const int digit = code <= 64 ? code - 48 : code - 55;
        result = result * static_cast<std::uint32_t>(B) + static_cast<std::uint32_t>(digit);
    }
    return static_cast<std::int32_t>(result);
}

int RomanToInt(const std::string& S)
{
    std::string_view numeral = S;
    const bool negative = !numeral.empty() && numeral[0] == '-';
    if (negative)
        numeral.remove_prefix(1);
    for (char c : numeral)
        if (StrUtilsRomanValue(c) == 0)
            return 0;
    std::int64_t result = 0;
    for (std::size_t i = 0; i < numeral.size(); ++i) {
        const int value = StrUtilsRomanValue(numeral[i]);
        const int next = i + 1 < numeral.size() ? StrUtilsRomanValue(numeral[i + 1]) : 0;
        if (next > value) {
            result += next - value;
            ++i;
        } else {
            result += value;
        }
    }
    return static_cast<std::int32_t>(negative ? -result : result);
}

std::string IntToRoman(int Value)
{
    if (Value <= 0)
        return {};
    std::string result(static_cast<std::size_t>(Value / 1000), 'M');
    StrUtilsAppendRomanDigit(result, Value / 100 % 10, 'C', 'D', 'M');
    StrUtilsAppendRomanDigit(result, Value / 10 % 10, 'X', 'L', 'C');
    StrUtilsAppendRomanDigit(result, Value % 10, 'I', 'V', 'X');
    return result;
}

std::string IntToBin(int Value, int Digits, int Spaces)
{
    const auto bits = static_cast<std::uint32_t>(Value);
    std::string result;
    for (int digit = Digits > 32 ? 32 : Digits; digit > 0; --digit) {
        if (Spaces > 0 && digit % Spaces == 0)
            result += ' ';
        result += ((bits >> (digit - 1)) & 1u) ? '1' : '0';
    }
    return result;
}

int FindPart(const std::string& HelpWilds, const std::string& InputStr)
{
    const std::size_t found = StrUtilsFindPattern(HelpWilds, InputStr);
    return found == StrUtilsNotFound ? 0 : static_cast<int>(found) + 1;
}

bool IsWild(const std::string& InputStr, const std::string& Wilds, bool IgnoreCase)
{
    if (Wilds == InputStr)
        return true;
    std::string collapsed;
    std::string_view wilds = Wilds;
    if (Wilds.find("**") != std::string::npos) {
        collapsed = StrUtilsCollapseStars(Wilds);
        wilds = collapsed;
    }
    if (wilds == "*")
        return true;
    if (wilds.empty() || InputStr.empty())
        return false;
    if (IgnoreCase)
        return StrUtilsWildMatch(AnsiUpperCase(InputStr), AnsiUpperCase(std::string(wilds)));
    return StrUtilsWildMatch(InputStr, wilds);
}

std::string XorString(const std::string& Key, const std::string& Src)
{
    const std::string key = StrUtilsShort(Key);
    std::string result = StrUtilsShort(Src);
    if (!key.empty())
        for (std::size_t i = 0; i < result.size(); ++i)
            result[i] = static_cast<char>(result[i] ^ key[i % key.size()]);
    return result;
}

std::string XorEncode(const std::string& Key, const std::string& Source)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string result;
    result.reserve(Source.size() * 2);
    for (std::size_t i = 0; i < Source.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(Source[i]);
        if (!Key.empty())
            c ^= static_cast<unsigned char>(Key[i % Key.size()]);
        result += digits[c >> 4];
        result += digits[c & 0x0F];
    }
    return result;
}

std::string XorDecode(const std::string& Key, const std::string& Source)
{
    std::string result;
    result.reserve(Source.size() / 2);
    for (std::size_t pair = 0; pair < Source.size() / 2; ++pair) {
        const int high = HexDigitValue(Source[2 * pair]);
        const int low = HexDigitValue(Source[2 * pair + 1]);
        unsigned char c = high < 0 || low < 0 ? ' ' : static_cast<unsigned char>(high * 16 + low);
        if (!Key.empty())
            c ^= static_cast<unsigned char>(Key[pair % Key.size()]);
        result += static_cast<char>(c);
    }
    return result;
}

bool FindCmdLineSwitch(const std::string& Switch, const TCharSet& SwitchChars, bool IgnoreCase)
{
    for (int i = 1; i <= ParamCount(); ++i)
        if (StrUtilsIsSwitch(ParamStr(i), Switch, SwitchChars, IgnoreCase))
            return true;
    return false;
}

std::string GetCmdLineArg(const std::string& Switch, const TCharSet& SwitchChars)
{
    for (int i = 1; i < ParamCount(); ++i)
        if (StrUtilsIsSwitch(ParamStr(i), Switch, SwitchChars, true))
            return ParamStr(i + 1);
    return {};
}
