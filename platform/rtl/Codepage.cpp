#include "platform/rtl/Codepage.h"

#include <array>

namespace {

// Bytes 0x80..0x9F; the other bytes carry their own value as Unicode character.
constexpr char16_t HighControlRange[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

struct Utf8Sequence {
    unsigned char length;
    char bytes[3];
};

struct Tables {
    std::array<char16_t, 256> toUnicode{};
    std::array<Utf8Sequence, 256> toUtf8{};
};

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
            char16_t c = (b >= 0x80 && b < 0xA0) ? HighControlRange[b - 0x80] : char16_t(b);
            t.toUnicode[b] = c;
            t.toUtf8[b] = EncodeUtf8(c);
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
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (int k = 0; k < 32; ++k)
        if (HighControlRange[k] == c)
            return static_cast<char>(0x80 + k);
    return '?';
}

void AnsiToUtf16(std::string_view text, char16_t* destination)
{
    const auto& table = CodepageTables().toUnicode;
    for (std::size_t i = 0; i < text.size(); ++i)
        destination[i] = table[static_cast<unsigned char>(text[i])];
}

std::u16string AnsiToUtf16(std::string_view text)
{
    std::u16string result(text.size(), u'\0');
    AnsiToUtf16(text, result.data());
    return result;
}

std::string Utf16ToAnsi(std::u16string_view text)
{
    std::string result(text.size(), '\0');
    std::size_t out = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            result[out++] = static_cast<char>(c);
            continue;
        }
        // A surrogate pair is one character outside the code page.
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF)
            ++i;
        result[out++] = UnicodeToAnsiChar(c);
    }
    result.resize(out);
    return result;
}

std::string AnsiToUtf8(std::string_view text)
{
    const auto& table = CodepageTables().toUtf8;
    std::string result;
    result.reserve(text.size() + text.size() / 4);
    for (char byte : text) {
        const Utf8Sequence& seq = table[static_cast<unsigned char>(byte)];
        result.append(seq.bytes, seq.length);
    }
    return result;
}

std::string Utf8ToAnsi(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            result += static_cast<char>(byte);
            ++i;
            continue;
        }
        result += UnicodeToAnsiChar(DecodeUtf8(text, i));
    }
    return result;
}
