#include "fast_waitable.h"

#include "cpu_relax.h"

#include <linux/futex.h>
#include <sched.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <climits>

namespace w32 {
namespace {

void futex_wait(std::atomic<uint32_t>* word, uint32_t expected, const timespec* relative) {
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(word), FUTEX_WAIT_PRIVATE, expected, relative,
            nullptr, 0);
}

// How long a waiter watches the object, awake, before it sleeps: a few times what a
// quick answer from another thread takes, well under what waking a sleeper costs.
// Watching is no use with one processor: the answer cannot come meanwhile.
std::chrono::nanoseconds watch_time() {
    static const std::chrono::nanoseconds watch = [] {
        cpu_set_t cpus;
        bool several = sched_getaffinity(0, sizeof(cpus), &cpus) == 0
                           ? CPU_COUNT(&cpus) > 1
                           : sysconf(_SC_NPROCESSORS_ONLN) > 1;
        return several ? std::chrono::microseconds(5) : std::chrono::microseconds(0);
    }();
    return watch;
}

}  // namespace

bool FastWaitable::watch_and_take(uint32_t seen) {
    const auto watch = watch_time();
    if (watch.count() == 0) return false;
    // The thread that changed the state last ran on this processor: it is likely to
    // answer from here again, which it cannot do while this thread watches.
    const int cpu = sched_getcpu();
    if (cpu >= 0 && changer_cpu_.load(std::memory_order_relaxed) == cpu) return false;
    const auto deadline = std::chrono::steady_clock::now() + watch;
    for (unsigned i = 1;; ++i) {
        const uint32_t now = seq_.load(std::memory_order_relaxed);
        if (now != seen) {
            seen = now;
            if (try_take()) return true;
        }
        cpu_relax();
        if (i % 32 == 0 && std::chrono::steady_clock::now() >= deadline) return false;
    }
}

bool FastWaitable::try_take() {
    std::lock_guard lock(state_lock_);
    if (!signaled(0)) return false;
    acquire(0);
    return true;
}

void FastWaitable::wake() {
    changer_cpu_.store(sched_getcpu(), std::memory_order_relaxed);
    if (sleepers_.load() > 0)
        syscall(SYS_futex, reinterpret_cast<uint32_t*>(&seq_), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr,
                nullptr, 0);
    if (engine_waiters.load() > 0) notify_waiters(this);
}

bool FastWaitable::wait_alone(DWORD timeout_ms, DWORD* result) {
    cancel_point();
    *result = WAIT_OBJECT_0;
    const uint32_t before = seq_.load();  // so the watch misses no change after the test
    if (try_take()) return true;
    *result = WAIT_TIMEOUT;
    if (timeout_ms == 0) return true;
    if (watch_and_take(before)) {
        *result = WAIT_OBJECT_0;
        return true;
    }
    using clock = std::chrono::steady_clock;
    const bool forever = timeout_ms == INFINITE;
    const auto deadline = clock::now() + std::chrono::milliseconds(forever ? 0 : timeout_ms);
    for (;;) {
        // Counted before the word is read, so a change after the read wakes this
        // thread; a termination after the read changes the word too.
        note_sleeping_on(&seq_);
        sleepers_.fetch_add(1);
        const uint32_t seen = seq_.load();
        bool taken = false;
        if (!cancel_pending() && !(taken = try_take())) {
            timespec left{};
            const timespec* limit = nullptr;
            if (!forever) {
                const auto rest = deadline - clock::now();
                const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(rest).count();
                left.tv_sec = ns > 0 ? ns / 1000000000 : 0;
                left.tv_nsec = ns > 0 ? ns % 1000000000 : 0;
                limit = &left;
            }
            if (forever || left.tv_sec > 0 || left.tv_nsec > 0) futex_wait(&seq_, seen, limit);
        }
        sleepers_.fetch_sub(1);
        note_sleeping_on(nullptr);
        if (taken) {
            *result = WAIT_OBJECT_0;
            return true;
        }
        cancel_point();
        if (try_take()) {
            *result = WAIT_OBJECT_0;
            return true;
        }
        if (!forever && clock::now() >= deadline) {
            *result = WAIT_TIMEOUT;
            return true;
        }
    }
}

}  // namespace w32
