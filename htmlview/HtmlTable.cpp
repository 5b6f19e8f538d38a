#include "htmlview/HtmlTable.h"

#include "htmlview/FontObj.h"
#include "htmlview/SectionList.h"

#include <algorithm>
#include <cstdlib>

namespace {

bool TableValueHasPercent(const TAttribute& Attribute) { return Attribute.Text.find('%') != std::string::npos; }

// An HTML colour with the palette flag; false when the text is no colour.
bool ReadTableColor(const TAttribute& Attribute, TColor& Color)
{
    TColor value = 0;
    if (!PaneUn2::GetColor(Attribute.Text, value))
        return false;
    Color = value | PaletteRelative;
    return true;
}

int ClampedMagnitude(int Value, int Limit)
{
    return static_cast<int>(std::min<long long>(Limit, std::llabs(static_cast<long long>(Value))));
}

} // namespace

TCellObj::TCellObj(TSectionList* Doc, AlignmentType AVAlign, const TAttributeList* Attrs)
    : VAlign(AVAlign), Cell(std::make_unique<TCell>(Doc))
{
    for (int i = 0; Attrs != nullptr && i < Attrs->Count(); ++i) {
        const TAttribute& attribute = *Attrs->Attribute(i);
        const int number = attribute.Number;
        switch (attribute.Symbol) {
        case Symb::BGColorSy:
            Cell->HasBackColor = ReadTableColor(attribute, Cell->BackColor);
            break;
        case Symb::ColSpanSy:
            if (number > 1)
                ColSpan = number;
            break;
        case Symb::RowSpanSy:
            if (number > 1)
                RowSpan = number;
            break;
        case Symb::WidthSy:
            if (TableValueHasPercent(attribute)) {
                if (number > 0 && number <= 100) {
                    SpecWidth = number * 10;
                    WidthAsPercent = true;
                }
            } else if (number > 0)
                SpecWidth = number;
            break;
        case Symb::HeightSy:
            SpecHeight = number;
            break;
        default:
            break;
        }
    }
}

TCellObj::~TCellObj() = default;

void TCellObj::UpdateFonts()
{
    MeasuredPass = -1;
    Cell->UpdateFonts();
}

void TCellList::DoAttributes(const TAttributeList* Attrs)
{
    for (int i = 0; Attrs != nullptr && i < Attrs->Count(); ++i)
        if (Attrs->Attribute(i)->Symbol == Symb::BGColorSy)
            HasBackColor = ReadTableColor(*Attrs->Attribute(i), BackColor);
}

void TCellList::InitializeRow()
{
    if (!HasBackColor)
        return;
    for (int i = 0; i < Count(); ++i) {
        TCellObj* cellObj = CellObj(i);
        if (cellObj != nullptr && !cellObj->Cell->HasBackColor) {
            cellObj->Cell->HasBackColor = true;
            cellObj->Cell->BackColor = BackColor;
        }
    }
}

void TCellList::UpdateFonts()
{
    for (int i = 0; i < Count(); ++i)
        if (CellObj(i) != nullptr)
            CellObj(i)->UpdateFonts();
}

ThtmlTable::ThtmlTable(TSectionList* Doc, const TAttributeList* Attrs, JustifyType AJustify, TCell* AOuterCell,
                       int ALevel)
    : TSectionBase(Doc), Rows(std::make_unique<TFreeList>()),
      Caption(std::make_unique<TCellObj>(Doc, PaneUn2::ATop, nullptr)), Justify(AJustify), Level(ALevel),
      OuterCell(AOuterCell)
{
    for (int i = 0; Attrs != nullptr && i < Attrs->Count(); ++i)
        ReadAttribute(*Attrs->Attribute(i));
    if (Border)
        CellSpacing += 2;
}

ThtmlTable::~ThtmlTable() = default;

void ThtmlTable::ReadAttribute(const TAttribute& Attribute)
{
    const int number = Attribute.Number;
    switch (Attribute.Symbol) {
    case Symb::AlignSy:
        if (SameText(Attribute.Text, "CENTER"))
            Justify = PaneUn2::Centered;
        else if (SameText(Attribute.Text, "LEFT")) {
            Justify = PaneUn2::Left;
            Float = true;
        } else if (SameText(Attribute.Text, "RIGHT")) {
            Justify = PaneUn2::Right;
            Float = true;
        }
        break;
    case Symb::BGColorSy:
        HasBackColor = ReadTableColor(Attribute, BackColor);
        break;
    case Symb::BorderSy:
        Border = number > 0;
        break;
    case Symb::CellPaddingSy:
        if (number >= 0)
            CellPadding = std::min(number, 50);
        break;
    case Symb::CellSpacingSy:
        if (number >= 0)
            CellSpacing = std::min(number, 40);
        break;
    case Symb::WidthSy:
        if (TableValueHasPercent(Attribute)) {
            WidthAsPercent = true;
            if (number > 0 && number <= 100)
                SpecWidth = number * 10;
        } else
            SpecWidth = number;
        break;
    case Symb::BorderColorSy:
        HasBorderColor = ReadTableColor(Attribute, BorderColor);
        break;
    case Symb::HeightSy:
        if (TableValueHasPercent(Attribute) && OuterCell == Document && number > 0 && number <= 110) {
            SpecHeight = number * 10;
            HeightAsPercent = true;
        } else
            SpecHeight = number;
        break;
    case Symb::HSpaceSy:
        HSpace = ClampedMagnitude(number, 40);
        break;
    case Symb::VSpaceSy:
        VSpace = ClampedMagnitude(number, 200);
        break;
    default:
        break;
    }
}

TCellObj* ThtmlTable::NewDummyCell(int ARowSpan) const
{
    auto* dummy = new TCellObj(Document, PaneUn2::ATop, nullptr);
    dummy->ColSpan = 0;
    dummy->RowSpan = ARowSpan;
    return dummy;
}

void ThtmlTable::SpreadColumns(TCellList* Row)
{
    for (int i = Row->Count() - 1; i >= 0; --i) {
        TCellObj* cellObj = Row->CellObj(i);
        if (cellObj == nullptr)
            continue;
        if (cellObj->SpecWidth > 0 && !cellObj->WidthAsPercent)
            HasAbsCellWidths = true;
        if (HasBackColor && !cellObj->Cell->HasBackColor) {
            cellObj->Cell->HasBackColor = true;
            cellObj->Cell->BackColor = BackColor;
        }
        // A row never grows past one entry more than a table may have, whatever
        // COLSPAN says.
        const int allowed = std::max(0, MaxRowEntries - Row->Count());
        cellObj->ColSpan = std::min(cellObj->ColSpan, allowed + 1);
        for (int k = 1; k < cellObj->ColSpan; ++k)
            Row->Insert(i + 1, cellObj->RowSpan < 2 ? nullptr : NewDummyCell(cellObj->RowSpan));
    }
    NumCols = std::max(NumCols, Row->Count());
}

int ThtmlTable::LongestRow() const
{
    int longest = 0;
    for (int r = 0; r < Rows->Count(); ++r)
        longest = std::max(longest, Row(r)->Count());
    return longest;
}

// Columns are visited up to the longest row as it grows, so that a cell pushed
// right by a cell spanning from above still reserves its own rows; but not past
// the widest table allowed, which bounds what a row can gain here to one dummy
// a column.
void ThtmlTable::ReserveRowSpans()
{
    const int rowCount = Rows->Count();
    for (int k = 0; k < std::min(LongestRow(), MaxRowEntries); ++k) {
        for (int r = 0; r < rowCount; ++r) {
            TCellList* row = Row(r);
            TCellObj* cellObj = k < row->Count() ? row->CellObj(k) : nullptr;
            if (cellObj == nullptr)
                continue;
            cellObj->RowSpan = std::min(cellObj->RowSpan, rowCount - r);
            for (int below = r + 1; below < r + cellObj->RowSpan; ++below) {
                TCellList* spanned = Row(below);
                while (spanned->Count() < k)
                    spanned->Add(NewDummyCell(0));
                spanned->Insert(k, NewDummyCell(0));
            }
        }
    }
}

void ThtmlTable::AddDummyCells()
{
    if (GridReady)
        return;
    if (!HasBackColor && OuterCell != nullptr && OuterCell->HasBackColor) {
        HasBackColor = true;
        BackColor = OuterCell->BackColor;
    }
    for (int r = 0; r < Rows->Count(); ++r) {
        Row(r)->InitializeRow();
        SpreadColumns(Row(r));
    }
    ReserveRowSpans();
    NumCols = LongestRow();
    if (NumCols > MaxTableColumns)
        throw EProcessError("Table has too many Columns");
    GridReady = true;
}

void ThtmlTable::UpdateFonts()
{
    MeasuredPass = -1;
    for (int r = 0; r < Rows->Count(); ++r)
        Row(r)->UpdateFonts();
    Caption->UpdateFonts();
}
