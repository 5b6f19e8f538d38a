#include "WidgetsTestSupport.h"

#include "platform/gui/Form.h"
#include "tablestore/zelMemTable.h"
#include "widgets/EventDBGrid.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

WPARAM WheelDelta(int delta) { return MAKEWPARAM(0, static_cast<WORD>(static_cast<SHORT>(delta))); }

// A grid over an in-memory table of ten records, on the first one.
struct TGridFixture {
    std::unique_ptr<TzelMemTable> Table = std::make_unique<TzelMemTable>(nullptr);
    std::unique_ptr<TDataSource> Source = std::make_unique<TDataSource>(nullptr);
    std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
    TEventDBGrid* Grid = nullptr;
    std::vector<int> VertRecords;
    int HorzEvents = 0;

    explicit TGridFixture(int records = 10)
    {
        Table->FieldDefs().Add("Numero", ftInteger);
        Table->FieldDefs().Add("Nome", ftString, 20);
        Table->CreateTable();
        Table->Open();
        for (int i = 1; i <= records; ++i) {
            Table->Append();
            Table->FieldByName("Numero")->SetAsInteger(i);
            Table->FieldByName("Nome")->SetAsString("Cliente " + std::to_string(i));
            Table->Post();
        }
        Table->First();
        Source->SetDataSet(Table.get());
        Form->SetBounds(20, 20, 400, 200);
        Grid = new TEventDBGrid(Form.get());
        Grid->SetParent(Form.get());
        Grid->SetBounds(0, 0, 380, 150);
        Grid->SetDataSource(Source.get());
        Grid->OnScrollVert = [this](TObject*) { VertRecords.push_back(Table->RecNo()); };
        Grid->OnScrollHorz = [this](TObject*) { ++HorzEvents; };
    }
};

TEST(EventDBGrid, EachWheelMessageMovesOneRecord)
{
    TGridFixture f;
    ASSERT_EQ(f.Table->RecNo(), 1);
    f.Grid->Perform(WM_MOUSEWHEEL, WheelDelta(-120), 0);
    EXPECT_EQ(f.Table->RecNo(), 2);
    EXPECT_EQ(f.VertRecords, std::vector<int>{2});
    f.Grid->Perform(WM_MOUSEWHEEL, WheelDelta(240), 0);
    EXPECT_EQ(f.Table->RecNo(), 1);
    EXPECT_EQ(f.VertRecords, (std::vector<int>{2, 1}));
    f.Grid->Perform(WM_MOUSEWHEEL, WheelDelta(0), 0);
    EXPECT_EQ(f.Table->RecNo(), 1);
    EXPECT_EQ(f.VertRecords.size(), 2u);
}

TEST(EventDBGrid, ScrollBarsTellTheOwnerBeforeTheGridScrolls)
{
    TGridFixture f;
    f.Form->Show();
    PumpFor(10);
    f.Grid->Perform(WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(f.VertRecords, std::vector<int>{1});
    EXPECT_EQ(f.Table->RecNo(), 2);
    f.Grid->Perform(WM_HSCROLL, SB_LINERIGHT, 0);
    EXPECT_EQ(f.HorzEvents, 1);
    // Without handlers the grid scrolls all the same.
    f.Grid->OnScrollVert = nullptr;
    f.Grid->Perform(WM_VSCROLL, SB_LINEDOWN, 0);
    f.Grid->Perform(WM_MOUSEWHEEL, WheelDelta(-120), 0);
    EXPECT_EQ(f.Table->RecNo(), 4);
}

TEST(EventDBGrid, WheelWithoutDataMovesNothingAndFiresNothing)
{
    {
        TGridFixture f;
        f.Grid->SetDataSource(nullptr);
        f.Grid->Perform(WM_MOUSEWHEEL, WheelDelta(-120), 0);
        EXPECT_TRUE(f.VertRecords.empty());
    }
    {
        TGridFixture f;
        f.Table->Close();
        f.Grid->Perform(WM_MOUSEWHEEL, WheelDelta(-120), 0);
        f.Grid->Perform(WM_MOUSEWHEEL, WheelDelta(120), 0);
        EXPECT_TRUE(f.VertRecords.empty());
    }
    {
        TGridFixture f(0);
        f.Grid->Perform(WM_MOUSEWHEEL, WheelDelta(-120), 0);
        f.Grid->Perform(WM_MOUSEWHEEL, WheelDelta(120), 0);
        EXPECT_TRUE(f.Table->IsEmpty());
    }
}

} // namespace
