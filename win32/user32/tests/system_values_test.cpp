#include <windows.h>

#include <gtest/gtest.h>

namespace {

// One screen: the virtual screen, the desktop window, the screen DC, the work area and
// the window frames all agree with the metrics.
TEST(SystemValues, TheScreenAndTheFramesAgreeWithTheMetrics) {
    const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_EQ(GetSystemMetrics(SM_XVIRTUALSCREEN), 0);
    EXPECT_EQ(GetSystemMetrics(SM_YVIRTUALSCREEN), 0);
    EXPECT_EQ(GetSystemMetrics(SM_CXVIRTUALSCREEN), cx);
    EXPECT_EQ(GetSystemMetrics(SM_CYVIRTUALSCREEN), cy);
    RECT desktop{};
    ASSERT_TRUE(GetWindowRect(GetDesktopWindow(), &desktop));
    EXPECT_EQ(desktop.right - desktop.left, cx);
    EXPECT_EQ(desktop.bottom - desktop.top, cy);
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(screen, HORZRES), cx);
    EXPECT_EQ(GetDeviceCaps(screen, VERTRES), cy);
    ReleaseDC(nullptr, screen);
    RECT work{-1, -1, -1, -1};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_TRUE(work.left >= 0 && work.top >= 0 && work.right <= cx && work.bottom <= cy);
    EXPECT_TRUE(work.right > work.left && work.bottom > work.top);
    RECT r{0, 0, 100, 100};
    ASSERT_TRUE(AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, FALSE, 0));
    EXPECT_EQ(-r.left, GetSystemMetrics(SM_CXFRAME));
    EXPECT_EQ(-r.top, GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION));
    EXPECT_EQ(GetSystemMetrics(-5), 0);
    int v = 0;
    SetLastError(0);
    EXPECT_FALSE(SystemParametersInfoW(0x7777, 0, &v, 0));
    EXPECT_NE(GetLastError(), 0u);
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
