// Record versions, nested transactions, checkpoints, packing and the delta handler of the memory
// table, with a model test of random operations.

#include "tests/TestScale.h"
#include "MemTableTestSupport.h"

#include "tablestore/zelCustomDeltaHandler.h"

#include <map>
#include <random>

namespace {

std::unique_ptr<TzelMemTable> MakeVersionedTable(TzelVersioningMode mode, int rows)
{
    auto table = MakeNameTable();
    table->Open();
    for (int n = 1; n <= rows; ++n)
        AddRow(*table, "R" + std::to_string(n), n);
    table->SetVersioningMode(mode);
    table->SetEnableVersioning(true);
    return table;
}

void EditNome(TDataSet& table, const std::string& value)
{
    table.Edit();
    table.FieldByName("Nome")->SetAsString(value);
    table.Post();
}

std::vector<std::string> NamesInRowOrder(TDataSet& table)
{
    return ScanField(table, "Nome");
}

} // namespace

TEST(Versions, OneSinceCheckPointKeepsTheCheckPointState)
{
    auto table = MakeVersionedTable(mtvm1SinceCheckPoint, 2);
    table->First();
    for (const char* value : {"a", "b", "c"})
        EditNome(*table, value);
    EXPECT_EQ(table->GetVersionCount(), 2);
    EXPECT_EQ(table->GetVersionFieldData(table->FieldByName("Nome"), 1), Variant("R1"));
    EXPECT_EQ(table->GetVersionStatus(0), usModified);
    EXPECT_EQ(table->GetVersionStatus(99), usUnmodified);
    // Inserted under versioning: stays inserted, no version from its edits.
    AddRow(*table, "N", 9);
    EditNome(*table, "N2");
    EXPECT_EQ(table->GetVersionCount(), 1);
    EXPECT_EQ(table->GetVersionStatus(0), usInserted);
}

TEST(Versions, AllSinceCheckPointKeepsEveryState)
{
    auto table = MakeVersionedTable(mtvmAllSinceCheckPoint, 2);
    table->First();
    for (const char* value : {"a", "b", "c"})
        EditNome(*table, value);
    EXPECT_EQ(table->GetVersionCount(), 4);
    TField* nome = table->FieldByName("Nome");
    EXPECT_EQ(table->GetVersionFieldData(nome, 0), Variant("c"));
    EXPECT_EQ(table->GetVersionFieldData(nome, 1), Variant("b"));
    EXPECT_EQ(table->GetVersionFieldData(nome, 3), Variant("R1"));
    EXPECT_EQ(table->GetVersionFieldData(nome, -1), Variant("c"));
    EXPECT_EQ(table->GetVersionStatus(99), usUnmodified);
    // In edit, the old value reads the oldest version.
    table->Edit();
    nome->SetAsString("d");
    EXPECT_EQ(nome->OldValue(), Variant("R1"));
    table->Cancel();

    auto closed = MakeNameTable();
    ExpectFailure([&] { closed->GetVersionCount(); }, "EMemTableError", "No current record.");
    auto empty = MakeNameTable();
    empty->Open();
    ExpectFailure([&] { empty->GetVersionStatus(0); }, "EMemTableError", "No current record.");
}

TEST(Transactions, LevelsAndRefusals)
{
    auto closed = MakeNameTable();
    EXPECT_NO_THROW(closed->StartTransaction());
    auto plain = MakeNameTable();
    plain->Open();
    ExpectFailure([&] { plain->StartTransaction(); }, "EMemTableError",
                  "Transactioning requires multiversion versioning.");
    auto one = MakeVersionedTable(mtvm1SinceCheckPoint, 1);
    ExpectFailure([&] { one->StartTransaction(); }, "EMemTableError",
                  "Transactioning requires multiversion versioning.");

    auto table = MakeVersionedTable(mtvmAllSinceCheckPoint, 3);
    table->Commit();
    table->Rollback();
    EXPECT_EQ(table->TransactionLevel(), 0);
    table->StartTransaction();
    table->StartTransaction();
    EXPECT_EQ(table->TransactionLevel(), 2);
    table->Commit();
    EXPECT_EQ(table->TransactionLevel(), 1);
    table->Rollback();
    EXPECT_EQ(table->TransactionLevel(), 0);
}

TEST(Transactions, RollbackUndoesInsertDeleteEditAndCommittedInnerChanges)
{
    auto table = MakeVersionedTable(mtvmAllSinceCheckPoint, 3);
    table->StartTransaction();
    AddRow(*table, "N", 4);
    table->First();
    table->Delete();
    EditNome(*table, "X"); // R2
    table->StartTransaction();
    table->Last();
    EditNome(*table, "Y");
    table->Commit();
    EXPECT_EQ(NamesInRowOrder(*table), (std::vector<std::string>{"X", "R3", "Y"}));
    table->Rollback();
    EXPECT_EQ(NamesInRowOrder(*table), (std::vector<std::string>{"R1", "R2", "R3"}));
    EXPECT_EQ(table->RecordCount(), 3);
}

// A row order unlike the storage order: a reused slot and a row inserted in the middle.
std::unique_ptr<TzelMemTable> MixedRowOrder()
{
    auto table = MakeNameTable();
    table->Open();
    for (int n = 1; n <= 4; ++n)
        AddRow(*table, "R" + std::to_string(n), n);
    table->Locate("Nome", Variant("R2"), {});
    table->Delete();
    AddRow(*table, "A", 5);
    table->Locate("Nome", Variant("R3"), {});
    table->Insert();
    table->FieldByName("Nome")->SetAsString("M");
    table->Post();
    EXPECT_EQ(NamesInRowOrder(*table), (std::vector<std::string>{"R1", "M", "R3", "R4", "A"}));
    table->SetVersioningMode(mtvmAllSinceCheckPoint);
    table->SetEnableVersioning(true);
    return table;
}

void InsertEditAndDelete(TzelMemTable& table)
{
    table.Locate("Nome", Variant("R4"), {});
    table.Insert();
    table.FieldByName("Nome")->SetAsString("N");
    table.Post();
    table.Locate("Nome", Variant("R3"), {});
    EditNome(table, "X");
    table.Locate("Nome", Variant("M"), {});
    table.Delete();
}

TEST(Transactions, RowOrderSurvivesRollbackAndCommit)
{
    auto rolledBack = MixedRowOrder();
    rolledBack->StartTransaction();
    InsertEditAndDelete(*rolledBack);
    EXPECT_EQ(NamesInRowOrder(*rolledBack), (std::vector<std::string>{"R1", "X", "N", "R4", "A"}));
    rolledBack->Rollback();
    EXPECT_EQ(NamesInRowOrder(*rolledBack), (std::vector<std::string>{"R1", "M", "R3", "R4", "A"}));

    auto committed = MixedRowOrder();
    committed->StartTransaction();
    InsertEditAndDelete(*committed);
    committed->Commit();
    EXPECT_EQ(NamesInRowOrder(*committed), (std::vector<std::string>{"R1", "X", "N", "R4", "A"}));

    // Nested: the inner commit keeps the order, the outer rollback brings back the first one.
    auto nested = MixedRowOrder();
    nested->StartTransaction();
    nested->StartTransaction();
    InsertEditAndDelete(*nested);
    nested->Commit();
    EXPECT_EQ(NamesInRowOrder(*nested), (std::vector<std::string>{"R1", "X", "N", "R4", "A"}));
    nested->Rollback();
    EXPECT_EQ(NamesInRowOrder(*nested), (std::vector<std::string>{"R1", "M", "R3", "R4", "A"}));
}

TEST(CheckPoints, FreesDeletedSlotsAndResetsStatuses)
{
    auto table = MakeVersionedTable(mtvmAllSinceCheckPoint, 4);
    table->First();
    table->Delete();
    EditNome(*table, "X");
    AddRow(*table, "N", 5);
    std::vector<int> progress;
    table->SetProgressFlags({mtpcCheckPoint});
    table->OnProgress = [&](TDataSet*, int p, TzelProgressCode code) {
        if (code == mtpcCheckPoint)
            progress.push_back(p);
    };
    table->CheckPoint();
    EXPECT_EQ(progress.front(), 0);
    EXPECT_EQ(progress.back(), 100);
    EXPECT_EQ(table->Common()->MarkedDeletedCount(), 0);
    EXPECT_FALSE(table->IsFiltered());
    table->SetStatusFilter({usUnmodified});
    EXPECT_EQ(table->RecordCount(), 4);
    table->SetStatusFilter({});
    table->First();
    EXPECT_EQ(table->GetVersionCount(), 1);
    // The deleted record's slot is reused.
    AddRow(*table, "Z", 6);
    EXPECT_EQ(table->Common()->Records(0)->UniqueID, table->Common()->NextUniqueID() - 1);

    auto owner = MakeNameTable();
    owner->SetAttachMaxCount(2);
    auto attached = std::make_unique<TzelMemTable>(nullptr);
    attached->SetAttachedTo(owner.get());
    attached->Open();
    ExpectFailure([&] { attached->CheckPoint(); }, "EMemTableError",
                  "Cannot checkpoint attached table.");
}

TEST(CheckPoints, PackTableRenumbersAndKeepsBookmarks)
{
    auto table = MakeVersionedTable(mtvmAllSinceCheckPoint, 6);
    table->First();
    table->Delete();
    table->Next();
    table->Delete();
    table->Last();
    const TBookmark mark = table->GetBookmark();
    const std::string name = table->FieldByName("Nome")->AsString();
    table->First();
    table->PackTable();
    TzelCommon* storage = table->Common();
    EXPECT_EQ(storage->RecordCount(), 4);
    for (int i = 0; i < 4; ++i) {
        ASSERT_NE(storage->Records(i), nullptr);
        EXPECT_EQ(storage->Records(i)->RecordID, i);
        EXPECT_EQ(storage->Records(i)->UpdateStatus, usUnmodified);
    }
    EXPECT_EQ(storage->DeletedRecordCount(), 0);
    table->GotoBookmark(mark);
    EXPECT_EQ(table->FieldByName("Nome")->AsString(), name);
}

namespace {

class TRecordingHandler : public TzelCustomDeltaHandler {
public:
    using TzelCustomDeltaHandler::TzelCustomDeltaHandler;
    std::vector<std::string> Calls;
    void InsertRecord() override { Record("I"); }
    void DeleteRecord() override { Record("D"); }
    void ModifyRecord() override { Record("M"); }
    void UnmodifiedRecord() override { Record("U"); }

private:
    void Record(const std::string& kind)
    {
        Calls.push_back(kind + ":" + VarToStr(GetOrigValuesByName("Nome")) + ">" +
                        VarToStr(GetValuesByName("Nome")) + "#" +
                        std::to_string(GetUniqueRecordID()));
    }
};

} // namespace

TEST(DeltaHandler, ResolveReportsEachKindOfChange)
{
    auto table = MakeVersionedTable(mtvm1SinceCheckPoint, 3);
    AddRow(*table, "Ins", 4);
    table->Delete(); // inserted and deleted
    AddRow(*table, "Ins2", 5);
    EditNome(*table, "Ins3"); // inserted and edited
    table->First();
    EditNome(*table, "Mod"); // R1 edited
    table->Next();
    table->Delete(); // R2 deleted
    TRecordingHandler handler(nullptr);
    ExpectFailure([&] { handler.Resolve(); }, "EMemTableError",
                  "Delta handler is not assigned to any memorytables.");
    table->SetDeltaHandler(&handler);
    EXPECT_EQ(handler.Table(), table.get());
    handler.Resolve();
    EXPECT_EQ(handler.Calls, (std::vector<std::string>{"M:R1>Mod#0", "D:R2>R2#1", "U:R3>R3#2",
                                                        "U:Ins>Ins#3", "I:Ins3>Ins3#4"}));
    EXPECT_EQ(handler.GetFieldCount(), 2);
    EXPECT_EQ(handler.GetFieldNames(1), "Numero");
    table.reset();
    EXPECT_EQ(handler.Table(), nullptr);

    auto other = MakeNameTable();
    {
        TRecordingHandler shortLived(nullptr);
        other->SetDeltaHandler(&shortLived);
    }
    EXPECT_EQ(other->DeltaHandler(), nullptr);
}

// Random operations on a versioned table against a model of the visible rows (by key) and a
// stack of snapshots, one per open transaction. Rows are compared by key: after a rollback the
// row order follows the rebuilt indexes.
TEST(VersionModel, RandomOperationsMatchTheModel)
{
    using Rows = std::map<int, std::pair<std::string, TUpdateStatus>>;
    for (unsigned randomStart = 1; randomStart <= 20u * TestScale(); ++randomStart) {
        auto table = MakeNameTable();
        table->SetVersioningMode(mtvmAllSinceCheckPoint);
        table->SetEnableVersioning(true);
        table->Open();
        std::mt19937 random(randomStart);
        Rows model;
        std::vector<Rows> snapshots;
        int nextKey = 1;
        std::string trace;
        auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
        auto anyKey = [&] {
            auto it = model.begin();
            std::advance(it, pick(static_cast<int>(model.size())));
            return it->first;
        };
        auto goTo = [&](int key) {
            ASSERT_TRUE(table->Locate("Numero", key, {})) << "random start " << randomStart << trace;
        };
        for (int step = 0; step < 1000; ++step) {
            const int op = pick(10);
            const std::string value = std::to_string(step);
            std::string what;
            if (op <= 1 || model.empty()) {
                what = "append";
                AddRow(*table, "a" + value, nextKey);
                model[nextKey++] = {"a" + value, usInserted};
            } else if (op == 2) {
                what = "insert";
                table->First();
                table->MoveBy(pick(static_cast<int>(model.size())));
                table->Insert();
                table->FieldByName("Nome")->SetAsString("i" + value);
                table->FieldByName("Numero")->SetAsInteger(nextKey);
                table->Post();
                model[nextKey++] = {"i" + value, usInserted};
            } else if (op == 3) {
                what = "edit";
                const int key = anyKey();
                goTo(key);
                EditNome(*table, "e" + value);
                model[key] = {"e" + value, usModified};
            } else if (op == 4) {
                what = "delete";
                const int key = anyKey();
                goTo(key);
                table->Delete();
                model.erase(key);
            } else if (op == 5 && snapshots.size() < 3) {
                what = "start";
                table->StartTransaction();
                snapshots.push_back(model);
            } else if (op == 6 && !snapshots.empty()) {
                what = "commit";
                table->Commit();
                snapshots.pop_back();
            } else if (op == 7 && !snapshots.empty()) {
                what = "rollback";
                table->Rollback();
                model = snapshots.back();
                snapshots.pop_back();
            } else if (op == 8 && snapshots.empty()) {
                what = "checkpoint";
                table->CheckPoint();
                for (auto& entry : model)
                    entry.second.second = usUnmodified;
            } else {
                continue;
            }
            trace += " " + value + what;
            Rows actual;
            table->First();
            while (!table->Eof()) {
                actual[table->FieldByName("Numero")->AsInteger()] = {
                    table->FieldByName("Nome")->AsString(), table->GetVersionStatus(0)};
                table->Next();
            }
            ASSERT_TRUE(actual == model) << "random start " << randomStart << " operation " << step << " ("
                                         << what << ")\n" << trace;
        }
    }
}

#include "platform/rtl/Streams.h"
#include "tablestore/zelMemBinaryStreamFormat.h"

TEST(VersionsInBinaryFormat, DeltasRoundTripWithTheirChains)
{
    auto table = MakeVersionedTable(mtvmAllSinceCheckPoint, 3);
    table->First();
    EditNome(*table, "a");
    EditNome(*table, "b"); // R1: b, a, R1
    table->Next();
    table->Delete(); // R2
    AddRow(*table, "Tmp", 4);
    table->Delete(); // inserted and deleted
    AddRow(*table, "New", 5);
    TRecordingHandler before(nullptr);
    table->SetDeltaHandler(&before);
    before.Resolve();

    TzelBinaryStreamFormat format(nullptr);
    format.sfDeltas = {sfSaveDeltas, sfLoadDeltas};
    // Deleted records are saved only when the filter shows them.
    table->SetStatusFilter({usUnmodified, usModified, usInserted, usDeleted});
    int trip = 0;
    auto roundTrip = [&](TzelCustomStreamFormat& f) {
        SCOPED_TRACE("round trip " + std::to_string(++trip));
        TMemoryStream stream;
        table->SaveToStreamViaFormat(&stream, &f);
        auto loaded = std::make_unique<TzelMemTable>(nullptr);
        stream.SetPosition(0);
        try {
            loaded->LoadFromStreamViaFormat(&stream, &f);
        } catch (const Exception& e) {
            ADD_FAILURE() << e.Message;
        }
        return loaded;
    };
    auto loaded = roundTrip(format);
    TRecordingHandler after(nullptr);
    loaded->SetDeltaHandler(&after);
    after.Resolve();
    auto kinds = [](const std::vector<std::string>& calls) {
        std::vector<std::string> out;
        for (const std::string& call : calls)
            out.push_back(call.substr(0, call.find('#')));
        return out;
    };
    std::vector<std::string> expected = kinds(before.Calls);
    expected.erase(std::remove(expected.begin(), expected.end(), "U:Tmp>Tmp"), expected.end());
    EXPECT_EQ(kinds(after.Calls), expected);
    EXPECT_EQ(loaded->Common()->MarkedDeletedCount(), 1);
    loaded->First();
    EXPECT_EQ(loaded->GetVersionCount(), 3);
    EXPECT_EQ(loaded->GetVersionFieldData(loaded->FieldByName("Nome"), 1), Variant("a"));

    format.sfDontFilterDeltas = {sfSaveDontFilterDeltas};
    EXPECT_EQ(roundTrip(format)->Common()->RecordCount(), 5);
    format.sfDontFilterDeltas = {};
    format.sfDeltas = {};
    auto firstOnly = roundTrip(format);
    firstOnly->First();
    EXPECT_EQ(firstOnly->GetVersionCount(), 1);
}
