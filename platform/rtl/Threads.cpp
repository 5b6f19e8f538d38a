#include "platform/rtl/Threads.h"

#include "platform/rtl/Classes.h"
#include "platform/rtl/Exceptions.h"

#include <chrono>
#include <deque>

#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

// --- Time and ids -------------------------------------------------------------------------------

namespace {

std::mutex& TickSourceMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::function<std::uint32_t()>& TickSourceFunction()
{
    static std::function<std::uint32_t()> source;
    return source;
}

std::uint32_t SystemTickCount()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const std::uint64_t ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                             static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

} // namespace

void SetTickSource(std::function<std::uint32_t()> source)
{
    std::lock_guard<std::mutex> lock(TickSourceMutex());
    TickSourceFunction() = std::move(source);
}

void ResetTickSource() { SetTickSource(nullptr); }

std::uint32_t GetTickCount()
{
    std::function<std::uint32_t()> source;
    {
        std::lock_guard<std::mutex> lock(TickSourceMutex());
        source = TickSourceFunction();
    }
    return source ? source() : SystemTickCount();
}

std::uint32_t timeGetTime() { return GetTickCount(); }

void Sleep(std::uint32_t milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::uint32_t GetCurrentThreadId()
{
    return static_cast<std::uint32_t>(gettid());
}

std::uint32_t MainThreadID()
{
    return static_cast<std::uint32_t>(getpid());
}

int InterlockedIncrement(int& target)
{
    return __atomic_add_fetch(&target, 1, __ATOMIC_SEQ_CST);
}

int InterlockedDecrement(int& target)
{
    return __atomic_sub_fetch(&target, 1, __ATOMIC_SEQ_CST);
}

// --- Calls run on the main thread ---------------------------------------------------------------

namespace {

constexpr std::uint32_t WaitWithoutLimit = 0xFFFFFFFFu;

struct TSyncCall {
    const std::function<void()>* Method = nullptr;
    std::exception_ptr Error;
    bool Done = false;
};

std::mutex syncLock;
std::condition_variable syncQueued;   // a call was queued, or a thread finished
std::condition_variable syncDone;     // a queued call ran
std::deque<TSyncCall*> syncQueue;
TMainThreadDispatcher mainThreadDispatcher;

bool OnMainThread()
{
    return GetCurrentThreadId() == MainThreadID();
}

// Wakes a main thread that waits in WaitFor.
void NotifyThreadFinished()
{
    std::lock_guard<std::mutex> guard(syncLock);
    syncQueued.notify_all();
}

} // namespace

void SetMainThreadDispatcher(TMainThreadDispatcher dispatcher)
{
    std::lock_guard<std::mutex> guard(syncLock);
    mainThreadDispatcher = std::move(dispatcher);
}

bool CheckSynchronize(std::uint32_t timeoutMs)
{
    if (!OnMainThread())
        return false;
    std::deque<TSyncCall*> calls;
    {
        std::unique_lock<std::mutex> lock(syncLock);
        if (syncQueue.empty() && timeoutMs > 0)
            syncQueued.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                [] { return !syncQueue.empty(); });
        calls.swap(syncQueue);
    }
    for (TSyncCall* call : calls) {
        try {
            (*call->Method)();
        } catch (...) {
            call->Error = std::current_exception();
        }
        std::lock_guard<std::mutex> guard(syncLock);
        call->Done = true;
    }
    if (!calls.empty())
        syncDone.notify_all();
    return !calls.empty();
}

void TThread::Synchronize(TThread*, const std::function<void()>& method)
{
    if (OnMainThread()) {
        method();
        return;
    }
    TSyncCall call;
    call.Method = &method;
    TMainThreadDispatcher dispatcher;
    {
        std::lock_guard<std::mutex> guard(syncLock);
        syncQueue.push_back(&call);
        dispatcher = mainThreadDispatcher;
    }
    syncQueued.notify_all();
    if (dispatcher)
        dispatcher([] { CheckSynchronize(); });
    {
        std::unique_lock<std::mutex> lock(syncLock);
        syncDone.wait(lock, [&call] { return call.Done; });
    }
    if (call.Error)
        std::rethrow_exception(call.Error);
}

// --- TThread ------------------------------------------------------------------------------------

TThread::TThread(bool)
{
}

TThread::~TThread()
{
    bool running;
    {
        std::lock_guard<std::mutex> guard(FLock);
        running = FStarted && !FFinished;
    }
    if (running) {
        Terminate();
        WaitFor();
    }
    if (FThread.joinable())
        FThread.join();
}

void TThread::Start()
{
    std::unique_lock<std::mutex> lock(FLock);
    if (FStarted)
        return;
    FStarted = true;
    FThread = std::thread([this] { Run(); });
    // ThreadID is known once Start returns.
    FFinishedChanged.wait(lock, [this] { return FThreadID != 0; });
    FStartReturned = true;
    lock.unlock();
    FFinishedChanged.notify_all();
}

void TThread::Run()
{
    {
        std::lock_guard<std::mutex> guard(FLock);
        FThreadID = GetCurrentThreadId();
    }
    FFinishedChanged.notify_all();
    {
        std::unique_lock<std::mutex> lock(FLock);
        FFinishedChanged.wait(lock, [this] { return FStartReturned; });
    }
    try {
        Execute();
    } catch (...) {
        FatalException = std::current_exception();
    }
    // Reported on the main thread, where the application shows its errors.
    if (FatalException)
        Synchronize([this] { HandleApplicationException(this, FatalException); });
    if (OnTerminate) {
        try {
            Synchronize([this] { OnTerminate(this); });
        } catch (...) {
            const std::exception_ptr error = std::current_exception();
            Synchronize([this, error] { HandleApplicationException(this, error); });
        }
    }
    bool freeIt;
    {
        std::lock_guard<std::mutex> guard(FLock);
        FFinished = true;
        freeIt = FreeOnTerminate;
        if (freeIt)
            FThread.detach();
    }
    FFinishedChanged.notify_all();
    NotifyThreadFinished();
    if (freeIt)
        delete this;
}

void TThread::Terminate()
{
    FTerminated = true;
}

bool TThread::Terminated() const
{
    return FTerminated;
}

int TThread::WaitFor()
{
    std::unique_lock<std::mutex> lock(FLock);
    if (!FStarted)
        return ReturnValue;
    if (OnMainThread()) {
        while (!FFinished) {
            lock.unlock();
            CheckSynchronize(10);
            lock.lock();
        }
    } else {
        FFinishedChanged.wait(lock, [this] { return FFinished; });
    }
    std::thread thread = std::move(FThread);
    lock.unlock();
    if (thread.joinable())
        thread.join();
    return ReturnValue;
}

void TThread::Synchronize(const std::function<void()>& method)
{
    Synchronize(this, method);
}

bool TThread::Suspended() const
{
    std::lock_guard<std::mutex> guard(FLock);
    return !FStarted;
}

bool TThread::Finished() const
{
    std::lock_guard<std::mutex> guard(FLock);
    return FFinished;
}

// --- Locks and signals --------------------------------------------------------------------------

void TEvent::SetEvent()
{
    {
        std::lock_guard<std::mutex> guard(FMutex);
        FSignaled = true;
    }
    if (FManualReset)
        FChanged.notify_all();
    else
        FChanged.notify_one();
}

void TEvent::ResetEvent()
{
    std::lock_guard<std::mutex> guard(FMutex);
    FSignaled = false;
}

TWaitResult TEvent::WaitFor(std::uint32_t timeoutMs)
{
    std::unique_lock<std::mutex> lock(FMutex);
    const auto signaled = [this] { return FSignaled; };
    if (timeoutMs == WaitWithoutLimit)
        FChanged.wait(lock, signaled);
    else if (!FChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), signaled))
        return wrTimeout;
    if (!FManualReset)
        FSignaled = false;
    return wrSignaled;
}

TSemaphore::TSemaphore(int initialCount, int maximumCount)
    : FCount(initialCount), FMaximum(maximumCount)
{
}

TWaitResult TSemaphore::WaitFor(std::uint32_t timeoutMs)
{
    std::unique_lock<std::mutex> lock(FMutex);
    const auto available = [this] { return FCount > 0; };
    if (timeoutMs == WaitWithoutLimit)
        FChanged.wait(lock, available);
    else if (!FChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), available))
        return wrTimeout;
    --FCount;
    return wrSignaled;
}

bool TSemaphore::Release(int count)
{
    {
        std::lock_guard<std::mutex> guard(FMutex);
        if (count <= 0 || FCount + count > FMaximum)
            return false;
        FCount += count;
    }
    FChanged.notify_all();
    return true;
}
