// The tray icon through the layer's notification-area stand-in: what it adds,
// changes and removes, and the clicks that reach its callbacks.
#include <gtest/gtest.h>

#include <shellapi.h>
#include <win32_debug.h>

#include <fstream>

#include "ctrls/tray_icon.h"
#include "testing/lambda_callback.h"
#include "testing/scoped_env.h"
#include "window_support.h"

namespace {

Gui::Image Square(BYTE red) {
    Gui::ImageBuffer b(16, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) b[y][x] = Gui::MakeRGBA(red, 0, 0, 255);
    return Gui::Image(b);
}

WIN32_TRAY_ICON_STATE State(const ctrls::TrayIcon& icon) {
    WIN32_TRAY_ICON_STATE s = {};
    EXPECT_TRUE(Win32TrayIconState(icon.GetHWND(), icon.GetId(), &s));
    return s;
}

TEST(TrayIcon, AddsItselfOnAHiddenWindowOfItsOwnAndRemovesItselfWhenDestroyed) {
    gui_test::StartToolkit();
    const std::string log = "/tmp/ctrls-tray-" + std::to_string(GetCurrentProcessId()) + ".log";
    testing_support::ScopedEnv env("WIN32_TRAY_LOG", log);
    auto* icon = new ctrls::TrayIcon;
    ctrls::TrayIcon second;
    EXPECT_GE(icon->GetId(), 1u);
    EXPECT_EQ(second.GetId(), icon->GetId() + 1);
    HWND hwnd = icon->GetHWND();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_NE(second.GetHWND(), hwnd);
    EXPECT_FALSE(IsWindowVisible(hwnd));
    wchar_t cls[16] = {};
    GetClassNameW(hwnd, cls, 16);
    EXPECT_EQ(std::wstring(cls), L"GTK2-W");
    EXPECT_EQ(Gui::Ctrl::GetWindowMap().count(hwnd), 1u);
    EXPECT_TRUE(icon->IsOpen());

    WIN32_TRAY_ICON_STATE s = State(*icon);
    EXPECT_EQ(s.callback_message, 0x800u);
    EXPECT_EQ(s.flags & (NIF_MESSAGE | NIF_ICON | NIF_TIP), NIF_MESSAGE | NIF_ICON | NIF_TIP);
    EXPECT_EQ(s.icon, nullptr);

    EXPECT_EQ(&icon->SetIcon(Square(200)).SetTooltip(L"演示游戏下载器"), icon);
    s = State(*icon);
    HICON first_picture = s.icon;
    EXPECT_NE(first_picture, nullptr);
    EXPECT_EQ(std::wstring(s.tip), L"演示游戏下载器");
    icon->SetIcon(Square(100));
    EXPECT_NE(State(*icon).icon, first_picture);

    delete icon;
    EXPECT_EQ(Win32TrayIconCount(hwnd), 0u);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(Gui::Ctrl::GetWindowMap().count(hwnd), 0u);

    char owner[16];
    snprintf(owner, sizeof owner, "%08lx",
             static_cast<unsigned long>(reinterpret_cast<uintptr_t>(hwnd)));
    std::ifstream in(log);
    std::string event, who, id, rest, events;
    while (std::getline(in, event, '\t') && std::getline(in, who, '\t') && std::getline(in, rest)) {
        id = rest.substr(0, rest.find('\t'));
        if (who == owner && id == std::to_string(second.GetId() - 1)) events += event + " ";
    }
    EXPECT_EQ(events, "add modify modify modify delete ");
    remove(log.c_str());
}

TEST(TrayIcon, HidingRemovesTheIconAndShowingAddsItWithWhatChangedMeanwhile) {
    gui_test::StartToolkit();
    ctrls::TrayIcon icon;
    HWND hwnd = icon.GetHWND();
    const struct {
        bool show;
        const wchar_t* tip;
        UINT count;
    } rows[] = {
        {false, L"hidden", 0},
        {false, L"still hidden", 0},
        {true, L"back", 1},
        {true, L"shown", 1},
    };
    for (const auto& row : rows) {
        icon.Show(row.show);
        icon.SetTooltip(row.tip);
        EXPECT_EQ(icon.IsShown(), row.show);
        EXPECT_EQ(Win32TrayIconCount(hwnd), row.count);
        if (row.count) EXPECT_EQ(std::wstring(State(icon).tip), row.tip);
    }
}

TEST(TrayIcon, ClicksReachTheirCallbacks) {
    gui_test::StartToolkit();
    ctrls::TrayIcon icon;
    int left = 0, right = 0;
    icon.WhenLeftClick = testing_support::Do([&] { ++left; });
    icon.WhenRightClick = testing_support::Do([&] { ++right; });
    const struct {
        UINT button;
        int left, right;
    } rows[] = {
        {WM_LBUTTONUP, 1, 0}, {WM_RBUTTONUP, 1, 1}, {WM_LBUTTONDOWN, 1, 1},
        {WM_MOUSEMOVE, 1, 1}, {WM_RBUTTONUP, 1, 2},
    };
    for (const auto& row : rows) {
        ASSERT_TRUE(Win32TrayClick(icon.GetHWND(), icon.GetId(), row.button));
        MSG msg;
        while (PeekMessageW(&msg, icon.GetHWND(), 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        EXPECT_EQ(left, row.left) << row.button;
        EXPECT_EQ(right, row.right) << row.button;
    }
}

}  // namespace
