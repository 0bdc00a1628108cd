// The tray icon through the layer's notification-area stand-in.
#include <gtest/gtest.h>

#include <shellapi.h>
#include <win32_debug.h>

#include "ctrls/tray_icon.h"
#include "testing/lambda_callback.h"
#include "window_support.h"

namespace {

WIN32_TRAY_ICON_STATE State(const ctrls::TrayIcon& icon) {
    WIN32_TRAY_ICON_STATE s = {};
    EXPECT_TRUE(Win32TrayIconState(icon.GetHWND(), icon.GetId(), &s));
    return s;
}

TEST(TrayIcon, AddsChangesHidesShowsAndRemovesItselfAndTakesClicks) {
    gui_test::StartToolkit();
    auto* icon = new ctrls::TrayIcon;
    ctrls::TrayIcon second;
    HWND hwnd = icon->GetHWND();
    EXPECT_EQ(second.GetId(), icon->GetId() + 1);
    EXPECT_TRUE(hwnd != second.GetHWND() && !IsWindowVisible(hwnd));
    EXPECT_EQ(Gui::Ctrl::GetWindowMap().count(hwnd), 1u);
    EXPECT_EQ(State(*icon).callback_message + (State(*icon).flags & 7u), 0x807u);

    Gui::ImageBuffer b(16, 16);
    std::fill(b.Begin(), b.Begin() + 256, Gui::MakeRGBA(200, 0, 0, 255));
    EXPECT_EQ(&icon->SetIcon(Gui::Image(b)).SetTooltip(L"演示游戏下载器"), icon);
    const WIN32_TRAY_ICON_STATE s = State(*icon);
    EXPECT_EQ(std::wstring(s.tip), L"演示游戏下载器");
    EXPECT_NE(s.icon, nullptr);
    icon->SetIcon(Gui::Image::Arrow());
    EXPECT_NE(State(*icon).icon, s.icon);
    delete icon;
    EXPECT_FALSE(Win32TrayIconCount(hwnd) || IsWindow(hwnd) ||
                 Gui::Ctrl::GetWindowMap().count(hwnd));

    const struct {
        bool show;
        const wchar_t* tip;
        UINT count;
    } shows[] = {{false, L"hidden", 0}, {false, L"still", 0}, {true, L"back", 1}, {true, L"on", 1}};
    for (const auto& row : shows) {
        second.Show(row.show);
        second.SetTooltip(row.tip);
        EXPECT_EQ(Win32TrayIconCount(second.GetHWND()), row.count);
        if (row.count) EXPECT_EQ(std::wstring(State(second).tip), row.tip);
    }
    int left = 0, right = 0;
    second.WhenLeftClick = testing_support::Do([&] { ++left; });
    second.WhenRightClick = testing_support::Do([&] { ++right; });
    const struct {
        UINT button;
        int left, right;
    } clicks[] = {
        {WM_LBUTTONUP, 1, 0}, {WM_RBUTTONUP, 1, 1}, {WM_LBUTTONDOWN, 1, 1}, {WM_RBUTTONUP, 1, 2}};
    for (const auto& row : clicks) {
        ASSERT_TRUE(Win32TrayClick(second.GetHWND(), second.GetId(), row.button));
        MSG msg;
        while (PeekMessageW(&msg, second.GetHWND(), 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        EXPECT_EQ(std::make_pair(left, right), std::make_pair(row.left, row.right)) << row.button;
    }
}

}  // namespace
