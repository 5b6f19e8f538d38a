// Tab sets.

#include "platform/gui/TabSet.h"

#include "platform/gui/TextOutput.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/gui/private/StdCtrlSupport.h"
#include "platform/gui/private/Surfaces.h"

TTabSet::TTabSet(TComponent* AOwner) : TCustomControl(AOwner), FTabs(std::make_unique<TStringList>())
{
    ControlStyle = TControlStyle{csCaptureMouse, csDoubleClicks, csOpaque};
    SetBounds(0, 0, 185, 21);
    SetColor(clBtnFace);
    FTabs->OnChange = [this](TObject*) {
        if (FTabIndex >= FTabs->Count())
            FTabIndex = FTabs->Count() - 1;
        Invalidate();
    };
}

TTabSet::~TTabSet() { FTabs->OnChange = nullptr; }

TRect TTabSet::ItemRect(int index) const
{
    if (index < 0 || index >= FTabs->Count())
        return TRect();
    int left = 9;
    for (int i = 0; i < index; ++i)
        left += StdCtrl::TextWidth(*Font(), StdCtrl::StripAccel(FTabs->Strings(i))) + 18;
    const int width = StdCtrl::TextWidth(*Font(), StdCtrl::StripAccel(FTabs->Strings(index))) + 18;
    return Rect(left, 0, left + width, ClientHeight() - 1);
}

int TTabSet::ItemAtPos(TPoint pos) const
{
    for (int i = 0; i < FTabs->Count(); ++i)
        if (PtInRect(ItemRect(i), pos))
            return i;
    return -1;
}

void TTabSet::SetTabIndex(int value)
{
    if (value < -1 || value >= FTabs->Count() || value == FTabIndex)
        return;
    bool allow = true;
    if (OnChange)
        OnChange(this, value, allow);
    if (!allow)
        return;
    FTabIndex = value;
    Invalidate();
    Click();
}

void TTabSet::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TCustomControl::MouseDown(Button, Shift, X, Y);
    if (Button == mbLeft) {
        const int index = ItemAtPos({X, Y});
        if (index >= 0)
            SetTabIndex(index);
    }
}

void TTabSet::Paint()
{
    QPainter* painter = PaintPainter(this);
    if (!painter)
        return;
    const int w = ClientWidth(), h = ClientHeight();
    painter->fillRect(QRect(0, 0, w, h), ToQColor(Color()));
    painter->setPen(ToQColor(cl3DDkShadow));
    painter->drawLine(0, 0, w, 0);
    // Unselected tabs first, the selected one on top of its neighbours.
    auto drawTab = [&](int i) {
        const TRect r = ItemRect(i);
        const bool selected = i == FTabIndex;
        QPolygon shape;
        shape << QPoint(r.Left - 6, 0) << QPoint(r.Left, r.Bottom) << QPoint(r.Right, r.Bottom)
              << QPoint(r.Right + 6, 0);
        painter->setBrush(ToQColor(selected ? SelectedColor : UnselectedColor));
        painter->setPen(ToQColor(clWindowFrame));
        painter->drawPolygon(shape);
        if (selected) {
            painter->setPen(ToQColor(SelectedColor));
            painter->drawLine(r.Left - 5, 0, r.Right + 5, 0);
        }
        QRect text = ToQRect(r);
        StdCtrl::DrawCaption(painter, text, FTabs->Strings(i), DT_CENTER | DT_VCENTER | DT_SINGLELINE, *Font(),
                             Font()->Color());
    };
    for (int i = FTabs->Count() - 1; i >= 0; --i)
        if (i != FTabIndex)
            drawTab(i);
    if (FTabIndex >= 0)
        drawTab(FTabIndex);
}
