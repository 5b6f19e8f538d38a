#pragma once
// The record storage behind every in-memory table: record layout, records and their identifiers,
// free slots, variable-length value blocks, counters, locale, the tables attached to the storage
// and the lock that guards it all.

#include "platform/db/DB.h"
#include "platform/rtl/Threads.h"
#include "tablestore/zelFieldList.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr int ZEL_MAX_FIELDS = 256;

TESS_EXCEPTION(EMemTableError, EDatabaseError)

enum TzelPerformance { mtpfFast, mtpfBalanced, mtpfSmall };
enum TzelVersioningMode { mtvm1SinceCheckPoint, mtvmAllSinceCheckPoint };
enum TzelIndexUpdateHow { mtiuhInsert, mtiuhEdit, mtiuhDelete };

// Field flag bits.
constexpr std::uint8_t zelFieldVarLength = 1;
constexpr std::uint8_t zelFieldCompressed = 2;
constexpr std::uint8_t zelFieldModified = 4;

// Record flag bit: the record owns its chain of previous versions.
constexpr std::uint8_t zelRecordOwnsVersions = 1;

// A variable-length slot: a status byte (0 null, 2 present) and a native pointer to a block.
constexpr char zelSlotPresent = 2;
constexpr int ZEL_VARLENGTH_SLOT_SIZE = 1 + static_cast<int>(sizeof(char*));
// Bytes per attach slot in the bookmark part: record identifier (4), bookmark flag (1), unused (3).
constexpr int ZEL_BOOKMARK_SLOT_SIZE = 8;

// The header of a record; the data area follows it in the same allocation.
struct TzelRecord {
    std::int32_t Position;         // buffer: cursor position; stored: last index position
    std::int32_t RecordID;         // slot in the record list; -1 when not stored
    std::int32_t UniqueID;         // serial number given when stored
    std::uint8_t Flags;            // zelRecordOwnsVersions
    std::uint8_t UpdateStatus;     // TUpdateStatus
    std::int32_t TransactionLevel; // level of the last change
    std::int32_t Tag;              // free for the user
    TzelRecord* PreviousVersion;
    char* Data;
};
using PzelRecord = TzelRecord*;

class TzelCommon;

// What the storage needs of a table that uses it. The table implements it; the storage never sees
// more of a table than this.
class TzelStorageClient {
public:
    virtual ~TzelStorageClient() = default;

    // Read by the layout (asked of the owner only).
    virtual TFieldDefs* ClientFieldDefs() = 0;
    // The field object with that field number, or nullptr.
    virtual TField* ClientFieldByNumber(int FieldNo) = 0;
    virtual int ClientCalcFieldsSize() = 0;

    // The table's events; each returns false when the event is not assigned, so that the storage
    // falls back to its own default.
    virtual bool ClientSetupField(TField* Field, std::uint8_t& FieldFlags) = 0;
    virtual bool ClientCompressField(TField* Field, const char* Buffer, int Size,
                                     std::string& Result) = 0;
    virtual bool ClientDecompressField(TField* Field, const char* Buffer, int Size,
                                       std::string& Result) = 0;
    virtual bool ClientCompareFields(const void* KeyValue, const void* FieldValue,
                                     TFieldType FieldType, TzelMemTableCompareOptions Options,
                                     bool& FullCompare, int& Result) = 0;

    // Requests the storage forwards to its tables.
    virtual bool ClientIsOpen() = 0;
    virtual bool ClientIsBrowsing() = 0;
    virtual void ClientClose() = 0;
    virtual void ClientRefresh() = 0;
    // Re-synchronise the buffers around the current record.
    virtual void ClientResync() = 0;
    // Empty the cursor and the indexes (the records themselves are the storage's).
    virtual void ClientEmptyTable() = 0;
    virtual void ClientRebuildIndexes() = 0;
    virtual void ClientMarkIndexesDirty() = 0;
    virtual void ClientClearIndexes() = 0;
    virtual void ClientUpdateIndexes() = 0;
    virtual void ClientReflectToIndexes(TzelIndexUpdateHow How, TzelRecord* Record1,
                                        TzelRecord* Record2, int Position) = 0;
    virtual void ClientSetAttachIndex(int AttachIndex) = 0;
    // The storage is being destroyed: forget it and take a fresh storage of your own.
    virtual void ClientStorageDestroyed() = 0;
};

class TzelCommon : public TObject {
    TESS_CLASS(TzelCommon, TObject)
public:
    explicit TzelCommon(TzelStorageClient* OwnerTable);
    // Closes and lets go every table still attached, then frees whatever records remain.
    ~TzelCommon() override;
    TzelCommon(const TzelCommon&) = delete;
    TzelCommon& operator=(const TzelCommon&) = delete;

    TzelStorageClient* OwnerTable() const { return FOwnerTable; }

    // --- Lock (none is taken while Standalone is set) ---
    void Lock();
    void Unlock();
    bool Standalone() const { return FStandalone; }
    // EMemTableError "Children are attached to this table." with more than one attach slot.
    void SetStandalone(bool Value);
    bool TableLocked() const { return FTableLocked; }
    void SetTableLocked(bool Value) { FTableLocked = Value; }

    // --- Layout ---
    void LayoutRecord();
    static int GetFieldSize(TFieldType FieldType, int Size);
    bool GetFieldIsVarLength(TFieldType FieldType, int Size) const;
    // The field's slot in the record: its null-flag byte (value after it) or its variable-length
    // slot; nullptr for a null record or one without data.
    char* GetFieldPointer(TzelRecord* Record, TField* Field) const;
    char* GetFieldPointer(TzelRecord* Record, int FieldNo) const;
    int FieldCount() const { return FFieldCount; }
    // By field number 1..256.
    int FieldOffset(int FieldNo) const { return FFieldOffsets[FieldNo]; }
    std::uint8_t FieldFlags(int FieldNo) const { return FFieldFlags[FieldNo]; }
    bool IsVarLengthField(int FieldNo) const;
    bool IsCompressedField(int FieldNo) const;
    int CalcStart() const { return FCalcStart; }
    int CalcSize() const { return FCalcSize; }
    int BookmarkStart() const { return FBookmarkStart; }
    int BookmarkAreaSize() const { return FBookmarkAreaSize; }
    int VarLengthStart() const { return FVarLengthStart; }
    int VarLengthCount() const { return FVarLengthCount; }
    int VarLengthAreaSize() const { return FVarLengthAreaSize; }
    int MoveSize() const { return FMoveSize; }
    int DataSize() const { return FDataSize; }
    int RecordAllocSize() const { return FRecordAllocSize; }

    // --- Records ---
    TzelRecord* _InternalAllocRecord();
    void _InternalClearRecord(TzelRecord* Record);
    void _InternalFreeRecord(TzelRecord* Record, bool FreeVarLengths, bool FreeVersions);
    void _InternalFreeRecordVarLengths(TzelRecord* Record);
    void _InternalMoveRecord(TzelRecord* Source, TzelRecord* Target);
    TzelRecord* _InternalCopyRecord(TzelRecord* Source, bool WithVarLengths);
    void _InternalCopyVarLength(TzelRecord* Source, TzelRecord* Target, int FieldNo);
    void _InternalCopyVarLengths(TzelRecord* Source, TzelRecord* Target);
    void _InternalTransferRecord(TzelRecord* Buffer, TzelRecord* Stored);

    // --- Variable-length blocks: 4 length bytes, least significant first, then the bytes ---
    static char* CreateVarLengthBlock(int Size);
    static char* CopyVarLengthBlock(const char* Block);
    static void FreeVarLengthBlock(char* Block);
    static int VarLengthBlockSize(const char* Block);
    static char* VarLengthBlockData(char* Block) { return Block + 4; }
    static const char* VarLengthBlockData(const char* Block) { return Block + 4; }
    // The block a variable-length slot refers to, or nullptr; and setting it (the old one is not
    // freed).
    static char* SlotBlock(const char* Slot);
    static void SetSlotBlock(char* Slot, char* Block);
    // The block that holds the record's value of a variable-length field: its own, or, when it has
    // none but its status says present, the block of the stored record it was fetched from.
    // nullptr for a null value. EMemTableError "Invalid record " when the stored record cannot be
    // the one the record came from.
    const char* GetVarLengthBlock(TzelRecord* Record, int FieldNo) const;

    // Default compression: a string keeps its text and terminator; everything else as it is.
    void CompressFieldBuffer(TField* Field, const char* Buffer, int Size, std::string& Result);
    void DecompressFieldBuffer(TField* Field, const char* Buffer, int Size, std::string& Result);

    // --- Storing and removing ---
    // EMemTableError "Bookmark counter is out of range. Please close and reopen table." before
    // storing anything when no free slot is left and the counter is exhausted.
    void AppendRecord(TzelRecord* Record);
    void _InternalAppendRecord(TzelRecord* Record);
    // Frees the record's slot; EMemTableError "Invalid record " when the record is not stored.
    void DeleteRecord(TzelRecord* Record);
    // Also frees the record with its blocks and versions.
    void _InternalDeleteRecord(TzelRecord* Record);
    void PackRecords();
    void _InternalPackRecords();
    void _InternalEmpty();
    TzelRecord* Records(int RecordID) const { return FRecords[static_cast<std::size_t>(RecordID)]; }

    // --- Counters and settings ---
    int RecordCount();
    int DeletedRecordCount();
    int GetDeletedRecordsCount() { return DeletedRecordCount(); }
    int MarkedDeletedCount() const { return FMarkedDeletedCount; }
    void SetMarkedDeletedCount(int Value) { FMarkedDeletedCount = Value; }
    void SetCapacity(int Value);
    int GetCapacity();
    void SetAutoIncMin(int Value);
    void SetAutoIncMax(int Value);
    int GetAutoIncMin();
    int GetAutoIncMax();
    void SetPerformance(TzelPerformance Value);
    TzelPerformance Performance() const { return FPerformance; }
    void SetVersioningMode(TzelVersioningMode Value);
    TzelVersioningMode VersioningMode() const { return FVersioningMode; }
    void SetEnableVersioning(bool Value);
    bool EnableVersioning() const { return FEnableVersioning; }
    bool GetIsDataModified();
    void SetIsDataModified(bool Value);
    int GetTransactionLevel();
    void IncTransactionLevel();
    void DecTransactionLevel();
    // At the current level L: every record drops the previous versions it made at L and moves
    // to L - 1 (the caller lowers the level).
    void Commit();
    // At the current level L: every record changed at L goes back to its state before L; a
    // record inserted at L is freed and its slot left empty.
    void RollBack();
    int NextUniqueID() const { return FNextUniqueID; }
    int NextRecordID() const { return FNextRecordID; }
    // Only for tests of the counter limit.
    void SetNextUniqueIDForTesting(int Value) { FNextUniqueID = Value; }

    // --- Locale ---
    void SetLocaleID(std::uint32_t Value);
    void SetLanguageID(std::uint32_t Value);
    void SetSubLanguageID(std::uint32_t Value);
    void SetSortID(std::uint32_t Value);
    std::uint32_t GetLocaleID() const { return FLocaleID; }
    std::uint32_t GetLanguageID() const { return FLanguageID; }
    std::uint32_t GetSubLanguageID() const { return FSubLanguageID; }
    std::uint32_t GetSortID() const { return FSortID; }

    // --- Modified flags ---
    void ClearModifiedFlags();
    // ERangeError "Out of range (%d)" unless 0 <= Index < FieldCount.
    bool GetModifiedFlag(int Index);
    void SetModifiedFlag(int Index, bool Value);
    // Sets the modified bit of field number FieldNo (1..FieldCount) for a holder of the lock.
    void _InternalMarkModified(int FieldNo) { FFieldFlags[FieldNo] |= zelFieldModified; }

    // --- Data generation ---
    std::int32_t DataID() const { return FDataID; }
    std::int32_t GetUniqueDataID() const;

    // --- Attached tables ---
    int GetAttachMaxCount();
    int GetAttachCount();
    void SetAttachMaxCount(int Value);
    void AttachTable(TzelStorageClient* Table);
    void DeAttachTable(TzelStorageClient* Table);
    bool IsAnyTableActive();
    TzelStorageClient* AttachedTable(int AttachIndex) const;
    void CloseTables(TzelStorageClient* Except);
    void RefreshTables(TzelStorageClient* Except);
    void ResyncTables();
    void EmptyTables();
    void RebuildIndexes();
    void MarkIndexesDirty();
    void ClearIndexes();
    void UpdateIndexes();
    void ReflectToIndexes(TzelStorageClient* Table, TzelIndexUpdateHow How, TzelRecord* Record1,
                          TzelRecord* Record2, int Position);

    // --- Comparison on a field list, with the events of Client ---
    int _InternalCompareRecords(TzelStorageClient* Client, TzelFieldList* FieldList,
                                int MaxFields, TzelRecord* KeyRecord, TzelRecord* Record,
                                bool IgnoreNulls, bool Partial, TzelCompareHow How);

private:
    bool IsSlotNull(TzelRecord* Record, TField* Field) const;
    const char* FieldValue(TzelStorageClient* Client, TzelRecord* Record, TField* Field,
                           std::string& Scratch) const;
    void CheckModifiedIndex(int Index) const;
    void RecomputeLocaleID();
    void FreeAllRecords();
    void ReleaseRecordMemory(TzelRecord* Record);
    TzelRecord* TakeRecordMemory();
    bool InOldLayoutBlock(const TzelRecord* Record) const;
    void FreeRecordBlocks();
    void RetireRecordBlocks();
    bool AnyTableActive() const;
    std::vector<TzelStorageClient*> OpenTables() const;

    friend class TzelStorageLock;

    TCriticalSection FLock;
    bool FStandalone = false;
    std::vector<TzelRecord*> FRecords;
    TzelStorageClient* FOwnerTable;
    int FFieldCount = 0;
    std::int32_t FFieldOffsets[ZEL_MAX_FIELDS + 1] = {};
    std::uint8_t FFieldFlags[ZEL_MAX_FIELDS + 1] = {};
    std::uint32_t FLanguageID = 0;
    std::uint32_t FSubLanguageID = 1;
    std::uint32_t FSortID = 0;
    std::int32_t FDataID = 0;
    std::uint32_t FLocaleID = 1024;
    int FBookmarkAreaSize = 0;
    int FMoveSize = 0;
    int FRecordAllocSize = 0;
    int FDataSize = 0;
    int FCalcSize = 0;
    int FVarLengthAreaSize = 0;
    int FCalcStart = 0;
    int FBookmarkStart = 0;
    int FVarLengthStart = 0;
    int FVarLengthCount = 0;
    bool FDataModified = false;
    int FAutoIncMin = 0;
    int FAutoIncMax = 0;
    int FMarkedDeletedCount = 0;
    std::int32_t FNextUniqueID = 0;
    std::int32_t FNextRecordID = 0;
    TzelPerformance FPerformance = mtpfFast;
    std::vector<TzelStorageClient*> FAttachedTables;
    std::vector<std::int32_t> FFreeSlots;
    TzelVersioningMode FVersioningMode = mtvm1SinceCheckPoint;
    bool FEnableVersioning = false;
    int FTransactionLevel = 0;
    bool FTableLocked = false;
    // Field numbers of the variable-length fields, in order.
    std::vector<int> FVarLengthFields;
    // Records live in blocks of memory, many records to a block, so that storing a record
    // costs no allocation of its own and emptying the storage gives the memory back a block at
    // a time. Freed records of the current layout wait in the spare list for reuse; when no
    // record of the storage is in use any more, every block goes.
    std::vector<char*> FRecordBlocks;
    std::size_t FRecordStride = 0;
    char* FBlockFree = nullptr;
    int FBlockFreeCount = 0;
    std::vector<TzelRecord*> FSpareRecords;
    int FRecordsInUse = 0;
    // Blocks of an earlier layout with records still in use (buffers a table has not freed),
    // kept until the last of those records is freed.
    std::vector<std::pair<char*, std::size_t>> FOldLayoutBlocks;
    int FOldLayoutRecordsInUse = 0;
};

// Holds the storage's lock for a scope; whether it took the lock is decided once, so that a
// change of Standalone inside the scope cannot unbalance it.
class TzelStorageLock {
public:
    explicit TzelStorageLock(TzelCommon& Storage)
        : FStorage(Storage), FTaken(!Storage.FStandalone)
    {
        if (FTaken)
            FStorage.FLock.Enter();
    }
    ~TzelStorageLock()
    {
        if (FTaken)
            FStorage.FLock.Leave();
    }
    TzelStorageLock(const TzelStorageLock&) = delete;
    TzelStorageLock& operator=(const TzelStorageLock&) = delete;

private:
    TzelCommon& FStorage;
    bool FTaken;
};
