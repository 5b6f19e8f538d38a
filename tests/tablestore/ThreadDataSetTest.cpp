// The thread lock component: one holder at a time, waiting threads, misuse and the removal of
// the guarded data set.

#include "MemTableTestSupport.h"

#include "platform/rtl/Classes.h"
#include "tablestore/zelThreadDataSet.h"

#include <atomic>
#include <chrono>
#include <thread>

using namespace std::chrono_literals;

TEST(ThreadDataSet, TryLockOnAHeldDataSetReturnsNoneAtOnce)
{
    auto table = MakeNameTable();
    TzelThreadDataSet guard(nullptr);
    guard.SetDataset(table.get());
    std::atomic<bool> held{false}, release{false};
    std::thread holder([&] {
        EXPECT_EQ(guard.Lock(), table.get());
        held = true;
        while (!release)
            std::this_thread::sleep_for(1ms);
        guard.Unlock();
    });
    while (!held)
        std::this_thread::sleep_for(1ms);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(guard.TryLock(0), nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_TRUE(guard.GetIsLocked());
    EXPECT_EQ(guard.LockCount(), 1);
    ExpectFailure([&] { guard.SetDataset(nullptr); }, "Exception",
                  "Dataset is locked and cant be changed.");
    release = true;
    holder.join();
    EXPECT_FALSE(guard.GetIsLocked());
}

TEST(ThreadDataSet, OneUnlockLetsExactlyOneWaiterProceed)
{
    auto table = MakeNameTable();
    TzelThreadDataSet guard(nullptr);
    guard.SetDataset(table.get());
    ASSERT_EQ(guard.Lock(), table.get());
    std::atomic<int> proceeded{0};
    auto waiter = [&] {
        if (guard.Lock()) {
            ++proceeded;
            while (proceeded < 100)
                std::this_thread::sleep_for(1ms);
            guard.Unlock();
        }
    };
    std::thread first(waiter), second(waiter);
    while (guard.LockCount() < 3)
        std::this_thread::sleep_for(1ms);
    guard.Unlock();
    while (proceeded < 1)
        std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(proceeded, 1);
    proceeded = 100;
    first.join();
    second.join();
    EXPECT_EQ(guard.LockCount(), 0);
}

TEST(ThreadDataSet, UnlockWithoutHoldingDoesNothing)
{
    auto table = MakeNameTable();
    TzelThreadDataSet guard(nullptr);
    guard.SetDataset(table.get());
    guard.Unlock();
    ASSERT_EQ(guard.TryLock(0), table.get());
    guard.Unlock();
    guard.Unlock();
    EXPECT_EQ(guard.LockCount(), 0);
    EXPECT_EQ(guard.TryLock(0), table.get());
    EXPECT_EQ(guard.TryLock(0), nullptr);
    guard.Unlock();
}

TEST(ThreadDataSet, FreeingTheHeldDataSetIsShownAndReleasesWaiters)
{
    auto table = MakeNameTable();
    TzelThreadDataSet guard(nullptr);
    guard.SetDataset(table.get());
    ASSERT_EQ(guard.Lock(), table.get());
    std::atomic<bool> returned{false};
    TDataSet* waited = table.get();
    std::thread waiter([&] {
        waited = guard.Lock();
        returned = true;
    });
    while (guard.LockCount() < 2)
        std::this_thread::sleep_for(1ms);
    std::vector<std::string> shown;
    const TApplicationExceptionHandler previous = SetApplicationExceptionHandler(
        [&](TObject*, const Exception& e) { shown.push_back(e.Message); });
    table.reset();
    SetApplicationExceptionHandler(previous);
    waiter.join();
    EXPECT_EQ(waited, nullptr);
    EXPECT_EQ(guard.Dataset(), nullptr);
    EXPECT_EQ(guard.LockCount(), 0);
    EXPECT_EQ(shown, (std::vector<std::string>{"Dataset being removed while locked."}));
}

TEST(ThreadDataSet, ManyThreadsCountUnderTheLock)
{
    auto table = MakeNameTable();
    TzelThreadDataSet guard(nullptr);
    guard.SetDataset(table.get());
    for (int run = 0; run < 50; ++run) {
        int counter = 0;
        std::vector<std::thread> threads;
        for (int t = 0; t < 8; ++t)
            threads.emplace_back([&] {
                for (int i = 0; i < 1000; ++i) {
                    guard.Lock();
                    ++counter;
                    guard.Unlock();
                }
            });
        for (std::thread& thread : threads)
            thread.join();
        ASSERT_EQ(counter, 8000) << "run " << run;
    }
}
