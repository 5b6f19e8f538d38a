#pragma once
// The pixel engine behind the drawing functions: shapes become spans of whole pixels in device
// coordinates, which are clipped and painted with a pen colour or a brush through a ROP2 code.

#include "platform/gui/private/GdiInternals.h"

#include <QPainter>

#include <functional>
#include <string>
#include <vector>

namespace Gdi {

struct TSpan {
    int Y = 0;
    int X0 = 0; // first pixel
    int X1 = 0; // one past the last pixel
};

// What a span is painted with: a colour, or a tile repeated from the brush origin whose pixels
// with alpha 0 are left untouched (hatch gaps in transparent mode).
struct TSource {
    bool Null = true;
    std::uint32_t Color = 0xFF000000u;
    std::vector<std::uint32_t> Tile;
    int TileWidth = 0, TileHeight = 0;
    TPoint Origin;
};

struct TJob {
    TDeviceContext* Dc = nullptr;
    TTarget Target;
    std::vector<QRect> Clip; // image coordinates
    QRect Touched;           // image coordinates
};

// False (nothing to draw) for a bad context or one without pixels.
bool BeginJob(HDC dc, TJob& job);
void EndJob(TJob& job);

TSource ColorSource(std::uint32_t pixel);
TSource PenSource(TJob& job);
TSource BrushSource(TJob& job, HGDIOBJ brush);
TSource BackgroundSource(TJob& job);

void PaintSpans(TJob& job, const std::vector<TSpan>& spans, const TSource& source, int rop2);
void PaintRect(TJob& job, const QRect& device, const TSource& source, int rop2);
// Spans of what a Qt drawing covers (antialiasing off) inside bounds (device coordinates).
std::vector<TSpan> MaskSpans(const QRect& bounds, const std::function<void(QPainter&)>& draw);
std::vector<TSpan> RectSpans(const QRect& device);
std::vector<TSpan> RegionSpans(const QRegion& device);
// Removes from spans the pixels in cut.
std::vector<TSpan> SubtractSpans(const std::vector<TSpan>& spans, const std::vector<TSpan>& cut);

// A one-pixel line from a to b without b, split into the pixels the pen's dash pattern sets
// and the gaps; the style position is carried across calls.
void LineSpans(TPoint a, TPoint b, int penStyle, int& stylePos, std::vector<TSpan>& on, std::vector<TSpan>& off);

// Blits image (Format_RGB32, black and white when mono) to width x height at (x, y) of dest, as a
// StretchBlt from a memory context holding it would, without making one.
BOOL BlitImage(HDC destination, int x, int y, int width, int height, const QImage& image, bool mono, DWORD rop);
// The masked draw of an image list: SRCAND of mask (black and white) then SRCPAINT of color, both
// at (x, y) and of color's size, in one pass where the destination allows.
BOOL BlitMasked(HDC destination, int x, int y, const QImage& color, const QImage& mask);
// The masked stretch of TransparentStretchBlt in one pass, with the same pixels: where the mask
// (monochrome, of the source's size at (xMask, yMask)) is white the destination stays, elsewhere
// the source pixel the nearest-pixel stretch picks replaces it. FALSE, having drawn nothing, where
// the general path is needed: a recording or monochrome destination, mirroring, a smoothing or
// combining stretch, a monochrome source, or a source that is the destination.
BOOL StretchMasked(HDC destination, int x, int y, int width, int height, HDC source, int xSource, int ySource,
                   int widthSource, int heightSource, HDC mask, int xMask, int yMask);

// One line of text at the logical reference point (x, y), placed by the context's alignment;
// advances null means the font's (with character extra and justification).
BOOL DrawTextLine(HDC dc, int x, int y, UINT options, const RECT* rect, const std::string& text,
                  const std::vector<int>* advances);

} // namespace Gdi
