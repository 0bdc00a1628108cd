#include "user32_test_support.h"

#include <condition_variable>

using namespace user32_test;

namespace {

class MessageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearLog();
        hook() = nullptr;
    }
    void TearDown() override { hook() = nullptr; }
};

// A thread that owns a window and runs a message loop until WM_QUIT.
class LoopThread {
public:
    LoopThread() {
        thread_ = std::thread([this] {
            HWND hwnd = MakeWindow();
            {
                std::lock_guard lock(mu_);
                hwnd_ = hwnd;
                tid_ = GetCurrentThreadId();
            }
            cv_.notify_all();
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
            DestroyWindow(hwnd);
        });
        std::unique_lock lock(mu_);
        cv_.wait(lock, [this] { return hwnd_ != nullptr; });
    }
    ~LoopThread() {
        PostThreadMessageW(tid_, WM_QUIT, 0, 0);
        thread_.join();
    }
    HWND hwnd() const { return hwnd_; }
    DWORD tid() const { return tid_; }

private:
    std::mutex mu_;
    std::condition_variable cv_;
    HWND hwnd_ = nullptr;
    DWORD tid_ = 0;
    std::thread thread_;
};

TEST_F(MessageTest, PostedMessagesArriveInOrderWithTheirParameters) {
    HWND hwnd = MakeWindow();
    for (int i = 0; i < 5; ++i) PostMessageW(hwnd, WM_USER + i, i, -i);
    MSG msg;
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
        EXPECT_EQ(msg.hwnd, hwnd);
        EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + i));
        EXPECT_EQ(msg.wParam, static_cast<WPARAM>(i));
        EXPECT_EQ(msg.lParam, -i);
    }
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    DestroyWindow(hwnd);
}

TEST_F(MessageTest, DispatchRunsTheWindowProcedureAndAnswersItsResult) {
    HWND hwnd = MakeWindow();
    hook() = [](HWND, UINT msg, WPARAM wparam, LPARAM) -> std::optional<LRESULT> {
        if (msg == WM_USER) return static_cast<LRESULT>(wparam * 2);
        return std::nullopt;
    };
    PostMessageW(hwnd, WM_USER, 21, 0);
    MSG msg;
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(DispatchMessageW(&msg), 42);
    EXPECT_EQ(SeenOf(WM_USER).size(), 1u);
    DestroyWindow(hwnd);
}

TEST_F(MessageTest, QuitIsDeliveredAfterThePostedMessages) {
    HWND hwnd = MakeWindow();
    PostQuitMessage(7);
    PostMessageW(hwnd, WM_USER + 1, 0, 0);
    PostMessageW(hwnd, WM_USER + 2, 0, 0);
    MSG msg;
    ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
    ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 2));
    EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));  // taken once
    DestroyWindow(hwnd);
}

TEST_F(MessageTest, QuitIgnoresTheMessageFilter) {
    HWND hwnd = MakeWindow();
    PostQuitMessage(3);
    MSG msg;
    EXPECT_EQ(GetMessageW(&msg, hwnd, WM_USER, WM_USER), FALSE);
    EXPECT_EQ(msg.wParam, 3u);
    DestroyWindow(hwnd);
}

TEST_F(MessageTest, PeekNoRemoveLeavesTheMessageQueued) {
    HWND hwnd = MakeWindow();
    PostMessageW(hwnd, WM_USER, 1, 2);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 1u);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
    DestroyWindow(hwnd);
}

TEST_F(MessageTest, PeekFiltersByRangeAndByWindowWithItsChildren) {
    HWND a = MakeWindow();
    HWND child = MakeWindow(WS_CHILD, a);
    HWND b = MakeWindow();
    PostMessageW(b, WM_USER + 1, 0, 0);
    PostMessageW(child, WM_USER + 2, 0, 0);
    PostMessageW(nullptr, WM_USER + 3, 0, 0);  // a thread message
    PostMessageW(a, WM_USER + 4, 0, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_USER + 3, WM_USER + 4, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 3));
    EXPECT_EQ(msg.hwnd, nullptr);
    ASSERT_TRUE(PeekMessageW(&msg, a, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 2));  // the child's counts for a
    ASSERT_TRUE(PeekMessageW(&msg, a, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 4));
    EXPECT_FALSE(PeekMessageW(&msg, a, 0, 0, PM_REMOVE));
    EXPECT_FALSE(PeekMessageW(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE));
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, b);
    DestroyWindow(a);
    DestroyWindow(b);
}

TEST_F(MessageTest, AnInvalidWindowFilterFails) {
    HWND hwnd = MakeWindow();
    DestroyWindow(hwnd);
    MSG msg;
    EXPECT_EQ(GetMessageW(&msg, hwnd, 0, 0), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(PeekMessageW(&msg, hwnd, 0, 0, PM_REMOVE));
    EXPECT_FALSE(PostMessageW(hwnd, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(MessageTest, MessagesOfADestroyedWindowAreDropped) {
    HWND hwnd = MakeWindow();
    PostMessageW(hwnd, WM_USER, 0, 0);
    DestroyWindow(hwnd);
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageTest, SendAcrossThreadsRunsInTheTargetThreadAndAnswers) {
    LoopThread loop;
    hook() = [](HWND, UINT msg, WPARAM wparam, LPARAM) -> std::optional<LRESULT> {
        if (msg == WM_USER) return static_cast<LRESULT>(wparam + 1);
        if (msg == WM_USER + 1) return InSendMessage() ? 1 : 0;
        return std::nullopt;
    };
    EXPECT_EQ(SendMessageW(loop.hwnd(), WM_USER, 41, 0), 42);
    auto seen = SeenOf(WM_USER);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].tid, loop.tid());
    EXPECT_NE(seen[0].tid, GetCurrentThreadId());
    EXPECT_EQ(SendMessageW(loop.hwnd(), WM_USER + 1, 0, 0), 1);
    HWND mine = MakeWindow();
    EXPECT_EQ(SendMessageW(mine, WM_USER + 1, 0, 0), 0);  // same thread: a plain call
    DestroyWindow(mine);
}

TEST_F(MessageTest, SentMessagesComeBeforePostedOnes) {
    HWND hwnd = MakeWindow();
    PostMessageW(hwnd, WM_USER + 1, 0, 0);
    std::thread sender([&] { SendMessageW(hwnd, WM_USER + 2, 0, 0); });
    // Waits until the sent message is queued.
    while (!(HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE)) std::this_thread::yield();
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
    DispatchMessageW(&msg);
    sender.join();
    std::vector<UINT> expected{WM_USER + 2, WM_USER + 1};
    EXPECT_EQ(MessagesOf(hwnd, {WM_USER + 1, WM_USER + 2}), expected);
    DestroyWindow(hwnd);
}

TEST_F(MessageTest, AWaitingSenderStillHandlesMessagesSentToIt) {
    HWND mine = MakeWindow();
    LoopThread loop;
    // The other thread answers by sending back to this thread while this one waits.
    hook() = [&](HWND hwnd, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (msg == WM_USER && hwnd == loop.hwnd()) return SendMessageW(mine, WM_USER + 1, 0, 0) + 1;
        if (msg == WM_USER + 1 && hwnd == mine) return 10;
        return std::nullopt;
    };
    EXPECT_EQ(SendMessageW(loop.hwnd(), WM_USER, 0, 0), 11);
    auto inner = SeenOf(WM_USER + 1);
    ASSERT_EQ(inner.size(), 1u);
    EXPECT_EQ(inner[0].tid, GetCurrentThreadId());
    DestroyWindow(mine);
}

TEST_F(MessageTest, SendTimeoutGivesUpOnAThreadThatDoesNotPump) {
    HWND hwnd = nullptr;
    std::mutex mu;
    std::condition_variable cv;
    bool release = false;
    std::thread busy([&] {
        HWND h = MakeWindow();
        {
            std::unique_lock lock(mu);
            hwnd = h;
            cv.notify_all();
            cv.wait(lock, [&] { return release; });
        }
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        DestroyWindow(h);
    });
    {
        std::unique_lock lock(mu);
        cv.wait(lock, [&] { return hwnd != nullptr; });
    }
    DWORD_PTR result = 5;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SendMessageTimeoutW(hwnd, WM_USER, 0, 0, SMTO_NORMAL, 50, &result), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
    EXPECT_GE(MsSince(start), 45);
    EXPECT_LT(MsSince(start), 2000);
    {
        std::lock_guard lock(mu);
        release = true;
    }
    cv.notify_all();
    busy.join();
}

TEST_F(MessageTest, SendNotifyDoesNotWaitForTheAnswer) {
    LoopThread loop;
    std::atomic<bool> gate{false};
    hook() = [&](HWND, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (msg == WM_USER) {
            while (!gate.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return std::nullopt;
    };
    EXPECT_TRUE(SendNotifyMessageW(loop.hwnd(), WM_USER, 0, 0));
    gate = true;  // it returned while the target was still blocked
    EXPECT_TRUE(PumpUntil([] { return !SeenOf(WM_USER).empty(); }));
}

TEST_F(MessageTest, ThreadMessagesNeedTheThreadToHaveAQueue) {
    DWORD tid = 0;
    std::mutex mu;
    std::condition_variable cv;
    bool posted = false;
    std::thread target([&] {
        {
            std::unique_lock lock(mu);
            tid = GetCurrentThreadId();
            cv.notify_all();
            cv.wait(lock, [&] { return posted; });
        }
    });
    {
        std::unique_lock lock(mu);
        cv.wait(lock, [&] { return tid != 0; });
    }
    EXPECT_FALSE(PostThreadMessageW(tid, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_THREAD_ID));
    {
        std::lock_guard lock(mu);
        posted = true;
    }
    cv.notify_all();
    target.join();
}

TEST_F(MessageTest, ThreadMessagesReachTheThreadLoop) {
    std::atomic<DWORD> tid{0};
    std::atomic<WPARAM> got{0};
    std::thread target([&] {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // makes the queue
        tid = GetCurrentThreadId();
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (msg.message == WM_USER && msg.hwnd == nullptr) got = msg.wParam;
        }
    });
    while (!tid) std::this_thread::yield();
    EXPECT_TRUE(PostThreadMessageW(tid, WM_USER, 99, 0));
    EXPECT_TRUE(PostThreadMessageW(tid, WM_QUIT, 0, 0));
    target.join();
    EXPECT_EQ(got.load(), 99u);
}

TEST_F(MessageTest, ManyThreadsPostingLoseNothing) {
    HWND hwnd = MakeWindow();
    constexpr int kThreads = 4, kEach = 500;
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t) {
        posters.emplace_back([=] {
            for (int i = 0; i < kEach; ++i) PostMessageW(hwnd, WM_USER, t, i);
        });
    }
    std::vector<int> next(kThreads, 0);
    int total = 0;
    MSG msg;
    while (total < kThreads * kEach && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ASSERT_EQ(msg.lParam, next[msg.wParam]++);  // each poster's order holds
        ++total;
    }
    for (auto& p : posters) p.join();
    EXPECT_EQ(total, kThreads * kEach);
    DestroyWindow(hwnd);
}

TEST_F(MessageTest, MsgWaitWakesWhenAnotherThreadPosts) {
    HWND hwnd = MakeWindow();
    auto start = std::chrono::steady_clock::now();
    std::thread poster([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        PostMessageW(hwnd, WM_USER, 0, 0);
    });
    DWORD r = MsgWaitForMultipleObjects(0, nullptr, FALSE, 5000, QS_ALLINPUT);
    double waited = MsSince(start);
    poster.join();
    EXPECT_EQ(r, static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_GE(waited, 25);
    EXPECT_LT(waited, 2000);
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    DestroyWindow(hwnd);
}

TEST_F(MessageTest, MsgWaitReturnsAnEventSetByAnotherThreadOrTheQueueAfterIt) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    auto start = std::chrono::steady_clock::now();
    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        SetEvent(event);
    });
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 5000, QS_ALLINPUT),
              static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_GE(MsSince(start), 25);
    setter.join();
    // The queue answers as one more object, after the handles.
    PostMessageW(nullptr, WM_USER, 0, 0);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 5000, QS_ALLINPUT),
              static_cast<DWORD>(WAIT_OBJECT_0 + 1));
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    CloseHandle(event);
}

TEST_F(MessageTest, MsgWaitTimesOutWithoutInput) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 40, QS_ALLINPUT),
              static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_GE(MsSince(start), 35);
}

TEST_F(MessageTest, MsgWaitCountsOnlyNewInputUnlessAskedForAnyInput) {
    HWND hwnd = MakeWindow();
    PostMessageW(hwnd, WM_USER, 0, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));  // seen, still queued
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(0, nullptr, 20, QS_ALLINPUT, 0),
              static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(0, nullptr, 20, QS_ALLINPUT, MWMO_INPUTAVAILABLE),
              static_cast<DWORD>(WAIT_OBJECT_0));
    // A mask without posted messages ignores them.
    PostMessageW(hwnd, WM_USER, 0, 0);
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(0, nullptr, 20, QS_PAINT, 0),
              static_cast<DWORD>(WAIT_TIMEOUT));
    DestroyWindow(hwnd);
}

TEST_F(MessageTest, WaitMessageReturnsWhenAMessageArrives) {
    HWND hwnd = MakeWindow();
    std::thread poster([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        PostMessageW(hwnd, WM_USER, 0, 0);
    });
    EXPECT_TRUE(WaitMessage());
    poster.join();
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    DestroyWindow(hwnd);
}

TEST_F(MessageTest, QueueStatusReportsWhatArrivedAndWhatIsThere) {
    HWND hwnd = MakeWindow();
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    EXPECT_EQ(GetQueueStatus(QS_ALLINPUT), 0u);
    PostMessageW(hwnd, WM_USER, 0, 0);
    DWORD status = GetQueueStatus(QS_POSTMESSAGE);
    EXPECT_TRUE(HIWORD(status) & QS_POSTMESSAGE);
    EXPECT_TRUE(LOWORD(status) & QS_POSTMESSAGE);
    status = GetQueueStatus(QS_POSTMESSAGE);  // no longer new, still there
    EXPECT_TRUE(HIWORD(status) & QS_POSTMESSAGE);
    EXPECT_FALSE(LOWORD(status) & QS_POSTMESSAGE);
    DestroyWindow(hwnd);
}

TEST_F(MessageTest, MessageTimeIsTheTickOfPosting) {
    HWND hwnd = MakeWindow();
    DWORD before = GetTickCount();
    PostMessageW(hwnd, WM_USER, 0, 0);
    DWORD after = GetTickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    PostMessageW(hwnd, WM_USER, 0, 0);
    MSG first, second;
    GetMessageW(&first, nullptr, 0, 0);
    LONG t1 = GetMessageTime();
    GetMessageW(&second, nullptr, 0, 0);
    LONG t2 = GetMessageTime();
    EXPECT_EQ(static_cast<DWORD>(t1), first.time);
    EXPECT_LE(before, first.time);
    EXPECT_GE(after, first.time);
    EXPECT_GE(t2 - t1, 25);
    EXPECT_LT(t2 - t1, 2000);
    DestroyWindow(hwnd);
}

TEST_F(MessageTest, RegisteredMessagesAreStablePerName) {
    UINT a = RegisterWindowMessageW(L"TaskbarSomething");
    EXPECT_GE(a, 0xC000u);
    EXPECT_LE(a, 0xFFFFu);
    EXPECT_EQ(RegisterWindowMessageW(L"taskbarsomething"), a);
    EXPECT_NE(RegisterWindowMessageW(L"Other"), a);
}

TEST_F(MessageTest, TranslateHasNothingToTranslateInAPostedMessage) {
    MSG msg{};
    msg.message = WM_USER;
    EXPECT_FALSE(TranslateMessage(&msg));
}

}  // namespace
