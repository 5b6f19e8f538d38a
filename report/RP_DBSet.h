#pragma once
// The report data set over a table of the program, directly or through a data source.

#include "report/RP_DSet.h"

#include "platform/db/DBCommon.h"

class TDataSet;
class TDataSource;

// "Unable to open dataset " and the report data set's name.
TESS_EXCEPTION(EDSError, EDatabaseError)

class TrpDBDataSet : public TrpDataset {
    TESS_CLASS(TrpDBDataSet, TrpDataset)
public:
    explicit TrpDBDataSet(TComponent* AOwner);

    TDataSet* DataSet() const { return FDataSet; }
    // Clears DataSource.
    void SetDataSet(TDataSet* value);
    TDataSource* DataSource() const { return FDataSource; }
    // A data source clears DataSet.
    void SetDataSource(TDataSource* value);
    // The data set of the data source, else DataSet; raises EDSError when there is none.
    TDataSet* GetDataSet() const;

    void Open();
    void Close();
    // Opens the data set and remembers the current record.
    void Init() override;
    // Goes back to the remembered record when a range used it, then closes.
    void Exit() override;
    void First() override;
    void Next() override;
    bool Eof() override;

    bool OpenDataSource = true;
    bool CloseDataSource = false;
    TNotifyEvent OnOpen;
    TNotifyEvent OnClose;

    // The record current at Init, empty when none.
    TBookmark SavedPosition;
    // A reCurrent walk has passed its record.
    bool RangeDone = false;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    bool OnSavedRecord() const;

    TDataSet* FDataSet = nullptr;
    TDataSource* FDataSource = nullptr;
};
