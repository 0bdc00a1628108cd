// Mouse dispatch through a real pop-up window: hit-testing, enter and leave,
// capture, the synthesised drag, triple click, repeat and hold, focus and cursor.
// Time moves only by WIN32_TICK_START and timer passes run at chosen ticks.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include "ctrl_support.h"
#include "gui/timer.h"
#include "testing/scoped_env.h"

namespace {

using ctrl_test::g_log;
using ctrl_test::Probe;
using ctrl_test::TopProbe;
using Gui::Ctrl;
using Gui::Point;
using Log = std::vector<std::string>;

void Keys(std::initializer_list<int> down) {
    BYTE state[256] = {};
    for (int vk : down) state[vk] = 0x80;
    SetKeyboardState(state);
}

// The clock starts from t now and runs on, so what a test does after it may see a few
// ticks more; Seen(t) keeps the most seen so far in g_late.
DWORD g_late = 0;
void SetTick(DWORD t) {
    setenv("WIN32_TICK_START", std::to_string(t).c_str(), 1);
    GetTickCount();  // takes the new start now
}
void Seen(DWORD t) { g_late = std::max<DWORD>(g_late, GetTickCount() - t); }

class CtrlInput : public ::testing::Test {
protected:
    void SetUp() override {
        top.Add(c.LeftPos(0, 100).TopPos(0, 100));
        top.Add(d.LeftPos(120, 50).TopPos(50, 50));
        SetCursorPos(150, 100);  // over "c" at top (50, 50)
        g_log.clear();
    }
    void TearDown() override {
        Keys({});
        Ctrl::ResetMouseState();
        Ctrl::ReleaseCtrlCapture();
    }
    // Timer passes at every tick up to `to`; the ticks at which events arrived.
    std::multimap<std::string, DWORD> RunTo(DWORD from, DWORD to) {
        std::multimap<std::string, DWORD> seen;
        for (DWORD t = from; t <= to; ++t) {
            g_log.clear();
            SetTick(t);
            Gui::ProcessTimeCallbacks(t);
            late_[t - from] = GetTickCount() - t;
            Seen(t);
            for (auto& e : g_log) seen.emplace(e, t - from);
        }
        return seen;
    }
    std::map<DWORD, DWORD> late_;  // ticks a pass at each step was seen late
    testing_support::ScopedEnv tick_{"WIN32_TICK_START", "100000"};
    TopProbe top;
    Probe c{"c"}, d{"d"};
};

TEST_F(CtrlInput, ADragFiresOnceWhenTheMoveExceedsTheThreshold) {
    Keys({VK_LBUTTON});
    for (int x : {10, 14, 15, 20})
        top.Press(x == 10 ? Ctrl::LEFTDOWN : Ctrl::MOUSEMOVE, Point(x, 10));
    EXPECT_EQ(g_log, (Log{"c:10@10,10", "c:81@10,10", "c:20@14,10", "c:c1@10,10", "c:20@15,10",
                          "c:20@20,10"}));
    EXPECT_TRUE(c.last_keys & Ctrl::K_MOUSELEFT);
    top.Press(Ctrl::LEFTDOWN, Point(10, 10));
    top.Press(Ctrl::LEFTUP, Point(10, 10));  // a release forgets the press
    g_log.clear();
    top.Press(Ctrl::MOUSEMOVE, Point(30, 10));
    EXPECT_EQ(g_log, Log{"c:20@30,10"});
}

// Within the double-click time (500 ms) and threshold of a double click, a press is a
// triple click; the times keep far from the limit, as the clock runs on between ticks.
TEST_F(CtrlInput, APressSoonAfterADoubleClickIsATripleClick) {
    top.Press(Ctrl::LEFTDOWN, Point(10, 10));
    top.Press(Ctrl::LEFTUP, Point(10, 10));
    SetTick(200000);
    top.Press(Ctrl::LEFTDOUBLE, Point(10, 10));
    top.Press(Ctrl::LEFTUP, Point(10, 10));
    const struct {
        DWORD later;
        int dx;
        const char* seen;
    } rows[] = {{250, 3, "c:e1@13,10"}, {250, 4, "c:81@14,10"}, {750, 0, "c:81@10,10"}};
    for (const auto& row : rows) {
        SetTick(200000 + row.later);
        g_log.clear();
        top.Press(Ctrl::LEFTDOWN, Point(10 + row.dx, 10));
        top.Press(Ctrl::LEFTUP, Point(10 + row.dx, 10));
        EXPECT_EQ(g_log.front(), row.seen);
    }
}

// Passes come at every tick. The press and the repeat starter schedule from the running
// clock, so what they schedule comes later by as many ticks as they were seen late.
TEST_F(CtrlInput, RepeatAndHoldFollowTheKeyboardDelayAndSpeed) {
    SetCursorPos(235, 115);  // over "d" at its (15, 15)
    Keys({VK_LBUTTON});
    SetTick(100000);
    g_late = 0;
    top.Press(Ctrl::LEFTDOWN, Point(135, 65));
    Seen(100000);
    auto seen = RunTo(100000, 100990);
    // Delay setting 1: 437 ms, then a repeat every 1000 / (31 + 2) ms.
    auto repeats = seen.equal_range("d:b1@15,15");
    ASSERT_GE(std::distance(repeats.first, repeats.second), 10);
    EXPECT_GE(repeats.first->second, 437u + 1 + 30 + 1);
    EXPECT_LE(repeats.first->second, 437u + 1 + 30 + 1 + 2 * g_late);
    EXPECT_GE(std::next(repeats.first)->second - repeats.first->second, 31u);
    EXPECT_LE(std::next(repeats.first)->second - repeats.first->second,
              31u + late_[repeats.first->second]);
    ASSERT_EQ(seen.count("d:d1@15,15"), 1u);
    EXPECT_GE(seen.find("d:d1@15,15")->second, 2u * 437 + 1);
    EXPECT_LE(seen.find("d:d1@15,15")->second, 2u * 437 + 1 + g_late);
    Keys({});
    EXPECT_EQ(RunTo(101000, 101100).count("d:b1@15,15"), 0u);
}

TEST_F(CtrlInput, ARightRepeatStopsWithTheForegroundALeftOneDoesNot) {
    TopProbe other(Gui::RectC(600, 50, 10, 10), "other");
    for (int button : {Ctrl::RIGHT, Ctrl::LEFT}) {
        Keys({button == Ctrl::RIGHT ? VK_RBUTTON : VK_LBUTTON});
        SetForegroundWindow(top.hwnd);
        SetTick(300000);
        top.Press(Ctrl::DOWN | button, Point(50, 50));
        EXPECT_GE(RunTo(300000, 300600).size(), 2u);
        SetForegroundWindow(other.hwnd);
        const size_t later = RunTo(300601, 301000).size();
        EXPECT_TRUE(button == Ctrl::RIGHT ? later == 0 : later >= 3) << later;
        top.Press(Ctrl::UP | button, Point(50, 50));
    }
}

TEST_F(CtrlInput, ACapturedControlGetsMovesOutsideItsRectInItsOwnCoordinates) {
    Keys({VK_LBUTTON});
    top.Press(Ctrl::MOUSEMOVE, Point(10, 20));
    EXPECT_TRUE(d.SetCapture() && d.HasCapture() && Ctrl::GetMouseCtrl() == &d);
    g_log.clear();
    top.Press(Ctrl::MOUSEMOVE, Point(10, 20));
    EXPECT_EQ(g_log, (Log{"d:30@-110,-30", "d:20@-110,-30"}));
    Keys({});
    top.Press(Ctrl::MOUSEMOVE, Point(10, 21));  // no button: the capture ends
    EXPECT_FALSE(d.HasCapture());
    EXPECT_EQ(GetCapture(), nullptr);
    g_log.clear();
    top.Press(Ctrl::MOUSEMOVE, Point(130, 60));
    top.Press(Ctrl::MOUSEMOVE, Point(180, 60));  // outside "d": to the window
    EXPECT_EQ(g_log,
              (Log{"d:10@10,10", "d:20@10,10", "d:30@0,0", "top:10@180,60", "top:20@180,60"}));
    ASSERT_TRUE(d.SetCapture());  // hidden, it takes nothing more
    d.Hide();
    g_log.clear();
    top.Press(Ctrl::MOUSEMOVE, Point(10, 20));
    EXPECT_NE(std::find(g_log.begin(), g_log.end(), "c:20@10,20"), g_log.end());
    d.Show();
    auto* gone = new Probe("g");  // a capturing control destroyed leaves no capture
    top.Add(*gone);
    ASSERT_TRUE(gone->SetCapture());
    delete gone;
    top.Press(Ctrl::MOUSEMOVE, Point(10, 22));
    EXPECT_EQ(GetCapture(), nullptr);
    auto* rogue = new ctrl_test::Rogue;  // its cancel, when the capture ends, destroys it
    top.Add(*rogue);
    rogue->on = "cancel";
    ASSERT_TRUE(rogue->SetCapture());
    EXPECT_TRUE(rogue->ReleaseCapture());
    EXPECT_EQ(GetCapture(), nullptr);
}

// The capture ends with the capturing control's place in its window: removed, taken
// away with its parent, or moved to another window, it lets the window go. A control
// whose CancelMode releases the capture itself is cancelled once for it.
TEST_F(CtrlInput, ACaptureEndsWhenItsControlLeavesTheWindow) {
    struct SelfReleasing : Probe {
        SelfReleasing() : Probe("s") {}
        void CancelMode() override {
            Probe::CancelMode();
            ReleaseCapture();
        }
    };
    TopProbe other(Gui::RectC(400, 50, 100, 100), "other");
    Probe parent("p");
    top.Add(parent.LeftPos(0, 30).TopPos(0, 30));
    const struct {
        const char* name;
        std::function<void(Ctrl&)> take;
        bool nested;
        int cancels;  // an added control is cancelled once more as it arrives
    } rows[] = {
        {"removed", [&](Ctrl& s) { s.Remove(); }, false, 1},
        {"parent removed", [&](Ctrl&) { parent.Remove(); }, true, 1},
        {"moved", [&](Ctrl& s) { other.Add(s); }, false, 2},
        {"released", [&](Ctrl&) { Ctrl::ReleaseCtrlCapture(); }, false, 1},
    };
    for (const auto& row : rows) {
        SelfReleasing s;
        (row.nested ? static_cast<Ctrl&>(parent) : top).Add(s.LeftPos(0, 10).TopPos(0, 10));
        ASSERT_TRUE(s.SetCapture());
        ASSERT_EQ(GetCapture(), top.hwnd);
        g_log.clear();
        row.take(s);
        EXPECT_EQ(GetCapture(), nullptr) << row.name;
        EXPECT_EQ(Ctrl::GetCaptureCtrl(), nullptr) << row.name;
        EXPECT_EQ(std::count(g_log.begin(), g_log.end(), "s:cancel"), row.cancels) << row.name;
        if (!parent.GetParent()) top.Add(parent);
    }
}

TEST_F(CtrlInput, ADisabledControlGetsTheWheelButNoClicks) {
    Probe e("e");
    c.Add(e.SizePos());
    c.Disable();
    EXPECT_FALSE(e.IsEnabled()) << "under a disabled parent";
    g_log.clear();
    EXPECT_EQ(top.Press(Ctrl::LEFTDOWN, Point(5, 5)), Gui::Image::Arrow());
    EXPECT_TRUE(g_log.empty());
    top.Press(Ctrl::MOUSEWHEEL, Point(0, 0), 120);  // the point comes from the cursor
    EXPECT_EQ(g_log, (Log{"e:10@50,50", "e:50@50,50"}));
}

TEST_F(CtrlInput, HiddenControlsAndThoseIgnoringTheMouseAreSkippedByHitTesting) {
    Probe e("e");
    d.Add(e.SizePos());
    const struct {
        Probe* skipped;
        bool hidden;
        const char* hit;
    } rows[] = {{&e, false, "d:91@10,10"}, {&e, true, "d:91@10,10"}, {&d, true, "top:91@130,60"}};
    for (const auto& row : rows) {
        row.hidden ? row.skipped->Hide() : row.skipped->IgnoreMouse();
        g_log.clear();
        top.Press(Ctrl::LEFTDOWN, Point(130, 60));
        top.Press(Ctrl::LEFTUP, Point(130, 60));
        EXPECT_EQ(g_log.back(), row.hit);
    }
}

// Not while the control holds the capture: a drag out of it goes on.
TEST_F(CtrlInput, TheMouseLeavesWhenThePointerIsSeenOutside) {
    auto pass = [] {  // what a timer pass now sends
        g_log.clear();
        Gui::ProcessTimeCallbacks(GetTickCount());
        return g_log;
    };
    top.Press(Ctrl::MOUSEMOVE, Point(50, 50));
    EXPECT_EQ(pass(), Log{});
    SetCursorPos(99, 49);
    Keys({VK_LBUTTON});
    top.Press(Ctrl::LEFTDOWN, Point(50, 50));
    ASSERT_TRUE(c.SetCapture());
    EXPECT_EQ(pass(), Log{});
    EXPECT_EQ(Ctrl::GetMouseCtrl(), &c);
    Ctrl::ReleaseCtrlCapture();
    EXPECT_EQ(pass(), (Log{"c:30@-1,-1"}));
    EXPECT_EQ(Ctrl::GetMouseCtrl(), nullptr);
    // The press went with the leave: a move far from it is no drag.
    g_log.clear();
    top.Press(Ctrl::MOUSEMOVE, Point(70, 50));
    EXPECT_EQ(g_log, (Log{"c:10@70,50", "c:20@70,50"}));
}

TEST_F(CtrlInput, FocusGoesOnlyToAnEnabledVisibleControlOfAnOpenWindow) {
    ASSERT_TRUE(d.SetFocus());
    void (*const fit[])(TopProbe&, Probe&, bool) = {
        [](TopProbe&, Probe& c, bool fit) { c.Enable(fit); },
        [](TopProbe&, Probe& c, bool fit) { c.Show(fit); },
        [](TopProbe& t, Probe&, bool fit) { t.SetOpen(fit); },
    };
    for (auto set : fit) {
        set(top, c, false);
        EXPECT_FALSE(c.SetFocus());
        EXPECT_EQ(Ctrl::GetFocusCtrl(), &d);
        set(top, c, true);
    }
    EXPECT_TRUE(c.SetFocus());
    EXPECT_EQ(GetFocus(), top.hwnd);
    EXPECT_EQ(Ctrl::GetFocusWindowCtrl(), &top);
    g_log.clear();
    Ctrl::ClearFocus();
    EXPECT_EQ(g_log, (Log{"c:lostfocus"}));
    EXPECT_EQ(Ctrl::GetFocusCtrl(), nullptr);
}

TEST_F(CtrlInput, TheCursorIsSetOnlyWhenItsImageChanges) {
    c.cursor = Gui::Image::Hand();
    top.Press(Ctrl::MOUSEMOVE, Point(50, 50));
    Ctrl::SyncCursor();
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
    SetCursor(LoadCursorW(nullptr, IDC_CROSS));
    Ctrl::SyncCursor();
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_CROSS));
    Ctrl::OverrideCursor(Gui::Image::Wait());
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
    Ctrl::OverrideCursor(Gui::Image());
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
}

}  // namespace
