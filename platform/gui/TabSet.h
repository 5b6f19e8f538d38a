#pragma once
// Tab sets: notebook tabs drawn along the bottom edge.

#include "platform/gui/WinControl.h"
#include "platform/rtl/Lists.h"

#include <memory>

using TTabChangeEvent = std::function<void(TObject* Sender, int NewTab, bool& AllowChange)>;

class TTabSet : public TCustomControl {
    TESS_CLASS(TTabSet, TCustomControl)
public:
    explicit TTabSet(TComponent* AOwner);
    ~TTabSet() override;
    TStrings* Tabs() const { return FTabs.get(); }
    void SetTabs(TStrings* value) { FTabs->Assign(value); }
    int TabIndex() const { return FTabIndex; }
    // OnChange may refuse; then nothing changes.
    void SetTabIndex(int value);
    TColor SelectedColor = clBtnFace;
    TColor UnselectedColor = clWindow;
    TTabChangeEvent OnChange;
    TRect ItemRect(int index) const;
    int ItemAtPos(TPoint pos) const;

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    std::unique_ptr<TStringList> FTabs;
    int FTabIndex = -1;
};
