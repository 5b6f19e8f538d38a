#include "platform/gui/Regions.h"

#include "platform/gui/GdiDraw.h"
#include "platform/gui/private/GdiPaint.h"
#include "platform/gui/private/MetafileRecording.h"

#include <QPainterPath>
#include <QPolygon>

#include <algorithm>

using namespace Gdi;

namespace {

HRGN NewRegion(const QRegion& region)
{
    auto object = std::make_shared<TGdiObject>();
    object->Kind = TGdiKind::Region;
    object->Region = region;
    return AddObject(object);
}

TGdiObject* RegionObject(HRGN handle) { return Find(handle, TGdiKind::Region); }

int KindOf(const QRegion& region)
{
    if (region.isEmpty())
        return NULLREGION;
    return region.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

QRect Normalized(int left, int top, int right, int bottom)
{
    return QRect(QPoint(std::min(left, right), std::min(top, bottom)),
                 QPoint(std::max(left, right) - 1, std::max(top, bottom) - 1));
}

// A region of the pixels a filled Qt path covers.
QRegion PathRegion(const QPainterPath& path)
{
    const std::vector<TSpan> spans = MaskSpans(path.boundingRect().toAlignedRect().adjusted(-1, -1, 1, 1),
                                               [&](QPainter& painter) { painter.fillPath(path, Qt::white); });
    std::vector<QRect> rects;
    rects.reserve(spans.size());
    for (const TSpan& span : spans)
        rects.emplace_back(span.X0, span.Y, span.X1 - span.X0, 1);
    QRegion region;
    region.setRects(rects.data(), static_cast<int>(rects.size()));
    return region;
}

QRect LogicalToDevice(TDeviceContext& dc, int left, int top, int right, int bottom)
{
    const TPoint a = ToDevice(dc, {left, top}), b = ToDevice(dc, {right, bottom});
    return Normalized(a.X, a.Y, b.X, b.Y);
}

} // namespace

HRGN CreateRectRgn(int left, int top, int right, int bottom)
{
    return NewRegion(QRegion(Normalized(left, top, right, bottom)));
}

HRGN CreateRectRgnIndirect(const RECT* rect)
{
    return rect ? CreateRectRgn(rect->Left, rect->Top, rect->Right, rect->Bottom) : nullptr;
}

HRGN CreateEllipticRgn(int left, int top, int right, int bottom)
{
    QPainterPath path;
    const QRect r = Normalized(left, top, right, bottom);
    path.addEllipse(QRectF(r.left(), r.top(), r.width(), r.height()));
    return NewRegion(PathRegion(path));
}

HRGN CreateEllipticRgnIndirect(const RECT* rect)
{
    return rect ? CreateEllipticRgn(rect->Left, rect->Top, rect->Right, rect->Bottom) : nullptr;
}

HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int width, int height)
{
    QPainterPath path;
    const QRect r = Normalized(left, top, right, bottom);
    path.addRoundedRect(QRectF(r.left(), r.top(), r.width(), r.height()), width / 2.0, height / 2.0);
    return NewRegion(PathRegion(path));
}

HRGN CreatePolygonRgn(const POINT* points, int count, int fillMode)
{
    if (!points || count < 3)
        return NewRegion(QRegion());
    QPolygon polygon;
    for (int i = 0; i < count; ++i)
        polygon << QPoint(points[i].X, points[i].Y);
    QPainterPath path;
    path.addPolygon(QPolygonF(polygon));
    path.closeSubpath();
    path.setFillRule(fillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
    return NewRegion(PathRegion(path));
}

int CombineRgn(HRGN destination, HRGN source1, HRGN source2, int mode)
{
    TGdiObject* target = RegionObject(destination);
    TGdiObject* a = RegionObject(source1);
    TGdiObject* b = mode == RGN_COPY ? a : RegionObject(source2);
    if (!target || !a || !b)
        return ERROR;
    QRegion result;
    switch (mode) {
    case RGN_AND:
        result = a->Region & b->Region;
        break;
    case RGN_OR:
        result = a->Region | b->Region;
        break;
    case RGN_XOR:
        result = a->Region ^ b->Region;
        break;
    case RGN_DIFF:
        result = a->Region - b->Region;
        break;
    case RGN_COPY:
        result = a->Region;
        break;
    default:
        return ERROR;
    }
    target->Region = result;
    return KindOf(result);
}

int OffsetRgn(HRGN region, int dx, int dy)
{
    TGdiObject* object = RegionObject(region);
    if (!object)
        return ERROR;
    object->Region.translate(dx, dy);
    return KindOf(object->Region);
}

BOOL SetRectRgn(HRGN region, int left, int top, int right, int bottom)
{
    TGdiObject* object = RegionObject(region);
    if (!object)
        return FALSE;
    object->Region = QRegion(Normalized(left, top, right, bottom));
    return TRUE;
}

int GetRgnBox(HRGN region, RECT* rect)
{
    TGdiObject* object = RegionObject(region);
    if (!object || !rect)
        return ERROR;
    const QRect box = object->Region.boundingRect();
    *rect = object->Region.isEmpty() ? RECT{} : RECT{box.left(), box.top(), box.right() + 1, box.bottom() + 1};
    return KindOf(object->Region);
}

// The rectangles of a region lie in bands sorted from the top, each band's rectangles sharing
// their top and bottom and sorted from the left, so the band that holds y is found by halving
// instead of by walking every rectangle, as QRegion::contains does. Hit tests on large shapes
// (image maps under the mouse) stay cheap.
BOOL PtInRegion(HRGN region, int x, int y)
{
    TGdiObject* object = RegionObject(region);
    if (!object || !object->Region.boundingRect().contains(x, y))
        return FALSE;
    const QRegion& shape = object->Region;
    auto band = std::partition_point(shape.begin(), shape.end(), [y](const QRect& r) { return r.bottom() < y; });
    for (; band != shape.end() && band->top() <= y; ++band)
        if (band->left() <= x && x <= band->right())
            return TRUE;
    return FALSE;
}

BOOL RectInRegion(HRGN region, const RECT* rect)
{
    TGdiObject* object = RegionObject(region);
    return object && rect && object->Region.intersects(Normalized(rect->Left, rect->Top, rect->Right, rect->Bottom));
}

BOOL EqualRgn(HRGN a, HRGN b)
{
    TGdiObject* first = RegionObject(a);
    TGdiObject* second = RegionObject(b);
    if (!first || !second)
        return ERROR;
    return first->Region == second->Region;
}

static QRegion ToDeviceRegion(TDeviceContext& dc, const QRegion& logical)
{
    const TPoint offset = ToDevice(dc, {0, 0});
    return logical.translated(offset.X, offset.Y);
}

BOOL FillRgn(HDC dc, HRGN region, HBRUSH brush)
{
    TDeviceContext* context = FindDC(dc);
    TGdiObject* object = RegionObject(region);
    if (!context || !object || !Find(brush, TGdiKind::Brush))
        return FALSE;
    if (context->Recorder)
        return Metafiles::RecordRegion(*context, EMR_FILLRGN, object->Region, brush, 0, 0);
    TJob job;
    if (!BeginJob(dc, job))
        return TRUE;
    PaintSpans(job, RegionSpans(ToDeviceRegion(*context, object->Region)), BrushSource(job, brush), R2_COPYPEN);
    EndJob(job);
    return TRUE;
}

BOOL FrameRgn(HDC dc, HRGN region, HBRUSH brush, int width, int height)
{
    TDeviceContext* context = FindDC(dc);
    TGdiObject* object = RegionObject(region);
    if (!context || !object || !Find(brush, TGdiKind::Brush))
        return FALSE;
    if (context->Recorder)
        return Metafiles::RecordRegion(*context, EMR_FRAMERGN, object->Region, brush, width, height);
    // The frame: the region minus the region eroded by width x height.
    QRegion inner = object->Region;
    for (int dx = -width; dx <= width; ++dx)
        inner &= object->Region.translated(dx, 0);
    for (int dy = -height; dy <= height; ++dy)
        inner &= object->Region.translated(0, dy);
    TJob job;
    if (!BeginJob(dc, job))
        return TRUE;
    PaintSpans(job, RegionSpans(ToDeviceRegion(*context, object->Region - inner)), BrushSource(job, brush), R2_COPYPEN);
    EndJob(job);
    return TRUE;
}

BOOL InvertRgn(HDC dc, HRGN region)
{
    TDeviceContext* context = FindDC(dc);
    TGdiObject* object = RegionObject(region);
    if (!context || !object)
        return FALSE;
    if (context->Recorder)
        return Metafiles::RecordRegion(*context, EMR_INVERTRGN, object->Region, nullptr, 0, 0);
    TJob job;
    if (!BeginJob(dc, job))
        return TRUE;
    PaintSpans(job, RegionSpans(ToDeviceRegion(*context, object->Region)), ColorSource(0xFF000000u), R2_NOT);
    EndJob(job);
    return TRUE;
}

BOOL PaintRgn(HDC dc, HRGN region)
{
    TDeviceContext* context = FindDC(dc);
    return context ? FillRgn(dc, region, context->State.Brush) : FALSE;
}

int ExtSelectClipRgn(HDC dc, HRGN region, int mode)
{
    TDeviceContext* context = FindDC(dc);
    if (!context)
        return ERROR;
    TGdiObject* object = region ? RegionObject(region) : nullptr;
    if (region && !object)
        return ERROR;
    TDcState& state = context->State;
    if (!object) {
        if (mode != RGN_COPY)
            return ERROR;
        state.HasClip = false;
        state.Clip = QRegion();
    } else {
        const QRegion current = state.HasClip ? state.Clip : QRegion(QRect(-100000, -100000, 200000, 200000));
        switch (mode) {
        case RGN_COPY:
            state.Clip = object->Region;
            break;
        case RGN_AND:
            state.Clip = current & object->Region;
            break;
        case RGN_OR:
            state.Clip = current | object->Region;
            break;
        case RGN_XOR:
            state.Clip = current ^ object->Region;
            break;
        case RGN_DIFF:
            state.Clip = current - object->Region;
            break;
        default:
            return ERROR;
        }
        state.HasClip = true;
    }
    if (context->Recorder)
        Metafiles::RecordClip(*context, EMR_EXTSELECTCLIPRGN, {}, object ? object->Region : QRegion(), mode);
    return state.HasClip ? KindOf(state.Clip) : SIMPLEREGION;
}

int SelectClipRgn(HDC dc, HRGN region) { return ExtSelectClipRgn(dc, region, RGN_COPY); }

int GetClipRgn(HDC dc, HRGN region)
{
    TDeviceContext* context = FindDC(dc);
    TGdiObject* object = RegionObject(region);
    if (!context || !object)
        return -1;
    if (!context->State.HasClip)
        return 0;
    object->Region = context->State.Clip;
    return 1;
}

int GetClipBox(HDC dc, RECT* rect)
{
    TDeviceContext* context = FindDC(dc);
    if (!context || !rect)
        return ERROR;
    QRegion visible;
    TTarget target;
    if (TargetOf(*context, target))
        visible = QRegion(target.Bounds.translated(-target.Origin.X, -target.Origin.Y));
    else if (context->Kind == TDcKind::Metafile) {
        // A page recorded for a sheet taller than the screen must not cull what lies below the
        // screen's height: the metafile's own size counts as visible too.
        const int width = std::max({1, context->ReferenceWidth, context->FrameWidth});
        const int height = std::max({1, context->ReferenceHeight, context->FrameHeight});
        visible = QRegion(QRect(0, 0, width, height));
    }
    if (context->State.HasClip)
        visible &= context->State.Clip;
    const QRect box = visible.boundingRect();
    const TPoint a = ToLogical(*context, {box.left(), box.top()});
    *rect = visible.isEmpty() ? RECT{} : RECT{a.X, a.Y, a.X + box.width(), a.Y + box.height()};
    return KindOf(visible);
}

static int ChangeClip(HDC dc, int left, int top, int right, int bottom, bool intersect)
{
    TDeviceContext* context = FindDC(dc);
    if (!context)
        return ERROR;
    const QRect device = LogicalToDevice(*context, left, top, right, bottom);
    TDcState& state = context->State;
    if (context->Recorder)
        Metafiles::RecordClip(*context, intersect ? EMR_INTERSECTCLIPRECT : EMR_EXCLUDECLIPRECT,
                              {left, top, right, bottom}, QRegion(), 0);
    const QRegion current = state.HasClip ? state.Clip : QRegion(QRect(-100000, -100000, 200000, 200000));
    state.Clip = intersect ? current & QRegion(device) : current - QRegion(device);
    state.HasClip = true;
    return KindOf(state.Clip);
}

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom)
{
    return ChangeClip(dc, left, top, right, bottom, true);
}

int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom)
{
    return ChangeClip(dc, left, top, right, bottom, false);
}

int OffsetClipRgn(HDC dc, int dx, int dy)
{
    TDeviceContext* context = FindDC(dc);
    if (!context)
        return ERROR;
    if (!context->State.HasClip)
        return SIMPLEREGION;
    context->State.Clip.translate(dx, dy);
    return KindOf(context->State.Clip);
}

BOOL RectVisible(HDC dc, const RECT* rect)
{
    RECT box;
    if (!rect || GetClipBox(dc, &box) == ERROR)
        return FALSE;
    TDeviceContext* context = FindDC(dc);
    const QRect device = LogicalToDevice(*context, rect->Left, rect->Top, rect->Right, rect->Bottom);
    if (context->State.HasClip && !context->State.Clip.intersects(device))
        return FALSE;
    RECT overlap;
    return IntersectRect(overlap, box, *rect);
}

BOOL PtVisible(HDC dc, int x, int y)
{
    RECT r{x, y, x + 1, y + 1};
    return RectVisible(dc, &r);
}
