#include "platform/gui/HintWindow.h"

#include "platform/gui/Application.h"
#include "platform/gui/Canvas.h"
#include "platform/gui/Screen.h"
#include "platform/gui/TextOutput.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/gui/private/ControlHost.h"
#include "platform/gui/private/HintManager.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/gui/private/Surfaces.h"
#include "platform/rtl/Threads.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <algorithm>

std::string GetShortHint(const std::string& hint)
{
    const std::size_t bar = hint.find('|');
    return bar == std::string::npos ? hint : hint.substr(0, bar);
}

std::string GetLongHint(const std::string& hint)
{
    const std::size_t bar = hint.find('|');
    return bar == std::string::npos ? hint : hint.substr(bar + 1);
}

// --- THintWindow --------------------------------------------------------------------------------------------

THintWindow::THintWindow(TComponent* AOwner) : TCustomControl(AOwner)
{
    FVisible = false;
    SetColor(Application ? Application->HintColor : clInfoBk);
    if (Screen)
        Font()->Assign(Screen->HintFont());
}

void THintWindow::CreateParams(TCreateParams& Params)
{
    TCustomControl::CreateParams(Params);
    Params.Style = WS_POPUP | WS_BORDER;
    Params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
    Params.WndParent = nullptr;
}

TRect THintWindow::CalcHintRect(int maxWidth, const std::string& hint, void*)
{
    // Measured on the window's own canvas with the font and DrawText flags that Paint uses, so
    // the text wraps in the window as it did here.
    TCanvas* canvas = Canvas();
    canvas->Font()->Assign(Font());
    RECT area = Rect(0, 0, std::max(maxWidth, 1), 0);
    DrawTextA(canvas->Handle(), hint, -1, &area, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
    TRect rect = Rect(0, 0, area.Width(), area.Height());
    rect.Right += 6;
    rect.Bottom += 2;
    return rect;
}

void THintWindow::ActivateHint(TRect rect, const std::string& hint)
{
    SetCaption(hint);
    const TRect screen = Screen ? Screen->WorkAreaRect() : Rect(0, 0, 1024, 768);
    // Four pixels taller than asked: Paint draws the text 2 pixels below the client's top, and
    // the measured rectangle leaves room only for the border, so the last line would lose its
    // descenders; with these the text keeps 2 pixels of margin on every side.
    rect.Bottom += 4;
    int width = rect.Width();
    int height = rect.Height();
    int left = std::max(std::min(rect.Left, screen.Right - width), screen.Left);
    int top = std::max(std::min(rect.Top, screen.Bottom - height), screen.Top);
    HandleNeeded();
    SetBounds(left, top, width, height);
    if (QWidget* widget = WidgetOf(this)) {
        // The mouse passes through a hint, as through the class library's (HTTRANSPARENT): a hint
        // pushed under the cursor at the screen's edge must not make the control lose the mouse.
        if (!(widget->windowFlags() & Qt::WindowTransparentForInput))
            widget->setWindowFlag(Qt::WindowTransparentForInput);
        widget->setGeometry(left, top, width, height);
        FVisible = true;
        widget->show();
    }
    Invalidate();
}

void THintWindow::ActivateHintData(TRect rect, const std::string& hint, void*) { ActivateHint(rect, hint); }

void THintWindow::ReleaseHandle()
{
    FVisible = false;
    if (QWidget* widget = WidgetOf(this))
        widget->hide();
}

void THintWindow::Paint()
{
    TCanvas* canvas = Canvas();
    TRect area = ClientRect();
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(area);
    canvas->Font()->Assign(Font());
    canvas->Font()->SetColor(Screen ? Screen->HintFont()->Color() : clInfoText);
    canvas->Brush()->SetStyle(bsClear);
    area.Left += 2;
    area.Top += 2;
    DrawTextA(canvas->Handle(), GetText(), -1, &area, DT_LEFT | DT_NOPREFIX | DT_WORDBREAK);
}

// --- The hint manager -------------------------------------------------------------------------------------------
//
// The rules of the class library: the hint belongs to the first control, from the one under the
// mouse up through its parents, whose ShowHint holds; its text is the first non-empty Hint on
// that way. Once a hint has been shown the manager stays "active" until it is cancelled (a key, a
// button, a control without hints, the mouse leaving the program), and while it is active the next
// hint comes after HintShortPause instead of HintPause. A hint hidden by its hide timeout comes
// back only when the mouse leaves its cursor rectangle or moves to another control.

namespace {

struct THintState {
    TControl* HintControl = nullptr; // the control whose hint is waiting or shown
    bool Active = false;
    bool Shown = false;
    bool CursorRectValid = false;
    TRect CursorRect; // screen coordinates
    TPoint LastPos;
    THintWindow* Window = nullptr;
    QTimer* ShowTimer = nullptr;
    QTimer* HideTimer = nullptr;
    QTimer* LeaveTimer = nullptr; // the mouse left a control and entered none of ours
};

THintState& State()
{
    static THintState state;
    return state;
}

TControl* HintControlOf(TControl* control)
{
    while (control && !control->ShowHint())
        control = control->Parent();
    return control;
}

std::string HintTextOf(TControl* control)
{
    for (; control; control = control->Parent())
        if (!control->Hint().empty())
            return control->Hint();
    return std::string();
}

bool IsHintWindow(TControl* control)
{
    const THintState& state = State();
    for (; control; control = control->Parent())
        if (control == state.Window)
            return true;
    return false;
}

void StopTimers()
{
    THintState& state = State();
    if (state.ShowTimer)
        state.ShowTimer->stop();
    if (state.HideTimer)
        state.HideTimer->stop();
}

// Hides the window; the manager stays active.
void HideHint()
{
    THintState& state = State();
    if (state.HideTimer)
        state.HideTimer->stop();
    if (state.Shown && state.Window)
        state.Window->ReleaseHandle();
    state.Shown = false;
}

void CancelHint()
{
    THintState& state = State();
    StopTimers();
    HideHint();
    state.HintControl = nullptr;
    state.Active = false;
    state.CursorRectValid = false;
}

THintWindow* HintWindow()
{
    THintState& state = State();
    if (!state.Window) {
        const THintWindowClass& factory = Application->HintWindowClass();
        state.Window = factory ? factory(nullptr) : nullptr;
        if (!state.Window)
            state.Window = new THintWindow(nullptr);
    }
    return state.Window;
}

void ShowHintNow()
{
    THintState& state = State();
    TControl* control = state.HintControl;
    if (!control || !Application || !Application->ShowHint() || !control->ShowHint())
        return;
    THintInfo info;
    info.HintControl = control;
    info.CursorPos = control->ScreenToClient(state.LastPos);
    info.HintPos = {state.LastPos.X, state.LastPos.Y + 20};
    info.HintMaxWidth = Screen ? Screen->Width() : 1024;
    info.HintColor = Application->HintColor;
    info.CursorRect = control->ClientRect();
    info.ReshowTimeout = 0;
    info.HideTimeout = Application->HintHidePause;
    info.HintStr = GetShortHint(HintTextOf(control));
    bool canShow = control->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info)) == 0;
    if (canShow && Application->OnShowHint)
        Application->OnShowHint(info.HintStr, canShow, info);
    if (state.HintControl != control)
        return; // a handler moved the hint elsewhere or cancelled it
    state.Active = canShow;
    if (canShow && !info.HintStr.empty()) {
        THintWindow* window = HintWindow();
        window->SetColor(info.HintColor);
        TRect rect = window->CalcHintRect(info.HintMaxWidth, info.HintStr, info.HintData);
        OffsetRect(rect, info.HintPos.X, info.HintPos.Y);
        window->ActivateHintData(rect, info.HintStr, info.HintData);
        state.Shown = true;
        const TPoint origin = control->ClientToScreen(info.CursorRect.TopLeft());
        state.CursorRect = Bounds(origin.X, origin.Y, info.CursorRect.Width(), info.CursorRect.Height());
        state.CursorRectValid = true;
        if (info.ReshowTimeout > 0)
            state.ShowTimer->start(info.ReshowTimeout);
        else if (info.HideTimeout > 0)
            state.HideTimer->start(info.HideTimeout);
        return;
    }
    if (info.ReshowTimeout > 0)
        state.ShowTimer->start(info.ReshowTimeout);
    else
        CancelHint();
}

void ShowTimerExpired()
{
    TControl* control = State().HintControl;
    try {
        ShowHintNow();
    } catch (...) {
        // A faulty hint-window class or handler must not leave a half-shown hint behind.
        CancelHint();
        HandleApplicationException(control);
    }
}

QTimer* MakeTimer(void (*expired)())
{
    auto* timer = new QTimer;
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer, &QTimer::timeout, expired);
    return timer;
}

void EnsureTimers()
{
    THintState& state = State();
    if (state.ShowTimer)
        return;
    state.ShowTimer = MakeTimer(&ShowTimerExpired);
    state.HideTimer = MakeTimer(&HideHint);
    state.LeaveTimer = MakeTimer(&CancelHint);
    state.LeaveTimer->setInterval(0);
}

} // namespace

namespace HintManager {

void MouseMoved(TControl* control, TPoint screenPos)
{
    if (!Application || !QCoreApplication::instance() || IsHintWindow(control))
        return;
    EnsureTimers();
    THintState& state = State();
    state.LeaveTimer->stop();
    state.LastPos = screenPos;
    Application->SetHint(GetLongHint(HintTextOf(control)));
    if (!Application->ShowHint())
        return;
    TControl* hintControl = HintControlOf(control);
    if (!hintControl) {
        CancelHint();
        return;
    }
    const bool sameArea = !state.CursorRectValid || PtInRect(state.CursorRect, screenPos);
    if (hintControl == state.HintControl && sameArea)
        return;
    // No new hint while a button is held (a drag or a selection in progress).
    if (QApplication::mouseButtons() != Qt::NoButton)
        return;
    const bool wasActive = state.Active;
    StopTimers();
    HideHint();
    state.HintControl = hintControl;
    state.CursorRectValid = false;
    state.ShowTimer->start(wasActive ? Application->HintShortPause : Application->HintPause);
}

void MouseLeft(TControl* control)
{
    THintState& state = State();
    if (!state.LeaveTimer || IsHintWindow(control))
        return;
    // Entering another control of the program comes with a move that stops this timer; only
    // leaving the program's windows for good cancels the hint.
    state.LeaveTimer->start();
}

void Cancel() { CancelHint(); }

void Forget(TControl* control)
{
    THintState& state = State();
    if (!control) {
        // The hint window is made again from the current class next time.
        CancelHint();
        if (state.Window) {
            THintWindow* window = state.Window;
            state.Window = nullptr;
            TComponent::Free(window);
        }
        return;
    }
    if (state.HintControl == control)
        CancelHint();
    if (state.Window == control) {
        state.Window = nullptr;
        state.Shown = false;
    }
}

} // namespace HintManager
