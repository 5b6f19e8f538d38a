// Panels.

#include "platform/gui/Panel.h"

#include "platform/gui/TextOutput.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/gui/private/StdCtrlSupport.h"
#include "platform/gui/private/Surfaces.h"

TCustomPanel::TCustomPanel(TComponent* AOwner) : TCustomControl(AOwner)
{
    ControlStyle = TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csOpaque,
                                 csDoubleClicks, csReplicatable};
    SetBounds(0, 0, 185, 41);
    SetColor(clBtnFace);
}

void TCustomPanel::CreateParams(TCreateParams& Params)
{
    TCustomControl::CreateParams(Params);
    if (FBorderStyle == bsSingle) {
        if (Ctl3D)
            Params.ExStyle |= WS_EX_CLIENTEDGE;
        else
            Params.Style |= WS_BORDER;
    }
}

void TCustomPanel::AdjustClientRect(TRect& Rect)
{
    TCustomControl::AdjustClientRect(Rect);
    int inset = FPanelBorderWidth;
    if (FBevelOuter != bvNone)
        inset += FBevelWidth;
    if (FBevelInner != bvNone)
        inset += FBevelWidth;
    InflateRect(Rect, -inset, -inset);
}

void TCustomPanel::Paint()
{
    QPainter* painter = PaintPainter(this);
    if (!painter)
        return;
    QRect rect(0, 0, ClientWidth(), ClientHeight());
    auto bevel = [&](TPanelBevel kind) {
        if (kind == bvNone)
            return;
        const TColor topLeft = kind == bvLowered ? clBtnShadow : clBtnHighlight;
        const TColor bottomRight = kind == bvLowered ? clBtnHighlight : clBtnShadow;
        if (kind == bvSpace)
            rect.adjust(FBevelWidth, FBevelWidth, -FBevelWidth, -FBevelWidth);
        else
            StdCtrl::Frame3D(*painter, rect, topLeft, bottomRight, FBevelWidth);
    };
    bevel(FBevelOuter);
    StdCtrl::Frame3D(*painter, rect, Color(), Color(), FPanelBorderWidth);
    bevel(FBevelInner);
    painter->fillRect(rect, ToQColor(Color()));
    const std::string caption = Caption();
    if (caption.empty())
        return;
    unsigned flags = DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS;
    if (FAlignment == taCenter)
        flags |= DT_CENTER;
    else if (FAlignment == taRightJustify)
        flags |= DT_RIGHT;
    QRect text = rect;
    StdCtrl::DrawCaption(painter, text, caption, flags, *Font(), Enabled() ? Font()->Color() : clGrayText);
}

void TCustomPanel::Changed()
{
    Realign();
    Invalidate();
}

void TCustomPanel::SetAlignment(TAlignment value)
{
    FAlignment = value;
    Invalidate();
}

void TCustomPanel::SetBevelInner(TPanelBevel value)
{
    FBevelInner = value;
    Changed();
}

void TCustomPanel::SetBevelOuter(TPanelBevel value)
{
    FBevelOuter = value;
    Changed();
}

void TCustomPanel::SetBevelWidth(int value)
{
    FBevelWidth = value < 1 ? 1 : value;
    Changed();
}

void TCustomPanel::SetBorderWidth(int value)
{
    FPanelBorderWidth = value < 0 ? 0 : value;
    Changed();
}

void TCustomPanel::SetBorderStyle(TBorderStyle value)
{
    if (FBorderStyle == value)
        return;
    FBorderStyle = value;
    if (HandleAllocated())
        RecreateWnd();
}

void TCustomPanel::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
        TCustomControl::Dispatch(Message);
        Invalidate();
        return;
    default:
        TCustomControl::Dispatch(Message);
    }
}
