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

void TzelIndexes::CheckRecordUniqueness(TzelRecord* Record, TzelRecord* Actual)
{
    if (!FTable->EnableIndexes())
        return;
    TzelCommon* storage = FTable->Common();
    TzelStorageLock guard(*storage);
    for (const auto& index : FIndexes) {
        if (!index->Enabled() || !index->Options().Contains(mtcoUnique))
            continue;
        for (int i = 0; i < index->Count(); ++i) {
            TzelRecord* other = index->Reference(i);
            if (Actual && other->RecordID == Actual->RecordID)
                continue;
            if (storage->_InternalCompareRecords(FTable, &index->FieldList(), -1, Record, other,
                                                 false, false, chBreakNE) == 0)
                RAISE(EMemTableError("Duplicate index value. Operation aborted."));
        }
    }
}

void TzelIndexes::ReflectInsert(TzelIndex* Index, TzelRecord* Record, int Position)
{
    if (!Index->Filter(Record))
        return;
    const bool current = FTable->CurrentIndex() == Index;
    int placed;
    if (Index->IsRowOrder() && current && Position >= 0) {
        // A stale hint can never place the record outside the list.
        placed = std::clamp(Position - 1, 0, Index->Count());
        Index->InsertAt(placed, Record);
    } else {
        placed = Index->Count();
        Index->Append(Record);
        if (!Index->IsRowOrder())
            Index->SetOrdered(false);
    }
    if (current) {
        Record->Position = placed;
        FTable->SetRepositionTarget(placed);
    }
}

void TzelIndexes::ReflectDelete(TzelIndex* Index, TzelRecord* Record, int Position)
{
    if (Index->Count() == 0)
        return;
    int found = -1;
    if (Index->IsValidPosition(Position) && Index->Reference(Position) == Record)
        found = Position;
    else if (Index->IsRowOrder())
        found = Index->SearchRecordID(Record->RecordID);
    else
        found = Index->SearchRecord(Record, false);
    if (found >= 0)
        Index->RemoveAt(found);
}

void TzelIndexes::ReflectToIndexes(TzelIndexUpdateHow How, TzelRecord* Record1,
                                   TzelRecord* /*Record2*/, int Position)
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
            // The row order does not depend on values; an index with fields is put in order
            // again when it is next rebuilt.
            if (!index->IsRowOrder())
                index->SetOrdered(false);
            break;
        case mtiuhDelete:
            ReflectDelete(index, Record1, Position);
            break;
        }
    }
}
