#pragma once
// TURLLabel: an underlined blue label that opens its URL (or its caption when URL is empty)
// through the desktop when the mouse button is released over it, and changes colour while the
// mouse is over it or a button is held on it.

#include "platform/gui/Label.h"

#include <string>

class TURLLabel : public TLabel {
    TESS_CLASS(TURLLabel, TLabel)
public:
    explicit TURLLabel(TComponent* AOwner);

    // Plain values: a change shows at the next mouse event.
    TColor ColorNormal = clBlue;
    TColor ColorMoveOver = clBlue;
    TColor ColorClick = clRed;
    std::string URL;

    void Dispatch(TMessage& Message) override;

protected:
    // Neither calls the inherited handling, so OnMouseDown and OnMouseUp stay silent; OnClick
    // still fires.
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    bool FPressed = false;
};
