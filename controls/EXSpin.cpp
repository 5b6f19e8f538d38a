// The diagonal spin button (its painting, halves and repeat timer), the up-down control and
// the spin edit (values of three kinds, stepping, keys, clipping on exit, button placement).

#include "controls/EXSpin.h"

#include "controls/ExResources.h"
#include "controls/VCLUtils.h"
#include "platform/gui/DeviceContext.h"
#include "platform/gui/Form.h"
#include "platform/gui/InputTranslation.h"
#include "platform/gui/Resources.h"
#include "platform/gui/SystemMetrics.h"
#include "platform/gui/TextOutput.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/TextUtils.h"
#include "platform/rtl/TypInfo.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <mutex>

namespace EXSpin {

constexpr UINT InitRepeatPause = 400;
constexpr UINT RepeatPause = 100;

std::unique_ptr<TBitmap> LoadArrow(const char* name)
{
    RegisterExResources();
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetHandle(LoadBitmap(MainInstance(), name));
    return bitmap;
}

int RoundHalf(double value) { return static_cast<int>(std::lround(value)); }

// Halves to even, kept within the integers the text is read back as: stepping past the largest
// keeps it instead of writing a text that no longer reads as a number.
std::int64_t WholeValue(double value)
{
    constexpr double low = std::numeric_limits<int>::min();
    constexpr double high = std::numeric_limits<int>::max();
    return Round(std::clamp(value, low, high));
}

void RegisterSpinEditProperties();

} // namespace EXSpin

int DefaultUpDownWidth() { return std::min(GetSystemMetrics(SM_CXVSCROLL), 15); }

// --- TExSpinButton -------------------------------------------------------------------------------

TExSpinButton::TExSpinButton(TComponent* AOwner) : TGraphicControl(AOwner)
{
    FUpBitmap = EXSpin::LoadArrow("EXSPINUP");
    FUpBitmap->OnChange = [this](TObject* Sender) { GlyphChanged(Sender); };
    FDownBitmap = EXSpin::LoadArrow("EXSPINDOWN");
    FDownBitmap->OnChange = [this](TObject* Sender) { GlyphChanged(Sender); };
    SetBounds(Left(), Top(), 20, 20);
    FTopDownImage = std::make_unique<TBitmap>();
    FBottomDownImage = std::make_unique<TBitmap>();
    FNotDownImage = std::make_unique<TBitmap>();
    DrawAllBitmap();
}

TExSpinButton::~TExSpinButton()
{
    FUpBitmap->OnChange = nullptr;
    FDownBitmap->OnChange = nullptr;
    if (FRepeatTimer)
        FRepeatTimer->OnTimer = nullptr;
}

void TExSpinButton::SetUpGlyph(TBitmap* Value)
{
    if (Value)
        FUpBitmap->Assign(Value);
    else
        FUpBitmap->Assign(EXSpin::LoadArrow("EXSPINUP").get());
}

void TExSpinButton::SetDownGlyph(TBitmap* Value)
{
    if (Value)
        FDownBitmap->Assign(Value);
    else
        FDownBitmap->Assign(EXSpin::LoadArrow("EXSPINDOWN").get());
}

void TExSpinButton::SetFocusControl(TWinControl* Value)
{
    FFocusControl = Value;
    if (Value)
        Value->FreeNotification(this);
}

void TExSpinButton::Notification(TComponent* AComponent, TOperation Operation)
{
    TGraphicControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FFocusControl)
        FFocusControl = nullptr;
}

void TExSpinButton::GlyphChanged(TObject*)
{
    FInvalidate = true;
    Invalidate();
}

void TExSpinButton::SetDown(TSpinButtonState Value)
{
    const TSpinButtonState old = FDown;
    FDown = Value;
    if (old != FDown)
        Repaint();
}

void TExSpinButton::Dispatch(TMessage& Message)
{
    TGraphicControl::Dispatch(Message);
    if (Message.Msg == CM_ENABLEDCHANGED) {
        FInvalidate = true;
        Invalidate();
    }
}

void TExSpinButton::DrawAllBitmap()
{
    DrawBitmap(FTopDownImage.get(), sbTopDown);
    DrawBitmap(FBottomDownImage.get(), sbBottomDown);
    DrawBitmap(FNotDownImage.get(), sbNotDown);
}

void TExSpinButton::DrawBitmap(TBitmap* Bitmap, TSpinButtonState State)
{
    const int width = Width();
    const int height = Height();
    Bitmap->SetSize(width, height);
    TCanvas* canvas = Bitmap->Canvas();
    const auto line = [canvas](TColor color, std::initializer_list<TPoint> points) {
        canvas->Pen()->SetColor(color);
        auto point = points.begin();
        canvas->MoveTo(point->X, point->Y);
        for (++point; point != points.end(); ++point)
            canvas->LineTo(point->X, point->Y);
    };
    canvas->Brush()->SetColor(clBtnFace);
    canvas->Brush()->SetStyle(bsSolid);
    canvas->FillRect(Rect(0, 0, width, height));
    canvas->Pen()->SetWidth(1);
    canvas->Pen()->SetColor(clWindowFrame);
    canvas->Brush()->SetStyle(bsClear);
    canvas->Rectangle(0, 0, width, height);
    line(clWindowFrame, {Point(-1, height), Point(width, -1)});
    // The upper half.
    line(State == sbTopDown ? clBtnShadow : clBtnHighlight, {Point(1, height - 4), Point(1, 1), Point(width - 3, 1)});
    if (State != sbTopDown)
        line(clBtnShadow, {Point(1, height - 3), Point(width - 2, 0)});
    // The lower half.
    line(State == sbBottomDown ? clBtnHighlight : clBtnShadow,
         {Point(2, height - 2), Point(width - 2, height - 2), Point(width - 2, 1)});
    line(State == sbBottomDown ? clBtnShadow : clBtnHighlight, {Point(2, height - 2), Point(width - 1, 1)});
    const int shift = State == sbTopDown ? 2 : 1;
    if (!FUpBitmap->Empty())
        DrawBitmapTransparent(canvas,
                              EXSpin::RoundHalf(width / 4.0 - FUpBitmap->Width() / 2.0) + shift,
                              EXSpin::RoundHalf(height / 4.0 - FUpBitmap->Height() / 2.0) + shift, FUpBitmap.get(),
                              FUpBitmap->TransparentColor());
    if (!FDownBitmap->Empty())
        DrawBitmapTransparent(canvas, EXSpin::RoundHalf(3 * width / 4.0 - FDownBitmap->Width() / 2.0) - 1,
                              EXSpin::RoundHalf(3 * height / 4.0 - FDownBitmap->Height() / 2.0) - 1,
                              FDownBitmap.get(), FDownBitmap->TransparentColor());
    if (State == sbBottomDown)
        line(clBtnShadow, {Point(3, height - 2), Point(width - 1, 2)});
}

void TExSpinButton::Paint()
{
    if (!Enabled())
        FDragging = false;
    if (FNotDownImage->Height() != Height() || FNotDownImage->Width() != Width() || FInvalidate)
        DrawAllBitmap();
    FInvalidate = false;
    TBitmap* image = FDown == sbTopDown ? FTopDownImage.get()
                     : FDown == sbBottomDown ? FBottomDownImage.get()
                                             : FNotDownImage.get();
    Canvas()->Draw(0, 0, image);
}

bool TExSpinButton::InBottomHalf(int X, int Y) const
{
    return Width() > 0 && Y > Height() - (static_cast<double>(Height()) / Width()) * X;
}

void TExSpinButton::TopClick()
{
    if (OnTopClick) {
        OnTopClick(this);
        if (GetKeyState(VK_LBUTTON) >= 0)
            SetDown(sbNotDown);
    }
}

void TExSpinButton::BottomClick()
{
    if (OnBottomClick) {
        OnBottomClick(this);
        if (GetKeyState(VK_LBUTTON) >= 0)
            SetDown(sbNotDown);
    }
}

void TExSpinButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TGraphicControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft || !Enabled())
        return;
    if (FFocusControl && FFocusControl->TabStop() && FFocusControl->CanFocus() && !FFocusControl->Focused())
        FFocusControl->SetFocus();
    if (FDown == sbNotDown) {
        FLastDown = FDown;
        if (InBottomHalf(X, Y)) {
            FDown = sbBottomDown;
            BottomClick();
        } else {
            FDown = sbTopDown;
            TopClick();
        }
        if (FLastDown != FDown) {
            FLastDown = FDown;
            Repaint();
        }
        if (!FRepeatTimer) {
            FRepeatTimer = new TTimer(this);
            FRepeatTimer->OnTimer = [this](TObject* Sender) { TimerExpired(Sender); };
        }
        FRepeatTimer->SetInterval(EXSpin::InitRepeatPause);
        FRepeatTimer->SetEnabled(true);
    }
    FDragging = true;
}

void TExSpinButton::MouseMove(TShiftState Shift, int X, int Y)
{
    TGraphicControl::MouseMove(Shift, X, Y);
    if (!FDragging)
        return;
    TSpinButtonState state = sbNotDown;
    if (X >= 0 && X <= ClientWidth() && Y >= 0 && Y <= ClientHeight()) {
        const TSpinButtonState over = InBottomHalf(X, Y) ? sbBottomDown : sbTopDown;
        state = over == FLastDown ? FLastDown : sbNotDown;
    }
    if (state != FDown) {
        FDown = state;
        Repaint();
    }
}

void TExSpinButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TGraphicControl::MouseUp(Button, Shift, X, Y);
    if (!FDragging)
        return;
    FDragging = false;
    if (X >= 0 && X <= ClientWidth() && Y >= 0 && Y <= ClientHeight()) {
        FDown = sbNotDown;
        FLastDown = sbNotDown;
        Repaint();
    }
}

void TExSpinButton::TimerExpired(TObject*)
{
    FRepeatTimer->SetInterval(EXSpin::RepeatPause);
    if (FDown == sbNotDown || !MouseCapture())
        return;
    try {
        if (FDown == sbBottomDown)
            BottomClick();
        else
            TopClick();
    } catch (...) {
        FRepeatTimer->SetEnabled(false);
        throw;
    }
}

// --- TExUpDown -----------------------------------------------------------------------------------

TExUpDown::TExUpDown(TComponent* AOwner) : TCustomUpDown(AOwner)
{
    SetOrientation(udVertical);
    SetMin(-1);
    SetMax(1);
    SetPosition(0);
}

void TExUpDown::SetBounds(int ALeft, int ATop, int, int AHeight)
{
    TCustomUpDown::SetBounds(ALeft, ATop, DefaultUpDownWidth(), AHeight);
}

void TExUpDown::Dispatch(TMessage& Message)
{
    TCustomUpDown::Dispatch(Message);
    // Every press is one step: the position goes back to the middle of the range.
    if ((Message.Msg == CN_VSCROLL || Message.Msg == CN_HSCROLL) && LOWORD(Message.WParam) == SB_THUMBPOSITION &&
        !FChanging) {
        FChanging = true;
        try {
            if (HandleAllocated())
                SendMessageA(Handle(), UDM_SETPOS, 0, 0);
            else
                SetPosition(0);
        } catch (...) {
            FChanging = false;
            throw;
        }
        FChanging = false;
    }
}

// --- TExSpinEdit: construction -------------------------------------------------------------------

TExSpinEdit::TExSpinEdit(TComponent* AOwner) : TCustomEdit(AOwner)
{
    EXSpin::RegisterSpinEditProperties();
    TControl::SetText("0");
    ControlStyle.Exclude(csSetCaption);
    RecreateButton();
}

TExSpinEdit::~TExSpinEdit()
{
    FChanging = true;
    if (FButton)
        FButton->OnTopClick = FButton->OnBottomClick = nullptr;
    if (FUpDown)
        FUpDown->OnClick = nullptr;
}

void TExSpinEdit::CreateParams(TCreateParams& Params)
{
    TCustomEdit::CreateParams(Params);
    static const DWORD alignments[] = {ES_LEFT, ES_RIGHT, ES_CENTER};
    Params.Style |= ES_MULTILINE | WS_CLIPCHILDREN | alignments[FAlignment];
}

void TExSpinEdit::CreateWnd()
{
    TCustomEdit::CreateWnd();
    // The edit may have had its size before it had a window: the button takes its place now.
    ResizeButton();
    SetEditRect();
}

void TExSpinEdit::RecreateButton()
{
    if (FChanging && ComponentState().Contains(csDestroying))
        return;
    delete FButton;
    FButton = nullptr;
    delete FBtnWindow;
    FBtnWindow = nullptr;
    delete FUpDown;
    FUpDown = nullptr;
    if (FButtonKind == bkStandard) {
        FUpDown = new TExUpDown(this);
        FUpDown->SetVisible(true);
        FUpDown->SetBounds(0, 0, DefaultUpDownWidth(), Height());
        FUpDown->SetAlign(alRight);
        FUpDown->SetParent(this);
        FUpDown->OnClick = [this](TObject* Sender, TUDBtnType Button) { UpDownClick(Sender, Button); };
    } else {
        FBtnWindow = new TWinControl(this);
        FBtnWindow->SetVisible(true);
        FBtnWindow->SetBounds(0, 0, Height(), Height());
        FBtnWindow->SetParent(this);
        FButton = new TExSpinButton(this);
        FButton->SetFocusControl(this);
        FButton->OnTopClick = [this](TObject* Sender) { UpClick(Sender); };
        FButton->OnBottomClick = [this](TObject* Sender) { DownClick(Sender); };
        FButton->SetVisible(true);
        FButton->SetParent(FBtnWindow);
    }
}

// --- Properties ----------------------------------------------------------------------------------

void TExSpinEdit::SetAlignment(TAlignment Value)
{
    if (FAlignment == Value)
        return;
    FAlignment = Value;
    RecreateWnd();
}

void TExSpinEdit::SetArrowKeys(bool Value)
{
    FArrowKeys = Value;
    ResizeButton();
}

void TExSpinEdit::SetButtonKind(TSpinButtonKind Value)
{
    const TSpinButtonKind old = FButtonKind;
    FButtonKind = Value;
    // New-style controls are always on here, so the kind set is the kind shown.
    if (FButtonKind != old) {
        RecreateButton();
        ResizeButton();
        SetEditRect();
    }
}

void TExSpinEdit::SetDecimal(int Value)
{
    if (Value == FDecimal || Value < 0)
        return;
    FDecimal = Value;
    SetValue(GetValue());
}

void TExSpinEdit::SetValueType(EXSpin::TValueType Value)
{
    if (Value == FValueType)
        return;
    FValueType = Value;
    SetValue(GetValue());
    if (FValueType == EXSpin::vtInt || FValueType == EXSpin::vtHex) {
        FIncrement = std::round(FIncrement);
        if (FIncrement == 0)
            FIncrement = 1;
    }
}

// --- Value ---------------------------------------------------------------------------------------

double TExSpinEdit::CheckValue(double NewValue)
{
    double result = NewValue;
    if (FMaxValue != FMinValue) {
        if (NewValue < FMinValue)
            result = FMinValue;
        else if (NewValue > FMaxValue)
            result = FMaxValue;
    }
    return result;
}

double TExSpinEdit::GetValue()
{
    const std::string text = Text();
    try {
        switch (FValueType) {
        case EXSpin::vtFloat: {
            const double value = StrToFloat(text);
            if (!std::isfinite(value))
                return FMinValue;
            return value;
        }
        case EXSpin::vtHex:
            return StrToInt("$" + text);
        case EXSpin::vtInt:
            return StrToInt(text);
        }
    } catch (const Exception&) {
    }
    return FValueType == EXSpin::vtFloat ? FMinValue : std::trunc(FMinValue);
}

void TExSpinEdit::SetValue(double Value)
{
    const double checked = std::isfinite(Value) ? CheckValue(Value) : CheckValue(FMinValue);
    switch (FValueType) {
    case EXSpin::vtFloat:
        TControl::SetText(FloatToStrF(checked, ffFixed, 15, FDecimal));
        break;
    case EXSpin::vtHex:
        TControl::SetText(IntToHex(EXSpin::WholeValue(checked), 1));
        break;
    case EXSpin::vtInt:
        TControl::SetText(IntToStr(EXSpin::WholeValue(checked)));
        break;
    }
}

// --- Stepping ------------------------------------------------------------------------------------

void TExSpinEdit::Step(TObject*, double Delta, const TNotifyEvent& Event)
{
    if (ReadOnly()) {
        MessageBeep(0);
        return;
    }
    FChanging = true;
    try {
        const std::string old = Text();
        SetValue(GetValue() + Delta);
        if (!SameText(old, Text())) {
            SetModified(true);
            FChanging = false;
            Change();
        }
    } catch (...) {
        FChanging = false;
        throw;
    }
    FChanging = false;
    if (Event)
        Event(this);
}

void TExSpinEdit::UpClick(TObject* Sender) { Step(Sender, FIncrement, OnTopClick); }

void TExSpinEdit::DownClick(TObject* Sender) { Step(Sender, -FIncrement, OnBottomClick); }

void TExSpinEdit::UpDownClick(TObject* Sender, TUDBtnType Button)
{
    if (TabStop() && CanFocus() && !Focused())
        SetFocus();
    if (Button == btNext)
        UpClick(Sender);
    else
        DownClick(Sender);
}

void TExSpinEdit::Change()
{
    if (!FChanging)
        TCustomEdit::Change();
}

// --- Keys ----------------------------------------------------------------------------------------

bool TExSpinEdit::IsValidChar(char Key)
{
    const unsigned char ch = static_cast<unsigned char>(Key);
    if (ch < 32)
        return !(Key == '\b' && !EditorEnabled);
    const std::string text = Text();
    bool allowed = Key == '+' || Key == '-' || (Key >= '0' && Key <= '9');
    if (FValueType == EXSpin::vtFloat) {
        const char decimal = FormatSettings().DecimalSeparator;
        if (Key == decimal && text.find(decimal) == std::string::npos)
            allowed = true;
        if ((Key == 'E' || Key == 'e') && text.find_first_of("eE") == std::string::npos)
            allowed = true;
    } else if (FValueType == EXSpin::vtHex) {
        if (std::isxdigit(ch))
            allowed = true;
    }
    return allowed && EditorEnabled;
}

void TExSpinEdit::KeyDown(WORD& Key, TShiftState Shift)
{
    TCustomEdit::KeyDown(Key, Shift);
    if (FArrowKeys && (Key == VK_UP || Key == VK_DOWN)) {
        if (Key == VK_UP)
            UpClick(this);
        else
            DownClick(this);
        Key = 0;
    }
}

void TExSpinEdit::KeyPress(char& Key)
{
    if (!IsValidChar(Key)) {
        Key = 0;
        MessageBeep(0);
    }
    if (Key == 0)
        return;
    TCustomEdit::KeyPress(Key);
    if (Key == '\r' || Key == '\x1B') {
        if (TCustomForm* form = GetParentForm(this))
            form->Perform(CM_DIALOGKEY, static_cast<unsigned char>(Key), 0);
        if (Key == '\r')
            Key = 0;
    }
}

void TExSpinEdit::PasteFromClipboard()
{
    if (!EditorEnabled || ReadOnly())
        return;
    TCustomEdit::PasteFromClipboard();
}

// --- Layout --------------------------------------------------------------------------------------

void TExSpinEdit::SetEditRect()
{
    if (!HandleAllocated())
        return;
    int buttonWidth = DefaultUpDownWidth();
    if (FUpDown)
        buttonWidth = FUpDown->Width();
    else if (FButton)
        buttonWidth = FButton->Width();
    TRect area = Rect(0, 0, ClientWidth() - buttonWidth - 2, ClientHeight() + 1);
    Perform(EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&area));
}

void TExSpinEdit::ResizeButton()
{
    if (FUpDown) {
        FUpDown->SetWidth(DefaultUpDownWidth());
        FUpDown->SetAlign(alRight);
    } else if (FButton && FBtnWindow) {
        if (Ctl3D && BorderStyle() == bsSingle)
            FBtnWindow->SetBounds(Width() - Height() - 1, -1, Height() - 3, Height() - 3);
        else
            FBtnWindow->SetBounds(Width() - Height(), 0, Height(), Height());
        FButton->SetBounds(0, 0, FBtnWindow->Width(), FBtnWindow->Height());
    }
}

int TExSpinEdit::GetMinHeight()
{
    HDC dc = GetDC(nullptr);
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    TEXTMETRICA system{};
    GetTextMetricsA(dc, &system);
    SelectObject(dc, Font()->Handle());
    TEXTMETRICA own{};
    GetTextMetricsA(dc, &own);
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    ReleaseDC(nullptr, dc);
    return std::min(system.tmHeight, own.tmHeight) + 4 * GetSystemMetrics(SM_CYBORDER) + 1;
}

void TExSpinEdit::Resized()
{
    const int minHeight = GetMinHeight();
    if (Height() < minHeight) {
        SetHeight(minHeight);
        return;
    }
    ResizeButton();
    SetEditRect();
}

void TExSpinEdit::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case WM_SIZE:
        TCustomEdit::Dispatch(Message);
        Resized();
        return;
    case CM_FONTCHANGED:
    case CM_CTL3DCHANGED:
        TCustomEdit::Dispatch(Message);
        ResizeButton();
        SetEditRect();
        return;
    case CM_ENABLEDCHANGED:
        TCustomEdit::Dispatch(Message);
        if (FUpDown) {
            FUpDown->SetEnabled(Enabled());
            ResizeButton();
        }
        if (FButton)
            FButton->SetEnabled(Enabled());
        return;
    case WM_PASTE:
    case WM_CUT:
        if (!EditorEnabled || ReadOnly())
            return;
        break;
    case CM_ENTER:
        if (AutoSelect && GetKeyState(VK_LBUTTON) >= 0)
            SelectAll();
        break;
    case CM_EXIT: {
        TCustomEdit::Dispatch(Message);
        // The exit handler sees what was typed; an out-of-range value is clipped afterwards.
        const double value = GetValue();
        if (CheckValue(value) != value)
            SetValue(value);
        return;
    }
    case WM_CHAR:
        // Ctrl+V and Ctrl+X change the text as pasting and cutting do.
        if ((Message.WParam == 0x16 || Message.WParam == 0x18) && (!EditorEnabled || ReadOnly()))
            return;
        break;
    default:
        break;
    }
    TCustomEdit::Dispatch(Message);
}

// --- Published properties ------------------------------------------------------------------------

namespace EXSpin {

void RegisterSpinEditProperties()
{
    static std::once_flag registered;
    std::call_once(registered, [] {
        const auto flag = [](const char* name, bool (TExSpinEdit::*get)() const, void (TExSpinEdit::*set)(bool)) {
            return OrdProp<TExSpinEdit>(
                name, TypeInfoBoolean(), [get](TExSpinEdit& e) -> std::int64_t { return (e.*get)(); },
                [set](TExSpinEdit& e, std::int64_t v) { (e.*set)(v != 0); });
        };
        const auto number = [](const char* name, double (TExSpinEdit::*get)() const,
                               void (TExSpinEdit::*set)(double)) {
            return FloatProp<TExSpinEdit>(
                name, FloatTypeInfo("Extended", ftExtended), [get](TExSpinEdit& e) { return (e.*get)(); },
                [set](TExSpinEdit& e, double v) { (e.*set)(v); });
        };
        RegisterPropInfos(
            "TExSpinEdit", "TCustomEdit",
            {OrdProp<TExSpinEdit>(
                 "Alignment", EnumTypeInfo("TAlignment", {"taLeftJustify", "taRightJustify", "taCenter"}),
                 [](TExSpinEdit& e) -> std::int64_t { return e.Alignment(); },
                 [](TExSpinEdit& e, std::int64_t v) { e.SetAlignment(static_cast<TAlignment>(v)); }),
             flag("ArrowKeys", &TExSpinEdit::ArrowKeys, &TExSpinEdit::SetArrowKeys),
             OrdProp<TExSpinEdit>(
                 "ButtonKind", EnumTypeInfo("TSpinButtonKind", {"bkStandard", "bkDiagonal"}),
                 [](TExSpinEdit& e) -> std::int64_t { return e.ButtonKind(); },
                 [](TExSpinEdit& e, std::int64_t v) { e.SetButtonKind(static_cast<TSpinButtonKind>(v)); }),
             OrdProp<TExSpinEdit>(
                 "Decimal", IntegerTypeInfo("Byte"), [](TExSpinEdit& e) -> std::int64_t { return e.Decimal(); },
                 [](TExSpinEdit& e, std::int64_t v) { e.SetDecimal(static_cast<int>(v)); }),
             OrdProp<TExSpinEdit>(
                 "EditorEnabled", TypeInfoBoolean(), [](TExSpinEdit& e) -> std::int64_t { return e.EditorEnabled; },
                 [](TExSpinEdit& e, std::int64_t v) { e.EditorEnabled = v != 0; }),
             number("Increment", &TExSpinEdit::Increment, &TExSpinEdit::SetIncrement),
             number("MaxValue", &TExSpinEdit::MaxValue, &TExSpinEdit::SetMaxValue),
             number("MinValue", &TExSpinEdit::MinValue, &TExSpinEdit::SetMinValue),
             OrdProp<TExSpinEdit>(
                 "ValueType", EnumTypeInfo("TValueType", {"vtInt", "vtFloat", "vtHex"}),
                 [](TExSpinEdit& e) -> std::int64_t { return e.ValueType(); },
                 [](TExSpinEdit& e, std::int64_t v) { e.SetValueType(static_cast<EXSpin::TValueType>(v)); }),
             FloatProp<TExSpinEdit>(
                 "Value", FloatTypeInfo("Extended", ftExtended), [](TExSpinEdit& e) { return e.GetValue(); },
                 [](TExSpinEdit& e, double v) { e.SetValue(v); })});
    });
}

} // namespace EXSpin
