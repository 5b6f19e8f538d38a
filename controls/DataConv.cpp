#include "controls/DataConv.h"

#include "platform/rtl/FormatSettings.h"
#include "platform/rtl/TextUtils.h"

#include <cmath>

namespace {

std::string DataConvCut(const std::string& text, std::size_t length)
{
    return text.size() > length ? text.substr(0, length) : text;
}

std::string DataConvQuoted(char separator) { return std::string("\"") + separator + "\""; }

} // namespace

// --- TDateTimeFormat ------------------------------------------------------------------------

TDateTimeFormat::TDateTimeFormat() { ResetDefault(); }

void TDateTimeFormat::Assign(TPersistent* Source)
{
    auto* source = dynamic_cast<TDateTimeFormat*>(Source);
    if (!source) {
        TPersistent::Assign(Source);
        return;
    }
    FAMString = source->FAMString;
    FPMString = source->FPMString;
    DateOrder = source->DateOrder;
    TimeFormat = source->TimeFormat;
    TimeSeparator = source->TimeSeparator;
    DateSeparator = source->DateSeparator;
    LongDate = source->LongDate;
    FourDigitYear = source->FourDigitYear;
    LeadingZero = source->LeadingZero;
}

void TDateTimeFormat::SetAMString(const std::string& value)
{
    FAMString = DataConvCut(value.empty() ? FormatSettings().TimeAMString : value, 7);
}

void TDateTimeFormat::SetPMString(const std::string& value)
{
    FPMString = DataConvCut(value.empty() ? FormatSettings().TimePMString : value, 7);
}

std::string TDateTimeFormat::GetDateMask() const
{
    const std::string day = LeadingZero ? "dd" : "d";
    const std::string month = LongDate ? "mmmm" : LeadingZero ? "mm" : "m";
    const std::string year = FourDigitYear ? "yyyy" : "yy";
    const std::string separator = LongDate ? " " : DataConvQuoted(DateSeparator);
    switch (DateOrder) {
    case doMDY: return month + separator + day + separator + year;
    case doYMD: return year + separator + month + separator + day;
    default: return day + separator + month + separator + year;
    }
}

std::string TDateTimeFormat::GetTimeMask() const
{
    const std::string separator = DataConvQuoted(TimeSeparator);
    std::string mask = (LeadingZero ? "hh" : "h") + separator + (LeadingZero ? "nn" : "n");
    if (TimeFormat == tfHHMMSS || TimeFormat == tfHMMSS)
        mask += separator + (LeadingZero ? "ss" : "s");
    if (TimeFormat == tfHMMSS || TimeFormat == tfHMM)
        mask += DataConvCut(" " + FAMString + "/" + FPMString, 16);
    return mask;
}

std::string TDateTimeFormat::GetMask() const { return GetDateMask() + " " + GetTimeMask(); }

void TDateTimeFormat::ResetDefault()
{
    SetAMString({});
    SetPMString({});
    TimeSeparator = FormatSettings().TimeSeparator;
    DateSeparator = FormatSettings().DateSeparator;
    DateOrder = doDMY;
    TimeFormat = tfHHMMSS;
    LongDate = false;
    FourDigitYear = true;
    LeadingZero = false;
}

// --- TConverter -----------------------------------------------------------------------------

TConverter::TConverter(TComponent* AOwner) : TComponent(AOwner), FDateTimeFormat(std::make_unique<TDateTimeFormat>())
{
}

TConverter::~TConverter() = default;

void TConverter::SetDataType(TDataType value)
{
    if (value == FDataType)
        return;
    FDataType = value;
    try {
        CheckDataType();
    } catch (const Exception&) {
        Clear();
        if (RaiseOnError)
            throw;
        return;
    }
    Change();
}

std::string TConverter::GetBoolValues(int index) const { return FBoolValues[index == 0 ? 0 : 1]; }

void TConverter::SetBoolValues(int index, const std::string& value)
{
    FBoolValues[index == 0 ? 0 : 1] = DataConvCut(value, 15);
}

void TConverter::Clear()
{
    FText.clear();
    Change();
}

void TConverter::Change()
{
    if (OnChange)
        OnChange(this);
}

TDateTime TConverter::TextToDateTime() const
{
    const TDateTimeFormat& format = *FDateTimeFormat;
    const auto isDateSeparator = [&](char c) {
        return c == '.' || c == '/' || (c == format.DateSeparator && format.DateSeparator != format.TimeSeparator);
    };
    const auto isTimeSeparator = [&](char c) {
        return c == '-' || c == ':' || (c == format.TimeSeparator && format.TimeSeparator != format.DateSeparator);
    };
    std::string text = FText;
    for (char& c : text) {
        if (isDateSeparator(c))
            c = FormatSettings().DateSeparator;
        else if (isTimeSeparator(c))
            c = FormatSettings().TimeSeparator;
    }
    return StrToDateTime(text);
}

void TConverter::CheckDataType() const
{
    switch (FDataType) {
    case dtInteger:
    case dtFloat:
        StrToFloat(FText);
        break;
    case dtDateTime:
    case dtDate:
    case dtTime:
        TextToDateTime();
        break;
    default:
        break;
    }
}

bool TConverter::GetAsBoolean() const
{
    const std::string text = DataConvCut(FText, 15);
    if (text.empty())
        return false;
    const char first = text[0];
    return first == 'T' || first == 'Y' || first == 't' || first == 'y' || text == DisplayTrue();
}

TDateTime TConverter::GetAsDateTime() const
{
    try {
        return TextToDateTime();
    } catch (const Exception&) {
        return NullDate;
    }
}

TDateTime TConverter::GetAsDate() const
{
    try {
        return std::trunc(TextToDateTime());
    } catch (const Exception&) {
        return NullDate;
    }
}

TDateTime TConverter::GetAsTime() const
{
    try {
        return std::fabs(Frac(TextToDateTime()));
    } catch (const Exception&) {
        return NullDate;
    }
}

double TConverter::GetAsFloat() const
{
    switch (FDataType) {
    case dtDateTime: return GetAsDateTime();
    case dtDate: return GetAsDate();
    case dtTime: return GetAsTime();
    default: break;
    }
    double value = 0;
    return TextToFloat(FText, value) ? value : 0.0;
}

std::int64_t TConverter::GetAsInteger() const { return Round(GetAsFloat()); }

std::string TConverter::GetAsString() const
{
    switch (FDataType) {
    case dtInteger: return IntToStr(GetAsInteger());
    case dtFloat: return FloatToString(GetAsFloat());
    case dtDateTime: return DateTimeToString(GetAsDateTime());
    case dtDate: return FormatDateTime(FDateTimeFormat->GetDateMask(), GetAsDate());
    case dtTime: return FormatDateTime(FDateTimeFormat->GetTimeMask(), GetAsTime());
    case dtBoolean: return BoolToStr(GetAsBoolean());
    default: return FText;
    }
}

void TConverter::SetAsBoolean(bool value) { SetAsString(BoolToStr(value)); }
void TConverter::SetAsDateTime(TDateTime value) { SetAsString(DateTimeToStr(value)); }
void TConverter::SetAsDate(TDateTime value) { SetAsString(DateTimeToStr(value)); }
void TConverter::SetAsTime(TDateTime value) { SetAsString(DateTimeToStr(value)); }

void TConverter::SetAsFloat(double value)
{
    if (FDataType == dtDateTime || FDataType == dtDate || FDataType == dtTime)
        SetAsDateTime(value);
    else
        SetAsString(FloatToStr(value));
}

void TConverter::SetAsInteger(std::int64_t value)
{
    if (FDataType == dtInteger)
        SetAsString(IntToStr(value));
    else
        SetAsFloat(static_cast<double>(value));
}

void TConverter::SetAsString(const std::string& value)
{
    std::string old = std::move(FText);
    FText = value;
    try {
        CheckDataType();
    } catch (const Exception&) {
        FText = std::move(old);
        if (RaiseOnError)
            throw;
        return;
    }
    Change();
}

bool TConverter::IsValidChar(char Ch) const
{
    const bool sign = Ch == '+' || Ch == '-';
    const bool digit = Ch >= '0' && Ch <= '9';
    switch (FDataType) {
    case dtInteger: return sign || digit;
    case dtFloat: return sign || digit || Ch == 'E' || Ch == 'e' || Ch == FormatSettings().DecimalSeparator;
    default: return true;
    }
}

std::string TConverter::FloatToString(double value) const
{
    return FloatToStrF(value, FloatFormat, Precision, Digits);
}

std::string TConverter::DateTimeToString(TDateTime value) const
{
    return FormatDateTime(FDateTimeFormat->GetMask(), value);
}

std::string TConverter::BoolToStr(bool value) const { return FBoolValues[value ? 1 : 0]; }
