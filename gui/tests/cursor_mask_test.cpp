#include "gui/cursor_mask.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Gui::MakeRGBA;
using Gui::RGBA;

// Reads a bitmap back as 32-bit pixels; a set monochrome bit reads as white.
std::vector<DWORD> ReadBits(HBITMAP bm, int w, int h) {
    auto info = Gui::MakeBitmapInfo32(w, h);
    std::vector<DWORD> px(static_cast<size_t>(w) * h);
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(GetDIBits(dc, bm, 0, h, px.data(), info.get(), DIB_RGB_COLORS), h);
    DeleteDC(dc);
    return px;
}

TEST(CursorMask, MostlyOpaquePixelsAreCopiedAndClearTheirMaskBit) {
    Gui::ImageBuffer b(17, 2);  // wider than 16 pixels: a row of the mask is 4 bytes
    for (int i = 0; i < 34; ++i) b.Begin()[i] = MakeRGBA(50, 60, 70, 0);
    b[0][0] = MakeRGBA(1, 2, 3, 129);
    b[0][1] = MakeRGBA(4, 5, 6, 128);
    b[1][16] = MakeRGBA(7, 8, 9, 255);
    Gui::Image img(b);
    std::vector<RGBA> colour(34, MakeRGBA(0xEE, 0xEE, 0xEE, 0xEE));
    HBITMAP mask = Gui::CreateCursorMask(img, colour.data(), 17, 2);
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(colour[0], MakeRGBA(1, 2, 3, 0));
    EXPECT_EQ(colour[1], MakeRGBA(0, 0, 0, 0));
    EXPECT_EQ(colour[2], MakeRGBA(0, 0, 0, 0));
    EXPECT_EQ(colour[17 + 16], MakeRGBA(7, 8, 9, 0));
    BITMAP info{};
    ASSERT_EQ(GetObjectW(mask, sizeof(info), &info), static_cast<int>(sizeof(info)));
    EXPECT_EQ(info.bmBitsPixel, 1);
    EXPECT_EQ(info.bmWidth, 17);
    const std::vector<DWORD> px = ReadBits(mask, 17, 2);
    EXPECT_EQ(px[0] & 0xFFFFFF, 0u);
    EXPECT_EQ(px[1] & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(px[16] & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(px[17 + 16] & 0xFFFFFF, 0u);
    EXPECT_EQ(px[17 + 15] & 0xFFFFFF, 0xFFFFFFu);
    DeleteObject(mask);
}

TEST(CursorMask, AnAreaSmallerThanTheImageCutsAtTheRightAndBottom) {
    Gui::ImageBuffer b(4, 4);
    for (int i = 0; i < 16; ++i) b.Begin()[i] = MakeRGBA(static_cast<BYTE>(i), 0, 0, 255);
    Gui::Image img(b);
    std::vector<RGBA> colour(4);
    HBITMAP mask = Gui::CreateCursorMask(img, colour.data(), 2, 2);
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(colour[2], MakeRGBA(4, 0, 0, 0));
    EXPECT_EQ(colour[3], MakeRGBA(5, 0, 0, 0));
    DeleteObject(mask);
}

}  // namespace
