#include <gtest/gtest.h>

#include <vector>

#include "draw_support.h"
#include "gui/draw.h"
#include "gui/image.h"
#include "gui/image_ops.h"
#include "gui/image_painter.h"

namespace {

using Gui::Image;
using Gui::ImageBuffer;
using Gui::MakeRGBA;
using Gui::Rect;
using test::Surface;

constexpr uint32_t kBackground = 0xFF102030;

// The opaque colour of zone z (0 to 8, row by row) as the surface reads it.
uint32_t ZoneColor(int z) {
    return 0xFF000000u | (static_cast<uint32_t>(10 + z * 20) << 16) |
           (static_cast<uint32_t>(200 - z * 15) << 8) | static_cast<uint32_t>(z * 7);
}

// A w by h image of nine one-colour zones, split at columns x1, x2 and rows y1, y2.
Image Zones(int w, int h, int x1, int x2, int y1, int y2) {
    ImageBuffer b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int z = (y >= y1) * 3 + (y >= y2) * 3 + (x >= x1) + (x >= x2);
            const uint32_t c = ZoneColor(z);
            b[y][x] = MakeRGBA(c >> 16, c >> 8, c, 255);
        }
    return Image(b);
}

Image Grid20() { return Zones(20, 20, 5, 15, 5, 15); }

// Whether every pixel of [l, t, r, b) has the colour of v (GDI fills leave the
// alpha byte of a DIB as it finds it, so only the colour is compared).
bool Holds(const Surface& s, int l, int t, int r, int b, uint32_t v) {
    return s.count(l, t, r, b, v) == (r - l) * (b - t);
}

// The nine regions of a painted grid whose split lines in the target are at the
// given columns and rows.
void ExpectNine(const Surface& s, int x0, int x1, int x2, int x3, int y0, int y1, int y2, int y3,
                bool middle) {
    const int xs[] = {x0, x1, x2, x3};
    const int ys[] = {y0, y1, y2, y3};
    for (int zy = 0; zy < 3; ++zy)
        for (int zx = 0; zx < 3; ++zx) {
            const int z = zy * 3 + zx;
            const uint32_t want = (z == 4 && !middle) ? kBackground : ZoneColor(z);
            EXPECT_TRUE(Holds(s, xs[zx], ys[zy], xs[zx + 1], ys[zy + 1], want)) << "zone " << z;
        }
}

TEST(ImagePainterTest, OneHotSpotKeepsCornersAndStretchesEdgesAndMiddle) {
    Surface s(110, 50);
    Gui::Draw w(s.dc());
    PaintImageRect(w, Rect(3, 2, 103, 42), Gui::WithHotSpot(Grid20(), 5, 5));
    ExpectNine(s, 3, 8, 98, 103, 2, 7, 37, 42, true);
    // Nothing outside the target.
    EXPECT_EQ(s.count(kBackground, 0xFFFFFFFF), 110 * 50 - 100 * 40);
    EXPECT_EQ(w.GetLevel(), 0);
}

TEST(ImagePainterTest, SecondSpotBelowRightGivesTheSameSplit) {
    Surface s(100, 40);
    Gui::Draw w(s.dc());
    PaintImageRect(w, 0, 0, 100, 40, Gui::WithHotSpots(Grid20(), 5, 5, 14, 14));
    ExpectNine(s, 0, 5, 95, 100, 0, 5, 35, 40, true);
}

TEST(ImagePainterTest, SecondSpotAboveLeftLeavesTheMiddleUnpainted) {
    Surface s(100, 40);
    Gui::Draw w(s.dc());
    PaintImageRect(w, 0, 0, 100, 40, Gui::WithHotSpots(Grid20(), 14, 14, 5, 5));
    ExpectNine(s, 0, 5, 95, 100, 0, 5, 35, 40, false);
}

TEST(ImagePainterTest, SpotPastTheCentreMirrorsTheMarginsAndMakesAFrame) {
    // Spot (15, 5) in a 20-wide image: left margin 4, right margin 5, hollow.
    Surface s(60, 30);
    Gui::Draw w(s.dc());
    PaintImageRect(w, 0, 0, 60, 30, Gui::WithHotSpot(Zones(20, 20, 4, 15, 5, 15), 15, 5));
    ExpectNine(s, 0, 4, 55, 60, 0, 5, 25, 30, false);
}

TEST(ImagePainterTest, UniformOpaqueMiddleIsFilledWithItsColour) {
    Surface s(50, 50);
    Gui::Draw w(s.dc());
    const Image img = Gui::WithHotSpot(Grid20(), 5, 5);
    EXPECT_EQ(ClassifyImageMiddle(Rect(5, 5, 15, 15), img), 3);
    PaintImageRect(w, 0, 0, 50, 50, img);
    EXPECT_TRUE(Holds(s, 5, 5, 45, 45, ZoneColor(4)));
}

TEST(ImagePainterTest, UniformTranslucentMiddleIsStretchedAndComposed) {
    ImageBuffer b(3, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) b[y][x] = MakeRGBA(0, 0, 0, 255);
    b[1][1] = MakeRGBA(128, 0, 0, 128);  // premultiplied half-transparent red
    const Image img = Gui::WithHotSpot(Image(b), 1, 1);
    Surface s(10, 10, 0xFF0000FF);
    Gui::Draw w(s.dc());
    PaintImageRect(w, 0, 0, 10, 10, img);
    // Red over blue, half each: a fill would have given opaque red.
    const uint32_t p = s.at(5, 5);
    EXPECT_NEAR((p >> 16) & 0xFF, 128, 2);
    EXPECT_NEAR(p & 0xFF, 127, 2);
    EXPECT_EQ(s.count(1, 1, 9, 9, p, 0xFFFFFFFF), 64);
    EXPECT_EQ(s.at(0, 0), 0xFF000000u);
}

TEST(ImagePainterTest, TargetSmallerThanTheCornersDrawsFourQuarters) {
    Surface s(12, 12);
    Gui::Draw w(s.dc());
    PaintImageRect(w, 2, 2, 8, 8, Gui::WithHotSpot(Grid20(), 5, 5));
    EXPECT_TRUE(Holds(s, 2, 2, 6, 6, ZoneColor(0)));
    EXPECT_TRUE(Holds(s, 6, 2, 10, 6, ZoneColor(2)));
    EXPECT_TRUE(Holds(s, 2, 6, 6, 10, ZoneColor(6)));
    EXPECT_TRUE(Holds(s, 6, 6, 10, 10, ZoneColor(8)));
    EXPECT_EQ(s.count(kBackground, 0xFFFFFFFF), 144 - 64);
}

TEST(ImagePainterTest, LowTargetDrawsTopAndBottomHalvesOfTheColumns) {
    Surface s(100, 8);
    Gui::Draw w(s.dc());
    PaintImageRect(w, 0, 0, 100, 8, Gui::WithHotSpot(Grid20(), 5, 5));
    EXPECT_TRUE(Holds(s, 0, 0, 5, 4, ZoneColor(0)));
    EXPECT_TRUE(Holds(s, 5, 0, 95, 4, ZoneColor(1)));
    EXPECT_TRUE(Holds(s, 95, 0, 100, 4, ZoneColor(2)));
    EXPECT_TRUE(Holds(s, 0, 4, 5, 8, ZoneColor(6)));
    EXPECT_TRUE(Holds(s, 5, 4, 95, 8, ZoneColor(7)));
    EXPECT_TRUE(Holds(s, 95, 4, 100, 8, ZoneColor(8)));
}

TEST(ImagePainterTest, NarrowTargetDrawsLeftAndRightHalvesOfTheRows) {
    Surface s(8, 40);
    Gui::Draw w(s.dc());
    PaintImageRect(w, 0, 0, 8, 40, Gui::WithHotSpot(Grid20(), 5, 5));
    EXPECT_TRUE(Holds(s, 0, 0, 4, 5, ZoneColor(0)));
    EXPECT_TRUE(Holds(s, 4, 0, 8, 5, ZoneColor(2)));
    EXPECT_TRUE(Holds(s, 0, 5, 4, 35, ZoneColor(3)));
    EXPECT_TRUE(Holds(s, 4, 5, 8, 35, ZoneColor(5)));
    EXPECT_TRUE(Holds(s, 0, 35, 4, 40, ZoneColor(6)));
    EXPECT_TRUE(Holds(s, 4, 35, 8, 40, ZoneColor(8)));
}

TEST(ImagePainterTest, NoHotSpotStretchesTheWholeImage) {
    Surface s(40, 40);
    Gui::Draw w(s.dc());
    PaintImageRect(w, 0, 0, 40, 40, Zones(2, 2, 1, 2, 1, 2));
    // A 2x2 picture doubled 20 times: each quadrant's inside keeps its colour.
    EXPECT_EQ(s.at(2, 2), ZoneColor(0));
    EXPECT_EQ(s.at(37, 2), ZoneColor(1));
    EXPECT_EQ(s.at(2, 37), ZoneColor(3));
    EXPECT_EQ(s.at(37, 37), ZoneColor(4));
}

TEST(ImagePainterTest, SpotOutsideTheImageIsPulledOntoItsLastPixel) {
    Surface s(40, 40);
    Gui::Draw w(s.dc());
    // Clamped to (19, 19): margins 0 and 1, hollow, so only the last column and row.
    PaintImageRect(w, 0, 0, 40, 40, Gui::WithHotSpot(Zones(20, 20, 0, 19, 0, 19), 30, 30));
    EXPECT_TRUE(Holds(s, 39, 0, 40, 39, ZoneColor(5)));
    EXPECT_TRUE(Holds(s, 0, 39, 39, 40, ZoneColor(7)));
    EXPECT_EQ(s.at(39, 39), ZoneColor(8));
    EXPECT_TRUE(Holds(s, 0, 0, 39, 39, kBackground));
}

TEST(ImagePainterTest, EmptyImageDrawsNothingAndLeavesTheLevelAlone) {
    Surface s(10, 10);
    Gui::Draw w(s.dc());
    w.Offset(Gui::Point(2, 3));
    PaintImageRect(w, 0, 0, 5, 5, Image());
    EXPECT_EQ(w.GetLevel(), 1);
    EXPECT_EQ(w.GetOffset(), Gui::Point(2, 3));
    w.End();
    EXPECT_EQ(s.count(kBackground, 0xFFFFFFFF), 100);
}

TEST(ImagePainterTest, DrawImageStretchedScalesThePartAndSkipsEmptyTargets) {
    Surface s(20, 20);
    Gui::Draw w(s.dc());
    DrawImageStretched(w, 2, 2, 0, 10, Grid20(), Rect(0, 0, 5, 5));
    EXPECT_EQ(s.count(kBackground, 0xFFFFFFFF), 400);
    DrawImageStretched(w, Rect(2, 2, 12, 8), Grid20(), Rect(5, 5, 15, 15));
    EXPECT_TRUE(Holds(s, 2, 2, 12, 8, ZoneColor(4)));
    EXPECT_EQ(s.count(kBackground, 0xFFFFFFFF), 400 - 60);
}

TEST(ImagePainterTest, ClassificationTellsEqualRowsAndColumns) {
    ImageBuffer stripes(4, 3);  // vertical stripes: rows equal, columns differ
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) stripes[y][x] = MakeRGBA(x * 50, 0, 0, 255);
    const Image v(stripes);
    EXPECT_EQ(ClassifyImageMiddle(Rect(0, 0, 4, 3), v), kMiddleRowsEqual);
    EXPECT_TRUE(ImageRowsEqual(v, 0, 2, 0, 4));
    EXPECT_FALSE(ImageColumnsEqual(v, 0, 1, 0, 3));
    EXPECT_EQ(ClassifyImageMiddle(Rect(1, 0, 2, 3), v), 3);
    ImageBuffer bands(4, 3);  // horizontal bands: columns equal
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) bands[y][x] = MakeRGBA(0, y * 50, 0, 255);
    EXPECT_EQ(ClassifyImageMiddle(Rect(0, 0, 4, 3), Image(bands)), kMiddleColumnsEqual);
    Rect null;
    null.SetNull();
    EXPECT_EQ(ClassifyImageMiddle(null, v), 0);
}

TEST(ImagePainterTest, ClassificationIsCachedPerImageAndTheCacheStaysBounded) {
    std::vector<Image> images;
    for (int i = 0; i < 105; ++i) images.push_back(Grid20());
    for (const Image& img : images) {
        GetImageMiddleClass(Rect(5, 5, 15, 15), img);
        EXPECT_LE(GetImageMiddleCacheSize(), 101);
    }
    // Cached by serial: the first answer stands even for another middle.
    const Image img = images.back();
    EXPECT_EQ(GetImageMiddleClass(Rect(0, 0, 20, 20), img), 3);
    const int size = GetImageMiddleCacheSize();
    GetImageMiddleClass(Rect(5, 5, 15, 15), img);
    EXPECT_EQ(GetImageMiddleCacheSize(), size);
}

TEST(ImagePainterTest, RescaleNearestPicksTheCoveringSourcePixel) {
    const Image src = Zones(2, 2, 1, 2, 1, 2);
    const Image big = RescaleNearest(src, 4, 3);
    ASSERT_EQ(big.GetSize(), Gui::Size(4, 3));
    EXPECT_EQ(big[0][1], src[0][0]);
    EXPECT_EQ(big[0][2], src[0][1]);
    EXPECT_EQ(big[1][3], src[0][1]);  // row 1 * 2 / 3 = 0
    EXPECT_EQ(big[2][0], src[1][0]);
    EXPECT_TRUE(RescaleNearest(src, 0, 3).IsEmpty());
    EXPECT_TRUE(RescaleNearest(Image(), 3, 3).IsEmpty());
}

}  // namespace
