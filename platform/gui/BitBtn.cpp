// Buttons with glyphs.

#include "platform/gui/BitBtn.h"

#include "platform/gui/Form.h"
#include "platform/gui/TextOutput.h"
#include "platform/gui/private/GdiInternals.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/gui/private/StdCtrlSupport.h"
#include "platform/gui/private/Surfaces.h"

#include <QPainterPath>

// --- TButtonGlyph ------------------------------------------------------------------------------------

TButtonGlyph::TButtonGlyph() = default;
TButtonGlyph::~TButtonGlyph() = default;

void TButtonGlyph::SetGlyph(TBitmap* value)
{
    if (!value || value->Empty()) {
        FGlyph.reset();
        return;
    }
    FGlyph = std::make_unique<TBitmap>();
    FGlyph->Assign(value);
    const int w = FGlyph->Width(), h = FGlyph->Height();
    if (h > 0 && w % h == 0 && w / h >= 1 && w / h <= 4)
        FNumGlyphs = w / h;
}

void TButtonGlyph::SetNumGlyphs(int value) { FNumGlyphs = std::clamp(value, 1, 4); }

int TButtonGlyph::CellFor(TButtonState state) const
{
    const int cell = static_cast<int>(state);
    if (cell < FNumGlyphs)
        return cell;
    if (state == bsDisabled)
        return -1;
    return 0;
}

TSize TButtonGlyph::CellSize() const
{
    if (Empty())
        return {0, 0};
    return {FGlyph->Width() / FNumGlyphs, FGlyph->Height()};
}

namespace {

QImage CellImage(TBitmap* glyph, int cell, int cellWidth)
{
    TGdiBitmap* bitmap = Gdi::FindBitmap(glyph->Handle());
    if (!bitmap)
        return QImage();
    const QImage whole = bitmap->Image.convertToFormat(QImage::Format_ARGB32);
    QImage image = whole.copy(cell * cellWidth, 0, cellWidth, whole.height());
    const QRgb transparent = whole.pixel(0, whole.height() - 1) | 0xFF000000u;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) | 0xFF000000u) == transparent)
                image.setPixel(x, y, 0);
    return image;
}

// The embossed disabled look: the dark pixels in highlight at (+1, +1), then in shadow.
void DrawEmbossed(QPainter& painter, const QImage& cell, QPoint at)
{
    QImage light(cell.size(), QImage::Format_ARGB32);
    QImage dark(cell.size(), QImage::Format_ARGB32);
    light.fill(0);
    dark.fill(0);
    const QRgb highlight = ToQColor(clBtnHighlight).rgba();
    const QRgb shadow = ToQColor(clBtnShadow).rgba();
    for (int y = 0; y < cell.height(); ++y)
        for (int x = 0; x < cell.width(); ++x) {
            const QRgb pixel = cell.pixel(x, y);
            if (qAlpha(pixel) == 0 || qGray(pixel) > 192)
                continue;
            light.setPixel(x, y, highlight);
            dark.setPixel(x, y, shadow);
        }
    painter.drawImage(at + QPoint(1, 1), light);
    painter.drawImage(at, dark);
}

} // namespace

int TButtonGlyph::Draw(QPainter& painter, const TRect& rect, const std::string& caption, const TFont& font,
                       TButtonLayout layout, int margin, int spacing, TButtonState state, bool pressedOffset)
{
    const TSize glyph = CellSize();
    QRect measure(0, 0, 0, 0);
    if (!caption.empty())
        StdCtrl::DrawCaption(nullptr, measure, caption, DT_CALCRECT | DT_SINGLELINE, font, clBtnText);
    const QSize text(caption.empty() ? 0 : measure.width(), caption.empty() ? 0 : measure.height());
    const bool horizontal = layout == blGlyphLeft || layout == blGlyphRight;
    const int available = horizontal ? rect.Width() : rect.Height();
    const int glyphExtent = horizontal ? glyph.cx : glyph.cy;
    const int textExtent = horizontal ? text.width() : text.height();
    if (glyphExtent == 0 || textExtent == 0)
        spacing = 0;
    int total = glyphExtent + spacing + textExtent;
    if (margin < 0)
        margin = (available - total) / 2;
    QPoint glyphAt, textAt;
    const int offset = pressedOffset ? 1 : 0;
    switch (layout) {
    case blGlyphLeft:
        glyphAt = QPoint(rect.Left + margin, rect.Top + (rect.Height() - glyph.cy) / 2);
        textAt = QPoint(glyphAt.x() + glyph.cx + spacing, rect.Top + (rect.Height() - text.height()) / 2);
        break;
    case blGlyphRight:
        glyphAt = QPoint(rect.Right - margin - glyph.cx, rect.Top + (rect.Height() - glyph.cy) / 2);
        textAt = QPoint(glyphAt.x() - spacing - text.width(), rect.Top + (rect.Height() - text.height()) / 2);
        break;
    case blGlyphTop:
        glyphAt = QPoint(rect.Left + (rect.Width() - glyph.cx) / 2, rect.Top + margin);
        textAt = QPoint(rect.Left + (rect.Width() - text.width()) / 2, glyphAt.y() + glyph.cy + spacing);
        break;
    case blGlyphBottom:
        glyphAt = QPoint(rect.Left + (rect.Width() - glyph.cx) / 2, rect.Bottom - margin - glyph.cy);
        textAt = QPoint(rect.Left + (rect.Width() - text.width()) / 2, glyphAt.y() - spacing - text.height());
        break;
    }
    glyphAt += QPoint(offset, offset);
    textAt += QPoint(offset, offset);
    int drawn = -2;
    if (!Empty()) {
        const int cell = CellFor(state);
        if (cell >= 0) {
            painter.drawImage(glyphAt, CellImage(FGlyph.get(), cell, glyph.cx));
        } else {
            DrawEmbossed(painter, CellImage(FGlyph.get(), 0, glyph.cx), glyphAt);
        }
        drawn = cell;
    }
    if (!caption.empty()) {
        QRect textRect(textAt, text);
        if (state == bsDisabled) {
            QRect shadow = textRect.translated(1, 1);
            StdCtrl::DrawCaption(&painter, shadow, caption, DT_SINGLELINE, font, clBtnHighlight);
            StdCtrl::DrawCaption(&painter, textRect, caption, DT_SINGLELINE, font, clBtnShadow);
        } else {
            StdCtrl::DrawCaption(&painter, textRect, caption, DT_SINGLELINE, font, font.Color());
        }
    }
    return drawn;
}

// --- TBitBtn -------------------------------------------------------------------------------------------

namespace {

struct TKindInfo {
    const char* Caption;
    TModalResult Result;
};

TKindInfo KindInfo(TBitBtnKind kind)
{
    switch (kind) {
    case bkOK:
        return {"OK", mrOk};
    case bkCancel:
        return {"Annulla", mrCancel};
    case bkHelp:
        return {"&Guida", mrNone};
    case bkYes:
        return {"&S\xEC", mrYes};
    case bkNo:
        return {"&No", mrNo};
    case bkClose:
        return {"&Chiudi", mrNone};
    case bkAbort:
        return {"Interrompi", mrAbort};
    case bkRetry:
        return {"&Riprova", mrRetry};
    case bkIgnore:
        return {"&Ignora", mrIgnore};
    case bkAll:
        return {"&Tutti", mrAll};
    default:
        return {"", mrNone};
    }
}

// The glyphs of the standard kinds, drawn by the layer in an 18 x 18 cell.
QImage KindGlyph(TBitBtnKind kind, bool enabled)
{
    QImage image(18, 18, QImage::Format_ARGB32);
    image.fill(0);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    auto pen = [&](const QColor& color, qreal width) {
        QPen p(enabled ? color : ToQColor(clBtnShadow), width);
        p.setCapStyle(Qt::RoundCap);
        p.setJoinStyle(Qt::RoundJoin);
        painter.setPen(p);
    };
    switch (kind) {
    case bkOK:
    case bkYes:
    case bkAll:
        pen(QColor(0, 128, 0), 2.5);
        painter.drawPolyline(QPolygonF({QPointF(3, 9), QPointF(7, 14), QPointF(15, 4)}));
        break;
    case bkCancel:
    case bkAbort:
        pen(QColor(192, 0, 0), 2.5);
        painter.drawLine(QPointF(4, 4), QPointF(14, 14));
        painter.drawLine(QPointF(14, 4), QPointF(4, 14));
        break;
    case bkNo:
        pen(QColor(192, 0, 0), 2);
        painter.drawEllipse(QRectF(3, 3, 12, 12));
        painter.drawLine(QPointF(5, 13), QPointF(13, 5));
        break;
    case bkHelp:
        pen(QColor(0, 0, 160), 2);
        painter.drawArc(QRectF(5, 2, 8, 8), 180 * 16, -270 * 16);
        painter.drawLine(QPointF(9, 10), QPointF(9, 12));
        painter.drawPoint(QPointF(9, 15));
        break;
    case bkClose:
        pen(QColor(128, 64, 0), 1.5);
        painter.drawRect(QRectF(4, 2, 9, 14));
        painter.drawPoint(QPointF(11, 9));
        break;
    case bkRetry:
        pen(QColor(0, 96, 160), 2);
        painter.drawArc(QRectF(3, 3, 12, 12), 30 * 16, 300 * 16);
        painter.drawLine(QPointF(15, 3), QPointF(14, 8));
        break;
    case bkIgnore:
        pen(QColor(96, 96, 96), 2);
        painter.drawLine(QPointF(3, 9), QPointF(15, 9));
        break;
    default:
        break;
    }
    return image;
}

} // namespace

TBitBtn::TBitBtn(TComponent* AOwner) : TButton(AOwner) {}

TBitBtn::~TBitBtn() = default;

void TBitBtn::SetKind(TBitBtnKind value)
{
    FKind = value;
    if (value == bkCustom)
        return;
    const TKindInfo info = KindInfo(value);
    SetCaption(info.Caption);
    SetModalResult(info.Result);
    SetDefault(value == bkOK || value == bkYes);
    SetCancel(value == bkCancel || value == bkNo);
    Invalidate();
}

void TBitBtn::SetGlyph(TBitmap* value)
{
    FGlyph.SetGlyph(value);
    Invalidate();
}

void TBitBtn::SetNumGlyphs(int value)
{
    FGlyph.SetNumGlyphs(value);
    Invalidate();
}

void TBitBtn::SetLayout(TButtonLayout value)
{
    FLayout = value;
    Invalidate();
}

void TBitBtn::SetMargin(int value)
{
    FMargin = std::max(value, -1);
    Invalidate();
}

void TBitBtn::SetSpacing(int value)
{
    FSpacing = value;
    Invalidate();
}

void TBitBtn::Click()
{
    if (FKind == bkClose) {
        if (TCustomForm* form = GetParentForm(this)) {
            form->Close();
            TButtonControl::Click();
            return;
        }
    }
    TButton::Click();
}

void TBitBtn::Paint()
{
    QPainter* painter = PaintPainter(this);
    if (!painter)
        return;
    QRect rect(0, 0, Width(), Height());
    painter->fillRect(rect, ToQColor(Color()));
    const bool framed = IsActiveDefault() && (Default() || Focused());
    if (framed) {
        painter->setPen(Qt::black);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(rect.adjusted(0, 0, -1, -1));
        rect.adjust(1, 1, -1, -1);
    }
    if (Pressed()) {
        painter->setPen(ToQColor(clBtnShadow));
        painter->drawRect(rect.adjusted(0, 0, -1, -1));
    } else {
        StdCtrl::DrawRaisedEdge(*painter, rect, false);
    }
    const TButtonState state = !Enabled() ? bsDisabled : Pressed() ? bsDown : bsUp;
    const TRect inner = ToTRect(rect.adjusted(2, 2, -2, -2));
    if (FGlyph.Empty() && FKind != bkCustom) {
        // The layer's own glyph of the kind, laid out as a bitmap glyph would be.
        const QImage glyph = KindGlyph(FKind, Enabled());
        {
            QRect measure(0, 0, 0, 0);
            StdCtrl::DrawCaption(nullptr, measure, Caption(), DT_CALCRECT | DT_SINGLELINE, *Font(), clBtnText);
            const int total = glyph.width() + FSpacing + measure.width();
            const int margin = FMargin < 0 ? (inner.Width() - total) / 2 : FMargin;
            const int offset = Pressed() ? 1 : 0;
            const QPoint glyphAt(inner.Left + margin + offset, inner.Top + (inner.Height() - glyph.height()) / 2 + offset);
            painter->drawImage(glyphAt, glyph);
            QRect textRect(glyphAt.x() + glyph.width() + FSpacing, inner.Top + (inner.Height() - measure.height()) / 2 + offset,
                           measure.width(), measure.height());
            StdCtrl::DrawCaption(painter, textRect, Caption(), DT_SINGLELINE, *Font(),
                                 Enabled() ? Font()->Color() : clBtnShadow);
        }
        FLastCell = -2;
    } else {
        FLastCell = FGlyph.Draw(*painter, inner, Caption(), *Font(), FLayout, FMargin, FSpacing, state, Pressed());
    }
    if (Focused())
        StdCtrl::DrawFocusRect(*painter, rect.adjusted(2, 2, -2, -2));
}
