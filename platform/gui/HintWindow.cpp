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
#include <QFontMetrics>
#include <QPainter>
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

namespace {

// The text without "&" prefixes ("&&" stays one "&").
QString WithoutPrefixes(const std::string& text)
{
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) {
            ++i;
        }
        plain += text[i];
    }
    return ToQString(plain);
}

} // namespace

// --- THintWindow --------------------------------------------------------------------------------------------

THintWindow::THintWindow(TComponent* AOwner) : TCustomControl(AOwner)
{
    FVisible = false;
    SetColor(Application ? Application->HintColor : clInfoBk);
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
    const QFontMetrics metrics(QApplication::font());
    const QRect bounds = metrics.boundingRect(QRect(0, 0, std::max(maxWidth, 1), 100000),
                                              Qt::AlignLeft | Qt::TextWordWrap, WithoutPrefixes(hint));
    TRect rect = Rect(0, 0, bounds.width(), bounds.height());
    rect.Right += 6;
    rect.Bottom += 2;
    return rect;
}

void THintWindow::ActivateHint(TRect rect, const std::string& hint)
{
    SetCaption(hint);
    const TRect screen = Screen ? Screen->WorkAreaRect() : Rect(0, 0, 1024, 768);
    int width = rect.Width();
    int height = rect.Height();
    int left = std::max(std::min(rect.Left, screen.Right - width), screen.Left);
    int top = std::max(std::min(rect.Top, screen.Bottom - height), screen.Top);
    HandleNeeded();
    SetBounds(left, top, width, height);
    if (QWidget* widget = WidgetOf(this)) {
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
    canvas->Font()->SetColor(clInfoText);
    canvas->Brush()->SetStyle(bsClear);
    area.Left += 2;
    area.Top += 2;
    DrawTextA(canvas->Handle(), GetText(), -1, &area, DT_LEFT | DT_NOPREFIX | DT_WORDBREAK);
}

// --- The hint manager -------------------------------------------------------------------------------------------

namespace {

struct THintState {
    TControl* Hover = nullptr;
    TControl* Shown = nullptr;
    bool Suppressed = false;
    TPoint LastPos;
    TRect CursorRect; // screen coordinates of the shown hint's control area
    THintWindow* Window = nullptr;
    std::uint32_t LastHidden = 0;
    bool EverHidden = false;
    QTimer* ShowTimer = nullptr;
    QTimer* HideTimer = nullptr;
};

THintState& State()
{
    static THintState state;
    return state;
}

void HideHint()
{
    THintState& state = State();
    if (state.HideTimer)
        state.HideTimer->stop();
    if (state.Shown && state.Window) {
        state.Window->ReleaseHandle();
        state.LastHidden = GetTickCount();
        state.EverHidden = true;
    }
    state.Shown = nullptr;
}

bool EffectiveShowHint(TControl* control)
{
    return control->ShowHint();
}

void ShowHintNow()
{
    THintState& state = State();
    TControl* control = state.Hover;
    if (!control || !Application || !Application->ShowHint() || state.Suppressed)
        return;
    try {
        if (!EffectiveShowHint(control) || control->Hint().empty())
            return;
        THintInfo info;
        info.HintControl = control;
        info.CursorPos = state.LastPos;
        info.HintPos = {state.LastPos.X, state.LastPos.Y + 20};
        info.HintMaxWidth = Screen ? Screen->Width() : 1024;
        info.HintColor = Application->HintColor;
        info.CursorRect = control->ClientRect();
        info.ReshowTimeout = 0;
        info.HideTimeout = Application->HintHidePause;
        info.HintStr = GetShortHint(control->Hint());
        if (control->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info)) != 0)
            return;
        bool canShow = true;
        if (Application->OnShowHint)
            Application->OnShowHint(info.HintStr, canShow, info);
        if (!canShow || State().Hover != control)
            return;
        if (!state.Window) {
            const THintWindowClass& factory = Application->HintWindowClass();
            state.Window = factory ? factory(nullptr) : new THintWindow(nullptr);
        }
        state.Window->SetColor(info.HintColor);
        TRect rect = state.Window->CalcHintRect(info.HintMaxWidth, info.HintStr, info.HintData);
        OffsetRect(rect, info.HintPos.X, info.HintPos.Y);
        state.Window->ActivateHintData(rect, info.HintStr, info.HintData);
        state.Shown = control;
        const TPoint origin = control->ClientToScreen({info.CursorRect.Left, info.CursorRect.Top});
        state.CursorRect = Bounds(origin.X, origin.Y, info.CursorRect.Width(), info.CursorRect.Height());
        if (info.HideTimeout > 0)
            state.HideTimer->start(info.HideTimeout);
    } catch (...) {
        HandleApplicationException(control);
    }
}

void EnsureTimers()
{
    THintState& state = State();
    if (state.ShowTimer)
        return;
    state.ShowTimer = new QTimer;
    state.ShowTimer->setSingleShot(true);
    state.ShowTimer->setTimerType(Qt::PreciseTimer);
    QObject::connect(state.ShowTimer, &QTimer::timeout, [] { ShowHintNow(); });
    state.HideTimer = new QTimer;
    state.HideTimer->setSingleShot(true);
    state.HideTimer->setTimerType(Qt::PreciseTimer);
    QObject::connect(state.HideTimer, &QTimer::timeout, [] { HideHint(); });
}

} // namespace

namespace HintManager {

void MouseMoved(TControl* control, TPoint screenPos)
{
    if (!Application || !QCoreApplication::instance())
        return;
    EnsureTimers();
    THintState& state = State();
    if (state.Window && control == state.Window)
        return;
    state.LastPos = screenPos;
    if (control != state.Hover) {
        state.Hover = control;
        state.Suppressed = false;
        if (state.Shown)
            HideHint();
        Application->SetHint(control ? GetLongHint(control->Hint()) : std::string());
        state.ShowTimer->stop();
        if (control && Application->ShowHint() && !control->Hint().empty()) {
            const bool recently = state.EverHidden &&
                                  GetTickCount() - state.LastHidden < static_cast<std::uint32_t>(Application->HintShortPause);
            state.ShowTimer->start(recently ? Application->HintShortPause : Application->HintPause);
        }
        return;
    }
    if (state.Shown && !PtInRect(state.CursorRect, screenPos))
        HideHint();
}

void MouseLeft(TControl* control)
{
    THintState& state = State();
    if (control != state.Hover)
        return;
    if (state.ShowTimer)
        state.ShowTimer->stop();
    HideHint();
    state.Hover = nullptr;
}

void Cancel()
{
    THintState& state = State();
    if (state.ShowTimer)
        state.ShowTimer->stop();
    HideHint();
    state.Suppressed = true;
}

void Forget(TControl* control)
{
    THintState& state = State();
    if (!control) {
        // The hint window is made again from the current class next time.
        HideHint();
        if (state.Window) {
            THintWindow* window = state.Window;
            state.Window = nullptr;
            TComponent::Free(window);
        }
        return;
    }
    if (state.Hover == control) {
        state.Hover = nullptr;
        if (state.ShowTimer)
            state.ShowTimer->stop();
    }
    if (state.Shown == control)
        HideHint();
    if (state.Window == control)
        state.Window = nullptr;
}

} // namespace HintManager
