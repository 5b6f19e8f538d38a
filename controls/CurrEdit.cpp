// Number, currency and calculator edits: reading the text as a number, the keystroke check,
// clipping, the two displays, pasting, leaving the edit and the calculator popup.

#include "controls/CurrEdit.h"

#include "controls/ExCalc.h"
#include "controls/ExResources.h"
#include "controls/StrUtils.h"
#include "controls/VCLUtils.h"
#include "platform/gui/DeviceContext.h"
#include "platform/gui/Resources.h"
#include "platform/gui/SystemMetrics.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/TypInfo.h"

#include <cctype>
#include <cmath>
#include <mutex>

namespace CurrEditUnit {

// StrToFloat that also refuses what has no finite value ("1e999"), which the edits would
// otherwise store as their value.
double FiniteStrToFloat(const std::string& text)
{
    const double value = StrToFloat(text);
    if (!std::isfinite(value))
        RAISE(EConvertError(Format("'%s' is not a valid floating point value", {text})));
    return value;
}

bool IsValidFloat(const std::string& text, double& value)
{
    const char decimal = FormatSettings().DecimalSeparator;
    for (char c : text)
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == decimal || c == '-' || c == '+' || c == 'e' ||
              c == 'E'))
            return false;
    return TextToFloat(text.substr(0, 63), value) && std::isfinite(value);
}

// The integer digits of a number text with the thousands separator after every third digit
// from the right when grouped, a leading sign kept in front.
std::string GroupThousands(const std::string& text, bool grouped)
{
    if (!grouped || text.empty())
        return text;
    const TFormatSettings& settings = FormatSettings();
    std::size_t end = text.find_first_of(std::string(1, settings.DecimalSeparator) + "eE");
    if (end == std::string::npos)
        end = text.size();
    const std::size_t start = text[0] == '-' || text[0] == '+' ? 1 : 0;
    std::string result = text;
    for (std::size_t at = end; at > start + 3; at -= 3)
        result.insert(at - 3, 1, settings.ThousandSeparator);
    return result;
}

TBitmap* CalcEditBitmap()
{
    // Loaded once and kept for the process: freeing it at exit would meet the drawing layer
    // already gone.
    static TBitmap* bitmap = [] {
        RegisterExResources();
        auto* loaded = new TBitmap;
        loaded->SetHandle(LoadBitmap(MainInstance(), "CEDITBMP"));
        return loaded;
    }();
    return bitmap;
}

bool IsCalculatorKey(char key)
{
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(key)));
    static const std::string keys = std::string("0123456789.,+-*/_=CRQ%") + '\b' + '\r';
    return upper != 0 && (keys.find(upper) != std::string::npos || upper == FormatSettings().DecimalSeparator);
}

void RegisterNumEditProperties();

} // namespace CurrEditUnit

std::string TextToValText(const std::string& AValue)
{
    const char decimal = FormatSettings().DecimalSeparator;
    const char thousand = FormatSettings().ThousandSeparator;
    std::string result = DelRSpace(AValue);
    if (decimal != thousand)
        result = DelChars(result, thousand);
    if (decimal != '.' && thousand != '.')
        result = ReplaceStr(result, ".", std::string(1, decimal));
    if (decimal != ',' && thousand != ',')
        result = ReplaceStr(result, ",", std::string(1, decimal));
    if (result.empty())
        result = "0";
    else if (result == "-")
        result = "-0";
    return result;
}

// --- TCustomNumEdit: construction ----------------------------------------------------------------

TCustomNumEdit::TCustomNumEdit(TComponent* AOwner) : TCustomComboEdit(AOwner)
{
    CurrEditUnit::RegisterNumEditProperties();
    ControlStyle.Exclude(csSetCaption);
    SetMaxLength(0);
    FDisplayFormat = DefaultDisplayFormat();
    SetEditorWindowText("");
    TCustomComboEdit::SetAlignment(taLeftJustify);
    FDefNumGlyphs = 2;
    DataChanged();
    ControlState.Include(csCreating);
    try {
        SetGlyphKind(gkDefault);
        SetButtonWidth(20);
    } catch (...) {
        ControlState.Exclude(csCreating);
        throw;
    }
    ControlState.Exclude(csCreating);
}

TCustomNumEdit::~TCustomNumEdit()
{
    if (TPopupWindow* popup = Popup()) {
        popup->OnCloseUp = nullptr;
        SetPopup(nullptr);
        delete popup;
    }
}

TBitmap* TCustomNumEdit::GetDefaultBitmap(bool& DestroyNeeded)
{
    DestroyNeeded = false;
    return CurrEditUnit::CalcEditBitmap();
}

void TCustomNumEdit::SetEditorWindowText(const std::string& Value) { TControl::SetText(Value); }

// --- Properties ----------------------------------------------------------------------------------

void TCustomNumEdit::SetAlignment(TAlignment Value)
{
    if (FAlignment == Value)
        return;
    FAlignment = Value;
    Invalidate();
}

void TCustomNumEdit::SetBeepOnError(bool Value)
{
    if (FBeepOnError == Value)
        return;
    FBeepOnError = Value;
    UpdatePopup();
}

void TCustomNumEdit::SetDecimalPlaces(int Value)
{
    if (Value < 0 || FDecimalPlaces == Value)
        return;
    FDecimalPlaces = Value;
    DataChanged();
    Invalidate();
}

void TCustomNumEdit::SetDisplayFormat(const std::string& Value)
{
    if (Value == FDisplayFormat)
        return;
    FDisplayFormat = Value;
    Invalidate();
    DataChanged();
}

void TCustomNumEdit::SetFormatOnEditing(bool Value)
{
    if (FFormatOnEditing == Value)
        return;
    FFormatOnEditing = Value;
    TCustomComboEdit::SetAlignment(FFormatOnEditing ? FAlignment : taLeftJustify);
    if (!FFocused)
        return;
    if (FFormatOnEditing) {
        ReformatEditText();
    } else {
        UpdateData();
        DataChanged();
    }
}

void TCustomNumEdit::SetMaxValue(double Value)
{
    if (Value == FMaxValue)
        return;
    FMaxValue = Value;
    SetValue(FValue);
}

void TCustomNumEdit::SetMinValue(double Value)
{
    if (Value == FMinValue)
        return;
    FMinValue = Value;
    SetValue(FValue);
}

void TCustomNumEdit::SetZeroEmpty(bool Value)
{
    if (FZeroEmpty == Value)
        return;
    FZeroEmpty = Value;
    DataChanged();
}

void TCustomNumEdit::UpdatePopup() { SetupPopupCalculator(Popup(), 15, FBeepOnError); }

// --- Value and text ------------------------------------------------------------------------------

double TCustomNumEdit::CheckValue(double NewValue, bool RaiseOnError)
{
    double result = NewValue;
    if (FMaxValue != FMinValue) {
        if (FMaxValue > FMinValue) {
            if (NewValue < FMinValue)
                result = FMinValue;
            else if (NewValue > FMaxValue)
                result = FMaxValue;
        } else if (FMaxValue == 0) {
            if (NewValue < FMinValue)
                result = FMinValue;
        } else if (FMinValue == 0) {
            if (NewValue > FMaxValue)
                result = FMaxValue;
        }
        if (RaiseOnError && result != NewValue)
            RAISE(ERangeError(Format(ReplaceStr(ResStr("Value must be between %d and %d"), "%d", "%.*f"),
                                     {FDecimalPlaces, FMinValue, FDecimalPlaces, FMaxValue})));
    }
    return result;
}

double TCustomNumEdit::GetValue()
{
    if (!ComponentState().Contains(csDesigning)) {
        try {
            UpdateData();
        } catch (const Exception&) {
            FValue = FMinValue;
        }
    }
    return FValue;
}

void TCustomNumEdit::SetValue(double AValue)
{
    FValue = std::isfinite(AValue) ? CheckValue(AValue, false) : FMinValue;
    DataChanged();
    Invalidate();
}

void TCustomNumEdit::SetText(const std::string& S)
{
    if (FAcceptingPopup) {
        SetEditorWindowText(S);
        return;
    }
    if (ComponentState().Contains(csReading))
        return;
    FValue = CheckValue(CurrEditUnit::FiniteStrToFloat(TextToValText(S)), false);
    DataChanged();
    Invalidate();
}

void TCustomNumEdit::UpdateData()
{
    ValidateEdit();
    FValue = CheckValue(CurrEditUnit::FiniteStrToFloat(TextToValText(Text())), false);
}

void TCustomNumEdit::CheckRange()
{
    if (!ComponentState().Contains(csDesigning) && CheckOnExit)
        CheckValue(CurrEditUnit::FiniteStrToFloat(TextToValText(Text())), true);
}

std::string TCustomNumEdit::FormatDisplayText(double Value)
{
    return FDisplayFormat.empty() ? FloatToStr(Value) : FormatFloat(FDisplayFormat, Value);
}

std::string TCustomNumEdit::GetDisplayText() { return FormatDisplayText(FValue); }

void TCustomNumEdit::DataChanged()
{
    std::string pattern = "0";
    if (FDecimalPlaces > 0)
        pattern += "." + std::string(static_cast<std::size_t>(FDecimalPlaces), '#');
    if (FValue == 0 && FZeroEmpty)
        SetEditorWindowText("");
    else
        SetEditorWindowText(FormatFloat(pattern, CheckValue(FValue, false)));
}

void TCustomNumEdit::Reset()
{
    DataChanged();
    SelectAll();
}

// --- Typing --------------------------------------------------------------------------------------

bool TCustomNumEdit::IsValidChar(char Key)
{
    std::string text = Text();
    const int start = std::min(SelStart(), static_cast<int>(text.size()));
    const int length = std::min(SelLength(), static_cast<int>(text.size()) - start);
    text.replace(static_cast<std::size_t>(start), static_cast<std::size_t>(length), 1, Key);
    text = TextToValText(text);
    const std::size_t decimalAt = text.find(FormatSettings().DecimalSeparator);
    if (decimalAt != std::string::npos) {
        const std::size_t exponentAt = text.find_first_of("eE", decimalAt);
        const std::size_t decimals =
            (exponentAt != std::string::npos ? exponentAt : text.size()) - decimalAt - 1;
        if (decimals > static_cast<std::size_t>(FDecimalPlaces))
            return false;
    }
    double value = 0;
    if (!CurrEditUnit::IsValidFloat(text, value))
        return false;
    // A minus sign alone reads as -0: it is refused as well where negatives are.
    return !(FMinValue >= 0 && FMaxValue > 0 && std::signbit(value));
}

void TCustomNumEdit::KeyPress(char& Key)
{
    if (PopupVisible() && CurrEditUnit::IsCalculatorKey(Key)) {
        if (auto* calculator = dynamic_cast<TPopupCalculator*>(Popup()))
            calculator->KeyPress(Key);
        Key = 0;
        return;
    }
    if (Key == '.' || Key == ',')
        Key = FormatSettings().DecimalSeparator;
    TCustomComboEdit::KeyPress(Key);
    if (static_cast<unsigned char>(Key) >= 32 && !IsValidChar(Key)) {
        if (FBeepOnError)
            MessageBeep(0);
        Key = 0;
    } else if (Key == '\x1B') {
        Reset();
        Key = 0;
    }
}

void TCustomNumEdit::Change()
{
    if (FFormatting)
        return;
    if (FFormatOnEditing && FFocused)
        ReformatEditText();
    TCustomComboEdit::Change();
}

void TCustomNumEdit::ReformatEditText()
{
    FFormatting = true;
    try {
        std::string text = Text();
        const int oldLength = static_cast<int>(text.size());
        const bool empty = text.empty() || text == "-";
        const int caret = HandleAllocated() ? SelStart() : 0;
        if (!empty)
            text = TextToValText(text);
        text = CurrEditUnit::GroupThousands(text, FDisplayFormat.find(',') != std::string::npos);
        SetEditorWindowText(text);
        if (HandleAllocated() && Focused() && !ComponentState().Contains(csDesigning))
            SetSelStart(caret + static_cast<int>(text.size()) - oldLength);
    } catch (...) {
        FFormatting = false;
        throw;
    }
    FFormatting = false;
}

void TCustomNumEdit::AcceptValue(const Variant& Value)
{
    // The calculator's number goes into the window as text; it is read on the next GetValue.
    FAcceptingPopup = true;
    try {
        TCustomComboEdit::AcceptValue(Value);
    } catch (...) {
        FAcceptingPopup = false;
        throw;
    }
    FAcceptingPopup = false;
}

void TCustomNumEdit::PasteFromClipboard()
{
    const std::string old = Text();
    try {
        TCustomComboEdit::PasteFromClipboard();
        UpdateData();
    } catch (const Exception&) {
        SetEditorWindowText(old);
        SelectAll();
        if (CanFocus())
            SetFocus();
        if (FBeepOnError)
            MessageBeep(0);
    }
}

// --- Focus and painting --------------------------------------------------------------------------

void TCustomNumEdit::SetFocused(bool Value)
{
    if (FFocused == Value)
        return;
    FFocused = Value;
    Invalidate();
    FFormatting = true;
    try {
        DataChanged();
    } catch (...) {
        FFormatting = false;
        throw;
    }
    FFormatting = false;
}

void TCustomNumEdit::EnterEdit(TMessage& Message)
{
    SetFocused(true);
    if (FFormatOnEditing)
        ReformatEditText();
    TCustomComboEdit::Dispatch(Message);
}

void TCustomNumEdit::ExitEdit()
{
    try {
        CheckRange();
        UpdateData();
    } catch (...) {
        // The user sees the message and stays in the edit to mend the number.
        SelectAll();
        if (CanFocus())
            SetFocus();
        throw;
    }
    SetFocused(false);
    SetSelStart(0);
    SetSelLength(0);
    DoExit();
}

void TCustomNumEdit::PaintEdit(TMessage& Message)
{
    const std::string text = PopupVisible() && Popup() ? Popup()->GetPopupText() : GetDisplayText();
    if (!PaintComboEdit(this, text, FAlignment, FFocused && !PopupVisible(), FCanvas, Message))
        TCustomComboEdit::Dispatch(Message);
}

void TCustomNumEdit::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case CM_ENTER:
        EnterEdit(Message);
        return;
    case CM_EXIT:
        ExitEdit();
        return;
    case WM_PAINT:
        if (IsDeviceContext(reinterpret_cast<HDC>(Message.WParam)))
            break;
        PaintEdit(Message);
        return;
    case CM_ENABLEDCHANGED:
        TCustomComboEdit::Dispatch(Message);
        if (NewStyleControls && !FFocused)
            Invalidate();
        return;
    case CM_FONTCHANGED:
        TCustomComboEdit::Dispatch(Message);
        Invalidate();
        return;
    default:
        break;
    }
    TCustomComboEdit::Dispatch(Message);
}

// --- TCurrencyEdit -------------------------------------------------------------------------------

TCurrencyEdit::TCurrencyEdit(TComponent* AOwner) : TCustomNumEdit(AOwner)
{
    ControlState.Include(csCreating);
    try {
        SetButtonWidth(0);
    } catch (...) {
        ControlState.Exclude(csCreating);
        throw;
    }
    ControlState.Exclude(csCreating);
    FDisplayFormat = DefaultDisplayFormat();
    DataChanged();
}

std::string TCurrencyEdit::DefaultDisplayFormat()
{
    const TFormatSettings& settings = FormatSettings();
    std::string number = ",0." + std::string(static_cast<std::size_t>(std::max(0, settings.CurrencyDecimals)), '0');
    std::string currency;
    for (char c : settings.CurrencyString) {
        if (c == '.' || c == ',')
            currency += std::string("'") + c + "'";
        else
            currency += c;
    }
    if (!currency.empty()) {
        switch (settings.CurrencyFormat) {
        case 0: number = currency + number; break;
        case 1: number = number + currency; break;
        case 2: number = currency + " " + number; break;
        case 3: number = number + " " + currency; break;
        default: break;
        }
    }
    return Format("%s;-%s", {number, number});
}

// --- TExCustomCalcEdit ---------------------------------------------------------------------------

TExCustomCalcEdit::TExCustomCalcEdit(TComponent* AOwner) : TCustomNumEdit(AOwner)
{
    SetPopup(static_cast<TPopupWindow*>(CreatePopupCalculator(this)));
    UpdatePopup();
}

bool TExCustomCalcEdit::AcceptPopup(Variant&)
{
    auto* calculator = dynamic_cast<TPopupCalculator*>(Popup());
    return !calculator || !calculator->Calculator() || calculator->Calculator()->Status() != csError;
}

// --- Published properties ------------------------------------------------------------------------

namespace CurrEditUnit {

template <class C>
TPropInfo NumEditFlag(const std::string& name, bool (C::*get)() const, void (C::*set)(bool))
{
    return OrdProp<C>(
        name, TypeInfoBoolean(), [get](C& c) -> std::int64_t { return (c.*get)() ? 1 : 0; },
        [set](C& c, std::int64_t v) { (c.*set)(v != 0); });
}

void RegisterNumEditProperties()
{
    static std::once_flag registered;
    std::call_once(registered, [] {
        RegisterPropInfos(
            "TCustomNumEdit", "TCustomEdit",
            {OrdProp<TCustomNumEdit>(
                 "Alignment", EnumTypeInfo("TAlignment", {"taLeftJustify", "taRightJustify", "taCenter"}),
                 [](TCustomNumEdit& e) -> std::int64_t { return e.Alignment(); },
                 [](TCustomNumEdit& e, std::int64_t v) { e.SetAlignment(static_cast<TAlignment>(v)); }),
             NumEditFlag<TCustomNumEdit>("BeepOnError", &TCustomNumEdit::BeepOnError, &TCustomNumEdit::SetBeepOnError),
             OrdProp<TCustomNumEdit>(
                 "CheckOnExit", TypeInfoBoolean(), [](TCustomNumEdit& e) -> std::int64_t { return e.CheckOnExit; },
                 [](TCustomNumEdit& e, std::int64_t v) { e.CheckOnExit = v != 0; }),
             OrdProp<TCustomNumEdit>(
                 "DecimalPlaces", IntegerTypeInfo("Cardinal"),
                 [](TCustomNumEdit& e) -> std::int64_t { return e.DecimalPlaces(); },
                 [](TCustomNumEdit& e, std::int64_t v) { e.SetDecimalPlaces(static_cast<int>(v)); }),
             StrProp<TCustomNumEdit>(
                 "DisplayFormat", [](TCustomNumEdit& e) { return e.DisplayFormat(); },
                 [](TCustomNumEdit& e, const std::string& v) { e.SetDisplayFormat(v); }),
             NumEditFlag<TCustomNumEdit>("FormatOnEditing", &TCustomNumEdit::FormatOnEditing,
                                         &TCustomNumEdit::SetFormatOnEditing),
             FloatProp<TCustomNumEdit>(
                 "MaxValue", FloatTypeInfo("Extended", ftExtended), [](TCustomNumEdit& e) { return e.MaxValue(); },
                 [](TCustomNumEdit& e, double v) { e.SetMaxValue(v); }),
             FloatProp<TCustomNumEdit>(
                 "MinValue", FloatTypeInfo("Extended", ftExtended), [](TCustomNumEdit& e) { return e.MinValue(); },
                 [](TCustomNumEdit& e, double v) { e.SetMinValue(v); }),
             FloatProp<TCustomNumEdit>(
                 "Value", FloatTypeInfo("Extended", ftExtended), [](TCustomNumEdit& e) { return e.GetValue(); },
                 [](TCustomNumEdit& e, double v) { e.SetValue(v); }),
             NumEditFlag<TCustomNumEdit>("ZeroEmpty", &TCustomNumEdit::ZeroEmpty, &TCustomNumEdit::SetZeroEmpty)});
        // The calculator edit's button and popup; the currency edit has neither.
        RegisterPropInfos(
            "TExCalcEdit", "TCustomNumEdit",
            {StrProp<TExCalcEdit>(
                 "ButtonHint", [](TExCalcEdit& e) { return e.ButtonHint(); },
                 [](TExCalcEdit& e, const std::string& v) { e.SetButtonHint(v); }),
             OrdProp<TExCalcEdit>(
                 "ButtonWidth", TypeInfoInteger(), [](TExCalcEdit& e) -> std::int64_t { return e.ButtonWidth(); },
                 [](TExCalcEdit& e, std::int64_t v) { e.SetButtonWidth(static_cast<int>(v)); }),
             OrdProp<TExCalcEdit>(
                 "ClickKey", IntegerTypeInfo("TShortCut"), [](TExCalcEdit& e) -> std::int64_t { return e.ClickKey; },
                 [](TExCalcEdit& e, std::int64_t v) { e.ClickKey = static_cast<TShortCut>(v); }),
             NumEditFlag<TExCalcEdit>("DirectInput", &TExCalcEdit::DirectInput, &TExCalcEdit::SetDirectInput),
             OrdProp<TExCalcEdit>(
                 "GlyphKind", EnumTypeInfo("TGlyphKind", {"gkCustom", "gkDefault", "gkDropDown", "gkEllipsis"}),
                 [](TExCalcEdit& e) -> std::int64_t { return e.GlyphKind(); },
                 [](TExCalcEdit& e, std::int64_t v) { e.SetGlyphKind(static_cast<TGlyphKind>(v)); }),
             OrdProp<TExCalcEdit>(
                 "NumGlyphs", IntegerTypeInfo("TExNumGlyphs"),
                 [](TExCalcEdit& e) -> std::int64_t { return e.NumGlyphs(); },
                 [](TExCalcEdit& e, std::int64_t v) { e.SetNumGlyphs(static_cast<TExNumGlyphs>(v)); }),
             OrdProp<TExCalcEdit>(
                 "PopupAlign", EnumTypeInfo("TPopupAlign", {"epaRight", "epaLeft"}),
                 [](TExCalcEdit& e) -> std::int64_t { return e.PopupAlign; },
                 [](TExCalcEdit& e, std::int64_t v) { e.PopupAlign = static_cast<TPopupAlign>(v); })});
    });
}

} // namespace CurrEditUnit
