#pragma once
// The class library's drag and drop between controls, inside the program: a left press on a
// control with DragMode dmAutomatic starts a drag after the mouse moves 5 pixels; the control under
// the cursor hears CM_DRAG (enter, move, leave, drop), which TControl turns into DragOver and
// DragDrop and their events; Escape or the right button cancels. The events and BeginDrag,
// EndDrag and Dragging are members of TControl.

#include "platform/gui/Control.h"

#include <functional>

enum TDragMessage { dmDragEnter, dmDragLeave, dmDragMove, dmDragDrop, dmDragCancel, dmFindTarget };

class TDragObject : public TObject {
    TESS_CLASS(TDragObject, TObject)
public:
    TDragObject() = default;
    ~TDragObject() override = default;
    // The cursor shown over a target that accepts (or not) the drop.
    virtual TCursor GetDragCursor(bool accepted, int X, int Y);
    virtual void DragCanceled() {}
    TPoint DragPos;
    TControl* DragTarget = nullptr;
    bool Dropped = false;
    bool Cancelling = false;
};

class TDragControlObject : public TDragObject {
    TESS_CLASS(TDragControlObject, TDragObject)
public:
    explicit TDragControlObject(TControl* control) : Control(control) {}
    TCursor GetDragCursor(bool accepted, int X, int Y) override;
    TControl* Control;
};

// What CM_DRAG carries in LParam (WParam is the TDragMessage); the target answers in Accept.
struct TDragRec {
    TPoint Pos;
    TDragObject* Source = nullptr;
    TControl* Target = nullptr;
    bool Accept = false;
};

// The work of TControl::BeginDrag, EndDrag and Dragging.
void BeginDrag(TControl* control, bool immediate, int threshold = -1);
void EndDrag(TControl* control, bool drop);
bool Dragging(const TControl* control);
// Starts watching the application's mouse and keys for drags (once; the host widgets call it).
void InstallDragWatch();
// The control being dragged, nullptr when none.
TControl* DragControl();
