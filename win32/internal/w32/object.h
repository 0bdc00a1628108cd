// Kernel objects behind HANDLE values, and the one wait engine all of them share.
//
// Every waitable object keeps its state under wait_mutex(), or under a lock of its
// own that the engine takes through lock_state(); whoever changes such a state
// calls notify_waiters() afterwards (without holding a private lock that a
// waiter's predicate takes). Handles are small multiples of 4, as on Windows.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace w32 {

enum class Kind {
    File,
    FindFile,
    Event,
    Semaphore,
    Mutex,
    Thread,
    Process,
    Snapshot,
    Token,
    Queue,
    Other,
};

class Object {
public:
    virtual ~Object() = default;
    virtual Kind kind() const = 0;

    // The three wait hooks run with wait_mutex() held.
    virtual bool waitable() const { return false; }
    virtual bool signaled(DWORD tid) const {
        (void)tid;
        return false;
    }
    // Takes what a satisfied wait takes (an auto-reset event's signal, a semaphore
    // count, a mutex's ownership). Answers WAIT_ABANDONED_0 for an abandoned mutex.
    virtual DWORD acquire(DWORD tid) {
        (void)tid;
        return WAIT_OBJECT_0;
    }
    // State that changes outside this process (a child's exit, a lock file) is
    // polled this often, in milliseconds, while somebody waits; -1: never.
    virtual int poll_ms() const { return -1; }
    // Runs with wait_mutex() held when a wait blocks or leaves without taking the
    // object, to give back what signaled() had to take to answer (a lock shared
    // with other processes).
    virtual void probe_done() {}

    // Runs when the last handle to the object is closed (the object itself may
    // live on while the layer still holds it).
    virtual void last_handle_closed() {}

    // For objects that keep their state under a lock of their own: the engine holds
    // it (with wait_mutex()) from signaled() to acquire(). Never held together with
    // another object's, except by the engine.
    virtual void lock_state() {}
    virtual void unlock_state() {}
    // A wait for this object alone that does without the engine: false when the
    // object has no such wait, else true with the wait's result.
    virtual bool wait_alone(DWORD timeout_ms, DWORD* result) {
        (void)timeout_ms;
        (void)result;
        return false;
    }

    std::atomic<int> handle_count{0};
    // Threads in the engine waiting on this object: who changes its state under
    // its own lock notifies the engine only while there are some.
    std::atomic<int> engine_waiters{0};
};

using ObjectPtr = std::shared_ptr<Object>;

// A new handle for obj; null (ERROR_NOT_ENOUGH_MEMORY) when the table is full.
HANDLE new_handle(ObjectPtr obj);
// The object behind h, or null with ERROR_INVALID_HANDLE. Resolves the pseudo
// handles through the resolvers registered for them.
ObjectPtr get_object(HANDLE h);
template <class T>
std::shared_ptr<T> get_as(HANDLE h) {
    auto obj = std::dynamic_pointer_cast<T>(get_object(h));
    if (!obj) SetLastError(ERROR_INVALID_HANDLE);
    return obj;
}
bool close_handle(HANDLE h);

// GetCurrentProcess() and GetCurrentThread() answer pseudo handles; the area that
// owns those objects registers how to find them.
void register_pseudo_handle(HANDLE h, std::function<ObjectPtr()> resolve);

std::mutex& wait_mutex();
// Wakes every waiting thread (for changes a wait's extra condition may see).
void notify_waiters();
// Wakes the threads waiting on changed, and those with an extra condition.
void notify_waiters(const Object* changed);

// Waits for one (all == false) or every object. extra, when given, is one more
// condition (index objs.size()) checked with wait_mutex() held, for message queues.
// Answers WAIT_OBJECT_0 + i, WAIT_ABANDONED_0 + i, WAIT_TIMEOUT or WAIT_FAILED.
DWORD wait(const std::vector<ObjectPtr>& objs, bool all, DWORD timeout_ms,
           const std::function<bool()>& extra = {});

// Called by the wait engine before each block; the thread area makes it end a
// thread that TerminateThread marked.
void set_cancel_point_hook(void (*hook)());
void cancel_point();

// A thread about to sleep on a futex word outside the engine names it here (null
// once awake), so that TerminateThread can change the word and wake it.
void note_sleeping_on(std::atomic<uint32_t>* word);
// True when TerminateThread marked the calling thread: its next cancel point ends it.
bool cancel_pending();

}  // namespace w32
