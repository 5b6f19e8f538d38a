// The rich edit control's twips layout and its format range.

#include "platform/gui/private/RichLayout.h"

#include "platform/gui/DeviceContext.h"
#include "platform/gui/GdiDraw.h"
#include "platform/gui/TextOutput.h"
#include "platform/gui/private/FontCache.h"
#include "platform/gui/private/QtBridge.h"

#include <QTextBlock>

#include <algorithm>
#include <cstring>

namespace {

constexpr int MeasuringPixelsPerInch = 1440;
constexpr int DefaultTabStop = 720;
constexpr unsigned char BulletChar = 0x95;

struct TRichChar {
    unsigned char Code = ' ';
    int Width = 0;
    int Format = 0;
    int QtPos = 0;
    bool LineBreak = false;
    bool Hidden = false;
    bool Object = false;
    int ObjectHeight = 0;
};

struct TFormatMetrics {
    int Ascent = 0;
    int Descent = 0;
};

int NextTabStop(const PARAFORMAT2& para, int x)
{
    const int count = std::clamp<int>(para.cTabCount, 0, MAX_TAB_STOPS);
    int last = 0;
    for (int i = 0; i < count; ++i) {
        const int stop = para.rgxTabs[i] & 0xFFFFFF;
        if (stop > x)
            return stop;
        last = std::max(last, stop);
    }
    return last + (std::max(x - last, 0) / DefaultTabStop + 1) * DefaultTabStop;
}

int SpacedHeight(const PARAFORMAT2& para, int height)
{
    switch (para.bLineSpacingRule) {
    case 1:
        return height * 3 / 2;
    case 2:
        return height * 2;
    case 3:
        return std::max(height, static_cast<int>(para.dyLineSpacing));
    case 4:
        return para.dyLineSpacing > 0 ? static_cast<int>(para.dyLineSpacing) : height;
    case 5:
        return para.dyLineSpacing > 0 ? static_cast<int>(static_cast<long long>(height) * para.dyLineSpacing / 20)
                                      : height;
    default:
        return height;
    }
}

// Device coordinate of a twips coordinate (rounded, as every edge goes through the same rounding).
int ToDevice(long long twips, int pixelsPerInch)
{
    const long long scaled = twips * pixelsPerInch;
    return static_cast<int>(scaled >= 0 ? (scaled + 720) / 1440 : -((-scaled + 720) / 1440));
}

void DrawPicture(HDC dc, const QImage& image, const RECT& box)
{
    if (image.isNull())
        return;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    BITMAPINFO info{};
    info.bmiHeader.biWidth = rgb.width();
    info.bmiHeader.biHeight = -rgb.height();
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biSizeImage = static_cast<DWORD>(rgb.sizeInBytes());
    StretchDIBits(dc, box.Left, box.Top, box.Right - box.Left, box.Bottom - box.Top, 0, 0, rgb.width(), rgb.height(),
                  rgb.constBits(), &info, DIB_RGB_COLORS, SRCCOPY);
}

// Spreads room over the spaces of a line that lie before its last visible character.
void Justify(TRichLine& line, int room)
{
    std::vector<std::pair<std::size_t, std::size_t>> spaces;
    bool visibleAfter = false;
    for (std::size_t p = line.Pieces.size(); p-- > 0;) {
        const TRichPiece& piece = line.Pieces[p];
        for (std::size_t i = piece.Text.size(); i-- > 0;) {
            if (piece.Object || piece.Text[i] != ' ')
                visibleAfter = visibleAfter || piece.Object || piece.Text[i] != '\t';
            else if (visibleAfter)
                spaces.emplace_back(p, i);
        }
    }
    if (spaces.empty())
        return;
    const int count = static_cast<int>(spaces.size());
    for (int k = 0; k < count; ++k) {
        const auto [p, i] = spaces[static_cast<std::size_t>(k)];
        const int extra = room / count + (k < room % count ? 1 : 0);
        line.Pieces[p].Advances[i] += extra;
        line.Pieces[p].Width += extra;
    }
    int x = line.Pieces.front().X;
    for (TRichPiece& piece : line.Pieces) {
        piece.X = x;
        x += piece.Width;
    }
}

} // namespace

LOGFONTA RichLogFont(const CHARFORMAT2A& format, int pixelsPerInch)
{
    LOGFONTA font;
    const int height = std::clamp<int>(format.yHeight, 1, yHeightCharPtsMost * 20);
    font.lfHeight = -ToDevice(height, pixelsPerInch);
    if (font.lfHeight == 0)
        font.lfHeight = -1;
    font.lfWeight = format.wWeight ? format.wWeight : (format.dwEffects & CFE_BOLD) ? FW_BOLD : FW_NORMAL;
    if ((format.dwEffects & CFE_BOLD) && font.lfWeight < FW_BOLD)
        font.lfWeight = FW_BOLD;
    font.lfItalic = (format.dwEffects & CFE_ITALIC) ? 1 : 0;
    font.lfUnderline = (format.dwEffects & CFE_UNDERLINE) &&
                               (format.bUnderlineType <= CFU_UNDERLINEWORD || format.bUnderlineType >= CFU_UNDERLINETHICK)
                           ? 1
                           : 0;
    font.lfStrikeOut = (format.dwEffects & CFE_STRIKEOUT) ? 1 : 0;
    font.lfCharSet = format.bCharSet;
    font.lfPitchAndFamily = format.bPitchAndFamily;
    std::memcpy(font.lfFaceName, format.szFaceName, std::min(sizeof(font.lfFaceName), sizeof(format.szFaceName)));
    font.lfFaceName[sizeof(font.lfFaceName) - 1] = 0;
    return font;
}

TRichLayout::TRichLayout(const TRichDocument& document) : FDocument(document) {}

TRichLayout::~TRichLayout() = default;

void TRichLayout::Invalidate() { FCache.clear(); }

const TRichParagraphLayout& TRichLayout::Paragraph(int block, int width)
{
    auto& paragraphs = FCache[width];
    const int count = FDocument.Document()->blockCount();
    if (static_cast<int>(paragraphs.size()) != count)
        paragraphs.resize(static_cast<std::size_t>(count));
    auto& slot = paragraphs[static_cast<std::size_t>(block)];
    if (!slot)
        slot = std::make_unique<TRichParagraphLayout>(Build(block, width));
    return *slot;
}

TRichParagraphLayout TRichLayout::Build(int blockNumber, int width) const
{
    TRichParagraphLayout layout;
    const QTextBlock block = FDocument.Document()->findBlockByNumber(blockNumber);
    layout.Para = ParaRecordOf(block.blockFormat());
    const PARAFORMAT2& para = layout.Para;

    std::vector<TFormatMetrics> metrics;
    std::map<int, int> formatOfIndex;
    auto addFormat = [&](int index, const QTextCharFormat& format) {
        const auto found = formatOfIndex.find(index);
        if (found != formatOfIndex.end())
            return found->second;
        const CHARFORMAT2A& record = FDocument.RecordOfIndex(index, format);
        const auto font = FontCache::Realize(RichLogFont(record, MeasuringPixelsPerInch), MeasuringPixelsPerInch);
        layout.Formats.push_back(record);
        metrics.push_back({font->Metrics.tmAscent, font->Metrics.tmDescent});
        const int added = static_cast<int>(layout.Formats.size()) - 1;
        formatOfIndex[index] = added;
        return added;
    };
    const int markFormat = addFormat(block.charFormatIndex(), block.charFormat());

    std::vector<TRichChar> chars;
    std::vector<QImage> images;
    for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const QTextCharFormat format = fragment.charFormat();
        const int formatIndex = addFormat(fragment.charFormatIndex(), format);
        const CHARFORMAT2A& record = layout.Formats[static_cast<std::size_t>(formatIndex)];
        const auto font = FontCache::Realize(RichLogFont(record, MeasuringPixelsPerInch), MeasuringPixelsPerInch);
        const bool hidden = (record.dwEffects & CFE_HIDDEN) != 0;
        const QString text = fragment.text();
        for (qsizetype i = 0; i < text.size(); ++i) {
            TRichChar c;
            c.QtPos = fragment.position() + static_cast<int>(i);
            c.Format = formatIndex;
            c.Hidden = hidden;
            const QChar q = text[i];
            if (q == QChar::LineSeparator) {
                c.LineBreak = true;
                c.Code = '\n';
            } else if (q == QChar::ObjectReplacementCharacter) {
                c.Object = true;
                c.Width = std::max(0, format.property(rpObjectWidth).toInt());
                c.ObjectHeight = std::max(0, format.property(rpObjectHeight).toInt());
            } else {
                const std::string ansi = ToAnsi(QString(q));
                c.Code = ansi.empty() ? '?' : static_cast<unsigned char>(ansi[0]);
                c.Width = c.Code == '\t' ? 0 : font->Advances[c.Code];
            }
            if (hidden)
                c.Width = 0;
            chars.push_back(c);
        }
    }

    const bool bullet = para.wNumbering == PFN_BULLET;
    const int firstLeft = bullet ? para.dxStartIndent + std::max<LONG>(para.dxOffset, 0) : para.dxStartIndent;
    const int otherLeft = para.dxStartIndent + para.dxOffset;
    const int right = std::max(width - static_cast<int>(para.dxRightIndent), 1);
    layout.BulletX = para.dxStartIndent;
    layout.BulletFormat = chars.empty() ? markFormat : chars.front().Format;

    auto advanceOf = [&](const TRichChar& c, int x) {
        if (c.Hidden || c.LineBreak)
            return 0;
        if (c.Code == '\t' && !c.Object)
            return NextTabStop(para, x) - x;
        return c.Width;
    };

    int top = para.dySpaceBefore;
    std::size_t start = 0;
    do {
        const int left = start == 0 ? firstLeft : otherLeft;
        // Where the line ends: after a line break, at the last space or hyphen before the
        // overflow, or before the overflowing character when the word alone is too wide.
        std::size_t end = start;
        std::size_t lastBreak = 0;
        int x = left;
        while (end < chars.size()) {
            const TRichChar& c = chars[end];
            if (c.LineBreak) {
                ++end;
                break;
            }
            const int advance = advanceOf(c, x);
            const bool blank = !c.Object && (c.Code == ' ' || c.Code == '\t');
            if (x + advance > right && end > start && !(blank && c.Code == ' ')) {
                if (lastBreak > start)
                    end = lastBreak;
                break;
            }
            x += advance;
            ++end;
            if (!c.Object && (c.Code == ' ' || c.Code == '-' || c.Code == '\t'))
                lastBreak = end;
        }

        TRichLine line;
        line.QtStart = start < chars.size() ? chars[start].QtPos : block.position() + block.length() - 1;
        line.Bullet = bullet && start == 0;
        int ascent = 0, descent = 0;
        x = left;
        int lastVisibleEnd = left;
        for (std::size_t i = start; i < end; ++i) {
            const TRichChar& c = chars[i];
            const int advance = advanceOf(c, x);
            if (c.Hidden || c.LineBreak)
                continue;
            const TFormatMetrics& m = metrics[static_cast<std::size_t>(c.Format)];
            ascent = std::max(ascent, c.Object ? c.ObjectHeight : m.Ascent);
            descent = std::max(descent, c.Object ? 0 : m.Descent);
            if (line.Pieces.empty() || line.Pieces.back().Format != c.Format || c.Object ||
                line.Pieces.back().Object) {
                TRichPiece piece;
                piece.QtFrom = c.QtPos;
                piece.X = x;
                piece.Format = c.Format;
                piece.Object = c.Object;
                piece.ObjectHeight = c.ObjectHeight;
                line.Pieces.push_back(piece);
            }
            TRichPiece& piece = line.Pieces.back();
            piece.Text += c.Object ? ' ' : static_cast<char>(c.Code);
            piece.Advances.push_back(advance);
            piece.Width += advance;
            x += advance;
            const bool blank = !c.Object && (c.Code == ' ' || c.Code == '\t');
            if (!blank)
                lastVisibleEnd = x;
        }
        if (ascent == 0 && descent == 0) {
            const TFormatMetrics& m = metrics[static_cast<std::size_t>(markFormat)];
            ascent = m.Ascent;
            descent = m.Descent;
        }

        // Alignment: the free room is what lies right of the last visible character.
        const int room = right - lastVisibleEnd;
        const bool lastLine = end >= chars.size() || chars[end - 1].LineBreak;
        int shift = 0;
        if (room > 0 && para.wAlignment == PFA_CENTER)
            shift = room / 2;
        else if (room > 0 && para.wAlignment == PFA_RIGHT)
            shift = room;
        else if (room > 0 && para.wAlignment == PFA_JUSTIFY && !lastLine)
            Justify(line, room);
        if (shift > 0)
            for (TRichPiece& piece : line.Pieces)
                piece.X += shift;

        const int natural = ascent + descent;
        line.Height = std::max(SpacedHeight(para, natural), 1);
        line.Ascent = line.Height - descent;
        line.Top = top;
        top += line.Height;
        layout.Lines.push_back(std::move(line));
        start = end;
    } while (start < chars.size());
    // A paragraph ending in a line break has an empty last line.
    if (!chars.empty() && chars.back().LineBreak) {
        TRichLine empty;
        empty.QtStart = block.position() + block.length() - 1;
        const TFormatMetrics& m = metrics[static_cast<std::size_t>(chars.back().Format)];
        empty.Height = std::max(SpacedHeight(para, m.Ascent + m.Descent), 1);
        empty.Ascent = empty.Height - m.Descent;
        empty.Top = top;
        top += empty.Height;
        layout.Lines.push_back(std::move(empty));
    }
    for (std::size_t i = 0; i < layout.Lines.size(); ++i)
        layout.Lines[i].QtEnd =
            i + 1 < layout.Lines.size() ? layout.Lines[i + 1].QtStart : block.position() + block.length();
    layout.Height = top + para.dySpaceAfter;
    return layout;
}

LRESULT TRichLayout::FormatRange(bool render, FORMATRANGE* range)
{
    if (range == nullptr) {
        Invalidate();
        return 0;
    }
    const RECT rc = range->rc;
    if (rc.Right < rc.Left || rc.Bottom < rc.Top)
        return 0;
    if (render && (range->hdc == nullptr || !IsDeviceContext(range->hdc)))
        return 0;
    const int length = FDocument.TextLength();
    const int cpMin = std::clamp<int>(range->chrg.cpMin, 0, length);
    int cpMax = range->chrg.cpMax < 0 || range->chrg.cpMax > length ? length : static_cast<int>(range->chrg.cpMax);
    cpMax = std::max(cpMax, cpMin);
    if (cpMin >= cpMax) {
        range->rc.Bottom = rc.Top;
        return cpMin;
    }
    const int width = std::max(static_cast<int>(rc.Right - rc.Left), 1);
    const int qtFrom = FDocument.ToQt(cpMin);
    const int qtTo = FDocument.ToQt(cpMax);
    QTextDocument* document = FDocument.Document();
    const int blocks = document->blockCount();

    long long y = rc.Top;
    bool placed = false;
    int next = qtTo;
    bool full = false;
    for (int b = document->findBlock(qtFrom).blockNumber(); b < blocks && !full; ++b) {
        const TRichParagraphLayout& para = Paragraph(b, width);
        const int lineCount = static_cast<int>(para.Lines.size());
        for (int k = 0; k < lineCount; ++k) {
            const TRichLine& line = para.Lines[static_cast<std::size_t>(k)];
            if (line.QtEnd <= qtFrom)
                continue;
            if (line.QtStart >= qtTo) {
                next = qtTo;
                full = true;
                break;
            }
            const int slotTop = k == 0 ? 0 : para.Lines[static_cast<std::size_t>(k) - 1].Top +
                                                  para.Lines[static_cast<std::size_t>(k) - 1].Height;
            const int slotBottom = k == lineCount - 1 ? para.Height : line.Top + line.Height;
            const int height = slotBottom - slotTop;
            if (placed && y + height > rc.Bottom) {
                next = std::max(line.QtStart, qtFrom);
                full = true;
                break;
            }
            if (render)
                DrawLine(range->hdc, para, line, rc.Left, static_cast<int>(y) - slotTop, qtFrom, qtTo, rc);
            y += height;
            placed = true;
            next = line.QtEnd;
        }
    }
    range->rc.Bottom = static_cast<LONG>(std::min<long long>(y, std::max<long long>(rc.Bottom, rc.Top)));
    if (!full)
        return cpMax;
    return std::min(FDocument.FromQt(next), cpMax);
}

void TRichLayout::DrawLine(HDC dc, const TRichParagraphLayout& para, const TRichLine& line, int left, int top,
                           int qtFrom, int qtTo, const RECT& clip) const
{
    const int dpiX = std::max(GetDeviceCaps(dc, LOGPIXELSX), 1);
    const int dpiY = std::max(GetDeviceCaps(dc, LOGPIXELSY), 1);
    const RECT clipRect{ToDevice(clip.Left, dpiX), ToDevice(clip.Top, dpiY), ToDevice(clip.Right, dpiX),
                        ToDevice(clip.Bottom, dpiY)};
    const long long baseline = static_cast<long long>(top) + line.Top + line.Ascent;
    const UINT oldAlign = SetTextAlign(dc, TA_BASELINE | TA_LEFT);
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColor = GetTextColor(dc);

    auto drawText = [&](const CHARFORMAT2A& format, long long x, const std::string& text, const std::vector<int>& advances) {
        HFONT font = CreateFontIndirectA(RichLogFont(format, dpiY));
        HGDIOBJ oldFont = SelectObject(dc, font);
        SetTextColor(dc, (format.dwEffects & CFE_AUTOCOLOR) ? RGB(0, 0, 0) : format.crTextColor);
        std::vector<int> dx(text.size());
        long long position = x;
        const int deviceX = ToDevice(x, dpiX);
        for (std::size_t i = 0; i < text.size(); ++i) {
            const long long nextPosition = position + advances[i];
            dx[i] = ToDevice(nextPosition, dpiX) - ToDevice(position, dpiX);
            position = nextPosition;
        }
        const int deviceY = ToDevice(baseline, dpiY);
        if (!(format.dwEffects & CFE_AUTOBACKCOLOR) && (format.dwMask & CFM_BACKCOLOR)) {
            const RECT back{deviceX, ToDevice(static_cast<long long>(top) + line.Top, dpiY), ToDevice(position, dpiX),
                            ToDevice(static_cast<long long>(top) + line.Top + line.Height, dpiY)};
            HBRUSH brush = CreateSolidBrush(format.crBackColor);
            FillRect(dc, &back, brush);
            DeleteObject(brush);
        }
        ExtTextOutA(dc, deviceX, deviceY, ETO_CLIPPED, &clipRect, text, static_cast<int>(text.size()), dx.data());
        if ((format.dwEffects & CFE_UNDERLINE) && format.bUnderlineType >= CFU_UNDERLINEDOUBLE &&
            format.bUnderlineType <= CFU_UNDERLINEWAVE) {
            const int end = ToDevice(position, dpiX);
            const int under = deviceY + std::max(1, ToDevice(40, dpiY));
            HPEN pen = CreatePen(PS_SOLID, 1, GetTextColor(dc));
            HGDIOBJ oldPen = SelectObject(dc, pen);
            if (format.bUnderlineType == CFU_UNDERLINEDOUBLE) {
                for (int offset : {0, 2}) {
                    MoveToEx(dc, deviceX, under + offset, nullptr);
                    LineTo(dc, end, under + offset);
                }
            } else {
                const bool wave = format.bUnderlineType == CFU_UNDERLINEWAVE;
                MoveToEx(dc, deviceX, under, nullptr);
                for (int px = deviceX; px < end; px += 2) {
                    const int step = std::min(px + 2, end);
                    if (wave)
                        LineTo(dc, step, under + (((px - deviceX) / 2) % 2 ? -1 : 1));
                    else if (((px - deviceX) / 2) % 2 == 0)
                        LineTo(dc, step, under);
                    else
                        MoveToEx(dc, step, under, nullptr);
                }
            }
            SelectObject(dc, oldPen);
            DeleteObject(pen);
        }
        SelectObject(dc, oldFont);
        DeleteObject(font);
    };

    if (line.Bullet && line.QtStart >= qtFrom) {
        const CHARFORMAT2A& format = para.Formats[static_cast<std::size_t>(para.BulletFormat)];
        const auto realized = FontCache::Realize(RichLogFont(format, MeasuringPixelsPerInch), MeasuringPixelsPerInch);
        drawText(format, static_cast<long long>(left) + para.BulletX, std::string(1, static_cast<char>(BulletChar)),
                 {realized->Advances[BulletChar]});
    }
    QTextDocument* document = FDocument.Document();
    for (const TRichPiece& piece : line.Pieces) {
        const CHARFORMAT2A& format = para.Formats[static_cast<std::size_t>(piece.Format)];
        if (piece.Object) {
            if (piece.QtFrom < qtFrom || piece.QtFrom >= qtTo)
                continue;
            QTextCursor cursor(document);
            cursor.setPosition(piece.QtFrom + 1);
            const long long x = static_cast<long long>(left) + piece.X;
            const RECT box{ToDevice(x, dpiX), ToDevice(baseline - piece.ObjectHeight, dpiY), ToDevice(x + piece.Width, dpiX),
                           ToDevice(baseline, dpiY)};
            DrawPicture(dc, TRichDocument::ObjectImage(cursor.charFormat()), box);
            continue;
        }
        // Only the characters of the range, tabs drawn as the room they take.
        std::string text;
        std::vector<int> advances;
        long long x = static_cast<long long>(left) + piece.X;
        long long startX = -1;
        for (std::size_t i = 0; i < piece.Text.size(); ++i) {
            const int pos = piece.QtFrom + static_cast<int>(i);
            if (pos >= qtFrom && pos < qtTo) {
                if (startX < 0)
                    startX = x;
                text += piece.Text[i] == '\t' ? ' ' : piece.Text[i];
                advances.push_back(piece.Advances[i]);
            }
            x += piece.Advances[i];
        }
        if (!text.empty())
            drawText(format, startX, text, advances);
    }
    SetTextColor(dc, oldColor);
    SetBkMode(dc, oldMode);
    SetTextAlign(dc, oldAlign);
}

std::vector<int> TRichLayout::LineStarts(int width)
{
    std::vector<int> starts;
    const int blocks = FDocument.Document()->blockCount();
    for (int b = 0; b < blocks; ++b)
        for (const TRichLine& line : Paragraph(b, width).Lines)
            starts.push_back(line.QtStart);
    return starts;
}

int TRichLayout::DocumentHeight(int width)
{
    long long height = 0;
    const int blocks = FDocument.Document()->blockCount();
    for (int b = 0; b < blocks; ++b)
        height += Paragraph(b, width).Height;
    return static_cast<int>(std::min<long long>(height, 0x7FFFFFFF));
}
