// Pattern fills and copies between surfaces, read back through the DIB bits.
#include "dib_canvas.h"

namespace {

TEST(PatBlt, FillsWithSelectedBrushAndWritesAlphaZero) {
    DibCanvas c(4, 3);
    ASSERT_TRUE(c.valid());
    c.fill(0xFF112233);
    GdiObject<HBRUSH> red(CreateSolidBrush(RGB(255, 0, 0)));
    SelectObject(c.dc(), red);
    ASSERT_TRUE(PatBlt(c.dc(), 1, 1, 2, 1, PATCOPY));
    EXPECT_EQ(c.at(1, 1), 0x00FF0000u);
    EXPECT_EQ(c.at(2, 1), 0x00FF0000u);
    EXPECT_EQ(c.at(0, 1), 0xFF112233u);
    EXPECT_EQ(c.at(3, 1), 0xFF112233u);
    EXPECT_EQ(c.at(1, 0), 0xFF112233u);
    EXPECT_EQ(c.at(1, 2), 0xFF112233u);
    SelectObject(c.dc(), GetStockObject(WHITE_BRUSH));
}

TEST(PatBlt, NullBrushDrawsNothing) {
    DibCanvas c(3, 3);
    c.fill(0x80402010);
    SelectObject(c.dc(), GetStockObject(NULL_BRUSH));
    EXPECT_TRUE(PatBlt(c.dc(), 0, 0, 3, 3, PATCOPY));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(c.at(x, y), 0x80402010u);
}

TEST(PatBlt, NegativeSizesReachBackFromTheCornerAndKeepIt) {
    DibCanvas c(4, 4);
    SelectObject(c.dc(), GetStockObject(WHITE_BRUSH));
    ASSERT_TRUE(PatBlt(c.dc(), 3, 3, -2, -2, PATCOPY));
    EXPECT_EQ(c.picture(0), "....\n....\n..##\n..##\n");
    const RECT unordered = {1, 1, 0, 0};  // FillRect is the same fill
    EXPECT_EQ(FillRect(c.dc(), &unordered, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))), 1);
    EXPECT_EQ(c.picture(0), "....\n.#..\n..##\n..##\n");
}

TEST(PatBlt, HonoursWindowAndViewportOrigins) {
    DibCanvas c(6, 6);
    SelectObject(c.dc(), GetStockObject(WHITE_BRUSH));
    SetWindowOrgEx(c.dc(), -2, -1, nullptr);  // logical (0,0) at device (2,1)
    SetViewportOrgEx(c.dc(), 1, 0, nullptr);  // and one more to the right
    ASSERT_TRUE(PatBlt(c.dc(), 0, 0, 2, 2, PATCOPY));
    EXPECT_EQ(c.at(3, 1), 0x00FFFFFFu);
    EXPECT_EQ(c.at(4, 2), 0x00FFFFFFu);
    EXPECT_EQ(c.picture(0), "......\n...##.\n...##.\n......\n......\n......\n");
}

TEST(PatBlt, ClippedByAComplexClipRegion) {
    DibCanvas c(5, 5);
    GdiObject<HRGN> a(CreateRectRgn(0, 0, 2, 2));
    GdiObject<HRGN> b(CreateRectRgn(3, 3, 5, 5));
    ASSERT_EQ(SelectClipRgn(c.dc(), a), SIMPLEREGION);
    ASSERT_EQ(ExtSelectClipRgn(c.dc(), b, RGN_OR), COMPLEXREGION);
    SelectObject(c.dc(), GetStockObject(WHITE_BRUSH));
    ASSERT_TRUE(PatBlt(c.dc(), 1, 1, 3, 3, PATCOPY));
    EXPECT_EQ(c.picture(0), ".....\n.#...\n.....\n...#.\n.....\n");
}

TEST(PatBlt, BottomUpSectionGetsTheSamePicture) {
    DibCanvas c(3, 3, true);
    SelectObject(c.dc(), GetStockObject(WHITE_BRUSH));
    ASSERT_TRUE(PatBlt(c.dc(), 0, 0, 3, 1, PATCOPY));
    // Row 0 of the picture is the last row in memory.
    EXPECT_EQ(c.bits()[6], 0x00FFFFFFu);
    EXPECT_EQ(c.bits()[0], 0u);
    EXPECT_EQ(c.picture(0), "###\n...\n...\n");
}

TEST(PatBlt, BlacknessAndWhitenessIgnoreTheBrush) {
    DibCanvas c(2, 1);
    c.fill(0xFF123456);
    EXPECT_TRUE(PatBlt(c.dc(), 0, 0, 1, 1, WHITENESS));
    EXPECT_TRUE(PatBlt(c.dc(), 1, 0, 1, 1, BLACKNESS));
    EXPECT_EQ(c.at(0, 0), 0x00FFFFFFu);
    EXPECT_EQ(c.at(1, 0), 0x00000000u);
}

TEST(PatBlt, InformationContextHasNoPixels) {
    HDC ic = CreateICW(L"DISPLAY", nullptr, nullptr, nullptr);
    ASSERT_NE(ic, nullptr);
    EXPECT_FALSE(PatBlt(ic, 0, 0, 1, 1, PATCOPY));
    DeleteDC(ic);
}

TEST(BitBlt, CopiesAllFourBytesBetween32BitSurfaces) {
    DibCanvas src(3, 3), dst(3, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) src.at(x, y) = 0x10000000u * (y * 3 + x) + 0x00102030u;
    dst.fill(0xDEADBEEF);
    ASSERT_TRUE(BitBlt(dst.dc(), 1, 1, 2, 2, src.dc(), 0, 1, SRCCOPY));
    EXPECT_EQ(dst.at(1, 1), src.at(0, 1));
    EXPECT_EQ(dst.at(2, 1), src.at(1, 1));
    EXPECT_EQ(dst.at(1, 2), src.at(0, 2));
    EXPECT_EQ(dst.at(2, 2), src.at(1, 2));
    EXPECT_EQ(dst.at(0, 0), 0xDEADBEEFu);
    EXPECT_EQ(dst.at(0, 1), 0xDEADBEEFu);
    EXPECT_EQ(dst.at(1, 0), 0xDEADBEEFu);
}

TEST(BitBlt, ClippedByTheDestinationClipAndBothSurfaces) {
    DibCanvas src(2, 2), dst(4, 4);
    src.fill(0xFF00FF00);
    GdiObject<HRGN> clip(CreateRectRgn(0, 0, 4, 2));
    SelectClipRgn(dst.dc(), clip);
    // Asks for 4x4 from a 2x2 source at (1,1): the source limits it to 2x2, the clip to one row.
    ASSERT_TRUE(BitBlt(dst.dc(), 1, 1, 4, 4, src.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(dst.picture(0), "....\n.##.\n....\n....\n");
    EXPECT_EQ(dst.at(1, 1), 0xFF00FF00u);
}

TEST(BitBlt, OverlappingCopyWithinOneSurfaceReadsBeforeWriting) {
    DibCanvas c(5, 1);
    for (int x = 0; x < 5; ++x) c.at(x, 0) = static_cast<uint32_t>(x + 1);
    ASSERT_TRUE(BitBlt(c.dc(), 1, 0, 4, 1, c.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(c.at(0, 0), 1u);
    EXPECT_EQ(c.at(1, 0), 1u);
    EXPECT_EQ(c.at(2, 0), 2u);
    EXPECT_EQ(c.at(3, 0), 3u);
    EXPECT_EQ(c.at(4, 0), 4u);
    ASSERT_TRUE(BitBlt(c.dc(), 0, 0, 4, 1, c.dc(), 1, 0, SRCCOPY));
    EXPECT_EQ(c.at(0, 0), 1u);
    EXPECT_EQ(c.at(1, 0), 2u);
    EXPECT_EQ(c.at(3, 0), 4u);
}

TEST(BitBlt, UsesLogicalCoordinatesOfBothDcs) {
    DibCanvas src(4, 4), dst(4, 4);
    src.at(3, 3) = 0x7F010203;
    SetWindowOrgEx(src.dc(), 2, 2, nullptr);   // logical (5,5) is device (3,3)
    SetWindowOrgEx(dst.dc(), -1, 0, nullptr);  // logical (0,0) is device (1,0)
    ASSERT_TRUE(BitBlt(dst.dc(), 0, 0, 1, 1, src.dc(), 5, 5, SRCCOPY));
    EXPECT_EQ(dst.at(1, 0), 0x7F010203u);
}

TEST(BitBlt, MonochromeSourceTakesTextAndBackgroundColours) {
    // Row of 4 pixels: 1 0 1 0 (white, black, white, black).
    const BYTE bits[2] = {0xA0, 0x00};
    GdiObject<HBITMAP> mono(CreateBitmap(4, 1, 1, 1, bits));
    HDC mdc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(mdc, mono);
    DibCanvas dst(4, 1);
    SetTextColor(dst.dc(), RGB(1, 2, 3));
    SetBkColor(dst.dc(), RGB(40, 50, 60));
    ASSERT_TRUE(BitBlt(dst.dc(), 0, 0, 4, 1, mdc, 0, 0, SRCCOPY));
    EXPECT_EQ(dst.at(0, 0), 0x0028323Cu);  // background: R 40, G 50, B 60
    EXPECT_EQ(dst.at(1, 0), 0x00010203u);  // text
    EXPECT_EQ(dst.at(2, 0), 0x0028323Cu);
    EXPECT_EQ(dst.at(3, 0), 0x00010203u);
    SelectObject(mdc, old);
    DeleteDC(mdc);
}

TEST(BitBlt, ColourToMonochromeMarksTheSourceBackgroundWhite) {
    DibCanvas src(2, 1);
    src.at(0, 0) = 0x00FF0000;  // red
    src.at(1, 0) = 0x000000FF;  // blue
    SetBkColor(src.dc(), RGB(255, 0, 0));
    GdiObject<HBITMAP> mono(CreateBitmap(2, 1, 1, 1, nullptr));
    HDC mdc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(mdc, mono);
    ASSERT_TRUE(BitBlt(mdc, 0, 0, 2, 1, src.dc(), 0, 0, SRCCOPY));
    SelectObject(mdc, old);
    DeleteDC(mdc);
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = 2;
    bmi.bmiHeader.biHeight = -1;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    uint32_t out[2] = {7, 7};
    HDC screen = GetDC(nullptr);
    ASSERT_EQ(GetDIBits(screen, mono, 0, 1, out, &bmi, DIB_RGB_COLORS), 1);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(out[0], 0x00FFFFFFu);
    EXPECT_EQ(out[1], 0x00000000u);
}

TEST(BitBlt, FailsWithoutASourceSurface) {
    DibCanvas dst(2, 2);
    HDC ic = CreateICW(L"DISPLAY", nullptr, nullptr, nullptr);
    EXPECT_FALSE(BitBlt(dst.dc(), 0, 0, 1, 1, ic, 0, 0, SRCCOPY));
    EXPECT_FALSE(BitBlt(dst.dc(), 0, 0, 1, 1, nullptr, 0, 0, SRCCOPY));
    DeleteDC(ic);
}

}  // namespace
