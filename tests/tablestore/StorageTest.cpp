#include "FakeTable.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

namespace {

std::string MessageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const EMemTableError& e) {
        return "EMemTableError: " + e.Message;
    } catch (const ERangeError& e) {
        return "ERangeError: " + e.Message;
    } catch (const EDatabaseError& e) {
        return "EDatabaseError: " + e.Message;
    } catch (const Exception& e) {
        return e.ClassName() + ": " + e.Message;
    }
    return "";
}

// A table and its own storage, the table attached at index 0.
struct Store {
    std::vector<std::string> log;
    FakeTable table{"A", &log};
    TzelCommon storage{&table};

    Store() { storage.AttachTable(&table); }
    ~Store() { storage.DeAttachTable(&table); }
};

TEST(StorageLayout, FiguresFollowTypesSizesAndPerformance)
{
    struct Case {
        TFieldType type;
        int size;
        TzelPerformance performance;
        bool varLength;
        bool compressed;
    };
    const Case cases[] = {
        {ftString, 20, mtpfFast, false, false},   {ftString, 20, mtpfBalanced, true, false},
        {ftString, 12, mtpfFast, false, false},   {ftString, 12, mtpfBalanced, false, false},
        {ftString, 12, mtpfSmall, false, false},  {ftString, 13, mtpfBalanced, true, false},
        {ftString, 13, mtpfSmall, true, true},    {ftBytes, 13, mtpfSmall, true, true},
        {ftVarBytes, 40, mtpfBalanced, true, false}, {ftMemo, 0, mtpfFast, true, false},
        {ftBlob, 0, mtpfSmall, true, true},       {ftInteger, 0, mtpfSmall, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(FieldTypeName(c.type) + "(" + std::to_string(c.size) + ") performance " +
                     std::to_string(c.performance));
        Store s;
        s.table.AddDef("F", c.type, c.size);
        s.table.Bind();
        s.storage.SetPerformance(c.performance);
        s.storage.LayoutRecord();
        EXPECT_EQ(s.storage.IsVarLengthField(1), c.varLength);
        EXPECT_EQ(s.storage.IsCompressedField(1), c.compressed);
        if (c.varLength) {
            EXPECT_EQ(s.storage.CalcStart(), 0);
            EXPECT_EQ(s.storage.VarLengthCount(), 1);
            EXPECT_EQ(s.storage.VarLengthAreaSize(), 9);
            EXPECT_EQ(s.storage.FieldOffset(1), s.storage.VarLengthStart());
        } else {
            EXPECT_EQ(s.storage.CalcStart(), TzelCommon::GetFieldSize(c.type, c.size) + 1);
            EXPECT_EQ(s.storage.VarLengthCount(), 0);
            EXPECT_EQ(s.storage.FieldOffset(1), 0);
        }
    }

    Store s;
    s.table.AddDef("Nome", ftString, 20);
    s.table.Bind();
    s.storage.LayoutRecord();
    EXPECT_EQ(s.storage.CalcStart(), 22);
}

TEST(StorageLayout, PartsFollowOneAnother)
{
    Store s;
    FakeTable second("B", &s.log);
    s.table.AddDef("Codice", ftInteger);
    s.table.AddDef("Nome", ftString, 30);
    s.table.AddDef("Note", ftMemo);
    s.table.AddDef("Prezzo", ftFloat);
    s.table.AddCalculated("Totale", 10);
    s.table.Bind();
    s.storage.AttachTable(&second);
    s.storage.SetPerformance(mtpfBalanced);
    s.storage.LayoutRecord();

    EXPECT_EQ(s.storage.FieldCount(), 4);
    EXPECT_EQ(s.storage.FieldOffset(1), 0);
    EXPECT_EQ(s.storage.FieldOffset(4), 5);
    EXPECT_EQ(s.storage.CalcStart(), 5 + 9);
    EXPECT_EQ(s.storage.CalcSize(), 12); // null flag, ten characters and the terminator
    EXPECT_EQ(s.storage.BookmarkStart(), s.storage.CalcStart() + 12);
    EXPECT_EQ(s.storage.BookmarkAreaSize(), 16);
    EXPECT_EQ(s.storage.VarLengthStart(), s.storage.BookmarkStart() + 16);
    EXPECT_EQ(s.storage.FieldOffset(2), s.storage.VarLengthStart());
    EXPECT_EQ(s.storage.FieldOffset(3), s.storage.VarLengthStart() + 9);
    EXPECT_EQ(s.storage.MoveSize(), s.storage.VarLengthStart());
    EXPECT_EQ(s.storage.DataSize(), s.storage.VarLengthStart() + 2 * 9);
    EXPECT_EQ(s.storage.RecordAllocSize(),
              s.storage.DataSize() + static_cast<int>(sizeof(TzelRecord)));

    TField* calculated = s.table.FieldByName("Totale");
    RecordHolder record(s.storage);
    EXPECT_EQ(s.storage.GetFieldPointer(record.get(), calculated),
              record->Data + s.storage.CalcStart() + calculated->Offset());
    EXPECT_EQ(s.storage.GetFieldPointer(nullptr, 1), nullptr);
    s.storage.DeAttachTable(&second);
}

TEST(StorageLayout, SetupFieldSeesOnlyVariableLengthTextAndBytes)
{
    for (TzelPerformance performance : {mtpfFast, mtpfBalanced}) {
        SCOPED_TRACE(performance);
        Store s;
        s.table.AddDef("Nome", ftString, 40);
        s.table.AddDef("Corto", ftString, 5);
        s.table.AddDef("Dati", ftBytes, 20);
        s.table.AddDef("Vari", ftVarBytes, 20);
        s.table.AddDef("Note", ftMemo);
        s.table.AddDef("Numero", ftInteger);
        s.table.AddCalculated("Calcolo", 30);
        s.table.Bind();
        s.table.OnSetupField = [](TField* field, std::uint8_t& flags) {
            if (field->FieldName() == "Nome")
                flags |= zelFieldCompressed;
            return true;
        };
        s.storage.SetPerformance(performance);
        s.storage.LayoutRecord();
        if (performance == mtpfFast) {
            EXPECT_TRUE(s.table.SetupFieldNames.empty());
            continue;
        }
        EXPECT_EQ(s.table.SetupFieldNames, (std::vector<std::string>{"Nome", "Dati", "Vari"}));
        EXPECT_EQ(s.storage.FieldFlags(1), zelFieldVarLength | zelFieldCompressed);
        EXPECT_EQ(s.storage.FieldFlags(3), zelFieldVarLength);
    }
}

TEST(StorageLayout, RefusedDefinitionsLeaveTheLayoutAlone)
{
    const EMemTableError error("x");
    EXPECT_EQ(error.ClassName(), "EMemTableError");
    EXPECT_TRUE(error.InheritsFrom("EDatabaseError"));

    struct Case {
        std::function<void(FakeTable&)> define;
        const char* message;
    };
    const Case cases[] = {
        {[](FakeTable&) {}, "EMemTableError: There must be at least one field"},
        {[](FakeTable& t) { t.AddDef("Foo", ftCursor); },
         "EMemTableError: Fielddef Foo Datatype 22 not supported."},
        {[](FakeTable& t) {
             t.AddDef("Nome", ftString, 10);
             t.AddDef("Foo", ftUnknown);
         },
         "EMemTableError: Fielddef Foo Datatype 0 not supported."},
        {[](FakeTable& t) {
             for (int i = 0; i < 257; ++i)
                 t.AddDef("F" + std::to_string(i), ftInteger);
         },
         "Exception: Too many fielddefs. Please raise ZEL_MAX_FIELDS value."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        Store s;
        // A good layout first; the refused one must not disturb it.
        s.table.AddDef("Primo", ftInteger);
        s.storage.LayoutRecord();
        s.table.FieldDefs().Clear();
        c.define(s.table);
        EXPECT_EQ(MessageOf([&] { s.storage.LayoutRecord(); }), c.message);
        EXPECT_EQ(s.storage.FieldCount(), 1);
        EXPECT_EQ(s.storage.CalcStart(), 5);
    }

    Store s;
    for (int i = 0; i < 256; ++i)
        s.table.AddDef("F" + std::to_string(i), ftSmallint);
    s.storage.LayoutRecord();
    EXPECT_EQ(s.storage.FieldCount(), 256);
    EXPECT_EQ(s.storage.FieldOffset(256), 255 * 3);
}

// A storage laid out with one integer field and one variable-length text field (number 2).
struct LaidOut : Store {
    explicit LaidOut(TzelPerformance performance = mtpfBalanced)
    {
        table.AddDef("Codice", ftInteger);
        table.AddDef("Nome", ftString, 40);
        table.Bind();
        storage.SetPerformance(performance);
        storage.LayoutRecord();
    }

    TzelRecord* Append(int code, const std::string& name = "")
    {
        TzelRecord* record = storage._InternalAllocRecord();
        PutFixed<std::int32_t>(storage, record, 1, code);
        if (!name.empty())
            PutVarText(storage, record, 2, name);
        storage.AppendRecord(record);
        return record;
    }
};

TEST(StorageRecords, IdentifiersFreeSlotsAndPacking)
{
    LaidOut s;
    std::vector<TzelRecord*> records;
    for (int i = 0; i < 7; ++i)
        records.push_back(s.Append(i));
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(records[i]->RecordID, i);
        EXPECT_EQ(records[i]->UniqueID, i);
        EXPECT_EQ(records[i]->Flags & zelRecordOwnsVersions, zelRecordOwnsVersions);
    }

    s.storage._InternalDeleteRecord(records[3]);
    TzelRecord* reused = s.Append(30);
    EXPECT_EQ(reused->RecordID, 3);
    EXPECT_EQ(reused->UniqueID, 7);

    s.storage._InternalDeleteRecord(records[2]);
    s.storage._InternalDeleteRecord(records[5]);
    EXPECT_EQ(s.storage.RecordCount(), 7);
    EXPECT_EQ(s.storage.DeletedRecordCount(), 2);
    TzelRecord* first = s.Append(50);
    TzelRecord* second = s.Append(20);
    EXPECT_EQ(first->RecordID, 5);
    EXPECT_EQ(second->RecordID, 2);
    EXPECT_EQ(first->UniqueID, 8);
    EXPECT_EQ(second->UniqueID, 9);

    s.storage._InternalDeleteRecord(records[0]);
    s.storage._InternalDeleteRecord(records[4]);
    s.storage.PackRecords();
    EXPECT_EQ(s.storage.RecordCount(), 5);
    EXPECT_EQ(s.storage.DeletedRecordCount(), 0);
    std::vector<int> uniques;
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(s.storage.Records(i)->RecordID, i);
        uniques.push_back(s.storage.Records(i)->UniqueID);
    }
    EXPECT_EQ(uniques, (std::vector<int>{1, 9, 7, 8, 6}));
    EXPECT_EQ(s.Append(99)->RecordID, 5);

    RecordHolder stranger(s.storage);
    EXPECT_EQ(MessageOf([&] { s.storage.DeleteRecord(stranger.get()); }),
              "EMemTableError: Invalid record ");
}

TEST(StorageRecords, CounterLimitIsCheckedBeforeStoring)
{
    LaidOut s;
    TzelRecord* kept = s.Append(1);
    s.Append(2);
    s.storage._InternalDeleteRecord(kept);
    s.storage.SetNextUniqueIDForTesting(2147483599);

    TzelRecord* fromFreeSlot = s.Append(3);
    EXPECT_EQ(fromFreeSlot->RecordID, 0);
    EXPECT_EQ(fromFreeSlot->UniqueID, 2147483599);

    RecordHolder refused(s.storage);
    EXPECT_EQ(MessageOf([&] { s.storage.AppendRecord(refused.get()); }),
              "EMemTableError: Bookmark counter is out of range. Please close and reopen table.");
    EXPECT_EQ(s.storage.RecordCount(), 2);
    EXPECT_EQ(s.storage.NextUniqueID(), 2147483600);
    EXPECT_EQ(s.storage.NextRecordID(), 2);
    EXPECT_EQ(refused->RecordID, -1);
}

TEST(StorageRecords, RecordsAllocatedAfterDeletesAreCleared)
{
    LaidOut s;
    for (int i = 0; i < 3; ++i)
        s.Append(i + 1, "Nome")->Tag = 5;
    for (int i = 0; i < 3; ++i)
        s.storage._InternalDeleteRecord(s.storage.Records(i));
    for (int i = 0; i < 3; ++i) {
        RecordHolder record(s.storage);
        EXPECT_EQ(record->RecordID, -1);
        EXPECT_EQ(record->UniqueID, -1);
        EXPECT_EQ(record->Tag, 0);
        EXPECT_EQ(record->Flags, 0);
        EXPECT_EQ(record->Data, reinterpret_cast<char*>(record.get() + 1));
        for (int offset = 0; offset < s.storage.DataSize(); ++offset)
            ASSERT_EQ(record->Data[offset], 0) << offset;
    }
}

TEST(StorageRecords, ThreadsSharingTheStorageAreSerialised)
{
    LaidOut s;
    auto store = [&](int first) {
        for (int i = 0; i < 2000; ++i) {
            TzelRecord* record = s.storage._InternalAllocRecord();
            PutFixed<std::int32_t>(s.storage, record, 1, first + i);
            s.storage.AppendRecord(record);
            if (i % 3 == 0)
                s.storage._InternalDeleteRecord(record);
        }
    };
    std::thread one(store, 0);
    std::thread two(store, 100000);
    one.join();
    two.join();
    std::set<int> uniques;
    int stored = 0;
    for (int id = 0; id < s.storage.RecordCount(); ++id) {
        if (TzelRecord* record = s.storage.Records(id)) {
            ++stored;
            EXPECT_EQ(record->RecordID, id);
            uniques.insert(record->UniqueID);
        }
    }
    EXPECT_EQ(stored, 2 * (2000 - 667));
    EXPECT_EQ(static_cast<int>(uniques.size()), stored);
    EXPECT_EQ(s.storage.NextUniqueID(), 4000);
}

TEST(StorageRecords, VersioningMarksStoredRecordsInserted)
{
    LaidOut s;
    EXPECT_EQ(s.Append(1)->UpdateStatus, usUnmodified);
    s.storage.SetEnableVersioning(true);
    EXPECT_EQ(s.Append(2)->UpdateStatus, usInserted);
}

TEST(StorageRecords, EmptyFreesEverythingAndStartsANewGeneration)
{
    LaidOut s;
    for (int i = 0; i < 5; ++i)
        s.Append(i, "Nome " + std::to_string(i));
    s.storage._InternalDeleteRecord(s.storage.Records(1));
    const std::int32_t generation = s.storage.DataID();
    s.storage._InternalEmpty();
    EXPECT_EQ(s.storage.RecordCount(), 0);
    EXPECT_EQ(s.storage.DeletedRecordCount(), 0);
    EXPECT_EQ(s.storage.NextUniqueID(), 0);
    EXPECT_EQ(s.storage.NextRecordID(), 0);
    EXPECT_NE(s.storage.DataID(), generation);
    EXPECT_NE(s.storage.GetUniqueDataID(), s.storage.DataID());
    EXPECT_EQ(s.Append(7)->RecordID, 0);
}

TEST(StorageBlocks, BlocksAreCopiedMovedAndTransferredWithoutLeaksOrSharing)
{
    LaidOut s;
    char* block = TzelCommon::CreateVarLengthBlock(0x010203);
    EXPECT_EQ(static_cast<unsigned char>(block[0]), 0x03);
    EXPECT_EQ(static_cast<unsigned char>(block[1]), 0x02);
    EXPECT_EQ(static_cast<unsigned char>(block[2]), 0x01);
    EXPECT_EQ(block[3], 0);
    EXPECT_EQ(TzelCommon::VarLengthBlockSize(block), 0x010203);
    EXPECT_EQ(TzelCommon::VarLengthBlockData(block)[0x010202], 0);
    TzelCommon::FreeVarLengthBlock(block);

    TzelRecord* stored = s.Append(1, "Rossi");
    stored->Tag = 77;
    const int slot = s.storage.FieldOffset(2);

    // A copy with blocks owns duplicates.
    RecordHolder copy{s.storage};
    s.storage._InternalFreeRecord(copy.Record, true, false);
    copy.Record = s.storage._InternalCopyRecord(stored, true);
    EXPECT_NE(TzelCommon::SlotBlock(copy->Data + slot), TzelCommon::SlotBlock(stored->Data + slot));
    EXPECT_EQ(copy->Data[slot], 2);
    EXPECT_EQ(VarText(s.storage, copy.get(), 2), "Rossi");
    EXPECT_EQ(copy->Tag, 77);
    EXPECT_EQ(copy->Flags, 0);

    // A move copies the status but no reference; the buffer then reads the stored block.
    RecordHolder buffer(s.storage);
    s.storage._InternalMoveRecord(stored, buffer.get());
    EXPECT_EQ(buffer->Data[slot], 2);
    EXPECT_EQ(TzelCommon::SlotBlock(buffer->Data + slot), nullptr);
    EXPECT_EQ(buffer->Flags, 0);
    EXPECT_EQ(buffer->RecordID, stored->RecordID);
    EXPECT_EQ(VarText(s.storage, buffer.get(), 2), "Rossi");

    // The buffer's own block goes to the stored record, which frees its old one.
    PutVarText(s.storage, buffer.get(), 2, "Bianchi");
    s.storage._InternalTransferRecord(buffer.get(), stored);
    EXPECT_EQ(TzelCommon::SlotBlock(buffer->Data + slot), nullptr);
    EXPECT_EQ(VarText(s.storage, stored, 2), "Bianchi");
    EXPECT_EQ(VarText(s.storage, buffer.get(), 2), "Bianchi");

    // Status non-zero and no block: the stored block stays.
    s.storage._InternalTransferRecord(buffer.get(), stored);
    EXPECT_EQ(VarText(s.storage, stored, 2), "Bianchi");

    // Status 0 and no block: the stored block goes.
    buffer->Data[slot] = 0;
    s.storage._InternalTransferRecord(buffer.get(), stored);
    EXPECT_EQ(TzelCommon::SlotBlock(stored->Data + slot), nullptr);
    EXPECT_EQ(stored->Data[slot], 0);

    // Copying one field's block replaces the target's.
    PutVarText(s.storage, buffer.get(), 2, "Verdi");
    s.storage._InternalCopyVarLengths(copy.get(), buffer.get());
    EXPECT_EQ(VarText(s.storage, buffer.get(), 2), "Rossi");
    s.storage._InternalFreeRecordVarLengths(buffer.get());
    EXPECT_EQ(buffer->Data[slot], 0);
    EXPECT_EQ(TzelCommon::SlotBlock(buffer->Data + slot), nullptr);
}

TEST(StorageBlocks, ReadingThroughTheStoredRecordChecksItIsStillThatRecord)
{
    LaidOut s;
    TzelRecord* stored = s.Append(1, "Rossi");
    TzelRecord* other = s.Append(2, "Verdi");
    RecordHolder buffer(s.storage);

    struct Case {
        std::int32_t recordID;
        std::int32_t uniqueID;
        bool deleteFirst;
        const char* message;
    };
    const Case cases[] = {
        {-1, 0, false, "EMemTableError: Invalid record "},
        {5, 0, false, "EMemTableError: Invalid record "},
        {1, 0, false, "EMemTableError: Invalid record "}, // slot 1 holds unique identifier 1
        {0, 0, true, "EMemTableError: Invalid record "},  // slot 0 emptied by a delete
    };
    for (const Case& c : cases) {
        s.storage._InternalMoveRecord(stored, buffer.get());
        buffer->RecordID = c.recordID;
        buffer->UniqueID = c.uniqueID;
        if (c.deleteFirst)
            s.storage._InternalDeleteRecord(stored);
        EXPECT_EQ(MessageOf([&] { s.storage.GetVarLengthBlock(buffer.get(), 2); }), c.message);
    }
    s.storage._InternalMoveRecord(other, buffer.get());
    EXPECT_EQ(VarText(s.storage, buffer.get(), 2), "Verdi");
}

TEST(StorageBlocks, DefaultCompressionKeepsTheTextAndItsTerminator)
{
    LaidOut s;
    TField* name = s.table.FieldByName("Nome");
    TField* code = s.table.FieldByName("Codice");
    char value[41] = "Rossi";
    std::string result;
    s.storage.CompressFieldBuffer(name, value, 41, result);
    EXPECT_EQ(result, std::string("Rossi", 6));
    s.storage.CompressFieldBuffer(code, value, 4, result);
    EXPECT_EQ(result, std::string("Ross", 4));
    s.storage.DecompressFieldBuffer(name, value, 41, result);
    EXPECT_EQ(result.size(), 41u);
}

TEST(StorageSettings, LocaleAutoNumbersTransactionsAndModifiedFlags)
{
    LaidOut s;
    EXPECT_EQ(s.storage.GetLocaleID(), 1024u);
    s.storage.SetLocaleID(1024);
    EXPECT_EQ(s.storage.GetLanguageID(), 0u);
    EXPECT_EQ(s.storage.GetSubLanguageID(), 1u);
    EXPECT_EQ(s.storage.GetSortID(), 0u);
    s.storage.SetSubLanguageID(1);
    s.storage.SetLanguageID(16);
    EXPECT_EQ(s.storage.GetLocaleID(), 1040u);
    s.storage.SetSortID(1);
    EXPECT_EQ(s.storage.GetLocaleID(), 66576u);

    TzelCommon fresh(&s.table);
    fresh.SetAutoIncMin(10);
    EXPECT_EQ(fresh.GetAutoIncMax(), 9);
    fresh.SetAutoIncMin(5);
    EXPECT_EQ(fresh.GetAutoIncMax(), 9);
    EXPECT_EQ(fresh.GetAutoIncMin(), 5);

    s.storage.DecTransactionLevel();
    EXPECT_EQ(s.storage.GetTransactionLevel(), 0);
    s.storage.IncTransactionLevel();
    s.storage.IncTransactionLevel();
    s.storage.DecTransactionLevel();
    EXPECT_EQ(s.storage.GetTransactionLevel(), 1);

    EXPECT_EQ(MessageOf([&] { s.storage.GetModifiedFlag(-1); }), "ERangeError: Out of range (-1)");
    EXPECT_EQ(MessageOf([&] { s.storage.GetModifiedFlag(2); }), "ERangeError: Out of range (2)");
    EXPECT_EQ(MessageOf([&] { s.storage.SetModifiedFlag(2, true); }), "ERangeError: Out of range (2)");
    const std::uint8_t before = s.storage.FieldFlags(2);
    s.storage.SetModifiedFlag(1, true);
    EXPECT_TRUE(s.storage.GetModifiedFlag(1));
    EXPECT_FALSE(s.storage.GetModifiedFlag(0));
    EXPECT_EQ(s.storage.FieldFlags(2), before | zelFieldModified);
    s.storage.SetModifiedFlag(1, false);
    EXPECT_EQ(s.storage.FieldFlags(2), before);
    s.storage.SetModifiedFlag(0, true);
    s.storage.SetIsDataModified(true);
    s.storage.LayoutRecord();
    EXPECT_FALSE(s.storage.GetModifiedFlag(0));
    EXPECT_FALSE(s.storage.GetIsDataModified());
}

TEST(StorageAttach, CapacityAttachAndDetach)
{
    Store s;
    FakeTable second("B", &s.log);
    FakeTable third("C", &s.log);
    EXPECT_EQ(s.table.AttachIndex, 0);
    EXPECT_EQ(MessageOf([&] { s.storage.SetAttachMaxCount(0); }), "EMemTableError: Invalid argument.");
    s.table.IsOpen = true;
    EXPECT_EQ(MessageOf([&] { s.storage.SetAttachMaxCount(3); }),
              "EMemTableError: Table must be closed for this operation.");
    EXPECT_EQ(MessageOf([&] { s.storage.AttachTable(&second); }),
              "EMemTableError: Table must be closed for this operation.");
    EXPECT_EQ(s.storage.GetAttachMaxCount(), 1);
    s.table.IsOpen = false;

    s.storage.AttachTable(&second);
    EXPECT_EQ(s.storage.GetAttachMaxCount(), 2);
    EXPECT_EQ(second.AttachIndex, 1);
    EXPECT_EQ(s.storage.GetAttachCount(), 2);
    EXPECT_EQ(MessageOf([&] { s.storage.SetStandalone(true); }),
              "EMemTableError: Children are attached to this table.");
    EXPECT_EQ(MessageOf([&] { s.storage.SetAttachMaxCount(1); }), "EMemTableError: Invalid argument.");

    s.storage.DeAttachTable(&second);
    EXPECT_EQ(s.storage.GetAttachCount(), 1);
    EXPECT_EQ(s.storage.AttachedTable(1), nullptr);
    s.storage.AttachTable(&third);
    EXPECT_EQ(third.AttachIndex, 1);
    EXPECT_EQ(s.storage.GetAttachMaxCount(), 2);
    s.storage.SetAttachMaxCount(4);
    EXPECT_EQ(s.storage.GetAttachMaxCount(), 4);
    s.storage.DeAttachTable(&third);
    s.storage.SetAttachMaxCount(1);
    s.storage.SetStandalone(true);
    EXPECT_TRUE(s.storage.Standalone());
    s.storage.Lock();
    s.storage.Unlock();
}

TEST(StorageAttach, RequestsReachTheRightTables)
{
    std::vector<std::string> log;
    FakeTable owner("A", &log);
    FakeTable second("B", &log);
    FakeTable third("C", &log);
    {
        TzelCommon storage(&owner);
        storage.AttachTable(&owner);
        storage.AttachTable(&second);
        storage.AttachTable(&third);
        owner.IsOpen = true;
        third.IsOpen = true;
        second.IsOpen = true;
        second.Browsing = false;

        storage.CloseTables(&owner);
        EXPECT_EQ(log, (std::vector<std::string>{"C:close", "B:close"}));
        second.IsOpen = true;
        third.IsOpen = true;

        log.clear();
        storage.RefreshTables(&owner);
        EXPECT_EQ(log, (std::vector<std::string>{"C:refresh"}));

        log.clear();
        third.IsOpen = false;
        storage.ReflectToIndexes(&second, mtiuhEdit, nullptr, nullptr, 4);
        EXPECT_EQ(log, (std::vector<std::string>{"A:reflect 1 -1", "B:reflect 1 4"}));

        log.clear();
        storage.ResyncTables();
        storage.RebuildIndexes();
        storage.MarkIndexesDirty();
        storage.ClearIndexes();
        storage.UpdateIndexes();
        storage.EmptyTables();
        EXPECT_EQ(log, (std::vector<std::string>{"A:resync", "B:resync", "A:rebuild", "B:rebuild",
                                                 "A:dirty", "B:dirty", "A:clear", "B:clear",
                                                 "A:update", "B:update", "A:empty", "B:empty"}));
        EXPECT_TRUE(storage.IsAnyTableActive());

        storage.DeAttachTable(&owner);
        log.clear();
    }
    EXPECT_EQ(log, (std::vector<std::string>{"B:close", "B:destroyed", "C:close", "C:destroyed"}));
    EXPECT_EQ(owner.StorageDestroyedCalls, 0);
}

} // namespace
