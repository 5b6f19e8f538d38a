#pragma once
// A value kept as text with a declared data type, converted on request to and from text,
// integer, float, date and time and Boolean, with a description of the date and time masks used
// for output. An assignment the type refuses keeps the previous text.

#include "controls/DateUtil.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Formats.h"

#include <memory>
#include <string>

enum TTimeFormat { tfHHMMSS, tfHMMSS, tfHHMM, tfHMM };

class TDateTimeFormat : public TPersistent {
    TESS_CLASS(TDateTimeFormat, TPersistent)
public:
    TDateTimeFormat();

    void Assign(TPersistent* Source) override;

    // At most 7 characters; an empty value means the system's text.
    const std::string& AMString() const { return FAMString; }
    void SetAMString(const std::string& value);
    const std::string& PMString() const { return FPMString; }
    void SetPMString(const std::string& value);

    TDateOrder DateOrder = doDMY;
    TTimeFormat TimeFormat = tfHHMMSS;
    char TimeSeparator = ':';
    char DateSeparator = '/';
    bool LongDate = false;
    bool FourDigitYear = true;
    bool LeadingZero = false;

    // Masks for FormatDateTime, the separators quoted as literals.
    virtual std::string GetDateMask() const;
    virtual std::string GetTimeMask() const;
    virtual std::string GetMask() const;
    // The system's separators and AM and PM texts, day-month-year, hours to seconds.
    virtual void ResetDefault();

private:
    std::string FAMString;
    std::string FPMString;
};

enum TDataType { dtString, dtInteger, dtFloat, dtDateTime, dtDate, dtTime, dtBoolean };

class TConverter : public TComponent {
    TESS_CLASS(TConverter, TComponent)
public:
    explicit TConverter(TComponent* AOwner);
    ~TConverter() override;

    TDataType DataType() const { return FDataType; }
    // On a change the text is checked against the new type and emptied when it does not fit.
    void SetDataType(TDataType value);
    TDateTimeFormat* DateTimeFormat() const { return FDateTimeFormat.get(); }
    void SetDateTimeFormat(TDateTimeFormat* value) { FDateTimeFormat->Assign(value); }
    // At most 15 characters each.
    std::string DisplayFalse() const { return GetBoolValues(0); }
    void SetDisplayFalse(const std::string& value) { SetBoolValues(0, value); }
    std::string DisplayTrue() const { return GetBoolValues(1); }
    void SetDisplayTrue(const std::string& value) { SetBoolValues(1, value); }
    std::string GetBoolValues(int index) const;
    void SetBoolValues(int index, const std::string& value);
    TFloatFormat FloatFormat = ffGeneral;
    int Precision = 15;
    int Digits = 2;
    // Whether a refused assignment raises (it is refused either way).
    bool RaiseOnError = false;
    const std::string& Text() const { return FText; }
    void SetText(const std::string& value) { SetAsString(value); }
    TNotifyEvent OnChange;

    void Clear();

    virtual bool GetAsBoolean() const;
    virtual TDateTime GetAsDateTime() const;
    virtual TDateTime GetAsDate() const;
    virtual TDateTime GetAsTime() const;
    virtual double GetAsFloat() const;
    virtual std::int64_t GetAsInteger() const;
    virtual std::string GetAsString() const;
    virtual void SetAsBoolean(bool value);
    virtual void SetAsDateTime(TDateTime value);
    virtual void SetAsDate(TDateTime value);
    virtual void SetAsTime(TDateTime value);
    virtual void SetAsFloat(double value);
    virtual void SetAsInteger(std::int64_t value);
    // The text is stored when the data type accepts it, else the old text stays.
    virtual void SetAsString(const std::string& value);
    // Whether a typed character may belong to a value of the data type.
    virtual bool IsValidChar(char Ch) const;

    std::string FloatToString(double value) const;
    std::string DateTimeToString(TDateTime value) const;
    std::string BoolToStr(bool value) const;

protected:
    virtual void Change();

private:
    // Raises the conversion error of a text the data type does not accept.
    void CheckDataType() const;
    // The text with its separators made the system's, read as a date and time; raises.
    TDateTime TextToDateTime() const;

    std::string FText;
    std::string FBoolValues[2] = {"False", "True"};
    TDataType FDataType = dtString;
    std::unique_ptr<TDateTimeFormat> FDateTimeFormat;
};
