// Push buttons.

#include "platform/gui/Button.h"

#include "platform/gui/Form.h"
#include "platform/gui/TextOutput.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/gui/private/StdCtrlSupport.h"
#include "platform/gui/private/Surfaces.h"

// --- TButtonControl ---------------------------------------------------------------------------------

TButtonControl::TButtonControl(TComponent* AOwner) : TWinControl(AOwner)
{
    ControlStyle = TControlStyle{csSetCaption, csDoubleClicks};
    SetTabStop(true);
}

void TButtonControl::CreateParams(TCreateParams& Params)
{
    TWinControl::CreateParams(Params);
    Params.WinClassName = "BUTTON";
    Params.Style |= WS_TABSTOP;
}

void TButtonControl::UserClick() { StdCtrl::NotifyParent(this, BN_CLICKED); }

void TButtonControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TWinControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft || !Enabled())
        return;
    if (CanFocus() && !Focused())
        SetFocus();
    FPressed = true;
    FMouseInside = true;
    SetMouseCapture(true);
    Invalidate();
}

void TButtonControl::MouseMove(TShiftState Shift, int X, int Y)
{
    TWinControl::MouseMove(Shift, X, Y);
    if (!FPressed)
        return;
    const bool inside = X >= 0 && Y >= 0 && X < Width() && Y < Height();
    if (inside != FMouseInside) {
        FMouseInside = inside;
        Invalidate();
    }
}

void TButtonControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    const bool click = Button == mbLeft && FPressed && X >= 0 && Y >= 0 && X < Width() && Y < Height();
    if (Button == mbLeft && FPressed) {
        FPressed = false;
        SetMouseCapture(false);
        Invalidate();
    }
    if (click)
        UserClick();
    TWinControl::MouseUp(Button, Shift, X, Y);
}

void TButtonControl::KeyDown(WORD& Key, TShiftState Shift)
{
    TWinControl::KeyDown(Key, Shift);
    if (Key == VK_SPACE && Shift.Empty()) {
        FSpacePressed = true;
        FPressed = true;
        FMouseInside = true;
        Invalidate();
    }
}

void TButtonControl::KeyUp(WORD& Key, TShiftState Shift)
{
    TWinControl::KeyUp(Key, Shift);
    if (Key == VK_SPACE && FSpacePressed) {
        FSpacePressed = false;
        FPressed = false;
        Invalidate();
        UserClick();
    }
}

void TButtonControl::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case CN_COMMAND:
        StdCtrl::MarkReflected();
        if (HIWORD(Message.WParam) == BN_CLICKED)
            ButtonClicked();
        return;
    case BM_CLICK:
        if (Enabled())
            UserClick();
        return;
    case BM_GETCHECK:
        Message.Result = GetChecked() ? BST_CHECKED : BST_UNCHECKED;
        return;
    case BM_SETCHECK:
        SetChecked(Message.WParam == BST_CHECKED);
        return;
    case BM_GETSTATE:
        Message.Result = (GetChecked() ? BST_CHECKED : 0) | (Pressed() ? BST_PUSHED : 0) | (Focused() ? BST_FOCUS : 0);
        return;
    case BM_SETSTATE:
        FPressed = Message.WParam != 0;
        FMouseInside = true;
        Invalidate();
        return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        if (Message.Msg == WM_KILLFOCUS && FPressed) {
            FPressed = false;
            FSpacePressed = false;
        }
        TWinControl::Dispatch(Message);
        Invalidate();
        return;
    case CM_TEXTCHANGED:
    case CM_ENABLEDCHANGED:
    case CM_FONTCHANGED:
        TWinControl::Dispatch(Message);
        Invalidate();
        return;
    case CM_DIALOGCHAR:
        if (Enabled() && Showing() && StdCtrl::IsAccel(static_cast<unsigned char>(Message.WParam & 0xFF), Caption())) {
            if (CanFocus())
                SetFocus();
            UserClick();
            Message.Result = 1;
            return;
        }
        TWinControl::Dispatch(Message);
        return;
    default:
        TWinControl::Dispatch(Message);
    }
}

// --- TButton ------------------------------------------------------------------------------------------

TButton::TButton(TComponent* AOwner) : TButtonControl(AOwner)
{
    SetBounds(0, 0, 75, 25);
    SetColor(clBtnFace);
}

void TButton::CreateParams(TCreateParams& Params)
{
    TButtonControl::CreateParams(Params);
    Params.Style |= FDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::SetDefault(bool value)
{
    if (FDefault == value)
        return;
    FDefault = value;
    Invalidate();
}

void TButton::Click()
{
    if (TCustomForm* form = GetParentForm(this); form && FModalResult != mrNone)
        form->SetModalResult(FModalResult);
    TButtonControl::Click();
}

bool TButton::IsActiveDefault() const
{
    TCustomForm* form = GetParentForm(this);
    TWinControl* focused = form ? form->ActiveControl() : nullptr;
    if (focused && dynamic_cast<TButton*>(focused))
        return focused == this;
    return FDefault;
}

void TButton::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case CM_DIALOGKEY: {
        const WORD key = static_cast<WORD>(Message.WParam);
        const bool plain = KeyDataToShiftState(static_cast<int>(Message.LParam)).Empty();
        if (plain && ((key == VK_RETURN && IsActiveDefault()) || (key == VK_ESCAPE && FCancel)) && Enabled() &&
            Showing()) {
            UserClick();
            Message.Result = 1;
            return;
        }
        TButtonControl::Dispatch(Message);
        return;
    }
    case WM_GETDLGCODE:
        Message.Result = IsActiveDefault() ? DLGC_DEFPUSHBUTTON | DLGC_BUTTON : DLGC_UNDEFPUSHBUTTON | DLGC_BUTTON;
        return;
    default:
        TButtonControl::Dispatch(Message);
    }
}

void TButton::Paint()
{
    QPainter* painter = PaintPainter(this);
    if (!painter)
        return;
    QRect rect(0, 0, Width(), Height());
    painter->fillRect(rect, ToQColor(Color()));
    const bool framed = IsActiveDefault() && (FDefault || Focused());
    if (framed) {
        painter->setPen(Qt::black);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(rect.adjusted(0, 0, -1, -1));
        rect.adjust(1, 1, -1, -1);
    }
    if (Pressed()) {
        painter->setPen(ToQColor(clBtnShadow));
        painter->drawRect(rect.adjusted(0, 0, -1, -1));
    } else {
        StdCtrl::DrawRaisedEdge(*painter, rect, false);
    }
    QRect text = rect.adjusted(2, 2, -2, -2);
    if (Pressed())
        text.translate(1, 1);
    const unsigned flags = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    if (Enabled()) {
        StdCtrl::DrawCaption(painter, text, Caption(), flags, *Font(), clBtnText);
    } else {
        QRect shadow = text.translated(1, 1);
        StdCtrl::DrawCaption(painter, shadow, Caption(), flags, *Font(), clBtnHighlight);
        StdCtrl::DrawCaption(painter, text, Caption(), flags, *Font(), clBtnShadow);
    }
    if (Focused())
        StdCtrl::DrawFocusRect(*painter, rect.adjusted(2, 2, -2, -2));
}
