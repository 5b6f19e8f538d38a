#include "tablestore/zelCustomDeltaHandler.h"

#include "tablestore/zelMemTable.h"

TzelCustomDeltaHandler::TzelCustomDeltaHandler(TComponent* AOwner) : TComponent(AOwner) {}

TzelCustomDeltaHandler::~TzelCustomDeltaHandler()
{
    if (FTable)
        FTable->SetDeltaHandler(nullptr);
}

void TzelCustomDeltaHandler::Resolve()
{
    CheckDataSet();
    FTable->Resolve(this);
}

void TzelCustomDeltaHandler::CheckDataSet()
{
    if (!FTable)
        RAISE(EMemTableError("Delta handler is not assigned to any memorytables."));
}

int TzelCustomDeltaHandler::GetFieldCount()
{
    CheckDataSet();
    return FTable->FieldCount();
}

TField* TzelCustomDeltaHandler::GetFields(int Index)
{
    CheckDataSet();
    return FTable->Fields().Fields(Index);
}

std::string TzelCustomDeltaHandler::GetFieldNames(int Index)
{
    return GetFields(Index)->FieldName();
}

Variant TzelCustomDeltaHandler::ReadValue(TzelRecord* Record, TField* Field)
{
    if (!Record)
        return Null();
    TzelRecord* saved = FTable->VersionReadRecord();
    FTable->SetVersionReadRecord(Record);
    Variant value;
    try {
        value = Field->IsNull() ? Null() : Field->AsVariant();
    } catch (...) {
        FTable->SetVersionReadRecord(saved);
        throw;
    }
    FTable->SetVersionReadRecord(saved);
    return value;
}

Variant TzelCustomDeltaHandler::GetValues(int Index)
{
    CheckDataSet();
    return ReadValue(FCurrent, GetFields(Index));
}

Variant TzelCustomDeltaHandler::GetValuesByName(const std::string& Name)
{
    CheckDataSet();
    return ReadValue(FCurrent, FTable->FieldByName(Name));
}

Variant TzelCustomDeltaHandler::GetOrigValues(int Index)
{
    CheckDataSet();
    return ReadValue(FOldest, GetFields(Index));
}

Variant TzelCustomDeltaHandler::GetOrigValuesByName(const std::string& Name)
{
    CheckDataSet();
    return ReadValue(FOldest, FTable->FieldByName(Name));
}

int TzelCustomDeltaHandler::GetRecordNo()
{
    return FCurrent ? FCurrent->Position + 1 : 0;
}

int TzelCustomDeltaHandler::GetUniqueRecordID()
{
    return FCurrent ? FCurrent->UniqueID : -1;
}

void TzelCustomDeltaHandler::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && FTable && AComponent == FTable)
        FTable = nullptr;
}
