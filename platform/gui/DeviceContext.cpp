#include "platform/gui/DeviceContext.h"

#include "platform/gui/private/GdiInternals.h"
#include "platform/gui/private/MetafileRecording.h"
#include "platform/gui/private/Overlay.h"
#include "platform/gui/private/Surfaces.h"
#include "platform/gui/Form.h"
#include "platform/gui/PrinterDevice.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/gui/WindowHandles.h"
#include "platform/gui/WinControl.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstring>
#include <mutex>
#include <unordered_map>

namespace {

struct TDcTable {
    std::mutex Mutex;
    std::unordered_map<std::uintptr_t, std::unique_ptr<TDeviceContext>> Contexts;
    std::uintptr_t Next = 0x20000002;
};

// Never destroyed: objects that outlive main (the printer object among them) still delete their
// contexts at exit.
TDcTable& ContextTable()
{
    static auto* table = new TDcTable;
    return *table;
}

// A window's context draws on the control's retained image and shows the result at once.
bool RetainedSurface(HWND window, bool wholeWindow, TDcSurface& surface)
{
    TWinControl* control = FindControl(window);
    if (!control)
        return false;
    control->HandleNeeded();
    QImage* image = RetainedImage(control);
    if (!image || image->isNull())
        return false;
    const QPoint client = ClientOffset(control);
    const QPoint origin = wholeWindow ? QPoint(0, 0) : client;
    surface.Image = image;
    surface.Origin = {origin.x(), origin.y()};
    surface.Bounds = wholeWindow ? image->rect() : QRect(client, QSize(control->ClientWidth(), control->ClientHeight()));
    surface.Changed = [control, client](const QRect& r) { ShowDrawing(control, r.translated(-client)); };
    // Inverting drawing on a form's client area goes to the overlay above its children.
    if (!wholeWindow && dynamic_cast<TCustomForm*>(control))
        surface.Toggle = [control, client](const QRegion& r) { TOverlay::ForForm(control).Toggle(r.translated(-client)); };
    return true;
}

Gdi::TWindowSurfaceProvider& WindowProvider()
{
    static Gdi::TWindowSurfaceProvider provider = RetainedSurface;
    return provider;
}

// Without the windowing code's overlay, the screen is a grab that drawing may change.
bool DefaultScreenSurface(TDcSurface& surface)
{
    static QImage screen;
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (QScreen* primary = app->primaryScreen())
            screen = primary->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
    }
    if (screen.isNull())
        return false;
    surface.Image = &screen;
    surface.Toggle = [](const QRegion& r) { TOverlay::ForScreen().Toggle(r); };
    return true;
}

Gdi::TScreenSurfaceProvider& ScreenProvider()
{
    static Gdi::TScreenSurfaceProvider provider = DefaultScreenSurface;
    return provider;
}

void Select(HGDIOBJ handle, int delta)
{
    if (TGdiObject* object = Gdi::Find(handle))
        object->SelectCount += delta;
}

void SelectAll(const TDcState& state, int delta)
{
    Select(state.Pen, delta);
    Select(state.Brush, delta);
    Select(state.Font, delta);
    Select(state.Bitmap, delta);
    Select(state.Palette, delta);
}

void InitialState(TDeviceContext& dc)
{
    dc.State.Pen = GetStockObject(BLACK_PEN);
    dc.State.Brush = GetStockObject(WHITE_BRUSH);
    dc.State.Font = GetStockObject(SYSTEM_FONT);
    dc.State.Palette = GetStockObject(DEFAULT_PALETTE);
}

HDC NewDC(TDcKind kind, HWND window)
{
    auto dc = std::make_unique<TDeviceContext>();
    dc->Kind = kind;
    dc->Window = window;
    InitialState(*dc);
    return Gdi::AddDC(std::move(dc));
}

} // namespace

namespace Gdi {

TDeviceContext* FindDC(HDC dc)
{
    if (!dc)
        return nullptr;
    auto& table = ContextTable();
    std::lock_guard lock(table.Mutex);
    auto found = table.Contexts.find(reinterpret_cast<std::uintptr_t>(dc));
    return found == table.Contexts.end() ? nullptr : found->second.get();
}

HDC AddDC(std::unique_ptr<TDeviceContext> dc)
{
    SelectAll(dc->State, 1);
    auto& table = ContextTable();
    std::lock_guard lock(table.Mutex);
    const std::uintptr_t id = table.Next;
    table.Next += 4;
    dc->Handle = reinterpret_cast<HDC>(id);
    table.Contexts[id] = std::move(dc);
    return reinterpret_cast<HDC>(id);
}

bool TargetOf(TDeviceContext& dc, TTarget& target)
{
    target = TTarget();
    switch (dc.Kind) {
    case TDcKind::Memory: {
        TGdiBitmap* bitmap = FindBitmap(dc.State.Bitmap);
        if (!bitmap)
            return false;
        SyncSectionIn(*bitmap);
        target.Image = &bitmap->Image;
        target.Mono = bitmap->Mono;
        target.Bitmap = bitmap;
        target.Bounds = bitmap->Image.rect();
        return true;
    }
    case TDcKind::Image:
    case TDcKind::Window:
    case TDcKind::Screen: {
        TDcSurface surface;
        const bool ok = dc.Kind == TDcKind::Screen ? (ScreenProvider() && ScreenProvider()(surface))
                                                   : (dc.SurfaceOf && dc.SurfaceOf(surface));
        if (!ok || !surface.Image || surface.Image->isNull())
            return false;
        target.Image = surface.Image;
        target.Origin = surface.Origin;
        target.Bounds = surface.Bounds.isEmpty() ? surface.Image->rect() : surface.Bounds & surface.Image->rect();
        target.Changed = std::move(surface.Changed);
        target.Toggle = std::move(surface.Toggle);
        return true;
    }
    default:
        return false;
    }
}

void Touched(TTarget& target, const QRect& r)
{
    if (target.Bitmap)
        SyncSectionOut(*target.Bitmap);
    if (target.Changed && !r.isEmpty())
        target.Changed(r);
}

QRegion DrawableRegion(TDeviceContext& dc, const TTarget& target)
{
    QRegion region(target.Bounds);
    if (dc.State.HasClip)
        region &= dc.State.Clip.translated(target.Origin.X, target.Origin.Y);
    return region;
}

TPoint ToDevice(const TDeviceContext& dc, TPoint p)
{
    return {p.X - dc.State.WindowOrg.X + dc.State.ViewportOrg.X, p.Y - dc.State.WindowOrg.Y + dc.State.ViewportOrg.Y};
}

TPoint ToLogical(const TDeviceContext& dc, TPoint p)
{
    return {p.X + dc.State.WindowOrg.X - dc.State.ViewportOrg.X, p.Y + dc.State.WindowOrg.Y - dc.State.ViewportOrg.Y};
}

void SetWindowSurfaceProvider(TWindowSurfaceProvider provider)
{
    WindowProvider() = provider ? std::move(provider) : TWindowSurfaceProvider(RetainedSurface);
}
void SetScreenSurfaceProvider(TScreenSurfaceProvider provider)
{
    ScreenProvider() = provider ? std::move(provider) : TScreenSurfaceProvider(DefaultScreenSurface);
}

HDC CreateImageDC(std::function<bool(TDcSurface&)> surfaceOf, HWND window)
{
    auto dc = std::make_unique<TDeviceContext>();
    dc->Kind = TDcKind::Image;
    dc->Window = window;
    dc->SurfaceOf = std::move(surfaceOf);
    InitialState(*dc);
    return AddDC(std::move(dc));
}

} // namespace Gdi

bool IsDeviceContext(HDC dc) { return Gdi::FindDC(dc) != nullptr; }

static HDC WindowDC(HWND window, bool whole)
{
    // The desktop window's context is the screen's, as on Windows.
    if (!window || window == GetDesktopWindow())
        return NewDC(TDcKind::Screen, nullptr);
    auto dc = std::make_unique<TDeviceContext>();
    dc->Kind = TDcKind::Window;
    dc->Window = window;
    dc->WholeWindow = whole;
    dc->SurfaceOf = [window, whole](TDcSurface& surface) {
        return WindowProvider() && WindowProvider()(window, whole, surface);
    };
    InitialState(*dc);
    return Gdi::AddDC(std::move(dc));
}

HDC GetDC(HWND window) { return WindowDC(window, false); }
HDC GetWindowDC(HWND window) { return WindowDC(window, true); }

int ReleaseDC(HWND, HDC dc)
{
    TDeviceContext* context = Gdi::FindDC(dc);
    if (!context || context->Kind == TDcKind::Memory || context->Kind == TDcKind::Metafile)
        return 0;
    return DeleteDC(dc) ? 1 : 0;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint)
{
    HDC dc = GetDC(window);
    if (paint) {
        *paint = PAINTSTRUCT();
        paint->hdc = dc;
        TDeviceContext* context = Gdi::FindDC(dc);
        Gdi::TTarget target;
        if (context && Gdi::TargetOf(*context, target))
            paint->rcPaint = {0, 0, target.Bounds.width(), target.Bounds.height()};
    }
    return dc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint)
{
    if (paint)
        ReleaseDC(window, paint->hdc);
    return TRUE;
}

HDC CreateCompatibleDC(HDC)
{
    HDC dc = NewDC(TDcKind::Memory, nullptr);
    TDeviceContext* context = Gdi::FindDC(dc);
    // As on Windows, a new memory context holds the stock 1 x 1 monochrome bitmap.
    static const HBITMAP initial = [] {
        QImage one(1, 1, QImage::Format_RGB32);
        one.fill(0xFF000000u);
        HBITMAP bitmap = Gdi::CreateBitmapFromImage(one, true);
        Gdi::Find(bitmap)->Stock = true;
        return bitmap;
    }();
    Select(initial, 1);
    context->State.Bitmap = initial;
    return dc;
}

HDC CreateDCA(const char* driver, const char* device, const char*, const void* initData)
{
    if (driver && strcasecmp(driver, "DISPLAY") == 0)
        return NewDC(TDcKind::Screen, nullptr);
    if (device && *device)
        return CreatePrinterDC(device, static_cast<const DEVMODEA*>(initData));
    return nullptr;
}

BOOL DeleteDC(HDC dc)
{
    std::unique_ptr<TDeviceContext> removed;
    {
        auto& table = ContextTable();
        std::lock_guard lock(table.Mutex);
        auto found = table.Contexts.find(reinterpret_cast<std::uintptr_t>(dc));
        if (found == table.Contexts.end())
            return FALSE;
        removed = std::move(found->second);
        table.Contexts.erase(found);
    }
    SelectAll(removed->State, -1);
    for (const TDcState& saved : removed->Saved)
        SelectAll(saved, -1);
    if (removed->Released)
        removed->Released();
    return TRUE;
}

int SaveDC(HDC dc)
{
    TDeviceContext* context = Gdi::FindDC(dc);
    if (!context)
        return 0;
    if (context->Recorder)
        Metafiles::RecordSaveRestore(*context, EMR_SAVEDC, 0);
    context->Saved.push_back(context->State);
    SelectAll(context->State, 1);
    return static_cast<int>(context->Saved.size());
}

BOOL RestoreDC(HDC dc, int level)
{
    TDeviceContext* context = Gdi::FindDC(dc);
    if (!context)
        return FALSE;
    const int depth = static_cast<int>(context->Saved.size());
    const int target = level < 0 ? depth + level + 1 : level;
    if (target < 1 || target > depth)
        return FALSE;
    if (context->Recorder)
        Metafiles::RecordSaveRestore(*context, EMR_RESTOREDC, level);
    SelectAll(context->State, -1);
    context->State = context->Saved[static_cast<std::size_t>(target - 1)];
    for (int i = target; i < depth; ++i)
        SelectAll(context->Saved[static_cast<std::size_t>(i)], -1);
    context->Saved.resize(static_cast<std::size_t>(target - 1));
    return TRUE;
}

static BOOL SetOrigin(HDC dc, TPoint TDcState::*member, int x, int y, POINT* previous, bool offset)
{
    TDeviceContext* context = Gdi::FindDC(dc);
    if (!context)
        return FALSE;
    TPoint& origin = context->State.*member;
    if (previous)
        *previous = origin;
    origin = offset ? TPoint{origin.X + x, origin.Y + y} : TPoint{x, y};
    return TRUE;
}

static BOOL GetOrigin(HDC dc, TPoint TDcState::*member, POINT* origin)
{
    TDeviceContext* context = Gdi::FindDC(dc);
    if (!context || !origin)
        return FALSE;
    *origin = context->State.*member;
    return TRUE;
}

BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* previous)
{
    return SetOrigin(dc, &TDcState::ViewportOrg, x, y, previous, false);
}
BOOL GetViewportOrgEx(HDC dc, POINT* origin) { return GetOrigin(dc, &TDcState::ViewportOrg, origin); }
BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, POINT* previous)
{
    return SetOrigin(dc, &TDcState::ViewportOrg, dx, dy, previous, true);
}
BOOL SetWindowOrgEx(HDC dc, int x, int y, POINT* previous)
{
    return SetOrigin(dc, &TDcState::WindowOrg, x, y, previous, false);
}
BOOL GetWindowOrgEx(HDC dc, POINT* origin) { return GetOrigin(dc, &TDcState::WindowOrg, origin); }
BOOL OffsetWindowOrgEx(HDC dc, int dx, int dy, POINT* previous)
{
    return SetOrigin(dc, &TDcState::WindowOrg, dx, dy, previous, true);
}

int SetMapMode(HDC dc, int mode)
{
    TDeviceContext* context = Gdi::FindDC(dc);
    if (!context)
        return 0;
    const int previous = context->State.MapMode;
    context->State.MapMode = mode; // every mode acts as MM_TEXT
    return previous;
}

int GetMapMode(HDC dc)
{
    TDeviceContext* context = Gdi::FindDC(dc);
    return context ? context->State.MapMode : 0;
}

BOOL DPtoLP(HDC dc, POINT* points, int count)
{
    TDeviceContext* context = Gdi::FindDC(dc);
    if (!context || !points)
        return FALSE;
    for (int i = 0; i < count; ++i)
        points[i] = Gdi::ToLogical(*context, points[i]);
    return TRUE;
}

BOOL LPtoDP(HDC dc, POINT* points, int count)
{
    TDeviceContext* context = Gdi::FindDC(dc);
    if (!context || !points)
        return FALSE;
    for (int i = 0; i < count; ++i)
        points[i] = Gdi::ToDevice(*context, points[i]);
    return TRUE;
}

template <typename T>
static T Exchange(HDC dc, T TDcState::*member, T value, T failure)
{
    TDeviceContext* context = Gdi::FindDC(dc);
    if (!context)
        return failure;
    T previous = context->State.*member;
    context->State.*member = value;
    return previous;
}

template <typename T>
static T Read(HDC dc, T TDcState::*member, T failure)
{
    TDeviceContext* context = Gdi::FindDC(dc);
    return context ? context->State.*member : failure;
}

COLORREF SetTextColor(HDC dc, COLORREF color)
{
    return Exchange(dc, &TDcState::TextColor, Gdi::Resolve(color), CLR_INVALID);
}
COLORREF GetTextColor(HDC dc) { return Read(dc, &TDcState::TextColor, CLR_INVALID); }
COLORREF SetBkColor(HDC dc, COLORREF color) { return Exchange(dc, &TDcState::BkColor, Gdi::Resolve(color), CLR_INVALID); }
COLORREF GetBkColor(HDC dc) { return Read(dc, &TDcState::BkColor, CLR_INVALID); }
int SetBkMode(HDC dc, int mode)
{
    if (mode != OPAQUE && mode != TRANSPARENT)
        return 0;
    return Exchange(dc, &TDcState::BkMode, mode, 0);
}
int GetBkMode(HDC dc) { return Read(dc, &TDcState::BkMode, 0); }
int SetROP2(HDC dc, int mode)
{
    if (mode < R2_BLACK || mode > R2_WHITE)
        return 0;
    return Exchange(dc, &TDcState::Rop2, mode, 0);
}
int GetROP2(HDC dc) { return Read(dc, &TDcState::Rop2, 0); }
int SetStretchBltMode(HDC dc, int mode)
{
    if (mode < BLACKONWHITE || mode > HALFTONE)
        return 0;
    return Exchange(dc, &TDcState::StretchMode, mode, 0);
}
int GetStretchBltMode(HDC dc) { return Read(dc, &TDcState::StretchMode, 0); }
int SetPolyFillMode(HDC dc, int mode)
{
    if (mode != ALTERNATE && mode != WINDING)
        return 0;
    return Exchange(dc, &TDcState::PolyFillMode, mode, 0);
}
int GetPolyFillMode(HDC dc) { return Read(dc, &TDcState::PolyFillMode, 0); }
UINT SetTextAlign(HDC dc, UINT align)
{
    TDeviceContext* context = Gdi::FindDC(dc);
    if (!context)
        return 0xFFFFFFFF; // GDI_ERROR
    const UINT previous = context->State.TextAlign;
    context->State.TextAlign = align;
    return previous;
}
UINT GetTextAlign(HDC dc) { return Read(dc, &TDcState::TextAlign, 0xFFFFFFFFu); }

BOOL SetBrushOrgEx(HDC dc, int x, int y, POINT* previous)
{
    return SetOrigin(dc, &TDcState::BrushOrg, x, y, previous, false);
}
BOOL GetBrushOrgEx(HDC dc, POINT* origin) { return GetOrigin(dc, &TDcState::BrushOrg, origin); }

int SetTextCharacterExtra(HDC dc, int extra)
{
    return Exchange(dc, &TDcState::CharExtra, extra, static_cast<int>(0x80000000));
}
int GetTextCharacterExtra(HDC dc) { return Read(dc, &TDcState::CharExtra, static_cast<int>(0x80000000)); }

BOOL SetTextJustification(HDC dc, int extra, int breakCount)
{
    TDeviceContext* context = Gdi::FindDC(dc);
    if (!context)
        return FALSE;
    context->State.JustifyExtra = breakCount > 0 ? extra : 0;
    context->State.JustifyBreaks = breakCount > 0 ? breakCount : 0;
    return TRUE;
}

int GetDeviceCaps(HDC dc, int index)
{
    if (IsPrinterDC(dc))
        return PrinterDeviceCaps(dc, index);
    TDeviceContext* context = Gdi::FindDC(dc);
    if (!context)
        return 0;
    int width = 0, height = 0;
    bool mono = false;
    if (context->Kind == TDcKind::Metafile) {
        if (index == TECHNOLOGY)
            return DT_METAFILE;
        // A page recorded for a printer measures like the printer.
        if (context->Reference && Gdi::FindDC(context->Reference))
            return GetDeviceCaps(context->Reference, index);
        width = context->ReferenceWidth;
        height = context->ReferenceHeight;
    } else {
        Gdi::TTarget target;
        if (context->Kind == TDcKind::Memory && Gdi::TargetOf(*context, target)) {
            width = target.Image->width();
            height = target.Image->height();
            mono = target.Mono;
        }
        if (context->Kind != TDcKind::Memory || width == 0) {
            QScreen* screen = QGuiApplication::primaryScreen();
            width = screen ? screen->geometry().width() : 1024;
            height = screen ? screen->geometry().height() : 768;
        }
    }
    switch (index) {
    case TECHNOLOGY:
        return DT_RASDISPLAY;
    case HORZSIZE:
        return MulDiv(width, 254, 960);
    case VERTSIZE:
        return MulDiv(height, 254, 960);
    case HORZRES:
        return width;
    case VERTRES:
        return height;
    case BITSPIXEL:
        return mono ? 1 : 32;
    case PLANES:
        return 1;
    case NUMCOLORS:
        return -1;
    case RASTERCAPS:
        return RC_BITBLT | RC_BITMAP64 | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT | RC_STRETCHDIB;
    case ASPECTX:
    case ASPECTY:
        return 36;
    case ASPECTXY:
        return 51;
    case LOGPIXELSX:
        return context->Kind == TDcKind::Metafile ? context->ReferenceDpiX : 96;
    case LOGPIXELSY:
        return context->Kind == TDcKind::Metafile ? context->ReferenceDpiY : 96;
    case COLORRES:
        return 24;
    default:
        return 0;
    }
}

HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL)
{
    TDeviceContext* context = Gdi::FindDC(dc);
    if (!context || !Gdi::Find(palette, TGdiKind::Palette))
        return nullptr;
    HPALETTE previous = context->State.Palette;
    Select(previous, -1);
    Select(palette, 1);
    context->State.Palette = palette;
    return previous;
}

UINT RealizePalette(HDC) { return 0; }
UINT GetSystemPaletteEntries(HDC, UINT, UINT, PALETTEENTRY*) { return 0; }
COLORREF GetNearestColor(HDC dc, COLORREF color) { return Gdi::FindDC(dc) ? (color & 0xFFFFFF) : CLR_INVALID; }
BOOL GdiFlush() { return TRUE; }
