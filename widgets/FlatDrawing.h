#pragma once
// What the flat-style controls share: their small types, 3-D frames, transparent and disabled
// glyphs, the parent's image under a control, the lighter and darker tints of a parent colour,
// the placement of glyph and caption on a button, and font metrics.

#include "platform/gui/BitBtn.h"
#include "platform/gui/Bitmap.h"
#include "platform/gui/Control.h"
#include "platform/gui/FontEngine.h"

#include <cstdint>
#include <memory>
#include <string>

namespace FlatDrawing {

// A lightness step for the derived colours, 0..100.
using TAdvColors = std::uint8_t;
enum TColorCalcType { lighten, darken };
// How a flat control treats the background: never painted, painted only while hovered, always.
enum TTransparentMode { tmAlways, tmNotFocused, tmNone };
enum TCheckBoxLayout { checkboxLeft, checkboxRight };
// Images in a glyph strip, 1..4.
using TNumGlyphs = std::uint8_t;
enum TArrowPos { NE, NW, SE, SW };

// Width nested frames, top and left in TopColor, bottom and right in BottomColor, the outer one
// on the rectangle's first and last columns and rows.
void Frame3DBorder(TCanvas* Canvas, TRect Rect, TColor TopColor, TColor BottomColor, int Width);
// Draws Bitmap at (X, Y), leaving the pixels under its TransparentColor pixels as they were.
void DrawTransparentBmp(TCanvas* Canvas, int X, int Y, TBitmap* Bitmap, TColor TransparentColor);
// Paints what Control's parent shows under Control into Dest, Dest's (0, 0) being Control's
// top-left; nothing without a parent or while the parent is being destroyed.
void DrawParentImage(TControl* Control, TCanvas* Dest);
// The embossed look of a disabled glyph: BackColor with the pixels of OutlineColor in ShadowColor,
// and with DrawHighlight a HighlightColor copy of them one pixel down and right beneath.
std::unique_ptr<TBitmap> CreateDisabledBitmap(TBitmap* Source, TColor OutlineColor, TColor BackColor,
                                              TColor HighlightColor, TColor ShadowColor, bool DrawHighlight);
// A tint of ParentColor one step lighter or darker; OriginalColor when the step is 0. The
// lightness is raised by 10 first and a lightened tint stops at 100 (of 240), as the flat colours
// have always been derived.
TColor CalcAdvancedColor(TColor ParentColor, TColor OriginalColor, TAdvColors Percentage, TColorCalcType ColorType);
// Places a glyph (one image of a strip of NumGlyphs; may be null) and a caption inside Client
// moved by Offset: the caption's rectangle and the glyph's top-left. Margin -1 centres, Spacing -1
// spreads the free room evenly.
void CalcButtonLayout(TCanvas* Canvas, const TRect& Client, const TPoint& Offset, TButtonLayout Layout, int Spacing,
                      int Margin, TBitmap* Glyph, int NumGlyphs, const std::string& Caption, TRect& TextBounds,
                      TPoint& GlyphPos);
WORD Min(WORD X, WORD Y);
// The metrics of Font on the screen.
void GetFontMetrics(TFont* Font, TEXTMETRICA& TM);
// The font's height with an eighth added, for a line of a flat control.
int GetFontHeight(TFont* Font);
bool RectInRect(const TRect& R1, const TRect& R2);
// The canvas's context with the canvas's Font selected and its colour set, for DrawTextA: a
// changed Font is only selected by the canvas's own text calls.
HDC TextContext(TCanvas* Canvas);
// Text as a disabled caption shows: a clBtnHighlight copy one pixel down and right under a
// clBtnShadow one (the context's background mode is left to the caller).
void DrawDisabledText(HDC DC, const std::string& Text, TRect Rect, UINT Format);

} // namespace FlatDrawing
