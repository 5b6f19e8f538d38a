#include "platform/rtl/Codepage.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <cstdio>
#include <string>

namespace {

std::string AllBytes()
{
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        bytes += static_cast<char>(b);
    return bytes;
}

bool IsUndefinedByte(int b)
{
    return b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
}

// The C library's own Windows-1252 converter, for the bytes it defines.
std::string SystemCp1252ToUtf8(char byte)
{
    iconv_t cd = iconv_open("UTF-8", "CP1252");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return {};
    char in[1] = {byte};
    char out[8] = {};
    char* inPtr = in;
    char* outPtr = out;
    size_t inLeft = 1;
    size_t outLeft = sizeof out;
    size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1))
        return {};
    return std::string(out, outPtr);
}

// What python3 makes of every byte: decoded from `from` and encoded to `to`, both with
// errors="replace". Empty when python3 cannot be run.
std::string PythonRecode(const char* from, const char* to)
{
    const std::string command = std::string("python3 -c \"import sys; sys.stdout.buffer.write(bytes(range(256))"
                                            ".decode('") + from + "', 'replace').encode('" + to + "', 'replace'))\"";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        std::size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            output.append(buffer, n);
        pclose(pipe);
    }
    return output;
}

std::string AnsiToOem(const std::string& text)
{
    std::string result(text.size(), '\0');
    CharToOemBuffA(text.data(), result.data(), text.size());
    return result;
}

std::string OemToAnsi(const std::string& text)
{
    std::string result(text.size(), '\0');
    OemToCharBuffA(text.data(), result.data(), text.size());
    return result;
}

} // namespace

TEST(Codepage, EveryByteRoundTripsThroughUtf16AndUtf8)
{
    const std::string bytes = AllBytes();
    std::u16string utf16 = AnsiToUtf16(bytes);
    ASSERT_EQ(utf16.size(), 256u);
    EXPECT_EQ(Utf16ToAnsi(utf16), bytes);
    EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(bytes)), bytes);
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(UnicodeToAnsiChar(AnsiCharToUnicode(static_cast<unsigned char>(b))),
                  static_cast<char>(b))
            << "byte " << b;
}

TEST(Codepage, DefinedBytesAgreeWithTheSystemConverter)
{
    ASSERT_FALSE(SystemCp1252ToUtf8('A').empty()) << "iconv lacks CP1252";
    for (int b = 0; b < 256; ++b) {
        if (IsUndefinedByte(b))
            continue;
        char byte = static_cast<char>(b);
        EXPECT_EQ(AnsiToUtf8(std::string(1, byte)), SystemCp1252ToUtf8(byte)) << "byte " << b;
    }
}

TEST(Codepage, UndefinedBytesMapToTheC1ControlsAndBack)
{
    for (int b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
        EXPECT_EQ(AnsiCharToUnicode(static_cast<unsigned char>(b)), char16_t(b));
        EXPECT_EQ(UnicodeToAnsiChar(char32_t(b)), static_cast<char>(b));
    }
    EXPECT_EQ(AnsiToUtf16("\x80"), u"\u20AC");
    EXPECT_EQ(AnsiToUtf8("perch\xE9 \x80"), "perch\xC3\xA9 \xE2\x82\xAC");
}

TEST(Codepage, CharactersWithoutAByteBecomeQuestionMarks)
{
    // U+0080 has no byte: 0x80 is the euro sign.
    EXPECT_EQ(Utf16ToAnsi(u"a\u0080b"), "a?b");
    EXPECT_EQ(Utf16ToAnsi(u"\u4E2D\u20AC"), "?\x80");
    // A surrogate pair is one character; a lone surrogate is one unknown character.
    EXPECT_EQ(Utf16ToAnsi(u"x\U0001F600y"), "x?y");
    std::u16string lone = u"x";
    lone += char16_t(0xD800);
    lone += u'y';
    EXPECT_EQ(Utf16ToAnsi(lone), "x?y");
    EXPECT_EQ(Utf8ToAnsi("x\xF0\x9F\x98\x80y\xE4\xB8\xADz"), "x?y?z");
}

TEST(Codepage, MalformedUtf8BecomesQuestionMarksWithoutSwallowingText)
{
    struct Case {
        const char* utf8;
        const char* ansi;
    };
    const Case cases[] = {
        {"a\xC0\x80z", "a??z"},          // overlong NUL
        {"a\xC3z", "a?z"},               // truncated two-byte form
        {"a\xE2\x82z", "a?z"},           // truncated three-byte form
        {"a\xED\xA0\x80z", "a???z"},     // encoded surrogate
        {"a\xF5\x80z", "a??z"},          // lead byte beyond U+10FFFF
        {"a\x80z", "a?z"},               // stray continuation byte
        {"\xC3\xA0\xC3", "\xE0?"},       // truncated at the very end
        {"\xE2\x80\x9C\xE2\x80\x9D", "\x93\x94"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Utf8ToAnsi(c.utf8), c.ansi) << c.utf8;
}

// Long texts go through block-wise fast paths: mix plain blocks, blocks with bytes 0x80..0x9F,
// and a surrogate pair across a block boundary.
TEST(Codepage, LongTextsConvertAcrossBlocks)
{
    std::string ansi;
    std::u16string utf16;
    for (int i = 0; i < 200; ++i) {
        char byte = (i % 37 == 5) ? '\x80' : (i % 53 == 7) ? '\xE8' : static_cast<char>('a' + i % 26);
        ansi += byte;
        utf16 += AnsiCharToUnicode(static_cast<unsigned char>(byte));
    }
    EXPECT_EQ(AnsiToUtf16(ansi), utf16);
    EXPECT_EQ(Utf16ToAnsi(utf16), ansi);
    EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(ansi)), ansi);

    std::u16string withPair = utf16;
    withPair.insert(31, u"\U0001F600");
    withPair.insert(100, u"\u4E2D");
    std::string expected = ansi;
    expected.insert(31, "?");
    expected.insert(99, "?");
    EXPECT_EQ(Utf16ToAnsi(withPair), expected);
}

TEST(Codepage, EmbeddedNulsAndEmptyTextsSurvive)
{
    const std::string withNul("a\0b", 3);
    EXPECT_EQ(Utf16ToAnsi(AnsiToUtf16(withNul)), withNul);
    EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(withNul)), withNul);
    EXPECT_EQ(AnsiToUtf16(""), u"");
    EXPECT_EQ(Utf8ToAnsi(""), "");
}

// The five bytes Windows-1252 leaves undefined decode to U+FFFD in Python and so become '?',
// which is also what they become here (their C1 controls are not in code page 850).
TEST(Codepage, OemConversionAgreesWithPythonCodePage850)
{
    const std::string toOem = PythonRecode("cp1252", "cp850");
    const std::string toAnsi = PythonRecode("cp850", "cp1252");
    ASSERT_EQ(toOem.size(), 256u) << "python3 is needed";
    ASSERT_EQ(toAnsi.size(), 256u);
    const std::string bytes = AllBytes();
    EXPECT_EQ(AnsiToOem(bytes), toOem);
    EXPECT_EQ(OemToAnsi(bytes), toAnsi);
    EXPECT_EQ(AnsiToOem("perch\xE9 citt\xE0 \x80"), "perch\x82 citt\x85 ?");
}

TEST(Codepage, OemConversionWorksInPlaceAndOnZeroTerminatedTexts)
{
    char text[] = "Caff\xE8 \xB0" "C";
    EXPECT_TRUE(CharToOemA(text, text));
    EXPECT_STREQ(text, "Caff\x8A \xF8" "C");
    EXPECT_TRUE(OemToCharA(text, text));
    EXPECT_STREQ(text, "Caff\xE8 \xB0" "C");
    EXPECT_FALSE(CharToOemBuffA(nullptr, text, 1));
    EXPECT_FALSE(OemToCharA(text, nullptr));
}
