#include "gui/core/thread.h"

#include <process.h>

#include <cxxabi.h>

#include <climits>
#include <map>

#include "gui/core/mutex.h"

namespace Gui {
namespace {

volatile LONG g_thread_count;
volatile LONG g_shutdown;
volatile BYTE g_started;

// The callback copies of counted threads by thread id. Whoever takes a thread's
// entry out (its own end, however it ends, or Terminate) uncounts it, exactly once.
StaticMutex g_running_lock;
std::map<DWORD, Callback*>* g_running;

std::map<DWORD, Callback*>& Running() {
    if (!g_running)
        g_running = new std::map<DWORD, Callback*>;  // never freed: threads outlive statics
    return *g_running;
}

Callback* TakeRunning(DWORD thread_id) {
    StaticMutex::Lock lock(g_running_lock);
    auto it = Running().find(thread_id);
    if (it == Running().end()) return nullptr;
    Callback* copy = it->second;
    Running().erase(it);
    return copy;
}

}  // namespace

Thread::Thread() : handle_(NULL) { GetMutexInitLock(); }

Thread::~Thread() { Detach(); }

bool Thread::Run(Callback cb) {
    InterlockedIncrement(&g_thread_count);
    __atomic_store_n(&g_started, BYTE{1}, __ATOMIC_RELAXED);
    Detach();
    Callback* copy = new Callback(cb);
    unsigned thread_id = 0;
    {
        // Held until the copy is listed, so the new thread finds it.
        StaticMutex::Lock lock(g_running_lock);
        handle_ =
            reinterpret_cast<HANDLE>(_beginthreadex(NULL, 0, ThreadEntry, copy, 0, &thread_id));
        if (handle_) Running()[thread_id] = copy;
    }
    if (!handle_) {
        // No thread will ever return from the callback: uncount it here.
        InterlockedDecrement(&g_thread_count);
        DeleteCallbackCopy(copy);
        return false;
    }
    return true;
}

void Thread::Start(Callback cb) {
    Thread thread;
    thread.Run(cb);
    thread.Detach();
}

// The catch of the forced unwind binds a reference to no object, as the C++ runtime
// does for that unwind; the null check would report it as undefined.
__attribute__((no_sanitize("null"))) unsigned __stdcall Thread::ThreadEntry(void*) {
    const DWORD self = GetCurrentThreadId();
    // A reference of its own: Terminate may free the listed copy while this thread
    // still runs up to its next wait.
    Callback own;
    {
        StaticMutex::Lock lock(g_running_lock);
        auto it = Running().find(self);
        if (it == Running().end()) return 0;  // terminated before it started
        own = *it->second;
    }
    // Runs on a return, a throw and ExitThread's unwinding alike.
    struct Uncount {
        DWORD id;
        ~Uncount() { Thread::Uncount(id); }
    } uncount{self};
    if (own.GetAction()) {
        try {
            own();
        } catch (abi::__forced_unwind&) {
            throw;  // the thread is being ended (ExitThread): let it go
        } catch (...) {
            // A throwing callback ends itself, not the process.
        }
    }
    return 0;
}

void Thread::Uncount(DWORD thread_id) {
    Callback* copy = TakeRunning(thread_id);
    if (!copy) return;
    InterlockedDecrement(&g_thread_count);
    DeleteCallbackCopy(copy);
}

void Thread::DeleteCallbackCopy(Callback* copy) { delete copy; }

void Thread::Detach() {
    if (handle_) {
        CloseHandle(handle_);
        handle_ = NULL;
    }
}

bool Thread::Terminate() {
    if (!handle_) return false;
    const DWORD id = GetThreadId(handle_);
    DWORD code = 0;
    const bool alive = GetExitCodeThread(handle_, &code) && code == STILL_ACTIVE;
    if (!TerminateThread(handle_, 0)) return false;
    // A terminated thread never returns from its callback: uncount it here.
    if (alive) Uncount(id);
    CloseHandle(handle_);
    handle_ = NULL;
    return true;
}

bool Thread::IsRunning() {
    if (!handle_) return false;
    DWORD code = 0;
    if (!GetExitCodeThread(handle_, &code)) return true;
    return code == STILL_ACTIVE;
}

int Thread::Wait() {
    if (!handle_) return -1;
    DWORD code = 0;
    if (!GetExitCodeThread(handle_, &code)) return -1;
    int result = static_cast<int>(code);
    if (code == STILL_ACTIVE) {
        if (WaitForSingleObject(handle_, INFINITE) != WAIT_OBJECT_0) return INT_MIN;
        result = GetExitCodeThread(handle_, &code) ? static_cast<int>(code) : INT_MIN;
    }
    CloseHandle(handle_);
    handle_ = NULL;
    return result;
}

bool Thread::SetPriority(int percent) {
    int priority;
    if (percent <= 25)
        priority = THREAD_PRIORITY_LOWEST;
    else if (percent <= 75)
        priority = THREAD_PRIORITY_BELOW_NORMAL;
    else if (percent <= 125)
        priority = THREAD_PRIORITY_NORMAL;
    else if (percent <= 175)
        priority = THREAD_PRIORITY_ABOVE_NORMAL;
    else
        priority = THREAD_PRIORITY_HIGHEST;
    return SetThreadPriority(handle_, priority) != FALSE;
}

int Thread::GetCount() {
    int count = __atomic_load_n(&g_thread_count, __ATOMIC_RELAXED);
    ReadMemoryBarrier();
    return count;
}

void Thread::ShutdownThreads() {
    InterlockedIncrement(&g_shutdown);
    while (GetCount() != 0) Sleep(100);
    InterlockedDecrement(&g_shutdown);
}

bool Thread::IsShutdownThreads() { return __atomic_load_n(&g_shutdown, __ATOMIC_RELAXED) != 0; }

bool Thread::IsSingleThreaded() { return __atomic_load_n(&g_started, __ATOMIC_RELAXED) == 0; }

void Thread::PauseStep() { Sleep(100); }

}  // namespace Gui
