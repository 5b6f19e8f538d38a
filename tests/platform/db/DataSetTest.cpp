// The data set's states, buffer ring, navigation, editing, bookmarks, calculated and lookup
// fields and filters, on the reference data set.

#include "ReferenceDataSet.h"
#include "TestSupport.h"

#include "platform/rtl/Files.h"
#include "platform/rtl/Lists.h"

#include <gtest/gtest.h>

#include <memory>
#include <numeric>

namespace {

std::vector<TColumn> StandardColumns()
{
    return {{"ID", ftInteger}, {"Name", ftString, 20}, {"Amount", ftFloat}, {"Day", ftDate}};
}

class DataSetTest : public ::testing::Test {
protected:
    std::unique_ptr<TComponent> Owner = std::make_unique<TComponent>(nullptr);
    TReferenceDataSet* Data = new TReferenceDataSet(Owner.get(), StandardColumns());

    void OpenWith(int rows)
    {
        Data->Open();
        Data->AddRows(rows);
    }
    int CurrentId() { return Data->FieldByName("ID")->AsInteger(); }
};

std::vector<int> Range(int from, int to)
{
    std::vector<int> values(static_cast<std::size_t>(to - from + 1));
    std::iota(values.begin(), values.end(), from);
    return values;
}

TEST_F(DataSetTest, OpenAndCloseWithDefaultFields)
{
    EXPECT_EQ(Data->State(), dsInactive);
    Data->Open();
    EXPECT_TRUE(Data->Active());
    EXPECT_EQ(Data->State(), dsBrowse);
    EXPECT_TRUE(Data->DefaultFields());
    ASSERT_EQ(Data->FieldCount(), 4);
    EXPECT_EQ(Data->Fields()[1]->ClassName(), "TStringField");
    EXPECT_EQ(Data->Fields()[1]->FieldNo(), 2);
    EXPECT_EQ(Data->Fields()[3]->ClassName(), "TDateField");
    EXPECT_TRUE(Data->IsEmpty());
    EXPECT_TRUE(Data->Bof());
    EXPECT_TRUE(Data->Eof());
    Data->Close();
    EXPECT_EQ(Data->State(), dsInactive);
    EXPECT_EQ(Data->FieldCount(), 0);
    EXPECT_EQ(Data->FieldDefs().Count(), 4);
}

TEST_F(DataSetTest, PersistentFieldsSurviveCloseAndKeepTheirOwner)
{
    auto* id = new TIntegerField(Owner.get());
    id->SetFieldName("ID");
    id->SetDataSet(Data);
    auto* name = new TStringField(Owner.get());
    name->SetFieldName("Name");
    name->SetSize(20);
    name->SetDataSet(Data);
    OpenWith(3);
    EXPECT_FALSE(Data->DefaultFields());
    EXPECT_EQ(Data->FieldCount(), 2);
    EXPECT_EQ(Data->FieldByName("name"), name);
    EXPECT_EQ(Data->FieldByName("Name")->AsString(), "Name1");
    ExpectDatabaseError([&] { Data->FieldByName("Amount"); }, "Field 'Amount' not found");
    Data->Close();
    EXPECT_EQ(Data->FieldCount(), 2);
    EXPECT_EQ(id->Owner(), Owner.get());
    EXPECT_EQ(id->FieldNo(), 0);
    Data->Open();
    EXPECT_EQ(Data->FieldByName("ID")->AsInteger(), 1);
}

TEST_F(DataSetTest, PersistentFieldWithoutDefinitionFailsTheOpenAndLeavesItClosed)
{
    auto* ghost = new TIntegerField(Owner.get());
    ghost->SetFieldName("Ghost");
    ghost->SetDataSet(Data);
    ExpectDatabaseError([&] { Data->Open(); }, "Field 'Ghost' not found");
    EXPECT_EQ(Data->State(), dsInactive);
    EXPECT_FALSE(Data->Active());
}

TEST_F(DataSetTest, FieldChangesOnAnOpenDataSetAreRefused)
{
    Data->Open();
    auto* field = new TIntegerField(Owner.get());
    field->SetFieldName("Extra");
    ExpectDatabaseError([&] { field->SetDataSet(Data); },
                        "Cannot perform this operation on an open dataset");
    ExpectDatabaseError([&] { Data->Fields()[0]->SetFieldName("Other"); },
                        "Cannot perform this operation on an open dataset");
}

// Two links ask for 1 and 10 buffers: the ring has 10.
TEST_F(DataSetTest, BufferRingFollowsTheLargestLink)
{
    TDataSource source(nullptr);
    TRecordingLink small;
    TRecordingLink large;
    small.SetDataSource(&source);
    large.SetBufferCount(10);
    large.SetDataSource(&source);
    source.SetDataSet(Data);
    OpenWith(25);
    EXPECT_EQ(Data->Ring(), 10);

    Data->First();
    EXPECT_EQ(Data->BufferedIds(), Range(1, 10));
    EXPECT_EQ(Data->ActiveIndex(), 0);

    EXPECT_EQ(Data->MoveBy(12), 12);
    EXPECT_EQ(Data->BufferedIds(), Range(4, 13));
    EXPECT_EQ(Data->ActiveIndex(), 9);
    EXPECT_EQ(CurrentId(), 13);
    EXPECT_EQ(Data->RecNo(), 13);
    EXPECT_EQ(large.ActiveRecord(), 9);
    EXPECT_EQ(small.ActiveRecord(), 0);
    EXPECT_EQ(small.RecordCount(), 1);

    Data->Last();
    EXPECT_EQ(Data->BufferedIds(), Range(16, 25));
    EXPECT_EQ(Data->ActiveIndex(), 9);
    EXPECT_TRUE(Data->Eof());

    EXPECT_EQ(Data->MoveBy(-3), -3);
    EXPECT_EQ(Data->BufferedIds(), Range(16, 25));
    EXPECT_EQ(Data->ActiveIndex(), 6);
    EXPECT_EQ(CurrentId(), 22);
    EXPECT_EQ(large.ActiveRecord(), 6);

    // Dropping the large link shrinks the ring around the current record.
    large.SetDataSource(nullptr);
    EXPECT_EQ(Data->Ring(), 1);
    EXPECT_EQ(Data->BufferedIds(), std::vector<int>{22});
    EXPECT_EQ(CurrentId(), 22);
}

TEST_F(DataSetTest, RingOfOneBuffer)
{
    OpenWith(25);
    EXPECT_EQ(Data->Ring(), 1);
    EXPECT_EQ(Data->MoveBy(12), 12);
    EXPECT_EQ(Data->BufferedIds(), std::vector<int>{13});
    Data->Last();
    EXPECT_EQ(CurrentId(), 25);
    Data->Prior();
    EXPECT_EQ(CurrentId(), 24);
}

struct NavigationCase {
    int Rows;
    int BufferCount;
};

class NavigationTest : public DataSetTest,
                       public ::testing::WithParamInterface<NavigationCase> {};

TEST_P(NavigationTest, FirstLastMoveByBofEof)
{
    const NavigationCase c = GetParam();
    TDataSource source(nullptr);
    TRecordingLink link;
    link.SetBufferCount(c.BufferCount);
    link.SetDataSource(&source);
    source.SetDataSet(Data);
    OpenWith(c.Rows);

    Data->First();
    EXPECT_TRUE(Data->Bof());
    EXPECT_EQ(Data->Eof(), c.Rows == 0);
    EXPECT_EQ(Data->IsEmpty(), c.Rows == 0);
    EXPECT_EQ(Data->RecordCount(), c.Rows);

    // Walking forward visits every record once, then stops at the end.
    int visited = 0;
    while (!Data->Eof()) {
        ++visited;
        EXPECT_EQ(CurrentId(), visited);
        Data->Next();
    }
    EXPECT_EQ(visited, c.Rows);
    EXPECT_EQ(Data->MoveBy(1), 0);

    Data->Last();
    EXPECT_TRUE(Data->Eof());
    EXPECT_EQ(Data->Bof(), c.Rows == 0);
    if (c.Rows > 0) {
        EXPECT_EQ(CurrentId(), c.Rows);
    }
    EXPECT_EQ(Data->MoveBy(-1000), -std::max(0, c.Rows - 1));
    EXPECT_TRUE(Data->Bof());
    EXPECT_EQ(Data->MoveBy(1000), std::max(0, c.Rows - 1));
    EXPECT_TRUE(Data->Eof());
}

INSTANTIATE_TEST_SUITE_P(Sizes, NavigationTest,
                         ::testing::Values(NavigationCase{0, 1}, NavigationCase{1, 1},
                                           NavigationCase{25, 1}, NavigationCase{0, 10},
                                           NavigationCase{1, 10}, NavigationCase{25, 10}));

TEST_F(DataSetTest, InsertInTheMiddlePutsTheNewRecordBeforeTheCurrentOne)
{
    OpenWith(5);
    Data->SetRecNo(3);
    Data->Insert();
    EXPECT_EQ(Data->State(), dsInsert);
    Data->FieldByName("ID")->SetAsInteger(100);
    Data->Post();
    EXPECT_EQ(Data->State(), dsBrowse);
    EXPECT_EQ(Data->RecNo(), 3);
    EXPECT_EQ(CurrentId(), 100);
    Data->Next();
    EXPECT_EQ(CurrentId(), 3);
    EXPECT_EQ(Data->RecordCount(), 6);
}

TEST_F(DataSetTest, AppendPutsTheRecordLastAndEditChangesIt)
{
    OpenWith(5);
    Data->First();
    Data->Append();
    Data->FieldByName("ID")->SetAsInteger(200);
    Data->FieldByName("Name")->SetAsString("Nuovo");
    Data->Post();
    EXPECT_EQ(Data->RecNo(), 6);
    EXPECT_EQ(Data->FieldByName("Name")->AsString(), "Nuovo");

    Data->Edit();
    EXPECT_EQ(Data->State(), dsEdit);
    Data->FieldByName("Name")->SetAsString("Cambiato");
    EXPECT_TRUE(Data->Modified());
    Data->Post();
    Data->First();
    Data->Last();
    EXPECT_EQ(Data->FieldByName("Name")->AsString(), "Cambiato");
    EXPECT_EQ(Data->RecordCount(), 6);
}

TEST_F(DataSetTest, CancelOfAnInsertAndOfAnEditRestoresTheRecord)
{
    OpenWith(5);
    Data->SetRecNo(2);
    Data->Insert();
    Data->FieldByName("ID")->SetAsInteger(300);
    Data->Cancel();
    EXPECT_EQ(Data->RecordCount(), 5);
    EXPECT_EQ(CurrentId(), 2);

    Data->Edit();
    Data->FieldByName("Name")->SetAsString("Temporaneo");
    Data->Cancel();
    EXPECT_EQ(Data->State(), dsBrowse);
    EXPECT_EQ(Data->FieldByName("Name")->AsString(), "Name2");
}

TEST_F(DataSetTest, CheckBrowseModePostsAModifiedRecordAndCancelsAnUnmodifiedOne)
{
    OpenWith(3);
    Data->Edit();
    Data->FieldByName("Name")->SetAsString("Scritto");
    Data->Next(); // leaves edit mode through CheckBrowseMode
    Data->Prior();
    EXPECT_EQ(Data->FieldByName("Name")->AsString(), "Scritto");
    Data->Append();
    Data->Next();
    EXPECT_EQ(Data->RecordCount(), 3);
}

struct DeleteCase {
    int RecNo;
    int RecNoAfter;
    int IdAfter;
};

class DeleteTest : public DataSetTest, public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(DeleteTest, LeavesTheRecordThatMovedIntoPlace)
{
    const DeleteCase c = GetParam();
    TDataSource source(nullptr);
    TRecordingLink link;
    link.SetBufferCount(10);
    link.SetDataSource(&source);
    source.SetDataSet(Data);
    OpenWith(25);
    Data->SetRecNo(c.RecNo);
    Data->Delete();
    EXPECT_EQ(Data->RecordCount(), 24);
    EXPECT_EQ(Data->RecNo(), c.RecNoAfter);
    EXPECT_EQ(CurrentId(), c.IdAfter);
}

INSTANTIATE_TEST_SUITE_P(FirstMiddleLast, DeleteTest,
                         ::testing::Values(DeleteCase{1, 1, 2}, DeleteCase{10, 10, 11},
                                           DeleteCase{25, 24, 24}));

TEST_F(DataSetTest, BookmarksSurviveEditsAndDeletesOfOtherRecords)
{
    OpenWith(25);
    Data->SetRecNo(10);
    const TBookmark mark = Data->GetBookmark();
    ASSERT_EQ(static_cast<int>(mark.size()), Data->BookmarkSize());
    Data->SetRecNo(5);
    Data->Edit();
    Data->FieldByName("Name")->SetAsString("Altro");
    Data->Post();
    Data->SetRecNo(3);
    Data->Delete();
    Data->GotoBookmark(mark);
    EXPECT_EQ(CurrentId(), 10);
    EXPECT_EQ(Data->RecNo(), 9);
    EXPECT_TRUE(Data->BookmarkValid(mark));

    const TBookmark later = (Data->Next(), Data->GetBookmark());
    EXPECT_EQ(Data->CompareBookmarks(mark, later), -1);
    EXPECT_EQ(Data->CompareBookmarks(later, mark), 1);

    Data->GotoBookmark(mark);
    Data->Delete();
    EXPECT_FALSE(Data->BookmarkValid(mark));
    EXPECT_EQ(Data->CompareBookmarks(mark, later), 0);
}

TEST_F(DataSetTest, NoBookmarkWhileInsertingOrEmpty)
{
    Data->Open();
    EXPECT_TRUE(Data->GetBookmark().empty());
    Data->AddRows(2);
    Data->Insert();
    EXPECT_TRUE(Data->GetBookmark().empty());
    Data->Cancel();
    // An empty bookmark goes nowhere.
    Data->Last();
    Data->GotoBookmark({});
    EXPECT_EQ(CurrentId(), 2);
}

TEST_F(DataSetTest, CalculatedAndLookupFieldsFollowScrollAndFieldChanges)
{
    TComponent lookupOwner(nullptr);
    auto* names = new TReferenceDataSet(&lookupOwner, {{"Code", ftInteger}, {"Label", ftString, 10}});
    names->Open();
    names->AppendRecord({1, "uno"});
    names->AppendRecord({2, "due"});
    names->AppendRecord({3, "tre"});

    for (const TColumn& column : StandardColumns()) {
        TField* field = DefaultFieldClass(column.Type)(Owner.get());
        field->SetFieldName(column.Name);
        if (column.Size)
            field->SetSize(column.Size);
        field->SetDataSet(Data);
    }
    auto* twice = new TFloatField(Owner.get());
    twice->SetFieldName("Twice");
    twice->SetFieldKind(fkCalculated);
    twice->SetDataSet(Data);
    auto* label = new TStringField(Owner.get());
    label->SetFieldName("Label");
    label->SetSize(10);
    label->SetFieldKind(fkLookup);
    label->SetKeyFields("ID");
    label->SetLookupDataSet(names);
    label->SetLookupKeyFields("Code");
    label->SetLookupResultField("Label");
    label->SetDataSet(Data);
    int calculations = 0;
    Data->OnCalcFields = [&](TDataSet* dataSet) {
        ++calculations;
        dataSet->FieldByName("Twice")->SetAsFloat(dataSet->FieldByName("Amount")->AsFloat() * 2);
    };

    OpenWith(4);
    EXPECT_EQ(twice->Offset(), 0);
    EXPECT_EQ(label->Offset(), 9);
    EXPECT_EQ(Data->CalcFieldsSize(), 9 + 12);
    Data->First();
    EXPECT_DOUBLE_EQ(twice->AsFloat(), 3.0);
    EXPECT_EQ(label->AsString(), "uno");
    Data->Next();
    EXPECT_DOUBLE_EQ(twice->AsFloat(), 6.0);
    EXPECT_EQ(label->AsString(), "due");
    Data->Last();
    EXPECT_TRUE(label->IsNull()); // no code 4

    Data->First();
    Data->Edit();
    calculations = 0;
    Data->FieldByName("Amount")->SetAsFloat(10);
    EXPECT_EQ(calculations, 1);
    EXPECT_DOUBLE_EQ(twice->AsFloat(), 20.0);
    Data->FieldByName("ID")->SetAsInteger(3);
    EXPECT_EQ(label->AsString(), "tre");
    Data->Cancel();
    EXPECT_EQ(label->AsString(), "uno");
    Data->Close();
}

TEST_F(DataSetTest, OnFilterRecordHidesRecords)
{
    OpenWith(10);
    Data->OnFilterRecord = [](TDataSet* dataSet, bool& accept) {
        accept = dataSet->FieldByName("ID")->AsInteger() % 3 == 0;
    };
    Data->SetFiltered(true);
    EXPECT_EQ(Data->RecordCount(), 3);
    std::vector<int> seen;
    for (Data->First(); !Data->Eof(); Data->Next())
        seen.push_back(CurrentId());
    EXPECT_EQ(seen, (std::vector<int>{3, 6, 9}));
    EXPECT_TRUE(Data->FindLast());
    EXPECT_EQ(CurrentId(), 9);
    EXPECT_TRUE(Data->FindPrior());
    EXPECT_EQ(CurrentId(), 6);
    EXPECT_TRUE(Data->Found());
    Data->SetFiltered(false);
    EXPECT_EQ(Data->RecordCount(), 10);
}

TEST_F(DataSetTest, LocateMovesOnlyWhenFound)
{
    OpenWith(10);
    Data->SetRecNo(4);
    EXPECT_FALSE(Data->Locate("Name", "name7", {}));
    EXPECT_EQ(CurrentId(), 4);
    EXPECT_TRUE(Data->Locate("Name", "name7", {loCaseInsensitive}));
    EXPECT_EQ(CurrentId(), 7);
    EXPECT_EQ(VarToStr(Data->Lookup("ID", 9, "Name")), "Name9");
    EXPECT_TRUE(VarIsNull(Data->Lookup("ID", 99, "Name")));
    EXPECT_EQ(CurrentId(), 7);
}

TEST_F(DataSetTest, InsertRecordAndAppendRecordGoThroughInternalAddRecord)
{
    std::vector<std::string> log;
    OpenWith(3);
    Data->SetRecNo(2);
    Data->Log = &log;
    Data->InsertRecord({50, "Inserito", 1.25});
    EXPECT_EQ(std::count(log.begin(), log.end(), "InternalAddRecord(insert)"), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "InternalPost"), 0);
    EXPECT_EQ(Data->RecNo(), 2);
    EXPECT_EQ(Data->FieldByName("Name")->AsString(), "Inserito");
    EXPECT_TRUE(Data->FieldByName("Day")->IsNull());
    Data->AppendRecord({60, "Aggiunto"});
    EXPECT_EQ(std::count(log.begin(), log.end(), "InternalAddRecord(append)"), 1);
    EXPECT_EQ(Data->RecNo(), 5);
    Data->Log = nullptr;
}

TEST_F(DataSetTest, OldAndNewValuesOfAnEdit)
{
    OpenWith(2);
    Data->Edit();
    TField* name = Data->FieldByName("Name");
    name->SetAsString("Nuovo");
    EXPECT_EQ(VarToStr(name->OldValue()), "Name1");
    EXPECT_EQ(VarToStr(name->CurValue()), "Name1");
    EXPECT_EQ(VarToStr(name->NewValue()), "Nuovo");
    EXPECT_EQ(Data->State(), dsEdit);
    EXPECT_TRUE(Data->Modified());
    Data->Post();
    EXPECT_EQ(VarToStr(name->OldValue()), "Nuovo");
}

TEST_F(DataSetTest, ClearFieldsEmptiesTheRecordBeingEdited)
{
    OpenWith(2);
    ExpectDatabaseError([&] { Data->ClearFields(); }, "Dataset not in edit or insert mode");
    Data->Edit();
    Data->ClearFields();
    EXPECT_TRUE(Data->FieldByName("Name")->IsNull());
    Data->Cancel();
    EXPECT_EQ(Data->FieldByName("Name")->AsString(), "Name1");
}

TEST_F(DataSetTest, MisuseRaisesAndLeavesTheDataSetAsItWas)
{
    ExpectDatabaseError([&] { Data->First(); }, "Cannot perform this operation on a closed dataset");
    Data->Open();
    ExpectDatabaseError([&] { Data->Delete(); }, "Cannot perform this operation on an empty dataset");
    ExpectDatabaseError([&] { Data->Post(); }, "Dataset not in edit or insert mode");
    Data->AddRows(3);
    Data->SetRecNo(2);
    Data->ReadOnly = true;
    ExpectDatabaseError([&] { Data->Edit(); }, "Cannot modify a read-only dataset");
    ExpectDatabaseError([&] { Data->Insert(); }, "Cannot modify a read-only dataset");
    ExpectDatabaseError([&] { Data->Append(); }, "Cannot modify a read-only dataset");
    EXPECT_EQ(Data->State(), dsBrowse);
    EXPECT_EQ(CurrentId(), 2);
    // A field write outside an editing state is the data set's own check.
    ExpectDatabaseError([&] { Data->FieldByName("Name")->SetAsString("x"); },
                        "Dataset is not in edit mode.");
}

TEST_F(DataSetTest, NamedDataSetPrefixesItsMessages)
{
    Data->SetName("Tabella");
    ExpectDatabaseError([&] { Data->Next(); },
                        "Tabella: Cannot perform this operation on a closed dataset");
}

TEST_F(DataSetTest, RequiredFieldRefusesThePostAndKeepsTheTypedValues)
{
    auto* data = new TReferenceDataSet(Owner.get(), {{"ID", ftInteger}, {"Name", ftString, 10, true}});
    data->Open();
    data->Append();
    data->FieldByName("ID")->SetAsInteger(7);
    ExpectDatabaseError([&] { data->Post(); }, "Field 'Name' must have a value");
    EXPECT_EQ(data->State(), dsInsert);
    EXPECT_EQ(data->FieldByName("ID")->AsInteger(), 7);
    data->FieldByName("Name")->SetAsString("ok");
    data->Post();
    EXPECT_EQ(data->RecordCount(), 1);
}

TEST_F(DataSetTest, PostErrorHandlerRetriesOrAborts)
{
    auto* data = new TReferenceDataSet(Owner.get(), {{"ID", ftInteger}, {"Name", ftString, 10, true}});
    data->Open();
    int calls = 0;
    data->OnPostError = [&](TDataSet* dataSet, EDatabaseError&, TDataAction& action) {
        ++calls;
        dataSet->FieldByName("Name")->SetAsString("fixed");
        action = daRetry;
    };
    data->Append();
    data->Post();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(data->FieldByName("Name")->AsString(), "fixed");

    data->OnPostError = [&](TDataSet*, EDatabaseError&, TDataAction& action) { action = daAbort; };
    data->Append();
    EXPECT_THROW(data->Post(), EAbort);
    EXPECT_EQ(data->State(), dsInsert);
}

TEST_F(DataSetTest, OnNewRecordFailureReturnsToBrowse)
{
    OpenWith(3);
    Data->SetRecNo(2);
    Data->OnNewRecord = [](TDataSet*) { DatabaseError("no"); };
    ExpectDatabaseError([&] { Data->Insert(); }, "no");
    EXPECT_EQ(Data->State(), dsBrowse);
    EXPECT_EQ(CurrentId(), 2);
    EXPECT_EQ(Data->RecordCount(), 3);
}

TEST_F(DataSetTest, BlobFieldsReadAndWriteThroughTheBlobStream)
{
    auto* data = new TReferenceDataSet(Owner.get(), {{"ID", ftInteger}, {"Notes", ftMemo}});
    data->Open();
    auto* notes = dynamic_cast<TMemoField*>(data->FieldByName("Notes"));
    ASSERT_NE(notes, nullptr);
    EXPECT_TRUE(notes->IsBlob());
    data->Append();
    EXPECT_EQ(notes->DisplayText(), "(Memo)");
    notes->SetAsString("prima riga\r\nseconda");
    EXPECT_EQ(notes->DisplayText(), "(MEMO)");
    data->Post();
    EXPECT_EQ(notes->AsString(), "prima riga\r\nseconda");
    EXPECT_EQ(notes->BlobSize(), 19);
    TMemoryStream out;
    notes->SaveToStream(out);
    EXPECT_EQ(out.Size(), 19);
    ExpectDatabaseError([&] { notes->SetAsString("x"); }, "Dataset is not in edit mode.");
    data->Edit();
    notes->SetAsString("");
    data->Post();
    EXPECT_TRUE(notes->IsNull());
}

TEST_F(DataSetTest, RefusedInsertPutsTheBuffersBack)
{
    TDataSource source(nullptr);
    TRecordingLink link;
    link.SetBufferCount(10);
    link.SetDataSource(&source);
    source.SetDataSet(Data);
    OpenWith(25);
    Data->SetRecNo(12);
    const std::vector<int> ring = Data->BufferedIds();
    const int active = Data->ActiveIndex();
    Data->FailOperation = "InternalInsert";
    for (int attempt = 0; attempt < 2; ++attempt) {
        Data->FailCount = 1;
        if (attempt == 0)
            ExpectDatabaseError([&] { Data->Insert(); }, "refused");
        else
            ExpectDatabaseError([&] { Data->Append(); }, "refused");
        EXPECT_EQ(Data->State(), dsBrowse);
        EXPECT_EQ(Data->BufferedIds(), ring);
        EXPECT_EQ(Data->ActiveIndex(), active);
        EXPECT_EQ(CurrentId(), 12);
    }
}

TEST_F(DataSetTest, ExactResyncOnAMissingRecordFails)
{
    OpenWith(3);
    ExpectDatabaseError([&] { Data->ResyncAt(100); }, "Record not found");
}

TEST_F(DataSetTest, ActiveSetWhileLoadingOpensInLoaded)
{
    Data->IncludeState(csLoading);
    Data->SetActive(true);
    EXPECT_FALSE(Data->Active());
    auto* id = new TIntegerField(Owner.get());
    id->SetFieldName("ID");
    id->SetDataSet(Data);
    Data->Loaded();
    EXPECT_TRUE(Data->Active());
    EXPECT_EQ(Data->FieldCount(), 1);
    Data->IncludeState(csLoading);
    Data->Close();
    EXPECT_FALSE(Data->Active());
    Data->Loaded();
    EXPECT_FALSE(Data->Active());
}

TEST_F(DataSetTest, FieldNamesAndValuesOfSeveralFields)
{
    TStringList names;
    Data->GetFieldNames(&names);
    EXPECT_EQ(names.CommaText(), "ID,Name,Amount,Day");
    OpenWith(2);
    Data->FieldByName("Amount")->SetIndex(0);
    Data->GetFieldNames(&names);
    EXPECT_EQ(names.CommaText(), "Amount,ID,Name,Day");
    const Variant values = Data->FieldValues("ID; Name");
    ASSERT_TRUE(VarIsArray(values));
    EXPECT_EQ(VarToStr(values[0]), "1");
    EXPECT_EQ(VarToStr(values[1]), "Name1");
    Data->Edit();
    Data->SetFieldValues("Name;ID", VarArrayOf({"Altro", 9}));
    EXPECT_EQ(CurrentId(), 9);
    EXPECT_EQ(Data->FieldByName("Name")->AsString(), "Altro");
    EXPECT_EQ(Data->FieldByNumber(2), Data->FieldByName("Name"));
    ExpectDatabaseError([&] { (void)Data->FieldValues("ID;Nessuno"); }, "Field 'Nessuno' not found");
}

TEST_F(DataSetTest, LinkAskingForMoreBuffersWhileOpenGrowsTheRing)
{
    TDataSource source(nullptr);
    TRecordingLink link;
    link.SetDataSource(&source);
    source.SetDataSet(Data);
    OpenWith(10);
    Data->SetRecNo(6);
    link.SetBufferCount(5);
    EXPECT_EQ(Data->Ring(), 5);
    EXPECT_EQ(Data->Buffered(), 5);
    EXPECT_EQ(CurrentId(), 6);
    EXPECT_EQ(link.RecordCount(), 5);
    EXPECT_EQ(Data->BufferedIds()[static_cast<std::size_t>(link.ActiveRecord())], 6);
}

TEST_F(DataSetTest, BlobFieldFilesAreWrittenWhole)
{
    const std::string folder = ::testing::TempDir();
    const std::string source = folder + "tess_db_blob_in.bin";
    const std::string target = folder + "tess_db_blob_out.bin";
    {
        TFileStream file(source, fmCreate);
        file.WriteBuffer("\x00\x01" "binary\xFF", 9);
    }
    auto* data = new TReferenceDataSet(Owner.get(), {{"ID", ftInteger}, {"Picture", ftGraphic}});
    data->Open();
    data->Append();
    auto* picture = static_cast<TBlobField*>(data->FieldByName("Picture"));
    picture->LoadFromFile(source);
    data->Post();
    EXPECT_EQ(picture->BlobSize(), 9);
    picture->SaveToFile(target);
    TMemoryStream copy;
    copy.LoadFromFile(target);
    EXPECT_EQ(std::string(copy.Memory(), 9), std::string("\x00\x01" "binary\xFF", 9));
    EXPECT_THROW(picture->LoadFromFile(folder + "tess_db_missing.bin"), EFOpenError);
    DeleteFile(source);
    DeleteFile(target);
}

} // namespace

namespace {

// Fields and data sets owned by one form may go in either order without a double free.
TEST(DataSetOwnershipTest, OwnerFreesDataSetsAndFieldsInEitherOrder)
{
    for (bool dataSetFirst : {true, false}) {
        SCOPED_TRACE(dataSetFirst);
        auto form = std::make_unique<TComponent>(nullptr);
        TReferenceDataSet* data = nullptr;
        if (!dataSetFirst) {
            // Fields created before the data set are freed after it.
            auto* early = new TIntegerField(form.get());
            early->SetFieldName("ID");
            data = new TReferenceDataSet(form.get(), StandardColumns());
            early->SetDataSet(data);
        } else {
            data = new TReferenceDataSet(form.get(), StandardColumns());
            auto* late = new TIntegerField(form.get());
            late->SetFieldName("ID");
            late->SetDataSet(data);
        }
        data->Open();
        data->AddRows(2);
        EXPECT_EQ(form->ComponentCount(), 2);
        form.reset();
    }
}

TEST(DataSetOwnershipTest, FreeingTheDataSetFreesItsPersistentFields)
{
    TComponent form(nullptr);
    auto* data = new TReferenceDataSet(&form, StandardColumns());
    auto* field = new TStringField(&form);
    field->SetFieldName("Name");
    field->SetDataSet(data);
    data->Open();
    TComponent::Free(data);
    EXPECT_EQ(form.ComponentCount(), 0);
}

TEST(DataSetOwnershipTest, FreeingAFieldClosesItsDataSet)
{
    TComponent form(nullptr);
    auto* data = new TReferenceDataSet(&form, StandardColumns());
    auto* field = new TStringField(&form);
    field->SetFieldName("Name");
    field->SetDataSet(data);
    data->Open();
    TComponent::Free(field);
    EXPECT_FALSE(data->Active());
    EXPECT_EQ(data->FieldCount(), 0);
}

TEST(DataSetOwnershipTest, LookupFieldForgetsAFreedLookupDataSet)
{
    TComponent form(nullptr);
    auto* names = new TReferenceDataSet(&form, {{"Code", ftInteger}});
    auto* data = new TReferenceDataSet(&form, StandardColumns());
    auto* label = new TStringField(&form);
    label->SetFieldName("Label");
    label->SetFieldKind(fkLookup);
    label->SetLookupDataSet(names);
    label->SetDataSet(data);
    TComponent::Free(names);
    EXPECT_EQ(label->LookupDataSet(), nullptr);
    ExpectDatabaseError([&] { data->Open(); },
                        "Lookup information for field 'Label' is incomplete");
    EXPECT_FALSE(data->Active());
}

class TExposedDataSet : public TReferenceDataSet {
public:
    using TReferenceDataSet::TReferenceDataSet;
    void Report() { InternalHandleException(); }
};

TEST(DataSetOwnershipTest, InternalHandleExceptionGoesToTheApplicationHandler)
{
    std::string reported;
    TApplicationExceptionHandler previous = SetApplicationExceptionHandler(
        [&](TObject*, const Exception& e) { reported = e.Message; });
    TExposedDataSet data(nullptr, StandardColumns());
    try {
        DatabaseError("guasto");
    } catch (...) {
        data.Report();
    }
    SetApplicationExceptionHandler(previous);
    EXPECT_EQ(reported, "guasto");
}

} // namespace
