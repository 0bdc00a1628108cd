#include "base/thread_pool.h"

#include <gtest/gtest.h>

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "gui/core/semaphore.h"
#include "testing/lambda_callback.h"
#include "testing/thread_start_limit.h"
#include "testing/wait_until.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

using testing_support::WaitUntil;

using testing_support::Do;

// What ran, in order, and on which thread.
class RunLog {
public:
    Gui::Callback Task(const std::string& name) {
        return Do([this, name] {
            std::lock_guard lock(mu_);
            entries_.push_back({name, GetCurrentThreadId()});
        });
    }
    std::vector<std::string> Names() {
        std::lock_guard lock(mu_);
        std::vector<std::string> out;
        for (auto& e : entries_) out.push_back(e.first);
        return out;
    }
    std::vector<std::string> NamesOn(DWORD tid) {
        std::lock_guard lock(mu_);
        std::vector<std::string> out;
        for (auto& e : entries_)
            if (e.second == tid) out.push_back(e.first);
        return out;
    }
    DWORD ThreadOf(const std::string& name) {
        std::lock_guard lock(mu_);
        for (auto& e : entries_)
            if (e.first == name) return e.second;
        return 0;
    }
    size_t Size() {
        std::lock_guard lock(mu_);
        return entries_.size();
    }

private:
    std::mutex mu_;
    std::vector<std::pair<std::string, DWORD>> entries_;
};

// A task that holds its worker until opened; it says when it has started.
class Blocker {
public:
    Blocker() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Blocker() {
        Open();
        CloseHandle(event_);
    }
    Gui::Callback Task() {
        return Do([this] {
            tid_ = GetCurrentThreadId();
            started_ = true;
            WaitForSingleObject(event_, 5000);
        });
    }
    bool WaitStarted() {
        return WaitUntil([this] { return started_.load(); });
    }
    void Open() { SetEvent(event_); }
    DWORD Thread() const { return tid_; }

private:
    HANDLE event_;
    std::atomic<bool> started_{false};
    std::atomic<DWORD> tid_{0};
};

// The kernel's view of a thread: asleep in a wait, not running or runnable.
bool IsAsleep(pid_t tid) {
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string line;
    std::getline(stat, line);
    size_t end = line.rfind(')');
    return end != std::string::npos && end + 2 < line.size() && line[end + 2] == 'S';
}

// Runs one task on the pool's only worker and waits until the worker sleeps again.
// With the gate open, the only place it sleeps is its own semaphore.
void WaitForIdleWorker(base::ThreadPool& pool, pid_t* worker = nullptr) {
    std::atomic<pid_t> tid{0};
    ASSERT_TRUE(pool.PostTask(Do([&tid] { tid = static_cast<pid_t>(syscall(SYS_gettid)); })));
    ASSERT_TRUE(WaitUntil([&] { return tid.load() != 0; }));
    ASSERT_TRUE(WaitUntil([&] { return IsAsleep(tid.load()); }));
    if (worker) *worker = tid;
}

TEST(ThreadPool, PostingToAPoolWithoutWorkersFailsAndLeavesTheCallbackWithTheCaller) {
    base::ThreadPool pool;
    std::atomic<int> destroyed{0};
    Gui::Callback cb = Do([] {}, &destroyed);
    EXPECT_FALSE(pool.PostTask(cb));
    EXPECT_EQ(cb.GetAction()->count, 1);
    cb.Clear();
    EXPECT_EQ(destroyed.load(), 1);
}

TEST(ThreadPool, RunsPostedTasksOnItsWorkers) {
    base::ThreadPool pool;
    pool.SetThreadCount(3);
    RunLog log;
    for (int i = 0; i < 30; ++i) ASSERT_TRUE(pool.PostTask(log.Task(std::to_string(i))));
    ASSERT_TRUE(WaitUntil([&] { return log.Size() == 30; }));
    for (int i = 0; i < 30; ++i) EXPECT_NE(log.ThreadOf(std::to_string(i)), GetCurrentThreadId());
}

TEST(ThreadPool, ATaskGoesToTheIdleWorkerAndTiesToTheLowerIndex) {
    base::ThreadPool pool;
    pool.SetThreadCount(2);
    Blocker busy;
    ASSERT_TRUE(pool.PostTask(busy.Task()));  // equal loads: worker 0
    ASSERT_TRUE(busy.WaitStarted());
    RunLog log;
    ASSERT_TRUE(pool.PostTask(log.Task("next")));  // worker 0 is busy: worker 1
    ASSERT_TRUE(WaitUntil([&] { return log.Size() == 1; }));
    EXPECT_NE(log.ThreadOf("next"), busy.Thread());
    EXPECT_EQ(pool.GetQueueLengths(), (std::vector<int>{0, 0}));
    busy.Open();
}

TEST(ThreadPool, AnUrgentTaskRunsBeforeQueuedOnesAfterTheRunningOne) {
    base::ThreadPool pool;
    pool.SetThreadCount(1);
    Blocker running;
    RunLog log;
    ASSERT_TRUE(pool.PostTask(running.Task()));
    ASSERT_TRUE(running.WaitStarted());
    pool.PostTask(log.Task("a"));
    pool.PostTask(log.Task("b"));
    pool.PostTask(log.Task("urgent"), true);
    EXPECT_EQ(pool.GetQueueLengths(), std::vector<int>{3});
    running.Open();
    ASSERT_TRUE(WaitUntil([&] { return log.Size() == 3; }));
    EXPECT_EQ(log.Names(), (std::vector<std::string>{"urgent", "a", "b"}));
}

TEST(ThreadPool, AnIdleWorkerTakesTheFirstThirdAndFifthOfTheLongestQueue) {
    base::ThreadPool pool;
    pool.SetThreadCount(1);
    Blocker first_worker, last_stolen;
    RunLog log;
    ASSERT_TRUE(pool.PostTask(first_worker.Task()));
    ASSERT_TRUE(first_worker.WaitStarted());
    for (int i = 1; i <= 4; ++i) pool.PostTask(log.Task("t" + std::to_string(i)));
    pool.PostTask(Do([&] {
        log.Task("t5")();
        last_stolen.Task()();
    }));
    EXPECT_EQ(pool.GetQueueLengths(), std::vector<int>{5});
    pool.SetThreadCount(2);  // the new worker has nothing and steals
    ASSERT_TRUE(last_stolen.WaitStarted());
    DWORD thief = last_stolen.Thread();
    EXPECT_EQ(log.NamesOn(thief), (std::vector<std::string>{"t1", "t3", "t5"}));
    EXPECT_EQ(pool.GetQueueLengths(), (std::vector<int>{2, 0}));
    first_worker.Open();
    ASSERT_TRUE(WaitUntil([&] { return log.Size() == 5; }));
    EXPECT_EQ(log.NamesOn(first_worker.Thread()), (std::vector<std::string>{"t2", "t4"}));
    last_stolen.Open();
}

TEST(ThreadPool, SettingTheSameCountChangesNothing) {
    int before = Gui::Thread::GetCount();
    base::ThreadPool pool;
    pool.SetThreadCount(3);
    ASSERT_TRUE(WaitUntil([&] { return Gui::Thread::GetCount() == before + 3; }));
    pool.SetThreadCount(3);
    pool.SetThreadCount(-1);
    Sleep(20);
    EXPECT_EQ(Gui::Thread::GetCount(), before + 3);
    EXPECT_EQ(pool.GetQueueLengths().size(), 3u);
}

TEST(ThreadPool, SettingTheCountDuringAStopChangesNothing) {
    int before = Gui::Thread::GetCount();
    base::ThreadPool pool;
    pool.SetThreadCount(1);
    pool.SetStopTimeout(3000);
    Blocker busy;
    ASSERT_TRUE(pool.PostTask(busy.Task()));
    ASSERT_TRUE(busy.WaitStarted());
    std::thread stopper([&] { pool.Stop(); });
    // Posting fails from the moment the stop has begun; the busy worker holds it there.
    ASSERT_TRUE(WaitUntil([&] { return !pool.PostTask(Do([] {})); }));
    pool.SetThreadCount(2);
    EXPECT_EQ(pool.GetQueueLengths().size(), 1u);
    EXPECT_EQ(Gui::Thread::GetCount(), before + 1);
    busy.Open();
    stopper.join();
    EXPECT_FALSE(pool.PostTask(Do([] {})));
    EXPECT_TRUE(WaitUntil([&] { return Gui::Thread::GetCount() == before; }));
}

TEST(ThreadPool, ShrinkingLetsTheLeavingWorkersFinishTheirQueues) {
    int before = Gui::Thread::GetCount();
    base::ThreadPool pool;
    pool.SetThreadCount(4);
    std::vector<std::unique_ptr<Blocker>> busy;
    for (int i = 0; i < 4; ++i) {
        busy.push_back(std::make_unique<Blocker>());
        ASSERT_TRUE(pool.PostTask(busy.back()->Task()));
        ASSERT_TRUE(busy.back()->WaitStarted());
    }
    RunLog log;
    for (int i = 0; i < 8; ++i) pool.PostTask(log.Task(std::to_string(i)));
    EXPECT_EQ(pool.GetQueueLengths(), (std::vector<int>{2, 2, 2, 2}));
    pool.SetThreadCount(2);
    for (auto& b : busy) b->Open();
    ASSERT_TRUE(WaitUntil([&] { return log.Size() == 8; }));
    ASSERT_TRUE(WaitUntil([&] { return Gui::Thread::GetCount() == before + 2; }));
    EXPECT_EQ(pool.GetQueueLengths(), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_TRUE(pool.PostTask(log.Task("after")));
    ASSERT_TRUE(WaitUntil([&] { return log.Size() == 9; }));
}

TEST(ThreadPool, StopWithWorkersThatLeaveAtOnceTakesAboutAPause) {
    int before = Gui::Thread::GetCount();
    base::ThreadPool pool;
    pool.SetThreadCount(3);
    ASSERT_TRUE(WaitUntil([&] { return Gui::Thread::GetCount() == before + 3; }));
    auto start = Clock::now();
    pool.Stop();
    double took = MsSince(start);
    EXPECT_GE(took, 95);
    EXPECT_LT(took, 1500);  // far below the 2000 ms a wait for the time-out would take
    EXPECT_FALSE(pool.PostTask(Do([] {})));
    ASSERT_TRUE(WaitUntil([&] { return Gui::Thread::GetCount() == before; }));
}

TEST(ThreadPool, StopTerminatesAWorkerStuckPastTheTimeOut) {
    base::ThreadPool pool;
    pool.SetThreadCount(1);
    pool.SetStopTimeout(200);
    std::atomic<bool> started{false};
    pool.PostTask(Do([&] {
        started = true;
        for (;;) Sleep(10);
    }));
    ASSERT_TRUE(WaitUntil([&] { return started.load(); }));
    auto start = Clock::now();
    pool.Stop();
    double took = MsSince(start);
    EXPECT_GE(took, 290);
    EXPECT_LT(took, 1500);
    EXPECT_FALSE(pool.PostTask(Do([] {})));
}

TEST(ThreadPool, AfterATerminatingStopTheGrownPoolRunsTasksAndStopsAtOnce) {
    int before = Gui::Thread::GetCount();
    Gui::Semaphore started;
    {
        base::ThreadPool pool;
        pool.SetThreadCount(1);
        pool.SetStopTimeout(50);
        pool.PostTask(Do([&] {
            started.Release();
            for (;;) Sleep(10);
        }));
        started.Wait();
        pool.Stop();
        pool.SetStopTimeout(INFINITE);  // a stop still counting the dead worker hangs
        pool.SetThreadCount(1);
        std::atomic<bool> ran{false};
        ASSERT_TRUE(pool.PostTask(Do([&] { ran = true; })));
        EXPECT_TRUE(WaitUntil([&] { return ran.load(); }));
    }
    EXPECT_TRUE(WaitUntil([&] { return Gui::Thread::GetCount() == before; }));
}

TEST(ThreadPool, ATerminatedWorkerThatComesBackFromItsTaskLeavesTheGonePoolAlone) {
    // The pool lives in storage that is wiped once it is gone: a worker that went on
    // using it would crash or write into it.
    alignas(base::ThreadPool) unsigned char storage[sizeof(base::ThreadPool)];
    auto* pool = new (storage) base::ThreadPool;
    pool->SetThreadCount(1);
    pool->SetStopTimeout(50);
    std::atomic<bool> started{false}, go{false}, returned{false};
    pool->PostTask(Do([&] {
        started = true;
        while (!go.load()) {
        }  // no wait in which the termination could stop it
        returned = true;
    }));
    ASSERT_TRUE(WaitUntil([&] { return started.load(); }));
    pool->~ThreadPool();  // stops, terminating the busy worker
    memset(storage, 0, sizeof(storage));
    go = true;
    ASSERT_TRUE(WaitUntil([&] { return returned.load(); }));
    Sleep(100);
    for (unsigned char b : storage) ASSERT_EQ(b, 0);
}

TEST(ThreadPool, APausedWorkerFinishesItsQueueThenWaitsAtTheGate) {
    base::ThreadPool pool;
    pool.SetThreadCount(1);
    pid_t worker = 0;
    WaitForIdleWorker(pool, &worker);  // asleep past the gate
    pool.Pause();
    RunLog log;
    pool.PostTask(log.Task("past the gate"));
    ASSERT_TRUE(WaitUntil([&] { return log.Size() == 1; }));
    // Still in its pass, the worker would take a task posted now: wait until it
    // sleeps at the gate.
    ASSERT_TRUE(WaitUntil([&] { return IsAsleep(worker); }));
    pool.PostTask(log.Task("held"));
    Sleep(100);
    EXPECT_EQ(log.Size(), 1u);
    EXPECT_EQ(pool.GetQueueLengths(), std::vector<int>{1});
    pool.Resume();
    ASSERT_TRUE(WaitUntil([&] { return log.Size() == 2; }));
    EXPECT_EQ(log.Names(), (std::vector<std::string>{"past the gate", "held"}));
}

TEST(ThreadPool, StopCannotWakeWorkersAtAClosedGateAndTerminatesThem) {
    base::ThreadPool pool;
    pool.SetThreadCount(1);
    pool.SetStopTimeout(150);
    WaitForIdleWorker(pool);
    pool.Pause();
    std::atomic<pid_t> tid{0};
    pool.PostTask(Do([&tid] { tid = static_cast<pid_t>(syscall(SYS_gettid)); }));
    ASSERT_TRUE(WaitUntil([&] { return tid.load() != 0; }));
    ASSERT_TRUE(WaitUntil([&] { return IsAsleep(tid.load()); }));  // back at the gate
    auto start = Clock::now();
    pool.Stop();
    EXPECT_GE(MsSince(start), 240);
    EXPECT_FALSE(pool.PostTask(Do([] {})));
}

TEST(ThreadPool, CancelAndRequeueMatchTagsAndIgnoreTagZero) {
    base::ThreadPool pool;
    pool.SetThreadCount(1);
    Blocker running;
    RunLog log;
    pool.PostTask(running.Task());
    ASSERT_TRUE(running.WaitStarted());
    pool.PostTask(log.Task("a"), false, 1);
    pool.PostTask(log.Task("b"), false, 2);
    pool.PostTask(log.Task("c"), false, 3);
    pool.PostTask(log.Task("d"), false, 0);
    pool.PostTask(log.Task("e"), false, 2);
    pool.CancelTask(0);
    pool.RequeueTask(0, true);
    EXPECT_EQ(pool.GetQueueLengths(), std::vector<int>{5});
    pool.CancelTask(2);  // b and e
    EXPECT_EQ(pool.GetQueueLengths(), std::vector<int>{3});
    pool.RequeueTask(3, true);   // c first
    pool.RequeueTask(1, false);  // a last
    running.Open();
    ASSERT_TRUE(WaitUntil([&] { return log.Size() == 3; }));
    Sleep(20);
    EXPECT_EQ(log.Names(), (std::vector<std::string>{"c", "d", "a"}));
}

TEST(ThreadPool, RequeueingSeveralTagsAtTheFrontPutsTheLastTakenFirst) {
    base::ThreadPool pool;
    pool.SetThreadCount(1);
    Blocker running;
    RunLog log;
    pool.PostTask(running.Task());
    ASSERT_TRUE(running.WaitStarted());
    for (DWORD tag = 1; tag <= 4; ++tag) pool.PostTask(log.Task(std::to_string(tag)), false, tag);
    pool.RequeueTasks({2, 4}, true);
    pool.CancelTasks({1, 9});
    running.Open();
    ASSERT_TRUE(WaitUntil([&] { return log.Size() == 3; }));
    EXPECT_EQ(log.Names(), (std::vector<std::string>{"4", "2", "3"}));
}

TEST(ThreadPool, ClearTasksDropsEveryQueuedTask) {
    base::ThreadPool pool;
    pool.SetThreadCount(1);
    Blocker running;
    std::atomic<int> destroyed{0};
    std::atomic<int> ran{0};
    pool.PostTask(running.Task());
    ASSERT_TRUE(running.WaitStarted());
    for (int i = 0; i < 4; ++i) pool.PostTask(Do([&] { ++ran; }, &destroyed));
    pool.ClearTasks();
    EXPECT_EQ(pool.GetQueueLengths(), std::vector<int>{0});
    EXPECT_EQ(destroyed.load(), 4);
    running.Open();
    Sleep(50);
    EXPECT_EQ(ran.load(), 0);
}

TEST(ThreadPool, CallbacksBoundToADestroyedPoolDoNothing) {
    auto* pool = new base::ThreadPool;
    Gui::Callback grow = Gui::MakePteCallback(pool, &base::ThreadPool::SetThreadCount, 2);
    delete pool;
    EXPECT_FALSE(grow);
    grow();  // nothing to touch
}

// A pool whose tasks run through its own RunTask.
class TaggingPool : public base::ThreadPool {
public:
    std::atomic<DWORD> last_tag{0};

protected:
    void RunTask(Task& task, TheThread& worker) override {
        last_tag = task.tag + 1000 * worker.index;
        ThreadPool::RunTask(task, worker);
    }
};

TEST(ThreadPool, RunTaskCanBeReplacedByADerivedPool) {
    TaggingPool pool;
    pool.SetThreadCount(1);
    std::atomic<bool> ran{false};
    pool.PostTask(Do([&] { ran = true; }), false, 77);
    ASSERT_TRUE(WaitUntil([&] { return ran.load(); }));
    EXPECT_EQ(pool.last_tag.load(), 77u);
}

TEST(ThreadPool, AWorkerThatFailsToStartIsNotCounted) {
    int before = Gui::Thread::GetCount();
    auto pool = std::make_unique<base::ThreadPool>();
    {
        testing_support::ThreadStartLimit limit;
        ASSERT_TRUE(limit.ok());
        pool->SetThreadCount(2);
    }
    EXPECT_EQ(Gui::Thread::GetCount(), before);
    EXPECT_FALSE(pool->PostTask(Do([] {})));
    auto start = Clock::now();
    pool.reset();  // nothing to wait for
    EXPECT_LT(MsSince(start), 500);
    // Growing again once threads can start works.
    base::ThreadPool second;
    second.SetThreadCount(2);
    std::atomic<bool> ran{false};
    EXPECT_TRUE(second.PostTask(Do([&] { ran = true; })));
    EXPECT_TRUE(WaitUntil([&] { return ran.load(); }));
}

}  // namespace
