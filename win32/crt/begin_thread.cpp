// Threads started through the C runtime: the layer's threads, with the C
// runtime's error reporting (errno, a 0 handle).
#include <process.h>

#include <errno.h>

#include <type_traits>

// The runtime's entry and the Windows one have one type here (unsigned is DWORD).
static_assert(std::is_same_v<_beginthreadex_proc_type, LPTHREAD_START_ROUTINE>);
static_assert(std::is_same_v<unsigned, DWORD>);

uintptr_t __cdecl _beginthreadex(void* security, unsigned stack_size,
                                 _beginthreadex_proc_type start, void* argument, unsigned flags,
                                 unsigned* thread_id) {
    if (!start) {
        errno = EINVAL;
        return 0;
    }
    HANDLE h = CreateThread(static_cast<LPSECURITY_ATTRIBUTES>(security), stack_size, start,
                            argument, flags, thread_id);
    if (!h) {
        errno = GetLastError() == ERROR_NOT_ENOUGH_MEMORY ? EAGAIN : EINVAL;
        return 0;
    }
    return reinterpret_cast<uintptr_t>(h);
}

void __cdecl _endthreadex(unsigned exit_code) { ExitThread(exit_code); }
