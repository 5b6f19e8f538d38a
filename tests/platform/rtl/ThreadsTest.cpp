#include "platform/rtl/Threads.h"

#include "platform/rtl/Classes.h"
#include "tests/TickSource.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <vector>

namespace {

// A thread running a function given by the test.
class TTestThread : public TThread {
public:
    explicit TTestThread(std::function<void(TTestThread&)> body, std::atomic<bool>* destroyed = nullptr)
        : TThread(true), FBody(std::move(body)), FDestroyed(destroyed)
    {
    }
    ~TTestThread() override
    {
        Terminate();
        WaitFor();
        if (FDestroyed)
            *FDestroyed = true;
    }
    using TThread::Synchronize;

protected:
    void Execute() override { FBody(*this); }

private:
    std::function<void(TTestThread&)> FBody;
    std::atomic<bool>* FDestroyed;
};

// Runs the main thread's queue until done() holds.
void PumpUntil(const std::function<bool()>& done)
{
    const std::uint32_t start = GetTickCount();
    while (!done() && GetTickCount() - start < 5000)
        CheckSynchronize(5);
    ASSERT_TRUE(done());
}

TEST(Threads, ExecuteRunsUntilTerminated)
{
    std::atomic<int> rounds{0};
    TTestThread thread([&](TTestThread& self) {
        while (!self.Terminated()) {
            ++rounds;
            Sleep(1);
        }
        self.ReturnValue = 42;
    });
    EXPECT_TRUE(thread.Suspended());
    EXPECT_EQ(rounds, 0);
    thread.Start();
    EXPECT_NE(thread.ThreadID(), 0u);
    EXPECT_NE(thread.ThreadID(), MainThreadID());
    while (rounds < 3)
        Sleep(1);
    EXPECT_FALSE(thread.Finished());
    thread.Terminate();
    EXPECT_EQ(thread.WaitFor(), 42);
    EXPECT_TRUE(thread.Finished());
}

TEST(Threads, SynchronizeRunsOnTheMainThreadWhenItChecks)
{
    std::atomic<std::uint32_t> ranOn{0};
    std::atomic<bool> returned{false};
    TTestThread thread([&](TTestThread& self) {
        self.Synchronize([&] { ranOn = GetCurrentThreadId(); });
        returned = true;
    });
    thread.Start();
    Sleep(20);
    EXPECT_FALSE(returned); // waits for the main thread
    EXPECT_EQ(ranOn, 0u);
    PumpUntil([&] { return returned.load(); });
    EXPECT_EQ(ranOn, MainThreadID());
    EXPECT_EQ(GetCurrentThreadId(), MainThreadID());
}

TEST(Threads, SynchronizedExceptionReachesTheCallingThread)
{
    std::string caught;
    TTestThread thread([&](TTestThread& self) {
        try {
            self.Synchronize([] { RAISE(EConvertError("bad value")); });
        } catch (const EConvertError& error) {
            caught = error.Message;
        }
    });
    thread.Start();
    thread.WaitFor(); // keeps serving Synchronize meanwhile
    EXPECT_EQ(caught, "bad value");
}

TEST(Threads, DispatcherBringsCallsToTheMainThread)
{
    std::mutex lock;
    std::deque<std::function<void()>> posted;
    SetMainThreadDispatcher([&](std::function<void()> call) {
        std::lock_guard<std::mutex> guard(lock);
        posted.push_back(std::move(call));
    });
    std::atomic<bool> ran{false};
    TTestThread thread([&](TTestThread& self) { self.Synchronize([&] { ran = true; }); });
    thread.Start();
    // The main thread's "event loop": run what the dispatcher posted.
    const std::uint32_t start = GetTickCount();
    while (!ran && GetTickCount() - start < 5000) {
        std::function<void()> call;
        {
            std::lock_guard<std::mutex> guard(lock);
            if (!posted.empty()) {
                call = std::move(posted.front());
                posted.pop_front();
            }
        }
        if (call)
            call();
        else
            Sleep(1);
    }
    EXPECT_TRUE(ran);
    thread.WaitFor();
    SetMainThreadDispatcher(nullptr);
}

TEST(Threads, OnTerminateAndFreeOnTerminate)
{
    std::atomic<bool> destroyed{false};
    std::atomic<std::uint32_t> terminatedOn{0};
    TObject* sender = nullptr;
    auto* thread = new TTestThread([](TTestThread&) {}, &destroyed);
    thread->FreeOnTerminate = true;
    thread->OnTerminate = [&](TObject* s) {
        sender = s;
        terminatedOn = GetCurrentThreadId();
    };
    thread->Start();
    PumpUntil([&] { return destroyed.load(); });
    EXPECT_EQ(terminatedOn, MainThreadID());
    EXPECT_EQ(sender, thread);
}

TEST(Threads, ExceptionLeavingExecuteIsKeptAndReported)
{
    std::vector<std::string> reported;
    auto previous = SetApplicationExceptionHandler(
        [&](TObject*, const Exception& error) { reported.push_back(error.Message); });
    TTestThread thread([](TTestThread&) { RAISE(EInOutError("disk gone")); });
    thread.Start();
    thread.WaitFor();
    SetApplicationExceptionHandler(previous);
    ASSERT_TRUE(thread.FatalException);
    EXPECT_THROW(std::rethrow_exception(thread.FatalException), EInOutError);
    EXPECT_EQ(reported, std::vector<std::string>{"disk gone"});
}

TEST(Threads, DestroyingAThreadNeverStartedDoesNotWait)
{
    TTestThread thread([](TTestThread&) {});
    EXPECT_EQ(thread.WaitFor(), 0);
}

TEST(Locks, EventsManualAndAutomatic)
{
    TEvent manual(true, false);
    EXPECT_EQ(manual.WaitFor(10), wrTimeout);
    manual.SetEvent();
    EXPECT_EQ(manual.WaitFor(0), wrSignaled);
    EXPECT_EQ(manual.WaitFor(0), wrSignaled);
    manual.ResetEvent();
    EXPECT_EQ(manual.WaitFor(0), wrTimeout);

    TEvent automatic(false, true);
    EXPECT_EQ(automatic.WaitFor(0), wrSignaled);
    EXPECT_EQ(automatic.WaitFor(0), wrTimeout);

    std::thread setter([&] {
        Sleep(20);
        automatic.SetEvent();
    });
    EXPECT_EQ(automatic.WaitFor(), wrSignaled); // without limit
    setter.join();
}

TEST(Locks, SemaphoreCountsAndTimesOut)
{
    TSemaphore semaphore(2, 3);
    EXPECT_EQ(semaphore.WaitFor(0), wrSignaled);
    EXPECT_EQ(semaphore.WaitFor(0), wrSignaled);
    const std::uint32_t start = GetTickCount();
    EXPECT_EQ(semaphore.WaitFor(30), wrTimeout);
    EXPECT_GE(GetTickCount() - start, 25u);
    EXPECT_TRUE(semaphore.Release(3));
    EXPECT_FALSE(semaphore.Release(1)); // beyond the maximum
    std::atomic<int> acquired{0};
    std::vector<std::thread> workers;
    for (int i = 0; i < 3; ++i)
        workers.emplace_back([&] {
            semaphore.Acquire();
            ++acquired;
        });
    for (auto& worker : workers)
        worker.join();
    EXPECT_EQ(acquired, 3);
    EXPECT_EQ(semaphore.WaitFor(0), wrTimeout);
}

TEST(Locks, CriticalSectionIsRecursiveAndExcludesOthers)
{
    TCriticalSection section;
    section.Enter();
    section.Enter(); // the same thread enters again
    bool otherGotIn = true;
    std::thread other([&] { otherGotIn = section.TryEnter(); });
    other.join();
    EXPECT_FALSE(otherGotIn);
    section.Leave();
    section.Leave();

    int counter = 0;
    int interlocked = 0;
    std::vector<std::thread> workers;
    for (int i = 0; i < 4; ++i)
        workers.emplace_back([&] {
            for (int n = 0; n < 10000; ++n) {
                section.Acquire();
                ++counter;
                section.Release();
                InterlockedIncrement(interlocked);
            }
        });
    for (auto& worker : workers)
        worker.join();
    EXPECT_EQ(counter, 40000);
    EXPECT_EQ(interlocked, 40000);
    EXPECT_EQ(InterlockedDecrement(interlocked), 39999);
}

TEST(Time, TickCountAdvancesWithSleep)
{
    const std::uint32_t start = GetTickCount();
    Sleep(30);
    const std::uint32_t elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 30u);
    EXPECT_LT(elapsed, 5000u);
}

TEST(Time, BothTimersFollowAnInstalledSourceAcrossTheWrap)
{
    std::uint64_t now = 0xFFFFFFFFull - 20;
    {
        TTickSourceScope scope([&now] { return static_cast<std::uint32_t>(now); });
        const std::uint32_t before = timeGetTime();
        EXPECT_EQ(before, 0xFFFFFFFFu - 20);
        EXPECT_EQ(GetTickCount(), before);
        now += 50; // past 2^32
        EXPECT_EQ(timeGetTime(), 29u);
        EXPECT_EQ(timeGetTime() - before, 50u);
    }
    // The system's clock again: it moves with real time, not with the source.
    now = 0;
    const std::uint32_t start = timeGetTime();
    Sleep(20);
    const std::uint32_t elapsed = timeGetTime() - start;
    EXPECT_GE(elapsed, 20u);
    EXPECT_LT(elapsed, 5000u);
}

} // namespace
