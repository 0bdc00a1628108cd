#include "user32_test_support.h"

#include <sys/resource.h>

using namespace user32_test;

namespace {

class TimerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearLog();
        hook() = nullptr;
    }
};

double CpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

std::vector<HWND> g_proc_windows;
std::vector<UINT_PTR> g_proc_ids;

VOID CALLBACK RecordTimer(HWND hwnd, UINT msg, UINT_PTR id, DWORD) {
    if (msg != WM_TIMER) return;
    g_proc_windows.push_back(hwnd);
    g_proc_ids.push_back(id);
}

TEST_F(TimerTest, WindowTimerFiresAboutEveryTenMilliseconds) {
    HWND hwnd = MakeWindow();
    ASSERT_EQ(SetTimer(hwnd, 1, 10, nullptr), 1u);
    auto start = std::chrono::steady_clock::now();
    int ticks = 0;
    MSG msg;
    while (ticks < 20 && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && msg.hwnd == hwnd && msg.wParam == 1) ++ticks;
        DispatchMessageW(&msg);
    }
    double elapsed = MsSince(start);
    EXPECT_GE(elapsed, 190);
    EXPECT_LT(elapsed, 1000);
    EXPECT_EQ(SeenOf(WM_TIMER).size(), 20u);  // dispatched to the window procedure
    KillTimer(hwnd, 1);
    DestroyWindow(hwnd);
}

TEST_F(TimerTest, KillTimerStopsIt) {
    HWND hwnd = MakeWindow();
    SetTimer(hwnd, 5, 10, nullptr);
    MSG msg;
    ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
    EXPECT_TRUE(KillTimer(hwnd, 5));
    EXPECT_FALSE(KillTimer(hwnd, 5));
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    DestroyWindow(hwnd);
}

TEST_F(TimerTest, ADueTimerIsCoalescedNotQueuedTwice) {
    HWND hwnd = MakeWindow();
    SetTimer(hwnd, 1, 10, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(80));  // several periods unserved
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    DestroyWindow(hwnd);
}

TEST_F(TimerTest, PeekNoRemoveLeavesTheTimerDue) {
    HWND hwnd = MakeWindow();
    SetTimer(hwnd, 1, 10, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    DestroyWindow(hwnd);
}

TEST_F(TimerTest, TimersComeAfterPostedMessages) {
    HWND hwnd = MakeWindow();
    SetTimer(hwnd, 1, 10, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
    PostMessageW(hwnd, WM_USER, 0, 0);
    MSG msg;
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
    DestroyWindow(hwnd);
}

TEST_F(TimerTest, DispatchRunsTheTimerCallback) {
    g_proc_windows.clear();
    g_proc_ids.clear();
    HWND hwnd = MakeWindow();
    SetTimer(hwnd, 3, 10, RecordTimer);
    MSG msg;
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    ASSERT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
    EXPECT_EQ(msg.lParam, reinterpret_cast<LPARAM>(RecordTimer));
    DispatchMessageW(&msg);
    ASSERT_EQ(g_proc_ids.size(), 1u);
    EXPECT_EQ(g_proc_windows[0], hwnd);
    EXPECT_EQ(g_proc_ids[0], 3u);
    EXPECT_TRUE(SeenOf(WM_TIMER).empty());  // the callback takes it, not the window
    // After KillTimer a message already taken no longer runs the callback.
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    KillTimer(hwnd, 3);
    DispatchMessageW(&msg);
    EXPECT_EQ(g_proc_ids.size(), 1u);
    DestroyWindow(hwnd);
}

TEST_F(TimerTest, ThreadTimersGetTheirOwnIds) {
    g_proc_windows.clear();
    g_proc_ids.clear();
    UINT_PTR plain = SetTimer(nullptr, 0, 10, nullptr);
    UINT_PTR with_proc = SetTimer(nullptr, 0, 10, RecordTimer);
    EXPECT_NE(plain, 0u);
    EXPECT_NE(with_proc, 0u);
    EXPECT_NE(plain, with_proc);
    bool plain_seen = false;
    auto start = std::chrono::steady_clock::now();
    MSG msg;
    while (!(plain_seen && !g_proc_ids.empty()) && MsSince(start) < 3000 &&
           GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && !msg.hwnd && msg.wParam == plain) plain_seen = true;
        DispatchMessageW(&msg);
    }
    EXPECT_TRUE(plain_seen);
    ASSERT_FALSE(g_proc_ids.empty());
    EXPECT_EQ(g_proc_ids[0], with_proc);
    EXPECT_EQ(g_proc_windows[0], nullptr);
    EXPECT_TRUE(KillTimer(nullptr, plain));
    EXPECT_TRUE(KillTimer(nullptr, with_proc));
}

TEST_F(TimerTest, PeriodsBelowTenMillisecondsAreRaisedToTen) {
    HWND hwnd = MakeWindow();
    // Taken before SetTimer, so a slow machine cannot shorten the measured span.
    auto start = std::chrono::steady_clock::now();
    SetTimer(hwnd, 1, 1, nullptr);
    int ticks = 0;
    MSG msg;
    while (ticks < 5 && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER) ++ticks;
    }
    EXPECT_GE(MsSince(start), 45);
    DestroyWindow(hwnd);
}

TEST_F(TimerTest, SettingAgainReplacesTheTimer) {
    HWND hwnd = MakeWindow();
    SetTimer(hwnd, 1, 10, nullptr);
    SetTimer(hwnd, 1, 200, nullptr);
    auto start = std::chrono::steady_clock::now();
    MSG msg;
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
    EXPECT_GE(MsSince(start), 150);
    DestroyWindow(hwnd);
}

TEST_F(TimerTest, DestroyingTheWindowEndsItsTimers) {
    HWND hwnd = MakeWindow();
    SetTimer(hwnd, 1, 10, nullptr);
    DestroyWindow(hwnd);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_FALSE(KillTimer(hwnd, 1));
}

TEST_F(TimerTest, AnotherThreadCannotSetATimerOnTheWindow) {
    HWND hwnd = MakeWindow();
    UINT_PTR id = 1;
    std::thread([&] { id = SetTimer(hwnd, 1, 10, nullptr); }).join();
    EXPECT_EQ(id, 0u);
    DestroyWindow(hwnd);
}

TEST_F(TimerTest, MsgWaitWakesForADueTimer) {
    HWND hwnd = MakeWindow();
    auto start = std::chrono::steady_clock::now();
    SetTimer(hwnd, 1, 30, nullptr);
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 2000, QS_ALLINPUT),
              static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_GE(MsSince(start), 25);
    EXPECT_LT(MsSince(start), 1000);
    DestroyWindow(hwnd);
}

TEST_F(TimerTest, AnIdleLoopWithATimerSleepsBetweenTicks) {
    HWND hwnd = MakeWindow();
    SetTimer(hwnd, 1, 50, nullptr);
    double cpu_before = CpuMs();
    auto start = std::chrono::steady_clock::now();
    int ticks = 0;
    MSG msg;
    while (MsSince(start) < 300 && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER) ++ticks;
        DispatchMessageW(&msg);
    }
    double cpu = CpuMs() - cpu_before;
    EXPECT_GE(ticks, 4);
    EXPECT_LE(ticks, 7);
    EXPECT_LT(cpu, 30) << "the loop burned " << cpu << " ms of CPU in " << MsSince(start) << " ms";
    DestroyWindow(hwnd);
}

TEST_F(TimerTest, AnIdleLoopWithoutTimersNeverWakes) {
    HWND hwnd = MakeWindow();
    std::thread waker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        PostMessageW(hwnd, WM_USER, 0, 0);
    });
    double cpu_before = CpuMs();
    MSG msg;
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    double cpu = CpuMs() - cpu_before;
    waker.join();
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    EXPECT_LT(cpu, 20);
    DestroyWindow(hwnd);
}

}  // namespace
