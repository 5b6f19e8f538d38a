#pragma once
// Buttons with glyphs: the shared glyph layout of TBitBtn and TSpeedButton, and TBitBtn with its
// kinds (captions, modal results and glyphs of the standard buttons).

#include "platform/gui/Bitmap.h"
#include "platform/gui/Button.h"

#include <memory>

enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
enum TButtonState { bsUp, bsDisabled, bsDown, bsExclusive };
enum TButtonStyle { bsAutoDetect, bsWin31, bsNew };
enum TBitBtnKind { bkCustom, bkOK, bkCancel, bkHelp, bkYes, bkNo, bkClose, bkAbort, bkRetry, bkIgnore, bkAll };

class QPainter;

// The glyph of a button: up to four cells (up, disabled, down, exclusive) side by side, drawn
// with its bottom-left pixel's colour transparent; without a disabled cell the disabled glyph is
// embossed from the up cell.
class TButtonGlyph {
public:
    TButtonGlyph();
    ~TButtonGlyph();
    TBitmap* Glyph() const { return FGlyph.get(); }
    // Copies the bitmap; NumGlyphs follows its width / height when that is 1 to 4.
    void SetGlyph(TBitmap* value);
    int NumGlyphs() const { return FNumGlyphs; }
    void SetNumGlyphs(int value);
    // The cell that draws a state (the up cell when the bitmap has no such cell; -1: emboss).
    int CellFor(TButtonState state) const;
    TSize CellSize() const;
    bool Empty() const { return !FGlyph || FGlyph->Empty(); }
    // Draws glyph and caption in rect; returns the cell drawn (-1 embossed, -2 none).
    int Draw(QPainter& painter, const TRect& rect, const std::string& caption, const TFont& font,
             TButtonLayout layout, int margin, int spacing, TButtonState state, bool pressedOffset);

private:
    std::unique_ptr<TBitmap> FGlyph;
    int FNumGlyphs = 1;
};

class TBitBtn : public TButton {
    TESS_CLASS(TBitBtn, TButton)
public:
    explicit TBitBtn(TComponent* AOwner);
    ~TBitBtn() override;

    TBitBtnKind Kind() const { return FKind; }
    void SetKind(TBitBtnKind value);
    TBitmap* Glyph() const { return FGlyph.Glyph(); }
    void SetGlyph(TBitmap* value);
    int NumGlyphs() const { return FGlyph.NumGlyphs(); }
    void SetNumGlyphs(int value);
    TButtonLayout Layout() const { return FLayout; }
    void SetLayout(TButtonLayout value);
    int Margin() const { return FMargin; }
    void SetMargin(int value);
    int Spacing() const { return FSpacing; }
    void SetSpacing(int value);
    TButtonStyle Style = bsAutoDetect;
    void Click() override;
    // The glyph cell the last paint drew (-1 embossed, -2 none): for tests and diagnostics.
    int LastDrawnCell() const { return FLastCell; }

protected:
    void Paint() override;

private:
    TButtonGlyph FGlyph;
    TBitBtnKind FKind = bkCustom;
    TButtonLayout FLayout = blGlyphLeft;
    int FMargin = -1;
    int FSpacing = 4;
    int FLastCell = -2;
};
