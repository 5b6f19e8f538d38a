#include "tablestore/zelIndex.h"

#include "tablestore/zelMemTable.h"

#include <algorithm>

namespace {

// Options an index hands down to every field of its list.
constexpr TzelMemTableCompareOption InheritedOptions[] = {
    mtcoDescending, mtcoCaseInsensitive, mtcoPartialKey, mtcoIgnoreNullKey, mtcoIgnoreLocale};

// Below this many references a search scans instead of bisecting.
constexpr int BisectThreshold = 20;

} // namespace

TzelIndex::TzelIndex(const std::string& Name, TzelCustomMemTable* Table,
                     const std::string& FieldNames, TzelMemTableCompareOptions Options,
                     TzelIndexType IndexType, bool Internal)
    : FName(Name), FTable(Table), FFieldNames(FieldNames), FOptions(Options),
      FIndexType(IndexType), FInternal(Internal)
{
    if (!FieldNames.empty())
        FTable->BuildFieldList(&FFieldList, FieldNames);
    for (int i = 0; i < FFieldList.GetCount(); ++i) {
        TzelMemTableCompareOptions fieldOptions = FFieldList.GetVal(i);
        for (TzelMemTableCompareOption option : InheritedOptions)
            if (Options.Contains(option))
                fieldOptions.Include(option);
        FFieldList.PutVal(i, fieldOptions);
    }
    FOrdered = FTable->Common()->RecordCount() == 0;
}

void TzelIndex::SetEnabled(bool Value)
{
    FEnabled = Value;
    if (Value && !FOrdered)
        Rebuild();
}

void TzelIndex::InsertAt(int Index, TzelRecord* Record)
{
    const int at = std::clamp(Index, 0, Count());
    FReferences.insert(FReferences.begin() + at, Record);
}

void TzelIndex::RemoveAt(int Index)
{
    FReferences.erase(FReferences.begin() + Index);
}

void TzelIndex::Move(int From, int To)
{
    TzelRecord* record = FReferences[static_cast<std::size_t>(From)];
    FReferences.erase(FReferences.begin() + From);
    FReferences.insert(FReferences.begin() + To, record);
}

void TzelIndex::Clear()
{
    FReferences.clear();
    FOrdered = false;
}

void TzelIndex::LoadAll()
{
    TzelCommon* storage = FTable->Common();
    TzelStorageLock guard(*storage);
    FReferences.clear();
    FOrdered = false;
    const int count = storage->RecordCount();
    FReferences.reserve(static_cast<std::size_t>(FFiltered ? 100 : count));
    for (int id = 0; id < count; ++id) {
        TzelRecord* record = storage->Records(id);
        if (record && Filter(record))
            FReferences.push_back(record);
    }
}

void TzelIndex::Rebuild()
{
    if (!FTable->Active()) {
        FOrdered = true;
        return;
    }
    LoadAll();
    if (FIndexType == mtitNonSorted)
        FOrdered = true;
    if (FTable->CurrentIndex() == this)
        FTable->ClampCursorPosition();
}

bool TzelIndex::Filter(TzelRecord* Record)
{
    if (!FFiltered && !FTable->OnFilterIndex)
        return true;
    bool accept = true;
    if (!FTable->OnFilterIndex)
        return accept;
    TzelRecord* saved = FTable->VersionReadRecord();
    FTable->SetVersionReadRecord(Record);
    try {
        FTable->OnFilterIndex(FTable, this, accept);
    } catch (...) {
        FTable->SetVersionReadRecord(saved);
        throw;
    }
    FTable->SetVersionReadRecord(saved);
    return accept;
}

int TzelIndex::ScanForRecordID(int RecordID, int From)
{
    const int count = Count();
    for (int i = std::max(From, 0); i < count; ++i) {
        if (i > From && i % 100 == 0)
            FTable->Progress(static_cast<int>(static_cast<double>(i - From) / (count - From) * 100),
                             mtpcSearch);
        if (FReferences[static_cast<std::size_t>(i)]->RecordID == RecordID)
            return i;
    }
    return -1;
}

int TzelIndex::SearchRecordID(int RecordID)
{
    TzelStorageLock guard(*FTable->Common());
    if (FOrdered && FRowOrder) {
        // Records are appended with rising identifiers; inserts in the middle and reused slots
        // may break that, so a miss falls back to the scan below.
        int first = 0;
        int last = Count() - 1;
        while (first <= last) {
            const int middle = (first + last + 1) / 2;
            const int id = FReferences[static_cast<std::size_t>(middle)]->RecordID;
            if (id == RecordID)
                return middle;
            if (id < RecordID)
                first = middle + 1;
            else
                last = middle - 1;
        }
    }
    return ScanForRecordID(RecordID, 0);
}

int TzelIndex::SearchRecord(TzelRecord* Record, bool /*RespectFilter*/)
{
    if (!Record)
        return -1;
    TzelStorageLock guard(*FTable->Common());
    if (FOrdered && FRowOrder && Count() > BisectThreshold) {
        const int position = SearchRecordID(Record->RecordID);
        if (position >= 0)
            return position;
    }
    return ScanForRecordID(Record->RecordID, 0);
}

int TzelIndex::FindRecordNumber(TzelRecord* Record) const
{
    const auto found = std::find(FReferences.begin(), FReferences.end(), Record);
    return found == FReferences.end() ? -1 : static_cast<int>(found - FReferences.begin());
}
