#pragma once
// TDataSource, the meeting point of a data set and the data links that follow it (grids, edit
// controls, report walkers, detail data sets), and the links themselves.

#include "platform/db/DBCommon.h"
#include "platform/rtl/Classes.h"

#include <functional>
#include <string>
#include <vector>

class TDataLink;

using TDataChangeEvent = std::function<void(TObject* Sender, TField* Field)>;

class TDataSource : public TComponent {
    TESS_CLASS(TDataSource, TComponent)
public:
    explicit TDataSource(TComponent* AOwner);
    ~TDataSource() override;

    TDataSet* DataSet() const { return FDataSet; }
    // Raises "Circular datalinks are not allowed" when the data set leads back to this source.
    void SetDataSet(TDataSet* ADataSet);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    bool AutoEdit() const { return FAutoEdit; }
    void SetAutoEdit(bool value) { FAutoEdit = value; }
    TDataSetState State() const { return FState; }
    // Puts the data set in edit state when AutoEdit allows it and it is browsing.
    void Edit();
    // True when the data set, through its master source chain, is linked to this source.
    bool IsLinkedTo(TDataSet* DataSet) const;
    int DataLinkCount() const { return static_cast<int>(FDataLinks.size()); }
    TDataLink* DataLinks(int index) const { return FDataLinks[index]; }

    TDataChangeEvent OnDataChange;
    TNotifyEvent OnStateChange;
    TNotifyEvent OnUpdateData;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    friend class TDataSet;
    friend class TDataLink;

    void AddDataLink(TDataLink* DataLink);
    void RemoveDataLink(TDataLink* DataLink);
    void DataEvent(TDataEvent Event, std::intptr_t Info);
    void NotifyDataLinks(TDataEvent Event, std::intptr_t Info);
    void SetState(TDataSetState Value);
    void UpdateState();

    TDataSet* FDataSet = nullptr;
    bool FEnabled = true;
    bool FAutoEdit = true;
    TDataSetState FState = dsInactive;
    std::vector<TDataLink*> FDataLinks;
};

// Follows the data set of a data source. BufferCount asks the data set to keep that many
// records in its buffers; ActiveRecord is the current record's index among this link's ones.
class TDataLink : public TPersistent {
    TESS_CLASS(TDataLink, TPersistent)
public:
    TDataLink();
    ~TDataLink() override;
    TDataLink(const TDataLink&) = delete;
    TDataLink& operator=(const TDataLink&) = delete;

    TDataSource* DataSource() const { return FDataSource; }
    void SetDataSource(TDataSource* ADataSource);
    TDataSet* DataSet() const;
    bool Active() const { return FActive; }
    int ActiveRecord() const;
    void SetActiveRecord(int value);
    int BufferCount() const { return FBufferCount; }
    void SetBufferCount(int value);
    // The number of this link's buffers that hold a record.
    int RecordCount() const;
    bool Editing() const { return FEditing; }
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);
    // Puts the data set in edit state through the data source; returns Editing.
    bool Edit();
    void UpdateRecord();
    // The detail data set this link feeds, for the circular-link checks.
    virtual TDataSet* GetDetailDataSet() { return nullptr; }

protected:
    virtual void ActiveChanged() {}
    virtual void CheckBrowseMode() {}
    virtual void DataSetChanged() { RecordChanged(nullptr); }
    virtual void DataSetScrolled(int /*Distance*/) { DataSetChanged(); }
    virtual void EditingChanged() {}
    virtual void FocusControl(TField** /*Field*/) {}
    virtual void LayoutChanged() { DataSetChanged(); }
    virtual void RecordChanged(TField* /*Field*/) {}
    virtual void UpdateData() {}

    // The first of the data set's buffers this link looks at.
    int FFirstRecord = 0;

private:
    friend class TDataSource;
    friend class TDataSet;

    void DataEvent(TDataEvent Event, std::intptr_t Info);
    void UpdateState();
    void UpdateRange();
    void SetActive(bool value);
    void SetEditing(bool value);

    TDataSource* FDataSource = nullptr;
    int FBufferCount = 1;
    bool FActive = false;
    bool FEditing = false;
    bool FReadOnly = false;
    bool FUpdating = false;
};

class TDetailDataLink : public TDataLink {
    TESS_CLASS(TDetailDataLink, TDataLink)
};

// The link of a detail data set to its master: OnMasterChange when the master's record (or one
// of the named master fields) changes, OnMasterDisable when the master closes.
class TMasterDataLink : public TDetailDataLink {
    TESS_CLASS(TMasterDataLink, TDetailDataLink)
public:
    explicit TMasterDataLink(TDataSet* DataSet);

    TDataSet* GetDetailDataSet() override { return FDataSet; }
    const std::string& FieldNames() const { return FFieldNames; }
    void SetFieldNames(const std::string& value);
    // The master's fields named by FieldNames, while the master is open.
    const std::vector<TField*>& Fields() const { return FFields; }

    TNotifyEvent OnMasterChange;
    TNotifyEvent OnMasterDisable;

protected:
    void ActiveChanged() override;
    void CheckBrowseMode() override;
    void LayoutChanged() override;
    void RecordChanged(TField* Field) override;

private:
    TDataSet* FDataSet;
    std::string FFieldNames;
    std::vector<TField*> FFields;
};

// The link of a data-aware control to one field.
class TFieldDataLink : public TDataLink {
    TESS_CLASS(TFieldDataLink, TDataLink)
public:
    const std::string& FieldName() const { return FFieldName; }
    void SetFieldName(const std::string& value);
    TField* Field() const { return FField; }
    TComponent* Control() const { return FControl; }
    void SetControl(TComponent* value) { FControl = value; }
    bool CanModify() const;
    bool Editing() const { return FEditing; }
    bool Edit();
    // The control's value differs from the field's; UpdateData then writes it.
    void Modified() { FModified = true; }
    bool IsModified() const { return FModified; }
    // Shows the field's value again.
    void Reset() { RecordChanged(nullptr); }

    TNotifyEvent OnDataChange;
    TNotifyEvent OnEditingChange;
    TNotifyEvent OnUpdateData;
    TNotifyEvent OnActiveChange;
    // Asked to focus the control when the data set wants the field's control focused.
    TNotifyEvent OnFocusControl;

protected:
    void ActiveChanged() override;
    void EditingChanged() override;
    void FocusControl(TField** Field) override;
    void LayoutChanged() override;
    void RecordChanged(TField* Field) override;
    void UpdateData() override;

private:
    void UpdateField();
    void SetField(TField* value);
    void SetEditingState(bool value);

    std::string FFieldName;
    TField* FField = nullptr;
    TComponent* FControl = nullptr;
    bool FEditing = false;
    bool FModified = false;
};
