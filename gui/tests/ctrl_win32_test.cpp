// The toolkit's native side: the timer window that runs the time callbacks on the
// user-interface thread, the procedure that hands a window's messages to its
// control, and a control's own time callbacks. How often the timer window runs is a
// figure for the round-trip benchmark, not a test.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "gui/core/thread.h"
#include "gui/ctrl.h"
#include "gui/timer.h"
#include "testing/lambda_callback.h"
#include "testing/ui_loop.h"

namespace {

using gui_test::RunLoopUntil;
using testing_support::Do;

TEST(CtrlWin32, TheTimerWindowOfThisThreadRunsThePassesFromItsTimer) {
    gui_test::StartToolkit();
    HWND timer = Gui::Ctrl::GetTimerHWND();
    EXPECT_FALSE(IsWindowVisible(timer));
    EXPECT_EQ(GetWindowThreadProcessId(timer, nullptr), GetCurrentThreadId());
    int runs = 0;
    Gui::SetTimeCallback(0, Do([&] { ++runs; }));
    for (DWORD t = GetTickCount(); GetTickCount() == t;) {
    }
    SendMessageW(timer, WM_TIMER, 1, 0);  // a pass at the current tick
    EXPECT_EQ(runs, 1);
    Gui::SetTimeCallback(-1, Do([&] { ++runs; }), &runs);
    EXPECT_TRUE(RunLoopUntil([&] { return runs >= 3; }));  // passes keep coming by themselves
    Gui::KillTimeCallback(&runs);
}

struct Receiver : Gui::Pte<Receiver> {
    std::vector<int>* log;
    std::vector<DWORD> threads;
    void Take(int v) {
        threads.push_back(GetCurrentThreadId());
        log->push_back(v);
    }
};

// Results come back as posted callbacks; one whose object died while it waited in the
// list does nothing.
TEST(CtrlWin32, CallbacksPostedFromOtherThreadsRunOnTheUserInterfaceThread) {
    gui_test::StartToolkit();
    std::vector<int> calls;
    Receiver r, *dying = new Receiver;
    r.log = dying->log = &calls;
    Gui::Thread worker;
    ASSERT_TRUE(worker.Run(Do([&] {
        Gui::PostCallback(Gui::MakePteCallback(dying, &Receiver::Take, -1));
        Gui::PostCallback(Gui::MakePteCallback(&r, &Receiver::Take, 7));
    })));
    worker.Wait();
    delete dying;
    // Many threads posting at once: the pool's stress test.
    ASSERT_TRUE(RunLoopUntil([&] { return !calls.empty(); }));
    EXPECT_EQ(calls, std::vector<int>{7});
    EXPECT_EQ(r.threads, std::vector<DWORD>{GetCurrentThreadId()});
}

class Probe : public Gui::Ctrl {
public:
    LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM) override {
        if (message >= WM_USER) seen.push_back({message, wparam});
        return 12345;
    }
    std::vector<std::pair<UINT, WPARAM>> seen;
};

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

int g_ticks = 0;

struct Owner : Gui::Ctrl {
    std::vector<std::string>* log;
    void A() { log->push_back("a"); }
    void B() { log->push_back("b"); }
    void Tick() { ++g_ticks; }
};

TEST(CtrlWin32, ControlTimeCallbacksAreKeyedByTheControlAndGoWithIt) {
    gui_test::StartToolkit();
    std::vector<std::string> log;
    Owner owner;
    owner.log = &log;
    owner.SetTimeCallback(5000, Gui::MakePteCallback(&owner, &Owner::A), 1);
    owner.SetTimeCallback(5000, Gui::MakePteCallback(&owner, &Owner::A), 2);
    EXPECT_TRUE(owner.ExistsTimeCallback(1));
    EXPECT_TRUE(Gui::ExistsTimeCallback(reinterpret_cast<char*>(&owner) + 2));
    owner.KillTimeCallback(1);
    EXPECT_TRUE(!owner.ExistsTimeCallback(1) && owner.ExistsTimeCallback(2));
    owner.KillPostCallback(Gui::MakePteCallback(&owner, &Owner::B), 2);
    ASSERT_TRUE(RunLoopUntil([&] { return !log.empty(); }));
    EXPECT_EQ(log, std::vector<std::string>{"b"});
    EXPECT_FALSE(owner.ExistsTimeCallback(2));
    // A destroyed control's entries go with it, even unguarded ones.
    auto* doomed = new Owner;
    doomed->SetTimeCallback(0, Gui::MakeCallback(doomed, &Owner::Tick), 3);
    delete doomed;
    Gui::ProcessTimeCallbacks(GetTickCount() + 100);
    EXPECT_EQ(g_ticks, 0);
}

}  // namespace
