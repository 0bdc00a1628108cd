#include "gui/rescale.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Gui::BuildRescaleMap;
using Gui::Image;
using Gui::ImageBuffer;
using Gui::MakeRGBA;
using Gui::Rect;
using Gui::RescaleMap;
using Gui::RGBA;
using Gui::Size;

std::vector<int> Weights(const RescaleMap& m, int k) {
    return std::vector<int>(m.weights.begin() + k * m.taps, m.weights.begin() + (k + 1) * m.taps);
}

// Absolute start of every sample.
std::vector<int> Starts(const RescaleMap& m) {
    std::vector<int> s;
    int at = 0;
    for (int k = 0; k < m.count; ++k) s.push_back(at += m.offsets[k]);
    return s;
}

Image Row(const std::vector<BYTE>& greys) {
    ImageBuffer b(static_cast<int>(greys.size()), 1);
    for (size_t i = 0; i < greys.size(); ++i)
        b.Begin()[i] = MakeRGBA(greys[i], greys[i], greys[i], 255);
    return Image(b);
}

TEST(RescaleCurve, HasItsFixedPoints) {
    const BYTE* c = Gui::GetRescaleCurve();
    EXPECT_EQ(c[0], 0);
    EXPECT_EQ(c[256], 71);
    EXPECT_EQ(c[512], 128);
    EXPECT_EQ(c[768], 184);
    EXPECT_EQ(c[1023], 255);
    EXPECT_EQ(Gui::GetRescaleCurve(), c);
}

TEST(RescaleMap, DoublingTwoPixelsFollowsTheCurve) {
    const RescaleMap m = BuildRescaleMap(0, 4, 0, 4, 0, 2, 2);
    ASSERT_EQ(m.count, 4);
    ASSERT_EQ(m.taps, 2);
    EXPECT_EQ(Weights(m, 0), std::vector<int>({256, 0}));
    EXPECT_EQ(Weights(m, 1), std::vector<int>({185, 71}));
    EXPECT_EQ(Weights(m, 2), std::vector<int>({72, 184}));
    EXPECT_EQ(Weights(m, 3), std::vector<int>({0, 256}));
    EXPECT_EQ(Starts(m), std::vector<int>({0, 0, 0, 0}));
}

TEST(RescaleMap, HalvingUsesTwoEqualTaps) {
    const RescaleMap m = BuildRescaleMap(0, 3, 0, 3, 0, 6, 6);
    ASSERT_EQ(m.count, 3);
    ASSERT_EQ(m.taps, 2);
    EXPECT_FALSE(m.wide);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(Weights(m, k), std::vector<int>({128, 128}));
    EXPECT_EQ(Starts(m), std::vector<int>({0, 2, 4}));
}

TEST(RescaleMap, StrongReductionTakesFourSamplesApart) {
    const RescaleMap m = BuildRescaleMap(0, 10, 0, 10, 0, 100, 100);
    ASSERT_EQ(m.count, 10);
    EXPECT_TRUE(m.wide);
    EXPECT_EQ(m.taps, 4);
    EXPECT_EQ(m.step, 2);
    EXPECT_EQ(Starts(m), std::vector<int>({0, 10, 20, 30, 40, 50, 60, 70, 80, 90}));
}

TEST(RescaleMap, AThirdReductionWeighsByCoverage) {
    // 3 source pixels onto 2: each target covers one and a half pixels.
    const RescaleMap m = BuildRescaleMap(0, 2, 0, 2, 0, 3, 3);
    ASSERT_EQ(m.taps, 3);
    EXPECT_EQ(Weights(m, 0), std::vector<int>({170, 86, 0}));
    EXPECT_EQ(Weights(m, 1), std::vector<int>({0, 85, 171}));  // the last pixel takes the rest
    EXPECT_EQ(Starts(m), std::vector<int>({0, 0}));
}

TEST(RescaleMap, EmptyRangesGiveNoMap) {
    EXPECT_TRUE(BuildRescaleMap(0, 0, 0, 0, 0, 5, 5).IsEmpty());
    EXPECT_TRUE(BuildRescaleMap(0, 5, 0, 5, 2, 2, 5).IsEmpty());
    EXPECT_TRUE(BuildRescaleMap(0, 5, 0, 5, 6, 9, 5).IsEmpty());  // wholly outside
}

TEST(Rescale, TheSameSizeAndWholeRectangleReturnsTheSameImage) {
    Image img = Row({1, 2, 3});
    Image same = Gui::Rescale(img, Size(3, 1));
    EXPECT_EQ(same.GetSerialId(), img.GetSerialId());
}

TEST(Rescale, AnEqualSizeOfAnotherRectangleCopiesItsPixels) {
    Image img = Row({1, 2, 3, 4, 5});
    Image part = Gui::Rescale(img, Size(3, 1), Rect(1, 0, 4, 1));
    ASSERT_EQ(part.GetSize(), Size(3, 1));
    EXPECT_EQ(part.GetRow(0)[0], MakeRGBA(2, 2, 2, 255));
    EXPECT_EQ(part.GetRow(0)[2], MakeRGBA(4, 4, 4, 255));
}

TEST(Rescale, AOnePixelSourceStretchedRepeatsThePixel) {
    ImageBuffer b(1, 1);
    b.Begin()[0] = MakeRGBA(10, 20, 30, 40);
    Image img(b);
    Image big = Gui::Rescale(img, 10, 3);
    ASSERT_EQ(big.GetSize(), Size(10, 3));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 10; ++x) EXPECT_EQ(big.GetRow(y)[x], MakeRGBA(10, 20, 30, 40));
}

TEST(Rescale, DoublingMixesNeighboursByTheCurve) {
    Image img = Row({0, 200});
    Image big = Gui::Rescale(img, 4, 1);
    ASSERT_EQ(big.GetSize(), Size(4, 1));
    // 200 * 71 / 256 and 200 * 184 / 256, rounded down.
    const BYTE expect[] = {0, 55, 143, 200};
    for (int x = 0; x < 4; ++x) EXPECT_EQ(big.GetRow(0)[x].g, expect[x]) << x;
    EXPECT_EQ(big.GetRow(0)[1].a, 255);
}

TEST(Rescale, HalvingAveragesPairsInBothDirections) {
    ImageBuffer b(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            b[y][x] = MakeRGBA(static_cast<BYTE>(x * 40), static_cast<BYTE>(y * 40), 8, 255);
    Image img(b);
    Image half = Gui::Rescale(img, 2, 2);
    ASSERT_EQ(half.GetSize(), Size(2, 2));
    EXPECT_EQ(half.GetRow(0)[0], MakeRGBA(20, 20, 8, 255));
    EXPECT_EQ(half.GetRow(1)[1], MakeRGBA(100, 100, 8, 255));
}

TEST(Rescale, StrongReductionIsThePlainAverageOfFourSamples) {
    std::vector<BYTE> greys(100);
    for (int i = 0; i < 100; ++i) greys[i] = static_cast<BYTE>(i * 2);
    Image small = Gui::Rescale(Row(greys), 10, 1);
    ASSERT_EQ(small.GetSize(), Size(10, 1));
    for (int k = 0; k < 10; ++k) {
        const int start = k * 10;
        const int sum = greys[start] + greys[start + 2] + greys[start + 4] + greys[start + 6];
        EXPECT_EQ(small.GetRow(0)[k].r, sum * 64 / 256) << k;
    }
}

TEST(Rescale, ASourceRectanglePartlyOutsideLeavesTheUncoveredPartTransparent) {
    ImageBuffer b(4, 4);
    for (int i = 0; i < 16; ++i) b.Begin()[i] = MakeRGBA(90, 90, 90, 255);
    Image img(b);
    // The rectangle reaches two pixels past the right and bottom edges.
    Image out = Gui::Rescale(img, Size(6, 6), Rect(0, 0, 6, 6));
    ASSERT_EQ(out.GetSize(), Size(6, 6));
    EXPECT_EQ(out.GetRow(0)[0], MakeRGBA(90, 90, 90, 255));
    EXPECT_EQ(out.GetRow(3)[3], MakeRGBA(90, 90, 90, 255));
    EXPECT_EQ(out.GetRow(0)[5], MakeRGBA(0, 0, 0, 0));
    EXPECT_EQ(out.GetRow(5)[0], MakeRGBA(0, 0, 0, 0));
    // And two before the left edge: the covered part keeps its place.
    Image left = Gui::Rescale(img, Size(6, 4), Rect(-2, 0, 4, 4));
    ASSERT_EQ(left.GetSize(), Size(6, 4));
    EXPECT_EQ(left.GetRow(1)[0], MakeRGBA(0, 0, 0, 0));
    EXPECT_EQ(left.GetRow(1)[1], MakeRGBA(0, 0, 0, 0));
    EXPECT_EQ(left.GetRow(1)[2], MakeRGBA(90, 90, 90, 255));
    EXPECT_EQ(left.GetRow(1)[5], MakeRGBA(90, 90, 90, 255));
}

Image Column(const std::vector<BYTE>& greys) {
    ImageBuffer b(1, static_cast<int>(greys.size()));
    for (size_t i = 0; i < greys.size(); ++i)
        b.Begin()[i] = MakeRGBA(greys[i], greys[i], greys[i], 255);
    return Image(b);
}

TEST(Rescale, RowsAreMixedLikeColumns) {
    Image tall = Gui::Rescale(Column({0, 200}), 1, 4);
    ASSERT_EQ(tall.GetSize(), Size(1, 4));
    const BYTE expect[] = {0, 55, 143, 200};
    for (int y = 0; y < 4; ++y) EXPECT_EQ(tall.GetRow(y)[0].b, expect[y]) << y;
    // Three taps: weights (170, 86, 0) and (0, 85, 171) over 0, 30, 255.
    Image wide = Gui::Rescale(Row({0, 30, 255}), 2, 1);
    Image high = Gui::Rescale(Column({0, 30, 255}), 1, 2);
    ASSERT_EQ(wide.GetSize(), Size(2, 1));
    ASSERT_EQ(high.GetSize(), Size(1, 2));
    EXPECT_EQ(wide.GetRow(0)[0].r, 10);
    EXPECT_EQ(wide.GetRow(0)[1].r, 180);
    EXPECT_EQ(high.GetRow(0)[0].r, 10);
    EXPECT_EQ(high.GetRow(1)[0].r, 180);
}

TEST(Rescale, AZeroTargetSizeGivesTheEmptyImage) {
    EXPECT_TRUE(Gui::Rescale(Row({1, 2}), 0, 5).IsEmpty());
    EXPECT_TRUE(Gui::Rescale(Row({1, 2}), 5, 0).IsEmpty());
}

}  // namespace

// Every byte of many rescales, folded into one FNV-1a hash per group. The expected
// values were recorded from the first, plain implementation of the filter, so any
// faster one must give exactly its bytes.
class RescaleOutput : public ::testing::Test {
protected:
    static Image Noise(int cx, int cy) {
        ImageBuffer b(cx, cy);
        uint32_t x = static_cast<uint32_t>(cx * 7919 + cy);
        for (int i = 0; i < cx * cy; ++i) {
            x = x * 1103515245u + 12345u;
            b.Begin()[i] = MakeRGBA(x >> 24, x >> 16, x >> 8, x >> 20);
        }
        return Image(b);
    }
    void Add(const Image& img) {
        const Size s = img.GetSize();
        Fold(&s, sizeof s);
        for (int y = 0; y < s.cy; ++y) Fold(img.GetRow(y), static_cast<size_t>(s.cx) * 4);
    }
    void Fold(const void* p, size_t n) {
        for (size_t i = 0; i < n; ++i)
            hash_ = (hash_ ^ static_cast<const BYTE*>(p)[i]) * 0x100000001b3ull;
    }
    uint64_t hash_ = 0xcbf29ce484222325ull;
};

TEST_F(RescaleOutput, ManySizesGiveTheRecordedBytes) {
    const int from[] = {1, 2, 3, 5, 9, 17, 40, 301};
    const int to[] = {1, 2, 3, 5, 8, 13, 27, 61, 100};
    for (int sw : from)
        for (int sh : from) {
            const Image src = Noise(sw, sh);
            for (int tw : to)
                for (int th : to) Add(Gui::Rescale(src, tw, th));
        }
    EXPECT_EQ(hash_, 985273436615987112u);
}

TEST_F(RescaleOutput, SourceRectanglesGiveTheRecordedBytes) {
    const Image src = Noise(23, 17);
    uint32_t x = 99;
    auto next = [&x](int range) {
        x = x * 1103515245u + 12345u;
        return static_cast<int>((x >> 16) % range);
    };
    for (int i = 0; i < 3000; ++i) {
        const int left = next(40) - 10, top = next(30) - 8;
        const Rect r(left, top, left + next(45) + 1, top + next(35) + 1);
        Add(Gui::Rescale(src, Size(next(60) + 1, next(50) + 1), r));
        Add(Gui::Rescale(src, Size(r.right - r.left, r.bottom - r.top), r));
    }
    EXPECT_EQ(hash_, 7729280757723412066u);
}
