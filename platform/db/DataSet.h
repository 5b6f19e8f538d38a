#pragma once
// TDataSet: the cursor over a set of records that every table of the program is. A descendant
// supplies the records through the protected virtual operations (record buffers, fetching,
// positioning, posting); the framework keeps the state, the ring of record buffers that data-aware
// controls look at, the fields, the events and the notices to the data sources.

#include "platform/db/DBCommon.h"
#include "platform/db/Field.h"
#include "platform/db/FieldDefs.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Variants.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TDataSource;
class TDataLink;
class TStream;
class TStrings;
class TList;

using TDataSetNotifyEvent = std::function<void(TDataSet* DataSet)>;
using TDataSetErrorEvent =
    std::function<void(TDataSet* DataSet, EDatabaseError& E, TDataAction& Action)>;
using TFilterRecordEvent = std::function<void(TDataSet* DataSet, bool& Accept)>;

class TDataSet : public TComponent {
    TESS_CLASS(TDataSet, TComponent)
public:
    explicit TDataSet(TComponent* AOwner);
    // A descendant closes the data set in its own destructor: its virtual operations are gone
    // by the time this one runs. Free and owners close it in BeforeDestruction.
    ~TDataSet() override;
    void BeforeDestruction() override;

    // --- State and life ---
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }
    bool Active() const { return FState != dsInactive && FState != dsOpening; }
    void SetActive(bool value);
    TDataSetState State() const { return FState; }
    bool Modified() const { return FModified; }
    bool Bof() const { return FBOF; }
    bool Eof() const { return FEOF; }
    bool IsEmpty() const { return FActiveRecord >= FRecordCount; }
    bool Found() const { return FFound; }
    bool DefaultFields() const { return FDefaultFields; }
    // Raises "Cannot perform this operation on a closed dataset".
    virtual void CheckActive();
    // Raises "Cannot perform this operation on an open dataset".
    virtual void CheckInactive();
    void Loaded() override;

    // --- Navigation ---
    void First();
    void Last();
    void Next() { MoveBy(1); }
    void Prior() { MoveBy(-1); }
    // Returns the number of records actually moved (negative backwards).
    int MoveBy(int distance);
    int RecNo() { return GetRecNo(); }
    // Does nothing unless the descendant numbers its records.
    virtual void SetRecNo(int /*Value*/) {}
    int RecordCount() { return GetRecordCount(); }
    bool FindFirst() { return FindRecord(true, true); }
    bool FindLast() { return FindRecord(true, false); }
    bool FindNext() { return FindRecord(false, true); }
    bool FindPrior() { return FindRecord(false, false); }
    // Places the data set's cursor on the record of the active buffer.
    void UpdateCursorPos();
    // Forgets where the cursor is, so that the next fetch places it again.
    void CursorPosChanged() { FCurrentRecord = -1; }
    // Fills the buffers again around the cursor's record.
    void Resync(TResyncMode mode);
    void Refresh();

    // --- Editing ---
    void Edit();
    void Insert();
    void Append();
    void Post();
    void Cancel();
    void Delete();
    void CheckBrowseMode();
    bool CanModify() { return GetCanModify(); }
    // Lets the data links write their pending values into the record.
    void UpdateRecord();
    void InsertRecord(const std::vector<Variant>& values);
    void AppendRecord(const std::vector<Variant>& values);
    // Assigns values to the fields in order; null and empty values clear the field.
    void SetFields(const std::vector<Variant>& values);
    void ClearFields();

    // --- Bookmarks ---
    int BookmarkSize() const { return FBookmarkSize; }
    TBookmark GetBookmark();
    void GotoBookmark(const TBookmark& bookmark);
    void FreeBookmark(TBookmark& bookmark) { bookmark.clear(); }
    TBookmark Bookmark() { return GetBookmark(); }
    void SetBookmark(const TBookmark& bookmark) { GotoBookmark(bookmark); }
    bool BookmarkAvailable();
    virtual bool BookmarkValid(const TBookmark& bookmark);
    virtual int CompareBookmarks(const TBookmark& bookmark1, const TBookmark& bookmark2);

    // --- Fields ---
    TFieldDefs& FieldDefs() { return *FFieldDefs; }
    const TFieldDefs& FieldDefs() const { return *FFieldDefs; }
    TFieldDefs& FieldDefList() { return *FFieldDefs; }
    TFields& Fields() { return *FFields; }
    int FieldCount() const { return FFields->Count(); }
    TField* FieldByName(const std::string& name) const; // raises "Field '%s' not found"
    TField* FindField(const std::string& name) const;
    TField* FieldByNumber(int fieldNo) const;
    void GetFieldNames(TStrings* list) const;
    // The fields named in "Name1;Name2"; raises for a missing one.
    void GetFieldList(std::vector<TField*>& list, const std::string& fieldNames) const;
    // One field's value, or an array of values for "Name1;Name2".
    Variant FieldValues(const std::string& fieldNames) const;
    void SetFieldValues(const std::string& fieldNames, const Variant& value);
    // Makes sure FieldDefs describe the data set.
    void InitFieldDefs();

    // The native value of a field in the record the state selects; false when null.
    virtual bool GetFieldData(TField* Field, void* Buffer);
    virtual void SetFieldData(TField* Field, const void* Buffer);
    virtual TStream* CreateBlobStream(TField* Field, TBlobStreamMode Mode);
    virtual void CloseBlob(TField* Field);

    // --- Calculated fields ---
    bool AutoCalcFields() const { return FAutoCalcFields; }
    void SetAutoCalcFields(bool value) { FAutoCalcFields = value; }
    int CalcFieldsSize() const { return FCalcFieldsSize; }

    // --- Filtering ---
    bool Filtered() const { return FFiltered; }
    virtual void SetFiltered(bool Value) { FFiltered = Value; }
    const std::string& Filter() const { return FFilterText; }
    void SetFilter(const std::string& value) { SetFilterText(value); }
    virtual void SetFilterText(const std::string& Value) { FFilterText = Value; }
    TFilterOptions FilterOptions() const { return FFilterOptions; }
    virtual void SetFilterOptions(TFilterOptions Value) { FFilterOptions = Value; }

    // --- Controls ---
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return FDisableCount != 0; }

    // --- Searching and the rest ---
    virtual bool Locate(const std::string& KeyFields, const Variant& KeyValues,
                        TLocateOptions Options);
    virtual Variant Lookup(const std::string& KeyFields, const Variant& KeyValues,
                           const std::string& ResultFields);
    virtual bool IsSequenced() { return true; }
    virtual TUpdateStatus UpdateStatus() { return usUnmodified; }
    TDataSource* DataSource() { return GetDataSource(); }
    bool IsLinkedTo(TDataSource* dataSource);

    // Sends a notice to the data sources (and reacts to it itself).
    virtual void DataEvent(TDataEvent Event, std::intptr_t Info);

    // --- Events ---
    TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
    TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
    TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
    TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
    TDataSetNotifyEvent OnNewRecord, OnCalcFields;
    TDataSetErrorEvent OnPostError, OnEditError, OnDeleteError;
    // The framework does not filter: a descendant calls it, in the filtering state, while it
    // decides whether a record is visible.
    TFilterRecordEvent OnFilterRecord;

protected:
    // --- Record buffers and the cursor: what a descendant supplies ---
    virtual TRecordBuffer AllocRecordBuffer() = 0;
    virtual void FreeRecordBuffer(TRecordBuffer& Buffer) = 0;
    virtual void GetBookmarkData(TRecordBuffer Buffer, void* Data) = 0;
    virtual TBookmarkFlag GetBookmarkFlag(TRecordBuffer Buffer) = 0;
    virtual void SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) = 0;
    virtual void SetBookmarkData(TRecordBuffer Buffer, const void* Data) = 0;
    virtual TGetResult GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool DoCheck) = 0;
    virtual int GetRecordSize() { return 0; }
    virtual void InternalAddRecord(TRecordBuffer Buffer, bool Append) = 0;
    virtual void InternalClose() = 0;
    virtual void InternalDelete() = 0;
    virtual void InternalFirst() = 0;
    virtual void InternalGotoBookmark(const TBookmark& Bookmark) = 0;
    virtual void InternalHandleException();
    virtual void InternalInitFieldDefs() = 0;
    virtual void InternalInitRecord(TRecordBuffer Buffer) = 0;
    virtual void InternalLast() = 0;
    virtual void InternalOpen() = 0;
    // The framework checks required fields before calling it.
    virtual void InternalPost() {}
    virtual void InternalSetToRecord(TRecordBuffer Buffer) = 0;
    virtual bool IsCursorOpen() = 0;
    virtual void InternalEdit() {}
    virtual void InternalInsert() {}
    virtual void InternalCancel() {}
    virtual void InternalRefresh() {}

    // --- Overridable parts of the framework's own behaviour ---
    virtual void DoBeforeOpen();
    virtual void DoAfterOpen();
    virtual void DoBeforeClose();
    virtual void DoAfterClose();
    virtual void DoBeforeInsert();
    virtual void DoAfterInsert();
    virtual void DoBeforeEdit();
    virtual void DoAfterEdit();
    virtual void DoBeforePost();
    virtual void DoAfterPost();
    virtual void DoBeforeCancel();
    virtual void DoAfterCancel();
    virtual void DoBeforeDelete();
    virtual void DoAfterDelete();
    virtual void DoBeforeScroll();
    virtual void DoAfterScroll();
    virtual void DoOnNewRecord();
    virtual void DoOnCalcFields();
    virtual bool FindRecord(bool Restart, bool GoForward);
    virtual bool GetCanModify() { return true; }
    virtual TDataSource* GetDataSource() { return nullptr; }
    virtual bool GetIsIndexField(TField* /*Field*/) { return false; }
    virtual int GetRecordCount() { return -1; }
    virtual int GetRecNo() { return -1; }
    virtual void ClearCalcFields(TRecordBuffer Buffer);
    virtual void CalculateFields(TRecordBuffer Buffer);
    virtual void OpenCursor(bool InfoQuery);
    virtual void CloseCursor();
    virtual void CreateFields();
    virtual void DestroyFields();
    virtual void BindFields(bool Binding);
    virtual void InitRecord(TRecordBuffer Buffer);
    virtual void SetBufferCount(int Value);
    void Notification(TComponent* AComponent, TOperation Operation) override;

    // --- Helpers for descendants ---
    void SetState(TDataSetState Value);
    TDataSetState SetTempState(TDataSetState Value);
    void RestoreState(TDataSetState Value);
    void SetModified(bool Value) { FModified = Value; }
    void SetFound(bool Value) { FFound = Value; }
    void SetBookmarkSize(int Value) { FBookmarkSize = Value; }
    void GetCalcFields(TRecordBuffer Buffer);
    // The field's value read with the data set in State (old, new or current value).
    virtual Variant GetStateFieldValue(TDataSetState State, TField* Field);
    void CheckRequiredFields();
    void CheckCanModify();
    bool GetNextRecord();
    bool GetPriorRecord();
    int GetNextRecords();
    int GetPriorRecords();
    void ClearBuffers();
    void UpdateBufferCount();
    void SetCurrentRecord(int Index);
    TRecordBuffer ActiveBuffer() const { return FBuffers.empty() ? nullptr : FBuffers[FActiveRecord]; }
    TRecordBuffer CalcBuffer() const { return FCalcBuffer; }
    TRecordBuffer Buffers(int Index) const { return FBuffers[Index]; }
    // The buffer fetches land in (one past the filled ones).
    TRecordBuffer TempBuffer() const { return FBuffers[FRecordCount]; }
    int BufferCount() const { return FBufferCount; }
    int ActiveRecord() const { return FActiveRecord; }
    int CurrentRecord() const { return FCurrentRecord; }
    // The number of filled buffers.
    int BufferRecordCount() const { return FRecordCount; }

    // The state of the buffer ring, kept as the class library keeps it.
    std::vector<TRecordBuffer> FBuffers; // FBufferCount + 1 buffers once open
    int FBufferCount = 0;
    int FRecordCount = 0;
    int FActiveRecord = 0;
    int FCurrentRecord = -1;
    bool FBOF = true;
    bool FEOF = true;
    int FBookmarkSize = 0;
    int FCalcFieldsSize = 0;
    bool FInternalCalcFields = false;
    TRecordBuffer FCalcBuffer = nullptr;

private:
    friend class TDataLink;
    friend class TDataSource;
    friend class TField;
    friend class TFieldDefs;

    void DoInternalOpen();
    void OpenCursorComplete();
    void SetBufListSize(int Value);
    void MoveBuffer(int CurIndex, int NewIndex);
    void ActivateBuffers();
    void BeginInsertAppend();
    void EndInsertAppend();
    TBookmark PrepareInsertBuffer();
    void PrepareAppendBuffer();
    void InternalInsertOrRestore(const TBookmark& before, int activeBefore);
    void PostWith(const std::function<void()>& operation);
    void CheckOperation(const std::function<void()>& operation, const TDataSetErrorEvent& errorEvent);
    void UpdateCalcFields();
    void AddDataSource(TDataSource* DataSource);
    void RemoveDataSource(TDataSource* DataSource);
    void CheckNestedBrowseMode();
    void FireEvent(const TDataSetNotifyEvent& event);
    std::vector<TDataLink*> AllDataLinks() const;

    TDataSetState FState = dsInactive;
    bool FModified = false;
    bool FFound = false;
    bool FDefaultFields = false;
    bool FInternalOpenComplete = false;
    bool FStreamedActive = false;
    bool FAutoCalcFields = true;
    bool FFiltered = false;
    std::string FFilterText;
    TFilterOptions FFilterOptions;
    int FDisableCount = 0;
    TDataSetState FDisableState = dsInactive;
    TDataEvent FEnableEvent = deDataSetChange;
    std::unique_ptr<TFieldDefs> FFieldDefs;
    std::unique_ptr<TFields> FFields;
    std::vector<TDataSource*> FDataSources;
};
