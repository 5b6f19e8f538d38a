#include "controls/DateUtil.h"

#include "controls/StrUtils.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/TextUtils.h"

#include <cmath>
#include <cstdlib>

TDateTime NullDate = 0.0;
std::uint8_t CenturyOffset = 60;

namespace {

constexpr int DateUtilNoNumber = -1;
// The longest field the positional reading collects: longer texts are no date, and the number
// stays far from overflowing.
constexpr int DateUtilMaxFieldLength = 20;

char DateUtilUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool DateUtilIsValidDateParts(int Y, int M, int D)
{
    return Y >= 1 && Y <= 9999 && M >= 1 && M <= 12 && D >= 1 && D <= DaysPerMonth(Y, M);
}

// Positions count from 1, as the date edit's texts are laid out.
void DateUtilSkipBlanks(const std::string& S, int& Pos)
{
    while (Pos <= static_cast<int>(S.size()) && S[static_cast<std::size_t>(Pos) - 1] == ' ')
        ++Pos;
}

// Decimal digits, stopping at MaxLength digits or once the value has reached 1000; Digits tells
// how many were read.
bool DateUtilScanNumberAt(const std::string& S, int MaxLength, int& Pos, int& Number, int& Digits)
{
    DateUtilSkipBlanks(S, Pos);
    int i = Pos;
    int value = 0;
    while (i <= static_cast<int>(S.size()) && i - Pos < MaxLength && value < 1000) {
        const char c = S[static_cast<std::size_t>(i) - 1];
        if (c < '0' || c > '9')
            break;
        value = value * 10 + (c - '0');
        ++i;
    }
    if (i == Pos)
        return false;
    Digits = i - Pos;
    Pos = i;
    Number = value;
    return true;
}

bool DateUtilScanSeparator(const std::string& S, int& Pos)
{
    DateUtilSkipBlanks(S, Pos);
    if (Pos > static_cast<int>(S.size()) || S[static_cast<std::size_t>(Pos) - 1] != FormatSettings().DateSeparator)
        return false;
    ++Pos;
    return true;
}

void DateUtilSkipToDigit(const std::string& S, int& Pos)
{
    while (Pos <= static_cast<int>(S.size()) &&
           (S[static_cast<std::size_t>(Pos) - 1] < '0' || S[static_cast<std::size_t>(Pos) - 1] > '9'))
        ++Pos;
}

// A year typed with one or two digits placed in the hundred years from CenturyOffset years ago.
// A year typed with more digits is the year written ("0000" is no year 2000), and a negative year
// is the mark of a missing year: both stay, so that such a date is not valid.
int DateUtilExpandTwoDigitYear(int Year, int Digits)
{
    if (Year >= 100 || Year < 0 || Digits > 2)
        return Year;
    const int pivot = CurrentYear() - CenturyOffset;
    Year += pivot / 100 * 100;
    if (CenturyOffset > 0 && Year < pivot)
        Year += 100;
    return Year;
}

bool DateUtilScanDateFields(const std::string& S, const std::string& DateFormat, int& Pos, int& Y, int& M, int& D)
{
    Y = M = D = 0;
    const TDateOrder order = GetDateOrder(DateFormat);
    const std::string& shortFormat = FormatSettings().ShortDateFormat;
    if (!shortFormat.empty() && (shortFormat[0] == 'g' || shortFormat[0] == 'G'))
        DateUtilSkipToDigit(S, Pos);
    int n1 = 0, n2 = 0, n3 = 0;
    int digits1 = 0, digits2 = 0, digits3 = 0;
    if (!DateUtilScanNumberAt(S, 0x7FFFFFFF, Pos, n1, digits1) || !DateUtilScanSeparator(S, Pos) ||
        !DateUtilScanNumberAt(S, 0x7FFFFFFF, Pos, n2, digits2))
        return false;
    if (DateUtilScanSeparator(S, Pos)) {
        if (!DateUtilScanNumberAt(S, 0x7FFFFFFF, Pos, n3, digits3))
            return false;
        switch (order) {
        case doMDY: Y = n3, M = n1, D = n2; break;
        case doDMY: Y = n3, M = n2, D = n1; break;
        case doYMD: Y = n1, M = n2, D = n3; break;
        }
        Y = DateUtilExpandTwoDigitYear(Y, order == doYMD ? digits1 : digits3);
    } else {
        Y = CurrentYear();
        if (order == doDMY)
            D = n1, M = n2;
        else
            M = n1, D = n2;
    }
    DateUtilScanSeparator(S, Pos);
    DateUtilSkipBlanks(S, Pos);
    return DateUtilIsValidDateParts(Y, M, D) && Pos > static_cast<int>(S.size());
}

// Where a field of a format lies: from Start (npos when the format has none) to End, where its
// run of letters ends.
struct DateUtilField {
    std::size_t Start = std::string::npos;
    std::size_t End = 0;
};

// The fields of one format; the last format used is kept, since an edit parses with the same
// one again and again.
struct DateUtilLayout {
    std::string Format;
    DateUtilField MonthName; // "MMM"
    DateUtilField Month;
    DateUtilField Day;
    DateUtilField Year;
};

// The first run of count copies of ch in format, ignoring case.
DateUtilField DateUtilFindRun(const std::string& format, char ch, int count)
{
    const char upper = DateUtilUpper(ch);
    DateUtilField field;
    int run = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        run = DateUtilUpper(format[i]) == upper ? run + 1 : 0;
        if (run == count) {
            field.Start = i + 1 - static_cast<std::size_t>(count);
            break;
        }
    }
    if (field.Start != std::string::npos)
        for (field.End = field.Start; field.End < format.size() && DateUtilUpper(format[field.End]) == upper;)
            ++field.End;
    return field;
}

const DateUtilLayout& DateUtilLayoutOf(const std::string& format)
{
    thread_local DateUtilLayout layout;
    thread_local bool known = false;
    if (!known || layout.Format != format) {
        layout.Format = format;
        layout.MonthName = DateUtilFindRun(format, 'm', 3);
        layout.Month = DateUtilFindRun(format, 'm', 1);
        layout.Day = DateUtilFindRun(format, 'd', 1);
        layout.Year = DateUtilFindRun(format, 'y', 1);
        known = true;
    }
    return layout;
}

// The field of S that stands where the format has it (a month name for "MMM"): Default when S is
// longer than the format or the format has no such field, Blank when the field holds only
// blanks, DateUtilNoNumber when it is not a number (or no month name). The format is cut to the
// text's length, and at most DateUtilMaxFieldLength characters count; Collected, when given,
// tells how many characters other than blanks the field held.
int DateUtilExtractMaskedField(const std::string& Format, const std::string& S, const DateUtilField& Field,
                               bool MonthName, int Blank, int Default, int* Collected = nullptr)
{
    if (S.size() > Format.size() || Field.Start == std::string::npos)
        return Default;
    const std::size_t end = Field.End < S.size() ? Field.End : S.size();
    int collected = 0;
    std::int64_t value = 0;
    bool number = true;
    std::string name;
    for (std::size_t i = Field.Start; i < end && collected < DateUtilMaxFieldLength; ++i) {
        const char c = S[i];
        if (c == ' ')
            continue;
        ++collected;
        if (MonthName)
            name += c;
        else if (c >= '0' && c <= '9' && value <= 0x7FFFFFFF)
            value = value * 10 + (c - '0');
        else
            number = false;
    }
    if (Collected)
        *Collected = collected;
    if (collected == 0)
        return Blank;
    if (!MonthName)
        return number && value <= 0x7FFFFFFF ? static_cast<int>(value) : DateUtilNoNumber;
    const int month = MonthFromName(name, static_cast<int>(name.size()));
    return month == 0 ? DateUtilNoNumber : month;
}

bool DateUtilParseDateWithFormat(const std::string& Format, const std::string& S, int& D, int& M, int& Y)
{
    const DateUtilLayout& layout = DateUtilLayoutOf(Format);
    M = DateUtilExtractMaskedField(Format, S, layout.MonthName, true, DateUtilNoNumber, 0);
    if (M == 0)
        M = DateUtilExtractMaskedField(Format, S, layout.Month, false, DateUtilNoNumber, 0);
    D = DateUtilExtractMaskedField(Format, S, layout.Day, false, DateUtilNoNumber, 1);
    // The current year only where the text has no year field at all.
    constexpr int noYearField = -2;
    int yearDigits = 0;
    Y = DateUtilExtractMaskedField(Format, S, layout.Year, false, DateUtilNoNumber, noYearField, &yearDigits);
    Y = Y == noYearField ? CurrentYear() : DateUtilExpandTwoDigitYear(Y, yearDigits);
    if (DateUtilIsValidDateParts(Y, M, D))
        return true;
    int pos = 1;
    return DateUtilScanDateFields(S, Format, pos, Y, M, D);
}

bool DateUtilTryStrToDateFmt(const std::string& DateFormat, const std::string& S, TDateTime& Date)
{
    if (S.empty()) {
        Date = NullDate;
        return true;
    }
    int d = 0, m = 0, y = 0;
    return DateUtilParseDateWithFormat(DateFormat, S, d, m, y) && TryEncodeDate(y, m, d, Date);
}

} // namespace

bool FourDigitYear()
{
    static const bool fourDigits = Pos("YYYY", UpperCase(FormatSettings().ShortDateFormat)) > 0;
    return fourDigits;
}

int DaysPerMonth(int Year, int Month)
{
    if (Month < 1 || Month > 12)
        RAISE(ERangeError("Range check error"));
    return MonthDays[IsLeapYear(Year)][Month];
}

TDateTime FirstDayOfNextMonth()
{
    int year = 0, month = 0, day = 0;
    DecodeDate(Date(), year, month, day);
    return month == 12 ? EncodeDate(year + 1, 1, 1) : EncodeDate(year, month + 1, 1);
}

TDateTime FirstDayOfPrevMonth()
{
    int year = 0, month = 0, day = 0;
    DecodeDate(Date(), year, month, day);
    return month == 1 ? EncodeDate(year - 1, 12, 1) : EncodeDate(year, month - 1, 1);
}

TDateTime LastDayOfPrevMonth()
{
    int year = 0, month = 0, day = 0;
    DecodeDate(FirstDayOfPrevMonth(), year, month, day);
    return EncodeDate(year, month, DaysPerMonth(year, month));
}

unsigned short ExtractDay(TDateTime Date)
{
    unsigned short year = 0, month = 0, day = 0;
    DecodeDate(Date, year, month, day);
    return day;
}

unsigned short ExtractMonth(TDateTime Date)
{
    unsigned short year = 0, month = 0, day = 0;
    DecodeDate(Date, year, month, day);
    return month;
}

unsigned short ExtractYear(TDateTime Date)
{
    unsigned short year = 0, month = 0, day = 0;
    DecodeDate(Date, year, month, day);
    return year;
}

TDateTime IncDate(TDateTime Date, int Days, int Months, int Years)
{
    int year = 0, month = 0, day = 0;
    DecodeDate(Date, year, month, day);
    year += Years + Months / 12;
    month += Months % 12;
    if (month < 1) {
        month += 12;
        --year;
    } else if (month > 12) {
        month -= 12;
        ++year;
    }
    if (day > DaysPerMonth(year, month))
        day = DaysPerMonth(year, month);
    TDateTime result = EncodeDate(year, month, day) + Days;
    ReplaceTime(result, Date);
    return result;
}

TDateTime IncDay(TDateTime Date, int Delta) { return Date + Delta; }
TDateTime IncYear(TDateTime Date, int Delta) { return IncDate(Date, 0, 0, Delta); }

TDateTime IncTime(TDateTime Time, int Hours, int Minutes, int Seconds, int MSecs)
{
    const std::int64_t msecs = std::int64_t(Hours % 24) * 3600000 + std::int64_t(Minutes) * 60000 +
                               std::int64_t(Seconds) * 1000 + MSecs;
    TDateTime result = Time + Hours / 24 + static_cast<double>(msecs) / MSecsPerDay;
    if (result < 0)
        result += 1;
    return result;
}

TDateTime IncHour(TDateTime Date, int Delta) { return IncTime(Date, Delta, 0, 0, 0); }
TDateTime IncMinute(TDateTime Date, int Delta) { return IncTime(Date, 0, Delta, 0, 0); }
TDateTime IncSecond(TDateTime Date, int Delta) { return IncTime(Date, 0, 0, Delta, 0); }
TDateTime IncMSec(TDateTime Date, int Delta) { return IncTime(Date, 0, 0, 0, Delta); }

void DateDiff(TDateTime Date1, TDateTime Date2, unsigned short& Days, unsigned short& Months,
              unsigned short& Years)
{
    if (Date1 > Date2)
        std::swap(Date1, Date2);
    int y1 = 0, m1 = 0, d1 = 0, y2 = 0, m2 = 0, d2 = 0;
    DecodeDate(Date1, y1, m1, d1);
    DecodeDate(Date2, y2, m2, d2);
    int years = y2 - y1;
    int months = 0;
    int days = 0;
    if (m2 < m1) {
        months = 12;
        --years;
    }
    months += m2 - m1;
    if (d2 < d1) {
        days = DaysPerMonth(y1, m1);
        if (months == 0) {
            --years;
            months = 11;
        } else {
            --months;
        }
    }
    days += d2 - d1;
    Days = static_cast<unsigned short>(days);
    Months = static_cast<unsigned short>(months);
    Years = static_cast<unsigned short>(years);
}

double MonthsBetween(TDateTime Date1, TDateTime Date2)
{
    unsigned short days = 0, months = 0, years = 0;
    DateDiff(Date1, Date2, days, months, years);
    double result = 12.0 * years + months;
    if (days >= 21)
        result += 1;
    else if (days >= 15)
        result += 0.75;
    else if (days >= 7)
        result += 0.5;
    else if (days >= 2)
        result += 0.25;
    return result;
}

bool ValidDate(TDateTime Date)
{
    int year = 0, month = 0, day = 0;
    try {
        DecodeDate(Date, year, month, day);
    } catch (const Exception&) {
        return false;
    }
    return DateUtilIsValidDateParts(year, month, day);
}

int DaysInPeriod(TDateTime Date1, TDateTime Date2)
{
    if (!ValidDate(Date1) || !ValidDate(Date2))
        return 0;
    return static_cast<int>(std::llabs(Trunc(Date2) - Trunc(Date1))) + 1;
}

int DaysBetween(TDateTime Date1, TDateTime Date2)
{
    const std::int64_t result = Trunc(Date2) - Trunc(Date1) + 1;
    return result < 0 ? 0 : static_cast<int>(result);
}

TDateTime CutTime(TDateTime Date) { return static_cast<double>(Trunc(Date)); }

TDateOrder GetDateOrder(const std::string& DateFormat)
{
    for (char c : DateFormat) {
        switch (DateUtilUpper(c)) {
        case 'D': return doDMY;
        case 'E':
        case 'Y': return doYMD;
        case 'M': return doMDY;
        default: break;
        }
    }
    return doDMY;
}

std::uint8_t MonthFromName(const std::string& S, int MaxLen)
{
    if (S.empty())
        return 0;
    const std::string prefix = AnsiUpperCase(Copy(S, 1, MaxLen));
    for (int month = 1; month <= 12; ++month) {
        const std::string& name = FormatSettings().LongMonthNames[month];
        if (!name.empty() && AnsiUpperCase(Copy(name, 1, MaxLen)) == prefix)
            return static_cast<std::uint8_t>(month);
    }
    return 0;
}

TDateTime StrToDateFmt(const std::string& DateFormat, const std::string& S)
{
    TDateTime result = 0;
    if (!DateUtilTryStrToDateFmt(DateFormat, S, result))
        RAISE(EConvertError(Format("'%s' is not a valid date", {S})));
    return result;
}

TDateTime StrToDateFmtDef(const std::string& DateFormat, const std::string& S, TDateTime Default)
{
    TDateTime result = 0;
    return DateUtilTryStrToDateFmt(DateFormat, S, result) ? result : static_cast<double>(Trunc(Default));
}

TDateTime DateUtil::StrToDateDef(const std::string& S, TDateTime Default)
{
    return StrToDateFmtDef(FormatSettings().ShortDateFormat, S, Default);
}

std::string DefDateFormat(bool FourDigitYear)
{
    switch (GetDateOrder(FormatSettings().ShortDateFormat)) {
    case doMDY: return FourDigitYear ? "MM/DD/YYYY" : "MM/DD/YY";
    case doYMD: return FourDigitYear ? "YYYY/MM/DD" : "YY/MM/DD";
    default: return FourDigitYear ? "DD/MM/YYYY" : "DD/MM/YY";
    }
}

std::string DefDateMask(char BlanksChar, bool FourDigitYear)
{
    std::string mask = "!99/99/99;1;";
    if (FourDigitYear)
        mask = GetDateOrder(FormatSettings().ShortDateFormat) == doYMD ? "!9999/99/99;1;" : "!99/99/9999;1;";
    return mask + BlanksChar;
}

std::string FormatLongDate(TDateTime Value)
{
    return DelESpace(FormatDateTime(FormatSettings().LongDateFormat, Value));
}

std::string FormatLongDateTime(TDateTime Value)
{
    if (Value == NullDate)
        return {};
    return FormatLongDate(Value) + FormatDateTime(" tt", Value);
}
