#pragma once
// Group boxes, and radio groups whose buttons are made from their Items.

#include "platform/gui/RadioButton.h"
#include "platform/rtl/Lists.h"

#include <memory>
#include <vector>

class TCustomGroupBox : public TCustomControl {
    TESS_CLASS(TCustomGroupBox, TCustomControl)
public:
    explicit TCustomGroupBox(TComponent* AOwner);
    void Dispatch(TMessage& Message) override;

protected:
    void AdjustClientRect(TRect& Rect) override;
    void Paint() override;
};

class TGroupBox : public TCustomGroupBox {
    TESS_CLASS(TGroupBox, TCustomGroupBox)
public:
    explicit TGroupBox(TComponent* AOwner) : TCustomGroupBox(AOwner) {}
};

class TCustomRadioGroup : public TCustomGroupBox {
    TESS_CLASS(TCustomRadioGroup, TCustomGroupBox)
public:
    explicit TCustomRadioGroup(TComponent* AOwner);
    ~TCustomRadioGroup() override;

    TStrings* Items() const { return FItems.get(); }
    void SetItems(TStrings* value) { FItems->Assign(value); }
    int ItemIndex() const { return FItemIndex; }
    // Out of range sets -1; a change fires OnClick.
    void SetItemIndex(int value);
    int Columns() const { return FColumns; }
    void SetColumns(int value);
    // The radio button of an item (nullptr when out of range).
    TRadioButton* Buttons(int index) const;
    void Dispatch(TMessage& Message) override;

protected:
    void Loaded() override;
    void BoundsChanged(bool moved, bool resized) override;

private:
    void ItemsChanged(TObject* Sender);
    void UpdateButtons();
    void ArrangeButtons();
    void ButtonClick(TObject* Sender);

    std::unique_ptr<TStringList> FItems;
    std::vector<TRadioButton*> FButtons;
    int FItemIndex = -1;
    int FColumns = 1;
    bool FUpdating = false;
};

class TRadioGroup : public TCustomRadioGroup {
    TESS_CLASS(TRadioGroup, TCustomRadioGroup)
public:
    explicit TRadioGroup(TComponent* AOwner) : TCustomRadioGroup(AOwner) {}
};
