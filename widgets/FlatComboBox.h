#pragma once
// A combo box with a flat frame: a 1-pixel border line and a 2-pixel band in the control's colour
// around the text, and a narrow flat button with a small triangle in place of the raised one. The
// list styles join a highlight strip to the selection. The layer's combo paints first; this
// control paints over it.

#include "platform/gui/ComboBox.h"
#include "widgets/FlatDrawing.h"

class TFlatComboBox : public TCustomComboBox {
    TESS_CLASS(TFlatComboBox, TCustomComboBox)
public:
    explicit TFlatComboBox(TComponent* AOwner);

    // Index 0 ColorArrow, 1 ColorArrowBackground, 2 ColorBorder; another index only repaints.
    void SetColors(int Index, TColor Value);
    TColor ColorArrow() const { return FColorArrow; }
    TColor ColorArrowBackground() const { return FColorArrowBackground; }
    TColor ColorBorder() const { return FColorBorder; }
    void SetColorArrow(TColor Value) { SetColors(0, Value); }
    void SetColorArrowBackground(TColor Value) { SetColors(1, Value); }
    void SetColorBorder(TColor Value) { SetColors(2, Value); }

    // Index 0 AdvColorBorder, 1 AdvColorArrowBackground; steps are kept in 0..100.
    void SetAdvColors(int Index, int Value);
    FlatDrawing::TAdvColors AdvColorBorder() const { return FAdvColorBorder; }
    FlatDrawing::TAdvColors AdvColorArrowBackground() const { return FAdvColorArrowBackground; }
    // The border and button colours derived from the parent's Color.
    bool UseAdvColors() const { return FUseAdvColors; }
    void SetUseAdvColors(bool Value);

    // The flat button, widened by a pixel on both sides, in window coordinates.
    TRect ButtonRect() const;

    void Dispatch(TMessage& Message) override;

protected:
    void CreateWnd() override;

private:
    void CalcAdvColors();
    void PlaceEditPart(int NewClientWidth, int NewHeight);
    void UpdateBorderState();
    void RedrawBorders();
    void PaintBorder();
    void PaintButton();
    void PaintSelection();
    // Paints the pieces over the layer's own painting of the combo.
    void PaintOverSystem();
    bool ListStyle() const { return Style() != csDropDown && Style() != csSimple; }

    TColor FColorArrow = clBlack;
    TColor FColorArrowBackground = 0xC5D6D9;
    TColor FColorBorder = 0x8396A0;
    bool FUseAdvColors = false;
    FlatDrawing::TAdvColors FAdvColorArrowBackground = 10;
    FlatDrawing::TAdvColors FAdvColorBorder = 50;
    int FButtonWidth = 11;
    int FSysBtnWidth = 16;
    bool FBorderActive = false;
};
