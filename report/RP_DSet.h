#pragma once
// Report data sets: the cursor a data band walks (Init, First, Next while not Eof, Exit), and the
// data set that only counts or asks its events.

#include "platform/rtl/Classes.h"

#include <functional>

enum TRangeBegin { rbFirst, rbCurrent };
enum TRangeEnd { reLast, reCurrent, reCount };

using TCheckEOFEvent = std::function<void(TObject* Sender, bool& Eof)>;

class TrpDataset : public TComponent {
    TESS_CLASS(TrpDataset, TComponent)
public:
    explicit TrpDataset(TComponent* AOwner);

    virtual void Init();
    virtual void Exit();
    virtual void First();
    virtual void Next();
    // With reCount, true once RangeEndCount records were stepped; OnCheckEOF may change it.
    virtual bool Eof();

    TRangeBegin RangeBegin = rbFirst;
    TRangeEnd RangeEnd = reLast;
    int RangeEndCount = 0;
    // Records stepped since First.
    int RecNo = 0;
    TCheckEOFEvent OnCheckEOF;
    TNotifyEvent OnFirst;
    TNotifyEvent OnNext;
};

// A data set without data: it counts records (reCount) or lets its events decide.
class TrpUserDataset : public TrpDataset {
    TESS_CLASS(TrpUserDataset, TrpDataset)
public:
    explicit TrpUserDataset(TComponent* AOwner) : TrpDataset(AOwner) {}
};
