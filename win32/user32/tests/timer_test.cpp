#include "user32_test_support.h"

using namespace user32_test;

namespace {

class TimerTest : public WithWindow {};

std::vector<std::pair<HWND, UINT_PTR>> g_calls;

VOID CALLBACK RecordTimer(HWND hwnd, UINT msg, UINT_PTR id, DWORD) {
    if (msg == WM_TIMER) g_calls.emplace_back(hwnd, id);
}

TEST_F(TimerTest, TicksReachTheWindowNoFasterThanEveryTenMilliseconds) {
    // Taken before SetTimer, so a slow machine cannot shorten the measured span.
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(SetTimer(hwnd_, 1, 1, nullptr), 1u);
    MSG msg;
    while (SeenOf(WM_TIMER).size() < 5 && GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    EXPECT_GE(MsSince(start), 45);
    EXPECT_EQ(SeenOf(WM_TIMER)[0].wparam, 1u);
    // Set again, the timer starts over with its new period.
    SetTimer(hwnd_, 1, 200, nullptr);
    start = std::chrono::steady_clock::now();
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
    EXPECT_GE(MsSince(start), 150);
    // Killed, it stops; a window's timers end with it, and are its own thread's.
    EXPECT_TRUE(KillTimer(hwnd_, 1));
    EXPECT_FALSE(KillTimer(hwnd_, 1));
    HWND doomed = MakeWindow();
    SetTimer(doomed, 2, 10, nullptr);
    DestroyWindow(doomed);
    EXPECT_FALSE(KillTimer(doomed, 2));
    UINT_PTR id = 1;
    std::thread([&] { id = SetTimer(hwnd_, 3, 10, nullptr); }).join();
    EXPECT_EQ(id, 0u);
    Sleep(30);
    EXPECT_EQ(Next(), 0u);
}

TEST_F(TimerTest, ADueTimerIsOneMessageAfterThePostedOnes) {
    SetTimer(hwnd_, 1, 10, nullptr);
    Sleep(80);  // several periods unserved
    PostMessageW(hwnd_, WM_USER, 0, 0);
    EXPECT_EQ(Next(nullptr, 0, 0, PM_NOREMOVE), static_cast<UINT>(WM_USER));
    EXPECT_EQ(Next(), static_cast<UINT>(WM_USER));
    EXPECT_EQ(Next(nullptr, 0, 0, PM_NOREMOVE), static_cast<UINT>(WM_TIMER));  // left due
    EXPECT_EQ(Next(nullptr, WM_TIMER, WM_TIMER), static_cast<UINT>(WM_TIMER));
    EXPECT_EQ(Next(), 0u);
    KillTimer(hwnd_, 1);
}

TEST_F(TimerTest, ACallbackTakesTheTickAndThreadTimersGetTheirOwnIds) {
    g_calls.clear();
    SetTimer(hwnd_, 3, 10, RecordTimer);
    UINT_PTR plain = SetTimer(nullptr, 0, 10, nullptr);
    UINT_PTR with_proc = SetTimer(nullptr, 0, 10, RecordTimer);
    EXPECT_NE(plain, 0u);
    EXPECT_NE(with_proc, 0u);
    EXPECT_NE(plain, with_proc);
    bool plain_seen = false;
    MSG msg;
    while (!(plain_seen && g_calls.size() >= 2) && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && msg.wParam == 3)
            EXPECT_EQ(msg.lParam, reinterpret_cast<LPARAM>(RecordTimer));
        plain_seen |= msg.message == WM_TIMER && !msg.hwnd && msg.wParam == plain;
        DispatchMessageW(&msg);
    }
    std::sort(g_calls.begin(), g_calls.end());
    g_calls.erase(std::unique(g_calls.begin(), g_calls.end()), g_calls.end());
    EXPECT_EQ(g_calls, (std::vector<std::pair<HWND, UINT_PTR>>{{nullptr, with_proc}, {hwnd_, 3}}));
    EXPECT_TRUE(SeenOf(WM_TIMER).empty());  // the callback takes it, not the window
    // A tick already taken runs no callback once its timer is killed.
    KillTimer(nullptr, plain);
    KillTimer(nullptr, with_proc);
    g_calls.clear();
    while (GetMessageW(&msg, nullptr, 0, 0) > 0 && msg.message != WM_TIMER) {
    }
    KillTimer(hwnd_, 3);
    DispatchMessageW(&msg);
    EXPECT_TRUE(g_calls.empty());
}

// An idle loop sleeps: without timers until a message comes, with one until it is due.
TEST_F(TimerTest, AnIdleLoopSleepsUntilSomethingIsDue) {
    auto start = std::chrono::steady_clock::now();
    SetTimer(hwnd_, 1, 30, nullptr);
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 60000, QS_ALLINPUT), WAIT_OBJECT_0);
    EXPECT_GE(MsSince(start), 25);
    EXPECT_LT(MsSince(start), 30000);  // woken by the timer, not by the time-out
    SetTimer(hwnd_, 1, 50, nullptr);
    double cpu = CpuMs();
    start = std::chrono::steady_clock::now();
    int ticks = 0;
    MSG msg;
    while (MsSince(start) < 300 && GetMessageW(&msg, nullptr, 0, 0) > 0)
        ticks += msg.message == WM_TIMER;
    EXPECT_GE(ticks, 4);
    EXPECT_LT(CpuMs() - cpu, 30) << "with a timer";
    KillTimer(hwnd_, 1);
    std::thread waker = Later(300, [this] { PostMessageW(hwnd_, WM_USER, 0, 0); });
    cpu = CpuMs();
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    EXPECT_LT(CpuMs() - cpu, 20) << "without timers";
    waker.join();
}

}  // namespace
