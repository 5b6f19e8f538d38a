#include "platform/rtl/DateTime.h"

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/TextUtils.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <mutex>

// ---- Calendar ----------------------------------------------------------------------------

bool IsLeapYear(int year)
{
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

bool TryEncodeDate(int year, int month, int day, TDateTime& date)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > MonthDays[IsLeapYear(year)][month])
        return false;
    int days = day;
    for (int m = 1; m < month; ++m)
        days += MonthDays[IsLeapYear(year)][m];
    const int y = year - 1;
    date = y * 365 + y / 4 - y / 100 + y / 400 + days - DateDelta;
    return true;
}

TDateTime EncodeDate(int year, int month, int day)
{
    TDateTime date = 0;
    if (!TryEncodeDate(year, month, day, date))
        RAISE(EConvertError("Invalid argument to date encode"));
    return date;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& time)
{
    if (hour < 0 || hour >= HoursPerDay || min < 0 || min >= 60 || sec < 0 || sec >= 60 ||
        msec < 0 || msec >= 1000)
        return false;
    time = (hour * 3600000.0 + min * 60000.0 + sec * 1000.0 + msec) / MSecsPerDay;
    return true;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec)
{
    TDateTime time = 0;
    if (!TryEncodeTime(hour, min, sec, msec, time))
        RAISE(EConvertError("Invalid argument to time encode"));
    return time;
}

namespace {

// Year, month and day of a day number counted from 01/01/0001 = 1; all zero before that.
void DecodeDayNumber(int dayNumber, int& year, int& month, int& day)
{
    if (dayNumber <= 0) {
        year = month = day = 0;
        return;
    }
    constexpr int D1 = 365;
    constexpr int D4 = D1 * 4 + 1;
    constexpr int D100 = D4 * 25 - 1;
    constexpr int D400 = D100 * 4 + 1;
    int t = dayNumber - 1;
    int y = 1;
    y += (t / D400) * 400;
    t %= D400;
    int i = t / D100;
    int d = t % D100;
    if (i == 4) {
        --i;
        d += D100;
    }
    y += i * 100;
    i = d / D4;
    d %= D4;
    y += i * 4;
    i = d / D1;
    d %= D1;
    if (i == 4) {
        --i;
        d += D1;
    }
    y += i;
    const bool leap = IsLeapYear(y);
    int m = 1;
    while (d >= MonthDays[leap][m]) {
        d -= MonthDays[leap][m];
        ++m;
    }
    year = y;
    month = m;
    day = d + 1;
}

} // namespace

void DecodeDate(TDateTime date, int& year, int& month, int& day)
{
    DecodeDayNumber(DateTimeToTimeStamp(date).Date, year, month, day);
}

void DecodeDate(TDateTime date, unsigned short& year, unsigned short& month, unsigned short& day)
{
    int y = 0, m = 0, d = 0;
    DecodeDate(date, y, m, d);
    year = static_cast<unsigned short>(y);
    month = static_cast<unsigned short>(m);
    day = static_cast<unsigned short>(d);
}

bool DecodeDateFully(TDateTime date, int& year, int& month, int& day, int& dayOfWeek)
{
    const int dayNumber = DateTimeToTimeStamp(date).Date;
    DecodeDayNumber(dayNumber, year, month, day);
    dayOfWeek = dayNumber <= 0 ? 0 : dayNumber % 7 + 1;
    return year > 0 && IsLeapYear(year);
}

void DecodeTime(TDateTime time, int& hour, int& min, int& sec, int& msec)
{
    int ms = DateTimeToTimeStamp(time).Time;
    hour = ms / 3600000;
    ms %= 3600000;
    min = ms / 60000;
    ms %= 60000;
    sec = ms / 1000;
    msec = ms % 1000;
}

void DecodeTime(TDateTime time, unsigned short& hour, unsigned short& min, unsigned short& sec,
                unsigned short& msec)
{
    int h = 0, m = 0, s = 0, ms = 0;
    DecodeTime(time, h, m, s, ms);
    hour = static_cast<unsigned short>(h);
    min = static_cast<unsigned short>(m);
    sec = static_cast<unsigned short>(s);
    msec = static_cast<unsigned short>(ms);
}

int DayOfWeek(TDateTime date)
{
    return DateTimeToTimeStamp(date).Date % 7 + 1;
}

void ReplaceTime(TDateTime& dateTime, TDateTime newTime)
{
    dateTime = std::trunc(dateTime);
    const double fraction = std::fabs(newTime - std::trunc(newTime));
    dateTime = dateTime >= 0 ? dateTime + fraction : dateTime - fraction;
}

void ReplaceDate(TDateTime& dateTime, TDateTime newDate)
{
    TDateTime result = newDate;
    ReplaceTime(result, dateTime);
    dateTime = result;
}

TDateTime IncMonth(TDateTime date, int numberOfMonths)
{
    int year = 0, month = 0, day = 0;
    DecodeDate(date, year, month, day);
    const int months = year * 12 + (month - 1) + numberOfMonths;
    year = months / 12;
    month = months % 12 + 1;
    if (year >= 1 && year <= 9999 && day > MonthDays[IsLeapYear(year)][month])
        day = MonthDays[IsLeapYear(year)][month];
    TDateTime result = EncodeDate(year, month, day);
    ReplaceTime(result, date);
    return result;
}

// ---- Time stamps -------------------------------------------------------------------------

TTimeStamp DateTimeToTimeStamp(TDateTime dateTime)
{
    // Far beyond year 9999 (or not a number) the day count would not fit.
    if (!(std::fabs(dateTime) < 1e9))
        RAISE(EInvalidOp("Invalid floating point operation"));
    // The whole value rounded to the millisecond first, so 23:59:59.9996 is the next day.
    const auto msecs = static_cast<std::int64_t>(std::nearbyint(dateTime * MSecsPerDay));
    TTimeStamp stamp;
    if (msecs >= 0) {
        stamp.Date = static_cast<int>(msecs / MSecsPerDay) + DateDelta;
        stamp.Time = static_cast<int>(msecs % MSecsPerDay);
    } else {
        // Before 30/12/1899 the fraction still counts forward from the day's midnight.
        stamp.Date = DateDelta - static_cast<int>(-msecs / MSecsPerDay);
        stamp.Time = static_cast<int>(-msecs % MSecsPerDay);
    }
    return stamp;
}

TDateTime TimeStampToDateTime(const TTimeStamp& timeStamp)
{
    const double days = static_cast<double>(timeStamp.Date) - DateDelta;
    const double msecs = days * MSecsPerDay;
    return (days >= 0 ? msecs + timeStamp.Time : msecs - timeStamp.Time) / MSecsPerDay;
}

std::int64_t TimeStampToMSecs(const TTimeStamp& timeStamp)
{
    return static_cast<std::int64_t>(timeStamp.Date) * MSecsPerDay + timeStamp.Time;
}

TTimeStamp MSecsToTimeStamp(std::int64_t msecs)
{
    TTimeStamp stamp;
    stamp.Date = static_cast<int>(msecs / MSecsPerDay);
    stamp.Time = static_cast<int>(msecs % MSecsPerDay);
    return stamp;
}

// ---- Clock -------------------------------------------------------------------------------

namespace {

TDateTime LocalWallClock()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto msec = std::chrono::duration_cast<std::chrono::milliseconds>(
                          now.time_since_epoch())
                          .count() %
                      1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
           EncodeTime(local.tm_hour, local.tm_min, local.tm_sec < 60 ? local.tm_sec : 59,
                      static_cast<int>(msec < 0 ? msec + 1000 : msec));
}

std::mutex& ClockMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::function<TDateTime()>& ClockFunction()
{
    static std::function<TDateTime()> clock;
    return clock;
}

} // namespace

void SetClock(std::function<TDateTime()> clock)
{
    std::lock_guard<std::mutex> lock(ClockMutex());
    ClockFunction() = std::move(clock);
}

void ResetClock()
{
    SetClock(nullptr);
}

TDateTime Now()
{
    std::function<TDateTime()> clock;
    {
        std::lock_guard<std::mutex> lock(ClockMutex());
        clock = ClockFunction();
    }
    return clock ? clock() : LocalWallClock();
}

TDateTime Date()
{
    return std::trunc(Now());
}

// The time of day re-encoded from its milliseconds, as precise as EncodeTime gives it.
TDateTime Time()
{
    return static_cast<double>(DateTimeToTimeStamp(Now()).Time) / MSecsPerDay;
}

int CurrentYear()
{
    int year = 0, month = 0, day = 0;
    DecodeDate(Now(), year, month, day);
    return year;
}

// ---- FormatDateTime ----------------------------------------------------------------------

namespace {

bool StartsWithNoCase(const std::string& text, std::size_t pos, const char* prefix)
{
    for (std::size_t i = 0; prefix[i] != 0; ++i) {
        if (pos + i >= text.size())
            return false;
        char c = text[pos + i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != prefix[i])
            return false;
    }
    return true;
}

void AppendNumber(std::string& out, int value, int digits)
{
    const std::string text = std::to_string(value);
    for (int i = static_cast<int>(text.size()); i < digits; ++i)
        out += '0';
    out += text;
}

class TDateFormatter {
public:
    TDateFormatter(TDateTime dateTime, const TFormatSettings& settings)
        : Value(dateTime), Settings(settings)
    {
    }

    void Append(std::string& out, const std::string& format)
    {
        // Nested formats (ddddd, c, t) may name others, but only one level deep.
        if (format.empty() || Level >= 2)
            return;
        ++Level;
        char lastToken = ' ';
        bool use12Hour = false;
        std::size_t pos = 0;
        while (pos < format.size()) {
            const char starter = format[pos++];
            char token = starter;
            if (token >= 'a' && token <= 'z')
                token = static_cast<char>(token - 'a' + 'A');
            if (token >= 'A' && token <= 'Z') {
                if (token == 'M' && lastToken == 'H')
                    token = 'N';
                lastToken = token;
            }
            auto count = [&]() {
                const std::size_t first = pos;
                while (pos < format.size() && format[pos] == starter)
                    ++pos;
                return static_cast<int>(pos - first) + 1;
            };
            switch (token) {
            case 'Y': {
                const int n = count();
                DecodeDateParts();
                if (n <= 2)
                    AppendNumber(out, Year % 100, 2);
                else
                    AppendNumber(out, Year, 4);
                break;
            }
            case 'M': {
                const int n = count();
                DecodeDateParts();
                if (n <= 2)
                    AppendNumber(out, Month, n);
                else if (Month >= 1)
                    out += n == 3 ? Settings.ShortMonthNames[Month] : Settings.LongMonthNames[Month];
                break;
            }
            case 'D': {
                const int n = count();
                DecodeDateParts();
                if (n <= 2)
                    AppendNumber(out, Day, n);
                else if (n == 3 && WeekDay >= 1)
                    out += Settings.ShortDayNames[WeekDay];
                else if (n == 4 && WeekDay >= 1)
                    out += Settings.LongDayNames[WeekDay];
                else if (n == 5)
                    Append(out, Settings.ShortDateFormat);
                else if (n > 5)
                    Append(out, Settings.LongDateFormat);
                break;
            }
            case 'H': {
                const int n = count();
                DecodeTimeParts();
                if (!use12Hour)
                    use12Hour = AmPmFollows(format, pos);
                int hour = Hour;
                if (use12Hour)
                    hour = hour == 0 ? 12 : (hour > 12 ? hour - 12 : hour);
                AppendNumber(out, hour, n > 2 ? 2 : n);
                break;
            }
            case 'N': {
                const int n = count();
                DecodeTimeParts();
                AppendNumber(out, Min, n > 2 ? 2 : n);
                break;
            }
            case 'S': {
                const int n = count();
                DecodeTimeParts();
                AppendNumber(out, Sec, n > 2 ? 2 : n);
                break;
            }
            case 'Z': {
                const int n = count();
                DecodeTimeParts();
                AppendNumber(out, MSec, n > 3 ? 3 : n);
                break;
            }
            case 'T': {
                const int n = count();
                Append(out, n == 1 ? Settings.ShortTimeFormat : Settings.LongTimeFormat);
                break;
            }
            case 'A':
                AppendAmPm(out, format, pos, starter, use12Hour);
                break;
            case 'C':
                count();
                Append(out, Settings.ShortDateFormat);
                DecodeTimeParts();
                if (Hour != 0 || Min != 0 || Sec != 0) {
                    out += ' ';
                    Append(out, Settings.LongTimeFormat);
                }
                break;
            case '/':
                if (Settings.DateSeparator != 0)
                    out += Settings.DateSeparator;
                break;
            case ':':
                if (Settings.TimeSeparator != 0)
                    out += Settings.TimeSeparator;
                break;
            case '\'':
            case '"': {
                const std::size_t close = format.find(starter, pos);
                const std::size_t end = close == std::string::npos ? format.size() : close;
                out.append(format, pos, end - pos);
                pos = end < format.size() ? end + 1 : end;
                break;
            }
            default:
                out += starter;
                break;
            }
        }
        --Level;
    }

private:
    // Whether an am/pm marker comes before the next hour in the rest of the format.
    static bool AmPmFollows(const std::string& format, std::size_t pos)
    {
        bool quoted = false;
        for (; pos < format.size(); ++pos) {
            const char c = format[pos];
            if (c == '\'' || c == '"') {
                quoted = !quoted;
            } else if (!quoted && (c == 'A' || c == 'a')) {
                return StartsWithNoCase(format, pos, "AM/PM") ||
                       StartsWithNoCase(format, pos, "A/P") ||
                       StartsWithNoCase(format, pos, "AMPM");
            } else if (!quoted && (c == 'H' || c == 'h')) {
                return false;
            }
        }
        return false;
    }

    void AppendAmPm(std::string& out, const std::string& format, std::size_t& pos, char starter,
                    bool& use12Hour)
    {
        const std::size_t at = pos - 1;
        DecodeTimeParts();
        if (StartsWithNoCase(format, at, "AM/PM")) {
            out.append(format, Hour >= 12 ? at + 3 : at, 2);
            pos = at + 5;
            use12Hour = true;
        } else if (StartsWithNoCase(format, at, "A/P")) {
            out += format[Hour >= 12 ? at + 2 : at];
            pos = at + 3;
            use12Hour = true;
        } else if (StartsWithNoCase(format, at, "AMPM")) {
            out += Hour < 12 ? Settings.TimeAMString : Settings.TimePMString;
            pos = at + 4;
            use12Hour = true;
        } else if (StartsWithNoCase(format, at, "AAAA")) {
            DecodeDateParts();
            if (WeekDay >= 1)
                out += Settings.LongDayNames[WeekDay];
            pos = at + 4;
        } else if (StartsWithNoCase(format, at, "AAA")) {
            DecodeDateParts();
            if (WeekDay >= 1)
                out += Settings.ShortDayNames[WeekDay];
            pos = at + 3;
        } else {
            out += starter;
        }
    }

    void DecodeDateParts()
    {
        if (!DateDecoded) {
            DecodeDateFully(Value, Year, Month, Day, WeekDay);
            DateDecoded = true;
        }
    }

    void DecodeTimeParts()
    {
        if (!TimeDecoded) {
            DecodeTime(Value, Hour, Min, Sec, MSec);
            TimeDecoded = true;
        }
    }

    TDateTime Value;
    const TFormatSettings& Settings;
    int Level = 0;
    bool DateDecoded = false;
    bool TimeDecoded = false;
    int Year = 0, Month = 0, Day = 0, WeekDay = 0;
    int Hour = 0, Min = 0, Sec = 0, MSec = 0;
};

} // namespace

std::string FormatDateTime(const std::string& format, TDateTime dateTime,
                           const TFormatSettings& settings)
{
    std::string out;
    TDateFormatter(dateTime, settings).Append(out, format.empty() ? std::string("C") : format);
    return out;
}

std::string DateToStr(TDateTime date, const TFormatSettings& settings)
{
    return FormatDateTime(settings.ShortDateFormat, date, settings);
}

std::string TimeToStr(TDateTime time, const TFormatSettings& settings)
{
    return FormatDateTime(settings.LongTimeFormat, time, settings);
}

std::string DateTimeToStr(TDateTime dateTime, const TFormatSettings& settings)
{
    return FormatDateTime("", dateTime, settings);
}

// ---- Parsing -----------------------------------------------------------------------------

namespace {

enum TDateOrder { doMDY, doDMY, doYMD };

TDateOrder GetDateOrder(const std::string& format)
{
    for (const char c : format) {
        switch (c & 0xDF) {
        case 'E':
        case 'Y': return doYMD;
        case 'M': return doMDY;
        case 'D': return doDMY;
        default: break;
        }
    }
    return doMDY;
}

// A cursor over the text, with the class library's scanning steps; blanks are spaces only.
class TScanner {
public:
    explicit TScanner(const std::string& text) : Text(text) {}

    bool AtEnd() const { return Pos >= Text.size(); }

    void SkipBlanks()
    {
        while (Pos < Text.size() && Text[Pos] == ' ')
            ++Pos;
    }

    // Up to the first digit that brings the value to 1000 or more.
    bool Number(int& value, int& length)
    {
        SkipBlanks();
        const std::size_t start = Pos;
        int n = 0;
        while (Pos < Text.size() && Text[Pos] >= '0' && Text[Pos] <= '9' && n < 1000) {
            n = n * 10 + (Text[Pos] - '0');
            ++Pos;
        }
        if (Pos == start)
            return false;
        value = n;
        length = static_cast<int>(Pos - start);
        return true;
    }

    bool Number(int& value)
    {
        int length = 0;
        return Number(value, length);
    }

    bool Char(char c)
    {
        SkipBlanks();
        if (Pos < Text.size() && Text[Pos] == c) {
            ++Pos;
            return true;
        }
        return false;
    }

    bool Symbol(const std::string& symbol)
    {
        if (symbol.empty())
            return false;
        SkipBlanks();
        if (AnsiSameText(symbol, Text.substr(Pos, symbol.size()))) {
            Pos += symbol.size();
            return true;
        }
        return false;
    }

private:
    const std::string& Text;
    std::size_t Pos = 0;
};

bool ScanDate(TScanner& scan, TDateTime& date, const TFormatSettings& settings)
{
    const TDateOrder order = GetDateOrder(settings.ShortDateFormat);
    int n1 = 0, n2 = 0, n3 = 0, length1 = 0, length3 = 0;
    if (!(scan.Number(n1, length1) && scan.Char(settings.DateSeparator) && scan.Number(n2)))
        return false;
    int year = 0, month = 0, day = 0;
    if (scan.Char(settings.DateSeparator)) {
        if (!scan.Number(n3, length3))
            return false;
        int yearLength = length3;
        switch (order) {
        case doMDY: year = n3; month = n1; day = n2; break;
        case doDMY: year = n3; month = n2; day = n1; break;
        case doYMD: year = n1; month = n2; day = n3; yearLength = length1; break;
        }
        if (yearLength <= 2) {
            // The hundred years starting `window` years before the current one.
            const int window = settings.TwoDigitYearCenturyWindow;
            const int centuryBase = CurrentYear() - window;
            year += centuryBase / 100 * 100;
            if (window > 0 && year < centuryBase)
                year += 100;
        }
    } else {
        year = CurrentYear();
        if (order == doDMY) {
            day = n1;
            month = n2;
        } else {
            month = n1;
            day = n2;
        }
    }
    scan.Char(settings.DateSeparator);
    scan.SkipBlanks();
    return TryEncodeDate(year, month, day, date);
}

bool ScanTime(TScanner& scan, TDateTime& time, const TFormatSettings& settings)
{
    int baseHour = -1;
    if (scan.Symbol(settings.TimeAMString) || scan.Symbol("AM"))
        baseHour = 0;
    else if (scan.Symbol(settings.TimePMString) || scan.Symbol("PM"))
        baseHour = 12;
    if (baseHour >= 0)
        scan.SkipBlanks();
    int hour = 0, min = 0, sec = 0, msec = 0;
    if (!scan.Number(hour))
        return false;
    if (scan.Char(settings.TimeSeparator)) {
        if (!scan.Number(min))
            return false;
        if (scan.Char(settings.TimeSeparator)) {
            if (!scan.Number(sec))
                return false;
            if (scan.Char(settings.DecimalSeparator) && !scan.Number(msec))
                return false;
        }
    }
    if (baseHour < 0) {
        if (scan.Symbol(settings.TimeAMString) || scan.Symbol("AM"))
            baseHour = 0;
        else if (scan.Symbol(settings.TimePMString) || scan.Symbol("PM"))
            baseHour = 12;
    }
    if (baseHour >= 0) {
        if (hour == 0 || hour > 12)
            return false;
        if (hour == 12)
            hour = 0;
        hour += baseHour;
    }
    scan.SkipBlanks();
    return TryEncodeTime(hour, min, sec, msec, time);
}

[[noreturn]] void RaiseInvalid(const std::string& text, const char* what)
{
    RAISE(EConvertError("'" + text + "' is not a valid " + what));
}

} // namespace

bool TryStrToDate(const std::string& text, TDateTime& date, const TFormatSettings& settings)
{
    TScanner scan(text);
    TDateTime result = 0;
    if (!ScanDate(scan, result, settings) || !scan.AtEnd())
        return false;
    date = result;
    return true;
}

bool TryStrToTime(const std::string& text, TDateTime& time, const TFormatSettings& settings)
{
    TScanner scan(text);
    TDateTime result = 0;
    if (!ScanTime(scan, result, settings) || !scan.AtEnd())
        return false;
    time = result;
    return true;
}

bool TryStrToDateTime(const std::string& text, TDateTime& dateTime,
                      const TFormatSettings& settings)
{
    TScanner scan(text);
    TDateTime date = 0;
    TDateTime time = 0;
    if (!ScanDate(scan, date, settings))
        return TryStrToTime(text, dateTime, settings);
    // Whatever follows the date must be a time and nothing more.
    if (!scan.AtEnd() && !(ScanTime(scan, time, settings) && scan.AtEnd()))
        return TryStrToTime(text, dateTime, settings);
    dateTime = date >= 0 ? date + time : date - time;
    return true;
}

TDateTime StrToDate(const std::string& text, const TFormatSettings& settings)
{
    TDateTime date = 0;
    if (!TryStrToDate(text, date, settings))
        RaiseInvalid(text, "date");
    return date;
}

TDateTime StrToTime(const std::string& text, const TFormatSettings& settings)
{
    TDateTime time = 0;
    if (!TryStrToTime(text, time, settings))
        RaiseInvalid(text, "time");
    return time;
}

TDateTime StrToDateTime(const std::string& text, const TFormatSettings& settings)
{
    TDateTime dateTime = 0;
    if (!TryStrToDateTime(text, dateTime, settings))
        RaiseInvalid(text, "date and time");
    return dateTime;
}

TDateTime StrToDateDef(const std::string& text, TDateTime defaultValue,
                       const TFormatSettings& settings)
{
    TDateTime date = 0;
    return TryStrToDate(text, date, settings) ? date : defaultValue;
}

TDateTime StrToTimeDef(const std::string& text, TDateTime defaultValue,
                       const TFormatSettings& settings)
{
    TDateTime time = 0;
    return TryStrToTime(text, time, settings) ? time : defaultValue;
}

TDateTime StrToDateTimeDef(const std::string& text, TDateTime defaultValue,
                           const TFormatSettings& settings)
{
    TDateTime dateTime = 0;
    return TryStrToDateTime(text, dateTime, settings) ? dateTime : defaultValue;
}
