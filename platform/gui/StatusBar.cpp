// Status bars.

#include "platform/gui/StatusBar.h"

#include "platform/gui/TextOutput.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/gui/private/StdCtrlSupport.h"
#include "platform/gui/private/Surfaces.h"

// --- TStatusPanel(s) ----------------------------------------------------------------------------------

void TStatusPanel::Changed()
{
    if (FBar)
        FBar->Panels()->Changed();
}

void TStatusPanel::SetText(const std::string& value)
{
    FText = value;
    Changed();
}

void TStatusPanel::SetWidth(int value)
{
    FWidth = std::max(value, 0);
    Changed();
}

void TStatusPanel::SetAlignment(TAlignment value)
{
    FAlignment = value;
    Changed();
}

void TStatusPanel::SetBevel(TStatusPanelBevel value)
{
    FBevel = value;
    Changed();
}

void TStatusPanel::SetStyle(TStatusPanelStyle value)
{
    FStyle = value;
    Changed();
}

int TStatusPanel::Index() const
{
    const TStatusPanels* panels = FBar ? FBar->Panels() : nullptr;
    for (int i = 0; panels && i < panels->Count(); ++i)
        if (panels->Items(i) == this)
            return i;
    return -1;
}

TStatusPanels::~TStatusPanels() = default;

TStatusPanel* TStatusPanels::Add()
{
    FItems.push_back(std::make_unique<TStatusPanel>(FBar));
    Changed();
    return FItems.back().get();
}

TStatusPanel* TStatusPanels::Items(int index) const
{
    if (index < 0 || index >= Count())
        RAISE(EStringListError("List index out of bounds (" + std::to_string(index) + ")"));
    return FItems[static_cast<std::size_t>(index)].get();
}

void TStatusPanels::Delete(int index)
{
    Items(index);
    FItems.erase(FItems.begin() + index);
    Changed();
}

void TStatusPanels::Clear()
{
    FItems.clear();
    Changed();
}

void TStatusPanels::EndUpdate()
{
    if (FUpdateCount > 0 && --FUpdateCount == 0)
        Changed();
}

void TStatusPanels::Changed()
{
    if (FUpdateCount == 0 && FBar)
        FBar->Invalidate();
}

// --- TStatusBar ---------------------------------------------------------------------------------------

TStatusBar::TStatusBar(TComponent* AOwner)
    : TWinControl(AOwner), FPanels(std::make_unique<TStatusPanels>(this)), FCanvas(std::make_unique<TControlCanvas>())
{
    ControlStyle = TControlStyle{csCaptureMouse, csClickEvents, csDoubleClicks, csOpaque, csAcceptsControls};
    FCanvas->SetControl(this);
    SetColor(clBtnFace);
    SetBounds(0, 0, 200, 19);
    SetAlign(alBottom);
}

TStatusBar::~TStatusBar() = default;

void TStatusBar::SetSimplePanel(bool value)
{
    FSimplePanel = value;
    Invalidate();
}

void TStatusBar::SetSimpleText(const std::string& value)
{
    FSimpleText = value;
    Invalidate();
}

void TStatusBar::SetSizeGrip(bool value)
{
    FSizeGrip = value;
    Invalidate();
}

TRect TStatusBar::PanelRect(int index) const
{
    int left = 0;
    for (int i = 0; i < index && i < FPanels->Count(); ++i)
        left += FPanels->Items(i)->Width();
    const bool last = index == FPanels->Count() - 1;
    const int right = last ? ClientWidth() : left + FPanels->Items(index)->Width();
    return Rect(left, 2, right - 2, ClientHeight());
}

void TStatusBar::DrawPanel(TStatusPanel* Panel, const TRect& Rect)
{
    if (OnDrawPanel)
        OnDrawPanel(this, Panel, Rect);
    else
        FCanvas->FillRect(Rect);
}

void TStatusBar::Paint()
{
    QPainter* painter = PaintPainter(this);
    if (!painter)
        return;
    painter->fillRect(QRect(0, 0, ClientWidth(), ClientHeight()), ToQColor(Color()));
    auto drawText = [&](const std::string& text, QRect rect, TAlignment alignment) {
        unsigned flags = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
        if (alignment == taCenter)
            flags |= DT_CENTER;
        else if (alignment == taRightJustify)
            flags |= DT_RIGHT;
        QRect inner = rect.adjusted(2, 0, -2, 0);
        StdCtrl::DrawCaption(painter, inner, text, flags, *Font(), Font()->Color());
    };
    const int gripSpace = FSizeGrip ? 14 : 0;
    if (FSimplePanel || FPanels->Count() == 0) {
        QRect rect(0, 2, ClientWidth() - gripSpace, ClientHeight() - 2);
        drawText(FSimplePanel ? FSimpleText : Caption(), rect, taLeftJustify);
    } else {
        for (int i = 0; i < FPanels->Count(); ++i) {
            TStatusPanel* panel = FPanels->Items(i);
            const TRect r = PanelRect(i);
            QRect rect = ToQRect(r);
            if (i == FPanels->Count() - 1)
                rect.setRight(rect.right() - gripSpace);
            if (panel->Bevel() != pbNone) {
                QRect frame = rect;
                StdCtrl::Frame3D(*painter, frame, panel->Bevel() == pbLowered ? clBtnShadow : clBtnHighlight,
                                 panel->Bevel() == pbLowered ? clBtnHighlight : clBtnShadow, 1);
            }
            if (panel->Style() == psOwnerDraw) {
                StdCtrl::TClientPaintDC dc(this);
                FCanvas->SetHandle(dc.Handle());
                FCanvas->SetFont(Font());
                FCanvas->Brush()->SetColor(Color());
                DrawPanel(panel, ToTRect(rect.adjusted(1, 1, -1, -1)));
                FCanvas->SetHandle(nullptr);
            } else {
                drawText(panel->Text(), rect.adjusted(1, 1, -1, -1), panel->Alignment());
            }
        }
    }
    if (FSizeGrip) {
        const int w = ClientWidth(), h = ClientHeight();
        for (int i = 0; i < 3; ++i) {
            const int offset = 4 * i + 3;
            painter->setPen(ToQColor(clBtnHighlight));
            painter->drawLine(w - offset - 1, h - 1, w - 1, h - offset - 1);
            painter->setPen(ToQColor(clBtnShadow));
            painter->drawLine(w - offset, h - 1, w - 1, h - offset);
            painter->drawLine(w - offset + 1, h - 1, w - 1, h - offset + 1);
        }
    }
}

void TStatusBar::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
        TWinControl::Dispatch(Message);
        Invalidate();
        return;
    default:
        TWinControl::Dispatch(Message);
    }
}
