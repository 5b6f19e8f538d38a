#pragma once
// The regional settings that number and date conversions follow: those of an Italian Windows,
// whatever the machine's locale.

#include <array>
#include <string>

// Names indexed from 1, as the month and day name tables of the class library are.
template <int Count>
struct TNameArray {
    std::array<std::string, Count> Items;

    std::string& operator[](int index) { return Items.at(static_cast<std::size_t>(index - 1)); }
    const std::string& operator[](int index) const
    {
        return Items.at(static_cast<std::size_t>(index - 1));
    }
};

using TMonthNameArray = TNameArray<12>;
using TWeekNameArray = TNameArray<7>; // 1 = Sunday

struct TFormatSettings {
    // 0 "€1", 1 "1€", 2 "€ 1", 3 "1 €"
    int CurrencyFormat = 2;
    // 0 "(€1)" ... 9 "-€ 1" ... 15 "(1 €)", as the class library numbers them
    int NegCurrFormat = 9;
    char ThousandSeparator = '.';
    char DecimalSeparator = ',';
    int CurrencyDecimals = 2;
    char DateSeparator = '/';
    char TimeSeparator = '.';
    char ListSeparator = ';';
    std::string CurrencyString = "\x80";
    std::string ShortDateFormat = "dd/mm/yyyy";
    std::string LongDateFormat = "dddd d mmmm yyyy";
    std::string TimeAMString;
    std::string TimePMString;
    std::string ShortTimeFormat = "hh.nn";
    std::string LongTimeFormat = "hh.nn.ss";
    TMonthNameArray ShortMonthNames{
        {"gen", "feb", "mar", "apr", "mag", "giu", "lug", "ago", "set", "ott", "nov", "dic"}};
    TMonthNameArray LongMonthNames{{"gennaio", "febbraio", "marzo", "aprile", "maggio", "giugno",
                                    "luglio", "agosto", "settembre", "ottobre", "novembre",
                                    "dicembre"}};
    TWeekNameArray ShortDayNames{{"dom", "lun", "mar", "mer", "gio", "ven", "sab"}};
    TWeekNameArray LongDayNames{{"domenica", "luned\xEC", "marted\xEC", "mercoled\xEC",
                                 "gioved\xEC", "venerd\xEC", "sabato"}};
    int TwoDigitYearCenturyWindow = 50;
};

// The process-wide settings every conversion uses when it is given none. Changing them changes
// every later conversion; use TFormatSettingsSaver to change them for a while.
TFormatSettings& FormatSettings();

// The Italian defaults, as a fresh TFormatSettings holds them.
TFormatSettings DefaultFormatSettings();

// Keeps a copy of the process-wide settings and puts it back when it goes out of scope.
class TFormatSettingsSaver {
public:
    TFormatSettingsSaver();
    ~TFormatSettingsSaver();
    TFormatSettingsSaver(const TFormatSettingsSaver&) = delete;
    TFormatSettingsSaver& operator=(const TFormatSettingsSaver&) = delete;

private:
    TFormatSettings Saved;
};
