#include "platform/rtl/DateTime.h"

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Formats.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Pins the clock for the duration of a test.
class DateTimeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetClock([] { return EncodeDate(2026, 12, 10) + EncodeTime(15, 30, 0, 0); });
    }
    void TearDown() override { ResetClock(); }
};

TEST(Calendar, EncodeAndDecode)
{
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2);
    EXPECT_EQ(EncodeDate(1, 1, 1), -693593);
    EXPECT_EQ(EncodeDate(2026, 1, 5), 46027);
    EXPECT_EQ(EncodeDate(9999, 12, 31), 2958465);
    EXPECT_EQ(EncodeTime(12, 0, 0, 0), 0.5);

    // Every day of a few whole years around the leap rules round-trips.
    for (const int year : {1600, 1899, 1900, 2000, 2024, 2100}) {
        for (TDateTime d = EncodeDate(year, 1, 1); d <= EncodeDate(year, 12, 31); d += 1) {
            int y = 0, m = 0, day = 0;
            DecodeDate(d >= 0 ? d + 0.75 : d - 0.75, y, m, day); // with a time of day
            ASSERT_EQ(EncodeDate(y, m, day), d);
            ASSERT_EQ(y, year);
        }
    }
    unsigned short y = 0, m = 0, d = 0;
    DecodeDate(EncodeDate(2024, 2, 29), y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, 20240229);

    int h = 0, n = 0, s = 0, ms = 0;
    DecodeTime(EncodeTime(23, 59, 58, 999), h, n, s, ms);
    EXPECT_EQ(h * 10000000 + n * 100000 + s * 1000 + ms, 235958999);
}

TEST(Calendar, InvalidPartsRaise)
{
    const int bad[][3] = {{2026, 2, 29}, {2100, 2, 29}, {0, 1, 1}, {10000, 1, 1},
                          {2026, 13, 1}, {2026, 0, 1},  {2026, 4, 31}, {2026, 1, 0}};
    for (const auto& p : bad) {
        TDateTime date = 123;
        EXPECT_FALSE(TryEncodeDate(p[0], p[1], p[2], date));
        EXPECT_EQ(date, 123);
        try {
            EncodeDate(p[0], p[1], p[2]);
            ADD_FAILURE() << p[0] << "-" << p[1] << "-" << p[2];
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message, "Invalid argument to date encode");
        }
    }
    TDateTime time = 0;
    EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, time));
    EXPECT_FALSE(TryEncodeTime(0, 60, 0, 0, time));
    EXPECT_FALSE(TryEncodeTime(0, 0, 0, 1000, time));
    EXPECT_THROW(EncodeTime(0, 0, 60, 0), EConvertError);
}

TEST(Calendar, LeapYearsMonthsAndWeekDays)
{
    EXPECT_TRUE(IsLeapYear(2000));
    EXPECT_FALSE(IsLeapYear(1900));
    EXPECT_TRUE(IsLeapYear(2024));
    EXPECT_FALSE(IsLeapYear(2100));
    EXPECT_EQ(MonthDays[IsLeapYear(2024)][2], 29);
    EXPECT_EQ(MonthDays[IsLeapYear(2026)][2], 28);
    EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 10)), 5); // Thursday
    EXPECT_EQ(DayOfWeek(EncodeDate(1899, 12, 30)), 7); // Saturday
    EXPECT_EQ(DayOfWeek(EncodeDate(1, 1, 1)), 2);      // Monday
}

TEST(Calendar, IncMonthClipsTheDayAndKeepsTheTime)
{
    const TDateTime time = EncodeTime(10, 30, 0, 0);
    EXPECT_EQ(IncMonth(EncodeDate(2005, 1, 31) + time), EncodeDate(2005, 2, 28) + time);
    EXPECT_EQ(IncMonth(EncodeDate(2024, 1, 31), 1), EncodeDate(2024, 2, 29));
    EXPECT_EQ(IncMonth(EncodeDate(2005, 3, 31), -1), EncodeDate(2005, 2, 28));
    EXPECT_EQ(IncMonth(EncodeDate(2005, 3, 15), -14), EncodeDate(2004, 1, 15));
    EXPECT_EQ(IncMonth(EncodeDate(2005, 11, 30), 3), EncodeDate(2006, 2, 28));
    EXPECT_EQ(IncMonth(EncodeDate(2005, 1, 1), -12), EncodeDate(2004, 1, 1));
    EXPECT_EQ(IncMonth(EncodeDate(2005, 1, 1), 24), EncodeDate(2007, 1, 1));
}

TEST(Calendar, ReplaceDateAndTime)
{
    TDateTime value = EncodeDate(2026, 1, 5) + EncodeTime(9, 0, 0, 0);
    ReplaceTime(value, EncodeTime(18, 0, 0, 0));
    EXPECT_EQ(value, EncodeDate(2026, 1, 5) + 0.75);
    ReplaceDate(value, EncodeDate(2027, 3, 1) + 0.1);
    EXPECT_EQ(value, EncodeDate(2027, 3, 1) + 0.75);
    // Before 1899 the time fraction is subtracted: -1.25 is 29/12/1899 06.00.
    TDateTime old = -1.5;
    ReplaceTime(old, 0.25);
    EXPECT_EQ(old, -1.25);
}

TEST(TimeStamps, DayNumbersAndMilliseconds)
{
    EXPECT_EQ(DateTimeToTimeStamp(0).Date, 693594);
    EXPECT_EQ(DateTimeToTimeStamp(0).Time, 0);
    const TTimeStamp noon = DateTimeToTimeStamp(EncodeDate(2026, 1, 5) + 0.5);
    EXPECT_EQ(noon.Date, 693594 + 46027);
    EXPECT_EQ(noon.Time, 43200000);
    EXPECT_EQ(TimeStampToDateTime(noon), EncodeDate(2026, 1, 5) + 0.5);
    const TTimeStamp before = DateTimeToTimeStamp(-1.25);
    EXPECT_EQ(before.Date, 693593);
    EXPECT_EQ(before.Time, 21600000);
    EXPECT_EQ(TimeStampToDateTime(before), -1.25);
    EXPECT_EQ(TimeStampToMSecs(noon), (693594LL + 46027) * 86400000 + 43200000);
    const TTimeStamp back = MSecsToTimeStamp(TimeStampToMSecs(noon));
    EXPECT_EQ(back.Date, noon.Date);
    EXPECT_EQ(back.Time, noon.Time);
    // A time a hair before midnight rounds to the next day, not to a 24th hour.
    const TTimeStamp late = DateTimeToTimeStamp(EncodeDate(2026, 1, 5) + 0.9999999999);
    EXPECT_EQ(late.Date, 693594 + 46028);
    EXPECT_EQ(late.Time, 0);
    EXPECT_THROW(DateTimeToTimeStamp(std::nan("")), EInvalidOp);
    EXPECT_THROW(FormatDateTime("dd/mm/yyyy", 1e300), EInvalidOp);
}

TEST_F(DateTimeTest, ClockDrivesNowDateTimeAndCurrentYear)
{
    EXPECT_EQ(Now(), EncodeDate(2026, 12, 10) + EncodeTime(15, 30, 0, 0));
    EXPECT_EQ(Date(), EncodeDate(2026, 12, 10));
    EXPECT_EQ(Time(), EncodeTime(15, 30, 0, 0));
    EXPECT_EQ(CurrentYear(), 2026);
    ResetClock();
    const TDateTime wall = Now();
    EXPECT_GT(wall, EncodeDate(2020, 1, 1));
    EXPECT_LT(wall, EncodeDate(2200, 1, 1));
}

TEST(FormatDateTime, ItalianSettingsTable)
{
    const TDateTime thursday = EncodeDate(2026, 12, 10);
    const TDateTime morning = EncodeDate(2026, 1, 5) + EncodeTime(9, 7, 3, 45);
    const TDateTime evening = EncodeDate(2026, 1, 5) + EncodeTime(21, 5, 0, 0);
    const struct {
        const char* Format;
        TDateTime Value;
        const char* Expected;
    } cases[] = {
        {"dddd d mmmm yyyy", thursday, "gioved\xEC 10 dicembre 2026"},
        {"dd/mm/yy hh.nn", EncodeDate(2026, 1, 5) + EncodeTime(9, 7, 0, 0), "05/01/26 09.07"},
        {"d/m/y", morning, "5/1/26"},
        {"ddd dd mmm", morning, "lun 05 gen"},
        {"ddddd", morning, "05/01/2026"},
        {"dddddd", morning, "luned\xEC 5 gennaio 2026"},
        {"c", morning, "05/01/2026 09.07.03"},
        {"c", EncodeDate(2026, 1, 5), "05/01/2026"},
        {"", EncodeDate(2026, 1, 5), "05/01/2026"},
        {"t", morning, "09.07"},
        {"tt", morning, "09.07.03"},
        {"hh:mm:ss.zzz", morning, "09.07.03.045"},
        {"h:m:s z", morning, "9.7.3 45"},
        {"hh:nn mm", morning, "09.07 01"},
        {"h:nn am/pm", evening, "9.05 pm"},
        {"h:nn AM/PM", morning, "9.07 AM"},
        {"h:nn a/p", evening, "9.05 p"},
        {"hh ampm", evening, "09 "},
        {"hh ampm", EncodeDate(2026, 1, 5), "12 "},
        {"'ore' hh \"e\" nn", morning, "ore 09 e 07"},
        {"yyyy-mm-dd", morning, "2026-01-05"},
        {"aaaa aaa", morning, "luned\xEC lun"},
        {"x:/Q", morning, "x./Q"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatDateTime(c.Format, c.Value), c.Expected) << c.Format;
}

TEST(FormatDateTime, ConversionsToText)
{
    EXPECT_EQ(DateToStr(EncodeDate(2026, 1, 5)), "05/01/2026");
    EXPECT_EQ(TimeToStr(EncodeTime(9, 7, 3, 0)), "09.07.03");
    EXPECT_EQ(DateTimeToStr(EncodeDate(2026, 1, 5) + 0.5), "05/01/2026 12.00.00");
    EXPECT_EQ(DateTimeToStr(EncodeDate(2026, 1, 5)), "05/01/2026");
    TFormatSettings english;
    english.ShortDateFormat = "m/d/yyyy";
    english.LongTimeFormat = "h:nn:ss AMPM";
    english.TimeSeparator = ':';
    english.TimeAMString = "AM";
    english.TimePMString = "PM";
    EXPECT_EQ(DateTimeToStr(EncodeDate(2026, 1, 5) + EncodeTime(13, 4, 5, 0), english),
              "1/5/2026 1:04:05 PM");
}

TEST_F(DateTimeTest, StrToDateAcceptsTheClassLibraryForms)
{
    const struct {
        const char* Text;
        int Year, Month, Day;
    } cases[] = {
        {"5/1/26", 2026, 1, 5},     {"5/1/75", 2075, 1, 5},    {"5/1/76", 1976, 1, 5},
        {"05/01/2026", 2026, 1, 5}, {"5/1/2026", 2026, 1, 5},  {" 5 / 1 / 2026 ", 2026, 1, 5},
        {"5/1", 2026, 1, 5},        {"31/12/99", 1999, 12, 31}, {"1/1/2026/", 2026, 1, 1},
        {"29/02/2024", 2024, 2, 29}, {"1/1/0026", 26, 1, 1},   {"1/1/100", 100, 1, 1},
    };
    for (const auto& c : cases) {
        TDateTime date = 0;
        EXPECT_TRUE(TryStrToDate(c.Text, date)) << c.Text;
        EXPECT_EQ(date, EncodeDate(c.Year, c.Month, c.Day)) << c.Text;
    }
    TFormatSettings ymd;
    ymd.ShortDateFormat = "yyyy-mm-dd";
    ymd.DateSeparator = '-';
    EXPECT_EQ(StrToDate("26-1-5", ymd), EncodeDate(2026, 1, 5));
    TFormatSettings mdy;
    mdy.ShortDateFormat = "mm/dd/yyyy";
    EXPECT_EQ(StrToDate("1/5/2026", mdy), EncodeDate(2026, 1, 5));
    TFormatSettings noWindow;
    noWindow.TwoDigitYearCenturyWindow = 0;
    EXPECT_EQ(StrToDate("5/1/99", noWindow), EncodeDate(2099, 1, 5));
}

TEST_F(DateTimeTest, StrToDateRejectsWithTheText)
{
    const char* rejected[] = {"", "5", "5/", "5/1/", "5-1-2026", "31/02/2026", "5/13/2026",
                              "5/1/2026x", "a5/1/2026", "05/01/2026 10.30", "12345/1/1",
                              "5/1/2026/7", "0/1/2026"};
    for (const char* text : rejected) {
        TDateTime date = 7;
        EXPECT_FALSE(TryStrToDate(text, date)) << text;
        EXPECT_EQ(date, 7) << text;
        EXPECT_EQ(StrToDateDef(text, -1), -1) << text;
        try {
            StrToDate(text);
            ADD_FAILURE() << text;
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message, std::string("'") + text + "' is not a valid date");
        }
    }
}

TEST(StrToTime, SeparatorsAndMarkers)
{
    const struct {
        const char* Text;
        int Hour, Min, Sec, MSec;
    } cases[] = {
        {"10.30", 10, 30, 0, 0},     {"10.30.15", 10, 30, 15, 0}, {"10.30.15,250", 10, 30, 15, 250},
        {" 9 . 5 ", 9, 5, 0, 0},     {"7", 7, 0, 0, 0},           {"10.30 PM", 22, 30, 0, 0},
        {"12.00 am", 0, 0, 0, 0},    {"12.00 PM", 12, 0, 0, 0},   {"PM 1.15", 13, 15, 0, 0},
        {"23.59.59,999", 23, 59, 59, 999},
    };
    for (const auto& c : cases) {
        TDateTime time = -1;
        EXPECT_TRUE(TryStrToTime(c.Text, time)) << c.Text;
        EXPECT_EQ(time, EncodeTime(c.Hour, c.Min, c.Sec, c.MSec)) << c.Text;
    }
    const char* rejected[] = {"", "10:30", "24.00", "10.60", "13.00 PM", "0.30 AM", "10.",
                              "10.30x", "10.30.15,"};
    for (const char* text : rejected) {
        TDateTime time = 0;
        EXPECT_FALSE(TryStrToTime(text, time)) << text;
        try {
            StrToTime(text);
            ADD_FAILURE() << text;
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message, std::string("'") + text + "' is not a valid time");
        }
    }
    EXPECT_EQ(StrToTimeDef("x", 0.5), 0.5);
}

TEST_F(DateTimeTest, StrToDateTimeTakesDateTimeOrEither)
{
    EXPECT_EQ(StrToDateTime("05/01/2026 10.30"), EncodeDate(2026, 1, 5) + EncodeTime(10, 30, 0, 0));
    EXPECT_EQ(StrToDateTime("05/01/2026"), EncodeDate(2026, 1, 5));
    EXPECT_EQ(StrToDateTime("10.30"), EncodeTime(10, 30, 0, 0));
    EXPECT_EQ(StrToDateTime("29/12/1899 06.00"), -1.25);
    for (const char* text : {"05/01/2026 10.30x", "05/01/2026 x", "", "10.30/5"}) {
        TDateTime value = 3;
        EXPECT_FALSE(TryStrToDateTime(text, value)) << text;
        EXPECT_EQ(value, 3);
        EXPECT_EQ(StrToDateTimeDef(text, 9), 9);
        try {
            StrToDateTime(text);
            ADD_FAILURE() << text;
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message, std::string("'") + text + "' is not a valid date and time");
        }
    }
}

TEST(DateTimeRoundTrip, TextOfADateReadsBack)
{
    for (TDateTime d = EncodeDate(1950, 1, 1); d < EncodeDate(2060, 1, 1); d += 37.25) {
        EXPECT_EQ(StrToDateTime(DateTimeToStr(d)), d);
        EXPECT_EQ(StrToDate(DateToStr(d)), std::trunc(d));
    }
}

} // namespace
