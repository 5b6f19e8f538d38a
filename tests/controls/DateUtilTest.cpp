#include "ControlsTestSupport.h"

#include "controls/DateUtil.h"
#include "platform/rtl/Exceptions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

namespace {

// The clock says 14 May 2026 for the life of the fixture.
class DateUtilIn2026 : public testing::Test {
protected:
    void SetUp() override
    {
        SetClock([] { return EncodeDate(2026, 5, 14) + 0.5; });
    }
    void TearDown() override { ResetClock(); }
};

} // namespace

TEST_F(DateUtilIn2026, MonthsAndYearsAgreeWithDateutilRelativedelta)
{
    const std::string expected = RunPython(
        "import sys, datetime\n"
        "from dateutil.relativedelta import relativedelta\n"
        "out = []\n"
        "for year in (2000, 2003, 2004, 2100):\n"
        "    day = datetime.date(year, 1, 1)\n"
        "    while day.year == year:\n"
        "        for n in range(-30, 31):\n"
        "            r = day + relativedelta(months=n)\n"
        "            out.append('%d %d %d %d %d %d %d' % (day.year, day.month, day.day, n, r.year, r.month, r.day))\n"
        "        day += datetime.timedelta(days=1)\n"
        "print('\\n'.join(out))\n",
        "");
    std::istringstream lines(expected);
    int y, m, d, n, ry, rm, rd;
    int cases = 0;
    while (lines >> y >> m >> d >> n >> ry >> rm >> rd) {
        ++cases;
        const TDateTime date = EncodeDate(y, m, d) + 0.25;
        const TDateTime wanted = EncodeDate(ry, rm, rd) + 0.25;
        ASSERT_EQ(IncMonth(date, n), wanted) << y << "-" << m << "-" << d << " + " << n;
        ASSERT_EQ(IncDate(date, 0, n, 0), wanted) << y << "-" << m << "-" << d << " + " << n;
        if (n % 12 == 0) {
            ASSERT_EQ(IncYear(date, n / 12), wanted) << y << "-" << m << "-" << d << " + " << n / 12 << " years";
        }
    }
    EXPECT_EQ(cases, (366 + 365 + 366 + 365) * 61) << "python3 with dateutil is needed";
}

TEST_F(DateUtilIn2026, ParserReadsByPositionThenByScanning)
{
    struct TCase {
        const char* Format;
        const char* Text;
        TDateTime Expected; // -1: not a date
    };
    const TCase cases[] = {
        {"DD/MM/YYYY", "12/12/2005", EncodeDate(2005, 12, 12)},
        {"DD/MM/YYYY", "12/12", EncodeDate(2026, 12, 12)},
        {"DD/MM/YYYY", "", NullDate},
        {"DD/MM/YYYY", "  /  /    ", -1},
        {"DD/MM/YYYY", "//", -1},
        {"DD/MM/YYYY", "31/02/2005", -1},
        {"DD/MM/YYYY", "1/2/05", EncodeDate(2005, 2, 1)},
        {"DD/MM/YYYY", " 3/ 4/2005", EncodeDate(2005, 4, 3)},
        {"DD/MM/YYYY", "29/02/2004", EncodeDate(2004, 2, 29)},
        {"DD/MM/YY", "12/12/05", EncodeDate(2005, 12, 12)},
        {"DD/MM/YY", "12/12", EncodeDate(2026, 12, 12)},
        {"DD/MM/YY", "1/2/05", EncodeDate(2005, 2, 1)},
        {"DD/MM/YY", "12/12/  ", -1},
        {"DD/MMM/YYYY", "12/dic/2005", EncodeDate(2005, 12, 12)},
        {"DD/MMM/YYYY", "12/DIC/2005", EncodeDate(2005, 12, 12)},
        {"DD/MMM/YYYY", "12/xyz/2005", -1},
        {"MM/DD/YYYY", "12/31/2005", EncodeDate(2005, 12, 31)},
        {"YYYY/MM/DD", "2005/12/31", EncodeDate(2005, 12, 31)},
        // Bad input: too long, too many digits, only separators, years and months out of range.
        {"DD/MM/YYYY", "12/12/10000", -1},
        {"DD/MM/YYYY", "12/12/0000", -1},
        {"DD/MM/YYYY", "1/2/0000", -1},
        {"YYYY/MM/DD", "0000/12/12", -1},
        {"YYYY/MM/DD", "0/12/12", EncodeDate(2000, 12, 12)},
        {"DD/MM/YY", "12/12/00", EncodeDate(2000, 12, 12)},
        {"DD/MM/YYYY", "12/13/2005", -1},
        {"DD/MM/YYYY", "12/12/20052005200520052005", -1},
        {"DD/MM/YYYY", "99999999999999999999/1/2005", -1},
        {"DD/MM/YYYY", "//////////", -1},
        {"DD/MM/YYYY", "-1/12/2005", -1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.Format) + " \"" + c.Text + "\"");
        const TDateTime fallback = 1234.75;
        if (c.Expected < 0) {
            EXPECT_EQ(StrToDateFmtDef(c.Format, c.Text, fallback), 1234.0);
            EXPECT_THROW(StrToDateFmt(c.Format, c.Text), EConvertError);
        } else {
            EXPECT_EQ(StrToDateFmtDef(c.Format, c.Text, fallback), c.Expected);
            EXPECT_EQ(StrToDateFmt(c.Format, c.Text), c.Expected);
        }
    }
    // A text of 10,000 characters of every kind is simply no date.
    for (char filler : {'1', '/', ' ', 'x'}) {
        const std::string text(10000, filler);
        EXPECT_EQ(StrToDateFmtDef("DD/MM/YYYY", text, 5.5), 5.0) << filler;
        // Trailing blanks are allowed after a date; anything else is not.
        EXPECT_EQ(DateUtil::StrToDateDef("12/12/2005" + text, 5.5), filler == ' ' ? EncodeDate(2005, 12, 12) : 5.0)
            << filler;
    }
    EXPECT_EQ(DateUtil::StrToDateDef("1/2/05", 0), EncodeDate(2005, 2, 1));
}

TEST_F(DateUtilIn2026, BadDateRaisesTheConversionErrorWithTheText)
{
    try {
        StrToDateFmt("DD/MM/YYYY", "31/02/2005");
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message, "'31/02/2005' is not a valid date");
    }
}

TEST_F(DateUtilIn2026, CalendarHelpersFollowTheClock)
{
    EXPECT_EQ(FirstDayOfNextMonth(), EncodeDate(2026, 6, 1));
    EXPECT_EQ(FirstDayOfPrevMonth(), EncodeDate(2026, 4, 1));
    EXPECT_EQ(LastDayOfPrevMonth(), EncodeDate(2026, 4, 30));
    SetClock([] { return EncodeDate(2026, 1, 10); });
    EXPECT_EQ(FirstDayOfPrevMonth(), EncodeDate(2025, 12, 1));
    EXPECT_EQ(LastDayOfPrevMonth(), EncodeDate(2025, 12, 31));
    SetClock([] { return EncodeDate(2026, 12, 10); });
    EXPECT_EQ(FirstDayOfNextMonth(), EncodeDate(2027, 1, 1));
    EXPECT_FALSE(ValidDate(NAN));
    EXPECT_FALSE(ValidDate(1e12));
    EXPECT_FALSE(ValidDate(-700000));
    EXPECT_TRUE(ValidDate(EncodeDate(9999, 12, 31)));
    EXPECT_EQ(DaysInPeriod(NAN, 5), 0);
    EXPECT_THROW(DaysPerMonth(2026, 13), ERangeError);
    EXPECT_EQ(ExtractDay(EncodeDate(2026, 5, 14)) + ExtractMonth(EncodeDate(2026, 5, 14)) * 100, 514);
    EXPECT_EQ(ExtractYear(EncodeDate(2026, 5, 14)), 2026);
}
