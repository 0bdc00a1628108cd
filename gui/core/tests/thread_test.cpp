#include "gui/core/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <unistd.h>

#include "gui/core/semaphore.h"
#include "testing/lambda_callback.h"
#include "testing/thread_start_limit.h"
#include "testing/wait_until.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

using testing_support::Do;

using testing_support::WaitUntil;

TEST(Thread, IsSingleThreadedUntilTheFirstRunAndNeverAfter) {
    EXPECT_TRUE(Gui::Thread::IsSingleThreaded());
    Gui::Thread t;
    ASSERT_TRUE(t.Run(Do([] {})));
    EXPECT_EQ(t.Wait(), 0);
    EXPECT_FALSE(Gui::Thread::IsSingleThreaded());
    EXPECT_EQ(Gui::Thread::GetCount(), 0);
    EXPECT_FALSE(Gui::Thread::IsSingleThreaded());
}

TEST(Thread, RunsTheCallbackOnAnotherThreadAndWaitEmptiesTheObject) {
    std::atomic<DWORD> ran_on{0};
    Gui::Thread t;
    ASSERT_TRUE(t.Run(Do([&] { ran_on = GetCurrentThreadId(); })));
    EXPECT_TRUE(t.IsOpen());
    EXPECT_EQ(t.Wait(), 0);
    EXPECT_FALSE(t.IsOpen());
    EXPECT_NE(ran_on.load(), 0u);
    EXPECT_NE(ran_on.load(), GetCurrentThreadId());
}

TEST(Thread, WaitWithoutAThreadAnswersMinusOne) {
    Gui::Thread t;
    EXPECT_EQ(t.Wait(), -1);
    EXPECT_FALSE(t.IsRunning());
    EXPECT_FALSE(t.Terminate());
}

TEST(Thread, WaitOnAnEndedThreadAnswersAtOnce) {
    Gui::Thread t;
    ASSERT_TRUE(t.Run(Do([] {})));
    ASSERT_TRUE(WaitUntil([&] { return !t.IsRunning(); }));
    auto start = Clock::now();
    EXPECT_EQ(t.Wait(), 0);
    EXPECT_LT(MsSince(start), 1000);
    EXPECT_FALSE(t.IsOpen());
}

TEST(Thread, CountFallsOnlyAfterTheCallbackReturned) {
    Gui::Semaphore go;
    Gui::Thread t;
    ASSERT_TRUE(t.Run(Do([&] { go.Wait(); })));
    EXPECT_EQ(Gui::Thread::GetCount(), 1);
    EXPECT_TRUE(t.IsRunning());
    go.Release();
    EXPECT_EQ(t.Wait(), 0);
    EXPECT_EQ(Gui::Thread::GetCount(), 0);
}

TEST(Thread, RunAgainLetsTheOldThreadGoOnAndStayCounted) {
    Gui::Semaphore release_first;
    std::atomic<bool> first_done{false};
    Gui::Thread t;
    ASSERT_TRUE(t.Run(Do([&] {
        release_first.Wait();
        first_done = true;
    })));
    ASSERT_TRUE(t.Run(Do([] {})));
    EXPECT_EQ(t.Wait(), 0);  // waits for the second thread only
    EXPECT_FALSE(first_done.load());
    EXPECT_EQ(Gui::Thread::GetCount(), 1);
    release_first.Release();
    ASSERT_TRUE(WaitUntil([] { return Gui::Thread::GetCount() == 0; }));
    EXPECT_TRUE(first_done.load());
}

TEST(Thread, ACallbackThatThrowsEndsLikeANormalReturn) {
    std::atomic<int> destroyed{0};
    Gui::Thread t;
    ASSERT_TRUE(t.Run(Do([] { throw std::runtime_error("boom"); }, &destroyed)));
    EXPECT_EQ(t.Wait(), 0);
    EXPECT_EQ(Gui::Thread::GetCount(), 0);
    EXPECT_EQ(destroyed.load(), 1);
}

TEST(Thread, TheThreadsCopyOfTheCallbackIsReleasedWhenItEnds) {
    std::atomic<int> destroyed{0};
    {
        Gui::Callback cb = Do([] {}, &destroyed);
        Gui::Thread t;
        ASSERT_TRUE(t.Run(cb));
        EXPECT_EQ(t.Wait(), 0);
        EXPECT_EQ(destroyed.load(), 0);  // the caller's reference stays
    }
    EXPECT_EQ(destroyed.load(), 1);
}

TEST(Thread, StartRunsADetachedThread) {
    std::atomic<bool> ran{false};
    Gui::Thread::Start(Do([&] { ran = true; }));
    ASSERT_TRUE(WaitUntil([&] { return ran.load() && Gui::Thread::GetCount() == 0; }));
}

TEST(Thread, ShutdownWithoutThreadsReturnsAtOnce) {
    auto start = Clock::now();
    Gui::Thread::ShutdownThreads();
    EXPECT_LT(MsSince(start), 50);
    EXPECT_FALSE(Gui::Thread::IsShutdownThreads());
}

TEST(Thread, ShutdownWaitsForThreadsThatPollTheFlag) {
    std::atomic<bool> saw_shutdown{false};
    Gui::Thread t;
    ASSERT_TRUE(t.Run(Do([&] {
        while (!Gui::Thread::IsShutdownThreads()) Sleep(5);
        saw_shutdown = true;
        Sleep(50);
    })));
    auto start = Clock::now();
    Gui::Thread::ShutdownThreads();
    double took = MsSince(start);
    EXPECT_TRUE(saw_shutdown.load());
    EXPECT_EQ(Gui::Thread::GetCount(), 0);
    EXPECT_GE(took, 50);
    EXPECT_LT(took, 1500);  // a pause step after the last return, with room for a loaded machine
    EXPECT_FALSE(Gui::Thread::IsShutdownThreads());
}

TEST(Thread, SetPriorityMapsPercentagesToTheLowerNeighbourAtTheEdges) {
    Gui::Semaphore done;
    Gui::Thread t;
    ASSERT_TRUE(t.Run(Do([&] { done.Wait(); })));
    const struct {
        int percent;
        int priority;
    } cases[] = {{-5, THREAD_PRIORITY_LOWEST},        {25, THREAD_PRIORITY_LOWEST},
                 {26, THREAD_PRIORITY_BELOW_NORMAL},  {75, THREAD_PRIORITY_BELOW_NORMAL},
                 {100, THREAD_PRIORITY_NORMAL},       {125, THREAD_PRIORITY_NORMAL},
                 {175, THREAD_PRIORITY_ABOVE_NORMAL}, {176, THREAD_PRIORITY_HIGHEST}};
    for (auto& c : cases) {
        EXPECT_TRUE(t.SetPriority(c.percent));
        EXPECT_EQ(GetThreadPriority(t.GetHandle()), c.priority) << c.percent;
    }
    done.Release();
    EXPECT_EQ(t.Wait(), 0);
    EXPECT_FALSE(t.SetPriority(100));  // no thread held
}

TEST(Thread, TerminateEndsAThreadAtItsNextWait) {
    Gui::Thread t;
    ASSERT_TRUE(t.Run(Do([] {
        for (;;) Sleep(10);
    })));
    EXPECT_TRUE(t.IsRunning());
    EXPECT_TRUE(t.Terminate());
    EXPECT_FALSE(t.IsOpen());
    EXPECT_FALSE(t.IsRunning());
}

TEST(Thread, EveryWayAThreadEndsUncountsIt) {
    for (bool terminate : {false, true}) {
        std::atomic<int> destroyed{0};
        Gui::Semaphore started;
        Gui::Thread t;
        ASSERT_TRUE(t.Run(Do(
            [&] {
                started.Release();
                if (!terminate) ExitThread(7);
                for (;;) Sleep(10);
            },
            &destroyed)));
        started.Wait();
        if (terminate)
            EXPECT_TRUE(t.Terminate());
        else
            EXPECT_EQ(t.Wait(), 7);
        EXPECT_EQ(Gui::Thread::GetCount(), 0) << terminate;
        Gui::Thread::ShutdownThreads();  // returns: nothing is counted any more
        // The thread's copy is gone; an exited thread also dropped its own reference.
        EXPECT_EQ(destroyed.load(), terminate ? 0 : 1) << terminate;
    }
}

TEST(Thread, AThreadThatFailsToStartIsNotCountedAndItsCopyIsReleased) {
    std::atomic<int> destroyed{0};
    std::atomic<bool> ran{false};
    Gui::Callback cb = Do([&] { ran = true; }, &destroyed);
    Gui::Thread t;
    bool started;
    {
        testing_support::ThreadStartLimit limit;
        ASSERT_TRUE(limit.ok());
        started = t.Run(cb);
    }
    ASSERT_FALSE(started);
    EXPECT_FALSE(t.IsOpen());
    EXPECT_EQ(Gui::Thread::GetCount(), 0);
    cb.Clear();
    EXPECT_EQ(destroyed.load(), 1);  // the thread's copy went too
    EXPECT_FALSE(ran.load());
    auto start = Clock::now();
    Gui::Thread::ShutdownThreads();  // a thread still counted would hold it for ever
    EXPECT_LT(MsSince(start), 1000);
}

}  // namespace
