// Device contexts: the display's capabilities, the screen DC and the DC state.
#include "dib_canvas.h"

namespace {

TEST(GetDeviceCaps, DescribesA32BitDisplayAt96Dpi) {
    HDC ic = CreateICW(L"DISPLAY", nullptr, nullptr, nullptr);
    ASSERT_NE(ic, nullptr);
    EXPECT_EQ(GetDeviceCaps(ic, BITSPIXEL), 32);
    EXPECT_EQ(GetDeviceCaps(ic, PLANES), 1);
    EXPECT_EQ(GetDeviceCaps(ic, RASTERCAPS) & RC_PALETTE, 0);
    EXPECT_NE(GetDeviceCaps(ic, RASTERCAPS) & RC_BITBLT, 0);
    EXPECT_EQ(GetDeviceCaps(ic, SIZEPALETTE), 0);
    EXPECT_EQ(GetDeviceCaps(ic, LOGPIXELSX), 96);
    EXPECT_EQ(GetDeviceCaps(ic, LOGPIXELSY), 96);
    EXPECT_EQ(GetDeviceCaps(ic, HORZRES), 1280);
    EXPECT_EQ(GetDeviceCaps(ic, VERTRES), 800);
    EXPECT_EQ(GetDeviceCaps(ic, HORZSIZE), 338);
    EXPECT_EQ(GetDeviceCaps(ic, VERTSIZE), 211);
    EXPECT_EQ(GetDeviceCaps(ic, PHYSICALWIDTH), 0);
    EXPECT_EQ(GetDeviceCaps(ic, PHYSICALHEIGHT), 0);
    EXPECT_EQ(GetDeviceCaps(ic, PHYSICALOFFSETX), 0);
    EXPECT_EQ(GetDeviceCaps(ic, PHYSICALOFFSETY), 0);
    EXPECT_EQ(GetObjectType(ic), static_cast<DWORD>(OBJ_DC));
    EXPECT_TRUE(DeleteDC(ic));
    EXPECT_EQ(GetDeviceCaps(ic, BITSPIXEL), 0);
}

TEST(CreateICW, OnlyTheDisplayIsADevice) {
    EXPECT_EQ(CreateICW(L"PRINTER", nullptr, nullptr, nullptr), nullptr);
    HDC ic = CreateICW(L"display", nullptr, nullptr, nullptr);
    EXPECT_NE(ic, nullptr);
    DeleteDC(ic);
}

TEST(ScreenDc, IsA1280By800SurfaceThatReleaseDcFrees) {
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    RECT box{};
    EXPECT_EQ(GetClipBox(screen, &box), SIMPLEREGION);
    EXPECT_EQ(box.right, 1280);
    EXPECT_EQ(box.bottom, 800);
    // Pixels drawn on the screen can be read back from it.
    SelectObject(screen, GetStockObject(GRAY_BRUSH));
    ASSERT_TRUE(PatBlt(screen, 1279, 799, 1, 1, PATCOPY));
    DibCanvas c(1, 1);
    ASSERT_TRUE(BitBlt(c.dc(), 0, 0, 1, 1, screen, 1279, 799, SRCCOPY));
    EXPECT_EQ(c.at(0, 0), 0x00808080u);
    EXPECT_FALSE(DeleteDC(screen));  // a GetDC context goes back with ReleaseDC
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 0);
}

TEST(DcState, SettersAnswerThePreviousValue) {
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SetTextColor(dc, RGB(1, 2, 3)), RGB(0, 0, 0));
    EXPECT_EQ(SetTextColor(dc, RGB(4, 5, 6)), RGB(1, 2, 3));
    EXPECT_EQ(GetTextColor(dc), RGB(4, 5, 6));
    EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE);
    EXPECT_EQ(SetBkMode(dc, OPAQUE), TRANSPARENT);
    EXPECT_EQ(SetBkMode(dc, 7), 0);
    EXPECT_EQ(SetTextAlign(dc, TA_BASELINE), static_cast<UINT>(TA_LEFT | TA_TOP));
    EXPECT_EQ(GetTextAlign(dc), static_cast<UINT>(TA_BASELINE));
    EXPECT_EQ(SetBkColor(dc, RGB(7, 7, 7)), RGB(255, 255, 255));
    EXPECT_EQ(SetTextColor(nullptr, 0), CLR_INVALID);
    EXPECT_EQ(SetTextAlign(nullptr, 0), static_cast<UINT>(GDI_ERROR));
    DeleteDC(dc);
}

TEST(Origins, DeviceIsLogicalMinusWindowPlusViewport) {
    HDC dc = CreateCompatibleDC(nullptr);
    POINT old{-1, -1};
    ASSERT_TRUE(SetWindowOrgEx(dc, 10, 20, &old));
    EXPECT_EQ(old.x, 0);
    EXPECT_EQ(old.y, 0);
    ASSERT_TRUE(SetViewportOrgEx(dc, 3, 4, nullptr));
    POINT vp{};
    ASSERT_TRUE(GetViewportOrgEx(dc, &vp));
    EXPECT_EQ(vp.x, 3);
    EXPECT_EQ(vp.y, 4);
    POINT pts[2] = {{10, 20}, {0, 0}};
    ASSERT_TRUE(LPtoDP(dc, pts, 2));
    EXPECT_EQ(pts[0].x, 3);
    EXPECT_EQ(pts[0].y, 4);
    EXPECT_EQ(pts[1].x, -7);
    EXPECT_EQ(pts[1].y, -16);
    ASSERT_TRUE(DPtoLP(dc, pts, 2));
    EXPECT_EQ(pts[0].x, 10);
    EXPECT_EQ(pts[1].y, 0);
    ASSERT_TRUE(SetWindowOrgEx(dc, 0, 0, &old));
    EXPECT_EQ(old.x, 10);
    EXPECT_EQ(old.y, 20);
    DeleteDC(dc);
}

TEST(Origins, ClipBoxIsInLogicalUnits) {
    DibCanvas c(10, 10);
    GdiObject<HRGN> rgn(CreateRectRgn(2, 2, 6, 6));
    SelectClipRgn(c.dc(), rgn);
    SetWindowOrgEx(c.dc(), 5, 5, nullptr);
    RECT box{};
    ASSERT_EQ(GetClipBox(c.dc(), &box), SIMPLEREGION);
    EXPECT_EQ(box.left, 7);
    EXPECT_EQ(box.top, 7);
    EXPECT_EQ(box.right, 11);
    EXPECT_EQ(box.bottom, 11);
    RECT inside{8, 8, 9, 9}, outside{0, 0, 7, 7};
    EXPECT_TRUE(RectVisible(c.dc(), &inside));
    EXPECT_FALSE(RectVisible(c.dc(), &outside));
}

}  // namespace

#include <thread>

namespace {

TEST(DcThreads, TwoThreadsDrawOnTheirOwnDcsAtOnce) {
    auto draw = [](COLORREF color, uint32_t expect, bool* ok) {
        DibCanvas c(16, 16);
        HBRUSH brush = CreateSolidBrush(color);
        HGDIOBJ old = SelectObject(c.dc(), brush);
        bool good = c.valid();
        for (int i = 0; i < 500 && good; ++i) {
            good = PatBlt(c.dc(), i % 16, 0, 1, 16, PATCOPY) && c.at(i % 16, 15) == expect;
            HRGN rgn = CreateRectRgn(0, 0, 8, 8);
            good = good && SelectClipRgn(c.dc(), rgn) == SIMPLEREGION &&
                   SelectClipRgn(c.dc(), nullptr);
            DeleteObject(rgn);
        }
        SelectObject(c.dc(), old);
        DeleteObject(brush);
        *ok = good;
    };
    bool ok1 = false, ok2 = false;
    std::thread a(draw, RGB(255, 0, 0), 0x00FF0000u, &ok1);
    std::thread b(draw, RGB(0, 0, 255), 0x000000FFu, &ok2);
    a.join();
    b.join();
    EXPECT_TRUE(ok1);
    EXPECT_TRUE(ok2);
}

}  // namespace
