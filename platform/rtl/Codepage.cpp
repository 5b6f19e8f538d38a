#include "platform/rtl/Codepage.h"

#include <algorithm>
#include <array>

namespace {

// Bytes 0x80..0x9F; the other bytes carry their own value as Unicode character.
constexpr char16_t UnicodeOfBytes80To9F[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

struct Utf8Sequence {
    unsigned char length;
    char bytes[3];
};

struct ReverseEntry {
    char32_t unicode = 0;
    char byte = '?';
};

struct Tables {
    std::array<char16_t, 256> toUnicode{};
    std::array<Utf8Sequence, 256> toUtf8{};
    // The byte of U+0000..U+00FF, '?' for the C1 controls the code page lacks.
    std::array<char, 256> fromLatin1{};
    // The byte of the other characters of bytes 0x80..0x9F, by a hash of their value that
    // happens to differ for each of them.
    std::array<ReverseEntry, 256> fromHigh{};
};

std::size_t HighHash(char32_t c)
{
    return (c ^ (c >> 8)) & 0xFF;
}

Utf8Sequence EncodeUtf8(char16_t c)
{
    if (c < 0x80)
        return {1, {static_cast<char>(c), 0, 0}};
    if (c < 0x800)
        return {2, {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F)), 0}};
    return {3,
            {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
             static_cast<char>(0x80 | (c & 0x3F))}};
}

const Tables& CodepageTables()
{
    static const Tables tables = [] {
        Tables t;
        for (int b = 0; b < 256; ++b) {
            char16_t c = (b >= 0x80 && b < 0xA0) ? UnicodeOfBytes80To9F[b - 0x80] : char16_t(b);
            t.toUnicode[b] = c;
            t.toUtf8[b] = EncodeUtf8(c);
            t.fromLatin1[b] = (b >= 0x80 && b < 0xA0) ? '?' : static_cast<char>(b);
        }
        for (int b = 0x80; b < 0xA0; ++b) {
            char16_t c = t.toUnicode[b];
            if (c < 0x100)
                t.fromLatin1[c] = static_cast<char>(b);
            else
                t.fromHigh[HighHash(c)] = {c, static_cast<char>(b)};
        }
        return t;
    }();
    return tables;
}

} // namespace

// Decodes one UTF-8 character starting at text[i]; advances i past it. Returns U+FFFF for a
// malformed sequence (which has no byte in the code page) after skipping its maximal valid prefix.
char32_t DecodeUtf8(std::string_view text, std::size_t& i)
{
    constexpr char32_t Invalid = 0xFFFF;
    unsigned char lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80)
        return lead;
    int extra;
    char32_t c;
    char32_t lowest;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1, c = lead & 0x1F, lowest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2, c = lead & 0x0F, lowest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3, c = lead & 0x07, lowest = 0x10000;
    } else {
        return Invalid;
    }
    for (int k = 0; k < extra; ++k) {
        if (i >= text.size())
            return Invalid;
        unsigned char next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80)
            return Invalid;
        char32_t extended = (c << 6) | (next & 0x3F);
        // Overlong forms, surrogates and values beyond U+10FFFF show in the second byte, which
        // then starts the next character.
        if (k == 0 && extra >= 2) {
            char32_t smallest = extended << (6 * (extra - 1));
            if (smallest < lowest || smallest > 0x10FFFF || (smallest >= 0xD800 && smallest <= 0xDFFF))
                return Invalid;
        }
        c = extended;
        ++i;
    }
    return c;
}

char16_t AnsiCharToUnicode(unsigned char c)
{
    return CodepageTables().toUnicode[c];
}

char UnicodeToAnsiChar(char32_t c)
{
    const Tables& tables = CodepageTables();
    if (c < 0x100)
        return tables.fromLatin1[c];
    const ReverseEntry& entry = tables.fromHigh[HighHash(c)];
    return entry.unicode == c ? entry.byte : '?';
}

// Only bytes 0x80..0x9F differ from their Unicode value. A block without them (nearly every block
// of a real text) is widened as it is, which the compiler does with vectors; the others go
// through the table.
void AnsiToUtf16(std::string_view text, char16_t* destination)
{
    constexpr std::size_t Block = 32;
    const auto& table = CodepageTables().toUnicode;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    std::size_t start = 0;
    for (; start + Block <= size; start += Block) {
        unsigned char highControls = 0;
        for (std::size_t i = start; i < start + Block; ++i) {
            destination[i] = bytes[i];
            highControls |= static_cast<unsigned char>(bytes[i] - 0x80) < 0x20;
        }
        if (highControls)
            for (std::size_t i = start; i < start + Block; ++i)
                destination[i] = table[bytes[i]];
    }
    for (; start < size; ++start)
        destination[start] = table[bytes[start]];
}

std::u16string AnsiToUtf16(std::string_view text)
{
    std::u16string result(text.size(), u'\0');
    AnsiToUtf16(text, result.data());
    return result;
}

namespace {

bool IsOwnByte(char16_t c)
{
    return c < 0x80 || (c >= 0xA0 && c <= 0xFF);
}

// Converts the character at text[i] and moves i past it (two units for a surrogate pair).
char NextUtf16ToAnsi(std::u16string_view text, std::size_t& i)
{
    char16_t c = text[i++];
    if (IsOwnByte(c))
        return static_cast<char>(c);
    // A surrogate pair is one character outside the code page.
    if (c >= 0xD800 && c <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 && text[i] <= 0xDFFF)
        ++i;
    return UnicodeToAnsiChar(c);
}

} // namespace

// As in AnsiToUtf16, a block is first narrowed as it is; then, unless it holds surrogates (which
// shift the output), only its characters that are not their own byte are looked up.
std::string Utf16ToAnsi(std::u16string_view text)
{
    constexpr std::size_t Block = 32;
    std::string result(text.size(), '\0');
    const std::size_t size = text.size();
    std::size_t i = 0;
    std::size_t out = 0;
    while (i + Block <= size) {
        char* destination = result.data() + out;
        const char16_t* source = text.data() + i;
        unsigned char special = 0;
        unsigned char surrogate = 0;
        for (std::size_t k = 0; k < Block; ++k) {
            destination[k] = static_cast<char>(source[k]);
            special |= !IsOwnByte(source[k]);
            surrogate |= (source[k] & 0xF800) == 0xD800;
        }
        if (surrogate) {
            const std::size_t blockEnd = i + Block;
            while (i < blockEnd)
                result[out++] = NextUtf16ToAnsi(text, i);
            continue;
        }
        if (special)
            for (std::size_t k = 0; k < Block; ++k)
                if (!IsOwnByte(source[k]))
                    destination[k] = UnicodeToAnsiChar(source[k]);
        i += Block;
        out += Block;
    }
    while (i < size)
        result[out++] = NextUtf16ToAnsi(text, i);
    result.resize(out);
    return result;
}

std::string AnsiToUtf8(std::string_view text)
{
    const auto& table = CodepageTables().toUtf8;
    std::string result(text.size() * 3, '\0');
    char* out = result.data();
    for (char byte : text) {
        if (static_cast<unsigned char>(byte) < 0x80) {
            *out++ = byte;
            continue;
        }
        const Utf8Sequence& seq = table[static_cast<unsigned char>(byte)];
        for (int k = 0; k < seq.length; ++k)
            *out++ = seq.bytes[k];
    }
    result.resize(static_cast<std::size_t>(out - result.data()));
    return result;
}

std::string Utf8ToAnsi(std::string_view text)
{
    // Never longer than the UTF-8 text: every character takes at least one byte there.
    std::string result(text.size(), '\0');
    std::size_t out = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            result[out++] = static_cast<char>(byte);
            ++i;
            continue;
        }
        result[out++] = UnicodeToAnsiChar(DecodeUtf8(text, i));
    }
    result.resize(out);
    return result;
}

namespace {

// The characters of code page 850 bytes 0x80..0xFF.
constexpr char16_t UnicodeOfOemBytes80ToFF[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0,
    0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4,
    0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE,
    0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580,
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE,
    0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD, 0x00AF, 0x00B4,
    0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8,
    0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0,
};

struct OemTables {
    std::array<char, 256> ansiToOem{};
    std::array<char, 256> oemToAnsi{};
};

const OemTables& OemCodepageTables()
{
    static const OemTables tables = [] {
        OemTables t;
        for (int b = 0; b < 256; ++b) {
            t.ansiToOem[b] = b < 0x80 ? static_cast<char>(b) : '?';
            t.oemToAnsi[b] = b < 0x80 ? static_cast<char>(b) : UnicodeToAnsiChar(UnicodeOfOemBytes80ToFF[b - 0x80]);
        }
        for (int oem = 0x80; oem < 0x100; ++oem) {
            const char ansi = UnicodeToAnsiChar(UnicodeOfOemBytes80ToFF[oem - 0x80]);
            // '?' is what a missing character became, never a real counterpart above 0x7F.
            if (ansi != '?')
                t.ansiToOem[static_cast<unsigned char>(ansi)] = static_cast<char>(oem);
        }
        return t;
    }();
    return tables;
}

bool TranslateOemBytes(const std::array<char, 256>& table, const char* source, char* destination,
                       std::size_t length)
{
    if (!source || !destination)
        return false;
    for (std::size_t i = 0; i < length; ++i)
        destination[i] = table[static_cast<unsigned char>(source[i])];
    return true;
}

} // namespace

bool CharToOemBuffA(const char* source, char* destination, std::size_t length)
{
    return TranslateOemBytes(OemCodepageTables().ansiToOem, source, destination, length);
}

bool OemToCharBuffA(const char* source, char* destination, std::size_t length)
{
    return TranslateOemBytes(OemCodepageTables().oemToAnsi, source, destination, length);
}

bool CharToOemA(const char* source, char* destination)
{
    // The terminating zero is translated too: it maps to itself.
    return source && CharToOemBuffA(source, destination, std::char_traits<char>::length(source) + 1);
}

bool OemToCharA(const char* source, char* destination)
{
    return source && OemToCharBuffA(source, destination, std::char_traits<char>::length(source) + 1);
}
