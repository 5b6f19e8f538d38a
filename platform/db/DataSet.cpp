#include "platform/db/DataSet.h"

#include "platform/db/DataSource.h"
#include "platform/db/StdFields.h"
#include "platform/rtl/Lists.h"

#include <algorithm>

// --- Life ---

TDataSet::TDataSet(TComponent* AOwner)
    : TComponent(AOwner), FFieldDefs(std::make_unique<TFieldDefs>(this)),
      FFields(std::make_unique<TFields>(this))
{
    RegisterFieldClasses();
}

TDataSet::~TDataSet()
{
    // The descendant's part is gone: no virtual operation of it may run any more. A descendant
    // closes the data set in its own destructor (Free and owners close it in BeforeDestruction).
    Destroying();
    FState = dsInactive;
    while (!FDataSources.empty()) {
        TDataSource* source = FDataSources.back();
        FDataSources.pop_back();
        source->FDataSet = nullptr;
        source->UpdateState();
    }
    FFields->Clear();
}

void TDataSet::BeforeDestruction()
{
    TComponent::BeforeDestruction();
    try {
        SetActive(false);
    } catch (...) {
        HandleApplicationException(this);
    }
}

void TDataSet::SetActive(bool value)
{
    // While its owner is being built, opening waits for Loaded (the persistent fields are not
    // all there yet); closing never waits.
    if (ComponentState().Contains(csReading) || ComponentState().Contains(csLoading)) {
        FStreamedActive = value;
        if (value || !Active())
            return;
    }
    if (Active() == value)
        return;
    if (value) {
        DoBeforeOpen();
        try {
            OpenCursor(false);
            SetState(dsBrowse);
        } catch (...) {
            try {
                SetState(dsInactive);
                CloseCursor();
            } catch (...) {
            }
            throw;
        }
        DoAfterOpen();
        if (!IsEmpty())
            DoAfterScroll();
    } else {
        const bool destroying = ComponentState().Contains(csDestroying);
        if (!destroying)
            DoBeforeClose();
        SetState(dsInactive);
        CloseCursor();
        if (!destroying)
            DoAfterClose();
    }
}

void TDataSet::Loaded()
{
    TComponent::Loaded();
    if (FStreamedActive) {
        FStreamedActive = false;
        SetActive(true);
    }
}

void TDataSet::CheckActive()
{
    if (FState == dsInactive)
        DatabaseError(DBMessages::DataSetClosed, this);
}

void TDataSet::CheckInactive()
{
    if (Active()) {
        if (ComponentState().Contains(csUpdating) || ComponentState().Contains(csDesigning))
            Close();
        else
            DatabaseError(DBMessages::DataSetOpen, this);
    }
}

void TDataSet::OpenCursor(bool InfoQuery)
{
    if (InfoQuery)
        InternalInitFieldDefs();
    else
        DoInternalOpen();
}

void TDataSet::DoInternalOpen()
{
    FDefaultFields = FieldCount() == 0;
    InternalOpen();
    if (FieldCount() == 0 && FFieldDefs->Count() > 0) {
        CreateFields();
        FDefaultFields = true;
    }
    BindFields(true);
    FInternalOpenComplete = true;
    UpdateBufferCount();
    FBOF = true;
}

void TDataSet::CloseCursor()
{
    FInternalOpenComplete = false;
    ClearBuffers();
    SetBufListSize(0);
    FBufferCount = 0;
    InternalClose();
    BindFields(false);
    if (FDefaultFields)
        DestroyFields();
    FDefaultFields = false;
}

void TDataSet::CreateFields()
{
    for (int i = 0; i < FFieldDefs->Count(); ++i) {
        TFieldDef* def = FFieldDefs->Items(i);
        if (def->DataType() != ftUnknown && !def->Attributes().Contains(faHiddenCol))
            def->CreateField(this);
    }
}

void TDataSet::DestroyFields()
{
    FFields->Clear();
}

void TDataSet::BindFields(bool Binding)
{
    FCalcFieldsSize = 0;
    FInternalCalcFields = false;
    for (int i = 0; i < FFields->Count(); ++i) {
        TField* field = FFields->Fields(i);
        if (!Binding) {
            field->Bind(false);
            field->FFieldNo = 0;
            continue;
        }
        if (field->FieldKind() == fkCalculated || field->FieldKind() == fkLookup) {
            field->FFieldNo = -1;
            field->FOffset = FCalcFieldsSize;
            FCalcFieldsSize += field->DataSize() + 1;
        } else if (field->FieldKind() == fkData || field->FieldKind() == fkInternalCalc) {
            const int index = FFieldDefs->IndexOf(field->FieldName());
            if (index < 0)
                DatabaseErrorFmt(DBMessages::FieldNotFound, {field->DisplayName()}, this);
            TFieldDef* def = FFieldDefs->Items(index);
            field->FFieldNo = def->FieldNo();
            if (def->InternalCalcField() || field->FieldKind() == fkInternalCalc)
                FInternalCalcFields = true;
        }
        field->Bind(true);
    }
}

void TDataSet::InitFieldDefs()
{
    InternalInitFieldDefs();
    FFieldDefs->SetUpdated(true);
}

// --- State ---

void TDataSet::SetState(TDataSetState Value)
{
    if (FState != Value) {
        FState = Value;
        FModified = false;
        DataEvent(deUpdateState, 0);
    }
}

// A temporary state lets field reads and writes address another buffer (calculation,
// filtering); it sends no notices and keeps the edit's modified flag.
TDataSetState TDataSet::SetTempState(TDataSetState Value)
{
    const TDataSetState previous = FState;
    FState = Value;
    ++FDisableCount;
    return previous;
}

void TDataSet::RestoreState(TDataSetState Value)
{
    FState = Value;
    --FDisableCount;
}

// --- Data events ---

void TDataSet::DataEvent(TDataEvent Event, std::intptr_t Info)
{
    bool notify = !(ControlsDisabled() || FState == dsBlockRead);
    TField* changedField = nullptr;
    switch (Event) {
    case deFieldChange:
        changedField = reinterpret_cast<TField*>(Info);
        if (changedField->FieldKind() == fkData || changedField->FieldKind() == fkInternalCalc)
            FModified = true;
        if (changedField->FieldKind() == fkData)
            UpdateCalcFields();
        break;
    case deLayoutChange:
        if (ControlsDisabled())
            FEnableEvent = deLayoutChange;
        break;
    case deUpdateState:
        if (ControlsDisabled()) {
            Event = deDisabledStateChange;
            Info = FState != dsInactive;
            notify = true;
            FEnableEvent = deLayoutChange;
        }
        break;
    default:
        break;
    }
    if (notify) {
        // By index, as a notice may make a source leave the list.
        for (std::size_t i = 0; i < FDataSources.size(); ++i)
            FDataSources[i]->DataEvent(Event, Info);
    }
    if (changedField)
        changedField->Change();
}

void TDataSet::UpdateCalcFields()
{
    if (FState != dsSetKey && FAutoCalcFields && (FCalcFieldsSize > 0 || FInternalCalcFields) &&
        FRecordCount > 0)
        GetCalcFields(ActiveBuffer());
}

void TDataSet::DisableControls()
{
    if (FDisableCount == 0) {
        FDisableState = FState;
        FEnableEvent = deDataSetChange;
    }
    ++FDisableCount;
}

void TDataSet::EnableControls()
{
    if (FDisableCount == 0)
        return;
    --FDisableCount;
    if (FDisableCount == 0) {
        // A source that went inactive while the controls were disabled (the data set closed and
        // opened again) must hear of the state too.
        bool sourceOutOfStep = false;
        for (TDataSource* source : FDataSources)
            if (source->Enabled() && source->State() != FState)
                sourceOutOfStep = true;
        if (FDisableState != FState || sourceOutOfStep)
            DataEvent(deUpdateState, 0);
        if (FDisableState != dsInactive && FState != dsInactive)
            DataEvent(FEnableEvent, 0);
    }
}

void TDataSet::AddDataSource(TDataSource* DataSource)
{
    FDataSources.push_back(DataSource);
    DataSource->FDataSet = this;
    UpdateBufferCount();
    DataSource->UpdateState();
}

void TDataSet::RemoveDataSource(TDataSource* DataSource)
{
    DataSource->FDataSet = nullptr;
    FDataSources.erase(std::remove(FDataSources.begin(), FDataSources.end(), DataSource),
                       FDataSources.end());
    DataSource->UpdateState();
    UpdateBufferCount();
}

std::vector<TDataLink*> TDataSet::AllDataLinks() const
{
    std::vector<TDataLink*> links;
    for (TDataSource* source : FDataSources)
        for (TDataLink* link : source->FDataLinks)
            links.push_back(link);
    return links;
}

bool TDataSet::IsLinkedTo(TDataSource* dataSource)
{
    while (dataSource) {
        TDataSet* dataSet = dataSource->DataSet();
        if (!dataSet)
            break;
        if (dataSet == this)
            return true;
        dataSource = dataSet->GetDataSource();
    }
    return false;
}

void TDataSet::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
}

// --- Buffer ring ---

void TDataSet::UpdateBufferCount()
{
    if (!IsCursorOpen())
        return;
    int maxBufferCount = 1;
    for (TDataLink* link : AllDataLinks())
        maxBufferCount = std::max(maxBufferCount, link->FBufferCount);
    SetBufferCount(maxBufferCount);
}

void TDataSet::SetBufListSize(int Value)
{
    while (static_cast<int>(FBuffers.size()) < Value)
        FBuffers.push_back(AllocRecordBuffer());
    while (static_cast<int>(FBuffers.size()) > Value) {
        TRecordBuffer buffer = FBuffers.back();
        FBuffers.pop_back();
        FreeRecordBuffer(buffer);
    }
}

void TDataSet::SetBufferCount(int Value)
{
    if (FBufferCount == Value)
        return;
    auto adjustFirstRecord = [this](int delta) {
        if (delta == 0)
            return;
        for (TDataLink* link : AllDataLinks())
            if (link->FActive)
                link->FFirstRecord += delta;
    };
    if (FBufferCount > Value && FRecordCount > 0) {
        // Keep the active record inside the smaller ring, dropping records before it first.
        const int delta = std::max(0, FActiveRecord - (Value - 1));
        for (int i = 0; i < delta; ++i)
            MoveBuffer(0, static_cast<int>(FBuffers.size()) - 1);
        FActiveRecord -= delta;
        FRecordCount = std::min(FRecordCount - delta, Value);
        if (FCurrentRecord != -1) {
            FCurrentRecord -= delta;
            if (FCurrentRecord < 0 || FCurrentRecord >= FRecordCount)
                FCurrentRecord = -1;
        }
        adjustFirstRecord(-delta);
    }
    SetBufListSize(Value + 1);
    FBufferCount = Value;
    GetNextRecords();
    adjustFirstRecord(GetPriorRecords());
}

void TDataSet::MoveBuffer(int CurIndex, int NewIndex)
{
    if (CurIndex == NewIndex)
        return;
    TRecordBuffer buffer = FBuffers[CurIndex];
    if (CurIndex < NewIndex)
        std::move(FBuffers.begin() + CurIndex + 1, FBuffers.begin() + NewIndex + 1,
                  FBuffers.begin() + CurIndex);
    else
        std::move_backward(FBuffers.begin() + NewIndex, FBuffers.begin() + CurIndex,
                           FBuffers.begin() + CurIndex + 1);
    FBuffers[NewIndex] = buffer;
}

void TDataSet::ActivateBuffers()
{
    FRecordCount = 1;
    FActiveRecord = 0;
    FCurrentRecord = 0;
    FBOF = false;
    FEOF = false;
}

void TDataSet::ClearBuffers()
{
    FRecordCount = 0;
    FActiveRecord = 0;
    FCurrentRecord = -1;
    FBOF = true;
    FEOF = true;
}

void TDataSet::SetCurrentRecord(int Index)
{
    if (FCurrentRecord == Index)
        return;
    TRecordBuffer buffer = FBuffers[Index];
    switch (GetBookmarkFlag(buffer)) {
    case bfCurrent:
    case bfInserted:
        InternalSetToRecord(buffer);
        break;
    case bfBOF:
        InternalFirst();
        break;
    case bfEOF:
        InternalLast();
        break;
    }
    FCurrentRecord = Index;
}

void TDataSet::UpdateCursorPos()
{
    if (FRecordCount > 0)
        SetCurrentRecord(FActiveRecord);
}

bool TDataSet::GetNextRecord()
{
    TGetMode mode = gmNext;
    if (FRecordCount > 0) {
        SetCurrentRecord(FRecordCount - 1);
        if (FState == dsInsert && FCurrentRecord == FActiveRecord &&
            GetBookmarkFlag(ActiveBuffer()) == bfCurrent)
            mode = gmCurrent;
    }
    const bool result = GetRecord(FBuffers[FRecordCount], mode, true) == grOK;
    if (result) {
        if (FRecordCount == 0)
            ActivateBuffers();
        else if (FRecordCount < FBufferCount)
            ++FRecordCount;
        else
            MoveBuffer(0, FRecordCount);
        FCurrentRecord = FRecordCount - 1;
    } else {
        CursorPosChanged();
    }
    return result;
}

bool TDataSet::GetPriorRecord()
{
    if (FRecordCount > 0)
        SetCurrentRecord(0);
    const bool result = GetRecord(FBuffers[FRecordCount], gmPrior, true) == grOK;
    if (result) {
        if (FRecordCount == 0) {
            ActivateBuffers();
        } else {
            MoveBuffer(FRecordCount, 0);
            if (FRecordCount < FBufferCount) {
                ++FRecordCount;
                ++FActiveRecord;
            }
        }
        FCurrentRecord = 0;
    } else {
        CursorPosChanged();
    }
    return result;
}

int TDataSet::GetNextRecords()
{
    int result = 0;
    while (FRecordCount < FBufferCount && GetNextRecord())
        ++result;
    return result;
}

int TDataSet::GetPriorRecords()
{
    int result = 0;
    while (FRecordCount < FBufferCount && GetPriorRecord())
        ++result;
    return result;
}

void TDataSet::Resync(TResyncMode mode)
{
    if (mode.Contains(rmExact)) {
        CursorPosChanged();
        if (GetRecord(FBuffers[FRecordCount], gmCurrent, true) != grOK)
            DatabaseError(DBMessages::RecordNotFound, this);
    } else if (GetRecord(FBuffers[FRecordCount], gmCurrent, false) != grOK &&
               GetRecord(FBuffers[FRecordCount], gmNext, false) != grOK &&
               GetRecord(FBuffers[FRecordCount], gmPrior, false) != grOK) {
        ClearBuffers();
        DataEvent(deDataSetChange, 0);
        return;
    }
    int count = mode.Contains(rmCenter) ? (FBufferCount - 1) / 2 : FActiveRecord;
    MoveBuffer(FRecordCount, 0);
    ActivateBuffers();
    try {
        while (count > 0 && GetPriorRecord())
            --count;
        GetNextRecords();
        GetPriorRecords();
    } catch (...) {
        DataEvent(deDataSetChange, 0);
        throw;
    }
    DataEvent(deDataSetChange, 0);
}

void TDataSet::Refresh()
{
    CheckBrowseMode();
    UpdateCursorPos();
    InternalRefresh();
    Resync({});
}

// --- Navigation ---

void TDataSet::First()
{
    CheckBrowseMode();
    DoBeforeScroll();
    ClearBuffers();
    try {
        InternalFirst();
        GetNextRecord();
        GetNextRecords();
    } catch (...) {
        FBOF = true;
        DataEvent(deDataSetChange, 0);
        throw;
    }
    FBOF = true;
    DataEvent(deDataSetChange, 0);
    DoAfterScroll();
}

void TDataSet::Last()
{
    CheckBrowseMode();
    DoBeforeScroll();
    ClearBuffers();
    try {
        InternalLast();
        GetPriorRecord();
        GetPriorRecords();
    } catch (...) {
        FEOF = true;
        DataEvent(deDataSetChange, 0);
        throw;
    }
    FEOF = true;
    DataEvent(deDataSetChange, 0);
    DoAfterScroll();
}

int TDataSet::MoveBy(int distance)
{
    CheckBrowseMode();
    int result = 0;
    DoBeforeScroll();
    if ((distance > 0 && !FEOF) || (distance < 0 && !FBOF)) {
        FBOF = false;
        FEOF = false;
        int scrollCount = 0;
        try {
            while (distance > 0) {
                if (FActiveRecord < FRecordCount - 1) {
                    ++FActiveRecord;
                } else {
                    if (GetNextRecord()) {
                        --scrollCount;
                    } else {
                        FEOF = true;
                        break;
                    }
                }
                --distance;
                ++result;
            }
            while (distance < 0) {
                if (FActiveRecord > 0) {
                    --FActiveRecord;
                } else {
                    if (GetPriorRecord()) {
                        ++scrollCount;
                    } else {
                        FBOF = true;
                        break;
                    }
                }
                ++distance;
                --result;
            }
        } catch (...) {
            DataEvent(deDataSetScroll, scrollCount);
            throw;
        }
        DataEvent(deDataSetScroll, scrollCount);
        DoAfterScroll();
    }
    return result;
}

bool TDataSet::FindRecord(bool /*Restart*/, bool /*GoForward*/)
{
    return false;
}

// --- Editing ---

void TDataSet::CheckCanModify()
{
    if (!CanModify())
        DatabaseError(DBMessages::DataSetReadOnly, this);
}

void TDataSet::CheckOperation(const std::function<void()>& operation,
                              const TDataSetErrorEvent& errorEvent)
{
    for (;;) {
        try {
            UpdateCursorPos();
            operation();
            return;
        } catch (EDatabaseError& e) {
            TDataAction action = daFail;
            if (errorEvent)
                errorEvent(this, e, action);
            if (action == daFail)
                throw;
            if (action == daAbort)
                RAISE(EAbort("Operation aborted"));
        }
    }
}

void TDataSet::Edit()
{
    if (FState == dsEdit || FState == dsInsert)
        return;
    if (FRecordCount == 0) {
        Insert();
        return;
    }
    CheckBrowseMode();
    CheckCanModify();
    DoBeforeEdit();
    CheckOperation([this] { InternalEdit(); }, OnEditError);
    GetCalcFields(ActiveBuffer());
    SetState(dsEdit);
    DataEvent(deRecordChange, 0);
    DoAfterEdit();
}

void TDataSet::BeginInsertAppend()
{
    CheckBrowseMode();
    CheckCanModify();
    DoBeforeInsert();
    DoBeforeScroll();
}

void TDataSet::EndInsertAppend()
{
    SetState(dsInsert);
    try {
        DoOnNewRecord();
    } catch (...) {
        UpdateCursorPos();
        SetState(dsBrowse);
        Resync({});
        throw;
    }
    FModified = false;
    DataEvent(deDataSetChange, 0);
    DoAfterInsert();
    DoAfterScroll();
}

void TDataSet::InitRecord(TRecordBuffer Buffer)
{
    InternalInitRecord(Buffer);
    ClearCalcFields(Buffer);
    SetBookmarkFlag(Buffer, bfInserted);
}

TBookmark TDataSet::PrepareInsertBuffer()
{
    TBookmark oldCurrent = GetBookmark();
    MoveBuffer(FRecordCount, FActiveRecord);
    TRecordBuffer buffer = ActiveBuffer();
    InitRecord(buffer);
    if (FRecordCount == 0)
        SetBookmarkFlag(buffer, bfBOF);
    else if (!oldCurrent.empty()) // no bookmark to copy when the current row has none
        SetBookmarkData(buffer, oldCurrent.data());
    if (FRecordCount < FBufferCount)
        ++FRecordCount;
    return oldCurrent;
}

void TDataSet::PrepareAppendBuffer()
{
    ClearBuffers();
    TRecordBuffer buffer = FBuffers[0];
    InitRecord(buffer);
    SetBookmarkFlag(buffer, bfEOF);
    FRecordCount = 1;
    FBOF = false;
    GetPriorRecords();
}

void TDataSet::Insert()
{
    BeginInsertAppend();
    const int activeBefore = FActiveRecord;
    const TBookmark before = PrepareInsertBuffer();
    InternalInsertOrRestore(before, activeBefore);
    EndInsertAppend();
}

void TDataSet::Append()
{
    BeginInsertAppend();
    // Appending refills the buffers from the end: keep the way back in case it is refused.
    const TBookmark before = GetBookmark();
    const int activeBefore = FActiveRecord;
    PrepareAppendBuffer();
    InternalInsertOrRestore(before, activeBefore);
    EndInsertAppend();
}

// The buffers already hold the new record: a refusal puts them back around the record that was
// current.
void TDataSet::InternalInsertOrRestore(const TBookmark& before, int activeBefore)
{
    try {
        InternalInsert();
    } catch (...) {
        FActiveRecord = activeBefore;
        if (before.empty())
            InternalFirst();
        else
            InternalGotoBookmark(before);
        CursorPosChanged();
        Resync({});
        throw;
    }
}

void TDataSet::CheckRequiredFields()
{
    for (int i = 0; i < FFields->Count(); ++i) {
        TField* field = FFields->Fields(i);
        if (field->Required() && !field->ReadOnly() && field->FieldKind() == fkData &&
            field->IsNull()) {
            field->FocusControl();
            DatabaseErrorFmt(DBMessages::FieldRequired, {field->DisplayName()});
        }
    }
}

void TDataSet::PostWith(const std::function<void()>& operation)
{
    DataEvent(deCheckBrowseMode, 0);
    DoBeforePost();
    CheckOperation(
        [this, &operation] {
            CheckRequiredFields();
            operation();
        },
        OnPostError);
    SetState(dsBrowse);
    Resync({});
    DoAfterPost();
}

void TDataSet::Post()
{
    UpdateRecord();
    switch (FState) {
    case dsEdit:
    case dsInsert:
        PostWith([this] { InternalPost(); });
        break;
    case dsSetKey:
        SetState(dsBrowse);
        DataEvent(deDataSetChange, 0);
        break;
    default:
        break;
    }
}

void TDataSet::Cancel()
{
    switch (FState) {
    case dsEdit:
    case dsInsert: {
        DataEvent(deCheckBrowseMode, 0);
        DoBeforeCancel();
        const bool scrollEvents = FState == dsInsert;
        if (scrollEvents)
            DoBeforeScroll();
        UpdateCursorPos();
        InternalCancel();
        SetState(dsBrowse);
        Resync({});
        DoAfterCancel();
        if (scrollEvents)
            DoAfterScroll();
        break;
    }
    case dsSetKey:
        SetState(dsBrowse);
        DataEvent(deDataSetChange, 0);
        break;
    default:
        break;
    }
}

void TDataSet::Delete()
{
    CheckActive();
    if (FState == dsInsert || FState == dsSetKey) {
        Cancel();
        return;
    }
    if (FRecordCount == 0)
        DatabaseError(DBMessages::DataSetEmpty, this);
    DataEvent(deCheckBrowseMode, 0);
    DoBeforeDelete();
    DoBeforeScroll();
    CheckOperation([this] { InternalDelete(); }, OnDeleteError);
    SetState(dsBrowse);
    Resync({});
    DoAfterDelete();
    DoAfterScroll();
}

void TDataSet::CheckBrowseMode()
{
    CheckActive();
    DataEvent(deCheckBrowseMode, 0);
    switch (FState) {
    case dsEdit:
    case dsInsert:
        UpdateRecord();
        if (FModified)
            Post();
        else
            Cancel();
        break;
    case dsSetKey:
        Post();
        break;
    default:
        break;
    }
}

void TDataSet::UpdateRecord()
{
    if (!IsEditMode(FState))
        DatabaseError(DBMessages::NotEditing, this);
    DataEvent(deUpdateRecord, 0);
}

void TDataSet::SetFields(const std::vector<Variant>& values)
{
    DisableControls();
    try {
        for (std::size_t i = 0; i < values.size(); ++i)
            FFields->Fields(static_cast<int>(i))->SetAsVariant(values[i]);
    } catch (...) {
        EnableControls();
        throw;
    }
    EnableControls();
}

void TDataSet::InsertRecord(const std::vector<Variant>& values)
{
    Insert();
    SetFields(values);
    PostWith([this] { InternalAddRecord(ActiveBuffer(), false); });
}

void TDataSet::AppendRecord(const std::vector<Variant>& values)
{
    Append();
    SetFields(values);
    PostWith([this] { InternalAddRecord(ActiveBuffer(), true); });
}

void TDataSet::ClearFields()
{
    if (!IsEditMode(FState))
        DatabaseError(DBMessages::NotEditing, this);
    DataEvent(deCheckBrowseMode, 0);
    InternalInitRecord(ActiveBuffer());
    if (FState != dsSetKey)
        GetCalcFields(ActiveBuffer());
    DataEvent(deRecordChange, 0);
}

// --- Bookmarks ---

bool TDataSet::BookmarkAvailable()
{
    return (FState == dsBrowse || FState == dsEdit || FState == dsInsert) && !IsEmpty() &&
           GetBookmarkFlag(ActiveBuffer()) == bfCurrent;
}

TBookmark TDataSet::GetBookmark()
{
    if (!BookmarkAvailable() || FBookmarkSize <= 0)
        return {};
    TBookmark bookmark(static_cast<std::size_t>(FBookmarkSize), '\0');
    GetBookmarkData(ActiveBuffer(), bookmark.data());
    return bookmark;
}

void TDataSet::GotoBookmark(const TBookmark& bookmark)
{
    if (bookmark.empty())
        return;
    CheckBrowseMode();
    DoBeforeScroll();
    InternalGotoBookmark(bookmark);
    Resync({rmExact, rmCenter});
    DoAfterScroll();
}

bool TDataSet::BookmarkValid(const TBookmark& /*bookmark*/)
{
    return false;
}

int TDataSet::CompareBookmarks(const TBookmark& /*bookmark1*/, const TBookmark& /*bookmark2*/)
{
    return 0;
}

// --- Fields ---

TField* TDataSet::FieldByName(const std::string& name) const
{
    return FFields->FieldByName(name);
}

TField* TDataSet::FindField(const std::string& name) const
{
    return FFields->FindField(name);
}

TField* TDataSet::FieldByNumber(int fieldNo) const
{
    return FFields->FieldByNumber(fieldNo);
}

void TDataSet::GetFieldNames(TStrings* list) const
{
    list->BeginUpdate();
    try {
        list->Clear();
        if (FFields->Count() > 0) {
            for (int i = 0; i < FFields->Count(); ++i)
                list->Add(FFields->Fields(i)->FieldName());
        } else {
            FFieldDefs->Update();
            for (int i = 0; i < FFieldDefs->Count(); ++i)
                list->Add(FFieldDefs->Items(i)->Name());
        }
    } catch (...) {
        list->EndUpdate();
        throw;
    }
    list->EndUpdate();
}

void TDataSet::GetFieldList(std::vector<TField*>& list, const std::string& fieldNames) const
{
    std::size_t pos = 0;
    while (pos < fieldNames.size()) {
        const std::string name = ExtractFieldName(fieldNames, pos);
        if (!name.empty())
            list.push_back(FieldByName(name));
    }
}

Variant TDataSet::FieldValues(const std::string& fieldNames) const
{
    if (fieldNames.find(';') == std::string::npos)
        return FieldByName(fieldNames)->Value();
    std::vector<TField*> fields;
    GetFieldList(fields, fieldNames);
    std::vector<Variant> values;
    for (TField* field : fields)
        values.push_back(field->Value());
    return VarArrayOf(values);
}

void TDataSet::SetFieldValues(const std::string& fieldNames, const Variant& value)
{
    if (fieldNames.find(';') == std::string::npos) {
        FieldByName(fieldNames)->SetValue(value);
        return;
    }
    std::vector<TField*> fields;
    GetFieldList(fields, fieldNames);
    const int low = VarArrayLowBound(value, 1);
    for (std::size_t i = 0; i < fields.size(); ++i)
        fields[i]->SetValue(VarArrayGet(value, low + static_cast<int>(i)));
}

bool TDataSet::GetFieldData(TField* /*Field*/, void* /*Buffer*/)
{
    return false;
}

void TDataSet::SetFieldData(TField* /*Field*/, const void* /*Buffer*/) {}

TStream* TDataSet::CreateBlobStream(TField* /*Field*/, TBlobStreamMode /*Mode*/)
{
    return nullptr;
}

void TDataSet::CloseBlob(TField* /*Field*/) {}

// --- Calculated fields ---

void TDataSet::GetCalcFields(TRecordBuffer Buffer)
{
    if (FCalcFieldsSize <= 0 && !FInternalCalcFields)
        return;
    const TDataSetState saved = FState;
    FState = dsCalcFields;
    try {
        CalculateFields(Buffer);
    } catch (...) {
        FState = saved;
        throw;
    }
    FState = saved;
}

void TDataSet::CalculateFields(TRecordBuffer Buffer)
{
    FCalcBuffer = Buffer;
    if (FState != dsInternalCalc) {
        ClearCalcFields(Buffer);
        for (int i = 0; i < FFields->Count(); ++i) {
            TField* field = FFields->Fields(i);
            if (field->FieldKind() == fkLookup)
                field->CalcLookupValue();
        }
    }
    DoOnCalcFields();
}

// Clears each calculated and lookup field of Buffer through the descendant's SetFieldData,
// which addresses the calculation buffer in the calculating state.
void TDataSet::ClearCalcFields(TRecordBuffer Buffer)
{
    if (FCalcFieldsSize <= 0)
        return;
    const TDataSetState savedState = FState;
    const TRecordBuffer savedBuffer = FCalcBuffer;
    FState = dsCalcFields;
    FCalcBuffer = Buffer;
    try {
        for (int i = 0; i < FFields->Count(); ++i) {
            TField* field = FFields->Fields(i);
            if (field->FieldKind() == fkCalculated || field->FieldKind() == fkLookup)
                SetFieldData(field, nullptr);
        }
    } catch (...) {
        FState = savedState;
        FCalcBuffer = savedBuffer;
        throw;
    }
    FState = savedState;
    FCalcBuffer = savedBuffer;
}

Variant TDataSet::GetStateFieldValue(TDataSetState State, TField* Field)
{
    if (Field->FieldKind() != fkData && Field->FieldKind() != fkInternalCalc)
        return Null();
    const TDataSetState saved = SetTempState(State);
    Variant value;
    try {
        value = Field->AsVariant();
    } catch (...) {
        RestoreState(saved);
        throw;
    }
    RestoreState(saved);
    return value;
}

// --- Searching ---

bool TDataSet::Locate(const std::string& /*KeyFields*/, const Variant& /*KeyValues*/,
                      TLocateOptions /*Options*/)
{
    return false;
}

Variant TDataSet::Lookup(const std::string& /*KeyFields*/, const Variant& /*KeyValues*/,
                         const std::string& /*ResultFields*/)
{
    return Null();
}

void TDataSet::InternalHandleException()
{
    HandleApplicationException(this);
}

// --- Events ---

void TDataSet::FireEvent(const TDataSetNotifyEvent& event)
{
    if (event)
        event(this);
}

void TDataSet::DoBeforeOpen() { FireEvent(BeforeOpen); }
void TDataSet::DoAfterOpen() { FireEvent(AfterOpen); }
void TDataSet::DoBeforeClose() { FireEvent(BeforeClose); }
void TDataSet::DoAfterClose() { FireEvent(AfterClose); }
void TDataSet::DoBeforeInsert() { FireEvent(BeforeInsert); }
void TDataSet::DoAfterInsert() { FireEvent(AfterInsert); }
void TDataSet::DoBeforeEdit() { FireEvent(BeforeEdit); }
void TDataSet::DoAfterEdit() { FireEvent(AfterEdit); }
void TDataSet::DoBeforePost() { FireEvent(BeforePost); }
void TDataSet::DoAfterPost() { FireEvent(AfterPost); }
void TDataSet::DoBeforeCancel() { FireEvent(BeforeCancel); }
void TDataSet::DoAfterCancel() { FireEvent(AfterCancel); }
void TDataSet::DoBeforeDelete() { FireEvent(BeforeDelete); }
void TDataSet::DoAfterDelete() { FireEvent(AfterDelete); }
void TDataSet::DoBeforeScroll() { FireEvent(BeforeScroll); }
void TDataSet::DoAfterScroll() { FireEvent(AfterScroll); }
void TDataSet::DoOnNewRecord() { FireEvent(OnNewRecord); }
void TDataSet::DoOnCalcFields() { FireEvent(OnCalcFields); }
