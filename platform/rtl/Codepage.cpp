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

} // namespace

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
