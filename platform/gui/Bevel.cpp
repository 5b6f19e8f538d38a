// Bevels.

#include "platform/gui/Bevel.h"

#include "platform/gui/private/QtBridge.h"
#include "platform/gui/private/StdCtrlSupport.h"
#include "platform/gui/private/Surfaces.h"

TBevel::TBevel(TComponent* AOwner) : TGraphicControl(AOwner)
{
    ControlStyle.Include(csReplicatable);
    SetBounds(0, 0, 50, 50);
}

void TBevel::SetShape(TBevelShape value)
{
    FShape = value;
    Invalidate();
}

void TBevel::SetStyle(TBevelStyle value)
{
    FStyle = value;
    Invalidate();
}

void TBevel::Paint()
{
    QPainter* painter = PaintPainter(this);
    if (!painter || FShape == bsSpacer)
        return;
    const TColor first = FStyle == bsLowered ? clBtnShadow : clBtnHighlight;
    const TColor second = FStyle == bsLowered ? clBtnHighlight : clBtnShadow;
    const int w = Width(), h = Height();
    auto hline = [&](int y, TColor color) { painter->fillRect(QRect(0, y, w, 1), ToQColor(color)); };
    auto vline = [&](int x, TColor color) { painter->fillRect(QRect(x, 0, 1, h), ToQColor(color)); };
    switch (FShape) {
    case bsBox: {
        QRect rect(0, 0, w, h);
        StdCtrl::Frame3D(*painter, rect, first, second, 1);
        break;
    }
    case bsFrame: {
        QRect outer(0, 0, w - 1, h - 1);
        QRect inner(1, 1, w - 1, h - 1);
        StdCtrl::Frame3D(*painter, inner, second, second, 1);
        StdCtrl::Frame3D(*painter, outer, first, first, 1);
        break;
    }
    case bsTopLine:
        hline(0, first);
        hline(1, second);
        break;
    case bsBottomLine:
        hline(h - 2, first);
        hline(h - 1, second);
        break;
    case bsLeftLine:
        vline(0, first);
        vline(1, second);
        break;
    case bsRightLine:
        vline(w - 2, first);
        vline(w - 1, second);
        break;
    default:
        break;
    }
}
