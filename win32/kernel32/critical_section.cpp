// Critical sections: a re-entrant lock kept entirely inside the program's record,
// a futex word (0 free, 1 held, 2 held with sleepers) plus owner and depth.
#include <windows.h>

#include "cpu_relax.h"
#include "w32/thread_id.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace {

// The race detector cannot see a futex lock: tell it what entering and leaving order.
void note_entered(LPCRITICAL_SECTION cs) {
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(cs);
#else
    (void)cs;
#endif
}

void note_leaving(LPCRITICAL_SECTION cs) {
#if defined(__SANITIZE_THREAD__)
    __tsan_release(cs);
#else
    (void)cs;
#endif
}

void futex_wait(LONG* word, LONG expected) {
    syscall(SYS_futex, word, FUTEX_WAIT_PRIVATE, expected, nullptr, nullptr, 0);
}

void futex_wake_one(LONG* word) {
    syscall(SYS_futex, word, FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
}

DWORD owner_of(LPCRITICAL_SECTION cs) {
    return static_cast<DWORD>(
        reinterpret_cast<uintptr_t>(__atomic_load_n(&cs->OwningThread, __ATOMIC_RELAXED)));
}

void set_owner(LPCRITICAL_SECTION cs, DWORD tid) {
    __atomic_store_n(&cs->OwningThread, reinterpret_cast<HANDLE>(static_cast<uintptr_t>(tid)),
                     __ATOMIC_RELAXED);
}

bool try_lock(LPCRITICAL_SECTION cs) {
    LONG expected = 0;
    bool locked = __atomic_compare_exchange_n(&cs->LockCount, &expected, 1, false, __ATOMIC_SEQ_CST,
                                              __ATOMIC_RELAXED);
    if (locked) note_entered(cs);
    return locked;
}

void lock(LPCRITICAL_SECTION cs) {
    if (try_lock(cs)) return;
    for (ULONG_PTR spins = cs->SpinCount; spins > 0; --spins) {
        if (__atomic_load_n(&cs->LockCount, __ATOMIC_RELAXED) == 0 && try_lock(cs)) return;
        cpu_relax();
    }
    // Mark the lock contended, so that its holder wakes a sleeper when it leaves.
    while (__atomic_exchange_n(&cs->LockCount, 2, __ATOMIC_SEQ_CST) != 0)
        futex_wait(&cs->LockCount, 2);
    note_entered(cs);
}

void unlock(LPCRITICAL_SECTION cs) {
    note_leaving(cs);
    if (__atomic_exchange_n(&cs->LockCount, 0, __ATOMIC_SEQ_CST) == 2)
        futex_wake_one(&cs->LockCount);
}

}  // namespace

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION section) {
    InitializeCriticalSectionAndSpinCount(section, 0);
}

BOOL WINAPI InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION section, DWORD spin_count) {
    section->DebugInfo = nullptr;
    section->LockCount = 0;
    section->RecursionCount = 0;
    section->OwningThread = nullptr;
    section->LockSemaphore = nullptr;
    section->SpinCount = spin_count;
    return TRUE;
}

void WINAPI EnterCriticalSection(LPCRITICAL_SECTION section) {
    DWORD tid = w32::current_thread_id();
    // Only this thread ever stores its own id there, so the unlocked read is exact.
    if (owner_of(section) == tid) {
        ++section->RecursionCount;
        return;
    }
    lock(section);
    set_owner(section, tid);
    section->RecursionCount = 1;
}

BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION section) {
    DWORD tid = w32::current_thread_id();
    if (owner_of(section) == tid) {
        ++section->RecursionCount;
        return TRUE;
    }
    if (!try_lock(section)) return FALSE;
    set_owner(section, tid);
    section->RecursionCount = 1;
    return TRUE;
}

void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION section) {
    // Leaving a section this thread does not hold is the caller's bug; it changes nothing.
    if (owner_of(section) != w32::current_thread_id() || section->RecursionCount <= 0) return;
    if (--section->RecursionCount > 0) return;
    set_owner(section, 0);
    unlock(section);
}

void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION section) {
    InitializeCriticalSectionAndSpinCount(section, 0);
}
