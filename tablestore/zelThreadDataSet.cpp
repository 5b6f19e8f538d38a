#include "tablestore/zelThreadDataSet.h"

#include "platform/db/DataSet.h"

TzelThreadDataSet::TzelThreadDataSet(TComponent* AOwner) : TComponent(AOwner) {}

TzelThreadDataSet::~TzelThreadDataSet()
{
    if (TDataSet* dataSet = FDataset.exchange(nullptr))
        dataSet->RemoveFreeNotification(this);
}

void TzelThreadDataSet::SetDataset(TDataSet* Value)
{
    if (GetIsLocked())
        RAISE(Exception("Dataset is locked and cant be changed."));
    TDataSet* old = FDataset.exchange(Value);
    if (old == Value)
        return;
    if (old)
        old->RemoveFreeNotification(this);
    if (Value)
        Value->FreeNotification(this);
}

TDataSet* TzelThreadDataSet::TryLock(std::uint32_t Milliseconds)
{
    FLockCount.fetch_add(1);
    if (FSemaphore.WaitFor(Milliseconds) != wrSignaled) {
        FLockCount.fetch_sub(1);
        return nullptr;
    }
    TDataSet* dataSet = FDataset.load();
    if (!dataSet) {
        // The data set went away while we waited: pass the semaphore on to the next waiter.
        FLockCount.fetch_sub(1);
        FSemaphore.Release();
        return nullptr;
    }
    FHeld.store(true);
    return dataSet;
}

TDataSet* TzelThreadDataSet::Lock()
{
    return TryLock(0xFFFFFFFFu);
}

void TzelThreadDataSet::Unlock()
{
    if (!FHeld.exchange(false))
        return;
    FLockCount.fetch_sub(1);
    FSemaphore.Release();
}

void TzelThreadDataSet::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation != opRemove || !AComponent || AComponent != FDataset.load())
        return;
    const bool wasLocked = GetIsLocked();
    FDataset.store(nullptr);
    Unlock();
    if (wasLocked)
        HandleApplicationException(this, Exception("Dataset being removed while locked."));
}
