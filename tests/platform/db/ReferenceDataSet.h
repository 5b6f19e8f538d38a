#pragma once
// A data set kept in a vector of records, written on the framework's virtual operations the way
// the in-memory table uses them. Every virtual operation it implements can be recorded in Log.

#include "platform/db/DB.h"
#include "platform/rtl/Streams.h"

#include <map>
#include <string>
#include <vector>

struct TColumn {
    std::string Name;
    TFieldType Type;
    int Size = 0;
    bool Required = false;
};

class TReferenceDataSet : public TDataSet {
    TESS_CLASS(TReferenceDataSet, TDataSet)
public:
    TReferenceDataSet(TComponent* AOwner, std::vector<TColumn> columns);
    ~TReferenceDataSet() override;

    // Records the virtual operations called, when set.
    std::vector<std::string>* Log = nullptr;
    bool ReadOnly = false;
    // What GetDataSource reports: the source of a master, for the circular-link checks.
    TDataSource* MasterSource = nullptr;
    // The named internal operation fails FailCount times with "refused".
    std::string FailOperation;
    int FailCount = 0;

    // The record numbers (1-based row order) the buffers hold, for ring checks.
    std::vector<int> BufferedIds();
    int ActiveIndex() const { return ActiveRecord(); }
    int Buffered() const { return BufferRecordCount(); }
    int Ring() const { return BufferCount(); }
    int RecordId(int row) const { return FRecords[static_cast<std::size_t>(row)].Id; }
    int StoredCount() const { return static_cast<int>(FRecords.size()); }

    // Appends count records through the framework: field 0 := id, other fields by fill.
    void AddRows(int count);

    bool Locate(const std::string& KeyFields, const Variant& KeyValues,
                TLocateOptions Options) override;
    Variant Lookup(const std::string& KeyFields, const Variant& KeyValues,
                   const std::string& ResultFields) override;
    bool GetFieldData(TField* Field, void* Buffer) override;
    void SetFieldData(TField* Field, const void* Buffer) override;
    TStream* CreateBlobStream(TField* Field, TBlobStreamMode Mode) override;
    bool BookmarkValid(const TBookmark& bookmark) override;
    int CompareBookmarks(const TBookmark& bookmark1, const TBookmark& bookmark2) override;
    void SetRecNo(int Value) override;
    void SetFiltered(bool Value) override;

    // Places the cursor at row and fills the buffers around it exactly.
    void ResyncAt(int row)
    {
        FCursor = row;
        CursorPosChanged();
        Resync({rmExact});
    }

    // Used by the blob stream.
    void StoreBlob(TField* field, const std::string& bytes);
    std::string ReadBlob(TField* field);

protected:
    TRecordBuffer AllocRecordBuffer() override;
    void FreeRecordBuffer(TRecordBuffer& Buffer) override;
    void GetBookmarkData(TRecordBuffer Buffer, void* Data) override;
    TBookmarkFlag GetBookmarkFlag(TRecordBuffer Buffer) override;
    void SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) override;
    void SetBookmarkData(TRecordBuffer Buffer, const void* Data) override;
    TGetResult GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool DoCheck) override;
    int GetRecordSize() override { return FRecordSize; }
    void InternalAddRecord(TRecordBuffer Buffer, bool Append) override;
    void InternalClose() override;
    void InternalDelete() override;
    void InternalFirst() override;
    void InternalGotoBookmark(const TBookmark& Bookmark) override;
    void InternalInitFieldDefs() override;
    void InternalInitRecord(TRecordBuffer Buffer) override;
    void InternalLast() override;
    void InternalOpen() override;
    void InternalPost() override;
    void InternalSetToRecord(TRecordBuffer Buffer) override;
    bool IsCursorOpen() override { return FCursorOpen; }
    void InternalEdit() override;
    void InternalInsert() override;
    void InternalCancel() override;
    bool GetCanModify() override { return !ReadOnly; }
    TDataSource* GetDataSource() override { return MasterSource; }
    int GetRecordCount() override;
    int GetRecNo() override;
    bool FindRecord(bool Restart, bool GoForward) override;

    void DoBeforeOpen() override;
    void DoAfterOpen() override;
    void DoBeforePost() override;
    void DoAfterPost() override;

private:
    struct TRecord {
        int Id = 0;
        std::string Data;
        std::map<int, std::string> Blobs; // by field number
    };

    void Note(const char* operation);
    void MaybeFail(const char* operation);
    TRecordBuffer ActiveRecordBuffer();
    int SlotOffset(TField* field) const;
    int SlotSize(TField* field) const;
    int BufferId(TRecordBuffer buffer) const;
    void SetBufferId(TRecordBuffer buffer, int id) const;
    char& BufferFlag(TRecordBuffer buffer) const;
    int PositionOfId(int id) const;
    bool Accept(int position);
    bool MoveNext();
    bool MovePrior();
    void StoreBuffer(TRecordBuffer buffer, TRecord& record);
    int NativeSize(TFieldType type, int size) const;

    std::vector<TColumn> FColumns;
    std::vector<TRecord> FRecords;
    std::vector<int> FOffsets; // by field number - 1
    std::map<TRecordBuffer, std::map<int, std::string>> FPendingBlobs;
    int FRecordSize = 0;
    int FBufferSize = 0;
    int FCursor = -1;
    int FNextId = 1;
    bool FCursorOpen = false;
    TRecordBuffer FFilterBuffer = nullptr;
    std::string FStoredView;
};
