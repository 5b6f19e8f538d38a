#include "GridDataSet.h"
#include "GuiTestSupport.h"

#include "platform/gui/DBGrid.h"
#include "platform/gui/SystemMetrics.h"
#include "platform/gui/Form.h"
#include "platform/gui/private/Surfaces.h"

#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

void ClickAt(TControl* control, int x, int y, WPARAM keys = 0)
{
    control->Perform(WM_LBUTTONDOWN, MK_LBUTTON | keys, MAKELPARAM(x, y));
    control->Perform(WM_LBUTTONUP, keys, MAKELPARAM(x, y));
}

// A form with a data grid over a test data set.
struct TDBGridFixture {
    // The data outlive the form that shows them.
    std::unique_ptr<TGridDataSet> DataOwner;
    std::unique_ptr<TDataSource> SourceOwner;
    std::unique_ptr<TForm> Form;
    TDBGrid* Grid = nullptr;
    TGridDataSet* Data = nullptr;
    TDataSource* Source = nullptr;

    explicit TDBGridFixture(int records, int clientHeight = 300)
    {
        DataOwner = std::make_unique<TGridDataSet>(nullptr, records);
        SourceOwner = std::make_unique<TDataSource>(nullptr);
        Data = DataOwner.get();
        Source = SourceOwner.get();
        Source->SetDataSet(Data);
        Form = std::make_unique<TForm>(nullptr);
        Form->SetBounds(0, 0, 600, clientHeight + 80);
        Grid = new TDBGrid(Form.get());
        Grid->SetBorderStyle(bsNone);
        Grid->SetParent(Form.get());
        Grid->SetBounds(0, 0, 560, clientHeight);
        Grid->SetDataSource(Source);
    }
    void Open() { Data->Open(); }
    void Show()
    {
        ShowAndActivate(Form.get());
        Pump(20);
    }
    // The point in the middle of a data cell: column (0-based among the columns), record row.
    TPoint CellCentre(int column, int row)
    {
        const TRect r = Grid->CellRect(column + 1, row + 1);
        return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
    }
    QRgb PixelAt(TPoint p)
    {
        Grid->Invalidate();
        Grid->Update();
        QImage* image = RetainedImage(Grid);
        const QPoint origin = ClientOffset(Grid);
        return image->pixel(origin.x() + p.X, origin.y() + p.Y) & 0xFFFFFF;
    }
    int RecNo() { return Data->RecNo(); }
};

} // namespace

TEST(DBGrid, DefaultAndDefinedColumns)
{
    TDBGridFixture f(100);
    f.Open();
    TDBGridColumns* columns = f.Grid->Columns();
    ASSERT_EQ(columns->Count(), 4);
    EXPECT_EQ(columns->State(), csDefault);
    EXPECT_EQ(columns->Items(1)->Title()->Caption(), "Cliente");
    EXPECT_EQ(columns->Items(2)->Alignment(), taRightJustify);
    EXPECT_EQ(columns->Items(1)->Alignment(), taLeftJustify);
    EXPECT_EQ(f.Grid->ColCount(), 5); // indicator + 4
    EXPECT_EQ(f.Grid->ColWidths(0), 11);
    EXPECT_GT(columns->Items(1)->Width(), columns->Items(0)->Width());
    EXPECT_EQ(f.Grid->FieldCount(), 4);
    EXPECT_EQ(f.Grid->Fields(3)->FieldName(), "Pagato");

    TColumn* name = columns->Add();
    name->SetFieldName("Cliente");
    name->Title()->SetCaption("Nome");
    EXPECT_EQ(columns->Count(), 1);
    EXPECT_EQ(columns->State(), csCustomized);
    EXPECT_EQ(f.Grid->ColCount(), 2);
    EXPECT_EQ(columns->Items(0)->Title()->Caption(), "Nome");

    TColumn* missing = columns->Add();
    missing->SetFieldName("Manca");
    EXPECT_EQ(missing->Field(), nullptr);
    EXPECT_EQ(f.Grid->ColCount(), 3);
    // Re-opening keeps defined columns.
    f.Data->Close();
    f.Open();
    EXPECT_EQ(columns->Count(), 2);
    columns->RestoreDefaults();
    EXPECT_EQ(columns->Count(), 4);
}

TEST(DBGrid, LinkAsksOnlyTheRowsThatFit)
{
    TDBGridFixture f(100000, 200);
    f.Show();
    f.Open();
    EXPECT_EQ(f.Grid->DataLink()->BufferCount(), 7);
    EXPECT_EQ(f.Grid->RowCount(), 8);
    EXPECT_LE(f.Data->Fetched, 7);
    f.Data->Fetched = 0;
    f.Grid->Invalidate();
    f.Grid->Update();
    EXPECT_EQ(f.Data->Fetched, 0); // drawing reads the buffers
}

TEST(DBGrid, KeysMoveTheDataSet)
{
    TDBGridFixture f(100);
    f.Show();
    f.Open();
    std::vector<WORD> downs, ups;
    f.Grid->OnKeyDown = [&](TObject*, WORD& key, TShiftState) { downs.push_back(key); };
    f.Grid->OnKeyUp = [&](TObject*, WORD& key, TShiftState) { ups.push_back(key); };
    f.Grid->Perform(WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(f.RecNo(), 2);
    EXPECT_EQ(f.Grid->Row(), 2);
    const int page = f.Grid->DataLink()->BufferCount();
    f.Grid->Perform(WM_KEYDOWN, VK_NEXT, 0);
    EXPECT_EQ(f.RecNo(), 2 + page);
    QTest::keyClick(Widget(f.Grid), Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(f.RecNo(), 100);
    EXPECT_EQ(f.Grid->Row(), page);
    f.Grid->Perform(WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(f.RecNo(), 99);

    downs.clear();
    ups.clear();
    f.Grid->Perform(WM_KEYDOWN, 65, 0);
    f.Grid->Perform(WM_KEYUP, 65, 0);
    EXPECT_EQ(downs, std::vector<WORD>{65});
    EXPECT_EQ(ups, std::vector<WORD>{65});

    // A key handler that swallows the key stops the grid.
    f.Grid->OnKeyDown = [](TObject*, WORD& key, TShiftState) { key = 0; };
    f.Grid->Perform(WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(f.RecNo(), 99);
}

TEST(DBGrid, MouseAndScrollMessages)
{
    TDBGridFixture f(100);
    f.Show();
    f.Open();
    TColumn* titleClicked = nullptr;
    TColumn* cellClicked = nullptr;
    int doubleClicks = 0;
    f.Grid->OnTitleClick = [&](TColumn* column) { titleClicked = column; };
    f.Grid->OnCellClick = [&](TColumn* column) { cellClicked = column; };
    f.Grid->OnDblClick = [&](TObject*) { ++doubleClicks; };

    const TRect title = f.Grid->CellRect(2, 0);
    ClickAt(f.Grid, title.Left + 10, title.Top + 5);
    ASSERT_NE(titleClicked, nullptr);
    EXPECT_EQ(titleClicked->FieldName(), "Cliente");
    EXPECT_EQ(f.RecNo(), 1);

    const TPoint row4 = f.CellCentre(1, 3);
    ClickAt(f.Grid, row4.X, row4.Y);
    EXPECT_EQ(f.RecNo(), 4);
    ASSERT_NE(cellClicked, nullptr);
    EXPECT_EQ(cellClicked->FieldName(), "Cliente");
    f.Grid->Perform(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(row4.X, row4.Y));
    f.Grid->Perform(WM_LBUTTONUP, 0, MAKELPARAM(row4.X, row4.Y));
    EXPECT_EQ(doubleClicks, 1);

    f.Grid->Perform(WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(f.RecNo(), 5);
    // The arrows move one record each way, wherever the current row is on the screen.
    f.Grid->Perform(WM_VSCROLL, SB_LINEUP, 0);
    EXPECT_EQ(f.RecNo(), 4);
    const int page = f.Grid->DataLink()->BufferCount();
    f.Grid->Perform(WM_VSCROLL, SB_PAGEDOWN, 0);
    EXPECT_EQ(f.RecNo(), 4 + page);
    f.Grid->Perform(WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_EQ(f.RecNo(), 100);
    f.Grid->Perform(WM_VSCROLL, SB_TOP, 0);
    EXPECT_EQ(f.RecNo(), 1);
    f.Grid->Perform(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 50), 0);
    EXPECT_EQ(f.RecNo(), 50);

    f.Grid->Perform(WM_MOUSEWHEEL, static_cast<WPARAM>(static_cast<WORD>(-120)) << 16, MAKELPARAM(50, 50));
    EXPECT_EQ(f.RecNo(), 50);
}

TEST(DBGrid, CustomDrawnCellAndRowSelect)
{
    TDBGridFixture f(100);
    f.Grid->SetOptions(f.Grid->Options() + TDBGridOptions{dgRowSelect, dgAlwaysShowSelection});
    f.Show();
    f.Open();
    f.Grid->OnDrawColumnCell = [&](TObject*, const TRect& rect, int, TColumn* column, TGridDrawState) {
        if (column->FieldName() != "Pagato")
            return;
        TCanvas* canvas = f.Grid->Canvas();
        canvas->Brush()->SetColor(column->Field()->AsBoolean() ? clLime : clRed);
        const int cx = (rect.Left + rect.Right) / 2, cy = (rect.Top + rect.Bottom) / 2;
        canvas->FillRect({cx - 5, cy - 5, cx + 5, cy + 5});
    };
    f.Data->MoveBy(1); // record 2: paid
    EXPECT_EQ(f.PixelAt(f.CellCentre(3, 1)), PictureRgb(clLime));
    EXPECT_EQ(f.PixelAt(f.CellCentre(3, 0)), PictureRgb(clRed));
    const TRect cliente = f.Grid->CellRect(2, 2);
    EXPECT_EQ(f.PixelAt({cliente.Right - 3, cliente.Top + 3}), PictureRgb(clHighlight));
    const TRect other = f.Grid->CellRect(2, 3);
    EXPECT_EQ(f.PixelAt({other.Right - 3, other.Top + 3}), PictureRgb(clWindow));

    // Without default drawing the text is left out: the Cliente cell of another row is plain.
    auto darkPixels = [&](const TRect& r) {
        f.Grid->Invalidate();
        f.Grid->Update();
        QImage* image = RetainedImage(f.Grid);
        const QPoint origin = ClientOffset(f.Grid);
        int dark = 0;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x)
                if (qGray(image->pixel(origin.x() + x, origin.y() + y)) < 100)
                    ++dark;
        return dark;
    };
    EXPECT_GT(darkPixels(other), 0);
    f.Grid->DefaultDrawing = false;
    EXPECT_EQ(darkPixels(other), 0);
}

TEST(DBGrid, MultipleSelectionKeepsTheDataSetOrder)
{
    TDBGridFixture f(100, 400);
    f.Grid->SetOptions(f.Grid->Options() + TDBGridOptions{dgMultiSelect});
    f.Show();
    f.Open();
    auto clickRow = [&](int record, WPARAM keys = 0) {
        const TPoint p = f.CellCentre(1, record - f.RecNo() + f.Grid->Row() - 1);
        ClickAt(f.Grid, p.X, p.Y, keys);
        ASSERT_EQ(f.RecNo(), record);
    };
    auto selectedIds = [&] {
        std::vector<int> ids;
        TBookmarkList* rows = f.Grid->SelectedRows();
        for (int i = 0; i < rows->Count(); ++i) {
            int id = 0;
            std::memcpy(&id, rows->Items(i).data(), sizeof id);
            ids.push_back(id);
        }
        return ids;
    };
    clickRow(3);
    clickRow(7, MK_CONTROL);
    clickRow(5, MK_CONTROL);
    EXPECT_EQ(f.Grid->SelectedRows()->Count(), 3);
    EXPECT_EQ(selectedIds(), (std::vector<int>{3, 5, 7}));
    f.Data->First();
    f.Data->MoveBy(2);
    EXPECT_TRUE(f.Grid->SelectedRows()->CurrentRowSelected());

    clickRow(9);
    EXPECT_EQ(selectedIds(), (std::vector<int>{9}));
    clickRow(12, MK_SHIFT);
    EXPECT_EQ(selectedIds(), (std::vector<int>{9, 10, 11, 12}));

    f.Data->DropRecord(10);
    EXPECT_TRUE(f.Grid->SelectedRows()->Refresh());
    EXPECT_EQ(selectedIds(), (std::vector<int>{9, 11, 12}));

    f.Data->Close();
    EXPECT_EQ(f.Grid->SelectedRows()->Count(), 0);
}

TEST(DBGrid, DisabledControlsReachNothingUntilEnabled)
{
    TDBGridFixture f(100);
    f.Show();
    f.Open();
    f.Grid->Invalidate();
    f.Grid->Update();
    const int scrolled = f.Grid->DataLink()->ScrolledCount;
    int cellsDrawn = 0;
    f.Grid->OnDrawColumnCell = [&](TObject*, const TRect&, int, TColumn*, TGridDrawState) { ++cellsDrawn; };
    f.Data->DisableControls();
    for (int i = 0; i < 50; ++i)
        f.Data->Next();
    Pump(10);
    EXPECT_EQ(f.Grid->DataLink()->ScrolledCount, scrolled);
    EXPECT_EQ(cellsDrawn, 0);
    EXPECT_EQ(f.Grid->Row(), 1);
    f.Data->EnableControls();
    EXPECT_EQ(f.RecNo(), 51);
    EXPECT_EQ(f.Grid->Row(), 1 + f.Grid->DataLink()->ActiveRecord());
    EXPECT_EQ(f.Grid->SelectedField()->FieldName(), "Numero");
}

TEST(DBGrid, WithoutDataAnEmptyGrid)
{
    TDBGridFixture f(10);
    f.Show();
    f.Grid->Invalidate();
    f.Grid->Update(); // closed data set: nothing to draw, nothing raised
    f.Grid->SetDataSource(nullptr);
    f.Grid->Invalidate();
    f.Grid->Update();
    EXPECT_EQ(f.Grid->Columns()->Count(), 0);
    f.Grid->Perform(WM_KEYDOWN, VK_DOWN, 0);
    f.Grid->Perform(WM_VSCROLL, SB_LINEDOWN, 0);
}

TEST(DBGrid, DeleteAsksFirst)
{
    TScriptedScope scripted;
    TDBGridFixture f(10);
    f.Show();
    f.Open();
    scripted.Dialogs().Expect(TDialogKind::MessageDlg, TDialogAnswer::Code(mrNo), "Eliminare il record?");
    QTest::keyClick(Widget(f.Grid), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(f.Data->RecordCount(), 10);
    scripted.Dialogs().Expect(TDialogKind::MessageDlg, TDialogAnswer::Code(mrYes), "Eliminare il record?");
    QTest::keyClick(Widget(f.Grid), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(f.Data->RecordCount(), 9);
    EXPECT_TRUE(scripted.Dialogs().Satisfied());
    ASSERT_FALSE(scripted.Dialogs().Requests().empty());
    EXPECT_EQ(scripted.Dialogs().Requests().back().Text, "Eliminare il record?");
}

TEST(DBGrid, EditorWritesTheFieldOfItsOwnRecord)
{
    TDBGridFixture f(100);
    f.Show();
    f.Open();
    f.Grid->SetFocus();
    f.Grid->SetSelectedIndex(1); // Cliente
    auto press = [](TControl* control, WORD key) {
        control->Perform(WM_KEYDOWN, key, 0);
        control->Perform(WM_KEYUP, key, 0);
    };

    // Typed text reaches its record when the grid moves on, and only that record.
    press(f.Grid, VK_F2);
    ASSERT_TRUE(f.Grid->EditorMode());
    TWinControl* editor = f.Grid->InplaceEditor();
    EXPECT_EQ(editor->Text(), "Cliente 1");
    editor->Perform(WM_CHAR, 'X', 0);
    EXPECT_EQ(f.Data->State(), dsEdit);
    press(editor, VK_DOWN);
    EXPECT_EQ(f.RecNo(), 2);
    EXPECT_EQ(f.Data->State(), dsBrowse);
    EXPECT_FALSE(f.Grid->EditorMode());
    EXPECT_EQ(f.Data->StoredCliente(1), "Cliente 1X");
    EXPECT_EQ(f.Data->StoredCliente(2), "Cliente 2");

    // An editor left untouched writes nothing when the record changes under it.
    press(f.Grid, VK_F2);
    press(editor, VK_DOWN);
    EXPECT_EQ(f.RecNo(), 3);
    EXPECT_EQ(f.Data->State(), dsBrowse);
    EXPECT_EQ(f.Data->StoredCliente(3), "Cliente 3");
    press(f.Grid, VK_F2);
    f.Data->Next();
    EXPECT_EQ(f.Data->State(), dsBrowse);
    EXPECT_EQ(f.Data->StoredCliente(4), "Cliente 4");

    // Escape takes back the typing first, then the record's edit.
    f.Grid->Perform(WM_CHAR, 'Y', 0);
    ASSERT_TRUE(f.Grid->EditorMode());
    EXPECT_EQ(editor->Text(), "Y");
    press(editor, VK_ESCAPE);
    EXPECT_FALSE(f.Grid->EditorMode());
    EXPECT_EQ(f.Data->FieldByName("Cliente")->AsString(), "Cliente 4");
    press(f.Grid, VK_ESCAPE);
    EXPECT_EQ(f.Data->State(), dsBrowse);

    // Enter writes the field and keeps the record in edit until it is posted.
    press(f.Grid, VK_RETURN);
    editor->Perform(WM_CHAR, 'Z', 0);
    press(editor, VK_RETURN);
    EXPECT_FALSE(f.Grid->EditorMode());
    EXPECT_EQ(f.Data->FieldByName("Cliente")->AsString(), "Z");
    f.Data->Post();
    EXPECT_EQ(f.Data->StoredCliente(4), "Z");

    // A read-only column shows its text but takes no typing.
    f.Grid->Columns()->Items(1)->ReadOnly = true;
    press(f.Grid, VK_F2);
    ASSERT_TRUE(f.Grid->EditorMode());
    editor->Perform(WM_CHAR, 'W', 0);
    EXPECT_EQ(editor->Text(), "Z");
    EXPECT_EQ(f.Data->State(), dsBrowse);
    press(editor, VK_ESCAPE);
}

TEST(DBGrid, EllipsisButtonAndLeavingTheGrid)
{
    TDBGridFixture f(100);
    auto* other = new TDrawGrid(f.Form.get());
    other->SetParent(f.Form.get());
    other->SetBounds(0, 310, 100, 24);
    int clicks = 0;
    f.Grid->OnEditButtonClick = [&](TObject* sender) {
        EXPECT_EQ(sender, f.Grid);
        ++clicks;
    };
    f.Show();
    f.Open();
    f.Grid->Columns()->Items(1)->ButtonStyle = cbsEllipsis;
    f.Grid->SetFocus();
    f.Grid->SetSelectedIndex(1);
    f.Grid->Perform(WM_KEYDOWN, VK_F2, 0);
    ASSERT_TRUE(f.Grid->EditorMode());
    const TRect cell = f.Grid->CellRect(f.Grid->Col(), f.Grid->Row());
    const int button = GetSystemMetrics(SM_CXVSCROLL);
    EXPECT_EQ(f.Grid->InplaceEditor()->BoundsRect(), (TRect{cell.Left, cell.Top, cell.Right - button, cell.Bottom}));
    // The button is drawn raised beside the editor, with its dots.
    Pump(20);
    const QImage image = Widget(f.Grid)->grab().toImage();
    const QPoint origin = ClientOffset(f.Grid);
    int dots = 0;
    for (int x = cell.Right - button; x < cell.Right; ++x)
        if (QColor(image.pixel(origin + QPoint(x, (cell.Top + cell.Bottom) / 2))).lightness() < 60)
            ++dots;
    EXPECT_GE(dots, 3);
    ClickAt(f.Grid, cell.Right - button / 2, (cell.Top + cell.Bottom) / 2);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(f.Grid->EditorMode());
    EXPECT_EQ(f.RecNo(), 1);
    // Another column has no button.
    f.Grid->SetSelectedIndex(0);
    f.Grid->Perform(WM_KEYDOWN, VK_F2, 0);
    const TRect first = f.Grid->CellRect(f.Grid->Col(), f.Grid->Row());
    EXPECT_EQ(f.Grid->InplaceEditor()->BoundsRect(), first);
    ClickAt(f.Grid, first.Right - 3, (first.Top + first.Bottom) / 2);
    EXPECT_EQ(clicks, 1);

    // A new record survives the move into the editor and goes when the grid is left untouched.
    f.Grid->SetFocus();
    f.Grid->Perform(WM_KEYDOWN, VK_INSERT, 0);
    ASSERT_EQ(f.Data->State(), dsInsert);
    f.Grid->Perform(WM_KEYDOWN, VK_F2, 0);
    EXPECT_TRUE(f.Grid->EditorMode());
    EXPECT_EQ(f.Data->State(), dsInsert);
    other->SetFocus();
    EXPECT_FALSE(f.Grid->EditorMode());
    EXPECT_EQ(f.Data->State(), dsBrowse);
}

TEST(DBGrid, DataThatChangesUnderTheGrid)
{
    TDBGridFixture f(100);
    TDBGridColumns* columns = f.Grid->Columns();
    for (const char* name : {"Cliente", "Importo", "Manca"})
        columns->Add()->SetFieldName(name);
    f.Show();
    f.Open();
    auto inkIn = [&](int column, int row) {
        f.Grid->Invalidate();
        f.Grid->Update();
        const TRect r = f.Grid->CellRect(column + 1, row + 1);
        QImage* image = RetainedImage(f.Grid);
        const QPoint origin = ClientOffset(f.Grid);
        int dark = 0;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x)
                if (qGray(image->pixel(origin.x() + x, origin.y() + y)) < 100)
                    ++dark;
        return dark;
    };
    EXPECT_GT(inkIn(1, 2), 0);
    EXPECT_EQ(inkIn(2, 2), 0); // "Manca" has no field: empty cells

    // The table loses Importo: the defined columns stay, the missing field shows nothing.
    f.Data->Close();
    f.Data->WithoutImporto = true;
    f.Open();
    ASSERT_EQ(columns->Count(), 3);
    EXPECT_EQ(columns->State(), csCustomized);
    EXPECT_EQ(columns->Items(1)->FieldName(), "Importo");
    EXPECT_EQ(columns->Items(1)->Field(), nullptr);
    EXPECT_EQ(inkIn(1, 2), 0);
    EXPECT_GT(inkIn(0, 2), 0);

    // A handler that closes the data set in the middle of a paint leaves an empty grid.
    bool closed = false;
    f.Grid->OnDrawColumnCell = [&](TObject*, const TRect&, int, TColumn*, TGridDrawState) {
        if (!closed) {
            closed = true;
            f.Data->Close();
        }
    };
    EXPECT_NO_THROW(inkIn(0, 2));
    EXPECT_TRUE(closed);
    EXPECT_FALSE(f.Data->Active());
    EXPECT_EQ(inkIn(0, 2), 0);
    f.Grid->Perform(WM_KEYDOWN, VK_DOWN, 0);
    f.Grid->Perform(WM_VSCROLL, SB_PAGEDOWN, 0);
}

TEST(DBGrid, TabsIndicatorAndOptions)
{
    TDBGridFixture f(100);
    f.Show();
    f.Open();
    std::vector<std::string> events;
    f.Grid->OnColExit = [&](TObject*) { events.push_back("exit " + f.Grid->SelectedField()->FieldName()); };
    f.Grid->OnColEnter = [&](TObject*) { events.push_back("enter " + f.Grid->SelectedField()->FieldName()); };
    f.Grid->Perform(WM_KEYDOWN, VK_TAB, 0);
    EXPECT_EQ(events, (std::vector<std::string>{"exit Numero", "enter Cliente"}));
    f.Grid->SetSelectedIndex(3);
    f.Grid->Perform(WM_KEYDOWN, VK_TAB, 0); // past the last column: the next record's first
    EXPECT_EQ(f.RecNo(), 2);
    EXPECT_EQ(f.Grid->SelectedIndex(), 0);

    // The indicator: an arrow on the current row only, another mark while inserting or editing.
    auto indicatorInk = [&](int row) {
        f.Grid->Invalidate();
        f.Grid->Update();
        const TRect r = f.Grid->CellRect(0, row + 1);
        QImage* image = RetainedImage(f.Grid);
        const QPoint origin = ClientOffset(f.Grid);
        std::vector<bool> ink;
        for (int y = r.Top + 1; y < r.Bottom - 1; ++y)
            for (int x = r.Left + 1; x < r.Right - 1; ++x)
                ink.push_back(qGray(image->pixel(origin.x() + x, origin.y() + y)) < 128);
        return ink;
    };
    auto count = [](const std::vector<bool>& ink) { return std::count(ink.begin(), ink.end(), true); };
    const std::vector<bool> arrow = indicatorInk(1);
    EXPECT_GT(count(arrow), 4);
    EXPECT_EQ(count(indicatorInk(0)), 0);
    EXPECT_EQ(count(indicatorInk(2)), 0);
    f.Data->Edit();
    const std::vector<bool> editing = indicatorInk(1);
    EXPECT_GT(count(editing), 4);
    EXPECT_NE(editing, arrow);
    f.Data->Cancel();
    f.Grid->Perform(WM_KEYDOWN, VK_INSERT, 0);
    ASSERT_EQ(f.Data->State(), dsInsert);
    const int insertRow = f.Grid->Row() - 1;
    const std::vector<bool> inserting = indicatorInk(insertRow);
    EXPECT_GT(count(inserting), 2);
    EXPECT_NE(inserting, arrow);
    EXPECT_NE(inserting, editing);
    f.Data->Cancel();

    // Without titles and indicator the first record starts at the top-left corner.
    f.Grid->SetOptions(f.Grid->Options() - TDBGridOptions{dgTitles, dgIndicator});
    EXPECT_EQ(f.Grid->FixedRows(), 0);
    EXPECT_EQ(f.Grid->FixedCols(), 0);
    f.Data->First();
    const TRect first = f.Grid->CellRect(1, 2);
    ClickAt(f.Grid, first.Left + 5, first.Top + 5);
    EXPECT_EQ(f.RecNo(), 3);
    EXPECT_EQ(f.Grid->SelectedField()->FieldName(), "Cliente");
}

TEST(DBGrid, SelectedRowsAreDottedInTheIndicator)
{
    TDBGridFixture f(20);
    f.Grid->SetOptions(f.Grid->Options() + TDBGridOptions{dgMultiSelect});
    f.Show();
    f.Open();
    auto indicatorInk = [&](int row) {
        f.Grid->Invalidate();
        f.Grid->Update();
        const TRect r = f.Grid->CellRect(0, row + 1);
        QImage* image = RetainedImage(f.Grid);
        const QPoint origin = ClientOffset(f.Grid);
        std::vector<bool> ink;
        for (int y = r.Top + 1; y < r.Bottom - 1; ++y)
            for (int x = r.Left + 1; x < r.Right - 1; ++x)
                ink.push_back(qGray(image->pixel(origin.x() + x, origin.y() + y)) < 128);
        return ink;
    };
    auto count = [](const std::vector<bool>& ink) { return std::count(ink.begin(), ink.end(), true); };
    const std::vector<bool> plainArrow = indicatorInk(0);
    f.Data->MoveBy(2);
    f.Grid->SelectedRows()->SetCurrentRowSelected(true);
    f.Data->First();
    const std::vector<bool> dot = indicatorInk(2);
    EXPECT_GT(count(dot), 0);
    EXPECT_LT(count(dot), count(plainArrow));
    EXPECT_EQ(count(indicatorInk(1)), 0);
    f.Grid->SelectedRows()->SetCurrentRowSelected(true);
    const std::vector<bool> arrowAndDot = indicatorInk(0);
    EXPECT_NE(arrowAndDot, plainArrow);
    EXPECT_GT(count(arrowAndDot), count(plainArrow));
}
