#pragma once
// TFlatCheckBox: a self-drawn check box. An 11 x 11 square whose fill follows focus, hover and
// press, a check mark of six short lines, and a word-wrapped caption on either side. It toggles by
// a left click anywhere on it, by the space bar while focused and by its accelerator, and raises
// OnClick once for every change of Checked, after the change.

#include "platform/gui/WinControl.h"
#include "widgets/FlatDrawing.h"
#include "widgets/FlatHover.h"

class TFlatCheckBox : public TCustomControl {
    TESS_CLASS(TFlatCheckBox, TCustomControl)
public:
    explicit TFlatCheckBox(TComponent* AOwner);
    ~TFlatCheckBox() override;

    bool Checked() const { return FChecked; }
    // Stores a new state and raises OnClick; the same state changes nothing.
    void SetChecked(bool Value);

    // Index 0 ColorFocused, 1 ColorDown, 2 ColorCheck, 3 ColorBorder; another index only repaints.
    void SetColors(int Index, TColor Value);
    TColor ColorFocused() const { return FColorFocused; }
    TColor ColorDown() const { return FColorDown; }
    TColor ColorCheck() const { return FColorCheck; }
    TColor ColorBorder() const { return FColorBorder; }
    void SetColorFocused(TColor Value) { SetColors(0, Value); }
    void SetColorDown(TColor Value) { SetColors(1, Value); }
    void SetColorCheck(TColor Value) { SetColors(2, Value); }
    void SetColorBorder(TColor Value) { SetColors(3, Value); }

    // Index 0 AdvColorFocused, 1 AdvColorDown, 2 AdvColorBorder; steps are kept in 0..100.
    void SetAdvColors(int Index, int Value);
    FlatDrawing::TAdvColors AdvColorFocused() const { return FAdvColorFocused; }
    FlatDrawing::TAdvColors AdvColorDown() const { return FAdvColorDown; }
    FlatDrawing::TAdvColors AdvColorBorder() const { return FAdvColorBorder; }
    // The focus, down and border colours derived from Color (ParentColor follows the flag).
    bool UseAdvColors() const { return FUseAdvColors; }
    void SetUseAdvColors(bool Value);

    FlatDrawing::TCheckBoxLayout Layout() const { return FLayout; }
    void SetLayout(FlatDrawing::TCheckBoxLayout Value);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool Value);

    // The square in client coordinates.
    TRect CheckRect() const;

    void Dispatch(TMessage& Message) override;

    // The hover poll shared by every flat check box.
    static TFlatHoverTracker& HoverTracker();

protected:
    void Paint() override;
    void DoEnter() override;
    void DoExit() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    void CalcAdvancedColors();
    void ColorsFollowParent();
    void DialogChar(TMessage& Message);
    void DrawCheck(TCanvas* canvas);
    void DrawCaption(TCanvas* canvas);
    void MouseEnterStep();
    void MouseLeaveStep();

    bool FUseAdvColors = false;
    FlatDrawing::TAdvColors FAdvColorFocused = 10;
    FlatDrawing::TAdvColors FAdvColorDown = 10;
    FlatDrawing::TAdvColors FAdvColorBorder = 50;
    bool FMouseInControl = false;
    bool FMouseDown = false;
    bool FFocused = false;
    FlatDrawing::TCheckBoxLayout FLayout = FlatDrawing::checkboxLeft;
    bool FChecked = false;
    TColor FColorFocused = 0xFFFFFF;
    TColor FColorDown = 0xC5D6D9;
    TColor FColorCheck = 0x000000;
    TColor FColorBorder = 0x8396A0;
    bool FTransparent = false;
};
