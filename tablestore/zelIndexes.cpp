#include "tablestore/zelIndexes.h"

#include "platform/rtl/TextUtils.h"
#include "tablestore/zelMemTable.h"

#include <algorithm>

TzelIndexes::TzelIndexes(TzelCustomMemTable* Table) : FTable(Table)
{
    auto rowOrder = std::make_unique<TzelIndex>(ZEL_ROWORDER_INDEX_NAME, Table, "",
                                                TzelMemTableCompareOptions{}, mtitNonSorted, true);
    rowOrder->SetRowOrder(true);
    rowOrder->SetPosition(0);
    FRowOrderIndex = rowOrder.get();
    FIndexes.push_back(std::move(rowOrder));
}

TzelIndexes::~TzelIndexes() = default;

TzelIndex* TzelIndexes::GetIndex(int Position) const
{
    if (Position < 0 || Position >= Count())
        return nullptr;
    return FIndexes[static_cast<std::size_t>(Position)].get();
}

TzelIndex* TzelIndexes::Get(const std::string& Name) const
{
    for (const auto& index : FIndexes)
        if (SameText(index->Name(), Name))
            return index.get();
    return nullptr;
}

TzelIndex* TzelIndexes::GetByFieldNames(const std::string& FieldNames) const
{
    for (const auto& index : FIndexes)
        if (SameText(index->FieldNames(), FieldNames))
            return index.get();
    return nullptr;
}

TzelIndex* TzelIndexes::Add(TIndexDef* Definition)
{
    if (Definition->Fields().empty() || Definition->Options().Contains(ixExpression))
        RAISE(EMemTableError("Missing Name or FieldNames in IndexDef!"));
    auto index = std::make_unique<TzelIndex>(Definition->Name(), FTable, Definition->Fields(),
                                             IndexOptions2CompareOptions(Definition->Options()),
                                             mtitSorted, false);
    AddIndex(index.get());
    return index.release();
}

void TzelIndexes::AddIndex(TzelIndex* Index)
{
    Index->SetPosition(Count());
    FIndexes.emplace_back(Index);
}

void TzelIndexes::Renumber()
{
    for (int i = 0; i < Count(); ++i)
        FIndexes[static_cast<std::size_t>(i)]->SetPosition(i);
}

std::unique_ptr<TzelIndex> TzelIndexes::DeleteIndex(TzelIndex* Index)
{
    if (!Index || Index == FRowOrderIndex)
        return nullptr;
    const auto found = std::find_if(FIndexes.begin(), FIndexes.end(),
                                    [Index](const auto& entry) { return entry.get() == Index; });
    if (found == FIndexes.end())
        return nullptr;
    if (FTable->CurrentIndex() == Index)
        FTable->SetCurrentIndex(FRowOrderIndex);
    std::unique_ptr<TzelIndex> removed = std::move(*found);
    FIndexes.erase(found);
    Renumber();
    return removed;
}

void TzelIndexes::Delete(const std::string& Name)
{
    TzelIndex* index = Get(Name);
    if (!index || index == FRowOrderIndex)
        return;
    if (FTable->SortIndex() == index)
        FTable->SetSortIndex(nullptr);
    DeleteIndex(index);
}

void TzelIndexes::Empty(const std::string& Name)
{
    if (TzelIndex* index = Get(Name))
        index->Clear();
}

void TzelIndexes::EmptyAll()
{
    for (const auto& index : FIndexes)
        index->Clear();
}

void TzelIndexes::ReBuild(const std::string& Name)
{
    TzelIndex* index = Get(Name);
    if (index && FTable->Active())
        index->Rebuild();
}

void TzelIndexes::ReBuildAll()
{
    for (const auto& index : FIndexes)
        index->Rebuild();
}

void TzelIndexes::MarkAllDirty()
{
    for (const auto& index : FIndexes)
        index->SetOrdered(false);
}

void TzelIndexes::Clear()
{
    for (int i = Count() - 1; i >= 0; --i) {
        TzelIndex* index = FIndexes[static_cast<std::size_t>(i)].get();
        index->Clear();
        if (index == FRowOrderIndex)
            continue;
        if (FTable->CurrentIndex() == index)
            FTable->SetCurrentIndex(FRowOrderIndex);
        if (FTable->SortIndex() == index)
            FTable->SetSortIndex(nullptr);
        FIndexes.erase(FIndexes.begin() + i);
    }
    Renumber();
}

int TzelIndexes::Search(TzelFieldList* FieldList, TzelRecord* KeyRecord, bool Nearest,
                        bool RespectFilter, bool& Found, int& LastCompare)
{
    TzelIndex* current = FTable->CurrentIndex();
    if (IsFieldListsEqual(FieldList, &current->FieldList()))
        return current->Search(FieldList, KeyRecord, Nearest, RespectFilter, Found, LastCompare);
    Found = false;
    LastCompare = 0;
    TzelStorageLock guard(*FTable->Common());
    for (int i = 0; i < current->Count(); ++i) {
        TzelRecord* record = current->Reference(i);
        if (FTable->RecalcOnIndex())
            FTable->RecalcIndexRecord(record);
        LastCompare = current->CompareRecords(FieldList, KeyRecord, record, false, Nearest);
        if (LastCompare == 0 && (!RespectFilter || FTable->FilterRecord(record, false))) {
            Found = true;
            return i;
        }
        if (Nearest && LastCompare < 0)
            return i;
    }
    return -1;
}

void TzelIndexes::CheckRecordUniqueness(TzelRecord* Record, TzelRecord* Actual)
{
    if (!FTable->EnableIndexes())
        return;
    TzelStorageLock guard(*FTable->Common());
    for (const auto& index : FIndexes) {
        if (!index->Enabled() || !index->Options().Contains(mtcoUnique))
            continue;
        bool found = false;
        int lastCompare = 0;
        const int position = index->Search(nullptr, Record, false, false, found, lastCompare);
        if (!found || !index->IsValidPosition(position))
            continue;
        TzelRecord* other = index->Reference(position);
        if (Actual && other == Actual)
            continue;
        RAISE(EMemTableError("Duplicate index value. Operation aborted."));
    }
}

void TzelIndexes::TellPosition(TzelIndex* Index, TzelRecord* Stored, int Position)
{
    if (FTable->CurrentIndex() != Index || Position < 0)
        return;
    Stored->Position = Position;
    FTable->SetRepositionTarget(Position);
}

int TzelIndexes::InsertByKey(TzelIndex* Index, TzelRecord* Stored, TzelRecord* KeyRecord)
{
    int position = -1;
    if (Index->Count() > 0)
        position = Index->Search(nullptr, KeyRecord, true, false);
    if (position < 0 || position >= Index->Count()) {
        Index->Append(Stored);
        return Index->Count() - 1;
    }
    Index->InsertAt(position, Stored);
    return position;
}

void TzelIndexes::ReflectInsert(TzelIndex* Index, TzelRecord* Record, int Position)
{
    if (!Index->Filter(Record))
        return;
    int placed;
    if (Index->IsRowOrder()) {
        if (FTable->CurrentIndex() == Index && Position >= 0) {
            // A stale hint can never place the record outside the list.
            placed = std::clamp(Position - 1, 0, Index->Count());
            Index->InsertAt(placed, Record);
        } else {
            placed = Index->Count();
            Index->Append(Record);
        }
    } else {
        placed = InsertByKey(Index, Record, Record);
    }
    TellPosition(Index, Record, placed);
}

int TzelIndexes::FindStored(TzelIndex* Index, TzelRecord* Stored, int Position)
{
    if (Index->Count() == 0)
        return -1;
    if (Index->IsValidPosition(Position) && Index->Reference(Position) == Stored)
        return Position;
    if (Index->IsRowOrder())
        return Index->SearchRecordID(Stored->RecordID);
    return Index->SearchRecord(Stored, false);
}

void TzelIndexes::ReflectDelete(TzelIndex* Index, TzelRecord* Record, int Position)
{
    const int found = FindStored(Index, Record, Position);
    if (found >= 0)
        Index->RemoveAt(found);
}

// Stored still holds the old values, NewValues the values being posted.
void TzelIndexes::ReflectEdit(TzelIndex* Index, TzelRecord* Stored, TzelRecord* NewValues,
                              int Position)
{
    const bool current = FTable->CurrentIndex() == Index;
    const int hint = current ? Position : -1;
    const bool sameKey =
        FTable->Common()->_InternalCompareRecords(FTable, &Index->FieldList(), -1, Stored,
                                                  NewValues, false, false, chBreakNE) == 0;
    // An index whose membership a filter decides must also follow edits that leave the key
    // alone but move the record in or out.
    const bool mayFilter = Index->IsFiltered() || static_cast<bool>(FTable->OnFilterIndex);
    if (sameKey && !mayFilter) {
        TellPosition(Index, Stored, FindStored(Index, Stored, hint));
        return;
    }
    const int old = FindStored(Index, Stored, hint);
    const bool accepted = Index->Filter(NewValues);
    if (sameKey && old >= 0 && accepted) {
        TellPosition(Index, Stored, old);
        return;
    }
    if (old >= 0)
        Index->RemoveAt(old);
    if (accepted)
        TellPosition(Index, Stored, InsertByKey(Index, Stored, NewValues));
}

void TzelIndexes::ReflectToIndexes(TzelIndexUpdateHow How, TzelRecord* Record1,
                                   TzelRecord* Record2, int Position)
{
    for (const auto& entry : FIndexes) {
        TzelIndex* index = entry.get();
        const bool takesPart =
            (FTable->EnableIndexes() || How == mtiuhDelete) && index->Enabled();
        if (!takesPart) {
            index->SetOrdered(false);
            continue;
        }
        // Following this change keeps an index as ordered as it was: one that missed an earlier
        // change keeps its mark off until it is rebuilt, or the record it missed stays lost.
        switch (How) {
        case mtiuhInsert:
            ReflectInsert(index, Record1, Position);
            break;
        case mtiuhEdit:
            // The row order does not depend on values.
            if (!index->IsRowOrder())
                ReflectEdit(index, Record1, Record2, Position);
            break;
        case mtiuhDelete:
            ReflectDelete(index, Record1, Position);
            break;
        }
    }
}
