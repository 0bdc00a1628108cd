// Threads on pthreads. A thread's handle is signalled when the thread ends; the
// end is seen by a thread_local whose destructor runs on every way out of a
// thread (return, ExitThread, the end of a thread the layer did not start).
#include "thread_object.h"

#include <w32/error.h>

#include <limits.h>
#include <linux/futex.h>
#include <pthread.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>

namespace w32 {
namespace {

const HANDLE kCurrentThread = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2));

// Ends the calling thread's thread object when the thread goes away.
struct SelfHolder {
    std::shared_ptr<ThreadObject> obj;
    ~SelfHolder() {
        if (!obj) return;
        {
            std::lock_guard lock(wait_mutex());
            obj->finish(obj->pending_code);
        }
        notify_waiters();  // mutexes it owned are abandoned: their waiters must look too
    }
};

thread_local SelfHolder t_self;
// Read by the cancel point on every wait; trivially destructible, so a thread that
// only waits never registers t_self's destructor.
thread_local ThreadObject* t_self_raw = nullptr;

void set_self(std::shared_ptr<ThreadObject> obj) {
    t_self_raw = obj.get();
    t_self.obj = std::move(obj);
}

// Linux cannot stop one thread of a process safely from outside, so a terminated
// thread stops here, at its next wait, and never runs again. Like a thread that
// Windows terminates it keeps whatever locks it holds.
[[noreturn]] void park() {
    for (;;) pause();
}

bool terminating(const ThreadObject* self) {
    return self && self->terminate_requested.load() && self->running.load();
}

void cancel_hook() {
    if (terminating(t_self_raw)) park();
}

struct StartRecord {
    std::shared_ptr<ThreadObject> obj;
    LPTHREAD_START_ROUTINE start;
    LPVOID parameter;
};

void* thread_entry(void* arg) {
    std::unique_ptr<StartRecord> rec(static_cast<StartRecord*>(arg));
    auto obj = rec->obj;
    set_self(obj);
    {
        std::lock_guard lock(wait_mutex());
        obj->tid = GetCurrentThreadId();
    }
    notify_waiters(obj.get());
    // Held here while created suspended; TerminateThread may end it before it starts.
    wait({}, false, INFINITE,
         [&obj] { return obj->suspend_count == 0 || obj->terminate_requested; });
    if (obj->terminate_requested) return nullptr;
    obj->running = true;
    auto start = rec->start;
    auto parameter = rec->parameter;
    rec.reset();
    obj->pending_code = start(parameter);
    return nullptr;
}

bool valid_priority(int p) {
    return (p >= THREAD_PRIORITY_LOWEST && p <= THREAD_PRIORITY_HIGHEST) ||
           p == THREAD_PRIORITY_IDLE || p == THREAD_PRIORITY_TIME_CRITICAL;
}

[[maybe_unused]] const bool g_registered = [] {
    set_cancel_point_hook(&cancel_hook);
    register_pseudo_handle(kCurrentThread, [] { return ObjectPtr(current_thread()); });
    return true;
}();

}  // namespace

void note_sleeping_on(std::atomic<uint32_t>* word) {
    // A thread the layer did not start has no object until it asks for one itself,
    // so nobody can terminate it while it sleeps.
    ThreadObject* self = t_self_raw;
    if (!self) return;
    std::lock_guard lock(self->sleep_lock);
    self->sleeping_on = word;
}

bool cancel_pending() { return terminating(t_self_raw); }

void ThreadObject::finish(DWORD code) {
    if (ended) return;
    ended = true;
    exit_code = code;
    auto list = std::move(owned);
    owned.clear();
    for (auto& weak : list) {
        if (auto o = weak.lock()) o->abandon(tid);
    }
}

std::shared_ptr<ThreadObject> current_thread() {
    if (!t_self.obj) {
        auto obj = std::make_shared<ThreadObject>();
        obj->tid = GetCurrentThreadId();
        set_self(std::move(obj));
    }
    return t_self.obj;
}

}  // namespace w32

using namespace w32;

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T stack_size, LPTHREAD_START_ROUTINE start,
                           LPVOID parameter, DWORD flags, LPDWORD thread_id) {
    if (!start) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto obj = std::make_shared<ThreadObject>();
    obj->running = false;
    obj->suspend_count = (flags & CREATE_SUSPENDED) ? 1 : 0;
    HANDLE h = new_handle(obj);
    if (!h) return nullptr;

    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    if (stack_size > 0) {
        size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        size_t size = std::max<size_t>(stack_size, PTHREAD_STACK_MIN);
        pthread_attr_setstacksize(&attr, (size + page - 1) / page * page);
    }
    auto* rec = new StartRecord{obj, start, parameter};
    pthread_t thread;
    int err = pthread_create(&thread, &attr, thread_entry, rec);
    pthread_attr_destroy(&attr);
    if (err != 0) {
        delete rec;
        close_handle(h);
        SetLastError(err == EAGAIN ? ERROR_NOT_ENOUGH_MEMORY : errno_to_win(err));
        return nullptr;
    }
    // The id is the new thread's own, known once it runs.
    wait({}, false, INFINITE, [&obj] { return obj->tid != 0; });
    if (thread_id) *thread_id = obj->tid;
    return h;
}

void WINAPI ExitThread(DWORD exit_code) {
    current_thread()->pending_code = exit_code;
    pthread_exit(nullptr);
}

BOOL WINAPI TerminateThread(HANDLE thread, DWORD exit_code) {
    auto obj = get_as<ThreadObject>(thread);
    if (!obj) return FALSE;
    {
        std::lock_guard lock(wait_mutex());
        if (!obj->ended) {
            obj->terminate_requested = true;
            obj->finish(exit_code);
        }
    }
    notify_waiters();  // as at a thread's end
    if (obj.get() == t_self_raw) park();
    {
        // Asleep on an event or a semaphore outside the engine: a changed word
        // wakes it, and it stops at its cancel point.
        std::lock_guard lock(obj->sleep_lock);
        if (obj->sleeping_on) {
            obj->sleeping_on->fetch_add(1);
            syscall(SYS_futex, reinterpret_cast<uint32_t*>(obj->sleeping_on), FUTEX_WAKE_PRIVATE,
                    INT_MAX, nullptr, nullptr, 0);
        }
    }
    return TRUE;
}

BOOL WINAPI GetExitCodeThread(HANDLE thread, LPDWORD exit_code) {
    auto obj = get_as<ThreadObject>(thread);
    if (!obj) return FALSE;
    if (!exit_code) return fail(ERROR_INVALID_PARAMETER);
    std::lock_guard lock(wait_mutex());
    *exit_code = obj->ended ? obj->exit_code : STILL_ACTIVE;
    return TRUE;
}

DWORD WINAPI ResumeThread(HANDLE thread) {
    auto obj = get_as<ThreadObject>(thread);
    if (!obj) return static_cast<DWORD>(-1);
    DWORD previous;
    {
        std::lock_guard lock(wait_mutex());
        previous = obj->suspend_count;
        if (obj->suspend_count > 0) --obj->suspend_count;
    }
    notify_waiters(obj.get());
    return previous;
}

HANDLE WINAPI GetCurrentThread(void) { return kCurrentThread; }

DWORD WINAPI GetThreadId(HANDLE thread) {
    auto obj = get_as<ThreadObject>(thread);
    if (!obj) return 0;
    std::lock_guard lock(wait_mutex());
    return obj->tid;
}

BOOL WINAPI SetThreadPriority(HANDLE thread, int priority) {
    auto obj = get_as<ThreadObject>(thread);
    if (!obj) return FALSE;
    if (!valid_priority(priority)) return fail(ERROR_INVALID_PARAMETER);
    // Recorded only: ordinary users may not raise a thread's priority on Linux.
    std::lock_guard lock(wait_mutex());
    obj->priority = priority;
    return TRUE;
}

int WINAPI GetThreadPriority(HANDLE thread) {
    auto obj = get_as<ThreadObject>(thread);
    if (!obj) return THREAD_PRIORITY_ERROR_RETURN;
    std::lock_guard lock(wait_mutex());
    return obj->priority;
}

BOOL WINAPI SwitchToThread(void) {
    sched_yield();
    return TRUE;
}
