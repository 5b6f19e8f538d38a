// Painting and notification helpers of the standard controls.

#include "platform/gui/private/StdCtrlSupport.h"

#include "platform/gui/FontEngine.h"
#include "platform/gui/TextOutput.h"
#include "platform/gui/WindowHandles.h"
#include "platform/gui/DeviceContext.h"
#include "platform/gui/private/FontCache.h"
#include "platform/gui/private/GdiInternals.h"
#include "platform/gui/private/Surfaces.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/rtl/TextUtils.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>

namespace StdCtrl {

namespace {
thread_local bool reflected = false;

QColor Q(TColor color) { return ToQColor(color); }

// Splits a caption into its shown text and the index of the underlined character (-1: none).
std::string ShownText(const std::string& text, bool prefix, int& underline)
{
    underline = -1;
    if (!prefix)
        return text;
    std::string shown;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) {
            ++i;
            if (text[i] != '&')
                underline = static_cast<int>(shown.size());
        }
        shown += text[i];
    }
    return shown;
}

std::string ExpandTabs(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\t') {
            const std::size_t spaces = 8 - out.size() % 8;
            out.append(spaces, ' ');
        } else {
            out += c;
        }
    }
    return out;
}
} // namespace

QFont QtFont(const TFont& font)
{
    return FontCache::Realize(FontToLogFont(font))->Font;
}

int TextHeight(const TFont& font)
{
    return FontCache::Realize(FontToLogFont(font))->Metrics.tmHeight;
}

int TextWidth(const TFont& font, const std::string& text)
{
    auto realized = FontCache::Realize(FontToLogFont(font));
    int width = 0;
    for (unsigned char c : text)
        width += realized->Advances[c];
    return width;
}

void Frame3D(QPainter& painter, QRect& rect, TColor topLeft, TColor bottomRight, int width)
{
    for (int i = 0; i < width; ++i) {
        const int l = rect.left(), t = rect.top(), r = rect.right(), b = rect.bottom();
        painter.fillRect(QRect(l, t, r - l, 1), Q(topLeft));
        painter.fillRect(QRect(l, t, 1, b - t), Q(topLeft));
        painter.fillRect(QRect(r, t, 1, b - t + 1), Q(bottomRight));
        painter.fillRect(QRect(l, b, r - l + 1, 1), Q(bottomRight));
        rect.adjust(1, 1, -1, -1);
    }
}

void DrawRaisedEdge(QPainter& painter, const QRect& rect, bool pressed)
{
    QRect r = rect;
    if (pressed) {
        Frame3D(painter, r, cl3DDkShadow, clBtnHighlight, 1);
        Frame3D(painter, r, clBtnShadow, cl3DLight, 1);
    } else {
        Frame3D(painter, r, clBtnHighlight, cl3DDkShadow, 1);
        Frame3D(painter, r, cl3DLight, clBtnShadow, 1);
    }
}

void DrawArrowButtonEdge(QPainter& painter, const QRect& rect)
{
    QRect r = rect;
    Frame3D(painter, r, cl3DLight, cl3DDkShadow, 1);
    Frame3D(painter, r, clBtnHighlight, clBtnShadow, 1);
}

void DrawSunkenEdge(QPainter& painter, const QRect& rect)
{
    QRect r = rect;
    Frame3D(painter, r, clBtnShadow, clBtnHighlight, 1);
    Frame3D(painter, r, cl3DDkShadow, cl3DLight, 1);
}

void DrawFocusRect(QPainter& painter, const QRect& rect)
{
    QPen pen(Qt::black);
    pen.setStyle(Qt::DotLine);
    painter.save();
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
    painter.restore();
}

int DrawCaption(QPainter* painter, QRect& rect, const std::string& text, unsigned flags, const TFont& font,
                TColor color)
{
    int underline = -1;
    std::string shown = ShownText(text, (flags & DT_NOPREFIX) == 0, underline);
    if (flags & DT_EXPANDTABS)
        shown = ExpandTabs(shown);
    QFont qfont = QtFont(font);
    QFontMetrics metrics(qfont);
    const int lineHeight = TextHeight(font);
    int qtFlags = Qt::TextDontClip;
    if (flags & DT_CENTER)
        qtFlags |= Qt::AlignHCenter;
    else if (flags & DT_RIGHT)
        qtFlags |= Qt::AlignRight;
    else
        qtFlags |= Qt::AlignLeft;
    if (flags & DT_SINGLELINE) {
        qtFlags |= Qt::TextSingleLine;
        if (flags & DT_VCENTER)
            qtFlags |= Qt::AlignVCenter;
        else if (flags & DT_BOTTOM)
            qtFlags |= Qt::AlignBottom;
        else
            qtFlags |= Qt::AlignTop;
    } else {
        qtFlags |= Qt::AlignTop;
    }
    if (flags & DT_WORDBREAK)
        qtFlags |= Qt::TextWordWrap;
    QString qtext = ToQString(shown);
    const QRect bound = metrics.boundingRect(flags & DT_CALCRECT ? QRect(rect.left(), rect.top(), (flags & DT_WORDBREAK) ? rect.width() : 100000, 100000) : rect,
                                             qtFlags, qtext);
    int height = std::max(bound.height(), shown.empty() ? lineHeight : 0);
    if (flags & DT_CALCRECT) {
        rect.setWidth(bound.width());
        rect.setHeight(std::max(height, lineHeight));
        return height;
    }
    if (!painter)
        return height;
    painter->save();
    painter->setFont(qfont);
    painter->setPen(Q(color));
    if (underline >= 0) {
        QString marked;
        for (int i = 0; i < qtext.size(); ++i) {
            if (i == underline)
                marked += '&';
            marked += qtext[i] == '&' ? QStringLiteral("&&") : QString(qtext[i]);
        }
        painter->drawText(rect, qtFlags | Qt::TextShowMnemonic, marked);
    } else {
        painter->drawText(rect, qtFlags, qtext);
    }
    painter->restore();
    return height;
}

std::string StripAccel(const std::string& text)
{
    int underline = -1;
    return ShownText(text, true, underline);
}

bool IsAccel(unsigned char key, const std::string& text)
{
    int underline = -1;
    const std::string shown = ShownText(text, true, underline);
    if (underline < 0)
        return false;
    return AnsiUpperCase(std::string(1, static_cast<char>(key))) ==
           AnsiUpperCase(std::string(1, shown[static_cast<std::size_t>(underline)]));
}

int ControlId(TWinControl* control)
{
    if (!control || !control->HandleAllocated())
        return 0;
    // The class library gives each child window its handle as identifier; without one set, the
    // handle tells owner-draw measuring (whose structure names no window) which child it is for.
    const auto id = static_cast<int>(GetWindowLongPtrA(control->Handle(), GWL_ID));
    return id != 0 ? id : static_cast<int>(reinterpret_cast<std::uintptr_t>(control->Handle()));
}

LRESULT SendToParent(TWinControl* control, UINT message, WPARAM wParam, LPARAM lParam)
{
    const bool saved = reflected;
    reflected = false;
    LRESULT result = 0;
    TWinControl* parent = control->Parent();
    try {
        if (parent) {
            if (parent->HandleAllocated())
                result = SendMessageA(parent->Handle(), message, wParam, lParam);
            else
                result = parent->Perform(message, wParam, lParam);
        }
        if (!reflected)
            result = control->Perform(CN_BASE + message, wParam, lParam);
    } catch (...) {
        reflected = saved;
        throw;
    }
    reflected = saved;
    return result;
}

void NotifyParent(TWinControl* control, WORD code)
{
    const LPARAM handle = control->HandleAllocated() ? reinterpret_cast<LPARAM>(control->Handle()) : 0;
    SendToParent(control, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(ControlId(control)), code), handle);
}

void MarkReflected() { reflected = true; }

std::string ClipboardText()
{
    QString text = QGuiApplication::clipboard()->text();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return ToAnsi(text);
}

void SetClipboardText(const std::string& text)
{
    QString qtext = ToQString(text);
    qtext.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QGuiApplication::clipboard()->setText(qtext);
}

void Beep() { QApplication::beep(); }

namespace {
// Where the retained image is transparent the copy holds this colour, which drawing hardly uses.
constexpr QRgb TransparentMark = 0xFF010203u;

// True when every pixel of image inside rect is fully transparent (outside the image counts so).
bool AreaIsClear(const QImage& image, const QRect& rect)
{
    const QRect inside = rect.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y)) + inside.left();
        QRgb any = 0;
        for (int x = 0; x < inside.width(); ++x)
            any |= row[x];
        if (any != 0)
            return false;
    }
    return true;
}
} // namespace

TClientPaintDC::TClientPaintDC(TControl* control) : FControl(control)
{
    HWND window = nullptr;
    if (auto* win = dynamic_cast<TWinControl*>(control); win && win->HandleAllocated())
        window = win->Handle();
    const QSize size(std::max(control->ClientWidth(), 1), std::max(control->ClientHeight(), 1));
    TSurface* retained = control->Surface();
    const QRect client(retained ? ClientOffset(control) : QPoint(0, 0), size);
    // A control with csOpaque paints its whole rectangle: nothing of what lies under it shows
    // through, so its drawing replaces the image without a pixel-by-pixel merge.
    const bool opaque = control->ControlStyle.Contains(csOpaque);
    if (!retained || retained->Image.isNull() ||
        (!opaque && retained->Transparent && retained->Image.hasAlphaChannel() &&
         AreaIsClear(retained->Image, client))) {
        // Nothing shows there yet (a graphic control's paint starts on a cleared area): every
        // pixel not drawn stays transparent.
        FImage = QImage(size, QImage::Format_RGB32);
        FImage.fill(TransparentMark);
        FStartsClear = true;
    } else {
        QImage area = retained->Image.copy(client);
        if (!opaque && retained->Transparent && area.hasAlphaChannel()) {
            // Opaque pixels read the same premultiplied or not; the others become the mark.
            FOriginal = area.convertToFormat(QImage::Format_ARGB32_Premultiplied);
            FImage = QImage(size, QImage::Format_RGB32);
            const int width = size.width();
            for (int y = 0; y < size.height(); ++y) {
                const auto* before = reinterpret_cast<const QRgb*>(FOriginal.constScanLine(y));
                auto* copy = reinterpret_cast<QRgb*>(FImage.scanLine(y));
                for (int x = 0; x < width; ++x)
                    copy[x] = qAlpha(before[x]) == 255 ? before[x] : TransparentMark;
            }
        } else {
            // The copy is converted where it lies, without a second image of the client area.
            FImage = std::move(area).convertToFormat(QImage::Format_RGB32);
        }
    }
    FHandle = Gdi::CreateImageDC(
        [this](TDcSurface& surface) {
            surface.Image = &FImage;
            surface.Origin = {0, 0};
            surface.Bounds = FImage.rect();
            return true;
        },
        window);
}

TClientPaintDC::~TClientPaintDC()
{
    if (FHandle)
        DeleteDC(FHandle);
    QPainter* painter = PaintPainter(FControl);
    if (!painter)
        return;
    if (FStartsClear) {
        // The pixels drawn become opaque, the others stay transparent: the image is turned into
        // its premultiplied form where it lies.
        const int width = FImage.width();
        for (int y = 0; y < FImage.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(FImage.scanLine(y));
            for (int x = 0; x < width; ++x) {
                const QRgb drawn = row[x] | 0xFF000000u;
                row[x] = drawn != TransparentMark ? drawn : 0u;
            }
        }
        FImage.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
        painter->save();
        painter->setCompositionMode(QPainter::CompositionMode_Source);
        painter->drawImage(0, 0, FImage);
        painter->restore();
        return;
    }
    if (FOriginal.isNull()) {
        painter->drawImage(0, 0, FImage);
        return;
    }
    // The pixels drawn replace the original ones; the rest keep their transparency.
    const int width = FOriginal.width();
    for (int y = 0; y < FOriginal.height(); ++y) {
        const auto* drawnRow = reinterpret_cast<const QRgb*>(FImage.constScanLine(y));
        auto* row = reinterpret_cast<QRgb*>(FOriginal.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const QRgb before = row[x];
            const QRgb drawn = drawnRow[x] | 0xFF000000u;
            const QRgb expected = (before >> 24) == 0xFF ? before : TransparentMark;
            row[x] = drawn != expected ? drawn : before;
        }
    }
    painter->save();
    painter->setCompositionMode(QPainter::CompositionMode_Source);
    painter->drawImage(0, 0, FOriginal);
    painter->restore();
}

} // namespace StdCtrl
