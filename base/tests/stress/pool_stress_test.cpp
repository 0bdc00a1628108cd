// Many threads posting to a pool whose tasks hand their results back to the
// user-interface thread, while the receiving objects die and the pool is resized,
// paused and cancelled meanwhile. Built a second time with ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <numeric>
#include <random>
#include <thread>
#include <vector>

#include "base/thread_pool.h"
#include "gui/timer.h"
#include "testing/lambda_callback.h"
#include "testing/ui_loop.h"

namespace {

using gui_test::RunLoopFor;
using gui_test::RunLoopUntil;
using testing_support::Do;

// Lives and dies on the user-interface thread; results reach it there only.
struct Receiver : Gui::Pte<Receiver> {
    int got = 0;
    DWORD ui_thread = GetCurrentThreadId();
    bool wrong_thread = false;
    void Take(int) {
        ++got;
        if (GetCurrentThreadId() != ui_thread) wrong_thread = true;
    }
    void Take2(int a, int b) { Take(a + b); }
};

TEST(PoolStress, ResultsReachLiveReceiversAndNeverDeadOnes) {
    gui_test::StartToolkit();
    base::ThreadPool pool;
    pool.SetThreadCount(4);

    const int kRounds = 60, kPerRound = 25;
    std::map<int, std::unique_ptr<Receiver>> alive;
    std::mt19937 rng(7);
    for (int round = 0; round < kRounds; ++round) {
        auto r = std::make_unique<Receiver>();
        Gui::Callback1<int> back = Gui::MakePteCallback1(r.get(), &Receiver::Take);
        Gui::Callback2<int, int> back2 = Gui::MakePteCallback2(r.get(), &Receiver::Take2);
        for (int i = 0; i < kPerRound; ++i) {
            bool two = i % 2;
            ASSERT_TRUE(pool.PostTask(Do([back, back2, i, two] {
                                          if (two)
                                              Gui::PostCallback(Gui::MakeCallbackCall(back2, i, 1));
                                          else
                                              Gui::PostCallback(Do([back, i] { back(i); }));
                                      }),
                                      i % 7 == 0));
        }
        alive[round] = std::move(r);
        // Some receivers die while their results are still on their way.
        if (rng() % 3 == 0 && !alive.empty()) alive.erase(alive.begin()->first);
        if (round % 10 == 0) RunLoopFor(5);
    }
    EXPECT_TRUE(RunLoopUntil(
        [&] {
            for (auto& [k, r] : alive)
                if (r->got != kPerRound) return false;
            return true;
        },
        20000));
    for (auto& [k, r] : alive) EXPECT_FALSE(r->wrong_thread) << k;
    alive.clear();
    RunLoopFor(50);  // stragglers to dead receivers do nothing
}

TEST(PoolStress, ManyPostersWhileThePoolIsResizedPausedAndCancelled) {
    gui_test::StartToolkit();
    Receiver sink;
    base::ThreadPool pool;
    pool.SetThreadCount(3);

    const int kPosters = 6, kEach = 300;
    std::atomic<int> ran{0}, accepted{0};
    std::vector<std::atomic<int>> runs(kPosters * kEach);
    std::atomic<bool> stop_churn{false};
    std::vector<std::thread> posters;
    for (int p = 0; p < kPosters; ++p) {
        posters.emplace_back([&, p] {
            for (int i = 0, id = p * kEach; i < kEach; ++i, ++id) {
                auto task = Do([&ran, &runs, &sink, id] {
                    ++runs[id];
                    ++ran;
                    Gui::PostCallback(Gui::MakePteCallback(&sink, &Receiver::Take, id));
                });
                if (pool.PostTask(task, (i + p) % 11 == 0, i % 5)) ++accepted;  // tag 0 stays
            }
        });
    }
    std::thread churn([&] {
        std::mt19937 rng(11);
        const std::function<void()> moves[] = {
            [&] { pool.SetThreadCount(1 + rng() % 5); },
            [&] { pool.Pause(), Sleep(1), pool.Resume(); },
            [&] { pool.CancelTask(1 + rng() % 4); },
            [&] {
                pool.RequeueTasks({2, 3}, rng() % 2);
            },
            [&] { pool.GetQueueLengths(); },
            [] { Sleep(1); },
        };
        while (!stop_churn) moves[rng() % 6]();
        pool.Resume();
    });
    for (auto& t : posters) t.join();
    stop_churn = true;
    churn.join();
    pool.SetThreadCount(3);
    // Whatever was not cancelled runs; nothing runs twice.
    EXPECT_TRUE(RunLoopUntil(
        [&] {
            const auto lengths = pool.GetQueueLengths();
            return std::accumulate(lengths.begin(), lengths.end(), 0) == 0;
        },
        20000));
    EXPECT_TRUE(ran > 0 && ran <= accepted) << ran;
    EXPECT_EQ(accepted.load(), kPosters * kEach);
    for (auto& n : runs) EXPECT_LE(n.load(), 1);
    pool.Stop();
    EXPECT_FALSE(pool.PostTask(Do([] {})));
    EXPECT_TRUE(RunLoopUntil([&] { return sink.got == ran.load(); }, 5000));
    EXPECT_FALSE(sink.wrong_thread);
}

}  // namespace
