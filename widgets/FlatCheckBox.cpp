#include "widgets/FlatCheckBox.h"

#include "platform/gui/DeviceContext.h"
#include "platform/gui/Form.h"
#include "platform/gui/TextOutput.h"

#include <algorithm>

TFlatCheckBox::TFlatCheckBox(TComponent* AOwner) : TCustomControl(AOwner)
{
    // OnClick comes from SetChecked alone: the click of the button-up processing would raise it
    // a second time, before the state changed.
    ControlStyle.Exclude(csClickEvents);
    HoverTracker().AddInstance();
    SetParentColor(true);
    SetParentFont(true);
    SetTabStop(true);
    SetBounds(Left(), Top(), 121, 17);
}

TFlatCheckBox::~TFlatCheckBox() { HoverTracker().RemoveInstance(this); }

TFlatHoverTracker& TFlatCheckBox::HoverTracker()
{
    static TFlatHoverTracker tracker;
    return tracker;
}

// --- Properties ----------------------------------------------------------------------------------------------

void TFlatCheckBox::SetChecked(bool Value)
{
    if (Value == FChecked)
        return;
    FChecked = Value;
    Click();
    Invalidate();
}

void TFlatCheckBox::SetColors(int Index, TColor Value)
{
    switch (Index) {
    case 0:
        FColorFocused = Value;
        break;
    case 1:
        FColorDown = Value;
        break;
    case 2:
        FColorCheck = Value;
        break;
    case 3:
        FColorBorder = Value;
        break;
    default:
        break;
    }
    Invalidate();
}

void TFlatCheckBox::SetAdvColors(int Index, int Value)
{
    const auto step = static_cast<FlatDrawing::TAdvColors>(std::clamp(Value, 0, 100));
    switch (Index) {
    case 0:
        FAdvColorFocused = step;
        break;
    case 1:
        FAdvColorDown = step;
        break;
    case 2:
        FAdvColorBorder = step;
        break;
    default:
        break;
    }
    CalcAdvancedColors();
    Invalidate();
}

void TFlatCheckBox::SetUseAdvColors(bool Value)
{
    if (Value == FUseAdvColors)
        return;
    FUseAdvColors = Value;
    SetParentColor(Value);
    CalcAdvancedColors();
    Invalidate();
}

void TFlatCheckBox::CalcAdvancedColors()
{
    if (!FUseAdvColors)
        return;
    using FlatDrawing::CalcAdvancedColor;
    FColorFocused = CalcAdvancedColor(Color(), FColorFocused, FAdvColorFocused, FlatDrawing::lighten);
    FColorDown = CalcAdvancedColor(Color(), FColorDown, FAdvColorDown, FlatDrawing::darken);
    FColorBorder = CalcAdvancedColor(Color(), FColorBorder, FAdvColorBorder, FlatDrawing::darken);
}

void TFlatCheckBox::ColorsFollowParent()
{
    if (FUseAdvColors) {
        SetParentColor(true);
        CalcAdvancedColors();
    }
    Invalidate();
}

void TFlatCheckBox::SetLayout(FlatDrawing::TCheckBoxLayout Value)
{
    FLayout = Value;
    Invalidate();
}

void TFlatCheckBox::SetTransparent(bool Value)
{
    FTransparent = Value;
    Invalidate();
}

TRect TFlatCheckBox::CheckRect() const
{
    const TRect client = ClientRect();
    if (FLayout == FlatDrawing::checkboxLeft)
        return Rect(client.Left + 1, client.Top + 3, client.Left + 12, client.Top + 14);
    return Rect(client.Right - 12, client.Top + 3, client.Right - 1, client.Top + 14);
}

// --- Messages and keys ---------------------------------------------------------------------------------------

void TFlatCheckBox::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case CM_ENABLEDCHANGED:
        TCustomControl::Dispatch(Message);
        if (!Enabled()) {
            FMouseInControl = false;
            FMouseDown = false;
            HoverTracker().Release(this);
        }
        Invalidate();
        return;
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
        TCustomControl::Dispatch(Message);
        Invalidate();
        return;
    case CM_DIALOGCHAR:
        DialogChar(Message);
        return;
    case WM_CHAR:
        // The space bar reaches a focused control as a character of its own; OnKeyPress sees it
        // first and may take it away.
        TCustomControl::Dispatch(Message);
        if (static_cast<unsigned char>(Message.WParam & 0xFF) == ' ' && FFocused && Enabled())
            SetChecked(!FChecked);
        return;
    case WM_SETFOCUS:
        TCustomControl::Dispatch(Message);
        if (Enabled()) {
            FFocused = true;
            Invalidate();
        }
        return;
    case WM_KILLFOCUS:
        TCustomControl::Dispatch(Message);
        if (Enabled()) {
            FMouseInControl = false;
            FFocused = false;
            HoverTracker().Release(this);
            Invalidate();
        }
        return;
    case CM_SYSCOLORCHANGE:
        TCustomControl::Dispatch(Message);
        ColorsFollowParent();
        return;
    case CM_PARENTCOLORCHANGED:
        TCustomControl::Dispatch(Message);
        ColorsFollowParent();
        return;
    case WM_SIZE:
    case WM_MOVE:
        TCustomControl::Dispatch(Message);
        if (FTransparent)
            Invalidate();
        return;
    default:
        TCustomControl::Dispatch(Message);
    }
}

void TFlatCheckBox::DialogChar(TMessage& Message)
{
    const auto key = static_cast<WORD>(Message.WParam);
    if (IsAccel(key, Caption()) && CanFocus()) {
        SetFocus();
        SetChecked(!FChecked);
        Message.Result = 1;
        return;
    }
    if ((key & 0xFF) == ' ' && FFocused) {
        SetChecked(!FChecked);
        Message.Result = 1;
        return;
    }
    TCustomControl::Dispatch(Message);
}

void TFlatCheckBox::DoEnter()
{
    TCustomControl::DoEnter();
    FFocused = true;
    Invalidate();
}

void TFlatCheckBox::DoExit()
{
    TCustomControl::DoExit();
    FFocused = false;
    Invalidate();
}

// --- Mouse and hover -----------------------------------------------------------------------------------------

void TFlatCheckBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button != mbLeft || !Enabled())
        return;
    // Focus first, so that a click on an unfocused box shows the focused fill.
    if (CanFocus())
        SetFocus();
    FMouseDown = true;
    Invalidate();
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TFlatCheckBox::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button != mbLeft || !Enabled())
        return;
    const bool pressed = FMouseDown;
    FMouseDown = false;
    // A press dragged off the box and released elsewhere is taken back; the caption counts as
    // part of the box (and the row just below it, as for the flat buttons).
    const bool inside = X >= 0 && X < ClientWidth() && Y >= 0 && Y <= ClientHeight();
    if (pressed && inside)
        SetChecked(!FChecked);
    Invalidate();
    TCustomControl::MouseUp(Button, Shift, X, Y);
    if (!inside && !TFlatHoverTracker::PointerIsOver(this))
        MouseLeaveStep();
}

void TFlatCheckBox::MouseMove(TShiftState Shift, int X, int Y)
{
    TCustomControl::MouseMove(Shift, X, Y);
    HoverTracker().MouseMoved(this, [this] { MouseEnterStep(); }, [this] { MouseLeaveStep(); });
}

void TFlatCheckBox::MouseEnterStep()
{
    if (!Enabled() || FMouseInControl)
        return;
    FMouseInControl = true;
    Invalidate();
}

void TFlatCheckBox::MouseLeaveStep()
{
    // While the button is held the hover look stays.
    if (!Enabled() || !FMouseInControl || FMouseDown)
        return;
    FMouseInControl = false;
    HoverTracker().Release(this);
    Invalidate();
}

// --- Painting ------------------------------------------------------------------------------------------------

void TFlatCheckBox::Paint()
{
    TCanvas* canvas = Canvas();
    if (FTransparent)
        FlatDrawing::DrawParentImage(this, canvas);
    DrawCheck(canvas);
    DrawCaption(canvas);
}

void TFlatCheckBox::DrawCheck(TCanvas* canvas)
{
    const TRect box = CheckRect();
    canvas->Pen()->SetStyle(psSolid);
    canvas->Pen()->SetWidth(1);
    canvas->Brush()->SetStyle(bsSolid);
    if (FFocused || FMouseInControl)
        canvas->Brush()->SetColor(FMouseDown ? FColorDown : FColorFocused);
    else
        canvas->Brush()->SetColor(Color());
    canvas->FillRect(box);

    if (FChecked) {
        canvas->Pen()->SetColor(Enabled() ? FColorCheck : clBtnShadow);
        const int l = box.Left;
        const int t = box.Top;
        const struct {
            int x1, y1, x2, y2;
        } segments[] = {{2, 4, 6, 8}, {2, 5, 5, 8}, {2, 6, 5, 9}, {8, 2, 4, 6}, {8, 3, 4, 7}, {8, 4, 5, 7}};
        for (const auto& s : segments) {
            canvas->MoveTo(l + s.x1, t + s.y1);
            canvas->LineTo(l + s.x2, t + s.y2);
        }
    }

    canvas->Brush()->SetColor(FColorBorder);
    canvas->FrameRect(box);
}

void TFlatCheckBox::DrawCaption(TCanvas* canvas)
{
    const TRect client = ClientRect();
    TRect area;
    UINT format = DT_WORDBREAK;
    if (FLayout == FlatDrawing::checkboxLeft) {
        area = Rect(client.Left + 16, client.Top + 1, client.Right - 1, client.Bottom - 1);
    } else {
        area = Rect(client.Left + 1, client.Top + 1, client.Right - 16, client.Bottom - 1);
        format |= DT_RIGHT;
    }
    canvas->Font()->Assign(Font());
    canvas->Brush()->SetStyle(bsClear);
    const std::string caption = Caption();
    HDC dc = FlatDrawing::TextContext(canvas);
    SetBkMode(dc, TRANSPARENT);
    if (Enabled()) {
        SetTextColor(dc, ColorToRGB(Font()->Color()));
        DrawTextA(dc, caption, -1, &area, format);
        return;
    }
    FlatDrawing::DrawDisabledText(dc, caption, area, format);
}
