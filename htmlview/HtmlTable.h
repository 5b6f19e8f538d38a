#pragma once
// A table of a viewer document: rows of cells, each cell a cell of sections,
// and the caption. Before it is first measured the table turns its ragged rows
// into a regular grid: a cell that spans columns or rows reserves its places
// with empty entries or dummy cells.

#include "htmlview/SectionBase.h"

#include <array>
#include <memory>

// Columns a table may have.
constexpr int MaxTableColumns = 200;
// Entries a row may hold while its grid is made regular: one past the limit, so
// the check sees it.
constexpr int MaxRowEntries = MaxTableColumns + 1;

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
    std::array<int, MaxRowEntries> Widths{};
    std::array<int, MaxRowEntries> Percents{};
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
    void ReadAttribute(const TAttribute& Attribute);
    void SpreadColumns(TCellList* Row);
    void ReserveRowSpans();
    int LongestRow() const;
    TCellObj* NewDummyCell(int ARowSpan) const;
};
