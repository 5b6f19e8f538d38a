// Radio buttons.

#include "platform/gui/RadioButton.h"

#include "platform/gui/InputTranslation.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/gui/private/StdCtrlSupport.h"
#include "platform/gui/private/Surfaces.h"

TRadioButton::TRadioButton(TComponent* AOwner) : TButtonControl(AOwner)
{
    SetBounds(0, 0, 113, 17);
}

void TRadioButton::CreateParams(TCreateParams& Params)
{
    TButtonControl::CreateParams(Params);
    Params.Style |= BS_RADIOBUTTON;
    if (FAlignment == taLeftJustify)
        Params.Style |= BS_LEFTTEXT;
}

void TRadioButton::SetChecked(bool value)
{
    if (FChecked == value)
        return;
    FChecked = value;
    SetTabStop(value);
    Invalidate();
    if (!value)
        return;
    if (TWinControl* parent = Parent()) {
        for (int i = 0; i < parent->ControlCount(); ++i)
            if (auto* sibling = dynamic_cast<TRadioButton*>(parent->Controls(i)); sibling && sibling != this)
                sibling->SetChecked(false);
    }
    if (!ClicksDisabled)
        Click();
}

void TRadioButton::SetAlignment(TAlignment value)
{
    if (FAlignment == value)
        return;
    FAlignment = value;
    Invalidate();
}

void TRadioButton::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case WM_GETDLGCODE:
        Message.Result = DLGC_RADIOBUTTON | DLGC_BUTTON;
        return;
    case WM_SETFOCUS:
        TButtonControl::Dispatch(Message);
        // Arrow keys move the check with the focus, as the dialog manager does.
        if (GetKeyState(VK_UP) < 0 || GetKeyState(VK_DOWN) < 0 || GetKeyState(VK_LEFT) < 0 ||
            GetKeyState(VK_RIGHT) < 0)
            SetChecked(true);
        return;
    default:
        TButtonControl::Dispatch(Message);
    }
}

void TRadioButton::Paint()
{
    QPainter* painter = PaintPainter(this);
    if (!painter)
        return;
    const int boxLeft = FAlignment == taRightJustify ? 0 : Width() - 13;
    const QRect box(boxLeft, (Height() - 12) / 2, 12, 12);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(ToQColor(clBtnShadow));
    painter->setBrush(ToQColor(Enabled() && !Pressed() ? clWindow : clBtnFace));
    painter->drawEllipse(box.adjusted(0, 0, -1, -1));
    painter->setPen(ToQColor(cl3DDkShadow));
    painter->setBrush(Qt::NoBrush);
    painter->drawArc(box.adjusted(1, 1, -2, -2), 45 * 16, 180 * 16);
    if (FChecked) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(ToQColor(Enabled() ? clWindowText : clBtnShadow));
        painter->drawEllipse(QRect(box.left() + 4, box.top() + 4, 4, 4));
    }
    painter->restore();
    StdCtrl::DrawMarkCaption(this, *painter, FAlignment, Caption(), Enabled(), Focused());
}
