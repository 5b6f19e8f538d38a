#pragma once
// The calendar grid: a month of days under a row of day names, the first day in the column of
// its weekday; choosing a day cell sets Day and raises OnChange.

#include "platform/gui/Grid.h"
#include "platform/rtl/DateTime.h"

#include <string>

class TCalendar : public TCustomGrid {
    TESS_CLASS(TCalendar, TCustomGrid)
public:
    explicit TCalendar(TComponent* AOwner);

    TDateTime CalendarDate() const { return FDate; }
    void SetCalendarDate(TDateTime value);
    int Day() const;
    void SetDay(int value);
    int Month() const;
    void SetMonth(int value);
    int Year() const;
    void SetYear(int value);
    bool UseCurrentDate() const { return FUseCurrentDate; }
    void SetUseCurrentDate(bool value);
    bool ReadOnly = false;
    // 0 = Sunday ... 6 = Saturday.
    int StartOfWeek() const { return FStartOfWeek; }
    void SetStartOfWeek(int value);

    void NextMonth();
    void PrevMonth();
    void NextYear();
    void PrevYear();
    void UpdateCalendar();
    std::string CellText(int ACol, int ARow) const;
    int DaysThisMonth() const;
    bool IsLeapYear(int AYear) const;

    TNotifyEvent OnChange;

protected:
    void DrawCell(int ACol, int ARow, TRect ARect, TGridDrawState AState) override;
    bool SelectCell(int ACol, int ARow) override;
    void Click() override;
    void BoundsChanged(bool moved, bool resized) override;
    virtual void Change();

private:
    // Moves the date to year/month/day, the day cut to the month's length.
    void ChangeDate(int year, int month, int day);
    int MonthOffset() const;

    TDateTime FDate = 0;
    bool FUseCurrentDate = true;
    int FStartOfWeek = 1;
    bool FUpdating = false;
};
