// The program's thread pools: made on first use with their worker counts, released
// before the other managers, their results brought back to the user-interface thread.
#include "downloader/thread_manager.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/controller.h"
#include "gui/core/thread.h"
#include "gui/timer.h"
#include "testing/ui_loop.h"
#include "testing/wait_until.h"

namespace {

int Workers(base::ThreadPool* pool) { return static_cast<int>(pool->GetQueueLengths().size()); }
bool Threads(int n) {
    return testing_support::WaitUntil([n] { return Gui::Thread::GetCount() == n; });
}

// Receives a pool's results on the user-interface thread; its calls go to a log
// outside itself, so that a call after its death would show.
struct Receiver : Gui::Pte<Receiver> {
    explicit Receiver(std::vector<std::pair<int, DWORD>>* log) : log_(log) {}
    void Take(int v) { log_->push_back({v, GetCurrentThreadId()}); }
    std::vector<std::pair<int, DWORD>>* log_;
};

// Posts the value back to the user-interface thread for the receiver, once `go` is set.
struct Work : Gui::CallbackAction {
    Work(Receiver* r, int v, HANDLE go)
        : back_(Gui::MakePteCallback(r, &Receiver::Take, v)), go_(go) {}
    void Execute() override {
        if (go_) WaitForSingleObject(go_, 3000);
        Gui::PostCallback(back_);
    }
    Gui::Callback back_;
    HANDLE go_;
};

TEST(ThreadManager, AResultFromThePoolComesBackOnTheUserInterfaceThreadAndNotToADeadReceiver) {
    gui_test::StartToolkit();
    downloader::ThreadManager manager;
    base::ThreadPool* pool = manager.GetDownloadPool();
    std::vector<std::pair<int, DWORD>> log;
    Receiver living(&log);
    auto* dead_before_run = new Receiver(&log);
    auto* dead_while_queued = new Receiver(&log);
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(pool->PostTask(Gui::Callback(new Work(dead_before_run, 1, go))));
    ASSERT_TRUE(pool->PostTask(Gui::Callback(new Work(dead_while_queued, 2, nullptr))));
    // The second result waits in the time-callback list while its receiver dies.
    ASSERT_TRUE(testing_support::WaitUntil([] { return Gui::ExistsTimeCallback(nullptr); }));
    delete dead_while_queued;
    delete dead_before_run;
    SetEvent(go);
    ASSERT_TRUE(pool->PostTask(Gui::Callback(new Work(&living, 3, nullptr))));
    ASSERT_TRUE(gui_test::RunLoopUntil([&] { return !log.empty(); }, 3000));
    gui_test::RunLoopFor(50);
    EXPECT_EQ(log, (std::vector<std::pair<int, DWORD>>{{3, GetCurrentThreadId()}}));
    CloseHandle(go);
}

// The HTTP pool's holder is shared with the single-worker one: the first asked for sizes it.
// Released pools stop their workers; a later request makes a new one.
TEST(ThreadManager, PoolsAreMadeOnFirstUseWithTheirWorkerCountsAndReleasedAnew) {
    downloader::ThreadManager manager, single_first;
    EXPECT_EQ(Gui::Thread::GetCount(), 0);
    EXPECT_EQ((std::vector<int>{Workers(manager.GetDownloadPool()), Workers(manager.GetHttpPool()),
                                Workers(manager.GetPool3()), Workers(manager.GetPool4()),
                                Workers(manager.GetPool5())}),
              (std::vector<int>{2, 4, 1, 2, 1}));
    EXPECT_TRUE(Threads(10));
    EXPECT_EQ(manager.GetHttpPoolSingle(), manager.GetHttpPool());
    base::ThreadPool* single = single_first.GetHttpPoolSingle();
    EXPECT_EQ(single_first.GetHttpPool(), single);
    EXPECT_EQ(Workers(single), 1);
    manager.ReleasePools();
    EXPECT_TRUE(Threads(4));                             // pools 4 and 5, and the single one
    EXPECT_EQ(Workers(manager.GetHttpPoolSingle()), 1);  // a fresh pool
}

TEST(ThreadManager, TheControllerHandsOutOneManagerAndReleasesItFirst) {
    struct TestController : base::Controller {
        bool Start(const std::wstring&) override { return true; }
    };
    EXPECT_EQ(GetThreadManager(), nullptr);  // no controller yet
    auto* controller = new TestController;
    base::SetController(controller);
    downloader::ThreadManager* manager = GetThreadManager();
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(GetThreadManager(), manager);
    manager->GetDownloadPool();
    EXPECT_TRUE(Threads(2));
    base::SetController(nullptr);
    delete controller;  // stops the pools with the manager
    EXPECT_TRUE(Threads(0));
}

}  // namespace
