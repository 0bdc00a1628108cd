#include "gui/raster_format.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Gui::MakeRGBA;
using Gui::RasterFormat;
using Gui::RGBA;

RasterFormat Format(int type, int rpos = 0, int gpos = 0, int bpos = 0, int apos = 0) {
    RasterFormat f{};
    f.type = static_cast<BYTE>(type);
    f.rpos = static_cast<BYTE>(rpos);
    f.gpos = static_cast<BYTE>(gpos);
    f.bpos = static_cast<BYTE>(bpos);
    f.apos = static_cast<BYTE>(apos);
    return f;
}

TEST(RasterFormatWrite, NinePixelsOfOneBitFillTwoBytesInEitherOrder) {
    std::vector<RGBA> row(9, MakeRGBA(0, 0, 0, 255));
    row[0].g = 0x80;
    row[8].g = 0xff;
    BYTE out[3] = {0xAA, 0xAA, 0xAA};
    RasterFormat::Write(out, row.data(), Format(0), 9, nullptr);
    EXPECT_EQ(out[0], 0x01);
    EXPECT_EQ(out[1], 0x01);
    EXPECT_EQ(out[2], 0xAA);
    RasterFormat::Write(out, row.data(), Format(128), 9, nullptr);
    EXPECT_EQ(out[0], 0x80);
    EXPECT_EQ(out[1], 0x80);
}

TEST(RasterFormatWrite, TwoBitTakesTheTopBitsOfGreen) {
    RGBA row[5] = {MakeRGBA(0, 0x40, 0, 0), MakeRGBA(0, 0x80, 0, 0), MakeRGBA(0, 0xC0, 0, 0),
                   MakeRGBA(0, 0, 0, 0), MakeRGBA(0, 0xff, 0, 0)};
    BYTE out[2];
    RasterFormat::Write(out, row, Format(1), 5, nullptr);
    EXPECT_EQ(out[0], 1 | 2 << 2 | 3 << 4);
    EXPECT_EQ(out[1], 3);
    RasterFormat::Write(out, row, Format(129), 5, nullptr);
    EXPECT_EQ(out[0], 1 << 6 | 2 << 4 | 3 << 2);
    EXPECT_EQ(out[1], 3 << 6);
}

TEST(RasterFormatWrite, FourAndEightBitWriteGreyWithoutPalette) {
    const RGBA row[3] = {MakeRGBA(255, 255, 255, 255), MakeRGBA(100, 50, 200, 255),
                         MakeRGBA(0, 0, 0, 255)};
    const int grey = (77 * 100 + 151 * 50 + 28 * 200) >> 8;
    BYTE out[3] = {};
    RasterFormat::Write(out, row, Format(3), 3, nullptr);
    EXPECT_EQ(out[0], 255);
    EXPECT_EQ(out[1], grey);
    EXPECT_EQ(out[2], 0);
    RasterFormat::Write(out, row, Format(2), 3, nullptr);
    EXPECT_EQ(out[0], 0x0f | (grey >> 4) << 4);
    EXPECT_EQ(out[1], 0);
    RasterFormat::Write(out, row, Format(130), 3, nullptr);
    EXPECT_EQ(out[0], 0xf0 | (grey >> 4));
}

TEST(RasterFormatWrite, PaletteTableGivesTheIndexByColourKey) {
    std::vector<BYTE> table(32768, 0);
    const RGBA p = MakeRGBA(0xF8, 0x44, 0x30, 255);
    const int key = ((0xF8 >> 3) << 10) | ((0x30 >> 4) << 6) | (0x44 >> 2);
    table[key] = 0x5B;
    const Gui::PaletteConversion aux{table.data()};
    BYTE out[1];
    RasterFormat::Write(out, &p, Format(3), 1, &aux);
    EXPECT_EQ(out[0], 0x5B);
    RasterFormat::Write(out, &p, Format(2), 1, &aux);
    EXPECT_EQ(out[0], 0x0B);
    RasterFormat::Write(out, &p, Format(0), 1, &aux);
    EXPECT_EQ(out[0], 0x01);
}

TEST(RasterFormatWrite, SixteenBitShiftsAndMasksInBothByteOrders) {
    RasterFormat f = Format(5, 0, 5, 11);  // 5-6-5
    f.rmask = 0xf800;
    f.gmask = 0x07e0;
    f.bmask = 0x001f;
    const RGBA p = MakeRGBA(0xff, 0x80, 0x08, 255);
    const unsigned v = 0xfc01;  // red 11111, green 100000, blue 00001
    BYTE out[2];
    RasterFormat::Write(out, &p, f, 1, nullptr);
    EXPECT_EQ(out[0], v & 0xff);
    EXPECT_EQ(out[1], v >> 8);
    f.type = 133;
    RasterFormat::Write(out, &p, f, 1, nullptr);
    EXPECT_EQ(out[0], v >> 8);
    EXPECT_EQ(out[1], v & 0xff);
}

TEST(RasterFormatWrite, TwentyFourAndThirtyTwoBitPlaceChannelsByPosition) {
    const RGBA p[2] = {MakeRGBA(1, 2, 3, 4), MakeRGBA(5, 6, 7, 8)};
    BYTE out[8];
    RasterFormat::Write(out, p, Format(6, 0, 1, 2), 2, nullptr);
    EXPECT_EQ(std::vector<BYTE>(out, out + 6), (std::vector<BYTE>{1, 2, 3, 5, 6, 7}));
    memset(out, 0xEE, sizeof(out));
    RasterFormat::Write(out, p, Format(7, 2, 1, 0), 2, nullptr);
    EXPECT_EQ(std::vector<BYTE>(out, out + 8), (std::vector<BYTE>{3, 2, 1, 0xEE, 7, 6, 5, 0xEE}));
}

TEST(RasterFormatWrite, UnmultipliedTypeUndoesPremultiplication) {
    const RGBA p[3] = {MakeRGBA(9, 9, 9, 0), MakeRGBA(255, 128, 0, 255), MakeRGBA(64, 32, 1, 128)};
    BYTE out[12];
    RasterFormat::Write(out, p, Format(8, 0, 1, 2, 3), 3, nullptr);
    EXPECT_EQ(std::vector<BYTE>(out, out + 12),
              (std::vector<BYTE>{0, 0, 0, 0, 255, 128, 0, 255, 128, 64, 2, 128}));
}

TEST(RasterFormatWrite, NativeLayoutIsCopiedAndOthersAreReordered) {
    const RGBA p[2] = {MakeRGBA(1, 2, 3, 4), MakeRGBA(5, 6, 7, 8)};
    RasterFormat native{};
    native.SetRGBA();
    EXPECT_TRUE(native.IsRGBA());
    RGBA copy[2];
    RasterFormat::Write(reinterpret_cast<BYTE*>(copy), p, native, 2, nullptr);
    EXPECT_EQ(copy[0], p[0]);
    EXPECT_EQ(copy[1], p[1]);
    BYTE out[8];
    RasterFormat::Write(out, p, Format(9, 0, 1, 2, 3), 2, nullptr);
    EXPECT_EQ(std::vector<BYTE>(out, out + 8), (std::vector<BYTE>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_FALSE(Format(9, 0, 1, 2, 3).IsRGBA());
}

TEST(RasterFormatWrite, UnknownTypesWriteNothing) {
    const RGBA p = MakeRGBA(1, 2, 3, 4);
    for (int type : {4, 10, 15, 32 | 3, 64 | 9}) {
        BYTE out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
        RasterFormat::Write(out, &p, Format(type, 0, 1, 2, 3), 1, nullptr);
        EXPECT_EQ(out[0], 0xEE) << type;
        EXPECT_EQ(out[3], 0xEE) << type;
    }
}

TEST(RasterFormat, ByteCountRoundsBitsUpToBytes) {
    EXPECT_EQ(Format(0).GetByteCount(9), 2);
    EXPECT_EQ(Format(6).GetByteCount(3), 9);
    EXPECT_EQ(Format(5).GetByteCount(3), 6);
    EXPECT_EQ(Format(12).GetByteCount(3), 0);
}

}  // namespace
