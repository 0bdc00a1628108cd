#include "gui/core/thread.h"

#include <process.h>

#include <cxxabi.h>

#include <climits>

#include "gui/core/mutex.h"

namespace Gui {
namespace {

volatile LONG g_thread_count;
volatile LONG g_shutdown;
volatile BYTE g_started;

}  // namespace

Thread::Thread() : handle_(NULL) { GetMutexInitLock(); }

Thread::~Thread() { Detach(); }

bool Thread::Run(Callback cb) {
    InterlockedIncrement(&g_thread_count);
    __atomic_store_n(&g_started, BYTE{1}, __ATOMIC_RELAXED);
    Detach();
    Callback* copy = new Callback(cb);
    unsigned thread_id = 0;
    handle_ = reinterpret_cast<HANDLE>(_beginthreadex(NULL, 0, ThreadEntry, copy, 0, &thread_id));
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

unsigned __stdcall Thread::ThreadEntry(void* argument) {
    Callback* copy = static_cast<Callback*>(argument);
    if (copy->GetAction()) {
        try {
            (*copy)();
        } catch (abi::__forced_unwind&) {
            throw;  // the thread is being ended (ExitThread): let it go
        } catch (...) {
            // A throwing callback ends itself, not the process.
        }
    }
    InterlockedDecrement(&g_thread_count);
    DeleteCallbackCopy(copy);
    return 0;
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
    if (!TerminateThread(handle_, 0)) return false;
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
