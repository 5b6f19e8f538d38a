// Labels.

#include "platform/gui/Label.h"

#include "platform/gui/TextOutput.h"
#include "platform/gui/WinControl.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/gui/private/StdCtrlSupport.h"
#include "platform/gui/private/Surfaces.h"

TCustomLabel::TCustomLabel(TComponent* AOwner) : TGraphicControl(AOwner)
{
    ControlStyle = ControlStyle + TControlStyle{csOpaque, csReplicatable};
    SetBounds(0, 0, 65, 17);
    AdjustBounds();
}

unsigned TCustomLabel::TextFlags() const
{
    unsigned flags = DT_EXPANDTABS;
    if (FWordWrap)
        flags |= DT_WORDBREAK;
    if (!FShowAccelChar)
        flags |= DT_NOPREFIX;
    if (FAlignment == taRightJustify)
        flags |= DT_RIGHT;
    else if (FAlignment == taCenter)
        flags |= DT_CENTER;
    return flags;
}

void TCustomLabel::Paint()
{
    QPainter* painter = PaintPainter(this);
    if (!painter)
        return;
    const QRect client(0, 0, Width(), Height());
    if (!FTransparent)
        painter->fillRect(client, ToQColor(Color()));
    std::string text = Caption();
    if (text.empty())
        return;
    QRect measure = client;
    const int height = StdCtrl::DrawCaption(nullptr, measure, text, TextFlags() | DT_CALCRECT, *Font(), Font()->Color());
    QRect rect = client;
    if (FLayout == tlCenter)
        rect.moveTop((client.height() - height) / 2);
    else if (FLayout == tlBottom)
        rect.moveTop(client.height() - height);
    if (!Enabled()) {
        QRect shifted = rect.translated(1, 1);
        StdCtrl::DrawCaption(painter, shifted, text, TextFlags(), *Font(), clBtnHighlight);
        StdCtrl::DrawCaption(painter, rect, text, TextFlags(), *Font(), clBtnShadow);
    } else {
        StdCtrl::DrawCaption(painter, rect, text, TextFlags(), *Font(), Font()->Color());
    }
}

void TCustomLabel::AdjustBounds()
{
    if (!FAutoSize || ComponentState().Contains(csLoading))
        return;
    std::string text = Caption();
    if (text.empty())
        text = " ";
    QRect rect(0, 0, FWordWrap ? Width() : 0, 0);
    StdCtrl::DrawCaption(nullptr, rect, text, TextFlags() | DT_CALCRECT, *Font(), Font()->Color());
    int left = Left();
    if (FAlignment == taRightJustify && !FWordWrap)
        left += Width() - rect.width();
    SetBounds(left, Top(), rect.width(), rect.height());
}

void TCustomLabel::Loaded()
{
    TGraphicControl::Loaded();
    AdjustBounds();
}

void TCustomLabel::Notification(TComponent* AComponent, TOperation Operation)
{
    TGraphicControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FFocusControl)
        FFocusControl = nullptr;
}

void TCustomLabel::SetFocusControl(TWinControl* value)
{
    FFocusControl = value;
    if (value)
        value->FreeNotification(this);
}

void TCustomLabel::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
        Invalidate();
        AdjustBounds();
        break;
    case CM_DIALOGCHAR:
        if (FFocusControl && Enabled() && FShowAccelChar &&
            StdCtrl::IsAccel(static_cast<unsigned char>(Message.WParam & 0xFF), Caption()) &&
            FFocusControl->CanFocus()) {
            FFocusControl->SetFocus();
            Message.Result = 1;
            return;
        }
        break;
    default:
        break;
    }
    TGraphicControl::Dispatch(Message);
}

void TCustomLabel::SetAlignment(TAlignment value)
{
    if (FAlignment == value)
        return;
    FAlignment = value;
    Invalidate();
}

void TCustomLabel::SetLayout(TTextLayout value)
{
    if (FLayout == value)
        return;
    FLayout = value;
    Invalidate();
}

void TCustomLabel::SetAutoSize(bool value)
{
    if (FAutoSize == value)
        return;
    FAutoSize = value;
    AdjustBounds();
}

void TCustomLabel::SetWordWrap(bool value)
{
    if (FWordWrap == value)
        return;
    FWordWrap = value;
    AdjustBounds();
    Invalidate();
}

void TCustomLabel::SetTransparent(bool value)
{
    if (FTransparent == value)
        return;
    FTransparent = value;
    if (value)
        ControlStyle.Exclude(csOpaque);
    else
        ControlStyle.Include(csOpaque);
    Invalidate();
}

void TCustomLabel::SetShowAccelChar(bool value)
{
    if (FShowAccelChar == value)
        return;
    FShowAccelChar = value;
    Invalidate();
}
