#pragma once
// The date field: a masked editor whose text is a date in a numeric format made from the short
// date format, whose button drops down the month calendar (or opens the date dialog), and which
// converts between its text and a TDateTime. It follows changes of the date format.

#include "controls/ComboEdit.h"
#include "controls/DateUtil.h"
#include "controls/PickDate.h"
#include "platform/rtl/Lists.h"

#include <functional>
#include <memory>

enum TYearDigits { dyDefault, dyFour, dyTwo };
enum TCalendarStyle { csPopup, csDialog };
using TExecDateDialog = std::function<void(TObject* Sender, TDateTime& ADate, bool& Action)>;

class TCustomDateEdit : public TCustomComboEdit {
    TESS_CLASS(TCustomDateEdit, TCustomComboEdit)
public:
    explicit TCustomDateEdit(TComponent* AOwner);
    ~TCustomDateEdit() override;

    // Never raises: a text that is no date gives today with DefaultToday, else NullDate.
    TDateTime GetDate();
    void SetDate(TDateTime Value);
    std::string DialogTitle;
    TExecDateDialog OnAcceptDate;
    bool DefaultToday = false;
    bool CheckOnExit = false;
    char BlanksChar() const { return FBlanksChar; }
    void SetBlanksChar(char Value);
    TStrings* CalendarHints() const { return FCalendarHints.get(); }
    void SetCalendarHints(TStrings* Value);
    TCalendarStyle CalendarStyle() const { return Popup() ? csPopup : csDialog; }
    void SetCalendarStyle(TCalendarStyle Value);
    TColor PopupColor() const;
    void SetPopupColor(TColor Value);
    TDayOfWeekName StartOfWeek() const { return FStartOfWeek; }
    void SetStartOfWeek(TDayOfWeekName Value);
    TDaysOfWeek Weekends() const { return FWeekends; }
    void SetWeekends(TDaysOfWeek Value);
    TColor WeekendColor() const { return FWeekendColor; }
    void SetWeekendColor(TColor Value);
    TYearDigits YearDigits() const { return FYearDigits; }
    void SetYearDigits(TYearDigits Value);
    const std::string& GetDateFormat() const { return FDateFormat; }
    bool FourDigitYear() const;
    std::string GetDateMask() const;
    // Whether the text holds more than blanks and date separators.
    bool TextStored() const;
    void CheckValidDate();
    virtual void ApplyDate(TDateTime Value);
    virtual void UpdateMask();
    void Dispatch(TMessage& Message) override;

protected:
    void CreateWnd() override;
    void DestroyWnd() override;
    TBitmap* GetDefaultBitmap(bool& DestroyNeeded) override;
    bool AcceptPopup(Variant& Value) override;
    void AcceptValue(const Variant& Value) override;
    void SetPopupValue(const Variant& Value) override;
    void ButtonClick() override;
    void Change() override;
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void KeyPress(char& Key) override;

private:
    void UpdateFormat();
    void UpdatePopup();
    void HintsChanged(TObject* Sender);
    void CreatePopup();
    void Unhook();

    int FHookId = -1;
    TColor FPopupColor = clBtnFace;
    char FBlanksChar = ' ';
    std::unique_ptr<TStringList> FCalendarHints;
    TDayOfWeekName FStartOfWeek = Mon;
    TDaysOfWeek FWeekends{Sun};
    TColor FWeekendColor = clRed;
    TYearDigits FYearDigits = dyDefault;
    std::string FDateFormat;
    bool FFormatting = false;
};

class TDateEdit : public TCustomDateEdit {
    TESS_CLASS(TDateEdit, TCustomDateEdit)
public:
    explicit TDateEdit(TComponent* AOwner);
};

// Re-masks every date edit of every form on the screen after the date format changed.
void DateFormatChanged();
