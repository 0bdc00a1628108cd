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

template <class F>
class Run : public Gui::CallbackAction {
public:
    explicit Run(F f) : f_(std::move(f)) {}
    void Execute() override { f_(); }

private:
    F f_;
};

template <class F>
Gui::Callback Do(F f) {
    return Gui::Callback(new Run<F>(std::move(f)));
}

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

TEST(UiThread, APostedCallbackWhoseObjectDiedWhileQueuedDoesNothing) {
    gui_test::StartToolkit();
    auto* r = new Receiver;
    std::atomic<bool> posted{false};
    std::thread worker([&] {
        Gui::PostCallback(Gui::MakePteCallback(r, &Receiver::Take, 1));
        posted = true;
    });
    worker.join();
    ASSERT_TRUE(posted.load());
    delete r;  // on the user-interface thread, before any pass
    bool after = false;
    Gui::PostCallback(Do([&] { after = true; }));
    ASSERT_TRUE(RunLoopUntil([&] { return after; }));  // the dead one went first
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
    EXPECT_LT(at[3], 600);
}

TEST(UiThread, ACallbackSetJustBeforeTheTickWrapWaitsItsDelay) {
    // The clock wraps 60 ms from now; the callback is due 250 ms from now.
    setenv("WIN32_TICK_START", "0xFFFFFFC4", 1);
    gui_test::StartToolkit();
    auto start = std::chrono::steady_clock::now();
    double fired_at = -1, early_at = -1;
    Gui::SetTimeCallback(250, Do([&] { fired_at = MsSince(start); }));
    Gui::SetTimeCallback(30, Do([&] { early_at = MsSince(start); }));
    ASSERT_TRUE(RunLoopUntil([&] { return fired_at >= 0; }, 2000));
    EXPECT_GE(early_at, 25);
    EXPECT_LT(early_at, 200);
    EXPECT_LT(GetTickCount(), 0x80000000u);  // the counter did wrap meanwhile
    EXPECT_GE(fired_at, 245);
    EXPECT_LT(fired_at, 1000);
    unsetenv("WIN32_TICK_START");
}

TEST(UiThread, AnIdleLoopWithARepeatingCallbackUsesAlmostNoCpu) {
    gui_test::StartToolkit();
    int runs = 0;
    Gui::SetTimeCallback(-100, Do([&] { ++runs; }), &runs);
    double cpu_before = CpuMs();
    gui_test::RunLoopFor(600);
    double cpu = CpuMs() - cpu_before;
    EXPECT_GE(runs, 4);
    EXPECT_LT(cpu, 60);  // well under a tenth of the time
    Gui::KillTimeCallback(&runs);
}

}  // namespace
