#pragma once
// The Qt widget that hosts one control. The template takes the Qt base class, so that standard
// controls are hosted the same way on QLineEdit, QComboBox and the others; a host over plain
// QWidget is a window the layer paints from the control's retained image.

#include "platform/gui/WinControl.h"

#include <QEvent>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <type_traits>

class QKeyEvent;
class QMouseEvent;
class QPaintEvent;

class IHostWidget {
public:
    virtual ~IHostWidget() = default;
    virtual QWidget* Widget() = 0;
    virtual TControl* Control() const = 0;
    // The control is gone or lost its window: the widget stops forwarding events.
    virtual void Detach() = 0;
    // The default processing of a message that reached TWinControl::DefaultHandler: true when the
    // host handled it (Qt-painted controls pass the Qt event on).
    virtual bool DefaultMessage(TMessage& Message) = 0;
    // True while the widget handles one of its own events (it must not be deleted then).
    virtual bool InEvent() const = 0;
    // Takes what was drawn on the retained image while the widget paints (see THostBridge).
    virtual bool GatherDrawing(const QRect& rect) { (void)rect; return false; }
    // Sets the geometry without reporting it back as a user action.
    virtual void SetGeometryFromCode(const QRect& rect) = 0;
    // The window's non-client area changed: a widget that paints its own content area (a scroll
    // area's viewport) keeps it inside the client rectangle, in window coordinates.
    virtual void ClientAreaChanged(const TRect& clientInWindow, int width, int height)
    {
        (void)clientInWindow;
        (void)width;
        (void)height;
    }
};

// What every host does, whatever its Qt base class.
class THostBridge {
public:
    THostBridge(TControl* control, QWidget* widget, bool paintsRetained);

    using TBase = std::function<bool(QEvent*)>;
    bool Event(QEvent* event, const TBase& base);
    void PaintRetained(QPaintEvent* event);
    ~THostBridge();
    void PaintAfter(QPaintEvent* event);
    void PaintOver(QWidget* target, const QRegion& targetRegion);
    void PaintOverNow(QWidget* target, const QRegion& targetRegion);
    // While the control paints over Qt's painting, what it draws (widget coordinates) is gathered
    // instead of asking for a paint each time; false outside such a paint.
    bool GatherDrawing(const QRect& rect);
    // Paints over the viewport of a scroll area too; called once the Qt widget is complete.
    void WatchViewport();
    bool DefaultMessage(TMessage& Message, const TBase& base);

    TControl* Control = nullptr;
    QWidget* Widget = nullptr;
    bool PaintsRetained = true;
    int EventDepth = 0;
    bool SettingGeometry = false;
    // True while a scroll area's viewport paints through the area's paintEvent: the drawing goes
    // over the viewport then, never over the window outside its own paint.
    bool PaintingViewport = false;
    QRegion* DrawnDuringPaint = nullptr;

private:
    bool KeyEvent(QKeyEvent* event, const TBase& base);
    bool MouseEvent(QMouseEvent* event);
    bool NonClientHit(QMouseEvent* event, bool& swallow);
    bool CloseEvent(QEvent* event);
    void GeometryEvent(QEvent* event);
    bool DropEvent(QEvent* event);

    // The key being translated: the default processing decides from these what Qt sees.
    QKeyEvent* FCurrentKey = nullptr;
    QMouseEvent* FCurrentMouse = nullptr;
    bool FKeyReachedDefault = false;
    bool FCharReachedDefault = false;
    unsigned char FDefaultChar = 0;
    QPointer<QObject> FViewportPainter;
};

template <typename QtBase>
class TControlHost : public QtBase, public IHostWidget {
public:
    static constexpr bool PaintsRetained = std::is_same_v<QtBase, QWidget>;

    TControlHost(TControl* control, QWidget* parent) : QtBase(parent), FBridge(control, this, PaintsRetained)
    {
        FBridge.WatchViewport();
    }

    QWidget* Widget() override { return this; }
    TControl* Control() const override { return FBridge.Control; }
    void Detach() override { FBridge.Control = nullptr; }
    bool InEvent() const override { return FBridge.EventDepth > 0; }
    bool GatherDrawing(const QRect& rect) override { return FBridge.GatherDrawing(rect); }
    void SetGeometryFromCode(const QRect& rect) override
    {
        FBridge.SettingGeometry = true;
        this->setGeometry(rect);
        FBridge.SettingGeometry = false;
    }
    bool DefaultMessage(TMessage& Message) override
    {
        if constexpr (PaintsRetained)
            return false;
        else
            return FBridge.DefaultMessage(Message, [this](QEvent* e) { return QtBase::event(e); });
    }

protected:
    bool event(QEvent* e) override
    {
        return FBridge.Event(e, [this](QEvent* ev) { return QtBase::event(ev); });
    }
    void paintEvent(QPaintEvent* e) override
    {
        if constexpr (PaintsRetained) {
            FBridge.PaintRetained(e);
        } else {
            PaintWindowClass(e);
            FBridge.PaintAfter(e);
        }
    }
    // The window class's own look, painted before the control hears WM_PAINT.
    virtual void PaintWindowClass(QPaintEvent* e) { QtBase::paintEvent(e); }

private:
    THostBridge FBridge;
};

// The control that has the mouse capture (SetCapture, a press on a csCaptureMouse control).
TControl* GetCaptureControl();
// Moves the capture; the control that loses it hears WM_CAPTURECHANGED.
void SetCaptureControl(TControl* control);
// Forgets a control that is being destroyed (capture, hover, hint) without messages.
void ForgetControl(TControl* control);

// True while any host widget handles one of its events: a widget deleted then could be one of
// those on the stack, or hold one of them.
bool AnyHostInEvent();

// Raises a widget; top-level windows only where the platform can (offscreen cannot).
void RaiseWidget(QWidget* widget);

// The widget of a control's host, nullptr without one.
QWidget* WidgetOf(const TControl* control);

class TCustomForm;
// The control as a windowed control or as a form, nullptr when it is not one. Cheaper than
// dynamic_cast on the key and mouse paths: the answer is kept per dynamic type.
TWinControl* AsWinControl(TControl* control);
TCustomForm* AsForm(const TControl* control);
// GetParentForm with the cheaper test.
TCustomForm* ParentFormOf(const TControl* control);

struct TWindowRecord;
// SendMessage to a window whose record the caller already holds (no look-up in the handle table).
LRESULT SendMessageToRecord(const std::shared_ptr<TWindowRecord>& record, UINT message, WPARAM wParam,
                            LPARAM lParam);
