#pragma once
// A stand-in for the memory table: a data set with field definitions and field objects (never
// opened) that serves the storage as its client and records what the storage asks of it.

#include "tablestore/zelCommon.h"

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class FakeTable : public TDataSet, public TzelStorageClient {
public:
    explicit FakeTable(std::string tag = "A", std::vector<std::string>* log = nullptr)
        : TDataSet(nullptr), Tag(std::move(tag)), Log(log)
    {
    }

    std::string Tag;
    std::vector<std::string>* Log;
    bool IsOpen = false;
    bool Browsing = true;
    int AttachIndex = -1;
    int StorageDestroyedCalls = 0;

    std::function<bool(TField*, std::uint8_t&)> OnSetupField;
    std::function<bool(const void*, const void*, TFieldType, TzelMemTableCompareOptions, bool&, int&)>
        OnCompareFields;
    std::function<bool(const char*, int, std::string&)> OnDecompressField;
    std::vector<std::string> SetupFieldNames;

    TFieldDef* AddDef(const std::string& name, TFieldType type, int size = 0)
    {
        TFieldDef* def = FieldDefs().AddFieldDef();
        def->SetName(name);
        def->SetDataType(type);
        def->SetSize(size);
        return def;
    }

    // A calculated field, laid out in the calculated part once the fields are bound.
    TField* AddCalculated(const std::string& name, int size)
    {
        auto* field = new TStringField(this);
        field->SetFieldName(name);
        field->SetSize(size);
        field->SetFieldKind(fkCalculated);
        field->SetDataSet(this);
        return field;
    }

    // Creates the field objects of the supported definitions and binds them, as opening would.
    void Bind()
    {
        for (int i = 0; i < FieldDefs().Count(); ++i) {
            TFieldDef* def = FieldDefs().Items(i);
            if (def->DataType() >= ftString && def->DataType() <= ftTypedBinary)
                def->CreateField(this);
        }
        BindFields(true);
    }

    // --- TzelStorageClient ---
    TFieldDefs* ClientFieldDefs() override { return &FieldDefs(); }
    TField* ClientFieldByNumber(int fieldNo) override { return Fields().FieldByNumber(fieldNo); }
    int ClientCalcFieldsSize() override { return CalcFieldsSize(); }
    bool ClientSetupField(TField* field, std::uint8_t& flags) override
    {
        SetupFieldNames.push_back(field->FieldName());
        return OnSetupField && OnSetupField(field, flags);
    }
    bool ClientCompressField(TField*, const char*, int, std::string&) override { return false; }
    bool ClientDecompressField(TField*, const char* buffer, int size, std::string& result) override
    {
        return OnDecompressField && OnDecompressField(buffer, size, result);
    }
    bool ClientCompareFields(const void* key, const void* value, TFieldType type,
                             TzelMemTableCompareOptions options, bool& full, int& result) override
    {
        return OnCompareFields && OnCompareFields(key, value, type, options, full, result);
    }
    bool ClientIsOpen() override { return IsOpen; }
    bool ClientIsBrowsing() override { return Browsing; }
    void ClientClose() override
    {
        Note("close");
        IsOpen = false;
    }
    void ClientRefresh() override { Note("refresh"); }
    void ClientResync() override { Note("resync"); }
    void ClientEmptyTable() override { Note("empty"); }
    void ClientRebuildIndexes() override { Note("rebuild"); }
    void ClientMarkIndexesDirty() override { Note("dirty"); }
    void ClientClearIndexes() override { Note("clear"); }
    void ClientUpdateIndexes() override { Note("update"); }
    void ClientReflectToIndexes(TzelIndexUpdateHow how, TzelRecord*, TzelRecord*, int position) override
    {
        Note("reflect " + std::to_string(static_cast<int>(how)) + " " + std::to_string(position));
    }
    void ClientSetAttachIndex(int attachIndex) override { AttachIndex = attachIndex; }
    void ClientStorageDestroyed() override
    {
        ++StorageDestroyedCalls;
        Note("destroyed");
    }

protected:
    TRecordBuffer AllocRecordBuffer() override { return nullptr; }
    void FreeRecordBuffer(TRecordBuffer& buffer) override { buffer = nullptr; }
    void GetBookmarkData(TRecordBuffer, void*) override {}
    TBookmarkFlag GetBookmarkFlag(TRecordBuffer) override { return bfCurrent; }
    void SetBookmarkFlag(TRecordBuffer, TBookmarkFlag) override {}
    void SetBookmarkData(TRecordBuffer, const void*) override {}
    TGetResult GetRecord(TRecordBuffer, TGetMode, bool) override { return grEOF; }
    void InternalAddRecord(TRecordBuffer, bool) override {}
    void InternalClose() override {}
    void InternalDelete() override {}
    void InternalFirst() override {}
    void InternalGotoBookmark(const TBookmark&) override {}
    void InternalInitFieldDefs() override {}
    void InternalInitRecord(TRecordBuffer) override {}
    void InternalLast() override {}
    void InternalOpen() override {}
    void InternalSetToRecord(TRecordBuffer) override {}
    bool IsCursorOpen() override { return false; }

private:
    void Note(const std::string& what)
    {
        if (Log)
            Log->push_back(Tag + ":" + what);
    }
};

// Writing values into records as the table will: the null flag 2, then the native bytes.
template <typename T>
void PutFixed(TzelCommon& storage, TzelRecord* record, int fieldNo, T value)
{
    char* slot = storage.GetFieldPointer(record, fieldNo);
    slot[0] = 2;
    std::memcpy(slot + 1, &value, sizeof value);
}

inline void PutText(TzelCommon& storage, TzelRecord* record, int fieldNo, const std::string& text)
{
    char* slot = storage.GetFieldPointer(record, fieldNo);
    slot[0] = 2;
    std::memcpy(slot + 1, text.c_str(), text.size() + 1);
}

// A new block holding text and its terminator in a variable-length slot (the old block is freed).
inline void PutVarText(TzelCommon& storage, TzelRecord* record, int fieldNo, const std::string& text)
{
    char* slot = storage.GetFieldPointer(record, fieldNo);
    TzelCommon::FreeVarLengthBlock(TzelCommon::SlotBlock(slot));
    char* block = TzelCommon::CreateVarLengthBlock(static_cast<int>(text.size()) + 1);
    std::memcpy(TzelCommon::VarLengthBlockData(block), text.c_str(), text.size() + 1);
    TzelCommon::SetSlotBlock(slot, block);
    slot[0] = 2;
}

inline std::string VarText(TzelCommon& storage, TzelRecord* record, int fieldNo)
{
    const char* block = storage.GetVarLengthBlock(record, fieldNo);
    return block ? std::string(TzelCommon::VarLengthBlockData(block)) : std::string("<null>");
}

// Frees a record that never reached the storage.
struct RecordHolder {
    TzelCommon& Storage;
    TzelRecord* Record;
    RecordHolder(TzelCommon& storage) : Storage(storage), Record(storage._InternalAllocRecord()) {}
    ~RecordHolder()
    {
        if (Record)
            Storage._InternalFreeRecord(Record, true, false);
    }
    RecordHolder(const RecordHolder&) = delete;
    RecordHolder& operator=(const RecordHolder&) = delete;
    TzelRecord* operator->() const { return Record; }
    TzelRecord* get() const { return Record; }
};
