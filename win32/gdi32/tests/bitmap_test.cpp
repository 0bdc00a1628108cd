// Bitmaps: compatible formats, 1-bpp masks and DIB transfers both ways.
#include "dib_canvas.h"

#include <vector>

namespace {

BITMAPINFO Info32(int width, int height) {
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = height;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    return bmi;
}

int BitsPixel(HBITMAP bm) {
    BITMAP info{};
    return GetObjectW(bm, sizeof(info), &info) ? info.bmBitsPixel : -1;
}

class ScreenDc {
public:
    ScreenDc() : dc_(GetDC(nullptr)) {}
    ~ScreenDc() { ReleaseDC(nullptr, dc_); }
    operator HDC() const { return dc_; }

private:
    HDC dc_;
};

TEST(CreateCompatibleBitmap, TakesTheFormatOfTheReferenceDc) {
    ScreenDc screen;
    GdiObject<HBITMAP> colour(CreateCompatibleBitmap(screen, 3, 2));
    EXPECT_EQ(BitsPixel(colour), 32);
    HDC mem = CreateCompatibleDC(nullptr);
    GdiObject<HBITMAP> mono(CreateCompatibleBitmap(mem, 3, 2));
    EXPECT_EQ(BitsPixel(mono), 1);  // the default bitmap of a memory DC
    HGDIOBJ old = SelectObject(mem, colour);
    GdiObject<HBITMAP> colour2(CreateCompatibleBitmap(mem, 3, 2));
    EXPECT_EQ(BitsPixel(colour2), 32);
    BITMAP info{};
    GetObjectW(colour2, sizeof(info), &info);
    EXPECT_EQ(info.bmWidth, 3);
    EXPECT_EQ(info.bmHeight, 2);
    EXPECT_EQ(info.bmWidthBytes, 12);
    EXPECT_EQ(info.bmBits, nullptr);
    SelectObject(mem, old);
    DeleteDC(mem);
}

TEST(CreateBitmap, MonochromeMaskReadsBackAsBlackAndWhite) {
    // 3x2, rows 16-bit aligned: row 0 = 1 0 1, row 1 = 0 1 0.
    const BYTE bits[4] = {0xA0, 0x00, 0x40, 0x00};
    GdiObject<HBITMAP> mask(CreateBitmap(3, 2, 1, 1, bits));
    ASSERT_NE(mask.get(), nullptr);
    BITMAP info{};
    GetObjectW(mask, sizeof(info), &info);
    EXPECT_EQ(info.bmBitsPixel, 1);
    EXPECT_EQ(info.bmWidthBytes, 2);
    ScreenDc screen;
    BITMAPINFO bmi = Info32(3, -2);
    uint32_t out[6] = {};
    ASSERT_EQ(GetDIBits(screen, mask, 0, 2, out, &bmi, DIB_RGB_COLORS), 2);
    EXPECT_EQ(out[0], 0x00FFFFFFu);
    EXPECT_EQ(out[1], 0u);
    EXPECT_EQ(out[2], 0x00FFFFFFu);
    EXPECT_EQ(out[3], 0u);
    EXPECT_EQ(out[4], 0x00FFFFFFu);
    EXPECT_EQ(out[5], 0u);
}

TEST(CreateBitmap, UnsupportedDepthFails) {
    EXPECT_EQ(CreateBitmap(2, 2, 1, 8, nullptr), nullptr);
    EXPECT_EQ(CreateBitmap(2, 2, 2, 1, nullptr), nullptr);
}

TEST(CreateDIBitmap, RoundTripsThroughGetDIBitsWithAlpha) {
    ScreenDc screen;
    const uint32_t pixels[6] = {0x11223344, 0x55667788, 0x99AABBCC,
                                0xDDEEFF00, 0x01020304, 0xFFFFFFFF};
    BITMAPINFO bmi = Info32(3, -2);
    GdiObject<HBITMAP> bm(
        CreateDIBitmap(screen, &bmi.bmiHeader, CBM_INIT, pixels, &bmi, DIB_RGB_COLORS));
    ASSERT_NE(bm.get(), nullptr);
    EXPECT_EQ(BitsPixel(bm), 32);
    uint32_t out[6] = {};
    BITMAPINFO read = Info32(3, -2);
    ASSERT_EQ(GetDIBits(screen, bm, 0, 2, out, &read, DIB_RGB_COLORS), 2);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(out[i], pixels[i]) << i;
}

TEST(CreateDIBitmap, BottomUpSourceAndBottomUpReadAgree) {
    ScreenDc screen;
    // Bottom-up: the first row in memory is the bottom of the picture.
    const uint32_t pixels[2] = {0xAA, 0xBB};
    BITMAPINFO bmi = Info32(1, 2);
    GdiObject<HBITMAP> bm(
        CreateDIBitmap(screen, &bmi.bmiHeader, CBM_INIT, pixels, &bmi, DIB_RGB_COLORS));
    BITMAPINFO top_down = Info32(1, -2);
    uint32_t out[2] = {};
    ASSERT_EQ(GetDIBits(screen, bm, 0, 2, out, &top_down, DIB_RGB_COLORS), 2);
    EXPECT_EQ(out[0], 0xBBu);
    EXPECT_EQ(out[1], 0xAAu);
    BITMAPINFO bottom_up = Info32(1, 2);
    ASSERT_EQ(GetDIBits(screen, bm, 0, 2, out, &bottom_up, DIB_RGB_COLORS), 2);
    EXPECT_EQ(out[0], 0xAAu);
    EXPECT_EQ(out[1], 0xBBu);
    // One scan line from the bottom.
    uint32_t one = 0;
    ASSERT_EQ(GetDIBits(screen, bm, 1, 1, &one, &bottom_up, DIB_RGB_COLORS), 1);
    EXPECT_EQ(one, 0xBBu);
}

TEST(CreateDIBitmap, WithoutInitLeavesItBlack) {
    ScreenDc screen;
    BITMAPINFO bmi = Info32(2, 2);
    GdiObject<HBITMAP> bm(
        CreateDIBitmap(screen, &bmi.bmiHeader, 0, nullptr, nullptr, DIB_RGB_COLORS));
    uint32_t out[4] = {1, 1, 1, 1};
    ASSERT_EQ(GetDIBits(screen, bm, 0, 2, out, &bmi, DIB_RGB_COLORS), 2);
    for (uint32_t v : out) EXPECT_EQ(v, 0u);
}

TEST(GetDIBits, NullBitsWithZeroCountFillsTheHeader) {
    ScreenDc screen;
    GdiObject<HBITMAP> bm(CreateCompatibleBitmap(screen, 7, 5));
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    ASSERT_NE(GetDIBits(screen, bm, 0, 0, nullptr, &bmi, DIB_RGB_COLORS), 0);
    EXPECT_EQ(bmi.bmiHeader.biWidth, 7);
    EXPECT_EQ(bmi.bmiHeader.biHeight, 5);
    EXPECT_EQ(bmi.bmiHeader.biBitCount, 32);
}

TEST(CreateDIBSection, BitsAreSharedWithDrawing) {
    DibCanvas c(2, 2);
    ASSERT_TRUE(c.valid());
    c.at(1, 1) = 0x80FF0000;
    DibCanvas copy(2, 2);
    ASSERT_TRUE(BitBlt(copy.dc(), 0, 0, 2, 2, c.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(copy.at(1, 1), 0x80FF0000u);
    // GetDIBits of a section reads the same memory.
    ScreenDc screen;
    BITMAPINFO bmi = Info32(2, -2);
    uint32_t out[4] = {};
    SelectObject(c.dc(), GetStockObject(BLACK_BRUSH));
    ASSERT_EQ(GetDIBits(screen, c.bitmap(), 0, 2, out, &bmi, DIB_RGB_COLORS), 2);
    EXPECT_EQ(out[3], 0x80FF0000u);
}

TEST(CreateDIBSection, RejectsOtherDepths) {
    BITMAPINFO bmi = Info32(2, 2);
    bmi.bmiHeader.biBitCount = 24;
    void* bits = reinterpret_cast<void*>(1);
    EXPECT_EQ(CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
}

}  // namespace

namespace {

TEST(CreateDIBSection, TakesBitfieldsOnlyInTheStoredLayout) {
    struct {
        BITMAPINFOHEADER header;
        DWORD masks[3];
    } info{};
    info.header = Info32(2, -2).bmiHeader;
    info.header.biCompression = BI_BITFIELDS;
    info.masks[0] = 0xFF0000;
    info.masks[1] = 0xFF00;
    info.masks[2] = 0xFF;
    void* bits = nullptr;
    HBITMAP bm = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                  &bits, nullptr, 0);
    ASSERT_NE(bm, nullptr);
    EXPECT_NE(bits, nullptr);
    DeleteObject(bm);
    info.masks[0] = 0xFF;
    info.masks[2] = 0xFF0000;
    EXPECT_EQ(CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits,
                               nullptr, 0),
              nullptr);
}

}  // namespace
