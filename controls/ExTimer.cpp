#include "controls/ExTimer.h"

#include "controls/VCLUtils.h"
#include "platform/gui/Application.h"
#include "platform/gui/MessageQueue.h"
#include "platform/gui/Timer.h"
#include "platform/gui/WindowHandles.h"
#include "platform/rtl/TypInfo.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>

namespace ExTimer {

// Tells the timer's window that a handler on the timer thread raised an error.
constexpr UINT CM_TIMERERROR = WM_USER + 0x0ED1;

// What the timer and its thread share. The thread keeps it alive for as long as it runs, so
// that a timer freed inside its own synchronised tick leaves the thread something to read.
struct TTimerState {
    std::mutex Lock;
    std::condition_variable Changed;
    TExTimer* Owner = nullptr;  // cleared when the timer is being destroyed
    unsigned Interval = 1000;
    int Suspended = 1;          // nested suspensions; the thread ticks only at 0
    bool Stop = false;
    unsigned Generation = 0;    // any change restarts the sleep
    bool InSyncTick = false;    // a synchronised tick is running on the GUI thread
    HWND Window = nullptr;
    std::deque<std::exception_ptr> Errors;
};

class TTimerThread : public TThread {
    TESS_CLASS(TTimerThread, TThread)
public:
    explicit TTimerThread(std::shared_ptr<TTimerState> state) : TThread(true), FState(std::move(state)) {}

protected:
    void Execute() override;

private:
    // Waits until the thread may tick and the interval has passed; false to end.
    bool WaitForTick();
    void Tick();
    void SynchronisedTick();
    void DirectTick();

    std::shared_ptr<TTimerState> FState;
};

bool TTimerThread::WaitForTick()
{
    TTimerState& state = *FState;
    std::unique_lock lock(state.Lock);
    for (;;) {
        state.Changed.wait(lock, [&] { return state.Stop || state.Suspended == 0; });
        if (state.Stop || Terminated())
            return false;
        const unsigned generation = state.Generation;
        const auto interval = std::chrono::milliseconds(state.Interval);
        const bool changed =
            state.Changed.wait_for(lock, interval, [&] { return state.Stop || state.Generation != generation; });
        if (!changed)
            return true;
    }
}

void TTimerThread::Execute()
{
    while (WaitForTick()) {
        if (Application && Application->Terminated())
            continue;
        Tick();
    }
}

void TTimerThread::Tick()
{
    TExTimer* owner;
    {
        std::lock_guard lock(FState->Lock);
        owner = FState->Owner;
    }
    if (!owner || !owner->Enabled())
        return;
    if (owner->SyncEvent())
        SynchronisedTick();
    else
        DirectTick();
}

void TTimerThread::SynchronisedTick()
{
    std::shared_ptr<TTimerState> state = FState;
    Synchronize([state] {
        TExTimer* owner;
        {
            std::lock_guard lock(state->Lock);
            owner = state->Owner;
            state->InSyncTick = owner != nullptr;
        }
        if (!owner)
            return;
        // The handler may free the timer: nothing of it is touched afterwards.
        try {
            owner->Timer();
        } catch (...) {
            Application->HandleException(owner);
        }
        std::lock_guard lock(state->Lock);
        state->InSyncTick = false;
    });
}

void TTimerThread::DirectTick()
{
    // The destructor waits for this thread before anything of the timer goes, so the owner read
    // here stays valid while the handler runs.
    TExTimer* owner;
    {
        std::lock_guard lock(FState->Lock);
        owner = FState->Owner;
    }
    if (!owner)
        return;
    try {
        owner->Timer();
    } catch (const EAbort&) {
    } catch (const Exception&) {
        // Message boxes belong to the GUI thread: the error is shown there.
        std::lock_guard lock(FState->Lock);
        FState->Errors.push_back(std::current_exception());
        PostMessageA(FState->Window, CM_TIMERERROR, 0, 0);
    }
}

// The published properties, for the property storage; the events are not stored.
void RegisterProperties()
{
    static std::once_flag registered;
    std::call_once(registered, [] {
        const auto flag = [](const char* name, bool (TExTimer::*get)() const, void (TExTimer::*set)(bool)) {
            return OrdProp<TExTimer>(
                name, TypeInfoBoolean(), [get](TExTimer& t) -> std::int64_t { return (t.*get)(); },
                [set](TExTimer& t, std::int64_t v) { (t.*set)(v != 0); });
        };
        RegisterPropInfos(
            "TExTimer", "",
            {flag("Enabled", &TExTimer::Enabled, &TExTimer::SetEnabled),
             OrdProp<TExTimer>(
                 "Interval", IntegerTypeInfo("Cardinal"), [](TExTimer& t) -> std::int64_t { return t.Interval(); },
                 [](TExTimer& t, std::int64_t v) { t.SetInterval(static_cast<UINT>(v)); }),
             flag("SyncEvent", &TExTimer::SyncEvent, &TExTimer::SetSyncEvent),
             flag("Threaded", &TExTimer::Threaded, &TExTimer::SetThreaded),
             OrdProp<TExTimer>(
                 "ThreadPriority",
                 EnumTypeInfo("TThreadPriority", {"tpIdle", "tpLowest", "tpLower", "tpNormal", "tpHigher",
                                                  "tpHighest", "tpTimeCritical"}),
                 [](TExTimer& t) -> std::int64_t { return t.ThreadPriority(); },
                 [](TExTimer& t, std::int64_t v) { t.SetThreadPriority(static_cast<TThreadPriority>(v)); })});
    });
}

} // namespace ExTimer

TExTimer::TExTimer(TComponent* AOwner) : TComponent(AOwner), FState(std::make_shared<ExTimer::TTimerState>())
{
    ExTimer::RegisterProperties();
    FState->Owner = this;
    FWindowHandle = AllocateHWnd([this](TMessage& Message) { WndProc(Message); });
    FState->Window = FWindowHandle;
}

TExTimer::~TExTimer()
{
    FDestroying = true;
    FEnabled = false;
    bool inOwnTick;
    {
        std::lock_guard lock(FState->Lock);
        FState->Owner = nullptr;
        FState->Stop = true;
        ++FState->Generation;
        inOwnTick = FState->InSyncTick;
    }
    FState->Changed.notify_all();
    if (FThread) {
        FThread->Terminate();
        if (inOwnTick) {
            // Freed by its own handler during a synchronised tick: the thread waits for this very
            // call to end, so it cannot be waited for; it ends by itself and frees itself.
            FThread->FreeOnTerminate = true;
        } else {
            FThread->WaitFor();
            delete FThread;
        }
        FThread = nullptr;
    }
    KillTimer(FWindowHandle, 1);
    DeallocateHWnd(FWindowHandle);
    std::lock_guard lock(FHandlerLock);
    FOnTimer = nullptr;
}

void TExTimer::SetEnabled(bool Value)
{
    if (Value == FEnabled)
        return;
    FEnabled = Value;
    UpdateTimer();
}

void TExTimer::SetInterval(UINT Value)
{
    if (Value == FInterval)
        return;
    FInterval = Value;
    UpdateTimer();
}

void TExTimer::SetThreaded(bool Value)
{
    if (Value == FThreaded)
        return;
    FThreaded = Value;
    UpdateTimer();
}

void TExTimer::SetThreadPriority(TThreadPriority Value)
{
    if (Value == FThreadPriority)
        return;
    FThreadPriority = Value;
    if (FThreaded)
        UpdateTimer();
}

TNotifyEvent TExTimer::OnTimer() const
{
    std::lock_guard lock(FHandlerLock);
    return FOnTimer;
}

void TExTimer::SetOnTimer(TNotifyEvent Value)
{
    bool assignedChanged;
    {
        std::lock_guard lock(FHandlerLock);
        assignedChanged = static_cast<bool>(Value) != static_cast<bool>(FOnTimer);
        FOnTimer = std::move(Value);
    }
    if (assignedChanged)
        UpdateTimer();
}

void TExTimer::Timer()
{
    if (!FEnabled || FDestroying)
        return;
    TNotifyEvent handler;
    {
        std::lock_guard lock(FHandlerLock);
        handler = FOnTimer;
    }
    if (handler)
        handler(this);
}

void TExTimer::Synchronize(const std::function<void()>& Method)
{
    bool ticking = false;
    if (FThread) {
        std::lock_guard lock(FState->Lock);
        ticking = FState->Suspended == 0 && !FState->Stop;
    }
    if (ticking)
        TThread::Synchronize(FThread, Method);
    else
        Method();
}

void TExTimer::PauseThread()
{
    if (!FThread)
        return;
    {
        std::lock_guard lock(FState->Lock);
        if (FState->Suspended == 0)
            FState->Suspended = 1;
        ++FState->Generation;
    }
    FState->Changed.notify_all();
}

void TExTimer::ResumeThread()
{
    if (!FThread) {
        FThread = new ExTimer::TTimerThread(FState);
        FThread->Start();
    }
    FThread->SetPriority(FThreadPriority);
    {
        std::lock_guard lock(FState->Lock);
        FState->Interval = FInterval;
        FState->Suspended = 0;
        ++FState->Generation;
    }
    FState->Changed.notify_all();
}

void TExTimer::UpdateTimer()
{
    if (FDestroying)
        return;
    const bool runs = FInterval != 0 && FEnabled && static_cast<bool>(OnTimer());
    PauseThread();
    KillTimer(FWindowHandle, 1);
    if (!runs)
        return;
    if (FThreaded) {
        ResumeThread();
        return;
    }
    if (SetTimer(FWindowHandle, 1, FInterval, nullptr) == 0)
        RAISE(EOutOfResources(ResStr("Not enough timers available")));
}

void TExTimer::WndProc(TMessage& Message)
{
    switch (Message.Msg) {
    case WM_TIMER:
        try {
            Timer();
        } catch (...) {
            Application->HandleException(this);
        }
        return;
    case ExTimer::CM_TIMERERROR:
        ReportThreadErrors();
        return;
    default:
        Message.Result = DefWindowProcA(FWindowHandle, Message.Msg, Message.WParam, Message.LParam);
    }
}

void TExTimer::ReportThreadErrors()
{
    for (;;) {
        std::exception_ptr error;
        {
            std::lock_guard lock(FState->Lock);
            if (FState->Errors.empty())
                return;
            error = FState->Errors.front();
            FState->Errors.pop_front();
        }
        try {
            std::rethrow_exception(error);
        } catch (...) {
            Application->HandleException(FThread ? static_cast<TObject*>(FThread) : this);
        }
    }
}
