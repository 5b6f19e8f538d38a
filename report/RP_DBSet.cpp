#include "report/RP_DBSet.h"

#include "report/RP_DBRel.h"

#include "platform/db/DataSet.h"
#include "platform/db/DataSource.h"

TrpDBDataSet::TrpDBDataSet(TComponent* AOwner) : TrpDataset(AOwner) {}

void TrpDBDataSet::SetDataSet(TDataSet* value)
{
    FDataSet = value;
    FDataSource = nullptr;
    if (value)
        value->FreeNotification(this);
}

void TrpDBDataSet::SetDataSource(TDataSource* value)
{
    FDataSource = value;
    if (!value)
        return;
    FDataSet = nullptr;
    value->FreeNotification(this);
}

TDataSet* TrpDBDataSet::GetDataSet() const
{
    if (FDataSource && FDataSource->DataSet())
        return FDataSource->DataSet();
    if (FDataSet)
        return FDataSet;
    RAISE(EDSError("Unable to open dataset " + Name()));
}

void TrpDBDataSet::Open()
{
    if (OpenDataSource)
        GetDataSet()->Open();
    if (OnOpen)
        OnOpen(this);
}

void TrpDBDataSet::Close()
{
    if (OnClose)
        OnClose(this);
    if (CloseDataSource)
        GetDataSet()->Close();
}

void TrpDBDataSet::Init()
{
    Open();
    SavedPosition = rpGetBookmark(GetDataSet());
    RangeDone = false;
}

void TrpDBDataSet::Exit()
{
    if (!SavedPosition.empty()) {
        TDataSet* dataSet = GetDataSet();
        if (RangeBegin == rbCurrent || RangeEnd == reCurrent)
            rpGotoBookmark(dataSet, SavedPosition);
        rpFreeBookmark(dataSet, SavedPosition);
    }
    SavedPosition.clear();
    Close();
}

void TrpDBDataSet::First()
{
    TDataSet* dataSet = GetDataSet();
    if (RangeBegin == rbFirst)
        dataSet->First();
    else if (!SavedPosition.empty())
        rpGotoBookmark(dataSet, SavedPosition);
    RangeDone = false;
    TrpDataset::First();
}

bool TrpDBDataSet::OnSavedRecord() const
{
    if (SavedPosition.empty())
        return false;
    TDataSet* dataSet = GetDataSet();
    return rpIsBookmarksEqual(dataSet, rpGetBookmark(dataSet), SavedPosition);
}

void TrpDBDataSet::Next()
{
    RangeDone = false;
    if (RangeEnd == reCurrent && OnSavedRecord()) {
        RangeDone = true;
        // A walk of the current record alone stays on it.
        if (RangeBegin == rbCurrent)
            return;
    }
    // From the first record up to the current one the walk moves on and ends once it has passed
    // the remembered record.
    GetDataSet()->Next();
    TrpDataset::Next();
}

bool TrpDBDataSet::Eof()
{
    const bool baseEof = TrpDataset::Eof();
    return baseEof || GetDataSet()->Eof() || RangeDone;
}

void TrpDBDataSet::Notification(TComponent* AComponent, TOperation Operation)
{
    TrpDataset::Notification(AComponent, Operation);
    if (Operation != opRemove)
        return;
    if (AComponent == FDataSet)
        FDataSet = nullptr;
    if (AComponent == FDataSource)
        FDataSource = nullptr;
}
