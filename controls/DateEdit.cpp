// The date edit: its mask and format, reading and writing the date, the keys, the popup
// calendar or the date dialog, the exit check and the re-masking after a format change.

#include "controls/DateEdit.h"

#include "controls/ExCConst.h"
#include "controls/ExConst.h"
#include "controls/ExResources.h"
#include "controls/StrUtils.h"
#include "platform/gui/Application.h"
#include "platform/gui/Resources.h"
#include "platform/gui/Screen.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/TypInfo.h"

#include <cmath>
#include <mutex>

namespace DateEditUnit {

TBitmap* DateEditBitmap()
{
    // Loaded once and kept for the process, like the calculator edit's picture.
    static TBitmap* bitmap = [] {
        RegisterExResources();
        auto* loaded = new TBitmap;
        loaded->SetHandle(LoadBitmap(MainInstance(), "DEDITBMP"));
        return loaded;
    }();
    return bitmap;
}

bool IsPopupKey(WORD key)
{
    return key == VK_PRIOR || key == VK_NEXT || key == VK_LEFT || key == VK_UP || key == VK_RIGHT ||
           key == VK_DOWN || key == VK_ADD || key == VK_SUBTRACT;
}

void RemaskControls(TWinControl* parent)
{
    for (int i = 0; i < parent->ControlCount(); ++i)
        if (auto* windowed = dynamic_cast<TWinControl*>(parent->Controls(i))) {
            if (auto* edit = dynamic_cast<TCustomDateEdit*>(windowed))
                edit->UpdateMask();
            RemaskControls(windowed);
        }
}

// The published properties, for the property storage (Date is public, not published).
void RegisterDateEditProperties()
{
    static std::once_flag registered;
    std::call_once(registered, [] {
        const auto flag = [](const char* name, bool TCustomDateEdit::*field) {
            return OrdProp<TCustomDateEdit>(
                name, TypeInfoBoolean(), [field](TCustomDateEdit& e) -> std::int64_t { return e.*field; },
                [field](TCustomDateEdit& e, std::int64_t v) { e.*field = v != 0; });
        };
        RegisterPropInfos(
            "TCustomDateEdit", "TCustomEdit",
            {OrdProp<TCustomDateEdit>(
                 "BlanksChar", TypeInfoChar(),
                 [](TCustomDateEdit& e) -> std::int64_t { return static_cast<unsigned char>(e.BlanksChar()); },
                 [](TCustomDateEdit& e, std::int64_t v) { e.SetBlanksChar(static_cast<char>(v)); }),
             ObjectProp<TCustomDateEdit>(
                 "CalendarHints", "TStrings", [](TCustomDateEdit& e) -> TObject* { return e.CalendarHints(); },
                 [](TCustomDateEdit& e, TObject* v) { e.SetCalendarHints(dynamic_cast<TStrings*>(v)); }),
             flag("CheckOnExit", &TCustomDateEdit::CheckOnExit), flag("DefaultToday", &TCustomDateEdit::DefaultToday),
             StrProp<TCustomDateEdit>(
                 "DialogTitle", [](TCustomDateEdit& e) { return e.DialogTitle; },
                 [](TCustomDateEdit& e, const std::string& v) { e.DialogTitle = v; }),
             OrdProp<TCustomDateEdit>(
                 "CalendarStyle", EnumTypeInfo("TCalendarStyle", {"csPopup", "csDialog"}),
                 [](TCustomDateEdit& e) -> std::int64_t { return e.CalendarStyle(); },
                 [](TCustomDateEdit& e, std::int64_t v) { e.SetCalendarStyle(static_cast<TCalendarStyle>(v)); }),
             OrdProp<TCustomDateEdit>(
                 "PopupColor", IntegerTypeInfo("TColor"),
                 [](TCustomDateEdit& e) -> std::int64_t { return e.PopupColor(); },
                 [](TCustomDateEdit& e, std::int64_t v) { e.SetPopupColor(static_cast<TColor>(v)); }),
             OrdProp<TCustomDateEdit>(
                 "StartOfWeek", EnumTypeInfo("TDayOfWeekName", {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"}),
                 [](TCustomDateEdit& e) -> std::int64_t { return e.StartOfWeek(); },
                 [](TCustomDateEdit& e, std::int64_t v) { e.SetStartOfWeek(static_cast<TDayOfWeekName>(v)); }),
             OrdProp<TCustomDateEdit>(
                 "WeekendColor", IntegerTypeInfo("TColor"),
                 [](TCustomDateEdit& e) -> std::int64_t { return e.WeekendColor(); },
                 [](TCustomDateEdit& e, std::int64_t v) { e.SetWeekendColor(static_cast<TColor>(v)); }),
             OrdProp<TCustomDateEdit>(
                 "Weekends",
                 SetTypeInfo("TDaysOfWeek",
                             EnumTypeInfo("TDayOfWeekName", {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"})),
                 [](TCustomDateEdit& e) { return static_cast<std::int64_t>(e.Weekends().Bits()); },
                 [](TCustomDateEdit& e, std::int64_t v) { e.SetWeekends(TDaysOfWeek::FromBits(v & 0x7F)); }),
             OrdProp<TCustomDateEdit>(
                 "YearDigits", EnumTypeInfo("TYearDigits", {"dyDefault", "dyFour", "dyTwo"}),
                 [](TCustomDateEdit& e) -> std::int64_t { return e.YearDigits(); },
                 [](TCustomDateEdit& e, std::int64_t v) { e.SetYearDigits(static_cast<TYearDigits>(v)); })});
    });
}

} // namespace DateEditUnit

// --- Construction --------------------------------------------------------------------------------

TCustomDateEdit::TCustomDateEdit(TComponent* AOwner)
    : TCustomComboEdit(AOwner), DialogTitle(ExLoadStr(SDateDlgTitle)),
      FCalendarHints(std::make_unique<TStringList>())
{
    DateEditUnit::RegisterDateEditProperties();
    FDefNumGlyphs = 2;
    FCalendarHints->OnChange = [this](TObject* Sender) { HintsChanged(Sender); };
    ControlState.Include(csCreating);
    try {
        UpdateFormat();
        CreatePopup();
        SetGlyphKind(gkDefault);
    } catch (...) {
        ControlState.Exclude(csCreating);
        throw;
    }
    ControlState.Exclude(csCreating);
}

TCustomDateEdit::~TCustomDateEdit()
{
    Unhook();
    FCalendarHints->OnChange = nullptr;
    if (TPopupWindow* popup = Popup()) {
        popup->OnCloseUp = nullptr;
        SetPopup(nullptr);
        delete popup;
    }
}

void TCustomDateEdit::CreatePopup()
{
    TPopupWindow* popup = CreatePopupCalendar(this);
    SetPopup(popup);
    popup->SetColor(FPopupColor);
    UpdatePopup();
}

TBitmap* TCustomDateEdit::GetDefaultBitmap(bool& DestroyNeeded)
{
    DestroyNeeded = false;
    return DateEditUnit::DateEditBitmap();
}

void TCustomDateEdit::CreateWnd()
{
    TCustomComboEdit::CreateWnd();
    UpdateMask();
    if (FHookId < 0 && Application)
        FHookId = Application->HookMainWindow([this](TMessage& Message) {
            if (Message.Msg == WM_WININICHANGE && Application->UpdateFormatSettings)
                UpdateMask();
            return false;
        });
}

void TCustomDateEdit::DestroyWnd()
{
    Unhook();
    TCustomComboEdit::DestroyWnd();
}

void TCustomDateEdit::Unhook()
{
    if (FHookId >= 0 && Application)
        Application->UnhookMainWindow(FHookId);
    FHookId = -1;
}

// --- Format and mask -----------------------------------------------------------------------------

bool TCustomDateEdit::FourDigitYear() const
{
    if (FYearDigits == dyFour)
        return true;
    if (FYearDigits == dyTwo)
        return false;
    return Pos("YYYY", UpperCase(FormatSettings().ShortDateFormat)) > 0;
}

std::string TCustomDateEdit::GetDateMask() const { return DefDateMask(FBlanksChar, FourDigitYear()); }

void TCustomDateEdit::UpdateFormat() { FDateFormat = DefDateFormat(FourDigitYear()).substr(0, 10); }

void TCustomDateEdit::UpdateMask()
{
    const TDateTime date = GetDate();
    const std::string oldFormat = FDateFormat;
    UpdateFormat();
    const std::string mask = GetDateMask();
    if (mask != EditMask() || oldFormat != FDateFormat) {
        SetEditMask("");
        SetEditMask(mask);
    }
    UpdatePopup();
    SetDate(date);
}

void TCustomDateEdit::UpdatePopup()
{
    if (Popup())
        SetupPopupCalendar(Popup(), FStartOfWeek, FWeekends, FWeekendColor, FCalendarHints.get());
}

// --- Date ----------------------------------------------------------------------------------------

TDateTime TCustomDateEdit::GetDate()
{
    const TDateTime fallback = DefaultToday ? ::Date() : NullDate;
    return StrToDateFmtDef(FDateFormat, Text(), fallback);
}

void TCustomDateEdit::SetDate(TDateTime Value)
{
    if (!std::isfinite(Value) || !ValidDate(Value) || Value == NullDate)
        Value = DefaultToday ? ::Date() : NullDate;
    const TDateTime old = GetDate();
    if (Value == NullDate)
        SetText("");
    else
        SetText(FormatDateTime(FDateFormat, Value));
    SetModified(GetDate() != old);
}

void TCustomDateEdit::ApplyDate(TDateTime Value)
{
    SetDate(Value);
    SelectAll();
}

bool TCustomDateEdit::TextStored() const
{
    TCharSet empty;
    empty.Include(' ');
    empty.Include(FBlanksChar);
    empty.Include(FormatSettings().DateSeparator);
    return !IsEmptyStr(Text(), empty);
}

void TCustomDateEdit::CheckValidDate()
{
    if (!TextStored())
        return;
    FFormatting = true;
    try {
        SetDate(StrToDateFmt(FDateFormat, Text()));
    } catch (...) {
        FFormatting = false;
        if (CanFocus())
            SetFocus();
        throw;
    }
    FFormatting = false;
}

// --- Properties ----------------------------------------------------------------------------------

void TCustomDateEdit::SetBlanksChar(char Value)
{
    if (static_cast<unsigned char>(Value) < 32)
        Value = ' ';
    if (Value == FBlanksChar)
        return;
    FBlanksChar = Value;
    UpdateMask();
}

void TCustomDateEdit::SetYearDigits(TYearDigits Value)
{
    if (Value == FYearDigits)
        return;
    FYearDigits = Value;
    UpdateMask();
}

void TCustomDateEdit::SetCalendarHints(TStrings* Value) { FCalendarHints->Assign(Value); }

void TCustomDateEdit::HintsChanged(TObject*)
{
    const TNotifyEvent handler = FCalendarHints->OnChange;
    FCalendarHints->OnChange = nullptr;
    while (FCalendarHints->Count() > 4)
        FCalendarHints->Delete(FCalendarHints->Count() - 1);
    FCalendarHints->OnChange = handler;
    UpdatePopup();
}

TColor TCustomDateEdit::PopupColor() const { return Popup() ? Popup()->Color() : FPopupColor; }

void TCustomDateEdit::SetPopupColor(TColor Value)
{
    if (Popup())
        Popup()->SetColor(Value);
    FPopupColor = Value;
}

void TCustomDateEdit::SetCalendarStyle(TCalendarStyle Value)
{
    if (Value == CalendarStyle())
        return;
    if (Value == csDialog) {
        TPopupWindow* popup = Popup();
        popup->OnCloseUp = nullptr;
        SetPopup(nullptr);
        delete popup;
    } else {
        CreatePopup();
    }
}

void TCustomDateEdit::SetStartOfWeek(TDayOfWeekName Value)
{
    if (Value == FStartOfWeek)
        return;
    FStartOfWeek = Value;
    UpdatePopup();
}

void TCustomDateEdit::SetWeekends(TDaysOfWeek Value)
{
    if (Value == FWeekends)
        return;
    FWeekends = Value;
    UpdatePopup();
}

void TCustomDateEdit::SetWeekendColor(TColor Value)
{
    if (Value == FWeekendColor)
        return;
    FWeekendColor = Value;
    UpdatePopup();
}

// --- Popup, dialog and keys ----------------------------------------------------------------------

void TCustomDateEdit::SetPopupValue(const Variant& Value)
{
    const std::string text = VarIsNull(Value) || VarIsEmpty(Value) ? "" : VarToStr(Value);
    TCustomComboEdit::SetPopupValue(VarFromDateTime(StrToDateFmtDef(FDateFormat, text, ::Date())));
}

bool TCustomDateEdit::AcceptPopup(Variant& Value)
{
    if (!OnAcceptDate)
        return true;
    TDateTime date = NullDate;
    if (!VarIsNull(Value) && !VarIsEmpty(Value)) {
        try {
            date = VarToDateTime(Value);
        } catch (const Exception&) {
            date = DefaultToday ? ::Date() : NullDate;
        }
    }
    bool action = true;
    OnAcceptDate(this, date, action);
    if (action)
        Value = VarFromDateTime(date);
    return action;
}

void TCustomDateEdit::AcceptValue(const Variant& Value)
{
    TDateTime date = NullDate;
    try {
        date = VarToDateTime(Value);
    } catch (const Exception&) {
        date = NullDate;
    }
    SetDate(date);
    UpdatePopupVisible();
    if (Modified())
        DoChange();
}

void TCustomDateEdit::ButtonClick()
{
    TCustomComboEdit::ButtonClick();
    if (CalendarStyle() != csDialog)
        return;
    TDateTime date = GetDate();
    const bool chosen = SelectDate(date, DialogTitle, FStartOfWeek, FWeekends, FWeekendColor, FCalendarHints.get());
    if (CanFocus())
        SetFocus();
    if (!chosen)
        return;
    bool action = true;
    if (OnAcceptDate)
        OnAcceptDate(this, date, action);
    if (action) {
        SetDate(date);
        if (Focused())
            SelectAll();
    }
}

void TCustomDateEdit::Change()
{
    if (!FFormatting)
        TCustomComboEdit::Change();
}

void TCustomDateEdit::KeyDown(WORD& Key, TShiftState Shift)
{
    if (DateEditUnit::IsPopupKey(Key) && PopupVisible()) {
        if (auto* calendar = dynamic_cast<TPopupCalendar*>(Popup()))
            calendar->KeyDown(Key, Shift);
        Key = 0;
    } else if (Shift.Empty() && DirectInput() && (Key == VK_ADD || Key == VK_SUBTRACT)) {
        TDateTime date = GetDate();
        if (date == NullDate)
            date = Now();
        ApplyDate(date + (Key == VK_ADD ? 1 : -1));
        Key = 0;
    }
    TCustomComboEdit::KeyDown(Key, Shift);
}

void TCustomDateEdit::KeyPress(char& Key)
{
    const bool dateKey = Key == '+' || Key == '-' || Key == 'T' || Key == 't';
    if (dateKey && PopupVisible()) {
        if (auto* calendar = dynamic_cast<TPopupCalendar*>(Popup()))
            calendar->KeyPress(Key);
        Key = 0;
    } else if (DirectInput() && dateKey) {
        if (Key == 'T' || Key == 't')
            ApplyDate(std::trunc(::Date()));
        Key = 0;
    }
    TCustomComboEdit::KeyPress(Key);
}

void TCustomDateEdit::Dispatch(TMessage& Message)
{
    if (Message.Msg == CM_EXIT && CheckOnExit)
        CheckValidDate();
    TCustomComboEdit::Dispatch(Message);
}

// --- TDateEdit -----------------------------------------------------------------------------------

TDateEdit::TDateEdit(TComponent* AOwner) : TCustomDateEdit(AOwner) { UpdateMask(); }

void DateFormatChanged()
{
    if (!Screen)
        return;
    for (int i = 0; i < Screen->FormCount(); ++i)
        DateEditUnit::RemaskControls(Screen->Forms(i));
}
