#pragma once
// The amount fields: editors that hold a number, take only keystrokes that leave a valid number
// ("." and "," both type the decimal comma), show the plain number while focused and the value
// formatted by DisplayFormat, with their own alignment, while not; they clip to MinValue and
// MaxValue and can check the range when the user leaves them. The currency edit formats with
// the currency settings; the calculator edit drops down a pocket calculator.

#include "controls/ComboEdit.h"

#include <memory>

// The text as a number text for StrToFloat: trailing blanks and thousands separators go, "."
// and "," become the decimal separator when neither is the thousands one, "" reads "0" and "-"
// reads "-0".
std::string TextToValText(const std::string& AValue);

class TCustomNumEdit : public TCustomComboEdit {
    TESS_CLASS(TCustomNumEdit, TCustomComboEdit)
public:
    explicit TCustomNumEdit(TComponent* AOwner);
    ~TCustomNumEdit() override;

    // The alignment of the display while not focused (the edit itself types left-aligned).
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    bool BeepOnError() const { return FBeepOnError; }
    void SetBeepOnError(bool Value);
    bool CheckOnExit = false;
    int DecimalPlaces() const { return FDecimalPlaces; }
    void SetDecimalPlaces(int Value);
    const std::string& DisplayFormat() const { return FDisplayFormat; }
    void SetDisplayFormat(const std::string& Value);
    bool DisplayFormatStored() { return FDisplayFormat != DefaultDisplayFormat(); }
    bool FormatOnEditing() const { return FFormatOnEditing; }
    void SetFormatOnEditing(bool Value);
    double MaxValue() const { return FMaxValue; }
    void SetMaxValue(double Value);
    double MinValue() const { return FMinValue; }
    void SetMinValue(double Value);
    bool ZeroEmpty() const { return FZeroEmpty; }
    void SetZeroEmpty(bool Value);

    // Takes the text over first; a text that is no number gives MinValue, never an error.
    double GetValue();
    void SetValue(double AValue);
    double Value() { return GetValue(); }
    // Truncated.
    int AsInteger() { return static_cast<int>(GetValue()); }
    void SetAsInteger(int Value) { SetValue(Value); }
    // Reads S as a number (raises EConvertError when it is none) and shows it.
    void SetText(const std::string& S) override;
    void Clear() { SetText(""); }
    void CheckRange();
    void UpdateData();
    std::string FormatDisplayText(double Value);
    virtual std::string GetDisplayText();
    void Reset() override;
    void PasteFromClipboard() override;
    void Dispatch(TMessage& Message) override;

protected:
    virtual void DataChanged();
    virtual std::string DefaultDisplayFormat() { return ",0.##"; }
    virtual bool IsValidChar(char Key);
    virtual void UpdatePopup();
    virtual void ReformatEditText();
    // Value clipped to the range; with RaiseOnError a clipped value raises ERangeError.
    double CheckValue(double NewValue, bool RaiseOnError);

    TBitmap* GetDefaultBitmap(bool& DestroyNeeded) override;
    void AcceptValue(const Variant& Value) override;
    void Change() override;
    void KeyPress(char& Key) override;

    std::string FDisplayFormat;

private:
    void SetFocused(bool Value);
    // The window text as it is, without reading it as a number.
    void SetEditorWindowText(const std::string& Value);
    void EnterEdit(TMessage& Message);
    void ExitEdit();
    void PaintEdit(TMessage& Message);

    std::unique_ptr<TControlCanvas> FCanvas;
    TAlignment FAlignment = taRightJustify;
    bool FFocused = false;
    double FValue = 0;
    double FMinValue = 0;
    double FMaxValue = 0;
    int FDecimalPlaces = 2;
    bool FBeepOnError = true;
    bool FZeroEmpty = true;
    bool FFormatOnEditing = false;
    bool FFormatting = false;
    bool FAcceptingPopup = false;
};

// A number edit without a button whose display format comes from the currency settings.
class TCurrencyEdit : public TCustomNumEdit {
    TESS_CLASS(TCurrencyEdit, TCustomNumEdit)
public:
    explicit TCurrencyEdit(TComponent* AOwner);

protected:
    std::string DefaultDisplayFormat() override;
};

// A number edit whose button drops down a pocket calculator.
class TExCustomCalcEdit : public TCustomNumEdit {
    TESS_CLASS(TExCustomCalcEdit, TCustomNumEdit)
public:
    explicit TExCustomCalcEdit(TComponent* AOwner);

protected:
    // A calculator showing "Error" gives nothing to take over.
    bool AcceptPopup(Variant& Value) override;
};

class TExCalcEdit : public TExCustomCalcEdit {
    TESS_CLASS(TExCalcEdit, TExCustomCalcEdit)
public:
    explicit TExCalcEdit(TComponent* AOwner) : TExCustomCalcEdit(AOwner) {}
};
