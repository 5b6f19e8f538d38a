#include "platform/rtl/Formats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

struct TFloatCase {
    const char* Format;
    double Value;
    const char* Expected;
};

TEST(FormatFloat, ItalianSettingsTable)
{
    const TFloatCase cases[] = {
        {",0.00", 1234567.891, "1.234.567,89"},
        {"#,##0.00;(#,##0.00);Zero", -1234.5, "(1.234,50)"},
        {"#,##0.00;(#,##0.00);Zero", 0, "Zero"},
        {"#,##0.00;(#,##0.00);Zero", 1234.5, "1.234,50"},
        {"0.00", 2.675, "2,68"},
        {"0.00", 1.005, "1,01"},
        {"0.00", -2.675, "-2,68"},
        {"0.###E+00", 12345, "1,235E+04"},
        // The class library's own table of examples.
        {"0", 1234, "1234"},
        {"0", -1234, "-1234"},
        {"0", 0.5, "1"},
        {"0", 0, "0"},
        {"0.00", 1234, "1234,00"},
        {"0.00", 0.5, "0,50"},
        {"#.##", 1234, "1234"},
        {"#.##", -1234, "-1234"},
        {"#.##", 0.5, ",5"},
        {"#.##", 0, ""},
        {"#,##0.00", 1234, "1.234,00"},
        {"#,##0.00", -1234, "-1.234,00"},
        {"#,##0.00", 0, "0,00"},
        {"#,##0.00;;Zero", -1234, "-1.234,00"},
        {"#,##0.00;;Zero", 0, "Zero"},
        {"0.000E+00", 1234, "1,234E+03"},
        {"0.000E+00", -1234, "-1,234E+03"},
        {"0.000E+00", 0.5, "5,000E-01"},
        {"0.000E+00", 0, "0,000E+00"},
        {"#.###E-0", 1234, "1,234E3"},
        {"#.###E-0", 0.5, "5E-1"},
        {"#.###E-0", 0, "0E0"},
        // Grouping, literals, sections and what the report formats use.
        {"#,##0", 1234567890, "1.234.567.890"},
        {"#,##0", 999, "999"},
        {"#,##0.00", 999999.999, "1.000.000,00"},
        {"0.00,", 1234.5, "1234,50"},
        {"000", 7, "007"},
        {"00-00", 1234, "12-34"},
        {"00-00", 123456, "1234-56"},
        {"'Totale: '#,##0.00 \"EUR\"", 1234.5, "Totale: 1.234,50 EUR"},
        {"0.00;'meno '0.00", -3.5, "meno 3,50"},
        {"###.##", 1234.567, "1234,57"},
        {"###.##", 0.004, ""},
        {"#,###.##", 1234.5, "1.234,5"},
        {"0.00", -0.001, "0,00"},
        {".00", 12.5, "12,50"},
        {"0.0#", 1.5, "1,5"},
        {"0.0#", 1.567, "1,57"},
        {"", 1.5, "1,5"},
        {"0.00", 123456789012.345, "123456789012,35"},
        {"0.00E+00", 1e-7, "1,00E-07"},
    };
    for (const TFloatCase& c : cases)
        EXPECT_EQ(FormatFloat(c.Format, c.Value), c.Expected)
            << "FormatFloat(\"" << c.Format << "\", " << c.Value << ")";
}

TEST(FormatFloat, NotFiniteValues)
{
    EXPECT_EQ(FormatFloat("0.00", std::numeric_limits<double>::quiet_NaN()), "NAN");
    EXPECT_EQ(FormatFloat("0.00", -std::numeric_limits<double>::infinity()), "-INF");
}

TEST(FormatFloat, ExplicitSettingsLeaveTheProcessDefaultAlone)
{
    TFormatSettings neutral;
    neutral.DecimalSeparator = '.';
    neutral.ThousandSeparator = ',';
    EXPECT_EQ(FormatFloat("#,##0.00", 1234.5, neutral), "1,234.50");
    EXPECT_EQ(FloatToStr(0.25, neutral), "0.25");
    EXPECT_EQ(FormatFloat("#,##0.00", 1234.5), "1.234,50");
}

TEST(FormatSettings, SaverRestoresTheProcessDefault)
{
    {
        TFormatSettingsSaver saver;
        FormatSettings().DecimalSeparator = '.';
        FormatSettings().ShortDateFormat = "yyyy-mm-dd";
        EXPECT_EQ(FloatToStr(1.5), "1.5");
    }
    EXPECT_EQ(FormatSettings().DecimalSeparator, ',');
    EXPECT_EQ(FormatSettings().ShortDateFormat, "dd/mm/yyyy");
    EXPECT_EQ(FloatToStr(1.5), "1,5");
}

struct TFloatFCase {
    double Value;
    TFloatFormat Format;
    int Precision;
    int Digits;
    const char* Expected;
};

TEST(FloatToStrF, Table)
{
    const TFloatFCase cases[] = {
        {1234.5, ffNumber, 15, 2, "1.234,50"},
        {-1234.5, ffCurrency, 15, 2, "-\x80 1.234,50"},
        {1234.5, ffCurrency, 15, 2, "\x80 1.234,50"},
        {1234567.125, ffNumber, 15, 0, "1.234.567"},
        {0.5, ffNumber, 15, 0, "1"},
        {-0.5, ffFixed, 15, 0, "-1"},
        {-0.004, ffFixed, 15, 2, "0,00"},
        {2.675, ffFixed, 15, 2, "2,68"},
        {2.675, ffFixed, 17, 2, "2,67"}, // 17 digits show the stored 2.67499999999999982
        {1234.5, ffFixed, 2, 2, "1,2E3"},
        {0.1, ffGeneral, 17, 0, "0,10000000000000001"},
        {1234.5678, ffGeneral, 6, 0, "1234,57"},
        {1234.5, ffExponent, 4, 2, "1,235E+03"},
        {0.000123, ffExponent, 3, 0, "1,23E-4"},
        {0, ffExponent, 3, 2, "0,00E+00"},
        {12, ffFixed, 15, 3, "12,000"},
    };
    for (const TFloatFCase& c : cases)
        EXPECT_EQ(FloatToStrF(c.Value, c.Format, c.Precision, c.Digits), c.Expected)
            << c.Value << " format " << c.Format << " precision " << c.Precision;
}

TEST(FloatToStrF, EveryNegativeCurrencyPattern)
{
    const char* expected[] = {"(\x80" "1,50)", "-\x80" "1,50", "\x80-1,50", "\x80" "1,50-",
                              "(1,50\x80)", "-1,50\x80", "1,50-\x80", "1,50\x80-",
                              "-1,50 \x80", "-\x80 1,50", "1,50 \x80-", "\x80 1,50-",
                              "\x80 -1,50", "1,50- \x80", "(\x80 1,50)", "(1,50 \x80)"};
    TFormatSettings settings;
    for (int format = 0; format < 16; ++format) {
        settings.NegCurrFormat = format;
        EXPECT_EQ(FloatToStrF(-1.5, ffCurrency, 15, 2, settings), expected[format]) << format;
    }
    const char* positive[] = {"\x80" "1,50", "1,50\x80", "\x80 1,50", "1,50 \x80"};
    for (int format = 0; format < 4; ++format) {
        settings.CurrencyFormat = format;
        EXPECT_EQ(FloatToStrF(1.5, ffCurrency, 15, 2, settings), positive[format]) << format;
    }
}

TEST(FloatToStr, FifteenSignificantDigits)
{
    const std::pair<double, const char*> cases[] = {
        {0.1, "0,1"},
        {0, "0"},
        {-0.0, "0"},
        {1.5, "1,5"},
        {-1234.25, "-1234,25"},
        {0.1 + 0.2, "0,3"},
        {1.0 / 3.0, "0,333333333333333"},
        {2.0 / 3.0, "0,666666666666667"},
        {123456789012345.0, "123456789012345"},
        {1234567890123456.0, "1,23456789012346E15"},
        {1e20, "1E20"},
        {0.0001, "0,0001"},
        {0.00001, "1E-5"},
        {-1.5e-10, "-1,5E-10"},
        {100, "100"},
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(FloatToStr(value), expected) << value;
    EXPECT_EQ(FloatToStr(std::numeric_limits<double>::infinity()), "INF");
    EXPECT_EQ(FloatToStr(std::numeric_limits<double>::quiet_NaN()), "NAN");
}

TEST(CurrToStr, FourDecimalsAtMost)
{
    EXPECT_EQ(CurrToStr(1234.5), "1234,5");
    EXPECT_EQ(CurrToStr(0.12344), "0,1234");
    EXPECT_EQ(CurrToStr(1.23456), "1,2346");
    EXPECT_EQ(CurrToStr(0.03125), "0,0312"); // an exact half goes to even
    EXPECT_EQ(CurrToStr(-7), "-7");
    EXPECT_EQ(CurrToStr(0.0001), "0,0001");
    EXPECT_EQ(CurrToStrF(-1234.5, ffCurrency, 2), "-\x80 1.234,50");
}

TEST(StrToFloat, AcceptedTexts)
{
    const std::pair<const char*, double> cases[] = {
        {"1,5", 1.5},       {"  -1,5  ", -1.5}, {"+2", 2},        {",5", 0.5},
        {"5,", 5},          {"1E3", 1000},      {"1,5e-2", 0.015}, {"00012", 12},
        {"1e-400", 0},      {"0,1", 0.1},
    };
    for (const auto& [text, expected] : cases) {
        double value = -99;
        EXPECT_TRUE(TryStrToFloat(text, value)) << text;
        EXPECT_EQ(value, expected) << text;
        EXPECT_EQ(StrToFloat(text), expected) << text;
    }
}

TEST(StrToFloat, RejectedTextsRaiseWithTheText)
{
    const char* rejected[] = {"1.5", "", " ", "-", ",", "1,5,3", "1.000,5", "1E", "1e+",
                              "12a", "\t1", "1E400", "1 5", "0x10", "INF"};
    for (const char* text : rejected) {
        double value = 42;
        EXPECT_FALSE(TryStrToFloat(text, value)) << text;
        EXPECT_EQ(value, 42) << "left unchanged for " << text;
        EXPECT_EQ(StrToFloatDef(text, -1), -1) << text;
        try {
            StrToFloat(text);
            ADD_FAILURE() << "no exception for " << text;
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message, std::string("'") + text + "' is not a valid floating point value");
        }
    }
}

TEST(StrToFloat, FollowsTheSettingsSeparator)
{
    TFormatSettings neutral;
    neutral.DecimalSeparator = '.';
    EXPECT_EQ(StrToFloat("1.5", neutral), 1.5);
    EXPECT_THROW(StrToFloat("1,5", neutral), EConvertError);
}

TEST(StrToCurr, RoundsToFourDecimals)
{
    EXPECT_DOUBLE_EQ(StrToCurr("1,23456"), 1.2346);
    EXPECT_EQ(StrToCurrDef("x", 3), 3);
    EXPECT_THROW(StrToCurr("1e30"), EConvertError);
}

TEST(Rounding, RoundHalvesToEvenTruncCutsTowardZero)
{
    const std::pair<double, std::int64_t> rounds[] = {
        {0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2}, {-2.5, -2},
        {2.4999, 2}, {2.5001, 3}, {1e15 + 0.5, 1000000000000000}};
    for (const auto& [value, expected] : rounds)
        EXPECT_EQ(Round(value), expected) << value;
    EXPECT_EQ(Trunc(2.9), 2);
    EXPECT_EQ(Trunc(-2.9), -2);
    EXPECT_EQ(Int(-2.75), -2.0);
    EXPECT_EQ(Frac(-2.75), -0.75);
    EXPECT_EQ(Frac(3.25), 0.25);
    EXPECT_THROW(Round(1e19), EInvalidOp);
    EXPECT_THROW(Trunc(std::nan("")), EInvalidOp);
}

TEST(Format, Directives)
{
    const std::string s = "testo";
    const struct {
        std::string Got;
        const char* Expected;
    } cases[] = {
        {Format("%5.2f|%-4d|%s", {3.14159, 42, "x"}), " 3,14|42  |x"},
        {Format("%d %d", {-7, 1234567890123LL}), "-7 1234567890123"},
        {Format("%.3d|%5.3d", {-5, 7}), "-005|  007"},
        {Format("%u", {-1}), "4294967295"},
        {Format("%x|%.4X|%x", {255, 10, -1}), "FF|000A|FFFFFFFF"},
        {Format("%e", {1234.5}), "1,23450000000000E+003"},
        {Format("%.3e", {-0.000123}), "-1,23E-004"},
        {Format("%f|%.0f|%.3f", {2.675, 2.5, -1.0}), "2,68|3|-1,000"},
        {Format("%g|%g", {0.1, 1234.5}), "0,1|1234,5"},
        {Format("%n", {1234567.891}), "1.234.567,89"},
        {Format("%m|%.0m", {-1234.5, 3.0}), "-\x80 1.234,50|\x80 3"},
        {Format("%s|%.2s|%-6s|%6s", {s, s, "ab", 'c'}), "testo|te|ab    |     c"},
        {Format("%1:s %0:s %s", {"a", "b"}), "b a b"},
        {Format("%*d|%-*d|%.*f", {4, 1, 3, 2, 1, 0.25}), "   1|2  |0,3"},
        {Format("100%% %s", {std::string("pieno")}), "100% pieno"},
        {Format("%D %S", {1, "x"}), "1 x"},
        {Format("nessun argomento", {}), "nessun argomento"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.Got, c.Expected);
    int x = 0;
    EXPECT_EQ(Format("%p", {static_cast<const void*>(&x)}).size(), 2 * sizeof(void*));
    const std::vector<TVarRec> args = {1, "due"};
    EXPECT_EQ(Format("%d-%s", args), "1-due");
}

TEST(Format, MismatchRaisesWithTheFormat)
{
    const struct {
        const char* Fmt;
        std::vector<TVarRec> Args;
    } cases[] = {
        {"%d", {1.5}},    {"%f", {1}},   {"%s", {1}},     {"%d", {"1"}}, {"%d", {}},
        {"%d %d", {1}},   {"%k", {1}},   {"abc%", {1}},   {"%x", {true}}, {"%*d", {1.5, 2}},
        {"%5:d", {1}},    {"%p", {1}},   {"%e", {"x"}},
    };
    for (const auto& c : cases) {
        try {
            Format(c.Fmt, c.Args);
            ADD_FAILURE() << "no exception for " << c.Fmt;
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message, std::string("Format '") + c.Fmt +
                                     "' invalid or incompatible with argument");
        }
    }
}

} // namespace
