// Update-status filter, key ranges, key searches and the master-detail link of the memory table.

#include "MemTableTestSupport.h"

#include "platform/db/DataSource.h"
#include "platform/rtl/Streams.h"
#include "tablestore/zelMemBinaryStreamFormat.h"

#include <algorithm>
#include <cctype>
#include <random>

namespace {

std::vector<int> Numbers(TDataSet& table)
{
    std::vector<int> values;
    table.First();
    while (!table.Eof()) {
        values.push_back(table.FieldByName("Numero")->AsInteger());
        table.Next();
    }
    return values;
}

// Numero 5, 10, 15, 20, 25 appended out of order, with an index over Numero.
std::unique_ptr<TzelMemTable> MakeNumberTable()
{
    auto table = MakeNameTable();
    table->IndexDefs().Add("ByNumero", "Numero", {});
    table->Open();
    for (int n : {15, 5, 25, 10, 20})
        AddRow(*table, "R" + std::to_string(n), n);
    table->SetIndexFieldNames("Numero");
    return table;
}

} // namespace

TEST(StatusFilter, DeletedRowsHiddenOrShownByTheFilter)
{
    auto table = MakeNameTable();
    table->Open();
    for (int n : {1, 2, 3, 4})
        AddRow(*table, "R", n);
    table->SetEnableVersioning(true);
    table->First();
    table->Delete(); // 1
    table->Edit();   // 2
    table->FieldByName("Nome")->SetAsString("X");
    table->Post();
    AddRow(*table, "N", 5);
    EXPECT_EQ(Numbers(*table), (std::vector<int>{2, 3, 4, 5}));
    EXPECT_EQ(table->RecordCount(), 4);
    EXPECT_TRUE(table->IsFiltered());

    table->SetStatusFilter({usDeleted});
    EXPECT_EQ(Numbers(*table), (std::vector<int>{1}));
    table->SetStatusFilter({usInserted, usModified});
    EXPECT_EQ(Numbers(*table), (std::vector<int>{2, 5}));
    table->SetStatusFilter({usUnmodified});
    EXPECT_EQ(Numbers(*table), (std::vector<int>{3, 4}));

    // Setting it leaves edit mode, posting the change.
    table->First();
    table->Edit();
    table->FieldByName("Nome")->SetAsString("Y");
    table->SetStatusFilter({});
    EXPECT_EQ(table->State(), dsBrowse);
    EXPECT_EQ(Numbers(*table), (std::vector<int>{2, 3, 4, 5}));
}

TEST(Ranges, BothEndsIncludedAndPositionsOfTheWholeIndex)
{
    auto table = MakeNumberTable();
    table->SetRange({10}, {20});
    EXPECT_EQ(Numbers(*table), (std::vector<int>{10, 15, 20}));
    EXPECT_EQ(table->RecordCount(), 3);
    table->First();
    EXPECT_EQ(table->RecNo(), 2);
    table->Next();
    EXPECT_EQ(table->FieldByName("Numero")->AsInteger(), 15);
    table->CancelRange();
    EXPECT_FALSE(table->RangeActive());
    EXPECT_EQ(table->FieldByName("Numero")->AsInteger(), 15);
    EXPECT_EQ(Numbers(*table), (std::vector<int>{5, 10, 15, 20, 25}));
}

TEST(Ranges, StepByStepAndKeySearchOutsideTheRange)
{
    auto table = MakeNumberTable();
    table->SetRangeStart();
    table->FieldByName("Numero")->SetAsInteger(12);
    table->SetRangeEnd();
    table->FieldByName("Numero")->SetAsInteger(99);
    table->ApplyRange();
    EXPECT_EQ(Numbers(*table), (std::vector<int>{15, 20, 25}));
    table->EditRangeEnd();
    table->FieldByName("Numero")->SetAsInteger(20);
    table->ApplyRange();
    EXPECT_EQ(Numbers(*table), (std::vector<int>{15, 20}));
    // A range that shows nothing, then one that shows records again.
    table->SetRange({100}, {200});
    EXPECT_TRUE(table->Eof());
    table->SetRange({1}, {6});
    EXPECT_EQ(Numbers(*table), (std::vector<int>{5}));

    table->SetRange({10}, {20});
    table->Last();
    EXPECT_FALSE(table->FindKey({25}));
    EXPECT_EQ(table->FieldByName("Numero")->AsInteger(), 20);
    table->SetKey();
    table->FieldByName("Numero")->SetAsInteger(5);
    EXPECT_FALSE(table->GotoKey());
    EXPECT_TRUE(table->FindKey({15}));
}

TEST(Ranges, CompositeIndexNullEndAndExtraValues)
{
    auto table = std::make_unique<TzelMemTable>(nullptr);
    table->FieldDefs().Add("Numero", ftInteger);
    table->FieldDefs().Add("Sub", ftInteger);
    table->IndexDefs().Add("Both", "Numero;Sub", {});
    table->CreateTable();
    table->Open();
    for (auto [n, s] : std::vector<std::pair<int, int>>{{1, 1}, {1, 5}, {2, 1}, {2, 9}, {3, 0}}) {
        table->Append();
        table->FieldByName("Numero")->SetAsInteger(n);
        table->FieldByName("Sub")->SetAsInteger(s);
        table->Post();
    }
    table->SetIndexFieldNames("Numero;Sub");
    auto pairs = [&] {
        std::vector<std::string> out;
        table->First();
        while (!table->Eof()) {
            out.push_back(table->FieldByName("Numero")->AsString() + "/" +
                          table->FieldByName("Sub")->AsString());
            table->Next();
        }
        return out;
    };
    // Each field is bounded by its own ends; the end leaves Sub null, so Sub is bounded only
    // from below and Numero from above.
    table->SetRange({1, 5}, {2});
    EXPECT_EQ(pairs(), (std::vector<std::string>{"1/5", "2/9"}));
    // More values than index fields: the extra ones are ignored.
    table->SetRange({2, 0, 77}, {2, 5, 88});
    EXPECT_EQ(pairs(), (std::vector<std::string>{"2/1"}));
}

TEST(Ranges, WrongKindOfValueFailsAndKeepsTheKey)
{
    auto table = MakeNumberTable();
    table->SetRangeStart();
    table->FieldByName("Numero")->SetAsInteger(10);
    EXPECT_THROW(table->FieldByName("Numero")->SetAsString("abc"), EConvertError);
    EXPECT_EQ(table->State(), dsSetKey);
    EXPECT_EQ(table->FieldByName("Numero")->AsInteger(), 10);
    table->SetRangeEnd();
    table->FieldByName("Numero")->SetAsInteger(15);
    table->ApplyRange();
    EXPECT_EQ(Numbers(*table), (std::vector<int>{10, 15}));
    EXPECT_ANY_THROW(table->SetRange({Variant("x")}, {20}));
    EXPECT_EQ(table->State(), dsBrowse);
}

TEST(KeySearches, FindKeyGotoKeyAndFindNearest)
{
    auto table = MakeNumberTable();
    EXPECT_TRUE(table->FindKey({15}));
    EXPECT_EQ(table->FieldByName("Numero")->AsInteger(), 15);
    EXPECT_TRUE(table->Found());
    EXPECT_TRUE(table->FindKey({25, 99}));
    EXPECT_EQ(table->FieldByName("Numero")->AsInteger(), 25);

    table->SetKey();
    EXPECT_EQ(table->State(), dsSetKey);
    table->FieldByName("Numero")->SetAsInteger(20);
    EXPECT_TRUE(table->GotoKey());
    EXPECT_EQ(table->FieldByName("Numero")->AsInteger(), 20);
    EXPECT_EQ(table->State(), dsBrowse);

    EXPECT_FALSE(table->FindKey({12}));
    EXPECT_FALSE(table->Found());
    EXPECT_EQ(table->FieldByName("Numero")->AsInteger(), 20);
    EXPECT_TRUE(table->FindNearest({12}));
    EXPECT_EQ(table->FieldByName("Numero")->AsInteger(), 15);
    EXPECT_FALSE(table->FindNearest({30}));

    EXPECT_TRUE(table->FieldByName("Numero")->IsIndexField());
    EXPECT_FALSE(table->FieldByName("Nome")->IsIndexField());

    table->SortOn("Numero", {});
    ExpectFailure([&] { table->FindKey({15}); }, "EMemTableError",
                  "There must be at least one field");
    table->First();
    EXPECT_TRUE(table->FindNearest({12}));
    EXPECT_EQ(table->FieldByName("Numero")->AsInteger(), 15);
}

TEST(KeySearches, GotoKeyWithoutSetKeyIsFalse)
{
    auto table = MakeNumberTable();
    EXPECT_FALSE(table->GotoKey());
}

namespace {

struct MasterDetail {
    std::unique_ptr<TzelMemTable> Master = std::make_unique<TzelMemTable>(nullptr);
    std::unique_ptr<TzelMemTable> Detail = std::make_unique<TzelMemTable>(nullptr);
    TDataSource Source{nullptr};

    explicit MasterDetail(bool detailFields)
    {
        Master->FieldDefs().Add("Id", ftInteger);
        Master->FieldDefs().Add("Nome", ftString, 20);
        Master->CreateTable();
        Master->Open();
        for (int id : {1, 2, 3}) {
            Master->Append();
            Master->FieldByName("Id")->SetAsInteger(id);
            Master->FieldByName("Nome")->SetAsString("M" + std::to_string(id));
            Master->Post();
        }
        Source.SetDataSet(Master.get());
        Detail->FieldDefs().Add("IdMaster", ftInteger);
        Detail->FieldDefs().Add("Riga", ftInteger);
        Detail->IndexDefs().Add("ByMaster", "IdMaster", {});
        Detail->CreateTable();
        Detail->Open();
        for (auto [m, r] : std::vector<std::pair<int, int>>{{2, 1}, {1, 1}, {2, 2}, {3, 1}, {2, 3}})
            AddDetail(m, r);
        if (detailFields)
            Detail->SetDetailFields("IdMaster");
        else
            Detail->SetIndexFieldNames("IdMaster");
        Detail->SetMasterSource(&Source);
        Detail->SetMasterFields("Id");
        Master->First();
    }
    ~MasterDetail() { Detail->SetMasterSource(nullptr); }

    void AddDetail(int master, int row)
    {
        Detail->Append();
        Detail->FieldByName("IdMaster")->SetAsInteger(master);
        Detail->FieldByName("Riga")->SetAsInteger(row);
        Detail->Post();
    }
    std::vector<std::string> Rows()
    {
        std::vector<std::string> out;
        Detail->First();
        while (!Detail->Eof()) {
            out.push_back(Detail->FieldByName("IdMaster")->AsString() + "/" +
                          Detail->FieldByName("Riga")->AsString());
            Detail->Next();
        }
        return out;
    }
};

} // namespace

TEST(MasterDetailLink, DetailFollowsTheMaster)
{
    for (bool detailFields : {true, false}) {
        SCOPED_TRACE(detailFields ? "DetailFields" : "index fields");
        MasterDetail md(detailFields);
        EXPECT_EQ(md.Rows(), (std::vector<std::string>{"1/1"}));
        md.Master->Next();
        EXPECT_EQ(md.Detail->FieldByName("IdMaster")->AsInteger(), 2);
        EXPECT_TRUE(md.Detail->Bof());
        EXPECT_EQ(md.Detail->RecordCount(), 3);
        std::vector<std::string> rows = md.Rows();
        std::sort(rows.begin(), rows.end());
        EXPECT_EQ(rows, (std::vector<std::string>{"2/1", "2/2", "2/3"}));
        md.Detail->Last();
        md.Master->Next();
        EXPECT_EQ(md.Detail->FieldByName("IdMaster")->AsInteger(), 3);
        EXPECT_TRUE(md.Detail->Bof());
        md.Master->Close();
        EXPECT_EQ(md.Rows().size(), 5u);
    }
}

TEST(MasterDetailLink, NewDetailRowGetsTheMasterKeyBeforeOnNewRecord)
{
    MasterDetail md(true);
    md.Master->Last();
    int seen = -1;
    md.Detail->OnNewRecord = [&](TDataSet* ds) { seen = ds->FieldByName("IdMaster")->AsInteger(); };
    md.Detail->Append();
    EXPECT_EQ(seen, 3);
    md.Detail->FieldByName("Riga")->SetAsInteger(7);
    md.Detail->Post();
    EXPECT_EQ(md.Rows(), (std::vector<std::string>{"3/1", "3/7"}));
}

TEST(MasterDetailLink, SelfReferenceAndUnknownMasterField)
{
    MasterDetail md(true);
    TDataSource own(nullptr);
    own.SetDataSet(md.Detail.get());
    ExpectFailure([&] { md.Detail->SetMasterSource(&own); }, "EDatabaseError",
                  "Selfreferencing master/detail relations not allowed.");
    // The master's own master source leads back to the detail.
    md.Detail->SetMasterSource(nullptr);
    md.Master->SetMasterSource(&own);
    ExpectFailure([&] { md.Detail->SetMasterSource(&md.Source); }, "EDatabaseError",
                  "Selfreferencing master/detail relations not allowed.");
    md.Master->SetMasterSource(nullptr);
    md.Detail->SetMasterSource(&md.Source);
    EXPECT_THROW(md.Detail->SetMasterFields("Nessuno"), EDatabaseError);
}

TEST(MasterDetailLink, SaveWritesEveryRowAndKeepsTheView)
{
    MasterDetail md(true);
    TzelBinaryStreamFormat format(nullptr);
    md.Detail->SetDefaultFormat(&format);
    md.Master->Next();
    TMemoryStream stream;
    md.Detail->SaveToStream(&stream);
    EXPECT_EQ(md.Rows().size(), 3u);
    auto copy = std::make_unique<TzelMemTable>(nullptr);
    copy->SetDefaultFormat(&format);
    stream.SetPosition(0);
    copy->LoadFromStream(&stream);
    EXPECT_EQ(copy->RecordCount(), 5);

    md.Detail->SetMasterSource(nullptr);
    md.Detail->SetIndexFieldNames("IdMaster");
    md.Detail->SetRange({2}, {3});
    TMemoryStream ranged;
    md.Detail->SaveToStream(&ranged);
    EXPECT_TRUE(md.Detail->RangeActive());
    EXPECT_EQ(md.Detail->RecordCount(), 4);
    auto copy2 = std::make_unique<TzelMemTable>(nullptr);
    copy2->SetDefaultFormat(&format);
    ranged.SetPosition(0);
    copy2->LoadFromStream(&ranged);
    EXPECT_EQ(copy2->RecordCount(), 5);
}

TEST(Ranges, RandomRangesMatchAFullScan)
{
    auto table = MakeNameTable();
    table->IndexDefs().Add("ByNumero", "Numero", {});
    table->IndexDefs().Add("ByNome", "Nome", {ixCaseInsensitive});
    table->Open();
    std::mt19937 random(7);
    std::vector<std::pair<std::string, int>> rows;
    for (int i = 0; i < 300; ++i) {
        table->Append();
        const int number = static_cast<int>(random() % 50);
        std::string name(1, static_cast<char>((random() % 2 ? 'a' : 'A') + random() % 6));
        if (i % 17 != 0)
            table->FieldByName("Numero")->SetAsInteger(number);
        table->FieldByName("Nome")->SetAsString(name);
        table->Post();
        rows.push_back({name, i % 17 != 0 ? number : -1});
    }
    table->SetIndexFieldNames("Numero");
    for (int round = 0; round < 30; ++round) {
        const int low = static_cast<int>(random() % 55) - 3;
        const int high = low + static_cast<int>(random() % 20);
        table->SetRange({low}, {high});
        int expected = 0;
        for (const auto& row : rows)
            expected += row.second >= 0 && row.second >= low && row.second <= high;
        std::vector<int> seen = Numbers(*table);
        EXPECT_EQ(static_cast<int>(seen.size()), expected) << low << ".." << high;
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
        EXPECT_EQ(table->RecordCount(), expected);
    }
    table->SetIndexFieldNames("Nome");
    table->SetRange({"b"}, {"C"});
    int expected = 0;
    for (const auto& row : rows)
        expected += std::tolower(row.first[0]) >= 'b' && std::tolower(row.first[0]) <= 'c';
    EXPECT_EQ(static_cast<int>(ScanField(*table, "Nome").size()), expected);
}

TEST(MasterDetailLink, UnknownDetailFieldFailsTheOpen)
{
    auto table = MakeNameTable();
    table->SetDetailFields("Nessuno");
    EXPECT_THROW(table->Open(), EDatabaseError);
    EXPECT_FALSE(table->Active());
    table->SetDetailFields("Numero");
    table->Open();
    AddRow(*table, "A", 1);
    EXPECT_THROW(table->SetDetailFields("Nessuno"), EDatabaseError);
    EXPECT_EQ(table->RecordCount(), 1);
}
