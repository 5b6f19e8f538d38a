#pragma once
// The class library's drag and drop between controls, inside the program: a left press on a
// control with DragMode dmAutomatic starts a drag after the mouse moves 5 pixels; the control under
// the cursor hears CM_DRAG (enter, move, leave, drop) and the drag events; Escape or the right
// button cancels.
//
// The drag events of a control live in its DragEvents() record until the control class carries
// them itself.

#include "platform/gui/Control.h"

#include <functional>

enum TDragState { dsDragEnter, dsDragLeave, dsDragMove };
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

using TStartDragEvent = std::function<void(TObject* Sender, TDragObject*& DragObject)>;
using TDragOverEvent =
    std::function<void(TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept)>;
using TDragDropEvent = std::function<void(TObject* Sender, TObject* Source, int X, int Y)>;
using TEndDragEvent = std::function<void(TObject* Sender, TObject* Target, int X, int Y)>;

struct TDragEvents {
    TStartDragEvent OnStartDrag;
    TDragOverEvent OnDragOver;
    TDragDropEvent OnDragDrop;
    TEndDragEvent OnEndDrag;
};

// The drag events of a control (made on first use, forgotten when the control goes).
TDragEvents& DragEvents(TControl* control);
// immediate false: the drag starts once the mouse moves threshold pixels (-1: 5).
void BeginDrag(TControl* control, bool immediate, int threshold = -1);
// Ends the drag of the control, dropping on the current target when drop is true.
void EndDrag(TControl* control, bool drop);
bool Dragging(const TControl* control);
// The control being dragged, nullptr when none.
TControl* DragControl();
