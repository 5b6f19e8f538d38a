#pragma once
// Date and time pickers over a Qt date-time edit, with a drop-down month calendar in Italian.

#include "platform/gui/WinControl.h"
#include "platform/rtl/DateTime.h"

enum TDateTimeKind { dtkDate, dtkTime };
enum TDTDateFormat { dfShort, dfLong };
enum TDTDateMode { dmComboBox, dmUpDown };
enum TDTCalAlignment { dtaLeft, dtaRight };

class QDateTimeEdit;

class TCommonCalendar : public TWinControl {
    TESS_CLASS(TCommonCalendar, TWinControl)
public:
    explicit TCommonCalendar(TComponent* AOwner);
    TDateTime MinDate = 0;
    TDateTime MaxDate = 0;
};

class TDateTimePicker : public TCommonCalendar {
    TESS_CLASS(TDateTimePicker, TCommonCalendar)
public:
    explicit TDateTimePicker(TComponent* AOwner);

    TDateTimeKind Kind() const { return FKind; }
    void SetKind(TDateTimeKind value);
    TDTDateFormat DateFormat() const { return FDateFormat; }
    void SetDateFormat(TDTDateFormat value);
    TDTDateMode DateMode() const { return FDateMode; }
    void SetDateMode(TDTDateMode value);
    TDTCalAlignment CalAlignment = dtaLeft;
    TDateTime DateTime() const { return FDateTime; }
    // No event fires for changes by code.
    void SetDateTime(TDateTime value);
    TDateTime Date() const;
    void SetDate(TDateTime value);
    TDateTime Time() const;
    void SetTime(TDateTime value);
    bool ShowCheckbox = false;
    bool Checked = true;
    // The text shown ("15/03/2026").
    std::string GetText() const override;
    bool DroppedDown() const;
    void SetDroppedDown(bool value);
    TNotifyEvent OnChange;
    TNotifyEvent OnDropDown;
    TNotifyEvent OnCloseUp;
    TNotifyEvent OnUserInput;

protected:
    IHostWidget* CreateHost(const TCreateParams& Params, void* parentWidget) override;
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    virtual void Change();

private:
    QDateTimeEdit* Editor() const;
    void ApplyToEditor();
    void UserChanged();
    TDateTimeKind FKind = dtkDate;
    TDTDateFormat FDateFormat = dfShort;
    TDTDateMode FDateMode = dmComboBox;
    TDateTime FDateTime = 0;
    bool FApplying = false;
};
