#pragma once
// The delta handler: walks the changed records of a versioned in-memory table and calls one
// operation per kind of change, so that a descendant can apply the changes elsewhere.

#include "platform/db/DB.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Variants.h"
#include "tablestore/zelCommon.h"

#include <string>

class TzelCustomMemTable;

class TzelCustomDeltaHandler : public TComponent {
    TESS_CLASS(TzelCustomDeltaHandler, TComponent)
public:
    explicit TzelCustomDeltaHandler(TComponent* AOwner);
    ~TzelCustomDeltaHandler() override;

    // The table whose DeltaHandler this is; set by the table.
    TzelCustomMemTable* Table() const { return FTable; }

    // One call per stored record during Resolve; the base class does nothing.
    virtual void InsertRecord() {}
    virtual void DeleteRecord() {}
    virtual void ModifyRecord() {}
    virtual void UnmodifiedRecord() {}
    virtual void Resolve();

    // EMemTableError "Delta handler is not assigned to any memorytables." without a table.
    void CheckDataSet();
    int GetFieldCount();
    TField* GetFields(int Index);
    std::string GetFieldNames(int Index);
    // The field's value in the record being resolved (newest state); Null when null.
    Variant GetValues(int Index);
    Variant GetValuesByName(const std::string& Name);
    // The same in the record's oldest state.
    Variant GetOrigValues(int Index);
    Variant GetOrigValuesByName(const std::string& Name);
    // The record's position + 1, and its unique identifier.
    int GetRecordNo();
    int GetUniqueRecordID();

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    friend class TzelCustomMemTable;
    Variant ReadValue(TzelRecord* Record, TField* Field);

    TzelCustomMemTable* FTable = nullptr;
    TzelRecord* FCurrent = nullptr;
    TzelRecord* FOldest = nullptr;
};
