// Layout, painting and hit tests of a table: rows get their heights (rows spanned by a tall
// cell share what it needs more), cells are laid out at their place with their vertical
// alignment, the caption goes above or below, and the table stands left, centred or right or
// floats with text beside it. Questions about a point go to the cell under it; searches and
// copies visit the caption and the cells in reading order.

#include "htmlview/HtmlTable.h"

#include "htmlview/PaneUtils.h"
#include "htmlview/SectionList.h"
#include "platform/gui/GdiObjects.h"
#include "platform/gui/Regions.h"

#include <algorithm>

namespace {

// Cell fills are clamped to these window coordinates.
constexpr int FillTop = -200;
constexpr int FillBottom = 3000;

// No table height goes past this, so that the heights of rows add up inside 32 bits.
constexpr int MaxTableHeight = 1 << 22;

bool HasContent(const TCellObj* CellObj) { return CellObj != nullptr && CellObj->ColSpan > 0 && CellObj->Cell->Count() > 0; }

} // namespace

int TCellList::DrawLogic1(TCanvas* Canvas, const TColumnWidths& Widths, int Span, int CellPadding, int CellSpacing,
                          bool& More)
{
    int tallest = 0;
    for (int i = 0; i < Count(); ++i) {
        TCellObj* cellObj = CellObj(i);
        if (cellObj == nullptr || cellObj->ColSpan <= 0)
            continue;
        const int last = std::min(i + cellObj->ColSpan, MaxRowEntries);
        cellObj->SpanWidth = 0;
        for (int k = i; k < last; ++k)
            cellObj->SpanWidth += Widths[static_cast<std::size_t>(k)];
        if (cellObj->RowSpan > Span)
            More = true;
        if (cellObj->RowSpan != Span)
            continue;
        const int width = cellObj->SpanWidth - 2 * CellPadding - CellSpacing;
        const int pass = cellObj->Cell->Document != nullptr ? cellObj->Cell->Document->LayoutPass : -1;
        if (pass < 0 || cellObj->MeasuredPass != pass || cellObj->MeasuredWidth != width) {
            int maxWidth = 0, pos = 0;
            cellObj->MeasuredHeight = cellObj->Cell->DoLogic(Canvas, 0, width, maxWidth, pos, 0, 0);
            cellObj->MeasuredPass = pass;
            cellObj->MeasuredWidth = width;
        }
        cellObj->ContentHeight = cellObj->MeasuredHeight;
        tallest = std::max({tallest, cellObj->ContentHeight,
                            std::min(cellObj->SpecHeight, MaxTableHeight) - 2 * CellPadding});
    }
    return tallest;
}

void TCellList::DrawLogic2(TCanvas* Canvas, int Y, int CellSpacing, int CellPadding, int& Pos)
{
    for (int i = 0; i < Count(); ++i) {
        TCellObj* cellObj = CellObj(i);
        if (!HasContent(cellObj))
            continue;
        const int d = cellObj->SpanHeight - cellObj->ContentHeight - (2 * CellPadding + CellSpacing);
        switch (cellObj->VAlign) {
        case PaneUn2::AMiddle:
            cellObj->VOffset = d / 2;
            break;
        case PaneUn2::ABottom:
            cellObj->VOffset = d;
            break;
        default:
            cellObj->VOffset = 0;
            break;
        }
        int maxWidth = 0;
        cellObj->Cell->DoLogic(Canvas, Y + CellSpacing + CellPadding + cellObj->VOffset,
                               cellObj->SpanWidth - 2 * CellPadding - CellSpacing, maxWidth, Pos, 0, 0);
    }
}

int TCellList::Draw(TCanvas* Canvas, TSectionList* Doc, const TRect& Clip, const TColumnWidths& Widths, int X, int Y,
                    int ScrollY, int CellPadding, int CellSpacing, bool Border, HRGN Region, int /*RowIndex*/)
{
    const int result = Y + RowHeight;
    const int sy = Y - ScrollY;
    if (sy + RowSpanHeight < Clip.Top || sy >= Clip.Bottom)
        return result;
    int xx = X;
    for (int i = 0; i < Count(); ++i) {
        TCellObj* cellObj = CellObj(i);
        if (HasContent(cellObj)) {
            const TRect fill = Rect(xx + CellSpacing, std::max(sy + CellSpacing, FillTop), xx + cellObj->SpanWidth,
                                    std::min(sy + cellObj->SpanHeight, FillBottom));
            if (cellObj->Cell->HasBackColor) {
                Canvas->Brush()->SetColor(cellObj->Cell->BackColor);
                Canvas->Brush()->SetStyle(bsSolid);
                Canvas->FillRect(fill);
            }
            cellObj->Cell->Draw(Canvas, Clip, cellObj->SpanWidth - CellSpacing - 2 * CellPadding,
                                xx + CellSpacing + CellPadding, Y + CellSpacing + CellPadding + cellObj->VOffset);
            if (Border)
                PaneUn2::RaisedRect(Doc->BackgroundColor, Canvas, xx + CellSpacing - 1, sy + CellSpacing - 1,
                                    xx + cellObj->SpanWidth, sy + cellObj->SpanHeight, false);
            if (Region != nullptr) {
                const int grow = Border ? 1 : 0;
                HRGN cellRegion = CreateRectRgn(fill.Left - grow, std::max(fill.Top - grow, FillTop),
                                                fill.Right + grow, std::min(fill.Bottom + grow, FillBottom));
                CombineRgn(Region, Region, cellRegion, RGN_DIFF);
                DeleteObject(cellRegion);
            }
        }
        xx += Widths[static_cast<std::size_t>(std::min(i, MaxRowEntries - 1))];
    }
    return result;
}

std::vector<int> ThtmlTable::RowHeights(TCanvas* Canvas)
{
    const int rows = Rows->Count();
    std::vector<int> heights(static_cast<std::size_t>(rows), 0);
    const int frame = 2 * CellPadding + CellSpacing;
    // Only the spans some cell has are visited: a level without cells asks for no more than the
    // rows already have.
    std::vector<int> spans;
    for (int r = 0; r < rows; ++r)
        for (int i = 0; i < Row(r)->Count(); ++i)
            if (const TCellObj* cellObj = Row(r)->CellObj(i); cellObj != nullptr && cellObj->ColSpan > 0)
                spans.push_back(std::max(1, cellObj->RowSpan));
    spans.push_back(1);
    std::sort(spans.begin(), spans.end());
    spans.erase(std::unique(spans.begin(), spans.end()), spans.end());
    for (const int S : spans) {
        for (int j = 0; j + S <= rows; ++j) {
            bool more = false;
            const int h = Row(j)->DrawLogic1(Canvas, Widths, S, CellPadding, CellSpacing, more) + frame;
            if (S == 1) {
                heights[static_cast<std::size_t>(j)] = h;
                continue;
            }
            int sum = 0;
            for (int k = j; k < j + S; ++k)
                sum += heights[static_cast<std::size_t>(k)];
            if (sum >= h)
                continue;
            const int extra = (h - sum) / S;
            for (int k = j; k < j + S - 1; ++k)
                heights[static_cast<std::size_t>(k)] += extra;
            heights[static_cast<std::size_t>(j + S - 1)] += h - sum - extra * (S - 1);
        }
    }
    return heights;
}

void ThtmlTable::StretchRows(std::vector<int>& Heights) const
{
    if (SpecHeight <= 0 || Heights.empty())
        return;
    int target = std::min(SpecHeight, MaxTableHeight);
    if (HeightAsPercent) {
        const int client = Document != nullptr && Document->Viewer != nullptr
                               ? Document->Viewer->ViewerClientHeight() - 2 * Document->Viewer->MarginHeight()
                               : 0;
        target = MulDiv(client - CellSpacing - 3, SpecHeight, 1000);
    }
    int sum = 0;
    for (const int h : Heights)
        sum += h;
    if (sum >= target)
        return;
    const int rows = static_cast<int>(Heights.size());
    const int extra = (target - sum) / rows;
    int others = 0;
    for (int k = 0; k < rows - 1; ++k) {
        Heights[static_cast<std::size_t>(k)] += extra;
        others += Heights[static_cast<std::size_t>(k)];
    }
    Heights.back() = target - others;
}

int ThtmlTable::DrawLogic(TCanvas* Canvas, int Y, IndentManager* Margins, int& MaxWidth, int& Pos)
{
    TopY = Y;
    FirstPos = Pos;
    Margins->SetLevel(Y, Level);
    const int avail = Margins->RightSide(Y) - Margins->LeftIndent(Y);
    ChooseWidths(Canvas, avail);
    std::vector<int> heights = RowHeights(Canvas);
    int captionMax = 0;
    FlowHeight = 0;
    if (CaptionAtTop) {
        CaptionHeight = Caption->Cell->DoLogic(Canvas, Y, TableWidth, captionMax, Pos, 0, 0);
        FlowHeight = CaptionHeight;
        Y += CaptionHeight;
    }
    StretchRows(heights);
    const int bodyTop = FlowHeight;
    const int rows = Rows->Count();
    for (int j = 0; j < rows; ++j) {
        TCellList* row = Row(j);
        row->RowHeight = heights[static_cast<std::size_t>(j)];
        row->RowSpanHeight = 0;
        FlowHeight += row->RowHeight;
        for (int i = 0; i < row->Count(); ++i) {
            TCellObj* cellObj = row->CellObj(i);
            if (cellObj == nullptr)
                continue;
            const int last = std::min(rows, j + std::max(1, cellObj->RowSpan));
            cellObj->SpanHeight = 0;
            for (int k = j; k < last; ++k)
                cellObj->SpanHeight += heights[static_cast<std::size_t>(k)];
            row->RowSpanHeight = std::max(row->RowSpanHeight, cellObj->SpanHeight);
        }
        row->DrawLogic2(Canvas, Y, CellSpacing, CellPadding, Pos);
        Y += row->RowHeight;
    }
    FlowHeight += CellSpacing;
    BodyHeight = FlowHeight - bodyTop;
    if (!CaptionAtTop) {
        CaptionHeight = Caption->Cell->DoLogic(Canvas, TopY + BodyHeight, TableWidth, captionMax, Pos, 0, 0);
        FlowHeight += CaptionHeight;
    }
    TableLeft = 0;
    if (TableWidth < avail) {
        if (Justify == PaneUn2::Centered)
            TableLeft = (avail - TableWidth) / 2;
        else if (Justify == PaneUn2::Right)
            TableLeft = avail - TableWidth;
    }
    TableLeft += Margins->LeftIndent(TopY);
    GridLeft = TableLeft + (TableWidth - GridWidth) / 2;
    CharCount = Pos - FirstPos;
    MaxWidth = TableWidth;
    if (Float) {
        FlowHeight += 2 * VSpace;
        Margins->UpdateTable(TopY, TableWidth + HSpace + 1, FlowHeight, Justify);
        PaintHeight = FlowHeight;
        FlowHeight = 0;
        return 0;
    }
    PaintHeight = FlowHeight;
    return FlowHeight;
}

int ThtmlTable::Draw(TCanvas* Canvas, const TRect& Clip, IndentManager* /*Margins*/, int X, int Y)
{
    const int result = Y + FlowHeight;
    const int scrollTop = Document->ScrollTop;
    int yy = Float ? Y + VSpace : Y;
    if (yy + PaintHeight - scrollTop < Clip.Top || yy - scrollTop >= Clip.Bottom)
        return result;
    const int gx = X + GridLeft;
    PaintX = gx;
    PaintY = yy;
    if (CaptionAtTop)
        yy = Caption->Cell->Draw(Canvas, Clip, TableWidth, X + TableLeft, yy);
    const int gridTop = yy;
    HRGN region = nullptr;
    if (HasBorderColor)
        region = CreateRectRgn(gx, std::max(Clip.Top - 1, gridTop - scrollTop), gx + GridWidth,
                               std::min(Clip.Bottom, gridTop + BodyHeight - scrollTop));
    for (int j = 0; j < Rows->Count(); ++j)
        yy = Row(j)->Draw(Canvas, Document, Clip, Widths, gx, yy, scrollTop, CellPadding, CellSpacing, Border, region,
                          j);
    if (region != nullptr) {
        HBRUSH brush = CreateSolidBrush(ColorToRGB(BorderColor));
        FillRgn(Canvas->Handle(), region, brush);
        DeleteObject(brush);
        DeleteObject(region);
    }
    if (Border)
        PaneUn2::RaisedRect(Document->BackgroundColor, Canvas, gx, gridTop - scrollTop, gx + GridWidth - 1,
                            yy + CellSpacing - scrollTop - 1, true);
    if (!CaptionAtTop)
        Caption->Cell->Draw(Canvas, Clip, TableWidth, X + TableLeft, gridTop + BodyHeight);
    return result;
}

TCellObj* ThtmlTable::CellAt(int X, int Y, int& CellY, int& RowTop) const
{
    int top = 0;
    for (int j = 0; j < Rows->Count() && top <= Y; ++j) {
        const TCellList* row = Row(j);
        int x = PaintX;
        for (int i = 0; i < row->Count(); ++i) {
            TCellObj* cellObj = row->CellObj(i);
            if (cellObj != nullptr && cellObj->ColSpan > 0 && x <= X && X < x + cellObj->SpanWidth && top <= Y &&
                Y < top + cellObj->SpanHeight) {
                CellY = Y - top - CellSpacing - CellPadding - cellObj->VOffset;
                RowTop = top;
                return cellObj;
            }
            x += Widths[static_cast<std::size_t>(std::min(i, MaxRowEntries - 1))];
        }
        top += row->RowHeight;
    }
    return nullptr;
}

bool ThtmlTable::OverGrid(int X) const { return PaintX <= X && X <= PaintX + GridWidth; }

bool ThtmlTable::OverCaption(int X) const
{
    const int left = PaintX + TableLeft - GridLeft;
    return left <= X && X <= left + TableWidth;
}

TCell* ThtmlTable::CellUnder(int X, int& Y) const
{
    const bool inGrid = CaptionAtTop ? Y >= CaptionHeight : Y < BodyHeight;
    if (!inGrid) {
        Y -= CaptionAtTop ? 0 : BodyHeight;
        return OverCaption(X) ? Caption->Cell.get() : nullptr;
    }
    int cellY = 0, rowTop = 0;
    TCellObj* cellObj = OverGrid(X) ? CellAt(X, Y - (CaptionAtTop ? CaptionHeight : 0), cellY, rowTop) : nullptr;
    Y = cellY;
    return cellObj != nullptr ? cellObj->Cell.get() : nullptr;
}

bool ThtmlTable::GetURL(TCanvas* Canvas, int X, int Y, TUrlTarget*& Link, TImageFormControlObj*& ImageControl)
{
    if (Float)
        Y -= VSpace;
    if (Y > PaintHeight)
        return false;
    TCell* cell = CellUnder(X, Y);
    return cell != nullptr && cell->GetURL(Canvas, X, Y, Link, ImageControl);
}

bool ThtmlTable::PtInObject(int X, int Y, TObject*& Obj, int& ObjX, int& ObjY)
{
    if (Float)
        Y -= VSpace;
    if (Y > PaintHeight)
        return false;
    TCell* cell = CellUnder(X, Y);
    return cell != nullptr && cell->PtInObject(X, Y, Obj, ObjX, ObjY);
}

int ThtmlTable::FindCursor(TCanvas* Canvas, int X, int Y, int& CaretX, int& CaretY, int& CaretHeight, TCell*& InCell,
                           bool& InText)
{
    if (Float)
        Y -= VSpace;
    if (Y > FlowHeight)
        return -1;
    int cellY = Y;
    TCell* cell = CellUnder(X, cellY);
    if (cell == nullptr)
        return -1;
    const int position = cell->FindCursor(Canvas, X, cellY, CaretX, CaretY, CaretHeight, InCell, InText);
    // Back to the table's top: the row, spacing, padding and alignment, or the caption's place.
    CaretY += Y - cellY;
    return position;
}

std::vector<TCell*> ThtmlTable::ReadingOrder() const
{
    std::vector<TCell*> cells;
    if (CaptionAtTop)
        cells.push_back(Caption->Cell.get());
    for (int j = 0; j < Rows->Count(); ++j)
        for (int i = 0; i < Row(j)->Count(); ++i)
            if (const TCellObj* cellObj = Row(j)->CellObj(i); cellObj != nullptr && cellObj->ColSpan > 0)
                cells.push_back(cellObj->Cell.get());
    if (!CaptionAtTop)
        cells.push_back(Caption->Cell.get());
    return cells;
}

bool ThtmlTable::CursorToXY(TCanvas* Canvas, int Cursor, int& X, int& Y)
{
    if (CharCount == 0 || Cursor > FirstPos + CharCount)
        return false;
    for (TCell* cell : ReadingOrder())
        if (cell->CursorToXY(Canvas, Cursor, X, Y))
            return true;
    return false;
}

bool ThtmlTable::GetChAtPos(int Pos, char& Ch, TObject*& Obj)
{
    if (CharCount == 0 || Pos < FirstPos || Pos > FirstPos + CharCount)
        return false;
    if (Caption->Cell->GetChAtPos(Pos, Ch, Obj))
        return true;
    for (TCell* cell : ReadingOrder())
        if (cell != Caption->Cell.get() && cell->GetChAtPos(Pos, Ch, Obj))
            return true;
    return false;
}

int ThtmlTable::FindString(int FromPos, const char* Text, bool MatchCase)
{
    for (TCell* cell : ReadingOrder())
        if (const int found = cell->FindString(FromPos, Text, MatchCase); found >= 0)
            return found;
    return -1;
}

int ThtmlTable::FindSourcePos(int DocPos)
{
    for (TCell* cell : ReadingOrder())
        if (const int found = cell->FindSourcePos(DocPos); found >= 0)
            return found;
    return -1;
}

int ThtmlTable::FindDocPos(int SourcePos, bool Backward)
{
    std::vector<TCell*> order;
    order.push_back(Caption->Cell.get());
    for (TCell* cell : ReadingOrder())
        if (cell != Caption->Cell.get())
            order.push_back(cell);
    if (Backward) {
        // The cells from the last back to the first, then the caption.
        std::reverse(order.begin() + 1, order.end());
        std::rotate(order.begin(), order.begin() + 1, order.end());
    }
    for (TCell* cell : order)
        if (const int found = cell->FindDocPos(SourcePos, Backward); found >= 0)
            return found;
    return -1;
}

void ThtmlTable::CopyToClipboard()
{
    for (TCell* cell : ReadingOrder())
        cell->CopyToClipboard();
}
