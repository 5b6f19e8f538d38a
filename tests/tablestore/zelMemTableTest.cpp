// The memory table's life and structure: creating, opening, closing, automatic numbers,
// attaching, record tags, modified flags, Reset, MoveRecord and field variables.

#include "MemTableTestSupport.h"

#include "platform/rtl/Classes.h"

namespace {

TEST(MemTableLife, CloseAndOpenGiveAnEmptyTableWithTheSameFields)
{
    auto table = MakeNameTable();
    table->Open();
    AddRow(*table, "a", 1);
    AddRow(*table, "b", 2);
    AddRow(*table, "c", 3);
    EXPECT_EQ(table->RecordCount(), 3);
    table->Close();
    table->Open();
    EXPECT_EQ(table->RecordCount(), 0);
    ASSERT_EQ(table->FieldCount(), 2);
    EXPECT_EQ(table->Fields().Fields(0)->FieldName(), "Nome");
    EXPECT_EQ(table->Fields().Fields(0)->DataType(), ftString);
    EXPECT_EQ(table->Fields().Fields(1)->FieldName(), "Numero");
    EXPECT_EQ(table->Fields().Fields(1)->DataType(), ftInteger);
    EXPECT_TRUE(table->Eof());
}

TEST(MemTableLife, CreateTableReplacesPersistentFieldObjects)
{
    TComponent form(nullptr);
    TzelMemTable table(nullptr);
    auto* name = new TStringField(&form);
    name->SetFieldName("Nome");
    name->SetSize(10);
    name->SetDataSet(&table);
    auto* number = new TIntegerField(&form);
    number->SetFieldName("Numero");
    number->SetDataSet(&table);
    const int formComponents = form.ComponentCount();

    table.CreateTable();
    ASSERT_EQ(table.FieldCount(), 2);
    EXPECT_EQ(form.ComponentCount(), formComponents - 2) << "the old field objects are gone";
    EXPECT_EQ(table.Fields().Fields(0)->FieldName(), "Nome");
    EXPECT_EQ(table.Fields().Fields(0)->Size(), 10);
    EXPECT_EQ(table.Fields().Fields(1)->DataType(), ftInteger);
    table.Open();
    AddRow(table, "x", 5);
    EXPECT_EQ(table.FieldByName("Nome")->AsString(), "x");
}

TEST(MemTableLife, StructureFailures)
{
    TzelMemTable many(nullptr);
    for (int i = 0; i <= ZEL_MAX_FIELDS; ++i)
        many.FieldDefs().Add("F" + std::to_string(i), ftInteger);
    ExpectFailure([&] { many.CreateTable(); }, "Exception",
                  "Too many fielddefs. Please raise ZEL_MAX_FIELDS value.");

    TzelMemTable empty(nullptr);
    ExpectFailure([&] { empty.Open(); }, "EMemTableError", "There must be at least one field");
    EXPECT_FALSE(empty.Active());
    empty.FieldDefs().Add("Nome", ftString, 5);
    empty.Open();
    EXPECT_TRUE(empty.Active());
}

TEST(MemTableLife, ClassNameRegistryAndVersion)
{
    TzelMemTable table(nullptr);
    EXPECT_EQ(table.ClassName(), "TzelMemTable");
    EXPECT_TRUE(table.InheritsFrom("TDataSet"));
    const TPersistentClass* registered = GetClass("TzelMemTable");
    ASSERT_NE(registered, nullptr);
    std::unique_ptr<TPersistent> made(registered->Create(nullptr));
    EXPECT_EQ(made->ClassName(), "TzelMemTable");
    table.SetVersion("9.99");
    EXPECT_EQ(table.Version(), "3.01");
}

TEST(MemTableLife, AutomaticNumbers)
{
    TzelMemTable table(nullptr);
    table.FieldDefs().Add("Id", ftAutoInc);
    table.FieldDefs().Add("Nome", ftString, 10);
    table.CreateTable();
    table.SetAutoIncMinValue(1);
    table.Open();
    auto append = [&] {
        table.Append();
        table.FieldByName("Nome")->SetAsString("x");
        table.Post();
        return table.FieldByName("Id")->AsInteger();
    };
    EXPECT_EQ(append(), 1);
    EXPECT_EQ(append(), 2);
    table.EmptyTable();
    EXPECT_EQ(append(), 3);
    table.Append();
    table.FieldByName("Id")->SetAsInteger(10);
    table.Post();
    EXPECT_EQ(append(), 11);
}

TEST(MemTableLife, AnAttachedTableOpeningDoesNotRestartTheNumbers)
{
    TzelMemTable a(nullptr);
    a.FieldDefs().Add("Id", ftAutoInc);
    a.CreateTable();
    a.SetAutoIncMinValue(1);
    a.SetAttachMaxCount(2);
    TzelMemTable b(nullptr);
    b.SetAttachedTo(&a);
    a.Open();
    a.Append();
    a.Post();
    a.Append();
    a.Post();
    b.Open();
    b.Append();
    b.Post();
    EXPECT_EQ(b.FieldByName("Id")->AsInteger(), 3);
}

TEST(MemTableLife, RecordTags)
{
    auto table = MakeNameTable();
    table->Open();
    ExpectFailure([&] { table->SetRecordTag(7); }, "EMemTableError", "No current record.");
    ExpectFailure([&] { table->GetRecordTag(); }, "EMemTableError", "No current record.");
    AddRow(*table, "a", 1);
    AddRow(*table, "b", 2);
    table->First();
    table->SetRecordTag(7);
    EXPECT_EQ(table->GetRecordTag(), 7);
    table->Next();
    EXPECT_EQ(table->GetRecordTag(), 0);
    table->First();
    EXPECT_EQ(table->GetRecordTag(), 7);
}

TEST(MemTableLife, ModifiedFlags)
{
    auto table = MakeNameTable();
    table->Open();
    AddRow(*table, "a", 1);
    ExpectFailure([&] { table->GetModifiedFlags(-1); }, "ERangeError", "Out of range (-1)");
    ExpectFailure([&] { table->GetModifiedFlags(2); }, "ERangeError", "Out of range (2)");
    EXPECT_TRUE(table->IsDataModified());
    table->Edit();
    table->FieldByName("Numero")->SetAsInteger(5);
    EXPECT_TRUE(table->GetModifiedFlags(1));
    EXPECT_FALSE(table->GetModifiedFlags(0));
    table->ClearModified();
    EXPECT_FALSE(table->GetModifiedFlags(1));
    EXPECT_FALSE(table->IsDataModified());
    table->Post();
    EXPECT_TRUE(table->IsDataModified());
}

TEST(MemTableLife, ResetForgetsStructureAndSelection)
{
    auto table = MakeNameTable();
    TDataSource source(nullptr);
    auto master = MakeNameTable();
    source.SetDataSet(master.get());
    table->IndexDefs().Add("ByName", "Nome", {});
    table->SetIndexName("ByName");
    table->SetIndexFieldNames("Nome");
    table->SetMasterSource(&source);
    table->SetMasterFields("Nome");
    table->Open();
    table->Reset();
    EXPECT_FALSE(table->Active());
    EXPECT_EQ(table->IndexName(), "");
    EXPECT_EQ(table->IndexFieldNames(), "");
    EXPECT_EQ(table->MasterFields(), "");
    EXPECT_EQ(table->MasterSource(), nullptr);
    EXPECT_EQ(table->IndexDefs().Count(), 0);
    EXPECT_EQ(table->FieldDefs().Count(), 0);
}

TEST(MemTableLife, MoveRecordInRowOrder)
{
    struct Case {
        int From, To;
        bool Moved;
        std::vector<std::string> Order;
    };
    const std::vector<std::string> unchanged = {"A", "B", "C", "D", "E"};
    const Case cases[] = {
        {1, 4, true, {"B", "C", "A", "D", "E"}},
        {5, 1, true, {"E", "A", "B", "C", "D"}},
        {2, 2, false, unchanged},
        {0, 3, false, unchanged},
        {1, 6, false, unchanged},
    };
    for (const Case& c : cases) {
        auto table = MakeNameTable();
        table->Open();
        for (const std::string& name : unchanged)
            AddRow(*table, name, 0);
        EXPECT_EQ(table->MoveRecord(c.From, c.To), c.Moved) << c.From << "->" << c.To;
        table->Refresh();
        EXPECT_EQ(ScanField(*table, "Nome"), c.Order) << c.From << "->" << c.To;
    }
}

TEST(MemTableLife, UpdateFieldVariablesNamesFieldsOnTheOwner)
{
    TComponent form(nullptr);
    auto* taken = new TComponent(&form);
    taken->SetName("TNumero");
    auto* table = new TzelMemTable(&form);
    table->SetName("T");
    table->FieldDefs().Add("Nome", ftString, 10);
    table->FieldDefs().Add("Numero", ftInteger);
    table->SetAutoUpdateFieldVariables(true);
    table->Open();
    TComponent* nome = form.FindComponent("TNome");
    ASSERT_NE(nome, nullptr);
    EXPECT_EQ(nome, table->FieldByName("Nome"));
    EXPECT_EQ(form.FindComponent("TNumero"), taken);
    EXPECT_EQ(table->FieldByName("Numero")->Owner(), table);
    AddRow(*table, "x", 1);
    table->Close();
    EXPECT_EQ(form.FindComponent("TNome"), nullptr) << "the table's own fields go at close";
}

// --- Attaching ---

struct AttachedPair {
    std::unique_ptr<TzelMemTable> A = MakeNameTable();
    std::unique_ptr<TzelMemTable> B = std::make_unique<TzelMemTable>(nullptr);
    AttachedPair()
    {
        B->SetAttachedTo(A.get());
        A->Open();
        B->Open();
    }
};

TEST(MemTableAttach, RowsPostedInEitherTableShowInTheOther)
{
    AttachedPair pair;
    EXPECT_EQ(pair.A->AttachMaxCount(), 2);
    EXPECT_EQ(pair.A->AttachCount(), 2);
    AddRow(*pair.A, "fromA", 1);
    EXPECT_EQ(pair.B->RecordCount(), 1);
    EXPECT_FALSE(pair.B->IsEmpty()) << "refreshed after the post";
    EXPECT_EQ(pair.B->FieldByName("Nome")->AsString(), "fromA");
    AddRow(*pair.B, "fromB", 2);
    EXPECT_EQ(ScanField(*pair.A, "Nome"), (std::vector<std::string>{"fromA", "fromB"}));
    pair.B->First();
    pair.B->Delete();
    EXPECT_EQ(ScanField(*pair.A, "Nome"), (std::vector<std::string>{"fromB"}));
}

TEST(MemTableAttach, WithoutAutoRefreshTheOtherSeesRowsAfterRefresh)
{
    AttachedPair pair;
    pair.A->SetAttachedAutoRefresh(false);
    AddRow(*pair.A, "x", 1);
    EXPECT_TRUE(pair.B->IsEmpty());
    pair.B->Refresh();
    EXPECT_FALSE(pair.B->IsEmpty());
    EXPECT_EQ(pair.B->FieldByName("Nome")->AsString(), "x");
}

TEST(MemTableAttach, ClosingTheOwnerClosesAndEmptiesBoth)
{
    AttachedPair pair;
    AddRow(*pair.A, "x", 1);
    pair.A->Close();
    EXPECT_FALSE(pair.B->Active());
    pair.B->Open();
    EXPECT_TRUE(pair.A->Active()) << "the attached table opens its owner";
    EXPECT_EQ(pair.A->RecordCount(), 0);
    EXPECT_EQ(pair.B->RecordCount(), 0);
}

TEST(MemTableAttach, Misuse)
{
    auto a = MakeNameTable();
    ExpectFailure([&] { a->SetAttachedTo(a.get()); }, "EMemTableError",
                  "Cant attach memorytable to it self.");

    auto b = std::make_unique<TzelMemTable>(nullptr);
    b->SetAttachedTo(a.get());
    TzelMemTable c(nullptr);
    ExpectFailure([&] { c.SetAttachedTo(b.get()); }, "EMemTableError",
                  "Cant attach to another table which itself is an attachment.");

    ExpectFailure([&] { b->SetStandalone(true); }, "EMemTableError",
                  "Table is attached to another table.");
    a->Open();
    ExpectFailure([&] { a->SetStandalone(true); }, "EMemTableError",
                  "Table must be closed for this operation.");
}

TEST(MemTableAttach, AttachingToAnOpenTableWithoutAFreeSlotFails)
{
    auto a = MakeNameTable();
    a->Open();
    AddRow(*a, "a", 1);
    auto b = MakeNameTable();
    ExpectFailure([&] { b->SetAttachedTo(a.get()); }, "EMemTableError",
                  "Table must be closed for this operation.");
    EXPECT_EQ(b->AttachedTo(), nullptr);
    EXPECT_EQ(a->AttachMaxCount(), 1);
    b->Open();
    AddRow(*b, "own", 1);
    EXPECT_EQ(ScanField(*b, "Nome"), (std::vector<std::string>{"own"}));
    EXPECT_EQ(ScanField(*a, "Nome"), (std::vector<std::string>{"a"}));
}

TEST(MemTableAttach, AttachingGrowsTheCapacityOfAClosedTable)
{
    auto a = MakeNameTable();
    EXPECT_EQ(a->AttachMaxCount(), 1);
    TzelMemTable b(nullptr);
    b.SetAttachedTo(a.get());
    EXPECT_EQ(a->AttachMaxCount(), 2);
    EXPECT_EQ(b.AttachIndex(), 1);
    b.SetAttachedTo(nullptr);
    EXPECT_EQ(a->AttachCount(), 1);
    EXPECT_EQ(b.AttachCount(), 1);
}

TEST(MemTableAttach, DestroyingTheOwnerLeavesTheAttachedTableUsable)
{
    auto a = MakeNameTable();
    TzelMemTable b(nullptr);
    b.SetAttachedTo(a.get());
    a->Open();
    b.Open();
    AddRow(*a, "x", 1);
    a.reset();
    EXPECT_EQ(b.AttachedTo(), nullptr);
    EXPECT_FALSE(b.Active());
    b.Open();
    EXPECT_EQ(b.RecordCount(), 0);
    AddRow(b, "y", 2);
    EXPECT_EQ(ScanField(b, "Nome"), (std::vector<std::string>{"y"}));
}

TEST(MemTableAttach, EmptyTableEmptiesBothAndReportsProgress)
{
    AttachedPair pair;
    AddRow(*pair.A, "a", 1);
    AddRow(*pair.B, "b", 2);
    std::vector<std::pair<int, TzelProgressCode>> progress;
    pair.A->OnProgress = [&](TDataSet*, int percentage, TzelProgressCode code) {
        progress.emplace_back(percentage, code);
    };
    TDataSource source(nullptr);
    source.SetDataSet(pair.A.get());
    TCountingLink link;
    link.SetDataSource(&source);

    pair.A->EmptyTable();
    EXPECT_TRUE(progress.empty()) << "mtpcEmpty is not among the default flags";
    EXPECT_EQ(link.DataSetChanges, 1);
    EXPECT_EQ(pair.A->RecordCount(), 0);
    EXPECT_EQ(pair.B->RecordCount(), 0);
    EXPECT_TRUE(pair.B->IsEmpty());

    AddRow(*pair.A, "c", 3);
    pair.A->SetProgressFlags({mtpcEmpty});
    pair.A->EmptyTable();
    ASSERT_EQ(progress.size(), 2u);
    EXPECT_EQ(progress[0], std::make_pair(0, mtpcEmpty));
    EXPECT_EQ(progress[1], std::make_pair(100, mtpcEmpty));
    pair.A->OnProgress = nullptr;
    link.SetDataSource(nullptr);
}

} // namespace
