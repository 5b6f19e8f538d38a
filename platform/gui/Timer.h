#pragma once
// Timers: SetTimer sends WM_TIMER to a window (or calls a procedure) while the GUI thread
// processes messages; TTimer is a component over a hidden window with timer id 1.

#include "platform/gui/Messages.h"
#include "platform/rtl/Classes.h"

constexpr UINT USER_TIMER_MINIMUM = 0x0000000A, USER_TIMER_MAXIMUM = 0x7FFFFFFF;

// Starts (or restarts, for the same window and id) a repeating timer; returns the id, 0 on failure.
// Without a window a new id is made and proc is called. The interval is kept between
// USER_TIMER_MINIMUM and USER_TIMER_MAXIMUM.
UINT_PTR SetTimer(HWND handle, UINT_PTR id, UINT milliseconds, TIMERPROC proc);
// FALSE for an unknown timer.
BOOL KillTimer(HWND handle, UINT_PTR id);

class TTimer : public TComponent {
    TESS_CLASS(TTimer, TComponent)
public:
    explicit TTimer(TComponent* AOwner);
    ~TTimer() override;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    UINT Interval() const { return FInterval; }
    void SetInterval(UINT value);
    // Runs with the timer as sender; while it is unassigned the timer fires into nothing.
    TNotifyEvent OnTimer;

protected:
    virtual void Timer();

private:
    void UpdateTimer();
    void WndProc(TMessage& Message);

    HWND FWindowHandle = nullptr;
    bool FEnabled = true;
    UINT FInterval = 1000;
};
