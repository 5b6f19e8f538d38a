#pragma once
// One order in which an in-memory table presents its records: an ordered list of references to
// the records of the table's storage, with the fields and options that define the order.

#include "tablestore/zelCommon.h"
#include "tablestore/zelFieldList.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TzelCustomMemTable;
struct TzelComparePlan;

// Fills Key with bytes whose order (as unsigned bytes, a prefix first) is the order in which
// CompareFields puts texts under Options in the locale, partial keys aside; a sort computes it
// once per record instead of collating at every comparison. False when the locale cannot be
// served.
bool zelTextSortKey(const char* Text, std::size_t Length, TzelMemTableCompareOptions Options,
                    std::uint32_t LocaleID, std::string& Key);

enum TzelIndexType { mtitNonSorted, mtitSorted };

class TzelIndex : public TObject {
    TESS_CLASS(TzelIndex, TObject)
public:
    // Builds the field list from FieldNames on the table's fields and adds the first five
    // options to every entry; the index starts ordered when the storage holds no record.
    TzelIndex(const std::string& Name, TzelCustomMemTable* Table, const std::string& FieldNames,
              TzelMemTableCompareOptions Options, TzelIndexType IndexType, bool Internal);
    ~TzelIndex() override;

    const std::string& Name() const { return FName; }
    TzelCustomMemTable* Table() const { return FTable; }
    const std::string& FieldNames() const { return FFieldNames; }
    TzelFieldList& FieldList() { return FFieldList; }
    TzelMemTableCompareOptions Options() const { return FOptions; }
    bool IsOrdered() const { return FOrdered; }
    void SetOrdered(bool Value) { FOrdered = Value; }
    TzelIndexType IndexType() const { return FIndexType; }
    bool IsRowOrder() const { return FRowOrder; }
    void SetRowOrder(bool Value) { FRowOrder = Value; }
    bool IsInternal() const { return FInternal; }
    int Position() const { return FPosition; }
    void SetPosition(int Value) { FPosition = Value; }
    bool IsFiltered() const { return FFiltered; }
    void SetFiltered(bool Value) { FFiltered = Value; }
    bool Enabled() const { return FEnabled; }
    // Enabling an index that is not ordered rebuilds it.
    void SetEnabled(bool Value);

    // --- References ---
    int Count() const { return static_cast<int>(FReferences.size()); }
    TzelRecord* Reference(int Index) const { return FReferences[static_cast<std::size_t>(Index)]; }
    bool IsValidPosition(int Index) const { return Index >= 0 && Index < Count(); }
    void Append(TzelRecord* Record) { FReferences.push_back(Record); }
    // Index is kept within 0..Count().
    void InsertAt(int Index, TzelRecord* Record);
    void RemoveAt(int Index);
    // Moves the reference at From to To (both valid positions).
    void Move(int From, int To);

    // Empties the references; not ordered.
    void Clear();
    // Every stored record that Filter accepts, in storage order; not ordered.
    void LoadAll();
    // On an open table loads the references again and sorts them; on a closed table the index
    // is only marked ordered. A current index keeps the table's cursor within its length.
    void Rebuild();
    // Whether the record belongs in this index: decided by the table's OnFilterIndex, which reads
    // the record as the table's version-read record.
    bool Filter(TzelRecord* Record);

    // --- Order ---
    // Compares the key record with the record over FieldList (nullptr: the index's own) until
    // the first unequal field. With TieBreak, equal keys are told apart by the records
    // themselves: identifiers when neither has a position, a positioned record above one
    // without; the tie-break is reversed when the first field is descending.
    int CompareRecords(TzelFieldList* FieldList, TzelRecord* KeyRecord, TzelRecord* Record,
                       bool TieBreak, bool Partial);
    // Sorts positions First..Last with the tie-broken comparison; the index becomes ordered.
    void FastQuickSort(int First, int Last);
    // Sorts a sorted-type index under the storage lock and, for a unique index, refuses two
    // equal neighbours with EMemTableError "Duplicate index value. Operation aborted.".
    void ReSort();

    // --- Searches ---
    // Searches the key in the index's order over FieldList (nullptr: the index's own fields).
    // Bisects an ordered index of more than 20 references (not the row order), else scans.
    // Nearest also accepts the first record above the key, and makes text keys partial.
    // Returns the position (-1 when none; a bisection may return the insertion point, up to
    // Count()); Found tells whether an equal record stands there, LastCompare the last result.
    int Search(TzelFieldList* FieldList, TzelRecord* KeyRecord, bool Nearest,
               bool RespectFilter, bool& Found, int& LastCompare);
    int Search(TzelFieldList* FieldList, TzelRecord* KeyRecord, bool Nearest,
               bool RespectFilter);

    // The position of the record with that record identifier, or -1.
    int SearchRecordID(int RecordID);
    // The position of that very record (by its record identifier), or -1.
    int SearchRecord(TzelRecord* Record, bool RespectFilter);
    // The position of the reference by identity, or -1.
    int FindRecordNumber(TzelRecord* Record) const;

private:
    int ScanForRecordID(int RecordID, int From);
    void CheckUniqueNeighbours();
    // Sorts through keys computed once per record; false, with nothing done, when the field list
    // needs the full comparison (handlers, partial keys, calculated fields, a refused locale).
    bool SortWithKeys();
    int Bisect(TzelFieldList* FieldList, TzelRecord* KeyRecord, bool Nearest, bool& Found,
               int& LastCompare);
    int StepToVisible(TzelFieldList* FieldList, TzelRecord* KeyRecord, int From, bool Nearest,
                      bool& Found, int& LastCompare);
    int Scan(TzelFieldList* FieldList, TzelRecord* KeyRecord, bool Nearest, bool RespectFilter,
             bool& Found, int& LastCompare);
    bool Bisectable() const;
    // The comparison of a search over fixed-size fields without handlers, read straight from
    // the records' slots; null when the list needs the storage's full comparison.
    std::unique_ptr<TzelComparePlan> MakeComparePlan(TzelFieldList* FieldList);
    TzelComparePlan* FPlan = nullptr;
    TzelFieldList* FPlanList = nullptr;
    friend class TzelPlanScope;

    std::string FName;
    std::vector<TzelRecord*> FReferences;
    TzelCustomMemTable* FTable;
    std::string FFieldNames;
    TzelFieldList FFieldList;
    TzelMemTableCompareOptions FOptions;
    bool FOrdered = false;
    TzelIndexType FIndexType;
    bool FRowOrder = false;
    bool FInternal;
    int FPosition = -1;
    bool FFiltered = false;
    bool FEnabled = true;
};
