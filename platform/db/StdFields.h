#pragma once
// The typed field classes. Native buffers, as GetData/SetData exchange them:
//   string      Size + 1 bytes, zero-terminated
//   smallint 2, integer and autoinc 4, word 2, large integer 8 (signed, little-endian)
//   boolean 2   zero is false, anything else true
//   float and currency: an 8-byte double
//   BCD         the 34-byte TBcd
//   date        4-byte day number (01/01/0001 is day 1) in an 8-byte slot
//   time        4-byte milliseconds since midnight in an 8-byte slot
//   date-time   a double: day number * 86 400 000 + milliseconds of the day
//   bytes       Size bytes; var bytes a 2-byte length, then Size bytes
// Blob fields have no native buffer: their bytes travel through the data set's blob stream.

#include "platform/db/Bcd.h"
#include "platform/db/Field.h"

#include <cstdint>
#include <functional>

class TStream;

class TStringField : public TField {
    TESS_CLASS(TStringField, TField)
public:
    explicit TStringField(TComponent* AOwner);

    // A longer value is cut to Size characters.
    void SetAsString(const std::string& value) override;
    void SetAsInteger(int value) override;
    void SetAsFloat(double value) override;
    void SetAsBoolean(bool value) override;
    void SetAsDateTime(double value) override;
    bool Transliterate() const { return FTransliterate; }
    void SetTransliterate(bool value) { FTransliterate = value; }
    // Fixed-width values: trailing blanks are dropped when read.
    bool FixedChar() const { return FFixedChar; }
    void SetFixedChar(bool value) { FFixedChar = value; }
    // The value, false when null.
    bool GetValue(std::string& value) const;

protected:
    int GetDataSize() const override { return Size() + 1; }
    int GetDefaultWidth() const override { return Size(); }
    std::string GetAsString() const override;
    int GetAsInteger() const override;
    double GetAsFloat() const override;
    bool GetAsBoolean() const override;
    double GetAsDateTime() const override;
    Variant GetAsVariant() const override;
    void SetVarValue(const Variant& value) override;

private:
    bool FTransliterate = true;
    bool FFixedChar = false;
};

// Numbers shown through DisplayFormat and edited through EditFormat (FormatFloat patterns).
class TNumericField : public TField {
    TESS_CLASS(TNumericField, TField)
public:
    explicit TNumericField(TComponent* AOwner);

    const std::string& DisplayFormat() const { return FDisplayFormat; }
    void SetDisplayFormat(const std::string& value);
    const std::string& EditFormat() const { return FEditFormat; }
    void SetEditFormat(const std::string& value);

protected:
    // The format for displayText (or editing); empty when none applies.
    const std::string& FormatFor(bool displayText) const;

private:
    std::string FDisplayFormat;
    std::string FEditFormat;
};

// 32-bit integers; the smallint, word and autoinc fields share it with their own sizes.
class TIntegerField : public TNumericField {
    TESS_CLASS(TIntegerField, TNumericField)
public:
    explicit TIntegerField(TComponent* AOwner);

    void SetAsString(const std::string& value) override;
    void SetAsInteger(int value) override;
    void SetAsFloat(double value) override;
    // 0 and 0 mean the whole range of the type.
    int MinValue() const { return FMinValue; }
    void SetMinValue(int value);
    int MaxValue() const { return FMaxValue; }
    void SetMaxValue(int value);
    bool GetValue(int& value) const;

protected:
    int GetDataSize() const override { return 4; }
    std::string GetAsString() const override;
    int GetAsInteger() const override;
    double GetAsFloat() const override;
    Variant GetAsVariant() const override;
    void SetVarValue(const Variant& value) override;
    void GetText(std::string& text, bool displayText) const override;
    // Raises the range message when value lies outside the allowed range.
    void CheckRange(std::int64_t value) const;

    std::int64_t FMinRange = -2147483647LL - 1;
    std::int64_t FMaxRange = 2147483647LL;

private:
    int FMinValue = 0;
    int FMaxValue = 0;
};

class TSmallintField : public TIntegerField {
    TESS_CLASS(TSmallintField, TIntegerField)
public:
    explicit TSmallintField(TComponent* AOwner);

protected:
    int GetDataSize() const override { return 2; }
};

class TWordField : public TIntegerField {
    TESS_CLASS(TWordField, TIntegerField)
public:
    explicit TWordField(TComponent* AOwner);

protected:
    int GetDataSize() const override { return 2; }
};

class TAutoIncField : public TIntegerField {
    TESS_CLASS(TAutoIncField, TIntegerField)
public:
    explicit TAutoIncField(TComponent* AOwner);
};

class TLargeintField : public TNumericField {
    TESS_CLASS(TLargeintField, TNumericField)
public:
    explicit TLargeintField(TComponent* AOwner);

    std::int64_t AsLargeInt() const;
    void SetAsLargeInt(std::int64_t value);
    void SetAsString(const std::string& value) override;
    void SetAsInteger(int value) override { SetAsLargeInt(value); }
    void SetAsFloat(double value) override;
    bool GetValue(std::int64_t& value) const;

protected:
    int GetDataSize() const override { return 8; }
    std::string GetAsString() const override;
    int GetAsInteger() const override;
    double GetAsFloat() const override;
    Variant GetAsVariant() const override;
    void SetVarValue(const Variant& value) override;
    void GetText(std::string& text, bool displayText) const override;
};

class TBooleanField : public TField {
    TESS_CLASS(TBooleanField, TField)
public:
    explicit TBooleanField(TComponent* AOwner);

    void SetAsBoolean(bool value) override;
    // Accepts the start of either display value, case ignored; else "Invalid value for field".
    void SetAsString(const std::string& value) override;
    // "TrueText;FalseText"; empty gives "True;False".
    const std::string& DisplayValues() const { return FDisplayValues; }
    void SetDisplayValues(const std::string& value);

protected:
    int GetDataSize() const override { return 2; }
    int GetDefaultWidth() const override;
    bool GetAsBoolean() const override;
    std::string GetAsString() const override;
    Variant GetAsVariant() const override;
    void SetVarValue(const Variant& value) override;

private:
    std::string FDisplayValues;
    std::string FTrueText = "True";
    std::string FFalseText = "False";
};

class TFloatField : public TNumericField {
    TESS_CLASS(TFloatField, TNumericField)
public:
    explicit TFloatField(TComponent* AOwner);

    void SetAsString(const std::string& value) override;
    void SetAsFloat(double value) override;
    void SetAsInteger(int value) override { SetAsFloat(value); }
    bool Currency() const { return FCurrency; }
    void SetCurrency(bool value);
    // Significant digits of the text when no format is set (2..15).
    int Precision() const { return FPrecision; }
    void SetPrecision(int value);
    // 0 and 0 mean no range.
    double MinValue() const { return FMinValue; }
    void SetMinValue(double value) { FMinValue = value; }
    double MaxValue() const { return FMaxValue; }
    void SetMaxValue(double value) { FMaxValue = value; }
    bool GetValue(double& value) const;

protected:
    int GetDataSize() const override { return 8; }
    std::string GetAsString() const override;
    int GetAsInteger() const override;
    double GetAsFloat() const override;
    Variant GetAsVariant() const override;
    void SetVarValue(const Variant& value) override;
    void GetText(std::string& text, bool displayText) const override;

private:
    bool FCurrency = false;
    int FPrecision = 15;
    double FMinValue = 0;
    double FMaxValue = 0;
};

class TCurrencyField : public TFloatField {
    TESS_CLASS(TCurrencyField, TFloatField)
public:
    explicit TCurrencyField(TComponent* AOwner);
};

// A decimal value held exactly in a TBcd. Size is the number of decimal places.
class TBCDField : public TNumericField {
    TESS_CLASS(TBCDField, TNumericField)
public:
    explicit TBCDField(TComponent* AOwner);

    void SetAsString(const std::string& value) override;
    void SetAsFloat(double value) override;
    void SetAsCurrency(double value) override { SetAsFloat(value); }
    void SetAsInteger(int value) override { SetAsFloat(value); }
    TBcd AsBCD() const;
    void SetAsBCD(const TBcd& value);
    bool Currency() const { return FCurrency; }
    void SetCurrency(bool value);
    int Precision() const { return FPrecision; }
    void SetPrecision(int value) { FPrecision = value; }
    double MinValue() const { return FMinValue; }
    void SetMinValue(double value) { FMinValue = value; }
    double MaxValue() const { return FMaxValue; }
    void SetMaxValue(double value) { FMaxValue = value; }

protected:
    int GetDataSize() const override { return 34; }
    std::string GetAsString() const override;
    int GetAsInteger() const override;
    double GetAsFloat() const override;
    Variant GetAsVariant() const override;
    void SetVarValue(const Variant& value) override;
    void GetText(std::string& text, bool displayText) const override;

private:
    void CheckRange(double value) const;

    bool FCurrency = false;
    int FPrecision = 0;
    double FMinValue = 0;
    double FMaxValue = 0;
};

// Dates and times; the text follows DisplayFormat, else the short date and long time formats.
class TDateTimeField : public TField {
    TESS_CLASS(TDateTimeField, TField)
public:
    explicit TDateTimeField(TComponent* AOwner);

    void SetAsDateTime(double value) override;
    void SetAsString(const std::string& value) override;
    void SetAsFloat(double value) override { SetAsDateTime(value); }
    const std::string& DisplayFormat() const { return FDisplayFormat; }
    void SetDisplayFormat(const std::string& value);
    bool GetValue(double& value) const;

protected:
    int GetDataSize() const override { return 8; }
    int GetDefaultWidth() const override { return 18; }
    std::string GetAsString() const override;
    double GetAsFloat() const override { return GetAsDateTime(); }
    double GetAsDateTime() const override;
    Variant GetAsVariant() const override;
    void SetVarValue(const Variant& value) override;
    void GetText(std::string& text, bool displayText) const override;

private:
    std::string FDisplayFormat;
};

class TDateField : public TDateTimeField {
    TESS_CLASS(TDateField, TDateTimeField)
public:
    explicit TDateField(TComponent* AOwner);

protected:
    int GetDefaultWidth() const override { return 10; }
};

class TTimeField : public TDateTimeField {
    TESS_CLASS(TTimeField, TDateTimeField)
public:
    explicit TTimeField(TComponent* AOwner);

protected:
    int GetDefaultWidth() const override { return 10; }
};

// Raw bytes; AsString gives and takes them as an 8-bit string.
class TBinaryField : public TField {
    TESS_CLASS(TBinaryField, TField)
public:
    explicit TBinaryField(TComponent* AOwner);

    void SetAsString(const std::string& value) override;

protected:
    std::string GetAsString() const override;
    Variant GetAsVariant() const override;
    void SetVarValue(const Variant& value) override;
    void GetText(std::string& text, bool displayText) const override;
};

class TBytesField : public TBinaryField {
    TESS_CLASS(TBytesField, TBinaryField)
public:
    explicit TBytesField(TComponent* AOwner);

protected:
    int GetDataSize() const override { return Size(); }
};

class TVarBytesField : public TBinaryField {
    TESS_CLASS(TVarBytesField, TBinaryField)
public:
    explicit TVarBytesField(TComponent* AOwner);

protected:
    int GetDataSize() const override { return Size() + 2; }
};

class TBlobField : public TField {
    TESS_CLASS(TBlobField, TField)
public:
    explicit TBlobField(TComponent* AOwner);

    bool IsBlob() const override { return true; }
    TFieldType BlobType() const { return DataType(); }
    void SetBlobType(TFieldType value);
    int BlobSize() const;
    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream) const;
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName) const;
    void SetAsString(const std::string& value) override;
    void Assign(TPersistent* Source) override;

protected:
    std::string GetAsString() const override;
    Variant GetAsVariant() const override;
    void SetVarValue(const Variant& value) override;
    // "(MEMO)" for a memo with a value, "(Memo)" for an empty one; the same for the other types.
    void GetText(std::string& text, bool displayText) const override;
};

class TMemoField : public TBlobField {
    TESS_CLASS(TMemoField, TBlobField)
public:
    explicit TMemoField(TComponent* AOwner);
};

class TGraphicField : public TBlobField {
    TESS_CLASS(TGraphicField, TBlobField)
public:
    explicit TGraphicField(TComponent* AOwner);
};

// The field class a field definition of that type makes; nullptr for unsupported types.
using TFieldFactory = std::function<TField*(TComponent* Owner)>;
TFieldFactory DefaultFieldClass(TFieldType type);
// Registers every field class by its name in the class registry (once; the data set's
// constructor calls it).
void RegisterFieldClasses();

// Native forms of dates and times.
std::int32_t DateTimeToNativeDate(double dateTime);
std::int32_t DateTimeToNativeTime(double dateTime);
double DateTimeToNativeDateTime(double dateTime);
double NativeDateToDateTime(std::int32_t days);
double NativeTimeToDateTime(std::int32_t milliseconds);
double NativeDateTimeToDateTime(double milliseconds);
