#include "report/RP_DSet.h"

TrpDataset::TrpDataset(TComponent* AOwner) : TComponent(AOwner) {}

void TrpDataset::Init() {}

void TrpDataset::Exit() {}

void TrpDataset::First()
{
    RecNo = 0;
    if (OnFirst)
        OnFirst(this);
}

void TrpDataset::Next()
{
    ++RecNo;
    if (OnNext)
        OnNext(this);
}

bool TrpDataset::Eof()
{
    bool eof = RangeEnd == reCount && RecNo >= RangeEndCount;
    if (OnCheckEOF)
        OnCheckEOF(this, eof);
    return eof;
}
