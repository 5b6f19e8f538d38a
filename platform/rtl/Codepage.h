#pragma once
// Windows-1252 <-> Unicode. Every text inside the program is Windows-1252; these convert at the
// edges (Qt, file names, the terminal). A character the code page lacks becomes '?'.

#include <cstddef>
#include <string>
#include <string_view>

// The Unicode character of one Windows-1252 byte. The five bytes Windows leaves undefined map to
// the C1 controls of the same value (U+0081, U+008D, U+008F, U+0090, U+009D).
char16_t AnsiCharToUnicode(unsigned char c);

// The Windows-1252 byte of a Unicode character, '?' when the code page has none.
char UnicodeToAnsiChar(char32_t c);

std::u16string AnsiToUtf16(std::string_view text);
std::string Utf16ToAnsi(std::u16string_view text);
std::string AnsiToUtf8(std::string_view text);
// Malformed UTF-8 sequences become '?' as well.
std::string Utf8ToAnsi(std::string_view text);

// Decodes the UTF-8 character at text[i] and moves i past it; U+FFFF for a malformed sequence,
// after skipping its longest valid start.
char32_t DecodeUtf8(std::string_view text, std::size_t& i);

// Writes text.size() UTF-16 units to destination, which must have room for them.
void AnsiToUtf16(std::string_view text, char16_t* destination);

// Windows-1252 <-> code page 850, the OEM code page of an Italian Windows. Bytes 0x00..0x7F are
// the same in both; a character the other code page lacks becomes '?'. Source and destination
// may be the same buffer. False only for a null pointer.
bool CharToOemBuffA(const char* source, char* destination, std::size_t length);
bool OemToCharBuffA(const char* source, char* destination, std::size_t length);
// The same for a zero-terminated text; the destination needs room for it and its zero.
bool CharToOemA(const char* source, char* destination);
bool OemToCharA(const char* source, char* destination);
