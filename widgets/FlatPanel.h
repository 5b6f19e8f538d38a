#pragma once
// TFlatPanel: a panel with a one-pixel frame of two colours (top and left, bottom and right) and
// a one-line caption, painted off screen and copied at once, optionally over its parent's
// background. The windows use it as a coloured section title and as a plain frame.

#include "platform/gui/Panel.h"

class TFlatPanel : public TCustomPanel {
    TESS_CLASS(TFlatPanel, TCustomPanel)
public:
    explicit TFlatPanel(TComponent* AOwner);

    // Index 0 ColorHighLight, 1 ColorShadow; another index only repaints.
    void SetColors(int Index, TColor Value);
    TColor ColorHighLight() const { return FColorHighLight; }
    TColor ColorShadow() const { return FColorShadow; }
    void SetColorHighLight(TColor Value) { SetColors(0, Value); }
    void SetColorShadow(TColor Value) { SetColors(1, Value); }
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool Value);

    void Dispatch(TMessage& Message) override;

protected:
    void Paint() override;

private:
    bool FTransparent = false;
    TColor FColorHighLight = 0x8396A0;
    TColor FColorShadow = 0x8396A0;
};
