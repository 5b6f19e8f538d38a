#include "platform/gui/GdiDraw.h"
#include "platform/gui/TextOutput.h"

#include "platform/gui/private/DibLayout.h"
#include "platform/gui/private/GdiPaint.h"
#include "platform/gui/private/MetafileRecording.h"

#include <QPainterPath>
#include <QPainterPathStroker>

#include <algorithm>
#include <cstring>
#include <cmath>
#include <deque>
#include <numbers>
#include <vector>

namespace Gdi {

namespace {

bool IsNoColor(COLORREF color)
{
    return color == static_cast<COLORREF>(clNone) || color == static_cast<COLORREF>(clDefault);
}

const std::uint8_t HatchRows[6][8] = {
    {0x00, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00}, // horizontal
    {0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08}, // vertical
    {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01}, // forward diagonal: top-left to bottom-right
    {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80}, // backward diagonal
    {0x08, 0x08, 0x08, 0x08, 0xFF, 0x08, 0x08, 0x08}, // cross
    {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81}, // diagonal cross
};

std::uint32_t ForTarget(const TJob& job, std::uint32_t pixel) { return job.Target.Mono ? MonoPixel(pixel) : pixel; }

} // namespace

bool BeginJob(HDC dc, TJob& job)
{
    job = TJob();
    job.Dc = FindDC(dc);
    if (!job.Dc || !TargetOf(*job.Dc, job.Target))
        return false;
    const QRegion drawable = DrawableRegion(*job.Dc, job.Target);
    job.Clip.assign(drawable.begin(), drawable.end());
    return true;
}

void EndJob(TJob& job)
{
    if (!job.Touched.isEmpty())
        Touched(job.Target, job.Touched);
}

TSource ColorSource(std::uint32_t pixel)
{
    TSource source;
    source.Null = false;
    source.Color = pixel;
    return source;
}

TSource PenSource(TJob& job)
{
    TGdiObject* pen = Find(job.Dc->State.Pen, TGdiKind::Pen);
    if (!pen || (pen->Pen.lopnStyle & PS_STYLE_MASK) == PS_NULL || IsNoColor(pen->Pen.lopnColor))
        return TSource();
    return ColorSource(ForTarget(job, ToPixel(Resolve(pen->Pen.lopnColor))));
}

TSource BackgroundSource(TJob& job) { return ColorSource(ForTarget(job, ToPixel(job.Dc->State.BkColor))); }

TSource BrushSource(TJob& job, HGDIOBJ handle)
{
    TGdiObject* brush = Find(handle, TGdiKind::Brush);
    if (!brush || brush->Brush.lbStyle == BS_NULL)
        return TSource();
    const TDcState& state = job.Dc->State;
    TSource source;
    source.Null = false;
    source.Origin = state.BrushOrg;
    if (brush->Brush.lbStyle == BS_SOLID) {
        if (IsNoColor(brush->Brush.lbColor))
            return TSource();
        source.Color = ForTarget(job, ToPixel(Resolve(brush->Brush.lbColor)));
        return source;
    }
    if (brush->Brush.lbStyle == BS_HATCHED) {
        if (IsNoColor(brush->Brush.lbColor))
            return TSource();
        const int hatch = std::clamp(static_cast<int>(brush->Brush.lbHatch), 0, 5);
        const std::uint32_t fore = ForTarget(job, ToPixel(Resolve(brush->Brush.lbColor)));
        const std::uint32_t back =
            state.BkMode == OPAQUE ? ForTarget(job, ToPixel(state.BkColor)) : 0x00000000u;
        source.TileWidth = source.TileHeight = 8;
        source.Tile.resize(64);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                source.Tile[y * 8 + x] = (HatchRows[hatch][y] >> (7 - x)) & 1 ? fore : back;
        return source;
    }
    if (brush->Pattern) {
        const QImage& image = brush->Pattern->Image;
        source.TileWidth = image.width();
        source.TileHeight = image.height();
        source.Tile.resize(static_cast<std::size_t>(source.TileWidth) * source.TileHeight);
        const std::uint32_t text = ToPixel(state.TextColor), back = ToPixel(state.BkColor);
        for (int y = 0; y < source.TileHeight; ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
            for (int x = 0; x < source.TileWidth; ++x) {
                std::uint32_t pixel = row[x] | 0xFF000000u;
                if (brush->Pattern->Mono)
                    pixel = RasterOps::MonoToColor(pixel, text, back);
                source.Tile[y * source.TileWidth + x] = ForTarget(job, pixel);
            }
        }
        return source;
    }
    return TSource();
}

// Toggles the clipped spans on the target's overlay; true when the target has one.
static bool ToggleSpans(TJob& job, const std::vector<TSpan>& spans)
{
    if (!job.Target.Toggle)
        return false;
    std::vector<QRect> rects;
    const int ox = job.Target.Origin.X, oy = job.Target.Origin.Y;
    for (const TSpan& span : spans)
        for (const QRect& clip : job.Clip) {
            const QRect part = QRect(span.X0 + ox, span.Y + oy, span.X1 - span.X0, 1) & clip;
            if (!part.isEmpty())
                rects.push_back(part);
        }
    QRegion region;
    for (const QRect& r : rects)
        region += r;
    if (!region.isEmpty())
        job.Target.Toggle(region);
    return true;
}

static bool Inverting(int rop2) { return rop2 == R2_NOT || rop2 == R2_XORPEN || rop2 == R2_NOTXORPEN; }

void PaintSpans(TJob& job, const std::vector<TSpan>& spans, const TSource& source, int rop2)
{
    if (source.Null || rop2 == R2_NOP)
        return;
    if (Inverting(rop2) && ToggleSpans(job, spans))
        return;
    QImage& image = *job.Target.Image;
    const int ox = job.Target.Origin.X, oy = job.Target.Origin.Y;
    uchar* bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    int left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN;
    for (const TSpan& span : spans) {
        const int y = span.Y + oy;
        for (const QRect& clip : job.Clip) {
            if (y < clip.top() || y > clip.bottom())
                continue;
            const int x0 = std::max(span.X0 + ox, clip.left());
            const int x1 = std::min(span.X1 + ox, clip.right() + 1);
            if (x0 >= x1)
                continue;
            auto* row = reinterpret_cast<std::uint32_t*>(bits + stride * y);
            if (source.Tile.empty()) {
                const std::uint32_t color = source.Color;
                if (rop2 == R2_COPYPEN)
                    std::fill(row + x0, row + x1, color);
                else
                    for (int x = x0; x < x1; ++x)
                        row[x] = RasterOps::Rop2(rop2, color, row[x]);
            } else {
                const int ty = (((span.Y - source.Origin.Y) % source.TileHeight) + source.TileHeight) %
                               source.TileHeight;
                const std::uint32_t* tileRow = source.Tile.data() + static_cast<std::size_t>(ty) * source.TileWidth;
                for (int x = x0; x < x1; ++x) {
                    const int dx = x - ox;
                    const int tx = (((dx - source.Origin.X) % source.TileWidth) + source.TileWidth) % source.TileWidth;
                    const std::uint32_t color = tileRow[tx];
                    if ((color & 0xFF000000u) == 0)
                        continue;
                    row[x] = rop2 == R2_COPYPEN ? color : RasterOps::Rop2(rop2, color, row[x]);
                }
            }
            left = std::min(left, x0);
            right = std::max(right, x1 - 1);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (left <= right)
        job.Touched |= QRect(QPoint(left, top), QPoint(right, bottom));
    if (job.Target.Mono) {
        // Keep a monochrome bitmap two-coloured whatever the mode did.
        const QRect touched = job.Touched & image.rect();
        for (int y = touched.top(); y <= touched.bottom(); ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
            for (int x = touched.left(); x <= touched.right(); ++x)
                row[x] = MonoPixel(row[x]);
        }
    }
}

std::vector<TSpan> RectSpans(const QRect& device)
{
    std::vector<TSpan> spans;
    if (device.isEmpty())
        return spans;
    spans.reserve(static_cast<std::size_t>(device.height()));
    for (int y = device.top(); y <= device.bottom(); ++y)
        spans.push_back({y, device.left(), device.right() + 1});
    return spans;
}

void PaintRect(TJob& job, const QRect& device, const TSource& source, int rop2)
{
    PaintSpans(job, RectSpans(device), source, rop2);
}

std::vector<TSpan> RegionSpans(const QRegion& device)
{
    std::vector<TSpan> spans;
    for (const QRect& r : device) {
        auto part = RectSpans(r);
        spans.insert(spans.end(), part.begin(), part.end());
    }
    return spans;
}

std::vector<TSpan> MaskSpans(const QRect& bounds, const std::function<void(QPainter&)>& draw)
{
    std::vector<TSpan> spans;
    if (bounds.isEmpty() || bounds.width() > 40000 || bounds.height() > 40000)
        return spans;
    QImage mask(bounds.size(), QImage::Format_ARGB32_Premultiplied);
    mask.fill(0);
    {
        QPainter painter(&mask);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.translate(-bounds.left(), -bounds.top());
        draw(painter);
    }
    for (int y = 0; y < mask.height(); ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(mask.constScanLine(y));
        int x = 0;
        while (x < mask.width()) {
            while (x < mask.width() && (row[x] >> 24) < 128)
                ++x;
            const int start = x;
            while (x < mask.width() && (row[x] >> 24) >= 128)
                ++x;
            if (x > start)
                spans.push_back({y + bounds.top(), start + bounds.left(), x + bounds.left()});
        }
    }
    return spans;
}

std::vector<TSpan> SubtractSpans(const std::vector<TSpan>& spans, const std::vector<TSpan>& cut)
{
    if (cut.empty())
        return spans;
    QRegion region;
    // Rows of the cut as a region: built row by row to keep the banding cheap.
    std::vector<QRect> rects;
    rects.reserve(cut.size());
    for (const TSpan& span : cut)
        if (span.X1 > span.X0)
            rects.emplace_back(span.X0, span.Y, span.X1 - span.X0, 1);
    region.setRects(rects.data(), static_cast<int>(rects.size()));
    std::vector<TSpan> result;
    for (const TSpan& span : spans) {
        QRegion rest = QRegion(span.X0, span.Y, span.X1 - span.X0, 1) - region;
        for (const QRect& r : rest)
            result.push_back({span.Y, r.left(), r.right() + 1});
    }
    return result;
}

void LineSpans(TPoint a, TPoint b, int penStyle, int& stylePos, std::vector<TSpan>& on, std::vector<TSpan>& off)
{
    static const std::vector<int> Patterns[5] = {
        {}, {18, 6}, {3, 3}, {9, 6, 3, 6}, {9, 3, 3, 3, 3, 3}};
    const std::vector<int>& pattern = (penStyle >= 1 && penStyle <= 4) ? Patterns[penStyle] : Patterns[0];
    int period = 0;
    for (int length : pattern)
        period += length;
    const int dx = std::abs(b.X - a.X), dy = std::abs(b.Y - a.Y);
    const int sx = b.X >= a.X ? 1 : -1, sy = b.Y >= a.Y ? 1 : -1;
    const int steps = std::max(dx, dy);
    int x = a.X, y = a.Y;
    int error = (dx >= dy ? dx : dy) / 2;
    for (int i = 0; i < steps; ++i) {
        bool drawn = true;
        if (period > 0) {
            int position = stylePos % period, index = 0;
            while (position >= pattern[static_cast<std::size_t>(index)]) {
                position -= pattern[static_cast<std::size_t>(index)];
                ++index;
            }
            drawn = index % 2 == 0;
            ++stylePos;
        }
        (drawn ? on : off).push_back({y, x, x + 1});
        if (dx >= dy) {
            x += sx;
            error -= dy;
            if (error < 0) {
                y += sy;
                error += dx;
            }
        } else {
            y += sy;
            error -= dx;
            if (error < 0) {
                x += sx;
                error += dy;
            }
        }
    }
}

} // namespace Gdi

using namespace Gdi;

namespace {

struct TPenInfo {
    bool Null = true;
    int Width = 1;
    int Style = PS_SOLID;
    bool InsideFrame = false;
};

TPenInfo PenInfo(TJob& job)
{
    TPenInfo info;
    TGdiObject* pen = Find(job.Dc->State.Pen, TGdiKind::Pen);
    if (!pen)
        return info;
    info.Style = static_cast<int>(pen->Pen.lopnStyle & PS_STYLE_MASK);
    info.Null = info.Style == PS_NULL;
    info.Width = std::max(1, pen->Pen.lopnWidth.X);
    info.InsideFrame = info.Style == PS_INSIDEFRAME;
    if (info.Width > 1 || info.InsideFrame)
        info.Style = PS_SOLID; // styled pens wider than one pixel draw solid
    return info;
}

QPoint Device(TDeviceContext& dc, int x, int y)
{
    const TPoint p = ToDevice(dc, {x, y});
    return {p.X, p.Y};
}

// Paints one-pixel lines through points (device coordinates) with the pen's dash pattern; the
// gaps take the background colour in opaque mode.
void StrokeThin(TJob& job, const std::vector<QPoint>& points, bool closed, int style, int& stylePos,
                std::vector<TSpan>* covered = nullptr)
{
    std::vector<TSpan> on, off;
    const std::size_t count = points.size();
    for (std::size_t i = 0; i + 1 < count; ++i)
        LineSpans({points[i].x(), points[i].y()}, {points[i + 1].x(), points[i + 1].y()}, style, stylePos, on, off);
    if (closed && count > 1)
        LineSpans({points[count - 1].x(), points[count - 1].y()}, {points[0].x(), points[0].y()}, style, stylePos,
                  on, off);
    const int rop = job.Dc->State.Rop2;
    PaintSpans(job, on, PenSource(job), rop);
    if (job.Dc->State.BkMode == OPAQUE)
        PaintSpans(job, off, BackgroundSource(job), rop);
    if (covered) {
        covered->insert(covered->end(), on.begin(), on.end());
        covered->insert(covered->end(), off.begin(), off.end());
    }
}

// Spans of a path stroked with a wide pen, the path given in pixel-centre coordinates.
std::vector<TSpan> WideStroke(const QPainterPath& path, int width, Qt::PenJoinStyle join, Qt::PenCapStyle cap)
{
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setJoinStyle(join);
    stroker.setCapStyle(cap);
    const QPainterPath outline = stroker.createStroke(path).translated(0.5, 0.5);
    const QRect bounds = outline.boundingRect().toAlignedRect().adjusted(-1, -1, 1, 1);
    return MaskSpans(bounds, [&](QPainter& painter) { painter.fillPath(outline, Qt::white); });
}

// Spans of a path's interior: pixels whose centres lie inside.
std::vector<TSpan> FillSpans(const QPainterPath& path)
{
    const QRect bounds = path.boundingRect().toAlignedRect().adjusted(-1, -1, 1, 1);
    return MaskSpans(bounds, [&](QPainter& painter) { painter.fillPath(path, Qt::white); });
}

// Draws a closed shape: the interior with the brush, then the outline with the pen. shape is in
// pixel-centre coordinates (the outline passes through the centres of its edge pixels).
BOOL DrawShape(HDC dc, const QPainterPath& shape, bool fill)
{
    TJob job;
    if (!BeginJob(dc, job))
        return FindDC(dc) ? TRUE : FALSE;
    const TPenInfo pen = PenInfo(job);
    std::vector<TSpan> outline;
    if (!pen.Null) {
        if (pen.Width <= 1 && pen.Style == PS_SOLID) {
            const QRect bounds = shape.boundingRect().toAlignedRect().adjusted(-2, -2, 2, 2);
            outline = MaskSpans(bounds, [&](QPainter& painter) {
                painter.setPen(QPen(Qt::white, 0));
                painter.setBrush(Qt::NoBrush);
                painter.translate(0.5, 0.5);
                painter.drawPath(shape);
            });
        } else if (pen.Width <= 1) {
            const QRect bounds = shape.boundingRect().toAlignedRect().adjusted(-2, -2, 2, 2);
            static const QList<qreal> Dashes[5] = {{}, {18, 6}, {3, 3}, {9, 6, 3, 6}, {9, 3, 3, 3, 3, 3}};
            outline = MaskSpans(bounds, [&](QPainter& painter) {
                QPen qpen(Qt::white, 1);
                qpen.setDashPattern(Dashes[std::clamp(pen.Style, 0, 4)]);
                painter.setPen(qpen);
                painter.translate(0.5, 0.5);
                painter.drawPath(shape);
            });
        } else {
            outline = WideStroke(shape, pen.Width, Qt::MiterJoin, Qt::SquareCap);
        }
    }
    if (fill) {
        std::vector<TSpan> inside = FillSpans(shape.translated(0.5, 0.5));
        PaintSpans(job, SubtractSpans(inside, outline), BrushSource(job, job.Dc->State.Brush), job.Dc->State.Rop2);
    }
    PaintSpans(job, outline, PenSource(job), job.Dc->State.Rop2);
    EndJob(job);
    return TRUE;
}

QRectF CentreRect(TDeviceContext& dc, int left, int top, int right, int bottom, int penWidth, bool insideFrame)
{
    const QPoint a = Device(dc, std::min(left, right), std::min(top, bottom));
    const QPoint b = Device(dc, std::max(left, right), std::max(top, bottom));
    QRectF r(a.x(), a.y(), b.x() - a.x() - 1, b.y() - a.y() - 1);
    if (insideFrame && penWidth > 1) {
        const double inset = (penWidth - 1) / 2.0;
        r.adjust(inset, inset, -inset, -inset);
    }
    return r;
}

// Parametric angle (degrees, counter-clockwise on screen) of the ray through point.
double RayAngle(const QRectF& r, double x, double y)
{
    const double cx = r.center().x(), cy = r.center().y();
    const double rx = std::max(r.width() / 2, 0.5), ry = std::max(r.height() / 2, 0.5);
    return std::atan2(-(y - cy) / ry, (x - cx) / rx) * 180.0 / std::numbers::pi;
}

enum class TArcKind { Arc, Chord, Pie };

BOOL ArcShape(HDC dc, int left, int top, int right, int bottom, int xs, int ys, int xe, int ye, TArcKind kind)
{
    TDeviceContext* context = FindDC(dc);
    if (!context)
        return FALSE;
    TJob probe;
    const QRectF r = CentreRect(*context, left, top, right, bottom, 1, false);
    const QPoint s = Device(*context, xs, ys), e = Device(*context, xe, ye);
    const double start = RayAngle(r, s.x() - 0.0, s.y() - 0.0);
    double sweep = RayAngle(r, e.x(), e.y()) - start;
    while (sweep <= 0)
        sweep += 360;
    if (std::abs(sweep - 360) < 1e-9 || sweep > 360)
        sweep = 360;
    QPainterPath path;
    if (kind == TArcKind::Pie) {
        path.moveTo(r.center());
        path.arcTo(r, start, sweep);
        path.closeSubpath();
    } else {
        path.arcMoveTo(r, start);
        path.arcTo(r, start, sweep);
        if (kind == TArcKind::Chord)
            path.closeSubpath();
    }
    return DrawShape(dc, path, kind != TArcKind::Arc);
}

} // namespace

BOOL MoveToEx(HDC dc, int x, int y, POINT* previous)
{
    TDeviceContext* context = FindDC(dc);
    if (!context)
        return FALSE;
    if (context->Recorder)
        Metafiles::RecordMoveTo(*context, x, y);
    if (previous)
        *previous = context->State.CurrentPos;
    context->State.CurrentPos = {x, y};
    context->State.LineStylePos = 0;
    return TRUE;
}

BOOL GetCurrentPositionEx(HDC dc, POINT* position)
{
    TDeviceContext* context = FindDC(dc);
    if (!context || !position)
        return FALSE;
    *position = context->State.CurrentPos;
    return TRUE;
}

static BOOL StrokePoints(HDC dc, const std::vector<TPoint>& logical, bool closed)
{
    TJob job;
    if (!BeginJob(dc, job))
        return FindDC(dc) ? TRUE : FALSE;
    const TPenInfo pen = PenInfo(job);
    if (!pen.Null) {
        std::vector<QPoint> points;
        for (const TPoint& p : logical)
            points.push_back(Device(*job.Dc, p.X, p.Y));
        if (pen.Width <= 1) {
            StrokeThin(job, points, closed, pen.Style, job.Dc->State.LineStylePos);
        } else {
            QPainterPath path;
            path.moveTo(points.front());
            for (std::size_t i = 1; i < points.size(); ++i)
                path.lineTo(points[i]);
            if (closed)
                path.closeSubpath();
            PaintSpans(job, WideStroke(path, pen.Width, Qt::RoundJoin, Qt::RoundCap), PenSource(job),
                       job.Dc->State.Rop2);
        }
    }
    EndJob(job);
    return TRUE;
}

BOOL LineTo(HDC dc, int x, int y)
{
    TDeviceContext* context = FindDC(dc);
    if (!context)
        return FALSE;
    if (context->Recorder) {
        Metafiles::RecordLineTo(*context, x, y);
        context->State.CurrentPos = {x, y};
        return TRUE;
    }
    const TPoint from = context->State.CurrentPos;
    context->State.CurrentPos = {x, y};
    return StrokePoints(dc, {from, {x, y}}, false);
}

BOOL Polyline(HDC dc, const POINT* points, int count)
{
    TDeviceContext* context = FindDC(dc);
    if (!context || !points || count < 2)
        return FALSE;
    std::vector<TPoint> list(points, points + count);
    if (context->Recorder)
        return Metafiles::RecordPoints(*context, EMR_POLYLINE, list);
    const int saved = context->State.LineStylePos;
    context->State.LineStylePos = 0;
    const BOOL result = StrokePoints(dc, list, false);
    context->State.LineStylePos = saved;
    return result;
}

BOOL Polygon(HDC dc, const POINT* points, int count)
{
    TDeviceContext* context = FindDC(dc);
    if (!context || !points || count < 2)
        return FALSE;
    std::vector<TPoint> list(points, points + count);
    if (context->Recorder)
        return Metafiles::RecordPoints(*context, EMR_POLYGON, list);
    TJob job;
    if (!BeginJob(dc, job))
        return TRUE;
    std::vector<QPoint> device;
    QPolygonF polygon;
    for (const TPoint& p : list) {
        device.push_back(Device(*context, p.X, p.Y));
        polygon << QPointF(device.back());
    }
    QPainterPath path;
    path.addPolygon(polygon);
    path.closeSubpath();
    path.setFillRule(context->State.PolyFillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
    const TPenInfo pen = PenInfo(job);
    std::vector<TSpan> outline;
    if (!pen.Null && pen.Width > 1)
        outline = WideStroke(path, pen.Width, Qt::MiterJoin, Qt::SquareCap);
    else if (!pen.Null) {
        std::vector<TSpan> off;
        int stylePos = 0;
        for (std::size_t i = 0; i < device.size(); ++i) {
            const QPoint a = device[i], b = device[(i + 1) % device.size()];
            LineSpans({a.x(), a.y()}, {b.x(), b.y()}, pen.Style, stylePos, outline, off);
        }
        outline.insert(outline.end(), off.begin(), off.end());
    }
    std::vector<TSpan> inside = FillSpans(path);
    PaintSpans(job, SubtractSpans(inside, outline), BrushSource(job, context->State.Brush), context->State.Rop2);
    if (!pen.Null) {
        if (pen.Width > 1)
            PaintSpans(job, outline, PenSource(job), context->State.Rop2);
        else {
            int stylePos = 0;
            StrokeThin(job, device, true, pen.Style, stylePos);
        }
    }
    EndJob(job);
    return TRUE;
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom)
{
    TDeviceContext* context = FindDC(dc);
    if (!context)
        return FALSE;
    if (context->Recorder)
        return Metafiles::RecordRect(*context, EMR_RECTANGLE, {left, top, right, bottom});
    TJob job;
    if (!BeginJob(dc, job))
        return TRUE;
    const QPoint a = Device(*context, std::min(left, right), std::min(top, bottom));
    const QPoint b = Device(*context, std::max(left, right), std::max(top, bottom));
    const TPenInfo pen = PenInfo(job);
    const int rop = context->State.Rop2;
    if (pen.Null) {
        // Without a pen Windows fills one pixel less to the right and at the bottom.
        PaintRect(job, QRect(a, QPoint(b.x() - 2, b.y() - 2)), BrushSource(job, context->State.Brush), rop);
    } else if (pen.Width <= 1) {
        if (b.x() - a.x() > 2 && b.y() - a.y() > 2)
            PaintRect(job, QRect(a.x() + 1, a.y() + 1, b.x() - a.x() - 2, b.y() - a.y() - 2),
                      BrushSource(job, context->State.Brush), rop);
        std::vector<QPoint> corners = {a, {b.x() - 1, a.y()}, {b.x() - 1, b.y() - 1}, {a.x(), b.y() - 1}};
        int stylePos = 0;
        if (b.x() - a.x() >= 1 && b.y() - a.y() >= 1)
            StrokeThin(job, corners, true, pen.Style, stylePos);
    } else {
        QRectF r = CentreRect(*context, left, top, right, bottom, pen.Width, pen.InsideFrame);
        QPainterPath path;
        path.addRect(r);
        std::vector<TSpan> outline = WideStroke(path, pen.Width, Qt::MiterJoin, Qt::SquareCap);
        std::vector<TSpan> inside = FillSpans(path.translated(0.5, 0.5));
        PaintSpans(job, SubtractSpans(inside, outline), BrushSource(job, context->State.Brush), rop);
        PaintSpans(job, outline, PenSource(job), rop);
    }
    EndJob(job);
    return TRUE;
}

BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int width, int height)
{
    TDeviceContext* context = FindDC(dc);
    if (!context)
        return FALSE;
    if (context->Recorder)
        return Metafiles::RecordRect(*context, EMR_ROUNDRECT, {left, top, right, bottom}, {width, height});
    TJob probe;
    const TPenInfo pen = BeginJob(dc, probe) ? PenInfo(probe) : TPenInfo();
    QPainterPath path;
    path.addRoundedRect(CentreRect(*context, left, top, right, bottom, pen.Width, pen.InsideFrame), width / 2.0,
                        height / 2.0);
    return DrawShape(dc, path, true);
}

BOOL Ellipse(HDC dc, int left, int top, int right, int bottom)
{
    TDeviceContext* context = FindDC(dc);
    if (!context)
        return FALSE;
    if (context->Recorder)
        return Metafiles::RecordRect(*context, EMR_ELLIPSE, {left, top, right, bottom});
    TJob probe;
    const TPenInfo pen = BeginJob(dc, probe) ? PenInfo(probe) : TPenInfo();
    QPainterPath path;
    path.addEllipse(CentreRect(*context, left, top, right, bottom, pen.Width, pen.InsideFrame));
    return DrawShape(dc, path, true);
}

static BOOL ArcCall(HDC dc, DWORD type, int l, int t, int r, int b, int xs, int ys, int xe, int ye, TArcKind kind)
{
    TDeviceContext* context = FindDC(dc);
    if (!context)
        return FALSE;
    if (context->Recorder)
        return Metafiles::RecordRect(*context, type, {l, t, r, b}, {xs, ys, xe, ye});
    return ArcShape(dc, l, t, r, b, xs, ys, xe, ye, kind);
}

BOOL Arc(HDC dc, int l, int t, int r, int b, int xs, int ys, int xe, int ye)
{
    return ArcCall(dc, EMR_ARC, l, t, r, b, xs, ys, xe, ye, TArcKind::Arc);
}
BOOL Chord(HDC dc, int l, int t, int r, int b, int xs, int ys, int xe, int ye)
{
    return ArcCall(dc, EMR_CHORD, l, t, r, b, xs, ys, xe, ye, TArcKind::Chord);
}
BOOL Pie(HDC dc, int l, int t, int r, int b, int xs, int ys, int xe, int ye)
{
    return ArcCall(dc, EMR_PIE, l, t, r, b, xs, ys, xe, ye, TArcKind::Pie);
}

static QRect DeviceRect(TDeviceContext& dc, const RECT& r)
{
    const QPoint a = Device(dc, r.Left, r.Top), b = Device(dc, r.Right, r.Bottom);
    return QRect(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                 QPoint(std::max(a.x(), b.x()) - 1, std::max(a.y(), b.y()) - 1));
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush)
{
    TDeviceContext* context = FindDC(dc);
    if (!context || !rect || !Find(brush, TGdiKind::Brush))
        return 0;
    if (context->Recorder)
        return Metafiles::RecordFillRect(*context, *rect, brush);
    TJob job;
    if (!BeginJob(dc, job))
        return 1;
    if (rect->Right > rect->Left && rect->Bottom > rect->Top)
        PaintRect(job, DeviceRect(*context, *rect), BrushSource(job, brush), R2_COPYPEN);
    EndJob(job);
    return 1;
}

static std::vector<TSpan> FrameSpans(const QRect& r, int width, int height)
{
    std::vector<TSpan> spans;
    if (r.isEmpty())
        return spans;
    QRegion frame(r);
    frame -= QRegion(r.adjusted(width, height, -width, -height));
    return RegionSpans(frame);
}

int FrameRect(HDC dc, const RECT* rect, HBRUSH brush)
{
    TDeviceContext* context = FindDC(dc);
    if (!context || !rect || !Find(brush, TGdiKind::Brush))
        return 0;
    if (context->Recorder)
        return Metafiles::RecordFrameRect(*context, *rect, brush);
    TJob job;
    if (!BeginJob(dc, job))
        return 1;
    PaintSpans(job, FrameSpans(DeviceRect(*context, *rect), 1, 1), BrushSource(job, brush), R2_COPYPEN);
    EndJob(job);
    return 1;
}

BOOL InvertRect(HDC dc, const RECT* rect)
{
    TDeviceContext* context = FindDC(dc);
    if (!context || !rect)
        return FALSE;
    if (context->Recorder)
        return PatBlt(dc, rect->Left, rect->Top, rect->Width(), rect->Height(), DSTINVERT);
    TJob job;
    if (!BeginJob(dc, job))
        return TRUE;
    PaintRect(job, DeviceRect(*context, *rect), ColorSource(0xFF000000u), R2_NOT);
    EndJob(job);
    return TRUE;
}

BOOL DrawFocusRect(HDC dc, const RECT* rect)
{
    TDeviceContext* context = FindDC(dc);
    if (!context || !rect)
        return FALSE;
    if (context->Recorder)
        return Metafiles::RecordFocusRect(*context, *rect);
    TJob job;
    if (!BeginJob(dc, job))
        return TRUE;
    const QRect r = DeviceRect(*context, *rect);
    std::vector<TSpan> dots;
    const std::vector<TSpan> frame = FrameSpans(r, 1, 1);
    for (const TSpan& span : frame)
        for (int x = span.X0; x < span.X1; ++x)
            if (((x - r.left()) + (span.Y - r.top())) % 2 == 0)
                dots.push_back({span.Y, x, x + 1});
    PaintSpans(job, dots, ColorSource(0xFFFFFFFFu), R2_XORPEN);
    EndJob(job);
    return TRUE;
}

static bool PixelAt(TJob& job, int x, int y, std::uint32_t*& pixel)
{
    const QPoint p = Device(*job.Dc, x, y) + QPoint(job.Target.Origin.X, job.Target.Origin.Y);
    for (const QRect& clip : job.Clip) {
        if (clip.contains(p)) {
            pixel = reinterpret_cast<std::uint32_t*>(job.Target.Image->scanLine(p.y())) + p.x();
            job.Touched |= QRect(p, QSize(1, 1));
            return true;
        }
    }
    return false;
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color)
{
    TDeviceContext* context = FindDC(dc);
    if (!context)
        return CLR_INVALID;
    if (context->Recorder) {
        Metafiles::RecordSetPixel(*context, x, y, color);
        return Resolve(color);
    }
    TJob job;
    std::uint32_t* pixel = nullptr;
    if (!BeginJob(dc, job) || !PixelAt(job, x, y, pixel))
        return CLR_INVALID;
    *pixel = job.Target.Mono ? MonoPixel(ToPixel(Resolve(color))) : ToPixel(Resolve(color));
    const COLORREF result = ToColor(*pixel);
    EndJob(job);
    return result;
}

BOOL SetPixelV(HDC dc, int x, int y, COLORREF color) { return SetPixel(dc, x, y, color) != CLR_INVALID; }

COLORREF GetPixel(HDC dc, int x, int y)
{
    TJob job;
    std::uint32_t* pixel = nullptr;
    if (!BeginJob(dc, job) || !PixelAt(job, x, y, pixel))
        return CLR_INVALID;
    return ToColor(*pixel);
}

BOOL FloodFill(HDC dc, int x, int y, COLORREF color) { return ExtFloodFill(dc, x, y, color, FLOODFILLBORDER); }

BOOL ExtFloodFill(HDC dc, int x, int y, COLORREF color, UINT type)
{
    TDeviceContext* context = FindDC(dc);
    if (!context)
        return FALSE;
    if (context->Recorder)
        return Metafiles::RecordFloodFill(*context, x, y, color, type);
    TJob job;
    if (!BeginJob(dc, job))
        return FALSE;
    QImage& image = *job.Target.Image;
    const QPoint start = Device(*context, x, y) + QPoint(job.Target.Origin.X, job.Target.Origin.Y);
    const QRegion allowed = DrawableRegion(*context, job.Target);
    if (!allowed.contains(start))
        return FALSE;
    const std::uint32_t reference = ToPixel(Resolve(color)) & 0xFFFFFF;
    auto inside = [&](const QPoint& p) {
        const std::uint32_t pixel = reinterpret_cast<const std::uint32_t*>(image.constScanLine(p.y()))[p.x()] & 0xFFFFFF;
        return type == FLOODFILLSURFACE ? pixel == reference : pixel != reference;
    };
    if (!inside(start))
        return FALSE;
    const QRect bounds = allowed.boundingRect();
    std::vector<std::uint8_t> seen(static_cast<std::size_t>(bounds.width()) * bounds.height(), 0);
    auto mark = [&](const QPoint& p) -> std::uint8_t& {
        return seen[static_cast<std::size_t>(p.y() - bounds.top()) * bounds.width() + (p.x() - bounds.left())];
    };
    std::deque<QPoint> queue{start};
    mark(start) = 1;
    std::vector<TSpan> spans;
    while (!queue.empty()) {
        const QPoint p = queue.front();
        queue.pop_front();
        spans.push_back({p.y() - job.Target.Origin.Y, p.x() - job.Target.Origin.X, p.x() - job.Target.Origin.X + 1});
        const QPoint next[4] = {{p.x() + 1, p.y()}, {p.x() - 1, p.y()}, {p.x(), p.y() + 1}, {p.x(), p.y() - 1}};
        for (const QPoint& n : next) {
            if (!bounds.contains(n) || mark(n) || !allowed.contains(n) || !inside(n))
                continue;
            mark(n) = 1;
            queue.push_back(n);
        }
    }
    PaintSpans(job, spans, BrushSource(job, context->State.Brush), R2_COPYPEN);
    EndJob(job);
    return TRUE;
}

namespace {

// The source pixels of a blit, already converted for the destination (monochrome or colour).
struct TSourcePixels {
    QImage Image;      // Format_RGB32, width x height of the source rectangle
    bool Valid = false;
};

// Reads width x height pixels of a source's pixels from device point origin, converted for the
// destination; sourceBack is the source context's background colour (colour to monochrome).
TSourcePixels ReadPixels(const Gdi::TTarget& target, TPoint origin, COLORREF sourceBackColor,
                         TDeviceContext& destination, bool destinationMono, int width, int height)
{
    TSourcePixels result;
    QRect area(origin.X + target.Origin.X, origin.Y + target.Origin.Y, width, height);
    result.Image = QImage(width, height, QImage::Format_RGB32);
    result.Image.fill(0xFFFFFFFFu);
    const QRect inside = area & target.Bounds;
    if (!inside.isEmpty() && target.Image->format() == QImage::Format_RGB32) {
        // Bitmaps hold the result's own format: their rows are copied as they are.
        const QPoint at = inside.topLeft() - area.topLeft();
        const std::size_t bytes = static_cast<std::size_t>(inside.width()) * 4;
        for (int row = 0; row < inside.height(); ++row)
            std::memcpy(result.Image.scanLine(at.y() + row) + at.x() * 4,
                        target.Image->constScanLine(inside.top() + row) + inside.left() * 4, bytes);
    } else if (!inside.isEmpty()) {
        QPainter painter(&result.Image);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(inside.topLeft() - area.topLeft(), *target.Image, inside);
    }
    const std::uint32_t text = ToPixel(destination.State.TextColor), back = ToPixel(destination.State.BkColor);
    const std::uint32_t sourceBack = ToPixel(sourceBackColor);
    if (target.Mono != destinationMono) {
        for (int row = 0; row < height; ++row) {
            auto* pixels = reinterpret_cast<std::uint32_t*>(result.Image.scanLine(row));
            for (int column = 0; column < width; ++column)
                pixels[column] = target.Mono ? RasterOps::MonoToColor(pixels[column], text, back)
                                             : RasterOps::ColorToMono(pixels[column], sourceBack);
        }
    }
    result.Valid = true;
    return result;
}

TSourcePixels ReadSource(TDeviceContext& source, TDeviceContext& destination, bool destinationMono, int x, int y,
                         int width, int height)
{
    Gdi::TTarget target;
    if (!TargetOf(source, target))
        return TSourcePixels();
    return ReadPixels(target, ToDevice(source, {x, y}), source.State.BkColor, destination, destinationMono, width,
                      height);
}

// Scales the source to width x height by the stretch mode; negative sizes mirror.
QImage ScaleSource(const QImage& source, int width, int height, int mode)
{
    const int w = std::abs(width), h = std::abs(height);
    QImage scaled;
    if (mode == HALFTONE) {
        scaled = source.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(QImage::Format_RGB32);
    } else {
        scaled = QImage(w, h, QImage::Format_RGB32);
        const bool combine = (mode == BLACKONWHITE || mode == WHITEONBLACK);
        const int sourceWidth = source.width(), sourceHeight = source.height();
        // The source columns of every destination column, worked out once for all rows.
        std::vector<int> firstColumn(static_cast<std::size_t>(w) + 1);
        for (int x = 0; x <= w; ++x)
            firstColumn[static_cast<std::size_t>(x)] = static_cast<int>(static_cast<std::int64_t>(x) * sourceWidth / w);
        const uchar* bits = source.constBits();
        const qsizetype stride = source.bytesPerLine();
        const auto row = [bits, stride](int sy) { return reinterpret_cast<const std::uint32_t*>(bits + sy * stride); };
        for (int y = 0; y < h; ++y) {
            const int sy0 = static_cast<int>(static_cast<std::int64_t>(y) * sourceHeight / h);
            const int sy1 = std::max(sy0 + 1, static_cast<int>(static_cast<std::int64_t>(y + 1) * sourceHeight / h));
            auto* out = reinterpret_cast<std::uint32_t*>(scaled.scanLine(y));
            const std::uint32_t* in0 = row(sy0);
            for (int x = 0; x < w; ++x) {
                const int sx0 = firstColumn[static_cast<std::size_t>(x)];
                const int sx1 = std::max(sx0 + 1, firstColumn[static_cast<std::size_t>(x) + 1]);
                if (!combine || (sx1 - sx0 == 1 && sy1 - sy0 == 1)) {
                    out[x] = in0[sx0];
                    continue;
                }
                std::uint32_t value = mode == BLACKONWHITE ? 0xFFFFFFFFu : 0xFF000000u;
                for (int sy = sy0; sy < sy1; ++sy) {
                    const std::uint32_t* in = row(sy);
                    for (int sx = sx0; sx < sx1; ++sx)
                        value = mode == BLACKONWHITE ? (value & in[sx]) : (value | in[sx]);
                }
                out[x] = value | 0xFF000000u;
            }
        }
    }
    if (width < 0 || height < 0)
        scaled = scaled.mirrored(width < 0, height < 0);
    return scaled;
}

// Applies rop over the destination rectangle (device coordinates) with source pixels (may be
// null) and the context's brush as the pattern.
void ApplyRop3(TJob& job, const QRect& device, const QImage* source, DWORD rop)
{
    if (device.isEmpty())
        return;
    if ((rop == DSTINVERT || rop == PATINVERT) && ToggleSpans(job, RectSpans(device)))
        return;
    TSource pattern = BrushSource(job, job.Dc->State.Brush);
    const std::uint32_t background = ToPixel(job.Dc->State.BkColor);
    const bool usesPattern = RasterOps::UsesPattern(rop);
    const int ox = job.Target.Origin.X, oy = job.Target.Origin.Y;
    std::vector<std::uint32_t> patternRow;
    for (const QRect& clip : job.Clip) {
        const QRect area = device.translated(ox, oy) & clip;
        if (area.isEmpty())
            continue;
        patternRow.resize(static_cast<std::size_t>(area.width()));
        for (int y = area.top(); y <= area.bottom(); ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(job.Target.Image->scanLine(y)) + area.left();
            const std::uint32_t* sourceRow =
                source ? reinterpret_cast<const std::uint32_t*>(source->constScanLine(y - oy - device.top())) +
                             (area.left() - ox - device.left())
                       : nullptr;
            const std::uint32_t* patternPixels = nullptr;
            std::uint32_t patternColor = pattern.Null ? 0xFF000000u : pattern.Color;
            if (usesPattern && !pattern.Tile.empty()) {
                const int dy = y - oy;
                const int ty = ((dy - pattern.Origin.Y) % pattern.TileHeight + pattern.TileHeight) % pattern.TileHeight;
                for (int i = 0; i < area.width(); ++i) {
                    const int dx = area.left() + i - ox;
                    const int tx = ((dx - pattern.Origin.X) % pattern.TileWidth + pattern.TileWidth) % pattern.TileWidth;
                    const std::uint32_t value = pattern.Tile[static_cast<std::size_t>(ty) * pattern.TileWidth + tx];
                    patternRow[static_cast<std::size_t>(i)] = (value & 0xFF000000u) ? value : background;
                }
                patternPixels = patternRow.data();
            }
            RasterOps::Rop3Row(rop, row, sourceRow, patternPixels, patternColor, area.width());
            if (job.Target.Mono)
                for (int i = 0; i < area.width(); ++i)
                    row[i] = MonoPixel(row[i]);
        }
        job.Touched |= area;
    }
}

} // namespace

namespace {

// The source of a blit: a device context, or an image that no context holds.
struct TBlitSource {
    TDeviceContext* Context = nullptr;
    const Gdi::TTarget* Image = nullptr;
};

BOOL StretchFrom(HDC destination, int x, int y, int width, int height, const TBlitSource& source, int xSource,
                 int ySource, int widthSource, int heightSource, DWORD rop)
{
    TDeviceContext* context = FindDC(destination);
    if (!context)
        return FALSE;
    const bool needsSource = RasterOps::UsesSource(rop);
    TJob job;
    if (!BeginJob(destination, job))
        return needsSource ? FALSE : TRUE;
    const QPoint origin = Device(*context, x, y);
    QRect device(origin, QSize(std::abs(width), std::abs(height)));
    if (width < 0)
        device.moveLeft(origin.x() + width + 1);
    if (height < 0)
        device.moveTop(origin.y() + height + 1);
    if (needsSource) {
        int sx = xSource, sy = ySource, sw = widthSource, sh = heightSource;
        bool mirrorX = (width < 0) != (sw < 0), mirrorY = (height < 0) != (sh < 0);
        if (sw < 0) {
            sx += sw + 1;
            sw = -sw;
        }
        if (sh < 0) {
            sy += sh + 1;
            sh = -sh;
        }
        if (sw == 0 || sh == 0 || device.isEmpty())
            return TRUE;
        // An image read directly stands as a new memory context would: white background.
        TSourcePixels pixels = source.Context
                                   ? ReadSource(*source.Context, *context, job.Target.Mono, sx, sy, sw, sh)
                                   : ReadPixels(*source.Image, {sx, sy}, 0xFFFFFF, *context, job.Target.Mono, sw, sh);
        if (!pixels.Valid)
            return FALSE;
        QImage image = pixels.Image;
        if (sw != device.width() || sh != device.height() || mirrorX || mirrorY)
            image = ScaleSource(image, mirrorX ? -device.width() : device.width(),
                                mirrorY ? -device.height() : device.height(), context->State.StretchMode);
        ApplyRop3(job, device, &image, rop);
    } else {
        ApplyRop3(job, device, nullptr, rop);
    }
    EndJob(job);
    return TRUE;
}

} // namespace

BOOL StretchBlt(HDC destination, int x, int y, int width, int height, HDC source, int xSource, int ySource,
                int widthSource, int heightSource, DWORD rop)
{
    TDeviceContext* context = FindDC(destination);
    if (!context)
        return FALSE;
    const bool needsSource = RasterOps::UsesSource(rop);
    TDeviceContext* sourceContext = needsSource ? FindDC(source) : nullptr;
    if (needsSource && !sourceContext)
        return FALSE;
    if (context->Recorder)
        return Metafiles::RecordBlt(*context, x, y, width, height, sourceContext, xSource, ySource, widthSource,
                                    heightSource, rop);
    TBlitSource from;
    from.Context = sourceContext;
    return StretchFrom(destination, x, y, width, height, from, xSource, ySource, widthSource, heightSource, rop);
}

namespace Gdi {

BOOL BlitImage(HDC destination, int x, int y, int width, int height, const QImage& image, bool mono, DWORD rop)
{
    TDeviceContext* context = FindDC(destination);
    if (!context)
        return FALSE;
    if (context->Recorder || image.format() != QImage::Format_RGB32) {
        // A recording keeps its source as a bitmap: blit from a memory context holding one.
        HBITMAP bitmap = CreateBitmapFromImage(image, mono);
        HDC source = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(source, bitmap);
        const BOOL done = StretchBlt(destination, x, y, width, height, source, 0, 0, image.width(), image.height(), rop);
        SelectObject(source, old);
        DeleteDC(source);
        DeleteObject(bitmap);
        return done;
    }
    TTarget target;
    target.Image = const_cast<QImage*>(&image); // only read
    target.Bounds = image.rect();
    target.Mono = mono;
    TBlitSource from;
    from.Image = &target;
    return StretchFrom(destination, x, y, width, height, from, 0, 0, image.width(), image.height(), rop);
}

BOOL BlitMasked(HDC destination, int x, int y, const QImage& color, const QImage& mask)
{
    TDeviceContext* context = FindDC(destination);
    const bool direct = context && !context->Recorder && color.format() == QImage::Format_RGB32 &&
                        mask.format() == QImage::Format_RGB32 && color.size() == mask.size();
    TJob job;
    if (!direct || !BeginJob(destination, job) || job.Target.Mono) {
        BlitImage(destination, x, y, color.width(), color.height(), mask, true, SRCAND);
        return BlitImage(destination, x, y, color.width(), color.height(), color, false, SRCPAINT);
    }
    // The two blits in one pass: (destination AND mask in the context's colours) OR colour.
    const std::uint32_t text = ToPixel(context->State.TextColor), back = ToPixel(context->State.BkColor);
    const QPoint origin = Device(*context, x, y);
    const QRect device(origin, color.size());
    const int ox = job.Target.Origin.X, oy = job.Target.Origin.Y;
    for (const QRect& clip : job.Clip) {
        const QRect area = device.translated(ox, oy) & clip;
        if (area.isEmpty())
            continue;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(job.Target.Image->scanLine(y));
            const int sourceRow = y - oy - device.top();
            const auto* colorRow = reinterpret_cast<const std::uint32_t*>(color.constScanLine(sourceRow));
            const auto* maskRow = reinterpret_cast<const std::uint32_t*>(mask.constScanLine(sourceRow));
            for (int column = area.left(); column <= area.right(); ++column) {
                const int sourceColumn = column - ox - device.left();
                const std::uint32_t keep = RasterOps::MonoToColor(maskRow[sourceColumn] | 0xFF000000u, text, back);
                row[column] = 0xFF000000u | (row[column] & keep) | colorRow[sourceColumn];
            }
        }
        job.Touched |= area;
    }
    EndJob(job);
    return TRUE;
}

namespace {

// Where the nearest-pixel stretch of a source rectangle reads: for every destination column (or
// row) the image column (row) of its source pixel, or -1 where that lies outside the image.
std::vector<int> NearestSourceIndex(int count, int sourceStart, int sourceCount, int low, int high)
{
    std::vector<int> index(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const int at = sourceStart + static_cast<int>(static_cast<std::int64_t>(i) * sourceCount / count);
        index[static_cast<std::size_t>(i)] = (at >= low && at <= high) ? at : -1;
    }
    return index;
}

} // namespace

BOOL StretchMasked(HDC destination, int x, int y, int width, int height, HDC source, int xSource, int ySource,
                   int widthSource, int heightSource, HDC mask, int xMask, int yMask)
{
    TDeviceContext* context = FindDC(destination);
    TDeviceContext* sourceContext = FindDC(source);
    TDeviceContext* maskContext = FindDC(mask);
    if (!context || !sourceContext || !maskContext || context->Recorder)
        return FALSE;
    if (width <= 0 || height <= 0 || widthSource <= 0 || heightSource <= 0)
        return FALSE;
    // Nearest pixel only: smoothing, and the combining modes when they shrink, mix source pixels.
    const int mode = context->State.StretchMode;
    const bool shrinks = widthSource > width || heightSource > height;
    if (mode == HALFTONE || ((mode == BLACKONWHITE || mode == WHITEONBLACK) && shrinks))
        return FALSE;
    TTarget colors, bits;
    if (!TargetOf(*sourceContext, colors) || !TargetOf(*maskContext, bits) || colors.Mono || !bits.Mono ||
        colors.Image->format() != QImage::Format_RGB32 || bits.Image->format() != QImage::Format_RGB32)
        return FALSE;
    TJob job;
    if (!BeginJob(destination, job) || job.Target.Mono || job.Target.Image == colors.Image ||
        job.Target.Image == bits.Image)
        return FALSE;

    const QRect device(Device(*context, x, y), QSize(width, height));
    const TPoint sourceAt = ToDevice(*sourceContext, {xSource, ySource});
    const TPoint maskAt = ToDevice(*maskContext, {xMask, yMask});
    const int sx = sourceAt.X + colors.Origin.X, sy = sourceAt.Y + colors.Origin.Y;
    const int mx = maskAt.X + bits.Origin.X, my = maskAt.Y + bits.Origin.Y;
    const std::vector<int> sourceColumns =
        NearestSourceIndex(width, sx, widthSource, colors.Bounds.left(), colors.Bounds.right());
    const std::vector<int> sourceRows =
        NearestSourceIndex(height, sy, heightSource, colors.Bounds.top(), colors.Bounds.bottom());
    const std::vector<int> maskColumns = NearestSourceIndex(width, mx, widthSource, bits.Bounds.left(), bits.Bounds.right());
    const std::vector<int> maskRows = NearestSourceIndex(height, my, heightSource, bits.Bounds.top(), bits.Bounds.bottom());
    // Pixels outside an image read as white, as a blit from it would: transparent in the mask.
    constexpr std::uint32_t Outside = 0xFFFFFFFFu, Opaque = 0xFF000000u, ColourBits = 0x00FFFFFFu;
    const int ox = job.Target.Origin.X, oy = job.Target.Origin.Y;
    for (const QRect& clip : job.Clip) {
        const QRect area = device.translated(ox, oy) & clip;
        if (area.isEmpty())
            continue;
        for (int row = area.top(); row <= area.bottom(); ++row) {
            auto* out = reinterpret_cast<std::uint32_t*>(job.Target.Image->scanLine(row));
            const std::size_t dy = static_cast<std::size_t>(row - oy - device.top());
            const int sourceRow = sourceRows[dy], maskRow = maskRows[dy];
            const auto* in = sourceRow < 0 ? nullptr
                                           : reinterpret_cast<const std::uint32_t*>(colors.Image->constScanLine(sourceRow));
            const auto* keep = maskRow < 0 ? nullptr
                                           : reinterpret_cast<const std::uint32_t*>(bits.Image->constScanLine(maskRow));
            for (int column = area.left(); column <= area.right(); ++column) {
                const std::size_t dx = static_cast<std::size_t>(column - ox - device.left());
                const int maskColumn = maskColumns[dx], sourceColumn = sourceColumns[dx];
                const std::uint32_t m = (keep && maskColumn >= 0) ? keep[maskColumn] : Outside;
                if (m & ColourBits) {
                    out[column] |= Opaque;
                    continue;
                }
                out[column] = ((in && sourceColumn >= 0) ? in[sourceColumn] : Outside) | Opaque;
            }
        }
        job.Touched |= area;
    }
    EndJob(job);
    return TRUE;
}

} // namespace Gdi

BOOL BitBlt(HDC destination, int x, int y, int width, int height, HDC source, int xSource, int ySource, DWORD rop)
{
    return StretchBlt(destination, x, y, width, height, source, xSource, ySource, width, height, rop);
}

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop)
{
    return StretchBlt(dc, x, y, width, height, nullptr, 0, 0, width, height, rop);
}

// A temporary memory context holding a decoded DIB.
static HDC DibContext(const void* bits, const BITMAPINFO* info, HBITMAP& bitmap)
{
    bitmap = nullptr;
    if (!bits || !info)
        return nullptr;
    QImage image;
    if (!Dib::ToImage(info->bmiHeader, Dib::PaletteOf(info), Dib::MasksOf(info), bits, SIZE_MAX, image))
        return nullptr;
    bitmap = CreateBitmapFromImage(image, false);
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, bitmap);
    return dc;
}

static void FreeDibContext(HDC dc, HBITMAP bitmap)
{
    DeleteDC(dc);
    DeleteObject(bitmap);
}

int StretchDIBits(HDC dc, int x, int y, int width, int height, int xSource, int ySource, int widthSource,
                  int heightSource, const void* bits, const BITMAPINFO* info, UINT, DWORD rop)
{
    HBITMAP bitmap;
    HDC source = DibContext(bits, info, bitmap);
    if (!source)
        return 0;
    // The source rectangle is counted from the bottom in a bottom-up DIB.
    const int imageHeight = std::abs(info->bmiHeader.biHeight);
    const int top = info->bmiHeader.biHeight > 0 ? imageHeight - ySource - heightSource : ySource;
    const BOOL ok = StretchBlt(dc, x, y, width, height, source, xSource, top, widthSource, heightSource, rop);
    FreeDibContext(source, bitmap);
    return ok ? height : 0;
}

int SetDIBitsToDevice(HDC dc, int x, int y, DWORD width, DWORD height, int xSource, int ySource, UINT,
                      UINT scanLines, const void* bits, const BITMAPINFO* info, UINT usage)
{
    return StretchDIBits(dc, x, y, static_cast<int>(width), static_cast<int>(height), xSource, ySource,
                         static_cast<int>(width), static_cast<int>(height), bits, info, usage, SRCCOPY)
               ? static_cast<int>(scanLines)
               : 0;
}

int GetDIBits(HDC, HBITMAP handle, UINT startScan, UINT scanLines, void* bits, BITMAPINFO* info, UINT)
{
    TGdiBitmap* bitmap = FindBitmap(handle);
    if (!bitmap || !info)
        return 0;
    SyncSectionIn(*bitmap);
    const QImage& image = bitmap->Image;
    BITMAPINFOHEADER& header = info->bmiHeader;
    if (!bits) {
        header.biWidth = image.width();
        header.biHeight = image.height();
        header.biPlanes = 1;
        if (header.biBitCount == 0)
            header.biBitCount = bitmap->Mono ? 1 : 32;
        header.biCompression = BI_RGB;
        header.biSizeImage = static_cast<DWORD>(Dib::RowSize(image.width(), header.biBitCount) * image.height());
        return image.height();
    }
    const int bitCount = header.biBitCount;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        return 0;
    std::vector<COLORREF> palette;
    if (bitCount == 1)
        palette = {0x000000, 0xFFFFFF};
    else if (bitCount == 4)
        palette = VgaPalette();
    else if (bitCount == 8)
        palette = HalftonePalette();
    for (std::size_t i = 0; i < palette.size(); ++i)
        info->bmiColors[i] = {GetBValue(palette[i]), GetGValue(palette[i]), GetRValue(palette[i]), 0};
    header.biClrUsed = static_cast<DWORD>(palette.size());
    const int rowSize = Dib::RowSize(image.width(), bitCount);
    const bool bottomUp = header.biHeight >= 0;
    const int height = image.height();
    int done = 0;
    for (UINT scan = startScan; scan < startScan + scanLines && static_cast<int>(scan) < height; ++scan, ++done) {
        const int imageRow = bottomUp ? height - 1 - static_cast<int>(scan) : static_cast<int>(scan);
        auto* out = static_cast<std::uint8_t*>(bits) + static_cast<std::size_t>(scan - startScan) * rowSize;
        std::fill(out, out + rowSize, 0);
        Dib::EncodeRow(reinterpret_cast<const std::uint32_t*>(image.constScanLine(imageRow)), image.width(),
                       bitCount == 16 ? 15 : bitCount, palette, out);
    }
    return done;
}

int SetDIBits(HDC, HBITMAP handle, UINT startScan, UINT scanLines, const void* bits, const BITMAPINFO* info, UINT)
{
    TGdiBitmap* bitmap = FindBitmap(handle);
    if (!bitmap || !info || !bits)
        return 0;
    const BITMAPINFOHEADER& header = info->bmiHeader;
    const int bitCount = header.biBitCount;
    if (header.biCompression != BI_RGB && header.biCompression != BI_BITFIELDS)
        return 0;
    const std::vector<COLORREF> palette = Dib::PaletteOf(info);
    const DWORD* masks = Dib::MasksOf(info);
    QImage& image = bitmap->Image;
    const int rowSize = Dib::RowSize(header.biWidth, bitCount);
    const bool bottomUp = header.biHeight >= 0;
    const int height = image.height();
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(std::max(header.biWidth, 1)));
    int done = 0;
    for (UINT scan = startScan; scan < startScan + scanLines && static_cast<int>(scan) < height; ++scan, ++done) {
        const int imageRow = bottomUp ? height - 1 - static_cast<int>(scan) : static_cast<int>(scan);
        const auto* in = static_cast<const std::uint8_t*>(bits) + static_cast<std::size_t>(scan - startScan) * rowSize;
        Dib::DecodeRow(in, header.biWidth, bitCount == 16 && !masks ? 15 : bitCount, palette, masks, pixels.data());
        auto* out = reinterpret_cast<std::uint32_t*>(image.scanLine(imageRow));
        for (int x = 0; x < std::min(header.biWidth, image.width()); ++x)
            out[x] = bitmap->Mono ? MonoPixel(pixels[static_cast<std::size_t>(x)]) : pixels[static_cast<std::size_t>(x)];
    }
    SyncSectionOut(*bitmap);
    return done;
}

// ---- edges and frame controls in the classic look

namespace {

void FillSolid(HDC dc, const RECT& r, COLORREF color)
{
    if (r.Right <= r.Left || r.Bottom <= r.Top)
        return;
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

// One ring of an edge: the top and left in one colour, the bottom and right in the other.
void EdgeRing(HDC dc, RECT& r, COLORREF topLeft, COLORREF bottomRight, UINT flags)
{
    if (flags & BF_TOP)
        FillSolid(dc, {r.Left, r.Top, r.Right - ((flags & BF_RIGHT) ? 1 : 0), r.Top + 1}, topLeft);
    if (flags & BF_LEFT)
        FillSolid(dc, {r.Left, r.Top, r.Left + 1, r.Bottom - ((flags & BF_BOTTOM) ? 1 : 0)}, topLeft);
    if (flags & BF_BOTTOM)
        FillSolid(dc, {r.Left, r.Bottom - 1, r.Right, r.Bottom}, bottomRight);
    if (flags & BF_RIGHT)
        FillSolid(dc, {r.Right - 1, r.Top, r.Right, r.Bottom}, bottomRight);
    if (flags & BF_LEFT)
        ++r.Left;
    if (flags & BF_TOP)
        ++r.Top;
    if (flags & BF_RIGHT)
        --r.Right;
    if (flags & BF_BOTTOM)
        --r.Bottom;
}

COLORREF Sys(int index) { return GetSysColor(index); }

} // namespace

BOOL DrawEdge(HDC dc, RECT* rect, UINT edge, UINT flags)
{
    if (!FindDC(dc) || !rect)
        return FALSE;
    RECT r = *rect;
    COLORREF outerTL = 0, outerBR = 0, innerTL = 0, innerBR = 0;
    const bool outer = edge & BDR_OUTER, inner = edge & BDR_INNER;
    if (flags & BF_MONO) {
        outerTL = outerBR = innerTL = innerBR = Sys(COLOR_WINDOWFRAME);
        if (!(flags & BF_FLAT))
            innerTL = innerBR = Sys(COLOR_WINDOW);
    } else if (flags & BF_FLAT) {
        outerTL = outerBR = Sys(COLOR_BTNSHADOW);
        innerTL = innerBR = Sys(COLOR_BTNFACE);
    } else {
        if (edge & BDR_RAISEDOUTER) {
            outerTL = Sys((flags & BF_SOFT) ? COLOR_BTNHIGHLIGHT : COLOR_3DLIGHT);
            outerBR = Sys(COLOR_3DDKSHADOW);
        } else if (edge & BDR_SUNKENOUTER) {
            outerTL = Sys((flags & BF_SOFT) ? COLOR_3DDKSHADOW : COLOR_BTNSHADOW);
            outerBR = Sys(COLOR_BTNHIGHLIGHT);
        }
        if (edge & BDR_RAISEDINNER) {
            innerTL = Sys((flags & BF_SOFT) ? COLOR_3DLIGHT : COLOR_BTNHIGHLIGHT);
            innerBR = Sys(COLOR_BTNSHADOW);
        } else if (edge & BDR_SUNKENINNER) {
            innerTL = Sys((flags & BF_SOFT) ? COLOR_BTNSHADOW : COLOR_3DDKSHADOW);
            innerBR = Sys(COLOR_3DLIGHT);
        }
    }
    if (outer)
        EdgeRing(dc, r, outerTL, outerBR, flags);
    if (inner)
        EdgeRing(dc, r, innerTL, innerBR, flags);
    if (flags & BF_MIDDLE)
        FillSolid(dc, r, Sys((flags & BF_MONO) ? COLOR_WINDOW : COLOR_BTNFACE));
    if (flags & BF_ADJUST)
        *rect = r;
    return TRUE;
}

namespace {

void PixelsFromRows(HDC dc, int left, int top, const std::vector<const char*>& rows, COLORREF color)
{
    for (std::size_t y = 0; y < rows.size(); ++y)
        for (int x = 0; rows[y][x]; ++x)
            if (rows[y][x] == 'X')
                SetPixelV(dc, left + x, top + static_cast<int>(y), color);
}

const std::vector<const char*> CheckMark = {"......X", ".....XX", "X...XXX", "XX.XXX.", "XXXXX..", ".XXX...", "..X...."};

void Arrow(HDC dc, const RECT& r, int direction, COLORREF color)
{
    // A triangle of 7, 5, 3, 1 pixels pointing up (0), down (1), left (2) or right (3).
    const int cx = (r.Left + r.Right) / 2, cy = (r.Top + r.Bottom) / 2;
    for (int i = 0; i < 4; ++i) {
        const int half = 3 - i;
        switch (direction) {
        case 0:
            FillSolid(dc, {cx - half, cy + 1 - i, cx + half + 1, cy + 2 - i}, color);
            break;
        case 1:
            FillSolid(dc, {cx - half, cy - 2 + i, cx + half + 1, cy - 1 + i}, color);
            break;
        case 2:
            FillSolid(dc, {cx + 1 - i, cy - half, cx + 2 - i, cy + half + 1}, color);
            break;
        default:
            FillSolid(dc, {cx - 2 + i, cy - half, cx - 1 + i, cy + half + 1}, color);
            break;
        }
    }
}

} // namespace

BOOL DrawFrameControl(HDC dc, RECT* rect, UINT kind, UINT state)
{
    if (!FindDC(dc) || !rect)
        return FALSE;
    RECT r = *rect;
    const bool inactive = state & DFCS_INACTIVE, pushed = state & DFCS_PUSHED, checked = state & DFCS_CHECKED;
    const COLORREF glyph = inactive ? Sys(COLOR_GRAYTEXT) : Sys(COLOR_BTNTEXT);
    switch (kind) {
    case DFC_BUTTON: {
        const UINT type = state & 0xFF;
        if (type == DFCS_BUTTONPUSH) {
            DrawEdge(dc, &r, pushed ? EDGE_SUNKEN : EDGE_RAISED,
                     BF_RECT | BF_MIDDLE | BF_ADJUST | ((state & DFCS_FLAT) ? BF_FLAT : 0) |
                         ((state & DFCS_MONO) ? BF_MONO : 0));
            return TRUE;
        }
        // A 13 x 13 box centred vertically at the left of the rectangle.
        const int top = r.Top + (r.Bottom - r.Top - 13) / 2;
        RECT box{r.Left, top, r.Left + 13, top + 13};
        if (type == DFCS_BUTTONRADIO || type == (DFCS_BUTTONRADIO | 1)) {
            const int level = SaveDC(dc);
            HBRUSH face = CreateSolidBrush((pushed || inactive) ? Sys(COLOR_BTNFACE) : Sys(COLOR_WINDOW));
            HPEN shadow = CreatePen(PS_SOLID, 1, Sys(COLOR_BTNSHADOW));
            SelectObject(dc, face);
            SelectObject(dc, shadow);
            Ellipse(dc, box.Left, box.Top, box.Right, box.Bottom);
            if (checked) {
                HBRUSH dot = CreateSolidBrush(glyph);
                SelectObject(dc, dot);
                SelectObject(dc, GetStockObject(NULL_PEN));
                Ellipse(dc, box.Left + 4, box.Top + 4, box.Left + 9, box.Top + 9);
                RestoreDC(dc, level);
                DeleteObject(dot);
            } else {
                RestoreDC(dc, level);
            }
            DeleteObject(face);
            DeleteObject(shadow);
            return TRUE;
        }
        RECT inside = box;
        DrawEdge(dc, &inside, EDGE_SUNKEN, BF_RECT | BF_ADJUST | ((state & DFCS_FLAT) ? BF_FLAT : 0) |
                                               ((state & DFCS_MONO) ? BF_MONO : 0));
        FillSolid(dc, inside, (pushed || inactive) ? Sys(COLOR_BTNFACE) : Sys(COLOR_WINDOW));
        if (checked)
            PixelsFromRows(dc, inside.Left + 1, inside.Top + 1, CheckMark, glyph);
        return TRUE;
    }
    case DFC_MENU: {
        // Black on white, so that menus can use the result as a mask.
        FillSolid(dc, r, 0xFFFFFF);
        const int cx = (r.Left + r.Right) / 2, cy = (r.Top + r.Bottom) / 2;
        switch (state & 0xFF) {
        case DFCS_MENUCHECK:
            PixelsFromRows(dc, cx - 3, cy - 3, CheckMark, 0);
            break;
        case DFCS_MENUBULLET: {
            const int level = SaveDC(dc);
            SelectObject(dc, GetStockObject(BLACK_BRUSH));
            SelectObject(dc, GetStockObject(NULL_PEN));
            Ellipse(dc, cx - 2, cy - 2, cx + 4, cy + 4);
            RestoreDC(dc, level);
            break;
        }
        default:
            Arrow(dc, r, 3, 0);
            break;
        }
        return TRUE;
    }
    case DFC_SCROLL: {
        const UINT type = state & 0xFF;
        if (type == DFCS_SCROLLSIZEGRIP) {
            FillSolid(dc, r, Sys(COLOR_BTNFACE));
            return TRUE;
        }
        DrawEdge(dc, &r, pushed ? EDGE_SUNKEN : EDGE_RAISED,
                 BF_RECT | BF_MIDDLE | BF_ADJUST | ((state & DFCS_FLAT) ? BF_FLAT : 0));
        if (pushed)
            OffsetRect(r, 1, 1);
        const int direction = type == DFCS_SCROLLUP ? 0 : (type == DFCS_SCROLLLEFT ? 2 : (type == DFCS_SCROLLRIGHT ? 3 : 1));
        Arrow(dc, r, direction, glyph);
        return TRUE;
    }
    case DFC_CAPTION: {
        DrawEdge(dc, &r, pushed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST);
        const int cx = (r.Left + r.Right) / 2, cy = (r.Top + r.Bottom) / 2;
        switch (state & 0xFF) {
        case DFCS_CAPTIONCLOSE:
            for (int i = -3; i <= 3; ++i) {
                FillSolid(dc, {cx + i - 1, cy + i, cx + i + 1, cy + i + 1}, glyph);
                FillSolid(dc, {cx + i - 1, cy - i, cx + i + 1, cy - i + 1}, glyph);
            }
            break;
        case DFCS_CAPTIONMIN:
            FillSolid(dc, {cx - 3, cy + 2, cx + 3, cy + 4}, glyph);
            break;
        case DFCS_CAPTIONMAX: {
            RECT frame{cx - 4, cy - 4, cx + 5, cy + 4};
            HBRUSH brush = CreateSolidBrush(glyph);
            FrameRect(dc, &frame, brush);
            FillSolid(dc, {frame.Left, frame.Top, frame.Right, frame.Top + 2}, glyph);
            DeleteObject(brush);
            break;
        }
        case DFCS_CAPTIONRESTORE: {
            HBRUSH brush = CreateSolidBrush(glyph);
            RECT back{cx - 2, cy - 4, cx + 5, cy + 1}, front{cx - 4, cy - 1, cx + 3, cy + 4};
            FrameRect(dc, &back, brush);
            FillSolid(dc, front, Sys(COLOR_BTNFACE));
            FrameRect(dc, &front, brush);
            DeleteObject(brush);
            break;
        }
        default: {
            const int level = SaveDC(dc);
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, glyph);
            RECT text = r;
            DrawTextA(dc, "?", 1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            RestoreDC(dc, level);
            break;
        }
        }
        return TRUE;
    }
    default:
        return FALSE;
    }
}
