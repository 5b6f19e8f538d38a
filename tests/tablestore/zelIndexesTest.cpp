// The index list of a memory table: finding, adding, removing and emptying indexes, and which
// indexes follow a change.

#include "MemTableTestSupport.h"

namespace {

TzelIndex* AddPlainIndex(TzelMemTable& table, const std::string& name)
{
    auto* index = new TzelIndex(name, &table, "", {}, mtitNonSorted, false);
    table.Indexes().AddIndex(index);
    return index;
}

TEST(MemTableIndexes, TheListKeepsTheRowOrderFirstAndRenumbersOnRemoval)
{
    auto table = MakeNameTable();
    TzelIndexes& indexes = table->Indexes();
    ASSERT_EQ(indexes.Count(), 1);
    EXPECT_EQ(indexes.GetIndex(0), indexes.RowOrderIndex());
    EXPECT_EQ(indexes.Get("__mt__roworder"), indexes.RowOrderIndex());
    EXPECT_EQ(indexes.GetIndex(1), nullptr);
    EXPECT_EQ(indexes.GetIndex(-1), nullptr);

    TzelIndex* first = AddPlainIndex(*table, "Uno");
    TzelIndex* second = AddPlainIndex(*table, "Due");
    TzelIndex* third = AddPlainIndex(*table, "Tre");
    EXPECT_EQ(third->Position(), 3);
    EXPECT_EQ(indexes.Get("DUE"), second);

    table->SetCurrentIndex(first);
    std::unique_ptr<TzelIndex> removed = indexes.DeleteIndex(first);
    EXPECT_EQ(removed.get(), first);
    EXPECT_EQ(table->CurrentIndex(), indexes.RowOrderIndex());
    EXPECT_EQ(second->Position(), 1);
    EXPECT_EQ(third->Position(), 2);
    EXPECT_EQ(indexes.DeleteIndex(indexes.RowOrderIndex()), nullptr);

    indexes.Delete("__MT__ROWORDER");
    indexes.Delete("nessuno");
    indexes.Delete("due");
    EXPECT_EQ(indexes.Count(), 2);
    EXPECT_EQ(third->Position(), 1);

    table->SetSortIndex(third);
    indexes.Clear();
    EXPECT_EQ(indexes.Count(), 1);
    EXPECT_EQ(table->SortIndex(), nullptr);
}

TEST(MemTableIndexes, EveryIndexFollowsInsertsAndDeletes)
{
    auto table = MakeNameTable();
    table->Open();
    TzelIndex* extra = AddPlainIndex(*table, "Extra");
    extra->Rebuild();
    AddRow(*table, "a", 1);
    AddRow(*table, "b", 2);
    EXPECT_EQ(extra->Count(), 2);
    table->First();
    table->Delete();
    EXPECT_EQ(extra->Count(), 1);
    EXPECT_EQ(extra->Reference(0), table->Indexes().RowOrderIndex()->Reference(0));
}

TEST(MemTableIndexes, WithMaintenanceOffInsertsWaitForTheRebuildButDeletesDoNot)
{
    auto table = MakeNameTable();
    table->Open();
    AddRow(*table, "a", 1);
    AddRow(*table, "b", 2);
    TzelIndex* rowOrder = table->Indexes().RowOrderIndex();
    table->SetEnableIndexes(false);
    AddRow(*table, "c", 3);
    EXPECT_EQ(rowOrder->Count(), 2);
    EXPECT_FALSE(rowOrder->IsOrdered());
    table->First();
    table->Delete();
    EXPECT_EQ(rowOrder->Count(), 1);
    table->SetEnableIndexes(true);
    table->UpdateIndexes();
    table->Refresh();
    EXPECT_EQ(ScanField(*table, "Nome"), (std::vector<std::string>{"b", "c"}));
}

TEST(MemTableIndexes, ADisabledIndexIsRebuiltWhenEnabledAgain)
{
    auto table = MakeNameTable();
    table->Open();
    TzelIndex* extra = AddPlainIndex(*table, "Extra");
    extra->Rebuild();
    extra->SetEnabled(false);
    AddRow(*table, "a", 1);
    EXPECT_EQ(extra->Count(), 0);
    EXPECT_FALSE(extra->IsOrdered());
    extra->SetEnabled(true);
    EXPECT_EQ(extra->Count(), 1);
    EXPECT_TRUE(extra->IsOrdered());
}

TEST(MemTableIndexes, SearchesByIdentifier)
{
    auto table = MakeNameTable();
    table->Open();
    for (int i = 0; i < 30; ++i)
        AddRow(*table, "r", i);
    TzelIndex* rowOrder = table->Indexes().RowOrderIndex();
    ASSERT_TRUE(rowOrder->IsOrdered());
    for (int position : {0, 17, 29}) {
        TzelRecord* record = rowOrder->Reference(position);
        EXPECT_EQ(rowOrder->SearchRecordID(record->RecordID), position);
        EXPECT_EQ(rowOrder->SearchRecord(record, false), position);
        EXPECT_EQ(rowOrder->FindRecordNumber(record), position);
    }
    EXPECT_EQ(rowOrder->SearchRecordID(1000), -1);
    // Out of identifier order after a move: the bisection misses and the scan finds it.
    EXPECT_TRUE(table->MoveRecord(30, 1));
    TzelRecord* moved = rowOrder->Reference(0);
    EXPECT_EQ(rowOrder->SearchRecordID(moved->RecordID), 0);
}

} // namespace
