#include "downloader/thread_manager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>

#include "base/controller.h"
#include "gui/core/thread.h"

namespace {

class TestController : public base::Controller {
public:
    bool Start(const std::wstring&) override { return true; }
};

bool WaitUntil(const std::function<bool()>& done, int timeout_ms = 3000) {
    auto start = std::chrono::steady_clock::now();
    while (!done()) {
        if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(timeout_ms))
            return false;
        Sleep(1);
    }
    return true;
}

int Workers(base::ThreadPool* pool) { return static_cast<int>(pool->GetQueueLengths().size()); }

class Flag : public Gui::CallbackAction {
public:
    explicit Flag(std::atomic<bool>& flag) : flag_(flag) {}
    void Execute() override { flag_ = true; }

private:
    std::atomic<bool>& flag_;
};

TEST(ThreadManager, PoolsAreMadeOnFirstUseWithTheirWorkerCounts) {
    downloader::ThreadManager manager;
    EXPECT_EQ(Gui::Thread::GetCount(), 0);
    EXPECT_EQ(Workers(manager.GetDownloadPool()), 2);
    EXPECT_EQ(Workers(manager.GetHttpPool()), 4);
    EXPECT_EQ(Workers(manager.GetPool3()), 1);
    EXPECT_EQ(Workers(manager.GetPool4()), 2);
    EXPECT_EQ(Workers(manager.GetPool5()), 1);
    EXPECT_TRUE(WaitUntil([] { return Gui::Thread::GetCount() == 10; }));
}

TEST(ThreadManager, TwoRequestsForTheHttpPoolGetTheSamePool) {
    downloader::ThreadManager manager;
    base::ThreadPool* first = manager.GetHttpPool();
    EXPECT_EQ(manager.GetHttpPool(), first);
    EXPECT_EQ(manager.GetHttpPoolSingle(), first);
    EXPECT_EQ(Workers(first), 4);
}

TEST(ThreadManager, ASingleWorkerHttpPoolAskedForFirstKeepsOneWorker) {
    downloader::ThreadManager manager;
    base::ThreadPool* single = manager.GetHttpPoolSingle();
    EXPECT_EQ(manager.GetHttpPool(), single);
    EXPECT_EQ(Workers(single), 1);
}

TEST(ThreadManager, TheDownloadPoolRunsTasks) {
    downloader::ThreadManager manager;
    std::atomic<bool> ran{false};
    ASSERT_TRUE(manager.GetDownloadPool()->PostTask(Gui::Callback(new Flag(ran))));
    EXPECT_TRUE(WaitUntil([&] { return ran.load(); }));
}

TEST(ThreadManager, ReleasingPoolsStopsTheirWorkersAndLaterRequestsMakeNewOnes) {
    downloader::ThreadManager manager;
    manager.GetDownloadPool();
    manager.GetHttpPool();
    manager.GetPool3();
    manager.GetPool5();
    ASSERT_TRUE(WaitUntil([] { return Gui::Thread::GetCount() == 8; }));
    manager.ReleasePools();
    EXPECT_TRUE(WaitUntil([] { return Gui::Thread::GetCount() == 1; }));  // pool 5 stays
    EXPECT_EQ(Workers(manager.GetHttpPoolSingle()), 1);                   // a fresh pool
}

TEST(ThreadManager, TheControllerHandsOutOneManagerAndReleasesItFirst) {
    EXPECT_EQ(GetThreadManager(), nullptr);  // no controller yet
    auto* controller = new TestController;
    base::SetController(controller);
    downloader::ThreadManager* manager = GetThreadManager();
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(GetThreadManager(), manager);
    EXPECT_TRUE(manager->NeedReleaseFirst());
    manager->GetDownloadPool();
    EXPECT_TRUE(WaitUntil([] { return Gui::Thread::GetCount() == 2; }));
    base::SetController(nullptr);
    delete controller;  // stops the pools with the manager
    EXPECT_TRUE(WaitUntil([] { return Gui::Thread::GetCount() == 0; }));
}

}  // namespace
