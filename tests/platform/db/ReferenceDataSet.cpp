#include "ReferenceDataSet.h"

#include "platform/rtl/TextUtils.h"

#include <cstring>

namespace {

// The blob stream: bytes copied in on creation, written back to the active buffer when a
// changed stream is destroyed.
class TReferenceBlobStream : public TMemoryStream {
public:
    TReferenceBlobStream(TReferenceDataSet* dataSet, TField* field, TBlobStreamMode mode)
        : FDataSet(dataSet), FField(field), FMode(mode)
    {
        if (mode != bmRead) {
            if (dataSet->State() != dsEdit && dataSet->State() != dsInsert)
                DatabaseError("Dataset is not in edit mode.");
            FModified = mode == bmWrite;
        }
        if (mode != bmWrite) {
            const std::string bytes = dataSet->ReadBlob(field);
            if (!bytes.empty())
                WriteBuffer(bytes.data(), static_cast<int>(bytes.size()));
            SetPosition(0);
            FModified = false;
        }
    }

    ~TReferenceBlobStream() override
    {
        if (!FModified)
            return;
        try {
            FDataSet->StoreBlob(FField, std::string(Memory(), static_cast<std::size_t>(Size())));
        } catch (...) {
            HandleApplicationException(FDataSet);
        }
    }

    int Write(const void* buffer, int count) override
    {
        if (FMode != bmRead)
            FModified = true;
        return TMemoryStream::Write(buffer, count);
    }

private:
    TReferenceDataSet* FDataSet;
    TField* FField;
    TBlobStreamMode FMode;
    bool FModified = false;
};

} // namespace

TReferenceDataSet::TReferenceDataSet(TComponent* AOwner, std::vector<TColumn> columns)
    : TDataSet(AOwner), FColumns(std::move(columns))
{
}

TReferenceDataSet::~TReferenceDataSet()
{
    Log = nullptr;
    Close();
}

void TReferenceDataSet::Note(const char* operation)
{
    if (Log)
        Log->push_back(operation);
}

int TReferenceDataSet::NativeSize(TFieldType type, int size) const
{
    switch (type) {
    case ftString:
        return size + 1;
    case ftSmallint:
    case ftWord:
    case ftBoolean:
        return 2;
    case ftInteger:
    case ftAutoInc:
        return 4;
    case ftFloat:
    case ftCurrency:
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftLargeint:
        return 8;
    case ftBCD:
        return 34;
    case ftBytes:
        return size;
    case ftVarBytes:
        return size + 2;
    default:
        return 0; // blobs keep their bytes beside the record
    }
}

void TReferenceDataSet::InternalInitFieldDefs()
{
    Note("InternalInitFieldDefs");
    FieldDefs().Clear();
    for (const TColumn& column : FColumns)
        FieldDefs().Add(column.Name, column.Type, column.Size, column.Required);
}

void TReferenceDataSet::InternalOpen()
{
    Note("InternalOpen");
    InternalInitFieldDefs();
    if (DefaultFields())
        CreateFields();
    BindFields(true);
    FOffsets.clear();
    FRecordSize = 0;
    for (int i = 0; i < FieldDefs().Count(); ++i) {
        TFieldDef* def = FieldDefs().Items(i);
        FOffsets.push_back(FRecordSize);
        FRecordSize += 1 + NativeSize(def->DataType(), def->Size());
    }
    FBufferSize = FRecordSize + CalcFieldsSize() + 1 + static_cast<int>(sizeof(int)) + 1;
    SetBookmarkSize(sizeof(int));
    FCursor = -1;
    FCursorOpen = true;
}

void TReferenceDataSet::InternalClose()
{
    Note("InternalClose");
    FCursorOpen = false;
    FPendingBlobs.clear();
}

void TReferenceDataSet::MaybeFail(const char* operation)
{
    if (FailOperation == operation && FailCount > 0) {
        --FailCount;
        DatabaseError("refused");
    }
}

TRecordBuffer TReferenceDataSet::AllocRecordBuffer()
{
    Note("AllocRecordBuffer");
    auto* buffer = new char[static_cast<std::size_t>(FBufferSize)];
    std::memset(buffer, 0, static_cast<std::size_t>(FBufferSize));
    return buffer;
}

void TReferenceDataSet::FreeRecordBuffer(TRecordBuffer& Buffer)
{
    Note("FreeRecordBuffer");
    FPendingBlobs.erase(Buffer);
    delete[] Buffer;
    Buffer = nullptr;
}

int TReferenceDataSet::BufferId(TRecordBuffer buffer) const
{
    int id = 0;
    std::memcpy(&id, buffer + FRecordSize + CalcFieldsSize() + 1, sizeof id);
    return id;
}

void TReferenceDataSet::SetBufferId(TRecordBuffer buffer, int id) const
{
    std::memcpy(buffer + FRecordSize + CalcFieldsSize() + 1, &id, sizeof id);
}

char& TReferenceDataSet::BufferFlag(TRecordBuffer buffer) const
{
    return buffer[FRecordSize + CalcFieldsSize() + 1 + sizeof(int)];
}

void TReferenceDataSet::GetBookmarkData(TRecordBuffer Buffer, void* Data)
{
    Note("GetBookmarkData");
    const int id = BufferId(Buffer);
    std::memcpy(Data, &id, sizeof id);
}

TBookmarkFlag TReferenceDataSet::GetBookmarkFlag(TRecordBuffer Buffer)
{
    return static_cast<TBookmarkFlag>(BufferFlag(Buffer));
}

void TReferenceDataSet::SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value)
{
    BufferFlag(Buffer) = static_cast<char>(Value);
}

void TReferenceDataSet::SetBookmarkData(TRecordBuffer Buffer, const void* Data)
{
    Note("SetBookmarkData");
    int id = 0;
    std::memcpy(&id, Data, sizeof id);
    SetBufferId(Buffer, id);
}

int TReferenceDataSet::PositionOfId(int id) const
{
    for (std::size_t i = 0; i < FRecords.size(); ++i)
        if (FRecords[i].Id == id)
            return static_cast<int>(i);
    return -1;
}

bool TReferenceDataSet::Accept(int position)
{
    if (!Filtered() || !OnFilterRecord)
        return true;
    std::string scratch(static_cast<std::size_t>(FBufferSize), '\0');
    std::memcpy(scratch.data(), FRecords[static_cast<std::size_t>(position)].Data.data(),
                static_cast<std::size_t>(FRecordSize));
    SetBufferId(scratch.data(), FRecords[static_cast<std::size_t>(position)].Id);
    const TRecordBuffer saved = FFilterBuffer;
    FFilterBuffer = scratch.data();
    const TDataSetState state = SetTempState(dsFilter);
    bool accept = true;
    try {
        OnFilterRecord(this, accept);
    } catch (...) {
        RestoreState(state);
        FFilterBuffer = saved;
        throw;
    }
    RestoreState(state);
    FFilterBuffer = saved;
    return accept;
}

bool TReferenceDataSet::MoveNext()
{
    const int count = static_cast<int>(FRecords.size());
    while (FCursor < count - 1) {
        ++FCursor;
        if (Accept(FCursor))
            return true;
    }
    FCursor = count;
    return false;
}

bool TReferenceDataSet::MovePrior()
{
    while (FCursor > 0) {
        --FCursor;
        if (Accept(FCursor))
            return true;
    }
    FCursor = -1;
    return false;
}

TGetResult TReferenceDataSet::GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool /*DoCheck*/)
{
    Note(GetMode == gmCurrent ? "GetRecord(current)"
                              : GetMode == gmNext ? "GetRecord(next)" : "GetRecord(prior)");
    const int count = static_cast<int>(FRecords.size());
    switch (GetMode) {
    case gmCurrent:
        if (FCursor < 0)
            return grBOF;
        if (FCursor >= count || !Accept(FCursor))
            return grEOF;
        break;
    case gmNext:
        if (!MoveNext())
            return grEOF;
        break;
    case gmPrior:
        if (!MovePrior())
            return grBOF;
        break;
    }
    const TRecord& record = FRecords[static_cast<std::size_t>(FCursor)];
    FPendingBlobs.erase(Buffer);
    std::memset(Buffer, 0, static_cast<std::size_t>(FBufferSize));
    std::memcpy(Buffer, record.Data.data(), static_cast<std::size_t>(FRecordSize));
    SetBufferId(Buffer, record.Id);
    BufferFlag(Buffer) = bfCurrent;
    GetCalcFields(Buffer);
    return grOK;
}

void TReferenceDataSet::InternalInitRecord(TRecordBuffer Buffer)
{
    Note("InternalInitRecord");
    FPendingBlobs.erase(Buffer);
    std::memset(Buffer, 0, static_cast<std::size_t>(FRecordSize + CalcFieldsSize()));
}

void TReferenceDataSet::InternalFirst()
{
    Note("InternalFirst");
    FCursor = -1;
}

void TReferenceDataSet::InternalLast()
{
    Note("InternalLast");
    FCursor = static_cast<int>(FRecords.size());
}

void TReferenceDataSet::InternalSetToRecord(TRecordBuffer Buffer)
{
    Note("InternalSetToRecord");
    const int position = PositionOfId(BufferId(Buffer));
    if (position >= 0)
        FCursor = position;
}

void TReferenceDataSet::InternalGotoBookmark(const TBookmark& Bookmark)
{
    Note("InternalGotoBookmark");
    int id = 0;
    std::memcpy(&id, Bookmark.data(), sizeof id);
    const int position = PositionOfId(id);
    if (position < 0)
        DatabaseError("Record not found", this);
    FCursor = position;
}

void TReferenceDataSet::StoreBuffer(TRecordBuffer buffer, TRecord& record)
{
    record.Data.assign(buffer, static_cast<std::size_t>(FRecordSize));
    auto pending = FPendingBlobs.find(buffer);
    if (pending != FPendingBlobs.end()) {
        for (auto& [fieldNo, bytes] : pending->second)
            record.Blobs[fieldNo] = bytes;
        FPendingBlobs.erase(pending);
    }
}

void TReferenceDataSet::InternalPost()
{
    Note("InternalPost");
    MaybeFail("InternalPost");
    TRecordBuffer buffer = ActiveBuffer();
    if (State() == dsEdit) {
        StoreBuffer(buffer, FRecords[static_cast<std::size_t>(FCursor)]);
        return;
    }
    TRecord record;
    record.Id = FNextId++;
    StoreBuffer(buffer, record);
    int position = static_cast<int>(FRecords.size());
    if (GetBookmarkFlag(buffer) != bfEOF)
        position = std::clamp(FCursor, 0, static_cast<int>(FRecords.size()));
    FRecords.insert(FRecords.begin() + position, std::move(record));
    FCursor = position;
}

void TReferenceDataSet::InternalAddRecord(TRecordBuffer Buffer, bool Append)
{
    Note(Append ? "InternalAddRecord(append)" : "InternalAddRecord(insert)");
    TRecord record;
    record.Id = FNextId++;
    StoreBuffer(Buffer, record);
    const int position =
        Append ? static_cast<int>(FRecords.size())
               : std::clamp(FCursor, 0, static_cast<int>(FRecords.size()));
    FRecords.insert(FRecords.begin() + position, std::move(record));
    FCursor = position;
}

void TReferenceDataSet::InternalDelete()
{
    Note("InternalDelete");
    MaybeFail("InternalDelete");
    FRecords.erase(FRecords.begin() + FCursor);
}

void TReferenceDataSet::InternalEdit()
{
    Note("InternalEdit");
    MaybeFail("InternalEdit");
}

void TReferenceDataSet::InternalInsert()
{
    Note("InternalInsert");
    MaybeFail("InternalInsert");
}

void TReferenceDataSet::InternalCancel()
{
    Note("InternalCancel");
    FPendingBlobs.erase(ActiveBuffer());
}

void TReferenceDataSet::DoBeforeOpen()
{
    Note("DoBeforeOpen");
    TDataSet::DoBeforeOpen();
}

void TReferenceDataSet::DoAfterOpen()
{
    Note("DoAfterOpen");
    TDataSet::DoAfterOpen();
}

void TReferenceDataSet::DoBeforePost()
{
    Note("DoBeforePost");
    TDataSet::DoBeforePost();
}

void TReferenceDataSet::DoAfterPost()
{
    Note("DoAfterPost");
    TDataSet::DoAfterPost();
}

// The record the field operations address in the current state.
TRecordBuffer TReferenceDataSet::ActiveRecordBuffer()
{
    switch (State()) {
    case dsBrowse:
        return IsEmpty() ? nullptr : ActiveBuffer();
    case dsEdit:
    case dsInsert:
        return ActiveBuffer();
    case dsCalcFields:
        return CalcBuffer();
    case dsFilter:
        return FFilterBuffer;
    case dsNewValue:
        return ActiveBuffer();
    case dsOldValue:
    case dsCurValue: {
        // The stored record of the active buffer, before the edit.
        const int position = IsEmpty() ? -1 : PositionOfId(BufferId(ActiveBuffer()));
        if (position < 0)
            return nullptr;
        FStoredView.assign(static_cast<std::size_t>(FBufferSize), '\0');
        std::memcpy(FStoredView.data(), FRecords[static_cast<std::size_t>(position)].Data.data(),
                    static_cast<std::size_t>(FRecordSize));
        return FStoredView.data();
    }
    default:
        return nullptr;
    }
}

int TReferenceDataSet::SlotOffset(TField* field) const
{
    if (field->FieldNo() > 0)
        return FOffsets[static_cast<std::size_t>(field->FieldNo() - 1)];
    return FRecordSize + field->Offset();
}

int TReferenceDataSet::SlotSize(TField* field) const
{
    if (field->FieldNo() > 0) {
        TFieldDef* def = FieldDefs().Items(field->FieldNo() - 1);
        return NativeSize(def->DataType(), def->Size());
    }
    return field->DataSize();
}

bool TReferenceDataSet::GetFieldData(TField* Field, void* Buffer)
{
    TRecordBuffer record = ActiveRecordBuffer();
    if (!record)
        return false;
    const char* slot = record + SlotOffset(Field);
    if (slot[0] == 0)
        return false;
    if (Buffer)
        std::memcpy(Buffer, slot + 1, static_cast<std::size_t>(SlotSize(Field)));
    return true;
}

void TReferenceDataSet::SetFieldData(TField* Field, const void* Buffer)
{
    const TDataSetState state = State();
    if (state != dsEdit && state != dsInsert && state != dsSetKey && state != dsCalcFields &&
        state != dsFilter && state != dsNewValue)
        DatabaseError("Dataset is not in edit mode.");
    TRecordBuffer record = ActiveRecordBuffer();
    if (!record)
        return;
    if ((ReadOnly || Field->ReadOnly()) && state != dsSetKey && state != dsCalcFields)
        DatabaseError(Format("Field %s is read only", {Field->DisplayName()}));
    Field->Validate(Buffer);
    char* slot = record + SlotOffset(Field);
    slot[0] = Buffer ? 2 : 0;
    if (Buffer)
        std::memcpy(slot + 1, Buffer, static_cast<std::size_t>(SlotSize(Field)));
    if (state != dsCalcFields && state != dsFilter && state != dsNewValue)
        DataEvent(deFieldChange, reinterpret_cast<std::intptr_t>(Field));
}

TStream* TReferenceDataSet::CreateBlobStream(TField* Field, TBlobStreamMode Mode)
{
    return new TReferenceBlobStream(this, Field, Mode);
}

std::string TReferenceDataSet::ReadBlob(TField* field)
{
    TRecordBuffer record = ActiveRecordBuffer();
    if (!record)
        return {};
    auto pending = FPendingBlobs.find(record);
    if (pending != FPendingBlobs.end()) {
        auto it = pending->second.find(field->FieldNo());
        if (it != pending->second.end())
            return it->second;
    }
    const int position = PositionOfId(BufferId(record));
    if (position < 0 || record[SlotOffset(field)] == 0)
        return {};
    const auto& blobs = FRecords[static_cast<std::size_t>(position)].Blobs;
    auto it = blobs.find(field->FieldNo());
    return it == blobs.end() ? std::string() : it->second;
}

void TReferenceDataSet::StoreBlob(TField* field, const std::string& bytes)
{
    TRecordBuffer record = ActiveBuffer();
    FPendingBlobs[record][field->FieldNo()] = bytes;
    record[SlotOffset(field)] = bytes.empty() ? 0 : 2;
    DataEvent(deFieldChange, reinterpret_cast<std::intptr_t>(field));
}

bool TReferenceDataSet::BookmarkValid(const TBookmark& bookmark)
{
    if (bookmark.size() != sizeof(int))
        return false;
    int id = 0;
    std::memcpy(&id, bookmark.data(), sizeof id);
    return PositionOfId(id) >= 0;
}

int TReferenceDataSet::CompareBookmarks(const TBookmark& bookmark1, const TBookmark& bookmark2)
{
    if (!BookmarkValid(bookmark1) || !BookmarkValid(bookmark2))
        return 0;
    int id1 = 0;
    int id2 = 0;
    std::memcpy(&id1, bookmark1.data(), sizeof id1);
    std::memcpy(&id2, bookmark2.data(), sizeof id2);
    const int difference = PositionOfId(id1) - PositionOfId(id2);
    return difference < 0 ? -1 : difference > 0 ? 1 : 0;
}

int TReferenceDataSet::GetRecordCount()
{
    CheckActive();
    int count = 0;
    for (int i = 0; i < static_cast<int>(FRecords.size()); ++i)
        if (Accept(i))
            ++count;
    return count;
}

int TReferenceDataSet::GetRecNo()
{
    if (!Active() || IsEmpty())
        return -1;
    const int position = PositionOfId(BufferId(ActiveBuffer()));
    return position < 0 ? -1 : position + 1;
}

void TReferenceDataSet::SetRecNo(int Value)
{
    const int current = RecNo();
    if (Value <= 0 || Value > static_cast<int>(FRecords.size()) || Value == current)
        return;
    MoveBy(Value - current);
}

void TReferenceDataSet::SetFiltered(bool Value)
{
    TDataSet::SetFiltered(Value);
    if (Active())
        First();
}

bool TReferenceDataSet::FindRecord(bool Restart, bool GoForward)
{
    CheckBrowseMode();
    DoBeforeScroll();
    SetFound(false);
    UpdateCursorPos();
    CursorPosChanged();
    if (Restart)
        FCursor = GoForward ? -1 : static_cast<int>(FRecords.size());
    const bool found = GoForward ? MoveNext() : MovePrior();
    if (found) {
        Resync({rmExact, rmCenter});
        SetFound(true);
        DoAfterScroll();
    }
    return found;
}

bool TReferenceDataSet::Locate(const std::string& KeyFields, const Variant& KeyValues,
                               TLocateOptions Options)
{
    CheckBrowseMode();
    std::vector<TField*> fields;
    GetFieldList(fields, KeyFields);
    std::string scratch(static_cast<std::size_t>(FBufferSize), '\0');
    int found = -1;
    for (int i = 0; i < static_cast<int>(FRecords.size()) && found < 0; ++i) {
        if (!Accept(i))
            continue;
        std::memcpy(scratch.data(), FRecords[static_cast<std::size_t>(i)].Data.data(),
                    static_cast<std::size_t>(FRecordSize));
        const TRecordBuffer saved = FFilterBuffer;
        FFilterBuffer = scratch.data();
        const TDataSetState state = SetTempState(dsFilter);
        bool match = true;
        for (std::size_t f = 0; f < fields.size() && match; ++f) {
            const Variant key = fields.size() == 1 ? KeyValues : KeyValues[static_cast<int>(f)];
            std::string value = fields[f]->AsString();
            std::string wanted = VarToStr(key);
            if (Options.Contains(loPartialKey))
                value = value.substr(0, wanted.size());
            match = Options.Contains(loCaseInsensitive) ? AnsiSameText(value, wanted)
                                                         : value == wanted;
        }
        RestoreState(state);
        FFilterBuffer = saved;
        if (match)
            found = i;
    }
    SetFound(found >= 0);
    if (found < 0)
        return false;
    DoBeforeScroll();
    FCursor = found;
    Resync({rmExact, rmCenter});
    DoAfterScroll();
    return true;
}

Variant TReferenceDataSet::Lookup(const std::string& KeyFields, const Variant& KeyValues,
                                  const std::string& ResultFields)
{
    std::vector<TField*> keys;
    GetFieldList(keys, KeyFields);
    std::string scratch(static_cast<std::size_t>(FBufferSize), '\0');
    for (int i = 0; i < static_cast<int>(FRecords.size()); ++i) {
        std::memcpy(scratch.data(), FRecords[static_cast<std::size_t>(i)].Data.data(),
                    static_cast<std::size_t>(FRecordSize));
        const TRecordBuffer saved = FFilterBuffer;
        FFilterBuffer = scratch.data();
        const TDataSetState state = SetTempState(dsFilter);
        bool match = true;
        for (std::size_t f = 0; f < keys.size() && match; ++f) {
            const Variant key = keys.size() == 1 ? KeyValues : KeyValues[static_cast<int>(f)];
            match = keys[f]->AsString() == VarToStr(key);
        }
        Variant result = Null();
        if (match)
            result = FieldValues(ResultFields);
        RestoreState(state);
        FFilterBuffer = saved;
        if (match)
            return result;
    }
    return Null();
}

std::vector<int> TReferenceDataSet::BufferedIds()
{
    std::vector<int> ids;
    for (int i = 0; i < BufferRecordCount(); ++i)
        ids.push_back(BufferId(Buffers(i)));
    return ids;
}

void TReferenceDataSet::AddRows(int count)
{
    DisableControls();
    for (int n = 0; n < count; ++n) {
        Append();
        const int id = StoredCount() + 1;
        for (int i = 0; i < FieldCount(); ++i) {
            TField* field = Fields()[i];
            if (field->FieldKind() != fkData)
                continue;
            switch (field->DataType()) {
            case ftString:
                field->SetAsString("Name" + std::to_string(id));
                break;
            case ftInteger:
            case ftSmallint:
            case ftAutoInc:
            case ftLargeint:
                field->SetAsInteger(id);
                break;
            case ftFloat:
            case ftCurrency:
                field->SetAsFloat(id * 1.5);
                break;
            case ftDate:
            case ftDateTime:
                field->SetAsDateTime(46000 + id);
                break;
            case ftBoolean:
                field->SetAsBoolean(id % 2 == 0);
                break;
            default:
                break;
            }
        }
        Post();
    }
    First();
    EnableControls();
}
