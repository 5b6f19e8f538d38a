#include "tablestore/zelMemBinaryStreamFormat.h"

#include "platform/db/StdFields.h"
#include "platform/rtl/Formats.h"

#include <algorithm>
#include <cmath>
#include <cstring>

const char* const FieldTypeNames[23] = {
    "Unknown", "String",   "SmallInt", "Integer", "Word",       "Boolean",  "Float",
    "Currency", "BCD",     "Date",     "Time",    "DateTime",   "Bytes",    "VarBytes",
    "AutoInc", "Blob",     "Memo",     "Graphic", "FmtMemo",    "ParadoxOle", "dBaseOle",
    "TypedBinary", "Cursor"};

const char* const FieldKindNames[5] = {"Data", "Calculated", "Lookup", "InternalCalc",
                                       "Aggregate"};

namespace {

// Layout changes by file version.
constexpr int FirstVersionWithIndexDefs = 200;
constexpr int FirstVersionWithRecordVersions = 230;
constexpr int FirstVersionWithNullFlags = 249;
constexpr int FirstVersionWithFieldKind = 250;
constexpr int FirstVersionWithTenthValue = 251;
constexpr int OldestFileVersion = 100;

constexpr int HighestStoredType = ftTypedBinary;

[[noreturn]] void RaiseInvalidValue()
{
    RAISE(EReadError("Invalid property value"));
}

// Fixed-point amounts travel as ten-thousandths: the nearest integer, ties to even.
double ToTenThousandths(double value)
{
    return std::nearbyint(value * 10000.0) / 10000.0;
}

// The width a file records: the field's own, or the type's default.
int BinaryDisplayWidth(TField* field)
{
    switch (field->DataType()) {
    case ftString:
    case ftBoolean:
        return field->DisplayWidth();
    case ftBCD: {
        auto* bcd = static_cast<TBCDField*>(field);
        const int ownWidth = field->DisplayWidth();
        // DisplayWidth falls back to the field class's default; only a BCD field with a
        // precision has a default of its own in the file.
        if (bcd->Precision() > 0 && ownWidth == 10)
            return bcd->Precision() + 1;
        return ownWidth;
    }
    default:
        return field->DisplayWidth();
    }
}

int FindBinaryName(const char* const* names, int count, const std::string& name)
{
    for (int i = 0; i < count; ++i)
        if (name == names[i])
            return i;
    return -1;
}

} // namespace

TzelCustomBinaryStreamFormat::TzelCustomBinaryStreamFormat(TComponent* AOwner)
    : TzelCustomStreamFormat(AOwner)
{
}

TzelCustomBinaryStreamFormat::~TzelCustomBinaryStreamFormat() = default;

void TzelCustomBinaryStreamFormat::SetBufferSize(int Value)
{
    FBufferSize = std::max(Value, ZEL_BINARY_MIN_BUFFER);
}

std::string TzelCustomBinaryStreamFormat::GetVersion()
{
    return "3.00";
}

// --- Saving ---

void TzelCustomBinaryStreamFormat::BeforeSave(TzelCustomMemTable* Table)
{
    TzelCustomStreamFormat::BeforeSave(Table);
    FWriter = std::make_unique<TWriter>(FWorkStream, FBufferSize);
    FWriter->WriteSignature();
    FWriter->WriteInteger(ZEL_BINARY_FILE_VERSION);
}

void TzelCustomBinaryStreamFormat::SaveDef(TzelCustomMemTable* Table)
{
    SaveFieldDefs(Table);
    SaveIndexDefs(Table);
}

void TzelCustomBinaryStreamFormat::SaveFieldDefs(TzelCustomMemTable* Table)
{
    FWriter->WriteListBegin();
    if (sfDef.Contains(sfSaveDef)) {
        for (int i = 0; i < FSaveFieldsCount; ++i) {
            if (FSaveFields[i] < 0)
                continue;
            TField* field = Table->Fields().Fields(i);
            const int type = field->DataType();
            FWriter->WriteString(field->FieldName());
            FWriter->WriteString(type >= 0 && type <= ftCursor ? FieldTypeNames[type] : "Unknown");
            FWriter->WriteInteger(field->Size());
            FWriter->WriteString(field->DisplayName());
            FWriter->WriteString(field->EditMask());
            FWriter->WriteInteger(BinaryDisplayWidth(field));
            FWriter->WriteBoolean(field->Required());
            FWriter->WriteBoolean(field->ReadOnly());
            const int kind = field->FieldKind();
            FWriter->WriteString(sfFieldKind.Contains(sfSaveFieldKind) && kind >= 0 && kind <= 4
                                     ? FieldKindNames[kind]
                                     : "Data");
            FWriter->WriteString("");
        }
    }
    FWriter->WriteListEnd();
}

void TzelCustomBinaryStreamFormat::SaveIndexDefs(TzelCustomMemTable* Table)
{
    FWriter->WriteListBegin();
    if (sfIndexDef.Contains(sfSaveIndexDef)) {
        TIndexDefs& defs = Table->IndexDefs();
        for (int i = 0; i < defs.Count(); ++i) {
            TIndexDef* def = defs.Items(i);
            const TIndexOptions options = def->Options();
            FWriter->WriteString(def->Name());
            FWriter->WriteString(def->Fields());
            FWriter->WriteString(def->Name());
            FWriter->WriteBoolean(options.Contains(ixDescending));
            FWriter->WriteBoolean(options.Contains(ixCaseInsensitive));
            FWriter->WriteBoolean(false);
            FWriter->WriteBoolean(options.Contains(ixUnique));
        }
    }
    FWriter->WriteListEnd();
}

void TzelCustomBinaryStreamFormat::SaveData(TzelCustomMemTable* Table)
{
    Table->FSavedCount = 0;
    Table->FSavedCompletely = true;
    FWriter->WriteListBegin();
    TzelCommon* storage = Table->Common();
    const bool usingIndex = sfUsingIndex.Contains(sfSaveUsingIndex);
    TzelIndex* index = Table->CurrentIndex();
    const int count = usingIndex ? index->Count() : storage->RecordCount();
    for (int i = 0; i < count; ++i) {
        if (Table->SaveLimit() > 0 && Table->FSavedCount >= Table->SaveLimit()) {
            Table->FSavedCompletely = false;
            break;
        }
        if (i % 100 == 0)
            Table->Progress(static_cast<int>(std::trunc(static_cast<double>(i) / count * 100)),
                            mtpcSave);
        TzelRecord* record = usingIndex ? index->Reference(i) : storage->Records(i);
        if (!record)
            continue;
        Table->SetVersionReadRecord(record);
        if (SkipRecordOnSave(Table, record))
            continue;
        SaveRecord(Table, record);
        ++Table->FSavedCount;
    }
    Table->SetVersionReadRecord(nullptr);
    FWriter->WriteListEnd();
}

bool TzelCustomBinaryStreamFormat::SkipRecordOnSave(TzelCustomMemTable* Table,
                                                    TzelRecord* Record)
{
    Table->GetCalcFields(reinterpret_cast<TRecordBuffer>(Record));
    if (!Table->FilterRecord(Record, false))
        return true;
    if (Table->OnSaveRecord) {
        bool accept = true;
        Table->OnSaveRecord(Table, accept);
        if (!accept)
            return true;
    }
    if (!sfData.Contains(sfSaveData) && Record->UpdateStatus == usUnmodified)
        return true;
    if (!sfDontFilterDeltas.Contains(sfSaveDontFilterDeltas) &&
        Record->UpdateStatus == usDeleted) {
        // A record inserted and deleted again since the versions began is no change at all.
        TzelRecord* oldest = Record;
        while (oldest->PreviousVersion)
            oldest = oldest->PreviousVersion;
        if (oldest != Record && oldest->UpdateStatus == usInserted)
            return true;
    }
    return false;
}

void TzelCustomBinaryStreamFormat::SaveRecord(TzelCustomMemTable* Table, TzelRecord* Record)
{
    FWriter->WriteListBegin();
    bool firstVersion = true;
    for (TzelRecord* version = Record; version; version = version->PreviousVersion) {
        Table->SetVersionReadRecord(version);
        FWriter->WriteInteger(version->UpdateStatus);
        for (int i = 0; i < FSaveFieldsCount; ++i) {
            if (FSaveFields[i] < 0)
                continue;
            TField* field = Table->Fields().Fields(i);
            if (firstVersion && Table->OnSaveField)
                Table->OnSaveField(Table, i, field);
            const bool isNull = !Table->StoredValuePresent(version, field);
            FWriter->WriteBoolean(isNull);
            if (!isNull)
                SaveValue(Table, version, field);
        }
        if (!sfDeltas.Contains(sfSaveDeltas))
            break;
        firstVersion = false;
    }
    Table->SetVersionReadRecord(Record);
    FWriter->WriteListEnd();
}

void TzelCustomBinaryStreamFormat::SaveValue(TzelCustomMemTable* Table, TzelRecord* Record,
                                             TField* Field)
{
    switch (Field->DataType()) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
        FWriter->WriteInteger(Field->AsInteger());
        break;
    case ftBoolean:
        FWriter->WriteBoolean(Field->AsBoolean());
        break;
    case ftFloat:
        FWriter->WriteFloat(Field->AsFloat());
        break;
    case ftCurrency:
    case ftBCD:
        FWriter->WriteFloat(ToTenThousandths(Field->AsFloat()));
        break;
    case ftDate:
    case ftTime:
    case ftDateTime:
        FWriter->WriteFloat(Field->AsDateTime());
        break;
    case ftBytes:
    case ftVarBytes: {
        std::string raw(static_cast<std::size_t>(Field->DataSize()), '\0');
        Field->GetData(raw.data());
        FWriter->WriteString(raw);
        break;
    }
    default:
        if (IsBlobType(Field->DataType()))
            FWriter->WriteString(Table->StoredBlobValue(Record, Field));
        else
            FWriter->WriteString(Table->StoredTextValue(Record, Field));
        break;
    }
}

void TzelCustomBinaryStreamFormat::AfterSave(TzelCustomMemTable* Table)
{
    try {
        // Flushed here rather than by the writer's destructor, so that a failed write is seen.
        if (FWriter)
            FWriter->FlushBuffer();
    } catch (...) {
        FWriter.reset();
        Table->SetVersionReadRecord(nullptr);
        try {
            TzelCustomStreamFormat::AfterSave(Table);
        } catch (...) {
        }
        throw;
    }
    FWriter.reset();
    Table->SetVersionReadRecord(nullptr);
    TzelCustomStreamFormat::AfterSave(Table);
}

// --- Loading ---

void TzelCustomBinaryStreamFormat::BeforeLoad(TzelCustomMemTable* Table)
{
    TzelCustomStreamFormat::BeforeLoad(Table);
    FStreamSize = FWorkStream->Size();
    FRecordCounter = 0;
    FReader = std::make_unique<TReader>(FWorkStream, FBufferSize);
    FReader->ReadSignature();
    FIndexDefsLoaded = false;
    if (FReader->NextValue() == vaList) {
        FFileVersion = OldestFileVersion;
    } else {
        FFileVersion = FReader->ReadInteger();
        if (FFileVersion < OldestFileVersion || FFileVersion > ZEL_BINARY_FILE_VERSION)
            RAISE(EReadError("Invalid stream format"));
    }
}

void TzelCustomBinaryStreamFormat::LoadDef(TzelCustomMemTable* Table)
{
    bool anyDefinition = false;
    std::exception_ptr failure;
    try {
        FReader->ReadListBegin();
        while (!FReader->EndOfList()) {
            if (!anyDefinition && sfDef.Contains(sfLoadDef)) {
                Table->Close();
                Table->FieldDefs().Clear();
                Table->DeleteTable();
            }
            anyDefinition = true;
            LoadFieldDef(Table);
        }
        FReader->ReadListEnd();
        if (FFileVersion >= FirstVersionWithIndexDefs)
            LoadIndexDefs(Table, anyDefinition && sfDef.Contains(sfLoadDef));
    } catch (...) {
        failure = std::current_exception();
    }
    // The table opens with what was read, also after a failure part-way.
    if (anyDefinition) {
        try {
            Table->Open();
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
        }
    }
    if (!sfDef.Contains(sfLoadDef))
        FIndexDefsLoaded = false;
    if (failure)
        std::rethrow_exception(failure);
}

void TzelCustomBinaryStreamFormat::LoadFieldDef(TzelCustomMemTable* Table)
{
    const std::string name = FReader->ReadString();
    const std::string typeName = FReader->ReadString();
    const int size = FReader->ReadInteger();
    const std::string displayLabel = FReader->ReadString();
    const std::string editMask = FReader->ReadString();
    const int displayWidth = FReader->ReadInteger();
    const bool required = FReader->ReadBoolean();
    const bool readOnly = FReader->ReadBoolean();
    const std::string kindName =
        FFileVersion >= FirstVersionWithFieldKind ? FReader->ReadString() : "Data";
    if (FFileVersion >= FirstVersionWithTenthValue)
        FReader->ReadString();

    const int type = FindBinaryName(FieldTypeNames, 23, typeName);
    if (type <= ftUnknown || type > HighestStoredType)
        RAISE(EMemTableError(Format("Unknown field type (%s)", {typeName})));
    const int kind = std::max(FindBinaryName(FieldKindNames, 5, kindName), 0);
    if (size < 0)
        RaiseInvalidValue();
    if (!sfDef.Contains(sfLoadDef))
        return;

    TFieldDefs& defs = Table->FieldDefs();
    if (defs.Count() >= ZEL_MAX_FIELDS)
        RAISE(Exception("Too many fielddefs. Please raise ZEL_MAX_FIELDS value."));
    if (!name.empty() && defs.IndexOf(name) >= 0)
        DatabaseErrorFmt(DBMessages::DuplicateFieldName, {name}, Table);
    TFieldDef* def =
        defs.Add(name, static_cast<TFieldType>(type), size % 65536, required);
    TField* field = def->CreateField(Table);
    field->SetFieldKind(static_cast<TFieldKind>(kind));
    field->SetDisplayLabel(displayLabel == name ? std::string() : displayLabel);
    field->SetEditMask(editMask);
    field->SetReadOnly(readOnly);
    field->SetDisplayWidth(displayWidth);
}

void TzelCustomBinaryStreamFormat::LoadIndexDefs(TzelCustomMemTable* Table,
                                                 bool StructureReplaced)
{
    const bool loadDef = sfDef.Contains(sfLoadDef);
    // A file that replaced the fields and carries an index list replaces the index definitions
    // too, also with an empty list: definitions kept from the old structure could name fields
    // that are gone, and the table could not open.
    bool first = true;
    if (StructureReplaced) {
        Table->DestroyIndexes();
        Table->IndexDefs().Clear();
        first = false;
    }
    FReader->ReadListBegin();
    while (!FReader->EndOfList()) {
        if (first && loadDef) {
            Table->DestroyIndexes();
            Table->IndexDefs().Clear();
        }
        first = false;
        FIndexDefsLoaded = true;
        const std::string name = FReader->ReadString();
        const std::string fields = FReader->ReadString();
        FReader->ReadString();
        const bool descending = FReader->ReadBoolean();
        const bool caseInsensitive = FReader->ReadBoolean();
        FReader->ReadBoolean();
        const bool unique = FReader->ReadBoolean();
        if (!loadDef)
            continue;
        TIndexOptions options;
        if (descending)
            options.Include(ixDescending);
        if (caseInsensitive)
            options.Include(ixCaseInsensitive);
        if (unique)
            options.Include(ixUnique);
        Table->IndexDefs().Add(name, fields, options);
    }
    FReader->ReadListEnd();
}

void TzelCustomBinaryStreamFormat::LoadData(TzelCustomMemTable* Table)
{
    // A closed table (a file without definitions) has no cursor to take the values.
    Table->CheckActive();
    FindUniqueIndexes(Table);
    LoadInInsertState(Table, [&] { LoadRecords(Table); });
}

void TzelCustomBinaryStreamFormat::LoadRecords(TzelCustomMemTable* Table)
{
    TzelCommon* storage = Table->Common();
    Table->ResetAutoInc();
    // Presized from the stream: the stream's size bounds it, whatever the file says.
    const int recordSize = storage->DataSize();
    if (recordSize > 0) {
        const std::int64_t m = FStreamSize / recordSize;
        const std::int64_t capacity = storage->RecordCount() + m + m / 50;
        if (capacity > 0 && capacity <= INT32_MAX)
            storage->SetCapacity(static_cast<int>(capacity));
    }
    Table->FLoadedCount = 0;
    Table->FLoadedCompletely = true;
    FReader->ReadListBegin();
    while (!FReader->EndOfList()) {
        FRecordCounter = (FRecordCounter + 1) % 100;
        if (FRecordCounter == 0 && FStreamSize > 0)
            Table->Progress(static_cast<int>(std::trunc(static_cast<double>(
                                                            FWorkStream->Position()) /
                                                        FStreamSize * 100)),
                            mtpcLoad);
        if (Table->LoadLimit() > 0 && Table->FLoadedCount >= Table->LoadLimit()) {
            Table->FLoadedCompletely = false;
            return;
        }
        TzelRecord* record = storage->_InternalAllocRecord();
        try {
            LoadRecord(Table, record);
            AcceptRecord(Table, record);
        } catch (...) {
            Table->SetVersionReadRecord(nullptr);
            if (record->RecordID < 0)
                storage->_InternalFreeRecord(record, true, true);
            throw;
        }
    }
    FReader->ReadListEnd();
}

void TzelCustomBinaryStreamFormat::LoadRecord(TzelCustomMemTable* Table, TzelRecord* Record)
{
    TzelCommon* storage = Table->Common();
    const bool withVersions = FFileVersion >= FirstVersionWithRecordVersions;
    const bool withNullFlags = FFileVersion >= FirstVersionWithNullFlags;
    if (withVersions)
        FReader->ReadListBegin();
    TzelRecord* version = Record;
    bool firstVersion = true;
    for (;;) {
        Table->SetVersionReadRecord(version);
        if (withVersions) {
            const int status = FReader->ReadInteger();
            if (status < usUnmodified || status > usDeleted)
                RaiseInvalidValue();
            version->UpdateStatus = static_cast<std::uint8_t>(status);
        }
        const int fieldCount = Table->FieldCount();
        for (int i = 0; i < fieldCount; ++i) {
            TField* field = Table->Fields().Fields(i);
            const bool isNull = withNullFlags && FReader->ReadBoolean();
            // A new record holds no values: a null needs no clearing.
            if (!isNull)
                LoadValue(Table, version, field);
            if (firstVersion && Table->OnLoadField)
                Table->OnLoadField(Table, i, field);
        }
        if (!withVersions || FReader->EndOfList())
            break;
        TzelRecord* older = storage->_InternalAllocRecord();
        version->PreviousVersion = older;
        version->Flags |= zelRecordOwnsVersions;
        version = older;
        firstVersion = false;
    }
    if (withVersions)
        FReader->ReadListEnd();
    Table->SetVersionReadRecord(Record);
}

void TzelCustomBinaryStreamFormat::LoadValue(TzelCustomMemTable* Table, TzelRecord* Record,
                                             TField* Field)
{
    switch (Field->DataType()) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
        Field->SetAsInteger(FReader->ReadInteger());
        break;
    case ftAutoInc: {
        const int value = FReader->ReadInteger();
        Field->SetAsInteger(value);
        TzelCommon* storage = Table->Common();
        if (storage->GetAutoIncMax() < value)
            storage->SetAutoIncMax(value);
        break;
    }
    case ftBoolean:
        Field->SetAsBoolean(FReader->ReadBoolean());
        break;
    case ftFloat:
        Field->SetAsFloat(FReader->ReadFloat());
        break;
    case ftCurrency:
    case ftBCD:
        Field->SetAsFloat(ToTenThousandths(FReader->ReadFloat()));
        break;
    case ftDate:
    case ftTime:
    case ftDateTime: {
        const double value = FReader->ReadFloat();
        // Files without null flags wrote a null date as 0.0; newer files say null by the flag,
        // so that midnight of 30/12/1899 and a time of 00:00 stay values.
        if (value == 0.0 && FFileVersion < FirstVersionWithNullFlags)
            break;
        Field->SetAsDateTime(value);
        break;
    }
    case ftBytes:
    case ftVarBytes: {
        const std::string stored = FReader->ReadString();
        const int size = Field->DataSize();
        std::string raw(static_cast<std::size_t>(size), '\0');
        std::memcpy(raw.data(), stored.data(), std::min(stored.size(), raw.size()));
        if (Field->DataType() == ftVarBytes && size >= 2) {
            const int length = static_cast<unsigned char>(raw[0]) |
                               (static_cast<unsigned char>(raw[1]) << 8);
            if (length > Field->Size()) {
                raw[0] = static_cast<char>(Field->Size() & 0xFF);
                raw[1] = static_cast<char>((Field->Size() >> 8) & 0xFF);
            }
        }
        Field->SetData(raw.data());
        break;
    }
    default:
        if (IsBlobType(Field->DataType())) {
            Table->StoreBlobValue(Record, Field, FReader->ReadString());
        } else {
            FReader->ReadString(FText);
            Table->LoadFieldText(Field, FText.data(), FText.size());
        }
        break;
    }
}

void TzelCustomBinaryStreamFormat::AcceptRecord(TzelCustomMemTable* Table, TzelRecord* Record)
{
    Table->SetVersionReadRecord(Record);
    bool accept = true;
    if (Table->OnLoadRecord)
        Table->OnLoadRecord(Table, accept);
    Table->SetVersionReadRecord(nullptr);
    TzelCommon* storage = Table->Common();
    if (!accept) {
        storage->_InternalFreeRecord(Record, true, true);
        return;
    }
    const std::uint8_t status = Record->UpdateStatus;
    StoreLoadedRecord(Table, Record);
    // The stored status stands, whatever versioning would give a new record.
    Record->UpdateStatus = status;
    if (status == usDeleted)
        storage->SetMarkedDeletedCount(storage->MarkedDeletedCount() + 1);
    ++Table->FLoadedCount;
}

void TzelCustomBinaryStreamFormat::AfterLoad(TzelCustomMemTable* Table)
{
    std::exception_ptr failure;
    ForgetUniqueIndexes();
    // Freed first: the reader puts the stream right behind the last byte it consumed.
    FReader.reset();
    try {
        if (FIndexDefsLoaded)
            Table->CreateIndexes();
    } catch (...) {
        failure = std::current_exception();
    }
    FIndexDefsLoaded = false;
    Table->SetVersionReadRecord(nullptr);
    try {
        TzelCustomStreamFormat::AfterLoad(Table);
    } catch (...) {
        if (!failure)
            failure = std::current_exception();
    }
    if (failure)
        std::rethrow_exception(failure);
}
