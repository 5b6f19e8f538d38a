// Check boxes.

#include "platform/gui/CheckBox.h"

#include "platform/gui/TextOutput.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/gui/private/StdCtrlSupport.h"
#include "platform/gui/private/Surfaces.h"

TCustomCheckBox::TCustomCheckBox(TComponent* AOwner) : TButtonControl(AOwner)
{
    SetBounds(0, 0, 97, 17);
}

void TCustomCheckBox::CreateParams(TCreateParams& Params)
{
    TButtonControl::CreateParams(Params);
    Params.Style |= BS_3STATE;
    if (FAlignment == taLeftJustify)
        Params.Style |= BS_LEFTTEXT;
}

void TCustomCheckBox::SetState(TCheckBoxState value)
{
    if (FState == value)
        return;
    FState = value;
    Invalidate();
    if (!ClicksDisabled)
        Click();
}

void TCustomCheckBox::Toggle()
{
    switch (FState) {
    case cbUnchecked:
        SetState(FAllowGrayed ? cbGrayed : cbChecked);
        break;
    case cbChecked:
        SetState(cbUnchecked);
        break;
    case cbGrayed:
        SetState(cbChecked);
        break;
    }
}

void TCustomCheckBox::SetAlignment(TAlignment value)
{
    if (FAlignment == value)
        return;
    FAlignment = value;
    Invalidate();
}

void TCustomCheckBox::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case BM_GETCHECK:
        Message.Result = FState == cbChecked ? BST_CHECKED : FState == cbGrayed ? BST_INDETERMINATE : BST_UNCHECKED;
        return;
    case BM_SETCHECK:
        SetState(Message.WParam == BST_CHECKED ? cbChecked : Message.WParam == BST_INDETERMINATE ? cbGrayed : cbUnchecked);
        return;
    default:
        TButtonControl::Dispatch(Message);
    }
}

namespace StdCtrl {
QRect DrawMarkCaption(TWinControl* control, QPainter& painter, TAlignment alignment, const std::string& caption,
                      bool enabled, bool focused)
{
    const int height = control->Height();
    const int textHeight = TextHeight(*control->Font());
    QRect text;
    if (alignment == taRightJustify)
        text = QRect(17, 0, std::max(control->Width() - 17, 0), height);
    else
        text = QRect(0, 0, std::max(control->Width() - 17, 0), height);
    QRect measure(0, 0, 0, 0);
    DrawCaption(nullptr, measure, caption, DT_CALCRECT | DT_SINGLELINE, *control->Font(), clBtnText);
    QRect used(text.left(), (height - textHeight) / 2, std::min(measure.width() + 2, text.width()), textHeight);
    QRect draw = used.adjusted(1, 0, 0, 0);
    if (enabled) {
        DrawCaption(&painter, draw, caption, DT_LEFT | DT_SINGLELINE, *control->Font(), control->Font()->Color());
    } else {
        QRect shadow = draw.translated(1, 1);
        DrawCaption(&painter, shadow, caption, DT_LEFT | DT_SINGLELINE, *control->Font(), clBtnHighlight);
        DrawCaption(&painter, draw, caption, DT_LEFT | DT_SINGLELINE, *control->Font(), clBtnShadow);
    }
    if (focused && !caption.empty())
        DrawFocusRect(painter, used.adjusted(-1, -1, 1, 1));
    return used;
}
} // namespace StdCtrl

void TCustomCheckBox::Paint()
{
    QPainter* painter = PaintPainter(this);
    if (!painter)
        return;
    const int boxLeft = FAlignment == taRightJustify ? 0 : Width() - 13;
    QRect box(boxLeft, (Height() - 13) / 2, 13, 13);
    StdCtrl::DrawSunkenEdge(*painter, box);
    const QRect inner = box.adjusted(2, 2, -2, -2);
    const bool grayed = FState == cbGrayed || !Enabled();
    painter->fillRect(inner, ToQColor(Pressed() || FState == cbGrayed ? clBtnFace : clWindow));
    if (FState != cbUnchecked) {
        const QColor mark = ToQColor(grayed ? clBtnShadow : clWindowText);
        // The classic 7 x 7 check mark, three pixels thick.
        static const int rise[7] = {2, 3, 4, 3, 2, 1, 0};
        for (int i = 0; i < 7; ++i)
            painter->fillRect(QRect(inner.left() + 1 + i, inner.top() + 1 + rise[i], 1, 3), mark);
    }
    StdCtrl::DrawMarkCaption(this, *painter, FAlignment, Caption(), Enabled(), Focused());
}
