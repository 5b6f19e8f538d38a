#include "platform/db/FieldDefs.h"

#include "platform/db/DataSet.h"
#include "platform/db/StdFields.h"
#include "platform/rtl/TextUtils.h"

// --- TFieldDef ---

TFieldDef::TFieldDef(TCollection* Collection) : TCollectionItem(Collection) {}

TFieldDefs* TFieldDef::FieldDefs() const
{
    return dynamic_cast<TFieldDefs*>(Collection());
}

void TFieldDef::SetName(const std::string& value)
{
    FName = value;
    Changed(false);
}

void TFieldDef::SetDataType(TFieldType value)
{
    FDataType = value;
    Changed(false);
}

void TFieldDef::SetSize(int value)
{
    FSize = value;
    Changed(false);
}

void TFieldDef::SetPrecision(int value)
{
    FPrecision = value;
    Changed(false);
}

void TFieldDef::SetRequired(bool value)
{
    if (value)
        FAttributes.Include(faRequired);
    else
        FAttributes.Exclude(faRequired);
    Changed(false);
}

void TFieldDef::SetAttributes(TFieldAttributes value)
{
    FAttributes = value;
    Changed(false);
}

void TFieldDef::SetInternalCalcField(bool value)
{
    FInternalCalcField = value;
    Changed(false);
}

TField* TFieldDef::CreateField(TComponent* Owner)
{
    TFieldFactory make = DefaultFieldClass(FDataType);
    TFieldDefs* defs = FieldDefs();
    if (!make)
        DatabaseErrorFmt(DBMessages::UnknownFieldType, {FName}, defs ? defs->DataSet() : nullptr);
    TField* field = make(Owner);
    try {
        field->SetFieldName(FName);
        switch (FDataType) {
        case ftString:
        case ftFixedChar:
        case ftBytes:
        case ftVarBytes:
        case ftBCD:
            field->SetSize(FSize);
            break;
        default:
            if (field->IsBlob())
                field->SetSize(FSize);
            break;
        }
        field->SetRequired(Required());
        if (FAttributes.Contains(faReadonly))
            field->SetReadOnly(true);
        if (FDataType == ftBCD)
            static_cast<TBCDField*>(field)->SetPrecision(FPrecision);
        if (FInternalCalcField)
            field->SetFieldKind(fkInternalCalc);
        if (defs)
            field->SetDataSet(defs->DataSet());
    } catch (...) {
        TComponent::Free(field);
        throw;
    }
    return field;
}

void TFieldDef::Assign(TPersistent* Source)
{
    auto* source = dynamic_cast<TFieldDef*>(Source);
    if (!source) {
        TCollectionItem::Assign(Source);
        return;
    }
    FName = source->FName;
    FDataType = source->FDataType;
    FSize = source->FSize;
    FPrecision = source->FPrecision;
    FAttributes = source->FAttributes;
    FInternalCalcField = source->FInternalCalcField;
    Changed(false);
}

// --- TFieldDefs ---

TFieldDefs::TFieldDefs(TDataSet* DataSet)
    : TCollection([](TCollection* collection) { return new TFieldDef(collection); }),
      FDataSet(DataSet)
{
}

TFieldDef* TFieldDefs::AddFieldDef()
{
    return static_cast<TFieldDef*>(TCollection::Add());
}

TFieldDef* TFieldDefs::Add(const std::string& Name, TFieldType DataType, int Size, bool Required)
{
    if (Name.empty())
        DatabaseError(DBMessages::FieldNameMissing, FDataSet);
    BeginUpdate();
    TFieldDef* def = nullptr;
    try {
        def = AddFieldDef();
        def->SetName(Name);
        def->SetDataType(DataType);
        def->SetSize(Size);
        def->SetRequired(Required);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
    return def;
}

int TFieldDefs::IndexOf(const std::string& Name) const
{
    for (int i = 0; i < Count(); ++i)
        if (AnsiSameText(Items(i)->Name(), Name))
            return i;
    return -1;
}

TFieldDef* TFieldDefs::Find(const std::string& Name) const
{
    const int index = IndexOf(Name);
    if (index < 0)
        DatabaseErrorFmt(DBMessages::FieldNotFound, {Name}, FDataSet);
    return Items(index);
}

void TFieldDefs::Update()
{
    if (!FUpdated && FDataSet)
        FDataSet->InitFieldDefs();
    FUpdated = true;
}

void TFieldDefs::Update(TCollectionItem* /*Item*/)
{
    FUpdated = false;
}

// --- TIndexDef ---

TIndexDef::TIndexDef(TCollection* Collection) : TCollectionItem(Collection) {}

void TIndexDef::SetName(const std::string& value)
{
    if (!value.empty() && !AnsiSameText(value, FName)) {
        auto* defs = dynamic_cast<TIndexDefs*>(Collection());
        if (defs && defs->IndexOf(value) >= 0)
            DatabaseErrorFmt(DBMessages::DuplicateIndexName, {value}, defs->DataSet());
    }
    FName = value;
    Changed(false);
}

void TIndexDef::SetFields(const std::string& value)
{
    FFields = value;
    Changed(false);
}

void TIndexDef::SetOptions(TIndexOptions value)
{
    FOptions = value;
    Changed(false);
}

void TIndexDef::SetExpression(const std::string& value)
{
    FExpression = value;
    Changed(false);
}

void TIndexDef::SetDescFields(const std::string& value)
{
    FDescFields = value;
    Changed(false);
}

void TIndexDef::SetCaseInsFields(const std::string& value)
{
    FCaseInsFields = value;
    Changed(false);
}

void TIndexDef::Assign(TPersistent* Source)
{
    auto* source = dynamic_cast<TIndexDef*>(Source);
    if (!source) {
        TCollectionItem::Assign(Source);
        return;
    }
    if (!AnsiSameText(FName, source->FName))
        SetName(source->FName);
    FFields = source->FFields;
    FOptions = source->FOptions;
    FExpression = source->FExpression;
    FDescFields = source->FDescFields;
    FCaseInsFields = source->FCaseInsFields;
    FSource = source->FSource;
    Changed(false);
}

// --- TIndexDefs ---

TIndexDefs::TIndexDefs(TDataSet* DataSet)
    : TCollection([](TCollection* collection) { return new TIndexDef(collection); }),
      FDataSet(DataSet)
{
}

TIndexDef* TIndexDefs::AddIndexDef()
{
    return static_cast<TIndexDef*>(TCollection::Add());
}

TIndexDef* TIndexDefs::Add(const std::string& Name, const std::string& Fields,
                           TIndexOptions Options)
{
    if (!Name.empty() && IndexOf(Name) >= 0)
        DatabaseErrorFmt(DBMessages::DuplicateIndexName, {Name}, FDataSet);
    TIndexDef* def = AddIndexDef();
    def->SetName(Name);
    def->SetFields(Fields);
    def->SetOptions(Options);
    return def;
}

int TIndexDefs::IndexOf(const std::string& Name) const
{
    for (int i = 0; i < Count(); ++i)
        if (AnsiSameText(Items(i)->Name(), Name))
            return i;
    return -1;
}

TIndexDef* TIndexDefs::Find(const std::string& Name) const
{
    const int index = IndexOf(Name);
    if (index < 0)
        DatabaseErrorFmt(DBMessages::IndexNotFound, {Name}, FDataSet);
    return Items(index);
}

TIndexDef* TIndexDefs::GetIndexForFields(const std::string& Fields, bool CaseInsensitive) const
{
    const std::size_t length = Fields.size();
    for (int i = 0; i < Count(); ++i) {
        TIndexDef* def = Items(i);
        if (def->Options().Contains(ixExpression))
            continue;
        if (CaseInsensitive != def->Options().Contains(ixCaseInsensitive))
            continue;
        const std::string& indexFields = def->Fields();
        if (AnsiSameText(indexFields, Fields))
            return def;
        // The index may have further fields after the ones asked for.
        if (indexFields.size() > length && indexFields[length] == ';' &&
            AnsiSameText(indexFields.substr(0, length), Fields))
            return def;
    }
    return nullptr;
}

TIndexDef* TIndexDefs::FindIndexForFields(const std::string& Fields) const
{
    TIndexDef* def = GetIndexForFields(Fields, false);
    if (!def)
        def = GetIndexForFields(Fields, true);
    if (!def)
        DatabaseErrorFmt(DBMessages::NoIndexForFields, {Fields}, FDataSet);
    return def;
}
