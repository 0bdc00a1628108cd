// Critical sections, events, semaphores, mutexes (named ones between processes too),
// multi-object waits and the interlocked operations, with real threads.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "kernel_test.h"
#include "testing/child_process.h"
#include "testing/wait_until.h"

namespace {

const DWORD kTimeout = WAIT_TIMEOUT;

// The result another thread gets from waiting on h for ms (it releases a mutex it took).
DWORD WaitFromOtherThread(HANDLE h, DWORD ms = 0) {
    DWORD result = 0xDEADBEEF;
    std::thread([&] {
        result = WaitForSingleObject(h, ms);
        if (result == WAIT_OBJECT_0) ReleaseMutex(h);
    }).join();
    return result;
}

bool TryEnterFromOtherThread(CRITICAL_SECTION* cs) {
    bool entered = false;
    std::thread([&] {
        if ((entered = TryEnterCriticalSection(cs))) LeaveCriticalSection(cs);
    }).join();
    return entered;
}

// Sets ev `sets` times, one by one once the waiters woken so far have counted
// themselves: answers how many had woken after each set.
std::vector<int> WakesPerSet(HANDLE ev, std::atomic<int>& woken, int sets) {
    std::vector<int> after;
    for (int i = 1; i <= sets; ++i) {
        SetEvent(ev);
        EXPECT_TRUE(testing_support::WaitUntil([&] { return woken >= i; }, 10000)) << i;
        Sleep(20);  // room for a second waiter wrongly woken by the same set
        after.push_back(woken);
    }
    return after;
}

// A lock in zero-filled static storage, as the toolkit's static locks are.
struct {
    void* first;
    CRITICAL_SECTION room;
} g_embedded;

TEST(CriticalSection, IsReentrantForItsOwnerAndKeepsOtherThreadsOut) {
    CRITICAL_SECTION* cs = &g_embedded.room;
    InitializeCriticalSection(cs);
    EnterCriticalSection(cs);
    EnterCriticalSection(cs);
    EXPECT_TRUE(TryEnterCriticalSection(cs));
    EXPECT_FALSE(TryEnterFromOtherThread(cs));
    LeaveCriticalSection(cs);
    LeaveCriticalSection(cs);
    EXPECT_FALSE(TryEnterFromOtherThread(cs));
    LeaveCriticalSection(cs);
    EXPECT_TRUE(TryEnterFromOtherThread(cs));

    ASSERT_TRUE(InitializeCriticalSectionAndSpinCount(cs, 4000));
    volatile long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                EnterCriticalSection(cs);
                long v = counter;
                if ((i & 255) == 0) SwitchToThread();
                counter = v + 1;
                LeaveCriticalSection(cs);
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(counter, 4 * 20000);
    DeleteCriticalSection(cs);
}

TEST(Event, ManualResetReleasesEveryWaiterAutoResetOnePerSet) {
    Handle manual(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    Handle automatic(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    std::atomic<int> manual_woken{0}, auto_woken{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i) {
        waiters.emplace_back(
            [&] { manual_woken += WaitForSingleObject(manual.get(), 10000) == 0; });
        waiters.emplace_back(
            [&] { auto_woken += WaitForSingleObject(automatic.get(), 10000) == 0; });
    }
    Sleep(20);
    EXPECT_EQ(manual_woken + auto_woken, 0);
    SetEvent(manual.get());
    EXPECT_TRUE(testing_support::WaitUntil([&] { return manual_woken == 3; }, 10000));
    EXPECT_EQ(WakesPerSet(automatic.get(), auto_woken, 3), (std::vector<int>{1, 2, 3}));
    for (auto& t : waiters) t.join();
    // The manual event stays set until reset; the last waiter took the automatic one's signal.
    EXPECT_EQ(WaitForSingleObject(manual.get(), 0), WAIT_OBJECT_0);
    ASSERT_TRUE(ResetEvent(manual.get()));
    EXPECT_EQ(WaitForSingleObject(manual.get(), 0), kTimeout);
    EXPECT_EQ(WaitForSingleObject(automatic.get(), 0), kTimeout);
    Handle set_auto(CreateEventW(nullptr, FALSE, TRUE, nullptr));
    EXPECT_EQ(WaitForSingleObject(set_auto.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(set_auto.get(), 0), kTimeout);
}

TEST(Event, ANameOpensTheSameObjectUntilItsLastHandleCloses) {
    const std::wstring name = L"sync-test-" + std::to_wstring(GetCurrentProcessId());
    HANDLE first = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
    HANDLE second = CreateEventW(nullptr, FALSE, TRUE, name.c_str());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    // The second call's own settings were ignored: it is the first, unset, manual event.
    EXPECT_EQ(WaitForSingleObject(first, 0), kTimeout);
    SetEvent(second);
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
    EXPECT_EQ(Failed(CreateSemaphoreW(nullptr, 0, 1, name.c_str()) == nullptr),
              ERROR_INVALID_HANDLE);  // another kind
    CloseHandle(first);
    CloseHandle(second);
    Handle fresh(CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
}

TEST(Semaphore, EachWaitTakesOneCountUpToTheMaximumReleased) {
    Handle sem(CreateSemaphoreW(nullptr, 1, 3, nullptr));
    LONG previous = -1;
    ASSERT_TRUE(ReleaseSemaphore(sem.get(), 2, &previous));
    EXPECT_EQ(previous, 1);
    previous = -1;
    EXPECT_EQ(Failed(!ReleaseSemaphore(sem.get(), 1, &previous)), ERROR_TOO_MANY_POSTS);
    EXPECT_EQ(previous, -1);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(WaitForSingleObject(sem.get(), 0), WAIT_OBJECT_0) << i;
    EXPECT_EQ(WaitForSingleObject(sem.get(), 0), kTimeout);
    EXPECT_EQ(Failed(!ReleaseSemaphore(sem.get(), 0, nullptr)), ERROR_INVALID_PARAMETER);
    const std::pair<LONG, LONG> bad_counts[] = {{0, 0}, {2, 1}, {-1, 1}};
    for (auto [initial, maximum] : bad_counts)
        EXPECT_EQ(Failed(!CreateSemaphoreW(nullptr, initial, maximum, nullptr)),
                  ERROR_INVALID_PARAMETER);
    // A release wakes a thread waiting without limit.
    Handle big(CreateSemaphoreW(nullptr, 0, 0x7fffffff, nullptr));
    DWORD result = 0xDEADBEEF;
    std::thread waiter([&] { result = WaitForSingleObject(big.get(), INFINITE); });
    Sleep(20);
    ASSERT_TRUE(ReleaseSemaphore(big.get(), 1, nullptr));
    waiter.join();
    EXPECT_EQ(result, WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(big.get(), 0), kTimeout);
}

TEST(Mutex, OnlyTheOwnerReleasesItAsOftenAsItTookItAndAnEndedOwnerAbandonsIt) {
    Handle m(CreateMutexW(nullptr, TRUE, nullptr));
    EXPECT_EQ(WaitForSingleObject(m.get(), 0), WAIT_OBJECT_0);
    ASSERT_TRUE(ReleaseMutex(m.get()));
    EXPECT_EQ(WaitFromOtherThread(m.get(), 10), kTimeout);
    ASSERT_TRUE(ReleaseMutex(m.get()));
    EXPECT_EQ(Failed(!ReleaseMutex(m.get())), ERROR_NOT_OWNER);
    std::thread([&] { WaitForSingleObject(m.get(), 0); }).join();
    EXPECT_EQ(WaitForSingleObject(m.get(), 1000), static_cast<DWORD>(WAIT_ABANDONED));
    // The waiter owns it now, and the mutex is normal again afterwards.
    EXPECT_TRUE(ReleaseMutex(m.get()));
    EXPECT_EQ(WaitFromOtherThread(m.get()), WAIT_OBJECT_0);
}

DWORD WINAPI WaitOnEvent(LPVOID ev) { return WaitForSingleObject(ev, INFINITE); }

TEST(WaitMultiple, WaitAllTakesNothingUntilEverythingIsReadyThenAllAtOnce) {
    Handle auto_ev(CreateEventW(nullptr, FALSE, TRUE, nullptr));
    Handle sem(CreateSemaphoreW(nullptr, 1, 1, nullptr));
    Handle mutex(CreateMutexW(nullptr, FALSE, nullptr));
    Handle gate(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    Handle thread(CreateThread(nullptr, 0, WaitOnEvent, gate.get(), 0, nullptr));
    HANDLE all[] = {auto_ev.get(), sem.get(), mutex.get(), thread.get()};
    EXPECT_EQ(WaitForMultipleObjects(4, all, TRUE, 30), kTimeout);
    EXPECT_EQ(WaitFromOtherThread(mutex.get()), WAIT_OBJECT_0);
    SetEvent(gate.get());
    EXPECT_EQ(WaitForMultipleObjects(4, all, TRUE, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(auto_ev.get(), 0), kTimeout);
    EXPECT_EQ(WaitForSingleObject(sem.get(), 0), kTimeout);
    EXPECT_EQ(WaitFromOtherThread(mutex.get()), kTimeout);
    EXPECT_TRUE(ReleaseMutex(mutex.get()));

    // It returns when the last object becomes ready, from another thread.
    Handle set(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    HANDLE pair[] = {set.get(), gate.get()};
    ResetEvent(gate.get());
    std::thread setter([&] {
        Sleep(20);
        SetEvent(gate.get());
    });
    EXPECT_EQ(WaitForMultipleObjects(2, pair, TRUE, INFINITE), WAIT_OBJECT_0);
    setter.join();
    // An abandoned mutex answers its index, and everything is taken all the same.
    std::thread([&] { WaitForSingleObject(mutex.get(), 0); }).join();
    Handle one(CreateSemaphoreW(nullptr, 1, 1, nullptr));
    HANDLE three[] = {set.get(), mutex.get(), one.get()};
    EXPECT_EQ(WaitForMultipleObjects(3, three, TRUE, 1000), DWORD{WAIT_ABANDONED_0 + 1});
    EXPECT_EQ(WaitForSingleObject(one.get(), 0), kTimeout);
    EXPECT_EQ(WaitFromOtherThread(mutex.get(), 10), kTimeout);
    EXPECT_TRUE(ReleaseMutex(mutex.get()));
}

TEST(WaitMultiple, WaitAnyAnswersTheLowestReadyIndexAndTakesOnlyItAndBadArgumentsFail) {
    Handle unset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    Handle sem(CreateSemaphoreW(nullptr, 1, 1, nullptr));
    Handle set_auto(CreateEventW(nullptr, FALSE, TRUE, nullptr));
    HANDLE any[] = {unset.get(), sem.get(), set_auto.get()};
    EXPECT_EQ(WaitForMultipleObjects(3, any, FALSE, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForMultipleObjects(3, any, FALSE, 0), WAIT_OBJECT_0 + 2);
    EXPECT_EQ(WaitForMultipleObjects(3, any, FALSE, 10), kTimeout);

    Handle ev(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    HANDLE dup = nullptr, process = GetCurrentProcess();
    ASSERT_TRUE(DuplicateHandle(process, ev.get(), process, &dup, 0, FALSE, DUPLICATE_SAME_ACCESS));
    Handle dup_owner(dup);
    HANDLE twice[] = {ev.get(), ev.get()}, same_object[] = {ev.get(), dup};
    HANDLE bogus[] = {ev.get(), reinterpret_cast<HANDLE>(0x7ffffff0)};
    EXPECT_EQ(WaitForMultipleObjects(2, twice, FALSE, 0), WAIT_OBJECT_0);
    const struct {
        HANDLE* handles;
        DWORD count;
        DWORD error;
    } bad[] = {{twice, 2, ERROR_INVALID_PARAMETER},
               {same_object, 2, ERROR_INVALID_PARAMETER},
               {twice, 0, ERROR_INVALID_PARAMETER},
               {bogus, 2, ERROR_INVALID_HANDLE}};
    for (const auto& t : bad) {
        EXPECT_EQ(WaitForMultipleObjects(t.count, t.handles, t.error != ERROR_INVALID_HANDLE, 0),
                  WAIT_FAILED);
        EXPECT_EQ(GetLastError(), t.error);
    }
}

// A lone waiter takes an event or a semaphore without the wait engine; these mix both.
TEST(WaitMultiple, LoneAndMultipleWaitersShareTheSignalsAndCounts) {
    Handle ev(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    Handle never(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::atomic<int> woken{0};
    DWORD alone = 0, among = 0;
    std::thread a([&] {
        alone = WaitForSingleObject(ev.get(), 10000);
        ++woken;
    });
    std::thread b([&] {
        HANDLE two[] = {never.get(), ev.get()};
        among = WaitForMultipleObjects(2, two, FALSE, 60000);
        ++woken;
    });
    Sleep(20);
    EXPECT_EQ(WakesPerSet(ev.get(), woken, 2), (std::vector<int>{1, 2}));
    a.join();
    b.join();
    EXPECT_EQ(alone, WAIT_OBJECT_0);
    EXPECT_EQ(among, WAIT_OBJECT_0 + 1);

    const LONG n = 20000;
    // Room for one more count each, so the releases below succeed whoever won the race.
    Handle sa(CreateSemaphoreW(nullptr, n, n + 1, nullptr));
    Handle sb(CreateSemaphoreW(nullptr, n, n + 1, nullptr));
    HANDLE both[] = {sa.get(), sb.get()};
    std::atomic<LONG> pairs{0}, singles{0};
    std::atomic<int> ready{0};
    std::thread together([&] {
        for (++ready; ready < 2;) {
        }
        while (WaitForMultipleObjects(2, both, TRUE, 0) == WAIT_OBJECT_0) ++pairs;
    });
    for (++ready; ready < 2;) {
    }
    while (WaitForSingleObject(sa.get(), 0) == WAIT_OBJECT_0) ++singles;
    together.join();
    // Every count of a went exactly once; b gave exactly as many as the pairs took.
    LONG left_a = -1, left_b = -1;
    ASSERT_TRUE(ReleaseSemaphore(sa.get(), 1, &left_a));
    ASSERT_TRUE(ReleaseSemaphore(sb.get(), 1, &left_b));
    EXPECT_EQ(left_a, 0);
    EXPECT_EQ(pairs + singles, n);
    EXPECT_EQ(left_b, n - pairs);
}

TEST(Interlocked, OperationsAnswerWhatWindowsAnswersAndLoseNothingBetweenThreads) {
    volatile LONG v = 5;
    EXPECT_EQ(InterlockedIncrement(&v), 6);
    EXPECT_EQ(InterlockedDecrement(&v), 5);
    EXPECT_EQ(InterlockedExchange(&v, 10), 5);
    EXPECT_EQ(InterlockedExchangeAdd(&v, -3), 10);
    EXPECT_EQ(InterlockedCompareExchange(&v, 100, 6), 7);  // no match: unchanged
    EXPECT_EQ(InterlockedCompareExchange(&v, 100, 7), 7);
    EXPECT_EQ(v, 100);
    int a = 0, b = 0;
    PVOID volatile p = &a;
    EXPECT_EQ(InterlockedCompareExchangePointer(&p, &b, &b), &a);  // no match
    EXPECT_EQ(InterlockedCompareExchangePointer(&p, &b, &a), &a);
    EXPECT_EQ(p, &b);

    volatile LONG up = 0, down = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 50000; ++i) {
                InterlockedIncrement(&up);
                InterlockedDecrement(&down);
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(up, 8 * 50000);
    EXPECT_EQ(down, -8 * 50000);
}

// Answers that come while the waiter may still watch: none lost, none taken twice.
TEST(QuickAnswer, EachReleaseAndEachSetIsTakenExactlyOnce) {
    Handle ask(CreateSemaphoreW(nullptr, 0, 2, nullptr)), done(CreateEventW(0, 0, 0, nullptr));
    int rounds = 20000, answered = 0;
    std::thread echo([&] {
        for (int i = 0; i < rounds && !WaitForSingleObject(ask.get(), 9000); ++i)
            SetEvent(done.get());
    });
    while (answered < rounds && ReleaseSemaphore(ask.get(), 1, nullptr) &&
           !WaitForSingleObject(done.get(), 9000))
        ++answered;
    echo.join();
    EXPECT_EQ(rounds, answered);
}

// Named mutexes between processes: the child program takes commands ("create
// <owned> <name>", "wait <ms>", "release", "close") and answers a line each.
class NamedMutex : public ::testing::Test {
protected:
    std::string Call(testing_support::ChildProcess& child, const std::string& command) {
        return child.Send(command) ? child.Expect("") : "";
    }
    std::string Create(testing_support::ChildProcess& child, bool owned) {
        return Call(child, "create " + std::to_string(owned) + " " + name_);
    }
    bool Start(testing_support::ChildProcess& child) { return child.Start(proctest::child_path()); }

    testing_support::TempDir runtime_;  // a test's lock files are its own
    testing_support::ScopedEnv env_{"XDG_RUNTIME_DIR", runtime_.path()};
    std::string name_ = "gamekeyDOWNLOADER_INSWND-" + std::to_string(getpid());
    std::wstring wname_ = proctest::widen(name_);
    const std::string kWaitTimeout = std::to_string(WAIT_TIMEOUT);
};

TEST_F(NamedMutex, ASecondCreateOpensTheSameMutexInThisOrAnotherProcess) {
    SetLastError(ERROR_ALREADY_EXISTS);
    Handle mine(CreateMutexW(nullptr, TRUE, wname_.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    Handle again(CreateMutexW(nullptr, TRUE, wname_.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_NE(mine.get(), again.get());
    // One object: the owner takes it again through the other handle.
    EXPECT_EQ(WaitForSingleObject(again.get(), 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(mine.get()));
    EXPECT_EQ(WaitFromOtherThread(mine.get()), kTimeout);
    testing_support::ChildProcess child;
    ASSERT_TRUE(Start(child));
    EXPECT_EQ(Create(child, true), "1 183");
    EXPECT_EQ(Call(child, "wait 0"), kWaitTimeout);  // no initial ownership of an existing one
    EXPECT_TRUE(ReleaseMutex(again.get()));
    EXPECT_EQ(Call(child, "wait 5000"), "0");
    EXPECT_EQ(WaitForSingleObject(mine.get(), 50), kTimeout);
    EXPECT_EQ(Call(child, "release"), "1 0");
}

TEST_F(NamedMutex, TheNameIsFreeAgainAfterTheLastHandleClosesOrItsProcessIsKilled) {
    testing_support::ChildProcess child;
    ASSERT_TRUE(Start(child));
    ASSERT_EQ(Create(child, true), "1 0");
    ASSERT_EQ(Call(child, "close"), "1");
    {
        Handle mine(CreateMutexW(nullptr, TRUE, wname_.c_str()));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_EQ(Create(child, false), "1 183");
        EXPECT_EQ(Call(child, "close"), "1");
    }
    EXPECT_EQ(Create(child, true), "1 0");
    child.Kill();  // a killed first copy does not block the next start
    Handle mine(CreateMutexW(nullptr, TRUE, wname_.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    testing_support::ChildProcess third;
    ASSERT_TRUE(Start(third));
    EXPECT_EQ(Create(third, true), "1 183");
    EXPECT_EQ(Call(third, "wait 0"), kWaitTimeout);
    // Names of any text are distinct mutexes.
    for (std::wstring other : {L"游戏/one\\" + wname_, std::wstring(300, L'x')}) {
        Handle h(CreateMutexW(nullptr, TRUE, other.c_str()));
        EXPECT_NE(h.get(), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    }
}

}  // namespace
