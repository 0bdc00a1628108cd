#include <windows.h>

#include <sys/syscall.h>
#include <unistd.h>

DWORD WINAPI GetCurrentThreadId(void) {
    static thread_local DWORD tid = static_cast<DWORD>(syscall(SYS_gettid));
    return tid;
}

DWORD WINAPI GetCurrentProcessId(void) { return static_cast<DWORD>(getpid()); }
