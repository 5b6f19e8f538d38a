#pragma once
// The indexes of one in-memory table, with the row-order index always first, and the carrying
// of every insert, edit and delete of a record into each of them.

#include "tablestore/zelIndex.h"

#include <memory>
#include <string>
#include <vector>

// The name of the index that keeps the records in the order they were added.
inline constexpr const char* ZEL_ROWORDER_INDEX_NAME = "__MT__ROWORDER";

class TzelIndexes : public TObject {
    TESS_CLASS(TzelIndexes, TObject)
public:
    // Creates the row-order index as the first entry.
    explicit TzelIndexes(TzelCustomMemTable* Table);
    ~TzelIndexes() override;
    TzelIndexes(const TzelIndexes&) = delete;
    TzelIndexes& operator=(const TzelIndexes&) = delete;

    TzelIndex* RowOrderIndex() const { return FRowOrderIndex; }
    int Count() const { return static_cast<int>(FIndexes.size()); }
    // nullptr outside 0..Count()-1.
    TzelIndex* GetIndex(int Position) const;
    // The first index with that name, letter case ignored; nullptr when none.
    TzelIndex* Get(const std::string& Name) const;
    // Takes the index over; its position becomes the former count.
    void AddIndex(TzelIndex* Index);
    // Takes the index out of the list and hands it back; the row-order index stays. When it was
    // the table's current index the row order becomes current.
    std::unique_ptr<TzelIndex> DeleteIndex(TzelIndex* Index);
    // Removes and frees the named index; unknown names and the row order are left alone.
    void Delete(const std::string& Name);
    void Empty(const std::string& Name);
    void EmptyAll();
    // Rebuilds the named index when the table is open.
    void ReBuild(const std::string& Name);
    void ReBuildAll();
    void MarkAllDirty();
    // Empties every index and frees all but the row order.
    void Clear();

    // EMemTableError "Duplicate index value. Operation aborted." when an enabled unique index
    // holds a record other than Actual with the key of Record.
    void CheckRecordUniqueness(TzelRecord* Record, TzelRecord* Actual);
    // Carries an insert (Record1: the new stored record), an edit (Record1: the stored record,
    // Record2: the new values) or a delete (Record1: the stored record) into every index.
    // Position is the table's hint (-1: none).
    void ReflectToIndexes(TzelIndexUpdateHow How, TzelRecord* Record1, TzelRecord* Record2,
                          int Position);

private:
    void Renumber();
    void ReflectInsert(TzelIndex* Index, TzelRecord* Record, int Position);
    void ReflectDelete(TzelIndex* Index, TzelRecord* Record, int Position);

    TzelIndex* FRowOrderIndex;
    std::vector<std::unique_ptr<TzelIndex>> FIndexes;
    TzelCustomMemTable* FTable;
};
