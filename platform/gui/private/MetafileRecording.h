#pragma once
// The recording side of metafile contexts: drawing calls on a metafile context become records
// (with the state records they need) instead of pixels.

#include "platform/gui/Metafile.h"
#include "platform/gui/private/GdiInternals.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string>
#include <vector>

constexpr DWORD EMR_HEADER = 1, EMR_POLYGON = 3, EMR_POLYLINE = 4, EMR_SETWINDOWORGEX = 10,
                EMR_SETVIEWPORTORGEX = 12, EMR_EOF = 14, EMR_SETPIXELV = 15, EMR_SETBKMODE = 18,
                EMR_SETPOLYFILLMODE = 19, EMR_SETROP2 = 20, EMR_SETSTRETCHBLTMODE = 21, EMR_SETTEXTALIGN = 22,
                EMR_SETTEXTCOLOR = 24, EMR_SETBKCOLOR = 25, EMR_MOVETOEX = 27, EMR_EXCLUDECLIPRECT = 29,
                EMR_INTERSECTCLIPRECT = 30, EMR_SAVEDC = 33, EMR_RESTOREDC = 34, EMR_SELECTOBJECT = 37,
                EMR_CREATEPEN = 38, EMR_CREATEBRUSHINDIRECT = 39, EMR_DELETEOBJECT = 40, EMR_ELLIPSE = 42,
                EMR_RECTANGLE = 43, EMR_ROUNDRECT = 44, EMR_ARC = 45, EMR_CHORD = 46, EMR_PIE = 47,
                EMR_EXTFLOODFILL = 53, EMR_LINETO = 54, EMR_FILLRGN = 71, EMR_FRAMERGN = 72, EMR_INVERTRGN = 73,
                EMR_EXTSELECTCLIPRGN = 75, EMR_BITBLT = 76, EMR_STRETCHBLT = 77, EMR_STRETCHDIBITS = 81,
                EMR_EXTCREATEFONTINDIRECTW = 82, EMR_CREATEDIBPATTERNBRUSHPT = 94,
                EMR_GDICOMMENT = 70;

// The integer parameters of a record (no record has more than eight), kept inside the record so
// that recording a call does not allocate for them.
class TEmrValues {
public:
    static constexpr std::size_t Capacity = 8;
    TEmrValues() = default;
    TEmrValues(std::initializer_list<int> values)
    {
        for (int value : values)
            push_back(value);
    }
    std::size_t size() const { return FCount; }
    bool empty() const { return FCount == 0; }
    int& operator[](std::size_t i) { return FValues[i]; }
    int operator[](std::size_t i) const { return FValues[i]; }
    void push_back(int value)
    {
        if (FCount < Capacity)
            FValues[FCount++] = value;
    }
    const int* begin() const { return FValues.data(); }
    const int* end() const { return FValues.data() + FCount; }
    bool operator==(const TEmrValues& other) const { return std::equal(begin(), end(), other.begin(), other.end()); }

private:
    std::array<int, Capacity> FValues{};
    std::size_t FCount = 0;
};

// One record with its parameters in typed form.
struct TEmrRecord {
    DWORD Type = 0;
    TEmrValues Values;              // integers: coordinates, modes, colours, object indexes
    std::vector<TPoint> Points;
    TRect Rect;                     // rectangles (drawing rectangles, clip rectangles, frames)
    TRect Bounds;                   // what the record draws, in recording pixels
    std::u16string Text;            // EMR_EXTTEXTOUTW
    std::vector<int> Dx;            // EMR_EXTTEXTOUTW advances
    LOGPEN Pen;                     // EMR_CREATEPEN
    LOGBRUSH Brush;                 // EMR_CREATEBRUSHINDIRECT
    LOGFONTA Font;                  // EMR_EXTCREATEFONTINDIRECTW
    QImage Image;                   // blits and pattern brushes
    bool ImageMono = false;
    QRegion Region;                 // EMR_EXTSELECTCLIPRGN, EMR_FILLRGN
    std::string Comment;            // EMR_HEADER description, EMR_GDICOMMENT
};

namespace Metafiles {
BOOL RecordMoveTo(TDeviceContext& dc, int x, int y);
BOOL RecordLineTo(TDeviceContext& dc, int x, int y);
BOOL RecordPoints(TDeviceContext& dc, DWORD type, const std::vector<TPoint>& points);
BOOL RecordRect(TDeviceContext& dc, DWORD type, const TRect& rect, TEmrValues values = {});
int RecordFillRect(TDeviceContext& dc, const RECT& rect, HBRUSH brush);
int RecordFrameRect(TDeviceContext& dc, const RECT& rect, HBRUSH brush);
BOOL RecordFocusRect(TDeviceContext& dc, const RECT& rect);
BOOL RecordSetPixel(TDeviceContext& dc, int x, int y, COLORREF color);
BOOL RecordFloodFill(TDeviceContext& dc, int x, int y, COLORREF color, UINT type);
BOOL RecordBlt(TDeviceContext& dc, int x, int y, int width, int height, TDeviceContext* source, int xSource,
               int ySource, int widthSource, int heightSource, DWORD rop);
BOOL RecordRegion(TDeviceContext& dc, DWORD type, const QRegion& deviceRegion, HBRUSH brush, int width, int height);
// One drawn line of text: reference point, options, clipping rectangle, UTF-16 text, the
// advances used and the bounds of the drawn cell.
void RecordText(TDeviceContext& dc, int x, int y, UINT options, const RECT* rect, std::u16string text,
                std::vector<int> dx, const TRect& bounds);
// Clip changes made on a metafile context.
void RecordClip(TDeviceContext& dc, DWORD type, const TRect& rect, const QRegion& region, int mode);
void RecordSaveRestore(TDeviceContext& dc, DWORD type, int level);
} // namespace Metafiles
