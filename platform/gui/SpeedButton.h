#pragma once
// Speed buttons: graphic buttons that can stay down, alone or in an exclusive group.

#include "platform/gui/BitBtn.h"
#include "platform/gui/Control.h"

class TSpeedButton : public TGraphicControl {
    TESS_CLASS(TSpeedButton, TGraphicControl)
public:
    explicit TSpeedButton(TComponent* AOwner);

    TBitmap* Glyph() const { return FGlyph.Glyph(); }
    void SetGlyph(TBitmap* value);
    int NumGlyphs() const { return FGlyph.NumGlyphs(); }
    void SetNumGlyphs(int value);
    int GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int value);
    bool Down() const { return FDown; }
    // Pressing one of a group raises the others (CM_BUTTONPRESSED to the siblings).
    void SetDown(bool value);
    bool AllowAllUp() const { return FAllowAllUp; }
    void SetAllowAllUp(bool value);
    bool Flat() const { return FFlat; }
    void SetFlat(bool value);
    TButtonLayout Layout() const { return FLayout; }
    void SetLayout(TButtonLayout value);
    int Margin = -1;
    int Spacing = 4;
    bool Transparent = true;
    void Click() override;
    void Dispatch(TMessage& Message) override;

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    void UpdateExclusive();
    TButtonGlyph FGlyph;
    int FGroupIndex = 0;
    bool FDown = false;
    bool FAllowAllUp = false;
    bool FFlat = false;
    TButtonLayout FLayout = blGlyphLeft;
    bool FDragging = false;
    bool FPressedInside = false;
    bool FMouseInControl = false;
};
