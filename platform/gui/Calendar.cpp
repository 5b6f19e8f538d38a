#include "platform/gui/Calendar.h"

#include "platform/rtl/FormatSettings.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>

TCalendar::TCalendar(TComponent* AOwner) : TCustomGrid(AOwner)
{
    SetRowCount(7);
    SetColCount(7);
    SetFixedCols(0);
    SetFixedRows(1);
    SetScrollBars(ssNone);
    SetOptions((Options() - TGridOptions{goRangeSelect}) + TGridOptions{goDrawFocusSelected});
    FDate = Date();
    UpdateCalendar();
}

int TCalendar::Day() const
{
    int y, m, d;
    DecodeDate(FDate, y, m, d);
    return d;
}

int TCalendar::Month() const
{
    int y, m, d;
    DecodeDate(FDate, y, m, d);
    return m;
}

int TCalendar::Year() const
{
    int y, m, d;
    DecodeDate(FDate, y, m, d);
    return y;
}

bool TCalendar::IsLeapYear(int AYear) const { return ::IsLeapYear(AYear); }

int TCalendar::DaysThisMonth() const { return MonthDays[::IsLeapYear(Year()) ? 1 : 0][Month()]; }

void TCalendar::ChangeDate(int year, int month, int day)
{
    year = std::max(1, std::min(year, 9999));
    month = std::max(1, std::min(month, 12));
    day = std::max(1, std::min(day, MonthDays[::IsLeapYear(year) ? 1 : 0][month]));
    const TDateTime date = EncodeDate(year, month, day);
    if (date == FDate)
        return;
    FDate = date;
    FUseCurrentDate = false;
    UpdateCalendar();
    Change();
}

void TCalendar::SetCalendarDate(TDateTime value)
{
    int y, m, d;
    DecodeDate(value, y, m, d);
    ChangeDate(y, m, d);
}

void TCalendar::SetDay(int value) { ChangeDate(Year(), Month(), value); }
void TCalendar::SetMonth(int value) { ChangeDate(Year(), value, Day()); }
void TCalendar::SetYear(int value) { ChangeDate(value, Month(), Day()); }

void TCalendar::SetUseCurrentDate(bool value)
{
    FUseCurrentDate = value;
    if (value) {
        FDate = Date();
        UpdateCalendar();
    }
}

void TCalendar::SetStartOfWeek(int value)
{
    FStartOfWeek = ((value % 7) + 7) % 7;
    UpdateCalendar();
}

void TCalendar::NextMonth() { ChangeDate(Month() == 12 ? Year() + 1 : Year(), Month() % 12 + 1, Day()); }
void TCalendar::PrevMonth() { ChangeDate(Month() == 1 ? Year() - 1 : Year(), Month() == 1 ? 12 : Month() - 1, Day()); }
void TCalendar::NextYear() { ChangeDate(Year() + 1, Month(), Day()); }
void TCalendar::PrevYear() { ChangeDate(Year() - 1, Month(), Day()); }

// The day number of cell (0, 1) minus one, so that day = offset + col + (row - 1) * 7.
int TCalendar::MonthOffset() const
{
    const int firstWeekday = DayOfWeek(EncodeDate(Year(), Month(), 1)); // 1 = Sunday
    int offset = 2 - ((firstWeekday - FStartOfWeek + 7) % 7);
    if (offset == 2)
        offset = -5; // a whole first week would be empty: the month starts on the first row
    return offset;
}

std::string TCalendar::CellText(int ACol, int ARow) const
{
    if (ARow == 0)
        return FormatSettings().ShortDayNames[(FStartOfWeek + ACol) % 7 + 1]; // 1 = Sunday
    const int day = MonthOffset() + ACol + (ARow - 1) * 7;
    if (day < 1 || day > DaysThisMonth())
        return {};
    return IntToStr(day);
}

void TCalendar::UpdateCalendar()
{
    FUpdating = true;
    const int index = Day() - MonthOffset();
    MoveColRow(index % 7, index / 7 + 1, true, false);
    FUpdating = false;
    InvalidateGrid();
}

bool TCalendar::SelectCell(int ACol, int ARow)
{
    if ((!FUpdating && ReadOnly) || CellText(ACol, ARow).empty())
        return false;
    return TCustomGrid::SelectCell(ACol, ARow);
}

void TCalendar::Click()
{
    const std::string text = CellText(Col(), Row());
    if (!text.empty() && Row() > 0)
        SetDay(StrToInt(text));
    TCustomGrid::Click();
}

void TCalendar::Change()
{
    if (OnChange)
        OnChange(this);
}

void TCalendar::BoundsChanged(bool moved, bool resized)
{
    TCustomGrid::BoundsChanged(moved, resized);
    if (!resized)
        return;
    // The cells share the client area.
    SetDefaultColWidth(std::max(1, (ClientWidth() - 6 * GridLineWidth()) / 7));
    SetDefaultRowHeight(std::max(1, (ClientHeight() - 6 * GridLineWidth()) / 7));
}

void TCalendar::DrawCell(int ACol, int ARow, TRect ARect, TGridDrawState)
{
    const std::string text = CellText(ACol, ARow);
    TCanvas* canvas = Canvas();
    const int x = ARect.Left + (ARect.Width() - canvas->TextWidth(text)) / 2;
    const int y = ARect.Top + (ARect.Height() - canvas->TextHeight("0")) / 2;
    canvas->TextRect(ARect, x, y, text);
}
