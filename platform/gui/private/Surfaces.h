#pragma once
// The drawing surfaces the canvas binds to: the retained image of a control's window, the painter
// open while the control paints, and the after-paint image of controls painted by Qt.

#include "platform/gui/Control.h"

#include <QImage>
#include <QPainter>
#include <QRegion>

class TSurface {
public:
    // The image of the whole window (non-client area included), device pixel ratio 1.
    QImage Image;
    // What WM_PAINT still has to draw, in window coordinates.
    QRegion Pending;
    // Graphic controls start transparent so that their parent shows through.
    bool Transparent = false;
    // Open while WM_ERASEBKGND and WM_PAINT run: origin at the client area, clipped to the
    // update region.
    QPainter* PaintPainter = nullptr;
    // The client area inside the window.
    QRect ClientRect;
    // The update region of the paint in progress (client coordinates), for BeginPaint.
    QRect PaintRect;
    bool PaintErase = false;

    // Resizes the image; a new size invalidates everything.
    void EnsureSize(const QSize& size);
};

// The painter open while the control paints, nullptr outside WM_PAINT.
QPainter* PaintPainter(TControl* control);
// The retained image (nullptr without one). Drawing on it outside Paint stays until the next
// invalidation; call ShowDrawing afterwards so that it reaches the screen.
QImage* RetainedImage(TControl* control);
// The client origin inside the retained image.
QPoint ClientOffset(TControl* control);
// Shows what was drawn on the retained image in rect (client coordinates) without painting again.
void ShowDrawing(TControl* control, const QRect& clientRect);
// Schedules a paint for rect (client coordinates), as InvalidateRect does.
void InvalidateClientRect(TControl* control, const QRect& clientRect);
