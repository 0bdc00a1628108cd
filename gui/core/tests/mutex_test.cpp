#include "gui/core/mutex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "gui/core/semaphore.h"

namespace {

Gui::StaticMutex g_first_use;  // zero-initialised, never constructed

// Threads racing to the static mutex's first use share one section; both kinds exclude
// other threads and can be taken again by their holder.
TEST(Mutex, ThreadsRacingToTheFirstUseShareOneReEntrantSection) {
    const int kThreads = 16;
    std::atomic<int> ready{0};
    std::atomic<bool> go{false};
    std::vector<CRITICAL_SECTION*> seen(kThreads);
    Gui::Mutex m;
    int inside = 0, max_inside = 0, total = 0, counter = 0;
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            ++ready;
            while (!go) std::this_thread::yield();
            seen[i] = g_first_use.Get();
            for (int k = 0; k < 1000; ++k) {
                {
                    Gui::StaticMutex::Lock lock(g_first_use), again(g_first_use);
                    max_inside = std::max(max_inside, ++inside);
                    ++total;
                    --inside;
                }
                Gui::Mutex::Lock outer(m), inner(m);
                ++counter;
            }
        });
    }
    while (ready < kThreads) std::this_thread::yield();
    go = true;
    for (auto& t : threads) t.join();
    EXPECT_EQ(std::set<CRITICAL_SECTION*>(seen.begin(), seen.end()).size(), 1u);
    EXPECT_EQ(max_inside, 1);
    EXPECT_EQ(total, kThreads * 1000);
    EXPECT_EQ(counter, kThreads * 1000);
}

TEST(Semaphore, CountsReleasesAndWakesAWaiter) {
    Gui::Semaphore s;
    EXPECT_FALSE(s.Wait(0));
    s.Release();
    s.Release();
    EXPECT_TRUE(s.Wait(0) && s.Wait(0));
    EXPECT_FALSE(s.Wait(0));
    std::thread releaser([&] { s.Release(); });
    EXPECT_TRUE(s.Wait(60000));
    releaser.join();
    s.Release();
    s.Wait();  // returns: the count is there
    EXPECT_FALSE(s.Wait(10));
}

}  // namespace
