// The kernel object behind a thread handle, and what a thread owns that must be
// given up when it ends (its mutexes).
#pragma once

#include <w32/object.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace w32 {

// A lock a thread can own: abandoned when its owner thread ends without releasing it.
class Ownable {
public:
    virtual ~Ownable() = default;
    // With wait_mutex() held; tid is the ending owner.
    virtual void abandon(DWORD tid) = 0;
};

class ThreadObject : public Object {
public:
    Kind kind() const override { return Kind::Thread; }
    bool waitable() const override { return true; }
    bool signaled(DWORD) const override { return ended; }

    // Marks the thread ended with code and abandons what it still owns; with
    // wait_mutex() held, the caller notifies the waiters afterwards. Once only.
    void finish(DWORD code);

    // Guarded by wait_mutex().
    DWORD tid = 0;
    bool ended = false;
    DWORD exit_code = STILL_ACTIVE;
    DWORD suspend_count = 0;
    int priority = 0;
    std::vector<std::weak_ptr<Ownable>> owned;

    // The code the thread's function answered (or ExitThread gave); the thread's
    // own end makes it the exit code.
    DWORD pending_code = 0;
    std::atomic<bool> terminate_requested{false};
    // False while a new thread has not yet entered its function; TerminateThread
    // then lets it leave instead of parking it.
    std::atomic<bool> running{true};
    // The futex word the thread sleeps on outside the wait engine, if any; a
    // termination changes it and wakes the thread (note_sleeping_on).
    std::mutex sleep_lock;
    std::atomic<uint32_t>* sleeping_on = nullptr;
};

// The calling thread's object, made on first use for threads the layer did not start.
std::shared_ptr<ThreadObject> current_thread();

}  // namespace w32
