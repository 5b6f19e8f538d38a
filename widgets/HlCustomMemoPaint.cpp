// THlCustomMemo: the whole-control paint, the visible rows, one row, the formatting of a row into
// its bitmap, and the caret.
#include "widgets/HlMemo.h"

#include "platform/gui/TextOutput.h"
#include "platform/gui/GdiObjects.h"
#include "platform/gui/WindowHandles.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>

namespace {

constexpr int HlMemoMaxRowPixels = 32000;

void HlMemoFill(TCanvas* canvas, TColor color, int left, int top, int right, int bottom)
{
    if (right <= left)
        return;
    canvas->Brush()->SetColor(color);
    canvas->FillRect(Rect(left, top, right, bottom));
}

} // namespace

void HlMemo::DrawRowText(TCanvas* canvas, const std::string& text, const TRect& rect, UINT alignment)
{
    // An empty fill selects the brush and measuring the font, so that the context draws with
    // both: the text paints its cells in the brush colour.
    canvas->FillRect(Rect(rect.Left, rect.Top, rect.Left, rect.Top));
    canvas->TextHeight("Wp");
    RECT r = rect;
    DrawTextA(canvas->Handle(), text, -1, &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | alignment);
}

void THlCustomMemo::Paint()
{
    UpdateCharBounds();
    if (FGutter->Visible() && FGutter->ShowNum() && FGutter->StartNum() != FTopRow + 1) {
        FGutter->SetStartNum(FTopRow + 1);
        FGutter->DrawLineNums();
    }
    TCanvas* canvas = Canvas();
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(canvas->ClipRect());
    if (FGutterOptions->Visible()) {
        FGutter->SetVisible(true);
        FGutter->SetAlign(alLeft);
    } else {
        FGutter->SetVisible(false);
        FGutter->SetAlign(alNone);
        FGutter->SetLeft(-(FGutter->Width() + 1));
    }
    DrawVisible();
    if (OnPaint)
        OnPaint(this);
}

void THlCustomMemo::DrawVisible()
{
    if (!HandleAllocated())
        return;
    GetSelBounds(FSelFirstRow, FSelLastRow, FSelFirstCol, FSelLastCol);
    TCanvas* canvas = Canvas();
    for (int i = 0; i < FVisibleRows; ++i)
        DrawLine(canvas, FTopRow + i, i * FLineHeight);
    if (FRightEdge) {
        const int x = HlMemo::Pixels(static_cast<long long>(FCharWidth) * (FRightEdgeCol - FHScrollPos) + GutterOffset());
        canvas->Pen()->SetColor(FEnvironment->RightEdgeColor());
        canvas->MoveTo(x, 0);
        canvas->LineTo(x, ClientHeight());
    }
}

void THlCustomMemo::DrawLine(TCanvas* Canvas, int Row, int Y)
{
    const int gutter = GutterOffset();
    if (FGutter->ShowNum() && FGutter->StartNum() != FTopRow + 1) {
        FGutter->SetStartNum(FTopRow + 1);
        FGutter->DrawLineNums();
    }
    TBitmap* bitmap = &FRowBitmap;
    TCanvas* rowCanvas = bitmap->Canvas();
    rowCanvas->Brush()->SetColor(FEnvironment->TextBackground());
    rowCanvas->Font()->Assign(Font());
    rowCanvas->Font()->SetColor(FEnvironment->TextColor());
    FRowFirstColumn = 0;
    FRowLength = 0;
    // The one row bitmap keeps its size from row to row; rows past the text have no bitmap.
    int bitmapWidth = 0;
    if (Row >= 0 && Row < FLines->Count()) {
        FormatLine(Row, bitmap);
        bitmapWidth = bitmap->Width();
    }
    const int textX = HlMemo::Pixels(gutter - static_cast<long long>(FHScrollPos) * FCharWidth);
    const int bitmapX = HlMemo::Pixels(textX + static_cast<long long>(FRowFirstColumn) * FCharWidth);
    if (bitmapWidth > 0)
        Canvas->Draw(bitmapX, Y, bitmap);
    const int x0 = std::max(bitmapWidth + bitmapX, gutter);
    FillRowRemainder(Canvas, Row, Y, x0, textX, FRowLength);
}

void THlCustomMemo::FillRowRemainder(TCanvas* Canvas, int Row, int Y, int X0, int TextX, int length)
{
    const int bottom = Y + FLineHeight;
    const int farRight =
        HlMemo::Pixels(ClientWidth() + static_cast<long long>(std::max(FMaxLineLength - FHScrollPos, 0)) * FCharWidth);
    const TColor background = FEnvironment->TextBackground();
    const TColor selection = FEnvironment->SelectionBackground();
    const bool multiRow = FSelFirstRow != FSelLastRow;
    auto columnX = [&](int column) { return HlMemo::Pixels(TextX + static_cast<long long>(column) * FCharWidth); };
    if (!FSelected) {
        HlMemoFill(Canvas, Color(), X0, Y, farRight, bottom);
    } else if (multiRow && Row > FSelFirstRow && Row < FSelLastRow) {
        HlMemoFill(Canvas, selection, X0, Y, farRight, bottom);
    } else if (multiRow && Row == FSelFirstRow) {
        // A first column past the text is pulled back onto it (never before column 0).
        if (FSelFirstCol > length)
            FSelFirstCol = std::max(length - 1, 0);
        int from = X0;
        if (length < FSelFirstCol) {
            HlMemoFill(Canvas, length == 0 ? background : Color(), X0, Y, columnX(FSelFirstCol), bottom);
            from = std::max(X0, columnX(FSelFirstCol));
        }
        HlMemoFill(Canvas, selection, from, Y, farRight, bottom);
    } else if (multiRow && Row == FSelLastRow) {
        int from = X0;
        if (length < FSelLastCol) {
            HlMemoFill(Canvas, selection, X0, Y, columnX(FSelLastCol), bottom);
            from = std::max(X0, columnX(FSelLastCol));
        }
        HlMemoFill(Canvas, Color(), from, Y, farRight, bottom);
    } else {
        HlMemoFill(Canvas, background, X0, Y, farRight, bottom);
    }
}

std::string THlCustomMemo::ExpandTabs(const std::string& line) const
{
    if (line.find('\t') == std::string::npos)
        return line;
    std::string expanded;
    expanded.reserve(line.size() + static_cast<std::size_t>(FTabWidth) * 4);
    for (char c : line) {
        if (c == '\t')
            expanded.append(static_cast<std::size_t>(FTabWidth), ' ');
        else
            expanded += c;
    }
    return expanded;
}

void THlCustomMemo::FormatLine(int Row, TBitmap* Bitmap)
{
    if (FLines->Count() == 0 || Row < 0 || Row >= FLines->Count())
        return;
    std::string text = ExpandTabs(FLines->Strings(Row));
    FRowLength = static_cast<int>(text.size());
    FRowFirstColumn = 0;
    // A bitmap has at most 32,767 pixels a side: of a longer row only the part from the left
    // column on is formatted, as wide as a bitmap allows.
    const int maxColumns = HlMemoMaxRowPixels / FCharWidth;
    if (FRowLength > maxColumns) {
        FRowFirstColumn = std::clamp(FHScrollPos, 0, FRowLength);
        text = Copy(text, FRowFirstColumn + 1, maxColumns);
    }
    const int length = static_cast<int>(text.size());
    Bitmap->SetSize(length * FCharWidth, FLineHeight);
    TRect textRect = Rect(0, 0, length * FCharWidth, FLineHeight);
    TCanvas* canvas = Bitmap->Canvas();
    canvas->FillRect(textRect);
    bool allowSelfDraw = true;
    if (OnDrawLine)
        OnDrawLine(this, text, Row, Bitmap, textRect, allowSelfDraw);
    if (allowSelfDraw)
        HlMemo::DrawRowText(canvas, text, textRect);
    if (FShowHyperlinks)
        MarkHyperlinks(text, Bitmap);
    if (FSelected)
        DrawSelectedText(Row, text, Bitmap);
    if (FRightEdge && FRightEdgeCol >= FRowFirstColumn &&
        Bitmap->Width() >= (FRightEdgeCol - FRowFirstColumn) * FCharWidth) {
        const int x = (FRightEdgeCol - FRowFirstColumn) * FCharWidth;
        canvas->Pen()->SetColor(FEnvironment->RightEdgeColor());
        canvas->MoveTo(x, 0);
        canvas->LineTo(x, FLineHeight);
    }
    if (FRowLength > FMaxLineLength)
        FMaxLineLength = FRowLength;
    UpdateScrollBars();
}

void THlCustomMemo::DrawSelectedText(int Row, const std::string& Text, TBitmap* Bitmap)
{
    TCanvas* canvas = Bitmap->Canvas();
    canvas->Font()->SetColor(FEnvironment->TextColor());
    canvas->Font()->SetStyle(TFontStyles{});
    canvas->Brush()->SetColor(FEnvironment->TextBackground());
    if (Row < FSelFirstRow || Row > FSelLastRow)
        return;
    const int length = static_cast<int>(Text.size());
    int from = 0;
    int to = length;
    const int firstCol = FSelFirstCol - FRowFirstColumn;
    const int lastCol = FSelLastCol - FRowFirstColumn;
    if (FSelFirstRow == FSelLastRow) {
        from = std::max(firstCol, 0);
        to = std::min(lastCol, length);
    } else if (Row == FSelFirstRow) {
        from = std::max(firstCol, 0);
    } else if (Row == FSelLastRow) {
        to = std::min(lastCol, length);
    }
    if (to <= from)
        return;
    canvas->Font()->SetColor(FEnvironment->SelectionColor());
    canvas->Brush()->SetColor(FEnvironment->SelectionBackground());
    HlMemo::DrawRowText(canvas, Copy(Text, from + 1, to - from), Rect(from * FCharWidth, 0, to * FCharWidth, FLineHeight));
}

void THlCustomMemo::DrawCaret(int Row, int Col, bool Show)
{
    if (!HandleAllocated() || Row < FTopRow || Row > FTopRow + FVisibleRows)
        return;
    const int x = HlMemo::Pixels((static_cast<long long>(Col) - FHScrollPos) * FCharWidth + GutterOffset());
    if (x < 0 || x > ClientWidth())
        return;
    TCanvas* canvas = Canvas();
    if (Show) {
        canvas->Pen()->SetMode(pmNotMerge);
        canvas->Pen()->SetColor(Font()->Color());
    } else {
        canvas->Pen()->SetMode(pmCopy);
        canvas->Pen()->SetColor(FSelected ? FEnvironment->SelectionBackground() : Color());
    }
    const int y = (Row - FTopRow) * FLineHeight;
    canvas->MoveTo(x, y);
    canvas->LineTo(x, y + FLineHeight);
    canvas->Pen()->SetMode(pmCopy);
    if (!FSelected) {
        FSelAnchorRow = FCaretRow;
        FSelAnchorCol = FCaretCol;
    }
}
