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
    if (FIndexType == mtitNonSorted || Count() == 0)
        FOrdered = true;
    else
        ReSort();
    if (FTable->CurrentIndex() == this)
        FTable->ClampCursorPosition();
}

// --- Order ---

int TzelIndex::CompareRecords(TzelFieldList* FieldList, TzelRecord* KeyRecord,
                              TzelRecord* Record, bool TieBreak, bool Partial)
{
    TzelFieldList* list = FieldList ? FieldList : &FFieldList;
    int result = FTable->Common()->_InternalCompareRecords(FTable, list, -1, KeyRecord, Record,
                                                           false, Partial, chBreakNE);
    if (result != 0 || !TieBreak)
        return result;
    const bool keyPlaced = KeyRecord->Position != -1;
    const bool recordPlaced = Record->Position != -1;
    if (!keyPlaced && !recordPlaced)
        result = KeyRecord->RecordID < Record->RecordID ? -1
                 : KeyRecord->RecordID > Record->RecordID ? 1
                                                          : 0;
    else if (keyPlaced && !recordPlaced)
        result = 1;
    else if (!keyPlaced && recordPlaced)
        result = -1;
    if (list->GetCount() > 0 && list->GetVal(0).Contains(mtcoDescending))
        result = -result;
    return result;
}

void TzelIndex::FastQuickSort(int First, int Last)
{
    if (First < Last) {
        QuickSortRanges(First, Last);
        InsertionSort(First, Last);
    }
    FOrdered = true;
}

// Median-of-three quicksort that leaves ranges of five or fewer references to the final
// insertion sort.
void TzelIndex::QuickSortRanges(int First, int Last)
{
    auto at = [this](int i) -> TzelRecord*& { return FReferences[static_cast<std::size_t>(i)]; };
    auto greater = [this](TzelRecord* a, TzelRecord* b) {
        return CompareRecords(nullptr, a, b, true, false) > 0;
    };
    while (Last - First > 4) {
        const int middle = (First + Last) / 2;
        if (greater(at(First), at(middle)))
            std::swap(at(First), at(middle));
        if (greater(at(First), at(Last)))
            std::swap(at(First), at(Last));
        if (greater(at(middle), at(Last)))
            std::swap(at(middle), at(Last));
        std::swap(at(middle), at(Last - 1));
        TzelRecord* pivot = at(Last - 1);
        int i = First + 1;
        int j = Last - 2;
        for (;;) {
            while (CompareRecords(nullptr, at(i), pivot, true, false) < 0)
                ++i;
            while (CompareRecords(nullptr, at(j), pivot, true, false) > 0)
                --j;
            if (j < i)
                break;
            std::swap(at(i), at(j));
            ++i;
            --j;
        }
        std::swap(at(i), at(Last - 1));
        // Recursing into the smaller side keeps the stack shallow whatever the input.
        if (j - First < Last - (i + 1)) {
            QuickSortRanges(First, j);
            First = i + 1;
        } else {
            QuickSortRanges(i + 1, Last);
            Last = j;
        }
    }
}

void TzelIndex::InsertionSort(int First, int Last)
{
    for (int k = First + 1; k <= Last; ++k) {
        TzelRecord* record = FReferences[static_cast<std::size_t>(k)];
        int gap = k;
        while (gap > First &&
               CompareRecords(nullptr, FReferences[static_cast<std::size_t>(gap - 1)], record,
                              true, false) > 0) {
            FReferences[static_cast<std::size_t>(gap)] =
                FReferences[static_cast<std::size_t>(gap - 1)];
            --gap;
        }
        FReferences[static_cast<std::size_t>(gap)] = record;
    }
}

void TzelIndex::CheckUniqueNeighbours()
{
    for (int i = 1; i < Count(); ++i)
        if (CompareRecords(nullptr, FReferences[static_cast<std::size_t>(i - 1)],
                           FReferences[static_cast<std::size_t>(i)], false, false) == 0)
            RAISE(EMemTableError("Duplicate index value. Operation aborted."));
}

namespace {

// Puts the table in one of its own activities for a scope and gives it back its previous one,
// also when the work fails.
class TzelTableStateScope {
public:
    TzelTableStateScope(TzelCustomMemTable* Table, TzelState State)
        : FTable(Table), FSaved(Table->TableState())
    {
        FTable->SetTableState(State);
    }
    ~TzelTableStateScope() { FTable->SetTableState(FSaved); }
    TzelTableStateScope(const TzelTableStateScope&) = delete;
    TzelTableStateScope& operator=(const TzelTableStateScope&) = delete;

private:
    TzelCustomMemTable* FTable;
    TzelState FSaved;
};

} // namespace

void TzelIndex::ReSort()
{
    if (FIndexType != mtitSorted)
        return;
    FTable->Progress(0, mtpcSort);
    {
        TzelTableStateScope state(FTable, mtstSort);
        TzelStorageLock guard(*FTable->Common());
        FastQuickSort(0, Count() - 1);
        if (FOptions.Contains(mtcoUnique))
            CheckUniqueNeighbours();
    }
    FTable->Progress(100, mtpcSort);
}

// --- Searches ---

bool TzelIndex::Bisectable() const
{
    return FOrdered && !FRowOrder && Count() > BisectThreshold;
}

int TzelIndex::Bisect(TzelFieldList* FieldList, TzelRecord* KeyRecord, bool Nearest,
                      bool& Found, int& LastCompare)
{
    int first = 0;
    int last = Count() - 1;
    while (first <= last) {
        const int middle = (first + last) / 2;
        LastCompare = CompareRecords(FieldList, KeyRecord, Reference(middle), false, false);
        if (LastCompare < 0) {
            last = middle - 1;
        } else if (LastCompare > 0) {
            first = middle + 1;
        } else {
            first = middle;
            while (first > 0 &&
                   CompareRecords(FieldList, KeyRecord, Reference(first - 1), false, Nearest) == 0)
                --first;
            Found = true;
            break;
        }
    }
    return first;
}

// After a bisection: the first record from From on that the table's filter shows and that is
// equal to the key (or, with Nearest, above it); -1 when none.
int TzelIndex::StepToVisible(TzelFieldList* FieldList, TzelRecord* KeyRecord, int From,
                             bool Nearest, bool& Found, int& LastCompare)
{
    for (int i = From + 1; i < Count(); ++i) {
        if (!FTable->FilterRecord(Reference(i), false))
            continue;
        LastCompare = CompareRecords(FieldList, KeyRecord, Reference(i), false, Nearest);
        if (LastCompare == 0 || (Nearest && LastCompare < 0)) {
            Found = LastCompare == 0;
            return i;
        }
    }
    Found = false;
    return -1;
}

int TzelIndex::Scan(TzelFieldList* FieldList, TzelRecord* KeyRecord, bool Nearest,
                    bool RespectFilter, bool& Found, int& LastCompare)
{
    const int count = Count();
    for (int i = 0; i < count; ++i) {
        if (i % 100 == 0)
            FTable->Progress(static_cast<int>(static_cast<double>(i) / count * 100), mtpcSearch);
        TzelRecord* record = Reference(i);
        if (FTable->RecalcOnIndex())
            FTable->RecalcIndexRecord(record);
        LastCompare = CompareRecords(FieldList, KeyRecord, record, false, Nearest);
        if (LastCompare == 0 && (!RespectFilter || FTable->FilterRecord(record, false))) {
            Found = true;
            return i;
        }
        if (Nearest && LastCompare < 0)
            return i;
    }
    return -1;
}

int TzelIndex::Search(TzelFieldList* FieldList, TzelRecord* KeyRecord, bool Nearest,
                      bool RespectFilter, bool& Found, int& LastCompare)
{
    Found = false;
    LastCompare = 0;
    int position = -1;
    FTable->Progress(0, mtpcSearch);
    {
        TzelTableStateScope state(FTable, mtstSearch);
        TzelStorageLock guard(*FTable->Common());
        if (Bisectable()) {
            position = Bisect(FieldList, KeyRecord, Nearest, Found, LastCompare);
            if (IsValidPosition(position) && RespectFilter && FTable->IsFiltered() &&
                !FTable->FilterRecord(Reference(position), false))
                position = StepToVisible(FieldList, KeyRecord, position, Nearest, Found,
                                         LastCompare);
        } else if (Count() > 0) {
            position = Scan(FieldList, KeyRecord, Nearest, RespectFilter, Found, LastCompare);
        }
    }
    FTable->Progress(100, mtpcSearch);
    return position;
}

int TzelIndex::Search(TzelFieldList* FieldList, TzelRecord* KeyRecord, bool Nearest,
                      bool RespectFilter)
{
    bool found = false;
    int lastCompare = 0;
    return Search(FieldList, KeyRecord, Nearest, RespectFilter, found, lastCompare);
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
    int start = 0;
    if (FOrdered && Count() > BisectThreshold) {
        if (FRowOrder) {
            const int position = SearchRecordID(Record->RecordID);
            if (position >= 0)
                return position;
        } else {
            bool found = false;
            int lastCompare = 0;
            const int first = Bisect(nullptr, Record, false, found, lastCompare);
            if (found)
                start = first;
        }
    }
    const int position = ScanForRecordID(Record->RecordID, start);
    // A record whose values no longer match its place is still found.
    if (position < 0 && start > 0)
        return ScanForRecordID(Record->RecordID, 0);
    return position;
}

int TzelIndex::FindRecordNumber(TzelRecord* Record) const
{
    const auto found = std::find(FReferences.begin(), FReferences.end(), Record);
    return found == FReferences.end() ? -1 : static_cast<int>(found - FReferences.begin());
}
