#pragma once
// String functions of the control library over Windows-1252 texts, counting positions from 1
// (0 meaning "not found"): padding and trimming, search and replace, words between caller-given
// delimiters, number texts (hexadecimal, any base, Roman numerals, binary), the OEM code page,
// a wildcard matcher, a key-based XOR encoding written as hexadecimal, and the command line.

#include <bitset>
#include <initializer_list>
#include <string>

// A set of 8-bit characters.
class TCharSet {
public:
    TCharSet() = default;
    TCharSet(std::initializer_list<char> chars);
    bool Contains(char c) const { return FBits[static_cast<unsigned char>(c)]; }
    void Include(char c) { FBits.set(static_cast<unsigned char>(c)); }
    void Exclude(char c) { FBits.reset(static_cast<unsigned char>(c)); }
    bool Empty() const { return FBits.none(); }

private:
    std::bitset<256> FBits;
};

// Windows-1252 to code page 850 and back, the same length.
std::string StrToOem(const std::string& AnsiStr);
std::string OemToAnsiStr(const std::string& OemStr);

// True when every character is in the set (an empty text too).
bool IsEmptyStr(const std::string& S, const TCharSet& EmptyChars);
// Every occurrence replaced, left to right without overlap; an empty search changes nothing.
std::string ReplaceStr(const std::string& S, const std::string& Srch, const std::string& Replace);
std::string DelSpace(const std::string& S);
std::string DelChars(const std::string& S, char Chr);
// Leading, trailing, or both kinds of spaces (only the blank itself).
std::string DelBSpace(const std::string& S);
std::string DelESpace(const std::string& S);
std::string DelRSpace(const std::string& S);
// Every run of spaces shortened to one.
std::string DelSpace1(const std::string& S);
// Every tab becomes Numb spaces.
std::string Tab2Space(const std::string& S, int Numb);
std::string MakeStr(char C, int N);
std::string MS(char C, int N);
// The position of the N-th occurrence; occurrences may overlap.
int NPos(const std::string& C, const std::string& S, int N);
// Padded on the left (AddChar, RightStr) or on the right (AddCharR, LeftStr) up to N; never cut.
std::string AddChar(char C, const std::string& S, int N);
std::string AddCharR(char C, const std::string& S, int N);
std::string LeftStr(const std::string& S, int N);
std::string RightStr(const std::string& S, int N);
std::string CenterStr(const std::string& S, int Len);
// -1, 0 or 1 in the locale's string-sort order; CompText ignores case.
int CompStr(const std::string& S1, const std::string& S2);
int CompText(const std::string& S1, const std::string& S2);
// The part before the first Symb (all of S when absent). The Del forms leave in S the rest,
// from Symb on, without leading spaces.
std::string Copy2Symb(const std::string& S, char Symb);
std::string Copy2SymbDel(std::string& S, char Symb);
std::string Copy2Space(const std::string& S);
std::string Copy2SpaceDel(std::string& S);
std::string AnsiProperCase(const std::string& S, const TCharSet& WordDelims);

// Words are maximal runs of characters outside WordDelims.
int WordCount(const std::string& S, const TCharSet& WordDelims);
int WordPosition(int N, const std::string& S, const TCharSet& WordDelims);
std::string ExtractWord(int N, const std::string& S, const TCharSet& WordDelims);
std::string ExtractWordPos(int N, const std::string& S, const TCharSet& WordDelims, int& Pos);
// The N-th field when every delimiter ends a field (adjacent delimiters make empty fields).
std::string ExtractDelimited(int N, const std::string& S, const TCharSet& Delims);
// From Pos up to the next delimiter; Pos moves past it (or to the length plus one).
std::string ExtractSubstr(const std::string& S, int& Pos, const TCharSet& Delims);
bool IsWordPresent(const std::string& W, const std::string& S, const TCharSet& WordDelims);
std::string QuotedString(const std::string& S, char Quote);
std::string ExtractQuotedString(const std::string& S, char Quote);

// "1234567" becomes "1,234,567".
std::string Numb2USA(const std::string& S);
std::string Dec2Hex(int N, int A);
std::string D2H(int N, int A);
// 0 when the text is not a hexadecimal number.
int Hex2Dec(const std::string& S);
int H2D(const std::string& S);
// N in base B (2..36) with at least A digits; "" for a negative N or another base.
std::string Dec2Numb(int N, int A, int B);
// S read in base B without validation; 0 for a base outside 2..36.
int Numb2Dec(const std::string& S, int B);
int RomanToInt(const std::string& S);
std::string IntToRoman(int Value);
// The lowest Digits bits (at most 32), a space before every group of Spaces bits.
std::string IntToBin(int Value, int Digits, int Spaces);

// The first position where Pattern matches, '?' matching any one character.
int FindPart(const std::string& HelpWilds, const std::string& InputStr);
// '*' matches any run of characters, '?' any one character.
bool IsWild(const std::string& InputStr, const std::string& Wilds, bool IgnoreCase);

// Each character XOR the key's character at its index (from 0) modulo the key's length; both
// texts are cut to 255 characters. An empty key leaves the text.
std::string XorString(const std::string& Key, const std::string& Src);
// Two lower-case hexadecimal digits per character of the XOR-ed text, and back: a pair that is
// not hexadecimal counts as a space, a trailing odd character is ignored.
std::string XorEncode(const std::string& Key, const std::string& Source);
std::string XorDecode(const std::string& Key, const std::string& Source);

// Looks among the program's arguments for Switch after one of SwitchChars (every argument's
// first character is dropped when SwitchChars is empty).
bool FindCmdLineSwitch(const std::string& Switch, const TCharSet& SwitchChars, bool IgnoreCase);
// The argument after the switch (always compared without regard to case), "" when none.
std::string GetCmdLineArg(const std::string& Switch, const TCharSet& SwitchChars);
