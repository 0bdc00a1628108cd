// Critical sections, events, semaphores, mutexes, Sleep and interlocked operations.
#pragma once

#include "winnt.h"
#include "winerror.h"

// A plain record the program embeds; the lock lives inside it, so initialising
// one allocates nothing and cannot fail.
typedef struct _RTL_CRITICAL_SECTION {
    PVOID DebugInfo;
    LONG LockCount;
    LONG RecursionCount;
    HANDLE OwningThread;
    HANDLE LockSemaphore;
    ULONG_PTR SpinCount;
} RTL_CRITICAL_SECTION, *PRTL_CRITICAL_SECTION;
typedef RTL_CRITICAL_SECTION CRITICAL_SECTION;
typedef PRTL_CRITICAL_SECTION PCRITICAL_SECTION;
typedef PRTL_CRITICAL_SECTION LPCRITICAL_SECTION;

#define EVENT_MODIFY_STATE 0x0002
#define EVENT_ALL_ACCESS 0x1F0003
#define SEMAPHORE_MODIFY_STATE 0x0002
#define SEMAPHORE_ALL_ACCESS 0x1F0003
#define MUTEX_MODIFY_STATE 0x0001
#define MUTEX_ALL_ACCESS 0x1F0001

W32_BEGIN_C
void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION section);
BOOL WINAPI InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION section, DWORD spin_count);
void WINAPI EnterCriticalSection(LPCRITICAL_SECTION section);
BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION section);
void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION section);
void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION section);

HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES attributes, BOOL manual_reset, BOOL initial_state,
                           LPCWSTR name);
BOOL WINAPI SetEvent(HANDLE event);
BOOL WINAPI ResetEvent(HANDLE event);

HANDLE WINAPI CreateSemaphoreW(LPSECURITY_ATTRIBUTES attributes, LONG initial_count,
                               LONG maximum_count, LPCWSTR name);
BOOL WINAPI ReleaseSemaphore(HANDLE semaphore, LONG release_count, LPLONG previous_count);

HANDLE WINAPI CreateMutexW(LPSECURITY_ATTRIBUTES attributes, BOOL initial_owner, LPCWSTR name);
BOOL WINAPI ReleaseMutex(HANDLE mutex);

void WINAPI Sleep(DWORD milliseconds);
DWORD WINAPI SleepEx(DWORD milliseconds, BOOL alertable);

// Full barriers; each answers the value the Windows call answers (the new value for
// Increment/Decrement, the previous one for the others).
LONG WINAPI InterlockedIncrement(LONG volatile* addend);
LONG WINAPI InterlockedDecrement(LONG volatile* addend);
LONG WINAPI InterlockedExchange(LONG volatile* target, LONG value);
LONG WINAPI InterlockedExchangeAdd(LONG volatile* addend, LONG value);
LONG WINAPI InterlockedCompareExchange(LONG volatile* destination, LONG exchange, LONG comperand);
PVOID WINAPI InterlockedExchangePointer(PVOID volatile* target, PVOID value);
PVOID WINAPI InterlockedCompareExchangePointer(PVOID volatile* destination, PVOID exchange,
                                               PVOID comperand);
W32_END_C
