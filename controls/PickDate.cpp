// The month calendar, the popup calendar with its title and arrow buttons, and the date dialog
// with the functions that run it.

#include "controls/PickDate.h"

#include "controls/ExConst.h"
#include "controls/ExCConst.h"
#include "controls/ExResources.h"
#include "controls/StrUtils.h"
#include "controls/VCLUtils.h"
#include "platform/gui/Application.h"
#include "platform/gui/Button.h"
#include "platform/gui/Panel.h"
#include "platform/gui/Resources.h"
#include "platform/gui/Screen.h"
#include "platform/gui/SystemMetrics.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <cmath>

TPoint PopupCalendarSize = {187, 124};

namespace PickDateUnit {

const char* const ArrowNames[4] = {"PREV2", "PREV1", "NEXT1", "NEXT2"};
const int HintIds[4] = {SPrevYear, SPrevMonth, SNextMonth, SNextYear};

TExTimerSpeedButton* MakeArrow(TComponent* owner, TWinControl* parent, int index, int x, int y, int size)
{
    RegisterExResources();
    auto* button = new TExTimerSpeedButton(owner);
    button->SetBounds(x, y, size, size);
    TBitmap glyph;
    glyph.SetHandle(LoadBitmap(MainInstance(), ArrowNames[index]));
    button->SetGlyph(&glyph);
    button->SetHint(ExLoadStr(HintIds[index]));
    button->SetParent(parent);
    return button;
}

void ApplyHints(TExTimerSpeedButton* const buttons[4], TStrings* hints)
{
    if (!hints)
        return;
    for (int i = 0; i < 4 && i < hints->Count(); ++i)
        if (!hints->Strings(i).empty())
            buttons[i]->SetHint(hints->Strings(i));
}

// A date the calendar can show: finite and within the years the date functions take.
bool ShowableDate(TDateTime value) { return std::isfinite(value) && value > -693593 && value < 2958466; }

} // namespace PickDateUnit

void SetDefaultDateFont(TFont* Font)
{
    NONCLIENTMETRICS metrics;
    if (SystemParametersInfo(SPI_GETNONCLIENTMETRICS, 0, &metrics, 0)) {
        Font->SetHandle(CreateFontIndirect(metrics.lfMessageFont));
    } else {
        Font->SetColor(clWindowText);
        Font->SetName("MS Sans Serif");
        Font->SetSize(8);
        Font->SetStyle(TFontStyles{});
    }
}

// --- TExCalendar ---------------------------------------------------------------------------------

TExCalendar::TExCalendar(TComponent* AOwner) : TCustomGrid(AOwner)
{
    SetFixedCols(0);
    SetFixedRows(1);
    SetColCount(7);
    SetRowCount(7);
    SetScrollBars(ssNone);
    TGridOptions options = Options();
    options.Exclude(goRangeSelect);
    options.Include(goDrawFocusSelected);
    SetOptions(options);
    ControlStyle.Include(csFramed);
    FDate = Date();
    UpdateCalendar();
}

void TExCalendar::CreateParams(TCreateParams& Params)
{
    TCustomGrid::CreateParams(Params);
    Params.Style |= WS_BORDER;
    Params.ExStyle &= ~static_cast<DWORD>(WS_EX_CLIENTEDGE);
}

void TExCalendar::Change()
{
    if (OnChange)
        OnChange(this);
}

int TExCalendar::Day() const { return ExtractDay(FDate); }
int TExCalendar::Month() const { return ExtractMonth(FDate); }
int TExCalendar::Year() const { return ExtractYear(FDate); }

int TExCalendar::DaysThisMonth() const { return DaysPerMonth(Year(), Month()); }

bool TExCalendar::IsWeekend(int ACol) const
{
    return FWeekends.Contains(static_cast<TDayOfWeekName>((FStartOfWeek + ACol) % 7));
}

int TExCalendar::DayOfCell(int ACol, int ARow) const
{
    if (ARow < 1)
        return 0;
    const int day = FMonthOffset + ACol + (ARow - 1) * 7;
    return day >= 1 && day <= DaysThisMonth() ? day : 0;
}

std::string TExCalendar::CellText(int ACol, int ARow) const
{
    if (ARow == 0)
        return FormatSettings().ShortDayNames[(FStartOfWeek + ACol) % 7 + 1];
    const int day = DayOfCell(ACol, ARow);
    return day ? IntToStr(day) : "";
}

void TExCalendar::UpdateCalendar()
{
    FUpdating = true;
    try {
        const int firstWeekday = DayOfWeek(EncodeDate(Year(), Month(), 1));
        const int k = (firstWeekday - FStartOfWeek + 7) % 7;
        FMonthOffset = k == 0 ? -5 : 2 - k;
        const int index = Day() - FMonthOffset;
        MoveColRow(index % 7, index / 7 + 1, false, false);
        Invalidate();
    } catch (...) {
        FUpdating = false;
        throw;
    }
    FUpdating = false;
}

void TExCalendar::ChangeDate(TDateTime Value, bool DayOnly)
{
    FDate = Value;
    FUseCurrentDate = false;
    (void)DayOnly;
    UpdateCalendar();
    Change();
}

void TExCalendar::SetCalendarDate(TDateTime Value)
{
    if (Value == FDate || !PickDateUnit::ShowableDate(Value))
        return;
    FDate = Value;
    UpdateCalendar();
    Change();
}

void TExCalendar::SetDay(int Value)
{
    if (Value < 1 || Value > DaysThisMonth() || Value == Day())
        return;
    ChangeDate(EncodeDate(Year(), Month(), Value) + Frac(FDate), true);
}

void TExCalendar::SetMonth(int Value)
{
    if (Value < 1 || Value > 12 || Value == Month())
        return;
    const int day = std::min(Day(), DaysPerMonth(Year(), Value));
    ChangeDate(EncodeDate(Year(), Value, day) + Frac(FDate), false);
}

void TExCalendar::SetYear(int Value)
{
    if (Value < 1 || Value > 9999 || Value == Year())
        return;
    const int day = std::min(Day(), DaysPerMonth(Value, Month()));
    ChangeDate(EncodeDate(Value, Month(), day) + Frac(FDate), false);
}

void TExCalendar::SetStartOfWeek(TDayOfWeekName Value)
{
    if (Value == FStartOfWeek)
        return;
    FStartOfWeek = Value;
    UpdateCalendar();
}

void TExCalendar::SetUseCurrentDate(bool Value)
{
    FUseCurrentDate = Value;
    if (Value) {
        FDate = Date();
        UpdateCalendar();
    }
}

void TExCalendar::SetWeekends(TDaysOfWeek Value)
{
    FWeekends = Value;
    UpdateCalendar();
}

void TExCalendar::SetWeekendColor(TColor Value)
{
    if (Value == FWeekendColor)
        return;
    FWeekendColor = Value;
    Invalidate();
}

void TExCalendar::ChangeMonth(int Delta)
{
    const int day = Day();
    TDateTime moved = Delta > 0 ? EncodeDate(Year(), Month(), DaysThisMonth()) : EncodeDate(Year(), Month(), 1);
    moved += Delta;
    int year = 0;
    int month = 0;
    int ignored = 0;
    DecodeDate(moved, year, month, ignored);
    const int length = DaysPerMonth(year, month);
    SetCalendarDate(EncodeDate(year, month, day < length ? day : length) + Frac(FDate));
}

void TExCalendar::NextYear()
{
    if (IsLeapYear(Year()) && Month() == 2 && Day() == 29)
        SetDay(28);
    SetYear(Year() + 1);
}

void TExCalendar::PrevYear()
{
    if (IsLeapYear(Year()) && Month() == 2 && Day() == 29)
        SetDay(28);
    SetYear(Year() - 1);
}

void TExCalendar::DrawCell(int ACol, int ARow, TRect ARect, TGridDrawState AState)
{
    TCanvas* canvas = Canvas();
    if (IsWeekend(ACol) && !AState.Contains(gdSelected))
        canvas->Font()->SetColor(FWeekendColor);
    const std::string text = CellText(ACol, ARow);
    const int x = (ARect.Left + ARect.Right - canvas->TextWidth(text)) / 2;
    const int y = (ARect.Top + ARect.Bottom - canvas->TextHeight(text)) / 2;
    canvas->TextRect(ARect, x, y, text);
}

bool TExCalendar::SelectCell(int ACol, int ARow)
{
    if ((!FUpdating && ReadOnly) || CellText(ACol, ARow).empty() || ARow < 1)
        return false;
    return TCustomGrid::SelectCell(ACol, ARow);
}

void TExCalendar::Click()
{
    const int day = DayOfCell(Col(), Row());
    if (day)
        SetDay(day);
    TCustomGrid::Click();
}

void TExCalendar::KeyDown(WORD& Key, TShiftState Shift)
{
    if (Shift.Empty()) {
        switch (Key) {
        case VK_LEFT:
        case VK_SUBTRACT:
            if (Day() > 1)
                SetDay(Day() - 1);
            else
                SetCalendarDate(FDate - 1);
            Key = 0;
            return;
        case VK_RIGHT:
        case VK_ADD:
            if (Day() < DaysThisMonth())
                SetDay(Day() + 1);
            else
                SetCalendarDate(FDate + 1);
            Key = 0;
            return;
        default:
            break;
        }
    }
    TCustomGrid::KeyDown(Key, Shift);
}

void TExCalendar::KeyPress(char& Key)
{
    if (Key == 'T' || Key == 't') {
        SetCalendarDate(std::trunc(Date()));
        Key = 0;
        return;
    }
    TCustomGrid::KeyPress(Key);
}

void TExCalendar::SizeCells()
{
    const int lines = 6 * GridLineWidth();
    const TGridOptions options = Options();
    if (options.Contains(goVertLine) || options.Contains(goFixedVertLine))
        SetDefaultColWidth(std::max(1, (ClientWidth() - lines) / 7));
    else
        SetDefaultColWidth(std::max(1, ClientWidth() / 7));
    SetDefaultRowHeight(std::max(1, (ClientHeight() - lines) / 7));
}

void TExCalendar::CreateWnd()
{
    TCustomGrid::CreateWnd();
    SizeCells();
}

void TExCalendar::Resize()
{
    SizeCells();
    TCustomGrid::Resize();
}

void TExCalendar::Dispatch(TMessage& Message) { TCustomGrid::Dispatch(Message); }

// --- TLocCalendar --------------------------------------------------------------------------------

TLocCalendar::TLocCalendar(TComponent* AOwner) : TExCalendar(AOwner)
{
    ControlStyle = TControlStyle{csCaptureMouse, csClickEvents, csDoubleClicks, csReplicatable};
    Ctl3D = false;
    ParentCtl3D = false;
    SetEnabled(false);
    SetBorderStyle(bsNone);
    SetParentColor(true);
    SetCalendarDate(std::trunc(Date()));
    SetUseCurrentDate(false);
    SetFixedColor(Color());
    SetOptions(TGridOptions{goFixedHorzLine});
    SetTabStop(false);
}

void TLocCalendar::CreateParams(TCreateParams& Params)
{
    TExCalendar::CreateParams(Params);
    Params.Style &= ~(WS_DISABLED | WS_BORDER | WS_TABSTOP);
}

void TLocCalendar::CreateWnd()
{
    TExCalendar::CreateWnd();
    EnableWindow(Handle(), TRUE);
}

void TLocCalendar::Dispatch(TMessage& Message)
{
    TExCalendar::Dispatch(Message);
    if (Message.Msg == CM_ENABLEDCHANGED && HandleAllocated())
        EnableWindow(Handle(), TRUE);
    else if (Message.Msg == CM_PARENTCOLORCHANGED)
        SetFixedColor(Color());
}

int TLocCalendar::DayAt(int X, int Y) const
{
    int col = -1;
    int row = -1;
    MouseToCell(X, Y, col, row);
    return col >= 0 && row >= 1 ? DayOfCell(col, row) : 0;
}

void TLocCalendar::DrawCell(int ACol, int ARow, TRect ARect, TGridDrawState AState)
{
    TExCalendar::DrawCell(ACol, ARow, ARect, AState);
    int year = 0;
    int month = 0;
    int day = 0;
    DecodeDate(Date(), year, month, day);
    if (ARow < 1 || year != Year() || month != Month() || DayOfCell(ACol, ARow) != day)
        return;
    TCanvas* canvas = Canvas();
    canvas->Pen()->SetColor(clBtnShadow);
    canvas->MoveTo(ARect.Left, ARect.Bottom - 1);
    canvas->LineTo(ARect.Left, ARect.Top);
    canvas->LineTo(ARect.Right - 1, ARect.Top);
    canvas->Pen()->SetColor(clBtnHighlight);
    canvas->LineTo(ARect.Right - 1, ARect.Bottom - 1);
    canvas->LineTo(ARect.Left, ARect.Bottom - 1);
}

// --- TExTimerSpeedButton -------------------------------------------------------------------------

TExTimerSpeedButton::TExTimerSpeedButton(TComponent* AOwner) : TExSpeedButton(AOwner)
{
    SetStyle(bsWin31);
    SetAllowTimer(true);
    ControlStyle.Include(csReplicatable);
}

// --- TPopupCalendar ------------------------------------------------------------------------------

TPopupCalendar::TPopupCalendar(TWinControl* AOwner) : TPopupWindow(AOwner)
{
    SetBounds(0, 0, std::max<int>(PopupCalendarSize.X, 180), std::max<int>(PopupCalendarSize.Y, 120));
    SetColor(clBtnFace);
    SetDefaultDateFont(Font());
    SetShowHint(AOwner ? AOwner->ShowHint() : true);
    auto* main = new TPanel(this);
    main->SetParent(this);
    main->SetAlign(alClient);
    main->SetBevelOuter(bvNone);
    main->SetParentColor(true);
    auto* title = new TPanel(this);
    title->SetParent(main);
    title->SetAlign(alTop);
    title->SetHeight(18);
    title->SetWidth(Width() - 4);
    title->SetBevelOuter(bvNone);
    title->SetParentColor(true);
    FCalendar = new TLocCalendar(this);
    FCalendar->SetParent(main);
    FCalendar->SetAlign(alClient);
    FCalendar->OnChange = [this](TObject* Sender) { CalendarChange(Sender); };
    FCalendar->OnMouseUp = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
        CalendarMouseUp(Sender, Button, Shift, X, Y);
    };
    const int width = title->Width();
    const int places[4] = {-1, 12, width - 26, width - 13};
    for (int i = 0; i < 4; ++i)
        FButtons[i] = PickDateUnit::MakeArrow(this, title, i, places[i], -1, 14);
    FButtons[0]->OnClick = [this](TObject*) { FCalendar->PrevYear(); };
    FButtons[1]->OnClick = [this](TObject*) { FCalendar->PrevMonth(); };
    FButtons[2]->OnClick = [this](TObject*) { FCalendar->NextMonth(); };
    FButtons[3]->OnClick = [this](TObject*) { FCalendar->NextYear(); };
    FTitleLabel = new TLabel(this);
    FTitleLabel->SetAutoSize(false);
    FTitleLabel->SetBounds(29, 1, width - 58, 14);
    FTitleLabel->SetAlignment(taCenter);
    FTitleLabel->SetTransparent(true);
    FTitleLabel->OnDblClick = [this](TObject*) { FCalendar->SetCalendarDate(std::trunc(Date())); };
    FTitleLabel->SetParent(title);
    CalendarChange(nullptr);
}

void TPopupCalendar::CalendarChange(TObject*)
{
    FTitleLabel->SetCaption(FormatDateTime("MMMM, YYYY", FCalendar->CalendarDate()));
}

void TPopupCalendar::CalendarMouseUp(TObject*, TMouseButton Button, TShiftState Shift, int X, int Y)
{
    const TShiftState shifts = Shift * TShiftState{ssShift, ssAlt, ssCtrl};
    if (Button == mbLeft && shifts.Empty() && FCalendar->DayAt(X, Y) != 0)
        CloseUp(true);
}

Variant TPopupCalendar::GetValue() { return VarFromDateTime(FCalendar->CalendarDate()); }

void TPopupCalendar::SetValue(const Variant& Value)
{
    TDateTime date = std::trunc(Date());
    try {
        if (!VarIsNull(Value) && !VarIsEmpty(Value)) {
            const std::string text =
                Trim(ReplaceStr(VarToStr(Value), std::string(1, FormatSettings().DateSeparator), ""));
            if (!text.empty())
                date = VarToDateTime(Value);
        }
    } catch (const Exception&) {
        date = std::trunc(Date());
    }
    if (!PickDateUnit::ShowableDate(date))
        date = std::trunc(Date());
    FCalendar->SetCalendarDate(date);
    CalendarChange(nullptr);
}

void TPopupCalendar::KeyDown(WORD& Key, TShiftState Shift)
{
    TPopupWindow::KeyDown(Key, Shift);
    if (Key == VK_PRIOR || Key == VK_NEXT) {
        const bool ctrl = Shift.Contains(ssCtrl);
        if (Key == VK_PRIOR)
            ctrl ? FCalendar->PrevYear() : FCalendar->PrevMonth();
        else
            ctrl ? FCalendar->NextYear() : FCalendar->NextMonth();
        Key = 0;
        return;
    }
    if (Key != 0)
        FCalendar->CalendarKeyDown(Key, Shift);
}

void TPopupCalendar::KeyPress(char& Key)
{
    TPopupWindow::KeyPress(Key);
    if (Key != 0)
        FCalendar->CalendarKeyPress(Key);
}

TPopupWindow* CreatePopupCalendar(TComponent* AOwner)
{
    auto* popup = new TPopupCalendar(dynamic_cast<TWinControl*>(AOwner));
    // The layer's screen is always at 96 pixels per inch: nothing to scale.
    if (AOwner && Screen && Screen->PixelsPerInch() != 96) {
        popup->Calendar()->SetParentFont(true);
        SetDefaultDateFont(popup->Font());
    }
    return popup;
}

void SetupPopupCalendar(TWinControl* PopupCalendar, TDayOfWeekName AStartOfWeek, TDaysOfWeek AWeekends,
                        TColor AWeekendColor, TStrings* BtnHints)
{
    auto* popup = dynamic_cast<TPopupCalendar*>(PopupCalendar);
    if (!popup || !popup->Calendar())
        return;
    popup->Calendar()->SetStartOfWeek(AStartOfWeek);
    popup->Calendar()->SetWeekendColor(AWeekendColor);
    popup->Calendar()->SetWeekends(AWeekends);
    TExTimerSpeedButton* buttons[4] = {popup->Button(0), popup->Button(1), popup->Button(2), popup->Button(3)};
    PickDateUnit::ApplyHints(buttons, BtnHints);
}

// --- TSelectDateDlg ------------------------------------------------------------------------------

TSelectDateDlg::TSelectDateDlg(TComponent* AOwner) : TForm(AOwner)
{
    SetCaption(ExLoadStr(SDateDlgTitle));
    SetBorderStyle(bsToolWindow);
    SetBorderIcons(TBorderIcons{biSystemMenu});
    SetClientWidth(222);
    SetClientHeight(154);
    SetDefaultDateFont(Font());
    SetColor(clBtnFace);
    Position = poScreenCenter;
    SetShowHint(true);
    KeyPreview = true;
    OnKeyDown = [this](TObject* Sender, WORD& Key, TShiftState Shift) { FormKeyDown(Sender, Key, Shift); };

    auto* top = new TPanel(this);
    top->SetParent(this);
    top->SetBounds(0, 0, 222, 22);
    top->SetAlign(alTop);
    top->SetBevelInner(bvLowered);
    TitleLabel = new TLabel(this);
    TitleLabel->SetAutoSize(false);
    TitleLabel->SetBounds(35, 4, 152, 14);
    TitleLabel->SetAlignment(taCenter);
    TitleLabel->Font()->SetStyle(TFontStyles{fsBold});
    TitleLabel->Font()->SetColor(clBlue);
    TitleLabel->SetTransparent(true);
    TitleLabel->SetParent(top);
    const int places[4] = {3, 18, 188, 203};
    for (int i = 0; i < 4; ++i)
        Buttons[i] = PickDateUnit::MakeArrow(this, top, i, places[i], 3, 16);

    auto* bottom = new TPanel(this);
    bottom->SetParent(this);
    bottom->SetBounds(0, 133, 222, 21);
    bottom->SetAlign(alBottom);
    bottom->SetBevelOuter(bvNone);
    bottom->SetBevelInner(bvNone);
    auto* ok = new TButton(this);
    ok->SetParent(bottom);
    ok->SetBounds(0, 0, 112, 21);
    ok->SetCaption(ResStr("OK"));
    ok->SetModalResult(mrOk);
    auto* cancel = new TButton(this);
    cancel->SetParent(bottom);
    cancel->SetBounds(111, 0, 111, 21);
    cancel->SetCaption(ResStr("Cancel"));
    cancel->SetModalResult(mrCancel);
    cancel->SetCancel(true);

    auto* middle = new TPanel(this);
    middle->SetParent(this);
    middle->SetAlign(alClient);
    middle->SetBevelInner(bvLowered);
    Calendar = new TExCalendar(this);
    Calendar->SetParent(middle);
    Calendar->SetAlign(alClient);
    Calendar->SetColor(clWhite);
    Calendar->SetTabOrder(0);
    Calendar->SetUseCurrentDate(false);
    Calendar->OnChange = [this](TObject* Sender) { CalendarChange(Sender); };
    Calendar->OnDblClick = [this](TObject*) { SetModalResult(mrOk); };

    Buttons[0]->OnClick = [this](TObject*) { Calendar->PrevYear(); };
    Buttons[1]->OnClick = [this](TObject*) { Calendar->PrevMonth(); };
    Buttons[2]->OnClick = [this](TObject*) { Calendar->NextMonth(); };
    Buttons[3]->OnClick = [this](TObject*) { Calendar->NextYear(); };
    TitleLabel->OnDblClick = [this](TObject*) { Calendar->SetCalendarDate(std::trunc(::Date())); };
    Calendar->SetCalendarDate(std::trunc(::Date()));
    CalendarChange(nullptr);
    SetActiveControl(Calendar);
}

void TSelectDateDlg::CalendarChange(TObject*)
{
    TitleLabel->SetCaption(FormatDateTime("MMMM, YYYY", Calendar->CalendarDate()));
}

void TSelectDateDlg::SetDate(TDateTime Value)
{
    if (Value == NullDate || !PickDateUnit::ShowableDate(Value))
        Value = ::Date();
    Calendar->SetCalendarDate(Value);
    CalendarChange(nullptr);
}

void TSelectDateDlg::FormKeyDown(TObject*, WORD& Key, TShiftState Shift)
{
    const bool ctrl = Shift.Contains(ssCtrl);
    switch (Key) {
    case VK_ESCAPE: SetModalResult(mrCancel); break;
    case VK_RETURN: SetModalResult(mrOk); break;
    case VK_TAB:
        Shift == TShiftState{ssShift} ? Calendar->PrevMonth() : Calendar->NextMonth();
        break;
    case VK_PRIOR: ctrl ? Calendar->PrevYear() : Calendar->PrevMonth(); break;
    case VK_NEXT: ctrl ? Calendar->NextYear() : Calendar->NextMonth(); break;
    default: return;
    }
    TitleLabel->Update();
    Key = 0;
}

// --- Running the dialog --------------------------------------------------------------------------

namespace PickDateUnit {

TSelectDateDlg* MakeDialog(const std::string& caption, TDayOfWeekName startOfWeek, TDaysOfWeek weekends,
                           TColor weekendColor, TStrings* hints)
{
    auto* dialog = new TSelectDateDlg(Application);
    if (!caption.empty())
        dialog->SetCaption(caption);
    dialog->Calendar->SetStartOfWeek(startOfWeek);
    dialog->Calendar->SetWeekends(weekends);
    dialog->Calendar->SetWeekendColor(weekendColor);
    ApplyHints(dialog->Buttons, hints);
    return dialog;
}

} // namespace PickDateUnit

bool SelectDate(TDateTime& Date, const std::string& DlgCaption, TDayOfWeekName AStartOfWeek, TDaysOfWeek AWeekends,
                TColor AWeekendColor, TStrings* BtnHints)
{
    std::unique_ptr<TSelectDateDlg> dialog(
        PickDateUnit::MakeDialog(DlgCaption, AStartOfWeek, AWeekends, AWeekendColor, BtnHints));
    dialog->SetDate(Date);
    if (dialog->ShowModal() != mrOk)
        return false;
    Date = dialog->Date();
    return true;
}

bool SelectDateStr(std::string& StrDate, const std::string& DlgCaption, TDayOfWeekName AStartOfWeek,
                   TDaysOfWeek AWeekends, TColor AWeekendColor, TStrings* BtnHints)
{
    const std::string format = FormatSettings().ShortDateFormat;
    TDateTime date = StrToDateFmtDef(format, StrDate, ::Date());
    if (date == NullDate)
        date = ::Date();
    if (!SelectDate(date, DlgCaption, AStartOfWeek, AWeekends, AWeekendColor, BtnHints))
        return false;
    StrDate = FormatDateTime(format, date);
    return true;
}

bool PopupDate(TDateTime& Date, TWinControl* Edit)
{
    std::unique_ptr<TSelectDateDlg> dialog(PickDateUnit::MakeDialog("", Mon, TDaysOfWeek{Sun}, clRed, nullptr));
    dialog->SetBorderIcons(TBorderIcons{});
    const TPoint origin = Edit->ClientToScreen(Point(0, 0));
    int y = origin.Y + Edit->Height() - 1;
    if (y + dialog->Height() > Screen->Height())
        y = origin.Y - dialog->Height() + 1;
    if (y < 0)
        y = origin.Y + Edit->Height() - 1;
    int x = origin.X + Edit->Width() - dialog->Width();
    if (x < 0)
        x = origin.X;
    dialog->Position = poDesigned;
    dialog->SetLeft(x);
    dialog->SetTop(y);
    dialog->SetDate(Date);
    if (dialog->ShowModal() != mrOk)
        return false;
    Date = dialog->Date();
    return true;
}
