#pragma once
// The canvas: a device context with a pen, a brush and a font that are selected into it only
// when they changed since the canvas last selected them, so that direct GDI calls on Handle()
// (SetTextColor, SelectObject of a turned font) stay in effect.

#include "platform/gui/DeviceContext.h"
#include "platform/gui/Font.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TBitmap;
class TGraphic;
class TControl;

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum TPenMode {
    pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot, pmMergeNotPen,
    pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor
};
enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };
enum TFillStyle { fsSurface, fsBorder };
using TCopyMode = DWORD;
constexpr TCopyMode cmBlackness = 0x00000042, cmDstInvert = 0x00550009, cmMergeCopy = 0x00C000CA,
                    cmMergePaint = 0x00BB0226, cmNotSrcCopy = 0x00330008, cmNotSrcErase = 0x001100A6,
                    cmPatCopy = 0x00F00021, cmPatInvert = 0x005A0049, cmPatPaint = 0x00FB0A09,
                    cmSrcAnd = 0x008800C6, cmSrcCopy = 0x00CC0020, cmSrcErase = 0x00440328,
                    cmSrcInvert = 0x00660046, cmSrcPaint = 0x00EE0086, cmWhiteness = 0x00FF0062;

// The ROP2 code of a pen mode.
int PenModeToRop2(TPenMode mode);

class TPen : public TPersistent {
    TESS_CLASS(TPen, TPersistent)
public:
    TPen() = default;
    ~TPen() override;
    TPen(const TPen&) = delete;
    TPen& operator=(const TPen&) = delete;

    void Assign(TPersistent* Source) override;

    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    int Width() const { return FWidth; }
    void SetWidth(int value);
    TPenStyle Style() const { return FStyle; }
    void SetStyle(TPenStyle value);
    TPenMode Mode() const { return FMode; }
    void SetMode(TPenMode value);
    // The HPEN of the current properties, made on first use and kept until they change.
    HPEN Handle();
    // Takes the properties of a pen handle (the handle itself stays the caller's).
    void SetHandle(HPEN value);

    TNotifyEvent OnChange;

private:
    void Changed();
    void FreeHandle();
    TColor FColor = clBlack;
    int FWidth = 1;
    TPenStyle FStyle = psSolid;
    TPenMode FMode = pmCopy;
    HPEN FHandle = nullptr;
};

class TBrush : public TPersistent {
    TESS_CLASS(TBrush, TPersistent)
public:
    TBrush() = default;
    ~TBrush() override;
    TBrush(const TBrush&) = delete;
    TBrush& operator=(const TBrush&) = delete;

    void Assign(TPersistent* Source) override;

    TColor Color() const { return FColor; }
    // As the class library does, a colour set on a clear brush makes it solid.
    void SetColor(TColor value);
    TBrushStyle Style() const { return FStyle; }
    void SetStyle(TBrushStyle value);
    // A pattern bitmap (not owned); nullptr for none.
    TBitmap* Bitmap() const { return FBitmap; }
    void SetBitmap(TBitmap* value);
    HBRUSH Handle();
    void SetHandle(HBRUSH value);

    TNotifyEvent OnChange;

private:
    void Changed();
    void FreeHandle();
    TColor FColor = clWhite;
    TBrushStyle FStyle = bsSolid;
    TBitmap* FBitmap = nullptr;
    HBRUSH FHandle = nullptr;
};

class TCanvas : public TPersistent {
    TESS_CLASS(TCanvas, TPersistent)
public:
    TCanvas();
    ~TCanvas() override;
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    // The context, created on first use through CreateHandle.
    HDC Handle();
    // Sets the context the canvas draws on (nullptr detaches it; the canvas does not delete it).
    void SetHandle(HDC value);
    bool HandleAllocated() const { return FHandle != nullptr; }

    TPen* Pen() { return &FPen; }
    TBrush* Brush() { return &FBrush; }
    TFont* Font() { return &FFont; }
    void SetPen(TPen* value) { FPen.Assign(value); }
    void SetBrush(TBrush* value) { FBrush.Assign(value); }
    void SetFont(TFont* value) { FFont.Assign(value); }
    TCopyMode CopyMode() const { return FCopyMode; }
    void SetCopyMode(TCopyMode value);
    TPoint PenPos();
    void SetPenPos(TPoint value);
    TRect ClipRect();
    TColor Pixels(int x, int y);
    void SetPixels(int x, int y, TColor color);
    int TextFlags = 0;

    void Lock();
    void Unlock();
    bool TryLock();
    int LockCount() const { return FLockCount; }

    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void Polyline(const std::vector<TPoint>& points);
    void Polygon(const std::vector<TPoint>& points);
    void Rectangle(int x1, int y1, int x2, int y2);
    void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
    void RoundRect(int x1, int y1, int x2, int y2, int x3, int y3);
    void Ellipse(int x1, int y1, int x2, int y2);
    void Ellipse(const TRect& r) { Ellipse(r.Left, r.Top, r.Right, r.Bottom); }
    void Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
    void Chord(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
    void Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
    void FillRect(const TRect& rect);
    void FrameRect(const TRect& rect);
    void DrawFocusRect(const TRect& rect);
    void FloodFill(int x, int y, TColor color, TFillStyle fillStyle);
    void TextOut(int x, int y, const std::string& text);
    // Clipped to rect; the rectangle is filled first unless the brush is clear.
    void TextRect(const TRect& rect, int x, int y, const std::string& text);
    int TextWidth(const std::string& text);
    int TextHeight(const std::string& text);
    TSize TextExtent(const std::string& text);
    void Draw(int x, int y, TGraphic* graphic);
    void StretchDraw(const TRect& rect, TGraphic* graphic);
    void CopyRect(const TRect& destination, TCanvas* canvas, const TRect& source);
    // Copies source of bitmap to destination with the pixels of color replaced by the brush.
    void BrushCopy(const TRect& destination, TBitmap* bitmap, const TRect& source, TColor color);
    // Deselects the canvas's objects so that the next operation selects them again.
    void Refresh();

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

protected:
    // Makes the context when Handle() is first needed; the default raises EInvalidOperation
    // "Canvas does not allow drawing".
    virtual void CreateHandle();
    virtual void Changing();
    virtual void Changed();
    enum TState { csHandleValid = 1, csPenValid = 2, csBrushValid = 4, csFontValid = 8, csAllValid = 15 };
    void RequiredState(int required);
    // Selects the stock objects back so that the canvas's own can be freed.
    void DeselectHandles();

private:
    void PenChanged(TObject*);
    void BrushChanged(TObject*);
    void FontChanged(TObject*);
    HDC FHandle = nullptr;
    int FState = 0;
    TPen FPen;
    TBrush FBrush;
    TFont FFont;
    TCopyMode FCopyMode = cmSrcCopy;
    std::recursive_mutex FMutex;
    int FLockCount = 0;
};

// The canvas of a control: the paint context inside Paint (set by the control through
// SetHandle), otherwise the control's client context from the source installed below.
class TControlCanvas : public TCanvas {
    TESS_CLASS(TControlCanvas, TCanvas)
public:
    ~TControlCanvas() override;
    TControl* Control() const { return FControl; }
    void SetControl(TControl* value);
    // Releases a context taken from the control.
    void FreeHandle();

protected:
    void CreateHandle() override;

private:
    TControl* FControl = nullptr;
    HDC FOwnHandle = nullptr;
};

// How a control canvas obtains and gives back the client context of its control; installed by
// the control code at start-up.
using TControlDCAcquire = std::function<HDC(TControl* control)>;
using TControlDCRelease = std::function<void(TControl* control, HDC dc)>;
void SetControlCanvasDCSource(TControlDCAcquire acquire, TControlDCRelease release);

// Draws width one-pixel frames, top and left in topColor, bottom and right in bottomColor,
// shrinking rect by one each time.
void Frame3D(TCanvas* canvas, TRect& rect, TColor topColor, TColor bottomColor, int width);
