#include "base/thread_pool.h"

#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

#include "gui/core/semaphore.h"
#include "testing/lambda_callback.h"
#include "testing/thread_start_limit.h"
#include "testing/wait_until.h"

namespace {

using testing_support::Do;
using testing_support::WaitUntil;
using Names = std::vector<std::string>;
using Lengths = std::vector<int>;

// What ran, in order, and on which thread.
class RunLog {
public:
    Gui::Callback Task(const std::string& name) {
        return Do([this, name] {
            std::lock_guard lock(mu_);
            entries_.push_back({name, GetCurrentThreadId()});
        });
    }
    Names NamesOn(DWORD tid = 0) {
        std::lock_guard lock(mu_);
        Names out;
        for (auto& [name, on] : entries_)
            if (!tid || on == tid) out.push_back(name);
        return out;
    }
    bool WaitFor(size_t n) {
        return WaitUntil([&] { return NamesOn().size() == n; });
    }

private:
    std::mutex mu_;
    std::vector<std::pair<std::string, DWORD>> entries_;
};

// A task that holds its worker until opened; it says when it has started.
struct Blocker {
    ~Blocker() { open = true; }
    Gui::Callback Task() {
        return Do([this] {
            tid = GetCurrentThreadId();
            started = true;
            while (!open) Sleep(1);
        });
    }
    bool WaitStarted() {
        return WaitUntil([this] { return started.load(); });
    }
    bool StartOn(base::ThreadPool& pool) { return pool.PostTask(Task()) && WaitStarted(); }
    std::atomic<bool> started{false}, open{false};
    std::atomic<DWORD> tid{0};
};

// The kernel's view of a thread: asleep in a wait, not running or runnable.
bool IsAsleep(pid_t tid) {
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const size_t end = line.rfind(')');
    return end != std::string::npos && end + 2 < line.size() && line[end + 2] == 'S';
}

// Runs one task on the pool's only worker and waits until the worker sleeps again.
pid_t WaitForIdleWorker(base::ThreadPool& pool) {
    std::atomic<pid_t> tid{0};
    pool.PostTask(Do([&tid] { tid = static_cast<pid_t>(syscall(SYS_gettid)); }));
    return WaitUntil([&] { return tid.load() != 0 && IsAsleep(tid.load()); }) ? tid.load() : 0;
}

bool RunsATask(base::ThreadPool& pool) {
    std::atomic<bool> ran{false};
    return pool.PostTask(Do([&] { ran = true; })) && WaitUntil([&] { return ran.load(); });
}

bool CountReturnsTo(int count) {
    return WaitUntil([&] { return Gui::Thread::GetCount() == count; });
}

TEST(ThreadPool, RunsTasksOnItsWorkersOnlyWhileItHasSome) {
    const int before = Gui::Thread::GetCount();
    std::atomic<int> destroyed{0};
    {
        base::ThreadPool pool;
        Gui::Callback cb = Do([] {}, &destroyed);
        EXPECT_FALSE(pool.PostTask(cb));  // no workers: the caller keeps the only reference
        EXPECT_EQ(cb.GetAction()->count, 1);
        for (int n : {3, 3, -1}) pool.SetThreadCount(n);
        EXPECT_EQ(Gui::Thread::GetCount(), before + 3);
        RunLog log;
        for (int i = 0; i < 30; ++i) ASSERT_TRUE(pool.PostTask(log.Task(std::to_string(i))));
        ASSERT_TRUE(log.WaitFor(30));
        EXPECT_TRUE(log.NamesOn(GetCurrentThreadId()).empty());
        EXPECT_EQ(pool.GetQueueLengths().size(), 3u);
    }
    EXPECT_EQ(destroyed.load(), 1);
    EXPECT_TRUE(CountReturnsTo(before));
}

TEST(ThreadPool, ATaskGoesToTheIdleWorkerAndTiesToTheLowerIndex) {
    base::ThreadPool pool;
    pool.SetThreadCount(2);
    Blocker busy;
    ASSERT_TRUE(busy.StartOn(pool));  // equal loads: worker 0
    RunLog log;
    ASSERT_TRUE(pool.PostTask(log.Task("next")));  // worker 0 is busy: worker 1
    ASSERT_TRUE(log.WaitFor(1));
    EXPECT_EQ(log.NamesOn(busy.tid), Names{});
    EXPECT_EQ(pool.GetQueueLengths(), (Lengths{0, 0}));
}

TEST(ThreadPool, AnIdleWorkerTakesTheFirstThirdAndFifthOfTheLongestQueue) {
    base::ThreadPool pool;
    pool.SetThreadCount(1);
    Blocker first_worker, last_stolen;
    RunLog log;
    ASSERT_TRUE(first_worker.StartOn(pool));
    for (int i = 1; i <= 4; ++i) pool.PostTask(log.Task("t" + std::to_string(i)));
    pool.PostTask(Do([&] {
        log.Task("t5")();
        last_stolen.Task()();
    }));
    pool.SetThreadCount(2);  // the new worker has nothing and steals
    ASSERT_TRUE(last_stolen.WaitStarted());
    EXPECT_EQ(log.NamesOn(last_stolen.tid), (Names{"t1", "t3", "t5"}));
    EXPECT_EQ(pool.GetQueueLengths(), (Lengths{2, 0}));
    first_worker.open = true;
    ASSERT_TRUE(log.WaitFor(5));
    EXPECT_EQ(log.NamesOn(first_worker.tid), (Names{"t2", "t4"}));
}

// A pool whose tasks run through its own RunTask, which notes their tags.
struct TaggingPool : base::ThreadPool {
    std::vector<DWORD> tags;  // read once the tasks are done
    void RunTask(Task& task, TheThread& worker) override {
        tags.push_back(task.tag + 1000 * worker.index);
        ThreadPool::RunTask(task, worker);
    }
};

TEST(ThreadPool, QueuedTasksGoToTheFrontOrBackOrAwayByTheirTags) {
    TaggingPool pool;
    pool.SetThreadCount(1);
    Blocker running;
    RunLog log;
    ASSERT_TRUE(running.StartOn(pool));
    for (DWORD tag : {1, 2, 3, 0, 2, 4, 5})
        pool.PostTask(log.Task(std::to_string(tag)), false, tag);
    pool.PostTask(log.Task("urgent"), true);
    pool.CancelTask(0);  // untagged tasks are never matched
    pool.RequeueTask(0, true);
    EXPECT_EQ(pool.GetQueueLengths(), Lengths{8});
    pool.CancelTask(2);  // both of them
    pool.CancelTasks({0, 1, 9});
    pool.RequeueTask(3, false);
    pool.RequeueTasks({4, 5}, true);  // the last taken first
    EXPECT_EQ(pool.GetQueueLengths(), Lengths{5});
    running.open = true;
    ASSERT_TRUE(log.WaitFor(5));
    EXPECT_EQ(log.NamesOn(), (Names{"5", "4", "urgent", "0", "3"}));
    EXPECT_EQ(pool.tags, (std::vector<DWORD>{0, 5, 4, 0, 0, 3}));
}

// Workers leave when the pool shrinks or stops; those still busy at a stop get its
// time-out to finish before they are terminated.
TEST(ThreadPool, LeavingWorkersFinishTheirQueuesAndABusyOneItsTask) {
    const int before = Gui::Thread::GetCount();
    base::ThreadPool pool;
    pool.SetThreadCount(4);
    Blocker busy[4];
    for (auto& b : busy) ASSERT_TRUE(b.StartOn(pool));
    RunLog log;
    for (int i = 0; i < 8; ++i) pool.PostTask(log.Task(std::to_string(i)));
    EXPECT_EQ(pool.GetQueueLengths(), (Lengths{2, 2, 2, 2}));
    pool.SetThreadCount(1);
    for (auto& b : busy) b.open = true;
    ASSERT_TRUE(log.WaitFor(8));
    ASSERT_TRUE(CountReturnsTo(before + 1));

    // This task, running when the stop begins, ends only once the stop has begun and the
    // test let it; the stop waits.
    std::atomic<int> destroyed{0};
    std::atomic<bool> started{false}, go{false}, finished{false};
    pool.SetStopTimeout(60000);
    pool.PostTask(Do(
        [&] {
            started = true;
            while (pool.PostTask(Do([] {}))) Sleep(1);
            while (!go) Sleep(1);
            finished = true;
        },
        &destroyed));
    ASSERT_TRUE(WaitUntil([&] { return started.load(); }));
    std::thread stopper([&] { pool.Stop(); });
    ASSERT_TRUE(WaitUntil([&] { return !pool.PostTask(Do([] {})); }));
    pool.SetThreadCount(2);  // ignored during a stop
    EXPECT_EQ(Gui::Thread::GetCount(), before + 1);
    go = true;
    stopper.join();
    EXPECT_TRUE(finished.load());
    EXPECT_EQ(destroyed.load(), 1);  // its worker left; a terminated one keeps its last task
    EXPECT_TRUE(CountReturnsTo(before) && !pool.PostTask(Do([] {})));
}

// A stop still counting the dead worker, or one the last leaving worker does not wake,
// hangs in the second stop.
TEST(ThreadPool, AfterATerminatingStopTheGrownPoolRunsTasksAndStopsAtOnce) {
    const int before = Gui::Thread::GetCount();
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
        EXPECT_EQ(Gui::Thread::GetCount(), before);
        EXPECT_FALSE(pool.PostTask(Do([] {})));
        pool.SetStopTimeout(INFINITE);
        pool.SetThreadCount(1);
        EXPECT_TRUE(RunsATask(pool));
    }
    EXPECT_TRUE(CountReturnsTo(before));
}

// The pool lives in storage that is wiped once it is gone: a worker that went on using
// it would crash or write into it.
TEST(ThreadPool, ATerminatedWorkerThatComesBackFromItsTaskLeavesTheGonePoolAlone) {
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
    const int before = Gui::Thread::GetCount();
    base::ThreadPool pool;
    pool.SetThreadCount(1);
    pool.SetStopTimeout(50);
    const pid_t worker = WaitForIdleWorker(pool);  // asleep past the gate
    ASSERT_NE(worker, 0);
    pool.Pause();
    RunLog log;
    pool.PostTask(log.Task("past the gate"));
    ASSERT_TRUE(log.WaitFor(1));
    // Still in its pass, the worker would take a task posted now.
    ASSERT_TRUE(WaitUntil([&] { return IsAsleep(worker); }));
    std::atomic<int> destroyed{0};
    pool.PostTask(Do([] {}, &destroyed));
    pool.ClearTasks();
    EXPECT_EQ(destroyed.load(), 1);
    pool.PostTask(log.Task("held"));
    Sleep(100);
    EXPECT_EQ(log.NamesOn().size(), 1u);
    EXPECT_EQ(pool.GetQueueLengths(), Lengths{1});
    pool.Resume();
    ASSERT_TRUE(log.WaitFor(2));
    EXPECT_EQ(log.NamesOn(), (Names{"past the gate", "held"}));
    // A stop cannot wake a worker at the closed gate: it is terminated.
    ASSERT_NE(WaitForIdleWorker(pool), 0);
    pool.Pause();
    ASSERT_TRUE(pool.PostTask(Do([] {})));
    ASSERT_TRUE(WaitUntil([&] { return IsAsleep(worker); }));
    pool.Stop();
    EXPECT_EQ(Gui::Thread::GetCount(), before);
}

// A stop waiting for a worker that never was hangs; growing again once threads can
// start works.
TEST(ThreadPool, AWorkerThatFailsToStartIsNotCounted) {
    const int before = Gui::Thread::GetCount();
    {
        base::ThreadPool pool;
        pool.SetStopTimeout(INFINITE);
        {
            testing_support::ThreadStartLimit limit;
            ASSERT_TRUE(limit.ok());
            pool.SetThreadCount(2);
        }
        EXPECT_EQ(Gui::Thread::GetCount(), before);
        EXPECT_FALSE(pool.PostTask(Do([] {})));
        pool.SetThreadCount(2);
        EXPECT_TRUE(RunsATask(pool));
    }
    EXPECT_TRUE(CountReturnsTo(before));
}

}  // namespace
