#pragma once
// A table of a viewer document: rows of cells, each cell a cell of sections,
// and the caption. Before it is first measured the table turns its ragged rows
// into a regular grid: a cell that spans columns or rows reserves its places
// with empty entries or dummy cells.

#include "htmlview/SectionBase.h"

#include <array>
#include <memory>
#include <vector>

// Columns a table may have.
constexpr int MaxTableColumns = 200;
// Entries a row may hold while its grid is made regular: one past the limit, so
// the check sees it.
constexpr int MaxRowEntries = MaxTableColumns + 1;

// One width per grid column, the working arrays of the width choice.
using TColumnWidths = std::array<int, MaxRowEntries>;

class TCellObj : public TObject {
    TESS_CLASS(TCellObj, TObject)
public:
    // Attrs may be nullptr.
    TCellObj(TSectionList* Doc, AlignmentType AVAlign, const TAttributeList* Attrs);
    ~TCellObj() override;
    TCellObj(const TCellObj&) = delete;
    TCellObj& operator=(const TCellObj&) = delete;

    void UpdateFonts();

    // 0 for a dummy cell.
    int ColSpan = 1;
    int RowSpan = 1;
    int SpanWidth = 0;
    int SpanHeight = 0;
    int ContentHeight = 0;
    int SpecHeight = 0;
    int VOffset = 0;
    AlignmentType VAlign;
    // Pixels, or per mille when WidthAsPercent.
    int SpecWidth = 0;
    bool WidthAsPercent = false;
    std::unique_ptr<TCell> Cell;
    // The height of the last measuring layout, at MeasuredWidth in the
    // document's layout pass MeasuredPass: a nested table is laid out once to
    // be measured and once for real, and need not measure its cells twice.
    int MeasuredPass = -1;
    int MeasuredWidth = 0;
    int MeasuredHeight = 0;
};

// One row: cells, or nullptr for places covered by a cell spanning from the
// left.
class TCellList : public TFreeList {
    TESS_CLASS(TCellList, TFreeList)
public:
    TCellObj* CellObj(int Index) const { return static_cast<TCellObj*>(static_cast<TObject*>(Items(Index))); }
    void DoAttributes(const TAttributeList* Attrs);
    // Cells without a colour of their own take the row's.
    void InitializeRow();
    void UpdateFonts();

    // Layout (TableLayout.cpp).
    // Sets every cell's SpanWidth and lays out, for measuring, the cells that
    // span Span rows; returns the tallest of them. More: a cell spans more rows.
    int DrawLogic1(TCanvas* Canvas, const TColumnWidths& Widths, int Span, int CellPadding, int CellSpacing,
                   bool& More);
    // Lays the cells out for real from document Y with their vertical alignment.
    void DrawLogic2(TCanvas* Canvas, int Y, int CellSpacing, int CellPadding, int& Pos);
    // Paints the row's cells from X and document Y; cut out of Region (when not
    // 0) what the cells cover. Returns the Y of the next row.
    int Draw(TCanvas* Canvas, TSectionList* Doc, const TRect& Clip, const TColumnWidths& Widths, int X, int Y,
             int ScrollY, int CellPadding, int CellSpacing, bool Border, HRGN Region, int RowIndex);

    int RowHeight = 0;
    int RowSpanHeight = 0;
    bool HasBackColor = false;
    TColor BackColor = clNone;
};

class ThtmlTable : public TSectionBase {
    TESS_CLASS(ThtmlTable, TSectionBase)
public:
    // OuterCell is the cell the table stands in, the document itself at the top
    // level.
    ThtmlTable(TSectionList* Doc, const TAttributeList* Attrs, JustifyType AJustify, TCell* AOuterCell, int ALevel);
    ~ThtmlTable() override;
    ThtmlTable(const ThtmlTable&) = delete;
    ThtmlTable& operator=(const ThtmlTable&) = delete;

    TCellList* Row(int Index) const { return static_cast<TCellList*>(static_cast<TObject*>(Rows->Items(Index))); }
    // Makes the grid regular once; raises EProcessError "Table has too many
    // Columns" past 200.
    void AddDummyCells();
    void UpdateFonts() override;

    // Column widths (TableWidths.cpp).
    // The minimum and maximum widths of the columns and the columns' shares in
    // per mille; TheWidth turns cells' pixel widths into shares (0: not at all).
    void GetWidths(TCanvas* Canvas, int& TotalMin, int& TotalMax, TColumnWidths& MinW, TColumnWidths& MaxW,
                   int TheWidth);
    // Widths adding up to TheWidth exactly, honouring the shares.
    void xxx(const TColumnWidths& MaxW, const TColumnWidths& MinW, int TheWidth);
    // The same measurement when cells give their widths in pixels.
    void GetMinMaxAbs(TCanvas* Canvas, int& TotalMin, int& TotalMax, TColumnWidths& MinW, TColumnWidths& MaxW);
    void GetWidthsAbs(TCanvas* Canvas, int TheWidth, bool Specified, TColumnWidths& MinW, TColumnWidths& MaxW);
    // Kept until the document's next layout pass, so that enclosing tables do
    // not measure a nested table again.
    void MinMaxWidth(TCanvas* Canvas, int& Min, int& Max) override;
    // Widths, GridWidth, CaptionMinWidth and TableWidth for Avail pixels.
    void ChooseWidths(TCanvas* Canvas, int Avail);

    // Layout, painting and hit tests (TableLayout.cpp). Hit tests take Y from
    // the table's painted top and window X.
    int DrawLogic(TCanvas* Canvas, int Y, IndentManager* Margins, int& MaxWidth, int& Pos) override;
    int Draw(TCanvas* Canvas, const TRect& Clip, IndentManager* Margins, int X, int Y) override;
    bool GetURL(TCanvas* Canvas, int X, int Y, TUrlTarget*& Link, TImageFormControlObj*& ImageControl) override;
    bool PtInObject(int X, int Y, TObject*& Obj, int& ObjX, int& ObjY) override;
    int FindCursor(TCanvas* Canvas, int X, int Y, int& CaretX, int& CaretY, int& CaretHeight, TCell*& InCell,
                   bool& InText) override;
    bool CursorToXY(TCanvas* Canvas, int Cursor, int& X, int& Y) override;
    bool GetChAtPos(int Pos, char& Ch, TObject*& Obj) override;
    int FindString(int FromPos, const char* Text, bool MatchCase) override;
    int FindSourcePos(int DocPos) override;
    int FindDocPos(int SourcePos, bool Backward) override;
    void CopyToClipboard() override;

    // Of TCellList, top to bottom.
    std::unique_ptr<TFreeList> Rows;
    std::unique_ptr<TCellObj> Caption;
    bool GridReady = false;
    bool Border = false;
    bool CaptionAtTop = true;
    int GridLeft = 0;
    int TableLeft = 0;
    JustifyType Justify;
    bool Float = false;
    int NumCols = 0;
    int GridWidth = 0;
    int TableWidth = 0;
    int SpecWidth = 0;
    bool WidthAsPercent = false;
    int SpecHeight = 0;
    bool HeightAsPercent = false;
    bool HasAbsCellWidths = false;
    int CaptionHeight = 0;
    int BodyHeight = 0;
    int CellPadding = 1;
    int CellSpacing = 2;
    int CaptionMinWidth = 0;
    TColumnWidths Widths{};
    // Per mille; 0: no share.
    TColumnWidths Percents{};
    int HSpace = 5;
    int VSpace = 0;
    int Level;
    int PaintX = 0;
    int PaintY = 0;
    bool HasBackColor = false;
    bool HasBorderColor = false;
    TColor BackColor = clNone;
    TColor BorderColor = clNone;
    TCell* OuterCell;

private:
    // Spreads a spanning cell's widths m and M over its columns I .. I + S - 1.
    void SpreadSpanning(int I, int S, int m, int M, int cp, TColumnWidths& MinW, TColumnWidths& MaxW);
    // The column share of a cell: per mille, or its pixels against TheWidth.
    static int CellShare(const TCellObj& Cell, int TheWidth);
    // Shares summing to at most 1000 without a table width: Widths at the
    // table's natural width when that fits (Natural), else the shares that
    // still fit fixed into MinW and MaxW.
    void FitShares(int TheWidth, int& TotalMin, int& TotalMax, TColumnWidths& MinW, TColumnWidths& MaxW,
                   bool& Natural);
    // The row heights of the grid, spanning cells sharing what they need more.
    std::vector<int> RowHeights(TCanvas* Canvas);
    void StretchRows(std::vector<int>& Heights) const;
    // The cell under window X and grid-relative Y; CellY: Y within its content,
    // RowTop: the top of its row.
    TCellObj* CellAt(int X, int Y, int& CellY, int& RowTop) const;
    // The grid cell or the caption under a point of the table, Y made
    // relative to its content; nullptr when none.
    TCell* CellUnder(int X, int& Y) const;
    // The caption on top, the cells row by row, the caption at the bottom.
    std::vector<TCell*> ReadingOrder() const;
    bool OverGrid(int X) const;
    bool OverCaption(int X) const;

    // MinMaxWidth's answer and the layout pass it belongs to.
    int MeasuredPass = -1;
    int MeasuredMin = 0;
    int MeasuredMax = 0;

    void ReadAttribute(const TAttribute& Attribute);
    void SpreadColumns(TCellList* Row);
    void ReserveRowSpans();
    int LongestRow() const;
    TCellObj* NewDummyCell(int ARowSpan) const;
};
