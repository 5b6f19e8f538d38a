#pragma once
// Panels: containers with raised or lowered bevels and a centred caption.

#include "platform/gui/Label.h"
#include "platform/gui/WinControl.h"

enum TPanelBevel { bvNone, bvLowered, bvRaised, bvSpace };

class TCustomPanel : public TCustomControl {
    TESS_CLASS(TCustomPanel, TCustomControl)
public:
    explicit TCustomPanel(TComponent* AOwner);

    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    TPanelBevel BevelInner() const { return FBevelInner; }
    void SetBevelInner(TPanelBevel value);
    TPanelBevel BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TPanelBevel value);
    int BevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(int value);
    // The space between the bevels, inside the client area (not the window's frame).
    int BorderWidth() const { return FPanelBorderWidth; }
    void SetBorderWidth(int value);
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle value);
    bool FullRepaint = true;
    bool Locked = false;
    void Dispatch(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void AdjustClientRect(TRect& Rect) override;
    void Paint() override;

private:
    void Changed();
    TAlignment FAlignment = taCenter;
    TPanelBevel FBevelInner = bvNone;
    TPanelBevel FBevelOuter = bvRaised;
    int FBevelWidth = 1;
    int FPanelBorderWidth = 0;
    TBorderStyle FBorderStyle = bsNone;
};

class TPanel : public TCustomPanel {
    TESS_CLASS(TPanel, TCustomPanel)
public:
    explicit TPanel(TComponent* AOwner) : TCustomPanel(AOwner) {}
};
