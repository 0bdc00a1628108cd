// Threads: start, exit codes, suspension, the current-thread pseudo handle,
// priorities and termination.
#include <windows.h>
#include <process.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <utility>

#include "handle.h"

namespace {

DWORD exit_code_of(HANDLE thread) {
    DWORD code = 0xDEADBEEF;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    return code;
}

DWORD WINAPI ReturnParameterPlusOne(LPVOID p) {
    return static_cast<DWORD>(reinterpret_cast<uintptr_t>(p)) + 1;
}

DWORD WINAPI WaitForEventThenReturn7(LPVOID p) {
    WaitForSingleObject(static_cast<HANDLE>(p), INFINITE);
    return 7;
}

TEST(Threads, ThreadRunsWithItsParameterAndEndsWithItsReturnCode) {
    DWORD tid = 0;
    Handle t(
        CreateThread(nullptr, 0, ReturnParameterPlusOne, reinterpret_cast<LPVOID>(41), 0, &tid));
    ASSERT_NE(t.get(), nullptr);
    EXPECT_NE(tid, 0u);
    ASSERT_EQ(WaitForSingleObject(t.get(), 5000), WAIT_OBJECT_0);
    EXPECT_EQ(exit_code_of(t.get()), 42u);
}

TEST(Threads, ExitCodeIsStillActiveAndHandleUnsignalledWhileRunning) {
    Handle go(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    Handle t(CreateThread(nullptr, 0, WaitForEventThenReturn7, go.get(), 0, nullptr));
    ASSERT_NE(t.get(), nullptr);
    EXPECT_EQ(exit_code_of(t.get()), 259u);
    EXPECT_EQ(exit_code_of(t.get()), static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_EQ(WaitForSingleObject(t.get(), 20), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(go.get());
    ASSERT_EQ(WaitForSingleObject(t.get(), 5000), WAIT_OBJECT_0);
    EXPECT_EQ(exit_code_of(t.get()), 7u);
    // An ended thread stays signalled for every later wait.
    EXPECT_EQ(WaitForSingleObject(t.get(), 0), WAIT_OBJECT_0);
}

std::atomic<bool> g_after_exit{false};

DWORD WINAPI CallsExitThread(LPVOID) {
    ExitThread(77);
    g_after_exit = true;
    return 1;
}

TEST(Threads, ExitThreadEndsTheThreadWithItsCode) {
    Handle t(CreateThread(nullptr, 0, CallsExitThread, nullptr, 0, nullptr));
    ASSERT_EQ(WaitForSingleObject(t.get(), 5000), WAIT_OBJECT_0);
    EXPECT_EQ(exit_code_of(t.get()), 77u);
    EXPECT_FALSE(g_after_exit);
}

unsigned __stdcall RuntimeThreadReturns(void* p) {
    *static_cast<DWORD*>(p) = GetCurrentThreadId();
    return 5;
}

unsigned __stdcall RuntimeThreadEnds(void*) {
    _endthreadex(9);
    return 1;
}

TEST(Threads, BeginThreadExStartsAWaitableThreadWithItsOwnId) {
    DWORD seen = 0;
    unsigned id = 0;
    uintptr_t raw = _beginthreadex(nullptr, 0, RuntimeThreadReturns, &seen, 0, &id);
    ASSERT_NE(raw, 0u);
    Handle t(reinterpret_cast<HANDLE>(raw));
    ASSERT_EQ(WaitForSingleObject(t.get(), 5000), WAIT_OBJECT_0);
    EXPECT_EQ(exit_code_of(t.get()), 5u);
    EXPECT_EQ(seen, id);
    EXPECT_NE(seen, GetCurrentThreadId());
}

TEST(Threads, EndThreadExEndsTheThreadWithItsCode) {
    Handle t(reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, 0, RuntimeThreadEnds, nullptr, 0, nullptr)));
    ASSERT_NE(t.get(), nullptr);
    ASSERT_EQ(WaitForSingleObject(t.get(), 5000), WAIT_OBJECT_0);
    EXPECT_EQ(exit_code_of(t.get()), 9u);
}

TEST(Threads, StartingWithoutAnEntryFails) {
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    errno = 0;
    EXPECT_EQ(_beginthreadex(nullptr, 0, nullptr, nullptr, 0, nullptr), 0u);
    EXPECT_EQ(errno, EINVAL);
}

DWORD WINAPI SetFlag(LPVOID p) {
    static_cast<std::atomic<bool>*>(p)->store(true);
    return 3;
}

TEST(Threads, SuspendedThreadRunsOnlyAfterResume) {
    std::atomic<bool> ran{false};
    Handle t(CreateThread(nullptr, 0, SetFlag, &ran, CREATE_SUSPENDED, nullptr));
    ASSERT_NE(t.get(), nullptr);
    EXPECT_EQ(WaitForSingleObject(t.get(), 50), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_FALSE(ran);
    EXPECT_EQ(exit_code_of(t.get()), 259u);
    EXPECT_EQ(ResumeThread(t.get()), 1u);
    ASSERT_EQ(WaitForSingleObject(t.get(), 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(ran);
    EXPECT_EQ(exit_code_of(t.get()), 3u);
    EXPECT_EQ(ResumeThread(t.get()), 0u);
}

TEST(Threads, TerminatingASuspendedThreadEndsItWithoutRunningIt) {
    std::atomic<bool> ran{false};
    Handle t(CreateThread(nullptr, 0, SetFlag, &ran, CREATE_SUSPENDED, nullptr));
    ASSERT_TRUE(TerminateThread(t.get(), 12));
    EXPECT_EQ(WaitForSingleObject(t.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(exit_code_of(t.get()), 12u);
    Sleep(20);
    EXPECT_FALSE(ran);
}

TEST(Threads, ClosingTheHandleLetsTheThreadRunOn) {
    std::atomic<bool> ran{false};
    Handle go(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    struct Args {
        HANDLE go;
        std::atomic<bool>* ran;
    } args{go.get(), &ran};
    HANDLE t = CreateThread(
        nullptr, 64 * 1024,
        [](LPVOID p) -> DWORD {
            auto* a = static_cast<Args*>(p);
            WaitForSingleObject(a->go, INFINITE);
            a->ran->store(true);
            return 0;
        },
        &args, 0, nullptr);
    ASSERT_NE(t, nullptr);
    ASSERT_TRUE(CloseHandle(t));
    SetEvent(go.get());
    for (int i = 0; i < 500 && !ran; ++i) Sleep(10);
    EXPECT_TRUE(ran);
}

TEST(Threads, IdsAreTheProcessAndThreadIdsOfLinux) {
    EXPECT_EQ(GetCurrentProcessId(), static_cast<DWORD>(getpid()));
    EXPECT_EQ(GetCurrentThreadId(), static_cast<DWORD>(gettid()));
    DWORD other = 0;
    std::thread([&] { other = GetCurrentThreadId(); }).join();
    EXPECT_NE(other, 0u);
    EXPECT_NE(other, GetCurrentThreadId());
}

TEST(Threads, CurrentThreadPseudoHandleActsOnTheCallingThread) {
    HANDLE self = GetCurrentThread();
    EXPECT_EQ(self, reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2)));
    EXPECT_EQ(exit_code_of(self), 259u);
    EXPECT_EQ(WaitForSingleObject(self, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(CloseHandle(self));
    EXPECT_EQ(GetCurrentThread(), self);
}

TEST(Threads, DuplicatedPseudoHandleIsSignalledWhenThatThreadEnds) {
    HANDLE dup = nullptr;
    std::atomic<bool> duplicated{false};
    std::atomic<bool> leave{false};
    std::thread worker([&] {
        // -1 is the current process's pseudo handle.
        HANDLE process = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));
        DuplicateHandle(process, GetCurrentThread(), process, &dup, 0, FALSE,
                        DUPLICATE_SAME_ACCESS);
        duplicated = true;
        while (!leave) Sleep(1);
    });
    while (!duplicated) Sleep(1);
    ASSERT_NE(dup, nullptr);
    Handle h(dup);
    EXPECT_EQ(WaitForSingleObject(h.get(), 10), static_cast<DWORD>(WAIT_TIMEOUT));
    leave = true;
    worker.join();
    EXPECT_EQ(WaitForSingleObject(h.get(), 5000), WAIT_OBJECT_0);
}

TEST(Threads, PriorityIsRecordedAndUnknownValuesRefused) {
    Handle go(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    Handle t(CreateThread(nullptr, 0, WaitForEventThenReturn7, go.get(), 0, nullptr));
    EXPECT_EQ(GetThreadPriority(t.get()), THREAD_PRIORITY_NORMAL);
    for (int p :
         {THREAD_PRIORITY_LOWEST, THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_ABOVE_NORMAL,
          THREAD_PRIORITY_HIGHEST, THREAD_PRIORITY_IDLE, THREAD_PRIORITY_TIME_CRITICAL}) {
        EXPECT_TRUE(SetThreadPriority(t.get(), p));
        EXPECT_EQ(GetThreadPriority(t.get()), p);
    }
    EXPECT_FALSE(SetThreadPriority(t.get(), 3));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(GetThreadPriority(t.get()), THREAD_PRIORITY_TIME_CRITICAL);
    EXPECT_TRUE(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL));
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_BELOW_NORMAL);
    SetEvent(go.get());
    EXPECT_EQ(WaitForSingleObject(t.get(), 5000), WAIT_OBJECT_0);
}

TEST(Threads, CallsOnANonThreadHandleFailWithInvalidHandle) {
    Handle ev(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    DWORD code = 0;
    EXPECT_FALSE(GetExitCodeThread(ev.get(), &code));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(TerminateThread(ev.get(), 0));
    EXPECT_EQ(GetThreadPriority(ev.get()), THREAD_PRIORITY_ERROR_RETURN);
    EXPECT_EQ(ResumeThread(ev.get()), static_cast<DWORD>(-1));
}

struct Ticker {
    std::atomic<LONG> ticks{0};
};

DWORD WINAPI TickInSleep(LPVOID p) {
    auto* t = static_cast<Ticker*>(p);
    for (;;) {
        t->ticks++;
        Sleep(2);
    }
}

TEST(Threads, TerminateThreadSignalsAtOnceAndStopsAThreadInSleep) {
    Ticker ticker;
    Handle t(CreateThread(nullptr, 0, TickInSleep, &ticker, 0, nullptr));
    while (ticker.ticks < 3) Sleep(1);
    ASSERT_TRUE(TerminateThread(t.get(), 42));
    const LONG at_terminate = ticker.ticks;
    EXPECT_EQ(WaitForSingleObject(t.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(exit_code_of(t.get()), 42u);
    // A tick already past its Sleep may still land, however late the thread runs;
    // a thread that kept going would tick dozens of times meanwhile.
    Sleep(100);
    EXPECT_LE(ticker.ticks.load(), at_terminate + 1);
}

struct Blocked {
    HANDLE never;
    DWORD timeout;
    std::atomic<bool> waiting{false};
    std::atomic<bool> woke{false};
};

DWORD WINAPI BlockInWait(LPVOID p) {
    auto* b = static_cast<Blocked*>(p);
    b->waiting = true;
    WaitForSingleObject(b->never, b->timeout);
    b->woke = true;
    return 0;
}

TEST(Threads, TerminateThreadStopsAThreadBlockedInAWait) {
    Handle ev(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    Handle sem(CreateSemaphoreW(nullptr, 0, 1, nullptr));
    for (auto [object, timeout] : {std::pair{ev.get(), INFINITE}, std::pair{sem.get(), 60000u}}) {
        Blocked blocked;
        blocked.never = object;
        blocked.timeout = timeout;
        Handle t(CreateThread(nullptr, 0, BlockInWait, &blocked, 0, nullptr));
        while (!blocked.waiting) Sleep(1);
        Sleep(10);
        ASSERT_TRUE(TerminateThread(t.get(), 0));
        EXPECT_EQ(WaitForSingleObject(t.get(), 0), WAIT_OBJECT_0);
        EXPECT_EQ(exit_code_of(t.get()), 0u);
        // Had the thread survived, the object would release it now.
        object == ev.get() ? SetEvent(ev.get()) : ReleaseSemaphore(sem.get(), 1, nullptr);
        Sleep(50);
        EXPECT_FALSE(blocked.woke);
        // ... and the stopped thread took nothing of it.
        EXPECT_EQ(WaitForSingleObject(object, 0), WAIT_OBJECT_0);
    }
}

TEST(Threads, TerminatingAnEndedThreadKeepsItsExitCode) {
    Handle t(
        CreateThread(nullptr, 0, ReturnParameterPlusOne, reinterpret_cast<LPVOID>(1), 0, nullptr));
    ASSERT_EQ(WaitForSingleObject(t.get(), 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(TerminateThread(t.get(), 99));
    EXPECT_EQ(exit_code_of(t.get()), 2u);
}

TEST(Threads, SleepWaitsAtLeastTheRequestedTime) {
    auto start = std::chrono::steady_clock::now();
    Sleep(30);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(SleepEx(15, TRUE), 0u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(15));
}

TEST(Threads, ZeroSleepAndSwitchToThreadReturnAtOnce) {
    auto start = std::chrono::steady_clock::now();
    Sleep(0);
    EXPECT_EQ(SleepEx(0, FALSE), 0u);
    EXPECT_TRUE(SwitchToThread());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

}  // namespace
