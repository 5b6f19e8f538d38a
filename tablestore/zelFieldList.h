#pragma once
// Field lists with per-field compare options, the field-names text that builds them
// ("Nome:CP;Citta"), and the comparison of two stored field values. Indexes, sorting, searches,
// ranges and master-detail links all compare records through these.

#include "platform/db/DB.h"

#include <cstdint>
#include <string>
#include <vector>

// Compare options; in a set each option is the bit 1 << value, so the set's Bits() read
// mtcoDescending 1, mtcoCaseInsensitive 2, mtcoPartialKey 4, mtcoIgnoreNullKey 8,
// mtcoIgnoreLocale 16, mtcoUnique 32, mtcoNonMaintained 64.
enum TzelMemTableCompareOption {
    mtcoDescending,
    mtcoCaseInsensitive,
    mtcoPartialKey,
    mtcoIgnoreNullKey,
    mtcoIgnoreLocale,
    mtcoUnique,
    mtcoNonMaintained
};
using TzelMemTableCompareOptions = TEnumSet<TzelMemTableCompareOption>;

// The set whose Bits() are the given bits (bits beyond the seven options are dropped).
TzelMemTableCompareOptions CompareOptionsFromBits(std::uint32_t bits);

// Where a record comparison stops.
enum TzelCompareHow { chBreakNE, chBreakLT, chBreakGT, chBreakLTE, chBreakGTE };

// Fields, each with its compare options.
class TzelFieldList : public TObject {
    TESS_CLASS(TzelFieldList, TObject)
public:
    int Add(TField* Field, TzelMemTableCompareOptions Options);
    TField* Get(int Index) const { return FFields.at(static_cast<std::size_t>(Index)); }
    TzelMemTableCompareOptions GetVal(int Index) const
    {
        return FOptions.at(static_cast<std::size_t>(Index));
    }
    void Put(int Index, TField* Field) { FFields.at(static_cast<std::size_t>(Index)) = Field; }
    void PutVal(int Index, TzelMemTableCompareOptions Options)
    {
        FOptions.at(static_cast<std::size_t>(Index)) = Options;
    }
    int GetCount() const { return static_cast<int>(FFields.size()); }
    virtual void Clear();
    int IndexOf(TField* Field) const;
    // Clears Target, then appends every entry in order.
    void AssignTo(TzelFieldList& Target) const;

private:
    std::vector<TField*> FFields;
    std::vector<TzelMemTableCompareOptions> FOptions;
};

// Fills List from "Name[:letters];Name[:letters]..." with the fields of DataSet. Letters, in any
// case and order: C case-insensitive, D descending, N ignore null key, P partial key, L ignore
// locale; others are ignored. A missing field raises the framework's field-not-found error, a
// byte or blob field EDatabaseError "Can't index on field <display name>"; the fields added
// before the failure stay in the list. Returns whether a calculated field was added.
bool BuildFieldList(TDataSet* DataSet, TzelFieldList* List, const std::string& FieldNames);

// Sets Option on the entries whose field is named in FieldNames ("A;B") and clears it on the rest.
void SetFieldListOptions(TzelFieldList* List, TzelMemTableCompareOption Option,
                         const std::string& FieldNames);

// Same count and the same fields in the same order; options are not compared.
bool IsFieldListsEqual(const TzelFieldList* List1, const TzelFieldList* List2);

// The first field whose name equals FieldName exactly, or nullptr.
TField* FindFieldInList(const TzelFieldList* List, const std::string& FieldName);

// Types an index may use: ftString to ftDateTime and ftAutoInc.
bool IsIndexableFieldType(TFieldType FieldType);

// Compares two values in their stored forms (strings zero-terminated; numbers, dates and times as
// the record holds them): -1, 0 or 1. FullCompare becomes false when a partial key matched only
// the beginning. A locale the collation refuses raises EMemTableError "Invalid locale. <id>".
int CompareFields(const void* KeyValue, const void* FieldValue, TFieldType FieldType,
                  bool& FullCompare, TzelMemTableCompareOptions Options, std::uint32_t LocaleID);

// Only unique, descending and case-insensitive have a counterpart.
TzelMemTableCompareOptions IndexOptions2CompareOptions(TIndexOptions Options);
TIndexOptions CompareOptions2IndexOptions(TzelMemTableCompareOptions Options);
