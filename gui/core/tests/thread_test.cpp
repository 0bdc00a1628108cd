#include "gui/core/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

#include "gui/core/semaphore.h"
#include "testing/lambda_callback.h"
#include "testing/thread_start_limit.h"
#include "testing/wait_until.h"

namespace {

using testing_support::Do;
using testing_support::WaitUntil;

// Taken before main, so it holds whatever test runs first.
const bool g_single_at_start = Gui::Thread::IsSingleThreaded();

TEST(Thread, RunsOnAnotherThreadAtItsPriorityCountedUntilTheCallbackReturns) {
    std::atomic<DWORD> ran_on{0};
    std::atomic<int> destroyed{0};
    Gui::Semaphore go;
    {
        Gui::Callback cb = Do(
            [&] {
                go.Wait();
                ran_on = GetCurrentThreadId();
            },
            &destroyed);
        Gui::Thread t;
        ASSERT_TRUE(t.Run(cb));
        EXPECT_TRUE(g_single_at_start);
        EXPECT_FALSE(Gui::Thread::IsSingleThreaded());
        EXPECT_EQ(Gui::Thread::GetCount(), 1);
        EXPECT_TRUE(t.IsRunning());
        // Percentages map to the lower neighbour at the edges.
        const int priorities[][2] = {
            {-5, THREAD_PRIORITY_LOWEST},        {25, THREAD_PRIORITY_LOWEST},
            {26, THREAD_PRIORITY_BELOW_NORMAL},  {75, THREAD_PRIORITY_BELOW_NORMAL},
            {100, THREAD_PRIORITY_NORMAL},       {125, THREAD_PRIORITY_NORMAL},
            {175, THREAD_PRIORITY_ABOVE_NORMAL}, {176, THREAD_PRIORITY_HIGHEST}};
        for (auto& p : priorities) {
            EXPECT_TRUE(t.SetPriority(p[0]));
            EXPECT_EQ(GetThreadPriority(t.GetHandle()), p[1]) << p[0];
        }
        go.Release();
        EXPECT_EQ(t.Wait(), 0);
        EXPECT_EQ(Gui::Thread::GetCount(), 0);
        EXPECT_EQ(destroyed.load(), 0);  // the caller's reference stays
        // Nothing held any more.
        EXPECT_EQ(t.Wait(), -1);
        EXPECT_FALSE(t.IsOpen() || t.IsRunning() || t.Terminate() || t.SetPriority(100));
    }
    EXPECT_EQ(destroyed.load(), 1);
    EXPECT_TRUE(ran_on != 0 && ran_on != GetCurrentThreadId());
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

TEST(Thread, ShutdownWaitsForEveryThreadThatPollsTheFlag) {
    Gui::Thread::ShutdownThreads();  // none counted: returns
    std::atomic<bool> finished{false};
    Gui::Thread::Start(Do([&] {
        while (!Gui::Thread::IsShutdownThreads()) Sleep(5);
        Sleep(50);
        finished = true;
    }));
    Gui::Thread::ShutdownThreads();
    EXPECT_TRUE(finished.load());
    EXPECT_EQ(Gui::Thread::GetCount(), 0);
    EXPECT_FALSE(Gui::Thread::IsShutdownThreads());
}

// A throwing callback ends like a normal return; ExitThread and Terminate end it too. The
// thread's copy goes with the thread, except that a terminated one cannot drop it.
TEST(Thread, EveryWayAThreadEndsUncountsIt) {
    for (int way : {0, 1, 2}) {  // throw, exit, terminate
        std::atomic<int> destroyed{0};
        Gui::Semaphore started;
        Gui::Thread t;
        ASSERT_TRUE(t.Run(Do(
            [&] {
                started.Release();
                if (way == 0) throw std::runtime_error("boom");
                if (way == 1) ExitThread(7);
                for (;;) Sleep(10);
            },
            &destroyed)));
        started.Wait();
        if (way == 2)
            EXPECT_TRUE(t.Terminate());
        else
            EXPECT_EQ(t.Wait(), way == 0 ? 0 : 7);
        EXPECT_FALSE(t.IsOpen() || t.IsRunning());
        EXPECT_EQ(Gui::Thread::GetCount(), 0) << way;
        EXPECT_EQ(destroyed.load(), way == 2 ? 0 : 1) << way;
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
    EXPECT_EQ(Gui::Thread::GetCount(), 0);  // else a shutdown would wait for ever
    cb.Clear();
    EXPECT_EQ(destroyed.load(), 1);  // the thread's copy went too
    EXPECT_FALSE(ran.load());
}

}  // namespace
