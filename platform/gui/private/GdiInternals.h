#pragma once
// The GDI object table and device contexts as the drawing code sees them. Pixels are QImage
// Format_RGB32 words (0xFFRRGGBB); monochrome bitmaps hold only black and white words.

#include "platform/gui/DeviceContext.h"

#include <QFont>
#include <QImage>
#include <QRegion>

#include <functional>
#include <memory>
#include <vector>

class TMetafileRecorder;
struct TRealizedFont;

enum class TGdiKind { Pen, Brush, Font, Bitmap, Palette, Region };

struct TGdiBitmap {
    QImage Image;          // Format_RGB32
    bool Mono = false;     // one bit per pixel
    int Bits = 32;         // the depth of the picture it came from (icons keep it)
    // A DIB section: its bytes (in the DIB layout of SectionHeader) are the truth; they are read
    // into Image before each use and written back after drawing.
    bool IsSection = false;
    BITMAPINFOHEADER SectionHeader;
    std::vector<COLORREF> SectionPalette;
    std::vector<std::uint8_t> SectionBits;
};

struct TGdiObject {
    TGdiKind Kind = TGdiKind::Pen;
    bool Stock = false;
    int SelectCount = 0;
    LOGPEN Pen;
    int PenWidth = 1;
    LOGBRUSH Brush;
    std::shared_ptr<TGdiBitmap> Pattern; // pattern brushes
    LOGFONTA Font;
    std::shared_ptr<TGdiBitmap> Bitmap;
    std::vector<COLORREF> Palette;
    QRegion Region;
};

namespace Gdi {
HGDIOBJ AddObject(std::shared_ptr<TGdiObject> object);
TGdiObject* Find(HGDIOBJ handle);
TGdiObject* Find(HGDIOBJ handle, TGdiKind kind);

inline std::uint32_t ToPixel(COLORREF c)
{
    return 0xFF000000u | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
inline COLORREF ToColor(std::uint32_t p) { return ((p >> 16) & 0xFF) | (p & 0xFF00) | ((p & 0xFF) << 16); }
// Strips the palette-relative flag and resolves system colours.
COLORREF Resolve(COLORREF color);
// Black or white, whichever is nearer.
std::uint32_t MonoPixel(std::uint32_t pixel);

// Makes a bitmap object from an image (copied into Format_RGB32).
HBITMAP CreateBitmapFromImage(const QImage& image, bool mono);
TGdiBitmap* FindBitmap(HBITMAP handle);
void SyncSectionIn(TGdiBitmap& bitmap);
void SyncSectionOut(TGdiBitmap& bitmap);
} // namespace Gdi

struct TDcState {
    HGDIOBJ Pen = nullptr;
    HGDIOBJ Brush = nullptr;
    HGDIOBJ Font = nullptr;
    HGDIOBJ Bitmap = nullptr;
    HGDIOBJ Palette = nullptr;
    COLORREF TextColor = 0;
    COLORREF BkColor = 0xFFFFFF;
    int BkMode = OPAQUE;
    int Rop2 = R2_COPYPEN;
    int StretchMode = BLACKONWHITE;
    int PolyFillMode = ALTERNATE;
    UINT TextAlign = 0;
    int MapMode = MM_TEXT;
    TPoint BrushOrg;
    TPoint CurrentPos;
    int LineStylePos = 0; // where the dash pattern of one-pixel pens stands
    int CharExtra = 0;
    int JustifyExtra = 0;
    int JustifyBreaks = 0;
    TPoint WindowOrg;
    TPoint ViewportOrg;
    bool HasClip = false;
    QRegion Clip; // device coordinates
};

enum class TDcKind { Memory, Image, Window, Screen, Metafile, Printer };

// What a window context draws on: an image, where the context's (0, 0) lies in it, the part of
// it the context may touch, and who to tell when pixels changed.
struct TDcSurface {
    QImage* Image = nullptr;
    TPoint Origin;
    QRect Bounds; // in image coordinates; empty means the whole image
    std::function<void(const QRect&)> Changed; // image coordinates
    // Where inverting drawing goes instead of the pixels (the screen's and a form's overlay):
    // the region to toggle, in image coordinates.
    std::function<void(const QRegion&)> Toggle;
};

struct TDeviceContext {
    TDcKind Kind = TDcKind::Memory;
    TDcState State;
    std::vector<TDcState> Saved;
    HWND Window = nullptr;
    bool WholeWindow = false;
    // Image and window contexts: where the pixels are.
    std::function<bool(TDcSurface&)> SurfaceOf;
    std::function<void()> Released;
    HDC Handle = nullptr; // set when the context enters the table
    std::shared_ptr<TMetafileRecorder> Recorder; // metafile contexts
    int ReferenceWidth = 0, ReferenceHeight = 0;  // metafile contexts without a frame
    int FrameWidth = 0, FrameHeight = 0;          // metafile contexts: the size given to the metafile
    // Metafile contexts: the context they measure like (a printer during a printed page); its
    // capabilities are asked while it lives.
    HDC Reference = nullptr;
    int ReferenceDpiX = 96, ReferenceDpiY = 96;
    // The realised font of the selected font handle (handles are never reused, fonts never change).
    HGDIOBJ RealizedFontHandle = nullptr;
    std::shared_ptr<const TRealizedFont> RealizedFont;
};

namespace Gdi {
TDeviceContext* FindDC(HDC dc);
HDC AddDC(std::unique_ptr<TDeviceContext> dc);
// The pixels of a context and the monochrome flag; false when there is nothing to draw on.
struct TTarget {
    QImage* Image = nullptr;
    TPoint Origin;   // image position of device (0, 0)
    QRect Bounds;    // image rectangle the context covers
    bool Mono = false;
    TGdiBitmap* Bitmap = nullptr;
    std::function<void(const QRect&)> Changed;
    std::function<void(const QRegion&)> Toggle;
};
bool TargetOf(TDeviceContext& dc, TTarget& target);
// Called after drawing on rectangle r of the target's image.
void Touched(TTarget& target, const QRect& r);
// The region drawing may touch, in image coordinates (clip region and surface bounds).
QRegion DrawableRegion(TDeviceContext& dc, const TTarget& target);

TPoint ToDevice(const TDeviceContext& dc, TPoint p);
TPoint ToLogical(const TDeviceContext& dc, TPoint p);

// Window contexts are provided by the windowing code: for a window handle, the surface of its
// client area (wholeWindow false) or of the whole window, and the paint context during WM_PAINT.
using TWindowSurfaceProvider = std::function<bool(HWND window, bool wholeWindow, TDcSurface& surface)>;
void SetWindowSurfaceProvider(TWindowSurfaceProvider provider);
// The screen: a grab to read from, and an overlay to draw on.
using TScreenSurfaceProvider = std::function<bool(TDcSurface& surface)>;
void SetScreenSurfaceProvider(TScreenSurfaceProvider provider);
// A context drawing on an image (paint contexts, after-paint images).
HDC CreateImageDC(std::function<bool(TDcSurface&)> surfaceOf, HWND window = nullptr);
} // namespace Gdi
