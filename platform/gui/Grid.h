#pragma once
// Grids painted by the layer: fixed and scrolling rows and columns, the cell geometry with grid
// lines, selection, keys, mouse, the window scroll bars, sizing and moving of rows and columns,
// and the hooks of in-place editing. Only the cells inside the update area are drawn.

#include "platform/gui/Canvas.h"
#include "platform/gui/WinControl.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

TESS_EXCEPTION(EInvalidGridOperation, Exception)

enum TGridOption {
    goFixedVertLine,
    goFixedHorzLine,
    goVertLine,
    goHorzLine,
    goRangeSelect,
    goDrawFocusSelected,
    goRowSizing,
    goColSizing,
    goRowMoving,
    goColMoving,
    goEditing,
    goTabs,
    goRowSelect,
    goAlwaysShowEditor,
    goThumbTracking
};
using TGridOptions = TSet<TGridOption>;

enum TGridDrawStateFlag { gdSelected, gdFocused, gdFixed };
using TGridDrawState = TSet<TGridDrawStateFlag>;

struct TGridCoord {
    int X = 0;
    int Y = 0;
    bool operator==(const TGridCoord&) const = default;
};

// Columns Left..Right and rows Top..Bottom, inclusive.
struct TGridRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    bool operator==(const TGridRect&) const = default;
};

class TCustomGrid;

// How the in-place editor offers more than typing: esEllipsis adds a button at the cell's right
// edge that calls the grid's EditButtonClick.
enum TEditStyle { esSimple, esEllipsis };

// The editor over the current cell: a borderless masked edit that the grid places on the cell,
// fills through GetEditMask and GetEditText and reads back through SetEditText. It is declared in
// Grid.cpp, because the edit controls' header and the data-set framework's (which the data grid
// includes with this one) both declare TAlignment; outside the grid it is reached as a windowed
// control (Text, EM_SETSEL, EM_GETMODIFY).
class TInplaceEdit;

using TDrawCellEvent =
    std::function<void(TObject* Sender, int ACol, int ARow, TRect Rect, TGridDrawState State)>;
using TSelectCellEvent = std::function<void(TObject* Sender, int ACol, int ARow, bool& CanSelect)>;
using TMovedEvent = std::function<void(TObject* Sender, int FromIndex, int ToIndex)>;
using TGetEditEvent = std::function<void(TObject* Sender, int ACol, int ARow, std::string& Value)>;
using TSetEditEvent = std::function<void(TObject* Sender, int ACol, int ARow, const std::string& Value)>;

class TCustomGrid : public TCustomControl {
    TESS_CLASS(TCustomGrid, TCustomControl)
public:
    explicit TCustomGrid(TComponent* AOwner);
    ~TCustomGrid() override;

    // --- Counts and sizes ---
    int ColCount() const { return FColCount; }
    void SetColCount(int value);
    int RowCount() const { return FRowCount; }
    void SetRowCount(int value);
    int FixedCols() const { return FFixedCols; }
    void SetFixedCols(int value);
    int FixedRows() const { return FFixedRows; }
    void SetFixedRows(int value);
    int DefaultColWidth() const { return FDefaultColWidth; }
    void SetDefaultColWidth(int value);
    int DefaultRowHeight() const { return FDefaultRowHeight; }
    void SetDefaultRowHeight(int value);
    int ColWidths(int index) const;
    void SetColWidths(int index, int value);
    int RowHeights(int index) const;
    void SetRowHeights(int index, int value);
    int GridLineWidth() const { return FGridLineWidth; }
    void SetGridLineWidth(int value);
    TGridOptions Options() const { return FOptions; }
    void SetOptions(TGridOptions value);

    // --- Current cell, selection and view ---
    int Col() const { return FCurrent.X; }
    void SetCol(int value);
    int Row() const { return FCurrent.Y; }
    void SetRow(int value);
    TGridRect Selection() const;
    void SetSelection(const TGridRect& value);
    int LeftCol() const { return FTopLeft.X; }
    void SetLeftCol(int value);
    int TopRow() const { return FTopLeft.Y; }
    void SetTopRow(int value);
    int VisibleColCount() const;
    int VisibleRowCount() const;

    // --- Appearance ---
    TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle value);
    TColor FixedColor() const { return FFixedColor; }
    void SetFixedColor(TColor value);
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle value);
    bool DefaultDrawing = true;
    TCanvas* Canvas() { return FCanvas.get(); }

    // --- Editing ---
    bool EditorMode() const { return FEditorMode; }
    void SetEditorMode(bool value);
    // nullptr until the editor is first shown.
    TWinControl* InplaceEditor() const;

    // --- Geometry ---
    // The cell without its grid lines, in client coordinates; empty when it is not in view.
    TRect CellRect(int ACol, int ARow) const;
    void MouseToCell(int X, int Y, int& ACol, int& ARow) const;
    TGridCoord MouseCoord(int X, int Y) const;

    void InvalidateCell(int ACol, int ARow);
    void InvalidateCol(int ACol);
    void InvalidateRow(int ARow);
    void InvalidateGrid();
    void DeleteColumn(int ACol);
    void DeleteRow(int ARow);
    void MoveColumn(int FromIndex, int ToIndex);
    void MoveRow(int FromIndex, int ToIndex);

    void Dispatch(TMessage& Message) override;

    // Cells drawn by the last paint (tests and benchmarks watch that only visible ones are).
    int CellsPainted() const { return FCellsPainted; }

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void Paint() override;
    virtual void DrawCell(int /*ACol*/, int /*ARow*/, TRect /*ARect*/, TGridDrawState /*AState*/) {}
    virtual bool SelectCell(int ACol, int ARow);
    virtual void TopLeftChanged();
    virtual void SizeChanged(int /*OldColCount*/, int /*OldRowCount*/) {}
    virtual void ColumnMoved(int /*FromIndex*/, int /*ToIndex*/) {}
    virtual void RowMoved(int /*FromIndex*/, int /*ToIndex*/) {}
    virtual void ColWidthsChanged() {}
    virtual void RowHeightsChanged() {}
    virtual std::string GetEditText(int /*ACol*/, int /*ARow*/) { return {}; }
    virtual void SetEditText(int /*ACol*/, int /*ARow*/, const std::string& /*Value*/) {}
    virtual std::string GetEditMask(int /*ACol*/, int /*ARow*/) { return {}; }
    virtual bool CanEditShow() const;
    // Asked when the user starts changing the editor's text; false keeps the text as it is.
    virtual bool CanEditModify() { return true; }
    virtual TEditStyle GetEditStyle(int /*ACol*/, int /*ARow*/) { return esSimple; }
    // The ellipsis button of the editor was clicked (or Ctrl+Enter pressed in the editor).
    virtual void EditButtonClick() {}
    virtual TInplaceEdit* CreateEditor();
    void ShowEditor();
    // Hides the editor; with accept its text goes to SetEditText.
    void HideEditor(bool accept);
    // Escape and Enter while the editor is shown; true when the key was used.
    bool EditorKey(WORD& Key, TShiftState Shift);
    // Whether the user changed the editor's text since it was shown.
    bool EditorModified() const;
    // The caret goes after the editor's text, nothing selected.
    void EditorCaretToEnd();
    // The ellipsis button's rectangle while the editor shows one (empty otherwise).
    TRect EditButtonRect() const;
    // Mouse on the ellipsis button: true when the press or release was the button's.
    bool EditButtonMouseDown(int X, int Y);
    bool EditButtonMouseUp(int X, int Y);
    // Moves the current cell as the keys and the mouse do; false when SelectCell refused.
    bool FocusCell(int ACol, int ARow, bool MoveAnchor);
    void MoveColRow(int ACol, int ARow, bool MoveAnchor, bool Show);
    void ScrollToCell(int ACol, int ARow);
    virtual void UpdateScrollBars();
    // Fills the cell the way DefaultDrawing does (background, font colour, fixed edge).
    void DrawCellBackground(const TRect& rect, TColor color, TGridDrawState state);

    void KeyDown(WORD& Key, TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void DoExit() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos) override;
    bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos) override;
    void Resize() override;
    // Vertical and horizontal scroll bar messages.
    virtual void ScrollMessage(int bar, WORD code, int pos);

    bool ShowsFocus() const;
    // Whether (X, Y) is on a line the sizing options let the mouse drag.
    bool SizingLineAt(int X, int Y, bool& isCol, int& index) const;

    int FColCount = 5;
    int FRowCount = 5;
    int FFixedCols = 1;
    int FFixedRows = 1;
    TGridCoord FCurrent{1, 1};
    TGridCoord FAnchor{1, 1};
    TGridCoord FTopLeft{1, 1};
    TGridOptions FOptions;
    int FDefaultColWidth = 64;
    int FDefaultRowHeight = 24;

private:
    friend class TInplaceEdit;
    enum class TGridState { Normal, Selecting, ColSizing, RowSizing, ColMoving, RowMoving };

    int LineAfterCol(int c) const;
    int LineAfterRow(int r) const;
    // Left edge of each displayed column in client pixels (the axis' x positions).
    int ColLeft(int c) const;
    int RowTop(int r) const;
    int CellAtX(int x) const;
    int CellAtY(int y) const;
    int CountFitting(bool cols) const;
    int MaxTopLeft(bool cols) const;
    void CheckColIndex(int index) const;
    void CheckRowIndex(int index) const;
    void ChangeSize(int newColCount, int newRowCount);
    void ClampCurrent();
    bool SetTopLeft(int left, int top);
    void PlaceEditor();
    void DrawEditButton(const TRect& cell);
    TColor LineColor(bool fixed) const;

    std::vector<int> FColWidths;
    std::vector<int> FRowHeights;
    int FGridLineWidth = 1;
    TScrollStyle FScrollBars = ssBoth;
    TColor FFixedColor = clBtnFace;
    TBorderStyle FBorderStyle = bsSingle;
    bool FEditorMode = false;
    TInplaceEdit* FInplaceEdit = nullptr; // a child control: the grid frees it
    bool FEditButtonPressed = false;
    std::unique_ptr<TCanvas> FCanvas;
    TGridState FState = TGridState::Normal;
    int FSizingIndex = -1;
    int FSizingPos = 0;
    int FMoveFrom = -1;
    bool FUpdatingBars = false;
    int FCellsPainted = 0;
};

class TDrawGrid : public TCustomGrid {
    TESS_CLASS(TDrawGrid, TCustomGrid)
public:
    explicit TDrawGrid(TComponent* AOwner) : TCustomGrid(AOwner) {}

    TDrawCellEvent OnDrawCell;
    TSelectCellEvent OnSelectCell;
    TNotifyEvent OnTopLeftChanged;
    TMovedEvent OnColumnMoved;
    TMovedEvent OnRowMoved;
    TGetEditEvent OnGetEditMask;
    TGetEditEvent OnGetEditText;
    TSetEditEvent OnSetEditText;

protected:
    void DrawCell(int ACol, int ARow, TRect ARect, TGridDrawState AState) override;
    bool SelectCell(int ACol, int ARow) override;
    void TopLeftChanged() override;
    void ColumnMoved(int FromIndex, int ToIndex) override;
    void RowMoved(int FromIndex, int ToIndex) override;
    std::string GetEditText(int ACol, int ARow) override;
    void SetEditText(int ACol, int ARow, const std::string& Value) override;
    std::string GetEditMask(int ACol, int ARow) override;
};
