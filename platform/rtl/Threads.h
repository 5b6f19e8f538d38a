#pragma once
// Threads, locks and the tick count as the class library and the Windows API offer them.

#include "platform/rtl/System.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

// Milliseconds since an arbitrary start, wrapping at 32 bits as on Windows.
std::uint32_t GetTickCount();
// The multimedia timer: the same clock as GetTickCount.
std::uint32_t timeGetTime();
// Makes GetTickCount and timeGetTime read source (for tests, as SetClock does for Now); a null
// source or ResetTickSource goes back to the system's clock.
void SetTickSource(std::function<std::uint32_t()> source);
void ResetTickSource();
void Sleep(std::uint32_t milliseconds);
// The kernel's id of the calling thread.
std::uint32_t GetCurrentThreadId();
// The thread the process started on.
std::uint32_t MainThreadID();

// Atomic on a plain integer; return the new value.
int InterlockedIncrement(int& target);
int InterlockedDecrement(int& target);

// --- Calls run on the main thread ---------------------------------------------------------------

// A dispatcher makes the main thread call the function it is given soon, from its event loop.
// The visual layer installs one; without it, queued calls wait until the main thread calls
// CheckSynchronize.
using TMainThreadDispatcher = std::function<void(std::function<void()>)>;
void SetMainThreadDispatcher(TMainThreadDispatcher dispatcher);

// Runs the calls other threads have queued through Synchronize. Call it on the main thread;
// elsewhere it does nothing. Waits up to timeoutMs for a first call. True when a call ran.
bool CheckSynchronize(std::uint32_t timeoutMs = 0);

// --- TThread ------------------------------------------------------------------------------------

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// A thread running Execute. C++ cannot start it from TThread's own constructor (the derived part
// would not exist yet): a class created with createSuspended = false calls Start() at the end of
// its own constructor; one created suspended is started with Resume() or Start().
//
// Destroying a thread that is still running sets Terminated and waits for it, but the derived
// part is already gone by then: a derived class that may be destroyed while running calls
// Terminate() and WaitFor() in its own destructor.
class TThread : public TObject {
    TESS_CLASS(TThread, TObject)
public:
    explicit TThread(bool createSuspended);
    ~TThread() override;
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    void Start();
    void Resume() { Start(); }
    void Terminate();
    bool Terminated() const;
    // Waits for Execute to end and returns ReturnValue. On the main thread, calls queued through
    // Synchronize keep running meanwhile, so a thread that synchronizes cannot dead-lock it.
    int WaitFor();

    bool Suspended() const;
    bool Finished() const;
    // Kept for the class library's callers: the scheduler gives every thread of the program the
    // normal share (raising a thread's priority needs privileges a desktop program lacks).
    TThreadPriority Priority() const { return FPriority; }
    void SetPriority(TThreadPriority value) { FPriority = value; }
    std::uint32_t ThreadID() const { return FThreadID; }

    // With FreeOnTerminate the thread deletes itself after Execute and OnTerminate; such a thread
    // must be created with new and never deleted or waited for by anyone else.
    bool FreeOnTerminate = false;
    int ReturnValue = 0;
    // Raised on the main thread (through Synchronize) after Execute ends.
    std::function<void(TObject* sender)> OnTerminate;
    // The exception that left Execute, if any; it is also handed to the application's exception
    // hook on the main thread.
    std::exception_ptr FatalException;

    // Runs method on the main thread and waits for it; on the main thread it runs at once. An
    // exception raised by method is raised again in the calling thread. thread may be nullptr.
    static void Synchronize(TThread* thread, const std::function<void()>& method);

protected:
    virtual void Execute() = 0;
    void Synchronize(const std::function<void()>& method);

private:
    void Run();

    mutable std::mutex FLock;
    std::condition_variable FFinishedChanged;
    std::thread FThread;
    bool FStarted = false;
    bool FStartReturned = false; // a self-freeing thread must outlive Start's last look at it
    bool FFinished = false;
    std::atomic<bool> FTerminated{false};
    std::uint32_t FThreadID = 0;
    std::atomic<TThreadPriority> FPriority{tpNormal};
};

// --- Locks and signals --------------------------------------------------------------------------

// A recursive lock.
class TCriticalSection : public TObject {
    TESS_CLASS(TCriticalSection, TObject)
public:
    void Acquire() { FMutex.lock(); }
    void Release() { FMutex.unlock(); }
    void Enter() { Acquire(); }
    void Leave() { Release(); }
    bool TryEnter() { return FMutex.try_lock(); }

private:
    std::recursive_mutex FMutex;
};

enum TWaitResult { wrSignaled, wrTimeout, wrAbandoned, wrError };

// Waits take milliseconds; 0xFFFFFFFF (INFINITE of platform/os/WinBase.h) waits without limit.

// An event; a manual-reset event stays set until ResetEvent, an auto-reset one releases one
// waiter and resets itself.
class TEvent : public TObject {
    TESS_CLASS(TEvent, TObject)
public:
    explicit TEvent(bool manualReset = true, bool initialState = false)
        : FManualReset(manualReset), FSignaled(initialState)
    {
    }

    void SetEvent();
    void ResetEvent();
    TWaitResult WaitFor(std::uint32_t timeoutMs = 0xFFFFFFFFu);

private:
    std::mutex FMutex;
    std::condition_variable FChanged;
    bool FManualReset;
    bool FSignaled;
};

// A counting semaphore with a maximum count.
class TSemaphore : public TObject {
    TESS_CLASS(TSemaphore, TObject)
public:
    TSemaphore(int initialCount, int maximumCount);

    TWaitResult WaitFor(std::uint32_t timeoutMs = 0xFFFFFFFFu);
    void Acquire() { WaitFor(); }
    // Adds count; false (and nothing added) when that would pass the maximum.
    bool Release(int count = 1);

private:
    std::mutex FMutex;
    std::condition_variable FChanged;
    int FCount;
    int FMaximum;
};
