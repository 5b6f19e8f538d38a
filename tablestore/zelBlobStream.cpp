#include "tablestore/zelBlobStream.h"

#include "tablestore/zelMemTable.h"

#include <cstring>
#include <memory>
#include <string>

TzelBlobStream::TzelBlobStream(TField* Field, TBlobStreamMode Mode)
    : FField(Field), FTable(dynamic_cast<TzelCustomMemTable*>(Field->DataSet())), FMode(Mode)
{
    if (!FTable)
        DatabaseErrorFmt(DBMessages::DataSetMissing, {Field->DisplayName()});
    TzelCommon* common = FTable->Common();
    TzelStorageLock guard(*common);
    if (Mode != bmRead && !FTable->IgnoreReadOnly()) {
        if (Field->ReadOnly())
            DatabaseErrorFmt("Field %s is read only", {Field->DisplayName()});
        if (FTable->State() != dsEdit && FTable->State() != dsInsert)
            DatabaseError("Dataset is not in edit mode.");
    }
    if (!FTable->FCursorOpen)
        return;
    FBuffer = FTable->ActiveRecordLocked();
    const int fieldNo = Field->FieldNo();
    if (FBuffer && fieldNo > 0 && common->IsVarLengthField(fieldNo)) {
        FBufferSlot = common->GetFieldPointer(FBuffer, fieldNo);
        if (FBuffer->RecordID >= 0) {
            FStored = FTable->FindStoredRecord(FBuffer->RecordID, FBuffer->UniqueID);
            if (FStored && FStored != FBuffer)
                FStoredSlot = common->GetFieldPointer(FStored, fieldNo);
        }
    } else {
        FBuffer = nullptr;
    }
    if (Mode == bmWrite)
        Truncate();
    else
        ReadBlobData();
}

TzelBlobStream::~TzelBlobStream()
{
    if (!FModified)
        return;
    try {
        WriteBlobData();
        const int fieldNo = FField->FieldNo();
        if (fieldNo > 0)
            FTable->Common()->SetModifiedFlag(fieldNo - 1, true);
        FTable->DataEvent(deFieldChange, reinterpret_cast<std::intptr_t>(FField));
    } catch (...) {
        HandleApplicationException(this);
    }
}

int TzelBlobStream::Write(const void* Buffer, int Count)
{
    const int written = TMemoryStream::Write(Buffer, Count);
    if (FMode != bmRead)
        FModified = true;
    return written;
}

void TzelBlobStream::Truncate()
{
    Clear();
    if (FBufferSlot) {
        TzelCommon::FreeVarLengthBlock(TzelCommon::SlotBlock(FBufferSlot));
        TzelCommon::SetSlotBlock(FBufferSlot, nullptr);
        FBufferSlot[0] = 0;
    }
    FModified = true;
}

void TzelBlobStream::ReadBlobData()
{
    if (!FBufferSlot)
        return;
    const char* block = TzelCommon::SlotBlock(FBufferSlot);
    if (!block) {
        if (FBufferSlot[0] == 0 || !FStoredSlot)
            return;
        block = TzelCommon::SlotBlock(FStoredSlot);
        if (!block)
            return;
    }
    const char* data = TzelCommon::VarLengthBlockData(block);
    const int size = TzelCommon::VarLengthBlockSize(block);
    if (FTable->OnDecompressBlobStream) {
        TMemoryStream raw;
        if (size > 0)
            raw.WriteBuffer(data, size);
        raw.SetPosition(0);
        FTable->OnDecompressBlobStream(FTable, &raw, this);
    } else if (size > 0) {
        TMemoryStream::Write(data, size);
    }
    SetPosition(0);
}

void TzelBlobStream::WriteBlobData()
{
    if (!FBufferSlot)
        return;
    TzelCommon::FreeVarLengthBlock(TzelCommon::SlotBlock(FBufferSlot));
    TzelCommon::SetSlotBlock(FBufferSlot, nullptr);
    FBufferSlot[0] = 0;
    const char* bytes = Memory();
    std::int64_t size = Size();
    TMemoryStream compressed;
    if (FTable->OnCompressBlobStream) {
        SetPosition(0);
        FTable->OnCompressBlobStream(FTable, this, &compressed);
        bytes = compressed.Memory();
        size = compressed.Size();
    }
    if (size <= 0)
        return;
    char* block = TzelCommon::CreateVarLengthBlock(static_cast<int>(size));
    std::memcpy(TzelCommon::VarLengthBlockData(block), bytes, static_cast<std::size_t>(size));
    TzelCommon::SetSlotBlock(FBufferSlot, block);
    FBufferSlot[0] = zelSlotPresent;
}
