#include "platform/gui/TextOutput.h"

#include "platform/gui/GdiDraw.h"
#include "platform/gui/private/FontCache.h"
#include "platform/gui/private/GdiPaint.h"
#include "platform/gui/private/MetafileRecording.h"

#include <QGlyphRun>
#include <QPainterPath>
#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string_view>

namespace {

std::string_view SliceView(const std::string& text, int count)
{
    if (count < 0 || static_cast<std::size_t>(count) >= text.size())
        return text;
    return std::string_view(text).substr(0, static_cast<std::size_t>(count));
}

std::string Slice(const std::string& text, int count)
{
    if (count < 0 || static_cast<std::size_t>(count) >= text.size())
        return text;
    return text.substr(0, static_cast<std::size_t>(count));
}

std::shared_ptr<const TRealizedFont> Realize(HGDIOBJ handle, int pixelsPerInch)
{
    TGdiObject* font = Gdi::Find(handle, TGdiKind::Font);
    LOGFONTA logFont;
    if (font)
        logFont = font->Font;
    else
        std::strcpy(logFont.lfFaceName, "System");
    return FontCache::Realize(logFont, pixelsPerInch);
}

std::shared_ptr<const TRealizedFont> FontOf(TDeviceContext& dc)
{
    if (dc.RealizedFont && dc.RealizedFontHandle == dc.State.Font)
        return dc.RealizedFont;
    // A printer (or a page recorded for one) realises fonts at its own resolution.
    const int pixelsPerInch = dc.Kind == TDcKind::Printer || dc.Kind == TDcKind::Metafile
                                  ? std::max(1, GetDeviceCaps(dc.Handle, LOGPIXELSY))
                                  : 96;
    dc.RealizedFont = Realize(dc.State.Font, pixelsPerInch);
    dc.RealizedFontHandle = dc.State.Font;
    return dc.RealizedFont;
}

// The advance of one character: the font's, character extra and, for a break character, its
// share of the justification (breakIndex counts the breaks met so far).
int Advance(const TDcState& state, const TRealizedFont& font, unsigned char c, int& breakIndex)
{
    int advance = font.Advances[c] + state.CharExtra;
    const int extra = state.JustifyExtra, breakCount = state.JustifyBreaks;
    if (breakCount > 0 && c == font.Metrics.tmBreakChar) {
        advance += extra / breakCount + (breakIndex < extra % breakCount ? 1 : 0);
        ++breakIndex;
    }
    return advance;
}

// The advances the context uses for text: the font's, character extra and justification.
std::vector<int> Advances(TDeviceContext& dc, const TRealizedFont& font, std::string_view text)
{
    std::vector<int> advances(text.size());
    int breakIndex = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        advances[i] = Advance(dc.State, font, static_cast<unsigned char>(text[i]), breakIndex);
    return advances;
}

// The sum of Advances, without building them.
int AdvanceSum(TDeviceContext& dc, const TRealizedFont& font, std::string_view text)
{
    int total = 0, breakIndex = 0;
    for (char c : text)
        total += Advance(dc.State, font, static_cast<unsigned char>(c), breakIndex);
    return total;
}

int Sum(const std::vector<int>& values)
{
    int total = 0;
    for (int v : values)
        total += v;
    return total;
}

QTransform Turn(const TRealizedFont& font, QPointF reference)
{
    QTransform transform;
    if (font.Escapement != 0) {
        transform.translate(reference.x(), reference.y());
        transform.rotate(-font.Escapement / 10.0);
        transform.translate(-reference.x(), -reference.y());
    }
    return transform;
}

// Two channels eight bits apart (0x00RR00BB) times factor / 255, each rounded to the nearest:
// t / 255 is (t + 1 + (t >> 8)) >> 8 for every t the products reach.
std::uint32_t ScalePair(std::uint32_t pair, std::uint32_t factor)
{
    const std::uint32_t t = pair * factor + 0x007F007Fu;
    return ((t + 0x00010001u + ((t >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
}

// Source-over of one premultiplied layer pixel on an opaque target pixel. A premultiplied
// channel never exceeds its alpha, so no sum passes 255 and the channels need no clamp.
std::uint32_t Blend(std::uint32_t s, std::uint32_t d)
{
    const std::uint32_t rest = 255 - (s >> 24);
    const std::uint32_t redBlue = ScalePair(d & 0x00FF00FFu, rest);
    const std::uint32_t green = ScalePair((d >> 8) & 0xFFu, rest);
    return 0xFF000000u | ((s & 0x00FFFFFFu) + (redBlue | (green << 8)));
}

// True when none of the four pixels from p on has any coverage.
bool FourClear(const std::uint32_t* p)
{
    return ((p[0] | p[1] | p[2] | p[3]) & 0xFF000000u) == 0;
}

// Lays the glyph layer over the target's pixels inside the clip. Most of a text line's layer is
// empty, so empty stretches are stepped over four pixels at a time.
void LayOver(Gdi::TJob& job, const QImage& layer, QPoint offset)
{
    const QRect layerRect(offset, layer.size());
    const bool mono = job.Target.Mono;
    for (const QRect& clip : job.Clip) {
        const QRect part = clip & layerRect;
        for (int row = part.top(); row <= part.bottom(); ++row) {
            auto* target = reinterpret_cast<std::uint32_t*>(job.Target.Image->scanLine(row)) + part.left();
            const auto* source =
                reinterpret_cast<const std::uint32_t*>(layer.constScanLine(row - offset.y())) + (part.left() - offset.x());
            const int count = part.width();
            int i = 0;
            while (i < count) {
                if (i + 4 <= count && FourClear(source + i)) {
                    i += 4;
                    continue;
                }
                const std::uint32_t s = source[i];
                const std::uint32_t alpha = s >> 24;
                if (alpha == 255 && !mono)
                    target[i] = s;
                else if (alpha != 0)
                    target[i] = mono ? Gdi::MonoPixel(Blend(s, target[i])) : Blend(s, target[i]);
                ++i;
            }
        }
        job.Touched |= part;
    }
}

} // namespace

namespace Gdi {

// Draws one line of text with explicit advances. (x, y) is the logical reference point; the
// alignment of the context places the cell around it.
BOOL DrawTextLine(HDC dc, int x, int y, UINT options, const RECT* rect, const std::string& text,
                  const std::vector<int>* explicitAdvances)
{
    TDeviceContext* context = FindDC(dc);
    if (!context)
        return FALSE;
    auto font = FontOf(*context);
    const TEXTMETRICA& tm = font->Metrics;
    std::vector<int> advances = explicitAdvances ? *explicitAdvances : Advances(*context, *font, text);
    const int width = Sum(advances);
    const UINT align = context->State.TextAlign;
    if (align & TA_UPDATECP) {
        x = context->State.CurrentPos.X;
        y = context->State.CurrentPos.Y;
    }
    // The cell's top-left in the text's own (turned) frame, relative to the reference point.
    int dx = 0, dy = 0;
    if ((align & TA_CENTER) == TA_CENTER)
        dx = -width / 2;
    else if (align & TA_RIGHT)
        dx = -width;
    if ((align & TA_BASELINE) == TA_BASELINE)
        dy = -tm.tmAscent;
    else if (align & TA_BOTTOM)
        dy = -tm.tmHeight;
    if (align & TA_UPDATECP) {
        const bool right = (align & TA_CENTER) == TA_RIGHT;
        context->State.CurrentPos.X = right ? x - width : ((align & TA_CENTER) == TA_CENTER ? x : x + width);
    }
    const QPointF reference(x, y);
    const QTransform turn = Turn(*font, reference);
    const QRectF cell(x + dx, y + dy, width, tm.tmHeight);
    const QRect bounds = turn.mapRect(cell).toAlignedRect();

    if (context->Recorder) {
        std::u16string utf16(text.size(), u'\0');
        for (std::size_t i = 0; i < text.size(); ++i)
            utf16[i] = font->Unicode[static_cast<unsigned char>(text[i])];
        Metafiles::RecordText(*context, x, y, options, rect, std::move(utf16), std::move(advances),
                              {bounds.left(), bounds.top(), bounds.right() + 1, bounds.bottom() + 1});
        return TRUE;
    }
    TJob job;
    if (!BeginJob(dc, job))
        return TRUE;
    // Device coordinates from here on; the clip list is in image coordinates.
    const TPoint deviceReference = ToDevice(*context, {x, y});
    const int dxDevice = deviceReference.X - x, dyDevice = deviceReference.Y - y;
    const QRect clipRect = (rect && (options & ETO_CLIPPED))
                               ? QRect(rect->Left + dxDevice, rect->Top + dyDevice, rect->Width(), rect->Height())
                               : QRect();
    if (!clipRect.isNull()) {
        const QRect imageClip = clipRect.translated(job.Target.Origin.X, job.Target.Origin.Y);
        std::vector<QRect> clipped;
        for (const QRect& r : job.Clip)
            if (!(r & imageClip).isEmpty())
                clipped.push_back(r & imageClip);
        job.Clip = clipped;
    }
    const std::uint32_t back = job.Target.Mono ? MonoPixel(ToPixel(context->State.BkColor)) : ToPixel(context->State.BkColor);
    const std::uint32_t fore = job.Target.Mono ? MonoPixel(ToPixel(context->State.TextColor)) : ToPixel(context->State.TextColor);
    if (rect && (options & ETO_OPAQUE)) {
        // The opaque rectangle is not limited by ETO_CLIPPED's rectangle (it is the same one).
        PaintRect(job, QRect(rect->Left + dxDevice, rect->Top + dyDevice, rect->Width(), rect->Height()),
                  ColorSource(back), R2_COPYPEN);
    }
    const QTransform deviceTurn = Turn(*font, QPointF(deviceReference.X, deviceReference.Y));
    const QRectF deviceCell = cell.translated(dxDevice, dyDevice);
    if (context->State.BkMode == OPAQUE) {
        if (font->Escapement == 0) {
            PaintRect(job, deviceCell.toRect(), ColorSource(back), R2_COPYPEN);
        } else {
            QPainterPath path;
            path.addPolygon(deviceTurn.map(QPolygonF(deviceCell)));
            PaintSpans(job, MaskSpans(path.boundingRect().toAlignedRect().adjusted(-1, -1, 1, 1),
                                      [&](QPainter& p) { p.fillPath(path, Qt::white); }),
                       ColorSource(back), R2_COPYPEN);
        }
    }
    // The glyphs are drawn on a transparent layer, then laid over the target's pixels. The layer
    // covers only what the clip lets through, so a long line or a large font that mostly falls
    // outside costs no memory for what is never shown.
    QRect clipBounds;
    for (const QRect& clip : job.Clip)
        clipBounds |= clip;
    const QRect area = deviceTurn.mapRect(deviceCell).toAlignedRect().adjusted(-2, -2, 2, 2) &
                       clipBounds.translated(-job.Target.Origin.X, -job.Target.Origin.Y);
    const QRawFont& raw = FontCache::RawFontForThisThread(*font);
    if (!text.empty() && raw.isValid() && !area.isEmpty()) {
        QImage layer(area.size(), QImage::Format_ARGB32_Premultiplied);
        layer.fill(0);
        {
            QPainter painter(&layer);
            painter.translate(-area.left(), -area.top());
            painter.setTransform(deviceTurn, true);
            QList<quint32> glyphs;
            QList<QPointF> positions;
            int pen = 0;
            for (std::size_t i = 0; i < text.size(); ++i) {
                glyphs.append(font->Glyphs[static_cast<unsigned char>(text[i])]);
                positions.append(QPointF(pen, 0));
                pen += advances[i];
            }
            QGlyphRun run;
            run.setRawFont(raw);
            run.setGlyphIndexes(glyphs);
            run.setPositions(positions);
            painter.setRenderHint(QPainter::TextAntialiasing, !job.Target.Mono);
            painter.setPen(QColor::fromRgb(fore));
            painter.drawGlyphRun(QPointF(deviceCell.left(), deviceCell.top() + tm.tmAscent), run);
            if (font->Font.underline() || font->Font.strikeOut()) {
                const QFontMetrics metrics(font->Font);
                const int thickness = std::max(1, metrics.lineWidth());
                if (font->Font.underline())
                    painter.fillRect(QRectF(deviceCell.left(), deviceCell.top() + tm.tmAscent + metrics.underlinePos(),
                                            width, thickness),
                                     QColor::fromRgb(fore));
                if (font->Font.strikeOut())
                    painter.fillRect(QRectF(deviceCell.left(), deviceCell.top() + tm.tmAscent - metrics.strikeOutPos(),
                                            width, thickness),
                                     QColor::fromRgb(fore));
            }
        }
        LayOver(job, layer, area.topLeft() + QPoint(job.Target.Origin.X, job.Target.Origin.Y));
    }
    EndJob(job);
    return TRUE;
}

} // namespace Gdi

BOOL TextOutA(HDC dc, int x, int y, const std::string& text, int count)
{
    return Gdi::DrawTextLine(dc, x, y, 0, nullptr, Slice(text, count), nullptr);
}

BOOL ExtTextOutA(HDC dc, int x, int y, UINT options, const RECT* rect, const std::string& text, int count,
                 const int* dx)
{
    if (count >= 0 && static_cast<std::size_t>(count) < text.size()) {
        const std::string part = Slice(text, count);
        if (dx) {
            std::vector<int> advances(dx, dx + part.size());
            return Gdi::DrawTextLine(dc, x, y, options, rect, part, &advances);
        }
        return Gdi::DrawTextLine(dc, x, y, options, rect, part, nullptr);
    }
    if (dx) {
        std::vector<int> advances(dx, dx + text.size());
        return Gdi::DrawTextLine(dc, x, y, options, rect, text, &advances);
    }
    return Gdi::DrawTextLine(dc, x, y, options, rect, text, nullptr);
}

BOOL GetTextExtentPoint32A(HDC dc, const std::string& text, int count, SIZE* size)
{
    TDeviceContext* context = Gdi::FindDC(dc);
    if (!context || !size)
        return FALSE;
    auto font = FontOf(*context);
    size->cx = AdvanceSum(*context, *font, SliceView(text, count));
    size->cy = font->Metrics.tmHeight;
    return TRUE;
}

BOOL GetTextExtentExPointA(HDC dc, const std::string& text, int count, int maxExtent, int* fit,
                           int* partialExtents, SIZE* size)
{
    TDeviceContext* context = Gdi::FindDC(dc);
    if (!context)
        return FALSE;
    auto font = FontOf(*context);
    // One pass over the text, without copies: callers measure long lines this way.
    const std::string_view part = SliceView(text, count);
    int running = 0, fitted = 0, breakIndex = 0;
    bool stillFits = true;
    for (std::size_t i = 0; i < part.size(); ++i) {
        running += Advance(context->State, *font, static_cast<unsigned char>(part[i]), breakIndex);
        if (partialExtents)
            partialExtents[i] = running;
        if (stillFits && running <= maxExtent)
            fitted = static_cast<int>(i + 1);
        else
            stillFits = false;
    }
    if (fit)
        *fit = fitted;
    if (size)
        *size = {running, font->Metrics.tmHeight};
    return TRUE;
}

DWORD GetCharacterPlacementA(HDC dc, const std::string& text, int count, int maxExtent, GCP_RESULTSA* results,
                             DWORD flags)
{
    TDeviceContext* context = Gdi::FindDC(dc);
    if (!context)
        return 0;
    auto font = FontOf(*context);
    const std::string part = Slice(text, count);
    std::vector<int> advances = Advances(*context, *font, part);
    int width = Sum(advances);
    if ((flags & GCP_JUSTIFY) && (flags & GCP_MAXEXTENT) && maxExtent > width && !advances.empty()) {
        const int extra = maxExtent - width;
        std::vector<std::size_t> gaps;
        for (std::size_t i = 0; i < part.size(); ++i)
            if (part[i] == ' ')
                gaps.push_back(i);
        if (gaps.empty())
            for (std::size_t i = 0; i + 1 < part.size(); ++i)
                gaps.push_back(i);
        if (gaps.empty())
            gaps.push_back(0);
        const int each = extra / static_cast<int>(gaps.size()), remainder = extra % static_cast<int>(gaps.size());
        for (std::size_t k = 0; k < gaps.size(); ++k)
            advances[gaps[k]] += each + (static_cast<int>(k) < remainder ? 1 : 0);
        width = maxExtent;
    }
    if (results) {
        results->lpDx = advances;
        results->lpOutString = part;
        results->nGlyphs = static_cast<UINT>(part.size());
        results->lpCaretPos.clear();
        int running = 0;
        for (int a : advances) {
            results->lpCaretPos.push_back(running);
            running += a;
        }
        results->nMaxFit = static_cast<int>(part.size());
    }
    return MAKELONG(static_cast<WORD>(width), static_cast<WORD>(font->Metrics.tmHeight));
}

BOOL GetCharWidthA(HDC dc, UINT first, UINT last, int* widths)
{
    TDeviceContext* context = Gdi::FindDC(dc);
    if (!context || !widths || last < first || last > 255)
        return FALSE;
    auto font = FontOf(*context);
    for (UINT c = first; c <= last; ++c)
        widths[c - first] = font->Advances[c];
    return TRUE;
}

BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics)
{
    TDeviceContext* context = Gdi::FindDC(dc);
    if (!context || !metrics)
        return FALSE;
    *metrics = FontOf(*context)->Metrics;
    return TRUE;
}

int GetTextFaceA(HDC dc, int count, char* faceName)
{
    TDeviceContext* context = Gdi::FindDC(dc);
    if (!context)
        return 0;
    const std::string name = FontOf(*context)->FaceName;
    if (!faceName)
        return static_cast<int>(name.size()) + 1;
    if (count <= 0)
        return 0;
    const std::size_t n = std::min<std::size_t>(name.size(), static_cast<std::size_t>(count - 1));
    std::memcpy(faceName, name.data(), n);
    faceName[n] = 0;
    return static_cast<int>(n);
}

namespace {

// The x of the next tab stop after position (relative to the origin).
int NextTabStop(int position, int tabCount, const int* tabStops, int defaultTab)
{
    if (tabCount <= 0 || !tabStops)
        return (position / defaultTab + 1) * defaultTab;
    if (tabCount == 1) {
        const int step = std::max(1, tabStops[0]);
        return (position / step + 1) * step;
    }
    for (int i = 0; i < tabCount; ++i)
        if (tabStops[i] > position)
            return tabStops[i];
    return position; // beyond the last stop a tab does nothing
}

// Splits at tabs and gives each piece its x (relative to the start).
LONG TabbedPieces(HDC dc, const std::string& text, int tabCount, const int* tabStops, int tabOrigin, int x,
                  std::vector<std::pair<int, std::string>>* pieces)
{
    TDeviceContext* context = Gdi::FindDC(dc);
    if (!context)
        return 0;
    auto font = FontOf(*context);
    const int defaultTab = std::max(1, 8 * font->Metrics.tmAveCharWidth);
    int position = 0;
    std::size_t start = 0;
    while (true) {
        const std::size_t tab = text.find('\t', start);
        const std::string piece = text.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
        if (pieces)
            pieces->push_back({position, piece});
        position += AdvanceSum(*context, *font, piece);
        if (tab == std::string::npos)
            break;
        position = NextTabStop(position + x - tabOrigin, tabCount, tabStops, defaultTab) - (x - tabOrigin);
        start = tab + 1;
    }
    return MAKELONG(static_cast<WORD>(position), static_cast<WORD>(font->Metrics.tmHeight));
}

} // namespace

LONG TabbedTextOutA(HDC dc, int x, int y, const std::string& text, int count, int tabCount, const int* tabStops,
                    int tabOrigin)
{
    std::vector<std::pair<int, std::string>> pieces;
    const LONG extent = TabbedPieces(dc, Slice(text, count), tabCount, tabStops, tabOrigin, x, &pieces);
    for (const auto& [offset, piece] : pieces)
        if (!piece.empty())
            Gdi::DrawTextLine(dc, x + offset, y, 0, nullptr, piece, nullptr);
    return extent;
}

DWORD GetTabbedTextExtentA(HDC dc, const std::string& text, int count, int tabCount, const int* tabStops)
{
    return static_cast<DWORD>(TabbedPieces(dc, Slice(text, count), tabCount, tabStops, 0, 0, nullptr));
}

// DrawText: the layout is computed here line by line with the context's own measures.
namespace {

struct TLine {
    std::string Text;
    int Underline = -1; // index of the character drawn underlined
};

struct TLayout {
    TDeviceContext* Dc;
    std::shared_ptr<const TRealizedFont> Font;
    UINT Format;
    int TabWidth;

    int Width(const std::string& text) const { return AdvanceSum(*Dc, *Font, text); }
};

std::string ExpandTabs(const TLayout& layout, const std::string& text)
{
    if (!(layout.Format & DT_EXPANDTABS) || text.find('\t') == std::string::npos)
        return text;
    // Tabs become blanks up to the next stop; measured in pixels, kept as text.
    std::string result;
    int position = 0;
    const int blank = std::max(1, layout.Font->Advances[' '] + layout.Dc->State.CharExtra);
    for (char c : text) {
        if (c == '\t') {
            const int next = (position / layout.TabWidth + 1) * layout.TabWidth;
            while (position < next) {
                result.push_back(' ');
                position += blank;
            }
            continue;
        }
        result.push_back(c);
        position += layout.Font->Advances[static_cast<unsigned char>(c)] + layout.Dc->State.CharExtra;
    }
    return result;
}

TLine StripPrefix(const std::string& text, UINT format)
{
    TLine line;
    if (format & DT_NOPREFIX) {
        line.Text = text;
        return line;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) {
            ++i;
            if (text[i] != '&' && line.Underline < 0 && !(format & DT_HIDEPREFIX))
                line.Underline = static_cast<int>(line.Text.size());
            line.Text.push_back(text[i]);
            continue;
        }
        if (text[i] == '&')
            continue; // a trailing prefix draws nothing
        line.Text.push_back(text[i]);
    }
    return line;
}

// The number of leading characters of text that fit in width. Widths add up character by
// character, so one pass finds it; cutting one character at a time and measuring again would take
// quadratic time on long texts.
std::size_t FittingLength(const TLayout& layout, const std::string& text, int width)
{
    const std::vector<int> advances = Advances(*layout.Dc, *layout.Font, text);
    std::size_t count = 0;
    int running = 0;
    while (count < text.size() && running + advances[count] <= width)
        running += advances[count++];
    return count;
}

// The longest start of text that fits width followed by suffix.
std::string FittingHead(const TLayout& layout, const std::string& text, const std::string& suffix, int width)
{
    std::string head = text.substr(0, FittingLength(layout, text, width - layout.Width(suffix)));
    while (!head.empty() && layout.Width(head + suffix) > width)
        head.pop_back();
    return head;
}

// Cuts a line to width with "..." at the end (DT_END_ELLIPSIS), after the last whole word
// (DT_WORD_ELLIPSIS) or in the middle of a path (DT_PATH_ELLIPSIS).
std::string Ellipsize(const TLayout& layout, const std::string& text, int width)
{
    if (layout.Width(text) <= width)
        return text;
    const std::string dots = "...";
    if (layout.Format & DT_PATH_ELLIPSIS) {
        const std::size_t slash = text.find_last_of("\\/");
        if (slash != std::string::npos && slash > 0) {
            const std::string tail = text.substr(slash);
            const std::string head = FittingHead(layout, text.substr(0, slash), dots + tail, width);
            if (!head.empty())
                return head + dots + tail;
        }
    }
    std::string head = FittingHead(layout, text, dots, width);
    if (layout.Format & DT_WORD_ELLIPSIS) {
        // Back to the last blank that ends a whole word; the first word alone is cut anywhere.
        const std::size_t blank = text.rfind(' ', head.size());
        if (blank != std::string::npos)
            head.resize(blank);
    }
    return head + dots;
}

// Breaks one paragraph into lines that fit width at blanks.
void WrapParagraph(const TLayout& layout, const std::string& paragraph, int width, std::vector<std::string>& lines)
{
    const std::vector<int> advances = Advances(*layout.Dc, *layout.Font, paragraph);
    std::size_t start = 0;
    const std::size_t size = paragraph.size();
    if (size == 0) {
        lines.emplace_back();
        return;
    }
    while (start < size) {
        int running = 0;
        std::size_t end = start, lastBreak = std::string::npos;
        while (end < size) {
            if (paragraph[end] == ' ')
                lastBreak = end;
            if (running + advances[end] > width && paragraph[end] != ' ')
                break;
            running += advances[end];
            ++end;
        }
        if (end >= size) {
            lines.push_back(paragraph.substr(start));
            break;
        }
        std::size_t cut;
        if (lastBreak != std::string::npos && lastBreak > start) {
            cut = lastBreak;
        } else if (layout.Format & DT_EDITCONTROL) {
            cut = std::max(end, start + 1); // split after the last character that fits
        } else {
            // A word wider than the line stands alone on it.
            cut = paragraph.find(' ', end);
            if (cut == std::string::npos)
                cut = size;
        }
        std::string line = paragraph.substr(start, cut - start);
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        lines.push_back(line);
        start = cut;
        while (start < size && paragraph[start] == ' ')
            ++start;
    }
}

} // namespace

int DrawTextA(HDC dc, const std::string& fullText, int count, RECT* rect, UINT format)
{
    TDeviceContext* context = Gdi::FindDC(dc);
    if (!context || !rect)
        return 0;
    TLayout layout{context, FontOf(*context), format, 8};
    const int tabChars = (format & DT_TABSTOP) ? std::max(1, int((format >> 8) & 0xFF)) : 8;
    layout.TabWidth = std::max(1, tabChars * layout.Font->Metrics.tmAveCharWidth);
    if (format & DT_TABSTOP)
        layout.Format &= ~0xFF00u; // the high byte is the tab size, not flags
    format = layout.Format | (format & 0xFF);
    const std::string text = Slice(fullText, count);
    const int width = rect->Right - rect->Left;
    const TEXTMETRICA& tm = layout.Font->Metrics;
    const int lineHeight = tm.tmHeight + ((format & DT_EXTERNALLEADING) ? tm.tmExternalLeading : 0);

    // Paragraphs: lines end at CR, LF or CR LF unless single line.
    std::vector<std::string> paragraphs;
    if (format & DT_SINGLELINE) {
        paragraphs.push_back(text);
    } else {
        std::string current;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\r' || text[i] == '\n') {
                paragraphs.push_back(current);
                current.clear();
                if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                    ++i;
                continue;
            }
            current.push_back(text[i]);
        }
        paragraphs.push_back(current);
    }
    std::vector<TLine> lines;
    for (const std::string& paragraph : paragraphs) {
        const std::string expanded = ExpandTabs(layout, paragraph);
        if ((format & DT_WORDBREAK) && !(format & DT_SINGLELINE)) {
            // Wrap on the text without prefixes, then map the underline back.
            const TLine plain = StripPrefix(expanded, format);
            std::vector<std::string> wrapped;
            WrapParagraph(layout, plain.Text, width, wrapped);
            std::size_t offset = 0;
            for (const std::string& piece : wrapped) {
                TLine line;
                line.Text = piece;
                const std::size_t at = plain.Text.find(piece, offset);
                if (plain.Underline >= 0 && at != std::string::npos && plain.Underline >= int(at) &&
                    plain.Underline < int(at + piece.size()))
                    line.Underline = plain.Underline - static_cast<int>(at);
                if (at != std::string::npos)
                    offset = at + piece.size();
                lines.push_back(line);
            }
        } else {
            lines.push_back(StripPrefix(expanded, format));
        }
    }
    if (format & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_WORD_ELLIPSIS))
        for (TLine& line : lines) {
            const std::string cut = Ellipsize(layout, line.Text, width);
            if (cut != line.Text) {
                if (line.Underline >= static_cast<int>(cut.size()) - 3)
                    line.Underline = -1;
                line.Text = cut;
            }
        }

    int widest = 0;
    for (const TLine& line : lines)
        widest = std::max(widest, layout.Width(line.Text));
    const int textHeight = static_cast<int>(lines.size()) * lineHeight;
    int top = rect->Top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER)
            top = rect->Top + (rect->Bottom - rect->Top - lineHeight) / 2;
        else if (format & DT_BOTTOM)
            top = rect->Bottom - lineHeight;
    }
    if (format & DT_CALCRECT) {
        rect->Right = rect->Left + widest;
        rect->Bottom = rect->Top + textHeight;
        return textHeight;
    }
    const UINT savedAlign = SetTextAlign(dc, TA_LEFT | TA_TOP);
    const UINT options = (format & DT_NOCLIP) ? 0 : ETO_CLIPPED;
    int y = top;
    for (const TLine& line : lines) {
        const int lineWidth = layout.Width(line.Text);
        int x = rect->Left;
        if (format & DT_CENTER)
            x = rect->Left + (width - lineWidth) / 2;
        else if (format & DT_RIGHT)
            x = rect->Right - lineWidth;
        // Lines wholly outside the clipping rectangle draw nothing.
        const bool visible = (format & DT_NOCLIP) || (y < rect->Bottom && y + lineHeight > rect->Top);
        if (!visible) {
            y += lineHeight;
            continue;
        }
        Gdi::DrawTextLine(dc, x, y, options, rect, line.Text, nullptr);
        if (line.Underline >= 0 && !context->Recorder) {
            const std::vector<int> advances = Advances(*context, *layout.Font, line.Text);
            int ux = x;
            for (int i = 0; i < line.Underline; ++i)
                ux += advances[static_cast<std::size_t>(i)];
            const int uw = layout.Font->Advances[static_cast<unsigned char>(line.Text[static_cast<std::size_t>(line.Underline)])];
            RECT bar{ux, y + tm.tmAscent + 1, ux + uw, y + tm.tmAscent + 2};
            if (!(format & DT_NOCLIP))
                IntersectRect(bar, bar, *rect);
            HBRUSH brush = CreateSolidBrush(GetTextColor(dc));
            FillRect(dc, &bar, brush);
            DeleteObject(brush);
        }
        y += lineHeight;
    }
    SetTextAlign(dc, savedAlign);
    if ((format & DT_SINGLELINE) && (format & (DT_VCENTER | DT_BOTTOM)))
        return top - rect->Top + lineHeight;
    return textHeight;
}
