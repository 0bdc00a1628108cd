#include <windows.h>

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

thread_local DWORD t_tid = 0;

// A forked child's only thread is new: it must not answer its parent's id.
[[maybe_unused]] const int g_atfork = pthread_atfork(nullptr, nullptr, [] { t_tid = 0; });

}  // namespace

DWORD WINAPI GetCurrentThreadId(void) {
    if (t_tid == 0) t_tid = static_cast<DWORD>(syscall(SYS_gettid));
    return t_tid;
}

DWORD WINAPI GetCurrentProcessId(void) { return static_cast<DWORD>(getpid()); }
