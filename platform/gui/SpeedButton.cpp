// Speed buttons.

#include "platform/gui/SpeedButton.h"

#include "platform/gui/WinControl.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/gui/private/StdCtrlSupport.h"
#include "platform/gui/private/Surfaces.h"

TSpeedButton::TSpeedButton(TComponent* AOwner) : TGraphicControl(AOwner)
{
    ControlStyle = TControlStyle{csCaptureMouse, csDoubleClicks};
    SetBounds(0, 0, 23, 22);
}

void TSpeedButton::SetGlyph(TBitmap* value)
{
    FGlyph.SetGlyph(value);
    Invalidate();
}

void TSpeedButton::SetNumGlyphs(int value)
{
    FGlyph.SetNumGlyphs(value);
    Invalidate();
}

void TSpeedButton::SetGroupIndex(int value)
{
    FGroupIndex = value;
    UpdateExclusive();
}

void TSpeedButton::SetAllowAllUp(bool value)
{
    FAllowAllUp = value;
    UpdateExclusive();
}

void TSpeedButton::SetFlat(bool value)
{
    FFlat = value;
    Invalidate();
}

void TSpeedButton::SetLayout(TButtonLayout value)
{
    FLayout = value;
    Invalidate();
}

void TSpeedButton::UpdateExclusive()
{
    if (FGroupIndex == 0 || !Parent())
        return;
    TMessage message{CM_BUTTONPRESSED, static_cast<WPARAM>(FGroupIndex), reinterpret_cast<LPARAM>(this), 0};
    for (int i = 0; i < Parent()->ControlCount(); ++i)
        if (TControl* sibling = Parent()->Controls(i); sibling != this)
            sibling->Perform(message.Msg, message.WParam, message.LParam);
}

void TSpeedButton::SetDown(bool value)
{
    if (FGroupIndex == 0)
        value = false;
    if (value == FDown)
        return;
    if (FDown && !value && !FAllowAllUp)
        return;
    FDown = value;
    if (value)
        UpdateExclusive();
    Invalidate();
}

void TSpeedButton::Click() { TGraphicControl::Click(); }

void TSpeedButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TGraphicControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft || !Enabled())
        return;
    FDragging = true;
    FPressedInside = true;
    Invalidate();
}

void TSpeedButton::MouseMove(TShiftState Shift, int X, int Y)
{
    TGraphicControl::MouseMove(Shift, X, Y);
    if (!FDragging)
        return;
    const bool inside = X >= 0 && Y >= 0 && X < Width() && Y < Height();
    if (inside != FPressedInside) {
        FPressedInside = inside;
        Invalidate();
    }
}

void TSpeedButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TGraphicControl::MouseUp(Button, Shift, X, Y);
    if (!FDragging || Button != mbLeft)
        return;
    FDragging = false;
    const bool inside = X >= 0 && Y >= 0 && X < Width() && Y < Height();
    if (inside) {
        if (FGroupIndex != 0)
            SetDown(FDown ? !FAllowAllUp : true);
        Invalidate();
        Click();
    } else {
        Invalidate();
    }
}

void TSpeedButton::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case CM_BUTTONPRESSED:
        if (static_cast<int>(Message.WParam) == FGroupIndex && reinterpret_cast<TControl*>(Message.LParam) != this) {
            auto* sender = reinterpret_cast<TSpeedButton*>(Message.LParam);
            if (sender->Down() && FDown) {
                FDown = false;
                Invalidate();
            }
            FAllowAllUp = sender->AllowAllUp();
        }
        return;
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
        FMouseInControl = Message.Msg == CM_MOUSEENTER;
        if (FFlat)
            Invalidate();
        TGraphicControl::Dispatch(Message);
        return;
    case CM_TEXTCHANGED:
    case CM_ENABLEDCHANGED:
        TGraphicControl::Dispatch(Message);
        Invalidate();
        return;
    default:
        TGraphicControl::Dispatch(Message);
    }
}

void TSpeedButton::Paint()
{
    QPainter* painter = PaintPainter(this);
    if (!painter)
        return;
    QRect rect(0, 0, Width(), Height());
    const bool pressed = (FDragging && FPressedInside) || FDown;
    if (!Transparent || !FFlat || pressed)
        painter->fillRect(rect, ToQColor(FDown && !FDragging ? cl3DLight : clBtnFace));
    if (FFlat) {
        if (pressed || FMouseInControl) {
            QRect edge = rect;
            StdCtrl::Frame3D(*painter, edge, pressed ? clBtnShadow : clBtnHighlight,
                             pressed ? clBtnHighlight : clBtnShadow, 1);
        }
    } else if (pressed) {
        QRect edge = rect;
        StdCtrl::Frame3D(*painter, edge, clBtnShadow, clBtnHighlight, 1);
        StdCtrl::Frame3D(*painter, edge, cl3DDkShadow, cl3DLight, 1);
    } else {
        StdCtrl::DrawRaisedEdge(*painter, rect, false);
    }
    const TButtonState state = !Enabled() ? bsDisabled : FDown && !FDragging ? bsExclusive : pressed ? bsDown : bsUp;
    FGlyph.Draw(*painter, Rect(2, 2, Width() - 2, Height() - 2), Caption(), *Font(), FLayout, Margin, Spacing, state,
                pressed);
}
