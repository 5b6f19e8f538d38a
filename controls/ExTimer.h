#pragma once
// A timer component that raises OnTimer every Interval milliseconds, either from a window timer
// on the GUI thread or from a thread of its own; there the handler runs synchronised with the GUI
// thread (SyncEvent) or on the timer thread itself, which then must guard what it touches.

#include "platform/gui/Messages.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Threads.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace ExTimer {
struct TTimerState;
class TTimerThread;
} // namespace ExTimer

class TExTimer : public TComponent {
    TESS_CLASS(TExTimer, TComponent)
public:
    explicit TExTimer(TComponent* AOwner);
    // Stops the thread and waits for it (running pending synchronised calls meanwhile): no handler
    // runs once the destructor has begun, and none after it.
    ~TExTimer() override;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);
    // Milliseconds; 0 stops the ticks.
    UINT Interval() const { return FInterval; }
    void SetInterval(UINT Value);
    // Threaded: the handler runs on the GUI thread (true) or on the timer thread (false).
    bool SyncEvent() const { return FSyncEvent; }
    void SetSyncEvent(bool Value) { FSyncEvent = Value; }
    bool Threaded() const { return FThreaded; }
    void SetThreaded(bool Value);
    TThreadPriority ThreadPriority() const { return FThreadPriority; }
    void SetThreadPriority(TThreadPriority Value);
    TNotifyEvent OnTimer() const;
    // The timer runs only while a handler is assigned.
    void SetOnTimer(TNotifyEvent Value);

    // Runs Method on the GUI thread through the timer thread while that thread ticks, otherwise
    // at once: a handler on the timer thread hands work to the GUI thread this way.
    void Synchronize(const std::function<void()>& Method);

protected:
    // Raises OnTimer when enabled, assigned and not being destroyed.
    virtual void Timer();

private:
    friend class ExTimer::TTimerThread;
    void UpdateTimer();
    void PauseThread();
    void ResumeThread();
    void WndProc(TMessage& Message);
    // Shows the errors of handlers that ran on the timer thread.
    void ReportThreadErrors();

    std::atomic<bool> FEnabled{true};
    UINT FInterval = 1000;
    mutable std::mutex FHandlerLock;
    TNotifyEvent FOnTimer;
    HWND FWindowHandle = nullptr;
    std::atomic<bool> FSyncEvent{true};
    bool FThreaded = true;
    TThreadPriority FThreadPriority = tpNormal;
    std::atomic<bool> FDestroying{false};
    std::shared_ptr<ExTimer::TTimerState> FState;
    ExTimer::TTimerThread* FThread = nullptr;
};
