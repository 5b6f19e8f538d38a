#include "platform/gui/Canvas.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/FontEngine.h"
#include "platform/gui/GdiDraw.h"
#include "platform/gui/Graphic.h"
#include "platform/gui/Regions.h"
#include "platform/gui/TextOutput.h"
#include "platform/gui/WinControl.h"

namespace {

COLORREF GdiColor(TColor color)
{
    // clNone and clDefault travel as they are: the drawing code leaves them out.
    if (color == clNone || color == clDefault)
        return static_cast<COLORREF>(color);
    return ColorToRGB(color);
}

// A windowed control draws on its client area; a graphic control on its parent's, moved to its
// position and clipped to its bounds.
HDC DefaultAcquire(TControl* control)
{
    if (auto* windowed = dynamic_cast<TWinControl*>(control))
        return GetDC(windowed->Handle());
    TWinControl* parent = control->Parent();
    if (!parent)
        return nullptr;
    HDC dc = GetDC(parent->Handle());
    SetViewportOrgEx(dc, control->Left(), control->Top(), nullptr);
    IntersectClipRect(dc, 0, 0, control->Width(), control->Height());
    return dc;
}

void DefaultRelease(TControl*, HDC dc) { ReleaseDC(nullptr, dc); }

TControlDCAcquire& AcquireSource()
{
    static TControlDCAcquire acquire = DefaultAcquire;
    return acquire;
}

TControlDCRelease& ReleaseSource()
{
    static TControlDCRelease release = DefaultRelease;
    return release;
}

} // namespace

int PenModeToRop2(TPenMode mode)
{
    static const int codes[] = {R2_BLACK,       R2_WHITE,       R2_NOP,         R2_NOT,        R2_COPYPEN,   R2_NOTCOPYPEN,
                                R2_MERGEPENNOT, R2_MASKPENNOT,  R2_MERGENOTPEN, R2_MASKNOTPEN, R2_MERGEPEN,  R2_NOTMERGEPEN,
                                R2_MASKPEN,     R2_NOTMASKPEN,  R2_XORPEN,      R2_NOTXORPEN};
    return codes[static_cast<int>(mode)];
}

// ---- TPen

TPen::~TPen() { FreeHandle(); }

void TPen::Assign(TPersistent* Source)
{
    if (auto* pen = dynamic_cast<TPen*>(Source)) {
        FColor = pen->FColor;
        FWidth = pen->FWidth;
        FStyle = pen->FStyle;
        FMode = pen->FMode;
        Changed();
        return;
    }
    TPersistent::Assign(Source);
}

void TPen::SetColor(TColor value)
{
    if (FColor != value) {
        FColor = value;
        Changed();
    }
}

void TPen::SetWidth(int value)
{
    if (value >= 0 && FWidth != value) {
        FWidth = value;
        Changed();
    }
}

void TPen::SetStyle(TPenStyle value)
{
    if (FStyle != value) {
        FStyle = value;
        Changed();
    }
}

void TPen::SetMode(TPenMode value)
{
    if (FMode != value) {
        FMode = value;
        Changed();
    }
}

HPEN TPen::Handle()
{
    if (!FHandle) {
        static const int styles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
        FHandle = CreatePen(styles[FStyle], FWidth, GdiColor(FColor));
    }
    return FHandle;
}

void TPen::SetHandle(HPEN value)
{
    LOGPEN pen;
    if (GetObjectA(value, sizeof(pen), &pen) != sizeof(pen))
        return;
    static const TPenStyle styles[] = {psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame};
    FStyle = styles[std::min<UINT>(pen.lopnStyle & PS_STYLE_MASK, 6)];
    FWidth = pen.lopnWidth.X;
    FColor = static_cast<TColor>(pen.lopnColor);
    Changed();
}

void TPen::Changed()
{
    // The canvas deselects the old handle first so that it can be deleted.
    if (OnChange)
        OnChange(this);
    FreeHandle();
}

void TPen::FreeHandle()
{
    if (FHandle) {
        DeleteObject(FHandle);
        FHandle = nullptr;
    }
}

// ---- TBrush

TBrush::~TBrush() { FreeHandle(); }

void TBrush::Assign(TPersistent* Source)
{
    if (auto* brush = dynamic_cast<TBrush*>(Source)) {
        FColor = brush->FColor;
        FStyle = brush->FStyle;
        FBitmap = brush->FBitmap;
        Changed();
        return;
    }
    TPersistent::Assign(Source);
}

void TBrush::SetColor(TColor value)
{
    if (FColor == value && FStyle != bsClear)
        return;
    FColor = value;
    if (FStyle == bsClear)
        FStyle = bsSolid;
    Changed();
}

void TBrush::SetStyle(TBrushStyle value)
{
    if (FStyle != value) {
        FStyle = value;
        Changed();
    }
}

void TBrush::SetBitmap(TBitmap* value)
{
    FBitmap = value;
    Changed();
}

HBRUSH TBrush::Handle()
{
    if (!FHandle) {
        if (FBitmap && !FBitmap->Empty())
            FHandle = CreatePatternBrush(FBitmap->Handle());
        else if (FStyle == bsSolid)
            FHandle = CreateSolidBrush(GdiColor(FColor));
        else if (FStyle == bsClear) {
            LOGBRUSH brush;
            brush.lbStyle = BS_NULL;
            FHandle = CreateBrushIndirect(brush);
        } else
            FHandle = CreateHatchBrush(static_cast<int>(FStyle) - static_cast<int>(bsHorizontal), GdiColor(FColor));
    }
    return FHandle;
}

void TBrush::SetHandle(HBRUSH value)
{
    LOGBRUSH brush;
    if (GetObjectA(value, sizeof(brush), &brush) != sizeof(brush))
        return;
    FColor = static_cast<TColor>(brush.lbColor);
    if (brush.lbStyle == BS_NULL)
        FStyle = bsClear;
    else if (brush.lbStyle == BS_HATCHED)
        FStyle = static_cast<TBrushStyle>(bsHorizontal + static_cast<int>(brush.lbHatch));
    else
        FStyle = bsSolid;
    Changed();
}

void TBrush::Changed()
{
    if (OnChange)
        OnChange(this);
    FreeHandle();
}

void TBrush::FreeHandle()
{
    if (FHandle) {
        DeleteObject(FHandle);
        FHandle = nullptr;
    }
}

// ---- TCanvas

TCanvas::TCanvas()
{
    FPen.OnChange = [this](TObject* sender) { PenChanged(sender); };
    FBrush.OnChange = [this](TObject* sender) { BrushChanged(sender); };
    FFont.OnChange = [this](TObject* sender) { FontChanged(sender); };
}

TCanvas::~TCanvas()
{
    DeselectHandles();
    FPen.OnChange = nullptr;
    FBrush.OnChange = nullptr;
    FFont.OnChange = nullptr;
}

HDC TCanvas::Handle()
{
    if (!FHandle)
        CreateHandle();
    return FHandle;
}

void TCanvas::SetHandle(HDC value)
{
    if (FHandle == value)
        return;
    DeselectHandles();
    FHandle = value;
    FState = value ? csHandleValid : 0;
}

void TCanvas::CreateHandle() {}

void TCanvas::Changing()
{
    if (OnChanging)
        OnChanging(this);
}

void TCanvas::Changed()
{
    if (OnChange)
        OnChange(this);
}

void TCanvas::RequiredState(int required)
{
    int needed = required & ~FState;
    if (!needed)
        return;
    if (needed & csHandleValid) {
        CreateHandle();
        if (!FHandle)
            RAISE(EInvalidOperation("Canvas does not allow drawing"));
        FState |= csHandleValid;
    }
    if (needed & csFontValid) {
        SelectObject(FHandle, FFont.Handle()); // keeps the font's angle
        SetTextColor(FHandle, GdiColor(FFont.Color()));
    }
    if (needed & csPenValid) {
        SelectObject(FHandle, FPen.Handle());
        SetROP2(FHandle, PenModeToRop2(FPen.Mode()));
    }
    if (needed & csBrushValid) {
        UnrealizeObject(FBrush.Handle());
        SelectObject(FHandle, FBrush.Handle());
        const COLORREF color = GdiColor(FBrush.Color());
        if (FBrush.Style() == bsSolid) {
            SetBkColor(FHandle, color);
            SetBkMode(FHandle, OPAQUE);
        } else {
            SetBkColor(FHandle, ~color & 0xFFFFFF);
            SetBkMode(FHandle, TRANSPARENT);
        }
    }
    FState |= needed;
}

void TCanvas::DeselectHandles()
{
    if (FHandle && (FState & (csPenValid | csBrushValid | csFontValid))) {
        SelectObject(FHandle, GetStockObject(BLACK_PEN));
        SelectObject(FHandle, GetStockObject(WHITE_BRUSH));
        SelectObject(FHandle, GetStockObject(SYSTEM_FONT));
    }
    FState &= ~(csPenValid | csBrushValid | csFontValid);
}

void TCanvas::PenChanged(TObject*)
{
    if (FHandle && (FState & csPenValid)) {
        SelectObject(FHandle, GetStockObject(BLACK_PEN));
        FState &= ~csPenValid;
    }
}

void TCanvas::BrushChanged(TObject*)
{
    if (FHandle && (FState & csBrushValid)) {
        SelectObject(FHandle, GetStockObject(WHITE_BRUSH));
        FState &= ~csBrushValid;
    }
}

void TCanvas::FontChanged(TObject*)
{
    if (FHandle && (FState & csFontValid)) {
        SelectObject(FHandle, GetStockObject(SYSTEM_FONT));
        FState &= ~csFontValid;
    }
}

void TCanvas::SetCopyMode(TCopyMode value) { FCopyMode = value; }

TPoint TCanvas::PenPos()
{
    RequiredState(csHandleValid);
    POINT p;
    GetCurrentPositionEx(FHandle, &p);
    return p;
}

void TCanvas::SetPenPos(TPoint value) { MoveTo(value.X, value.Y); }

TRect TCanvas::ClipRect()
{
    RequiredState(csHandleValid);
    RECT r;
    GetClipBox(FHandle, &r);
    return r;
}

TColor TCanvas::Pixels(int x, int y)
{
    RequiredState(csHandleValid);
    const COLORREF c = GetPixel(FHandle, x, y);
    return c == CLR_INVALID ? static_cast<TColor>(-1) : static_cast<TColor>(c);
}

void TCanvas::SetPixels(int x, int y, TColor color)
{
    Changing();
    RequiredState(csHandleValid | csPenValid);
    SetPixel(FHandle, x, y, ColorToRGB(color));
    Changed();
}

void TCanvas::Lock()
{
    FMutex.lock();
    ++FLockCount;
}

void TCanvas::Unlock()
{
    --FLockCount;
    FMutex.unlock();
}

bool TCanvas::TryLock()
{
    if (!FMutex.try_lock())
        return false;
    ++FLockCount;
    return true;
}

void TCanvas::MoveTo(int x, int y)
{
    RequiredState(csHandleValid);
    MoveToEx(FHandle, x, y, nullptr);
}

void TCanvas::LineTo(int x, int y)
{
    Changing();
    RequiredState(csHandleValid | csPenValid | csBrushValid);
    ::LineTo(FHandle, x, y);
    Changed();
}

void TCanvas::Polyline(const std::vector<TPoint>& points)
{
    Changing();
    RequiredState(csHandleValid | csPenValid | csBrushValid);
    ::Polyline(FHandle, points.data(), static_cast<int>(points.size()));
    Changed();
}

void TCanvas::Polygon(const std::vector<TPoint>& points)
{
    Changing();
    RequiredState(csHandleValid | csPenValid | csBrushValid);
    ::Polygon(FHandle, points.data(), static_cast<int>(points.size()));
    Changed();
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2)
{
    Changing();
    RequiredState(csHandleValid | csPenValid | csBrushValid);
    ::Rectangle(FHandle, x1, y1, x2, y2);
    Changed();
}

void TCanvas::RoundRect(int x1, int y1, int x2, int y2, int x3, int y3)
{
    Changing();
    RequiredState(csHandleValid | csPenValid | csBrushValid);
    ::RoundRect(FHandle, x1, y1, x2, y2, x3, y3);
    Changed();
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2)
{
    Changing();
    RequiredState(csHandleValid | csPenValid | csBrushValid);
    ::Ellipse(FHandle, x1, y1, x2, y2);
    Changed();
}

void TCanvas::Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4)
{
    Changing();
    RequiredState(csHandleValid | csPenValid | csBrushValid);
    ::Arc(FHandle, x1, y1, x2, y2, x3, y3, x4, y4);
    Changed();
}

void TCanvas::Chord(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4)
{
    Changing();
    RequiredState(csHandleValid | csPenValid | csBrushValid);
    ::Chord(FHandle, x1, y1, x2, y2, x3, y3, x4, y4);
    Changed();
}

void TCanvas::Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4)
{
    Changing();
    RequiredState(csHandleValid | csPenValid | csBrushValid);
    ::Pie(FHandle, x1, y1, x2, y2, x3, y3, x4, y4);
    Changed();
}

void TCanvas::FillRect(const TRect& rect)
{
    Changing();
    RequiredState(csHandleValid | csBrushValid);
    ::FillRect(FHandle, &rect, FBrush.Handle());
    Changed();
}

void TCanvas::FrameRect(const TRect& rect)
{
    Changing();
    RequiredState(csHandleValid | csBrushValid);
    ::FrameRect(FHandle, &rect, FBrush.Handle());
    Changed();
}

void TCanvas::DrawFocusRect(const TRect& rect)
{
    Changing();
    RequiredState(csHandleValid | csBrushValid);
    ::DrawFocusRect(FHandle, &rect);
    Changed();
}

void TCanvas::FloodFill(int x, int y, TColor color, TFillStyle fillStyle)
{
    Changing();
    RequiredState(csHandleValid | csBrushValid);
    ExtFloodFill(FHandle, x, y, ColorToRGB(color), fillStyle == fsSurface ? FLOODFILLSURFACE : FLOODFILLBORDER);
    Changed();
}

void TCanvas::TextOut(int x, int y, const std::string& text)
{
    Changing();
    RequiredState(csHandleValid | csFontValid | csBrushValid);
    ExtTextOutA(FHandle, x, y, static_cast<UINT>(TextFlags), nullptr, text);
    MoveTo(x + TextWidth(text), y);
    Changed();
}

void TCanvas::TextRect(const TRect& rect, int x, int y, const std::string& text)
{
    Changing();
    RequiredState(csHandleValid | csFontValid | csBrushValid);
    UINT options = ETO_CLIPPED | static_cast<UINT>(TextFlags);
    if (FBrush.Style() != bsClear)
        options |= ETO_OPAQUE;
    ExtTextOutA(FHandle, x, y, options, &rect, text);
    Changed();
}

TSize TCanvas::TextExtent(const std::string& text)
{
    RequiredState(csHandleValid | csFontValid);
    SIZE size;
    GetTextExtentPoint32A(FHandle, text, -1, &size);
    return size;
}

int TCanvas::TextWidth(const std::string& text) { return TextExtent(text).cx; }
int TCanvas::TextHeight(const std::string& text) { return TextExtent(text).cy; }

void TCanvas::Draw(int x, int y, TGraphic* graphic)
{
    if (!graphic || graphic->Empty())
        return;
    RequiredState(csHandleValid);
    graphic->Draw(this, Rect(x, y, x + graphic->Width(), y + graphic->Height()));
}

void TCanvas::StretchDraw(const TRect& rect, TGraphic* graphic)
{
    if (!graphic || graphic->Empty())
        return;
    RequiredState(csHandleValid);
    graphic->Draw(this, rect);
}

void TCanvas::CopyRect(const TRect& destination, TCanvas* canvas, const TRect& source)
{
    if (!canvas)
        return;
    Changing();
    RequiredState(csHandleValid | csFontValid | csBrushValid);
    canvas->RequiredState(csHandleValid | csBrushValid);
    StretchBlt(FHandle, destination.Left, destination.Top, destination.Width(), destination.Height(), canvas->FHandle,
               source.Left, source.Top, source.Width(), source.Height(), FCopyMode);
    Changed();
}

void TCanvas::BrushCopy(const TRect& destination, TBitmap* bitmap, const TRect& source, TColor color)
{
    if (!bitmap || bitmap->Empty())
        return;
    Changing();
    RequiredState(csHandleValid | csBrushValid);
    // The bitmap's part, then its pixels of color replaced by the brush through a mask.
    HDC sourceDC = bitmap->Canvas()->Handle();
    StretchBlt(FHandle, destination.Left, destination.Top, destination.Width(), destination.Height(), sourceDC,
               source.Left, source.Top, source.Width(), source.Height(), SRCCOPY);
    HDC maskDC = CreateCompatibleDC(nullptr);
    HBITMAP mask = CreateBitmap(source.Width(), source.Height(), 1, 1, nullptr);
    HGDIOBJ oldMask = SelectObject(maskDC, mask);
    const COLORREF oldBack = SetBkColor(sourceDC, ColorToRGB(color));
    BitBlt(maskDC, 0, 0, source.Width(), source.Height(), sourceDC, source.Left, source.Top, SRCCOPY);
    SetBkColor(sourceDC, oldBack);
    const COLORREF oldText = SetTextColor(FHandle, 0);
    const COLORREF oldBk = SetBkColor(FHandle, 0xFFFFFF);
    StretchBlt(FHandle, destination.Left, destination.Top, destination.Width(), destination.Height(), maskDC, 0, 0,
               source.Width(), source.Height(), 0x00E20746);
    SetTextColor(FHandle, oldText);
    SetBkColor(FHandle, oldBk);
    SelectObject(maskDC, oldMask);
    DeleteDC(maskDC);
    DeleteObject(mask);
    Changed();
}

void TCanvas::Refresh() { DeselectHandles(); }

// ---- TControlCanvas

TControlCanvas::~TControlCanvas() { FreeHandle(); }

void TControlCanvas::SetControl(TControl* value)
{
    if (FControl == value)
        return;
    FreeHandle();
    FControl = value;
}

void TControlCanvas::FreeHandle()
{
    if (!FOwnHandle)
        return;
    HDC dc = FOwnHandle;
    FOwnHandle = nullptr;
    SetHandle(nullptr);
    if (ReleaseSource())
        ReleaseSource()(FControl, dc);
    else
        ReleaseDC(nullptr, dc);
}

void TControlCanvas::CreateHandle()
{
    if (!FControl || !AcquireSource())
        return;
    FOwnHandle = AcquireSource()(FControl);
    SetHandle(FOwnHandle);
}

void SetControlCanvasDCSource(TControlDCAcquire acquire, TControlDCRelease release)
{
    AcquireSource() = acquire ? std::move(acquire) : TControlDCAcquire(DefaultAcquire);
    ReleaseSource() = release ? std::move(release) : TControlDCRelease(DefaultRelease);
}

void Frame3D(TCanvas* canvas, TRect& rect, TColor topColor, TColor bottomColor, int width)
{
    if (!canvas)
        return;
    canvas->Pen()->SetWidth(1);
    rect.Bottom -= 1;
    rect.Right -= 1;
    for (int i = 0; i < width; ++i) {
        canvas->Pen()->SetColor(topColor);
        canvas->Polyline({{rect.Left, rect.Bottom}, {rect.Left, rect.Top}, {rect.Right, rect.Top}});
        canvas->Pen()->SetColor(bottomColor);
        canvas->Polyline({{rect.Right, rect.Top}, {rect.Right, rect.Bottom}, {rect.Left - 1, rect.Bottom}});
        InflateRect(rect, -1, -1);
    }
    rect.Bottom += 1;
    rect.Right += 1;
}
