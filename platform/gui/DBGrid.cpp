#include "platform/gui/DBGrid.h"

#include "platform/gui/DialogService.h"
#include "platform/gui/Form.h"
#include "platform/gui/WindowFunctions.h"

#include <algorithm>

namespace {

constexpr int IndicatorWidth = 11;
const char* const SDeleteRecordQuestion = "Eliminare il record?";

// Measures text in a font without a window.
int TextWidthIn(TFont* font, const std::string& text)
{
    HDC dc = CreateCompatibleDC(nullptr);
    int width = 0;
    {
        TCanvas canvas;
        canvas.SetHandle(dc);
        canvas.Font()->Assign(font);
        width = canvas.TextWidth(text);
        canvas.SetHandle(nullptr);
    }
    DeleteDC(dc);
    return width;
}

TDataSet* DataSetOf(const TGridDataLink* link) { return link->Active() ? link->DataSet() : nullptr; }

} // namespace

// --- TColumnTitle ------------------------------------------------------------------------------

TColumnTitle::TColumnTitle(TColumn* column) : FColumn(column) {}

std::string TColumnTitle::Caption() const
{
    if (FCaptionSet)
        return FCaption;
    if (TField* field = FColumn->Field())
        return field->DisplayName();
    return FColumn->FieldName();
}

void TColumnTitle::SetCaption(const std::string& value)
{
    FCaption = value;
    FCaptionSet = true;
    FColumn->Changed();
}

void TColumnTitle::SetAlignment(TAlignment value)
{
    FAlignment = value;
    FColumn->Changed();
}

void TColumnTitle::SetColor(TColor value)
{
    FColor = value;
    FColumn->Changed();
}

void TColumnTitle::Assign(TPersistent* Source)
{
    if (auto* other = dynamic_cast<TColumnTitle*>(Source)) {
        FCaption = other->FCaption;
        FCaptionSet = other->FCaptionSet;
        FAlignment = other->FAlignment;
        FFont.Assign(&other->FFont);
        FColor = other->FColor;
        FColumn->Changed();
        return;
    }
    TPersistent::Assign(Source);
}

// --- TColumn -----------------------------------------------------------------------------------

TColumn::TColumn(TCollection* collection) : TCollectionItem(collection), FTitle(std::make_unique<TColumnTitle>(this))
{
    if (TCustomDBGrid* grid = Grid()) {
        FFont.Assign(grid->Font());
        FTitle->Font()->Assign(grid->TitleFont());
    }
}

TColumn::~TColumn() = default;

TCustomDBGrid* TColumn::Grid() const
{
    auto* columns = dynamic_cast<TDBGridColumns*>(Collection());
    return columns ? columns->Grid() : nullptr;
}

void TColumn::Changed()
{
    if (Collection())
        TCollectionItem::Changed(false);
}

void TColumn::SetFieldName(const std::string& value)
{
    FFieldName = value;
    Changed();
}

TField* TColumn::Field() const
{
    TCustomDBGrid* grid = Grid();
    if (!grid || FFieldName.empty())
        return nullptr;
    TDataSet* dataSet = DataSetOf(grid->DataLink());
    return dataSet ? dataSet->FindField(FFieldName) : nullptr;
}

int TColumn::DefaultWidth() const
{
    TField* field = Field();
    if (!field)
        return 64;
    auto* self = const_cast<TColumn*>(this);
    const int width = field->DisplayWidth() * TextWidthIn(&self->FFont, "0") + 4;
    const int titleWidth = TextWidthIn(self->FTitle->Font(), FTitle->Caption()) + 4;
    return std::max(width, titleWidth);
}

int TColumn::Width() const { return FWidth >= 0 ? FWidth : DefaultWidth(); }

void TColumn::SetWidth(int value)
{
    FWidth = std::max(0, value);
    Changed();
}

TAlignment TColumn::Alignment() const
{
    if (FAlignmentSet)
        return FAlignment;
    TField* field = Field();
    return field ? field->Alignment() : taLeftJustify;
}

void TColumn::SetAlignment(TAlignment value)
{
    FAlignment = value;
    FAlignmentSet = true;
    Changed();
}

TColor TColumn::Color() const
{
    if (FColorSet)
        return FColor;
    TCustomDBGrid* grid = Grid();
    return grid ? grid->Color() : clWindow;
}

void TColumn::SetColor(TColor value)
{
    FColor = value;
    FColorSet = true;
    Changed();
}

void TColumn::SetVisible(bool value)
{
    FVisible = value;
    Changed();
}

void TColumn::Assign(TPersistent* Source)
{
    if (auto* other = dynamic_cast<TColumn*>(Source)) {
        FFieldName = other->FFieldName;
        FTitle->Assign(other->FTitle.get());
        FWidth = other->FWidth;
        FAlignmentSet = other->FAlignmentSet;
        FAlignment = other->FAlignment;
        FColorSet = other->FColorSet;
        FColor = other->FColor;
        FFont.Assign(&other->FFont);
        FVisible = other->FVisible;
        ReadOnly = other->ReadOnly;
        ButtonStyle = other->ButtonStyle;
        Changed();
        return;
    }
    TCollectionItem::Assign(Source);
}

// --- TDBGridColumns ----------------------------------------------------------------------------

TDBGridColumns::TDBGridColumns(TCustomDBGrid* grid)
    : TCollection([](TCollection* collection) { return new TColumn(collection); }), FGrid(grid)
{
}

TColumn* TDBGridColumns::Add()
{
    // Defining a column replaces the default ones.
    // The layout is redone once the new column is whole.
    BeginUpdate();
    if (State() == csDefault && Count() > 0)
        Clear();
    auto* column = static_cast<TColumn*>(TCollection::Add());
    EndUpdate();
    return column;
}

TColumn* TDBGridColumns::Items(int index) const { return static_cast<TColumn*>(TCollection::Items(index)); }

TDBGridColumnsState TDBGridColumns::State() const
{
    for (int i = 0; i < Count(); ++i)
        if (!Items(i)->FDefault)
            return csCustomized;
    return csDefault;
}

void TDBGridColumns::SetState(TDBGridColumnsState value)
{
    if (value == State())
        return;
    if (value == csDefault)
        RestoreDefaults();
    else
        for (int i = 0; i < Count(); ++i)
            Items(i)->FDefault = false;
}

void TDBGridColumns::RebuildColumns()
{
    BeginUpdate();
    Clear();
    if (TDataSet* dataSet = DataSetOf(FGrid->DataLink()))
        for (int i = 0; i < dataSet->FieldCount(); ++i) {
            TField* field = dataSet->Fields()[i];
            if (!field->Visible())
                continue;
            auto* column = static_cast<TColumn*>(TCollection::Add());
            column->FFieldName = field->FieldName();
            column->FDefault = true;
        }
    EndUpdate();
}

void TDBGridColumns::RestoreDefaults() { RebuildColumns(); }

void TDBGridColumns::Update(TCollectionItem*)
{
    if (FGrid)
        FGrid->LayoutChanged();
}

// --- TBookmarkList -----------------------------------------------------------------------------

int TBookmarkList::Compare(const TBookmark& a, const TBookmark& b) const
{
    TDataSet* dataSet = DataSetOf(FGrid->DataLink());
    return dataSet ? dataSet->CompareBookmarks(a, b) : a.compare(b);
}

TBookmark TBookmarkList::CurrentBookmark() const
{
    TDataSet* dataSet = DataSetOf(FGrid->DataLink());
    if (!dataSet || dataSet->IsEmpty())
        return {};
    return dataSet->GetBookmark();
}

bool TBookmarkList::Find(const TBookmark& item, int& index) const
{
    int low = 0, high = Count() - 1;
    while (low <= high) {
        const int middle = (low + high) / 2;
        const int order = Compare(FList[static_cast<std::size_t>(middle)], item);
        if (order < 0)
            low = middle + 1;
        else if (order > 0)
            high = middle - 1;
        else {
            index = middle;
            return true;
        }
    }
    index = low;
    return false;
}

int TBookmarkList::IndexOf(const TBookmark& item) const
{
    int index = -1;
    return Find(item, index) ? index : -1;
}

void TBookmarkList::Insert(const TBookmark& item)
{
    int index = 0;
    if (item.empty() || Find(item, index))
        return;
    FList.insert(FList.begin() + index, item);
}

bool TBookmarkList::CurrentRowSelected() const
{
    const TBookmark current = CurrentBookmark();
    return !current.empty() && IndexOf(current) >= 0;
}

void TBookmarkList::SetCurrentRowSelected(bool value)
{
    const TBookmark current = CurrentBookmark();
    if (current.empty())
        return;
    int index = 0;
    const bool found = Find(current, index);
    if (value && !found)
        FList.insert(FList.begin() + index, current);
    else if (!value && found)
        FList.erase(FList.begin() + index);
    else
        return;
    FGrid->InvalidateRow(FGrid->Row());
}

void TBookmarkList::Clear()
{
    if (FList.empty())
        return;
    FList.clear();
    Changed();
}

void TBookmarkList::Delete()
{
    TDataSet* dataSet = DataSetOf(FGrid->DataLink());
    if (!dataSet)
        return;
    dataSet->DisableControls();
    try {
        for (auto it = FList.rbegin(); it != FList.rend(); ++it)
            if (dataSet->BookmarkValid(*it)) {
                dataSet->GotoBookmark(*it);
                dataSet->Delete();
            }
    } catch (...) {
        FList.clear();
        dataSet->EnableControls();
        throw;
    }
    FList.clear();
    dataSet->EnableControls();
    Changed();
}

bool TBookmarkList::Refresh()
{
    TDataSet* dataSet = DataSetOf(FGrid->DataLink());
    const std::size_t before = FList.size();
    if (!dataSet)
        FList.clear();
    else
        FList.erase(std::remove_if(FList.begin(), FList.end(),
                                   [dataSet](const TBookmark& item) { return !dataSet->BookmarkValid(item); }),
                    FList.end());
    const bool dropped = FList.size() != before;
    if (dropped)
        Changed();
    return dropped;
}

void TBookmarkList::Changed() { FGrid->InvalidateGrid(); }

// --- TGridDataLink -----------------------------------------------------------------------------

void TGridDataLink::ActiveChanged() { FGrid->LinkActive(Active()); }
void TGridDataLink::DataSetChanged() { FGrid->DataChanged(); }

void TGridDataLink::DataSetScrolled(int Distance)
{
    ++ScrolledCount;
    FGrid->Scroll(Distance);
}

void TGridDataLink::LayoutChanged() { FGrid->FieldsChanged(); }
void TGridDataLink::RecordChanged(TField* Field) { FGrid->RecordChanged(Field); }
void TGridDataLink::EditingChanged() { FGrid->InvalidateCell(0, FGrid->Row()); }

void TGridDataLink::UpdateData()
{
    if (FGrid->EditorMode() && FGrid->InplaceEditor())
        FGrid->SetEditText(FGrid->Col(), FGrid->Row(), FGrid->InplaceEditor()->Text());
}

void TGridDataLink::FocusControl(TField** Field)
{
    if (!Field || !*Field)
        return;
    const std::vector<TColumn*> columns = FGrid->VisibleColumns();
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (columns[i]->Field() == *Field) {
            FGrid->SetSelectedIndex(static_cast<int>(i));
            if (FGrid->CanFocus())
                FGrid->SetFocus();
            *Field = nullptr;
            return;
        }
}

// --- TCustomDBGrid -----------------------------------------------------------------------------

TCustomDBGrid::TCustomDBGrid(TComponent* AOwner)
    : TCustomGrid(AOwner), FDataLink(std::make_unique<TGridDataLink>(this)),
      FColumns(std::make_unique<TDBGridColumns>(this)), FSelectedRows(std::make_unique<TBookmarkList>(this))
{
    FTitleFont.Assign(Font());
    FOptions = TDBGridOptions{dgEditing,  dgTitles,         dgIndicator,    dgColumnResize, dgColLines,
                              dgRowLines, dgTabs,           dgConfirmDelete, dgCancelOnExit};
    SetOptions(FOptions);
    LayoutChanged();
}

TCustomDBGrid::~TCustomDBGrid()
{
    FLayoutLock = true;
    FDataLink->SetDataSource(nullptr);
}

void TCustomDBGrid::SetDataSource(TDataSource* value)
{
    if (value == FDataLink->DataSource())
        return;
    FSelectedRows->FList.clear();
    FDataLink->SetDataSource(value);
    if (value)
        value->FreeNotification(this);
    LinkActive(FDataLink->Active());
}

void TCustomDBGrid::Notification(TComponent* AComponent, TOperation Operation)
{
    TCustomGrid::Notification(AComponent, Operation);
    if (Operation == opRemove && FDataLink && AComponent == FDataLink->DataSource())
        SetDataSource(nullptr);
}

void TCustomDBGrid::SetOptions(TDBGridOptions value)
{
    if (value.Contains(dgRowSelect))
        value.Exclude(dgAlwaysShowEditor);
    FOptions = value;
    TGridOptions grid;
    if (value.Contains(dgColLines))
        grid = grid + TGridOptions{goFixedVertLine, goVertLine};
    if (value.Contains(dgRowLines))
        grid = grid + TGridOptions{goFixedHorzLine, goHorzLine};
    if (value.Contains(dgColumnResize))
        grid = grid + TGridOptions{goColSizing, goColMoving};
    if (value.Contains(dgTabs))
        grid.Include(goTabs);
    if (value.Contains(dgRowSelect))
        grid.Include(goRowSelect);
    if (value.Contains(dgEditing) && !value.Contains(dgRowSelect))
        grid.Include(goEditing);
    if (value.Contains(dgAlwaysShowEditor))
        grid.Include(goAlwaysShowEditor);
    if (value.Contains(dgAlwaysShowSelection))
        grid.Include(goDrawFocusSelected);
    TCustomGrid::SetOptions(grid);
    if (!value.Contains(dgMultiSelect))
        FSelectedRows->FList.clear();
    LayoutChanged();
}

std::vector<TColumn*> TCustomDBGrid::VisibleColumns() const
{
    std::vector<TColumn*> result;
    for (int i = 0; i < FColumns->Count(); ++i)
        if (FColumns->Items(i)->Visible())
            result.push_back(FColumns->Items(i));
    return result;
}

TColumn* TCustomDBGrid::ColumnAtGridCol(int ACol) const
{
    const std::vector<TColumn*> columns = VisibleColumns();
    const int index = ACol - IndicatorOffset();
    return index >= 0 && index < static_cast<int>(columns.size()) ? columns[static_cast<std::size_t>(index)] : nullptr;
}

int TCustomDBGrid::FieldCount() const { return static_cast<int>(VisibleColumns().size()); }

TField* TCustomDBGrid::Fields(int index) const
{
    const std::vector<TColumn*> columns = VisibleColumns();
    if (index < 0 || index >= static_cast<int>(columns.size()))
        return nullptr;
    return columns[static_cast<std::size_t>(index)]->Field();
}

int TCustomDBGrid::SelectedIndex() const { return Col() - IndicatorOffset(); }

void TCustomDBGrid::SetSelectedIndex(int value)
{
    const int col = value + IndicatorOffset();
    if (col < FixedCols() || col >= ColCount() || col == Col())
        return;
    if (OnColExit)
        OnColExit(this);
    MoveColRow(col, Row(), true, true);
    if (OnColEnter)
        OnColEnter(this);
}

TField* TCustomDBGrid::SelectedField() const { return Fields(SelectedIndex()); }

void TCustomDBGrid::LinkActive(bool value)
{
    FSelectedRows->FList.clear();
    FAnchorBookmark.clear();
    if (value && FColumns->State() == csDefault)
        FColumns->RebuildColumns(); // runs LayoutChanged
    else
        LayoutChanged();
    if (!value)
        HideEditor(false);
}

void TCustomDBGrid::FieldsChanged()
{
    if (FColumns->State() == csDefault)
        FColumns->RebuildColumns();
    else
        LayoutChanged();
}

void TCustomDBGrid::LayoutChanged()
{
    if (FLayoutLock || !FColumns)
        return;
    FLayoutLock = true;
    try {
        const std::vector<TColumn*> columns = VisibleColumns();
        const int indicator = IndicatorOffset();
        const int cols = indicator + std::max<int>(1, static_cast<int>(columns.size()));
        const int titles = TitleOffset();
        // Keep the fixed counts below the totals while both change.
        if (ColCount() <= indicator)
            SetColCount(indicator + 1);
        if (FixedCols() != indicator)
            SetFixedCols(indicator);
        SetColCount(cols);
        if (RowCount() <= titles)
            SetRowCount(titles + 1);
        if (FixedRows() != titles)
            SetFixedRows(titles);
        if (indicator)
            SetColWidths(0, IndicatorWidth);
        for (std::size_t i = 0; i < columns.size(); ++i)
            SetColWidths(indicator + static_cast<int>(i), columns[i]->Width());
        if (columns.empty())
            SetColWidths(indicator, DefaultColWidth());
        UpdateRowCount();
    } catch (...) {
        FLayoutLock = false;
        throw;
    }
    FLayoutLock = false;
    InvalidateGrid();
}

int TCustomDBGrid::RowsThatFit() const
{
    const int line = FOptions.Contains(dgRowLines) ? GridLineWidth() : 0;
    int available = ClientHeight();
    if (TitleOffset())
        available -= RowHeights(0) + line;
    return std::max(1, (available + line) / (DefaultRowHeight() + line));
}

void TCustomDBGrid::UpdateRowCount()
{
    if (FSyncing)
        return;
    FSyncing = true;
    try {
        const int titles = TitleOffset();
        int rows = titles + 1;
        if (FDataLink->Active()) {
            FDataLink->SetBufferCount(RowsThatFit());
            rows = titles + std::max(1, FDataLink->RecordCount());
        }
        SetRowCount(rows);
        UpdateActive();
        UpdateScrollBars();
    } catch (...) {
        FSyncing = false;
        throw;
    }
    FSyncing = false;
}

// The grid's current row follows the data set's current record.
void TCustomDBGrid::UpdateActive()
{
    if (!FDataLink->Active())
        return;
    const int row = TitleOffset() + std::max(0, FDataLink->ActiveRecord());
    if (row < RowCount() && row != Row()) {
        // The editor's text belongs to the record that was current: the data link has already
        // taken it when the record was posted, and it must not reach the new one.
        HideEditor(false);
        MoveColRow(Col(), row, true, false);
    }
    if (TopRow() != FixedRows())
        SetTopRow(FixedRows());
}

void TCustomDBGrid::DataChanged()
{
    if (!FDataLink->Editing())
        HideEditor(false);
    UpdateRowCount();
    InvalidateGrid();
    if (FOptions.Contains(dgAlwaysShowEditor) && !EditorMode())
        ShowEditor();
}

void TCustomDBGrid::Scroll(int distance)
{
    if (distance == 0) {
        UpdateActive();
        return;
    }
    HideEditor(false);
    UpdateRowCount();
    InvalidateGrid();
    if (FOptions.Contains(dgAlwaysShowEditor) && !EditorMode())
        ShowEditor();
}

void TCustomDBGrid::RecordChanged(TField*)
{
    if (FDataLink->Active())
        InvalidateRow(TitleOffset() + FDataLink->ActiveRecord());
}

void TCustomDBGrid::Resize()
{
    TCustomGrid::Resize();
    UpdateRowCount();
}

void TCustomDBGrid::ColWidthsChanged()
{
    if (FLayoutLock)
        return;
    const std::vector<TColumn*> columns = VisibleColumns();
    FLayoutLock = true;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const int width = ColWidths(IndicatorOffset() + static_cast<int>(i));
        if (width != columns[i]->Width()) {
            columns[i]->FWidth = width;
            columns[i]->FDefault = false;
        }
    }
    FLayoutLock = false;
}

void TCustomDBGrid::ColumnMoved(int FromIndex, int ToIndex)
{
    const std::vector<TColumn*> columns = VisibleColumns();
    const int from = FromIndex - IndicatorOffset(), to = ToIndex - IndicatorOffset();
    if (from < 0 || to < 0 || from >= static_cast<int>(columns.size()) || to >= static_cast<int>(columns.size()))
        return;
    FLayoutLock = true;
    for (int i = 0; i < FColumns->Count(); ++i)
        FColumns->Items(i)->FDefault = false;
    columns[static_cast<std::size_t>(from)]->SetIndex(columns[static_cast<std::size_t>(to)]->Index());
    FLayoutLock = false;
    LayoutChanged();
    if (OnColumnMoved)
        OnColumnMoved(this, from, to);
}

// --- Scroll bar --------------------------------------------------------------------------------

void TCustomDBGrid::UpdateScrollBars()
{
    if (!HandleAllocated())
        return;
    TDataSet* dataSet = DataSetOf(FDataLink.get());
    const bool vertical = ScrollBars() == ssVertical || ScrollBars() == ssBoth;
    SCROLLINFO info;
    info.fMask = SIF_RANGE | SIF_POS | SIF_PAGE;
    bool show = false;
    if (vertical && dataSet && !dataSet->IsEmpty()) {
        if (dataSet->IsSequenced() && dataSet->RecordCount() > 0) {
            const int count = dataSet->RecordCount();
            show = count > FDataLink->RecordCount() || !dataSet->Bof() || !dataSet->Eof();
            info.nMin = 1;
            info.nMax = count;
            info.nPage = 1;
            info.nPos = std::max(1, dataSet->RecNo());
        } else {
            show = true;
            info.nMin = 0;
            info.nMax = 4;
            info.nPage = 0;
            info.nPos = dataSet->Bof() ? 0 : dataSet->Eof() ? 4 : 2;
        }
    }
    ShowScrollBar(Handle(), SB_VERT, show);
    if (show)
        SetScrollInfo(Handle(), SB_VERT, info, TRUE);
    // The horizontal bar is the plain grid's, over the columns.
    const TScrollStyle saved = ScrollBars();
    if (saved == ssBoth || saved == ssHorizontal) {
        const int maxLeft = [&] {
            int width = ClientWidth();
            for (int c = 0; c < FixedCols(); ++c)
                width -= ColWidths(c) + GridLineWidth();
            int left = ColCount() - 1, used = 0;
            for (int c = ColCount() - 1; c >= FixedCols(); --c) {
                if (used + ColWidths(c) > width)
                    break;
                used += ColWidths(c) + GridLineWidth();
                left = c;
            }
            return left;
        }();
        const bool needed = maxLeft > FixedCols();
        ShowScrollBar(Handle(), SB_HORZ, needed);
        if (needed) {
            SCROLLINFO horizontal;
            horizontal.fMask = SIF_RANGE | SIF_POS | SIF_PAGE;
            horizontal.nMin = FixedCols();
            horizontal.nMax = ColCount() - 1;
            horizontal.nPage = static_cast<UINT>(ColCount() - maxLeft);
            horizontal.nPos = LeftCol();
            SetScrollInfo(Handle(), SB_HORZ, horizontal, TRUE);
        }
    }
}

void TCustomDBGrid::ScrollMessage(int bar, WORD code, int pos)
{
    TDataSet* dataSet = DataSetOf(FDataLink.get());
    if (bar != SB_VERT) {
        TCustomGrid::ScrollMessage(bar, code, pos);
        return;
    }
    if (!dataSet)
        return;
    const int page = RowsThatFit();
    switch (code) {
    case SB_LINEUP:
        dataSet->Prior();
        break;
    case SB_LINEDOWN:
        dataSet->Next();
        break;
    case SB_PAGEUP:
        dataSet->MoveBy(-page);
        break;
    case SB_PAGEDOWN:
        dataSet->MoveBy(page);
        break;
    case SB_TOP:
        dataSet->First();
        break;
    case SB_BOTTOM:
        dataSet->Last();
        break;
    case SB_THUMBPOSITION: {
        SCROLLINFO info;
        info.fMask = SIF_TRACKPOS;
        if (HandleAllocated() && GetScrollInfo(Handle(), SB_VERT, info) && info.nTrackPos > 0xFFFF)
            pos = info.nTrackPos;
        if (dataSet->IsSequenced() && dataSet->RecordCount() > 0)
            dataSet->SetRecNo(std::max(1, std::min(pos, dataSet->RecordCount())));
        else if (pos <= 0)
            dataSet->First();
        else if (pos >= 4)
            dataSet->Last();
        else {
            dataSet->First();
            dataSet->MoveBy(std::max(0, dataSet->RecordCount()) / 2);
        }
        break;
    }
    default:
        return;
    }
    UpdateScrollBars();
}

bool TCustomDBGrid::DoMouseWheelDown(TShiftState Shift, TPoint MousePos)
{
    return TCustomControl::DoMouseWheelDown(Shift, MousePos);
}

bool TCustomDBGrid::DoMouseWheelUp(TShiftState Shift, TPoint MousePos)
{
    return TCustomControl::DoMouseWheelUp(Shift, MousePos);
}

// --- Drawing -----------------------------------------------------------------------------------

bool TCustomDBGrid::IsRowSelected(int) const
{
    return FOptions.Contains(dgMultiSelect) && FSelectedRows->Count() > 0 && FSelectedRows->CurrentRowSelected();
}

// The indicator cell: an arrow on the current row ("*" while inserting, an I-beam while
// editing); with multiple selection a dot marks the selected rows, beside the arrow on the
// current one.
void TCustomDBGrid::DrawIndicator(const TRect& rect, int record)
{
    TCanvas* canvas = Canvas();
    canvas->Brush()->SetColor(FixedColor());
    canvas->FillRect(rect);
    TDataSet* dataSet = DataSetOf(FDataLink.get());
    if (!dataSet || record >= FDataLink->RecordCount())
        return;
    const int active = FDataLink->ActiveRecord();
    bool selected = false;
    if (FOptions.Contains(dgMultiSelect) && FSelectedRows->Count() > 0) {
        FDataLink->SetActiveRecord(record);
        selected = FSelectedRows->CurrentRowSelected();
        FDataLink->SetActiveRecord(active);
    }
    const bool current = record == active;
    if (!current && !selected)
        return;
    int cx = (rect.Left + rect.Right) / 2;
    const int cy = (rect.Top + rect.Bottom) / 2;
    canvas->Pen()->SetColor(clBlack);
    canvas->Brush()->SetColor(clBlack);
    if (!current) {
        canvas->FillRect({cx - 2, cy - 2, cx + 2, cy + 2});
        return;
    }
    switch (dataSet->State()) {
    case dsInsert:
        canvas->Brush()->SetStyle(bsClear);
        canvas->Font()->Assign(Font());
        canvas->Font()->SetColor(clBlack);
        canvas->TextOut(cx - canvas->TextWidth("*") / 2, cy - canvas->TextHeight("*") / 2, "*");
        canvas->Brush()->SetStyle(bsSolid);
        break;
    case dsEdit:
        canvas->MoveTo(cx - 2, cy - 5);
        canvas->LineTo(cx + 3, cy - 5);
        canvas->MoveTo(cx, cy - 5);
        canvas->LineTo(cx, cy + 5);
        canvas->MoveTo(cx - 2, cy + 5);
        canvas->LineTo(cx + 3, cy + 5);
        break;
    default:
        if (selected) {
            canvas->FillRect({cx + 2, cy - 1, cx + 4, cy + 1});
            cx -= 2;
        }
        canvas->Polygon({{cx - 2, cy - 4}, {cx + 2, cy}, {cx - 2, cy + 4}});
        break;
    }
}

void TCustomDBGrid::DrawTitle(const TRect& rect, TColumn* column)
{
    TCanvas* canvas = Canvas();
    canvas->Brush()->SetColor(column ? column->Title()->Color() : FixedColor());
    canvas->FillRect(rect);
    if (!column)
        return;
    canvas->Font()->Assign(column->Title()->Font());
    const std::string caption = column->Title()->Caption();
    const int width = canvas->TextWidth(caption);
    int x = rect.Left + 2;
    if (column->Title()->Alignment() == taRightJustify)
        x = rect.Right - width - 2;
    else if (column->Title()->Alignment() == taCenter)
        x = rect.Left + (rect.Width() - width) / 2;
    canvas->TextRect(rect, x, rect.Top + 2, caption);
}

void TCustomDBGrid::DefaultDrawColumnCell(const TRect& Rect, int, TColumn* Column, TGridDrawState)
{
    TCanvas* canvas = Canvas();
    TField* field = Column ? Column->Field() : nullptr;
    const std::string text = field ? field->DisplayText() : std::string();
    const int width = canvas->TextWidth(text);
    int x = Rect.Left + 2;
    const TAlignment alignment = Column ? Column->Alignment() : taLeftJustify;
    if (alignment == taRightJustify)
        x = Rect.Right - width - 2;
    else if (alignment == taCenter)
        x = Rect.Left + (Rect.Width() - width) / 2;
    canvas->TextRect(Rect, x, Rect.Top + 2, text);
}

void TCustomDBGrid::DefaultDrawDataCell(const TRect& Rect, TField* Field, TGridDrawState State)
{
    for (TColumn* column : VisibleColumns())
        if (column->Field() == Field) {
            DefaultDrawColumnCell(Rect, column->Index(), column, State);
            return;
        }
    Canvas()->FillRect(Rect);
}

void TCustomDBGrid::DrawCell(int ACol, int ARow, TRect ARect, TGridDrawState AState)
{
    const int titles = TitleOffset();
    const int record = ARow - titles;
    if (IndicatorOffset() && ACol == 0) {
        if (ARow >= titles)
            DrawIndicator(ARect, record);
        return;
    }
    TColumn* column = ColumnAtGridCol(ACol);
    if (titles && ARow == 0) {
        DrawTitle(ARect, column);
        return;
    }
    TCanvas* canvas = Canvas();
    TDataSet* dataSet = DataSetOf(FDataLink.get());
    if (!dataSet || !column || record >= FDataLink->RecordCount()) {
        canvas->Brush()->SetColor(Color());
        canvas->FillRect(ARect);
        return;
    }
    const int active = FDataLink->ActiveRecord();
    FDataLink->SetActiveRecord(record);
    try {
        const bool showSelection = (HandleAllocated() && Focused()) || FOptions.Contains(dgAlwaysShowSelection);
        const bool current = record == active && (FOptions.Contains(dgRowSelect) || ACol == Col());
        const bool selected = current || IsRowSelected(record);
        const bool highlight = selected && showSelection;
        if (highlight)
            AState.Include(gdSelected);
        else
            AState.Exclude(gdSelected);
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(highlight ? clHighlight : column->Color());
        canvas->Font()->Assign(column->Font());
        if (highlight)
            canvas->Font()->SetColor(clHighlightText);
        if (DefaultDrawing)
            DefaultDrawColumnCell(ARect, ACol - IndicatorOffset(), column, AState);
        else
            canvas->FillRect(ARect); // a clean cell in the cell's colour for the handler
        if (OnDrawColumnCell)
            OnDrawColumnCell(this, ARect, ACol - IndicatorOffset(), column, AState);
        if (OnDrawDataCell)
            OnDrawDataCell(this, ARect, column->Field(), AState);
    } catch (...) {
        if (FDataLink->Active())
            FDataLink->SetActiveRecord(active);
        throw;
    }
    // A handler may have closed the data set: its buffers are gone then.
    if (FDataLink->Active())
        FDataLink->SetActiveRecord(active);
}

// --- Keys and mouse ----------------------------------------------------------------------------

bool TCustomDBGrid::SelectCell(int ACol, int) { return ACol >= FixedCols(); }

void TCustomDBGrid::ClearSelectionToCurrent()
{
    if (!FOptions.Contains(dgMultiSelect))
        return;
    FSelectedRows->FList.clear();
    FSelectedRows->SetCurrentRowSelected(true);
    FAnchorBookmark = FSelectedRows->CurrentBookmark();
    InvalidateGrid();
}

// Selects every record from one bookmark to the other (both included), in the data set's order.
void TCustomDBGrid::SelectRowsBetween(const TBookmark& from, const TBookmark& to)
{
    TDataSet* dataSet = DataSetOf(FDataLink.get());
    if (!dataSet || from.empty() || to.empty() || !dataSet->BookmarkValid(from) || !dataSet->BookmarkValid(to))
        return;
    const bool forward = dataSet->CompareBookmarks(from, to) <= 0;
    const TBookmark current = dataSet->GetBookmark();
    dataSet->DisableControls();
    try {
        dataSet->GotoBookmark(from);
        while (true) {
            const TBookmark here = dataSet->GetBookmark();
            FSelectedRows->Insert(here);
            if (dataSet->CompareBookmarks(here, to) == 0)
                break;
            if (dataSet->MoveBy(forward ? 1 : -1) == 0)
                break;
        }
        dataSet->GotoBookmark(current);
    } catch (...) {
        dataSet->EnableControls();
        throw;
    }
    dataSet->EnableControls();
    InvalidateGrid();
}

void TCustomDBGrid::DeleteCurrentRecord()
{
    TDataSet* dataSet = DataSetOf(FDataLink.get());
    if (!dataSet || ReadOnly || !FOptions.Contains(dgEditing) || !dataSet->CanModify() || dataSet->IsEmpty())
        return;
    if (FOptions.Contains(dgConfirmDelete) &&
        MessageDlg(SDeleteRecordQuestion, mtConfirmation, mbYesNo, 0) != mrYes)
        return;
    if (FOptions.Contains(dgMultiSelect) && FSelectedRows->Count() > 1)
        FSelectedRows->Delete();
    else
        dataSet->Delete();
}

void TCustomDBGrid::KeyDown(WORD& Key, TShiftState Shift)
{
    TCustomControl::KeyDown(Key, Shift); // OnKeyDown first
    if (Key == 0)
        return;
    TDataSet* dataSet = DataSetOf(FDataLink.get());
    const bool ctrl = Shift.Contains(ssCtrl);
    const bool shift = Shift.Contains(ssShift);
    const bool multi = FOptions.Contains(dgMultiSelect);
    if (EditorMode() && Key == VK_ESCAPE) {
        // Escape takes back the editor's changes; with none, the record's.
        const bool typed = EditorModified();
        EditorKey(Key, Shift);
        if (!typed && dataSet && (dataSet->State() == dsEdit || dataSet->State() == dsInsert))
            dataSet->Cancel();
        Key = 0;
        return;
    }
    if (EditorKey(Key, Shift))
        return;
    auto moveRecords = [&](auto move) {
        if (!dataSet)
            return;
        const TBookmark before = multi ? FSelectedRows->CurrentBookmark() : TBookmark();
        move();
        if (!multi)
            return;
        if (shift) {
            if (FAnchorBookmark.empty())
                FAnchorBookmark = before;
            FSelectedRows->FList.clear();
            SelectRowsBetween(FAnchorBookmark, FSelectedRows->CurrentBookmark());
        } else {
            ClearSelectionToCurrent();
        }
    };
    const int page = RowsThatFit();
    switch (Key) {
    case VK_UP:
        moveRecords([&] { dataSet->Prior(); });
        break;
    case VK_DOWN:
        moveRecords([&] { dataSet->Next(); });
        break;
    case VK_PRIOR:
        moveRecords([&] { dataSet->MoveBy(-page); });
        break;
    case VK_NEXT:
        moveRecords([&] { dataSet->MoveBy(page); });
        break;
    case VK_HOME:
        if (ctrl)
            moveRecords([&] { dataSet->First(); });
        else
            SetSelectedIndex(0);
        break;
    case VK_END:
        if (ctrl)
            moveRecords([&] { dataSet->Last(); });
        else
            SetSelectedIndex(FieldCount() - 1);
        break;
    case VK_LEFT:
        if (!FOptions.Contains(dgRowSelect))
            SetSelectedIndex(SelectedIndex() - 1);
        break;
    case VK_RIGHT:
        if (!FOptions.Contains(dgRowSelect))
            SetSelectedIndex(SelectedIndex() + 1);
        break;
    case VK_TAB:
        if (!FOptions.Contains(dgTabs) || ctrl)
            return;
        if (shift) {
            if (SelectedIndex() > 0)
                SetSelectedIndex(SelectedIndex() - 1);
            else if (dataSet && !dataSet->Bof()) {
                dataSet->Prior();
                SetSelectedIndex(FieldCount() - 1);
            }
        } else if (SelectedIndex() < FieldCount() - 1) {
            SetSelectedIndex(SelectedIndex() + 1);
        } else if (dataSet && !dataSet->Eof()) {
            dataSet->Next();
            SetSelectedIndex(0);
        }
        break;
    case VK_INSERT:
        if (dataSet && FOptions.Contains(dgEditing) && !ReadOnly && dataSet->CanModify())
            dataSet->Append();
        break;
    case VK_DELETE:
        if (ctrl)
            DeleteCurrentRecord();
        else
            return;
        break;
    case VK_ESCAPE:
        if (dataSet && (dataSet->State() == dsEdit || dataSet->State() == dsInsert))
            dataSet->Cancel();
        break;
    case VK_F2:
    case VK_RETURN:
        if (dataSet && FOptions.Contains(dgEditing) && !FOptions.Contains(dgRowSelect) && !ReadOnly) {
            SetEditorMode(true);
            if (Key == VK_F2)
                EditorCaretToEnd();
        } else if (Key == VK_RETURN)
            return;
        break;
    default:
        return;
    }
    Key = 0;
}

void TCustomDBGrid::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    FTitleClickCol = -1;
    bool isCol = false;
    int line = -1;
    if (Button == mbLeft && !Shift.Contains(ssDouble) && EditButtonMouseDown(X, Y)) {
        TCustomControl::MouseDown(Button, Shift, X, Y);
        return;
    }
    if (Button != mbLeft || Shift.Contains(ssDouble) || SizingLineAt(X, Y, isCol, line)) {
        TCustomGrid::MouseDown(Button, Shift, X, Y);
        return;
    }
    if (HandleAllocated() && CanFocus() && !Focused())
        SetFocus();
    const TGridCoord cell = MouseCoord(X, Y);
    if (cell.X < 0 || cell.Y < 0) {
        TCustomControl::MouseDown(Button, Shift, X, Y);
        return;
    }
    if (cell.Y < TitleOffset()) {
        if (cell.X >= IndicatorOffset())
            FTitleClickCol = cell.X;
        // Moving columns by their titles stays with the plain grid.
        TCustomGrid::MouseDown(Button, Shift, X, Y);
        return;
    }
    TDataSet* dataSet = DataSetOf(FDataLink.get());
    const int record = cell.Y - TitleOffset();
    if (!dataSet || record >= FDataLink->RecordCount()) {
        TCustomControl::MouseDown(Button, Shift, X, Y);
        return;
    }
    if (cell.X >= IndicatorOffset())
        SetSelectedIndex(cell.X - IndicatorOffset());
    const TBookmark before = FSelectedRows->CurrentBookmark();
    dataSet->MoveBy(record - FDataLink->ActiveRecord());
    if (FOptions.Contains(dgMultiSelect)) {
        if (Shift.Contains(ssCtrl)) {
            FSelectedRows->SetCurrentRowSelected(!FSelectedRows->CurrentRowSelected());
            FAnchorBookmark = FSelectedRows->CurrentBookmark();
        } else if (Shift.Contains(ssShift)) {
            if (FAnchorBookmark.empty())
                FAnchorBookmark = before;
            FSelectedRows->FList.clear();
            SelectRowsBetween(FAnchorBookmark, FSelectedRows->CurrentBookmark());
        } else {
            ClearSelectionToCurrent();
        }
    }
    FTitleClickCol = -2 - cell.X; // a data cell: OnCellClick on release
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TCustomDBGrid::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    const int pressed = FTitleClickCol;
    FTitleClickCol = -1;
    TCustomGrid::MouseUp(Button, Shift, X, Y);
    if (Button != mbLeft)
        return;
    const TGridCoord cell = MouseCoord(X, Y);
    if (pressed >= 0 && cell.Y >= 0 && cell.Y < TitleOffset() && cell.X == pressed) {
        if (OnTitleClick)
            OnTitleClick(ColumnAtGridCol(pressed));
    } else if (pressed <= -2) {
        if (OnCellClick)
            OnCellClick(ColumnAtGridCol(-2 - pressed));
    }
}

void TCustomDBGrid::Dispatch(TMessage& Message) { TCustomGrid::Dispatch(Message); }

// Leaving the grid (not moving into its own editor) drops an untouched new record.
void TCustomDBGrid::DoExit()
{
    TCustomGrid::DoExit();
    if (!FOptions.Contains(dgCancelOnExit))
        return;
    TDataSet* dataSet = DataSetOf(FDataLink.get());
    if (dataSet && dataSet->State() == dsInsert && !dataSet->Modified())
        dataSet->Cancel();
}

// --- Editing -----------------------------------------------------------------------------------

std::string TCustomDBGrid::GetEditText(int ACol, int)
{
    TColumn* column = ColumnAtGridCol(ACol);
    TField* field = column ? column->Field() : nullptr;
    return field ? field->Text() : std::string();
}

void TCustomDBGrid::SetEditText(int ACol, int, const std::string& Value)
{
    TColumn* column = ColumnAtGridCol(ACol);
    TField* field = column ? column->Field() : nullptr;
    TDataSet* dataSet = DataSetOf(FDataLink.get());
    if (!field || !dataSet || ReadOnly || column->ReadOnly || field->ReadOnly())
        return;
    if (field->Text() == Value)
        return;
    if (!FDataLink->Editing())
        FDataLink->Edit();
    if (dataSet->State() == dsEdit || dataSet->State() == dsInsert)
        field->SetText(Value);
}

std::string TCustomDBGrid::GetEditMask(int ACol, int)
{
    TColumn* column = ColumnAtGridCol(ACol);
    TField* field = column ? column->Field() : nullptr;
    return field ? field->EditMask() : std::string();
}

bool TCustomDBGrid::CanEditShow() const
{
    TDataSet* dataSet = DataSetOf(FDataLink.get());
    return TCustomGrid::CanEditShow() && FOptions.Contains(dgEditing) && !ReadOnly && dataSet &&
           Row() - TitleOffset() < std::max(1, FDataLink->RecordCount());
}

// The first change in the editor puts the data set in edit state, as typing in a bound edit does.
bool TCustomDBGrid::CanEditModify()
{
    TColumn* column = ColumnAtGridCol(Col());
    TField* field = column ? column->Field() : nullptr;
    TDataSet* dataSet = DataSetOf(FDataLink.get());
    if (!dataSet || !field || ReadOnly || column->ReadOnly || field->ReadOnly() || !dataSet->CanModify() ||
        !field->CanModify())
        return false;
    if (!FDataLink->Editing())
        FDataLink->Edit();
    return FDataLink->Editing();
}

TEditStyle TCustomDBGrid::GetEditStyle(int ACol, int)
{
    TColumn* column = ColumnAtGridCol(ACol);
    return column && column->ButtonStyle == cbsEllipsis ? esEllipsis : esSimple;
}

void TCustomDBGrid::EditButtonClick()
{
    if (OnEditButtonClick)
        OnEditButtonClick(this);
}
