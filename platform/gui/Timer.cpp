#include "platform/gui/Timer.h"

#include "platform/gui/MessageQueue.h"
#include "platform/gui/WindowHandles.h"
#include "platform/gui/private/EventLoop.h"
#include "platform/gui/private/HandleTable.h"
#include "platform/rtl/Threads.h"

#include <QTimer>

#include <algorithm>
#include <map>
#include <memory>

namespace {

struct TTimerKey {
    HWND Handle;
    UINT_PTR Id;
    bool operator<(const TTimerKey& other) const
    {
        return Handle != other.Handle ? Handle < other.Handle : Id < other.Id;
    }
};

std::map<TTimerKey, std::unique_ptr<QTimer>>& Timers()
{
    static std::map<TTimerKey, std::unique_ptr<QTimer>> timers;
    return timers;
}

UINT_PTR nextThreadTimerId = 0x7F00;

void Fire(HWND handle, UINT_PTR id, TIMERPROC proc)
{
    MSG msg;
    msg.hwnd = handle;
    msg.message = WM_TIMER;
    msg.wParam = id;
    msg.lParam = reinterpret_cast<LPARAM>(proc);
    msg.time = GetTickCount();
    try {
        if (EventLoop::FilterInput(msg))
            return;
        if (handle && !IsWindow(handle))
            return;
        DispatchMessageA(msg);
    } catch (...) {
        HandleApplicationException(SenderOf(handle));
    }
}

} // namespace

UINT_PTR SetTimer(HWND handle, UINT_PTR id, UINT milliseconds, TIMERPROC proc)
{
    CheckGuiThread();
    if (handle && !IsWindow(handle))
        return 0;
    if (!handle)
        id = ++nextThreadTimerId;
    auto& timer = Timers()[TTimerKey{handle, id}];
    if (!timer) {
        timer = std::make_unique<QTimer>();
        timer->setTimerType(Qt::PreciseTimer);
    }
    timer->disconnect();
    QTimer* restarted = timer.get();
    QObject::connect(timer.get(), &QTimer::timeout, [handle, id, proc, restarted] {
        // Qt never fires a timer inside its own tick. Started anew, the timer can tick again while
        // the handler runs a message loop (a modal window, a synchronous download), as WM_TIMER
        // does on Windows.
        restarted->start();
        Fire(handle, id, proc);
    });
    // Windows' bounds: below 10 ms a timer would fire at every pass of the loop and keep
    // ProcessMessages from ever running dry; above the largest signed value Qt would get a negative.
    timer->start(static_cast<int>(std::clamp<UINT>(milliseconds, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM)));
    return id == 0 ? 1 : id;
}

BOOL KillTimer(HWND handle, UINT_PTR id)
{
    auto& timers = Timers();
    auto found = timers.find(TTimerKey{handle, id});
    if (found == timers.end())
        return FALSE;
    // The timer may be the one firing now: stop it and free it later.
    found->second->stop();
    found->second.release()->deleteLater();
    timers.erase(found);
    return TRUE;
}

void KillWindowTimers(HWND handle)
{
    auto& timers = Timers();
    for (auto it = timers.begin(); it != timers.end();) {
        if (it->first.Handle == handle) {
            it->second->stop();
            it->second.release()->deleteLater();
            it = timers.erase(it);
        } else {
            ++it;
        }
    }
}

// --- TTimer --------------------------------------------------------------------------------------------------

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner)
{
    FWindowHandle = AllocateHWnd([this](TMessage& Message) { WndProc(Message); });
    UpdateTimer();
}

TTimer::~TTimer()
{
    FEnabled = false;
    KillWindowTimers(FWindowHandle);
    DeallocateHWnd(FWindowHandle);
}

void TTimer::WndProc(TMessage& Message)
{
    if (Message.Msg == WM_TIMER) {
        try {
            Timer();
        } catch (...) {
            HandleApplicationException(this);
        }
        return;
    }
    Message.Result = DefWindowProcA(FWindowHandle, Message.Msg, Message.WParam, Message.LParam);
}

void TTimer::UpdateTimer()
{
    KillTimer(FWindowHandle, 1);
    if (FEnabled && FInterval != 0)
        if (SetTimer(FWindowHandle, 1, FInterval, nullptr) == 0)
            RAISE(EOutOfMemory("Not enough timers available"));
}

void TTimer::SetEnabled(bool value)
{
    if (value == FEnabled)
        return;
    FEnabled = value;
    UpdateTimer();
}

void TTimer::SetInterval(UINT value)
{
    if (value == FInterval)
        return;
    FInterval = value;
    UpdateTimer();
}

void TTimer::Timer()
{
    if (OnTimer)
        OnTimer(this);
}
