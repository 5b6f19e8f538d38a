#pragma once
// Field and index definitions of a data set.

#include "platform/db/DBCommon.h"
#include "platform/rtl/Lists.h"

class TFieldDefs;
class TIndexDefs;

// One column of a data set as the data set describes it, before any field object exists.
class TFieldDef : public TCollectionItem {
    TESS_CLASS(TFieldDef, TCollectionItem)
public:
    explicit TFieldDef(TCollection* Collection);

    const std::string& Name() const { return FName; }
    void SetName(const std::string& value);
    TFieldType DataType() const { return FDataType; }
    void SetDataType(TFieldType value);
    int Size() const { return FSize; }
    void SetSize(int value);
    int Precision() const { return FPrecision; }
    void SetPrecision(int value);
    bool Required() const { return FAttributes.Contains(faRequired); }
    void SetRequired(bool value);
    TFieldAttributes Attributes() const { return FAttributes; }
    void SetAttributes(TFieldAttributes value);
    bool InternalCalcField() const { return FInternalCalcField; }
    void SetInternalCalcField(bool value);
    // The number given at creation, else the position + 1.
    int FieldNo() const { return FFieldNo > 0 ? FFieldNo : Index() + 1; }
    void SetFieldNo(int value) { FFieldNo = value; }

    TFieldDefs* FieldDefs() const;
    // A new field object of the class of DataType, owned by Owner, bound to the definitions'
    // data set. Raises "Field '%s' is of an unknown type" for a type without a field class.
    TField* CreateField(TComponent* Owner);

    void Assign(TPersistent* Source) override;
    std::string DisplayName() const override { return FName; }

private:
    std::string FName;
    TFieldType FDataType = ftUnknown;
    int FSize = 0;
    int FPrecision = 0;
    int FFieldNo = 0;
    TFieldAttributes FAttributes;
    bool FInternalCalcField = false;
};

class TFieldDefs : public TCollection {
    TESS_CLASS(TFieldDefs, TCollection)
public:
    explicit TFieldDefs(TDataSet* DataSet);

    TDataSet* DataSet() const { return FDataSet; }
    TFieldDef* Items(int index) const { return static_cast<TFieldDef*>(TCollection::Items(index)); }

    // Raises "Field name missing" for an empty name.
    TFieldDef* Add(const std::string& Name, TFieldType DataType, int Size = 0,
                   bool Required = false);
    TFieldDef* AddFieldDef();
    // Names compare without regard to case; -1 when absent.
    int IndexOf(const std::string& Name) const;
    TFieldDef* Find(const std::string& Name) const; // raises "Field '%s' not found"

    // Asks the data set for its definitions unless they are up to date.
    void Update();
    bool Updated() const { return FUpdated; }
    void SetUpdated(bool value) { FUpdated = value; }

protected:
    void Update(TCollectionItem* Item) override;

private:
    TDataSet* FDataSet;
    bool FUpdated = false;
};

class TIndexDef : public TCollectionItem {
    TESS_CLASS(TIndexDef, TCollectionItem)
public:
    explicit TIndexDef(TCollection* Collection);

    const std::string& Name() const { return FName; }
    // Raises "Duplicate index name '%s'" when another index of the list has the name.
    void SetName(const std::string& value);
    const std::string& Fields() const { return FFields; }
    void SetFields(const std::string& value);
    TIndexOptions Options() const { return FOptions; }
    void SetOptions(TIndexOptions value);
    const std::string& Expression() const { return FExpression; }
    void SetExpression(const std::string& value);
    const std::string& DescFields() const { return FDescFields; }
    void SetDescFields(const std::string& value);
    const std::string& CaseInsFields() const { return FCaseInsFields; }
    void SetCaseInsFields(const std::string& value);
    const std::string& Source() const { return FSource; }
    void SetSource(const std::string& value) { FSource = value; }

    void Assign(TPersistent* Source) override;
    std::string DisplayName() const override { return FName; }

private:
    std::string FName;
    std::string FFields;
    TIndexOptions FOptions;
    std::string FExpression;
    std::string FDescFields;
    std::string FCaseInsFields;
    std::string FSource;
};

class TIndexDefs : public TCollection {
    TESS_CLASS(TIndexDefs, TCollection)
public:
    explicit TIndexDefs(TDataSet* DataSet);

    TDataSet* DataSet() const { return FDataSet; }
    TIndexDef* Items(int index) const { return static_cast<TIndexDef*>(TCollection::Items(index)); }

    TIndexDef* Add(const std::string& Name, const std::string& Fields, TIndexOptions Options);
    TIndexDef* AddIndexDef();
    int IndexOf(const std::string& Name) const;
    TIndexDef* Find(const std::string& Name) const; // raises "Index '%s' not found"
    // The first index whose leading fields are Fields (and, when asked, case-insensitive);
    // nullptr when none.
    TIndexDef* GetIndexForFields(const std::string& Fields, bool CaseInsensitive) const;
    TIndexDef* FindIndexForFields(const std::string& Fields) const; // raises when none

    bool Updated() const { return FUpdated; }
    void SetUpdated(bool value) { FUpdated = value; }

private:
    TDataSet* FDataSet;
    bool FUpdated = false;
};
