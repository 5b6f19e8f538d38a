#include "platform/gui/PdfPrinter.h"

#include "platform/gui/Metafile.h"
#include "platform/gui/TextOutput.h"
#include "platform/gui/Regions.h"
#include "platform/gui/private/FontCache.h"
#include "platform/gui/private/PrinterPages.h"
#include "platform/os/ShellFolders.h"
#include "platform/rtl/Codepage.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/TextUtils.h"

#include <QBuffer>
#include <QPdfWriter>

#include <QPainterPath>

#include <cmath>
#include <functional>
#include <map>
#include <mutex>

namespace {

std::mutex& FolderMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::string& FolderOverride()
{
    static std::string folder;
    return folder;
}

constexpr std::size_t MaxTitleLength = 200;

} // namespace

void SetVirtualPrinterFolder(const std::string& path)
{
    std::lock_guard lock(FolderMutex());
    FolderOverride() = path;
}

std::string VirtualPrinterFolder()
{
    {
        std::lock_guard lock(FolderMutex());
        if (!FolderOverride().empty())
            return FolderOverride();
    }
    std::string folder;
    // A desktop without a documents folder gets one, as the shell keeps it on Windows.
    if (GetSpecialFolderPath(CSIDL_PERSONAL | CSIDL_FLAG_CREATE, folder) != S_OK)
        return {};
    return folder;
}

std::string PdfFileNameForTitle(const std::string& title)
{
    std::string name;
    for (char ch : title) {
        const unsigned char c = static_cast<unsigned char>(ch);
        const bool bad = c < 32 || c == 127 || std::string_view("\\/:*?\"<>|").find(ch) != std::string_view::npos;
        name += bad ? '_' : ch;
    }
    if (name.size() > MaxTitleLength)
        name.resize(MaxTitleLength);
    // File names are UTF-8 on disk and limited to 255 bytes, with room for the temporary suffix.
    while (AnsiToUtf8(name).size() > MaxTitleLength)
        name.pop_back();
    // A name of dots alone would name the folder itself or its parent.
    if (name.find_first_not_of('.') == std::string::npos)
        name = name.empty() ? "Stampa" : std::string(name.size(), '_');
    return name + ".pdf";
}

std::string UniquePdfPath(const std::string& folder, const std::string& title)
{
    const std::string base = IncludeTrailingPathDelimiter(folder);
    const std::string file = PdfFileNameForTitle(title);
    std::string path = base + file;
    const std::string stem = file.substr(0, file.size() - 4);
    for (int n = 2; FileExists(path); ++n)
        path = base + stem + " (" + IntToStr(n) + ").pdf";
    return path;
}

bool WritePdfJob(const TPdfJob& job, std::string& error)
{
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setResolution(job.Resolution);
        writer.setTitle(QString::fromStdU16String(AnsiToUtf16(job.Title)));
        writer.setCreator(QStringLiteral("Tessellarium"));
        writer.setPageLayout(QPageLayout(job.PageSize, job.Landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                         QMarginsF(0, 0, 0, 0)));
        QPainter painter;
        if (!painter.begin(&writer)) {
            error = "impossibile creare il documento PDF";
            return false;
        }
        bool first = true;
        for (int copy = 0; copy < std::max(1, job.Copies); ++copy) {
            for (const auto& page : job.Pages) {
                if (!first)
                    writer.newPage();
                first = false;
                painter.save();
                painter.translate(job.OffsetX, job.OffsetY);
                RenderPrinterPage(painter, page->Records, job.Resolution);
                painter.restore();
            }
        }
        painter.end();
    }
    try {
        WriteFileAtomically(job.Path, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    } catch (const Exception& e) {
        error = e.Message;
        return false;
    }
    return true;
}

// --- Rendering a recorded page -----------------------------------------------------------------

namespace {

struct TPlayObject {
    TGdiKind Kind = TGdiKind::Pen;
    LOGPEN Pen;
    LOGBRUSH Brush;
    LOGFONTA Font;
    QImage Pattern;
};

QColor ToColor(COLORREF color)
{
    const COLORREF c = Gdi::Resolve(color);
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

Qt::BrushStyle HatchStyle(std::uintptr_t hatch)
{
    switch (hatch) {
    case HS_HORIZONTAL:
        return Qt::HorPattern;
    case HS_VERTICAL:
        return Qt::VerPattern;
    case HS_FDIAGONAL:
        return Qt::FDiagPattern;
    case HS_BDIAGONAL:
        return Qt::BDiagPattern;
    case HS_CROSS:
        return Qt::CrossPattern;
    default:
        return Qt::DiagCrossPattern;
    }
}

// The state of the recording context as the records replay it.
struct TPlayState {
    TPlayObject Pen, Brush, Font;
    COLORREF TextColor = 0;
    COLORREF BkColor = 0xFFFFFF;
    int BkMode = OPAQUE;
    UINT TextAlign = 0;
    int PolyFillMode = ALTERNATE;
    TPoint WindowOrg, ViewportOrg;
    TPoint Position;
    bool HasClip = false;
    QRegion Clip; // device pixels
};

class TPagePlayer {
public:
    TPagePlayer(QPainter& painter, int pixelsPerInch) : FPainter(painter), FPixelsPerInch(pixelsPerInch)
    {
        FState.Pen = Stock(BLACK_PEN);
        FState.Brush = Stock(WHITE_BRUSH);
        FState.Font = Stock(SYSTEM_FONT);
    }

    void Play(const TEmrRecord& r);

private:
    static TPlayObject Stock(int index)
    {
        TPlayObject object;
        if (TGdiObject* stock = Gdi::Find(GetStockObject(index))) {
            object.Kind = stock->Kind;
            object.Pen = stock->Pen;
            object.Brush = stock->Brush;
            object.Font = stock->Font;
        }
        return object;
    }

    TPlayObject Object(int index)
    {
        if (static_cast<DWORD>(index) & ENHMETA_STOCK_OBJECT)
            return Stock(static_cast<int>(static_cast<DWORD>(index) & ~ENHMETA_STOCK_OBJECT));
        auto found = FObjects.find(index);
        return found == FObjects.end() ? Stock(BLACK_PEN) : found->second;
    }

    QPoint Device(int x, int y) const
    {
        return {x - FState.WindowOrg.X + FState.ViewportOrg.X, y - FState.WindowOrg.Y + FState.ViewportOrg.Y};
    }
    QRect DeviceRect(const TRect& r) const
    {
        const QPoint a = Device(std::min(r.Left, r.Right), std::min(r.Top, r.Bottom));
        const QPoint b = Device(std::max(r.Left, r.Right), std::max(r.Top, r.Bottom));
        return QRect(a, QSize(b.x() - a.x(), b.y() - a.y()));
    }

    QPen CurrentPen() const
    {
        const LOGPEN& pen = FState.Pen.Pen;
        const UINT style = pen.lopnStyle & PS_STYLE_MASK;
        if (style == PS_NULL)
            return Qt::NoPen;
        QPen result(ToColor(pen.lopnColor));
        result.setWidth(std::max<int>(1, pen.lopnWidth.X));
        result.setCapStyle(Qt::FlatCap);
        result.setJoinStyle(Qt::MiterJoin);
        switch (style) {
        case PS_DASH:
            result.setStyle(Qt::DashLine);
            break;
        case PS_DOT:
            result.setStyle(Qt::DotLine);
            break;
        case PS_DASHDOT:
            result.setStyle(Qt::DashDotLine);
            break;
        case PS_DASHDOTDOT:
            result.setStyle(Qt::DashDotDotLine);
            break;
        default:
            break;
        }
        return result;
    }

    QBrush BrushOf(const TPlayObject& object) const
    {
        const LOGBRUSH& brush = object.Brush;
        switch (brush.lbStyle) {
        case BS_NULL:
            return Qt::NoBrush;
        case BS_HATCHED:
            return QBrush(ToColor(brush.lbColor), HatchStyle(brush.lbHatch));
        case BS_PATTERN:
        case BS_DIBPATTERN:
        case BS_DIBPATTERNPT:
            if (!object.Pattern.isNull())
                return QBrush(object.Pattern);
            return QBrush(ToColor(brush.lbColor));
        default:
            return QBrush(ToColor(brush.lbColor));
        }
    }

    void ApplyClip()
    {
        if (FState.HasClip)
            FPainter.setClipRegion(FState.Clip);
        else
            FPainter.setClipping(false);
    }

    // A closed shape: the interior with the brush, the outline inside the rectangle with the pen.
    void Shape(const QRect& box, const std::function<void(const QRectF&)>& draw)
    {
        const QPen pen = CurrentPen();
        const double inset = pen.style() == Qt::NoPen ? 0.0 : pen.widthF() / 2.0;
        FPainter.setPen(pen);
        FPainter.setBrush(BrushOf(FState.Brush));
        draw(QRectF(box).adjusted(inset, inset, -inset, -inset));
    }

    void Text(const TEmrRecord& r);
    void Blit(const TEmrRecord& r);
    void ArcShape(const TEmrRecord& r);

    QPainter& FPainter;
    // The job's resolution: a font recorded without a height takes its default size at it.
    int FPixelsPerInch;
    TPlayState FState;
    std::vector<TPlayState> FSaved;
    std::map<int, TPlayObject> FObjects;
    // The font last set on the painter (kept alive while it is compared against).
    const TRealizedFont* FLastFont = nullptr;
    std::shared_ptr<const TRealizedFont> FLastFontRef;
};

void TPagePlayer::Text(const TEmrRecord& r)
{
    const int x = r.Values[0], y = r.Values[1];
    const UINT options = static_cast<UINT>(r.Values[2]);
    const bool hasRect = r.Values[3] != 0;
    auto realized = FontCache::Realize(FState.Font.Font, FPixelsPerInch);
    if (!realized)
        return;
    const QString text = QString::fromStdU16String(r.Text);
    int width = 0;
    for (int advance : r.Dx)
        width += advance;
    const int ascent = realized->Metrics.tmAscent;
    const int height = realized->Metrics.tmHeight;
    const UINT align = FState.TextAlign;
    QPoint reference = Device(x, y);
    if ((align & TA_UPDATECP) != 0)
        reference = Device(FState.Position.X, FState.Position.Y);
    int left = reference.x();
    if ((align & TA_CENTER) == TA_CENTER)
        left -= width / 2;
    else if ((align & TA_CENTER) == TA_RIGHT)
        left -= width;
    int top = reference.y();
    if ((align & TA_BASELINE) == TA_BASELINE)
        top -= ascent;
    else if ((align & TA_BASELINE) == TA_BOTTOM)
        top -= height;
    if ((align & TA_UPDATECP) != 0)
        FState.Position.X += width;

    const QRect cell(left, top, width, height);
    const QRect box = hasRect ? DeviceRect(r.Rect) : QRect();
    if (hasRect && (options & ETO_OPAQUE))
        FPainter.fillRect(box, ToColor(FState.BkColor));
    const int escapement = FState.Font.Font.lfEscapement;
    // Saving the painter state costs time and bytes in the PDF: only clipped or turned text needs it.
    const bool isolated = (hasRect && (options & ETO_CLIPPED)) || escapement != 0;
    if (isolated) {
        FPainter.save();
        if (hasRect && (options & ETO_CLIPPED))
            FPainter.setClipRect(box, Qt::IntersectClip);
        if (escapement != 0) {
            FPainter.translate(reference);
            FPainter.rotate(-escapement / 10.0);
            FPainter.translate(-reference);
        }
    }
    if (FState.BkMode == OPAQUE && !(options & ETO_OPAQUE))
        FPainter.fillRect(cell, ToColor(FState.BkColor));
    if (realized.get() != FLastFont) {
        QFont font = realized->Font;
        font.setHintingPreference(QFont::PreferNoHinting);
        font.setKerning(false);
        FPainter.setFont(font);
        FLastFont = realized.get();
        FLastFontRef = realized;
    }
    FPainter.setPen(ToColor(FState.TextColor));
    FPainter.drawText(QPointF(left, top + ascent), text);
    if (isolated) {
        FPainter.restore();
        FLastFont = nullptr; // restore brought back the font set before
    }
}

void TPagePlayer::Blit(const TEmrRecord& r)
{
    const int x = r.Values[0], y = r.Values[1], w = r.Values[2], h = r.Values[3];
    const DWORD rop = static_cast<DWORD>(r.Values[6]);
    const bool hasSource = r.Values.size() > 7 && r.Values[7] != 0;
    const QRect target = DeviceRect({x, y, x + w, y + h});
    if (hasSource && !r.Image.isNull()) {
        QImage image = r.Image;
        if (w < 0 || h < 0)
            image = image.mirrored(w < 0, h < 0);
        FPainter.drawImage(QRectF(target), image);
        return;
    }
    switch (rop) {
    case 0x00000042: // BLACKNESS
        FPainter.fillRect(target, Qt::black);
        break;
    case 0x00FF0062: // WHITENESS
        FPainter.fillRect(target, Qt::white);
        break;
    case 0x00F00021: // PATCOPY
        FPainter.fillRect(target, BrushOf(FState.Brush));
        break;
    default:
        break;
    }
}

void TPagePlayer::ArcShape(const TEmrRecord& r)
{
    const QRect box = DeviceRect(r.Rect);
    if (box.isEmpty() || r.Values.size() < 4)
        return;
    const QPointF center = QRectF(box).center();
    const QPoint start = Device(r.Values[0], r.Values[1]);
    const QPoint end = Device(r.Values[2], r.Values[3]);
    auto angleOf = [&](QPoint p) { return std::atan2(-(p.y() - center.y()), p.x() - center.x()) * 180.0 / M_PI; };
    const double a0 = angleOf(start);
    double span = angleOf(end) - a0;
    while (span <= 0)
        span += 360.0;
    QPainterPath path;
    if (r.Type == EMR_PIE)
        path.moveTo(center);
    path.arcMoveTo(box, a0);
    if (r.Type == EMR_PIE)
        path.lineTo(path.currentPosition()), path.moveTo(center), path.arcTo(box, a0, span);
    else
        path.arcTo(box, a0, span);
    if (r.Type != EMR_ARC)
        path.closeSubpath();
    FPainter.setPen(CurrentPen());
    FPainter.setBrush(r.Type == EMR_ARC ? QBrush(Qt::NoBrush) : BrushOf(FState.Brush));
    FPainter.drawPath(path);
}

void TPagePlayer::Play(const TEmrRecord& r)
{
    const auto value = [&](std::size_t i) { return i < r.Values.size() ? r.Values[i] : 0; };
    switch (r.Type) {
    case EMR_SETWINDOWORGEX:
        FState.WindowOrg = {value(0), value(1)};
        break;
    case EMR_SETVIEWPORTORGEX:
        FState.ViewportOrg = {value(0), value(1)};
        break;
    case EMR_SETBKMODE:
        FState.BkMode = value(0);
        break;
    case EMR_SETBKCOLOR:
        FState.BkColor = static_cast<COLORREF>(value(0));
        break;
    case EMR_SETTEXTCOLOR:
        FState.TextColor = static_cast<COLORREF>(value(0));
        break;
    case EMR_SETTEXTALIGN:
        FState.TextAlign = static_cast<UINT>(value(0));
        break;
    case EMR_SETPOLYFILLMODE:
        FState.PolyFillMode = value(0);
        break;
    case EMR_CREATEPEN: {
        TPlayObject object;
        object.Kind = TGdiKind::Pen;
        object.Pen = r.Pen;
        FObjects[value(0)] = object;
        break;
    }
    case EMR_CREATEBRUSHINDIRECT:
    case EMR_CREATEDIBPATTERNBRUSHPT: {
        TPlayObject object;
        object.Kind = TGdiKind::Brush;
        object.Brush = r.Brush;
        object.Pattern = r.Image;
        FObjects[value(0)] = object;
        break;
    }
    case EMR_EXTCREATEFONTINDIRECTW: {
        TPlayObject object;
        object.Kind = TGdiKind::Font;
        object.Font = r.Font;
        FObjects[value(0)] = object;
        break;
    }
    case EMR_DELETEOBJECT:
        FObjects.erase(value(0));
        break;
    case EMR_SELECTOBJECT: {
        const TPlayObject object = Object(value(0));
        if (object.Kind == TGdiKind::Pen)
            FState.Pen = object;
        else if (object.Kind == TGdiKind::Brush)
            FState.Brush = object;
        else if (object.Kind == TGdiKind::Font)
            FState.Font = object;
        break;
    }
    case EMR_SAVEDC:
        FSaved.push_back(FState);
        break;
    case EMR_RESTOREDC: {
        const int depth = static_cast<int>(FSaved.size());
        const int level = value(0);
        const int target = level < 0 ? depth + level + 1 : level;
        if (target >= 1 && target <= depth) {
            FState = FSaved[static_cast<std::size_t>(target - 1)];
            FSaved.resize(static_cast<std::size_t>(target - 1));
            ApplyClip();
        }
        break;
    }
    case EMR_INTERSECTCLIPRECT: {
        const QRegion area(DeviceRect(r.Rect));
        FState.Clip = FState.HasClip ? FState.Clip.intersected(area) : area;
        FState.HasClip = true;
        ApplyClip();
        break;
    }
    case EMR_EXCLUDECLIPRECT: {
        const QRegion everything(-100000, -100000, 200000, 200000);
        FState.Clip = (FState.HasClip ? FState.Clip : everything).subtracted(QRegion(DeviceRect(r.Rect)));
        FState.HasClip = true;
        ApplyClip();
        break;
    }
    case EMR_EXTSELECTCLIPRGN: {
        const int mode = value(0);
        if (mode == RGN_COPY && r.Region.isEmpty()) {
            FState.HasClip = false;
            FState.Clip = QRegion();
        } else {
            const QRegion base = FState.HasClip ? FState.Clip : QRegion(-100000, -100000, 200000, 200000);
            switch (mode) {
            case RGN_AND:
                FState.Clip = base.intersected(r.Region);
                break;
            case RGN_OR:
                FState.Clip = base.united(r.Region);
                break;
            case RGN_XOR:
                FState.Clip = base.xored(r.Region);
                break;
            case RGN_DIFF:
                FState.Clip = base.subtracted(r.Region);
                break;
            default:
                FState.Clip = r.Region;
                break;
            }
            FState.HasClip = true;
        }
        ApplyClip();
        break;
    }
    case EMR_MOVETOEX:
        FState.Position = {value(0), value(1)};
        break;
    case EMR_LINETO: {
        FPainter.setPen(CurrentPen());
        FPainter.drawLine(Device(FState.Position.X, FState.Position.Y), Device(value(0), value(1)));
        FState.Position = {value(0), value(1)};
        break;
    }
    case EMR_POLYLINE:
    case EMR_POLYGON: {
        QPolygon polygon;
        for (const TPoint& p : r.Points)
            polygon << Device(p.X, p.Y);
        FPainter.setPen(CurrentPen());
        if (r.Type == EMR_POLYLINE) {
            FPainter.drawPolyline(polygon);
        } else {
            FPainter.setBrush(BrushOf(FState.Brush));
            FPainter.drawPolygon(polygon, FState.PolyFillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
        }
        break;
    }
    case EMR_RECTANGLE:
        Shape(DeviceRect(r.Rect), [this](const QRectF& box) { FPainter.drawRect(box); });
        break;
    case EMR_ELLIPSE:
        Shape(DeviceRect(r.Rect), [this](const QRectF& box) { FPainter.drawEllipse(box); });
        break;
    case EMR_ROUNDRECT:
        Shape(DeviceRect(r.Rect), [this, &value](const QRectF& box) {
            FPainter.drawRoundedRect(box, value(0) / 2.0, value(1) / 2.0);
        });
        break;
    case EMR_ARC:
    case EMR_CHORD:
    case EMR_PIE:
        ArcShape(r);
        break;
    case EMR_FILLRGN: {
        const TPlayObject brush = Object(value(0));
        if (r.Region.isEmpty())
            FPainter.fillRect(DeviceRect(r.Rect), BrushOf(brush));
        else
            for (const QRect& part : r.Region)
                FPainter.fillRect(part, BrushOf(brush));
        break;
    }
    case EMR_FRAMERGN: {
        const QBrush brush = BrushOf(Object(value(0)));
        const QRect box = r.Region.isEmpty() ? DeviceRect(r.Rect) : r.Region.boundingRect();
        const int w = std::max(1, value(1)), h = std::max(1, value(2));
        FPainter.fillRect(QRect(box.left(), box.top(), box.width(), h), brush);
        FPainter.fillRect(QRect(box.left(), box.bottom() - h + 1, box.width(), h), brush);
        FPainter.fillRect(QRect(box.left(), box.top(), w, box.height()), brush);
        FPainter.fillRect(QRect(box.right() - w + 1, box.top(), w, box.height()), brush);
        break;
    }
    case EMR_SETPIXELV:
        FPainter.fillRect(QRect(Device(value(0), value(1)), QSize(1, 1)), ToColor(static_cast<COLORREF>(value(2))));
        break;
    case EMR_EXTTEXTOUTW:
        Text(r);
        break;
    case EMR_BITBLT:
    case EMR_STRETCHBLT:
    case EMR_STRETCHDIBITS:
        Blit(r);
        break;
    default:
        // Focus frames, flood fills, raster modes and comments have no meaning on paper.
        break;
    }
}

} // namespace

void RenderPrinterPage(QPainter& painter, const std::vector<TEmrRecord>& records, int pixelsPerInch)
{
    painter.save();
    TPagePlayer player(painter, pixelsPerInch);
    for (const TEmrRecord& record : records)
        player.Play(record);
    painter.restore();
}
