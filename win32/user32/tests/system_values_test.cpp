#include <windows.h>

#include <gtest/gtest.h>

#include "testing/scoped_env.h"
#include "testing/win32_last_error.h"

using testing_support::Failed;
using testing_support::ScopedEnv;

namespace {

std::vector<int> Corners(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

// A fixed screen (WIN32_SCREEN's monitors, the primary first; one of 1280x800 without it
// or when it is malformed). As on Windows the screen, the desktop window, the screen DC
// and the work area are the primary monitor's, the virtual screen holds every monitor;
// a monitor is found for a point, a rectangle (the largest overlap) or a window (a
// minimised one where it will be restored), else as the flags say.
TEST(SystemValues, TheScreenIsThePrimaryMonitorAndMonitorsAreFoundByWindowsRules) {
    ScopedEnv headless("WIN32_NO_DISPLAY", "1");
    const struct {
        const char* setting;
        std::vector<int> seen;  // the screen, virtual screen, monitors, desktop, work area, DC
    } screens[] = {
        {"", {1280, 800, 0, 0, 1280, 800, 1, 1280, 800, 1280, 800, 1280}},
        {"1024x768,", {1280, 800, 0, 0, 1280, 800, 1, 1280, 800, 1280, 800, 1280}},
        {"1280x1024,1920x1080+1280-56",
         {1280, 1024, 0, -56, 3200, 1080, 2, 1280, 1024, 1280, 1024, 1280}},
    };
    for (const auto& row : screens) {
        ScopedEnv screen("WIN32_SCREEN", row.setting);
        RECT desktop{}, work{};
        GetWindowRect(GetDesktopWindow(), &desktop);
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        HDC dc = GetDC(nullptr);
        std::vector<int> seen;
        for (int index : {SM_CXSCREEN, SM_CYSCREEN, SM_XVIRTUALSCREEN, SM_YVIRTUALSCREEN,
                          SM_CXVIRTUALSCREEN, SM_CYVIRTUALSCREEN, SM_CMONITORS})
            seen.push_back(GetSystemMetrics(index));
        seen.insert(seen.end(), {desktop.right, desktop.bottom, work.right, work.bottom,
                                 GetDeviceCaps(dc, HORZRES)});
        ReleaseDC(nullptr, dc);
        EXPECT_EQ(seen, row.seen) << row.setting;
    }
    // The last screen stays for the monitors.
    ScopedEnv screen("WIN32_SCREEN", "1280x1024,1920x1080+1280-56");
    const HMONITOR primary = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTONULL);
    const HMONITOR second = MonitorFromPoint(POINT{1280, -56}, MONITOR_DEFAULTTONULL);
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
    EXPECT_EQ(std::make_tuple(Corners(info.rcMonitor), Corners(info.rcWork), info.dwFlags,
                              std::wstring(info.szDevice)),
              std::make_tuple(std::vector<int>{1280, -56, 3200, 1024},
                              std::vector<int>{1280, -56, 3200, 1024}, DWORD{0},
                              std::wstring(L"\\\\.\\DISPLAY2")));
    MONITORINFO plain{sizeof plain, {}, {}, 0};
    ASSERT_TRUE(GetMonitorInfoW(primary, &plain));
    EXPECT_EQ(plain.dwFlags, DWORD{MONITORINFOF_PRIMARY});
    plain.cbSize = 12;
    EXPECT_EQ(Failed(!GetMonitorInfoW(primary, &plain)), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Failed(!GetMonitorInfoW(reinterpret_cast<HMONITOR>(7), &info)),
              ERROR_INVALID_MONITOR_HANDLE);
}

TEST(SystemValues, TheFramesAgreeWithTheMetrics) {
    RECT r{0, 0, 100, 100};
    ASSERT_TRUE(AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, FALSE, 0));
    EXPECT_EQ(-r.left, GetSystemMetrics(SM_CXFRAME));
    EXPECT_EQ(-r.top, GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION));
    EXPECT_EQ(GetSystemMetrics(-5), 0);
    int v = 0;
    EXPECT_NE(Failed(!SystemParametersInfoW(0x7777, 0, &v, 0)), 0);
    EXPECT_FALSE(SystemParametersInfoW(SPI_GETWORKAREA, 0, nullptr, 0));
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
