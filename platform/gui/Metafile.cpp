#include "platform/gui/Metafile.h"

#include "platform/gui/GdiDraw.h"
#include "platform/gui/Regions.h"
#include "platform/gui/TextOutput.h"
#include "platform/gui/private/GdiPaint.h"
#include "platform/gui/private/MetafileRecording.h"
#include "platform/rtl/Codepage.h"

#include <algorithm>
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
    std::map<HGDIOBJ, int> ObjectIndexes;
    int NextIndex = 1;
};

namespace {

constexpr DWORD StockFlag = 0x80000000u;

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

TEmrRecord Make(DWORD type, std::vector<int> values = {})
{
    TEmrRecord record;
    record.Type = type;
    record.Values = std::move(values);
    return record;
}

void Push(TDeviceContext& dc, TEmrRecord record) { dc.Recorder->Image->Records.push_back(std::move(record)); }

int StockIndex(HGDIOBJ handle)
{
    for (int i = 0; i <= DEFAULT_GUI_FONT; ++i)
        if (GetStockObject(i) == handle)
            return i;
    return -1;
}

// The index of an object in the metafile, with its creation record on first use.
int ObjectIndex(TDeviceContext& dc, HGDIOBJ handle)
{
    const int stock = StockIndex(handle);
    if (stock >= 0)
        return static_cast<int>(StockFlag | static_cast<DWORD>(stock));
    TMetafileRecorder& recorder = *dc.Recorder;
    auto found = recorder.ObjectIndexes.find(handle);
    if (found != recorder.ObjectIndexes.end())
        return found->second;
    TGdiObject* object = Gdi::Find(handle);
    if (!object)
        return static_cast<int>(StockFlag | static_cast<DWORD>(BLACK_PEN));
    const int index = recorder.NextIndex++;
    TEmrRecord record;
    record.Values = {index};
    switch (object->Kind) {
    case TGdiKind::Pen:
        record.Type = EMR_CREATEPEN;
        record.Pen = object->Pen;
        break;
    case TGdiKind::Brush:
        if (object->Pattern) {
            record.Type = EMR_CREATEDIBPATTERNBRUSHPT;
            record.Image = object->Pattern->Image;
            record.ImageMono = object->Pattern->Mono;
        } else {
            record.Type = EMR_CREATEBRUSHINDIRECT;
        }
        record.Brush = object->Brush;
        break;
    case TGdiKind::Font:
        record.Type = EMR_EXTCREATEFONTINDIRECTW;
        record.Font = object->Font;
        break;
    default:
        return static_cast<int>(StockFlag | static_cast<DWORD>(BLACK_PEN));
    }
    Push(dc, std::move(record));
    recorder.ObjectIndexes[handle] = index;
    return index;
}

void SyncObject(TDeviceContext& dc, HGDIOBJ current, HGDIOBJ& last)
{
    if (current == last)
        return;
    Push(dc, Make(EMR_SELECTOBJECT, {ObjectIndex(dc, current)}));
    last = current;
}

// Records the state a drawing call needs where it differs from the last recorded state.
void SyncState(TDeviceContext& dc, bool text = false)
{
    TMetafileRecorder::TRecordedState& last = dc.Recorder->Last;
    const TDcState& state = dc.State;
    auto sync = [&](auto current, auto& recorded, DWORD type, std::vector<int> values) {
        if (current == recorded)
            return;
        Push(dc, Make(type, std::move(values)));
        recorded = current;
    };
    sync(state.WindowOrg, last.WindowOrg, EMR_SETWINDOWORGEX, {state.WindowOrg.X, state.WindowOrg.Y});
    sync(state.ViewportOrg, last.ViewportOrg, EMR_SETVIEWPORTORGEX, {state.ViewportOrg.X, state.ViewportOrg.Y});
    sync(state.BkMode, last.BkMode, EMR_SETBKMODE, {state.BkMode});
    sync(state.BkColor, last.BkColor, EMR_SETBKCOLOR, {static_cast<int>(state.BkColor)});
    sync(state.TextColor, last.TextColor, EMR_SETTEXTCOLOR, {static_cast<int>(state.TextColor)});
    sync(state.Rop2, last.Rop2, EMR_SETROP2, {state.Rop2});
    sync(state.StretchMode, last.StretchMode, EMR_SETSTRETCHBLTMODE, {state.StretchMode});
    sync(state.PolyFillMode, last.PolyFillMode, EMR_SETPOLYFILLMODE, {state.PolyFillMode});
    sync(state.TextAlign, last.TextAlign, EMR_SETTEXTALIGN, {static_cast<int>(state.TextAlign)});
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

void PushDrawing(TDeviceContext& dc, TEmrRecord record, const TRect& logicalBounds)
{
    record.Bounds = DeviceBounds(dc, logicalBounds);
    Grow(dc, record.Bounds);
    Push(dc, std::move(record));
}

TRect PointsBounds(const std::vector<TPoint>& points)
{
    TRect r{points[0].X, points[0].Y, points[0].X + 1, points[0].Y + 1};
    for (const TPoint& p : points) {
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
    Push(dc, Make(EMR_MOVETOEX, {x, y}));
    return TRUE;
}

BOOL RecordLineTo(TDeviceContext& dc, int x, int y)
{
    SyncState(dc);
    const TPoint from = dc.State.CurrentPos;
    PushDrawing(dc, Make(EMR_LINETO, {x, y}), PointsBounds({from, {x, y}}));
    return TRUE;
}

BOOL RecordPoints(TDeviceContext& dc, DWORD type, const std::vector<TPoint>& points)
{
    SyncState(dc);
    TEmrRecord record = Make(type);
    record.Points = points;
    PushDrawing(dc, std::move(record), PointsBounds(points));
    return TRUE;
}

BOOL RecordRect(TDeviceContext& dc, DWORD type, const TRect& rect, const std::vector<int>& values)
{
    SyncState(dc);
    TEmrRecord record = Make(type, values);
    record.Rect = rect;
    PushDrawing(dc, std::move(record), rect);
    return TRUE;
}

int RecordFillRect(TDeviceContext& dc, const RECT& rect, HBRUSH brush)
{
    SyncState(dc);
    TEmrRecord record = Make(EMR_FILLRGN, {ObjectIndex(dc, brush)});
    record.Rect = rect;
    PushDrawing(dc, std::move(record), rect);
    return 1;
}

int RecordFrameRect(TDeviceContext& dc, const RECT& rect, HBRUSH brush)
{
    SyncState(dc);
    TEmrRecord record = Make(EMR_FRAMERGN, {ObjectIndex(dc, brush), 1, 1});
    record.Rect = rect;
    PushDrawing(dc, std::move(record), rect);
    return 1;
}

BOOL RecordFocusRect(TDeviceContext& dc, const RECT& rect)
{
    SyncState(dc);
    TEmrRecord record = Make(EMR_INVERTRGN, {1}); // 1: the dotted focus frame
    record.Rect = rect;
    PushDrawing(dc, std::move(record), rect);
    return TRUE;
}

BOOL RecordSetPixel(TDeviceContext& dc, int x, int y, COLORREF color)
{
    SyncState(dc);
    PushDrawing(dc, Make(EMR_SETPIXELV, {x, y, static_cast<int>(color)}), {x, y, x + 1, y + 1});
    return TRUE;
}

BOOL RecordFloodFill(TDeviceContext& dc, int x, int y, COLORREF color, UINT type)
{
    SyncState(dc);
    Push(dc, Make(EMR_EXTFLOODFILL, {x, y, static_cast<int>(color), static_cast<int>(type)}));
    return TRUE;
}

BOOL RecordBlt(TDeviceContext& dc, int x, int y, int width, int height, TDeviceContext* source, int xSource,
               int ySource, int widthSource, int heightSource, DWORD rop)
{
    SyncState(dc);
    TEmrRecord record = Make(width == widthSource && height == heightSource ? EMR_BITBLT : EMR_STRETCHBLT,
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
    PushDrawing(dc, std::move(record), {std::min(x, x + width), std::min(y, y + height), std::max(x, x + width),
                                        std::max(y, y + height)});
    return TRUE;
}

BOOL RecordRegion(TDeviceContext& dc, DWORD type, const QRegion& region, HBRUSH brush, int width, int height)
{
    SyncState(dc);
    TEmrRecord record = Make(type, {brush ? ObjectIndex(dc, brush) : 0, width, height});
    record.Region = region;
    const QRect box = region.boundingRect();
    PushDrawing(dc, std::move(record), {box.left(), box.top(), box.right() + 1, box.bottom() + 1});
    return TRUE;
}

void RecordText(TDeviceContext& dc, int x, int y, UINT options, const RECT* rect, const std::u16string& text,
                const std::vector<int>& dx, const TRect& bounds)
{
    SyncState(dc, true);
    TEmrRecord record = Make(EMR_EXTTEXTOUTW, {x, y, static_cast<int>(options), rect ? 1 : 0});
    if (rect)
        record.Rect = *rect;
    record.Text = text;
    record.Dx = dx;
    record.Bounds = DeviceBounds(dc, bounds);
    Grow(dc, record.Bounds);
    Push(dc, std::move(record));
}

void RecordClip(TDeviceContext& dc, DWORD type, const TRect& rect, const QRegion& region, int mode)
{
    SyncState(dc);
    TEmrRecord record = Make(type, {mode});
    record.Rect = rect;
    record.Region = region;
    Push(dc, std::move(record));
}

void RecordSaveRestore(TDeviceContext& dc, DWORD type, int level)
{
    TMetafileRecorder& recorder = *dc.Recorder;
    Push(dc, Make(type, {level}));
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
        if (static_cast<DWORD>(index) & StockFlag)
            return GetStockObject(static_cast<int>(static_cast<DWORD>(index) & ~StockFlag));
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
        const std::vector<int>& v = r.Values;
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
    // Scaled: played at the recorded size over a copy of what lies below, then stretched.
    HDC work = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateBitmap(frame.Width(), frame.Height(), 1, 32, nullptr);
    HGDIOBJ old = SelectObject(work, bitmap);
    SetStretchBltMode(work, COLORONCOLOR);
    StretchBlt(work, 0, 0, frame.Width(), frame.Height(), dc, rect->Left, rect->Top, rect->Width(), rect->Height(),
               SRCCOPY);
    PlayRecords(work, *image, -frame.Left, -frame.Top);
    const int mode = SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, rect->Left, rect->Top, rect->Width(), rect->Height(), work, 0, 0, frame.Width(), frame.Height(),
               SRCCOPY);
    SetStretchBltMode(dc, mode);
    SelectObject(work, old);
    DeleteDC(work);
    DeleteObject(bitmap);
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

HENHMETAFILE TMetafile::Handle() { return FHandle; }

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
    if (size >= 88 && U32(bytes.data()) == 1 && std::memcmp(bytes.data() + 40, " EMF", 4) == 0) {
        // Every record must lie inside the data, else the size stays unknown.
        bool sound = true;
        std::size_t at = 0;
        while (at < size) {
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
            width = MulDiv(frame(2) - frame(0), 96, 2540);
            height = MulDiv(frame(3) - frame(1), 96, 2540);
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
    if (screen)
        DeleteDC(screen);
    dc->State.Pen = GetStockObject(BLACK_PEN);
    dc->State.Brush = GetStockObject(WHITE_BRUSH);
    dc->State.Font = GetStockObject(SYSTEM_FONT);
    dc->State.Palette = GetStockObject(DEFAULT_PALETTE);
    dc->Recorder->Last.Pen = dc->State.Pen;
    dc->Recorder->Last.Brush = dc->State.Brush;
    dc->Recorder->Last.Font = dc->State.Font;
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
    TEmrRecord header;
    header.Type = EMR_HEADER;
    header.Bounds = image->Bounds;
    header.Rect = image->Frame;
    header.Comment = FCreatedBy.empty() && FDescription.empty() ? std::string() : FCreatedBy + '\0' + FDescription;
    image->Records.insert(image->Records.begin(), std::move(header));
    TEmrRecord eof;
    eof.Type = EMR_EOF;
    image->Records.push_back(std::move(eof));
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
