#pragma once
// The data-aware grid: columns over the fields of a data set, titles, the indicator, multiple
// selection by bookmarks, and a data link whose buffer window is the rows that fit, so that only
// the visible records are fetched and drawn.

#include "platform/db/DataSet.h"
#include "platform/db/DataSource.h"
#include "platform/db/Field.h"
#include "platform/gui/Grid.h"
#include "platform/rtl/Lists.h"

#include <memory>
#include <string>
#include <vector>

class TCustomDBGrid;
class TColumn;
class TDBGridColumns;

class TColumnTitle : public TPersistent {
    TESS_CLASS(TColumnTitle, TPersistent)
public:
    explicit TColumnTitle(TColumn* column);
    // The field's display label unless set.
    std::string Caption() const;
    void SetCaption(const std::string& value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    TFont* Font() { return &FFont; }
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    void Assign(TPersistent* Source) override;

private:
    TColumn* FColumn;
    std::string FCaption;
    bool FCaptionSet = false;
    TAlignment FAlignment = taLeftJustify;
    TFont FFont;
    TColor FColor = clBtnFace;
};

// cbsEllipsis gives the column's editor a button that fires the grid's OnEditButtonClick.
enum TColumnButtonStyle { cbsAuto, cbsEllipsis, cbsNone };

class TColumn : public TCollectionItem {
    TESS_CLASS(TColumn, TCollectionItem)
public:
    explicit TColumn(TCollection* collection);
    ~TColumn() override;

    TCustomDBGrid* Grid() const;
    const std::string& FieldName() const { return FFieldName; }
    void SetFieldName(const std::string& value);
    // The field of that name in the grid's data set; nullptr when there is none.
    TField* Field() const;
    TColumnTitle* Title() { return FTitle.get(); }
    int Width() const;
    void SetWidth(int value);
    // The field's alignment unless set.
    TAlignment Alignment() const;
    void SetAlignment(TAlignment value);
    TColor Color() const;
    void SetColor(TColor value);
    TFont* Font() { return &FFont; }
    bool Visible() const { return FVisible; }
    void SetVisible(bool value);
    bool ReadOnly = false;
    TColumnButtonStyle ButtonStyle = cbsAuto;
    void Assign(TPersistent* Source) override;
    // Created for a field by the grid itself (a default column).
    bool IsDefault() const { return FDefault; }

private:
    friend class TDBGridColumns;
    friend class TCustomDBGrid;
    friend class TColumnTitle;
    void Changed();
    int DefaultWidth() const;

    std::string FFieldName;
    std::unique_ptr<TColumnTitle> FTitle;
    int FWidth = -1;
    bool FAlignmentSet = false;
    TAlignment FAlignment = taLeftJustify;
    bool FColorSet = false;
    TColor FColor = clWindow;
    TFont FFont;
    bool FVisible = true;
    bool FDefault = false;
};

enum TDBGridColumnsState { csDefault, csCustomized };

class TDBGridColumns : public TCollection {
    TESS_CLASS(TDBGridColumns, TCollection)
public:
    explicit TDBGridColumns(TCustomDBGrid* grid);
    TColumn* Add();
    TColumn* Items(int index) const;
    TCustomDBGrid* Grid() const { return FGrid; }
    TDBGridColumnsState State() const;
    void SetState(TDBGridColumnsState value);
    // Default columns for every visible field, in field order.
    void RebuildColumns();
    void RestoreDefaults();

protected:
    void Update(TCollectionItem* Item) override;

private:
    TCustomDBGrid* FGrid;
};

// The bookmarks of the selected rows, kept in the data set's order.
class TBookmarkList {
public:
    explicit TBookmarkList(TCustomDBGrid* grid) : FGrid(grid) {}
    int Count() const { return static_cast<int>(FList.size()); }
    const TBookmark& Items(int index) const { return FList.at(static_cast<std::size_t>(index)); }
    bool CurrentRowSelected() const;
    void SetCurrentRowSelected(bool value);
    void Clear();
    // Deletes the selected records from the data set.
    void Delete();
    bool Find(const TBookmark& item, int& index) const;
    int IndexOf(const TBookmark& item) const;
    // Drops the bookmarks whose records are gone; true when some were dropped.
    bool Refresh();

private:
    friend class TCustomDBGrid;
    int Compare(const TBookmark& a, const TBookmark& b) const;
    void Insert(const TBookmark& item);
    TBookmark CurrentBookmark() const;
    void Changed();

    TCustomDBGrid* FGrid;
    std::vector<TBookmark> FList;
};

class TGridDataLink : public TDataLink {
    TESS_CLASS(TGridDataLink, TDataLink)
public:
    explicit TGridDataLink(TCustomDBGrid* grid) : FGrid(grid) {}
    // Notices seen while the grid counts them (tests).
    int ScrolledCount = 0;

protected:
    void ActiveChanged() override;
    void DataSetChanged() override;
    void DataSetScrolled(int Distance) override;
    void LayoutChanged() override;
    void RecordChanged(TField* Field) override;
    void EditingChanged() override;
    void UpdateData() override;
    void FocusControl(TField** Field) override;

private:
    TCustomDBGrid* FGrid;
};

enum TDBGridOption {
    dgEditing,
    dgAlwaysShowEditor,
    dgTitles,
    dgIndicator,
    dgColumnResize,
    dgColLines,
    dgRowLines,
    dgTabs,
    dgRowSelect,
    dgAlwaysShowSelection,
    dgConfirmDelete,
    dgCancelOnExit,
    dgMultiSelect
};
using TDBGridOptions = TSet<TDBGridOption>;

using TDrawColumnCellEvent =
    std::function<void(TObject* Sender, const TRect& Rect, int DataCol, TColumn* Column, TGridDrawState State)>;
using TDrawDataCellEvent =
    std::function<void(TObject* Sender, const TRect& Rect, TField* Field, TGridDrawState State)>;
using TDBGridClickEvent = std::function<void(TColumn* Column)>;

class TCustomDBGrid : public TCustomGrid {
    TESS_CLASS(TCustomDBGrid, TCustomGrid)
public:
    explicit TCustomDBGrid(TComponent* AOwner);
    ~TCustomDBGrid() override;

    TDataSource* DataSource() const { return FDataLink->DataSource(); }
    void SetDataSource(TDataSource* value);
    TGridDataLink* DataLink() const { return FDataLink.get(); }
    TDBGridColumns* Columns() const { return FColumns.get(); }
    TDBGridOptions Options() const { return FOptions; }
    void SetOptions(TDBGridOptions value);
    TFont* TitleFont() { return &FTitleFont; }
    bool ReadOnly = false;
    TBookmarkList* SelectedRows() const { return FSelectedRows.get(); }
    // The visible columns as the grid shows them.
    int FieldCount() const;
    TField* Fields(int index) const;
    TField* SelectedField() const;
    int SelectedIndex() const;
    void SetSelectedIndex(int value);

    void DefaultDrawColumnCell(const TRect& Rect, int DataCol, TColumn* Column, TGridDrawState State);
    void DefaultDrawDataCell(const TRect& Rect, TField* Field, TGridDrawState State);

    TDrawColumnCellEvent OnDrawColumnCell;
    TDrawDataCellEvent OnDrawDataCell;
    TDBGridClickEvent OnCellClick;
    TDBGridClickEvent OnTitleClick;
    TNotifyEvent OnColEnter;
    TNotifyEvent OnColExit;
    TMovedEvent OnColumnMoved;
    TNotifyEvent OnEditButtonClick;

    void Dispatch(TMessage& Message) override;

    // Column layout changes (columns added, removed, resized, shown or hidden).
    void LayoutChanged();

protected:
    void DrawCell(int ACol, int ARow, TRect ARect, TGridDrawState AState) override;
    bool SelectCell(int ACol, int ARow) override;
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    // The data grid leaves the wheel to a subclass or the parent.
    bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos) override;
    bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos) override;
    void ScrollMessage(int bar, WORD code, int pos) override;
    void UpdateScrollBars() override;
    void Resize() override;
    void ColumnMoved(int FromIndex, int ToIndex) override;
    void ColWidthsChanged() override;
    std::string GetEditText(int ACol, int ARow) override;
    void SetEditText(int ACol, int ARow, const std::string& Value) override;
    std::string GetEditMask(int ACol, int ARow) override;
    bool CanEditShow() const override;
    bool CanEditModify() override;
    TEditStyle GetEditStyle(int ACol, int ARow) override;
    void EditButtonClick() override;
    void DoExit() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    friend class TGridDataLink;
    friend class TColumn;
    friend class TDBGridColumns;
    friend class TBookmarkList;

    int IndicatorOffset() const { return FOptions.Contains(dgIndicator) ? 1 : 0; }
    int TitleOffset() const { return FOptions.Contains(dgTitles) ? 1 : 0; }
    std::vector<TColumn*> VisibleColumns() const;
    TColumn* ColumnAtGridCol(int ACol) const;
    void LinkActive(bool value);
    void DataChanged();
    void Scroll(int distance);
    void RecordChanged(TField* field);
    void FieldsChanged();
    void UpdateRowCount();
    void UpdateActive();
    int RowsThatFit() const;
    void DrawIndicator(const TRect& rect, int record);
    void DrawTitle(const TRect& rect, TColumn* column);
    void SelectRowsBetween(const TBookmark& from, const TBookmark& to);
    void ClearSelectionToCurrent();
    void DeleteCurrentRecord();
    bool IsRowSelected(int record) const;

    std::unique_ptr<TGridDataLink> FDataLink;
    std::unique_ptr<TDBGridColumns> FColumns;
    std::unique_ptr<TBookmarkList> FSelectedRows;
    TDBGridOptions FOptions;
    TFont FTitleFont;
    TBookmark FAnchorBookmark;
    bool FLayoutLock = false;
    bool FInColExit = false;
    int FTitleClickCol = -1;
    bool FSyncing = false;
};

class TDBGrid : public TCustomDBGrid {
    TESS_CLASS(TDBGrid, TCustomDBGrid)
public:
    explicit TDBGrid(TComponent* AOwner) : TCustomDBGrid(AOwner) {}
};
