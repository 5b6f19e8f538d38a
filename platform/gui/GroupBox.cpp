// Group boxes and radio groups.

#include "platform/gui/GroupBox.h"

#include "platform/gui/TextOutput.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/gui/private/StdCtrlSupport.h"
#include "platform/gui/private/Surfaces.h"

#include <algorithm>

// --- TCustomGroupBox --------------------------------------------------------------------------------

TCustomGroupBox::TCustomGroupBox(TComponent* AOwner) : TCustomControl(AOwner)
{
    ControlStyle = TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks,
                                 csReplicatable};
    SetBounds(0, 0, 185, 105);
}

void TCustomGroupBox::AdjustClientRect(TRect& Rect)
{
    TCustomControl::AdjustClientRect(Rect);
    Rect.Top += StdCtrl::TextHeight(*Font());
    InflateRect(Rect, -2, -2);
}

void TCustomGroupBox::Paint()
{
    QPainter* painter = PaintPainter(this);
    if (!painter)
        return;
    const int textHeight = StdCtrl::TextHeight(*Font());
    QRect frame(0, textHeight / 2 - 1, Width(), Height() - textHeight / 2 + 1);
    QRect inner = frame;
    // The etched frame: shadow outside, highlight inside.
    painter->setBrush(Qt::NoBrush);
    painter->setPen(ToQColor(clBtnHighlight));
    painter->drawRect(frame.adjusted(1, 1, -1, -1));
    painter->setPen(ToQColor(clBtnShadow));
    painter->drawRect(inner.adjusted(0, 0, -2, -2));
    const std::string caption = Caption();
    if (caption.empty())
        return;
    QRect measure(0, 0, 0, 0);
    StdCtrl::DrawCaption(nullptr, measure, caption, DT_CALCRECT | DT_SINGLELINE, *Font(), clBtnText);
    QRect text(8, 0, measure.width() + 2, textHeight);
    painter->fillRect(text, ToQColor(Color()));
    QRect draw = text.adjusted(1, 0, 0, 0);
    StdCtrl::DrawCaption(painter, draw, caption, DT_LEFT | DT_SINGLELINE,
                         *Font(), Enabled() ? Font()->Color() : clGrayText);
}

void TCustomGroupBox::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case CM_DIALOGCHAR:
        if (Enabled() && StdCtrl::IsAccel(static_cast<unsigned char>(Message.WParam & 0xFF), Caption()) && CanFocus()) {
            SelectFirst();
            Message.Result = 1;
            return;
        }
        TCustomControl::Dispatch(Message);
        return;
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
        TCustomControl::Dispatch(Message);
        Realign();
        Invalidate();
        return;
    default:
        TCustomControl::Dispatch(Message);
    }
}

// --- TCustomRadioGroup --------------------------------------------------------------------------------

TCustomRadioGroup::TCustomRadioGroup(TComponent* AOwner) : TCustomGroupBox(AOwner), FItems(std::make_unique<TStringList>())
{
    ControlStyle = TControlStyle{csSetCaption, csDoubleClicks};
    FItems->OnChange = [this](TObject* sender) { ItemsChanged(sender); };
}

TCustomRadioGroup::~TCustomRadioGroup() { FItems->OnChange = nullptr; }

TRadioButton* TCustomRadioGroup::Buttons(int index) const
{
    if (index < 0 || index >= static_cast<int>(FButtons.size()))
        return nullptr;
    return FButtons[static_cast<std::size_t>(index)];
}

void TCustomRadioGroup::ItemsChanged(TObject*)
{
    if (ComponentState().Contains(csLoading))
        return;
    if (FItemIndex >= FItems->Count())
        FItemIndex = FItems->Count() - 1;
    UpdateButtons();
}

void TCustomRadioGroup::UpdateButtons()
{
    FUpdating = true;
    const int count = FItems->Count();
    while (static_cast<int>(FButtons.size()) > count) {
        TRadioButton* button = FButtons.back();
        FButtons.pop_back();
        TComponent::Free(button);
    }
    while (static_cast<int>(FButtons.size()) < count) {
        auto* button = new TRadioButton(this);
        button->OnClick = [this](TObject* sender) { ButtonClick(sender); };
        button->SetParent(this);
        FButtons.push_back(button);
    }
    for (int i = 0; i < count; ++i) {
        TRadioButton* button = FButtons[static_cast<std::size_t>(i)];
        button->SetCaption(FItems->Strings(i));
        button->SetEnabled(Enabled());
        button->SetChecked(i == FItemIndex);
        button->SetTabStop(false);
    }
    FUpdating = false;
    ArrangeButtons();
}

void TCustomRadioGroup::ArrangeButtons()
{
    if (FButtons.empty())
        return;
    const int count = static_cast<int>(FButtons.size());
    const int columns = std::max(FColumns, 1);
    const int rows = (count + columns - 1) / columns;
    const int textHeight = StdCtrl::TextHeight(*Font());
    const int width = (Width() - 10) / columns;
    const int top = textHeight + 1;
    const int height = std::max(Height() - top - 5, 0);
    const int rowHeight = rows > 0 ? height / rows : height;
    for (int i = 0; i < count; ++i) {
        const int column = i / rows;
        const int row = i % rows;
        FButtons[static_cast<std::size_t>(i)]->SetBounds(8 + column * width, top + row * rowHeight + (rowHeight - 17) / 2,
                                                         std::max(width - 8, 0), 17);
    }
}

void TCustomRadioGroup::ButtonClick(TObject* Sender)
{
    if (FUpdating)
        return;
    auto it = std::find(FButtons.begin(), FButtons.end(), Sender);
    if (it == FButtons.end())
        return;
    const int index = static_cast<int>(it - FButtons.begin());
    if (!(*it)->Checked())
        return;
    FItemIndex = index;
    Click();
}

void TCustomRadioGroup::SetItemIndex(int value)
{
    if (value < -1 || value >= FItems->Count())
        value = -1;
    if (value == FItemIndex)
        return;
    FItemIndex = value;
    FUpdating = true;
    for (int i = 0; i < static_cast<int>(FButtons.size()); ++i)
        FButtons[static_cast<std::size_t>(i)]->SetChecked(i == value);
    FUpdating = false;
    Click();
}

void TCustomRadioGroup::SetColumns(int value)
{
    value = std::clamp(value, 1, 16);
    if (FColumns == value)
        return;
    FColumns = value;
    ArrangeButtons();
    Invalidate();
}

void TCustomRadioGroup::Loaded()
{
    TCustomGroupBox::Loaded();
    UpdateButtons();
}

void TCustomRadioGroup::BoundsChanged(bool moved, bool resized)
{
    TCustomGroupBox::BoundsChanged(moved, resized);
    if (resized)
        ArrangeButtons();
}

void TCustomRadioGroup::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case CM_ENABLEDCHANGED:
        TCustomGroupBox::Dispatch(Message);
        for (TRadioButton* button : FButtons)
            button->SetEnabled(Enabled());
        return;
    case CM_FONTCHANGED:
        TCustomGroupBox::Dispatch(Message);
        ArrangeButtons();
        return;
    default:
        TCustomGroupBox::Dispatch(Message);
    }
}
