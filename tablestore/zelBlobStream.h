#pragma once
// The stream through which the data-set framework reads and writes a blob field of an in-memory
// table's active record: the bytes are copied in when the stream is made and copied back into
// the record buffer when a changed stream is freed; the post stores them.

#include "platform/db/DB.h"
#include "platform/rtl/Streams.h"
#include "tablestore/zelCommon.h"

class TzelCustomMemTable;

class TzelBlobStream : public TMemoryStream {
    TESS_CLASS(TzelBlobStream, TMemoryStream)
public:
    // In the write modes: EDatabaseError "Field %s is read only" for a read-only field and
    // "Dataset is not in edit mode." outside edit and insert, unless the table ignores read-only
    // (a load). Write mode starts empty, the others with the field's bytes.
    TzelBlobStream(TField* Field, TBlobStreamMode Mode);
    // Writes a changed stream back into the record buffer; a failure goes to the application's
    // exception display and is not passed on.
    ~TzelBlobStream() override;

    int Write(const void* Buffer, int Count) override;
    // Empties the stream and makes the buffer's value null.
    void Truncate();
    void ReadBlobData();
    void WriteBlobData();

    bool BlobModified() const { return FModified; }

private:
    TField* FField;
    TzelCustomMemTable* FTable;
    TBlobStreamMode FMode;
    TzelRecord* FBuffer = nullptr;
    TzelRecord* FStored = nullptr;
    char* FBufferSlot = nullptr;
    char* FStoredSlot = nullptr;
    bool FModified = false;
};
