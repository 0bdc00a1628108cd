// Events and semaphores: objects whose state sits under a lock of their own, so
// that a thread waiting for one of them alone takes it, watches it a moment, or
// sleeps on a futex word, without the wait engine's lock or its list of waiters.
// The engine still waits for them among other objects (lock_state() guards its
// test and its taking).
#pragma once

#include <w32/object.h>

#include <mutex>

namespace w32 {

class FastWaitable : public Object {
public:
    bool waitable() const override { return true; }
    void lock_state() override { state_lock_.lock(); }
    void unlock_state() override { state_lock_.unlock(); }
    bool wait_alone(DWORD timeout_ms, DWORD* result) override;

protected:
    // Runs a change of the state under its lock, then wakes whoever may now take
    // the object: the futex sleepers, and the engine's waiters when there are any.
    template <class Change>
    auto change_state(Change change) {
        std::unique_lock lock(state_lock_);
        auto answer = change();
        seq_.fetch_add(1);
        lock.unlock();
        wake();
        return answer;
    }

private:
    // Takes what a satisfied wait takes; false when the object is not signalled.
    bool try_take();
    // Watches the state for a moment, from the change count seen, and takes the
    // object if it comes signalled.
    bool watch_and_take(uint32_t seen);
    void wake();

    std::mutex state_lock_;
    std::atomic<uint32_t> seq_{0};      // the futex word: changes with every change of state
    std::atomic<int> sleepers_{0};      // threads on their way into, or asleep on, seq_
    std::atomic<int> changer_cpu_{-1};  // the processor of the last change of state
};

}  // namespace w32
