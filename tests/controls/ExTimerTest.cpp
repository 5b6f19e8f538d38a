// The timer component in its three modes: window timer, synchronised thread and free thread.
// Ticks stop and resume with the interval, switch between modes, and never reach a freed timer;
// errors of handlers on the thread are shown on the GUI thread.

#include "ControlsTestSupport.h"

#include "controls/ExTimer.h"
#include "platform/gui/Application.h"
#include "platform/gui/ScriptedDialogs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <dirent.h>
#include <functional>

namespace ExTimerTest {

using TClock = std::chrono::steady_clock;

// Processes messages for ms milliseconds or until condition holds.
bool PumpFor(int ms, const std::function<bool()>& condition = {})
{
    const auto end = TClock::now() + std::chrono::milliseconds(ms);
    while (TClock::now() < end) {
        Application->ProcessMessages();
        CheckSynchronize(5);
        if (condition && condition())
            return true;
    }
    return condition && condition();
}

int ThreadCount()
{
    int count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(tasks))
            count += entry->d_name[0] != '.';
        closedir(tasks);
    }
    return count;
}

struct TTickLog {
    std::atomic<int> Count{0};
    std::atomic<bool> OffGuiThread{false};
    TNotifyEvent Handler()
    {
        return [this](TObject*) {
            if (GetCurrentThreadId() != MainThreadID())
                OffGuiThread = true;
            ++Count;
        };
    }
};

struct TMode {
    const char* Name;
    bool Threaded;
    bool SyncEvent;
};
const TMode modes[] = {{"window", false, true}, {"synchronised thread", true, true}, {"free thread", true, false}};

TEST(ExTimer, IntervalZeroStopsEveryModeAndSettingItBackResumes)
{
    for (const TMode& mode : modes) {
        SCOPED_TRACE(mode.Name);
        TTickLog log;
        TExTimer timer(nullptr);
        timer.SetThreaded(mode.Threaded);
        timer.SetSyncEvent(mode.SyncEvent);
        timer.SetInterval(15);
        timer.SetOnTimer(log.Handler());
        ASSERT_TRUE(PumpFor(2000, [&] { return log.Count >= 3; }));
        EXPECT_EQ(log.OffGuiThread, mode.Threaded && !mode.SyncEvent);

        timer.SetInterval(0);
        PumpFor(40); // a tick already handed over may still arrive
        const int stopped = log.Count;
        PumpFor(150);
        EXPECT_EQ(log.Count, stopped);

        timer.SetInterval(15);
        EXPECT_TRUE(PumpFor(2000, [&] { return log.Count >= stopped + 3; }));

        // Disabled, or without a handler, it does not tick either.
        timer.SetEnabled(false);
        PumpFor(40);
        const int disabled = log.Count;
        PumpFor(100);
        EXPECT_EQ(log.Count, disabled);
    }
}

TEST(ExTimer, SwitchingThreadedOffMovesTheTicksToTheWindowTimer)
{
    TTickLog log;
    TExTimer timer(nullptr);
    timer.SetSyncEvent(false);
    timer.SetInterval(20);
    timer.SetOnTimer(log.Handler());
    ASSERT_TRUE(PumpFor(2000, [&] { return log.Count >= 2; }));
    ASSERT_TRUE(log.OffGuiThread);

    timer.SetThreaded(false);
    PumpFor(40);
    log.OffGuiThread = false;
    const int before = log.Count;
    EXPECT_TRUE(PumpFor(2000, [&] { return log.Count >= before + 3; }));
    EXPECT_FALSE(log.OffGuiThread) << "now ticking from the window timer";
    EXPECT_EQ(timer.Interval(), 20u);
}

TEST(ExTimer, FreeingAnEnabledThreadedTimerWaitsForTheRunningHandlerAndCallsNoMore)
{
    for (bool sync : {false, true}) {
        SCOPED_TRACE(sync ? "synchronised" : "free thread");
        std::atomic<int> calls{0};
        std::atomic<bool> inHandler{false};
        auto* timer = new TExTimer(nullptr);
        timer->SetSyncEvent(sync);
        timer->SetInterval(300);
        timer->SetOnTimer([&](TObject*) {
            inHandler = true;
            ++calls;
            Sleep(50);
            inHandler = false;
        });
        if (sync) {
            // The tick waits for the GUI thread; free the timer while it is queued.
            ASSERT_TRUE(PumpFor(3000, [&] { return calls >= 1; }));
            Sleep(320);
        } else {
            ASSERT_TRUE(PumpFor(3000, [&] { return inHandler.load(); }));
        }
        const auto start = TClock::now();
        delete timer;
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - start).count();
        EXPECT_LT(elapsed, 300) << "within one interval";
        EXPECT_FALSE(inHandler.load());
        const int after = calls;
        PumpFor(700);
        EXPECT_EQ(calls, after);
    }
}

TEST(ExTimer, RapidCyclesLeaveNoThreadRunning)
{
    const int threadsBefore = ThreadCount();
    for (int i = 0; i < 100; ++i) {
        TExTimer timer(nullptr);
        timer.SetSyncEvent(i % 2 == 0);
        timer.SetInterval(1 + i % 3);
        timer.SetOnTimer([](TObject*) {});
        timer.SetEnabled(true);
        if (i % 10 == 0)
            PumpFor(5);
    }
    EXPECT_EQ(ThreadCount(), threadsBefore);
}

TEST(ExTimer, ATimerFreedByItsOwnSynchronisedHandlerEndsCleanly)
{
    std::atomic<int> calls{0};
    TExTimer* timer = new TExTimer(nullptr);
    timer->SetInterval(10);
    timer->SetOnTimer([&](TObject* sender) {
        ++calls;
        delete static_cast<TExTimer*>(sender);
    });
    ASSERT_TRUE(PumpFor(2000, [&] { return calls == 1; }));
    PumpFor(100);
    EXPECT_EQ(calls, 1);
}

TEST(ExTimer, HandlerErrorsOnTheThreadAreShownOnTheGuiThread)
{
    std::atomic<int> reported{0};
    std::atomic<bool> reportedOffGuiThread{false};
    std::string message;
    const TExceptionEvent previous = Application->OnException;
    Application->OnException = [&](TObject* sender, Exception& e) {
        if (GetCurrentThreadId() != MainThreadID())
            reportedOffGuiThread = true;
        if (!sender || !sender->InheritsFrom("TThread"))
            ADD_FAILURE() << "the sender is the timer thread";
        message = e.Message;
        ++reported;
    };
    {
        std::atomic<int> calls{0};
        TExTimer timer(nullptr);
        timer.SetSyncEvent(false);
        timer.SetInterval(10);
        timer.SetOnTimer([&](TObject*) {
            if (++calls % 2)
                throw EAbort("silenzio");
            throw EConvertError("Valore non valido");
        });
        EXPECT_TRUE(PumpFor(3000, [&] { return reported >= 2; }));
        EXPECT_EQ(message, "Valore non valido");
        EXPECT_FALSE(reportedOffGuiThread);
        EXPECT_GE(calls, 4) << "the thread goes on after an error";
    }
    Application->OnException = previous;

    // Without a handler the error is shown in a message box, from the GUI thread.
    auto* scripted = new TScriptedDialogs;
    scripted->AnswerAll(TDialogKind::MessageBox, TDialogAnswer::Code(IDOK));
    auto previousDialogs = SetDialogService(std::unique_ptr<IDialogService>(scripted));
    {
        TExTimer timer(nullptr);
        timer.SetSyncEvent(false);
        timer.SetInterval(10);
        timer.SetOnTimer([](TObject*) { throw EConvertError("Data errata"); });
        EXPECT_TRUE(PumpFor(3000, [&] { return !scripted->Requests().empty(); }));
        timer.SetEnabled(false);
    }
    ASSERT_FALSE(scripted->Requests().empty());
    EXPECT_EQ(scripted->Requests().front().Text, "Data errata.");
    SetDialogService(std::move(previousDialogs));
}

TEST(ExTimer, AHandlerOnTheThreadHandsWorkToTheGuiThread)
{
    std::atomic<bool> ranOnGui{false};
    std::atomic<int> calls{0};
    TExTimer timer(nullptr);
    timer.SetSyncEvent(false);
    timer.SetInterval(10);
    timer.SetOnTimer([&](TObject*) {
        if (++calls == 1)
            timer.Synchronize([&] { ranOnGui = GetCurrentThreadId() == MainThreadID(); });
    });
    EXPECT_TRUE(PumpFor(2000, [&] { return ranOnGui.load(); }));
    // A timer that is not ticking runs the method at once.
    timer.SetEnabled(false);
    bool direct = false;
    timer.Synchronize([&] { direct = true; });
    EXPECT_TRUE(direct);
}

} // namespace ExTimerTest
