#pragma once
// TFlatHint: placed on the main window, it makes every tooltip of the program a TFlatHintWindow
// (a borderless box with a coloured side band carrying a small arrow that points at the cursor),
// sets the hint pauses and passes the application's show-hint event on to its own OnShowHint.
// The windows read its colours, font and widest width afresh for every hint.

#include "platform/gui/Application.h"
#include "platform/gui/HintWindow.h"
#include "widgets/FlatDrawing.h"

#include <memory>

class TFlatHint : public TComponent {
    TESS_CLASS(TFlatHint, TComponent)
public:
    explicit TFlatHint(TComponent* AOwner);
    ~TFlatHint() override;

    // Index 0 ColorBackground, 1 ColorBorder, 2 ColorArrowBackground, 3 ColorArrow; another index
    // changes nothing. The next hint shows the change.
    void SetColors(int Index, TColor Value);
    TColor ColorBackground() const { return FColorBackground; }
    TColor ColorBorder() const { return FColorBorder; }
    TColor ColorArrowBackground() const { return FColorArrowBackground; }
    TColor ColorArrow() const { return FColorArrow; }
    void SetColorBackground(TColor Value) { SetColors(0, Value); }
    void SetColorBorder(TColor Value) { SetColors(1, Value); }
    void SetColorArrowBackground(TColor Value) { SetColors(2, Value); }
    void SetColorArrow(TColor Value) { SetColors(3, Value); }
    int MaxHintWidth() const { return FMaxHintWidth; }
    void SetMaxHintWidth(int Value) { FMaxHintWidth = Value; }
    TFont* Font() const { return FFont.get(); }
    // Copies Value.
    void SetHintFont(TFont* Value);

    // Called with the application's three arguments before a hint shows.
    TShowHintEvent OnShowHint;

    // The first TFlatHint owned by the main form; nullptr without one.
    static TFlatHint* FindOnMainForm();

private:
    void ShowHint(std::string& HintStr, bool& CanShow, THintInfo& HintInfo);

    std::unique_ptr<TFont> FFont;
    TColor FColorBackground = 0xFFFFFF;
    TColor FColorBorder = 0x000000;
    TColor FColorArrowBackground = 0x53D2FF;
    TColor FColorArrow = 0x000000;
    int FMaxHintWidth = 200;
    // What the application had before this component replaced it, given back on destruction.
    THintWindowClass FPreviousWindowClass;
    TShowHintEvent FPreviousShowHint;
};

class TFlatHintWindow : public THintWindow {
    TESS_CLASS(TFlatHintWindow, THintWindow)
public:
    explicit TFlatHintWindow(TComponent* AOwner);
    ~TFlatHintWindow() override;

    // Sizes the window to the text and places it beside the cursor, towards the middle of the
    // screen; of rect only nothing is used but its top-left as the measuring origin.
    void ActivateHint(TRect rect, const std::string& hint) override;

    FlatDrawing::TArrowPos ArrowPos() const { return FArrowPos; }
    TPoint ArrowAnchor() const { return Point(FArrowX, FArrowY); }

protected:
    void CreateParams(TCreateParams& Params) override;
    void Paint() override;

private:
    // Colours, font and widest width of the current hint: the component's, or the defaults when
    // the main form has none. A copy, so that a hint outlives a component freed meanwhile.
    void TakeLook();

    FlatDrawing::TArrowPos FArrowPos = FlatDrawing::NW;
    int FArrowX = 0;
    int FArrowY = 0;
    TColor FColorBackground = 0xFFFFFF;
    TColor FColorBorder = 0x000000;
    TColor FColorArrowBackground = 0x53D2FF;
    TColor FColorArrow = 0x000000;
    int FMaxHintWidth = 200;
    std::unique_ptr<TFont> FHintFont;
};
