// Threads: start, exit codes, suspension, the current-thread pseudo handle,
// priorities, termination and sleeping.
#include <windows.h>
#include <process.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "kernel_test.h"
#include "testing/wait_until.h"

namespace {

DWORD ExitCodeOf(HANDLE thread) {
    DWORD code = 0xDEADBEEF;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    return code;
}

DWORD WINAPI ReturnParameterPlusOne(LPVOID p) { return DWORD(uintptr_t(p)) + 1; }
DWORD WINAPI WaitForEventThenReturn7(LPVOID p) { return WaitForSingleObject(p, INFINITE) + 7; }
DWORD WINAPI CallsExitThread(LPVOID) {
    ExitThread(77);
    return 1;
}
std::atomic<bool> g_ran_on{false};
DWORD WINAPI WaitThenFlag(LPVOID go) {
    WaitForSingleObject(go, INFINITE);
    g_ran_on = true;
    return 0;
}
DWORD WINAPI SetFlag(LPVOID p) {
    static_cast<std::atomic<bool>*>(p)->store(true);
    return 3;
}
unsigned __stdcall RuntimeThreadReturns(void* p) {
    *static_cast<DWORD*>(p) = GetCurrentThreadId();
    return 5;
}
unsigned __stdcall RuntimeThreadEnds(void*) {
    _endthreadex(9);
    return 1;
}

TEST(Threads, AThreadEndsWithItsCodeHoweverItEnds) {
    DWORD tid = 0, seen = 0;
    unsigned id = 0;
    HANDLE threads[] = {
        CreateThread(nullptr, 0, ReturnParameterPlusOne, LPVOID(41), 0, &tid),
        CreateThread(nullptr, 0, CallsExitThread, nullptr, 0, nullptr),
        HANDLE(_beginthreadex(nullptr, 0, RuntimeThreadReturns, &seen, 0, &id)),
        HANDLE(_beginthreadex(nullptr, 0, RuntimeThreadEnds, nullptr, 0, nullptr)),
    };
    const DWORD codes[] = {42, 77, 5, 9};
    for (int i = 0; i < 4; ++i) {
        Handle t(threads[i]);
        ASSERT_EQ(WaitForSingleObject(t.get(), 5000), WAIT_OBJECT_0) << i;
        EXPECT_EQ(ExitCodeOf(t.get()), codes[i]);
        EXPECT_EQ(WaitForSingleObject(t.get(), 0), WAIT_OBJECT_0);  // and stays signalled
    }
    EXPECT_NE(tid, 0u);
    EXPECT_EQ(seen, id);
    EXPECT_EQ(Failed(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr) == nullptr),
              ERROR_INVALID_PARAMETER);
    errno = 0;
    EXPECT_EQ(_beginthreadex(nullptr, 0, nullptr, nullptr, 0, nullptr), 0u);
    EXPECT_EQ(errno, EINVAL);

    // Until then its code is STILL_ACTIVE and its handle unsignalled, and closing
    // the handle lets it run on.
    Handle go(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    Handle running(CreateThread(nullptr, 0, WaitForEventThenReturn7, go.get(), 0, nullptr));
    EXPECT_EQ(ExitCodeOf(running.get()), static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_EQ(WaitForSingleObject(running.get(), 20), static_cast<DWORD>(WAIT_TIMEOUT));
    ASSERT_TRUE(CloseHandle(CreateThread(nullptr, 64 * 1024, WaitThenFlag, go.get(), 0, nullptr)));
    SetEvent(go.get());
    ASSERT_EQ(WaitForSingleObject(running.get(), 5000), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCodeOf(running.get()), 7u);
    EXPECT_TRUE(testing_support::WaitUntil([] { return g_ran_on.load(); }, 10000));
}

TEST(Threads, ASuspendedThreadRunsOnlyAfterResumeOrNeverWhenTerminated) {
    std::atomic<bool> ran{false}, never{false};
    Handle t(CreateThread(nullptr, 0, SetFlag, &ran, CREATE_SUSPENDED, nullptr));
    Handle doomed(CreateThread(nullptr, 0, SetFlag, &never, CREATE_SUSPENDED, nullptr));
    EXPECT_EQ(WaitForSingleObject(t.get(), 50), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(ResumeThread(t.get()), 1u);
    ASSERT_EQ(WaitForSingleObject(t.get(), 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(ran);
    EXPECT_TRUE(TerminateThread(t.get(), 99));  // an ended thread keeps its code
    EXPECT_EQ(ExitCodeOf(t.get()), 3u);
    ASSERT_TRUE(TerminateThread(doomed.get(), 12));
    EXPECT_EQ(ExitCodeOf(doomed.get()), 12u);
    Sleep(20);
    EXPECT_FALSE(never);
}

TEST(Threads, IdsAreLinuxsAndTheCurrentThreadsPseudoHandleActsOnTheCaller) {
    EXPECT_EQ(GetCurrentProcessId(), static_cast<DWORD>(getpid()));
    EXPECT_EQ(GetCurrentThreadId(), static_cast<DWORD>(gettid()));
    HANDLE self = GetCurrentThread();
    EXPECT_EQ(self, reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2)));
    EXPECT_EQ(ExitCodeOf(self), 259u);
    EXPECT_EQ(WaitForSingleObject(self, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(CloseHandle(self));
    EXPECT_EQ(GetCurrentThread(), self);

    // Duplicated, it names that thread, signalled when it ends.
    HANDLE dup = nullptr;
    std::thread([&] {
        DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &dup, 0,
                        FALSE, DUPLICATE_SAME_ACCESS);
        EXPECT_EQ(WaitForSingleObject(dup, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    }).join();
    Handle h(dup);
    EXPECT_EQ(WaitForSingleObject(h.get(), 5000), WAIT_OBJECT_0);
}

TEST(Threads, PrioritiesAreRecordedAndOnlyThreadsHaveThem) {
    Handle go(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    Handle t(CreateThread(nullptr, 0, WaitForEventThenReturn7, go.get(), 0, nullptr));
    EXPECT_TRUE(SetThreadPriority(t.get(), THREAD_PRIORITY_TIME_CRITICAL));
    EXPECT_EQ(Failed(!SetThreadPriority(t.get(), 3)), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(GetThreadPriority(t.get()), THREAD_PRIORITY_TIME_CRITICAL);
    SetEvent(go.get());
    DWORD code = 0;
    EXPECT_EQ(Failed(!GetExitCodeThread(go.get(), &code)), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(TerminateThread(go.get(), 0));
    EXPECT_FALSE(SetThreadPriority(go.get(), THREAD_PRIORITY_NORMAL));
}

struct Victim {
    HANDLE object;  // null: tick in Sleep
    std::atomic<LONG> ticks{0};
    std::atomic<bool> woke{false};
};

DWORD WINAPI TickOrWait(LPVOID p) {
    auto* v = static_cast<Victim*>(p);
    for (;; Sleep(2)) {
        v->ticks++;
        if (v->object) {
            WaitForSingleObject(v->object, 60000);
            v->woke = true;
        }
    }
}

TEST(Threads, TerminateThreadSignalsAtOnceAndStopsTheThreadInSleepOrAWait) {
    Handle ev(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    Handle sem(CreateSemaphoreW(nullptr, 0, 1, nullptr));
    for (HANDLE object : {HANDLE{}, ev.get(), sem.get()}) {
        Victim v{object};
        Handle t(CreateThread(nullptr, 0, TickOrWait, &v, 0, nullptr));
        testing_support::WaitUntil([&] { return v.ticks >= 3 || (object && v.ticks > 0); }, 10000);
        Sleep(10);
        ASSERT_TRUE(TerminateThread(t.get(), 42));
        const LONG at_terminate = v.ticks;
        EXPECT_EQ(WaitForSingleObject(t.get(), 0), WAIT_OBJECT_0);
        EXPECT_EQ(ExitCodeOf(t.get()), 42u);
        // Had the thread survived, the object would release it now.
        if (object) object == ev.get() ? SetEvent(ev.get()) : ReleaseSemaphore(sem.get(), 1, 0);
        // A tick already past its Sleep may still land, however late the thread runs;
        // a thread that kept going would tick dozens of times meanwhile.
        Sleep(100);
        EXPECT_LE(v.ticks.load(), at_terminate + 1);
        EXPECT_FALSE(v.woke);
        // ... and the stopped thread took nothing of it.
        if (object) {
            EXPECT_EQ(WaitForSingleObject(object, 0), WAIT_OBJECT_0);
        }
    }
}

TEST(Threads, SleepWaitsAtLeastTheRequestedTime) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SleepEx(30, TRUE), 0u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}

}  // namespace
