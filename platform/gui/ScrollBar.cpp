// Scroll bars, scroll boxes and progress bars.

#include "platform/gui/ScrollBar.h"

#include "platform/gui/private/ControlHost.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/gui/private/StdCtrlSupport.h"
#include "platform/gui/private/Surfaces.h"

#include <QScrollBar>
#include <QSignalBlocker>

#include <algorithm>

// --- TScrollBar -------------------------------------------------------------------------------------

TScrollBar::TScrollBar(TComponent* AOwner) : TWinControl(AOwner)
{
    ControlStyle = TControlStyle{csFramed, csDoubleClicks, csOpaque};
    SetTabStop(true);
    SetBounds(0, 0, 121, 16);
}

QScrollBar* TScrollBar::Bar() const { return FHost ? qobject_cast<QScrollBar*>(FHost->Widget()) : nullptr; }

void TScrollBar::CreateParams(TCreateParams& Params)
{
    TWinControl::CreateParams(Params);
    Params.WinClassName = "SCROLLBAR";
    Params.Style |= FKind == sbVertical ? SBS_VERT : SBS_HORZ;
}

IHostWidget* TScrollBar::CreateHost(const TCreateParams&, void* parentWidget)
{
    auto* host = new TControlHost<QScrollBar>(this, static_cast<QWidget*>(parentWidget));
    host->setOrientation(FKind == sbVertical ? Qt::Vertical : Qt::Horizontal);
    host->setFocusPolicy(Qt::ClickFocus);
    QObject::connect(host, &QAbstractSlider::actionTriggered, host, [this](int action) { UserAction(action); });
    QObject::connect(host, &QAbstractSlider::sliderReleased, host, [this] {
        DoScroll(scPosition, FPosition);
        DoScroll(scEndScroll, FPosition);
    });
    return host;
}

void TScrollBar::CreateWnd()
{
    TWinControl::CreateWnd();
    ApplyToBar();
}

void TScrollBar::ApplyToBar()
{
    QScrollBar* bar = Bar();
    if (!bar)
        return;
    FApplying = true;
    QSignalBlocker blocker(bar);
    bar->setOrientation(FKind == sbVertical ? Qt::Vertical : Qt::Horizontal);
    bar->setRange(FMin, std::max(LastPosition(), FMin));
    bar->setPageStep(FPageSize > 0 ? FPageSize : std::max(LargeChange, 1));
    bar->setSingleStep(std::max(SmallChange, 1));
    bar->setValue(FPosition);
    FApplying = false;
}

void TScrollBar::SetKind(TScrollBarKind value)
{
    if (FKind == value)
        return;
    FKind = value;
    SetBounds(Left(), Top(), Height(), Width());
    ApplyToBar();
}

void TScrollBar::SetPageSize(int value)
{
    if (value < 0 || value > FMax - FMin + 1)
        RAISE(EInvalidOperation("Scrollbar property out of range"));
    FPageSize = value;
    FPosition = std::clamp(FPosition, FMin, std::max(LastPosition(), FMin));
    ApplyToBar();
}

void TScrollBar::SetParams(int position, int min, int max)
{
    if (max < min)
        RAISE(EInvalidOperation("Scrollbar property out of range"));
    FMin = min;
    FMax = max;
    position = std::clamp(position, FMin, std::max(LastPosition(), FMin));
    const bool changed = position != FPosition;
    FPosition = position;
    ApplyToBar();
    if (changed)
        Change();
}

void TScrollBar::Change()
{
    if (OnChange)
        OnChange(this);
}

void TScrollBar::Scroll(TScrollCode ScrollCode, int& ScrollPos)
{
    if (OnScroll)
        OnScroll(this, ScrollCode, ScrollPos);
}

void TScrollBar::DoScroll(TScrollCode code, int trackPos)
{
    int pos = FPosition;
    switch (code) {
    case scLineUp:
        pos -= SmallChange;
        break;
    case scLineDown:
        pos += SmallChange;
        break;
    case scPageUp:
        pos -= LargeChange;
        break;
    case scPageDown:
        pos += LargeChange;
        break;
    case scPosition:
    case scTrack:
        pos = trackPos;
        break;
    case scTop:
        pos = FMin;
        break;
    case scBottom:
        pos = FMax;
        break;
    case scEndScroll:
        break;
    }
    pos = std::clamp(pos, FMin, std::max(LastPosition(), FMin));
    Scroll(code, pos);
    SetPosition(pos);
}

void TScrollBar::UserAction(int action)
{
    QScrollBar* bar = Bar();
    if (!bar || FApplying)
        return;
    TScrollCode code = scEndScroll;
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
        code = scLineDown;
        break;
    case QAbstractSlider::SliderSingleStepSub:
        code = scLineUp;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        code = scPageDown;
        break;
    case QAbstractSlider::SliderPageStepSub:
        code = scPageUp;
        break;
    case QAbstractSlider::SliderToMinimum:
        code = scTop;
        break;
    case QAbstractSlider::SliderToMaximum:
        code = scBottom;
        break;
    case QAbstractSlider::SliderMove:
        code = scTrack;
        break;
    default:
        return;
    }
    const int track = bar->sliderPosition();
    const WORD windowsCode = static_cast<WORD>(code);
    StdCtrl::SendToParent(this, FKind == sbVertical ? WM_VSCROLL : WM_HSCROLL,
                          MAKEWPARAM(windowsCode, static_cast<WORD>(track)),
                          HandleAllocated() ? reinterpret_cast<LPARAM>(Handle()) : 0);
    // Qt applies its own step after this signal; the control's position wins.
    if (Bar())
        Bar()->setSliderPosition(FPosition);
}

void TScrollBar::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case CN_HSCROLL:
    case CN_VSCROLL: {
        StdCtrl::MarkReflected();
        const auto code = static_cast<TScrollCode>(std::min<WORD>(LOWORD(Message.WParam), scEndScroll));
        int track = static_cast<SHORT>(HIWORD(Message.WParam));
        if (QScrollBar* bar = Bar(); bar && (code == scTrack || code == scPosition))
            track = bar->sliderPosition();
        DoScroll(code, track);
        return;
    }
    case SBM_SETPOS: {
        const LRESULT previous = FPosition;
        SetPosition(static_cast<int>(Message.WParam));
        Message.Result = previous;
        return;
    }
    case SBM_GETPOS:
        Message.Result = FPosition;
        return;
    case SBM_SETRANGE:
    case SBM_SETRANGEREDRAW:
        SetParams(FPosition, static_cast<int>(Message.WParam), static_cast<int>(Message.LParam));
        return;
    case SBM_GETRANGE:
        if (Message.WParam)
            *reinterpret_cast<int*>(Message.WParam) = FMin;
        if (Message.LParam)
            *reinterpret_cast<int*>(Message.LParam) = FMax;
        return;
    case SBM_SETSCROLLINFO:
        if (auto* info = reinterpret_cast<SCROLLINFO*>(Message.LParam)) {
            int min = FMin, max = FMax, pos = FPosition;
            if (info->fMask & SIF_RANGE) {
                min = info->nMin;
                max = info->nMax;
            }
            if (info->fMask & SIF_PAGE)
                FPageSize = static_cast<int>(info->nPage);
            if (info->fMask & SIF_POS)
                pos = info->nPos;
            SetParams(pos, min, std::max(min, max));
        }
        Message.Result = FPosition;
        return;
    case SBM_GETSCROLLINFO:
        if (auto* info = reinterpret_cast<SCROLLINFO*>(Message.LParam)) {
            info->nMin = FMin;
            info->nMax = FMax;
            info->nPage = static_cast<UINT>(FPageSize);
            info->nPos = FPosition;
            info->nTrackPos = Bar() ? Bar()->sliderPosition() : FPosition;
        }
        Message.Result = TRUE;
        return;
    default:
        TWinControl::Dispatch(Message);
    }
}

// --- TScrollBox ------------------------------------------------------------------------------------------

TScrollBox::TScrollBox(TComponent* AOwner) : TScrollingWinControl(AOwner)
{
    ControlStyle = TControlStyle{csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks, csAcceptsControls};
    SetBounds(0, 0, 185, 41);
}

void TScrollBox::CreateParams(TCreateParams& Params)
{
    TScrollingWinControl::CreateParams(Params);
    if (FBorderStyle == bsSingle)
        Params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TScrollBox::SetBorderStyle(TBorderStyle value)
{
    FBorderStyle = value;
    if (HandleAllocated())
        RecreateWnd();
}

// --- TProgressBar ------------------------------------------------------------------------------------------

TProgressBar::TProgressBar(TComponent* AOwner) : TWinControl(AOwner)
{
    SetBounds(0, 0, 150, 16);
    SetColor(clBtnFace);
}

void TProgressBar::CreateParams(TCreateParams& Params)
{
    TWinControl::CreateParams(Params);
    Params.WinClassName = "msctls_progress32";
    Params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TProgressBar::SetMin(int value)
{
    FMin = value;
    FMax = std::max(FMax, FMin);
    SetPosition(FPosition);
}

void TProgressBar::SetMax(int value)
{
    FMax = value;
    FMin = std::min(FMin, FMax);
    SetPosition(FPosition);
}

void TProgressBar::SetPosition(int value)
{
    FPosition = std::clamp(value, FMin, FMax);
    Invalidate();
}

void TProgressBar::StepIt()
{
    int next = FPosition + Step;
    // The Windows progress bar wraps to the start when a step passes the end.
    if (next > FMax)
        next = FMin + (next - FMax - 1) % std::max(FMax - FMin + 1, 1);
    SetPosition(next);
}

void TProgressBar::StepBy(int delta) { SetPosition(FPosition + delta); }

void TProgressBar::SetOrientation(TProgressBarOrientation value)
{
    FOrientation = value;
    Invalidate();
}

void TProgressBar::SetSmooth(bool value)
{
    FSmooth = value;
    Invalidate();
}

void TProgressBar::Paint()
{
    QPainter* painter = PaintPainter(this);
    if (!painter)
        return;
    const int w = ClientWidth(), h = ClientHeight();
    painter->fillRect(QRect(0, 0, w, h), ToQColor(Color()));
    const int range = std::max(FMax - FMin, 1);
    const QColor fill = ToQColor(clHighlight);
    if (FOrientation == pbHorizontal) {
        const int filled = MulDiv(FPosition - FMin, w - 2, range);
        if (FSmooth) {
            painter->fillRect(QRect(1, 1, filled, h - 2), fill);
        } else {
            const int block = std::max((h - 2) * 2 / 3, 2);
            for (int x = 1; x < 1 + filled; x += block + 2)
                painter->fillRect(QRect(x, 1, std::min(block, 1 + filled - x), h - 2), fill);
        }
    } else {
        const int filled = MulDiv(FPosition - FMin, h - 2, range);
        if (FSmooth) {
            painter->fillRect(QRect(1, h - 1 - filled, w - 2, filled), fill);
        } else {
            const int block = std::max((w - 2) * 2 / 3, 2);
            for (int y = h - 1; y > h - 1 - filled; y -= block + 2) {
                const int size = std::min(block, y - (h - 1 - filled));
                painter->fillRect(QRect(1, y - size, w - 2, size), fill);
            }
        }
    }
}
