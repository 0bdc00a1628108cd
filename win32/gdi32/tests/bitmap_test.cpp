// Bitmaps: compatible formats, 1-bpp masks and DIB transfers both ways.
#include "dib_canvas.h"

#include <tuple>
#include <vector>

namespace {

BITMAP Describe(HGDIOBJ bm) {
    BITMAP info{};
    GetObjectW(bm, sizeof(info), &info);
    return info;
}

// The pixels of bm read as a 32-bpp DIB of the given height (negative: top-down).
std::vector<uint32_t> Read(HBITMAP bm, int width, int height, UINT start = 0) {
    HDC screen = GetDC(nullptr);
    BITMAPINFO bmi = Info32(width, height);
    std::vector<uint32_t> out(width * std::abs(height) - start * width, 7);
    int lines =
        GetDIBits(screen, bm, start, std::abs(height) - start, out.data(), &bmi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (lines != std::abs(height) - int(start)) out.clear();
    return out;
}

TEST(CreateBitmap, FormatsFollowTheReferenceDcAndMasksReadBackBlackAndWhite) {
    HDC screen = GetDC(nullptr), mem = CreateCompatibleDC(nullptr);
    GdiObject<HBITMAP> colour(CreateCompatibleBitmap(screen, 3, 2));
    GdiObject<HBITMAP> mono(CreateCompatibleBitmap(mem, 3, 2));  // a memory DC's default
    HGDIOBJ old = SelectObject(mem, colour);
    GdiObject<HBITMAP> colour2(CreateCompatibleBitmap(mem, 3, 2));
    EXPECT_EQ(Describe(colour).bmBitsPixel, 32);
    EXPECT_EQ(Describe(mono).bmBitsPixel, 1);
    const BITMAP i = Describe(colour2);
    EXPECT_EQ(std::tuple(i.bmBitsPixel, i.bmWidth, i.bmHeight, i.bmWidthBytes, i.bmBits),
              std::tuple(WORD{32}, LONG{3}, LONG{2}, LONG{12}, LPVOID{}));
    SelectObject(mem, old);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    // 3x2, rows 16-bit aligned: row 0 = 1 0 1, row 1 = 0 1 0.
    const BYTE bits[4] = {0xA0, 0x00, 0x40, 0x00};
    GdiObject<HBITMAP> mask(CreateBitmap(3, 2, 1, 1, bits));
    EXPECT_EQ(Describe(mask).bmWidthBytes, 2);
    EXPECT_EQ(Read(mask, 3, -2), (std::vector<uint32_t>{0xFFFFFF, 0, 0xFFFFFF, 0, 0xFFFFFF, 0}));
    EXPECT_EQ(CreateBitmap(2, 2, 1, 8, nullptr), nullptr);
    EXPECT_EQ(CreateBitmap(2, 2, 2, 1, nullptr), nullptr);
}

TEST(CreateDIBitmap, RowsAndAlphaRoundTripThroughGetDIBitsInBothOrders) {
    HDC screen = GetDC(nullptr);
    const std::vector<uint32_t> pixels = {0x11223344, 0x55667788, 0x99AABBCC,
                                          0xDDEEFF00, 0x01020304, 0xFFFFFFFF};
    BITMAPINFO bmi = Info32(3, -2);
    GdiObject<HBITMAP> bm(
        CreateDIBitmap(screen, &bmi.bmiHeader, CBM_INIT, pixels.data(), &bmi, DIB_RGB_COLORS));
    EXPECT_EQ(Describe(bm).bmBitsPixel, 32);
    EXPECT_EQ(Read(bm, 3, -2), pixels);
    // Bottom-up: the first row in memory is the bottom of the picture.
    bmi = Info32(1, 2);
    GdiObject<HBITMAP> up(
        CreateDIBitmap(screen, &bmi.bmiHeader, CBM_INIT, pixels.data(), &bmi, DIB_RGB_COLORS));
    EXPECT_EQ(Read(up, 1, -2), (std::vector<uint32_t>{0x55667788, 0x11223344}));
    EXPECT_EQ(Read(up, 1, 2), (std::vector<uint32_t>{0x11223344, 0x55667788}));
    EXPECT_EQ(Read(up, 1, 2, 1), std::vector<uint32_t>{0x55667788});  // from the bottom
    GdiObject<HBITMAP> blank(
        CreateDIBitmap(screen, &bmi.bmiHeader, 0, nullptr, nullptr, DIB_RGB_COLORS));
    EXPECT_EQ(Read(blank, 1, 2), (std::vector<uint32_t>{0, 0}));
    // Null bits with no lines fill in the header.
    GdiObject<HBITMAP> sized(CreateCompatibleBitmap(screen, 7, 5));
    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    ASSERT_NE(GetDIBits(screen, sized, 0, 0, nullptr, &header, DIB_RGB_COLORS), 0);
    const BITMAPINFOHEADER& h = header.bmiHeader;
    EXPECT_EQ(std::tuple(h.biWidth, h.biHeight, h.biBitCount),
              std::tuple(LONG{7}, LONG{5}, WORD{32}));
    ReleaseDC(nullptr, screen);
}

TEST(CreateDIBSection, TakesOnly32BitsAndBitfieldsInTheStoredLayout) {
    struct {
        BITMAPINFOHEADER header;
        DWORD masks[3];
    } info{Info32(2, -2).bmiHeader, {0xFF0000, 0xFF00, 0xFF}};
    auto* bmi = reinterpret_cast<BITMAPINFO*>(&info);
    void* bits = nullptr;
    info.header.biCompression = BI_BITFIELDS;
    GdiObject<HBITMAP> bm(CreateDIBSection(nullptr, bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
    EXPECT_NE(bm.get(), nullptr);
    EXPECT_NE(bits, nullptr);
    std::swap(info.masks[0], info.masks[2]);
    EXPECT_EQ(CreateDIBSection(nullptr, bmi, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    info.header.biCompression = BI_RGB;
    info.header.biBitCount = 24;
    bits = &info;
    EXPECT_EQ(CreateDIBSection(nullptr, bmi, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
}

}  // namespace
