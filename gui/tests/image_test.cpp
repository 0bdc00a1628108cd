#include "gui/image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <thread>
#include <vector>

#include "gui/image_ops.h"

namespace {

using Gui::Image;
using Gui::ImageBuffer;
using Gui::MakeRGBA;
using Gui::RGBA;

// Pixel (x, y) of a w x h image gets a value that names its place.
Image Numbered(int w, int h) {
    ImageBuffer b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b[y][x] = MakeRGBA(static_cast<BYTE>(x), static_cast<BYTE>(y), 7, 255);
    return Image(b);
}

TEST(ImageBuffer, CreateZeroesTheSpotsAndTheExtraPair) {
    ImageBuffer b(3, 2);
    b.SetHotSpot(Gui::Point(1, 1));
    b.SetSpot2(Gui::Point(2, 2));
    b.SetExtraPair(Gui::Point(3, 3));
    b.Create(4, 5);
    EXPECT_EQ(b.GetLength(), 20);
    EXPECT_NE(b.Begin(), nullptr);
    EXPECT_EQ(b.GetHotSpot(), Gui::Point(0, 0));
    EXPECT_EQ(b.GetSpot2(), Gui::Point(0, 0));
    EXPECT_EQ(b.GetExtraPair(), Gui::Point(0, 0));
}

TEST(ImageBuffer, SizesBeyondThirtyTwoBitsFailAsOutOfMemory) {
    ImageBuffer b;
    EXPECT_THROW(b.Create(70000, 70000), std::bad_alloc);
}

TEST(ImageBuffer, CopyFromAndPickCarryPixelsAndPairs) {
    ImageBuffer a(2, 1);
    a[0][0] = MakeRGBA(1, 2, 3, 4);
    a[0][1] = MakeRGBA(5, 6, 7, 8);
    a.SetHotSpot(Gui::Point(1, 0));
    a.SetExtraPair(Gui::Point(9, 9));
    ImageBuffer c;
    c.CopyFrom(a);
    EXPECT_EQ(c[0][1], MakeRGBA(5, 6, 7, 8));
    EXPECT_EQ(c.GetHotSpot(), Gui::Point(1, 0));
    EXPECT_EQ(c.GetExtraPair(), Gui::Point(9, 9));
    EXPECT_NE(c.Begin(), a.Begin());
    ImageBuffer p;
    RGBA* pixels = a.Begin();
    p.Pick(a);
    EXPECT_EQ(p.Begin(), pixels);
    EXPECT_EQ(a.Begin(), nullptr);
    EXPECT_EQ(p.GetSize(), Gui::Size(2, 1));
}

TEST(Image, BufferWithoutWidthOrHeightMakesTheEmptyImage) {
    ImageBuffer zero_w(0, 5), zero_h(5, 0);
    Image a(zero_w), b(zero_h);
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_TRUE(b.IsEmpty());
    EXPECT_EQ(a.GetSize(), Gui::Size(0, 0));
    EXPECT_EQ(a.GetPixels(), nullptr);
    EXPECT_EQ(a.GetSerialId(), 0u);
    EXPECT_EQ(a.GetHotSpot(), Gui::Point(0, 0));
    EXPECT_TRUE(a == b);
}

TEST(Image, MadeFromABufferPicksItsPixels) {
    ImageBuffer b(2, 2);
    RGBA* pixels = b.Begin();
    b.SetSpot2(Gui::Point(1, 1));
    Image img(b);
    EXPECT_EQ(img.GetPixels(), pixels);
    EXPECT_EQ(b.Begin(), nullptr);
    EXPECT_EQ(img.GetSpot2(), Gui::Point(1, 1));
    EXPECT_EQ(img.GetRow(1), pixels + 2);
}

TEST(Image, CopiesShareDataAndSelfAssignmentKeepsIt) {
    Image a = Numbered(3, 3);
    Image b = a;
    EXPECT_EQ(a.GetPixels(), b.GetPixels());
    EXPECT_EQ(a.GetSerialId(), b.GetSerialId());
    const Image& same = a;
    a = same;
    b = Image();
    EXPECT_EQ(a.GetRow(2)[1], MakeRGBA(1, 2, 7, 255));
}

TEST(Image, SerialNumbersAreNewForEveryData) {
    Image a = Numbered(1, 1), b = Numbered(1, 1);
    EXPECT_NE(a.GetSerialId(), 0u);
    EXPECT_NE(a.GetSerialId(), b.GetSerialId());
    EXPECT_TRUE(a == b);
}

TEST(Image, SerialNumbersStayUniqueAcrossThreads) {
    std::vector<std::vector<uint64_t>> seen(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) seen[t].push_back(Numbered(1, 1).GetSerialId());
        });
    for (auto& t : threads) t.join();
    std::set<uint64_t> all;
    for (auto& v : seen) all.insert(v.begin(), v.end());
    EXPECT_EQ(all.size(), 800u);
}

TEST(Image, EqualityComparesCountAndBytesOnly) {
    ImageBuffer a(2, 3), b(3, 2);
    memset(a.Begin(), 0x11, 24);
    memset(b.Begin(), 0x11, 24);
    Image ia(a), ib(b);
    EXPECT_TRUE(ia == ib);
    ImageBuffer c(3, 2);
    memset(c.Begin(), 0x11, 24);
    c[1][2].a = 0x12;
    EXPECT_TRUE(ia != Image(c));
    EXPECT_TRUE(ia != Numbered(1, 1));
}

TEST(ImageBuffer, TakeImageWithoutOtherReferencesTakesThePixels) {
    Image img = Numbered(2, 2);
    const RGBA* pixels = img.GetPixels();
    ImageBuffer b(img);
    EXPECT_TRUE(img.IsEmpty());
    EXPECT_EQ(b.Begin(), pixels);
}

TEST(ImageBuffer, TakeImageWithASecondReferenceCopiesAndLeavesItAlone) {
    Image img = Numbered(2, 2);
    Image other = img;
    ImageBuffer b(img);
    EXPECT_TRUE(img.IsEmpty());
    EXPECT_NE(b.Begin(), other.GetPixels());
    b[0][0] = MakeRGBA(99, 99, 99, 99);
    EXPECT_EQ(other.GetRow(0)[0], MakeRGBA(0, 0, 7, 255));
    ImageBuffer empty(img);
    EXPECT_EQ(empty.GetLength(), 0);
}

TEST(Image, FromAFunctionTakesItsResult) {
    Image img(+[] { return Numbered(4, 1); });
    EXPECT_EQ(img.GetSize(), Gui::Size(4, 1));
}

TEST(MakeBitmapInfo32, DescribesATopDown32BitImage) {
    auto bi = Gui::MakeBitmapInfo32(7, 5);
    EXPECT_EQ(bi->bmiHeader.biSize, 40u);
    EXPECT_EQ(bi->bmiHeader.biWidth, 7);
    EXPECT_EQ(bi->bmiHeader.biHeight, -5);
    EXPECT_EQ(bi->bmiHeader.biPlanes, 1);
    EXPECT_EQ(bi->bmiHeader.biBitCount, 32);
    EXPECT_EQ(bi->bmiHeader.biCompression, static_cast<DWORD>(BI_RGB));
    const BYTE* colours = reinterpret_cast<const BYTE*>(bi->bmiColors);
    for (int i = 0; i < 1024; ++i) ASSERT_EQ(colours[i], 0);
}

TEST(HotSpots, CopiesGetNewSpotsAndTheSourceKeepsItsOwn) {
    Image img = Numbered(3, 3);
    Image a = Gui::WithHotSpot(img, 1, 2);
    Image b = Gui::WithHotSpots(img, 2, 1, 0, 2);
    EXPECT_EQ(img.GetHotSpot(), Gui::Point(0, 0));
    EXPECT_EQ(a.GetHotSpot(), Gui::Point(1, 2));
    EXPECT_EQ(b.GetHotSpot(), Gui::Point(2, 1));
    EXPECT_EQ(b.GetSpot2(), Gui::Point(0, 2));
    EXPECT_TRUE(a == img);
}

TEST(SinCos, QuarterTurnsAreExact) {
    double s, c;
    Gui::SinCos(3600, s, c);
    EXPECT_EQ(s, 0.0);
    EXPECT_EQ(c, 1.0);
    Gui::SinCos(900 + 3600, s, c);
    EXPECT_EQ(s, 1.0);
    EXPECT_EQ(c, 0.0);
    Gui::SinCos(1800, s, c);
    EXPECT_EQ(c, -1.0);
    Gui::SinCos(2700, s, c);
    EXPECT_EQ(s, -1.0);
    Gui::SinCos(-900, s, c);
    EXPECT_NEAR(s, -1.0, 1e-12);
    EXPECT_NEAR(c, 0.0, 1e-12);
}

TEST(Rotate, ByZeroKeepsSizeAndPixels) {
    Image img = Gui::WithHotSpot(Numbered(10, 20), 3, 3);
    Image r = Gui::Rotate(img, 0);
    EXPECT_EQ(r.GetSize(), Gui::Size(10, 20));
    EXPECT_TRUE(r == img);
    EXPECT_EQ(r.GetHotSpot(), Gui::Point(0, 0));
    EXPECT_NE(r.GetSerialId(), img.GetSerialId());
}

TEST(Rotate, AQuarterTurnSwapsTheSidesAndMovesEveryPixel) {
    Image img = Numbered(10, 20);
    Image r = Gui::Rotate(img, 900);
    ASSERT_EQ(r.GetSize(), Gui::Size(20, 10));
    for (int j = 0; j < 10; ++j)
        for (int i = 0; i < 20; ++i)
            ASSERT_EQ(r.GetRow(j)[i], img.GetRow(19 - i)[j]) << i << "," << j;
}

TEST(Rotate, AHalfTurnMirrorsBothWays) {
    Image img = Numbered(5, 3);
    Image r = Gui::Rotate(img, 1800);
    ASSERT_EQ(r.GetSize(), Gui::Size(5, 3));
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 5; ++i) ASSERT_EQ(r.GetRow(j)[i], img.GetRow(2 - j)[4 - i]);
}

TEST(Rotate, AnEighthTurnGrowsAndLeavesCornersTransparent) {
    Image r = Gui::Rotate(Numbered(10, 10), 450);
    EXPECT_EQ(r.GetSize(), Gui::Size(14, 14));
    EXPECT_EQ(r.GetRow(0)[0], MakeRGBA(0, 0, 0, 0));
    EXPECT_EQ(r.GetRow(7)[7].a, 255);
    EXPECT_TRUE(Gui::Rotate(Image(), 450).IsEmpty());
}

}  // namespace
