#include "GuiTestSupport.h"

#include "platform/gui/Form.h"
#include "platform/gui/Grid.h"
#include "platform/gui/private/Surfaces.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

LPARAM At(int x, int y) { return static_cast<LPARAM>((y << 16) | (x & 0xFFFF)); }

void ClickAt(TControl* control, int x, int y, WPARAM keys = MK_LBUTTON)
{
    control->Perform(WM_LBUTTONDOWN, keys, At(x, y));
    control->Perform(WM_LBUTTONUP, keys & ~MK_LBUTTON, At(x, y));
}

void PressKey(TControl* control, WORD key)
{
    control->Perform(WM_KEYDOWN, key, 0);
    control->Perform(WM_KEYUP, key, 0);
}

// A form holding one draw grid with a borderless client of the given size.
struct TGridFixture {
    std::unique_ptr<TForm> Form;
    TDrawGrid* Grid = nullptr;

    TGridFixture(int width, int height)
    {
        Form = std::make_unique<TForm>(nullptr);
        Form->SetBounds(0, 0, width + 40, height + 60);
        Grid = new TDrawGrid(Form.get());
        Grid->SetBorderStyle(bsNone);
        Grid->SetParent(Form.get());
        Grid->SetBounds(0, 0, width, height);
    }
    void Show()
    {
        ShowAndActivate(Form.get());
        Pump(20);
    }
    void Repaint()
    {
        Grid->Invalidate();
        Grid->Update();
    }
    QRgb PixelAt(int x, int y)
    {
        QImage* image = RetainedImage(Grid);
        const QPoint origin = ClientOffset(Grid);
        return image->pixel(origin.x() + x, origin.y() + y) & 0xFFFFFF;
    }
};

QRgb Rgb(TColor color)
{
    const COLORREF c = ColorToRGB(color);
    return qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF) & 0xFFFFFF;
}

} // namespace

TEST(Grid, GeometryWithDefaults)
{
    TGridFixture f(400, 300);
    struct TCase {
        int Col, Row;
        TRect Expected;
    };
    const TCase cases[] = {
        {0, 0, {0, 0, 64, 24}},
        {1, 1, {65, 25, 129, 49}},
        {2, 3, {130, 75, 194, 99}},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(f.Grid->CellRect(c.Col, c.Row), c.Expected) << c.Col << "," << c.Row;

    struct TMouseCase {
        int X, Y, Col, Row;
    };
    const TMouseCase mouse[] = {{70, 30, 1, 1}, {64, 10, 0, 0}, {-1, 5, -1, -1}, {0, 0, 0, 0}, {129, 49, 1, 1}};
    for (const TMouseCase& m : mouse) {
        int col = -2, row = -2;
        f.Grid->MouseToCell(m.X, m.Y, col, row);
        EXPECT_EQ(col, m.Col) << m.X << "," << m.Y;
        EXPECT_EQ(row, m.Row) << m.X << "," << m.Y;
    }

    f.Grid->SetRowCount(50);
    f.Grid->SetTopRow(10);
    EXPECT_EQ(f.Grid->CellRect(1, 10), (TRect{65, 25, 129, 49}));
    EXPECT_EQ(f.Grid->CellRect(1, 2), TRect{}); // scrolled out

    f.Grid->SetGridLineWidth(0);
    f.Grid->SetTopRow(1);
    EXPECT_EQ(f.Grid->CellRect(1, 1), (TRect{64, 24, 128, 48}));
}

TEST(Grid, BadIndexesAndFixedCountsRaiseAndChangeNothing)
{
    TGridFixture f(400, 300);
    try {
        f.Grid->SetFixedCols(5);
        FAIL() << "no exception";
    } catch (const EInvalidGridOperation& e) {
        EXPECT_EQ(e.Message, "Fixed column count must be less than column count");
    }
    EXPECT_EQ(f.Grid->FixedCols(), 1);
    try {
        f.Grid->SetFixedRows(7);
        FAIL() << "no exception";
    } catch (const EInvalidGridOperation& e) {
        EXPECT_EQ(e.Message, "Fixed row count must be less than row count");
    }
    EXPECT_EQ(f.Grid->FixedRows(), 1);
    try {
        f.Grid->SetColWidths(5, 10);
        FAIL() << "no exception";
    } catch (const EInvalidGridOperation& e) {
        EXPECT_EQ(e.Message, "Grid index out of range");
    }
    EXPECT_THROW(f.Grid->SetRowHeights(1, -3), EInvalidGridOperation);
    EXPECT_EQ(f.Grid->RowHeights(1), 24);
    EXPECT_THROW(f.Grid->SetRow(5), EInvalidGridOperation);
    EXPECT_EQ(f.Grid->Row(), 1);
}

TEST(Grid, PaintsOnlyVisibleCellsWithTheirStates)
{
    TGridFixture f(400, 300);
    f.Grid->SetColCount(20);
    f.Grid->SetRowCount(10000);
    f.Show();
    int calls = 0, selected = 0;
    bool fixedStatesRight = true;
    f.Grid->OnDrawCell = [&](TObject*, int col, int row, TRect, TGridDrawState state) {
        ++calls;
        if ((col == 0 || row == 0) != state.Contains(gdFixed))
            fixedStatesRight = false;
        if (state.Contains(gdSelected)) {
            ++selected;
            EXPECT_EQ(col, 1);
            EXPECT_EQ(row, 1);
        }
    };
    f.Repaint();
    EXPECT_GT(calls, 0);
    const int limit = (f.Grid->VisibleColCount() + 2) * (f.Grid->VisibleRowCount() + 2);
    EXPECT_LE(calls, limit);
    EXPECT_TRUE(fixedStatesRight);
    EXPECT_EQ(selected, 1);
}

TEST(Grid, KeysMoveTheCurrentCellAndClick)
{
    TGridFixture f(400, 300);
    f.Grid->SetColCount(20);
    f.Grid->SetRowCount(10000);
    f.Show();
    int clicks = 0;
    f.Grid->OnClick = [&](TObject*) { ++clicks; };
    for (int i = 0; i < 3; ++i)
        PressKey(f.Grid, VK_DOWN);
    EXPECT_EQ(f.Grid->Row(), 4);
    EXPECT_EQ(clicks, 3);

    const int page = f.Grid->VisibleRowCount();
    PressKey(f.Grid, VK_NEXT);
    EXPECT_EQ(f.Grid->Row(), 4 + page);
    // The current row stays in view.
    EXPECT_GE(f.Grid->Row(), f.Grid->TopRow());
    EXPECT_LT(f.Grid->Row(), f.Grid->TopRow() + page);

    PressKey(f.Grid, VK_END);
    EXPECT_EQ(f.Grid->Col(), 19);
    PressKey(f.Grid, VK_HOME);
    EXPECT_EQ(f.Grid->Col(), 1);
}

TEST(Grid, SelectCellRefusalAndRowSelect)
{
    TGridFixture f(400, 300);
    f.Grid->SetColCount(20);
    f.Grid->SetRowCount(10000);
    f.Show();
    f.Grid->OnSelectCell = [](TObject*, int col, int, bool& canSelect) { canSelect = col != 2; };
    const TRect col2 = f.Grid->CellRect(2, 1);
    ClickAt(f.Grid, col2.Left + 5, col2.Top + 5);
    EXPECT_EQ(f.Grid->Col(), 1);
    f.Grid->OnSelectCell = nullptr;

    f.Grid->SetOptions(f.Grid->Options() + TGridOptions{goRowSelect});
    const TRect row5 = f.Grid->CellRect(3, 5);
    ClickAt(f.Grid, row5.Left + 5, row5.Top + 5);
    EXPECT_EQ(f.Grid->Row(), 5);
    EXPECT_EQ(f.Grid->Selection(), (TGridRect{1, 5, 19, 5}));
    f.Repaint();
    if (f.Grid->Focused()) {
        const QRgb highlight = Rgb(clHighlight);
        for (int col : {1, 3, 5}) {
            const TRect cell = f.Grid->CellRect(col, 5);
            EXPECT_EQ(f.PixelAt(cell.Left + 10, cell.Top + 10), highlight) << col;
        }
        const TRect other = f.Grid->CellRect(3, 6);
        EXPECT_EQ(f.PixelAt(other.Left + 10, other.Top + 10), Rgb(clWindow));
    } else {
        ADD_FAILURE() << "the grid did not take the focus";
    }
}

TEST(Grid, ScrollBarAndWheelMoveTheView)
{
    TGridFixture f(400, 300);
    f.Grid->SetColCount(20);
    f.Grid->SetRowCount(10000);
    f.Show();
    int changes = 0;
    f.Grid->OnTopLeftChanged = [&](TObject*) { ++changes; };
    f.Grid->Perform(WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(f.Grid->TopRow(), 2);
    EXPECT_EQ(changes, 1);
    f.Grid->Perform(WM_VSCROLL, SB_PAGEDOWN, 0);
    EXPECT_EQ(f.Grid->TopRow(), 2 + f.Grid->VisibleRowCount());
    f.Grid->Perform(WM_VSCROLL, SB_BOTTOM, 0);
    const TRect last = f.Grid->CellRect(1, 9999);
    EXPECT_FALSE(IsRectEmpty(last));
    EXPECT_LE(last.Bottom, f.Grid->ClientHeight());
    f.Grid->Perform(WM_VSCROLL, SB_TOP, 0);
    EXPECT_EQ(f.Grid->TopRow(), 1);
    EXPECT_TRUE(f.Grid->ScrollBarShown(SB_VERT));

    f.Grid->Perform(WM_MOUSEWHEEL, static_cast<WPARAM>(static_cast<WORD>(-120)) << 16, At(50, 50));
    EXPECT_EQ(f.Grid->TopRow(), 2);
    EXPECT_EQ(f.Grid->Row(), 1);
}

TEST(Grid, SizingAndMovingByMouse)
{
    TGridFixture f(400, 300);
    f.Grid->SetOptions(f.Grid->Options() + TGridOptions{goColSizing, goColMoving});
    f.Show();
    // Drag the line after column 1 (x 129) to x 150.
    f.Grid->Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(129, 10));
    f.Grid->Perform(WM_MOUSEMOVE, MK_LBUTTON, At(150, 10));
    f.Grid->Perform(WM_LBUTTONUP, 0, At(150, 10));
    EXPECT_EQ(f.Grid->ColWidths(1), 150 - 65);

    std::vector<std::pair<int, int>> moves;
    f.Grid->OnColumnMoved = [&](TObject*, int from, int to) { moves.push_back({from, to}); };
    f.Grid->SetColWidths(3, 40);
    const TRect title1 = f.Grid->CellRect(1, 0);
    const TRect title3 = f.Grid->CellRect(3, 0);
    f.Grid->Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(title1.Left + 20, 10));
    f.Grid->Perform(WM_MOUSEMOVE, MK_LBUTTON, At(title3.Left + 10, 10));
    f.Grid->Perform(WM_LBUTTONUP, 0, At(title3.Left + 10, 10));
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0], std::make_pair(1, 3));
    EXPECT_EQ(f.Grid->ColWidths(3), 85);
    EXPECT_EQ(f.Grid->ColWidths(2), 40);
}

TEST(Grid, EditorTakesTextAndEscapeCancels)
{
    TGridFixture f(400, 300);
    f.Grid->SetOptions(f.Grid->Options() + TGridOptions{goEditing});
    f.Show();
    std::string stored = "abc";
    int sets = 0;
    f.Grid->OnGetEditText = [&](TObject*, int, int, std::string& value) { value = stored; };
    f.Grid->OnSetEditText = [&](TObject*, int, int, const std::string& value) {
        stored = value;
        ++sets;
    };
    PressKey(f.Grid, VK_F2);
    ASSERT_TRUE(f.Grid->EditorMode());
    EXPECT_EQ(f.Grid->InplaceEditor()->Text(), "abc");
    f.Grid->InplaceEditor()->SetText("xyz");
    PressKey(f.Grid, VK_ESCAPE);
    EXPECT_FALSE(f.Grid->EditorMode());
    EXPECT_EQ(stored, "abc");
    PressKey(f.Grid, VK_RETURN);
    f.Grid->InplaceEditor()->SetText("xyz");
    PressKey(f.Grid, VK_RETURN);
    EXPECT_EQ(stored, "xyz");
    EXPECT_EQ(sets, 1);
}
