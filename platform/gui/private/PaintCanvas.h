#pragma once
// The canvas that custom controls, graphic controls and forms offer to their Paint. Inside Paint
// it draws on the paint context; outside it takes the control's client context as any control
// canvas does.

#include "platform/gui/Canvas.h"

#include <memory>

namespace StdCtrl {
class TClientPaintDC;
}

class TPaintCanvas : public TControlCanvas {
    TESS_CLASS(TPaintCanvas, TControlCanvas)
public:
    explicit TPaintCanvas(TControl* control);
    ~TPaintCanvas() override;

    // Runs paint with the canvas bound to the paint context. The context is made on the first
    // drawing only: a Paint that draws with the paint painter directly would otherwise be
    // covered by the context's copy of the client area when it is painted back.
    void RunPaint(const std::function<void()>& paint);

protected:
    void CreateHandle() override;

private:
    void EndPaint();
    bool FPainting = false;
    std::unique_ptr<StdCtrl::TClientPaintDC> FPaintDC;
};
