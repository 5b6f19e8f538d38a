#pragma once
// TEventDBGrid: the data grid that tells its owner when it is scrolled, and moves the current
// record of its data set one record per mouse-wheel message.

#include "platform/gui/DBGrid.h"

class TEventDBGrid : public TDBGrid {
    TESS_CLASS(TEventDBGrid, TDBGrid)
public:
    explicit TEventDBGrid(TComponent* AOwner) : TDBGrid(AOwner) {}

    // Raised before the grid scrolls by its bars, and after a wheel message moved the record.
    TNotifyEvent OnScrollVert;
    TNotifyEvent OnScrollHorz;

    void Dispatch(TMessage& Message) override;

private:
    void ScrollVert(TMessage& Message);
    void ScrollHorz(TMessage& Message);
    void MouseWheel(TMessage& Message);
};
