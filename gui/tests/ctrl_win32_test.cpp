// Start-up of the toolkit's native side: its classes, the timer window, and the
// procedure that hands a window's messages to the control that owns it.
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

TEST(CtrlWin32, RegistersTheToolkitClassesWithTheirStyles) {
    gui_test::StartToolkit();
    const struct {
        const wchar_t* name;
        UINT style;
    } classes[] = {
        {L"GTK2-W", 0xB},           {L"GTK2-DS-W", 0x2000B}, {L"GTK2-SB-W", 0x80B},
        {L"GTK2-SB-DS-W", 0x2080B}, {L"GTK2-A", 0xB},        {L"GTK2-SB-A", 0x80B},
    };
    HINSTANCE instance = GetModuleHandleW(nullptr);
    for (auto& c : classes) {
        WNDCLASSW wc{};
        ASSERT_TRUE(GetClassInfoW(instance, c.name, &wc)) << std::wstring(c.name).size();
        EXPECT_EQ(wc.style, c.style);
        EXPECT_EQ(wc.lpfnWndProc, &Gui::Ctrl::WndProc);
        EXPECT_EQ(wc.cbClsExtra, 0);
        EXPECT_EQ(wc.cbWndExtra, 0);
        EXPECT_EQ(wc.hbrBackground, nullptr);
        EXPECT_EQ(wc.hCursor, LoadCursorW(nullptr, IDC_ARROW));
        EXPECT_NE(wc.hCursor, nullptr);
    }
    WNDCLASSW timer{};
    ASSERT_TRUE(GetClassInfoW(instance, L"GTK2-TIMER", &timer));
    EXPECT_EQ(timer.style, 0u);
    EXPECT_EQ(timer.lpfnWndProc, &Gui::TimerWndProc);
    EXPECT_EQ(timer.hCursor, nullptr);
    EXPECT_EQ(Gui::Ctrl::GetInstance(), instance);
    EXPECT_TRUE(Gui::IsWinNT());
}

TEST(CtrlWin32, TheTimerWindowIsAHiddenWindowOfThisThread) {
    gui_test::StartToolkit();
    HWND timer = Gui::Ctrl::GetTimerHWND();
    ASSERT_TRUE(IsWindow(timer));
    EXPECT_FALSE(IsWindowVisible(timer));
    EXPECT_EQ(GetWindowThreadProcessId(timer, nullptr), GetCurrentThreadId());
    wchar_t name[32] = {};
    GetClassNameW(timer, name, 32);
    EXPECT_EQ(std::wstring(name), L"GTK2-TIMER");
    EXPECT_EQ(GetWindowTextLengthW(timer), 0);
}

TEST(CtrlWin32, TheTimerWindowRunsPassesAboutEveryTenMilliseconds) {
    gui_test::StartToolkit();
    int passes = 0;
    struct Counter : Gui::Pte<Counter> {
        int* n;
        void Tick() { ++*n; }
    } counter;
    counter.n = &passes;
    Gui::SetTimeCallback(-1, Gui::MakePteCallback(&counter, &Counter::Tick), &counter);
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(RunLoopUntil([&] { return passes >= 10; }));
    double took = gui_test::MsSince(start);
    EXPECT_GE(took, 80);
    EXPECT_LT(took, 1000);
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
    ASSERT_EQ(probe->seen.size(), 1u);
    EXPECT_EQ(probe->seen[0].first, static_cast<UINT>(WM_USER + 7));
    EXPECT_EQ(probe->seen[0].second, 3u);
    PostMessageW(hwnd, 0x9401, 4, 0);
    ASSERT_TRUE(RunLoopUntil([&] { return probe->seen.size() == 2; }));
    EXPECT_EQ(probe->seen[1].first, 0x9401u);
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
