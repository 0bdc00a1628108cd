// Results handed from other threads to the user-interface thread, with a real
// message loop and the timer window.
#include <gtest/gtest.h>

#include <time.h>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

#include "gui/core/thread.h"
#include "gui/ctrl.h"
#include "gui/timer.h"
#include "ui_loop.h"
#include "testing/lambda_callback.h"

namespace {

using gui_test::MsSince;
using gui_test::RunLoopUntil;

struct Receiver : Gui::Pte<Receiver> {
    std::vector<DWORD> threads;
    std::vector<int> values;
    void Take(int v) {
        threads.push_back(GetCurrentThreadId());
        values.push_back(v);
    }
};

using testing_support::Do;

double CpuMs() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

TEST(UiThread, ACallbackPostedFromAnotherThreadRunsOnTheUserInterfaceThread) {
    gui_test::StartToolkit();
    Receiver r;
    Gui::Thread worker;
    ASSERT_TRUE(
        worker.Run(Do([&r] { Gui::PostCallback(Gui::MakePteCallback(&r, &Receiver::Take, 7)); })));
    ASSERT_TRUE(RunLoopUntil([&] { return !r.values.empty(); }));
    EXPECT_EQ(r.values, std::vector<int>{7});
    EXPECT_EQ(r.threads[0], GetCurrentThreadId());
    worker.Wait();
}

// Reports its calls to a log outside itself, so that a call after its death shows.
struct Witness : Gui::Pte<Witness> {
    explicit Witness(std::vector<int>* log) : log_(log) {}
    void Take(int v) { log_->push_back(v); }
    std::vector<int>* log_;
};

TEST(UiThread, APostedCallbackWhoseObjectDiedWhileQueuedDoesNothing) {
    gui_test::StartToolkit();
    std::vector<int> calls;
    auto* dying = new Witness(&calls);
    Witness living(&calls);
    std::thread worker([&] {
        Gui::PostCallback(Gui::MakePteCallback(dying, &Witness::Take, 1));
        Gui::PostCallback(Gui::MakePteCallback(&living, &Witness::Take, 2));
    });
    worker.join();
    delete dying;  // on the user-interface thread, while both wait in the list
    ASSERT_TRUE(RunLoopUntil([&] { return !calls.empty(); }));
    gui_test::RunLoopFor(30);
    EXPECT_EQ(calls, std::vector<int>{2});
}

TEST(UiThread, ResultsFromManyThreadsAllArrive) {
    gui_test::StartToolkit();
    Receiver r;
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([&r, t] {
            for (int i = 0; i < 50; ++i)
                Gui::PostCallback(Gui::MakePteCallback(&r, &Receiver::Take, t * 100 + i));
        });
    }
    for (auto& w : workers) w.join();
    ASSERT_TRUE(RunLoopUntil([&] { return r.values.size() == 200; }));
    for (DWORD tid : r.threads) EXPECT_EQ(tid, GetCurrentThreadId());
}

TEST(UiThread, ARepeatingCallbackRunsAboutEveryPeriodUntilKilled) {
    gui_test::StartToolkit();
    std::vector<double> at;
    auto start = std::chrono::steady_clock::now();
    int id;
    Gui::SetTimeCallback(-50, Do([&] {
        at.push_back(MsSince(start));
        if (at.size() == 4) Gui::KillTimeCallback(&id);
    }),
                         &id);
    ASSERT_TRUE(RunLoopUntil([&] { return at.size() == 4; }));
    gui_test::RunLoopFor(120);
    EXPECT_EQ(at.size(), 4u);
    EXPECT_GE(at[0], 45);
    for (size_t i = 1; i < at.size(); ++i) EXPECT_GE(at[i] - at[i - 1], 40);
    EXPECT_LT(at[3], 2000);
}

TEST(UiThread, ACallbackSetJustBeforeTheTickWrapWaitsItsDelay) {
    // The clock wraps 256 ms from now; the callback is due 400 ms from now, past it.
    setenv("WIN32_TICK_START", "0xFFFFFF00", 1);
    gui_test::StartToolkit();
    auto start = std::chrono::steady_clock::now();
    double fired_at = -1, early_at = -1;
    DWORD set_at = GetTickCount();
    Gui::SetTimeCallback(400, Do([&] { fired_at = MsSince(start); }));
    Gui::SetTimeCallback(30, Do([&] { early_at = MsSince(start); }));
    ASSERT_GE(set_at, 0x80000000u);  // set before the wrap
    ASSERT_TRUE(RunLoopUntil([&] { return fired_at >= 0; }, 5000));
    EXPECT_GE(early_at, 25);
    EXPECT_LT(early_at, 2000);
    EXPECT_LT(GetTickCount(), 0x80000000u);  // the counter did wrap meanwhile
    EXPECT_GE(fired_at, 395);
    EXPECT_LT(fired_at, 3000);
    unsetenv("WIN32_TICK_START");
}

TEST(UiThread, AnIdleLoopWithARepeatingCallbackUsesAlmostNoCpu) {
    gui_test::StartToolkit();
    int runs = 0;
    Gui::SetTimeCallback(-100, Do([&] { ++runs; }), &runs);
    auto start = std::chrono::steady_clock::now();
    double cpu_before = CpuMs();
    ASSERT_TRUE(RunLoopUntil([&] { return runs >= 5; }, 10000));
    double cpu = CpuMs() - cpu_before;
    double wall = MsSince(start);
    EXPECT_GE(wall, 450);
    EXPECT_LT(cpu, wall / 10);  // well under a tenth of the time
    Gui::KillTimeCallback(&runs);
}

}  // namespace
