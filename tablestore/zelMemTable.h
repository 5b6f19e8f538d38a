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
#include <vector>

class TStream;
class TStrings;
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

// --- Copies between data sets: options and update flags ---
enum TzelMemTableCopyTableOption {
    mtcpoStructure,
    mtcpoOnlyActiveFields,
    mtcpoProperties,
    mtcpoLookup,
    mtcpoCalculated,
    mtcpoAppend,
    mtcpoFieldIndex
};
using TzelMemTableCopyTableOptions = TEnumSet<TzelMemTableCopyTableOption>;

enum TzelMemTableUpdateFlag { mtufEdit, mtufAppend };
using TzelMemTableUpdateFlags = TEnumSet<TzelMemTableUpdateFlag>;

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
    // Writes a text into a field of the active record as SetAsString would, for the table's own
    // loads and copies, which hold the storage lock for the whole load: the text goes straight
    // into the record, with no buffer of the field's size and no lock of its own. The read-only
    // rules, the modified flag and the field-change event are those of any write. A field this
    // does not serve (not a text of the record's fixed part, or one with a validation handler)
    // goes through SetAsString.
    void LoadFieldText(TField* Field, const char* Text, std::size_t Length);
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

    // --- Key searches, ranges, versions, transactions and blob streams ---
    // The set-key state: field assignments fill the search key (cleared by SetKey, kept by
    // EditKey) until GotoKey or Post.
    void SetKey();
    void EditKey();
    // Moves to the visible record of the active index whose index fields equal the search key.
    bool GotoKey();
    // Assigns the values to the first fields of the active index (extra values are ignored) and
    // searches them. FindKey needs IndexFieldNames; FindNearest moves to the first visible record
    // at or after the key on whatever index is active.
    bool FindKey(const std::vector<Variant>& Values);
    bool FindNearest(const std::vector<Variant>& Values);
    // The set-key state for the range's start or end (cleared by Set..., kept by Edit...).
    void SetRangeStart();
    void SetRangeEnd();
    void EditRangeStart();
    void EditRangeEnd();
    // Shows only the records whose index fields lie within both ends (a null end sets no bound).
    void ApplyRange();
    void SetRange(const std::vector<Variant>& StartValues, const std::vector<Variant>& EndValues);

    // Nested transactions need versioning with mtvmAllSinceCheckPoint.
    virtual void StartTransaction();
    virtual void Commit();
    virtual void Rollback();
    // Versions of the active record: 0 the newest; a number beyond the oldest (or a negative one)
    // reads the oldest (the newest). EMemTableError "No current record." without one.
    int GetVersionCount();
    TUpdateStatus GetVersionStatus(int Version);
    Variant GetVersionFieldData(TField* Field, int Version);
    // Drops every previous version, removes the records marked deleted and marks every record
    // unmodified.
    void CheckPoint();
    void CheckPointRecord(int RecordID);
    // Commits, checkpoints and renumbers the records 0..n-1.
    void PackTable();
    // Calls the handler's operation for the kind of change of every stored record.
    virtual void Resolve(TzelCustomDeltaHandler* Handler);
    TStream* CreateBlobStream(TField* Field, TBlobStreamMode Mode) override;

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

    // --- Locating, lookup, sorting and index selection ---
    // Moves to the first visible record of the active index whose key fields equal the values
    // (one value, or an array of at least as many values as fields). Options add
    // case-insensitive and partial-key matching to every key field.
    bool Locate(const std::string& KeyFields, const Variant& KeyValues,
                TLocateOptions Options) override;
    // Null when no record matches; else the result field's value, or an array (lower bound 0)
    // of the values of several ";"-separated result fields. The cursor does not move.
    Variant Lookup(const std::string& KeyFields, const Variant& KeyValues,
                   const std::string& ResultFields) override;
    // The position of the first matching record in the active index, or -1; no move.
    int LocateRecord(const std::string& KeyFields, const Variant& KeyValues,
                     TLocateOptions Options);
    // Fills the key fields of Record from the values. EMemTableError "There must be at least
    // one field" for no field, "More fields than values" for too few values.
    void PopulateRecord(TzelRecord* Record, const std::string& KeyFields, const Variant& Values);
    // Orders the open table on a field-names text through the sort index "__MT__DEFSORT"; ""
    // returns to the row order. The current record stays current.
    void SortOn(const std::string& FieldNames, TzelMemTableCompareOptions Options);
    void Sort(TzelMemTableCompareOptions Options);
    void SortDefault();
    const std::string& LastSortFieldNames() const { return FLastSortFieldNames; }
    // Adds a definition and brings the indexes in line; on failure the definition goes again.
    void AddIndex(const std::string& Name, const std::string& Fields, TIndexOptions Options);
    // The same for an index whose records OnFilterIndex admits; the filter text and its options
    // are not used.
    void AddFilteredIndex(const std::string& Name, const std::string& Fields,
                          TIndexOptions Options, const std::string& Filter,
                          TFilterOptions FilterOptions);
    // Removes the definitions of exactly that name; the index goes at the next UpdateIndexes.
    void DeleteIndex(const std::string& Name);
    // One index object per definition, beside the row order.
    void CreateIndexes();
    // Every index but the row order goes; the row order is emptied.
    void DestroyIndexes();
    TzelIndex* GetIndexByName(const std::string& Name);
    int IndexFieldCount();
    // Field Index of the active index; nullptr outside.
    TField* GetIndexField(int Index);
    // Makes Index (nullptr: the row order) the active index, keeping the current record when
    // the new order shows it. A failure closes the table and passes on.
    void SwitchToIndex(TzelIndex* Index);
    // Recomputes the calculated fields of a stored record before an index compares it.
    void RecalcIndexRecord(TzelRecord* Record);

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
    // The old handler forgets the table, the new one gets it.
    void SetDeltaHandler(TzelCustomDeltaHandler* Value);
    bool EnableIndexes() const { return FEnableIndexes; }
    void SetEnableIndexes(bool Value) { FEnableIndexes = Value; }
    bool AutoReposition() const { return FAutoReposition; }
    void SetAutoReposition(bool Value) { FAutoReposition = Value; }
    const std::string& IndexFieldNames() const { return FIndexFieldNames; }
    // Closed: only stored. Open: "" selects the row order, else the first index whose field-names
    // text equals Value (letter case ignored) becomes active; nothing changes when none does.
    void SetIndexFieldNames(const std::string& Value);
    const std::string& IndexName() const { return FIndexName; }
    // Closed: only stored. Open: "" selects the row order, else the index of that name.
    void SetIndexName(const std::string& Value);
    TIndexDefs& IndexDefs() { return *FIndexDefs; }
    void SetIndexDefs(const TIndexDefs& Value);
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
    void SetPersistentFormat(TzelCustomStreamFormat* Value);
    bool StoreDataOnForm() const { return FStoreDataOnForm; }
    void SetStoreDataOnForm(bool Value) { FStoreDataOnForm = Value; }
    TzelCustomStreamFormat* FormFormat() const { return FFormFormat; }
    void SetFormFormat(TzelCustomStreamFormat* Value);
    TzelCustomStreamFormat* DefaultFormat() const { return FDefaultFormat; }
    void SetDefaultFormat(TzelCustomStreamFormat* Value);
    TzelCustomStreamFormat* CommaTextFormat() const { return FCommaTextFormat; }
    void SetCommaTextFormat(TzelCustomStreamFormat* Value);
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
    // On an open table the detail field list is built again.
    void SetDetailFields(const std::string& Value);
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
    // Leaves edit mode; a different set refreshes the view.
    void SetStatusFilter(TUpdateStatusSet Value);
    bool IsDataModified() const { return FCommon->GetIsDataModified(); }
    void SetIsDataModified(bool Value) { FCommon->SetIsDataModified(Value); }
    int TransactionLevel() const { return FCommon->GetTransactionLevel(); }
    int DeletedRecordsCount() const { return FCommon->GetDeletedRecordsCount(); }
    int Capacity() const { return FCommon->GetCapacity(); }
    void SetCapacity(int Value) { FCommon->SetCapacity(Value); }
    bool MasterDetailSwitch() const { return FMasterDetail; }
    void SetMasterDetailSwitch(bool Value) { FMasterDetail = Value; }
    bool RangeActive() const { return FRangeActive; }

    // --- Saving and loading through stream formats ---
    // Files are replaced atomically: the bytes go to a temporary file in the target's folder that
    // is renamed over the target only when the save succeeded.
    void SaveToFileViaFormat(const std::string& FileName, TzelCustomStreamFormat* Format);
    void SaveToFile(const std::string& FileName);
    void SaveToStreamViaFormat(TStream* Stream, TzelCustomStreamFormat* Format);
    void SaveToStream(TStream* Stream);
    void LoadFromFileViaFormat(const std::string& FileName, TzelCustomStreamFormat* Format);
    void LoadFromFile(const std::string& FileName);
    void LoadFromStreamViaFormat(TStream* Stream, TzelCustomStreamFormat* Format);
    void LoadFromStream(TStream* Stream);
    void SavePersistent();
    void LoadPersistent();
    bool Exists();
    std::string GetCommaText();
    void SetCommaText(const std::string& Value);
    std::string CommaText() { return GetCommaText(); }
    // A one-dimensional byte array (lower bound 0) of the table saved through WholeTableFormat;
    // empty when the table is closed.
    Variant GetAllData();
    // Only an array value changes the table.
    void SetAllData(const Variant& Value);
    Variant AllData() { return GetAllData(); }
    static void StreamToVariant(TStream* Stream, Variant& Value);
    static void VariantToStream(const Variant& Value, TStream* Stream);
    // The window data "Data": written only with StoreDataOnForm; read bytes wait for the open.
    void ReadData(TStream& Stream);
    void WriteData(TStream& Stream);
    // Empty: AllData uses a binary format with default options owned by the table.
    TzelCustomStreamFormat* WholeTableFormat() const { return FWholeTableFormat; }
    void SetWholeTableFormat(TzelCustomStreamFormat* Value);
    // The counts of records of the current save or load.
    int SavedCount() const { return FSavedCount; }
    int LoadedCount() const { return FLoadedCount; }
    // The whole content of a blob field of a record, and a new content for it (an empty one is
    // a value, not null); how the table formats reach blob values.
    std::string StoredBlobValue(TzelRecord* Record, TField* Field);
    void StoreBlobValue(TzelRecord* Record, TField* Field, const std::string& Value);

    // --- Copies between this table and any other data set ---
    // Copies from Source's current record to its end into Target (one of them this table),
    // field by field by name; a positive Limit stops after that many records. Returns the count.
    virtual int CopyRecords(TDataSet* Source, TDataSet* Target, int Limit);
    // Copies the current record of Source over the current record of Target as texts.
    void AssignRecord(TDataSet* Source, TDataSet* Target);
    // For each record of Source: edits the Target record with the same key values (mtufEdit) or
    // appends one when there is none (mtufAppend). Returns the records processed.
    int UpdateRecords(TDataSet* Source, TDataSet* Target, TzelMemTableUpdateFlags Flags,
                      int Limit, const std::string& KeyFields);
    // EMemTableError when mtcpoAppend comes with mtcpoStructure or mtcpoProperties.
    virtual void LoadFromDataSet(TDataSet* Source, TzelMemTableCopyTableOptions Options);
    virtual void SaveToDataSet(TDataSet* Target);
    virtual void UpdateToDataSet(TDataSet* Target, const std::string& KeyFields,
                                 TzelMemTableUpdateFlags Flags);
    // Takes Source's field definitions (and with the options its calculated and lookup fields and
    // field properties). "Too many fielddefs. Please raise ZEL_MAX_FIELDS value." beyond the limit.
    void CreateTableAs(TDataSet* Source, TzelMemTableCopyTableOptions Options);
    // A new field of the same run-time class, size, kind, name and lookup settings, belonging to
    // this table; nullptr for an unsupported type or an unregistered class.
    TField* CreateFieldAs(TField* Field);
    void CopyFieldProperties(TField* Source, TField* Target);
    void CopyFieldsProperties(TDataSet* Source, TDataSet* Target);

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

    // --- Running a stream format ---
    virtual void InternalSaveToStreamViaFormat(TStream* Stream, TzelCustomStreamFormat* Format);
    virtual void InternalLoadFromStreamViaFormat(TStream* Stream, TzelCustomStreamFormat* Format);

private:
    // --- Stream formats: frame access, format references, persistent file ---
    friend class TzelCustomStreamFormat;
    friend class TzelCustomBinaryStreamFormat;
    friend class TzelCustomCSVStreamFormat;
    void SetFormatReference(TzelCustomStreamFormat*& Reference, TzelCustomStreamFormat* Value);
    void ForgetFormat(TComponent* AComponent);
    TzelCustomStreamFormat* AllDataFormat();
    // SavePersistent from the destructor or a removal: a failure goes to the exception display.
    void SavePersistentQuietly();
    void LoadOpeningData();
    // Read in place for a save, without the field's conversions: whether the record holds a
    // value for the field, and the text of a String field.
    bool StoredValuePresent(TzelRecord* Record, TField* Field);
    std::string StoredTextValue(TzelRecord* Record, TField* Field);
    std::unique_ptr<TzelCustomStreamFormat> FOwnWholeTableFormat;

    // --- Copies: helpers ---
    enum class TzelAutoIncCopy { WhenTargetEmpty, Never, Always };
    // For each field of Target the source field of the same name, or nullptr when not copied.
    std::vector<TField*> MapCopyFields(TDataSet* Source, TDataSet* Target, TzelAutoIncCopy AutoInc);
    // Fills the mapped fields of Target's pending record and posts or cancels it.
    // A text field of another data set into a text field of this table's active record.
    void CopyTextHere(TField* From, TField* To);
    void WriteCopiedRecord(TDataSet* Source, TDataSet* Target, const std::vector<TField*>& Map,
                           bool AsText);

    // --- Sorting and index selection helpers ---
    void SortWith(const std::string& FieldNames, TzelMemTableCompareOptions Options,
                  bool Remember);
    void RemoveSortIndex();
    void PopulateKeyFields(TzelRecord* Record, TzelFieldList& List, const Variant& Values);
    void ApplyIndexSelection();
    void UpdateIndexesAfterFailure(const std::string& Name);

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

    // --- Key buffers, master key, versions (helpers of the operations above) ---
    friend class TzelBlobStream;
    friend class TzelCustomDeltaHandler;
    TzelRecord* KeyBuffer(TzelRecord*& Buffer, bool Clear);
    void EnterKeyState(TzelRecord*& Buffer, bool Clear);
    void AssignKeyValues(const std::vector<Variant>& Values);
    void RefreshIndexFieldList();
    void BuildDetailFieldList();
    TzelFieldList* MasterCompareList();
    void FillMasterKey();
    bool MasterKeyIsCurrent();
    TzelRecord* StoredActiveRecord();
    TzelRecord* ActiveVersion(int Version);
    // The indexes after a commit or rollback; the row order keeps RowOrder (record
    // identifiers), dropping emptied slots and adding the other stored records after it.
    void RebuildAfterTransaction(const std::vector<std::int32_t>& RowOrder);
    std::vector<std::int32_t> RowOrderIDs();
    bool RangeSeekable(TzelRecord* Key);
    int RangeLowerBound();
    bool PastRangeEnd(TzelRecord* Record);
    // The fields whose master values the master key holds, in order.
    std::vector<TField*> FMasterKeyFields;
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
    // The row order at each StartTransaction of this table, with the level it started: a
    // rollback to that level gives it back.
    std::vector<std::pair<int, std::vector<std::int32_t>>> FRowOrderAtStart;
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

// --- Stream formats ---------------------------------------------------------------------------
// The common base of the table's persistence formats: the options that decide what is written
// and read, the maps of the fields to save and to load, and the frame around every save and load
// (storage locked, filter, range and master-detail switched off for a save, index maintenance,
// read-only checks and automatic numbering suspended for a load, compression hooks, progress,
// the cursor put back afterwards). A concrete format supplies the bytes.

enum TzelFormatDataOption { sfSaveData, sfLoadData };
enum TzelFormatCalculatedOption { sfSaveCalculated, sfLoadCalculated };
enum TzelFormatLookupOption { sfSaveLookup, sfLoadLookup };
enum TzelFormatNonVisibleOption { sfSaveNonVisible, sfLoadNonVisible };
enum TzelFormatBlobOption { sfSaveBlobs, sfLoadBlobs };
enum TzelFormatDefOption { sfSaveDef, sfLoadDef };
enum TzelFormatIndexDefOption { sfSaveIndexDef, sfLoadIndexDef };
enum TzelFormatFilteredOption { sfSaveFiltered };
enum TzelFormatIgnoreRangeOption { sfSaveIgnoreRange };
enum TzelFormatIgnoreMasterDetailOption { sfSaveIgnoreMasterDetail };
enum TzelFormatDeltaOption { sfSaveDeltas, sfLoadDeltas };
enum TzelFormatDontFilterDeltaOption { sfSaveDontFilterDeltas };
enum TzelFormatAppendOption { sfSaveAppend, sfSaveInsert };
enum TzelFormatFieldKindOption { sfSaveFieldKind, sfLoadFieldKind };
enum TzelFormatFromStartOption { sfLoadFromStart };

using TzelFormatDataOptions = TEnumSet<TzelFormatDataOption>;
using TzelFormatCalculatedOptions = TEnumSet<TzelFormatCalculatedOption>;
using TzelFormatLookupOptions = TEnumSet<TzelFormatLookupOption>;
using TzelFormatNonVisibleOptions = TEnumSet<TzelFormatNonVisibleOption>;
using TzelFormatBlobOptions = TEnumSet<TzelFormatBlobOption>;
using TzelFormatDefOptions = TEnumSet<TzelFormatDefOption>;
using TzelFormatIndexDefOptions = TEnumSet<TzelFormatIndexDefOption>;
using TzelFormatFilteredOptions = TEnumSet<TzelFormatFilteredOption>;
using TzelFormatIgnoreRangeOptions = TEnumSet<TzelFormatIgnoreRangeOption>;
using TzelFormatIgnoreMasterDetailOptions = TEnumSet<TzelFormatIgnoreMasterDetailOption>;
using TzelFormatDeltaOptions = TEnumSet<TzelFormatDeltaOption>;
using TzelFormatDontFilterDeltaOptions = TEnumSet<TzelFormatDontFilterDeltaOption>;
using TzelFormatAppendOptions = TEnumSet<TzelFormatAppendOption>;
using TzelFormatFieldKindOptions = TEnumSet<TzelFormatFieldKindOption>;
using TzelFormatFromStartOptions = TEnumSet<TzelFormatFromStartOption>;

// When the load map is built: before the definitions are read, or after.
enum TzelDetermineLoadFieldsSituation { dlfBeforeLoad, dlfAfterLoadDef };

// The compression hooks: Source holds the bytes to convert, the handler writes the result to
// Target.
using TzelStreamCompressEvent =
    std::function<void(TDataSet* Dataset, TStream* Source, TStream* Target)>;

class TzelCustomStreamFormat : public TComponent {
    TESS_CLASS(TzelCustomStreamFormat, TComponent)
public:
    explicit TzelCustomStreamFormat(TComponent* AOwner);
    ~TzelCustomStreamFormat() override;

    std::string Version() { return GetVersion(); }
    void SetVersion(const std::string& /*Value*/) {}

    // The stream the table hands over for one operation, and the stream actually written or read.
    TStream* TargetStream() const { return FTargetStream; }
    void SetTargetStream(TStream* Value) { FTargetStream = Value; }
    TStream* WorkStream() const { return FWorkStream; }
    void SetWorkStream(TStream* Value) { FWorkStream = Value; }
    // Forgets both streams (freeing a work stream of its own).
    void ClearStreams();
    // From the storage lock of BeforeSave or BeforeLoad until the closing step.
    bool FrameOpen() const { return FFrameOpen; }

    // The save map: for field i of the table, i when it is saved, else -1.
    int SaveFieldsCount() const { return FSaveFieldsCount; }
    int SaveField(int Index) const { return FSaveFields[Index]; }
    // The load map: for the k-th stored field, the table field that receives it, or -1.
    int LoadFieldsCount() const { return FLoadFieldsCount; }
    int LoadField(int Index) const { return FLoadFields[Index]; }

    virtual std::string GetVersion();
    virtual void DetermineSaveFields(TzelCustomMemTable* Table);
    virtual void BeforeSave(TzelCustomMemTable* Table);
    virtual void SaveDef(TzelCustomMemTable* Table);
    virtual void SaveData(TzelCustomMemTable* Table);
    virtual void Save(TzelCustomMemTable* Table);
    virtual void AfterSave(TzelCustomMemTable* Table);
    virtual void DetermineLoadFieldIDs(TzelCustomMemTable* Table, TStrings* FieldIDs,
                                       TzelDetermineLoadFieldsSituation Situation);
    virtual void DetermineLoadFields(TzelCustomMemTable* Table,
                                     TzelDetermineLoadFieldsSituation Situation);
    virtual void DetermineLoadFieldIndex(TzelCustomMemTable* Table, const std::string& ID,
                                         int FieldCount, int OrigIndex, int& FieldIndex,
                                         TzelDetermineLoadFieldsSituation Situation);
    virtual void BeforeLoad(TzelCustomMemTable* Table);
    virtual void LoadDef(TzelCustomMemTable* Table);
    virtual void LoadData(TzelCustomMemTable* Table);
    virtual void Load(TzelCustomMemTable* Table);
    virtual void AfterLoad(TzelCustomMemTable* Table);

    void SetIgnoreAutoIncPopulation(TzelCustomMemTable* Table, bool Value);
    // From another stream format the fifteen option sets; otherwise the component assignment.
    void Assign(TPersistent* Source) override;

    // --- Options ---
    TzelFormatDataOptions sfData{sfSaveData, sfLoadData};
    TzelFormatCalculatedOptions sfCalculated;
    TzelFormatLookupOptions sfLookup;
    TzelFormatNonVisibleOptions sfNonVisible{sfSaveNonVisible, sfLoadNonVisible};
    TzelFormatBlobOptions sfBlobs{sfSaveBlobs, sfLoadBlobs};
    TzelFormatDefOptions sfDef{sfSaveDef, sfLoadDef};
    TzelFormatIndexDefOptions sfIndexDef{sfSaveIndexDef, sfLoadIndexDef};
    TzelFormatFilteredOptions sfFiltered{sfSaveFiltered};
    TzelFormatIgnoreRangeOptions sfIgnoreRange{sfSaveIgnoreRange};
    TzelFormatIgnoreMasterDetailOptions sfIgnoreMasterDetail{sfSaveIgnoreMasterDetail};
    TzelFormatDeltaOptions sfDeltas;
    TzelFormatDontFilterDeltaOptions sfDontFilterDeltas;
    TzelFormatAppendOptions sfAppend;
    TzelFormatFieldKindOptions sfFieldKind{sfSaveFieldKind};
    TzelFormatFromStartOptions sfFromStart{sfLoadFromStart};

    // --- Events ---
    TzelStreamCompressEvent OnCompress;   // (table, uncompressed, compressed)
    TzelStreamCompressEvent OnDeCompress; // (table, compressed, decompressed)
    TNotifyEvent OnBeforeSave, OnAfterSave, OnBeforeLoad, OnAfterLoad;

protected:
    // Refuses a table with more field objects than the maps hold, before anything is locked.
    void CheckFieldCount(TzelCustomMemTable* Table);
    static bool IsMapKind(TFieldKind Kind);
    // Runs a format's record loading with the table in its insert state, and puts the state and
    // the version read record back afterwards, also when the loading fails.
    static void LoadInInsertState(TzelCustomMemTable* Table, const std::function<void()>& LoadRecords);
    // A load keeps the table's unique indexes up to date record by record, so that it stops at
    // the first record whose key one of them already holds: FindUniqueIndexes before the first
    // record, StoreLoadedRecord for each record read (EMemTableError "Duplicate index value.
    // Operation aborted." before storing a duplicate; the records before it stay), and
    // ForgetUniqueIndexes at the end.
    void FindUniqueIndexes(TzelCustomMemTable* Table);
    void StoreLoadedRecord(TzelCustomMemTable* Table, TzelRecord* Record);
    void ForgetUniqueIndexes() { FUniqueIndexes.clear(); }

    TStream* FTargetStream = nullptr;
    TStream* FWorkStream = nullptr;
    std::unique_ptr<TStream> FOwnWorkStream;
    TBookmark FBookmark;
    bool FHasBookmark = false;
    bool FKeptFiltered = false;
    bool FKeptRange = false;
    bool FKeptMasterDetail = false;
    bool FKeptEnableIndexes = true;
    bool FKeptPersistent = false;
    // Whether the frame is open: the storage locked, the controls detached.
    bool FFrameOpen = false;
    int FSaveFields[ZEL_MAX_FIELDS + 1] = {};
    int FLoadFields[ZEL_MAX_FIELDS + 1] = {};
    int FLoadFieldsCount = 0;
    int FSaveFieldsCount = 0;
    std::vector<TzelIndex*> FUniqueIndexes;
};

// The base format with every property published.
class TzelStreamFormat : public TzelCustomStreamFormat {
    TESS_CLASS(TzelStreamFormat, TzelCustomStreamFormat)
public:
    explicit TzelStreamFormat(TComponent* AOwner) : TzelCustomStreamFormat(AOwner) {}
};
