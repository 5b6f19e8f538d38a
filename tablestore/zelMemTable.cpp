#include "tablestore/zelMemTable.h"

#include "platform/db/StdFields.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Streams.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr char StatusPresent = 2;
constexpr int BookmarkFlagOffset = 4;

void WriteInt32(char* target, std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        target[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
}

std::int32_t ReadInt32(const char* source)
{
    std::uint32_t bits = 0;
    for (int i = 3; i >= 0; --i)
        bits = (bits << 8) | static_cast<unsigned char>(source[i]);
    return static_cast<std::int32_t>(bits);
}

template <typename T>
void WriteNativeValue(char* target, T value)
{
    std::memcpy(target, &value, sizeof value);
}

bool IsEditingState(TDataSetState state)
{
    switch (state) {
    case dsEdit:
    case dsInsert:
    case dsSetKey:
    case dsCalcFields:
    case dsFilter:
    case dsNewValue:
        return true;
    default:
        return false;
    }
}

// A value counts as a number of days when its variant kind is numeric or a date.
bool IsDateTimeNumber(const Variant& value)
{
    switch (VarType(value) & varTypeMask) {
    case varSmallint:
    case varInteger:
    case varSingle:
    case varDouble:
    case varCurrency:
    case varDate:
    case varShortInt:
    case varByte:
    case varWord:
    case varLongWord:
    case varInt64:
        return true;
    default:
        return false;
    }
}

} // namespace

void RegisterMemTableClasses()
{
    RegisterClass("TzelMemTable",
                  [](TComponent* Owner) -> TPersistent* { return new TzelMemTable(Owner); });
}

namespace {
const bool MemTableClassesRegistered = (RegisterMemTableClasses(), true);
}

// --- Life ---

TzelCustomMemTable::TzelCustomMemTable(TComponent* AOwner) : TDataSet(AOwner)
{
    (void)MemTableClassesRegistered;
    RegisterMemTableClasses();
    CreateOwnStorage();
    FIndexes = std::make_unique<TzelIndexes>(this);
    FCurIndex = FIndexes->RowOrderIndex();
    FMasterFieldList = std::make_unique<TzelFieldList>();
    FDetailFieldList = std::make_unique<TzelFieldList>();
    FIndexFieldList = std::make_unique<TzelFieldList>();
    FIndexDefs = std::make_unique<TIndexDefs>(this);
    FMasterLink = std::make_unique<TMasterDataLink>(this);
    FMasterLink->OnMasterChange = [this](TObject* Sender) { MasterChanged(Sender); };
    FMasterLink->OnMasterDisable = [this](TObject* Sender) { MasterDisabled(Sender); };
}

TzelCustomMemTable::~TzelCustomMemTable()
{
    FFormDataStream.reset();
    // An exception must not leave a destructor: it would end the program.
    try {
        Close();
    } catch (...) {
        HandleApplicationException(this);
        // Close again without the before-close steps that failed, so that the buffers and the
        // records are freed all the same.
        FBeforeCloseDone = true;
        try {
            Close();
        } catch (...) {
            HandleApplicationException(this);
        }
    }
    FMasterLink.reset();
    FMasterFieldList.reset();
    FDetailFieldList.reset();
    FIndexFieldList.reset();
    if (FAttachedTo)
        FAttachedTo->RemoveFreeNotification(this);
    FCommon->DeAttachTable(this);
    // Freeing the own storage closes and lets go every table still attached to it.
    FOwnStorage.reset();
    FCommon = nullptr;
    FIndexDefs.reset();
    FIndexes.reset();
}

void TzelCustomMemTable::CreateOwnStorage()
{
    FOwnStorage = std::make_unique<TzelCommon>(this);
    FCommon = FOwnStorage.get();
    FCommon->AttachTable(this);
}

// --- Structure ---

void TzelCustomMemTable::CreateFieldDefs()
{
    FieldDefs().Clear();
    for (int i = 0; i < FieldCount(); ++i) {
        TField* field = Fields().Fields(i);
        if (field->FieldKind() != fkData && field->FieldKind() != fkInternalCalc)
            continue;
        TFieldDef* def =
            FieldDefs().Add(field->FieldName(), field->DataType(), field->Size(),
                            field->Required());
        if (field->FieldKind() == fkInternalCalc)
            def->SetInternalCalcField(true);
    }
}

void TzelCustomMemTable::CreateTable()
{
    if (FCommon->IsAnyTableActive())
        FCommon->CloseTables(nullptr);
    if (FieldDefs().Count() > ZEL_MAX_FIELDS)
        RAISE(Exception("Too many fielddefs. Please raise ZEL_MAX_FIELDS value."));
    if (FieldDefs().Count() == 0) {
        for (int i = 0; i < FieldCount(); ++i) {
            TField* field = Fields().Fields(i);
            if (field->FieldKind() == fkData)
                FieldDefs().Add(field->FieldName(), field->DataType(), field->Size(),
                                field->Required());
        }
    }
    FIndexes->Clear();
    DestroyFields();
    for (int i = 0; i < FieldDefs().Count(); ++i) {
        TFieldDef* def = FieldDefs().Items(i);
        if (def->DataType() != ftUnknown)
            def->CreateField(this);
    }
    ResetAutoInc();
}

void TzelCustomMemTable::DeleteTable()
{
    if (FCommon->IsAnyTableActive())
        FCommon->CloseTables(nullptr);
    DestroyFields();
}

void TzelCustomMemTable::Reset()
{
    Close();
    FIndexName.clear();
    FMasterLink->SetFieldNames("");
    FIndexFieldNames.clear();
    SetMasterSource(nullptr);
    FIndexes->Clear();
    FIndexDefs->Clear();
    FieldDefs().Clear();
    ClearModified();
}

void TzelCustomMemTable::InternalInitFieldDefs()
{
    if (FAttachedTo)
        FieldDefs().Assign(&FAttachedTo->FieldDefs());
    else if (FieldCount() > 0 && !DefaultFields())
        CreateFieldDefs();
    ResetAutoInc();
}

// --- Automatic numbers ---

void TzelCustomMemTable::CheckAutoInc()
{
    FAutoIncField = nullptr;
    for (int i = 0; i < FieldCount(); ++i) {
        TField* field = Fields().Fields(i);
        if (field->DataType() == ftAutoInc) {
            FAutoIncField = field;
            return;
        }
    }
}

void TzelCustomMemTable::ResetAutoInc()
{
    FAutoIncField = nullptr;
    // Only the owner starts the numbers again: an attached table opening beside records that
    // already carry numbers must not hand the same numbers out a second time.
    if (OwnsStorage())
        FCommon->SetAutoIncMax(FCommon->GetAutoIncMin() - 1);
    CheckAutoInc();
}

void TzelCustomMemTable::DrawAutoInc()
{
    if (!FAutoIncField || FIgnoreAutoIncPopulation)
        return;
    TzelRecord* record = GetActiveRecord();
    if (record)
        PopulateField(record, FAutoIncField, Variant(FCommon->GetAutoIncMax() + 1));
}

void TzelCustomMemTable::PostAutoInc()
{
    if (!FAutoIncField || FAutoIncField->IsNull())
        return;
    TzelStorageLock guard(*FCommon);
    const int value = FAutoIncField->AsInteger();
    if (value > FCommon->GetAutoIncMax())
        FCommon->SetAutoIncMax(value);
}

// --- Opening and closing ---

void TzelCustomMemTable::InternalOpen()
{
    if (FAttachedTo && !FAttachedTo->Active())
        FAttachedTo->Open();
    TzelStorageLock guard(*FCommon);
    InternalInitFieldDefs();
    if (DefaultFields()) {
        if (OwnsStorage() && FieldDefs().Count() == 0)
            RAISE(EMemTableError("There must be at least one field"));
        CreateFields();
    } else if (OwnsStorage()) {
        CreateFieldDefs();
    }
    ResetAutoInc();
    SetBookmarkSize(ZEL_BOOKMARK_SIZE);
    BindFields(true);
    if (OwnsStorage())
        FCommon->LayoutRecord();
    FCursorOpen = true;
    FCursorPos = -1;
    FRepositionTarget = -1;
    FCurIndex = FIndexes->RowOrderIndex();
    FMasterFieldList->Clear();
    FDetailFieldList->Clear();
    FBeforeCloseDone = false;
}

void TzelCustomMemTable::DoAfterOpen()
{
    if (FAfterOpenRunning)
        return;
    FAfterOpenRunning = true;
    try {
        FIndexes->MarkAllDirty();
        UpdateIndexes();
        // An attached table opens beside records that are already there; its buffers were
        // filled before its indexes were.
        if (IsEmpty() && FCurIndex->Count() > 0) {
            FCursorPos = -1;
            Resync({});
        }
        TDataSet::DoAfterOpen();
        if (FAutoUpdateFieldVariables)
            UpdateFieldVariables();
    } catch (...) {
        FAfterOpenRunning = false;
        throw;
    }
    FAfterOpenRunning = false;
}

void TzelCustomMemTable::DoBeforeClose()
{
    if (FBeforeCloseDone)
        return;
    if (State() == dsEdit || State() == dsInsert)
        Cancel();
    TDataSet::DoBeforeClose();
    FBeforeCloseDone = true;
}

void TzelCustomMemTable::InternalClose()
{
    if (!FBeforeCloseDone)
        DoBeforeClose();
    {
        TzelStorageLock guard(*FCommon);
        if (OwnsStorage()) {
            EmptyTable();
            FCommon->CloseTables(this);
        }
    }
    FIndexes->Clear();
    FCurIndex = FIndexes->RowOrderIndex();
    FCursorOpen = false;
    FCursorPos = -1;
    FCurrentKeyBuffer = nullptr;
    FreeKeyBuffers();
    FBeforeCloseDone = false;
}

void TzelCustomMemTable::FreeKeyBuffers()
{
    for (TzelRecord** buffer :
         {&FSearchKeyBuffer, &FRangeStartBuffer, &FRangeEndBuffer, &FMasterKeyBuffer}) {
        if (*buffer)
            FCommon->_InternalFreeRecord(*buffer, true, false);
        *buffer = nullptr;
    }
}

void TzelCustomMemTable::Notification(TComponent* AComponent, TOperation Operation)
{
    TDataSet::Notification(AComponent, Operation);
    if (Operation != opRemove)
        return;
    if (AComponent == this && Active())
        Close();
    if (FMasterLink && AComponent == FMasterLink->DataSource())
        FMasterLink->SetDataSource(nullptr);
    if (AComponent == FAttachedTo)
        FAttachedTo = nullptr;
}

void TzelCustomMemTable::UpdateFieldVariables()
{
    TComponent* owner = Owner();
    if (!owner || owner->ComponentCount() == 0 || ComponentState().Contains(csDesigning))
        return;
    for (int i = FieldCount() - 1; i >= 0; --i) {
        TField* field = Fields().Fields(i);
        const std::string name = Name() + field->FieldName();
        if (field->Owner() != this || !IsValidIdent(name) || owner->FindComponent(name))
            continue;
        field->SetName(name);
        RemoveComponent(field);
        owner->InsertComponent(field);
    }
}

// --- Attaching ---

void TzelCustomMemTable::SetAttachedTo(TzelCustomMemTable* Value)
{
    if (Value == FAttachedTo)
        return;
    if (Value == this)
        RAISE(EMemTableError("Cant attach memorytable to it self."));
    Close();
    if (FAttachedTo) {
        FCommon->DeAttachTable(this);
        FAttachedTo->RemoveFreeNotification(this);
        FAttachedTo = nullptr;
        FIndexes->Clear();
        CreateOwnStorage();
        FCommon->SetStandalone(false);
        FCurIndex = FIndexes->RowOrderIndex();
    }
    if (!Value)
        return;
    if (Value->FAttachedTo)
        RAISE(EMemTableError("Cant attach to another table which itself is an attachment."));
    FIndexes->Clear();
    ReleaseStorageAndAttach(Value);
    FAttachedTo = Value;
    Value->FreeNotification(this);
    FCurIndex = FIndexes->RowOrderIndex();
    if (ComponentState().Contains(csDesigning) && !Value->Active())
        Value->InitFieldDefs();
    FieldDefs().Assign(&Value->FieldDefs());
}

void TzelCustomMemTable::ReleaseStorageAndAttach(TzelCustomMemTable* Other)
{
    FCommon->DeAttachTable(this);
    FOwnStorage.reset();
    FCommon = Other->FCommon;
    try {
        FCommon->AttachTable(this);
    } catch (...) {
        CreateOwnStorage();
        throw;
    }
}

void TzelCustomMemTable::ClientStorageDestroyed()
{
    FAttachedTo = nullptr;
    FIndexes->EmptyAll();
    FCurIndex = FIndexes->RowOrderIndex();
    CreateOwnStorage();
}

void TzelCustomMemTable::SetStandalone(bool Value)
{
    if (Value == FCommon->Standalone())
        return;
    if (Active())
        RAISE(EMemTableError("Table must be closed for this operation."));
    if (FAttachedTo)
        RAISE(EMemTableError("Table is attached to another table."));
    FCommon->SetStandalone(Value);
}

// --- Storage delegations ---

void TzelCustomMemTable::Lock()
{
    FCommon->Lock();
    FCommon->SetTableLocked(true);
}

void TzelCustomMemTable::Unlock()
{
    FCommon->SetTableLocked(false);
    FCommon->Unlock();
}

void TzelCustomMemTable::Progress(int Percentage, TzelProgressCode Code)
{
    if (OnProgress && FProgressFlags.Contains(Code))
        OnProgress(this, Percentage, Code);
}

bool TzelCustomMemTable::GetModifiedFlags(int Index)
{
    if (Index < 0 || Index >= FieldCount())
        RAISE(ERangeError(Format("Out of range (%d)", {Index})));
    return FCommon->GetModifiedFlag(Index);
}

void TzelCustomMemTable::ClearModified()
{
    FCommon->ClearModifiedFlags();
    FCommon->SetIsDataModified(false);
}

void TzelCustomMemTable::SetRecordTag(int Value)
{
    TzelStorageLock guard(*FCommon);
    TzelRecord* record = GetActiveRecord();
    TzelRecord* stored = record ? FindStoredRecord(record->RecordID, record->UniqueID) : nullptr;
    if (!stored || stored->RecordID != record->RecordID)
        RAISE(EMemTableError("No current record."));
    stored->Tag = Value;
    record->Tag = Value;
}

int TzelCustomMemTable::GetRecordTag()
{
    TzelStorageLock guard(*FCommon);
    TzelRecord* record = GetActiveRecord();
    if (!record)
        RAISE(EMemTableError("No current record."));
    return record->Tag;
}

std::string TzelCustomMemTable::MasterFields() const
{
    return FMasterLink->FieldNames();
}

void TzelCustomMemTable::SetMasterFields(const std::string& Value)
{
    FMasterLink->SetFieldNames(Value);
}

TDataSource* TzelCustomMemTable::MasterSource()
{
    return FMasterLink->DataSource();
}

void TzelCustomMemTable::SetMasterSource(TDataSource* Value)
{
    if (Value && IsLinkedTo(Value))
        DatabaseError(DBMessages::SelfReference);
    FMasterLink->SetDataSource(Value);
}

TDataSource* TzelCustomMemTable::GetDataSource()
{
    return FMasterLink ? FMasterLink->DataSource() : nullptr;
}

void TzelCustomMemTable::MasterChanged(TObject* /*Sender*/)
{
    if (!Active())
        return;
    CheckBrowseMode();
    First();
}

void TzelCustomMemTable::MasterDisabled(TObject* /*Sender*/)
{
    if (Active())
        First();
}

bool TzelCustomMemTable::BuildFieldList(TzelFieldList* List, const std::string& FieldNames)
{
    const bool calculated = ::BuildFieldList(this, List, FieldNames);
    if (calculated)
        FRecalcOnIndex = true;
    return calculated;
}

bool TzelCustomMemTable::GetIsIndexField(TField* Field)
{
    return FIndexFieldList->IndexOf(Field) >= 0;
}

// --- Storage client ---

bool TzelCustomMemTable::ClientSetupField(TField* Field, std::uint8_t& FieldFlags)
{
    if (!OnSetupField)
        return false;
    OnSetupField(this, Field, FieldFlags);
    return true;
}

bool TzelCustomMemTable::ClientCompressField(TField* Field, const char* Buffer, int Size,
                                             std::string& Result)
{
    if (!OnCompressField)
        return false;
    OnCompressField(this, Field, Buffer, Size, Result);
    return true;
}

bool TzelCustomMemTable::ClientDecompressField(TField* Field, const char* Buffer, int Size,
                                               std::string& Result)
{
    if (!OnDecompressField)
        return false;
    OnDecompressField(this, Field, Buffer, Size, Result);
    return true;
}

bool TzelCustomMemTable::ClientCompareFields(const void* KeyValue, const void* FieldValue,
                                             TFieldType FieldType,
                                             TzelMemTableCompareOptions Options, bool& FullCompare,
                                             int& Result)
{
    if (!OnCompareFields)
        return false;
    OnCompareFields(this, KeyValue, FieldValue, FieldType, Options, FullCompare, Result);
    return true;
}

void TzelCustomMemTable::ClientResync()
{
    if (!Active() || State() != dsBrowse)
        return;
    UpdateCursorPos();
    Resync({});
}

void TzelCustomMemTable::ClientReflectToIndexes(TzelIndexUpdateHow How, TzelRecord* Record1,
                                                TzelRecord* Record2, int Position)
{
    FIndexes->ReflectToIndexes(How, Record1, Record2, Position);
}

// --- Indexes ---

void TzelCustomMemTable::SetCurrentIndex(TzelIndex* Index)
{
    FCurIndex = Index ? Index : FIndexes->RowOrderIndex();
}

void TzelCustomMemTable::UpdateIndexes()
{
    for (int i = 0; i < FIndexes->Count(); ++i) {
        TzelIndex* index = FIndexes->GetIndex(i);
        if (!index->IsOrdered())
            index->Rebuild();
    }
}

void TzelCustomMemTable::ClampCursorPosition()
{
    if (FCursorPos > FCurIndex->Count())
        FCursorPos = FCurIndex->Count();
}

// --- Emptying and moving ---

void TzelCustomMemTable::EmptyTable()
{
    Progress(0, mtpcEmpty);
    DisableControls();
    try {
        TzelStorageLock guard(*FCommon);
        FCommon->EmptyTables();
    } catch (...) {
        EnableControls();
        Progress(100, mtpcEmpty);
        throw;
    }
    EnableControls();
    Progress(100, mtpcEmpty);
}

void TzelCustomMemTable::InternalEmptyTable()
{
    const TzelState saved = FTableState;
    FTableState = mtstEmpty;
    try {
        if (State() == dsEdit || State() == dsInsert)
            CheckBrowseMode();
        ClearBuffers();
        DataEvent(deDataSetChange, 0);
        FIndexes->EmptyAll();
        FCursorPos = -1;
    } catch (...) {
        FTableState = saved;
        throw;
    }
    FTableState = saved;
}

bool TzelCustomMemTable::MoveRecord(int From, int To)
{
    TzelIndex* rowOrder = FIndexes->RowOrderIndex();
    if (FCurIndex != rowOrder)
        return false;
    TzelStorageLock guard(*FCommon);
    const int count = rowOrder->Count();
    if (From == To || From < 1 || To < 1 || From > count || To > count)
        return false;
    // The record goes before the one that stood at To before it was taken out.
    rowOrder->Move(From - 1, To > From ? To - 2 : To - 1);
    // The buffers are not refreshed, but the cursor no longer stands where they were fetched: the
    // next operation must look for its record again.
    CursorPosChanged();
    return true;
}

bool TzelCustomMemTable::MoveCurRecord(int To)
{
    return MoveRecord(RecNo(), To);
}

// --- Record buffers ---

TRecordBuffer TzelCustomMemTable::AllocRecordBuffer()
{
    return reinterpret_cast<TRecordBuffer>(FCommon->_InternalAllocRecord());
}

void TzelCustomMemTable::FreeRecordBuffer(TRecordBuffer& Buffer)
{
    if (!Buffer)
        return;
    // A buffer owns the blocks of the values changed in it and not posted.
    FCommon->_InternalFreeRecord(AsRecord(Buffer), true, false);
    Buffer = nullptr;
}

int TzelCustomMemTable::GetRecordSize()
{
    return FCommon->RecordAllocSize();
}

void TzelCustomMemTable::InternalInitRecord(TRecordBuffer Buffer)
{
    TzelRecord* record = AsRecord(Buffer);
    FCommon->_InternalFreeRecordVarLengths(record);
    FCommon->_InternalClearRecord(record);
}

char* TzelCustomMemTable::BookmarkSlot(TzelRecord* Record) const
{
    return Record->Data + FCommon->BookmarkStart() + FAttachIndex * ZEL_BOOKMARK_SLOT_SIZE;
}

std::int32_t TzelCustomMemTable::BookmarkSlotID(TzelRecord* Record) const
{
    return ReadInt32(BookmarkSlot(Record));
}

void TzelCustomMemTable::GetBookmarkData(TRecordBuffer Buffer, void* Data)
{
    TzelRecord* record = AsRecord(Buffer);
    char* target = static_cast<char*>(Data);
    WriteInt32(target, BookmarkSlotID(record));
    WriteInt32(target + 4, record->UniqueID);
    WriteInt32(target + 8, FCommon->DataID());
}

void TzelCustomMemTable::SetBookmarkData(TRecordBuffer Buffer, const void* Data)
{
    TzelRecord* record = AsRecord(Buffer);
    const char* source = static_cast<const char*>(Data);
    WriteInt32(BookmarkSlot(record), ReadInt32(source));
    record->UniqueID = ReadInt32(source + 4);
}

TBookmarkFlag TzelCustomMemTable::GetBookmarkFlag(TRecordBuffer Buffer)
{
    return static_cast<TBookmarkFlag>(BookmarkSlot(AsRecord(Buffer))[BookmarkFlagOffset]);
}

void TzelCustomMemTable::SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value)
{
    BookmarkSlot(AsRecord(Buffer))[BookmarkFlagOffset] = static_cast<char>(Value);
}

// --- Finding stored records ---

TzelRecord* TzelCustomMemTable::FindStoredRecord(std::int32_t RecordID,
                                                 std::int32_t UniqueID) const
{
    const int count = FCommon->RecordCount();
    if (RecordID >= 0 && RecordID < count) {
        TzelRecord* record = FCommon->Records(RecordID);
        if (record && record->UniqueID == UniqueID)
            return record;
    }
    if (UniqueID < 0 || UniqueID >= FCommon->NextUniqueID())
        return nullptr;
    // The record is gone, or the slots were packed and renumbered since the identifier was
    // taken: only a pass can tell.
    for (int id = 0; id < count; ++id) {
        TzelRecord* record = FCommon->Records(id);
        if (record && record->UniqueID == UniqueID)
            return record;
    }
    return nullptr;
}

TzelRecord* TzelCustomMemTable::BookmarkRecord(const TBookmark& Bookmark) const
{
    if (Bookmark.size() != static_cast<std::size_t>(ZEL_BOOKMARK_SIZE))
        return nullptr;
    if (ReadInt32(Bookmark.data() + 8) != FCommon->DataID())
        return nullptr;
    return FindStoredRecord(ReadInt32(Bookmark.data()), ReadInt32(Bookmark.data() + 4));
}

int TzelCustomMemTable::PositionInCurrentIndex(TzelRecord* Stored, int Hint)
{
    if (FCurIndex->IsValidPosition(Hint) && FCurIndex->Reference(Hint) == Stored)
        return Hint;
    if (FCurIndex->IsRowOrder())
        return FCurIndex->SearchRecordID(Stored->RecordID);
    return FCurIndex->SearchRecord(Stored, false);
}

TzelRecord* TzelCustomMemTable::StoredRecordAtCursor(TzelRecord* Buffer)
{
    TzelRecord* stored =
        FCurIndex->IsValidPosition(FCursorPos) ? FCurIndex->Reference(FCursorPos) : nullptr;
    if (!stored || stored->UniqueID != Buffer->UniqueID)
        DatabaseError(DBMessages::RecordNotFound);
    // The slot may have been renumbered since the buffer was fetched.
    Buffer->RecordID = stored->RecordID;
    return stored;
}

// --- Cursor ---

void TzelCustomMemTable::_InternalFirst()
{
    FCursorPos = -1;
}

void TzelCustomMemTable::_InternalLast()
{
    FCursorPos = FCurIndex->Count();
}

void TzelCustomMemTable::InternalFirst()
{
    _InternalFirst();
}

void TzelCustomMemTable::InternalLast()
{
    _InternalLast();
}

bool TzelCustomMemTable::_InternalNext(bool ForceUseFilter)
{
    const int count = FCurIndex->Count();
    FCursorPos = std::clamp(FCursorPos, -1, count);
    while (FCursorPos < count - 1) {
        ++FCursorPos;
        if (FilterRecord(FCurIndex->Reference(FCursorPos), ForceUseFilter))
            return true;
    }
    FCursorPos = count;
    return false;
}

bool TzelCustomMemTable::_InternalPrior(bool ForceUseFilter)
{
    FCursorPos = std::clamp(FCursorPos, -1, FCurIndex->Count());
    while (FCursorPos >= 1) {
        --FCursorPos;
        if (FilterRecord(FCurIndex->Reference(FCursorPos), ForceUseFilter))
            return true;
    }
    FCursorPos = -1;
    return false;
}

void TzelCustomMemTable::FillBufferFromCursor(TzelRecord* Buffer)
{
    TzelRecord* stored = FCurIndex->Reference(FCursorPos);
    // Freeing the buffer's own blocks leaves its variable-length slots empty; the move then
    // overwrites everything else a clear would have zeroed, so the buffer is not cleared first.
    FCommon->_InternalFreeRecordVarLengths(Buffer);
    FCommon->_InternalMoveRecord(stored, Buffer);
    Buffer->Position = FCursorPos;
    Buffer->RecordID = stored->RecordID;
    Buffer->UniqueID = stored->UniqueID;
    char* slot = BookmarkSlot(Buffer);
    WriteInt32(slot, stored->RecordID);
    slot[BookmarkFlagOffset] = static_cast<char>(bfCurrent);
    Buffer->Flags = 0;
}

TGetResult TzelCustomMemTable::GetRecord(TRecordBuffer Buffer, TGetMode GetMode,
                                         bool /*DoCheck*/)
{
    TzelStorageLock guard(*FCommon);
    TGetResult result = grOK;
    switch (GetMode) {
    case gmCurrent:
        if (FCursorPos < 0)
            result = grBOF;
        else if (FCursorPos >= FCurIndex->Count() ||
                 !FilterRecord(FCurIndex->Reference(FCursorPos), false))
            result = grEOF;
        break;
    case gmNext:
        if (!_InternalNext(false))
            result = grEOF;
        break;
    case gmPrior:
        if (!_InternalPrior(false))
            result = grBOF;
        break;
    }
    if (result != grOK)
        return GetMode == gmCurrent ? grError : result;
    FillBufferFromCursor(AsRecord(Buffer));
    if (FRecalcOnFetch)
        GetCalcFields(Buffer);
    return grOK;
}

void TzelCustomMemTable::InternalSetToRecord(TRecordBuffer Buffer)
{
    if (!Buffer)
        return;
    TzelStorageLock guard(*FCommon);
    TzelRecord* record = AsRecord(Buffer);
    TzelRecord* stored = FindStoredRecord(BookmarkSlotID(record), record->UniqueID);
    if (!stored)
        return;
    const int position = PositionInCurrentIndex(stored, record->Position);
    if (position >= 0)
        FCursorPos = position;
}

void TzelCustomMemTable::InternalGotoBookmark(const TBookmark& Bookmark)
{
    if (Bookmark.size() != static_cast<std::size_t>(ZEL_BOOKMARK_SIZE))
        RAISE(EMemTableError(Format("Bookmark %d not found.", {-200})));
    TzelStorageLock guard(*FCommon);
    TzelRecord* stored = BookmarkRecord(Bookmark);
    if (!stored) {
        // The record is gone: stay on the current record, wherever the fetches left the cursor.
        if (!IsEmpty())
            InternalSetToRecord(ActiveBuffer());
        return;
    }
    const int position = PositionInCurrentIndex(stored, stored->Position);
    if (position >= 0)
        FCursorPos = position;
}

bool TzelCustomMemTable::BookmarkValid(const TBookmark& Bookmark)
{
    TzelStorageLock guard(*FCommon);
    return BookmarkRecord(Bookmark) != nullptr;
}

int TzelCustomMemTable::CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2)
{
    TzelStorageLock guard(*FCommon);
    TzelRecord* record1 = BookmarkRecord(Bookmark1);
    TzelRecord* record2 = BookmarkRecord(Bookmark2);
    if (!record1 || !record2)
        return 0;
    int difference;
    if (FCurIndex->IsRowOrder()) {
        difference = record1->RecordID - record2->RecordID;
    } else {
        difference = PositionInCurrentIndex(record1, record1->Position) -
                     PositionInCurrentIndex(record2, record2->Position);
        if (difference == 0)
            difference = record1->RecordID - record2->RecordID;
    }
    return difference < 0 ? -1 : difference > 0 ? 1 : 0;
}

bool TzelCustomMemTable::IsSequenced()
{
    return !Filtered();
}

int TzelCustomMemTable::GetRecordCount()
{
    CheckActive();
    TzelStorageLock guard(*FCommon);
    if (!IsFiltered())
        return FCurIndex->Count();
    int count = 0;
    for (int i = 0; i < FCurIndex->Count(); ++i)
        if (FilterRecord(FCurIndex->Reference(i), false))
            ++count;
    return count;
}

int TzelCustomMemTable::GetRecNo()
{
    if (!Active() || IsEmpty())
        return -1;
    TRecordBuffer buffer = ActiveBuffer();
    if (!buffer || AsRecord(buffer)->Position < 0)
        return -1;
    return AsRecord(buffer)->Position + 1;
}

void TzelCustomMemTable::SetRecNo(int Value)
{
    if (!Active() || Value <= 0 || Value > FCurIndex->Count())
        return;
    const int current = RecNo();
    if (Value == current)
        return;
    MoveBy(Value - current);
    CursorPosChanged();
}

bool TzelCustomMemTable::FindRecord(bool Restart, bool GoForward)
{
    CheckBrowseMode();
    DoBeforeScroll();
    SetFound(false);
    UpdateCursorPos();
    CursorPosChanged();
    if (Restart) {
        if (GoForward)
            _InternalFirst();
        else
            _InternalLast();
    }
    const bool found = GoForward ? _InternalNext(true) : _InternalPrior(true);
    if (found) {
        Resync({rmExact, rmCenter});
        SetFound(true);
        DoAfterScroll();
    }
    return found;
}

void TzelCustomMemTable::InternalHandleException()
{
    HandleApplicationException(this);
}


// --- Field values ---

TzelRecord* TzelCustomMemTable::GetActiveRecord()
{
    TzelStorageLock guard(*FCommon);
    return ActiveRecordLocked();
}

TzelRecord* TzelCustomMemTable::ActiveRecordLocked()
{
    if (FVersionReadRecord)
        return FVersionReadRecord;
    switch (State()) {
    case dsBrowse:
        return IsEmpty() ? nullptr : AsRecord(ActiveBuffer());
    case dsEdit:
    case dsInsert:
    case dsNewValue:
    case dsCurValue:
        return AsRecord(ActiveBuffer());
    case dsSetKey:
        return FCurrentKeyBuffer;
    case dsCalcFields:
        return AsRecord(CalcBuffer());
    case dsFilter:
        return FFilterBuffer;
    case dsOldValue: {
        TzelRecord* buffer = AsRecord(ActiveBuffer());
        if (!buffer || buffer->RecordID < 0)
            return buffer;
        TzelRecord* stored = FindStoredRecord(buffer->RecordID, buffer->UniqueID);
        if (!stored)
            return buffer;
        while (stored->PreviousVersion)
            stored = stored->PreviousVersion;
        return stored;
    }
    default:
        return nullptr;
    }
}

int TzelCustomMemTable::FieldBufferSize(TField* Field) const
{
    if (Field->FieldNo() > 0)
        return TzelCommon::GetFieldSize(Field->DataType(), Field->Size());
    return Field->DataSize();
}

bool TzelCustomMemTable::GetFieldData(TField* Field, void* Buffer)
{
    TzelStorageLock guard(*FCommon);
    if (!FCursorOpen)
        return false;
    TzelRecord* record = ActiveRecordLocked();
    char* slot = FCommon->GetFieldPointer(record, Field);
    if (!slot)
        return false;
    const int fieldNo = Field->FieldNo();
    const bool present = slot[0] != 0;
    if (!present || !Buffer)
        return present;
    const int size = FieldBufferSize(Field);
    char* target = static_cast<char*>(Buffer);
    if (!FCommon->IsVarLengthField(fieldNo)) {
        // A text ends at its terminator: the bytes behind it are never read.
        std::size_t copied = static_cast<std::size_t>(size);
        if (Field->DataType() == ftString && size > 0)
            copied = strnlen(slot + 1, copied - 1) + 1;
        std::memcpy(target, slot + 1, copied);
        if (copied == static_cast<std::size_t>(size) && Field->DataType() == ftString)
            target[size - 1] = '\0';
        return true;
    }
    if (IsBlobType(Field->DataType()))
        return true;
    const char* block = FCommon->GetVarLengthBlock(record, fieldNo);
    std::string scratch;
    const char* data = nullptr;
    int length = 0;
    if (block) {
        data = TzelCommon::VarLengthBlockData(block);
        length = TzelCommon::VarLengthBlockSize(block);
        if (FCommon->IsCompressedField(fieldNo)) {
            if (!ClientDecompressField(Field, data, length, scratch))
                FCommon->DecompressFieldBuffer(Field, data, length, scratch);
            data = scratch.data();
            length = static_cast<int>(scratch.size());
        }
    }
    // Never more than the framework's buffer holds, whatever a decompression handed back.
    const int copied = std::min(length, size);
    if (copied > 0)
        std::memcpy(target, data, static_cast<std::size_t>(copied));
    if (copied < size)
        std::memset(target + copied, 0, static_cast<std::size_t>(size - copied));
    return true;
}

void TzelCustomMemTable::WriteVarLengthValue(TField* Field, char* Slot, const char* Value,
                                             int Size)
{
    char* block = nullptr;
    if (Value) {
        const int fieldNo = Field->FieldNo();
        if (FCommon->IsCompressedField(fieldNo)) {
            std::string compressed;
            if (!ClientCompressField(Field, Value, Size, compressed))
                FCommon->CompressFieldBuffer(Field, Value, Size, compressed);
            block = TzelCommon::CreateVarLengthBlock(static_cast<int>(compressed.size()));
            std::memcpy(TzelCommon::VarLengthBlockData(block), compressed.data(),
                        compressed.size());
        } else {
            block = TzelCommon::CreateVarLengthBlock(Size);
            std::memcpy(TzelCommon::VarLengthBlockData(block), Value,
                        static_cast<std::size_t>(Size));
        }
    }
    TzelCommon::FreeVarLengthBlock(TzelCommon::SlotBlock(Slot));
    TzelCommon::SetSlotBlock(Slot, block);
    Slot[0] = Value ? StatusPresent : 0;
}

void TzelCustomMemTable::SetFieldData(TField* Field, const void* Buffer)
{
    TzelStorageLock guard(*FCommon);
    if (!FCursorOpen)
        return;
    const TDataSetState state = State();
    if (!IsEditingState(state))
        DatabaseError("Dataset is not in edit mode.");
    TzelRecord* record = ActiveRecordLocked();
    char* slot = FCommon->GetFieldPointer(record, Field);
    if (!slot)
        return;
    // Calculated values are filled in while a record is fetched, also in a read-only table.
    if (!FIgnoreReadOnly && state != dsCalcFields &&
        (FReadOnly || (Field->ReadOnly() && state != dsSetKey)))
        DatabaseErrorFmt("Field %s is read only", {Field->DisplayName()});
    const TFieldKind kind = Field->FieldKind();
    if (kind == fkData || kind == fkCalculated || kind == fkInternalCalc)
        Field->Validate(Buffer);
    const char* value = static_cast<const char*>(Buffer);
    const int fieldNo = Field->FieldNo();
    const int size = FieldBufferSize(Field);
    if (kind == fkData && FCommon->IsVarLengthField(fieldNo)) {
        WriteVarLengthValue(Field, slot, value, size);
    } else {
        slot[0] = value ? StatusPresent : 0;
        if (value)
            std::memcpy(slot + 1, value, static_cast<std::size_t>(size));
    }
    if (fieldNo > 0)
        FCommon->SetModifiedFlag(fieldNo - 1, true);
    if (state != dsCalcFields && state != dsFilter && state != dsNewValue)
        DataEvent(deFieldChange, reinterpret_cast<std::intptr_t>(Field));
}

void TzelCustomMemTable::PopulateField(TzelRecord* Record, TField* Field, const Variant& Value)
{
    TzelStorageLock guard(*FCommon);
    char* slot = FCommon->GetFieldPointer(Record, Field);
    if (!slot)
        return;
    const int fieldNo = Field->FieldNo();
    const bool varLength = Field->FieldKind() == fkData && FCommon->IsVarLengthField(fieldNo);
    const int size = FieldBufferSize(Field);
    if (VarIsNull(Value) || VarIsEmpty(Value)) {
        if (varLength)
            WriteVarLengthValue(Field, slot, nullptr, 0);
        else
            std::memset(slot, 0, static_cast<std::size_t>(size) + 1);
    } else {
        std::string native(static_cast<std::size_t>(size), '\0');
        char* target = native.data();
        bool converted = true;
        switch (Field->DataType()) {
        case ftString: {
            const std::string text = VarToStr(Value);
            std::memcpy(target, text.data(),
                        std::min(text.size(), static_cast<std::size_t>(Field->Size())));
            break;
        }
        case ftSmallint:
            WriteNativeValue(target, static_cast<std::int16_t>(static_cast<int>(Value)));
            break;
        case ftWord:
            WriteNativeValue(target, static_cast<std::uint16_t>(static_cast<int>(Value)));
            break;
        case ftInteger:
        case ftAutoInc:
            WriteNativeValue(target, static_cast<std::int32_t>(static_cast<int>(Value)));
            break;
        case ftBoolean:
            WriteNativeValue(target, static_cast<std::int16_t>(static_cast<bool>(Value) ? 1 : 0));
            break;
        case ftFloat:
        case ftCurrency:
            WriteNativeValue(target, static_cast<double>(Value));
            break;
        case ftBCD: {
            const TBcd bcd = DoubleToBcd(static_cast<double>(Value));
            std::memcpy(target, &bcd, sizeof bcd);
            break;
        }
        case ftDate:
        case ftTime:
        case ftDateTime: {
            const double dateTime = IsDateTimeNumber(Value) ? static_cast<double>(Value)
                                                            : StrToDateTime(VarToStr(Value));
            if (Field->DataType() == ftDate)
                WriteNativeValue(target, DateTimeToNativeDate(dateTime));
            else if (Field->DataType() == ftTime)
                WriteNativeValue(target, DateTimeToNativeTime(dateTime));
            else
                WriteNativeValue(target, DateTimeToNativeDateTime(dateTime));
            break;
        }
        default:
            converted = false;
            break;
        }
        if (!converted)
            return;
        if (varLength) {
            WriteVarLengthValue(Field, slot, target, size);
        } else {
            slot[0] = StatusPresent;
            std::memcpy(slot + 1, target, static_cast<std::size_t>(size));
        }
    }
    if (fieldNo > 0)
        FCommon->SetModifiedFlag(fieldNo - 1, true);
}

void TzelCustomMemTable::PopulateVarLength(TzelRecord* Record, TField* Field, int Size,
                                           const void* Bytes)
{
    TzelStorageLock guard(*FCommon);
    const int fieldNo = Field->FieldNo();
    if (!FCommon->IsVarLengthField(fieldNo))
        return;
    char* slot = FCommon->GetFieldPointer(Record, fieldNo);
    if (!slot)
        return;
    char* block = nullptr;
    if (Size > 0) {
        block = TzelCommon::CreateVarLengthBlock(Size);
        std::memcpy(TzelCommon::VarLengthBlockData(block), Bytes, static_cast<std::size_t>(Size));
    }
    TzelCommon::FreeVarLengthBlock(TzelCommon::SlotBlock(slot));
    TzelCommon::SetSlotBlock(slot, block);
    slot[0] = block ? StatusPresent : 0;
}

void TzelCustomMemTable::CloseBlob(TField* Field)
{
    if (!Field || !Field->IsBlob())
        return;
    if (FCurIndex->IsValidPosition(FCursorPos) && (State() == dsInactive || State() == dsEdit))
        return;
    TzelStorageLock guard(*FCommon);
    TRecordBuffer buffer = ActiveBuffer();
    const int fieldNo = Field->FieldNo();
    if (!buffer || !FCommon->IsVarLengthField(fieldNo))
        return;
    char* slot = FCommon->GetFieldPointer(AsRecord(buffer), fieldNo);
    if (!slot || !TzelCommon::SlotBlock(slot))
        return;
    TzelCommon::FreeVarLengthBlock(TzelCommon::SlotBlock(slot));
    TzelCommon::SetSlotBlock(slot, nullptr);
    slot[0] = 0;
}

// --- Editing ---

void TzelCustomMemTable::InternalPost()
{
    TzelStorageLock guard(*FCommon);
    TzelRecord* buffer = AsRecord(ActiveBuffer());
    const int level = FCommon->GetTransactionLevel();
    FRepositionTarget = -1;
    if (State() == dsEdit) {
        TzelRecord* stored = StoredRecordAtCursor(buffer);
        FIndexes->CheckRecordUniqueness(buffer, stored);
        if (Modified()) {
            if (FCommon->EnableVersioning() &&
                (FCommon->VersioningMode() == mtvmAllSinceCheckPoint ||
                 buffer->UpdateStatus == usUnmodified)) {
                TzelRecord* previous = FCommon->_InternalCopyRecord(stored, true);
                previous->Flags |= zelRecordOwnsVersions;
                buffer->UpdateStatus = usModified;
                buffer->PreviousVersion = previous;
            }
            FCommon->SetIsDataModified(true);
        }
        FCommon->ReflectToIndexes(this, mtiuhEdit, stored, buffer, FCursorPos);
        FCommon->_InternalTransferRecord(buffer, stored);
        stored->Flags |= zelRecordOwnsVersions;
        stored->TransactionLevel = level;
    } else {
        FIndexes->CheckRecordUniqueness(buffer, nullptr);
        TzelRecord* record = FCommon->_InternalCopyRecord(buffer, true);
        try {
            FCommon->AppendRecord(record);
        } catch (...) {
            FCommon->_InternalFreeRecord(record, true, false);
            throw;
        }
        FCommon->_InternalFreeRecordVarLengths(buffer);
        record->TransactionLevel = level;
        record->Flags |= zelRecordOwnsVersions;
        const int position = GetBookmarkFlag(ActiveBuffer()) == bfEOF ? -1 : FRecNoBeforeInsert;
        FCommon->ReflectToIndexes(this, mtiuhInsert, record, nullptr, position);
        FCommon->SetIsDataModified(true);
    }
    FCommon->ClearModifiedFlags();
}

void TzelCustomMemTable::InternalAddRecord(TRecordBuffer Buffer, bool Append)
{
    TzelStorageLock guard(*FCommon);
    TzelRecord* buffer = AsRecord(Buffer);
    FIndexes->CheckRecordUniqueness(buffer, nullptr);
    TzelRecord* record = FCommon->_InternalCopyRecord(buffer, true);
    try {
        FCommon->AppendRecord(record);
    } catch (...) {
        FCommon->_InternalFreeRecord(record, true, false);
        throw;
    }
    FCommon->_InternalFreeRecordVarLengths(buffer);
    record->TransactionLevel = FCommon->GetTransactionLevel();
    record->Flags |= zelRecordOwnsVersions;
    FRepositionTarget = -1;
    // The row-order insert goes one place before the position passed.
    const int position =
        Append || FCurIndex != FIndexes->RowOrderIndex() ? -1 : std::max(FCursorPos, 0) + 1;
    FCommon->ReflectToIndexes(this, mtiuhInsert, record, nullptr, position);
    FCommon->SetIsDataModified(true);
}

void TzelCustomMemTable::InternalDelete()
{
    TzelStorageLock guard(*FCommon);
    TzelRecord* stored = StoredRecordAtCursor(AsRecord(ActiveBuffer()));
    FCommon->ReflectToIndexes(this, mtiuhDelete, stored, nullptr, FCursorPos);
    if (FCommon->EnableVersioning()) {
        TzelRecord* previous = FCommon->_InternalCopyRecord(stored, true);
        previous->Flags |= zelRecordOwnsVersions;
        stored->PreviousVersion = previous;
        stored->Flags |= zelRecordOwnsVersions;
        stored->UpdateStatus = usDeleted;
        stored->TransactionLevel = FCommon->GetTransactionLevel();
        FCommon->SetMarkedDeletedCount(FCommon->MarkedDeletedCount() + 1);
    } else {
        FCommon->_InternalDeleteRecord(stored);
    }
    ClearBuffers();
    FCommon->SetIsDataModified(true);
}

void TzelCustomMemTable::InternalCancel()
{
    FCommon->ClearModifiedFlags();
}

void TzelCustomMemTable::DoBeforeInsert()
{
    FRecNoBeforeInsert = RecNo();
    TDataSet::DoBeforeInsert();
}

void TzelCustomMemTable::DoBeforePost()
{
    TDataSet::DoBeforePost();
    PostAutoInc();
}

void TzelCustomMemTable::DoAfterPost()
{
    if (FAttachedAutoRefresh)
        FCommon->RefreshTables(this);
    if (FAutoReposition && FRepositionTarget >= 0) {
        FCursorPos = FRepositionTarget;
        FRepositionTarget = -1;
        Resync({});
    }
    TDataSet::DoAfterPost();
}

void TzelCustomMemTable::DoAfterDelete()
{
    if (FAttachedAutoRefresh)
        FCommon->RefreshTables(this);
    TDataSet::DoAfterDelete();
}

void TzelCustomMemTable::DoOnNewRecord()
{
    TDataSet::DoOnNewRecord();
    DrawAutoInc();
}

// --- Visibility ---

bool TzelCustomMemTable::MasterDetailInForce()
{
    return FMasterDetail && FMasterLink && FMasterLink->DataSource() &&
           !FMasterLink->FieldNames().empty() &&
           (FDetailFieldList->GetCount() > 0 || FIndexFieldList->GetCount() > 0);
}

bool TzelCustomMemTable::IsFiltered()
{
    TzelStorageLock guard(*FCommon);
    return IsFilteredLocked();
}

bool TzelCustomMemTable::IsFilteredLocked()
{
    return !FStatusFilter.Empty() ||
           (FCommon->MarkedDeletedCount() > 0 && !FStatusFilter.Contains(usDeleted)) ||
           (Filtered() && OnFilterRecord) || MasterDetailInForce() || FRangeActive;
}

// A range is applied by the key operations; without one every record is inside.
bool TzelCustomMemTable::RangeAccepts(TzelRecord* /*Record*/)
{
    return true;
}

// The master key is filled by the master-detail link; without one every record matches.
bool TzelCustomMemTable::MasterAccepts(TzelRecord* /*Record*/)
{
    return true;
}

bool TzelCustomMemTable::FilterRecord(TzelRecord* Record, bool Force)
{
    if (!Force && !IsFilteredLocked())
        return true;
    const auto status = static_cast<TUpdateStatus>(Record->UpdateStatus);
    if (!FStatusFilter.Empty()) {
        if (!FStatusFilter.Contains(status))
            return false;
    } else if (status == usDeleted) {
        return false;
    }
    TzelRecord* savedFilterBuffer = FFilterBuffer;
    FFilterBuffer = Record;
    const TDataSetState savedState = SetTempState(dsFilter);
    bool accept = true;
    try {
        if (FRecalcOnIndex)
            GetCalcFields(reinterpret_cast<TRecordBuffer>(Record));
        if (FRangeActive)
            accept = RangeAccepts(Record);
        if (accept && MasterDetailInForce())
            accept = MasterAccepts(Record);
        if (accept && (Force || Filtered()) && OnFilterRecord)
            OnFilterRecord(this, accept);
    } catch (...) {
        RestoreState(savedState);
        FFilterBuffer = savedFilterBuffer;
        throw;
    }
    RestoreState(savedState);
    FFilterBuffer = savedFilterBuffer;
    return accept;
}

void TzelCustomMemTable::SetFiltered(bool Value)
{
    TDataSet::SetFiltered(Value);
    if (Active()) {
        First();
        Refresh();
    }
}

void TzelCustomMemTable::SetFilterText(const std::string& Value)
{
    TDataSet::SetFilterText(Value);
    if (Active() && Filtered()) {
        First();
        Refresh();
    }
}

void TzelCustomMemTable::CancelRange()
{
    if (!FRangeActive)
        return;
    TzelRecord* buffer = (Active() && !IsEmpty()) ? AsRecord(ActiveBuffer()) : nullptr;
    const std::int32_t recordID = buffer ? buffer->RecordID : -1;
    FRangeActive = false;
    if (!Active())
        return;
    const int position = recordID >= 0 ? FCurIndex->SearchRecordID(recordID) : -1;
    FCursorPos = position >= 0 ? position : -1;
    Resync({});
}
