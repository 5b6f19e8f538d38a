#pragma once
// The month calendar used to pick dates: a 7 x 7 grid of one month under a row of day names,
// the popup calendar a date edit drops down and the modal date dialog, both with a title line
// and four repeating arrow buttons (previous year, previous month, next month, next year).

#include "controls/ComboEdit.h"
#include "controls/DateUtil.h"
#include "controls/ExSpeedButton.h"
#include "platform/gui/Form.h"
#include "platform/gui/Grid.h"
#include "platform/gui/Label.h"
#include "platform/rtl/Lists.h"

// The popup calendar's width and height; taken as at least 180 x 120.
extern TPoint PopupCalendarSize;

// The fonts of the popup and the dialog: the system's message font.
void SetDefaultDateFont(TFont* Font);

class TExCalendar : public TCustomGrid {
    TESS_CLASS(TExCalendar, TCustomGrid)
public:
    explicit TExCalendar(TComponent* AOwner);

    TDateTime CalendarDate() const { return FDate; }
    void SetCalendarDate(TDateTime Value);
    int Day() const;
    void SetDay(int Value);
    int Month() const;
    void SetMonth(int Value);
    int Year() const;
    void SetYear(int Value);
    bool ReadOnly = false;
    TDayOfWeekName StartOfWeek() const { return FStartOfWeek; }
    void SetStartOfWeek(TDayOfWeekName Value);
    bool UseCurrentDate() const { return FUseCurrentDate; }
    void SetUseCurrentDate(bool Value);
    TDaysOfWeek Weekends() const { return FWeekends; }
    void SetWeekends(TDaysOfWeek Value);
    TColor WeekendColor() const { return FWeekendColor; }
    void SetWeekendColor(TColor Value);
    TNotifyEvent OnChange;

    void NextMonth() { ChangeMonth(1); }
    void PrevMonth() { ChangeMonth(-1); }
    void NextYear();
    void PrevYear();
    void ChangeMonth(int Delta);
    virtual void UpdateCalendar();
    std::string CellText(int ACol, int ARow) const;
    int DaysThisMonth() const;
    bool IsWeekend(int ACol) const;
    // The keys of the calendar: days with the arrows and the numeric pad, "T" for today.
    void CalendarKeyDown(WORD& Key, TShiftState Shift) { KeyDown(Key, Shift); }
    void CalendarKeyPress(char& Key) { KeyPress(Key); }
    void Dispatch(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void DrawCell(int ACol, int ARow, TRect ARect, TGridDrawState AState) override;
    bool SelectCell(int ACol, int ARow) override;
    void Click() override;
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void KeyPress(char& Key) override;
    virtual void Change();
    // The cells share the client area: seven columns and seven rows.
    void Resize() override;
    // The day number of a cell of rows 1..6, 0 outside the month.
    int DayOfCell(int ACol, int ARow) const;

private:
    void ChangeDate(TDateTime Value, bool DayOnly);
    void SizeCells();

    TDateTime FDate = 0;
    int FMonthOffset = 0;
    TDayOfWeekName FStartOfWeek = Mon;
    bool FUpdating = false;
    bool FUseCurrentDate = true;
    TDaysOfWeek FWeekends{Sun};
    TColor FWeekendColor = clRed;
};

// The calendar inside the popup: never takes the keyboard focus, frames today's cell.
class TLocCalendar : public TExCalendar {
    TESS_CLASS(TLocCalendar, TExCalendar)
public:
    explicit TLocCalendar(TComponent* AOwner);
    void Dispatch(TMessage& Message) override;
    // The day cell under a point of the calendar, 0 when there is none.
    int DayAt(int X, int Y) const;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void DrawCell(int ACol, int ARow, TRect ARect, TGridDrawState AState) override;
};

class TExTimerSpeedButton : public TExSpeedButton {
    TESS_CLASS(TExTimerSpeedButton, TExSpeedButton)
public:
    explicit TExTimerSpeedButton(TComponent* AOwner);
};

class TPopupCalendar : public TPopupWindow {
    TESS_CLASS(TPopupCalendar, TPopupWindow)
public:
    explicit TPopupCalendar(TWinControl* AOwner);
    Variant GetValue() override;
    void SetValue(const Variant& Value) override;
    TLocCalendar* Calendar() const { return FCalendar; }
    TLabel* TitleLabel() const { return FTitleLabel; }
    TExTimerSpeedButton* Button(int Index) const { return FButtons[Index]; }
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void KeyPress(char& Key) override;

private:
    void CalendarChange(TObject* Sender);
    void CalendarMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);

    TLocCalendar* FCalendar = nullptr;
    TLabel* FTitleLabel = nullptr;
    TExTimerSpeedButton* FButtons[4] = {};
};

class TSelectDateDlg : public TForm {
    TESS_CLASS(TSelectDateDlg, TForm)
public:
    explicit TSelectDateDlg(TComponent* AOwner);
    TExCalendar* Calendar = nullptr;
    TLabel* TitleLabel = nullptr;
    TExTimerSpeedButton* Buttons[4] = {};
    TDateTime Date() const { return Calendar->CalendarDate(); }
    // NullDate or a value that is no date means today.
    void SetDate(TDateTime Value);
    void FormKeyDown(TObject* Sender, WORD& Key, TShiftState Shift);

private:
    void CalendarChange(TObject* Sender);
};

TPopupWindow* CreatePopupCalendar(TComponent* AOwner);
void SetupPopupCalendar(TWinControl* PopupCalendar, TDayOfWeekName AStartOfWeek, TDaysOfWeek AWeekends,
                        TColor AWeekendColor, TStrings* BtnHints);
bool SelectDate(TDateTime& Date, const std::string& DlgCaption, TDayOfWeekName AStartOfWeek, TDaysOfWeek AWeekends,
                TColor AWeekendColor, TStrings* BtnHints);
bool SelectDateStr(std::string& StrDate, const std::string& DlgCaption, TDayOfWeekName AStartOfWeek,
                   TDaysOfWeek AWeekends, TColor AWeekendColor, TStrings* BtnHints);
bool PopupDate(TDateTime& Date, TWinControl* Edit);
