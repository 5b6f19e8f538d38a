#pragma once
// Dates and times as the class library keeps them: TDateTime is a double counting days since
// 30/12/1899, the time of day as its fraction.

#include "platform/rtl/FormatSettings.h"

#include <cstdint>
#include <functional>
#include <string>

using TDateTime = double;

constexpr int HoursPerDay = 24;
constexpr int MinsPerDay = HoursPerDay * 60;
constexpr int SecsPerDay = MinsPerDay * 60;
constexpr int MSecsPerDay = SecsPerDay * 1000;
// Days from 01/01/0001 to 30/12/1899, the day TDateTime counts from.
constexpr int DateDelta = 693594;
// Days from 30/12/1899 to 01/01/1970.
constexpr int UnixDateDelta = 25569;

// Days of each month, [IsLeapYear(year)][month], month from 1.
inline constexpr int MonthDays[2][13] = {
    {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
    {0, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
};

// Time: milliseconds since midnight. Date: days since 01/01/0001, that day being 1.
struct TTimeStamp {
    int Time = 0;
    int Date = 0;
};

bool IsLeapYear(int year);

// EncodeDate/EncodeTime raise EConvertError "Invalid argument to date encode" /
// "Invalid argument to time encode" for parts out of range.
bool TryEncodeDate(int year, int month, int day, TDateTime& date);
TDateTime EncodeDate(int year, int month, int day);
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& time);
TDateTime EncodeTime(int hour, int min, int sec, int msec);
void DecodeDate(TDateTime date, int& year, int& month, int& day);
void DecodeDate(TDateTime date, unsigned short& year, unsigned short& month, unsigned short& day);
// Also gives the day of the week, 1 = Sunday; returns whether the year is a leap year.
bool DecodeDateFully(TDateTime date, int& year, int& month, int& day, int& dayOfWeek);
void DecodeTime(TDateTime time, int& hour, int& min, int& sec, int& msec);
void DecodeTime(TDateTime time, unsigned short& hour, unsigned short& min, unsigned short& sec,
                unsigned short& msec);

// 1 = Sunday ... 7 = Saturday.
int DayOfWeek(TDateTime date);
// Adds months keeping the time; the day is clipped to the end of the resulting month.
TDateTime IncMonth(TDateTime date, int numberOfMonths = 1);
// Replaces the date part (keeping the time) or the time part (keeping the date).
void ReplaceDate(TDateTime& dateTime, TDateTime newDate);
void ReplaceTime(TDateTime& dateTime, TDateTime newTime);

TTimeStamp DateTimeToTimeStamp(TDateTime dateTime);
TDateTime TimeStampToDateTime(const TTimeStamp& timeStamp);
std::int64_t TimeStampToMSecs(const TTimeStamp& timeStamp);
TTimeStamp MSecsToTimeStamp(std::int64_t msecs);

// The clock behind Now, Date and Time: the local wall clock unless a test or a caller sets
// another one.
void SetClock(std::function<TDateTime()> clock);
void ResetClock();
TDateTime Now();
TDateTime Date();
TDateTime Time();
int CurrentYear();

// c d dd ddd dddd ddddd dddddd m mm mmm mmmm yy yyyy h hh n nn s ss z zzz t tt am/pm a/p
// ampm / : and quoted literals; m right after h or hh is minutes.
std::string FormatDateTime(const std::string& format, TDateTime dateTime,
                           const TFormatSettings& settings = FormatSettings());
std::string DateToStr(TDateTime date, const TFormatSettings& settings = FormatSettings());
std::string TimeToStr(TDateTime time, const TFormatSettings& settings = FormatSettings());
std::string DateTimeToStr(TDateTime dateTime, const TFormatSettings& settings = FormatSettings());

// Parsing: the order of day, month and year from the short date format, the separators of the
// settings, two-digit years placed through TwoDigitYearCenturyWindow around the clock's year.
// The Str... forms raise EConvertError "'...' is not a valid date" / "... time" /
// "... date and time".
bool TryStrToDate(const std::string& text, TDateTime& date,
                  const TFormatSettings& settings = FormatSettings());
bool TryStrToTime(const std::string& text, TDateTime& time,
                  const TFormatSettings& settings = FormatSettings());
bool TryStrToDateTime(const std::string& text, TDateTime& dateTime,
                      const TFormatSettings& settings = FormatSettings());
TDateTime StrToDate(const std::string& text, const TFormatSettings& settings = FormatSettings());
TDateTime StrToTime(const std::string& text, const TFormatSettings& settings = FormatSettings());
TDateTime StrToDateTime(const std::string& text,
                        const TFormatSettings& settings = FormatSettings());
TDateTime StrToDateDef(const std::string& text, TDateTime defaultValue,
                       const TFormatSettings& settings = FormatSettings());
TDateTime StrToTimeDef(const std::string& text, TDateTime defaultValue,
                       const TFormatSettings& settings = FormatSettings());
TDateTime StrToDateTimeDef(const std::string& text, TDateTime defaultValue,
                           const TFormatSettings& settings = FormatSettings());
