#pragma once
// Flat single-line edits, and the frame the flat edits and memo share: a 1-pixel border line and
// a 2-pixel band in the non-client area, in the rest colour or, while the control has the focus
// or the mouse is over it, in the focus colour. The text area takes the band's colour.

#include "platform/gui/Edit.h"
#include "widgets/FlatDrawing.h"

// TBase is TCustomEdit, TCustomMaskEdit or TCustomMemo.
template <class TBase>
class TFlatEditFamily : public TBase {
public:
    explicit TFlatEditFamily(TComponent* AOwner);

    // Index 0 ColorFocused, 1 ColorBorder, 2 ColorFlat (which also clears ParentColor); another
    // index only redraws.
    void SetColors(int Index, TColor Value);
    TColor ColorFocused() const { return FColorFocused; }
    TColor ColorBorder() const { return FColorBorder; }
    TColor ColorFlat() const { return FColorFlat; }
    void SetColorFocused(TColor Value) { SetColors(0, Value); }
    void SetColorBorder(TColor Value) { SetColors(1, Value); }
    void SetColorFlat(TColor Value) { SetColors(2, Value); }

    // Index 0 AdvColorFocused, 1 AdvColorBorder; steps are kept in 0..100.
    void SetAdvColors(int Index, int Value);
    FlatDrawing::TAdvColors AdvColorFocused() const { return FAdvColorFocused; }
    FlatDrawing::TAdvColors AdvColorBorder() const { return FAdvColorBorder; }
    // The focus and border colours derived from ColorFlat.
    bool UseAdvColors() const { return FUseAdvColors; }
    void SetUseAdvColors(bool Value);

    // The flat colour follows the parent's Color. The control sets its own Color, so the layer's
    // flag of the same name stays off.
    bool ParentColor() const { return FParentColor; }
    void SetParentColor(bool Value);

    // Nothing while the control has no window or no parent; the next WM_NCPAINT shows the state.
    void RedrawBorder();
    // Whether the frame shows the focus colour now.
    bool Highlighted() const;

    void Dispatch(TMessage& Message) override;

protected:
    void CalcAdvColors();
    void ParentColorChanged();
    bool FMouseInControl = false;

private:
    bool FUseAdvColors = false;
    FlatDrawing::TAdvColors FAdvColorFocused = 10;
    FlatDrawing::TAdvColors FAdvColorBorder = 50;
    bool FParentColor = true;
    TColor FColorFocused = 0xFFFFFF;
    TColor FColorBorder = 0x8396A0;
    TColor FColorFlat = 0xE1EAEB;
};

// The flat frame on a window's context: a 1-pixel line in Border on Frame's edge, then two rings
// in Band inside it; Frame ends as the inner ring. Nothing is drawn for a frame of no size.
void DrawFlatFrame(HDC DC, TRect& Frame, TColor Border, TColor Band);

// The flat edits' height: the font's tmHeight + 6 on the screen.
int FlatEditHeight(TFont* Font);

class TCustomFlatEdit : public TFlatEditFamily<TCustomEdit> {
    TESS_CLASS(TCustomFlatEdit, TFlatEditFamily<TCustomEdit>)
public:
    explicit TCustomFlatEdit(TComponent* AOwner);
    void Loaded() override;
    void Dispatch(TMessage& Message) override;
    void NewAdjustHeight();
};

class TFlatEdit : public TCustomFlatEdit {
    TESS_CLASS(TFlatEdit, TCustomFlatEdit)
public:
    explicit TFlatEdit(TComponent* AOwner) : TCustomFlatEdit(AOwner) {}
};
