#include "platform/db/Field.h"

#include "platform/db/DataSet.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <cstring>

// --- TField ---

TField::TField(TComponent* AOwner) : TComponent(AOwner) {}

TField::~TField()
{
    if (FDataSet) {
        TDataSet* dataSet = FDataSet;
        FDataSet = nullptr;
        try {
            // A data set cannot stay open with one of its fields gone.
            dataSet->Close();
            dataSet->FFields->Remove(this);
        } catch (...) {
            HandleApplicationException(this);
        }
    }
}

void TField::CheckInactive() const
{
    if (FDataSet)
        FDataSet->CheckInactive();
}

void TField::SetDataSet(TDataSet* ADataSet)
{
    if (ADataSet == FDataSet)
        return;
    if (FDataSet)
        FDataSet->CheckInactive();
    if (ADataSet) {
        ADataSet->CheckInactive();
        if (!FFieldName.empty() && ADataSet->FindField(FFieldName))
            DatabaseErrorFmt(DBMessages::DuplicateFieldName, {DisplayName()}, ADataSet);
    }
    if (FDataSet)
        FDataSet->FFields->Remove(this);
    FDataSet = ADataSet;
    if (ADataSet)
        ADataSet->FFields->Add(this);
}

void TField::SetFieldName(const std::string& value)
{
    CheckInactive();
    if (FDataSet && !AnsiSameText(value, FFieldName)) {
        TField* other = FDataSet->FindField(value);
        if (other && other != this)
            DatabaseErrorFmt(DBMessages::DuplicateFieldName, {value}, FDataSet);
    }
    FFieldName = value;
    if (FDisplayLabel.empty())
        PropertyChanged(true);
}

void TField::SetSize(int value)
{
    CheckInactive();
    FSize = value;
}

void TField::SetFieldKind(TFieldKind value)
{
    if (value != FFieldKind) {
        CheckInactive();
        FFieldKind = value;
    }
}

int TField::Index() const
{
    return FDataSet ? FDataSet->FFields->IndexOf(const_cast<TField*>(this)) : -1;
}

void TField::SetIndex(int value)
{
    if (FDataSet)
        FDataSet->FFields->SetFieldIndex(this, value);
}

void TField::SetReadOnly(bool value)
{
    if (FReadOnly != value) {
        FReadOnly = value;
        PropertyChanged(true);
    }
}

void TField::SetVisible(bool value)
{
    if (FVisible != value) {
        FVisible = value;
        PropertyChanged(true);
    }
}

void TField::SetDisplayLabel(const std::string& value)
{
    const std::string newLabel = value == FFieldName ? std::string() : value;
    if (FDisplayLabel != newLabel) {
        FDisplayLabel = newLabel;
        PropertyChanged(true);
    }
}

std::string TField::DisplayName() const
{
    return FDisplayLabel.empty() ? FFieldName : FDisplayLabel;
}

int TField::DisplayWidth() const
{
    return FDisplayWidth > 0 ? FDisplayWidth : GetDefaultWidth();
}

void TField::SetDisplayWidth(int value)
{
    if (FDisplayWidth != value) {
        FDisplayWidth = value;
        PropertyChanged(true);
    }
}

void TField::SetEditMask(const std::string& value)
{
    FEditMask = value;
    PropertyChanged(false);
}

void TField::SetAlignment(TAlignment value)
{
    if (FAlignment != value) {
        FAlignment = value;
        PropertyChanged(false);
    }
}

void TField::SetKeyFields(const std::string& value)
{
    CheckInactive();
    FKeyFields = value;
}

void TField::SetLookupDataSet(TDataSet* value)
{
    CheckInactive();
    if (value == FLookupDataSet)
        return;
    if (FLookupDataSet)
        FLookupDataSet->RemoveFreeNotification(this);
    FLookupDataSet = value;
    if (value)
        value->FreeNotification(this);
}

void TField::SetLookupKeyFields(const std::string& value)
{
    CheckInactive();
    FLookupKeyFields = value;
}

void TField::SetLookupResultField(const std::string& value)
{
    CheckInactive();
    FLookupResultField = value;
}

void TField::SetLookup(bool value)
{
    if (value != Lookup())
        SetFieldKind(value ? fkLookup : fkData);
}

void TField::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FLookupDataSet)
        FLookupDataSet = nullptr;
}

bool TField::IsNull() const
{
    if (FValidating)
        return FValueBuffer == nullptr;
    return !GetData(nullptr);
}

void TField::Clear()
{
    SetData(nullptr);
}

bool TField::GetData(void* buffer) const
{
    if (!FDataSet)
        DatabaseErrorFmt(DBMessages::DataSetMissing, {DisplayName()});
    if (FValidating) {
        if (!FValueBuffer)
            return false;
        if (buffer)
            std::memcpy(buffer, FValueBuffer, static_cast<std::size_t>(DataSize()));
        return true;
    }
    return FDataSet->GetFieldData(const_cast<TField*>(this), buffer);
}

void TField::SetData(const void* buffer)
{
    if (!FDataSet)
        DatabaseErrorFmt(DBMessages::DataSetMissing, {DisplayName()});
    const void* saved = FValueBuffer;
    FValueBuffer = buffer;
    try {
        FDataSet->SetFieldData(this, buffer);
    } catch (...) {
        FValueBuffer = saved;
        throw;
    }
    FValueBuffer = saved;
}

void TField::Validate(const void* buffer)
{
    if (!OnValidate)
        return;
    const void* saved = FValueBuffer;
    FValueBuffer = buffer;
    FValidating = true;
    try {
        OnValidate(this);
    } catch (...) {
        FValidating = false;
        FValueBuffer = saved;
        throw;
    }
    FValidating = false;
    FValueBuffer = saved;
}

void TField::Change()
{
    if (OnChange)
        OnChange(this);
}

void TField::FocusControl()
{
    if (FDataSet && FDataSet->Active()) {
        TField* field = this;
        FDataSet->DataEvent(deFocusControl, reinterpret_cast<std::intptr_t>(&field));
    }
}

bool TField::GetCanModify() const
{
    if (!FDataSet || FFieldNo <= 0)
        return false;
    if (FDataSet->State() != dsSetKey)
        return !FReadOnly && FDataSet->CanModify();
    return IsIndexField();
}

bool TField::IsIndexField() const
{
    return FDataSet && FDataSet->GetIsIndexField(const_cast<TField*>(this));
}

void TField::Assign(TPersistent* Source)
{
    if (!Source) {
        Clear();
        return;
    }
    if (auto* field = dynamic_cast<TField*>(Source)) {
        SetAsVariant(field->AsVariant());
        return;
    }
    TComponent::Assign(Source);
}

void TField::CalcLookupValue()
{
    if (FLookupDataSet && FLookupDataSet->Active() && FDataSet)
        SetAsVariant(FLookupDataSet->Lookup(FLookupKeyFields, FDataSet->FieldValues(FKeyFields),
                                            FLookupResultField));
}

void TField::SetAsVariant(const Variant& value)
{
    if (VarIsNull(value) || VarIsEmpty(value))
        Clear();
    else
        SetVarValue(value);
}

Variant TField::OldValue() const
{
    return FDataSet ? FDataSet->GetStateFieldValue(dsOldValue, const_cast<TField*>(this)) : Null();
}

Variant TField::NewValue() const
{
    return FDataSet ? FDataSet->GetStateFieldValue(dsNewValue, const_cast<TField*>(this)) : Null();
}

Variant TField::CurValue() const
{
    return FDataSet ? FDataSet->GetStateFieldValue(dsCurValue, const_cast<TField*>(this)) : Null();
}

std::string TField::Text() const
{
    std::string text;
    if (OnGetText)
        OnGetText(const_cast<TField*>(this), text, false);
    else
        GetText(text, false);
    return text;
}

std::string TField::DisplayText() const
{
    std::string text;
    if (OnGetText)
        OnGetText(const_cast<TField*>(this), text, true);
    else
        GetText(text, true);
    return text;
}

void TField::SetText(const std::string& value)
{
    if (OnSetText)
        OnSetText(this, value);
    else
        SetTextValue(value);
}

void TField::GetText(std::string& text, bool /*displayText*/) const
{
    text = GetAsString();
}

std::string TField::GetAsString() const
{
    // The class library shows a field without a text form by its kind: "(Blob)".
    std::string name = ClassName();
    if (name.size() > 1 && name[0] == 'T')
        name.erase(0, 1);
    if (name.size() > 5 && name.compare(name.size() - 5, 5, "Field") == 0)
        name.erase(name.size() - 5);
    return "(" + name + ")";
}

void TField::SetAsString(const std::string& /*value*/) { AccessError("String"); }
int TField::GetAsInteger() const { AccessError("Integer"); }
void TField::SetAsInteger(int /*value*/) { AccessError("Integer"); }
double TField::GetAsFloat() const { AccessError("Float"); }
void TField::SetAsFloat(double /*value*/) { AccessError("Float"); }
bool TField::GetAsBoolean() const { AccessError("Boolean"); }
void TField::SetAsBoolean(bool /*value*/) { AccessError("Boolean"); }
double TField::GetAsDateTime() const { AccessError("DateTime"); }
void TField::SetAsDateTime(double /*value*/) { AccessError("DateTime"); }
Variant TField::GetAsVariant() const { AccessError("Variant"); }
void TField::SetVarValue(const Variant& /*value*/) { AccessError("Variant"); }

void TField::AccessError(const std::string& typeName) const
{
    DatabaseErrorFmt(DBMessages::FieldAccessError, {DisplayName(), typeName});
}

void TField::Bind(bool binding)
{
    if (binding && FFieldKind == fkLookup &&
        (!FLookupDataSet || FKeyFields.empty() || FLookupKeyFields.empty() ||
         FLookupResultField.empty()))
        DatabaseErrorFmt(DBMessages::LookupIncomplete, {DisplayName()}, FDataSet);
}

void TField::PropertyChanged(bool layoutAffected)
{
    if (FDataSet && FDataSet->Active())
        FDataSet->DataEvent(layoutAffected ? deLayoutChange : deDataSetChange, 0);
}

// --- TFields ---

TField* TFields::Fields(int index) const
{
    if (index < 0 || index >= Count())
        DatabaseError(DBMessages::FieldIndexError, FDataSet);
    return FList[static_cast<std::size_t>(index)];
}

void TFields::Add(TField* field)
{
    FList.push_back(field);
    Changed();
}

void TFields::Remove(TField* field)
{
    auto it = std::find(FList.begin(), FList.end(), field);
    if (it == FList.end())
        return;
    FList.erase(it);
    Changed();
}

void TFields::Clear()
{
    while (!FList.empty()) {
        TField* field = FList.back();
        FList.pop_back();
        field->FDataSet = nullptr;
        TComponent::Free(field);
    }
    Changed();
}

int TFields::IndexOf(TField* field) const
{
    auto it = std::find(FList.begin(), FList.end(), field);
    return it == FList.end() ? -1 : static_cast<int>(it - FList.begin());
}

TField* TFields::FindField(const std::string& name) const
{
    for (TField* field : FList)
        if (AnsiSameText(field->FieldName(), name))
            return field;
    return nullptr;
}

TField* TFields::FieldByName(const std::string& name) const
{
    TField* field = FindField(name);
    if (!field)
        DatabaseErrorFmt(DBMessages::FieldNotFound, {name}, FDataSet);
    return field;
}

TField* TFields::FieldByNumber(int fieldNo) const
{
    for (TField* field : FList)
        if (field->FieldNo() == fieldNo)
            return field;
    return nullptr;
}

void TFields::SetFieldIndex(TField* field, int value)
{
    const int current = IndexOf(field);
    if (current < 0)
        return;
    value = std::clamp(value, 0, Count() - 1);
    if (value == current)
        return;
    FList.erase(FList.begin() + current);
    FList.insert(FList.begin() + value, field);
    Changed();
}

void TFields::Changed()
{
    if (FDataSet && !FDataSet->ComponentState().Contains(csDestroying) && FDataSet->Active())
        FDataSet->DataEvent(deLayoutChange, 0);
}
