#include <windows.h>

#include <gtest/gtest.h>

namespace {

TEST(SystemValues, TheVirtualScreenIsTheOneScreen) {
    EXPECT_EQ(GetSystemMetrics(SM_XVIRTUALSCREEN), 0);
    EXPECT_EQ(GetSystemMetrics(SM_YVIRTUALSCREEN), 0);
    EXPECT_EQ(GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(GetSystemMetrics(SM_CYVIRTUALSCREEN), GetSystemMetrics(SM_CYSCREEN));
    RECT desktop{};
    ASSERT_TRUE(GetWindowRect(GetDesktopWindow(), &desktop));
    EXPECT_EQ(desktop.right - desktop.left, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(desktop.bottom - desktop.top, GetSystemMetrics(SM_CYSCREEN));
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(GetDeviceCaps(screen, HORZRES), GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(GetDeviceCaps(screen, VERTRES), GetSystemMetrics(SM_CYSCREEN));
    ReleaseDC(nullptr, screen);
}

TEST(SystemValues, CursorsAre32PixelsAndDoubleClicksMayMove4) {
    EXPECT_EQ(GetSystemMetrics(SM_CXCURSOR), 32);
    EXPECT_EQ(GetSystemMetrics(SM_CYCURSOR), 32);
    EXPECT_EQ(GetSystemMetrics(SM_CXDOUBLECLK), 4);
    EXPECT_EQ(GetSystemMetrics(SM_CYDOUBLECLK), 4);
    EXPECT_EQ(GetSystemMetrics(SM_CXICON), 32);
    EXPECT_EQ(GetSystemMetrics(SM_CXSMICON), 16);
    EXPECT_EQ(GetSystemMetrics(-5), 0);
}

TEST(SystemValues, FrameSizesMatchWindowLayout) {
    RECT r{0, 0, 100, 100};
    ASSERT_TRUE(AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, FALSE, 0));
    EXPECT_EQ(-r.left, GetSystemMetrics(SM_CXFRAME));
    EXPECT_EQ(-r.top, GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION));
}

TEST(SystemValues, TheWorkAreaIsInsideTheScreen) {
    RECT work{-1, -1, -1, -1};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_GE(work.left, 0);
    EXPECT_GE(work.top, 0);
    EXPECT_LE(work.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_LE(work.bottom, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_GT(work.right - work.left, 0);
    EXPECT_GT(work.bottom - work.top, 0);
}

TEST(SystemValues, KeyboardRepeatIsQuick) {
    int delay = -1;
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETKEYBOARDDELAY, 0, &delay, 0));
    EXPECT_EQ(delay, 1);
    DWORD speed = 0;
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETKEYBOARDSPEED, 0, &speed, 0));
    EXPECT_EQ(speed, 31u);
}

TEST(SystemValues, UnknownOrPointerlessQueriesFail) {
    SetLastError(0);
    int v = 0;
    EXPECT_FALSE(SystemParametersInfoW(0x7777, 0, &v, 0));
    EXPECT_NE(GetLastError(), 0u);
    EXPECT_FALSE(SystemParametersInfoW(SPI_GETWORKAREA, 0, nullptr, 0));
}

TEST(SystemValues, WithoutInputEveryKeyIsUpAndThePointerOnScreen) {
    for (int vk : {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON, VK_SHIFT, VK_CONTROL, VK_MENU}) {
        EXPECT_EQ(GetKeyState(vk) & 0x8000, 0) << vk;
    }
    POINT p{-1, -1};
    ASSERT_TRUE(GetCursorPos(&p));
    EXPECT_TRUE(p.x >= 0 && p.x < GetSystemMetrics(SM_CXSCREEN)) << p.x;
    EXPECT_TRUE(p.y >= 0 && p.y < GetSystemMetrics(SM_CYSCREEN)) << p.y;
    EXPECT_FALSE(GetCursorPos(nullptr));
}

}  // namespace
