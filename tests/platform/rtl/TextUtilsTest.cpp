#include "platform/rtl/TextUtils.h"

#include "platform/rtl/Codepage.h"
#include "platform/rtl/Exceptions.h"

#include <gtest/gtest.h>

#include <unicode/uchar.h>

#include <climits>

TEST(TextUtils, AsciiCaseLeavesOtherBytesAlone)
{
    EXPECT_EQ(UpperCase("perch\xE9 abc"), "PERCH\xE9 ABC");
    EXPECT_EQ(LowerCase("PERCH\xC9 ABC"), "perch\xC9 abc");
    EXPECT_LT(CompareStr("ABC", "abc"), 0);
    EXPECT_GT(CompareStr("ab\xE9", "abz"), 0); // bytes compare unsigned
    EXPECT_LT(CompareStr("ab", "abc"), 0);
    EXPECT_EQ(CompareText("Rossi", "ROSSI"), 0);
    EXPECT_NE(CompareText("\xE9", "\xC9"), 0);
    EXPECT_TRUE(SameText("Fattura", "FATTURA"));
    EXPECT_FALSE(SameText("Fattura", "FATTURE"));
}

TEST(TextUtils, AnsiCaseCoversTheWholeCodePage)
{
    EXPECT_EQ(AnsiUpperCase("perch\xE9 \xE0\xE8\xEC\xF2\xF9 \x80"), "PERCH\xC9 \xC0\xC8\xCC\xD2\xD9 \x80");
    EXPECT_EQ(AnsiLowerCase("PERCH\xC9 \xC0\xC8\xCC\xD2\xD9 \x80"), "perch\xE9 \xE0\xE8\xEC\xF2\xF9 \x80");
    EXPECT_EQ(AnsiUpperCase("\x9A\x9C\x9E\xFF\xDF\xB5\xF7"), "\x8A\x8C\x8E\x9F\xDF\xB5\xF7");
    EXPECT_EQ(AnsiLowerCase("\x8A\x8C\x8E\x9F\xD7"), "\x9A\x9C\x9E\xFF\xD7");
}

// Every byte against ICU's simple case mapping, where the result has a byte of its own.
TEST(TextUtils, AnsiCaseAgreesWithUnicodeForEveryByte)
{
    for (int b = 0; b < 256; ++b) {
        char byte = static_cast<char>(b);
        char32_t unicode = AnsiCharToUnicode(static_cast<unsigned char>(b));
        char upper = UnicodeToAnsiChar(u_toupper(unicode));
        char lower = UnicodeToAnsiChar(u_tolower(unicode));
        EXPECT_EQ(AnsiUpperChar(byte), upper == '?' ? byte : upper) << "byte " << b;
        EXPECT_EQ(AnsiLowerChar(byte), lower == '?' ? byte : lower) << "byte " << b;
    }
}

TEST(TextUtils, AnsiCompareUsesTheItalianCollation)
{
    EXPECT_LT(AnsiCompareStr("perche", "perch\xE9"), 0);
    EXPECT_LT(AnsiCompareStr("ancora", "ANCORA"), 0);
    EXPECT_EQ(AnsiCompareText("PERCH\xC9", "perch\xE9"), 0);
    EXPECT_LT(AnsiCompareText("\xE9tude", "Zeta"), 0); // a byte order would put it last
    EXPECT_TRUE(AnsiSameText("\xC0NCORA", "\xE0ncora"));
    EXPECT_FALSE(AnsiSameText("\xC0ncora", "ancora"));
    EXPECT_TRUE(AnsiSameStr("abc", "abc"));
    EXPECT_FALSE(AnsiSameStr("abc", "ABC"));
    EXPECT_EQ(AnsiPos("\xE8", "caff\xE8"), 5);
}

TEST(TextUtils, OneBasedPositionsClipLikeTheClassLibrary)
{
    EXPECT_EQ(Pos("b", "abcb"), 2);
    EXPECT_EQ(Pos("b", "abcb", 3), 4);
    EXPECT_EQ(Pos("x", "abc"), 0);
    EXPECT_EQ(Pos("", "abc"), 0);
    EXPECT_EQ(Pos("a", "abc", 0), 0);
    EXPECT_EQ(Pos("c", "abc", 4), 0);

    struct CopyCase {
        int index;
        int count;
        const char* expected;
    };
    for (const CopyCase& c : std::initializer_list<CopyCase>{
             {2, 3, "bcd"}, {1, 100, "abcdef"}, {0, 2, "ab"}, {-5, 2, "ab"},
             {6, 5, "f"}, {7, 1, ""}, {3, -1, ""}, {3, INT_MAX, "cdef"}})
        EXPECT_EQ(Copy("abcdef", c.index, c.count), c.expected) << c.index << "," << c.count;
    EXPECT_EQ(Copy("abcdef", 4), "def");

    struct DeleteCase {
        int index;
        int count;
        const char* expected;
    };
    for (const DeleteCase& c : std::initializer_list<DeleteCase>{
             {2, 2, "adef"}, {5, 100, "abcd"}, {0, 2, "abcdef"}, {7, 1, "abcdef"}, {1, 0, "abcdef"}}) {
        std::string s = "abcdef";
        Delete(s, c.index, c.count);
        EXPECT_EQ(s, c.expected) << c.index << "," << c.count;
    }

    struct InsertCase {
        int index;
        const char* expected;
    };
    for (const InsertCase& c : std::initializer_list<InsertCase>{
             {1, "XYabc"}, {3, "abXYc"}, {4, "abcXY"}, {99, "abcXY"}, {-3, "XYabc"}}) {
        std::string s = "abc";
        Insert("XY", s, c.index);
        EXPECT_EQ(s, c.expected) << c.index;
    }
}

TEST(TextUtils, TrimRemovesBlanksAndControlsOnly)
{
    EXPECT_EQ(Trim(" \t\r\n a b \x01"), "a b");
    EXPECT_EQ(TrimLeft("  a  "), "a  ");
    EXPECT_EQ(TrimRight("  a  "), "  a");
    EXPECT_EQ(Trim("\xA0" "a\xA0"), "\xA0" "a\xA0"); // the no-break space is not a blank here
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(Trim(std::string("\0a\0", 3)), "a");
}

TEST(TextUtils, StringReplace)
{
    struct Case {
        const char* text;
        const char* oldPattern;
        const char* newPattern;
        TReplaceFlags flags;
        const char* expected;
    };
    const Case cases[] = {
        {"a-b-c", "-", "/", {}, "a/b-c"},
        {"a-b-c", "-", "/", rfReplaceAll, "a/b/c"},
        {"aaa", "aa", "b", rfReplaceAll, "ba"},                // no overlap
        {"xx", "x", "xx", rfReplaceAll, "xxxx"},               // replacement not rescanned
        {"Perch\xC9 perch\xE9", "perch\xE9", "ok", {rfReplaceAll, rfIgnoreCase}, "ok ok"},
        {"Perch\xC9 perch\xE9", "perch\xE9", "ok", rfReplaceAll, "Perch\xC9 ok"},
        {"abc", "", "x", rfReplaceAll, "abc"},
        {"abc", "abc", "", rfReplaceAll, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StringReplace(c.text, c.oldPattern, c.newPattern, c.flags), c.expected)
            << c.text << " / " << c.oldPattern;
}

TEST(TextUtils, Quoting)
{
    EXPECT_EQ(StringOfChar('-', 3), "---");
    EXPECT_EQ(StringOfChar('-', -1), "");
    EXPECT_EQ(QuotedStr("l'uomo"), "'l''uomo'");
    EXPECT_EQ(AnsiQuotedStr("a\"b", '"'), "\"a\"\"b\"");

    std::string_view text = "'l''uomo' resto";
    EXPECT_EQ(AnsiExtractQuotedStr(text, '\''), "l'uomo");
    EXPECT_EQ(text, " resto");
    EXPECT_EQ(AnsiExtractQuotedStr(text, '\''), ""); // not quoted: left alone
    EXPECT_EQ(text, " resto");

    text = "'aperto";
    EXPECT_EQ(AnsiExtractQuotedStr(text, '\''), "aperto");
    EXPECT_TRUE(text.empty());

    const char* pointer = "\"x\"\"y\",z";
    EXPECT_EQ(AnsiExtractQuotedStr(pointer, '"'), "x\"y");
    EXPECT_STREQ(pointer, ",z");
}

TEST(TextUtils, IntegerTexts)
{
    EXPECT_EQ(IntToStr(-42), "-42");
    EXPECT_EQ(IntToStr(INT64_MIN), "-9223372036854775808");
    EXPECT_EQ(IntToHex(255, 4), "00FF");
    EXPECT_EQ(IntToHex(-1, 2), "FFFFFFFF");
    EXPECT_EQ(IntToHex(std::int64_t{-1}, 2), "FFFFFFFFFFFFFFFF");
    EXPECT_EQ(IntToHex(0, 0), "0");

    struct Case {
        const char* text;
        bool valid;
        int value;
    };
    const Case cases[] = {
        {"42", true, 42}, {"  -42", true, -42}, {"+7", true, 7}, {"$FF", true, 255},
        {"0x1f", true, 31}, {"-$10", true, -16}, {"$FFFFFFFF", true, -1},
        {"2147483647", true, INT_MAX}, {"-2147483648", true, INT_MIN},
        {"2147483648", false, 0}, {"$100000000", false, 0}, {"", false, 0}, {" ", false, 0},
        {"-", false, 0}, {"$", false, 0}, {"12 ", false, 0}, {"1.5", false, 0}, {"1e3", false, 0},
        {"\t1", false, 0},
    };
    for (const Case& c : cases) {
        int value = 12345;
        EXPECT_EQ(TryStrToInt(c.text, value), c.valid) << c.text;
        if (c.valid) {
            EXPECT_EQ(value, c.value) << c.text;
            EXPECT_EQ(StrToInt(c.text), c.value) << c.text;
        }
        EXPECT_EQ(StrToIntDef(c.text, -9), c.valid ? c.value : -9) << c.text;
    }

    try {
        StrToInt("12a");
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message, "'12a' is not a valid integer value");
    }

    EXPECT_EQ(StrToInt64("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(StrToInt64("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(StrToInt64("$FFFFFFFFFFFFFFFF"), -1);
    EXPECT_EQ(StrToInt64("4294967296"), 4294967296LL);
    EXPECT_EQ(StrToInt64Def("9223372036854775808", 5), 5);
    EXPECT_THROW(StrToInt64("x"), EConvertError);
}

TEST(TextUtils, HexDigitValueOfEveryByte)
{
    const std::string digits = "0123456789abcdef";
    for (int c = 0; c < 256; ++c) {
        const char ch = static_cast<char>(c);
        const auto lower = digits.find(static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c));
        const int expected = c == 0 || lower == std::string::npos ? -1 : static_cast<int>(lower);
        EXPECT_EQ(HexDigitValue(ch), expected) << c;
    }
}
