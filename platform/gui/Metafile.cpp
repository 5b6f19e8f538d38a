#include "platform/gui/Metafile.h"

#include "platform/gui/GdiDraw.h"
#include "platform/gui/Regions.h"
#include "platform/gui/TextOutput.h"
#include "platform/gui/private/GdiPaint.h"
#include "platform/gui/private/MetafileRecording.h"
#include "platform/rtl/Codepage.h"

#include <algorithm>
#include <limits>
#include <cstring>
#include <map>
#include <mutex>
#include <unordered_map>

// The records of one recording and what its header says.
class TMetafileImage {
public:
    std::vector<TEmrRecord> Records;
    TRect Bounds;     // pixels
    TRect Frame;      // pixels
    bool HasBounds = false;
    std::string CreatedBy, Description;
    int ReferenceWidth = 0, ReferenceHeight = 0;
    int ReferenceDpiX = 96, ReferenceDpiY = 96;
};

// The recorder behind a metafile context: the records so far and the state they leave.
class TMetafileRecorder {
public:
    struct TRecordedState {
        COLORREF TextColor = 0;
        COLORREF BkColor = 0xFFFFFF;
        int BkMode = OPAQUE;
        int Rop2 = R2_COPYPEN;
        int StretchMode = BLACKONWHITE;
        int PolyFillMode = ALTERNATE;
        UINT TextAlign = 0;
        TPoint WindowOrg, ViewportOrg;
        HGDIOBJ Pen = nullptr, Brush = nullptr, Font = nullptr;
    };
    std::shared_ptr<TMetafileImage> Image = std::make_shared<TMetafileImage>();
    TRecordedState Last;
    std::vector<TRecordedState> SavedStates;
    std::unordered_map<HGDIOBJ, int> ObjectIndexes;
    int NextIndex = 1;
};

namespace {

struct THandleTable {
    std::mutex Mutex;
    std::unordered_map<std::uintptr_t, std::shared_ptr<TMetafileImage>> Images;
    std::uintptr_t Next = 0x40000000;
};

THandleTable& Handles()
{
    static THandleTable table;
    return table;
}

HENHMETAFILE AddHandle(std::shared_ptr<TMetafileImage> image)
{
    auto& table = Handles();
    std::lock_guard lock(table.Mutex);
    const std::uintptr_t id = table.Next;
    table.Next += 4;
    table.Images[id] = std::move(image);
    return reinterpret_cast<HENHMETAFILE>(id);
}

std::shared_ptr<TMetafileImage> FindHandle(HENHMETAFILE handle)
{
    auto& table = Handles();
    std::lock_guard lock(table.Mutex);
    auto found = table.Images.find(reinterpret_cast<std::uintptr_t>(handle));
    return found == table.Images.end() ? nullptr : found->second;
}

TMetafileWriter& Writer(bool enhanced)
{
    static TMetafileWriter enhancedWriter, plainWriter;
    return enhanced ? enhancedWriter : plainWriter;
}

// A new record at the end of the recording. The reference is good until the next record is added.
TEmrRecord& Append(TDeviceContext& dc, DWORD type, const TEmrValues& values = {})
{
    TEmrRecord& record = dc.Recorder->Image->Records.emplace_back();
    record.Type = type;
    record.Values = values;
    return record;
}

int StockIndex(HGDIOBJ handle)
{
    for (int i = 0; i <= DEFAULT_GUI_FONT; ++i)
        if (GetStockObject(i) == handle)
            return i;
    return -1;
}

// The index of an object in the metafile, with its creation record on first use. Stock objects
// are remembered too (without a record), so that a brush used again is found at once.
int ObjectIndex(TDeviceContext& dc, HGDIOBJ handle)
{
    TMetafileRecorder& recorder = *dc.Recorder;
    auto found = recorder.ObjectIndexes.find(handle);
    if (found != recorder.ObjectIndexes.end())
        return found->second;
    const int stock = StockIndex(handle);
    if (stock >= 0) {
        const int index = static_cast<int>(ENHMETA_STOCK_OBJECT | static_cast<DWORD>(stock));
        recorder.ObjectIndexes[handle] = index;
        return index;
    }
    TGdiObject* object = Gdi::Find(handle);
    if (!object)
        return static_cast<int>(ENHMETA_STOCK_OBJECT | static_cast<DWORD>(BLACK_PEN));
    DWORD type = 0;
    switch (object->Kind) {
    case TGdiKind::Pen:
        type = EMR_CREATEPEN;
        break;
    case TGdiKind::Brush:
        type = object->Pattern ? EMR_CREATEDIBPATTERNBRUSHPT : EMR_CREATEBRUSHINDIRECT;
        break;
    case TGdiKind::Font:
        type = EMR_EXTCREATEFONTINDIRECTW;
        break;
    default:
        return static_cast<int>(ENHMETA_STOCK_OBJECT | static_cast<DWORD>(BLACK_PEN));
    }
    const int index = recorder.NextIndex++;
    TEmrRecord& record = Append(dc, type, {index});
    if (object->Kind == TGdiKind::Pen)
        record.Pen = object->Pen;
    if (object->Kind == TGdiKind::Font)
        record.Font = object->Font;
    if (object->Kind == TGdiKind::Brush) {
        record.Brush = object->Brush;
        if (object->Pattern) {
            record.Image = object->Pattern->Image;
            record.ImageMono = object->Pattern->Mono;
        }
    }
    recorder.ObjectIndexes[handle] = index;
    return index;
}

void SyncObject(TDeviceContext& dc, HGDIOBJ current, HGDIOBJ& last)
{
    if (current == last)
        return;
    const int index = ObjectIndex(dc, current);
    Append(dc, EMR_SELECTOBJECT, {index});
    last = current;
}

template <typename T>
void SyncValue(TDeviceContext& dc, const T& current, T& recorded, DWORD type, const TEmrValues& values)
{
    Append(dc, type, values);
    recorded = current;
}

// Records the state a drawing call needs where it differs from the last recorded state.
void SyncState(TDeviceContext& dc, bool text = false)
{
    TMetafileRecorder::TRecordedState& last = dc.Recorder->Last;
    const TDcState& state = dc.State;
    if (state.WindowOrg != last.WindowOrg)
        SyncValue(dc, state.WindowOrg, last.WindowOrg, EMR_SETWINDOWORGEX, {state.WindowOrg.X, state.WindowOrg.Y});
    if (state.ViewportOrg != last.ViewportOrg)
        SyncValue(dc, state.ViewportOrg, last.ViewportOrg, EMR_SETVIEWPORTORGEX,
                  {state.ViewportOrg.X, state.ViewportOrg.Y});
    if (state.BkMode != last.BkMode)
        SyncValue(dc, state.BkMode, last.BkMode, EMR_SETBKMODE, {state.BkMode});
    if (state.BkColor != last.BkColor)
        SyncValue(dc, state.BkColor, last.BkColor, EMR_SETBKCOLOR, {static_cast<int>(state.BkColor)});
    if (state.TextColor != last.TextColor)
        SyncValue(dc, state.TextColor, last.TextColor, EMR_SETTEXTCOLOR, {static_cast<int>(state.TextColor)});
    if (state.Rop2 != last.Rop2)
        SyncValue(dc, state.Rop2, last.Rop2, EMR_SETROP2, {state.Rop2});
    if (state.StretchMode != last.StretchMode)
        SyncValue(dc, state.StretchMode, last.StretchMode, EMR_SETSTRETCHBLTMODE, {state.StretchMode});
    if (state.PolyFillMode != last.PolyFillMode)
        SyncValue(dc, state.PolyFillMode, last.PolyFillMode, EMR_SETPOLYFILLMODE, {state.PolyFillMode});
    if (state.TextAlign != last.TextAlign)
        SyncValue(dc, state.TextAlign, last.TextAlign, EMR_SETTEXTALIGN, {static_cast<int>(state.TextAlign)});
    SyncObject(dc, state.Pen, last.Pen);
    SyncObject(dc, state.Brush, last.Brush);
    if (text)
        SyncObject(dc, state.Font, last.Font);
}

TRect DeviceBounds(TDeviceContext& dc, const TRect& logical)
{
    const TPoint a = Gdi::ToDevice(dc, {std::min(logical.Left, logical.Right), std::min(logical.Top, logical.Bottom)});
    const TPoint b = Gdi::ToDevice(dc, {std::max(logical.Left, logical.Right), std::max(logical.Top, logical.Bottom)});
    return {a.X, a.Y, b.X, b.Y};
}

void Grow(TDeviceContext& dc, const TRect& deviceBounds)
{
    TMetafileImage& image = *dc.Recorder->Image;
    if (deviceBounds.Right <= deviceBounds.Left || deviceBounds.Bottom <= deviceBounds.Top)
        return;
    if (!image.HasBounds) {
        image.Bounds = deviceBounds;
        image.HasBounds = true;
    } else {
        UnionRect(image.Bounds, image.Bounds, deviceBounds);
    }
}

// Sets what a drawing record covers and widens the recording's bounds by it.
void SetDrawingBounds(TDeviceContext& dc, TEmrRecord& record, const TRect& logicalBounds)
{
    record.Bounds = DeviceBounds(dc, logicalBounds);
    Grow(dc, record.Bounds);
}

TRect PointsBounds(const TPoint* points, std::size_t count)
{
    TRect r{points[0].X, points[0].Y, points[0].X + 1, points[0].Y + 1};
    for (std::size_t i = 0; i < count; ++i) {
        const TPoint& p = points[i];
        r.Left = std::min(r.Left, p.X);
        r.Top = std::min(r.Top, p.Y);
        r.Right = std::max(r.Right, p.X + 1);
        r.Bottom = std::max(r.Bottom, p.Y + 1);
    }
    return r;
}

} // namespace

namespace Metafiles {

BOOL RecordMoveTo(TDeviceContext& dc, int x, int y)
{
    Append(dc, EMR_MOVETOEX, {x, y});
    return TRUE;
}

BOOL RecordLineTo(TDeviceContext& dc, int x, int y)
{
    SyncState(dc);
    const TPoint ends[2] = {dc.State.CurrentPos, {x, y}};
    TEmrRecord& record = Append(dc, EMR_LINETO, {x, y});
    SetDrawingBounds(dc, record, PointsBounds(ends, 2));
    return TRUE;
}

BOOL RecordPoints(TDeviceContext& dc, DWORD type, const std::vector<TPoint>& points)
{
    SyncState(dc);
    TEmrRecord& record = Append(dc, type);
    record.Points = points;
    SetDrawingBounds(dc, record, PointsBounds(points.data(), points.size()));
    return TRUE;
}

BOOL RecordRect(TDeviceContext& dc, DWORD type, const TRect& rect, TEmrValues values)
{
    SyncState(dc);
    TEmrRecord& record = Append(dc, type, values);
    record.Rect = rect;
    SetDrawingBounds(dc, record, rect);
    return TRUE;
}

int RecordFillRect(TDeviceContext& dc, const RECT& rect, HBRUSH brush)
{
    SyncState(dc);
    const int index = ObjectIndex(dc, brush);
    TEmrRecord& record = Append(dc, EMR_FILLRGN, {index});
    record.Rect = rect;
    SetDrawingBounds(dc, record, rect);
    return 1;
}

int RecordFrameRect(TDeviceContext& dc, const RECT& rect, HBRUSH brush)
{
    SyncState(dc);
    const int index = ObjectIndex(dc, brush);
    TEmrRecord& record = Append(dc, EMR_FRAMERGN, {index, 1, 1});
    record.Rect = rect;
    SetDrawingBounds(dc, record, rect);
    return 1;
}

BOOL RecordFocusRect(TDeviceContext& dc, const RECT& rect)
{
    SyncState(dc);
    TEmrRecord& record = Append(dc, EMR_INVERTRGN, {1}); // 1: the dotted focus frame
    record.Rect = rect;
    SetDrawingBounds(dc, record, rect);
    return TRUE;
}

BOOL RecordSetPixel(TDeviceContext& dc, int x, int y, COLORREF color)
{
    SyncState(dc);
    TEmrRecord& record = Append(dc, EMR_SETPIXELV, {x, y, static_cast<int>(color)});
    SetDrawingBounds(dc, record, {x, y, x + 1, y + 1});
    return TRUE;
}

BOOL RecordFloodFill(TDeviceContext& dc, int x, int y, COLORREF color, UINT type)
{
    SyncState(dc);
    Append(dc, EMR_EXTFLOODFILL, {x, y, static_cast<int>(color), static_cast<int>(type)});
    return TRUE;
}

BOOL RecordBlt(TDeviceContext& dc, int x, int y, int width, int height, TDeviceContext* source, int xSource,
               int ySource, int widthSource, int heightSource, DWORD rop)
{
    SyncState(dc);
    TEmrRecord& record = Append(dc, width == widthSource && height == heightSource ? EMR_BITBLT : EMR_STRETCHBLT,
                                {x, y, width, height, widthSource, heightSource, static_cast<int>(rop)});
    if (source) {
        Gdi::TTarget target;
        if (Gdi::TargetOf(*source, target)) {
            const TPoint origin = Gdi::ToDevice(*source, {xSource, ySource});
            const int sx = std::min(origin.X, origin.X + widthSource + (widthSource < 0 ? 1 : 0));
            const int sy = std::min(origin.Y, origin.Y + heightSource + (heightSource < 0 ? 1 : 0));
            QImage copy(std::abs(widthSource), std::abs(heightSource), QImage::Format_RGB32);
            copy.fill(0xFFFFFFFFu);
            const QRect area(sx + target.Origin.X, sy + target.Origin.Y, copy.width(), copy.height());
            const QRect inside = area & target.Bounds;
            for (int row = inside.top(); row <= inside.bottom(); ++row)
                std::copy_n(reinterpret_cast<const std::uint32_t*>(target.Image->constScanLine(row)) + inside.left(),
                            inside.width(),
                            reinterpret_cast<std::uint32_t*>(copy.scanLine(row - area.top())) + (inside.left() - area.left()));
            record.Image = copy;
            record.ImageMono = target.Mono;
            if (widthSource < 0 || heightSource < 0)
                record.Values[4] = std::abs(widthSource), record.Values[5] = std::abs(heightSource);
            if (widthSource < 0)
                record.Values[2] = -record.Values[2];
            if (heightSource < 0)
                record.Values[3] = -record.Values[3];
            record.Values[6] = static_cast<int>(rop);
        }
    }
    record.Values.push_back(source ? 1 : 0);
    SetDrawingBounds(dc, record, {std::min(x, x + width), std::min(y, y + height), std::max(x, x + width),
                                  std::max(y, y + height)});
    return TRUE;
}

BOOL RecordRegion(TDeviceContext& dc, DWORD type, const QRegion& region, HBRUSH brush, int width, int height)
{
    SyncState(dc);
    const int index = brush ? ObjectIndex(dc, brush) : 0;
    TEmrRecord& record = Append(dc, type, {index, width, height});
    record.Region = region;
    const QRect box = region.boundingRect();
    SetDrawingBounds(dc, record, {box.left(), box.top(), box.right() + 1, box.bottom() + 1});
    return TRUE;
}

void RecordText(TDeviceContext& dc, int x, int y, UINT options, const RECT* rect, std::u16string text,
                std::vector<int> dx, const TRect& bounds)
{
    SyncState(dc, true);
    TEmrRecord& record = Append(dc, EMR_EXTTEXTOUTW, {x, y, static_cast<int>(options), rect ? 1 : 0});
    if (rect)
        record.Rect = *rect;
    record.Text = std::move(text);
    record.Dx = std::move(dx);
    SetDrawingBounds(dc, record, bounds);
}

void RecordClip(TDeviceContext& dc, DWORD type, const TRect& rect, const QRegion& region, int mode)
{
    SyncState(dc);
    TEmrRecord& record = Append(dc, type, {mode});
    record.Rect = rect;
    record.Region = region;
}

void RecordSaveRestore(TDeviceContext& dc, DWORD type, int level)
{
    TMetafileRecorder& recorder = *dc.Recorder;
    Append(dc, type, {level});
    if (type == EMR_SAVEDC) {
        recorder.SavedStates.push_back(recorder.Last);
        return;
    }
    const int depth = static_cast<int>(recorder.SavedStates.size());
    const int target = level < 0 ? depth + level + 1 : level;
    if (target >= 1 && target <= depth) {
        recorder.Last = recorder.SavedStates[static_cast<std::size_t>(target - 1)];
        recorder.SavedStates.resize(static_cast<std::size_t>(target - 1));
    }
}

} // namespace Metafiles

// ---- playing

namespace {

struct TPlayer {
    HDC Dc;
    int Dx, Dy; // where the recording's device (0, 0) lands
    std::map<int, HGDIOBJ> Objects;

    HGDIOBJ Object(int index)
    {
        if (static_cast<DWORD>(index) & ENHMETA_STOCK_OBJECT)
            return GetStockObject(static_cast<int>(static_cast<DWORD>(index) & ~ENHMETA_STOCK_OBJECT));
        auto found = Objects.find(index);
        return found == Objects.end() ? nullptr : found->second;
    }

    void Create(int index, HGDIOBJ object)
    {
        Forget(index);
        Objects[index] = object;
    }

    void Forget(int index)
    {
        auto found = Objects.find(index);
        if (found != Objects.end()) {
            DeleteObject(found->second);
            Objects.erase(found);
        }
    }

    ~TPlayer()
    {
        for (auto& entry : Objects)
            DeleteObject(entry.second);
    }

    void Play(const TEmrRecord& r)
    {
        const TEmrValues& v = r.Values;
        const TRect& q = r.Rect;
        switch (r.Type) {
        case EMR_SETWINDOWORGEX:
            SetWindowOrgEx(Dc, v[0], v[1], nullptr);
            break;
        case EMR_SETVIEWPORTORGEX:
            SetViewportOrgEx(Dc, v[0] + Dx, v[1] + Dy, nullptr);
            break;
        case EMR_SETBKMODE:
            SetBkMode(Dc, v[0]);
            break;
        case EMR_SETBKCOLOR:
            SetBkColor(Dc, static_cast<COLORREF>(v[0]));
            break;
        case EMR_SETTEXTCOLOR:
            SetTextColor(Dc, static_cast<COLORREF>(v[0]));
            break;
        case EMR_SETROP2:
            SetROP2(Dc, v[0]);
            break;
        case EMR_SETSTRETCHBLTMODE:
            SetStretchBltMode(Dc, v[0]);
            break;
        case EMR_SETPOLYFILLMODE:
            SetPolyFillMode(Dc, v[0]);
            break;
        case EMR_SETTEXTALIGN:
            SetTextAlign(Dc, static_cast<UINT>(v[0]));
            break;
        case EMR_SAVEDC:
            SaveDC(Dc);
            break;
        case EMR_RESTOREDC:
            RestoreDC(Dc, v[0]);
            break;
        case EMR_CREATEPEN:
            Create(v[0], CreatePenIndirect(r.Pen));
            break;
        case EMR_CREATEBRUSHINDIRECT:
            Create(v[0], CreateBrushIndirect(r.Brush));
            break;
        case EMR_CREATEDIBPATTERNBRUSHPT: {
            HBITMAP pattern = Gdi::CreateBitmapFromImage(r.Image, r.ImageMono);
            Create(v[0], CreatePatternBrush(pattern));
            DeleteObject(pattern);
            break;
        }
        case EMR_EXTCREATEFONTINDIRECTW:
            Create(v[0], CreateFontIndirectA(r.Font));
            break;
        case EMR_SELECTOBJECT:
            if (HGDIOBJ object = Object(v[0]))
                SelectObject(Dc, object);
            break;
        case EMR_DELETEOBJECT:
            Forget(v[0]);
            break;
        case EMR_INTERSECTCLIPRECT:
            IntersectClipRect(Dc, q.Left, q.Top, q.Right, q.Bottom);
            break;
        case EMR_EXCLUDECLIPRECT:
            ExcludeClipRect(Dc, q.Left, q.Top, q.Right, q.Bottom);
            break;
        case EMR_EXTSELECTCLIPRGN: {
            if (r.Region.isEmpty() && v[0] == RGN_COPY) {
                SelectClipRgn(Dc, nullptr);
                break;
            }
            auto object = std::make_shared<TGdiObject>();
            object->Kind = TGdiKind::Region;
            object->Region = r.Region.translated(Dx, Dy);
            HGDIOBJ region = Gdi::AddObject(object);
            ExtSelectClipRgn(Dc, region, v[0]);
            DeleteObject(region);
            break;
        }
        case EMR_MOVETOEX:
            MoveToEx(Dc, v[0], v[1], nullptr);
            break;
        case EMR_LINETO:
            LineTo(Dc, v[0], v[1]);
            break;
        case EMR_POLYLINE:
            Polyline(Dc, r.Points.data(), static_cast<int>(r.Points.size()));
            break;
        case EMR_POLYGON:
            Polygon(Dc, r.Points.data(), static_cast<int>(r.Points.size()));
            break;
        case EMR_RECTANGLE:
            Rectangle(Dc, q.Left, q.Top, q.Right, q.Bottom);
            break;
        case EMR_ROUNDRECT:
            RoundRect(Dc, q.Left, q.Top, q.Right, q.Bottom, v[0], v[1]);
            break;
        case EMR_ELLIPSE:
            Ellipse(Dc, q.Left, q.Top, q.Right, q.Bottom);
            break;
        case EMR_ARC:
            Arc(Dc, q.Left, q.Top, q.Right, q.Bottom, v[0], v[1], v[2], v[3]);
            break;
        case EMR_CHORD:
            Chord(Dc, q.Left, q.Top, q.Right, q.Bottom, v[0], v[1], v[2], v[3]);
            break;
        case EMR_PIE:
            Pie(Dc, q.Left, q.Top, q.Right, q.Bottom, v[0], v[1], v[2], v[3]);
            break;
        case EMR_SETPIXELV:
            SetPixelV(Dc, v[0], v[1], static_cast<COLORREF>(v[2]));
            break;
        case EMR_EXTFLOODFILL:
            ExtFloodFill(Dc, v[0], v[1], static_cast<COLORREF>(v[2]), static_cast<UINT>(v[3]));
            break;
        case EMR_FILLRGN:
            if (r.Region.isEmpty())
                FillRect(Dc, &q, Object(v[0]));
            else
                RegionCall(r, [&](HRGN region) { FillRgn(Dc, region, Object(v[0])); });
            break;
        case EMR_FRAMERGN:
            if (r.Region.isEmpty())
                FrameRect(Dc, &q, Object(v[0]));
            else
                RegionCall(r, [&](HRGN region) { FrameRgn(Dc, region, Object(v[0]), v[1], v[2]); });
            break;
        case EMR_INVERTRGN:
            if (r.Region.isEmpty())
                DrawFocusRect(Dc, &q);
            else
                RegionCall(r, [&](HRGN region) { InvertRgn(Dc, region); });
            break;
        case EMR_BITBLT:
        case EMR_STRETCHBLT:
        case EMR_STRETCHDIBITS: {
            const bool hasSource = v.size() > 7 && v[7] != 0 && !r.Image.isNull();
            if (!hasSource) {
                PatBlt(Dc, v[0], v[1], v[2], v[3], static_cast<DWORD>(v[6]));
                break;
            }
            HBITMAP bitmap = Gdi::CreateBitmapFromImage(r.Image, r.ImageMono);
            HDC source = CreateCompatibleDC(nullptr);
            HGDIOBJ old = SelectObject(source, bitmap);
            StretchBlt(Dc, v[0], v[1], v[2], v[3], source, 0, 0, v[4], v[5], static_cast<DWORD>(v[6]));
            SelectObject(source, old);
            DeleteDC(source);
            DeleteObject(bitmap);
            break;
        }
        case EMR_EXTTEXTOUTW: {
            const std::string text = Utf16ToAnsi(r.Text);
            Gdi::DrawTextLine(Dc, v[0], v[1], static_cast<UINT>(v[2]), v[3] ? &q : nullptr, text, &r.Dx);
            break;
        }
        default:
            break;
        }
    }

    template <typename F>
    void RegionCall(const TEmrRecord& r, F call)
    {
        auto object = std::make_shared<TGdiObject>();
        object->Kind = TGdiKind::Region;
        object->Region = r.Region;
        HGDIOBJ region = Gdi::AddObject(object);
        call(region);
        DeleteObject(region);
    }
};

void PlayRecords(HDC dc, const TMetafileImage& image, int dx, int dy)
{
    const int level = SaveDC(dc);
    POINT viewport;
    GetViewportOrgEx(dc, &viewport);
    TPlayer player{dc, dx + viewport.X, dy + viewport.Y, {}};
    // The recording starts from the default state of a context.
    SetViewportOrgEx(dc, player.Dx, player.Dy, nullptr);
    SetWindowOrgEx(dc, 0, 0, nullptr);
    SelectObject(dc, GetStockObject(BLACK_PEN));
    SelectObject(dc, GetStockObject(WHITE_BRUSH));
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    SetTextColor(dc, 0);
    SetBkColor(dc, 0xFFFFFF);
    SetBkMode(dc, OPAQUE);
    SetROP2(dc, R2_COPYPEN);
    SetStretchBltMode(dc, BLACKONWHITE);
    SetPolyFillMode(dc, ALTERNATE);
    SetTextAlign(dc, 0);
    for (const TEmrRecord& record : image.Records)
        player.Play(record);
    RestoreDC(dc, level);
}

// The records played at the recorded size on a bitmap filled with one colour.
QImage PlayOnto(const TMetafileImage& image, std::uint32_t background)
{
    const TRect& frame = image.Frame;
    QImage pixels(frame.Width(), frame.Height(), QImage::Format_RGB32);
    pixels.fill(background);
    HBITMAP bitmap = Gdi::CreateBitmapFromImage(pixels, false);
    HDC work = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(work, bitmap);
    PlayRecords(work, image, -frame.Left, -frame.Top);
    SelectObject(work, old);
    DeleteDC(work);
    pixels = Gdi::FindBitmap(bitmap)->Image;
    DeleteObject(bitmap);
    return pixels;
}

// Replays the records stretched from the frame to rect. Played over black and over white, a pixel
// the records painted is the same on both, one they left alone is black and white, and one in
// between (the soft edge of a glyph) tells how much of what lies below shows through; so the
// stretched drawing is laid over the destination without touching the rest of it.
void PlayStretched(HDC dc, const TMetafileImage& image, const RECT& rect)
{
    const QImage overBlack = PlayOnto(image, 0xFF000000u), overWhite = PlayOnto(image, 0xFFFFFFFFu);
    const int frameWidth = image.Frame.Width(), frameHeight = image.Frame.Height();
    const int width = std::abs(rect.Width()), height = std::abs(rect.Height());
    const int left = std::min(rect.Left, rect.Right), top = std::min(rect.Top, rect.Bottom);
    HBITMAP bitmap = CreateBitmap(width, height, 1, 32, nullptr);
    HDC work = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(work, bitmap);
    BitBlt(work, 0, 0, width, height, dc, left, top, SRCCOPY);
    QImage& below = Gdi::FindBitmap(bitmap)->Image;
    for (int y = 0; y < height; ++y) {
        const int row = y * frameHeight / height;
        const int sourceRow = rect.Height() < 0 ? frameHeight - 1 - row : row;
        const auto* black = reinterpret_cast<const std::uint32_t*>(overBlack.constScanLine(sourceRow));
        const auto* white = reinterpret_cast<const std::uint32_t*>(overWhite.constScanLine(sourceRow));
        auto* out = reinterpret_cast<std::uint32_t*>(below.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int column = x * frameWidth / width;
            const int sourceColumn = rect.Width() < 0 ? frameWidth - 1 - column : column;
            const std::uint32_t b = black[sourceColumn], w = white[sourceColumn], d = out[x];
            if (b == w) {
                out[x] = b;
                continue;
            }
            std::uint32_t pixel = 0xFF000000u;
            for (int shift = 0; shift <= 16; shift += 8) {
                const int low = (b >> shift) & 0xFF, high = (w >> shift) & 0xFF, under = (d >> shift) & 0xFF;
                const int value = low + (under * std::max(0, high - low) + 127) / 255;
                pixel |= static_cast<std::uint32_t>(std::min(value, 255)) << shift;
            }
            out[x] = pixel;
        }
    }
    BitBlt(dc, left, top, width, height, work, 0, 0, SRCCOPY);
    SelectObject(work, old);
    DeleteDC(work);
    DeleteObject(bitmap);
}

} // namespace

BOOL PlayEnhMetaFile(HDC dc, HENHMETAFILE metafile, const RECT* rect)
{
    std::shared_ptr<TMetafileImage> image = FindHandle(metafile);
    if (!image || !rect || !Gdi::FindDC(dc))
        return FALSE;
    const TRect& frame = image->Frame;
    if (rect->Width() == frame.Width() && rect->Height() == frame.Height()) {
        PlayRecords(dc, *image, rect->Left - frame.Left, rect->Top - frame.Top);
        return TRUE;
    }
    if (frame.Width() <= 0 || frame.Height() <= 0 || rect->Width() == 0 || rect->Height() == 0)
        return TRUE;
    PlayStretched(dc, *image, *rect);
    return TRUE;
}

BOOL EnumEnhMetaFile(HDC dc, HENHMETAFILE metafile, ENHMFENUMPROC callback, LPARAM data, const RECT*)
{
    std::shared_ptr<TMetafileImage> image = FindHandle(metafile);
    if (!image || !callback)
        return FALSE;
    for (std::size_t i = 0; i < image->Records.size(); ++i)
        if (callback(dc, image->Records[i], static_cast<int>(i), data) == 0)
            return FALSE;
    return TRUE;
}

DWORD EmrRecordType(const TEmrRecord& record)
{
    return record.Type;
}

TRect EmrRecordBounds(const TEmrRecord& record)
{
    return record.Bounds;
}

std::u16string EmrRecordText(const TEmrRecord& record)
{
    return record.Type == EMR_EXTTEXTOUTW ? record.Text : std::u16string();
}

UINT GetEnhMetaFileHeader(HENHMETAFILE metafile, UINT size, ENHMETAHEADER* header)
{
    std::shared_ptr<TMetafileImage> image = FindHandle(metafile);
    if (!image)
        return 0;
    if (!header)
        return sizeof(ENHMETAHEADER);
    if (size < sizeof(ENHMETAHEADER))
        return 0;
    *header = ENHMETAHEADER();
    header->rclBounds = image->Bounds;
    const TRect& f = image->Frame;
    const int dpiX = image->ReferenceDpiX, dpiY = image->ReferenceDpiY;
    header->rclFrame = {MulDiv(f.Left, 2540, dpiX), MulDiv(f.Top, 2540, dpiY), MulDiv(f.Right, 2540, dpiX),
                        MulDiv(f.Bottom, 2540, dpiY)};
    header->nRecords = static_cast<DWORD>(image->Records.size());
    header->nDescription = static_cast<DWORD>(image->Description.size());
    header->szlDevice = {image->ReferenceWidth, image->ReferenceHeight};
    header->szlMillimeters = {MulDiv(image->ReferenceWidth, 254, dpiX * 10), MulDiv(image->ReferenceHeight, 254, dpiY * 10)};
    return sizeof(ENHMETAHEADER);
}

HENHMETAFILE CopyEnhMetaFile(HENHMETAFILE metafile, const char*)
{
    std::shared_ptr<TMetafileImage> image = FindHandle(metafile);
    return image ? AddHandle(image) : nullptr;
}

BOOL DeleteEnhMetaFile(HENHMETAFILE metafile)
{
    auto& table = Handles();
    std::lock_guard lock(table.Mutex);
    return table.Images.erase(reinterpret_cast<std::uintptr_t>(metafile)) > 0;
}

TMetafileWriter SetMetafileWriter(bool enhanced, TMetafileWriter writer)
{
    TMetafileWriter& slot = Writer(enhanced);
    TMetafileWriter previous = std::move(slot);
    slot = std::move(writer);
    return previous;
}

// ---- TMetafile

TMetafile::TMetafile() = default;

TMetafile::~TMetafile()
{
    if (FHandle)
        DeleteEnhMetaFile(FHandle);
}

void TMetafile::Clear()
{
    if (FHandle)
        DeleteEnhMetaFile(FHandle);
    FHandle = nullptr;
    FImage.reset();
    FSource.clear();
    FWidth = FHeight = 0;
    Changed(this);
}

bool TMetafile::Empty() const { return !FImage && FSource.empty(); }

int TMetafile::Width() const
{
    if (FImage && FWidth == 0)
        return FImage->Frame.Width();
    return FWidth;
}

int TMetafile::Height() const
{
    if (FImage && FHeight == 0)
        return FImage->Frame.Height();
    return FHeight;
}

void TMetafile::SetWidth(int value)
{
    FWidth = std::max(0, value);
    Changed(this);
}

void TMetafile::SetHeight(int value)
{
    FHeight = std::max(0, value);
    Changed(this);
}

int TMetafile::MMWidth() const { return MulDiv(Width(), 2540, 96); }
int TMetafile::MMHeight() const { return MulDiv(Height(), 2540, 96); }
void TMetafile::SetMMWidth(int value) { SetWidth(MulDiv(value, 96, 2540)); }
void TMetafile::SetMMHeight(int value) { SetHeight(MulDiv(value, 96, 2540)); }

std::string TMetafile::CreatedBy() const { return FImage ? FImage->CreatedBy : std::string(); }
std::string TMetafile::Description() const { return FImage ? FImage->Description : std::string(); }

HENHMETAFILE TMetafile::Handle() const { return FHandle; }

void TMetafile::SetHandle(HENHMETAFILE value)
{
    std::shared_ptr<TMetafileImage> image = FindHandle(value);
    if (FHandle && FHandle != value)
        DeleteEnhMetaFile(FHandle);
    FHandle = image ? value : nullptr;
    FImage = image;
    FSource.clear();
    FWidth = FHeight = 0;
    Changed(this);
}

const std::vector<TEmrRecord>& TMetafile::Records() const
{
    static const std::vector<TEmrRecord> none;
    return FImage ? FImage->Records : none;
}

void TMetafile::Assign(TPersistent* Source)
{
    if (!Source) {
        Clear();
        return;
    }
    if (auto* metafile = dynamic_cast<TMetafile*>(Source)) {
        if (metafile == this)
            return;
        if (FHandle)
            DeleteEnhMetaFile(FHandle);
        FImage = metafile->FImage;
        FHandle = FImage ? AddHandle(FImage) : nullptr;
        FSource = metafile->FSource;
        FWidth = metafile->FWidth;
        FHeight = metafile->FHeight;
        FInch = metafile->FInch;
        FEnhanced = metafile->FEnhanced;
        Changed(this);
        return;
    }
    TGraphic::Assign(Source);
}

static std::uint32_t U32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void TMetafile::LoadFromStream(TStream& stream)
{
    const std::int64_t remaining = stream.Size() - stream.Position();
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::max<std::int64_t>(remaining, 0)));
    if (!bytes.empty())
        stream.ReadBuffer(bytes.data(), static_cast<int>(bytes.size()));
    int width = 0, height = 0, inch = 0;
    bool enhanced = true;
    const std::size_t size = bytes.size();
    if (size >= 44 && U32(bytes.data()) == 1 && std::memcmp(bytes.data() + 40, " EMF", 4) == 0) {
        // A whole header, and every record inside the data, else the size stays unknown.
        bool sound = size >= 88;
        std::size_t at = 0;
        while (sound && at < size) {
            if (at + 8 > size) {
                sound = false;
                break;
            }
            const std::uint32_t recordSize = U32(bytes.data() + at + 4);
            if (recordSize < 8 || recordSize % 4 != 0 || recordSize > size - at) {
                sound = false;
                break;
            }
            if (U32(bytes.data() + at) == EMR_EOF)
                break;
            at += recordSize;
        }
        if (sound) {
            const auto frame = [&](int i) { return static_cast<std::int32_t>(U32(bytes.data() + 24 + 4 * i)); };
            // Frames of damaged files may span more than an int holds; such a size is unknown.
            const auto span = [&](int from, int to) {
                const std::int64_t extent = static_cast<std::int64_t>(frame(to)) - frame(from);
                if (extent > std::numeric_limits<int>::max() || extent < 0)
                    return 0;
                return MulDiv(static_cast<int>(extent), 96, 2540);
            };
            width = span(0, 2);
            height = span(1, 3);
        }
    } else if (size >= 22 && U32(bytes.data()) == 0x9AC6CDD7u) {
        const auto word = [&](int at) { return static_cast<std::int16_t>(bytes[at] | (bytes[at + 1] << 8)); };
        inch = static_cast<std::uint16_t>(word(14));
        if (inch > 0) {
            width = MulDiv(word(10) - word(6), 96, inch);
            height = MulDiv(word(12) - word(8), 96, inch);
        }
        enhanced = false;
    } else if (size >= 4 && ((bytes[0] == 1 || bytes[0] == 2) && bytes[1] == 0 && bytes[2] == 9 && bytes[3] == 0)) {
        enhanced = false;
    } else {
        RAISE(EInvalidGraphic("Metafile is not valid"));
    }
    if (FHandle)
        DeleteEnhMetaFile(FHandle);
    FHandle = nullptr;
    FImage.reset();
    FSource = std::move(bytes);
    FWidth = std::max(0, width);
    FHeight = std::max(0, height);
    FInch = inch;
    FEnhanced = enhanced;
    Changed(this);
}

void TMetafile::SaveToStream(TStream& stream)
{
    if (!FSource.empty()) {
        stream.WriteBuffer(FSource.data(), static_cast<int>(FSource.size()));
        return;
    }
    if (!FImage)
        return;
    TMetafileWriter& writer = Writer(FEnhanced);
    if (!writer)
        RAISE(EInvalidGraphicOperation("Scrittura del metafile non disponibile"));
    writer(*this, stream);
}

void TMetafile::Draw(TCanvas* canvas, const TRect& rect)
{
    HDC dc = canvas->Handle();
    if (FHandle) {
        PlayEnhMetaFile(dc, FHandle, &rect);
        return;
    }
    if (FSource.empty() || Width() == 0 || Height() == 0)
        return;
    // No player for stored metafiles: a grey frame with both diagonals stands for the picture.
    const int level = SaveDC(dc);
    HPEN pen = CreatePen(PS_SOLID, 1, ColorToRGB(clGray));
    SelectObject(dc, pen);
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    SetROP2(dc, R2_COPYPEN);
    Rectangle(dc, rect.Left, rect.Top, rect.Right, rect.Bottom);
    MoveToEx(dc, rect.Left, rect.Top, nullptr);
    LineTo(dc, rect.Right - 1, rect.Bottom - 1);
    MoveToEx(dc, rect.Right - 1, rect.Top, nullptr);
    LineTo(dc, rect.Left, rect.Bottom - 1);
    RestoreDC(dc, level);
    DeleteObject(pen);
}

// ---- TMetafileCanvas

TMetafileCanvas::TMetafileCanvas(TMetafile* metafile, HDC referenceDevice) : FMetafile(metafile)
{
    auto dc = std::make_unique<TDeviceContext>();
    dc->Kind = TDcKind::Metafile;
    dc->Recorder = std::make_shared<TMetafileRecorder>();
    const HDC reference = IsDeviceContext(referenceDevice) ? referenceDevice : nullptr;
    HDC screen = reference ? nullptr : CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    const HDC measured = reference ? reference : screen;
    dc->Reference = reference;
    dc->ReferenceWidth = GetDeviceCaps(measured, HORZRES);
    dc->ReferenceHeight = GetDeviceCaps(measured, VERTRES);
    dc->ReferenceDpiX = std::max(1, GetDeviceCaps(measured, LOGPIXELSX));
    dc->ReferenceDpiY = std::max(1, GetDeviceCaps(measured, LOGPIXELSY));
    if (FMetafile) {
        dc->FrameWidth = FMetafile->FWidth;
        dc->FrameHeight = FMetafile->FHeight;
    }
    if (screen)
        DeleteDC(screen);
    dc->State.Pen = GetStockObject(BLACK_PEN);
    dc->State.Brush = GetStockObject(WHITE_BRUSH);
    dc->State.Font = GetStockObject(SYSTEM_FONT);
    dc->State.Palette = GetStockObject(DEFAULT_PALETTE);
    dc->Recorder->Last.Pen = dc->State.Pen;
    dc->Recorder->Last.Brush = dc->State.Brush;
    dc->Recorder->Last.Font = dc->State.Font;
    // The header leads the records; it is filled in when the recording closes.
    dc->Recorder->Image->Records.reserve(64);
    dc->Recorder->Image->Records.emplace_back().Type = EMR_HEADER;
    FRecordingDC = Gdi::AddDC(std::move(dc));
    SetHandle(FRecordingDC);
}

std::unique_ptr<TMetafileCanvas> TMetafileCanvas::CreateWithComment(TMetafile* metafile, HDC referenceDevice,
                                                                    const std::string& createdBy,
                                                                    const std::string& description)
{
    auto canvas = std::make_unique<TMetafileCanvas>(metafile, referenceDevice);
    canvas->FCreatedBy = createdBy;
    canvas->FDescription = description;
    return canvas;
}

TMetafileCanvas::~TMetafileCanvas()
{
    TDeviceContext* dc = Gdi::FindDC(FRecordingDC);
    SetHandle(nullptr);
    if (!dc)
        return;
    std::shared_ptr<TMetafileImage> image = dc->Recorder->Image;
    image->CreatedBy = FCreatedBy;
    image->Description = FDescription;
    image->ReferenceWidth = dc->ReferenceWidth;
    image->ReferenceHeight = dc->ReferenceHeight;
    image->ReferenceDpiX = dc->ReferenceDpiX;
    image->ReferenceDpiY = dc->ReferenceDpiY;
    if (FMetafile && (FMetafile->FWidth > 0 || FMetafile->FHeight > 0))
        image->Frame = {0, 0, FMetafile->FWidth, FMetafile->FHeight};
    else
        image->Frame = image->HasBounds ? image->Bounds : TRect{};
    TEmrRecord& header = image->Records.front();
    header.Bounds = image->Bounds;
    header.Rect = image->Frame;
    header.Comment = FCreatedBy.empty() && FDescription.empty() ? std::string() : FCreatedBy + '\0' + FDescription;
    image->Records.emplace_back().Type = EMR_EOF;
    DeleteDC(FRecordingDC);
    if (FMetafile) {
        if (FMetafile->FHandle)
            DeleteEnhMetaFile(FMetafile->FHandle);
        FMetafile->FImage = image;
        FMetafile->FHandle = AddHandle(image);
        FMetafile->FSource.clear();
        FMetafile->Changed(FMetafile);
    }
}
