// Top-level windows on the layer's real windows: life cycle, close requests,
// placement, mouse and key routing into the tree, focus.
#include <gtest/gtest.h>

#include "ctrls/top_window.h"
#include "testing/lambda_callback.h"
#include "window_support.h"

namespace {

using namespace window_test;

int g_destroyed = 0, g_closes = 0;

// kind 1 is the main window's kind, whose Close only hides; kind 2 deletes itself
// when its window goes, as a registry's window does.
struct Window : ctrls::TopWindow {
    Window(int kind = 0) : kind(kind) {
        gui_test::StartToolkit();
        g_log.clear();
        SetRect(100, 80, 200, 120);
        WhenClose = testing_support::Do([] { ++g_closes; });
    }
    void OnWindowDestroyed() override {
        ++g_destroyed;
        if (kind == 2) delete this;
    }
    void Close() override { kind == 1 ? (++g_closes, Hide()) : TopWindow::Close(); }
    int kind;
};

TEST(TopWindow, CloseRequestsAndEveryWayAWindowGoes) {
    const std::tuple<void (*)(Window * w, HWND hwnd), int, int, int, bool> rows[] = {
        {[](Window* w, auto) { w->Close(); }, 0, 1, 1, false},
        {[](auto, HWND h) { SendMessageW(h, WM_CLOSE, 0, 0); }, 0, 1, 1, false},
        {[](auto, HWND h) { SendMessageW(h, WM_CLOSE, 0, 0); }, 1, 1, 0, false},
        {[](auto, HWND h) { SendMessageW(h, WM_SYSCOMMAND, SC_CLOSE, 0); }, 1, 1, 0, false},
        {[](auto, HWND h) { SendMessageW(h, WM_SYSCOMMAND, SC_MINIMIZE, 0); }, 1, 0, 0, false},
        {[](auto, HWND h) { DestroyWindow(h); }, 0, 0, 1, false},
        {[](Window* w, auto) { w->Close(); }, 2, 1, 1, true},
        // No notification reaches the half-destroyed object.
        {[](Window* w, auto) { delete w; }, 0, 0, 0, true},
    };
    for (const auto& [act, kind, closes, notified, object_gone] : rows) {
        g_destroyed = g_closes = 0;
        auto* w = new Window(kind);
        HWND hwnd = w->Create();
        ASSERT_TRUE(w->IsOpen() && w->GetRoot().IsOpen() && !IsWindowVisible(hwnd));
        w->Show();
        act(w, hwnd);
        const bool stays = !notified && !object_gone;
        EXPECT_EQ(std::make_pair(g_closes, g_destroyed), std::make_pair(closes, notified));
        EXPECT_EQ(IsWindow(hwnd) != FALSE, stays);
        EXPECT_EQ(Gui::Ctrl::GetWindowMap().count(hwnd), stays ? 1u : 0u);
        if (object_gone) continue;
        if (stays) {
            EXPECT_NE(IsWindowVisible(hwnd) != FALSE, closes == 1) << "hidden or minimised";
            EXPECT_EQ(IsIconic(hwnd) != FALSE, closes == 0);
            EXPECT_EQ(w->GetRect().GetSize(), Gui::Size(200, 120));
        } else {
            EXPECT_FALSE(w->IsOpen() || w->GetRoot().IsOpen() || w->GetHWND());
            EXPECT_NE(w->Create(), nullptr) << "made again";
        }
        delete w;
    }
}

// The pointer's input at (x, y) of a window whose client area starts at (100, 80).
void Input(const std::vector<DWORD>& flags, int x, int y, DWORD wheel = 0) {
    std::vector<INPUT> in;
    const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    for (DWORD f : flags) {
        in.push_back(INPUT{INPUT_MOUSE, {}});
        in.back().mi = {((100 + x) * 65536 + cx - 1) / cx,
                        ((80 + y) * 65536 + cy - 1) / cy,
                        wheel,
                        f | MOUSEEVENTF_ABSOLUTE,
                        GetTickCount(),
                        0};
    }
    SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

TEST(TopWindow, InputReachesTheControlUnderThePointerInItsCoordinates) {
    Window w;
    Probe a("a"), b("b"), c("c");
    b.Add(c.SetRect(5, 5, 20, 20));
    w.Add(a.SetRect(10, 10, 50, 30)).Add(b.SetRect(100, 50, 60, 40));
    w.Create();
    w.Show();
    constexpr DWORD kMove = MOUSEEVENTF_MOVE, kDown = MOUSEEVENTF_LEFTDOWN,
                    kUp = MOUSEEVENTF_LEFTUP;
    // clang-format off
    const std::tuple<std::vector<DWORD>, int, int, DWORD, bool, const char*> rows[] = {
        {{kMove | kDown}, 20, 15, 0, false, "a:81@10,5"},
        {{kMove | kUp}, 59, 39, 0, false, "a:91@49,29"},
        {{kMove | kDown | kUp, kDown}, 110, 60, 0, false, "c:a1@5,5"},
        {{kMove | kUp}, 150, 85, 0, false, "b:91@50,35"},
        {{MOUSEEVENTF_WHEEL}, 150, 85, static_cast<DWORD>(-120), false, "b:50@50,35"},
        {{kMove | MOUSEEVENTF_RIGHTDOWN | MOUSEEVENTF_RIGHTUP}, 20, 15, 0, false, "a:20@10,5"},
        {{kMove}, 30, 20, 0, true, ""},
        {{kMove}, 30, 21, 0, false, "a:20@20,11"}};
    // clang-format on
    for (const auto& [flags, x, y, wheel, suppressed, last] : rows) {
        if (suppressed) Gui::Ctrl::SuppressMouse();
        g_log.clear();
        Input(flags, x, y, wheel);
        EXPECT_EQ(g_log.empty() ? "" : g_log.back(), last);
        EXPECT_FALSE(Gui::Ctrl::IsMouseSuppressed()) << "with the buttons up it ends";
    }
}

TEST(TopWindow, KeysGoToTheFocusControlWhichLosesTheFocusWithTheWindowOrAPressElsewhere) {
    Window w;
    Probe edit("e");
    w.Add(edit.SetRect(10, 10, 50, 30));
    HWND hwnd = w.Create();
    w.Show();
    HWND other = PlainWindow();
    ASSERT_TRUE(edit.SetFocus() && GetFocus() == hwnd);
    for (UINT message : {WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN, WM_SYSKEYUP, WM_CHAR}) {
        SendMessageW(hwnd, message, 'A', 0);
        EXPECT_TRUE(Logged("e:key" + std::to_string(message) + ",65"));
    }
    void (*lose[])(HWND, HWND) = {
        [](HWND, HWND other) { SetFocus(other); },
        [](HWND window, HWND) { SendMessageW(window, WM_LBUTTONDOWN, 0, MAKELPARAM(150, 100)); },
    };
    for (auto how : lose) {
        ASSERT_TRUE(edit.SetFocus());
        g_log.clear();
        how(hwnd, other);
        EXPECT_TRUE(Logged("e:lostfocus") && !Gui::Ctrl::GetFocusCtrl());
        SendMessageW(hwnd, WM_CHAR, 'B', 0);
        EXPECT_FALSE(Logged("e:key258,66"));
    }
    DestroyWindow(other);
}

// What it paints, and its repaints, the end-to-end pictures of the main window show.
TEST(TopWindow, PlacementAndCaption) {
    Window w;
    EXPECT_EQ(w.Create(reinterpret_cast<HWND>(0x4321)), nullptr) << "no such owner";
    w.SetTitle(L"演示游戏 下载器");
    HWND hwnd = w.Create();
    w.Show();
    wchar_t text[32] = {}, cls[32] = {};
    EXPECT_TRUE(GetWindowTextW(hwnd, text, 32) && GetClassNameW(hwnd, cls, 32));
    EXPECT_EQ(std::wstring(text) + cls, L"演示游戏 下载器#32770");
    EXPECT_EQ(w.GetRoot().GetScreenRect(), Gui::RectC(100, 80, 200, 120));
    // Moved from outside, the content follows; moved by the program, the window does.
    SetWindowPos(hwnd, nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(w.GetRect(), Gui::RectC(300, 200, 200, 120));
    w.SetRect(20, 30, 120, 90);
    EXPECT_EQ(w.GetRoot().GetScreenRect(), Gui::RectC(20, 30, 120, 90));
}

}  // namespace
