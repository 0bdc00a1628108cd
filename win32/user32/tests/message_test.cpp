#include "user32_test_support.h"

#include <condition_variable>
#include <future>

using namespace user32_test;

namespace {

class MessageTest : public WithWindow {};

// A thread that owns a window and runs a message loop until WM_QUIT.
class LoopThread {
public:
    LoopThread() {
        std::promise<void> ready;
        thread_ = std::thread([this, &ready] {
            hwnd_ = MakeWindow();
            tid_ = GetCurrentThreadId();
            ready.set_value();
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
            DestroyWindow(hwnd_);
        });
        ready.get_future().wait();
    }
    ~LoopThread() {
        PostThreadMessageW(tid_, WM_QUIT, 0, 0);
        thread_.join();
    }
    HWND hwnd_ = nullptr;
    DWORD tid_ = 0;
    std::thread thread_;
};

TEST_F(MessageTest, PostedMessagesComeInOrderThenTheQuitRequest) {
    g_hook = [](HWND, UINT msg, WPARAM wparam, LPARAM) -> std::optional<LRESULT> {
        if (msg == WM_USER) return static_cast<LRESULT>(wparam * 2);
        return std::nullopt;
    };
    PostQuitMessage(7);
    for (int i = 0; i < 3; ++i) PostMessageW(hwnd_, WM_USER + i, i, -i);
    MSG msg;
    auto fields = [&] { return std::tuple(msg.hwnd, msg.message, msg.wParam, msg.lParam); };
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
        EXPECT_EQ(fields(), std::tuple(hwnd_, UINT(WM_USER + i), WPARAM(i), LPARAM(-i)));
        if (i == 0) EXPECT_EQ(DispatchMessageW(&msg), 0);  // the procedure's answer
    }
    // The quit request ignores the filter, and is taken once.
    EXPECT_EQ(GetMessageW(&msg, hwnd_, WM_USER, WM_USER), FALSE);
    EXPECT_EQ(fields(), std::tuple(HWND{}, UINT{WM_QUIT}, WPARAM{7}, LPARAM{0}));
    EXPECT_EQ(Next(), 0u);
    PostMessageW(hwnd_, WM_USER, 21, 0);
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(DispatchMessageW(&msg), 42);
}

TEST_F(MessageTest, PeekFiltersByRangeAndByWindowWithItsChildren) {
    HWND child = MakeWindow(WS_CHILD, hwnd_);
    HWND other = MakeWindow();
    PostMessageW(other, WM_USER + 1, 0, 0);
    PostMessageW(child, WM_USER + 2, 0, 0);
    PostMessageW(nullptr, WM_USER + 3, 0, 0);  // a thread message
    PostMessageW(hwnd_, WM_USER + 4, 0, 0);
    ASSERT_EQ(Next(nullptr, 0, 0, PM_NOREMOVE), WM_USER + 1u);  // left queued
    EXPECT_EQ(Next(nullptr, WM_USER + 3, WM_USER + 4), WM_USER + 3u);
    EXPECT_EQ(Next(hwnd_), WM_USER + 2u);  // the child's counts for its parent
    EXPECT_EQ(Next(hwnd_), WM_USER + 4u);
    EXPECT_EQ(Next(hwnd_), 0u);
    EXPECT_EQ(Next(reinterpret_cast<HWND>(-1)), 0u);
    EXPECT_EQ(Next(), WM_USER + 1u);
    // A destroyed window takes its messages along and fails as a filter.
    PostMessageW(other, WM_USER, 0, 0);
    DestroyWindow(other);
    EXPECT_EQ(Next(), 0u);
    MSG msg;
    EXPECT_EQ(Failed(GetMessageW(&msg, other, 0, 0) == -1), ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_EQ(Failed(!PostMessageW(other, WM_USER, 0, 0)), ERROR_INVALID_WINDOW_HANDLE);
}

TEST_F(MessageTest, SentMessagesRunInTheTargetThreadBeforeItsPostedOnes) {
    {
        LoopThread loop;
        // The other thread answers by sending back to this thread while this one waits.
        g_hook = [&](HWND hwnd, UINT msg, WPARAM wparam, LPARAM) -> std::optional<LRESULT> {
            if (msg == WM_USER) return static_cast<LRESULT>(wparam + 1);
            if (msg == WM_USER + 1) return InSendMessage() ? 1 : 0;
            if (msg == WM_USER + 2 && hwnd == loop.hwnd_)
                return SendMessageW(hwnd_, WM_USER, 9, 0) + 1;
            return std::nullopt;
        };
        EXPECT_EQ(SendMessageW(loop.hwnd_, WM_USER, 41, 0), 42);
        EXPECT_EQ(SeenOf(WM_USER)[0].tid, loop.tid_);
        EXPECT_EQ(SendMessageW(loop.hwnd_, WM_USER + 1, 0, 0), 1);
        EXPECT_EQ(SendMessageW(hwnd_, WM_USER + 1, 0, 0), 0);  // same thread: a plain call
        EXPECT_EQ(SendMessageW(loop.hwnd_, WM_USER + 2, 0, 0), 11);
        EXPECT_EQ(SeenOf(WM_USER).back().tid, GetCurrentThreadId());
        // A notification does not wait for the answer.
        std::atomic<bool> gate{false};
        g_hook = [&](HWND, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
            while (msg == WM_USER + 3 && !gate)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return std::nullopt;
        };
        EXPECT_TRUE(SendNotifyMessageW(loop.hwnd_, WM_USER + 3, 0, 0));
        gate = true;
        EXPECT_TRUE(PumpUntil([] { return !SeenOf(WM_USER + 3).empty(); }));
        g_hook = nullptr;
    }
    ClearLog();
    PostMessageW(hwnd_, WM_USER + 1, 0, 0);
    std::thread sender([&] { SendMessageW(hwnd_, WM_USER + 2, 0, 0); });
    while (!(HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE)) std::this_thread::yield();
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
    DispatchMessageW(&msg);
    sender.join();
    EXPECT_EQ(MessagesOf(hwnd_, {WM_USER + 1, WM_USER + 2}),
              (std::vector<UINT>{WM_USER + 2, WM_USER + 1}));
}

TEST_F(MessageTest, SendTimeoutGivesUpOnAThreadThatDoesNotPump) {
    std::promise<HWND> made;
    std::promise<void> release;
    std::thread busy([&] {
        HWND h = MakeWindow();
        made.set_value(h);
        release.get_future().wait();
        DestroyWindow(h);
    });
    HWND hwnd = made.get_future().get();
    DWORD_PTR result = 5;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Failed(SendMessageTimeoutW(hwnd, WM_USER, 0, 0, SMTO_NORMAL, 50, &result) == 0),
              ERROR_TIMEOUT);
    EXPECT_GE(MsSince(start), 45);
    release.set_value();
    busy.join();
}

TEST_F(MessageTest, ThreadMessagesNeedAQueueAndReachTheThreadsLoop) {
    std::promise<DWORD> started;
    std::promise<void> go;
    std::atomic<WPARAM> got{0};
    std::thread target([&] {
        started.set_value(GetCurrentThreadId());
        go.get_future().wait();
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // makes the queue
        while (GetMessageW(&msg, nullptr, 0, 0) > 0)
            if (msg.message == WM_USER && !msg.hwnd) got = msg.wParam;
    });
    DWORD tid = started.get_future().get();
    EXPECT_EQ(Failed(!PostThreadMessageW(tid, WM_USER, 0, 0)), ERROR_INVALID_THREAD_ID);
    go.set_value();
    while (!PostThreadMessageW(tid, WM_USER, 99, 0)) std::this_thread::yield();
    EXPECT_TRUE(PostThreadMessageW(tid, WM_QUIT, 0, 0));
    target.join();
    EXPECT_EQ(got.load(), 99u);
}

TEST_F(MessageTest, ManyThreadsPostingLoseNothing) {
    constexpr int kThreads = 4, kEach = 500;
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t)
        posters.emplace_back([=, this] {
            for (int i = 0; i < kEach; ++i) PostMessageW(hwnd_, WM_USER, t, i);
        });
    std::vector<int> next(kThreads, 0);
    int total = 0;
    MSG msg;
    while (total < kThreads * kEach && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ASSERT_EQ(msg.lParam, next[msg.wParam]++);  // each poster's order holds
        ++total;
    }
    for (auto& p : posters) p.join();
    EXPECT_EQ(total, kThreads * kEach);
}

TEST_F(MessageTest, WaitsWakeForInputOrAnEventAndTellWhatArrived) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::thread setter = Later(30, [&] { SetEvent(event); });
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 5000, QS_ALLINPUT), WAIT_OBJECT_0);
    setter.join();
    std::thread poster = Later(30, [this] { PostMessageW(hwnd_, WM_USER, 0, 0); });
    // The queue answers as one more object, after the handles.
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 5000, QS_ALLINPUT), WAIT_OBJECT_0 + 1);
    poster.join();
    CloseHandle(event);
    // Only new input counts, unless any input is asked for; a mask leaves others out.
    EXPECT_EQ(GetQueueStatus(QS_POSTMESSAGE), MAKELONG(QS_POSTMESSAGE, QS_POSTMESSAGE));
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(0, nullptr, 20, QS_ALLINPUT, 0), WAIT_TIMEOUT);
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(0, nullptr, 20, QS_ALLINPUT, MWMO_INPUTAVAILABLE),
              WAIT_OBJECT_0);
    PostMessageW(hwnd_, WM_USER, 0, 0);
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(0, nullptr, 20, QS_PAINT, 0), WAIT_TIMEOUT);
    Drain();
    EXPECT_EQ(GetQueueStatus(QS_ALLINPUT), 0u);
    std::thread late = Later(20, [this] { PostMessageW(hwnd_, WM_USER, 0, 0); });
    EXPECT_TRUE(WaitMessage());
    late.join();
}

TEST_F(MessageTest, MessagesCarryTheTickOfPostingAndRegisteredIdsAreStable) {
    DWORD before = GetTickCount();
    PostMessageW(hwnd_, WM_USER, 0, 0);
    MSG msg;
    GetMessageW(&msg, nullptr, 0, 0);
    EXPECT_TRUE(before <= msg.time && msg.time <= GetTickCount()) << before << " " << msg.time;
    EXPECT_EQ(static_cast<DWORD>(GetMessageTime()), msg.time);
    UINT a = RegisterWindowMessageW(L"TaskbarSomething");
    EXPECT_GE(a, 0xC000u);
    EXPECT_EQ(RegisterWindowMessageW(L"taskbarsomething"), a);
    EXPECT_NE(RegisterWindowMessageW(L"Other"), a);
    EXPECT_FALSE(TranslateMessage(&msg));  // no key message
}

}  // namespace
