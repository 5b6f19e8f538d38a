// The memory table's cursor, record buffers and editing: row numbers, value round trips under
// every performance setting, native buffer forms, nulls, editing failures, bookmarks and
// visibility.

#include "MemTableTestSupport.h"

#include "platform/db/StdFields.h"
#include "platform/rtl/DateTime.h"

#include <algorithm>
#include <cstring>

namespace {

std::unique_ptr<TzelMemTable> MakeRowsTable(int rows)
{
    auto table = MakeNameTable();
    table->Open();
    for (int i = 1; i <= rows; ++i)
        AddRow(*table, std::string(1, static_cast<char>('A' + i - 1)), i);
    return table;
}

std::string Raw(TField* field)
{
    std::string bytes(static_cast<std::size_t>(field->DataSize()), '\0');
    if (!field->GetData(bytes.data()))
        return "<null>";
    return bytes;
}

TEST(MemTableCursor, RecNoInsertAppendAndNavigation)
{
    auto table = MakeRowsTable(5);
    table->First();
    EXPECT_EQ(table->RecNo(), 1);
    table->Prior();
    EXPECT_TRUE(table->Bof());
    table->SetRecNo(3);
    EXPECT_EQ(table->FieldByName("Nome")->AsString(), "C");
    table->Insert();
    table->FieldByName("Nome")->SetAsString("new");
    table->Post();
    EXPECT_EQ(table->RecNo(), 3);
    EXPECT_EQ(table->FieldByName("Nome")->AsString(), "new");
    table->Next();
    EXPECT_EQ(table->RecNo(), 4);
    EXPECT_EQ(table->FieldByName("Nome")->AsString(), "C");
    AddRow(*table, "last", 9);
    EXPECT_EQ(table->RecNo(), 7);
    EXPECT_EQ(ScanField(*table, "Nome"),
              (std::vector<std::string>{"A", "B", "new", "C", "D", "E", "last"}));
    table->Last();
    table->Next();
    EXPECT_TRUE(table->Eof());
    table->SetRecNo(4);
    EXPECT_EQ(table->RecNo(), 4);
    EXPECT_EQ(table->FieldByName("Nome")->AsString(), "C");
    EXPECT_EQ(table->RecordCount(), 7);
}

TEST(MemTableCursor, InsertIntoAnEmptyTable)
{
    auto table = MakeNameTable();
    table->Open();
    EXPECT_EQ(table->RecNo(), -1);
    table->Insert();
    table->FieldByName("Nome")->SetAsString("only");
    table->Post();
    EXPECT_EQ(table->RecNo(), 1);
    EXPECT_EQ(ScanField(*table, "Nome"), (std::vector<std::string>{"only"}));
}

TEST(MemTableCursor, InsertRecordAndAppendRecord)
{
    auto table = MakeRowsTable(3);
    table->First();
    table->Next();
    table->InsertRecord({Variant("ins"), Variant(7)});
    table->AppendRecord({Variant("app"), Variant(8)});
    EXPECT_EQ(ScanField(*table, "Nome"),
              (std::vector<std::string>{"A", "ins", "B", "C", "app"}));
}

// Every type the table stores, with a value set in insert state.
struct ValueCase {
    std::string Name;
    TFieldType Type;
    int Size;
    std::function<void(TField*)> Set;
};

std::vector<ValueCase> ValueCases()
{
    std::string allBytes;
    for (int i = 0; i < 1024; ++i)
        allBytes.push_back(static_cast<char>(1 + i % 255));
    return {
        {"S5", ftString, 5, [](TField* f) { f->SetAsString("Ab"); }},
        {"S1024", ftString, 1024, [allBytes](TField* f) { f->SetAsString(allBytes); }},
        {"Sm", ftSmallint, 0, [](TField* f) { f->SetAsInteger(-32768); }},
        {"I", ftInteger, 0, [](TField* f) { f->SetAsInteger(-5); }},
        {"W", ftWord, 0, [](TField* f) { f->SetAsInteger(65535); }},
        {"B", ftBoolean, 0, [](TField* f) { f->SetAsBoolean(true); }},
        {"F", ftFloat, 0, [](TField* f) { f->SetAsFloat(12.34); }},
        {"C", ftCurrency, 0, [](TField* f) { f->SetAsCurrency(1.5); }},
        {"N", ftBCD, 4, [](TField* f) { f->SetAsFloat(12.3456); }},
        {"D", ftDate, 0, [](TField* f) { f->SetAsDateTime(EncodeDate(2009, 3, 8)); }},
        {"T", ftTime, 0, [](TField* f) { f->SetAsDateTime(EncodeTime(12, 30, 0, 250)); }},
        {"DT", ftDateTime, 0,
         [](TField* f) { f->SetAsDateTime(EncodeDate(2009, 3, 8) + EncodeTime(12, 0, 0, 0)); }},
        {"By", ftBytes, 4, [](TField* f) { f->SetData("\x01\x00\xFF\x7F"); }},
        {"VB", ftVarBytes, 4, [](TField* f) { f->SetData("\x03\x00\xAA\x00\xBB\x00"); }},
        {"A", ftAutoInc, 0, [](TField*) {}},
    };
}

TEST(MemTableCursor, ValuesRoundTripUnderEveryPerformance)
{
    for (TzelPerformance performance : {mtpfFast, mtpfBalanced, mtpfSmall}) {
        SCOPED_TRACE(performance);
        TzelMemTable table(nullptr);
        table.SetPerformance(performance);
        const std::vector<ValueCase> cases = ValueCases();
        for (const ValueCase& c : cases)
            table.FieldDefs().Add(c.Name, c.Type, c.Size);
        table.FieldDefs().Add("Other", ftInteger);
        table.CreateTable();
        table.Open();

        table.Insert();
        std::vector<std::string> expected;
        for (const ValueCase& c : cases) {
            c.Set(table.FieldByName(c.Name));
            expected.push_back(Raw(table.FieldByName(c.Name)));
        }
        table.Post();
        table.Append();
        table.FieldByName("Other")->SetAsInteger(0);
        table.Post();
        ASSERT_EQ(table.RecordCount(), 2);

        auto check = [&](const char* when) {
            table.First();
            for (std::size_t i = 0; i < cases.size(); ++i)
                EXPECT_EQ(Raw(table.FieldByName(cases[i].Name)), expected[i])
                    << cases[i].Name << " " << when;
        };
        check("after navigating");
        EXPECT_EQ(table.FieldByName("S1024")->AsString().size(), 1024u);
        EXPECT_EQ(table.FieldByName("W")->AsInteger(), 65535);
        EXPECT_EQ(table.FieldByName("N")->AsFloat(), 12.3456);
        table.Edit();
        table.FieldByName("Other")->SetAsInteger(1);
        table.Post();
        table.Last();
        check("after editing another field");
    }
}

TEST(MemTableCursor, NativeBufferForms)
{
    TzelMemTable table(nullptr);
    table.FieldDefs().Add("D", ftDate);
    table.FieldDefs().Add("T", ftTime);
    table.FieldDefs().Add("DT", ftDateTime);
    table.FieldDefs().Add("B", ftBoolean);
    table.Open();
    table.Append();
    table.FieldByName("D")->SetAsDateTime(EncodeDate(2009, 3, 8));
    table.FieldByName("T")->SetAsDateTime(EncodeTime(12, 30, 0, 250));
    table.FieldByName("DT")->SetAsDateTime(EncodeDate(2009, 3, 8) + EncodeTime(12, 0, 0, 0));
    table.FieldByName("B")->SetAsBoolean(true);
    table.Post();

    unsigned char buffer[8] = {};
    ASSERT_TRUE(table.GetFieldData(table.FieldByName("D"), buffer));
    EXPECT_EQ(std::vector<int>(buffer, buffer + 4), (std::vector<int>{0x22, 0x31, 0x0B, 0x00}));
    ASSERT_TRUE(table.GetFieldData(table.FieldByName("T"), buffer));
    EXPECT_EQ(std::vector<int>(buffer, buffer + 4), (std::vector<int>{0x3A, 0xA6, 0xAE, 0x02}));
    ASSERT_TRUE(table.GetFieldData(table.FieldByName("DT"), buffer));
    EXPECT_EQ(std::vector<int>(buffer, buffer + 8),
              (std::vector<int>{0x00, 0x00, 0xB3, 0xA3, 0x7E, 0xD1, 0xCC, 0x42}));
    double milliseconds = 0;
    std::memcpy(&milliseconds, buffer, 8);
    EXPECT_EQ(milliseconds, 63372196800000.0);
    unsigned char flag[2] = {};
    ASSERT_TRUE(table.GetFieldData(table.FieldByName("B"), flag));
    EXPECT_TRUE(flag[0] != 0 || flag[1] != 0);
}

TEST(MemTableCursor, NullsAndPopulateField)
{
    for (TzelPerformance performance : {mtpfFast, mtpfBalanced}) {
        TzelMemTable table(nullptr);
        table.SetPerformance(performance);
        table.FieldDefs().Add("Nome", ftString, 20);
        table.FieldDefs().Add("Numero", ftInteger);
        table.Open();
        AddRow(table, "abcdefghijklmnop", 42);
        table.Edit();
        table.FieldByName("Numero")->Clear();
        table.FieldByName("Nome")->Clear();
        table.Post();
        EXPECT_TRUE(table.FieldByName("Numero")->IsNull());
        EXPECT_TRUE(table.FieldByName("Nome")->IsNull());
        // The old bytes stay behind the null status.
        TzelRecord* record = table.GetActiveRecord();
        const char* slot = table.Common()->GetFieldPointer(record, 2);
        EXPECT_EQ(slot[0], 0);
        int old = 0;
        std::memcpy(&old, slot + 1, 4);
        EXPECT_EQ(old, 42);

        // A scratch record, as key and master buffers are filled.
        TzelRecord* scratch = table.Common()->_InternalAllocRecord();
        TField* name = table.FieldByName("Nome");
        table.PopulateField(scratch, name, Variant(std::string(30, 'x')));
        table.PopulateField(scratch, table.FieldByName("Numero"), Variant(7));
        const char* nameSlot = table.Common()->GetFieldPointer(scratch, 1);
        EXPECT_EQ(nameSlot[0], 2);
        if (!table.Common()->IsVarLengthField(1))
            EXPECT_EQ(std::string(nameSlot + 1), std::string(20, 'x'));
        else
            EXPECT_EQ(TzelCommon::VarLengthBlockSize(TzelCommon::SlotBlock(nameSlot)), 21);
        table.PopulateField(scratch, name, Null());
        EXPECT_EQ(table.Common()->GetFieldPointer(scratch, 1)[0], 0);
        table.PopulateField(scratch, table.FieldByName("Numero"), Unassigned());
        EXPECT_EQ(table.Common()->GetFieldPointer(scratch, 2)[0], 0);
        table.Common()->_InternalFreeRecord(scratch, true, false);
    }
}

TEST(MemTableCursor, EditingFailures)
{
    auto table = MakeRowsTable(2);
    ExpectFailure([&] { table->FieldByName("Nome")->SetAsString("x"); }, "EDatabaseError",
                  "Dataset is not in edit mode.");

    table->Edit();
    table->FieldByName("Nome")->SetAsString("changed");
    table->FieldByName("Numero")->SetAsInteger(99);
    table->Cancel();
    table->First();
    EXPECT_EQ(table->FieldByName("Nome")->AsString(), "A");
    EXPECT_EQ(table->FieldByName("Numero")->AsInteger(), 1);

    table->Insert();
    table->SetReadOnly(true);
    ExpectFailure([&] { table->FieldByName("Nome")->SetAsString("x"); }, "EDatabaseError",
                  "Field Nome is read only");
    table->Cancel();
    table->SetReadOnly(false);

    table->FieldByName("Numero")->SetReadOnly(true);
    table->Edit();
    ExpectFailure([&] { table->FieldByName("Numero")->SetAsInteger(3); }, "EDatabaseError",
                  "Field Numero is read only");
    table->Cancel();

    table->Close();
    ExpectFailure([&] { table->RecordCount(); }, "EDatabaseError",
                  "Cannot perform this operation on a closed dataset");
}

TEST(MemTableCursor, CalculatedFieldsWorkInAReadOnlyTable)
{
    TzelMemTable table(nullptr);
    auto* number = new TIntegerField(&table);
    number->SetFieldName("Numero");
    number->SetDataSet(&table);
    auto* doubled = new TIntegerField(&table);
    doubled->SetFieldName("Doppio");
    doubled->SetFieldKind(fkCalculated);
    doubled->SetDataSet(&table);
    table.OnCalcFields = [&](TDataSet*) { doubled->SetAsInteger(number->AsInteger() * 2); };
    table.Open();
    table.Append();
    number->SetAsInteger(21);
    table.Post();
    table.SetReadOnly(true);
    table.First();
    EXPECT_EQ(doubled->AsInteger(), 42);
}

TEST(MemTableCursor, Bookmarks)
{
    auto table = MakeRowsTable(5);
    table->SetRecNo(3);
    const TBookmark third = table->GetBookmark();
    ASSERT_EQ(third.size(), 12u);
    EXPECT_TRUE(table->BookmarkValid(third));
    table->First();
    table->GotoBookmark(third);
    EXPECT_EQ(table->FieldByName("Nome")->AsString(), "C");

    table->Last();
    const TBookmark fifth = table->GetBookmark();
    table->First();
    const TBookmark first = table->GetBookmark();
    EXPECT_EQ(table->CompareBookmarks(first, fifth), -1);
    EXPECT_EQ(table->CompareBookmarks(fifth, first), 1);
    EXPECT_EQ(table->CompareBookmarks(first, first), 0);

    table->GotoBookmark(third);
    table->Delete();
    EXPECT_FALSE(table->BookmarkValid(third));
    EXPECT_EQ(table->CompareBookmarks(third, first), 0);
    table->SetRecNo(2);
    table->GotoBookmark(third);
    EXPECT_EQ(table->FieldByName("Nome")->AsString(), "B") << "a gone record leaves the cursor";

    // The freed slot is reused by the next record: the old bookmark stays invalid.
    AddRow(*table, "F", 6);
    EXPECT_FALSE(table->BookmarkValid(third));
    table->GotoBookmark(third);
    EXPECT_EQ(table->FieldByName("Nome")->AsString(), "F");

    ExpectFailure([&] { table->GotoBookmark("x"); }, "EMemTableError", "Bookmark -200 not found.");
    EXPECT_FALSE(table->BookmarkValid(""));

    table->EmptyTable();
    for (int i = 1; i <= 5; ++i)
        AddRow(*table, std::string(1, static_cast<char>('A' + i - 1)), i);
    EXPECT_FALSE(table->BookmarkValid(first));
}

TEST(MemTableCursor, BookmarksSurvivePacking)
{
    auto table = MakeRowsTable(4);
    table->SetRecNo(4);
    const TBookmark fourth = table->GetBookmark();
    table->First();
    table->Delete();
    table->Common()->PackRecords();
    EXPECT_TRUE(table->BookmarkValid(fourth));
    table->First();
    table->GotoBookmark(fourth);
    EXPECT_EQ(table->FieldByName("Nome")->AsString(), "D");

    // A buffer fetched before the slots were renumbered still edits its own record.
    table->First();
    table->Delete();
    table->Common()->PackRecords();
    table->Edit();
    table->FieldByName("Nome")->SetAsString("C2");
    table->Post();
    EXPECT_EQ(ScanField(*table, "Nome"), (std::vector<std::string>{"C2", "D"}));
    EXPECT_EQ(table->Common()->Records(0)->RecordID, 0);
}

TEST(MemTableVisibility, FilterTextAloneShowsEveryRow)
{
    auto table = MakeRowsTable(4);
    table->SetFilter("Numero > 2");
    table->SetFiltered(true);
    EXPECT_EQ(table->RecordCount(), 4);
    EXPECT_EQ(ScanField(*table, "Nome").size(), 4u);
    EXPECT_FALSE(table->IsSequenced());
    table->SetFiltered(false);
    EXPECT_TRUE(table->IsSequenced());
}

TEST(MemTableVisibility, OnFilterRecordDecides)
{
    auto table = MakeNameTable();
    table->Open();
    for (int i = 1; i <= 10; ++i)
        AddRow(*table, "r" + std::to_string(i), i);
    table->OnFilterRecord = [](TDataSet* dataSet, bool& accept) {
        accept = dataSet->FieldByName("Numero")->AsInteger() % 2 == 0;
    };
    table->SetFiltered(true);
    EXPECT_EQ(table->RecordCount(), 5);
    table->First();
    EXPECT_EQ(table->FieldByName("Numero")->AsInteger(), 2);
    EXPECT_EQ(table->RecNo(), 2);
    table->Next();
    EXPECT_EQ(table->FieldByName("Numero")->AsInteger(), 4);
    EXPECT_EQ(table->RecNo(), 4);
    EXPECT_EQ(ScanField(*table, "Numero"),
              (std::vector<std::string>{"2", "4", "6", "8", "10"}));
    table->OnFilterRecord = nullptr;
}

TEST(MemTableVisibility, FindFirstAndFindNextUseTheFilterEvenWhenNotFiltered)
{
    auto table = MakeRowsTable(6);
    table->OnFilterRecord = [](TDataSet* dataSet, bool& accept) {
        accept = dataSet->FieldByName("Numero")->AsInteger() % 3 == 0;
    };
    EXPECT_EQ(table->RecordCount(), 6);
    EXPECT_TRUE(table->FindFirst());
    EXPECT_EQ(table->FieldByName("Numero")->AsInteger(), 3);
    EXPECT_TRUE(table->FindNext());
    EXPECT_EQ(table->FieldByName("Numero")->AsInteger(), 6);
    EXPECT_FALSE(table->FindNext());
    EXPECT_TRUE(table->FindLast());
    EXPECT_EQ(table->FieldByName("Numero")->AsInteger(), 6);
    table->OnFilterRecord = nullptr;
}


TEST(MemTableCursor, AFailedPostLeavesTheInsertAndTheStorageAsTheyWere)
{
    for (TzelPerformance performance : {mtpfFast, mtpfBalanced}) {
        TzelMemTable table(nullptr);
        table.SetPerformance(performance);
        table.FieldDefs().Add("Nome", ftString, 40);
        table.Open();
        table.Append();
        table.FieldByName("Nome")->SetAsString("first");
        table.Post();
        table.Common()->SetNextUniqueIDForTesting(2147483600);
        table.Append();
        table.FieldByName("Nome")->SetAsString("refused value");
        ExpectFailure([&] { table.Post(); }, "EMemTableError",
                      "Bookmark counter is out of range. Please close and reopen table.");
        EXPECT_EQ(table.State(), dsInsert);
        EXPECT_EQ(table.FieldByName("Nome")->AsString(), "refused value");
        EXPECT_EQ(table.Common()->RecordCount(), 1);
        table.Cancel();
        EXPECT_EQ(ScanField(table, "Nome"), (std::vector<std::string>{"first"}));
    }
}

TEST(MemTableCursor, ReadsNeverExceedTheFieldSize)
{
    TzelMemTable table(nullptr);
    table.SetPerformance(mtpfSmall);
    table.FieldDefs().Add("Nome", ftString, 20);
    table.OnDecompressField = [](TDataSet*, TField*, const char*, int, std::string& result) {
        result.assign(2000, 'z');
    };
    table.Open();
    table.Append();
    table.FieldByName("Nome")->SetAsString("short");
    table.Post();
    std::string buffer(64, '#');
    ASSERT_TRUE(table.GetFieldData(table.FieldByName("Nome"), buffer.data()));
    EXPECT_EQ(buffer.substr(0, 21), std::string(21, 'z'));
    EXPECT_EQ(buffer.substr(21), std::string(43, '#'));

    table.OnDecompressField = [](TDataSet*, TField*, const char*, int, std::string& result) {
        result = "ab";
    };
    buffer.assign(64, '#');
    ASSERT_TRUE(table.GetFieldData(table.FieldByName("Nome"), buffer.data()));
    EXPECT_EQ(buffer.substr(0, 21), std::string("ab") + std::string(19, '\0'));
    table.OnDecompressField = nullptr;
}

TEST(MemTableCursor, OnFilterIndexDecidesTheRowOrder)
{
    auto table = MakeNameTable();
    table->OnFilterIndex = [](TDataSet* dataSet, TzelIndex* index, bool& accept) {
        EXPECT_TRUE(index->IsRowOrder());
        accept = dataSet->FieldByName("Numero")->AsInteger() != 2;
    };
    table->Open();
    AddRow(*table, "a", 1);
    AddRow(*table, "b", 2);
    AddRow(*table, "c", 3);
    EXPECT_EQ(table->RecordCount(), 2);
    EXPECT_EQ(ScanField(*table, "Nome"), (std::vector<std::string>{"a", "c"}));
    table->OnFilterIndex = nullptr;
    table->Indexes().RowOrderIndex()->Rebuild();
    EXPECT_EQ(ScanField(*table, "Nome"), (std::vector<std::string>{"a", "b", "c"}));
}

TEST(MemTableLife, AFailureWhileDestroyingGoesToTheApplicationHandler)
{
    std::vector<std::string> reported;
    const TApplicationExceptionHandler previous = SetApplicationExceptionHandler(
        [&](TObject*, const Exception& e) { reported.push_back(e.Message); });
    {
        auto table = MakeNameTable();
        table->Open();
        table->BeforeClose = [](TDataSet*) { RAISE(EMemTableError("cannot save")); };
    }
    SetApplicationExceptionHandler(previous);
    EXPECT_EQ(reported, (std::vector<std::string>{"cannot save"}));
}

TEST(MemTableAttach, AReservedSlotLetsATableAttachToAnOpenOne)
{
    auto a = MakeNameTable();
    a->SetAttachMaxCount(2);
    a->Open();
    AddRow(*a, "x", 1);
    TzelMemTable b(nullptr);
    b.SetAttachedTo(a.get());
    EXPECT_EQ(b.AttachedTo(), a.get());
    b.Open();
    ASSERT_FALSE(b.IsEmpty()) << "the records already there show at once";
    EXPECT_EQ(b.FieldByName("Nome")->AsString(), "x");
    EXPECT_EQ(b.RecNo(), 1);
    EXPECT_EQ(ScanField(b, "Nome"), (std::vector<std::string>{"x"}));
}


TEST(MemTableCursor, CompressionHooksOfLongTexts)
{
    TzelMemTable table(nullptr);
    table.SetPerformance(mtpfBalanced);
    table.FieldDefs().Add("Corto", ftString, 10);
    table.FieldDefs().Add("Lungo", ftString, 50);
    std::vector<std::string> setUp;
    table.OnSetupField = [&](TDataSet*, TField* field, std::uint8_t& flags) {
        setUp.push_back(field->FieldName());
        flags |= zelFieldCompressed;
    };
    // The stored form is the text reversed, without its terminator.
    table.OnCompressField = [](TDataSet*, TField*, const char* buffer, int size,
                               std::string& result) {
        result.assign(buffer, strnlen(buffer, static_cast<std::size_t>(size)));
        std::reverse(result.begin(), result.end());
    };
    table.OnDecompressField = [](TDataSet*, TField*, const char* buffer, int size,
                                 std::string& result) {
        result.assign(buffer, static_cast<std::size_t>(size));
        std::reverse(result.begin(), result.end());
    };
    table.Open();
    EXPECT_EQ(setUp, (std::vector<std::string>{"Lungo"})) << "only variable-length fields";
    table.Append();
    table.FieldByName("Corto")->SetAsString("c");
    table.FieldByName("Lungo")->SetAsString("abcdef");
    table.Post();
    table.First();
    EXPECT_EQ(table.FieldByName("Lungo")->AsString(), "abcdef");
    const char* slot = table.Common()->GetFieldPointer(table.GetActiveRecord(), 2);
    const char* block = table.Common()->GetVarLengthBlock(table.GetActiveRecord(), 2);
    EXPECT_EQ(slot[0], 2);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::string(TzelCommon::VarLengthBlockData(block),
                          static_cast<std::size_t>(TzelCommon::VarLengthBlockSize(block))),
              "fedcba");
    table.OnCompressField = nullptr;
    table.OnDecompressField = nullptr;
    table.OnSetupField = nullptr;
}

TEST(MemTableCursor, AFieldListWithACalculatedFieldRecalculatesOnIndex)
{
    TzelMemTable table(nullptr);
    auto* number = new TIntegerField(&table);
    number->SetFieldName("Numero");
    number->SetDataSet(&table);
    auto* calculated = new TIntegerField(&table);
    calculated->SetFieldName("Calcolato");
    calculated->SetFieldKind(fkCalculated);
    calculated->SetDataSet(&table);
    table.Open();
    TzelFieldList list;
    table.BuildFieldList(&list, "Numero");
    EXPECT_FALSE(table.RecalcOnIndex());
    table.BuildFieldList(&list, "Numero;Calcolato");
    EXPECT_EQ(list.GetCount(), 2);
    EXPECT_TRUE(table.RecalcOnIndex());
}


TEST(MemTableCursor, CraftedBookmarksNeverReachOutsideTheStorage)
{
    auto table = MakeRowsTable(3);
    table->SetRecNo(2);
    const TBookmark real = table->GetBookmark();
    auto with = [&](int offset, std::int32_t value) {
        TBookmark bookmark = real;
        for (int i = 0; i < 4; ++i)
            bookmark[static_cast<std::size_t>(offset + i)] =
                static_cast<char>((static_cast<std::uint32_t>(value) >> (8 * i)) & 0xFF);
        return bookmark;
    };
    const TBookmark invalid[] = {with(4, 77), with(4, -1), with(4, 0x7FFFFFFF), with(8, 0),
                                 std::string(12, '\xFF')};
    for (const TBookmark& bookmark : invalid) {
        EXPECT_FALSE(table->BookmarkValid(bookmark));
        EXPECT_EQ(table->CompareBookmarks(bookmark, real), 0);
        table->SetRecNo(3);
        table->GotoBookmark(bookmark);
        EXPECT_EQ(table->FieldByName("Nome")->AsString(), "C");
    }
    // A record identifier out of the storage is only a stale hint: the unique identifier still
    // names the record, as after packing.
    for (const TBookmark& bookmark : {with(0, 1000000), with(0, -5), with(0, 0)}) {
        EXPECT_TRUE(table->BookmarkValid(bookmark));
        table->SetRecNo(3);
        table->GotoBookmark(bookmark);
        EXPECT_EQ(table->FieldByName("Nome")->AsString(), "B");
    }
}


TEST(MemTableAttach, PostingARecordAnotherTableDeletedFailsAndLeavesTheEdit)
{
    auto a = MakeNameTable();
    a->SetAttachMaxCount(2);
    TzelMemTable b(nullptr);
    b.SetAttachedTo(a.get());
    a->Open();
    b.Open();
    AddRow(*a, "first", 1);
    AddRow(*a, "second", 2);
    b.First();
    b.Edit();
    b.FieldByName("Numero")->SetAsInteger(10);
    a->First();
    a->Delete();
    ExpectFailure([&] { b.Post(); }, "EDatabaseError", "Record not found");
    EXPECT_EQ(b.State(), dsEdit);
    b.Cancel();
    EXPECT_EQ(ScanField(*a, "Numero"), (std::vector<std::string>{"2"}));
    EXPECT_EQ(ScanField(b, "Nome"), (std::vector<std::string>{"second"}));
}

} // namespace

namespace {

int StoredNumber(TzelMemTable& table, TzelRecord* record)
{
    int value = 0;
    std::memcpy(&value, table.Common()->GetFieldPointer(record, 2) + 1, 4);
    return value;
}

TEST(MemTableCursor, VersionsKeepThePreviousStateOfEditedAndDeletedRecords)
{
    auto table = MakeNameTable();
    table->SetEnableVersioning(true);
    table->Open();
    AddRow(*table, "a", 1);
    AddRow(*table, "b", 2);
    TzelRecord* first = table->Common()->Records(0);
    EXPECT_EQ(first->UpdateStatus, usInserted);

    table->First();
    table->Edit();
    table->FieldByName("Numero")->SetAsInteger(10);
    table->Post();
    EXPECT_EQ(first->UpdateStatus, usInserted) << "an inserted record stays inserted";

    table->Common()->Records(1)->UpdateStatus = usUnmodified;
    table->Last();
    for (int value : {20, 30}) {
        table->Edit();
        table->FieldByName("Numero")->SetAsInteger(value);
        table->Post();
    }
    TzelRecord* second = table->Common()->Records(1);
    EXPECT_EQ(second->UpdateStatus, usModified);
    ASSERT_NE(second->PreviousVersion, nullptr);
    EXPECT_EQ(StoredNumber(*table, second->PreviousVersion), 2)
        << "one version since the check point";
    EXPECT_EQ(second->PreviousVersion->PreviousVersion, nullptr);

    table->Delete();
    EXPECT_EQ(second->UpdateStatus, usDeleted);
    EXPECT_EQ(table->Common()->MarkedDeletedCount(), 1);
    EXPECT_TRUE(table->IsFiltered());
    EXPECT_EQ(table->RecordCount(), 1);
    EXPECT_EQ(ScanField(*table, "Numero"), (std::vector<std::string>{"10"}));
    ASSERT_NE(second->PreviousVersion, nullptr);
    EXPECT_EQ(StoredNumber(*table, second->PreviousVersion), 30);
    EXPECT_EQ(StoredNumber(*table, second->PreviousVersion->PreviousVersion), 2);
}

} // namespace
