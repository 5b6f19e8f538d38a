#pragma once
// The memo editor unit: THlMemo with its option objects, its gutter and the types of its events.

#include "widgets/HlCustomMemo.h"
#include "widgets/HlGutter.h"

// The memo's colours; changing one repaints the memo.
class THlMemoEnvironment : public TPersistent {
    TESS_CLASS(THlMemoEnvironment, TPersistent)
public:
    explicit THlMemoEnvironment(THlCustomMemo* memo = nullptr) : FMemo(memo) {}

    // From another environment: the seven colours, without a repaint.
    void Assign(TPersistent* Source) override;
    // Restores the text, selection and margin colours (not the link colours) and repaints.
    void SetAsDefault();

    TColor TextColor() const { return FTextColor; }
    void SetTextColor(TColor value) { Store(FTextColor, value); }
    TColor TextBackground() const { return FTextBackground; }
    void SetTextBackground(TColor value) { Store(FTextBackground, value); }
    TColor SelectionColor() const { return FSelectionColor; }
    void SetSelectionColor(TColor value) { Store(FSelectionColor, value); }
    TColor SelectionBackground() const { return FSelectionBackground; }
    void SetSelectionBackground(TColor value) { Store(FSelectionBackground, value); }
    TColor RightEdgeColor() const { return FRightEdgeColor; }
    void SetRightEdgeColor(TColor value) { Store(FRightEdgeColor, value); }
    TColor Hyperlink() const { return FHyperlink; }
    void SetHyperlink(TColor value) { Store(FHyperlink, value); }
    TColor HyperlinkBackground() const { return FHyperlinkBackground; }
    void SetHyperlinkBackground(TColor value) { Store(FHyperlinkBackground, value); }

private:
    void Store(TColor& field, TColor value);
    void InvalidateMemo();

    THlCustomMemo* FMemo;
    TColor FTextColor = clWindowText;
    TColor FTextBackground = clWindow;
    TColor FSelectionColor = clHighlightText;
    TColor FSelectionBackground = clHighlight;
    TColor FRightEdgeColor = clGray;
    TColor FHyperlink = clBlue;
    TColor FHyperlinkBackground = clWindow;
};

// The gutter's options as the memo publishes them: views of the gutter control.
class THlGutterOptions : public TPersistent {
    TESS_CLASS(THlGutterOptions, TPersistent)
public:
    explicit THlGutterOptions(THlCustomMemo* memo = nullptr) : FMemo(memo) {}

    TAlignment Alignment() const;
    void SetAlignment(TAlignment value);
    bool Bevel() const;
    void SetBevel(bool value);
    TColor Color() const;
    void SetColor(TColor value);
    TColor FontColor() const;
    void SetFontColor(TColor value);
    bool ShowLineNum() const;
    void SetShowLineNum(bool value);
    int Space() const;
    void SetSpace(int value);
    bool Visible() const { return FVisible; }
    void SetVisible(bool value);
    int Width() const;
    // Kept within 12..48.
    void SetWidth(int value);
    int LedingDigits() const;
    void SetLedingDigits(int value);
    bool ZeroStart() const;
    void SetZeroStart(bool value);

private:
    THlGutter* Gutter() const;
    void InvalidateMemo();

    THlCustomMemo* FMemo;
    bool FVisible = true;
};

class THlMemo : public THlCustomMemo {
    TESS_CLASS(THlMemo, THlCustomMemo)
public:
    explicit THlMemo(TComponent* AOwner) : THlCustomMemo(AOwner) {}
};
