#pragma once
// Hands a data set to one thread at a time: a thread locks it, works with it and unlocks it.

#include "platform/db/DB.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Threads.h"

#include <atomic>
#include <cstdint>

class TzelThreadDataSet : public TComponent {
    TESS_CLASS(TzelThreadDataSet, TComponent)
public:
    explicit TzelThreadDataSet(TComponent* AOwner);
    ~TzelThreadDataSet() override;

    TDataSet* Dataset() const { return FDataset.load(); }
    // Exception "Dataset is locked and cant be changed." while a thread holds or waits for it.
    void SetDataset(TDataSet* Value);

    // Waits up to Milliseconds for the data set; nullptr on time-out or when the data set went
    // away while waiting. The holder must Unlock before it locks again.
    TDataSet* TryLock(std::uint32_t Milliseconds);
    TDataSet* Lock();
    // Gives the data set back; does nothing when it is not held.
    void Unlock();
    // A waiting thread counts as well as the holder.
    bool GetIsLocked() const { return FLockCount.load() > 0; }
    bool IsLocked() const { return GetIsLocked(); }
    int LockCount() const { return FLockCount.load(); }

protected:
    // The guarded data set being freed: it is forgotten, the holder's lock is released and
    // waiting threads return nullptr; when it was locked the application's exception display
    // shows "Dataset being removed while locked." (a removal notice must not raise).
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    std::atomic<TDataSet*> FDataset{nullptr};
    std::atomic<int> FLockCount{0};
    std::atomic<bool> FHeld{false};
    TSemaphore FSemaphore{1, 1};
};
