// The pool and the way back to the user-interface thread: a task's round trip
// from a post to its result's callback on the UI thread, the throughput of that
// path and of the pool alone, and what an idle message loop costs in CPU. Also one
// task's round trip through the pool against two std::threads and one queue:
//   thread_pool_bench --benchmark_filter='(Task|StdQueue)RoundTrip' --benchmark_repetitions=10
#include <benchmark/benchmark.h>

#include <windows.h>

#include <time.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "base/thread_pool.h"
#include "gui/ctrl.h"
#include "gui/timer.h"
#include "testing/lambda_callback.h"

namespace {

using testing_support::Do;

void StartToolkitOnce() {
    static bool started = [] {
        Gui::Ctrl::InitWin32(GetModuleHandleW(nullptr));
        return true;
    }();
    (void)started;
}

template <class Done>
void PumpUntil(Done done) {
    MSG msg;
    while (!done()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
}

struct Receiver : Gui::Pte<Receiver> {
    int got = 0;
    void Take(int) { ++got; }
};

double CpuMs() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// Post, run on a worker, come back as a posted callback: bounded below by the
// timer window's 10 ms passes.
void BM_RoundTripToUiThread(benchmark::State& state) {
    StartToolkitOnce();
    base::ThreadPool pool;
    pool.SetThreadCount(2);
    Receiver r;
    for (auto _ : state) {
        int before = r.got;
        pool.PostTask(
            Do([&r] { Gui::PostCallback(Gui::MakePteCallback(&r, &Receiver::Take, 1)); }));
        PumpUntil([&] { return r.got != before; });
    }
}
BENCHMARK(BM_RoundTripToUiThread)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(50);

// Many results in flight: each pass of the timer window delivers all that are due.
void BM_RoundTripThroughput(benchmark::State& state) {
    StartToolkitOnce();
    base::ThreadPool pool;
    pool.SetThreadCount(4);
    Receiver r;
    const int batch = static_cast<int>(state.range(0));
    for (auto _ : state) {
        int target = r.got + batch;
        for (int i = 0; i < batch; ++i) {
            pool.PostTask(
                Do([&r, i] { Gui::PostCallback(Gui::MakePteCallback(&r, &Receiver::Take, i)); }));
        }
        PumpUntil([&] { return r.got == target; });
    }
    state.SetItemsProcessed(state.iterations() * batch);
}
BENCHMARK(BM_RoundTripThroughput)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

// One task at a time through a pool of 2 workers: post, run, signal an event the
// poster waits on. The same round trip through two std::threads sharing one queue
// (mutex and condition variable, the answer by another) is the yardstick.
void BM_TaskRoundTrip(benchmark::State& state) {
    base::ThreadPool pool;
    pool.SetThreadCount(2);
    HANDLE done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    for (auto _ : state) {
        pool.PostTask(Do([done] { SetEvent(done); }));
        WaitForSingleObject(done, INFINITE);
    }
    CloseHandle(done);
}
BENCHMARK(BM_TaskRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

class StdQueue {
public:
    explicit StdQueue(int threads) {
        for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { Work(); });
    }
    ~StdQueue() {
        {
            std::lock_guard<std::mutex> lock(mu_);
            stop_ = true;
        }
        cv_.notify_all();
        for (auto& t : threads_) t.join();
    }
    void Post(std::function<void()> task) {
        {
            std::lock_guard<std::mutex> lock(mu_);
            tasks_.push_back(std::move(task));
        }
        cv_.notify_one();
    }

private:
    void Work() {
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock<std::mutex> lock(mu_);
                cv_.wait(lock, [this] { return stop_ || !tasks_.empty(); });
                if (tasks_.empty()) return;
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
        }
    }
    std::mutex mu_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> tasks_;
    bool stop_ = false;
    std::vector<std::thread> threads_;
};

void BM_StdQueueRoundTrip(benchmark::State& state) {
    StdQueue queue(2);
    std::mutex mu;
    std::condition_variable cv;
    bool signalled = false;
    for (auto _ : state) {
        queue.Post([&] {
            {
                std::lock_guard<std::mutex> lock(mu);
                signalled = true;
            }
            cv.notify_one();
        });
        std::unique_lock<std::mutex> lock(mu);
        cv.wait(lock, [&] { return signalled; });
        signalled = false;
    }
}
BENCHMARK(BM_StdQueueRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The pool alone: tasks that only count.
void BM_PoolThroughput(benchmark::State& state) {
    base::ThreadPool pool;
    pool.SetThreadCount(static_cast<int>(state.range(0)));
    std::atomic<int> done{0};
    const int batch = 20000;
    for (auto _ : state) {
        done = 0;
        for (int i = 0; i < batch; ++i) pool.PostTask(Do([&done] { ++done; }));
        while (done.load() != batch) Sleep(0);
    }
    state.SetItemsProcessed(state.iterations() * batch);
}
BENCHMARK(BM_PoolThroughput)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();

// A loop with one repeating 100 ms time callback and nothing else to do.
void BM_IdleLoopCpu(benchmark::State& state) {
    StartToolkitOnce();
    int runs = 0;
    Gui::SetTimeCallback(-100, Do([&runs] { ++runs; }), &runs);
    double cpu = 0;
    for (auto _ : state) {
        double before = CpuMs();
        int target = runs + 10;
        PumpUntil([&] { return runs >= target; });
        cpu += CpuMs() - before;
    }
    Gui::KillTimeCallback(&runs);
    state.counters["cpu_ms_per_s"] = benchmark::Counter(cpu, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_IdleLoopCpu)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
