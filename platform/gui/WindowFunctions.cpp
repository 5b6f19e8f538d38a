#include "platform/gui/WindowFunctions.h"

#include "platform/gui/Form.h"
#include "platform/gui/ScrollBar.h"
#include "platform/gui/SystemMetrics.h"
#include "platform/gui/WindowHandles.h"
#include "platform/gui/private/ControlHost.h"
#include "platform/gui/private/HandleTable.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/gui/private/ScrollInfo.h"
#include "platform/gui/private/Surfaces.h"
#include "platform/rtl/Threads.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cstring>

namespace {

TWinControl* ControlOf(HWND handle) { return FindControl(handle); }

QWidget* WidgetOfHandle(HWND handle)
{
    std::shared_ptr<TWindowRecord> record = HandleTable::Find(handle);
    if (!record)
        return nullptr;
    if (record->Control)
        return WidgetOf(record->Control);
    return nullptr;
}

HWND HandleOfWidget(QWidget* widget)
{
    for (QWidget* w = widget; w; w = w->parentWidget())
        if (auto* host = dynamic_cast<IHostWidget*>(w))
            if (auto* control = dynamic_cast<TWinControl*>(host->Control()); control && control->HandleAllocated())
                return control->Handle();
    return nullptr;
}

TRect WindowScreenRect(TWinControl* control)
{
    const TPoint origin = control->ClientOrigin();
    const TRect client = control->ClientRectInWindow();
    return Bounds(origin.X - client.Left, origin.Y - client.Top, control->Width(), control->Height());
}

} // namespace

BOOL ShowWindow(HWND handle, int command)
{
    TWinControl* control = ControlOf(handle);
    if (!control)
        return FALSE;
    CheckGuiThread();
    const BOOL wasVisible = control->Visible();
    QWidget* widget = WidgetOf(control);
    switch (command) {
    case SW_HIDE:
        control->SetVisible(false);
        break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
        control->SetVisible(true);
        if (widget)
            widget->showMinimized();
        break;
    case SW_SHOWMAXIMIZED:
        control->SetVisible(true);
        if (widget)
            widget->showMaximized();
        break;
    case SW_RESTORE:
    case SW_SHOWNORMAL:
        control->SetVisible(true);
        if (widget && widget->isWindow())
            widget->showNormal();
        break;
    default:
        control->SetVisible(true);
        if (widget && widget->isWindow() && !widget->isVisible())
            widget->show();
        break;
    }
    return wasVisible;
}

BOOL IsWindowVisible(HWND handle)
{
    TWinControl* control = ControlOf(handle);
    if (!control)
        return FALSE;
    QWidget* widget = WidgetOf(control);
    return widget && widget->isVisible();
}

// The window's own state, as the window system keeps it: the control's Enabled property stays
// as it is (a control may be disabled for the keyboard while its window takes the mouse).
BOOL EnableWindow(HWND handle, BOOL enable)
{
    if (!ControlOf(handle))
        return FALSE;
    const LONG_PTR style = GetWindowLongPtrA(handle, GWL_STYLE);
    const BOOL wasDisabled = (style & static_cast<LONG_PTR>(WS_DISABLED)) != 0;
    const LONG_PTR wanted = enable ? style & ~static_cast<LONG_PTR>(WS_DISABLED) : style | WS_DISABLED;
    if (wanted != style)
        SetWindowLongPtrA(handle, GWL_STYLE, wanted);
    // The widget may have been made with the control's state rather than the window's style.
    if (QWidget* widget = WidgetOfHandle(handle))
        widget->setEnabled(enable != FALSE);
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND handle)
{
    TWinControl* control = ControlOf(handle);
    if (!control)
        return FALSE;
    QWidget* widget = WidgetOf(control);
    return widget ? widget->isEnabled() : control->Enabled();
}

BOOL SetWindowPos(HWND handle, HWND insertAfter, int x, int y, int width, int height, UINT flags)
{
    TWinControl* control = ControlOf(handle);
    if (!control)
        return FALSE;
    CheckGuiThread();
    const int left = (flags & SWP_NOMOVE) ? control->Left() : x;
    const int top = (flags & SWP_NOMOVE) ? control->Top() : y;
    const int w = (flags & SWP_NOSIZE) ? control->Width() : width;
    const int h = (flags & SWP_NOSIZE) ? control->Height() : height;
    control->SetBounds(left, top, w, h);
    if (!(flags & SWP_NOZORDER)) {
        QWidget* widget = WidgetOf(control);
        if (insertAfter == HWND_TOP) {
            control->BringToFront();
        } else if (insertAfter == HWND_BOTTOM) {
            control->SendToBack();
        } else if ((insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) && widget && widget->isWindow()) {
            const bool visible = widget->isVisible();
            widget->setWindowFlag(Qt::WindowStaysOnTopHint, insertAfter == HWND_TOPMOST);
            if (visible)
                widget->show();
        }
    }
    if (flags & SWP_FRAMECHANGED)
        control->FrameChanged();
    if (flags & SWP_SHOWWINDOW)
        ShowWindow(handle, (flags & SWP_NOACTIVATE) ? SW_SHOWNOACTIVATE : SW_SHOW);
    if (flags & SWP_HIDEWINDOW)
        ShowWindow(handle, SW_HIDE);
    return TRUE;
}

BOOL MoveWindow(HWND handle, int x, int y, int width, int height, BOOL)
{
    return SetWindowPos(handle, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL GetWindowRect(HWND handle, TRect& rect)
{
    // The desktop window covers the primary screen, whose picture the screen context gives.
    if (handle && handle == GetDesktopWindow()) {
        rect = Rect(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
        return TRUE;
    }
    TWinControl* control = ControlOf(handle);
    if (!control)
        return FALSE;
    rect = WindowScreenRect(control);
    return TRUE;
}

BOOL GetClientRect(HWND handle, TRect& rect)
{
    TWinControl* control = ControlOf(handle);
    if (!control)
        return FALSE;
    rect = control->ClientRect();
    return TRUE;
}

BOOL ClientToScreen(HWND handle, TPoint& point)
{
    TWinControl* control = ControlOf(handle);
    if (!control)
        return FALSE;
    point = control->ClientToScreen(point);
    return TRUE;
}

BOOL ScreenToClient(HWND handle, TPoint& point)
{
    TWinControl* control = ControlOf(handle);
    if (!control)
        return FALSE;
    point = control->ScreenToClient(point);
    return TRUE;
}

int MapWindowPoints(HWND from, HWND to, TPoint* points, UINT count)
{
    TPoint fromOrigin{0, 0};
    TPoint toOrigin{0, 0};
    if (TWinControl* control = ControlOf(from))
        fromOrigin = control->ClientOrigin();
    if (TWinControl* control = ControlOf(to))
        toOrigin = control->ClientOrigin();
    const int dx = fromOrigin.X - toOrigin.X;
    const int dy = fromOrigin.Y - toOrigin.Y;
    for (UINT i = 0; points && i < count; ++i) {
        points[i].X += dx;
        points[i].Y += dy;
    }
    return MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy));
}

HWND GetParent(HWND handle)
{
    std::shared_ptr<TWindowRecord> record = HandleTable::Find(handle);
    if (!record)
        return nullptr;
    if (record->Control && record->Control->Parent() && record->Control->Parent()->HandleAllocated())
        return record->Control->Parent()->Handle();
    return record->Parent ? record->Parent : record->Owner;
}

HWND SetParent(HWND child, HWND newParent)
{
    TWinControl* control = ControlOf(child);
    if (!control)
        return nullptr;
    HWND previous = GetParent(child);
    control->SetParent(ControlOf(newParent));
    return previous;
}

HWND GetWindow(HWND handle, UINT command)
{
    std::shared_ptr<TWindowRecord> record = HandleTable::Find(handle);
    if (!record)
        return nullptr;
    if (command == GW_OWNER)
        return record->Owner;
    TWinControl* control = record->Control;
    if (!control)
        return nullptr;
    auto windowed = [](TWinControl* parent) {
        std::vector<HWND> handles;
        for (int i = parent->ControlCount() - 1; i >= 0; --i)
            if (auto* win = dynamic_cast<TWinControl*>(parent->Controls(i)); win && win->HandleAllocated())
                handles.push_back(win->Handle());
        return handles;
    };
    if (command == GW_CHILD) {
        std::vector<HWND> children = windowed(control);
        return children.empty() ? nullptr : children.front();
    }
    if (!control->Parent())
        return nullptr;
    std::vector<HWND> siblings = windowed(control->Parent());
    auto found = std::find(siblings.begin(), siblings.end(), handle);
    if (found == siblings.end())
        return nullptr;
    switch (command) {
    case GW_HWNDFIRST:
        return siblings.front();
    case GW_HWNDLAST:
        return siblings.back();
    case GW_HWNDNEXT:
        return found + 1 == siblings.end() ? nullptr : *(found + 1);
    case GW_HWNDPREV:
        return found == siblings.begin() ? nullptr : *(found - 1);
    default:
        return nullptr;
    }
}

HWND GetDesktopWindow()
{
    static HWND desktop = [] {
        auto record = std::make_shared<TWindowRecord>();
        record->ClassName = "#32769";
        record->Proc = WNDPROC(&DefWindowProcA);
        return HandleTable::Allocate(record);
    }();
    return desktop;
}

HWND GetFocus() { return HandleOfWidget(QApplication::focusWidget()); }

HWND SetFocus(HWND handle)
{
    HWND previous = GetFocus();
    if (QWidget* widget = WidgetOfHandle(handle))
        widget->setFocus(Qt::OtherFocusReason);
    return previous;
}

HWND GetActiveWindow() { return HandleOfWidget(QApplication::activeWindow()); }

HWND SetActiveWindow(HWND handle)
{
    HWND previous = GetActiveWindow();
    if (QWidget* widget = WidgetOfHandle(handle))
        widget->window()->activateWindow();
    return previous;
}

HWND GetForegroundWindow() { return GetActiveWindow(); }

BOOL SetForegroundWindow(HWND handle)
{
    QWidget* widget = WidgetOfHandle(handle);
    if (!widget)
        return FALSE;
    RaiseWidget(widget->window());
    widget->window()->activateWindow();
    return TRUE;
}

HWND GetLastActivePopup(HWND handle)
{
    if (HWND modal = HandleOfWidget(QApplication::activeModalWidget()))
        return modal;
    return handle;
}

BOOL IsIconic(HWND handle)
{
    QWidget* widget = WidgetOfHandle(handle);
    return widget && widget->isMinimized();
}

BOOL IsZoomed(HWND handle)
{
    QWidget* widget = WidgetOfHandle(handle);
    return widget && widget->isMaximized();
}

BOOL IsChild(HWND parent, HWND handle)
{
    TWinControl* parentControl = ControlOf(parent);
    TWinControl* control = ControlOf(handle);
    if (!parentControl || !control || parentControl == control)
        return FALSE;
    return parentControl->ContainsControl(control);
}

BOOL BringWindowToTop(HWND handle)
{
    TWinControl* control = ControlOf(handle);
    if (!control)
        return FALSE;
    control->BringToFront();
    return TRUE;
}

HWND GetCapture()
{
    auto* control = dynamic_cast<TWinControl*>(GetCaptureControl());
    return control && control->HandleAllocated() ? control->Handle() : nullptr;
}

HWND SetCapture(HWND handle)
{
    HWND previous = GetCapture();
    if (TWinControl* control = ControlOf(handle))
        SetCaptureControl(control);
    return previous;
}

BOOL ReleaseCapture()
{
    SetCaptureControl(nullptr);
    return TRUE;
}

// --- Painting --------------------------------------------------------------------------------------------------

BOOL InvalidateRect(HWND handle, const TRect* rect, BOOL)
{
    TWinControl* control = ControlOf(handle);
    if (!control || !WidgetOf(control))
        return FALSE;
    if (!rect) {
        control->Invalidate();
        return TRUE;
    }
    InvalidateClientRect(control, ToQRect(*rect));
    return TRUE;
}

BOOL ValidateRect(HWND handle, const TRect* rect)
{
    TWinControl* control = ControlOf(handle);
    if (!control || !control->Surface())
        return FALSE;
    if (!rect)
        control->Surface()->Pending = QRegion();
    else
        control->Surface()->Pending -= ToQRect(*rect).translated(ClientOffset(control));
    return TRUE;
}

BOOL UpdateWindow(HWND handle)
{
    TWinControl* control = ControlOf(handle);
    if (!control)
        return FALSE;
    control->Update();
    return TRUE;
}

BOOL RedrawWindow(HWND handle, const TRect* rect, HRGN, UINT flags)
{
    TWinControl* control = ControlOf(handle);
    if (!control)
        return FALSE;
    if (flags & (RDW_INVALIDATE | RDW_FRAME))
        InvalidateRect(handle, rect, (flags & RDW_ERASE) != 0);
    if (flags & RDW_VALIDATE)
        ValidateRect(handle, rect);
    if (flags & RDW_ALLCHILDREN) {
        for (int i = 0; i < control->ControlCount(); ++i) {
            if (auto* child = dynamic_cast<TWinControl*>(control->Controls(i)); child && child->HandleAllocated())
                RedrawWindow(child->Handle(), nullptr, nullptr, flags);
            else
                control->Controls(i)->Invalidate();
        }
    }
    if (flags & (RDW_UPDATENOW | RDW_ERASENOW))
        control->Update();
    return TRUE;
}

BOOL GetUpdateRect(HWND handle, TRect* rect, BOOL)
{
    TWinControl* control = ControlOf(handle);
    if (!control || !control->Surface())
        return FALSE;
    const QRect pending = control->Surface()->Pending.boundingRect().translated(-ClientOffset(control));
    if (rect)
        *rect = ToTRect(pending);
    return pending.isEmpty() ? FALSE : TRUE;
}

int ScrollWindowEx(HWND handle, int dx, int dy, const TRect* scrollRect, const TRect* clipRect, HRGN,
                   TRect* updateRect, UINT flags)
{
    TWinControl* control = ControlOf(handle);
    if (!control)
        return 0;
    const QPoint offset = ClientOffset(control);
    QRect area = scrollRect ? ToQRect(*scrollRect) : ToQRect(control->ClientRect());
    if (clipRect)
        area &= ToQRect(*clipRect);
    if (QImage* image = RetainedImage(control); image && !area.isEmpty()) {
        const QRect windowArea = area.translated(offset);
        const QImage copy = image->copy(windowArea);
        QPainter painter(image);
        painter.setClipRect(windowArea);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(windowArea.topLeft() + QPoint(dx, dy), copy);
    }
    QRegion uncovered = QRegion(area) - QRegion(area.translated(dx, dy));
    if (updateRect)
        *updateRect = ToTRect(uncovered.boundingRect());
    if (flags & SW_INVALIDATE) {
        for (const QRect& r : uncovered)
            InvalidateClientRect(control, r);
    }
    ShowDrawing(control, area);
    if (flags & SW_SCROLLCHILDREN) {
        control->DisableAlign();
        for (int i = 0; i < control->ControlCount(); ++i) {
            TControl* child = control->Controls(i);
            child->SetBounds(child->Left() + dx, child->Top() + dy, child->Width(), child->Height());
        }
        control->EnableAlign();
    }
    return uncovered.isEmpty() ? 1 : 2;
}

BOOL ScrollWindow(HWND handle, int dx, int dy, const TRect* scrollRect, const TRect* clipRect)
{
    const UINT flags = SW_INVALIDATE | (scrollRect ? 0 : SW_SCROLLCHILDREN);
    return ScrollWindowEx(handle, dx, dy, scrollRect, clipRect, nullptr, nullptr, flags | SW_SCROLLCHILDREN) != 0;
}

// --- Text ---------------------------------------------------------------------------------------------------------

int GetWindowTextA(HWND handle, char* buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    return static_cast<int>(SendMessageA(handle, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(buffer)));
}

BOOL SetWindowTextA(HWND handle, const char* text)
{
    if (!IsWindow(handle))
        return FALSE;
    SendMessageA(handle, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : ""));
    return TRUE;
}

int GetWindowTextLengthA(HWND handle) { return static_cast<int>(SendMessageA(handle, WM_GETTEXTLENGTH, 0, 0)); }

// --- Placement ------------------------------------------------------------------------------------------------------

BOOL GetWindowPlacement(HWND handle, WINDOWPLACEMENT& placement)
{
    TWinControl* control = ControlOf(handle);
    if (!control)
        return FALSE;
    QWidget* widget = WidgetOf(control);
    placement.length = 44;
    placement.flags = 0;
    placement.showCmd = SW_SHOWNORMAL;
    if (widget && widget->isMinimized())
        placement.showCmd = SW_SHOWMINIMIZED;
    else if (widget && widget->isMaximized())
        placement.showCmd = SW_SHOWMAXIMIZED;
    else if (!control->Visible())
        placement.showCmd = SW_HIDE;
    if (widget && widget->isWindow() && (widget->isMinimized() || widget->isMaximized()))
        placement.rcNormalPosition = ToTRect(widget->normalGeometry());
    else
        placement.rcNormalPosition = control->BoundsRect();
    placement.ptMinPosition = {-1, -1};
    placement.ptMaxPosition = {-1, -1};
    return TRUE;
}

namespace {

// A top-level rectangle that no screen's work area shows at all (a screen that has gone away)
// moves onto the primary screen's work area with its size, cut to that area when larger.
TRect ReachableWindowRect(const TRect& rect)
{
    const QRect wanted(rect.Left, rect.Top, std::max(rect.Width(), 1), std::max(rect.Height(), 1));
    for (QScreen* screen : QGuiApplication::screens())
        if (screen->availableGeometry().intersects(wanted))
            return rect;
    QRect area(0, 0, 1024, 768);
    if (QScreen* primary = QGuiApplication::primaryScreen())
        area = primary->availableGeometry();
    const int width = std::min(rect.Width(), area.width());
    const int height = std::min(rect.Height(), area.height());
    const int left = std::clamp(rect.Left, area.left(), area.left() + area.width() - width);
    const int top = std::clamp(rect.Top, area.top(), area.top() + area.height() - height);
    return Bounds(left, top, width, height);
}

} // namespace

BOOL SetWindowPlacement(HWND handle, const WINDOWPLACEMENT& placement)
{
    TWinControl* control = ControlOf(handle);
    if (!control)
        return FALSE;
    QWidget* widget = WidgetOf(control);
    const bool topLevel = widget ? widget->isWindow() : !control->Parent();
    control->SetBoundsRect(topLevel ? ReachableWindowRect(placement.rcNormalPosition) : placement.rcNormalPosition);
    // SW_HIDE on a window that is not on the screen changes nothing, as on Windows: a form that
    // restores its placement while it is being shown stays on its way to the screen.
    if (placement.showCmd != SW_HIDE || IsWindowVisible(handle))
        ShowWindow(handle, static_cast<int>(placement.showCmd));
    return TRUE;
}

BOOL EnumThreadWindows(DWORD threadId, const WNDENUMPROC& callback, LPARAM lParam)
{
    if (threadId != GetCurrentThreadId() || !callback)
        return FALSE;
    for (const auto& record : HandleTable::All()) {
        if (record->Thread != std::this_thread::get_id() || !record->Control)
            continue;
        if (record->Control->Parent())
            continue;
        if (!callback(record->Handle, lParam))
            return FALSE;
    }
    return TRUE;
}

namespace {

bool EnumChildren(TWinControl* parent, const WNDENUMPROC& callback, LPARAM lParam)
{
    for (int i = 0; i < parent->ControlCount(); ++i) {
        auto* child = dynamic_cast<TWinControl*>(parent->Controls(i));
        if (!child || !child->HandleAllocated())
            continue;
        if (!callback(child->Handle(), lParam))
            return false;
        if (!EnumChildren(child, callback, lParam))
            return false;
    }
    return true;
}

} // namespace

BOOL EnumChildWindows(HWND parent, const WNDENUMPROC& callback, LPARAM lParam)
{
    TWinControl* control = ControlOf(parent);
    if (!control || !callback)
        return FALSE;
    return EnumChildren(control, callback, lParam) ? TRUE : FALSE;
}

// --- Scroll bars -----------------------------------------------------------------------------------------------------

namespace {

int MaxScrollPos(const SCROLLINFO& info)
{
    return std::max(info.nMax - std::max(static_cast<int>(info.nPage) - 1, 0), info.nMin);
}

void ApplyScrollInfo(TWinControl* control, int bar, bool disableNoScroll)
{
    SCROLLINFO& info = control->ScrollInfo(bar);
    const int range = info.nMax - info.nMin + 1;
    const bool needed = info.nPage == 0 ? info.nMax > info.nMin : range > static_cast<int>(info.nPage);
    if (needed)
        control->SetScrollBarState(bar, true, true);
    else if (disableNoScroll)
        control->SetScrollBarState(bar, true, false);
    else
        control->SetScrollBarState(bar, false, true);
}

} // namespace

void MergeScrollInfo(SCROLLINFO& info, const SCROLLINFO& source)
{
    if (source.fMask & SIF_RANGE) {
        info.nMin = source.nMin;
        info.nMax = std::max(source.nMax, source.nMin);
    }
    if (source.fMask & SIF_PAGE)
        info.nPage = std::min<UINT>(source.nPage, static_cast<UINT>(info.nMax - info.nMin + 1));
    if (source.fMask & SIF_POS)
        info.nPos = source.nPos;
    info.nPos = std::clamp(info.nPos, info.nMin, MaxScrollPos(info));
}

void ReadScrollInfo(const SCROLLINFO& info, SCROLLINFO& target)
{
    if (target.fMask & SIF_RANGE) {
        target.nMin = info.nMin;
        target.nMax = info.nMax;
    }
    if (target.fMask & SIF_PAGE)
        target.nPage = info.nPage;
    if (target.fMask & SIF_POS)
        target.nPos = info.nPos;
    if (target.fMask & SIF_TRACKPOS)
        target.nTrackPos = info.nTrackPos;
}

int SetScrollInfo(HWND handle, int bar, const SCROLLINFO& source, BOOL redraw)
{
    // A scroll-bar control keeps its own values: SB_CTL talks to it through its messages.
    if (bar == SB_CTL)
        return static_cast<int>(
            SendMessageA(handle, SBM_SETSCROLLINFO, static_cast<WPARAM>(redraw), reinterpret_cast<LPARAM>(&source)));
    TWinControl* control = ControlOf(handle);
    if (!control || (bar != SB_HORZ && bar != SB_VERT))
        return 0;
    SCROLLINFO& info = control->ScrollInfo(bar);
    MergeScrollInfo(info, source);
    if (source.fMask & (SIF_RANGE | SIF_PAGE))
        ApplyScrollInfo(control, bar, (source.fMask & SIF_DISABLENOSCROLL) != 0);
    else
        control->SetScrollBarState(bar, control->ScrollBarShown(bar), control->ScrollBarEnabled(bar));
    return info.nPos;
}

BOOL GetScrollInfo(HWND handle, int bar, SCROLLINFO& target)
{
    if (bar == SB_CTL)
        return IsWindow(handle) && SendMessageA(handle, SBM_GETSCROLLINFO, 0, reinterpret_cast<LPARAM>(&target)) != 0;
    TWinControl* control = ControlOf(handle);
    if (!control || (bar != SB_HORZ && bar != SB_VERT))
        return FALSE;
    ReadScrollInfo(control->ScrollInfo(bar), target);
    return TRUE;
}

int SetScrollPos(HWND handle, int bar, int position, BOOL redraw)
{
    if (bar == SB_CTL)
        return static_cast<int>(SendMessageA(handle, SBM_SETPOS, static_cast<WPARAM>(position), redraw));
    TWinControl* control = ControlOf(handle);
    if (!control || (bar != SB_HORZ && bar != SB_VERT))
        return 0;
    const int previous = control->ScrollInfo(bar).nPos;
    SCROLLINFO info;
    info.fMask = SIF_POS;
    info.nPos = position;
    SetScrollInfo(handle, bar, info, redraw);
    return previous;
}

int GetScrollPos(HWND handle, int bar)
{
    if (bar == SB_CTL)
        return static_cast<int>(SendMessageA(handle, SBM_GETPOS, 0, 0));
    TWinControl* control = ControlOf(handle);
    if (!control || (bar != SB_HORZ && bar != SB_VERT))
        return 0;
    return control->ScrollInfo(bar).nPos;
}

BOOL SetScrollRange(HWND handle, int bar, int minimum, int maximum, BOOL redraw)
{
    SCROLLINFO info;
    info.fMask = SIF_RANGE;
    info.nMin = minimum;
    info.nMax = maximum;
    return IsWindow(handle) && SetScrollInfo(handle, bar, info, redraw) >= 0;
}

BOOL GetScrollRange(HWND handle, int bar, int* minimum, int* maximum)
{
    if (bar == SB_CTL) {
        if (!IsWindow(handle))
            return FALSE;
        SendMessageA(handle, SBM_GETRANGE, reinterpret_cast<WPARAM>(minimum), reinterpret_cast<LPARAM>(maximum));
        return TRUE;
    }
    TWinControl* control = ControlOf(handle);
    if (!control || (bar != SB_HORZ && bar != SB_VERT))
        return FALSE;
    if (minimum)
        *minimum = control->ScrollInfo(bar).nMin;
    if (maximum)
        *maximum = control->ScrollInfo(bar).nMax;
    return TRUE;
}

BOOL ShowScrollBar(HWND handle, int bar, BOOL show)
{
    TWinControl* control = ControlOf(handle);
    if (!control)
        return FALSE;
    if (bar == SB_HORZ || bar == SB_BOTH)
        control->SetScrollBarState(SB_HORZ, show != FALSE, control->ScrollBarEnabled(SB_HORZ));
    if (bar == SB_VERT || bar == SB_BOTH)
        control->SetScrollBarState(SB_VERT, show != FALSE, control->ScrollBarEnabled(SB_VERT));
    return TRUE;
}

BOOL EnableScrollBar(HWND handle, UINT bar, UINT arrows)
{
    TWinControl* control = ControlOf(handle);
    if (!control)
        return FALSE;
    const bool enable = arrows == ESB_ENABLE_BOTH;
    if (bar == static_cast<UINT>(SB_HORZ) || bar == static_cast<UINT>(SB_BOTH))
        control->SetScrollBarState(SB_HORZ, control->ScrollBarShown(SB_HORZ), enable);
    if (bar == static_cast<UINT>(SB_VERT) || bar == static_cast<UINT>(SB_BOTH))
        control->SetScrollBarState(SB_VERT, control->ScrollBarShown(SB_VERT), enable);
    return TRUE;
}
