// Pattern fills and copies between surfaces, read back through the DIB bits.
#include "dib_canvas.h"

#include <functional>

namespace {

struct Fill {
    const char* what;
    int width, height;
    bool bottom_up;
    std::function<void(HDC)> draw;  // with the white brush selected
    const char* picture;
};

TEST(PatBlt, FillsTheAreaTheOriginsClipAndSizesGive) {
    GdiObject<HRGN> a(CreateRectRgn(0, 0, 2, 2)), b(CreateRectRgn(3, 3, 5, 5));
    const Fill cases[] = {
        {"negative sizes reach back from the corner and keep it", 4, 4, false,
         [](HDC dc) { PatBlt(dc, 3, 3, -2, -2, PATCOPY); }, "....\n....\n..##\n..##\n"},
        {"FillRect's unordered rectangle is the same fill", 3, 2, false,
         [](HDC dc) {
             const RECT unordered = {1, 1, 0, 0};
             FillRect(dc, &unordered, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
         },
         "...\n.#.\n"},
        {"logical (0,0) at device (3,1)", 6, 4, false,
         [](HDC dc) {
             SetWindowOrgEx(dc, -2, -1, nullptr);
             SetViewportOrgEx(dc, 1, 0, nullptr);
             PatBlt(dc, 0, 0, 2, 2, PATCOPY);
         },
         "......\n...##.\n...##.\n......\n"},
        {"a complex clip region", 5, 5, false,
         [&](HDC dc) {
             SelectClipRgn(dc, a);
             ExtSelectClipRgn(dc, b, RGN_OR);
             PatBlt(dc, 1, 1, 3, 3, PATCOPY);
         },
         ".....\n.#...\n.....\n...#.\n.....\n"},
        {"a bottom-up section", 3, 3, true, [](HDC dc) { PatBlt(dc, 0, 0, 3, 1, PATCOPY); },
         "###\n...\n...\n"},
        {"the null brush", 3, 1, false,
         [](HDC dc) {
             SelectObject(dc, GetStockObject(NULL_BRUSH));
             PatBlt(dc, 0, 0, 3, 1, PATCOPY);
         },
         "...\n"},
    };
    for (const Fill& t : cases) {
        DibCanvas c(t.width, t.height, t.bottom_up);
        c.fill(0xFF000000);
        SelectObject(c.dc(), GetStockObject(WHITE_BRUSH));
        t.draw(c.dc());
        EXPECT_EQ(c.picture(0xFF000000), t.picture) << t.what;
        if (t.bottom_up) {
            EXPECT_EQ(c.bits()[6], 0x00FFFFFFu);  // row 0 is the last in memory
        }
    }
}

TEST(PatBlt, WorksOnEveryBitOfThePixelAndNothingOnAnInformationContext) {
    // The operations are bitwise on the whole pixel (the raster operation codes); a
    // brush's colour has alpha 0.
    const std::pair<DWORD, uint32_t> rops[] = {{PATCOPY, 0x00FF0000},
                                               {WHITENESS, 0xFFFFFFFF},
                                               {BLACKNESS, 0},
                                               {DSTINVERT, 0x7FEEDDCC},
                                               {PATINVERT, 0x80EE2233}};
    GdiObject<HBRUSH> red(CreateSolidBrush(RGB(255, 0, 0)));
    GdiObject<HRGN> clip(CreateRectRgn(0, 0, 2, 1));
    for (auto [rop, pixel] : rops) {
        DibCanvas c(3, 1);
        c.fill(0x80112233);
        SelectObject(c.dc(), red);
        SelectClipRgn(c.dc(), clip);
        EXPECT_TRUE(PatBlt(c.dc(), 1, 0, 2, 1, rop)) << rop;
        EXPECT_EQ(c.at(0, 0), 0x80112233u) << rop;
        EXPECT_EQ(c.at(1, 0), pixel) << rop;
        EXPECT_EQ(c.at(2, 0), 0x80112233u) << rop;
    }
    HDC ic = CreateICW(L"DISPLAY", nullptr, nullptr, nullptr);
    EXPECT_FALSE(PatBlt(ic, 0, 0, 1, 1, PATCOPY));
    DeleteDC(ic);
}

TEST(BitBlt, CopiesAllFourBytesInLogicalUnitsClippedByBothSurfaces) {
    DibCanvas src(3, 3), dst(3, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) src.at(x, y) = 0x10000000u * (y * 3 + x) + 0x00102030u;
    dst.fill(0xDEADBEEF);
    ASSERT_TRUE(BitBlt(dst.dc(), 1, 1, 2, 2, src.dc(), 0, 1, SRCCOPY));
    EXPECT_EQ(dst.at(1, 1), src.at(0, 1));
    EXPECT_EQ(dst.at(2, 1), src.at(1, 1));
    EXPECT_EQ(dst.at(1, 2), src.at(0, 2));
    EXPECT_EQ(dst.at(2, 2), src.at(1, 2));
    EXPECT_EQ(dst.picture(0xDEADBEEF), "...\n.xx\n.xx\n");
    DibCanvas small(2, 2), big(4, 4);
    small.fill(0x00FFFFFF);
    GdiObject<HRGN> clip(CreateRectRgn(0, 0, 4, 2));
    SelectClipRgn(big.dc(), clip);
    // 4x4 asked for from a 2x2 source at (1,1): the source limits it to 2x2, the clip to one row.
    ASSERT_TRUE(BitBlt(big.dc(), 1, 1, 4, 4, small.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(big.picture(), "....\n.##.\n....\n....\n");
    src.at(2, 2) = 0x7F010203;
    SetWindowOrgEx(src.dc(), 2, 2, nullptr);   // logical (4,4) is device (2,2)
    SetWindowOrgEx(dst.dc(), -1, 0, nullptr);  // logical (0,0) is device (1,0)
    ASSERT_TRUE(BitBlt(dst.dc(), 0, 0, 1, 1, src.dc(), 4, 4, SRCCOPY));
    EXPECT_EQ(dst.at(1, 0), 0x7F010203u);
    HDC ic = CreateICW(L"DISPLAY", nullptr, nullptr, nullptr);
    EXPECT_FALSE(BitBlt(dst.dc(), 0, 0, 1, 1, ic, 0, 0, SRCCOPY));
    EXPECT_FALSE(BitBlt(dst.dc(), 0, 0, 1, 1, nullptr, 0, 0, SRCCOPY));
    DeleteDC(ic);
}

TEST(BitBlt, OverlappingCopyWithinOneSurfaceReadsBeforeWriting) {
    DibCanvas c(5, 1);
    for (int x = 0; x < 5; ++x) c.at(x, 0) = static_cast<uint32_t>(x + 1);
    ASSERT_TRUE(BitBlt(c.dc(), 1, 0, 4, 1, c.dc(), 0, 0, SRCCOPY));
    for (uint32_t x = 0, want[] = {1, 1, 2, 3, 4}; x < 5; ++x) EXPECT_EQ(c.at(x, 0), want[x]);
    ASSERT_TRUE(BitBlt(c.dc(), 0, 0, 4, 1, c.dc(), 1, 0, SRCCOPY));
    for (uint32_t x = 0, want[] = {1, 2, 3, 4, 4}; x < 5; ++x) EXPECT_EQ(c.at(x, 0), want[x]);
}

TEST(BitBlt, MonochromeTakesTheTextAndBackgroundColoursBothWays) {
    // Row of 4 pixels: 1 0 1 0 (white, black, white, black).
    const BYTE bits[2] = {0xA0, 0x00};
    GdiObject<HBITMAP> mono(CreateBitmap(4, 1, 1, 1, bits));
    HDC mdc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(mdc, mono);
    DibCanvas dst(4, 1);
    SetTextColor(dst.dc(), RGB(0, 0, 255));
    SetBkColor(dst.dc(), RGB(255, 0, 0));
    ASSERT_TRUE(BitBlt(dst.dc(), 0, 0, 4, 1, mdc, 0, 0, SRCCOPY));
    EXPECT_EQ(dst.picture(), "rbrb\n");  // white is the background colour, black the text
    // To monochrome: the source's background colour becomes white, the rest black.
    dst.at(1, 0) = 0x00FF0000;
    SetBkColor(dst.dc(), RGB(255, 0, 0));
    ASSERT_TRUE(BitBlt(mdc, 0, 0, 4, 1, dst.dc(), 0, 0, SRCCOPY));
    DibCanvas back(4, 1);
    ASSERT_TRUE(BitBlt(back.dc(), 0, 0, 4, 1, mdc, 0, 0, SRCCOPY));
    EXPECT_EQ(back.picture(), "###.\n");
    SelectObject(mdc, old);
    DeleteDC(mdc);
}

}  // namespace
