// Device contexts: the display's capabilities, the screen DC and the DC state.
#include "dib_canvas.h"

#include <thread>

namespace {

TEST(GetDeviceCaps, DescribesA32BitDisplayAt96DpiAndOnlyTheDisplayIsADevice) {
    HDC ic = CreateICW(L"display", nullptr, nullptr, nullptr);
    ASSERT_NE(ic, nullptr);
    const std::pair<int, int> caps[] = {{BITSPIXEL, 32},    {PLANES, 1},         {SIZEPALETTE, 0},
                                        {LOGPIXELSX, 96},   {LOGPIXELSY, 96},    {HORZRES, 1280},
                                        {VERTRES, 800},     {HORZSIZE, 338},     {VERTSIZE, 211},
                                        {PHYSICALWIDTH, 0}, {PHYSICALOFFSETX, 0}};
    for (auto [index, value] : caps) EXPECT_EQ(GetDeviceCaps(ic, index), value) << index;
    EXPECT_EQ(GetDeviceCaps(ic, RASTERCAPS) & (RC_PALETTE | RC_BITBLT), RC_BITBLT);
    EXPECT_EQ(GetObjectType(ic), static_cast<DWORD>(OBJ_DC));
    EXPECT_TRUE(DeleteDC(ic));
    EXPECT_EQ(GetDeviceCaps(ic, BITSPIXEL), 0);
    EXPECT_EQ(CreateICW(L"PRINTER", nullptr, nullptr, nullptr), nullptr);
}

TEST(ScreenDc, IsA1280By800SurfaceThatReleaseDcFrees) {
    HDC screen = GetDC(nullptr);
    RECT box{};
    EXPECT_EQ(GetClipBox(screen, &box), SIMPLEREGION);
    EXPECT_EQ(box, (RECT{0, 0, 1280, 800}));
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

TEST(DcState, SettersAnswerThePreviousValueToPutBack) {
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SetTextColor(dc, RGB(1, 2, 3)), RGB(0, 0, 0));
    EXPECT_EQ(GetTextColor(dc), RGB(1, 2, 3));
    EXPECT_EQ(SetBkColor(dc, RGB(7, 7, 7)), RGB(255, 255, 255));
    EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE);
    EXPECT_EQ(SetBkMode(dc, 7), 0);  // no such mode
    EXPECT_EQ(SetTextAlign(dc, TA_BASELINE), static_cast<UINT>(TA_LEFT | TA_TOP));
    EXPECT_EQ(GetTextAlign(dc), static_cast<UINT>(TA_BASELINE));
    EXPECT_EQ(SetTextColor(nullptr, 0), CLR_INVALID);
    EXPECT_EQ(SetTextAlign(nullptr, 0), static_cast<UINT>(GDI_ERROR));
    DeleteDC(dc);
}

TEST(Origins, DeviceIsLogicalMinusWindowPlusViewportAndTheClipBoxIsLogical) {
    DibCanvas c(10, 10);
    POINT old{-1, -1}, vp{};
    ASSERT_TRUE(SetWindowOrgEx(c.dc(), 10, 20, &old));
    EXPECT_EQ(old, (POINT{0, 0}));
    ASSERT_TRUE(SetViewportOrgEx(c.dc(), 3, 4, nullptr));
    ASSERT_TRUE(GetViewportOrgEx(c.dc(), &vp));
    EXPECT_EQ(vp, (POINT{3, 4}));
    POINT pts[2] = {{10, 20}, {0, 0}};
    ASSERT_TRUE(LPtoDP(c.dc(), pts, 2));
    EXPECT_EQ(pts[0], (POINT{3, 4}));
    EXPECT_EQ(pts[1], (POINT{-7, -16}));
    ASSERT_TRUE(DPtoLP(c.dc(), pts, 2));
    EXPECT_EQ(pts[0], (POINT{10, 20}));
    EXPECT_EQ(pts[1], (POINT{0, 0}));
    ASSERT_TRUE(SetWindowOrgEx(c.dc(), 5, 5, &old));
    EXPECT_EQ(old, (POINT{10, 20}));
    SetViewportOrgEx(c.dc(), 0, 0, nullptr);
    GdiObject<HRGN> rgn(CreateRectRgn(2, 2, 6, 6));
    SelectClipRgn(c.dc(), rgn);
    RECT box{}, inside{8, 8, 9, 9}, outside{0, 0, 7, 7};
    ASSERT_EQ(GetClipBox(c.dc(), &box), SIMPLEREGION);
    EXPECT_EQ(box, (RECT{7, 7, 11, 11}));
    EXPECT_TRUE(RectVisible(c.dc(), &inside));
    EXPECT_FALSE(RectVisible(c.dc(), &outside));
}

TEST(DcThreads, TwoThreadsDrawOnTheirOwnDcsAtOnce) {
    auto draw = [](COLORREF color, uint32_t expect, bool* ok) {
        DibCanvas c(16, 16);
        GdiObject<HBRUSH> brush(CreateSolidBrush(color));
        HGDIOBJ old = SelectObject(c.dc(), brush);
        bool good = c.valid();
        for (int i = 0; i < 500 && good; ++i) {
            good = PatBlt(c.dc(), i % 16, 0, 1, 16, PATCOPY) && c.at(i % 16, 15) == expect;
            GdiObject<HRGN> rgn(CreateRectRgn(0, 0, 8, 8));
            good = good && SelectClipRgn(c.dc(), rgn) == SIMPLEREGION &&
                   SelectClipRgn(c.dc(), nullptr);
        }
        SelectObject(c.dc(), old);
        *ok = good;
    };
    bool ok1 = false, ok2 = false;
    std::thread a(draw, RGB(255, 0, 0), 0x00FF0000u, &ok1);
    std::thread b(draw, RGB(0, 0, 255), 0x000000FFu, &ok2);
    a.join();
    b.join();
    EXPECT_TRUE(ok1 && ok2);
}

}  // namespace
