#include "gui/image_painter.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "draw_support.h"
#include "gui/draw.h"
#include "gui/image.h"
#include "gui/image_ops.h"

namespace {

using Gui::Image;
using Gui::ImageBuffer;
using Gui::MakeRGBA;
using Gui::Rect;
using Gui::WithHotSpot;
using Gui::WithHotSpots;
using test::kBackground;
using test::Surface;

// The opaque colour of zone z (0 to 8, row by row) as the surface reads it.
uint32_t ZoneColor(int z) {
    return 0xFF000000u | (10 + z * 20) << 16 | (200 - z * 15) << 8 | z * 7;
}

// A w by h image of nine one-colour zones, split at columns x1, x2 and rows y1, y2.
Image Zones(int w, int h, int x1, int x2, int y1, int y2) {
    ImageBuffer b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint32_t c = ZoneColor((y >= y1) * 3 + (y >= y2) * 3 + (x >= x1) + (x >= x2));
            b[y][x] = MakeRGBA(c >> 16, c >> 8, c, 255);
        }
    return Image(b);
}

Image Grid20() { return Zones(20, 20, 5, 15, 5, 15); }

// Whether every pixel of [l, t, r, b) has the colour of v.
bool Holds(const Surface& s, int l, int t, int r, int b, uint32_t v) {
    return s.count(l, t, r, b, v) == (r - l) * (b - t);
}

// Corners keep their size, edges and middle stretch; a target too small for the
// corners shows their halves; the middle stays unpainted where the spots say so.
TEST(ImagePainterTest, TheNineZonesLandWhereTheSpotsAndTheTargetSay) {
    const Image g = Grid20(), g5 = WithHotSpot(g, 5, 5);
    const struct {
        Image img;
        Rect target;
        int xs[4], ys[4];  // the zones' edges in the target
        bool middle;
    } rows[] = {
        {g5, {3, 2, 103, 42}, {3, 8, 98, 103}, {2, 7, 37, 42}, true},
        {WithHotSpots(g, 5, 5, 14, 14), {0, 0, 100, 40}, {0, 5, 95, 100}, {0, 5, 35, 40}, true},
        {WithHotSpots(g, 14, 14, 5, 5), {0, 0, 100, 40}, {0, 5, 95, 100}, {0, 5, 35, 40}, false},
        // Spot (15, 5) past the centre of 20: margins 4 and 5, hollow.
        {WithHotSpot(Zones(20, 20, 4, 15, 5, 15), 15, 5),
         {0, 0, 60, 30},
         {0, 4, 55, 60},
         {0, 5, 25, 30},
         false},
        {g5, {2, 2, 10, 10}, {2, 6, 6, 10}, {2, 6, 6, 10}, false},
        {g5, {0, 0, 100, 8}, {0, 5, 95, 100}, {0, 4, 4, 8}, false},
        {g5, {0, 0, 8, 40}, {0, 4, 4, 8}, {0, 5, 35, 40}, false},
        // A spot outside the image is pulled onto its last pixel: margins 0 and 1.
        {WithHotSpot(Zones(20, 20, 0, 19, 0, 19), 30, 30),
         {0, 0, 40, 40},
         {0, 0, 39, 40},
         {0, 0, 39, 40},
         false},
    };
    for (const auto& row : rows) {
        Surface s(110, 50);
        Gui::Draw w(s.dc());
        PaintImageRect(w, row.target, row.img);
        EXPECT_EQ(w.GetLevel(), 0);
        const Rect& t = row.target;
        EXPECT_EQ(s.count(kBackground, 0xFFFFFFFF) -
                      s.count(t.left, t.top, t.right, t.bottom, kBackground, 0xFFFFFFFF),
                  110 * 50 - t.Width() * t.Height());  // nothing outside the target
        for (int zy = 0; zy < 3; ++zy)
            for (int zx = 0; zx < 3; ++zx) {
                const int z = zy * 3 + zx;
                const uint32_t want = (z == 4 && !row.middle) ? kBackground : ZoneColor(z);
                EXPECT_TRUE(Holds(s, row.xs[zx], row.ys[zy], row.xs[zx + 1], row.ys[zy + 1], want))
                    << "target " << t.Width() << "x" << t.Height() << " zone " << z;
            }
    }
}

TEST(ImagePainterTest, OnlyAnOpaqueOneColourMiddleIsFilled) {
    const Image grid = WithHotSpot(Grid20(), 5, 5);
    EXPECT_EQ(ClassifyImageMiddle(Rect(5, 5, 15, 15), grid), 3);
    ImageBuffer b(3, 3);
    for (int i = 0; i < 9; ++i) b.Begin()[i] = MakeRGBA(0, 0, 0, 255);
    b[1][1] = MakeRGBA(128, 0, 0, 128);  // premultiplied half-transparent red
    Surface s(10, 10, 0xFF0000FF);
    Gui::Draw w(s.dc());
    PaintImageRect(w, 0, 0, 10, 10, WithHotSpot(Image(b), 1, 1));
    // Red over blue, half each: a fill would have given opaque red.
    const uint32_t p = s.at(5, 5);
    EXPECT_NEAR((p >> 16) & 0xFF, 128, 2);
    EXPECT_NEAR(p & 0xFF, 127, 2);
    EXPECT_EQ(s.count(1, 1, 9, 9, p, 0xFFFFFFFF), 64);
    EXPECT_EQ(s.at(0, 0), 0xFF000000u);
}

TEST(ImagePainterTest, WithoutSpotsTheWholeImageStretchesAndEmptyOnesDrawNothing) {
    Surface s(40, 40);
    Gui::Draw w(s.dc());
    PaintImageRect(w, 0, 0, 40, 40, Zones(2, 2, 1, 2, 1, 2));
    EXPECT_EQ(std::make_tuple(s.at(2, 2), s.at(37, 2), s.at(2, 37), s.at(37, 37)),
              std::make_tuple(ZoneColor(0), ZoneColor(1), ZoneColor(3), ZoneColor(4)));
    s.fill(kBackground);
    w.Offset(Gui::Point(2, 3));
    PaintImageRect(w, 0, 0, 5, 5, Image());
    EXPECT_TRUE(w.GetLevel() == 1 && w.GetOffset() == Gui::Point(2, 3));
    w.End();
    DrawImageStretched(w, 2, 2, 0, 10, Grid20(), Rect(0, 0, 5, 5));
    EXPECT_EQ(s.count(kBackground, 0xFFFFFFFF), 1600);
    DrawImageStretched(w, Rect(2, 2, 12, 8), Grid20(), Rect(5, 5, 15, 15));
    EXPECT_TRUE(Holds(s, 2, 2, 12, 8, ZoneColor(4)));
    EXPECT_EQ(s.count(kBackground, 0xFFFFFFFF), 1600 - 60);
}

TEST(ImagePainterTest, MiddlesAreClassifiedOncePerImageInABoundedCache) {
    ImageBuffer stripes(4, 3);  // vertical stripes: rows equal, columns differ
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) stripes[y][x] = MakeRGBA(x * 50, 0, 0, 255);
    const Image v(stripes);
    EXPECT_EQ(ClassifyImageMiddle(Rect(0, 0, 4, 3), v), kMiddleRowsEqual);
    EXPECT_EQ(ClassifyImageMiddle(Rect(1, 0, 2, 3), v), 3);
    EXPECT_TRUE(ImageRowsEqual(v, 0, 2, 0, 4) && !ImageColumnsEqual(v, 0, 1, 0, 3));
    const Image bands = Gui::Rotate(v, 900);  // horizontal bands: columns equal
    EXPECT_EQ(ClassifyImageMiddle(Rect(0, 0, 3, 4), bands), kMiddleColumnsEqual);
    Rect null;
    null.SetNull();
    EXPECT_EQ(ClassifyImageMiddle(null, v), 0);
    std::vector<Image> images;
    for (int i = 0; i < 105; ++i) images.push_back(Grid20());
    for (const Image& img : images) {
        GetImageMiddleClass(Rect(5, 5, 15, 15), img);
        EXPECT_LE(GetImageMiddleCacheSize(), 101);
    }
    // Cached by serial: the first answer stands even for another middle.
    EXPECT_EQ(GetImageMiddleClass(Rect(0, 0, 20, 20), images.back()), 3);
}

TEST(ImagePainterTest, RescaleNearestPicksTheCoveringSourcePixel) {
    const Image src = Zones(2, 2, 1, 2, 1, 2);
    const Image big = RescaleNearest(src, 4, 3);
    ASSERT_EQ(big.GetSize(), Gui::Size(4, 3));
    // Row 1 of 3 takes row 1 * 2 / 3 = 0.
    EXPECT_EQ(std::make_tuple(big[0][1], big[0][2], big[1][3], big[2][0]),
              std::make_tuple(src[0][0], src[0][1], src[0][1], src[1][0]));
    EXPECT_TRUE(RescaleNearest(src, 0, 3).IsEmpty() && RescaleNearest(Image(), 3, 3).IsEmpty());
}

}  // namespace
