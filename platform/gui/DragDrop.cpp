// Drag and drop between controls.

#include "platform/gui/DragDrop.h"

#include "platform/gui/InputTranslation.h"
#include "platform/gui/Screen.h"
#include "platform/gui/WinControl.h"
#include "platform/gui/private/ControlHost.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include <cstdlib>
#include <memory>

namespace {

struct TDragSession {
    TControl* Source = nullptr;
    TDragObject* Object = nullptr;
    std::unique_ptr<TDragObject> OwnObject;
    TControl* Target = nullptr;
    bool Pending = true; // waiting for the threshold
    TPoint Start;
    int Threshold = 5;
};

std::unique_ptr<TDragSession> session;

class TForgetter : public TComponent {
public:
    TForgetter() : TComponent(nullptr) {}
    void Notification(TComponent* AComponent, TOperation Operation) override
    {
        TComponent::Notification(AComponent, Operation);
        if (Operation != opRemove)
            return;
        if (session && (session->Source == AComponent || session->Target == AComponent)) {
            if (session->Source == AComponent)
                session.reset();
            else
                session->Target = nullptr;
        }
    }
};

TForgetter& Forgetter()
{
    static TForgetter forgetter;
    return forgetter;
}

// Sends CM_DRAG to target, which raises its drag events; returns whether it accepts.
bool DragTo(TControl* target, TDragMessage message, TPoint screen)
{
    if (!target || !session)
        return false;
    TDragRec rec;
    rec.Source = session->Object;
    rec.Target = target;
    rec.Pos = screen;
    target->Perform(CM_DRAG, message, reinterpret_cast<LPARAM>(&rec));
    return message == dmDragDrop || rec.Accept;
}

void Finish(bool drop, TPoint screen)
{
    if (!session)
        return;
    TControl* source = session->Source;
    TControl* target = session->Target;
    bool accepted = false;
    if (!session->Pending && target) {
        if (drop)
            accepted = DragTo(target, dmDragMove, screen);
        if (!drop || !accepted)
            DragTo(target, dmDragLeave, screen);
    }
    const bool dropped = drop && accepted && target;
    if (dropped && session)
        DragTo(target, dmDragDrop, screen);
    if (!session)
        return; // a handler ended the drag itself
    // A press that never passed the threshold has no drag object and no cursor of its own.
    TDragObject* object = session->Object;
    if (object)
        object->Dropped = dropped;
    const bool wasPending = session->Pending || !object;
    std::unique_ptr<TDragSession> done = std::move(session);
    if (GetCaptureControl() == source)
        SetCaptureControl(nullptr);
    if (wasPending)
        return;
    QApplication::restoreOverrideCursor();
    if (!dropped)
        object->DragCanceled();
    if (!dropped)
        source->DragCanceled();
    TControl* reported = dropped ? target : nullptr;
    const TPoint local = reported ? reported->ScreenToClient(screen) : TPoint{0, 0};
    source->DoEndDrag(reported, local.X, local.Y);
}

void Start()
{
    TDragObject* object = nullptr;
    TControl* source = session->Source;
    source->DoStartDrag(object);
    if (!session)
        return;
    session->Pending = false;
    if (!object) {
        session->OwnObject = std::make_unique<TDragControlObject>(session->Source);
        object = session->OwnObject.get();
    }
    session->Object = object;
    QApplication::setOverrideCursor(Qt::ForbiddenCursor);
}

void Move(TPoint screen)
{
    if (!session)
        return;
    if (session->Pending) {
        if (std::abs(screen.X - session->Start.X) < session->Threshold &&
            std::abs(screen.Y - session->Start.Y) < session->Threshold)
            return;
        Start();
        if (!session)
            return;
    }
    session->Object->DragPos = screen;
    TControl* target = FindDragTarget(screen, false);
    if (target != session->Target) {
        if (session->Target)
            DragTo(session->Target, dmDragLeave, screen);
        session->Target = target;
        if (target)
            target->FreeNotification(&Forgetter());
        const bool accepted = DragTo(target, dmDragEnter, screen);
        session->Object->DragTarget = target;
        QApplication::changeOverrideCursor(accepted ? Qt::DragMoveCursor : Qt::ForbiddenCursor);
        return;
    }
    const bool accepted = DragTo(target, dmDragMove, screen);
    QApplication::changeOverrideCursor(accepted ? Qt::DragMoveCursor : Qt::ForbiddenCursor);
}

// Watches the application's mouse and keys: automatic drags start on a press, a running drag
// follows the mouse and ends on release, Escape or the right button.
class TDragWatch : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            const QPoint global = mouse->globalPosition().toPoint();
            const TPoint screen{global.x(), global.y()};
            if (session) {
                if (mouse->button() == Qt::RightButton) {
                    Finish(false, screen);
                    return true;
                }
                return false;
            }
            if (mouse->button() != Qt::LeftButton || !watched->isWidgetType())
                return false;
            TControl* control = FindDragTarget(screen, false);
            if (control && control->DragMode == dmAutomatic) {
                BeginDrag(control, false, -1);
                session->Start = screen;
            }
            return false;
        }
        case QEvent::MouseMove:
            if (session) {
                const QPoint global = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
                Move({global.x(), global.y()});
                return !session || !session->Pending;
            }
            return false;
        case QEvent::MouseButtonRelease:
            if (session && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
                const QPoint global = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
                const bool pending = session->Pending;
                Finish(true, {global.x(), global.y()});
                return !pending;
            }
            return false;
        case QEvent::KeyPress:
            if (session && !session->Pending && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
                const TPoint screen = session->Object->DragPos;
                Finish(false, screen);
                return true;
            }
            return false;
        default:
            return false;
        }
    }
};

void EnsureWatch()
{
    static TDragWatch* watch = nullptr;
    if (watch || !qApp)
        return;
    watch = new TDragWatch;
    qApp->installEventFilter(watch);
}

} // namespace

void InstallDragWatch() { EnsureWatch(); }

TCursor TDragObject::GetDragCursor(bool accepted, int, int) { return accepted ? crDrag : crNoDrop; }

TCursor TDragControlObject::GetDragCursor(bool accepted, int X, int Y)
{
    if (accepted && Control)
        return Control->DragCursor;
    return TDragObject::GetDragCursor(accepted, X, Y);
}

void BeginDrag(TControl* control, bool immediate, int threshold)
{
    if (!control || session)
        return;
    EnsureWatch();
    control->FreeNotification(&Forgetter());
    session = std::make_unique<TDragSession>();
    session->Source = control;
    session->Threshold = threshold < 0 ? 5 : threshold;
    TPoint cursor;
    GetCursorPos(cursor);
    session->Start = cursor;
    SetCaptureControl(control);
    if (immediate) {
        Start();
        Move(cursor);
    }
}

void EndDrag(TControl* control, bool drop)
{
    if (!session || session->Source != control)
        return;
    const TPoint screen = session->Object ? session->Object->DragPos : session->Start;
    Finish(drop, screen);
}

bool Dragging(const TControl* control) { return session && session->Source == control && !session->Pending; }

TControl* DragControl() { return session && !session->Pending ? session->Source : nullptr; }
