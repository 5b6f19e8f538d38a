#pragma once
// The in-memory table: a data set whose records live in a record storage (TzelCommon) that it
// may share with other tables attached to it. This is the header the rest of the program
// includes; it brings in the storage, the field lists and the indexes.

#include "platform/db/DB.h"
#include "tablestore/zelCommon.h"
#include "tablestore/zelFieldList.h"
#include "tablestore/zelIndex.h"
#include "tablestore/zelIndexes.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TStream;
class TzelCustomMemTable;
class TzelCustomStreamFormat;
class TzelCustomDeltaHandler;

// The table's own activity, besides the framework's state.
enum TzelState {
    mtstBrowse,
    mtstLoad,
    mtstSave,
    mtstEmpty,
    mtstPack,
    mtstCheckPoint,
    mtstSearch,
    mtstUpdate,
    mtstSort
};

enum TzelProgressCode {
    mtpcLoad,
    mtpcSave,
    mtpcEmpty,
    mtpcPack,
    mtpcCheckPoint,
    mtpcSearch,
    mtpcCopy,
    mtpcUpdate,
    mtpcSort
};
using TzelProgressCodes = TEnumSet<TzelProgressCode>;

enum TzelMemTableStorageType {
    mtstDataSet,
    mtstStream,
    mtstBinaryStream,
    mtstFile,
    mtstBinaryFile
};

// Bytes of a bookmark: record identifier, unique identifier and data generation, each 32-bit
// little-endian. The identifiers rather than a record address, so that a stale bookmark can be
// recognised without touching freed memory.
inline constexpr int ZEL_BOOKMARK_SIZE = 12;

using TzelProgressEvent =
    std::function<void(TDataSet* DataSet, int Percentage, TzelProgressCode Code)>;
using TzelRecordAcceptEvent = std::function<void(TDataSet* DataSet, bool& Accept)>;
using TzelFieldNoticeEvent = std::function<void(TDataSet* DataSet, int FieldNo, TField* Field)>;
using TzelBlobStreamEvent =
    std::function<void(TDataSet* DataSet, TStream* Source, TStream* Target)>;
using TzelSetupFieldEvent =
    std::function<void(TDataSet* DataSet, TField* Field, std::uint8_t& FieldFlags)>;
using TzelSetupFieldPropertiesEvent = std::function<void(TDataSet* DataSet, TField* Field)>;
// Buffer holds Size bytes; the handler puts the bytes to keep (or to hand back) into Result.
using TzelCompressFieldEvent = std::function<void(TDataSet* DataSet, TField* Field,
                                                  const char* Buffer, int Size,
                                                  std::string& Result)>;
using TzelSaveLoadEvent =
    std::function<void(TDataSet* DataSet, TzelMemTableStorageType StorageType, TStream* Stream)>;
using TzelCompareFieldsEvent = std::function<void(
    TDataSet* DataSet, const void* KeyValue, const void* FieldValue, TFieldType FieldType,
    TzelMemTableCompareOptions Options, bool& FullCompare, int& Result)>;
using TzelFilterIndexEvent =
    std::function<void(TDataSet* DataSet, TzelIndex* Index, bool& Accept)>;

class TzelCustomMemTable : public TDataSet, public TzelStorageClient {
    TESS_CLASS(TzelCustomMemTable, TDataSet)
public:
    explicit TzelCustomMemTable(TComponent* AOwner);
    // Closes the table; a failure while closing goes to the application's exception display.
    ~TzelCustomMemTable() override;

    // --- Structure ---
    // Makes the table's structure from its field definitions (closing every table of the
    // storage first). Exception "Too many fielddefs. Please raise ZEL_MAX_FIELDS value." beyond
    // ZEL_MAX_FIELDS definitions.
    void CreateTable();
    // Closes every table of the storage and destroys the field objects.
    void DeleteTable();
    // FieldDefs from the data and internal-calculated field objects.
    void CreateFieldDefs();
    // Closes and forgets index selection, master link, index and field definitions.
    void Reset();
    // Empties every table of the storage.
    void EmptyTable();
    // Moves the record at row From before the record that stood at row To (rows from 1); only in
    // row order. Nothing is refreshed.
    bool MoveRecord(int From, int To);
    bool MoveCurRecord(int To);

    // --- Storage ---
    TzelCommon* Common() const { return FCommon; }
    void Lock();
    void Unlock();
    virtual void Progress(int Percentage, TzelProgressCode Code);
    bool GetModifiedFlags(int Index);
    void ClearModified();
    void SetRecordTag(int Value);
    int GetRecordTag();
    int RecordTag() { return GetRecordTag(); }

    // --- Cursor, records and fields ---
    bool GetFieldData(TField* Field, void* Buffer) override;
    void SetFieldData(TField* Field, const void* Buffer) override;
    void CloseBlob(TField* Field) override;
    bool BookmarkValid(const TBookmark& Bookmark) override;
    int CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2) override;
    bool IsSequenced() override;
    void SetRecNo(int Value) override;
    void SetFiltered(bool Value) override;
    void SetFilterText(const std::string& Value) override;
    // The record the field operations work on in the current state; nullptr when none.
    TzelRecord* GetActiveRecord();
    // Fills a field of any record of the storage's layout (key buffers, master keys, automatic
    // numbers) from a value; null or empty clears it, a text is cut to the field's size.
    void PopulateField(TzelRecord* Record, TField* Field, const Variant& Value);
    // Replaces a variable-length value of Record by a copy of the bytes.
    void PopulateVarLength(TzelRecord* Record, TField* Field, int Size, const void* Bytes);
    // Fills List from a field-names text on this table; a calculated field sets RecalcOnIndex.
    bool BuildFieldList(TzelFieldList* List, const std::string& FieldNames);

    // --- Visibility ---
    bool IsFiltered();
    // Whether the stored record is visible; Force applies OnFilterRecord even when Filtered is off.
    bool FilterRecord(TzelRecord* Record, bool Force);
    void CancelRange();

    // --- Indexes ---
    TzelIndexes& Indexes() { return *FIndexes; }
    TzelIndex* CurrentIndex() const { return FCurIndex; }
    void SetCurrentIndex(TzelIndex* Index);
    TzelIndex* SortIndex() const { return FSortIndex; }
    void SetSortIndex(TzelIndex* Index) { FSortIndex = Index; }
    // Rebuilds the indexes that lost their order.
    void UpdateIndexes();
    // Told by the index list where the current index placed the record being posted.
    void SetRepositionTarget(int Position) { FRepositionTarget = Position; }
    // Keeps the cursor within the current index after it shrank.
    void ClampCursorPosition();
    TzelRecord* VersionReadRecord() const { return FVersionReadRecord; }
    void SetVersionReadRecord(TzelRecord* Record) { FVersionReadRecord = Record; }
    TzelState TableState() const { return FTableState; }
    void SetTableState(TzelState Value) { FTableState = Value; }

    // --- Switches used by copies and loads ---
    bool IgnoreReadOnly() const { return FIgnoreReadOnly; }
    void SetIgnoreReadOnly(bool Value) { FIgnoreReadOnly = Value; }
    bool IgnoreAutoIncPopulation() const { return FIgnoreAutoIncPopulation; }
    void SetIgnoreAutoIncPopulation(bool Value) { FIgnoreAutoIncPopulation = Value; }

    // --- Automatic numbers ---
    void CheckAutoInc();
    void ResetAutoInc();
    void DrawAutoInc();
    void PostAutoInc();
    TField* AutoIncField() const { return FAutoIncField; }

    // --- Properties ---
    TzelCustomMemTable* AttachedTo() const { return FAttachedTo; }
    void SetAttachedTo(TzelCustomMemTable* Value);
    bool AttachedAutoRefresh() const { return FAttachedAutoRefresh; }
    void SetAttachedAutoRefresh(bool Value) { FAttachedAutoRefresh = Value; }
    int AttachMaxCount() const { return FCommon->GetAttachMaxCount(); }
    void SetAttachMaxCount(int Value) { FCommon->SetAttachMaxCount(Value); }
    int AttachCount() const { return FCommon->GetAttachCount(); }
    int GetAttachCount() const { return AttachCount(); }
    int AttachIndex() const { return FAttachIndex; }
    int AutoIncMinValue() const { return FCommon->GetAutoIncMin(); }
    void SetAutoIncMinValue(int Value) { FCommon->SetAutoIncMin(Value); }
    TzelCustomDeltaHandler* DeltaHandler() const { return FDeltaHandler; }
    void SetDeltaHandler(TzelCustomDeltaHandler* Value) { FDeltaHandler = Value; }
    bool EnableIndexes() const { return FEnableIndexes; }
    void SetEnableIndexes(bool Value) { FEnableIndexes = Value; }
    bool AutoReposition() const { return FAutoReposition; }
    void SetAutoReposition(bool Value) { FAutoReposition = Value; }
    const std::string& IndexFieldNames() const { return FIndexFieldNames; }
    void SetIndexFieldNames(const std::string& Value) { FIndexFieldNames = Value; }
    const std::string& IndexName() const { return FIndexName; }
    void SetIndexName(const std::string& Value) { FIndexName = Value; }
    TIndexDefs& IndexDefs() { return *FIndexDefs; }
    bool RecalcOnIndex() const { return FRecalcOnIndex; }
    void SetRecalcOnIndex(bool Value) { FRecalcOnIndex = Value; }
    bool RecalcOnFetch() const { return FRecalcOnFetch; }
    void SetRecalcOnFetch(bool Value) { FRecalcOnFetch = Value; }
    const std::string& SortFields() const { return FSortFields; }
    void SetSortFields(const std::string& Value) { FSortFields = Value; }
    TzelMemTableCompareOptions SortOptions() const { return FSortOptions; }
    void SetSortOptions(TzelMemTableCompareOptions Value) { FSortOptions = Value; }
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value) { FReadOnly = Value; }
    TzelPerformance Performance() const { return FCommon->Performance(); }
    void SetPerformance(TzelPerformance Value) { FCommon->SetPerformance(Value); }
    bool Standalone() const { return FCommon->Standalone(); }
    void SetStandalone(bool Value);
    const std::string& PersistentFile() const { return FPersistentFile; }
    void SetPersistentFile(const std::string& Value) { FPersistentFile = Value; }
    bool Persistent() const { return FPersistent; }
    void SetPersistent(bool Value) { FPersistent = Value; }
    bool PersistentBackup() const { return FPersistentBackup; }
    void SetPersistentBackup(bool Value) { FPersistentBackup = Value; }
    const std::string& PersistentBackupExt() const { return FPersistentBackupExt; }
    void SetPersistentBackupExt(const std::string& Value) { FPersistentBackupExt = Value; }
    TzelCustomStreamFormat* PersistentFormat() const { return FPersistentFormat; }
    void SetPersistentFormat(TzelCustomStreamFormat* Value) { FPersistentFormat = Value; }
    bool StoreDataOnForm() const { return FStoreDataOnForm; }
    void SetStoreDataOnForm(bool Value) { FStoreDataOnForm = Value; }
    TzelCustomStreamFormat* FormFormat() const { return FFormFormat; }
    void SetFormFormat(TzelCustomStreamFormat* Value) { FFormFormat = Value; }
    TzelCustomStreamFormat* DefaultFormat() const { return FDefaultFormat; }
    void SetDefaultFormat(TzelCustomStreamFormat* Value) { FDefaultFormat = Value; }
    TzelCustomStreamFormat* CommaTextFormat() const { return FCommaTextFormat; }
    void SetCommaTextFormat(TzelCustomStreamFormat* Value) { FCommaTextFormat = Value; }
    TzelProgressCodes ProgressFlags() const { return FProgressFlags; }
    void SetProgressFlags(TzelProgressCodes Value) { FProgressFlags = Value; }
    int LoadLimit() const { return FLoadLimit; }
    void SetLoadLimit(int Value) { FLoadLimit = Value; }
    int SaveLimit() const { return FSaveLimit; }
    void SetSaveLimit(int Value) { FSaveLimit = Value; }
    bool LoadedCompletely() const { return FLoadedCompletely; }
    bool SavedCompletely() const { return FSavedCompletely; }
    bool EnableVersioning() const { return FCommon->EnableVersioning(); }
    void SetEnableVersioning(bool Value) { FCommon->SetEnableVersioning(Value); }
    TzelVersioningMode VersioningMode() const { return FCommon->VersioningMode(); }
    void SetVersioningMode(TzelVersioningMode Value) { FCommon->SetVersioningMode(Value); }
    bool IsVersioning() const { return FCommon->EnableVersioning(); }
    std::string MasterFields() const;
    void SetMasterFields(const std::string& Value);
    const std::string& DetailFields() const { return FDetailFields; }
    void SetDetailFields(const std::string& Value) { FDetailFields = Value; }
    TDataSource* MasterSource();
    // EDatabaseError "Selfreferencing master/detail relations not allowed." when the source leads
    // back to this table.
    void SetMasterSource(TDataSource* Value);
    std::string Version() const { return "3.01"; }
    void SetVersion(const std::string& /*Value*/) {}
    std::uint32_t LanguageID() const { return FCommon->GetLanguageID(); }
    void SetLanguageID(std::uint32_t Value) { FCommon->SetLanguageID(Value); }
    std::uint32_t SortID() const { return FCommon->GetSortID(); }
    void SetSortID(std::uint32_t Value) { FCommon->SetSortID(Value); }
    std::uint32_t SubLanguageID() const { return FCommon->GetSubLanguageID(); }
    void SetSubLanguageID(std::uint32_t Value) { FCommon->SetSubLanguageID(Value); }
    std::uint32_t LocaleID() const { return FCommon->GetLocaleID(); }
    void SetLocaleID(std::uint32_t Value) { FCommon->SetLocaleID(Value); }
    bool AutoUpdateFieldVariables() const { return FAutoUpdateFieldVariables; }
    void SetAutoUpdateFieldVariables(bool Value) { FAutoUpdateFieldVariables = Value; }
    TUpdateStatusSet StatusFilter() const { return FStatusFilter; }
    void SetStatusFilter(TUpdateStatusSet Value) { FStatusFilter = Value; }
    bool IsDataModified() const { return FCommon->GetIsDataModified(); }
    void SetIsDataModified(bool Value) { FCommon->SetIsDataModified(Value); }
    int TransactionLevel() const { return FCommon->GetTransactionLevel(); }
    int DeletedRecordsCount() const { return FCommon->GetDeletedRecordsCount(); }
    int Capacity() const { return FCommon->GetCapacity(); }
    void SetCapacity(int Value) { FCommon->SetCapacity(Value); }
    bool MasterDetailSwitch() const { return FMasterDetail; }
    void SetMasterDetailSwitch(bool Value) { FMasterDetail = Value; }
    bool RangeActive() const { return FRangeActive; }

    // --- Events ---
    TzelProgressEvent OnProgress;
    TzelRecordAcceptEvent OnLoadRecord, OnSaveRecord;
    TzelFieldNoticeEvent OnLoadField, OnSaveField;
    TzelBlobStreamEvent OnCompressBlobStream, OnDecompressBlobStream;
    TzelSetupFieldEvent OnSetupField;
    TzelSetupFieldPropertiesEvent OnSetupFieldProperties;
    TzelCompressFieldEvent OnCompressField, OnDecompressField;
    TzelSaveLoadEvent OnSave, OnLoad;
    TzelCompareFieldsEvent OnCompareFields;
    TzelFilterIndexEvent OnFilterIndex;

    // --- TzelStorageClient ---
    TFieldDefs* ClientFieldDefs() override { return &FieldDefs(); }
    TField* ClientFieldByNumber(int FieldNo) override { return FieldByNumber(FieldNo); }
    int ClientCalcFieldsSize() override { return CalcFieldsSize(); }
    bool ClientSetupField(TField* Field, std::uint8_t& FieldFlags) override;
    bool ClientCompressField(TField* Field, const char* Buffer, int Size,
                             std::string& Result) override;
    bool ClientDecompressField(TField* Field, const char* Buffer, int Size,
                               std::string& Result) override;
    bool ClientCompareFields(const void* KeyValue, const void* FieldValue, TFieldType FieldType,
                             TzelMemTableCompareOptions Options, bool& FullCompare,
                             int& Result) override;
    bool ClientIsOpen() override { return Active(); }
    bool ClientIsBrowsing() override { return State() == dsBrowse; }
    void ClientClose() override { Close(); }
    void ClientRefresh() override { Refresh(); }
    void ClientResync() override;
    void ClientEmptyTable() override { InternalEmptyTable(); }
    void ClientRebuildIndexes() override { FIndexes->ReBuildAll(); }
    void ClientMarkIndexesDirty() override { FIndexes->MarkAllDirty(); }
    void ClientClearIndexes() override { FIndexes->EmptyAll(); }
    void ClientUpdateIndexes() override { UpdateIndexes(); }
    void ClientReflectToIndexes(TzelIndexUpdateHow How, TzelRecord* Record1, TzelRecord* Record2,
                                int Position) override;
    void ClientSetAttachIndex(int AttachIndex) override { FAttachIndex = AttachIndex; }
    void ClientStorageDestroyed() override;

protected:
    // --- Record buffers and the cursor ---
    TRecordBuffer AllocRecordBuffer() override;
    void FreeRecordBuffer(TRecordBuffer& Buffer) override;
    void GetBookmarkData(TRecordBuffer Buffer, void* Data) override;
    TBookmarkFlag GetBookmarkFlag(TRecordBuffer Buffer) override;
    void SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) override;
    void SetBookmarkData(TRecordBuffer Buffer, const void* Data) override;
    TGetResult GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool DoCheck) override;
    int GetRecordSize() override;
    void InternalAddRecord(TRecordBuffer Buffer, bool Append) override;
    void InternalClose() override;
    void InternalDelete() override;
    void InternalFirst() override;
    void InternalGotoBookmark(const TBookmark& Bookmark) override;
    void InternalHandleException() override;
    void InternalInitFieldDefs() override;
    void InternalInitRecord(TRecordBuffer Buffer) override;
    void InternalLast() override;
    void InternalOpen() override;
    void InternalPost() override;
    void InternalSetToRecord(TRecordBuffer Buffer) override;
    bool IsCursorOpen() override { return FCursorOpen; }
    void InternalEdit() override {}
    void InternalCancel() override;
    bool GetCanModify() override { return !FReadOnly; }
    TDataSource* GetDataSource() override;
    bool GetIsIndexField(TField* Field) override;
    int GetRecordCount() override;
    int GetRecNo() override;
    bool FindRecord(bool Restart, bool GoForward) override;

    void DoAfterOpen() override;
    void DoBeforeClose() override;
    void DoBeforeInsert() override;
    void DoBeforePost() override;
    void DoAfterPost() override;
    void DoAfterDelete() override;
    void DoOnNewRecord() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

    virtual void _InternalFirst();
    virtual void _InternalLast();
    virtual bool _InternalNext(bool ForceUseFilter);
    virtual bool _InternalPrior(bool ForceUseFilter);
    virtual void MasterChanged(TObject* Sender);
    virtual void MasterDisabled(TObject* Sender);

    // Empties this table's cursor and indexes (the records are the storage's).
    void InternalEmptyTable();
    void UpdateFieldVariables();

private:
    // The same as the public forms, for callers that hold the storage lock.
    TzelRecord* ActiveRecordLocked();
    bool IsFilteredLocked();
    static TzelRecord* AsRecord(TRecordBuffer Buffer)
    {
        return reinterpret_cast<TzelRecord*>(Buffer);
    }
    void CreateOwnStorage();
    bool OwnsStorage() const { return FCommon->OwnerTable() == this; }
    char* BookmarkSlot(TzelRecord* Record) const;
    std::int32_t BookmarkSlotID(TzelRecord* Record) const;
    // The stored record with that identifier and unique identifier, found in its slot or, after
    // the slots were packed, by a pass over the storage; nullptr when it is gone.
    TzelRecord* FindStoredRecord(std::int32_t RecordID, std::int32_t UniqueID) const;
    // The stored record a bookmark names, or nullptr when the bookmark is not valid.
    TzelRecord* BookmarkRecord(const TBookmark& Bookmark) const;
    // The position of a stored record in the current index: the hint first, then a search.
    int PositionInCurrentIndex(TzelRecord* Stored, int Hint);
    // The stored record at the cursor, checked against the active buffer; raises when the record
    // the buffer came from is gone.
    TzelRecord* StoredRecordAtCursor(TzelRecord* Buffer);
    void FillBufferFromCursor(TzelRecord* Buffer);
    // Replaces the block of a variable-length slot by one made from Value (nullptr: null).
    void WriteVarLengthValue(TField* Field, char* Slot, const char* Value, int Size);
    int FieldBufferSize(TField* Field) const;
    bool MasterDetailInForce();
    bool RangeAccepts(TzelRecord* Record);
    bool MasterAccepts(TzelRecord* Record);
    void FreeKeyBuffers();
    void ReleaseStorageAndAttach(TzelCustomMemTable* Other);

    // Internal state, in the order the table keeps it.
    TzelCommon* FCommon = nullptr;
    int FAttachIndex = 0;
    std::unique_ptr<TzelIndexes> FIndexes;
    TzelCustomStreamFormat* FPersistentFormat = nullptr;
    TzelCustomStreamFormat* FFormFormat = nullptr;
    TzelCustomStreamFormat* FDefaultFormat = nullptr;
    TzelCustomStreamFormat* FCommaTextFormat = nullptr;
    TzelCustomStreamFormat* FWholeTableFormat = nullptr;
    TzelRecord* FFilterBuffer = nullptr;
    TzelRecord* FCurrentKeyBuffer = nullptr;
    TzelRecord* FSearchKeyBuffer = nullptr;
    TzelRecord* FRangeStartBuffer = nullptr;
    TzelRecord* FRangeEndBuffer = nullptr;
    TzelRecord* FMasterKeyBuffer = nullptr;
    bool FIgnoreReadOnly = false;
    bool FIgnoreAutoIncPopulation = false;
    std::unique_ptr<TIndexDefs> FIndexDefs;
    TzelIndex* FCurIndex = nullptr;
    TzelIndex* FSortIndex = nullptr;
    bool FEnableIndexes = true;
    bool FAutoUpdateFieldVariables = false;
    TzelState FTableState = mtstBrowse;
    bool FMasterDetail = true;
    std::unique_ptr<TMasterDataLink> FMasterLink;
    bool FCursorOpen = false;
    int FCursorPos = -1;
    int FRepositionTarget = -1;
    int FRecNoBeforeInsert = -1;
    bool FBeforeCloseDone = false;
    bool FAfterOpenRunning = false;
    int FLoadLimit = -1;
    int FLoadedCount = 0;
    bool FLoadedCompletely = false;
    int FSaveLimit = -1;
    int FSavedCount = 0;
    bool FSavedCompletely = false;
    TzelCustomDeltaHandler* FDeltaHandler = nullptr;
    TzelRecord* FVersionReadRecord = nullptr;
    TUpdateStatusSet FStatusFilter;
    TzelCustomMemTable* FAttachedTo = nullptr;
    bool FAttachedAutoRefresh = true;
    TField* FAutoIncField = nullptr;
    bool FRecalcOnFetch = true;
    bool FReadOnly = false;
    bool FPersistent = false;
    std::string FPersistentFile;
    bool FPersistentSaved = false;
    bool FPersistentBackup = false;
    std::string FPersistentBackupExt;
    bool FStoreDataOnForm = false;
    std::unique_ptr<TStream> FFormDataStream;
    std::unique_ptr<TzelFieldList> FMasterFieldList;
    std::unique_ptr<TzelFieldList> FDetailFieldList;
    std::unique_ptr<TzelFieldList> FIndexFieldList;
    bool FRecalcOnIndex = false;
    std::string FIndexFieldNames;
    std::string FDetailFields;
    std::string FIndexName;
    std::string FSortFields;
    bool FAutoReposition = false;
    bool FRangeActive = false;
    std::string FLastSortFieldNames;
    TzelMemTableCompareOptions FSortOptions;
    TzelProgressCodes FProgressFlags{mtpcLoad, mtpcSave, mtpcCopy};

    // The storage this table created for itself; empty while it uses another table's.
    std::unique_ptr<TzelCommon> FOwnStorage;
};

// The table with every property published; the data module acts on tables of exactly this class.
class TzelMemTable : public TzelCustomMemTable {
    TESS_CLASS(TzelMemTable, TzelCustomMemTable)
public:
    explicit TzelMemTable(TComponent* AOwner) : TzelCustomMemTable(AOwner) {}
};

// Makes "TzelMemTable" known to the class registry (idempotent).
void RegisterMemTableClasses();
