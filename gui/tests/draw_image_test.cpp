#include <gtest/gtest.h>

#include "draw_support.h"
#include "gui/draw.h"
#include "gui/image.h"

namespace {

using Gui::Color;
using Gui::Image;
using Gui::ImageBuffer;
using Gui::MakeRGBA;
using Gui::Rect;
using test::Surface;

constexpr uint32_t kBackground = 0xFF102030;

// Four opaque colours in a 2x2 grid, each quadrant w by h.
Image Quadrants(int w, int h) {
    ImageBuffer b(2 * w, 2 * h);
    for (int y = 0; y < 2 * h; ++y)
        for (int x = 0; x < 2 * w; ++x) {
            const int q = (y >= h) * 2 + (x >= w);
            b[y][x] = q == 0   ? MakeRGBA(255, 0, 0, 255)
                      : q == 1 ? MakeRGBA(0, 255, 0, 255)
                      : q == 2 ? MakeRGBA(0, 0, 255, 255)
                               : MakeRGBA(255, 255, 255, 255);
        }
    return Image(b);
}

TEST(DrawImageTest, ImageLandsPixelForPixelAtTheLogicalPosition) {
    Surface s(30, 30);
    Gui::Draw w(s.dc());
    w.Offset(Gui::Point(5, 6));
    w.DrawImage(1, 2, Quadrants(3, 2));
    w.End();
    // Device top-left is (6, 8); the image is 6 by 4.
    EXPECT_EQ(s.At(6, 8), 0xFFFF0000u);
    EXPECT_EQ(s.At(9, 8), 0xFF00FF00u);
    EXPECT_EQ(s.At(6, 10), 0xFF0000FFu);
    EXPECT_EQ(s.At(11, 11), 0xFFFFFFFFu);
    EXPECT_EQ(s.Count(0, 0, 30, 30, kBackground, 0xFFFFFFFF), 900 - 24);
}

TEST(DrawImageTest, SourceRectPicksAPartOfTheImage) {
    Surface s(20, 20);
    Gui::Draw w(s.dc());
    w.DrawImage(4, 4, Quadrants(2, 2), Rect(2, 2, 4, 4));
    EXPECT_EQ(s.Count(4, 4, 6, 6, 0xFFFFFFFF, 0xFFFFFFFF), 4);
    EXPECT_EQ(s.Count(0, 0, 20, 20, kBackground, 0xFFFFFFFF), 400 - 4);
}

TEST(DrawImageTest, ImageIsClippedByTheLevel) {
    Surface s(20, 20);
    Gui::Draw w(s.dc());
    w.Clip(Rect(0, 0, 3, 20));
    w.DrawImage(Rect(1, 1, 5, 5), Quadrants(2, 2));
    w.End();
    EXPECT_EQ(s.At(1, 1), 0xFFFF0000u);
    EXPECT_EQ(s.At(2, 3), 0xFF0000FFu);
    EXPECT_EQ(s.At(3, 1), kBackground);
    EXPECT_EQ(s.Count(0, 0, 20, 20, kBackground, 0xFFFFFFFF), 400 - 8);
}

TEST(DrawImageTest, SizeOtherThanTheSourceDrawsNothing) {
    Surface s(20, 20);
    Gui::Draw w(s.dc());
    w.DrawImage(0, 0, 8, 8, Quadrants(2, 2));
    w.DrawImage(0, 0, 4, 4, Quadrants(2, 2), Rect(0, 0, 2, 2));
    EXPECT_EQ(s.Count(0, 0, 20, 20, kBackground, 0xFFFFFFFF), 400);
}

TEST(DrawImageTest, NullSourceRectOrEmptyImageDrawsNothing) {
    Surface s(10, 10);
    Gui::Draw w(s.dc());
    Rect null_rect;
    null_rect.SetNull();
    w.DrawImageOp(0, 0, 4, 4, Quadrants(2, 2), null_rect, Color());
    w.DrawImage(0, 0, Image());
    EXPECT_EQ(s.Count(0, 0, 10, 10, kBackground, 0xFFFFFFFF), 100);
}

TEST(DrawImageTest, ColouredFormWithTheNullColourDrawsNothing) {
    Surface s(10, 10);
    Gui::Draw w(s.dc());
    w.DrawImage(0, 0, Quadrants(2, 2), Color());
    w.DrawImage(Rect(0, 0, 4, 4), Quadrants(2, 2), Color());
    EXPECT_EQ(s.Count(0, 0, 10, 10, kBackground, 0xFFFFFFFF), 100);
}

TEST(DrawImageTest, TranslucentPixelsComposeOverTheTarget) {
    Surface s(4, 4, 0xFF000000);
    Gui::Draw w(s.dc());
    ImageBuffer b(1, 1);
    b[0][0] = MakeRGBA(128, 0, 0, 128);  // premultiplied half red
    w.DrawImage(2, 2, Image(b));
    EXPECT_EQ(s.At(2, 2), 0xFF800000u);
    EXPECT_EQ(s.At(1, 1), 0xFF000000u);
}

TEST(DrawImageTest, ImagePaintsOnADrawsContext) {
    Surface s(10, 10);
    Gui::Draw w(s.dc());
    w.Offset(Gui::Point(3, 3));
    EXPECT_TRUE(Quadrants(1, 1).Paint(w, 0, 0, Rect(0, 0, 2, 2), Color()));
    w.End();
    EXPECT_EQ(s.At(3, 3), 0xFFFF0000u);
    EXPECT_EQ(s.At(4, 4), 0xFFFFFFFFu);
}

TEST(DrawImageTest, ImageOnABackDrawReachesTheTarget) {
    Surface s(20, 20);
    Gui::Draw target(s.dc());
    Gui::BackDraw back;
    back.Create(target, 6, 6);
    back.DrawRect(0, 0, 6, 6, Color(0, 0, 0));
    back.DrawImage(1, 1, Quadrants(2, 2));
    back.Put(target, 10, 10);
    EXPECT_EQ(s.Rgb(11, 11), 0xFF0000u);
    EXPECT_EQ(s.Rgb(14, 14), 0xFFFFFFu);
    EXPECT_EQ(s.Rgb(10, 10), 0u);
}

}  // namespace
