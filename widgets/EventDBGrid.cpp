#include "widgets/EventDBGrid.h"

void TEventDBGrid::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case WM_VSCROLL:
        ScrollVert(Message);
        return;
    case WM_HSCROLL:
        ScrollHorz(Message);
        return;
    case WM_MOUSEWHEEL:
        MouseWheel(Message);
        return;
    default:
        TDBGrid::Dispatch(Message);
    }
}

void TEventDBGrid::ScrollVert(TMessage& Message)
{
    if (OnScrollVert)
        OnScrollVert(this);
    TDBGrid::Dispatch(Message);
}

void TEventDBGrid::ScrollHorz(TMessage& Message)
{
    if (OnScrollHorz)
        OnScrollHorz(this);
    TDBGrid::Dispatch(Message);
}

void TEventDBGrid::MouseWheel(TMessage& Message)
{
    // One record per message whatever the delta: the layer sends one message per notch.
    const auto delta = static_cast<SHORT>(HIWORD(Message.WParam));
    TDataSet* dataSet = DataSource() ? DataSource()->DataSet() : nullptr;
    // A closed data set cannot move; the wheel then only reaches the default handling.
    if (delta != 0 && dataSet && dataSet->Active()) {
        if (delta > 0)
            dataSet->Prior();
        else
            dataSet->Next();
        if (OnScrollVert)
            OnScrollVert(this);
    }
    DefaultHandler(Message);
}
