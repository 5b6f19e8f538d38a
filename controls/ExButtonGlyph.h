#pragma once
// The drawing engine of the tool buttons: a glyph strip cut into one image per button state,
// the missing disabled and inactive images made from the up image, every image kept in an image
// list shared by all glyphs of the same cell size, and the layout of glyph, caption and
// drop-down mark inside a rectangle. TButtonImage draws a framed button picture on any canvas.

#include "platform/gui/BitBtn.h"
#include "platform/gui/ImageList.h"
#include "platform/gui/Label.h"
#include "platform/gui/TextOutput.h"

#include <array>
#include <memory>
#include <string>

// The states of a tool button; the order is also the order of the cells of a glyph strip.
enum TExButtonState { rbsUp, rbsDisabled, rbsDown, rbsExclusive, rbsInactive };
// The number of cells of a glyph strip, 1 to 5.
using TExNumGlyphs = int;

namespace exctrls {
class TGlyphList;
} // namespace exctrls

class TExButtonGlyph : public TObject {
    TESS_CLASS(TExButtonGlyph, TObject)
public:
    TExButtonGlyph();
    ~TExButtonGlyph() override;
    TExButtonGlyph(const TExButtonGlyph&) = delete;
    TExButtonGlyph& operator=(const TExButtonGlyph&) = delete;

    TBitmap* Glyph() const { return FOriginal.get(); }
    // Drops the images made so far and copies the bitmap.
    void SetGlyph(TBitmap* Value);
    TExNumGlyphs NumGlyphs() const { return FNumGlyphs; }
    // 0 (or less) is ignored; more than 5 is taken as 5.
    void SetNumGlyphs(TExNumGlyphs Value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool Value) { FWordWrap = Value; }
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value) { FAlignment = Value; }
    TColor TransparentColor() const { return FTransparentColor; }
    // The owning button repaints itself from here.
    TNotifyEvent OnChange;

    // Gives back every image made so far and the shared list they live in.
    void Invalidate();
    // The image of the state in the shared list, made on first use; -1 for an empty glyph.
    int CreateButtonGlyph(TExButtonState State);
    // The same for image Index of an external image list.
    int CreateImageGlyph(TExButtonState State, TCustomImageList* Images, int Index);
    // Draw the state's image at (X, Y); the size drawn, (0, 0) when nothing was.
    TPoint DrawButtonGlyph(TCanvas* Canvas, int X, int Y, TExButtonState State);
    TPoint DrawButtonImage(TCanvas* Canvas, int X, int Y, TCustomImageList* Images, int Index, TExButtonState State);
    void DrawButtonText(TCanvas* Canvas, const std::string& Caption, TRect TextBounds, TExButtonState State,
                        UINT Flags);
    // The drop-down triangle whose top row is Y - 1 and whose left pixel is X.
    void DrawPopupMark(TCanvas* Canvas, int X, int Y, TExButtonState State);
    // The caption cut to MaxLen characters and, without word wrap, each line shortened to Width.
    std::string MinimizeCaption(TCanvas* Canvas, const std::string& Caption, int MaxLen, int Width);
    void CalcButtonLayout(TCanvas* Canvas, const TRect& Client, std::string& Caption, TButtonLayout Layout,
                          int Margin, int Spacing, bool PopupMark, TPoint& GlyphPos, TRect& TextBounds, UINT Flags,
                          TCustomImageList* Images, int ImageIndex);
    // Both return the text bounds.
    TRect Draw(TCanvas* Canvas, const TRect& Client, const std::string& Caption, TButtonLayout Layout, int Margin,
               int Spacing, bool PopupMark, TExButtonState State, UINT Flags);
    TRect DrawEx(TCanvas* Canvas, const TRect& Client, const std::string& Caption, TButtonLayout Layout, int Margin,
                 int Spacing, bool PopupMark, TCustomImageList* Images, int ImageIndex, TExButtonState State,
                 UINT Flags);
    // The grey of the inactive image; the transparent colour and the button face stay as they are.
    TColor MapColor(TColor Color) const;

    // The drawing flags of a text alignment.
    static UINT AlignmentFlags(TAlignment Value);
    // The list the images live in and the image made for a state (-1: none yet), for tests.
    const TCustomImageList* ImageList() const;
    int ImageIndex(TExButtonState State) const { return FIndexs[State]; }

private:
    void GlyphChanged(TObject* Sender);
    void HookGlyph();
    bool HasExternalImage(TCustomImageList* Images, int Index) const;
    // Draws image Index of the shared list.
    void DrawListImage(TCanvas* Canvas, int X, int Y, int Index);

    std::unique_ptr<TBitmap> FOriginal;
    exctrls::TGlyphList* FGlyphList = nullptr;
    std::array<int, 5> FIndexs{-1, -1, -1, -1, -1};
    TColor FTransparentColor = static_cast<TColor>(0xFF00FF);
    TExNumGlyphs FNumGlyphs = 1;
    bool FWordWrap = false;
    TAlignment FAlignment = taCenter;
};

class TButtonImage : public TObject {
    TESS_CLASS(TButtonImage, TObject)
public:
    TButtonImage();
    ~TButtonImage() override;
    TButtonImage(const TButtonImage&) = delete;
    TButtonImage& operator=(const TButtonImage&) = delete;

    TAlignment Alignment() const { return FGlyph->Alignment(); }
    void SetAlignment(TAlignment Value) { FGlyph->SetAlignment(Value); }
    TBitmap* Glyph() const { return FGlyph->Glyph(); }
    void SetGlyph(TBitmap* Value) { FGlyph->SetGlyph(Value); }
    TExNumGlyphs NumGlyphs() const { return FGlyph->NumGlyphs(); }
    void SetNumGlyphs(TExNumGlyphs Value) { FGlyph->SetNumGlyphs(Value); }
    bool WordWrap() const { return FGlyph->WordWrap(); }
    void SetWordWrap(bool Value) { FGlyph->SetWordWrap(Value); }
    void Invalidate() { FGlyph->Invalidate(); }
    TPoint ButtonSize{24, 23};
    std::string Caption;

    // A face-coloured, framed button at (X, Y) with the glyph and caption in the up state; the
    // canvas keeps its brush colour and font.
    void Draw(TCanvas* Canvas, int X, int Y, int Margin, int Spacing, TButtonLayout Layout, TFont* Font, UINT Flags);
    void DrawEx(TCanvas* Canvas, int X, int Y, int Margin, int Spacing, TButtonLayout Layout, TFont* Font,
                TCustomImageList* Images, int ImageIndex, UINT Flags);

private:
    std::unique_ptr<TExButtonGlyph> FGlyph;
};
