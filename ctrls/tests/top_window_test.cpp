// Top-level windows on the layer's real windows: life cycle, close requests,
// placement, mouse and key routing into the tree, focus and painting.
#include <gtest/gtest.h>

#include "ctrls/key_target.h"
#include "ctrls/top_window.h"
#include "testing/lambda_callback.h"
#include "window_support.h"

namespace {

using namespace window_test;

int g_destroyed = 0;

class Window : public ctrls::TopWindow {
public:
    Window() {
        gui_test::StartToolkit();
        g_log.clear();
        g_destroyed = 0;
        SetRect(100, 80, 200, 120);
    }
    void OnWindowDestroyed() override {
        ++g_destroyed;
        if (delete_when_destroyed) delete this;
    }
    bool delete_when_destroyed = false;
};

// The main window's kind: closing only hides it.
class HidingWindow : public Window {
public:
    void Close() override {
        ++closes;
        Hide();
    }
    int closes = 0;
};

class KeyProbe : public Probe, public ctrls::KeyTarget {
public:
    using Probe::Probe;
    bool Key(UINT message, WPARAM wparam, LPARAM) override {
        g_log.push_back(name + ":key" + std::to_string(message) + "," + std::to_string(wparam));
        return true;
    }
};

Gui::Rect WindowRect(HWND hwnd) {
    RECT r;
    GetWindowRect(hwnd, &r);
    return Gui::Rect(r.left, r.top, r.right, r.bottom);
}

TEST(TopWindow, CreateShowHideCloseAndDestroyedNotification) {
    Window w;
    int closes = 0;
    w.WhenClose = testing_support::Do([&] { ++closes; });
    w.SetTitle(L"演示游戏 下载器");
    HWND hwnd = w.Create();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(w.GetHWND(), hwnd);
    EXPECT_TRUE(w.IsOpen());
    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_EQ(WindowRect(hwnd), Gui::RectC(100, 80, 200, 120));
    EXPECT_EQ(w.GetRoot().GetScreenRect(), Gui::RectC(100, 80, 200, 120));
    wchar_t text[32] = {}, cls[32] = {};
    GetWindowTextW(hwnd, text, 32);
    GetClassNameW(hwnd, cls, 32);
    EXPECT_EQ(std::wstring(text), L"演示游戏 下载器");
    EXPECT_EQ(std::wstring(cls), L"#32770");
    EXPECT_EQ(Gui::Ctrl::GetWindowMap().count(hwnd), 1u);
    EXPECT_TRUE(w.GetRoot().IsOpen());
    EXPECT_EQ(w.Create(), hwnd) << "an open window is answered as it is";

    w.Show();
    EXPECT_TRUE(IsWindowVisible(hwnd));
    w.Hide();
    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_TRUE(w.IsOpen());

    w.Close();
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(g_destroyed, 1);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(w.IsOpen());
    EXPECT_EQ(w.GetHWND(), nullptr);
    EXPECT_EQ(Gui::Ctrl::GetWindowMap().count(hwnd), 0u);
    EXPECT_FALSE(w.GetRoot().IsOpen());
    ASSERT_NE(w.Create(), nullptr) << "a closed window can be made again";
}

TEST(TopWindow, CloseRequestsReachTheVirtualCloseAndMinimisingTheDefault) {
    const struct {
        UINT message;
        WPARAM wparam;
        int closes;
        bool iconic;
    } rows[] = {
        {WM_CLOSE, 0, 1, false},
        {WM_SYSCOMMAND, SC_CLOSE, 1, false},
        {WM_SYSCOMMAND, SC_MINIMIZE, 0, true},
    };
    for (const auto& row : rows) {
        HidingWindow w;
        HWND hwnd = w.Create();
        w.Show();
        SendMessageW(hwnd, row.message, row.wparam, 0);
        EXPECT_EQ(w.closes, row.closes) << row.message << "," << row.wparam;
        EXPECT_TRUE(IsWindow(hwnd));
        EXPECT_EQ(IsIconic(hwnd) != FALSE, row.iconic);
        EXPECT_EQ(w.GetRoot().GetRect().GetSize(), Gui::Size(200, 120))
            << "a minimised window keeps its content's size";
        EXPECT_EQ(g_destroyed, 0);
    }
}

TEST(TopWindow, WindowsGoneAnyWayLeaveNothingBehind) {
    // Destroyed from outside: the object stays usable.
    Window w;
    HWND first = w.Create();
    DestroyWindow(first);
    EXPECT_EQ(g_destroyed, 1);
    EXPECT_EQ(Gui::Ctrl::GetWindowMap().count(first), 0u);
    EXPECT_FALSE(w.IsOpen());

    // An object that deletes itself when its window goes, as a registry's window does.
    auto* owned = new Window;
    owned->delete_when_destroyed = true;
    HWND second = owned->Create();
    owned->Close();
    EXPECT_EQ(g_destroyed, 1);
    EXPECT_FALSE(IsWindow(second));

    // An object deleted while its window is open takes the window along.
    auto* deleted = new Window;
    HWND third = deleted->Create();
    delete deleted;
    EXPECT_FALSE(IsWindow(third));
    EXPECT_EQ(Gui::Ctrl::GetWindowMap().count(third), 0u);
    EXPECT_EQ(g_destroyed, 0) << "no notification reaches a half-destroyed object";
}

TEST(TopWindow, ActivationOwnerAndPlacement) {
    HWND owner = PlainWindow();
    for (bool no_activate : {false, true}) {
        Window w;
        w.NoActivate(no_activate);
        HWND hwnd = w.Create(owner);
        EXPECT_EQ(GetWindow(hwnd, GW_OWNER), owner);
        EXPECT_EQ((GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_NOACTIVATE) != 0, no_activate);
        SetForegroundWindow(owner);
        w.Show();
        EXPECT_EQ(GetForegroundWindow() == hwnd, !no_activate);

        // Moved from outside, the content follows; moved by the program, the window does.
        SetWindowPos(hwnd, nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        EXPECT_EQ(w.GetRoot().GetScreenRect(), Gui::RectC(300, 200, 200, 120));
        EXPECT_EQ(w.GetRect(), Gui::RectC(300, 200, 200, 120));
        w.SetRect(20, 30, 120, 90);
        EXPECT_EQ(WindowRect(hwnd), Gui::RectC(20, 30, 120, 90));
        EXPECT_EQ(w.GetRect(), Gui::RectC(20, 30, 120, 90));
    }
    DestroyWindow(owner);
}

TEST(TopWindow, MouseMessagesReachTheControlUnderThePointInItsCoordinates) {
    Window w;
    Probe a("a"), b("b"), c("c");
    a.SetRect(10, 10, 50, 30);
    b.SetRect(100, 50, 60, 40);
    c.SetRect(5, 5, 20, 20);
    b.Add(c);
    w.Add(a).Add(b);
    HWND hwnd = w.Create();
    w.Show();
    SetCursorPos(100 + 130, 80 + 80);  // the wheel goes where the cursor is
    const struct {
        UINT message;
        WPARAM wparam;
        int x, y;
        const char* expected;
    } rows[] = {
        {WM_LBUTTONDOWN, MK_LBUTTON, 20, 15, "a:81@10,5"},
        {WM_LBUTTONUP, 0, 59, 39, "a:91@49,29"},
        {WM_LBUTTONDBLCLK, MK_LBUTTON, 110, 60, "c:a1@5,5"},
        {WM_MOUSEMOVE, 0, 150, 85, "b:20@50,35"},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), 0, 0, "b:50@30,30"},
        {WM_MOUSEMOVE, 0, 5, 5, ""},
        {WM_RBUTTONDOWN, MK_RBUTTON, 20, 15, ""},
    };
    for (const auto& row : rows) {
        g_log.clear();
        SendMessageW(hwnd, row.message, row.wparam, MAKELPARAM(row.x, row.y));
        if (*row.expected) {
            EXPECT_TRUE(Logged(row.expected)) << row.expected << " first " << g_log.front();
        } else {
            for (const std::string& e : g_log)
                EXPECT_NE(e.find(":30@"), std::string::npos) << "only leaves: " << e;
        }
    }
}

TEST(TopWindow, ACapturedDragKeepsItsControlOutsideTheWindow) {
    Window w;
    Probe a("a");
    a.SetRect(10, 10, 50, 30);
    a.capture_on_press = true;
    w.Add(a);
    HWND hwnd = w.Create();
    w.Show();
    {
        LeftButtonDown held;
        SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
        EXPECT_EQ(GetCapture(), hwnd);
        g_log.clear();
        SendMessageW(hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-30, 300));
        EXPECT_TRUE(Logged("a:20@-40,290"));
    }
    SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(-30, 300));
    EXPECT_TRUE(Logged("a:91@-40,290"));
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST(TopWindow, SuppressedMouseIsDroppedUntilTheButtonsAreUp) {
    Window w;
    Probe a("a");
    a.SetRect(0, 0, 200, 120);
    w.Add(a);
    HWND hwnd = w.Create();
    for (bool button_down : {true, false}) {
        Gui::Ctrl::SuppressMouse();
        g_log.clear();
        if (button_down) {
            LeftButtonDown held;
            SendMessageW(hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(7, 8));
        } else {
            SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(7, 8));
        }
        EXPECT_TRUE(g_log.empty());
        EXPECT_EQ(Gui::Ctrl::IsMouseSuppressed(), button_down);
    }
    SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(7, 8));
    EXPECT_TRUE(Logged("a:20@7,8"));
}

TEST(TopWindow, KeysGoToTheFocusControlWhichLosesTheFocusWithTheWindowOrAPressElsewhere) {
    Window w;
    KeyProbe edit("e");
    edit.SetRect(10, 10, 50, 30);
    w.Add(edit);
    HWND hwnd = w.Create();
    w.Show();
    HWND other = PlainWindow();
    for (UINT message : {WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN, WM_SYSKEYUP, WM_CHAR}) {
        ASSERT_TRUE(edit.SetFocus());
        EXPECT_EQ(GetFocus(), hwnd);
        g_log.clear();
        SendMessageW(hwnd, message, 'A', 0);
        EXPECT_TRUE(Logged("e:key" + std::to_string(message) + ",65"));
    }
    const struct {
        const char* how;
        void (*lose)(HWND window, HWND other);
    } rows[] = {
        {"focus to another window", [](HWND, HWND other) { SetFocus(other); }},
        {"press outside the control",
         [](HWND window, HWND) {
             SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(150, 100));
         }},
    };
    for (const auto& row : rows) {
        ASSERT_TRUE(edit.SetFocus());
        g_log.clear();
        row.lose(hwnd, other);
        EXPECT_TRUE(Logged("e:lostfocus")) << row.how;
        EXPECT_EQ(Gui::Ctrl::GetFocusCtrl(), nullptr) << row.how;
        SendMessageW(hwnd, WM_CHAR, 'B', 0);
        EXPECT_FALSE(Logged("e:key258,66")) << row.how;
    }
    DestroyWindow(other);
}

TEST(TopWindow, PaintShowsTheTreeAndARefreshPaintsAgain) {
    Window w;
    Probe back("back", Gui::Color(0x20, 0x40, 0x60)), box("box", Gui::Color(0xFF, 0, 0));
    back.SizePos();
    box.SetRect(30, 40, 20, 10);
    w.Add(back).Add(box);
    HWND hwnd = w.Create();
    w.Show();
    UpdateWindow(hwnd);
    std::vector<uint32_t> px = Snapshot(hwnd, 200, 120);
    EXPECT_EQ(px[45 * 200 + 35] & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(px[45 * 200 + 55] & 0xFFFFFF, 0x204060u);
    EXPECT_EQ(px[119 * 200 + 199] & 0xFFFFFF, 0x204060u);

    box.fill = Gui::Color(0, 0, 0xFF);
    box.Refresh();
    ASSERT_TRUE(gui_test::RunLoopUntil([&] { return !box.IsRefreshPending(); }));
    px = Snapshot(hwnd, 200, 120);
    EXPECT_EQ(px[45 * 200 + 35] & 0xFFFFFF, 0x0000FFu);
}

}  // namespace
