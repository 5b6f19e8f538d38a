#pragma once
// What the flat speed button (windowless) and the flat button (windowed) share: their properties,
// the state machine of press, release, groups and hover, and the painting of their face. TBase
// is TGraphicControl or TCustomControl; the two classes add only what differs.

#include "platform/gui/BitBtn.h"
#include "platform/gui/WinControl.h"
#include "widgets/FlatDrawing.h"
#include "widgets/FlatHover.h"

#include <memory>

class TCustomImageList;

template <class TBase>
class TFlatButtonBase : public TBase {
public:
    // tracker is the hover poll of the final class.
    TFlatButtonBase(TComponent* AOwner, TFlatHoverTracker& tracker);
    ~TFlatButtonBase() override;

    FlatDrawing::TTransparentMode TransparentMode() const { return FTransparentMode; }
    void SetTransparent(FlatDrawing::TTransparentMode Value);
    bool AllowAllUp() const { return FAllowAllUp; }
    void SetAllowAllUp(bool Value);

    // Index 0 ColorFocused, 1 ColorDown, 2 ColorBorder, 3 ColorHighLight, 4 ColorShadow; another
    // index only repaints.
    void SetColors(int Index, TColor Value);
    TColor ColorFocused() const { return FColorFocused; }
    TColor ColorDown() const { return FColorDown; }
    TColor ColorBorder() const { return FColorBorder; }
    TColor ColorHighLight() const { return FColorHighLight; }
    TColor ColorShadow() const { return FColorShadow; }
    void SetColorFocused(TColor Value) { SetColors(0, Value); }
    void SetColorDown(TColor Value) { SetColors(1, Value); }
    void SetColorBorder(TColor Value) { SetColors(2, Value); }
    void SetColorHighLight(TColor Value) { SetColors(3, Value); }
    void SetColorShadow(TColor Value) { SetColors(4, Value); }

    // Index 0 AdvColorFocused, 1 AdvColorDown, 2 AdvColorBorder; steps are kept in 0..100.
    void SetAdvColors(int Index, int Value);
    FlatDrawing::TAdvColors AdvColorFocused() const { return FAdvColorFocused; }
    FlatDrawing::TAdvColors AdvColorDown() const { return FAdvColorDown; }
    FlatDrawing::TAdvColors AdvColorBorder() const { return FAdvColorBorder; }
    void SetAdvColorFocused(int Value) { SetAdvColors(0, Value); }
    void SetAdvColorDown(int Value) { SetAdvColors(1, Value); }
    void SetAdvColorBorder(int Value) { SetAdvColors(2, Value); }
    // The focus, down and border colours derived from Color (ParentColor follows the flag).
    bool UseAdvColors() const { return FUseAdvColors; }
    void SetUseAdvColors(bool Value);

    int GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int Value);
    bool Down() const { return FDown; }
    // Only a grouped button goes down; the last down button of a group stays down unless
    // AllowAllUp.
    void SetDown(bool Value);

    TBitmap* Glyph() const { return FGlyph.get(); }
    // Copies the strip; NumGlyphs follows its width / height when that is a whole 1 to 4.
    void SetGlyph(TBitmap* Value);
    int NumGlyphs() const { return FNumGlyphs; }
    // Kept in 1..4.
    void SetNumGlyphs(int Value);
    TButtonLayout Layout() const { return FLayout; }
    void SetLayout(TButtonLayout Value);
    // -1 centres the glyph; smaller values are refused.
    int Margin() const { return FMargin; }
    void SetMargin(int Value);
    // -1 spreads the free room evenly.
    int Spacing() const { return FSpacing; }
    void SetSpacing(int Value);
    TModalResult ModalResult() const { return FModalResult; }
    void SetModalResult(TModalResult Value) { FModalResult = Value; }
    HPALETTE GetPalette() const;

    // Hands ModalResult to the parent form, then OnClick.
    void Click() override;
    void Loaded() override;
    void Dispatch(TMessage& Message) override;

    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;

protected:
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

    // Draws background, frame, glyph and caption on canvas, whose (0, 0) is the client's.
    void PaintFace(TCanvas* canvas);
    // Whether the background shows the parent rather than a fill.
    bool ShowsParent() const;
    // The frame's width at rest and not hovered.
    virtual int RestBorderWidth() const { return 1; }
    // After a press began (the windowed button takes the focus).
    virtual void Pressed() {}
    // CM_DIALOGCHAR for the matching accelerator of an enabled, showing button.
    virtual void AcceleratorPressed() { Click(); }

    // The hover steps of the poll.
    void MouseEnterStep();
    void MouseLeaveStep();
    // Sets the hover look from whether the pointer is on the button.
    void UpdateTracking();

    TButtonState FState = bsUp;
    bool FMouseInControl = false;

private:
    void CalcAdvancedColors();
    void UpdateExclusive();
    void ButtonPressed(TMessage& Message);
    void ColorsFollowParent();
    void EnabledChanged();
    bool InsideForPress(int X, int Y) const;
    void DrawGlyph(TCanvas* canvas);
    void DrawCaption(TCanvas* canvas, TRect bounds, TColor color);

    TFlatHoverTracker& FHover;
    FlatDrawing::TTransparentMode FTransparentMode = FlatDrawing::tmNone;
    bool FUseAdvColors = false;
    FlatDrawing::TAdvColors FAdvColorFocused = 10;
    FlatDrawing::TAdvColors FAdvColorDown = 10;
    FlatDrawing::TAdvColors FAdvColorBorder = 50;
    TRect FTextBounds;
    TPoint FGlyphPos;
    int FNumGlyphs = 1;
    TColor FColorDown = 0xC5D6D9;
    TColor FColorBorder = 0x8396A0;
    TColor FColorHighLight = 0xFFFFFF;
    TColor FColorShadow = 0x000000;
    TColor FColorFocused = 0xE1EAEB;
    int FGroupIndex = 0;
    std::unique_ptr<TBitmap> FGlyph;
    // The glyph's image last drawn, ready with its mask, until the glyph or its count changes.
    std::unique_ptr<TCustomImageList> FGlyphImage;
    int FGlyphImageKey = -1;
    bool FDown = false;
    bool FDragging = false;
    bool FAllowAllUp = false;
    TButtonLayout FLayout = blGlyphTop;
    int FSpacing = 4;
    int FMargin = -1;
    TModalResult FModalResult = 0;
};

extern template class TFlatButtonBase<TGraphicControl>;
extern template class TFlatButtonBase<TCustomControl>;
