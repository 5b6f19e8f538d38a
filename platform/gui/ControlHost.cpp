// The bridge between a host widget's Qt events and the control's messages.

#include "platform/gui/private/ControlHost.h"

#include "platform/gui/DragDrop.h"
#include "platform/gui/Form.h"
#include "platform/gui/MessageQueue.h"
#include "platform/gui/WindowHandles.h"
#include "platform/gui/private/EventLoop.h"
#include "platform/gui/private/HandleTable.h"
#include "platform/gui/private/HintManager.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/gui/private/Surfaces.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Codepage.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QGuiApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QUrl>
#include <QWheelEvent>
#include <QWindow>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <typeinfo>
#include <vector>

bool AnyHostInEvent();

void RaiseWidget(QWidget* widget)
{
    if (!widget)
        return;
    if (widget->isWindow() && QGuiApplication::platformName() == QLatin1String("offscreen"))
        return;
    widget->raise();
}

// --- Type tests ----------------------------------------------------------------------------------------------

namespace {

// The answer of a dynamic_cast kept per dynamic type: typeid costs a virtual look-up, a failed
// dynamic_cast compares type names. During construction typeid gives the class being built,
// whose answer is just as right for that moment. Each slot holds a type_info address with the
// answer in its lowest bit (type_info is aligned), so that a slot is always a whole pair.
constexpr int TypeSlots = 32;

template <typename Target>
bool IsA(const TControl* control)
{
    static std::atomic<std::uintptr_t> answers[TypeSlots];
    static std::atomic<unsigned> next{0};
    // Taken into a reference first: GCC 12 gives the static type's type_info for
    // reinterpret_cast<std::uintptr_t>(&typeid(*control)), which made every class share one slot.
    const std::type_info& info = typeid(*control);
    const auto type = reinterpret_cast<std::uintptr_t>(&info);
    for (const auto& slot : answers) {
        const std::uintptr_t value = slot.load(std::memory_order_relaxed);
        if (value == 0)
            break;
        if ((value & ~std::uintptr_t(1)) == type)
            return (value & 1) != 0;
    }
    const bool yes = dynamic_cast<const Target*>(control) != nullptr;
    answers[next.fetch_add(1, std::memory_order_relaxed) % TypeSlots].store(type | (yes ? 1 : 0),
                                                                          std::memory_order_relaxed);
    return yes;
}

} // namespace

TWinControl* AsWinControl(TControl* control)
{
    return control && IsA<TWinControl>(control) ? static_cast<TWinControl*>(control) : nullptr;
}

TCustomForm* AsForm(const TControl* control)
{
    return control && IsA<TCustomForm>(control) ? static_cast<TCustomForm*>(const_cast<TControl*>(control)) : nullptr;
}

TCustomForm* ParentFormOf(const TControl* control)
{
    const TControl* top = control;
    while (top && top->Parent())
        top = top->Parent();
    return AsForm(top);
}

// --- Capture -------------------------------------------------------------------------------------------------

namespace {

TControl* captureControl = nullptr;

void SendToControl(TControl* control, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (auto* win = dynamic_cast<TWinControl*>(control); win && win->HandleAllocated())
        SendMessageA(win->Handle(), message, wParam, lParam);
    else
        control->Perform(message, wParam, lParam);
}

} // namespace

TControl* GetCaptureControl() { return captureControl; }

void SetCaptureControl(TControl* control)
{
    TControl* previous = captureControl;
    if (previous == control)
        return;
    captureControl = control;
    if (previous) {
        auto* win = dynamic_cast<TWinControl*>(control);
        const LPARAM newHandle = win && win->HandleAllocated() ? reinterpret_cast<LPARAM>(win->Handle()) : 0;
        SendToControl(previous, WM_CAPTURECHANGED, 0, newHandle);
    }
}

void ForgetControl(TControl* control)
{
    if (captureControl == control)
        captureControl = nullptr;
    HintManager::Forget(control);
    Popups::Forget(control);
}

// --- Popups -----------------------------------------------------------------------------------------------------

namespace Popups {

namespace {
struct TOpenPopup {
    TWinControl* Popup;
    TWinControl* Owner;
};
std::vector<TOpenPopup>& Open()
{
    static std::vector<TOpenPopup> open;
    return open;
}

TWinControl* FocusedControl()
{
    for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget())
        if (auto* host = dynamic_cast<IHostWidget*>(w))
            return dynamic_cast<TWinControl*>(host->Control());
    return nullptr;
}
} // namespace

void Shown(TWinControl* popup)
{
    Hidden(popup);
    Open().push_back({popup, FocusedControl()});
}

void Hidden(TWinControl* popup)
{
    auto& open = Open();
    open.erase(std::remove_if(open.begin(), open.end(), [popup](const TOpenPopup& p) { return p.Popup == popup; }),
               open.end());
}

void PressOutside(TControl* pressed)
{
    for (const TOpenPopup& open : std::vector<TOpenPopup>(Open())) {
        if (open.Popup->ContainsControl(pressed))
            continue;
        if (open.Owner)
            open.Owner->Perform(CM_CANCELMODE, 0, reinterpret_cast<LPARAM>(pressed));
    }
}

void Forget(TControl* control)
{
    auto& open = Open();
    open.erase(std::remove_if(open.begin(), open.end(),
                              [control](const TOpenPopup& p) { return p.Popup == control || p.Owner == control; }),
               open.end());
}

} // namespace Popups

// --- Focus -----------------------------------------------------------------------------------------------------

namespace {

TWinControl* WinControlOfWidget(QWidget* widget)
{
    for (QWidget* w = widget; w; w = w->parentWidget())
        if (auto* host = dynamic_cast<IHostWidget*>(w))
            return dynamic_cast<TWinControl*>(host->Control());
    return nullptr;
}

void FocusChanged(QWidget* oldWidget, QWidget* newWidget)
{
    TWinControl* oldControl = WinControlOfWidget(oldWidget);
    TWinControl* newControl = WinControlOfWidget(newWidget);
    if (oldControl == newControl)
        return;
    try {
        HWND oldHandle = oldControl && oldControl->HandleAllocated() ? oldControl->Handle() : nullptr;
        HWND newHandle = newControl && newControl->HandleAllocated() ? newControl->Handle() : nullptr;
        if (oldHandle)
            SendMessageA(oldHandle, WM_KILLFOCUS, reinterpret_cast<WPARAM>(newHandle), 0);
        if (newHandle && IsWindow(newHandle))
            SendMessageA(newHandle, WM_SETFOCUS, reinterpret_cast<WPARAM>(oldHandle), 0);
        if (newHandle && IsWindow(newHandle))
            if (TCustomForm* form = GetParentForm(newControl))
                form->SetFocusedControl(newControl);
    } catch (...) {
        HandleApplicationException(newControl);
    }
}

} // namespace

void InstallFocusTracking()
{
    static bool installed = false;
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (installed || !app)
        return;
    installed = true;
    QObject::connect(app, &QApplication::focusChanged, app, &FocusChanged);
}

// --- The bridge ------------------------------------------------------------------------------------------------

THostBridge::THostBridge(TControl* control, QWidget* widget, bool paintsRetained)
    : Control(control), Widget(widget), PaintsRetained(paintsRetained)
{
    widget->setMouseTracking(true);
    InstallFocusTracking();
    InstallDragWatch();
    EventLoop::Initialize();
}

namespace {

int allHostsDepth = 0;

struct TDepth {
    int& Depth;
    explicit TDepth(int& depth) : Depth(depth)
    {
        ++Depth;
        ++allHostsDepth;
    }
    ~TDepth()
    {
        --Depth;
        --allHostsDepth;
    }
};

LPARAM PointParam(int x, int y) { return MAKELPARAM(static_cast<WORD>(static_cast<SHORT>(x)), static_cast<WORD>(static_cast<SHORT>(y))); }

} // namespace

bool AnyHostInEvent() { return allHostsDepth > 0; }

bool THostBridge::Event(QEvent* event, const TBase& base)
{
    if (!Control)
        return base(event);
    TDepth depth(EventDepth);
    try {
        switch (event->type()) {
        case QEvent::ShortcutOverride:
            event->accept();
            return true;
        case QEvent::Paint:
            // A scroll area paints its own area (around the viewport) without its paintEvent,
            // which serves the viewport: the control's frame goes over it here.
            if (!PaintsRetained && qobject_cast<QAbstractScrollArea*>(Widget)) {
                const bool handled = base(event);
                PaintOver(Widget, static_cast<QPaintEvent*>(event)->region());
                return handled;
            }
            return base(event);
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            return KeyEvent(static_cast<QKeyEvent*>(event), base);
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
            return MouseEvent(static_cast<QMouseEvent*>(event));
        case QEvent::Wheel: {
            auto* wheel = static_cast<QWheelEvent*>(event);
            const QPoint global = wheel->globalPosition().toPoint();
            RecordModifiers(wheel->modifiers(), wheel->buttons());
            DeliverWheel(Control, wheel->angleDelta().y(), MouseKeysOf(wheel->modifiers(), wheel->buttons()),
                         {global.x(), global.y()});
            event->accept();
            return true;
        }
        case QEvent::Enter: {
            TControl* control = Control;
            control->Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(control));
            if (Control && control->Parent())
                control->Parent()->Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(control));
            return base(event);
        }
        case QEvent::Leave: {
            TControl* control = Control;
            HintManager::MouseLeft(control);
            control->Perform(CM_MOUSELEAVE, 0, reinterpret_cast<LPARAM>(control));
            if (Control && control->Parent())
                control->Parent()->Perform(CM_MOUSELEAVE, 0, reinterpret_cast<LPARAM>(control));
            return base(event);
        }
        case QEvent::ToolTip:
        case QEvent::WhatsThis:
            return true;
        case QEvent::Close:
            return CloseEvent(event);
        case QEvent::Resize:
        case QEvent::Move:
            GeometryEvent(event);
            return base(event);
        case QEvent::WindowActivate:
        case QEvent::WindowDeactivate:
            if (auto* form = dynamic_cast<TCustomForm*>(Control); form && form->HandleAllocated() && Widget->isWindow()) {
                const WORD state = event->type() == QEvent::WindowActivate ? WA_ACTIVE : WA_INACTIVE;
                SendMessageA(form->Handle(), WM_ACTIVATE, MAKEWPARAM(state, 0), 0);
            }
            return base(event);
        case QEvent::WindowStateChange:
            if (auto* win = dynamic_cast<TWinControl*>(Control); win && win->HandleAllocated()) {
                WPARAM type = SIZE_RESTORED;
                if (Widget->isMinimized())
                    type = SIZE_MINIMIZED;
                else if (Widget->isMaximized())
                    type = SIZE_MAXIMIZED;
                SendMessageA(win->Handle(), WM_SIZE, type,
                             MAKELPARAM(static_cast<WORD>(win->ClientWidth()), static_cast<WORD>(win->ClientHeight())));
            }
            return base(event);
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            return DropEvent(event);
        default:
            return base(event);
        }
    } catch (...) {
        HandleApplicationException(Control);
        return true;
    }
}

bool THostBridge::KeyEvent(QKeyEvent* event, const TBase& base)
{
    TWinControl* control = AsWinControl(Control);
    if (!control) {
        event->ignore();
        return false;
    }
    // A pressed key hides the hint, as on Windows; a release leaves it alone.
    if (event->type() == QEvent::KeyPress)
        HintManager::Cancel();
    const TKeyTranslation key = TranslateKey(event);
    Qt::KeyboardModifiers modifiers = event->modifiers();
    if (!key.Shift.Contains(ssCtrl))
        modifiers &= ~Qt::ControlModifier;
    if (!key.Alt)
        modifiers &= ~Qt::AltModifier;
    RecordModifiers(modifiers, QApplication::mouseButtons());
    control->HandleNeeded();
    // Held for the whole key: the handlers may destroy the window (the record then says so) or
    // the widget (the guard then says so).
    const std::shared_ptr<TWindowRecord> record = control->FRecord;
    const HWND handle = control->FHandle;
    const WORD vk = key.VirtualKey;
    QPointer<QWidget> guard(Widget);
    auto alive = [&] { return guard && Control && record && !record->Destroyed; };

    if (event->type() == QEvent::KeyRelease) {
        if (vk == 0)
            return true;
        RecordKeyState(vk, false);
        const UINT message = (key.Alt || vk == VK_F10) ? WM_SYSKEYUP : WM_KEYUP;
        MSG msg;
        msg.hwnd = handle;
        msg.message = message;
        msg.wParam = vk;
        msg.lParam = key.KeyData | (1 << 30);
        if (EventLoop::FilterInput(msg))
            return true;
        FCurrentKey = event;
        FKeyReachedDefault = false;
        SendMessageToRecord(record, message, vk, msg.lParam);
        if (alive() && !PaintsRetained && FKeyReachedDefault && vk != VK_TAB)
            base(event);
        if (guard)
            FCurrentKey = nullptr;
        return true;
    }

    if (vk)
        RecordKeyState(vk, true);
    FCurrentKey = event;
    FKeyReachedDefault = false;
    FCharReachedDefault = false;
    FDefaultChar = 0;
    bool ended = false;
    if (vk) {
        const UINT message = (key.Alt || vk == VK_F10) ? WM_SYSKEYDOWN : WM_KEYDOWN;
        MSG msg;
        msg.hwnd = handle;
        msg.message = message;
        msg.wParam = vk;
        msg.lParam = key.KeyData;
        if (EventLoop::FilterInput(msg))
            ended = true;
        else if (control->Perform(CN_BASE + message, vk, key.KeyData) != 0)
            ended = true;
        else if (alive())
            SendMessageToRecord(record, message, vk, key.KeyData);
    }
    if (!ended && key.HasChar && alive()) {
        const UINT message = key.Alt ? WM_SYSCHAR : WM_CHAR;
        MSG msg;
        msg.hwnd = handle;
        msg.message = message;
        msg.wParam = key.Char;
        msg.lParam = key.KeyData;
        if (!EventLoop::FilterInput(msg) && alive() &&
            control->Perform(CN_BASE + message, key.Char, key.KeyData) == 0 && alive())
            SendMessageToRecord(record, message, key.Char, key.KeyData);
    }
    if (!PaintsRetained && alive() && vk != VK_TAB) {
        if (key.HasChar) {
            if (FCharReachedDefault && FDefaultChar != 0) {
                if (FDefaultChar == key.Char) {
                    base(event);
                } else {
                    const QString text = QString(QChar(AnsiCharToUnicode(FDefaultChar)));
                    QKeyEvent changed(QEvent::KeyPress, Qt::Key_unknown, event->modifiers(), text,
                                      event->isAutoRepeat());
                    base(&changed);
                }
            }
        } else if (vk == 0 || FKeyReachedDefault) {
            base(event);
        }
    }
    if (guard)
        FCurrentKey = nullptr;
    return true;
}

bool THostBridge::NonClientHit(QMouseEvent* event, bool& swallow)
{
    swallow = false;
    auto* control = dynamic_cast<TWinControl*>(Control);
    if (!control || !control->HandleAllocated())
        return false;
    const QPoint global = event->globalPosition().toPoint();
    const LRESULT hit = SendMessageA(control->Handle(), WM_NCHITTEST, 0, PointParam(global.x(), global.y()));
    if (!Control)
        return true;
    if (Widget->isWindow()) {
        auto* form = dynamic_cast<TCustomForm*>(control);
        if (form && form->BorderStyle() == bsNone && event->type() == QEvent::MouseButtonPress &&
            event->button() == Qt::LeftButton && Widget->windowHandle()) {
            Qt::Edges edges;
            switch (hit) {
            case HTCAPTION:
                Widget->windowHandle()->startSystemMove();
                swallow = true;
                return true;
            case HTLEFT:
                edges = Qt::LeftEdge;
                break;
            case HTRIGHT:
                edges = Qt::RightEdge;
                break;
            case HTTOP:
                edges = Qt::TopEdge;
                break;
            case HTBOTTOM:
                edges = Qt::BottomEdge;
                break;
            case HTTOPLEFT:
                edges = Qt::TopEdge | Qt::LeftEdge;
                break;
            case HTTOPRIGHT:
                edges = Qt::TopEdge | Qt::RightEdge;
                break;
            case HTBOTTOMLEFT:
                edges = Qt::BottomEdge | Qt::LeftEdge;
                break;
            case HTBOTTOMRIGHT:
                edges = Qt::BottomEdge | Qt::RightEdge;
                break;
            default:
                break;
            }
            if (edges) {
                Widget->windowHandle()->startSystemResize(edges);
                swallow = true;
                return true;
            }
        }
        return false;
    }
    if (hit == HTTRANSPARENT) {
        event->ignore();
        return true;
    }
    if (hit == HTNOWHERE || hit == HTERROR || hit == HTBORDER) {
        swallow = true;
        return true;
    }
    return false;
}

bool THostBridge::MouseEvent(QMouseEvent* event)
{
    TControl* control = Control;
    const QPoint global = event->globalPosition().toPoint();
    RecordModifiers(event->modifiers(), event->buttons());
    const QEvent::Type type = event->type();
    // An explicit capture elsewhere takes the moves and releases.
    TControl* capture = GetCaptureControl();
    if (capture && capture != control && (type == QEvent::MouseMove || type == QEvent::MouseButtonRelease))
        control = capture;
    if (control == Control && type != QEvent::MouseButtonRelease && !(event->buttons() & ~event->button())) {
        bool swallow = false;
        if (NonClientHit(event, swallow))
            return swallow;
        if (!Control)
            return true;
    }
    if (type == QEvent::MouseMove) {
        HintManager::MouseMoved(control, {global.x(), global.y()});
    } else if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
        HintManager::Cancel();
        if (TCustomForm* form = GetParentForm(control))
            if (TWinControl* active = form->ActiveControl())
                active->Perform(CM_CANCELMODE, 0, reinterpret_cast<LPARAM>(control));
        Popups::PressOutside(control);
        if (!Control)
            return true;
    }
    const TPoint client = control->ScreenToClient({global.x(), global.y()});
    const WPARAM keys = MouseKeysOf(event->modifiers(), event->buttons());
    UINT message = WM_MOUSEMOVE;
    const Qt::MouseButton button = event->button();
    const int base = button == Qt::RightButton ? WM_RBUTTONDOWN : button == Qt::MiddleButton ? WM_MBUTTONDOWN : WM_LBUTTONDOWN;
    switch (type) {
    case QEvent::MouseButtonPress:
        message = base;
        break;
    case QEvent::MouseButtonRelease:
        message = base + 1;
        break;
    case QEvent::MouseButtonDblClick:
        message = control->ControlStyle.Contains(csDoubleClicks) ? base + 2 : base;
        break;
    default:
        break;
    }
    if (type != QEvent::MouseMove && button != Qt::LeftButton && button != Qt::RightButton &&
        button != Qt::MiddleButton)
        return true;
    MSG msg;
    auto* win = dynamic_cast<TWinControl*>(control);
    msg.hwnd = win && win->HandleAllocated() ? win->Handle() : nullptr;
    msg.message = message;
    msg.wParam = keys;
    msg.lParam = PointParam(client.X, client.Y);
    msg.pt = {global.x(), global.y()};
    if (EventLoop::FilterInput(msg))
        return true;
    QPointer<QWidget> guard(Widget);
    FCurrentMouse = event;
    SendToControl(control, message, keys, msg.lParam);
    if (guard)
        FCurrentMouse = nullptr;
    if (message == WM_RBUTTONUP && guard && Control)
        SendToControl(control, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(msg.hwnd), PointParam(global.x(), global.y()));
    event->accept();
    return true;
}

bool THostBridge::CloseEvent(QEvent* event)
{
    event->ignore();
    if (auto* win = dynamic_cast<TWinControl*>(Control); win && win->HandleAllocated())
        SendMessageA(win->Handle(), WM_CLOSE, 0, 0);
    return true;
}

void THostBridge::GeometryEvent(QEvent*)
{
    auto* win = dynamic_cast<TWinControl*>(Control);
    if (!win || SettingGeometry || !Widget->isWindow())
        return;
    const QRect geometry = Widget->geometry();
    const bool moved = geometry.x() != win->FLeft || geometry.y() != win->FTop;
    const bool resized = geometry.width() != win->FWidth || geometry.height() != win->FHeight;
    if (!moved && !resized)
        return;
    win->FLeft = geometry.x();
    win->FTop = geometry.y();
    win->FWidth = geometry.width();
    win->FHeight = geometry.height();
    win->BoundsChanged(moved, resized);
}

bool THostBridge::DropEvent(QEvent* event)
{
    auto* win = dynamic_cast<TWinControl*>(Control);
    std::shared_ptr<TWindowRecord> record = win && win->HandleAllocated() ? HandleTable::Find(win->Handle()) : nullptr;
    auto* drop = static_cast<QDropEvent*>(event);
    if (!record || !record->AcceptsFiles || !drop->mimeData()->hasUrls()) {
        event->ignore();
        return true;
    }
    if (event->type() != QEvent::Drop) {
        drop->acceptProposedAction();
        return true;
    }
    std::vector<std::string> names;
    for (const QUrl& url : drop->mimeData()->urls())
        if (url.isLocalFile())
            names.push_back(Utf8ToAnsi(url.toLocalFile().toStdString()));
    const QPoint global = Widget->mapToGlobal(drop->position().toPoint());
    const TPoint client = win->ScreenToClient({global.x(), global.y()});
    drop->acceptProposedAction();
    SendMessageA(win->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(CreateDrop(names, client)), 0);
    return true;
}

void THostBridge::PaintRetained(QPaintEvent* event)
{
    TControl* control = Control;
    if (!control)
        return;
    try {
        control->PaintControl();
        if (auto* win = dynamic_cast<TWinControl*>(control))
            win->SendNcPaint();
    } catch (...) {
        HandleApplicationException(control);
    }
    if (!Control || !control->Surface())
        return;
    QPainter painter(Widget);
    const QRect rect = event->rect();
    painter.drawImage(rect, control->Surface()->Image, rect);
}

// A window painted by Qt (an edit, a combo box, a memo) paints first; then the control hears
// WM_PAINT and may draw over it, as a handler that calls the inherited paint and draws on top
// does. What it draws lives on a transparent image laid over Qt's painting; invalidating an area
// clears the image there, so drawing outside WM_PAINT stays until then, as on the retained image.
void THostBridge::PaintAfter(QPaintEvent* event)
{
    if (!PaintingViewport)
        PaintOver(Widget, event->region());
}

// Paints the control's drawing over target (the window or the viewport Qt paints the text in),
// for region in the target's coordinates.
void THostBridge::PaintOverNow(QWidget* target, const QRegion& targetRegion)
{
    TControl* control = Control;
    TWinControl* win = AsWinControl(control);
    if (!win || !win->HandleAllocated())
        return;
    const QPoint offset = target == Widget ? QPoint(0, 0) : target->mapTo(Widget, QPoint(0, 0));
    const QRegion region = targetRegion.translated(offset);
    TSurface& surface = control->EnsureSurface();
    surface.Transparent = true; // Qt's painting shows wherever nothing was drawn
    surface.EnsureSize(Widget->size());
    const QRegion cleared = surface.Pending & region;
    if (!cleared.isEmpty()) {
        QPainter clear(&surface.Image);
        clear.setCompositionMode(QPainter::CompositionMode_Source);
        for (const QRect& rect : cleared)
            clear.fillRect(rect, Qt::transparent);
        surface.Pending -= region;
    }
    const TRect client = win->ClientRectInWindow();
    const QRect clientRect = ToQRect(client);
    // The frame a control draws itself in its non-client area went with the cleared area: it is
    // asked again after the client paint, as the system repaints a window's frame.
    const bool frameCleared = !(cleared - clientRect).isEmpty();
    {
        QPainter painter(&surface.Image);
        painter.setClipRegion(region & clientRect);
        painter.translate(client.Left, client.Top);
        surface.ClientRect = clientRect;
        surface.PaintRect = (region & clientRect).boundingRect().translated(-client.Left, -client.Top);
        surface.PaintErase = false;
        QPainter* previous = surface.PaintPainter;
        surface.PaintPainter = &painter;
        try {
            SendMessageA(win->Handle(), WM_PAINT, 0, 0);
        } catch (...) {
            HandleApplicationException(control);
        }
        surface.PaintPainter = previous;
    }
    if (Control != control)
        return;
    if (frameCleared) {
        try {
            win->SendNcPaint();
        } catch (...) {
            HandleApplicationException(control);
        }
        if (Control != control)
            return;
    }
    QPainter over(target);
    over.setClipRegion(targetRegion);
    over.drawImage(QPoint(0, 0), surface.Image, QRect(offset, target->size()));
}

// What the control draws with a window context while it paints over Qt's painting is shown by
// that same paint where it falls inside the region; only the rest asks for another paint.
void THostBridge::PaintOver(QWidget* target, const QRegion& targetRegion)
{
    QRegion drawn;
    QRegion* outer = DrawnDuringPaint;
    DrawnDuringPaint = &drawn;
    try {
        PaintOverNow(target, targetRegion);
    } catch (...) {
        DrawnDuringPaint = outer;
        throw;
    }
    DrawnDuringPaint = outer;
    const QPoint offset = target == Widget ? QPoint(0, 0) : target->mapTo(Widget, QPoint(0, 0));
    const QRegion rest = drawn - targetRegion.translated(offset);
    if (rest.isEmpty())
        return;
    if (outer)
        *outer += rest;
    else
        Widget->update(rest);
}

bool THostBridge::GatherDrawing(const QRect& rect)
{
    if (!DrawnDuringPaint)
        return false;
    *DrawnDuringPaint += rect;
    return true;
}

namespace {

// Qt paints a scroll area's text in its viewport, a child that covers the window: the control's
// drawing goes over the viewport once the scroll area has painted it.
class TViewportPainter : public QObject {
public:
    TViewportPainter(THostBridge* bridge, QWidget* viewport) : QObject(viewport), FBridge(bridge), FViewport(viewport)
    {
        viewport->installEventFilter(this);
    }
    THostBridge* Bridge() const { return FBridge; }
    void Forget() { FBridge = nullptr; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != FViewport || event->type() != QEvent::Paint || !FBridge || FInPaint)
            return false;
        FInPaint = true;
        FBridge->PaintingViewport = true;
        QCoreApplication::sendEvent(FViewport, event);
        FInPaint = false;
        if (FBridge) {
            FBridge->PaintingViewport = false;
            FBridge->PaintOver(FViewport, static_cast<QPaintEvent*>(event)->region());
        }
        return true;
    }

private:
    THostBridge* FBridge;
    QWidget* FViewport;
    bool FInPaint = false;
};

} // namespace

void THostBridge::WatchViewport()
{
    auto* area = qobject_cast<QAbstractScrollArea*>(Widget);
    if (!area || !area->viewport() || PaintsRetained)
        return;
    FViewportPainter = new TViewportPainter(this, area->viewport());
}

THostBridge::~THostBridge()
{
    if (FViewportPainter)
        static_cast<TViewportPainter*>(FViewportPainter.data())->Forget();
}

bool THostBridge::DefaultMessage(TMessage& Message, const TBase& base)
{
    if (PaintsRetained)
        return false;
    switch (Message.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP:
        if (FCurrentKey) {
            FKeyReachedDefault = true;
        } else {
            const bool down = Message.Msg == WM_KEYDOWN || Message.Msg == WM_SYSKEYDOWN;
            QKeyEvent synthetic(down ? QEvent::KeyPress : QEvent::KeyRelease,
                                QtKeyOfVirtualKey(static_cast<WORD>(Message.WParam)), Qt::NoModifier);
            base(&synthetic);
        }
        return true;
    case WM_CHAR:
    case WM_SYSCHAR:
        if (FCurrentKey) {
            FCharReachedDefault = true;
            FDefaultChar = static_cast<unsigned char>(Message.WParam & 0xFF);
        } else {
            const QString text(QChar(AnsiCharToUnicode(static_cast<unsigned char>(Message.WParam & 0xFF))));
            QKeyEvent synthetic(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
            base(&synthetic);
        }
        return true;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MOUSEMOVE:
        if (FCurrentMouse)
            base(FCurrentMouse);
        return true;
    default:
        return false;
    }
}
