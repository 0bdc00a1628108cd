// The toolkit's native side: the timer window, the procedure that hands a window's
// messages to the control that owns it, and a control's time callbacks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/ctrl.h"
#include "gui/timer.h"
#include "ui_loop.h"

namespace {

using gui_test::RunLoopUntil;

class Probe : public Gui::Ctrl {
public:
    LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM) override {
        if (message >= WM_USER) seen.push_back({message, wparam});
        return 12345;
    }
    std::vector<std::pair<UINT, WPARAM>> seen;
};

// A hidden window of the user-interface thread, so callbacks run on that thread.
TEST(CtrlWin32, TheTimerWindowRunsPassesEveryTenMilliseconds) {
    gui_test::StartToolkit();
    HWND timer = Gui::Ctrl::GetTimerHWND();
    EXPECT_FALSE(IsWindowVisible(timer));
    EXPECT_EQ(GetWindowThreadProcessId(timer, nullptr), GetCurrentThreadId());
    int passes = 0;
    struct Counter : Gui::Pte<Counter> {
        int* n;
        void Tick() { ++*n; }
    } counter;
    counter.n = &passes;
    Gui::SetTimeCallback(-1, Gui::MakePteCallback(&counter, &Counter::Tick), &counter);
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(RunLoopUntil([&] { return passes >= 10; }));
    EXPECT_GE(gui_test::MsSince(start), 80);  // never faster than the period
    Gui::KillTimeCallback(&counter);
}

TEST(CtrlWin32, WindowMessagesReachTheControlInTheWindowMap) {
    gui_test::StartToolkit();
    HWND hwnd = CreateWindowExW(0, L"GTK2-W", L"", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                                Gui::Ctrl::GetInstance(), nullptr);
    ASSERT_TRUE(IsWindow(hwnd));
    auto* probe = new Probe;
    Gui::Ctrl::GetWindowMap()[hwnd] = probe;
    // The procedure answers DefWindowProcW's answer, whatever the control says.
    EXPECT_EQ(SendMessageW(hwnd, WM_USER + 7, 3, 0), 0);
    PostMessageW(hwnd, 0x9401, 4, 0);
    ASSERT_TRUE(RunLoopUntil([&] { return probe->seen.size() == 2; }));
    EXPECT_EQ(probe->seen, (std::vector<std::pair<UINT, WPARAM>>{{WM_USER + 7, 3}, {0x9401, 4}}));
    delete probe;
    // The map's Ptr now reads null: the message goes to DefWindowProcW alone.
    EXPECT_EQ(SendMessageW(hwnd, WM_USER + 8, 0, 0), 0);
    Gui::Ctrl::GetWindowMap().erase(hwnd);
    DestroyWindow(hwnd);
}

TEST(CtrlWin32, ControlTimeCallbacksAreKeyedByTheControlAndASmallId) {
    gui_test::StartToolkit();
    std::vector<std::string> log;
    struct Owner : Gui::Ctrl {
        std::vector<std::string>* log;
        void A() { log->push_back("a"); }
        void B() { log->push_back("b"); }
    } owner;
    owner.log = &log;
    owner.SetTimeCallback(5000, Gui::MakePteCallback(&owner, &Owner::A), 1);
    owner.SetTimeCallback(5000, Gui::MakePteCallback(&owner, &Owner::A), 2);
    EXPECT_TRUE(owner.ExistsTimeCallback(1));
    EXPECT_TRUE(Gui::ExistsTimeCallback(reinterpret_cast<char*>(&owner) + 2));
    owner.KillTimeCallback(1);
    EXPECT_FALSE(owner.ExistsTimeCallback(1));
    EXPECT_TRUE(owner.ExistsTimeCallback(2));
    owner.KillPostCallback(Gui::MakePteCallback(&owner, &Owner::B), 2);
    ASSERT_TRUE(RunLoopUntil([&] { return !log.empty(); }));
    EXPECT_EQ(log, std::vector<std::string>{"b"});
    EXPECT_FALSE(owner.ExistsTimeCallback(2));
    // A destroyed control's entries go with it, even unguarded ones.
    static int ticks = 0;
    struct Ticker : Gui::Ctrl{void Tick(){++ticks;
}
}  // namespace
*ticker = new Ticker;
ticker->SetTimeCallback(0, Gui::MakeCallback(ticker, &Ticker::Tick), 3);
delete ticker;
Gui::ProcessTimeCallbacks(GetTickCount() + 100);
EXPECT_EQ(ticks, 0);
}

}  // namespace
