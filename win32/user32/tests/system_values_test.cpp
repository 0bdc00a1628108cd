#include <windows.h>

#include <gtest/gtest.h>

#include "testing/scoped_env.h"
#include "testing/win32_last_error.h"

using testing_support::Failed;
using testing_support::ScopedEnv;

namespace {

bool Same(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// A fixed screen (WIN32_SCREEN's monitors, the primary first; 1280x800 without it):
// the screen, desktop window, screen DC and work area are the primary monitor's, the
// virtual screen holds every monitor, as on Windows. A malformed setting counts as none.
TEST(SystemValues, TheScreenIsThePrimaryMonitorWithinTheVirtualScreen) {
    ScopedEnv headless("WIN32_NO_DISPLAY", "1");
    const struct {
        const char* setting;
        std::vector<int> seen;  // the screen, the virtual screen, the monitors
    } rows[] = {
        {"", {1280, 800, 0, 0, 1280, 800, 1}},
        {"1920x1080", {1920, 1080, 0, 0, 1920, 1080, 1}},
        {"1280x1024,1920x1080+1280-56", {1280, 1024, 0, -56, 3200, 1080, 2}},
        {"1024x768,", {1280, 800, 0, 0, 1280, 800, 1}},
        {"1024x768+5", {1280, 800, 0, 0, 1280, 800, 1}},
    };
    for (const auto& row : rows) {
        ScopedEnv screen("WIN32_SCREEN", row.setting);
        std::vector<int> seen;
        for (int index : {SM_CXSCREEN, SM_CYSCREEN, SM_XVIRTUALSCREEN, SM_YVIRTUALSCREEN,
                          SM_CXVIRTUALSCREEN, SM_CYVIRTUALSCREEN, SM_CMONITORS})
            seen.push_back(GetSystemMetrics(index));
        EXPECT_EQ(seen, row.seen) << row.setting;
        const RECT primary{0, 0, row.seen[0], row.seen[1]};
        RECT desktop{}, work{};
        ASSERT_TRUE(GetWindowRect(GetDesktopWindow(), &desktop));
        ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
        HDC dc = GetDC(nullptr);
        EXPECT_TRUE(Same(desktop, primary) && Same(work, primary) &&
                    GetDeviceCaps(dc, HORZRES) == row.seen[0] &&
                    GetDeviceCaps(dc, VERTRES) == row.seen[1])
            << row.setting;
        ReleaseDC(nullptr, dc);
    }
    RECT r{0, 0, 100, 100};
    ASSERT_TRUE(AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, FALSE, 0));
    EXPECT_EQ(-r.left, GetSystemMetrics(SM_CXFRAME));
    EXPECT_EQ(-r.top, GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION));
    EXPECT_EQ(GetSystemMetrics(-5), 0);
    int v = 0;
    EXPECT_NE(Failed(!SystemParametersInfoW(0x7777, 0, &v, 0)), 0);
    EXPECT_FALSE(SystemParametersInfoW(SPI_GETWORKAREA, 0, nullptr, 0));
}

// The monitor of a point, a rectangle (the largest overlap) or a window (a minimised
// one where it will be restored), else as the flags say; what GetMonitorInfoW tells.
TEST(SystemValues, MonitorsOfPointsRectanglesAndWindows) {
    ScopedEnv headless("WIN32_NO_DISPLAY", "1");
    ScopedEnv screen("WIN32_SCREEN", "1280x1024,1920x1080+1280-56");
    const POINT left{0, 0}, right{1280, -56};
    const HMONITOR primary = MonitorFromPoint(left, MONITOR_DEFAULTTONULL);
    const HMONITOR second = MonitorFromPoint(right, MONITOR_DEFAULTTONULL);
    ASSERT_TRUE(primary && second && primary != second);
    const RECT overlap{1200, 0, 1400, 100}, away{-300, 0, -200, 10};
    HWND w = CreateWindowExW(0, L"Static", L"", WS_POPUP | WS_VISIBLE, 1300, 100, 50, 50, nullptr,
                             nullptr, nullptr, nullptr);
    ShowWindow(w, SW_MINIMIZE);
    const struct {
        HMONITOR got, expected;
    } rows[] = {
        {MonitorFromPoint(POINT{1279, 1023}, MONITOR_DEFAULTTONULL), primary},
        {MonitorFromPoint(POINT{1279, 1024}, MONITOR_DEFAULTTONULL), nullptr},
        {MonitorFromPoint(POINT{1279, 1024}, MONITOR_DEFAULTTONEAREST), primary},
        {MonitorFromPoint(POINT{4000, 1100}, MONITOR_DEFAULTTONEAREST), second},
        {MonitorFromPoint(POINT{4000, 1100}, MONITOR_DEFAULTTOPRIMARY), primary},
        {MonitorFromRect(&overlap, MONITOR_DEFAULTTONULL), second},
        {MonitorFromRect(&away, MONITOR_DEFAULTTONULL), nullptr},
        {MonitorFromRect(&away, MONITOR_DEFAULTTONEAREST), primary},
        {MonitorFromWindow(w, MONITOR_DEFAULTTONULL), second},
        {MonitorFromWindow(nullptr, MONITOR_DEFAULTTOPRIMARY), primary},
    };
    for (size_t i = 0; i < std::size(rows); ++i) EXPECT_EQ(rows[i].got, rows[i].expected) << i;
    DestroyWindow(w);
    MONITORINFOEXW info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetMonitorInfoW(second, &info));
    const RECT second_rect{1280, -56, 3200, 1024};
    EXPECT_TRUE(Same(info.rcMonitor, second_rect) && Same(info.rcWork, second_rect));
    EXPECT_EQ(std::make_pair(info.dwFlags, std::wstring(info.szDevice)),
              std::make_pair(DWORD{0}, std::wstring(L"\\\\.\\DISPLAY2")));
    MONITORINFO plain{sizeof plain, {}, {}, 0};
    ASSERT_TRUE(GetMonitorInfoW(primary, &plain));
    EXPECT_EQ(plain.dwFlags, DWORD{MONITORINFOF_PRIMARY});
    plain.cbSize = 12;
    EXPECT_EQ(Failed(!GetMonitorInfoW(primary, &plain)), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Failed(!GetMonitorInfoW(reinterpret_cast<HMONITOR>(7), &info)),
              ERROR_INVALID_MONITOR_HANDLE);
}

TEST(SystemValues, WithoutInputEveryKeyIsUpAndThePointerOnScreen) {
    for (int vk : {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON, VK_SHIFT, VK_CONTROL, VK_MENU})
        EXPECT_EQ(GetKeyState(vk) & 0x8000, 0) << vk;
    POINT p{-1, -1};
    ASSERT_TRUE(GetCursorPos(&p));
    EXPECT_TRUE(p.x >= 0 && p.x < GetSystemMetrics(SM_CXSCREEN)) << p.x;
    EXPECT_TRUE(p.y >= 0 && p.y < GetSystemMetrics(SM_CYSCREEN)) << p.y;
    EXPECT_FALSE(GetCursorPos(nullptr));
}

}  // namespace
