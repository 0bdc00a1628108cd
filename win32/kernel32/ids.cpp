#include <windows.h>

#include "w32/thread_id.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// A forked child's only thread is new: it must not answer its parent's id.
[[maybe_unused]] const int g_atfork =
    pthread_atfork(nullptr, nullptr, [] { w32::t_thread_id = 0; });

}  // namespace

DWORD w32::fetch_thread_id() {
    t_thread_id = static_cast<DWORD>(syscall(SYS_gettid));
    return t_thread_id;
}

DWORD WINAPI GetCurrentThreadId(void) { return w32::current_thread_id(); }

DWORD WINAPI GetCurrentProcessId(void) { return static_cast<DWORD>(getpid()); }
