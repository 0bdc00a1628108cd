#include "downloader/thread_manager.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <vector>

#include "base/controller.h"
#include "gui/core/thread.h"
#include "gui/ctrl.h"
#include "gui/timer.h"

#include "testing/wait_until.h"

namespace {

class TestController : public base::Controller {
public:
    bool Start(const std::wstring&) override { return true; }
};

using testing_support::WaitUntil;

int Workers(base::ThreadPool* pool) { return static_cast<int>(pool->GetQueueLengths().size()); }

// Receives a pool's results on the user-interface thread; its calls go to a log
// outside itself, so that a call after its death would show.
struct Receiver : Gui::Pte<Receiver> {
    struct Call {
        int value;
        DWORD thread;
    };
    explicit Receiver(std::vector<Call>* log) : log_(log) {}
    void Take(int v) { log_->push_back({v, GetCurrentThreadId()}); }
    std::vector<Call>* log_;
};

// Posts the value back to the user-interface thread for the receiver.
class Work : public Gui::CallbackAction {
public:
    Work(Receiver* r, int v, HANDLE go)
        : back_(Gui::MakePteCallback(r, &Receiver::Take, v)), go_(go) {}
    void Execute() override {
        if (go_) WaitForSingleObject(go_, 3000);
        Gui::PostCallback(back_);
    }

private:
    Gui::Callback back_;
    HANDLE go_;
};

bool PumpUntil(const std::function<bool()>& done, int timeout_ms = 3000) {
    auto start = std::chrono::steady_clock::now();
    MSG msg;
    while (!done()) {
        if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(timeout_ms))
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    return true;
}

TEST(ThreadManager, AResultFromThePoolComesBackOnTheUserInterfaceThreadAndNotToADeadReceiver) {
    Gui::Ctrl::InitWin32(GetModuleHandleW(nullptr));
    downloader::ThreadManager manager;
    base::ThreadPool* pool = manager.GetDownloadPool();
    std::vector<Receiver::Call> log;
    Receiver living(&log);
    auto* dead_before_run = new Receiver(&log);
    auto* dead_while_queued = new Receiver(&log);
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(pool->PostTask(Gui::Callback(new Work(dead_before_run, 1, go))));
    ASSERT_TRUE(pool->PostTask(Gui::Callback(new Work(dead_while_queued, 2, nullptr))));
    // The second result waits in the time-callback list while its receiver dies.
    ASSERT_TRUE(WaitUntil([] { return Gui::ExistsTimeCallback(nullptr); }));
    delete dead_while_queued;
    delete dead_before_run;
    SetEvent(go);
    ASSERT_TRUE(pool->PostTask(Gui::Callback(new Work(&living, 3, nullptr))));
    ASSERT_TRUE(PumpUntil([&] { return !log.empty(); }));
    PumpUntil([] { return false; }, 50);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].value, 3);
    EXPECT_EQ(log[0].thread, GetCurrentThreadId());
    CloseHandle(go);
}

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
    manager->GetDownloadPool();
    EXPECT_TRUE(WaitUntil([] { return Gui::Thread::GetCount() == 2; }));
    base::SetController(nullptr);
    delete controller;  // stops the pools with the manager
    EXPECT_TRUE(WaitUntil([] { return Gui::Thread::GetCount() == 0; }));
}

}  // namespace
