#include "platform/gui/Grid.h"

#include "platform/gui/GdiDraw.h"
#include "platform/gui/MaskEdit.h"
#include "platform/gui/Screen.h"
#include "platform/gui/SystemMetrics.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/gui/private/GdiInternals.h"
#include "platform/gui/private/Surfaces.h"

#include <algorithm>

namespace {

const char* const SGridIndexOutOfRange = "Grid index out of range";
const char* const SFixedColTooBig = "Fixed column count must be less than column count";
const char* const SFixedRowTooBig = "Fixed row count must be less than row count";

// How close to a grid line the mouse must be to start sizing.
constexpr int SizingMargin = 2;

bool HasDrawingTarget(HDC dc)
{
    TDeviceContext* context = dc ? Gdi::FindDC(dc) : nullptr;
    Gdi::TTarget target;
    return context && Gdi::TargetOf(*context, target);
}

HDC ImageContextOf(TControl* control)
{
    if (!RetainedImage(control))
        return nullptr;
    return Gdi::CreateImageDC([control](TDcSurface& surface) {
        QImage* image = RetainedImage(control);
        if (!image)
            return false;
        const QPoint origin = ClientOffset(control);
        surface.Image = image;
        surface.Origin = {origin.x(), origin.y()};
        surface.Bounds = QRect(origin, QSize(control->ClientWidth(), control->ClientHeight()));
        return true;
    });
}

TRect Intersection(const TRect& a, const TRect& b)
{
    TRect result;
    IntersectRect(result, a, b);
    return result;
}

} // namespace

// The editor over the current cell. The text editing itself is the masked edit's; keys that
// move between cells, Enter and Escape go to the grid.
class TInplaceEdit : public TCustomMaskEdit {
    TESS_CLASS(TInplaceEdit, TCustomMaskEdit)
public:
    explicit TInplaceEdit(TCustomGrid* grid);
    TCustomGrid* Grid() const { return FGrid; }
    TEditStyle EditStyle() const { return FEditStyle; }
    // Width of the ellipsis button (the width of a vertical scroll bar).
    static int ButtonWidth();
    void Dispatch(TMessage& Message) override;

protected:
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void KeyPress(char& Key) override;

private:
    friend class TCustomGrid;
    // Hands a key to the grid as if the grid had it; Key becomes 0.
    void SendToGrid(WORD& Key, TShiftState Shift);
    bool CaretAtStart() const;
    bool CaretAtEnd() const;
    TCustomGrid* FGrid;
    TEditStyle FEditStyle = esSimple;
};

TCustomGrid::TCustomGrid(TComponent* AOwner) : TCustomControl(AOwner)
{
    ControlStyle = TControlStyle{csCaptureMouse, csOpaque, csDoubleClicks};
    FOptions = TGridOptions{goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect};
    FColWidths.assign(static_cast<std::size_t>(FColCount), FDefaultColWidth);
    FRowHeights.assign(static_cast<std::size_t>(FRowCount), FDefaultRowHeight);
    auto canvas = std::make_unique<TControlCanvas>();
    canvas->SetControl(this);
    FCanvas = std::move(canvas);
    SetColor(clWindow);
    SetParentColor(false);
    SetTabStop(true);
    SetBounds(0, 0, 320, 120);
}

TCustomGrid::~TCustomGrid()
{
    // The editor goes first, while the grid it calls back is still whole.
    if (TInplaceEdit* editor = FInplaceEdit) {
        FInplaceEdit = nullptr;
        FEditorMode = false;
        TComponent::Free(editor);
    }
}

void TCustomGrid::CreateParams(TCreateParams& Params)
{
    TCustomControl::CreateParams(Params);
    Params.Style |= WS_TABSTOP;
    if (FBorderStyle == bsSingle)
        Params.ExStyle |= WS_EX_CLIENTEDGE;
    Params.WindowClassStyle |= CS_DBLCLKS;
}

void TCustomGrid::CreateWnd()
{
    TCustomControl::CreateWnd();
    // The bars follow the counts and sizes set before the window existed.
    UpdateScrollBars();
}

// --- Counts and sizes -----------------------------------------------------------------------

void TCustomGrid::CheckColIndex(int index) const
{
    if (index < 0 || index >= FColCount)
        RAISE(EInvalidGridOperation(SGridIndexOutOfRange));
}

void TCustomGrid::CheckRowIndex(int index) const
{
    if (index < 0 || index >= FRowCount)
        RAISE(EInvalidGridOperation(SGridIndexOutOfRange));
}

void TCustomGrid::ChangeSize(int newColCount, int newRowCount)
{
    const int oldCols = FColCount, oldRows = FRowCount;
    FColWidths.resize(static_cast<std::size_t>(newColCount), FDefaultColWidth);
    FRowHeights.resize(static_cast<std::size_t>(newRowCount), FDefaultRowHeight);
    FColCount = newColCount;
    FRowCount = newRowCount;
    ClampCurrent();
    SizeChanged(oldCols, oldRows);
    UpdateScrollBars();
    InvalidateGrid();
}

void TCustomGrid::ClampCurrent()
{
    auto clamp = [](int value, int low, int high) { return std::max(low, std::min(value, high)); };
    FCurrent.X = clamp(FCurrent.X, FFixedCols, FColCount - 1);
    FCurrent.Y = clamp(FCurrent.Y, FFixedRows, FRowCount - 1);
    FAnchor.X = clamp(FAnchor.X, FFixedCols, FColCount - 1);
    FAnchor.Y = clamp(FAnchor.Y, FFixedRows, FRowCount - 1);
    FTopLeft.X = clamp(FTopLeft.X, FFixedCols, std::max(FFixedCols, MaxTopLeft(true)));
    FTopLeft.Y = clamp(FTopLeft.Y, FFixedRows, std::max(FFixedRows, MaxTopLeft(false)));
}

void TCustomGrid::SetColCount(int value)
{
    if (value == FColCount)
        return;
    if (value < 1)
        value = 1;
    if (value <= FFixedCols)
        RAISE(EInvalidGridOperation(SFixedColTooBig));
    ChangeSize(value, FRowCount);
}

void TCustomGrid::SetRowCount(int value)
{
    if (value == FRowCount)
        return;
    if (value < 1)
        value = 1;
    if (value <= FFixedRows)
        RAISE(EInvalidGridOperation(SFixedRowTooBig));
    ChangeSize(FColCount, value);
}

void TCustomGrid::SetFixedCols(int value)
{
    if (value < 0)
        RAISE(EInvalidGridOperation(SGridIndexOutOfRange));
    if (value >= FColCount)
        RAISE(EInvalidGridOperation(SFixedColTooBig));
    FFixedCols = value;
    FTopLeft.X = value;
    FCurrent.X = std::max(FCurrent.X, value);
    FAnchor = FCurrent;
    ClampCurrent();
    UpdateScrollBars();
    InvalidateGrid();
}

void TCustomGrid::SetFixedRows(int value)
{
    if (value < 0)
        RAISE(EInvalidGridOperation(SGridIndexOutOfRange));
    if (value >= FRowCount)
        RAISE(EInvalidGridOperation(SFixedRowTooBig));
    FFixedRows = value;
    FTopLeft.Y = value;
    FCurrent.Y = std::max(FCurrent.Y, value);
    FAnchor = FCurrent;
    ClampCurrent();
    UpdateScrollBars();
    InvalidateGrid();
}

void TCustomGrid::SetDefaultColWidth(int value)
{
    if (value < 0)
        RAISE(EInvalidGridOperation(SGridIndexOutOfRange));
    FDefaultColWidth = value;
    std::fill(FColWidths.begin(), FColWidths.end(), value);
    ColWidthsChanged();
    UpdateScrollBars();
    InvalidateGrid();
}

void TCustomGrid::SetDefaultRowHeight(int value)
{
    if (value < 0)
        RAISE(EInvalidGridOperation(SGridIndexOutOfRange));
    FDefaultRowHeight = value;
    std::fill(FRowHeights.begin(), FRowHeights.end(), value);
    RowHeightsChanged();
    UpdateScrollBars();
    InvalidateGrid();
}

int TCustomGrid::ColWidths(int index) const
{
    CheckColIndex(index);
    return FColWidths[static_cast<std::size_t>(index)];
}

void TCustomGrid::SetColWidths(int index, int value)
{
    CheckColIndex(index);
    if (value < 0)
        RAISE(EInvalidGridOperation(SGridIndexOutOfRange));
    FColWidths[static_cast<std::size_t>(index)] = value;
    ColWidthsChanged();
    UpdateScrollBars();
    PlaceEditor();
    InvalidateGrid();
}

int TCustomGrid::RowHeights(int index) const
{
    CheckRowIndex(index);
    return FRowHeights[static_cast<std::size_t>(index)];
}

void TCustomGrid::SetRowHeights(int index, int value)
{
    CheckRowIndex(index);
    if (value < 0)
        RAISE(EInvalidGridOperation(SGridIndexOutOfRange));
    FRowHeights[static_cast<std::size_t>(index)] = value;
    RowHeightsChanged();
    UpdateScrollBars();
    PlaceEditor();
    InvalidateGrid();
}

void TCustomGrid::SetGridLineWidth(int value)
{
    if (value < 0)
        RAISE(EInvalidGridOperation(SGridIndexOutOfRange));
    FGridLineWidth = value;
    UpdateScrollBars();
    InvalidateGrid();
}

void TCustomGrid::SetOptions(TGridOptions value)
{
    if (value == FOptions)
        return;
    FOptions = value;
    if (FOptions.Contains(goRowSelect)) {
        FAnchor.Y = FCurrent.Y;
        if (FEditorMode)
            HideEditor(true);
    }
    if (!FOptions.Contains(goEditing) && FEditorMode)
        HideEditor(true);
    if (FOptions.Contains(goAlwaysShowEditor) && CanEditShow())
        ShowEditor();
    UpdateScrollBars();
    InvalidateGrid();
}

void TCustomGrid::SetScrollBars(TScrollStyle value)
{
    FScrollBars = value;
    UpdateScrollBars();
}

void TCustomGrid::SetFixedColor(TColor value)
{
    FFixedColor = value;
    InvalidateGrid();
}

void TCustomGrid::SetBorderStyle(TBorderStyle value)
{
    if (value == FBorderStyle)
        return;
    FBorderStyle = value;
    if (HandleAllocated())
        RecreateWnd();
}

// --- Geometry -------------------------------------------------------------------------------

int TCustomGrid::LineAfterCol(int c) const
{
    const bool on = c < FFixedCols ? FOptions.Contains(goFixedVertLine) : FOptions.Contains(goVertLine);
    return on ? FGridLineWidth : 0;
}

int TCustomGrid::LineAfterRow(int r) const
{
    const bool on = r < FFixedRows ? FOptions.Contains(goFixedHorzLine) : FOptions.Contains(goHorzLine);
    return on ? FGridLineWidth : 0;
}

// -1 when the column is scrolled out to the left.
int TCustomGrid::ColLeft(int c) const
{
    int x = 0;
    for (int i = 0; i < std::min(c, FFixedCols); ++i)
        x += FColWidths[static_cast<std::size_t>(i)] + LineAfterCol(i);
    if (c < FFixedCols)
        return x;
    if (c < FTopLeft.X)
        return -1;
    const int width = ClientWidth();
    for (int i = FTopLeft.X; i < c; ++i) {
        x += FColWidths[static_cast<std::size_t>(i)] + LineAfterCol(i);
        if (x > width)
            return x;
    }
    return x;
}

int TCustomGrid::RowTop(int r) const
{
    int y = 0;
    for (int i = 0; i < std::min(r, FFixedRows); ++i)
        y += FRowHeights[static_cast<std::size_t>(i)] + LineAfterRow(i);
    if (r < FFixedRows)
        return y;
    if (r < FTopLeft.Y)
        return -1;
    const int height = ClientHeight();
    for (int i = FTopLeft.Y; i < r; ++i) {
        y += FRowHeights[static_cast<std::size_t>(i)] + LineAfterRow(i);
        if (y > height)
            return y;
    }
    return y;
}

TRect TCustomGrid::CellRect(int ACol, int ARow) const
{
    if (ACol < 0 || ACol >= FColCount || ARow < 0 || ARow >= FRowCount)
        return {};
    const int left = ColLeft(ACol), top = RowTop(ARow);
    if (left < 0 || top < 0 || left >= ClientWidth() || top >= ClientHeight())
        return {};
    return {left, top, left + FColWidths[static_cast<std::size_t>(ACol)],
            top + FRowHeights[static_cast<std::size_t>(ARow)]};
}

// The displayed column under x; a line pixel belongs to the cell before it; -1 outside.
int TCustomGrid::CellAtX(int x) const
{
    if (x < 0 || x >= ClientWidth())
        return -1;
    int pos = 0;
    auto step = [&](int c) {
        pos += FColWidths[static_cast<std::size_t>(c)] + LineAfterCol(c);
        return x < pos;
    };
    for (int c = 0; c < FFixedCols; ++c)
        if (step(c))
            return c;
    for (int c = FTopLeft.X; c < FColCount; ++c)
        if (step(c))
            return c;
    return -1;
}

int TCustomGrid::CellAtY(int y) const
{
    if (y < 0 || y >= ClientHeight())
        return -1;
    int pos = 0;
    auto step = [&](int r) {
        pos += FRowHeights[static_cast<std::size_t>(r)] + LineAfterRow(r);
        return y < pos;
    };
    for (int r = 0; r < FFixedRows; ++r)
        if (step(r))
            return r;
    for (int r = FTopLeft.Y; r < FRowCount; ++r)
        if (step(r))
            return r;
    return -1;
}

void TCustomGrid::MouseToCell(int X, int Y, int& ACol, int& ARow) const
{
    const TGridCoord coord = MouseCoord(X, Y);
    ACol = coord.X;
    ARow = coord.Y;
}

TGridCoord TCustomGrid::MouseCoord(int X, int Y) const
{
    const int c = CellAtX(X), r = CellAtY(Y);
    if (c < 0 || r < 0)
        return {-1, -1};
    return {c, r};
}

// How many scrolling cells from the top-left fit wholly (at least one).
int TCustomGrid::CountFitting(bool cols) const
{
    const int fixed = cols ? FFixedCols : FFixedRows;
    const int count = cols ? FColCount : FRowCount;
    const int extent = cols ? ClientWidth() : ClientHeight();
    int pos = 0;
    for (int i = 0; i < fixed; ++i)
        pos += cols ? FColWidths[static_cast<std::size_t>(i)] + LineAfterCol(i)
                    : FRowHeights[static_cast<std::size_t>(i)] + LineAfterRow(i);
    int fitting = 0;
    for (int i = cols ? FTopLeft.X : FTopLeft.Y; i < count; ++i) {
        const int size = cols ? FColWidths[static_cast<std::size_t>(i)] : FRowHeights[static_cast<std::size_t>(i)];
        if (pos + size > extent)
            break;
        ++fitting;
        pos += size + (cols ? LineAfterCol(i) : LineAfterRow(i));
    }
    return std::max(1, fitting);
}

int TCustomGrid::VisibleColCount() const { return CountFitting(true); }
int TCustomGrid::VisibleRowCount() const { return CountFitting(false); }

// The largest top-left index that still fills the view to the last cell.
int TCustomGrid::MaxTopLeft(bool cols) const
{
    const int fixed = cols ? FFixedCols : FFixedRows;
    const int count = cols ? FColCount : FRowCount;
    int available = cols ? ClientWidth() : ClientHeight();
    for (int i = 0; i < fixed; ++i)
        available -= cols ? FColWidths[static_cast<std::size_t>(i)] + LineAfterCol(i)
                          : FRowHeights[static_cast<std::size_t>(i)] + LineAfterRow(i);
    int top = count - 1;
    int used = 0;
    for (int i = count - 1; i >= fixed; --i) {
        const int size = cols ? FColWidths[static_cast<std::size_t>(i)] + LineAfterCol(i)
                              : FRowHeights[static_cast<std::size_t>(i)] + LineAfterRow(i);
        const int cell = cols ? FColWidths[static_cast<std::size_t>(i)] : FRowHeights[static_cast<std::size_t>(i)];
        if (used + cell > available)
            break;
        used += size;
        top = i;
    }
    return std::max(fixed, top);
}

// --- Current cell, selection and view --------------------------------------------------------

TGridRect TCustomGrid::Selection() const
{
    TGridRect r{std::min(FAnchor.X, FCurrent.X), std::min(FAnchor.Y, FCurrent.Y), std::max(FAnchor.X, FCurrent.X),
                std::max(FAnchor.Y, FCurrent.Y)};
    if (FOptions.Contains(goRowSelect)) {
        r.Left = FFixedCols;
        r.Right = FColCount - 1;
    }
    return r;
}

void TCustomGrid::SetSelection(const TGridRect& value)
{
    CheckColIndex(value.Left);
    CheckColIndex(value.Right);
    CheckRowIndex(value.Top);
    CheckRowIndex(value.Bottom);
    FAnchor = {value.Left, value.Top};
    FCurrent = {value.Right, value.Bottom};
    if (!FOptions.Contains(goRangeSelect))
        FAnchor = FCurrent;
    ClampCurrent();
    InvalidateGrid();
}

void TCustomGrid::SetCol(int value)
{
    if (value == FCurrent.X)
        return;
    CheckColIndex(value);
    FocusCell(value, FCurrent.Y, true);
}

void TCustomGrid::SetRow(int value)
{
    if (value == FCurrent.Y)
        return;
    CheckRowIndex(value);
    FocusCell(FCurrent.X, value, true);
}

bool TCustomGrid::SelectCell(int, int) { return true; }

bool TCustomGrid::FocusCell(int ACol, int ARow, bool MoveAnchor)
{
    ACol = std::max(FFixedCols, std::min(ACol, FColCount - 1));
    ARow = std::max(FFixedRows, std::min(ARow, FRowCount - 1));
    if (ACol == FCurrent.X && ARow == FCurrent.Y && (!MoveAnchor || FAnchor == FCurrent))
        return true;
    if (!SelectCell(ACol, ARow))
        return false;
    MoveColRow(ACol, ARow, MoveAnchor, true);
    Click();
    return true;
}

void TCustomGrid::MoveColRow(int ACol, int ARow, bool MoveAnchor, bool Show)
{
    CheckColIndex(ACol);
    CheckRowIndex(ARow);
    if (FEditorMode)
        HideEditor(true);
    const TGridRect before = Selection();
    FCurrent = {ACol, ARow};
    if (MoveAnchor || !FOptions.Contains(goRangeSelect))
        FAnchor = FCurrent;
    const TGridRect after = Selection();
    if (HandleAllocated()) {
        for (int r = std::min(before.Top, after.Top); r <= std::max(before.Bottom, after.Bottom); ++r) {
            const bool inBefore = r >= before.Top && r <= before.Bottom;
            const bool inAfter = r >= after.Top && r <= after.Bottom;
            if (inBefore || inAfter)
                InvalidateRow(r);
            if (r > std::min(before.Top, after.Top) + 200) {
                InvalidateGrid();
                break;
            }
        }
    }
    if (Show)
        ScrollToCell(ACol, ARow);
    if (FOptions.Contains(goAlwaysShowEditor) && CanEditShow())
        ShowEditor();
}

void TCustomGrid::ScrollToCell(int ACol, int ARow)
{
    int left = FTopLeft.X, top = FTopLeft.Y;
    if (ACol < left)
        left = ACol;
    else {
        while (left < ACol && ColLeft(ACol) + FColWidths[static_cast<std::size_t>(ACol)] > ClientWidth())
            ++left, FTopLeft.X = left;
    }
    if (ARow < top)
        top = ARow;
    else {
        // Rows to skip so that ARow ends inside the view: walk back from ARow.
        int available = ClientHeight();
        for (int i = 0; i < FFixedRows; ++i)
            available -= FRowHeights[static_cast<std::size_t>(i)] + LineAfterRow(i);
        int used = FRowHeights[static_cast<std::size_t>(ARow)];
        int first = ARow;
        while (first > FFixedRows &&
               used + FRowHeights[static_cast<std::size_t>(first - 1)] + LineAfterRow(first - 1) <= available) {
            --first;
            used += FRowHeights[static_cast<std::size_t>(first)] + LineAfterRow(first);
        }
        if (top < first)
            top = first;
    }
    SetTopLeft(left, top);
}

bool TCustomGrid::SetTopLeft(int left, int top)
{
    left = std::max(FFixedCols, std::min(left, std::max(FFixedCols, MaxTopLeft(true))));
    top = std::max(FFixedRows, std::min(top, std::max(FFixedRows, MaxTopLeft(false))));
    if (left == FTopLeft.X && top == FTopLeft.Y)
        return false;
    FTopLeft = {left, top};
    UpdateScrollBars();
    InvalidateGrid();
    TopLeftChanged();
    return true;
}

void TCustomGrid::SetLeftCol(int value)
{
    CheckColIndex(value);
    SetTopLeft(value, FTopLeft.Y);
}

void TCustomGrid::SetTopRow(int value)
{
    CheckRowIndex(value);
    SetTopLeft(FTopLeft.X, value);
}

void TCustomGrid::TopLeftChanged() { PlaceEditor(); }

// --- Invalidation ----------------------------------------------------------------------------

void TCustomGrid::InvalidateCell(int ACol, int ARow)
{
    if (!HandleAllocated())
        return;
    TRect r = CellRect(ACol, ARow);
    if (IsRectEmpty(r))
        return;
    r.Right += FGridLineWidth;
    r.Bottom += FGridLineWidth;
    InvalidateRect(Handle(), &r, FALSE);
}

void TCustomGrid::InvalidateCol(int ACol)
{
    if (!HandleAllocated())
        return;
    const int left = ColLeft(ACol);
    if (left < 0 || left >= ClientWidth())
        return;
    TRect r{left, 0, left + FColWidths[static_cast<std::size_t>(ACol)] + FGridLineWidth, ClientHeight()};
    InvalidateRect(Handle(), &r, FALSE);
}

void TCustomGrid::InvalidateRow(int ARow)
{
    if (!HandleAllocated())
        return;
    const int top = RowTop(ARow);
    if (top < 0 || top >= ClientHeight())
        return;
    TRect r{0, top, ClientWidth(), top + FRowHeights[static_cast<std::size_t>(ARow)] + FGridLineWidth};
    InvalidateRect(Handle(), &r, FALSE);
}

void TCustomGrid::InvalidateGrid()
{
    if (HandleAllocated())
        Invalidate();
}

// --- Structure -------------------------------------------------------------------------------

void TCustomGrid::MoveColumn(int FromIndex, int ToIndex)
{
    CheckColIndex(FromIndex);
    CheckColIndex(ToIndex);
    if (FromIndex == ToIndex)
        return;
    const int width = FColWidths[static_cast<std::size_t>(FromIndex)];
    FColWidths.erase(FColWidths.begin() + FromIndex);
    FColWidths.insert(FColWidths.begin() + ToIndex, width);
    ColumnMoved(FromIndex, ToIndex);
    InvalidateGrid();
}

void TCustomGrid::MoveRow(int FromIndex, int ToIndex)
{
    CheckRowIndex(FromIndex);
    CheckRowIndex(ToIndex);
    if (FromIndex == ToIndex)
        return;
    const int height = FRowHeights[static_cast<std::size_t>(FromIndex)];
    FRowHeights.erase(FRowHeights.begin() + FromIndex);
    FRowHeights.insert(FRowHeights.begin() + ToIndex, height);
    RowMoved(FromIndex, ToIndex);
    InvalidateGrid();
}

void TCustomGrid::DeleteColumn(int ACol)
{
    MoveColumn(ACol, FColCount - 1);
    SetColCount(FColCount - 1);
}

void TCustomGrid::DeleteRow(int ARow)
{
    MoveRow(ARow, FRowCount - 1);
    SetRowCount(FRowCount - 1);
}

// --- Painting --------------------------------------------------------------------------------

// The grid counts as focused while its editor has the focus.
bool TCustomGrid::ShowsFocus() const
{
    return HandleAllocated() && (Focused() || (FEditorMode && FInplaceEdit && FInplaceEdit->Focused()));
}

TColor TCustomGrid::LineColor(bool fixed) const
{
    if (fixed)
        return clBlack;
    return Color() == clSilver ? clGray : clSilver;
}

void TCustomGrid::DrawCellBackground(const TRect& rect, TColor color, TGridDrawState state)
{
    TCanvas* canvas = FCanvas.get();
    canvas->Brush()->SetColor(color);
    canvas->FillRect(rect);
    canvas->Font()->SetColor(state.Contains(gdSelected) && !state.Contains(gdFixed) ? clHighlightText
                                                                                      : Font()->Color());
}

void TCustomGrid::Paint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(Handle(), &paint);
    HDC ownDc = nullptr;
    if (!HasDrawingTarget(dc)) {
        // No window surface is bound to the paint context: draw straight into the retained image.
        ownDc = ImageContextOf(this);
        if (!ownDc) {
            EndPaint(Handle(), &paint);
            return;
        }
    }
    FCanvas->SetHandle(ownDc ? ownDc : dc);
    FCanvas->Font()->Assign(Font());
    FCanvas->Brush()->SetStyle(bsSolid);

    const TRect client = ClientRect();
    TRect update = client;
    if (TSurface* surface = Surface(); surface && !surface->PaintRect.isEmpty()) {
        const QRect& q = surface->PaintRect;
        update = Intersection(client, {q.left(), q.top(), q.right() + 1, q.bottom() + 1});
    }

    const TGridRect selection = Selection();
    const bool focused = ShowsFocus();
    const bool showSelection = focused || FOptions.Contains(goDrawFocusSelected);
    FCellsPainted = 0;

    auto paintRow = [&](int r, int y) {
        const int h = FRowHeights[static_cast<std::size_t>(r)];
        const int hLine = LineAfterRow(r);
        if (y + h + hLine <= update.Top || y >= update.Bottom)
            return;
        int x = 0;
        auto paintCell = [&](int c) {
            const int w = FColWidths[static_cast<std::size_t>(c)];
            const int wLine = LineAfterCol(c);
            if (x + w + wLine > update.Left && x < update.Right) {
                const TRect cell{x, y, x + w, y + h};
                const bool fixed = c < FFixedCols || r < FFixedRows;
                TGridDrawState state;
                if (fixed)
                    state.Include(gdFixed);
                else {
                    if (c == FCurrent.X && r == FCurrent.Y)
                        state.Include(gdFocused);
                    if (c >= selection.Left && c <= selection.Right && r >= selection.Top && r <= selection.Bottom)
                        state.Include(gdSelected);
                }
                if (DefaultDrawing) {
                    // The focused cell keeps the window colour (it gets the focus rectangle)
                    // unless the whole selection is drawn highlighted.
                    const bool highlight =
                        state.Contains(gdSelected) && showSelection &&
                        (!state.Contains(gdFocused) || FOptions.Contains(goDrawFocusSelected) ||
                         FOptions.Contains(goRowSelect));
                    DrawCellBackground(cell, fixed ? FFixedColor : highlight ? clHighlight : Color(), state);
                    FCanvas->Font()->SetColor(highlight ? clHighlightText : Font()->Color());
                }
                ++FCellsPainted;
                DrawCell(c, r, cell, state);
                if (DefaultDrawing && fixed && Ctl3D) {
                    TRect edge = cell;
                    Frame3D(FCanvas.get(), edge, clBtnHighlight, clBtnShadow, 1);
                }
                if (wLine > 0 || hLine > 0) {
                    FCanvas->Brush()->SetStyle(bsSolid);
                    FCanvas->Brush()->SetColor(LineColor(fixed));
                    if (wLine > 0)
                        FCanvas->FillRect({x + w, y, x + w + wLine, y + h + hLine});
                    if (hLine > 0)
                        FCanvas->FillRect({x, y + h, x + w + wLine, y + h + hLine});
                }
                if (focused && state.Contains(gdFocused) && !FOptions.Contains(goRowSelect) &&
                    !FOptions.Contains(goDrawFocusSelected) && !FEditorMode)
                    FCanvas->DrawFocusRect(cell);
            }
            x += w + wLine;
        };
        for (int c = 0; c < FFixedCols && x < client.Right; ++c)
            paintCell(c);
        for (int c = FTopLeft.X; c < FColCount && x < client.Right; ++c)
            paintCell(c);
        if (x < client.Right && x < update.Right) {
            FCanvas->Brush()->SetColor(Color());
            FCanvas->FillRect({x, y, client.Right, y + h + hLine});
        }
    };

    int y = 0;
    for (int r = 0; r < FFixedRows && y < client.Bottom; ++r) {
        paintRow(r, y);
        y += FRowHeights[static_cast<std::size_t>(r)] + LineAfterRow(r);
    }
    for (int r = FTopLeft.Y; r < FRowCount && y < client.Bottom; ++r) {
        paintRow(r, y);
        y += FRowHeights[static_cast<std::size_t>(r)] + LineAfterRow(r);
    }
    if (y < client.Bottom) {
        FCanvas->Brush()->SetColor(Color());
        FCanvas->FillRect({client.Left, y, client.Right, client.Bottom});
    }
    const TRect button = EditButtonRect();
    if (!IsRectEmpty(button))
        DrawEditButton(button);

    FCanvas->SetHandle(nullptr);
    if (ownDc)
        DeleteDC(ownDc);
    EndPaint(Handle(), &paint);
}

// --- Scroll bars -----------------------------------------------------------------------------

void TCustomGrid::UpdateScrollBars()
{
    if (!HandleAllocated() || FUpdatingBars)
        return;
    FUpdatingBars = true;
    auto update = [&](int bar, bool allowed, bool cols) {
        const int fixed = cols ? FFixedCols : FFixedRows;
        const int count = cols ? FColCount : FRowCount;
        const int maxTop = MaxTopLeft(cols);
        const bool needed = allowed && maxTop > fixed;
        ShowScrollBar(Handle(), bar, needed);
        if (!needed)
            return;
        SCROLLINFO info;
        info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        info.nMin = fixed;
        info.nMax = count - 1;
        info.nPage = static_cast<UINT>(count - maxTop);
        info.nPos = cols ? FTopLeft.X : FTopLeft.Y;
        SetScrollInfo(Handle(), bar, info, TRUE);
    };
    update(SB_VERT, FScrollBars == ssVertical || FScrollBars == ssBoth, false);
    update(SB_HORZ, FScrollBars == ssHorizontal || FScrollBars == ssBoth, true);
    FUpdatingBars = false;
}

void TCustomGrid::Resize()
{
    ClampCurrent();
    UpdateScrollBars();
    PlaceEditor();
    TCustomControl::Resize();
}

void TCustomGrid::ScrollMessage(int bar, WORD code, int pos)
{
    const bool cols = bar == SB_HORZ;
    int left = FTopLeft.X, top = FTopLeft.Y;
    int& value = cols ? left : top;
    const int page = cols ? VisibleColCount() : VisibleRowCount();
    switch (code) {
    case SB_LINEUP:
        --value;
        break;
    case SB_LINEDOWN:
        ++value;
        break;
    case SB_PAGEUP:
        value -= page;
        break;
    case SB_PAGEDOWN:
        value += page;
        break;
    case SB_TOP:
        value = 0;
        break;
    case SB_BOTTOM:
        value = cols ? FColCount : FRowCount;
        break;
    case SB_THUMBTRACK:
        if (!FOptions.Contains(goThumbTracking))
            return;
        [[fallthrough]];
    case SB_THUMBPOSITION: {
        SCROLLINFO info;
        info.fMask = SIF_TRACKPOS;
        if (HandleAllocated() && GetScrollInfo(Handle(), bar, info) && (cols ? FColCount : FRowCount) > 0xFFFF)
            pos = info.nTrackPos;
        value = pos;
        break;
    }
    default:
        return;
    }
    SetTopLeft(left, top);
}

bool TCustomGrid::DoMouseWheelDown(TShiftState Shift, TPoint MousePos)
{
    if (!TCustomControl::DoMouseWheelDown(Shift, MousePos))
        SetTopLeft(FTopLeft.X, FTopLeft.Y + 1);
    return true;
}

bool TCustomGrid::DoMouseWheelUp(TShiftState Shift, TPoint MousePos)
{
    if (!TCustomControl::DoMouseWheelUp(Shift, MousePos))
        SetTopLeft(FTopLeft.X, FTopLeft.Y - 1);
    return true;
}

// --- Messages --------------------------------------------------------------------------------

void TCustomGrid::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case WM_GETDLGCODE: {
        LRESULT code = DLGC_WANTARROWS;
        if (FOptions.Contains(goTabs))
            code |= DLGC_WANTTAB;
        if (FOptions.Contains(goEditing))
            code |= DLGC_WANTCHARS;
        Message.Result = code;
        return;
    }
    case WM_VSCROLL:
    case WM_HSCROLL:
        ScrollMessage(Message.Msg == WM_VSCROLL ? SB_VERT : SB_HORZ, LOWORD(Message.WParam),
                      static_cast<SHORT>(HIWORD(Message.WParam)));
        Message.Result = 0;
        return;
    case WM_LBUTTONDBLCLK:
        DblClick();
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        TCustomControl::Dispatch(Message);
        InvalidateGrid();
        return;
    default:
        break;
    }
    TCustomControl::Dispatch(Message);
}

// --- Keys ------------------------------------------------------------------------------------

void TCustomGrid::KeyDown(WORD& Key, TShiftState Shift)
{
    TCustomControl::KeyDown(Key, Shift);
    if (Key == 0)
        return;
    if (EditorKey(Key, Shift))
        return;
    const bool ctrl = Shift.Contains(ssCtrl);
    const bool extend = Shift.Contains(ssShift) && FOptions.Contains(goRangeSelect) && !FOptions.Contains(goRowSelect);
    int c = FCurrent.X, r = FCurrent.Y;
    const int page = VisibleRowCount();
    bool moved = true;
    switch (Key) {
    case VK_UP:
        --r;
        break;
    case VK_DOWN:
        ++r;
        break;
    case VK_LEFT:
        --c;
        break;
    case VK_RIGHT:
        ++c;
        break;
    case VK_PRIOR:
        if (ctrl)
            r = FTopLeft.Y;
        else {
            r -= page;
            SetTopLeft(FTopLeft.X, FTopLeft.Y - page);
        }
        break;
    case VK_NEXT:
        if (ctrl)
            r = FTopLeft.Y + page - 1;
        else {
            r += page;
            SetTopLeft(FTopLeft.X, FTopLeft.Y + page);
        }
        break;
    case VK_HOME:
        if (ctrl)
            r = FFixedRows;
        c = FFixedCols;
        break;
    case VK_END:
        if (ctrl)
            r = FRowCount - 1;
        c = FColCount - 1;
        break;
    case VK_TAB:
        if (!FOptions.Contains(goTabs) || ctrl) {
            moved = false;
            break;
        }
        if (Shift.Contains(ssShift)) {
            if (--c < FFixedCols) {
                c = FColCount - 1;
                --r;
            }
        } else if (++c >= FColCount) {
            c = FFixedCols;
            ++r;
        }
        if (r < FFixedRows || r >= FRowCount) {
            moved = false;
            break;
        }
        break;
    case VK_RETURN:
    case VK_F2:
        moved = false;
        if (FOptions.Contains(goEditing) && !FOptions.Contains(goRowSelect)) {
            SetEditorMode(true);
            // F2 edits from the end of the text, Enter replaces it.
            if (Key == VK_F2)
                EditorCaretToEnd();
            Key = 0;
        }
        break;
    default:
        moved = false;
        break;
    }
    if (!moved)
        return;
    c = std::max(FFixedCols, std::min(c, FColCount - 1));
    r = std::max(FFixedRows, std::min(r, FRowCount - 1));
    if (c != FCurrent.X || r != FCurrent.Y)
        FocusCell(c, r, !extend);
    Key = 0;
}

// --- Mouse -----------------------------------------------------------------------------------

bool TCustomGrid::SizingLineAt(int X, int Y, bool& isCol, int& index) const
{
    const int fixedHeight = RowTop(FFixedRows < FRowCount ? FFixedRows : 0);
    const int fixedWidth = ColLeft(FFixedCols < FColCount ? FFixedCols : 0);
    if (FOptions.Contains(goColSizing) && Y < fixedHeight) {
        int x = 0;
        auto near = [&](int c) {
            x += FColWidths[static_cast<std::size_t>(c)];
            const bool hit = std::abs(X - x) <= SizingMargin;
            x += LineAfterCol(c);
            return hit;
        };
        for (int c = 0; c < FFixedCols; ++c)
            if (near(c)) {
                isCol = true, index = c;
                return true;
            }
        for (int c = FTopLeft.X; c < FColCount && x <= ClientWidth(); ++c)
            if (near(c)) {
                isCol = true, index = c;
                return true;
            }
    }
    if (FOptions.Contains(goRowSizing) && X < fixedWidth) {
        int y = 0;
        auto near = [&](int r) {
            y += FRowHeights[static_cast<std::size_t>(r)];
            const bool hit = std::abs(Y - y) <= SizingMargin;
            y += LineAfterRow(r);
            return hit;
        };
        for (int r = 0; r < FFixedRows; ++r)
            if (near(r)) {
                isCol = false, index = r;
                return true;
            }
        for (int r = FTopLeft.Y; r < FRowCount && y <= ClientHeight(); ++r)
            if (near(r)) {
                isCol = false, index = r;
                return true;
            }
    }
    return false;
}

void TCustomGrid::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft && !Shift.Contains(ssDouble) && HandleAllocated() && CanFocus() && !Focused()) {
        SetFocus();
        if (!Focused())
            return;
    }
    if (Button == mbLeft && !Shift.Contains(ssDouble) && EditButtonMouseDown(X, Y)) {
        TCustomControl::MouseDown(Button, Shift, X, Y);
        return;
    }
    if (Button == mbLeft && !Shift.Contains(ssDouble)) {
        bool isCol = false;
        int index = -1;
        if (SizingLineAt(X, Y, isCol, index)) {
            FState = isCol ? TGridState::ColSizing : TGridState::RowSizing;
            FSizingIndex = index;
            FSizingPos = isCol ? ColLeft(index) : RowTop(index);
        } else {
            const TGridCoord cell = MouseCoord(X, Y);
            if (cell.X >= 0 && cell.Y >= 0) {
                const bool fixedRow = cell.Y < FFixedRows, fixedCol = cell.X < FFixedCols;
                if (fixedRow && !fixedCol && FOptions.Contains(goColMoving)) {
                    FState = TGridState::ColMoving;
                    FMoveFrom = cell.X;
                } else if (fixedCol && !fixedRow && FOptions.Contains(goRowMoving)) {
                    FState = TGridState::RowMoving;
                    FMoveFrom = cell.Y;
                } else if (!fixedRow && !fixedCol) {
                    if (FOptions.Contains(goEditing) && cell.X == FCurrent.X && cell.Y == FCurrent.Y &&
                        !FOptions.Contains(goRowSelect))
                        SetEditorMode(true);
                    else {
                        const bool extend = Shift.Contains(ssShift) && FOptions.Contains(goRangeSelect);
                        FocusCell(cell.X, cell.Y, !extend);
                        FState = TGridState::Selecting;
                    }
                }
            }
        }
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TCustomGrid::MouseMove(TShiftState Shift, int X, int Y)
{
    switch (FState) {
    case TGridState::Selecting: {
        const TGridCoord cell = MouseCoord(X, Y);
        if (FOptions.Contains(goRangeSelect) && cell.X >= FFixedCols && cell.Y >= FFixedRows &&
            (cell.X != FCurrent.X || cell.Y != FCurrent.Y))
            if (SelectCell(cell.X, cell.Y))
                MoveColRow(cell.X, cell.Y, false, true);
        break;
    }
    case TGridState::ColSizing:
        SetColWidths(FSizingIndex, std::max(0, X - FSizingPos));
        break;
    case TGridState::RowSizing:
        SetRowHeights(FSizingIndex, std::max(0, Y - FSizingPos));
        break;
    case TGridState::Normal: {
        bool isCol = false;
        int index = -1;
        if (SizingLineAt(X, Y, isCol, index))
            SetCursor(isCol ? crHSplit : crVSplit);
        else if (Cursor() == crHSplit || Cursor() == crVSplit)
            SetCursor(crDefault);
        break;
    }
    default:
        break;
    }
    TCustomControl::MouseMove(Shift, X, Y);
}

void TCustomGrid::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft)
        EditButtonMouseUp(X, Y);
    const TGridState state = FState;
    FState = TGridState::Normal;
    if (state == TGridState::ColMoving || state == TGridState::RowMoving) {
        const TGridCoord cell = MouseCoord(X, Y);
        if (state == TGridState::ColMoving && cell.X >= FFixedCols && cell.X != FMoveFrom)
            MoveColumn(FMoveFrom, cell.X);
        if (state == TGridState::RowMoving && cell.Y >= FFixedRows && cell.Y != FMoveFrom)
            MoveRow(FMoveFrom, cell.Y);
    }
    TCustomControl::MouseUp(Button, Shift, X, Y);
}

// --- Editing ---------------------------------------------------------------------------------

TInplaceEdit::TInplaceEdit(TCustomGrid* grid) : TCustomMaskEdit(grid), FGrid(grid)
{
    SetAutoSize(false);
    SetBorderStyle(bsNone);
    SetTabStop(false);
    SetVisible(false);
    SetParentColor(false);
}

int TInplaceEdit::ButtonWidth() { return GetSystemMetrics(SM_CXVSCROLL); }

bool TInplaceEdit::CaretAtStart() const { return SelStart() == 0 && SelLength() == 0; }

bool TInplaceEdit::CaretAtEnd() const
{
    return SelLength() == 0 && SelStart() >= static_cast<int>(EditText().size());
}

void TInplaceEdit::SendToGrid(WORD& Key, TShiftState Shift)
{
    FGrid->KeyDown(Key, Shift);
    Key = 0;
}

void TInplaceEdit::KeyDown(WORD& Key, TShiftState Shift)
{
    switch (Key) {
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_ESCAPE:
        SendToGrid(Key, Shift);
        return;
    case VK_RETURN:
        if (Shift.Contains(ssCtrl) && FEditStyle == esEllipsis) {
            FGrid->EditButtonClick();
            Key = 0;
        } else {
            SendToGrid(Key, Shift);
        }
        return;
    case VK_TAB:
        if (FGrid->Options().Contains(goTabs) && !Shift.Contains(ssAlt))
            SendToGrid(Key, Shift);
        return;
    case VK_LEFT:
    case VK_HOME:
        if (CaretAtStart()) {
            SendToGrid(Key, Shift);
            return;
        }
        break;
    case VK_RIGHT:
    case VK_END:
        if (CaretAtEnd()) {
            SendToGrid(Key, Shift);
            return;
        }
        break;
    case VK_INSERT:
        if (Shift.Empty()) {
            SendToGrid(Key, Shift);
            return;
        }
        break;
    case VK_DELETE:
        if (Shift.Contains(ssCtrl)) {
            SendToGrid(Key, Shift);
            return;
        }
        if (!FGrid->CanEditModify()) {
            Key = 0;
            return;
        }
        break;
    case VK_F2:
        SetSelStart(static_cast<int>(EditText().size()));
        SetSelLength(0);
        Key = 0;
        return;
    default:
        break;
    }
    TCustomMaskEdit::KeyDown(Key, Shift);
}

void TInplaceEdit::KeyPress(char& Key)
{
    TCustomMaskEdit::KeyPress(Key);
    const unsigned char ch = static_cast<unsigned char>(Key);
    // Enter, Escape and Tab were the grid's as keys; their characters would only beep here.
    if (ch == '\r' || ch == 27 || ch == '\t') {
        Key = 0;
        return;
    }
    if ((ch >= 32 || ch == 8) && !FGrid->CanEditModify())
        Key = 0;
}

void TInplaceEdit::Dispatch(TMessage& Message)
{
    if (Message.Msg == WM_GETDLGCODE) {
        TCustomMaskEdit::Dispatch(Message);
        Message.Result |= DLGC_WANTALLKEYS;
        if (FGrid->Options().Contains(goTabs))
            Message.Result |= DLGC_WANTTAB;
        return;
    }
    TCustomMaskEdit::Dispatch(Message);
}

bool TCustomGrid::CanEditShow() const
{
    return FOptions.Contains(goEditing) && !FOptions.Contains(goRowSelect) && FCurrent.X >= FFixedCols &&
           FCurrent.Y >= FFixedRows;
}

void TCustomGrid::SetEditorMode(bool value)
{
    if (value == FEditorMode)
        return;
    if (value) {
        if (CanEditShow())
            ShowEditor();
    } else if (!FOptions.Contains(goAlwaysShowEditor)) {
        HideEditor(true);
    }
}

TInplaceEdit* TCustomGrid::CreateEditor() { return new TInplaceEdit(this); }

TWinControl* TCustomGrid::InplaceEditor() const { return FInplaceEdit; }

bool TCustomGrid::EditorModified() const { return FEditorMode && FInplaceEdit && FInplaceEdit->Modified(); }

void TCustomGrid::EditorCaretToEnd()
{
    if (!FEditorMode || !FInplaceEdit)
        return;
    FInplaceEdit->SetSelStart(static_cast<int>(FInplaceEdit->EditText().size()));
    FInplaceEdit->SetSelLength(0);
}

void TCustomGrid::Notification(TComponent* AComponent, TOperation Operation)
{
    TCustomControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FInplaceEdit) {
        FInplaceEdit = nullptr;
        FEditorMode = false;
    }
}

TRect TCustomGrid::EditButtonRect() const
{
    if (!FEditorMode || !FInplaceEdit || FInplaceEdit->FEditStyle != esEllipsis)
        return {};
    const TRect cell = CellRect(FCurrent.X, FCurrent.Y);
    if (IsRectEmpty(cell))
        return {};
    const int width = std::min(TInplaceEdit::ButtonWidth(), cell.Width());
    return {cell.Right - width, cell.Top, cell.Right, cell.Bottom};
}

// Puts the editor on the current cell, leaving room for its button; hidden while the cell is
// scrolled out of view.
void TCustomGrid::PlaceEditor()
{
    if (!FEditorMode || !FInplaceEdit)
        return;
    TRect cell = CellRect(FCurrent.X, FCurrent.Y);
    if (IsRectEmpty(cell)) {
        if (FInplaceEdit->Focused() && CanFocus())
            SetFocus();
        FInplaceEdit->SetVisible(false);
        return;
    }
    const TRect button = EditButtonRect();
    if (!IsRectEmpty(button))
        cell.Right = button.Left;
    FInplaceEdit->SetBounds(cell.Left, cell.Top, cell.Width(), cell.Height());
    FInplaceEdit->SetVisible(true);
}

void TCustomGrid::ShowEditor()
{
    if (!CanEditShow())
        return;
    if (!FInplaceEdit) {
        FInplaceEdit = CreateEditor();
        FInplaceEdit->SetParent(this);
    }
    TInplaceEdit* editor = FInplaceEdit;
    const bool gridFocused = HandleAllocated() && Focused();
    FEditorMode = true;
    FEditButtonPressed = false;
    editor->FEditStyle = GetEditStyle(FCurrent.X, FCurrent.Y);
    editor->Font()->Assign(Font());
    editor->SetColor(Color());
    editor->SetEditMask(GetEditMask(FCurrent.X, FCurrent.Y));
    editor->SetText(GetEditText(FCurrent.X, FCurrent.Y));
    editor->SetModified(false);
    PlaceEditor();
    if (gridFocused && editor->Visible() && editor->CanFocus())
        editor->SetFocus();
    editor->SelectAll();
    InvalidateCell(FCurrent.X, FCurrent.Y);
}

void TCustomGrid::HideEditor(bool accept)
{
    if (!FEditorMode)
        return;
    // A masked text left incomplete raises here, while the editor is still in place.
    if (accept && FInplaceEdit && FInplaceEdit->IsMasked())
        FInplaceEdit->ValidateEdit();
    FEditorMode = false;
    FEditButtonPressed = false;
    if (FInplaceEdit) {
        const std::string text = FInplaceEdit->GetText();
        // The focus comes back to the grid before the editor goes, so it does not leave the form.
        if (FInplaceEdit->Focused() && CanFocus())
            SetFocus();
        FInplaceEdit->SetVisible(false);
        if (accept)
            SetEditText(FCurrent.X, FCurrent.Y, text);
    }
    InvalidateCell(FCurrent.X, FCurrent.Y);
}

bool TCustomGrid::EditorKey(WORD& Key, TShiftState)
{
    if (!FEditorMode)
        return false;
    if (Key == VK_ESCAPE) {
        if (FOptions.Contains(goAlwaysShowEditor)) {
            // The editor stays: only its text goes back to the cell's.
            if (FInplaceEdit) {
                FInplaceEdit->SetText(GetEditText(FCurrent.X, FCurrent.Y));
                FInplaceEdit->SelectAll();
            }
        } else {
            HideEditor(false);
        }
        Key = 0;
        return true;
    }
    if (Key == VK_RETURN) {
        if (FOptions.Contains(goAlwaysShowEditor)) {
            if (FInplaceEdit)
                SetEditText(FCurrent.X, FCurrent.Y, FInplaceEdit->GetText());
        } else {
            HideEditor(true);
        }
        Key = 0;
        return true;
    }
    return false;
}

void TCustomGrid::KeyPress(char& Key)
{
    TCustomControl::KeyPress(Key);
    const unsigned char ch = static_cast<unsigned char>(Key);
    if (Key == 0 || ch < 32)
        return;
    if (!FEditorMode) {
        if (!FOptions.Contains(goEditing) || !CanEditShow())
            return;
        ShowEditor();
    }
    // The character starts the editor's text, replacing what ShowEditor selected.
    if (FEditorMode && FInplaceEdit) {
        FInplaceEdit->Perform(WM_CHAR, ch, 0);
        Key = 0;
    }
}

void TCustomGrid::DoExit()
{
    TCustomControl::DoExit();
    if (!FOptions.Contains(goAlwaysShowEditor))
        HideEditor(true);
}

void TCustomGrid::DrawEditButton(const TRect& button)
{
    HDC dc = FCanvas->Handle();
    RECT face = button;
    DrawFrameControl(dc, &face, DFC_BUTTON, DFCS_BUTTONPUSH | (FEditButtonPressed ? DFCS_PUSHED : 0));
    // Three dots in the middle, one pixel lower while pressed.
    const int shift = FEditButtonPressed ? 1 : 0;
    const int cx = (button.Left + button.Right) / 2 + shift;
    const int cy = (button.Top + button.Bottom) / 2 + shift;
    FCanvas->Brush()->SetStyle(bsSolid);
    FCanvas->Brush()->SetColor(clBtnText);
    for (int dx : {-4, 0, 4})
        FCanvas->FillRect({cx + dx - 1, cy, cx + dx + 1, cy + 2});
}

bool TCustomGrid::EditButtonMouseDown(int X, int Y)
{
    const TRect button = EditButtonRect();
    if (IsRectEmpty(button) || !PtInRect(button, TPoint{X, Y}))
        return false;
    FEditButtonPressed = true;
    InvalidateCell(FCurrent.X, FCurrent.Y);
    return true;
}

bool TCustomGrid::EditButtonMouseUp(int X, int Y)
{
    if (!FEditButtonPressed)
        return false;
    FEditButtonPressed = false;
    const TRect button = EditButtonRect();
    InvalidateCell(FCurrent.X, FCurrent.Y);
    if (!IsRectEmpty(button) && PtInRect(button, TPoint{X, Y}))
        EditButtonClick();
    return true;
}

// --- TDrawGrid -------------------------------------------------------------------------------

void TDrawGrid::DrawCell(int ACol, int ARow, TRect ARect, TGridDrawState AState)
{
    if (OnDrawCell)
        OnDrawCell(this, ACol, ARow, ARect, AState);
}

bool TDrawGrid::SelectCell(int ACol, int ARow)
{
    bool canSelect = true;
    if (OnSelectCell)
        OnSelectCell(this, ACol, ARow, canSelect);
    return canSelect;
}

void TDrawGrid::TopLeftChanged()
{
    TCustomGrid::TopLeftChanged();
    if (OnTopLeftChanged)
        OnTopLeftChanged(this);
}

void TDrawGrid::ColumnMoved(int FromIndex, int ToIndex)
{
    if (OnColumnMoved)
        OnColumnMoved(this, FromIndex, ToIndex);
}

void TDrawGrid::RowMoved(int FromIndex, int ToIndex)
{
    if (OnRowMoved)
        OnRowMoved(this, FromIndex, ToIndex);
}

std::string TDrawGrid::GetEditText(int ACol, int ARow)
{
    std::string value;
    if (OnGetEditText)
        OnGetEditText(this, ACol, ARow, value);
    return value;
}

void TDrawGrid::SetEditText(int ACol, int ARow, const std::string& Value)
{
    if (OnSetEditText)
        OnSetEditText(this, ACol, ARow, Value);
}

std::string TDrawGrid::GetEditMask(int ACol, int ARow)
{
    std::string value;
    if (OnGetEditMask)
        OnGetEditMask(this, ACol, ARow, value);
    return value;
}
