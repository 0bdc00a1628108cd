// Critical sections, events, semaphores, mutexes, multi-object waits and the
// interlocked operations, with real threads.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "handle.h"

namespace {

// The result another thread gets from waiting on h for ms.
DWORD wait_from_other_thread(HANDLE h, DWORD ms) {
    DWORD result = 0xDEADBEEF;
    std::thread([&] { result = WaitForSingleObject(h, ms); }).join();
    return result;
}

// Whether another thread can take mutex m at once (it gives it back).
DWORD take_and_release_from_other_thread(HANDLE m) {
    DWORD result = 0xDEADBEEF;
    std::thread([&] {
        result = WaitForSingleObject(m, 0);
        if (result == WAIT_OBJECT_0) ReleaseMutex(m);
    }).join();
    return result;
}

bool try_enter_from_other_thread(CRITICAL_SECTION* cs) {
    bool entered = false;
    std::thread([&] {
        entered = TryEnterCriticalSection(cs);
        if (entered) LeaveCriticalSection(cs);
    }).join();
    return entered;
}

std::wstring unique_name(const char* what) {
    return L"sync-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::wstring(what, what + strlen(what));
}

// --- critical sections ---

TEST(CriticalSection, IsReentrantForItsOwnerAndFreeAfterTheLastLeave) {
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    EnterCriticalSection(&cs);
    EnterCriticalSection(&cs);
    EXPECT_TRUE(TryEnterCriticalSection(&cs));
    EXPECT_FALSE(try_enter_from_other_thread(&cs));
    LeaveCriticalSection(&cs);
    LeaveCriticalSection(&cs);
    EXPECT_FALSE(try_enter_from_other_thread(&cs));
    LeaveCriticalSection(&cs);
    EXPECT_TRUE(try_enter_from_other_thread(&cs));
    DeleteCriticalSection(&cs);
}

TEST(CriticalSection, KeepsOtherThreadsOutWhileHeld) {
    CRITICAL_SECTION cs;
    ASSERT_TRUE(InitializeCriticalSectionAndSpinCount(&cs, 4000));
    volatile long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                EnterCriticalSection(&cs);
                long v = counter;
                if ((i & 255) == 0) SwitchToThread();
                counter = v + 1;
                LeaveCriticalSection(&cs);
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(counter, 4 * 20000);
    DeleteCriticalSection(&cs);
}

// A lock embedded in zero-filled static storage, as the toolkit's static locks are.
struct Embedded {
    void* first;
    CRITICAL_SECTION room;
};
Embedded g_embedded;

TEST(CriticalSection, WorksEmbeddedInZeroFilledStaticStorage) {
    InitializeCriticalSection(&g_embedded.room);
    g_embedded.first = &g_embedded.room;
    auto* cs = static_cast<CRITICAL_SECTION*>(g_embedded.first);
    EnterCriticalSection(cs);
    EXPECT_FALSE(try_enter_from_other_thread(cs));
    LeaveCriticalSection(cs);
    EXPECT_TRUE(try_enter_from_other_thread(cs));
}

// --- events ---

TEST(Event, ManualResetReleasesEveryWaiterUntilReset) {
    Handle ev(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_NE(ev.get(), nullptr);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i) {
        waiters.emplace_back([&] {
            if (WaitForSingleObject(ev.get(), 5000) == WAIT_OBJECT_0) ++released;
        });
    }
    Sleep(20);
    EXPECT_EQ(released.load(), 0);
    ASSERT_TRUE(SetEvent(ev.get()));
    for (auto& t : waiters) t.join();
    EXPECT_EQ(released.load(), 3);
    EXPECT_EQ(WaitForSingleObject(ev.get(), 0), WAIT_OBJECT_0);
    ASSERT_TRUE(ResetEvent(ev.get()));
    EXPECT_EQ(WaitForSingleObject(ev.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST(Event, AutoResetWakesExactlyOneWaiterPerSet) {
    Handle ev(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    std::atomic<int> waiting{0};
    std::atomic<int> woken{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i) {
        waiters.emplace_back([&] {
            ++waiting;
            if (WaitForSingleObject(ev.get(), 5000) == WAIT_OBJECT_0) ++woken;
        });
    }
    while (waiting < 3) Sleep(1);
    Sleep(20);
    for (int expected = 1; expected <= 3; ++expected) {
        ASSERT_TRUE(SetEvent(ev.get()));
        for (int i = 0; i < 500 && woken < expected; ++i) Sleep(1);
        Sleep(20);  // room for a wrongly woken second waiter to show
        EXPECT_EQ(woken.load(), expected);
    }
    for (auto& t : waiters) t.join();
    // The last waiter took the signal with it.
    EXPECT_EQ(WaitForSingleObject(ev.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST(Event, InitialStateIsHonouredAndAutoResetTakesIt) {
    Handle set_auto(CreateEventW(nullptr, FALSE, TRUE, nullptr));
    EXPECT_EQ(WaitForSingleObject(set_auto.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(set_auto.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    Handle unset_manual(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    EXPECT_EQ(WaitForSingleObject(unset_manual.get(), 10), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST(Event, NamedEventOpensTheSameObjectUntilItsLastHandleCloses) {
    auto name = unique_name("event");
    SetLastError(ERROR_ALREADY_EXISTS);
    HANDLE first = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    HANDLE second = CreateEventW(nullptr, FALSE, TRUE, name.c_str());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_NE(first, second);
    // The second call's own settings were ignored: it is the first, unset, manual event.
    EXPECT_EQ(WaitForSingleObject(first, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(second);
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
    CloseHandle(first);
    CloseHandle(second);

    Handle fresh(CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(WaitForSingleObject(fresh.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST(Event, NameHeldByAnotherKindOfObjectIsRefused) {
    auto name = unique_name("clash");
    Handle ev(CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
    ASSERT_NE(ev.get(), nullptr);
    EXPECT_EQ(CreateSemaphoreW(nullptr, 0, 1, name.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

// --- semaphores ---

TEST(Semaphore, EachWaitTakesOneCount) {
    Handle sem(CreateSemaphoreW(nullptr, 2, 5, nullptr));
    ASSERT_NE(sem.get(), nullptr);
    EXPECT_EQ(WaitForSingleObject(sem.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(sem.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(sem.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST(Semaphore, ReleaseBeyondTheMaximumFailsAndLeavesTheCount) {
    Handle sem(CreateSemaphoreW(nullptr, 1, 3, nullptr));
    LONG previous = -1;
    ASSERT_TRUE(ReleaseSemaphore(sem.get(), 2, &previous));
    EXPECT_EQ(previous, 1);
    previous = -1;
    EXPECT_FALSE(ReleaseSemaphore(sem.get(), 1, &previous));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TOO_MANY_POSTS));
    EXPECT_EQ(previous, -1);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(WaitForSingleObject(sem.get(), 0), WAIT_OBJECT_0) << i;
    EXPECT_EQ(WaitForSingleObject(sem.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST(Semaphore, InvalidCountsAreRefused) {
    EXPECT_EQ(CreateSemaphoreW(nullptr, 0, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(CreateSemaphoreW(nullptr, 2, 1, nullptr), nullptr);
    EXPECT_EQ(CreateSemaphoreW(nullptr, -1, 1, nullptr), nullptr);
    Handle sem(CreateSemaphoreW(nullptr, 0, 1, nullptr));
    EXPECT_FALSE(ReleaseSemaphore(sem.get(), 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(Semaphore, ReleaseWakesAThreadWaitingWithoutLimit) {
    Handle sem(CreateSemaphoreW(nullptr, 0, 0x7fffffff, nullptr));
    ASSERT_NE(sem.get(), nullptr);
    EXPECT_EQ(WaitForSingleObject(sem.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    DWORD result = 0xDEADBEEF;
    std::thread waiter([&] { result = WaitForSingleObject(sem.get(), INFINITE); });
    Sleep(20);
    ASSERT_TRUE(ReleaseSemaphore(sem.get(), 1, nullptr));
    waiter.join();
    EXPECT_EQ(result, WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(sem.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

// --- mutexes ---

TEST(Mutex, OwnerTakesItAgainAndMustReleaseAsOftenAsItTookIt) {
    Handle m(CreateMutexW(nullptr, TRUE, nullptr));
    ASSERT_NE(m.get(), nullptr);
    EXPECT_EQ(WaitForSingleObject(m.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(wait_from_other_thread(m.get(), 10), static_cast<DWORD>(WAIT_TIMEOUT));
    ASSERT_TRUE(ReleaseMutex(m.get()));
    EXPECT_EQ(wait_from_other_thread(m.get(), 10), static_cast<DWORD>(WAIT_TIMEOUT));
    ASSERT_TRUE(ReleaseMutex(m.get()));
    EXPECT_EQ(take_and_release_from_other_thread(m.get()), WAIT_OBJECT_0);
    EXPECT_FALSE(ReleaseMutex(m.get()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
}

TEST(Mutex, ReleaseByAThreadThatDoesNotOwnItFails) {
    Handle m(CreateMutexW(nullptr, TRUE, nullptr));
    BOOL released = TRUE;
    DWORD error = 0;
    std::thread([&] {
        released = ReleaseMutex(m.get());
        error = GetLastError();
    }).join();
    EXPECT_FALSE(released);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_NOT_OWNER));
    // Still ours.
    EXPECT_EQ(wait_from_other_thread(m.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(ReleaseMutex(m.get()));
}

DWORD WINAPI TakeAndEnd(LPVOID m) { return WaitForSingleObject(static_cast<HANDLE>(m), 0); }

TEST(Mutex, MutexOfAThreadThatEndedIsAbandonedToTheNextWaiter) {
    Handle m(CreateMutexW(nullptr, FALSE, nullptr));
    Handle t(CreateThread(nullptr, 0, TakeAndEnd, m.get(), 0, nullptr));
    ASSERT_EQ(WaitForSingleObject(t.get(), 5000), WAIT_OBJECT_0);
    DWORD took = 1;
    GetExitCodeThread(t.get(), &took);
    ASSERT_EQ(took, WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(m.get(), 1000), static_cast<DWORD>(WAIT_ABANDONED));
    // The waiter owns it now, and the mutex is normal again afterwards.
    EXPECT_TRUE(ReleaseMutex(m.get()));
    EXPECT_EQ(WaitForSingleObject(m.get(), 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(m.get()));
}

TEST(Mutex, MutexOfAThreadLayerDidNotStartIsAbandonedWhenItEnds) {
    Handle m(CreateMutexW(nullptr, FALSE, nullptr));
    std::thread([&] { WaitForSingleObject(m.get(), 0); }).join();
    EXPECT_EQ(WaitForSingleObject(m.get(), 1000), static_cast<DWORD>(WAIT_ABANDONED));
    EXPECT_TRUE(ReleaseMutex(m.get()));
}

DWORD WINAPI TakeAndSleep(LPVOID m) {
    WaitForSingleObject(static_cast<HANDLE>(m), INFINITE);
    for (;;) Sleep(5);
}

TEST(Mutex, TerminatingTheOwnerAbandonsItAtOnce) {
    Handle m(CreateMutexW(nullptr, FALSE, nullptr));
    Handle t(CreateThread(nullptr, 0, TakeAndSleep, m.get(), 0, nullptr));
    while (take_and_release_from_other_thread(m.get()) == WAIT_OBJECT_0) Sleep(1);
    ASSERT_TRUE(TerminateThread(t.get(), 1));
    EXPECT_EQ(WaitForSingleObject(m.get(), 1000), static_cast<DWORD>(WAIT_ABANDONED));
    EXPECT_TRUE(ReleaseMutex(m.get()));
}

// --- waits on several objects ---

DWORD WINAPI WaitOnEvent(LPVOID ev) {
    return WaitForSingleObject(static_cast<HANDLE>(ev), INFINITE);
}

TEST(WaitMultiple, WaitAllOverMixedHandlesTimesOutWithoutTakingAnything) {
    Handle auto_ev(CreateEventW(nullptr, FALSE, TRUE, nullptr));
    Handle sem(CreateSemaphoreW(nullptr, 1, 1, nullptr));
    Handle mutex(CreateMutexW(nullptr, FALSE, nullptr));
    Handle gate(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    Handle thread(CreateThread(nullptr, 0, WaitOnEvent, gate.get(), 0, nullptr));
    HANDLE all[] = {auto_ev.get(), sem.get(), mutex.get(), thread.get()};

    EXPECT_EQ(WaitForMultipleObjects(4, all, TRUE, 30), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(take_and_release_from_other_thread(mutex.get()), WAIT_OBJECT_0);

    // The single signal and the single count are still there for this wait.
    SetEvent(gate.get());
    EXPECT_EQ(WaitForMultipleObjects(4, all, TRUE, 5000), WAIT_OBJECT_0);
    // Now everything was taken at once.
    EXPECT_EQ(WaitForSingleObject(auto_ev.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(WaitForSingleObject(sem.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(take_and_release_from_other_thread(mutex.get()), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(ReleaseMutex(mutex.get()));
}

// A lone waiter takes an event or a semaphore without the engine; these mix both.
TEST(WaitMultiple, ALoneWaiterAndAMultipleWaiterShareEachSignal) {
    Handle ev(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    Handle never(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::atomic<int> woken{0};
    DWORD alone = 0, among = 0;
    std::thread a([&] {
        alone = WaitForSingleObject(ev.get(), 5000);
        ++woken;
    });
    std::thread b([&] {
        HANDLE two[] = {never.get(), ev.get()};
        among = WaitForMultipleObjects(2, two, FALSE, 5000);
        ++woken;
    });
    Sleep(20);
    for (int expected = 1; expected <= 2; ++expected) {
        ASSERT_TRUE(SetEvent(ev.get()));
        for (int i = 0; i < 500 && woken < expected; ++i) Sleep(1);
        Sleep(20);  // room for a second waiter wrongly woken by one signal
        EXPECT_EQ(woken.load(), expected);
    }
    a.join();
    b.join();
    EXPECT_EQ(alone, WAIT_OBJECT_0);
    EXPECT_EQ(among, WAIT_OBJECT_0 + 1);
}

TEST(WaitMultiple, WaitAllTakesCountsOnlyTogetherWhileOthersTakeThemAlone) {
    const LONG n = 20000;
    // Room for one more count each, so the releases below succeed whoever won the race.
    Handle a(CreateSemaphoreW(nullptr, n, n + 1, nullptr));
    Handle b(CreateSemaphoreW(nullptr, n, n + 1, nullptr));
    HANDLE both[] = {a.get(), b.get()};
    std::atomic<LONG> pairs{0}, singles{0};
    std::atomic<int> ready{0};
    auto start_together = [&] {
        ++ready;
        while (ready.load() < 2) {
        }
    };
    std::thread together([&] {
        start_together();
        while (WaitForMultipleObjects(2, both, TRUE, 0) == WAIT_OBJECT_0) ++pairs;
    });
    std::thread alone([&] {
        start_together();
        while (WaitForSingleObject(a.get(), 0) == WAIT_OBJECT_0) ++singles;
    });
    together.join();
    alone.join();
    // Every count of a went exactly once; b gave exactly as many as the pairs took.
    LONG left_a = -1, left_b = -1;
    ASSERT_TRUE(ReleaseSemaphore(a.get(), 1, &left_a));
    ASSERT_TRUE(ReleaseSemaphore(b.get(), 1, &left_b));
    EXPECT_EQ(left_a, 0);
    EXPECT_EQ(pairs + singles, n);
    EXPECT_EQ(left_b, n - pairs);
}

TEST(WaitMultiple, WaitAllReturnsWhenTheLastObjectBecomesReady) {
    Handle a(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    Handle b(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HANDLE both[] = {a.get(), b.get()};
    std::thread setter([&] {
        Sleep(20);
        SetEvent(b.get());
    });
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, INFINITE), WAIT_OBJECT_0);
    setter.join();
}

TEST(WaitMultiple, WaitAnyAnswersTheLowestSignalledIndexAndTakesOnlyIt) {
    Handle unset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    Handle sem(CreateSemaphoreW(nullptr, 1, 1, nullptr));
    Handle set_auto(CreateEventW(nullptr, FALSE, TRUE, nullptr));
    HANDLE any[] = {unset.get(), sem.get(), set_auto.get()};
    EXPECT_EQ(WaitForMultipleObjects(3, any, FALSE, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForMultipleObjects(3, any, FALSE, 0), WAIT_OBJECT_0 + 2);
    EXPECT_EQ(WaitForMultipleObjects(3, any, FALSE, 10), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST(WaitMultiple, WaitAllRefusesTheSameObjectTwice) {
    Handle ev(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    HANDLE twice[] = {ev.get(), ev.get()};
    EXPECT_EQ(WaitForMultipleObjects(2, twice, TRUE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    HANDLE dup = nullptr;
    HANDLE process = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));
    ASSERT_TRUE(DuplicateHandle(process, ev.get(), process, &dup, 0, FALSE, DUPLICATE_SAME_ACCESS));
    Handle dup_owner(dup);
    HANDLE same_object[] = {ev.get(), dup};
    EXPECT_EQ(WaitForMultipleObjects(2, same_object, TRUE, 0), WAIT_FAILED);
    // Waiting for any of them is fine.
    EXPECT_EQ(WaitForMultipleObjects(2, twice, FALSE, 0), WAIT_OBJECT_0);
}

TEST(WaitMultiple, WaitAllReportsTheIndexOfAnAbandonedMutex) {
    Handle ev(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    Handle m(CreateMutexW(nullptr, FALSE, nullptr));
    std::thread([&] { WaitForSingleObject(m.get(), 0); }).join();
    HANDLE both[] = {ev.get(), m.get()};
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 1000),
              static_cast<DWORD>(WAIT_ABANDONED_0 + 1));
    EXPECT_TRUE(ReleaseMutex(m.get()));
}

TEST(WaitMultiple, BadArgumentsFail) {
    Handle ev(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    HANDLE one[] = {ev.get()};
    EXPECT_EQ(WaitForMultipleObjects(0, one, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    HANDLE bogus[] = {ev.get(), reinterpret_cast<HANDLE>(0x7ffffff0)};
    EXPECT_EQ(WaitForMultipleObjects(2, bogus, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

// --- interlocked operations ---

TEST(Interlocked, OperationsAnswerTheValuesWindowsAnswers) {
    volatile LONG v = 5;
    EXPECT_EQ(InterlockedIncrement(&v), 6);
    EXPECT_EQ(InterlockedDecrement(&v), 5);
    EXPECT_EQ(InterlockedExchange(&v, 10), 5);
    EXPECT_EQ(InterlockedExchangeAdd(&v, -3), 10);
    EXPECT_EQ(v, 7);
    EXPECT_EQ(InterlockedCompareExchange(&v, 100, 6), 7);  // no match: unchanged
    EXPECT_EQ(v, 7);
    EXPECT_EQ(InterlockedCompareExchange(&v, 100, 7), 7);
    EXPECT_EQ(v, 100);

    int a = 0, b = 0;
    PVOID volatile p = &a;
    EXPECT_EQ(InterlockedExchangePointer(&p, &b), &a);
    EXPECT_EQ(InterlockedCompareExchangePointer(&p, &a, &a), &b);
    EXPECT_EQ(p, &b);
    EXPECT_EQ(InterlockedCompareExchangePointer(&p, &a, &b), &b);
    EXPECT_EQ(p, &a);
}

TEST(Interlocked, ConcurrentIncrementsAndDecrementsAreNeverLost) {
    volatile LONG up = 0;
    volatile LONG down = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 50000; ++i) {
                InterlockedIncrement(&up);
                InterlockedDecrement(&down);
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(up, 8 * 50000);
    EXPECT_EQ(down, -8 * 50000);
}

}  // namespace
