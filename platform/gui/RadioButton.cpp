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

namespace RadioButtonPaint {

// The classic 12 x 12 radio mark: the outer ring shadow at the top left and white at the bottom
// right, the inner ring dark shadow over 3-D light, the field inside; X is the check's dot.
const char* const MarkRows[12] = {
    "....SSSS....",
    "..SSDDDDSS..",
    ".SDDWWWWDDH.",
    ".SDWWWWWWLH.",
    "SDWWWXXWWWLH",
    "SDWWXXXXWWLH",
    "SDWWXXXXWWLH",
    "SDWWWXXWWWLH",
    ".SDWWWWWWLH.",
    ".SDLWWWWLLH.",
    "..HHLLLLHH..",
    "....HHHH....",
};

} // namespace RadioButtonPaint

void TRadioButton::Paint()
{
    QPainter* painter = PaintPainter(this);
    if (!painter)
        return;
    const int boxLeft = FAlignment == taRightJustify ? 0 : Width() - 13;
    const QPoint box(boxLeft, (Height() - 12) / 2);
    const QColor field = ToQColor(Enabled() && !Pressed() ? clWindow : clBtnFace);
    const QColor dot = FChecked ? ToQColor(Enabled() ? clWindowText : clBtnShadow) : field;
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) {
            QColor color;
            switch (RadioButtonPaint::MarkRows[y][x]) {
            case 'S': color = ToQColor(clBtnShadow); break;
            case 'H': color = ToQColor(clBtnHighlight); break;
            case 'D': color = ToQColor(cl3DDkShadow); break;
            case 'L': color = ToQColor(cl3DLight); break;
            case 'W': color = field; break;
            case 'X': color = dot; break;
            default: continue;
            }
            painter->fillRect(QRect(box.x() + x, box.y() + y, 1, 1), color);
        }
    StdCtrl::DrawMarkCaption(this, *painter, FAlignment, Caption(), Enabled(), Focused());
}
