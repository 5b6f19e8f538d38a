#include "platform/db/DataSource.h"

#include "platform/db/DataSet.h"

#include <algorithm>

// --- TDataSource ---

TDataSource::TDataSource(TComponent* AOwner) : TComponent(AOwner) {}

TDataSource::~TDataSource()
{
    OnStateChange = nullptr;
    OnDataChange = nullptr;
    try {
        SetDataSet(nullptr);
    } catch (...) {
        HandleApplicationException(this);
    }
    while (!FDataLinks.empty())
        RemoveDataLink(FDataLinks.back());
}

void TDataSource::SetDataSet(TDataSet* ADataSet)
{
    if (ADataSet == FDataSet)
        return;
    if (IsLinkedTo(ADataSet))
        DatabaseError(DBMessages::CircularDataLink, this);
    if (FDataSet) {
        FDataSet->RemoveFreeNotification(this);
        FDataSet->RemoveDataSource(this);
    }
    if (ADataSet) {
        ADataSet->FreeNotification(this);
        ADataSet->AddDataSource(this);
    }
}

bool TDataSource::IsLinkedTo(TDataSet* DataSet) const
{
    while (DataSet) {
        TDataSource* source = DataSet->GetDataSource();
        if (!source)
            break;
        if (source == this)
            return true;
        DataSet = source->DataSet();
    }
    return false;
}

void TDataSource::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FDataSet) {
        // The data set is being destroyed: it detaches its sources itself.
        FDataSet->FDataSources.erase(
            std::remove(FDataSet->FDataSources.begin(), FDataSet->FDataSources.end(), this),
            FDataSet->FDataSources.end());
        FDataSet = nullptr;
        UpdateState();
    }
}

void TDataSource::SetEnabled(bool value)
{
    FEnabled = value;
    UpdateState();
}

void TDataSource::Edit()
{
    if (FAutoEdit && FState == dsBrowse && FDataSet)
        FDataSet->Edit();
}

void TDataSource::AddDataLink(TDataLink* DataLink)
{
    FDataLinks.push_back(DataLink);
    DataLink->FDataSource = this;
    if (FDataSet)
        FDataSet->UpdateBufferCount();
    DataLink->UpdateState();
}

void TDataSource::RemoveDataLink(TDataLink* DataLink)
{
    DataLink->FDataSource = nullptr;
    FDataLinks.erase(std::remove(FDataLinks.begin(), FDataLinks.end(), DataLink), FDataLinks.end());
    DataLink->UpdateState();
    if (FDataSet)
        FDataSet->UpdateBufferCount();
}

void TDataSource::NotifyDataLinks(TDataEvent Event, std::intptr_t Info)
{
    // By index, as a notice may make a link leave the list.
    for (std::size_t i = 0; i < FDataLinks.size(); ++i)
        FDataLinks[i]->DataEvent(Event, Info);
}

void TDataSource::DataEvent(TDataEvent Event, std::intptr_t Info)
{
    if (Event == deUpdateState) {
        UpdateState();
        return;
    }
    if (Event == deDisabledStateChange) {
        // A data set that closes while its controls are disabled must not leave its links
        // looking at freed buffers.
        if (Info == 0)
            UpdateState();
        return;
    }
    if (FState == dsInactive)
        return;
    NotifyDataLinks(Event, Info);
    switch (Event) {
    case deFieldChange:
    case deRecordChange:
        if (OnDataChange)
            OnDataChange(this, reinterpret_cast<TField*>(Info));
        break;
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange:
        if (OnDataChange)
            OnDataChange(this, nullptr);
        break;
    case deUpdateRecord:
        if (OnUpdateData)
            OnUpdateData(this);
        break;
    default:
        break;
    }
}

void TDataSource::UpdateState()
{
    if (FEnabled && FDataSet)
        SetState(FDataSet->State());
    else
        SetState(dsInactive);
}

void TDataSource::SetState(TDataSetState Value)
{
    if (FState == Value)
        return;
    const TDataSetState prior = FState;
    FState = Value;
    NotifyDataLinks(deUpdateState, 0);
    if (ComponentState().Contains(csDestroying))
        return;
    if (OnStateChange)
        OnStateChange(this);
    if (prior == dsInactive && OnDataChange)
        OnDataChange(this, nullptr);
}

// --- TDataLink ---

TDataLink::TDataLink() = default;

TDataLink::~TDataLink()
{
    FActive = false;
    FEditing = false;
    if (FDataSource) {
        try {
            FDataSource->RemoveDataLink(this);
        } catch (...) {
            HandleApplicationException(nullptr);
        }
    }
}

void TDataLink::SetDataSource(TDataSource* ADataSource)
{
    if (ADataSource == FDataSource)
        return;
    if (TDataSet* detail = GetDetailDataSet()) {
        for (TDataSource* source = ADataSource; source && source->DataSet();
             source = source->DataSet()->GetDataSource()) {
            if (source->DataSet() == detail)
                DatabaseError(DBMessages::SelfReference, detail);
        }
    }
    if (FDataSource)
        FDataSource->RemoveDataLink(this);
    if (ADataSource)
        ADataSource->AddDataLink(this);
}

TDataSet* TDataLink::DataSet() const
{
    return FDataSource ? FDataSource->DataSet() : nullptr;
}

int TDataLink::ActiveRecord() const
{
    if (!FDataSource || !FDataSource->DataSet())
        return 0;
    if (FDataSource->State() == dsSetKey)
        return 0;
    return FDataSource->DataSet()->FActiveRecord - FFirstRecord;
}

void TDataLink::SetActiveRecord(int value)
{
    if (FDataSource && FDataSource->DataSet() && FDataSource->State() != dsSetKey)
        FDataSource->DataSet()->FActiveRecord = value + FFirstRecord;
}

void TDataLink::SetBufferCount(int value)
{
    if (FBufferCount == value)
        return;
    FBufferCount = std::max(1, value);
    if (FActive) {
        DataSet()->UpdateBufferCount();
        UpdateRange();
    }
}

int TDataLink::RecordCount() const
{
    if (!FDataSource || !FDataSource->DataSet())
        return 0;
    if (FDataSource->State() == dsSetKey)
        return 1;
    return std::min(FDataSource->DataSet()->FRecordCount, FBufferCount);
}

void TDataLink::SetReadOnly(bool value)
{
    if (FReadOnly != value) {
        FReadOnly = value;
        UpdateState();
    }
}

bool TDataLink::Edit()
{
    if (!FReadOnly && FDataSource)
        FDataSource->Edit();
    return FEditing;
}

void TDataLink::UpdateRecord()
{
    FUpdating = true;
    try {
        UpdateData();
    } catch (...) {
        FUpdating = false;
        throw;
    }
    FUpdating = false;
}

void TDataLink::UpdateState()
{
    SetActive(FDataSource && FDataSource->State() != dsInactive);
    SetEditing(FDataSource && IsEditMode(FDataSource->State()) && !FReadOnly);
}

void TDataLink::SetActive(bool value)
{
    if (FActive == value)
        return;
    FActive = value;
    if (value)
        UpdateRange();
    else
        FFirstRecord = 0;
    ActiveChanged();
}

void TDataLink::SetEditing(bool value)
{
    if (FEditing != value) {
        FEditing = value;
        EditingChanged();
    }
}

// Keeps this link's window over the data set's buffers around the active record.
void TDataLink::UpdateRange()
{
    TDataSet* dataSet = DataSet();
    if (!dataSet)
        return;
    int minimum = std::max(0, dataSet->FActiveRecord - FBufferCount + 1);
    int maximum = std::max(0, dataSet->FBufferCount - FBufferCount);
    maximum = std::min(maximum, dataSet->FActiveRecord);
    if (FFirstRecord < minimum)
        FFirstRecord = minimum;
    if (FFirstRecord > maximum)
        FFirstRecord = maximum;
    if (FFirstRecord != 0 && dataSet->FActiveRecord - FFirstRecord < FBufferCount - 1)
        --FFirstRecord;
}

void TDataLink::DataEvent(TDataEvent Event, std::intptr_t Info)
{
    if (Event == deUpdateState) {
        UpdateState();
        return;
    }
    if (!FActive)
        return;
    switch (Event) {
    case deFieldChange:
    case deRecordChange:
        if (!FUpdating)
            RecordChanged(reinterpret_cast<TField*>(Info));
        break;
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange: {
        int count = 0;
        if (FDataSource->State() != dsSetKey) {
            const int first = FFirstRecord + static_cast<int>(Info);
            UpdateRange();
            count = first - FFirstRecord;
        }
        if (Event == deDataSetChange)
            DataSetChanged();
        else if (Event == deDataSetScroll)
            DataSetScrolled(count);
        else
            LayoutChanged();
        break;
    }
    case deUpdateRecord:
        UpdateRecord();
        break;
    case deCheckBrowseMode:
        CheckBrowseMode();
        break;
    case deFocusControl:
        FocusControl(reinterpret_cast<TField**>(Info));
        break;
    default:
        break;
    }
}

// --- TMasterDataLink ---

TMasterDataLink::TMasterDataLink(TDataSet* DataSet) : FDataSet(DataSet) {}

void TMasterDataLink::SetFieldNames(const std::string& value)
{
    if (FFieldNames != value) {
        FFieldNames = value;
        ActiveChanged();
    }
}

void TMasterDataLink::ActiveChanged()
{
    FFields.clear();
    if (Active()) {
        try {
            DataSet()->GetFieldList(FFields, FFieldNames);
        } catch (...) {
            FFields.clear();
            throw;
        }
    }
    if (FDataSet->Active() && !FDataSet->ComponentState().Contains(csDestroying)) {
        if (Active() && !FFields.empty()) {
            if (OnMasterChange)
                OnMasterChange(this);
        } else if (OnMasterDisable) {
            OnMasterDisable(this);
        }
    }
}

void TMasterDataLink::CheckBrowseMode()
{
    if (FDataSet->Active())
        FDataSet->CheckBrowseMode();
}

void TMasterDataLink::LayoutChanged()
{
    ActiveChanged();
}

void TMasterDataLink::RecordChanged(TField* Field)
{
    if (DataSource()->State() != dsSetKey && FDataSet->Active() && !FFields.empty() &&
        (!Field || std::find(FFields.begin(), FFields.end(), Field) != FFields.end()) &&
        OnMasterChange)
        OnMasterChange(this);
}

// --- TFieldDataLink ---

void TFieldDataLink::SetFieldName(const std::string& value)
{
    if (FFieldName != value) {
        FFieldName = value;
        UpdateField();
    }
}

void TFieldDataLink::SetField(TField* value)
{
    if (FField != value) {
        FField = value;
        EditingChanged();
        RecordChanged(nullptr);
    }
}

void TFieldDataLink::UpdateField()
{
    if (Active() && !FFieldName.empty()) {
        FField = nullptr;
        SetField(DataSet()->FieldByName(FFieldName));
    } else {
        SetField(nullptr);
    }
}

bool TFieldDataLink::CanModify() const
{
    return !ReadOnly() && FField && FField->CanModify();
}

bool TFieldDataLink::Edit()
{
    if (CanModify())
        TDataLink::Edit();
    return FEditing;
}

void TFieldDataLink::ActiveChanged()
{
    UpdateField();
    if (OnActiveChange)
        OnActiveChange(this);
}

void TFieldDataLink::EditingChanged()
{
    SetEditingState(TDataLink::Editing() && CanModify());
}

void TFieldDataLink::SetEditingState(bool value)
{
    if (FEditing != value) {
        FEditing = value;
        FModified = false;
        if (OnEditingChange)
            OnEditingChange(this);
    }
}

void TFieldDataLink::FocusControl(TField** Field)
{
    if (*Field && *Field == FField && OnFocusControl) {
        *Field = nullptr;
        OnFocusControl(this);
    }
}

void TFieldDataLink::LayoutChanged()
{
    UpdateField();
}

void TFieldDataLink::RecordChanged(TField* Field)
{
    if (!Field || Field == FField) {
        if (OnDataChange)
            OnDataChange(this);
        FModified = false;
    }
}

void TFieldDataLink::UpdateData()
{
    if (FModified) {
        if (FField && OnUpdateData)
            OnUpdateData(this);
        FModified = false;
    }
}
