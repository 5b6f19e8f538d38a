// Indexes of a memory table: selection by field names and by name, indexes from definitions,
// unique indexes, the index list's positions, maintenance switched off, the search paths,
// filtered and non-maintained indexes, repositioning after an edit and bookmark order.

#include "IndexTestSupport.h"

#include <algorithm>
#include <cstring>

namespace {

using Names = std::vector<std::string>;

std::unique_ptr<TzelMemTable> MakeRegisterWithDefinition()
{
    auto table = std::make_unique<TzelMemTable>(nullptr);
    table->FieldDefs().Add("Tipologia", ftString, 2);
    table->FieldDefs().Add("Fattura", ftInteger);
    table->CreateTable();
    table->IndexDefs().Add("TabellaFattureIndex0", "Tipologia", {});
    return table;
}

void FillRegister(TzelMemTable& table)
{
    for (auto [type, number] : {std::pair{"FT", 3}, {"AC", 1}, {"NA", 2}}) {
        table.Append();
        table.FieldByName("Tipologia")->SetAsString(type);
        table.FieldByName("Fattura")->SetAsInteger(number);
        table.Post();
    }
}

TEST(MemTableIndexSelection, ByFieldNamesAndByNameOpenOrClosed)
{
    auto table = MakeRegisterWithDefinition();
    table->Open();
    FillRegister(*table);
    TzelIndex* index = table->GetIndexByName("tabellafattureindex0");
    ASSERT_NE(index, nullptr);
    EXPECT_EQ(table->Indexes().GetByFieldNames("tipologia"), index);
    EXPECT_EQ(table->Indexes().GetByFieldNames("Tipologia;"), nullptr);

    table->SetIndexFieldNames("Tipologia");
    EXPECT_EQ(table->CurrentIndex(), index);
    EXPECT_EQ(table->IndexName(), "TabellaFattureIndex0");
    EXPECT_EQ(ScanField(*table, "Tipologia"), (Names{"AC", "FT", "NA"}));
    EXPECT_EQ(table->IndexFieldCount(), 1);
    EXPECT_EQ(table->GetIndexField(0), table->FieldByName("Tipologia"));
    EXPECT_EQ(table->GetIndexField(1), nullptr);

    table->SetIndexFieldNames("");
    EXPECT_EQ(table->CurrentIndex(), table->Indexes().RowOrderIndex());
    EXPECT_EQ(table->IndexFieldNames(), "");
    table->SetIndexFieldNames(" Tipologia");
    EXPECT_EQ(table->CurrentIndex(), table->Indexes().RowOrderIndex());
    table->SetIndexName("TABELLAFATTUREINDEX0");
    EXPECT_EQ(table->CurrentIndex(), index);
    EXPECT_EQ(table->IndexFieldNames(), "Tipologia");
    table->SetIndexName("");
    EXPECT_EQ(table->CurrentIndex(), table->Indexes().RowOrderIndex());

    for (bool byName : {false, true}) {
        table->Close();
        if (byName)
            table->SetIndexName("TabellaFattureIndex0");
        else
            table->SetIndexFieldNames("Tipologia");
        table->Open();
        EXPECT_EQ(table->CurrentIndex(), table->GetIndexByName("TabellaFattureIndex0"));
        FillRegister(*table);
        EXPECT_EQ(ScanField(*table, "Tipologia"), (Names{"AC", "FT", "NA"}));
        table->SetIndexFieldNames("");
        table->SetIndexName("");
    }
}

TEST(MemTableIndexSelection, AFailedAddIndexLeavesNoTrace)
{
    auto table = MakeNameTable();
    table->Open();
    AddRow(*table, "a", 1);
    AddRow(*table, "b", 1);
    ExpectFailure([&] { table->AddIndex("IdxNum", "Numero", {ixUnique}); }, "EMemTableError",
                  "Duplicate index value. Operation aborted.");
    EXPECT_EQ(table->IndexDefs().IndexOf("IdxNum"), -1);
    EXPECT_EQ(table->GetIndexByName("IdxNum"), nullptr);
    EXPECT_EQ(table->Indexes().Count(), 1);
    ExpectFailure([&] { table->AddIndex("IdxVuoto", "", {}); }, "EMemTableError",
                  "Missing Name or FieldNames in IndexDef!");
    EXPECT_EQ(table->IndexDefs().Count(), 0);
    AddRow(*table, "c", 2);
    EXPECT_EQ(ScanField(*table, "Nome"), (Names{"a", "b", "c"}));

    table->AddIndex("IdxNum", "Nome", {});
    EXPECT_EQ(table->Indexes().Get("idxnum"), table->GetIndexByName("IdxNum"));
}

// The references of every index, to see that a refused post changed none.
std::vector<std::vector<TzelRecord*>> AllReferences(TzelMemTable& table)
{
    std::vector<std::vector<TzelRecord*>> all;
    for (int i = 0; i < table.Indexes().Count(); ++i) {
        TzelIndex* index = table.Indexes().GetIndex(i);
        all.emplace_back();
        for (int k = 0; k < index->Count(); ++k)
            all.back().push_back(index->Reference(k));
    }
    return all;
}

TEST(MemTableIndexSelection, AUniqueIndexRefusesDuplicatesAtPost)
{
    auto table = MakeNameTable();
    table->Open();
    AddRow(*table, "a", 1);
    AddRow(*table, "b", 2);
    table->AddIndex("IdxNum", "Numero", {ixUnique});
    table->AddIndex("IdxNome", "Nome", {});
    const auto before = AllReferences(*table);

    table->Append();
    table->FieldByName("Nome")->SetAsString("c");
    table->FieldByName("Numero")->SetAsInteger(2);
    ExpectFailure([&] { table->Post(); }, "EMemTableError",
                  "Duplicate index value. Operation aborted.");
    EXPECT_EQ(AllReferences(*table), before);
    EXPECT_EQ(table->State(), dsInsert);
    EXPECT_EQ(table->FieldByName("Nome")->AsString(), "c");
    table->Cancel();
    EXPECT_EQ(ScanField(*table, "Nome"), (Names{"a", "b"}));

    table->First();
    table->Edit();
    table->FieldByName("Numero")->SetAsInteger(2);
    ExpectFailure([&] { table->Post(); }, "EMemTableError",
                  "Duplicate index value. Operation aborted.");
    table->Cancel();
    table->Edit();
    table->FieldByName("Nome")->SetAsString("A");
    table->Post();
    EXPECT_EQ(ScanField(*table, "Nome"), (Names{"A", "b"}));
    EXPECT_EQ(AllReferences(*table), before);
}

TEST(MemTableIndexSelection, RemovingIndexesRenumbersAndFallsBackToTheRowOrder)
{
    auto table = MakeNameTable();
    table->Open();
    AddRow(*table, "b", 2);
    AddRow(*table, "a", 1);
    table->AddIndex("Uno", "Nome", {});
    table->AddIndex("Due", "Numero", {});
    table->AddIndex("Tre", "Nome;Numero", {});
    TzelIndex* second = table->GetIndexByName("Due");
    TzelIndex* third = table->GetIndexByName("Tre");
    table->SetIndexName("Tre");
    table->DeleteIndex("Uno");
    table->UpdateIndexes();
    EXPECT_EQ(second->Position(), 1);
    EXPECT_EQ(third->Position(), 2);
    EXPECT_EQ(table->Indexes().GetIndex(2), third);
    AddRow(*table, "c", 0);
    EXPECT_EQ(ScanField(*table, "Nome"), (Names{"a", "b", "c"}));
    EXPECT_EQ(IndexKeys(*table, second, "Nome"), (Names{"c", "a", "b"}));

    table->DeleteIndex("Tre");
    table->UpdateIndexes();
    EXPECT_EQ(table->CurrentIndex(), table->Indexes().RowOrderIndex());
    EXPECT_EQ(table->IndexFieldNames(), "");
    EXPECT_EQ(ScanField(*table, "Nome"), (Names{"b", "a", "c"}));
}

TEST(MemTableIndexSelection, WithMaintenanceOffAnAppendWaitsWhileADeleteLeavesAtOnce)
{
    auto table = MakeNameTable();
    table->Open();
    AddRow(*table, "b", 2);
    AddRow(*table, "a", 1);
    table->AddIndex("IdxNome", "Nome", {});
    TzelIndex* byName = table->GetIndexByName("IdxNome");
    table->SetEnableIndexes(false);
    AddRow(*table, "c", 3);
    EXPECT_EQ(byName->Count(), 2);
    EXPECT_EQ(table->Indexes().RowOrderIndex()->Count(), 2);
    table->First();
    table->Delete();
    EXPECT_EQ(byName->Count(), 1);
    EXPECT_EQ(table->Indexes().RowOrderIndex()->Count(), 1);
    table->SetEnableIndexes(true);
    table->UpdateIndexes();
    EXPECT_EQ(IndexKeys(*table, byName, "Nome"), (Names{"a", "c"}));
    EXPECT_EQ(table->Indexes().RowOrderIndex()->Count(), 2);
}

// A key record with one integer field filled.
class KeyRecord {
public:
    KeyRecord(TzelMemTable& table, const std::string& field, const Variant& value)
        : FTable(table), FRecord(table.Common()->_InternalAllocRecord())
    {
        table.PopulateField(FRecord, table.FieldByName(field), value);
    }
    ~KeyRecord() { FTable.Common()->_InternalFreeRecord(FRecord, true, false); }
    KeyRecord(const KeyRecord&) = delete;
    KeyRecord& operator=(const KeyRecord&) = delete;
    TzelRecord* get() const { return FRecord; }

private:
    TzelMemTable& FTable;
    TzelRecord* FRecord;
};

TEST(MemTableIndexSearch, BisectsAboveTwentyReferencesAndScansBelow)
{
    struct Case {
        std::vector<int> Keys;
        int Key;
        int Position;
        int MaxCalls;
        int MinCalls;
    };
    std::vector<int> keys21(21), keys20(20);
    for (int i = 0; i < 21; ++i)
        keys21[static_cast<std::size_t>(i)] = i;
    for (int i = 0; i < 20; ++i)
        keys20[static_cast<std::size_t>(i)] = i;
    std::vector<int> equal21 = keys21, equal20 = keys20;
    for (int i : {10, 11, 12}) {
        equal21[static_cast<std::size_t>(i)] = 10;
        equal20[static_cast<std::size_t>(i)] = 10;
    }
    const Case cases[] = {
        {keys21, 20, 20, 8, 1},
        {keys20, 19, 19, 20, 20},
        {equal21, 10, 10, 21, 1},
        {equal20, 10, 10, 20, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.Keys.size()) + " keys, key " + std::to_string(c.Key));
        auto table = MakeNameTable();
        int calls = 0;
        table->OnCompareFields = [&calls](TDataSet*, const void* key, const void* value,
                                          TFieldType, TzelMemTableCompareOptions, bool&,
                                          int& result) {
            ++calls;
            std::int32_t a = 0;
            std::int32_t b = 0;
            std::memcpy(&a, key, sizeof a);
            std::memcpy(&b, value, sizeof b);
            result = a < b ? -1 : a > b ? 1 : 0;
        };
        table->Open();
        for (int key : c.Keys)
            AddRow(*table, "", key);
        table->SortOn("Numero", {});
        TzelIndex* sort = table->SortIndex();
        ASSERT_TRUE(sort->IsOrdered());
        KeyRecord key(*table, "Numero", Variant(c.Key));
        calls = 0;
        bool found = false;
        int lastCompare = 0;
        EXPECT_EQ(sort->Search(nullptr, key.get(), false, false, found, lastCompare), c.Position);
        EXPECT_TRUE(found);
        EXPECT_LE(calls, c.MaxCalls);
        EXPECT_GE(calls, c.MinCalls);
    }
}

TEST(MemTableIndexSearch, NearestFindsTheFirstKeyBeginningWithOrAbove)
{
    auto table = MakeNameTable();
    table->Open();
    for (const char* name : {"Verdi", "Bianchi", "Rossi"})
        AddRow(*table, name, 0);
    table->SortOn("Nome", {});
    TzelIndex* sort = table->SortIndex();
    for (auto [key, expected] : {std::pair{"Ro", 1}, {"S", 2}, {"A", 0}}) {
        KeyRecord record(*table, "Nome", Variant(key));
        EXPECT_EQ(sort->Search(nullptr, record.get(), true, false), expected) << key;
    }
    KeyRecord beyond(*table, "Nome", Variant("Z"));
    EXPECT_EQ(sort->Search(nullptr, beyond.get(), true, false), -1);
}

TEST(MemTableIndexMaintenance, NonMaintainedAndFilteredIndexesFollowEveryChange)
{
    auto table = MakeNameTable();
    table->OnFilterIndex = [](TDataSet* DataSet, TzelIndex* Index, bool& Accept) {
        if (Index->Name() == "Grandi")
            Accept = DataSet->FieldByName("Numero")->AsInteger() > 5;
    };
    table->Open();
    for (int number : {7, 3, 9, 1})
        AddRow(*table, "n" + std::to_string(number), number);
    table->AddFilteredIndex("Grandi", "Numero", {}, "", {});
    TzelIndex* big = table->GetIndexByName("Grandi");
    // An index without a definition: UpdateIndexes would remove it, so it comes last.
    auto* plain = new TzelIndex("Fisso", table.get(), "Numero", {mtcoNonMaintained},
                                mtitSorted, false);
    table->Indexes().AddIndex(plain);
    plain->Rebuild();
    EXPECT_EQ(IndexKeys(*table, big, "Numero"), (Names{"7", "9"}));
    EXPECT_EQ(IndexKeys(*table, plain, "Numero"), (Names{"1", "3", "7", "9"}));

    AddRow(*table, "n6", 6);
    AddRow(*table, "n2", 2);
    table->Locate("Numero", Variant(9), {});
    table->Edit();
    table->FieldByName("Numero")->SetAsInteger(4);
    table->Post();
    table->Locate("Numero", Variant(1), {});
    table->Edit();
    table->FieldByName("Numero")->SetAsInteger(8);
    table->Post();
    table->Locate("Numero", Variant(3), {});
    table->Delete();
    EXPECT_EQ(IndexKeys(*table, big, "Numero"), (Names{"6", "7", "8"}));
    EXPECT_EQ(IndexKeys(*table, plain, "Numero"), (Names{"2", "4", "6", "7", "8"}));
    EXPECT_TRUE(plain->IsOrdered());
}

TEST(MemTableIndexMaintenance, AutoRepositionFollowsTheEditedRow)
{
    for (bool follow : {false, true}) {
        SCOPED_TRACE(follow);
        auto table = MakeNameTable();
        table->Open();
        for (int number : {1, 2, 3, 4})
            AddRow(*table, "n" + std::to_string(number), number);
        table->SetAutoReposition(follow);
        table->SortOn("Numero", {});
        table->Locate("Numero", Variant(2), {});
        EXPECT_EQ(table->RecNo(), 2);
        table->Edit();
        table->FieldByName("Numero")->SetAsInteger(9);
        table->Post();
        if (follow) {
            EXPECT_EQ(table->FieldByName("Nome")->AsString(), "n2");
            EXPECT_EQ(table->RecNo(), 4);
        } else {
            EXPECT_EQ(table->RecNo(), 2);
            EXPECT_EQ(table->FieldByName("Nome")->AsString(), "n3");
        }
        EXPECT_EQ(ScanField(*table, "Numero"), (Names{"1", "3", "4", "9"}));
    }
}

TEST(MemTableIndexMaintenance, BookmarksCompareInTheSortedOrder)
{
    auto table = MakeNameTable();
    table->Open();
    for (auto [name, number] : {std::pair{"c", 1}, {"a", 2}, {"b", 2}})
        AddRow(*table, name, number);
    table->SortOn("Numero", {});
    table->First();
    const TBookmark first = table->GetBookmark(); // c 1
    table->Next();
    const TBookmark second = table->GetBookmark(); // a 2
    table->Next();
    const TBookmark third = table->GetBookmark(); // b 2
    EXPECT_EQ(table->CompareBookmarks(first, second), -1);
    EXPECT_EQ(table->CompareBookmarks(third, first), 1);
    EXPECT_EQ(table->CompareBookmarks(second, third), -1);
    EXPECT_EQ(table->CompareBookmarks(third, second), 1);
    EXPECT_EQ(table->CompareBookmarks(second, second), 0);
    EXPECT_EQ(table->CompareBookmarks(second, TBookmark{}), 0);
    table->SortOn("Nome", {});
    EXPECT_EQ(table->CompareBookmarks(first, second), 1);
}

} // namespace
