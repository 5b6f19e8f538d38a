#pragma once
// Dates as TDateTime values: month lengths, adding days, months, years and times with the day
// clipped to the month, differences between dates, and the tolerant parsing and the formats
// the date edit uses: its edit format and mask from the short date format, two-digit years
// placed in a window around the current year, and a parser that reads the fields at the
// positions of a format and otherwise scans numbers and separators.
//
// IsLeapYear, IncMonth and CurrentYear are the run-time layer's (platform/rtl/DateTime.h).

#include "platform/gui/WinTypes.h"
#include "platform/rtl/DateTime.h"

#include <cstdint>
#include <string>

enum TDateOrder { doMDY, doDMY, doYMD };
enum TDayOfWeekName { Sun, Mon, Tue, Wed, Thu, Fri, Sat };
using TDaysOfWeek = TSet<TDayOfWeekName>;

// The value that means "no date"; an empty text parses to it.
extern TDateTime NullDate;
// How many of the hundred years a two-digit year may mean lie in the past.
extern std::uint8_t CenturyOffset;
// Whether the short date format shows four-digit years; worked out at the first call.
bool FourDigitYear();

// Month must be 1..12 (ERangeError otherwise).
int DaysPerMonth(int Year, int Month);
// Relative to today.
TDateTime FirstDayOfNextMonth();
TDateTime FirstDayOfPrevMonth();
TDateTime LastDayOfPrevMonth();
unsigned short ExtractDay(TDateTime Date);
unsigned short ExtractMonth(TDateTime Date);
unsigned short ExtractYear(TDateTime Date);

// Adds months and years with the day clipped to the end of the month, then days; the time of
// Date is kept.
TDateTime IncDate(TDateTime Date, int Days, int Months, int Years);
TDateTime IncDay(TDateTime Date, int Delta);
TDateTime IncYear(TDateTime Date, int Delta);
// A result before 30/12/1899 has one day added (a time of day stays a time of day).
TDateTime IncTime(TDateTime Time, int Hours, int Minutes, int Seconds, int MSecs);
TDateTime IncHour(TDateTime Date, int Delta);
TDateTime IncMinute(TDateTime Date, int Delta);
TDateTime IncSecond(TDateTime Date, int Delta);
TDateTime IncMSec(TDateTime Date, int Delta);
// Years, months and days from the earlier date to the later one.
void DateDiff(TDateTime Date1, TDateTime Date2, unsigned short& Days, unsigned short& Months,
              unsigned short& Years);
double MonthsBetween(TDateTime Date1, TDateTime Date2);
bool ValidDate(TDateTime Date);
// Both days counted; 0 when a date is not valid.
int DaysInPeriod(TDateTime Date1, TDateTime Date2);
// Both days counted; 0 when Date2 is before Date1.
int DaysBetween(TDateTime Date1, TDateTime Date2);
TDateTime CutTime(TDateTime Date);

TDateOrder GetDateOrder(const std::string& DateFormat);
// The month whose long name begins as S does in its first MaxLen characters; 0 when none.
std::uint8_t MonthFromName(const std::string& S, int MaxLen);
// Raises EConvertError "'...' is not a valid date". An empty text is NullDate.
TDateTime StrToDateFmt(const std::string& DateFormat, const std::string& S);
// Trunc(Default) when the text is no date.
TDateTime StrToDateFmtDef(const std::string& DateFormat, const std::string& S, TDateTime Default);
// "DD/MM/YYYY" and the like in the order of the short date format; "/" stands for the date
// separator.
std::string DefDateFormat(bool FourDigitYear);
// The edit mask of that format, ending with the blank placeholder BlanksChar.
std::string DefDateMask(char BlanksChar, bool FourDigitYear);
// The long date format, without trailing blanks.
std::string FormatLongDate(TDateTime Value);
// "" for NullDate; otherwise the long date and the time.
std::string FormatLongDateTime(TDateTime Value);

namespace DateUtil {
// StrToDateFmtDef with the short date format. (The run-time layer's StrToDateDef is the class
// library's stricter conversion.)
TDateTime StrToDateDef(const std::string& S, TDateTime Default);
} // namespace DateUtil
