#include "tablestore/zelMemTable.h"

#include "platform/db/StdFields.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysErrors.h"
#include "platform/rtl/TextUtils.h"
#include "tablestore/zelMemBinaryStreamFormat.h"
#include "tablestore/zelBlobStream.h"
#include "tablestore/zelCustomDeltaHandler.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>

namespace {

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
    if (Active())
        SavePersistentQuietly();
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
    FMasterKeyFields.clear();
    BuildDetailFieldList();
    FBeforeCloseDone = false;
    // The indexes of the definitions; they are filled once the framework has opened.
    CreateIndexes();
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
        LoadOpeningData();
        TDataSet::DoAfterOpen();
        if (FAutoUpdateFieldVariables)
            UpdateFieldVariables();
        ApplyIndexSelection();
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
    SavePersistent();
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
    FMasterKeyFields.clear();
    FRangeActive = false;
    FRowOrderAtStart.clear();
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
    ForgetFormat(AComponent);
    if (AComponent == this && Active()) {
        SavePersistentQuietly();
        Close();
    }
    if (FMasterLink && AComponent == FMasterLink->DataSource())
        FMasterLink->SetDataSource(nullptr);
    if (FDeltaHandler && AComponent == FDeltaHandler)
        FDeltaHandler = nullptr;
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
    FMasterKeyFields.clear();
    if (Active() && FMasterLink->DataSet()) {
        TzelFieldList fields;
        ::BuildFieldList(FMasterLink->DataSet(), &fields, Value);
        fields.AssignTo(*FMasterFieldList);
    }
}

TDataSource* TzelCustomMemTable::MasterSource()
{
    return FMasterLink->DataSource();
}

void TzelCustomMemTable::SetMasterSource(TDataSource* Value)
{
    // Follow the chain of master sources from the new source's data set; the number of steps
    // is bounded so that a cycle elsewhere cannot hold us.
    TDataSource* source = Value;
    for (int step = 0; source && step < 1000; ++step) {
        TDataSet* dataSet = source->DataSet();
        if (!dataSet)
            break;
        if (dataSet == this)
            DatabaseError(DBMessages::SelfReference);
        source = dataSet->DataSource();
    }
    FMasterLink->SetDataSource(Value);
    FMasterKeyFields.clear();
}

TDataSource* TzelCustomMemTable::GetDataSource()
{
    return FMasterLink ? FMasterLink->DataSource() : nullptr;
}

void TzelCustomMemTable::MasterChanged(TObject* /*Sender*/)
{
    if (!Active())
        return;
    FillMasterKey();
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
    bool refresh = false;
    for (int i = FIndexes->Count() - 1; i >= 1; --i) {
        TzelIndex* index = FIndexes->GetIndex(i);
        if (index == FSortIndex || FIndexDefs->IndexOf(index->Name()) >= 0)
            continue;
        if (index == FCurIndex) {
            FCurIndex = FIndexes->RowOrderIndex();
            FIndexFieldNames.clear();
            refresh = true;
        }
        FIndexes->DeleteIndex(index);
    }
    for (int i = 0; i < FIndexDefs->Count(); ++i) {
        TIndexDef* definition = FIndexDefs->Items(i);
        if (!FIndexes->Get(definition->Name()))
            FIndexes->Add(definition);
    }
    for (int i = 0; i < FIndexes->Count(); ++i) {
        TzelIndex* index = FIndexes->GetIndex(i);
        if (index->IsOrdered())
            continue;
        index->Rebuild();
        if (index == FCurIndex && Active())
            refresh = true;
    }
    if (refresh && Active() && State() == dsBrowse)
        Refresh();
}

// --- Locating, lookup, sorting and index selection ---

void TzelCustomMemTable::RecalcIndexRecord(TzelRecord* Record)
{
    GetCalcFields(reinterpret_cast<TRecordBuffer>(Record));
}

void TzelCustomMemTable::PopulateKeyFields(TzelRecord* Record, TzelFieldList& List,
                                           const Variant& Values)
{
    const int count = List.GetCount();
    if (count == 0)
        RAISE(EMemTableError("There must be at least one field"));
    if (!VarIsArray(Values)) {
        if (count > 1)
            RAISE(EMemTableError("More fields than values"));
        PopulateField(Record, List.Get(0), Values);
        return;
    }
    const int low = VarArrayLowBound(Values, 1);
    if (VarArrayHighBound(Values, 1) - low + 1 < count)
        RAISE(EMemTableError("More fields than values"));
    for (int i = 0; i < count; ++i)
        PopulateField(Record, List.Get(i), VarArrayGet(Values, low + i));
}

void TzelCustomMemTable::PopulateRecord(TzelRecord* Record, const std::string& KeyFields,
                                        const Variant& Values)
{
    TzelFieldList list;
    BuildFieldList(&list, KeyFields);
    PopulateKeyFields(Record, list, Values);
}

int TzelCustomMemTable::LocateRecord(const std::string& KeyFields, const Variant& KeyValues,
                                     TLocateOptions Options)
{
    if (VarIsArray(KeyValues) && VarArrayDimCount(KeyValues) != 1)
        RAISE(EMemTableError("Values variant array has invalid dimension count"));
    CheckBrowseMode();
    CursorPosChanged();
    TzelFieldList list;
    BuildFieldList(&list, KeyFields);
    for (int i = 0; i < list.GetCount(); ++i) {
        TzelMemTableCompareOptions options = list.GetVal(i);
        if (Options.Contains(loCaseInsensitive))
            options.Include(mtcoCaseInsensitive);
        if (Options.Contains(loPartialKey))
            options.Include(mtcoPartialKey);
        list.PutVal(i, options);
    }
    TzelRecord* key = FCommon->_InternalAllocRecord();
    int position = -1;
    try {
        PopulateKeyFields(key, list, KeyValues);
        bool found = false;
        int lastCompare = 0;
        position = FIndexes->Search(&list, key, false, true, found, lastCompare);
        if (!found)
            position = -1;
    } catch (...) {
        FCommon->_InternalFreeRecord(key, true, false);
        throw;
    }
    FCommon->_InternalFreeRecord(key, true, false);
    return position;
}

bool TzelCustomMemTable::Locate(const std::string& KeyFields, const Variant& KeyValues,
                                TLocateOptions Options)
{
    DoBeforeScroll();
    const int position = LocateRecord(KeyFields, KeyValues, Options);
    const bool found = position >= 0;
    SetFound(found);
    if (found) {
        FCursorPos = position;
        Resync({rmExact, rmCenter});
        DoAfterScroll();
    }
    return found;
}

Variant TzelCustomMemTable::Lookup(const std::string& KeyFields, const Variant& KeyValues,
                                   const std::string& ResultFields)
{
    Variant result = Null();
    const int position = LocateRecord(KeyFields, KeyValues, {});
    SetFound(position >= 0);
    if (position < 0)
        return result;
    TzelRecord* stored = FCurIndex->Reference(position);
    const TDataSetState saved = SetTempState(dsCalcFields);
    const TRecordBuffer savedCalcBuffer = FCalcBuffer;
    FCalcBuffer = reinterpret_cast<TRecordBuffer>(stored);
    try {
        GetCalcFields(FCalcBuffer);
        result = FieldValues(ResultFields);
    } catch (...) {
        FCalcBuffer = savedCalcBuffer;
        RestoreState(saved);
        throw;
    }
    FCalcBuffer = savedCalcBuffer;
    RestoreState(saved);
    return result;
}

void TzelCustomMemTable::RemoveSortIndex()
{
    TzelIndex* sortIndex = FSortIndex;
    FSortIndex = nullptr;
    if (sortIndex)
        FIndexes->DeleteIndex(sortIndex);
}

void TzelCustomMemTable::SortWith(const std::string& FieldNames,
                                  TzelMemTableCompareOptions Options, bool Remember)
{
    if (!Active())
        return;
    // A pending edit is posted while the active index is still there to post it through.
    CheckBrowseMode();
    const bool rangeWasActive = FRangeActive;
    FRangeActive = false;
    try {
        if (Remember) {
            FLastSortFieldNames = FieldNames;
            // The cursor's record is found again by its identifier in the new order.
            if (!IsEmpty())
                UpdateCursorPos();
            FCurIndex = nullptr;
        }
        RemoveSortIndex();
        if (!Trim(FieldNames).empty()) {
            auto sortIndex = std::make_unique<TzelIndex>(ZEL_SORT_INDEX_NAME, this, FieldNames,
                                                         Options, mtitSorted, true);
            FIndexes->AddIndex(sortIndex.get());
            FSortIndex = sortIndex.release();
            FSortIndex->Rebuild();
        }
        SwitchToIndex(FSortIndex);
    } catch (...) {
        if (Remember) {
            RemoveSortIndex();
            if (!FCurIndex && Active()) {
                try {
                    SwitchToIndex(nullptr);
                } catch (...) {
                }
            }
        }
        if (!FCurIndex)
            FCurIndex = FIndexes->RowOrderIndex();
        FRangeActive = rangeWasActive;
        throw;
    }
    FRangeActive = rangeWasActive;
}

void TzelCustomMemTable::SortOn(const std::string& FieldNames,
                                TzelMemTableCompareOptions Options)
{
    SortWith(FieldNames, Options, true);
}

void TzelCustomMemTable::Sort(TzelMemTableCompareOptions Options)
{
    SortWith(FSortFields, Options, false);
}

void TzelCustomMemTable::SortDefault()
{
    Sort(FSortOptions);
}

void TzelCustomMemTable::SwitchToIndex(TzelIndex* Index)
{
    if (!Index)
        Index = FIndexes->RowOrderIndex();
    if (Index == FCurIndex)
        return;
    try {
        TzelRecord* remembered = nullptr;
        if (Active()) {
            CheckBrowseMode();
            if (!IsEmpty()) {
                TzelRecord* buffer = AsRecord(ActiveBuffer());
                remembered = FindStoredRecord(buffer->RecordID, buffer->UniqueID);
            }
        }
        CancelRange();
        if (FCurIndex && Active() && !IsEmpty())
            UpdateCursorPos();
        if (Index->IsInternal()) {
            FIndexFieldNames.clear();
            FIndexName.clear();
        } else {
            FIndexFieldNames = Index->FieldNames();
            FIndexName = Index->Name();
        }
        FCurIndex = Index;
        Index->FieldList().AssignTo(*FIndexFieldList);
        if (FCursorPos > Index->Count() - 1)
            FCursorPos = Index->Count() - 1;
        if (!Active())
            return;
        if (FCursorPos >= 0) {
            TzelStorageLock guard(*FCommon);
            const int position = remembered ? Index->SearchRecord(remembered, false) : -1;
            if (position >= 0 && FilterRecord(Index->Reference(position), false)) {
                FCursorPos = position;
                Resync({});
                return;
            }
        }
        First();
    } catch (...) {
        try {
            Close();
        } catch (...) {
        }
        throw;
    }
}

void TzelCustomMemTable::SetIndexFieldNames(const std::string& Value)
{
    if (!Active()) {
        FIndexFieldNames = Value;
        return;
    }
    if (Value.empty()) {
        SwitchToIndex(nullptr);
        FIndexFieldNames.clear();
        return;
    }
    if (TzelIndex* index = FIndexes->GetByFieldNames(Value))
        SwitchToIndex(index);
}

void TzelCustomMemTable::SetIndexName(const std::string& Value)
{
    if (!Active()) {
        FIndexName = Value;
        return;
    }
    if (Value.empty()) {
        SwitchToIndex(nullptr);
        FIndexName.clear();
        return;
    }
    if (TzelIndex* index = FIndexes->Get(Value))
        SwitchToIndex(index);
}

// At the end of an open: the selection made while the table was closed takes effect.
void TzelCustomMemTable::ApplyIndexSelection()
{
    if (!FIndexFieldNames.empty())
        SetIndexFieldNames(FIndexFieldNames);
    else if (!FIndexName.empty())
        SetIndexName(FIndexName);
}

void TzelCustomMemTable::SetIndexDefs(const TIndexDefs& Value)
{
    FIndexDefs->Assign(const_cast<TIndexDefs*>(&Value));
}

void TzelCustomMemTable::UpdateIndexesAfterFailure(const std::string& Name)
{
    DeleteIndex(Name);
    try {
        UpdateIndexes();
    } catch (...) {
        // The first failure is the one the caller hears of.
    }
}

void TzelCustomMemTable::AddIndex(const std::string& Name, const std::string& Fields,
                                  TIndexOptions Options)
{
    FIndexDefs->Add(Name, Fields, Options);
    try {
        UpdateIndexes();
    } catch (...) {
        UpdateIndexesAfterFailure(Name);
        throw;
    }
}

void TzelCustomMemTable::AddFilteredIndex(const std::string& Name, const std::string& Fields,
                                          TIndexOptions Options, const std::string& /*Filter*/,
                                          TFilterOptions /*FilterOptions*/)
{
    FIndexDefs->Add(Name, Fields, Options);
    try {
        if (Fields.empty() || Options.Contains(ixExpression))
            RAISE(EMemTableError("Missing Name or FieldNames in IndexDef!"));
        auto index = std::make_unique<TzelIndex>(Name, this, Fields,
                                                 IndexOptions2CompareOptions(Options),
                                                 mtitSorted, false);
        index->SetFiltered(true);
        index->SetOrdered(false);
        FIndexes->AddIndex(index.release());
        UpdateIndexes();
    } catch (...) {
        UpdateIndexesAfterFailure(Name);
        throw;
    }
}

void TzelCustomMemTable::DeleteIndex(const std::string& Name)
{
    for (int i = FIndexDefs->Count() - 1; i >= 0; --i)
        if (FIndexDefs->Items(i)->Name() == Name)
            FIndexDefs->Delete(i);
}

void TzelCustomMemTable::CreateIndexes()
{
    FIndexes->Clear();
    for (int i = 0; i < FIndexDefs->Count(); ++i)
        FIndexes->Add(FIndexDefs->Items(i));
}

void TzelCustomMemTable::DestroyIndexes()
{
    FIndexes->Clear();
}

TzelIndex* TzelCustomMemTable::GetIndexByName(const std::string& Name)
{
    return FIndexes->Get(Name);
}

int TzelCustomMemTable::IndexFieldCount()
{
    return FCurIndex->FieldList().GetCount();
}

TField* TzelCustomMemTable::GetIndexField(int Index)
{
    if (Index < 0 || Index >= IndexFieldCount())
        return nullptr;
    return FCurIndex->FieldList().Get(Index);
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
    FCursorPos = RangeSeekable(FRangeStartBuffer) ? RangeLowerBound() - 1 : -1;
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
    const bool stopAtRangeEnd = RangeSeekable(FRangeEndBuffer);
    while (FCursorPos < count - 1) {
        ++FCursorPos;
        TzelRecord* record = FCurIndex->Reference(FCursorPos);
        if (stopAtRangeEnd && PastRangeEnd(record))
            break;
        if (FilterRecord(record, ForceUseFilter))
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
        // The index's own order first; positions and identifiers only tell equal keys apart.
        difference = FCurIndex->CompareRecords(nullptr, record1, record2, false, false);
        if (difference == 0)
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
    Slot[0] = Value ? zelSlotPresent : 0;
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
        slot[0] = value ? zelSlotPresent : 0;
        if (value)
            std::memcpy(slot + 1, value, static_cast<std::size_t>(size));
    }
    if (fieldNo > 0)
        FCommon->_InternalMarkModified(fieldNo);
    if (state != dsCalcFields && state != dsFilter && state != dsNewValue)
        DataEvent(deFieldChange, reinterpret_cast<std::intptr_t>(Field));
}

void TzelCustomMemTable::LoadFieldText(TField* Field, const char* Text, std::size_t Length)
{
    const int fieldNo = Field->FieldNo();
    const TDataSetState state = State();
    const bool writable = FIgnoreReadOnly || (!FReadOnly && !Field->ReadOnly());
    char* slot = nullptr;
    if (FCursorOpen && writable && IsEditingState(state) && state != dsCalcFields &&
        Field->DataType() == ftString && Field->FieldKind() == fkData && !Field->OnValidate &&
        fieldNo > 0 && !FCommon->IsVarLengthField(fieldNo))
        slot = FCommon->GetFieldPointer(ActiveRecordLocked(), fieldNo);
    if (!slot) {
        Field->SetAsString(std::string(Text, Length));
        return;
    }
    // The value part holds the text cut to the field's size and zeros up to its end, as the
    // framework's buffer would.
    const std::size_t size = static_cast<std::size_t>(Field->Size());
    const std::size_t copied = std::min(Length, size);
    slot[0] = zelSlotPresent;
    std::memcpy(slot + 1, Text, copied);
    std::memset(slot + 1 + copied, 0, size + 1 - copied);
    FCommon->_InternalMarkModified(fieldNo);
    if (state != dsFilter && state != dsNewValue)
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
            slot[0] = zelSlotPresent;
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
    slot[0] = block ? zelSlotPresent : 0;
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
    if (FMasterLink->Active() && !FMasterLink->Fields().empty()) {
        TzelFieldList* list = MasterCompareList();
        const int count =
            std::min(list->GetCount(), static_cast<int>(FMasterLink->Fields().size()));
        for (int i = 0; i < count; ++i)
            list->Get(i)->SetAsVariant(FMasterLink->Fields()[static_cast<std::size_t>(i)]->AsVariant());
    }
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

// Each index field is bounded by its own start and end value; a null end sets no bound.
bool TzelCustomMemTable::RangeAccepts(TzelRecord* Record)
{
    if (!FRangeStartBuffer || !FRangeEndBuffer)
        return true;
    const int count = FIndexFieldList->GetCount();
    if (FCommon->_InternalCompareRecords(this, FIndexFieldList.get(), count, FRangeStartBuffer,
                                         Record, true, false, chBreakGT) > 0)
        return false;
    return FCommon->_InternalCompareRecords(this, FIndexFieldList.get(), count, FRangeEndBuffer,
                                            Record, true, false, chBreakLT) >= 0;
}

bool TzelCustomMemTable::MasterAccepts(TzelRecord* Record)
{
    if (!MasterKeyIsCurrent())
        FillMasterKey();
    const int count = static_cast<int>(FMasterKeyFields.size());
    if (count == 0 || !FMasterKeyBuffer)
        return true;
    return FCommon->_InternalCompareRecords(this, MasterCompareList(), count, FMasterKeyBuffer,
                                            Record, false, false, chBreakNE) == 0;
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

// =================================================================================================
// Key searches, ranges, the update-status filter, versions, transactions and blob streams
// =================================================================================================

void TzelCustomMemTable::SetStatusFilter(TUpdateStatusSet Value)
{
    if (Active()) {
        CheckBrowseMode();
        UpdateCursorPos();
    }
    if (Value == FStatusFilter)
        return;
    FStatusFilter = Value;
    if (!Active())
        return;
    // Records marked deleted left the indexes when they were deleted: a filter that may show
    // them needs them back.
    {
        TzelStorageLock guard(*FCommon);
        FIndexes->ReBuildAll();
    }
    Refresh();
}

void TzelCustomMemTable::SetDetailFields(const std::string& Value)
{
    FDetailFields = Value;
    FMasterKeyFields.clear();
    if (Active())
        BuildDetailFieldList();
}

// On an ordered index whose first field ascends, a range bounds that field: the walk may start
// at the first record that reaches the start and stop at the first one beyond the end.
bool TzelCustomMemTable::RangeSeekable(TzelRecord* Key)
{
    if (!FRangeActive || !Key || !FRangeStartBuffer || !FRangeEndBuffer ||
        !FCurIndex->IsOrdered() || FCurIndex->IsRowOrder() || FIndexFieldList->GetCount() == 0 ||
        OnCompareFields || FRecalcOnIndex)
        return false;
    TField* field = FIndexFieldList->Get(0);
    const TzelMemTableCompareOptions options = FIndexFieldList->GetVal(0);
    if (field->FieldKind() != fkData || options.Contains(mtcoDescending) ||
        options.Contains(mtcoPartialKey) || !IsFieldListsEqual(FIndexFieldList.get(),
                                                               &FCurIndex->FieldList()))
        return false;
    const char* slot = FCommon->GetFieldPointer(Key, field);
    return slot && slot[0] != 0;
}

int TzelCustomMemTable::RangeLowerBound()
{
    int low = 0;
    int high = FCurIndex->Count();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (FCommon->_InternalCompareRecords(this, FIndexFieldList.get(), 1, FRangeStartBuffer,
                                             FCurIndex->Reference(middle), false, false,
                                             chBreakNE) > 0)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

bool TzelCustomMemTable::PastRangeEnd(TzelRecord* Record)
{
    return FCommon->_InternalCompareRecords(this, FIndexFieldList.get(), 1, FRangeEndBuffer,
                                            Record, false, false, chBreakNE) < 0;
}

void TzelCustomMemTable::BuildDetailFieldList()
{
    TzelFieldList fields;
    if (!FDetailFields.empty())
        ::BuildFieldList(this, &fields, FDetailFields);
    fields.AssignTo(*FDetailFieldList);
    FMasterKeyFields.clear();
}

TzelFieldList* TzelCustomMemTable::MasterCompareList()
{
    return FDetailFieldList->GetCount() > 0 ? FDetailFieldList.get() : FIndexFieldList.get();
}

bool TzelCustomMemTable::MasterKeyIsCurrent()
{
    TzelFieldList* list = MasterCompareList();
    const int count =
        std::min(list->GetCount(), static_cast<int>(FMasterLink->Fields().size()));
    if (count != static_cast<int>(FMasterKeyFields.size()))
        return false;
    for (int i = 0; i < count; ++i)
        if (list->Get(i) != FMasterKeyFields[static_cast<std::size_t>(i)])
            return false;
    return true;
}

// The master key holds the master's current values in the first fields of the detail list (or
// of the index list when no detail fields are named).
void TzelCustomMemTable::FillMasterKey()
{
    FMasterKeyFields.clear();
    const std::vector<TField*>& masterFields = FMasterLink->Fields();
    if (masterFields.empty())
        return;
    TzelFieldList* list = MasterCompareList();
    const int count = std::min(list->GetCount(), static_cast<int>(masterFields.size()));
    if (count <= 0)
        return;
    TzelRecord* key = KeyBuffer(FMasterKeyBuffer, true);
    for (int i = 0; i < count; ++i) {
        TField* field = list->Get(i);
        PopulateField(key, field, masterFields[static_cast<std::size_t>(i)]->AsVariant());
        FMasterKeyFields.push_back(field);
    }
}

TzelRecord* TzelCustomMemTable::KeyBuffer(TzelRecord*& Buffer, bool Clear)
{
    if (!Buffer) {
        Buffer = FCommon->_InternalAllocRecord();
    } else if (Clear) {
        FCommon->_InternalFreeRecordVarLengths(Buffer);
        FCommon->_InternalClearRecord(Buffer);
    }
    return Buffer;
}

void TzelCustomMemTable::RefreshIndexFieldList()
{
    FCurIndex->FieldList().AssignTo(*FIndexFieldList);
}

void TzelCustomMemTable::EnterKeyState(TzelRecord*& Buffer, bool Clear)
{
    CheckBrowseMode();
    RefreshIndexFieldList();
    FCurrentKeyBuffer = KeyBuffer(Buffer, Clear);
    SetState(dsSetKey);
    DataEvent(deDataSetChange, 0);
}

void TzelCustomMemTable::AssignKeyValues(const std::vector<Variant>& Values)
{
    const int count = std::min(static_cast<int>(Values.size()), FIndexFieldList->GetCount());
    try {
        for (int i = 0; i < count; ++i)
            FIndexFieldList->Get(i)->SetAsVariant(Values[static_cast<std::size_t>(i)]);
    } catch (...) {
        Cancel();
        throw;
    }
}

void TzelCustomMemTable::SetKey()
{
    EnterKeyState(FSearchKeyBuffer, true);
}

void TzelCustomMemTable::EditKey()
{
    EnterKeyState(FSearchKeyBuffer, false);
}

bool TzelCustomMemTable::GotoKey()
{
    CheckBrowseMode();
    if (!FSearchKeyBuffer)
        return false;
    CursorPosChanged();
    RefreshIndexFieldList();
    FCurrentKeyBuffer = FSearchKeyBuffer;
    bool result = false;
    DisableControls();
    try {
        bool found = false;
        int lastCompare = 0;
        const int position = FCurIndex->Search(FIndexFieldList.get(), FSearchKeyBuffer, false,
                                               true, found, lastCompare);
        if (found && FCurIndex->IsValidPosition(position)) {
            FCursorPos = position;
            result = true;
            Resync({rmExact, rmCenter});
        }
    } catch (...) {
        EnableControls();
        throw;
    }
    EnableControls();
    SetFound(result);
    return result;
}

bool TzelCustomMemTable::FindKey(const std::vector<Variant>& Values)
{
    CheckBrowseMode();
    if (FIndexFieldNames.empty())
        RAISE(EMemTableError("There must be at least one field"));
    EnterKeyState(FSearchKeyBuffer, true);
    AssignKeyValues(Values);
    return GotoKey();
}

bool TzelCustomMemTable::FindNearest(const std::vector<Variant>& Values)
{
    CheckBrowseMode();
    EnterKeyState(FSearchKeyBuffer, true);
    AssignKeyValues(Values);
    SetState(dsBrowse);
    CursorPosChanged();
    bool result = false;
    DisableControls();
    try {
        bool found = false;
        int lastCompare = 0;
        const int position = FCurIndex->Search(FIndexFieldList.get(), FSearchKeyBuffer, true,
                                               true, found, lastCompare);
        if (FCurIndex->IsValidPosition(position) &&
            FilterRecord(FCurIndex->Reference(position), false)) {
            FCursorPos = position;
            result = true;
        }
    } catch (...) {
        EnableControls();
        throw;
    }
    EnableControls();
    SetFound(result);
    if (result)
        Resync({rmExact, rmCenter});
    return result;
}

void TzelCustomMemTable::SetRangeStart()
{
    EnterKeyState(FRangeStartBuffer, true);
}

void TzelCustomMemTable::SetRangeEnd()
{
    EnterKeyState(FRangeEndBuffer, true);
}

void TzelCustomMemTable::EditRangeStart()
{
    EnterKeyState(FRangeStartBuffer, false);
}

void TzelCustomMemTable::EditRangeEnd()
{
    EnterKeyState(FRangeEndBuffer, false);
}

void TzelCustomMemTable::ApplyRange()
{
    CheckBrowseMode();
    FRangeActive = FRangeStartBuffer && FRangeEndBuffer;
    // Also from an empty view: the new range may show records the old one hid.
    if (Active())
        First();
}

void TzelCustomMemTable::SetRange(const std::vector<Variant>& StartValues,
                                  const std::vector<Variant>& EndValues)
{
    CheckBrowseMode();
    SetRangeStart();
    AssignKeyValues(StartValues);
    SetRangeEnd();
    AssignKeyValues(EndValues);
    ApplyRange();
}

// --- Versions and transactions ---

TzelRecord* TzelCustomMemTable::StoredActiveRecord()
{
    if (!Active() || (State() == dsBrowse && IsEmpty()))
        RAISE(EMemTableError("No current record."));
    TzelRecord* buffer = AsRecord(ActiveBuffer());
    TzelRecord* stored =
        buffer && buffer->RecordID >= 0 ? FindStoredRecord(buffer->RecordID, buffer->UniqueID)
                                        : nullptr;
    if (!stored)
        RAISE(EMemTableError("No current record."));
    return stored;
}

TzelRecord* TzelCustomMemTable::ActiveVersion(int Version)
{
    TzelRecord* record = StoredActiveRecord();
    if (Version < 0)
        return record;
    while (Version > 0 && record->PreviousVersion) {
        record = record->PreviousVersion;
        --Version;
    }
    return record;
}

int TzelCustomMemTable::GetVersionCount()
{
    TzelStorageLock guard(*FCommon);
    int count = 1;
    for (TzelRecord* record = StoredActiveRecord(); record->PreviousVersion;
         record = record->PreviousVersion)
        ++count;
    return count;
}

TUpdateStatus TzelCustomMemTable::GetVersionStatus(int Version)
{
    TzelStorageLock guard(*FCommon);
    return static_cast<TUpdateStatus>(ActiveVersion(Version)->UpdateStatus);
}

Variant TzelCustomMemTable::GetVersionFieldData(TField* Field, int Version)
{
    TzelStorageLock guard(*FCommon);
    TzelRecord* version = ActiveVersion(Version);
    TzelRecord* saved = FVersionReadRecord;
    FVersionReadRecord = version;
    Variant value;
    try {
        value = Field->IsNull() ? Null() : Field->AsVariant();
    } catch (...) {
        FVersionReadRecord = saved;
        throw;
    }
    FVersionReadRecord = saved;
    return value;
}

void TzelCustomMemTable::StartTransaction()
{
    if (!Active())
        return;
    if (!FCommon->EnableVersioning() || FCommon->VersioningMode() != mtvmAllSinceCheckPoint)
        RAISE(EMemTableError("Transactioning requires multiversion versioning."));
    TzelStorageLock guard(*FCommon);
    FCommon->IncTransactionLevel();
    FRowOrderAtStart.emplace_back(FCommon->GetTransactionLevel(), RowOrderIDs());
}

std::vector<std::int32_t> TzelCustomMemTable::RowOrderIDs()
{
    TzelIndex* rowOrder = FIndexes->RowOrderIndex();
    std::vector<std::int32_t> ids;
    ids.reserve(static_cast<std::size_t>(rowOrder->Count()));
    for (int i = 0; i < rowOrder->Count(); ++i)
        ids.push_back(rowOrder->Reference(i)->RecordID);
    return ids;
}

// A commit or rollback may put other records (restored versions) into the slots and empty some;
// rebuilt from the storage alone, the row order would follow the slots, losing the places of
// rows inserted in the middle or stored in reused slots.
void TzelCustomMemTable::RebuildAfterTransaction(const std::vector<std::int32_t>& RowOrder)
{
    FCommon->RebuildIndexes();
    TzelIndex* rowOrder = FIndexes->RowOrderIndex();
    const int slots = FCommon->RecordCount();
    std::vector<char> placed(static_cast<std::size_t>(slots), 0);
    rowOrder->Clear();
    for (std::int32_t id : RowOrder) {
        if (id < 0 || id >= slots || placed[static_cast<std::size_t>(id)])
            continue;
        if (TzelRecord* record = FCommon->Records(id)) {
            rowOrder->Append(record);
            placed[static_cast<std::size_t>(id)] = 1;
        }
    }
    for (int id = 0; id < slots; ++id)
        if (TzelRecord* record = FCommon->Records(id); record && !placed[static_cast<std::size_t>(id)])
            rowOrder->Append(record);
    rowOrder->SetOrdered(true);
    ClampCursorPosition();
    Refresh();
}

void TzelCustomMemTable::Commit()
{
    if (!Active() || FCommon->GetTransactionLevel() <= 0)
        return;
    CheckBrowseMode();
    {
        TzelStorageLock guard(*FCommon);
        const int level = FCommon->GetTransactionLevel();
        while (!FRowOrderAtStart.empty() && FRowOrderAtStart.back().first >= level)
            FRowOrderAtStart.pop_back();
        const std::vector<std::int32_t> order = RowOrderIDs();
        FCommon->Commit();
        FCommon->DecTransactionLevel();
        RebuildAfterTransaction(order);
    }
}

void TzelCustomMemTable::Rollback()
{
    if (!Active() || FCommon->GetTransactionLevel() <= 0)
        return;
    CheckBrowseMode();
    {
        TzelStorageLock guard(*FCommon);
        const int level = FCommon->GetTransactionLevel();
        // Without an order from this table's own start of the transaction, the one it shows.
        std::vector<std::int32_t> order = RowOrderIDs();
        while (!FRowOrderAtStart.empty() && FRowOrderAtStart.back().first >= level) {
            if (FRowOrderAtStart.back().first == level)
                order = std::move(FRowOrderAtStart.back().second);
            FRowOrderAtStart.pop_back();
        }
        FCommon->RollBack();
        FCommon->DecTransactionLevel();
        RebuildAfterTransaction(order);
    }
}

// --- Checkpoints and packing ---

namespace {

// Keeps the references of an index whose records are not marked deleted, in their order.
void DropMarkedDeleted(TzelIndex* Index)
{
    std::vector<TzelRecord*> kept;
    kept.reserve(static_cast<std::size_t>(Index->Count()));
    bool dropped = false;
    for (int i = 0; i < Index->Count(); ++i) {
        TzelRecord* record = Index->Reference(i);
        if (record->UpdateStatus == usDeleted)
            dropped = true;
        else
            kept.push_back(record);
    }
    if (!dropped)
        return;
    const bool ordered = Index->IsOrdered();
    Index->Clear();
    for (TzelRecord* record : kept)
        Index->Append(record);
    Index->SetOrdered(ordered);
}

} // namespace

void TzelCustomMemTable::CheckPointRecord(int RecordID)
{
    TzelRecord* record = FCommon->Records(RecordID);
    if (!record)
        return;
    if (record->PreviousVersion && (record->Flags & zelRecordOwnsVersions))
        FCommon->_InternalFreeRecord(record->PreviousVersion, true, true);
    record->PreviousVersion = nullptr;
    if (record->UpdateStatus == usDeleted) {
        // The indexes of the open tables lost it before the slots are walked.
        FCommon->_InternalDeleteRecord(record);
    } else {
        record->UpdateStatus = usUnmodified;
    }
}

void TzelCustomMemTable::CheckPoint()
{
    if (FAttachedTo)
        RAISE(EMemTableError("Cannot checkpoint attached table."));
    if (Active()) {
        CheckBrowseMode();
        UpdateCursorPos();
    }
    Progress(0, mtpcCheckPoint);
    std::exception_ptr failure;
    {
        TzelStorageLock guard(*FCommon);
        const bool versioning = FCommon->EnableVersioning();
        FCommon->SetEnableVersioning(false);
        FTableState = mtstCheckPoint;
        if (Active())
            ClearBuffers();
        try {
            for (int i = 0; i < FCommon->GetAttachMaxCount(); ++i) {
                auto* table = dynamic_cast<TzelCustomMemTable*>(FCommon->AttachedTable(i));
                if (table && table->Active())
                    for (int k = 0; k < table->FIndexes->Count(); ++k)
                        DropMarkedDeleted(table->FIndexes->GetIndex(k));
            }
            const int slots = FCommon->RecordCount();
            int counter = 1;
            for (int slot = slots - 1; slot >= 0; --slot, ++counter) {
                if (counter % 100 == 0)
                    Progress(static_cast<int>(static_cast<double>(slot) / slots * 100),
                             mtpcCheckPoint);
                CheckPointRecord(slot);
            }
            FCommon->SetMarkedDeletedCount(0);
        } catch (...) {
            failure = std::current_exception();
        }
        FCommon->SetEnableVersioning(versioning);
    }
    try {
        if (Active())
            First();
    } catch (...) {
        if (!failure)
            failure = std::current_exception();
    }
    Progress(100, mtpcCheckPoint);
    FTableState = mtstBrowse;
    if (failure)
        std::rethrow_exception(failure);
}

void TzelCustomMemTable::PackTable()
{
    if (Active() && (State() == dsEdit || State() == dsInsert))
        Cancel();
    Commit();
    CheckPoint();
    Progress(0, mtpcPack);
    FTableState = mtstPack;
    DisableControls();
    try {
        if (Active())
            ClearBuffers();
        FCommon->PackRecords();
        if (Active())
            First();
    } catch (...) {
        EnableControls();
        Progress(100, mtpcPack);
        FTableState = mtstBrowse;
        throw;
    }
    EnableControls();
    Progress(100, mtpcPack);
    FTableState = mtstBrowse;
}

// --- Delta handler ---

void TzelCustomMemTable::SetDeltaHandler(TzelCustomDeltaHandler* Value)
{
    if (Value == FDeltaHandler)
        return;
    if (FDeltaHandler) {
        FDeltaHandler->FTable = nullptr;
        FDeltaHandler->RemoveFreeNotification(this);
        RemoveFreeNotification(FDeltaHandler);
    }
    FDeltaHandler = nullptr;
    if (!Value)
        return;
    if (Value->FTable && Value->FTable != this)
        Value->FTable->SetDeltaHandler(nullptr);
    FDeltaHandler = Value;
    Value->FTable = this;
    Value->FreeNotification(this);
    FreeNotification(Value);
}

void TzelCustomMemTable::Resolve(TzelCustomDeltaHandler* Handler)
{
    Handler->CheckDataSet();
    TzelStorageLock guard(*FCommon);
    struct ResetRecords {
        TzelCustomDeltaHandler* Handler;
        ~ResetRecords()
        {
            Handler->FCurrent = nullptr;
            Handler->FOldest = nullptr;
        }
    } reset{Handler};
    const int slots = FCommon->RecordCount();
    for (int slot = 0; slot < slots; ++slot) {
        TzelRecord* current = FCommon->Records(slot);
        if (!current)
            continue;
        TzelRecord* oldest = current;
        while (oldest->PreviousVersion)
            oldest = oldest->PreviousVersion;
        auto kind = static_cast<TUpdateStatus>(current->UpdateStatus);
        if (oldest->UpdateStatus == usInserted)
            kind = kind == usDeleted ? usUnmodified : usInserted;
        Handler->FCurrent = current;
        Handler->FOldest = oldest;
        switch (kind) {
        case usUnmodified:
            Handler->UnmodifiedRecord();
            break;
        case usModified:
            Handler->ModifyRecord();
            break;
        case usInserted:
            Handler->InsertRecord();
            break;
        case usDeleted:
            Handler->DeleteRecord();
            break;
        }
    }
}

// --- Blob streams ---

TStream* TzelCustomMemTable::CreateBlobStream(TField* Field, TBlobStreamMode Mode)
{
    return new TzelBlobStream(Field, Mode);
}

// =================================================================================================
// Saving and loading through stream formats: the table's entry points
// =================================================================================================

namespace {

// Runs each closing step of a frame even when an earlier one fails; the first failure is kept
// and passed on at the end.
class TClosingSteps {
public:
    template <typename Step>
    void Run(Step step)
    {
        try {
            step();
        } catch (...) {
            if (!FFailure)
                FFailure = std::current_exception();
        }
    }
    void RethrowFirst()
    {
        if (FFailure)
            std::rethrow_exception(FFailure);
    }

private:
    std::exception_ptr FFailure;
};

[[noreturn]] void RaiseNoFormat()
{
    RAISE(EMemTableError("No format specified."));
}

// Renames with replacement, both names through the path resolver; EFCreateError naming the
// target when the rename fails.
void ReplaceFile(const std::string& from, const std::string& to)
{
    const std::string source = ResolvePath(from);
    const std::string target = ResolvePath(to);
    const int failure = std::rename(source.c_str(), target.c_str()) == 0 ? 0 : errno;
    ForgetCachedFolder(source);
    ForgetCachedFolder(target);
    if (failure != 0)
        RAISE(EFCreateError(Format("Cannot create file \"%s\". %s",
                                   {to, SysErrorMessage(SetLastErrorFromErrno(failure))})));
}

} // namespace

void TzelCustomMemTable::SetFormatReference(TzelCustomStreamFormat*& Reference,
                                            TzelCustomStreamFormat* Value)
{
    Reference = Value;
    if (Value)
        Value->FreeNotification(this);
}

void TzelCustomMemTable::SetPersistentFormat(TzelCustomStreamFormat* Value)
{
    SetFormatReference(FPersistentFormat, Value);
}

void TzelCustomMemTable::SetFormFormat(TzelCustomStreamFormat* Value)
{
    SetFormatReference(FFormFormat, Value);
}

void TzelCustomMemTable::SetDefaultFormat(TzelCustomStreamFormat* Value)
{
    SetFormatReference(FDefaultFormat, Value);
}

void TzelCustomMemTable::SetCommaTextFormat(TzelCustomStreamFormat* Value)
{
    SetFormatReference(FCommaTextFormat, Value);
}

void TzelCustomMemTable::SetWholeTableFormat(TzelCustomStreamFormat* Value)
{
    SetFormatReference(FWholeTableFormat, Value);
}

void TzelCustomMemTable::ForgetFormat(TComponent* AComponent)
{
    for (TzelCustomStreamFormat** reference : {&FPersistentFormat, &FFormFormat, &FDefaultFormat,
                                               &FCommaTextFormat, &FWholeTableFormat}) {
        if (*reference && static_cast<TComponent*>(*reference) == AComponent)
            *reference = nullptr;
    }
}

void TzelCustomMemTable::SaveToFileViaFormat(const std::string& FileName,
                                             TzelCustomStreamFormat* Format)
{
    CheckActive();
    if (!Format)
        RaiseNoFormat();
    // The new image goes to a temporary file beside the target; the target is replaced only
    // once the save succeeded, so a failure leaves the previous file as it was.
    TAtomicFileStream stream(FileName);
    if (Format->sfAppend.Contains(sfSaveAppend) && FileExists(FileName)) {
        TFileStream existing(FileName, fmOpenRead | fmShareDenyWrite);
        if (existing.Size() > 0)
            stream.CopyFrom(existing, 0);
    }
    if (OnSave)
        OnSave(this, mtstFile, &stream);
    InternalSaveToStreamViaFormat(&stream, Format);
    stream.Commit();
}

void TzelCustomMemTable::SaveToFile(const std::string& FileName)
{
    SaveToFileViaFormat(FileName, FDefaultFormat);
}

void TzelCustomMemTable::SaveToStreamViaFormat(TStream* Stream, TzelCustomStreamFormat* Format)
{
    CheckActive();
    if (OnSave)
        OnSave(this, mtstStream, Stream);
    InternalSaveToStreamViaFormat(Stream, Format);
}

void TzelCustomMemTable::SaveToStream(TStream* Stream)
{
    SaveToStreamViaFormat(Stream, FDefaultFormat);
}

void TzelCustomMemTable::LoadFromFileViaFormat(const std::string& FileName,
                                               TzelCustomStreamFormat* Format)
{
    TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
    if (OnLoad)
        OnLoad(this, mtstFile, &stream);
    InternalLoadFromStreamViaFormat(&stream, Format);
}

void TzelCustomMemTable::LoadFromFile(const std::string& FileName)
{
    LoadFromFileViaFormat(FileName, FDefaultFormat);
}

void TzelCustomMemTable::LoadFromStreamViaFormat(TStream* Stream, TzelCustomStreamFormat* Format)
{
    if (OnLoad)
        OnLoad(this, mtstStream, Stream);
    InternalLoadFromStreamViaFormat(Stream, Format);
}

void TzelCustomMemTable::LoadFromStream(TStream* Stream)
{
    LoadFromStreamViaFormat(Stream, FDefaultFormat);
}

void TzelCustomMemTable::InternalSaveToStreamViaFormat(TStream* Stream,
                                                       TzelCustomStreamFormat* Format)
{
    if (!Format)
        RaiseNoFormat();
    Format->SetTargetStream(Stream);
    Format->SetWorkStream(nullptr);
    try {
        Format->BeforeSave(this);
        Format->Save(this);
    } catch (...) {
        // Once the storage is locked the closing step runs whatever failed; the first failure
        // is the one the caller sees.
        if (Format->FrameOpen()) {
            try {
                Format->AfterSave(this);
            } catch (...) {
            }
        }
        Format->ClearStreams();
        throw;
    }
    try {
        Format->AfterSave(this);
    } catch (...) {
        Format->ClearStreams();
        throw;
    }
    Format->ClearStreams();
}

void TzelCustomMemTable::InternalLoadFromStreamViaFormat(TStream* Stream,
                                                         TzelCustomStreamFormat* Format)
{
    if (!Format)
        RaiseNoFormat();
    Format->SetTargetStream(Stream);
    Format->SetWorkStream(nullptr);
    try {
        Format->BeforeLoad(this);
        Format->Load(this);
    } catch (...) {
        if (Format->FrameOpen()) {
            try {
                Format->AfterLoad(this);
            } catch (...) {
            }
        }
        Format->ClearStreams();
        throw;
    }
    try {
        Format->AfterLoad(this);
    } catch (...) {
        Format->ClearStreams();
        throw;
    }
    Format->ClearStreams();
}

// --- Persistent file ---

void TzelCustomMemTable::SavePersistent()
{
    if (FPersistentSaved || ComponentState().Contains(csDesigning))
        return;
    if (!FPersistent || FPersistentFile.empty() || !FPersistentFormat)
        return;
    const std::string tempName = ChangeFileExt(FPersistentFile, ".$$$");
    try {
        SaveToFileViaFormat(tempName, FPersistentFormat);
        // Renames only: the persistent file is replaced in one step, never deleted first.
        if (FPersistentBackup && FileExists(FPersistentFile)) {
            const std::string backupName = ChangeFileExt(FPersistentFile, FPersistentBackupExt);
            ReplaceFile(FPersistentFile, backupName);
        }
        ReplaceFile(tempName, FPersistentFile);
    } catch (...) {
        if (FileExists(tempName))
            DeleteFile(tempName);
        throw;
    }
    FPersistentSaved = true;
}

void TzelCustomMemTable::SavePersistentQuietly()
{
    try {
        SavePersistent();
    } catch (...) {
        // The table is going away: nobody is left to catch it.
        FPersistentSaved = true;
        HandleApplicationException(this);
    }
}

void TzelCustomMemTable::LoadPersistent()
{
    if (FPersistent && !FPersistentFile.empty() && FPersistentFormat &&
        FileExists(FPersistentFile)) {
        LoadFromFileViaFormat(FPersistentFile, FPersistentFormat);
        First();
    }
    FPersistentSaved = false;
}

bool TzelCustomMemTable::Exists()
{
    return !FPersistentFile.empty() && FileExists(FPersistentFile);
}

// --- Comma text and whole data ---

std::string TzelCustomMemTable::GetCommaText()
{
    TMemoryStream stream;
    SaveToStreamViaFormat(&stream, FCommaTextFormat);
    return std::string(stream.Memory(), static_cast<std::size_t>(stream.Size()));
}

void TzelCustomMemTable::SetCommaText(const std::string& Value)
{
    EmptyTable();
    TMemoryStream stream;
    if (!Value.empty())
        stream.WriteBuffer(Value.data(), static_cast<int>(Value.size()));
    stream.SetPosition(0);
    LoadFromStreamViaFormat(&stream, FCommaTextFormat);
}

TzelCustomStreamFormat* TzelCustomMemTable::AllDataFormat()
{
    if (FWholeTableFormat)
        return FWholeTableFormat;
    if (!FOwnWholeTableFormat)
        FOwnWholeTableFormat = std::make_unique<TzelBinaryStreamFormat>(nullptr);
    return FOwnWholeTableFormat.get();
}

Variant TzelCustomMemTable::GetAllData()
{
    if (!Active())
        return Variant();
    TMemoryStream stream;
    SaveToStreamViaFormat(&stream, AllDataFormat());
    Variant value;
    StreamToVariant(&stream, value);
    return value;
}

void TzelCustomMemTable::SetAllData(const Variant& Value)
{
    if (!VarIsArray(Value))
        return;
    TMemoryStream stream;
    VariantToStream(Value, &stream);
    EmptyTable();
    stream.SetPosition(0);
    LoadFromStreamViaFormat(&stream, AllDataFormat());
}

void TzelCustomMemTable::StreamToVariant(TStream* Stream, Variant& Value)
{
    try {
        Stream->SetPosition(0);
        const auto size = static_cast<int>(Stream->Size());
        Variant bytes = VarArrayCreate({0, size - 1}, varByte);
        if (size > 0) {
            void* data = VarArrayLock(bytes);
            try {
                Stream->ReadBuffer(data, size);
            } catch (...) {
                VarArrayUnlock(bytes);
                throw;
            }
            VarArrayUnlock(bytes);
        }
        Value = bytes;
    } catch (...) {
        Value = Variant();
    }
}

void TzelCustomMemTable::VariantToStream(const Variant& Value, TStream* Stream)
{
    if (VarIsEmpty(Value) || VarIsNull(Value) || !VarIsArray(Value))
        return;
    const int count = VarArrayHighBound(Value, 1) + 1;
    if (count <= 0)
        return;
    const auto* data = static_cast<const std::uint8_t*>(VarArrayLock(Value));
    const int low = VarArrayLowBound(Value, 1);
    try {
        // The bytes from the low bound on, as many as the high bound + 1 says, within the array.
        const int available = VarArrayHighBound(Value, 1) - low + 1;
        Stream->WriteBuffer(data, std::min(count, available));
    } catch (...) {
        VarArrayUnlock(Value);
        throw;
    }
    VarArrayUnlock(Value);
}

// --- Window data ---

void TzelCustomMemTable::ReadData(TStream& Stream)
{
    auto held = std::make_unique<TMemoryStream>();
    held->CopyFrom(Stream, 0);
    held->SetPosition(0);
    FFormDataStream = std::move(held);
}

void TzelCustomMemTable::WriteData(TStream& Stream)
{
    if (!FStoreDataOnForm || !Active())
        return;
    SaveToStreamViaFormat(&Stream, FFormFormat);
}

// =================================================================================================
// Stream format base: option sets, field maps and the save and load frames
// =================================================================================================

TzelCustomStreamFormat::TzelCustomStreamFormat(TComponent* AOwner) : TComponent(AOwner)
{
    std::fill(std::begin(FSaveFields), std::end(FSaveFields), -1);
    std::fill(std::begin(FLoadFields), std::end(FLoadFields), -1);
}

TzelCustomStreamFormat::~TzelCustomStreamFormat() = default;

void TzelCustomStreamFormat::ClearStreams()
{
    FOwnWorkStream.reset();
    FWorkStream = nullptr;
    FTargetStream = nullptr;
}

std::string TzelCustomStreamFormat::GetVersion()
{
    return "1.00";
}

void TzelCustomStreamFormat::LoadInInsertState(TzelCustomMemTable* Table,
                                               const std::function<void()>& LoadRecords)
{
    const TDataSetState savedState = Table->SetTempState(dsInsert);
    try {
        LoadRecords();
    } catch (...) {
        Table->SetVersionReadRecord(nullptr);
        Table->RestoreState(savedState);
        throw;
    }
    Table->SetVersionReadRecord(nullptr);
    Table->RestoreState(savedState);
}

void TzelCustomStreamFormat::FindUniqueIndexes(TzelCustomMemTable* Table)
{
    FUniqueIndexes.clear();
    if (!Table->Active())
        return;
    TzelIndexes& indexes = Table->Indexes();
    for (int i = 0; i < indexes.Count(); ++i) {
        TzelIndex* index = indexes.GetIndex(i);
        if (!index || !index->Enabled() || index->IsRowOrder() ||
            !index->Options().Contains(mtcoUnique))
            continue;
        index->Rebuild();
        FUniqueIndexes.push_back(index);
    }
}

void TzelCustomStreamFormat::StoreLoadedRecord(TzelCustomMemTable* Table, TzelRecord* Record)
{
    std::vector<int> positions(FUniqueIndexes.size(), -1);
    std::vector<char> admitted(FUniqueIndexes.size(), 0);
    for (std::size_t i = 0; i < FUniqueIndexes.size(); ++i) {
        TzelIndex* index = FUniqueIndexes[i];
        if (!index->Filter(Record))
            continue;
        bool found = false;
        int lastCompare = 0;
        index->Search(nullptr, Record, false, false, found, lastCompare);
        if (found)
            RAISE(EMemTableError("Duplicate index value. Operation aborted."));
        positions[i] = index->Search(nullptr, Record, true, false);
        admitted[i] = 1;
    }
    TzelCommon* storage = Table->Common();
    {
        TzelStorageLock guard(*storage);
        storage->_InternalAppendRecord(Record);
    }
    for (std::size_t i = 0; i < FUniqueIndexes.size(); ++i) {
        TzelIndex* index = FUniqueIndexes[i];
        if (!admitted[i])
            continue;
        if (positions[i] < 0 || positions[i] >= index->Count())
            index->Append(Record);
        else
            index->InsertAt(positions[i], Record);
    }
}

bool TzelCustomStreamFormat::IsMapKind(TFieldKind Kind)
{
    return Kind == fkData || Kind == fkCalculated || Kind == fkLookup || Kind == fkInternalCalc;
}

void TzelCustomStreamFormat::CheckFieldCount(TzelCustomMemTable* Table)
{
    if (Table->FieldCount() > ZEL_MAX_FIELDS)
        RAISE(EMemTableError("Too many fields. Please raise ZEL_MAX_FIELDS value."));
}

void TzelCustomStreamFormat::DetermineSaveFields(TzelCustomMemTable* Table)
{
    FSaveFieldsCount = Table->FieldCount();
    for (int i = 0; i < FSaveFieldsCount; ++i) {
        TField* field = Table->Fields().Fields(i);
        int entry = -1;
        const bool blob = IsBlobType(field->DataType());
        if (blob && !sfBlobs.Contains(sfSaveBlobs)) {
            FSaveFields[i] = -1;
            continue;
        }
        if (blob)
            entry = i;
        switch (field->FieldKind()) {
        case fkData:
        case fkInternalCalc:
            if (sfData.Contains(sfSaveData))
                entry = i;
            break;
        case fkCalculated:
            if (sfCalculated.Contains(sfSaveCalculated))
                entry = i;
            break;
        case fkLookup:
            if (sfLookup.Contains(sfSaveLookup))
                entry = i;
            break;
        default:
            entry = -1;
            break;
        }
        if (!field->Visible() && !sfNonVisible.Contains(sfSaveNonVisible))
            entry = -1;
        FSaveFields[i] = entry;
    }
}

void TzelCustomStreamFormat::DetermineLoadFieldIDs(TzelCustomMemTable* Table, TStrings* FieldIDs,
                                                   TzelDetermineLoadFieldsSituation /*Situation*/)
{
    for (int i = 0; i < Table->FieldCount(); ++i)
        FieldIDs->Add(Table->Fields().Fields(i)->DisplayName());
}

void TzelCustomStreamFormat::DetermineLoadFieldIndex(TzelCustomMemTable* /*Table*/,
                                                     const std::string& /*ID*/,
                                                     int /*FieldCount*/, int /*OrigIndex*/,
                                                     int& FieldIndex,
                                                     TzelDetermineLoadFieldsSituation /*Situation*/)
{
    FieldIndex = -1;
}

void TzelCustomStreamFormat::DetermineLoadFields(TzelCustomMemTable* Table,
                                                 TzelDetermineLoadFieldsSituation Situation)
{
    TStringList ids;
    DetermineLoadFieldIDs(Table, &ids, Situation);
    FLoadFieldsCount = std::min(ids.Count(), ZEL_MAX_FIELDS + 1);
    for (int k = 0; k < FLoadFieldsCount; ++k) {
        int index = -1;
        DetermineLoadFieldIndex(Table, ids.Strings(k), FLoadFieldsCount, k, index, Situation);
        if (index >= 0 && index < Table->FieldCount()) {
            TField* field = Table->Fields().Fields(index);
            bool refused = false;
            switch (field->FieldKind()) {
            case fkData:
            case fkInternalCalc:
                refused = !sfData.Contains(sfLoadData);
                break;
            case fkCalculated:
                refused = !sfCalculated.Contains(sfLoadCalculated);
                break;
            case fkLookup:
                refused = !sfLookup.Contains(sfLoadLookup);
                break;
            default:
                refused = true;
                break;
            }
            if (IsBlobType(field->DataType()) && !sfBlobs.Contains(sfLoadBlobs))
                refused = true;
            if (!field->Visible() && !sfNonVisible.Contains(sfLoadNonVisible))
                refused = true;
            if (refused)
                index = -1;
        } else {
            index = -1;
        }
        FLoadFields[k] = index;
    }
}

void TzelCustomStreamFormat::BeforeSave(TzelCustomMemTable* Table)
{
    CheckFieldCount(Table);
    Table->DisableControls();
    try {
        Table->Lock();
    } catch (...) {
        Table->EnableControls();
        throw;
    }
    FFrameOpen = true;
    Table->SetTableState(mtstSave);
    Table->Progress(0, mtpcSave);
    FKeptFiltered = Table->Filtered();
    FKeptRange = Table->FRangeActive;
    FKeptMasterDetail = Table->FMasterDetail;
    // The switches alone: the cursor and its buffers stay as they are, so the table shows the
    // same records again once they are restored.
    if (FKeptFiltered && sfFiltered.Contains(sfSaveFiltered))
        Table->TDataSet::SetFiltered(false);
    if (FKeptMasterDetail && sfIgnoreMasterDetail.Contains(sfSaveIgnoreMasterDetail))
        Table->FMasterDetail = false;
    if (FKeptRange && sfIgnoreRange.Contains(sfSaveIgnoreRange))
        Table->FRangeActive = false;
    if (OnCompress) {
        FOwnWorkStream = std::make_unique<TMemoryStream>();
        FWorkStream = FOwnWorkStream.get();
    } else {
        FWorkStream = FTargetStream;
    }
    if (sfAppend.Contains(sfSaveAppend)) {
        FWorkStream->Seek(0, soFromEnd);
    } else if (!sfAppend.Contains(sfSaveInsert)) {
        FWorkStream->SetSize(0);
        FWorkStream->SetPosition(0);
    }
    DetermineSaveFields(Table);
}

void TzelCustomStreamFormat::SaveDef(TzelCustomMemTable* /*Table*/) {}

void TzelCustomStreamFormat::SaveData(TzelCustomMemTable* /*Table*/) {}

void TzelCustomStreamFormat::Save(TzelCustomMemTable* Table)
{
    if (OnBeforeSave)
        OnBeforeSave(this);
    SaveDef(Table);
    SaveData(Table);
    if (OnAfterSave)
        OnAfterSave(this);
}

void TzelCustomStreamFormat::AfterSave(TzelCustomMemTable* Table)
{
    TClosingSteps steps;
    steps.Run([&] {
        if (OnCompress && FOwnWorkStream) {
            FWorkStream->SetPosition(0);
            OnCompress(Table, FWorkStream, FTargetStream);
        }
    });
    Table->FMasterDetail = FKeptMasterDetail;
    Table->FRangeActive = FKeptRange;
    Table->TDataSet::SetFiltered(FKeptFiltered);
    Table->SetTableState(mtstBrowse);
    steps.Run([&] { Table->Progress(100, mtpcSave); });
    if (FFrameOpen) {
        FFrameOpen = false;
        Table->Unlock();
        steps.Run([&] { Table->EnableControls(); });
    }
    FOwnWorkStream.reset();
    FWorkStream = FTargetStream;
    steps.RethrowFirst();
}

void TzelCustomStreamFormat::BeforeLoad(TzelCustomMemTable* Table)
{
    CheckFieldCount(Table);
    Table->DisableControls();
    try {
        Table->Lock();
    } catch (...) {
        Table->EnableControls();
        throw;
    }
    FFrameOpen = true;
    Table->SetTableState(mtstLoad);
    FKeptPersistent = Table->Persistent();
    FKeptEnableIndexes = Table->EnableIndexes();
    Table->SetPersistent(false);
    Table->SetEnableIndexes(false);
    Table->SetIgnoreReadOnly(true);
    SetIgnoreAutoIncPopulation(Table, true);
    FBookmark.clear();
    FHasBookmark = false;
    if (Table->AutoReposition() && Table->Active() && !Table->IsEmpty()) {
        FBookmark = Table->GetBookmark();
        FHasBookmark = true;
    }
    Table->Progress(0, mtpcLoad);
    if (OnDeCompress) {
        FOwnWorkStream = std::make_unique<TMemoryStream>();
        FWorkStream = FOwnWorkStream.get();
        if (sfFromStart.Contains(sfLoadFromStart))
            FTargetStream->SetPosition(0);
        OnDeCompress(Table, FTargetStream, FWorkStream);
        FWorkStream->SetPosition(0);
    } else {
        FWorkStream = FTargetStream;
        if (sfFromStart.Contains(sfLoadFromStart))
            FWorkStream->SetPosition(0);
    }
    DetermineLoadFields(Table, dlfBeforeLoad);
}

void TzelCustomStreamFormat::LoadDef(TzelCustomMemTable* /*Table*/) {}

void TzelCustomStreamFormat::LoadData(TzelCustomMemTable* /*Table*/) {}

void TzelCustomStreamFormat::Load(TzelCustomMemTable* Table)
{
    if (OnBeforeLoad)
        OnBeforeLoad(this);
    LoadDef(Table);
    DetermineLoadFields(Table, dlfAfterLoadDef);
    if (FLoadFieldsCount == 0)
        RAISE(EMemTableError("Couldnt determine field count for load."));
    LoadData(Table);
    if (OnAfterLoad)
        OnAfterLoad(this);
}

void TzelCustomStreamFormat::AfterLoad(TzelCustomMemTable* Table)
{
    TClosingSteps steps;
    Table->SetPersistent(FKeptPersistent);
    Table->SetEnableIndexes(FKeptEnableIndexes);
    Table->SetIgnoreReadOnly(false);
    SetIgnoreAutoIncPopulation(Table, false);
    steps.Run([&] {
        Table->Common()->MarkIndexesDirty();
        Table->Common()->RebuildIndexes();
    });
    if (FFrameOpen) {
        FFrameOpen = false;
        Table->Unlock();
    }
    steps.Run([&] {
        if (Table->AutoReposition() && Table->Active()) {
            Table->ClearBuffers();
            if (FHasBookmark && Table->BookmarkValid(FBookmark))
                Table->GotoBookmark(FBookmark);
            else
                Table->First();
        }
    });
    FBookmark.clear();
    FHasBookmark = false;
    steps.Run([&] { Table->EnableControls(); });
    steps.Run([&] { Table->Progress(100, mtpcLoad); });
    Table->SetTableState(mtstBrowse);
    steps.Run([&] {
        if (Table->AutoUpdateFieldVariables())
            Table->UpdateFieldVariables();
    });
    steps.Run([&] {
        if (Table->Active())
            Table->Refresh();
    });
    FOwnWorkStream.reset();
    FWorkStream = FTargetStream;
    steps.RethrowFirst();
}

void TzelCustomStreamFormat::SetIgnoreAutoIncPopulation(TzelCustomMemTable* Table, bool Value)
{
    Table->SetIgnoreAutoIncPopulation(Value);
}

void TzelCustomStreamFormat::Assign(TPersistent* Source)
{
    auto* other = dynamic_cast<TzelCustomStreamFormat*>(Source);
    if (!other) {
        TComponent::Assign(Source);
        return;
    }
    sfData = other->sfData;
    sfCalculated = other->sfCalculated;
    sfLookup = other->sfLookup;
    sfNonVisible = other->sfNonVisible;
    sfBlobs = other->sfBlobs;
    sfDef = other->sfDef;
    sfIndexDef = other->sfIndexDef;
    sfFiltered = other->sfFiltered;
    sfIgnoreRange = other->sfIgnoreRange;
    sfIgnoreMasterDetail = other->sfIgnoreMasterDetail;
    sfDeltas = other->sfDeltas;
    sfDontFilterDeltas = other->sfDontFilterDeltas;
    sfAppend = other->sfAppend;
    sfFieldKind = other->sfFieldKind;
    sfFromStart = other->sfFromStart;
}

// The window data held since it was read, then the persistent file: both once the table is open.
void TzelCustomMemTable::LoadOpeningData()
{
    if (FFormDataStream) {
        std::unique_ptr<TStream> held = std::move(FFormDataStream);
        if (FStoreDataOnForm)
            LoadFromStreamViaFormat(held.get(), FFormFormat);
    }
    LoadPersistent();
}

std::string TzelCustomMemTable::StoredBlobValue(TzelRecord* Record, TField* Field)
{
    TzelStorageLock guard(*FCommon);
    const int fieldNo = Field->FieldNo();
    if (!FCommon->IsVarLengthField(fieldNo))
        return {};
    const char* block = FCommon->GetVarLengthBlock(Record, fieldNo);
    if (!block)
        return {};
    const char* data = TzelCommon::VarLengthBlockData(block);
    const int length = TzelCommon::VarLengthBlockSize(block);
    if (!FCommon->IsCompressedField(fieldNo))
        return std::string(data, static_cast<std::size_t>(length));
    std::string plain;
    if (!ClientDecompressField(Field, data, length, plain))
        FCommon->DecompressFieldBuffer(Field, data, length, plain);
    return plain;
}

void TzelCustomMemTable::StoreBlobValue(TzelRecord* Record, TField* Field,
                                        const std::string& Value)
{
    TzelStorageLock guard(*FCommon);
    const int fieldNo = Field->FieldNo();
    if (!FCommon->IsVarLengthField(fieldNo))
        return;
    char* slot = FCommon->GetFieldPointer(Record, fieldNo);
    if (!slot)
        return;
    // An empty content is still a value: only a null flag makes a blob null.
    static const char NoBytes = 0;
    WriteVarLengthValue(Field, slot, Value.empty() ? &NoBytes : Value.data(),
                        static_cast<int>(Value.size()));
}

bool TzelCustomMemTable::StoredValuePresent(TzelRecord* Record, TField* Field)
{
    const char* slot = FCommon->GetFieldPointer(Record, Field);
    return slot && slot[0] != 0;
}

std::string TzelCustomMemTable::StoredTextValue(TzelRecord* Record, TField* Field)
{
    const int fieldNo = Field->FieldNo();
    if (Field->DataType() != ftString || Field->FieldKind() != fkData || fieldNo <= 0)
        return Field->AsString();
    const char* slot = FCommon->GetFieldPointer(Record, Field);
    if (!slot || slot[0] == 0)
        return {};
    const std::size_t size = static_cast<std::size_t>(Field->Size());
    if (!FCommon->IsVarLengthField(fieldNo))
        return std::string(slot + 1, strnlen(slot + 1, size));
    if (FCommon->IsCompressedField(fieldNo))
        return Field->AsString();
    const char* block = FCommon->GetVarLengthBlock(Record, fieldNo);
    if (!block)
        return {};
    const char* data = TzelCommon::VarLengthBlockData(block);
    const auto length = std::min(static_cast<std::size_t>(TzelCommon::VarLengthBlockSize(block)),
                                 size);
    return std::string(data, strnlen(data, length));
}

// --- Copies between this table and any other data set -------------------------------------------

namespace {

bool IsCopyableType(TFieldType Type)
{
    return Type >= ftString && Type <= ftTypedBinary;
}

int CopyPercentage(int Done, int Total)
{
    return static_cast<int>(static_cast<double>(Done) / Total * 100);
}

// A field of the same class takes the value itself (a null clears it): fixed-size values of the
// same size as their raw bytes, the common types without a detour through a variant.
void CopySameClassValue(TField* From, TField* To)
{
    const int size = From->DataSize();
    if (size > 0 && size == To->DataSize() && !From->IsBlob()) {
        thread_local std::string buffer;
        buffer.resize(static_cast<std::size_t>(size));
        if (From->GetData(buffer.data()))
            To->SetData(buffer.data());
        else
            To->Clear();
        return;
    }
    if (From->IsNull()) {
        To->Clear();
        return;
    }
    switch (From->DataType()) {
    case ftString:
        To->SetAsString(From->AsString());
        break;
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
        To->SetAsInteger(From->AsInteger());
        break;
    case ftFloat:
    case ftCurrency:
        To->SetAsFloat(From->AsFloat());
        break;
    case ftBoolean:
        To->SetAsBoolean(From->AsBoolean());
        break;
    case ftDate:
    case ftTime:
    case ftDateTime:
        To->SetAsDateTime(From->AsDateTime());
        break;
    default:
        To->Assign(From);
        break;
    }
}

// A text of another data set, read as the framework's buffer holds it; nullptr for a null value.
const char* SourceText(TField* From, std::size_t& Length)
{
    thread_local std::string buffer;
    buffer.assign(static_cast<std::size_t>(std::max(From->DataSize(), 1)), '\0');
    if (!From->GetData(buffer.data()))
        return nullptr;
    Length = strnlen(buffer.data(), buffer.size());
    return buffer.data();
}

// The names of the fields of a field list, separated by ";", for Locate.
std::string FieldListNames(TzelFieldList& List)
{
    std::string names;
    for (int i = 0; i < List.GetCount(); ++i) {
        if (i > 0)
            names += ';';
        names += List.Get(i)->FieldName();
    }
    return names;
}

} // namespace

std::vector<TField*> TzelCustomMemTable::MapCopyFields(TDataSet* Source, TDataSet* Target,
                                                       TzelAutoIncCopy AutoInc)
{
    std::vector<TField*> map(static_cast<std::size_t>(Target->FieldCount()), nullptr);
    const bool targetEmpty = Target->IsEmpty();
    for (int i = 0; i < Target->FieldCount(); ++i) {
        TField* field = Target->Fields().Fields(i);
        const TFieldKind kind = field->FieldKind();
        if (kind != fkData && kind != fkCalculated && kind != fkInternalCalc)
            continue;
        if (!IsCopyableType(field->DataType()))
            continue;
        if (field->DataType() == ftAutoInc &&
            (AutoInc == TzelAutoIncCopy::Never ||
             (AutoInc == TzelAutoIncCopy::WhenTargetEmpty && !targetEmpty)))
            continue;
        map[static_cast<std::size_t>(i)] = Source->FindField(field->FieldName());
    }
    return map;
}

void TzelCustomMemTable::WriteCopiedRecord(TDataSet* Source, TDataSet* Target,
                                           const std::vector<TField*>& Map, bool AsText)
{
    const bool isSource = Source == this;
    const bool isTarget = Target == this;
    try {
        for (int i = 0; i < static_cast<int>(Map.size()); ++i) {
            TField* from = Map[static_cast<std::size_t>(i)];
            if (!from)
                continue;
            TField* to = Target->Fields().Fields(i);
            if (isSource && OnSaveField)
                OnSaveField(this, i, from);
            if (isTarget && !AsText && from->DataType() == ftString &&
                from->ClassName() == to->ClassName())
                CopyTextHere(from, to);
            else if (!AsText && from->ClassName() == to->ClassName())
                CopySameClassValue(from, to);
            else if (from->IsNull())
                to->Clear();
            else
                to->SetAsString(from->AsString());
            if (isTarget && OnLoadField)
                OnLoadField(this, i, to);
        }
        bool accept = true;
        if (isTarget && OnLoadRecord)
            OnLoadRecord(this, accept);
        if (accept)
            Target->Post();
        else
            Target->Cancel();
    } catch (...) {
        try {
            Target->Cancel();
        } catch (...) {
        }
        throw;
    }
}

void TzelCustomMemTable::CopyTextHere(TField* From, TField* To)
{
    std::size_t length = 0;
    if (const char* text = SourceText(From, length))
        LoadFieldText(To, text, length);
    else
        To->Clear();
}

int TzelCustomMemTable::CopyRecords(TDataSet* Source, TDataSet* Target, int Limit)
{
    if (!Source || !Target || Source == Target)
        return 0;
    const bool isSource = Source == this;
    const bool isTarget = Target == this;
    const std::vector<TField*> map = MapCopyFields(Source, Target, TzelAutoIncCopy::WhenTargetEmpty);
    Progress(0, mtpcCopy);
    int total = 0;
    if (OnProgress) {
        total = Source->RecordCount();
        if (total <= 0)
            Progress(50, mtpcCopy);
    }
    if (isTarget)
        FLoadedCompletely = true;
    if (isSource)
        FSavedCompletely = true;
    // Into this table the lock is held for the whole copy, as a load through a format holds it,
    // so that writing a value does not take it again.
    std::optional<TzelStorageLock> wholeCopy;
    if (isTarget)
        wholeCopy.emplace(*FCommon);
    int count = 0;
    while (!Source->Eof()) {
        if (total > 0 && count % 100 == 0)
            Progress(CopyPercentage(count, total), mtpcCopy);
        if (isSource && OnSaveRecord) {
            bool accept = true;
            OnSaveRecord(this, accept);
            if (!accept) {
                Source->Next();
                continue;
            }
        }
        Target->Append();
        WriteCopiedRecord(Source, Target, map, false);
        Source->Next();
        ++count;
        if (Limit > 0 && count >= Limit) {
            if (isTarget)
                FLoadedCompletely = false;
            if (isSource)
                FSavedCompletely = false;
            break;
        }
    }
    Progress(100, mtpcCopy);
    return count;
}

void TzelCustomMemTable::AssignRecord(TDataSet* Source, TDataSet* Target)
{
    if (!Source || !Target || Source == Target)
        return;
    Progress(0, mtpcCopy);
    const std::vector<TField*> map = MapCopyFields(Source, Target, TzelAutoIncCopy::Never);
    if (Source == this && OnSaveRecord) {
        bool accept = true;
        OnSaveRecord(this, accept);
        if (!accept)
            return;
    }
    Target->Edit();
    WriteCopiedRecord(Source, Target, map, true);
    Progress(100, mtpcCopy);
}

int TzelCustomMemTable::UpdateRecords(TDataSet* Source, TDataSet* Target,
                                      TzelMemTableUpdateFlags Flags, int Limit,
                                      const std::string& KeyFields)
{
    Progress(0, mtpcUpdate);
    SetTableState(mtstUpdate);
    int count = 0;
    try {
        TzelFieldList keyList;
        BuildFieldList(&keyList, KeyFields);
        const std::string keyNames = FieldListNames(keyList);
        if (Source && Target && Source != Target) {
            const std::vector<TField*> map = MapCopyFields(Source, Target, TzelAutoIncCopy::Always);
            // The key values come from the source's fields of the key names.
            std::vector<TField*> sourceKeys;
            for (int i = 0; i < keyList.GetCount(); ++i)
                sourceKeys.push_back(Source->FieldByName(keyList.Get(i)->FieldName()));
            Source->First();
            const int total = Source->RecordCount();
            if (total < 1)
                Progress(50, mtpcCopy);
            while (!Source->Eof()) {
                if (total > 0 && count % 100 == 0)
                    Progress(CopyPercentage(count, total), mtpcCopy);
                if (Source == this && OnSaveRecord) {
                    bool accept = true;
                    OnSaveRecord(this, accept);
                    if (!accept) {
                        Source->Next();
                        continue;
                    }
                }
                Variant keyValues;
                if (sourceKeys.size() == 1) {
                    keyValues = sourceKeys[0]->AsVariant();
                } else {
                    std::vector<Variant> values;
                    for (TField* key : sourceKeys)
                        values.push_back(key->AsVariant());
                    keyValues = VarArrayOf(values);
                }
                bool write = false;
                if (!sourceKeys.empty() && Target->Locate(keyNames, keyValues, TLocateOptions())) {
                    if (Flags.Contains(mtufEdit)) {
                        Target->Edit();
                        write = true;
                    }
                } else if (Flags.Contains(mtufAppend)) {
                    Target->Append();
                    write = true;
                }
                if (write)
                    WriteCopiedRecord(Source, Target, map, true);
                Source->Next();
                ++count;
                if (Limit > 0 && count >= Limit)
                    break;
            }
        }
    } catch (...) {
        SetTableState(mtstBrowse);
        try {
            Progress(100, mtpcUpdate);
        } catch (...) {
        }
        throw;
    }
    Progress(100, mtpcUpdate);
    SetTableState(mtstBrowse);
    return count;
}

void TzelCustomMemTable::UpdateToDataSet(TDataSet* Target, const std::string& KeyFields,
                                         TzelMemTableUpdateFlags Flags)
{
    CheckBrowseMode();
    if (!Target || Target == this)
        return;
    if (OnSave)
        OnSave(this, mtstDataSet, nullptr);
    const bool targetWasOpen = Target->Active();
    const bool targetDisabled = Target->ControlsDisabled();
    DisableControls();
    if (!targetDisabled)
        Target->DisableControls();
    TClosingSteps steps;
    steps.Run([&] {
        if (!targetWasOpen)
            Target->Open();
        Target->CheckBrowseMode();
        Open();
        CheckBrowseMode();
        First();
        UpdateRecords(this, Target, Flags, 0, KeyFields);
    });
    steps.Run([&] {
        if (Target->Active())
            Target->First();
    });
    steps.Run([&] { EnableControls(); });
    steps.Run([&] {
        if (!targetDisabled)
            Target->EnableControls();
    });
    steps.Run([&] {
        if (!targetWasOpen)
            Target->Close();
    });
    steps.RethrowFirst();
}

void TzelCustomMemTable::SaveToDataSet(TDataSet* Target)
{
    if (!Target || Target == this)
        return;
    SetTableState(mtstSave);
    const bool targetWasOpen = Target->Active();
    const bool targetDisabled = Target->ControlsDisabled();
    TClosingSteps steps;
    steps.Run([&] {
        if (OnSave)
            OnSave(this, mtstDataSet, nullptr);
    });
    DisableControls();
    if (!targetDisabled)
        Target->DisableControls();
    steps.Run([&] {
        if (!targetWasOpen)
            Target->Open();
        Target->CheckBrowseMode();
        Open();
        CheckBrowseMode();
        First();
        FSavedCount = CopyRecords(this, Target, FSaveLimit);
    });
    steps.Run([&] {
        if (Target->Active())
            Target->First();
    });
    steps.Run([&] { EnableControls(); });
    steps.Run([&] {
        if (!targetDisabled)
            Target->EnableControls();
    });
    steps.Run([&] {
        if (!targetWasOpen)
            Target->Close();
    });
    SetTableState(mtstBrowse);
    steps.RethrowFirst();
}

void TzelCustomMemTable::LoadFromDataSet(TDataSet* Source, TzelMemTableCopyTableOptions Options)
{
    if (!Source || Source == this)
        return;
    if (Options.Contains(mtcpoAppend) &&
        (Options.Contains(mtcpoStructure) || Options.Contains(mtcpoProperties)))
        RAISE(EMemTableError("Invalid copy options: mtcpoAppend cannot be combined with "
                             "mtcpoStructure or mtcpoProperties."));
    SetTableState(mtstLoad);
    try {
        if (OnLoad)
            OnLoad(this, mtstDataSet, nullptr);
        if (Options.Contains(mtcpoStructure))
            Close();
        else if (!Options.Contains(mtcpoAppend))
            EmptyTable();
    } catch (...) {
        SetTableState(mtstBrowse);
        throw;
    }
    TClosingSteps steps;
    const bool sourceWasOpen = Source->Active();
    const bool sourceDisabled = Source->ControlsDisabled();
    const bool keptFiltered = Filtered();
    TDataSource* keptMaster = MasterSource();
    const bool keptEnableIndexes = EnableIndexes();
    SetEnableIndexes(false);
    SetIgnoreReadOnly(true);
    DisableControls();
    if (!sourceDisabled)
        Source->DisableControls();
    TBookmark bookmark;
    steps.Run([&] {
        if (!sourceWasOpen)
            Source->Open();
        try {
            bookmark = Source->GetBookmark();
        } catch (...) {
            bookmark.clear();
        }
        if (Active())
            SetFiltered(false);
        SetMasterSource(nullptr);
        try {
            Source->CheckBrowseMode();
            Source->UpdateCursorPos();
        } catch (...) {
        }
        if (Options.Contains(mtcpoStructure))
            CreateTableAs(Source, Options);
        if (!Active())
            Open();
        if (!Options.Contains(mtcpoAppend) && Options.Contains(mtcpoProperties))
            CopyFieldsProperties(Source, this);
        CheckBrowseMode();
        if (!Source->Bof())
            Source->First();
        FLoadedCount = CopyRecords(Source, this, FLoadLimit);
        First();
    });
    // The indexes come back also after a failure: the records copied so far stay.
    SetEnableIndexes(keptEnableIndexes);
    steps.Run([&] {
        FCommon->MarkIndexesDirty();
        FCommon->RebuildIndexes();
    });
    try {
        if (!bookmark.empty() && Source->Active() && Source->BookmarkValid(bookmark))
            Source->GotoBookmark(bookmark);
    } catch (...) {
    }
    SetIgnoreReadOnly(false);
    steps.Run([&] { EnableControls(); });
    steps.Run([&] {
        if (!sourceDisabled)
            Source->EnableControls();
    });
    steps.Run([&] {
        if (!sourceWasOpen)
            Source->Close();
    });
    steps.Run([&] {
        if (Active())
            SetFiltered(keptFiltered);
        else
            TDataSet::SetFiltered(keptFiltered);
    });
    steps.Run([&] { SetMasterSource(keptMaster); });
    steps.Run([&] {
        if (Active())
            UpdateCursorPos();
    });
    SetTableState(mtstBrowse);
    steps.RethrowFirst();
}

void TzelCustomMemTable::CreateTableAs(TDataSet* Source, TzelMemTableCopyTableOptions Options)
{
    if (FCommon->IsAnyTableActive())
        FCommon->CloseTables(nullptr);
    if (!Source)
        return;
    if (!Source->Active())
        Source->FieldDefs().Update();
    TFieldDefs& sourceDefs = Source->FieldDefs();
    if (sourceDefs.Count() > ZEL_MAX_FIELDS)
        RAISE(Exception("Too many fielddefs. Please raise ZEL_MAX_FIELDS value."));
    TFieldDefs& defs = FieldDefs();
    defs.Clear();
    for (int i = 0; i < sourceDefs.Count(); ++i) {
        TFieldDef* from = sourceDefs.Items(i);
        if (!IsCopyableType(from->DataType()))
            continue;
        if (Options.Contains(mtcpoOnlyActiveFields) && !Source->FindField(from->Name()))
            continue;
        defs.Add(from->Name(), from->DataType(), from->Size(), from->Required());
    }
    DestroyFields();
    if (!Source->DefaultFields())
        for (int i = 0; i < defs.Count(); ++i)
            defs.Items(i)->CreateField(this);
    for (int i = 0; i < Source->FieldCount(); ++i) {
        TField* from = Source->Fields().Fields(i);
        const bool wanted = (from->FieldKind() == fkLookup && Options.Contains(mtcpoLookup)) ||
                            (from->FieldKind() == fkCalculated && Options.Contains(mtcpoCalculated));
        if (!wanted)
            continue;
        TField* made = CreateFieldAs(from);
        if (made && Options.Contains(mtcpoFieldIndex))
            made->SetIndex(std::min(from->Index(), FieldCount() - 1));
    }
    if (Options.Contains(mtcpoProperties))
        CopyFieldsProperties(Source, this);
    ResetAutoInc();
}

TField* TzelCustomMemTable::CreateFieldAs(TField* Field)
{
    if (!Field || !IsCopyableType(Field->DataType()))
        return nullptr;
    const TPersistentClass* fieldClass = GetClass(Field->ClassName());
    if (!fieldClass)
        return nullptr;
    // Without an owner of ours the table itself owns the field, so that it is freed.
    TComponent* owner = Owner() ? Owner() : this;
    std::unique_ptr<TPersistent> made(fieldClass->Create(owner));
    auto* field = dynamic_cast<TField*>(made.get());
    if (!field)
        return nullptr;
    made.release();
    field->SetSize(Field->Size());
    field->SetFieldKind(Field->FieldKind());
    field->SetFieldName(Field->FieldName());
    field->SetKeyFields(Field->KeyFields());
    field->SetLookupDataSet(Field->LookupDataSet());
    field->SetLookupKeyFields(Field->LookupKeyFields());
    field->SetLookupResultField(Field->LookupResultField());
    field->SetDataSet(this);
    return field;
}

void TzelCustomMemTable::CopyFieldProperties(TField* Source, TField* Target)
{
    if (!Source || !Target || Source == Target)
        return;
    Target->SetEditMask(Source->EditMask());
    Target->SetDisplayWidth(Source->DisplayWidth());
    Target->SetDisplayLabel(Source->DisplayLabel());
    Target->SetRequired(Source->Required());
    Target->SetReadOnly(Source->ReadOnly());
    Target->SetVisible(Source->Visible());
    Target->SetDefaultExpression(Source->DefaultExpression());
    Target->SetAlignment(Source->Alignment());
    auto* numericFrom = dynamic_cast<TNumericField*>(Source);
    auto* numericTo = dynamic_cast<TNumericField*>(Target);
    if (numericFrom && numericTo) {
        numericTo->SetDisplayFormat(numericFrom->DisplayFormat());
        numericTo->SetEditFormat(numericFrom->EditFormat());
    }
    auto* integerFrom = dynamic_cast<TIntegerField*>(Source);
    auto* integerTo = dynamic_cast<TIntegerField*>(Target);
    if (integerFrom && integerTo) {
        integerTo->SetMaxValue(integerFrom->MaxValue());
        integerTo->SetMinValue(integerFrom->MinValue());
    }
    auto* dateFrom = dynamic_cast<TDateTimeField*>(Source);
    auto* dateTo = dynamic_cast<TDateTimeField*>(Target);
    if (dateFrom && dateTo)
        dateTo->SetDisplayFormat(dateFrom->DisplayFormat());
    auto* booleanFrom = dynamic_cast<TBooleanField*>(Source);
    auto* booleanTo = dynamic_cast<TBooleanField*>(Target);
    if (booleanFrom && booleanTo)
        booleanTo->SetDisplayValues(booleanFrom->DisplayValues());
    auto* stringFrom = dynamic_cast<TStringField*>(Source);
    auto* stringTo = dynamic_cast<TStringField*>(Target);
    if (stringFrom && stringTo)
        stringTo->SetTransliterate(stringFrom->Transliterate());
    auto* floatFrom = dynamic_cast<TFloatField*>(Source);
    auto* floatTo = dynamic_cast<TFloatField*>(Target);
    if (floatFrom && floatTo) {
        floatTo->SetMaxValue(floatFrom->MaxValue());
        floatTo->SetMinValue(floatFrom->MinValue());
        floatTo->SetPrecision(floatFrom->Precision());
        floatTo->SetCurrency(floatFrom->Currency());
    }
    auto* bcdFrom = dynamic_cast<TBCDField*>(Source);
    auto* bcdTo = dynamic_cast<TBCDField*>(Target);
    if (bcdFrom && bcdTo) {
        bcdTo->SetMaxValue(bcdFrom->MaxValue());
        bcdTo->SetMinValue(bcdFrom->MinValue());
        bcdTo->SetCurrency(bcdFrom->Currency());
    }
    auto* blobFrom = dynamic_cast<TBlobField*>(Source);
    auto* blobTo = dynamic_cast<TBlobField*>(Target);
    if (blobFrom && blobTo)
        blobTo->SetBlobType(blobFrom->BlobType());
    if (OnSetupFieldProperties)
        OnSetupFieldProperties(this, Target);
}

void TzelCustomMemTable::CopyFieldsProperties(TDataSet* Source, TDataSet* Target)
{
    if (!Source || !Target)
        return;
    for (int i = 0; i < Target->FieldCount(); ++i) {
        TField* to = Target->Fields().Fields(i);
        if (TField* from = Source->FindField(to->FieldName()))
            CopyFieldProperties(from, to);
    }
}
