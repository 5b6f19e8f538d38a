#include "platform/db/StdFields.h"

#include "platform/db/DataSet.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

// A buffer for one native value: on the stack for the usual sizes.
class TValueBuffer {
public:
    explicit TValueBuffer(int size)
    {
        if (size > static_cast<int>(sizeof FSmall)) {
            FLarge.assign(static_cast<std::size_t>(size), '\0');
            FData = FLarge.data();
        } else {
            std::memset(FSmall, 0, sizeof FSmall);
        }
    }
    char* Data() { return FData; }

private:
    char FSmall[264];
    std::string FLarge;
    char* FData = FSmall;
};

template <typename T>
T ReadNative(const char* buffer)
{
    T value;
    std::memcpy(&value, buffer, sizeof value);
    return value;
}

template <typename T>
void WriteNative(char* buffer, T value)
{
    std::memcpy(buffer, &value, sizeof value);
}

[[noreturn]] void RaiseConvert(const char* message, const std::string& value)
{
    RAISE(EConvertError(Format(message, {value})));
}

std::string FieldClassDesc(const TField* field)
{
    std::string name = field->ClassName();
    if (name.size() > 1 && name[0] == 'T')
        name.erase(0, 1);
    if (name.size() > 5 && name.compare(name.size() - 5, 5, "Field") == 0)
        name.erase(name.size() - 5);
    std::string text = "(" + name + ")";
    if (!field->IsNull())
        text = AnsiUpperCase(text);
    return text;
}

} // namespace

// --- Native date and time forms ---

std::int32_t DateTimeToNativeDate(double dateTime)
{
    return DateTimeToTimeStamp(dateTime).Date;
}

std::int32_t DateTimeToNativeTime(double dateTime)
{
    return DateTimeToTimeStamp(dateTime).Time;
}

double DateTimeToNativeDateTime(double dateTime)
{
    return static_cast<double>(TimeStampToMSecs(DateTimeToTimeStamp(dateTime)));
}

double NativeDateToDateTime(std::int32_t days)
{
    TTimeStamp stamp;
    stamp.Date = days;
    stamp.Time = 0;
    return TimeStampToDateTime(stamp);
}

double NativeTimeToDateTime(std::int32_t milliseconds)
{
    TTimeStamp stamp;
    stamp.Date = DateDelta;
    stamp.Time = milliseconds;
    return TimeStampToDateTime(stamp);
}

double NativeDateTimeToDateTime(double milliseconds)
{
    return TimeStampToDateTime(MSecsToTimeStamp(static_cast<std::int64_t>(milliseconds)));
}

// --- TStringField ---

TStringField::TStringField(TComponent* AOwner) : TField(AOwner)
{
    SetDataType(ftString);
    SetSize(20);
}

bool TStringField::GetValue(std::string& value) const
{
    const int size = DataSize();
    TValueBuffer buffer(size);
    if (!GetData(buffer.Data()))
        return false;
    value.assign(buffer.Data(), strnlen(buffer.Data(), static_cast<std::size_t>(size)));
    if (FFixedChar) {
        const std::size_t end = value.find_last_not_of(' ');
        value.erase(end == std::string::npos ? 0 : end + 1);
    }
    return true;
}

std::string TStringField::GetAsString() const
{
    std::string value;
    GetValue(value);
    return value;
}

void TStringField::SetAsString(const std::string& value)
{
    TValueBuffer buffer(DataSize());
    const std::size_t length = std::min(value.size(), static_cast<std::size_t>(Size()));
    std::memcpy(buffer.Data(), value.data(), length);
    buffer.Data()[length] = '\0';
    SetData(buffer.Data());
}

int TStringField::GetAsInteger() const
{
    return StrToInt(GetAsString());
}

double TStringField::GetAsFloat() const
{
    return StrToFloat(GetAsString());
}

bool TStringField::GetAsBoolean() const
{
    const std::string value = GetAsString();
    return !value.empty() &&
           (value[0] == 'T' || value[0] == 't' || value[0] == 'Y' || value[0] == 'y');
}

double TStringField::GetAsDateTime() const
{
    return StrToDateTime(GetAsString());
}

Variant TStringField::GetAsVariant() const
{
    std::string value;
    if (!GetValue(value))
        return Null();
    return Variant(value);
}

void TStringField::SetVarValue(const Variant& value)
{
    SetAsString(VarToStr(value));
}

void TStringField::SetAsInteger(int value)
{
    SetAsString(IntToStr(value));
}

void TStringField::SetAsFloat(double value)
{
    SetAsString(FloatToStr(value));
}

void TStringField::SetAsBoolean(bool value)
{
    SetAsString(value ? "T" : "F");
}

void TStringField::SetAsDateTime(double value)
{
    SetAsString(DateTimeToStr(value));
}

// --- TNumericField ---

TNumericField::TNumericField(TComponent* AOwner) : TField(AOwner)
{
    SetAlignment(taRightJustify);
}

void TNumericField::SetDisplayFormat(const std::string& value)
{
    if (FDisplayFormat != value) {
        FDisplayFormat = value;
        PropertyChanged(false);
    }
}

void TNumericField::SetEditFormat(const std::string& value)
{
    if (FEditFormat != value) {
        FEditFormat = value;
        PropertyChanged(false);
    }
}

const std::string& TNumericField::FormatFor(bool displayText) const
{
    return displayText || FEditFormat.empty() ? FDisplayFormat : FEditFormat;
}

// --- TIntegerField ---

TIntegerField::TIntegerField(TComponent* AOwner) : TNumericField(AOwner)
{
    SetDataType(ftInteger);
}

void TIntegerField::SetMinValue(int value)
{
    FMinValue = value;
    PropertyChanged(false);
}

void TIntegerField::SetMaxValue(int value)
{
    FMaxValue = value;
    PropertyChanged(false);
}

bool TIntegerField::GetValue(int& value) const
{
    char buffer[8] = {};
    if (!GetData(buffer))
        return false;
    switch (DataType()) {
    case ftSmallint:
        value = ReadNative<std::int16_t>(buffer);
        break;
    case ftWord:
        value = ReadNative<std::uint16_t>(buffer);
        break;
    default:
        value = ReadNative<std::int32_t>(buffer);
        break;
    }
    return true;
}

void TIntegerField::CheckRange(std::int64_t value) const
{
    std::int64_t minimum = FMinRange;
    std::int64_t maximum = FMaxRange;
    if (FMinValue != 0 || FMaxValue != 0) {
        minimum = FMinValue;
        maximum = FMaxValue;
    }
    if (value < minimum || value > maximum)
        DatabaseErrorFmt(DBMessages::FieldRangeError,
                         {static_cast<double>(value), DisplayName(),
                          static_cast<double>(minimum), static_cast<double>(maximum)});
}

void TIntegerField::SetAsInteger(int value)
{
    CheckRange(value);
    char buffer[8] = {};
    switch (DataType()) {
    case ftSmallint:
        WriteNative(buffer, static_cast<std::int16_t>(value));
        break;
    case ftWord:
        WriteNative(buffer, static_cast<std::uint16_t>(value));
        break;
    default:
        WriteNative(buffer, static_cast<std::int32_t>(value));
        break;
    }
    SetData(buffer);
}

void TIntegerField::SetAsString(const std::string& value)
{
    if (value.empty()) {
        Clear();
        return;
    }
    std::int64_t number = 0;
    if (!TryStrToInt64(value, number))
        RaiseConvert(DBMessages::InvalidIntegerValue, value);
    CheckRange(number);
    SetAsInteger(static_cast<int>(number));
}

void TIntegerField::SetAsFloat(double value)
{
    const std::int64_t number = Round(value);
    CheckRange(number);
    SetAsInteger(static_cast<int>(number));
}

std::string TIntegerField::GetAsString() const
{
    int value = 0;
    return GetValue(value) ? IntToStr(value) : std::string();
}

int TIntegerField::GetAsInteger() const
{
    int value = 0;
    GetValue(value);
    return value;
}

double TIntegerField::GetAsFloat() const
{
    return GetAsInteger();
}

Variant TIntegerField::GetAsVariant() const
{
    int value = 0;
    return GetValue(value) ? Variant(value) : Null();
}

void TIntegerField::SetVarValue(const Variant& value)
{
    const auto number = static_cast<std::int64_t>(value);
    CheckRange(number);
    SetAsInteger(static_cast<int>(number));
}

void TIntegerField::GetText(std::string& text, bool displayText) const
{
    int value = 0;
    if (!GetValue(value)) {
        text.clear();
        return;
    }
    const std::string& format = FormatFor(displayText);
    text = format.empty() ? IntToStr(value) : FormatFloat(format, value);
}

TSmallintField::TSmallintField(TComponent* AOwner) : TIntegerField(AOwner)
{
    SetDataType(ftSmallint);
    FMinRange = -32768;
    FMaxRange = 32767;
}

TWordField::TWordField(TComponent* AOwner) : TIntegerField(AOwner)
{
    SetDataType(ftWord);
    FMinRange = 0;
    FMaxRange = 65535;
}

TAutoIncField::TAutoIncField(TComponent* AOwner) : TIntegerField(AOwner)
{
    SetDataType(ftAutoInc);
}

// --- TLargeintField ---

TLargeintField::TLargeintField(TComponent* AOwner) : TNumericField(AOwner)
{
    SetDataType(ftLargeint);
}

bool TLargeintField::GetValue(std::int64_t& value) const
{
    char buffer[8] = {};
    if (!GetData(buffer))
        return false;
    value = ReadNative<std::int64_t>(buffer);
    return true;
}

std::int64_t TLargeintField::AsLargeInt() const
{
    std::int64_t value = 0;
    GetValue(value);
    return value;
}

void TLargeintField::SetAsLargeInt(std::int64_t value)
{
    char buffer[8];
    WriteNative(buffer, value);
    SetData(buffer);
}

void TLargeintField::SetAsString(const std::string& value)
{
    if (value.empty()) {
        Clear();
        return;
    }
    std::int64_t number = 0;
    if (!TryStrToInt64(value, number))
        RaiseConvert(DBMessages::InvalidIntegerValue, value);
    SetAsLargeInt(number);
}

void TLargeintField::SetAsFloat(double value)
{
    SetAsLargeInt(Round(value));
}

std::string TLargeintField::GetAsString() const
{
    std::int64_t value = 0;
    return GetValue(value) ? IntToStr(value) : std::string();
}

int TLargeintField::GetAsInteger() const
{
    return static_cast<int>(AsLargeInt());
}

double TLargeintField::GetAsFloat() const
{
    return static_cast<double>(AsLargeInt());
}

Variant TLargeintField::GetAsVariant() const
{
    std::int64_t value = 0;
    return GetValue(value) ? Variant(static_cast<long long>(value)) : Null();
}

void TLargeintField::SetVarValue(const Variant& value)
{
    SetAsLargeInt(static_cast<std::int64_t>(value));
}

void TLargeintField::GetText(std::string& text, bool displayText) const
{
    std::int64_t value = 0;
    if (!GetValue(value)) {
        text.clear();
        return;
    }
    const std::string& format = FormatFor(displayText);
    text = format.empty() ? IntToStr(value) : FormatFloat(format, static_cast<double>(value));
}

// --- TBooleanField ---

TBooleanField::TBooleanField(TComponent* AOwner) : TField(AOwner)
{
    SetDataType(ftBoolean);
}

void TBooleanField::SetDisplayValues(const std::string& value)
{
    FDisplayValues = value;
    if (value.empty()) {
        FTrueText = "True";
        FFalseText = "False";
    } else {
        const std::size_t separator = value.find(';');
        FTrueText = value.substr(0, separator);
        FFalseText = separator == std::string::npos ? std::string() : value.substr(separator + 1);
    }
    PropertyChanged(true);
}

int TBooleanField::GetDefaultWidth() const
{
    return static_cast<int>(std::max(FTrueText.size(), FFalseText.size()));
}

bool TBooleanField::GetAsBoolean() const
{
    char buffer[2] = {};
    return GetData(buffer) && ReadNative<std::int16_t>(buffer) != 0;
}

void TBooleanField::SetAsBoolean(bool value)
{
    char buffer[2];
    WriteNative(buffer, static_cast<std::int16_t>(value ? 1 : 0));
    SetData(buffer);
}

std::string TBooleanField::GetAsString() const
{
    char buffer[2] = {};
    if (!GetData(buffer))
        return {};
    return ReadNative<std::int16_t>(buffer) != 0 ? FTrueText : FFalseText;
}

void TBooleanField::SetAsString(const std::string& value)
{
    if (value.empty()) {
        Clear();
        return;
    }
    if (AnsiSameText(value, FFalseText.substr(0, value.size())))
        SetAsBoolean(false);
    else if (AnsiSameText(value, FTrueText.substr(0, value.size())))
        SetAsBoolean(true);
    else
        DatabaseErrorFmt(DBMessages::FieldValueError, {DisplayName()});
}

Variant TBooleanField::GetAsVariant() const
{
    char buffer[2] = {};
    if (!GetData(buffer))
        return Null();
    return Variant(ReadNative<std::int16_t>(buffer) != 0);
}

void TBooleanField::SetVarValue(const Variant& value)
{
    SetAsBoolean(static_cast<bool>(value));
}

// --- TFloatField ---

TFloatField::TFloatField(TComponent* AOwner) : TNumericField(AOwner)
{
    SetDataType(ftFloat);
}

void TFloatField::SetCurrency(bool value)
{
    if (FCurrency != value) {
        FCurrency = value;
        PropertyChanged(false);
    }
}

void TFloatField::SetPrecision(int value)
{
    value = std::clamp(value, 2, 15);
    if (FPrecision != value) {
        FPrecision = value;
        PropertyChanged(false);
    }
}

bool TFloatField::GetValue(double& value) const
{
    char buffer[8] = {};
    if (!GetData(buffer))
        return false;
    value = ReadNative<double>(buffer);
    return true;
}

void TFloatField::SetAsFloat(double value)
{
    if ((FMinValue != 0 || FMaxValue != 0) && (value < FMinValue || value > FMaxValue))
        DatabaseErrorFmt(DBMessages::FieldRangeError, {value, DisplayName(), FMinValue, FMaxValue});
    char buffer[8];
    WriteNative(buffer, value);
    SetData(buffer);
}

void TFloatField::SetAsString(const std::string& value)
{
    if (value.empty()) {
        Clear();
        return;
    }
    double number = 0;
    if (!TextToFloat(value, number))
        RaiseConvert(DBMessages::InvalidFloatValue, value);
    SetAsFloat(number);
}

std::string TFloatField::GetAsString() const
{
    double value = 0;
    return GetValue(value) ? FloatToStr(value) : std::string();
}

int TFloatField::GetAsInteger() const
{
    return static_cast<int>(Round(GetAsFloat()));
}

double TFloatField::GetAsFloat() const
{
    double value = 0;
    GetValue(value);
    return value;
}

Variant TFloatField::GetAsVariant() const
{
    double value = 0;
    return GetValue(value) ? Variant(value) : Null();
}

void TFloatField::SetVarValue(const Variant& value)
{
    SetAsFloat(static_cast<double>(value));
}

void TFloatField::GetText(std::string& text, bool displayText) const
{
    double value = 0;
    if (!GetValue(value)) {
        text.clear();
        return;
    }
    const std::string& format = FormatFor(displayText);
    if (!format.empty()) {
        text = FormatFloat(format, value);
    } else if (FCurrency) {
        text = FloatToStrF(value, displayText ? ffCurrency : ffFixed, FPrecision,
                           FormatSettings().CurrencyDecimals);
    } else {
        text = FloatToStrF(value, ffGeneral, FPrecision, 0);
    }
}

TCurrencyField::TCurrencyField(TComponent* AOwner) : TFloatField(AOwner)
{
    SetDataType(ftCurrency);
    SetCurrency(true);
}

// --- TBCDField ---

TBCDField::TBCDField(TComponent* AOwner) : TNumericField(AOwner)
{
    SetDataType(ftBCD);
    SetSize(4);
}

void TBCDField::SetCurrency(bool value)
{
    if (FCurrency != value) {
        FCurrency = value;
        PropertyChanged(false);
    }
}

TBcd TBCDField::AsBCD() const
{
    TBcd value;
    if (!GetData(&value))
        return TBcd{};
    return value;
}

void TBCDField::SetAsBCD(const TBcd& value)
{
    CheckRange(BcdToDouble(value));
    SetData(&value);
}

void TBCDField::CheckRange(double value) const
{
    if ((FMinValue != 0 || FMaxValue != 0) && (value < FMinValue || value > FMaxValue))
        DatabaseErrorFmt(DBMessages::FieldRangeError, {value, DisplayName(), FMinValue, FMaxValue});
}

void TBCDField::SetAsFloat(double value)
{
    SetAsBCD(DoubleToBcd(value));
}

void TBCDField::SetAsString(const std::string& value)
{
    if (value.empty()) {
        Clear();
        return;
    }
    TBcd number;
    if (!TryStrToBcd(value, number))
        RaiseConvert(DBMessages::InvalidFloatValue, value);
    SetAsBCD(number);
}

std::string TBCDField::GetAsString() const
{
    TBcd value;
    return GetData(&value) ? BcdToStr(value) : std::string();
}

int TBCDField::GetAsInteger() const
{
    return static_cast<int>(Round(GetAsFloat()));
}

double TBCDField::GetAsFloat() const
{
    TBcd value;
    return GetData(&value) ? BcdToDouble(value) : 0.0;
}

Variant TBCDField::GetAsVariant() const
{
    TBcd value;
    return GetData(&value) ? VarFromCurrency(BcdToDouble(value)) : Null();
}

void TBCDField::SetVarValue(const Variant& value)
{
    if (VarType(value) == varString)
        SetAsString(VarToStr(value));
    else
        SetAsFloat(static_cast<double>(value));
}

void TBCDField::GetText(std::string& text, bool displayText) const
{
    TBcd value;
    if (!GetData(&value)) {
        text.clear();
        return;
    }
    const std::string& format = FormatFor(displayText);
    if (!format.empty())
        text = FormatFloat(format, BcdToDouble(value));
    else if (FCurrency)
        text = FloatToStrF(BcdToDouble(value), displayText ? ffCurrency : ffFixed, 15,
                           FormatSettings().CurrencyDecimals);
    else
        text = BcdToStr(value);
}

// --- TDateTimeField ---

TDateTimeField::TDateTimeField(TComponent* AOwner) : TField(AOwner)
{
    SetDataType(ftDateTime);
}

TDateField::TDateField(TComponent* AOwner) : TDateTimeField(AOwner)
{
    SetDataType(ftDate);
}

TTimeField::TTimeField(TComponent* AOwner) : TDateTimeField(AOwner)
{
    SetDataType(ftTime);
}

void TDateTimeField::SetDisplayFormat(const std::string& value)
{
    if (FDisplayFormat != value) {
        FDisplayFormat = value;
        PropertyChanged(false);
    }
}

bool TDateTimeField::GetValue(double& value) const
{
    char buffer[8] = {};
    if (!GetData(buffer))
        return false;
    switch (DataType()) {
    case ftDate:
        value = NativeDateToDateTime(ReadNative<std::int32_t>(buffer));
        break;
    case ftTime:
        value = NativeTimeToDateTime(ReadNative<std::int32_t>(buffer));
        break;
    default:
        value = NativeDateTimeToDateTime(ReadNative<double>(buffer));
        break;
    }
    return true;
}

void TDateTimeField::SetAsDateTime(double value)
{
    char buffer[8] = {};
    switch (DataType()) {
    case ftDate:
        WriteNative(buffer, DateTimeToNativeDate(value));
        break;
    case ftTime:
        WriteNative(buffer, DateTimeToNativeTime(value));
        break;
    default:
        WriteNative(buffer, DateTimeToNativeDateTime(value));
        break;
    }
    SetData(buffer);
}

void TDateTimeField::SetAsString(const std::string& value)
{
    if (value.empty()) {
        Clear();
        return;
    }
    switch (DataType()) {
    case ftDate:
        SetAsDateTime(StrToDate(value));
        break;
    case ftTime:
        SetAsDateTime(StrToTime(value));
        break;
    default:
        SetAsDateTime(StrToDateTime(value));
        break;
    }
}

double TDateTimeField::GetAsDateTime() const
{
    double value = 0;
    GetValue(value);
    return value;
}

std::string TDateTimeField::GetAsString() const
{
    std::string text;
    GetText(text, false);
    return text;
}

Variant TDateTimeField::GetAsVariant() const
{
    double value = 0;
    return GetValue(value) ? VarFromDateTime(value) : Null();
}

void TDateTimeField::SetVarValue(const Variant& value)
{
    SetAsDateTime(VarToDateTime(value));
}

void TDateTimeField::GetText(std::string& text, bool displayText) const
{
    double value = 0;
    if (!GetValue(value)) {
        text.clear();
        return;
    }
    std::string format;
    if (displayText && !FDisplayFormat.empty())
        format = FDisplayFormat;
    else if (DataType() == ftDate)
        format = FormatSettings().ShortDateFormat;
    else if (DataType() == ftTime)
        format = FormatSettings().LongTimeFormat;
    else
        format = "c";
    text = FormatDateTime(format, value);
}

// --- Binary fields ---

TBinaryField::TBinaryField(TComponent* AOwner) : TField(AOwner)
{
    SetSize(16);
}

TBytesField::TBytesField(TComponent* AOwner) : TBinaryField(AOwner)
{
    SetDataType(ftBytes);
}

TVarBytesField::TVarBytesField(TComponent* AOwner) : TBinaryField(AOwner)
{
    SetDataType(ftVarBytes);
}

std::string TBinaryField::GetAsString() const
{
    TValueBuffer buffer(DataSize());
    if (!GetData(buffer.Data()))
        return {};
    if (DataType() == ftVarBytes) {
        const std::uint16_t length =
            std::min<std::uint16_t>(ReadNative<std::uint16_t>(buffer.Data()),
                                    static_cast<std::uint16_t>(Size()));
        return std::string(buffer.Data() + 2, length);
    }
    return std::string(buffer.Data(), static_cast<std::size_t>(Size()));
}

void TBinaryField::SetAsString(const std::string& value)
{
    TValueBuffer buffer(DataSize());
    const std::size_t length = std::min(value.size(), static_cast<std::size_t>(Size()));
    if (DataType() == ftVarBytes) {
        WriteNative(buffer.Data(), static_cast<std::uint16_t>(length));
        std::memcpy(buffer.Data() + 2, value.data(), length);
    } else {
        std::memcpy(buffer.Data(), value.data(), length);
    }
    SetData(buffer.Data());
}

Variant TBinaryField::GetAsVariant() const
{
    if (IsNull())
        return Null();
    const std::string bytes = GetAsString();
    Variant array = VarArrayCreate({0, static_cast<int>(bytes.size()) - 1}, varByte);
    if (!bytes.empty()) {
        std::memcpy(VarArrayLock(array), bytes.data(), bytes.size());
        VarArrayUnlock(array);
    }
    return array;
}

void TBinaryField::SetVarValue(const Variant& value)
{
    if (!VarIsArray(value)) {
        SetAsString(VarToStr(value));
        return;
    }
    std::string bytes;
    for (int i = VarArrayLowBound(value, 1); i <= VarArrayHighBound(value, 1); ++i)
        bytes += static_cast<char>(static_cast<int>(VarArrayGet(value, i)));
    SetAsString(bytes);
}

void TBinaryField::GetText(std::string& text, bool /*displayText*/) const
{
    text = FieldClassDesc(this);
}

// --- Blob fields ---

TBlobField::TBlobField(TComponent* AOwner) : TField(AOwner)
{
    SetDataType(ftBlob);
}

TMemoField::TMemoField(TComponent* AOwner) : TBlobField(AOwner)
{
    SetDataType(ftMemo);
}

TGraphicField::TGraphicField(TComponent* AOwner) : TBlobField(AOwner)
{
    SetDataType(ftGraphic);
}

void TBlobField::SetBlobType(TFieldType value)
{
    if (IsBlobType(value))
        SetDataType(value);
}

namespace {

std::unique_ptr<TStream> OpenBlob(const TBlobField* field, TBlobStreamMode mode)
{
    if (!field->DataSet())
        DatabaseErrorFmt(DBMessages::DataSetMissing, {field->DisplayName()});
    return std::unique_ptr<TStream>(
        field->DataSet()->CreateBlobStream(const_cast<TBlobField*>(field), mode));
}

} // namespace

std::string TBlobField::GetAsString() const
{
    std::unique_ptr<TStream> stream = OpenBlob(this, bmRead);
    if (!stream)
        return {};
    std::string bytes(static_cast<std::size_t>(stream->Size()), '\0');
    stream->SetPosition(0);
    if (!bytes.empty())
        stream->ReadBuffer(bytes.data(), static_cast<int>(bytes.size()));
    return bytes;
}

void TBlobField::SetAsString(const std::string& value)
{
    std::unique_ptr<TStream> stream = OpenBlob(this, bmWrite);
    if (stream && !value.empty())
        stream->WriteBuffer(value.data(), static_cast<int>(value.size()));
}

int TBlobField::BlobSize() const
{
    std::unique_ptr<TStream> stream = OpenBlob(this, bmRead);
    return stream ? static_cast<int>(stream->Size()) : 0;
}

void TBlobField::LoadFromStream(TStream& stream)
{
    std::unique_ptr<TStream> blob = OpenBlob(this, bmWrite);
    if (blob)
        blob->CopyFrom(stream, 0);
}

void TBlobField::SaveToStream(TStream& stream) const
{
    std::unique_ptr<TStream> blob = OpenBlob(this, bmRead);
    if (blob && blob->Size() > 0)
        stream.CopyFrom(*blob, 0);
}

void TBlobField::LoadFromFile(const std::string& fileName)
{
    TFileStream stream(fileName, fmOpenRead);
    LoadFromStream(stream);
}

void TBlobField::SaveToFile(const std::string& fileName) const
{
    TAtomicFileStream stream(fileName);
    SaveToStream(stream);
    stream.Commit();
}

void TBlobField::Assign(TPersistent* Source)
{
    if (auto* blob = dynamic_cast<TBlobField*>(Source)) {
        if (blob->IsNull())
            Clear();
        else
            SetAsString(blob->AsString());
        return;
    }
    TField::Assign(Source);
}

Variant TBlobField::GetAsVariant() const
{
    if (IsNull())
        return Null();
    return Variant(GetAsString());
}

void TBlobField::SetVarValue(const Variant& value)
{
    if (!VarIsArray(value)) {
        SetAsString(VarToStr(value));
        return;
    }
    std::string bytes;
    for (int i = VarArrayLowBound(value, 1); i <= VarArrayHighBound(value, 1); ++i)
        bytes += static_cast<char>(static_cast<int>(VarArrayGet(value, i)));
    SetAsString(bytes);
}

void TBlobField::GetText(std::string& text, bool /*displayText*/) const
{
    text = FieldClassDesc(this);
}

// --- Field classes by type and by name ---

TFieldFactory DefaultFieldClass(TFieldType type)
{
    switch (type) {
    case ftString:
    case ftFixedChar:
        return [](TComponent* owner) -> TField* { return new TStringField(owner); };
    case ftSmallint:
        return [](TComponent* owner) -> TField* { return new TSmallintField(owner); };
    case ftInteger:
        return [](TComponent* owner) -> TField* { return new TIntegerField(owner); };
    case ftWord:
        return [](TComponent* owner) -> TField* { return new TWordField(owner); };
    case ftBoolean:
        return [](TComponent* owner) -> TField* { return new TBooleanField(owner); };
    case ftFloat:
        return [](TComponent* owner) -> TField* { return new TFloatField(owner); };
    case ftCurrency:
        return [](TComponent* owner) -> TField* { return new TCurrencyField(owner); };
    case ftBCD:
        return [](TComponent* owner) -> TField* { return new TBCDField(owner); };
    case ftDate:
        return [](TComponent* owner) -> TField* { return new TDateField(owner); };
    case ftTime:
        return [](TComponent* owner) -> TField* { return new TTimeField(owner); };
    case ftDateTime:
        return [](TComponent* owner) -> TField* { return new TDateTimeField(owner); };
    case ftBytes:
        return [](TComponent* owner) -> TField* { return new TBytesField(owner); };
    case ftVarBytes:
        return [](TComponent* owner) -> TField* { return new TVarBytesField(owner); };
    case ftAutoInc:
        return [](TComponent* owner) -> TField* { return new TAutoIncField(owner); };
    case ftMemo:
        return [](TComponent* owner) -> TField* { return new TMemoField(owner); };
    case ftGraphic:
        return [](TComponent* owner) -> TField* { return new TGraphicField(owner); };
    case ftBlob:
    case ftFmtMemo:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
        return [type](TComponent* owner) -> TField* {
            auto* field = new TBlobField(owner);
            field->SetBlobType(type);
            return field;
        };
    case ftLargeint:
        return [](TComponent* owner) -> TField* { return new TLargeintField(owner); };
    default:
        return nullptr;
    }
}

void RegisterFieldClasses()
{
    static const bool registered = [] {
        auto add = [](const char* name, TFieldType type) {
            TFieldFactory make = DefaultFieldClass(type);
            RegisterClass(name, [make](TComponent* owner) -> TPersistent* { return make(owner); });
        };
        add("TStringField", ftString);
        add("TSmallintField", ftSmallint);
        add("TIntegerField", ftInteger);
        add("TWordField", ftWord);
        add("TBooleanField", ftBoolean);
        add("TFloatField", ftFloat);
        add("TCurrencyField", ftCurrency);
        add("TBCDField", ftBCD);
        add("TDateField", ftDate);
        add("TTimeField", ftTime);
        add("TDateTimeField", ftDateTime);
        add("TBytesField", ftBytes);
        add("TVarBytesField", ftVarBytes);
        add("TAutoIncField", ftAutoInc);
        add("TBlobField", ftBlob);
        add("TMemoField", ftMemo);
        add("TGraphicField", ftGraphic);
        add("TLargeintField", ftLargeint);
        return true;
    }();
    (void)registered;
}
