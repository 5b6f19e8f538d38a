// The worked examples of the string, date, window and converter utilities in one table.

#include "controls/DataConv.h"
#include "controls/DateUtil.h"
#include "controls/StrUtils.h"
#include "controls/VCLUtils.h"
#include "platform/rtl/FormatSettings.h"
#include "platform/rtl/TextUtils.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct THandVector {
    std::string Label;
    std::string Actual;
    std::string Expected;
};

std::string Num(double value) { return std::to_string(value); }
std::string Num(long long value) { return std::to_string(value); }
std::string Flag(bool value) { return value ? "true" : "false"; }
std::string Ymd(TDateTime date)
{
    int y = 0, m = 0, d = 0;
    DecodeDate(date, y, m, d);
    return std::to_string(y) + "-" + std::to_string(m) + "-" + std::to_string(d);
}
std::string Hms(TDateTime date)
{
    int h = 0, n = 0, s = 0, ms = 0;
    DecodeTime(date, h, n, s, ms);
    return std::to_string(h) + ":" + std::to_string(n);
}

std::string DiffText(TDateTime a, TDateTime b)
{
    unsigned short days = 0, months = 0, years = 0;
    DateDiff(a, b, days, months, years);
    return std::to_string(years) + "y " + std::to_string(months) + "m " + std::to_string(days) + "d";
}

std::string KeyValue()
{
    std::string text = "key=value";
    const std::string key = Copy2SymbDel(text, '=');
    return key + "|" + text;
}

std::string SplitVector(const std::string& line)
{
    std::string program;
    std::string params = "not cleared";
    SplitCommandLine(line, program, params);
    return program + "|" + params;
}

// The two-digit year window and the format and mask for each short date order.
std::string WithShortDate(const std::string& shortFormat, bool fourDigits, bool mask)
{
    TFormatSettingsSaver saver;
    FormatSettings().ShortDateFormat = shortFormat;
    return mask ? DefDateMask(' ', fourDigits) : DefDateFormat(fourDigits);
}

} // namespace

TEST(HandVectors, StringDateWindowAndConverterExamples)
{
    SetClock([] { return EncodeDate(2026, 5, 14) + 0.5; });
    const TCharSet spaceComma{' ', ','};
    const TCharSet comma{','};
    const TDateTime jan31 = EncodeDate(2005, 1, 31);

    TConverter integer(nullptr);
    integer.SetDataType(dtInteger);
    integer.SetAsString("12,5");
    TConverter real(nullptr);
    real.SetDataType(dtFloat);
    real.SetAsString("1,5");
    int realChanges = 0;
    real.OnChange = [&](TObject*) { ++realChanges; };
    real.SetAsString("abc");
    TConverter switched(nullptr);
    switched.SetAsString("abc");
    switched.SetDataType(dtDate);
    TConverter boolean(nullptr);
    boolean.SetDataType(dtBoolean);
    boolean.SetDisplayTrue("Vero");
    const auto booleanOf = [&](const std::string& text) {
        boolean.SetAsString(text);
        return Flag(boolean.GetAsBoolean());
    };
    TConverter dashed(nullptr);
    dashed.SetAsString("12-12-2005");

    const std::vector<THandVector> vectors = {
        // Strings.
        {"ReplaceStr", ReplaceStr("aaa", "aa", "b"), "ba"},
        {"ReplaceStr empty search", ReplaceStr("abc", "", "x"), "abc"},
        {"NPos overlapping", Num(static_cast<long long>(NPos("aa", "aaaa", 3))), "3"},
        {"NPos too few", Num(static_cast<long long>(NPos("aa", "aaaa", 4))), "0"},
        {"ExtractWord", ExtractWord(2, "12, 34,56", spaceComma), "34"},
        {"WordCount", Num(static_cast<long long>(WordCount("12, 34,56", spaceComma))), "3"},
        {"ExtractDelimited", ExtractDelimited(3, "a,,b", comma), "b"},
        {"ExtractDelimited empty field", ExtractDelimited(2, "a,,b", comma), ""},
        {"Copy2SymbDel", KeyValue(), "key|=value"},
        {"IntToRoman", IntToRoman(1994), "MCMXCIV"},
        {"RomanToInt", Num(static_cast<long long>(RomanToInt("MCMXCIV"))), "1994"},
        {"RomanToInt bad letter", Num(static_cast<long long>(RomanToInt("MCMZ"))), "0"},
        {"RomanToInt negative", Num(static_cast<long long>(RomanToInt("-xiv"))), "-14"},
        {"Dec2Numb", Dec2Numb(255, 4, 16), "00FF"},
        {"Numb2Dec", Num(static_cast<long long>(Numb2Dec("ff", 16))), "255"},
        {"IntToBin", IntToBin(5, 8, 4), " 0000 0101"},
        {"XorEncode without key", XorEncode("", "abc"), "616263"},
        {"XorDecode odd and bad pair", XorDecode("", "6162zz6"), "ab "},
        {"IsWild ab*b*b", Flag(IsWild("abxb", "ab*b*b", false)), "false"},
        {"IsWild *.t?t", Flag(IsWild("report.txt", "*.t?t", false)), "true"},
        {"IsWild Form1.*", Flag(IsWild("Form1.Grid", "Form1.*", false)), "true"},
        {"IsWild case", Flag(IsWild("form1.grid", "Form1.*", false)), "false"},
        {"IsWild ignoring case", Flag(IsWild("form1.grid", "Form1.*", true)), "true"},
        {"IsWild consumed tail", Flag(IsWild("axb", "a?*xb", false)), "false"},
        {"IsWild stars left", Flag(IsWild("a", "a*b*", false)), "false"},
        {"FindPart", Num(static_cast<long long>(FindPart("b?d", "abcde"))), "2"},
        {"Numb2USA", Numb2USA("1234567"), "1,234,567"},
        {"CenterStr", CenterStr("ab", 7), "  ab   "},
        {"DelSpace1", DelSpace1("a   b  c"), "a b c"},
        {"DelRSpace", DelRSpace("  a b  "), "a b"},
        {"AnsiProperCase", AnsiProperCase("CITT\xC0 di ROMA", TCharSet{' '}), "Citt\xE0 Di Roma"},
        {"CompText", Num(static_cast<long long>(CompText("abc", "ABD"))), "-1"},
        {"Hex2Dec", Num(static_cast<long long>(Hex2Dec("1F"))), "31"},
        // Dates.
        {"IsLeapYear", Flag(IsLeapYear(2000)) + Flag(IsLeapYear(1900)) + Flag(IsLeapYear(2004)) +
                           Flag(IsLeapYear(2100)), "truefalsetruefalse"},
        {"DaysPerMonth", Num(static_cast<long long>(DaysPerMonth(2004, 2))), "29"},
        {"IncDate +1 month", Ymd(IncDate(jan31, 0, 1, 0)), "2005-2-28"},
        {"IncDate -1 month", Ymd(IncDate(EncodeDate(2005, 3, 31), 0, -1, 0)), "2005-2-28"},
        {"IncDate -14 months", Ymd(IncDate(EncodeDate(2005, 3, 15), 0, -14, 0)), "2004-1-15"},
        {"IncDate keeps time", Hms(IncDate(jan31 + 0.75, 3, 1, 1)), "18:0"},
        {"IncTime -1 hour", Ymd(IncTime(0.0, -1, 0, 0, 0)) + " " + Hms(IncTime(0.0, -1, 0, 0, 0)),
         "1899-12-30 23:0"},
        {"DateDiff", DiffText(jan31, EncodeDate(2005, 3, 1)), "0y 1m 1d"},
        {"DateDiff reversed", DiffText(EncodeDate(2005, 3, 1), jan31), "0y 1m 1d"},
        {"DaysBetween same", Num(static_cast<long long>(DaysBetween(jan31, jan31))), "1"},
        {"DaysBetween earlier", Num(static_cast<long long>(DaysBetween(jan31, jan31 - 1))), "0"},
        {"DaysInPeriod", Num(static_cast<long long>(DaysInPeriod(jan31, jan31 - 9))), "10"},
        {"MonthsBetween", Num(MonthsBetween(jan31, EncodeDate(2005, 4, 10))), Num(2.5)},
        {"Window 05", Ymd(StrToDateFmt("DD/MM/YY", "01/01/05")), "2005-1-1"},
        {"Window 70", Ymd(StrToDateFmt("DD/MM/YY", "01/01/70")), "1970-1-1"},
        {"Window 66", Ymd(StrToDateFmt("DD/MM/YY", "01/01/66")), "1966-1-1"},
        {"Window 65", Ymd(StrToDateFmt("DD/MM/YY", "01/01/65")), "2065-1-1"},
        {"Format MDY 4", WithShortDate("M/d/yyyy", true, false), "MM/DD/YYYY"},
        {"Format DMY 4", WithShortDate("dd/MM/yyyy", true, false), "DD/MM/YYYY"},
        {"Format YMD 4", WithShortDate("yyyy-MM-dd", true, false), "YYYY/MM/DD"},
        {"Format MDY 2", WithShortDate("M/d/yy", false, false), "MM/DD/YY"},
        {"Format DMY 2", WithShortDate("dd/MM/yy", false, false), "DD/MM/YY"},
        {"Format YMD 2", WithShortDate("yy/MM/dd", false, false), "YY/MM/DD"},
        {"Mask MDY 4", WithShortDate("M/d/yyyy", true, true), "!99/99/9999;1; "},
        {"Mask DMY 4", WithShortDate("dd/MM/yyyy", true, true), "!99/99/9999;1; "},
        {"Mask YMD 4", WithShortDate("yyyy-MM-dd", true, true), "!9999/99/99;1; "},
        {"Mask MDY 2", WithShortDate("M/d/yy", false, true), "!99/99/99;1; "},
        {"Mask DMY 2", WithShortDate("dd/MM/yy", false, true), "!99/99/99;1; "},
        {"Mask YMD 2", WithShortDate("yy/MM/dd", false, true), "!99/99/99;1; "},
        {"FourDigitYear", Flag(FourDigitYear()), "true"},
        {"FormatLongDate", FormatLongDate(EncodeDate(2005, 12, 12)), "luned\xEC 12 dicembre 2005"},
        {"FormatLongDateTime null", FormatLongDateTime(NullDate), ""},
        // Window and system helpers.
        {"SplitCommandLine", SplitVector("prog.exe \"a b\" c"), "prog.exe|\"a b\" c"},
        {"SplitCommandLine empty", SplitVector(""), "|"},
        {"SplitCommandLine quotes", SplitVector("  \"\" \"C:\\Program Files\\x.exe\" -a\t\"\" b"),
         "C:\\Program Files\\x.exe|-a b"},
        {"DropT T", DropT("T"), "T"},
        {"DropT TForm", DropT("TForm"), "Form"},
        {"AnsiUpperFirstChar", AnsiUpperFirstChar("\xC8 ORA"), "\xC8 ora"},
        {"ResStr", ResStr("Line too long"), "Line too long"},
        // The converter.
        {"Converter integer", integer.Text() + "|" + Num(static_cast<long long>(integer.GetAsInteger())),
         "12,5|12"},
        {"Converter refuses letters", real.Text() + "|" + Num(static_cast<long long>(realChanges)), "1,5|0"},
        {"Converter switch empties", switched.Text() + "|" + Flag(switched.DataType() == dtDate), "|true"},
        {"Converter y", booleanOf("yes"), "true"},
        {"Converter DisplayTrue", booleanOf("Vero"), "true"},
        {"Converter other case", booleanOf("vERO"), "false"},
        {"Converter dashes", Num(dashed.GetAsDate()), Num(NullDate)},
    };
    for (const THandVector& vector : vectors)
        EXPECT_EQ(vector.Actual, vector.Expected) << vector.Label;
    ResetClock();
}
