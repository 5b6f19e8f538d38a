#include "tablestore/zelCommon.h"

#include "platform/rtl/Formats.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

namespace {

constexpr std::int32_t UniqueIDLimit = 2147483600;

void* AllocateZeroed(std::size_t size)
{
    void* memory = std::calloc(1, size);
    if (!memory)
        RAISE(EOutOfMemory("Out of memory"));
    return memory;
}

void* Allocate(std::size_t size)
{
    void* memory = std::malloc(size);
    if (!memory)
        RAISE(EOutOfMemory("Out of memory"));
    return memory;
}

bool IsSupportedType(TFieldType type)
{
    return type >= ftString && type <= ftTypedBinary;
}

// Read where a variable-length value is present but no block holds it.
const char EmptyValue[16] = {};

// The size of a block of records: large enough that a table of many records needs few blocks.
constexpr std::size_t RecordBlockBytes = 64 * 1024;

// Under the address sanitizer a free record in a block stays unreadable until it is handed out
// again, as freed memory would be.
void MarkRecordMemoryFree(const void* memory, std::size_t size)
{
#if defined(__SANITIZE_ADDRESS__)
    ASAN_POISON_MEMORY_REGION(memory, size);
#else
    (void)memory;
    (void)size;
#endif
}

void MarkRecordMemoryInUse(const void* memory, std::size_t size)
{
#if defined(__SANITIZE_ADDRESS__)
    ASAN_UNPOISON_MEMORY_REGION(memory, size);
#else
    (void)memory;
    (void)size;
#endif
}

std::size_t RecordsPerBlock(std::size_t stride)
{
    return std::max<std::size_t>(1, RecordBlockBytes / stride);
}

} // namespace

TzelCommon::TzelCommon(TzelStorageClient* OwnerTable)
    : FOwnerTable(OwnerTable), FRecordAllocSize(static_cast<int>(sizeof(TzelRecord))),
      FAttachedTables(1, nullptr)
{
    FDataID = GetUniqueDataID();
}

TzelCommon::~TzelCommon()
{
    const std::vector<TzelStorageClient*> remaining = FAttachedTables;
    std::fill(FAttachedTables.begin(), FAttachedTables.end(), nullptr);
    for (TzelStorageClient* table : remaining) {
        if (!table)
            continue;
        try {
            table->ClientClose();
        } catch (...) {
            // The storage goes whatever the table thinks of closing.
        }
        try {
            table->ClientStorageDestroyed();
        } catch (...) {
        }
    }
    FreeAllRecords();
    FreeRecordBlocks();
    for (const auto& [block, size] : FOldLayoutBlocks) {
        MarkRecordMemoryInUse(block, size);
        std::free(block);
    }
}

// --- Lock ---

void TzelCommon::Lock()
{
    if (!FStandalone)
        FLock.Enter();
}

void TzelCommon::Unlock()
{
    if (!FStandalone)
        FLock.Leave();
}

void TzelCommon::SetStandalone(bool Value)
{
    TzelStorageLock guard(*this);
    if (FAttachedTables.size() > 1)
        RAISE(EMemTableError("Children are attached to this table."));
    FStandalone = Value;
}

// --- Layout ---

int TzelCommon::GetFieldSize(TFieldType FieldType, int Size)
{
    switch (FieldType) {
    case ftString:
        return Size + 1;
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
        return 8;
    case ftBCD:
        return 34;
    case ftBytes:
        return Size;
    case ftVarBytes:
        return Size + 2;
    default:
        return 0;
    }
}

bool TzelCommon::GetFieldIsVarLength(TFieldType FieldType, int Size) const
{
    if (FieldType >= ftBlob && FieldType <= ftTypedBinary)
        return true;
    if (FieldType == ftString || FieldType == ftBytes || FieldType == ftVarBytes)
        return Size > 12 && (FPerformance == mtpfBalanced || FPerformance == mtpfSmall);
    return false;
}

void TzelCommon::LayoutRecord()
{
    TFieldDefs* defs = FOwnerTable->ClientFieldDefs();
    const int count = defs ? defs->Count() : 0;
    if (count == 0)
        RAISE(EMemTableError("There must be at least one field"));
    // The offset and flag tables hold ZEL_MAX_FIELDS entries: more definitions would overrun them.
    if (count > ZEL_MAX_FIELDS)
        RAISE(Exception("Too many fielddefs. Please raise ZEL_MAX_FIELDS value."));

    // Worked out aside and taken over at the end, so that a refused layout changes nothing.
    std::int32_t offsets[ZEL_MAX_FIELDS + 1] = {};
    std::uint8_t flags[ZEL_MAX_FIELDS + 1] = {};
    const int bookmarkAreaSize = static_cast<int>(FAttachedTables.size()) * ZEL_BOOKMARK_SLOT_SIZE;
    int running = 0;
    for (int i = 0; i < count; ++i) {
        TFieldDef* def = defs->Items(i);
        const int fieldNo = i + 1;
        const TFieldType type = def->DataType();
        if (!IsSupportedType(type))
            RAISE(EMemTableError("Fielddef " + def->Name() + " Datatype " +
                                 IntToStr(static_cast<int>(type)) + " not supported."));
        TField* field = FOwnerTable->ClientFieldByNumber(fieldNo);
        if (field && field->FieldKind() == fkData && GetFieldIsVarLength(type, def->Size())) {
            flags[fieldNo] |= zelFieldVarLength;
            if (!IsBlobType(type))
                FOwnerTable->ClientSetupField(field, flags[fieldNo]);
        }
        if (flags[fieldNo] & zelFieldVarLength) {
            offsets[fieldNo] = -1;
        } else {
            offsets[fieldNo] = running;
            running += GetFieldSize(type, def->Size()) + 1;
        }
    }

    const int calcStart = running;
    const int calcSize = FOwnerTable->ClientCalcFieldsSize();
    const int bookmarkStart = calcStart + calcSize;
    const int varLengthStart = bookmarkStart + bookmarkAreaSize;
    std::vector<int> varLengthFields;
    for (int fieldNo = 1; fieldNo <= count; ++fieldNo) {
        if (!(flags[fieldNo] & zelFieldVarLength))
            continue;
        if (FPerformance == mtpfSmall)
            flags[fieldNo] |= zelFieldCompressed;
        offsets[fieldNo] =
            varLengthStart + ZEL_VARLENGTH_SLOT_SIZE * static_cast<int>(varLengthFields.size());
        varLengthFields.push_back(fieldNo);
    }

    RetireRecordBlocks();
    std::memcpy(FFieldOffsets, offsets, sizeof offsets);
    std::memcpy(FFieldFlags, flags, sizeof flags);
    FFieldCount = count;
    FBookmarkAreaSize = bookmarkAreaSize;
    FCalcStart = calcStart;
    FCalcSize = calcSize;
    FBookmarkStart = bookmarkStart;
    FVarLengthStart = varLengthStart;
    FVarLengthCount = static_cast<int>(varLengthFields.size());
    FVarLengthFields = std::move(varLengthFields);
    FVarLengthAreaSize = FVarLengthCount * ZEL_VARLENGTH_SLOT_SIZE;
    FMoveSize = varLengthStart;
    FDataSize = FMoveSize + FVarLengthAreaSize;
    FRecordAllocSize = FDataSize + static_cast<int>(sizeof(TzelRecord));
    FDataModified = false;
    ClearModifiedFlags();
}

char* TzelCommon::GetFieldPointer(TzelRecord* Record, TField* Field) const
{
    if (!Record || !Record->Data || !Field || Field->FieldNo() == 0)
        return nullptr;
    if (Field->FieldNo() > 0)
        return GetFieldPointer(Record, Field->FieldNo());
    // Calculated and lookup fields: the framework's own place in the calculated part.
    return Record->Data + FCalcStart + Field->Offset();
}

char* TzelCommon::GetFieldPointer(TzelRecord* Record, int FieldNo) const
{
    if (!Record || !Record->Data || FieldNo < 1 || FieldNo > FFieldCount)
        return nullptr;
    return Record->Data + FFieldOffsets[FieldNo];
}

bool TzelCommon::IsVarLengthField(int FieldNo) const
{
    return FieldNo >= 1 && FieldNo <= FFieldCount && (FFieldFlags[FieldNo] & zelFieldVarLength);
}

bool TzelCommon::IsCompressedField(int FieldNo) const
{
    return FieldNo >= 1 && FieldNo <= FFieldCount && (FFieldFlags[FieldNo] & zelFieldCompressed);
}

// --- Records ---

TzelRecord* TzelCommon::_InternalAllocRecord()
{
    TzelRecord* record = nullptr;
    {
        // The blocks and the spare records are shared by every table of the storage.
        TzelStorageLock guard(*this);
        record = TakeRecordMemory();
    }
    record->Data = reinterpret_cast<char*>(record + 1);
    _InternalClearRecord(record);
    return record;
}

// A spare record, or the next unused one of the last block, or the first of a new block.
TzelRecord* TzelCommon::TakeRecordMemory()
{
    TzelRecord* record = nullptr;
    if (!FSpareRecords.empty()) {
        record = FSpareRecords.back();
        FSpareRecords.pop_back();
    } else {
        if (FBlockFreeCount == 0) {
            if (FRecordStride == 0) {
                constexpr std::size_t alignment = alignof(std::max_align_t);
                FRecordStride = (static_cast<std::size_t>(FRecordAllocSize) + alignment - 1) /
                                alignment * alignment;
            }
            const std::size_t count = RecordsPerBlock(FRecordStride);
            FRecordBlocks.reserve(FRecordBlocks.size() + 1);
            auto* block = static_cast<char*>(Allocate(count * FRecordStride));
            FRecordBlocks.push_back(block);
            MarkRecordMemoryFree(block, count * FRecordStride);
            FBlockFree = block;
            FBlockFreeCount = static_cast<int>(count);
        }
        record = reinterpret_cast<TzelRecord*>(FBlockFree);
        FBlockFree += FRecordStride;
        --FBlockFreeCount;
    }
    MarkRecordMemoryInUse(record, FRecordStride);
    ++FRecordsInUse;
    return record;
}

void TzelCommon::_InternalClearRecord(TzelRecord* Record)
{
    Record->Position = -1;
    Record->RecordID = -1;
    Record->UniqueID = -1;
    Record->Flags = 0;
    Record->UpdateStatus = usUnmodified;
    Record->TransactionLevel = -1;
    Record->Tag = 0;
    Record->PreviousVersion = nullptr;
    std::memset(Record->Data, 0, static_cast<std::size_t>(FDataSize));
}

void TzelCommon::_InternalFreeRecord(TzelRecord* Record, bool FreeVarLengths, bool FreeVersions)
{
    // A chain of versions may be long: walk it rather than recurse.
    TzelRecord* current = Record;
    while (current) {
        TzelRecord* next = (FreeVersions && (current->Flags & zelRecordOwnsVersions))
                               ? current->PreviousVersion
                               : nullptr;
        if (FreeVarLengths)
            _InternalFreeRecordVarLengths(current);
        ReleaseRecordMemory(current);
        current = next;
    }
}

// A freed record waits in the spare list for the next allocation: a table that deletes and
// stores many records reuses warm memory. When no record is in use and none is stored (the last
// buffer of a closed table goes), the blocks go too.
void TzelCommon::ReleaseRecordMemory(TzelRecord* Record)
{
    TzelStorageLock guard(*this);
    if (!FOldLayoutBlocks.empty() && InOldLayoutBlock(Record)) {
        if (--FOldLayoutRecordsInUse == 0) {
            for (const auto& [block, size] : FOldLayoutBlocks) {
                MarkRecordMemoryInUse(block, size);
                std::free(block);
            }
            FOldLayoutBlocks.clear();
        }
        return;
    }
    --FRecordsInUse;
    MarkRecordMemoryFree(Record, FRecordStride);
    try {
        FSpareRecords.push_back(Record);
    } catch (...) {
        // No room to keep it: its memory goes with its block.
    }
    if (FRecordsInUse == 0 && FRecords.empty())
        FreeRecordBlocks();
}

bool TzelCommon::InOldLayoutBlock(const TzelRecord* Record) const
{
    const auto* address = reinterpret_cast<const char*>(Record);
    return std::any_of(FOldLayoutBlocks.begin(), FOldLayoutBlocks.end(), [address](const auto& block) {
        return address >= block.first && address < block.first + block.second;
    });
}

void TzelCommon::FreeRecordBlocks()
{
    const std::size_t blockBytes = FRecordStride * RecordsPerBlock(std::max<std::size_t>(FRecordStride, 1));
    for (char* block : FRecordBlocks) {
        MarkRecordMemoryInUse(block, blockBytes);
        std::free(block);
    }
    FRecordBlocks.clear();
    FRecordBlocks.shrink_to_fit();
    FSpareRecords.clear();
    FSpareRecords.shrink_to_fit();
    FBlockFree = nullptr;
    FBlockFreeCount = 0;
    FRecordStride = 0;
}

// A new layout changes the size of a record: the blocks of the old one are freed, or, while some
// of their records are still in use, kept aside until the last of them is freed.
void TzelCommon::RetireRecordBlocks()
{
    if (FRecordsInUse == 0) {
        FreeRecordBlocks();
        return;
    }
    const std::size_t blockBytes = FRecordStride * RecordsPerBlock(FRecordStride);
    FOldLayoutBlocks.reserve(FOldLayoutBlocks.size() + FRecordBlocks.size());
    for (char* block : FRecordBlocks)
        FOldLayoutBlocks.emplace_back(block, blockBytes);
    FOldLayoutRecordsInUse += FRecordsInUse;
    FRecordsInUse = 0;
    FRecordBlocks.clear();
    FreeRecordBlocks();
}

void TzelCommon::_InternalFreeRecordVarLengths(TzelRecord* Record)
{
    for (int fieldNo : FVarLengthFields) {
        char* slot = Record->Data + FFieldOffsets[fieldNo];
        FreeVarLengthBlock(SlotBlock(slot));
        SetSlotBlock(slot, nullptr);
        slot[0] = 0;
    }
}

void TzelCommon::_InternalMoveRecord(TzelRecord* Source, TzelRecord* Target)
{
    Target->Position = Source->Position;
    Target->RecordID = Source->RecordID;
    Target->UniqueID = Source->UniqueID;
    Target->UpdateStatus = Source->UpdateStatus;
    Target->PreviousVersion = Source->PreviousVersion;
    Target->TransactionLevel = Source->TransactionLevel;
    Target->Tag = Source->Tag;
    std::memcpy(Target->Data, Source->Data, static_cast<std::size_t>(FMoveSize));
    for (int fieldNo : FVarLengthFields) {
        const int offset = FFieldOffsets[fieldNo];
        Target->Data[offset] = Source->Data[offset];
    }
}

TzelRecord* TzelCommon::_InternalCopyRecord(TzelRecord* Source, bool WithVarLengths)
{
    TzelRecord* copy = _InternalAllocRecord();
    _InternalMoveRecord(Source, copy);
    if (!WithVarLengths)
        return copy;
    try {
        for (int fieldNo : FVarLengthFields) {
            const int offset = FFieldOffsets[fieldNo];
            if (const char* block = SlotBlock(Source->Data + offset)) {
                SetSlotBlock(copy->Data + offset, CopyVarLengthBlock(block));
                copy->Data[offset] = zelSlotPresent;
            }
        }
    } catch (...) {
        _InternalFreeRecord(copy, true, false);
        throw;
    }
    return copy;
}

void TzelCommon::_InternalCopyVarLength(TzelRecord* Source, TzelRecord* Target, int FieldNo)
{
    if (!IsVarLengthField(FieldNo))
        return;
    char* targetSlot = Target->Data + FFieldOffsets[FieldNo];
    FreeVarLengthBlock(SlotBlock(targetSlot));
    SetSlotBlock(targetSlot, nullptr);
    if (const char* block = SlotBlock(Source->Data + FFieldOffsets[FieldNo])) {
        SetSlotBlock(targetSlot, CopyVarLengthBlock(block));
        targetSlot[0] = zelSlotPresent;
    }
}

void TzelCommon::_InternalCopyVarLengths(TzelRecord* Source, TzelRecord* Target)
{
    for (int fieldNo : FVarLengthFields)
        _InternalCopyVarLength(Source, Target, fieldNo);
}

void TzelCommon::_InternalTransferRecord(TzelRecord* Buffer, TzelRecord* Stored)
{
    for (int fieldNo : FVarLengthFields) {
        const int offset = FFieldOffsets[fieldNo];
        char* bufferSlot = Buffer->Data + offset;
        char* storedSlot = Stored->Data + offset;
        if (char* block = SlotBlock(bufferSlot)) {
            FreeVarLengthBlock(SlotBlock(storedSlot));
            SetSlotBlock(storedSlot, block);
            SetSlotBlock(bufferSlot, nullptr);
        } else if (bufferSlot[0] == 0) {
            FreeVarLengthBlock(SlotBlock(storedSlot));
            SetSlotBlock(storedSlot, nullptr);
        }
    }
    _InternalMoveRecord(Buffer, Stored);
}

// --- Variable-length blocks ---

char* TzelCommon::CreateVarLengthBlock(int Size)
{
    const std::uint32_t length = static_cast<std::uint32_t>(std::max(Size, 0));
    auto* block = static_cast<char*>(AllocateZeroed(4 + static_cast<std::size_t>(length)));
    for (int i = 0; i < 4; ++i)
        block[i] = static_cast<char>((length >> (8 * i)) & 0xFF);
    return block;
}

char* TzelCommon::CopyVarLengthBlock(const char* Block)
{
    const std::size_t total = 4 + static_cast<std::size_t>(VarLengthBlockSize(Block));
    auto* copy = static_cast<char*>(Allocate(total));
    std::memcpy(copy, Block, total);
    return copy;
}

void TzelCommon::FreeVarLengthBlock(char* Block)
{
    std::free(Block);
}

int TzelCommon::VarLengthBlockSize(const char* Block)
{
    std::uint32_t length = 0;
    for (int i = 3; i >= 0; --i)
        length = (length << 8) | static_cast<unsigned char>(Block[i]);
    return static_cast<int>(length);
}

char* TzelCommon::SlotBlock(const char* Slot)
{
    char* block;
    std::memcpy(&block, Slot + 1, sizeof block);
    return block;
}

void TzelCommon::SetSlotBlock(char* Slot, char* Block)
{
    std::memcpy(Slot + 1, &Block, sizeof Block);
}

const char* TzelCommon::GetVarLengthBlock(TzelRecord* Record, int FieldNo) const
{
    const int offset = FFieldOffsets[FieldNo];
    const char* slot = Record->Data + offset;
    if (const char* block = SlotBlock(slot))
        return block;
    if (slot[0] == 0)
        return nullptr;
    // The value is unchanged in this buffer: it lives in the stored record the buffer came from,
    // which must still be that record (another table may have deleted or replaced it).
    const std::int32_t id = Record->RecordID;
    if (id < 0 || id >= static_cast<std::int32_t>(FRecords.size()))
        RAISE(EMemTableError("Invalid record "));
    TzelRecord* stored = FRecords[static_cast<std::size_t>(id)];
    if (!stored || stored->UniqueID != Record->UniqueID)
        RAISE(EMemTableError("Invalid record "));
    if (stored == Record)
        return nullptr;
    return SlotBlock(stored->Data + offset);
}

void TzelCommon::CompressFieldBuffer(TField* Field, const char* Buffer, int Size,
                                     std::string& Result)
{
    if (Field && Field->DataType() == ftString && Size > 0) {
        const std::size_t text = strnlen(Buffer, static_cast<std::size_t>(Size));
        Result.assign(Buffer, std::min(text + 1, static_cast<std::size_t>(Size)));
        return;
    }
    Result.assign(Buffer, static_cast<std::size_t>(std::max(Size, 0)));
}

void TzelCommon::DecompressFieldBuffer(TField* /*Field*/, const char* Buffer, int Size,
                                       std::string& Result)
{
    Result.assign(Buffer, static_cast<std::size_t>(std::max(Size, 0)));
}

// --- Storing and removing ---

void TzelCommon::AppendRecord(TzelRecord* Record)
{
    TzelStorageLock guard(*this);
    _InternalAppendRecord(Record);
}

void TzelCommon::_InternalAppendRecord(TzelRecord* Record)
{
    if (FFreeSlots.empty()) {
        // Checked before storing: a failed post must not leave the record behind.
        if (FNextUniqueID >= UniqueIDLimit - 1)
            RAISE(EMemTableError("Bookmark counter is out of range. Please close and reopen table."));
        FRecords.push_back(Record);
        Record->RecordID = static_cast<std::int32_t>(FRecords.size() - 1);
        FNextRecordID = Record->RecordID + 1;
    } else {
        const std::int32_t slot = FFreeSlots.back();
        FFreeSlots.pop_back();
        Record->RecordID = slot;
        FRecords[static_cast<std::size_t>(slot)] = Record;
    }
    Record->UniqueID = FNextUniqueID++;
    Record->Flags |= zelRecordOwnsVersions;
    if (FEnableVersioning)
        Record->UpdateStatus = usInserted;
}

void TzelCommon::DeleteRecord(TzelRecord* Record)
{
    TzelStorageLock guard(*this);
    const std::int32_t id = Record ? Record->RecordID : -1;
    if (id < 0 || id >= static_cast<std::int32_t>(FRecords.size()) ||
        FRecords[static_cast<std::size_t>(id)] != Record)
        RAISE(EMemTableError("Invalid record "));
    FFreeSlots.push_back(id);
    FRecords[static_cast<std::size_t>(id)] = nullptr;
}

void TzelCommon::_InternalDeleteRecord(TzelRecord* Record)
{
    DeleteRecord(Record);
    _InternalFreeRecord(Record, true, true);
}

void TzelCommon::PackRecords()
{
    TzelStorageLock guard(*this);
    _InternalPackRecords();
}

void TzelCommon::_InternalPackRecords()
{
    FRecords.erase(std::remove(FRecords.begin(), FRecords.end(), nullptr), FRecords.end());
    for (std::size_t i = 0; i < FRecords.size(); ++i)
        FRecords[i]->RecordID = static_cast<std::int32_t>(i);
    FFreeSlots.clear();
    FNextRecordID = static_cast<std::int32_t>(FRecords.size());
}

// One pass over the stored records: their values and versions are freed and they join the spare
// records; when no record is in use any more, the blocks are freed whole.
void TzelCommon::FreeAllRecords()
{
    TzelStorageLock guard(*this);
    try {
        FSpareRecords.reserve(FSpareRecords.size() + FRecords.size());
    } catch (...) {
        // The records that find no room go with their blocks.
    }
    for (TzelRecord*& record : FRecords) {
        if (record)
            _InternalFreeRecord(record, true, true);
        record = nullptr;
    }
    FRecords.clear();
    if (FRecordsInUse == 0)
        FreeRecordBlocks();
}

void TzelCommon::_InternalEmpty()
{
    FreeAllRecords();
    FFreeSlots.clear();
    FNextUniqueID = 0;
    FNextRecordID = 0;
    FMarkedDeletedCount = 0;
    FDataID = GetUniqueDataID();
}

// --- Counters and settings ---

int TzelCommon::RecordCount()
{
    TzelStorageLock guard(*this);
    return static_cast<int>(FRecords.size());
}

int TzelCommon::DeletedRecordCount()
{
    TzelStorageLock guard(*this);
    return static_cast<int>(FFreeSlots.size());
}

void TzelCommon::SetCapacity(int Value)
{
    TzelStorageLock guard(*this);
    if (Value > 0)
        FRecords.reserve(static_cast<std::size_t>(Value));
}

int TzelCommon::GetCapacity()
{
    TzelStorageLock guard(*this);
    return static_cast<int>(FRecords.capacity());
}

void TzelCommon::SetAutoIncMin(int Value)
{
    TzelStorageLock guard(*this);
    FAutoIncMin = Value;
    if (FAutoIncMax < Value)
        FAutoIncMax = Value - 1;
}

void TzelCommon::SetAutoIncMax(int Value)
{
    TzelStorageLock guard(*this);
    FAutoIncMax = Value;
}

int TzelCommon::GetAutoIncMin()
{
    TzelStorageLock guard(*this);
    return FAutoIncMin;
}

int TzelCommon::GetAutoIncMax()
{
    TzelStorageLock guard(*this);
    return FAutoIncMax;
}

void TzelCommon::SetPerformance(TzelPerformance Value)
{
    TzelStorageLock guard(*this);
    FPerformance = Value;
}

void TzelCommon::SetVersioningMode(TzelVersioningMode Value)
{
    TzelStorageLock guard(*this);
    FVersioningMode = Value;
}

void TzelCommon::SetEnableVersioning(bool Value)
{
    TzelStorageLock guard(*this);
    FEnableVersioning = Value;
}

bool TzelCommon::GetIsDataModified()
{
    TzelStorageLock guard(*this);
    return FDataModified;
}

void TzelCommon::SetIsDataModified(bool Value)
{
    TzelStorageLock guard(*this);
    FDataModified = Value;
}

int TzelCommon::GetTransactionLevel()
{
    TzelStorageLock guard(*this);
    return FTransactionLevel;
}

void TzelCommon::IncTransactionLevel()
{
    TzelStorageLock guard(*this);
    ++FTransactionLevel;
}

void TzelCommon::DecTransactionLevel()
{
    TzelStorageLock guard(*this);
    if (FTransactionLevel > 0)
        --FTransactionLevel;
}

// --- Transactions ---

void TzelCommon::Commit()
{
    TzelStorageLock guard(*this);
    const int level = FTransactionLevel;
    for (TzelRecord* record : FRecords) {
        if (!record)
            continue;
        // The versions made inside the transaction go; the newest one left is the state from
        // before it.
        TzelRecord** link = &record->PreviousVersion;
        while (*link && (*link)->TransactionLevel == level) {
            TzelRecord* dropped = *link;
            if (!dropped->PreviousVersion && dropped->UpdateStatus == usInserted) {
                // A record inserted inside the transaction has no state from before it: its
                // inserted state stays, now of the enclosing level, so that a rollback there
                // removes the record.
                dropped->TransactionLevel = level - 1;
                break;
            }
            *link = dropped->PreviousVersion;
            _InternalFreeRecord(dropped, true, false);
        }
        if (record->TransactionLevel == level)
            record->TransactionLevel = level - 1;
    }
}

void TzelCommon::RollBack()
{
    TzelStorageLock guard(*this);
    const int level = FTransactionLevel;
    FDataModified = false;
    for (std::size_t slot = 0; slot < FRecords.size(); ++slot) {
        TzelRecord* record = FRecords[slot];
        while (record && record->TransactionLevel == level) {
            if (record->UpdateStatus == usUnmodified)
                break;
            if (record->UpdateStatus == usInserted) {
                // The slot stays empty and off the free list until the next pack.
                _InternalFreeRecord(record, true, true);
                record = nullptr;
                break;
            }
            TzelRecord* previous = record->PreviousVersion;
            if (!previous)
                break;
            _InternalFreeRecord(record, true, false);
            record = previous;
        }
        FRecords[slot] = record;
        if (record && record->UpdateStatus != usUnmodified)
            FDataModified = true;
    }
}

// --- Locale ---

void TzelCommon::SetLocaleID(std::uint32_t Value)
{
    TzelStorageLock guard(*this);
    FLocaleID = Value;
    FLanguageID = Value & 255;
    FSubLanguageID = (Value >> 10) & 63;
    FSortID = (Value >> 16) & 15;
}

void TzelCommon::RecomputeLocaleID()
{
    FLocaleID = (FSortID << 16) | (((FSubLanguageID << 10) | FLanguageID) & 0xFFFF);
}

void TzelCommon::SetLanguageID(std::uint32_t Value)
{
    TzelStorageLock guard(*this);
    FLanguageID = Value;
    RecomputeLocaleID();
}

void TzelCommon::SetSubLanguageID(std::uint32_t Value)
{
    TzelStorageLock guard(*this);
    FSubLanguageID = Value;
    RecomputeLocaleID();
}

void TzelCommon::SetSortID(std::uint32_t Value)
{
    TzelStorageLock guard(*this);
    FSortID = Value;
    RecomputeLocaleID();
}

// --- Modified flags ---

void TzelCommon::ClearModifiedFlags()
{
    for (std::uint8_t& flags : FFieldFlags)
        flags &= static_cast<std::uint8_t>(~zelFieldModified);
}

void TzelCommon::CheckModifiedIndex(int Index) const
{
    if (Index < 0 || Index >= FFieldCount)
        RAISE(ERangeError(Format("Out of range (%d)", {Index})));
}

bool TzelCommon::GetModifiedFlag(int Index)
{
    TzelStorageLock guard(*this);
    CheckModifiedIndex(Index);
    return (FFieldFlags[Index + 1] & zelFieldModified) != 0;
}

void TzelCommon::SetModifiedFlag(int Index, bool Value)
{
    TzelStorageLock guard(*this);
    CheckModifiedIndex(Index);
    if (Value)
        FFieldFlags[Index + 1] |= zelFieldModified;
    else
        FFieldFlags[Index + 1] &= static_cast<std::uint8_t>(~zelFieldModified);
}

// --- Data generation ---

std::int32_t TzelCommon::GetUniqueDataID() const
{
    static std::mutex generatorLock;
    static std::mt19937 generator{std::random_device{}()};
    std::lock_guard<std::mutex> guard(generatorLock);
    std::int32_t value;
    do {
        value = static_cast<std::int32_t>(generator());
    } while (value == FDataID);
    return value;
}

// --- Attached tables ---

int TzelCommon::GetAttachMaxCount()
{
    TzelStorageLock guard(*this);
    return static_cast<int>(FAttachedTables.size());
}

int TzelCommon::GetAttachCount()
{
    TzelStorageLock guard(*this);
    return static_cast<int>(
        std::count_if(FAttachedTables.begin(), FAttachedTables.end(),
                      [](TzelStorageClient* table) { return table != nullptr; }));
}

bool TzelCommon::AnyTableActive() const
{
    return std::any_of(FAttachedTables.begin(), FAttachedTables.end(),
                       [](TzelStorageClient* table) { return table && table->ClientIsOpen(); });
}

void TzelCommon::SetAttachMaxCount(int Value)
{
    TzelStorageLock guard(*this);
    const int current = static_cast<int>(FAttachedTables.size());
    if (Value == current)
        return;
    if (Value <= 0)
        RAISE(EMemTableError("Invalid argument."));
    if (AnyTableActive())
        RAISE(EMemTableError("Table must be closed for this operation."));
    // A table in a dropped slot would keep an attach index beyond every record's bookmark part.
    for (int i = Value; i < current; ++i)
        if (FAttachedTables[static_cast<std::size_t>(i)])
            RAISE(EMemTableError("Invalid argument."));
    FAttachedTables.resize(static_cast<std::size_t>(Value), nullptr);
}

void TzelCommon::AttachTable(TzelStorageClient* Table)
{
    TzelStorageLock guard(*this);
    const auto freeSlot = std::find(FAttachedTables.begin(), FAttachedTables.end(), nullptr);
    if (freeSlot != FAttachedTables.end()) {
        *freeSlot = Table;
        Table->ClientSetAttachIndex(static_cast<int>(freeSlot - FAttachedTables.begin()));
        return;
    }
    if (AnyTableActive())
        RAISE(EMemTableError("Table must be closed for this operation."));
    FAttachedTables.push_back(Table);
    Table->ClientSetAttachIndex(static_cast<int>(FAttachedTables.size() - 1));
}

void TzelCommon::DeAttachTable(TzelStorageClient* Table)
{
    TzelStorageLock guard(*this);
    std::replace(FAttachedTables.begin(), FAttachedTables.end(), Table,
                 static_cast<TzelStorageClient*>(nullptr));
}

bool TzelCommon::IsAnyTableActive()
{
    TzelStorageLock guard(*this);
    return AnyTableActive();
}

TzelStorageClient* TzelCommon::AttachedTable(int AttachIndex) const
{
    if (AttachIndex < 0 || AttachIndex >= static_cast<int>(FAttachedTables.size()))
        return nullptr;
    return FAttachedTables[static_cast<std::size_t>(AttachIndex)];
}

// A copy, so that a table may attach or detach while it is being served.
std::vector<TzelStorageClient*> TzelCommon::OpenTables() const
{
    std::vector<TzelStorageClient*> open;
    for (TzelStorageClient* table : FAttachedTables)
        if (table && table->ClientIsOpen())
            open.push_back(table);
    return open;
}

void TzelCommon::CloseTables(TzelStorageClient* Except)
{
    TzelStorageLock guard(*this);
    const std::vector<TzelStorageClient*> tables = FAttachedTables;
    for (auto table = tables.rbegin(); table != tables.rend(); ++table)
        if (*table && *table != Except)
            (*table)->ClientClose();
}

void TzelCommon::RefreshTables(TzelStorageClient* Except)
{
    TzelStorageLock guard(*this);
    for (TzelStorageClient* table : OpenTables())
        if (table != Except && table->ClientIsBrowsing())
            table->ClientRefresh();
}

void TzelCommon::ResyncTables()
{
    TzelStorageLock guard(*this);
    for (TzelStorageClient* table : OpenTables())
        table->ClientResync();
}

void TzelCommon::EmptyTables()
{
    TzelStorageLock guard(*this);
    for (TzelStorageClient* table : OpenTables())
        table->ClientEmptyTable();
    _InternalEmpty();
}

void TzelCommon::RebuildIndexes()
{
    TzelStorageLock guard(*this);
    for (TzelStorageClient* table : OpenTables())
        table->ClientRebuildIndexes();
}

void TzelCommon::MarkIndexesDirty()
{
    TzelStorageLock guard(*this);
    for (TzelStorageClient* table : OpenTables())
        table->ClientMarkIndexesDirty();
}

void TzelCommon::ClearIndexes()
{
    TzelStorageLock guard(*this);
    for (TzelStorageClient* table : OpenTables())
        table->ClientClearIndexes();
}

void TzelCommon::UpdateIndexes()
{
    TzelStorageLock guard(*this);
    for (TzelStorageClient* table : OpenTables())
        table->ClientUpdateIndexes();
}

void TzelCommon::ReflectToIndexes(TzelStorageClient* Table, TzelIndexUpdateHow How,
                                  TzelRecord* Record1, TzelRecord* Record2, int Position)
{
    TzelStorageLock guard(*this);
    for (TzelStorageClient* table : OpenTables())
        table->ClientReflectToIndexes(How, Record1, Record2, table == Table ? Position : -1);
}

// --- Comparison ---

bool TzelCommon::IsSlotNull(TzelRecord* Record, TField* Field) const
{
    const char* slot = GetFieldPointer(Record, Field);
    return !slot || slot[0] == 0;
}

// The value bytes of a present field: behind the null flag for a fixed field, from the block
// (decompressed when the field is compressed) for a variable-length one. Texts always come back
// zero-terminated.
const char* TzelCommon::FieldValue(TzelStorageClient* Client, TzelRecord* Record, TField* Field,
                                   std::string& Scratch) const
{
    const int fieldNo = Field->FieldNo();
    if (!IsVarLengthField(fieldNo))
        return GetFieldPointer(Record, Field) + 1;
    const char* block = GetVarLengthBlock(Record, fieldNo);
    if (!block)
        return EmptyValue;
    const char* data = VarLengthBlockData(block);
    const int size = VarLengthBlockSize(block);
    if (IsCompressedField(fieldNo)) {
        auto* self = const_cast<TzelCommon*>(this);
        if (!Client || !Client->ClientDecompressField(Field, data, size, Scratch))
            self->DecompressFieldBuffer(Field, data, size, Scratch);
        return Scratch.c_str();
    }
    if (Field->DataType() == ftString && !std::memchr(data, 0, static_cast<std::size_t>(size))) {
        Scratch.assign(data, static_cast<std::size_t>(size));
        return Scratch.c_str();
    }
    return data;
}

int TzelCommon::_InternalCompareRecords(TzelStorageClient* Client, TzelFieldList* FieldList,
                                        int MaxFields, TzelRecord* KeyRecord, TzelRecord* Record,
                                        bool IgnoreNulls, bool Partial, TzelCompareHow How)
{
    if (!KeyRecord || !Record)
        return 0;
    int count = FieldList->GetCount();
    if (MaxFields >= 1 && MaxFields < count)
        count = MaxFields;

    bool fullCompare = true;
    int result = 0;
    std::string keyScratch, valueScratch;
    for (int i = 0; i < count; ++i) {
        TField* field = FieldList->Get(i);
        TzelMemTableCompareOptions options = FieldList->GetVal(i);
        if (How != chBreakNE)
            options.Exclude(mtcoDescending);
        if (Partial)
            options.Include(mtcoPartialKey);
        const bool ignoreNull = IgnoreNulls || options.Contains(mtcoIgnoreNullKey);
        const bool keyNull = IsSlotNull(KeyRecord, field);
        if (ignoreNull && keyNull)
            continue;
        const bool valueNull = IsSlotNull(Record, field);
        if (keyNull || valueNull) {
            // Nulls sort first, whatever the direction.
            result = keyNull ? (valueNull ? 0 : -1) : 1;
        } else {
            const char* key = FieldValue(Client, KeyRecord, field, keyScratch);
            const char* value = FieldValue(Client, Record, field, valueScratch);
            result = 0;
            if (!Client ||
                !Client->ClientCompareFields(key, value, field->DataType(), options, fullCompare,
                                             result))
                result = CompareFields(key, value, field->DataType(), fullCompare, options,
                                       FLocaleID);
        }
        switch (How) {
        case chBreakNE:
            if (result != 0 || !fullCompare)
                return result;
            break;
        case chBreakLT:
            if (result < 0)
                return result;
            break;
        case chBreakGT:
            if (result > 0)
                return result;
            break;
        case chBreakLTE:
            if (result <= 0)
                return result;
            break;
        case chBreakGTE:
            if (result >= 0)
                return result;
            break;
        }
    }
    return result;
}
