#pragma once
// The indexes of one in-memory table, with the row-order index always first, and the carrying
// of every insert, edit and delete of a record into each of them.

#include "tablestore/zelIndex.h"

#include <memory>
#include <string>
#include <vector>

// The name of the index that keeps the records in the order they were added.
inline constexpr const char* ZEL_ROWORDER_INDEX_NAME = "__MT__ROWORDER";
// The name of the index that SortOn makes.
inline constexpr const char* ZEL_SORT_INDEX_NAME = "__MT__DEFSORT";

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
    // The first index whose field-names text equals FieldNames, letter case ignored (the text
    // as written: blanks and separators count); nullptr when none.
    TzelIndex* GetByFieldNames(const std::string& FieldNames) const;
    // Takes the index over; its position becomes the former count.
    void AddIndex(TzelIndex* Index);
    // Adds a sorted index made from the definition; EMemTableError "Missing Name or FieldNames
    // in IndexDef!" for an expression index or one without fields.
    TzelIndex* Add(TIndexDef* Definition);
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

    // Searches the table's current index: with its own search when FieldList names the same
    // fields in the same order, else by a scan in its order. Returns the position or -1.
    int Search(TzelFieldList* FieldList, TzelRecord* KeyRecord, bool Nearest, bool RespectFilter,
               bool& Found, int& LastCompare);

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
    void ReflectEdit(TzelIndex* Index, TzelRecord* Stored, TzelRecord* NewValues, int Position);
    // Where the stored record stands in the index: at the table's hint when the reference there
    // is that record, else found by a search; -1 when it is not there.
    int FindStored(TzelIndex* Index, TzelRecord* Stored, int Position);
    // Inserts Stored where a nearest search for KeyRecord's values puts it.
    int InsertByKey(TzelIndex* Index, TzelRecord* Stored, TzelRecord* KeyRecord);
    void TellPosition(TzelIndex* Index, TzelRecord* Stored, int Position);

    TzelIndex* FRowOrderIndex;
    std::vector<std::unique_ptr<TzelIndex>> FIndexes;
    TzelCustomMemTable* FTable;
};
